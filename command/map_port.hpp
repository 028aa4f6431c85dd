// The map host port: the objects of the desktop GIS the digitizer drives. Geometry crosses as
// plain values; what needs a GIS engine (projection, simplify, rings, length, area) is an
// operation of the host's IGeometryEngine.
//
// Objects are shared handles (std::shared_ptr), like references to the host's objects; a
// returned handle is never null unless the operation documents "null when ...". Every
// operation may raise PortError ("a failed call").
//
// Field indices follow the host's convention: 0 is the object id, 1 the shape, attribute
// fields from 2 on in their order.
//
// What the core relies on beyond the signatures is written at each operation as "Contract:";
// tests/conformance/map_host_conformance.* checks every implementation against it.
#pragma once

#include "platform/types.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace scribeline {

// ---- geometry values ----------------------------------------------------------------------

// Host geometry type codes.
enum class GeometryType : int {
    Null = 0,
    Point = 1,
    Multipoint = 2,
    Polyline = 3,
    Polygon = 4,
    Envelope = 5,
    Path = 6,
    MultiPatch = 9,
    Ring = 11,
};

struct MapPoint {
    double x = 0.0; // longitude or easting
    double y = 0.0; // latitude or northing
    double z = 0.0; // metres; meaningful when the geometry is z-aware
    friend bool operator==(const MapPoint&, const MapPoint&) = default;
};

struct Envelope {
    double XMin = 0.0;
    double YMin = 0.0;
    double XMax = 0.0;
    double YMax = 0.0;
    friend bool operator==(const Envelope&, const Envelope&) = default;
};

class ISpatialReference;

// A geometry value. Parts: a point has one part of one point; a multipoint one part of its
// points; a polyline one part per path; a polygon one part per ring (as stored, before any
// simplify). The point-collection operations work across parts in order and append to the
// last part (creating it when there is none), which is how a feature under construction
// grows.
struct Geometry {
    GeometryType type = GeometryType::Null;
    std::vector<std::vector<MapPoint>> parts;
    bool zAware = false;
    std::shared_ptr<ISpatialReference> spatialReference; // null: not assigned

    static Geometry point(double x, double y, double z = 0.0) {
        Geometry g;
        g.type = GeometryType::Point;
        g.parts = {{MapPoint{x, y, z}}};
        return g;
    }
    static Geometry empty(GeometryType type) {
        Geometry g;
        g.type = type;
        return g;
    }

    [[nodiscard]] bool IsEmpty() const { return PointCount() == 0; }
    [[nodiscard]] int PointCount() const {
        std::size_t n = 0;
        for (const auto& part : parts) {
            n += part.size();
        }
        return static_cast<int>(n);
    }
    // Point i across all parts; raises std::out_of_range when i is not below PointCount().
    [[nodiscard]] const MapPoint& Point(int i) const {
        if (i >= 0) {
            auto index = static_cast<std::size_t>(i);
            for (const auto& part : parts) {
                if (index < part.size()) {
                    return part[index];
                }
                index -= part.size();
            }
        }
        throw std::out_of_range("Geometry::Point index");
    }
    void AddPoint(const MapPoint& p) {
        if (parts.empty()) {
            parts.emplace_back();
        }
        parts.back().push_back(p);
    }
    // Removes `count` points starting at index across parts; empty parts are dropped.
    void RemovePoints(int index, int count) {
        for (int k = 0; k < count; ++k) {
            removeOne(index);
        }
    }
    [[nodiscard]] int PartCount() const { return static_cast<int>(parts.size()); }

private:
    void removeOne(int i) {
        if (i < 0) {
            throw std::out_of_range("Geometry::RemovePoints index");
        }
        auto index = static_cast<std::size_t>(i);
        for (auto it = parts.begin(); it != parts.end(); ++it) {
            if (index < it->size()) {
                it->erase(it->begin() + static_cast<std::ptrdiff_t>(index));
                if (it->empty()) {
                    parts.erase(it);
                }
                return;
            }
            index -= it->size();
        }
        throw std::out_of_range("Geometry::RemovePoints index");
    }
};

// A segment of a path or ring, from one vertex to the next.
struct Segment {
    MapPoint FromPoint;
    MapPoint ToPoint;
};

// ---- spatial references ---------------------------------------------------------------------

class ISpatialReference {
public:
    virtual ~ISpatialReference() = default;
    // "GCS_WGS_1984" for EPSG:4326; "Unknown" for an unknown reference.
    [[nodiscard]] virtual std::string Name() const = 0;
    // EPSG code, 0 when the reference has none.
    [[nodiscard]] virtual int FactoryCode() const = 0;
    [[nodiscard]] virtual bool IsEqual(const ISpatialReference& other) const = 0;
    virtual void SetFalseOriginAndUnits(double falseX, double falseY, double xyUnits) = 0;
};

class ISpatialReferenceFactory {
public:
    virtual ~ISpatialReferenceFactory() = default;
    virtual std::shared_ptr<ISpatialReference> CreateGeographicCoordinateSystem(int code) = 0;
    virtual std::shared_ptr<ISpatialReference> CreateProjectedCoordinateSystem(int code) = 0;
    // A reference whose Name() is "Unknown".
    virtual std::shared_ptr<ISpatialReference> CreateUnknownCoordinateSystem() = 0;
};

// ---- geometry operations (host engine) -------------------------------------------------------

class IGeometryEngine {
public:
    virtual ~IGeometryEngine() = default;
    // Curve length in the units of the coordinates (sum over parts; a polygon's boundary).
    virtual double Length(const Geometry& curve) = 0;
    // Signed area in the squared units of the coordinates.
    virtual double Area(const Geometry& area) = 0;
    // Projects a geometry from its spatialReference to `target`. x is longitude and y is
    // latitude for geographic references. The result carries `target`.
    virtual Geometry Project(const Geometry& geometry, const ISpatialReference& target) = 0;
    // Makes a polygon topologically correct (ring orientation, self-intersections).
    virtual Geometry Simplify(const Geometry& geometry) = 0;
    // Exterior rings of a polygon in the host's order (each a closed point list).
    virtual std::vector<std::vector<MapPoint>> ExteriorRings(const Geometry& polygon) = 0;
    // Interior rings belonging to exterior ring `exteriorIndex` of ExteriorRings().
    virtual std::vector<std::vector<MapPoint>> InteriorRings(const Geometry& polygon,
                                                             int exteriorIndex) = 0;
    // Segments of a path or ring, in order.
    virtual std::vector<Segment> Segments(const std::vector<MapPoint>& pathOrRing) = 0;
};

// ---- fields -----------------------------------------------------------------------------------

// Host field type codes (the window names them with a ten-entry table).
enum class FieldType : int {
    SmallInteger = 0,
    Integer = 1,
    Single = 2,
    Double = 3,
    String = 4,
    Date = 5,
    OID = 6,
    Geometry = 7,
    Blob = 8,
    Raster = 9,
};

struct GeometryDef {
    GeometryType geometryType = GeometryType::Polyline;
    bool hasZ = false;
    std::shared_ptr<ISpatialReference> spatialReference; // null: undefined
};

struct Field {
    std::string name;
    FieldType type = FieldType::String;
    int length = 0;
    int precision = 0;
    int scale = 0;
    std::optional<GeometryDef> geometryDef; // only for FieldType::Geometry
};

// An ordered field list. A class's GetFields() follows the index convention: entry 0 the
// object id, entry 1 the shape, then the attribute fields. The list handed to
// CreateFeatureClass holds the shape and attribute fields only; the store adds the object id.
struct Fields {
    std::vector<Field> fields;
    void AddField(Field f) { fields.push_back(std::move(f)); }
    [[nodiscard]] int FieldCount() const { return static_cast<int>(fields.size()); }
    [[nodiscard]] const Field& GetField(int index) const {
        return fields.at(static_cast<std::size_t>(index));
    }
    // -1 when absent. Names compare case-insensitively, as in the host.
    [[nodiscard]] int FindField(const std::string& name) const;
};

// Dates cross as text "YYYY-MM-DD".
using FieldValue = std::variant<std::monostate, std::int64_t, double, std::string>;

// ---- data access ------------------------------------------------------------------------------

struct QueryFilter {
    std::string WhereClause; // empty: every feature
};

class IFeature {
public:
    virtual ~IFeature() = default;
    // -1 before the first Store. Contract: a feature stored outside an edit session has its
    // final id at once; inside one the id is only meant for this session.
    [[nodiscard]] virtual std::int64_t OID() const = 0;
    // Contract: what was stored reads back with the same x, y and z; polygon rings come back
    // closed, exterior rings clockwise.
    [[nodiscard]] virtual Geometry Shape() const = 0;
    // Raises PortError for a geometry of another kind than the class's.
    virtual void SetShape(const Geometry& shape) = 0;
    // Index by the host convention (0 object id, 1 shape, 2 the first attribute field).
    [[nodiscard]] virtual FieldValue Value(int index) const = 0;
    // Raises PortError for indices 0 and 1, indices past the last field and values the field
    // cannot hold (text longer than the field, text that is no number for a number field).
    virtual void SetValue(int index, const FieldValue& value) = 0;
    [[nodiscard]] virtual Fields GetFields() const = 0;
    // Persists the feature (inside an edit session: durable at StopEditing(true)).
    // Contract: outside an edit session the feature is in the class at once (the terrain
    // commands store that way); inside one the class's searches and counts include it before
    // the session is saved.
    virtual void Store() = 0;
};

class IFeatureCursor {
public:
    virtual ~IFeatureCursor() = default;
    // Null at the end.
    virtual std::shared_ptr<IFeature> NextFeature() = 0;
};

class IWorkspace;

// Host feature type codes: 1 simple; 11 and 12 are annotation types.
inline constexpr int kFeatureTypeSimple = 1;

class IFeatureClass {
public:
    virtual ~IFeatureClass() = default;
    [[nodiscard]] virtual std::string AliasName() const = 0;
    [[nodiscard]] virtual GeometryType ShapeType() const = 0;
    [[nodiscard]] virtual int FeatureType() const = 0;
    [[nodiscard]] virtual bool HasZ() const = 0;
    // Contract: a class created with a field list reads back each attribute field with the
    // same name and type (in a shapefile the type is told by the column width).
    [[nodiscard]] virtual Fields GetFields() const = 0;
    // filter may be null: every feature. Where clauses are OGR SQL; one that names no field
    // of the class or cannot be parsed raises PortError (here and in Search).
    virtual std::int64_t FeatureCount(const QueryFilter* filter) = 0;
    // filter may be null. recycling is accepted for fidelity; cursors never recycle here.
    virtual std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool recycling) = 0;
    virtual std::shared_ptr<IFeature> CreateFeature() = 0;
    // The dataset's reference; a reference named "Unknown" when it has none.
    virtual std::shared_ptr<ISpatialReference> SpatialReference() = 0;
    // Whether the schema allows AlterSpatialReference.
    virtual bool CanAlterSpatialReference() = 0;
    // Contract: a shapefile class gets an ESRI .prj beside it, and reads back the reference.
    virtual void AlterSpatialReference(const std::shared_ptr<ISpatialReference>& reference) = 0;
    virtual std::shared_ptr<IWorkspace> Workspace() = 0;
};

class ISelectionSet {
public:
    virtual ~ISelectionSet() = default;
    virtual std::int64_t Count() = 0;
    // The selected features matching the filter (null: all), in a stable order.
    virtual std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool recycling) = 0;
};

class IWorkspace {
public:
    virtual ~IWorkspace() = default;
    [[nodiscard]] virtual std::string PathName() const = 0;
};

// Contract: every handle on one class (opened twice, or through two layers) sees the features
// stored through the others, in and outside edit sessions.
class IFeatureWorkspace : public IWorkspace {
public:
    // fields must hold one geometry field named shapeFieldName; configKeyword may be empty.
    virtual std::shared_ptr<IFeatureClass> CreateFeatureClass(const std::string& name,
                                                              const Fields& fields,
                                                              const std::string& shapeFieldName,
                                                              const std::string& configKeyword) = 0;
    // Raises PortError when there is no class of that name.
    virtual std::shared_ptr<IFeatureClass> OpenFeatureClass(const std::string& name) = 0;
};

class IShapefileWorkspaceFactory {
public:
    virtual ~IShapefileWorkspaceFactory() = default;
    virtual std::shared_ptr<IFeatureWorkspace> OpenFromFile(const std::string& folder) = 0;
};

// ---- layers -----------------------------------------------------------------------------------

enum class LayerKind { Feature, Group, Other };

class ILayer {
public:
    virtual ~ILayer() = default;
    [[nodiscard]] virtual LayerKind Kind() const = 0;
    [[nodiscard]] virtual std::string Name() const = 0;
    virtual void SetName(const std::string& name) = 0;
    // Null when the layer has no reference.
    virtual std::shared_ptr<ISpatialReference> SpatialReference() = 0;
    virtual void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) = 0;
};

class IFeatureLayer : public ILayer {
public:
    // Null while no class is set.
    virtual std::shared_ptr<IFeatureClass> FeatureClass() = 0;
    virtual void SetFeatureClass(const std::shared_ptr<IFeatureClass>& featureClass) = 0;
    [[nodiscard]] virtual std::string DefinitionExpression() const = 0;
    // An OGR SQL where clause; empty shows every feature. Contract: an expression the host
    // refuses raises PortError and the previous expression stays.
    virtual void SetDefinitionExpression(const std::string& expression) = 0;
    virtual std::shared_ptr<ISelectionSet> SelectionSet() = 0;
};

class IGroupLayer : public ILayer {
public:
    virtual std::vector<std::shared_ptr<ILayer>> Layers() = 0;
    virtual void Add(const std::shared_ptr<ILayer>& layer) = 0;
};

// ---- display ----------------------------------------------------------------------------------

enum class SymbolKind { SimpleMarker, SimpleLine, SimpleFill };

// A drawing symbol. Marker styles: 0 circle, 1 square, 2 cross; line styles: 0 solid;
// fill styles: 0 solid, 1 hollow.
struct Symbol {
    SymbolKind kind = SymbolKind::SimpleLine;
    Colour colour = 0;
    double size = 1.0; // marker size or line width, points
    int style = 0;
    double outlineWidth = 1.0; // fills
    Colour outlineColour = 0;  // fills
};

// Map coordinates <-> device pixels of the map view window's client area.
class IDisplayTransformation {
public:
    virtual ~IDisplayTransformation() = default;
    virtual Envelope VisibleBounds() = 0;
    virtual void SetVisibleBounds(const Envelope& bounds) = 0;
    virtual scribeline::Point FromMapPoint(const MapPoint& point) = 0;
    virtual MapPoint ToMapPoint(scribeline::Point device) = 0;
};

// Contract: drawing calls outside StartDrawing/FinishDrawing and geometries of the wrong kind
// (DrawPoint takes points and multipoints) raise PortError; what was drawn stays until the
// view's next Refresh.
class IScreenDisplay {
public:
    virtual ~IScreenDisplay() = default;
    // cacheId: -2 for "no display cache", the only value the core uses.
    virtual void StartDrawing(int cacheId) = 0;
    virtual void SetSymbol(const Symbol& symbol) = 0;
    virtual void DrawPoint(const Geometry& point) = 0;
    virtual void DrawPolyline(const Geometry& polyline) = 0;
    virtual void DrawPolygon(const Geometry& polygon) = 0;
    virtual void FinishDrawing() = 0;
    virtual IDisplayTransformation& DisplayTransformation() = 0;
};

class IActiveView {
public:
    virtual ~IActiveView() = default;
    // May only schedule the redraw (a real host renders asynchronously).
    virtual void Refresh() = 0;
    // Contract: after SetExtent(e) the extent covers e, is centred on it and matches it in
    // width or height (widened to the window's shape at most); an empty, inverted or
    // non-finite e raises PortError.
    virtual Envelope Extent() = 0;
    virtual void SetExtent(const Envelope& extent) = 0;
    virtual IScreenDisplay& ScreenDisplay() = 0;
    // Graphic elements (the DEM grid preview): lines drawn with a symbol until deleted.
    // Raises PortError for a geometry that is not a polyline.
    virtual void AddLineElement(const Geometry& polyline, const Symbol& symbol) = 0;
    virtual void DeleteAllElements() = 0;
};

// Host unit codes: 0 unknown ... 9 meters, 10 kilometers, 11 decimal degrees, 12 decimeters.
class IMap {
public:
    virtual ~IMap() = default;
    virtual int LayerCount() = 0;
    // Top-level layer i (0 the first).
    virtual std::shared_ptr<ILayer> Layer(int index) = 0;
    // Every layer, group layers and their members included, in the host's order (a group,
    // then its members, recursively).
    virtual std::vector<std::shared_ptr<ILayer>> Layers() = 0;
    // The selected features of every feature layer.
    virtual std::int64_t SelectionCount() = 0;
    // The added layer becomes layer 0. Raises PortError for null.
    virtual void AddLayer(const std::shared_ptr<ILayer>& layer) = 0;
    // Null when the map has none.
    virtual std::shared_ptr<ISpatialReference> SpatialReference() = 0;
    virtual void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) = 0;
    // The unit of the map's reference: 11 for a geographic one, 9 for metres.
    virtual int MapUnits() = 0;
    // Contract: gives the code set last; a code outside 0 .. 12 raises PortError.
    virtual int DistanceUnits() = 0;
    virtual void SetDistanceUnits(int units) = 0;
};

class IMxDocument {
public:
    virtual ~IMxDocument() = default;
    virtual std::shared_ptr<IMap> FocusMap() = 0;
    virtual std::shared_ptr<IActiveView> ActiveView() = 0;
    // True while the active view is the page layout rather than the data view.
    virtual bool ActiveViewIsPageLayout() = 0;
};

// ---- editor and status bar --------------------------------------------------------------------

inline constexpr int kEditStateNotEditing = 0;
inline constexpr int kEditStateEditing = 1;

class IEditor {
public:
    virtual ~IEditor() = default;
    virtual int EditState() = 0;
    // Raises PortError while a session is open.
    virtual void StartEditing(const std::shared_ptr<IWorkspace>& workspace) = 0;
    // save true: every feature stored since StartEditing becomes durable; false: discarded.
    // Raises PortError when no session is open. Contract: when saving fails the session
    // stays open with every stored feature kept, so nothing is lost and it can be retried.
    virtual void StopEditing(bool save) = 0;
};

class IStepProgressor {
public:
    virtual ~IStepProgressor() = default;
    virtual void Show() = 0;
    virtual void SetPosition(int position) = 0;
    virtual void Step() = 0;
    virtual void Hide() = 0;
};

// ---- application ------------------------------------------------------------------------------

// Creates the objects the core makes with "new" on the host's platform.
class IMapObjectFactory {
public:
    virtual ~IMapObjectFactory() = default;
    virtual std::shared_ptr<IFeatureLayer> CreateFeatureLayer() = 0;
    virtual ISpatialReferenceFactory& SpatialReferenceFactory() = 0;
    virtual IShapefileWorkspaceFactory& ShapefileWorkspaceFactory() = 0;
    virtual IGeometryEngine& GeometryEngine() = 0;
};

class IMapApplication {
public:
    virtual ~IMapApplication() = default;
    virtual std::shared_ptr<IMxDocument> Document() = 0;
    // Main window; its child of class "AfxFrameOrView70u" with an empty title is the map view.
    // Contract: the map view's client area is the device of the display transformation
    // (pixel 0,0 its top left corner, y down).
    virtual WindowHandle hWnd() = 0;
    // "esriCore.Editor" gives the editor; null for an unknown identifier.
    virtual std::shared_ptr<IEditor> FindExtensionByCLSID(const std::string& clsid) = 0;
    // 100 ArcView, 200 ArcEditor, 300 ArcInfo class products.
    virtual int ProductCode() = 0;
    virtual IStepProgressor& StepProgressor() = 0;
    virtual IMapObjectFactory& Factory() = 0;
};

inline int Fields::FindField(const std::string& name) const {
    auto lower = [](std::string s) {
        for (auto& c : s) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return s;
    };
    const std::string wanted = lower(name);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (lower(fields[i].name) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace scribeline
