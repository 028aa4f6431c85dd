// The desktop app (`scribeline desk`): the globe, the map and the Scribeline command on the Qt
// desktop, in real time. The caller creates the QApplication first (after DisplayProblem says a
// display is there) and runs its event loop; the desk quits it when the user closes the globe
// or the map window and the digitizer agrees.
#pragma once

#include "frontends/qt/digitizer_window.hpp"
#include "frontends/qt/field_dialog.hpp"
#include "frontends/qt/globe_window.hpp"
#include "frontends/qt/map_window.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class QObject;

namespace scribeline {
class clsScribeline;
}

namespace scribeline::frontend {

// Bad input of the desk (a DEM or project that cannot be read, no base Earth): the message
// names the file and the reason.
class DeskError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DeskOptions {
    // Raster DEMs set in the base Earth; the finest answers where they overlap.
    std::vector<std::filesystem::path> dems;
    // A project file for the map; none: the embedded default map (Natural Earth).
    std::optional<std::filesystem::path> project;
    // Where the digitizer writes (run shapefiles, live KML) and the default map is copied to.
    std::filesystem::path outDir;
    // The base Earth file; empty: where the ferret-datasets package puts it.
    std::filesystem::path baseEarth;
    // The extension's own folder (where screen shots go); empty: the executable's folder.
    std::filesystem::path moduleFolder;
    // The file the default map is copied from; empty: the installed Natural Earth map.
    std::filesystem::path worldMapSource;
    // Whether the map is draped on the globe's terrain.
    bool drape = true;
    // Where the windows go: the map on the left, the globe on the right of this screen area.
    Rect screen{0, 0, 1920, 1080};
    // What a granted quit does; empty: QCoreApplication::quit.
    std::function<void()> quit;
    // Changes the globe's options before it starts (a scripted session's window layout and
    // first view); may be empty.
    std::function<void(globe::GlobeOptions&)> adjustGlobe;
};

// Loads the terrain the options name: the base Earth with every DEM set in it. Raises
// DeskError naming the file for a DEM or base Earth that cannot be used. Needs no display.
std::shared_ptr<const globe::ElevationModel> LoadDeskTerrain(const DeskOptions& options);

class Desk {
public:
    // Twips a pixel of the desk's desktop: the digitizer window's.
    static constexpr int kDeskTwipsPerPixel = DigitizerWindow::kTwipsPerPixel;
    // Width of the map window's left column (the layer list above the digitizer window).
    static constexpr int kLayerColumnWidth = 376;

    // Starts the hosts, the command and the windows (not shown yet). Raises DeskError for bad
    // input. A QApplication must exist.
    explicit Desk(DeskOptions options);
    ~Desk();
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    // Shows the map and the globe windows.
    void Show();
    // What closing either window or quitting asks: with a run active the run ends as when the
    // digitizer window closes (finished features saved) and the answer is yes; during a DEM or
    // contour run the answer is no and a message box says why; otherwise yes. A yes quits the
    // application's event loop.
    bool RequestQuit();
    // Presses the Scribeline command's button in the map's tool bar (when it is enabled).
    void PressCommand();

    [[nodiscard]] qtdesktop::QtDesktop& Desktop() { return *desktop_; }
    [[nodiscard]] globe::SimulatedGlobe& Globe() { return *globe_; }
    [[nodiscard]] gis::GisHost& Host() { return *host_; }
    [[nodiscard]] clsScribeline& Command() { return *command_; }
    [[nodiscard]] MapWindow& Map() { return *map_; }
    [[nodiscard]] GlobeFrames& Frames() { return *frames_; }
    [[nodiscard]] DigitizerWindow& Digitizer() { return *digitizer_; }
    // The field-definition dialog while its form is loaded; null otherwise.
    [[nodiscard]] FieldDialog* Fields() { return fieldDialog_.get(); }
    // What follows input: the digitizer's widgets attached to a newly loaded window, the run
    // switch, the options menu and the field dialog shown when the model asks. Queued after
    // every press and key; tests call it directly.
    void AfterInput();
    [[nodiscard]] const std::filesystem::path& OutDir() const { return options_.outDir; }

private:
    class CloseFilter;
    class GlobeKeys;
    void runSwitch();
    void keepDigitizerOverTheMap();
    // After input the window may have loaded (a new window to build widgets in): attach once
    // the event is handled. The widgets themselves follow the change notification.
    void queueSync();

    DeskOptions options_;
    std::unique_ptr<qtdesktop::QtDesktop> desktop_;
    std::unique_ptr<globe::SimulatedGlobe> globe_;
    std::shared_ptr<MapPicture> picture_;
    std::shared_ptr<gis::GisHost> host_;
    std::unique_ptr<clsScribeline> command_;
    std::unique_ptr<MapWindow> map_;
    std::unique_ptr<GlobeFrames> frames_;
    std::unique_ptr<DigitizerWindow> digitizer_;
    std::unique_ptr<FieldDialog> fieldDialog_;
    QObject* context_ = nullptr; // queued calls die with it
    HookHandle syncKeyHook_ = 0;
    bool syncQueued_ = false;
    std::unique_ptr<CloseFilter> closeFilter_;
    std::unique_ptr<GlobeKeys> globeKeys_;
    HookHandle runHook_ = 0;
    bool quitting_ = false;
};

} // namespace scribeline::frontend
