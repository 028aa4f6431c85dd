// The terrain-layer check: ground under the view centre, or at a test point flown to.
#include "terrain/terrain_probe.hpp"

namespace scribeline::terrain {

namespace {

constexpr double kFlySpeed = 5.0;
constexpr int kRelativeToGround = 1;

} // namespace

GeoPoint TerrainTestPoint(double latitude, double longitude) {
    if (latitude >= 0.0) {
        if (longitude >= 0.0 && longitude <= 60.0) {
            return {48.0, 11.0};
        }
        if (longitude > 60.0 && longitude <= 140.0) {
            return {48.0, 105.0};
        }
        if (longitude >= -125.0 && longitude <= -70.0) {
            return {20.52, -100.0};
        }
    }
    return {48.0, 11.0};
}

GeoPoint TestPointFor(double latitude, double longitude, double focusAltitude) {
    if (focusAltitude > 0.0) {
        return {latitude, longitude};
    }
    return TerrainTestPoint(latitude, longitude);
}

void GiveCameraBack(IApplicationGE& globe, ICameraInfoGE camera) {
    if (camera.Tilt < 0.0) {
        camera.Tilt = 0.0;
    }
    camera.FocusPointAltitudeMode = kRelativeToGround;
    globe.SetCamera(camera, kFlySpeed);
}

TerrainProbe::TerrainProbe(IApplicationGE& globe, IDesktop& desktop, TerrainProbePauses pauses,
                           ICameraInfoGE* lastCamera)
    : globe_(globe), desktop_(desktop), pauses_(pauses), lastCamera_(lastCamera) {}

void TerrainProbe::record(const ICameraInfoGE& camera) {
    if (lastCamera_ != nullptr) {
        *lastCamera_ = camera;
    }
}

double TerrainProbe::GroundAltitudeAtCentre() {
    if (globe_.IsInitialized() == 0) {
        return 0.0;
    }
    globe_.SetElevationExaggeration(1.0);
    return globe_.GetPointOnTerrainFromScreenCoords(0.0, 0.0).Altitude;
}

GeoPoint TerrainProbe::ChooseTestPoint() {
    const ICameraInfoGE camera = globe_.GetCamera(1);
    record(camera);
    desktop_.Sleep(pauses_.chooseMs);
    return TestPointFor(camera.FocusPointLatitude, camera.FocusPointLongitude,
                        camera.FocusPointAltitude);
}

void TerrainProbe::FlyFocusTo(const GeoPoint& point) {
    ICameraInfoGE camera = globe_.GetCamera(1);
    camera.FocusPointLatitude = point.latitude;
    camera.FocusPointLongitude = point.longitude;
    if (camera.Tilt < 0.0) {
        camera.Tilt = 0.0;
    }
    camera.FocusPointAltitudeMode = kRelativeToGround;
    record(camera);
    desktop_.Sleep(pauses_.flyMs);
    try {
        globe_.SetCamera(camera, kFlySpeed);
    } catch (const PortError&) {
        // A refused flight leaves the view where it is; the next ground reading tells.
    }
}

bool TerrainProbe::IsTerrainLayerOn() {
    if (GroundAltitudeAtCentre() > 0.0) {
        return true;
    }
    const ICameraInfoGE kept = globe_.GetCamera(1);
    record(kept);
    const GeoPoint point = ChooseTestPoint();
    FlyFocusTo(point);
    desktop_.Sleep(pauses_.settleMs);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (GroundAltitudeAtCentre() <= 0.0) {
            desktop_.Sleep(pauses_.settleMs);
            FlyFocusTo(point);
        }
    }
    const bool on = GroundAltitudeAtCentre() > 0.0;
    desktop_.Sleep(pauses_.settleMs);
    GiveCameraBack(globe_, kept);
    return on;
}

} // namespace scribeline::terrain
