// A globe client whose numbers are simple enough to check by hand: its view is a rectangle
// around the focus point, `degreesPerMetre` x range wide and 0.625 of that high, so a range of
// 400 000 m shows 4 degrees. It records every camera it is given, with its speed, answers
// terrain queries from a script (ground 0 when the script is empty), and has real windows on
// the desktop: a main window and a render window inside it. Every application object is a
// handle on the same client.
#pragma once

#include "command/globe_port.hpp"
#include "platform/desktop.hpp"
#include "tests/doubles/globe_windows.hpp"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline::testing {

struct CameraSet {
    ICameraInfoGE camera;
    double speed = 0.0;
};

class LinearGlobe final : public IGlobeConnector {
public:
    explicit LinearGlobe(IDesktop& desktop, Rect mainRect = {100, 50, 900, 650},
                         Rect renderRect = {0, 40, 800, 540})
        : desktop_(desktop) {
        const GlobeWindows windows =
            CreateGlobeWindows(desktop, "LinearGlobe", mainRect, renderRect, &handler_);
        mainWindow = windows.main;
        renderWindow = windows.render;
        camera.FocusPointLatitude = 47.5;
        camera.FocusPointLongitude = 11.0;
        camera.Range = 400000.0;
    }
    ~LinearGlobe() override { DestroyGlobeWindows(desktop_, mainWindow, renderWindow); }
    LinearGlobe(const LinearGlobe&) = delete;
    LinearGlobe& operator=(const LinearGlobe&) = delete;

    std::shared_ptr<IApplicationGE> CreateApplication() override;

    [[nodiscard]] IViewExtentsGE Extents() const {
        const double width = camera.Range * degreesPerMetre;
        const double height = width * 0.625;
        return {camera.FocusPointLatitude + height / 2, camera.FocusPointLatitude - height / 2,
                camera.FocusPointLongitude + width / 2, camera.FocusPointLongitude - width / 2};
    }

    WindowHandle mainWindow = kNoWindow;
    WindowHandle renderWindow = kNoWindow;
    // GetRenderHwnd answers this when set (e.g. a handle that names no window).
    std::optional<WindowHandle> renderAnswer;
    ICameraInfoGE camera;
    double degreesPerMetre = 1e-5;
    int initialized = 1;
    int online = 1;
    int versionMajor = 7, versionMinor = 3, versionBuild = 9345, appType = 5;
    double exaggeration = 1.0;
    double autoPilotSpeed = 1.0;
    // When set, ViewExtents answers this instead of the rectangle around the focus point.
    std::optional<IViewExtentsGE> fixedExtents;
    // Ground answers of terrain queries, front first; when empty the ground is at 0.
    std::deque<IPointOnTerrainGE> terrain;
    std::vector<CameraSet> sets;
    std::vector<std::string> calls;

private:
    class Application;
    IDesktop& desktop_;
    IWindowHandler handler_;
};

class LinearGlobe::Application final : public IApplicationGE {
public:
    explicit Application(LinearGlobe& g) : g_(g) {}
    ICameraInfoGE GetCamera(int) override {
        log("GetCamera");
        return g_.camera;
    }
    void SetCamera(const ICameraInfoGE& camera, double speed) override {
        log("SetCamera");
        g_.sets.push_back({camera, speed});
        g_.camera = camera;
    }
    void OpenKmlFile(const std::string&, int) override { log("OpenKmlFile"); }
    void LoadKmlData(const std::string&) override { log("LoadKmlData"); }
    double AutoPilotSpeed() override {
        log("AutoPilotSpeed");
        return g_.autoPilotSpeed;
    }
    void SetAutoPilotSpeed(double speed) override {
        log("SetAutoPilotSpeed");
        g_.autoPilotSpeed = speed;
    }
    IViewExtentsGE ViewExtents() override {
        log("ViewExtents");
        return g_.fixedExtents ? *g_.fixedExtents : g_.Extents();
    }
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double, double) override {
        log("GetPointOnTerrainFromScreenCoords");
        if (g_.terrain.empty()) {
            return {g_.camera.FocusPointLatitude, g_.camera.FocusPointLongitude, 0.0, true};
        }
        IPointOnTerrainGE p = g_.terrain.front();
        g_.terrain.pop_front();
        return p;
    }
    int VersionMajor() override { return g_.versionMajor; }
    int VersionMinor() override { return g_.versionMinor; }
    int VersionBuild() override { return g_.versionBuild; }
    int VersionAppType() override { return g_.appType; }
    int IsInitialized() override {
        log("IsInitialized");
        return g_.initialized;
    }
    int IsOnline() override { return g_.online; }
    double ElevationExaggeration() override { return g_.exaggeration; }
    void SetElevationExaggeration(double factor) override {
        log("SetElevationExaggeration");
        g_.exaggeration = factor;
    }
    WindowHandle GetMainHwnd() override { return g_.mainWindow; }
    WindowHandle GetRenderHwnd() override {
        return g_.renderAnswer ? *g_.renderAnswer : g_.renderWindow;
    }

private:
    void log(const char* what) { g_.calls.emplace_back(what); }
    LinearGlobe& g_;
};

inline std::shared_ptr<IApplicationGE> LinearGlobe::CreateApplication() {
    return std::make_shared<Application>(*this);
}

} // namespace scribeline::testing
