#include "tests/hosts/globe/synthetic_terrain.hpp"

#include "hosts/globe/geodesy.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace scribeline::globe::testing {

namespace {

// A smooth bump on the sphere: centre, angular radius (degrees) and height (metres).
struct Blob {
    double latitude;
    double longitude;
    double radius;
    double height;
};

// Land masses. The ground is the highest of their bumps, so overlapping blobs make one
// continent instead of piling up.
constexpr std::array kContinents = {
    // Eurasia
    Blob{50, 10, 18, 1},
    Blob{55, 40, 20, 1},
    Blob{60, 80, 25, 1},
    Blob{45, 105, 22, 1},
    Blob{65, 120, 20, 1},
    Blob{30, 45, 15, 1},
    Blob{22, 78, 12, 1},
    Blob{35, 110, 15, 1},
    Blob{15, 100, 10, 1},
    Blob{40, 0, 8, 1},
    Blob{32, 88, 12, 1},
    // Africa
    Blob{10, 20, 25, 1},
    Blob{-10, 25, 20, 1},
    Blob{25, 15, 15, 1},
    Blob{-25, 25, 12, 1},
    // North America and Greenland
    Blob{45, -100, 22, 1},
    Blob{60, -110, 20, 1},
    Blob{65, -150, 12, 1},
    Blob{35, -85, 12, 1},
    Blob{20, -100, 10, 1},
    Blob{70, -80, 12, 1},
    Blob{72, -40, 12, 1},
    // South America
    Blob{-5, -60, 18, 1},
    Blob{-25, -60, 14, 1},
    Blob{-40, -68, 8, 1},
    // Australia, Antarctica, and an island on the date line
    Blob{-25, 134, 15, 1},
    Blob{-90, 0, 22, 1},
    Blob{-17, 179, 4, 1},
};

// Mountain ranges and plateaus, added on top of the land.
constexpr std::array kMountains = {
    Blob{31, 86, 10, 4500},       // Himalaya and Tibet
    Blob{46.5, 10, 3, 2200},      // Alps
    Blob{42, -110, 8, 2500},      // Rockies
    Blob{-15, -70, 6, 3500},      // Andes
    Blob{-30, -69, 5, 3000},      // Andes
    Blob{0, 37, 6, 1500},         // East African highlands
    Blob{47, 102, 8, 1200},       // Mongolian plateau
    Blob{21, -101, 5, 1500},      // Mexican plateau
    Blob{-80, 30, 10, 1500},      // Antarctic ice
    Blob{-16.5, 179.5, 1.5, 900}, // date-line island peak
};

constexpr double kOceanFloor = -4000.0;
constexpr double kLandRise = 4400.0; // ocean floor to continent interior

// Half-degree posts of the coarse terrain.
constexpr int kColumns = 720;
constexpr int kRows = 361;
constexpr double kPostSpacing = 0.5;

// Noise octaves: spacing in degrees and amplitude in metres.
struct Octave {
    double spacing;
    double amplitude;
    std::uint32_t seed;
};
constexpr std::array kOctaves = {
    Octave{1.0 / 8.0, 350.0, 0x9E3779B9u},
    Octave{1.0 / 32.0, 110.0, 0x7F4A7C15u},
    Octave{1.0 / 128.0, 35.0, 0x94D049BBu},
    Octave{1.0 / 512.0, 11.0, 0xBF58476Du},
};

double Smooth(double t) {
    return t * t * (3.0 - 2.0 * t);
}

Vec3 UnitVector(double latitude, double longitude) {
    const double lat = latitude * kDegToRad;
    const double lon = longitude * kDegToRad;
    return {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
}

// (1 - x^2)^2 for x < 1, where x is the angular distance over the radius; the chord length
// stands in for the angle, which keeps the bump smooth and cheap.
double Bump(Vec3 p, Vec3 centre, double radiusDeg) {
    const Vec3 d = p - centre;
    const double chord = 2.0 * std::sin(0.5 * radiusDeg * kDegToRad);
    const double x2 = dot(d, d) / (chord * chord);
    if (x2 >= 1.0) {
        return 0.0;
    }
    const double t = 1.0 - x2;
    return t * t;
}

double CoarseElevation(double latitude, double longitude) {
    const Vec3 p = UnitVector(latitude, longitude);
    double land = 0.0;
    for (const Blob& c : kContinents) {
        land = std::max(land, Bump(p, UnitVector(c.latitude, c.longitude), c.radius));
    }
    // Steep shelves and flat interiors: land wherever a bump passes about 0.3.
    double h = kOceanFloor + kLandRise * Smooth(std::min(1.0, 2.5 * land));
    for (const Blob& m : kMountains) {
        h += m.height * Bump(p, UnitVector(m.latitude, m.longitude), m.radius);
    }
    return h;
}

// Uniform in [-1, 1] from a lattice post.
double Hash(std::uint32_t i, std::uint32_t j, std::uint32_t seed) {
    std::uint32_t h = i * 0x8DA6B343u ^ j * 0xD8163841u ^ seed;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return static_cast<double>(h & 0xFFFFFFu) / 8388607.5 - 1.0;
}

// Value noise on a lattice of `spacing` degrees that wraps around the globe. Longitude in
// [-180, 180), latitude in [-90, 90].
double Noise(double latitude, double longitude, const Octave& octave) {
    const double perDegree = 1.0 / octave.spacing;
    const auto columns = static_cast<std::uint32_t>(360.0 * perDegree + 0.5);
    const double u = (longitude + 180.0) * perDegree;
    const double v = (latitude + 90.0) * perDegree;
    // u and v are not negative, so truncation is the floor (and much cheaper).
    std::uint32_t ia = static_cast<std::uint32_t>(u);
    const auto ja = static_cast<std::uint32_t>(v);
    const double tu = Smooth(u - ia);
    const double tv = Smooth(v - ja);
    if (ia >= columns) {
        ia -= columns;
    }
    const std::uint32_t ib = ia + 1 == columns ? 0 : ia + 1;
    const std::uint32_t jb = ja + 1;
    const double a = Hash(ia, ja, octave.seed);
    const double b = Hash(ib, ja, octave.seed);
    const double c = Hash(ia, jb, octave.seed);
    const double d = Hash(ib, jb, octave.seed);
    const double low = a + (b - a) * tu;
    const double high = c + (d - c) * tu;
    return low + (high - low) * tv;
}

// cos(latitude) at every tenth of a degree, linearly between: the detail weight needs it
// on every terrain query.
struct CosineTable {
    std::array<double, 1802> values{};
    CosineTable() {
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = std::max(0.0, std::cos((static_cast<double>(i) * 0.1 - 90.0) * kDegToRad));
        }
        values[0] = 0.0;
        values[1800] = 0.0;
        values[1801] = 0.0;
    }
    [[nodiscard]] double operator()(double latitude) const {
        const double x = (latitude + 90.0) * 10.0;
        const auto i = static_cast<std::size_t>(x);
        return values[i] + (values[i + 1] - values[i]) * (x - static_cast<double>(i));
    }
};

// Detail is strongest on land and fades towards the poles with the meridians' convergence,
// which keeps its slope bounded and the poles single-valued.
double DetailWeight(double coarse, double latitude) {
    static const CosineTable cosine;
    const double t = std::clamp((coarse + 200.0) * (1.0 / 800.0), 0.0, 1.0);
    return (0.35 + 0.65 * Smooth(t)) * cosine(latitude);
}

} // namespace

struct DefaultTerrain::Baked {
    std::vector<double> posts; // kRows x kColumns, row 0 at latitude -90
    double minElevation = 0.0;
    double maxElevation = 0.0;
    double maxSlope = 0.0;
    HeightBounds bounds;

    Baked() : posts(static_cast<std::size_t>(kRows) * kColumns) {
        for (int r = 0; r < kRows; ++r) {
            const double lat = -90.0 + r * kPostSpacing;
            for (int c = 0; c < kColumns; ++c) {
                // Pole rows are one point each.
                const double lon = (r == 0 || r == kRows - 1) ? 0.0 : -180.0 + c * kPostSpacing;
                at(r, c) = CoarseElevation(lat, lon);
            }
        }
        double coarseMin = posts[0];
        double coarseMax = posts[0];
        double coarseSlope = 0.0;
        for (int r = 0; r < kRows; ++r) {
            const double lat = -90.0 + r * kPostSpacing;
            const double dx = std::max(MetresPerDegreeLongitude(lat) * kPostSpacing, 1.0);
            const double dy = MetresPerDegreeLatitude(lat) * kPostSpacing;
            for (int c = 0; c < kColumns; ++c) {
                coarseMin = std::min(coarseMin, at(r, c));
                coarseMax = std::max(coarseMax, at(r, c));
                const double east = std::abs(at(r, (c + 1) % kColumns) - at(r, c)) / dx;
                const double north = r + 1 < kRows ? std::abs(at(r + 1, c) - at(r, c)) / dy : 0.0;
                coarseSlope = std::max(coarseSlope, east + north);
            }
        }
        double amplitude = 0.0;
        double noiseSlope = 0.0;
        for (const Octave& o : kOctaves) {
            amplitude += o.amplitude;
            // Smoothstep interpolation steepens a lattice step by at most 1.5.
            noiseSlope += 1.5 * 2.0 * o.amplitude / (MetresPerDegreeLatitude(0.0) * o.spacing);
        }
        minElevation = coarseMin - amplitude;
        maxElevation = coarseMax + amplitude;
        // Per cell: the highest corner (the interpolation never exceeds it) plus the most
        // detail the cell can carry.
        std::vector<double> cellMax(static_cast<std::size_t>(kRows - 1) * kColumns);
        for (int r = 0; r + 1 < kRows; ++r) {
            const int southRow = kRows - 2 - r; // bounds run north to south
            for (int c = 0; c < kColumns; ++c) {
                const int c1 = (c + 1) % kColumns;
                const double top = std::max(
                    {at(southRow, c), at(southRow, c1), at(southRow + 1, c), at(southRow + 1, c1)});
                const double lat0 = -90.0 + southRow * kPostSpacing;
                const double cosMax = std::max(std::cos(lat0 * kDegToRad),
                                               std::cos((lat0 + kPostSpacing) * kDegToRad));
                const double weight = (lat0 < 0.0 && lat0 + kPostSpacing > 0.0) ? 1.0 : cosMax;
                cellMax[static_cast<std::size_t>(r) * kColumns + static_cast<std::size_t>(c)] =
                    top + 1.001 * DetailWeight(top, 0.0) * std::min(1.0, weight + 1e-3) * amplitude;
            }
        }
        bounds =
            HeightBounds(-180.0, 90.0, kPostSpacing, kColumns, kRows - 1, true, std::move(cellMax));
        // Smoothstep steepens the coarse grid too; the weight's own change adds a little.
        maxSlope = 1.1 * (1.5 * coarseSlope + std::sqrt(2.0) * noiseSlope);
    }

    double& at(int r, int c) {
        return posts[static_cast<std::size_t>(r) * kColumns + static_cast<std::size_t>(c)];
    }
    [[nodiscard]] double at(int r, int c) const {
        return posts[static_cast<std::size_t>(r) * kColumns + static_cast<std::size_t>(c)];
    }

    [[nodiscard]] double Coarse(double latitude, double longitude) const {
        // Longitude in [-180, 180) and latitude in [-90, 90]: u and v are not negative.
        const double u = (longitude + 180.0) * (1.0 / kPostSpacing);
        const double v = (latitude + 90.0) * (1.0 / kPostSpacing);
        const int c0 = std::min(static_cast<int>(u), kColumns - 1);
        const int c1 = c0 + 1 == kColumns ? 0 : c0 + 1;
        const int r0 = std::min(static_cast<int>(v), kRows - 2);
        const double tu = Smooth(std::clamp(u - c0, 0.0, 1.0));
        const double tv = Smooth(std::clamp(v - r0, 0.0, 1.0));
        const double low = at(r0, c0) + (at(r0, c1) - at(r0, c0)) * tu;
        const double high = at(r0 + 1, c0) + (at(r0 + 1, c1) - at(r0 + 1, c0)) * tu;
        return low + (high - low) * tv;
    }
};

DefaultTerrain::DefaultTerrain() {
    static const Baked* const shared = new Baked();
    baked_ = shared;
}

double DefaultTerrain::Elevation(double latitude, double longitude) const {
    const double lat = std::clamp(latitude, -90.0, 90.0);
    const double lon =
        longitude >= -180.0 && longitude < 180.0 ? longitude : WrapDegrees(longitude);
    const double coarse = baked_->Coarse(lat, lon);
    double detail = 0.0;
    for (const Octave& o : kOctaves) {
        detail += o.amplitude * Noise(lat, lon, o);
    }
    return coarse + DetailWeight(coarse, lat) * detail;
}

double DefaultTerrain::MaxElevationNear(double latitude, double longitude, double radius) const {
    return baked_->bounds.Near(latitude, longitude, radius, baked_->maxElevation);
}

double DefaultTerrain::MinElevation() const {
    return baked_->minElevation;
}
double DefaultTerrain::MaxElevation() const {
    return baked_->maxElevation;
}
double DefaultTerrain::MaxSlope() const {
    return baked_->maxSlope;
}
std::string DefaultTerrain::Description() const {
    return "built-in terrain";
}

std::int64_t DefaultTerrain::Checksum(const ElevationModel& model) {
    std::int64_t sum = 0;
    for (int lat = -89; lat <= 89; ++lat) {
        for (int lon = -180; lon < 180; ++lon) {
            sum += std::llround(10.0 * model.Elevation(lat, lon));
        }
    }
    return sum;
}

std::shared_ptr<const ElevationModel> BuiltInTerrain() {
    static const std::shared_ptr<const ElevationModel> terrain = std::make_shared<DefaultTerrain>();
    return terrain;
}

} // namespace scribeline::globe::testing
