#include "kml/basKML.hpp"

#include "hosts/desktop/headless_desktop.hpp"

#include "fake_globe.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <locale>
#include <string>
#include <vector>

namespace scribeline {
namespace {

namespace fs = std::filesystem;
using testing::ExpectGolden;
using testing::FakeGlobe;
using testing::GoldenCamera;
using testing::MatchesGolden;
using testing::ReadFile;

// The four vertices of the golden documents; their numbers exercise the number format.
const std::vector<MapPoint> kVertices = {
    {11.5, 48.1, 520.0},
    {-122.08, 37.4219999, 0.0001},
    {0.00001, -33.8688, 1.5E+15},
    {1.0 / 3.0, 0.1 + 0.2, -0.0},
};

// Sample (i, j) of the 2 x 3 golden grid: lon 10 + j / 4, lat 47 + i / 2, alt 100 i + j + 0.5,
// stored row-first with the stride of the terrain arrays.
struct GoldenGrid {
    static constexpr std::size_t kStride = 1001;
    std::vector<double> x = std::vector<double>(3 * kStride);
    std::vector<double> y = std::vector<double>(3 * kStride);
    std::vector<double> z = std::vector<double>(3 * kStride);
    GoldenGrid() {
        for (std::size_t i = 0; i <= 2; ++i) {
            for (std::size_t j = 0; j <= 3; ++j) {
                const auto di = static_cast<double>(i);
                const auto dj = static_cast<double>(j);
                x[i * kStride + j] = 10.0 + dj / 4.0;
                y[i * kStride + j] = 47.0 + di / 2.0;
                z[i * kStride + j] = 100.0 * di + dj + 0.5;
            }
        }
    }
    [[nodiscard]] SampleGridView View() const { return {x, y, z, kStride}; }
};

class BasKmlTest : public ::testing::Test {
protected:
    void SetUp() override {
        globe.camera = GoldenCamera();
        liveFile = folder / "~tempDigitizeFromGE1.kml";
    }

    std::span<const MapPoint> First(int n) const {
        return std::span<const MapPoint>(kVertices).first(static_cast<std::size_t>(n));
    }

    FakeGlobe globe;
    desktop::HeadlessDesktop desktop;
    int delayMs = 30;
    basKML kml{desktop, [this] { return delayMs; }};
    testing::TestFolder testFolder;
    const fs::path& folder = testFolder.path();
    fs::path liveFile;
};

// ---- the live document -------------------------------------------------------------------

struct DocumentCase {
    int kind;
    int count;
    bool lastOnly;
    const char* golden;
};

TEST_F(BasKmlTest, LiveDocumentForEveryKindCountAndLastOnly) {
    const std::vector<DocumentCase> cases = {
        {0, 0, true, "live_empty_width8.kml"},
        {0, 0, false, "live_empty_width8.kml"},
        {0, 1, true, "live_point_n1_last.kml"},
        {0, 1, false, "live_point_n1_all.kml"},
        {0, 2, true, "live_point_n2_last.kml"},
        {0, 2, false, "live_point_n2_all.kml"},
        {0, 4, true, "live_point_n4_last.kml"},
        {0, 4, false, "live_point_n4_all.kml"},
        {1, 0, true, "live_empty_width2.kml"},
        {1, 0, false, "live_empty_width2.kml"},
        {1, 1, true, "live_empty_width2.kml"},
        {1, 1, false, "live_empty_width2.kml"},
        {1, 2, true, "live_polyline_n2.kml"},
        {1, 2, false, "live_polyline_n2.kml"},
        {1, 4, true, "live_polyline_n4_last.kml"},
        {1, 4, false, "live_polyline_n4_all.kml"},
        {2, 0, true, "live_empty_width8.kml"},
        {2, 0, false, "live_empty_width8.kml"},
        {2, 1, true, "live_empty_width8.kml"},
        {2, 1, false, "live_empty_width8.kml"},
        {2, 2, true, "live_polygon_n2.kml"},
        {2, 2, false, "live_polygon_n2.kml"},
        {2, 4, true, "live_polygon_n4.kml"},
        {2, 4, false, "live_polygon_n4.kml"},
        // Unknown kinds write no geometry and the wide line.
        {3, 4, false, "live_empty_width8.kml"},
        {-1, 4, true, "live_empty_width8.kml"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(MatchesGolden(kml.BuildFeatureKml(globe, kVertices, c.count, c.kind,
                                                      kLiveFeatureIconColour, c.lastOnly,
                                                      kAltitudeModeClampToGround),
                                  std::string("kml/") + c.golden))
            << "kind " << c.kind << ", n " << c.count << ", last-only " << c.lastOnly;
    }
}

// A window keeps one basKML for a whole run, so one document after another shares most of its
// vertices with the one before; each must read as if built afresh.
TEST_F(BasKmlTest, SuccessiveDocumentsMatchFreshlyBuiltOnes) {
    std::vector<MapPoint> shape;
    auto fresh = [&](int kind) {
        basKML other{desktop, [] { return 30; }};
        return other.BuildFeatureKml(globe, shape, static_cast<int>(shape.size()), kind, "ffffff00",
                                     false, "clampToGround");
    };
    auto reused = [&](int kind) {
        return kml.BuildFeatureKml(globe, shape, static_cast<int>(shape.size()), kind, "ffffff00",
                                   false, "clampToGround");
    };
    for (int i = 0; i < 6; ++i) {
        shape.push_back({11.0 + i * 0.125, 48.0 - i * 0.25, 500.0 + i});
        for (int kind : {1, 2}) {
            ASSERT_EQ(reused(kind), fresh(kind)) << "after adding vertex " << i;
        }
    }
    shape.pop_back(); // the last vertex removed
    EXPECT_EQ(reused(1), fresh(1));
    shape[2].z = -0.0; // a vertex in the middle changed
    EXPECT_EQ(reused(2), fresh(2));
    shape[0].x = 12.5; // the first one
    EXPECT_EQ(reused(1), fresh(1));
    shape.clear();
    EXPECT_EQ(reused(1), fresh(1));
}

TEST_F(BasKmlTest, LiveDocumentReadsVerticesAcrossGeometryParts) {
    Geometry g = Geometry::empty(GeometryType::Polyline);
    g.parts = {{kVertices[0], kVertices[1], kVertices[2]}, {kVertices[3]}};
    ExpectGolden(kml.BuildFeatureKml(globe, g, 4, 1, kLiveFeatureIconColour, false,
                                     kAltitudeModeClampToGround),
                 "kml/live_polyline_n4_all.kml");
    ExpectGolden(kml.BuildFeatureKml(globe, g, 4, 1, kLiveFeatureIconColour, true,
                                     kAltitudeModeClampToGround),
                 "kml/live_polyline_n4_last.kml");
}

TEST_F(BasKmlTest, LiveDocumentRefreshesTheStoredCameraFirst) {
    EXPECT_FALSE(kml.HasStoredCamera());
    globe.camera.FocusPointAltitudeMode = 4;
    globe.camera.Tilt = -3.0;
    const std::string text =
        kml.BuildFeatureKml(globe, kVertices, 0, 1, "ffffff00", false, "clampToGround");
    EXPECT_EQ(globe.calls, std::vector<std::string>{"GetCamera"});
    EXPECT_EQ(globe.lastConsiderTerrain, 1);
    EXPECT_TRUE(kml.HasStoredCamera());
    EXPECT_EQ(kml.StoredCamera().Tilt, -3.0) << "the stored camera is kept as read";
    EXPECT_NE(text.find("<tilt>0</tilt><heading>-12.25</heading>"
                        "<altitudeMode>relativeToGround</altitudeMode>"),
              std::string::npos);
}

TEST_F(BasKmlTest, LiveDocumentRejectsBadInput) {
    EXPECT_THROW(
        (void)kml.BuildFeatureKml(globe, kVertices, 5, 1, "ffffff00", false, "clampToGround"),
        std::out_of_range);
    EXPECT_THROW(
        (void)kml.BuildFeatureKml(globe, kVertices, -1, 1, "ffffff00", false, "clampToGround"),
        std::out_of_range);
    globe.camera.FocusPointAltitudeMode = 6;
    EXPECT_THROW(
        (void)kml.BuildFeatureKml(globe, kVertices, 2, 1, "ffffff00", false, "clampToGround"),
        std::out_of_range);
    globe.camera = GoldenCamera();
    globe.failing = {"GetCamera"};
    EXPECT_THROW(
        (void)kml.BuildFeatureKml(globe, kVertices, 2, 1, "ffffff00", false, "clampToGround"),
        PortError);
}

TEST_F(BasKmlTest, DocumentsIgnoreACommaDecimalLocale) {
    const std::string oldC = std::setlocale(LC_ALL, nullptr);
    const std::locale oldGlobal;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "the de_DE.UTF-8 locale is missing (install locales-all)";
    std::locale::global(std::locale("de_DE.UTF-8"));

    ExpectGolden(kml.BuildFeatureKml(globe, kVertices, 4, 2, kLiveFeatureIconColour, false,
                                     kAltitudeModeClampToGround),
                 "kml/live_polygon_n4.kml");
    const GoldenGrid grid;
    kml.ShowSampleMesh(globe, grid.View(), 2, 3);
    kml.WriteFeatureKmlFile(globe, liveFile, kVertices, 4, 1, kLiveFeatureIconColour);

    std::locale::global(oldGlobal);
    std::setlocale(LC_ALL, oldC.c_str());
    ASSERT_EQ(globe.loadedTexts.size(), 1U);
    ExpectGolden(globe.loadedTexts[0], "kml/sample_mesh.kml");
    ExpectGolden(ReadFile(liveFile), "kml/file_polyline_n4.kml");
}

// ---- the file --------------------------------------------------------------------------------

TEST_F(BasKmlTest, FileHoldsTheWholeFeatureAndAFinalLineEnd) {
    // A longer old file must be cut, not overwritten in place.
    std::ofstream(liveFile) << std::string(20000, 'x');
    kml.WriteFeatureKmlFile(globe, liveFile, kVertices, 4, 1, kLiveFeatureIconColour);
    ExpectGolden(ReadFile(liveFile), "kml/file_polyline_n4.kml");
    kml.WriteFeatureKmlFile(globe, liveFile, kVertices, 2, 0, kLiveFeatureIconColour);
    ExpectGolden(ReadFile(liveFile), "kml/file_point_n2.kml");
}

TEST_F(BasKmlTest, FileThatCannotBeCreatedRaises) {
    EXPECT_THROW(kml.WriteFeatureKmlFile(globe, folder / "missing" / "a.kml", kVertices, 2, 1,
                                         kLiveFeatureIconColour),
                 KmlFileError);
}

// ---- live update, clearing, loading ----------------------------------------------------------

TEST_F(BasKmlTest, LiveUpdateAsTextSendsTheNewestPiece) {
    kml.ShowFeatureInEarth(globe, false, 0, First(2), liveFile, true);
    EXPECT_EQ(globe.calls, (std::vector<std::string>{"SetAutoPilotSpeed", "GetCamera", "GetCamera",
                                                     "LoadKmlData"}));
    EXPECT_EQ(globe.autoPilotSpeed, 5.0);
    ASSERT_EQ(globe.loadedTexts.size(), 1U);
    ExpectGolden(globe.loadedTexts[0], "kml/live_point_n2_last.kml");
    EXPECT_FALSE(fs::exists(liveFile)) << "text mode leaves the file alone";

    // In state "record" the whole feature goes over at once.
    kml.ShowFeatureInEarth(globe, false, 1, kVertices, liveFile, false);
    ASSERT_EQ(globe.loadedTexts.size(), 2U);
    ExpectGolden(globe.loadedTexts[1], "kml/live_polyline_n4_all.kml");
}

TEST_F(BasKmlTest, LiveUpdateThroughTheFileRewritesTheWholeFeature) {
    kml.ShowFeatureInEarth(globe, true, 1, kVertices, liveFile, true);
    EXPECT_EQ(globe.calls, (std::vector<std::string>{"SetAutoPilotSpeed", "GetCamera", "GetCamera",
                                                     "OpenKmlFile"}));
    EXPECT_EQ(globe.openedFiles, std::vector<std::string>{liveFile.string()});
    EXPECT_EQ(globe.lastSuppressMessages, 1);
    EXPECT_TRUE(globe.loadedTexts.empty());
    ExpectGolden(ReadFile(liveFile), "kml/file_polyline_n4.kml");
}

TEST_F(BasKmlTest, LiveUpdateWithoutVerticesClearsThroughTheFileInBothModes) {
    for (bool useFile : {false, true}) {
        globe.calls.clear();
        fs::remove(liveFile);
        kml.ShowFeatureInEarth(globe, useFile, 2, First(0), liveFile, true);
        EXPECT_EQ(globe.calls,
                  (std::vector<std::string>{"SetAutoPilotSpeed", "GetCamera", "OpenKmlFile"}))
            << "use-file " << useFile;
        ExpectGolden(ReadFile(liveFile), "kml/file_cleared_polygon.kml");
    }
}

TEST_F(BasKmlTest, ClearingWritesThePlacemarkWithoutGeometry) {
    kml.ClearFeatureInEarth(globe, 2, kVertices, liveFile);
    ExpectGolden(ReadFile(liveFile), "kml/file_cleared_polygon.kml");
    EXPECT_EQ(globe.openedFiles, std::vector<std::string>{liveFile.string()});
    EXPECT_EQ(globe.autoPilotSpeed, 5.0);
    EXPECT_EQ(globe.CountOf("SetCamera"), 0);
}

TEST_F(BasKmlTest, LoadKmlTextHandsTheTextOverUnchanged) {
    const std::string text = "<kml>\r\n  any text, even not KML\n</kml>";
    kml.LoadKmlText(globe, text);
    EXPECT_EQ(globe.calls,
              (std::vector<std::string>{"SetAutoPilotSpeed", "GetCamera", "LoadKmlData"}));
    EXPECT_EQ(globe.loadedTexts, std::vector<std::string>{text});
    EXPECT_EQ(globe.autoPilotSpeed, 5.0);
    EXPECT_TRUE(kml.HasStoredCamera());
}

TEST_F(BasKmlTest, OpenKmlInEarthOpensQuietly) {
    kml.OpenKmlInEarth(globe, folder / "~tempExportToGE.kml");
    EXPECT_EQ(globe.calls, std::vector<std::string>{"OpenKmlFile"});
    EXPECT_EQ(globe.openedFiles,
              std::vector<std::string>{(folder / "~tempExportToGE.kml").string()});
    EXPECT_EQ(globe.lastSuppressMessages, 1);
}

// ---- DEM samples -----------------------------------------------------------------------------

TEST_F(BasKmlTest, SamplePointIsOneAbsolutePointInItsOwnColour) {
    kml.ShowSamplePoint(globe, -122.08, 37.4219999, 0.0001);
    EXPECT_EQ(globe.calls, (std::vector<std::string>{"SetAutoPilotSpeed", "GetCamera", "GetCamera",
                                                     "LoadKmlData"}));
    ASSERT_EQ(globe.loadedTexts.size(), 1U);
    ExpectGolden(globe.loadedTexts[0], "kml/sample_point.kml");
}

TEST_F(BasKmlTest, SampleGridIsRowLinesThenColumnLines) {
    const GoldenGrid grid;
    kml.ShowSampleGrid(globe, grid.View(), 2, 3);
    EXPECT_EQ(globe.calls, (std::vector<std::string>{"GetCamera", "LoadKmlData"}))
        << "no auto-pilot speed for the grid";
    ASSERT_EQ(globe.loadedTexts.size(), 1U);
    ExpectGolden(globe.loadedTexts[0], "kml/sample_grid.kml");
}

TEST_F(BasKmlTest, SampleMeshIsOneCellPerPlacemark) {
    const GoldenGrid grid;
    kml.ShowSampleMesh(globe, grid.View(), 2, 3);
    EXPECT_EQ(globe.calls, (std::vector<std::string>{"GetCamera", "LoadKmlData"}));
    ASSERT_EQ(globe.loadedTexts.size(), 1U);
    ExpectGolden(globe.loadedTexts[0], "kml/sample_mesh.kml");
}

TEST_F(BasKmlTest, SampleGridOfOneRowHasNoCells) {
    const GoldenGrid grid;
    kml.ShowSampleMesh(globe, grid.View(), 0, 3);
    kml.ShowSampleGrid(globe, grid.View(), 0, 0);
    ASSERT_EQ(globe.loadedTexts.size(), 2U);
    EXPECT_EQ(globe.loadedTexts[0].find("<Placemark>"), std::string::npos);
    EXPECT_EQ(globe.loadedTexts[1].find("<Polygon>"), std::string::npos);
    EXPECT_NE(globe.loadedTexts[1].find("<coordinates>10,47,0.5 \r\n"), std::string::npos);
}

TEST_F(BasKmlTest, SampleIndicesOutsideTheArraysRaiseBeforeAnyCall) {
    const GoldenGrid grid;
    EXPECT_THROW(kml.ShowSampleGrid(globe, grid.View(), -1, 3), std::out_of_range);
    EXPECT_THROW(kml.ShowSampleGrid(globe, grid.View(), 2, -1), std::out_of_range);
    EXPECT_THROW(kml.ShowSampleGrid(globe, grid.View(), 3, 3), std::out_of_range);
    EXPECT_THROW(kml.ShowSampleMesh(globe, grid.View(), 2, 1001), std::out_of_range);
    SampleGridView shortZ = grid.View();
    shortZ.z = shortZ.z.first(10);
    EXPECT_THROW(kml.ShowSampleMesh(globe, shortZ, 2, 3), std::out_of_range);
    EXPECT_TRUE(globe.calls.empty());
}

// ---- failures ----------------------------------------------------------------------------------

// A camera that needs the reset: tilted below the horizon, altitude absolute.
ICameraInfoGE TiltedCamera() {
    ICameraInfoGE c = GoldenCamera();
    c.Tilt = -3.0;
    c.FocusPointAltitudeMode = 2;
    return c;
}

void ExpectResetTo(const FakeGlobe& globe, const ICameraInfoGE& expected) {
    ASSERT_EQ(globe.setCameras.size(), 1U);
    const ICameraInfoGE& c = globe.setCameras[0];
    EXPECT_EQ(c.Tilt, expected.Tilt < 0.0 ? 0.0 : expected.Tilt);
    EXPECT_EQ(c.FocusPointAltitudeMode, 1);
    EXPECT_EQ(c.FocusPointLatitude, expected.FocusPointLatitude);
    EXPECT_EQ(c.FocusPointLongitude, expected.FocusPointLongitude);
    EXPECT_EQ(c.FocusPointAltitude, expected.FocusPointAltitude);
    EXPECT_EQ(c.Range, expected.Range);
    EXPECT_EQ(c.Azimuth, expected.Azimuth);
    EXPECT_EQ(globe.setCameraSpeeds[0], 5.0);
    EXPECT_EQ(globe.calls.back(), "SetCamera") << "the reset comes last";
}

TEST_F(BasKmlTest, LoadKmlTextRecoversWhenTheLoadFails) {
    globe.camera = TiltedCamera();
    globe.failing = {"LoadKmlData"};
    delayMs = 60;
    int timerRuns = 0;
    desktop.SetTimer(10, [&timerRuns] { ++timerRuns; });
    std::int64_t flownAt = -1;
    globe.observer = [&](const std::string& operation) {
        if (operation == "SetCamera") {
            flownAt = desktop.TickCount();
        }
    };
    EXPECT_NO_THROW(kml.LoadKmlText(globe, "<kml/>"));
    ExpectResetTo(globe, TiltedCamera());
    EXPECT_EQ(flownAt, 60) << "waits the current delay, then flies";
    EXPECT_EQ(timerRuns, 0) << "the wait is a plain sleep: nothing runs meanwhile";
    EXPECT_TRUE(desktop.MessageBoxes().empty());
    // The reset changed the stored camera itself.
    EXPECT_EQ(kml.StoredCamera().Tilt, 0.0);
    EXPECT_EQ(kml.StoredCamera().FocusPointAltitudeMode, 1);
}

TEST_F(BasKmlTest, OpenKmlInEarthRecoversToTheCameraStoredEarlier) {
    kml.LoadKmlText(globe, "<kml/>"); // stores the golden camera
    globe.camera = TiltedCamera();    // not read again: opening a file reads no camera
    globe.failing = {"OpenKmlFile"};
    EXPECT_NO_THROW(kml.OpenKmlInEarth(globe, liveFile));
    ExpectResetTo(globe, GoldenCamera());
    EXPECT_EQ(desktop.TickCount(), 30);
    EXPECT_TRUE(desktop.MessageBoxes().empty());
}

TEST_F(BasKmlTest, ClearingRecoversWhenOpeningFails) {
    globe.camera = TiltedCamera();
    globe.failing = {"OpenKmlFile"};
    EXPECT_NO_THROW(kml.ClearFeatureInEarth(globe, 1, kVertices, liveFile));
    ExpectResetTo(globe, TiltedCamera());
    EXPECT_TRUE(fs::exists(liveFile)) << "the file was written before the open failed";
    EXPECT_EQ(desktop.TickCount(), 30);
}

TEST_F(BasKmlTest, ClearingRecoversWhenTheFileCannotBeWritten) {
    globe.camera = TiltedCamera();
    EXPECT_NO_THROW(kml.ClearFeatureInEarth(globe, 1, kVertices, folder / "missing" / "a.kml"));
    EXPECT_EQ(globe.CountOf("OpenKmlFile"), 0);
    ExpectResetTo(globe, TiltedCamera());
    EXPECT_TRUE(desktop.MessageBoxes().empty());
}

TEST_F(BasKmlTest, ClearingRecoversFromABadCameraAltitudeMode) {
    globe.camera.FocusPointAltitudeMode = 9;
    EXPECT_NO_THROW(kml.ClearFeatureInEarth(globe, 1, kVertices, liveFile));
    ASSERT_EQ(globe.setCameras.size(), 1U);
    EXPECT_EQ(globe.setCameras[0].FocusPointAltitudeMode, 1);
    EXPECT_EQ(globe.setCameras[0].Tilt, 35.5) << "a tilt of 0 or more stays";
}

TEST_F(BasKmlTest, FailuresDuringTheResetAreIgnored) {
    globe.camera = TiltedCamera();
    globe.failing = {"LoadKmlData", "SetCamera"};
    EXPECT_NO_THROW(kml.LoadKmlText(globe, "<kml/>"));
    EXPECT_EQ(globe.CountOf("SetCamera"), 1);
    basKML noDelay(desktop, []() -> int { throw std::runtime_error("no delay"); });
    EXPECT_NO_THROW(noDelay.LoadKmlText(globe, "<kml/>"));
    EXPECT_EQ(globe.CountOf("SetCamera"), 1) << "no delay, no flight";
}

TEST_F(BasKmlTest, ResetWithoutAnyCameraReadLeavesTheViewAlone) {
    globe.failing = {"SetAutoPilotSpeed"};
    EXPECT_NO_THROW(kml.LoadKmlText(globe, "<kml/>"));
    EXPECT_NO_THROW(kml.OpenKmlInEarth(globe, liveFile)); // succeeds: not failing
    globe.failing = {"OpenKmlFile"};
    EXPECT_NO_THROW(kml.OpenKmlInEarth(globe, liveFile));
    EXPECT_EQ(globe.CountOf("SetCamera"), 0);
    EXPECT_EQ(desktop.TickCount(), 0);
}

TEST_F(BasKmlTest, NonRecoveringRoutinesPassFailuresOn) {
    const GoldenGrid grid;
    globe.failing = {"LoadKmlData"};
    EXPECT_THROW(kml.ShowFeatureInEarth(globe, false, 1, kVertices, liveFile, true), PortError);
    EXPECT_THROW(kml.ShowSamplePoint(globe, 1.0, 2.0, 3.0), PortError);
    EXPECT_THROW(kml.ShowSampleGrid(globe, grid.View(), 2, 3), PortError);
    EXPECT_THROW(kml.ShowSampleMesh(globe, grid.View(), 2, 3), PortError);
    globe.failing = {"OpenKmlFile"};
    EXPECT_THROW(kml.ShowFeatureInEarth(globe, true, 1, kVertices, liveFile, true), PortError);
    globe.failing.clear();
    EXPECT_THROW(
        kml.ShowFeatureInEarth(globe, true, 1, kVertices, folder / "missing" / "a.kml", true),
        KmlFileError);
    globe.failing = {"SetAutoPilotSpeed"};
    EXPECT_THROW(kml.ShowFeatureInEarth(globe, false, 1, kVertices, liveFile, true), PortError);
    EXPECT_EQ(globe.CountOf("SetCamera"), 0);
    EXPECT_EQ(desktop.TickCount(), 0);
    EXPECT_TRUE(desktop.MessageBoxes().empty());
}

TEST(BasKmlConstruction, NeedsAViewRefreshDelay) {
    desktop::HeadlessDesktop desktop;
    EXPECT_THROW(basKML(desktop, nullptr), std::invalid_argument);
}

} // namespace
} // namespace scribeline
