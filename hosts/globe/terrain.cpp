#include "hosts/globe/terrain.hpp"

#include "hosts/globe/geodesy.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace scribeline::globe {

double DegreesOfLatitudeSpanned(double metres) {
    // A degree of latitude is shortest at the equator.
    return metres / 110574.0;
}

double DegreesOfLongitudeSpanned(double metres, double latitude) {
    // Whole degrees, each holding the length at its poleward end: never longer than the truth.
    static const std::array<double, 91> perDegree = [] {
        std::array<double, 91> t{};
        for (std::size_t k = 0; k < t.size(); ++k) {
            t[k] = MetresPerDegreeLongitude(static_cast<double>(k)) * (1.0 - 1e-9);
        }
        return t;
    }();
    const double a = std::min(std::abs(latitude), 90.0);
    const auto k = static_cast<std::size_t>(a) + 1;
    if (k >= 90) {
        return 360.0;
    }
    return std::min(360.0, metres / perDegree[k]);
}

HeightBounds::HeightBounds(double west, double north, double cell, int columns, int rows,
                           bool wraps, std::vector<double> cellMax)
    : west_(west), north_(north), cell_(cell), columns_(columns), rows_(rows), wraps_(wraps),
      max_(std::move(cellMax)) {}

double HeightBounds::Near(double latitude, double longitude, double radius, double outside) const {
    if (max_.empty()) {
        return outside;
    }
    const double dLat = DegreesOfLatitudeSpanned(radius) + 1e-9;
    const double lat0 = std::max(-90.0, latitude - dLat);
    const double lat1 = std::min(90.0, latitude + dLat);
    const double widest = std::max(std::abs(lat0), std::abs(lat1));
    if (widest > 89.0) {
        return outside; // near a pole every meridian is near
    }
    const double dLon = DegreesOfLongitudeSpanned(radius, widest) + 1e-9;
    double rel = longitude - west_;
    rel -= 360.0 * std::floor(rel / 360.0);
    const double firstColumn = std::floor((rel - dLon) / cell_);
    const double lastColumn = std::floor((rel + dLon) / cell_);
    const double firstRow = std::floor((north_ - lat1) / cell_);
    const double lastRow = std::floor((north_ - lat0) / cell_);
    if (lastColumn - firstColumn > 16.0 || lastRow - firstRow > 16.0) {
        return outside;
    }
    if (firstRow < 0.0 || lastRow >= rows_ ||
        (!wraps_ && (firstColumn < 0.0 || lastColumn >= columns_))) {
        return outside;
    }
    double best = -1e300;
    for (auto r = static_cast<int>(firstRow); r <= static_cast<int>(lastRow); ++r) {
        for (auto c = static_cast<int>(firstColumn); c <= static_cast<int>(lastColumn); ++c) {
            const int cc = ((c % columns_) + columns_) % columns_;
            best = std::max(best,
                            max_[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns_) +
                                 static_cast<std::size_t>(cc)]);
        }
    }
    return best;
}

TerrainSurface::TerrainSurface(std::shared_ptr<const ElevationModel> model, bool terrainOn,
                               double exaggeration)
    : model_(std::move(model)), on_(terrainOn && model_ != nullptr), exaggeration_(exaggeration) {}

double TerrainSurface::MinHeight() const {
    return on_ ? std::min(0.0, exaggeration_ * model_->MinElevation()) : 0.0;
}
double TerrainSurface::MaxHeight() const {
    return on_ ? std::max(0.0, exaggeration_ * model_->MaxElevation()) : 0.0;
}
double TerrainSurface::MaxSlope() const {
    return on_ ? exaggeration_ * model_->MaxSlope() : 0.0;
}

} // namespace scribeline::globe
