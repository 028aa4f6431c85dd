// Contours against an analytic truth: a Gaussian hill whose contour at level L is a circle of
// known radius, sampled by the contour command through the simulated globe at tilt 0 and 45.
// Every traced vertex must lie on its circle within the interpolation error of the sampled grid,
// and read back from the DEM at its own level.
#include "tests/hosts/globe/terrain_fixtures.hpp"
#include "tests/terrain/terrain_fixture.hpp"

#include "hosts/globe/raster_dem.hpp"
#include "hosts/globe/terrain_stack.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

namespace scribeline::testing {
namespace {

namespace fs = std::filesystem;

constexpr double kPeak = 100.0;     // metres above the flat ground
constexpr double kSigma = 150.0;    // metres
constexpr double kCentreLon = 20.0; // on the equator, where degrees are nearly square
constexpr double kCell = 2e-5;      // degrees, about 2.2 m
constexpr int kPosts = 450;         // about a kilometre square
const double kMetresEast = globe::MetresPerDegreeLongitude(0.0);
const double kMetresNorth = globe::MetresPerDegreeLatitude(0.0);

double HillHeight(double lon, double lat) {
    const double x = (lon - kCentreLon) * kMetresEast;
    const double y = lat * kMetresNorth;
    return kPeak * std::exp(-(x * x + y * y) / (2.0 * kSigma * kSigma));
}
// The radius of the level-L contour of the hill.
double LevelRadius(double level) {
    return kSigma * std::sqrt(2.0 * std::log(kPeak / level));
}

struct Figures {
    double worstRadial = 0.0; // metres off the true circle
    double p95Radial = 0.0;
    double worstHeight = 0.0; // metres off the level, read from the DEM
    double p95Height = 0.0;
    std::size_t vertices = 0;
};

double Percentile95(std::vector<double> v) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(0.95 * static_cast<double>(v.size() - 1))];
}

class ContourAccuracy : public TerrainTest {
protected:
    void SetUp() override {
        TerrainTest::SetUp();
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("contour-accuracy-" + std::to_string(rd()));
        fs::create_directories(dir_);
        const fs::path file = globe::testing::WriteAsciiGrid(
            dir_ / "hill.asc", kCentreLon - 0.5 * kPosts * kCell, 0.5 * kPosts * kCell, kCell,
            kPosts, kPosts,
            [](double lon, double lat) { return std::optional<double>(HillHeight(lon, lat)); });
        dem_ = globe::RasterDem::Load(file);
        earth->SetTerrain(std::make_shared<globe::TerrainStack>(
            std::vector<std::shared_ptr<const globe::RasterDem>>{dem_},
            std::make_shared<globe::testing::WavyTerrain>(0.0, 0.0)));
    }
    void TearDown() override {
        TerrainTest::TearDown();
        fs::remove_all(dir_);
    }

    // Samples a 30 x 30 grid looking at the hill's top from 700 m with a tilt, and traces the
    // four levels.
    void Trace(double tilt) {
        auto ge = earth->CreateApplication();
        ge->SetCamera(ICameraInfoGE{0.0, kCentreLon, 0.0, 1, 700.0, tilt, 30.0}, 5.0);
        terrain::ContourSettings settings;
        settings.gridSize = 30;
        settings.levelMode = 2;
        settings.customList = "20,40,60,80";
        ASSERT_TRUE(terrain().RunContouring(settings).has_value());
        ASSERT_GT(terrain().Trace().segments.size(), 100u);
    }

    Figures Measure(const std::vector<terrain::ContourSegment>& segments) const {
        std::vector<double> radial;
        std::vector<double> height;
        for (const auto& s : segments) {
            for (const auto& [lon, lat] : {std::pair{s.x1, s.y1}, {s.x2, s.y2}}) {
                const double x = (lon - kCentreLon) * kMetresEast;
                const double y = lat * kMetresNorth;
                radial.push_back(std::abs(std::hypot(x, y) - LevelRadius(s.level)));
                height.push_back(std::abs(dem_->Elevation(lat, lon) - s.level));
            }
        }
        Figures f;
        f.vertices = radial.size();
        for (std::size_t i = 0; i < radial.size(); ++i) {
            f.worstRadial = std::max(f.worstRadial, radial[i]);
            f.worstHeight = std::max(f.worstHeight, height[i]);
        }
        f.p95Radial = Percentile95(radial);
        f.p95Height = Percentile95(height);
        return f;
    }

    // Linear interpolation along a sample edge of ground length d misplaces a level by at
    // most d^2/8 |h''| / |h'|; the longest edge (a cell's diagonal, through its centre) and
    // the hill's curvature over the traced levels give the bound.
    double InterpolationBound() {
        const terrain::ContourGrid& g = terrain().ContourSamples();
        double longest = 0.0;
        for (int i = 0; i < g.LastColumn(); ++i) {
            for (int j = 0; j < g.LastRow(); ++j) {
                const double dx = (g.Longitude(i + 1, j + 1) - g.Longitude(i, j)) * kMetresEast;
                const double dy = (g.Latitude(i + 1, j + 1) - g.Latitude(i, j)) * kMetresNorth;
                const double ex = (g.Longitude(i, j + 1) - g.Longitude(i + 1, j)) * kMetresEast;
                const double ey = (g.Latitude(i, j + 1) - g.Latitude(i + 1, j)) * kMetresNorth;
                // Only cells the hill's traced levels can reach count.
                const double r = std::hypot((g.Longitude(i, j) - kCentreLon) * kMetresEast,
                                            g.Latitude(i, j) * kMetresNorth);
                if (r < LevelRadius(20.0) + 100.0) {
                    longest = std::max({longest, std::hypot(dx, dy), std::hypot(ex, ey)});
                }
            }
        }
        double ratio = 0.0;
        for (double level : {20.0, 40.0, 60.0, 80.0}) {
            const double r = LevelRadius(level);
            // Along the radius: h' = -h r / s^2, h'' = h (r^2 / s^2 - 1) / s^2.
            const double slope = level * r / (kSigma * kSigma);
            for (double rr : {r - 30.0, r, r + 30.0}) {
                const double h = kPeak * std::exp(-rr * rr / (2 * kSigma * kSigma));
                const double curvature =
                    std::abs(h * (rr * rr / (kSigma * kSigma) - 1.0) / (kSigma * kSigma));
                ratio = std::max(ratio, curvature / (0.5 * slope));
            }
        }
        // The DEM's own posts (2.2 m) add their bilinear error on top: a few centimetres.
        return longest * longest / 8.0 * ratio + 0.1;
    }

    // The same samples traced through the row-0 and column-0 axes only.
    std::vector<terrain::ContourSegment> TraceOnAxes() {
        const terrain::ContourGrid& g = terrain().ContourSamples();
        terrain::ContourGrid axes(g.LastColumn(), g.LastRow());
        for (int i = 0; i <= g.LastColumn(); ++i) {
            axes.X(i) = g.X(i);
            for (int j = 0; j <= g.LastRow(); ++j) {
                axes.Y(j) = g.Y(j);
                axes.D(i, j) = g.D(i, j);
            }
        }
        return terrain::TraceContours(axes, terrain().Levels(), 0, g.LastColumn(), 0, g.LastRow())
            .segments;
    }

    fs::path dir_;
    std::shared_ptr<const globe::RasterDem> dem_;
};

TEST_F(ContourAccuracy, StraightDownEveryVertexLiesOnItsCircleAndReadsItsLevel) {
    Trace(0.0);
    const terrain::ContourGrid& g = terrain().ContourSamples();
    ASSERT_TRUE(g.HasPositions());
    const Figures f = Measure(terrain().Trace().segments);
    RecordProperty("tilt0_worst_radial_m", std::to_string(f.worstRadial));
    RecordProperty("tilt0_p95_radial_m", std::to_string(f.p95Radial));
    RecordProperty("tilt0_worst_height_m", std::to_string(f.worstHeight));
    RecordProperty("tilt0_p95_height_m", std::to_string(f.p95Height));
    EXPECT_LE(f.worstRadial, InterpolationBound());
    EXPECT_LE(f.worstHeight, 1.5);
}

TEST_F(ContourAccuracy, TiltedTheSamplePositionsPlaceTheVerticesWhereTheAxesCannot) {
    Trace(45.0);
    const Figures f = Measure(terrain().Trace().segments);
    RecordProperty("tilt45_worst_radial_m", std::to_string(f.worstRadial));
    RecordProperty("tilt45_p95_radial_m", std::to_string(f.p95Radial));
    RecordProperty("tilt45_worst_height_m", std::to_string(f.worstHeight));
    RecordProperty("tilt45_p95_height_m", std::to_string(f.p95Height));
    EXPECT_LE(f.worstRadial, InterpolationBound());
    // The axes of row 0 and column 0 put a tilted view's vertices far off their level.
    const Figures axes = Measure(TraceOnAxes());
    EXPECT_GT(axes.worstHeight, 5.0 * f.worstHeight);
    EXPECT_GT(axes.worstRadial, 20.0);
}

TEST_F(ContourAccuracy, AGridWithoutPositionsTracesOnItsAxesAsBefore) {
    // A grid whose samples have no positions of their own (made by hand, say) is traced on
    // its axes; one with positions on the same axes gives the same segments.
    terrain::ContourGrid plain(2, 2);
    terrain::ContourGrid placed(2, 2);
    for (int i = 0; i <= 2; ++i) {
        plain.X(i) = placed.X(i) = 10.0 + 0.1 * i;
        plain.Y(i) = placed.Y(i) = 46.0 + 0.1 * i;
    }
    for (int i = 0; i <= 2; ++i) {
        for (int j = 0; j <= 2; ++j) {
            plain.D(i, j) = placed.D(i, j) = 100.0 * i + 37.0 * j;
            placed.SetPosition(i, j, placed.X(i), placed.Y(j));
        }
    }
    EXPECT_FALSE(plain.HasPositions());
    EXPECT_TRUE(placed.HasPositions());
    const auto a = terrain::TraceContours(plain, {150.0, 201.0}, 0, 2, 0, 2).segments;
    const auto b = terrain::TraceContours(placed, {150.0, 201.0}, 0, 2, 0, 2).segments;
    ASSERT_EQ(a.size(), b.size());
    ASSERT_FALSE(a.empty());
    for (std::size_t k = 0; k < a.size(); ++k) {
        EXPECT_NEAR(a[k].x1, b[k].x1, 1e-12);
        EXPECT_NEAR(a[k].y1, b[k].y1, 1e-12);
        EXPECT_NEAR(a[k].x2, b[k].x2, 1e-12);
        EXPECT_NEAR(a[k].y2, b[k].y2, 1e-12);
    }
    // Positions across the antimeridian stay on one side of it inside a cell.
    terrain::ContourGrid seam(1, 1);
    seam.SetPosition(0, 0, 179.9, 0.0);
    seam.SetPosition(1, 0, -179.9, 0.0);
    seam.SetPosition(0, 1, 179.9, 0.1);
    seam.SetPosition(1, 1, -179.9, 0.1);
    seam.D(0, 0) = seam.D(0, 1) = 0.0;
    seam.D(1, 0) = seam.D(1, 1) = 100.0;
    const auto across = terrain::TraceContours(seam, {50.0}, 0, 1, 0, 1).segments;
    ASSERT_FALSE(across.empty());
    for (const auto& s : across) {
        EXPECT_NEAR(std::abs(s.x1), 180.0, 1e-9);
        EXPECT_NEAR(std::abs(s.x2), 180.0, 1e-9);
    }
}

} // namespace
} // namespace scribeline::testing
