#include "hosts/globe/camera.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace scribeline::globe {

namespace {

bool Finite(double v) {
    return std::isfinite(v);
}

// Entry and exit distances of a ray through the ellipsoid with the WGS 84 shape grown by
// `grow` metres (semi-axes a + grow, b + grow); nothing when the ray misses it.
std::optional<std::pair<double, double>> ShellCrossing(Vec3 origin, Vec3 direction, double grow) {
    const double ra = wgs84::a + grow;
    const double rb = wgs84::b + grow;
    const double k = ra / rb;
    const Vec3 o{origin.x, origin.y, origin.z * k};
    const Vec3 d{direction.x, direction.y, direction.z * k};
    const double qa = dot(d, d);
    const double qb = 2.0 * dot(o, d);
    const double qc = dot(o, o) - ra * ra;
    const double disc = qb * qb - 4.0 * qa * qc;
    if (disc < 0.0) {
        return std::nullopt;
    }
    const double s = std::sqrt(disc);
    // The numerically stable pair of roots.
    const double q = -0.5 * (qb + (qb >= 0.0 ? s : -s));
    double t1 = q / qa;
    double t2 = q != 0.0 ? qc / q : t1;
    if (t1 > t2) {
        std::swap(t1, t2);
    }
    return std::make_pair(t1, t2);
}

} // namespace

CameraState NormaliseCamera(const CameraState& camera, const char* operation) {
    const auto fail = [operation](const std::string& why) { throw PortError(operation, why); };
    if (!Finite(camera.FocusPointLatitude) || !Finite(camera.FocusPointLongitude) ||
        !Finite(camera.FocusPointAltitude) || !Finite(camera.Range) || !Finite(camera.Tilt) ||
        !Finite(camera.Azimuth)) {
        fail("camera values must be finite numbers");
    }
    if (std::abs(camera.FocusPointLatitude) > 90.0) {
        fail("focus point latitude must lie between -90 and 90 degrees");
    }
    if (!(camera.Range > 0.0)) {
        fail("range must be above 0 metres");
    }
    if (std::abs(camera.Tilt) > 90.0) {
        fail("tilt must lie between -90 and 90 degrees");
    }
    if (camera.FocusPointAltitudeMode < 0 || camera.FocusPointAltitudeMode > 5) {
        fail("altitude mode must be 0 to 5");
    }
    CameraState c = camera;
    c.FocusPointLongitude = WrapDegrees(c.FocusPointLongitude);
    c.Azimuth = WrapDegrees(c.Azimuth);
    return c;
}

double FocusHeight(const CameraState& camera, const TerrainSurface& surface) {
    const double ground = surface.Height(camera.FocusPointLatitude, camera.FocusPointLongitude);
    switch (camera.FocusPointAltitudeMode) {
    case 0:
        return ground;
    case 2:
        return camera.FocusPointAltitude;
    default:
        return ground + camera.FocusPointAltitude;
    }
}

CameraPose PoseFor(const CameraState& camera, double focusHeight, const TerrainSurface& surface,
                   int width, int height) {
    const LocalFrame frame = FrameAt(camera.FocusPointLatitude, camera.FocusPointLongitude);
    const double tilt = camera.Tilt * kDegToRad;
    const double azimuth = camera.Azimuth * kDegToRad;
    const Vec3 heading = frame.north * std::cos(azimuth) + frame.east * std::sin(azimuth);
    CameraPose pose;
    pose.focus = ToEcef({camera.FocusPointLatitude, camera.FocusPointLongitude, focusHeight});
    pose.forward = normalized(frame.up * -std::cos(tilt) + heading * std::sin(tilt));
    pose.up = normalized(frame.up * std::sin(tilt) + heading * std::cos(tilt));
    pose.right = cross(pose.forward, pose.up);
    pose.eye = pose.focus - pose.forward * camera.Range;
    const Geodetic eye = ToGeodetic(pose.eye);
    const double floor = surface.Height(eye.latitude, eye.longitude) + 1.0;
    if (eye.height < floor) {
        pose.eye = ToEcef({eye.latitude, eye.longitude, floor});
    }
    pose.tanHalfX = std::tan(0.5 * kHorizontalFieldOfViewDegrees * kDegToRad);
    pose.tanHalfY =
        pose.tanHalfX * (width > 0 ? static_cast<double>(std::max(height, 1)) / width : 1.0);
    return pose;
}

Vec3 RayDirection(const CameraPose& pose, double x, double y) {
    return normalized(pose.forward + pose.right * (x * pose.tanHalfX) +
                      pose.up * (y * pose.tanHalfY));
}

std::optional<ScreenPosition> Project(const CameraPose& pose, Vec3 point) {
    const Vec3 d = point - pose.eye;
    const double z = dot(d, pose.forward);
    if (z <= 1e-6) {
        return std::nullopt;
    }
    return ScreenPosition{dot(d, pose.right) / (z * pose.tanHalfX),
                          dot(d, pose.up) / (z * pose.tanHalfY), z};
}

std::optional<RayHit> CastRay(const TerrainSurface& surface, Vec3 origin, Vec3 direction,
                              double startDistance, double stride) {
    // The ray can only meet the ground between the shells of the highest and the lowest
    // ground; the margins cover the gap between a shell and a surface of constant height.
    const double top = surface.MaxHeight();
    const double bottom = surface.MinHeight();
    const auto outer = ShellCrossing(origin, direction, top + 10.0 + 0.01 * std::abs(top));
    if (!outer || outer->second <= 0.0) {
        return std::nullopt;
    }
    double t = std::max(0.0, outer->first);
    double end = outer->second;
    if (const auto inner =
            ShellCrossing(origin, direction, bottom - 10.0 - 0.01 * std::abs(bottom));
        inner && inner->first > 0.0) {
        end = std::min(end, inner->first);
    }

    struct Sample {
        double t = 0.0;
        Vec3 p;
        Geodetic g;
        double ground = 0.0;
        double clearance = 0.0;
    };
    const auto at = [&](double d) {
        Sample s;
        s.t = d;
        s.p = origin + direction * d;
        s.g = ToGeodetic(s.p);
        s.ground = surface.Height(s.g.latitude, s.g.longitude);
        s.clearance = s.g.height - s.ground;
        return s;
    };
    const auto hitOf = [](const Sample& s) {
        return RayHit{{s.g.latitude, s.g.longitude, s.ground}, s.p, s.t};
    };

    std::optional<Sample> first;
    if (startDistance > t && startDistance < end) {
        if (Sample s = at(startDistance); s.clearance > 0.0) {
            t = startDistance;
            first = s;
        }
    }
    constexpr double kTolerance = 1e-3; // metres above the ground that count as ground
    constexpr int kMaxSteps = 20000;
    Sample previous;
    bool havePrevious = false;
    for (int step = 0; step < kMaxSteps; ++step) {
        const Sample s = step == 0 && first ? *first : at(t);
        if (s.clearance <= kTolerance) {
            if (s.clearance >= -kTolerance || !havePrevious) {
                return hitOf(s);
            }
            // Stepped under the ground (a long stride, or the edge of a DEM): close in on
            // the crossing by false position, Illinois style.
            Sample lo = previous; // above
            Sample hi = s;        // below
            double fLo = lo.clearance;
            double fHi = hi.clearance;
            int last = 0;
            for (int i = 0; i < 100 && hi.t - lo.t > 1e-5; ++i) {
                double d = (lo.t * fHi - hi.t * fLo) / (fHi - fLo);
                if (!(d > lo.t && d < hi.t)) {
                    d = 0.5 * (lo.t + hi.t);
                }
                const Sample m = at(d);
                if (std::abs(m.clearance) <= kTolerance) {
                    return hitOf(m);
                }
                // A side kept twice has its value halved, so the bracket closes from both.
                if (m.clearance > 0.0) {
                    lo = m;
                    fLo = m.clearance;
                    if (last == 1) {
                        fHi *= 0.5;
                    }
                    last = 1;
                } else {
                    hi = m;
                    fHi = m.clearance;
                    if (last == -1) {
                        fLo *= 0.5;
                    }
                    last = -1;
                }
            }
            return hitOf(hi);
        }
        // The clearance can fall no faster than the ray descends plus the steepest ground
        // passes under it; the geocentric radial stands in for the normal (0.2 degrees off at
        // most, covered by the margin). Curvature only lifts the ray, so stepping that far
        // never crosses the ground.
        const Vec3 radial = normalized(s.p);
        const double rise = dot(direction, radial);
        if (rise > 0.004 && s.g.height > top) {
            return std::nullopt; // climbing above the highest ground: nothing more to meet
        }
        const double descent = std::max(0.0, -rise);
        const double across = std::sqrt(std::max(0.0, 1.0 - descent * descent));
        // The slope bound of the ground the step can pass over: the bound near the point for
        // the longest step the clearance allows; a shorter step stays inside that disc.
        const double reach = std::max(stride * s.clearance / (descent + 0.01), 1.0);
        const double slope = surface.MaxSlopeNear(s.g.latitude, s.g.longitude, reach);
        const double rate = descent + slope * across + 0.01;
        double advance = std::max(stride * s.clearance / rate, 1e-4);
        if (advance < 20000.0 && across > 0.3) {
            // Skimming over the ground: where the ray stays above the highest ground around,
            // it may go on until it sinks to that height or leaves the neighbourhood.
            const double around = std::max(8.0 * advance, 5000.0);
            const double roof = surface.MaxHeightNear(s.g.latitude, s.g.longitude, around);
            if (s.g.height > roof + 1.0) {
                const double sink = (s.g.height - roof) / std::max(descent, 1e-9);
                advance = std::max(advance, 0.99 * std::min(around, sink));
            }
        }
        previous = s;
        havePrevious = true;
        if (t >= end) {
            break;
        }
        // Never past the lowest ground's shell: a long stride lands there, under the ground.
        t = std::min(t + advance, end);
    }
    return std::nullopt;
}

ViewAngles AnglesAt(const Geodetic& point, Vec3 forward, Vec3 up) {
    const LocalFrame f = FrameAt(point.latitude, point.longitude);
    const double down = -dot(forward, f.up);
    const double horizontal = std::sqrt(std::max(0.0, 1.0 - down * down));
    ViewAngles a;
    a.tilt = std::atan2(horizontal, down) * kRadToDeg;
    // forward = -up0 cos(tilt) + heading sin(tilt) and up = up0 sin(tilt) + heading cos(tilt).
    const double tilt = a.tilt * kDegToRad;
    const Vec3 heading = up * std::cos(tilt) + forward * std::sin(tilt);
    a.azimuth = WrapDegrees(std::atan2(dot(heading, f.east), dot(heading, f.north)) * kRadToDeg);
    return a;
}

} // namespace scribeline::globe
