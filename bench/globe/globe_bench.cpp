// Speed of the simulated globe on the built-in terrain: terrain queries through the port
// (a 36 x 36 sample grid, as the DEM sampler takes it), view extents, and rendering.
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/camera.hpp"
#include "hosts/globe/simulated_globe.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace scribeline;
using namespace scribeline::globe;

ICameraInfoGE Camera(double range, double tilt) {
    ICameraInfoGE c;
    c.FocusPointLatitude = 47.3;
    c.FocusPointLongitude = 10.9;
    c.FocusPointAltitudeMode = 1;
    c.Range = range;
    c.Tilt = tilt;
    c.Azimuth = 20.0;
    return c;
}

// Args: range (m), tilt (degrees). Items: queries.
void BM_TerrainQueryGrid36x36(benchmark::State& state) {
    desktop::HeadlessDesktop desktop;
    SimulatedGlobe globe(desktop);
    auto app = globe.CreateApplication();
    app->SetCamera(Camera(static_cast<double>(state.range(0)), static_cast<double>(state.range(1))),
                   5.0);
    for (auto _ : state) {
        for (int i = 0; i <= 35; ++i) {
            for (int j = 0; j <= 35; ++j) {
                auto p = app->GetPointOnTerrainFromScreenCoords(2.0 * j / 35 - 1, 2.0 * i / 35 - 1);
                benchmark::DoNotOptimize(p);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 36 * 36);
}
BENCHMARK(BM_TerrainQueryGrid36x36)
    ->Args({10000, 0})
    ->Args({50000, 0})
    ->Args({50000, 60})
    ->Args({1500000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_ViewExtents(benchmark::State& state) {
    desktop::HeadlessDesktop desktop;
    SimulatedGlobe globe(desktop);
    auto app = globe.CreateApplication();
    app->SetCamera(Camera(static_cast<double>(state.range(0)), static_cast<double>(state.range(1))),
                   5.0);
    for (auto _ : state) {
        auto e = app->ViewExtents();
        benchmark::DoNotOptimize(e);
    }
}
BENCHMARK(BM_ViewExtents)
    ->Args({400000, 0})
    ->Args({50000, 80})
    ->Args({20000000, 0})
    ->Unit(benchmark::kMillisecond);

// An 800 x 500 view (the default render window). Args: range (m), tilt (degrees).
void BM_Render800x500(benchmark::State& state) {
    desktop::HeadlessDesktop desktop;
    SimulatedGlobe globe(desktop);
    auto app = globe.CreateApplication();
    app->SetCamera(Camera(static_cast<double>(state.range(0)), static_cast<double>(state.range(1))),
                   5.0);
    for (auto _ : state) {
        auto image = globe.Render(Size{800, 500});
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_Render800x500)
    ->Args({1500000, 0})
    ->Args({60000, 65})
    ->Args({20000000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace

BENCHMARK_MAIN();
