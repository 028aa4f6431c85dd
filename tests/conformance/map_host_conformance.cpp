// The map-host conformance cases (see map_host_conformance.hpp). Each case names the promise of
// command/map_port.hpp it checks.
#include "tests/conformance/map_host_conformance.hpp"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace scribeline::conformance {

namespace fs = std::filesystem;

namespace {

Field TextField(const std::string& name, int length) {
    Field f;
    f.name = name;
    f.type = FieldType::String;
    f.length = length;
    return f;
}

Field NumberField(const std::string& name, FieldType type, int precision = 0, int scale = 0) {
    Field f;
    f.name = name;
    f.type = type;
    f.precision = precision;
    f.scale = scale;
    return f;
}

Geometry Line(std::vector<MapPoint> points, bool z) {
    Geometry g = Geometry::empty(GeometryType::Polyline);
    g.zAware = z;
    for (const auto& p : points) {
        g.AddPoint(p);
    }
    return g;
}

Geometry Square(double x, double y, double size, bool z) {
    Geometry g = Geometry::empty(GeometryType::Polygon);
    g.zAware = z;
    // Clockwise, closed: the host's exterior ring.
    for (const auto& p : std::vector<MapPoint>{{x, y, 1.0},
                                               {x, y + size, 2.0},
                                               {x + size, y + size, 3.0},
                                               {x + size, y, 4.0},
                                               {x, y, 1.0}}) {
        g.AddPoint(p);
    }
    return g;
}

std::vector<std::shared_ptr<IFeature>> All(IFeatureCursor& cursor) {
    std::vector<std::shared_ptr<IFeature>> out;
    while (auto f = cursor.NextFeature()) {
        out.push_back(f);
    }
    return out;
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Stores one feature with the given shape and first attribute text.
std::shared_ptr<IFeature> StoreOne(IFeatureClass& fc, const Geometry& shape,
                                   const std::string& name) {
    auto feature = fc.CreateFeature();
    feature->SetShape(shape);
    feature->SetValue(2, FieldValue{name});
    feature->Store();
    return feature;
}

} // namespace

void MapHostConformance::SetUp() {
    std::random_device seed;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? info->name() : "case";
    for (auto& c : name) {
        if (c == '/') {
            c = '-';
        }
    }
    folder_ = fs::temp_directory_path() /
              ("scribeline-map-conformance-" + name + "-" + std::to_string(seed()));
    fs::create_directories(folder_);
    env_ = GetParam().make(folder_);
    if (env_ == nullptr) {
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") {
            FAIL() << GetParam().name << " is required under CI but cannot run here";
        }
        GTEST_SKIP() << GetParam().name << " cannot run on this machine";
    }
    application_ = env_->Application();
    ASSERT_NE(application_, nullptr);
}

void MapHostConformance::TearDown() {
    application_.reset();
    env_.reset();
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

std::shared_ptr<IFeatureWorkspace> MapHostConformance::Workspace() {
    return app().Factory().ShapefileWorkspaceFactory().OpenFromFile(folder_.string());
}

std::shared_ptr<IFeatureClass>
MapHostConformance::CreateClass(const std::string& name, GeometryType type, bool hasZ,
                                const std::vector<Field>& attributes) {
    Fields fields;
    Field shape;
    shape.name = "Shape";
    shape.type = FieldType::Geometry;
    shape.geometryDef = GeometryDef{
        type, hasZ,
        app().Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(4326)};
    fields.AddField(shape);
    for (const auto& f : attributes) {
        fields.AddField(f);
    }
    return Workspace()->CreateFeatureClass(name, fields, "Shape", "");
}

std::shared_ptr<IFeatureLayer>
MapHostConformance::AddLayer(const std::shared_ptr<IFeatureClass>& featureClass,
                             const std::string& name) {
    auto layer = app().Factory().CreateFeatureLayer();
    layer->SetFeatureClass(featureClass);
    layer->SetName(name);
    map().AddLayer(layer);
    return layer;
}

// ---- application ---------------------------------------------------------------------------

// The map view is the main window's child of class "AfxFrameOrView70u" with an empty title.
TEST_P(MapHostConformance, MainWindowHoldsTheMapViewWindow) {
    const WindowHandle main = app().hWnd();
    ASSERT_NE(main, kNoWindow);
    EXPECT_TRUE(env().Desktop().IsWindow(main));
    const WindowHandle view = env().Desktop().FindWindowEx(
        main, kNoWindow, std::string("AfxFrameOrView70u"), std::string());
    ASSERT_NE(view, kNoWindow);
    const auto client = env().Desktop().GetClientRect(view);
    ASSERT_TRUE(client.has_value());
    EXPECT_GT(client->width(), 0);
    EXPECT_GT(client->height(), 0);
}

TEST_P(MapHostConformance, EditorExtensionByIdentifierOnly) {
    EXPECT_NE(app().FindExtensionByCLSID("esriCore.Editor"), nullptr);
    EXPECT_EQ(app().FindExtensionByCLSID("esriCore.Unknown"), nullptr);
    EXPECT_EQ(app().FindExtensionByCLSID(""), nullptr);
}

TEST_P(MapHostConformance, ProductCodeAndDataView) {
    const int code = app().ProductCode();
    EXPECT_TRUE(code == 100 || code == 200 || code == 300) << code;
    EXPECT_FALSE(app().Document()->ActiveViewIsPageLayout());
    EXPECT_NE(app().Document()->FocusMap(), nullptr);
    EXPECT_NE(app().Document()->ActiveView(), nullptr);
}

TEST_P(MapHostConformance, StepProgressorTakesTheCoreSequence) {
    auto& progress = app().StepProgressor();
    EXPECT_NO_THROW({
        progress.SetPosition(0);
        progress.Show();
        for (int i = 0; i < 5; ++i) {
            progress.Step();
        }
        progress.Hide();
    });
}

// ---- spatial references and geometry -------------------------------------------------------

TEST_P(MapHostConformance, SpatialReferenceNamesAndCodes) {
    auto& factory = app().Factory().SpatialReferenceFactory();
    auto wgs = factory.CreateGeographicCoordinateSystem(4326);
    EXPECT_EQ(wgs->Name(), "GCS_WGS_1984");
    EXPECT_EQ(wgs->FactoryCode(), 4326);
    auto again = factory.CreateGeographicCoordinateSystem(4326);
    EXPECT_TRUE(wgs->IsEqual(*again));
    auto mercator = factory.CreateProjectedCoordinateSystem(3857);
    EXPECT_EQ(mercator->FactoryCode(), 3857);
    EXPECT_FALSE(wgs->IsEqual(*mercator));
    auto unknown = factory.CreateUnknownCoordinateSystem();
    EXPECT_EQ(unknown->Name(), "Unknown");
    EXPECT_EQ(unknown->FactoryCode(), 0);
    EXPECT_NO_THROW(wgs->SetFalseOriginAndUnits(-180.0, -90.0, 1000000.0));
    EXPECT_THROW(factory.CreateGeographicCoordinateSystem(999999), PortError);
}

TEST_P(MapHostConformance, GeometryEngineProjectsAndMeasures) {
    auto& engine = app().Factory().GeometryEngine();
    auto& factory = app().Factory().SpatialReferenceFactory();
    Geometry p = Geometry::point(10.0, 50.0);
    p.spatialReference = factory.CreateGeographicCoordinateSystem(4326);
    const Geometry projected = engine.Project(p, *factory.CreateProjectedCoordinateSystem(3857));
    // Web Mercator easting of 10 degrees east; 1 mm tolerance.
    EXPECT_NEAR(projected.Point(0).x, 1113194.9079, 1e-3);
    EXPECT_EQ(projected.spatialReference->FactoryCode(), 3857);
    const Geometry back = engine.Project(projected, *p.spatialReference);
    EXPECT_NEAR(back.Point(0).x, 10.0, 1e-9);
    EXPECT_NEAR(back.Point(0).y, 50.0, 1e-9);
    EXPECT_DOUBLE_EQ(engine.Length(Line({{0, 0, 0}, {3, 4, 0}, {3, 5, 0}}, false)), 6.0);
    EXPECT_DOUBLE_EQ(engine.Area(Square(0, 0, 2, false)), 4.0);
}

// ---- map and layers --------------------------------------------------------------------------

// The added layer becomes layer 0; Layers() lists a group before its members, recursively.
TEST_P(MapHostConformance, LayerOrderAndGroups) {
    // A class per layer: hosts may keep one layer object per class (QGIS does).
    auto classOf = [this](const std::string& name) {
        return CreateClass(name, GeometryType::Point, false, {TextField("NAME", 10)});
    };
    EXPECT_EQ(map().LayerCount(), 0);
    auto a = AddLayer(classOf("a"), "A");
    auto b = AddLayer(classOf("b"), "B");
    ASSERT_EQ(map().LayerCount(), 2);
    EXPECT_EQ(map().Layer(0)->Name(), "B");
    EXPECT_EQ(map().Layer(1)->Name(), "A");

    auto c = app().Factory().CreateFeatureLayer();
    c->SetFeatureClass(classOf("c"));
    c->SetName("C");
    auto d = app().Factory().CreateFeatureLayer();
    d->SetFeatureClass(classOf("d"));
    d->SetName("D");
    env().AddGroupLayer("G", {c, d});
    ASSERT_EQ(map().LayerCount(), 3);
    EXPECT_EQ(map().Layer(0)->Kind(), LayerKind::Group);
    EXPECT_EQ(map().Layer(0)->Name(), "G");

    std::vector<std::string> names;
    std::vector<LayerKind> kinds;
    for (const auto& layer : map().Layers()) {
        names.push_back(layer->Name());
        kinds.push_back(layer->Kind());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"G", "C", "D", "B", "A"}));
    EXPECT_EQ(kinds,
              (std::vector<LayerKind>{LayerKind::Group, LayerKind::Feature, LayerKind::Feature,
                                      LayerKind::Feature, LayerKind::Feature}));
    auto group = std::dynamic_pointer_cast<IGroupLayer>(map().Layer(0));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->Layers().size(), 2U);
    EXPECT_EQ(group->Layers()[1]->Name(), "D");
    EXPECT_THROW(map().Layer(3), PortError);
    EXPECT_THROW(map().AddLayer(nullptr), PortError);
}

TEST_P(MapHostConformance, FeatureLayerNamesClassAndReference) {
    auto fc = CreateClass("named", GeometryType::Polyline, true, {TextField("NAME", 10)});
    auto fresh = app().Factory().CreateFeatureLayer();
    EXPECT_EQ(fresh->FeatureClass(), nullptr);
    auto layer = AddLayer(fc, "first name");
    EXPECT_EQ(layer->Kind(), LayerKind::Feature);
    layer->SetName("second name");
    EXPECT_EQ(map().Layer(0)->Name(), "second name");
    ASSERT_NE(layer->FeatureClass(), nullptr);
    EXPECT_EQ(layer->FeatureClass()->AliasName(), "named");
    ASSERT_NE(layer->SpatialReference(), nullptr);
    EXPECT_EQ(layer->SpatialReference()->FactoryCode(), 4326);
}

TEST_P(MapHostConformance, MapReferenceAndUnits) {
    auto& factory = app().Factory().SpatialReferenceFactory();
    map().SetSpatialReference(factory.CreateGeographicCoordinateSystem(4326));
    ASSERT_NE(map().SpatialReference(), nullptr);
    EXPECT_EQ(map().SpatialReference()->Name(), "GCS_WGS_1984");
    EXPECT_EQ(map().MapUnits(), 11); // decimal degrees
    map().SetSpatialReference(factory.CreateProjectedCoordinateSystem(3857));
    EXPECT_EQ(map().MapUnits(), 9); // meters
    map().SetDistanceUnits(10);
    EXPECT_EQ(map().DistanceUnits(), 10);
    map().SetDistanceUnits(11);
    EXPECT_EQ(map().DistanceUnits(), 11);
    EXPECT_THROW(map().SetDistanceUnits(13), PortError);
    EXPECT_EQ(map().DistanceUnits(), 11);
}

// A refused expression raises and keeps the previous one; an accepted one filters the layer's
// class searches made through the layer's data view (counts through the class stay whole).
TEST_P(MapHostConformance, DefinitionExpressionKeptWhenRefused) {
    auto fc = CreateClass("defined", GeometryType::Point, false, {TextField("NAME", 10)});
    auto layer = AddLayer(fc, "defined");
    EXPECT_EQ(layer->DefinitionExpression(), "");
    layer->SetDefinitionExpression("NAME = 'a'");
    EXPECT_EQ(layer->DefinitionExpression(), "NAME = 'a'");
    EXPECT_THROW(layer->SetDefinitionExpression("NO_SUCH_FIELD = 3"), PortError);
    EXPECT_EQ(layer->DefinitionExpression(), "NAME = 'a'");
    EXPECT_THROW(layer->SetDefinitionExpression("NAME = = ="), PortError);
    EXPECT_EQ(layer->DefinitionExpression(), "NAME = 'a'");
    layer->SetDefinitionExpression("");
    EXPECT_EQ(layer->DefinitionExpression(), "");
}

TEST_P(MapHostConformance, SelectionSetsAndMapSelectionCount) {
    auto fc = CreateClass("selected", GeometryType::Point, false, {TextField("NAME", 10)});
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 4; ++i) {
        ids.push_back(StoreOne(*fc, Geometry::point(i, i), "p" + std::to_string(i))->OID());
    }
    auto layer = AddLayer(fc, "selected");
    EXPECT_EQ(map().SelectionCount(), 0);
    EXPECT_EQ(layer->SelectionSet()->Count(), 0);
    env().Select(layer, {ids[1], ids[3]});
    EXPECT_EQ(layer->SelectionSet()->Count(), 2);
    EXPECT_EQ(map().SelectionCount(), 2);
    auto cursor = layer->SelectionSet()->Search(nullptr, false);
    auto selected = All(*cursor);
    ASSERT_EQ(selected.size(), 2U);
    EXPECT_EQ(selected[0]->OID(), ids[1]);
    EXPECT_EQ(selected[1]->OID(), ids[3]);
    QueryFilter filter{"NAME = 'p3'"};
    auto filtered = All(*layer->SelectionSet()->Search(&filter, false));
    ASSERT_EQ(filtered.size(), 1U);
    EXPECT_EQ(std::get<std::string>(filtered[0]->Value(2)), "p3");
}

// ---- feature classes -------------------------------------------------------------------------

// Object id at 0, shape at 1, the attributes from 2 with the widths a shapefile keeps.
TEST_P(MapHostConformance, CreatedClassFieldsFollowTheIndexConvention) {
    auto fc = CreateClass(
        "fields", GeometryType::Point, false,
        {TextField("NAME", 20), NumberField("SHORT", FieldType::SmallInteger, 4),
         NumberField("LONG", FieldType::Integer, 9), NumberField("FLOAT", FieldType::Single, 8, 3),
         NumberField("DOUBLE", FieldType::Double, 18, 6), NumberField("WHEN", FieldType::Date)});
    EXPECT_EQ(fc->ShapeType(), GeometryType::Point);
    EXPECT_FALSE(fc->HasZ());
    EXPECT_EQ(fc->FeatureType(), kFeatureTypeSimple);
    const Fields fields = fc->GetFields();
    ASSERT_EQ(fields.FieldCount(), 8);
    EXPECT_EQ(fields.GetField(0).type, FieldType::OID);
    EXPECT_EQ(fields.GetField(1).type, FieldType::Geometry);
    ASSERT_TRUE(fields.GetField(1).geometryDef.has_value());
    EXPECT_EQ(fields.GetField(1).geometryDef->geometryType, GeometryType::Point);
    const std::vector<std::pair<std::string, FieldType>> expected{
        {"NAME", FieldType::String},   {"SHORT", FieldType::SmallInteger},
        {"LONG", FieldType::Integer},  {"FLOAT", FieldType::Single},
        {"DOUBLE", FieldType::Double}, {"WHEN", FieldType::Date}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Field& f = fields.GetField(static_cast<int>(i) + 2);
        EXPECT_EQ(f.name, expected[i].first);
        EXPECT_EQ(f.type, expected[i].second) << f.name;
    }
    EXPECT_EQ(fields.GetField(2).length, 20);
    EXPECT_EQ(fields.FindField("double"), 6);
}

TEST_P(MapHostConformance, ShapeTypesAndZ) {
    auto points = CreateClass("pts", GeometryType::Point, true, {TextField("NAME", 5)});
    auto lines = CreateClass("lines", GeometryType::Polyline, false, {TextField("NAME", 5)});
    auto areas = CreateClass("areas", GeometryType::Polygon, true, {TextField("NAME", 5)});
    EXPECT_EQ(points->ShapeType(), GeometryType::Point);
    EXPECT_TRUE(points->HasZ());
    EXPECT_EQ(lines->ShapeType(), GeometryType::Polyline);
    EXPECT_FALSE(lines->HasZ());
    EXPECT_EQ(areas->ShapeType(), GeometryType::Polygon);
    EXPECT_TRUE(areas->HasZ());
    // Opened again from the folder: the same answers.
    auto reopened = Workspace()->OpenFeatureClass("areas");
    EXPECT_EQ(reopened->ShapeType(), GeometryType::Polygon);
    EXPECT_TRUE(reopened->HasZ());
    EXPECT_THROW(Workspace()->OpenFeatureClass("no_such_class"), PortError);
}

// Outside an edit session a stored feature is in the class at once (the terrain commands
// store that way), with its shape, z and values.
TEST_P(MapHostConformance, StoreOutsideAnEditSessionPersistsAtOnce) {
    auto fc = CreateClass("direct", GeometryType::Polyline, true,
                          {TextField("NAME", 10), NumberField("LEVEL", FieldType::Double, 18, 6)});
    auto feature = fc->CreateFeature();
    const Geometry line = Line({{1.5, 2.5, 100.0}, {2.5, 3.5, 200.0}, {4.0, 3.0, 150.0}}, true);
    feature->SetShape(line);
    feature->SetValue(2, FieldValue{std::string("ridge")});
    feature->SetValue(3, FieldValue{1250.5});
    feature->Store();
    EXPECT_GE(feature->OID(), 0);
    EXPECT_EQ(fc->FeatureCount(nullptr), 1);

    // Another handle on the same class (the class opened again) sees the feature.
    auto again = Workspace()->OpenFeatureClass("direct");
    auto stored = All(*again->Search(nullptr, false));
    ASSERT_EQ(stored.size(), 1U);
    EXPECT_EQ(stored[0]->OID(), feature->OID());
    const Geometry shape = stored[0]->Shape();
    EXPECT_EQ(shape.type, GeometryType::Polyline);
    ASSERT_EQ(shape.PointCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(shape.Point(i).x, line.Point(i).x);
        EXPECT_DOUBLE_EQ(shape.Point(i).y, line.Point(i).y);
        EXPECT_DOUBLE_EQ(shape.Point(i).z, line.Point(i).z);
    }
    EXPECT_EQ(std::get<std::string>(stored[0]->Value(2)), "ridge");
    EXPECT_DOUBLE_EQ(std::get<double>(stored[0]->Value(3)), 1250.5);
    EXPECT_EQ(std::get<std::int64_t>(stored[0]->Value(0)), feature->OID());
}

TEST_P(MapHostConformance, PolygonRingsComeBackClosedAndOriented) {
    auto fc = CreateClass("rings", GeometryType::Polygon, true, {TextField("NAME", 10)});
    StoreOne(*fc, Square(10, 20, 1, true), "sq");
    auto stored = All(*fc->Search(nullptr, false));
    ASSERT_EQ(stored.size(), 1U);
    const Geometry shape = stored[0]->Shape();
    EXPECT_EQ(shape.type, GeometryType::Polygon);
    EXPECT_TRUE(shape.zAware);
    ASSERT_EQ(shape.PointCount(), 5);
    EXPECT_EQ(shape.Point(0), shape.Point(4));
    EXPECT_DOUBLE_EQ(app().Factory().GeometryEngine().Area(shape), 1.0);
    EXPECT_DOUBLE_EQ(shape.Point(2).z, 3.0);
}

TEST_P(MapHostConformance, FeatureValueIndicesAndLimits) {
    auto fc = CreateClass("values", GeometryType::Point, false,
                          {TextField("NAME", 4), NumberField("SHORT", FieldType::SmallInteger, 4)});
    auto feature = fc->CreateFeature();
    EXPECT_THROW(feature->SetValue(0, FieldValue{std::int64_t{5}}), PortError);
    EXPECT_THROW(feature->SetValue(1, FieldValue{std::int64_t{5}}), PortError);
    EXPECT_THROW(feature->SetValue(4, FieldValue{std::int64_t{5}}), PortError);
    EXPECT_THROW(feature->SetValue(2, FieldValue{std::string("too long")}), PortError);
    EXPECT_THROW(feature->SetValue(3, FieldValue{std::string("abc")}), PortError);
    EXPECT_THROW(feature->SetShape(Line({{0, 0, 0}, {1, 1, 0}}, false)), PortError);
    feature->SetValue(3, FieldValue{std::string("42")});
    EXPECT_EQ(std::get<std::int64_t>(feature->Value(3)), 42);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(feature->Value(2)));
    EXPECT_EQ(feature->GetFields().FieldCount(), 4);
}

TEST_P(MapHostConformance, FilteredSearchesAndCounts) {
    auto fc = CreateClass("filtered", GeometryType::Point, false,
                          {TextField("NAME", 10), NumberField("N", FieldType::Integer, 9)});
    for (int i = 0; i < 6; ++i) {
        auto f = fc->CreateFeature();
        f->SetShape(Geometry::point(i, -i));
        f->SetValue(2, FieldValue{std::string(i % 2 == 0 ? "even" : "odd")});
        f->SetValue(3, FieldValue{std::int64_t{i}});
        f->Store();
    }
    QueryFilter even{"NAME = 'even'"};
    QueryFilter big{"N >= 4"};
    QueryFilter everything{""};
    EXPECT_EQ(fc->FeatureCount(&even), 3);
    EXPECT_EQ(fc->FeatureCount(&big), 2);
    EXPECT_EQ(fc->FeatureCount(&everything), 6);
    EXPECT_EQ(fc->FeatureCount(nullptr), 6);
    auto found = All(*fc->Search(&big, false));
    ASSERT_EQ(found.size(), 2U);
    EXPECT_EQ(std::get<std::int64_t>(found[0]->Value(3)), 4);
    EXPECT_EQ(std::get<std::int64_t>(found[1]->Value(3)), 5);
    QueryFilter bad{"NO_SUCH = 1"};
    EXPECT_THROW(fc->FeatureCount(&bad), PortError);
    EXPECT_THROW(fc->Search(&bad, false), PortError);
}

// Altering the reference of a class without one writes an ESRI .prj beside the shapefile.
TEST_P(MapHostConformance, AlterSpatialReferenceWritesAPrj) {
    Fields fields;
    Field shape;
    shape.name = "Shape";
    shape.type = FieldType::Geometry;
    shape.geometryDef = GeometryDef{GeometryType::Point, false, nullptr};
    fields.AddField(shape);
    fields.AddField(TextField("NAME", 8));
    auto fc = Workspace()->CreateFeatureClass("bare", fields, "Shape", "");
    EXPECT_EQ(fc->SpatialReference()->Name(), "Unknown");
    ASSERT_TRUE(fc->CanAlterSpatialReference());
    fc->AlterSpatialReference(
        app().Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(4326));
    EXPECT_EQ(fc->SpatialReference()->Name(), "GCS_WGS_1984");
    const std::string prj = ReadText(folder() / "bare.prj");
    EXPECT_EQ(prj.rfind("GEOGCS[\"GCS_WGS_1984\"", 0), 0U) << prj;
    EXPECT_EQ(Workspace()->OpenFeatureClass("bare")->SpatialReference()->FactoryCode(), 4326);
}

// ---- editing ---------------------------------------------------------------------------------

TEST_P(MapHostConformance, EditSessionSavesOrDiscards) {
    auto fc = CreateClass("edited", GeometryType::Point, false, {TextField("NAME", 10)});
    auto layer = AddLayer(fc, "edited");
    auto editor = app().FindExtensionByCLSID("esriCore.Editor");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->EditState(), kEditStateNotEditing);
    EXPECT_THROW(editor->StopEditing(true), PortError);

    editor->StartEditing(fc->Workspace());
    EXPECT_EQ(editor->EditState(), kEditStateEditing);
    EXPECT_THROW(editor->StartEditing(fc->Workspace()), PortError);
    StoreOne(*fc, Geometry::point(1, 1), "kept");
    StoreOne(*fc, Geometry::point(2, 2), "kept too");
    // Searches see the session's features before they are saved.
    EXPECT_EQ(fc->FeatureCount(nullptr), 2);
    editor->StopEditing(true);
    EXPECT_EQ(editor->EditState(), kEditStateNotEditing);
    EXPECT_EQ(fc->FeatureCount(nullptr), 2);

    editor->StartEditing(fc->Workspace());
    StoreOne(*fc, Geometry::point(3, 3), "dropped");
    editor->StopEditing(false);
    EXPECT_EQ(fc->FeatureCount(nullptr), 2);
    QueryFilter dropped{"NAME = 'dropped'"};
    EXPECT_EQ(fc->FeatureCount(&dropped), 0);
    // The class opened afresh reads what was saved.
    EXPECT_EQ(Workspace()->OpenFeatureClass("edited")->FeatureCount(nullptr), 2);
}

// Every handle on one class sees the edits of the others: one class object per dataset.
TEST_P(MapHostConformance, LayersOnOneClassShareEdits) {
    auto fc = CreateClass("shared", GeometryType::Point, false, {TextField("NAME", 10)});
    auto first = AddLayer(fc, "first");
    auto second = AddLayer(Workspace()->OpenFeatureClass("shared"), "second");
    auto editor = app().FindExtensionByCLSID("esriCore.Editor");
    editor->StartEditing(fc->Workspace());
    StoreOne(*first->FeatureClass(), Geometry::point(1, 1), "one");
    EXPECT_EQ(second->FeatureClass()->FeatureCount(nullptr), 1);
    StoreOne(*second->FeatureClass(), Geometry::point(2, 2), "two");
    EXPECT_EQ(first->FeatureClass()->FeatureCount(nullptr), 2);
    editor->StopEditing(true);
    EXPECT_EQ(Workspace()->OpenFeatureClass("shared")->FeatureCount(nullptr), 2);
}

// ---- views -------------------------------------------------------------------------------------

// SetExtent shows at least the requested area, centred on it; Extent reports what is shown.
TEST_P(MapHostConformance, ExtentCoversWhatWasAsked) {
    map().SetSpatialReference(
        app().Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(4326));
    const Envelope wanted{10.0, 40.0, 20.0, 45.0};
    view().SetExtent(wanted);
    const Envelope shown = view().Extent();
    const double tolerance = 1e-6;
    EXPECT_LE(shown.XMin, wanted.XMin + tolerance);
    EXPECT_LE(shown.YMin, wanted.YMin + tolerance);
    EXPECT_GE(shown.XMax, wanted.XMax - tolerance);
    EXPECT_GE(shown.YMax, wanted.YMax - tolerance);
    EXPECT_NEAR((shown.XMin + shown.XMax) / 2, 15.0, 1e-6);
    EXPECT_NEAR((shown.YMin + shown.YMax) / 2, 42.5, 1e-6);
    // One side fits exactly: no more is shown than the window's shape needs.
    const bool widthFits = std::abs((shown.XMax - shown.XMin) - 10.0) < 1e-6;
    const bool heightFits = std::abs((shown.YMax - shown.YMin) - 5.0) < 1e-6;
    EXPECT_TRUE(widthFits || heightFits);
    EXPECT_THROW(view().SetExtent(Envelope{5.0, 5.0, 5.0, 5.0}), PortError);
}

// Map points and view pixels convert both ways within one pixel, the centre of the extent at
// the centre of the map view window, y growing downwards.
TEST_P(MapHostConformance, DisplayTransformationMatchesTheWindow) {
    view().SetExtent(Envelope{-10.0, -10.0, 10.0, 10.0});
    auto& transformation = view().ScreenDisplay().DisplayTransformation();
    const WindowHandle mapView = env().Desktop().FindWindowEx(
        app().hWnd(), kNoWindow, std::string("AfxFrameOrView70u"), std::string());
    const auto client = env().Desktop().GetClientRect(mapView);
    ASSERT_TRUE(client.has_value());
    const Envelope bounds = transformation.VisibleBounds();
    const MapPoint centre{(bounds.XMin + bounds.XMax) / 2, (bounds.YMin + bounds.YMax) / 2, 0};
    const scribeline::Point pixel = transformation.FromMapPoint(centre);
    EXPECT_NEAR(pixel.x, client->width() / 2.0, 1.0);
    EXPECT_NEAR(pixel.y, client->height() / 2.0, 1.0);
    const scribeline::Point north = transformation.FromMapPoint({centre.x, centre.y + 5.0, 0});
    EXPECT_LT(north.y, pixel.y);
    const MapPoint back = transformation.ToMapPoint(north);
    const double resolution = (bounds.XMax - bounds.XMin) / client->width();
    EXPECT_NEAR(back.x, centre.x, 1.5 * resolution);
    EXPECT_NEAR(back.y, centre.y + 5.0, 1.5 * resolution);
}

TEST_P(MapHostConformance, ScreenDisplayDrawsOnlyBetweenStartAndFinish) {
    auto& display = view().ScreenDisplay();
    const Geometry line = Line({{0, 0, 0}, {1, 1, 0}}, false);
    EXPECT_THROW(display.DrawPolyline(line), PortError);
    display.StartDrawing(-2);
    Symbol symbol;
    symbol.kind = SymbolKind::SimpleLine;
    symbol.colour = 0x0000FF;
    display.SetSymbol(symbol);
    EXPECT_NO_THROW(display.DrawPolyline(line));
    EXPECT_NO_THROW(display.DrawPoint(Geometry::point(0.5, 0.5)));
    EXPECT_NO_THROW(display.DrawPolygon(Square(0, 0, 1, false)));
    EXPECT_THROW(display.DrawPoint(line), PortError);
    display.FinishDrawing();
    EXPECT_THROW(display.DrawPoint(Geometry::point(0.5, 0.5)), PortError);
    EXPECT_NO_THROW(view().Refresh());
}

TEST_P(MapHostConformance, LineElementsTakePolylinesOnly) {
    Symbol symbol;
    EXPECT_NO_THROW(view().AddLineElement(Line({{0, 0, 0}, {2, 2, 0}}, false), symbol));
    EXPECT_THROW(view().AddLineElement(Geometry::point(1, 1), symbol), PortError);
    EXPECT_NO_THROW(view().DeleteAllElements());
    EXPECT_NO_THROW(view().Refresh());
}

} // namespace scribeline::conformance
