// The plugin as QGIS's plugin registry sees it: loaded with dlopen, its exported functions
// resolved by name and called with a test interface around a real main window and canvas,
// offscreen. It must put one action on the toolbar and into the Plugins menu, one dock on the
// right, follow the project's layers, and leave nothing behind when unloaded.
#include "tests/frontends/qgis/stub_interface.hpp"
#include "tests/hosts/qgis/qgis_support.hpp"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <qgisplugin.h>
#include <qgscoordinatereferencesystem.h>
#include <qgsmapcanvas.h>
#include <qgsmaplayercombobox.h>
#include <qgsproject.h>
#include <qgsrasterlayer.h>
#include <qgsvectorlayer.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

namespace {

using scribeline::qgis::testing::QgisMissing;

// A main window with a canvas over the project QGIS plugins see (QgsProject::instance()),
// recording what the plugin adds to it.
class TestInterface final : public StubInterface {
public:
    TestInterface() {
        main_.setWindowTitle(QStringLiteral("Untitled Project - QGIS"));
        canvas_ = new QgsMapCanvas(&main_);
        main_.setCentralWidget(canvas_);
        main_.statusBar()->show();
        toolBar_ = main_.addToolBar(QStringLiteral("Plugins"));
        main_.resize(900, 600);
        main_.show();
        QCoreApplication::processEvents();
    }
    ~TestInterface() override { canvas_->stopRendering(); }
    TestInterface(const TestInterface&) = delete;
    TestInterface& operator=(const TestInterface&) = delete;

    QWidget* mainWindow() override { return &main_; }
    QgsMapCanvas* mapCanvas() override { return canvas_; }
    int addToolBarIcon(QAction* action) override {
        toolBar_->addAction(action);
        return 0;
    }
    void removeToolBarIcon(QAction* action) override { toolBar_->removeAction(action); }
    void addPluginToMenu(const QString& name, QAction* action) override {
        menu_[name.toStdString()].push_back(action);
    }
    void removePluginMenu(const QString& name, QAction* action) override {
        auto& entries = menu_[name.toStdString()];
        entries.erase(std::remove(entries.begin(), entries.end(), action), entries.end());
    }
    void addDockWidget(Qt::DockWidgetArea area, QDockWidget* dock) override {
        main_.addDockWidget(area, dock);
    }
    void removeDockWidget(QDockWidget* dock) override { main_.removeDockWidget(dock); }
    QAction* actionExit() override { return &exit_; }

    QMainWindow& Main() { return main_; }
    QToolBar& ToolBar() { return *toolBar_; }
    [[nodiscard]] std::size_t MenuEntries() const {
        std::size_t n = 0;
        for (const auto& [name, entries] : menu_) {
            n += entries.size();
        }
        return n;
    }
    [[nodiscard]] const std::map<std::string, std::vector<QAction*>>& Menu() const { return menu_; }

private:
    QMainWindow main_;
    QAction exit_{QStringLiteral("Exit")};
    QgsMapCanvas* canvas_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::map<std::string, std::vector<QAction*>> menu_;
};

// The library and its exported functions, resolved as QGIS resolves them.
struct PluginLibrary {
    void* handle = nullptr;
    create_t* classFactory = nullptr;
    unload_t* unload = nullptr;
    name_t* name = nullptr;
    description_t* description = nullptr;
    category_t* category = nullptr;
    version_t* version = nullptr;
    icon_t* icon = nullptr;
    type_t* type = nullptr;

    PluginLibrary() {
        handle = ::dlopen(SCRIBELINE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            return;
        }
        classFactory = resolve<create_t>("classFactory");
        unload = resolve<unload_t>("unload");
        name = resolve<name_t>("name");
        description = resolve<description_t>("description");
        category = resolve<category_t>("category");
        version = resolve<version_t>("version");
        icon = resolve<icon_t>("icon");
        type = resolve<type_t>("type");
    }
    // QGIS never closes a plugin library either (Qt's objects may still point into it).
    ~PluginLibrary() = default;
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    template <class F> F* resolve(const char* symbol) {
        return reinterpret_cast<F*>(::dlsym(handle, symbol));
    }
};

PluginLibrary& Library() {
    static PluginLibrary library;
    return library;
}

std::filesystem::path WriteLayer(const std::string& stem) {
    const auto path = std::filesystem::temp_directory_path() / (stem + ".geojson");
    std::ofstream out(path);
    out << R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"id":1},)"
        << R"("geometry":{"type":"Point","coordinates":[11.0,47.5]}}]})";
    return path;
}

QgsVectorLayer* AddLayer(const std::string& stem) {
    const auto path = WriteLayer(stem);
    auto* layer = new QgsVectorLayer(QString::fromStdString(path.string()),
                                     QString::fromStdString(stem), QStringLiteral("ogr"));
    EXPECT_TRUE(layer->isValid());
    QgsProject::instance()->addMapLayer(layer);
    return layer;
}

// A small DEM as an ESRI ASCII grid (GDAL reads it; WGS 84 by the extent).
QgsRasterLayer* AddDem(const std::string& stem) {
    const auto path = std::filesystem::temp_directory_path() / (stem + ".asc");
    std::ofstream(path) << "ncols 3\nnrows 3\nxllcorner 11.0\nyllcorner 47.0\ncellsize 0.1\n"
                        << "NODATA_value -9999\n1000 1100 1200\n1300 1400 1500\n1600 1700 1800\n";
    auto* layer = new QgsRasterLayer(QString::fromStdString(path.string()),
                                     QString::fromStdString(stem), QStringLiteral("gdal"));
    EXPECT_TRUE(layer->isValid());
    QgsProject::instance()->addMapLayer(layer);
    return layer;
}

QString TerrainEntry() {
    return QgsProject::instance()->readEntry(QStringLiteral("Scribeline"),
                                             QStringLiteral("/terrainLayer"));
}

std::vector<QWidget*> VisibleScribelineWindows() {
    std::vector<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle().startsWith(QStringLiteral("Scribeline"))) {
            out.push_back(w);
        }
    }
    return out;
}

class PluginLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        SCRIBELINE_REQUIRE_QGIS();
        ASSERT_NE(Library().handle, nullptr) << ::dlerror();
        QgsProject::instance()->clear();
    }
    void TearDown() override { QgsProject::instance()->clear(); }

    QgisPlugin* Load(TestInterface& iface) {
        QgisPlugin* plugin = Library().classFactory(&iface);
        plugin->initGui();
        QCoreApplication::processEvents();
        return plugin;
    }
    static void Unload(QgisPlugin* plugin) {
        plugin->unload();
        Library().unload(plugin);
        QCoreApplication::processEvents();
    }
};

TEST_F(PluginLoadTest, ExportsWhatThePluginRegistryResolves) {
    const PluginLibrary& lib = Library();
    ASSERT_NE(lib.classFactory, nullptr);
    ASSERT_NE(lib.unload, nullptr);
    ASSERT_NE(lib.name, nullptr);
    ASSERT_NE(lib.description, nullptr);
    ASSERT_NE(lib.category, nullptr);
    ASSERT_NE(lib.version, nullptr);
    ASSERT_NE(lib.icon, nullptr);
    ASSERT_NE(lib.type, nullptr);
    EXPECT_EQ(*lib.name(), QStringLiteral("Scribeline"));
    EXPECT_FALSE(lib.description()->isEmpty());
    EXPECT_EQ(*lib.category(), QStringLiteral("Vector"));
    EXPECT_EQ(*lib.version(), QStringLiteral("2.2.0"));
    EXPECT_EQ(lib.type(), QgisPlugin::UI);
    // Nothing of the core leaks out of the module to interpose on QGIS's own symbols.
    EXPECT_EQ(::dlsym(lib.handle, "_ZN10scribeline13clsScribeline7OnClickEv"), nullptr);
}

TEST_F(PluginLoadTest, LoadAddsOneActionAndARightDockUnloadRemovesThem) {
    TestInterface iface;
    QgisPlugin* plugin = Load(iface);

    ASSERT_EQ(iface.ToolBar().actions().size(), 1);
    QPointer<QAction> action = iface.ToolBar().actions().front();
    ASSERT_EQ(iface.MenuEntries(), 1U);
    EXPECT_EQ(iface.Menu().begin()->second.front(), action.data());
    // Caption, tooltip and picture come from the command.
    EXPECT_EQ(action->text(), QStringLiteral("Scribeline 2.2"));
    EXPECT_EQ(action->toolTip(), QStringLiteral("Scribeline 2.2"));
    EXPECT_FALSE(action->statusTip().isEmpty());
    EXPECT_FALSE(action->icon().isNull());

    const auto docks = iface.Main().findChildren<QDockWidget*>();
    ASSERT_EQ(docks.size(), 1);
    QPointer<QDockWidget> dock = docks.front();
    EXPECT_EQ(iface.Main().dockWidgetArea(dock), Qt::RightDockWidgetArea);
    EXPECT_TRUE(dock->features().testFlag(QDockWidget::DockWidgetFloatable));

    Unload(plugin);
    EXPECT_TRUE(iface.ToolBar().actions().isEmpty());
    EXPECT_EQ(iface.MenuEntries(), 0U);
    EXPECT_TRUE(action.isNull());
    EXPECT_TRUE(dock.isNull());
    EXPECT_TRUE(iface.Main().findChildren<QDockWidget*>().isEmpty());
}

TEST_F(PluginLoadTest, EnabledFollowsTheProjectsLayers) {
    TestInterface iface;
    QgisPlugin* plugin = Load(iface);
    QAction* action = iface.ToolBar().actions().front();
    // The command is enabled while the map holds a layer.
    EXPECT_FALSE(action->isEnabled());
    QgsVectorLayer* layer = AddLayer("scribeline-plugin-points");
    EXPECT_TRUE(action->isEnabled());
    QgsProject::instance()->removeMapLayer(layer->id());
    EXPECT_FALSE(action->isEnabled());
    AddLayer("scribeline-plugin-points");
    EXPECT_TRUE(action->isEnabled());
    QgsProject::instance()->clear();
    EXPECT_FALSE(action->isEnabled());
    Unload(plugin);
}

TEST_F(PluginLoadTest, PressOpensTheWindowAndTheGlobeGoesIntoTheDock) {
    TestInterface iface;
    QgisPlugin* plugin = Load(iface);
    AddLayer("scribeline-plugin-points");
    QAction* action = iface.ToolBar().actions().front();
    ASSERT_TRUE(action->isEnabled());
    EXPECT_TRUE(VisibleScribelineWindows().empty());
    action->trigger();
    QCoreApplication::processEvents();
    const auto windows = VisibleScribelineWindows();
    ASSERT_EQ(windows.size(), 1U);
    // A tool window of QGIS's main window: above it, minimised and closed with it.
    EXPECT_EQ(windows.front()->windowType(), Qt::Tool);
    EXPECT_EQ(windows.front()->parentWidget(), &iface.Main());
    EXPECT_TRUE(windows.front()->isWindow());
    QDockWidget* dock = iface.Main().findChildren<QDockWidget*>().front();
    EXPECT_FALSE(dock->widget()->findChildren<QWidget*>().isEmpty());

    // Closing the project closes the window as the user closing it would.
    QgsProject::instance()->clear();
    QCoreApplication::processEvents();
    EXPECT_TRUE(VisibleScribelineWindows().empty());

    // Unloading with the window open closes it too, and leaves no window behind.
    AddLayer("scribeline-plugin-points");
    action->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(VisibleScribelineWindows().size(), 1U);
    Unload(plugin);
    EXPECT_TRUE(VisibleScribelineWindows().empty());
}

TEST_F(PluginLoadTest, TheTerrainLayerIsAProjectSetting) {
    TestInterface iface;
    QgisPlugin* plugin = Load(iface);
    auto* box =
        iface.Main().findChild<QgsMapLayerComboBox*>(QStringLiteral("ScribelineTerrainLayer"));
    ASSERT_NE(box, nullptr);
    AddLayer("scribeline-plugin-points");
    QgsRasterLayer* dem = AddDem("scribeline-plugin-dem");
    // Only raster layers are offered, and the base Earth alone is the first choice.
    EXPECT_EQ(box->count(), 2);
    EXPECT_EQ(box->currentLayer(), nullptr);
    EXPECT_TRUE(TerrainEntry().isEmpty());

    box->setLayer(dem);
    EXPECT_EQ(TerrainEntry(), dem->id());
    box->setLayer(nullptr);
    EXPECT_TRUE(TerrainEntry().isEmpty());

    // Saved with the project and chosen again when it is read.
    box->setLayer(dem);
    const QString file = QString::fromStdString(
        (std::filesystem::temp_directory_path() / "scribeline-plugin-terrain.qgs").string());
    ASSERT_TRUE(QgsProject::instance()->write(file));
    QgsProject::instance()->clear();
    EXPECT_EQ(box->currentLayer(), nullptr);
    ASSERT_TRUE(QgsProject::instance()->read(file));
    ASSERT_NE(box->currentLayer(), nullptr);
    EXPECT_EQ(box->currentLayer()->name(), QStringLiteral("scribeline-plugin-dem"));
    // Choosing the layer it already has does not mark the project modified.
    QgsProject::instance()->setDirty(false);
    box->setLayer(box->currentLayer());
    EXPECT_FALSE(QgsProject::instance()->isDirty());
    Unload(plugin);
}

// Opens the digitizer window over a small area round the points layer and sets the globe's
// view to the map's (a terrain command refuses a view from high above). Returns the window.
QWidget* OpenOverASmallArea(TestInterface& iface) {
    QgsMapCanvas* canvas = iface.mapCanvas();
    canvas->setDestinationCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:4326")));
    canvas->setExtent(QgsRectangle(10.95, 47.45, 11.05, 47.55));
    iface.ToolBar().actions().front()->trigger();
    QCoreApplication::processEvents();
    const auto windows = VisibleScribelineWindows();
    if (windows.size() != 1) {
        ADD_FAILURE() << windows.size() << " Scribeline windows";
        return nullptr;
    }
    auto* setView = windows.front()->findChild<QAction*>(QStringLiteral("setgeview"));
    EXPECT_NE(setView, nullptr);
    if (setView != nullptr) {
        setView->trigger();
        QCoreApplication::processEvents();
    }
    return windows.front();
}

// Presses a terrain command's button on the digitizer window and, from inside its nested
// message loops (the poll can only fire there while the press has not returned), runs
// `during` once. Returns whether `during` ran while the command was still running.
bool DuringTerrainRun(QWidget* window, const char* key, const std::function<void()>& during,
                      std::vector<std::string>& boxes) {
    auto* button = window->findChild<QAction*>(QString::fromLatin1(key));
    EXPECT_NE(button, nullptr) << key;
    if (button == nullptr || !button->isEnabled()) {
        return false;
    }
    bool ran = false;
    bool running = true;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!ran && running) {
            ran = true;
            during();
        }
        // A box the command shows is answered as a person would, and recorded.
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back(box->text().toStdString());
            box->done(QMessageBox::Ok);
        }
    });
    poll.start();
    button->trigger(); // returns when the command has unwound
    running = false;
    poll.stop();
    return ran;
}

// Features in the project's vector layers other than the points layer (what runs stored).
long long StoredFeatures() {
    long long n = 0;
    for (QgsMapLayer* layer : QgsProject::instance()->mapLayers().values()) {
        auto* vector = qobject_cast<QgsVectorLayer*>(layer);
        if (vector != nullptr && vector->name() != QStringLiteral("scribeline-plugin-points")) {
            n += vector->featureCount();
        }
    }
    return n;
}

// Pumps until `done` holds or a few hundred milliseconds have passed.
bool PumpUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 400) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

TEST_F(PluginLoadTest, UnloadDuringADemRunWaitsUntilTheRunHasUnwound) {
    TestInterface iface;
    QgisPlugin* plugin = Load(iface);
    AddLayer("scribeline-plugin-points");
    QPointer<QAction> action = iface.ToolBar().actions().front();
    QPointer<QWidget> window = OpenOverASmallArea(iface);
    ASSERT_FALSE(window.isNull());
    QPointer<QDockWidget> dock = iface.Main().findChildren<QDockWidget*>().front();

    bool aliveInsideTheRun = false;
    std::vector<std::string> boxes;
    const bool ran = DuringTerrainRun(
        window, "dem",
        [&] {
            Library().unload(plugin);
            // QGIS goes on pumping after unload: the plugin must still be whole under the run.
            QCoreApplication::processEvents();
            aliveInsideTheRun = !action.isNull() && !dock.isNull() && !window.isNull();
        },
        boxes);
    ASSERT_TRUE(ran) << "the DEM run ended before it pumped";
    EXPECT_TRUE(aliveInsideTheRun);
    // The run went on to the end under the pending deletion: its points are stored.
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    EXPECT_GT(StoredFeatures(), 0);
    // Once the run has unwound the deferred deletion takes the action, the dock and the
    // window with it.
    EXPECT_TRUE(PumpUntil([&] { return action.isNull() && dock.isNull() && window.isNull(); }));
    EXPECT_TRUE(VisibleScribelineWindows().empty());
    EXPECT_TRUE(iface.ToolBar().actions().isEmpty());
}

TEST_F(PluginLoadTest, ClosingTheProjectDuringAContourRunClosesTheWindowAfterIt) {
    TestInterface iface;
    QgisPlugin* plugin = Load(iface);
    AddLayer("scribeline-plugin-points");
    QAction* action = iface.ToolBar().actions().front();
    QPointer<QWidget> window = OpenOverASmallArea(iface);
    ASSERT_FALSE(window.isNull());

    bool openInsideTheRun = false;
    std::vector<std::string> boxes;
    const bool ran = DuringTerrainRun(
        window, "contour",
        [&] {
            QgsProject::instance()->clear();
            QCoreApplication::processEvents();
            const QWidget* shown = window.data();
            openInsideTheRun = shown != nullptr && shown->isVisible();
        },
        boxes);
    // The run could not store into the layer the project dropped: it says so once, and the
    // window closes after the box is answered, not under it.
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_NE(boxes.front().find("was removed from the project"), std::string::npos)
        << boxes.front();
    ASSERT_TRUE(ran) << "the contour run ended before it pumped";
    EXPECT_TRUE(openInsideTheRun);
    EXPECT_TRUE(PumpUntil([&] { return VisibleScribelineWindows().empty(); }));
    // The plugin is still loaded and usable afterwards.
    AddLayer("scribeline-plugin-points");
    EXPECT_TRUE(action->isEnabled());
    Unload(plugin);
}

TEST_F(PluginLoadTest, LoadsAgainAfterUnload) {
    for (int round = 0; round < 3; ++round) {
        TestInterface iface;
        QgisPlugin* plugin = Load(iface);
        ASSERT_EQ(iface.ToolBar().actions().size(), 1) << "round " << round;
        AddLayer("scribeline-plugin-points");
        iface.ToolBar().actions().front()->trigger();
        QCoreApplication::processEvents();
        Unload(plugin);
        EXPECT_TRUE(iface.Main().findChildren<QDockWidget*>().isEmpty()) << "round " << round;
        QgsProject::instance()->clear();
    }
}

// The self-test mode, as far as it runs without QGIS's application: the environment names a
// session; once QGIS says it is up and the project holds a layer, the session plays, the
// report is written, the project is left unmodified and QGIS is told to quit.
class SelfTestModeTest : public PluginLoadTest {
protected:
    void SetUp() override {
        PluginLoadTest::SetUp();
        // One folder per case: ctest may run the cases side by side.
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("scribeline-plugin-selftest-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        ::setenv("SCRIBELINE_SELFTEST", (dir_ / "session.json").c_str(), 1);
        ::setenv("SCRIBELINE_SELFTEST_REPORT", (dir_ / "report.txt").c_str(), 1);
        std::filesystem::remove(dir_ / "report.txt");
    }
    void TearDown() override {
        ::unsetenv("SCRIBELINE_SELFTEST");
        ::unsetenv("SCRIBELINE_SELFTEST_REPORT");
        PluginLoadTest::TearDown();
    }

    // Plays `session` and returns the report's lines; counts QGIS's exit.
    std::vector<std::string> Play(const std::string& session, int& exits) {
        std::ofstream(dir_ / "session.json") << session;
        TestInterface iface;
        QObject::connect(iface.actionExit(), &QAction::triggered, [&exits] { ++exits; });
        QgisPlugin* plugin = Load(iface);
        AddLayer("scribeline-plugin-points");
        QgsProject::instance()->setDirty(true);
        iface.initializationCompleted();
        EXPECT_TRUE(PumpUntil([&] { return exits > 0; })) << "QGIS was not told to quit";
        EXPECT_FALSE(QgsProject::instance()->isDirty());
        Unload(plugin);
        std::vector<std::string> lines;
        std::ifstream in(dir_ / "report.txt");
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::filesystem::path dir_;
};

TEST_F(SelfTestModeTest, ASessionThatCannotBeReadFailsTheReportAndStillQuits) {
    int exits = 0;
    const auto report = Play(R"({"scribelineSession": 1, "steps": [{"do": "fly"}]})", exits);
    EXPECT_EQ(exits, 1);
    ASSERT_EQ(report.size(), 3U);
    EXPECT_EQ(report[0], "session=session.json");
    EXPECT_NE(report[1].find("failure="), std::string::npos);
    EXPECT_NE(report[1].find("\"fly\""), std::string::npos) << report[1];
    EXPECT_EQ(report[2], "result=fail");
}

TEST_F(SelfTestModeTest, StepsThePluginCannotPlayAreFailuresOfTheirOwn) {
    int exits = 0;
    const auto report = Play(R"({"scribelineSession": 1, "steps": [
        {"do": "toolbar", "key": "start"},
        {"do": "picture", "of": "globe"},
        {"do": "wait", "ms": 0}
    ]})",
                             exits);
    EXPECT_EQ(exits, 1);
    const std::vector<std::string> expected = {
        "session=session.json",
        "step 1 toolbar start: failed: the digitizer window is not open",
        "step 2 picture globe: failed: the digitizer window is not open",
        "step 3 wait: done",
        "layers_added=0",
        "failure=step 1 failed: the digitizer window is not open",
        "failure=step 2 failed: the digitizer window is not open",
        "failure=no polygon layer with z was added",
        "failure=no contour layer (lines with z) was added",
        "result=fail",
    };
    EXPECT_EQ(report, expected);
}

} // namespace
