// No exception from the core may cross the Qt event loop: each is reported, the loop goes on.
#include "tests/hosts/qtdesktop/qt_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline::qtdesktop {
namespace {

using testing::waitFor;

struct Throwing : IWindowHandler {
    void onMouse(const MouseEvent&, Point) override { throw std::runtime_error("mouse failed"); }
    void onKey(const KeyEvent&) override { throw 42; }
    bool onClose() override { throw std::runtime_error("close failed"); }
};

TEST(QtErrors, CallbacksThatThrowAreReportedAndTheDesktopGoesOn) {
    std::vector<std::string> reports;
    QtDesktopOptions options;
    options.errorReporter = [&](const std::string& text) { reports.push_back(text); };
    QtDesktop d(options);

    int ticks = 0;
    const TimerHandle t = d.SetTimer(5, [&] {
        ++ticks;
        throw std::runtime_error("tick failed");
    });
    EXPECT_TRUE(waitFor([&] { return ticks >= 2; })) << "the timer keeps running";
    d.KillTimer(t);

    Throwing handler;
    const WindowHandle w = d.CreateWindow({"T", "", kNoWindow, {0, 0, 100, 100}, true}, &handler);
    d.SetForegroundWindow(w);
    d.SetCursorPos({10, 10});
    d.SendKeys("x");
    d.PostCloseMessage(w);
    d.DoEvents();
    EXPECT_TRUE(d.IsWindow(w)) << "a close handler that fails keeps its window";

    int laterHooks = 0;
    d.SetMouseHook([&](const MouseEvent&) {
        ++laterHooks;
        return HookResult::Pass;
    });
    d.SetMouseHook([](const MouseEvent&) -> HookResult { throw std::logic_error("hook failed"); });
    d.SetCursorPos({20, 20});
    EXPECT_EQ(laterHooks, 1) << "a failing hook passes the event on";

    ASSERT_GE(reports.size(), 6u);
    EXPECT_EQ(reports[0], "timer: tick failed");
    auto has = [&](const std::string& text) {
        return std::find(reports.begin(), reports.end(), text) != reports.end();
    };
    EXPECT_TRUE(has("window mouse: mouse failed"));
    EXPECT_TRUE(has("window key: unknown exception"));
    EXPECT_TRUE(has("window close: close failed"));
    EXPECT_TRUE(has("mouse hook: hook failed"));
    EXPECT_EQ(d.ReportedErrors(), static_cast<int>(reports.size()));
}

TEST(QtErrors, WithoutAReporterErrorsGoToStandardError) {
    QtDesktop d;
    int ticks = 0;
    const TimerHandle t = d.SetTimer(5, [&] {
        ++ticks;
        throw std::runtime_error("to stderr");
    });
    ::testing::internal::CaptureStderr();
    waitFor([&] { return ticks >= 1; });
    const std::string err = ::testing::internal::GetCapturedStderr();
    d.KillTimer(t);
    EXPECT_NE(err.find("Scribeline: timer: to stderr"), std::string::npos) << err;
}

} // namespace
} // namespace scribeline::qtdesktop
