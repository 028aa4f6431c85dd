#include "frontends/qgis/plugin_session.hpp"

#include "command/clsScribeline.hpp"
#include "command/toolbar_keys.hpp"
#include "composition/default_subsystems.hpp"
#include "frontends/qt/digitizer_window.hpp"
#include "frontends/qt/icons.hpp"
#include "hosts/globe/base_earth.hpp"
#include "hosts/globe/raster_dem.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "hosts/globe/terrain_stack.hpp"
#include "hosts/qtdesktop/qt_desktop.hpp"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <optional>
#include <utility>

namespace scribeline::qgisplugin {

namespace {

// Starts the globe client the first time the command asks for an application object, so
// that loading the plugin creates no globe until the command's window loads.
class LazyGlobe final : public IGlobeConnector {
public:
    LazyGlobe(qtdesktop::QtDesktop& desktop, frontend::GuiDrapeRenderer drape)
        : desktop_(desktop), drape_(std::move(drape)) {}
    ~LazyGlobe() override {
        frames_.reset(); // its render thread paints into the globe's window
    }
    LazyGlobe(const LazyGlobe&) = delete;
    LazyGlobe& operator=(const LazyGlobe&) = delete;

    std::shared_ptr<IApplicationGE> CreateApplication() override {
        return Started().Connector().CreateApplication();
    }

    void SetFirstView(const ICameraInfoGE& camera) {
        firstView_ = camera;
        if (globe_) {
            // The client's fastest speed: no flight, the view is there at once.
            globe_->Connector().CreateApplication()->SetCamera(camera, 5.0);
        }
    }

    // Null: the base Earth.
    void SetTerrain(std::shared_ptr<const globe::ElevationModel> model) {
        terrain_ = std::move(model);
        if (globe_) {
            globe_->SetTerrain(terrain_);
        }
    }

    globe::SimulatedGlobe& Started() {
        if (!globe_) {
            globe::GlobeOptions options;
            options.terrain = terrain_;
            if (firstView_) {
                options.camera = *firstView_;
            }
            options.sidePanelWidth = 0;
            options.toolBarHeight = 0;
            options.statusBarHeight = 0;
            options.mainWindow = Rect{0, 0, 480, 480};
            // A person drives this globe: drags and keys move the view.
            options.dragNavigation = true;
            options.onRepaint = [this](WindowHandle w) {
                desktop_.Repaint(w);
                if (frames_) {
                    frames_->ViewChanged();
                }
            };
            globe_ = std::make_unique<globe::SimulatedGlobe>(desktop_, std::move(options));
            frames_ = std::make_unique<frontend::GlobeFrames>(desktop_, *globe_, drape_);
        }
        return *globe_;
    }
    [[nodiscard]] globe::SimulatedGlobe* Globe() const { return globe_.get(); }
    [[nodiscard]] frontend::GlobeFrames* Frames() const { return frames_.get(); }

private:
    qtdesktop::QtDesktop& desktop_;
    frontend::GuiDrapeRenderer drape_;
    std::shared_ptr<const globe::ElevationModel> terrain_;
    std::optional<ICameraInfoGE> firstView_;
    std::unique_ptr<globe::SimulatedGlobe> globe_;
    std::unique_ptr<frontend::GlobeFrames> frames_;
};

// The digitizer window (and every other top-level window of the port) is a tool window of
// QGIS's main window: it stays above QGIS and is minimised and closed with it.
qtdesktop::QtDesktopOptions DesktopOptions(const qgis::QgisParts& parts) {
    qtdesktop::QtDesktopOptions options;
    options.toolWindowOwner = parts.mainWindow;
    options.twipsPerPixel = frontend::DigitizerWindow::kTwipsPerPixel;
    return options;
}

} // namespace

struct PluginSession::Impl {
    qtdesktop::QtDesktop desktop;
    std::shared_ptr<qgis::QgisHost> host;
    LazyGlobe globe;
    std::unique_ptr<clsScribeline> command;
    std::unique_ptr<frontend::DigitizerWindow> digitizer;
    std::string terrainFile;
    QObject context; // queued syncs die with the session
    bool syncQueued = false;
    HookHandle mouseHook = 0;
    HookHandle keyHook = 0;

    // The digitizer window's widgets follow the form (a new load makes a new window), and
    // the globe's drags navigate only while no run is active.
    void sync() {
        digitizer->Attach();
        frmGE2Arc& w = command->Window();
        if (globe::SimulatedGlobe* g = globe.Globe()) {
            g->SetRunActive(w.IsLoaded() && w.state.digitizingActive);
        }
        digitizer->ShowOptionsMenuIfPoppedUp();
    }
    void queueSync() {
        if (syncQueued) {
            return;
        }
        syncQueued = true;
        QMetaObject::invokeMethod(
            &context,
            [this] {
                syncQueued = false;
                sync();
            },
            Qt::QueuedConnection);
    }

    Impl(const qgis::QgisParts& parts, frontend::GuiDrapeRenderer drape)
        : desktop(DesktopOptions(parts)), globe(desktop, std::move(drape)) {
        // The registrar only registers: QGIS keeps its widgets where it put them.
        host = std::make_shared<qgis::QgisHost>(
            parts, [this](QWidget* widget, const std::string& className, const std::string& title,
                          WindowHandle parent) {
                return desktop.RegisterForeign(widget, className, title, parent);
            });
        desktop.SetMainWindow(host->hWnd());
        command = std::make_unique<clsScribeline>(Environment{desktop, globe}, DefaultSubsystems());
        command->OnCreate(host);
        digitizer = std::make_unique<frontend::DigitizerWindow>(desktop, command->Window());
        mouseHook = desktop.SetMouseHook([this](const MouseEvent& e) {
            if (e.message == MouseMessage::LeftDown || e.message == MouseMessage::RightDown) {
                if (globe::SimulatedGlobe* g = globe.Globe()) {
                    const frmGE2Arc& w = command->Window();
                    g->SetRunActive(w.IsLoaded() && w.state.digitizingActive);
                }
            }
            if (e.message != MouseMessage::Move) {
                queueSync();
            }
            return HookResult::Pass;
        });
        keyHook = desktop.SetKeyboardHook([this](const KeyEvent&) {
            queueSync();
            return HookResult::Pass;
        });
    }
};

PluginSession::PluginSession(const qgis::QgisParts& parts, frontend::GuiDrapeRenderer drape)
    : impl_(std::make_unique<Impl>(parts, std::move(drape))) {}

PluginSession::~PluginSession() {
    // Class_Terminate unloads the window (a run ends as a close ends it) before the globe
    // and the desktop it draws on go.
    desktopUnhook();
    impl_->command->Class_Terminate();
    impl_->digitizer.reset();
    impl_->command.reset();
}

CommandFace PluginSession::Face() {
    clsScribeline& c = *impl_->command;
    return CommandFace{c.Caption(), c.Tooltip(), c.Message(), c.Enabled()};
}

QIcon PluginSession::Icon() {
    clsScribeline& c = *impl_->command;
    const PictureHandle picture = c.Bitmap();
    return frontend::Icon(picture == 0 ? std::string() : c.Window().Images().Key(picture));
}

void PluginSession::Press() {
    impl_->command->OnClick();
    impl_->sync();
}

void PluginSession::desktopUnhook() {
    for (HookHandle* hook : {&impl_->mouseHook, &impl_->keyHook}) {
        if (*hook != 0) {
            impl_->desktop.Unhook(*hook);
            *hook = 0;
        }
    }
}

bool PluginSession::Busy() {
    frmGE2Arc& window = impl_->command->Window();
    if (!window.IsLoaded()) {
        return false;
    }
    // A failed command's message box is one more nested loop, opened after the command has
    // cleared its flags and owned by the window: closing the window would delete the box
    // under its own loop.
    if (window.state.busy || QApplication::activeModalWidget() != nullptr) {
        return true;
    }
    // A terrain command's button stays down from the press until the command has unwound,
    // also while it prepares its layer (which may pump) before it calls itself busy.
    const controls::Toolbar& bar = window.ctl.toolbarScribeline;
    for (const char* key : {toolbar_keys::kDem, toolbar_keys::kContour}) {
        if (bar.HasButton(key) && bar.Button(key).value == 1) {
            return true;
        }
    }
    return false;
}

bool PluginSession::CloseWindow() {
    frmGE2Arc& window = impl_->command->Window();
    if (!impl_->command->Process().windowOpen || Busy()) {
        return false;
    }
    return window.Unload();
}

bool PluginSession::WindowOpen() const {
    return impl_->command->Process().windowOpen;
}

bool PluginSession::GlobeStarted() const {
    return impl_->globe.Globe() != nullptr;
}

QWidget* PluginSession::GlobeWidget() const {
    const globe::SimulatedGlobe* g = impl_->globe.Globe();
    return g == nullptr ? nullptr : impl_->desktop.Widget(g->MainWindow());
}

qtdesktop::QtDesktop& PluginSession::Desktop() {
    return impl_->desktop;
}

qgis::QgisHost& PluginSession::Host() {
    return *impl_->host;
}

void PluginSession::SetTerrainFile(const std::string& file) {
    if (file.empty()) {
        impl_->globe.SetTerrain(nullptr);
    } else {
        // Loaded first: a raster that cannot be read leaves the terrain as it was.
        std::vector<std::shared_ptr<const globe::RasterDem>> dems{globe::RasterDem::Load(file)};
        impl_->globe.SetTerrain(
            std::make_shared<globe::TerrainStack>(std::move(dems), globe::SharedBaseEarth()));
    }
    impl_->terrainFile = file;
}

const std::string& PluginSession::TerrainFile() const {
    return impl_->terrainFile;
}

frontend::GlobeFrames* PluginSession::Frames() const {
    return impl_->globe.Frames();
}

void PluginSession::SetFirstView(const ICameraInfoGE& camera) {
    impl_->globe.SetFirstView(camera);
}

frontend::DigitizerWindow& PluginSession::Digitizer() {
    return *impl_->digitizer;
}

frmGE2Arc& PluginSession::Form() {
    return impl_->command->Window();
}

QWidget* PluginSession::GlobeRenderWidget() const {
    const globe::SimulatedGlobe* g = impl_->globe.Globe();
    return g == nullptr ? nullptr : impl_->desktop.Widget(g->RenderWindow());
}

} // namespace scribeline::qgisplugin
