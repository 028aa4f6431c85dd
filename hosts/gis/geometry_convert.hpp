// Conversion between the port's geometry values and OGR geometries. Internal.
#pragma once

#include "command/map_port.hpp"
#include "hosts/gis/gdal_support.hpp"

#include <ogr_core.h>

#include <memory>
#include <vector>

class OGRGeometry;

namespace scribeline::gis {

// The port value of an OGR geometry (null gives an empty value of `fallback`). Curves are
// linearised; z comes along when the geometry has it; polygon rings come exterior first,
// then its interior rings, exterior rings clockwise and interior rings counter-clockwise.
// `reference` is attached as is.
Geometry FromOgr(const OGRGeometry* geometry, GeometryType fallback,
                 std::shared_ptr<ISpatialReference> reference);

// The OGR geometry of a port value in its natural OGR type: a polyline of one part is a line
// string, of more a multi line string; a polygon's rings are sorted into exterior and interior
// rings by containment and unclosed rings are closed. Null for GeometryType::Null. Raises
// PortError for envelopes, paths, rings and multipatches, which have no stored form here.
OgrGeometryPtr ToOgr(const Geometry& geometry);

// Area of a ring in the host's sign convention: clockwise positive, counter-clockwise
// negative. The ring may be open; it is closed implicitly.
double SignedRingArea(const std::vector<MapPoint>& ring);

// The host geometry type of an OGR layer or geometry type.
GeometryType HostType(OGRwkbGeometryType type);

// Fits a geometry to what a layer of `layerType` stores: single versus multi, z or not.
// Raises PortError when the families differ (a polyline for a polygon layer).
OgrGeometryPtr FitToLayer(OgrGeometryPtr geometry, OGRwkbGeometryType layerType,
                          const std::string& operation);

} // namespace scribeline::gis
