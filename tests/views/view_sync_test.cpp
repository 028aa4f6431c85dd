// "setgeview" and "setarcview" through the toolbar: exact numbers on the linear globe, and the
// simulated globe against the map host for what a user sees.
#include "tests/views/views_fixture.hpp"

#include <cmath>

namespace scribeline::testing {
namespace {

// ---- the arithmetic -----------------------------------------------------------------------

TEST(ViewSyncArithmetic, WidthOfAViewAcrossTheAntimeridianIsMeasuredEastwards) {
    EXPECT_DOUBLE_EQ(views::EarthViewWidth({48, 47, 13, 9}), 4.0);
    EXPECT_DOUBLE_EQ(views::EarthViewWidth({10, -10, -170, 170}), 20.0);
    EXPECT_DOUBLE_EQ(views::EarthViewWidth({90, -90, 180, -180}), 360.0);
    EXPECT_DOUBLE_EQ(views::EarthViewWidth({1, 0, 5, 5}), 0.0);
}

TEST(ViewSyncArithmetic, RangeScalesWithTheWidthsAndKeepsTheRangeWhenEitherHasNone) {
    EXPECT_DOUBLE_EQ(views::RangeForMapWidth(400000, 4, 2), 200000);
    EXPECT_DOUBLE_EQ(views::RangeForMapWidth(400000, 4, 8), 800000);
    // No globe width (West = East) or no map width: centre and level only.
    EXPECT_DOUBLE_EQ(views::RangeForMapWidth(400000, 0, 2), 400000);
    EXPECT_DOUBLE_EQ(views::RangeForMapWidth(400000, 4, 0), 400000);
    EXPECT_DOUBLE_EQ(views::RangeForMapWidth(400000, 4, -1), 400000);
    EXPECT_DOUBLE_EQ(views::RangeForMapWidth(400000, std::nan(""), 2), 400000);
    EXPECT_DOUBLE_EQ(views::RangeForMapWidth(400000, 1e-320, 1e300), 400000) << "overflow";
}

TEST(ViewSyncArithmetic, MapBoundsOfAViewAcrossTheAntimeridianStayInOrder) {
    const Envelope plain = views::MapBoundsOfEarthView({48, 47, 13, 9});
    EXPECT_EQ(plain, (Envelope{9, 47, 13, 48}));
    const Envelope across = views::MapBoundsOfEarthView({10, -10, -170, 170});
    EXPECT_EQ(across, (Envelope{170, -10, 190, 10}));
}

// ---- setgeview on the linear globe --------------------------------------------------------

TEST_F(LinearViewsTest, GlobeFliesToTheMapExtentTwiceWithTheWidthMeasuredAfresh) {
    mapView().SetExtent({10, 47, 12, 48});
    globe.camera.Range = 400000; // 4 degrees wide
    globe.camera.Tilt = 30;
    globe.camera.Azimuth = 75;
    Press("setgeview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_EQ(globe.sets.size(), 2u);
    for (const CameraSet& set : globe.sets) {
        EXPECT_DOUBLE_EQ(set.camera.FocusPointLongitude, 11.0);
        EXPECT_DOUBLE_EQ(set.camera.FocusPointLatitude, 47.5);
        EXPECT_DOUBLE_EQ(set.camera.Tilt, 0.0);
        EXPECT_DOUBLE_EQ(set.camera.Azimuth, 0.0);
        EXPECT_EQ(set.camera.FocusPointAltitudeMode, 1);
        EXPECT_NEAR(set.camera.Range, 200000.0, 1e-6);
    }
    EXPECT_DOUBLE_EQ(globe.sets[0].speed, 5.0);
    EXPECT_DOUBLE_EQ(globe.sets[1].speed, 2.0);
    ASSERT_TRUE(views().LastEarthViewCentre());
    EXPECT_DOUBLE_EQ(views().LastEarthViewCentre()->longitude, 11.0);
    EXPECT_DOUBLE_EQ(views().LastEarthViewCentre()->latitude, 47.5);
    ASSERT_TRUE(views().CameraRecord());
    EXPECT_NEAR(views().CameraRecord()->Range, 200000.0, 1e-6);
    EXPECT_EQ(mapView().Extent(), (Envelope{10, 47, 12, 48})) << "the map is not changed";
}

TEST_F(LinearViewsTest, SecondFlightCorrectsTheRangeWhenTheFirstLeftTheWidthOff) {
    // A globe whose width does not follow the range: the first flight computes from 4 degrees,
    // the second from the 2 degrees seen after it.
    mapView().SetExtent({10, 47, 12, 48});
    globe.fixedExtents = IViewExtentsGE{48, 47, 13, 9};
    Press("setgeview");
    ASSERT_EQ(globe.sets.size(), 2u);
    EXPECT_NEAR(globe.sets[0].camera.Range, 200000.0, 1e-6);
    EXPECT_NEAR(globe.sets[1].camera.Range, 100000.0, 1e-6);
}

TEST_F(LinearViewsTest, FlightsWaitFiftyMillisecondsBetweenThem) {
    mapView().SetExtent({10, 47, 12, 48});
    const auto before = desk.TickCount();
    w().cmdSetGEViewEx_Click();
    EXPECT_EQ(desk.TickCount() - before, 50);
}

TEST_F(LinearViewsTest, GlobeViewWithoutWidthOrMapWithoutWidthKeepsTheRange) {
    mapView().SetExtent({10, 47, 12, 48});
    globe.fixedExtents = IViewExtentsGE{48, 47, 5, 5};
    Press("setgeview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_EQ(globe.sets.size(), 2u);
    EXPECT_DOUBLE_EQ(globe.sets[1].camera.Range, 400000.0);
    EXPECT_DOUBLE_EQ(globe.sets[1].camera.FocusPointLongitude, 11.0);

    globe.sets.clear();
    globe.fixedExtents.reset();
    mapView().SetExtent({10, 47, 10, 48}); // a map of no width
    Press("setgeview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_EQ(globe.sets.size(), 2u);
    EXPECT_DOUBLE_EQ(globe.sets[1].camera.Range, 400000.0);
    EXPECT_DOUBLE_EQ(globe.sets[1].camera.FocusPointLongitude, 10.0);
}

TEST_F(LinearViewsTest, GlobeViewAcrossTheAntimeridianGivesAPositiveRange) {
    mapView().SetExtent({170, -10, 175, -5});
    globe.fixedExtents = IViewExtentsGE{10, -10, -170, 170}; // 20 degrees across 180
    Press("setgeview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_EQ(globe.sets.size(), 2u);
    EXPECT_NEAR(globe.sets[0].camera.Range, 400000.0 / 20 * 5, 1e-6);
}

TEST_F(LinearViewsTest, NothingHappensWhileTheGlobeIsNotInitialized) {
    mapView().SetExtent({10, 47, 12, 48});
    globe.initialized = 0;
    Press("setgeview");
    EXPECT_FALSE(w().state.wgs84Set) << "setgeview stops before the map is touched";
    Press("setarcview");
    EXPECT_TRUE(globe.sets.empty());
    EXPECT_EQ(mapView().Extent(), (Envelope{10, 47, 12, 48}));
    EXPECT_TRUE(Failures().empty());
}

TEST_F(LinearViewsTest, RenderWindowWithoutRectangleStopsBeforeAnyViewMoves) {
    mapView().SetExtent({10, 47, 12, 48});
    globe.renderAnswer = 9999; // names no window
    const int refreshes = mapView().RefreshCount();
    Press("setgeview");
    Press("setarcview");
    EXPECT_TRUE(globe.sets.empty());
    EXPECT_EQ(mapView().Extent(), (Envelope{10, 47, 12, 48}));
    EXPECT_FALSE(process.globe.renderRect.has_value());
    EXPECT_TRUE(Failures().empty());
    // Only the WGS 1984 set-up refreshed the map.
    EXPECT_LE(mapView().RefreshCount() - refreshes, 1);
}

// ---- setarcview on the linear globe -------------------------------------------------------

TEST_F(LinearViewsTest, MapBoundsBecomeExactlyTheGlobeExtentsWhateverTheMapShape) {
    mapView().SetExtent({-20, -10, 20, 10});
    globe.fixedExtents = IViewExtentsGE{48.25, 46.75, 13.5, 8.5}; // tall for the wide map
    const int refreshes = mapView().RefreshCount();
    Press("setarcview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_EQ(mapView().Extent(), (Envelope{8.5, 46.75, 13.5, 48.25}));
    EXPECT_GT(mapView().RefreshCount(), refreshes);
    EXPECT_TRUE(globe.sets.empty()) << "the globe is not moved";
    ASSERT_TRUE(views().CameraRecord());
    EXPECT_DOUBLE_EQ(views().CameraRecord()->Range, globe.camera.Range);
}

TEST_F(LinearViewsTest, MapShowsAGlobeViewAcrossTheAntimeridianEastOfIt) {
    globe.fixedExtents = IViewExtentsGE{10, -10, -170, 170};
    Press("setarcview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_EQ(mapView().Extent(), (Envelope{170, -10, 190, 10}));
}

// ---- WGS 1984 -----------------------------------------------------------------------------

TEST_F(LinearViewsTest, MapIsPutInWgs1984OncePerLoad) {
    auto& factory = host->Factory().SpatialReferenceFactory();
    host->FocusMapImpl().SetSpatialReference(factory.CreateProjectedCoordinateSystem(3857));
    Press("setarcview");
    ASSERT_TRUE(host->FocusMapImpl().SpatialReference());
    EXPECT_EQ(host->FocusMapImpl().SpatialReference()->FactoryCode(), 4326);
    EXPECT_TRUE(w().state.wgs84Set);

    // Not again during this load.
    host->FocusMapImpl().SetSpatialReference(factory.CreateProjectedCoordinateSystem(3857));
    Press("setgeview");
    EXPECT_EQ(host->FocusMapImpl().SpatialReference()->FactoryCode(), 3857);

    // A new load does it again.
    Open(globe);
    Press("setgeview");
    EXPECT_EQ(host->FocusMapImpl().SpatialReference()->FactoryCode(), 4326);
}

// ---- the simulated globe and the map host --------------------------------------------------

TEST_F(GlobeViewsTest, GlobeShowsTheMapWidthWithinOnePercentAfterBothFlights) {
    mapView().SetExtent({10, 47, 12, 48});
    LookAt(30.0, -40.0, 3000000.0, 40.0, 120.0);
    Press("setgeview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_TRUE(earth->Flying()) << "the second flight is slow";
    desk.AdvanceTime(1500);
    ASSERT_FALSE(earth->Flying());
    const globe::CameraState camera = earth->Camera();
    EXPECT_NEAR(camera.FocusPointLatitude, 47.5, 1e-6);
    EXPECT_NEAR(camera.FocusPointLongitude, 11.0, 1e-6);
    EXPECT_NEAR(camera.Tilt, 0.0, 1e-9);
    EXPECT_NEAR(camera.Azimuth, 0.0, 1e-9);
    const IViewExtentsGE shown = EarthExtents();
    EXPECT_NEAR(shown.East - shown.West, 2.0, 0.02);
    EXPECT_NEAR((shown.East + shown.West) / 2, 11.0, 0.02);
}

TEST_F(GlobeViewsTest, MapShowsWhatTheGlobeShows) {
    LookAt(-33.9, 18.4, 250000.0);
    Press("setarcview");
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    const IViewExtentsGE shown = EarthExtents();
    const Envelope extent = mapView().Extent();
    EXPECT_DOUBLE_EQ(extent.XMin, shown.West);
    EXPECT_DOUBLE_EQ(extent.XMax, shown.East);
    EXPECT_DOUBLE_EQ(extent.YMin, shown.South);
    EXPECT_DOUBLE_EQ(extent.YMax, shown.North);
    EXPECT_NEAR((extent.XMin + extent.XMax) / 2, 18.4, 0.05);
    EXPECT_NEAR((extent.YMin + extent.YMax) / 2, -33.9, 0.05);
}

TEST_F(GlobeViewsTest, RoundTripFromTheGlobeThroughTheMapBackToTheGlobe) {
    LookAt(46.5, 10.5, 400000.0);
    const IViewExtentsGE first = EarthExtents();
    Press("setarcview");
    LookAt(0.0, 0.0, 9000000.0, 50.0, 200.0); // look elsewhere
    Press("setgeview");
    desk.AdvanceTime(1500);
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    const IViewExtentsGE back = EarthExtents();
    const double width = first.East - first.West;
    EXPECT_NEAR(back.East - back.West, width, width * 0.01);
    EXPECT_NEAR((back.East + back.West) / 2, (first.East + first.West) / 2, width * 0.01);
    EXPECT_NEAR((back.North + back.South) / 2, (first.North + first.South) / 2, width * 0.01);
}

TEST_F(GlobeViewsTest, FailingGlobeCallEndsTheCommandWithOneMessage) {
    mapView().SetExtent({10, 47, 12, 48});
    levers.FailOnce(doubles::GlobeOperation::ViewExtents, "the view is being rebuilt");
    Press("setgeview");
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("the view is being rebuilt"), std::string::npos) << Failures()[0];
}

} // namespace
} // namespace scribeline::testing
