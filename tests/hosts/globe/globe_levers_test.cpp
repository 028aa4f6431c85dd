// The test levers over the simulated globe: they sit between the core and the client, so the
// client itself has none.
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/headless_attach.hpp"
#include "tests/doubles/globe_levers.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace scribeline::doubles {
namespace {

ICameraInfoGE Cam(double lat, double lon, double range) {
    return ICameraInfoGE{lat, lon, 0.0, 1, range, 0.0, 0.0};
}

class GlobeLeversTest : public ::testing::Test {
protected:
    desktop::HeadlessDesktop desktop_;
    std::unique_ptr<globe::SimulatedGlobe> globe_ = globe::StartHeadlessGlobe(desktop_);
    GlobeLevers levers_{desktop_, globe_->Connector()};
};

TEST_F(GlobeLeversTest, AnUnreachableClientRefusesNewHandlesOnly) {
    auto held = levers_.CreateApplication();
    levers_.SetReachable(false);
    EXPECT_THROW(levers_.CreateApplication(), PortError);
    EXPECT_NO_THROW(globe_->Connector().CreateApplication()) << "the client itself still runs";
    EXPECT_EQ(held->IsInitialized(), 1);
    levers_.SetReachable(true);
    EXPECT_NO_THROW(levers_.CreateApplication());
}

TEST_F(GlobeLeversTest, FailOnceFailsTheNextCallOfAnyHandleOnlyAndTheClientNeverSeesIt) {
    auto first = levers_.CreateApplication();
    auto second = levers_.CreateApplication();
    first->SetCamera(Cam(10.0, 20.0, 5000.0), 5.0);
    levers_.ClearCallLog();
    levers_.FailOnce(GlobeOperation::SetCamera, "busy");
    try {
        second->SetCamera(Cam(1, 2, 1000), 5.0);
        FAIL() << "the armed failure did not fire";
    } catch (const PortError& e) {
        EXPECT_EQ(e.operation(), "SetCamera");
        EXPECT_NE(std::string(e.what()).find("busy"), std::string::npos);
    }
    EXPECT_DOUBLE_EQ(globe_->Camera().FocusPointLatitude, 10.0) << "the failed call reached it";
    EXPECT_NO_THROW(first->SetCamera(Cam(1, 2, 1000), 5.0));
    EXPECT_DOUBLE_EQ(globe_->Camera().FocusPointLatitude, 1.0);
    // Each operation has its own failure; arming one twice still fails once.
    levers_.FailOnce(GlobeOperation::ViewExtents);
    levers_.FailOnce(GlobeOperation::ViewExtents);
    EXPECT_NO_THROW(first->GetCamera(1));
    EXPECT_THROW(second->ViewExtents(), PortError);
    EXPECT_NO_THROW(first->ViewExtents());
    // One log for every handle, failed calls included.
    EXPECT_EQ(levers_.CallLog(),
              (std::vector{GlobeOperation::SetCamera, GlobeOperation::SetCamera,
                           GlobeOperation::GetCamera, GlobeOperation::ViewExtents,
                           GlobeOperation::ViewExtents}));
    levers_.ClearCallLog();
    EXPECT_TRUE(levers_.CallLog().empty());
}

TEST_F(GlobeLeversTest, QueryLatencyLetsVirtualTimePassBeforeTheAnswer) {
    auto app = levers_.CreateApplication();
    auto other = levers_.CreateApplication();
    levers_.SetQueryLatency(100);
    levers_.DelayQuery(2, 600);
    levers_.DelayQuery(3, -5); // a negative delay is none
    std::vector<std::int64_t> took;
    for (int i = 0; i < 5; ++i) {
        const std::int64_t t0 = desktop_.TickCount();
        (i % 2 == 0 ? app : other)->GetPointOnTerrainFromScreenCoords(0, 0);
        took.push_back(desktop_.TickCount() - t0);
    }
    EXPECT_EQ(took, (std::vector<std::int64_t>{100, 100, 600, 0, 100}));
    EXPECT_EQ(levers_.QueryCount(), 5u) << "queries through every handle count";
    levers_.SetQueryLatency(-1);
    const std::int64_t t0 = desktop_.TickCount();
    app->GetPointOnTerrainFromScreenCoords(0, 0);
    EXPECT_EQ(desktop_.TickCount(), t0);
    // Queries straight to the client pass no time and are not counted.
    globe_->CreateApplication()->GetPointOnTerrainFromScreenCoords(0, 0);
    EXPECT_EQ(levers_.QueryCount(), 6u);
}

TEST_F(GlobeLeversTest, OverridesWhatTheClientSaysAboutItself) {
    auto app = levers_.CreateApplication();
    EXPECT_EQ(app->IsInitialized(), 1);
    EXPECT_EQ(app->VersionMajor(), 7);
    levers_.SetInitialized(false);
    levers_.SetOnline(false);
    levers_.SetVersion({4, 2, 198, 3});
    EXPECT_EQ(app->IsInitialized(), 0);
    EXPECT_EQ(app->IsOnline(), 0);
    EXPECT_EQ(app->VersionMajor(), 4);
    EXPECT_EQ(app->VersionMinor(), 2);
    EXPECT_EQ(app->VersionBuild(), 198);
    EXPECT_EQ(app->VersionAppType(), 3);
    EXPECT_EQ(globe_->CreateApplication()->IsInitialized(), 1) << "the client is unchanged";
    levers_.SetInitialized(true);
    EXPECT_EQ(app->IsInitialized(), 1);
}

TEST_F(GlobeLeversTest, AClientThatQuitFailsThroughTheLeversToo) {
    auto app = levers_.CreateApplication();
    EXPECT_THROW(app->SetAutoPilotSpeed(std::nan("")), PortError) << "the client's own checks";
    levers_.SetInitialized(true);
    globe_.reset();
    EXPECT_THROW(app->IsInitialized(), PortError) << "an override does not hide a gone client";
}

} // namespace
} // namespace scribeline::doubles
