// A synthetic terrain for tests: continents of blobs on the sphere with mountain ranges, and
// four octaves of seamless value noise for detail. Deterministic across runs and platforms
// with IEEE doubles. Land at (48, 11), (48, 105) and (20.52, -100); deep oceans below -2000 m;
// relief above 4000 m in the Himalaya of this world; continuous across 180 degrees and at the
// poles. The coarse part is baked once per process into a half-degree grid. It was the
// product's default terrain before the base Earth; tests keep it where they need a whole
// globe that no installed file decides.
#pragma once

#include "hosts/globe/terrain.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace scribeline::globe::testing {

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

// The shared synthetic terrain.
std::shared_ptr<const ElevationModel> BuiltInTerrain();

} // namespace scribeline::globe::testing
