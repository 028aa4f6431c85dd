// The base Earth: the whole globe's land and sea floor from ETOPO5 (NOAA, public domain; 4320
// by 2161 posts 5 arc-minutes apart, longitudes 0 to 360 east, metres above sea level taken as
// heights above the ellipsoid). Read through GDAL's netCDF driver, lazily: nothing is read until
// the first height is asked for. The first read leaves a float32 copy in the user's cache folder
// that later processes read instead (GDAL's netCDF read takes seconds).
#pragma once

#include "hosts/globe/terrain.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace scribeline::globe {

// The base Earth file is missing or unusable; the text says which file and which package.
class BaseEarthError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where Debian's ferret-datasets package installs ETOPO5.
inline constexpr const char* kEtopo5Path = "/usr/share/ferret-vis/data/etopo5.cdf";

class BaseEarth final : public ElevationModel {
public:
    // `file`: the ETOPO5 netCDF file. `cacheFolder`: where the float32 copy goes; empty: the
    // user's cache folder ($XDG_CACHE_HOME/scribeline, else ~/.cache/scribeline); a folder
    // that cannot be written only costs the copy. Reads nothing.
    explicit BaseEarth(std::filesystem::path file = kEtopo5Path,
                       std::filesystem::path cacheFolder = {});
    ~BaseEarth() override;
    BaseEarth(const BaseEarth&) = delete;
    BaseEarth& operator=(const BaseEarth&) = delete;

    // Raises BaseEarthError when the file is missing or not ETOPO5 (every query raises it
    // again; Check() asks early). Bilinear between posts, across the 0/360 seam; one value
    // at each pole.
    [[nodiscard]] double Elevation(double latitude, double longitude) const override;
    [[nodiscard]] double MinElevation() const override;
    [[nodiscard]] double MaxElevation() const override;
    [[nodiscard]] double MaxSlope() const override;
    [[nodiscard]] double MaxElevationNear(double latitude, double longitude,
                                          double radius) const override;
    [[nodiscard]] double MaxSlopeNear(double latitude, double longitude,
                                      double radius) const override;
    [[nodiscard]] std::string Description() const override;

    // Whether the file is there (cheap; reads nothing): raises BaseEarthError naming the file
    // and the package that provides it.
    void Check() const;
    // Reads the data now (the first query would); raises BaseEarthError.
    void Load() const;
    // Whether the data has been read.
    [[nodiscard]] bool Loaded() const;
    // The cache file this instance reads or writes.
    [[nodiscard]] std::filesystem::path CacheFile() const;

private:
    struct Data;
    const Data& data() const;

    std::filesystem::path file_;
    std::filesystem::path cacheFolder_;
    struct Lazy;
    std::unique_ptr<Lazy> lazy_;
};

// The process-wide base Earth from kEtopo5Path (shared, read once on first use).
std::shared_ptr<const BaseEarth> SharedBaseEarth();

} // namespace scribeline::globe
