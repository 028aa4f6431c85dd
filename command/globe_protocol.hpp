// The globe client's window protocol: what the core finds, types and clicks on the client's
// windows besides the automation port (command/globe_port.hpp). The core and every globe
// implementation take these from here, so the two cannot drift apart.
//
// Windows: a main window (GetMainHwnd) with the render window (GetRenderHwnd) as its child.
// With the main window in the foreground, Ctrl+Shift+P, T or G opens the new-placemark, path or
// polygon dialog, a top-level window of class kDialogClass titled by its kind; the dialog takes
// the typed name, a left click on the view places its point (a path or polygon: adds a vertex),
// Enter confirms it as a new document and Escape cancels it.
//
// Navigation control: zones at the top right of the render window, in client pixels measured
// from its right edge, that answer a left press on their own (the core leaves presses there to
// the client and probes the control by clicking on kProbePoint).
#pragma once

#include "platform/types.hpp"

#include <array>
#include <cstddef>
#include <string_view>

namespace scribeline::globe_protocol {

inline constexpr std::string_view kMainWindowClass = "QWidget";
inline constexpr std::string_view kMainWindowTitle = "Google Earth";
inline constexpr std::string_view kRenderWindowClass = "QGLWidget";

// ---- the new-feature dialogs ----

enum class DialogKind { Placemark = 0, Path = 1, Polygon = 2 };
inline constexpr std::size_t kDialogKinds = 3;

inline constexpr std::string_view kDialogClass = "QTool";
// By DialogKind.
inline constexpr std::array<std::string_view, kDialogKinds> kDialogTitles = {
    "Google Earth - New Placemark", "Google Earth - New Path", "Google Earth - New Polygon"};
// The name a dialog offers until one is typed, by DialogKind.
inline constexpr std::array<std::string_view, kDialogKinds> kDialogDefaultNames = {
    "Untitled Placemark", "Untitled Path", "Untitled Polygon"};
// The shortcut that opens each dialog, in SendKeys notation (Ctrl+Shift+letter).
inline constexpr std::array<std::string_view, kDialogKinds> kDialogShortcuts = {"^+P", "^+T",
                                                                                "^+G"};
// The letter of each shortcut (upper case, also its virtual key code).
inline constexpr std::array<char, kDialogKinds> kDialogShortcutKeys = {'P', 'T', 'G'};

[[nodiscard]] constexpr std::string_view DialogTitle(DialogKind kind) {
    return kDialogTitles[static_cast<std::size_t>(kind)];
}

// ---- the navigation control ----

enum class NavigationZone {
    None,
    Look,    // disc: the centre puts north up, the ring turns and tilts
    Move,    // disc: moves the view towards the side clicked
    ZoomIn,  // button
    Slider,  // zoom slider: a click zooms in a notch
    ZoomOut, // button
};

// Centres of the two discs: x from the render window's right edge, y from its top.
inline constexpr int kControlFromRight = 43;
inline constexpr int kLookCentreY = 49;
inline constexpr int kLookRadiusSquared = 1600;
inline constexpr int kMoveCentreY = 129;
inline constexpr int kMoveRadiusSquared = 625;
// The zoom column: x strictly between width - 52 and width - 35, y strictly inside a band.
inline constexpr int kColumnLeftFromRight = 52;
inline constexpr int kColumnRightFromRight = 35;
struct Band {
    int top;
    int bottom;
};
inline constexpr Band kZoomInBand{186, 206};
inline constexpr Band kSliderBand{254, 264};
inline constexpr Band kZoomOutBand{309, 329};

// The point the core clicks to probe the control: the zoom-in button.
inline constexpr int kProbeY = 196;
[[nodiscard]] constexpr Point ProbePoint(int renderWidth) {
    return {renderWidth - kControlFromRight, kProbeY};
}

// The zone a client point of a render window `renderWidth` pixels wide lies in.
[[nodiscard]] constexpr NavigationZone NavigationZoneAt(Point client, int renderWidth) {
    const auto inDisc = [&](int cy, int radiusSquared) {
        const int dx = client.x - (renderWidth - kControlFromRight);
        const int dy = client.y - cy;
        return dx * dx + dy * dy <= radiusSquared;
    };
    const auto inBand = [&](Band b) {
        return client.x > renderWidth - kColumnLeftFromRight &&
               client.x < renderWidth - kColumnRightFromRight && client.y > b.top &&
               client.y < b.bottom;
    };
    if (inDisc(kLookCentreY, kLookRadiusSquared)) {
        return NavigationZone::Look;
    }
    if (inDisc(kMoveCentreY, kMoveRadiusSquared)) {
        return NavigationZone::Move;
    }
    if (inBand(kZoomInBand)) {
        return NavigationZone::ZoomIn;
    }
    if (inBand(kSliderBand)) {
        return NavigationZone::Slider;
    }
    if (inBand(kZoomOutBand)) {
        return NavigationZone::ZoomOut;
    }
    return NavigationZone::None;
}

[[nodiscard]] constexpr bool InNavigationZone(Point client, int renderWidth) {
    return NavigationZoneAt(client, renderWidth) != NavigationZone::None;
}

static_assert(NavigationZoneAt(ProbePoint(800), 800) == NavigationZone::ZoomIn,
              "the probe must land on the zoom-in button");

} // namespace scribeline::globe_protocol
