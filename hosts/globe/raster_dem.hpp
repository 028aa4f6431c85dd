// An elevation model read from a raster DEM through GDAL: any format GDAL reads (GeoTIFF,
// SRTM .hgt, ASCII grid, a VRT ...), reprojected to geographic WGS 84 on load when it is in
// another reference system, sampled bilinearly between post centres. On its own it falls back
// to another model off its edge and in its holes, with a cliff there; it also gives the blend
// weights with which a TerrainStack makes the ground continuous where the DEM ends.
#pragma once

#include "hosts/globe/terrain.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline::globe {

// A DEM that cannot be used: unreadable, too large, empty, all nodata, or without a usable
// reference system. The text names the file and the reason.
class DemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DemOptions {
    int band = 1;
    // Heights where the DEM has no data or does not reach: another model (shared, may be
    // null for the ellipsoid, height 0). A TerrainStack does its own layering and loads its
    // DEMs without one.
    std::shared_ptr<const ElevationModel> fallback;
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

    // Value() where there is one, else the fallback (a cliff at the edge and round holes:
    // MaxSlope() does not cover it; a TerrainStack blends instead).
    [[nodiscard]] double Elevation(double latitude, double longitude) const override;
    [[nodiscard]] double MinElevation() const override;
    [[nodiscard]] double MaxElevation() const override;
    [[nodiscard]] double MaxSlope() const override;
    [[nodiscard]] double MaxElevationNear(double latitude, double longitude,
                                          double radius) const override;
    [[nodiscard]] std::string Description() const override;

    // Bilinear between the four posts around the point, over the posts that hold data (their
    // weights renormalised); within half a post of the edge the edge posts extend outwards;
    // nothing off the raster or where none of the four holds data.
    [[nodiscard]] std::optional<double> Value(double latitude, double longitude) const;
    // How much the DEM itself counts at a position, 0 to 1, continuous: bilinear between post
    // weights that rise from 0 on the edge posts and on posts next to nodata to 1 at
    // BlendBand() posts further in; 0 off the raster.
    [[nodiscard]] double BlendWeight(double latitude, double longitude) const;
    // BlendWeight() and, where it is above 0, Value() into `value`, in one look.
    double Blend(double latitude, double longitude, double& value) const;
    // Width of the blending band in posts (>= 1).
    [[nodiscard]] int BlendBand() const { return band_; }
    // Calls `f(latitude, longitude, value)` for every post with data whose weight is below 1
    // or that neighbours one: where the DEM and the ground below it are mixed.
    template <class F> void ForEachBlendPost(F&& f) const {
        for (int r = 0; r < rows_; ++r) {
            for (int c = 0; c < columns_; ++c) {
                const std::size_t i =
                    static_cast<std::size_t>(r) * static_cast<std::size_t>(columns_) +
                    static_cast<std::size_t>(c);
                if (!std::isnan(cells_[i]) && nearBlend_[i] != 0) {
                    f(north_ - (r + 0.5) * cellLat_, west_ + (c + 0.5) * cellLon_,
                      static_cast<double>(cells_[i]));
                }
            }
        }
    }
    // Bounds and slope of the DEM's own data, without the fallback.
    [[nodiscard]] double DataMin() const { return dataMin_; }
    [[nodiscard]] double DataMax() const { return dataMax_; }
    [[nodiscard]] double DataSlope() const { return dataSlope_; }
    // The DEM's own slope bound within `radius` metres (0 where the DEM is further away).
    [[nodiscard]] double DataSlopeNear(double latitude, double longitude, double radius) const;
    // Whether posts of the blending band (weight below 1, or next to one) lie within `radius`
    // metres.
    [[nodiscard]] bool BandNear(double latitude, double longitude, double radius) const;
    // Both of the above in one look (the ray caster asks at every step): false when the DEM is
    // further away than `radius`.
    bool SlopeNear(double latitude, double longitude, double radius, double& slope,
                   bool& band) const;
    // The upper bound of the DEM's own heights within `radius` metres; -infinity where the
    // DEM is further away.
    [[nodiscard]] double DataMaxNear(double latitude, double longitude, double radius) const;
    // The shortest side of a post, metres.
    [[nodiscard]] double PostMetres() const { return postMetres_; }
    // Post spacing, degrees (the finer of the two axes); a finer DEM answers first.
    [[nodiscard]] double PostDegrees() const { return std::min(cellLon_, cellLat_); }
    // Whether a horizontal disc of `radius` metres round a position reaches the raster.
    [[nodiscard]] bool Near(double latitude, double longitude, double radius) const;

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
    // The four posts round a position on the raster (north-west, north-east, south-west,
    // south-east, as indices into the post arrays) and where the position lies between them.
    struct Posts {
        std::array<std::size_t, 4> at{};
        double tx = 0.0; // 0 at the western posts, 1 at the eastern
        double ty = 0.0; // 0 at the northern posts, 1 at the southern
        [[nodiscard]] std::array<double, 4> Weights() const {
            return {(1 - tx) * (1 - ty), tx * (1 - ty), (1 - tx) * ty, tx * ty};
        }
    };

    RasterDem() = default;
    // `clampToCentres`: beyond the outer post centres the edge posts extend.
    [[nodiscard]] Posts PostsAround(double latitude, double longitude, bool clampToCentres) const;
    // The posts' heights weighted bilinearly, skipping posts without data; nothing when none
    // has data.
    [[nodiscard]] std::optional<double> Interpolate(const Posts& posts) const;
    [[nodiscard]] double Fallback(double latitude, double longitude) const;
    void BuildBlendWeights();
    [[nodiscard]] bool BandWithin(double latitude, double longitude, double radius) const;

    std::string description_;
    std::vector<float> cells_;             // rows top to bottom; NaN = no data
    std::vector<float> weight_;            // per post, 0..1, see BlendWeight
    std::vector<unsigned char> nearBlend_; // per post: mixed with the ground below
    int band_ = 1;
    bool holes_ = false; // nodata posts inside the raster (bands round them)
    double dataMin_ = 0.0;
    double dataMax_ = 0.0;
    double dataSlope_ = 0.0;
    double postMetres_ = 1.0;
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
    HeightBounds bounds_;      // tiles of 16 x 16 cells, each grown by one cell for interpolation
    HeightBounds slopeBounds_; // the same tiles: the steepest cell touching each
    HeightBounds bandBounds_;  // the same tiles: 1 where band posts lie, else 0
    std::shared_ptr<const ElevationModel> fallback_;
};

} // namespace scribeline::globe
