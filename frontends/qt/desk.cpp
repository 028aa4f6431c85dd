#include "frontends/qt/desk.hpp"

#include "command/clsScribeline.hpp"
#include "composition/default_subsystems.hpp"
#include "hosts/globe/base_earth.hpp"
#include "hosts/globe/raster_dem.hpp"
#include "hosts/globe/terrain_stack.hpp"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <fstream>

namespace scribeline::frontend {

namespace fs = std::filesystem;

namespace {

void RequireReadable(const char* option, const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        throw DeskError(std::string(option) + " " + file.string() + ": no such file");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw DeskError(std::string(option) + " " + file.string() + ": cannot be read");
    }
}

} // namespace

std::shared_ptr<const globe::ElevationModel> LoadDeskTerrain(const DeskOptions& options) {
    auto base = options.baseEarth.empty()
                    ? globe::SharedBaseEarth()
                    : std::make_shared<const globe::BaseEarth>(options.baseEarth);
    try {
        base->Check();
    } catch (const std::exception& e) {
        throw DeskError(e.what());
    }
    std::vector<std::shared_ptr<const globe::RasterDem>> dems;
    for (const fs::path& dem : options.dems) {
        RequireReadable("--dem", dem);
        try {
            dems.push_back(globe::RasterDem::Load(dem));
        } catch (const std::exception& e) {
            throw DeskError("--dem " + dem.string() + ": " + e.what());
        }
    }
    if (dems.empty()) {
        return base;
    }
    return std::make_shared<globe::TerrainStack>(std::move(dems), base);
}

// Closing the map or the globe window is a request to quit the desk.
class Desk::CloseFilter final : public QObject {
public:
    explicit CloseFilter(Desk& desk) : desk_(desk) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close || desk_.quitting_) {
            return false;
        }
        event->ignore();
        (void)desk_.RequestQuit();
        return true; // the windows stay until the desk goes, in its order
    }

private:
    Desk& desk_;
};

// The digitizer window's shortcuts (Ctrl and Alt chords, function keys) from the globe's
// windows: the globe is where a person's hands are during a run.
class Desk::GlobeKeys final : public QObject {
public:
    explicit GlobeKeys(Desk& desk) : desk_(desk) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        auto* e = static_cast<QKeyEvent*>(event);
        const bool chord = (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
        int key = 0;
        if (e->key() >= Qt::Key_F1 && e->key() <= Qt::Key_F12) {
            key = 0x70 + (e->key() - Qt::Key_F1);
        } else if (chord && ((e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z) ||
                             (e->key() >= Qt::Key_0 && e->key() <= Qt::Key_9))) {
            key = e->key(); // letters and digits are their own key codes
        }
        frmGE2Arc& form = desk_.command_->Window();
        if (key == 0 || !form.IsLoaded()) {
            return false;
        }
        const int shift = ((e->modifiers() & Qt::ShiftModifier) ? 1 : 0) |
                          ((e->modifiers() & Qt::ControlModifier) ? 2 : 0) |
                          ((e->modifiers() & Qt::AltModifier) ? 4 : 0);
        form.Errors().Run("Keys", [&form, key, shift] { form.Form_KeyDown(key, shift); });
        return false;
    }

private:
    Desk& desk_;
};

Desk::Desk(DeskOptions options) : options_(std::move(options)) {
    if (options_.project) {
        RequireReadable("--map", *options_.project);
    }
    auto terrain = LoadDeskTerrain(options_);
    if (options_.outDir.empty()) {
        options_.outDir = fs::temp_directory_path() / "scribeline-desk";
    }
    std::error_code ec;
    fs::create_directories(options_.outDir, ec);
    if (ec) {
        throw DeskError("--out " + options_.outDir.string() + ": " + ec.message());
    }

    qtdesktop::QtDesktopOptions d;
    d.tempFolder = options_.outDir;
    d.moduleFolder = options_.moduleFolder;
    desktop_ = std::make_unique<qtdesktop::QtDesktop>(d);

    // The map on the left half of the screen, the globe on the right.
    const Rect s = options_.screen;
    const int half = s.left + s.width() / 2;
    globe::GlobeOptions g;
    g.terrain = std::move(terrain);
    g.mainWindow = Rect{half, s.top, s.right, s.top + std::min(s.height(), 720)};
    g.sidePanelWidth = 0;
    g.dragNavigation = true;
    g.onRepaint = [this](WindowHandle window) {
        desktop_->Repaint(window);
        if (frames_) {
            frames_->ViewChanged();
        }
    };
    if (options_.adjustGlobe) {
        options_.adjustGlobe(g);
    }
    globe_ = std::make_unique<globe::SimulatedGlobe>(*desktop_, std::move(g));

    picture_ = std::make_shared<MapPicture>();
    gis::GisHostOptions m;
    const int mapHeight = std::min(s.height(), 1000);
    m.mainWindow = Rect{s.left, s.top, half, s.top + mapHeight};
    m.mapView = Rect{250, 44, half - s.left - 4, mapHeight - 28};
    m.title = "Scribeline Map";
    host_ =
        std::make_shared<gis::GisHost>(*desktop_, MapPicture::HostOptions(*desktop_, picture_, m));
    try {
        if (options_.project) {
            host_->LoadProject(*options_.project);
        } else if (options_.worldMapSource.empty()) {
            host_->LoadDefaultMap(options_.outDir);
        } else {
            host_->LoadDefaultMap(options_.outDir, options_.worldMapSource);
        }
    } catch (const std::exception& e) {
        throw DeskError(options_.project ? "--map " + options_.project->string() + ": " + e.what()
                                         : std::string("the default map: ") + e.what());
    }
    desktop_->SetMainWindow(host_->hWnd());

    command_ = std::make_unique<clsScribeline>(Environment{*desktop_, globe_->Connector()},
                                               DefaultSubsystems());
    command_->OnCreate(host_);
    map_ = std::make_unique<MapWindow>(*desktop_, *host_, picture_, *command_);

    GuiDrapeRenderer drape;
    if (options_.drape) {
        drape = [this](const globe::DrapeArea& area) { return RenderDrape(*host_, area); };
    }
    frames_ = std::make_unique<GlobeFrames>(*desktop_, *globe_, std::move(drape));
    digitizer_ = std::make_unique<DigitizerWindow>(*desktop_, command_->Window());
    context_ = new QObject();
    map_->afterCommand = [this] { queueSync(); };
    digitizer_->afterAction = [this] { queueSync(); };

    // Left and right drags navigate only while no run is active; the switch is set as a press
    // arrives, before the globe's window sees it.
    runHook_ = desktop_->SetMouseHook([this](const MouseEvent& e) {
        if (e.message == MouseMessage::LeftDown || e.message == MouseMessage::RightDown) {
            runSwitch();
        }
        if (e.message != MouseMessage::Move) {
            queueSync();
        }
        return HookResult::Pass;
    });
    syncKeyHook_ = desktop_->SetKeyboardHook([this](const KeyEvent&) {
        queueSync();
        return HookResult::Pass;
    });

    globeKeys_ = std::make_unique<GlobeKeys>(*this);
    if (QWidget* render = desktop_->Widget(globe_->RenderWindow())) {
        render->installEventFilter(globeKeys_.get());
    }
    closeFilter_ = std::make_unique<CloseFilter>(*this);
    for (WindowHandle w : {host_->hWnd(), globe_->MainWindow()}) {
        if (QWidget* widget = desktop_->Widget(w)) {
            widget->installEventFilter(closeFilter_.get());
        }
    }
}

Desk::~Desk() {
    quitting_ = true;
    if (runHook_ != 0) {
        desktop_->Unhook(runHook_);
    }
    if (syncKeyHook_ != 0) {
        desktop_->Unhook(syncKeyHook_);
    }
    delete context_;
    context_ = nullptr;
    if (QWidget* render = desktop_->Widget(globe_->RenderWindow())) {
        render->removeEventFilter(globeKeys_.get());
    }
    for (WindowHandle w : {host_->hWnd(), globe_->MainWindow()}) {
        if (QWidget* widget = desktop_->Widget(w)) {
            widget->removeEventFilter(closeFilter_.get());
        }
    }
    // The window goes before the hosts it uses: end a run as closing the window does.
    try {
        if (command_->Window().IsLoaded()) {
            (void)command_->Window().Unload();
        }
    } catch (...) {
        // Quitting goes on: what the run wrote is on disk already.
    }
    fieldDialog_.reset();
    digitizer_.reset();
    frames_.reset();
    map_.reset();
    command_.reset();
    host_.reset();
    globe_.reset();
    desktop_.reset();
}

void Desk::runSwitch() {
    const frmGE2Arc& w = command_->Window();
    globe_->SetRunActive(w.IsLoaded() && w.state.digitizingActive);
}

void Desk::queueSync() {
    if (syncQueued_ || context_ == nullptr) {
        return;
    }
    syncQueued_ = true;
    QMetaObject::invokeMethod(
        context_,
        [this] {
            syncQueued_ = false;
            AfterInput();
        },
        Qt::QueuedConnection);
}

void Desk::AfterInput() {
    digitizer_->Attach();
    runSwitch();
    frmDefProperty* fields = nullptr;
    for (IForm* form : command_->Process().loadedForms) {
        if (form->FormName() == frmDefProperty::kFormName) {
            fields = dynamic_cast<frmDefProperty*>(form);
        }
    }
    if (fields == nullptr) {
        fieldDialog_.reset();
    } else {
        if (!fieldDialog_ || &fieldDialog_->Model() != fields) {
            fieldDialog_ = std::make_unique<FieldDialog>(*fields);
        }
        fieldDialog_->Sync();
    }
    digitizer_->ShowOptionsMenuIfPoppedUp();
}

void Desk::PressCommand() {
    if (QAction* action = map_->CommandAction(); action != nullptr && action->isEnabled()) {
        action->trigger();
    }
}

void Desk::Show() {
    for (WindowHandle w : {host_->hWnd(), globe_->MainWindow()}) {
        desktop_->ShowWindow(w, ShowCommand::Show);
    }
    desktop_->SetForegroundWindow(host_->hWnd());
}

bool Desk::RequestQuit() {
    frmGE2Arc& w = command_->Window();
    if (w.IsLoaded()) {
        if (w.state.busy) {
            desktop_->MessageBox(host_->hWnd(),
                                 "Scribeline is reading the terrain from the globe. Wait until "
                                 "it is done, or press Abort, before quitting.",
                                 frmGE2Arc::kCaption, mb::Ok | mb::IconExclamation);
            return false;
        }
        w.UserClose();
        if (w.IsLoaded()) {
            return false;
        }
    }
    quitting_ = true;
    if (options_.quit) {
        options_.quit();
    } else {
        QCoreApplication::quit();
    }
    return true;
}

} // namespace scribeline::frontend
