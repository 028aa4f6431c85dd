#include "hosts/globe/base_earth.hpp"

#include "hosts/globe/geodesy.hpp"

#include <gdal_priv.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace scribeline::globe {

namespace {

constexpr int kColumns = 4320; // posts at longitudes 0, 1/12, ... 359 11/12 east
constexpr int kRows = 2161;    // posts at latitudes 90, 90 - 1/12, ... -90
constexpr double kPostsPerDegree = 12.0;
constexpr int kTile = 4; // posts per side of a height-bound tile (1/3 degree)
constexpr std::size_t kCount = static_cast<std::size_t>(kColumns) * kRows;

const char* const kPackageHint = "the Debian package ferret-datasets provides it";

std::filesystem::path DefaultCacheFolder() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/') {
        return std::filesystem::path(xdg) / "scribeline";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home) / ".cache" / "scribeline";
    }
    return {};
}

} // namespace

struct BaseEarth::Data {
    std::vector<float> posts; // kRows x kColumns, row 0 the north pole
    double min = 0.0;
    double max = 0.0;
    double slope = 0.0;
    HeightBounds heights;
    HeightBounds slopes;

    [[nodiscard]] double at(int r, int c) const {
        return static_cast<double>(
            posts[static_cast<std::size_t>(r) * kColumns + static_cast<std::size_t>(c)]);
    }
    void Derive();
};

struct BaseEarth::Lazy {
    std::once_flag once;
    std::unique_ptr<Data> data;
};

namespace {

// The posts read through GDAL, north row first; raises BaseEarthError.
std::vector<float> ReadNetCdf(const std::filesystem::path& file) {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    const std::string name = file.string();
    CPLErrorReset();
    std::unique_ptr<GDALDataset> ds(
        GDALDataset::Open(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!ds) {
        const char* why = CPLGetLastErrorMsg();
        throw BaseEarthError("cannot read the base Earth " + name + ": " +
                             (why != nullptr && *why != '\0' ? why : "GDAL cannot open it"));
    }
    if (ds->GetRasterXSize() != kColumns || ds->GetRasterYSize() != kRows ||
        ds->GetRasterCount() < 1) {
        throw BaseEarthError("the base Earth " + name +
                             " is not ETOPO5 (4320 by 2161 posts of 5 arc-minutes)");
    }
    // The file's axes are single precision, so GDAL reports cells a little irregular
    // (0.0833341 degrees); the posts are 1/12 degree apart by the data set's definition,
    // which is what the check allows for.
    std::array<double, 6> gt{};
    if (ds->GetGeoTransform(gt.data()) != CE_None || std::abs(gt[0] + 0.5 / 12.0) > 0.01 ||
        std::abs(gt[3] - 90.0 - 0.5 / 12.0) > 0.01 || gt[5] > 0.0) {
        throw BaseEarthError("the base Earth " + name +
                             " does not run from 0 degrees east and 90 degrees north");
    }
    std::vector<float> posts(kCount);
    GDALRasterBand* band = ds->GetRasterBand(1);
    if (band->RasterIO(GF_Read, 0, 0, kColumns, kRows, posts.data(), kColumns, kRows, GDT_Float32,
                       0, 0, nullptr) != CE_None) {
        throw BaseEarthError("cannot read the base Earth " + name + ": " + CPLGetLastErrorMsg());
    }
    int hasNoData = 0;
    const auto noData = static_cast<float>(band->GetNoDataValue(&hasNoData));
    for (float& v : posts) {
        // ETOPO5 has no holes; a missing value would be a damaged copy, read as sea level.
        if (!std::isfinite(v) || std::abs(v) > 20000.0f || (hasNoData != 0 && v == noData)) {
            v = 0.0f;
        }
    }
    // A pole is one point: its row's mean everywhere, so the ground there has one height.
    for (int r : {0, kRows - 1}) {
        double sum = 0.0;
        for (int c = 0; c < kColumns; ++c) {
            sum += static_cast<double>(
                posts[static_cast<std::size_t>(r) * kColumns + static_cast<std::size_t>(c)]);
        }
        const auto mean = static_cast<float>(sum / kColumns);
        std::fill_n(posts.begin() + static_cast<std::ptrdiff_t>(r) * kColumns, kColumns, mean);
    }
    return posts;
}

std::vector<float> ReadCache(const std::filesystem::path& cache) {
    std::error_code ec;
    if (cache.empty() || std::filesystem::file_size(cache, ec) != kCount * sizeof(float)) {
        return {};
    }
    std::vector<float> posts(kCount);
    std::ifstream in(cache, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(posts.data()),
                 static_cast<std::streamsize>(kCount * sizeof(float)))) {
        return {};
    }
    return posts;
}

// Best effort: a cache that cannot be written only makes the next start slower. Written
// under a temporary name and renamed, so a reader never sees half a file.
void WriteCache(const std::filesystem::path& cache, const std::vector<float>& posts) {
    if (cache.empty()) {
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(cache.parent_path(), ec);
    // A name of this process's own: two processes filling the cache at once do not mix.
    const std::filesystem::path temp = cache.string() + ".part" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out.write(reinterpret_cast<const char*>(posts.data()),
                       static_cast<std::streamsize>(posts.size() * sizeof(float)))) {
            out.close();
            std::filesystem::remove(temp, ec);
            return;
        }
    }
    std::filesystem::rename(temp, cache, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
    }
}

} // namespace

void BaseEarth::Data::Derive() {
    const auto [lo, hi] = std::minmax_element(posts.begin(), posts.end());
    min = static_cast<double>(*lo);
    max = static_cast<double>(*hi);
    constexpr int kTileRows = (kRows - 1) / kTile; // 540
    constexpr int kTileColumns = kColumns / kTile; // 1080
    std::vector<double> tileMax(static_cast<std::size_t>(kTileRows) * kTileColumns, -1e300);
    std::vector<double> tileSlope(tileMax.size(), 0.0);
    const double cell = 1.0 / kPostsPerDegree;
    slope = 0.0;
    for (int r = 0; r + 1 < kRows; ++r) {
        const double latNorth = 90.0 - r * cell;
        const double latSouth = latNorth - cell;
        // The narrowest metres per degree of longitude the cell has; a polar cell narrows to
        // nothing at the pole, but its one-valued pole row makes the slope there no steeper
        // than at its other edge.
        double narrowest =
            std::min(MetresPerDegreeLongitude(latNorth), MetresPerDegreeLongitude(latSouth));
        if (r == 0) {
            narrowest = MetresPerDegreeLongitude(latSouth);
        } else if (r + 2 == kRows) {
            narrowest = MetresPerDegreeLongitude(latNorth);
        }
        const double dx = std::max(narrowest * cell, 1.0);
        const double dy =
            std::min(MetresPerDegreeLatitude(latNorth), MetresPerDegreeLatitude(latSouth)) * cell;
        for (int c = 0; c < kColumns; ++c) {
            const int c1 = c + 1 == kColumns ? 0 : c + 1;
            const double a = at(r, c);
            const double b = at(r, c1);
            const double d = at(r + 1, c);
            const double e = at(r + 1, c1);
            const double sx = std::max(std::abs(b - a), std::abs(e - d)) / dx;
            const double sy = std::max(std::abs(d - a), std::abs(e - b)) / dy;
            // Bilinear ground is steepest along a cell edge: the two edges bound it.
            const double s = 1.01 * (sx + sy);
            slope = std::max(slope, s);
            const std::size_t t = static_cast<std::size_t>(r / kTile) * kTileColumns +
                                  static_cast<std::size_t>(c / kTile);
            tileMax[t] = std::max({tileMax[t], a, b, d, e});
            tileSlope[t] = std::max(tileSlope[t], s);
        }
    }
    heights = HeightBounds(0.0, 90.0, kTile * cell, kTileColumns, kTileRows, true, tileMax);
    slopes = HeightBounds(0.0, 90.0, kTile * cell, kTileColumns, kTileRows, true, tileSlope);
}

BaseEarth::BaseEarth(std::filesystem::path file, std::filesystem::path cacheFolder)
    : file_(std::move(file)),
      cacheFolder_(cacheFolder.empty() ? DefaultCacheFolder() : std::move(cacheFolder)),
      lazy_(std::make_unique<Lazy>()) {}

BaseEarth::~BaseEarth() = default;

void BaseEarth::Check() const {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file_, ec)) {
        throw BaseEarthError("the base Earth " + file_.string() + " is missing (" + kPackageHint +
                             ")");
    }
}

std::filesystem::path BaseEarth::CacheFile() const {
    if (cacheFolder_.empty()) {
        return {};
    }
    // Named after the source's size and time, so a replaced file is read afresh.
    std::error_code ec;
    const auto size = std::filesystem::file_size(file_, ec);
    const auto time = std::filesystem::last_write_time(file_, ec);
    const auto ticks = ec ? 0 : time.time_since_epoch().count();
    return cacheFolder_ /
           ("etopo5-" + std::to_string(size) + "-" + std::to_string(ticks) + "-v1.f32");
}

const BaseEarth::Data& BaseEarth::data() const {
    std::call_once(lazy_->once, [this] {
        Check();
        auto d = std::make_unique<Data>();
        const std::filesystem::path cache = CacheFile();
        d->posts = ReadCache(cache);
        if (d->posts.empty()) {
            d->posts = ReadNetCdf(file_);
            WriteCache(cache, d->posts);
        }
        d->Derive();
        lazy_->data = std::move(d);
    });
    return *lazy_->data;
}

void BaseEarth::Load() const {
    (void)data();
}

bool BaseEarth::Loaded() const {
    return lazy_->data != nullptr;
}

double BaseEarth::Elevation(double latitude, double longitude) const {
    const Data& d = data();
    const double lat = std::clamp(latitude, -90.0, 90.0);
    double x = longitude * kPostsPerDegree;
    if (x < 0.0 || x >= kColumns) {
        x -= kColumns * std::floor(x / kColumns);
    }
    int c0 = static_cast<int>(x);
    if (c0 >= kColumns) { // x rounded up to the seam
        c0 = 0;
        x = 0.0;
    }
    const int c1 = c0 + 1 == kColumns ? 0 : c0 + 1;
    const double y = (90.0 - lat) * kPostsPerDegree;
    const int r0 = std::min(static_cast<int>(y), kRows - 2);
    const double tx = x - c0;
    const double ty = y - r0;
    const double north = d.at(r0, c0) + (d.at(r0, c1) - d.at(r0, c0)) * tx;
    const double south = d.at(r0 + 1, c0) + (d.at(r0 + 1, c1) - d.at(r0 + 1, c0)) * tx;
    return north + (south - north) * ty;
}

double BaseEarth::MinElevation() const {
    return data().min;
}
double BaseEarth::MaxElevation() const {
    return data().max;
}
double BaseEarth::MaxSlope() const {
    return data().slope;
}
double BaseEarth::MaxElevationNear(double latitude, double longitude, double radius) const {
    const Data& d = data();
    return d.heights.Near(latitude, longitude, radius, d.max);
}
double BaseEarth::MaxSlopeNear(double latitude, double longitude, double radius) const {
    const Data& d = data();
    return d.slopes.Near(latitude, longitude, radius, d.slope);
}
std::string BaseEarth::Description() const {
    return "base Earth (ETOPO5)";
}

std::shared_ptr<const BaseEarth> SharedBaseEarth() {
    static const std::shared_ptr<const BaseEarth> earth = std::make_shared<BaseEarth>();
    return earth;
}

} // namespace scribeline::globe
