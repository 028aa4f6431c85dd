// The globe conformance suite against the simulated globe on the headless desktop, and the
// double that shows the suite catches a camera that moves only on timer ticks.
#include "hosts/globe/headless_attach.hpp"
#include "tests/conformance/globe_conformance.hpp"
#include "tests/doubles/globe_doubles.hpp"

namespace scribeline::conformance {
namespace {

// The desktop and the client (with a double around it when one is tested), destroyed client
// first.
struct SimulatedStack {
    desktop::HeadlessDesktop desktop;
    std::unique_ptr<globe::SimulatedGlobe> globe;
    std::unique_ptr<IGlobeConnector> wrapper; // a double's, when one is tested
    ~SimulatedStack() {
        wrapper.reset();
        globe.reset();
    }
};

std::shared_ptr<SimulatedStack> startSimulated() {
    auto stack = std::make_shared<SimulatedStack>();
    globe::GlobeOptions options;
    // The flat ellipsoid: the contracts are about time and windows, not about the ground,
    // and no elevation file is read.
    options.terrainLayerOn = false;
    stack->globe = globe::StartHeadlessGlobe(stack->desktop, std::move(options));
    return stack;
}

GlobeUnderTest underTest(const std::shared_ptr<SimulatedStack>& stack, IGlobeConnector& c) {
    GlobeUnderTest t;
    t.owner = stack;
    t.desktop = &stack->desktop;
    t.connector = &c;
    SimulatedStack* raw = stack.get();
    t.contentChanges = [raw] { return raw->globe->RepaintCount(); };
    t.drawingsOn = [raw](WindowHandle w) { return raw->desktop.DrawCalls(w).size(); };
    return t;
}

GlobeUnderTest makeSimulated() {
    auto stack = startSimulated();
    return underTest(stack, stack->globe->Connector());
}

INSTANTIATE_TEST_SUITE_P(Simulated, GlobeConformance,
                         ::testing::Values(GlobeImplementation{"Simulated", makeSimulated}),
                         globeImplementationName);

// ---- the suite catches a client that advances only while someone pumps ----

GlobeUnderTest makeTicked() {
    auto stack = startSimulated();
    stack->wrapper =
        std::make_unique<doubles::TickedCameraGlobe>(stack->desktop, stack->globe->Connector());
    return underTest(stack, *stack->wrapper);
}

TEST(GlobeConformanceCatches, ACameraThatMovesOnlyOnTimerTicks) {
    GlobeUnderTest ticked = makeTicked();
    EXPECT_FALSE(checkFlightArrivesDuringPlainSleep(ticked));
    GlobeUnderTest pumped = makeTicked();
    EXPECT_FALSE(checkPumpingDoesNotMoveTheCamera(pumped));
    GlobeUnderTest drawing = makeTicked();
    EXPECT_TRUE(checkDrawingLastsUntilTheViewChanges(drawing)) << "its drawing is honest";
}

TEST(GlobeConformanceCatches, NothingInTheClientTheDoubleWraps) {
    GlobeUnderTest plain = makeSimulated();
    EXPECT_TRUE(checkFlightArrivesDuringPlainSleep(plain));
    EXPECT_TRUE(checkPumpingDoesNotMoveTheCamera(plain));
    EXPECT_TRUE(checkDrawingLastsUntilTheViewChanges(plain));
}

// The ticked double's flight does arrive, at the first pump after it ended: the check fails
// on timing alone.
TEST(GlobeConformanceCatches, TheTickedFlightArrivesAtThePump) {
    GlobeUnderTest ticked = makeTicked();
    auto app = ticked.connector->CreateApplication();
    ICameraInfoGE target;
    target.FocusPointLatitude = 30.0;
    target.FocusPointLongitude = 50.0;
    target.Range = 800'000.0;
    const double start = app->GetCamera(1).FocusPointLatitude;
    app->SetCamera(target, 1.0);
    ticked.desktop->Sleep(2500);
    EXPECT_DOUBLE_EQ(app->GetCamera(1).FocusPointLatitude, start) << "nothing pumped yet";
    ticked.desktop->DoEvents();
    EXPECT_NEAR(app->GetCamera(1).FocusPointLatitude, 30.0, 1e-4);
}

} // namespace
} // namespace scribeline::conformance
