#include "records.h"

#include "shapeio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kc {

namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}
std::int32_t le32s(const unsigned char* p) {
    const std::uint32_t u = (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                            (std::uint32_t{p[1]} << 8) | std::uint32_t{p[0]};
    std::int32_t s;
    std::memcpy(&s, &u, sizeof s);
    return s;
}
double leDouble(const unsigned char* p) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i)
        u = (u << 8) | p[i];
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

enum class Kind { Null, Point, Multi, MultiPoint, Unknown };

Kind kindOf(int type) {
    switch (type) {
    case SHPT_NULL:
        return Kind::Null;
    case SHPT_POINT:
    case SHPT_POINTZ:
    case SHPT_POINTM:
        return Kind::Point;
    case SHPT_ARC:
    case SHPT_POLYGON:
    case SHPT_ARCZ:
    case SHPT_POLYGONZ:
    case SHPT_ARCM:
    case SHPT_POLYGONM:
    case SHPT_MULTIPATCH:
        return Kind::Multi;
    case SHPT_MULTIPOINT:
    case SHPT_MULTIPOINTZ:
    case SHPT_MULTIPOINTM:
        return Kind::MultiPoint;
    default:
        return Kind::Unknown;
    }
}

bool hasZ(int type) {
    return type == SHPT_POINTZ || type == SHPT_ARCZ || type == SHPT_POLYGONZ ||
           type == SHPT_MULTIPOINTZ || type == SHPT_MULTIPATCH;
}

// The limits shapelib itself applies to one record.
constexpr std::int64_t kMaxPoints = 50 * 1000 * 1000;
constexpr std::int64_t kMaxParts = 10 * 1000 * 1000;

} // namespace

SHPHandle openShapefile(const char* path, const char* access, bool randomAccess) {
    if (path == nullptr)
        return nullptr;
    return SHPOpenLL(path, access, randomAccess ? mappedHooks() : hooks());
}

SHPHandle createShapefile(const char* path, int shapeType) {
    if (path == nullptr)
        return nullptr;
    return SHPCreateLL(path, shapeType, hooks());
}

DBFHandle openTable(const char* path, const char* access, int* recordsHeld) {
    if (path == nullptr)
        return nullptr;
    DBFHandle dbf = DBFOpenLL(path, access, hooks());
    if (dbf == nullptr)
        return nullptr;
    // The field layout must fit the record length the header announces: shapelib 1.5.0
    // reads field values at their offsets without checking.
    bool ok = dbf->nFields >= 0 && dbf->nRecordLength >= 1 && dbf->nHeaderLength >= 32;
    for (int f = 0; ok && f < dbf->nFields; ++f) {
        const long long off = dbf->panFieldOffset[f];
        const long long size = dbf->panFieldSize[f];
        ok = off >= 1 && size >= 0 && off + size <= dbf->nRecordLength;
    }
    if (!ok) {
        DBFClose(dbf);
        return nullptr;
    }
    const std::uint64_t fileSize = streamSize(asStream(dbf->fp));
    std::uint64_t held = 0;
    if (fileSize > static_cast<std::uint64_t>(dbf->nHeaderLength))
        held = (fileSize - static_cast<std::uint64_t>(dbf->nHeaderLength)) /
               static_cast<std::uint64_t>(dbf->nRecordLength);
    const std::uint64_t announced =
        dbf->nRecords > 0 ? static_cast<std::uint64_t>(dbf->nRecords) : 0;
    *recordsHeld = static_cast<int>(std::min(held, announced));
    return dbf;
}

bool checkRecord(SHPHandle shp, int i, RecordBounds* bounds) {
    if (shp == nullptr || i < 0 || i >= shp->nRecords || shp->panRecOffset == nullptr ||
        shp->panRecSize == nullptr)
        return false;
    FileStream* s = asStream(shp->fpSHP);
    const std::uint64_t fileSize = streamSize(s);
    const std::uint64_t offset = shp->panRecOffset[i];
    const std::uint64_t shxLength = shp->panRecSize[i];
    if (offset < 100 || shxLength < 4 || shxLength > kMaxRecordBytes ||
        offset + 8 + shxLength > fileSize)
        return false;
    unsigned char head[8 + 44];
    const std::uint64_t headLen = std::min<std::uint64_t>(sizeof head, 8 + shxLength);
    if (!peek(s, offset, head, static_cast<std::size_t>(headLen)))
        return false;
    // The record header's own length must fit as well (shapelib may prefer it).
    const std::uint64_t shpLength = std::uint64_t{be32(head + 4) & 0x7FFFFFFFu} * 2;
    if (shpLength > kMaxRecordBytes || offset + 8 + shpLength > fileSize)
        return false;
    const std::uint64_t length = std::min(shxLength, shpLength);
    if (length < 4)
        return false;
    const unsigned char* c = head + 8;
    const int type = le32s(c);
    RecordBounds b;
    switch (kindOf(type)) {
    case Kind::Null:
        break; // SHPReadObject reports an object with zero bounds
    case Kind::Point:
        if (length < 20 + (hasZ(type) ? 8u : 0u))
            return false;
        b.xMin = b.xMax = leDouble(c + 4);
        b.yMin = b.yMax = leDouble(c + 12);
        break;
    case Kind::Multi: {
        if (length < 44)
            return false;
        const std::int64_t parts = le32s(c + 36);
        const std::int64_t points = le32s(c + 40);
        if (parts < 0 || points < 0 || parts > kMaxParts || points > kMaxPoints)
            return false;
        std::int64_t need = 44 + 4 * parts + 16 * points;
        if (type == SHPT_MULTIPATCH)
            need += 4 * parts;
        if (hasZ(type))
            need += 16 + 8 * points;
        if (static_cast<std::uint64_t>(need) > length)
            return false;
        if (parts == 0 && points > 0)
            return false;
        // Part starts: first 0... strictly increasing, all below the point count.
        std::vector<unsigned char> starts(static_cast<std::size_t>(4 * parts));
        if (parts > 0 && !peek(s, offset + 8 + 44, starts.data(), starts.size()))
            return false;
        std::int64_t prev = -1;
        for (std::int64_t p = 0; p < parts; ++p) {
            const std::int64_t st = le32s(starts.data() + 4 * p);
            if (st < 0 || st >= points || st <= prev)
                return false;
            prev = st;
        }
        b.xMin = leDouble(c + 4);
        b.yMin = leDouble(c + 12);
        b.xMax = leDouble(c + 20);
        b.yMax = leDouble(c + 28);
        break;
    }
    case Kind::MultiPoint: {
        if (length < 40)
            return false;
        const std::int64_t points = le32s(c + 36);
        if (points < 0 || points > kMaxPoints)
            return false;
        std::int64_t need = 40 + 16 * points;
        if (hasZ(type))
            need += 16 + 8 * points;
        if (static_cast<std::uint64_t>(need) > length)
            return false;
        b.xMin = leDouble(c + 4);
        b.yMin = leDouble(c + 12);
        b.xMax = leDouble(c + 20);
        b.yMax = leDouble(c + 28);
        break;
    }
    case Kind::Unknown:
        return false;
    }
    if (bounds != nullptr)
        *bounds = b;
    return true;
}

ShapePtr readShape(SHPHandle shp, int i) {
    if (!checkRecord(shp, i, nullptr))
        return nullptr;
    ShapePtr o(SHPReadObject(shp, i));
    if (o && (o->nVertices < 0 || (o->nVertices > 0 && (!o->padfX || !o->padfY))))
        return nullptr;
    return o;
}

namespace {

// Interleaves the low 21 bits of x and y (Morton order).
std::uint64_t spread(std::uint64_t v) {
    v &= 0x1FFFFF;
    v = (v | (v << 32)) & 0x1F00000000FFFFull;
    v = (v | (v << 16)) & 0x1F0000FF0000FFull;
    v = (v | (v << 8)) & 0x100F00F00F00F00Full;
    v = (v | (v << 4)) & 0x10C30C30C30C30C3ull;
    v = (v | (v << 2)) & 0x1249249249249249ull;
    return v;
}

std::uint64_t cell(double v, double lo, double hi) {
    const double t = (v - lo) / (hi - lo);
    if (!(t >= 0))
        return 0;
    if (!(t < 1))
        return 0x1FFFFF;
    return static_cast<std::uint64_t>(t * 2097152.0);
}

struct Entry {
    std::uint64_t key;
    int id;
    RecordBounds b;
};

} // namespace

SHPTree* buildTree(SHPHandle shp) {
    int count = 0;
    int type = 0;
    double minB[4] = {0, 0, 0, 0};
    double maxB[4] = {0, 0, 0, 0};
    SHPGetInfo(shp, &count, &type, minB, maxB);
    // The depth shapelib chooses for a maximum depth of 0: about 8 shapes per node, at
    // most MAX_DEFAULT_TREE_DEPTH levels.
    int depth = 0;
    long long maxNodeCount = 1;
    while (maxNodeCount * 4 < count) {
        ++depth;
        maxNodeCount *= 2;
    }
    if (depth > MAX_DEFAULT_TREE_DEPTH)
        depth = MAX_DEFAULT_TREE_DEPTH;
    // Record bounds as SHPReadObject reports them, read in one sequential pass.
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        Entry e{0, i, {}};
        if (!checkRecord(shp, i, &e.b))
            continue; // shapelib's SHPCreateTree skips records it cannot read
        const double cx = e.b.xMin / 2 + e.b.xMax / 2, cy = e.b.yMin / 2 + e.b.yMax / 2;
        e.key = (spread(cell(cx, minB[0], maxB[0])) << 1) | spread(cell(cy, minB[1], maxB[1]));
        entries.push_back(e);
    }
    // Inserting in Morton order makes consecutive insertions walk the same nodes, which
    // stay in the cache: the same nodes, the same candidates, only the order of the ids
    // inside a node differs (SHPTreeFindLikelyShapes sorts its answer).
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.id < b.id;
    });
    SHPTree* tree = SHPCreateTree(nullptr, 2, depth, minB, maxB);
    if (tree == nullptr)
        return nullptr;
    tree->hSHP = shp;
    SHPObject probe;
    std::memset(&probe, 0, sizeof probe);
    for (const Entry& e : entries) {
        probe.nShapeId = e.id;
        probe.dfXMin = e.b.xMin;
        probe.dfYMin = e.b.yMin;
        probe.dfXMax = e.b.xMax;
        probe.dfYMax = e.b.yMax;
        SHPTreeAddShapeId(tree, &probe);
    }
    return tree;
}

} // namespace kc
