#include "hosts/globe/camera.hpp"

#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace scribeline::globe {
namespace {

CameraState Cam(double lat, double lon, double range, double tilt = 0.0, double azimuth = 0.0) {
    CameraState c;
    c.FocusPointLatitude = lat;
    c.FocusPointLongitude = lon;
    c.FocusPointAltitudeMode = 1;
    c.Range = range;
    c.Tilt = tilt;
    c.Azimuth = azimuth;
    return c;
}

struct View {
    TerrainSurface surface{testing::BuiltInTerrain(), true, 1.0};
    CameraState camera;
    CameraPose pose;
    View(const CameraState& c, int w = 800, int h = 500) : camera(c) {
        pose = PoseFor(camera, FocusHeight(camera, surface), surface, w, h);
    }
    [[nodiscard]] std::optional<RayHit> At(double x, double y) const {
        return CastRay(surface, pose.eye, RayDirection(pose, x, y));
    }
};

// Distance along the ground, metres, between two hits (short distances).
double Metres(const Geodetic& a, const Geodetic& b) {
    const double n = (b.latitude - a.latitude) * MetresPerDegreeLatitude(a.latitude);
    const double e = WrapDegrees(b.longitude - a.longitude) * MetresPerDegreeLongitude(a.latitude);
    return std::hypot(n, e);
}

TEST(CameraModel, RefusesWhatNoCameraCanBe) {
    CameraState good = Cam(47, 11, 1000);
    EXPECT_NO_THROW(NormaliseCamera(good, "SetCamera"));
    for (auto bad : {&CameraState::Range, &CameraState::Tilt, &CameraState::FocusPointLatitude}) {
        CameraState c = good;
        c.*bad = std::nan("");
        EXPECT_THROW(NormaliseCamera(c, "SetCamera"), PortError);
    }
    CameraState c = good;
    c.Range = 0.0;
    EXPECT_THROW(NormaliseCamera(c, "SetCamera"), PortError);
    c = good;
    c.Tilt = 90.5;
    EXPECT_THROW(NormaliseCamera(c, "SetCamera"), PortError);
    c = good;
    c.FocusPointLatitude = -91.0;
    EXPECT_THROW(NormaliseCamera(c, "SetCamera"), PortError);
    c = good;
    c.FocusPointAltitudeMode = 6;
    try {
        NormaliseCamera(c, "SetCamera");
        FAIL();
    } catch (const PortError& e) {
        EXPECT_EQ(e.operation(), "SetCamera");
    }
    c = good;
    c.FocusPointLongitude = 190.0;
    c.Azimuth = 370.0;
    const CameraState n = NormaliseCamera(c, "SetCamera");
    EXPECT_DOUBLE_EQ(n.FocusPointLongitude, -170.0);
    EXPECT_DOUBLE_EQ(n.Azimuth, 10.0);
}

TEST(CameraModel, FocusHeightByAltitudeMode) {
    const TerrainSurface s(testing::BuiltInTerrain(), true, 1.0);
    const double ground = s.Height(47.0, 11.0);
    CameraState c = Cam(47, 11, 1000);
    c.FocusPointAltitude = 100.0;
    c.FocusPointAltitudeMode = 0;
    EXPECT_DOUBLE_EQ(FocusHeight(c, s), ground);
    c.FocusPointAltitudeMode = 1;
    EXPECT_DOUBLE_EQ(FocusHeight(c, s), ground + 100.0);
    c.FocusPointAltitudeMode = 4; // client-specific modes read as relative
    EXPECT_DOUBLE_EQ(FocusHeight(c, s), ground + 100.0);
    c.FocusPointAltitudeMode = 2;
    EXPECT_DOUBLE_EQ(FocusHeight(c, s), 100.0);
}

TEST(CameraModel, CentreRayMeetsTheFocusPoint) {
    for (double tilt : {0.0, 30.0, 60.0}) {
        for (double range : {500.0, 10000.0, 50000.0, 3.0e6}) {
            const View v(Cam(46.6, 10.2, range, tilt, 35.0));
            const auto hit = v.At(0.0, 0.0);
            ASSERT_TRUE(hit) << tilt << " " << range;
            EXPECT_NEAR(hit->distance, range, 0.01) << tilt << " " << range;
            EXPECT_NEAR(hit->ground.latitude, 46.6, 1e-7);
            EXPECT_NEAR(hit->ground.longitude, 10.2, 1e-7);
        }
    }
}

TEST(CameraModel, GroundToScreenAndBack) {
    // Tolerance 1 cm on the ground, 1e-6 of the screen.
    const View v(Cam(46.6, 10.2, 20000.0, 40.0, -60.0));
    for (double x = -1.0; x <= 1.0; x += 0.25) {
        for (double y = -1.0; y <= 1.0; y += 0.25) {
            const auto hit = v.At(x, y);
            ASSERT_TRUE(hit);
            const auto s = Project(v.pose, hit->ecef);
            ASSERT_TRUE(s);
            EXPECT_NEAR(s->x, x, 1e-6);
            EXPECT_NEAR(s->y, y, 1e-6);
            const Vec3 ground = ToEcef(hit->ground);
            const auto back = CastRay(v.surface, v.pose.eye, normalized(ground - v.pose.eye));
            ASSERT_TRUE(back);
            EXPECT_LT(Metres(back->ground, hit->ground), 0.01);
        }
    }
}

TEST(CameraModel, HitsLieOnTheTerrainWithinAMetre) {
    // The returned height is the model's; the ray point itself is within 1 cm of it (1 m is
    // what callers need).
    for (double range : {1000.0, 5000.0, 20000.0, 50000.0}) {
        for (double tilt : {0.0, 45.0, 75.0}) {
            const View v(Cam(46.4, 9.8, range, tilt, 123.0));
            for (int i = 0; i < 49; ++i) {
                const auto hit = v.At(-1.0 + (i % 7) / 3.0, -1.0 + (i / 7) / 3.0);
                if (!hit) {
                    continue;
                }
                const Geodetic onRay = ToGeodetic(hit->ecef);
                EXPECT_NEAR(hit->ground.height,
                            testing::BuiltInTerrain()->Elevation(hit->ground.latitude,
                                                                 hit->ground.longitude),
                            1e-9);
                EXPECT_NEAR(onRay.height, hit->ground.height, 0.01) << range << " " << tilt;
            }
        }
    }
}

TEST(CameraModel, NorthUpMeansUpIsNorthAndRightIsEast) {
    const View v(Cam(10.0, 20.0, 10000.0));
    const auto centre = v.At(0, 0);
    const auto up = v.At(0, 0.5);
    const auto right = v.At(0.5, 0);
    ASSERT_TRUE(centre && up && right);
    EXPECT_GT(up->ground.latitude, centre->ground.latitude);
    EXPECT_NEAR(up->ground.longitude, centre->ground.longitude, 1e-3);
    EXPECT_GT(right->ground.longitude, centre->ground.longitude);
    EXPECT_NEAR(right->ground.latitude, centre->ground.latitude, 1e-3);
    // Half the 60 degree field of view: tan(30) * range to the right edge.
    const auto edge = v.At(1.0, 0.0);
    ASSERT_TRUE(edge);
    EXPECT_NEAR(Metres(centre->ground, edge->ground), std::tan(30.0 * kDegToRad) * 10000.0, 60.0);
}

TEST(CameraModel, AzimuthAndTiltTurnTheView) {
    const View east(Cam(10.0, 20.0, 10000.0, 0.0, 90.0));
    const auto c = east.At(0, 0);
    const auto up = east.At(0, 0.5);
    ASSERT_TRUE(c && up);
    EXPECT_GT(up->ground.longitude, c->ground.longitude); // heading east: up is east
    EXPECT_NEAR(up->ground.latitude, c->ground.latitude, 1e-3);

    const View flat(Cam(10.0, 20.0, 10000.0, 0.0, 0.0));
    const View tilted(Cam(10.0, 20.0, 10000.0, 60.0, 0.0));
    const auto fu = flat.At(0, 0.5);
    const auto tu = tilted.At(0, 0.5);
    const auto td = tilted.At(0, -0.5);
    ASSERT_TRUE(fu && tu && td);
    // Tilting towards the horizon stretches the upper half of the view far to the north.
    EXPECT_GT(tu->ground.latitude - 10.0, 3.0 * (fu->ground.latitude - 10.0));
    EXPECT_LT(td->ground.latitude, 10.0);
    EXPECT_GT(tu->distance, td->distance);
}

TEST(CameraModel, RaysIntoTheSkyMiss) {
    const View horizon(Cam(10.0, -150.0, 10000.0, 90.0, 0.0));
    EXPECT_FALSE(horizon.At(0.0, 1.0));
    EXPECT_TRUE(horizon.At(0.0, -1.0));
    const View far(Cam(0.0, 0.0, 3.0e7)); // the whole globe fits: the corners see space
    EXPECT_FALSE(far.At(1.0, 1.0));
    EXPECT_TRUE(far.At(0.0, 0.0));
}

TEST(CameraModel, TheEyeNeverGoesUnderground) {
    const TerrainSurface s(testing::BuiltInTerrain(), true, 1.0);
    // Looking at the Himalaya flat from 200 m: the eye would sit inside the mountain.
    CameraState c = Cam(31.0, 86.0, 20000.0, 90.0, 0.0);
    const CameraPose p = PoseFor(c, FocusHeight(c, s), s, 800, 500);
    const Geodetic eye = ToGeodetic(p.eye);
    EXPECT_GE(eye.height, s.Height(eye.latitude, eye.longitude) + 0.999);
}

TEST(CameraModel, AnglesReadBackFromThePose) {
    const TerrainSurface s(testing::BuiltInTerrain(), true, 1.0);
    for (double tilt : {0.0, 20.0, 70.0}) {
        for (double az : {-170.0, -45.0, 0.0, 100.0}) {
            CameraState c = Cam(-33.0, 151.0, 5000.0, tilt, az);
            const CameraPose p = PoseFor(c, FocusHeight(c, s), s, 800, 500);
            const ViewAngles a = AnglesAt({-33.0, 151.0, 0.0}, p.forward, p.up);
            EXPECT_NEAR(a.tilt, tilt, 1e-9);
            EXPECT_NEAR(WrapDegrees(a.azimuth - az), 0.0, 1e-9);
        }
    }
}

} // namespace
} // namespace scribeline::globe
