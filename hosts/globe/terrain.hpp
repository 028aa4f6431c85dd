// Elevation models of the simulated globe: the built-in default terrain that covers the whole
// globe, and the surface the camera sees (a model with the terrain layer switch and the
// elevation exaggeration applied).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scribeline::globe {

// Ground heights in metres above the WGS 84 ellipsoid. Implementations are immutable once
// built, so one model may be shared by several globes.
class ElevationModel {
public:
    virtual ~ElevationModel() = default;
    // Height at a position in degrees. Any longitude is accepted (wrapped); latitudes are
    // clamped to [-90, 90]. Never NaN.
    [[nodiscard]] virtual double Elevation(double latitude, double longitude) const = 0;
    // Bounds of every value Elevation can return, metres.
    [[nodiscard]] virtual double MinElevation() const = 0;
    [[nodiscard]] virtual double MaxElevation() const = 0;
    // An upper bound of the ground slope (metres of rise per metre along the ground) away from
    // deliberate discontinuities such as the edge of a DEM; the ray caster uses it to step
    // safely.
    [[nodiscard]] virtual double MaxSlope() const = 0;
    // An upper bound of the heights within `radius` metres of a position: lets a ray that
    // skims above low ground take long steps. The global maximum by default.
    [[nodiscard]] virtual double MaxElevationNear(double /*latitude*/, double /*longitude*/,
                                                  double /*radius*/) const {
        return MaxElevation();
    }
    // What the model is, for people ("built-in terrain", a DEM's file name).
    [[nodiscard]] virtual std::string Description() const = 0;
};

// Maxima over the cells of a regular latitude/longitude grid, for MaxElevationNear.
class HeightBounds {
public:
    HeightBounds() = default;
    // `cellMax` holds rows x columns maxima, row 0 the northernmost; cells of `cell` degrees
    // from (west, north). `wraps`: the columns go round the globe.
    HeightBounds(double west, double north, double cell, int columns, int rows, bool wraps,
                 std::vector<double> cellMax);
    // The largest maximum of the cells within `radius` metres; `outside` where that reaches
    // beyond the grid or would need too many cells.
    [[nodiscard]] double Near(double latitude, double longitude, double radius,
                              double outside) const;

private:
    double west_ = 0.0;
    double north_ = 0.0;
    double cell_ = 1.0;
    int columns_ = 0;
    int rows_ = 0;
    bool wraps_ = false;
    std::vector<double> max_;
};

// The built-in terrain: continents of blobs on the sphere with mountain ranges, and four
// octaves of seamless value noise for detail. Deterministic across runs and platforms with
// IEEE doubles. Land at (48, 11), (48, 105) and (20.52, -100); deep oceans below -2000 m;
// relief above 4000 m in the Himalaya of this world; continuous across 180 degrees and at the
// poles. The coarse part is baked once per process into a half-degree grid.
class DefaultTerrain final : public ElevationModel {
public:
    DefaultTerrain();
    [[nodiscard]] double Elevation(double latitude, double longitude) const override;
    [[nodiscard]] double MinElevation() const override;
    [[nodiscard]] double MaxElevation() const override;
    [[nodiscard]] double MaxSlope() const override;
    [[nodiscard]] double MaxElevationNear(double latitude, double longitude,
                                          double radius) const override;
    [[nodiscard]] std::string Description() const override;

    // Sum of round(10 x Elevation) over the whole-degree grid, latitudes -89..89 and
    // longitudes -180..179: pins the terrain so that a change to it is a deliberate one.
    [[nodiscard]] static std::int64_t Checksum(const ElevationModel& model);

private:
    struct Baked;
    const Baked* baked_; // process-wide, never freed
};

// The shared built-in terrain.
std::shared_ptr<const ElevationModel> BuiltInTerrain();

// What the camera sees: a model scaled by the elevation exaggeration, or the bare ellipsoid
// when the terrain layer is off. A cheap value; the model is shared.
class TerrainSurface {
public:
    TerrainSurface() = default;
    TerrainSurface(std::shared_ptr<const ElevationModel> model, bool terrainOn,
                   double exaggeration);

    [[nodiscard]] double Height(double latitude, double longitude) const {
        return on_ ? exaggeration_ * model_->Elevation(latitude, longitude) : 0.0;
    }
    [[nodiscard]] double MinHeight() const;
    [[nodiscard]] double MaxHeight() const;
    [[nodiscard]] double MaxSlope() const;
    [[nodiscard]] double MaxHeightNear(double latitude, double longitude, double radius) const {
        return on_ ? std::max(0.0,
                              exaggeration_ * model_->MaxElevationNear(latitude, longitude, radius))
                   : 0.0;
    }
    [[nodiscard]] bool TerrainOn() const { return on_; }
    [[nodiscard]] double Exaggeration() const { return exaggeration_; }
    [[nodiscard]] const ElevationModel* Model() const { return model_.get(); }

private:
    std::shared_ptr<const ElevationModel> model_;
    bool on_ = false;
    double exaggeration_ = 1.0;
};

} // namespace scribeline::globe
