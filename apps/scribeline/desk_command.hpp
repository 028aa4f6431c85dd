// `scribeline desk`: the desktop app on the Qt front end.
#pragma once

#include <string>
#include <vector>

namespace scribeline::app {

struct DeskCommand {
    std::vector<std::string> dems;
    std::string project;
    std::string out;
};

// Runs the desktop app until its windows close; the process's exit code. Bad input (no
// display, a file that cannot be read) is reported on standard error with exit code 1.
int RunDesk(const DeskCommand& command, int argc, char** argv);

} // namespace scribeline::app
