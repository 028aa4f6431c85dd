// Shared helpers of the KML tests: the golden camera, per-test folders (golden files and
// ReadFile come from tests/support/files.hpp).
#pragma once

#include "command/globe_port.hpp"
#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace scribeline::testing {

// The camera every golden document's LookAt is built from.
inline ICameraInfoGE GoldenCamera() {
    ICameraInfoGE c;
    c.FocusPointLongitude = 11.5755;
    c.FocusPointLatitude = 48.1374;
    c.FocusPointAltitude = 520.25;
    c.FocusPointAltitudeMode = 1;
    c.Range = 1500.5;
    c.Tilt = 35.5;
    c.Azimuth = -12.25;
    return c;
}

// A fresh folder named after the running test, removed with the object.
class TestFolder {
public:
    TestFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("scribeline-kml-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace scribeline::testing
