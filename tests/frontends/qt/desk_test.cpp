// The desktop app on Qt's offscreen platform: the map window (layer list, command button,
// pan and zoom), the globe window's frames and drape, and the quitting rules.
#include "command/clsScribeline.hpp"
#include "frontends/qt/desk.hpp"
#include "frontends/qt/icons.hpp"
#include "hosts/gis/layers.hpp"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace scribeline::frontend {
namespace {

namespace fs = std::filesystem;

class DeskTest : public ::testing::Test {
protected:
    void SetUp() override {
        out_ = fs::temp_directory_path() /
               ("scribeline-desk-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(out_);
    }
    void TearDown() override {
        desk_.reset();
        std::error_code ec;
        fs::remove_all(out_, ec);
    }
    Desk& Start(DeskOptions options = {}) {
        options.outDir = out_;
        options.screen = Rect{0, 0, 1600, 900};
        options.quit = [this] { ++quits_; };
        desk_ = std::make_unique<Desk>(options);
        desk_->Show();
        return *desk_;
    }
    fs::path out_;
    std::unique_ptr<Desk> desk_;
    int quits_ = 0;
};

TEST_F(DeskTest, MapWindowListsTheLayersWithCountsAndTheCommandButton) {
    Desk& d = Start();
    QTreeWidget* list = d.Map().LayerList();
    ASSERT_NE(list, nullptr);
    const auto layers = d.Host().FocusMapImpl().Layers();
    ASSERT_FALSE(layers.empty());
    ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(layers.size()));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        EXPECT_EQ(item->text(0).toStdString(), layers[static_cast<std::size_t>(i)]->Name());
        EXPECT_EQ(item->checkState(0), Qt::Checked);
        if (auto* f = dynamic_cast<gis::FeatureLayer*>(layers[static_cast<std::size_t>(i)].get())) {
            EXPECT_EQ(item->text(1).toLongLong(), f->FeatureClass()->FeatureCount(nullptr));
            EXPECT_GT(item->text(1).toLongLong(), 0);
        }
    }
    QAction* command = d.Map().CommandAction();
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->isEnabled(), d.Command().Enabled());
    EXPECT_FALSE(command->icon().isNull());
}

TEST_F(DeskTest, Unticking_a_layer_hides_it_and_redraws_the_map) {
    Desk& d = Start();
    QTreeWidget* list = d.Map().LayerList();
    const auto layers = d.Host().FocusMapImpl().Layers();
    int row = 0;
    while (row < static_cast<int>(layers.size()) &&
           dynamic_cast<gis::FeatureLayer*>(layers[static_cast<std::size_t>(row)].get()) ==
               nullptr) {
        ++row;
    }
    ASSERT_LT(row, static_cast<int>(layers.size())) << "the default map has a feature layer";
    auto* layer = dynamic_cast<gis::FeatureLayer*>(layers[static_cast<std::size_t>(row)].get());
    const int refreshes = d.Host().DataView().RefreshCount();
    list->topLevelItem(row)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(layer->Visible());
    EXPECT_GT(d.Host().DataView().RefreshCount(), refreshes);
    EXPECT_EQ(list->topLevelItem(row)->checkState(0), Qt::Unchecked); // the refresh keeps it
    list->topLevelItem(row)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(layer->Visible());
}

TEST_F(DeskTest, PanAndZoomMoveTheExtentByWhatThePointerDid) {
    Desk& d = Start();
    auto& t = d.Host().DataView().Transformation();
    const Envelope before = t.VisibleBounds();
    const MapPoint centre = t.ToMapPoint({100, 80});
    d.Map().ZoomAt({100, 80}, 2.0);
    const Envelope zoomed = t.VisibleBounds();
    EXPECT_NEAR(zoomed.XMax - zoomed.XMin, (before.XMax - before.XMin) / 2.0, 1e-6);
    // The point under the pointer stays under it (within a pixel of the new scale).
    const MapPoint after = t.ToMapPoint({100, 80});
    const double pixel = (zoomed.XMax - zoomed.XMin) / 500.0;
    EXPECT_NEAR(after.x, centre.x, pixel);
    EXPECT_NEAR(after.y, centre.y, pixel);

    const MapPoint a = t.ToMapPoint({0, 0});
    const MapPoint b = t.ToMapPoint({40, 30});
    d.Map().Pan(40, 30); // dragging right and down shows what lay left and up
    const Envelope panned = t.VisibleBounds();
    EXPECT_NEAR(panned.XMin, zoomed.XMin - (b.x - a.x), 1e-6);
    EXPECT_NEAR(panned.YMin, zoomed.YMin - (b.y - a.y), 1e-6);
    EXPECT_LT(panned.XMin, zoomed.XMin);
    EXPECT_GT(panned.YMin, zoomed.YMin);

    EXPECT_FALSE(d.Map().ZoomToLayer(99));
    ASSERT_TRUE(d.Map().ZoomToLayer(0));
    const auto layerExtent = gis::LayerExtent(*d.Host().FocusMapImpl().Layers().front(),
                                              d.Host().FocusMapImpl().SpatialReference());
    ASSERT_TRUE(layerExtent);
    const Envelope shown = t.VisibleBounds();
    EXPECT_LE(shown.XMin, layerExtent->XMin);
    EXPECT_GE(shown.XMax, layerExtent->XMax);
}

TEST_F(DeskTest, TheMapViewFollowsTheWindowsSize) {
    Desk& d = Start();
    QWidget* main = d.Map().MainWidget();
    QWidget* view = d.Map().MapViewWidget();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(view, nullptr);
    const QSize before = view->size();
    main->resize(main->width() + 100, main->height() + 60);
    QApplication::processEvents();
    // The view keeps its place and takes the room up to the window's edges.
    EXPECT_GT(view->width(), before.width() + 90);
    EXPECT_GT(view->height(), before.height() + 50);
    EXPECT_EQ(view->geometry().right(), main->width() - 5);
    // The map is drawn at the new size.
    const auto picture = d.Desktop().CaptureWindow(d.Host().MapViewWindow());
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->width, view->width());
}

// The map on the left half, the globe on the right, both the screen's height, the globe's
// view filling its window; the digitizer window at the map's bottom left under the layer list.
TEST_F(DeskTest, TheWindowsTileTheScreen) {
    for (const Rect screen : {Rect{0, 0, 1600, 900}, Rect{0, 0, 1920, 1080}}) {
        desk_.reset();
        DeskOptions options;
        options.outDir = out_;
        options.screen = screen;
        options.drape = false;
        options.quit = [] {};
        desk_ = std::make_unique<Desk>(options);
        desk_->Show();
        Desk& d = *desk_;
        // The window frames arrive after showing (the view follows its window's new size).
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
        const auto map = d.Desktop().GetWindowRect(d.Host().hWnd());
        const auto globe = d.Desktop().GetWindowRect(d.Globe().MainWindow());
        ASSERT_TRUE(map && globe);
        EXPECT_EQ(*map, (Rect{0, 0, screen.width() / 2, screen.height()}));
        EXPECT_EQ(*globe, (Rect{screen.width() / 2, 0, screen.width(), screen.height()}));
        const auto client = d.Desktop().GetClientRect(d.Globe().MainWindow());
        ASSERT_TRUE(client.has_value());
        EXPECT_EQ(d.Globe().RenderSize(), (Size{client->width(), client->height()}))
            << "the view leaves bands of its window empty";

        d.PressCommand();
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
        frmGE2Arc& form = d.Command().Window();
        ASSERT_TRUE(form.IsLoaded());
        const auto digitizer = d.Desktop().GetWindowRect(form.hWnd());
        ASSERT_TRUE(digitizer.has_value());
        EXPECT_EQ(digitizer->left, 0);
        EXPECT_NEAR(digitizer->bottom, screen.height(), 1) << "twips round down";
        EXPECT_LE(digitizer->right, map->right);
        EXPECT_GE(digitizer->width(), 330) << "room for the captions";
        QWidget* formWidget = d.Desktop().Widget(form.hWnd());
        ASSERT_NE(formWidget, nullptr);
        EXPECT_TRUE(formWidget->isWindow());
        EXPECT_TRUE(formWidget->windowFlags().testFlag(Qt::Tool)) << "a click on the map buries it";
        EXPECT_EQ(formWidget->parentWidget(), d.Map().MainWidget());
        const QRect list = d.Map().LayerList()->geometry();
        EXPECT_LE(list.bottom(), digitizer->top) << "the digitizer covers the layer list";
        EXPECT_GE(list.height(), 300);
    }
}

// The map's status bar follows the host's step progressor: a busy bar while it is shown and
// the count of steps, nothing once it is hidden.
TEST_F(DeskTest, TheStatusBarFollowsTheProgressor) {
    Desk& d = Start();
    QProgressBar* bar = d.Map().ProgressBar();
    QLabel* label = d.Map().StatusLabel();
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(bar->isHidden());
    gis::StepProgressor& progress = d.Host().Progress();
    progress.Show();
    progress.SetPosition(0);
    for (int i = 0; i < 250; ++i) {
        progress.Step();
    }
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->minimum(), bar->maximum()) << "a busy bar: the progressor has no range";
    EXPECT_TRUE(label->text().contains(QStringLiteral("250"))) << label->text().toStdString();
    const QRect view = d.Map().MapViewWidget()->geometry();
    EXPECT_GT(bar->geometry().top(), view.bottom()) << "under the map, not over it";
    progress.Hide();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(label->text().isEmpty());
}

TEST_F(DeskTest, GlobeWindowShowsRenderedFramesWithTheMapDraped) {
    Desk& d = Start();
    ASSERT_TRUE(d.Frames().WaitShown(std::chrono::milliseconds(20000)));
    const globe::Image frame = d.Frames().Latest();
    const Size size = d.Globe().RenderSize();
    EXPECT_EQ(frame.width, size.width);
    EXPECT_EQ(frame.height, size.height);
    // The render window paints the frame.
    const auto captured = d.Desktop().CaptureWindow(d.Globe().RenderWindow());
    ASSERT_TRUE(captured.has_value());
    EXPECT_EQ(captured->width, size.width);
}

TEST_F(DeskTest, DrapeIsTransparentOverTheSeaAndTintsTheLand) {
    Desk& d = Start();
    // Africa and the Atlantic around the equator, a tenth of a degree per pixel.
    const globe::DrapeArea area{-40.0, -10.0, 40.0, 10.0, 0.1};
    const auto image = RenderDrape(d.Host(), area);
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->width, area.Columns());
    ASSERT_EQ(image->height, area.Rows());
    auto alphaAt = [&](double lon, double lat) {
        const int x = static_cast<int>((lon - area.west) / area.pixelDegrees);
        const int y = static_cast<int>((area.north - lat) / area.pixelDegrees);
        return image->At(x, y)[3];
    };
    EXPECT_EQ(alphaAt(-25.0, 0.0), 0);  // mid-Atlantic
    EXPECT_GT(alphaAt(22.0, 2.0), 100); // the Congo basin
}

TEST_F(DeskTest, QuittingWithoutTheWindowOpenIsGranted) {
    Desk& d = Start();
    EXPECT_TRUE(d.RequestQuit());
    EXPECT_EQ(quits_, 1);
}

TEST_F(DeskTest, QuittingDuringATerrainRunIsRefusedWithAMessage) {
    Desk& d = Start();
    d.Command().OnClick();
    frmGE2Arc& w = d.Command().Window();
    ASSERT_TRUE(w.IsLoaded());
    w.state.busy = true; // as while a DEM or contour run samples the terrain
    bool boxSeen = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        const WindowHandle box = d.Desktop().FindWindow(std::string("#32770"), std::nullopt);
        if (box != kNoWindow && !boxSeen) {
            boxSeen = true;
            d.Desktop().PostCloseMessage(box);
        }
    });
    closer.start(20);
    EXPECT_FALSE(d.RequestQuit());
    EXPECT_EQ(quits_, 0);
    EXPECT_TRUE(boxSeen);
    EXPECT_TRUE(w.IsLoaded());
    w.state.busy = false;
}

TEST_F(DeskTest, ClosingAWindowWithTheDigitizerOpenUnloadsIt) {
    Desk& d = Start();
    d.Command().OnClick();
    ASSERT_TRUE(d.Command().Window().IsLoaded());
    QWidget* globeWindow = d.Desktop().Widget(d.Globe().MainWindow());
    ASSERT_NE(globeWindow, nullptr);
    globeWindow->close();
    EXPECT_FALSE(d.Command().Window().IsLoaded());
    EXPECT_EQ(quits_, 1);
    // The window stays until the desk goes.
    EXPECT_TRUE(d.Desktop().IsWindow(d.Globe().MainWindow()));
}

TEST_F(DeskTest, BadInputNamesTheFile) {
    DeskOptions options;
    options.project = out_ / "missing.json";
    try {
        Start(options);
        FAIL() << "a missing project was accepted";
    } catch (const DeskError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.json"), std::string::npos) << e.what();
    }
    DeskOptions dem;
    const fs::path bad = out_ / "not-a-dem.tif";
    std::ofstream(bad) << "this is not a raster";
    dem.dems = {bad};
    try {
        (void)LoadDeskTerrain(dem);
        FAIL() << "a broken DEM was accepted";
    } catch (const DeskError& e) {
        EXPECT_NE(std::string(e.what()).find("not-a-dem.tif"), std::string::npos) << e.what();
    }
}

TEST(Icons, EveryKeyDrawsSomething) {
    for (const std::string& key : IconKeys()) {
        const QImage image = IconPixmap(key, 24).toImage();
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
        }
        if (key == "nothing") {
            EXPECT_EQ(opaque, 0) << "the blink's blank phase shows nothing";
        } else {
            EXPECT_GT(opaque, 40) << key;
        }
    }
}

// The command line's bad input: no display, unreadable files; and its help.
std::pair<int, std::string> RunScribeline(const std::string& environment,
                                          const std::string& arguments) {
    const std::string command = environment + " " + SCRIBELINE_EXE + " " + arguments + " 2>&1";
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, ""};
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(DeskCommandLine, WithoutADisplayItSaysSoAndExitsWithOne) {
    const auto [code, output] =
        RunScribeline("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "desk");
    EXPECT_EQ(code, 1) << output;
    EXPECT_NE(output.find("DISPLAY"), std::string::npos) << output;
    EXPECT_NE(output.find("xvfb-run"), std::string::npos) << output;
}

TEST(DeskCommandLine, UnreadableFilesAreNamed) {
    {
        const auto [code, output] =
            RunScribeline("env QT_QPA_PLATFORM=offscreen", "desk --map /nonexistent/project.json");
        EXPECT_EQ(code, 1) << output;
        EXPECT_NE(output.find("/nonexistent/project.json"), std::string::npos) << output;
    }
    {
        const auto [code, output] =
            RunScribeline("env QT_QPA_PLATFORM=offscreen", "desk --dem /nonexistent/dem.tif");
        EXPECT_EQ(code, 1) << output;
        EXPECT_NE(output.find("/nonexistent/dem.tif"), std::string::npos) << output;
    }
}

TEST(DeskCommandLine, HelpDescribesTheOptions) {
    const auto [code, output] = RunScribeline("", "desk --help");
    EXPECT_EQ(code, 0) << output;
    for (const char* word : {"--dem", "--map", "--out", "xvfb-run"}) {
        EXPECT_NE(output.find(word), std::string::npos) << word << " in " << output;
    }
}

} // namespace
} // namespace scribeline::frontend
