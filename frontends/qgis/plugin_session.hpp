// What the QGIS plugin runs, without QGIS's headers: the Qt desktop with QGIS's main window
// and canvas registered as foreign windows, the QGIS map host, the globe client (started when
// the command's window first needs it; the base Earth is read on the first terrain query) and
// the command, created as the host creates a command (OnCreate with the host application).
//
// Threads: the QGIS user-interface thread only.
#pragma once

#include "frontends/qt/globe_window.hpp"
#include "hosts/qgis/qgis_host.hpp"

#include <memory>
#include <string>

class QIcon;
class QWidget;

namespace scribeline::qtdesktop {
class QtDesktop;
}
namespace scribeline::globe {
class SimulatedGlobe;
}
namespace scribeline::frontend {
class DigitizerWindow;
}
namespace scribeline {
class frmGE2Arc;
}

namespace scribeline::qgisplugin {

// What the toolbar button and the menu entry show, as the command reports it.
struct CommandFace {
    std::string caption;
    std::string tooltip;
    std::string statusTip;
    bool enabled = false;
};

class PluginSession {
public:
    // The QGIS objects are borrowed and must outlive the session. `drape` draws the map over
    // an area for the globe, on the GUI thread (may be empty: bare terrain). Raises PortError
    // when a part is missing.
    PluginSession(const qgis::QgisParts& parts, frontend::GuiDrapeRenderer drape);
    // Ends a run as closing the window does and releases the command. Must not run while
    // Busy() (the caller defers it).
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // Asks the command; never raises (the command traps its own failures).
    [[nodiscard]] CommandFace Face();
    // The command's picture as an icon (the desktop app's drawing for its bitmap's key).
    [[nodiscard]] QIcon Icon();
    // The button was pressed.
    void Press();

    // A terrain command runs its nested message loops (or a modal box is open over the
    // window): the session must not be deleted and the window cannot close until it has
    // unwound.
    [[nodiscard]] bool Busy();
    // Closes the digitizer window as the user closing it would (a run ends, finished features
    // are saved). False when it refused (Busy()) or was not open.
    bool CloseWindow();
    [[nodiscard]] bool WindowOpen() const;

    // Whether the globe client has been started (it starts when the window first loads).
    [[nodiscard]] bool GlobeStarted() const;
    // The globe client's main window as a widget for the dock, null before it started. The
    // desktop keeps owning it: whoever reparents it must give it back (ReleaseGlobeWidget)
    // before deleting its own widgets.
    [[nodiscard]] QWidget* GlobeWidget() const;

    [[nodiscard]] qtdesktop::QtDesktop& Desktop();
    [[nodiscard]] qgis::QgisHost& Host();
    // The globe's terrain: the raster file as a DEM on top of the base Earth; empty: the base
    // Earth alone. Kept for a globe that has not started yet. Raises DemError (naming the
    // file) when the raster cannot be read; the terrain is then left as it was.
    void SetTerrainFile(const std::string& file);
    [[nodiscard]] const std::string& TerrainFile() const;
    // The globe's frames, null before the globe started.
    [[nodiscard]] frontend::GlobeFrames* Frames() const;
    // The view the globe opens with (before it started; afterwards the view jumps there).
    void SetFirstView(const ICameraInfoGE& camera);
    // The digitizer window's widgets and the form they show.
    [[nodiscard]] frontend::DigitizerWindow& Digitizer();
    [[nodiscard]] frmGE2Arc& Form();
    // The globe's render window as a widget (clicks there digitize), null before it started.
    [[nodiscard]] QWidget* GlobeRenderWidget() const;

private:
    void desktopUnhook();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace scribeline::qgisplugin
