#include "tests/doubles/fake_globe.hpp"

#include "tests/doubles/globe_windows.hpp"

namespace scribeline::testing {

FakeGlobeClient::FakeGlobeClient(IDesktop& d, Rect mainRect, Rect renderRect) : desktop(d) {
    const GlobeWindows windows =
        CreateGlobeWindows(desktop, "FakeGlobe", mainRect, renderRect, &handler_);
    mainWindow = windows.main;
    renderWindow = windows.render;
}

FakeGlobeClient::~FakeGlobeClient() {
    DestroyGlobeWindows(desktop, mainWindow, renderWindow);
}

void FakeGlobeClient::Call(const std::string& operation) {
    ++calls;
    if (failing.count(operation) != 0) {
        throw PortError(operation, "the test globe refuses it");
    }
}

ICameraInfoGE FakeApplicationGE::GetCamera(int) {
    client_.Call("GetCamera");
    return client_.camera;
}
void FakeApplicationGE::SetCamera(const ICameraInfoGE& camera, double) {
    client_.Call("SetCamera");
    client_.camera = camera;
}
void FakeApplicationGE::OpenKmlFile(const std::string&, int) {
    client_.Call("OpenKmlFile");
}
void FakeApplicationGE::LoadKmlData(const std::string&) {
    client_.Call("LoadKmlData");
}
double FakeApplicationGE::AutoPilotSpeed() {
    client_.Call("AutoPilotSpeed");
    return client_.autoPilotSpeed;
}
void FakeApplicationGE::SetAutoPilotSpeed(double speed) {
    client_.Call("SetAutoPilotSpeed");
    client_.autoPilotSpeed = speed;
}
IViewExtentsGE FakeApplicationGE::ViewExtents() {
    client_.Call("ViewExtents");
    return {};
}
IPointOnTerrainGE FakeApplicationGE::GetPointOnTerrainFromScreenCoords(double, double) {
    client_.Call("GetPointOnTerrainFromScreenCoords");
    return {};
}
int FakeApplicationGE::VersionMajor() {
    client_.Call("VersionMajor");
    return 4;
}
int FakeApplicationGE::VersionMinor() {
    client_.Call("VersionMinor");
    return 3;
}
int FakeApplicationGE::VersionBuild() {
    client_.Call("VersionBuild");
    return 7284;
}
int FakeApplicationGE::VersionAppType() {
    client_.Call("VersionAppType");
    return 5;
}
int FakeApplicationGE::IsInitialized() {
    client_.Call("IsInitialized");
    return client_.initialized;
}
int FakeApplicationGE::IsOnline() {
    client_.Call("IsOnline");
    return 1;
}
double FakeApplicationGE::ElevationExaggeration() {
    client_.Call("ElevationExaggeration");
    return client_.exaggeration;
}
void FakeApplicationGE::SetElevationExaggeration(double factor) {
    client_.Call("SetElevationExaggeration");
    client_.exaggeration = factor;
}
WindowHandle FakeApplicationGE::GetMainHwnd() {
    client_.Call("GetMainHwnd");
    return client_.mainWindow;
}
WindowHandle FakeApplicationGE::GetRenderHwnd() {
    client_.Call("GetRenderHwnd");
    return client_.renderWindow;
}

std::shared_ptr<IApplicationGE> FakeGlobeConnector::CreateApplication() {
    if (unreachable) {
        throw PortError("CreateApplication", "no globe client is running");
    }
    ++created;
    return std::make_shared<FakeApplicationGE>(client_);
}

} // namespace scribeline::testing
