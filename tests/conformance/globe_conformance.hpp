// The globe conformance suite: what every implementation of the globe client port must do,
// run against each of them (parameterised over a factory). The client runs on a desktop the
// factory provides; the cases wait only with that desktop's Sleep and DoEvents.
#pragma once

#include "command/globe_port.hpp"
#include "platform/desktop.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace scribeline::conformance {

struct GlobeUnderTest {
    // Keeps the desktop and the client alive (the client first in destruction order is the
    // factory's business). The pointers below are borrowed from it.
    std::shared_ptr<void> owner;
    IDesktop* desktop = nullptr;
    IGlobeConnector* connector = nullptr;
    // How many times the client has said its render window's content changed.
    std::function<int()> contentChanges;
    // How many drawings the desktop keeps on a window.
    std::function<std::size_t(WindowHandle)> drawingsOn;
};

struct GlobeImplementation {
    std::string name;
    // A client at its first view, on a desktop with nothing else on it.
    std::function<GlobeUnderTest()> make;
    friend void PrintTo(const GlobeImplementation& impl, std::ostream* out) { *out << impl.name; }
};

inline std::string globeImplementationName(const ::testing::TestParamInfo<GlobeImplementation>& i) {
    return i.param.name;
}

// The checks the globe doubles in tests/doubles must fail; the suite runs each as a case.
// A slow flight goes on through a plain Sleep: half-way it lies between start and target, and
// once its duration has passed it stands at the target, with nothing pumped.
::testing::AssertionResult checkFlightArrivesDuringPlainSleep(GlobeUnderTest& globe);
// Pumping without time passing moves nothing: the camera read before and after a burst of
// DoEvents in the middle of a flight is the same.
::testing::AssertionResult checkPumpingDoesNotMoveTheCamera(GlobeUnderTest& globe);
// Drawing on the render window stays while the view stands still (sleeping, pumping, reading
// the camera and the view), and goes when the view or the documents change.
::testing::AssertionResult checkDrawingLastsUntilTheViewChanges(GlobeUnderTest& globe);

class GlobeConformance : public ::testing::TestWithParam<GlobeImplementation> {
protected:
    void SetUp() override {
        subject_ = GetParam().make();
        ASSERT_NE(subject_.desktop, nullptr);
        ASSERT_NE(subject_.connector, nullptr);
        app_ = subject_.connector->CreateApplication();
        ASSERT_NE(app_, nullptr);
    }
    void TearDown() override {
        app_.reset();
        subject_ = {};
    }
    IDesktop& desk() { return *subject_.desktop; }
    IApplicationGE& app() { return *app_; }
    GlobeUnderTest& subject() { return subject_; }

private:
    GlobeUnderTest subject_;
    std::shared_ptr<IApplicationGE> app_;
};

} // namespace scribeline::conformance
