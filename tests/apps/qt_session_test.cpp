// Every example session (but the recorded stream, whose vertices depend on real timing) played
// twice by the scribeline binary: on the headless desktop and on the Qt front end with real
// events in real time. Both must give the same report (steps' outcomes, message boxes, layers),
// the same features vertex by vertex, and the same live KML text apart from its LookAt (the
// globe's view when the file was written). Runs under xvfb-run.
#include "tests/support/shell.hpp"

#include <gdal_priv.h>
#include <nlohmann/json.hpp>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kExamples = SCRIBELINE_EXAMPLES;

using Output = scribeline::testing::ShellOutput;
using scribeline::testing::Quote;

// A command line's standard output and errors, and its exit status.
Output Shell(const std::string& command) {
    return scribeline::testing::Shell(command + " 2>&1");
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Vertex {
    double x = 0, y = 0, z = 0;
};

void VerticesOf(const OGRGeometry* g, std::vector<Vertex>& out) {
    if (g == nullptr) {
        return;
    }
    const OGRwkbGeometryType type = wkbFlatten(g->getGeometryType());
    if (type == wkbPoint) {
        const auto* p = g->toPoint();
        out.push_back({p->getX(), p->getY(), p->getZ()});
    } else if (type == wkbLineString || type == wkbLinearRing) {
        const auto* c = g->toSimpleCurve();
        for (int i = 0; i < c->getNumPoints(); ++i) {
            out.push_back({c->getX(i), c->getY(i), c->getZ(i)});
        }
    } else if (type == wkbPolygon) {
        for (const OGRLinearRing* ring : *g->toPolygon()) {
            VerticesOf(ring, out);
        }
    } else if (OGR_GT_IsSubClassOf(type, wkbGeometryCollection)) {
        for (const OGRGeometry* part : *g->toGeometryCollection()) {
            VerticesOf(part, out);
        }
    }
}

struct Feature {
    std::vector<Vertex> vertices;
    std::vector<std::string> attributes; // "NAME=value", every field in order
};

// Every feature's vertices and attributes, in the file's order.
std::vector<Feature> Features(const fs::path& shapefile) {
    std::vector<Feature> out;
    std::unique_ptr<GDALDataset> ds(
        GDALDataset::Open(shapefile.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds || ds->GetLayerCount() < 1) {
        ADD_FAILURE() << "cannot open " << shapefile;
        return out;
    }
    for (auto& feature : *ds->GetLayer(0)) {
        out.emplace_back();
        VerticesOf(feature->GetGeometryRef(), out.back().vertices);
        for (int i = 0; i < feature->GetFieldCount(); ++i) {
            out.back().attributes.push_back(std::string(feature->GetFieldDefnRef(i)->GetNameRef()) +
                                            "=" + feature->GetFieldAsString(i));
        }
    }
    return out;
}

// The live KML text without its LookAt element.
std::string WithoutLookAt(std::string kml) {
    static constexpr std::string_view open = "<LookAt>", close = "</LookAt>";
    for (auto at = kml.find(open); at != std::string::npos; at = kml.find(open, at)) {
        const auto end = kml.find(close, at);
        if (end == std::string::npos) {
            break;
        }
        const auto after = kml.find_first_not_of(" \t\r\n", end + close.size());
        kml.erase(at, (after == std::string::npos ? kml.size() : after) - at);
    }
    return kml;
}

// The report's layers written in the session (with height sources), by name.
std::map<std::string, json> WrittenLayers(const json& report) {
    std::map<std::string, json> out;
    for (const json& layer : report["layers"]) {
        if (layer.contains("zSources")) {
            out[layer["name"].get<std::string>()] = layer;
        }
    }
    return out;
}

// The report's files, screen shots' times blanked out.
std::vector<std::string> FileNames(const json& report) {
    // "Scribeline-YYYYMMDD-HHMMSS.bmp"
    const auto isShot = [](std::string_view name) {
        static constexpr std::string_view shape = "Scribeline-99999999-999999.bmp";
        if (name.size() != shape.size()) {
            return false;
        }
        for (std::size_t i = 0; i < name.size(); ++i) {
            const bool digit = name[i] >= '0' && name[i] <= '9';
            if (shape[i] == '9' ? !digit : name[i] != shape[i]) {
                return false;
            }
        }
        return true;
    };
    std::vector<std::string> out;
    for (const json& file : report["files"]) {
        std::string name = file.get<std::string>();
        const auto slash = name.find_last_of('/');
        const auto base = slash == std::string::npos ? 0 : slash + 1;
        if (isShot(std::string_view(name).substr(base))) {
            name.replace(base, std::string::npos, "Scribeline-(time).bmp");
        }
        out.push_back(std::move(name));
    }
    std::sort(out.begin(), out.end());
    return out;
}

class QtSessionBase : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            if (std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true") {
                FAIL() << "no DISPLAY: this test runs under xvfb-run (package xvfb)";
            }
            GTEST_SKIP() << "no DISPLAY and not in CI: run it under xvfb-run";
        }
        GDALAllRegister();
        dir_ = fs::temp_directory_path() /
               ("scribeline-qt-session-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    // Plays the example (or the session file `session` when given); its report. `status`: the
    // exit status expected.
    json Play(const std::string& name, const std::string& desktop, int status = 0,
              const fs::path& session = {}) {
        const fs::path out = dir_ / desktop;
        std::string extra;
        if (name == "user_dem") {
            const fs::path dem = dir_ / "mound.tif";
            if (!fs::exists(dem)) {
                const Output made =
                    Shell(Quote(kExamples / "user_dem" / "make_dem.sh") + " " + Quote(dem));
                EXPECT_EQ(made.status, 0) << made.text;
            }
            extra = " --dem " + Quote(dem);
        }
        const Output run = Shell(std::string(SCRIBELINE_BIN) + " run " +
                                 Quote(session.empty() ? kExamples / (name + ".json") : session) +
                                 " --desktop " + desktop + " --out " + Quote(out) + extra);
        EXPECT_EQ(run.status, status) << desktop << ": " << run.text;
        std::ifstream in(out / "report.json");
        if (!in) {
            ADD_FAILURE() << desktop << ": no report";
            return json::object();
        }
        return json::parse(in);
    }
    fs::path dir_;
};

class QtSession : public QtSessionBase, public ::testing::WithParamInterface<const char*> {};
class QtSessionErrors : public QtSessionBase {};

// The two reports agree on everything but times and places.
void ExpectSameOutcome(const json& headless, const json& qt) {
    EXPECT_EQ(qt["completed"], headless["completed"]) << qt["error"];
    EXPECT_EQ(qt["error"], headless["error"]);
    EXPECT_EQ(qt["endedActiveRun"], headless["endedActiveRun"]);
    // What every step came to, and every message box with its answer.
    EXPECT_EQ(qt["steps"].dump(1), headless["steps"].dump(1));
    EXPECT_EQ(qt["messageBoxes"].dump(1), headless["messageBoxes"].dump(1));

    const auto layersH = WrittenLayers(headless);
    const auto layersQ = WrittenLayers(qt);
    ASSERT_EQ(layersQ.size(), layersH.size());
    for (const auto& [layer, h] : layersH) {
        SCOPED_TRACE(layer);
        ASSERT_EQ(layersQ.count(layer), 1u);
        const json& q = layersQ.at(layer);
        EXPECT_EQ(q["geometry"], h["geometry"]);
        EXPECT_EQ(q["hasZ"], h["hasZ"]);
        EXPECT_EQ(q["features"], h["features"]);
        EXPECT_EQ(q["zSources"], h["zSources"]);
        const auto featuresH = Features(h["path"].get<std::string>());
        const auto featuresQ = Features(q["path"].get<std::string>());
        ASSERT_EQ(featuresQ.size(), featuresH.size());
        for (std::size_t f = 0; f < featuresH.size(); ++f) {
            EXPECT_EQ(featuresQ[f].attributes, featuresH[f].attributes) << "feature " << f;
            const auto& verticesH = featuresH[f].vertices;
            const auto& verticesQ = featuresQ[f].vertices;
            ASSERT_EQ(verticesQ.size(), verticesH.size()) << "feature " << f;
            for (std::size_t v = 0; v < verticesH.size(); ++v) {
                const Vertex& a = verticesH[v];
                const Vertex& b = verticesQ[v];
                EXPECT_NEAR(b.x, a.x, 1e-9) << "feature " << f << " vertex " << v;
                EXPECT_NEAR(b.y, a.y, 1e-9) << "feature " << f << " vertex " << v;
                EXPECT_EQ(b.z, a.z) << "feature " << f << " vertex " << v;
            }
        }
    }

    // The same files written (screen shots are named after the clock, which differs).
    EXPECT_EQ(FileNames(qt), FileNames(headless));

    ASSERT_EQ(qt["liveKml"].is_null(), headless["liveKml"].is_null());
    if (!headless["liveKml"].is_null()) {
        const fs::path h = headless["liveKml"].get<std::string>();
        const fs::path q = qt["liveKml"].get<std::string>();
        EXPECT_EQ(q.filename(), h.filename());
        const std::string kmlH = WithoutLookAt(ReadText(h));
        EXPECT_EQ(WithoutLookAt(ReadText(q)), kmlH);
    }
}

TEST_P(QtSession, SameReportFeaturesAndLiveKmlAsHeadless) {
    const std::string name = GetParam();
    const json headless = Play(name, "headless");
    const json qt = Play(name, "qt");
    ASSERT_FALSE(headless.empty());
    ASSERT_FALSE(qt.empty());
    EXPECT_EQ(headless["completed"], true) << headless["error"];
    ExpectSameOutcome(headless, qt);
    if (!headless["liveKml"].is_null()) {
        EXPECT_NE(ReadText(headless["liveKml"].get<std::string>()).find("<coordinates>"),
                  std::string::npos)
            << "the comparison saw the feature";
    }
}

// A step that cannot be played ends the session on both alike: the active run is closed as
// the close box closes it, the error is in the report, the exit status is 2.
TEST_F(QtSessionErrors, AStepThatCannotBePlayedEndsBothAlike) {
    const fs::path session = dir_ / "stops.json";
    std::ofstream(session) << R"({ "scribelineSession": 1,
      "camera": { "latitude": 46.38, "longitude": 9.9, "range": 150000 },
      "steps": [
        { "do": "command" },
        { "do": "select", "control": "optGeometryType", "option": "Polyline" },
        { "do": "toolbar", "key": "start" },
        { "do": "clicks", "at": [[300, 180], [500, 200]], "everyMs": 1000 },
        { "do": "toolbar", "key": "finishfeature" },
        { "do": "clicks", "at": [[420, 340]], "everyMs": 1000 },
        { "do": "choose", "control": "cboSelectLayer", "item": "No such layer" },
        { "do": "toolbar", "key": "finishlayer" } ] })";
    const json headless = Play("stops", "headless", 2, session);
    const json qt = Play("stops", "qt", 2, session);
    ASSERT_FALSE(headless.empty());
    ASSERT_FALSE(qt.empty());
    EXPECT_EQ(headless["completed"], false);
    EXPECT_EQ(headless["endedActiveRun"], true);
    EXPECT_NE(headless["error"].get<std::string>().find("No such layer"), std::string::npos);
    ExpectSameOutcome(headless, qt);
}

INSTANTIATE_TEST_SUITE_P(Examples, QtSession,
                         ::testing::Values("polygon", "polyline", "points", "attributes",
                                           "user_dem", "views", "dem_grid", "contours"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param);
                         });

// Without a display the Qt front end is refused before anything runs, with the reason.
TEST(QtSessionCommandLine, WithoutADisplayItSaysSoAndExitsWithOne) {
    const Output run =
        Shell("env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(SCRIBELINE_BIN) + " run " +
              Quote(kExamples / "polygon.json") + " --desktop qt --out /nonexistent/never");
    EXPECT_EQ(run.status, 1) << run.text;
    EXPECT_NE(run.text.find("DISPLAY"), std::string::npos) << run.text;
    EXPECT_NE(run.text.find("xvfb-run"), std::string::npos) << run.text;
    EXPECT_FALSE(fs::exists("/nonexistent/never"));
}

TEST(QtSessionCommandLine, HelpDescribesTheDesktopOption) {
    const Output help = Shell(std::string(SCRIBELINE_BIN) + " run --help");
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--desktop", "headless", "qt", "DISPLAY", "xvfb-run"}) {
        EXPECT_NE(help.text.find(word), std::string::npos) << word << " in\n" << help.text;
    }
}

TEST(QtSessionCommandLine, AnUnknownDesktopIsRefused) {
    const Output run = Shell(std::string(SCRIBELINE_BIN) + " run " +
                             Quote(kExamples / "polygon.json") + " --desktop gtk");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.text.find("gtk"), std::string::npos) << run.text;
}

} // namespace
