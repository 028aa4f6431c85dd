// The map, its active views (data view and page layout) with their display transformation and
// screen display, and the map document.
#pragma once

#include "command/map_port.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline::gis {

class SpatialReference;

class Map final : public IMap {
public:
    int LayerCount() override { return static_cast<int>(layers_.size()); }
    // Raises PortError for an index outside 0 .. LayerCount() - 1.
    std::shared_ptr<ILayer> Layer(int index) override;
    std::vector<std::shared_ptr<ILayer>> Layers() override;
    std::int64_t SelectionCount() override;
    // The layer becomes layer 0. A map without a reference takes the first known reference of
    // a layer added to it. Raises PortError for null.
    void AddLayer(const std::shared_ptr<ILayer>& layer) override;
    std::shared_ptr<ISpatialReference> SpatialReference() override { return reference_; }
    // null clears the reference. The views keep showing the same area, in the new units.
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override;
    // The unit of the map's reference (0 when it has none).
    int MapUnits() override;
    // The units set last; the map units until one is set.
    int DistanceUnits() override;
    // Raises PortError for a code outside 0 .. 12.
    void SetDistanceUnits(int units) override;

    // ---- host side ----
    [[nodiscard]] const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    // Removes a top-level layer; false when it is not one.
    bool RemoveLayer(const std::shared_ptr<ILayer>& layer);
    // The bounds of every layer's data in the map's reference; nullopt when no layer has data.
    std::optional<Envelope> FullExtent();
    // Called with each layer AddLayer adds (the views zoom to the first layer).
    void OnLayerAdded(std::function<void(const std::shared_ptr<ILayer>&)> listener) {
        layerAdded_ = std::move(listener);
    }
    // Called with the old and the new reference when SetSpatialReference changes it.
    void OnReferenceChanged(std::function<void(const std::shared_ptr<ISpatialReference>&,
                                               const std::shared_ptr<ISpatialReference>&)>
                                listener) {
        referenceChanged_ = std::move(listener);
    }
    [[nodiscard]] std::optional<int> ExplicitDistanceUnits() const { return distanceUnits_; }

private:
    std::string name_ = "Layers";
    std::vector<std::shared_ptr<ILayer>> layers_;
    std::shared_ptr<ISpatialReference> reference_;
    std::optional<int> distanceUnits_;
    std::function<void(const std::shared_ptr<ILayer>&)> layerAdded_;
    std::function<void(const std::shared_ptr<ISpatialReference>&,
                       const std::shared_ptr<ISpatialReference>&)>
        referenceChanged_;
};

// Map coordinates to pixels of a window's client area: a uniform scale that fits the visible
// bounds into the window, centred (the fitted bounds cover at least the visible bounds).
class DisplayTransformation final : public IDisplayTransformation {
public:
    // `deviceSize` gives the client size of the window drawn into, in pixels.
    DisplayTransformation(std::function<Size()> deviceSize, Envelope initial);

    Envelope VisibleBounds() override { return bounds_; }
    // Raises PortError for bounds that are not finite, inverted, or of no width and no height.
    void SetVisibleBounds(const Envelope& bounds) override;
    // Pixel of a map point, rounded to the nearest pixel.
    scribeline::Point FromMapPoint(const MapPoint& point) override;
    MapPoint ToMapPoint(scribeline::Point device) override;

    // ---- host side ----
    // The bounds actually shown: the visible bounds widened to the window's shape.
    Envelope FittedBounds();
    // Map units per pixel.
    double Resolution();
    Size DeviceSize();
    // Whether SetVisibleBounds was called since construction.
    [[nodiscard]] bool BoundsSet() const { return set_; }

private:
    std::function<Size()> deviceSize_;
    Envelope bounds_;
    bool set_ = false;
};

// What a screen display was asked to draw; kept until the next refresh of its view.
struct DisplayDrawing {
    enum class Kind { Point, Polyline, Polygon };
    Kind kind = Kind::Point;
    Geometry geometry;
    Symbol symbol;
    int cacheId = 0;
};

struct LineElement {
    Geometry polyline;
    Symbol symbol;
};

class ScreenDisplay final : public IScreenDisplay {
public:
    explicit ScreenDisplay(gis::DisplayTransformation& transformation)
        : transformation_(transformation) {}

    // Raises PortError when a drawing is under way already.
    void StartDrawing(int cacheId) override;
    void SetSymbol(const Symbol& symbol) override { symbol_ = symbol; }
    // The Draw calls raise PortError outside StartDrawing/FinishDrawing and for a geometry
    // of the wrong kind (DrawPoint takes points and multipoints).
    void DrawPoint(const Geometry& point) override;
    void DrawPolyline(const Geometry& polyline) override;
    void DrawPolygon(const Geometry& polygon) override;
    void FinishDrawing() override;
    IDisplayTransformation& DisplayTransformation() override { return transformation_; }

    [[nodiscard]] const std::vector<DisplayDrawing>& Drawings() const { return drawings_; }
    [[nodiscard]] std::size_t TotalDrawCalls() const { return total_; }
    [[nodiscard]] bool Drawing() const { return drawing_; }
    void Clear() { drawings_.clear(); }

private:
    void record(DisplayDrawing::Kind kind, const Geometry& geometry, const char* operation);

    gis::DisplayTransformation& transformation_;
    Symbol symbol_;
    bool drawing_ = false;
    int cacheId_ = 0;
    std::vector<DisplayDrawing> drawings_;
    std::size_t total_ = 0;
};

class ActiveView final : public IActiveView {
public:
    // `deviceSize`: the map view window's client size; `repaint`: called on Refresh.
    ActiveView(std::function<Size()> deviceSize, std::function<void()> repaint, Envelope initial);

    // Redraws the view: counted; the screen display's drawings are gone afterwards.
    void Refresh() override;
    Envelope Extent() override { return transformation_.VisibleBounds(); }
    // Raises PortError as SetVisibleBounds does.
    void SetExtent(const Envelope& extent) override;
    IScreenDisplay& ScreenDisplay() override { return display_; }
    // Raises PortError for a geometry that is not a polyline.
    void AddLineElement(const Geometry& polyline, const Symbol& symbol) override;
    void DeleteAllElements() override { elements_.clear(); }

    // ---- host side ----
    [[nodiscard]] int RefreshCount() const { return refreshes_; }
    [[nodiscard]] const std::vector<LineElement>& Elements() const { return elements_; }
    gis::ScreenDisplay& Display() { return display_; }
    gis::DisplayTransformation& Transformation() { return transformation_; }
    // Whether the extent was set since the view was made (the first layer sets it otherwise).
    [[nodiscard]] bool ExtentSet() const { return transformation_.BoundsSet(); }

private:
    gis::DisplayTransformation transformation_;
    gis::ScreenDisplay display_;
    std::function<void()> repaint_;
    std::vector<LineElement> elements_;
    int refreshes_ = 0;
};

class Document final : public IMxDocument {
public:
    Document(std::shared_ptr<gis::Map> map, std::shared_ptr<gis::ActiveView> dataView,
             std::shared_ptr<gis::ActiveView> pageLayout)
        : map_(std::move(map)), dataView_(std::move(dataView)), pageLayout_(std::move(pageLayout)) {
    }

    std::shared_ptr<IMap> FocusMap() override { return map_; }
    std::shared_ptr<IActiveView> ActiveView() override {
        return layoutActive_ ? pageLayout_ : dataView_;
    }
    bool ActiveViewIsPageLayout() override { return layoutActive_; }

    // ---- host side ----
    void SetPageLayoutActive(bool active) { layoutActive_ = active; }
    [[nodiscard]] const std::shared_ptr<gis::Map>& Map() const { return map_; }
    [[nodiscard]] const std::shared_ptr<gis::ActiveView>& DataView() const { return dataView_; }
    [[nodiscard]] const std::shared_ptr<gis::ActiveView>& PageLayout() const { return pageLayout_; }

private:
    std::shared_ptr<gis::Map> map_;
    std::shared_ptr<gis::ActiveView> dataView_;
    std::shared_ptr<gis::ActiveView> pageLayout_;
    bool layoutActive_ = false;
};

// An envelope carried from one reference into another through a grid of its points (which
// follows the curved edges projections make of straight ones). Unchanged when either is null
// or unknown; nullopt when no point of it exists in `to`.
std::optional<Envelope> ProjectEnvelope(const Envelope& e,
                                        const std::shared_ptr<ISpatialReference>& from,
                                        const std::shared_ptr<ISpatialReference>& to);

// The extent of a layer's data in `target` (its own when either reference is unknown);
// nullopt for layers without data.
std::optional<Envelope> LayerExtent(ILayer& layer,
                                    const std::shared_ptr<ISpatialReference>& target);

} // namespace scribeline::gis
