// Speed of the simulated globe's terrain queries and rendering on the built-in terrain.
#include "hosts/globe/camera.hpp"
#include "hosts/globe/terrain.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace scribeline;
using namespace scribeline::globe;

CameraState Camera(double range, double tilt) {
    CameraState c;
    c.FocusPointLatitude = 47.3;
    c.FocusPointLongitude = 10.9;
    c.Range = range;
    c.Tilt = tilt;
    c.Azimuth = 20.0;
    return c;
}

void BM_CastRay36x36(benchmark::State& state) {
    const TerrainSurface surface(BuiltInTerrain(), true, 1.0);
    const CameraState camera =
        Camera(static_cast<double>(state.range(0)), static_cast<double>(state.range(1)));
    const CameraPose pose = PoseFor(camera, FocusHeight(camera, surface), surface, 800, 500);
    for (auto _ : state) {
        for (int i = 0; i <= 35; ++i) {
            for (int j = 0; j <= 35; ++j) {
                auto hit = CastRay(surface, pose.eye,
                                   RayDirection(pose, 2.0 * j / 35 - 1, 2.0 * i / 35 - 1));
                benchmark::DoNotOptimize(hit);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 36 * 36);
}
BENCHMARK(BM_CastRay36x36)
    ->Args({10000, 0})
    ->Args({50000, 0})
    ->Args({50000, 60})
    ->Args({2000000, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
