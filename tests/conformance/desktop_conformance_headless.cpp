// The desktop conformance suite against the headless desktop.
#include "hosts/desktop/headless_desktop.hpp"
#include "tests/conformance/desktop_conformance.hpp"

namespace scribeline::conformance {
namespace {

DesktopUnderTest makeHeadless() {
    auto desktop = std::make_unique<desktop::HeadlessDesktop>();
    // Boxes stay open long enough for the cases' timers to close them.
    desktop->SetMessageBoxResponder([](const desktop::MessageBoxRecord&) {
        return desktop::MessageBoxAnswer{idr::Ok, 60'000};
    });
    desktop::HeadlessDesktop* raw = desktop.get();
    return {std::move(desktop), [raw](WindowHandle w) { raw->Repaint(w); }};
}

INSTANTIATE_TEST_SUITE_P(Headless, DesktopConformance,
                         ::testing::Values(DesktopImplementation{"Headless", makeHeadless}),
                         implementationName);

} // namespace
} // namespace scribeline::conformance
