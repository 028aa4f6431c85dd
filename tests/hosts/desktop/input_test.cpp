#include "hosts/desktop/headless_desktop.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scribeline::desktop {
namespace {

struct MouseLog : IWindowHandler {
    std::vector<std::pair<MouseMessage, Point>> events;
    std::vector<KeyEvent> keys;
    void onMouse(const MouseEvent& e, Point client) override {
        events.emplace_back(e.message, client);
    }
    void onKey(const KeyEvent& e) override { keys.push_back(e); }
};

TEST(Hooks, NewestHookFirstThenTheTargetWindow) {
    HeadlessDesktop d;
    MouseLog target;
    const WindowHandle w = d.CreateWindow({"A", "", kNoWindow, {100, 100, 200, 200}}, &target);
    std::string order;
    d.SetMouseHook([&](const MouseEvent&) {
        order += "old ";
        return HookResult::Pass;
    });
    const HookHandle newer = d.SetMouseHook([&](const MouseEvent&) {
        order += "new ";
        return HookResult::Pass;
    });
    d.InjectMouse(MouseMessage::LeftDown, {150, 160});
    EXPECT_EQ(order, "new old ");
    ASSERT_EQ(target.events.size(), 1u);
    EXPECT_EQ(target.events[0].second, (Point{50, 60})) << "client coordinates";
    EXPECT_EQ(d.GetCursorPos(), (Point{150, 160}));
    EXPECT_TRUE(d.Unhook(newer));
    EXPECT_FALSE(d.Unhook(newer));
    EXPECT_EQ(d.InstalledMouseHooks(), 1);
    (void)w;
}

TEST(Hooks, DiscardStopsTheChainAndTheWindow) {
    HeadlessDesktop d;
    MouseLog target;
    d.CreateWindow({"A", "", kNoWindow, {0, 0, 100, 100}}, &target);
    int olderSaw = 0;
    d.SetMouseHook([&](const MouseEvent&) {
        ++olderSaw;
        return HookResult::Pass;
    });
    d.SetMouseHook([](const MouseEvent& e) {
        return e.message == MouseMessage::Move ? HookResult::Pass : HookResult::Discard;
    });
    d.InjectMouse(MouseMessage::LeftDown, {10, 10});
    d.InjectMouse(MouseMessage::Move, {11, 11});
    EXPECT_EQ(olderSaw, 1);
    ASSERT_EQ(target.events.size(), 1u);
    EXPECT_EQ(target.events[0].first, MouseMessage::Move);
}

TEST(Hooks, AHookMayRemoveItselfWhileRunning) {
    HeadlessDesktop d;
    HookHandle self = 0;
    int calls = 0;
    self = d.SetMouseHook([&](const MouseEvent&) {
        ++calls;
        d.Unhook(self);
        return HookResult::Pass;
    });
    d.InjectMouse(MouseMessage::Move, {1, 1});
    d.InjectMouse(MouseMessage::Move, {2, 2});
    EXPECT_EQ(calls, 1);
}

TEST(Hooks, SyntheticInputTravelsTheSamePath) {
    HeadlessDesktop d;
    MouseLog target;
    d.CreateWindow({"A", "", kNoWindow, {0, 0, 100, 100}}, &target);
    std::vector<MouseEvent> seen;
    d.SetMouseHook([&](const MouseEvent& e) {
        seen.push_back(e);
        return HookResult::Pass;
    });
    d.SetCursorPos({40, 30});
    d.SendMouseInput(MouseMessage::LeftDown);
    d.SendMouseInput(MouseMessage::LeftUp);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].message, MouseMessage::Move);
    EXPECT_TRUE(seen[1].injected);
    EXPECT_EQ(seen[1].screen, (Point{40, 30}));
    EXPECT_EQ(target.events.size(), 3u);
    d.SetCursorPos({5000, -5}); // clamped to the screen
    EXPECT_EQ(d.GetCursorPos(), (Point{1919, 0}));
}

TEST(Hooks, APressedButtonCapturesTheMouseUntilRelease) {
    HeadlessDesktop d;
    MouseLog strip;
    d.CreateWindow({"Strip", "", kNoWindow, {0, 0, 50, 20}}, &strip);
    d.InjectMouse(MouseMessage::LeftDown, {5, 5});
    d.InjectMouse(MouseMessage::Move, {300, 300});
    d.InjectMouse(MouseMessage::LeftUp, {310, 310});
    d.InjectMouse(MouseMessage::Move, {320, 320});
    ASSERT_EQ(strip.events.size(), 3u);
    EXPECT_EQ(strip.events[2].first, MouseMessage::LeftUp);
    EXPECT_EQ(strip.events[2].second, (Point{310, 310}));
}

TEST(Hooks, AWindowHoldingTheMouseThatDiesLetsGoOfIt) {
    HeadlessDesktop d;
    MouseLog strip, below;
    d.CreateWindow({"Below", "", kNoWindow, {0, 0, 400, 400}}, &below);
    const WindowHandle w = d.CreateWindow({"Strip", "", kNoWindow, {0, 0, 50, 20}}, &strip);
    d.InjectMouse(MouseMessage::LeftDown, {5, 5});
    d.DestroyWindow(w);
    d.InjectMouse(MouseMessage::Move, {300, 300});
    d.InjectMouse(MouseMessage::LeftUp, {310, 310});
    ASSERT_EQ(strip.events.size(), 1u);
    ASSERT_EQ(below.events.size(), 2u) << "the window under the point takes over";
    EXPECT_EQ(below.events[1].first, MouseMessage::LeftUp);
    // A later press captures afresh.
    d.InjectMouse(MouseMessage::RightDown, {10, 10});
    d.InjectMouse(MouseMessage::RightUp, {900, 900});
    ASSERT_EQ(below.events.size(), 4u);
    EXPECT_EQ(below.events[3].second, (Point{900, 900}));
}

TEST(Keyboard, HooksThenTheForegroundWindow) {
    HeadlessDesktop d;
    MouseLog a, b;
    const WindowHandle wa = d.CreateWindow({"A", "", kNoWindow, {0, 0, 10, 10}}, &a);
    const WindowHandle wb = d.CreateWindow({"B", "", kNoWindow, {0, 0, 10, 10}}, &b);
    d.SetForegroundWindow(wb);
    int hooked = 0;
    d.SetKeyboardHook([&](const KeyEvent& e) {
        ++hooked;
        return e.virtualKey == vk::Escape ? HookResult::Discard : HookResult::Pass;
    });
    d.SendKeys("^+P{ESC}");
    EXPECT_EQ(hooked, 4);
    ASSERT_EQ(b.keys.size(), 2u);
    EXPECT_EQ(b.keys[0].virtualKey, 'P');
    EXPECT_TRUE(b.keys[0].control);
    EXPECT_TRUE(b.keys[0].shift);
    EXPECT_TRUE(a.keys.empty());
    EXPECT_EQ(d.SentKeys(), std::vector<std::string>{"^+P{ESC}"});
    // A child handed to SetForegroundWindow makes its top-level window the foreground.
    const WindowHandle kid = d.CreateWindow({"K", "", wa, {0, 0, 1, 1}}, nullptr);
    d.SetForegroundWindow(kid);
    EXPECT_EQ(d.GetForegroundWindow(), wa);
}

TEST(Modal, ShowingModallyReturnsAtOnce) {
    HeadlessDesktop d;
    const WindowHandle w =
        d.CreateWindow({"Form", "Scribeline", kNoWindow, {0, 0, 10, 10}, false}, nullptr);
    d.ShowWindow(w, ShowCommand::ShowModal);
    EXPECT_TRUE(d.IsWindowVisible(w));
    EXPECT_EQ(d.GetForegroundWindow(), w);
    int ticks = 0;
    d.SetTimer(50, [&] { ++ticks; });
    d.AdvanceTime(100);
    EXPECT_EQ(ticks, 2) << "the rest of the desktop keeps running";
}

} // namespace
} // namespace scribeline::desktop
