// Feature classes, fields and edit sessions against real files, read back with ogrinfo and
// shpdump.
#include "hosts/gis/editor.hpp"
#include "hosts/gis/geometry_convert.hpp"
#include "hosts/gis/geometry_engine.hpp"
#include "hosts/gis/spatial_reference.hpp"
#include "hosts/gis/workspace.hpp"
#include "tests/hosts/gis/test_support.hpp"

#include <gtest/gtest.h>

namespace scribeline::gis {
namespace {

using testing::Quote;

using testing::TempFolder;

Field shapeField(GeometryType type, bool hasZ) {
    Field f{"Shape", FieldType::Geometry};
    f.geometryDef = GeometryDef{type, hasZ, nullptr};
    return f;
}

Fields targetLayerFields(GeometryType type, bool hasZ) {
    Fields fields;
    fields.AddField(shapeField(type, hasZ));
    fields.AddField(Field{"_Name", FieldType::String, 20});
    fields.AddField(Field{"_Descrip", FieldType::String, 50});
    return fields;
}

Geometry polyline(std::vector<std::vector<MapPoint>> parts, bool z = false) {
    Geometry g = Geometry::empty(GeometryType::Polyline);
    g.parts = std::move(parts);
    g.zAware = z;
    return g;
}

Geometry polygon(std::vector<std::vector<MapPoint>> rings) {
    Geometry g = Geometry::empty(GeometryType::Polygon);
    g.parts = std::move(rings);
    return g;
}

std::vector<std::shared_ptr<IFeature>> all(IFeatureClass& fc, const std::string& where = {}) {
    QueryFilter filter{where};
    auto cursor = fc.Search(&filter, false);
    std::vector<std::shared_ptr<IFeature>> out;
    while (auto f = cursor->NextFeature()) {
        out.push_back(f);
    }
    return out;
}

// The feature blocks of `ogrinfo -al` (from the first "OGRFeature"), path independent.
std::string ogrFeatures(const std::filesystem::path& shp) {
    const std::string text = testing::Run(std::string(OGRINFO_EXECUTABLE) + " -al " + Quote(shp));
    const auto at = text.find("OGRFeature(");
    return at == std::string::npos ? std::string{} : text.substr(at);
}

class ShapefileTest : public ::testing::Test {
protected:
    TempFolder folder;
    WorkspaceRegistry registry;
    std::shared_ptr<Workspace> workspace() { return registry.ShapefileFolder(folder.path()); }
};

TEST_F(ShapefileTest, TargetLayerWritesWhatOgrinfoAndShpdumpRead) {
    auto ws = workspace();
    auto fc = ws->CreateFeatureClass("~tempDigitizeFromGE1",
                                     targetLayerFields(GeometryType::Polyline, true), "Shape", "");
    ASSERT_EQ(fc->ShapeType(), GeometryType::Polyline);
    EXPECT_TRUE(fc->HasZ());
    EXPECT_EQ(fc->FeatureType(), kFeatureTypeSimple);
    EXPECT_EQ(fc->SpatialReference()->Name(), "Unknown");

    Editor editor;
    editor.StartEditing(ws);
    auto a = fc->CreateFeature();
    a->SetShape(polyline({{{8.5, 47.25, 410.5}, {8.75, 47.5, 420.0}, {9.0, 47.0, 430.25}}}, true));
    a->SetValue(2, std::string("scribeline"));
    a->Store();
    auto b = fc->CreateFeature();
    b->SetShape(polyline({{{0, 0, 1}, {1, 1, 2}}, {{2, 2, 3}, {3, 3, 4}}}, true));
    b->SetValue(2, std::string("two parts"));
    b->SetValue(3, std::string("Ünïcödé text"));
    b->Store();
    EXPECT_EQ(a->OID(), 0);
    EXPECT_EQ(b->OID(), 1);
    editor.StopEditing(true);

    const auto shp = folder / "~tempDigitizeFromGE1.shp";
    testing::ExpectGolden(ogrFeatures(shp), "gis/target_layer.ogrinfo.txt");
    testing::ExpectGolden(
        testing::ReplaceAll(testing::Run(std::string(SHPDUMP_EXECUTABLE) + " " + Quote(shp)),
                            folder.path().string() + "/", ""),
        "gis/target_layer.shpdump.txt");

    // And through a fresh host: the same fields, types and z values.
    WorkspaceRegistry fresh;
    auto again = fresh.ShapefileFolder(folder.path())->OpenFeatureClass("~tempDigitizeFromGE1");
    const Fields fields = again->GetFields();
    ASSERT_EQ(fields.FieldCount(), 4);
    EXPECT_EQ(fields.GetField(0).type, FieldType::OID);
    EXPECT_EQ(fields.GetField(1).type, FieldType::Geometry);
    ASSERT_TRUE(fields.GetField(1).geometryDef);
    EXPECT_TRUE(fields.GetField(1).geometryDef->hasZ);
    EXPECT_EQ(fields.GetField(2).name, "_Name");
    EXPECT_EQ(fields.GetField(2).type, FieldType::String);
    EXPECT_EQ(fields.GetField(2).length, 20);
    EXPECT_EQ(fields.GetField(3).length, 50);
    auto features = all(*again);
    ASSERT_EQ(features.size(), 2U);
    const Geometry shape = features[0]->Shape();
    EXPECT_TRUE(shape.zAware);
    EXPECT_EQ(shape.Point(2), (MapPoint{9.0, 47.0, 430.25}));
    EXPECT_EQ(features[1]->Shape().PartCount(), 2);
    EXPECT_EQ(std::get<std::string>(features[1]->Value(3)), "Ünïcödé text");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(features[0]->Value(3)));
}

TEST_F(ShapefileTest, EveryFieldTypeOfTheDigitizerRoundTrips) {
    Fields fields;
    fields.AddField(shapeField(GeometryType::Point, false));
    Field altitude{"_Altitude", FieldType::Single};
    altitude.precision = 8;
    altitude.scale = 3;
    fields.AddField(altitude);
    // The field definition dialog's six types with its default lengths.
    fields.AddField(Field{"SHORTF", FieldType::SmallInteger, 8});
    fields.AddField(Field{"LONGF", FieldType::Integer, 16});
    fields.AddField(Field{"FLOATF", FieldType::Single, 16});
    fields.AddField(Field{"DOUBLEF", FieldType::Double, 32});
    fields.AddField(Field{"TEXTF", FieldType::String, 50});
    fields.AddField(Field{"DATEF", FieldType::Date, 10});
    auto fc = workspace()->CreateFeatureClass("types", fields, "Shape", "");
    auto f = fc->CreateFeature();
    f->SetShape(Geometry::point(1, 2));
    f->SetValue(2, 1234.567);
    f->SetValue(3, std::int64_t{-32768});
    f->SetValue(4, std::string("2147483647"));
    f->SetValue(5, 2.5);
    f->SetValue(6, 0.1 + 0.2);
    f->SetValue(7, std::int64_t{42}); // numbers become text in a text field
    f->SetValue(8, std::string("2009-03-14"));
    f->Store();

    WorkspaceRegistry fresh;
    auto again = fresh.ShapefileFolder(folder.path())->OpenFeatureClass("types");
    const Fields read = again->GetFields();
    ASSERT_EQ(read.FieldCount(), 9);
    const FieldType expected[] = {FieldType::Single, FieldType::SmallInteger, FieldType::Integer,
                                  FieldType::Single, FieldType::Double,       FieldType::String,
                                  FieldType::Date};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(read.GetField(i + 2).type, expected[i]) << read.GetField(i + 2).name;
    }
    EXPECT_EQ(read.GetField(2).precision, 8);
    EXPECT_EQ(read.GetField(2).scale, 3);
    EXPECT_EQ(read.GetField(7).length, 50);
    auto features = all(*again);
    ASSERT_EQ(features.size(), 1U);
    const auto& g = *features[0];
    EXPECT_DOUBLE_EQ(std::get<double>(g.Value(2)), 1234.567);
    EXPECT_EQ(std::get<std::int64_t>(g.Value(3)), -32768);
    EXPECT_EQ(std::get<std::int64_t>(g.Value(4)), 2147483647);
    EXPECT_DOUBLE_EQ(std::get<double>(g.Value(5)), 2.5);
    EXPECT_NEAR(std::get<double>(g.Value(6)), 0.3, 1e-9); // 11 decimals in the dBASE column
    EXPECT_EQ(std::get<std::string>(g.Value(7)), "42");
    EXPECT_EQ(std::get<std::string>(g.Value(8)), "2009-03-14");
}

TEST_F(ShapefileTest, CreateFeatureClassRefusesWhatAShapefileCannotHold) {
    auto ws = workspace();
    auto expectRefused = [&](const std::string& name, const Fields& fields,
                             const std::string& shapeName = "Shape") {
        EXPECT_THROW(ws->CreateFeatureClass(name, fields, shapeName, ""), PortError) << name;
        EXPECT_FALSE(std::filesystem::exists(folder / (name + ".shp"))) << name;
    };
    Fields noShape;
    noShape.AddField(Field{"_Name", FieldType::String, 20});
    expectRefused("noshape", noShape);

    Fields longName = targetLayerFields(GeometryType::Point, false);
    longName.AddField(Field{"ElevenChars", FieldType::Double});
    expectRefused("longname", longName);

    Fields repeated = targetLayerFields(GeometryType::Point, false);
    repeated.AddField(Field{"_NAME", FieldType::String, 5});
    expectRefused("repeated", repeated);

    Fields blob = targetLayerFields(GeometryType::Point, false);
    blob.AddField(Field{"pic", FieldType::Blob});
    expectRefused("blob", blob);

    Fields tooLong = targetLayerFields(GeometryType::Point, false);
    tooLong.AddField(Field{"memo", FieldType::String, 300});
    expectRefused("toolong", tooLong);

    expectRefused("wrongshape", targetLayerFields(GeometryType::Point, false), "Geometry");
    expectRefused("bad/name", targetLayerFields(GeometryType::Point, false));
    expectRefused("envelope", targetLayerFields(GeometryType::Envelope, false));

    ws->CreateFeatureClass("taken", targetLayerFields(GeometryType::Point, false), "Shape", "");
    EXPECT_THROW(
        ws->CreateFeatureClass("taken", targetLayerFields(GeometryType::Point, false), "Shape", ""),
        PortError);
    EXPECT_THROW(ws->OpenFeatureClass("missing"), PortError);
    EXPECT_NE(ws->OpenFeatureClass("TAKEN.shp"), nullptr); // the host ignores case
}

TEST_F(ShapefileTest, ValuesThatDoNotFitAreRefusedAtSetValue) {
    Fields fields = targetLayerFields(GeometryType::Point, false);
    fields.AddField(Field{"count", FieldType::SmallInteger});
    fields.AddField(Field{"day", FieldType::Date});
    auto fc = workspace()->CreateFeatureClass("values", fields, "Shape", "");
    auto f = fc->CreateFeature();
    EXPECT_THROW(f->SetValue(2, std::string(21, 'x')), PortError); // _Name holds 20
    EXPECT_NO_THROW(f->SetValue(2, std::string(20, 'x')));
    EXPECT_THROW(f->SetValue(4, std::string("scribeline")), PortError);
    EXPECT_THROW(f->SetValue(4, std::int64_t{40000}), PortError);
    EXPECT_NO_THROW(f->SetValue(4, std::string(" 12 ")));
    EXPECT_THROW(f->SetValue(5, std::string("2009-02-29")), PortError);
    EXPECT_THROW(f->SetValue(5, std::int64_t{20090314}), PortError);
    EXPECT_THROW(f->SetValue(0, std::int64_t{1}), PortError);
    EXPECT_THROW(f->SetValue(1, std::int64_t{1}), PortError);
    EXPECT_THROW(f->SetValue(6, std::int64_t{1}), PortError);
    EXPECT_THROW((void)f->Value(1), PortError);
    EXPECT_THROW((void)f->Value(-1), PortError);
    EXPECT_THROW(f->SetShape(polyline({{{0, 0}, {1, 1}}})), PortError); // a point class
    EXPECT_TRUE(std::holds_alternative<std::monostate>(f->Value(0)));   // not stored yet
    f->SetShape(Geometry::point(3, 4));
    f->Store();
    EXPECT_EQ(std::get<std::int64_t>(f->Value(0)), 0);
    EXPECT_EQ(std::get<std::int64_t>(all(*fc)[0]->Value(4)), 12);
}

TEST_F(ShapefileTest, PolygonWithHoleAndTwoPartPolylineSurviveTheFile) {
    auto ws = workspace();
    auto polygons = ws->CreateFeatureClass(
        "parcels", targetLayerFields(GeometryType::Polygon, false), "Shape", "");
    auto f = polygons->CreateFeature();
    // Stored counter-clockwise on purpose: the host stores simple polygons.
    f->SetShape(polygon(
        {{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, {{2, 2}, {2, 4}, {4, 4}, {4, 2}, {2, 2}}}));
    f->Store();
    auto lines = ws->CreateFeatureClass("roads", targetLayerFields(GeometryType::Polyline, false),
                                        "Shape", "");
    auto l = lines->CreateFeature();
    l->SetShape(polyline({{{0, 0}, {1, 0}}, {{5, 5}, {6, 6}, {7, 5}}}));
    l->Store();

    WorkspaceRegistry fresh;
    auto freshWs = fresh.ShapefileFolder(folder.path());
    const Geometry stored = all(*freshWs->OpenFeatureClass("parcels"))[0]->Shape();
    ASSERT_EQ(stored.PartCount(), 2);
    GeometryEngine engine;
    const auto exteriors = engine.ExteriorRings(stored);
    ASSERT_EQ(exteriors.size(), 1U);
    EXPECT_EQ(exteriors[0].size(), 5U);
    EXPECT_GT(SignedRingArea(exteriors[0]), 0.0) << "exterior rings run clockwise";
    const auto holes = engine.InteriorRings(stored, 0);
    ASSERT_EQ(holes.size(), 1U);
    EXPECT_LT(SignedRingArea(holes[0]), 0.0) << "interior rings run counter-clockwise";
    EXPECT_DOUBLE_EQ(engine.Area(stored), 96.0);
    EXPECT_DOUBLE_EQ(engine.Length(stored), 48.0);

    const Geometry road = all(*freshWs->OpenFeatureClass("roads"))[0]->Shape();
    ASSERT_EQ(road.PartCount(), 2);
    EXPECT_EQ(road.parts[1].size(), 3U);
    EXPECT_EQ(road.Point(4), (MapPoint{7, 5, 0}));
    const std::string dump =
        testing::Run(std::string(SHPDUMP_EXECUTABLE) + " " + Quote(folder / "roads.shp"));
    EXPECT_NE(dump.find("nParts=2"), std::string::npos) << dump;
}

TEST_F(ShapefileTest, EditsDiscardedOrSaved) {
    auto ws = workspace();
    auto fc =
        ws->CreateFeatureClass("edits", targetLayerFields(GeometryType::Point, false), "Shape", "");
    Editor editor;
    EXPECT_EQ(editor.EditState(), kEditStateNotEditing);
    EXPECT_THROW(editor.StopEditing(true), PortError);
    EXPECT_THROW(editor.StartEditing(nullptr), PortError);

    auto storePoints = [&](int n) {
        for (int i = 0; i < n; ++i) {
            auto f = fc->CreateFeature();
            f->SetShape(Geometry::point(i, i));
            f->SetValue(2, std::string("p") + std::to_string(i));
            f->Store();
        }
    };
    editor.StartEditing(ws);
    EXPECT_EQ(editor.EditState(), kEditStateEditing);
    EXPECT_THROW(editor.StartEditing(ws), PortError);
    EXPECT_FALSE(fc->CanAlterSpatialReference()) << "the schema is locked while editing";
    storePoints(3);
    EXPECT_EQ(fc->FeatureCount(nullptr), 3) << "the session sees its own edits";
    EXPECT_EQ(ogrFeatures(folder / "edits.shp"), "") << "the file does not, yet";
    editor.StopEditing(false);
    EXPECT_EQ(fc->FeatureCount(nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / ".scribeline-edit"));

    editor.StartEditing(ws);
    storePoints(2);
    editor.StopEditing(true);
    EXPECT_EQ(editor.EditState(), kEditStateNotEditing);
    EXPECT_EQ(fc->FeatureCount(nullptr), 2);
    EXPECT_NE(ogrFeatures(folder / "edits.shp").find("_Name (String) = p1"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder / ".scribeline-edit"));

    // A session whose host goes away unsaved leaves the files as they were.
    {
        WorkspaceRegistry other;
        auto ws2 = other.ShapefileFolder(folder.path());
        auto fc2 = ws2->OpenFeatureClass("edits");
        Editor editor2;
        editor2.StartEditing(ws2);
        auto f = fc2->CreateFeature();
        f->SetShape(Geometry::point(9, 9));
        f->Store();
    }
    WorkspaceRegistry fresh;
    EXPECT_EQ(
        fresh.ShapefileFolder(folder.path())->OpenFeatureClass("edits")->FeatureCount(nullptr), 2);
}

TEST_F(ShapefileTest, QueriesFilterAndBadWhereClausesFail) {
    auto fc = workspace()->CreateFeatureClass("q", targetLayerFields(GeometryType::Point, false),
                                              "Shape", "");
    for (int i = 0; i < 5; ++i) {
        auto f = fc->CreateFeature();
        f->SetShape(Geometry::point(i, 0));
        f->SetValue(2, i % 2 == 0 ? std::string("even") : std::string("odd"));
        f->Store();
    }
    QueryFilter even{"\"_Name\" = 'even'"};
    EXPECT_EQ(fc->FeatureCount(&even), 3);
    EXPECT_EQ(fc->FeatureCount(nullptr), 5);
    QueryFilter empty{};
    EXPECT_EQ(fc->FeatureCount(&empty), 5);
    auto odd = all(*fc, "\"_Name\" = 'odd'");
    ASSERT_EQ(odd.size(), 2U);
    EXPECT_EQ(odd[0]->OID(), 1);
    EXPECT_EQ(odd[1]->OID(), 3);
    QueryFilter bad{"\"_Name\" = = 'x'"};
    EXPECT_THROW(fc->FeatureCount(&bad), PortError);
    EXPECT_THROW(fc->Search(&bad, false), PortError);
    QueryFilter unknownField{"nosuch = 1"};
    EXPECT_THROW(fc->Search(&unknownField, false), PortError);
    EXPECT_EQ(fc->FeatureCount(nullptr), 5) << "a failed filter is not left behind";
}

TEST_F(ShapefileTest, AlteringAnUnknownReferenceWritesAPrjFile) {
    auto fc = workspace()->CreateFeatureClass(
        "noref", targetLayerFields(GeometryType::Polyline, false), "Shape", "");
    ASSERT_EQ(fc->SpatialReference()->Name(), "Unknown");
    ASSERT_TRUE(fc->CanAlterSpatialReference());
    SpatialReferenceFactory factory;
    auto wgs84 = factory.CreateGeographicCoordinateSystem(4326);
    wgs84->SetFalseOriginAndUnits(-180, -90, 1000000);
    fc->AlterSpatialReference(wgs84);
    EXPECT_EQ(fc->SpatialReference()->Name(), "GCS_WGS_1984");
    const std::string prj = testing::ReadFile(folder / "noref.prj");
    EXPECT_EQ(prj.rfind("GEOGCS[\"GCS_WGS_1984\"", 0), 0U) << prj;

    WorkspaceRegistry fresh;
    auto again = fresh.ShapefileFolder(folder.path())->OpenFeatureClass("noref");
    EXPECT_EQ(again->SpatialReference()->Name(), "GCS_WGS_1984");
    EXPECT_EQ(again->SpatialReference()->FactoryCode(), 4326);
    EXPECT_TRUE(again->SpatialReference()->IsEqual(*wgs84));
}

TEST(GeoPackageTest, EditSessionsAreTransactions) {
    TempFolder folder;
    const auto path = folder / "data.gpkg";
    Workspace::CreateGeoPackage(path);
    WorkspaceRegistry registry;
    auto ws = registry.DataSource(path);
    ASSERT_EQ(ws->Kind(), StoreKind::GeoPackage);
    Fields fields = targetLayerFields(GeometryType::Polygon, true);
    fields.fields[0].geometryDef->spatialReference = SpatialReference::FromEpsg(4326);
    fields.AddField(Field{"small", FieldType::SmallInteger});
    fields.AddField(Field{"single", FieldType::Single});
    auto fc = ws->CreateFeatureClass("zones", fields, "Shape", "");
    const Fields read = fc->GetFields();
    EXPECT_EQ(read.GetField(4).type, FieldType::SmallInteger);
    EXPECT_EQ(read.GetField(5).type, FieldType::Single);
    EXPECT_EQ(fc->SpatialReference()->FactoryCode(), 4326);

    Editor editor;
    auto storeSquare = [&](double x) {
        auto f = fc->CreateFeature();
        Geometry g = polygon({{{x, 0, 5}, {x, 1, 5}, {x + 1, 1, 5}, {x + 1, 0, 5}}});
        g.zAware = true;
        f->SetShape(g);
        f->SetValue(2, std::string("zone"));
        f->Store();
    };
    editor.StartEditing(ws);
    storeSquare(0);
    EXPECT_EQ(fc->FeatureCount(nullptr), 1);
    editor.StopEditing(false);
    EXPECT_EQ(fc->FeatureCount(nullptr), 0);
    editor.StartEditing(ws);
    storeSquare(0);
    storeSquare(2);
    editor.StopEditing(true);

    WorkspaceRegistry fresh;
    auto again = fresh.DataSource(path)->OpenFeatureClass("zones");
    auto features = all(*again);
    ASSERT_EQ(features.size(), 2U);
    const Geometry g = features[1]->Shape();
    EXPECT_TRUE(g.zAware);
    EXPECT_EQ(g.PointCount(), 5); // closed on the way in
    EXPECT_EQ(g.Point(0).z, 5.0);
}

TEST(ReadOnlySourceTest, OtherFormatsReadButRefuseWrites) {
    TempFolder folder;
    const auto path = folder / "points.geojson";
    std::ofstream(path) << R"({"type":"FeatureCollection","features":[
        {"type":"Feature","properties":{"name":"a"},"geometry":{"type":"Point","coordinates":[1,2]}},
        {"type":"Feature","properties":{"name":"b"},"geometry":{"type":"Point","coordinates":[3,4]}}]})";
    WorkspaceRegistry registry;
    auto ws = registry.Open(path);
    EXPECT_EQ(ws->Kind(), StoreKind::ReadOnly);
    const auto names = ws->FeatureClassNames();
    ASSERT_EQ(names.size(), 1U);
    auto fc = ws->OpenFeatureClass(names[0]);
    EXPECT_EQ(fc->ShapeType(), GeometryType::Point);
    auto features = all(*fc, "name = 'b'");
    ASSERT_EQ(features.size(), 1U);
    EXPECT_EQ(features[0]->Shape().Point(0), (MapPoint{3, 4, 0}));
    EXPECT_THROW(fc->CreateFeature(), PortError);
    EXPECT_FALSE(fc->CanAlterSpatialReference());
    Editor editor;
    EXPECT_THROW(editor.StartEditing(ws), PortError);
    EXPECT_EQ(editor.EditState(), kEditStateNotEditing);
    EXPECT_THROW(registry.Open(folder / "missing.gpkg"), PortError);
    ShapefileWorkspaceFactory factory(registry);
    EXPECT_THROW(factory.OpenFromFile((folder / "nofolder").string()), PortError);
}

} // namespace
} // namespace scribeline::gis
