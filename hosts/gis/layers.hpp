// Layers of a map: feature layers over feature classes, group layers, and raster layers (the
// kind that is not a feature layer).
#pragma once

#include "command/map_port.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace scribeline::gis {

class FeatureClass;
class SpatialReference;

class FeatureLayer final : public IFeatureLayer, public std::enable_shared_from_this<FeatureLayer> {
public:
    FeatureLayer() = default;

    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Feature; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    // The reference of the layer's data (its class's, named "Unknown" when the data has
    // none); without a class the one last set, null when none was.
    std::shared_ptr<ISpatialReference> SpatialReference() override;
    // Sets the reference the layer is shown in; the data keep theirs.
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override;
    std::shared_ptr<IFeatureClass> FeatureClass() override;
    // Raises PortError for a class of another host. Clears the selection.
    void SetFeatureClass(const std::shared_ptr<IFeatureClass>& featureClass) override;
    [[nodiscard]] std::string DefinitionExpression() const override { return definition_; }
    // An OGR attribute filter (OGR SQL where clause); raises PortError when the layer's class
    // cannot evaluate it, and keeps the previous expression then.
    void SetDefinitionExpression(const std::string& expression) override;
    // A live view of the layer's selection.
    std::shared_ptr<ISelectionSet> SelectionSet() override;

    // ---- host side ----
    [[nodiscard]] std::shared_ptr<gis::FeatureClass> Class() const { return class_; }
    // Replaces the selection; ids are kept in ascending order, unknown ones are ignored by
    // searches.
    void Select(const std::vector<std::int64_t>& ids);
    // Selects the features matching `where` (empty: all) that the definition expression shows.
    void SelectByQuery(const std::string& where);
    void ClearSelection() { selection_.clear(); }
    [[nodiscard]] std::vector<std::int64_t> SelectedIds() const {
        return {selection_.begin(), selection_.end()};
    }
    // The reference given with SetSpatialReference; null when none.
    [[nodiscard]] std::shared_ptr<ISpatialReference> DisplayReference() const {
        return displayReference_;
    }
    [[nodiscard]] bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

private:
    std::string name_;
    std::shared_ptr<gis::FeatureClass> class_;
    std::shared_ptr<ISpatialReference> displayReference_;
    std::string definition_;
    std::set<std::int64_t> selection_;
    bool visible_ = true;
};

class GroupLayer final : public IGroupLayer {
public:
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Group; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return reference_; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override {
        reference_ = reference;
    }
    // Members, first the topmost.
    std::vector<std::shared_ptr<ILayer>> Layers() override { return members_; }
    // Appends a member (it draws below the earlier ones). Raises PortError for null, for the
    // group itself and for a group that holds this one.
    void Add(const std::shared_ptr<ILayer>& layer) override;

    [[nodiscard]] bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

private:
    std::string name_;
    std::shared_ptr<ISpatialReference> reference_;
    std::vector<std::shared_ptr<ILayer>> members_;
    bool visible_ = true;
};

// A raster dataset read through GDAL: shown in the map, but not a feature layer.
class RasterLayer final : public ILayer {
public:
    // Raises PortError when GDAL cannot read the raster.
    explicit RasterLayer(const std::filesystem::path& path);

    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Other; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    // The raster's reference; null when it has none.
    std::shared_ptr<ISpatialReference> SpatialReference() override { return reference_; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override {
        reference_ = reference;
    }

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    // The raster's bounds in its reference.
    [[nodiscard]] Envelope Extent() const { return extent_; }
    [[nodiscard]] bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

private:
    std::filesystem::path path_;
    std::string name_;
    std::shared_ptr<ISpatialReference> reference_;
    Envelope extent_;
    bool visible_ = true;
};

// Whether a layer of this host is visible (true for foreign layers).
bool IsVisible(const ILayer& layer);

} // namespace scribeline::gis
