#include "hosts/desktop/headless_desktop.hpp"

#include <gtest/gtest.h>

namespace scribeline::desktop {
namespace {

struct Recorder : IWindowHandler {
    int closes = 0, destroys = 0;
    bool allowClose = true;
    Size lastResize;
    bool onClose() override {
        ++closes;
        return allowClose;
    }
    void onDestroy() override { ++destroys; }
    void onResize(Size s) override { lastResize = s; }
};

TEST(Windows, GeometryOfNestedWindows) {
    HeadlessDesktop d;
    const WindowHandle main =
        d.CreateWindow({"Main", "Globe", kNoWindow, {100, 50, 900, 650}}, nullptr);
    const WindowHandle render = d.CreateWindow({"Render", "", main, {10, 20, 810, 520}}, nullptr);
    EXPECT_EQ(d.GetWindowRect(render), (Rect{110, 70, 910, 570}));
    EXPECT_EQ(d.GetClientRect(render), (Rect{0, 0, 800, 500}));
    EXPECT_EQ(d.ClientToScreen(render, {5, 6}), (Point{115, 76}));
    EXPECT_EQ(d.ScreenToClient(render, {115, 76}), (Point{5, 6}));
    EXPECT_EQ(d.GetParent(render), main);
    EXPECT_EQ(d.GetParent(main), kNoWindow);
    // Moving the parent moves the child on screen; NoSize keeps the size.
    EXPECT_TRUE(d.SetWindowPos(main, 0, 0, 1, 1, swp::NoSize | swp::NoZOrder));
    EXPECT_EQ(d.GetWindowRect(render), (Rect{10, 20, 810, 520}));
    EXPECT_FALSE(d.GetWindowRect(9999).has_value());
    EXPECT_FALSE(d.ClientToScreen(9999, {0, 0}).has_value());
}

TEST(Windows, WindowFromPointFindsTheDeepestVisibleChildOnTop) {
    HeadlessDesktop d;
    const WindowHandle back = d.CreateWindow({"A", "back", kNoWindow, {0, 0, 500, 500}}, nullptr);
    const WindowHandle front =
        d.CreateWindow({"B", "front", kNoWindow, {100, 100, 300, 300}}, nullptr);
    const WindowHandle child = d.CreateWindow({"C", "", front, {10, 10, 50, 50}}, nullptr);
    EXPECT_EQ(d.WindowFromPoint({120, 120}), child);
    EXPECT_EQ(d.WindowFromPoint({200, 200}), front);
    EXPECT_EQ(d.WindowFromPoint({50, 50}), back);
    EXPECT_EQ(d.WindowFromPoint({700, 700}), d.GetDesktopWindow());
    // Bringing the back window forward changes the answer; a hidden window is skipped.
    d.SetForegroundWindow(back);
    EXPECT_EQ(d.GetForegroundWindow(), back);
    EXPECT_EQ(d.WindowFromPoint({200, 200}), back);
    d.ShowWindow(back, ShowCommand::Hide);
    EXPECT_EQ(d.WindowFromPoint({200, 200}), front);
    // A region cuts the window: outside it, the point falls through.
    d.SetWindowRegion(front, {{0, 0, 20, 20}});
    EXPECT_EQ(d.WindowFromPoint({150, 150}), d.GetDesktopWindow());
    EXPECT_EQ(d.WindowFromPoint({105, 105}), front);
}

TEST(Windows, MoveWithoutZOrderChangeKeepsStacking) {
    HeadlessDesktop d;
    const WindowHandle a = d.CreateWindow({"A", "", kNoWindow, {0, 0, 100, 100}}, nullptr);
    const WindowHandle b = d.CreateWindow({"B", "", kNoWindow, {0, 0, 100, 100}}, nullptr);
    d.SetWindowPos(a, 10, 10, 0, 0, swp::NoSize | swp::NoZOrder);
    EXPECT_EQ(d.WindowFromPoint({50, 50}), b);
    d.SetWindowPos(a, 10, 10, 0, 0, swp::NoSize);
    EXPECT_EQ(d.WindowFromPoint({50, 50}), a);
}

TEST(Windows, MinimiseRestoreAndParkedRectangle) {
    HeadlessDesktop d;
    const WindowHandle w = d.CreateWindow({"A", "", kNoWindow, {10, 10, 110, 110}}, nullptr);
    d.ShowWindow(w, ShowCommand::Minimize);
    EXPECT_TRUE(d.IsIconic(w));
    EXPECT_FALSE(d.IsWindowVisible(w));
    EXPECT_EQ(d.GetWindowRect(w)->left, -32000);
    d.ShowWindow(w, ShowCommand::Restore);
    EXPECT_FALSE(d.IsIconic(w));
    EXPECT_EQ(d.GetWindowRect(w), (Rect{10, 10, 110, 110}));
}

TEST(Windows, ReparentIntoAnotherWindowAndBack) {
    HeadlessDesktop d;
    const WindowHandle form = d.CreateWindow({"Form", "", kNoWindow, {0, 0, 400, 300}}, nullptr);
    const WindowHandle picture = d.CreateWindow({"Picture", "", form, {5, 5, 105, 35}}, nullptr);
    const WindowHandle render =
        d.CreateWindow({"Render", "", kNoWindow, {500, 500, 1300, 1000}}, nullptr);
    EXPECT_EQ(d.SetParent(picture, render), form);
    d.SetWindowPos(picture, 150, 15, 0, 0, swp::NoSize | swp::NoZOrder);
    EXPECT_EQ(d.GetWindowRect(picture), (Rect{650, 515, 750, 545}));
    EXPECT_EQ(d.Children(render), std::vector<WindowHandle>{picture});
    EXPECT_TRUE(d.Children(form).empty());
    EXPECT_EQ(d.SetParent(picture, form), render);
    EXPECT_EQ(d.GetParent(picture), form);
    // A window cannot move under its own child; an unknown window cannot be reparented.
    EXPECT_EQ(d.SetParent(form, picture), kNoWindow);
    EXPECT_EQ(d.SetParent(9999, form), kNoWindow);
    // Parent 0 or the desktop makes a top-level window; the previous top-level parent is the
    // desktop.
    EXPECT_EQ(d.SetParent(picture, d.GetDesktopWindow()), form);
    EXPECT_EQ(d.GetParent(picture), kNoWindow);
    EXPECT_EQ(d.SetParent(picture, form), d.GetDesktopWindow());
}

TEST(Windows, FindByClassAndTitle) {
    HeadlessDesktop d;
    const WindowHandle app =
        d.CreateWindow({"AppMain", "Map", kNoWindow, {0, 0, 100, 100}}, nullptr);
    const WindowHandle other = d.CreateWindow({"Toolbar", "", app, {0, 0, 10, 10}}, nullptr);
    const WindowHandle view =
        d.CreateWindow({"AfxFrameOrView70u", "", app, {0, 0, 90, 90}}, nullptr);
    const WindowHandle titled =
        d.CreateWindow({"AfxFrameOrView70u", "Layout", app, {0, 0, 90, 90}}, nullptr);
    EXPECT_EQ(d.FindWindowEx(app, kNoWindow, "AfxFrameOrView70u", ""), view);
    EXPECT_EQ(d.FindWindowEx(app, kNoWindow, "AfxFrameOrView70u", std::nullopt), titled);
    EXPECT_EQ(d.FindWindowEx(app, titled, "AfxFrameOrView70u", std::nullopt), view);
    EXPECT_EQ(d.FindWindowEx(app, kNoWindow, "Toolbar", std::nullopt), other);
    EXPECT_EQ(d.FindWindowEx(app, kNoWindow, "Nothing", std::nullopt), kNoWindow);
    EXPECT_EQ(d.FindWindow(std::nullopt, "Map"), app);
    EXPECT_EQ(d.FindWindow("AfxFrameOrView70u", std::nullopt), kNoWindow)
        << "children are not top-level";
}

TEST(Windows, CloseMessagesAskTheHandlerAtTheNextPump) {
    HeadlessDesktop d;
    Recorder refusing, accepting;
    refusing.allowClose = false;
    const WindowHandle a = d.CreateWindow({"A", "", kNoWindow, {0, 0, 10, 10}}, &refusing);
    const WindowHandle b = d.CreateWindow({"B", "", kNoWindow, {0, 0, 10, 10}}, &accepting);
    const WindowHandle child = d.CreateWindow({"C", "", b, {0, 0, 5, 5}}, &refusing);
    d.PostCloseMessage(a);
    d.PostCloseMessage(b);
    EXPECT_EQ(refusing.closes, 0) << "posting does not run the handler";
    d.DoEvents();
    EXPECT_EQ(refusing.closes, 1);
    EXPECT_TRUE(d.IsWindow(a));
    EXPECT_EQ(accepting.closes, 1);
    EXPECT_FALSE(d.IsWindow(b));
    EXPECT_FALSE(d.IsWindow(child)) << "children go with their parent";
    EXPECT_EQ(refusing.destroys, 1);
    d.RequestClose(a);
    EXPECT_EQ(refusing.closes, 2);
}

TEST(Windows, ResizeNotifiesTheHandler) {
    HeadlessDesktop d;
    Recorder r;
    const WindowHandle w = d.CreateWindow({"A", "", kNoWindow, {0, 0, 10, 10}}, &r);
    d.SetWindowPos(w, 0, 0, 640, 480, swp::NoMove | swp::NoZOrder);
    EXPECT_EQ(r.lastResize, (Size{640, 480}));
}

TEST(Drawing, RecordedPerWindowUntilRepaintAndCaptured) {
    HeadlessDesktop d;
    const WindowHandle w = d.CreateWindow({"A", "", kNoWindow, {0, 0, 20, 10}}, nullptr);
    d.DrawLine(w, {0, 0}, {19, 0}, Pen{rgb(0, 255, 255), 1});
    d.FillCircle(w, {10, 5}, 2, rgb(255, 0, 0), rgb(0, 0, 255));
    ASSERT_EQ(d.DrawCalls(w).size(), 2u);
    EXPECT_EQ(d.DrawCalls(w)[0].pen.colour, rgb(0, 255, 255));
    const auto shot = d.CaptureWindow(w);
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(shot->width, 20);
    EXPECT_EQ(shot->pixels[5], 0x0000FFFFu) << "cyan line on the top row";
    EXPECT_EQ(shot->pixels[5 * 20 + 10], 0x00FF0000u) << "red centre of the circle";
    d.Repaint(w);
    EXPECT_TRUE(d.DrawCalls(w).empty());
    EXPECT_FALSE(d.CaptureWindow(9999).has_value());
}

TEST(Drawing, RendererAndChildrenComposeTheCapture) {
    HeadlessDesktop d;
    const WindowHandle w = d.CreateWindow({"A", "", kNoWindow, {0, 0, 4, 4}}, nullptr);
    const WindowHandle kid = d.CreateWindow({"B", "", w, {2, 2, 4, 4}}, nullptr);
    d.SetRenderer(w, [](Size s) {
        Bitmap b{s.width, s.height, {}};
        b.pixels.assign(static_cast<std::size_t>(s.width * s.height), 0x00112233u);
        return b;
    });
    d.SetRenderer(kid, [](Size s) {
        Bitmap b{s.width, s.height, {}};
        b.pixels.assign(static_cast<std::size_t>(s.width * s.height), 0x00445566u);
        return b;
    });
    const Bitmap b = *d.CaptureWindow(w);
    EXPECT_EQ(b.pixels[0], 0x00112233u);
    EXPECT_EQ(b.pixels[3 * 4 + 3], 0x00445566u);
    const Bitmap desk = d.CaptureDesktop();
    EXPECT_EQ(desk.width, 1920);
    EXPECT_EQ(desk.pixels[0], 0x00112233u);
}

TEST(Drawing, MeasureTextGrowsWithTextAndFont) {
    HeadlessDesktop d;
    Font f;
    const Size one = d.MeasureText("Hello World!", f);
    EXPECT_GT(one.width, 0);
    EXPECT_GT(one.height, 0);
    EXPECT_GT(d.MeasureText("Hello World!!", f).width, one.width);
    f.size = 16;
    EXPECT_GT(d.MeasureText("Hello World!", f).height, one.height);
}

} // namespace
} // namespace scribeline::desktop
