// Contour: the pure part of the terrain subsystem. The contour sampler's grid, the level table
// built from it (by number, by interval or from a typed list), the CONREC tracer that turns
// both into two-point segments and KML text, and the pieces of the contour KML document.
//
// Units: x longitude and y latitude in degrees (WGS 1984), altitudes and levels in metres.
// Nothing here touches a port; the optional `yield` callbacks let long loops give the message
// loop a turn (may be empty: no yielding).
#pragma once

#include "platform/numbers.hpp"
#include "platform/types.hpp"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace scribeline::terrain {

// Grids hold at most 1001 values per dimension (indices 0 to 1000).
inline constexpr int kMaxGridIndex = 1000;
// The level table holds at most 1001 levels.
inline constexpr int kMaxLevels = 1001;
// A cell whose highest corner reaches this is no-data and skipped.
inline constexpr double kNoDataCeiling = 1e37;

using Yield = std::function<void()>;

// Rounds to the nearest integer, ties to even, as the platform's integer conversions do.
[[nodiscard]] double RoundHalfEven(double value);

// Level texts are read with LeadingNumber (platform/numbers.hpp), as the platform's Val reads
// them whatever the locale.
using scribeline::LeadingNumber;

// The square grid of the contour sampler: x(column) the longitude of the sample in row 0,
// y(row) the latitude of the sample in column 0, d(column, row) the altitude, and the ground
// position of every sample. Under a tilted camera or over relief the samples do not lie on the
// x and y axes, so the tracer places its vertices through the samples' own positions where
// they are set; a grid without them (a flat, untilted view) is rectilinear on its axes.
class ContourGrid {
public:
    ContourGrid() = default;
    // Sizes the grid to columns 0..lastColumn and rows 0..lastRow, all values 0. Raises
    // std::out_of_range when a last index is negative or above 1000.
    ContourGrid(int lastColumn, int lastRow);

    [[nodiscard]] int LastColumn() const { return lastColumn_; }
    [[nodiscard]] int LastRow() const { return lastRow_; }
    // Accessors raise std::out_of_range outside the grid.
    [[nodiscard]] double& X(int column);
    [[nodiscard]] double X(int column) const;
    [[nodiscard]] double& Y(int row);
    [[nodiscard]] double Y(int row) const;
    [[nodiscard]] double& D(int column, int row);
    [[nodiscard]] double D(int column, int row) const;
    // The ground position of sample (column, row), degrees. Raises std::out_of_range outside
    // the grid.
    void SetPosition(int column, int row, double longitude, double latitude);
    // Whether every sample's position has been set (then the tracer uses them).
    [[nodiscard]] bool HasPositions() const;
    // The sample's position; X(column) and Y(row) where none was set.
    [[nodiscard]] double Longitude(int column, int row) const;
    [[nodiscard]] double Latitude(int column, int row) const;

private:
    [[nodiscard]] std::size_t index(int column, int row) const;
    int lastColumn_ = -1;
    int lastRow_ = -1;
    std::vector<double> x_;
    std::vector<double> y_;
    std::vector<double> d_;
    std::vector<double> lon_; // NaN where no position was set
    std::vector<double> lat_;
    std::size_t positionsSet_ = 0;
};

// A level mode needs more levels than the table holds, or cannot make a table at all.
class LevelTableError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How the lowest level of the number and interval modes is chosen: by hand (option
// "Start elevation:") from `text`, or automatically from the samples.
struct StartElevation {
    bool byHand = false;
    std::string text = "500";
};

// The rounded elevation range of a grid: the last column and the last row are not scanned,
// both ends are floored to tens. zmin starts at 9999 and zmax at 0.
struct ElevationRange {
    int zmin = 9999;
    int zmax = 0;
};
// Raises LevelTableError when a sample does not fit a 16-bit integer.
[[nodiscard]] ElevationRange ScanElevationRange(const ContourGrid& grid, const Yield& yield = {});
// The lowest level: the typed start elevation when chosen by hand and strictly inside the
// range, else zmin.
[[nodiscard]] int BaseLevel(const ElevationRange& range, const StartElevation& start);

// n levels from one step above the base up to zmax, ascending; n <= 0 gives none. Raises
// LevelTableError when n is above 1001.
[[nodiscard]] std::vector<double> LevelsByNumber(const ContourGrid& grid, int n,
                                                 const StartElevation& start,
                                                 const Yield& yield = {});
// Levels base, base + interval, ... ; the values generated up to the first one above zmax
// minus the last two are used (a flat grid gives none). Raises LevelTableError when the
// interval is not positive or the table would overflow.
[[nodiscard]] std::vector<double> LevelsByInterval(const ContourGrid& grid, int interval,
                                                   const StartElevation& start,
                                                   const Yield& yield = {});
// One level per comma-separated piece, in typed order; an empty text gives none, an empty or
// unreadable piece the level 0. Raises LevelTableError for more than 1001 pieces.
[[nodiscard]] std::vector<double> LevelsFromList(std::string_view text);

// One traced segment: from (x1, y1) to (x2, y2), both at the segment's level.
struct ContourSegment {
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
    double level = 0.0;
    friend bool operator==(const ContourSegment&, const ContourSegment&) = default;
};

// What a trace produces: per level index the KML text of its segments (LineStrings run
// together), and every segment in the order emitted.
struct ContourTrace {
    std::vector<std::string> levelTexts;
    std::vector<ContourSegment> segments;
};

// CONREC over columns firstColumn..lastColumn and rows firstRow..lastRow of the grid: each
// cell is split into four triangles around its centre and every level crossing a triangle
// gives at most one segment. A vertex at a fractional grid position of a cell is placed on the
// ground through the cell's sample positions: linearly between the two samples of a cell edge,
// bilinearly over the four inside the cell (the centre included). Rows are visited from the last
// cell row down, columns upward; the caller's yield runs after each row. Raises std::out_of_range
// for bounds outside the grid.
[[nodiscard]] ContourTrace TraceContours(const ContourGrid& grid, const std::vector<double>& levels,
                                         int firstColumn, int lastColumn, int firstRow, int lastRow,
                                         const Yield& yield = {});

// ---- the contour KML document ------------------------------------------------------------

// v as two upper-case hex digits (v taken modulo 256).
[[nodiscard]] std::string HexByte(int value);
// The blue, green and red bytes of a colour as hex (white "FFFFFF", yellow "00FFFF").
[[nodiscard]] std::string KmlColourText(Colour colour);
// n colours stepping from `start` towards `end`; the last one stops one step short of `end`.
[[nodiscard]] std::vector<Colour> GradientColours(Colour start, Colour end, int n);
inline constexpr Colour kGradientStart = rgb(255, 255, 0);
inline constexpr Colour kGradientEnd = rgb(255, 0, 0);

// The document up to the last Style: the Contours style and, with `gradient`, one style
// "Contour<i>" per level i = 0 .. levelCount-1 in the gradient colours.
[[nodiscard]] std::string ContourDocumentHead(int levelCount, bool gradient);
// " </Document></kml>", no line end.
[[nodiscard]] std::string ContourDocumentTail();
// One placemark line per level whose text is not blank, referring to style "#Contour<k>".
[[nodiscard]] std::string ContourDocumentBody(const std::vector<std::string>& levelTexts);

} // namespace scribeline::terrain
