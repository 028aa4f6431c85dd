// The base Earth (ETOPO5 as the ferret-datasets package installs it), user DEMs layered in it,
// and the ray caster over every mix of sources checked against a brute-force march.
#include "hosts/globe/base_earth.hpp"
#include "hosts/globe/camera.hpp"
#include "hosts/globe/geodesy.hpp"
#include "hosts/globe/raster_dem.hpp"
#include "hosts/globe/terrain_stack.hpp"

#include "tests/hosts/globe/terrain_fixtures.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace scribeline::globe {
namespace {

namespace fs = std::filesystem;

bool OnCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("globe-earth-" + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// ---- the base Earth -----------------------------------------------------------------------

class BaseEarthTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kEtopo5Path) && !OnCi()) {
            GTEST_SKIP() << kEtopo5Path << " is not installed (package ferret-datasets)";
        }
    }
};

TEST_F(BaseEarthTest, ReadsNothingUntilAskedThenLeavesACacheTheNextReads) {
    TempFolder cache;
    const BaseEarth first(kEtopo5Path, cache.path());
    EXPECT_FALSE(first.Loaded());
    EXPECT_FALSE(fs::exists(first.CacheFile()));
    const double munich = first.Elevation(48.14, 11.58);
    EXPECT_TRUE(first.Loaded());
    ASSERT_TRUE(fs::exists(first.CacheFile()));
    EXPECT_EQ(fs::file_size(first.CacheFile()), 4320u * 2161u * 4u);

    const BaseEarth second(kEtopo5Path, cache.path());
    EXPECT_EQ(second.CacheFile(), first.CacheFile());
    EXPECT_DOUBLE_EQ(second.Elevation(48.14, 11.58), munich);
    EXPECT_DOUBLE_EQ(second.MaxElevation(), first.MaxElevation());
}

TEST_F(BaseEarthTest, KnownPlacesOfLandAndSeaFloor) {
    const auto earth = SharedBaseEarth();
    EXPECT_GT(earth->Elevation(27.99, 86.93), 5000.0);         // Everest, a 5' cell reads low
    EXPECT_NEAR(earth->Elevation(48.14, 11.58), 520.0, 150.0); // Munich
    EXPECT_LT(earth->Elevation(11.35, 142.2), -7000.0);        // Mariana Trench
    EXPECT_LT(earth->Elevation(30.0, -40.0), -2500.0);         // mid-Atlantic
    EXPECT_GT(earth->Elevation(-80.0, 30.0), 1500.0);          // Antarctic ice
    EXPECT_GT(earth->Elevation(9.0, -79.6), 0.0);              // Panama isthmus
    // The terrain test points of the terrain commands are land.
    for (const auto& [lat, lon] : {std::pair{48.0, 11.0}, {48.0, 105.0}, {20.52, -100.0}}) {
        EXPECT_GT(earth->Elevation(lat, lon), 0.0) << lat << " " << lon;
    }
    EXPECT_LT(earth->MinElevation(), -10000.0);
    EXPECT_GT(earth->MaxElevation(), 6000.0);
    EXPECT_EQ(earth->Description(), "base Earth (ETOPO5)");
}

TEST_F(BaseEarthTest, SeamlessAcrossZeroAndOneEightyAndOneValuedAtThePoles) {
    const auto earth = SharedBaseEarth();
    for (double lat : {-60.0, -12.3, 0.0, 51.48, 70.0}) {
        EXPECT_DOUBLE_EQ(earth->Elevation(lat, -10.0), earth->Elevation(lat, 350.0));
        EXPECT_NEAR(earth->Elevation(lat, -1e-9), earth->Elevation(lat, 0.0), 1e-3);
        EXPECT_NEAR(earth->Elevation(lat, 179.999999), earth->Elevation(lat, -180.0), 0.5);
        // Within a post: no step anywhere near the seams.
        EXPECT_NEAR(earth->Elevation(lat, 359.99), earth->Elevation(lat, 0.01),
                    0.02 * 12.0 * 4000.0);
    }
    for (double pole : {90.0, -90.0}) {
        const double h = earth->Elevation(pole, 0.0);
        for (double lon : {-170.0, -45.0, 90.0, 179.0}) {
            EXPECT_DOUBLE_EQ(earth->Elevation(pole, lon), h);
        }
        EXPECT_DOUBLE_EQ(earth->Elevation(pole + (pole > 0 ? 5.0 : -5.0), 0.0), h);
    }
}

TEST_F(BaseEarthTest, HeightAndSlopeBoundsNearAPointHold) {
    const auto earth = SharedBaseEarth();
    std::mt19937 random(11);
    std::uniform_real_distribution<double> lat(-85.0, 85.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 400; ++i) {
        const double la = lat(random);
        const double lo = lon(random);
        const double radius = 2000.0 + 20000.0 * (i % 5);
        const double roof = earth->MaxElevationNear(la, lo, radius);
        const double slope = earth->MaxSlopeNear(la, lo, radius);
        for (int k = 0; k < 20; ++k) {
            const double dn = 0.7 * radius * unit(random);
            const double de = 0.7 * radius * unit(random);
            const double pla = la + dn / MetresPerDegreeLatitude(la);
            const double plo = lo + de / MetresPerDegreeLongitude(la);
            ASSERT_LE(earth->Elevation(pla, plo), roof);
            // A short step east and north: the rise over it stays within the bound.
            const double step = 50.0;
            const double h = earth->Elevation(pla, plo);
            const double east = earth->Elevation(pla, plo + step / MetresPerDegreeLongitude(pla));
            const double north = earth->Elevation(pla + step / MetresPerDegreeLatitude(pla), plo);
            ASSERT_LE(std::abs(east - h) / step, slope * 1.001 + 1e-9);
            ASSERT_LE(std::abs(north - h) / step, slope * 1.001 + 1e-9);
        }
    }
}

TEST(BaseEarthFile, MissingOrForeignFilesAreNamedWithTheReason) {
    TempFolder folder;
    const BaseEarth missing(folder.path() / "etopo5.cdf", folder.path());
    try {
        missing.Check();
        ADD_FAILURE() << "a missing file passed the check";
    } catch (const BaseEarthError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("etopo5.cdf"), std::string::npos) << text;
        EXPECT_NE(text.find("ferret-datasets"), std::string::npos) << text;
    }
    EXPECT_THROW((void)missing.Elevation(0.0, 0.0), BaseEarthError);
    EXPECT_FALSE(missing.Loaded());

    const fs::path small =
        testing::WriteAsciiGrid(folder.path() / "small.asc", 0.0, 1.0, 0.5, 2, 2,
                                [](double, double) -> std::optional<double> { return 1.0; });
    const BaseEarth foreign(small, folder.path());
    try {
        (void)foreign.Elevation(0.0, 0.0);
        ADD_FAILURE() << "a 2 x 2 grid was taken for ETOPO5";
    } catch (const BaseEarthError& e) {
        EXPECT_NE(std::string(e.what()).find("is not ETOPO5"), std::string::npos) << e.what();
    }
}

// ---- DEMs in the base -----------------------------------------------------------------------

// A 60 x 60 DEM of 1e-4 degree posts (about 11 m) centred on the equator at 20 E.
constexpr double kWest = 19.997;
constexpr double kNorth = 0.003;
constexpr double kCell = 1e-4;
constexpr int kPosts = 60;

std::shared_ptr<const RasterDem> Dem(const fs::path& file,
                                     const std::function<std::optional<double>(double, double)>& v,
                                     double west = kWest, double north = kNorth,
                                     double cell = kCell, int posts = kPosts) {
    return RasterDem::Load(testing::WriteAsciiGrid(file, west, north, cell, posts, posts, v));
}

TEST(TerrainStackTest, FinestCoveringDemAnswersAndNoDataFallsThrough) {
    TempFolder folder;
    const auto base = std::make_shared<testing::WavyTerrain>(10.0, 0.0);
    // A coarse DEM at 300 m over the whole area, and a fine one at 700 m in its middle with
    // a hole.
    const auto coarse = Dem(
        folder.path() / "coarse.asc", [](double, double) -> std::optional<double> { return 300.0; },
        kWest - 0.003, kNorth + 0.003, 3 * kCell, 40);
    const auto fine = Dem(folder.path() / "fine.asc", [](double lon, double lat) {
        const bool hole = std::abs(lon - 20.0) < 8e-4 && std::abs(lat) < 8e-4;
        return hole ? std::nullopt : std::optional<double>(700.0);
    });
    // Given coarse first: the order of the flags does not matter, the finer one answers.
    const TerrainStack stack({coarse, fine}, base);
    EXPECT_EQ(stack.Sources(), (std::vector<std::string>{"fine.asc", "coarse.asc", "wavy ground"}));

    const TerrainAnswer inFine = stack.Answer(0.002, 19.999);
    EXPECT_DOUBLE_EQ(inFine.height, 700.0);
    EXPECT_EQ(inFine.source, 0);
    const TerrainAnswer inHole = stack.Answer(0.0, 20.0);
    EXPECT_DOUBLE_EQ(inHole.height, 300.0);
    EXPECT_EQ(inHole.source, 1);
    const TerrainAnswer onlyCoarse = stack.Answer(0.004, 19.9955);
    EXPECT_DOUBLE_EQ(onlyCoarse.height, 300.0);
    EXPECT_EQ(onlyCoarse.source, 1);
    const TerrainAnswer outside = stack.Answer(0.5, 21.0);
    EXPECT_DOUBLE_EQ(outside.height, 10.0);
    EXPECT_EQ(outside.source, 2);
    EXPECT_DOUBLE_EQ(stack.Elevation(0.0, 20.0), 300.0);

    const auto outlines = stack.Outlines();
    ASSERT_EQ(outlines.size(), 2u);
    EXPECT_EQ(outlines[0].name, "fine.asc");
    EXPECT_NEAR(outlines[0].west, kWest, 1e-9);
    EXPECT_NEAR(outlines[0].north, kNorth, 1e-9);
    EXPECT_NEAR(outlines[0].east, kWest + kPosts * kCell, 1e-9);
    EXPECT_DOUBLE_EQ(stack.MaxElevation(), 700.0);
    EXPECT_DOUBLE_EQ(stack.MinElevation(), 10.0);
}

TEST(TerrainStackTest, NoCliffAcrossTheEdgeOrRoundAHole) {
    TempFolder folder;
    const auto base = std::make_shared<testing::WavyTerrain>(0.0, 20.0);
    const auto dem = Dem(folder.path() / "high.asc", [](double lon, double lat) {
        const bool hole = std::abs(lon - 20.0) < 5e-4 && std::abs(lat) < 5e-4;
        return hole ? std::nullopt : std::optional<double>(1500.0);
    });
    const TerrainStack stack({dem}, base);
    const double slope = stack.MaxSlope();
    // Walk east along the equator across the west edge, the hole and the east edge in steps
    // of a metre: no step rises more than the slope bound allows.
    const double step = 1.0 / MetresPerDegreeLongitude(0.0);
    double previous = stack.Elevation(0.0, kWest - 0.001);
    double highest = previous;
    for (double lon = kWest - 0.001 + step; lon < kWest + kPosts * kCell + 0.001; lon += step) {
        const double h = stack.Elevation(0.0, lon);
        ASSERT_LE(std::abs(h - previous), slope * 1.0001) << "at " << lon;
        highest = std::max(highest, h);
        previous = h;
    }
    EXPECT_DOUBLE_EQ(highest, 1500.0); // the DEM itself answers inside its band
    // The one-look blend the stack uses agrees with the weight and the value asked apart.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> lat(-0.004, 0.004);
    std::uniform_real_distribution<double> lon(kWest - 0.001, kWest + kPosts * kCell + 0.001);
    for (int i = 0; i < 2000; ++i) {
        const double la = lat(random);
        const double lo = lon(random);
        double v = -1.0;
        const double w = dem->Blend(la, lo, v);
        ASSERT_NEAR(w, dem->BlendWeight(la, lo), 1e-12) << la << " " << lo;
        if (w > 0.0) {
            ASSERT_NEAR(v, *dem->Value(la, lo), 1e-9) << la << " " << lo;
        }
    }
    EXPECT_NEAR(stack.Elevation(0.0, 20.0), base->Elevation(0.0, 20.0), 1e-6); // the hole
    // The band is inside the DEM: its edge posts already give the ground below.
    EXPECT_NEAR(stack.Elevation(0.0, kWest + 0.5 * kCell),
                base->Elevation(0.0, kWest + 0.5 * kCell), 1e-6);
    EXPECT_DOUBLE_EQ(stack.Elevation(0.0, kWest + (dem->BlendBand() + 1.5) * kCell), 1500.0);
}

TEST(TerrainStackTest, UnusableDemsAreRefusedNamingTheFile) {
    TempFolder folder;
    const auto refused = [](const fs::path& file, const std::string& reason) {
        try {
            (void)RasterDem::Load(file);
            ADD_FAILURE() << "accepted " << file;
        } catch (const DemError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(file.string()), std::string::npos) << text;
            EXPECT_NE(text.find(reason), std::string::npos) << text;
        }
    };
    refused(testing::WriteAsciiGrid(folder.path() / "empty.asc", 20.0, 0.0, 1e-4, 3, 3,
                                    [](double, double) { return std::optional<double>(); }),
            "holds no data");
    std::ofstream(folder.path() / "garbage.tif") << "not a raster";
    refused(folder.path() / "garbage.tif", "cannot open");
    std::ofstream(folder.path() / "plain.xyz") << "";
    refused(folder.path() / "plain.xyz", "cannot open");
}

// ---- rays over every mix of sources ------------------------------------------------------

// The first crossing of the ray with the ground by fixed steps of `step` metres, refined by
// bisection; nothing within `limit` metres.
std::optional<double> BruteForce(const TerrainSurface& surface, Vec3 origin, Vec3 direction,
                                 double step, double limit) {
    const auto clearance = [&](double t) {
        const Geodetic g = ToGeodetic(origin + direction * t);
        return g.height - surface.Height(g.latitude, g.longitude);
    };
    const double top = surface.MaxHeight();
    double previous = 0.0;
    for (double t = step; t <= limit; t += step) {
        const Geodetic g = ToGeodetic(origin + direction * t);
        if (g.height > top + 1.0) {
            if (dot(direction, normalized(origin + direction * t)) > 0.0) {
                return std::nullopt; // climbing above the highest ground
            }
            previous = t;
            continue;
        }
        if (clearance(t) <= 0.0) {
            double lo = previous;
            double hi = t;
            for (int i = 0; i < 60 && hi - lo > 1e-6; ++i) {
                const double mid = 0.5 * (lo + hi);
                (clearance(mid) > 0.0 ? lo : hi) = mid;
            }
            return hi;
        }
        previous = t;
    }
    return std::nullopt;
}

struct RayScene {
    const char* name;
    double demHeight; // peak of the DEM's hill
    double baseHeight;
};

class RayProperty : public ::testing::TestWithParam<RayScene> {};

// Random cameras over a small DEM that stands far above or sinks far below its surroundings:
// every ray the caster answers meets the same ground as a march of half-metre steps.
TEST_P(RayProperty, CastRayMeetsTheGroundABruteForceMarchMeets) {
    const RayScene scene = GetParam();
    TempFolder folder;
    const auto base = std::make_shared<testing::WavyTerrain>(scene.baseHeight, 15.0);
    const auto dem = Dem(folder.path() / "dem.asc", [&](double lon, double lat) {
        const double x = (lon - 20.0) * MetresPerDegreeLongitude(0.0);
        const double y = lat * MetresPerDegreeLatitude(0.0);
        return std::optional<double>(scene.demHeight *
                                         std::exp(-(x * x + y * y) / (2 * 150.0 * 150.0)) +
                                     0.3 * scene.demHeight);
    });
    const auto stack =
        std::make_shared<TerrainStack>(std::vector<std::shared_ptr<const RasterDem>>{dem}, base);
    const TerrainSurface surface(stack, true, 1.0);

    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> offset(-0.004, 0.004);
    std::uniform_real_distribution<double> range(150.0, 1500.0);
    std::uniform_real_distribution<double> tilt(0.0, 80.0);
    std::uniform_real_distribution<double> azimuth(-180.0, 180.0);
    std::uniform_real_distribution<double> screen(-1.0, 1.0);
    int compared = 0;
    for (int i = 0; i < 1000; ++i) {
        CameraState camera{offset(random), 20.0 + offset(random), 0.0, 1, range(random),
                           tilt(random),   azimuth(random)};
        const CameraPose pose = PoseFor(camera, FocusHeight(camera, surface), surface, 800, 500);
        const Vec3 dir = RayDirection(pose, screen(random), screen(random));
        const double limit = 4000.0;
        const auto hit = CastRay(surface, pose.eye, dir);
        const auto truth = BruteForce(surface, pose.eye, dir, 0.5, limit);
        if (hit && hit->distance > limit) {
            continue; // beyond the march's reach: nothing to compare
        }
        ASSERT_EQ(hit.has_value(), truth.has_value()) << "ray " << i;
        if (!hit) {
            continue;
        }
        ++compared;
        const Geodetic g = ToGeodetic(pose.eye + dir * hit->distance);
        ASSERT_NEAR(g.height, surface.Height(g.latitude, g.longitude), 1e-3) << "ray " << i;
        // Where the ray grazes the ground a millimetre of height is a longer way along it:
        // the tolerance along the ray follows the rate at which its clearance changes.
        const auto clearance = [&](double t) {
            const Geodetic p = ToGeodetic(pose.eye + dir * t);
            return p.height - surface.Height(p.latitude, p.longitude);
        };
        const double rate =
            std::max(std::abs(clearance(*truth + 0.01) - clearance(*truth - 0.01)) / 0.02, 1e-3);
        const double tolerance = 1e-3 + 2e-3 / rate;
        ASSERT_LE(hit->distance, *truth + tolerance)
            << "ray " << i << " stepped over the ground the march met";
        // Earlier than the march: only ground the half-metre steps skipped, so within a step.
        ASSERT_GE(hit->distance, *truth - 0.5 - tolerance) << "ray " << i;
    }
    EXPECT_GT(compared, 600);
}

INSTANTIATE_TEST_SUITE_P(Scenes, RayProperty,
                         ::testing::Values(RayScene{"HighDemInLowGround", 800.0, 0.0},
                                           RayScene{"LowDemInHighGround", -600.0, 1500.0}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace scribeline::globe
