// The modal one-line input box.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vmkt {

// A prompt above a one-line edit, "确认输入(&O)" (the default button, taken by
// Enter) and "取消(&C)" (taken by Escape and the close box). The initial text
// starts all selected, so that typing replaces it. With wholeNumber only the
// digits and "-" are taken from typing; pasting is not filtered.
class InputBox : public QDialog {
public:
    InputBox(const QString& prompt, const QString& title, const QString& initial, bool wholeNumber);

    QLineEdit* edit() const { return edit_; }
    QPushButton* confirmButton() const { return confirm_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* prompt_;
    QLineEdit* edit_;
    QPushButton* confirm_;
    QPushButton* cancel_;
};

} // namespace vmkt
