// The map put in WGS 1984.
#include "digitizing/map_reference.hpp"

namespace scribeline::digitizing {

void EnsureMapInWgs84(IMapApplication& host, IMxDocument& document) {
    try {
        auto map = document.FocusMap();
        auto reference = map->SpatialReference();
        if (reference && reference->Name() == kWgs84Name) {
            return;
        }
        map->SetSpatialReference(
            host.Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(kWgs84Code));
        document.ActiveView()->Refresh();
    } catch (const PortError&) {
        // The work goes on in the map's own reference.
    }
}

} // namespace scribeline::digitizing
