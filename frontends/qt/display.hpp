// Whether a graphical session can start: checked before Qt is asked for one, because Qt ends
// the process (an abort, not an error) when it cannot open its platform.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace scribeline::frontend {

// The environment as a lookup of variables (empty optional: unset).
using Environment = std::function<std::optional<std::string>(const std::string&)>;

// The process's own environment.
Environment ProcessEnvironment();

// Nothing when a display is there to use; otherwise the sentence that tells the user what is
// missing and how to run without one (naming DISPLAY and xvfb-run). A platform chosen with
// QT_QPA_PLATFORM (offscreen, xcb, wayland ...) is taken as the user's word, except xcb without
// DISPLAY. `xServerReachable` says whether the X display named by DISPLAY answers; empty:
// assumed to.
std::optional<std::string>
DisplayProblem(const Environment& environment,
               const std::function<bool(const std::string&)>& xServerReachable = {});

// Whether the X server of a display name (":0", ":99.0", "unix:1", "host:0") accepts a
// connection: the local socket for local names; remote names are assumed reachable.
bool XServerReachable(const std::string& display);

} // namespace scribeline::frontend
