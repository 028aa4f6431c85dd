// CONREC: contour segments from a rectilinear grid, triangle by triangle.
#include "kml/kml_format.hpp"
#include "terrain/Contour.hpp"

#include <algorithm>
#include <array>

namespace scribeline::terrain {

namespace {

// Corner m = 1..4 of cell (i, j): column and row offsets.
constexpr std::array<int, 4> kCornerColumn{0, 1, 1, 0};
constexpr std::array<int, 4> kCornerRow{0, 0, 1, 1};

// Case by the signs (-1, 0, +1 as 0, 1, 2) of first vertex, centre, third vertex.
constexpr int kCase[3][3][3] = {
    {{0, 0, 8}, {0, 2, 5}, {7, 6, 9}},
    {{0, 3, 4}, {1, 3, 1}, {4, 3, 0}},
    {{9, 6, 7}, {5, 2, 0}, {8, 0, 0}},
};

int signIndex(double h) {
    return h > 0.0 ? 2 : (h < 0.0 ? 0 : 1);
}

void appendSegmentText(std::string& out, const ContourSegment& s) {
    out += "<LineString><coordinates>";
    out += FormatKmlNumber(s.x1);
    out += ',';
    out += FormatKmlNumber(s.y1);
    out += ' ';
    out += FormatKmlNumber(s.x2);
    out += ',';
    out += FormatKmlNumber(s.y2);
    out += ',';
    // The level in its shortest general form; "." always, since a comma here would split
    // the coordinate tuple.
    out += FormatKmlNumber(s.level);
    out += "</coordinates></LineString>";
}

} // namespace

ContourTrace TraceContours(const ContourGrid& grid, const std::vector<double>& levels,
                           int firstColumn, int lastColumn, int firstRow, int lastRow,
                           const Yield& yield) {
    if (firstColumn < 0 || firstRow < 0 || lastColumn > grid.LastColumn() ||
        lastRow > grid.LastRow()) {
        throw std::out_of_range("The contour trace reaches outside the sampled grid.");
    }
    ContourTrace trace;
    const auto nc = static_cast<int>(levels.size());
    trace.levelTexts.resize(levels.size());
    if (nc == 0) {
        return trace;
    }
    // The cell test needs the lowest and the highest level; a typed list need not be
    // ascending, so take them from the whole table rather than its two ends.
    const double lowest = *std::min_element(levels.begin(), levels.end());
    const double highest = *std::max_element(levels.begin(), levels.end());

    std::array<double, 5> h{};
    std::array<double, 5> xh{};
    std::array<double, 5> yh{};
    std::array<double, 5> uh{}; // fractional grid position within the cell, columns
    std::array<double, 5> vh{}; // and rows
    std::array<int, 5> sh{};
    // With the samples' own positions a vertex is placed through them; without, on the axes.
    const bool placed = grid.HasPositions();
    std::array<double, 4> cornerLon{}; // (i, j), (i+1, j), (i, j+1), (i+1, j+1)
    std::array<double, 4> cornerLat{};
    const auto place = [&](double u, double v) {
        const double lon = (1 - u) * (1 - v) * cornerLon[0] + u * (1 - v) * cornerLon[1] +
                           (1 - u) * v * cornerLon[2] + u * v * cornerLon[3];
        const double lat = (1 - u) * (1 - v) * cornerLat[0] + u * (1 - v) * cornerLat[1] +
                           (1 - u) * v * cornerLat[2] + u * v * cornerLat[3];
        return std::array<double, 2>{
            lon >= 180.0 ? lon - 360.0 : (lon < -180.0 ? lon + 360.0 : lon), lat};
    };
    const auto vertex = [&](std::size_t m) {
        return placed ? place(uh[m], vh[m]) : std::array<double, 2>{xh[m], yh[m]};
    };
    const auto cut = [&](std::size_t p, std::size_t q) {
        if (placed) {
            const double a = h[q] / (h[q] - h[p]); // weight of p
            return place(a * uh[p] + (1 - a) * uh[q], a * vh[p] + (1 - a) * vh[q]);
        }
        return std::array<double, 2>{(h[q] * xh[p] - h[p] * xh[q]) / (h[q] - h[p]),
                                     (h[q] * yh[p] - h[p] * yh[q]) / (h[q] - h[p])};
    };
    const auto segment = [](std::array<double, 2> a, std::array<double, 2> b, double z) {
        return ContourSegment{a[0], a[1], b[0], b[1], z};
    };
    for (int j = lastRow - 1; j >= firstRow; --j) {
        for (int i = firstColumn; i <= lastColumn - 1; ++i) {
            const double d1 = grid.D(i, j);
            const double d2 = grid.D(i, j + 1);
            const double d3 = grid.D(i + 1, j);
            const double d4 = grid.D(i + 1, j + 1);
            const double dmin = std::min(std::min(d1, d2), std::min(d3, d4));
            const double dmax = std::max(std::max(d1, d2), std::max(d3, d4));
            if (!(dmax >= lowest && dmin <= highest && dmax < kNoDataCeiling)) {
                continue;
            }
            if (placed) {
                for (std::size_t k = 0; k < 4; ++k) {
                    const int column = i + static_cast<int>(k % 2);
                    const int row = j + static_cast<int>(k / 2);
                    cornerLon[k] = grid.Longitude(column, row);
                    cornerLat[k] = grid.Latitude(column, row);
                    // A cell across the antimeridian: its longitudes on one side of it.
                    if (cornerLon[k] - cornerLon[0] > 180.0) {
                        cornerLon[k] -= 360.0;
                    } else if (cornerLon[k] - cornerLon[0] < -180.0) {
                        cornerLon[k] += 360.0;
                    }
                }
            }
            for (int k = 0; k < nc; ++k) {
                const double z = levels[static_cast<std::size_t>(k)];
                if (z < dmin || z > dmax) {
                    continue;
                }
                for (int m = 4; m >= 0; --m) {
                    if (m > 0) {
                        const int dc = kCornerColumn[static_cast<std::size_t>(m - 1)];
                        const int dr = kCornerRow[static_cast<std::size_t>(m - 1)];
                        h[static_cast<std::size_t>(m)] = grid.D(i + dc, j + dr) - z;
                        xh[static_cast<std::size_t>(m)] = grid.X(i + dc);
                        yh[static_cast<std::size_t>(m)] = grid.Y(j + dr);
                        uh[static_cast<std::size_t>(m)] = dc;
                        vh[static_cast<std::size_t>(m)] = dr;
                    } else {
                        h[0] = 0.25 * (h[1] + h[2] + h[3] + h[4]);
                        xh[0] = 0.5 * (grid.X(i) + grid.X(i + 1));
                        yh[0] = 0.5 * (grid.Y(j) + grid.Y(j + 1));
                        uh[0] = 0.5;
                        vh[0] = 0.5;
                    }
                    sh[static_cast<std::size_t>(m)] = signIndex(h[static_cast<std::size_t>(m)]);
                }
                for (std::size_t m = 1; m <= 4; ++m) {
                    const std::size_t m1 = m;
                    const std::size_t m2 = 0;
                    const std::size_t m3 = m == 4 ? 1 : m + 1;
                    const int c = kCase[sh[m1]][sh[m2]][sh[m3]];
                    if (c == 0) {
                        continue;
                    }
                    ContourSegment s;
                    switch (c) {
                    case 1:
                        s = segment(vertex(m1), vertex(m2), z);
                        break;
                    case 2:
                        s = segment(vertex(m2), vertex(m3), z);
                        break;
                    case 3:
                        s = segment(vertex(m3), vertex(m1), z);
                        break;
                    case 4:
                        s = segment(vertex(m1), cut(m2, m3), z);
                        break;
                    case 5:
                        s = segment(vertex(m2), cut(m3, m1), z);
                        break;
                    case 6:
                        s = segment(vertex(m3), cut(m1, m2), z);
                        break;
                    case 7:
                        s = segment(cut(m1, m2), cut(m2, m3), z);
                        break;
                    case 8:
                        s = segment(cut(m2, m3), cut(m3, m1), z);
                        break;
                    default: // 9
                        s = segment(cut(m3, m1), cut(m1, m2), z);
                        break;
                    }
                    appendSegmentText(trace.levelTexts[static_cast<std::size_t>(k)], s);
                    trace.segments.push_back(s);
                }
            }
        }
        if (yield) {
            yield();
        }
    }
    return trace;
}

} // namespace scribeline::terrain
