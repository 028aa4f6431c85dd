// The terrain-layer check shared by the terrain commands and the globe status report: whether
// the globe shows ground above 0 under the view centre, here or at a test point it flies to
// (up to three flights), with the view given back afterwards.
//
// Latitudes and longitudes are degrees of WGS 1984, altitudes metres, pauses milliseconds on
// the desktop's clock. A failing globe or desktop call passes through as PortError, except a
// refused flight, which the next ground reading finds out.
#pragma once

#include "command/globe_port.hpp"
#include "platform/desktop.hpp"

namespace scribeline::terrain {

struct GeoPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    friend bool operator==(const GeoPoint&, const GeoPoint&) = default;
};

// The test point for a focus point without ground, by hemisphere band: (48.0, 11.0) for
// 0..60 E, (48.0, 105.0) for 60..140 E and (20.52, -100.0) for 125..70 W on the northern half,
// and (48.0, 11.0) anywhere else.
[[nodiscard]] GeoPoint TerrainTestPoint(double latitude, double longitude);
// The focus point itself when its altitude is above 0, else its TerrainTestPoint.
[[nodiscard]] GeoPoint TestPointFor(double latitude, double longitude, double focusAltitude);

// Flies the globe back to `camera` at the usual speed, relative to the ground; a negative tilt
// is given back as 0.
void GiveCameraBack(IApplicationGE& globe, ICameraInfoGE camera);

// The waits of the check. The callers differ in them and each keeps its own.
struct TerrainProbePauses {
    int chooseMs = 20; // after reading the camera that gives the test point
    int flyMs = 10;    // before each flight to the test point
    int settleMs = 0;  // after the first flight, before each retry, before the view goes back
};

// Borrows the globe and the desktop, which must outlive it. `lastCamera`, when not null, is
// kept up to date with the camera read or flown to last (the status report shows it); it must
// outlive the probe too.
class TerrainProbe {
public:
    TerrainProbe(IApplicationGE& globe, IDesktop& desktop, TerrainProbePauses pauses,
                 ICameraInfoGE* lastCamera = nullptr);

    // Ground altitude under the view centre (exaggeration set to 1.0 first); 0 when the globe
    // is not initialized.
    [[nodiscard]] double GroundAltitudeAtCentre();
    // Reads the camera: its focus point when it has ground, else a test point.
    [[nodiscard]] GeoPoint ChooseTestPoint();
    // Flies the focus point to `point`, keeping the rest of the view.
    void FlyFocusTo(const GeoPoint& point);
    // The whole check; the view is given back when it had to fly.
    [[nodiscard]] bool IsTerrainLayerOn();

private:
    void record(const ICameraInfoGE& camera);

    IApplicationGE& globe_;
    IDesktop& desktop_;
    TerrainProbePauses pauses_;
    ICameraInfoGE* lastCamera_;
};

} // namespace scribeline::terrain
