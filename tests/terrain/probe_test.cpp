// The terrain-layer check's test points: by hemisphere band, or the focus point itself when it
// has ground.
#include "terrain/terrain_probe.hpp"

#include <gtest/gtest.h>

namespace scribeline::terrain {
namespace {

TEST(TerrainTestPointTest, HemisphereBandsPickTheirTestPoint) {
    EXPECT_EQ(TerrainTestPoint(10.0, 0.0), (GeoPoint{48.0, 11.0}));
    EXPECT_EQ(TerrainTestPoint(10.0, 60.0), (GeoPoint{48.0, 11.0}));
    EXPECT_EQ(TerrainTestPoint(10.0, 60.5), (GeoPoint{48.0, 105.0}));
    EXPECT_EQ(TerrainTestPoint(0.0, 140.0), (GeoPoint{48.0, 105.0}));
    EXPECT_EQ(TerrainTestPoint(30.0, -125.0), (GeoPoint{20.52, -100.0}));
    EXPECT_EQ(TerrainTestPoint(30.0, -70.0), (GeoPoint{20.52, -100.0}));
    EXPECT_EQ(TerrainTestPoint(30.0, -30.0), (GeoPoint{48.0, 11.0})) << "the Atlantic";
    EXPECT_EQ(TerrainTestPoint(30.0, 170.0), (GeoPoint{48.0, 11.0}));
    // South of the equator every longitude goes to the first point.
    for (double longitude : {-100.0, 0.0, 30.0, 100.0}) {
        EXPECT_EQ(TerrainTestPoint(-0.1, longitude), (GeoPoint{48.0, 11.0})) << longitude;
    }
}

TEST(TerrainTestPointTest, FocusPointAboveGroundOrElseTheBandsTestPoint) {
    auto at = [](double lat, double lon) { return TestPointFor(lat, lon, 0.0); };
    EXPECT_EQ(at(10, 0).latitude, 48.0);
    EXPECT_EQ(at(10, 60).longitude, 11.0);
    EXPECT_EQ(at(10, 60.5).longitude, 105.0);
    EXPECT_EQ(at(0, 140).longitude, 105.0);
    EXPECT_EQ(at(10, -125).longitude, -100.0);
    EXPECT_EQ(at(10, -125).latitude, 20.52);
    EXPECT_EQ(at(10, -70).longitude, -100.0);
    EXPECT_EQ(at(10, -69).longitude, 11.0);
    EXPECT_EQ(at(10, 150).longitude, 11.0);
    EXPECT_EQ(at(-0.1, 100).longitude, 11.0) << "south of the equator always (48, 11)";
    EXPECT_EQ(at(-45, -100).latitude, 48.0);
    const GeoPoint own = TestPointFor(-20, 30, 5.0);
    EXPECT_EQ(own.latitude, -20.0) << "a focus point above ground is used itself";
    EXPECT_EQ(own.longitude, 30.0);
}

} // namespace
} // namespace scribeline::terrain
