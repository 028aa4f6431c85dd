// Navigation of the simulated client's view by mouse and keys, through the desktop's input
// as a person would give it, and of a port handle through the navigator directly.
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/headless_attach.hpp"
#include "hosts/globe/navigation.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "tests/doubles/globe_levers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace scribeline::globe {
namespace {

using desktop::HeadlessDesktop;

ICameraInfoGE Cam(double lat, double lon, double range, double tilt = 0.0, double az = 0.0) {
    return ICameraInfoGE{lat, lon, 0.0, 1, range, tilt, az};
}

class Navigation : public ::testing::Test {
protected:
    void SetUp() override {
        GlobeOptions options;
        options.dragNavigation = true;
        globe_ = StartHeadlessGlobe(desktop_, std::move(options));
        app_ = globe_->CreateApplication();
        app_->SetCamera(Cam(47.0, 11.0, 100000.0), 5.0);
        size_ = globe_->RenderSize();
        desktop_.SetForegroundWindow(globe_->MainWindow()); // keys go to the foreground
    }
    void Mouse(MouseMessage m, Point client, int wheel = 0) {
        desktop_.InjectMouse(m, *desktop_.ClientToScreen(globe_->RenderWindow(), client), wheel);
    }
    void Drag(MouseMessage down, MouseMessage up, Point from, Point to) {
        Mouse(down, from);
        // In steps, as a real drag arrives.
        for (int i = 1; i <= 4; ++i) {
            Mouse(MouseMessage::Move,
                  {from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4});
        }
        Mouse(up, to);
    }
    void Key(int virtualKey, bool control = false, KeyMessage m = KeyMessage::KeyDown) {
        KeyEvent e;
        e.message = m;
        e.virtualKey = virtualKey;
        e.control = control;
        desktop_.InjectKey(e);
    }
    [[nodiscard]] Geodetic GroundUnder(Point client) {
        const double x = 2.0 * (client.x - size_.width / 2.0) / size_.width;
        const double y = 2.0 * (size_.height / 2.0 - client.y) / size_.height;
        const IPointOnTerrainGE p = app_->GetPointOnTerrainFromScreenCoords(x, y);
        EXPECT_TRUE(p.HitGround);
        return {p.Latitude, p.Longitude, p.Altitude};
    }
    static double Metres(const Geodetic& a, const Geodetic& b) {
        return norm(ToEcef(a) - ToEcef(b));
    }

    HeadlessDesktop desktop_;
    std::unique_ptr<SimulatedGlobe> globe_;
    std::shared_ptr<IApplicationGE> app_;
    Size size_;
};

TEST_F(Navigation, TheWheelZoomsAtThePointerKeepingItsGroundInPlace) {
    const Point pointer{620, 140};
    const Geodetic before = GroundUnder(pointer);
    Mouse(MouseMessage::Wheel, pointer, 120);
    EXPECT_NEAR(app_->GetCamera(1).Range, 80000.0, 1e-6);
    // Within a pixel's worth of ground (about 145 m at this range).
    EXPECT_LT(Metres(GroundUnder(pointer), before), 150.0);
    Mouse(MouseMessage::Wheel, pointer, -240);
    EXPECT_NEAR(app_->GetCamera(1).Range, 80000.0 / 0.64, 1e-6);
    EXPECT_LT(Metres(GroundUnder(pointer), before), 300.0);
}

TEST_F(Navigation, AMiddleDragCarriesTheGrabbedGroundWithThePointer) {
    const Point from{300, 200};
    const Point to{520, 330};
    const Geodetic grabbed = GroundUnder(from);
    Drag(MouseMessage::MiddleDown, MouseMessage::MiddleUp, from, to);
    EXPECT_LT(Metres(GroundUnder(to), grabbed), 150.0);
    EXPECT_NEAR(app_->GetCamera(1).Range, 100000.0, 1.0);
    // Dragged down and right: the view moved north and west.
    EXPECT_GT(app_->GetCamera(1).FocusPointLatitude, 47.0);
    EXPECT_LT(app_->GetCamera(1).FocusPointLongitude, 11.0);
    // After the release, moving does nothing.
    const ICameraInfoGE still = app_->GetCamera(1);
    Mouse(MouseMessage::Move, {100, 100});
    EXPECT_EQ(app_->GetCamera(1).FocusPointLatitude, still.FocusPointLatitude);
}

TEST_F(Navigation, RightDragAndCtrlMiddleDragTurnAndTiltByTheirScale) {
    // 200 pixels right: a quarter of the width turns the heading 45 degrees to the left;
    // 100 up: a fifth of the height tilts 18 degrees towards the horizon.
    Drag(MouseMessage::RightDown, MouseMessage::RightUp, {400, 250}, {600, 150});
    EXPECT_NEAR(app_->GetCamera(1).Azimuth, -45.0, 1e-6);
    EXPECT_NEAR(app_->GetCamera(1).Tilt, 18.0, 1e-6);
    EXPECT_NEAR(app_->GetCamera(1).FocusPointLatitude, 47.0, 1e-9);

    Key(vk::Control, true);
    Drag(MouseMessage::MiddleDown, MouseMessage::MiddleUp, {400, 250}, {200, 300});
    Key(vk::Control, false, KeyMessage::KeyUp);
    EXPECT_NEAR(app_->GetCamera(1).Azimuth, 0.0, 1e-6);
    EXPECT_NEAR(app_->GetCamera(1).Tilt, 9.0, 1e-6);

    // The tilt stops at straight down and at the horizon.
    Drag(MouseMessage::RightDown, MouseMessage::RightUp, {400, 450}, {400, 0});
    Drag(MouseMessage::RightDown, MouseMessage::RightUp, {400, 450}, {400, 0});
    EXPECT_NEAR(app_->GetCamera(1).Tilt, 90.0, 1e-6);
}

TEST_F(Navigation, DuringARunLeftAndRightDragsBelongToTheRun) {
    globe_->SetRunActive(true);
    EXPECT_TRUE(globe_->RunActive());
    const ICameraInfoGE before = app_->GetCamera(1);
    Drag(MouseMessage::LeftDown, MouseMessage::LeftUp, {300, 200}, {500, 300});
    Drag(MouseMessage::RightDown, MouseMessage::RightUp, {300, 200}, {500, 300});
    const ICameraInfoGE after = app_->GetCamera(1);
    EXPECT_EQ(after.FocusPointLatitude, before.FocusPointLatitude);
    EXPECT_EQ(after.FocusPointLongitude, before.FocusPointLongitude);
    EXPECT_EQ(after.Azimuth, before.Azimuth);
    EXPECT_EQ(after.Tilt, before.Tilt);
    // The middle button and the wheel still navigate.
    Drag(MouseMessage::MiddleDown, MouseMessage::MiddleUp, {300, 200}, {500, 300});
    EXPECT_NE(app_->GetCamera(1).FocusPointLatitude, before.FocusPointLatitude);

    // With the run over, a left drag pans again.
    globe_->SetRunActive(false);
    const Geodetic grabbed = GroundUnder({400, 250});
    Drag(MouseMessage::LeftDown, MouseMessage::LeftUp, {400, 250}, {250, 100});
    EXPECT_LT(Metres(GroundUnder({250, 100}), grabbed), 150.0);
}

TEST_F(Navigation, ARunStartingMidDragEndsTheLeftDrag) {
    Mouse(MouseMessage::LeftDown, {300, 200});
    Mouse(MouseMessage::Move, {320, 210});
    globe_->SetRunActive(true);
    const ICameraInfoGE before = app_->GetCamera(1);
    Mouse(MouseMessage::Move, {500, 300});
    EXPECT_EQ(app_->GetCamera(1).FocusPointLatitude, before.FocusPointLatitude);
}

TEST_F(Navigation, ArrowKeysPanByATenthOfTheRangeAndPageKeysZoom) {
    Key(navkey::Up);
    EXPECT_NEAR((app_->GetCamera(1).FocusPointLatitude - 47.0) * MetresPerDegreeLatitude(47.0),
                10000.0, 20.0);
    Key(navkey::Down);
    EXPECT_NEAR(app_->GetCamera(1).FocusPointLatitude, 47.0, 1e-3);
    Key(navkey::Right);
    EXPECT_GT(app_->GetCamera(1).FocusPointLongitude, 11.1);
    Key(navkey::PageUp);
    EXPECT_NEAR(app_->GetCamera(1).Range, 80000.0, 1e-6);
    Key(navkey::PageDown);
    Key(navkey::PageDown);
    EXPECT_NEAR(app_->GetCamera(1).Range, 125000.0, 1e-6);
    // Facing east, "up" goes east.
    app_->SetCamera(Cam(0.0, 20.0, 100000.0, 0.0, 90.0), 5.0);
    Key(navkey::Up);
    EXPECT_NEAR(app_->GetCamera(1).FocusPointLatitude, 0.0, 1e-6);
    EXPECT_GT(app_->GetCamera(1).FocusPointLongitude, 20.08);
    // Other keys are left to the client's shortcuts.
    Key(vk::Escape);
    EXPECT_NEAR(app_->GetCamera(1).Range, 100000.0, 1e-6);
}

TEST_F(Navigation, TheNavigationControlsKeepWorkingAndADragFromThemIsNoPan) {
    const int w = size_.width;
    Mouse(MouseMessage::LeftDown, {w - 43, 196}); // zoom in
    Mouse(MouseMessage::LeftUp, {w - 43, 196});
    EXPECT_NEAR(app_->GetCamera(1).Range, 75000.0, 1e-6);
    const ICameraInfoGE before = app_->GetCamera(1);
    Drag(MouseMessage::LeftDown, MouseMessage::LeftUp, {w - 43, 129}, {300, 300});
    EXPECT_EQ(app_->GetCamera(1).FocusPointLatitude, before.FocusPointLatitude);
    EXPECT_EQ(app_->GetCamera(1).FocusPointLongitude, before.FocusPointLongitude);
}

TEST(NavigationSwitchedOff, TheHeadlessClientIgnoresDragsAndKeys) {
    HeadlessDesktop desktop;
    auto globe = StartHeadlessGlobe(desktop);
    auto app = globe->CreateApplication();
    app->SetCamera(Cam(47.0, 11.0, 100000.0), 5.0);
    const Point a = *desktop.ClientToScreen(globe->RenderWindow(), {300, 200});
    const Point b = *desktop.ClientToScreen(globe->RenderWindow(), {500, 300});
    for (const auto& [down, up] : {std::pair{MouseMessage::LeftDown, MouseMessage::LeftUp},
                                   std::pair{MouseMessage::MiddleDown, MouseMessage::MiddleUp},
                                   std::pair{MouseMessage::RightDown, MouseMessage::RightUp}}) {
        desktop.InjectMouse(down, a);
        desktop.InjectMouse(MouseMessage::Move, b);
        desktop.InjectMouse(up, b);
    }
    KeyEvent e;
    e.virtualKey = navkey::Up;
    desktop.InjectKey(e);
    const ICameraInfoGE c = app->GetCamera(1);
    EXPECT_EQ(c.FocusPointLatitude, 47.0);
    EXPECT_EQ(c.FocusPointLongitude, 11.0);
    EXPECT_EQ(c.Azimuth, 0.0);
}

TEST(PortNavigation, ANavigatorOverAPortHandleGoesThroughItsOperations) {
    HeadlessDesktop desktop;
    auto globe = StartHeadlessGlobe(desktop);
    doubles::GlobeLevers levers(desktop, globe->Connector());
    auto app = levers.CreateApplication();
    app->SetCamera(Cam(-10.0, 179.9, 200000.0), 5.0);
    PortCameraOperations ops(*app);
    Navigator nav(ops, globe->RenderSize());
    levers.ClearCallLog();
    // Pan across 180 degrees: the view's focus wraps to the other side.
    const IPointOnTerrainGE grabbed = app->GetPointOnTerrainFromScreenCoords(0.5, 0.0);
    ASSERT_TRUE(nav.Press(NavigationButton::Middle, {600, 250}, false));
    EXPECT_TRUE(nav.Dragging());
    EXPECT_TRUE(nav.Move({200, 250}));
    EXPECT_TRUE(nav.Release(NavigationButton::Middle));
    EXPECT_FALSE(nav.Dragging());
    const IPointOnTerrainGE now = app->GetPointOnTerrainFromScreenCoords(-0.5, 0.0);
    EXPECT_NEAR(now.Latitude, grabbed.Latitude, 2e-3);
    EXPECT_NEAR(WrapDegrees(now.Longitude - grabbed.Longitude), 0.0, 2e-3);
    EXPECT_LT(app->GetCamera(1).FocusPointLongitude, -179.0);
    const auto& log = levers.CallLog();
    EXPECT_NE(std::find(log.begin(), log.end(), doubles::GlobeOperation::SetCamera), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), doubles::GlobeOperation::GetCamera), log.end());

    // Nothing to grab in the sky; the run's buttons are refused while a run is active.
    app->SetCamera(Cam(47.0, 11.0, 20000.0, 89.0), 5.0);
    EXPECT_FALSE(nav.Press(NavigationButton::Middle, {400, 5}, false));
    nav.SetRunActive(true);
    EXPECT_FALSE(nav.Press(NavigationButton::Left, {400, 400}, false));
    EXPECT_FALSE(nav.Press(NavigationButton::Right, {400, 400}, false));
    EXPECT_FALSE(nav.Move({410, 410}));
    // A press on the navigation controls is theirs.
    nav.SetRunActive(false);
    EXPECT_FALSE(nav.Press(NavigationButton::Left, {globe->RenderSize().width - 43, 49}, false));
}

} // namespace
} // namespace scribeline::globe
