// Files in tests: the one way to read a file whole and the one golden-file comparison.
//
// Golden files live under tests/data/<folder>/. A comparison reads the committed file and
// expects the text byte for byte. Run the tests with SCRIBELINE_UPDATE_GOLDEN=1 to write the
// actual texts into the golden files instead (then review the diff before committing).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace scribeline::testing {

// The bytes of a file; a file that cannot be read fails the test and gives "".
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The path of a file under tests/data, e.g. DataPath("kml/export_points.kml").
inline std::filesystem::path DataPath(const std::filesystem::path& relative) {
    return std::filesystem::path(SCRIBELINE_TEST_DATA) / relative;
}

// Whether this run rewrites golden files (SCRIBELINE_UPDATE_GOLDEN=1).
inline bool UpdatingGoldens() {
    const char* update = std::getenv("SCRIBELINE_UPDATE_GOLDEN");
    return update != nullptr && std::string(update) == "1";
}

// The text of a golden file under tests/data, e.g. Golden("views/arc_status_wgs84.txt").
inline std::string Golden(const std::filesystem::path& relative) {
    return ReadFile(DataPath(relative));
}

// Whether `actual` equals the golden file `relative` (under tests/data), byte for byte. With
// SCRIBELINE_UPDATE_GOLDEN=1 the file is rewritten with `actual` instead, which succeeds.
[[nodiscard]] inline ::testing::AssertionResult
MatchesGolden(const std::string& actual, const std::filesystem::path& relative) {
    const std::filesystem::path path = DataPath(relative);
    if (UpdatingGoldens()) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << actual;
        return ::testing::AssertionSuccess();
    }
    const std::string expected = ReadFile(path);
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    return ::testing::AssertionFailure()
           << "differs from the golden file " << path << " at byte " << at
           << " (SCRIBELINE_UPDATE_GOLDEN=1 rewrites it)\n--- actual ---\n"
           << actual << "\n--- golden ---\n"
           << expected;
}

inline void ExpectGolden(const std::string& actual, const std::filesystem::path& relative) {
    EXPECT_TRUE(MatchesGolden(actual, relative));
}

} // namespace scribeline::testing
