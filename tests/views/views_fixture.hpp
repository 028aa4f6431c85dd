// The digitizer window on the headless desktop with the map host, and either the simulated
// globe (what a user meets) or the linear globe (numbers checkable by hand).
#pragma once

#include "command/frmGE2Arc.hpp"
#include "composition/default_subsystems.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "hosts/stack/headless_stack.hpp"
#include "tests/doubles/failure_boxes.hpp"
#include "tests/doubles/globe_levers.hpp"
#include "tests/views/linear_globe.hpp"
#include "views/view_sync.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace scribeline::testing {

class WindowFixture : public ::testing::Test {
protected:
    // With or without the simulated globe: a test may bring its own.
    explicit WindowFixture(bool withGlobe) : stack(StackOptions(withGlobe)) {}
    static stack::HeadlessStackOptions StackOptions(bool withGlobe) {
        stack::HeadlessStackOptions o;
        if (!withGlobe) {
            o.globe.reset();
        }
        return o;
    }

    stack::HeadlessStack stack;
    desktop::HeadlessDesktop& desk = stack.Desktop();
    std::shared_ptr<gis::GisHost> host = stack.MapHost();
    ProcessState process;
    std::unique_ptr<frmGE2Arc> window;

    void TearDown() override { window.reset(); }

    void Open(IGlobeConnector& connector) {
        window.reset();
        window =
            std::make_unique<frmGE2Arc>(Environment{desk, connector}, process, DefaultSubsystems());
        window->SetApplication(host);
        window->Load();
        window->Show(false);
        process.windowOpen = true;
    }

    frmGE2Arc& w() { return *window; }
    views::ViewSync& views() { return dynamic_cast<views::ViewSync&>(w().Views()); }
    void Press(const std::string& key) { w().ctl.toolbarScribeline.UserClick(key); }
    gis::ActiveView& mapView() { return host->DataView(); }
    // Message boxes that report a failed action.
    std::vector<std::string> Failures() { return FailureTexts(desk); }
};

class LinearViewsTest : public WindowFixture {
protected:
    LinearViewsTest() : WindowFixture(false) {}
    LinearGlobe globe{desk};
    void SetUp() override { Open(globe); }
};

class GlobeViewsTest : public WindowFixture {
protected:
    GlobeViewsTest() : WindowFixture(true) {}
    globe::SimulatedGlobe* earth = &stack.Globe();
    // The core reaches the globe through the test levers.
    doubles::GlobeLevers levers{desk, earth->Connector()};
    void SetUp() override { Open(levers); }
    void LookAt(double latitude, double longitude, double range, double tilt = 0.0,
                double azimuth = 0.0) {
        ICameraInfoGE camera;
        camera.FocusPointLatitude = latitude;
        camera.FocusPointLongitude = longitude;
        camera.Range = range;
        camera.Tilt = tilt;
        camera.Azimuth = azimuth;
        earth->CreateApplication()->SetCamera(camera, 5.0);
    }
    IViewExtentsGE EarthExtents() { return earth->CreateApplication()->ViewExtents(); }
};

} // namespace scribeline::testing
