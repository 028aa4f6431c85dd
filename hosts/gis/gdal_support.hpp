// Small helpers around GDAL: one-time registration, error capture into PortError, owning
// handles. Internal to the map host.
#pragma once

#include "platform/types.hpp"

#include <memory>
#include <string>

class GDALDataset;
class OGRFeature;
class OGRGeometry;

namespace scribeline::gis {

// Registers the GDAL drivers once per process; safe to call often.
void EnsureGdal();

// Collects the messages GDAL reports while it lives (instead of printing them), so that a
// failure can carry GDAL's own reason. Nestable; one thread.
class GdalErrorTrap {
public:
    GdalErrorTrap();
    ~GdalErrorTrap();
    GdalErrorTrap(const GdalErrorTrap&) = delete;
    GdalErrorTrap& operator=(const GdalErrorTrap&) = delete;
    // The last error (CE_Failure or worse) reported, empty when none.
    [[nodiscard]] std::string LastError() const;
    // Raises PortError(operation, reason + GDAL's last error when there is one).
    [[noreturn]] void Fail(const std::string& operation, const std::string& reason) const;

private:
    std::string saved_;
};

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const;
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

struct FeatureDeleter {
    void operator()(OGRFeature* feature) const;
};
using FeaturePtr = std::unique_ptr<OGRFeature, FeatureDeleter>;

struct GeometryDeleter {
    void operator()(OGRGeometry* geometry) const;
};
using OgrGeometryPtr = std::unique_ptr<OGRGeometry, GeometryDeleter>;

// Opens a vector dataset; null when GDAL cannot open it (the trap holds the reason).
DatasetPtr OpenVector(const std::string& path, bool update);

} // namespace scribeline::gis
