// The contour grid and the level table.
#include "terrain/Contour.hpp"

#include "platform/numbers.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace scribeline::terrain {

double RoundHalfEven(double value) {
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction > 0.5) {
        return down + 1.0;
    }
    if (fraction < 0.5) {
        return down;
    }
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

// ---- ContourGrid -------------------------------------------------------------------------------

ContourGrid::ContourGrid(int lastColumn, int lastRow) {
    if (lastColumn < 0 || lastRow < 0 || lastColumn > kMaxGridIndex || lastRow > kMaxGridIndex) {
        throw std::out_of_range("A contour grid runs from 0 to at most 1000 in each direction.");
    }
    lastColumn_ = lastColumn;
    lastRow_ = lastRow;
    x_.assign(static_cast<std::size_t>(lastColumn) + 1, 0.0);
    y_.assign(static_cast<std::size_t>(lastRow) + 1, 0.0);
    d_.assign(x_.size() * y_.size(), 0.0);
    lon_.assign(d_.size(), std::numeric_limits<double>::quiet_NaN());
    lat_.assign(d_.size(), std::numeric_limits<double>::quiet_NaN());
}

std::size_t ContourGrid::index(int column, int row) const {
    if (column < 0 || row < 0 || column > lastColumn_ || row > lastRow_) {
        throw std::out_of_range("contour grid index");
    }
    return static_cast<std::size_t>(column) * y_.size() + static_cast<std::size_t>(row);
}

namespace {
std::size_t axisIndex(int i, std::size_t size) {
    if (i < 0 || static_cast<std::size_t>(i) >= size) {
        throw std::out_of_range("contour grid axis index");
    }
    return static_cast<std::size_t>(i);
}
} // namespace

double& ContourGrid::X(int column) {
    return x_[axisIndex(column, x_.size())];
}
double ContourGrid::X(int column) const {
    return x_[axisIndex(column, x_.size())];
}
double& ContourGrid::Y(int row) {
    return y_[axisIndex(row, y_.size())];
}
double ContourGrid::Y(int row) const {
    return y_[axisIndex(row, y_.size())];
}
double& ContourGrid::D(int column, int row) {
    return d_[index(column, row)];
}
double ContourGrid::D(int column, int row) const {
    return d_[index(column, row)];
}
void ContourGrid::SetPosition(int column, int row, double longitude, double latitude) {
    const std::size_t i = index(column, row);
    if (std::isnan(lon_[i])) {
        ++positionsSet_;
    }
    lon_[i] = longitude;
    lat_[i] = latitude;
}
bool ContourGrid::HasPositions() const {
    return !d_.empty() && positionsSet_ == d_.size();
}
double ContourGrid::Longitude(int column, int row) const {
    const double v = lon_[index(column, row)];
    return std::isnan(v) ? X(column) : v;
}
double ContourGrid::Latitude(int column, int row) const {
    const double v = lat_[index(column, row)];
    return std::isnan(v) ? Y(row) : v;
}

// ---- level table -----------------------------------------------------------------------------

namespace {

int toInt16(double value) {
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max())) {
        throw LevelTableError("The sampled elevation " + FormatFixed(value, 6) +
                              " m lies outside the range the contour levels can be built from.");
    }
    return static_cast<int>(rounded);
}

int floorToTens(int value) {
    return static_cast<int>(std::floor(value / 10.0)) * 10;
}

} // namespace

ElevationRange ScanElevationRange(const ContourGrid& grid, const Yield& yield) {
    ElevationRange range;
    for (int c = 0; c < grid.LastColumn(); ++c) {
        for (int r = 0; r < grid.LastRow(); ++r) {
            const double d = grid.D(c, r);
            range.zmin = toInt16(std::min(static_cast<double>(range.zmin), d));
            range.zmax = toInt16(std::max(static_cast<double>(range.zmax), d));
            if (yield) {
                yield();
            }
        }
    }
    range.zmin = floorToTens(range.zmin);
    range.zmax = floorToTens(range.zmax);
    return range;
}

int BaseLevel(const ElevationRange& range, const StartElevation& start) {
    const double s = LeadingNumber(start.text);
    if (start.byHand && range.zmin < s && s < range.zmax) {
        return toInt16(s);
    }
    return range.zmin;
}

std::vector<double> LevelsByNumber(const ContourGrid& grid, int n, const StartElevation& start,
                                   const Yield& yield) {
    if (n > kMaxLevels) {
        throw LevelTableError("At most 1001 contour levels can be traced; " + std::to_string(n) +
                              " were asked for.");
    }
    const ElevationRange range = ScanElevationRange(grid, yield);
    const int base = BaseLevel(range, start);
    std::vector<double> levels;
    for (int k = 1; k <= n; ++k) {
        levels.push_back(std::floor(static_cast<double>(range.zmax - base) * k / n) + base);
    }
    return levels;
}

std::vector<double> LevelsByInterval(const ContourGrid& grid, int interval,
                                     const StartElevation& start, const Yield& yield) {
    if (interval <= 0) {
        throw LevelTableError("The contour interval must be at least 1 m.");
    }
    const ElevationRange range = ScanElevationRange(grid, yield);
    const int base = BaseLevel(range, start);
    // Values generated: base, base + interval, ... up to the first one above zmax.
    const long long generated =
        base > range.zmax ? 1 : (static_cast<long long>(range.zmax) - base) / interval + 2;
    if (generated > kMaxLevels) {
        throw LevelTableError("An interval of " + std::to_string(interval) + " m from " +
                              std::to_string(base) + " m to " + std::to_string(range.zmax) +
                              " m needs more than the 1001 contour levels that can be traced.");
    }
    std::vector<double> table{static_cast<double>(base)};
    int k = 1;
    while (table.back() <= range.zmax) {
        table.push_back(static_cast<double>(interval) * k + base);
        ++k;
    }
    const int count = std::max(0, k - 2);
    table.resize(static_cast<std::size_t>(count));
    return table;
}

std::vector<double> LevelsFromList(std::string_view text) {
    std::vector<double> levels;
    if (text.empty()) {
        return levels;
    }
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        const std::string_view piece = text.substr(
            from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
        if (levels.size() == static_cast<std::size_t>(kMaxLevels)) {
            throw LevelTableError(
                "At most 1001 contour levels can be traced; the list holds more.");
        }
        levels.push_back(LeadingNumber(piece));
        if (comma == std::string_view::npos) {
            break;
        }
        from = comma + 1;
    }
    return levels;
}

} // namespace scribeline::terrain
