// The map host over QGIS 3.22: the map port driven through a running QGIS (its main window,
// map canvas, project and status bar), so that the digitizer works inside QGIS as it does in
// the GDAL/OGR host.
//
// The host takes the QGIS objects it uses rather than the plugin interface, so tests build it
// from real QGIS objects offscreen. Every object is borrowed and must outlive the host, except
// that the project may delete its layers at any time: an operation on a layer that was removed
// from the project raises PortError naming the layer.
//
// Where QGIS differs from the GDAL host: a feature class's searches and counts see only what
// its layer's definition expression shows (QGIS filters at the data provider; the core applies
// the expression as a where clause anyway); features stored inside an edit session carry
// QGIS's temporary negative ids until the session is saved; vector layers of providers other
// than OGR are listed as layers of another kind.
//
// Reference systems and geometry operations are the GDAL host's (QGIS links the same GDAL, PROJ
// and GEOS), so names, codes and results agree with it to the bit.
//
// Threads: the QGIS user-interface thread only.
#pragma once

#include "command/map_port.hpp"

#include <functional>
#include <memory>
#include <string>

class QMainWindow;
class QStatusBar;
class QWidget;
class QgsMapCanvas;
class QgsProject;
class QgsVectorLayer;

namespace scribeline::qgis {

// Registers a Qt widget as a window of the desktop port, as a child of `parent` (kNoWindow:
// top level), and gives its handle. The Qt desktop's RegisterForeign fits.
using WindowRegistrar = std::function<WindowHandle(QWidget* widget, const std::string& className,
                                                   const std::string& title, WindowHandle parent)>;

// The QGIS objects the host drives. None may be null.
struct QgisParts {
    QMainWindow* mainWindow = nullptr;
    QgsMapCanvas* canvas = nullptr;
    QgsProject* project = nullptr;
    QStatusBar* statusBar = nullptr;
};

// The class and title the core looks for under the main window.
inline constexpr const char* kMapViewClass = "AfxFrameOrView70u";
inline constexpr const char* kMainWindowClass = "QgisApp";

class QgisHost final : public IMapApplication {
public:
    // Registers the main window and the canvas viewport (the map view) through `registrar`,
    // adds a hidden progress bar to the status bar and one drawing item to the canvas.
    // Raises PortError when a part is missing or the registrar gives no window.
    QgisHost(const QgisParts& parts, const WindowRegistrar& registrar, int productCode = 200);
    ~QgisHost() override;
    QgisHost(const QgisHost&) = delete;
    QgisHost& operator=(const QgisHost&) = delete;

    // ---- IMapApplication ----
    std::shared_ptr<IMxDocument> Document() override;
    WindowHandle hWnd() override { return mainWindow_; }
    // The editor for "esriCore.Editor" (any letter case); null for anything else.
    std::shared_ptr<IEditor> FindExtensionByCLSID(const std::string& clsid) override;
    int ProductCode() override { return productCode_; }
    IStepProgressor& StepProgressor() override;
    IMapObjectFactory& Factory() override;

    // ---- host side ----
    [[nodiscard]] WindowHandle MapViewWindow() const { return mapView_; }
    // Refresh only schedules rendering; this waits until the canvas has drawn (before a
    // screen capture of the map view).
    void WaitForRendering();
    // How often the core refreshed the view, and what its screen display holds now.
    [[nodiscard]] int RefreshCount() const;
    [[nodiscard]] std::size_t DrawingCount() const;
    [[nodiscard]] std::size_t ElementCount() const;
    // The progress bar's position and visibility.
    [[nodiscard]] int ProgressPosition() const;
    [[nodiscard]] bool ProgressVisible() const;
    // The QGIS layer behind a feature layer or class of this host; null when it is not one of
    // this host's or its layer is gone.
    static QgsVectorLayer* VectorLayerOf(IFeatureLayer& layer);
    static QgsVectorLayer* VectorLayerOf(IFeatureClass& featureClass);

    struct State; // shared with the host's objects

private:
    struct Handles; // what the host hands out, made once
    std::shared_ptr<State> state_;
    std::unique_ptr<Handles> handles_;
    WindowHandle mainWindow_ = kNoWindow;
    WindowHandle mapView_ = kNoWindow;
    int productCode_ = 200;
};

} // namespace scribeline::qgis
