// The target layer chosen in the window: existing layers, their checks, the fields the run
// writes, the measure read-out, abort and export.
#include "tests/digitizing/run_fixture.hpp"

#include <fstream>
#include <sstream>

namespace scribeline::testing {
namespace {

class LayerTest : public RunTest {
protected:
    // A shapefile layer added to the map (it becomes layer 0), with `features` polylines.
    std::shared_ptr<IFeatureLayer> AddLayer(const std::string& layerName,
                                            const std::string& className, GeometryType type,
                                            bool withReference, int features) {
        auto& factory = host->Factory();
        auto workspace = factory.ShapefileWorkspaceFactory().OpenFromFile(desk.GetTempPath());
        Fields fields = digitizing::NewLayerFields("start", type, false, {});
        if (withReference) {
            fields.fields[0].geometryDef->spatialReference =
                factory.SpatialReferenceFactory().CreateGeographicCoordinateSystem(4326);
        }
        auto featureClass = workspace->CreateFeatureClass(className, fields, "Shape", "");
        for (int i = 0; i < features; ++i) {
            auto feature = featureClass->CreateFeature();
            Geometry g = Geometry::empty(type);
            g.AddPoint({10.0 + i, 45.0});
            g.AddPoint({11.0 + i, 46.0});
            g.AddPoint({11.0 + i, 45.0});
            feature->SetShape(g);
            feature->Store();
        }
        auto layer = factory.CreateFeatureLayer();
        layer->SetFeatureClass(featureClass);
        layer->SetName(layerName);
        host->FocusMapImpl().AddLayer(layer);
        w().ctl.cboSelectLayer.AddItem(layerName);
        return layer;
    }
    void Choose(const std::string& layerName) {
        const auto& items = w().ctl.cboSelectLayer.Items();
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i] == layerName) {
                w().ctl.cboSelectLayer.UserChoose(static_cast<int>(i));
                return;
            }
        }
        FAIL() << "no list entry " << layerName;
    }
    void DigitizeTwoVertices() {
        const Point c = RenderCentre();
        Click({c.x - 40, c.y + 20});
        Click({c.x + 40, c.y - 20});
    }
};

TEST_F(LayerTest, ExistingLayerWithADuplicatedNameEditsTheFirstFound) {
    auto second = AddLayer("roads", "roads_b", GeometryType::Polyline, true, 0);
    auto first = AddLayer("roads", "roads_a", GeometryType::Polyline, true, 0);
    Choose("roads");
    EXPECT_EQ(w().ctl.optNewOrExistingLayer.Selected(), 1) << "a list choice picks existing";
    EXPECT_FALSE(w().ctl.imgDefProperty.Enabled());
    Press("start");
    EXPECT_EQ(run().TargetLayer(), first);
    DigitizeTwoVertices();
    Press("finishlayer");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_EQ(ReadShapefile(TempFile("roads_a.shp")).size(), 1u);
    EXPECT_EQ(ReadShapefile(TempFile("roads_b.shp")).size(), 0u);
    EXPECT_FALSE(std::filesystem::exists(RunShapefile(1))) << "no new layer made";
}

TEST_F(LayerTest, AnExistingPolygonLayerReceivesPolygons) {
    AddLayer("parcels", "parcels", GeometryType::Polygon, true, 1);
    w().ctl.optGeometryType.UserSelect(1);
    Choose("parcels");
    EXPECT_EQ(run().GeometryKind(), 2);
    EXPECT_EQ(w().ctl.optGeometryType.Selected(), 2);
    EXPECT_EQ(w().ctl.optNewOrExistingLayer.Selected(), 1)
        << "the window's own change of the geometry type keeps the existing layer";
    Press("start");
    const Point c = RenderCentre();
    Click({c.x - 40, c.y});
    Click({c.x + 40, c.y});
    Click({c.x, c.y + 40});
    Press("finishlayer");
    const auto stored = ReadShapefile(TempFile("parcels.shp"));
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].points.size(), 4u);
}

TEST_F(LayerTest, LayerChoiceSetsTheExportButtonAndTheTerrainButtons) {
    AddLayer("no srs", "nosrs", GeometryType::Polyline, false, 1);
    AddLayer("empty", "empty", GeometryType::Point, true, 0);
    AddLayer("lines", "lines", GeometryType::Polyline, true, 2);
    auto& c = w().ctl;
    auto& toolbar = c.toolbarScribeline;
    struct Case {
        const char* layer;
        const char* caption;
        bool exportEnabled;
        bool dem;
        bool contour;
    } cases[] = {
        {"no srs", "This layer has no SRS!", false, false, true},
        {"empty", "No features in this layer!", false, true, false},
        {"lines", "Export this layer to GE", true, false, true},
    };
    for (const Case& k : cases) {
        Choose(k.layer);
        EXPECT_EQ(c.cmdExportKML.Caption(), k.caption) << k.layer;
        EXPECT_EQ(c.cmdExportKML.Enabled(), k.exportEnabled) << k.layer;
        EXPECT_EQ(toolbar.Button("export").enabled, k.exportEnabled) << k.layer;
        EXPECT_EQ(toolbar.Button("dem").enabled, k.dem) << k.layer;
        EXPECT_EQ(toolbar.Button("contour").enabled, k.contour) << k.layer;
    }
    Option("jointDEMPoints2Grid", true);
    Choose("lines");
    EXPECT_TRUE(toolbar.Button("dem").enabled);
    // A geometry type chosen by the user goes back to a new layer.
    c.optGeometryType.UserSelect(0);
    EXPECT_EQ(c.optNewOrExistingLayer.Selected(), 0);
    EXPECT_TRUE(c.imgDefProperty.Enabled());
    EXPECT_TRUE(toolbar.Button("dem").enabled);
    EXPECT_TRUE(toolbar.Button("contour").enabled);
    EXPECT_FALSE(toolbar.Button("export").enabled);
}

TEST_F(LayerTest, ExportWritesTheChosenLayerAndOpensItInTheGlobe) {
    AddLayer("lines", "lines", GeometryType::Polyline, true, 2);
    Choose("lines");
    const auto before = earth->Documents().size();
    Press("export");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    const auto file = TempFile("~tempExportToGE.kml");
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_NE(ReadFile(file).find("<Placemark>"), std::string::npos);
    EXPECT_GT(earth->Documents().size(), before);
}

class StubGrid final : public IAttributeGrid {
public:
    explicit StubGrid(std::vector<UserDefinedField> fields) : fields_(std::move(fields)) {}
    void DefListViewHead() override {}
    void imgDefProperty_Click() override {}
    void FillFromFields(const Fields&) override {}
    void StoreValues(IFeature&) override {}
    [[nodiscard]] std::vector<UserDefinedField> UserDefinedFields() const override {
        return fields_;
    }

private:
    std::vector<UserDefinedField> fields_;
};

TEST_F(LayerTest, TheRunsNameGoesOnlyIntoATextFirstField) {
    struct Case {
        std::vector<UserDefinedField> fields;
        std::vector<std::string> stored;
    } cases[] = {
        {{{"Code", 1, "9"}, {"Label", 4, "20"}}, {"<null>", "<null>"}},
        {{{"Depth", 3, "16"}}, {"<null>"}},
        {{{"Label", 4, "20"}, {"Code", 0, "4"}}, {"scribeline", "<null>"}},
    };
    for (const Case& k : cases) {
        Subsystems subsystems = DefaultSubsystems();
        subsystems.attributeGrid = [fields = k.fields](const AttributeGridContext&) {
            return std::make_unique<StubGrid>(fields);
        };
        Open(subsystems);
        Press("start");
        const int number = run().RunNumber();
        DigitizeTwoVertices();
        Press("finishlayer");
        EXPECT_TRUE(Failures().empty()) << Failures().front();
        const auto stored = ReadShapefile(RunShapefile(number));
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].fields, k.stored) << k.fields[0].name;
    }
}

IPointOnTerrainGE ground(double latitude, double longitude) {
    IPointOnTerrainGE p;
    p.Latitude = latitude;
    p.Longitude = longitude;
    p.Altitude = 100.0;
    p.HitGround = true;
    return p;
}

TEST_F(LayerTest, MeasureTrackOfAOneDegreeSquare) {
    Option("MeasureTrack", true);
    w().ctl.optGeometryType.UserSelect(2);
    Press("start");
    EXPECT_TRUE(w().ctl.frameMeasureTrack.Visible());
    const std::string lengthBefore = w().ctl.Label6.Caption();
    connector.script = {ground(10, 20), ground(10, 21), ground(11, 21), ground(11, 20)};
    const Point c = RenderCentre();
    Click(c);
    Click(c);
    EXPECT_EQ(w().ctl.Label5.Caption(), "Number of Points: 2");
    EXPECT_EQ(w().ctl.Label6.Caption(), lengthBefore) << "two polygon vertices: no length yet";
    Click(c);
    Click(c);
    EXPECT_EQ(w().ctl.Label5.Caption(), "Number of Points: 4");
    EXPECT_EQ(w().ctl.Label6.Caption(), "Length of Polyline: 4");
    EXPECT_EQ(w().ctl.Label7.Caption(), "Area of Polygon: 1");
}

TEST_F(LayerTest, MeasureTrackOfPolylinesAndPoints) {
    Option("MeasureTrack", true);
    Press("start");
    const std::string lengthBefore = w().ctl.Label6.Caption();
    const std::string areaBefore = w().ctl.Label7.Caption();
    connector.script = {ground(0, 0), ground(0, 3), ground(4, 3)};
    const Point c = RenderCentre();
    Click(c);
    EXPECT_EQ(w().ctl.Label5.Caption(), "Number of Points: 1");
    EXPECT_EQ(w().ctl.Label6.Caption(), lengthBefore);
    Click(c);
    Click(c);
    EXPECT_EQ(w().ctl.Label6.Caption(), "Length of Polyline: 7");
    EXPECT_EQ(w().ctl.Label7.Caption(), areaBefore);
}

TEST_F(LayerTest, AbortInFileModeClearsTheFeatureFromTheGlobe) {
    Press("start");
    Click(RenderCentre());
    const auto live = run().LiveKmlPath();
    ASSERT_TRUE(std::filesystem::exists(live));
    Press("abort");
    EXPECT_FALSE(w().IsLoaded());
    const std::string text = ReadFile(live);
    EXPECT_EQ(text.find("<coordinates>"), std::string::npos) << text;
    EXPECT_TRUE(ReadShapefile(RunShapefile(1)).empty());
}

} // namespace
} // namespace scribeline::testing
