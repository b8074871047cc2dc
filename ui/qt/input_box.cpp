#include "ui/qt/input_box.h"

#include "ui/qt/widgets.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vmkt {

InputBox::InputBox(const QString& prompt, const QString& title, const QString& initial,
                   bool wholeNumber)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      prompt_(new QLabel(prompt, this)), edit_(new QLineEdit(initial, this)),
      confirm_(new QPushButton(QStringLiteral("确认输入(&O)"), this)),
      cancel_(new QPushButton(QStringLiteral("取消(&C)"), this)) {
    setWindowTitle(title.isEmpty() ? QStringLiteral("请输入：") : title);
    setModal(true);
    prompt_->setTextFormat(Qt::PlainText);
    if (wholeNumber)
        edit_->installEventFilter(new TypingFilter(edit_));
    edit_->selectAll();
    edit_->setMinimumWidth(240);

    confirm_->setDefault(true);
    cancel_->setAutoDefault(false);
    connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    auto* column = new QVBoxLayout(this);
    column->addWidget(prompt_);
    column->addWidget(edit_);
    column->addLayout(buttons);
    setLayout(column);
}

void InputBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the primary screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect box = frameGeometry();
        box.moveCenter(screen->geometry().center());
        move(box.topLeft());
    }
    edit_->setFocus();
    edit_->selectAll();
}

} // namespace vmkt
