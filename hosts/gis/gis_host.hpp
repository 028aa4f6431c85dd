// The map host: a desktop-GIS application over GDAL/OGR, PROJ and GEOS behind the map host
// port. One application has a main window registered with the desktop (with a map view child
// of class "AfxFrameOrView70u" and an empty title), one document with one map, a data view and
// a page layout, the editor extension, a status bar progressor, and the factories of the
// objects the core makes itself.
//
// Beyond the port it offers what a session runner and tests need: opening data as layers,
// project files, the embedded default map, rendering of the map view, and records of what the
// core asked for (refreshes, drawings, progress).
#pragma once

#include "command/map_port.hpp"
#include "hosts/gis/editor.hpp"
#include "hosts/gis/geometry_engine.hpp"
#include "hosts/gis/layers.hpp"
#include "hosts/gis/map.hpp"
#include "hosts/gis/render.hpp"
#include "hosts/gis/spatial_reference.hpp"
#include "hosts/gis/workspace.hpp"
#include "platform/desktop.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scribeline::gis {

inline constexpr const char* kMapViewClass = "AfxFrameOrView70u";
inline constexpr const char* kMainWindowClass = "ScribelineMapHost";
inline constexpr const char* kEditorClsid = "esriCore.Editor";
// Where Debian's qgis-common installs the Natural Earth world map.
inline constexpr const char* kWorldMapSource = "/usr/share/qgis/resources/data/world_map.gpkg";

// One record of the status bar's step progressor.
struct ProgressEvent {
    enum class Kind { Show, SetPosition, Step, Hide };
    Kind kind = Kind::Show;
    int position = 0; // the position after the event
};

class StepProgressor final : public IStepProgressor {
public:
    void Show() override;
    void SetPosition(int position) override;
    // Advances the position by one.
    void Step() override;
    void Hide() override;

    [[nodiscard]] bool Visible() const { return visible_; }
    [[nodiscard]] int Position() const { return position_; }
    [[nodiscard]] const std::vector<ProgressEvent>& Events() const { return events_; }
    void ClearEvents() { events_.clear(); }
    // Called after every event (a window showing the progressor follows it); may be empty.
    std::function<void(const ProgressEvent&)> changed;

private:
    void record(ProgressEvent::Kind kind);

    bool visible_ = false;
    int position_ = 0;
    std::vector<ProgressEvent> events_;
};

class MapObjectFactory final : public IMapObjectFactory {
public:
    explicit MapObjectFactory(WorkspaceRegistry& registry) : shapefiles_(registry) {}
    std::shared_ptr<IFeatureLayer> CreateFeatureLayer() override;
    ISpatialReferenceFactory& SpatialReferenceFactory() override { return references_; }
    IShapefileWorkspaceFactory& ShapefileWorkspaceFactory() override { return shapefiles_; }
    IGeometryEngine& GeometryEngine() override { return engine_; }

private:
    gis::SpatialReferenceFactory references_;
    gis::ShapefileWorkspaceFactory shapefiles_;
    gis::GeometryEngine engine_;
};

struct GisHostOptions {
    // The main window in screen pixels, and the map view in the main window's client pixels.
    Rect mainWindow{0, 0, 1280, 900};
    Rect mapView{240, 64, 1272, 860};
    std::string title = "Untitled - Scribeline Map Host";
    // 100 ArcView, 200 ArcEditor, 300 ArcInfo class.
    int productCode = 200;
    // Hooks into the desktop beyond its port (the headless desktop offers both; see
    // hosts/gis/headless.hpp). Either may be empty.
    // Installs the function that paints the map view window for screen capture.
    std::function<void(WindowHandle, std::function<Bitmap(Size)>)> registerCaptureRenderer;
    // Tells the desktop that the map view repainted (drawing made on it is gone).
    std::function<void(WindowHandle)> repaint;
};

class GisHost final : public IMapApplication {
public:
    // `desktop` is borrowed and must outlive the host. Creates the windows.
    explicit GisHost(IDesktop& desktop, GisHostOptions options = {});
    ~GisHost() override;
    GisHost(const GisHost&) = delete;
    GisHost& operator=(const GisHost&) = delete;

    // ---- IMapApplication ----
    std::shared_ptr<IMxDocument> Document() override { return document_; }
    WindowHandle hWnd() override { return mainWindow_; }
    // The editor for "esriCore.Editor" (any letter case); null for anything else.
    std::shared_ptr<IEditor> FindExtensionByCLSID(const std::string& clsid) override;
    int ProductCode() override { return options_.productCode; }
    IStepProgressor& StepProgressor() override { return progressor_; }
    IMapObjectFactory& Factory() override { return factory_; }

    // ---- host side ----
    [[nodiscard]] WindowHandle MapViewWindow() const { return mapViewWindow_; }
    [[nodiscard]] IDesktop& Desktop() const { return desktop_; }
    [[nodiscard]] const std::shared_ptr<gis::Document>& Doc() const { return document_; }
    [[nodiscard]] gis::Map& FocusMapImpl() const { return *document_->Map(); }
    [[nodiscard]] gis::ActiveView& DataView() const { return *document_->DataView(); }
    [[nodiscard]] gis::Editor& EditorImpl() const { return *editor_; }
    [[nodiscard]] gis::StepProgressor& Progress() { return progressor_; }
    [[nodiscard]] WorkspaceRegistry& Workspaces() { return registry_; }

    // A feature layer on a class of a data source: a shapefile (`path` the .shp), or layer
    // `layerName` of a GeoPackage or other OGR source (empty: its first feature class). The
    // layer is named after the class. Raises PortError when it cannot be opened.
    std::shared_ptr<FeatureLayer> OpenFeatureLayer(const std::filesystem::path& path,
                                                   const std::string& layerName = {});

    // Replaces the map by the project's (see docs/project-file.md); raises PortError for a
    // file that cannot be read or names data that cannot be opened, leaving the map as it was.
    void LoadProject(const std::filesystem::path& file);
    // Writes the map as a project file (atomically). Data paths inside the file's folder are
    // written relative to it.
    void SaveProject(const std::filesystem::path& file);
    // Loads the embedded default map: the Natural Earth world map, copied into
    // `sessionFolder` first (the installed file is read-only and a run may edit it). An
    // existing copy there is used as it is. `source` overrides the installed file.
    void LoadDefaultMap(const std::filesystem::path& sessionFolder,
                        const std::filesystem::path& source = kWorldMapSource);

    // The active view as a picture at the map view window's size (or `size`).
    RgbaImage RenderMapView();
    RgbaImage RenderMapView(Size size);
    void SaveMapViewPng(const std::filesystem::path& file);

private:
    class WindowHandler;
    Size mapViewSize() const;
    void clearMap();

    IDesktop& desktop_;
    GisHostOptions options_;
    WorkspaceRegistry registry_;
    MapObjectFactory factory_;
    gis::StepProgressor progressor_;
    std::shared_ptr<gis::Editor> editor_;
    std::shared_ptr<gis::Document> document_;
    std::unique_ptr<WindowHandler> handler_;
    WindowHandle mainWindow_ = kNoWindow;
    WindowHandle mapViewWindow_ = kNoWindow;
};

} // namespace scribeline::gis
