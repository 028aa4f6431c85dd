#include "tests/doubles/globe_levers.hpp"

#include <algorithm>
#include <utility>

namespace scribeline::doubles {

const char* OperationName(GlobeOperation operation) {
    switch (operation) {
    case GlobeOperation::GetCamera:
        return "GetCamera";
    case GlobeOperation::SetCamera:
        return "SetCamera";
    case GlobeOperation::OpenKmlFile:
        return "OpenKmlFile";
    case GlobeOperation::LoadKmlData:
        return "LoadKmlData";
    case GlobeOperation::AutoPilotSpeed:
        return "AutoPilotSpeed";
    case GlobeOperation::SetAutoPilotSpeed:
        return "SetAutoPilotSpeed";
    case GlobeOperation::ViewExtents:
        return "ViewExtents";
    case GlobeOperation::GetPointOnTerrainFromScreenCoords:
        return "GetPointOnTerrainFromScreenCoords";
    case GlobeOperation::VersionMajor:
        return "VersionMajor";
    case GlobeOperation::VersionMinor:
        return "VersionMinor";
    case GlobeOperation::VersionBuild:
        return "VersionBuild";
    case GlobeOperation::VersionAppType:
        return "VersionAppType";
    case GlobeOperation::IsInitialized:
        return "IsInitialized";
    case GlobeOperation::IsOnline:
        return "IsOnline";
    case GlobeOperation::ElevationExaggeration:
        return "ElevationExaggeration";
    case GlobeOperation::SetElevationExaggeration:
        return "SetElevationExaggeration";
    case GlobeOperation::GetMainHwnd:
        return "GetMainHwnd";
    case GlobeOperation::GetRenderHwnd:
        return "GetRenderHwnd";
    }
    return "?";
}

struct GlobeLevers::State {
    explicit State(IDesktop& d) : desktop(d) {}
    IDesktop& desktop;
    bool reachable = true;
    int latencyMs = 0;
    std::map<std::uint64_t, int> delays;
    std::uint64_t queries = 0;
    std::map<GlobeOperation, std::string> failures;
    std::vector<GlobeOperation> log;
    std::optional<bool> initialized;
    std::optional<bool> online;
    std::optional<GlobeVersion> version;

    void Enter(GlobeOperation op) {
        log.push_back(op);
        if (const auto f = failures.find(op); f != failures.end()) {
            const std::string reason = f->second;
            failures.erase(f);
            throw PortError(OperationName(op), reason);
        }
    }
};

namespace {

using Op = GlobeOperation;

class LeveredApplication final : public IApplicationGE {
public:
    LeveredApplication(std::shared_ptr<GlobeLevers::State> state,
                       std::shared_ptr<IApplicationGE> inner)
        : s_(std::move(state)), inner_(std::move(inner)) {}

    ICameraInfoGE GetCamera(int considerTerrain) override {
        s_->Enter(Op::GetCamera);
        return inner_->GetCamera(considerTerrain);
    }
    void SetCamera(const ICameraInfoGE& camera, double speed) override {
        s_->Enter(Op::SetCamera);
        inner_->SetCamera(camera, speed);
    }
    void OpenKmlFile(const std::string& fileName, int suppressMessages) override {
        s_->Enter(Op::OpenKmlFile);
        inner_->OpenKmlFile(fileName, suppressMessages);
    }
    void LoadKmlData(const std::string& kmlText) override {
        s_->Enter(Op::LoadKmlData);
        inner_->LoadKmlData(kmlText);
    }
    double AutoPilotSpeed() override {
        s_->Enter(Op::AutoPilotSpeed);
        return inner_->AutoPilotSpeed();
    }
    void SetAutoPilotSpeed(double speed) override {
        s_->Enter(Op::SetAutoPilotSpeed);
        inner_->SetAutoPilotSpeed(speed);
    }
    IViewExtentsGE ViewExtents() override {
        s_->Enter(Op::ViewExtents);
        return inner_->ViewExtents();
    }
    // A slow client: the query's time passes on the desktop's clock before the answer.
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) override {
        s_->Enter(Op::GetPointOnTerrainFromScreenCoords);
        const std::uint64_t number = s_->queries++;
        int latency = s_->latencyMs;
        if (const auto d = s_->delays.find(number); d != s_->delays.end()) {
            latency = d->second;
            s_->delays.erase(d);
        }
        if (latency > 0) {
            s_->desktop.Sleep(latency);
        }
        return inner_->GetPointOnTerrainFromScreenCoords(x, y);
    }
    int VersionMajor() override {
        s_->Enter(Op::VersionMajor);
        const int v = inner_->VersionMajor();
        return s_->version ? s_->version->major : v;
    }
    int VersionMinor() override {
        s_->Enter(Op::VersionMinor);
        const int v = inner_->VersionMinor();
        return s_->version ? s_->version->minor : v;
    }
    int VersionBuild() override {
        s_->Enter(Op::VersionBuild);
        const int v = inner_->VersionBuild();
        return s_->version ? s_->version->build : v;
    }
    int VersionAppType() override {
        s_->Enter(Op::VersionAppType);
        const int v = inner_->VersionAppType();
        return s_->version ? s_->version->appType : v;
    }
    int IsInitialized() override {
        s_->Enter(Op::IsInitialized);
        const int v = inner_->IsInitialized();
        return s_->initialized ? (*s_->initialized ? 1 : 0) : v;
    }
    int IsOnline() override {
        s_->Enter(Op::IsOnline);
        const int v = inner_->IsOnline();
        return s_->online ? (*s_->online ? 1 : 0) : v;
    }
    double ElevationExaggeration() override {
        s_->Enter(Op::ElevationExaggeration);
        return inner_->ElevationExaggeration();
    }
    void SetElevationExaggeration(double factor) override {
        s_->Enter(Op::SetElevationExaggeration);
        inner_->SetElevationExaggeration(factor);
    }
    WindowHandle GetMainHwnd() override {
        s_->Enter(Op::GetMainHwnd);
        return inner_->GetMainHwnd();
    }
    WindowHandle GetRenderHwnd() override {
        s_->Enter(Op::GetRenderHwnd);
        return inner_->GetRenderHwnd();
    }

private:
    std::shared_ptr<GlobeLevers::State> s_;
    std::shared_ptr<IApplicationGE> inner_;
};

} // namespace

GlobeLevers::GlobeLevers(IDesktop& desktop, IGlobeConnector& inner)
    : state_(std::make_shared<State>(desktop)), inner_(inner) {}

std::shared_ptr<IApplicationGE> GlobeLevers::CreateApplication() {
    if (!state_->reachable) {
        throw PortError("CreateApplication", "the globe client is not running");
    }
    return std::make_shared<LeveredApplication>(state_, inner_.CreateApplication());
}

void GlobeLevers::SetReachable(bool reachable) {
    state_->reachable = reachable;
}
void GlobeLevers::FailOnce(GlobeOperation operation, std::string reason) {
    state_->failures[operation] = std::move(reason);
}
void GlobeLevers::SetQueryLatency(int milliseconds) {
    state_->latencyMs = std::max(0, milliseconds);
}
void GlobeLevers::DelayQuery(std::uint64_t queryNumber, int milliseconds) {
    state_->delays[queryNumber] = std::max(0, milliseconds);
}
std::uint64_t GlobeLevers::QueryCount() const {
    return state_->queries;
}
void GlobeLevers::SetInitialized(bool initialized) {
    state_->initialized = initialized;
}
void GlobeLevers::SetOnline(bool online) {
    state_->online = online;
}
void GlobeLevers::SetVersion(const GlobeVersion& version) {
    state_->version = version;
}
const std::vector<GlobeOperation>& GlobeLevers::CallLog() const {
    return state_->log;
}
void GlobeLevers::ClearCallLog() {
    state_->log.clear();
}

} // namespace scribeline::doubles
