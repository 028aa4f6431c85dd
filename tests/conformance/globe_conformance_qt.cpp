// The globe conformance suite against the simulated globe on the Qt desktop, on Qt's offscreen
// platform: the same client on a real-time desktop, as the interactive front ends run it.
#include "hosts/globe/simulated_globe.hpp"
#include "hosts/qtdesktop/qt_desktop.hpp"
#include "tests/conformance/globe_conformance.hpp"

#include <gtest/gtest.h>

namespace scribeline::conformance {
namespace {

struct QtStack {
    qtdesktop::QtDesktop desktop;
    std::unique_ptr<globe::SimulatedGlobe> globe;
    ~QtStack() { globe.reset(); }
};

GlobeUnderTest makeQt() {
    auto stack = std::make_shared<QtStack>();
    globe::GlobeOptions options;
    options.terrainLayerOn = false; // no elevation file read; the contracts are not about it
    // Inside the offscreen screen (800 x 600; the cursor stays on it), so that clicks on the
    // navigation control land on it.
    options.mainWindow = Rect{0, 0, 700, 560};
    options.sidePanelWidth = 100;
    qtdesktop::QtDesktop* desk = &stack->desktop;
    options.onRepaint = [desk](WindowHandle w) { desk->Repaint(w); };
    stack->globe = std::make_unique<globe::SimulatedGlobe>(stack->desktop, std::move(options));
    GlobeUnderTest t;
    t.owner = stack;
    t.desktop = desk;
    t.connector = &stack->globe->Connector();
    globe::SimulatedGlobe* g = stack->globe.get();
    t.contentChanges = [g] { return g->RepaintCount(); };
    t.drawingsOn = [desk](WindowHandle w) {
        return static_cast<std::size_t>(desk->OverlayItems(w));
    };
    return t;
}

INSTANTIATE_TEST_SUITE_P(QtDesktop, GlobeConformance,
                         ::testing::Values(GlobeImplementation{"QtDesktop", makeQt}),
                         globeImplementationName);

} // namespace
} // namespace scribeline::conformance
