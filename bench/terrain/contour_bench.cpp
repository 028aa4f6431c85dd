// The contour command at the largest grid (35 by 35) and the most levels (30), over the Alps,
// writing a real shapefile through the GDAL map host on the headless desktop. Reported:
//   segments    features stored per run
//   store_ms    time from the first to the last stored feature
//   max_gap_ms  the longest time between two runs of the message loop while storing (the
//               longest the windows go without repainting)
#include "command/frmGE2Arc.hpp"
#include "composition/default_subsystems.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "hosts/globe/headless_attach.hpp"
#include "terrain/terrain_commands.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace scribeline {
namespace {

using Clock = std::chrono::steady_clock;

struct Session {
    desktop::HeadlessDesktop desk{desktop::DesktopOptions{}};
    std::unique_ptr<globe::SimulatedGlobe> earth = globe::StartHeadlessGlobe(desk);
    std::shared_ptr<gis::GisHost> host =
        std::make_shared<gis::GisHost>(desk, gis::HeadlessOptions(desk));
    ProcessState process;
    std::unique_ptr<frmGE2Arc> window;

    Session() {
        window = std::make_unique<frmGE2Arc>(Environment{desk, earth->Connector()}, process,
                                             DefaultSubsystems());
        window->SetApplication(host);
        window->Load();
        window->Show(false);
        auto ge = earth->CreateApplication();
        ICameraInfoGE camera;
        camera.FocusPointLatitude = 46.5;
        camera.FocusPointLongitude = 10.5;
        camera.Range = 40000.0;
        ge->SetCamera(camera, 5.0);
        // The render view stays as it is: every run samples the same grid.
        window->Options().SetChecked("AllowToSquareGERenderViewWhenContouring", false);
        window->ctl.vscrollDEMResolution.UserSetValue(window->ctl.vscrollDEMResolution.Max());
        window->ctl.vscrollContourLevelnumber.UserSetValue(
            window->ctl.vscrollContourLevelnumber.Max());
    }
};

void BM_ContourRunAtTheLargestGrid(benchmark::State& state) {
    Session s;
    gis::StepProgressor& progress = s.host->Progress();
    Clock::time_point first{};
    Clock::time_point last{};
    Clock::time_point lastPump{};
    double maxGap = 0.0;
    double store = 0.0;
    int segments = 0;
    progress.changed = [&](const gis::ProgressEvent& e) {
        const auto now = Clock::now();
        if (e.kind == gis::ProgressEvent::Kind::SetPosition) {
            first = lastPump = now;
        } else if (e.kind == gis::ProgressEvent::Kind::Step) {
            last = now;
            // The loop runs right after this step.
            if (e.position % terrain::kStoredFeaturesPerPump == 0) {
                maxGap = std::max(maxGap, std::chrono::duration<double>(now - lastPump).count());
                lastPump = now;
            }
        } else if (e.kind == gis::ProgressEvent::Kind::Hide) {
            maxGap = std::max(maxGap, std::chrono::duration<double>(last - lastPump).count());
            store += std::chrono::duration<double>(last - first).count();
            segments = e.position;
        }
    };
    for (auto _ : state) {
        s.window->ctl.toolbarScribeline.UserClick("contour");
    }
    progress.changed = nullptr;
    if (segments == 0) {
        state.SkipWithError("the run stored no segment");
        return;
    }
    state.counters["segments"] = segments;
    state.counters["store_ms"] = store * 1000.0 / static_cast<double>(state.iterations());
    state.counters["max_gap_ms"] = maxGap * 1000.0;
}
BENCHMARK(BM_ContourRunAtTheLargestGrid)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace scribeline

BENCHMARK_MAIN();
