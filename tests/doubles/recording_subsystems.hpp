// Subsystems that only record which handler the window called, in order, and do what a test
// tells them to for a handler (set a flag, fail). They stand in for the subsystems that later
// work builds, so the window's dispatch can be checked on its own.
#pragma once

#include "command/frmGE2Arc.hpp"
#include "command/subsystems.hpp"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace scribeline::testing {

struct SubsystemJournal {
    // Handler names in call order, e.g. "cmdExportKML_Click", "TakeScreenShot(2)".
    std::vector<std::string> calls;
    // What a handler does after it was recorded (may raise to make it fail).
    std::map<std::string, std::function<void(frmGE2Arc&)>> behaviour;
    // A snapshot a behaviour can take while the handler runs.
    std::vector<std::string> notes;

    [[nodiscard]] int count(const std::string& call) const;
};

// Every subsystem recording into `journal` (borrowed; must outlive the window).
[[nodiscard]] Subsystems RecordingSubsystems(SubsystemJournal& journal);

// A run that behaves as far as the window sees it: begin sets the digitizing-active flag,
// end and abort clear it.
void ActLikeARun(SubsystemJournal& journal);

} // namespace scribeline::testing
