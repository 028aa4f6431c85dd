// Spatial searches and great-circle distance.
#include "format.h"
#include "kml.h"
#include "records.h"
#include "state.h"
#include "text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace kc {

namespace {

constexpr std::size_t kMaxListed = 1024;

struct Box {
    double min[4] = {0, 0, 0, 0};
    double max[4] = {0, 0, 0, 0};
};

// The search box of a point: the tolerance is relative to the coordinate. Fault mended:
// for a negative coordinate (1 - 1e-6) * x is the larger number, so the two bounds of each
// axis are ordered; otherwise no point west or south of 0 would ever be found.
Box pointBox(double x, double y) {
    Box b;
    const double x1 = (1 - 0.000001) * x, x2 = (1 + 0.000001) * x;
    const double y1 = (1 - 0.000001) * y, y2 = (1 + 0.000001) * y;
    b.min[0] = std::min(x1, x2);
    b.max[0] = std::max(x1, x2);
    b.min[1] = std::min(y1, y2);
    b.max[1] = std::max(y1, y2);
    return b;
}

// The candidates of the spatial index, ascending.
class Candidates {
public:
    Candidates(SHPTree* tree, Box& box) {
        ids_ = SHPTreeFindLikelyShapes(tree, box.min, box.max, &count_);
        if (ids_ == nullptr)
            count_ = 0;
        if (count_ > 1 && !std::is_sorted(ids_, ids_ + count_))
            std::sort(ids_, ids_ + count_);
    }
    ~Candidates() { std::free(ids_); }
    Candidates(const Candidates&) = delete;
    Candidates& operator=(const Candidates&) = delete;
    const int* begin() const { return ids_; }
    const int* end() const { return ids_ + count_; }

private:
    int* ids_ = nullptr;
    int count_ = 0;
};

bool overlaps(Box& box, const SHPObject& o) {
    double omin[4] = {o.dfXMin, o.dfYMin, 0, 0};
    double omax[4] = {o.dfXMax, o.dfYMax, 0, 0};
    return SHPCheckBoundsOverlap(box.min, box.max, omin, omax, 2) != 0;
}

bool searchable() {
    const ModuleState& s = state();
    return s.shp != nullptr && s.tree != nullptr;
}

void appendVertexLine(std::string& out, double x, double y) {
    appendFixed8(out, x);
    out += ',';
    appendFixed8(out, y);
    out += ",6 \r\n";
}

// Box lookup: the highest feature whose extent overlaps the point's box.
int boxLookup(double x, double y, ShapePtr& found) {
    ModuleState& s = state();
    Box box = pointBox(x, y);
    int result = -1;
    Candidates cands(s.tree, box);
    for (int id : cands) {
        ShapePtr shape = readShape(s.shp, id);
        if (shape && overlaps(box, *shape)) {
            result = id;
            found = std::move(shape);
        }
    }
    return result;
}

// The result texts of a single-feature search: its vertex lines and, on request, its record.
int writeFoundFeature(int found, const ShapePtr& shape, int withAttributes, char* coordsOut,
                      char* attrsOut) {
    if (found < 0) {
        setEmpty(coordsOut);
        setEmpty(attrsOut);
        return -1;
    }
    std::string lines;
    for (int v = 0; v < shape->nVertices; ++v)
        appendVertexLine(lines, shape->padfX[v], shape->padfY[v]);
    appendText(coordsOut, lines);
    if (withAttributes)
        fillRecordText(found, attrsOut);
    return found;
}

int searchShp(double x, double y, int withAttributes, char* coordsOut, char* attrsOut) {
    ShapePtr shape;
    const int found = searchable() ? boxLookup(x, y, shape) : -1;
    return writeFoundFeature(found, shape, withAttributes, coordsOut, attrsOut);
}

int searchShp2(double x, double y, int withAttributes, char** vertexTexts, char* attrsOut) {
    if (!searchable())
        return -1;
    ShapePtr shape;
    const int found = boxLookup(x, y, shape);
    if (found < 0)
        return -1;
    if (vertexTexts != nullptr) {
        std::string line;
        for (int v = 0; v < shape->nVertices; ++v) {
            line.clear();
            appendVertexLine(line, shape->padfX[v], shape->padfY[v]);
            appendText(vertexTexts[v], line);
        }
    }
    if (withAttributes)
        fillRecordText(found, attrsOut);
    return found;
}

double squaredSegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double nx = ax, ny = ay;
    if (len2 != 0) {
        const double t = ((px - ax) * dx + (py - ay) * dy) / len2;
        if (t > 1) {
            nx = bx;
            ny = by;
        } else if (t >= 0) {
            nx = ax + t * dx;
            ny = ay + t * dy;
        } // t negative or not a number: A
    }
    return (px - nx) * (px - nx) + (py - ny) * (py - ny);
}

bool insideEvenOdd(const SHPObject& o, double px, double py) {
    const int n = o.nVertices;
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const double xi = o.padfX[i], yi = o.padfY[i];
        const double xj = o.padfX[j], yj = o.padfY[j];
        if ((yi <= py && py < yj) || (yj <= py && py < yi)) {
            const double xc = xi + (xj - xi) * (py - yi) / (yj - yi);
            if (xc > px)
                inside = !inside;
        }
    }
    return inside;
}

// Nearest-feature rule.
int nearest(double x, double y, ShapePtr& picked) {
    ModuleState& s = state();
    Box box = pointBox(x, y);
    int type = 0;
    SHPGetInfo(s.shp, nullptr, &type, nullptr, nullptr);
    if (type != SHPT_POINT && type != SHPT_ARC && type != SHPT_POLYGON)
        return -1;
    int pick = -1;
    double best = 0;
    bool haveBest = false;
    Candidates cands(s.tree, box);
    for (int id : cands) {
        ShapePtr shape = readShape(s.shp, id);
        if (!shape || !overlaps(box, *shape))
            continue;
        const SHPObject& o = *shape;
        bool take = false;
        if (type == SHPT_POINT) {
            if (o.nVertices > 0) {
                const double d =
                    (x - o.padfX[0]) * (x - o.padfX[0]) + (y - o.padfY[0]) * (y - o.padfY[0]);
                if (!haveBest || d < best) {
                    best = d;
                    haveBest = true;
                    take = true;
                }
            }
        } else if (type == SHPT_ARC) {
            for (int v = 0; v < o.nVertices; ++v) {
                if (!haveBest) {
                    best =
                        (x - o.padfX[v]) * (x - o.padfX[v]) + (y - o.padfY[v]) * (y - o.padfY[v]);
                    haveBest = true;
                    take = true;
                }
                if (v > 0) {
                    const double d = squaredSegmentDistance(x, y, o.padfX[v], o.padfY[v],
                                                            o.padfX[v - 1], o.padfY[v - 1]);
                    if (d < best) {
                        best = d;
                        take = true;
                    }
                }
            }
        } else {
            take = insideEvenOdd(o, x, y);
        }
        if (take) {
            pick = id;
            picked = std::move(shape);
        }
    }
    return pick;
}

int findNearest(double x, double y, int withAttributes, char* coordsOut, char* attrsOut) {
    ShapePtr shape;
    const int found = searchable() ? nearest(x, y, shape) : -1;
    return writeFoundFeature(found, shape, withAttributes, coordsOut, attrsOut);
}

int multiSearch(double x1, double y1, double x2, double y2, char* listOut, int ringFlag,
                const char* kmlPath, int bboxFlag) {
    if (!searchable())
        return 0;
    ModuleState& s = state();
    Box box;
    box.min[0] = x1;
    box.min[1] = y1;
    box.max[0] = x2;
    box.max[1] = y2;
    std::vector<int> list;
    std::string text;
    {
        Candidates cands(s.tree, box);
        for (int id : cands) {
            ShapePtr shape = readShape(s.shp, id);
            if (!shape || !overlaps(box, *shape))
                continue;
            list.push_back(id);
            appendInt10(text, static_cast<int>(list.size()));
            text += ": ";
            appendInt(text, id);
            text += "\r\n";
            if (list.size() == kMaxListed)
                break;
        }
    }
    appendText(listOut, text);
    std::string ring;
    if (ringFlag && !list.empty()) {
        const double xs[5] = {x1, x2, x2, x1, x1};
        const double ys[5] = {y1, y1, y2, y2, y1};
        for (int i = 0; i < 5; ++i) {
            if (i > 0)
                ring += ' ';
            appendFixed6(ring, xs[i]);
            ring += ',';
            appendFixed6(ring, ys[i]);
            ring += ",1";
        }
    }
    writeSelectionDocument(kmlPath, list, bboxFlag != 0, ring);
    return static_cast<int>(list.size());
}

double sphericalDist(double lon1, double lat1, double lon2, double lat2) {
    // A position is valid when |lon| - 180 and |lat| - 90 are not greater than 0.00001;
    // not-a-number coordinates are invalid too.
    auto valid = [](double lon, double lat) {
        return std::fabs(lon) - 180 <= 0.00001 && std::fabs(lat) - 90 <= 0.00001;
    };
    if (!valid(lon1, lat1) || !valid(lon2, lat2))
        return -1.0;
    // Identical positions are 0 apart (the formula's sin^2 + cos^2 is not exactly 1 in
    // floating point and would give about 0.1 m).
    if (lon1 == lon2 && lat1 == lat2)
        return 0.0;
    const bool west1 = lon1 < 0, west2 = lon2 < 0;
    const bool south1 = lat1 < 0, south2 = lat2 < 0;
    const double alon1 = std::fabs(lon1), alon2 = std::fabs(lon2);
    double dlon = west1 == west2 ? std::fabs(alon1 - alon2) : alon1 + alon2;
    if (dlon - 180 > -0.00001)
        dlon = 360 - dlon;
    constexpr double kPi = 3.14159265359;
    const double p1 = std::fabs(lat1) / 180 * kPi;
    const double p2 = std::fabs(lat2) / 180 * kPi;
    const double l = dlon / 180 * kPi;
    double c;
    if (south1 == south2)
        c = std::sin(p1) * std::sin(p2) + std::cos(p1) * std::cos(p2) * std::cos(l);
    else
        c = std::cos(p1) * std::cos(p2) * std::cos(l) - std::sin(p1) * std::sin(p2);
    // Fault mended: rounding can push c just outside [-1, 1]; clamp it (no NaN).
    c = std::clamp(c, -1.0, 1.0);
    return std::acos(c) * 6367442.8185;
}

int circleSearch(double cx, double cy, double px, double py, char* listOut, const char* ringText,
                 const char* kmlPath, int spherical) {
    if (!searchable())
        return 0;
    ModuleState& s = state();
    const double planeR2 = (cx - px) * (cx - px) + (cy - py) * (cy - py);
    const double r = spherical ? sphericalDist(cx, cy, px, py) : std::sqrt(planeR2);
    Box box;
    box.min[0] = cx - r;
    box.min[1] = cy - r;
    box.max[0] = cx + r;
    box.max[1] = cy + r;
    std::vector<int> list;
    std::string text;
    {
        Candidates cands(s.tree, box);
        for (int id : cands) {
            ShapePtr shape = readShape(s.shp, id);
            if (!shape || !overlaps(box, *shape))
                continue;
            const SHPObject& o = *shape;
            bool inside = true;
            for (int v = 0; v < o.nVertices && inside; ++v) {
                if (spherical)
                    inside = !(sphericalDist(cx, cy, o.padfX[v], o.padfY[v]) > r);
                else
                    inside = !((o.padfX[v] - cx) * (o.padfX[v] - cx) +
                                   (o.padfY[v] - cy) * (o.padfY[v] - cy) >
                               planeR2);
            }
            if (!inside)
                continue;
            list.push_back(id);
            appendInt(text, id);
            text += "\r\n";
            if (list.size() == kMaxListed)
                break;
        }
    }
    appendText(listOut, text);
    writeSelectionDocument(kmlPath, list, true, ringText ? ringText : "");
    return static_cast<int>(list.size());
}

} // namespace

} // namespace kc

using namespace kc;

extern "C" {

KC_API int KC_CALL KC_SearchShpFile(double x, double y, int withAttributes, char* coordsOut,
                                    char* attrsOut) {
    return barrier("KC_SearchShpFile", -1,
                   [&] { return searchShp(x, y, withAttributes, coordsOut, attrsOut); });
}

KC_API int KC_CALL KC_SearchShpFile2(double x, double y, int withAttributes, char** vertexTexts,
                                     char* attrsOut) {
    return barrier("KC_SearchShpFile2", -1,
                   [&] { return searchShp2(x, y, withAttributes, vertexTexts, attrsOut); });
}

KC_API int KC_CALL KC_FindNearest(double x, double y, int withAttributes, char* coordsOut,
                                  char* attrsOut) {
    return barrier("KC_FindNearest", -1,
                   [&] { return findNearest(x, y, withAttributes, coordsOut, attrsOut); });
}

KC_API int KC_CALL KC_MultiSearchShpFile(double x1, double y1, double x2, double y2, char* listOut,
                                         int ringFlag, const char* kmlPath, int bboxFlag) {
    return barrier("KC_MultiSearchShpFile", 0, [&] {
        return multiSearch(x1, y1, x2, y2, listOut, ringFlag, kmlPath, bboxFlag);
    });
}

KC_API int KC_CALL KC_MultiSearchFeatureByCircle(double cx, double cy, double px, double py,
                                                 char* listOut, const char* ringText,
                                                 const char* kmlPath, int spherical) {
    return barrier("KC_MultiSearchFeatureByCircle", 0, [&] {
        return circleSearch(cx, cy, px, py, listOut, ringText, kmlPath, spherical);
    });
}

KC_API double KC_CALL SphericalDist(double lon1, double lat1, double lon2, double lat2) {
    return barrier("SphericalDist", -1.0, [&] { return sphericalDist(lon1, lat1, lon2, lat2); });
}

} // extern "C"
