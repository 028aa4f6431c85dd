// A globe double for the KML tests: records every call in order, keeps what it was handed,
// and fails chosen operations with PortError.
#pragma once

#include "command/globe_port.hpp"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace scribeline::testing {

class FakeGlobe final : public IApplicationGE {
public:
    // The camera GetCamera returns.
    ICameraInfoGE camera;
    // Names of operations that raise PortError ("LoadKmlData", "OpenKmlFile", ...).
    std::set<std::string> failing;

    // Every call in order: the operation name, for some with its arguments.
    std::vector<std::string> calls;
    std::vector<std::string> loadedTexts;
    std::vector<std::string> openedFiles;
    std::vector<ICameraInfoGE> setCameras;
    std::vector<double> setCameraSpeeds;
    double autoPilotSpeed = 1.0;
    // Called with the operation name as each call begins (may be empty).
    std::function<void(const std::string&)> observer;

    [[nodiscard]] int CountOf(const std::string& operation) const {
        int n = 0;
        for (const auto& c : calls) {
            n += c == operation ? 1 : 0;
        }
        return n;
    }

    ICameraInfoGE GetCamera(int considerTerrain) override {
        enter("GetCamera");
        lastConsiderTerrain = considerTerrain;
        return camera;
    }
    void SetCamera(const ICameraInfoGE& c, double speed) override {
        enter("SetCamera");
        setCameras.push_back(c);
        setCameraSpeeds.push_back(speed);
    }
    void OpenKmlFile(const std::string& fileName, int suppressMessages) override {
        enter("OpenKmlFile");
        openedFiles.push_back(fileName);
        lastSuppressMessages = suppressMessages;
    }
    void LoadKmlData(const std::string& kmlText) override {
        enter("LoadKmlData");
        loadedTexts.push_back(kmlText);
    }
    double AutoPilotSpeed() override {
        enter("AutoPilotSpeed");
        return autoPilotSpeed;
    }
    void SetAutoPilotSpeed(double speed) override {
        enter("SetAutoPilotSpeed");
        autoPilotSpeed = speed;
    }
    IViewExtentsGE ViewExtents() override {
        enter("ViewExtents");
        return {};
    }
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double, double) override {
        enter("GetPointOnTerrainFromScreenCoords");
        return {};
    }
    int VersionMajor() override { return 4; }
    int VersionMinor() override { return 3; }
    int VersionBuild() override { return 7284; }
    int VersionAppType() override { return 0; }
    int IsInitialized() override { return 1; }
    int IsOnline() override { return 1; }
    double ElevationExaggeration() override { return 1.0; }
    void SetElevationExaggeration(double) override { enter("SetElevationExaggeration"); }
    WindowHandle GetMainHwnd() override { return 1; }
    WindowHandle GetRenderHwnd() override { return 2; }

    int lastConsiderTerrain = 0;
    int lastSuppressMessages = 0;

private:
    void enter(const std::string& operation) {
        calls.push_back(operation);
        if (observer) {
            observer(operation);
        }
        if (failing.count(operation) != 0) {
            throw PortError(operation, "failed in the test globe");
        }
    }
};

} // namespace scribeline::testing
