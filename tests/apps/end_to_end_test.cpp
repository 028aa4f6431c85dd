// The examples and the runner checked with tools no one here wrote: ogrinfo (feature count,
// geometry type, WGS 84, vertices), gdallocationinfo (z against the DEM), xmllint and GDAL's
// KML driver (the live KML files); a session that ends mid-run; and a long recorded session
// killed with SIGKILL while it runs.
#include "apps/scribeline/session_runner.hpp"
#include "tests/support/shell.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;
using scribeline::app::LoadSession;
using scribeline::app::ParseSession;
using scribeline::app::RunOptions;
using scribeline::app::RunSession;

namespace {

const fs::path kExamples = SCRIBELINE_EXAMPLES;
const fs::path kData = fs::path(SCRIBELINE_TEST_DATA) / "apps";

using Output = scribeline::testing::ShellOutput;
using scribeline::testing::Quote;
using scribeline::testing::Shell;

struct Vertex {
    double x = 0;
    double y = 0;
    double z = 0;
};

// The vertices of every geometry ogrinfo prints in WKT, in order.
std::vector<Vertex> VerticesOf(const std::string& ogrinfo) {
    std::vector<Vertex> out;
    std::istringstream lines(ogrinfo);
    std::string line;
    while (std::getline(lines, line)) {
        const auto start = line.find_first_not_of(' ');
        if (start == std::string::npos || start == 0) {
            continue; // geometries are indented under their feature
        }
        const std::string rest = line.substr(start);
        bool geometry = false;
        for (const char* kind : {"POINT", "LINESTRING", "POLYGON", "MULTIPOINT"}) {
            geometry = geometry || rest.rfind(kind, 0) == 0;
        }
        const auto open = rest.find('(');
        const auto close = rest.rfind(')');
        if (!geometry || open == std::string::npos || close == std::string::npos) {
            continue;
        }
        std::string body = rest.substr(open + 1, close - open - 1);
        for (char& c : body) {
            if (c == '(' || c == ')') {
                c = ' ';
            }
        }
        std::istringstream tuples(body);
        std::string tuple;
        while (std::getline(tuples, tuple, ',')) {
            std::istringstream numbers(tuple);
            Vertex v;
            numbers >> v.x >> v.y;
            if (!(numbers >> v.z)) {
                v.z = 0;
            }
            out.push_back(v);
        }
    }
    return out;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class TempFolder {
public:
    explicit TempFolder(const std::string& name)
        : path_(fs::temp_directory_path() /
                ("scribeline-e2e-" + name + "-" + std::to_string(::getpid()))) {
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

// A DEM over the Alps the examples look at, as an ESRI ASCII grid: smooth hills between about
// 700 and 2300 m, posts every 0.025 degrees (cell centres, as GDAL reads the format).
class TestDem {
public:
    static constexpr double kWest = 5.0;
    static constexpr double kSouth = 43.0;
    static constexpr double kCell = 0.025;
    static constexpr int kColumns = 440; // to 16 E
    static constexpr int kRows = 280;    // to 50 N

    explicit TestDem(const fs::path& file) : file_(file) {
        // gdallocationinfo -wgs84 needs the grid's reference system.
        std::ofstream(fs::path(file).replace_extension(".prj"))
            << "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,"
               "298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433],"
               "AUTHORITY[\"EPSG\",\"4326\"]]\n";
        std::ofstream out(file);
        out << "ncols " << kColumns << "\nnrows " << kRows << "\nxllcorner " << kWest
            << "\nyllcorner " << kSouth << "\ncellsize " << kCell << "\nNODATA_value -9999\n";
        char text[32];
        for (int row = 0; row < kRows; ++row) {
            for (int col = 0; col < kColumns; ++col) {
                std::snprintf(text, sizeof text, "%.2f ", Post(row, col));
                out << text;
            }
            out << '\n';
        }
    }
    [[nodiscard]] const fs::path& File() const { return file_; }

    // Post (row from the north, column from the west), metres.
    static double Post(int row, int col) {
        const double lon = kWest + (col + 0.5) * kCell;
        const double lat = kSouth + (kRows - row - 0.5) * kCell;
        return std::round((1500.0 + 600.0 * std::sin(lon * 2.0) * std::cos(lat * 3.0)) * 100.0) /
               100.0;
    }

    // The lowest and highest of the four posts around a position: bilinear sampling lies
    // between them, and so at most their spread away from the nearest post.
    static std::pair<double, double> Around(double lon, double lat) {
        const double fx = (lon - kWest) / kCell - 0.5;
        const double fy = (kSouth + kRows * kCell - lat) / kCell - 0.5;
        const int c0 = static_cast<int>(std::floor(fx));
        const int r0 = static_cast<int>(std::floor(fy));
        double lo = 1e9;
        double hi = -1e9;
        for (int r = r0; r <= r0 + 1; ++r) {
            for (int c = c0; c <= c0 + 1; ++c) {
                const double v = Post(std::clamp(r, 0, kRows - 1), std::clamp(c, 0, kColumns - 1));
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
        return {lo, hi};
    }

private:
    fs::path file_;
};

// The DEM's value at each vertex (the nearest post), from one gdallocationinfo call with the
// positions written to `positions` and given on stdin; fewer values than vertices when the
// call failed.
std::vector<double> DemValuesAt(const TestDem& dem, const std::vector<Vertex>& vertices,
                                const fs::path& positions) {
    {
        std::ofstream out(positions);
        out.precision(12);
        for (const Vertex& v : vertices) {
            out << v.x << ' ' << v.y << '\n';
        }
    }
    const Output heights = Shell(std::string(GDALLOCATIONINFO) + " -wgs84 -valonly " +
                                 Quote(dem.File()) + " < " + Quote(positions));
    EXPECT_EQ(heights.status, 0) << heights.text;
    std::istringstream text(heights.text);
    std::vector<double> values;
    double value = 0;
    while (values.size() < vertices.size() && text >> value) {
        values.push_back(value);
    }
    return values;
}

struct ExampleCase {
    const char* file;
    int features;
    const char* geometry; // as ogrinfo names it
    bool liveKml;         // click runs write one; a recorded stream shows itself without a file
};

constexpr double kRayTolerance = 0.5; // metres

class Examples : public ::testing::TestWithParam<ExampleCase> {};

// Every example on a DEM: the run's shapefile in ogrinfo, its z values against
// gdallocationinfo, its live KML in xmllint and in GDAL's KML driver.
//
// Tolerance for z: gdallocationinfo gives the nearest post, the globe samples bilinearly
// between the four posts around a point, so |z - nearest| may reach the spread of those four
// posts (at most 45 m on this DEM, 0.025 degree posts; it is taken at each vertex), and z lies
// between the lowest and the highest of them; kRayTolerance more is allowed for where the
// ray's ground hit stops.
TEST_P(Examples, ShapefileAndLiveKmlCheckedByGdalAndXmllint) {
    const ExampleCase& c = GetParam();
    TempFolder folder(fs::path(c.file).stem().string());
    const TestDem dem(folder.path() / "alps.asc");
    RunOptions options;
    options.outDir = folder.path() / "out";
    options.dems = {dem.File()};
    options.pictures = false; // rendering the world map costs more than the whole run
    const json report = RunSession(LoadSession(kExamples / c.file), options);
    ASSERT_TRUE(report["completed"].get<bool>());
    for (const json& box : report["messageBoxes"]) {
        EXPECT_EQ(box["text"].get<std::string>().find("failed"), std::string::npos) << box;
    }

    const fs::path shp = fs::canonical(options.outDir) / "~tempDigitizeFromGE1.shp";
    const Output summary = Shell(std::string(OGRINFO) + " -ro -so -al " + Quote(shp));
    ASSERT_EQ(summary.status, 0) << summary.text;
    EXPECT_NE(summary.text.find("Feature Count: " + std::to_string(c.features) + "\n"),
              std::string::npos)
        << summary.text;
    EXPECT_NE(summary.text.find(std::string("Geometry: ") + c.geometry + "\n"), std::string::npos)
        << summary.text;
    EXPECT_NE(summary.text.find("GEOGCRS[\"WGS 84\""), std::string::npos) << summary.text;
    EXPECT_NE(summary.text.find("ID[\"EPSG\",4326]"), std::string::npos) << summary.text;

    const Output features = Shell(std::string(OGRINFO) + " -ro -al -q " + Quote(shp));
    ASSERT_EQ(features.status, 0);
    const std::vector<Vertex> vertices = VerticesOf(features.text);
    ASSERT_GE(vertices.size(), static_cast<std::size_t>(c.features));
    if (c.file == std::string("attributes.json")) {
        // The values typed into the grid, in the fields defined in the dialog.
        EXPECT_NE(features.text.find("NAME (String) = Ortler group"), std::string::npos)
            << features.text;
        EXPECT_NE(features.text.find("CLASS (Integer) = 3"), std::string::npos) << features.text;
    }

    // z against the DEM, all vertices in one gdallocationinfo call.
    const std::vector<double> posts = DemValuesAt(dem, vertices, folder.path() / "positions.txt");
    ASSERT_EQ(posts.size(), vertices.size()) << "gdallocationinfo gave fewer values than vertices";
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const Vertex& v = vertices[i];
        const double nearest = posts[i];
        const auto [lo, hi] = TestDem::Around(v.x, v.y);
        EXPECT_NEAR(v.z, nearest, hi - lo + kRayTolerance) << v.x << ' ' << v.y;
        EXPECT_GE(v.z, lo - kRayTolerance) << v.x << ' ' << v.y;
        EXPECT_LE(v.z, hi + kRayTolerance) << v.x << ' ' << v.y;
    }

    if (!c.liveKml) {
        EXPECT_TRUE(report["liveKml"].is_null());
        return;
    }
    ASSERT_TRUE(report["liveKml"].is_string());
    const fs::path kml = report["liveKml"].get<std::string>();
    for (const json& file : report["liveKmlFiles"]) {
        const Output lint =
            Shell(std::string(XMLLINT) + " --noout " + Quote(file.get<std::string>()) + " 2>&1");
        EXPECT_EQ(lint.status, 0) << lint.text;
    }
    const Output placemarks = Shell(std::string(OGRINFO) + " -ro -al -q " + Quote(kml));
    ASSERT_EQ(placemarks.status, 0) << placemarks.text;
    EXPECT_EQ(Count(placemarks.text, "OGRFeature("), 1) << placemarks.text;
    // The placemark holds the feature's vertices (a ring repeats its first one).
    auto key = [](const Vertex& v) {
        return std::make_pair(std::llround(v.x * 1e6), std::llround(v.y * 1e6));
    };
    std::set<std::pair<long long, long long>> inShapefile;
    std::set<std::pair<long long, long long>> inKml;
    for (const Vertex& v : vertices) {
        inShapefile.insert(key(v));
    }
    for (const Vertex& v : VerticesOf(placemarks.text)) {
        inKml.insert(key(v));
    }
    EXPECT_EQ(inKml, inShapefile) << placemarks.text;
}

INSTANTIATE_TEST_SUITE_P(
    AllExamples, Examples,
    ::testing::Values(ExampleCase{"polygon.json", 1, "3D Polygon", true},
                      ExampleCase{"polyline.json", 1, "3D Line String", true},
                      ExampleCase{"points.json", 5, "3D Point", true},
                      ExampleCase{"recorded_stream.json", 1, "3D Line String", false},
                      ExampleCase{"attributes.json", 1, "3D Polygon", true},
                      // 10 by 6 samples joined: 7 rows, then 11 columns.
                      ExampleCase{"dem_grid.json", 18, "3D Line String", false}),
    [](const ::testing::TestParamInfo<ExampleCase>& param) {
        return fs::path(param.param.file).stem().string();
    });

// The contour example on the DEM: every feature is a two-point line at a level 100 m from the
// next, and the ground under each of its vertices (gdallocationinfo) is near that level. The
// tracer interpolates linearly inside cells of the 20 by 20 sampled grid (about 2.4 km) and
// treats the grid as rectilinear, so a vertex may lie some way off the true contour: the
// tolerance is a third of the interval.
TEST(EndToEnd, ContourExampleTracesLevelsThatTheDemConfirms) {
    TempFolder folder("contours");
    const TestDem dem(folder.path() / "alps.asc");
    RunOptions options;
    options.outDir = folder.path() / "out";
    options.dems = {dem.File()};
    options.pictures = false;
    const json report = RunSession(LoadSession(kExamples / "contours.json"), options);
    ASSERT_TRUE(report["completed"].get<bool>());
    EXPECT_TRUE(report["messageBoxes"].empty()) << report["messageBoxes"];

    const fs::path shp = fs::canonical(options.outDir) / "~tempDigitizeFromGE1.shp";
    const Output summary = Shell(std::string(OGRINFO) + " -ro -so -al " + Quote(shp));
    ASSERT_EQ(summary.status, 0) << summary.text;
    EXPECT_NE(summary.text.find("Geometry: 3D Line String\n"), std::string::npos) << summary.text;
    const Output features = Shell(std::string(OGRINFO) + " -ro -al -q " + Quote(shp));
    ASSERT_EQ(features.status, 0);
    const int count = Count(features.text, "OGRFeature(");
    ASSERT_GT(count, 10);
    EXPECT_EQ(Count(features.text, "_Name (String) = contour"), count);
    const std::vector<Vertex> vertices = VerticesOf(features.text);
    ASSERT_EQ(vertices.size(), 2u * static_cast<std::size_t>(count));

    const std::vector<double> posts = DemValuesAt(dem, vertices, folder.path() / "positions.txt");
    ASSERT_EQ(posts.size(), vertices.size()) << "gdallocationinfo gave fewer values than vertices";
    std::set<long long> levels;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const Vertex& v = vertices[i];
        const double ground = posts[i];
        EXPECT_EQ(v.z, std::round(v.z)) << "levels are whole metres";
        EXPECT_NEAR(ground, v.z, 100.0 / 3.0) << v.x << ' ' << v.y;
        if (i % 2 == 1) {
            EXPECT_EQ(v.z, vertices[i - 1].z) << "both ends at the level";
        }
        levels.insert(std::llround(v.z));
    }
    ASSERT_GE(levels.size(), 2u);
    for (auto it = std::next(levels.begin()); it != levels.end(); ++it) {
        EXPECT_EQ((*it - *std::prev(it)) % 100, 0) << "levels 100 m apart";
    }
}

// The user-DEM example: its script builds the DEM with GDAL; three clicks land on it and one
// beside it, and the report says so, warns of the one, and the heights on the DEM are the DEM's.
TEST(EndToEnd, UserDemExampleReportsWhereEveryHeightCameFrom) {
    TempFolder folder("user-dem");
    const fs::path dem = folder.path() / "mound.tif";
    const Output made = Shell(Quote(kExamples / "user_dem" / "make_dem.sh") + " " + Quote(dem));
    ASSERT_EQ(made.status, 0) << made.text;
    RunOptions options;
    options.outDir = folder.path() / "out";
    options.dems = {dem};
    options.pictures = false;
    const json report = RunSession(LoadSession(kExamples / "user_dem.json"), options);
    ASSERT_TRUE(report["completed"].get<bool>());
    ASSERT_EQ(report["layers"][0]["name"], "~tempDigitizeFromGE1");
    EXPECT_EQ(report["layers"][0]["zSources"],
              json({{"mound.tif", 3}, {"base Earth (ETOPO5)", 1}}));
    EXPECT_EQ(report["terrain"]["sources"], json({"mound.tif", "base Earth (ETOPO5)"}));
    ASSERT_EQ(report["terrain"]["warnings"].size(), 1u);
    EXPECT_NE(report["terrain"]["warnings"][0].get<std::string>().find("1 vertices"),
              std::string::npos);
    EXPECT_NE(report["terrain"]["baseEarthNote"].get<std::string>().find("5 arc-minutes"),
              std::string::npos);
    // The default map layer the runner copied is not a layer the session wrote.
    for (const json& layer : report["layers"]) {
        if (layer["name"] != "~tempDigitizeFromGE1") {
            EXPECT_FALSE(layer.contains("zSources")) << layer;
        }
    }

    const fs::path shp = fs::canonical(options.outDir) / "~tempDigitizeFromGE1.shp";
    const Output features = Shell(std::string(OGRINFO) + " -ro -al -q " + Quote(shp));
    ASSERT_EQ(features.status, 0);
    const std::vector<Vertex> vertices = VerticesOf(features.text);
    ASSERT_EQ(vertices.size(), 4u);
    // gdallocationinfo reads the nearest post; the mound's posts 10 m apart differ by at most
    // a few metres there.
    for (std::size_t i = 0; i < 3; ++i) {
        const Output z =
            Shell(std::string(GDALLOCATIONINFO) + " -valonly -wgs84 " + Quote(dem) + " " +
                  std::to_string(vertices[i].x) + " " + std::to_string(vertices[i].y));
        ASSERT_EQ(z.status, 0);
        EXPECT_NEAR(vertices[i].z, std::strtod(z.text.c_str(), nullptr), 5.0) << i;
    }
    const Output outside =
        Shell(std::string(GDALLOCATIONINFO) + " -valonly -wgs84 " + Quote(dem) + " " +
              std::to_string(vertices[3].x) + " " + std::to_string(vertices[3].y));
    EXPECT_EQ(outside.text.find_first_of("0123456789"), std::string::npos)
        << "the last click lies outside the DEM: " << outside.text;
}

// Bad input: a DEM GDAL cannot read, one without georeferencing, one of nodata only, and a
// missing base Earth are set-up errors naming the file and the reason: exit status 1, and
// nothing written, not even the output folder.
TEST(EndToEnd, UnusableDemsAndAMissingBaseEarthWriteNothing) {
    TempFolder folder("bad-dem");
    const fs::path garbage = folder.path() / "garbage.tif";
    std::ofstream(garbage) << "no raster here";
    const fs::path blank = folder.path() / "blank.asc";
    std::ofstream(blank) << "ncols 2\nnrows 2\nxllcorner 10\nyllcorner 46\ncellsize 0.1\n"
                            "NODATA_value -9999\n-9999 -9999\n-9999 -9999\n";
    const fs::path metres = folder.path() / "metres.asc";
    std::ofstream(metres) << "ncols 2\nnrows 2\nxllcorner 600000\nyllcorner 5000000\n"
                             "cellsize 1000\n1 2\n3 4\n";
    const fs::path session = kExamples / "polygon.json";
    struct Case {
        std::string args;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"--dem " + Quote(garbage), "cannot open"},
        {"--dem " + Quote(blank), "holds no data"},
        {"--dem " + Quote(metres), "its extent is not in degrees"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path out = folder.path() / ("out" + std::to_string(n++));
        const Output run = Shell(std::string(SCRIBELINE_BIN) + " run " + Quote(session) +
                                 " --out " + Quote(out) + " " + c.args + " 2>&1");
        EXPECT_EQ(run.status, 1) << run.text;
        EXPECT_NE(run.text.find(c.says), std::string::npos) << run.text;
        EXPECT_NE(run.text.find("--dem "), std::string::npos) << run.text;
        EXPECT_FALSE(fs::exists(out)) << c.args;
    }
    RunOptions options;
    options.outDir = folder.path() / "no-earth";
    options.baseEarth = folder.path() / "etopo5.cdf";
    try {
        RunSession(LoadSession(session), options);
        ADD_FAILURE() << "ran without a base Earth";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("ferret-datasets"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("etopo5.cdf"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(options.outDir));
}

// A session that ends during a run: the runner closes the window as a person does, which
// saves the finished feature and drops the unfinished one.
TEST(EndToEnd, SessionEndingMidRunSavesFinishedFeatures) {
    TempFolder folder("mid-run");
    const auto session = ParseSession(R"({"scribelineSession": 1,
        "camera": {"latitude": 46.5, "longitude": 10.5, "range": 400000},
        "steps": [
          {"do": "command"},
          {"do": "toolbar", "key": "start"},
          {"do": "clicks", "at": [[200, 200], [400, 220]]},
          {"do": "toolbar", "key": "finishfeature"},
          {"do": "clicks", "at": [[500, 300], [600, 320]]}
        ]})",
                                      "mid-run.json");
    RunOptions options;
    options.outDir = folder.path();
    options.pictures = false;
    const json report = RunSession(session, options);
    EXPECT_TRUE(report["endedActiveRun"].get<bool>());
    ASSERT_FALSE(report["layers"].empty());
    EXPECT_EQ(report["layers"][0]["name"], "~tempDigitizeFromGE1");
    EXPECT_EQ(report["layers"][0]["features"], 1);
    const Output out = Shell(std::string(OGRINFO) + " -ro -so -al " +
                             Quote(fs::canonical(folder.path()) / "~tempDigitizeFromGE1.shp"));
    EXPECT_NE(out.text.find("Feature Count: 1\n"), std::string::npos) << out.text;
}

// Reliability: a long recorded session is killed with SIGKILL in the middle of its second run.
// The first run's layer, saved when it finished, still opens with every feature. No sleeping:
// the runner is killed as soon as it reports a step of the second run on its progress pipe.
TEST(EndToEnd, SigkillDuringARunLeavesEarlierLayersIntact) {
    TempFolder folder("sigkill");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    // A nearly full pipe of one page: the runner blocks on its progress line until this side
    // has read up to it, so it is never more than a line or two ahead when it is killed (on a
    // busy machine it could otherwise finish the whole session before this side runs).
    ASSERT_GE(::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096), 4096);
    const std::string filler(static_cast<std::size_t>(::fcntl(pipeFds[1], F_GETPIPE_SZ)) - 40,
                             '\n');
    ASSERT_EQ(::write(pipeFds[1], filler.data(), filler.size()),
              static_cast<ssize_t>(filler.size()));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        const std::string session = (kData / "long_record.json").string();
        const std::string out = folder.path().string();
        ::execl(SCRIBELINE_BIN, SCRIBELINE_BIN, "run", session.c_str(), "--out", out.c_str(),
                "--progress", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    // The second run starts at step 15; step 26 finishes its first feature, step 30 is a drag
    // after it, and the run goes on for 100 more steps.
    const std::string target = "step 30/";
    std::string seen;
    char ch = 0;
    bool reached = false;
    while (!reached && ::read(pipeFds[0], &ch, 1) == 1) {
        seen.push_back(ch);
        reached = seen.find(target) != std::string::npos;
    }
    ASSERT_TRUE(reached) << seen;
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the runner had finished";

    const fs::path first = folder.path() / "~tempDigitizeFromGE1.shp";
    const Output out = Shell(std::string(OGRINFO) + " -ro -al -q " + Quote(first));
    ASSERT_EQ(out.status, 0) << out.text;
    EXPECT_EQ(Count(out.text, "OGRFeature("), 3) << out.text;
    EXPECT_EQ(Count(out.text, "LINESTRING Z ("), 3) << out.text;

    // The interrupted run's own layer: created empty when its run began. Its stored features
    // go to a working copy in the edit folder, which only the save at the end of the run puts
    // in place (after writing a commit journal). Killed before that, the layer's own files still
    // hold the empty layer; the working copy is left behind uncommitted, and what it holds of
    // the features finished in the run depends on what the shapefile driver had flushed (here
    // typically nothing: its header still says 0 records). Either way both files open.
    const fs::path second = folder.path() / "~tempDigitizeFromGE2.shp";
    const Output interrupted = Shell(std::string(OGRINFO) + " -ro -so -al " + Quote(second));
    ASSERT_EQ(interrupted.status, 0) << interrupted.text;
    EXPECT_NE(interrupted.text.find("Feature Count: 0\n"), std::string::npos) << interrupted.text;
    const fs::path edits = folder.path() / ".scribeline-edit";
    EXPECT_FALSE(fs::exists(edits / "commit.journal"));
    int copies = 0;
    for (const auto& entry : fs::directory_iterator(edits)) {
        if (entry.path().extension() == ".shp") {
            ++copies;
            const Output copy = Shell(std::string(OGRINFO) + " -ro -so -al " + Quote(entry.path()));
            EXPECT_EQ(copy.status, 0) << copy.text;
        }
    }
    EXPECT_EQ(copies, 1);
}

} // namespace
