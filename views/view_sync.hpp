// View synchronisation between the globe and the map: "setgeview" flies the globe's camera to
// the area the map shows, "setarcview" sets the map's visible extent to the area the globe
// shows. Both read the map's coordinates as degrees of longitude and latitude (the WGS 1984
// the digitizer puts the map in); nothing is projected or converted.
//
// One ViewSync lives per load of the window, which owns it; its context outlives it.
//
// Failures: a failing globe, map host or desktop call ends the command (PortError passes
// through); the window reports it.
#pragma once

#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "command/subsystems.hpp"

#include <optional>

namespace scribeline {

namespace views {

// SetCamera speeds of the two flights of "setgeview": the first arrives at once, the second
// flies from there with the range measured in the view the first one made.
inline constexpr double kFirstFlightSpeed = 5.0;
inline constexpr double kSecondFlightSpeed = 2.0;
inline constexpr int kBetweenFlightsMs = 50;

// The width of the globe's view in degrees of longitude. A view across the antimeridian has
// West > East; its width is measured eastwards from West (East + 360 - West).
[[nodiscard]] double EarthViewWidth(const IViewExtentsGE& extents);

// The camera range that makes the globe show `mapWidth` degrees, by the proportion of the
// current range (metres) to the current view width (degrees). When either width is not above
// 0, or the result is not a finite positive range, the current range is kept: the flight then
// only centres and levels the view.
[[nodiscard]] double RangeForMapWidth(double currentRange, double earthWidth, double mapWidth);

// The visible bounds of the map for a globe view: XMin West, XMax East, YMin South, YMax North.
// A view across the antimeridian keeps going east past 180 degrees (XMax = East + 360), so the
// bounds stay in order.
[[nodiscard]] Envelope MapBoundsOfEarthView(const IViewExtentsGE& extents);

struct EarthViewCentre {
    double longitude = 0.0; // degrees
    double latitude = 0.0;  // degrees
};

class ViewSync final : public IViewSync {
public:
    explicit ViewSync(const ViewsContext& context);

    // ---- IViewSync ----
    // Nothing happens while the globe is not initialized.
    void cmdSetGEViewEx_Click() override;
    void cmdSetArcViewEx_Click() override;

    // One flight of the globe's camera to the map's visible extent, at a SetCamera speed.
    // Stops before moving anything when the render window has no rectangle.
    void SetEarthViewFromMap(double speed);
    // Sets the map's visible bounds to the globe's view extents and refreshes the map. Does
    // nothing while the globe is not initialized; stops before moving anything when the
    // render window has no rectangle.
    void SetMapViewFromEarth();

    // The centre of the map extent of the last flight; empty before the first.
    [[nodiscard]] const std::optional<EarthViewCentre>& LastEarthViewCentre() const {
        return lastCentre_;
    }
    // The camera these commands read last (as changed for the flight by SetEarthViewFromMap);
    // empty before the first read.
    [[nodiscard]] const std::optional<ICameraInfoGE>& CameraRecord() const { return camera_; }

private:
    // A fresh application object, kept as the process's globe object.
    IApplicationGE& freshGlobe();
    // The render window's handle and rectangle, kept for the other parts; false when the
    // rectangle cannot be read.
    bool readRenderWindow(IApplicationGE& ge);
    // The map in WGS 1984, once per load of the window; what the host refuses is skipped.
    void ensureWgs84();
    [[nodiscard]] IMapApplication& host();

    ViewsContext cx_;
    std::optional<EarthViewCentre> lastCentre_;
    std::optional<ICameraInfoGE> camera_;
};

} // namespace views
} // namespace scribeline
