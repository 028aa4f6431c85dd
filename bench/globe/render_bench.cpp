// Speed of the interactive globe's pictures at 800 x 500 on the built-in terrain, for the two
// reference cameras (1500 km straight down; 60 km at tilt 65 over mountains):
//   - a scripted drag of 60 frames (the view pans 10 pixels a frame): 95th-percentile frame
//     time of the mesh renderer, and its ratio to one ray-cast frame of the same camera
//     timed in the same run (counters p95_ms, raycast_ms, ratio = raycast / p95; the same
//     in process CPU time, both render threads counted: cpu_p95_ms, raycast_cpu_ms,
//     cpu_ratio);
//   - the full-quality frame once the drag stops (full_after_drag_ms);
//   - the first frame of an area never seen, coarse and full (first_interactive_ms,
//     first_full_ms);
//   - how long a request holds up its caller while frames render (max_request_ms);
//   - a frame after a vertex is added to a 1,000-vertex line of the live KML, the view
//     unchanged (frame_ms; terrain_ms of it for the ground and sky, when drawn again).
// Times are wall-clock milliseconds unless named cpu.
#include "hosts/globe/async_renderer.hpp"
#include "hosts/globe/base_earth.hpp"
#include "hosts/globe/kml_document.hpp"
#include "hosts/globe/mesh_renderer.hpp"
#include "hosts/globe/render.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace scribeline;
using namespace scribeline::globe;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the whole process (both render threads), milliseconds: on a shared machine
// the wall clock also counts the time others had the cores.
double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

double P95(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) * 95 / 100];
}

FrameRequest View(double range, double tilt) {
    FrameRequest r;
    r.camera = CameraState{47.3, 10.9, 0.0, 1, range, tilt, 20.0};
    r.surface = TerrainSurface(SharedBaseEarth(), true, 1.0); // the Alps of the real Earth
    r.width = 800;
    r.height = 500;
    return r;
}

// The view after `frame` steps of a drag: 10 pixels of ground at the focus per frame,
// across the view's heading.
FrameRequest DragStep(const FrameRequest& start, int frame) {
    FrameRequest r = start;
    const double pixel = r.camera.Range * 2.0 * std::tan(30.0 * kDegToRad) / r.width;
    const double metres = 10.0 * pixel * frame;
    const double bearing = (r.camera.Azimuth + 90.0) * kDegToRad;
    r.camera.FocusPointLatitude += metres * std::cos(bearing) / MetresPerDegreeLatitude(47.3);
    r.camera.FocusPointLongitude += metres * std::sin(bearing) / MetresPerDegreeLongitude(47.3);
    return r;
}

struct Timing {
    double wall = 0.0;
    double cpu = 0.0;
};

Timing RayCast(const FrameRequest& r) {
    const std::vector<const KmlDocument*> docs;
    const std::vector<Overlay> overlays;
    const Scene scene{&r.camera, &r.surface, &docs, &overlays};
    const double c0 = ProcessCpuMs();
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(RenderScene(scene, r.width, r.height));
    return {Ms(Clock::now() - t0), ProcessCpuMs() - c0};
}

// Args: range (m), tilt (degrees).
void BM_DragFrames800x500(benchmark::State& state) {
    const FrameRequest start =
        View(static_cast<double>(state.range(0)), static_cast<double>(state.range(1)));
    constexpr int kFrames = 60;
    std::vector<double> times;
    std::vector<double> cpu;
    double fullAfter = 0.0;
    for (auto _ : state) {
        MeshRenderer renderer;
        renderer.Render(start, FrameQuality::Full); // the view the drag starts from
        times.clear();
        cpu.clear();
        for (int f = 1; f <= kFrames; ++f) {
            const FrameRequest r = DragStep(start, f);
            const double c0 = ProcessCpuMs();
            const auto t0 = Clock::now();
            benchmark::DoNotOptimize(renderer.Render(r, FrameQuality::Interactive));
            times.push_back(Ms(Clock::now() - t0));
            cpu.push_back(ProcessCpuMs() - c0);
        }
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(renderer.Render(DragStep(start, kFrames), FrameQuality::Full));
        fullAfter = Ms(Clock::now() - t0);
    }
    const double p95 = P95(times);
    const Timing rayCast = RayCast(start);
    std::sort(times.begin(), times.end());
    state.counters["p95_ms"] = p95;
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["raycast_ms"] = rayCast.wall;
    state.counters["ratio"] = rayCast.wall / p95;
    state.counters["cpu_p95_ms"] = P95(cpu);
    state.counters["raycast_cpu_ms"] = rayCast.cpu;
    state.counters["cpu_ratio"] = rayCast.cpu / P95(cpu);
    state.counters["full_after_drag_ms"] = fullAfter;
}
BENCHMARK(BM_DragFrames800x500)
    ->Args({1500000, 0})
    ->Args({60000, 65})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The first frame of an area never seen (an empty tile cache). Args: range, tilt.
void BM_FirstFrameOfANewArea800x500(benchmark::State& state) {
    const FrameRequest r =
        View(static_cast<double>(state.range(0)), static_cast<double>(state.range(1)));
    double coarse = 0.0;
    double full = 0.0;
    for (auto _ : state) {
        {
            MeshRenderer renderer;
            const auto t0 = Clock::now();
            benchmark::DoNotOptimize(renderer.Render(r, FrameQuality::Interactive));
            coarse = Ms(Clock::now() - t0);
        }
        MeshRenderer renderer;
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(renderer.Render(r, FrameQuality::Full));
        full = Ms(Clock::now() - t0);
    }
    state.counters["first_interactive_ms"] = coarse;
    state.counters["first_full_ms"] = full;
}
BENCHMARK(BM_FirstFrameOfANewArea800x500)
    ->Args({1500000, 0})
    ->Args({60000, 65})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A drag fed to the asynchronous renderer at 50 requests a second: the longest time a
// request held up its caller, and how many frames the 60 requests gave.
void BM_RequestsWhileRendering(benchmark::State& state) {
    const FrameRequest start = View(60000.0, 65.0);
    double longest = 0.0;
    std::uint64_t frames = 0;
    for (auto _ : state) {
        AsyncRenderer renderer([](Frame f) { benchmark::DoNotOptimize(f); });
        for (int f = 1; f <= 60; ++f) {
            const FrameRequest r = DragStep(start, f);
            const auto t0 = Clock::now();
            renderer.Request(r, true);
            longest = std::max(longest, Ms(Clock::now() - t0));
            std::this_thread::sleep_until(t0 + std::chrono::milliseconds(20));
        }
        renderer.WaitIdle(std::chrono::seconds(60));
        frames = renderer.FramesDelivered();
    }
    state.counters["max_request_ms"] = longest;
    state.counters["frames"] = static_cast<double>(frames);
}
BENCHMARK(BM_RequestsWhileRendering)->Unit(benchmark::kMillisecond)->Iterations(1);

// The live KML of a run at `vertices` vertices, clicked all over the view as a person
// digitizing would: a line of 2-pixel width across the Alps.
std::shared_ptr<const DocumentSnapshot> LiveLine(int vertices) {
    std::string kml = "<kml><Document><Placemark><Style><LineStyle><color>ff0000ff</color>"
                      "<width>2</width></LineStyle></Style><LineString><tessellate>1</tessellate>"
                      "<coordinates>";
    for (int i = 0; i < vertices; ++i) {
        const double lon = 4.0 + 13.5 * ((i * 37) % 680) / 680.0;
        const double lat = 43.5 + 7.5 * ((i * 53) % 380) / 380.0;
        kml += std::to_string(lon) + "," + std::to_string(lat) + ",0 ";
    }
    kml += "</coordinates></LineString></Placemark></Document></kml>";
    auto snapshot = std::make_shared<DocumentSnapshot>();
    snapshot->documents.push_back(std::make_shared<const KmlDocument>(ParseKml(kml)));
    return snapshot;
}

// Arg 1: the view stays (the last terrain picture serves); 0: the camera moves by a hair
// every frame, so the ground is drawn again as it was before the picture was kept.
void BM_VertexAddedAt1000Vertices800x500(benchmark::State& state) {
    FrameRequest r = View(1500000.0, 0.0);
    const bool sameView = state.range(0) != 0;
    std::vector<std::shared_ptr<const DocumentSnapshot>> lines;
    for (int n = 1000; n < 1010; ++n) {
        lines.push_back(LiveLine(n));
    }
    MeshRenderer renderer;
    renderer.Render(r, FrameQuality::Full); // the view the run started from
    std::vector<double> times;
    std::size_t frame = 0;
    for (auto _ : state) {
        r.documents = lines[frame % lines.size()];
        if (!sameView) {
            r.camera.FocusPointLatitude += (frame % 2 == 0 ? 1e-9 : -1e-9);
        }
        ++frame;
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(renderer.Render(r, FrameQuality::Full));
        times.push_back(Ms(Clock::now() - t0));
    }
    r.documents = nullptr;
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(MeshRenderer().Render(r, FrameQuality::Full));
    std::sort(times.begin(), times.end());
    state.counters["frame_ms"] = times[times.size() / 2];
    state.counters["bare_terrain_ms"] = Ms(Clock::now() - t0); // tiles built, too
}
BENCHMARK(BM_VertexAddedAt1000Vertices800x500)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

BENCHMARK_MAIN();
