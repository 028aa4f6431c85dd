// User DEMs inside the base Earth: the finest DEM that covers a point answers; where it has no
// data, or off its edge, the next one does, down to the base. Each DEM blends into the ground
// below it over a band inside its edge and round its holes, so the ground has no cliff where
// a DEM ends. Every answer says which source gave it.
#pragma once

#include "hosts/globe/raster_dem.hpp"
#include "hosts/globe/terrain.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace scribeline::globe {

class TerrainStack final : public ElevationModel {
public:
    // `dems`: loaded without a fallback (the stack does the layering), none null, in any
    // order: the finest answers first, DEMs of the same post spacing in the order given.
    // `base`: the whole globe, not null. Both are shared and may be shared further. Reads
    // nothing from the base until the first query.
    TerrainStack(std::vector<std::shared_ptr<const RasterDem>> dems,
                 std::shared_ptr<const ElevationModel> base);

    [[nodiscard]] double Elevation(double latitude, double longitude) const override {
        return Answer(latitude, longitude).height;
    }
    [[nodiscard]] double MinElevation() const override;
    [[nodiscard]] double MaxElevation() const override;
    [[nodiscard]] double MaxSlope() const override;
    [[nodiscard]] double MaxElevationNear(double latitude, double longitude,
                                          double radius) const override;
    [[nodiscard]] double MaxSlopeNear(double latitude, double longitude,
                                      double radius) const override;
    [[nodiscard]] std::string Description() const override;
    // The DEMs finest first, then the base.
    [[nodiscard]] std::vector<std::string> Sources() const override;
    // In the blending band the source is the DEM while it weighs at least half, the ground
    // below it after that.
    [[nodiscard]] TerrainAnswer Answer(double latitude, double longitude) const override;
    [[nodiscard]] std::vector<DemOutline> Outlines() const override;

    // The DEMs, finest first.
    [[nodiscard]] const std::vector<std::shared_ptr<const RasterDem>>& Dems() const {
        return dems_;
    }

private:
    [[nodiscard]] TerrainAnswer AnswerFrom(std::size_t layer, double latitude,
                                           double longitude) const;
    // The slope a DEM's band adds (per DEM), worked out on first need: it reads the ground
    // below each band.
    const std::vector<double>& BandSlopes() const;

    std::vector<std::shared_ptr<const RasterDem>> dems_;
    std::shared_ptr<const ElevationModel> base_;
    mutable std::once_flag bandOnce_;
    mutable std::vector<double> bandSlope_;
};

} // namespace scribeline::globe
