// View synchronisation: the globe's camera from the map's extent and the map's extent from the
// globe's view.
#include "views/view_sync.hpp"

#include "digitizing/map_reference.hpp"

#include <cmath>
#include <stdexcept>

namespace scribeline::views {

namespace {

constexpr int kRelativeToGround = 1;

} // namespace

double EarthViewWidth(const IViewExtentsGE& extents) {
    double width = extents.East - extents.West;
    if (width < 0.0) {
        width += 360.0;
    }
    return width;
}

double RangeForMapWidth(double currentRange, double earthWidth, double mapWidth) {
    if (!(earthWidth > 0.0) || !(mapWidth > 0.0)) {
        return currentRange;
    }
    const double range = currentRange / earthWidth * mapWidth;
    if (!std::isfinite(range) || !(range > 0.0)) {
        return currentRange;
    }
    return range;
}

Envelope MapBoundsOfEarthView(const IViewExtentsGE& extents) {
    Envelope bounds;
    bounds.XMax = extents.East;
    bounds.XMin = extents.West;
    bounds.YMax = extents.North;
    bounds.YMin = extents.South;
    if (bounds.XMax < bounds.XMin) {
        bounds.XMax += 360.0;
    }
    return bounds;
}

ViewSync::ViewSync(const ViewsContext& context) : cx_(context) {}

IMapApplication& ViewSync::host() {
    return cx_.map;
}

IApplicationGE& ViewSync::freshGlobe() {
    auto& process = cx_.process;
    process.globe.application = cx_.globe.CreateApplication();
    return *process.globe.application;
}

bool ViewSync::readRenderWindow(IApplicationGE& ge) {
    auto& globe = cx_.process.globe;
    globe.renderWindow = ge.GetRenderHwnd();
    globe.renderRect = cx_.desktop.GetWindowRect(globe.renderWindow);
    return globe.renderRect.has_value();
}

void ViewSync::ensureWgs84() {
    if (cx_.state.wgs84Set) {
        return;
    }
    // The host may refuse a reference; the views are then matched in the map's own.
    IMapApplication& app = host();
    try {
        digitizing::EnsureMapInWgs84(app, *app.Document());
    } catch (const PortError&) {
        // No document to read the map from: nothing to put in WGS 1984.
    }
    cx_.state.wgs84Set = true;
}

void ViewSync::cmdSetGEViewEx_Click() {
    if (freshGlobe().IsInitialized() == 0) {
        return;
    }
    ensureWgs84();
    SetEarthViewFromMap(kFirstFlightSpeed);
    cx_.desktop.Sleep(kBetweenFlightsMs);
    SetEarthViewFromMap(kSecondFlightSpeed);
}

void ViewSync::SetEarthViewFromMap(double speed) {
    const Envelope extent = host().Document()->ActiveView()->Extent();
    const double cx = (extent.XMax + extent.XMin) / 2;
    const double cy = (extent.YMax + extent.YMin) / 2;
    lastCentre_ = EarthViewCentre{cx, cy};
    const double mapWidth = extent.XMax - extent.XMin;

    IApplicationGE& ge = freshGlobe();
    if (!readRenderWindow(ge)) {
        return;
    }
    ICameraInfoGE camera = ge.GetCamera(1);
    camera_ = camera;
    camera.FocusPointLatitude = cy;
    camera.FocusPointLongitude = cx;
    camera.Azimuth = 0.0;
    camera.Tilt = 0.0;
    const double earthWidth = EarthViewWidth(ge.ViewExtents());
    camera.Range = RangeForMapWidth(camera.Range, earthWidth, mapWidth);
    camera.FocusPointAltitudeMode = kRelativeToGround;
    camera_ = camera;
    ge.SetCamera(camera, speed);
}

void ViewSync::cmdSetArcViewEx_Click() {
    ensureWgs84();
    SetMapViewFromEarth();
}

void ViewSync::SetMapViewFromEarth() {
    IApplicationGE& ge = freshGlobe();
    if (ge.IsInitialized() == 0) {
        return;
    }
    auto view = host().Document()->ActiveView();
    IScreenDisplay& display = view->ScreenDisplay();
    camera_ = ge.GetCamera(1);
    if (!readRenderWindow(ge)) {
        return;
    }
    const IViewExtentsGE extents = ge.ViewExtents();
    IDisplayTransformation& transformation = display.DisplayTransformation();
    Envelope bounds = transformation.VisibleBounds();
    const Envelope shown = MapBoundsOfEarthView(extents);
    bounds.XMax = shown.XMax;
    bounds.XMin = shown.XMin;
    bounds.YMax = shown.YMax;
    bounds.YMin = shown.YMin;
    transformation.SetVisibleBounds(bounds);
    view->Refresh();
}

} // namespace scribeline::views
