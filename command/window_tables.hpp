// What the source files of the digitizer window share: the toolbar as a table and the sizes
// of the window's drawn parts. Internal to command/; front ends read the toolbar through the
// control model instead.
#pragma once

#include "command/toolbar_keys.hpp"

#include <string>

namespace scribeline::window_tables {

// The toolbar as it is built at load, in order. A row without key is a separator.
struct ToolbarRow {
    const char* key;
    const char* imageKey;
    const char* tooltip;
    bool visible;
    bool enabled;
};

inline constexpr ToolbarRow kToolbarRows[] = {
    {toolbar_keys::kSetGEView, "setgeview", "Set Google Earth View according ArcMap View", true,
     true},
    {toolbar_keys::kSetArcView, "setarcview", "Set ArcMap View according Google Earth View", true,
     true},
    {nullptr, nullptr, nullptr, true, true},
    {toolbar_keys::kStart, "start", "Create a new layer and Start digitigizing (a) new feature(s)",
     true, true},
    {toolbar_keys::kRecord, "record", "Create a new layer and Record", true, true},
    {toolbar_keys::kFinishFeature, "finish",
     "Finish the current feature and Start digitigizing a new feature", true, false},
    {toolbar_keys::kPause, "pause", "Pause digitigizing the feature", false, false},
    {toolbar_keys::kFinishLayer, "stop", "Finish digitigizing and Quit", true, false},
    {nullptr, nullptr, nullptr, true, true},
    {toolbar_keys::kExport, "export", "Export a layer selected into Google Earth", true, false},
    {toolbar_keys::kDem, "dem", "Get DEM points from Google Earth", true, true},
    {toolbar_keys::kContour, "contour", "Get contour from Google Earth", true, true},
    {nullptr, nullptr, nullptr, true, true},
    {toolbar_keys::kAbort, "abort", "Abort and Quit", true, true},
};

// A button's own image, the one it shows when no lamp blinks on it.
inline std::string ownImage(const std::string& key) {
    for (const auto& row : kToolbarRows) {
        if (row.key != nullptr && key == row.key) {
            return row.imageKey;
        }
    }
    return {};
}

inline constexpr int kToolbarHeight = 390;
inline constexpr int kStatusLeft = 150;
inline constexpr int kStatusTop = 15;
// The tool strip, pixels: a drag handle at its top-left and three click zones.
inline constexpr int kStripPixelWidth = 120;
inline constexpr int kStripPixelHeight = 20;
inline constexpr int kDragHandle = 10;

} // namespace scribeline::window_tables
