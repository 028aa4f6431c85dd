// The subsystems of this build, as the digitizer window's factories. This library sits at the
// top of the core's library graph: it is the one place that knows every subsystem, linked by
// the apps (and the front ends and the plugin) that make a window.
#pragma once

#include "command/subsystems.hpp"

namespace scribeline {

// Every factory set: the attribute grid, the target layer, the digitizing run, the layer
// export, the terrain commands, the view synchronisation, the status reports and the screen
// shots.
[[nodiscard]] Subsystems DefaultSubsystems();

} // namespace scribeline
