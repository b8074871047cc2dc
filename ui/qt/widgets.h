// The widgets of the strip: labels with a one-pixel border, the grey frame,
// the borderless time fields, the flat buttons, and the strip window itself.
#pragma once

#include "app/model.h"

#include <QAbstractButton>
#include <QColor>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QStaticText>
#include <QString>
#include <QWidget>

#include <functional>

namespace vmkt {

// Model text (UTF-8) to QString and back.
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string ss(const QString& s) {
    return s.toStdString();
}
// "\r\n" line breaks as the model writes them, for Qt's single "\n".
QString lines(const std::string& s);
// A COLORREF 0x00BBGGRR as a colour.
QColor fromColorRef(Colour c);
// The face colour of dialogs and buttons, the strip's background.
QColor faceColour();

// Whether a typed text may go into a whole-number field: every printable
// character must be a digit or "-". Control characters always pass.
bool typedTextAllowed(const QString& text);

// Drops typed characters other than "0".."9" and "-" on the way to a line
// edit. Keys pressed with Ctrl, Alt or Meta are not typing (copy, paste, undo,
// mnemonics) and pass, so pasted text comes in unfiltered.
class TypingFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// A tooltip text shown literally and broken into lines no wider than
// maxWidth pixels in the tooltip font.
QString tooltipText(const QString& plain, int maxWidth = 400);

// 标签设定 and 标签2: caption on one line in the label's colour, literal,
// vertically centred, on the face colour, inside a black one-pixel border.
// A space is half as wide as an ideograph, as in the CJK system fonts the
// strip was laid out for, so that the unit words of 标签设定 stand beside
// their fields whatever the width of the Latin space.
class BarLabel : public QLabel {
public:
    BarLabel(bool centred, QWidget* parent);
    void setTextColour(const QColor& c);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A run of the caption laid out once: the status label is drawn anew
    // every second, and shaping its whole text again each time (three times:
    // centring, drawing, advancing) was a good part of what an armed
    // countdown cost. The runs recur ("剩余：", "小时", the numbers), so a
    // small cache of them makes a tick's repaint mostly a copy of cached
    // glyphs.
    struct Run {
        QStaticText text;
        int advance = 0;
    };
    const Run& run(const QString& text);

    QHash<QString, Run> runs_;
};

// A drop-down list that cannot be edited, drawn compact enough for the
// strip: the selected item on white, a narrow arrow button at the right.
class DropList : public QComboBox {
public:
    explicit DropList(QWidget* parent);
    // The list drops below the box (above it where the screen ends).
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The outline of the rectangle around the start button.
class FrameBox : public QWidget {
public:
    explicit FrameBox(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// 时1, 分1, 秒1: borderless, centred, on the face colour, filtered typing.
class FieldEdit : public QLineEdit {
public:
    explicit FieldEdit(QWidget* parent);
    void setTextColour(const QColor& c);

    // A double-click with the left button.
    std::function<void()> onDoubleClicked;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The owner-drawn flat buttons. The caption and tip are read from the
// model's button whenever they are drawn or shown.
class FlatButton : public QAbstractButton {
public:
    struct Colours {
        QColor normal, hot, focus;
    };
    FlatButton(const Button& model, Colours colours, QWidget* parent);
    // The colour the caption is drawn in now.
    QColor captionColour() const;
    bool hovered() const { return hovered_; }

    // The pointer entered the button.
    std::function<void()> onEntered;

protected:
    bool event(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const Button& model_;
    Colours colours_;
    bool hovered_ = false;
};

// The strip: a frameless top-level tool window that stays on top, stays out
// of the taskbar and pager, and moves when dragged by its background.
class BarWindow : public QWidget {
public:
    BarWindow();

    // The window system asks the window to close.
    std::function<void()> onCloseRequested;
    // The right button was released on the background or a label.
    std::function<void()> onRightReleased;
    // The window now stands at a new place.
    std::function<void(QPoint)> onMoved;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace vmkt
