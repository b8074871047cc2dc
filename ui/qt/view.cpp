#include "ui/qt/view.h"

#include "ui/qt/input_box.h"
#include "ui/qt/widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTranslator>

namespace vmkt {

namespace {

// The items of the open list, a few pixels taller than the default.
class TallerItems : public QStyledItemDelegate {
public:
    TallerItems(int extra, QObject* parent) : QStyledItemDelegate(parent), extra_(extra) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rheight() += extra_;
        return size;
    }

private:
    int extra_;
};

QString menuCaption(const MenuItem& item) {
    // Captions are shown literally: "&" marks no mnemonic here.
    return qs(item.caption()).replace('&', QStringLiteral("&&"));
}

const QColor kOrange(255, 128, 0);
const QColor kLightYellow(255, 255, 128);

} // namespace

void buildMenu(Model& model, QMenu& menu, std::map<QAction*, MenuItem*>& chosen) {
    std::vector<MenuItem*> items;
    for (MenuItem* item : model.menu())
        if (!item->hidden() && item->level() >= 1)
            items.push_back(item);
    QMenu* submenu = nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        MenuItem& item = *items[i];
        if (item.level() == 1)
            submenu = nullptr;
        QMenu& target = item.level() >= 2 && submenu ? *submenu : menu;
        if (item.separator()) {
            target.addSeparator();
            continue;
        }
        const bool opens = item.level() == 1 && i + 1 < items.size() && items[i + 1]->level() > 1;
        if (opens) {
            submenu = menu.addMenu(menuCaption(item));
            submenu->setEnabled(!item.disabled());
            continue;
        }
        QAction* action = target.addAction(menuCaption(item));
        action->setEnabled(!item.disabled());
        if (item.checked()) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        chosen[action] = &item;
    }
}

bool installQtTranslations() {
    static QTranslator translator;
    if (!translator.isEmpty())
        return true;
    if (!translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

QtView::QtView(SoundOutput& sound) : sound_(sound) {
    // Asking Qt whether there is a notification area takes about 0.25 ms of
    // CPU time, a quarter of what an armed clock spends in a second: it is
    // asked every 3 s, so a notification area that comes late waits up to 3 s
    // for the icon.
    trayWatch_.setInterval(3000);
    connect(&trayWatch_, &QTimer::timeout, this, &QtView::checkTray);
}

QtView::~QtView() = default;

void QtView::attach(Model& model) {
    model_ = &model;
    bar_ = std::make_unique<BarWindow>();
    bar_->setWindowTitle(qs(model.窗口.title()));
    bar_->setWindowIcon(QApplication::windowIcon());
    for (Control* control : model.controls())
        if (QWidget* w = create(*control))
            widgets_[control] = w;
    // Stacking where controls overlap: the fields above 标签设定 above 标签2,
    // the start button above its frame, the hide button above the close button.
    if (auto* under = widget(model.标签2))
        under->stackUnder(widget(model.标签设定));
    if (auto* under = widget(model.超级按钮1))
        under->stackUnder(widget(model.超级按钮最小化));

    Window& w = model.窗口;
    bar_->setFixedSize(w.width(), w.height());
    bar_->move(w.left(), w.top());
    bar_->onCloseRequested = [this] {
        closeRequest();
        settle();
    };
    bar_->onRightReleased = [this] {
        // Without a notification area the strip stands in for the icon.
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            openMenuFromTray();
    };
    bar_->onMoved = [this](QPoint topLeft) {
        barMoved(topLeft);
    };

    tray_ = new QSystemTrayIcon(QApplication::windowIcon(), this);
    tray_->setToolTip(lines(model.托盘图标1.tip()));
    connect(tray_, &QSystemTrayIcon::activated, this, &QtView::trayActivated);
    trayAvailable_ = QSystemTrayIcon::isSystemTrayAvailable();
    tray_->show();
    trayWatch_.start();

    model.setObserver(this);
}

QWidget* QtView::widget(const Control& control) const {
    const auto it = widgets_.find(&control);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* QtView::create(Control& control) {
    QWidget* w = nullptr;
    switch (control.kind()) {
    case Kind::EditBox: {
        auto& box = static_cast<EditBox&>(control);
        auto* edit = new FieldEdit(bar_.get());
        connect(edit, &QLineEdit::textEdited, this, [this, &box](const QString& text) {
            box.userEdit(ss(text));
            settle();
        });
        edit->onDoubleClicked = [this, &box] {
            box.userDoubleClick();
            settle();
        };
        w = edit;
        break;
    }
    case Kind::Label:
        w = new BarLabel(static_cast<Label&>(control).centred(), bar_.get());
        break;
    case Kind::ComboBox: {
        auto& box = static_cast<ComboBox&>(control);
        auto* combo = new DropList(bar_.get());
        for (const Text& item : box.items())
            combo->addItem(qs(item));
        combo->setItemDelegate(new TallerItems(box.name() == "组合框1" ? 3 : 1, combo));
        combo->setMaxVisibleItems(static_cast<int>(box.items().size()));
        connect(combo, &QComboBox::activated, this, [this, &box](int index) {
            box.userChoose(index);
            settle();
        });
        w = combo;
        break;
    }
    case Kind::Button: {
        auto& button = static_cast<Button&>(control);
        const bool start = button.name() == "超级按钮开始";
        const FlatButton::Colours colours =
            start ? FlatButton::Colours{kOrange, Qt::black, kLightYellow}
                  : FlatButton::Colours{Qt::black, kOrange, Qt::black};
        auto* flat = new FlatButton(button, colours, bar_.get());
        if (!start) {
            QFont font = QApplication::font();
            font.setBold(true);
            font.setPixelSize(button.name() == "超级按钮最小化" ? 19 : 17);
            flat->setFont(font);
        }
        flat->onEntered = [this] {
            sound_.click();
        };
        connect(flat, &QAbstractButton::clicked, this, [this, &button] {
            sound_.click();
            button.userClick();
            settle();
        });
        w = flat;
        break;
    }
    case Kind::Frame:
        w = new FrameBox(bar_.get());
        break;
    case Kind::Window:
    case Kind::Timer:
    case Kind::TrayIcon:
    case Kind::MenuItem:
        return nullptr;
    }
    const Rect r = control.place();
    w->setGeometry(r.x, r.y, r.w, r.h);
    widgets_[&control] = w;
    showControl(control);
    return w;
}

// Shows every property of a control as the model holds it now.
void QtView::showControl(Control& control) {
    for (Prop prop : {Prop::Text, Prop::Caption, Prop::Visible, Prop::Colour, Prop::Selection,
                      Prop::Disabled, Prop::Tip})
        propertyChanged(control, prop);
}

void QtView::propertyChanged(Control& control, Prop prop) {
    QWidget* w = widget(control);
    switch (control.kind()) {
    case Kind::Window: {
        if (!bar_)
            return;
        const auto& window = static_cast<const Window&>(control);
        if (prop == Prop::Left || prop == Prop::Top) {
            if (!writingBack_)
                bar_->move(window.left(), window.top());
        } else if (prop == Prop::Width || prop == Prop::Height) {
            bar_->setFixedSize(window.width(), window.height());
        } else if (prop == Prop::Visible) {
            if (window.visible()) {
                bar_->show();
                bar_->raise();
            } else {
                bar_->hide();
            }
        }
        return;
    }
    case Kind::EditBox: {
        auto* edit = static_cast<FieldEdit*>(w);
        const auto& box = static_cast<const EditBox&>(control);
        if (!edit)
            return;
        if (prop == Prop::Text) {
            const QString text = qs(box.text());
            if (edit->text() != text)
                edit->setText(text);
        } else if (prop == Prop::Visible) {
            edit->setVisible(box.visible());
        } else if (prop == Prop::Colour) {
            edit->setTextColour(fromColorRef(box.colour()));
        }
        return;
    }
    case Kind::Label: {
        auto* label = static_cast<BarLabel*>(w);
        const auto& l = static_cast<const Label&>(control);
        if (!label)
            return;
        if (prop == Prop::Caption)
            label->setText(qs(l.caption()));
        else if (prop == Prop::Visible)
            label->setVisible(l.visible());
        else if (prop == Prop::Colour)
            label->setTextColour(fromColorRef(l.colour()));
        return;
    }
    case Kind::ComboBox: {
        auto* combo = static_cast<QComboBox*>(w);
        const auto& box = static_cast<const ComboBox&>(control);
        if (!combo)
            return;
        if (prop == Prop::Selection) {
            // A write of the selection is not the user's choice.
            const QSignalBlocker quiet(combo);
            combo->setCurrentIndex(box.selection());
        } else if (prop == Prop::Disabled) {
            if (box.disabled())
                combo->hidePopup();
            combo->setEnabled(!box.disabled());
        }
        return;
    }
    case Kind::Button:
        // Caption and tip are read from the model when drawn and shown.
        if (w && (prop == Prop::Caption || prop == Prop::Tip))
            w->update();
        return;
    case Kind::Timer:
    case Kind::TrayIcon:
    case Kind::MenuItem:
    case Kind::Frame:
        // Timers run in the timer service; the menu is built when it opens.
        return;
    }
}

void QtView::barMoved(QPoint topLeft) {
    // Where the user (or the window manager) put the strip becomes the
    // window's place in the model.
    if (!model_ || model_->destroyed() || !bar_->isVisible())
        return;
    Window& w = model_->窗口;
    if (topLeft == QPoint(w.left(), w.top()))
        return;
    writingBack_ = true;
    w.setLeft(topLeft.x());
    w.setTop(topLeft.y());
    writingBack_ = false;
}

void QtView::eventQueued() {
    if (drainPosted_)
        return;
    drainPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            drainPosted_ = false;
            settle();
        },
        Qt::QueuedConnection);
}

void QtView::settle() {
    if (!model_ || model_->destroyed())
        return;
    model_->runQueued();
    if (modalDepth_ == 0)
        model_->destroyIfRequested();
}

bool QtView::closeRequest() {
    if (!model_ || model_->destroyed())
        return true;
    const BoxAnswer answer =
        model_->窗口.onCanBeClosed ? model_->窗口.onCanBeClosed() : BoxAnswer::None;
    if (answer == BoxAnswer::No)
        return false;
    model_->requestDestroy();
    return true;
}

void QtView::destroyed() {
    sound_.stopAll();
    trayWatch_.stop();
    if (tray_)
        tray_->hide();
    if (bar_)
        bar_->hide();
    if (onEnded)
        onEnded();
}

// ---- the tray icon ---------------------------------------------------------

void QtView::trayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (!model_ || model_->destroyed())
        return;
    if (reason == QSystemTrayIcon::DoubleClick) {
        model_->托盘图标1.userDoubleClick();
        settle();
    } else if (reason == QSystemTrayIcon::Context) {
        // The icon reports the press; the menu opens once it has been handled.
        QMetaObject::invokeMethod(
            this, [this] { openMenuFromTray(); }, Qt::QueuedConnection);
    }
}

void QtView::openMenuFromTray() {
    if (!model_ || model_->destroyed())
        return;
    model_->托盘图标1.userRightRelease();
    settle();
}

void QtView::checkTray() {
    // A notification area that appears after the program started gets the
    // icon at once.
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available && !trayAvailable_ && tray_) {
        tray_->hide();
        tray_->show();
    }
    trayAvailable_ = available;
}

// ---- Ui --------------------------------------------------------------------

int QtView::screenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

void QtView::processPendingEvents() {
    ++modalDepth_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (model_)
        model_->runQueued();
    --modalDepth_;
}

void QtView::blockFor(int ms) {
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

BoxAnswer QtView::messageBox(const std::string& text, const std::string& title, BoxStyle style) {
    QMessageBox box;
    box.setWindowTitle(qs(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(lines(text));
    switch (style) {
    case BoxStyle::YesNoWarning:
    case BoxStyle::YesNoQuestion:
        box.setIcon(style == BoxStyle::YesNoWarning ? QMessageBox::Warning : QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case BoxStyle::OkInformation:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    box.setWindowModality(Qt::ApplicationModal);
    ++modalDepth_;
    const int answer = box.exec();
    --modalDepth_;
    switch (answer) {
    case QMessageBox::Yes:
        return BoxAnswer::Yes;
    case QMessageBox::No:
        return BoxAnswer::No;
    case QMessageBox::Ok:
        return BoxAnswer::Ok;
    default:
        return BoxAnswer::None;
    }
}

std::optional<std::string> QtView::inputBox(const std::string& prompt, const std::string& title,
                                            const std::string& initial, bool wholeNumber) {
    InputBox box(qs(prompt), qs(title), qs(initial), wholeNumber);
    ++modalDepth_;
    const int answer = box.exec();
    --modalDepth_;
    if (answer != QDialog::Accepted)
        return std::nullopt;
    return ss(box.edit()->text());
}

MenuItem* QtView::popupMenu(Model& model) {
    QMenu menu;
    std::map<QAction*, MenuItem*> chosen;
    buildMenu(model, menu, chosen);
    ++modalDepth_;
    QAction* action = menu.exec(QCursor::pos() + QPoint(3, 3));
    --modalDepth_;
    const auto it = chosen.find(action);
    return it == chosen.end() ? nullptr : it->second;
}

void QtView::balloon(const std::string& title, const std::string& text, int icon, int timeoutMs) {
    if (!tray_)
        return;
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::Information;
    if (icon == 0)
        kind = QSystemTrayIcon::NoIcon;
    else if (icon == 2)
        kind = QSystemTrayIcon::Warning;
    else if (icon == 3)
        kind = QSystemTrayIcon::Critical;
    tray_->showMessage(lines(title), lines(text), kind, timeoutMs > 0 ? timeoutMs : 10000);
}

} // namespace vmkt
