// A digitizer window on the headless desktop with the simulated globe and the map host: the
// whole program as a user meets it. Each test gets its own desktop, whose temporary folder is
// a fresh folder of its own. The core reaches the globe through the test levers; terrain
// answers can be scripted for cases that need exact coordinates; every other globe call goes
// to the simulated globe.
#pragma once

#include "command/frmGE2Arc.hpp"
#include "composition/default_subsystems.hpp"
#include "digitizing/basDigitizing.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/stack/headless_stack.hpp"
#include "tests/doubles/failure_boxes.hpp"
#include "tests/doubles/globe_levers.hpp"
#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace scribeline::testing {

// The globe's application with terrain answers taken from a script while it has any.
class ScriptedApplication final : public IApplicationGE {
public:
    ScriptedApplication(std::shared_ptr<IApplicationGE> real, std::deque<IPointOnTerrainGE>& script)
        : real_(std::move(real)), script_(script) {}
    ICameraInfoGE GetCamera(int t) override { return real_->GetCamera(t); }
    void SetCamera(const ICameraInfoGE& c, double s) override { real_->SetCamera(c, s); }
    void OpenKmlFile(const std::string& f, int s) override { real_->OpenKmlFile(f, s); }
    void LoadKmlData(const std::string& k) override { real_->LoadKmlData(k); }
    double AutoPilotSpeed() override { return real_->AutoPilotSpeed(); }
    void SetAutoPilotSpeed(double s) override { real_->SetAutoPilotSpeed(s); }
    IViewExtentsGE ViewExtents() override { return real_->ViewExtents(); }
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) override {
        if (script_.empty()) {
            return real_->GetPointOnTerrainFromScreenCoords(x, y);
        }
        IPointOnTerrainGE p = script_.front();
        script_.pop_front();
        return p;
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
    std::deque<IPointOnTerrainGE>& script_;
};

class ScriptedConnector final : public IGlobeConnector {
public:
    explicit ScriptedConnector(IGlobeConnector& real) : real_(real) {}
    std::shared_ptr<IApplicationGE> CreateApplication() override {
        return std::make_shared<ScriptedApplication>(real_.CreateApplication(), script);
    }
    std::deque<IPointOnTerrainGE> script;

private:
    IGlobeConnector& real_;
};

// One feature of a shapefile as OGR reads it.
struct StoredFeature {
    std::string geometryType; // OGR's name, "POLYGON", "LINESTRING 25D" ...
    bool hasZ = false;
    std::vector<MapPoint> points;    // every vertex across parts and rings
    std::vector<std::string> fields; // attribute values as text, null as "<null>"
};
// Every feature of a shapefile, read by OGR (not by the map host).
std::vector<StoredFeature> ReadShapefile(const std::filesystem::path& shp);

class RunTest : public ::testing::Test {
protected:
    stack::HeadlessStack stack;
    desktop::HeadlessDesktop& desk = stack.Desktop();
    globe::SimulatedGlobe* earth = &stack.Globe();
    std::shared_ptr<gis::GisHost> host = stack.MapHost();
    doubles::GlobeLevers levers{desk, earth->Connector()};
    ScriptedConnector connector{levers};
    ProcessState process;
    std::unique_ptr<frmGE2Arc> window;

    void SetUp() override { Open(); }
    void TearDown() override { window.reset(); }

    void Open(Subsystems subsystems = DefaultSubsystems()) {
        window.reset();
        window = std::make_unique<frmGE2Arc>(Environment{desk, connector}, process,
                                             std::move(subsystems));
        window->SetApplication(host);
        window->Load();
        window->Show(false);
        process.windowOpen = true;
    }

    frmGE2Arc& w() { return *window; }
    digitizing::DigitizingRun& run() {
        return dynamic_cast<digitizing::DigitizingRun&>(window->Run());
    }
    void Press(const std::string& key) { w().ctl.toolbarScribeline.UserClick(key); }
    void Option(const std::string& item, bool on) { w().Options().SetChecked(item, on); }
    // Screen pixel of a client pixel of the render window.
    Point RenderScreen(Point client) { return *desk.ClientToScreen(earth->RenderWindow(), client); }
    Point RenderCentre() {
        const Size s = earth->RenderSize();
        return RenderScreen({s.width / 2, s.height / 2});
    }
    // A left click, then one tick of the click-mode timer.
    void Click(Point screen, int tickMs = digitizing::kClickTickMs) {
        desk.InjectMouse(MouseMessage::LeftDown, screen);
        desk.InjectMouse(MouseMessage::LeftUp, screen);
        desk.AdvanceTime(tickMs);
    }
    void RightClick(Point screen, int tickMs = digitizing::kClickTickMs) {
        desk.InjectMouse(MouseMessage::RightDown, screen);
        desk.InjectMouse(MouseMessage::RightUp, screen);
        desk.AdvanceTime(tickMs);
    }
    // Looks the camera straight down at a place from `range` metres.
    void LookAt(double latitude, double longitude, double range = 200000.0) {
        auto ge = earth->CreateApplication();
        ICameraInfoGE camera;
        camera.FocusPointLatitude = latitude;
        camera.FocusPointLongitude = longitude;
        camera.Range = range;
        ge->SetCamera(camera, 5.0);
    }
    std::filesystem::path TempFile(const std::string& name) {
        return std::filesystem::path(desk.GetTempPath()) / name;
    }
    std::filesystem::path RunShapefile(int runNumber) {
        return TempFile("~tempDigitizeFromGE" + std::to_string(runNumber) + ".shp");
    }
    // Message boxes that report a failed action.
    std::vector<std::string> Failures() { return FailureTexts(desk); }
};

} // namespace scribeline::testing
