/*
 * Kestrelcore: a plain C library over shapelib that opens ESRI shapefiles and their dBASE
 * tables, searches them spatially, exports them to KML, creates shapefiles and appends
 * features, and computes great-circle distances.
 *
 * The library keeps process-wide state (one current shapefile with its spatial index, one
 * current attribute table, the export progress counter) and returns no handles. Callers call
 * the exports from one thread at a time; only KC_GetProgressFromShp2Kml may be called from
 * another thread while KC_ExportShp2Kml runs.
 *
 * Texts are 8-bit, zero-terminated, in buffers that the caller allocates large enough for the
 * text described (no sizes are passed). Numbers in texts always use "." as the decimal
 * separator, whatever the locale.
 *
 * This header is plain C (C89 compatible) and also usable from C++.
 */
#ifndef KESTRELCORE_H
#define KESTRELCORE_H

/* Calling convention: stdcall on 32-bit Windows (the callee removes its arguments), the
 * platform default elsewhere (where stdcall does not exist or means the default). */
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define KC_CALL __stdcall
#else
#define KC_CALL
#endif

/* Export decoration. On Windows the exports, with their undecorated names and fixed
 * ordinals, come from kestrelcore.def; on ELF platforms a version script exports exactly
 * the functions below. KESTRELCORE_STATIC: the caller links the functions statically, not
 * from the DLL. */
#if defined(_WIN32)
#if defined(KESTRELCORE_BUILDING) || defined(KESTRELCORE_STATIC)
#define KC_API
#else
#define KC_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define KC_API __attribute__((visibility("default")))
#else
#define KC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Frame, shapefile and DBF access ------------------------------------- */

/* Opens the shapefile (path with or without extension) for reading and updating, makes it
 * the current shapefile and builds its spatial index. 1 opened, 0 failed (message). A
 * shapefile that was current before is closed first. */
KC_API int KC_CALL KC_OpenShpFile(const char* path);

/* Destroys the spatial index and closes the current shapefile (an appended shapefile is
 * complete on disk after this close). Does nothing when no shapefile is current. */
KC_API void KC_CALL KC_CloseShpFile(void);

/* Opens the attribute table read-only and makes it current. 1 opened, 0 failed or no fields
 * (message; a table without fields stays current). A table that was current before is
 * closed first. */
KC_API int KC_CALL KC_OpenDBFFile(const char* path);

/* Reads record `record` of the current table into `out` as "NAME value \r\n" lines.
 * 1 read, -1 no table, no fields or record outside the table. */
KC_API int KC_CALL KC_ReadDBF(int record, char* out);

/* Closes the current table. Does nothing when no table is current. */
KC_API void KC_CALL KC_CloseDBFFile(void);

/* Shape type name into typeOut, feature count through countOut; with withFields, appends
 * "NAME type width decimals\r\n" per field of the current table to fieldsOut.
 * 1 done, 0 no shapefile (or, with withFields, no table) is current. */
KC_API int KC_CALL KC_GetMetaInfoFromShpDBF(char* typeOut, int* countOut, int withFields,
                                            char* fieldsOut);

/* Reads feature `index`: vertices "x,y \r\n" into coordsOut, bounds "x,y x,y" into
 * boundsOut, with withAttributes the record into attrsOut. index, or -1. */
KC_API int KC_CALL KC_ReadFeature(int index, int withAttributes, char* coordsOut, char* attrsOut,
                                  char* boundsOut);

/* ---- Spatial searches and great-circle distance ------------------------- */

/* The highest feature whose extent contains (x, y); its vertices "x,y,6 \r\n" are appended
 * to coordsOut. Feature index, or -1 (both texts emptied). */
KC_API int KC_CALL KC_SearchShpFile(double x, double y, int withAttributes, char* coordsOut,
                                    char* attrsOut);

/* As KC_SearchShpFile, the line of vertex i appended to vertexTexts[i] (one buffer per
 * vertex). -1 on a miss, no text touched. */
KC_API int KC_CALL KC_SearchShpFile2(double x, double y, int withAttributes, char** vertexTexts,
                                     char* attrsOut);

/* Among the features whose extent contains (x, y), the nearest (point and polyline files)
 * or the last containing one (polygon files). Feature index, or -1 (both texts emptied). */
KC_API int KC_CALL KC_FindNearest(double x, double y, int withAttributes, char* coordsOut,
                                  char* attrsOut);

/* Lists (appends to listOut) up to 1,024 features whose extent overlaps the box
 * (x1, y1)-(x2, y2) and writes them to the KML file kmlPath. Number found. */
KC_API int KC_CALL KC_MultiSearchShpFile(double x1, double y1, double x2, double y2, char* listOut,
                                         int ringFlag, const char* kmlPath, int bboxFlag);

/* Lists (appends to listOut) up to 1,024 features lying wholly inside the circle of centre
 * (cx, cy) through (px, py) and writes them to kmlPath with ringText as outline. */
KC_API int KC_CALL KC_MultiSearchFeatureByCircle(double cx, double cy, double px, double py,
                                                 char* listOut, const char* ringText,
                                                 const char* kmlPath, int spherical);

/* Great-circle distance in metres between two positions in decimal degrees; -1.0 when a
 * position is out of range (or not a number). */
KC_API double KC_CALL SphericalDist(double lon1, double lat1, double lon2, double lat2);

/* ---- Shapefile to KML export -------------------------------------------- */

/* Writes basePath.shp as a KML 2.1 document to kmlPath. Feature count, -1 when the
 * shapefile cannot be opened, 0 on the other failures. */
KC_API int KC_CALL KC_ExportShp2Kml(const char* basePath, const char* kmlPath);

/* The feature index the running export is writing or last wrote (0 after load). Safe to
 * call from another thread while KC_ExportShp2Kml runs. */
KC_API int KC_CALL KC_GetProgressFromShp2Kml(void);

/* ---- Creation and append ------------------------------------------------ */

/* Creates a shapefile of type "POINT", "POLYLINE", "POLYGON", "MULTIPOINT" (or the same in
 * small letters) with Z values and makes it current. 0 created, 1 unknown type name,
 * 2 cannot be created. */
KC_API int KC_CALL KC_CreateShapeFile(const char* path, const char* typeName);

/* Appends one feature given as coordinate text ("x,y[,z] x,y[,z] ...") to the current
 * shapefile. The text is trimmed in place. At most 1,000 values are parsed; an incomplete
 * last vertex is dropped; a text without a complete vertex appends nothing.
 * 0 appended (or nothing to append), 1 no shapefile is current, -1 the write failed. */
KC_API int KC_CALL KC_AddFeatureInShapeFile(char* coords);

/* ---- Addition: message handler ----------------------------------------------------- */

/* Receives every message the library shows (text, title) instead of the default: a message
 * box with an OK button on Windows, "title: text\n" on standard error elsewhere. */
typedef void(KC_CALL* KC_MessageHandler)(const char* text, const char* title, void* userData);

/* Replaces the message handler; NULL restores the default. */
KC_API void KC_CALL KC_SetMessageHandler(KC_MessageHandler handler, void* userData);

#ifdef __cplusplus
}
#endif

#endif /* KESTRELCORE_H */
