// The desktop conformance suite: what every implementation of the desktop port must do, run
// against each of them (parameterised over a factory).
//
// Differences real time forces, and how the cases allow for them:
// - Time passes by itself on a real desktop: cases wait by pumping until a condition holds,
//   with generous limits (a few hundred milliseconds), and check durations as lower bounds.
// - A real desktop may frame top-level windows; the Qt desktop runs this suite offscreen, where
//   windows have no frame, so window rectangles equal the rectangles they were created with.
// - Pixels: backgrounds differ between implementations, so drawing is checked against a
//   capture taken before it, never against fixed colours of the window itself.
#pragma once

#include "platform/desktop.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace scribeline::conformance {

struct DesktopUnderTest {
    std::unique_ptr<IDesktop> desktop;
    // The window's owner says its content changed: drawing on it is gone.
    std::function<void(WindowHandle)> contentChanged;
};

struct DesktopImplementation {
    std::string name;
    // Message boxes must stay open until a timer or posted message closes them.
    std::function<DesktopUnderTest()> make;
    friend void PrintTo(const DesktopImplementation& impl, std::ostream* out) { *out << impl.name; }
};

// Names the instantiated cases after the implementation.
inline std::string implementationName(const ::testing::TestParamInfo<DesktopImplementation>& i) {
    return i.param.name;
}

// Pumps (DoEvents, then a short Sleep) until `done` holds or `maxMs` of the desktop's clock
// have passed. True when `done` held.
bool pumpUntil(IDesktop& desktop, const std::function<bool()>& done, int maxMs = 500);

// The checks the doubles in tests/doubles must fail; the suite runs each of them as a case.
// Synthetic mouse input has passed the hooks and reached its window when SendMouseInput
// returns (newest hook first), with client coordinates and the injected mark.
::testing::AssertionResult checkMouseInputDeliveredBeforeReturn(IDesktop& desktop);
// SendKeys has passed the keyboard hooks and reached the foreground window when it returns.
::testing::AssertionResult checkKeysDeliveredBeforeReturn(IDesktop& desktop);
// Sleep runs nothing: no timer, no posted close; the next pump runs both.
::testing::AssertionResult checkSleepRunsNothing(IDesktop& desktop);

class DesktopConformance : public ::testing::TestWithParam<DesktopImplementation> {
protected:
    void SetUp() override {
        subject_ = GetParam().make();
        ASSERT_NE(subject_.desktop, nullptr);
    }
    void TearDown() override { subject_.desktop.reset(); }
    IDesktop& desk() { return *subject_.desktop; }
    void contentChanged(WindowHandle w) { subject_.contentChanged(w); }

private:
    DesktopUnderTest subject_;
};

} // namespace scribeline::conformance
