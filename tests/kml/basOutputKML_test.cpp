#include "kml/basOutputKML.hpp"

#include "fake_desktop.hpp"
#include "fake_map.hpp"
#include "test_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace scribeline {
namespace {

namespace fs = std::filesystem;
using namespace scribeline::testing;

Geometry Polyline(std::vector<std::vector<MapPoint>> parts) {
    Geometry g = Geometry::empty(GeometryType::Polyline);
    g.parts = std::move(parts);
    return g;
}

Geometry Polygon(std::vector<std::vector<MapPoint>> rings) {
    Geometry g = Geometry::empty(GeometryType::Polygon);
    g.parts = std::move(rings);
    return g;
}

// A clockwise square (an exterior ring for the host) from (x, y) with side 1.
std::vector<MapPoint> ClockwiseSquare(double x, double y) {
    return {{x, y, 0}, {x, y + 1, 0}, {x + 1, y + 1, 0}, {x + 1, y, 0}, {x, y, 0}};
}

class ExportTest : public ::testing::Test {
protected:
    // Random numbers 0, 0.5, 0.999 give the bytes 00, 7F and FE of every golden colour.
    void SetUp() override { desktop.randoms = {0.0, 0.5, 0.999}; }

    std::shared_ptr<FakeFeatureLayer> AddLayer(const std::string& name, GeometryType type,
                                               std::shared_ptr<ISpatialReference> reference) {
        auto featureClass = std::make_shared<FakeFeatureClass>(type);
        auto layer = std::make_shared<FakeFeatureLayer>(name, std::move(reference), featureClass);
        map.layers.push_back(layer);
        classes[name] = featureClass;
        return layer;
    }
    void AddFeature(const std::string& layer, Geometry shape, std::string tag = "") {
        auto& features = classes.at(layer)->features;
        features.push_back(std::make_shared<FakeFeature>(static_cast<std::int64_t>(features.size()),
                                                         std::move(shape), std::move(tag)));
    }
    int Export(const std::string& layerName, bool useSelection = true) {
        EXPECT_EQ(exporter.CheckExportLayer(map, layerName), kExportLayerOk);
        return exporter.ExportLayerToKml(factory, progress, file, GoldenCamera(), useSelection);
    }

    FakeDesktop desktop;
    FakeMap map;
    FakeMapFactory factory;
    FakeProgress progress;
    std::map<std::string, std::shared_ptr<FakeFeatureClass>> classes;
    basOutputKML exporter{desktop, 77};
    TestFolder folder;
    fs::path file = folder.path() / std::string(kExportFileName);
};

// ---- layer checks ----------------------------------------------------------------------------

TEST_F(ExportTest, GeometryKindOfTheFirstLayerOfThatName) {
    AddLayer("pts", GeometryType::Point, Wgs84());
    AddLayer("lines", GeometryType::Polyline, Wgs84());
    AddLayer("areas", GeometryType::Polygon, Wgs84());
    AddLayer("multi", GeometryType::Multipoint, Wgs84());
    auto group = std::make_shared<FakeGroupLayer>("group");
    auto inner = std::make_shared<FakeFeatureLayer>(
        "inner", Wgs84(), std::make_shared<FakeFeatureClass>(GeometryType::Polygon));
    group->members.push_back(inner);
    map.layers.push_back(group);
    // A later layer of the same name does not count.
    AddLayer("pts ", GeometryType::Polygon, Wgs84());
    map.layers.push_back(std::make_shared<FakeFeatureLayer>(
        "pts", Wgs84(), std::make_shared<FakeFeatureClass>(GeometryType::Polygon)));

    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "pts"), 0);
    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "lines"), 1);
    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "areas"), 2);
    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "multi"), -1);
    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "group"), -1);
    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "inner"), 2) << "group members are searched";
    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "PTS"), -1) << "names compare exactly";
    EXPECT_EQ(exporter.GetLayerGeometryKind(map, "missing"), -1);
}

TEST_F(ExportTest, CheckTestsTheReferenceBeforeTheFeatures) {
    AddLayer("none", GeometryType::Point, nullptr);
    AddLayer("unknown", GeometryType::Point, std::make_shared<FakeReference>(" unknown ", 0));
    AddLayer("empty", GeometryType::Point, Wgs84());
    AddLayer("good", GeometryType::Point, Metres());
    AddFeature("none", Geometry::point(1, 2));
    AddFeature("good", Geometry::point(1, 2), "not in the count filter");

    EXPECT_EQ(exporter.CheckExportLayer(map, "none"), kExportLayerNoReference);
    EXPECT_EQ(exporter.CheckExportLayer(map, "unknown"), kExportLayerNoReference);
    EXPECT_EQ(classes["none"]->featureCounts + classes["unknown"]->featureCounts, 0)
        << "no feature count without a reference";
    EXPECT_EQ(exporter.CheckExportLayer(map, "empty"), kExportLayerNoFeatures);
    EXPECT_EQ(exporter.CheckExportLayer(map, "good"), kExportLayerOk);
    EXPECT_EQ(exporter.ExportLayer()->Name(), "good");
    EXPECT_EQ(exporter.CheckExportLayer(map, "missing"), kExportLayerNoReference);
    EXPECT_EQ(exporter.ExportLayer(), nullptr);

    EXPECT_EQ(ExportButtonCaption(kExportLayerOk), "Export this layer to GE");
    EXPECT_EQ(ExportButtonCaption(kExportLayerNoReference), "This layer has no SRS!");
    EXPECT_EQ(ExportButtonCaption(kExportLayerNoFeatures), "No features in this layer!");
}

// ---- the export --------------------------------------------------------------------------------

TEST_F(ExportTest, PointLayerNumbersOnlyFeaturesWithOutput) {
    AddLayer("pts", GeometryType::Point, Wgs84());
    AddFeature("pts", Geometry::point(11.5, 48.1, 520.0));
    AddFeature("pts", Geometry::empty(GeometryType::Point));
    AddFeature("pts", Geometry::point(-122.08, 37.4219999, 3.0));
    AddFeature("pts", Geometry::point(0.00001, -33.8688, -4.0));

    EXPECT_EQ(Export("pts"), kExportComplete);
    ExpectGolden(ReadFile(file), "kml/export_points.kml");
    EXPECT_EQ(factory.engine.projections, 0) << "already in WGS 84";
    EXPECT_EQ(progress.calls,
              (std::vector<std::string>{"SetPosition 0", "Step", "Step", "Step", "Step", "Hide"}));
    EXPECT_EQ(desktop.randomizeCalls, 1);
    EXPECT_EQ(desktop.messageBoxes, 0);
    ASSERT_EQ(factory.references.created.size(), 1U);
    EXPECT_EQ(factory.references.created[0]->FactoryCode(), 4326);
    EXPECT_EQ(factory.references.created[0]->origin,
              (std::vector<double>{-180.0, -90.0, 1000000.0}));
}

TEST_F(ExportTest, PolylineLayerIsProjectedAndWritesOnePlacemarkPerPath) {
    AddLayer("lines", GeometryType::Polyline, Metres());
    AddFeature("lines", Polyline({{{11500, 48100, 7}, {11600, 48200, 7}, {11700, 48150, 7}},
                                  {{0, 0, 0}, {1000, -1000, 0}}}));
    AddFeature("lines", Polyline({{{-122080, 37422, 0}, {-122000, 37500, 0}}}));

    EXPECT_EQ(Export("lines"), kExportComplete);
    ExpectGolden(ReadFile(file), "kml/export_polylines.kml");
    EXPECT_EQ(factory.engine.projectedFrom, (std::vector<int>{kFakeMetresCode, kFakeMetresCode}))
        << "the layer's reference is assigned before projecting";
}

TEST_F(ExportTest, PolygonLayerReversesExteriorsAndKeepsHoles) {
    AddLayer("areas", GeometryType::Polygon, Wgs84());
    AddFeature("areas", Polygon({ClockwiseSquare(0, 0),
                                 {{0.25, 0.25, 0},
                                  {0.75, 0.25, 0},
                                  {0.75, 0.75, 0},
                                  {0.25, 0.75, 0},
                                  {0.25, 0.25, 0}}}));
    AddFeature("areas", Polygon({ClockwiseSquare(10, 10), ClockwiseSquare(20, 20)}));
    // Only a counter-clockwise ring: the host finds no exterior, so it goes part by part.
    AddFeature("areas", Polygon({{{5, 5, 0}, {6, 5, 0}, {6, 6, 0}, {5, 5, 0}}}));

    EXPECT_EQ(Export("areas"), kExportComplete);
    ExpectGolden(ReadFile(file), "kml/export_polygons.kml");
    EXPECT_EQ(factory.engine.simplifications, 3);
}

TEST_F(ExportTest, SelectionWinsOverTheWholeLayerWithinTheDefinitionQuery) {
    auto layer = AddLayer("pts", GeometryType::Point, Wgs84());
    AddFeature("pts", Geometry::point(1, 1), "keep");
    AddFeature("pts", Geometry::point(2, 2), "drop");
    AddFeature("pts", Geometry::point(3, 3), "keep");
    layer->definition = "keep";
    const auto& all = classes["pts"]->features;

    EXPECT_EQ(Export("pts"), kExportComplete);
    std::string text = ReadFile(file);
    EXPECT_NE(text.find("             1,1,0"), std::string::npos);
    EXPECT_EQ(text.find("             2,2,0"), std::string::npos) << "outside the query";
    EXPECT_NE(text.find("             3,3,0"), std::string::npos);
    EXPECT_EQ(classes["pts"]->searchedWith, std::vector<std::string>{"keep"});

    layer->selection->features = {all[2], all[1]};
    EXPECT_EQ(Export("pts"), kExportComplete);
    text = ReadFile(file);
    EXPECT_EQ(text.find("             1,1,0"), std::string::npos) << "not selected";
    EXPECT_EQ(text.find("             2,2,0"), std::string::npos) << "selected, outside the query";
    EXPECT_NE(text.find("<name>1</name>"), std::string::npos);
    EXPECT_NE(text.find("             3,3,0"), std::string::npos);
    EXPECT_EQ(layer->selection->searchedWith, std::vector<std::string>{"keep"});

    EXPECT_EQ(Export("pts", false), kExportComplete);
    EXPECT_NE(ReadFile(file).find("             1,1,0"), std::string::npos)
        << "use-selection off exports the whole layer";
}

TEST_F(ExportTest, MultipointLayerEndsWithTheNoValidGeometryMessage) {
    AddLayer("multi", GeometryType::Multipoint, Wgs84());
    Geometry mp = Geometry::empty(GeometryType::Multipoint);
    mp.parts = {{{1, 1, 0}, {2, 2, 0}}};
    AddFeature("multi", mp);

    EXPECT_EQ(Export("multi"), kExportIncomplete);
    ExpectGolden(ReadFile(file), "kml/export_no_valid_multipoint.kml");
    ASSERT_EQ(desktop.messages.size(), 1U);
    EXPECT_EQ(desktop.messages[0].text, "multi contains no valid geometry.");
    EXPECT_EQ(desktop.messages[0].title, "Export to Google Earth");
    EXPECT_EQ(desktop.messages[0].flags, mb::Ok | mb::IconCritical);
    EXPECT_EQ(desktop.messages[0].owner, 77U);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"SetPosition 0", "Hide"}));
}

TEST_F(ExportTest, LayerOfEmptyShapesOrNoMatchingFeatureIsIncomplete) {
    auto layer = AddLayer("lines", GeometryType::Polyline, Wgs84());
    AddFeature("lines", Geometry::empty(GeometryType::Polyline), "a");
    AddFeature("lines", Geometry::empty(GeometryType::Polyline), "a");
    EXPECT_EQ(Export("lines"), kExportIncomplete);
    ExpectGolden(ReadFile(file), "kml/export_no_valid_empty.kml");
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"SetPosition 0", "Step", "Step", "Hide"}));

    layer->definition = "matches nothing";
    EXPECT_EQ(Export("lines"), kExportIncomplete);
    EXPECT_TRUE(MatchesGolden(ReadFile(file), "kml/export_no_valid_multipoint.kml"))
        << "no first feature: no style";
    EXPECT_EQ(desktop.messages.size(), 2U);
}

TEST_F(ExportTest, ExportNeedsACheckedLayerAndAWritableFile) {
    EXPECT_THROW(exporter.ExportLayerToKml(factory, progress, file, GoldenCamera(), true),
                 std::logic_error);
    AddLayer("pts", GeometryType::Point, nullptr);
    AddFeature("pts", Geometry::point(1, 1));
    EXPECT_EQ(exporter.CheckExportLayer(map, "pts"), kExportLayerNoReference);
    EXPECT_THROW(exporter.ExportLayerToKml(factory, progress, file, GoldenCamera(), true),
                 std::logic_error);

    AddLayer("ok", GeometryType::Point, Wgs84());
    AddFeature("ok", Geometry::point(1, 1));
    EXPECT_EQ(exporter.CheckExportLayer(map, "ok"), kExportLayerOk);
    EXPECT_THROW(exporter.ExportLayerToKml(factory, progress, folder.path() / "no" / "x.kml",
                                           GoldenCamera(), true),
                 KmlFileError);
    EXPECT_EQ(progress.calls.back(), "Hide") << "the progress is hidden on the way out";

    ICameraInfoGE bad = GoldenCamera();
    bad.FocusPointAltitudeMode = 8;
    EXPECT_THROW(exporter.ExportLayerToKml(factory, progress, file, bad, true), std::out_of_range);
}

TEST_F(ExportTest, EveryExportReseedsSoColoursDiffer) {
    AddLayer("lines", GeometryType::Polyline, Wgs84());
    AddFeature("lines", Polyline({{{0, 0, 0}, {1, 1, 0}}}));
    desktop.randoms = {0.1, 0.2, 0.3, 0.4};
    Export("lines");
    const std::string first = ReadFile(file);
    Export("lines");
    EXPECT_NE(ReadFile(file), first);
    EXPECT_EQ(desktop.randomizeCalls, 2);
}

// ---- the pieces --------------------------------------------------------------------------------

TEST(EscapeKmlText, EscapesInOrderWithoutDoubling) {
    EXPECT_EQ(EscapeKmlText("a<b"), "a&lt;b");
    EXPECT_EQ(EscapeKmlText("Fish & Chips"), "Fish &amp; Chips");
    EXPECT_EQ(EscapeKmlText("&lt;"), "&amp;lt;") << "a literal entity is text";
    EXPECT_EQ(EscapeKmlText("x > y"), "x &gt; y");
    EXPECT_EQ(EscapeKmlText("it's \"it\""), "it&apos;s &quot;it&quot;");
    EXPECT_EQ(EscapeKmlText("#5"), "No.5");
    EXPECT_EQ(EscapeKmlText("<Null>"), "Null");
    EXPECT_EQ(EscapeKmlText("a<Null>b<Null>"), "aNullbNull");
    EXPECT_EQ(EscapeKmlText("line1\r\nline2\n"), "line1<br />line2<br />");
    EXPECT_EQ(EscapeKmlText("\ttabbed\t"), "tabbed");
    EXPECT_EQ(EscapeKmlText("   spaced out  "), "spaced out");
    EXPECT_EQ(EscapeKmlText(" \t "), "");
    EXPECT_EQ(EscapeKmlText(""), "");
    EXPECT_EQ(EscapeKmlText("FEATURES"), "FEATURES");
}

TEST(RandomKmlColor, AlphaThenThreeUpperCaseHexBytes) {
    FakeDesktop desktop;
    desktop.randoms = {0.0, 0.0627, 0.999999, 0.5, 0.75, 1.0};
    EXPECT_EQ(RandomKmlColor(desktop, "96"), "96000FFE");
    EXPECT_EQ(RandomKmlColor(desktop, ""), "7FBFFE") << "254 at most";
}

TEST(WriteLayerStyle, OnlyTheThreeKindNames) {
    FakeDesktop desktop;
    EXPECT_THROW((void)WriteLayerStyle(desktop, "MULTIPOINT"), std::invalid_argument);
    EXPECT_THROW((void)WriteLayerStyle(desktop, "point"), std::invalid_argument);
    const std::string polyline = WriteLayerStyle(desktop, "POLYLINE");
    EXPECT_EQ(polyline, "  <Style id=\"FEATURES\">\r\n    <LineStyle>\r\n"
                        "      <color>96000000</color>\r\n      <width>1</width>\r\n"
                        "    </LineStyle>\r\n  </Style>\r\n");
}

TEST(WriteSegmentCoordinates, PointsFromSegmentsInEitherDirection) {
    FakeEngine engine;
    const std::vector<MapPoint> ring = {{0, 0, 5}, {0, 1, 5}, {1, 1, 5}, {0, 0, 5}};
    EXPECT_EQ(WriteSegmentCoordinates(engine, ring, false), "0,0,0 0,1,0 1,1,0 0,0,0");
    EXPECT_EQ(WriteSegmentCoordinates(engine, ring, true), "0,0,0 1,1,0 0,1,0 0,0,0");
    const std::vector<MapPoint> path = {{-122.08, 37.5, 0}, {11.5, 1E-05, 0}};
    EXPECT_EQ(WriteSegmentCoordinates(engine, path, true), "11.5,1E-05,0 -122.08,37.5,0");
    EXPECT_EQ(WriteSegmentCoordinates(engine, {{1, 2, 3}}, false), "") << "no segments";
    EXPECT_EQ(WriteSegmentCoordinates(engine, {}, true), "");
}

} // namespace
} // namespace scribeline
