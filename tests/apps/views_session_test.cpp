// examples/views.json played by the runner: both views synchronised, both status reports in
// their message boxes, and three screen shots saved as bitmap files.
#include "apps/scribeline/session_runner.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;
using scribeline::app::LoadSession;
using scribeline::app::RunOptions;
using scribeline::app::RunSession;

namespace {

std::vector<unsigned char> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(ViewsExample, ViewsReportsAndScreenShots) {
    const fs::path out =
        fs::temp_directory_path() / ("scribeline-apps-views-" + std::to_string(::getpid()));
    fs::remove_all(out);
    RunOptions options;
    options.outDir = out;
    const json report =
        RunSession(LoadSession(fs::path(SCRIBELINE_EXAMPLES) / "views.json"), options);
    ASSERT_TRUE(report["completed"].get<bool>()) << report["error"];

    // The globe report before and after the globe was zoomed out and flown back, then the
    // map report.
    ASSERT_EQ(report["messageBoxes"].size(), 3u) << report["messageBoxes"];
    EXPECT_EQ(report["messageBoxes"][0]["title"], "Info about your Google Earth");
    const json& earth = report["messageBoxes"][1];
    EXPECT_EQ(earth["title"], "Info about your Google Earth");
    const std::string earthText = earth["text"].get<std::string>();
    EXPECT_EQ(earthText.rfind("Version: 7.3.9345\r\nType: Google Earth Free\r\nNavigation: True\r\n"
                              "Terrain Layer: True\r\n",
                              0),
              0u)
        << earthText;
    const json& map = report["messageBoxes"][2];
    EXPECT_EQ(map["title"], "LineScribe");
    const std::string mapText = map["text"].get<std::string>();
    EXPECT_EQ(mapText.rfind("Version: ArcEditor\r\nspatial reference name: GCS_WGS_1984\r\n"
                            "spatial reference EPSG: 4326\r\nmap unit: Decimal Degree\r\n",
                            0),
              0u)
        << mapText;

    // The globe is back over the Alps at the map's width (the map shows what the globe showed
    // at the start): its view extents in the report enclose the place the session started
    // from, and the range is nearly the first one again.
    auto value = [&](const std::string& label) {
        const auto at = earthText.find(label);
        EXPECT_NE(at, std::string::npos) << label;
        return std::stod(earthText.substr(at + label.size()));
    };
    EXPECT_LT(value("West:  "), 10.5);
    EXPECT_GT(value("East:  "), 10.5);
    EXPECT_LT(value("South: "), 46.5);
    EXPECT_GT(value("North: "), 46.5);
    EXPECT_NEAR(value("Range: "), 400000.0, 400000.0 * 0.05);

    // Three shots, about a second apart, named by the time they were saved: the render view,
    // the map view and the desktop.
    std::vector<std::string> names;
    for (const json& file : report["files"]) {
        const std::string name = file.get<std::string>();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".bmp") {
            EXPECT_EQ(name.rfind("Scribeline-20260101-0900", 0), 0u) << name;
            EXPECT_EQ(name.size(), std::string("Scribeline-20260101-090001.bmp").size()) << name;
            names.push_back(name); // the report sorts them, so by time
        }
    }
    const std::vector<std::pair<int, int>> sizes = {{800, 500}, {1032, 796}, {1920, 1080}};
    ASSERT_EQ(names.size(), sizes.size()) << report["files"];
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto bytes = ReadBytes(out / names[i]);
        ASSERT_GE(bytes.size(), 54u) << names[i];
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(U32(bytes, 2), bytes.size());
        EXPECT_EQ(U32(bytes, 18), static_cast<std::uint32_t>(sizes[i].first)) << names[i];
        EXPECT_EQ(U32(bytes, 22), static_cast<std::uint32_t>(sizes[i].second)) << names[i];
        const std::size_t row = (static_cast<std::size_t>(sizes[i].first) * 3 + 3) / 4 * 4;
        EXPECT_EQ(bytes.size(), 54 + row * static_cast<std::size_t>(sizes[i].second)) << names[i];
    }
    std::error_code ignored;
    fs::remove_all(out, ignored);
}

} // namespace
