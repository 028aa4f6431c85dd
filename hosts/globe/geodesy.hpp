// WGS 84 geodesy for the simulated globe: geodetic <-> earth-centred coordinates and local
// east/north/up frames. Angles in degrees at the interface, metres everywhere.
#pragma once

#include <cmath>

namespace scribeline::globe {

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

constexpr Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
constexpr Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
constexpr Vec3 operator*(Vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
constexpr Vec3 operator*(double s, Vec3 a) {
    return a * s;
}
constexpr Vec3 operator-(Vec3 a) {
    return {-a.x, -a.y, -a.z};
}
constexpr double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm(Vec3 a) {
    return std::sqrt(dot(a, a));
}
inline Vec3 normalized(Vec3 a) {
    return a * (1.0 / norm(a));
}

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kDegToRad = kPi / 180.0;
inline constexpr double kRadToDeg = 180.0 / kPi;

// The WGS 84 ellipsoid.
namespace wgs84 {
inline constexpr double a = 6378137.0;           // semi-major axis, m
inline constexpr double f = 1.0 / 298.257223563; // flattening
inline constexpr double b = a * (1.0 - f);       // semi-minor axis, m
inline constexpr double e2 = f * (2.0 - f);      // first eccentricity squared
inline constexpr double ep2 = e2 / (1.0 - e2);   // second eccentricity squared
} // namespace wgs84

// A position on or above the ellipsoid: degrees and metres of ellipsoidal height.
struct Geodetic {
    double latitude = 0.0;
    double longitude = 0.0;
    double height = 0.0;
};

// Earth-centred, earth-fixed coordinates (metres) of a geodetic position.
Vec3 ToEcef(const Geodetic& position);

// Geodetic position of an ECEF point; longitude in [-180, 180]. Exact to a tenth of a
// millimetre for heights between -100 km and +100 km; 1e-6 degrees at 20 000 km.
Geodetic ToGeodetic(Vec3 ecef);

// The local frame at a geodetic position: unit vectors east, north and up (the ellipsoid
// normal).
struct LocalFrame {
    Vec3 east;
    Vec3 north;
    Vec3 up;
};
LocalFrame FrameAt(double latitudeDeg, double longitudeDeg);

// Wraps a longitude (or any angle) into [-180, 180).
double WrapDegrees(double degrees);

// Metres per degree of latitude and of longitude at a latitude (ellipsoid, height 0).
double MetresPerDegreeLatitude(double latitudeDeg);
double MetresPerDegreeLongitude(double latitudeDeg);

} // namespace scribeline::globe
