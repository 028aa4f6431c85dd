// Globe doubles that break one contract of the globe port each, so the globe conformance suite
// can show it catches the fault. Header-only; they wrap a real client's connector.
#pragma once

#include "command/globe_port.hpp"
#include "platform/desktop.hpp"

#include <memory>
#include <string>

namespace scribeline::doubles {

// A client whose camera moves only on its frame timer's ticks: GetCamera answers the camera
// of the last tick (or of the last SetCamera that arrives at once), as a client that advances
// its flights from its event loop would. Everything else goes to the wrapped client. Nothing
// moves while nobody pumps, so a plain sleep never lets a flight arrive.
class TickedCameraGlobe final : public IGlobeConnector {
public:
    // Both borrowed; they must outlive this connector and its applications.
    TickedCameraGlobe(IDesktop& desktop, IGlobeConnector& inner)
        : state_(std::make_shared<State>(desktop, inner.CreateApplication())) {
        state_->shown = state_->inner->GetCamera(1);
        state_->timer =
            desktop.SetTimer(kFrameMs, [s = state_.get()] { s->shown = s->inner->GetCamera(1); });
    }
    ~TickedCameraGlobe() override { state_->desktop.KillTimer(state_->timer); }
    TickedCameraGlobe(const TickedCameraGlobe&) = delete;
    TickedCameraGlobe& operator=(const TickedCameraGlobe&) = delete;

    std::shared_ptr<IApplicationGE> CreateApplication() override {
        return std::make_shared<Application>(state_);
    }

private:
    static constexpr int kFrameMs = 40;

    struct State {
        State(IDesktop& d, std::shared_ptr<IApplicationGE> app)
            : desktop(d), inner(std::move(app)) {}
        IDesktop& desktop;
        std::shared_ptr<IApplicationGE> inner;
        ICameraInfoGE shown;
        TimerHandle timer{};
    };

    class Application final : public IApplicationGE {
    public:
        explicit Application(std::shared_ptr<State> s) : s_(std::move(s)) {}
        ICameraInfoGE GetCamera(int /*considerTerrain*/) override { return s_->shown; }
        void SetCamera(const ICameraInfoGE& camera, double speed) override {
            s_->inner->SetCamera(camera, speed);
            if (speed >= 5.0) {
                s_->shown = s_->inner->GetCamera(1);
            }
        }
        void OpenKmlFile(const std::string& f, int quiet) override {
            s_->inner->OpenKmlFile(f, quiet);
        }
        void LoadKmlData(const std::string& kml) override { s_->inner->LoadKmlData(kml); }
        double AutoPilotSpeed() override { return s_->inner->AutoPilotSpeed(); }
        void SetAutoPilotSpeed(double speed) override { s_->inner->SetAutoPilotSpeed(speed); }
        IViewExtentsGE ViewExtents() override { return s_->inner->ViewExtents(); }
        IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) override {
            return s_->inner->GetPointOnTerrainFromScreenCoords(x, y);
        }
        int VersionMajor() override { return s_->inner->VersionMajor(); }
        int VersionMinor() override { return s_->inner->VersionMinor(); }
        int VersionBuild() override { return s_->inner->VersionBuild(); }
        int VersionAppType() override { return s_->inner->VersionAppType(); }
        int IsInitialized() override { return s_->inner->IsInitialized(); }
        int IsOnline() override { return s_->inner->IsOnline(); }
        double ElevationExaggeration() override { return s_->inner->ElevationExaggeration(); }
        void SetElevationExaggeration(double f) override { s_->inner->SetElevationExaggeration(f); }
        WindowHandle GetMainHwnd() override { return s_->inner->GetMainHwnd(); }
        WindowHandle GetRenderHwnd() override { return s_->inner->GetRenderHwnd(); }

    private:
        std::shared_ptr<State> s_;
    };

    std::shared_ptr<State> state_;
};

} // namespace scribeline::doubles
