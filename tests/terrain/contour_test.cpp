// The contour command through the window: sampling a square grid, tracing, the document on
// the globe, the segments in a real shapefile, the render view squared and given back, and the
// ways the command stops.
#include "tests/terrain/terrain_fixture.hpp"

#include <algorithm>
#include <cmath>

namespace scribeline::testing {
namespace {

class ContourTest : public TerrainTest {
protected:
    const globe::KmlDocument* ContourDocument() {
        const globe::KmlDocument* found = nullptr;
        for (const auto* doc : earth->Documents()) {
            if (doc->name == "Tavi-Isolinea") {
                found = doc;
            }
        }
        return found;
    }
    Size MainSize() {
        const Rect r = *desk.GetWindowRect(earth->MainWindow());
        return {r.width(), r.height()};
    }
};

TEST_F(ContourTest, SegmentsBecomeTwoPointLinesAtTheirLevelAndOnePlacemarkPerLevel) {
    LookAtAlps();
    const Size before = MainSize();
    Press("contour");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_TRUE(IsolineaTexts().empty());
    EXPECT_EQ(w().ctl.optGeometryType.Selected(), 1);

    const auto& trace = terrain().Trace();
    const auto& levels = terrain().Levels();
    ASSERT_EQ(levels.size(), 20u);
    ASSERT_FALSE(trace.segments.empty());
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), trace.segments.size());
    for (std::size_t n = 0; n < stored.size(); ++n) {
        const auto& f = stored[n];
        EXPECT_EQ(f.geometryType, "3D Line String");
        ASSERT_EQ(f.points.size(), 2u);
        EXPECT_NEAR(f.points[0].x, trace.segments[n].x1, 1e-9);
        EXPECT_NEAR(f.points[1].y, trace.segments[n].y2, 1e-9);
        EXPECT_EQ(f.points[0].z, trace.segments[n].level);
        EXPECT_EQ(f.points[1].z, trace.segments[n].level);
        EXPECT_NE(std::find(levels.begin(), levels.end(), f.points[0].z), levels.end());
        ASSERT_EQ(f.fields.size(), 2u);
        EXPECT_EQ(f.fields[0], "<null>") << "SaveAltitude2TableField is off";
        EXPECT_EQ(f.fields[1], "<null>");
    }

    const auto* doc = ContourDocument();
    ASSERT_NE(doc, nullptr);
    std::size_t placemarks = 0;
    std::size_t lines = 0;
    for (const auto& text : trace.levelTexts) {
        placemarks += text.empty() ? 0u : 1u;
    }
    EXPECT_EQ(doc->placemarks.size(), placemarks);
    for (const auto& p : doc->placemarks) {
        lines += p.geometries.size();
    }
    EXPECT_EQ(lines, trace.segments.size());

    // The globe's window was squared for sampling and stays so (recovering is off).
    const Size after = MainSize();
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height + 300);
    EXPECT_EQ(earth->RenderSize().width, earth->RenderSize().height);
    // The view is given back after sampling.
    EXPECT_NEAR(earth->Camera().FocusPointLatitude, 46.5, 1e-6);
    EXPECT_EQ(terrain().SettlePauseMs(), 20);
    EXPECT_FALSE(terrain().InputLocked());
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled());
}

TEST_F(ContourTest, SamplesASquareGridOfTheBarsValue) {
    LookAtAlps();
    w().ctl.vscrollDEMResolution.UserSetValue(10);
    const auto before = levers.QueryCount();
    Press("contour");
    const auto& grid = terrain().ContourSamples();
    EXPECT_EQ(grid.LastColumn(), 10);
    EXPECT_EQ(grid.LastRow(), 10) << "the rows of the DEM resolution do not count";
    EXPECT_EQ(levers.QueryCount() - before, 1u + 11u * 11u) << "the centre, then the grid";
    EXPECT_LT(grid.X(0), grid.X(10));
    EXPECT_LT(grid.Y(0), grid.Y(10));
    EXPECT_NEAR(grid.D(3, 7), earth->GroundHeight(grid.Y(7), grid.X(3)), 50.0)
        << "rectilinear: close to, not exactly at, the sample's own position";
}

TEST_F(ContourTest, AltitudeIntoFieldsAndTwoDimensionalShapes) {
    LookAtAlps();
    Option("SaveAltitude2TableField", true);
    Option("saveDataIn3D", false);
    Press("contour");
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_FALSE(stored.empty());
    for (std::size_t n = 0; n < stored.size(); ++n) {
        EXPECT_EQ(stored[n].geometryType, "Line String");
        EXPECT_EQ(stored[n].fields[0], "contour");
        EXPECT_NEAR(std::stod(stored[n].fields[1]), terrain().Trace().segments[n].level, 0.001);
    }
}

TEST_F(ContourTest, RecoverOptionGivesTheGlobeWindowItsSizeBack) {
    LookAtAlps();
    Option("RecoverGERenderViewAfterContouring", true);
    const Size before = MainSize();
    Press("contour");
    EXPECT_EQ(MainSize(), before);
    Option("AllowToSquareGERenderViewWhenContouring", false);
    Press("contour");
    EXPECT_EQ(MainSize(), before);
    EXPECT_TRUE(Failures().empty());
}

TEST_F(ContourTest, SlowQueryStopsWithoutTracingAndStillRestoresTheWindow) {
    LookAtAlps();
    Option("RecoverGERenderViewAfterContouring", true);
    const Size before = MainSize();
    levers.DelayQuery(levers.QueryCount() + 1 + 10, 600);
    Press("contour");
    ASSERT_EQ(IsolineaTexts().size(), 1u);
    EXPECT_EQ(IsolineaTexts()[0], terrain::kSlowQueryMessage);
    EXPECT_EQ(ContourDocument(), nullptr);
    EXPECT_TRUE(ReadShapefile(RunShapefile(1)).empty());
    EXPECT_TRUE(terrain().Levels().empty());
    EXPECT_EQ(MainSize(), before);
    EXPECT_NEAR(earth->Camera().FocusPointLatitude, 46.5, 1e-6);
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled());
}

TEST_F(ContourTest, NoLevelInsideTheSamplesLoadsAnEmptyDocumentAndWritesNothing) {
    LookAtAlps();
    w().ctl.optContourLevel.UserSelect(2);
    w().ctl.txtContourLevels.SetText("9000,9500");
    Press("contour");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_EQ(terrain().Levels(), (std::vector<double>{9000, 9500}));
    const auto* doc = ContourDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->placemarks.empty());
    EXPECT_TRUE(ReadShapefile(RunShapefile(1)).empty());
}

TEST_F(ContourTest, IntervalModeUsesTheIntervalBar) {
    LookAtAlps();
    w().ctl.optContourLevel.UserSelect(1);
    w().ctl.vscrollContourLevelInterval.UserSetValue(50);
    Press("contour");
    const auto& levels = terrain().Levels();
    ASSERT_GE(levels.size(), 2u);
    for (std::size_t k = 1; k < levels.size(); ++k) {
        EXPECT_EQ(levels[k] - levels[k - 1], 50.0);
    }
    EXPECT_EQ(std::fmod(levels[0], 10.0), 0.0) << "the automatic base is floored to tens";
}

TEST_F(ContourTest, ListOfMoreLevelsThanTheTableHoldsIsRefusedWithAReason) {
    LookAtAlps();
    std::string list = "1000";
    for (int i = 1; i <= 1001; ++i) {
        list += ',';
        list += std::to_string(1000 + i);
    }
    w().ctl.optContourLevel.UserSelect(2);
    w().ctl.txtContourLevels.SetText(list);
    Press("contour");
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_EQ(Failures()[0].rfind("Get contour from Google Earth failed.\r\n", 0), 0u)
        << Failures()[0];
    EXPECT_NE(Failures()[0].find("1001"), std::string::npos) << Failures()[0];
    EXPECT_EQ(ContourDocument(), nullptr);
    EXPECT_TRUE(ReadShapefile(RunShapefile(1)).empty());
    EXPECT_FALSE(terrain().InputLocked());
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled());
}

TEST_F(ContourTest, TooHighCameraWritesNothing) {
    Press("contour");
    EXPECT_EQ(IsolineaTexts().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(RunShapefile(1)));
    EXPECT_EQ(ContourDocument(), nullptr);
}

} // namespace
} // namespace scribeline::testing
