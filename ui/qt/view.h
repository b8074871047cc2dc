// The Qt view of the window model: the strip with its controls, the tray
// icon, the popup menu and the boxes. The model is the one truth: every
// property write is shown at once, and the user's input goes into the model
// as its events, each followed by a run of the model's queue.
#pragma once

#include "app/model.h"
#include "app/platform.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class QMenu;
class QAction;

namespace vmkt {

class BarWindow;

// Fills `menu` from the model's menu tree as it is now: the level-1 items,
// the level-2 items in the submenu of the item above them, separators for
// "-", hidden items left out, disabled items greyed, checked items ticked.
// `chosen` maps each action that can be chosen to its menu item.
void buildMenu(Model& model, QMenu& menu, std::map<QAction*, MenuItem*>& chosen);

// Installs Qt's own Chinese translations, so that the standard buttons of the
// boxes read 是/否/确定. False when they are not installed on this system.
bool installQtTranslations();

// The view is made before the model it shows (the model needs it as its Ui)
// and outlives it: it never touches the model once the model is gone.
class QtView : public QObject, public ModelObserver, public Ui {
public:
    explicit QtView(SoundOutput& sound);
    ~QtView() override;

    // Builds the strip and the tray icon for the model and starts showing it.
    // The strip itself appears when the model makes the window visible.
    void attach(Model& model);

    // Runs the model's queued events and, outside every modal box or menu, a
    // requested destruction of the window.
    void settle();

    // A close request from the window manager or the end of the session:
    // the model's can-be-closed answer; false keeps the program running.
    bool closeRequest();

    BarWindow* bar() const { return bar_.get(); }
    // The widget that shows a control of the strip, or nullptr.
    QWidget* widget(const Control& control) const;
    QSystemTrayIcon* tray() const { return tray_; }
    int modalDepth() const { return modalDepth_; }

    // The window was destroyed: the program ends.
    std::function<void()> onEnded;

    // ModelObserver
    void propertyChanged(Control& control, Prop prop) override;
    void eventQueued() override;
    void destroyed() override;

    // Ui
    int screenWidth() override;
    void processPendingEvents() override;
    void blockFor(int ms) override;
    BoxAnswer messageBox(const std::string& text, const std::string& title,
                         BoxStyle style) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& initial, bool wholeNumber) override;
    MenuItem* popupMenu(Model& model) override;
    void balloon(const std::string& title, const std::string& text, int icon,
                 int timeoutMs) override;

private:
    QWidget* create(Control& control);
    void showControl(Control& control);
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    void openMenuFromTray();
    void barMoved(QPoint topLeft);
    void checkTray();

    SoundOutput& sound_;
    Model* model_ = nullptr;
    std::unique_ptr<BarWindow> bar_;
    std::map<const Control*, QWidget*> widgets_;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer trayWatch_;
    bool trayAvailable_ = false;
    int modalDepth_ = 0;
    bool drainPosted_ = false;
    bool writingBack_ = false;
};

} // namespace vmkt
