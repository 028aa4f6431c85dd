// Capture on a real X server (Xvfb): CTest starts this program under xvfb-run. Without an X
// server the cases skip with the reason, except under CI, where that is a failure.
#include "hosts/qtdesktop/qt_desktop.hpp"
#include "tests/hosts/qtdesktop/qt_support.hpp"

#include <QApplication>
#include <QByteArray>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

bool haveDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

bool underCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

} // namespace

namespace scribeline::qtdesktop {
namespace {

using testing::waitFor;

std::uint32_t pixel(const Bitmap& b, int x, int y) {
    return b.pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
                       static_cast<std::size_t>(x));
}

// A window filled with one colour, shown and painted on the X server.
class CaptureOnX : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveDisplay()) {
            if (underCi()) {
                FAIL() << "no X server: run under xvfb-run (package xvfb)";
            }
            GTEST_SKIP() << "no X server (DISPLAY unset; xvfb-run not installed)";
        }
        window_ =
            d_.CreateWindow({"Capture", "Capture", kNoWindow, {200, 150, 360, 270}, true}, nullptr);
        d_.SetRenderer(window_, [](Size s) {
            Bitmap b{s.width, s.height, {}};
            b.pixels.assign(static_cast<std::size_t>(s.width * s.height), 0x00208040u);
            return b;
        });
        QWidget* w = d_.Widget(window_);
        ASSERT_TRUE(waitFor(
            [w] { return w->windowHandle() != nullptr && w->windowHandle()->isExposed(); }, 500));
        w->repaint();
        QApplication::processEvents();
    }
    QtDesktop d_;
    WindowHandle window_ = kNoWindow;
};

TEST_F(CaptureOnX, AWindowGrabShowsItsContentAndTheDrawingOnIt) {
    d_.DrawLine(window_, {0, 10}, {100, 10}, {rgb(255, 255, 0), 1, RasterOp::Copy});
    const std::optional<Bitmap> shot = d_.CaptureWindow(window_);
    ASSERT_TRUE(shot);
    const Rect client = *d_.GetClientRect(window_);
    EXPECT_EQ(shot->width, client.width());
    EXPECT_EQ(shot->height, client.height());
    EXPECT_EQ(pixel(*shot, 50, 50), 0x208040u);
    EXPECT_EQ(pixel(*shot, 50, 10), 0xFFFF00u);
}

TEST_F(CaptureOnX, TheDesktopGrabShowsTheWindowWhereItIs) {
    const Size screen = d_.GetScreenSize();
    EXPECT_EQ(screen, (Size{1920, 1080})) << "the screen xvfb-run was given";
    // The X server's picture follows its own pace: wait for the window to be on it.
    const Point inside = *d_.ClientToScreen(window_, {40, 40});
    Bitmap shot;
    EXPECT_TRUE(waitFor(
        [&] {
            shot = d_.CaptureDesktop();
            return pixel(shot, inside.x, inside.y) == 0x208040u;
        },
        500));
    EXPECT_EQ(shot.width, screen.width);
    EXPECT_EQ(shot.height, screen.height);
    EXPECT_NE(pixel(shot, 5, 5), 0x208040u) << "the rest is the root window";
}

} // namespace
} // namespace scribeline::qtdesktop

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Without a display Qt's X11 platform cannot start; the cases then skip (or fail in CI).
    qputenv("QT_QPA_PLATFORM", haveDisplay() ? "xcb" : "offscreen");
    // No OpenGL: capture needs none, and a GL driver unloaded at exit hides its allocations
    // from the sanitizers' leak report.
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
