// Running a shell command line from a test: what it printed on standard output and how it
// exited.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace scribeline::testing {

struct ShellOutput {
    int status = -1; // the exit status; -1 when it did not exit normally or could not start
    std::string text;
};

inline ShellOutput Shell(const std::string& command) {
    ShellOutput out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        out.text.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

// A path as one shell word (paths with a single quote are not supported).
inline std::string Quote(const std::filesystem::path& path) {
    // Built by appending: "'" + ... + "'" trips GCC 12's -Wrestrict false alarm at -O3.
    std::string out = "'";
    out += path.string();
    out += '\'';
    return out;
}

} // namespace scribeline::testing
