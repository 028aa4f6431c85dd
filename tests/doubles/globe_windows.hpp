// The two windows a stand-in globe client shows on the desktop: a main window titled
// "Google Earth" and its render window inside it.
#pragma once

#include "command/globe_protocol.hpp"
#include "platform/desktop.hpp"

#include <string>

namespace scribeline::testing {

struct GlobeWindows {
    WindowHandle main = kNoWindow;
    WindowHandle render = kNoWindow;
};

// Creates the main window at `mainRect` (screen pixels) and the render window at `renderRect`
// (client pixels of the main window), of classes `classPrefix` + "Main" and + "Render". The
// handler is borrowed by both windows and must outlive them.
inline GlobeWindows CreateGlobeWindows(IDesktop& desktop, const std::string& classPrefix,
                                       Rect mainRect, Rect renderRect, IWindowHandler* handler) {
    GlobeWindows windows;
    WindowSpec main;
    main.className = classPrefix + "Main";
    main.title = std::string(globe_protocol::kMainWindowTitle);
    main.rect = mainRect;
    windows.main = desktop.CreateWindow(main, handler);
    WindowSpec render;
    render.className = classPrefix + "Render";
    render.parent = windows.main;
    render.rect = renderRect;
    windows.render = desktop.CreateWindow(render, handler);
    return windows;
}

// Destroys whichever of the two still exist, the render window first.
inline void DestroyGlobeWindows(IDesktop& desktop, WindowHandle main, WindowHandle render) {
    for (WindowHandle w : {render, main}) {
        if (desktop.IsWindow(w)) {
            desktop.DestroyWindow(w);
        }
    }
}

} // namespace scribeline::testing
