// Binds the map host to the headless desktop: the map view window is captured by rendering
// the map, and a refresh of the map view wipes what was drawn straight onto the window.
// Header only; whoever uses it links scribeline_desktop.
#pragma once

#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"

namespace scribeline::gis {

// `desktop` must outlive the host made with the options.
inline GisHostOptions HeadlessOptions(desktop::HeadlessDesktop& desktop,
                                      GisHostOptions options = {}) {
    options.registerCaptureRenderer = [&desktop](WindowHandle window,
                                                 std::function<Bitmap(Size)> renderer) {
        desktop.SetRenderer(window, std::move(renderer));
    };
    options.repaint = [&desktop](WindowHandle window) { desktop.Repaint(window); };
    return options;
}

} // namespace scribeline::gis
