// The session runner in-process: bad sessions get errors naming the step and the field
// (golden texts), and the report has its documented shape.
#include "apps/scribeline/session_runner.hpp"

#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;
using scribeline::app::LoadSession;
using scribeline::app::ParseSession;
using scribeline::app::RunOptions;
using scribeline::app::RunSession;
using scribeline::app::SessionError;

namespace {

const fs::path kData = fs::path(SCRIBELINE_TEST_DATA) / "apps";

using scribeline::testing::ReadFile;

// A fresh folder for one test, removed afterwards.
class TempFolder {
public:
    explicit TempFolder(const std::string& name)
        : path_(fs::temp_directory_path() /
                ("scribeline-apps-" + name + "-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    [[nodiscard]] const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The error a session gets, from parsing or, when it parses, from playing it.
std::string ErrorOf(const fs::path& file, const fs::path& out) {
    try {
        const auto session = LoadSession(file);
        RunOptions options;
        options.outDir = out;
        (void)RunSession(session, options);
    } catch (const SessionError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

// Every malformed session in tests/data/apps/bad, with the text a user sees: the file, the
// step and the field, and what is wrong. Names of toolbar keys, menu items, controls and
// positions are checked against the loaded window before anything is played.
TEST(SessionErrors, NameTheStepAndTheFieldGolden) {
    TempFolder out("errors"); // one folder: the default map is copied once
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kData / "bad")) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::string actual;
    for (const auto& file : files) {
        actual += ErrorOf(file, out.path()) + "\n";
    }
    EXPECT_EQ(actual, ReadFile(kData / "session_errors.txt"));
}

TEST(SessionErrors, MissingFileAndNonObjectSteps) {
    EXPECT_THROW((void)LoadSession(kData / "no-such-session.json"), SessionError);
    try {
        (void)ParseSession(R"({"scribelineSession": 1, "steps": [ "command" ]})", "s.json");
        FAIL() << "a step that is not an object parsed";
    } catch (const SessionError& e) {
        EXPECT_STREQ(e.what(),
                     "s.json: step 1, field \"do\": expected a step object, found a string");
    }
}

TEST(SessionErrors, DefaultsOfOptionalFields) {
    const auto s = ParseSession(R"({"scribelineSession": 1, "steps": [
        {"do": "drag", "path": [[1, 2], [3, 4]]},
        {"do": "clicks", "at": [[5, 6]]},
        {"do": "wheel", "at": [7, 8]},
        {"do": "answer"},
        {"do": "picture", "of": "map"}]})",
                                "d.json");
    ASSERT_EQ(s.steps.size(), 5U);
    EXPECT_EQ(s.steps[0].name, "left");
    EXPECT_EQ(s.steps[0].ms, 100);
    EXPECT_EQ(s.steps[1].ms, 600);
    EXPECT_EQ(s.steps[2].value, -120);
    EXPECT_EQ(s.steps[3].value, 1);
    EXPECT_FALSE(s.steps[3].titled);
    EXPECT_EQ(s.steps[4].text, "map-step5.png");
}

// The report of a session that works the window without digitizing: message boxes with their
// titles and steps, the outcome of every step, the files written, pictures.
TEST(SessionReport, ShapeAndContents) {
    TempFolder out("report");
    const auto session = ParseSession(R"({"scribelineSession": 1,
        "description": "report shape",
        "steps": [
          {"do": "command"},
          {"do": "menu", "item": "MeasureTrack"},
          {"do": "select", "control": "optGeometryType", "option": "Polygon"},
          {"do": "scroll", "control": "vscrollRecordPPS", "value": 3},
          {"do": "type", "control": "txtRecordPPS", "text": "6x"},
          {"do": "key", "keys": "Ctrl+I"},
          {"do": "toolbar", "key": "finishlayer"},
          {"do": "answer", "title": "Scribeline for ArcMap", "result": "ok"},
          {"do": "toolbar", "key": "setgeview"},
          {"do": "wait", "ms": 250},
          {"do": "picture", "of": "globe", "file": "early.png"},
          {"do": "close"}
        ]})",
                                      "report.json");
    std::vector<std::string> progress;
    RunOptions options;
    options.outDir = out.path();
    options.progress = [&](const std::string& line) { progress.push_back(line); };
    const json report = RunSession(session, options);

    EXPECT_EQ(report, json::parse(ReadFile(out.path() / "report.json")));
    EXPECT_EQ(report["session"], "report.json");
    EXPECT_EQ(report["description"], "report shape");
    EXPECT_TRUE(report["completed"].get<bool>());
    EXPECT_TRUE(report["error"].is_null());
    EXPECT_FALSE(report["endedActiveRun"].get<bool>());
    // The wait, and the 50 ms between the two flights of setgeview.
    EXPECT_EQ(report["virtualTimeMs"], 300);

    ASSERT_EQ(report["steps"].size(), 12U);
    EXPECT_EQ(report["steps"][4]["outcome"], "typed; the box shows \"6\"");
    EXPECT_EQ(report["steps"][6]["outcome"], "ignored: the button is disabled or hidden");
    EXPECT_EQ(report["steps"][8]["outcome"], "done");
    ASSERT_EQ(progress.size(), 12U);
    EXPECT_EQ(progress.front(), "step 1/12 command");
    EXPECT_EQ(progress.back(), "step 12/12 close");

    // The globe flew to the map's extent without a message; the finishlayer press that
    // nothing answered left no box either.
    EXPECT_TRUE(report["messageBoxes"].empty()) << report["messageBoxes"];

    // The default map is copied into the output folder and is in the map.
    EXPECT_EQ(report["files"], json::array({"early.png", "world_map.gpkg"}));
    ASSERT_EQ(report["layers"].size(), 3U);
    EXPECT_EQ(report["layers"][2]["name"], "countries");
    EXPECT_EQ(report["layers"][2]["geometry"], "polygon");
    EXPECT_GT(report["layers"][2]["features"].get<int>(), 200);
    EXPECT_TRUE(report["liveKml"].is_null());
    EXPECT_EQ(report["pictures"]["globe"], (fs::canonical(out.path()) / "early.png").string());
    EXPECT_TRUE(fs::file_size(out.path() / "early.png") > 1000);
}
