// Shapefile creation and feature append.
#include "coords.h"
#include "records.h"
#include "shapeio.h"
#include "state.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace kc {

namespace {

bool writableType(int type) {
    switch (type) {
    case SHPT_NULL:
    case SHPT_POINT:
    case SHPT_ARC:
    case SHPT_POLYGON:
    case SHPT_MULTIPOINT:
    case SHPT_POINTZ:
    case SHPT_ARCZ:
    case SHPT_POLYGONZ:
    case SHPT_MULTIPOINTZ:
    case SHPT_POINTM:
    case SHPT_ARCM:
    case SHPT_POLYGONM:
    case SHPT_MULTIPOINTM:
    case SHPT_MULTIPATCH:
        return true;
    default:
        return false;
    }
}

bool isNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-';
}

int createShape(const char* path, const char* typeName) {
    static const struct {
        const char* name;
        int type;
    } kTypes[] = {{"POINT", SHPT_POINTZ},           {"point", SHPT_POINTZ},
                  {"POLYLINE", SHPT_ARCZ},          {"polyline", SHPT_ARCZ},
                  {"POLYGON", SHPT_POLYGONZ},       {"polygon", SHPT_POLYGONZ},
                  {"MULTIPOINT", SHPT_MULTIPOINTZ}, {"multipoint", SHPT_MULTIPOINTZ}};
    int type = -1;
    for (const auto& t : kTypes) {
        if (typeName != nullptr && std::strcmp(typeName, t.name) == 0) {
            type = t.type;
            break;
        }
    }
    if (type < 0) {
        showMessage("Shape Type is not recognised.", "Error");
        return 1;
    }
    // The shapefile still current is closed first, so that its appended records
    // reach the disk complete.
    closeShapefileSlot();
    ModuleState& s = state();
    s.shp = createShapefile(path, type);
    if (s.shp == nullptr) {
        showMessage("Unable to create", "Error");
        return 2;
    }
    return 0;
}

int addFeature(char* text) {
    ModuleState& s = state();
    if (s.shp == nullptr) {
        showMessage("Unable to open", "Error");
        return 1;
    }
    int type = 0;
    SHPGetInfo(s.shp, nullptr, &type, nullptr, nullptr);
    if (text == nullptr)
        return 0;
    if (!writableType(type)) {
        // shapelib asserts on writing a type it does not know (a damaged header)
        showMessage("Unable to write the feature.", "Error");
        return -1;
    }
    trimCoordinateText(text);
    if (text[0] == '\0')
        return 0; // an empty text appends nothing
    auto values = std::make_unique<ParsedValues>();
    parseCoordinateText(text, *values);
    auto vertices = std::make_unique<Vertices>();
    formVertices(*values, *vertices);
    if (vertices->count == 0)
        return 0; // no complete vertex: nothing to append
    SHPObject* obj =
        SHPCreateObject(type, -1, 0, nullptr, nullptr, vertices->count, vertices->x.data(),
                        vertices->y.data(), vertices->z.data(), nullptr);
    if (obj == nullptr)
        return -1;
    const int written = SHPWriteObject(s.shp, -1, obj);
    SHPDestroyObject(obj);
    if (written < 0) {
        showMessage("Unable to write the feature.", "Error");
        return -1;
    }
    return 0;
}

} // namespace

void trimCoordinateText(char* text) {
    if (text == nullptr)
        return;
    std::size_t first = 0;
    while (text[first] != '\0' && !isNumberChar(text[first]))
        ++first;
    const std::size_t rest = std::strlen(text + first);
    std::memmove(text, text + first, rest + 1);
    for (std::size_t i = rest; i-- > 1;) {
        if ((text[i] >= '0' && text[i] <= '9') || text[i] == '.') {
            text[i + 1] = '\0';
            break;
        }
    }
}

void parseCoordinateText(const char* text, ParsedValues& out) {
    out.count = 0;
    out.dimension = 0;
    int commas = 0;
    std::string token;
    for (std::size_t i = 0;; ++i) {
        const char c = text[i];
        if (isNumberChar(c)) {
            token += c;
            continue;
        }
        // Every other character, the terminator included, ends the token.
        out.values[static_cast<std::size_t>(out.count++)] =
            token.empty() ? 0.0 : strtodC(token.c_str(), nullptr);
        token.clear();
        if (out.dimension == 0) {
            if (c == ',')
                ++commas;
            else
                out.dimension = commas + 1;
        }
        if (c == '\0' || out.count == kMaxValues)
            break;
    }
    if (out.dimension == 0)
        out.dimension = commas + 1; // stopped at the value limit inside the first vertex
}

void formVertices(const ParsedValues& values, Vertices& out) {
    out.count = 0;
    const int dim = values.dimension;
    if (dim <= 0)
        return;
    const int need = std::max(dim, 2);
    for (int k = 0; k + need <= values.count && out.count < kMaxVertices; k += dim) {
        const auto v = static_cast<std::size_t>(out.count++);
        out.x[v] = values.values[static_cast<std::size_t>(k)];
        out.y[v] = values.values[static_cast<std::size_t>(k + 1)];
        out.z[v] = dim == 3 ? values.values[static_cast<std::size_t>(k + 2)] : 0.0;
    }
}

} // namespace kc

using namespace kc;

extern "C" {

KC_API int KC_CALL KC_CreateShapeFile(const char* path, const char* typeName) {
    return barrier("KC_CreateShapeFile", 2, [&] { return createShape(path, typeName); });
}

KC_API int KC_CALL KC_AddFeatureInShapeFile(char* coords) {
    return barrier("KC_AddFeatureInShapeFile", -1, [&] { return addFeature(coords); });
}

} // extern "C"
