// Runs through the core against the QGIS host, beside the same runs against the GDAL host:
// the same clicks on the same simulated globe must leave the same shapefile bytes (except the
// date a dBASE file keeps in its header). A failed save and a layer removed mid-run must reach
// the person as the window's error box, losing nothing that was stored before.
#include "command/frmGE2Arc.hpp"
#include "composition/default_subsystems.hpp"
#include "digitizing/basDigitizing.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "hosts/globe/headless_attach.hpp"
#include "tests/doubles/failure_boxes.hpp"
#include "tests/hosts/qgis/qgis_support.hpp"

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace scribeline::qgis::testing {
namespace {

namespace fs = std::filesystem;

// The whole program on the headless desktop and the simulated globe, over either map host.
class Session {
public:
    explicit Session(bool qgis) {
        if (qgis) {
            windows_ = std::make_unique<QgisWindows>();
            host_ = std::make_shared<QgisHost>(windows_->Parts(), HeadlessRegistrar(desk));
        } else {
            host_ = std::make_shared<gis::GisHost>(desk, gis::HeadlessOptions(desk));
        }
        window = std::make_unique<frmGE2Arc>(Environment{desk, earth->Connector()}, process,
                                             DefaultSubsystems());
        window->SetApplication(host_);
        window->Load();
        window->Show(false);
        process.windowOpen = true;
    }
    ~Session() {
        window.reset();
        host_.reset();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Press(const std::string& key) { window->ctl.toolbarScribeline.UserClick(key); }
    void Click(int dx, int dy) {
        const Size s = earth->RenderSize();
        const Point p =
            *desk.ClientToScreen(earth->RenderWindow(), {s.width / 2 + dx, s.height / 2 + dy});
        desk.InjectMouse(MouseMessage::LeftDown, p);
        desk.InjectMouse(MouseMessage::LeftUp, p);
        desk.AdvanceTime(digitizing::kClickTickMs);
    }
    void LookAt(double latitude, double longitude, double range) {
        auto ge = earth->CreateApplication();
        ICameraInfoGE camera;
        camera.FocusPointLatitude = latitude;
        camera.FocusPointLongitude = longitude;
        camera.Range = range;
        ge->SetCamera(camera, 5.0);
        desk.AdvanceTime(6000);
    }
    fs::path RunFile(int run, const std::string& extension) {
        return fs::path(desk.GetTempPath()) /
               ("~tempDigitizeFromGE" + std::to_string(run) + extension);
    }
    IMap& Map() { return *host_->Document()->FocusMap(); }
    std::shared_ptr<IFeatureLayer> TopLayer() {
        return std::dynamic_pointer_cast<IFeatureLayer>(Map().Layer(0));
    }
    IEditor& Editor() { return *host_->FindExtensionByCLSID("esriCore.Editor"); }
    QgisWindows& Windows() { return *windows_; }

    desktop::HeadlessDesktop desk{desktop::DesktopOptions{}};
    std::unique_ptr<globe::SimulatedGlobe> earth = globe::StartHeadlessGlobe(desk);
    ProcessState process;
    std::unique_ptr<frmGE2Arc> window;

private:
    std::unique_ptr<QgisWindows> windows_;
    std::shared_ptr<IMapApplication> host_;
};

std::string bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(in.good()) << file;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The files of run `run` in both sessions are the same, byte for byte; a dBASE header's
// bytes 1 to 3 (the date of the last update) are left out.
void ExpectSameShapefile(Session& gdal, Session& qgis, int run) {
    for (const char* extension : {".shp", ".shx", ".dbf", ".prj", ".cpg"}) {
        std::string expected = bytes(gdal.RunFile(run, extension));
        std::string actual = bytes(qgis.RunFile(run, extension));
        ASSERT_FALSE(expected.empty()) << extension;
        if (std::string(extension) == ".dbf" && expected.size() > 4 && actual.size() > 4) {
            expected.replace(1, 3, "YMD");
            actual.replace(1, 3, "YMD");
        }
        EXPECT_EQ(actual.size(), expected.size()) << extension;
        EXPECT_TRUE(actual == expected) << extension << " differs";
    }
}

class QgisRunTest : public ::testing::Test {
protected:
    void SetUp() override { SCRIBELINE_REQUIRE_QGIS(); }
};

// One run: two features of `kind` (1 polylines, 2 polygons), stored in the run's edit session.
void Digitize(Session& s, int kind) {
    s.window->ctl.optGeometryType.UserSelect(kind);
    s.Press("start");
    ASSERT_TRUE(s.window->state.digitizingActive);
    s.Click(-80, -40);
    s.Click(20, -60);
    s.Click(70, 10);
    s.Press("finishfeature");
    s.Click(-30, 40);
    s.Click(40, 60);
    s.Click(-50, 70);
    s.Press("finishlayer");
}

class SameBytesTest : public QgisRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(SameBytesTest, DigitizingRunWritesTheSameShapefileAsTheGdalHost) {
    Session gdal(false);
    Session qgis(true);
    Digitize(gdal, GetParam());
    Digitize(qgis, GetParam());
    EXPECT_TRUE(scribeline::testing::FailureTexts(gdal.desk).empty());
    ASSERT_TRUE(scribeline::testing::FailureTexts(qgis.desk).empty())
        << scribeline::testing::FailureTexts(qgis.desk).front();
    EXPECT_FALSE(qgis.window->IsLoaded());
    ExpectSameShapefile(gdal, qgis, 1);
    // The run's layer is in the QGIS project, in WGS 1984 like the map.
    ASSERT_GE(qgis.Map().LayerCount(), 1);
    EXPECT_EQ(qgis.TopLayer()->FeatureClass()->FeatureCount(nullptr), 2);
    EXPECT_EQ(qgis.TopLayer()->FeatureClass()->ShapeType(),
              GetParam() == 1 ? GeometryType::Polyline : GeometryType::Polygon);
    EXPECT_EQ(qgis.Map().SpatialReference()->FactoryCode(), 4326);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SameBytesTest, ::testing::Values(1, 2));

// The terrain commands store straight through the provider, without an edit session.
TEST_F(QgisRunTest, DemSamplingWritesTheSameShapefileAsTheGdalHost) {
    Session gdal(false);
    Session qgis(true);
    for (Session* s : {&gdal, &qgis}) {
        s->LookAt(46.5, 10.5, 40000.0); // the Alps, low enough to sample
        s->window->Options().SetChecked("SaveAltitude2TableField", true);
        s->Press("dem");
    }
    EXPECT_TRUE(scribeline::testing::FailureTexts(gdal.desk).empty());
    ASSERT_TRUE(scribeline::testing::FailureTexts(qgis.desk).empty())
        << scribeline::testing::FailureTexts(qgis.desk).front();
    ASSERT_EQ(qgis.TopLayer()->FeatureClass()->FeatureCount(nullptr), 36);
    ExpectSameShapefile(gdal, qgis, 1);
}

// Root ignores file modes, so the save is made to fail the way a full disk would: writes past
// the process's file size limit fail (EFBIG) while the limit holds.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { Lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    void Lift() {
        if (active_) {
            ::setrlimit(RLIMIT_FSIZE, &previous_);
            std::signal(SIGXFSZ, previousHandler_);
            active_ = false;
        }
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool active_ = true;
};

TEST_F(QgisRunTest, AFailedSaveShowsTheErrorBoxAndLosesNoFeature) {
    Session qgis(true);
    qgis.window->ctl.optGeometryType.UserSelect(1);
    qgis.Press("start");
    qgis.Click(-80, -40);
    qgis.Click(20, -60);
    qgis.Press("finishfeature");
    qgis.Click(-30, 40);
    qgis.Click(40, 60);
    {
        // No room at all: nothing of the save reaches the files.
        FileSizeLimit limit(1);
        qgis.Press("finishlayer");
    }
    const auto failures = scribeline::testing::FailureTexts(qgis.desk);
    ASSERT_EQ(failures.size(), 1U);
    EXPECT_NE(failures[0].find("StopEditing"), std::string::npos) << failures[0];
    EXPECT_NE(failures[0].find("QGIS could not save the edits"), std::string::npos) << failures[0];
    bool titled = false;
    for (const auto& box : qgis.desk.MessageBoxes()) {
        titled = titled || box.title == "Scribeline for ArcMap";
    }
    EXPECT_TRUE(titled);
    // The session is still open with both features; saving again, with room, keeps them.
    EXPECT_EQ(qgis.Editor().EditState(), kEditStateEditing);
    auto layer = qgis.TopLayer();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->FeatureClass()->FeatureCount(nullptr), 2);
    qgis.Editor().StopEditing(true);
    EXPECT_EQ(qgis.Editor().EditState(), kEditStateNotEditing);
    auto reopened = gis::Workspace::OpenShapefileFolder(qgis.desk.GetTempPath())
                        ->OpenFeatureClass("~tempDigitizeFromGE1");
    EXPECT_EQ(reopened->FeatureCount(nullptr), 2);
}

TEST_F(QgisRunTest, ALayerRemovedDuringARunIsReportedNotACrash) {
    Session qgis(true);
    qgis.window->ctl.optGeometryType.UserSelect(1);
    qgis.Press("start");
    qgis.Click(-80, -40);
    qgis.Click(20, -60);
    auto layer = qgis.TopLayer();
    ASSERT_NE(layer, nullptr);
    RemoveFromProject(qgis.Windows(), *layer);
    qgis.Press("finishfeature");
    qgis.Click(-30, 40);
    qgis.Press("finishlayer");
    const auto failures = scribeline::testing::FailureTexts(qgis.desk);
    ASSERT_FALSE(failures.empty());
    EXPECT_NE(failures.front().find("was removed from the project"), std::string::npos)
        << failures.front();
}

} // namespace
} // namespace scribeline::qgis::testing
