// Feature classes and features over OGR layers.
//
// A class is one shapefile, or one layer of a GeoPackage or another OGR data source. Features
// follow the host's field convention (0 object id, 1 shape, attributes from 2). Inside an edit
// session of its workspace a shapefile class works on a private copy of its files, which the
// workspace puts in place when the session is saved (see workspace.hpp).
#pragma once

#include "command/map_port.hpp"
#include "hosts/gis/gdal_support.hpp"

#include <ogr_core.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class OGRLayer;

namespace scribeline::gis {

class SpatialReference;
class Workspace;
class FeatureClass;

enum class StoreKind {
    Shapefile,  // a folder of shapefiles, one class per .shp
    GeoPackage, // one .gpkg file, one class per spatial table
    ReadOnly,   // any other OGR vector data source
};

class Feature final : public IFeature {
public:
    // A feature of `owner`; oid -1 for one not stored yet.
    Feature(std::shared_ptr<FeatureClass> owner, std::int64_t oid, Geometry shape,
            std::vector<FieldValue> values);

    // -1 until the first Store of a new feature.
    [[nodiscard]] std::int64_t OID() const override { return oid_; }
    [[nodiscard]] Geometry Shape() const override;
    // Raises PortError when the geometry does not fit the class's shape type.
    void SetShape(const Geometry& shape) override;
    [[nodiscard]] FieldValue Value(int index) const override;
    // Raises PortError for index 0 and 1, indices past the last field and values that do not
    // fit the field (text that is too long, numbers out of range, text that is no number).
    void SetValue(int index, const FieldValue& value) override;
    [[nodiscard]] Fields GetFields() const override;
    void Store() override;

private:
    friend class FeatureClass;
    std::shared_ptr<FeatureClass> owner_;
    std::int64_t oid_;
    Geometry shape_;
    std::vector<FieldValue> values_; // attribute fields only (host index - 2)
};

class FeatureClass final : public IFeatureClass, public std::enable_shared_from_this<FeatureClass> {
public:
    // Opens a shapefile class (`path` the .shp) or the layer `layerName` of `dataset` (a
    // GeoPackage or read-only source whose dataset the workspace owns; borrowed).
    static std::shared_ptr<FeatureClass>
    OpenShapefile(const std::shared_ptr<gis::Workspace>& workspace,
                  const std::filesystem::path& path);
    static std::shared_ptr<FeatureClass> OpenLayer(const std::shared_ptr<gis::Workspace>& workspace,
                                                   GDALDataset* dataset,
                                                   const std::string& layerName, StoreKind kind);
    ~FeatureClass() override;
    FeatureClass(const FeatureClass&) = delete;
    FeatureClass& operator=(const FeatureClass&) = delete;

    // ---- IFeatureClass ----
    [[nodiscard]] std::string AliasName() const override { return name_; }
    [[nodiscard]] GeometryType ShapeType() const override { return shapeType_; }
    [[nodiscard]] int FeatureType() const override { return featureType_; }
    [[nodiscard]] bool HasZ() const override;
    [[nodiscard]] Fields GetFields() const override { return fields_; }
    std::int64_t FeatureCount(const QueryFilter* filter) override;
    std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool recycling) override;
    std::shared_ptr<IFeature> CreateFeature() override;
    std::shared_ptr<ISpatialReference> SpatialReference() override;
    bool CanAlterSpatialReference() override;
    void AlterSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override;
    std::shared_ptr<IWorkspace> Workspace() override;

    // ---- host side ----
    [[nodiscard]] StoreKind Kind() const { return kind_; }
    // The .shp file, or the data source file of a layer.
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // The OGR layer name (the file's base name for shapefiles).
    [[nodiscard]] const std::string& LayerName() const { return layerName_; }
    // Marks the class as one of the host's annotation kinds (11 or 12) or simple (1), which
    // OGR data never carries by itself. Raises PortError for other codes.
    void SetFeatureType(int featureType);
    // The feature with object id `oid`; null when there is none.
    std::shared_ptr<Feature> GetFeature(std::int64_t oid);
    // Object ids matching `where` (empty: all), in the layer's order.
    std::vector<std::int64_t> MatchingIds(const std::string& where, const std::string& operation);
    // Calls `visit` with each feature matching `where` (empty: all) whose extent meets `bounds`
    // (null: everywhere), in the layer's order. `visit` must not use this class.
    void ForEachFeature(const std::string& where, const Envelope* bounds,
                        const std::function<void(const Feature&)>& visit);
    // The extent of the features; nullopt when there are none.
    std::optional<Envelope> Extent();
    [[nodiscard]] std::shared_ptr<gis::SpatialReference> Reference() const { return reference_; }

    // ---- used by the workspace's edit session (shapefiles) ----
    [[nodiscard]] bool HasWorkingCopy() const { return !workingShp_.empty(); }
    // Closes the working copy and makes its files durable; gives (copy, original) file pairs in
    // the order they must be put in place.
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> SealWorkingCopy();
    // Closes the original files (before they are replaced).
    void CloseOriginal();
    // Forgets the working copy after it was put in place (or discarded) and deletes what is
    // left of it.
    void DropWorkingCopy();

    void StoreFeature(Feature& feature);

private:
    FeatureClass() = default;
    void readSchema(OGRLayer& layer);
    OGRLayer& readLayer();
    OGRLayer& writeLayer(const std::string& operation);
    std::shared_ptr<Feature> makeFeature(OGRFeature& feature);
    bool editing() const;
    std::shared_ptr<gis::Workspace> workspaceOrFail(const std::string& operation) const;

    std::weak_ptr<gis::Workspace> workspace_;
    StoreKind kind_ = StoreKind::ReadOnly;
    std::string name_;
    std::string layerName_;
    std::filesystem::path path_;
    // Shapefiles: the files themselves and, while editing, the working copy.
    DatasetPtr original_;
    bool originalForUpdate_ = false;
    DatasetPtr working_;
    std::filesystem::path workingShp_;
    // GeoPackage and read-only sources: the workspace's dataset (borrowed).
    GDALDataset* shared_ = nullptr;

    Fields fields_;
    GeometryType shapeType_ = GeometryType::Null;
    OGRwkbGeometryType layerType_ = wkbUnknown;
    int featureType_ = kFeatureTypeSimple;
    std::shared_ptr<gis::SpatialReference> reference_;
};

} // namespace scribeline::gis
