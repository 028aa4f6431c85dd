#include "hosts/globe/geodesy.hpp"

namespace scribeline::globe {

Vec3 ToEcef(const Geodetic& position) {
    const double lat = position.latitude * kDegToRad;
    const double lon = position.longitude * kDegToRad;
    const double sinLat = std::sin(lat);
    const double cosLat = std::cos(lat);
    const double n = wgs84::a / std::sqrt(1.0 - wgs84::e2 * sinLat * sinLat);
    const double r = (n + position.height) * cosLat;
    return {r * std::cos(lon), r * std::sin(lon),
            (n * (1.0 - wgs84::e2) + position.height) * sinLat};
}

Geodetic ToGeodetic(Vec3 ecef) {
    // Bowring's method, one step: sub-millimetre for the heights a globe client sees and far
    // cheaper than iterating. Sines and cosines come from the atan2 arguments.
    const double p = std::sqrt(ecef.x * ecef.x + ecef.y * ecef.y);
    const double lon = std::atan2(ecef.y, ecef.x);
    if (p < 1e-9) {
        const double lat = ecef.z >= 0.0 ? 90.0 : -90.0;
        return {lat, 0.0, std::abs(ecef.z) - wgs84::b};
    }
    const double u = ecef.z * wgs84::a;
    const double v = p * wgs84::b;
    const double r = std::sqrt(u * u + v * v);
    const double sb = u / r;
    const double cb = v / r;
    const double num = ecef.z + wgs84::ep2 * wgs84::b * sb * sb * sb;
    const double den = p - wgs84::e2 * wgs84::a * cb * cb * cb;
    const double hyp = std::sqrt(num * num + den * den);
    const double sinLat = num / hyp;
    const double cosLat = den / hyp;
    const double n = wgs84::a / std::sqrt(1.0 - wgs84::e2 * sinLat * sinLat);
    // The height formula that stays well-conditioned at every latitude.
    const double h = p * cosLat + ecef.z * sinLat - wgs84::a * wgs84::a / n;
    return {std::atan2(num, den) * kRadToDeg, lon * kRadToDeg, h};
}

LocalFrame FrameAt(double latitudeDeg, double longitudeDeg) {
    const double lat = latitudeDeg * kDegToRad;
    const double lon = longitudeDeg * kDegToRad;
    const double sLat = std::sin(lat);
    const double cLat = std::cos(lat);
    const double sLon = std::sin(lon);
    const double cLon = std::cos(lon);
    return {
        {-sLon, cLon, 0.0}, {-sLat * cLon, -sLat * sLon, cLat}, {cLat * cLon, cLat * sLon, sLat}};
}

double WrapDegrees(double degrees) {
    if (degrees >= -180.0 && degrees < 180.0) {
        return degrees; // exactly as given
    }
    double d = std::fmod(degrees + 180.0, 360.0);
    if (d < 0.0) {
        d += 360.0;
    }
    return d - 180.0;
}

double MetresPerDegreeLatitude(double latitudeDeg) {
    const double s = std::sin(latitudeDeg * kDegToRad);
    const double w = 1.0 - wgs84::e2 * s * s;
    return wgs84::a * (1.0 - wgs84::e2) / (w * std::sqrt(w)) * kDegToRad;
}

double MetresPerDegreeLongitude(double latitudeDeg) {
    const double lat = latitudeDeg * kDegToRad;
    const double s = std::sin(lat);
    return wgs84::a / std::sqrt(1.0 - wgs84::e2 * s * s) * std::cos(lat) * kDegToRad;
}

} // namespace scribeline::globe
