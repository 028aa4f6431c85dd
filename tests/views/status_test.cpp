// The status reports: their fixed texts against golden files, the globe report's probes on the
// linear globe (every camera it is given is recorded) and on the simulated globe (whose
// navigation control answers the probe click), and the map report on the map host.
#include "tests/support/files.hpp"
#include "tests/views/views_fixture.hpp"
#include "views/GEStatus.hpp"

namespace scribeline::testing {
namespace {

// ---- the texts ---------------------------------------------------------------------------

// The names themselves are in the golden files; here the ends of the tables.
TEST(StatusTexts, NameTablesEndWhereTheHostsCodesDo) {
    EXPECT_EQ(views::UnitName(12), "Decimeter");
    EXPECT_EQ(views::UnitName(13), "");
    EXPECT_EQ(views::UnitName(20), "");
    EXPECT_THROW((void)views::UnitName(21), std::out_of_range);
    EXPECT_THROW((void)views::UnitName(-1), std::out_of_range);
    EXPECT_EQ(views::ProductLine(100), "Version: ArcView");
    EXPECT_EQ(views::ProductLine(300), "Version: ArcInfo");
    EXPECT_EQ(views::ProductLine(400), "");
    EXPECT_EQ(views::AppTypeName(4), "");
    EXPECT_THROW((void)views::AppTypeName(6), std::out_of_range);
    EXPECT_THROW((void)views::AppTypeName(-1), std::out_of_range);
}

TEST(StatusTexts, NumberStyles) {
    EXPECT_EQ(views::FormatFixed(-0.5, 7), "-0.5000000");
    EXPECT_EQ(views::FormatFixed(12.34567, 3), "12.346");
    EXPECT_EQ(views::FormatFixed(0.0005, 3), "0.001") << "rounded, not cut";
    EXPECT_EQ(views::FormatFixed(1234567.0, 3), "1234567.000") << "no thousands separator";
    EXPECT_EQ(views::FormatFixed(-0.0001, 3), "0.000");
    EXPECT_EQ(views::FormatFixed(2.5, 3, ','), "2,500");
    EXPECT_THROW((void)views::FormatFixed(std::nan(""), 3), std::domain_error);
    EXPECT_EQ(views::FormatGeneral(1.25, ','), "1,25");

    EXPECT_DOUBLE_EQ(views::FloorHundredths(0.2999), 0.29);
    EXPECT_DOUBLE_EQ(views::FloorHundredths(0.29), 0.29) << "0.29 is stored as 0.28999...";
    EXPECT_DOUBLE_EQ(views::FloorHundredths(1.0), 1.0);
    EXPECT_DOUBLE_EQ(views::FloorHundredths(-0.001), -0.01);
    EXPECT_DOUBLE_EQ(views::FloorWhole(123.9), 123.0);
    EXPECT_DOUBLE_EQ(views::FloorWhole(99999.9999), 99999.0);
    EXPECT_DOUBLE_EQ(views::FloorWhole(-0.5), -1.0);
}

TEST(StatusTexts, MapReportGolden) {
    views::MapStatus s;
    s.productCode = 42;
    s.referenceName = "Unknown";
    s.referenceCode = 0;
    s.mapUnits = 0;
    s.distanceUnits = 13;
    s.extent = {-20037508.342789244, 1e-5, 1.5e15, 0.0};
    ExpectGolden(views::BuildArcStatusText(s), "views/arc_status_unknown.txt");
    s.mapUnits = 21;
    EXPECT_THROW((void)views::BuildArcStatusText(s), std::out_of_range);
}

TEST(StatusTexts, EarthReportGolden) {
    views::EarthStatus s;
    s.versionMajor = 7;
    s.versionMinor = 3;
    s.versionBuild = 9345;
    s.appType = 5;
    s.navigation = false;
    s.terrainLayer = true;
    s.exaggeration = 1.5;
    s.initialized = 1;
    s.online = 0;
    s.autoPilotSpeed = 0.2999;
    s.west = -0.5;
    s.east = 12.25;
    s.south = -33.123456789;
    s.north = 0.00000004;
    s.range = 123.9;
    s.azimuth = 12.34567;
    s.tilt = -0.0001;
    ExpectGolden(views::FormatEarthStatusText(s), "views/earth_status_edges.txt");

    s.versionMajor = 4;
    s.versionMinor = 2;
    s.versionBuild = 180;
    s.appType = 3;
    s.navigation = true;
    s.terrainLayer = false;
    s.exaggeration = 0.01;
    s.initialized = 2; // non-zero, but only 1 reads as Yes
    s.online = 1;
    s.autoPilotSpeed = 0.29;
    s.west = 179.99999994;
    s.east = -179.99999994;
    s.south = -90;
    s.north = 90;
    s.range = 99999.9999;
    s.azimuth = -180;
    s.tilt = 89.9994;
    ExpectGolden(views::FormatEarthStatusText(s), "views/earth_status_empty_type.txt");

    s.appType = 6;
    EXPECT_THROW((void)views::FormatEarthStatusText(s), std::out_of_range);
}

// ---- the globe report on the linear globe ------------------------------------------------

class LinearStatusTest : public LinearViewsTest {
protected:
    views::EarthStatusProbe Probe() {
        return views::EarthStatusProbe(desk, globe, [this] { return w().hWnd(); });
    }
    int clicks = 0;
    void CountClicks() {
        desk.SetMouseHook([this](const MouseEvent& e) {
            if (e.message == MouseMessage::LeftDown) {
                ++clicks;
            }
            return HookResult::Pass;
        });
    }
};

TEST_F(LinearStatusTest, ReportAtSeaFliesToTheTestPointAndBackGolden) {
    globe.camera.FocusPointLatitude = 30.0;
    globe.camera.FocusPointLongitude = -40.0; // the Atlantic: no band, so (48, 11)
    globe.camera.Range = 400000.0;
    globe.camera.Tilt = -10.0;
    globe.camera.Azimuth = 33.3333;
    const ICameraInfoGE user = globe.camera;
    globe.exaggeration = 2.5;
    globe.autoPilotSpeed = 0.5;
    // Centre: sea; after the first flight still nothing; after the second, ground.
    globe.terrain = {
        {30, -40, -3000, true}, {48, 11, 0, true}, {48, 11, 600, true}, {48, 11, 600, true}};
    CountClicks();
    w().Options().Choose("ShowGEStatus");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_EQ(desk.MessageBoxes().size(), 1u);
    const auto& box = desk.MessageBoxes().back();
    EXPECT_EQ(box.title, "Info about your Google Earth");
    EXPECT_EQ(box.flags, mb::Ok);
    ExpectGolden(box.text, "views/earth_status_linear.txt");
    EXPECT_EQ(clicks, 1) << "one probe click";

    // The probe gives the view back, then two flights to (48, 11), then the user's view again.
    ASSERT_EQ(globe.sets.size(), 4u);
    EXPECT_DOUBLE_EQ(globe.sets[0].camera.FocusPointLongitude, -40.0);
    EXPECT_DOUBLE_EQ(globe.sets[0].camera.Tilt, 0.0) << "a negative tilt is given back as 0";
    for (std::size_t i : {1u, 2u}) {
        EXPECT_DOUBLE_EQ(globe.sets[i].camera.FocusPointLatitude, 48.0);
        EXPECT_DOUBLE_EQ(globe.sets[i].camera.FocusPointLongitude, 11.0);
        EXPECT_DOUBLE_EQ(globe.sets[i].camera.Range, user.Range);
        EXPECT_DOUBLE_EQ(globe.sets[i].speed, 5.0);
    }
    EXPECT_DOUBLE_EQ(globe.sets[3].camera.FocusPointLatitude, user.FocusPointLatitude);
    EXPECT_DOUBLE_EQ(globe.sets[3].camera.FocusPointLongitude, user.FocusPointLongitude);
    EXPECT_EQ(globe.sets[3].camera.FocusPointAltitudeMode, 1);
    EXPECT_DOUBLE_EQ(globe.exaggeration, 2.5) << "the user's exaggeration is kept";
    EXPECT_TRUE(globe.terrain.empty());
    EXPECT_EQ(desk.GetForegroundWindow(), w().hWnd());
}

TEST_F(LinearStatusTest, GroundUnderTheCentreNeedsNoFlight) {
    globe.terrain = {{47.5, 11, 512, true}};
    w().Options().Choose("ShowGEStatus");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_NE(desk.MessageBoxes().back().text.find("\r\nTerrain Layer: True\r\n"),
              std::string::npos);
    EXPECT_EQ(globe.sets.size(), 1u) << "only the probe's give-back";
}

TEST_F(LinearStatusTest, FlatGroundEverywhereReadsTerrainLayerOffAfterThreeFlights) {
    w().Options().Choose("ShowGEStatus"); // the linear globe's ground is 0 everywhere
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    const std::string text = desk.MessageBoxes().back().text;
    EXPECT_NE(text.find("\r\nTerrain Layer: False\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nNavigation: False\r\n"), std::string::npos)
        << "the linear globe ignores clicks";
    ASSERT_EQ(globe.sets.size(), 5u) << "probe, three flights, give-back";
    EXPECT_DOUBLE_EQ(globe.sets[4].camera.FocusPointLongitude, 11.0);
    EXPECT_DOUBLE_EQ(globe.sets[4].camera.FocusPointLatitude, 47.5);
}

TEST_F(LinearStatusTest, TerrainTestWaitsTwentyMillisecondsEachTime) {
    auto probe = Probe();
    const auto before = desk.TickCount();
    EXPECT_FALSE(probe.IsTerrainLayerOn());
    // choose 20, three flights 20 each, three settle pauses 20 each (two between tries,
    // one after the first flight), the give-back 20.
    EXPECT_EQ(desk.TickCount() - before, 20 + 3 * 20 + 3 * 20 + 20);
    EXPECT_DOUBLE_EQ(probe.StoredCamera().FocusPointLatitude, 48.0)
        << "the stored camera is that of the last flight";
}

TEST_F(LinearStatusTest, UnknownApplicationTypeEndsTheReportBeforeTheViewMoves) {
    globe.appType = 6;
    w().Options().Choose("ShowGEStatus");
    ASSERT_EQ(desk.MessageBoxes().size(), 1u);
    EXPECT_EQ(desk.MessageBoxes()[0].title, "Scribeline for ArcMap");
    EXPECT_NE(desk.MessageBoxes()[0].text.find("application type 6"), std::string::npos)
        << desk.MessageBoxes()[0].text;
    EXPECT_TRUE(globe.sets.empty());
}

TEST_F(LinearStatusTest, RenderWindowWithoutRectangleSaysFalseWithoutAnyClick) {
    globe.renderAnswer = 9999;
    CountClicks();
    auto probe = Probe();
    EXPECT_FALSE(probe.ProbeNavigationControl());
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(globe.sets.empty());
}

TEST_F(LinearStatusTest, ProbeCursorGoesBackAndTheClientMovesToTheRightEdge) {
    desk.SetCursorPos({5, 7});
    auto probe = Probe();
    (void)probe.ProbeNavigationControl();
    EXPECT_EQ(desk.GetCursorPos(), (Point{5, 7}));
    const Rect main = *desk.GetWindowRect(globe.mainWindow);
    EXPECT_EQ(main.right, desk.GetScreenSize().width);
    EXPECT_EQ(main.top, 50) << "the probe point was on the screen";
    EXPECT_EQ(main.width(), 800) << "size unchanged";
}

TEST_F(LinearStatusTest, ClientBelowTheScreenMovesUpAboveAndMinimisedIsRestored) {
    const Size screen = desk.GetScreenSize();
    desk.SetWindowPos(globe.mainWindow, 10, screen.height - 100, 0, 0, swp::NoSize);
    auto probe = Probe();
    probe.BringEarthProbeIntoView();
    const Point p = *desk.ClientToScreen(globe.renderWindow, {800 - 43, 196});
    EXPECT_EQ(p.y, screen.height - 100) << "moved up by the overshoot plus 100";

    desk.SetWindowPos(globe.mainWindow, 10, -400, 0, 0, swp::NoSize);
    probe.BringEarthProbeIntoView();
    EXPECT_EQ(desk.GetWindowRect(globe.mainWindow)->top, 0);

    desk.ShowWindow(globe.mainWindow, ShowCommand::Minimize);
    ASSERT_TRUE(desk.IsIconic(globe.mainWindow));
    const auto before = desk.TickCount();
    probe.BringEarthProbeIntoView();
    EXPECT_FALSE(desk.IsIconic(globe.mainWindow));
    EXPECT_EQ(desk.TickCount() - before, 50);
}

// ---- the globe report on the simulated globe ---------------------------------------------

TEST_F(GlobeViewsTest, ProbeClickZoomsTheRealNavigationControlAndTheViewComesBack) {
    LookAt(46.5, 10.5, 400000.0, 20.0, 15.0);
    earth->CreateApplication()->SetElevationExaggeration(1.7);
    const globe::CameraState before = earth->Camera();
    w().Options().Choose("ShowGEStatus");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    const auto& box = desk.MessageBoxes().back();
    EXPECT_EQ(box.title, "Info about your Google Earth");
    EXPECT_EQ(box.text.rfind("Version: 7.3.9345\r\nType: Google Earth Free\r\n"
                             "Navigation: True\r\nTerrain Layer: True\r\n"
                             "Elevation Exaggeration: 1.7\r\n",
                             0),
              0u)
        << box.text;
    EXPECT_NE(box.text.find("\r\nRange: 400000\r\nAzimuth: 15.000\r\nTilt: 20.000\r\n"),
              std::string::npos)
        << box.text;
    const globe::CameraState after = earth->Camera();
    EXPECT_NEAR(after.Range, before.Range, 1e-6);
    EXPECT_NEAR(after.FocusPointLatitude, before.FocusPointLatitude, 1e-9);
    EXPECT_NEAR(after.Tilt, before.Tilt, 1e-9);
    EXPECT_DOUBLE_EQ(earth->CreateApplication()->ElevationExaggeration(), 1.7);
}

TEST_F(GlobeViewsTest, TerrainLayerOffReadsFalseAndTheViewOverTheSeaComesBack) {
    LookAt(30.0, -40.0, 800000.0);
    earth->SetTerrainLayerOn(false);
    w().Options().Choose("ShowGEStatus");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_NE(desk.MessageBoxes().back().text.find("\r\nTerrain Layer: False\r\n"),
              std::string::npos);
    EXPECT_NEAR(earth->Camera().FocusPointLongitude, -40.0, 1e-9);

    earth->SetTerrainLayerOn(true);
    w().Options().Choose("ShowGEStatus");
    EXPECT_NE(desk.MessageBoxes().back().text.find("\r\nTerrain Layer: True\r\n"),
              std::string::npos)
        << "the sea is below 0, land at the test point above";
    EXPECT_NEAR(earth->Camera().FocusPointLongitude, -40.0, 1e-9);
    EXPECT_NEAR(earth->Camera().FocusPointLatitude, 30.0, 1e-9);
}

// ---- the map report on the map host -------------------------------------------------------

TEST_F(GlobeViewsTest, MapReportGoldenAndDistanceUnitsBecomeMeters) {
    auto& map = host->FocusMapImpl();
    map.SetSpatialReference(
        host->Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(4326));
    map.SetDistanceUnits(10);
    mapView().SetExtent({-12.5, 35.25, 31.125, 60});
    w().Options().Choose("ShowArcStatus");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_EQ(desk.MessageBoxes().size(), 1u);
    const auto& box = desk.MessageBoxes()[0];
    EXPECT_EQ(box.title, "LineScribe");
    EXPECT_EQ(box.flags, mb::Ok);
    ExpectGolden(box.text, "views/arc_status_wgs84.txt");
    EXPECT_EQ(map.DistanceUnits(), 9);
}

TEST_F(GlobeViewsTest, MapWithoutReferenceReportsUnknownAndAnyProductAnEmptyFirstLine) {
    gis::GisHostOptions options;
    options.productCode = 150;
    host = std::make_shared<gis::GisHost>(desk, gis::HeadlessOptions(desk, options));
    w().SetApplication(host);
    w().GetArcStatus();
    const std::string text = desk.MessageBoxes().back().text;
    EXPECT_EQ(text.rfind("\r\nspatial reference name: Unknown\r\nspatial reference EPSG: 0\r\n"
                         "map unit: Unknown Unit\r\ndistance unit: Unknown Unit\r\n",
                         0),
              0u)
        << text;
}

TEST_F(GlobeViewsTest, MapReportWithoutHostApplicationFailsWithAReason) {
    w().SetApplication(nullptr);
    w().Options().Choose("ShowArcStatus");
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("no map host application"), std::string::npos) << Failures()[0];
}

} // namespace
} // namespace scribeline::testing
