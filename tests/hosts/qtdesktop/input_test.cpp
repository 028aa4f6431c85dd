#include "hosts/desktop/send_keys.hpp"
#include "hosts/qtdesktop/qt_input.hpp"
#include "tests/hosts/qtdesktop/qt_support.hpp"

#include <gtest/gtest.h>

namespace scribeline::qtdesktop {
namespace {

using testing::Recorder;
using testing::sendRealKey;
using testing::sendRealPress;

// ---- translation ----

TEST(QtKeys, PortKeysSurviveTheTripThroughQt) {
    for (const char* keys :
         {"a",    "Z",      "7",     ".",    " ",      "{ENTER}", "{ESC}",   "{TAB}",
          "{BS}", "{HOME}", "{END}", "{UP}", "{DOWN}", "{LEFT}",  "{RIGHT}", "{DEL}",
          "{F1}", "{F7}",   "{F12}", "^p",   "+{END}", "%x"}) {
        for (const KeyEvent& k : desktop::parseSendKeys(keys)) {
            const bool down =
                k.message == KeyMessage::KeyDown || k.message == KeyMessage::SysKeyDown;
            const QKeyEvent q(down ? QEvent::KeyPress : QEvent::KeyRelease, qtKeyOf(k),
                              qtModifiersOf(k), qtTextOf(k));
            const KeyEvent back = keyEventOf(q);
            EXPECT_EQ(back.message, k.message) << keys;
            EXPECT_EQ(back.virtualKey, k.virtualKey) << keys;
            EXPECT_EQ(back.character, k.character) << keys;
            EXPECT_EQ(back.shift, k.shift) << keys;
            EXPECT_EQ(back.control, k.control) << keys;
            EXPECT_EQ(back.alt, k.alt) << keys;
        }
    }
}

TEST(QtKeys, QtOnlyKeysMapToTheirVirtualKeys) {
    const QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, "\r");
    EXPECT_EQ(keyEventOf(enter).virtualKey, vk::Return) << "the keypad's Enter";
    const QKeyEvent pageUp(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
    EXPECT_EQ(keyEventOf(pageUp).virtualKey, 0x21);
    const QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "\x01");
    EXPECT_EQ(keyEventOf(ctrlA).character, '\0') << "control characters are not typed text";
    const QKeyEvent unknown(QEvent::KeyPress, Qt::Key_MediaPlay, Qt::NoModifier);
    EXPECT_EQ(keyEventOf(unknown).virtualKey, 0);
}

TEST(QtMouse, MessagesAndButtonsCorrespond) {
    for (MouseMessage m : {MouseMessage::Move, MouseMessage::LeftDown, MouseMessage::LeftUp,
                           MouseMessage::LeftDoubleClick, MouseMessage::RightDown,
                           MouseMessage::RightUp, MouseMessage::RightDoubleClick,
                           MouseMessage::MiddleDown, MouseMessage::MiddleUp, MouseMessage::Wheel}) {
        const QtMouse q = qtMouseOf(m);
        EXPECT_EQ(mouseMessageOf(q.type, q.button), m);
    }
    EXPECT_FALSE(mouseMessageOf(QEvent::MouseButtonPress, Qt::BackButton));
    EXPECT_FALSE(mouseMessageOf(QEvent::KeyPress, Qt::NoButton));
}

// ---- hooks over real input ----

TEST(QtHooks, RealInputPassesTheHooksNewestFirstBeforeTheWindow) {
    QtDesktop d;
    std::string order;
    struct Ordered : Recorder {
        std::string* order = nullptr;
        void onMouse(const MouseEvent& e, Point c) override {
            Recorder::onMouse(e, c);
            *order += "window ";
        }
    } window;
    window.order = &order;
    const WindowHandle w = d.CreateWindow({"T", "", kNoWindow, {0, 0, 200, 200}, true}, &window);
    d.SetMouseHook([&](const MouseEvent& e) {
        order += e.injected ? "old(injected) " : "old ";
        return HookResult::Pass;
    });
    d.SetMouseHook([&](const MouseEvent&) {
        order += "new ";
        return HookResult::Pass;
    });
    sendRealPress(d.Widget(w), {30, 40});
    EXPECT_EQ(order, "new old window ");
    ASSERT_EQ(window.mouse.size(), 1u);
    EXPECT_EQ(window.mouse[0].second, (Point{30, 40}));
    const QPoint global = d.Widget(w)->mapToGlobal(QPoint(30, 40));
    EXPECT_EQ(d.GetCursorPos(), (Point{global.x(), global.y()})) << "the port follows the mouse";
    EXPECT_EQ(d.GetForegroundWindow(), w) << "a click makes the window the foreground window";
}

TEST(QtHooks, ADiscardStopsRealInputBeforeTheWindow) {
    QtDesktop d;
    Recorder window;
    const WindowHandle w = d.CreateWindow({"T", "", kNoWindow, {0, 0, 200, 200}, true}, &window);
    d.SetForegroundWindow(w);
    d.SetMouseHook([](const MouseEvent&) { return HookResult::Discard; });
    d.SetKeyboardHook([](const KeyEvent& e) {
        return e.virtualKey == vk::Escape ? HookResult::Discard : HookResult::Pass;
    });
    sendRealPress(d.Widget(w), {10, 10});
    sendRealKey(d.Widget(w), Qt::Key_Escape, "\x1b");
    sendRealKey(d.Widget(w), Qt::Key_A, "a", 2001);
    EXPECT_TRUE(window.mouse.empty());
    ASSERT_EQ(window.keys.size(), 1u);
    EXPECT_EQ(window.keys[0].character, 'a');
}

// A host widget that ignores input hands it to its parent; the hooks must see it once.
TEST(QtHooks, RepeatsUpTheParentChainAreSeenOnce) {
    QtDesktop d;
    QWidget host;
    host.setGeometry(0, 0, 300, 300);
    auto* canvas = new QWidget(&host); // plain widgets ignore mouse and keys
    canvas->setGeometry(10, 10, 200, 200);
    auto* viewport = new QWidget(canvas);
    viewport->setGeometry(0, 0, 200, 200);
    host.show();
    d.RegisterForeign(&host, "HostMain", "Host");
    int mouseSeen = 0;
    int keysSeen = 0;
    d.SetMouseHook([&](const MouseEvent& e) {
        mouseSeen += e.message == MouseMessage::LeftDown ? 1 : 0;
        return HookResult::Pass;
    });
    d.SetKeyboardHook([&](const KeyEvent&) {
        ++keysSeen;
        return HookResult::Pass;
    });
    sendRealPress(viewport, {5, 5});
    EXPECT_EQ(mouseSeen, 1);
    sendRealKey(viewport, Qt::Key_B, "b");
    EXPECT_EQ(keysSeen, 1);
    // The same press again, later: a new event, seen again.
    sendRealPress(viewport, {5, 5}, 1001);
    EXPECT_EQ(mouseSeen, 2);
}

TEST(QtHooks, TheEchoOfAPortCursorMoveIsNotSeenTwice) {
    QtDesktop d;
    Recorder window;
    const WindowHandle w = d.CreateWindow({"T", "", kNoWindow, {0, 0, 200, 200}, true}, &window);
    int moves = 0;
    d.SetMouseHook([&](const MouseEvent& e) {
        moves += e.message == MouseMessage::Move ? 1 : 0;
        return HookResult::Pass;
    });
    d.SetCursorPos({50, 60});
    EXPECT_EQ(moves, 1);
    // The window system reports the pointer where the port put it.
    QWidget* widget = d.Widget(w);
    const QPoint local = widget->mapFromGlobal(QPoint(50, 60));
    QMouseEvent echo(QEvent::MouseMove, local, QPoint(50, 60), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    echo.setTimestamp(3000);
    QApplication::sendEvent(widget, &echo);
    EXPECT_EQ(moves, 1);
    EXPECT_TRUE(widget->hasMouseTracking()) << "moves without a button reach the hooks";
}

TEST(QtHooks, ForeignWidgetsTrackTheMouseOnceAHookNeedsMoves) {
    QtDesktop d;
    QWidget host;
    d.RegisterForeign(&host, "HostMain", "Host");
    EXPECT_FALSE(host.hasMouseTracking());
    d.SetMouseHook([](const MouseEvent&) { return HookResult::Pass; });
    EXPECT_TRUE(host.hasMouseTracking());
    QWidget later;
    d.RegisterForeign(&later, "Dock", "Later");
    EXPECT_TRUE(later.hasMouseTracking());
}

TEST(QtInput, SyntheticClicksReachTheHostsOwnChildWidgets) {
    QtDesktop d;
    QWidget host;
    host.setGeometry(100, 100, 300, 300);
    struct Canvas : QWidget {
        using QWidget::QWidget;
        int presses = 0;
        QPoint at;
        void mousePressEvent(QMouseEvent* e) override {
            ++presses;
            at = e->pos();
        }
    };
    auto* canvas = new Canvas(&host);
    canvas->setGeometry(20, 30, 100, 100);
    host.show();
    d.RegisterForeign(&host, "HostMain", "Host");
    const QPoint target = canvas->mapToGlobal(QPoint(7, 8));
    d.SetCursorPos({target.x(), target.y()});
    d.SendMouseInput(MouseMessage::LeftDown);
    d.SendMouseInput(MouseMessage::LeftUp);
    EXPECT_EQ(canvas->presses, 1);
    EXPECT_EQ(canvas->at, QPoint(7, 8));
}

TEST(QtInput, SendKeysGoesToTheFocusWidgetOfTheForegroundWindow) {
    QtDesktop d;
    QWidget host;
    struct Field : QWidget {
        using QWidget::QWidget;
        QString typed;
        void keyPressEvent(QKeyEvent* e) override { typed += e->text(); }
    };
    auto* field = new Field(&host);
    field->setFocusPolicy(Qt::StrongFocus);
    host.show();
    field->setFocus();
    const WindowHandle h = d.RegisterForeign(&host, "HostMain", "Host");
    d.SetForegroundWindow(h);
    d.SendKeys("Hi.");
    EXPECT_EQ(field->typed, "Hi.");
}

} // namespace
} // namespace scribeline::qtdesktop
