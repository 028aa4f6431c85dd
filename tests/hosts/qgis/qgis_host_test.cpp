// The QGIS host: the map-host conformance suite against it, and what is particular to QGIS
// (windows, the project's modified flag, asynchronous rendering, layers the project removes).
#include "hosts/desktop/headless_desktop.hpp"
#include "tests/conformance/map_host_conformance.hpp"
#include "tests/hosts/qgis/qgis_support.hpp"

#include <QCoreApplication>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>

#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

#include <filesystem>
#include <random>

namespace scribeline::qgis::testing {
namespace {

namespace fs = std::filesystem;
using conformance::MapHostConformance;

class QgisEnvironment final : public conformance::MapHostEnvironment {
public:
    QgisEnvironment()
        : host_(std::make_shared<QgisHost>(windows_.Parts(), HeadlessRegistrar(desk_))) {}
    ~QgisEnvironment() override { host_.reset(); }
    std::shared_ptr<IMapApplication> Application() override { return host_; }
    IDesktop& Desktop() override { return desk_; }
    void AddGroupLayer(const std::string& name,
                       const std::vector<std::shared_ptr<ILayer>>& members) override {
        QgsLayerTreeGroup* group =
            windows_.Project().layerTreeRoot()->insertGroup(0, QString::fromStdString(name));
        auto wrapped = host_->Document()->FocusMap()->Layer(0);
        auto asGroup = std::dynamic_pointer_cast<IGroupLayer>(wrapped);
        ASSERT_NE(asGroup, nullptr);
        ASSERT_NE(group, nullptr);
        for (const auto& m : members) {
            asGroup->Add(m);
        }
    }
    void Select(const std::shared_ptr<IFeatureLayer>& layer,
                const std::vector<std::int64_t>& ids) override {
        QgsVectorLayer* vector = QgisHost::VectorLayerOf(*layer);
        ASSERT_NE(vector, nullptr);
        QgsFeatureIds selected;
        for (const auto id : ids) {
            selected.insert(id);
        }
        vector->selectByIds(selected);
    }
    QgisWindows& Windows() { return windows_; }
    QgisHost& Host() { return *host_; }
    desktop::HeadlessDesktop& Desk() { return desk_; }

private:
    desktop::HeadlessDesktop desk_{desktop::DesktopOptions{}};
    QgisWindows windows_;
    std::shared_ptr<QgisHost> host_;
};

std::unique_ptr<conformance::MapHostEnvironment> makeQgis(const fs::path& /*folder*/) {
    if (!QgisMissing().empty()) {
        return nullptr;
    }
    return std::make_unique<QgisEnvironment>();
}

INSTANTIATE_TEST_SUITE_P(Qgis, MapHostConformance,
                         ::testing::Values(conformance::MapHostParam{"Qgis", &makeQgis}),
                         conformance::MapHostParamName());

// ---- what is particular to the QGIS host -------------------------------------------------------

class QgisHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        SCRIBELINE_REQUIRE_QGIS();
        env = std::make_unique<QgisEnvironment>();
        std::random_device seed;
        folder = fs::temp_directory_path() / ("scribeline-qgis-host-" + std::to_string(seed()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        env.reset();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    QgisHost& host() { return env->Host(); }
    IMap& map() { return *host().Document()->FocusMap(); }
    std::shared_ptr<IFeatureClass> CreateLines(const std::string& name) {
        Fields fields;
        Field shape{"Shape", FieldType::Geometry};
        shape.geometryDef = GeometryDef{
            GeometryType::Polyline, true,
            host().Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(4326)};
        fields.AddField(shape);
        Field text{"NAME", FieldType::String};
        text.length = 16;
        fields.AddField(text);
        return host()
            .Factory()
            .ShapefileWorkspaceFactory()
            .OpenFromFile(folder.string())
            ->CreateFeatureClass(name, fields, "Shape", "");
    }
    std::shared_ptr<IFeatureLayer> AddLayer(const std::shared_ptr<IFeatureClass>& fc) {
        auto layer = host().Factory().CreateFeatureLayer();
        layer->SetFeatureClass(fc);
        map().AddLayer(layer);
        return layer;
    }
    static Geometry Line(double x) {
        Geometry g = Geometry::empty(GeometryType::Polyline);
        g.zAware = true;
        g.AddPoint({x, 0.0, 10.0});
        g.AddPoint({x + 1.0, 1.0, 20.0});
        return g;
    }

    std::unique_ptr<QgisEnvironment> env;
    fs::path folder;
};

TEST_F(QgisHostTest, WindowsAreRegisteredWithTheCanvasViewportAsTheMapView) {
    auto& desk = env->Desk();
    EXPECT_EQ(desk.GetClassName(host().hWnd()), kMainWindowClass);
    EXPECT_EQ(desk.GetWindowText(host().hWnd()), "Untitled Project - QGIS");
    EXPECT_EQ(desk.GetParent(host().MapViewWindow()), host().hWnd());
    EXPECT_EQ(desk.GetWindowText(host().MapViewWindow()), "");
    const auto client = desk.GetClientRect(host().MapViewWindow());
    ASSERT_TRUE(client.has_value());
    EXPECT_EQ(client->width(), env->Windows().Canvas().viewport()->width());
    EXPECT_EQ(client->height(), env->Windows().Canvas().viewport()->height());
}

TEST_F(QgisHostTest, MissingPartsAndRegistrarsAreRefused) {
    QgisParts parts = env->Windows().Parts();
    parts.canvas = nullptr;
    EXPECT_THROW(QgisHost(parts, HeadlessRegistrar(env->Desk())), PortError);
    EXPECT_THROW(QgisHost(env->Windows().Parts(), WindowRegistrar{}), PortError);
    const WindowRegistrar refuses = [](QWidget*, const std::string&, const std::string&,
                                       WindowHandle) { return kNoWindow; };
    EXPECT_THROW(QgisHost(env->Windows().Parts(), refuses), PortError);
}

// Putting the map in WGS 1984 is a change of the project, as any edit would be.
TEST_F(QgisHostTest, ProjectReferenceChangeMarksTheProjectModified) {
    QgsProject& project = env->Windows().Project();
    project.setDirty(false);
    map().SetSpatialReference(
        host().Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(4326));
    EXPECT_TRUE(project.isDirty());
    EXPECT_EQ(project.crs().authid(), QStringLiteral("EPSG:4326"));
    EXPECT_EQ(env->Windows().Canvas().mapSettings().destinationCrs().authid(),
              QStringLiteral("EPSG:4326"));
    map().SetSpatialReference(nullptr);
    EXPECT_EQ(map().SpatialReference(), nullptr);
    EXPECT_EQ(map().MapUnits(), 0);
}

// Units QGIS lacks are kept by the host; the ones it has reach the project.
TEST_F(QgisHostTest, DistanceUnitsReachTheProject) {
    map().SetDistanceUnits(10);
    EXPECT_EQ(env->Windows().Project().distanceUnits(), QgsUnitTypes::DistanceKilometers);
    map().SetDistanceUnits(12); // decimetres: no QGIS unit
    EXPECT_EQ(map().DistanceUnits(), 12);
    EXPECT_EQ(env->Windows().Project().distanceUnits(), QgsUnitTypes::DistanceKilometers);
}

TEST_F(QgisHostTest, AddedLayersJoinTheProjectOnTopAndOneLayerServesEachClass) {
    auto fc = CreateLines("lines");
    auto layer = AddLayer(fc);
    QgsVectorLayer* vector = QgisHost::VectorLayerOf(*layer);
    ASSERT_NE(vector, nullptr);
    EXPECT_EQ(env->Windows().Project().mapLayer(vector->id()), vector);
    EXPECT_EQ(env->Windows().Project().layerTreeRoot()->layerOrder().front(), vector);
    // The class opened again, and the layer found through the map, are the same QGIS layer.
    auto again = host()
                     .Factory()
                     .ShapefileWorkspaceFactory()
                     .OpenFromFile(folder.string())
                     ->OpenFeatureClass("LINES.shp");
    EXPECT_EQ(QgisHost::VectorLayerOf(*again), vector);
    auto listed = std::dynamic_pointer_cast<IFeatureLayer>(map().Layer(0));
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(QgisHost::VectorLayerOf(*listed), vector);
    // QGIS reads a PolyLineZ shapefile as multi lines with measures; the class stays a
    // z-aware polyline class.
    EXPECT_EQ(vector->wkbType(), QgsWkbTypes::MultiLineStringZM);
    EXPECT_EQ(fc->ShapeType(), GeometryType::Polyline);
    EXPECT_TRUE(fc->HasZ());
}

// A layer QGIS itself opened (not through the host) is listed, and its class wraps it.
TEST_F(QgisHostTest, LayersOfTheProjectAreFeatureOrOtherLayers) {
    auto fc = CreateLines("own");
    fs::path shp = folder / "own.shp";
    auto* vector = new QgsVectorLayer(QString::fromStdString(shp.string()),
                                      QStringLiteral("theirs"), QStringLiteral("ogr"));
    ASSERT_TRUE(vector->isValid());
    env->Windows().Project().addMapLayer(vector);
    auto* memory = new QgsVectorLayer(QStringLiteral("None"), QStringLiteral("table"),
                                      QStringLiteral("memory"));
    env->Windows().Project().addMapLayer(memory);
    const auto layers = map().Layers();
    ASSERT_EQ(layers.size(), 2U);
    // QGIS puts what it adds on top.
    EXPECT_EQ(layers[0]->Name(), "table");
    EXPECT_EQ(layers[0]->Kind(), LayerKind::Other);
    EXPECT_EQ(layers[1]->Name(), "theirs");
    EXPECT_EQ(layers[1]->Kind(), LayerKind::Feature);
    EXPECT_EQ(QgisHost::VectorLayerOf(*fc), vector) << "the class moved onto the project's layer";
}

TEST_F(QgisHostTest, RefreshClearsDrawingsButKeepsElementsAndRenders) {
    auto& view = *host().Document()->ActiveView();
    view.SetExtent(Envelope{-10, -10, 10, 10});
    auto& display = view.ScreenDisplay();
    display.StartDrawing(-2);
    display.DrawPolyline(Line(0));
    display.DrawPoint(Geometry::point(1, 1));
    display.FinishDrawing();
    view.AddLineElement(Line(2), Symbol{});
    EXPECT_EQ(host().DrawingCount(), 2U);
    EXPECT_EQ(host().ElementCount(), 1U);
    view.Refresh();
    host().WaitForRendering();
    EXPECT_EQ(host().RefreshCount(), 1);
    EXPECT_EQ(host().DrawingCount(), 0U);
    EXPECT_EQ(host().ElementCount(), 1U);
    EXPECT_FALSE(env->Windows().Canvas().isDrawing());
    view.DeleteAllElements();
    EXPECT_EQ(host().ElementCount(), 0U);
}

// What the core draws shows on the canvas in its colour (host colours are 0x00BBGGRR), where
// the display transformation says, until the next refresh.
TEST_F(QgisHostTest, DrawingsAppearOnTheCanvasWhereTheTransformationSays) {
    auto& view = *host().Document()->ActiveView();
    view.SetExtent(Envelope{-10, -10, 10, 10});
    auto& display = view.ScreenDisplay();
    Symbol red;
    red.kind = SymbolKind::SimpleLine;
    red.colour = 0x0000FF;
    red.size = 6.0;
    Geometry line = Geometry::empty(GeometryType::Polyline);
    line.AddPoint({-5.0, 0.0, 0.0});
    line.AddPoint({5.0, 0.0, 0.0});
    Symbol blue;
    blue.kind = SymbolKind::SimpleFill;
    blue.colour = 0xFF0000;
    blue.outlineColour = 0xFF0000;
    Geometry square = Geometry::empty(GeometryType::Polygon);
    for (const auto& p :
         std::vector<MapPoint>{{2, 4, 0}, {2, 8, 0}, {8, 8, 0}, {8, 4, 0}, {2, 4, 0}}) {
        square.AddPoint(p);
    }
    display.StartDrawing(-2);
    display.SetSymbol(red);
    display.DrawPolyline(line);
    display.SetSymbol(blue);
    display.DrawPolygon(square);
    display.FinishDrawing();
    host().WaitForRendering();
    auto& transformation = display.DisplayTransformation();
    auto colourAt = [this](scribeline::Point p) {
        QCoreApplication::processEvents();
        return env->Windows().Canvas().viewport()->grab().toImage().pixelColor(p.x, p.y);
    };
    const scribeline::Point onLine = transformation.FromMapPoint({0.0, 0.0, 0.0});
    const scribeline::Point inSquare = transformation.FromMapPoint({5.0, 6.0, 0.0});
    const scribeline::Point elsewhere = transformation.FromMapPoint({-5.0, -6.0, 0.0});
    const QColor line0 = colourAt(onLine);
    EXPECT_GT(line0.red(), 200);
    EXPECT_LT(line0.blue(), 60);
    const QColor square0 = colourAt(inSquare);
    EXPECT_GT(square0.blue(), 200);
    EXPECT_LT(square0.red(), 60);
    EXPECT_NE(colourAt(elsewhere), line0);
    view.Refresh();
    host().WaitForRendering();
    EXPECT_NE(colourAt(onLine), line0) << "a refresh wipes what the screen display drew";
}

TEST_F(QgisHostTest, ProgressorDrivesAStatusBarProgressBar) {
    auto& progress = host().StepProgressor();
    auto* bar = env->Windows().Main().statusBar()->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    progress.SetPosition(0);
    progress.Show();
    EXPECT_TRUE(bar->isVisible());
    for (int i = 0; i < 150; ++i) {
        progress.Step();
    }
    EXPECT_EQ(bar->value(), 150);
    EXPECT_EQ(host().ProgressPosition(), 150);
    EXPECT_TRUE(host().ProgressVisible());
    progress.Hide();
    EXPECT_FALSE(bar->isVisible());
}

// Outside an edit session the provider writes at once; the layer's extent follows.
TEST_F(QgisHostTest, StoreWithoutASessionGoesThroughTheProviderAndUpdatesTheExtent) {
    auto fc = CreateLines("direct");
    auto layer = AddLayer(fc);
    auto feature = fc->CreateFeature();
    feature->SetShape(Line(5.0));
    feature->SetValue(2, FieldValue{std::string("x")});
    feature->Store();
    QgsVectorLayer* vector = QgisHost::VectorLayerOf(*layer);
    EXPECT_FALSE(vector->isEditable());
    EXPECT_EQ(vector->dataProvider()->featureCount(), 1);
    EXPECT_DOUBLE_EQ(vector->extent().xMinimum(), 5.0);
    EXPECT_DOUBLE_EQ(vector->extent().xMaximum(), 6.0);
}

// QGIS refuses a subset string the OGR provider cannot run; the previous one stays.
TEST_F(QgisHostTest, DefinitionExpressionIsTheLayersSubsetString) {
    auto fc = CreateLines("subset");
    auto layer = AddLayer(fc);
    layer->SetDefinitionExpression("NAME LIKE 'a%'");
    EXPECT_EQ(QgisHost::VectorLayerOf(*layer)->subsetString(), QStringLiteral("NAME LIKE 'a%'"));
    EXPECT_THROW(layer->SetDefinitionExpression("NAME LIKE"), PortError);
    EXPECT_EQ(QgisHost::VectorLayerOf(*layer)->subsetString(), QStringLiteral("NAME LIKE 'a%'"));
}

// The project deletes a layer it drops: the host says so instead of touching freed memory.
TEST_F(QgisHostTest, ALayerRemovedFromTheProjectIsReported) {
    auto fc = CreateLines("removed");
    auto layer = AddLayer(fc);
    const QString id = QgisHost::VectorLayerOf(*layer)->id();
    env->Windows().Project().removeMapLayer(id);
    EXPECT_EQ(map().LayerCount(), 0);
    try {
        fc->CreateFeature();
        FAIL() << "no error";
    } catch (const PortError& e) {
        EXPECT_NE(std::string(e.what()).find("\"removed\" was removed from the project"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_THROW(fc->FeatureCount(nullptr), PortError);
    EXPECT_THROW(layer->SetDefinitionExpression("NAME = 'a'"), PortError);
    EXPECT_EQ(layer->DefinitionExpression(), "");
    // Opening the file again gives a working class over a new layer.
    auto reopened = host()
                        .Factory()
                        .ShapefileWorkspaceFactory()
                        .OpenFromFile(folder.string())
                        ->OpenFeatureClass("removed");
    EXPECT_EQ(reopened->FeatureCount(nullptr), 0);
}

// A layer removed while an edit session holds it makes saving fail with its name.
TEST_F(QgisHostTest, ALayerRemovedDuringAnEditSessionFailsTheSave) {
    auto fc = CreateLines("gone");
    auto layer = AddLayer(fc);
    auto editor = host().FindExtensionByCLSID("esriCore.Editor");
    editor->StartEditing(fc->Workspace());
    auto feature = fc->CreateFeature();
    feature->SetShape(Line(0));
    feature->Store();
    env->Windows().Project().removeMapLayer(QgisHost::VectorLayerOf(*layer)->id());
    try {
        editor->StopEditing(true);
        FAIL() << "no error";
    } catch (const PortError& e) {
        EXPECT_NE(std::string(e.what()).find("\"gone\" was removed"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(editor->EditState(), kEditStateNotEditing);
}

} // namespace
} // namespace scribeline::qgis::testing
