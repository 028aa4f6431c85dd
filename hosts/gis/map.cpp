#include "hosts/gis/map.hpp"

#include "hosts/gis/feature_class.hpp"
#include "hosts/gis/geometry_engine.hpp"
#include "hosts/gis/layers.hpp"
#include "hosts/gis/spatial_reference.hpp"

#include <algorithm>
#include <cmath>

namespace scribeline::gis {

namespace {

void collect(const std::shared_ptr<ILayer>& layer, std::vector<std::shared_ptr<ILayer>>& out) {
    out.push_back(layer);
    if (auto group = std::dynamic_pointer_cast<IGroupLayer>(layer)) {
        for (const auto& member : group->Layers()) {
            collect(member, out);
        }
    }
}

bool finite(const Envelope& e) {
    return std::isfinite(e.XMin) && std::isfinite(e.YMin) && std::isfinite(e.XMax) &&
           std::isfinite(e.YMax);
}

Envelope unite(const Envelope& a, const Envelope& b) {
    return Envelope{std::min(a.XMin, b.XMin), std::min(a.YMin, b.YMin), std::max(a.XMax, b.XMax),
                    std::max(a.YMax, b.YMax)};
}

} // namespace

std::optional<Envelope> ProjectEnvelope(const Envelope& e,
                                        const std::shared_ptr<ISpatialReference>& from,
                                        const std::shared_ptr<ISpatialReference>& to) {
    if (!from || !to) {
        return e;
    }
    auto source = SpatialReference::Share(*from);
    auto target = SpatialReference::Share(*to);
    if (source->IsUnknown() || target->IsUnknown() || source->IsEqual(*target)) {
        return e;
    }
    GeometryEngine engine;
    std::optional<Envelope> out;
    constexpr int steps = 8;
    for (int i = 0; i <= steps; ++i) {
        for (int j = 0; j <= steps; ++j) {
            Geometry p = Geometry::point(e.XMin + (e.XMax - e.XMin) * i / steps,
                                         e.YMin + (e.YMax - e.YMin) * j / steps);
            p.spatialReference = source;
            try {
                const MapPoint q = engine.Project(p, *target).Point(0);
                const Envelope one{q.x, q.y, q.x, q.y};
                if (finite(one)) {
                    out = out ? unite(*out, one) : one;
                }
            } catch (const PortError&) {
                // Points outside the target's domain do not count.
            }
        }
    }
    return out;
}

std::optional<Envelope> LayerExtent(ILayer& layer,
                                    const std::shared_ptr<ISpatialReference>& target) {
    if (auto* feature = dynamic_cast<FeatureLayer*>(&layer)) {
        auto fc = feature->Class();
        if (!fc) {
            return std::nullopt;
        }
        const auto own = fc->Extent();
        return own ? ProjectEnvelope(*own, fc->SpatialReference(), target) : std::nullopt;
    }
    if (auto* raster = dynamic_cast<RasterLayer*>(&layer)) {
        return ProjectEnvelope(raster->Extent(), raster->SpatialReference(), target);
    }
    if (auto* group = dynamic_cast<IGroupLayer*>(&layer)) {
        std::optional<Envelope> out;
        for (const auto& member : group->Layers()) {
            if (const auto e = LayerExtent(*member, target)) {
                out = out ? unite(*out, *e) : *e;
            }
        }
        return out;
    }
    return std::nullopt;
}

// ---- Map ----------------------------------------------------------------------------------------

std::shared_ptr<ILayer> Map::Layer(int index) {
    if (index < 0 || index >= LayerCount()) {
        throw PortError("Layer", "the map has no layer " + std::to_string(index));
    }
    return layers_[static_cast<std::size_t>(index)];
}

std::vector<std::shared_ptr<ILayer>> Map::Layers() {
    std::vector<std::shared_ptr<ILayer>> out;
    for (const auto& layer : layers_) {
        collect(layer, out);
    }
    return out;
}

std::int64_t Map::SelectionCount() {
    std::int64_t count = 0;
    for (const auto& layer : Layers()) {
        if (auto feature = std::dynamic_pointer_cast<FeatureLayer>(layer)) {
            count += static_cast<std::int64_t>(feature->SelectedIds().size());
        }
    }
    return count;
}

void Map::AddLayer(const std::shared_ptr<ILayer>& layer) {
    if (!layer) {
        throw PortError("AddLayer", "no layer given");
    }
    std::vector<std::shared_ptr<ILayer>> next;
    next.reserve(layers_.size() + 1);
    next.push_back(layer);
    next.insert(next.end(), layers_.begin(), layers_.end());
    layers_.swap(next);
    if (!reference_) {
        std::vector<std::shared_ptr<ILayer>> added;
        collect(layer, added);
        for (const auto& l : added) {
            auto reference = l->SpatialReference();
            if (reference && reference->Name() != "Unknown") {
                reference_ = SpatialReference::Share(*reference);
                break;
            }
        }
    }
    if (layerAdded_) {
        layerAdded_(layer);
    }
}

bool Map::RemoveLayer(const std::shared_ptr<ILayer>& layer) {
    const auto it = std::find(layers_.begin(), layers_.end(), layer);
    if (it == layers_.end()) {
        return false;
    }
    layers_.erase(it);
    return true;
}

void Map::SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) {
    auto previous = reference_;
    reference_ =
        reference ? std::static_pointer_cast<ISpatialReference>(SpatialReference::Share(*reference))
                  : nullptr;
    if (referenceChanged_) {
        referenceChanged_(previous, reference_);
    }
}

int Map::MapUnits() {
    if (!reference_) {
        return 0;
    }
    return SpatialReference::Share(*reference_)->UnitCode();
}

int Map::DistanceUnits() {
    return distanceUnits_ ? *distanceUnits_ : MapUnits();
}

void Map::SetDistanceUnits(int units) {
    if (units < 0 || units > 12) {
        throw PortError("DistanceUnits", "no unit with the code " + std::to_string(units));
    }
    distanceUnits_ = units;
}

std::optional<Envelope> Map::FullExtent() {
    std::optional<Envelope> out;
    for (const auto& layer : layers_) {
        if (const auto e = LayerExtent(*layer, reference_)) {
            out = out ? unite(*out, *e) : *e;
        }
    }
    return out;
}

// ---- DisplayTransformation ---------------------------------------------------------------------

DisplayTransformation::DisplayTransformation(std::function<Size()> deviceSize, Envelope initial)
    : deviceSize_(std::move(deviceSize)), bounds_(initial) {}

void DisplayTransformation::SetVisibleBounds(const Envelope& bounds) {
    if (!finite(bounds)) {
        throw PortError("VisibleBounds", "the bounds are not finite");
    }
    if (bounds.XMax < bounds.XMin || bounds.YMax < bounds.YMin) {
        throw PortError("VisibleBounds", "the bounds are inverted");
    }
    if (bounds.XMax == bounds.XMin && bounds.YMax == bounds.YMin) {
        throw PortError("VisibleBounds", "the bounds have neither width nor height");
    }
    bounds_ = bounds;
    set_ = true;
}

Size DisplayTransformation::DeviceSize() {
    Size s = deviceSize_ ? deviceSize_() : Size{1, 1};
    return Size{std::max(s.width, 1), std::max(s.height, 1)};
}

double DisplayTransformation::Resolution() {
    const Size s = DeviceSize();
    return std::max((bounds_.XMax - bounds_.XMin) / s.width,
                    (bounds_.YMax - bounds_.YMin) / s.height);
}

Envelope DisplayTransformation::FittedBounds() {
    const Size s = DeviceSize();
    const double r = Resolution();
    const double cx = (bounds_.XMin + bounds_.XMax) / 2.0;
    const double cy = (bounds_.YMin + bounds_.YMax) / 2.0;
    return Envelope{cx - r * s.width / 2.0, cy - r * s.height / 2.0, cx + r * s.width / 2.0,
                    cy + r * s.height / 2.0};
}

scribeline::Point DisplayTransformation::FromMapPoint(const MapPoint& point) {
    const Envelope f = FittedBounds();
    const double r = Resolution();
    const double x = (point.x - f.XMin) / r;
    const double y = (f.YMax - point.y) / r;
    auto clamp = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, -1.0e9, 1.0e9)));
    };
    return scribeline::Point{clamp(x), clamp(y)};
}

MapPoint DisplayTransformation::ToMapPoint(scribeline::Point device) {
    const Envelope f = FittedBounds();
    const double r = Resolution();
    return MapPoint{f.XMin + device.x * r, f.YMax - device.y * r, 0.0};
}

// ---- ScreenDisplay -----------------------------------------------------------------------------

void ScreenDisplay::StartDrawing(int cacheId) {
    if (drawing_) {
        throw PortError("StartDrawing", "a drawing is under way already");
    }
    drawing_ = true;
    cacheId_ = cacheId;
}

void ScreenDisplay::FinishDrawing() {
    if (!drawing_) {
        throw PortError("FinishDrawing", "no drawing was started");
    }
    drawing_ = false;
}

void ScreenDisplay::record(DisplayDrawing::Kind kind, const Geometry& geometry,
                           const char* operation) {
    if (!drawing_) {
        throw PortError(operation, "StartDrawing was not called");
    }
    drawings_.push_back(DisplayDrawing{kind, geometry, symbol_, cacheId_});
    ++total_;
}

void ScreenDisplay::DrawPoint(const Geometry& point) {
    if (point.type != GeometryType::Point && point.type != GeometryType::Multipoint) {
        throw PortError("DrawPoint", "the geometry is not a point");
    }
    record(DisplayDrawing::Kind::Point, point, "DrawPoint");
}

void ScreenDisplay::DrawPolyline(const Geometry& polyline) {
    if (polyline.type != GeometryType::Polyline) {
        throw PortError("DrawPolyline", "the geometry is not a polyline");
    }
    record(DisplayDrawing::Kind::Polyline, polyline, "DrawPolyline");
}

void ScreenDisplay::DrawPolygon(const Geometry& polygon) {
    if (polygon.type != GeometryType::Polygon) {
        throw PortError("DrawPolygon", "the geometry is not a polygon");
    }
    record(DisplayDrawing::Kind::Polygon, polygon, "DrawPolygon");
}

// ---- ActiveView --------------------------------------------------------------------------------

ActiveView::ActiveView(std::function<Size()> deviceSize, std::function<void()> repaint,
                       Envelope initial)
    : transformation_(std::move(deviceSize), initial), display_(transformation_),
      repaint_(std::move(repaint)) {}

void ActiveView::Refresh() {
    ++refreshes_;
    display_.Clear();
    if (repaint_) {
        repaint_();
    }
}

void ActiveView::SetExtent(const Envelope& extent) {
    transformation_.SetVisibleBounds(extent);
}

void ActiveView::AddLineElement(const Geometry& polyline, const Symbol& symbol) {
    if (polyline.type != GeometryType::Polyline) {
        throw PortError("AddLineElement", "the geometry is not a polyline");
    }
    elements_.push_back(LineElement{polyline, symbol});
}

} // namespace scribeline::gis
