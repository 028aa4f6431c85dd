// Fuzz target: open a table, list its fields and read its records.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string base = kcfuzz::folder() + "/table";
    kcfuzz::writeFile(base + ".dbf", data, size);
    static const bool shapefile = [] {
        // a valid, empty shapefile for the field list of KC_GetMetaInfoFromShpDBF
        const std::string shp = kcfuzz::folder() + "/meta";
        return KC_CreateShapeFile(shp.c_str(), "point") == 0;
    }();
    (void)shapefile;
    std::vector<char> out(kcfuzz::textCapacity(size) + 64 * size);
    KC_OpenDBFFile(base.c_str());
    for (int r = -2; r < 64; ++r)
        KC_ReadDBF(r, out.data());
    KC_ReadDBF(0x7FFFFFFF, out.data());
    char type[64];
    int count = 0;
    out[0] = '\0';
    KC_GetMetaInfoFromShpDBF(type, &count, 1, out.data());
    KC_CloseDBFFile();
    return 0;
}
