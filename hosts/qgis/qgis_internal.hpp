// The objects behind the QGIS host's port handles. Internal to hosts/qgis.
//
// One QgsVectorLayer per feature class: QGIS layers keep their edits in a per-layer buffer, so
// two layers on one file would not see each other's features. A class adopts the project's
// layer on its file when there is one, or makes its own, which moves into the project when the
// core adds the class as a layer.
#pragma once

#include "command/map_port.hpp"
#include "hosts/gis/geometry_engine.hpp"
#include "hosts/gis/spatial_reference.hpp"
#include "hosts/qgis/qgis_host.hpp"

#include <QPointer>
#include <QProgressBar>
#include <qgscoordinatereferencesystem.h>
#include <qgsfeature.h>
#include <qgsgeometry.h>
#include <qgslayertreegroup.h>
#include <qgsmapcanvas.h>
#include <qgsmapcanvasitem.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline::qgis {

class FeatureClass;
class FeatureLayer;

// Screen-display drawings and graphic line elements, drawn as one canvas item.
class DrawingItem final : public QgsMapCanvasItem {
public:
    explicit DrawingItem(QgsMapCanvas* canvas);
    void paint(QPainter* painter) override;
    void updatePosition() override;
    void Changed();

    struct Drawn {
        Geometry geometry;
        Symbol symbol;
    };
    std::vector<Drawn> drawings; // cleared by a refresh
    std::vector<Drawn> elements; // cleared by DeleteAllElements
};

struct QgisHost::State {
    QPointer<QMainWindow> mainWindow;
    QPointer<QgsMapCanvas> canvas;
    QPointer<QgsProject> project;
    QPointer<QStatusBar> statusBar;
    QPointer<QProgressBar> progressBar;
    DrawingItem* drawing = nullptr; // owned by the canvas's scene

    gis::SpatialReferenceFactory references;
    gis::GeometryEngine engine;

    // The folder of the edit session; empty when not editing.
    std::string editFolder;
    // Classes with a layer in edit mode: kept alive until the session ends.
    std::vector<std::shared_ptr<FeatureClass>> editing;
    // One class per file (the lower-case absolute .shp path).
    std::map<std::string, std::weak_ptr<FeatureClass>> classes;
    // One port layer per QGIS layer or layer-tree group.
    std::map<const void*, std::weak_ptr<ILayer>> layers;
    std::optional<int> distanceUnits;
    int refreshes = 0;

    QgsMapCanvas& Canvas(const std::string& operation);
    QgsProject& Project(const std::string& operation);
    // The port handle of a layer-tree node (a group or a layer); null for unknown kinds.
    std::shared_ptr<ILayer> Wrap(QgsLayerTreeNode* node, const std::shared_ptr<State>& self);
    std::shared_ptr<ILayer> WrapLayer(QgsMapLayer* layer, const std::shared_ptr<State>& self);
    static const void* Identity(ILayer& layer);
};

using State = QgisHost::State;

// ---- conversions (qgis_data.cpp) -----------------------------------------------------------

QgsCoordinateReferenceSystem ToQgis(const ISpatialReference& reference);
// An unknown reference for an invalid CRS.
std::shared_ptr<gis::SpatialReference> FromQgis(const QgsCoordinateReferenceSystem& crs);
QgsGeometry ToQgis(const Geometry& geometry);
Geometry FromQgis(const QgsGeometry& geometry, GeometryType fallback,
                  std::shared_ptr<ISpatialReference> reference);
std::string Text(const QString& s);
QString Qt(const std::string& s);
// Host unit codes of QGIS distance units and back (nullopt: QGIS has no such unit).
int UnitCode(QgsUnitTypes::DistanceUnit unit);
std::optional<QgsUnitTypes::DistanceUnit> QgisUnit(int code);

// ---- data (qgis_data.cpp) ------------------------------------------------------------------

class Workspace final : public IFeatureWorkspace {
public:
    Workspace(std::shared_ptr<State> state, std::filesystem::path folder)
        : state_(std::move(state)), folder_(std::move(folder)) {}
    [[nodiscard]] std::string PathName() const override { return folder_.string(); }
    // A shapefile written with QgsVectorFileWriter (UTF-8), with the GDAL host's field widths.
    std::shared_ptr<IFeatureClass> CreateFeatureClass(const std::string& name, const Fields& fields,
                                                      const std::string& shapeFieldName,
                                                      const std::string& configKeyword) override;
    std::shared_ptr<IFeatureClass> OpenFeatureClass(const std::string& name) override;
    [[nodiscard]] const std::filesystem::path& Folder() const { return folder_; }

private:
    std::shared_ptr<State> state_;
    std::filesystem::path folder_;
};

class Feature final : public IFeature {
public:
    Feature(std::shared_ptr<FeatureClass> owner, QgsFeatureId id, bool stored, Geometry shape,
            std::vector<FieldValue> values);
    [[nodiscard]] std::int64_t OID() const override { return stored_ ? id_ : -1; }
    [[nodiscard]] Geometry Shape() const override;
    void SetShape(const Geometry& shape) override;
    [[nodiscard]] FieldValue Value(int index) const override;
    void SetValue(int index, const FieldValue& value) override;
    [[nodiscard]] Fields GetFields() const override;
    void Store() override;

private:
    friend class FeatureClass;
    std::shared_ptr<FeatureClass> owner_;
    QgsFeatureId id_;
    bool stored_;
    Geometry shape_;
    std::vector<FieldValue> values_; // attribute fields (host index - 2)
};

class FeatureClass final : public IFeatureClass, public std::enable_shared_from_this<FeatureClass> {
public:
    // The class of the shapefile `shp`: the one already open, else over the project's layer on
    // the file, else over a new layer. Raises PortError when QGIS cannot open it.
    static std::shared_ptr<FeatureClass> Open(const std::shared_ptr<State>& state,
                                              const std::filesystem::path& shp);
    // The class over a layer of the project (any OGR source).
    static std::shared_ptr<FeatureClass> ForLayer(const std::shared_ptr<State>& state,
                                                  QgsVectorLayer* layer);
    ~FeatureClass() override;
    FeatureClass(const FeatureClass&) = delete;
    FeatureClass& operator=(const FeatureClass&) = delete;

    [[nodiscard]] std::string AliasName() const override { return name_; }
    [[nodiscard]] GeometryType ShapeType() const override { return shapeType_; }
    [[nodiscard]] int FeatureType() const override { return kFeatureTypeSimple; }
    [[nodiscard]] bool HasZ() const override { return hasZ_; }
    [[nodiscard]] Fields GetFields() const override { return fields_; }
    std::int64_t FeatureCount(const QueryFilter* filter) override;
    std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool recycling) override;
    std::shared_ptr<IFeature> CreateFeature() override;
    std::shared_ptr<ISpatialReference> SpatialReference() override { return reference_; }
    bool CanAlterSpatialReference() override;
    // Writes the reference as an ESRI .prj beside the shapefile and reloads the layer.
    void AlterSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override;
    std::shared_ptr<IWorkspace> Workspace() override;

    // ---- host side ----
    // The layer; raises PortError(operation) when the project deleted it.
    QgsVectorLayer& Layer(const std::string& operation);
    [[nodiscard]] QgsVectorLayer* LayerOrNull() const { return layer_.data(); }
    // The layer, now owned by the project (added to its registry when it is not yet there).
    QgsVectorLayer& AddToProject(QgsProject& project, const std::string& operation);
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // Puts the layer in edit mode when an edit session on its folder is open.
    void JoinEditSession(const std::string& operation);
    void StoreFeature(Feature& feature);
    // Features matching `where` (empty: all) among `request`'s, in id order.
    std::vector<std::shared_ptr<IFeature>>
    Features(const std::string& where, QgsFeatureRequest request, const std::string& operation);
    std::shared_ptr<Feature> MakeFeature(const QgsFeature& feature);

private:
    FeatureClass() = default;
    void readSchema(QgsVectorLayer& layer);

    std::shared_ptr<State> state_;
    std::filesystem::path path_;
    std::string name_;
    QPointer<QgsVectorLayer> layer_;
    std::unique_ptr<QgsVectorLayer> owned_; // until the project takes the layer
    Fields fields_;
    GeometryType shapeType_ = GeometryType::Null;
    bool hasZ_ = false;
    std::shared_ptr<gis::SpatialReference> reference_;
};

// Checks an OGR-style where clause against the fields QGIS evaluates it with; raises
// PortError(operation) when it cannot be parsed or names a missing field.
void CheckWhereClause(const std::string& where, const QgsFields& fields,
                      const std::string& operation);

} // namespace scribeline::qgis
