// Fuzz target: export a shapefile to KML.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kcfuzz::Parts parts = kcfuzz::split(data, size);
    const std::string base = kcfuzz::writeShapefile(parts, "export");
    const std::string kml = kcfuzz::folder() + "/export.kml";
    KC_ExportShp2Kml(base.c_str(), kml.c_str());
    KC_GetProgressFromShp2Kml();
    return 0;
}
