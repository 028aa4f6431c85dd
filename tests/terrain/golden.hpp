// Golden files of the terrain tests, under tests/data/terrain. With SCRIBELINE_UPDATE_GOLDEN
// set in the environment a comparison writes the file instead (review the diff before a
// commit).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace scribeline::testing {

inline std::filesystem::path TerrainGoldenPath(const std::string& name) {
    return std::filesystem::path(SCRIBELINE_TEST_DATA) / "terrain" / name;
}

inline void ExpectGolden(const std::string& name, const std::string& actual) {
    const auto path = TerrainGoldenPath(name);
    if (std::getenv("SCRIBELINE_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path;
    std::ostringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str()) << "differs from " << path;
}

} // namespace scribeline::testing
