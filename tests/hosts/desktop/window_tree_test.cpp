#include "hosts/desktop/window_tree.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace scribeline::desktop {
namespace {

struct Plain {};
// A window system whose windows can vanish behind the desktop's back.
struct Mortal {
    bool alive = true;
    [[nodiscard]] bool Alive() const { return alive; }
};

TEST(WindowTree, ZOrderFindChildAndTheDesktopWindow) {
    WindowTree<Plain> t;
    t.AddDesktop("#32769");
    const WindowHandle a = t.Add("A", "one", kNoWindow, nullptr).handle;
    const WindowHandle b = t.Add("B", "two", kDesktopWindow, nullptr).handle;
    const WindowHandle a2 = t.Add("A", "three", kNoWindow, nullptr).handle;
    const WindowHandle kid = t.Add("A", "kid", a, nullptr).handle;
    EXPECT_EQ(a, 2u) << "1 is the desktop window";
    EXPECT_EQ(t.TopLevel(), (std::vector<WindowHandle>{a, b, a2}));
    EXPECT_EQ(t.At(b).parent, kNoWindow) << "the desktop window as parent means top-level";
    EXPECT_EQ(t.At(kDesktopWindow).className, "#32769");
    EXPECT_NE(t.Find(kDesktopWindow), nullptr);
    // From the top down, continuing after a found window.
    EXPECT_EQ(t.FindChild(kNoWindow, kNoWindow, "A", std::nullopt), a2);
    EXPECT_EQ(t.FindChild(kDesktopWindow, a2, "A", std::nullopt), a);
    EXPECT_EQ(t.FindChild(kNoWindow, a, "A", std::nullopt), kNoWindow);
    EXPECT_EQ(t.FindChild(kNoWindow, kNoWindow, std::nullopt, "two"), b);
    EXPECT_EQ(t.FindChild(kNoWindow, kNoWindow, "A", "kid"), kNoWindow) << "direct children";
    EXPECT_EQ(t.FindChild(a, kNoWindow, std::nullopt, std::nullopt), kid);
    EXPECT_EQ(t.FindChild(999, kNoWindow, std::nullopt, std::nullopt), kNoWindow);
    t.Raise(a);
    EXPECT_EQ(t.TopLevel(), (std::vector<WindowHandle>{b, a2, a}));
    EXPECT_EQ(t.FindChild(kNoWindow, kNoWindow, "A", std::nullopt), a);
    EXPECT_EQ(t.Root(kid), a);
    EXPECT_EQ(t.Root(a), a);
}

TEST(WindowTree, ReparentRefusesCyclesAndUnknownWindows) {
    WindowTree<Plain> t;
    t.AddDesktop("#32769");
    const WindowHandle a = t.Add("A", "", kNoWindow, nullptr).handle;
    const WindowHandle b = t.Add("B", "", a, nullptr).handle;
    const WindowHandle c = t.Add("C", "", b, nullptr).handle;
    EXPECT_FALSE(t.Reparent(a, c)) << "into its own grandchild";
    EXPECT_FALSE(t.Reparent(a, a)) << "into itself";
    EXPECT_FALSE(t.Reparent(a, 99));
    EXPECT_FALSE(t.Reparent(99, a));
    EXPECT_FALSE(t.Reparent(kDesktopWindow, a));
    EXPECT_EQ(t.At(b).parent, a);
    EXPECT_EQ(t.Reparent(c, a), b);
    EXPECT_EQ(t.At(a).children, (std::vector<WindowHandle>{b, c})) << "on top of its siblings";
    EXPECT_TRUE(t.At(b).children.empty());
    EXPECT_EQ(t.Reparent(c, kDesktopWindow), a);
    EXPECT_EQ(t.TopLevel(), (std::vector<WindowHandle>{a, c}));
    EXPECT_EQ(t.Reparent(c, b), kDesktopWindow) << "a top-level window's parent is the desktop";
    EXPECT_EQ(t.Root(c), a);
}

TEST(WindowTree, DestroyGoesChildrenFirstWhileEachIsStillFindable) {
    WindowTree<Plain> t;
    const WindowHandle a = t.Add("A", "", kNoWindow, nullptr).handle;
    const WindowHandle b = t.Add("B", "", a, nullptr).handle;
    const WindowHandle c = t.Add("C", "", b, nullptr).handle;
    const WindowHandle d = t.Add("D", "", a, nullptr).handle;
    const WindowHandle other = t.Add("E", "", kNoWindow, nullptr).handle;
    std::vector<WindowHandle> gone;
    const auto tell = [&](WindowTree<Plain>::Node& n) {
        EXPECT_EQ(t.Find(n.handle), &n);
        gone.push_back(n.handle);
        t.Destroy(a, [](auto&) { ADD_FAILURE() << "a window being destroyed again"; });
    };
    t.Destroy(a, tell);
    EXPECT_EQ(gone, (std::vector<WindowHandle>{c, b, d, a}));
    for (const WindowHandle h : {a, b, c, d}) {
        EXPECT_EQ(t.Find(h), nullptr);
    }
    EXPECT_EQ(t.TopLevel(), (std::vector<WindowHandle>{other}));
    t.Destroy(a, tell);
    EXPECT_EQ(gone.size(), 4u) << "a dead handle is ignored";
    EXPECT_GT(t.Add("F", "", kNoWindow, nullptr).handle, other) << "handles are never reused";
}

TEST(WindowTree, WindowsThatAreNotAliveAreSkippedUntilDestroyed) {
    WindowTree<Mortal> t;
    const WindowHandle a = t.Add("A", "x", kNoWindow, nullptr).handle;
    const WindowHandle b = t.Add("A", "x", kNoWindow, nullptr).handle;
    t.At(b).alive = false;
    EXPECT_EQ(t.Find(b), nullptr);
    EXPECT_NE(t.FindAny(b), nullptr);
    EXPECT_EQ(t.FindChild(kNoWindow, kNoWindow, "A", "x"), a);
    EXPECT_FALSE(t.Reparent(b, a));
    EXPECT_FALSE(t.Reparent(a, b));
    int told = 0;
    t.Destroy(b, [&](auto&) { ++told; });
    EXPECT_EQ(told, 1) << "a window that died behind our back is still destroyed";
    EXPECT_EQ(t.FindAny(b), nullptr);
    EXPECT_EQ(t.TopLevel(), (std::vector<WindowHandle>{a}));
}

TEST(WindowTree, DeepestFollowsTheTopmostHitDownAndSkipsDeadWindows) {
    WindowTree<Mortal> t;
    const WindowHandle back = t.Add("Back", "", kNoWindow, nullptr).handle;
    const WindowHandle front = t.Add("Front", "", kNoWindow, nullptr).handle;
    const WindowHandle low = t.Add("Low", "", front, nullptr).handle;
    const WindowHandle high = t.Add("High", "", front, nullptr).handle;
    const WindowHandle grandchild = t.Add("Leaf", "", low, nullptr).handle;
    std::vector<WindowHandle> hit;
    std::vector<bool> asked;
    const auto deepest = [&] {
        asked.clear();
        return t.Deepest([&](const auto& n, bool topLevel) {
            asked.push_back(topLevel);
            return std::find(hit.begin(), hit.end(), n.handle) != hit.end();
        });
    };
    EXPECT_EQ(deepest(), kNoWindow);
    hit = {back, front, low, grandchild};
    EXPECT_EQ(deepest(), grandchild) << "high misses, so low and then its child";
    EXPECT_EQ(asked, (std::vector<bool>{true, false, false, false}));
    hit.push_back(high);
    EXPECT_EQ(deepest(), high) << "the topmost child wins";
    hit = {back, low, grandchild};
    EXPECT_EQ(deepest(), back) << "children of a window that misses are not looked at";
    hit = {back, front, high};
    t.At(high).alive = false;
    EXPECT_EQ(deepest(), front) << "a dead window is no hit";
}

} // namespace
} // namespace scribeline::desktop
