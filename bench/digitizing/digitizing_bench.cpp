// One capture tick of click digitizing at 10,000 vertices with the live KML file on: the
// terrain query, building and writing the live document, the feedback in the map and on the
// globe's view. The globe's own parsing of the file happens inside the tick (OpenKmlFile); it
// is timed apart and reported beside ours:
//   ours_ms   the tick without the globe's parsing
//   globe_ms  the globe's OpenKmlFile of the live file
// A second benchmark times the globe's parsing of the same file on its own.
#include "command/frmGE2Arc.hpp"
#include "composition/default_subsystems.hpp"
#include "digitizing/basDigitizing.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/stack/headless_stack.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace scribeline {
namespace {

using Clock = std::chrono::steady_clock;

// The globe's application, with the time spent in OpenKmlFile kept apart. While `skipOpen` is
// set the file is not handed over (the set-up grows the feature without the globe's work).
class TimedApplication final : public IApplicationGE {
public:
    TimedApplication(std::shared_ptr<IApplicationGE> real, double& openSeconds, bool& skipOpen)
        : real_(std::move(real)), openSeconds_(openSeconds), skipOpen_(skipOpen) {}
    ICameraInfoGE GetCamera(int t) override { return real_->GetCamera(t); }
    void SetCamera(const ICameraInfoGE& c, double s) override { real_->SetCamera(c, s); }
    void OpenKmlFile(const std::string& f, int s) override {
        if (skipOpen_) {
            return;
        }
        const auto start = Clock::now();
        real_->OpenKmlFile(f, s);
        openSeconds_ += std::chrono::duration<double>(Clock::now() - start).count();
    }
    void LoadKmlData(const std::string& k) override { real_->LoadKmlData(k); }
    double AutoPilotSpeed() override { return real_->AutoPilotSpeed(); }
    void SetAutoPilotSpeed(double s) override { real_->SetAutoPilotSpeed(s); }
    IViewExtentsGE ViewExtents() override { return real_->ViewExtents(); }
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) override {
        return real_->GetPointOnTerrainFromScreenCoords(x, y);
    }
    int VersionMajor() override { return real_->VersionMajor(); }
    int VersionMinor() override { return real_->VersionMinor(); }
    int VersionBuild() override { return real_->VersionBuild(); }
    int VersionAppType() override { return real_->VersionAppType(); }
    int IsInitialized() override { return real_->IsInitialized(); }
    int IsOnline() override { return real_->IsOnline(); }
    double ElevationExaggeration() override { return real_->ElevationExaggeration(); }
    void SetElevationExaggeration(double f) override { real_->SetElevationExaggeration(f); }
    WindowHandle GetMainHwnd() override { return real_->GetMainHwnd(); }
    WindowHandle GetRenderHwnd() override { return real_->GetRenderHwnd(); }

private:
    std::shared_ptr<IApplicationGE> real_;
    double& openSeconds_;
    bool& skipOpen_;
};

class TimedConnector final : public IGlobeConnector {
public:
    explicit TimedConnector(IGlobeConnector& real) : real_(real) {}
    std::shared_ptr<IApplicationGE> CreateApplication() override {
        return std::make_shared<TimedApplication>(real_.CreateApplication(), openSeconds, skipOpen);
    }
    double openSeconds = 0.0;
    bool skipOpen = false;

private:
    IGlobeConnector& real_;
};

// A running click-digitizing session with a polyline of 10,000 vertices.
struct Session {
    stack::HeadlessStack stack;
    desktop::HeadlessDesktop& desk = stack.Desktop();
    globe::SimulatedGlobe* earth = &stack.Globe();
    std::shared_ptr<gis::GisHost> host = stack.MapHost();
    TimedConnector connector{earth->Connector()};
    ProcessState process;
    std::unique_ptr<frmGE2Arc> window;
    Point centre;

    Session() {
        window =
            std::make_unique<frmGE2Arc>(Environment{desk, connector}, process, DefaultSubsystems());
        window->SetApplication(host);
        window->Load();
        window->Show(false);
        window->Options().SetChecked("usingKmlFile", true);
        window->ctl.toolbarScribeline.UserClick("start");
        const Size s = earth->RenderSize();
        centre = *desk.ClientToScreen(earth->RenderWindow(), {s.width / 2, s.height / 2});
        connector.skipOpen = true;
        for (int i = 0; i < digitizing::kMaxVertexCount; ++i) {
            Click({centre.x + (i % 200) - 100, centre.y + (i / 200) % 100 - 50});
            if (i % 200 == 0) {
                host->DataView().Refresh();
            }
        }
        connector.skipOpen = false;
    }
    void Click(Point at, bool right = false) {
        desk.InjectMouse(right ? MouseMessage::RightDown : MouseMessage::LeftDown, at);
        desk.InjectMouse(right ? MouseMessage::RightUp : MouseMessage::LeftUp, at);
        desk.AdvanceTime(digitizing::kClickTickMs);
    }
};

Session& TheSession() {
    static Session session;
    return session;
}

void BM_CaptureTickAt10000Vertices(benchmark::State& state) {
    Session& s = TheSession();
    double total = 0.0;
    double globe = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        s.host->DataView().Refresh(); // the map repaints between ticks, as it does on screen
        s.desk.Repaint(s.earth->RenderWindow());
        s.connector.skipOpen = true;
        s.Click(s.centre, true); // back to 9,999
        s.connector.skipOpen = false;
        s.connector.openSeconds = 0.0;
        state.ResumeTiming();
        const auto start = Clock::now();
        s.Click(s.centre); // the 10,000th vertex
        total += std::chrono::duration<double>(Clock::now() - start).count();
        globe += s.connector.openSeconds;
    }
    if (s.window->state.vertexCount != 10000) {
        state.SkipWithError("the feature does not hold 10,000 vertices");
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = (total - globe) * 1000.0 / n;
    state.counters["globe_ms"] = globe * 1000.0 / n;
}
BENCHMARK(BM_CaptureTickAt10000Vertices)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_GlobeParsesTheLiveFile(benchmark::State& state) {
    Session& s = TheSession();
    auto ge = s.earth->CreateApplication();
    const std::string path = s.window->state.tempFolder + "~tempDigitizeFromGE1.kml";
    for (auto _ : state) {
        ge->OpenKmlFile(path, 1);
    }
}
BENCHMARK(BM_GlobeParsesTheLiveFile)->Unit(benchmark::kMillisecond)->Iterations(50);

// The parts of the tick on their own: the live KML writer with the session's feature, and one
// terrain query.
void BM_LiveKmlFileOf10000Vertices(benchmark::State& state) {
    Session& s = TheSession();
    auto ge = s.earth->CreateApplication();
    auto& run = dynamic_cast<digitizing::DigitizingRun&>(s.window->Run());
    const std::filesystem::path path = s.window->state.tempFolder + "bench.kml";
    for (auto _ : state) {
        run.Kml().WriteFeatureKmlFile(*ge, path, run.CurrentShape(),
                                      run.CurrentShape().PointCount(), 1, kLiveFeatureIconColour);
    }
}
BENCHMARK(BM_LiveKmlFileOf10000Vertices)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_TerrainQuery(benchmark::State& state) {
    Session& s = TheSession();
    auto ge = s.earth->CreateApplication();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ge->GetPointOnTerrainFromScreenCoords(0.01, -0.02));
    }
}
BENCHMARK(BM_TerrainQuery)->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace
} // namespace scribeline

BENCHMARK_MAIN();
