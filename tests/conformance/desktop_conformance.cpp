#include "tests/conformance/desktop_conformance.hpp"

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline::conformance {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;
using ::testing::ElementsAre;

bool pumpUntil(IDesktop& desktop, const std::function<bool()>& done, int maxMs) {
    const std::int64_t start = desktop.TickCount();
    for (;;) {
        desktop.DoEvents();
        if (done()) {
            return true;
        }
        if (desktop.TickCount() - start >= maxMs) {
            return false;
        }
        desktop.Sleep(2);
    }
}

namespace {

// Records what a window receives, and where the delivery fell in a shared order log.
struct Recorder : IWindowHandler {
    explicit Recorder(std::string* order = nullptr) : order_(order) {}
    std::vector<std::pair<MouseEvent, Point>> mouse;
    std::vector<KeyEvent> keys;
    std::vector<Size> sizes;
    int closeRequests = 0;
    bool refuseClose = false;
    std::vector<std::string>* destroyLog = nullptr;
    std::string name;

    void onMouse(const MouseEvent& e, Point client) override {
        mouse.emplace_back(e, client);
        if (order_ != nullptr) {
            *order_ += "window ";
        }
    }
    void onKey(const KeyEvent& e) override {
        keys.push_back(e);
        if (order_ != nullptr) {
            *order_ += "window ";
        }
    }
    bool onClose() override {
        ++closeRequests;
        return !refuseClose;
    }
    void onDestroy() override {
        if (destroyLog != nullptr) {
            destroyLog->push_back(name);
        }
    }
    void onResize(Size client) override { sizes.push_back(client); }

private:
    std::string* order_;
};

WindowSpec topLevel(const std::string& cls, const std::string& title, Rect rect) {
    return {cls, title, kNoWindow, rect, true};
}

std::uint32_t pixel(const Bitmap& b, int x, int y) {
    return b.pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
                       static_cast<std::size_t>(x));
}

} // namespace

// ---- the checks the doubles fail --------------------------------------------------------

AssertionResult checkMouseInputDeliveredBeforeReturn(IDesktop& desktop) {
    std::string order;
    Recorder window(&order);
    const WindowHandle w =
        desktop.CreateWindow(topLevel("ConformanceTarget", "Mouse", {40, 40, 240, 190}), &window);
    std::vector<MouseEvent> hooked;
    const HookHandle older = desktop.SetMouseHook([&](const MouseEvent& e) {
        order += "older ";
        hooked.push_back(e);
        return HookResult::Pass;
    });
    const HookHandle newer = desktop.SetMouseHook([&](const MouseEvent&) {
        order += "newer ";
        return HookResult::Pass;
    });
    desktop.SetCursorPos({90, 70});
    const std::optional<Point> client = desktop.ScreenToClient(w, {90, 70});
    order.clear();
    hooked.clear();
    window.mouse.clear();

    desktop.SendMouseInput(MouseMessage::LeftDown);
    const std::string orderAfterDown = order;
    const auto mouseAfterDown = window.mouse;
    const auto hookedAfterDown = hooked;
    desktop.SendMouseInput(MouseMessage::LeftUp);
    const std::string orderAfterUp = order;

    desktop.Unhook(newer);
    desktop.Unhook(older);
    desktop.DestroyWindow(w);

    if (orderAfterDown != "newer older window ") {
        return AssertionFailure() << "when SendMouseInput returned, the delivery order was \""
                                  << orderAfterDown << "\", not \"newer older window \"";
    }
    if (orderAfterUp != "newer older window newer older window ") {
        return AssertionFailure() << "the button release was not delivered before returning: \""
                                  << orderAfterUp << "\"";
    }
    if (hookedAfterDown.size() != 1 || !hookedAfterDown[0].injected ||
        hookedAfterDown[0].message != MouseMessage::LeftDown ||
        hookedAfterDown[0].screen != Point{90, 70}) {
        return AssertionFailure() << "the hook did not see one injected LeftDown at the cursor";
    }
    if (mouseAfterDown.size() != 1 || !client || mouseAfterDown[0].second != *client) {
        return AssertionFailure() << "the window did not get the press at its client point";
    }
    return AssertionSuccess();
}

AssertionResult checkKeysDeliveredBeforeReturn(IDesktop& desktop) {
    std::string order;
    Recorder window(&order);
    const WindowHandle w =
        desktop.CreateWindow(topLevel("ConformanceTarget", "Keys", {60, 60, 260, 160}), &window);
    desktop.SetForegroundWindow(w);
    std::vector<KeyEvent> hooked;
    const HookHandle hook = desktop.SetKeyboardHook([&](const KeyEvent& e) {
        order += "hook ";
        hooked.push_back(e);
        return HookResult::Pass;
    });
    desktop.SendKeys("a{ENTER}");
    const std::string orderNow = order;
    const auto keysNow = window.keys;
    desktop.Unhook(hook);
    desktop.DestroyWindow(w);

    if (orderNow != "hook window hook window hook window hook window ") {
        return AssertionFailure() << "when SendKeys returned, the delivery order was \"" << orderNow
                                  << "\"";
    }
    if (keysNow.size() != 4 || keysNow[0].message != KeyMessage::KeyDown ||
        keysNow[0].virtualKey != 'A' || keysNow[0].character != 'a' ||
        keysNow[1].message != KeyMessage::KeyUp || keysNow[2].virtualKey != vk::Return) {
        return AssertionFailure() << "the foreground window did not get a, Enter as key events";
    }
    return AssertionSuccess();
}

AssertionResult checkSleepRunsNothing(IDesktop& desktop) {
    Recorder window;
    const WindowHandle w =
        desktop.CreateWindow(topLevel("ConformanceTarget", "Sleep", {10, 10, 110, 110}), &window);
    int ticks = 0;
    const TimerHandle timer = desktop.SetTimer(5, [&] { ++ticks; });
    desktop.PostCloseMessage(w);
    desktop.Sleep(60);
    const int ticksDuringSleep = ticks;
    const int closesDuringSleep = window.closeRequests;
    const bool aliveAfterSleep = desktop.IsWindow(w);
    const bool pumped = pumpUntil(desktop, [&] { return ticks > 0 && !desktop.IsWindow(w); });
    desktop.KillTimer(timer);
    desktop.DestroyWindow(w);

    if (ticksDuringSleep != 0 || closesDuringSleep != 0 || !aliveAfterSleep) {
        return AssertionFailure() << "Sleep ran " << ticksDuringSleep << " timer callbacks and "
                                  << closesDuringSleep << " posted closes";
    }
    if (!pumped) {
        return AssertionFailure() << "pumping did not run the timer and the posted close";
    }
    return AssertionSuccess();
}

// ---- the suite -------------------------------------------------------------------------

TEST_P(DesktopConformance, SyntheticMouseInputPassesTheHooksAndReachesItsWindowBeforeReturning) {
    EXPECT_TRUE(checkMouseInputDeliveredBeforeReturn(desk()));
}

TEST_P(DesktopConformance, SendKeysPassesTheHooksAndReachesTheForegroundWindowBeforeReturning) {
    EXPECT_TRUE(checkKeysDeliveredBeforeReturn(desk()));
}

TEST_P(DesktopConformance, SleepRunsNoTimerAndNoPostedMessageButThePumpDoes) {
    EXPECT_TRUE(checkSleepRunsNothing(desk()));
}

TEST_P(DesktopConformance, ADiscardingHookStopsOlderHooksAndTheWindow) {
    Recorder window;
    desk().CreateWindow(topLevel("ConformanceTarget", "", {0, 0, 200, 200}), &window);
    int olderSaw = 0;
    desk().SetMouseHook([&](const MouseEvent&) {
        ++olderSaw;
        return HookResult::Pass;
    });
    const HookHandle discard = desk().SetMouseHook([](const MouseEvent& e) {
        return e.message == MouseMessage::RightDown ? HookResult::Discard : HookResult::Pass;
    });
    desk().SetCursorPos({50, 50});
    olderSaw = 0;
    window.mouse.clear();
    desk().SendMouseInput(MouseMessage::RightDown);
    EXPECT_EQ(olderSaw, 0);
    EXPECT_TRUE(window.mouse.empty());
    desk().SendMouseInput(MouseMessage::RightUp);
    EXPECT_EQ(olderSaw, 1);
    EXPECT_EQ(window.mouse.size(), 1u);

    EXPECT_TRUE(desk().Unhook(discard));
    EXPECT_FALSE(desk().Unhook(discard)) << "a removed hook is gone";
    desk().SendMouseInput(MouseMessage::RightDown);
    EXPECT_EQ(window.mouse.size(), 2u);
}

TEST_P(DesktopConformance, KeyboardHooksSeeKeysFirstAndMayDiscardThem) {
    Recorder window;
    const WindowHandle w =
        desk().CreateWindow(topLevel("ConformanceTarget", "", {0, 0, 200, 200}), &window);
    desk().SetForegroundWindow(w);
    desk().SetKeyboardHook([](const KeyEvent& e) {
        return e.virtualKey == vk::Escape ? HookResult::Discard : HookResult::Pass;
    });
    desk().SendKeys("{ESC}^p{F8}");
    ASSERT_EQ(window.keys.size(), 4u) << "Escape discarded, Ctrl+P and F8 delivered";
    EXPECT_EQ(window.keys[0].virtualKey, 'P');
    EXPECT_TRUE(window.keys[0].control);
    EXPECT_EQ(window.keys[0].character, '\0') << "Ctrl chords type no character";
    EXPECT_EQ(window.keys[2].virtualKey, vk::F8);
    EXPECT_THROW(desk().SendKeys("{NOSUCHKEY}"), std::invalid_argument);
}

TEST_P(DesktopConformance, MovingTheCursorIsSeenByTheMouseHooks) {
    std::vector<MouseEvent> seen;
    desk().SetMouseHook([&](const MouseEvent& e) {
        seen.push_back(e);
        return HookResult::Pass;
    });
    desk().SetCursorPos({123, 45});
    EXPECT_EQ(desk().GetCursorPos(), (Point{123, 45}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().message, MouseMessage::Move);
    EXPECT_EQ(seen.back().screen, (Point{123, 45}));
    EXPECT_TRUE(seen.back().injected);
}

TEST_P(DesktopConformance, PeriodicTimersRunFromPumpsUntilKilled) {
    int ticks = 0;
    const TimerHandle t = desk().SetTimer(10, [&] { ++ticks; });
    ASSERT_NE(t, 0u);
    EXPECT_TRUE(pumpUntil(desk(), [&] { return ticks >= 3; }));
    desk().KillTimer(t);
    const int atKill = ticks;
    desk().Sleep(30);
    desk().DoEvents();
    EXPECT_EQ(ticks, atKill);
    EXPECT_THROW(desk().SetTimer(0, [] {}), PortError);
}

TEST_P(DesktopConformance, AnOverdueTimerFiresOnceNotOncePerMissedPeriod) {
    int ticks = 0;
    const TimerHandle t = desk().SetTimer(10, [&] { ++ticks; });
    desk().Sleep(100);
    desk().DoEvents();
    EXPECT_EQ(ticks, 1);
    desk().KillTimer(t);
}

TEST_P(DesktopConformance, ATimerCallbackMayKillItsOwnTimer) {
    int ticks = 0;
    TimerHandle self = 0;
    self = desk().SetTimer(5, [&] {
        ++ticks;
        desk().KillTimer(self);
    });
    EXPECT_TRUE(pumpUntil(desk(), [&] { return ticks > 0; }));
    desk().Sleep(20);
    desk().DoEvents();
    desk().Sleep(20);
    desk().DoEvents();
    EXPECT_EQ(ticks, 1);
}

TEST_P(DesktopConformance, AMessageBoxIsATitledForegroundWindowThatTimersCanClose) {
    Recorder ownerHandler;
    const WindowHandle owner =
        desk().CreateWindow(topLevel("ConformanceOwner", "Owner", {0, 0, 300, 200}), &ownerHandler);
    desk().SetForegroundWindow(owner);
    struct Seen {
        WindowHandle box = kNoWindow;
        WindowHandle foreground = kNoWindow;
        std::string cls;
    };
    auto closeFromTimer = [&](unsigned flags) {
        Seen seen;
        TimerHandle t = 0;
        t = desk().SetTimer(20, [&] {
            seen.box = desk().FindWindow(std::nullopt, "Question");
            seen.foreground = desk().GetForegroundWindow();
            seen.cls = desk().GetClassName(seen.box);
            desk().KillTimer(t);
            desk().PostCloseMessage(seen.box);
        });
        const int result = desk().MessageBox(owner, "Go on?", "Question", flags);
        return std::make_pair(result, seen);
    };
    const auto [okResult, okSeen] = closeFromTimer(mb::Ok | mb::IconInformation);
    EXPECT_EQ(okResult, idr::Ok) << "closing a box with only OK answers OK";
    ASSERT_NE(okSeen.box, kNoWindow) << "the open box is a top-level window with its title";
    EXPECT_EQ(okSeen.foreground, okSeen.box);
    EXPECT_EQ(okSeen.cls, "#32770");
    EXPECT_FALSE(desk().IsWindow(okSeen.box)) << "the box is gone once answered";
    EXPECT_EQ(desk().GetForegroundWindow(), owner) << "the owner is foreground again";

    const auto [cancelResult, cancelSeen] = closeFromTimer(mb::OkCancel | mb::IconQuestion);
    EXPECT_EQ(cancelResult, idr::Cancel);
    EXPECT_NE(cancelSeen.box, okSeen.box) << "handles are never reused";
}

TEST_P(DesktopConformance, APostedCloseWaitsForThePumpAndTheHandlerMayRefuse) {
    Recorder stubborn;
    stubborn.refuseClose = true;
    const WindowHandle w =
        desk().CreateWindow(topLevel("ConformanceTarget", "", {0, 0, 100, 100}), &stubborn);
    desk().PostCloseMessage(w);
    EXPECT_EQ(stubborn.closeRequests, 0) << "posted, not sent";
    EXPECT_TRUE(pumpUntil(desk(), [&] { return stubborn.closeRequests == 1; }));
    EXPECT_TRUE(desk().IsWindow(w)) << "refused";

    stubborn.refuseClose = false;
    desk().PostCloseMessage(w);
    EXPECT_TRUE(pumpUntil(desk(), [&] { return !desk().IsWindow(w); }));
    EXPECT_EQ(stubborn.closeRequests, 2);
}

TEST_P(DesktopConformance, WindowsReportTheirRectanglesAndMapClientPoints) {
    Recorder top, child;
    const WindowHandle w =
        desk().CreateWindow(topLevel("ConformanceTop", "Top", {100, 80, 400, 330}), &top);
    EXPECT_EQ(desk().GetWindowRect(w), (Rect{100, 80, 400, 330}));
    const WindowHandle c =
        desk().CreateWindow({"ConformanceChild", "Child", w, {10, 20, 110, 70}, true}, &child);
    EXPECT_EQ(desk().GetClientRect(c), (Rect{0, 0, 100, 50}));
    const std::optional<Point> topClient = desk().ClientToScreen(w, {0, 0});
    ASSERT_TRUE(topClient);
    EXPECT_GE(topClient->x, 100);
    EXPECT_GE(topClient->y, 80);
    const Rect childRect = *desk().GetWindowRect(c);
    EXPECT_EQ(childRect,
              (Rect{topClient->x + 10, topClient->y + 20, topClient->x + 110, topClient->y + 70}))
        << "a child sits at its position in the parent's client area";
    EXPECT_EQ(desk().ClientToScreen(c, {5, 6}), (Point{childRect.left + 5, childRect.top + 6}));
    EXPECT_EQ(desk().ScreenToClient(c, {childRect.left + 5, childRect.top + 6}), (Point{5, 6}));

    EXPECT_EQ(desk().GetClassName(c), "ConformanceChild");
    EXPECT_EQ(desk().GetWindowText(w), "Top");
    desk().SetWindowText(w, "Renamed");
    EXPECT_EQ(desk().GetWindowText(w), "Renamed");
    EXPECT_EQ(desk().GetParent(c), w);
    EXPECT_EQ(desk().GetParent(w), kNoWindow);
    EXPECT_THROW(desk().CreateWindow({"X", "", 999999, {0, 0, 1, 1}, true}, nullptr), PortError);
}

TEST_P(DesktopConformance, FindWindowWalksSiblingsFromTheTop) {
    const WindowHandle parent =
        desk().CreateWindow(topLevel("ConformanceParent", "P", {0, 0, 300, 300}), nullptr);
    const WindowHandle a =
        desk().CreateWindow({"Item", "first", parent, {0, 0, 10, 10}, true}, nullptr);
    const WindowHandle b =
        desk().CreateWindow({"Item", "second", parent, {20, 0, 30, 10}, true}, nullptr);
    desk().CreateWindow({"Other", "third", parent, {40, 0, 50, 10}, true}, nullptr);
    EXPECT_EQ(desk().FindWindowEx(parent, kNoWindow, "Item", std::nullopt), b) << "newest on top";
    EXPECT_EQ(desk().FindWindowEx(parent, b, "Item", std::nullopt), a);
    EXPECT_EQ(desk().FindWindowEx(parent, a, "Item", std::nullopt), kNoWindow);
    EXPECT_EQ(desk().FindWindowEx(parent, kNoWindow, std::nullopt, "first"), a);
    EXPECT_EQ(desk().FindWindow("ConformanceParent", "P"), parent);
    EXPECT_EQ(desk().FindWindow("Item", std::nullopt), kNoWindow) << "children are not top-level";
    EXPECT_EQ(desk().FindWindow("NoSuchClass", std::nullopt), kNoWindow);
}

TEST_P(DesktopConformance, SetParentKeepsTheNumbersOfThePosition) {
    const WindowHandle left =
        desk().CreateWindow(topLevel("ConformanceLeft", "", {0, 0, 200, 200}), nullptr);
    const WindowHandle right =
        desk().CreateWindow(topLevel("ConformanceRight", "", {300, 100, 500, 300}), nullptr);
    const WindowHandle c =
        desk().CreateWindow({"Child", "", left, {15, 25, 65, 55}, true}, nullptr);
    EXPECT_EQ(desk().SetParent(c, right), left);
    EXPECT_EQ(desk().GetParent(c), right);
    const Point origin = *desk().ClientToScreen(right, {0, 0});
    EXPECT_EQ(desk().GetWindowRect(c),
              (Rect{origin.x + 15, origin.y + 25, origin.x + 65, origin.y + 55}));
    EXPECT_EQ(desk().FindWindowEx(right, kNoWindow, "Child", std::nullopt), c);
    EXPECT_EQ(desk().FindWindowEx(left, kNoWindow, "Child", std::nullopt), kNoWindow);
    EXPECT_EQ(desk().SetParent(right, c), kNoWindow) << "not into its own descendant";
    EXPECT_EQ(desk().SetParent(c, 999999), kNoWindow);
}

TEST_P(DesktopConformance, SetParentToTheDesktopMakesATopLevelWindow) {
    const WindowHandle parent =
        desk().CreateWindow(topLevel("ConformanceParent", "", {0, 0, 300, 300}), nullptr);
    const WindowHandle c =
        desk().CreateWindow({"Loose", "L", parent, {40, 50, 140, 130}, true}, nullptr);
    EXPECT_EQ(desk().SetParent(c, desk().GetDesktopWindow()), parent);
    EXPECT_EQ(desk().GetParent(c), kNoWindow);
    EXPECT_EQ(desk().FindWindow("Loose", "L"), c);
    EXPECT_EQ(desk().GetWindowRect(c), (Rect{40, 50, 140, 130})) << "now in screen pixels";
    EXPECT_EQ(desk().SetParent(c, parent), desk().GetDesktopWindow());
    EXPECT_EQ(desk().GetParent(c), parent);
}

TEST_P(DesktopConformance, AfterAPressTheReleaseGoesToTheWindowThatTookThePress) {
    Recorder left, right;
    desk().CreateWindow(topLevel("ConformanceLeft", "", {0, 0, 100, 100}), &left);
    desk().CreateWindow(topLevel("ConformanceRight", "", {200, 0, 300, 100}), &right);
    desk().SetCursorPos({50, 50});
    desk().SendMouseInput(MouseMessage::LeftDown);
    desk().SetCursorPos({250, 50});
    desk().SendMouseInput(MouseMessage::LeftUp);
    desk().SendMouseInput(MouseMessage::Move);
    ASSERT_GE(left.mouse.size(), 4u);
    EXPECT_EQ(left.mouse[1].first.message, MouseMessage::LeftDown);
    EXPECT_EQ(left.mouse[2].first.message, MouseMessage::Move) << "dragged outside";
    EXPECT_EQ(left.mouse[3].first.message, MouseMessage::LeftUp);
    ASSERT_FALSE(right.mouse.empty()) << "after the release, input goes where the cursor is";
    EXPECT_EQ(right.mouse.back().first.message, MouseMessage::Move);
}

TEST_P(DesktopConformance, WindowFromPointFindsTheDeepestVisibleWindowAndHonoursRegions) {
    const WindowHandle top =
        desk().CreateWindow(topLevel("ConformanceTop", "", {100, 100, 400, 400}), nullptr);
    const WindowHandle child =
        desk().CreateWindow({"Child", "", top, {0, 0, 100, 100}, true}, nullptr);
    const WindowHandle hidden =
        desk().CreateWindow({"Hidden", "", top, {150, 150, 250, 250}, false}, nullptr);
    const Point o = *desk().ClientToScreen(top, {0, 0});
    EXPECT_EQ(desk().WindowFromPoint({o.x + 50, o.y + 50}), child);
    EXPECT_EQ(desk().WindowFromPoint({o.x + 200, o.y + 200}), top) << "hidden windows are not hit";
    EXPECT_FALSE(desk().IsWindowVisible(hidden));
    EXPECT_EQ(desk().WindowFromPoint({5, 5}), desk().GetDesktopWindow());

    // Cut the child to its left half: its right half shows the parent.
    desk().SetWindowRegion(child, {{0, 0, 50, 100}});
    EXPECT_EQ(desk().WindowFromPoint({o.x + 25, o.y + 50}), child);
    EXPECT_EQ(desk().WindowFromPoint({o.x + 75, o.y + 50}), top);
    desk().SetWindowRegion(child, {});
    EXPECT_EQ(desk().WindowFromPoint({o.x + 75, o.y + 50}), child);
}

TEST_P(DesktopConformance, DestroyingAWindowTellsItsChildrenFirstAndHandlesAreNotReused) {
    std::vector<std::string> log;
    Recorder parent, child, grandChild;
    parent.destroyLog = child.destroyLog = grandChild.destroyLog = &log;
    parent.name = "parent";
    child.name = "child";
    grandChild.name = "grandchild";
    const WindowHandle p =
        desk().CreateWindow(topLevel("ConformanceTop", "", {0, 0, 200, 200}), &parent);
    const WindowHandle c = desk().CreateWindow({"C", "", p, {0, 0, 50, 50}, true}, &child);
    const WindowHandle g = desk().CreateWindow({"G", "", c, {0, 0, 10, 10}, true}, &grandChild);
    desk().DestroyWindow(p);
    EXPECT_THAT(log, ElementsAre("grandchild", "child", "parent"));
    EXPECT_FALSE(desk().IsWindow(p));
    EXPECT_FALSE(desk().IsWindow(g));
    const WindowHandle again =
        desk().CreateWindow(topLevel("ConformanceTop", "", {0, 0, 200, 200}), nullptr);
    EXPECT_NE(again, p);
    EXPECT_NE(again, c);
    EXPECT_NE(again, g);
    desk().DestroyWindow(p); // a dead handle: nothing happens
}

TEST_P(DesktopConformance, DeadHandlesGiveTheFailureResults) {
    const WindowHandle w =
        desk().CreateWindow(topLevel("ConformanceTop", "T", {0, 0, 50, 50}), nullptr);
    desk().DestroyWindow(w);
    EXPECT_FALSE(desk().GetWindowRect(w));
    EXPECT_FALSE(desk().GetClientRect(w));
    EXPECT_FALSE(desk().ClientToScreen(w, {1, 1}));
    EXPECT_FALSE(desk().ScreenToClient(w, {1, 1}));
    EXPECT_EQ(desk().GetClassName(w), "");
    EXPECT_EQ(desk().GetWindowText(w), "");
    EXPECT_EQ(desk().GetParent(w), kNoWindow);
    EXPECT_FALSE(desk().SetForegroundWindow(w));
    EXPECT_FALSE(desk().IsWindowVisible(w));
    EXPECT_FALSE(desk().SetWindowPos(w, 0, 0, 5, 5, 0));
    EXPECT_FALSE(desk().CaptureWindow(w));
    desk().ShowWindow(w, ShowCommand::Show);
    desk().SetWindowText(w, "x");
    desk().PostCloseMessage(w);
    desk().DrawLine(w, {0, 0}, {1, 1}, {});
    desk().DoEvents();
}

TEST_P(DesktopConformance, TheForegroundWindowIsTheTopLevelWindowAndHidingDropsIt) {
    const WindowHandle a =
        desk().CreateWindow(topLevel("ConformanceA", "", {0, 0, 100, 100}), nullptr);
    const WindowHandle child = desk().CreateWindow({"Child", "", a, {0, 0, 10, 10}, true}, nullptr);
    EXPECT_TRUE(desk().SetForegroundWindow(child));
    EXPECT_EQ(desk().GetForegroundWindow(), a);
    EXPECT_FALSE(desk().SetForegroundWindow(desk().GetDesktopWindow()));
    desk().ShowWindow(a, ShowCommand::Hide);
    EXPECT_FALSE(desk().IsWindowVisible(a));
    EXPECT_FALSE(desk().IsWindowVisible(child)) << "a hidden parent hides its children";
    EXPECT_EQ(desk().GetForegroundWindow(), kNoWindow);
    desk().ShowWindow(a, ShowCommand::ShowModal);
    EXPECT_TRUE(desk().IsWindowVisible(a));
    EXPECT_EQ(desk().GetForegroundWindow(), a) << "shown modal: shown and foreground";
}

TEST_P(DesktopConformance, MinimiseAndRestore) {
    const WindowHandle a =
        desk().CreateWindow(topLevel("ConformanceA", "", {10, 10, 110, 110}), nullptr);
    desk().ShowWindow(a, ShowCommand::Minimize);
    EXPECT_TRUE(desk().IsIconic(a));
    desk().ShowWindow(a, ShowCommand::Restore);
    EXPECT_FALSE(desk().IsIconic(a));
    EXPECT_TRUE(desk().IsWindowVisible(a));
}

TEST_P(DesktopConformance, SetWindowPosMovesResizesAndTellsTheHandler) {
    Recorder handler;
    const WindowHandle w =
        desk().CreateWindow(topLevel("ConformanceA", "", {10, 10, 110, 110}), &handler);
    EXPECT_TRUE(desk().SetWindowPos(w, 50, 60, 0, 0, swp::NoSize | swp::NoZOrder));
    EXPECT_EQ(desk().GetWindowRect(w), (Rect{50, 60, 150, 160}));
    EXPECT_TRUE(desk().SetWindowPos(w, 0, 0, 200, 120, swp::NoMove));
    EXPECT_EQ(desk().GetWindowRect(w), (Rect{50, 60, 250, 180}));
    const Rect client = *desk().GetClientRect(w);
    ASSERT_FALSE(handler.sizes.empty()) << "a new size is reported";
    EXPECT_EQ(handler.sizes.back(), (Size{client.width(), client.height()}));
    const auto reports = handler.sizes.size();
    desk().SetWindowPos(w, 70, 70, 0, 0, swp::NoSize);
    EXPECT_EQ(handler.sizes.size(), reports) << "a move alone is no resize";
}

TEST_P(DesktopConformance, DrawingStaysUntilTheOwnerSaysTheContentChanged) {
    const WindowHandle w =
        desk().CreateWindow(topLevel("ConformanceCanvas", "", {20, 20, 80, 60}), nullptr);
    const std::optional<Bitmap> clean = desk().CaptureWindow(w);
    ASSERT_TRUE(clean);
    const Rect client = *desk().GetClientRect(w);
    ASSERT_EQ(clean->width, client.width());
    ASSERT_EQ(clean->height, client.height());

    const Pen red{rgb(255, 0, 0), 1, RasterOp::Copy};
    desk().DrawLine(w, {5, 10}, {40, 10}, red);
    desk().FillCircle(w, {20, 25}, 4, rgb(0, 0, 255), rgb(0, 0, 255));
    desk().DoEvents();
    const Bitmap drawn = *desk().CaptureWindow(w);
    EXPECT_EQ(pixel(drawn, 20, 10), 0xFF0000u);
    EXPECT_EQ(pixel(drawn, 20, 25), 0x0000FFu) << "the circle's centre in its fill colour";
    EXPECT_EQ(pixel(drawn, 20, 15), pixel(*clean, 20, 15)) << "untouched elsewhere";

    contentChanged(w);
    desk().DoEvents();
    EXPECT_EQ(desk().CaptureWindow(w)->pixels, clean->pixels) << "the drawing is gone";
}

TEST_P(DesktopConformance, InvertingTwiceRestoresThePicture) {
    const WindowHandle w =
        desk().CreateWindow(topLevel("ConformanceCanvas", "", {20, 20, 80, 60}), nullptr);
    const Bitmap clean = *desk().CaptureWindow(w);
    const Pen invert{rgb(0, 255, 255), 1, RasterOp::Invert};
    desk().DrawRectangle(w, {5, 5, 30, 25}, invert);
    const Bitmap once = *desk().CaptureWindow(w);
    EXPECT_EQ(pixel(once, 15, 5), ~pixel(clean, 15, 5) & 0x00FFFFFFu)
        << "the top edge inverted, whatever the pen colour";
    EXPECT_EQ(pixel(once, 15, 15), pixel(clean, 15, 15)) << "an outline, not a fill";
    desk().DrawRectangle(w, {5, 5, 30, 25}, invert);
    EXPECT_EQ(desk().CaptureWindow(w)->pixels, clean.pixels);
}

TEST_P(DesktopConformance, TheClockFollowsSleepsAndTheTimeOfDay) {
    const std::int64_t before = desk().TickCount();
    desk().Sleep(30);
    const std::int64_t slept = desk().TickCount() - before;
    EXPECT_GE(slept, 30);
    EXPECT_LT(slept, 1000) << "a generous bound: the clock does not run away";

    const DateTime now = desk().Now();
    const float timer = desk().Timer();
    const double fromNow = now.hour * 3600.0 + now.minute * 60.0 + now.second;
    if (fromNow > 5.0 && fromNow < 86395.0) { // not across midnight
        EXPECT_NEAR(timer, fromNow, 2.0);
    }
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
}

TEST_P(DesktopConformance, SystemServices) {
    for (int i = 0; i < 100; ++i) {
        const double r = desk().Rnd();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
    desk().Randomize();
    EXPECT_EQ(desk().TwipsPerPixelX(), 15);
    EXPECT_EQ(desk().TwipsPerPixelY(), 15);
    const std::string temp = desk().GetTempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(temp));
    const std::string module = desk().GetModuleFolder();
    ASSERT_FALSE(module.empty());
    EXPECT_NE(module.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(module));

    const Size screen = desk().GetScreenSize();
    EXPECT_GT(screen.width, 0);
    EXPECT_GT(screen.height, 0);
    const Bitmap shot = desk().CaptureDesktop();
    EXPECT_EQ(shot.width, screen.width);
    EXPECT_EQ(shot.height, screen.height);
    EXPECT_EQ(shot.pixels.size(),
              static_cast<std::size_t>(screen.width) * static_cast<std::size_t>(screen.height));

    const Font font;
    const Size one = desk().MeasureText("W", font);
    const Size many = desk().MeasureText("WWWWWWWWWW", font);
    EXPECT_GT(one.width, 0);
    EXPECT_GT(one.height, 0);
    EXPECT_GT(many.width, one.width * 5);
    EXPECT_EQ(many.height, one.height);
    EXPECT_EQ(desk().MeasureText("", font).width, 0);
}

} // namespace scribeline::conformance
