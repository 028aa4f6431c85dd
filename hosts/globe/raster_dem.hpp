// An elevation model read from a raster DEM through GDAL: any format GDAL reads (GeoTIFF,
// SRTM .hgt, ASCII grid ...), reprojected to geographic WGS 84 on load when it is in another
// reference system, sampled bilinearly between post centres.
#pragma once

#include "hosts/globe/terrain.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline::globe {

// A DEM that cannot be used: unreadable, too large, or without a usable reference system.
class DemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DemOptions {
    int band = 1;
    // Heights where the DEM has no data or does not reach: another model (shared, may be
    // null for the ellipsoid, height 0). The built-in terrain by default, so that a local DEM
    // sits in a whole globe.
    std::shared_ptr<const ElevationModel> fallback = BuiltInTerrain();
    // Refuses rasters of more cells than this (after reprojection) rather than exhausting
    // memory; 4 bytes per cell.
    long long maxCells = 100'000'000;
};

class RasterDem final : public ElevationModel {
public:
    // Reads the whole band into memory. A raster without a reference system is taken as
    // geographic WGS 84 when its extent lies within -180..360 by -90..90 degrees. Vertical
    // values are metres above the ellipsoid after the band's scale and offset. Raises
    // DemError.
    static std::shared_ptr<const RasterDem> Load(const std::filesystem::path& path,
                                                 const DemOptions& options = {});

    // Bilinear between the four posts around the point, over the posts that hold data (their
    // weights renormalised); within half a post of the edge the edge posts extend outwards;
    // elsewhere, or where none of the four holds data, the fallback.
    [[nodiscard]] double Elevation(double latitude, double longitude) const override;
    [[nodiscard]] double MinElevation() const override;
    [[nodiscard]] double MaxElevation() const override;
    [[nodiscard]] double MaxSlope() const override;
    [[nodiscard]] double MaxElevationNear(double latitude, double longitude,
                                          double radius) const override;
    [[nodiscard]] std::string Description() const override;

    // Whether a position lies on the raster (the fallback is not used there unless the posts
    // around it hold no data).
    [[nodiscard]] bool Covers(double latitude, double longitude) const;
    [[nodiscard]] int Columns() const { return columns_; }
    [[nodiscard]] int Rows() const { return rows_; }
    // The raster's extent, degrees.
    [[nodiscard]] double West() const { return west_; }
    [[nodiscard]] double North() const { return north_; }
    [[nodiscard]] double East() const { return west_ + columns_ * cellLon_; }
    [[nodiscard]] double South() const { return north_ - rows_ * cellLat_; }

private:
    RasterDem() = default;
    [[nodiscard]] double Fallback(double latitude, double longitude) const;
    [[nodiscard]] std::optional<double> Sample(double latitude, double longitude) const;

    std::string description_;
    std::vector<float> cells_; // rows top to bottom; NaN = no data
    int columns_ = 0;
    int rows_ = 0;
    double west_ = 0.0;
    double north_ = 0.0;
    double cellLon_ = 1.0;
    double cellLat_ = 1.0;
    bool wraps_ = false; // covers all longitudes: interpolate across the raster's seam
    double min_ = 0.0;
    double max_ = 0.0;
    double slope_ = 0.0;
    HeightBounds bounds_; // tiles of 16 x 16 cells, each grown by one cell for interpolation
    std::shared_ptr<const ElevationModel> fallback_;
};

} // namespace scribeline::globe
