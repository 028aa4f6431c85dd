// The digitizing run through the window: clicks on the globe become features of a real
// shapefile, read back with OGR.
#include "tests/digitizing/run_fixture.hpp"

#include <fstream>
#include <sstream>

namespace scribeline::testing {
namespace {

Point offset(Point p, int dx, int dy) {
    return {p.x + dx, p.y + dy};
}

TEST_F(RunTest, ThreePolygonClicksStoreFourVerticesClosedOnTheFirst) {
    w().ctl.optGeometryType.UserSelect(2);
    Press("start");
    ASSERT_TRUE(w().state.digitizingActive);
    const Point c = RenderCentre();
    Click(offset(c, -60, -40));
    Click(offset(c, 60, -40));
    EXPECT_FALSE(w().state.finishAllowed);
    Click(offset(c, 0, 50));
    EXPECT_EQ(w().state.vertexCount, 3);
    EXPECT_TRUE(w().state.finishAllowed);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Button("finishlayer").enabled);
    Press("finishlayer");
    EXPECT_FALSE(w().IsLoaded());
    EXPECT_TRUE(Failures().empty()) << Failures().front();

    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].geometryType, "3D Polygon"); // saveDataIn3D is on at load
    ASSERT_EQ(stored[0].points.size(), 4u);
    EXPECT_EQ(stored[0].points.front(), stored[0].points.back());
    ASSERT_GE(stored[0].fields.size(), 1u);
    EXPECT_EQ(stored[0].fields[0], "scribeline");
    // Clicked around the view's centre (Europe, 47.5 N 11 E) from 1500 km: within a few degrees.
    for (const MapPoint& p : stored[0].points) {
        EXPECT_NEAR(p.y, 47.5, 5.0);
        EXPECT_NEAR(p.x, 11.0, 7.0);
    }
}

TEST_F(RunTest, PolylineOfOneVertexIsNotStoredTwoAreAndTheNextClickStartsAnew) {
    Option("saveDataIn3D", false);
    Press("start");
    const Point c = RenderCentre();
    Click(offset(c, -50, 0));
    Press("finishfeature");
    EXPECT_EQ(w().state.vertexCount, 1) << "too few vertices: nothing reset";
    EXPECT_EQ(run().CurrentShape().PointCount(), 1);
    Click(offset(c, 50, 0));
    Press("finishfeature");
    EXPECT_EQ(w().state.vertexCount, 0);
    EXPECT_EQ(run().CurrentShape().PointCount(), 0);
    Click(offset(c, 0, 60));
    EXPECT_EQ(run().CurrentShape().PointCount(), 1);
    Press("abort");
    EXPECT_FALSE(w().IsLoaded());

    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 1u) << "the aborted vertex is not stored";
    EXPECT_EQ(stored[0].geometryType, "Line String");
    EXPECT_EQ(stored[0].points.size(), 2u);
    EXPECT_FALSE(stored[0].hasZ);
}

TEST_F(RunTest, PointsAreStoredOnePerClickOnlyAtFinish) {
    w().ctl.optGeometryType.UserSelect(0);
    Press("start");
    const Point c = RenderCentre();
    for (int i = 0; i < 3; ++i) {
        Click(offset(c, -60 + 60 * i, 20));
    }
    EXPECT_EQ(w().state.vertexCount, 3);
    EXPECT_TRUE(ReadShapefile(RunShapefile(1)).empty()) << "nothing before finish";
    Press("finishfeature");
    Press("finishlayer");
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 3u);
    for (const auto& f : stored) {
        EXPECT_EQ(f.geometryType, "3D Point");
        EXPECT_EQ(f.points.size(), 1u);
    }
    EXPECT_LT(stored[0].points[0].x, stored[2].points[0].x) << "stored in click order";
}

TEST_F(RunTest, SaveDataIn3DStoresTheTerrainAltitude) {
    LookAt(46.5, 8.0, 300000.0); // the Alps
    Option("saveDataIn3D", true);
    Press("start");
    const Point c = RenderCentre();
    Click(offset(c, -30, 0));
    Click(offset(c, 30, 0));
    Press("finishlayer");
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].geometryType, "3D Line String");
    EXPECT_TRUE(stored[0].hasZ);
    for (const MapPoint& p : stored[0].points) {
        EXPECT_NEAR(p.z, earth->GroundHeight(p.y, p.x), 1.0) << p.y << ", " << p.x;
    }
}

TEST_F(RunTest, PauseHidesTheWindowAndContinueKeepsTheVertices) {
    Press("start");
    const Point c = RenderCentre();
    Click(offset(c, -40, 0));
    Click(offset(c, 40, 0));
    // The pause button stands on the in-view tool strip; it calls the window's procedure.
    w().cmdDigitizePauseOrContinue_Click();
    ASSERT_FALSE(desk.MessageBoxes().empty());
    EXPECT_EQ(desk.MessageBoxes().back().text,
              "To continue the digitization, click the Scribeline Button again.");
    EXPECT_EQ(desk.MessageBoxes().back().title, "Scribeline for ArcMap");
    EXPECT_FALSE(w().Visible());
    EXPECT_EQ(desk.InstalledMouseHooks(), 0);
    Click(offset(c, 0, 60)); // not captured while paused
    EXPECT_EQ(w().state.vertexCount, 2);

    w().cmdDigitizePauseOrContinue_Click(); // what a press of the command does
    EXPECT_TRUE(w().Visible());
    EXPECT_EQ(w().ctl.cmdDigitizePauseOrContinue.Caption(), "Pause");
    Click(offset(c, 0, 60));
    EXPECT_EQ(w().state.vertexCount, 3);
    Press("finishlayer");
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].points.size(), 3u);
}

TEST_F(RunTest, RecordRateSetsTheTickInterval) {
    struct Case {
        const char* typed;
        int interval;
    } cases[] = {{"3", 333}, {"6", 167}, {"20", 50}, {"0", 1000}, {"", 1000}};
    for (const Case& c : cases) {
        Open();
        w().ctl.txtRecordPPS.SetText(c.typed);
        Press("record");
        EXPECT_EQ(w().ctl.timerDigitalizing.Interval(), c.interval) << '"' << c.typed << '"';
        EXPECT_TRUE(w().ctl.timerDigitalizing.Running());
        Press("abort");
    }
    Open();
    w().ctl.txtRecordPPS.SetText("3");
    Press("start");
    EXPECT_EQ(w().ctl.timerDigitalizing.Interval(), 500);
}

TEST_F(RunTest, TheVertexAfterTheTenThousandthStoresEndsAndCloses) {
    Option("usingKmlFile", false);
    Option("PlayAnimationWhenDigitizing", false);
    Option("saveDataIn3D", false);
    Press("start");
    const Point c = RenderCentre();
    for (int i = 0; i < digitizing::kMaxVertexCount; ++i) {
        Click(offset(c, (i % 200) - 100, (i / 200) % 100 - 50));
        if (i % 500 == 0) {
            host->DataView().Refresh(); // the map repaints now and then, as a real one does
        }
    }
    ASSERT_TRUE(w().IsLoaded());
    EXPECT_EQ(w().state.vertexCount, 10000);
    Click(offset(c, 0, 0));
    EXPECT_FALSE(w().IsLoaded());
    EXPECT_FALSE(w().state.digitizingActive);
    EXPECT_EQ(desk.InstalledMouseHooks(), 0);
    EXPECT_TRUE(Failures().empty());
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].points.size(), 10001u);
}

TEST_F(RunTest, CleanUpNeverDeletesTheFilesOfALayerStillInTheMap) {
    Press("start");
    const Point c = RenderCentre();
    Click(offset(c, -40, 0));
    Click(offset(c, 40, 0));
    Press("finishlayer");
    ASSERT_EQ(ReadShapefile(RunShapefile(1)).size(), 1u);
    // Stale files of an earlier load that no layer shows any more.
    { std::ofstream(TempFile("~tempDigitizeFromGE2.kml")) << "stale"; }
    { std::ofstream(TempFile("~tempDigitizeFromGE20.kml")) << "other run"; }

    Open(); // a new load counts its runs from 1 again
    Press("start");
    EXPECT_EQ(run().RunNumber(), 2) << "run 1's layer is still in the map";
    EXPECT_FALSE(std::filesystem::exists(TempFile("~tempDigitizeFromGE2.kml")));
    EXPECT_TRUE(std::filesystem::exists(TempFile("~tempDigitizeFromGE20.kml")));
    Click(offset(c, 0, 40));
    Click(offset(c, 0, -40));
    Press("finishlayer");
    EXPECT_EQ(ReadShapefile(RunShapefile(1)).size(), 1u);
    EXPECT_EQ(ReadShapefile(RunShapefile(2)).size(), 1u);
    EXPECT_EQ(host->FocusMapImpl().LayerCount(), 2);
}

TEST_F(RunTest, GlobeNotReadyStartsNoRunAndSaysNothing) {
    levers.SetInitialized(false);
    Press("start");
    EXPECT_FALSE(w().state.digitizingActive);
    EXPECT_TRUE(desk.MessageBoxes().empty());
    EXPECT_EQ(desk.InstalledMouseHooks(), 0);
}

TEST_F(RunTest, OnlyTheFirstRunOfALoadPutsTheMapInWgs84) {
    auto& references = host->Factory().SpatialReferenceFactory();
    host->FocusMapImpl().SetSpatialReference(references.CreateProjectedCoordinateSystem(3857));
    Press("start");
    EXPECT_EQ(host->FocusMapImpl().SpatialReference()->Name(), "GCS_WGS_1984");
    EXPECT_TRUE(w().state.wgs84Set);
    Press("finishlayer"); // nothing digitized: the run ends all the same
    Open();
    w().state.wgs84Set = true; // as after a first run of this load
    host->FocusMapImpl().SetSpatialReference(references.CreateProjectedCoordinateSystem(3857));
    Press("start");
    EXPECT_NE(host->FocusMapImpl().SpatialReference()->Name(), "GCS_WGS_1984");
    Press("abort");
}

TEST_F(RunTest, TheNewLayerIsInWgs84OnDisk) {
    Press("start");
    const Point c = RenderCentre();
    Click(offset(c, -40, 0));
    Click(offset(c, 40, 0));
    Press("finishlayer");
    const std::string text = ReadFile(TempFile("~tempDigitizeFromGE1.prj"));
    EXPECT_NE(text.find("WGS_1984"), std::string::npos) << text;
}

} // namespace
} // namespace scribeline::testing
