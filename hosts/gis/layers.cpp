#include "hosts/gis/layers.hpp"

#include "hosts/gis/feature_class.hpp"
#include "hosts/gis/gdal_support.hpp"
#include "hosts/gis/spatial_reference.hpp"

#include <gdal_priv.h>

#include <algorithm>

namespace scribeline::gis {

namespace {

class LayerSelection final : public ISelectionSet {
public:
    LayerSelection(std::shared_ptr<FeatureLayer> layer) : layer_(std::move(layer)) {}

    std::int64_t Count() override {
        return static_cast<std::int64_t>(layer_->SelectedIds().size());
    }

    std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool /*recycling*/) override {
        auto fc = layer_->Class();
        std::vector<std::int64_t> ids = layer_->SelectedIds();
        if (fc && filter != nullptr && !filter->WhereClause.empty()) {
            const auto matching = fc->MatchingIds(filter->WhereClause, "Search");
            std::vector<std::int64_t> sorted(matching.begin(), matching.end());
            std::sort(sorted.begin(), sorted.end());
            std::vector<std::int64_t> kept;
            std::set_intersection(ids.begin(), ids.end(), sorted.begin(), sorted.end(),
                                  std::back_inserter(kept));
            ids = std::move(kept);
        }
        return std::make_unique<Cursor>(fc, std::move(ids));
    }

private:
    class Cursor final : public IFeatureCursor {
    public:
        Cursor(std::shared_ptr<FeatureClass> fc, std::vector<std::int64_t> ids)
            : fc_(std::move(fc)), ids_(std::move(ids)) {}
        std::shared_ptr<IFeature> NextFeature() override {
            while (fc_ && next_ < ids_.size()) {
                if (auto f = fc_->GetFeature(ids_[next_++])) {
                    return f;
                }
            }
            return nullptr;
        }

    private:
        std::shared_ptr<FeatureClass> fc_;
        std::vector<std::int64_t> ids_;
        std::size_t next_ = 0;
    };

    std::shared_ptr<FeatureLayer> layer_;
};

bool holds(const std::shared_ptr<ILayer>& container, const ILayer* wanted) {
    if (container.get() == wanted) {
        return true;
    }
    if (auto group = std::dynamic_pointer_cast<IGroupLayer>(container)) {
        for (const auto& member : group->Layers()) {
            if (holds(member, wanted)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

// ---- FeatureLayer -------------------------------------------------------------------------------

std::shared_ptr<ISpatialReference> FeatureLayer::SpatialReference() {
    if (class_) {
        return class_->SpatialReference();
    }
    return displayReference_;
}

void FeatureLayer::SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) {
    displayReference_ = reference;
}

std::shared_ptr<IFeatureClass> FeatureLayer::FeatureClass() {
    return class_;
}

void FeatureLayer::SetFeatureClass(const std::shared_ptr<IFeatureClass>& featureClass) {
    auto ours = std::dynamic_pointer_cast<gis::FeatureClass>(featureClass);
    if (featureClass && !ours) {
        throw PortError("FeatureClass", "the class does not belong to this host");
    }
    class_ = std::move(ours);
    selection_.clear();
}

void FeatureLayer::SetDefinitionExpression(const std::string& expression) {
    if (class_ && !expression.empty()) {
        QueryFilter probe{expression};
        (void)class_->FeatureCount(&probe); // raises for an expression OGR cannot evaluate
    }
    definition_ = expression;
}

std::shared_ptr<ISelectionSet> FeatureLayer::SelectionSet() {
    return std::make_shared<LayerSelection>(shared_from_this());
}

void FeatureLayer::Select(const std::vector<std::int64_t>& ids) {
    selection_ = std::set<std::int64_t>(ids.begin(), ids.end());
}

void FeatureLayer::SelectByQuery(const std::string& where) {
    if (!class_) {
        throw PortError("SelectByQuery", "the layer \"" + name_ + "\" has no feature class");
    }
    std::string combined = where;
    if (!definition_.empty()) {
        combined = where.empty() ? definition_ : "(" + definition_ + ") AND (" + where + ")";
    }
    const auto ids = class_->MatchingIds(combined, "SelectByQuery");
    Select(ids);
}

// ---- GroupLayer ---------------------------------------------------------------------------------

void GroupLayer::Add(const std::shared_ptr<ILayer>& layer) {
    if (!layer) {
        throw PortError("Add", "no layer given");
    }
    if (holds(layer, this)) {
        throw PortError("Add", "a group layer cannot hold itself");
    }
    members_.push_back(layer);
}

// ---- RasterLayer --------------------------------------------------------------------------------

RasterLayer::RasterLayer(const std::filesystem::path& path) : path_(path) {
    EnsureGdal();
    GdalErrorTrap trap;
    DatasetPtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!dataset) {
        trap.Fail("RasterLayer", "cannot read the raster " + path.string());
    }
    name_ = path.stem().string();
    if (const OGRSpatialReference* srs = dataset->GetSpatialRef()) {
        reference_ = std::make_shared<gis::SpatialReference>(*srs);
    }
    double t[6] = {0, 1, 0, 0, 0, 1};
    if (dataset->GetGeoTransform(t) != CE_None) {
        t[5] = -1; // no georeference: pixel space, north up
        t[3] = dataset->GetRasterYSize();
    }
    const double w = dataset->GetRasterXSize();
    const double h = dataset->GetRasterYSize();
    const double xs[] = {t[0], t[0] + w * t[1], t[0] + h * t[2], t[0] + w * t[1] + h * t[2]};
    const double ys[] = {t[3], t[3] + w * t[4], t[3] + h * t[5], t[3] + w * t[4] + h * t[5]};
    extent_ = Envelope{*std::min_element(std::begin(xs), std::end(xs)),
                       *std::min_element(std::begin(ys), std::end(ys)),
                       *std::max_element(std::begin(xs), std::end(xs)),
                       *std::max_element(std::begin(ys), std::end(ys))};
}

bool IsVisible(const ILayer& layer) {
    if (const auto* f = dynamic_cast<const FeatureLayer*>(&layer)) {
        return f->Visible();
    }
    if (const auto* g = dynamic_cast<const GroupLayer*>(&layer)) {
        return g->Visible();
    }
    if (const auto* r = dynamic_cast<const RasterLayer*>(&layer)) {
        return r->Visible();
    }
    return true;
}

} // namespace scribeline::gis
