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
    for (float& v : dem->cells_) {
        if (std::isnan(v) || (hasNoData != 0 && v == noDataF)) {
            v = kNaN;
        } else {
            v = static_cast<float>(static_cast<double>(v) * scale + offset);
        }
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
    if (dem->fallback_) {
        lo = std::min(lo, dem->fallback_->MinElevation());
        hi = std::max(hi, dem->fallback_->MaxElevation());
        slope = std::max(slope, dem->fallback_->MaxSlope());
    } else {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, 0.0);
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
    dem->bounds_ = HeightBounds(dem->west_, dem->north_, kTile * dem->cellLon_, tileColumns,
                                tileRows, dem->wraps_ && columns % kTile == 0, std::move(tileMax));
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

std::optional<double> RasterDem::Sample(double latitude, double longitude) const {
    if (!Covers(latitude, longitude)) {
        return std::nullopt;
    }
    double rel = longitude - west_;
    rel -= 360.0 * std::floor(rel / 360.0);
    const double x = rel / cellLon_ - 0.5;
    const double y = (north_ - latitude) / cellLat_ - 0.5;
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const double tx = x - fx;
    const double ty = y - fy;
    const auto column = [this](double c) {
        auto i = static_cast<long long>(c);
        if (wraps_) {
            i %= columns_;
            return static_cast<int>(i < 0 ? i + columns_ : i);
        }
        return static_cast<int>(std::clamp(i, 0LL, static_cast<long long>(columns_ - 1)));
    };
    const auto row = [this](double r) {
        return static_cast<int>(
            std::clamp(static_cast<long long>(r), 0LL, static_cast<long long>(rows_ - 1)));
    };
    const int c0 = column(fx);
    const int c1 = column(fx + 1.0);
    const int r0 = row(fy);
    const int r1 = row(fy + 1.0);
    const std::array<double, 4> v = {
        cells_[static_cast<std::size_t>(r0) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(c0)],
        cells_[static_cast<std::size_t>(r0) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(c1)],
        cells_[static_cast<std::size_t>(r1) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(c0)],
        cells_[static_cast<std::size_t>(r1) * static_cast<std::size_t>(columns_) +
               static_cast<std::size_t>(c1)]};
    const std::array<double, 4> w = {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
    double sum = 0.0;
    double weight = 0.0;
    // The small floor keeps a point on a post without data from dividing by zero: it takes
    // the mean of the neighbours that have data.
    for (std::size_t i = 0; i < 4; ++i) {
        if (!std::isnan(v[i])) {
            sum += (w[i] + 1e-9) * v[i];
            weight += w[i] + 1e-9;
        }
    }
    if (weight <= 0.0) {
        return std::nullopt;
    }
    return sum / weight;
}

double RasterDem::Elevation(double latitude, double longitude) const {
    const double lat = std::clamp(latitude, -90.0, 90.0);
    if (const auto v = Sample(lat, longitude)) {
        return *v;
    }
    return Fallback(lat, longitude);
}

double RasterDem::MaxElevationNear(double latitude, double longitude, double radius) const {
    // Tiles are square in cells; with cells that are not square the rows are what the
    // bounds index, so a non-square raster only uses the global maximum.
    if (std::abs(cellLon_ - cellLat_) > 1e-12 * cellLat_) {
        return max_;
    }
    const double fallback =
        fallback_ ? fallback_->MaxElevationNear(latitude, longitude, radius) : 0.0;
    return std::max(bounds_.Near(latitude, longitude, radius, max_), fallback);
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
