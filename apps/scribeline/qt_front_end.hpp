// The Qt front end of `scribeline run --desktop qt`: the desktop app's windows (digitizer,
// globe, map) on the Qt desktop, worked with real Qt events in real time.
#pragma once

#include "apps/scribeline/front_end.hpp"

#include <memory>

namespace scribeline::app {

// Starts the Qt desktop, the simulated globe in its window (laid out and aimed as on the
// headless desktop, so that a session's client points land on the same ground), the map
// window and the command. A QApplication must exist (after DisplayProblem found a display).
// Raises std::runtime_error naming the file for a DEM, base Earth or map that cannot be used.
std::unique_ptr<FrontEnd> StartQtFrontEnd(const FrontEndSetup& setup);

} // namespace scribeline::app
