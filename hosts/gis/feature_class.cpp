#include "hosts/gis/feature_class.hpp"

#include "hosts/gis/field_mapping.hpp"
#include "hosts/gis/geometry_convert.hpp"
#include "hosts/gis/geometry_engine.hpp"
#include "hosts/gis/spatial_reference.hpp"
#include "hosts/gis/workspace.hpp"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <system_error>

namespace scribeline::gis {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The file next to a .shp with the extension `ext` (".dbf"), found whatever its case.
fs::path sibling(const fs::path& shp, const std::string& ext) {
    fs::path candidate = shp;
    candidate.replace_extension(ext);
    std::error_code ec;
    if (fs::exists(candidate, ec)) {
        return candidate;
    }
    const std::string stem = lower(shp.stem().string());
    for (const auto& entry : fs::directory_iterator(shp.parent_path(), ec)) {
        const auto& p = entry.path();
        if (lower(p.stem().string()) == stem && lower(p.extension().string()) == ext) {
            return p;
        }
    }
    return candidate; // where it would be
}

const char* const kShapefileParts[] = {".shp", ".shx", ".dbf", ".prj", ".cpg"};

// Resets a layer's attribute filter however the scope is left.
class FilterScope {
public:
    FilterScope(OGRLayer& layer, const std::string& where, const std::string& operation)
        : layer_(layer) {
        if (where.empty()) {
            return;
        }
        GdalErrorTrap trap;
        if (layer_.SetAttributeFilter(where.c_str()) != OGRERR_NONE) {
            layer_.SetAttributeFilter(nullptr);
            trap.Fail(operation, "the where clause \"" + where + "\" is not valid");
        }
        active_ = true;
    }
    ~FilterScope() {
        if (active_) {
            layer_.SetAttributeFilter(nullptr);
        }
    }
    FilterScope(const FilterScope&) = delete;
    FilterScope& operator=(const FilterScope&) = delete;

private:
    OGRLayer& layer_;
    bool active_ = false;
};

bool fits(GeometryType classType, GeometryType shapeType) {
    if (classType == GeometryType::Null || shapeType == GeometryType::Null) {
        return true;
    }
    if (classType == GeometryType::Multipoint && shapeType == GeometryType::Point) {
        return true;
    }
    return classType == shapeType;
}

class IdCursor final : public IFeatureCursor {
public:
    IdCursor(std::shared_ptr<FeatureClass> owner, std::vector<std::int64_t> ids)
        : owner_(std::move(owner)), ids_(std::move(ids)) {}
    std::shared_ptr<IFeature> NextFeature() override {
        while (next_ < ids_.size()) {
            if (auto feature = owner_->GetFeature(ids_[next_++])) {
                return feature;
            }
        }
        return nullptr;
    }

private:
    std::shared_ptr<FeatureClass> owner_;
    std::vector<std::int64_t> ids_;
    std::size_t next_ = 0;
};

class ListCursor final : public IFeatureCursor {
public:
    explicit ListCursor(std::vector<std::shared_ptr<Feature>> features)
        : features_(std::move(features)) {}
    std::shared_ptr<IFeature> NextFeature() override {
        return next_ < features_.size() ? features_[next_++] : nullptr;
    }

private:
    std::vector<std::shared_ptr<Feature>> features_;
    std::size_t next_ = 0;
};

} // namespace

// ---- Feature ---------------------------------------------------------------------------------

Feature::Feature(std::shared_ptr<FeatureClass> owner, std::int64_t oid, Geometry shape,
                 std::vector<FieldValue> values)
    : owner_(std::move(owner)), oid_(oid), shape_(std::move(shape)), values_(std::move(values)) {}

Geometry Feature::Shape() const {
    Geometry g = shape_;
    if (!g.spatialReference) {
        g.spatialReference = owner_->Reference();
    }
    return g;
}

void Feature::SetShape(const Geometry& shape) {
    if (!fits(owner_->ShapeType(), shape.type)) {
        throw PortError("SetShape", "a geometry of type " +
                                        std::to_string(static_cast<int>(shape.type)) +
                                        " does not fit the class \"" + owner_->AliasName() +
                                        "\" of shape type " +
                                        std::to_string(static_cast<int>(owner_->ShapeType())));
    }
    shape_ = shape;
}

FieldValue Feature::Value(int index) const {
    if (index == 0) {
        return oid_ < 0 ? FieldValue{} : FieldValue{oid_};
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
    const Fields fields = owner_->GetFields();
    values_[static_cast<std::size_t>(index - 2)] = Coerce(fields.GetField(index), value);
}

Fields Feature::GetFields() const {
    return owner_->GetFields();
}

void Feature::Store() {
    owner_->StoreFeature(*this);
}

// ---- FeatureClass ----------------------------------------------------------------------------

std::shared_ptr<FeatureClass>
FeatureClass::OpenShapefile(const std::shared_ptr<gis::Workspace>& workspace,
                            const fs::path& path) {
    std::shared_ptr<FeatureClass> fc(new FeatureClass);
    fc->workspace_ = workspace;
    fc->kind_ = StoreKind::Shapefile;
    fc->path_ = path;
    fc->layerName_ = path.stem().string();
    fc->name_ = fc->layerName_;
    GdalErrorTrap trap;
    fc->original_ = OpenVector(path.string(), false);
    if (!fc->original_ || fc->original_->GetLayerCount() < 1) {
        trap.Fail("OpenFeatureClass", "cannot open the shapefile " + path.string());
    }
    fc->readSchema(*fc->original_->GetLayer(0));
    return fc;
}

std::shared_ptr<FeatureClass>
FeatureClass::OpenLayer(const std::shared_ptr<gis::Workspace>& workspace, GDALDataset* dataset,
                        const std::string& layerName, StoreKind kind) {
    std::shared_ptr<FeatureClass> fc(new FeatureClass);
    fc->workspace_ = workspace;
    fc->kind_ = kind;
    fc->path_ = workspace->Path();
    fc->layerName_ = layerName;
    fc->name_ = layerName;
    fc->shared_ = dataset;
    OGRLayer* layer = dataset->GetLayerByName(layerName.c_str());
    if (layer == nullptr) {
        throw PortError("OpenFeatureClass",
                        "no feature class named \"" + layerName + "\" in " + workspace->PathName());
    }
    fc->readSchema(*layer);
    return fc;
}

FeatureClass::~FeatureClass() {
    // An unsaved working copy dies with its class: nothing of it was committed.
    DropWorkingCopy();
}

void FeatureClass::readSchema(OGRLayer& layer) {
    OGRFeatureDefn* defn = layer.GetLayerDefn();
    layerType_ = layer.GetGeomType();
    if (defn->GetGeomFieldCount() == 0 || layerType_ == wkbNone) {
        throw PortError("OpenFeatureClass", "\"" + name_ + "\" is a table, not a feature class");
    }
    shapeType_ = HostType(layerType_);
    const OGRSpatialReference* srs = layer.GetSpatialRef();
    reference_ = srs != nullptr ? std::make_shared<gis::SpatialReference>(*srs)
                                : std::make_shared<gis::SpatialReference>();
    fields_ = Fields{};
    const char* fid = layer.GetFIDColumn();
    fields_.AddField(Field{fid != nullptr && *fid != '\0' ? fid : "FID", FieldType::OID});
    const char* geometryColumn = layer.GetGeometryColumn();
    Field shape{geometryColumn != nullptr && *geometryColumn != '\0' ? geometryColumn : "Shape",
                FieldType::Geometry};
    shape.geometryDef = GeometryDef{shapeType_, wkbHasZ(layerType_) != 0, reference_};
    fields_.AddField(shape);
    for (int i = 0; i < defn->GetFieldCount(); ++i) {
        fields_.AddField(FieldFromOgr(*defn->GetFieldDefn(i), kind_ == StoreKind::Shapefile));
    }
}

bool FeatureClass::HasZ() const {
    return wkbHasZ(layerType_) != 0;
}

bool FeatureClass::editing() const {
    auto ws = workspace_.lock();
    return ws && ws->IsEditing();
}

std::shared_ptr<gis::Workspace> FeatureClass::workspaceOrFail(const std::string& operation) const {
    auto ws = workspace_.lock();
    if (!ws) {
        throw PortError(operation, "the workspace of \"" + name_ + "\" is gone");
    }
    return ws;
}

OGRLayer& FeatureClass::readLayer() {
    if (kind_ != StoreKind::Shapefile) {
        OGRLayer* layer = shared_->GetLayerByName(layerName_.c_str());
        if (layer == nullptr) {
            throw PortError("FeatureClass", "the layer \"" + layerName_ + "\" is gone");
        }
        return *layer;
    }
    if (!workingShp_.empty()) {
        if (!working_) {
            // Sealed by a save that did not get through: carry on with the same copy.
            GdalErrorTrap trap;
            working_ = OpenVector(workingShp_.string(), true);
            if (!working_) {
                trap.Fail("FeatureClass", "cannot reopen the working copy " + workingShp_.string());
            }
        }
        return *working_->GetLayer(0);
    }
    if (!original_) {
        GdalErrorTrap trap;
        original_ = OpenVector(path_.string(), false);
        originalForUpdate_ = false;
        if (!original_) {
            trap.Fail("FeatureClass", "cannot open the shapefile " + path_.string());
        }
    }
    return *original_->GetLayer(0);
}

OGRLayer& FeatureClass::writeLayer(const std::string& operation) {
    if (kind_ == StoreKind::ReadOnly) {
        throw PortError(operation, "\"" + name_ + "\" comes from a read-only data source");
    }
    if (kind_ == StoreKind::GeoPackage) {
        return readLayer();
    }
    GdalErrorTrap trap;
    if (editing()) {
        if (workingShp_.empty()) {
            const fs::path folder = workspaceOrFail(operation)->EditFolder();
            std::error_code ec;
            fs::create_directories(folder, ec);
            static int copies = 0;
            const fs::path base = folder / (layerName_ + "~" + std::to_string(::getpid()) + "-" +
                                            std::to_string(++copies));
            for (const char* ext : kShapefileParts) {
                const fs::path from = sibling(path_, ext);
                fs::path to = base;
                to += ext;
                if (fs::exists(from, ec)) {
                    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
                    if (ec) {
                        throw PortError(operation,
                                        "cannot copy " + from.string() + ": " + ec.message());
                    }
                }
            }
            workingShp_ = base;
            workingShp_ += ".shp";
            working_ = OpenVector(workingShp_.string(), true);
            if (!working_) {
                DropWorkingCopy();
                trap.Fail(operation, "cannot open the working copy of " + path_.string());
            }
        }
        return readLayer();
    }
    if (!originalForUpdate_) {
        original_.reset();
        original_ = OpenVector(path_.string(), true);
        if (!original_) {
            trap.Fail(operation, "cannot open " + path_.string() + " for writing");
        }
        originalForUpdate_ = true;
    }
    return *original_->GetLayer(0);
}

std::shared_ptr<Feature> FeatureClass::makeFeature(OGRFeature& feature) {
    std::vector<FieldValue> values;
    const int count = feature.GetFieldCount();
    values.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count && i + 2 < fields_.FieldCount(); ++i) {
        values.push_back(ReadValue(feature, i, fields_.GetField(i + 2)));
    }
    Geometry shape = FromOgr(feature.GetGeometryRef(), shapeType_, reference_);
    if (shape.type == GeometryType::Null) {
        shape = Geometry::empty(shapeType_);
        shape.spatialReference = reference_;
    }
    return std::make_shared<Feature>(shared_from_this(), feature.GetFID(), std::move(shape),
                                     std::move(values));
}

std::shared_ptr<Feature> FeatureClass::GetFeature(std::int64_t oid) {
    OGRLayer& layer = readLayer();
    GdalErrorTrap trap; // a missing id is an answer, not an error
    FeaturePtr feature(layer.GetFeature(oid));
    return feature ? makeFeature(*feature) : nullptr;
}

std::vector<std::int64_t> FeatureClass::MatchingIds(const std::string& where,
                                                    const std::string& operation) {
    OGRLayer& layer = readLayer();
    FilterScope scope(layer, where, operation);
    GdalErrorTrap trap;
    std::vector<std::int64_t> ids;
    layer.ResetReading();
    while (FeaturePtr feature{layer.GetNextFeature()}) {
        ids.push_back(feature->GetFID());
    }
    if (!trap.LastError().empty()) {
        trap.Fail(operation, "reading \"" + name_ + "\" failed");
    }
    return ids;
}

void FeatureClass::ForEachFeature(const std::string& where, const Envelope* bounds,
                                  const std::function<void(const Feature&)>& visit) {
    OGRLayer& layer = readLayer();
    FilterScope scope(layer, where, "ForEachFeature");
    struct SpatialScope {
        OGRLayer& layer;
        ~SpatialScope() { layer.SetSpatialFilter(nullptr); }
    } spatial{layer};
    if (bounds != nullptr) {
        layer.SetSpatialFilterRect(bounds->XMin, bounds->YMin, bounds->XMax, bounds->YMax);
    }
    GdalErrorTrap trap;
    layer.ResetReading();
    while (FeaturePtr feature{layer.GetNextFeature()}) {
        visit(*makeFeature(*feature));
    }
}

std::int64_t FeatureClass::FeatureCount(const QueryFilter* filter) {
    const std::string where = filter != nullptr ? filter->WhereClause : std::string{};
    OGRLayer& layer = readLayer();
    FilterScope scope(layer, where, "FeatureCount");
    GdalErrorTrap trap;
    const GIntBig count = layer.GetFeatureCount(TRUE);
    if (count < 0 || !trap.LastError().empty()) {
        trap.Fail("FeatureCount", "counting \"" + name_ + "\" failed");
    }
    return count;
}

std::unique_ptr<IFeatureCursor> FeatureClass::Search(const QueryFilter* filter,
                                                     bool /*recycling*/) {
    const std::string where = filter != nullptr ? filter->WhereClause : std::string{};
    OGRLayer& layer = readLayer();
    if (layer.TestCapability(OLCRandomRead)) {
        return std::make_unique<IdCursor>(shared_from_this(), MatchingIds(where, "Search"));
    }
    // Sources without random access are read in one pass.
    FilterScope scope(layer, where, "Search");
    GdalErrorTrap trap;
    std::vector<std::shared_ptr<Feature>> features;
    layer.ResetReading();
    while (FeaturePtr feature{layer.GetNextFeature()}) {
        features.push_back(makeFeature(*feature));
    }
    return std::make_unique<ListCursor>(std::move(features));
}

std::shared_ptr<IFeature> FeatureClass::CreateFeature() {
    if (kind_ == StoreKind::ReadOnly) {
        throw PortError("CreateFeature", "\"" + name_ + "\" comes from a read-only data source");
    }
    Geometry shape = Geometry::empty(shapeType_);
    std::vector<FieldValue> values(static_cast<std::size_t>(fields_.FieldCount() - 2));
    return std::make_shared<Feature>(shared_from_this(), -1, std::move(shape), std::move(values));
}

void FeatureClass::StoreFeature(Feature& feature) {
    OGRLayer& layer = writeLayer("Store");
    Geometry shape = feature.shape_;
    // A shape in another known reference is projected into the class's, as the host does.
    if (shape.spatialReference && !reference_->IsUnknown() && !shape.IsEmpty()) {
        auto theirs = gis::SpatialReference::Share(*shape.spatialReference);
        if (!theirs->IsUnknown() && !theirs->IsEqual(*reference_)) {
            GeometryEngine engine;
            shape = engine.Project(shape, *reference_);
        }
    }
    GdalErrorTrap trap;
    FeaturePtr ogr(OGRFeature::CreateFeature(layer.GetLayerDefn()));
    if (feature.oid_ >= 0) {
        ogr->SetFID(feature.oid_);
    }
    if (shape.type != GeometryType::Null && !shape.IsEmpty()) {
        ogr->SetGeometryDirectly(FitToLayer(ToOgr(shape), layerType_, "Store").release());
    }
    for (std::size_t i = 0; i < feature.values_.size(); ++i) {
        WriteValue(*ogr, static_cast<int>(i), feature.values_[i]);
    }
    const bool isNew = feature.oid_ < 0;
    const OGRErr err = isNew ? layer.CreateFeature(ogr.get()) : layer.SetFeature(ogr.get());
    if (err != OGRERR_NONE) {
        trap.Fail("Store", "cannot write a feature into \"" + name_ + "\"");
    }
    if (isNew) {
        feature.oid_ = ogr->GetFID();
    }
    if (!editing()) {
        // Outside an edit session every store goes to disk at once.
        layer.SyncToDisk();
    }
}

std::optional<Envelope> FeatureClass::Extent() {
    OGRLayer& layer = readLayer();
    GdalErrorTrap trap;
    OGREnvelope e;
    if (layer.GetFeatureCount(TRUE) <= 0 || layer.GetExtent(&e, TRUE) != OGRERR_NONE) {
        return std::nullopt;
    }
    return Envelope{e.MinX, e.MinY, e.MaxX, e.MaxY};
}

std::shared_ptr<ISpatialReference> FeatureClass::SpatialReference() {
    return reference_;
}

bool FeatureClass::CanAlterSpatialReference() {
    if (kind_ == StoreKind::ReadOnly || editing()) {
        return false;
    }
    if (kind_ == StoreKind::Shapefile) {
        return ::access(path_.parent_path().c_str(), W_OK) == 0;
    }
    return readLayer().TestCapability(OLCAlterGeomFieldDefn) != 0;
}

void FeatureClass::AlterSpatialReference(const std::shared_ptr<ISpatialReference>& reference) {
    if (!CanAlterSpatialReference()) {
        throw PortError("AlterSpatialReference", "the schema of \"" + name_ +
                                                     "\" cannot be changed now" +
                                                     (editing() ? " (it is being edited)" : ""));
    }
    auto wanted = reference ? gis::SpatialReference::Share(*reference)
                            : std::make_shared<gis::SpatialReference>();
    auto copy = wanted->IsUnknown() ? std::make_shared<gis::SpatialReference>()
                                    : std::make_shared<gis::SpatialReference>(wanted->Ogr());
    if (wanted->Domain()) {
        const auto d = *wanted->Domain();
        copy->SetFalseOriginAndUnits(d.falseX, d.falseY, d.xyUnits);
    }
    if (kind_ == StoreKind::Shapefile) {
        const fs::path prj = sibling(path_, ".prj");
        CloseOriginal();
        if (copy->IsUnknown()) {
            std::error_code ec;
            fs::remove(prj, ec);
        } else {
            WriteFileAtomically(prj, copy->EsriWkt());
        }
    } else {
        GdalErrorTrap trap;
        OGRGeomFieldDefn definition("", wkbUnknown);
        definition.SetSpatialRef(
            copy->IsUnknown() ? nullptr : const_cast<OGRSpatialReference*>(&copy->Ogr()));
        if (readLayer().AlterGeomFieldDefn(0, &definition, ALTER_GEOM_FIELD_DEFN_SRS_FLAG) !=
            OGRERR_NONE) {
            trap.Fail("AlterSpatialReference", "cannot change the reference of \"" + name_ + "\"");
        }
    }
    reference_ = copy;
    fields_.fields[1].geometryDef->spatialReference = reference_;
}

std::shared_ptr<IWorkspace> FeatureClass::Workspace() {
    return workspaceOrFail("Workspace");
}

void FeatureClass::SetFeatureType(int featureType) {
    if (featureType != kFeatureTypeSimple && featureType != 11 && featureType != 12) {
        throw PortError("SetFeatureType", "feature type " + std::to_string(featureType) +
                                              " is not simple (1) or annotation (11, 12)");
    }
    featureType_ = featureType;
}

std::vector<std::pair<fs::path, fs::path>> FeatureClass::SealWorkingCopy() {
    std::vector<std::pair<fs::path, fs::path>> renames;
    if (workingShp_.empty()) {
        return renames;
    }
    {
        readLayer(); // reopens a copy sealed by an earlier attempt
        GdalErrorTrap trap;
        if (working_->GetLayer(0)->SyncToDisk() != OGRERR_NONE) {
            trap.Fail("StopEditing", "cannot write the edits of \"" + name_ + "\"");
        }
        working_.reset();
        if (!trap.LastError().empty()) {
            trap.Fail("StopEditing", "cannot write the edits of \"" + name_ + "\"");
        }
    }
    // .shp first and .shx last: the index decides which records a reader sees.
    for (const char* ext : {".shp", ".dbf", ".shx"}) {
        fs::path copy = workingShp_;
        copy.replace_extension(ext);
        SyncPath(copy, "StopEditing");
        renames.emplace_back(copy, sibling(path_, ext));
    }
    return renames;
}

void FeatureClass::CloseOriginal() {
    original_.reset();
    originalForUpdate_ = false;
}

void FeatureClass::DropWorkingCopy() {
    working_.reset();
    if (!workingShp_.empty()) {
        for (const char* ext : kShapefileParts) {
            fs::path file = workingShp_;
            file.replace_extension(ext);
            std::error_code ec;
            fs::remove(file, ec);
        }
        workingShp_.clear();
    }
}

} // namespace scribeline::gis
