#include "tests/conformance/globe_conformance.hpp"

#include "command/globe_protocol.hpp"

#include <cmath>
#include <cstdint>
#include <string>

namespace scribeline::conformance {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;

namespace protocol = globe_protocol;

namespace {

// Far enough from the first view (Europe) that a flight's middle is nowhere near either end.
ICameraInfoGE Cam(double latitude, double longitude, double range) {
    ICameraInfoGE c;
    c.FocusPointLatitude = latitude;
    c.FocusPointLongitude = longitude;
    c.FocusPointAltitudeMode = 1;
    c.Range = range;
    return c;
}

const ICameraInfoGE kStart = Cam(10.0, 20.0, 200'000.0);
const ICameraInfoGE kTarget = Cam(30.0, 50.0, 800'000.0);
// A flight at speed 4.0 lasts half a second: short enough for a real-time desktop.
constexpr double kSlowSpeed = 4.0;
constexpr int kFlightMs = 500;

std::string Describe(const ICameraInfoGE& c) {
    return "(" + std::to_string(c.FocusPointLatitude) + ", " +
           std::to_string(c.FocusPointLongitude) + ", range " + std::to_string(c.Range) + ")";
}

bool Near(const ICameraInfoGE& a, const ICameraInfoGE& b) {
    return std::abs(a.FocusPointLatitude - b.FocusPointLatitude) < 1e-4 &&
           std::abs(a.FocusPointLongitude - b.FocusPointLongitude) < 1e-4 &&
           std::abs(a.Range - b.Range) < 1.0;
}

bool Same(const ICameraInfoGE& a, const ICameraInfoGE& b) {
    return a.FocusPointLatitude == b.FocusPointLatitude &&
           a.FocusPointLongitude == b.FocusPointLongitude && a.Range == b.Range &&
           a.Tilt == b.Tilt && a.Azimuth == b.Azimuth;
}

bool Between(double v, double a, double b) {
    return v > std::min(a, b) && v < std::max(a, b);
}

const char* const kKml = R"(<kml xmlns="http://www.opengis.net/kml/2.2"><Document><name>A</name>
<Placemark><Point><coordinates>20.1,10.1,0</coordinates></Point></Placemark></Document></kml>)";

} // namespace

AssertionResult checkFlightArrivesDuringPlainSleep(GlobeUnderTest& globe) {
    IDesktop& desktop = *globe.desktop;
    auto app = globe.connector->CreateApplication();
    app->SetCamera(kStart, 5.0);
    const std::int64_t start = desktop.TickCount();
    app->SetCamera(kTarget, kSlowSpeed);
    desktop.Sleep(kFlightMs / 2);
    const ICameraInfoGE half = app->GetCamera(1);
    // On a real-time desktop a busy machine may oversleep past the flight's end.
    const bool stillFlying = desktop.TickCount() - start < kFlightMs;
    if (stillFlying && (!Between(half.Range, kStart.Range, kTarget.Range) ||
                        !Between(half.FocusPointLatitude, kStart.FocusPointLatitude,
                                 kTarget.FocusPointLatitude))) {
        return AssertionFailure() << "half-way through a flight, after a plain sleep, the camera "
                                     "stands at "
                                  << Describe(half) << ", not between " << Describe(kStart)
                                  << " and " << Describe(kTarget);
    }
    desktop.Sleep(kFlightMs / 2 + 100);
    const ICameraInfoGE end = app->GetCamera(1);
    if (!Near(end, kTarget)) {
        return AssertionFailure() << "a flight's duration has passed in a plain sleep, yet the "
                                     "camera stands at "
                                  << Describe(end) << ", not at " << Describe(kTarget);
    }
    // What else is asked sees the camera the flight arrived at.
    const IViewExtentsGE extents = app->ViewExtents();
    if (!(extents.South < kTarget.FocusPointLatitude &&
          kTarget.FocusPointLatitude < extents.North &&
          extents.West < kTarget.FocusPointLongitude &&
          kTarget.FocusPointLongitude < extents.East)) {
        return AssertionFailure() << "the view extents after the flight do not hold its target";
    }
    return AssertionSuccess();
}

AssertionResult checkPumpingDoesNotMoveTheCamera(GlobeUnderTest& globe) {
    IDesktop& desktop = *globe.desktop;
    auto app = globe.connector->CreateApplication();
    app->SetCamera(kStart, 5.0);
    app->SetCamera(kTarget, kSlowSpeed);
    desktop.Sleep(kFlightMs / 4);
    const ICameraInfoGE before = app->GetCamera(1);
    const std::int64_t tick = desktop.TickCount();
    for (int i = 0; i < 20; ++i) {
        desktop.DoEvents();
    }
    const ICameraInfoGE after = app->GetCamera(1);
    if (desktop.TickCount() != tick) {
        // A real-time desktop lets time pass while pumping: nothing to tell apart then.
        return AssertionSuccess();
    }
    if (!Same(before, after)) {
        return AssertionFailure() << "pumping, with no time passing, moved the camera from "
                                  << Describe(before) << " to " << Describe(after);
    }
    return AssertionSuccess();
}

AssertionResult checkDrawingLastsUntilTheViewChanges(GlobeUnderTest& globe) {
    IDesktop& desktop = *globe.desktop;
    auto app = globe.connector->CreateApplication();
    app->SetCamera(kStart, 5.0);
    const WindowHandle render = app->GetRenderHwnd();
    const Pen pen{rgb(255, 0, 0), 2, RasterOp::Copy};
    desktop.DrawLine(render, {10, 10}, {200, 120}, pen);
    const int changes = globe.contentChanges();
    if (globe.drawingsOn(render) != 1) {
        return AssertionFailure() << "the desktop keeps " << globe.drawingsOn(render)
                                  << " drawings on the render window after one line";
    }
    // Standing still: sleep, pump, read.
    desktop.Sleep(100);
    desktop.DoEvents();
    (void)app->GetCamera(1);
    (void)app->ViewExtents();
    (void)app->GetPointOnTerrainFromScreenCoords(0.0, 0.0);
    desktop.Sleep(100);
    desktop.DoEvents();
    if (globe.contentChanges() != changes || globe.drawingsOn(render) != 1) {
        return AssertionFailure() << "with the view standing still the client said its content "
                                     "changed "
                                  << globe.contentChanges() - changes << " times; the line is "
                                  << (globe.drawingsOn(render) == 1 ? "kept" : "gone");
    }
    // The view moves: the client says so, and the line goes.
    app->SetCamera(kTarget, 5.0);
    if (globe.contentChanges() == changes || globe.drawingsOn(render) != 0) {
        return AssertionFailure() << "the camera moved but the line drawn before stays";
    }
    // A document changes what the view shows.
    desktop.DrawLine(render, {10, 10}, {200, 120}, pen);
    const int beforeDocument = globe.contentChanges();
    app->LoadKmlData(kKml);
    if (globe.contentChanges() == beforeDocument || globe.drawingsOn(render) != 0) {
        return AssertionFailure() << "a document was loaded but the line drawn before stays";
    }
    return AssertionSuccess();
}

// ---- the cases ----

TEST_P(GlobeConformance, AFlightArrivesDuringAPlainSleep) {
    EXPECT_TRUE(checkFlightArrivesDuringPlainSleep(subject()));
}

TEST_P(GlobeConformance, PumpingAloneDoesNotMoveTheCamera) {
    EXPECT_TRUE(checkPumpingDoesNotMoveTheCamera(subject()));
}

TEST_P(GlobeConformance, DrawingOnTheRenderWindowLastsUntilTheViewChanges) {
    EXPECT_TRUE(checkDrawingLastsUntilTheViewChanges(subject()));
}

TEST_P(GlobeConformance, AFastCameraArrivesBeforeTheCallReturns) {
    app().SetCamera(kTarget, 5.0);
    EXPECT_TRUE(Near(app().GetCamera(1), kTarget)) << Describe(app().GetCamera(1));
    const IPointOnTerrainGE centre = app().GetPointOnTerrainFromScreenCoords(0.0, 0.0);
    ASSERT_TRUE(centre.HitGround);
    EXPECT_NEAR(centre.Latitude, kTarget.FocusPointLatitude, 1e-3);
    EXPECT_NEAR(centre.Longitude, kTarget.FocusPointLongitude, 1e-3);
}

TEST_P(GlobeConformance, EveryHandleIsTheOneClient) {
    auto other = subject().connector->CreateApplication();
    ASSERT_NE(other, nullptr);
    app().SetCamera(kTarget, 5.0);
    EXPECT_TRUE(Near(other->GetCamera(1), kTarget));
    other->SetAutoPilotSpeed(0.25);
    EXPECT_DOUBLE_EQ(app().AutoPilotSpeed(), 0.25);
    EXPECT_EQ(other->GetMainHwnd(), app().GetMainHwnd());
    EXPECT_EQ(other->GetRenderHwnd(), app().GetRenderHwnd());
}

TEST_P(GlobeConformance, RefusesWhatThePortRefuses) {
    EXPECT_THROW(app().LoadKmlData("<kml><Document>"), PortError);
    EXPECT_THROW(app().GetPointOnTerrainFromScreenCoords(std::nan(""), 0.0), PortError);
    EXPECT_THROW(app().SetElevationExaggeration(0.0), PortError);
    EXPECT_THROW(app().OpenKmlFile("/nonexistent/scribeline/none.kml", 1), PortError);
}

TEST_P(GlobeConformance, WindowsFollowTheProtocol) {
    const WindowHandle main = app().GetMainHwnd();
    const WindowHandle render = app().GetRenderHwnd();
    ASSERT_TRUE(desk().IsWindow(main));
    ASSERT_TRUE(desk().IsWindow(render));
    EXPECT_EQ(desk().GetClassName(main), protocol::kMainWindowClass);
    EXPECT_EQ(desk().GetWindowText(main), protocol::kMainWindowTitle);
    EXPECT_EQ(desk().GetClassName(render), protocol::kRenderWindowClass);
    EXPECT_EQ(desk().GetParent(render), main);
}

// Send, look: each shortcut has opened its dialog when SendKeys returns; Escape closes it.
TEST_P(GlobeConformance, TheShortcutsOpenTheirDialogs) {
    for (std::size_t k = 0; k < protocol::kDialogKinds; ++k) {
        SCOPED_TRACE(protocol::kDialogTitles[k]);
        desk().SetForegroundWindow(app().GetMainHwnd());
        desk().SendKeys(std::string(protocol::kDialogShortcuts[k]));
        const WindowHandle dialog = desk().FindWindow(std::string(protocol::kDialogClass),
                                                      std::string(protocol::kDialogTitles[k]));
        ASSERT_NE(dialog, kNoWindow);
        desk().SetForegroundWindow(dialog);
        desk().SendKeys("{ESC}");
        EXPECT_FALSE(desk().IsWindow(dialog));
    }
}

TEST_P(GlobeConformance, EnterConfirmsADialogAsANewDocument) {
    app().SetCamera(kStart, 5.0);
    desk().SetForegroundWindow(app().GetMainHwnd());
    desk().SendKeys(std::string(protocol::kDialogShortcuts[0]));
    const WindowHandle dialog = desk().FindWindow(std::string(protocol::kDialogClass),
                                                  std::string(protocol::kDialogTitles[0]));
    ASSERT_NE(dialog, kNoWindow);
    const int changes = subject().contentChanges();
    desk().SetForegroundWindow(dialog);
    desk().SendKeys("Scribeline{ENTER}");
    EXPECT_FALSE(desk().IsWindow(dialog));
    EXPECT_GT(subject().contentChanges(), changes) << "a new document is a change of content";
}

// The core's probe: a click on the probe point, a sleep, a look at the camera.
TEST_P(GlobeConformance, AClickOnTheProbePointZoomsIn) {
    app().SetCamera(kStart, 5.0);
    const WindowHandle render = app().GetRenderHwnd();
    const auto rect = desk().GetWindowRect(render);
    ASSERT_TRUE(rect.has_value());
    const auto probe = desk().ClientToScreen(render, protocol::ProbePoint(rect->width()));
    ASSERT_TRUE(probe.has_value());
    const double before = app().GetCamera(1).Range;
    desk().SetForegroundWindow(app().GetMainHwnd());
    ASSERT_EQ(desk().WindowFromPoint(*probe), render) << "the probe point must be on screen";
    desk().SetCursorPos(*probe);
    desk().SendMouseInput(MouseMessage::LeftDown);
    desk().SendMouseInput(MouseMessage::LeftUp);
    desk().Sleep(25);
    EXPECT_LT(app().GetCamera(1).Range, before - 0.01);
}

// A click outside every zone of the navigation control leaves the view alone.
TEST_P(GlobeConformance, AClickBetweenTheZoomButtonsDoesNothing) {
    app().SetCamera(kStart, 5.0);
    const WindowHandle render = app().GetRenderHwnd();
    const auto rect = desk().GetWindowRect(render);
    ASSERT_TRUE(rect.has_value());
    const Point between{rect->width() - protocol::kControlFromRight, 230};
    ASSERT_FALSE(protocol::InNavigationZone(between, rect->width()));
    const auto screen = desk().ClientToScreen(render, between);
    ASSERT_TRUE(screen.has_value());
    ASSERT_EQ(desk().WindowFromPoint(*screen), render) << "the point must be on screen";
    const ICameraInfoGE before = app().GetCamera(1);
    desk().SetCursorPos(*screen);
    desk().SendMouseInput(MouseMessage::LeftDown);
    desk().SendMouseInput(MouseMessage::LeftUp);
    desk().Sleep(25);
    EXPECT_TRUE(Same(app().GetCamera(1), before)) << Describe(app().GetCamera(1));
}

} // namespace scribeline::conformance
