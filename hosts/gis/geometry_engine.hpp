// Geometry operations of the map host, computed by OGR (lengths, areas), PROJ (projection)
// and GEOS (validity repair) through OGR.
#pragma once

#include "command/map_port.hpp"

#include <memory>

class OGRCoordinateTransformation;

namespace scribeline::gis {

class SpatialReference;

class GeometryEngine final : public IGeometryEngine {
public:
    GeometryEngine();
    ~GeometryEngine() override;
    GeometryEngine(const GeometryEngine&) = delete;
    GeometryEngine& operator=(const GeometryEngine&) = delete;

    // Polylines and polygons (closed implicitly); raises PortError for points.
    double Length(const Geometry& curve) override;
    // Polygons only: clockwise rings count positive, counter-clockwise negative.
    double Area(const Geometry& area) override;
    // Raises PortError when the geometry has no reference or either reference is unknown.
    Geometry Project(const Geometry& geometry, const ISpatialReference& target) override;
    // Polygons: repaired with GEOS (self-intersections split, rings oriented); polylines and
    // multipoints: repeated vertices removed; points unchanged.
    Geometry Simplify(const Geometry& geometry) override;
    std::vector<std::vector<MapPoint>> ExteriorRings(const Geometry& polygon) override;
    std::vector<std::vector<MapPoint>> InteriorRings(const Geometry& polygon,
                                                     int exteriorIndex) override;
    std::vector<Segment> Segments(const std::vector<MapPoint>& pathOrRing) override;

private:
    struct TransformCache;
    std::unique_ptr<TransformCache> cache_;
};

} // namespace scribeline::gis
