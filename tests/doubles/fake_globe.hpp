// A small stand-in for the globe client: one running client with a main window and a render
// window on the desktop, a camera, and operations that fail on request. Every application
// object the connector hands out is a handle on the same client.
#pragma once

#include "command/globe_port.hpp"
#include "platform/desktop.hpp"

#include <memory>
#include <set>
#include <string>

namespace scribeline::testing {

class FakeGlobeClient {
public:
    // Creates the client's windows: the main window at `mainRect` (screen pixels) and the render
    // window at `renderRect` inside it (client pixels of the main window).
    explicit FakeGlobeClient(IDesktop& desktop, Rect mainRect = {100, 50, 900, 650},
                             Rect renderRect = {8, 60, 808, 560});
    ~FakeGlobeClient();
    FakeGlobeClient(const FakeGlobeClient&) = delete;
    FakeGlobeClient& operator=(const FakeGlobeClient&) = delete;

    // Raises PortError when `operation` was made to fail.
    void Call(const std::string& operation);

    IDesktop& desktop;
    WindowHandle mainWindow = kNoWindow;
    WindowHandle renderWindow = kNoWindow;
    int initialized = 1;
    ICameraInfoGE camera;
    double autoPilotSpeed = 1.0;
    double exaggeration = 1.0;
    std::set<std::string> failing; // operation names, e.g. "GetRenderHwnd"
    int calls = 0;

private:
    IWindowHandler handler_;
};

class FakeApplicationGE final : public IApplicationGE {
public:
    explicit FakeApplicationGE(FakeGlobeClient& client) : client_(client) {}
    ICameraInfoGE GetCamera(int considerTerrain) override;
    void SetCamera(const ICameraInfoGE& camera, double speed) override;
    void OpenKmlFile(const std::string& fileName, int suppressMessages) override;
    void LoadKmlData(const std::string& kmlText) override;
    double AutoPilotSpeed() override;
    void SetAutoPilotSpeed(double speed) override;
    IViewExtentsGE ViewExtents() override;
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) override;
    int VersionMajor() override;
    int VersionMinor() override;
    int VersionBuild() override;
    int VersionAppType() override;
    int IsInitialized() override;
    int IsOnline() override;
    double ElevationExaggeration() override;
    void SetElevationExaggeration(double factor) override;
    WindowHandle GetMainHwnd() override;
    WindowHandle GetRenderHwnd() override;

private:
    FakeGlobeClient& client_;
};

class FakeGlobeConnector final : public IGlobeConnector {
public:
    explicit FakeGlobeConnector(FakeGlobeClient& client) : client_(client) {}
    std::shared_ptr<IApplicationGE> CreateApplication() override;
    int created = 0;
    bool unreachable = false; // no client can be reached

private:
    FakeGlobeClient& client_;
};

} // namespace scribeline::testing
