// Small terrains for tests: analytic ground models and DEM files written from a function, so a
// test knows the true height everywhere.
#pragma once

#include "hosts/globe/geodesy.hpp"
#include "hosts/globe/terrain.hpp"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

namespace scribeline::globe::testing {

inline std::string Number(double v) {
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return std::string(buf, end);
}

// An ASCII grid (no reference system: read as WGS 84 degrees) of `columns` x `rows` cells of
// `cell` degrees from (west, north); `value(longitude, latitude)` at each cell centre, nothing
// (nodata) where it returns no value.
inline std::filesystem::path
WriteAsciiGrid(const std::filesystem::path& path, double west, double north, double cell,
               int columns, int rows,
               const std::function<std::optional<double>(double, double)>& value) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "ncols " << columns << "\nnrows " << rows << "\nxllcorner " << Number(west)
        << "\nyllcorner " << Number(north - rows * cell) << "\ncellsize " << Number(cell)
        << "\nNODATA_value -9999\n";
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const auto v = value(west + (c + 0.5) * cell, north - (r + 0.5) * cell);
            out << (c == 0 ? "" : " ") << (v ? Number(*v) : std::string("-9999"));
        }
        out << '\n';
    }
    return path;
}

// Gentle ground of `base` metres with waves of `amplitude` metres and `wavelength` metres.
class WavyTerrain final : public ElevationModel {
public:
    WavyTerrain(double base, double amplitude, double wavelength = 700.0)
        : base_(base), amplitude_(amplitude), k_(2.0 * kPi / wavelength) {}
    [[nodiscard]] double Elevation(double latitude, double longitude) const override {
        const double y = latitude * MetresPerDegreeLatitude(0.0);
        const double x = longitude * MetresPerDegreeLatitude(0.0);
        return base_ + amplitude_ * std::sin(k_ * x) * std::cos(k_ * y);
    }
    [[nodiscard]] double MinElevation() const override { return base_ - amplitude_; }
    [[nodiscard]] double MaxElevation() const override { return base_ + amplitude_; }
    // Degrees of longitude shrink away from the equator: the bound holds within 60 degrees.
    [[nodiscard]] double MaxSlope() const override { return 2.0 * 2.0 * amplitude_ * k_ + 1e-6; }
    [[nodiscard]] std::string Description() const override { return "wavy ground"; }

private:
    double base_;
    double amplitude_;
    double k_;
};

} // namespace scribeline::globe::testing
