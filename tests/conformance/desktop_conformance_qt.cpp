// The desktop conformance suite against the Qt desktop, on Qt's offscreen platform (no X
// server, no window frames).
#include "hosts/qtdesktop/qt_desktop.hpp"
#include "tests/conformance/desktop_conformance.hpp"

#include <gtest/gtest.h>

namespace scribeline::conformance {
namespace {

DesktopUnderTest makeQt() {
    auto desktop = std::make_unique<qtdesktop::QtDesktop>();
    qtdesktop::QtDesktop* raw = desktop.get();
    return {std::move(desktop), [raw](WindowHandle w) { raw->Repaint(w); }};
}

INSTANTIATE_TEST_SUITE_P(Qt, DesktopConformance,
                         ::testing::Values(DesktopImplementation{"Qt", makeQt}),
                         implementationName);

} // namespace
} // namespace scribeline::conformance
