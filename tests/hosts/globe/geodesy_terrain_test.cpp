#include "hosts/globe/geodesy.hpp"
#include "hosts/globe/terrain.hpp"

#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace scribeline::globe {
namespace {

TEST(Geodesy, EcefRoundTripsEverywhere) {
    // Tolerance near the ground: 0.1 mm in height, 1e-9 degrees (0.1 mm) in position; far
    // out (an eye 20 000 km up) 1e-6 degrees.
    for (double lat = -90.0; lat <= 90.0; lat += 7.5) {
        for (double lon = -180.0; lon < 180.0; lon += 37.0) {
            for (double h : {-11000.0, 0.0, 8848.0, 50000.0, 100000.0, 2.0e7}) {
                const Geodetic g = ToGeodetic(ToEcef({lat, lon, h}));
                EXPECT_NEAR(g.latitude, lat, h > 1e5 ? 1e-6 : 1e-9)
                    << lat << " " << lon << " " << h;
                if (std::abs(lat) < 90.0) {
                    EXPECT_NEAR(WrapDegrees(g.longitude - lon), 0.0, 1e-9);
                }
                EXPECT_NEAR(g.height, h, 1e-4) << lat << " " << lon << " " << h;
            }
        }
    }
}

TEST(Geodesy, KnownFigures) {
    EXPECT_NEAR(ToEcef({0, 0, 0}).x, wgs84::a, 1e-6);
    EXPECT_NEAR(ToEcef({90, 0, 0}).z, wgs84::b, 1e-6);
    EXPECT_NEAR(MetresPerDegreeLongitude(0.0), 111319.491, 1e-3);
    EXPECT_NEAR(MetresPerDegreeLatitude(0.0), 110574.276, 1e-3);
    EXPECT_NEAR(MetresPerDegreeLatitude(90.0), 111693.980, 1e-3);
    const LocalFrame f = FrameAt(0.0, 90.0);
    EXPECT_NEAR(f.east.x, -1.0, 1e-12); // east at 90 E points along -x
    EXPECT_NEAR(f.up.y, 1.0, 1e-12);
}

TEST(Geodesy, WrapDegreesIntoHalfOpenRange) {
    EXPECT_DOUBLE_EQ(WrapDegrees(180.0), -180.0);
    EXPECT_DOUBLE_EQ(WrapDegrees(-180.0), -180.0);
    EXPECT_DOUBLE_EQ(WrapDegrees(190.0), -170.0);
    EXPECT_DOUBLE_EQ(WrapDegrees(-190.0), 170.0);
    EXPECT_DOUBLE_EQ(WrapDegrees(720.5), 0.5);
}

TEST(DefaultTerrain, ChecksumPinsTheWorld) {
    // A deliberate change of the built-in terrain changes this number.
    EXPECT_EQ(testing::DefaultTerrain::Checksum(*testing::BuiltInTerrain()), -1668523895);
}

TEST(DefaultTerrain, LandWhereTheTerrainTestLooksAndSeaElsewhere) {
    const auto t = testing::BuiltInTerrain();
    EXPECT_GT(t->Elevation(48.0, 11.0), 0.0);
    EXPECT_GT(t->Elevation(48.0, 105.0), 0.0);
    EXPECT_GT(t->Elevation(20.52, -100.0), 0.0);
    for (const auto& [lat, lon] : {std::pair{0.0, -150.0},
                                   {0.0, -30.0},
                                   {-30.0, 80.0},
                                   {-50.0, -120.0},
                                   {30.0, -40.0},
                                   {0.0, 180.0}}) {
        EXPECT_LE(t->Elevation(lat, lon), 0.0) << lat << " " << lon;
    }
}

TEST(DefaultTerrain, ReliefBoundsAndSlope) {
    const auto t = testing::BuiltInTerrain();
    double highest = -1e9;
    double lowest = 1e9;
    for (double lat = -90.0; lat <= 90.0; lat += 0.25) {
        for (double lon = -180.0; lon < 180.0; lon += 0.25) {
            const double e = t->Elevation(lat, lon);
            highest = std::max(highest, e);
            lowest = std::min(lowest, e);
            ASSERT_TRUE(std::isfinite(e));
        }
    }
    EXPECT_GT(highest - 0.0, 3000.0);
    EXPECT_LE(highest, t->MaxElevation());
    EXPECT_GE(lowest, t->MinElevation());
    // The slope bound holds on finite differences of 20 m around the Alps and Himalaya.
    for (const auto& [lat0, lon0] : {std::pair{46.5, 10.0}, {31.0, 86.0}, {-15.0, -70.0}}) {
        for (int i = 0; i < 400; ++i) {
            const double lat = lat0 + 0.01 * (i % 20);
            const double lon = lon0 + 0.01 * (i / 20);
            const double dx = 20.0 / MetresPerDegreeLongitude(lat);
            const double dy = 20.0 / MetresPerDegreeLatitude(lat);
            const double e = t->Elevation(lat, lon);
            const double sx = (t->Elevation(lat, lon + dx) - e) / 20.0;
            const double sy = (t->Elevation(lat + dy, lon) - e) / 20.0;
            EXPECT_LE(std::hypot(sx, sy), t->MaxSlope());
        }
    }
}

TEST(DefaultTerrain, NoSeamAtTheDateLineOrThePoles) {
    const auto t = testing::BuiltInTerrain();
    for (double lat = -89.0; lat <= 89.0; lat += 0.37) {
        EXPECT_EQ(t->Elevation(lat, 180.0), t->Elevation(lat, -180.0));
        EXPECT_NEAR(t->Elevation(lat, 179.99999), t->Elevation(lat, -179.99999), 0.05) << lat;
        EXPECT_EQ(t->Elevation(lat, 10.0), t->Elevation(lat, 370.0));
    }
    for (double lon = -180.0; lon < 180.0; lon += 13.0) {
        EXPECT_EQ(t->Elevation(90.0, lon), t->Elevation(90.0, 0.0));
        EXPECT_EQ(t->Elevation(-90.0, lon), t->Elevation(-90.0, 0.0));
        EXPECT_NEAR(t->Elevation(89.9999, lon), t->Elevation(90.0, 0.0), 0.5);
    }
    // Latitudes past the poles are clamped.
    EXPECT_EQ(t->Elevation(95.0, 3.0), t->Elevation(90.0, 3.0));
}

TEST(DefaultTerrain, HeightBoundsNearAPointHold) {
    const auto t = testing::BuiltInTerrain();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(-88.0, 88.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 300; ++i) {
        const double la = lat(random);
        const double lo = lon(random);
        const double radius = 2000.0 + 40000.0 * (i % 5);
        const double bound = t->MaxElevationNear(la, lo, radius);
        EXPECT_LE(bound, t->MaxElevation());
        for (int k = 0; k < 40; ++k) {
            // Points within the radius (a square inside the circle).
            const double dn = 0.7 * radius * unit(random);
            const double de = 0.7 * radius * unit(random);
            const double e = t->Elevation(la + dn / MetresPerDegreeLatitude(la),
                                          lo + de / MetresPerDegreeLongitude(la));
            ASSERT_LE(e, bound) << la << " " << lo << " " << radius;
        }
    }
    // Near a pole, and for a huge radius, the bound is the global one.
    EXPECT_EQ(t->MaxElevationNear(89.5, 0.0, 1000.0), t->MaxElevation());
    EXPECT_EQ(t->MaxElevationNear(0.0, 0.0, 5.0e6), t->MaxElevation());
}

TEST(TerrainSurface, SwitchAndExaggeration) {
    const auto t = testing::BuiltInTerrain();
    const double e = t->Elevation(48.0, 11.0);
    EXPECT_DOUBLE_EQ(TerrainSurface(t, true, 1.0).Height(48.0, 11.0), e);
    EXPECT_DOUBLE_EQ(TerrainSurface(t, true, 2.5).Height(48.0, 11.0), 2.5 * e);
    const TerrainSurface off(t, false, 2.5);
    EXPECT_EQ(off.Height(48.0, 11.0), 0.0);
    EXPECT_EQ(off.MaxHeight(), 0.0);
    EXPECT_EQ(off.MinHeight(), 0.0);
    EXPECT_EQ(off.MaxSlope(), 0.0);
    EXPECT_DOUBLE_EQ(TerrainSurface(t, true, 2.0).MaxHeight(), 2.0 * t->MaxElevation());
}

} // namespace
} // namespace scribeline::globe
