// Workspaces, feature classes and features over QGIS vector layers, and the conversions
// between the port's values and QGIS's.
#include "hosts/gis/field_mapping.hpp"
#include "hosts/gis/geometry_convert.hpp"
#include "hosts/gis/workspace.hpp"
#include "hosts/qgis/qgis_internal.hpp"

#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <qgsexpression.h>
#include <qgsfeatureiterator.h>
#include <qgsfeaturerequest.h>
#include <qgsproviderregistry.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorfilewriter.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <system_error>

namespace scribeline::qgis {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string key(const fs::path& shp) {
    std::error_code ec;
    fs::path absolute = fs::weakly_canonical(fs::absolute(shp), ec);
    return lower((ec ? shp : absolute).string());
}

// The file a layer reads (the OGR provider's path without layer options).
fs::path sourcePath(QgsMapLayer& layer) {
    const QVariantMap parts =
        QgsProviderRegistry::instance()->decodeUri(layer.providerType(), layer.source());
    return fs::path(Text(parts.value(QStringLiteral("path")).toString()));
}

std::optional<fs::path> findShapefile(const fs::path& folder, const std::string& name) {
    const std::string wanted = lower(name + ".shp");
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (lower(entry.path().filename().string()) == wanted) {
            return entry.path();
        }
    }
    return std::nullopt;
}

std::string withoutShp(const std::string& name) {
    if (name.size() > 4 && lower(name.substr(name.size() - 4)) == ".shp") {
        return name.substr(0, name.size() - 4);
    }
    return name;
}

QVariant::Type qtType(OGRFieldType type) {
    switch (type) {
    case OFTInteger:
        return QVariant::Int;
    case OFTInteger64:
        return QVariant::LongLong;
    case OFTReal:
        return QVariant::Double;
    case OFTDate:
        return QVariant::Date;
    default:
        return QVariant::String;
    }
}

OGRFieldType ogrType(const QgsField& field) {
    switch (field.type()) {
    case QVariant::Int:
        return OFTInteger;
    case QVariant::LongLong:
        return OFTInteger64;
    case QVariant::Double:
        return OFTReal;
    case QVariant::Date:
        return OFTDate;
    default:
        return OFTString;
    }
}

// The host field of a QGIS field, by the GDAL host's width rules.
Field hostField(const QgsField& field, bool dbase) {
    const std::string name = Text(field.name());
    OGRFieldDefn definition(name.c_str(), ogrType(field));
    definition.SetWidth(std::max(field.length(), 0));
    definition.SetPrecision(std::max(field.precision(), 0));
    if (field.type() == QVariant::Double && field.length() <= 0) {
        definition.SetWidth(24);
        definition.SetPrecision(15);
    }
    return gis::FieldFromOgr(definition, dbase);
}

QVariant toVariant(const FieldValue& value, const Field& field) {
    if (std::holds_alternative<std::monostate>(value)) {
        return {};
    }
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        return QVariant(static_cast<qlonglong>(*i));
    }
    if (const auto* d = std::get_if<double>(&value)) {
        return QVariant(*d);
    }
    const QString text = Qt(std::get<std::string>(value));
    if (field.type == FieldType::Date) {
        return QVariant(QDate::fromString(text, ::Qt::ISODate));
    }
    return QVariant(text);
}

FieldValue fromVariant(const QVariant& value, const Field& field) {
    if (value.isNull() || !value.isValid()) {
        return {};
    }
    switch (field.type) {
    case FieldType::SmallInteger:
    case FieldType::Integer:
    case FieldType::OID:
        return FieldValue{static_cast<std::int64_t>(value.toLongLong())};
    case FieldType::Single:
    case FieldType::Double:
        return FieldValue{value.toDouble()};
    case FieldType::Date:
        return FieldValue{Text(value.toDate().toString(::Qt::ISODate))};
    default:
        return FieldValue{Text(value.toString())};
    }
}

GeometryType hostType(QgsWkbTypes::Type type) {
    switch (QgsWkbTypes::geometryType(type)) {
    case QgsWkbTypes::PointGeometry:
        return QgsWkbTypes::isMultiType(type) ? GeometryType::Multipoint : GeometryType::Point;
    case QgsWkbTypes::LineGeometry:
        return GeometryType::Polyline;
    case QgsWkbTypes::PolygonGeometry:
        return GeometryType::Polygon;
    default:
        return GeometryType::Null;
    }
}

QgsWkbTypes::Type qgisType(const GeometryDef& def) {
    QgsWkbTypes::Type type = QgsWkbTypes::Unknown;
    switch (def.geometryType) {
    case GeometryType::Point:
        type = QgsWkbTypes::Point;
        break;
    case GeometryType::Multipoint:
        type = QgsWkbTypes::MultiPoint;
        break;
    case GeometryType::Polyline:
        type = QgsWkbTypes::LineString;
        break;
    case GeometryType::Polygon:
        type = QgsWkbTypes::Polygon;
        break;
    default:
        throw PortError("CreateFeatureClass",
                        "geometry type " + std::to_string(static_cast<int>(def.geometryType)) +
                            " cannot be stored in a feature class here");
    }
    return def.hasZ ? QgsWkbTypes::addZ(type) : type;
}

class ListCursor final : public IFeatureCursor {
public:
    explicit ListCursor(std::vector<std::shared_ptr<IFeature>> features)
        : features_(std::move(features)) {}
    std::shared_ptr<IFeature> NextFeature() override {
        return next_ < features_.size() ? features_[next_++] : nullptr;
    }

private:
    std::vector<std::shared_ptr<IFeature>> features_;
    std::size_t next_ = 0;
};

std::string joined(const QStringList& messages) {
    return Text(messages.join(QStringLiteral("; ")));
}

} // namespace

// ---- conversions -------------------------------------------------------------------------------

std::string Text(const QString& s) {
    return s.toStdString();
}

QString Qt(const std::string& s) {
    return QString::fromStdString(s);
}

QgsCoordinateReferenceSystem ToQgis(const ISpatialReference& reference) {
    const auto shared = gis::SpatialReference::Share(reference);
    if (shared->IsUnknown()) {
        return {};
    }
    if (const int code = shared->FactoryCode(); code > 0) {
        auto crs = QgsCoordinateReferenceSystem::fromEpsgId(code);
        if (crs.isValid()) {
            return crs;
        }
    }
    return QgsCoordinateReferenceSystem::fromWkt(Qt(shared->Definition()));
}

std::shared_ptr<gis::SpatialReference> FromQgis(const QgsCoordinateReferenceSystem& crs) {
    if (!crs.isValid()) {
        return std::make_shared<gis::SpatialReference>();
    }
    const QString authid = crs.authid();
    if (authid.startsWith(QStringLiteral("EPSG:"), ::Qt::CaseInsensitive)) {
        try {
            return gis::SpatialReference::FromEpsg(authid.mid(5).toInt());
        } catch (const PortError&) {
            // not in PROJ's database: the definition below still is
        }
    }
    return gis::SpatialReference::FromUserInput(
        Text(crs.toWkt(QgsCoordinateReferenceSystem::WKT_PREFERRED)));
}

QgsGeometry ToQgis(const Geometry& geometry) {
    gis::OgrGeometryPtr ogr = gis::ToOgr(geometry);
    if (!ogr) {
        return {};
    }
    QByteArray wkb(static_cast<int>(ogr->WkbSize()), '\0');
    ogr->exportToWkb(wkbNDR, reinterpret_cast<unsigned char*>(wkb.data()), wkbVariantIso);
    QgsGeometry out;
    out.fromWkb(wkb);
    return out;
}

Geometry FromQgis(const QgsGeometry& geometry, GeometryType fallback,
                  std::shared_ptr<ISpatialReference> reference) {
    if (geometry.isNull()) {
        Geometry g = Geometry::empty(fallback);
        g.spatialReference = std::move(reference);
        return g;
    }
    const QByteArray wkb = geometry.asWkb();
    OGRGeometry* raw = nullptr;
    OGRGeometryFactory::createFromWkb(wkb.constData(), nullptr, &raw,
                                      static_cast<std::size_t>(wkb.size()), wkbVariantIso);
    gis::OgrGeometryPtr ogr(raw);
    Geometry g = gis::FromOgr(ogr.get(), fallback, std::move(reference));
    if (g.type == GeometryType::Null) {
        g.type = fallback;
    }
    // A polygon or point class hands out its own kind, as the GDAL host does.
    if (fallback == GeometryType::Polygon || fallback == GeometryType::Polyline) {
        g.type = fallback;
    }
    return g;
}

int UnitCode(QgsUnitTypes::DistanceUnit unit) {
    switch (unit) {
    case QgsUnitTypes::DistanceFeet:
        return 3;
    case QgsUnitTypes::DistanceYards:
        return 4;
    case QgsUnitTypes::DistanceMiles:
        return 5;
    case QgsUnitTypes::DistanceNauticalMiles:
        return 6;
    case QgsUnitTypes::DistanceMillimeters:
        return 7;
    case QgsUnitTypes::DistanceCentimeters:
        return 8;
    case QgsUnitTypes::DistanceMeters:
        return 9;
    case QgsUnitTypes::DistanceKilometers:
        return 10;
    case QgsUnitTypes::DistanceDegrees:
        return 11;
    default:
        return 0;
    }
}

std::optional<QgsUnitTypes::DistanceUnit> QgisUnit(int code) {
    for (auto unit :
         {QgsUnitTypes::DistanceFeet, QgsUnitTypes::DistanceYards, QgsUnitTypes::DistanceMiles,
          QgsUnitTypes::DistanceNauticalMiles, QgsUnitTypes::DistanceMillimeters,
          QgsUnitTypes::DistanceCentimeters, QgsUnitTypes::DistanceMeters,
          QgsUnitTypes::DistanceKilometers, QgsUnitTypes::DistanceDegrees}) {
        if (UnitCode(unit) == code) {
            return unit;
        }
    }
    return std::nullopt;
}

void CheckWhereClause(const std::string& where, const QgsFields& fields,
                      const std::string& operation) {
    QgsExpression expression(Qt(where));
    if (expression.hasParserError()) {
        throw PortError(operation, "the where clause \"" + where +
                                       "\" is not valid: " + Text(expression.parserErrorString()));
    }
    for (const QString& column : expression.referencedColumns()) {
        if (column != QgsFeatureRequest::ALL_ATTRIBUTES && fields.lookupField(column) < 0) {
            throw PortError(operation, "the where clause \"" + where + "\" names no field \"" +
                                           Text(column) + "\"");
        }
    }
}

// ---- workspace ---------------------------------------------------------------------------------

std::shared_ptr<IFeatureClass> Workspace::CreateFeatureClass(const std::string& requested,
                                                             const Fields& fields,
                                                             const std::string& shapeFieldName,
                                                             const std::string& /*configKeyword*/) {
    const std::string name = withoutShp(requested);
    if (name.empty() || name.find_first_of("/\\:*?\"<>|") != std::string::npos) {
        throw PortError("CreateFeatureClass", "\"" + requested + "\" is not a valid class name");
    }
    if (findShapefile(folder_, name)) {
        throw PortError("CreateFeatureClass", "a feature class named \"" + name +
                                                  "\" already exists in " + folder_.string());
    }
    const Field* shape = nullptr;
    QgsFields qgsFields;
    std::set<std::string> seen;
    for (const auto& f : fields.fields) {
        if (f.type == FieldType::OID) {
            continue; // the store makes its own
        }
        if (!seen.insert(lower(f.name)).second) {
            throw PortError("CreateFeatureClass", "the field name \"" + f.name + "\" is repeated");
        }
        if (f.type == FieldType::Geometry) {
            if (shape != nullptr) {
                throw PortError("CreateFeatureClass", "more than one geometry field");
            }
            shape = &f;
            continue;
        }
        // The GDAL host's widths, so that both hosts write the same table.
        const auto definition = gis::OgrFieldFor(f, true);
        int width = definition->GetWidth();
        // The writer widens a real column with decimals by one (room for the point), which
        // the width here already holds.
        if (definition->GetType() == OFTReal && definition->GetPrecision() > 0 && width > 1) {
            --width;
        }
        qgsFields.append(QgsField(Qt(definition->GetNameRef()), qtType(definition->GetType()),
                                  QString(), width, definition->GetPrecision()));
    }
    if (shape == nullptr || !shape->geometryDef) {
        throw PortError("CreateFeatureClass",
                        "the fields hold no geometry field with a definition");
    }
    if (!shapeFieldName.empty() && lower(shape->name) != lower(shapeFieldName)) {
        throw PortError("CreateFeatureClass", "the geometry field is \"" + shape->name +
                                                  "\", not \"" + shapeFieldName + "\"");
    }
    const QgsWkbTypes::Type type = qgisType(*shape->geometryDef);
    QgsCoordinateReferenceSystem crs;
    if (shape->geometryDef->spatialReference) {
        crs = ToQgis(*shape->geometryDef->spatialReference);
    }
    QgsProject& project = state_->Project("CreateFeatureClass");
    QgsVectorFileWriter::SaveVectorOptions options;
    options.driverName = QStringLiteral("ESRI Shapefile");
    options.fileEncoding = QStringLiteral("UTF-8");
    const fs::path shp = folder_ / (name + ".shp");
    {
        std::unique_ptr<QgsVectorFileWriter> writer(QgsVectorFileWriter::create(
            Qt(shp.string()), qgsFields, type, crs, project.transformContext(), options));
        if (!writer || writer->hasError() != QgsVectorFileWriter::NoError) {
            throw PortError("CreateFeatureClass",
                            "QGIS cannot create " + shp.string() +
                                (writer ? ": " + Text(writer->errorMessage()) : std::string{}));
        }
    } // closing the writer puts the files on disk
    return FeatureClass::Open(state_, shp);
}

std::shared_ptr<IFeatureClass> Workspace::OpenFeatureClass(const std::string& name) {
    const auto shp = findShapefile(folder_, withoutShp(name));
    if (!shp) {
        throw PortError("OpenFeatureClass",
                        "no feature class named \"" + name + "\" in " + folder_.string());
    }
    return FeatureClass::Open(state_, *shp);
}

// ---- feature -----------------------------------------------------------------------------------

Feature::Feature(std::shared_ptr<FeatureClass> owner, QgsFeatureId id, bool stored, Geometry shape,
                 std::vector<FieldValue> values)
    : owner_(std::move(owner)), id_(id), stored_(stored), shape_(std::move(shape)),
      values_(std::move(values)) {}

Geometry Feature::Shape() const {
    Geometry g = shape_;
    if (!g.spatialReference) {
        g.spatialReference = owner_->SpatialReference();
    }
    return g;
}

void Feature::SetShape(const Geometry& shape) {
    const GeometryType classType = owner_->ShapeType();
    const bool fits = classType == GeometryType::Null || shape.type == GeometryType::Null ||
                      classType == shape.type ||
                      (classType == GeometryType::Multipoint && shape.type == GeometryType::Point);
    if (!fits) {
        throw PortError("SetShape",
                        "a geometry of type " + std::to_string(static_cast<int>(shape.type)) +
                            " does not fit the class \"" + owner_->AliasName() +
                            "\" of shape type " + std::to_string(static_cast<int>(classType)));
    }
    shape_ = shape;
}

FieldValue Feature::Value(int index) const {
    if (index == 0) {
        return stored_ ? FieldValue{static_cast<std::int64_t>(id_)} : FieldValue{};
    }
    if (index == 1) {
        throw PortError("Value", "field 1 is the shape; read it with Shape");
    }
    if (index < 0 || static_cast<std::size_t>(index - 2) >= values_.size()) {
        throw PortError("Value", "the class \"" + owner_->AliasName() + "\" has no field " +
                                     std::to_string(index));
    }
    return values_[static_cast<std::size_t>(index - 2)];
}

void Feature::SetValue(int index, const FieldValue& value) {
    if (index == 0 || index == 1) {
        throw PortError("SetValue", index == 0 ? "the object id cannot be set"
                                               : "field 1 is the shape; set it with SetShape");
    }
    if (index < 0 || static_cast<std::size_t>(index - 2) >= values_.size()) {
        throw PortError("SetValue", "the class \"" + owner_->AliasName() + "\" has no field " +
                                        std::to_string(index));
    }
    values_[static_cast<std::size_t>(index - 2)] =
        gis::Coerce(owner_->GetFields().GetField(index), value);
}

Fields Feature::GetFields() const {
    return owner_->GetFields();
}

void Feature::Store() {
    owner_->StoreFeature(*this);
}

// ---- feature class -----------------------------------------------------------------------------

std::shared_ptr<FeatureClass> FeatureClass::Open(const std::shared_ptr<State>& state,
                                                 const fs::path& shp) {
    const std::string k = key(shp);
    if (auto it = state->classes.find(k); it != state->classes.end()) {
        if (auto existing = it->second.lock(); existing && existing->LayerOrNull() != nullptr) {
            return existing;
        }
    }
    // The project's layer on the file, when there is one: its edits are the class's.
    QgsProject& project = state->Project("OpenFeatureClass");
    for (QgsMapLayer* layer : project.mapLayers().values()) {
        auto* vector = qobject_cast<QgsVectorLayer*>(layer);
        if (vector != nullptr && vector->providerType() == QStringLiteral("ogr") &&
            key(sourcePath(*vector)) == k) {
            return ForLayer(state, vector);
        }
    }
    std::shared_ptr<FeatureClass> fc(new FeatureClass);
    fc->state_ = state;
    fc->path_ = shp;
    fc->name_ = shp.stem().string();
    QgsVectorLayer::LayerOptions options(project.transformContext());
    options.loadDefaultStyle = false;
    fc->owned_ = std::make_unique<QgsVectorLayer>(Qt(shp.string()), Qt(fc->name_),
                                                  QStringLiteral("ogr"), options);
    if (!fc->owned_->isValid()) {
        throw PortError("OpenFeatureClass", "QGIS cannot open the shapefile " + shp.string());
    }
    fc->layer_ = fc->owned_.get();
    fc->readSchema(*fc->owned_);
    state->classes[k] = fc;
    fc->JoinEditSession("OpenFeatureClass");
    return fc;
}

std::shared_ptr<FeatureClass> FeatureClass::ForLayer(const std::shared_ptr<State>& state,
                                                     QgsVectorLayer* layer) {
    const fs::path path = sourcePath(*layer);
    const std::string k = key(path);
    if (auto it = state->classes.find(k); it != state->classes.end()) {
        if (auto existing = it->second.lock()) {
            if (existing->LayerOrNull() == layer) {
                return existing;
            }
            // The class's own layer has not joined the project and holds no edits: the
            // project's layer on the file serves the class from now on, so that edits made in
            // QGIS and through the port meet in one buffer.
            if (existing->owned_ && !existing->owned_->isEditable()) {
                existing->layer_ = layer;
                existing->owned_.reset();
                existing->JoinEditSession("OpenFeatureClass");
                return existing;
            }
        }
    }
    std::shared_ptr<FeatureClass> fc(new FeatureClass);
    fc->state_ = state;
    fc->path_ = path;
    fc->name_ = path.stem().string();
    fc->layer_ = layer;
    fc->readSchema(*layer);
    state->classes[k] = fc;
    fc->JoinEditSession("OpenFeatureClass");
    return fc;
}

FeatureClass::~FeatureClass() {
    // A layer of our own in edit mode dies with its unsaved edits: the session kept the class
    // alive while it could still save them.
    if (owned_ && owned_->isEditable()) {
        owned_->rollBack();
    }
}

void FeatureClass::readSchema(QgsVectorLayer& layer) {
    const QgsWkbTypes::Type type = layer.wkbType();
    shapeType_ = hostType(type);
    if (shapeType_ == GeometryType::Null) {
        throw PortError("OpenFeatureClass", "\"" + name_ + "\" is a table, not a feature class");
    }
    hasZ_ = QgsWkbTypes::hasZ(type);
    reference_ = FromQgis(layer.crs());
    fields_ = Fields{};
    fields_.AddField(Field{"FID", FieldType::OID});
    Field shape{"Shape", FieldType::Geometry};
    shape.geometryDef = GeometryDef{shapeType_, hasZ_, reference_};
    fields_.AddField(shape);
    const bool dbase = lower(path_.extension().string()) == ".shp";
    const QgsFields fields = layer.fields();
    for (int i = 0; i < fields.count(); ++i) {
        fields_.AddField(hostField(fields.at(i), dbase));
    }
}

QgsVectorLayer& FeatureClass::Layer(const std::string& operation) {
    if (layer_.isNull()) {
        throw PortError(operation, "the layer \"" + name_ + "\" was removed from the project");
    }
    return *layer_;
}

QgsVectorLayer& FeatureClass::AddToProject(QgsProject& project, const std::string& operation) {
    QgsVectorLayer& layer = Layer(operation);
    if (project.mapLayer(layer.id()) == nullptr) {
        if (project.addMapLayer(&layer, false) == nullptr) {
            throw PortError(operation, "QGIS refused the layer \"" + name_ + "\"");
        }
        (void)owned_.release(); // the project owns it now
    }
    return layer;
}

void FeatureClass::JoinEditSession(const std::string& operation) {
    if (state_->editFolder.empty() || key(path_.parent_path()) != state_->editFolder) {
        return;
    }
    QgsVectorLayer& layer = Layer(operation);
    if (!layer.isEditable() && !layer.startEditing()) {
        throw PortError(operation, "QGIS cannot edit \"" + name_ + "\"");
    }
    auto self = shared_from_this();
    if (std::find(state_->editing.begin(), state_->editing.end(), self) == state_->editing.end()) {
        state_->editing.push_back(self);
    }
}

std::shared_ptr<Feature> FeatureClass::MakeFeature(const QgsFeature& feature) {
    std::vector<FieldValue> values;
    const QgsAttributes attributes = feature.attributes();
    for (int i = 0; i + 2 < fields_.FieldCount(); ++i) {
        values.push_back(i < attributes.size()
                             ? fromVariant(attributes.at(i), fields_.GetField(i + 2))
                             : FieldValue{});
    }
    return std::make_shared<Feature>(shared_from_this(), feature.id(), true,
                                     FromQgis(feature.geometry(), shapeType_, reference_),
                                     std::move(values));
}

std::vector<std::shared_ptr<IFeature>> FeatureClass::Features(const std::string& where,
                                                              QgsFeatureRequest request,
                                                              const std::string& operation) {
    QgsVectorLayer& layer = Layer(operation);
    if (!where.empty()) {
        CheckWhereClause(where, layer.fields(), operation);
        request.setFilterExpression(Qt(where));
    }
    std::vector<QgsFeature> found;
    QgsFeatureIterator it = layer.getFeatures(request);
    QgsFeature feature;
    while (it.nextFeature(feature)) {
        found.push_back(feature);
    }
    // Stored features first in file order, then the session's new ones as they were added.
    std::stable_sort(found.begin(), found.end(), [](const QgsFeature& a, const QgsFeature& b) {
        const bool aNew = a.id() < 0;
        const bool bNew = b.id() < 0;
        if (aNew != bNew) {
            return bNew;
        }
        return aNew ? a.id() > b.id() : a.id() < b.id();
    });
    std::vector<std::shared_ptr<IFeature>> out;
    out.reserve(found.size());
    for (const auto& f : found) {
        out.push_back(MakeFeature(f));
    }
    return out;
}

std::int64_t FeatureClass::FeatureCount(const QueryFilter* filter) {
    QgsVectorLayer& layer = Layer("FeatureCount");
    if (filter == nullptr || filter->WhereClause.empty()) {
        return static_cast<std::int64_t>(layer.featureCount());
    }
    CheckWhereClause(filter->WhereClause, layer.fields(), "FeatureCount");
    QgsFeatureRequest request;
    request.setFilterExpression(Qt(filter->WhereClause));
    request.setFlags(QgsFeatureRequest::NoGeometry);
    std::int64_t count = 0;
    QgsFeatureIterator it = layer.getFeatures(request);
    QgsFeature feature;
    while (it.nextFeature(feature)) {
        ++count;
    }
    return count;
}

std::unique_ptr<IFeatureCursor> FeatureClass::Search(const QueryFilter* filter,
                                                     bool /*recycling*/) {
    return std::make_unique<ListCursor>(Features(
        filter != nullptr ? filter->WhereClause : std::string{}, QgsFeatureRequest{}, "Search"));
}

std::shared_ptr<IFeature> FeatureClass::CreateFeature() {
    Layer("CreateFeature");
    Geometry shape = Geometry::empty(shapeType_);
    shape.zAware = hasZ_;
    return std::make_shared<Feature>(
        shared_from_this(), FID_NULL, false, std::move(shape),
        std::vector<FieldValue>(static_cast<std::size_t>(fields_.FieldCount() - 2)));
}

void FeatureClass::StoreFeature(Feature& feature) {
    QgsVectorLayer& layer = Layer("Store");
    JoinEditSession("Store");
    QgsFeature out(layer.fields());
    if (!feature.shape_.IsEmpty()) {
        out.setGeometry(ToQgis(feature.shape_));
    }
    QgsAttributes attributes(layer.fields().count());
    for (std::size_t i = 0;
         i < feature.values_.size() && i < static_cast<std::size_t>(attributes.size()); ++i) {
        attributes[static_cast<int>(i)] =
            toVariant(feature.values_[i], fields_.GetField(static_cast<int>(i) + 2));
    }
    out.setAttributes(attributes);
    if (layer.isEditable()) {
        // Inside an edit session: the layer's edit buffer, committed when the session is saved.
        if (feature.stored_) {
            out.setId(feature.id_);
            QgsGeometry geometry = out.geometry();
            if (!layer.changeGeometry(feature.id_, geometry)) {
                throw PortError("Store", "QGIS refused the shape of \"" + name_ + "\"");
            }
            for (int i = 0; i < attributes.size(); ++i) {
                layer.changeAttributeValue(feature.id_, i, attributes.at(i));
            }
        } else if (!layer.addFeature(out)) {
            throw PortError("Store", "QGIS refused a new feature of \"" + name_ + "\"");
        }
        layer.triggerRepaint();
    } else {
        // Outside one (the terrain commands): straight through the provider.
        QgsVectorDataProvider* provider = layer.dataProvider();
        if (provider == nullptr) {
            throw PortError("Store", "the layer \"" + name_ + "\" has no data provider");
        }
        bool ok = false;
        if (feature.stored_) {
            QgsGeometryMap geometries;
            geometries.insert(feature.id_, out.geometry());
            QgsChangedAttributesMap changes;
            QgsAttributeMap map;
            for (int i = 0; i < attributes.size(); ++i) {
                map.insert(i, attributes.at(i));
            }
            changes.insert(feature.id_, map);
            ok = provider->changeGeometryValues(geometries) &&
                 provider->changeAttributeValues(changes);
            out.setId(feature.id_);
        } else {
            QgsFeatureList list{out};
            ok = provider->addFeatures(list);
            if (ok) {
                out.setId(list.first().id());
            }
        }
        if (!ok) {
            throw PortError("Store", "QGIS cannot write to \"" + name_ +
                                         "\": " + joined(provider->errors()));
        }
        layer.updateExtents();
        layer.triggerRepaint();
    }
    feature.id_ = out.id();
    feature.stored_ = true;
}

bool FeatureClass::CanAlterSpatialReference() {
    return lower(path_.extension().string()) == ".shp" &&
           !Layer("CanAlterSpatialReference").isEditable();
}

void FeatureClass::AlterSpatialReference(const std::shared_ptr<ISpatialReference>& reference) {
    QgsVectorLayer& layer = Layer("AlterSpatialReference");
    if (!reference) {
        throw PortError("AlterSpatialReference", "no reference given");
    }
    if (!CanAlterSpatialReference()) {
        throw PortError("AlterSpatialReference",
                        "the reference of \"" + name_ + "\" cannot be changed now");
    }
    const auto shared = gis::SpatialReference::Share(*reference);
    fs::path prj = path_;
    prj.replace_extension(".prj");
    gis::WriteFileAtomically(prj, shared->EsriWkt());
    layer.setCrs(ToQgis(*shared));
    layer.reload();
    readSchema(layer);
    reference_ = shared;
    fields_.fields[1].geometryDef->spatialReference = shared;
}

std::shared_ptr<IWorkspace> FeatureClass::Workspace() {
    return std::make_shared<qgis::Workspace>(state_, path_.parent_path());
}

} // namespace scribeline::qgis
