// Levers for tests over any globe client: a decorator of the globe port that records the calls,
// fails chosen ones, slows terrain queries down on the desktop's clock, overrides what the
// client says about itself, and can make the client unreachable. Hand the core Connector() (or
// this object) instead of the client's own connector: every application it creates wraps one
// of the client's, and all of them share the levers, the call log and the query count.
#pragma once

#include "command/globe_port.hpp"
#include "platform/desktop.hpp"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline::doubles {

// The operations of the globe port, for the failure lever and the call log.
enum class GlobeOperation {
    GetCamera,
    SetCamera,
    OpenKmlFile,
    LoadKmlData,
    AutoPilotSpeed,
    SetAutoPilotSpeed,
    ViewExtents,
    GetPointOnTerrainFromScreenCoords,
    VersionMajor,
    VersionMinor,
    VersionBuild,
    VersionAppType,
    IsInitialized,
    IsOnline,
    ElevationExaggeration,
    SetElevationExaggeration,
    GetMainHwnd,
    GetRenderHwnd,
};
// The port's name of an operation ("GetCamera", ...).
const char* OperationName(GlobeOperation operation);

struct GlobeVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int appType = 0;
};

class GlobeLevers final : public IGlobeConnector {
public:
    // Both borrowed; they must outlive this object and every application it created. The
    // desktop's Sleep carries the query latency.
    GlobeLevers(IDesktop& desktop, IGlobeConnector& inner);

    // Raises PortError while unreachable; else wraps a fresh application of the client.
    std::shared_ptr<IApplicationGE> CreateApplication() override;
    IGlobeConnector& Connector() { return *this; }

    // Whether the client can be reached (false: CreateApplication raises PortError; handles
    // already created keep working).
    void SetReachable(bool reachable);
    // The next call of `operation` through any handle raises PortError with `reason`, once;
    // the client does not see it.
    void FailOnce(GlobeOperation operation, std::string reason = "the client refused the call");
    // Every terrain query lets this much virtual time pass first (milliseconds, >= 0).
    void SetQueryLatency(int milliseconds);
    // The terrain query with this 0-based number (see QueryCount) takes this long instead.
    void DelayQuery(std::uint64_t queryNumber, int milliseconds);
    // Terrain queries asked through the levers so far.
    [[nodiscard]] std::uint64_t QueryCount() const;
    // What the client answers about itself, overriding its own answers.
    void SetInitialized(bool initialized);
    void SetOnline(bool online);
    void SetVersion(const GlobeVersion& version);
    // Port calls through every handle, in order, failed ones included.
    [[nodiscard]] const std::vector<GlobeOperation>& CallLog() const;
    void ClearCallLog();

    struct State;

private:
    std::shared_ptr<State> state_;
    IGlobeConnector& inner_;
};

} // namespace scribeline::doubles
