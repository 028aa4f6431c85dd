// Project files, the embedded default map and the rendering of the map view.
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "tests/hosts/gis/test_support.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace scribeline::gis {
namespace {

using testing::TempFolder;

class ProjectTest : public ::testing::Test {
protected:
    TempFolder folder;
    desktop::HeadlessDesktop desktop;
    GisHost host{desktop, HeadlessOptions(desktop)};

    std::shared_ptr<FeatureLayer> layerOf(const std::string& name, GeometryType type,
                                          const std::vector<Geometry>& shapes) {
        auto ws = host.Workspaces().ShapefileFolder(folder.path());
        Fields fields;
        Field shape{"Shape", FieldType::Geometry};
        shape.geometryDef = GeometryDef{type, false, SpatialReference::FromEpsg(4326)};
        fields.AddField(shape);
        fields.AddField(Field{"kind", FieldType::String, 10});
        auto fc = ws->CreateFeatureClass(name, fields, "Shape", "");
        for (std::size_t i = 0; i < shapes.size(); ++i) {
            auto f = fc->CreateFeature();
            f->SetShape(shapes[i]);
            f->SetValue(2, i % 2 == 0 ? std::string("even") : std::string("odd"));
            f->Store();
        }
        return host.OpenFeatureLayer(folder / (name + ".shp"));
    }

    static Geometry square(double x, double y, double size) {
        Geometry g = Geometry::empty(GeometryType::Polygon);
        g.parts = {{{x, y}, {x, y + size}, {x + size, y + size}, {x + size, y}, {x, y}}};
        return g;
    }
};

TEST_F(ProjectTest, SaveAndLoadKeepLayersGroupsQueriesAndSelections) {
    auto parcels = layerOf("parcels", GeometryType::Polygon, {square(0, 0, 1), square(2, 0, 1)});
    auto wells = layerOf("wells", GeometryType::Point,
                         {Geometry::point(0.5, 0.5), Geometry::point(1, 1), Geometry::point(2, 2)});
    wells->SetDefinitionExpression("kind = 'even'");
    wells->Select({2, 0});
    wells->Class()->SetFeatureType(11);
    auto group = std::make_shared<GroupLayer>();
    group->SetName("Survey");
    group->Add(wells);
    parcels->SetVisible(false);
    std::ofstream(folder / "dem.asc") << "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\n"
                                         "cellsize 1\n5\n";
    auto dem = std::make_shared<RasterLayer>(folder / "dem.asc");
    auto map = host.Document()->FocusMap();
    map->AddLayer(dem);
    map->AddLayer(parcels);
    map->AddLayer(group);
    map->SetDistanceUnits(9);
    host.Document()->ActiveView()->SetExtent({-1, -1, 4, 3});

    const auto file = folder / "project.json";
    host.SaveProject(file);
    testing::ExpectGolden(testing::ReadFile(file), "gis/project.json");

    GisHost other(desktop);
    other.LoadProject(file);
    auto loaded = other.Document()->FocusMap();
    ASSERT_EQ(loaded->LayerCount(), 3);
    auto survey = std::dynamic_pointer_cast<GroupLayer>(loaded->Layer(0));
    ASSERT_NE(survey, nullptr);
    EXPECT_EQ(survey->Name(), "Survey");
    ASSERT_EQ(survey->Layers().size(), 1U);
    auto reloadedWells = std::dynamic_pointer_cast<FeatureLayer>(survey->Layers()[0]);
    ASSERT_NE(reloadedWells, nullptr);
    EXPECT_EQ(reloadedWells->Name(), "wells");
    EXPECT_EQ(reloadedWells->DefinitionExpression(), "kind = 'even'");
    EXPECT_EQ(reloadedWells->SelectedIds(), (std::vector<std::int64_t>{0, 2}));
    EXPECT_EQ(reloadedWells->FeatureClass()->FeatureType(), 11);
    auto reloadedParcels = std::dynamic_pointer_cast<FeatureLayer>(loaded->Layer(1));
    ASSERT_NE(reloadedParcels, nullptr);
    EXPECT_FALSE(reloadedParcels->Visible());
    EXPECT_EQ(loaded->Layer(2)->Kind(), LayerKind::Other);
    EXPECT_EQ(loaded->SelectionCount(), 2);
    EXPECT_EQ(loaded->SpatialReference()->FactoryCode(), 4326);
    EXPECT_EQ(loaded->DistanceUnits(), 9);
    EXPECT_EQ(other.Document()->ActiveView()->Extent(), (Envelope{-1, -1, 4, 3}));
}

TEST_F(ProjectTest, BadProjectFilesLeaveTheMapAsItWas) {
    host.Document()->FocusMap()->AddLayer(
        layerOf("kept", GeometryType::Point, {Geometry::point(0, 0)}));
    auto tryLoad = [&](const std::string& name, const std::string& text) {
        const auto file = folder / name;
        std::ofstream(file) << text;
        EXPECT_THROW(host.LoadProject(file), PortError) << name;
        ASSERT_EQ(host.Document()->FocusMap()->LayerCount(), 1) << name;
        EXPECT_EQ(host.Document()->FocusMap()->Layer(0)->Name(), "kept") << name;
    };
    EXPECT_THROW(host.LoadProject(folder / "missing.json"), PortError);
    tryLoad("notjson.json", "{ layers: ");
    tryLoad("version.json", R"({"scribelineProject": 2, "map": {"layers": []}})");
    tryLoad("nomap.json", R"({"scribelineProject": 1})");
    tryLoad("nopath.json", R"({"scribelineProject": 1, "map": {"layers": [{"name": "x"}]}})");
    tryLoad("type.json",
            R"({"scribelineProject": 1, "map": {"layers": [{"type": "wms", "path": "x"}]}})");
    tryLoad("gone.json", R"({"scribelineProject": 1, "map": {"layers": [{"path": "gone.shp"}]}})");
    tryLoad("query.json", R"({"scribelineProject": 1, "map": {"layers": [
        {"path": "kept.shp", "definitionQuery": "kind = = 1"}]}})");
    tryLoad("reference.json",
            R"({"scribelineProject": 1, "map": {"spatialReference": "EPSG:0", "layers": []}})");
    tryLoad("extent.json",
            R"({"scribelineProject": 1, "map": {"extent": {"xmin": 1}, "layers": []}})");
}

TEST_F(ProjectTest, DefaultMapIsACopyOfTheNaturalEarthWorldMap) {
    if (!std::filesystem::exists(kWorldMapSource)) {
        GTEST_SKIP() << kWorldMapSource << " is missing: install qgis-common";
    }
    const auto session = folder / "session";
    host.LoadDefaultMap(session);
    const auto copy = session / "world_map.gpkg";
    ASSERT_TRUE(std::filesystem::exists(copy));
    EXPECT_EQ(::access(copy.c_str(), W_OK), 0);
    auto map = host.Document()->FocusMap();
    ASSERT_EQ(map->LayerCount(), 1);
    EXPECT_EQ(map->Layer(0)->Kind(), LayerKind::Group);
    const auto all = map->Layers();
    ASSERT_EQ(all.size(), 4U);
    EXPECT_EQ(all[1]->Name(), "disputed_borders");
    auto countries = std::dynamic_pointer_cast<IFeatureLayer>(all[3]);
    ASSERT_NE(countries, nullptr);
    EXPECT_EQ(countries->Name(), "countries");
    EXPECT_EQ(countries->FeatureClass()->ShapeType(), GeometryType::Polygon);
    EXPECT_EQ(countries->FeatureClass()->FeatureCount(nullptr), 240);
    EXPECT_EQ(map->SpatialReference()->Name(), "GCS_WGS_1984");
    EXPECT_EQ(map->MapUnits(), 11);
    // Land is drawn, the sea is not.
    const RgbaImage world = host.RenderMapView();
    auto& t = host.Document()->ActiveView()->ScreenDisplay().DisplayTransformation();
    const Point africa = t.FromMapPoint({20.0, 5.0});
    const Point atlantic = t.FromMapPoint({-30.0, 0.0});
    EXPECT_NE(world.At(africa.x, africa.y), rgb(255, 255, 255));
    EXPECT_EQ(world.At(atlantic.x, atlantic.y), rgb(255, 255, 255));

    // A run may edit an existing layer: the session's copy changes, the installed file not.
    auto editor = host.FindExtensionByCLSID("esriCore.Editor");
    editor->StartEditing(countries->FeatureClass()->Workspace());
    auto f = countries->FeatureClass()->CreateFeature();
    f->SetShape(square(10, 10, 1));
    f->Store();
    editor->StopEditing(true);
    EXPECT_EQ(countries->FeatureClass()->FeatureCount(nullptr), 241);
    WorkspaceRegistry installed;
    EXPECT_EQ(
        installed.DataSource(kWorldMapSource)->OpenFeatureClass("countries")->FeatureCount(nullptr),
        240);
    // Loading the default again keeps the session's copy and its edits.
    GisHost again(desktop);
    again.LoadDefaultMap(session);
    auto reloaded =
        std::dynamic_pointer_cast<IFeatureLayer>(again.Document()->FocusMap()->Layers()[3]);
    EXPECT_EQ(reloaded->FeatureClass()->FeatureCount(nullptr), 241);
    EXPECT_THROW(host.LoadDefaultMap(folder / "other", folder / "nothing.gpkg"), PortError);
}

TEST_F(ProjectTest, MapViewRendersLayersSelectionAndFeedback) {
    auto parcels = layerOf("parcels", GeometryType::Polygon, {square(0, 0, 4), square(6, 0, 4)});
    parcels->Select({1});
    host.Document()->FocusMap()->AddLayer(parcels);
    auto view = host.Document()->ActiveView();
    view->SetExtent({-1, -1, 11, 5});
    auto& display = view->ScreenDisplay();
    Symbol line;
    line.kind = SymbolKind::SimpleLine;
    line.colour = rgb(255, 0, 0);
    line.size = 3;
    Geometry track = Geometry::empty(GeometryType::Polyline);
    track.parts = {{{-1, 4.5}, {11, 4.5}}};
    display.StartDrawing(-2);
    display.SetSymbol(line);
    display.DrawPolyline(track);
    display.FinishDrawing();

    const auto png = folder / "view.png";
    host.SaveMapViewPng(png);
    const RgbaImage image = ReadPng(png);
    ASSERT_EQ(image.width, 1032);
    ASSERT_EQ(image.height, 796);
    auto& t = display.DisplayTransformation();
    auto at = [&](double x, double y) {
        const Point p = t.FromMapPoint({x, y});
        return image.At(p.x, p.y);
    };
    const Colour fill = at(2, 2);
    EXPECT_NE(fill, rgb(255, 255, 255)) << "inside the first parcel";
    EXPECT_EQ(at(5, 2), rgb(255, 255, 255)) << "between the parcels";
    EXPECT_EQ(at(8, 2), fill) << "same layer, same colour";
    EXPECT_EQ(at(10, 2), rgb(0, 255, 255)) << "the selected parcel's outline";
    EXPECT_EQ(at(5, 4.5), rgb(255, 0, 0)) << "the feedback line";

    // Screen capture of the map view window is the same picture.
    const auto captured = desktop.CaptureWindow(host.MapViewWindow());
    ASSERT_TRUE(captured);
    ASSERT_EQ(captured->width, 1032);
    const Point p = t.FromMapPoint({5, 4.5});
    EXPECT_EQ(captured->pixels[static_cast<std::size_t>(p.y * captured->width + p.x)], 0xFF0000U);

    // After a refresh the feedback is gone and the map stays.
    view->Refresh();
    const RgbaImage after = host.RenderMapView();
    const Point q = t.FromMapPoint({5, 4.5});
    EXPECT_EQ(after.At(q.x, q.y), rgb(255, 255, 255));
    EXPECT_THROW(WritePng(after, folder / "no" / "such" / "folder.png"), PortError);
}

TEST(CanvasTest, FillKeepsHolesOpenAndLinesClip) {
    RgbaImage image(20, 20, rgb(255, 255, 255));
    Canvas canvas(image);
    canvas.FillRings({{{2, 2}, {18, 2}, {18, 18}, {2, 18}}, {{8, 8}, {12, 8}, {12, 12}, {8, 12}}},
                     rgb(0, 0, 255));
    EXPECT_EQ(image.At(4, 4), rgb(0, 0, 255));
    EXPECT_EQ(image.At(10, 10), rgb(255, 255, 255)) << "the hole";
    EXPECT_EQ(image.At(0, 0), rgb(255, 255, 255));
    canvas.Line(-1e9, 1, 1e9, 1, 1, rgb(255, 0, 0)); // clipped, not a billion steps
    EXPECT_EQ(image.At(0, 1), rgb(255, 0, 0));
    EXPECT_EQ(image.At(19, 1), rgb(255, 0, 0));
    canvas.Marker(10, 15, 5, 2, rgb(0, 255, 0));
    EXPECT_EQ(image.At(10, 13), rgb(0, 255, 0));
    EXPECT_NE(image.At(12, 13), rgb(0, 255, 0)) << "a cross, not a square";
}

} // namespace
} // namespace scribeline::gis
