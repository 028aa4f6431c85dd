#include "hosts/globe/terrain_stack.hpp"

#include "hosts/globe/geodesy.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace scribeline::globe {

TerrainStack::TerrainStack(std::vector<std::shared_ptr<const RasterDem>> dems,
                           std::shared_ptr<const ElevationModel> base)
    : dems_(std::move(dems)), base_(std::move(base)) {
    if (!base_ || std::any_of(dems_.begin(), dems_.end(), [](const auto& d) { return !d; })) {
        throw std::invalid_argument("a terrain stack needs a base and DEMs that are not null");
    }
    std::stable_sort(dems_.begin(), dems_.end(), [](const auto& a, const auto& b) {
        return a->PostDegrees() < b->PostDegrees();
    });
}

TerrainAnswer TerrainStack::AnswerFrom(std::size_t layer, double latitude, double longitude) const {
    for (std::size_t i = layer; i < dems_.size(); ++i) {
        double v = 0.0;
        const double w = dems_[i]->Blend(latitude, longitude, v);
        if (w <= 0.0) {
            continue; // off this DEM, or in a hole: the next source answers
        }
        if (w >= 1.0) {
            return {v, static_cast<int>(i)};
        }
        const TerrainAnswer below = AnswerFrom(i + 1, latitude, longitude);
        return {w * v + (1.0 - w) * below.height, w >= 0.5 ? static_cast<int>(i) : below.source};
    }
    return {base_->Elevation(latitude, longitude), static_cast<int>(dems_.size())};
}

TerrainAnswer TerrainStack::Answer(double latitude, double longitude) const {
    return AnswerFrom(0, std::clamp(latitude, -90.0, 90.0), longitude);
}

double TerrainStack::MinElevation() const {
    double lo = base_->MinElevation();
    for (const auto& d : dems_) {
        lo = std::min(lo, d->DataMin());
    }
    return lo;
}

double TerrainStack::MaxElevation() const {
    double hi = base_->MaxElevation();
    for (const auto& d : dems_) {
        hi = std::max(hi, d->DataMax());
    }
    return hi;
}

const std::vector<double>& TerrainStack::BandSlopes() const {
    std::call_once(bandOnce_, [this] {
        bandSlope_.assign(dems_.size(), 0.0);
        // From the coarsest DEM up, so that a band over another DEM sees that one's slope.
        for (std::size_t i = dems_.size(); i-- > 0;) {
            const RasterDem& dem = *dems_[i];
            // Mixing w a + (1 - w) b steepens the ground by |a - b| |grad w|; w changes by at
            // most 1/band per post along each axis, and |a - b| inside a cell by at most the
            // corners' gap plus both slopes times the cell's diagonal.
            double gap = 0.0;
            dem.ForEachBlendPost([&](double lat, double lon, double v) {
                gap = std::max(gap, std::abs(v - AnswerFrom(i + 1, lat, lon).height));
            });
            const double midLat = 0.5 * (dem.North() + dem.South());
            const double midLon = 0.5 * (dem.West() + dem.East());
            const double reach = (dem.North() - dem.South() + dem.East() - dem.West()) *
                                 MetresPerDegreeLatitude(90.0);
            double belowSlope = base_->MaxSlopeNear(midLat, midLon, reach);
            for (std::size_t j = i + 1; j < dems_.size(); ++j) {
                belowSlope = std::max(belowSlope, dems_[j]->DataSlope() + bandSlope_[j]);
            }
            const double diagonal =
                (dem.North() - dem.South()) / dem.Rows() * MetresPerDegreeLatitude(90.0) +
                (dem.East() - dem.West()) / dem.Columns() * MetresPerDegreeLongitude(0.0);
            const double spread = (dem.DataSlope() + belowSlope) * diagonal;
            bandSlope_[i] = 2.0 * (gap + spread) / (dem.BlendBand() * dem.PostMetres());
        }
    });
    return bandSlope_;
}

double TerrainStack::MaxSlope() const {
    double s = base_->MaxSlope();
    const auto& band = BandSlopes();
    for (std::size_t i = 0; i < dems_.size(); ++i) {
        s = std::max(s, std::max(dems_[i]->DataSlope(), base_->MaxSlope()) + band[i]);
    }
    return s;
}

double TerrainStack::MaxElevationNear(double latitude, double longitude, double radius) const {
    double hi = base_->MaxElevationNear(latitude, longitude, radius);
    for (const auto& d : dems_) {
        hi = std::max(hi, d->DataMaxNear(latitude, longitude, radius));
    }
    return hi;
}

double TerrainStack::MaxSlopeNear(double latitude, double longitude, double radius) const {
    const double base = base_->MaxSlopeNear(latitude, longitude, radius);
    const auto& band = BandSlopes();
    // What each DEM adds near the point, from the coarsest up: its own slope, and where its
    // band is near, the steepening of the band over whatever lies below it.
    double below = base;
    for (std::size_t i = dems_.size(); i-- > 0;) {
        double own = 0.0;
        bool inBand = false;
        if (!dems_[i]->SlopeNear(latitude, longitude, radius, own, inBand)) {
            continue;
        }
        below = std::max(below, std::max(own, below) + (inBand ? band[i] : 0.0));
    }
    return below;
}

std::string TerrainStack::Description() const {
    std::string out = base_->Description();
    for (const auto& d : dems_) {
        out += " + " + d->Description();
    }
    return out;
}

std::vector<std::string> TerrainStack::Sources() const {
    std::vector<std::string> out;
    for (const auto& d : dems_) {
        out.push_back(d->Description());
    }
    out.push_back(base_->Description());
    return out;
}

std::vector<DemOutline> TerrainStack::Outlines() const {
    std::vector<DemOutline> out;
    for (const auto& d : dems_) {
        out.push_back({d->Description(), d->West(), d->South(), d->East(), d->North()});
    }
    return out;
}

} // namespace scribeline::globe
