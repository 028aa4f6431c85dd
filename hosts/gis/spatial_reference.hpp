// Spatial references over PROJ (through OGRSpatialReference). Coordinates are always in
// the traditional GIS order: x longitude or easting, y latitude or northing.
#pragma once

#include "command/map_port.hpp"

#include <memory>
#include <optional>
#include <string>

class OGRSpatialReference;

namespace scribeline::gis {

class SpatialReference final : public ISpatialReference,
                               public std::enable_shared_from_this<SpatialReference> {
public:
    // An unknown reference (no coordinate system).
    SpatialReference();
    // Copies `srs`; an empty srs makes an unknown reference.
    explicit SpatialReference(const OGRSpatialReference& srs);
    ~SpatialReference() override;
    SpatialReference(const SpatialReference&) = delete;
    SpatialReference& operator=(const SpatialReference&) = delete;

    // Raises PortError when PROJ knows no such code.
    static std::shared_ptr<SpatialReference> FromEpsg(int code);
    // From WKT, PROJ strings or "EPSG:n"; raises PortError when it cannot be read.
    static std::shared_ptr<SpatialReference> FromUserInput(const std::string& definition);

    // ---- ISpatialReference ----
    [[nodiscard]] std::string Name() const override;
    [[nodiscard]] int FactoryCode() const override;
    [[nodiscard]] bool IsEqual(const ISpatialReference& other) const override;
    void SetFalseOriginAndUnits(double falseX, double falseY, double xyUnits) override;

    // ---- host side ----
    [[nodiscard]] bool IsUnknown() const;
    [[nodiscard]] bool IsGeographic() const;
    [[nodiscard]] bool IsProjected() const;
    // The reference's map unit as a host unit code (0 unknown, 9 meters, 11 decimal degrees...).
    [[nodiscard]] int UnitCode() const;
    // The OGR object; never null. Borrowed: lives as long as this reference.
    [[nodiscard]] const OGRSpatialReference& Ogr() const;
    // WKT in the form shapefiles carry in their .prj files; empty for an unknown reference.
    [[nodiscard]] std::string EsriWkt() const;
    // A definition that FromUserInput reads back ("EPSG:n" when there is a code, else WKT2);
    // empty for an unknown reference.
    [[nodiscard]] std::string Definition() const;

    struct XYDomain {
        double falseX = 0.0;
        double falseY = 0.0;
        double xyUnits = 0.0;
    };
    // What SetFalseOriginAndUnits set; nullopt until it was called.
    [[nodiscard]] std::optional<XYDomain> Domain() const { return domain_; }

    // The reference behind a port handle; null when `reference` is not one of ours.
    static const SpatialReference* From(const ISpatialReference& reference);
    // A shared handle on `reference`: itself when it is a shared object of ours, else a copy.
    static std::shared_ptr<SpatialReference> Share(const ISpatialReference& reference);

private:
    std::unique_ptr<OGRSpatialReference> srs_;
    mutable std::optional<int> code_;
    mutable std::optional<std::string> name_;
    std::optional<XYDomain> domain_;
};

class SpatialReferenceFactory final : public ISpatialReferenceFactory {
public:
    std::shared_ptr<ISpatialReference> CreateGeographicCoordinateSystem(int code) override;
    std::shared_ptr<ISpatialReference> CreateProjectedCoordinateSystem(int code) override;
    std::shared_ptr<ISpatialReference> CreateUnknownCoordinateSystem() override;
};

} // namespace scribeline::gis
