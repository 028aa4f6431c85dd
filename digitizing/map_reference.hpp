// The map's coordinate system as the digitizer needs it: WGS 1984, in which the globe gives
// longitudes and latitudes in degrees.
#pragma once

#include "command/map_port.hpp"

namespace scribeline::digitizing {

// The host's name and EPSG code of WGS 1984.
inline constexpr const char* kWgs84Name = "GCS_WGS_1984";
inline constexpr int kWgs84Code = 4326;

// Puts the document's focus map in WGS 1984 unless it is already, and then refreshes the
// active view. Both are borrowed for the call. The host may refuse a reference: a PortError
// on the way is dropped and the map keeps its own.
void EnsureMapInWgs84(IMapApplication& host, IMxDocument& document);

} // namespace scribeline::digitizing
