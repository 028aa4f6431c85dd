// `scribeline desk`: the desktop app on the Qt front end.
#pragma once

#include <string>
#include <vector>

namespace scribeline::app {

struct DeskCommand {
    std::vector<std::string> dems;
    std::string project;
    std::string out;
    // Write a picture of the screen here once the windows are drawn, then quit.
    std::string screenshot;
    // Press the Scribeline command once the windows are up.
    bool open = false;
};

// Runs the desktop app until its windows close; the process's exit code. Bad input (no
// display, a file that cannot be read) is reported on standard error with exit code 1.
int RunDesk(const DeskCommand& command, int argc, char** argv);

} // namespace scribeline::app
