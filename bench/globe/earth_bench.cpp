// The globe over the real Earth: terrain queries with the base Earth and one user DEM, the
// start-up of a globe (nothing may be read before the first answer), the base Earth's memory,
// and how close traced contours come to an analytic hill's circles.
//
//   build/release/bench/globe/earth_bench --benchmark_counters_tabular=true
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/base_earth.hpp"
#include "hosts/globe/raster_dem.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "hosts/globe/terrain_stack.hpp"
#include "terrain/Contour.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace scribeline;
using namespace scribeline::globe;
namespace fs = std::filesystem;

std::string Number(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A Gaussian hill of `peak` metres and `sigma` metres on the equator at 20 E, in a DEM of
// posts x posts cells of `cell` degrees; written once per process.
fs::path HillDem(double peak, double sigma, double cell, int posts) {
    const fs::path path =
        fs::temp_directory_path() /
        ("earth-bench-hill-" + std::to_string(::getpid()) + "-" + std::to_string(posts) + ".asc");
    if (fs::exists(path)) {
        return path;
    }
    // Gone when the program ends.
    static struct Cleanup {
        std::vector<fs::path> files;
        ~Cleanup() {
            for (const auto& f : files) {
                std::error_code ec;
                fs::remove(f, ec);
            }
        }
    } cleanup;
    cleanup.files.push_back(path);
    std::ofstream out(path);
    const double west = 20.0 - 0.5 * posts * cell;
    const double north = 0.5 * posts * cell;
    out << "ncols " << posts << "\nnrows " << posts << "\nxllcorner " << Number(west)
        << "\nyllcorner " << Number(north - posts * cell) << "\ncellsize " << Number(cell) << "\n";
    const double mx = MetresPerDegreeLongitude(0.0);
    const double my = MetresPerDegreeLatitude(0.0);
    for (int r = 0; r < posts; ++r) {
        for (int c = 0; c < posts; ++c) {
            const double x = (west + (c + 0.5) * cell - 20.0) * mx;
            const double y = (north - (r + 0.5) * cell) * my;
            out << (c ? " " : "")
                << Number(peak * std::exp(-(x * x + y * y) / (2 * sigma * sigma)));
        }
        out << '\n';
    }
    return path;
}

// Flat ground at sea level: the surroundings of the analytic hill.
class Flat final : public ElevationModel {
public:
    [[nodiscard]] double Elevation(double, double) const override { return 0.0; }
    [[nodiscard]] double MinElevation() const override { return 0.0; }
    [[nodiscard]] double MaxElevation() const override { return 0.0; }
    [[nodiscard]] double MaxSlope() const override { return 0.0; }
    [[nodiscard]] std::string Description() const override { return "flat"; }
};

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6;
}

// Args: tilt (degrees). One terrain query through the port per item, the camera 2 km from a
// point of a small DEM (a 1 km hill in the Congo basin) that the base Earth surrounds.
void BM_TerrainQueryBaseEarthAndOneDem(benchmark::State& state) {
    const auto dem = RasterDem::Load(HillDem(300.0, 300.0, 5e-5, 400));
    const auto stack = std::make_shared<TerrainStack>(
        std::vector<std::shared_ptr<const RasterDem>>{dem}, SharedBaseEarth());
    desktop::HeadlessDesktop desktop;
    GlobeOptions options;
    options.terrain = stack;
    SimulatedGlobe globe(desktop, options);
    auto app = globe.CreateApplication();
    app->SetCamera(
        ICameraInfoGE{0.001, 20.001, 0.0, 1, 2000.0, static_cast<double>(state.range(0)), 30.0},
        5.0);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> screen(-1.0, 1.0);
    std::vector<std::pair<double, double>> points(1024);
    for (auto& p : points) {
        p = {screen(random), screen(random)};
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& p = points[i++ & 1023];
        auto hit = app->GetPointOnTerrainFromScreenCoords(p.first, p.second);
        benchmark::DoNotOptimize(hit);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TerrainQueryBaseEarthAndOneDem)->Arg(0)->Arg(60)->Unit(benchmark::kMicrosecond);

// A globe starting with the base Earth: its windows and state, no terrain read.
void BM_GlobeStartUp(benchmark::State& state) {
    for (auto _ : state) {
        desktop::HeadlessDesktop desktop;
        GlobeOptions options;
        options.terrain = std::make_shared<BaseEarth>(); // a fresh one: nothing read yet
        SimulatedGlobe globe(desktop, options);
        benchmark::DoNotOptimize(globe.RenderSize());
    }
}
BENCHMARK(BM_GlobeStartUp)->Unit(benchmark::kMillisecond);

// The first terrain answer of a fresh base Earth, from the cache copy a first run left.
void BM_BaseEarthFirstAnswer(benchmark::State& state) {
    SharedBaseEarth()->Load(); // makes sure the cache copy exists
    for (auto _ : state) {
        const BaseEarth earth;
        benchmark::DoNotOptimize(earth.Elevation(46.5, 10.5));
    }
}
BENCHMARK(BM_BaseEarthFirstAnswer)->Unit(benchmark::kMillisecond)->Iterations(5);

// Resident memory the base Earth adds once read (counter rss_MB).
void BM_BaseEarthMemory(benchmark::State& state) {
    double added = 0.0;
    for (auto _ : state) {
        const double before = ResidentMegabytes();
        auto earth = std::make_unique<BaseEarth>();
        earth->Load();
        added = ResidentMegabytes() - before;
        benchmark::DoNotOptimize(earth->MaxElevation());
    }
    state.counters["rss_MB"] = added;
}
BENCHMARK(BM_BaseEarthMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// Args: tilt. The contour sampler's 31 x 31 grid over a Gaussian hill (100 m high, sigma
// 150 m) from 700 m, traced at 20, 40, 60 and 80 m; counters: the worst and 95th-percentile
// distance of a vertex from its true circle, and of its DEM height from its level (metres).
void BM_ContourAccuracy(benchmark::State& state) {
    const double peak = 100.0;
    const double sigma = 150.0;
    const auto dem = RasterDem::Load(HillDem(peak, sigma, 2e-5, 450));
    desktop::HeadlessDesktop desktop;
    GlobeOptions options;
    options.terrain = std::make_shared<TerrainStack>(
        std::vector<std::shared_ptr<const RasterDem>>{dem}, std::make_shared<Flat>());
    SimulatedGlobe globe(desktop, options);
    auto app = globe.CreateApplication();
    app->SetCamera(
        ICameraInfoGE{0.0, 20.0, 0.0, 1, 700.0, static_cast<double>(state.range(0)), 30.0}, 5.0);
    std::vector<double> radial;
    std::vector<double> height;
    for (auto _ : state) {
        constexpr int m = 30;
        terrain::ContourGrid grid(m, m);
        for (int i = 0; i <= m; ++i) {
            for (int j = 0; j <= m; ++j) {
                const auto p =
                    app->GetPointOnTerrainFromScreenCoords(2.0 * j / m - 1.0, 2.0 * i / m - 1.0);
                grid.D(j, i) = p.Altitude;
                grid.SetPosition(j, i, p.Longitude, p.Latitude);
                if (i == 0) {
                    grid.X(j) = p.Longitude;
                }
                if (j == 0) {
                    grid.Y(i) = p.Latitude;
                }
            }
        }
        const auto trace = terrain::TraceContours(grid, {20.0, 40.0, 60.0, 80.0}, 0, m, 0, m);
        radial.clear();
        height.clear();
        for (const auto& s : trace.segments) {
            for (const auto& [lon, lat] : {std::pair{s.x1, s.y1}, {s.x2, s.y2}}) {
                const double x = (lon - 20.0) * MetresPerDegreeLongitude(0.0);
                const double y = lat * MetresPerDegreeLatitude(0.0);
                const double r = sigma * std::sqrt(2.0 * std::log(peak / s.level));
                radial.push_back(std::abs(std::hypot(x, y) - r));
                height.push_back(std::abs(dem->Elevation(lat, lon) - s.level));
            }
        }
    }
    const auto worstAnd95 = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty()
                   ? std::pair{0.0, 0.0}
                   : std::pair{
                         v.back(),
                         v[static_cast<std::size_t>(0.95 * static_cast<double>(v.size() - 1))]};
    };
    const auto [rw, r95] = worstAnd95(radial);
    const auto [hw, h95] = worstAnd95(height);
    state.counters["radial_worst_m"] = rw;
    state.counters["radial_p95_m"] = r95;
    state.counters["height_worst_m"] = hw;
    state.counters["height_p95_m"] = h95;
}
BENCHMARK(BM_ContourAccuracy)->Arg(0)->Arg(45)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
