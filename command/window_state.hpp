// The state the digitizer window shares with its subsystems for one load.
#pragma once

#include "platform/types.hpp"

#include <string>

namespace scribeline {

// The digitizer window's caption, also the title of its message boxes.
inline constexpr const char* kDigitizerCaption = "Scribeline for ArcMap";

struct WindowState {
    std::string tempFolder;  // the user's temporary folder, ending with a separator
    std::string kmlBaseName; // "~tempDigitizeFromGE"
    bool loaded = false;     // false while Form_Load runs
    bool busy = false;       // a terrain command runs: closing is refused
    bool digitizingActive = false;
    // The toolbar action under way; set by "start", "record", "dem", "contour", "export".
    std::string currentButtonKey;
    // The action word of the run: "start" or "record" for a digitizing run, "dem" or
    // "contour" for a terrain command. Steering keys never change it.
    std::string runKey;
    bool finishAllowed = false;  // the feature has enough vertices to be finished
    bool toolStripHover = false; // the pointer highlights a zone of the tool strip
    bool wgs84Set = false;       // the map was put in WGS 1984 since this load
    int vertexCount = 0;
    int demColumns = 5; // DEM resolution M by N
    int demRows = 5;
    bool blinkPhase = false;
    // The picture last placed into the globe's render window, and its parent before.
    WindowHandle reparentedControl = kNoWindow;
    WindowHandle reparentedOldParent = kNoWindow;
    bool lastRecoverSucceeded = false;
};

} // namespace scribeline
