// The globe's model on its own: no desktop, no windows, a clock the test turns by hand.
#include "hosts/globe/globe_model.hpp"

#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace scribeline::globe {
namespace {

std::string Kml(const std::string& name, double lon = 11.0, double lat = 47.0) {
    return "<kml><Document><name>" + name + "</name><Placemark><Point><coordinates>" +
           std::to_string(lon) + "," + std::to_string(lat) +
           "</coordinates></Point></Placemark></Document></kml>";
}

class GlobeModelTest : public ::testing::Test {
protected:
    std::int64_t now_ = 1000;
    std::vector<GlobeModel::Change> changes_;
    GlobeModel model_{[this] { return now_; }, Options()};

    static GlobeModelOptions Options() {
        GlobeModelOptions o;
        o.terrain = testing::BuiltInTerrain();
        o.camera = CameraState{47.5, 11.0, 0.0, 1, 200000.0, 0.0, 0.0};
        return o;
    }
    void SetUp() override {
        model_.SetListener([this](GlobeModel::Change c) { changes_.push_back(c); });
    }
};

TEST_F(GlobeModelTest, AFlightArrivesWithTheInjectedClockAlone) {
    const CameraState target{-20.0, 130.0, 0.0, 1, 50000.0, 30.0, 90.0};
    model_.Place(target, 1.0); // 2 s
    EXPECT_EQ(changes_, (std::vector{GlobeModel::Change::FlightStarted, GlobeModel::Change::View}));
    EXPECT_TRUE(model_.Flying());
    now_ += 1000;
    const CameraState half = model_.Camera();
    EXPECT_TRUE(model_.Flying());
    EXPECT_GT(half.FocusPointLatitude, -20.0);
    EXPECT_LT(half.FocusPointLatitude, 47.5);
    EXPECT_GT(half.Range, 50000.0);
    EXPECT_LT(half.Range, 200000.0);
    now_ += 1000;
    EXPECT_FALSE(model_.Flying()) << "the clock alone ends the flight";
    changes_.clear();
    const CameraState arrived = model_.Now();
    EXPECT_DOUBLE_EQ(arrived.FocusPointLatitude, -20.0);
    EXPECT_DOUBLE_EQ(arrived.FocusPointLongitude, 130.0);
    EXPECT_DOUBLE_EQ(arrived.Range, 50000.0);
    EXPECT_DOUBLE_EQ(arrived.Tilt, 30.0);
    EXPECT_DOUBLE_EQ(arrived.Azimuth, 90.0);
    EXPECT_EQ(changes_, (std::vector{GlobeModel::Change::FlightEnded, GlobeModel::Change::View}));
    changes_.clear();
    EXPECT_FALSE(model_.Advance()) << "nothing left to advance";
    EXPECT_TRUE(changes_.empty());
}

TEST_F(GlobeModelTest, FlightDurationsFollowTheSpeedAndASetAtOnceEndsAFlight) {
    const CameraState a{10.0, 10.0, 0.0, 1, 100000.0, 0.0, 0.0};
    model_.Place(a, 0.0); // the slowest: 20 s
    now_ += 19999;
    EXPECT_TRUE(model_.Flying());
    now_ += 1;
    EXPECT_FALSE(model_.Flying());
    model_.Place({20.0, 20.0, 0.0, 1, 100000.0, 0.0, 0.0}, 4.0); // 0.5 s
    now_ += 499;
    EXPECT_TRUE(model_.Flying());
    changes_.clear();
    model_.Place(a, 5.0);
    EXPECT_FALSE(model_.Flying());
    EXPECT_DOUBLE_EQ(model_.Camera().FocusPointLatitude, 10.0);
    EXPECT_EQ(changes_, (std::vector{GlobeModel::Change::FlightEnded, GlobeModel::Change::View}));
}

TEST_F(GlobeModelTest, TheViewportShapesTheViewAndQueriesAreRecorded) {
    model_.Place({47.5, 11.0, 0.0, 1, 200000.0, 0.0, 0.0}, 5.0);
    const IViewExtentsGE wide = model_.ViewExtents();
    model_.SetViewportSource([] { return Size{400, 500}; });
    const IViewExtentsGE narrow = model_.ViewExtents();
    // The horizontal field of view is fixed; the vertical one follows the aspect: tan(v/2)
    // goes from tan 30 x 500/800 to tan 30 x 500/400, twice as far.
    EXPECT_NEAR((narrow.East - narrow.West) / (wide.East - wide.West), 1.0, 0.05);
    EXPECT_NEAR((narrow.North - narrow.South) / (wide.North - wide.South), 2.0, 0.05);
    model_.SetViewportSource([] { return Size{0, -3}; });
    EXPECT_EQ(model_.Viewport(), (Size{1, 1})) << "a window without pixels counts as one";
    model_.SetViewportSource({});
    EXPECT_EQ(model_.Viewport(), (Size{800, 500}));

    const IPointOnTerrainGE centre = model_.PointOnTerrain(0.0, 0.0);
    EXPECT_TRUE(centre.HitGround);
    EXPECT_NEAR(centre.Latitude, 47.5, 1e-6);
    EXPECT_THROW(model_.PointOnTerrain(std::nan(""), 0.0), PortError);
    model_.Place({47.5, 11.0, 0.0, 1, 20000.0, 89.0, 0.0}, 5.0);
    EXPECT_FALSE(model_.PointOnTerrain(0.0, 1.0).HitGround) << "the sky";
    ASSERT_EQ(model_.TerrainAnswers().size(), 2u) << "a refused query is no answer";
    EXPECT_TRUE(model_.TerrainAnswers()[0].hitGround);
    EXPECT_EQ(model_.TerrainAnswers()[0].source, 0);
    EXPECT_FALSE(model_.TerrainAnswers()[1].hitGround);
}

TEST_F(GlobeModelTest, ADocumentSnapshotHeldByAReaderSurvivesLaterChanges) {
    model_.LoadKmlData(Kml("first"));
    const auto held = model_.Documents();
    ASSERT_EQ(held->documents.size(), 1u);
    const KmlDocument* first = held->documents[0].get();

    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("globe_model_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ".kml");
    std::ofstream(file) << Kml("file v1");
    model_.OpenKmlFile(file.string());
    const auto withFile = model_.Documents();
    std::ofstream(file, std::ios::trunc) << Kml("file v2");
    model_.OpenKmlFile(file.string()); // reopened: replaced in place
    std::filesystem::remove(file);

    EXPECT_EQ(held->documents.size(), 1u) << "the reader's snapshot did not grow";
    EXPECT_EQ(held->documents[0]->name, "first");
    ASSERT_EQ(withFile->documents.size(), 2u);
    EXPECT_EQ(withFile->documents[1]->name, "file v1") << "the old version stays readable";
    const auto now = model_.Documents();
    ASSERT_EQ(now->documents.size(), 2u);
    EXPECT_EQ(now->documents[0].get(), first) << "unchanged documents are shared, not copied";
    EXPECT_EQ(now->documents[1]->name, "file v2");
}

TEST_F(GlobeModelTest, BadDocumentsKeepNothingAndTheOldestTextsGoFirst) {
    EXPECT_THROW(model_.LoadKmlData("<kml><Document>"), DocumentError);
    EXPECT_THROW(model_.LoadKmlData("<gpx/>"), DocumentError);
    EXPECT_THROW(model_.OpenKmlFile(""), DocumentError);
    EXPECT_THROW(model_.OpenKmlFile("/nonexistent/globe_model_test.kml"), DocumentError);
    EXPECT_TRUE(model_.Documents()->documents.empty());
    EXPECT_TRUE(changes_.empty()) << "a failed load does not repaint";

    GlobeModelOptions o = Options();
    o.maxKeptCoordinates = 2;
    GlobeModel small([this] { return now_; }, o);
    KmlDocument fromFile;
    fromFile.name = "file";
    fromFile.placemarks.resize(1);
    fromFile.placemarks[0].geometries.push_back({});
    fromFile.placemarks[0].geometries[0].coordinates = {{1, 2, 0}};
    small.Keep("/a/file.kml", fromFile);
    small.LoadKmlData(Kml("text 1"));
    small.LoadKmlData(Kml("text 2"));
    small.LoadKmlData(Kml("text 3"));
    const auto kept = small.Documents();
    ASSERT_EQ(kept->documents.size(), 2u);
    EXPECT_EQ(kept->documents[0]->name, "file");
    EXPECT_EQ(kept->documents[1]->name, "text 3");
}

TEST_F(GlobeModelTest, RefusesWhatThePortWouldRefuse) {
    EXPECT_THROW(GlobeModel(GlobeClock{}, Options()), std::invalid_argument);
    GlobeModelOptions o = Options();
    o.elevationExaggeration = 0.0;
    EXPECT_THROW(GlobeModel([] { return std::int64_t{0}; }, o), std::invalid_argument);
    o = Options();
    o.camera.Range = -1.0;
    EXPECT_THROW(GlobeModel([] { return std::int64_t{0}; }, o), std::invalid_argument);
    EXPECT_THROW(model_.SetExaggeration(3.5), PortError);
    EXPECT_THROW(model_.SetAutoPilotSpeed(-0.1), PortError);
    changes_.clear();
    model_.SetExaggeration(1.0); // unchanged: no repaint
    EXPECT_TRUE(changes_.empty());
    model_.SetExaggeration(2.0);
    EXPECT_EQ(changes_, (std::vector{GlobeModel::Change::View}));
}

} // namespace
} // namespace scribeline::globe
