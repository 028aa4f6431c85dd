// Wires a simulated globe to the headless desktop: the globe's repaints wipe what others drew
// on its render window, the desktop's capture of that window is the globe's picture, and the
// picture shows what was drawn since the last repaint. Header-only, so that the globe library
// itself needs nothing but the desktop port; whoever includes this links scribeline_desktop.
#pragma once

#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/simulated_globe.hpp"

#include <memory>
#include <vector>

namespace scribeline::globe {

// The desktop's record of drawing on a window, as the globe's overlays.
inline std::vector<Overlay> OverlaysOf(const std::vector<desktop::DrawCall>& calls) {
    std::vector<Overlay> out;
    for (const desktop::DrawCall& d : calls) {
        Overlay o;
        o.from = d.from;
        o.to = d.to;
        o.pen = d.pen;
        o.radius = d.radius;
        o.fill = d.fill;
        o.outline = d.outline;
        switch (d.kind) {
        case desktop::DrawKind::Line:
            o.kind = Overlay::Kind::Line;
            break;
        case desktop::DrawKind::Rectangle:
            o.kind = Overlay::Kind::Rectangle;
            break;
        case desktop::DrawKind::FilledCircle:
            o.kind = Overlay::Kind::FilledCircle;
            break;
        case desktop::DrawKind::Text:
            continue; // the desktop does not rasterise glyphs either
        }
        out.push_back(o);
    }
    return out;
}

// A globe started on the headless desktop and registered as its render window's capture
// renderer. The desktop must outlive the globe.
inline std::unique_ptr<SimulatedGlobe> StartHeadlessGlobe(desktop::HeadlessDesktop& desktop,
                                                          GlobeOptions options = {}) {
    options.onRepaint = [&desktop](WindowHandle w) { desktop.Repaint(w); };
    // The render window is only known once the globe runs; the hook reads it then.
    auto renderWindow = std::make_shared<WindowHandle>(kNoWindow);
    options.overlays = [&desktop, renderWindow] {
        return OverlaysOf(desktop.DrawCalls(*renderWindow));
    };
    auto globe = std::make_unique<SimulatedGlobe>(desktop, std::move(options));
    *renderWindow = globe->RenderWindow();
    SimulatedGlobe* g = globe.get();
    desktop.SetRenderer(g->RenderWindow(), [g](Size size) { return g->RenderBitmap(size); });
    return globe;
}

} // namespace scribeline::globe
