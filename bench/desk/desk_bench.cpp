// How long a vertex takes to show on the globe window: the capture tick hands the live KML
// document (the whole feature so far, as in file mode) to the globe; the globe repaints, the
// frame is rendered on the render thread and shown on the GUI thread. Measured from the load
// of the document to the frame shown, for features of 10 to 1,000 vertices, on Qt's offscreen
// platform with the base Earth. Run: build/release/bench/desk/desk_bench
// A second benchmark times the pauses of the event loop during a contour run (below).
#include "bench/support/pump_gaps.hpp"
#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/globe_window.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "hosts/qtdesktop/qt_desktop.hpp"
#include "terrain/terrain_commands.hpp"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace scribeline;

// A polyline of `n` vertices across the first view (the Alps from 1,500 km).
std::string Feature(int n, int variant) {
    std::string kml = "<kml><Document><name>~tempDigitizeFromGE" + std::to_string(variant) +
                      "</name><Placemark><LineString><coordinates>";
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        kml += std::to_string(8.0 + 6.0 * t) + "," +
               std::to_string(46.0 + 0.5 * ((i % 7) - 3) * 0.1 + variant * 1e-4) + ",1500 ";
    }
    kml += "</coordinates></LineString></Placemark></Document></kml>";
    return kml;
}

struct Rig {
    qtdesktop::QtDesktop desktop;
    std::unique_ptr<globe::SimulatedGlobe> globe;
    std::unique_ptr<frontend::GlobeFrames> frames;
    std::shared_ptr<IApplicationGE> app;
    Rig() {
        globe::GlobeOptions options;
        options.dragNavigation = true;
        options.onRepaint = [this](WindowHandle window) {
            desktop.Repaint(window);
            if (frames) {
                frames->ViewChanged();
            }
        };
        globe = std::make_unique<globe::SimulatedGlobe>(desktop, options);
        frames = std::make_unique<frontend::GlobeFrames>(desktop, *globe);
        desktop.ShowWindow(globe->MainWindow(), ShowCommand::Show);
        (void)frames->WaitShown(std::chrono::seconds(60)); // the base Earth read once
        app = globe->CreateApplication();
    }
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void BM_VertexToFrame(benchmark::State& state) {
    Rig& rig = TheRig();
    const int n = static_cast<int>(state.range(0));
    int variant = 0;
    for (auto _ : state) {
        const std::string kml = Feature(n, ++variant);
        const auto start = std::chrono::steady_clock::now();
        rig.app->LoadKmlData(kml);
        if (!rig.frames->WaitShown(std::chrono::seconds(10))) {
            state.SkipWithError("no frame within 10 s");
            break;
        }
        const auto elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        state.SetIterationTime(elapsed.count());
    }
}
BENCHMARK(BM_VertexToFrame)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// The contour command at the largest grid and the most levels on the desktop app (the Alps
// from 40 km, no drape): the longest the GUI thread goes without running its event loop while
// the segments are stored, and how often the map's status bar followed the progressor.
void BM_DeskContourRun(benchmark::State& state) {
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / "scribeline-desk-bench-contour";
    frontend::DeskOptions options;
    options.outDir = out;
    options.screen = Rect{0, 0, 1600, 900};
    options.drape = false;
    options.quit = [] {};
    frontend::Desk desk(options);
    desk.Show();
    desk.PressCommand();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
    frmGE2Arc& form = desk.Command().Window();
    auto ge = desk.Globe().CreateApplication();
    ICameraInfoGE camera;
    camera.FocusPointLatitude = 46.5;
    camera.FocusPointLongitude = 10.5;
    camera.Range = 40000.0;
    ge->SetCamera(camera, 5.0);
    form.Options().SetChecked("AllowToSquareGERenderViewWhenContouring", false);
    form.ctl.vscrollDEMResolution.UserSetValue(form.ctl.vscrollDEMResolution.Max());
    form.ctl.vscrollContourLevelnumber.UserSetValue(form.ctl.vscrollContourLevelnumber.Max());

    // After the map window's status bar, which listened first.
    bench::PumpGaps gaps(desk.Host().Progress());
    const int updatesBefore = desk.Map().ProgressUpdates();
    for (auto _ : state) {
        form.ctl.toolbarScribeline.UserClick("contour");
    }
    if (gaps.Segments() == 0) {
        state.SkipWithError("the run stored no segment");
        return;
    }
    state.counters["segments"] = gaps.Segments();
    state.counters["max_gap_ms"] = gaps.MaxGapSeconds() * 1000.0;
    state.counters["status_updates"] =
        static_cast<double>(desk.Map().ProgressUpdates() - updatesBefore) /
        static_cast<double>(state.iterations());
}
BENCHMARK(BM_DeskContourRun)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
