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
    // Bowring's method with one refinement: sub-millimetre for the heights a globe client
    // sees, and far cheaper than iterating to convergence.
    const double p = std::sqrt(ecef.x * ecef.x + ecef.y * ecef.y);
    const double lon = std::atan2(ecef.y, ecef.x);
    if (p < 1e-9) {
        const double lat = ecef.z >= 0.0 ? 90.0 : -90.0;
        return {lat, 0.0, std::abs(ecef.z) - wgs84::b};
    }
    double beta = std::atan2(ecef.z * wgs84::a, p * wgs84::b);
    double lat = 0.0;
    for (int i = 0; i < 2; ++i) {
        const double sb = std::sin(beta);
        const double cb = std::cos(beta);
        lat = std::atan2(ecef.z + wgs84::ep2 * wgs84::b * sb * sb * sb,
                         p - wgs84::e2 * wgs84::a * cb * cb * cb);
        beta = std::atan2((1.0 - wgs84::f) * std::sin(lat), std::cos(lat));
    }
    const double sinLat = std::sin(lat);
    const double cosLat = std::cos(lat);
    const double n = wgs84::a / std::sqrt(1.0 - wgs84::e2 * sinLat * sinLat);
    // The height formula that stays well-conditioned at every latitude.
    const double h = p * cosLat + ecef.z * sinLat - wgs84::a * wgs84::a / n;
    return {lat * kRadToDeg, lon * kRadToDeg, h};
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
