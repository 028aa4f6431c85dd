// The application, map, views and documents of the map host on the headless desktop.
#include "hosts/gis/gis_host.hpp"
#include "hosts/gis/headless.hpp"
#include "tests/hosts/gis/test_support.hpp"

#include <gtest/gtest.h>

namespace scribeline::gis {
namespace {

using testing::TempFolder;

Fields fieldsFor(GeometryType type, std::shared_ptr<ISpatialReference> reference = nullptr) {
    Fields fields;
    Field shape{"Shape", FieldType::Geometry};
    shape.geometryDef = GeometryDef{type, false, std::move(reference)};
    fields.AddField(shape);
    fields.AddField(Field{"_Name", FieldType::String, 20});
    fields.AddField(Field{"_Descrip", FieldType::String, 50});
    return fields;
}

class HostTest : public ::testing::Test {
protected:
    TempFolder folder;
    desktop::HeadlessDesktop desktop;
    GisHost host{desktop, HeadlessOptions(desktop)};

    // A class of `n` points named "keep" and "drop" in turn, in a layer named `name`.
    std::shared_ptr<FeatureLayer> pointLayer(const std::string& name, int n) {
        auto ws = host.Workspaces().ShapefileFolder(folder.path());
        auto fc = ws->CreateFeatureClass(name, fieldsFor(GeometryType::Point), "Shape", "");
        for (int i = 0; i < n; ++i) {
            auto f = fc->CreateFeature();
            f->SetShape(Geometry::point(i, i));
            f->SetValue(2, i % 2 == 0 ? std::string("keep") : std::string("drop"));
            f->Store();
        }
        return host.OpenFeatureLayer(folder / (name + ".shp"));
    }

    std::shared_ptr<FeatureLayer> squareLayer(const std::string& name, double x0, double y0,
                                              double size) {
        auto ws = host.Workspaces().ShapefileFolder(folder.path());
        auto fc = ws->CreateFeatureClass(
            name, fieldsFor(GeometryType::Polygon, SpatialReference::FromEpsg(4326)), "Shape", "");
        auto f = fc->CreateFeature();
        Geometry g = Geometry::empty(GeometryType::Polygon);
        g.parts = {{{x0, y0}, {x0, y0 + size}, {x0 + size, y0 + size}, {x0 + size, y0}, {x0, y0}}};
        f->SetShape(g);
        f->Store();
        return host.OpenFeatureLayer(folder / (name + ".shp"));
    }
};

TEST_F(HostTest, MainWindowWithMapViewChildAndExtensions) {
    const WindowHandle main = host.hWnd();
    ASSERT_TRUE(desktop.IsWindow(main));
    EXPECT_EQ(desktop.GetParent(main), kNoWindow);
    const WindowHandle view =
        desktop.FindWindowEx(main, kNoWindow, std::string(kMapViewClass), std::string());
    EXPECT_EQ(view, host.MapViewWindow());
    EXPECT_EQ(desktop.GetWindowText(view), "");
    const auto client = desktop.GetClientRect(view);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->width(), 1032);
    EXPECT_EQ(client->height(), 796);
    desktop.PostCloseMessage(main);
    desktop.DoEvents();
    EXPECT_TRUE(desktop.IsWindow(main)) << "the application stays while the host lives";

    auto editor = host.FindExtensionByCLSID("esriCore.Editor");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(host.FindExtensionByCLSID("ESRICORE.EDITOR"), editor);
    EXPECT_EQ(host.FindExtensionByCLSID("esriCore.Nothing"), nullptr);
    EXPECT_EQ(host.FindExtensionByCLSID(""), nullptr);
    EXPECT_EQ(editor->EditState(), kEditStateNotEditing);
    EXPECT_EQ(host.ProductCode(), 200);

    auto& progress = host.StepProgressor();
    progress.SetPosition(0);
    progress.Show();
    progress.Step();
    progress.Step();
    progress.Hide();
    const auto& events = host.Progress().Events();
    ASSERT_EQ(events.size(), 5U);
    EXPECT_EQ(events[0].kind, ProgressEvent::Kind::SetPosition);
    EXPECT_EQ(events[3].position, 2);
    EXPECT_EQ(events[4].kind, ProgressEvent::Kind::Hide);
    EXPECT_FALSE(host.Progress().Visible());
}

TEST_F(HostTest, WindowsGoWithTheHost) {
    WindowHandle main = kNoWindow;
    WindowHandle view = kNoWindow;
    {
        GisHost second(desktop);
        main = second.hWnd();
        view = second.MapViewWindow();
        EXPECT_TRUE(desktop.IsWindow(view));
    }
    EXPECT_FALSE(desktop.IsWindow(main));
    EXPECT_FALSE(desktop.IsWindow(view));
}

TEST_F(HostTest, LayersGroupsAndTheirOrder) {
    auto map = host.Document()->FocusMap();
    EXPECT_EQ(map->LayerCount(), 0);
    EXPECT_EQ(map->SpatialReference(), nullptr);
    EXPECT_EQ(map->MapUnits(), 0);
    EXPECT_THROW(map->Layer(0), PortError);
    EXPECT_THROW(map->AddLayer(nullptr), PortError);

    auto roads = squareLayer("roads", 0, 0, 1);
    auto group = std::make_shared<GroupLayer>();
    group->SetName("group");
    auto a = pointLayer("a", 1);
    auto b = pointLayer("b", 1);
    group->Add(a);
    group->Add(b);
    EXPECT_THROW(group->Add(group), PortError);
    EXPECT_THROW(group->Add(nullptr), PortError);
    auto outer = std::make_shared<GroupLayer>();
    outer->Add(group);
    EXPECT_THROW(group->Add(outer), PortError) << "a group cannot hold its own holder";

    map->AddLayer(roads);
    map->AddLayer(group);
    ASSERT_EQ(map->LayerCount(), 2);
    EXPECT_EQ(map->Layer(0), group) << "the added layer becomes layer 0";
    EXPECT_EQ(map->Layer(1), roads);
    const auto all = map->Layers();
    ASSERT_EQ(all.size(), 4U);
    EXPECT_EQ(all[0], group); // a group, then its members
    EXPECT_EQ(all[1], a);
    EXPECT_EQ(all[2], b);
    EXPECT_EQ(all[3], roads);

    // The first layer with a known reference gives the map its reference and its extent.
    ASSERT_NE(map->SpatialReference(), nullptr);
    EXPECT_EQ(map->SpatialReference()->Name(), "GCS_WGS_1984");
    EXPECT_EQ(host.Document()->ActiveView()->Extent(), (Envelope{0, 0, 1, 1}));
}

TEST_F(HostTest, MapUnitsAndDistanceUnitsRoundTrip) {
    auto map = host.Document()->FocusMap();
    auto& references = host.Factory().SpatialReferenceFactory();
    map->SetSpatialReference(references.CreateGeographicCoordinateSystem(4326));
    EXPECT_EQ(map->MapUnits(), 11);
    EXPECT_EQ(map->DistanceUnits(), 11) << "distance units follow the map until set";
    map->SetSpatialReference(references.CreateProjectedCoordinateSystem(3857));
    EXPECT_EQ(map->MapUnits(), 9);
    map->SetDistanceUnits(10);
    EXPECT_EQ(map->DistanceUnits(), 10);
    EXPECT_EQ(map->MapUnits(), 9);
    EXPECT_THROW(map->SetDistanceUnits(13), PortError);
    EXPECT_THROW(map->SetDistanceUnits(-1), PortError);
    EXPECT_EQ(map->DistanceUnits(), 10);

    const auto project = folder / "units.json";
    host.SaveProject(project);
    GisHost other(desktop);
    other.LoadProject(project);
    auto reloaded = other.Document()->FocusMap();
    EXPECT_EQ(reloaded->MapUnits(), 9);
    EXPECT_EQ(reloaded->DistanceUnits(), 10);
    EXPECT_EQ(reloaded->SpatialReference()->FactoryCode(), 3857);
    map->SetSpatialReference(nullptr);
    EXPECT_EQ(map->MapUnits(), 0);
}

TEST_F(HostTest, ChangingTheMapReferenceKeepsTheViewOnThePlace) {
    auto map = host.Document()->FocusMap();
    auto view = host.Document()->ActiveView();
    auto& references = host.Factory().SpatialReferenceFactory();
    map->SetSpatialReference(references.CreateProjectedCoordinateSystem(3857));
    // Around Zurich, in metres.
    view->SetExtent({939258.2, 5942074.1, 1057165.6, 6066042.6});
    map->SetSpatialReference(references.CreateGeographicCoordinateSystem(4326));
    const Envelope e = view->Extent();
    EXPECT_NEAR(e.XMin, 8.4375, 1e-3);
    EXPECT_NEAR(e.XMax, 9.4967, 1e-3);
    EXPECT_NEAR(e.YMin, 47.0, 1e-3);
    EXPECT_NEAR(e.YMax, 47.7541, 1e-3);
}

TEST_F(HostTest, DisplayTransformationRoundTrip) {
    auto view = host.Document()->ActiveView();
    auto& transformation = view->ScreenDisplay().DisplayTransformation();
    const Envelope extent{10.0, 47.0, 12.0, 48.0};
    view->SetExtent(extent);
    EXPECT_EQ(view->Extent(), extent) << "the extent reads back exactly as set";
    EXPECT_EQ(transformation.VisibleBounds(), extent);

    // 1032 x 796 pixels: 2 degrees across the width decide the scale.
    const double resolution = 2.0 / 1032.0;
    const Point centre = transformation.FromMapPoint({11.0, 47.5});
    EXPECT_EQ(centre, (Point{516, 398}));
    const Point corner = transformation.FromMapPoint({10.0, 48.0});
    EXPECT_EQ(corner.x, 0);
    EXPECT_EQ(corner.y, static_cast<int>(std::lround(398 - 0.5 / resolution)));
    for (const Point p : {Point{0, 0}, Point{1031, 795}, Point{17, 700}, Point{-40, 2000}}) {
        EXPECT_EQ(transformation.FromMapPoint(transformation.ToMapPoint(p)), p);
    }
    for (const MapPoint m : {MapPoint{10.3, 47.2}, MapPoint{11.99, 47.99}, MapPoint{8.0, 50.0}}) {
        const MapPoint back = transformation.ToMapPoint(transformation.FromMapPoint(m));
        EXPECT_NEAR(back.x, m.x, resolution / 2 + 1e-12);
        EXPECT_NEAR(back.y, m.y, resolution / 2 + 1e-12);
    }
    // y grows downwards on the device.
    EXPECT_LT(transformation.FromMapPoint({11, 47.9}).y, transformation.FromMapPoint({11, 47.1}).y);

    // The window's shape widens what is shown, not the extent.
    desktop.SetWindowPos(host.MapViewWindow(), 0, 0, 200, 400, swp::NoZOrder);
    const Envelope fitted = host.DataView().Transformation().FittedBounds();
    EXPECT_NEAR(fitted.XMin, 10.0, 1e-12);
    EXPECT_NEAR(fitted.XMax, 12.0, 1e-12);
    EXPECT_NEAR(fitted.YMax - fitted.YMin, 4.0, 1e-12);
    EXPECT_EQ(view->Extent(), extent);

    EXPECT_THROW(view->SetExtent({1, 1, 0, 2}), PortError);
    EXPECT_THROW(view->SetExtent({1, 1, 1, 1}), PortError);
    EXPECT_THROW(view->SetExtent({0, 0, INFINITY, 1}), PortError);
    EXPECT_NO_THROW(view->SetExtent({5, 1, 5, 2})) << "a zero width alone is fine";
    EXPECT_EQ(view->Extent(), (Envelope{5, 1, 5, 2}));
}

TEST_F(HostTest, RefreshesAndRecordedDrawing) {
    auto view = host.Document()->ActiveView();
    auto& display = view->ScreenDisplay();
    EXPECT_THROW(display.DrawPoint(Geometry::point(1, 1)), PortError);
    EXPECT_THROW(display.FinishDrawing(), PortError);
    Symbol marker;
    marker.kind = SymbolKind::SimpleMarker;
    marker.colour = rgb(255, 128, 128);
    display.StartDrawing(-2);
    EXPECT_THROW(display.StartDrawing(-2), PortError);
    display.SetSymbol(marker);
    display.DrawPoint(Geometry::point(1, 2));
    EXPECT_THROW(display.DrawPolyline(Geometry::point(1, 2)), PortError);
    EXPECT_THROW(display.DrawPolygon(Geometry::empty(GeometryType::Polyline)), PortError);
    display.DrawPolyline(Geometry::empty(GeometryType::Polyline));
    display.FinishDrawing();
    const auto& drawings = host.DataView().Display().Drawings();
    ASSERT_EQ(drawings.size(), 2U);
    EXPECT_EQ(drawings[0].kind, DisplayDrawing::Kind::Point);
    EXPECT_EQ(drawings[0].symbol.colour, marker.colour);
    EXPECT_EQ(drawings[0].cacheId, -2);

    Geometry grid = Geometry::empty(GeometryType::Polyline);
    grid.parts = {{{0, 0}, {1, 0}}};
    view->AddLineElement(grid, Symbol{});
    EXPECT_THROW(view->AddLineElement(Geometry::point(0, 0), Symbol{}), PortError);

    desktop.DrawLine(host.MapViewWindow(), {0, 0}, {5, 5}, Pen{});
    EXPECT_EQ(host.DataView().RefreshCount(), 0);
    view->Refresh();
    EXPECT_EQ(host.DataView().RefreshCount(), 1);
    EXPECT_TRUE(host.DataView().Display().Drawings().empty()) << "a refresh redraws the map";
    EXPECT_TRUE(desktop.DrawCalls(host.MapViewWindow()).empty());
    EXPECT_EQ(host.DataView().Elements().size(), 1U) << "elements stay until deleted";
    view->DeleteAllElements();
    EXPECT_TRUE(host.DataView().Elements().empty());
}

TEST_F(HostTest, PageLayoutIsAnotherActiveView) {
    auto document = host.Document();
    EXPECT_FALSE(document->ActiveViewIsPageLayout());
    auto data = document->ActiveView();
    host.Doc()->SetPageLayoutActive(true);
    EXPECT_TRUE(document->ActiveViewIsPageLayout());
    EXPECT_NE(document->ActiveView(), data);
    EXPECT_EQ(document->FocusMap(), host.Doc()->Map());
}

TEST_F(HostTest, DefinitionQueryAndSelectionOrder) {
    auto layer = pointLayer("points", 8);
    auto map = host.Document()->FocusMap();
    map->AddLayer(layer);
    EXPECT_THROW(layer->SetDefinitionExpression("\"_Name\" = = 'keep'"), PortError);
    EXPECT_EQ(layer->DefinitionExpression(), "");
    layer->SetDefinitionExpression("\"_Name\" = 'keep'");
    EXPECT_EQ(layer->DefinitionExpression(), "\"_Name\" = 'keep'");

    layer->Select({6, 1, 4, 3, 0, 42});
    auto selection = layer->SelectionSet();
    EXPECT_EQ(selection->Count(), 6);
    EXPECT_EQ(map->SelectionCount(), 6);
    auto ids = [](IFeatureCursor& cursor) {
        std::vector<std::int64_t> out;
        while (auto f = cursor.NextFeature()) {
            out.push_back(f->OID());
        }
        return out;
    };
    EXPECT_EQ(ids(*selection->Search(nullptr, false)), (std::vector<std::int64_t>{0, 1, 3, 4, 6}))
        << "ascending ids; one that names no feature is skipped";
    QueryFilter definition{layer->DefinitionExpression()};
    EXPECT_EQ(ids(*selection->Search(&definition, false)), (std::vector<std::int64_t>{0, 4, 6}));
    // The same search twice gives the same order.
    EXPECT_EQ(ids(*selection->Search(&definition, false)), (std::vector<std::int64_t>{0, 4, 6}));
    QueryFilter bad{"nosuch = 1"};
    EXPECT_THROW(selection->Search(&bad, false), PortError);

    // Selecting by query respects the definition expression.
    layer->SelectByQuery("");
    EXPECT_EQ(layer->SelectedIds(), (std::vector<std::int64_t>{0, 2, 4, 6}));
    layer->ClearSelection();
    EXPECT_EQ(map->SelectionCount(), 0);
    EXPECT_EQ(ids(*layer->SelectionSet()->Search(nullptr, false)), std::vector<std::int64_t>{});
}

TEST_F(HostTest, TargetLayerThroughThePortAsTheDigitizerDoes) {
    IMapApplication& app = host;
    auto map = app.Document()->FocusMap();
    auto& references = app.Factory().SpatialReferenceFactory();
    map->SetSpatialReference(references.CreateGeographicCoordinateSystem(4326));
    auto ws = app.Factory().ShapefileWorkspaceFactory().OpenFromFile(folder.path().string() + "/");
    auto fc = ws->CreateFeatureClass("~tempDigitizeFromGE1", fieldsFor(GeometryType::Polygon),
                                     "Shape", "");
    auto layer = app.Factory().CreateFeatureLayer();
    layer->SetFeatureClass(fc);
    layer->SetName(fc->AliasName());
    layer->SetSpatialReference(map->SpatialReference());
    map->AddLayer(layer);
    app.Document()->ActiveView()->Refresh();
    ASSERT_EQ(map->Layer(0), layer);

    auto first = std::dynamic_pointer_cast<IFeatureLayer>(map->Layer(0));
    ASSERT_EQ(first->FeatureClass()->SpatialReference()->Name(), "Unknown");
    ASSERT_TRUE(first->FeatureClass()->CanAlterSpatialReference());
    auto wgs84 = references.CreateGeographicCoordinateSystem(4326);
    wgs84->SetFalseOriginAndUnits(-180, -90, 1000000);
    first->FeatureClass()->AlterSpatialReference(wgs84);

    auto editor = app.FindExtensionByCLSID("esriCore.Editor");
    editor->StartEditing(fc->Workspace());
    Geometry shape = Geometry::empty(GeometryType::Polygon);
    for (const MapPoint& p : {MapPoint{8, 47, 500}, MapPoint{9, 47, 510}, MapPoint{9, 48, 520}}) {
        shape.AddPoint(p);
    }
    shape.AddPoint(shape.Point(0)); // the digitizer closes the ring
    shape.zAware = true;
    auto feature = fc->CreateFeature();
    feature->SetShape(shape);
    feature->SetValue(2, std::string("scribeline"));
    feature->Store();
    editor->StopEditing(true);
    EXPECT_EQ(editor->EditState(), kEditStateNotEditing);

    const std::string info = testing::Run(std::string(OGRINFO_EXECUTABLE) + " -al " +
                                          testing::Quote(folder / "~tempDigitizeFromGE1.shp"));
    EXPECT_NE(info.find("ID[\"EPSG\",4326]"), std::string::npos) << info;
    EXPECT_NE(info.find("_Name (String) = scribeline"), std::string::npos) << info;
    EXPECT_NE(info.find("POLYGON ((8 47,9 48,9 47,8 47))"), std::string::npos)
        << "stored clockwise and in two dimensions: " << info;
}

TEST_F(HostTest, RasterLayersAreNotFeatureLayers) {
    const auto tif = folder / "dem.asc";
    std::ofstream(tif) << "ncols 2\nnrows 2\nxllcorner 10\nyllcorner 40\ncellsize 1\n"
                          "NODATA_value -9999\n1 2\n3 4\n";
    auto raster = std::make_shared<RasterLayer>(tif);
    EXPECT_EQ(raster->Kind(), LayerKind::Other);
    EXPECT_EQ(raster->Name(), "dem");
    EXPECT_EQ(raster->Extent(), (Envelope{10, 40, 12, 42}));
    host.Document()->FocusMap()->AddLayer(raster);
    EXPECT_EQ(host.Document()->FocusMap()->LayerCount(), 1);
    EXPECT_THROW(RasterLayer(folder / "missing.tif"), PortError);
}

} // namespace
} // namespace scribeline::gis
