// Shared helpers of the map host tests: a fresh folder per test and running the field's tools.
#pragma once

#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace scribeline::gis::testing {

// A folder of its own for one test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("scribeline-gis-" + std::string(info != nullptr ? info->name() : "test") + "-" +
                 std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

// Standard output of a command line (standard error discarded).
inline std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        out.append(buffer.data(), n);
    }
    ::pclose(pipe);
    return out;
}

inline std::string Quote(const std::filesystem::path& p) {
    std::string quoted(1, '\'');
    quoted.append(p.string());
    quoted.push_back('\'');
    return quoted;
}

using scribeline::testing::ExpectGolden;
using scribeline::testing::ReadFile;

// Replaces every occurrence of `from` in `text`.
inline std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

} // namespace scribeline::gis::testing
