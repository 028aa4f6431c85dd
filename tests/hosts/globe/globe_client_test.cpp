#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/headless_attach.hpp"
#include "hosts/globe/simulated_globe.hpp"

#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <fstream>

namespace scribeline::globe {
namespace {

namespace fs = std::filesystem;
using desktop::HeadlessDesktop;

ICameraInfoGE Cam(double lat, double lon, double range, double tilt = 0.0, double az = 0.0) {
    ICameraInfoGE c;
    c.FocusPointLatitude = lat;
    c.FocusPointLongitude = lon;
    c.FocusPointAltitudeMode = 1;
    c.Range = range;
    c.Tilt = tilt;
    c.Azimuth = az;
    return c;
}

const char* kPolygon = R"(<kml xmlns="http://www.opengis.net/kml/2.2"><Document><name>Red</name>
<Placemark><Style><PolyStyle><color>ff0000ff</color></PolyStyle></Style>
<Polygon><outerBoundaryIs><LinearRing><coordinates>10.9,47.4 11.1,47.4 11.1,47.6 10.9,47.6
10.9,47.4</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark></Document></kml>)";

class GlobeClient : public ::testing::Test {
protected:
    void SetUp() override { Start({}); }
    void Start(GlobeOptions options) {
        app_.reset();
        globe_.reset();
        globe_ = StartHeadlessGlobe(desktop_, std::move(options));
        app_ = globe_->CreateApplication();
    }
    // A click (down and up) at a render-window client point.
    void Click(Point client) {
        const Point s = *desktop_.ClientToScreen(globe_->RenderWindow(), client);
        desktop_.InjectMouse(MouseMessage::LeftDown, s);
        desktop_.InjectMouse(MouseMessage::LeftUp, s);
    }
    fs::path TempFile(const std::string& name, const std::string& text) {
        const fs::path p = fs::path(desktop_.GetTempPath()) / name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }

    HeadlessDesktop desktop_;
    std::unique_ptr<SimulatedGlobe> globe_;
    std::shared_ptr<IApplicationGE> app_;
};

// ---- handles, windows, the plain operations ------------------------------------------------

TEST_F(GlobeClient, EveryHandleIsTheOneRunningClient) {
    auto other = globe_->Connector().CreateApplication();
    app_->SetCamera(Cam(20.0, 30.0, 5000.0), 5.0);
    EXPECT_DOUBLE_EQ(other->GetCamera(1).FocusPointLatitude, 20.0);
    other->SetAutoPilotSpeed(0.2999);
    EXPECT_DOUBLE_EQ(app_->AutoPilotSpeed(), 0.2999);
    EXPECT_EQ(other->GetRenderHwnd(), app_->GetRenderHwnd());

    globe_.reset(); // the client quits: handles still held fail
    EXPECT_THROW(app_->GetCamera(1), PortError);
    EXPECT_THROW(other->IsInitialized(), PortError);
}

TEST_F(GlobeClient, WindowsAsTheDesktopSeesThem) {
    const WindowHandle main = app_->GetMainHwnd();
    const WindowHandle render = app_->GetRenderHwnd();
    EXPECT_EQ(desktop_.GetClassName(main), "QWidget");
    EXPECT_EQ(desktop_.GetWindowText(main), "Google Earth");
    EXPECT_EQ(desktop_.GetParent(render), main);
    EXPECT_EQ(desktop_.GetClientRect(render), (Rect{0, 0, 800, 500}));
    EXPECT_EQ(desktop_.FindWindow(std::nullopt, "Google Earth"), main);
    // The render window follows the main window's size (as squaring the view relies on).
    const Rect m = *desktop_.GetWindowRect(main);
    desktop_.SetWindowPos(main, 0, 0, m.width(), m.height() + 300, swp::NoMove | swp::NoZOrder);
    EXPECT_EQ(globe_->RenderSize(), (Size{800, 800}));
    desktop_.ShowWindow(main, ShowCommand::Minimize);
    EXPECT_TRUE(desktop_.IsIconic(main));
    desktop_.ShowWindow(main, ShowCommand::Restore);
    EXPECT_FALSE(desktop_.IsIconic(main));
}

TEST_F(GlobeClient, VersionsAndState) {
    EXPECT_EQ(app_->VersionMajor(), 7);
    EXPECT_EQ(app_->VersionMinor(), 3);
    EXPECT_EQ(app_->VersionBuild(), 9345);
    EXPECT_EQ(app_->VersionAppType(), 5);
    EXPECT_EQ(app_->IsInitialized(), 1);
    EXPECT_EQ(app_->IsOnline(), 1);
    EXPECT_THROW(app_->SetAutoPilotSpeed(-1.0), PortError);
    EXPECT_THROW(app_->SetAutoPilotSpeed(std::nan("")), PortError);
}

// ---- camera and time ------------------------------------------------------------------------

TEST_F(GlobeClient, CameraReadsBackExactlyAsSet) {
    const ICameraInfoGE set = Cam(46.6, 10.2, 12000.0, 35.0, -120.0);
    app_->SetCamera(set, 5.0);
    const ICameraInfoGE got = app_->GetCamera(1);
    EXPECT_EQ(got.FocusPointLatitude, set.FocusPointLatitude);
    EXPECT_EQ(got.FocusPointLongitude, set.FocusPointLongitude);
    EXPECT_EQ(got.Range, set.Range);
    EXPECT_EQ(got.Tilt, set.Tilt);
    EXPECT_EQ(got.Azimuth, set.Azimuth);
    EXPECT_EQ(got.FocusPointAltitudeMode, 1);
    EXPECT_EQ(got.FocusPointAltitude, 0.0);
    // Written back the way callers do (mode 1), the view does not move.
    app_->SetCamera(got, 5.0);
    EXPECT_EQ(app_->GetCamera(1).Range, set.Range);
}

TEST_F(GlobeClient, AFocusAboveTheGroundReadsBackOnTheGround) {
    const double ground = globe_->GroundHeight(47.0, 11.0);
    ICameraInfoGE c = Cam(47.0, 11.0, 10000.0);
    c.FocusPointAltitudeMode = 2;
    c.FocusPointAltitude = ground + 500.0; // absolute, 500 m over the ground
    app_->SetCamera(c, 5.0);
    const ICameraInfoGE got = app_->GetCamera(1);
    EXPECT_EQ(got.FocusPointAltitudeMode, 1);
    EXPECT_EQ(got.FocusPointAltitude, 0.0);
    EXPECT_NEAR(got.FocusPointLatitude, 47.0, 1e-7);
    EXPECT_NEAR(got.Range, 10500.0, 0.01); // straight down: 500 m further to the ground
    EXPECT_NEAR(got.Tilt, 0.0, 1e-6);
}

TEST_F(GlobeClient, SlowFlightsRunOnTheVirtualClock) {
    app_->SetCamera(Cam(47.0, 11.0, 10000.0), 5.0);
    const int timers = desktop_.ActiveTimers();
    app_->SetCamera(Cam(47.0, 11.0, 40000.0), 2.0); // 2 s / 2.0 = 1 s of flight
    EXPECT_TRUE(globe_->Flying());
    EXPECT_EQ(desktop_.ActiveTimers(), timers + 1);
    const int repaints = globe_->RepaintCount();
    desktop_.AdvanceTime(500);
    const double half = app_->GetCamera(1).Range;
    EXPECT_NEAR(half, 20000.0, 1.0);                  // geometric half way with the eased middle
    EXPECT_GT(globe_->RepaintCount(), repaints + 10); // a frame each 40 ms
    desktop_.Sleep(500);                              // a plain sleep lets the time pass too
    EXPECT_EQ(app_->GetCamera(1).Range, 40000.0);
    EXPECT_FALSE(globe_->Flying());
    desktop_.AdvanceTime(100);
    EXPECT_EQ(desktop_.ActiveTimers(), timers);
    // A new camera in mid-flight starts from where the flight stands.
    app_->SetCamera(Cam(47.0, 11.0, 10000.0), 1.0);
    desktop_.AdvanceTime(1000);
    app_->SetCamera(Cam(47.0, 11.0, 10000.0), 5.0);
    EXPECT_FALSE(globe_->Flying());
    EXPECT_EQ(app_->GetCamera(1).Range, 10000.0);
}

TEST_F(GlobeClient, BadCamerasAreRefused) {
    EXPECT_THROW(app_->SetCamera(Cam(47, 11, 0.0), 5.0), PortError);
    EXPECT_THROW(app_->SetCamera(Cam(47, 11, 100.0), -1.0), PortError);
    EXPECT_THROW(app_->SetCamera(Cam(95, 11, 100.0), 5.0), PortError);
    EXPECT_NO_THROW(app_->SetCamera(Cam(47, 191, 100.0, -10.0), 5.0));
    EXPECT_DOUBLE_EQ(globe_->Camera().FocusPointLongitude, -169.0);
}

// ---- terrain queries ------------------------------------------------------------------------

TEST_F(GlobeClient, CentreQueryIsTheFocusPointsGround) {
    app_->SetCamera(Cam(48.0, 11.0, 30000.0, 40.0, 15.0), 5.0);
    app_->SetElevationExaggeration(1.0);
    const IPointOnTerrainGE p = app_->GetPointOnTerrainFromScreenCoords(0.0, 0.0);
    EXPECT_TRUE(p.HitGround);
    EXPECT_NEAR(p.Latitude, 48.0, 1e-7);
    EXPECT_NEAR(p.Longitude, 11.0, 1e-7);
    EXPECT_DOUBLE_EQ(p.Altitude, globe_->Terrain()->Elevation(p.Latitude, p.Longitude));
    EXPECT_GT(p.Altitude, 0.0);
}

TEST_F(GlobeClient, ScreenPointsAndGroundPointsRoundTrip) {
    app_->SetCamera(Cam(31.0, 86.0, 45000.0, 55.0, 200.0), 5.0);
    for (double x : {-0.9, -0.3, 0.4, 0.95}) {
        for (double y : {-0.95, 0.0, 0.6}) {
            const IPointOnTerrainGE p = app_->GetPointOnTerrainFromScreenCoords(x, y);
            ASSERT_TRUE(p.HitGround);
            const auto s = globe_->ProjectToScreen(p.Latitude, p.Longitude, p.Altitude);
            ASSERT_TRUE(s);
            EXPECT_NEAR(s->x, x, 1e-6);
            EXPECT_NEAR(s->y, y, 1e-6);
        }
    }
}

TEST_F(GlobeClient, SkyQueriesMissAndSayZero) {
    app_->SetCamera(Cam(10.0, -150.0, 5000.0, 90.0), 5.0);
    const IPointOnTerrainGE p = app_->GetPointOnTerrainFromScreenCoords(0.0, 0.9);
    EXPECT_FALSE(p.HitGround);
    EXPECT_EQ(p.Latitude, 0.0);
    EXPECT_EQ(p.Longitude, 0.0);
    EXPECT_EQ(p.Altitude, 0.0);
    EXPECT_TRUE(app_->GetPointOnTerrainFromScreenCoords(0.0, -0.9).HitGround);
    EXPECT_THROW(app_->GetPointOnTerrainFromScreenCoords(std::nan(""), 0.0), PortError);
}

TEST_F(GlobeClient, ExaggerationScalesAndTerrainOffFlattens) {
    app_->SetCamera(Cam(48.0, 105.0, 20000.0), 5.0);
    const double trueHeight = app_->GetPointOnTerrainFromScreenCoords(0, 0).Altitude;
    app_->SetElevationExaggeration(2.0);
    EXPECT_EQ(app_->ElevationExaggeration(), 2.0);
    const IPointOnTerrainGE p = app_->GetPointOnTerrainFromScreenCoords(0, 0);
    EXPECT_NEAR(p.Altitude, 2.0 * globe_->Terrain()->Elevation(p.Latitude, p.Longitude), 1e-9);
    EXPECT_NEAR(p.Altitude, 2.0 * trueHeight, 0.1 * trueHeight);
    EXPECT_THROW(app_->SetElevationExaggeration(0.0), PortError);
    EXPECT_THROW(app_->SetElevationExaggeration(3.5), PortError);
    EXPECT_EQ(app_->ElevationExaggeration(), 2.0);
    globe_->SetTerrainLayerOn(false);
    const IPointOnTerrainGE flat = app_->GetPointOnTerrainFromScreenCoords(0.3, 0.3);
    EXPECT_TRUE(flat.HitGround);
    EXPECT_EQ(flat.Altitude, 0.0);
}

// ---- view extents ---------------------------------------------------------------------------

TEST_F(GlobeClient, ExtentsOfANorthUpView) {
    app_->SetCamera(Cam(47.5, 11.0, 400000.0), 5.0);
    const IViewExtentsGE e = app_->ViewExtents();
    EXPECT_GT(e.North, 47.5);
    EXPECT_LT(e.South, 47.5);
    // North up: east and west symmetric but for the relief under the corners (1 km of
    // height shifts a corner's ray by some 600 m here).
    EXPECT_NEAR(0.5 * (e.East + e.West), 11.0, 0.01);
    // The width: the 60 degree field of view over 400 km (2 tan 30 x range), widest at the
    // top edge, on a curved ground: within 3 %.
    const double metres = 2.0 * std::tan(30.0 * kDegToRad) * 400000.0;
    const double atTop = metres / MetresPerDegreeLongitude(e.North);
    EXPECT_NEAR(e.East - e.West, atTop, 0.03 * atTop);
    // Every edge point the client returns lies inside, but for the relief between the
    // sampled edge points (1e-3 degrees).
    for (double t = -1.0; t <= 1.0; t += 0.1) {
        for (const auto& [x, y] : {std::pair{t, 1.0}, {t, -1.0}, {1.0, t}, {-1.0, t}}) {
            const IPointOnTerrainGE p = app_->GetPointOnTerrainFromScreenCoords(x, y);
            ASSERT_TRUE(p.HitGround);
            EXPECT_LE(p.Latitude, e.North + 1e-3);
            EXPECT_GE(p.Latitude, e.South - 1e-3);
            EXPECT_LE(p.Longitude, e.East + 1e-3);
            EXPECT_GE(p.Longitude, e.West - 1e-3);
        }
    }
}

TEST_F(GlobeClient, ExtentsAcrossTheDateLineAndOverAPole) {
    app_->SetCamera(Cam(-17.0, 179.9, 100000.0), 5.0);
    const IViewExtentsGE d = app_->ViewExtents();
    EXPECT_GT(d.West, 179.0); // the west edge in the east, the east edge in the west
    EXPECT_LT(d.East, -179.0);
    app_->SetCamera(Cam(85.0, 0.0, 3000000.0), 5.0);
    const IViewExtentsGE p = app_->ViewExtents();
    EXPECT_EQ(p.North, 90.0);
    EXPECT_EQ(p.West, -180.0);
    EXPECT_EQ(p.East, 180.0);
    // Looking past the horizon: the extents stop where the ground ends.
    app_->SetCamera(Cam(0.0, 0.0, 20000.0, 85.0), 5.0);
    const IViewExtentsGE h = app_->ViewExtents();
    EXPECT_GT(h.North, 1.0);
    EXPECT_LT(h.North, 10.0);
}

// Matching the view to a map extent by measuring the shown width twice, as the digitizer
// does: range := range / shown width x wanted width, first at once, then with a short flight.
TEST_F(GlobeClient, TwoPassRangeAdjustmentConverges) {
    app_->SetCamera(Cam(30.0, -40.0, 3000000.0, 50.0, 70.0), 5.0);
    const double wanted = 2.0; // degrees: 10 to 12 E at 47 to 48 N
    const auto pass = [&](double speed) {
        ICameraInfoGE c = app_->GetCamera(1);
        c.FocusPointLatitude = 47.5;
        c.FocusPointLongitude = 11.0;
        c.Azimuth = 0.0;
        c.Tilt = 0.0;
        const IViewExtentsGE e = app_->ViewExtents();
        c.Range = c.Range / (e.East - e.West) * wanted;
        c.FocusPointAltitudeMode = 1;
        app_->SetCamera(c, speed);
    };
    const auto error = [&] {
        const IViewExtentsGE e = app_->ViewExtents();
        return std::abs((e.East - e.West) - wanted) / wanted;
    };
    pass(5.0);
    const double first = error();
    desktop_.Sleep(50);
    pass(2.0);
    desktop_.AdvanceTime(1000);
    ASSERT_FALSE(globe_->Flying());
    const double second = error();
    EXPECT_LT(second, 0.01);
    EXPECT_LE(second, first);
    pass(5.0);
    EXPECT_LT(error(), 0.001); // it keeps converging
}

// ---- KML documents --------------------------------------------------------------------------

TEST_F(GlobeClient, LoadedTextsAreKeptAndDoNotMoveTheCamera) {
    const ICameraInfoGE before = app_->GetCamera(1);
    app_->LoadKmlData(kPolygon);
    app_->LoadKmlData(kPolygon);
    ASSERT_EQ(globe_->Documents().size(), 2u);
    EXPECT_EQ(globe_->Documents()[0]->name, "Red");
    EXPECT_EQ(app_->GetCamera(1).Range, before.Range);
    try {
        app_->LoadKmlData("<kml><Document></kml>");
        FAIL();
    } catch (const PortError& e) {
        EXPECT_EQ(e.operation(), "LoadKmlData");
        EXPECT_NE(std::string(e.what()).find("malformed XML"), std::string::npos);
    }
    EXPECT_EQ(globe_->Documents().size(), 2u);
}

TEST_F(GlobeClient, ReopeningAFileReplacesItsDocument) {
    const fs::path file = TempFile("live.kml", kPolygon);
    app_->OpenKmlFile(file.string(), 1);
    app_->LoadKmlData(kPolygon);
    std::ofstream(file, std::ios::binary) << "<kml><Document><name>Second</name></Document></kml>";
    // The same file by another spelling of its path.
    app_->OpenKmlFile((file.parent_path() / "." / file.filename()).string(), 1);
    const auto docs = globe_->Documents();
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_EQ(docs[0]->name, "Second");
    EXPECT_TRUE(docs[0]->placemarks.empty());
    EXPECT_EQ(docs[1]->name, "Red");
}

TEST_F(GlobeClient, MissingOrMalformedFilesFail) {
    EXPECT_THROW(app_->OpenKmlFile((fs::path(desktop_.GetTempPath()) / "none.kml").string(), 1),
                 PortError);
    EXPECT_THROW(app_->OpenKmlFile("", 1), PortError);
    EXPECT_THROW(app_->OpenKmlFile(desktop_.GetTempPath(), 1), PortError); // a folder
    const fs::path bad = TempFile("bad.kml", "<kml><Placemark></kml>");
    EXPECT_THROW(app_->OpenKmlFile(bad.string(), 1), PortError);
    EXPECT_TRUE(desktop_.MessageBoxes().empty()); // suppressed
    EXPECT_THROW(app_->OpenKmlFile(bad.string(), 0), PortError);
    ASSERT_EQ(desktop_.MessageBoxes().size(), 1u);
    EXPECT_EQ(desktop_.MessageBoxes()[0].title, "Google Earth");
    EXPECT_TRUE(globe_->Documents().empty());
}

TEST_F(GlobeClient, KeptCoordinatesAreBounded) {
    GlobeOptions o;
    o.maxKeptCoordinates = 12;
    Start(o);
    const fs::path file = TempFile("f.kml", kPolygon); // 5 coordinates
    app_->OpenKmlFile(file.string(), 1);
    app_->LoadKmlData(kPolygon);
    app_->LoadKmlData(kPolygon); // 15: the oldest text goes first, the file stays
    auto docs = globe_->Documents();
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_FALSE(docs[0]->sourcePath.empty());
    EXPECT_TRUE(docs[1]->sourcePath.empty());
}

// ---- repaints and drawing -------------------------------------------------------------------

TEST_F(GlobeClient, DrawnLinesVanishAtTheNextRepaint) {
    const WindowHandle render = app_->GetRenderHwnd();
    const Pen cyan{rgb(0, 255, 255), 2, RasterOp::Copy};
    desktop_.DrawLine(render, {10, 10}, {100, 100}, cyan);
    // Queries and writing the same exaggeration do not repaint.
    app_->SetElevationExaggeration(1.0);
    app_->GetPointOnTerrainFromScreenCoords(0.1, 0.1);
    app_->ViewExtents();
    app_->GetCamera(1);
    EXPECT_EQ(desktop_.DrawCalls(render).size(), 1u);
    app_->LoadKmlData(kPolygon);
    EXPECT_TRUE(desktop_.DrawCalls(render).empty());
    desktop_.DrawLine(render, {10, 10}, {100, 100}, cyan);
    app_->SetCamera(app_->GetCamera(1), 5.0);
    EXPECT_TRUE(desktop_.DrawCalls(render).empty());
}

TEST_F(GlobeClient, CaptureShowsTerrainDocumentsAndDrawing) {
    GlobeOptions small;
    small.mainWindow = {0, 0, 460, 180}; // a render window of 160 x 100
    Start(small);
    app_->SetCamera(Cam(47.5, 11.0, 60000.0), 5.0);
    app_->LoadKmlData(kPolygon); // red over the view centre
    const WindowHandle render = app_->GetRenderHwnd();
    desktop_.DrawLine(render, {0, 20}, {159, 20}, {rgb(0, 255, 255), 1, RasterOp::Copy});
    const auto shot = desktop_.CaptureWindow(render);
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->width, 160);
    ASSERT_EQ(shot->height, 100);
    const auto at = [&](int x, int y) {
        return shot->pixels[static_cast<std::size_t>(y * shot->width + x)];
    };
    EXPECT_EQ(at(80, 50), 0xFF0000u);
    EXPECT_EQ(at(80, 20), 0x00FFFFu);
    EXPECT_NE(at(80, 95), 0xFF0000u); // terrain outside the polygon
    app_->SetCamera(app_->GetCamera(1), 5.0);
    EXPECT_NE(desktop_.CaptureWindow(render)->pixels[20 * 160 + 80], 0x00FFFFu);
    // The main window's capture holds the render window's picture at its place.
    const auto whole = desktop_.CaptureWindow(app_->GetMainHwnd());
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->pixels[static_cast<std::size_t>((40 + 50) * 460 + 300 + 80)], 0xFF0000u);
}

TEST_F(GlobeClient, SavesPngThatReadsBack) {
    GlobeOptions small;
    small.mainWindow = {0, 0, 460, 180};
    Start(small);
    const fs::path file = fs::path(desktop_.GetTempPath()) / "view.png";
    globe_->SavePng(file);
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, file.c_str()));
    EXPECT_EQ(png.width, 160u);
    EXPECT_EQ(png.height, 100u);
    png_image_free(&png);
    EXPECT_THROW(globe_->SavePng(fs::path(desktop_.GetTempPath()) / "no" / "such.png"),
                 std::runtime_error);
}

// ---- the client's own controls --------------------------------------------------------------

TEST_F(GlobeClient, NavigationControlAndWheelMoveTheView) {
    app_->SetCamera(Cam(47.0, 11.0, 10000.0), 5.0);
    const int w = globe_->RenderSize().width;
    Click({w - 43, 196}); // zoom in, where the status probe clicks
    EXPECT_NEAR(app_->GetCamera(1).Range, 7500.0, 1e-6);
    Click({w - 43, 319}); // zoom out
    EXPECT_NEAR(app_->GetCamera(1).Range, 10000.0, 1e-6);
    Click({w - 20, 49}); // the look ring's right side turns the view
    EXPECT_NEAR(app_->GetCamera(1).Azimuth, 10.0, 1e-6);
    Click({w - 43, 49}); // its centre puts north up again
    EXPECT_NEAR(app_->GetCamera(1).Azimuth, 0.0, 1e-6);
    Click({w - 43, 110}); // the move control's top: north by a tenth of the range
    EXPECT_NEAR((app_->GetCamera(1).FocusPointLatitude - 47.0) * MetresPerDegreeLatitude(47.0),
                1000.0, 1.0);
    const double range = app_->GetCamera(1).Range;
    Click({w - 43, 230}); // between the zoom buttons: nothing
    Click({400, 250});    // the view itself: nothing
    EXPECT_EQ(app_->GetCamera(1).Range, range);
    const Point s = *desktop_.ClientToScreen(globe_->RenderWindow(), {400, 250});
    desktop_.InjectMouse(MouseMessage::Wheel, s, 120);
    EXPECT_NEAR(app_->GetCamera(1).Range, 0.8 * range, 1e-6);
}

TEST_F(GlobeClient, ShortcutsOpenDialogsThatEnterConfirms) {
    app_->SetCamera(Cam(47.0, 11.0, 10000.0), 5.0);
    const WindowHandle main = app_->GetMainHwnd();
    const std::pair<const char*, const char*> shortcuts[] = {
        {"^+P", "Google Earth - New Placemark"},
        {"^+T", "Google Earth - New Path"},
        {"^+G", "Google Earth - New Polygon"}};
    for (const auto& [keys, title] : shortcuts) {
        desktop_.SetForegroundWindow(main);
        desktop_.SendKeys(keys);
        const WindowHandle d = desktop_.FindWindow("QTool", title);
        ASSERT_NE(d, kNoWindow) << title;
        EXPECT_EQ(globe_->DialogWindow(), d);
        desktop_.SendKeys("{ESC}");
        EXPECT_FALSE(desktop_.IsWindow(d));
    }
    EXPECT_TRUE(globe_->Documents().empty());

    desktop_.SetForegroundWindow(main);
    desktop_.SendKeys("^+T");
    desktop_.SendKeys("Scribeline4Arc");
    const WindowHandle d = desktop_.FindWindow("QTool", "Google Earth - New Path");
    desktop_.SetWindowPos(d, -2000, 10, 0, 0, swp::NoSize | swp::NoZOrder);
    desktop_.ShowWindow(d, ShowCommand::Hide); // moved away and hidden, as the digitizer does
    Click({300, 200});
    Click({500, 300});
    desktop_.SetForegroundWindow(d);
    desktop_.SendKeys("{ENTER}");
    EXPECT_FALSE(desktop_.IsWindow(d));
    ASSERT_EQ(globe_->Documents().size(), 1u);
    const KmlDocument& doc = *globe_->Documents()[0];
    EXPECT_EQ(doc.name, "Scribeline4Arc");
    ASSERT_EQ(doc.placemarks.size(), 1u);
    const KmlGeometry& path = doc.placemarks[0].geometries.at(0);
    EXPECT_EQ(path.kind, KmlGeometry::Kind::LineString);
    ASSERT_EQ(path.coordinates.size(), 2u);
    EXPECT_LT(path.coordinates[0].longitude, path.coordinates[1].longitude); // left, then right
}

TEST_F(GlobeClient, ClosingTheMainWindowQuitsTheClient) {
    const WindowHandle render = app_->GetRenderHwnd();
    desktop_.RequestClose(app_->GetMainHwnd());
    EXPECT_FALSE(desktop_.IsWindow(render));
    EXPECT_THROW(app_->GetCamera(1), PortError);
    EXPECT_THROW(globe_->Connector().CreateApplication(), PortError);
}

TEST_F(GlobeClient, RefusesALayoutWithoutARenderWindow) {
    GlobeOptions o;
    o.mainWindow = {0, 0, 200, 100};
    EXPECT_THROW(SimulatedGlobe(desktop_, o), std::invalid_argument);
}

} // namespace
} // namespace scribeline::globe
