// Fuzz target: open a shapefile and its table, read every feature and record, run every
// search, append a feature and close.
#include "fuzz_support.h"

#include <algorithm>
#include <cmath>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kcfuzz::Parts parts = kcfuzz::split(data, size);
    const std::string base = kcfuzz::writeShapefile(parts, "open");
    const std::size_t cap = kcfuzz::textCapacity(size);
    std::vector<char> coords(cap), attrs(cap), bounds(2048), list(64 * 1024);
    const bool opened = KC_OpenShpFile(base.c_str()) == 1;
    KC_OpenDBFFile(base.c_str());
    char type[64];
    int count = 0;
    std::vector<char> fields(64 * 1024);
    fields[0] = '\0';
    KC_GetMetaInfoFromShpDBF(type, &count, 1, fields.data());
    std::vector<std::pair<double, double>> probes = {{0, 0}, {1, 1}, {-1, -1}};
    const int limit = std::min(count, 2000);
    for (int i = -1; i <= limit; ++i) {
        if (KC_ReadFeature(i, 1, coords.data(), attrs.data(), bounds.data()) >= 0 &&
            probes.size() < 16) {
            double x = 0, y = 0;
            if (std::sscanf(bounds.data(), "%lf,%lf", &x, &y) == 2)
                probes.emplace_back(x, y);
        }
    }
    for (int r = -1; r < 16; ++r)
        KC_ReadDBF(r, attrs.data());
    if (opened) {
        std::vector<std::vector<char>> vertexBuffers(size / 16 + 4, std::vector<char>(700));
        std::vector<char*> vertexTexts;
        for (auto& b : vertexBuffers)
            vertexTexts.push_back(b.data());
        for (const auto& [x, y] : probes) {
            coords[0] = '\0';
            KC_SearchShpFile(x, y, 1, coords.data(), attrs.data());
            for (auto& b : vertexBuffers)
                b[0] = '\0';
            KC_SearchShpFile2(x, y, 1, vertexTexts.data(), attrs.data());
            coords[0] = '\0';
            KC_FindNearest(x, y, 1, coords.data(), attrs.data());
        }
        const std::string kml = kcfuzz::folder() + "/sel.kml";
        list[0] = '\0';
        KC_MultiSearchShpFile(-1e308, -1e308, 1e308, 1e308, list.data(), 1, kml.c_str(), 1);
        list[0] = '\0';
        KC_MultiSearchShpFile(probes.back().first, probes.back().second, 0, 0, list.data(), 1,
                              kml.c_str(), 0);
        list[0] = '\0';
        KC_MultiSearchFeatureByCircle(probes.back().first, probes.back().second, 0, 0, list.data(),
                                      "0,0,0", kml.c_str(), 0);
        list[0] = '\0';
        KC_MultiSearchFeatureByCircle(0, 0, 1, 1, list.data(), "", kml.c_str(), 1);
        char text[] = "1,2,3 4,5,6";
        KC_AddFeatureInShapeFile(text);
    }
    KC_CloseShpFile();
    KC_CloseDBFFile();
    SphericalDist(probes.back().first, probes.back().second, 1, 1);
    return 0;
}
