// The map window of the desktop app: the GDAL map host's main window on the Qt desktop with a
// tool bar (the Scribeline command's button, zoom in/out, full extent, zoom to layer), a layer
// list (visibility, feature count; double-click zooms to the layer) and the map view painted
// with the host's render of the layers, the feedback drawings and elements included. The map
// view pans by dragging, zooms with the wheel at the pointer and with a box dragged with Shift
// held. It is a viewer for the map host: editing stays the command's.
#pragma once

#include "command/icommand.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/globe/mesh_renderer.hpp"
#include "hosts/qtdesktop/qt_desktop.hpp"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QTreeWidget;
class QTreeWidgetItem;
class QToolBar;
class QLabel;
class QProgressBar;

namespace scribeline::frontend {

// The map view's picture, rendered once per repaint of the view (the host says when) rather
// than once per paint event. Shared between the host's options and the window.
class MapPicture {
public:
    // Options for a GisHost on the Qt desktop that paint its map view with this picture.
    static gis::GisHostOptions HostOptions(qtdesktop::QtDesktop& desktop,
                                           const std::shared_ptr<MapPicture>& picture,
                                           gis::GisHostOptions options = {});
    // Called after every repaint of the map view (may be empty).
    std::function<void()> onRepaint;
    [[nodiscard]] int Renders() const { return renders_; }

private:
    Bitmap picture(Size size);
    std::function<Bitmap(Size)> render_;
    std::optional<Bitmap> cached_;
    int renders_ = 0;
};

// The map over a lon/lat area as a drape for the globe: the layers rendered at the area's
// pixel size, the map's background left transparent so the terrain shows through the sea.
// Nothing when the map is not in geographic coordinates (the drape needs equal steps in
// latitude and longitude). GUI thread only.
std::optional<globe::Image> RenderDrape(gis::GisHost& host, const globe::DrapeArea& area);

class MapWindow {
public:
    // All borrowed; they must outlive the window. `command` is the Scribeline command, whose
    // button sits in the tool bar.
    MapWindow(qtdesktop::QtDesktop& desktop, gis::GisHost& host,
              std::shared_ptr<MapPicture> picture, ICommand& command);
    ~MapWindow();
    MapWindow(const MapWindow&) = delete;
    MapWindow& operator=(const MapWindow&) = delete;

    // The layer list again (names, visibility, counts): after every repaint of the map.
    void RefreshLayers();
    // The command's button: enabled and checked as the command says now.
    void RefreshCommand();
    // Whole map, or one layer of the list (by its row), in view.
    void ZoomToFullExtent();
    bool ZoomToLayer(int row);
    // Zooms by a factor (above 1: in) about a point of the view (client pixels).
    void ZoomAt(Point at, double factor);
    // Moves the view by a drag of (dx, dy) pixels.
    void Pan(int dx, int dy);

    // Keeps `pixels` of the left column below the layer list free (for the digitizer window).
    void ReserveBelowLayers(int pixels);
    // The status bar's progress: a busy bar while the host's progressor is shown, and the
    // label with its position. Tests read them.
    [[nodiscard]] QProgressBar* ProgressBar() const { return progress_; }
    [[nodiscard]] QLabel* StatusLabel() const { return status_; }
    // How often the status bar followed a progressor event.
    [[nodiscard]] int ProgressUpdates() const { return progressUpdates_; }

    // Called after each click of the command's button (may be empty).
    std::function<void()> afterCommand;

    [[nodiscard]] QTreeWidget* LayerList() const { return layers_; }
    [[nodiscard]] QAction* CommandAction() const { return commandAction_; }
    [[nodiscard]] QWidget* MainWidget() const;
    [[nodiscard]] QWidget* MapViewWidget() const;

private:
    class ViewFilter;
    class ResizeFilter;
    void fitView();
    void build();
    void layout();
    void setExtent(const Envelope& extent);
    void showProgress(const gis::ProgressEvent& e);

    qtdesktop::QtDesktop& desktop_;
    gis::GisHost& host_;
    std::shared_ptr<MapPicture> picture_;
    ICommand& command_;
    QObject context_;
    QToolBar* toolbar_ = nullptr;
    QTreeWidget* layers_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QAction* commandAction_ = nullptr;
    std::unique_ptr<ViewFilter> filter_;
    std::unique_ptr<ResizeFilter> resize_;
    bool refreshingLayers_ = false;
    int reserveBelowLayers_ = 0;
    int progressUpdates_ = 0;
};

} // namespace scribeline::frontend
