// How long a vertex takes to show on the globe window: the capture tick hands the live KML
// document (the whole feature so far, as in file mode) to the globe; the globe repaints, the
// frame is rendered on the render thread and shown on the GUI thread. Measured from the load
// of the document to the frame shown, for features of 10 to 1,000 vertices, on Qt's offscreen
// platform with the base Earth. Run: build/release/bench/desk/desk_bench
#include "frontends/qt/globe_window.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "hosts/qtdesktop/qt_desktop.hpp"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
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

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
