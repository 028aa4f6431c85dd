// Safe access to shapefile records. shapelib 1.5.0 trusts the counts inside a record more
// than it should, so every record is checked by reading its bytes ourselves before
// SHPReadObject sees it: offset and length against the real file size, part and point
// counts against the record length, part starts against the point count, and a cap on the
// size of one record (which bounds every allocation shapelib makes for it).
#pragma once

#include <shapefil.h>

#include <cstdint>
#include <memory>

namespace kc {

// The largest record content we let shapelib read: 256 MiB, about 16 million XY vertices.
// shapelib allocates about twice a record's size for one object, so no single object read
// allocates much more than 512 MiB.
constexpr std::uint64_t kMaxRecordBytes = 256ull << 20;

struct RecordBounds {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

// Opens a shapefile through our hooks ("rb" or "r+b"); null on failure. randomAccess maps
// the .shp into memory.
SHPHandle openShapefile(const char* path, const char* access, bool randomAccess = false);
// Creates a shapefile through our hooks; null on failure.
SHPHandle createShapefile(const char* path, int shapeType);
// Opens a table through our hooks and checks its field layout; null on failure.
// recordsHeld receives the number of records the file really holds.
DBFHandle openTable(const char* path, const char* access, int* recordsHeld);

// True if record i exists and is consistent; bounds (as SHPReadObject would report them)
// are stored when the pointer is non-null.
bool checkRecord(SHPHandle shp, int i, RecordBounds* bounds);

struct ShapeDeleter {
    void operator()(SHPObject* o) const { SHPDestroyObject(o); }
};
using ShapePtr = std::unique_ptr<SHPObject, ShapeDeleter>;

// checkRecord, then SHPReadObject; null if the record cannot be read.
ShapePtr readShape(SHPHandle shp, int i);

// The spatial index, the same SHPTree that shapelib's
// SHPCreateTree(shp, 2, 0, NULL, NULL) builds, but from record bounds read by ourselves
// and inserted with SHPTreeAddShapeId.
SHPTree* buildTree(SHPHandle shp);

} // namespace kc
