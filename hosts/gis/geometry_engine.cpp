#include "hosts/gis/geometry_engine.hpp"

#include "hosts/gis/gdal_support.hpp"
#include "hosts/gis/geometry_convert.hpp"
#include "hosts/gis/spatial_reference.hpp"

#include <ogr_geometry.h>
#include <ogr_spatialref.h>

namespace scribeline::gis {

namespace {

// A closed OGR ring of a part (the closing vertex added when the part lacks it).
OGRLinearRing closedRing(const std::vector<MapPoint>& points) {
    OGRLinearRing ring;
    for (const auto& p : points) {
        ring.addPoint(p.x, p.y);
    }
    ring.closeRings();
    return ring;
}

void requirePolygon(const Geometry& g, const char* operation) {
    if (g.type != GeometryType::Polygon) {
        throw PortError(operation, "the geometry is not a polygon");
    }
}

// The polygons of a polygon value, rings sorted by containment.
std::vector<const OGRPolygon*> polygonsOf(const OGRGeometry& g) {
    std::vector<const OGRPolygon*> out;
    const auto flat = wkbFlatten(g.getGeometryType());
    if (flat == wkbPolygon) {
        out.push_back(g.toPolygon());
    } else if (flat == wkbMultiPolygon) {
        for (const auto* p : *g.toMultiPolygon()) {
            out.push_back(p);
        }
    }
    return out;
}

} // namespace

struct GeometryEngine::TransformCache {
    std::shared_ptr<SpatialReference> source;
    std::shared_ptr<SpatialReference> target;
    std::unique_ptr<OGRCoordinateTransformation> transform;
};

GeometryEngine::GeometryEngine() : cache_(std::make_unique<TransformCache>()) {
    EnsureGdal();
}

GeometryEngine::~GeometryEngine() = default;

double GeometryEngine::Length(const Geometry& curve) {
    if (curve.type != GeometryType::Polyline && curve.type != GeometryType::Polygon) {
        throw PortError("Length", "the geometry is not a polyline or polygon");
    }
    double length = 0.0;
    for (const auto& part : curve.parts) {
        if (curve.type == GeometryType::Polygon) {
            // A polygon's boundary includes the closing segment whether or not it is stored.
            length += closedRing(part).get_Length();
        } else {
            OGRLineString line;
            for (const auto& p : part) {
                line.addPoint(p.x, p.y);
            }
            length += line.get_Length();
        }
    }
    return length;
}

double GeometryEngine::Area(const Geometry& area) {
    requirePolygon(area, "Area");
    double sum = 0.0;
    for (const auto& ring : area.parts) {
        if (ring.size() >= 3) {
            // OGR gives the magnitude; the orientation gives the sign.
            const double magnitude = closedRing(ring).get_Area();
            sum += SignedRingArea(ring) >= 0.0 ? magnitude : -magnitude;
        }
    }
    return sum;
}

Geometry GeometryEngine::Project(const Geometry& geometry, const ISpatialReference& target) {
    if (!geometry.spatialReference) {
        throw PortError("Project", "the geometry has no spatial reference");
    }
    auto source = SpatialReference::Share(*geometry.spatialReference);
    auto destination = SpatialReference::Share(target);
    if (source->IsUnknown() || destination->IsUnknown()) {
        throw PortError("Project", "cannot project from or to an unknown coordinate system");
    }
    Geometry out = geometry;
    out.spatialReference = destination;
    if (source->IsEqual(*destination) || geometry.IsEmpty()) {
        return out;
    }
    if (cache_->source != source || cache_->target != destination || !cache_->transform) {
        GdalErrorTrap trap;
        std::unique_ptr<OGRCoordinateTransformation> transform(
            OGRCreateCoordinateTransformation(&source->Ogr(), &destination->Ogr()));
        if (!transform) {
            trap.Fail("Project",
                      "no transformation from " + source->Name() + " to " + destination->Name());
        }
        cache_->source = source;
        cache_->target = destination;
        cache_->transform = std::move(transform);
    }
    GdalErrorTrap trap;
    for (auto& part : out.parts) {
        for (auto& p : part) {
            double x = p.x;
            double y = p.y;
            double z = p.z;
            if (!cache_->transform->Transform(1, &x, &y, geometry.zAware ? &z : nullptr)) {
                trap.Fail("Project", "a point lies outside the domain of " + destination->Name());
            }
            p = MapPoint{x, y, geometry.zAware ? z : p.z};
        }
    }
    return out;
}

Geometry GeometryEngine::Simplify(const Geometry& geometry) {
    switch (geometry.type) {
    case GeometryType::Polygon: {
        if (geometry.IsEmpty()) {
            return geometry;
        }
        if (!OGRGeometryFactory::haveGEOS()) {
            throw PortError("Simplify", "this GDAL is built without GEOS");
        }
        GdalErrorTrap trap;
        auto ogr = ToOgr(geometry);
        OgrGeometryPtr valid(ogr->IsValid() ? ogr->clone() : ogr->MakeValid());
        if (!valid) {
            trap.Fail("Simplify", "GEOS could not repair the polygon");
        }
        // A repaired polygon may come with line or point remnants: keep the areas only.
        auto polygons = std::make_unique<OGRMultiPolygon>();
        const auto flat = wkbFlatten(valid->getGeometryType());
        if (flat == wkbGeometryCollection) {
            for (const auto* member : *valid->toGeometryCollection()) {
                for (const auto* p : polygonsOf(*member)) {
                    polygons->addGeometry(p);
                }
            }
        } else {
            for (const auto* p : polygonsOf(*valid)) {
                polygons->addGeometry(p);
            }
        }
        if (geometry.zAware) {
            polygons->set3D(TRUE);
        }
        Geometry out = FromOgr(polygons.get(), GeometryType::Polygon, geometry.spatialReference);
        out.type = GeometryType::Polygon;
        out.zAware = geometry.zAware;
        return out;
    }
    case GeometryType::Polyline:
    case GeometryType::Multipoint: {
        Geometry out = geometry;
        out.parts.clear();
        for (const auto& part : geometry.parts) {
            std::vector<MapPoint> kept;
            for (const auto& p : part) {
                if (kept.empty() || !(kept.back().x == p.x && kept.back().y == p.y)) {
                    kept.push_back(p);
                }
            }
            const std::size_t minimum = geometry.type == GeometryType::Polyline ? 2 : 1;
            if (kept.size() >= minimum) {
                out.parts.push_back(std::move(kept));
            }
        }
        return out;
    }
    default:
        return geometry;
    }
}

std::vector<std::vector<MapPoint>> GeometryEngine::ExteriorRings(const Geometry& polygon) {
    requirePolygon(polygon, "ExteriorRings");
    auto ogr = ToOgr(polygon);
    std::vector<std::vector<MapPoint>> out;
    for (const auto* p : polygonsOf(*ogr)) {
        if (!p->IsEmpty()) {
            Geometry one = FromOgr(p, GeometryType::Polygon, nullptr);
            out.push_back(one.parts.front());
        }
    }
    return out;
}

std::vector<std::vector<MapPoint>> GeometryEngine::InteriorRings(const Geometry& polygon,
                                                                 int exteriorIndex) {
    requirePolygon(polygon, "InteriorRings");
    auto ogr = ToOgr(polygon);
    std::vector<const OGRPolygon*> polygons;
    for (const auto* p : polygonsOf(*ogr)) {
        if (!p->IsEmpty()) {
            polygons.push_back(p);
        }
    }
    if (exteriorIndex < 0 || static_cast<std::size_t>(exteriorIndex) >= polygons.size()) {
        throw PortError("InteriorRings", "no exterior ring " + std::to_string(exteriorIndex));
    }
    Geometry one =
        FromOgr(polygons[static_cast<std::size_t>(exteriorIndex)], GeometryType::Polygon, nullptr);
    return {one.parts.begin() + 1, one.parts.end()};
}

std::vector<Segment> GeometryEngine::Segments(const std::vector<MapPoint>& pathOrRing) {
    std::vector<Segment> out;
    for (std::size_t i = 1; i < pathOrRing.size(); ++i) {
        out.push_back(Segment{pathOrRing[i - 1], pathOrRing[i]});
    }
    return out;
}

} // namespace scribeline::gis
