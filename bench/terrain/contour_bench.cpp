// The contour command at the largest grid (35 by 35) and the most levels (30), over the Alps,
// writing a real shapefile through the GDAL map host on the headless desktop. Reported:
//   segments    features stored per run
//   store_ms    time from the first to the last stored feature
//   max_gap_ms  the longest time between two runs of the message loop while storing (the
//               longest the windows go without repainting)
#include "bench/support/pump_gaps.hpp"
#include "command/frmGE2Arc.hpp"
#include "composition/default_subsystems.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "hosts/globe/headless_attach.hpp"
#include "terrain/terrain_commands.hpp"

#include <benchmark/benchmark.h>

#include <memory>

namespace scribeline {
namespace {

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
    bench::PumpGaps gaps(s.host->Progress());
    for (auto _ : state) {
        s.window->ctl.toolbarScribeline.UserClick("contour");
    }
    if (gaps.Segments() == 0) {
        state.SkipWithError("the run stored no segment");
        return;
    }
    state.counters["segments"] = gaps.Segments();
    state.counters["store_ms"] =
        gaps.StoreSeconds() * 1000.0 / static_cast<double>(state.iterations());
    state.counters["max_gap_ms"] = gaps.MaxGapSeconds() * 1000.0;
}
BENCHMARK(BM_ContourRunAtTheLargestGrid)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace scribeline

BENCHMARK_MAIN();
