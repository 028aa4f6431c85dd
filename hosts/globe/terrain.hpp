// Elevation models of the simulated globe: the interface every terrain source implements, the
// height bounds that let the ray caster take long steps, and the surface the camera sees (a
// model with the terrain layer switch and the elevation exaggeration applied). The sources
// themselves: base_earth.hpp (the whole globe), raster_dem.hpp (a user DEM) and
// terrain_stack.hpp (user DEMs inside the base Earth).
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace scribeline::globe {

// A terrain answer: the height and which source gave it (an index into Sources()).
struct TerrainAnswer {
    double height = 0.0;
    int source = 0;
};

// A user DEM's extent on the ground, degrees; east may exceed 180 for a DEM across the
// antimeridian.
struct DemOutline {
    std::string name;
    double west = 0.0;
    double south = 0.0;
    double east = 0.0;
    double north = 0.0;
};

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
    // An upper bound of the slope of the ground within `radius` metres (horizontally) of a
    // position, deliberate discontinuities included; the ray caster steps by it. MaxSlope()
    // by default.
    [[nodiscard]] virtual double MaxSlopeNear(double /*latitude*/, double /*longitude*/,
                                              double /*radius*/) const {
        return MaxSlope();
    }
    // What the model is, for people ("base Earth (ETOPO5)", a DEM's file name).
    [[nodiscard]] virtual std::string Description() const = 0;
    // The sources that answer (a single model answers alone), for reports; never empty.
    [[nodiscard]] virtual std::vector<std::string> Sources() const { return {Description()}; }
    // Elevation() with the source that gave it.
    [[nodiscard]] virtual TerrainAnswer Answer(double latitude, double longitude) const {
        return {Elevation(latitude, longitude), 0};
    }
    // The extents of the user DEMs in the model, for the globe picture; none by default.
    [[nodiscard]] virtual std::vector<DemOutline> Outlines() const { return {}; }
};

// The degrees `metres` span at most along a meridian, and along a parallel anywhere between
// the equator and `latitude`: cheap and never too small, for the neighbourhood bounds the ray
// caster asks for at every step. 360 where a parallel is shorter than `metres` can say.
double DegreesOfLatitudeSpanned(double metres);
double DegreesOfLongitudeSpanned(double metres, double latitude);

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
    // Height and source; with the terrain layer off the ellipsoid answers (source -1).
    [[nodiscard]] TerrainAnswer Answer(double latitude, double longitude) const {
        if (!on_) {
            return {0.0, -1};
        }
        TerrainAnswer a = model_->Answer(latitude, longitude);
        a.height *= exaggeration_;
        return a;
    }
    // Slope bound within `radius` metres of a position (exaggeration applied).
    [[nodiscard]] double MaxSlopeNear(double latitude, double longitude, double radius) const {
        return on_ ? exaggeration_ * model_->MaxSlopeNear(latitude, longitude, radius) : 0.0;
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
