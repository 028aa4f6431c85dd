// How long a click takes to show on the globe window once the capture tick takes it: the tick
// casts the click onto the terrain, adds the vertex, writes the whole feature to the live KML
// file and has the globe load it (file mode, the default); the globe repaints, the frame is
// rendered on the render thread and shown on the GUI thread. Measured from the tick to that
// frame on screen, on the desktop app (digitizer window, globe window, map window) on Qt's
// offscreen platform, with a polyline that already holds 1,000 vertices. The clicks are real
// Qt events on the globe's render window; the tick is the digitizer's own timer handler, run at
// once instead of waiting for the 500 ms timer, so the feature can be built up quickly.
// While measuring, the ticks come at the timer's pace (the wait between them is not counted):
// ticks a few milliseconds apart would make the globe window take the second document change
// for a moving view, which a person digitizing never causes, and time its settling instead.
// paced:0 (ticks back to back) shows that case.
// Run: build/release/bench/desk/desk_tick_bench
#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/session_driver.hpp"

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace scribeline;
using frontend::SessionDriver;

constexpr int kVertices = 1000;
constexpr auto kTickPeriod = std::chrono::milliseconds(500); // the capture timer's

struct Rig {
    std::unique_ptr<frontend::Desk> desk;
    QWidget* render = nullptr;
    int clicks = 0;

    Rig() {
        frontend::DeskOptions options;
        options.outDir = std::filesystem::temp_directory_path() / "scribeline-tick-bench";
        std::filesystem::remove_all(options.outDir);
        options.moduleFolder = options.outDir;
        options.drape = false;
        options.quit = [] {};
        desk = std::make_unique<frontend::Desk>(options);
        desk->Show();
        desk->PressCommand();
        SessionDriver::Wait(std::chrono::milliseconds(50));
        frmGE2Arc& w = desk->Command().Window();
        w.ctl.optGeometryType.UserSelect(1); // polyline
        w.ctl.toolbarScribeline.UserClick("start");
        render = desk->Desktop().Widget(desk->Globe().RenderWindow());
        (void)desk->Frames().WaitShown(std::chrono::seconds(60)); // the base Earth read once
        while (w.state.vertexCount < kVertices && render != nullptr) {
            clickAndTick();
        }
        (void)desk->Frames().WaitShown(std::chrono::seconds(60));
    }

    // A click somewhere new on the render window, then the tick that takes it.
    void clickAndTick() {
        ++clicks;
        const QPoint at(60 + (clicks * 37) % 680, 60 + (clicks * 53) % 380);
        SessionDriver::Click(render, at);
        desk->Command().Window().ctl.timerDigitalizing.Tick();
        if (clicks % 50 == 0) {
            SessionDriver::Pump(); // frames and widget updates queued meanwhile
        }
    }
};

// Made on first use, gone before the QApplication (its widgets must not outlive it).
std::unique_ptr<Rig> theRig;

Rig& TheRig() {
    if (!theRig) {
        theRig = std::make_unique<Rig>();
    }
    return *theRig;
}

void BM_TickToVertexShown(benchmark::State& state) {
    Rig& rig = TheRig();
    frmGE2Arc& w = rig.desk->Command().Window();
    if (rig.render == nullptr || !w.DigitizingActive() || w.state.vertexCount < kVertices) {
        state.SkipWithError("the run did not reach 1,000 vertices");
        return;
    }
    // animation:1 as the options come (the click's animation towards the map plays in the
    // tick); 0 without it, to tell the animation from the rest.
    w.Options().SetChecked("PlayAnimationWhenDigitizing", state.range(0) != 0);
    const bool paced = state.range(1) != 0;
    double tickSeconds = 0; // of it, the tick itself (the rest: the frame)
    auto lastTick = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (paced) {
            const auto next = lastTick + kTickPeriod;
            const auto now = std::chrono::steady_clock::now();
            if (next > now) {
                SessionDriver::Wait(
                    std::chrono::duration_cast<std::chrono::milliseconds>(next - now));
            }
        }
        ++rig.clicks;
        const QPoint at(60 + (rig.clicks * 37) % 680, 60 + (rig.clicks * 53) % 380);
        SessionDriver::Click(rig.render, at);
        const int before = w.state.vertexCount;
        const auto start = std::chrono::steady_clock::now();
        lastTick = start;
        w.ctl.timerDigitalizing.Tick();
        tickSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!rig.desk->Frames().WaitShown(std::chrono::seconds(10))) {
            state.SkipWithError("no frame within 10 s");
            break;
        }
        const auto elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        state.SetIterationTime(elapsed.count());
        if (w.state.vertexCount != before + 1) {
            state.SkipWithError("the tick took no vertex");
            break;
        }
    }
    state.counters["vertices"] = w.state.vertexCount;
    state.counters["tick_ms"] = benchmark::Counter(tickSeconds * 1000.0 / 20.0);
}
// Args: animation on (1) or off (0); ticks at the timer's pace (1) or back to back (0).
BENCHMARK(BM_TickToVertexShown)
    ->ArgNames({"animation", "paced"})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theRig.reset();
    return 0;
}
