// The Qt view of the window model, on Qt's offscreen platform: what the model
// writes shows at once, what the user does becomes the model's events, and
// the boxes, the menu and the timers behave as the handlers expect.
// moc reads this file for the test class; the core's headers, whose names
// it cannot read, stay out of its way.
#ifndef Q_MOC_RUN
#include "app/platform_headless.h"
#include "app/program.h"
#include "ui/qt/input_box.h"
#include "ui/qt/qt_services.h"
#include "ui/qt/view.h"
#include "ui/qt/widgets.h"
#endif

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QThread>
#include <QToolTip>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

using namespace vmkt;

namespace {

// One program on the headless world's clock, timers, settings and sound,
// shown by the Qt view.
struct Rig {
    HeadlessPlatform world;
    QtView view{world.sound()};
    Platform platform{world, world, view, world.sound(), world.registry(), world};
    Program program{platform};
    bool ended = false;

    Rig() {
        view.onEnded = [this] {
            ended = true;
        };
        view.attach(program);
        program.start();
        view.settle();
    }
    template <class W> W* widget(const Control& c) { return dynamic_cast<W*>(view.widget(c)); }
    std::optional<std::string> stored(const char* path) {
        const std::string p = path;
        const auto at = p.rfind('\\');
        return world.registry().storedText(RegRoot::CurrentUser, p.substr(0, at), p.substr(at + 1));
    }
};

// Runs `act` on the first widget `find` gives, polling the event loop that
// a modal box or menu runs. Gives up after about two seconds and closes
// whatever is modal, so that a missing box fails the test instead of hanging.
void whenOpen(std::function<QWidget*()> find, std::function<void(QWidget*)> act,
              bool* found = nullptr, int tries = 200) {
    QTimer::singleShot(10, [=] {
        if (QWidget* w = find()) {
            if (found)
                *found = true;
            act(w);
        } else if (tries > 0) {
            whenOpen(find, act, found, tries - 1);
        } else if (QWidget* stuck = QApplication::activeModalWidget()) {
            stuck->close();
        } else if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    });
}

template <class W> std::function<QWidget*()> modal() {
    return [] {
        return dynamic_cast<W*>(QApplication::activeModalWidget());
    };
}

std::function<QWidget*()> popupMenu() {
    return [] {
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
}

QAction* actionNamed(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

// Columns of `area` in which some pixel differs from the face colour: the
// horizontal extent of what is drawn there.
int inkWidth(const QImage& image, QRect area) {
    const QRgb face = faceColour().rgb();
    int first = -1, last = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (image.pixel(x, y) != face) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

// Which of the candidate colours the ink of the image was drawn in: text is
// blended with the face colour at its edges, so the pixel that stands out
// most from the face is matched to the nearest blend towards each candidate.
QColor inkColour(const QImage& image, const QList<QColor>& candidates) {
    const QColor face = faceColour();
    auto distance = [](double r, double g, double b) {
        return std::sqrt(r * r + g * g + b * b);
    };
    QColor strongest = face;
    double most = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const double d =
                distance(c.red() - face.red(), c.green() - face.green(), c.blue() - face.blue());
            if (d > most) {
                most = d;
                strongest = c;
            }
        }
    QColor best;
    double bestMiss = 1e9;
    for (const QColor& target : candidates) {
        // Distance from the strongest pixel to the segment face -> target.
        const double dr = target.red() - face.red(), dg = target.green() - face.green(),
                     db = target.blue() - face.blue();
        const double pr = strongest.red() - face.red(), pg = strongest.green() - face.green(),
                     pb = strongest.blue() - face.blue();
        const double len2 = dr * dr + dg * dg + db * db;
        const double t = std::clamp((pr * dr + pg * dg + pb * db) / len2, 0.0, 1.0);
        const double miss = distance(pr - t * dr, pg - t * dg, pb - t * db);
        if (miss < bestMiss) {
            bestMiss = miss;
            best = target;
        }
    }
    return best;
}

} // namespace

class TestView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void controlsStandWhereTheModelPlacesThem();
    void propertyWritesShowAtOnce();
    void aMovedStripIsTheWindowsPlace();
    void selectionWritesAreNotUserChoices();
    void typingIsFilteredPastingIsNot();
    void fieldDoubleClick();
    void comboPickRaisesTheEventEvenForTheSameItem();
    void buttonClickPlaysTheClickThenRunsTheHandler();
    void buttonStateColours_data();
    void buttonStateColours();
    void textsShowLiterally_data();
    void textsShowLiterally();
    void tooltipsAreLiteralAndNarrow_data();
    void tooltipsAreLiteralAndNarrow();
    void menuIsBuiltFromTheModel();
    void chosenMenuItemRunsAfterTheMenuClosed();
    void messageBoxes_data();
    void messageBoxes();
    void inputBox();
    void closeRequests();
    void destructionWaitsForTheModalBox();
    void nextDueSkipsMissedInstants_data();
    void nextDueSkipsMissedInstants();
    void timersTickAndStop();
    void aTimerRearmedAfterFallingDueWaitsForItsNewInstant();
};

void TestView::controlsStandWhereTheModelPlacesThem() {
    Rig rig;
    int shown = 0;
    for (Control* c : rig.program.controls()) {
        QWidget* w = rig.view.widget(*c);
        if (!w)
            continue;
        const Rect r = c->place();
        QCOMPARE(w->geometry(), QRect(r.x, r.y, r.w, r.h));
        QCOMPARE(w->parentWidget(), rig.view.bar());
        ++shown;
    }
    QCOMPARE(shown, 12); // every control of the strip but the timers and the icon
    QCOMPARE(rig.view.bar()->geometry(), QRect(rig.view.screenWidth() - 473, 0, 333, 22));
    QVERIFY(rig.view.bar()->isVisible());
}

void TestView::propertyWritesShowAtOnce() {
    Rig rig;
    Program& p = rig.program;
    auto* hour = rig.widget<QLineEdit>(p.时1);
    auto* status = rig.widget<QLabel>(p.标签2);
    auto* mode = rig.widget<QComboBox>(p.组合框1);
    QVERIFY(hour && status && mode);

    p.时1.setText("12");
    QCOMPARE(hour->text(), QString("12"));
    p.时1.setColour(kRed);
    QCOMPARE(hour->palette().color(QPalette::Text), QColor(255, 0, 0));
    p.时1.setColour(0x00804020); // COLORREF: blue 0x80, green 0x40, red 0x20
    QCOMPARE(hour->palette().color(QPalette::Text), QColor(0x20, 0x40, 0x80));
    p.时1.setVisible(false);
    QVERIFY(!hour->isVisible());

    QVERIFY(!status->isVisible());
    QCOMPARE(status->text(), QString("提示：闹钟准备就绪！"));
    p.标签2.setVisible(true);
    p.标签2.setCaption("剩余：0小时0分2秒");
    p.标签2.setColour(kRed);
    QVERIFY(status->isVisible());
    QCOMPARE(status->text(), QString("剩余：0小时0分2秒"));
    QCOMPARE(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    p.组合框1.setDisabled(true);
    QVERIFY(!mode->isEnabled());
    p.组合框1.setDisabled(false);
    QVERIFY(mode->isEnabled());

    p.窗口.setLeft(10);
    p.窗口.setTop(5);
    QCOMPARE(rig.view.bar()->pos(), QPoint(10, 5));
    p.窗口.setVisible(false);
    QVERIFY(!rig.view.bar()->isVisible());
    p.窗口.setVisible(true);
    QVERIFY(rig.view.bar()->isVisible());
    QCOMPARE(rig.view.bar()->pos(), QPoint(10, 5));
}

void TestView::aMovedStripIsTheWindowsPlace() {
    // Dragged by the user or placed by the window manager: the model learns
    // where the strip stands, and showing it again leaves it there.
    Rig rig;
    Window& w = rig.program.窗口;
    rig.view.bar()->move(100, 7);
    QTRY_COMPARE(w.left(), 100);
    QCOMPARE(w.top(), 7);
    w.setVisible(false);
    w.setVisible(true);
    QCOMPARE(rig.view.bar()->pos(), QPoint(100, 7));
    QCOMPARE(w.width(), 333);
    QCOMPARE(w.height(), 22);
}

void TestView::selectionWritesAreNotUserChoices() {
    Rig rig;
    Program& p = rig.program;
    auto* mode = rig.widget<QComboBox>(p.组合框1);
    const int writes = rig.world.registry().writes();
    for (const auto& [written, shown] :
         std::initializer_list<std::pair<int, int>>{{2, 2}, {99, 2}, {-5, -1}, {1, 1}}) {
        p.组合框1.setSelection(written);
        QCOMPARE(mode->currentIndex(), shown);
    }
    QVERIFY(mode->currentText().isEmpty() == false);
    rig.view.settle();
    QVERIFY(!p.hasQueued());
    // No mode handler ran: nothing was stored.
    QCOMPARE(rig.world.registry().writes(), writes);
    QCOMPARE(p.分1.text(), std::string("30"));
}

void TestView::typingIsFilteredPastingIsNot() {
    Rig rig;
    Program& p = rig.program;
    auto* sec = rig.widget<QLineEdit>(p.秒1);
    sec->selectAll();
    QTest::keyClicks(sec, "a1-b2 x");
    QCOMPARE(p.秒1.text(), std::string("1-2"));
    QCOMPARE(sec->text(), QString("1-2"));

    // The fields' own handler turns "00" into "0" while the user types.
    sec->selectAll();
    QTest::keyClicks(sec, "00");
    QCOMPARE(p.秒1.text(), std::string("0"));
    QCOMPARE(sec->text(), QString("0"));

    QGuiApplication::clipboard()->setText("x9 y");
    sec->selectAll();
    QTest::keyClick(sec, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(p.秒1.text(), std::string("x9 y"));

    QTest::keyClick(sec, Qt::Key_Backspace);
    QCOMPARE(p.秒1.text(), std::string("x9 "));
}

void TestView::fieldDoubleClick() {
    Rig rig;
    Program& p = rig.program;
    auto* minute = rig.widget<QLineEdit>(p.分1);
    QCOMPARE(minute->text(), QString("30"));
    QTest::mouseDClick(minute, Qt::LeftButton);
    QCOMPARE(p.分1.text(), std::string("0"));
    QCOMPARE(minute->text(), QString("0"));
}

void TestView::comboPickRaisesTheEventEvenForTheSameItem() {
    Rig rig;
    Program& p = rig.program;
    auto* mode = rig.widget<QComboBox>(p.组合框1);
    auto pick = [&](int steps) {
        mode->showPopup();
        QAbstractItemView* list = mode->view();
        QTRY_VERIFY(list->isVisible());
        // The list drops below the box.
        QCOMPARE(list->window()->geometry().top(),
                 mode->mapToGlobal(QPoint(0, mode->height())).y());
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
    };

    pick(2);
    QCOMPARE(p.组合框1.selection(), 2);
    // The mode handler ran: the presets of 整点, and the mode stored.
    QCOMPARE(p.分1.text(), std::string("0"));
    QCOMPARE(rig.stored(k默认功能), std::optional<std::string>("2"));

    p.分1.setText("7");
    pick(0);
    QCOMPARE(p.分1.text(), std::string("0"));
}

void TestView::buttonClickPlaysTheClickThenRunsTheHandler() {
    Rig rig;
    Program& p = rig.program;
    auto* start = rig.widget<FlatButton>(p.超级按钮开始);
    const int clicks = rig.world.sound().clicks();

    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(rig.world.sound().clicks(), clicks + 1);
    QCOMPARE(p.超级按钮开始.caption(), std::string("停止"));
    QCOMPARE(rig.world.timerPeriod(TimerId::倒计), 1000);
    QVERIFY(!rig.widget<QComboBox>(p.组合框1)->isEnabled());
    QVERIFY(!rig.widget<QLineEdit>(p.时1)->isVisible());
    QVERIFY(rig.widget<QLabel>(p.标签2)->isVisible());
    QCOMPARE(rig.widget<QLabel>(p.标签2)->text(), QString("剩余：0小时30分0秒"));

    // The pointer entering a button plays the click too.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), start->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(start, &enter);
    QCOMPARE(rig.world.sound().clicks(), clicks + 2);

    // The space bar clicks the button that has the focus.
    auto* hide = rig.widget<FlatButton>(p.超级按钮最小化);
    QTest::keyClick(hide, Qt::Key_Space);
    QVERIFY(!p.窗口.visible());
    QVERIFY(!rig.view.bar()->isVisible());
}

void TestView::buttonStateColours_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QColor>("normal");
    QTest::addColumn<QColor>("hot");
    QTest::addColumn<QColor>("focus");
    const QColor orange(255, 128, 0), black(0, 0, 0), yellow(255, 255, 128);
    QTest::newRow("start") << "超级按钮开始" << orange << black << yellow;
    QTest::newRow("hide") << "超级按钮最小化" << black << orange << black;
    QTest::newRow("close") << "超级按钮1" << black << orange << black;
}

void TestView::buttonStateColours() {
    QFETCH(QString, button);
    QFETCH(QColor, normal);
    QFETCH(QColor, hot);
    QFETCH(QColor, focus);
    Rig rig;
    auto* b = rig.widget<FlatButton>(*rig.program.find(ss(button)));
    QVERIFY(b);
    BarWindow* bar = rig.view.bar();
    bar->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(bar));

    const QList<QColor> candidates{QColor(255, 128, 0), QColor(0, 0, 0), QColor(255, 255, 128)};
    auto drawnIn = [&](const QColor& c) {
        return inkColour(b->grab().toImage(), candidates) == c;
    };
    QVERIFY(drawnIn(normal));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(b, &enter);
    QVERIFY(drawnIn(hot));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &leave);
    QVERIFY(drawnIn(normal));

    b->setFocus();
    QVERIFY(b->hasFocus());
    QVERIFY(drawnIn(focus));

    // Pressed: the hot colour, and the caption one pixel right and down of
    // where it stands while the pointer is over the button.
    QApplication::sendEvent(b, &enter);
    const QImage up = b->grab().toImage();
    b->setDown(true);
    const QImage down = b->grab().toImage();
    QCOMPARE(inkColour(down, candidates), hot);
    bool shifted = true;
    for (int y = 0; y + 1 < up.height(); ++y)
        for (int x = 0; x + 1 < up.width(); ++x)
            shifted = shifted && up.pixel(x, y) == down.pixel(x + 1, y + 1);
    QVERIFY(shifted);
    QVERIFY(up != down);
    b->setDown(false);
}

void TestView::textsShowLiterally_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ifInterpreted"); // what markup or mnemonics would show
    QTest::newRow("markup") << "<b>x</b>"
                            << "x";
    QTest::newRow("ampersand") << "a&b"
                               << "ab";
    QTest::newRow("entity") << "1&lt;2"
                            << "1<2";
}

void TestView::textsShowLiterally() {
    QFETCH(QString, text);
    QFETCH(QString, ifInterpreted);
    Rig rig;
    Program& p = rig.program;

    // The status label.
    p.标签2.setVisible(true);
    p.标签2.setCaption(ss(text));
    auto* label = rig.widget<QLabel>(p.标签2);
    const QFontMetrics fm(label->font());
    const int labelInk = inkWidth(label->grab().toImage(), label->rect().adjusted(1, 1, -1, -1));
    QVERIFY2(qAbs(labelInk - fm.horizontalAdvance(text)) <= 3,
             qPrintable(QString("drawn %1 px wide").arg(labelInk)));
    QVERIFY(labelInk > fm.horizontalAdvance(ifInterpreted) + 2);

    // A button's caption.
    p.超级按钮开始.setCaption(ss(text));
    auto* button = rig.widget<FlatButton>(p.超级按钮开始);
    button->resize(200, 20);
    const QFontMetrics bfm(button->font());
    const int buttonInk = inkWidth(button->grab().toImage(), button->rect());
    QVERIFY2(qAbs(buttonInk - bfm.horizontalAdvance(text)) <= 3,
             qPrintable(QString("drawn %1 px wide").arg(buttonInk)));
    QVERIFY(buttonInk > bfm.horizontalAdvance(ifInterpreted) + 2);
}

void TestView::tooltipsAreLiteralAndNarrow_data() {
    QTest::addColumn<QString>("tip");
    QTest::newRow("plain") << "启动计时";
    QTest::newRow("markup") << "<b>x</b> & <i>y</i>";
    QTest::newRow("long words") << QString("隐藏到托盘 hide to tray ").repeated(12);
    QTest::newRow("one long word") << QString("x").repeated(200);
}

void TestView::tooltipsAreLiteralAndNarrow() {
    QFETCH(QString, tip);
    const QString html = tooltipText(tip);
    QTextDocument doc;
    doc.setDefaultFont(QToolTip::font());
    doc.setHtml(html);
    const QStringList shown = doc.toPlainText().split('\n');
    const QFontMetrics fm(QToolTip::font());
    for (const QString& line : shown)
        QVERIFY2(fm.horizontalAdvance(line) <= 400, qPrintable(line));
    // Nothing lost or added but the breaks between lines.
    auto squeeze = [](QString s) {
        return s.remove(' ');
    };
    QCOMPARE(squeeze(shown.join(QString())), squeeze(tip));
    if (fm.horizontalAdvance(tip) <= 400)
        QCOMPARE(shown, QStringList{tip});
}

void TestView::menuIsBuiltFromTheModel() {
    Rig rig;
    Program& p = rig.program;
    p.气泡提醒.setChecked(true);
    QMenu menu;
    std::map<QAction*, MenuItem*> chosen;
    buildMenu(p, menu, chosen);

    auto describe = [](QMenu& m) {
        QStringList out;
        for (QAction* a : m.actions()) {
            QString s = a->isSeparator() ? "-" : a->text();
            if (a->menu())
                s += ">";
            if (!a->isEnabled())
                s += " (grey)";
            if (a->isChecked())
                s += " (tick)";
            out << s;
        }
        return out;
    };
    QCOMPARE(describe(menu),
             (QStringList{"显示界面", "软件设置>", "-", "停止 (grey)", "-", "关于", "退出软件"}));
    QMenu* settings = actionNamed(&menu, "软件设置")->menu();
    QCOMPARE(describe(*settings),
             (QStringList{"随系统启动", "气泡提醒 (tick)", "-", "无操作时长鸣", "设置闹铃时长"}));
    QCOMPARE(chosen.at(actionNamed(settings, "气泡提醒")), &p.气泡提醒);
    QCOMPARE(chosen.at(actionNamed(&menu, "关于")), &p.关于);
    QCOMPARE(chosen.size(), std::size_t{8});
}

void TestView::chosenMenuItemRunsAfterTheMenuClosed() {
    Rig rig;
    Program& p = rig.program;
    p.窗口.setVisible(false);
    bool opened = false;
    whenOpen(
        popupMenu(),
        [&](QWidget* w) {
            auto* menu = static_cast<QMenu*>(w);
            const QRect item = menu->actionGeometry(actionNamed(menu, "显示界面"));
            QTest::mouseClick(menu, Qt::LeftButton, {}, item.center());
        },
        &opened);
    p.托盘图标1.userRightRelease();
    QVERIFY(opened);
    // The item's event comes after the menu has closed and the handler has
    // returned.
    QVERIFY(!p.窗口.visible());
    QVERIFY(p.hasQueued());
    rig.view.settle();
    QVERIFY(p.窗口.visible());
    QVERIFY(rig.view.bar()->isVisible());

    // Closed without a choice: nothing is chosen.
    whenOpen(popupMenu(), [](QWidget* w) { w->close(); });
    QCOMPARE(rig.view.popupMenu(p), nullptr);
    QCOMPARE(rig.view.modalDepth(), 0);
}

void TestView::messageBoxes_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("press"); // a button's text, or "Escape"
    QTest::addColumn<int>("answer");
    const QStringList yesNo{"是(&Y)", "否(&N)"};
    QTest::newRow("warning yes") << int(BoxStyle::YesNoWarning) << int(QMessageBox::Warning)
                                 << yesNo << "是(&Y)" << int(BoxAnswer::Yes);
    QTest::newRow("warning no") << int(BoxStyle::YesNoWarning) << int(QMessageBox::Warning) << yesNo
                                << "否(&N)" << int(BoxAnswer::No);
    QTest::newRow("warning escape") << int(BoxStyle::YesNoWarning) << int(QMessageBox::Warning)
                                    << yesNo << "Escape" << int(BoxAnswer::No);
    QTest::newRow("question yes") << int(BoxStyle::YesNoQuestion) << int(QMessageBox::Question)
                                  << yesNo << "是(&Y)" << int(BoxAnswer::Yes);
    QTest::newRow("information") << int(BoxStyle::OkInformation) << int(QMessageBox::Information)
                                 << QStringList{"确定"} << "确定" << int(BoxAnswer::Ok);
}

void TestView::messageBoxes() {
    QFETCH(int, style);
    QFETCH(int, icon);
    QFETCH(QStringList, buttons);
    QFETCH(QString, press);
    QFETCH(int, answer);
    Rig rig;
    QString seenText, seenTitle;
    QStringList seenButtons;
    int seenIcon = -1;
    Qt::TextFormat seenFormat = Qt::AutoText;
    whenOpen(modal<QMessageBox>(), [&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        seenText = box->text();
        seenTitle = box->windowTitle();
        seenIcon = box->icon();
        seenFormat = box->textFormat();
        for (QAbstractButton* b : box->buttons())
            seenButtons << b->text();
        if (press == "Escape") {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* b : box->buttons())
            if (b->text() == press)
                b->click();
    });
    const BoxAnswer got =
        rig.view.messageBox("第一行\r\n<b>第二行</b>", "重要提示：", static_cast<BoxStyle>(style));
    QCOMPARE(int(got), answer);
    QCOMPARE(seenIcon, icon);
    seenButtons.sort();
    buttons.sort();
    QCOMPARE(seenButtons, buttons);
    QCOMPARE(seenTitle, QString("重要提示："));
    QCOMPARE(seenText, QString("第一行\n<b>第二行</b>"));
    QCOMPARE(seenFormat, Qt::PlainText);
    QCOMPARE(rig.view.modalDepth(), 0);
}

void TestView::inputBox() {
    Rig rig;
    struct Case {
        const char* title;
        std::function<void(InputBox*)> act;
        std::optional<std::string> result;
        QString shownTitle;
    };
    const Case cases[] = {
        // Typing replaces the selected initial text and is filtered; a
        // paste is not; Enter confirms.
        {"",
         [](InputBox* box) {
             QTest::keyClicks(box->edit(), "a12b-");
             QGuiApplication::clipboard()->setText("x y");
             QTest::keyClick(box->edit(), Qt::Key_V, Qt::ControlModifier);
             QTest::keyClick(box->edit(), Qt::Key_Return);
         },
         "12-x y", "请输入："},
        {"输入时间：", [](InputBox* box) { QTest::keyClick(box->edit(), Qt::Key_Escape); },
         std::nullopt, "输入时间："},
        {"输入时间：", [](InputBox* box) { box->cancelButton()->click(); }, std::nullopt,
         "输入时间："},
        {"输入时间：", [](InputBox* box) { box->close(); }, std::nullopt, "输入时间："},
        {"输入时间：", [](InputBox* box) { box->confirmButton()->click(); }, "180", "输入时间："},
    };
    for (const Case& c : cases) {
        QString title, selected, prompt, confirm, cancel;
        whenOpen(modal<InputBox>(), [&](QWidget* w) {
            auto* box = static_cast<InputBox*>(w);
            title = box->windowTitle();
            selected = box->edit()->selectedText();
            prompt = box->findChild<QLabel*>()->text();
            confirm = box->confirmButton()->text();
            cancel = box->cancelButton()->text();
            QVERIFY(box->confirmButton()->isDefault());
            c.act(box);
        });
        const auto got = rig.view.inputBox("请输入闹铃的时长，单位为“秒”", c.title, "180", true);
        QCOMPARE(got, c.result);
        QCOMPARE(title, c.shownTitle);
        QCOMPARE(selected, QString("180"));
        QCOMPARE(prompt, QString("请输入闹铃的时长，单位为“秒”"));
        QCOMPARE(confirm, QString("确认输入(&O)"));
        QCOMPARE(cancel, QString("取消(&C)"));
    }
}

void TestView::closeRequests() {
    {
        // Idle: the window goes at once, with the tray icon, and the program ends.
        Rig rig;
        rig.view.bar()->close();
        QVERIFY(rig.program.destroyed());
        QVERIFY(rig.ended);
        QVERIFY(!rig.view.bar()->isVisible());
        QVERIFY(!rig.view.tray()->isVisible());
    }
    for (const char* press : {"否(&N)", "是(&Y)"}) {
        // Running: the close is asked about.
        Rig rig;
        QTest::mouseClick(rig.widget<FlatButton>(rig.program.超级按钮开始), Qt::LeftButton);
        QCOMPARE(rig.program.超级按钮开始.caption(), std::string("停止"));
        bool asked = false;
        whenOpen(
            modal<QMessageBox>(),
            [&](QWidget* w) {
                for (QAbstractButton* b : static_cast<QMessageBox*>(w)->buttons())
                    if (b->text() == press)
                        b->click();
            },
            &asked);
        const bool allowed = rig.view.closeRequest();
        rig.view.settle();
        QVERIFY(asked);
        const bool yes = QString(press) == "是(&Y)";
        QCOMPARE(allowed, yes);
        QCOMPARE(rig.program.destroyed(), yes);
        QCOMPARE(rig.view.bar()->isVisible(), !yes);
        QCOMPARE(rig.world.timerPeriod(TimerId::倒计), yes ? 0 : 1000);
    }
}

void TestView::destructionWaitsForTheModalBox() {
    Rig rig;
    bool destroyedInside = true;
    whenOpen(modal<QMessageBox>(), [&](QWidget* w) {
        rig.program.requestDestroy();
        rig.view.settle();
        destroyedInside = rig.program.destroyed();
        static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    rig.view.messageBox(k关于文本, k关于标题, BoxStyle::OkInformation);
    QVERIFY(!destroyedInside);
    QVERIFY(!rig.program.destroyed());
    rig.view.settle();
    QVERIFY(rig.program.destroyed());
    QVERIFY(rig.ended);
}

void TestView::nextDueSkipsMissedInstants_data() {
    QTest::addColumn<qint64>("due");
    QTest::addColumn<int>("period");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<qint64>("next");
    QTest::newRow("on time") << qint64(1000) << 1000 << qint64(1000) << qint64(2000);
    QTest::newRow("a little late") << qint64(1000) << 1000 << qint64(1012) << qint64(2000);
    QTest::newRow("a little early") << qint64(1000) << 1000 << qint64(999) << qint64(2000);
    QTest::newRow("two missed") << qint64(1000) << 1000 << qint64(3500) << qint64(4000);
    QTest::newRow("late to the next instant")
        << qint64(1000) << 250 << qint64(1250) << qint64(1500);
}

void TestView::nextDueSkipsMissedInstants() {
    QFETCH(qint64, due);
    QFETCH(int, period);
    QFETCH(qint64, now);
    QFETCH(qint64, next);
    QCOMPARE(nextDue(due, period, now), next);
}

void TestView::timersTickAndStop() {
    QtTimers timers;
    int flashes = 0, other = 0;
    timers.onTick = [&](TimerId id) {
        if (id == TimerId::闪烁)
            ++flashes;
        else
            ++other;
    };
    timers.setPeriod(TimerId::闪烁, 20);
    QTRY_VERIFY(flashes >= 3);
    timers.setPeriod(TimerId::闪烁, 0);
    QVERIFY(!timers.running(TimerId::闪烁));
    const int stoppedAt = flashes;
    QTest::qWait(100);
    QCOMPARE(flashes, stoppedAt);
    QCOMPARE(other, 0);

    // A tick that stops its own timer is not re-armed behind its back.
    timers.onTick = [&](TimerId id) {
        ++flashes;
        timers.setPeriod(id, 0);
    };
    timers.setPeriod(TimerId::监视变量, 10);
    QTRY_COMPARE(flashes, stoppedAt + 1);
    QTest::qWait(60);
    QCOMPARE(flashes, stoppedAt + 1);
}

void TestView::aTimerRearmedAfterFallingDueWaitsForItsNewInstant() {
    QtTimers timers;
    int ticks = 0;
    timers.onTick = [&](TimerId) {
        ++ticks;
    };
    // Due while the program is busy elsewhere, then set anew before the event
    // loop comes round: the old instant no longer counts.
    timers.setPeriod(TimerId::倒计, 5);
    QThread::msleep(30);
    timers.setPeriod(TimerId::倒计, 1500);
    QTest::qWait(150);
    QCOMPARE(ticks, 0);
    QVERIFY(timers.running(TimerId::倒计));
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 5000);

    // Stopped after falling due: no tick at all.
    timers.setPeriod(TimerId::闪烁, 5);
    QThread::msleep(30);
    timers.setPeriod(TimerId::闪烁, 0);
    timers.setPeriod(TimerId::倒计, 0);
    const int before = ticks;
    QTest::qWait(100);
    QCOMPARE(ticks, before);
}

void TestView::initTestCase() {
    // The offscreen platform has no window stacking, no grabs and no
    // notification area; its complaints about them are no finding.
    static QtMessageHandler testlog = nullptr;
    testlog = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message.contains("does not support raise()") ||
                message.contains("does not support grabbing") ||
                message.contains("does not support propagateSizeHints") ||
                message.contains("systemTrayWindowChanged"))
                return;
            testlog(type, context, message);
        });
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QPixmap icon(16, 16);
    icon.fill(Qt::gray);
    QApplication::setWindowIcon(QIcon(icon));
    QApplication::setQuitOnLastWindowClosed(false);
    if (!installQtTranslations())
        qWarning("Qt's Chinese translations are missing: qt6-translations-l10n");
    TestView test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_view.moc"
