// The open, close and read exports.
#include "format.h"
#include "records.h"
#include "state.h"
#include "text.h"

#include <string>

namespace kc {

namespace {

const char* shapeTypeName(int type) {
    switch (type) {
    case 0:
        return "Null Shape";
    case 1:
        return "Point";
    case 3:
        return "PolyLine";
    case 5:
        return "Polygon";
    case 8:
        return "MultiPoint";
    case 11:
        return "PointZ";
    case 13:
        return "PolyLineZ";
    case 15:
        return "PolygonZ";
    case 18:
        return "MultiPointZ";
    case 21:
        return "PointM";
    case 23:
        return "PolyLineM";
    case 25:
        return "PolygonM";
    case 28:
        return "MultiPointM";
    case 31:
        return "MultiPatch";
    default:
        return "Unknown"; // a type the name table does not list
    }
}

const char* fieldTypeName(DBFFieldType type) {
    switch (type) {
    case FTInteger:
        return "integer";
    case FTDouble:
        return "float";
    case FTLogical:
        return "bool";
    case FTString:
    default:
        return "string";
    }
}

int openShp(const char* path) {
    // A shapefile still current is closed (its appended records and headers are
    // written) instead of being left open and lost.
    closeShapefileSlot();
    ModuleState& s = state();
    s.shp = openShapefile(path, "r+b", true);
    if (s.shp == nullptr) {
        showMessage("Unable to open.", path ? path : "");
        return 0;
    }
    s.tree = buildTree(s.shp);
    if (s.tree == nullptr) {
        closeShapefileSlot();
        showMessage("Unable to open.", path ? path : "");
        return 0;
    }
    return 1;
}

int openDbf(const char* path) {
    closeTableSlot(); // as for the shapefile: the replaced table is closed, not leaked
    ModuleState& s = state();
    int held = 0;
    s.dbf = openTable(path, "rb", &held);
    if (s.dbf == nullptr) {
        showMessage("DBF open failed.", "Error");
        return 0;
    }
    s.dbfRecords = held;
    if (DBFGetFieldCount(s.dbf) == 0) {
        showMessage("There are no fields in this table!", "Error");
        return 0;
    }
    return 1;
}

int readFeature(int index, int withAttributes, char* coordsOut, char* attrsOut, char* boundsOut) {
    ModuleState& s = state();
    if (s.shp == nullptr) {
        showMessage("Not opened.", "KC_ReadFeature");
        return -1;
    }
    setEmpty(coordsOut);
    setEmpty(attrsOut);
    int count = 0;
    SHPGetInfo(s.shp, &count, nullptr, nullptr, nullptr);
    if (index < 0 || index >= count)
        return -1;
    ShapePtr shape = readShape(s.shp, index);
    if (!shape)
        return -1; // a record that cannot be read safely: as an index outside the file
    std::string bounds;
    appendFixed8(bounds, shape->dfXMin);
    bounds += ',';
    appendFixed8(bounds, shape->dfYMin);
    bounds += ' ';
    appendFixed8(bounds, shape->dfXMax);
    bounds += ',';
    appendFixed8(bounds, shape->dfYMax);
    setText(boundsOut, bounds);
    std::string coords;
    coords.reserve(static_cast<std::size_t>(shape->nVertices) * 28);
    for (int v = 0; v < shape->nVertices; ++v) {
        appendFixed8(coords, shape->padfX[v]);
        coords += ',';
        appendFixed8(coords, shape->padfY[v]);
        coords += " \r\n";
    }
    setText(coordsOut, coords);
    if (withAttributes)
        fillRecordText(index, attrsOut);
    return index;
}

int metaInfo(char* typeOut, int* countOut, int withFields, char* fieldsOut) {
    ModuleState& s = state();
    if (s.shp == nullptr)
        return 0;
    int count = 0;
    int type = 0;
    SHPGetInfo(s.shp, &count, &type, nullptr, nullptr);
    setText(typeOut, shapeTypeName(type));
    if (countOut != nullptr)
        *countOut = count;
    if (!withFields)
        return 1;
    if (s.dbf == nullptr)
        return 0;
    std::string lines;
    const int fields = DBFGetFieldCount(s.dbf);
    for (int f = 0; f < fields; ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        int decimals = 0;
        const DBFFieldType t = DBFGetFieldInfo(s.dbf, f, name, &width, &decimals);
        lines += name;
        lines += ' ';
        lines += fieldTypeName(t);
        lines += ' ';
        appendInt(lines, width);
        lines += ' ';
        appendInt(lines, decimals);
        lines += "\r\n";
    }
    appendText(fieldsOut, lines);
    return 1;
}

} // namespace

int fillRecordText(int record, char* out) {
    ModuleState& s = state();
    if (s.dbf == nullptr) {
        showMessage("DBF not opened.", "Error");
        return -1;
    }
    const int fields = DBFGetFieldCount(s.dbf);
    if (fields == 0) {
        showMessage("There are no fields in this table!", "Error");
        return -1;
    }
    // A record outside the table (or beyond the end of a truncated file) is a failure
    // without a message; the buffer is not touched.
    if (record < 0 || record >= s.dbfRecords)
        return -1;
    std::string text;
    for (int f = 0; f < fields; ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        const DBFFieldType type = DBFGetFieldInfo(s.dbf, f, name, nullptr, nullptr);
        text += name;
        text += ' ';
        if (DBFIsAttributeNULL(s.dbf, record, f)) {
            text += '\t';
        } else if (type == FTString) {
            const char* value = DBFReadStringAttribute(s.dbf, record, f);
            if (value != nullptr)
                text += value;
        } else if (type == FTInteger) {
            appendInt(text, DBFReadIntegerAttribute(s.dbf, record, f));
        } else if (type == FTDouble) {
            appendFixed8(text, DBFReadDoubleAttribute(s.dbf, record, f));
        }
        text += " \r\n";
    }
    setText(out, text);
    return 1;
}

} // namespace kc

using namespace kc;

extern "C" {

KC_API int KC_CALL KC_OpenShpFile(const char* path) {
    return barrier("KC_OpenShpFile", 0, [&] { return openShp(path); });
}

KC_API void KC_CALL KC_CloseShpFile(void) {
    barrierVoid("KC_CloseShpFile", [] { closeShapefileSlot(); });
}

KC_API int KC_CALL KC_OpenDBFFile(const char* path) {
    return barrier("KC_OpenDBFFile", 0, [&] { return openDbf(path); });
}

KC_API int KC_CALL KC_ReadDBF(int record, char* out) {
    return barrier("KC_ReadDBF", -1, [&] { return fillRecordText(record, out); });
}

KC_API void KC_CALL KC_CloseDBFFile(void) {
    barrierVoid("KC_CloseDBFFile", [] { closeTableSlot(); });
}

KC_API int KC_CALL KC_GetMetaInfoFromShpDBF(char* typeOut, int* countOut, int withFields,
                                            char* fieldsOut) {
    return barrier("KC_GetMetaInfoFromShpDBF", 0,
                   [&] { return metaInfo(typeOut, countOut, withFields, fieldsOut); });
}

KC_API int KC_CALL KC_ReadFeature(int index, int withAttributes, char* coordsOut, char* attrsOut,
                                  char* boundsOut) {
    return barrier("KC_ReadFeature", -1, [&] {
        return readFeature(index, withAttributes, coordsOut, attrsOut, boundsOut);
    });
}

} // extern "C"
