// The perspective camera of the simulated globe and the ray caster that finds the ground
// under a screen point.
//
// The camera looks from the eye at the focus point. Range is the eye's distance from the focus
// point; tilt is the angle between the view direction and the downward ellipsoid normal at the
// focus point (0 looks straight down, 90 at the horizon); azimuth is the heading of the view,
// clockwise from north. The screen's up is the focus point's up tilted with the view, so an
// azimuth-0 view has north at the top. The horizontal field of view is fixed; the vertical one
// follows the view's aspect.
#pragma once

#include "command/globe_port.hpp"
#include "hosts/globe/geodesy.hpp"
#include "hosts/globe/terrain.hpp"

#include <optional>

namespace scribeline::globe {

inline constexpr double kHorizontalFieldOfViewDegrees = 60.0;

// The camera as the client keeps it: the port's record, normalised (longitude and azimuth in
// [-180, 180), tilt in [-90, 90], altitude mode 0..5, range > 0).
using CameraState = ICameraInfoGE;

// Checks and normalises a camera handed in from outside; raises PortError naming
// `operation` for a value no camera can have (non-finite numbers, |latitude| or |tilt| above
// 90, range not above 0, altitude mode outside 0..5).
CameraState NormaliseCamera(const CameraState& camera, const char* operation);

// Height of the focus point above the ellipsoid for a camera over a surface: mode 0 the
// ground; 1 and 3..5 the ground plus the altitude; 2 the altitude.
double FocusHeight(const CameraState& camera, const TerrainSurface& surface);

// A camera placed in space for a view of `width` x `height` pixels.
struct CameraPose {
    Vec3 focus;   // ECEF, metres
    Vec3 eye;     // ECEF, metres
    Vec3 forward; // unit, eye towards focus
    Vec3 right;   // unit, screen x
    Vec3 up;      // unit, screen y
    double tanHalfX = 0.0;
    double tanHalfY = 0.0;
};

// `focusHeight` is the focus point's height above the ellipsoid. The eye is kept at least
// 1 m above the ground, as a client never lets it go underground.
CameraPose PoseFor(const CameraState& camera, double focusHeight, const TerrainSurface& surface,
                   int width, int height);

// Unit direction of the ray through normalised screen coordinates (x right, y up, -1..1).
Vec3 RayDirection(const CameraPose& pose, double x, double y);

struct ScreenPosition {
    double x = 0.0;     // normalised, may lie outside -1..1
    double y = 0.0;     // normalised
    double depth = 0.0; // metres along the view direction, > 0
};
// Where a point appears, or nothing when it lies behind the eye.
std::optional<ScreenPosition> Project(const CameraPose& pose, Vec3 point);

struct RayHit {
    Geodetic ground; // height = the surface height at that latitude and longitude
    Vec3 ecef;
    double distance = 0.0; // metres from the ray origin
};

// The first meeting of a ray with the surface, or nothing when it goes into the sky. The hit
// lies on the ray within a millimetre of the surface height. `startDistance` is a hint that
// the ground lies no nearer than that (a neighbouring pixel's hit, say); a hint that starts
// under the ground is dropped. `stride` 1 steps only as far as the ground's slope bound
// allows, so no ridge is ever stepped over; a larger stride is faster but may step over a
// ridge thinner than the excess (good enough for pictures).
std::optional<RayHit> CastRay(const TerrainSurface& surface, Vec3 origin, Vec3 direction,
                              double startDistance = 0.0, double stride = 1.0);

// Tilt and azimuth (degrees) of a camera's view (its forward and screen-up unit vectors) as
// seen from a point of the ground; the azimuth comes from the screen's up, so it survives a
// straight-down view.
struct ViewAngles {
    double tilt = 0.0;
    double azimuth = 0.0;
};
ViewAngles AnglesAt(const Geodetic& point, Vec3 forward, Vec3 up);

} // namespace scribeline::globe
