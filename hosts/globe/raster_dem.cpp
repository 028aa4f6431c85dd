#include "hosts/globe/raster_dem.hpp"

#include "hosts/globe/geodesy.hpp"
#include "platform/numbers.hpp"

#include <gdal_priv.h>
#include <gdal_utils.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>

namespace scribeline::globe {

namespace {

void RegisterDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

std::string LastGdalError() {
    const char* msg = CPLGetLastErrorMsg();
    return msg != nullptr && *msg != '\0' ? msg : "no reason given";
}

bool IsWgs84Geographic(const OGRSpatialReference& srs) {
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    return srs.IsGeographic() && srs.IsSameGeogCS(&wgs84) != 0;
}

struct DatasetCloser {
    void operator()(GDALDataset* ds) const { GDALClose(GDALDataset::ToHandle(ds)); }
};
using Dataset = std::unique_ptr<GDALDataset, DatasetCloser>;

// Output cells a third finer than the source's, so that the bilinear kernel never widens
// for downsampling: widened kernels are cut off unevenly and bend even a plane by metres.
double TargetResolution(GDALDataset& source, const OGRSpatialReference* srs) {
    std::array<double, 6> gt{};
    source.GetGeoTransform(gt.data());
    const double cell = std::min(std::hypot(gt[1], gt[4]), std::hypot(gt[2], gt[5]));
    double degrees = cell;
    if (srs != nullptr && srs->IsProjected()) {
        degrees = cell * srs->GetLinearUnits() / MetresPerDegreeLatitude(45.0);
    } else if (srs != nullptr && srs->IsGeographic()) {
        degrees = cell * srs->GetAngularUnits() * kRadToDeg;
    }
    return degrees / 1.5;
}

Dataset WarpToWgs84(GDALDataset& source, const OGRSpatialReference* srs, const std::string& name) {
    // Locale-free: GDAL reads the argument with a "." whatever LC_NUMERIC says.
    const std::string res = FormatSignificant(TargetResolution(source, srs), 17);
    // Exact transformation (-et 0): the default approximation shifts cells by up to an
    // eighth of a cell, which on a steep slope is metres of height.
    std::array<const char*, 18> args = {"-t_srs",
                                        "EPSG:4326",
                                        "-r",
                                        "bilinear",
                                        "-of",
                                        "MEM",
                                        "-ot",
                                        "Float32",
                                        "-et",
                                        "0",
                                        "-tr",
                                        res.c_str(),
                                        res.c_str(),
                                        "-dstnodata",
                                        "-3.4e38",
                                        "-wo",
                                        "INIT_DEST=NO_DATA",
                                        nullptr};
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(const_cast<char**>(args.data()), nullptr);
    GDALDatasetH src = GDALDataset::ToHandle(&source);
    int usageError = 0;
    GDALDatasetH out = GDALWarp("", nullptr, 1, &src, options, &usageError);
    GDALWarpAppOptionsFree(options);
    if (out == nullptr) {
        throw DemError("cannot reproject the DEM " + name + " to WGS 84: " + LastGdalError());
    }
    return Dataset(GDALDataset::FromHandle(out));
}

} // namespace

std::shared_ptr<const RasterDem> RasterDem::Load(const std::filesystem::path& path,
                                                 const DemOptions& options) {
    RegisterDrivers();
    const std::string name = path.string();
    CPLErrorReset();
    Dataset ds(GDALDataset::Open(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!ds) {
        throw DemError("cannot open the DEM " + name + ": " + LastGdalError());
    }
    if (options.band < 1 || options.band > ds->GetRasterCount()) {
        throw DemError("the DEM " + name + " has no band " + std::to_string(options.band));
    }
    std::array<double, 6> gt{};
    const bool hasTransform = ds->GetGeoTransform(gt.data()) == CE_None;
    if (!hasTransform) {
        throw DemError("the DEM " + name + " is not georeferenced");
    }
    const bool northUp = gt[2] == 0.0 && gt[4] == 0.0 && gt[1] > 0.0 && gt[5] < 0.0;
    const OGRSpatialReference* srs = ds->GetSpatialRef();
    bool geographic = false;
    if (srs == nullptr) {
        const double east = gt[0] + gt[1] * ds->GetRasterXSize();
        const double south = gt[3] + gt[5] * ds->GetRasterYSize();
        if (!northUp || gt[0] < -180.0 - 1e-9 || east > 360.0 + 1e-9 || gt[3] > 90.0 + 1e-9 ||
            south < -90.0 - 1e-9) {
            throw DemError("the DEM " + name +
                           " has no reference system and its extent is not in degrees");
        }
        geographic = true; // degrees without a reference system: read as WGS 84
    } else {
        geographic = IsWgs84Geographic(*srs);
    }
    if (!geographic || !northUp) {
        if (static_cast<long long>(ds->GetRasterXSize()) * ds->GetRasterYSize() * 9 / 4 >
            options.maxCells) {
            throw DemError("the DEM " + name + " would have more than the " +
                           std::to_string(options.maxCells) + " cells this client reads");
        }
        if (options.band != 1) {
            throw DemError("the DEM " + name + " needs reprojecting; only its band 1 can be");
        }
        ds = WarpToWgs84(*ds, srs, name);
        ds->GetGeoTransform(gt.data());
    }

    GDALRasterBand* band = ds->GetRasterBand(options.band);
    const int columns = ds->GetRasterXSize();
    const int rows = ds->GetRasterYSize();
    if (columns < 1 || rows < 1) {
        throw DemError("the DEM " + name + " is empty");
    }
    if (static_cast<long long>(columns) * rows > options.maxCells) {
        throw DemError("the DEM " + name + " has " + std::to_string(columns) + " x " +
                       std::to_string(rows) + " cells, more than the " +
                       std::to_string(options.maxCells) + " this client reads");
    }
    std::shared_ptr<RasterDem> dem(new RasterDem());
    dem->cells_.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    if (band->RasterIO(GF_Read, 0, 0, columns, rows, dem->cells_.data(), columns, rows, GDT_Float32,
                       0, 0, nullptr) != CE_None) {
        throw DemError("cannot read the DEM " + name + ": " + LastGdalError());
    }
    int hasNoData = 0;
    const double noData = band->GetNoDataValue(&hasNoData);
    const float noDataF = static_cast<float>(noData);
    const double scale = band->GetScale();
    const double offset = band->GetOffset();
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    std::size_t withData = 0;
    for (float& v : dem->cells_) {
        // The warp's own fill value marks cells the source does not reach.
        if (std::isnan(v) || (hasNoData != 0 && v == noDataF) || v <= -3.0e38f) {
            v = kNaN;
        } else {
            v = static_cast<float>(static_cast<double>(v) * scale + offset);
            ++withData;
        }
    }
    if (withData == 0) {
        throw DemError("the DEM " + name + " holds no data: every cell is nodata");
    }

    dem->description_ = path.filename().string();
    dem->columns_ = columns;
    dem->rows_ = rows;
    dem->west_ = gt[0];
    dem->north_ = gt[3];
    dem->cellLon_ = gt[1];
    dem->cellLat_ = -gt[5];
    dem->wraps_ = std::abs(columns * gt[1] - 360.0) < 0.5 * gt[1];
    dem->fallback_ = options.fallback;

    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    double slope = 0.0;
    const auto cell = [&](int r, int c) -> double {
        return dem->cells_[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                           static_cast<std::size_t>(c)];
    };
    const double poleward = std::min(std::abs(dem->north_), 90.0) > std::abs(dem->South())
                                ? std::min(std::abs(dem->north_), 90.0)
                                : std::min(std::abs(dem->South()), 90.0);
    dem->postMetres_ = std::max(std::min(MetresPerDegreeLongitude(poleward) * dem->cellLon_,
                                         MetresPerDegreeLatitude(0.0) * dem->cellLat_),
                                1e-3);
    for (int r = 0; r < rows; ++r) {
        const double lat = std::clamp(dem->north_ - (r + 0.5) * dem->cellLat_, -90.0, 90.0);
        const double dx = std::max(MetresPerDegreeLongitude(lat) * dem->cellLon_, 1.0);
        const double dy = MetresPerDegreeLatitude(lat) * dem->cellLat_;
        for (int c = 0; c < columns; ++c) {
            const double v = cell(r, c);
            if (std::isnan(v)) {
                continue;
            }
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            double east = 0.0;
            double south = 0.0;
            if (c + 1 < columns && !std::isnan(cell(r, c + 1))) {
                east = std::abs(cell(r, c + 1) - v) / dx;
            }
            if (r + 1 < rows && !std::isnan(cell(r + 1, c))) {
                south = std::abs(cell(r + 1, c) - v) / dy;
            }
            slope = std::max(slope, east + south);
        }
    }
    dem->dataMin_ = lo;
    dem->dataMax_ = hi;
    // East plus south of one post bounds the steepest bilinear ground only within the
    // rounding of the cell's latitude; the margin covers it.
    dem->dataSlope_ = 1.01 * slope;
    dem->BuildBlendWeights();
    if (dem->fallback_) {
        lo = std::min(lo, dem->fallback_->MinElevation());
        hi = std::max(hi, dem->fallback_->MaxElevation());
        slope = std::max(dem->dataSlope_, dem->fallback_->MaxSlope());
    } else {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, 0.0);
        slope = dem->dataSlope_;
    }
    dem->min_ = lo;
    dem->max_ = hi;
    dem->slope_ = slope;

    constexpr int kTile = 16;
    const int tileColumns = (columns + kTile - 1) / kTile;
    const int tileRows = (rows + kTile - 1) / kTile;
    std::vector<double> tileMax(
        static_cast<std::size_t>(tileColumns) * static_cast<std::size_t>(tileRows), -1e300);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const double v = cell(r, c);
            if (std::isnan(v)) {
                continue;
            }
            // A cell shapes the ground up to one cell beyond it: it counts in the tiles
            // its neighbours fall in too.
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int tr = std::clamp(r + dr, 0, rows - 1) / kTile;
                    int cc = c + dc;
                    cc = dem->wraps_ ? (cc + columns) % columns : std::clamp(cc, 0, columns - 1);
                    double& m = tileMax[static_cast<std::size_t>(tr) *
                                            static_cast<std::size_t>(tileColumns) +
                                        static_cast<std::size_t>(cc / kTile)];
                    m = std::max(m, v);
                }
            }
        }
    }
    // Per tile: the steepest cell edge from a post of it (counted in the neighbouring tiles
    // too, like the heights), and whether band posts lie in it.
    std::vector<double> tileSlope(tileMax.size(), 0.0);
    std::vector<double> tileBand(tileMax.size(), 0.0);
    for (int r = 0; r < rows; ++r) {
        const double lat = std::clamp(dem->north_ - (r + 0.5) * dem->cellLat_, -90.0, 90.0);
        const double dx = std::max(MetresPerDegreeLongitude(lat) * dem->cellLon_, 1.0);
        const double dy = MetresPerDegreeLatitude(lat) * dem->cellLat_;
        for (int c = 0; c < columns; ++c) {
            const double v = cell(r, c);
            const std::size_t i = static_cast<std::size_t>(r) * static_cast<std::size_t>(columns) +
                                  static_cast<std::size_t>(c);
            double local = 0.0;
            if (!std::isnan(v)) {
                for (int dr = -1; dr <= 1; ++dr) {
                    for (int dc = -1; dc <= 1; ++dc) {
                        const int rr = r + dr;
                        const int cc = dem->wraps_ ? (c + dc + columns) % columns : c + dc;
                        if (rr < 0 || rr >= rows || cc < 0 || cc >= columns ||
                            std::isnan(cell(rr, cc))) {
                            continue;
                        }
                        local = std::max(local, std::abs(cell(rr, cc) - v) *
                                                    (std::abs(dc) / dx + std::abs(dr) / dy));
                    }
                }
            }
            const bool inBand = dem->nearBlend_[i] != 0;
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int tr = std::clamp(r + dr, 0, rows - 1) / kTile;
                    int cc = c + dc;
                    cc = dem->wraps_ ? (cc + columns) % columns : std::clamp(cc, 0, columns - 1);
                    const std::size_t t =
                        static_cast<std::size_t>(tr) * static_cast<std::size_t>(tileColumns) +
                        static_cast<std::size_t>(cc / kTile);
                    tileSlope[t] = std::max(tileSlope[t], 1.01 * local);
                    tileBand[t] = inBand ? 1.0 : tileBand[t];
                }
            }
        }
    }
    const bool tilesWrap = dem->wraps_ && columns % kTile == 0;
    dem->bounds_ = HeightBounds(dem->west_, dem->north_, kTile * dem->cellLon_, tileColumns,
                                tileRows, tilesWrap, std::move(tileMax));
    dem->slopeBounds_ = HeightBounds(dem->west_, dem->north_, kTile * dem->cellLon_, tileColumns,
                                     tileRows, tilesWrap, std::move(tileSlope));
    dem->bandBounds_ = HeightBounds(dem->west_, dem->north_, kTile * dem->cellLon_, tileColumns,
                                    tileRows, tilesWrap, std::move(tileBand));
    return dem;
}

double RasterDem::Fallback(double latitude, double longitude) const {
    return fallback_ ? fallback_->Elevation(latitude, longitude) : 0.0;
}

bool RasterDem::Covers(double latitude, double longitude) const {
    double rel = longitude - west_;
    rel -= 360.0 * std::floor(rel / 360.0);
    return latitude <= north_ && latitude >= South() && (wraps_ || rel <= columns_ * cellLon_);
}

RasterDem::Posts RasterDem::PostsAround(double latitude, double longitude,
                                        bool clampToCentres) const {
    double rel = longitude - west_;
    rel -= 360.0 * std::floor(rel / 360.0);
    const double x = rel / cellLon_ - 0.5;
    const double y = (north_ - latitude) / cellLat_ - 0.5;
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const auto column = [this](double c) {
        auto i = static_cast<long long>(c);
        if (wraps_) {
            i %= columns_;
            return static_cast<std::size_t>(i < 0 ? i + columns_ : i);
        }
        return static_cast<std::size_t>(std::clamp(i, 0LL, static_cast<long long>(columns_ - 1)));
    };
    const auto row = [this](double r) {
        return static_cast<std::size_t>(
            std::clamp(static_cast<long long>(r), 0LL, static_cast<long long>(rows_ - 1)));
    };
    const auto stride = static_cast<std::size_t>(columns_);
    const std::size_t c0 = column(fx);
    const std::size_t c1 = column(fx + 1.0);
    const std::size_t r0 = row(fy) * stride;
    const std::size_t r1 = row(fy + 1.0) * stride;
    Posts posts;
    posts.at = {r0 + c0, r0 + c1, r1 + c0, r1 + c1};
    posts.tx = clampToCentres ? std::clamp(x - fx, 0.0, 1.0) : x - fx;
    posts.ty = clampToCentres ? std::clamp(y - fy, 0.0, 1.0) : y - fy;
    return posts;
}

std::optional<double> RasterDem::Interpolate(const Posts& posts) const {
    const std::array<double, 4> w = posts.Weights();
    double sum = 0.0;
    double weight = 0.0;
    // The small floor keeps a point on a post without data from dividing by zero: it takes
    // the mean of the neighbours that have data.
    for (std::size_t i = 0; i < 4; ++i) {
        const auto v = static_cast<double>(cells_[posts.at[i]]);
        if (!std::isnan(v)) {
            sum += (w[i] + 1e-9) * v;
            weight += w[i] + 1e-9;
        }
    }
    if (weight <= 0.0) {
        return std::nullopt;
    }
    return sum / weight;
}

std::optional<double> RasterDem::Value(double latitude, double longitude) const {
    if (!Covers(latitude, longitude)) {
        return std::nullopt;
    }
    return Interpolate(PostsAround(latitude, longitude, false));
}

double RasterDem::Blend(double latitude, double longitude, double& value) const {
    if (!Covers(latitude, longitude)) {
        return 0.0;
    }
    const Posts posts = PostsAround(latitude, longitude, false);
    const std::array<double, 4> w = posts.Weights();
    double blend = 0.0;
    for (std::size_t i = 0; i < 4; ++i) {
        blend += w[i] * static_cast<double>(weight_[posts.at[i]]);
    }
    if (blend <= 0.0) {
        return 0.0;
    }
    // Where the weight is above 0 all four posts hold data (a post next to a hole weighs 0).
    value = Interpolate(posts).value_or(0.0);
    return std::min(blend, 1.0);
}

double RasterDem::Elevation(double latitude, double longitude) const {
    const double lat = std::clamp(latitude, -90.0, 90.0);
    if (const auto v = Value(lat, longitude)) {
        return *v;
    }
    return Fallback(lat, longitude);
}

void RasterDem::BuildBlendWeights() {
    band_ = std::clamp(std::min(columns_, rows_) / 16, 2, 8);
    const std::size_t n = cells_.size();
    const auto at = [this](int r, int c) {
        return static_cast<std::size_t>(r) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(c);
    };
    // Chessboard distance in posts to the nearest post without data or off the raster (a
    // raster round the globe has no east or west edge).
    std::vector<int> dist(n);
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c) {
            int d = std::min(r + 1, rows_ - r);
            if (!wraps_) {
                d = std::min({d, c + 1, columns_ - c});
            }
            dist[at(r, c)] = std::isnan(cells_[at(r, c)]) ? 0 : d;
        }
    }
    const auto relax = [&](int r, int c, int dr, int dc) {
        const int rr = r + dr;
        int cc = c + dc;
        if (rr < 0 || rr >= rows_) {
            return;
        }
        if (cc < 0 || cc >= columns_) {
            if (!wraps_) {
                return;
            }
            cc = (cc + columns_) % columns_;
        }
        dist[at(r, c)] = std::min(dist[at(r, c)], dist[at(rr, cc)] + 1);
    };
    // Two chamfer passes, plus a third and fourth for the seam of a raster round the globe.
    for (int pass = 0; pass < (wraps_ ? 2 : 1); ++pass) {
        for (int r = 0; r < rows_; ++r) {
            for (int c = 0; c < columns_; ++c) {
                relax(r, c, -1, -1);
                relax(r, c, -1, 0);
                relax(r, c, -1, 1);
                relax(r, c, 0, -1);
            }
        }
        for (int r = rows_ - 1; r >= 0; --r) {
            for (int c = columns_ - 1; c >= 0; --c) {
                relax(r, c, 1, 1);
                relax(r, c, 1, 0);
                relax(r, c, 1, -1);
                relax(r, c, 0, 1);
            }
        }
    }
    weight_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        weight_[i] = static_cast<float>(std::clamp((dist[i] - 1.0) / band_, 0.0, 1.0));
    }
    holes_ = std::any_of(cells_.begin(), cells_.end(), [](float v) { return std::isnan(v); });
    nearBlend_.assign(n, 0);
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c) {
            if (weight_[at(r, c)] >= 1.0f) {
                continue;
            }
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int rr = std::clamp(r + dr, 0, rows_ - 1);
                    const int cc = wraps_ ? (c + dc + columns_) % columns_
                                          : std::clamp(c + dc, 0, columns_ - 1);
                    nearBlend_[at(rr, cc)] = 1;
                }
            }
        }
    }
}

double RasterDem::BlendWeight(double latitude, double longitude) const {
    if (!Covers(latitude, longitude)) {
        return 0.0;
    }
    // Off the post centres (the outer half post) the edge posts, whose weight is 0, extend.
    const Posts posts = PostsAround(latitude, longitude, true);
    const auto w = [this, &posts](std::size_t corner) {
        return static_cast<double>(weight_[posts.at[corner]]);
    };
    const double north = w(0) + (w(1) - w(0)) * posts.tx;
    const double south = w(2) + (w(3) - w(2)) * posts.tx;
    return north + (south - north) * posts.ty;
}

bool RasterDem::Near(double latitude, double longitude, double radius) const {
    const double dLat = DegreesOfLatitudeSpanned(radius) + cellLat_;
    if (latitude - dLat > north_ || latitude + dLat < South()) {
        return false;
    }
    if (wraps_) {
        return true;
    }
    const double widest =
        std::min(89.9, std::max(std::abs(latitude - dLat), std::abs(latitude + dLat)));
    const double dLon = DegreesOfLongitudeSpanned(radius, widest) + cellLon_;
    if (dLon >= 180.0) {
        return true;
    }
    double rel = longitude - west_;
    rel -= 360.0 * std::floor(rel / 360.0); // 0..360 east of the west edge
    const double width = columns_ * cellLon_;
    return rel <= width + dLon || rel >= 360.0 - dLon;
}

double RasterDem::DataSlopeNear(double latitude, double longitude, double radius) const {
    if (!Near(latitude, longitude, radius)) {
        return 0.0;
    }
    if (std::abs(cellLon_ - cellLat_) > 1e-12 * cellLat_) {
        return dataSlope_;
    }
    return slopeBounds_.Near(latitude, longitude, radius, dataSlope_);
}

bool RasterDem::BandNear(double latitude, double longitude, double radius) const {
    return Near(latitude, longitude, radius) && BandWithin(latitude, longitude, radius);
}

bool RasterDem::SlopeNear(double latitude, double longitude, double radius, double& slope,
                          bool& band) const {
    if (!Near(latitude, longitude, radius)) {
        return false;
    }
    slope = std::abs(cellLon_ - cellLat_) > 1e-12 * cellLat_
                ? dataSlope_
                : slopeBounds_.Near(latitude, longitude, radius, dataSlope_);
    band = BandWithin(latitude, longitude, radius);
    return true;
}

// BandNear for a position the DEM is near.
bool RasterDem::BandWithin(double latitude, double longitude, double radius) const {
    if (!holes_ && !wraps_) {
        // Without holes the band is a strip along the edge: a disc inside the strip's inner
        // rim does not reach it.
        const double margin = (band_ + 2) * std::max(cellLat_, cellLon_);
        const double dLat = DegreesOfLatitudeSpanned(radius) + 1e-9;
        const double widest = std::min(89.9, std::abs(latitude) + dLat);
        const double dLon = DegreesOfLongitudeSpanned(radius, widest) + 1e-9;
        double rel = longitude - west_;
        rel -= 360.0 * std::floor(rel / 360.0);
        if (latitude + dLat < north_ - margin && latitude - dLat > South() + margin &&
            rel - dLon > margin && rel + dLon < columns_ * cellLon_ - margin) {
            return false;
        }
    }
    if (std::abs(cellLon_ - cellLat_) > 1e-12 * cellLat_) {
        return true;
    }
    return bandBounds_.Near(latitude, longitude, radius, 1.0) > 0.5;
}

double RasterDem::DataMaxNear(double latitude, double longitude, double radius) const {
    if (!Near(latitude, longitude, radius)) {
        return -std::numeric_limits<double>::infinity();
    }
    if (std::abs(cellLon_ - cellLat_) > 1e-12 * cellLat_) {
        return dataMax_;
    }
    return bounds_.Near(latitude, longitude, radius, dataMax_);
}

double RasterDem::MaxElevationNear(double latitude, double longitude, double radius) const {
    // Tiles are square in cells; with cells that are not square the rows are what the
    // bounds index, so a non-square raster only uses the global maximum.
    if (std::abs(cellLon_ - cellLat_) > 1e-12 * cellLat_) {
        return max_;
    }
    const double fallback =
        fallback_ ? fallback_->MaxElevationNear(latitude, longitude, radius) : 0.0;
    return std::max(DataMaxNear(latitude, longitude, radius), fallback);
}

double RasterDem::MinElevation() const {
    return min_;
}
double RasterDem::MaxElevation() const {
    return max_;
}
double RasterDem::MaxSlope() const {
    return slope_;
}
std::string RasterDem::Description() const {
    return description_;
}

} // namespace scribeline::globe
