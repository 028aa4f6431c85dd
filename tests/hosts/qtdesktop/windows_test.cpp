#include "tests/hosts/qtdesktop/qt_support.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace scribeline::qtdesktop {
namespace {

using testing::Recorder;
using testing::waitFor;

TEST(QtForeign, AHostWidgetJoinsTheRegistryWithItsClassAndTitle) {
    QtDesktop d;
    QWidget main;
    main.setGeometry(50, 60, 400, 300);
    auto* canvas = new QWidget(&main);
    canvas->setGeometry(10, 20, 200, 100);
    main.show();
    const WindowHandle m = d.RegisterForeign(&main, "QgisApp", "QGIS");
    const WindowHandle c = d.RegisterForeign(canvas, "MapCanvas", "", m);
    EXPECT_EQ(d.FindWindow("QgisApp", "QGIS"), m);
    EXPECT_EQ(d.FindWindowEx(m, kNoWindow, "MapCanvas", std::nullopt), c);
    EXPECT_EQ(d.GetParent(c), m);
    EXPECT_EQ(d.Widget(c), canvas);
    EXPECT_EQ(d.HandleOf(canvas), c);
    const QPoint origin = canvas->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(d.GetWindowRect(c),
              (Rect{origin.x(), origin.y(), origin.x() + 200, origin.y() + 100}));
    EXPECT_EQ(d.WindowFromPoint({origin.x() + 5, origin.y() + 5}), c);
    EXPECT_THROW(d.RegisterForeign(canvas, "Again", ""), PortError);
    EXPECT_THROW(d.RegisterForeign(nullptr, "None", ""), PortError);
    EXPECT_THROW(d.RegisterForeign(new QWidget(&main), "Orphan", "", 999999), PortError);
}

TEST(QtForeign, TheDesktopNeverDeletesAHostWidget) {
    auto d = std::make_unique<QtDesktop>();
    QWidget main;
    const WindowHandle m = d->RegisterForeign(&main, "Host", "Main");
    d->DrawLine(m, {0, 0}, {10, 10}, {});
    d->DestroyWindow(m);
    EXPECT_FALSE(d->IsWindow(m));
    EXPECT_EQ(d->HandleOf(&main), kNoWindow);
    d->RegisterForeign(&main, "Host", "Main");
    d.reset(); // the desktop goes first; the widget must survive it
    main.setWindowTitle("still here");
    EXPECT_EQ(main.windowTitle(), "still here");
}

TEST(QtForeign, AWidgetTheHostDeletesLeavesTheRegistry) {
    QtDesktop d;
    auto* main = new QWidget;
    auto* dock = new QWidget(main);
    const WindowHandle m = d.RegisterForeign(main, "Host", "Main");
    const WindowHandle k = d.RegisterForeign(dock, "Dock", "Globe", m);
    Recorder child;
    const WindowHandle ours = d.CreateWindow({"Ours", "", k, {0, 0, 10, 10}, true}, &child);
    delete main;
    EXPECT_FALSE(d.IsWindow(m));
    EXPECT_FALSE(d.IsWindow(k));
    EXPECT_FALSE(d.IsWindow(ours));
    EXPECT_EQ(child.destroys, 1) << "our window inside it was told";
    EXPECT_EQ(d.FindWindow("Host", std::nullopt), kNoWindow);
}

TEST(QtWindows, OurWindowsAreWidgetsThatTheDesktopOwns) {
    QPointer<QWidget> widget;
    {
        QtDesktop d;
        Recorder handler;
        const WindowHandle w =
            d.CreateWindow({"Frame", "Digitizer", kNoWindow, {10, 10, 210, 110}, true}, &handler);
        widget = d.Widget(w);
        ASSERT_FALSE(widget.isNull());
        EXPECT_EQ(widget->windowTitle(), "Digitizer");
        d.SetWindowText(w, "Renamed");
        EXPECT_EQ(widget->windowTitle(), "Renamed");
        d.SetWindowRegion(w, {{0, 0, 50, 50}});
        EXPECT_FALSE(widget->mask().isEmpty());
        d.SetWindowRegion(w, {});
        EXPECT_TRUE(widget->mask().isEmpty());
    }
    EXPECT_TRUE(widget.isNull()) << "deleted with the desktop";
}

TEST(QtWindows, APostedCloseRunsAtThePumpNotBefore) {
    QtDesktop d;
    Recorder handler;
    const WindowHandle w =
        d.CreateWindow({"Frame", "", kNoWindow, {0, 0, 100, 100}, true}, &handler);
    QPointer<QWidget> widget = d.Widget(w);
    d.PostCloseMessage(w);
    d.Sleep(20);
    EXPECT_EQ(handler.closes, 0);
    d.DoEvents();
    EXPECT_EQ(handler.closes, 1);
    EXPECT_EQ(handler.destroys, 1);
    EXPECT_FALSE(d.IsWindow(w));
    EXPECT_TRUE(waitFor([&] { return widget.isNull(); })) << "the widget is deleted";
}

TEST(QtWindows, TheUsersCloseBoxAsksTheHandler) {
    QtDesktop d;
    Recorder handler;
    handler.refuse = true;
    const WindowHandle w =
        d.CreateWindow({"Frame", "", kNoWindow, {0, 0, 100, 100}, true}, &handler);
    d.Widget(w)->close();
    EXPECT_TRUE(waitFor([&] { return handler.closes == 1; }));
    EXPECT_TRUE(d.IsWindow(w));
    EXPECT_TRUE(d.IsWindowVisible(w)) << "a refused close leaves the window up";
    handler.refuse = false;
    d.Widget(w)->close();
    EXPECT_TRUE(waitFor([&] { return !d.IsWindow(w); }));
    EXPECT_EQ(handler.destroys, 1);
}

TEST(QtWindows, AHandlerMayDestroyItsOwnWindowWhileHandlingInput) {
    QtDesktop d;
    Recorder handler;
    const WindowHandle w =
        d.CreateWindow({"Frame", "", kNoWindow, {0, 0, 100, 100}, true}, &handler);
    handler.onMouseAction = [&] { d.DestroyWindow(w); };
    d.SetCursorPos({20, 20});
    EXPECT_FALSE(d.IsWindow(w));
    EXPECT_EQ(handler.destroys, 1);
    EXPECT_EQ(handler.mouse.size(), 1u);
}

TEST(QtWindows, ForegroundIsThePortsOwnRecordAndRaisesTheWindow) {
    QtDesktop d;
    const WindowHandle a = d.CreateWindow({"A", "", kNoWindow, {0, 0, 100, 100}, true}, nullptr);
    const WindowHandle b = d.CreateWindow({"B", "", kNoWindow, {50, 50, 150, 150}, true}, nullptr);
    EXPECT_EQ(d.WindowFromPoint({75, 75}), b) << "the newer window is on top";
    EXPECT_TRUE(d.SetForegroundWindow(a));
    EXPECT_EQ(d.GetForegroundWindow(), a);
    EXPECT_EQ(d.WindowFromPoint({75, 75}), a) << "raised";
    EXPECT_EQ(d.FindWindow(std::nullopt, std::nullopt), a) << "top of the z-order";
}

TEST(QtMessageBox, ATimerClosesTheModalBox) {
    QtDesktop d;
    QPointer<QMessageBox> seen;
    bool modal = false;
    std::string text;
    const TimerHandle t = d.SetTimer(30, [&] {
        const WindowHandle box = d.FindWindow("#32770", "Scribeline for ArcMap");
        auto* open = qobject_cast<QMessageBox*>(d.Widget(box));
        seen = open;
        if (open != nullptr) {
            modal = open->windowModality() == Qt::ApplicationModal && open->isVisible();
            text = open->text().toStdString();
        }
        d.PostCloseMessage(box);
    });
    QElapsedTimer clock;
    clock.start();
    const int answer = d.MessageBox(kNoWindow, "Layer is not editable", "Scribeline for ArcMap",
                                    mb::YesNo | mb::IconExclamation);
    d.KillTimer(t);
    EXPECT_EQ(answer, idr::Cancel) << "closed, not answered";
    EXPECT_TRUE(modal);
    EXPECT_EQ(text, "Layer is not editable");
    EXPECT_LT(clock.elapsed(), 2000) << "the timer, not a person, closed it";
    EXPECT_TRUE(seen.isNull()) << "the box is gone";
    EXPECT_EQ(d.FindWindow("#32770", std::nullopt), kNoWindow);
}

TEST(QtMessageBox, ButtonsAnswerWithTheirCodes) {
    QtDesktop d;
    auto clickFromTimer = [&](unsigned flags, QMessageBox::StandardButton button) {
        TimerHandle t = 0;
        t = d.SetTimer(10, [&, button] {
            d.KillTimer(t);
            auto* box = qobject_cast<QMessageBox*>(d.Widget(d.FindWindow("#32770", "Q")));
            if (box != nullptr && box->button(button) != nullptr) {
                box->button(button)->click();
            }
        });
        return d.MessageBox(kNoWindow, "?", "Q", flags);
    };
    EXPECT_EQ(clickFromTimer(mb::YesNo, QMessageBox::Yes), idr::Yes);
    EXPECT_EQ(clickFromTimer(mb::YesNo, QMessageBox::No), idr::No);
    EXPECT_EQ(clickFromTimer(mb::OkCancel, QMessageBox::Cancel), idr::Cancel);
    EXPECT_EQ(clickFromTimer(mb::OkCancel, QMessageBox::Ok), idr::Ok);
}

TEST(QtMessageBox, AResponderAnswersInPlaceOfAPersonAndRecordsEveryBox) {
    QtDesktop d;
    std::vector<std::string> asked;
    bool shownWhileOpen = false;
    d.SetMessageBoxResponder([&](const MessageBoxShown& box) {
        asked.push_back(box.title + ": " + box.text);
        if (box.title == "Keep") {
            // Still open after 40 ms of the 120 ms it is kept: a timer sees it on show.
            QTimer::singleShot(40, [&] {
                auto* open = qobject_cast<QMessageBox*>(d.Widget(d.FindWindow("#32770", "Keep")));
                shownWhileOpen = open != nullptr && open->isVisible();
            });
            return MessageBoxAnswer{idr::No, 120};
        }
        return MessageBoxAnswer{box.title == "Cancel me" ? idr::Cancel : idr::Ok, 0};
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(d.MessageBox(kNoWindow, "a", "Plain", mb::Ok), idr::Ok);
    EXPECT_EQ(d.MessageBox(kNoWindow, "b", "Cancel me", mb::OkCancel), idr::Cancel);
    EXPECT_LT(clock.elapsed(), 100) << "answered at once";
    clock.restart();
    EXPECT_EQ(d.MessageBox(kNoWindow, "c", "Keep", mb::YesNo | mb::IconQuestion), idr::No);
    EXPECT_GE(clock.elapsed(), 110) << "kept open about 120 ms";
    EXPECT_LT(clock.elapsed(), 400);
    EXPECT_TRUE(shownWhileOpen);
    // An answer the box has no button for: Ok on a Yes/No box still ends it, as OK.
    EXPECT_EQ(d.MessageBox(kNoWindow, "d", "Mismatch", mb::YesNo), idr::Ok);

    ASSERT_EQ(d.MessageBoxes().size(), 4u);
    EXPECT_EQ(asked,
              (std::vector<std::string>{"Plain: a", "Cancel me: b", "Keep: c", "Mismatch: d"}));
    EXPECT_EQ(d.MessageBoxes()[2].box.flags, mb::YesNo | mb::IconQuestion);
    EXPECT_EQ(d.MessageBoxes()[2].result, idr::No);
    EXPECT_FALSE(d.MessageBoxes()[2].closedByMessage);
    EXPECT_EQ(d.FindWindow("#32770", std::nullopt), kNoWindow) << "every box is gone";
}

TEST(QtMessageBox, AKeptBoxClosedByATimerFirstCountsAsClosed) {
    QtDesktop d;
    d.SetMessageBoxResponder([](const MessageBoxShown&) {
        return MessageBoxAnswer{idr::Yes, 250};
    });
    const TimerHandle t =
        d.SetTimer(20, [&] { d.PostCloseMessage(d.FindWindow("#32770", std::nullopt)); });
    EXPECT_EQ(d.MessageBox(kNoWindow, "?", "Q", mb::YesNo), idr::Cancel);
    d.KillTimer(t);
    ASSERT_EQ(d.MessageBoxes().size(), 1u);
    EXPECT_TRUE(d.MessageBoxes()[0].closedByMessage);
    EXPECT_EQ(d.MessageBoxes()[0].result, idr::Cancel);
}

TEST(QtMessageBox, SendKeysAnswersTheOpenBox) {
    QtDesktop d;
    TimerHandle t = 0;
    t = d.SetTimer(10, [&] {
        d.KillTimer(t);
        d.SendKeys("{ENTER}");
    });
    EXPECT_EQ(d.MessageBox(kNoWindow, "Done", "Info", mb::Ok), idr::Ok);
}

TEST(QtWindows, WithAnOwnerTopLevelWindowsAreItsToolWindowsAndGoWithIt) {
    auto owner = std::make_unique<QWidget>();
    owner->show();
    QtDesktopOptions options;
    options.toolWindowOwner = owner.get();
    QtDesktop d(options);
    Recorder handler;
    const WindowHandle top =
        d.CreateWindow({"Frame", "Digitizer", kNoWindow, {40, 50, 240, 150}, true}, &handler);
    const WindowHandle child =
        d.CreateWindow({"Button", "OK", top, {5, 5, 55, 25}, true}, &handler);
    QWidget* w = d.Widget(top);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->parentWidget(), owner.get());
    EXPECT_EQ(w->windowType(), Qt::Tool);
    EXPECT_TRUE(w->isWindow());
    // Still placed in screen pixels, as any top-level window.
    EXPECT_EQ(d.GetWindowRect(top)->left, 40);
    EXPECT_EQ(d.GetWindowRect(top)->top, 50);
    // A child window stays a child of its port parent.
    EXPECT_EQ(d.Widget(child)->parentWidget(), w);
    EXPECT_FALSE(d.Widget(child)->isWindow());

    // The owner going first takes the windows with it; the desktop forgets them.
    owner.reset();
    EXPECT_FALSE(d.IsWindow(top));
    EXPECT_FALSE(d.IsWindow(child));
    // Windows made afterwards are windows of their own.
    const WindowHandle later =
        d.CreateWindow({"Frame", "Later", kNoWindow, {0, 0, 100, 100}, true}, &handler);
    EXPECT_EQ(d.Widget(later)->parentWidget(), nullptr);
}

} // namespace
} // namespace scribeline::qtdesktop
