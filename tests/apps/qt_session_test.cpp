// Every example session (but the recorded stream, whose vertices depend on real timing) played
// twice by the scribeline binary: on the headless desktop and on the Qt front end with real
// events in real time. Both must give the same report (steps' outcomes, message boxes, layers),
// the same features vertex by vertex, and the same live KML text apart from its LookAt (the
// globe's view when the file was written). Runs under xvfb-run.
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
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kExamples = SCRIBELINE_EXAMPLES;

struct Output {
    int status = -1;
    std::string text;
};

Output Shell(const std::string& command) {
    Output out;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
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

std::string Quote(const fs::path& path) {
    std::string out = "'";
    out.append(path.string()).push_back('\'');
    return out;
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

// Every feature's vertices, in the file's order.
std::vector<std::vector<Vertex>> Features(const fs::path& shapefile) {
    std::vector<std::vector<Vertex>> out;
    std::unique_ptr<GDALDataset> ds(
        GDALDataset::Open(shapefile.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds || ds->GetLayerCount() < 1) {
        ADD_FAILURE() << "cannot open " << shapefile;
        return out;
    }
    for (auto& feature : *ds->GetLayer(0)) {
        out.emplace_back();
        VerticesOf(feature->GetGeometryRef(), out.back());
    }
    return out;
}

// The live KML text without its LookAt element.
std::string WithoutLookAt(const std::string& kml) {
    static const std::regex lookAt("<LookAt>[\\s\\S]*?</LookAt>\\s*");
    return std::regex_replace(kml, lookAt, "");
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
    static const std::regex shot("Scribeline-[0-9]{8}-[0-9]{6}\\.bmp");
    std::vector<std::string> out;
    for (const json& file : report["files"]) {
        out.push_back(std::regex_replace(file.get<std::string>(), shot, "Scribeline-(time).bmp"));
    }
    std::sort(out.begin(), out.end());
    return out;
}

class QtSession : public ::testing::TestWithParam<const char*> {
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
    // Plays the example; its report.
    json Play(const std::string& name, const std::string& desktop) {
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
        const Output run =
            Shell(std::string(SCRIBELINE_BIN) + " run " + Quote(kExamples / (name + ".json")) +
                  " --desktop " + desktop + " --out " + Quote(out) + extra);
        EXPECT_EQ(run.status, 0) << desktop << ": " << run.text;
        std::ifstream in(out / "report.json");
        if (!in) {
            ADD_FAILURE() << desktop << ": no report";
            return json::object();
        }
        return json::parse(in);
    }
    fs::path dir_;
};

TEST_P(QtSession, SameReportFeaturesAndLiveKmlAsHeadless) {
    const std::string name = GetParam();
    const json headless = Play(name, "headless");
    const json qt = Play(name, "qt");
    ASSERT_FALSE(headless.empty());
    ASSERT_FALSE(qt.empty());

    EXPECT_EQ(qt["completed"], true) << qt["error"];
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
            ASSERT_EQ(featuresQ[f].size(), featuresH[f].size()) << "feature " << f;
            for (std::size_t v = 0; v < featuresH[f].size(); ++v) {
                const Vertex& a = featuresH[f][v];
                const Vertex& b = featuresQ[f][v];
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
        EXPECT_NE(kmlH.find("<coordinates>"), std::string::npos);
        EXPECT_EQ(WithoutLookAt(ReadText(q)), kmlH);
    }
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
