// The self-test's verdict over the layers a session added, and its report's numbers: what it
// calls a pass must be one PolygonZ feature whose every vertex lies on the DEM, and a contour
// layer of level segments; everything else fails with a reason.
#include "frontends/qgis/self_test.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace scribeline::qgisplugin {
namespace {

// A DEM over 11..12 E, 48..49 N rising 100 m a degree eastwards from 500 m.
SelfTestHost PlaneDem() {
    SelfTestHost host;
    host.demHeight = [](double longitude, double latitude) -> std::optional<double> {
        if (longitude < 11.0 || longitude > 12.0 || latitude < 48.0 || latitude > 49.0) {
            return std::nullopt;
        }
        return 500.0 + 100.0 * (longitude - 11.0);
    };
    return host;
}

LayerFacts::Feature Triangle(double zOffset = 0.0) {
    LayerFacts::Feature f;
    f.type = "MultiPolygonZM";
    f.parts = 1;
    f.vertices = {{11.2, 48.5, 520.0 + zOffset}, {11.6, 48.5, 560.0}, {11.4, 48.7, 540.0}};
    return f;
}

LayerFacts PolygonLayer(std::vector<LayerFacts::Feature> features) {
    return LayerFacts{"p1", "~tempDigitizeFromGE1", "MultiPolygonZM", std::move(features)};
}

LayerFacts ContourLayer(bool level = true) {
    LayerFacts::Feature segment;
    segment.type = "MultiLineStringZM";
    segment.parts = 1;
    segment.vertices = {{11.1, 48.1, 600.0}, {11.2, 48.2, level ? 600.0 : 620.0}};
    return LayerFacts{"c1", "~tempDigitizeFromGE2", "MultiLineStringZM", {segment, segment}};
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct Verdict {
    std::vector<std::string> failures;
    std::vector<std::string> report;
};

Verdict Check(const std::vector<LayerFacts>& added) {
    Verdict v;
    v.failures = CheckAddedLayers(added, PlaneDem(), v.report);
    return v;
}

TEST(SelfTestChecks, OnePolygonOnTheDemAndLevelContoursPass) {
    const Verdict v = Check({PolygonLayer({Triangle()}), ContourLayer()});
    EXPECT_TRUE(v.failures.empty()) << v.failures.front();
    const std::vector<std::string> expected = {
        "layers_added=2",
        "layer ~tempDigitizeFromGE1: MultiPolygonZM, 1 features",
        "layer ~tempDigitizeFromGE2: MultiLineStringZM, 2 features",
        "polygon_features=1",
        "polygon_parts=1",
        "polygon_vertices=3",
        "polygon_vertex 1: 11.200000 48.500000 z 520.00 dem 520.00",
        "polygon_vertex 2: 11.600000 48.500000 z 560.00 dem 560.00",
        "polygon_vertex 3: 11.400000 48.700000 z 540.00 dem 540.00",
        "polygon_z_matches_dem=true",
        "contour_features_stored=true",
        "contour_segments_level=true",
    };
    EXPECT_EQ(v.report, expected);
}

TEST(SelfTestChecks, SingleAndMultiTypesWithZCountOthersDoNot) {
    for (const char* type : {"PolygonZ", "MultiPolygonZ", "PolygonZM", "MultiPolygonZM"}) {
        LayerFacts layer = PolygonLayer({Triangle()});
        layer.type = layer.features.front().type = type;
        EXPECT_TRUE(Check({layer, ContourLayer()}).failures.empty()) << type;
    }
    // Flat polygons and polygons with m alone are no polygon layer with z.
    for (const char* type : {"Polygon", "MultiPolygon", "PolygonM", "MultiPolygonM"}) {
        LayerFacts layer = PolygonLayer({Triangle()});
        layer.type = type;
        const Verdict v = Check({layer, ContourLayer()});
        EXPECT_TRUE(Has(v.failures, "no polygon layer with z was added")) << type;
    }
}

TEST(SelfTestChecks, ZOffTheDemBeyondTheToleranceFails) {
    EXPECT_TRUE(
        Check({PolygonLayer({Triangle(kDemTolerance / 2)}), ContourLayer()}).failures.empty());
    const Verdict off = Check({PolygonLayer({Triangle(0.5)}), ContourLayer()});
    EXPECT_TRUE(Has(off.failures, "a vertex's z is not the DEM's height there"));
    EXPECT_TRUE(Has(off.report, "polygon_z_matches_dem=false"));
    EXPECT_TRUE(Has(off.report, "polygon_vertex 1: 11.200000 48.500000 z 520.50 dem 520.00"));
}

TEST(SelfTestChecks, AVertexOutsideTheDemFails) {
    LayerFacts::Feature f = Triangle();
    f.vertices[2].x = 12.5; // east of the DEM
    const Verdict v = Check({PolygonLayer({f}), ContourLayer()});
    EXPECT_TRUE(Has(v.report, "polygon_vertex 3: 12.500000 48.700000 z 540.00 dem none"));
    EXPECT_TRUE(Has(v.failures, "a vertex's z is not the DEM's height there"));
}

TEST(SelfTestChecks, ThePolygonLayerMustHoldExactlyOneSinglePartFeature) {
    EXPECT_TRUE(Has(Check({PolygonLayer({}), ContourLayer()}).failures,
                    "the polygon layer holds 0 features, not 1"));
    EXPECT_TRUE(Has(Check({PolygonLayer({Triangle(), Triangle()}), ContourLayer()}).failures,
                    "the polygon layer holds 2 features, not 1"));
    LayerFacts::Feature twoParts = Triangle();
    twoParts.parts = 2;
    EXPECT_TRUE(Has(Check({PolygonLayer({twoParts}), ContourLayer()}).failures,
                    "the feature is a MultiPolygonZM of 2 parts, not one PolygonZ"));
    LayerFacts::Feature segment = Triangle();
    segment.vertices.resize(2);
    EXPECT_TRUE(Has(Check({PolygonLayer({segment}), ContourLayer()}).failures,
                    "the polygon has fewer than 3 vertices"));
}

TEST(SelfTestChecks, TheContourLayerMustBeThereFilledAndLevel) {
    EXPECT_TRUE(Has(Check({PolygonLayer({Triangle()})}).failures,
                    "no contour layer (lines with z) was added"));
    LayerFacts empty = ContourLayer();
    empty.features.clear();
    const Verdict e = Check({PolygonLayer({Triangle()}), empty});
    EXPECT_TRUE(Has(e.failures, "the contour layer is empty"));
    EXPECT_TRUE(Has(e.report, "contour_features_stored=false"));
    const Verdict sloped = Check({PolygonLayer({Triangle()}), ContourLayer(false)});
    EXPECT_TRUE(Has(sloped.failures, "a contour segment is not level"));
    EXPECT_TRUE(Has(sloped.report, "contour_segments_level=false"));
}

TEST(SelfTestChecks, NothingAddedFailsTwice) {
    const Verdict v = Check({});
    EXPECT_EQ(v.report, std::vector<std::string>{"layers_added=0"});
    EXPECT_EQ(v.failures.size(), 2U);
}

// Also run under a German locale (decimal comma): the report's numbers do not change.
TEST(SelfTestReport, NumbersAreFixedWithAPointAndNoNegativeZero) {
    EXPECT_EQ(ReportNumber(563.584, 2), "563.58");
    EXPECT_EQ(ReportNumber(11.5451, 6), "11.545100");
    EXPECT_EQ(ReportNumber(-0.001, 2), "0.00");
    EXPECT_EQ(ReportNumber(-0.0, 0), "0");
    EXPECT_EQ(ReportNumber(-12.5, 1), "-12.5");
    EXPECT_EQ(ReportNumber(1e6, 2), "1000000.00");
    EXPECT_EQ(ReportNumber(std::numeric_limits<double>::quiet_NaN(), 2), "nan");
}

TEST(SelfTestReport, TheModeIsOffWithoutTheVariableAndTheReportSitsBesideTheSession) {
    ::unsetenv(kSelfTestVariable);
    ::unsetenv(kSelfTestReportVariable);
    ::unsetenv(kSelfTestScreenshotVariable);
    EXPECT_FALSE(SelfTestFromEnvironment().has_value());
    ::setenv(kSelfTestVariable, "", 1);
    EXPECT_FALSE(SelfTestFromEnvironment().has_value());

    ::setenv(kSelfTestVariable, "/data/run/session.json", 1);
    auto files = SelfTestFromEnvironment();
    ASSERT_TRUE(files.has_value());
    EXPECT_EQ(files->session, "/data/run/session.json");
    EXPECT_EQ(files->report, "/data/run/session.report.txt");
    EXPECT_TRUE(files->screenshot.empty());

    ::setenv(kSelfTestReportVariable, "/out/r.txt", 1);
    ::setenv(kSelfTestScreenshotVariable, "/out/s.png", 1);
    files = SelfTestFromEnvironment();
    ASSERT_TRUE(files.has_value());
    EXPECT_EQ(files->report, "/out/r.txt");
    EXPECT_EQ(files->screenshot, "/out/s.png");
    ::unsetenv(kSelfTestVariable);
    ::unsetenv(kSelfTestReportVariable);
    ::unsetenv(kSelfTestScreenshotVariable);
}

} // namespace
} // namespace scribeline::qgisplugin
