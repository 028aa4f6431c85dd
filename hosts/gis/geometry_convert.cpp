#include "hosts/gis/geometry_convert.hpp"

#include <ogr_geometry.h>

#include <algorithm>
#include <vector>

namespace scribeline::gis {

namespace {

MapPoint toPoint(const OGRPoint& p, bool z) {
    return MapPoint{p.getX(), p.getY(), z ? p.getZ() : 0.0};
}

std::vector<MapPoint> pointsOf(const OGRSimpleCurve& curve, bool z) {
    std::vector<MapPoint> out;
    out.reserve(static_cast<std::size_t>(curve.getNumPoints()));
    for (int i = 0; i < curve.getNumPoints(); ++i) {
        out.push_back(MapPoint{curve.getX(i), curve.getY(i), z ? curve.getZ(i) : 0.0});
    }
    return out;
}

// Host polygons are simple as stored: exterior rings run clockwise, interior rings
// counter-clockwise, whatever order the file keeps them in (OGC data runs the other way).
std::vector<MapPoint> oriented(std::vector<MapPoint> ring, bool clockwise) {
    if ((SignedRingArea(ring) > 0.0) != clockwise) {
        std::reverse(ring.begin(), ring.end());
    }
    return ring;
}

void appendRings(const OGRPolygon& polygon, bool z, std::vector<std::vector<MapPoint>>& parts) {
    if (polygon.IsEmpty()) {
        return;
    }
    parts.push_back(oriented(pointsOf(*polygon.getExteriorRing(), z), true));
    for (int i = 0; i < polygon.getNumInteriorRings(); ++i) {
        parts.push_back(oriented(pointsOf(*polygon.getInteriorRing(i), z), false));
    }
}

void fill(const OGRGeometry& g, bool z, Geometry& out) {
    switch (wkbFlatten(g.getGeometryType())) {
    case wkbPoint: {
        const auto& p = *g.toPoint();
        out.type = GeometryType::Point;
        if (!p.IsEmpty()) {
            out.parts.push_back({toPoint(p, z)});
        }
        return;
    }
    case wkbMultiPoint: {
        out.type = GeometryType::Multipoint;
        std::vector<MapPoint> points;
        for (const auto* p : *g.toMultiPoint()) {
            if (!p->IsEmpty()) {
                points.push_back(toPoint(*p, z));
            }
        }
        if (!points.empty()) {
            out.parts.push_back(std::move(points));
        }
        return;
    }
    case wkbLineString:
    case wkbLinearRing:
        out.type = GeometryType::Polyline;
        if (!g.IsEmpty()) {
            out.parts.push_back(pointsOf(*g.toSimpleCurve(), z));
        }
        return;
    case wkbMultiLineString:
        out.type = GeometryType::Polyline;
        for (const auto* line : *g.toMultiLineString()) {
            if (!line->IsEmpty()) {
                out.parts.push_back(pointsOf(*line, z));
            }
        }
        return;
    case wkbPolygon:
    case wkbTriangle:
        out.type = GeometryType::Polygon;
        appendRings(*g.toPolygon(), z, out.parts);
        return;
    case wkbMultiPolygon:
        out.type = GeometryType::Polygon;
        for (const auto* polygon : *g.toMultiPolygon()) {
            appendRings(*polygon, z, out.parts);
        }
        return;
    case wkbPolyhedralSurface:
    case wkbTIN:
        out.type = GeometryType::MultiPatch;
        for (const auto* patch : *g.toPolyhedralSurface()) {
            appendRings(*patch, z, out.parts);
        }
        return;
    case wkbCircularString:
    case wkbCompoundCurve:
    case wkbCurvePolygon:
    case wkbMultiCurve:
    case wkbMultiSurface: {
        OgrGeometryPtr linear(g.getLinearGeometry());
        if (linear) {
            fill(*linear, z, out);
        }
        return;
    }
    default:
        // Mixed collections have no host form: they read as no shape.
        out.type = GeometryType::Null;
        out.parts.clear();
        return;
    }
}

std::unique_ptr<OGRLineString> lineOf(const std::vector<MapPoint>& points, bool z) {
    auto line = std::make_unique<OGRLineString>();
    line->setNumPoints(static_cast<int>(points.size()), FALSE);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& p = points[i];
        if (z) {
            line->setPoint(static_cast<int>(i), p.x, p.y, p.z);
        } else {
            line->setPoint(static_cast<int>(i), p.x, p.y);
        }
    }
    return line;
}

std::unique_ptr<OGRLinearRing> ringOf(const std::vector<MapPoint>& points, bool z) {
    auto ring = std::make_unique<OGRLinearRing>();
    for (const auto& p : points) {
        if (z) {
            ring->addPoint(p.x, p.y, p.z);
        } else {
            ring->addPoint(p.x, p.y);
        }
    }
    if (!points.empty() &&
        !(points.front().x == points.back().x && points.front().y == points.back().y)) {
        const auto& first = points.front();
        if (z) {
            ring->addPoint(first.x, first.y, first.z);
        } else {
            ring->addPoint(first.x, first.y);
        }
    }
    return ring;
}

OgrGeometryPtr polygonOf(const Geometry& geometry, bool z) {
    std::vector<const std::vector<MapPoint>*> rings;
    for (const auto& part : geometry.parts) {
        if (!part.empty()) {
            rings.push_back(&part);
        }
    }
    if (rings.empty()) {
        auto empty = std::make_unique<OGRPolygon>();
        if (z) {
            empty->set3D(TRUE);
        }
        return OgrGeometryPtr(empty.release());
    }
    if (rings.size() == 1) {
        auto polygon = std::make_unique<OGRPolygon>();
        polygon->addRingDirectly(ringOf(*rings.front(), z).release());
        return OgrGeometryPtr(polygon.release());
    }
    // Which ring is a hole of which is decided by containment, whatever the orientation.
    std::vector<OGRGeometry*> pieces;
    pieces.reserve(rings.size());
    for (const auto* ring : rings) {
        auto polygon = std::make_unique<OGRPolygon>();
        polygon->addRingDirectly(ringOf(*ring, z).release());
        pieces.push_back(polygon.release());
    }
    int valid = 0;
    const char* options[] = {"METHOD=DEFAULT", nullptr};
    OGRGeometry* organised = OGRGeometryFactory::organizePolygons(
        pieces.data(), static_cast<int>(pieces.size()), &valid, options);
    return OgrGeometryPtr(organised);
}

bool sameFamily(GeometryType a, GeometryType b) {
    auto family = [](GeometryType t) {
        return t == GeometryType::Multipoint ? GeometryType::Point : t;
    };
    return family(a) == family(b);
}

} // namespace

double SignedRingArea(const std::vector<MapPoint>& ring) {
    // Shoelace over the closed ring; clockwise comes out positive.
    double twice = 0.0;
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto& a = ring[i];
        const auto& b = ring[(i + 1) % n];
        twice += a.x * b.y - b.x * a.y;
    }
    return -twice / 2.0;
}

Geometry FromOgr(const OGRGeometry* geometry, GeometryType fallback,
                 std::shared_ptr<ISpatialReference> reference) {
    Geometry out;
    out.type = fallback;
    out.spatialReference = std::move(reference);
    if (geometry != nullptr) {
        out.zAware = geometry->Is3D() != 0;
        fill(*geometry, out.zAware, out);
    }
    return out;
}

OgrGeometryPtr ToOgr(const Geometry& geometry) {
    const bool z = geometry.zAware;
    OgrGeometryPtr result;
    switch (geometry.type) {
    case GeometryType::Null:
        return nullptr;
    case GeometryType::Point: {
        if (geometry.IsEmpty()) {
            result.reset(new OGRPoint());
        } else {
            const auto& p = geometry.Point(0);
            result.reset(z ? new OGRPoint(p.x, p.y, p.z) : new OGRPoint(p.x, p.y));
        }
        break;
    }
    case GeometryType::Multipoint: {
        auto multi = std::make_unique<OGRMultiPoint>();
        for (const auto& part : geometry.parts) {
            for (const auto& p : part) {
                multi->addGeometryDirectly(z ? new OGRPoint(p.x, p.y, p.z)
                                             : new OGRPoint(p.x, p.y));
            }
        }
        result.reset(multi.release());
        break;
    }
    case GeometryType::Polyline: {
        std::vector<const std::vector<MapPoint>*> paths;
        for (const auto& part : geometry.parts) {
            if (!part.empty()) {
                paths.push_back(&part);
            }
        }
        if (paths.size() == 1) {
            result.reset(lineOf(*paths.front(), z).release());
        } else if (paths.empty()) {
            result.reset(new OGRLineString());
        } else {
            auto multi = std::make_unique<OGRMultiLineString>();
            for (const auto* path : paths) {
                multi->addGeometryDirectly(lineOf(*path, z).release());
            }
            result.reset(multi.release());
        }
        break;
    }
    case GeometryType::Polygon:
        result = polygonOf(geometry, z);
        break;
    default:
        throw PortError("Geometry", "a geometry of type " +
                                        std::to_string(static_cast<int>(geometry.type)) +
                                        " cannot be stored or operated on");
    }
    if (z) {
        result->set3D(TRUE);
    }
    return result;
}

GeometryType HostType(OGRwkbGeometryType type) {
    switch (wkbFlatten(type)) {
    case wkbPoint:
        return GeometryType::Point;
    case wkbMultiPoint:
        return GeometryType::Multipoint;
    case wkbLineString:
    case wkbMultiLineString:
    case wkbCircularString:
    case wkbCompoundCurve:
    case wkbMultiCurve:
        return GeometryType::Polyline;
    case wkbPolygon:
    case wkbMultiPolygon:
    case wkbCurvePolygon:
    case wkbMultiSurface:
    case wkbTriangle:
        return GeometryType::Polygon;
    case wkbPolyhedralSurface:
    case wkbTIN:
        return GeometryType::MultiPatch;
    default:
        return GeometryType::Null;
    }
}

OgrGeometryPtr FitToLayer(OgrGeometryPtr geometry, OGRwkbGeometryType layerType,
                          const std::string& operation) {
    if (!geometry) {
        return geometry;
    }
    const GeometryType want = HostType(layerType);
    const GeometryType have = HostType(geometry->getGeometryType());
    if (want != GeometryType::Null && !sameFamily(want, have)) {
        throw PortError(operation, "a geometry of type " + std::to_string(static_cast<int>(have)) +
                                       " does not fit a class of shape type " +
                                       std::to_string(static_cast<int>(want)));
    }
    const OGRwkbGeometryType flatLayer = wkbFlatten(layerType);
    const OGRwkbGeometryType flatGeometry = wkbFlatten(geometry->getGeometryType());
    const bool layerIsMulti = flatLayer == wkbMultiPoint || flatLayer == wkbMultiLineString ||
                              flatLayer == wkbMultiPolygon;
    if (layerIsMulti && flatGeometry != flatLayer) {
        geometry.reset(OGRGeometryFactory::forceTo(geometry.release(), flatLayer));
    } else if (flatLayer == wkbPoint && flatGeometry == wkbMultiPoint) {
        throw PortError(operation, "a multipoint does not fit a point class");
    }
    if (wkbHasZ(layerType)) {
        geometry->set3D(TRUE);
    } else if (layerType != wkbUnknown) {
        geometry->set3D(FALSE);
    }
    return geometry;
}

} // namespace scribeline::gis
