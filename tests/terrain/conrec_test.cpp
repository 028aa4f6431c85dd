// CONREC: the cases of the triangle table the tracer meets on small grids, the order of the
// visit, the KML text of each level and the limits of its input.
#include "terrain/Contour.hpp"
#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace scribeline::terrain {
namespace {

using Segments = std::vector<ContourSegment>;

// One cell on the unit square: corners (0,0) (1,0) (1,1) (0,1) = corner 1 to 4.
ContourGrid Cell(double c1, double c2, double c3, double c4) {
    ContourGrid g(1, 1);
    g.X(0) = 0.0;
    g.X(1) = 1.0;
    g.Y(0) = 0.0;
    g.Y(1) = 1.0;
    g.D(0, 0) = c1;
    g.D(1, 0) = c2;
    g.D(1, 1) = c3;
    g.D(0, 1) = c4;
    return g;
}

ContourTrace Trace(const ContourGrid& g, const std::vector<double>& levels) {
    return TraceContours(g, levels, 0, g.LastColumn(), 0, g.LastRow());
}

void ExpectNear(const ContourSegment& a, const ContourSegment& b) {
    EXPECT_NEAR(a.x1, b.x1, 1e-12);
    EXPECT_NEAR(a.y1, b.y1, 1e-12);
    EXPECT_NEAR(a.x2, b.x2, 1e-12);
    EXPECT_NEAR(a.y2, b.y2, 1e-12);
    EXPECT_EQ(a.level, b.level);
}

TEST(TraceContoursTest, NoLevelTracesNothing) {
    const ContourTrace t = Trace(Cell(1, 2, 3, 4), {});
    EXPECT_TRUE(t.segments.empty());
    EXPECT_TRUE(t.levelTexts.empty());
}

TEST(TraceContoursTest, LevelOutsideTheSampledRangeLeavesItsTextEmpty) {
    const ContourTrace t = Trace(Cell(100, 200, 300, 400), {50, 450});
    EXPECT_TRUE(t.segments.empty());
    ASSERT_EQ(t.levelTexts.size(), 2u);
    EXPECT_TRUE(t.levelTexts[0].empty());
    EXPECT_TRUE(t.levelTexts[1].empty());
}

TEST(TraceContoursTest, FlatCellOnTheLevelGivesItsFourEdges) {
    const ContourTrace t = Trace(Cell(500, 500, 500, 500), {500});
    // Every triangle is case 3: from its third vertex back to its first.
    EXPECT_EQ(
        t.segments,
        (Segments{{1, 0, 0, 0, 500}, {1, 1, 1, 0, 500}, {0, 1, 1, 1, 500}, {0, 0, 0, 1, 500}}));
}

TEST(TraceContoursTest, OneCornerAboveGivesTwoSegmentsMeetingOnItsHalfDiagonal) {
    // Corner 3 at 600, the others at 400: the centre (450) is below the level.
    const ContourTrace t = Trace(Cell(400, 400, 600, 400), {500});
    ASSERT_EQ(t.segments.size(), 2u);
    const double m = 2.0 / 3.0; // where 500 lies between the centre and corner 3
    ExpectNear(t.segments[0], {m, m, 1.0, 0.5, 500});
    ExpectNear(t.segments[1], {0.5, 1.0, m, m, 500});
}

TEST(TraceContoursTest, LevelThroughTwoAdjacentCornersGivesThatEdgeOnce) {
    const ContourTrace t = Trace(Cell(500, 500, 400, 400), {500});
    EXPECT_EQ(t.segments, (Segments{{1, 0, 0, 0, 500}}));
}

TEST(TraceContoursTest, LevelThroughOneCornerAndTheCentre) {
    // Corners 400, 500, 600, 500: the centre is 500 too, so the level runs from corner 2
    // through the centre to corner 4 (cases 1 and 2 of the table).
    const ContourTrace t = Trace(Cell(400, 500, 600, 500), {500});
    ASSERT_FALSE(t.segments.empty());
    for (const auto& s : t.segments) {
        // Every segment lies on the diagonal from corner 2 to corner 4 (x + y = 1).
        EXPECT_NEAR(s.x1 + s.y1, 1.0, 1e-12);
        EXPECT_NEAR(s.x2 + s.y2, 1.0, 1e-12);
    }
}

TEST(TraceContoursTest, SaddleIsDecidedByTheCentreMean) {
    // Opposite corners high: mean 500.25 lies above the level 500, so the centre joins the
    // high corners and the two low corners are cut off separately.
    const ContourTrace t = Trace(Cell(700, 300, 701, 300), {500});
    ASSERT_EQ(t.segments.size(), 4u);
    for (const auto& s : t.segments) {
        // The centre lies above the level: no segment passes through it.
        EXPECT_FALSE(std::abs(s.x1 - 0.5) < 1e-9 && std::abs(s.y1 - 0.5) < 1e-9);
    }
}

TEST(TraceContoursTest, NoDataCellIsSkipped) {
    EXPECT_TRUE(Trace(Cell(400, 600, 1e37, 400), {500}).segments.empty());
    EXPECT_FALSE(Trace(Cell(400, 600, 9e36, 400), {500}).segments.empty());
}

TEST(TraceContoursTest, RowsAreVisitedFromTheTopDownAndColumnsLeftToRight) {
    // A 3 x 3 cell grid rising to the east; each cell crosses 150 once per triangle pair.
    ContourGrid g(3, 3);
    for (int i = 0; i <= 3; ++i) {
        g.X(i) = i;
        g.Y(i) = 10.0 * i;
        for (int j = 0; j <= 3; ++j) {
            g.D(i, j) = 100.0 * i;
        }
    }
    int rows = 0;
    const ContourTrace t = TraceContours(g, {150}, 0, 3, 0, 3, [&] { ++rows; });
    EXPECT_EQ(rows, 3);
    ASSERT_FALSE(t.segments.empty());
    // Only column 1 crosses 150; the first segments lie in the top row, the last in row 0.
    double previousRow = 1e9;
    for (const auto& s : t.segments) {
        EXPECT_NEAR(std::min(s.x1, s.x2), 1.5, 1e-12);
        const double row = std::floor(std::min(s.y1, s.y2) / 10.0);
        EXPECT_LE(row, previousRow);
        previousRow = row;
    }
    EXPECT_GE(std::min(t.segments.front().y1, t.segments.front().y2), 20.0);
    EXPECT_LE(std::max(t.segments.back().y1, t.segments.back().y2), 10.0);
}

TEST(TraceContoursTest, LevelTextHoldsOneLineStringPerSegmentWithTheLevelLast) {
    ContourGrid g = Cell(500.5, 500.5, 400, 400);
    g.X(0) = 10.0;
    g.X(1) = 10.5;
    g.Y(0) = 46.0;
    g.Y(1) = 46.25;
    const ContourTrace t = Trace(g, {500.5});
    ASSERT_EQ(t.levelTexts.size(), 1u);
    EXPECT_EQ(t.levelTexts[0],
              "<LineString><coordinates>10.5,46 10,46,500.5</coordinates></LineString>");
}

TEST(TraceContoursTest, UnorderedListTracesLikeTheSortedOne) {
    // The cell spans 420 to 580: only the middle level of a descending list lies inside.
    const ContourGrid g = Cell(420, 480, 580, 520);
    const ContourTrace down = Trace(g, {1000, 500, 100});
    const ContourTrace up = Trace(g, {100, 500, 1000});
    ASSERT_FALSE(up.segments.empty());
    EXPECT_EQ(down.segments, up.segments);
    EXPECT_EQ(down.levelTexts[1], up.levelTexts[1]);
}

TEST(TraceContoursTest, BumpTracesTheGoldenLevelTexts) {
    // A 4 x 4 cell bump with a flat top at 300 and a ring of samples on 200.
    const double d[5][5] = {{100, 100, 100, 100, 100},
                            {100, 200, 200, 200, 100},
                            {100, 200, 300, 250, 100},
                            {100, 200, 200, 200, 100},
                            {100, 100, 100, 100, 100}};
    ContourGrid g(4, 4);
    for (int i = 0; i <= 4; ++i) {
        g.X(i) = 11.0 + 0.125 * i;
        g.Y(i) = 47.0 + 0.1 * i;
        for (int j = 0; j <= 4; ++j) {
            g.D(i, j) = d[j][i];
        }
    }
    const ContourTrace t = Trace(g, {150, 200, 275.5});
    std::string text;
    for (const auto& level : t.levelTexts) {
        text += level + "\n";
    }
    scribeline::testing::ExpectGolden(text, "terrain/bump_level_texts.txt");
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), 'L')) / 2,
              t.segments.size())
        << "one LineString per segment";
}

TEST(TraceContoursTest, BoundsOutsideTheGridAreRefused) {
    const ContourGrid g = Cell(1, 2, 3, 4);
    EXPECT_THROW((void)TraceContours(g, {2}, 0, 2, 0, 1), std::out_of_range);
    EXPECT_THROW((void)TraceContours(g, {2}, -1, 1, 0, 1), std::out_of_range);
}

} // namespace
} // namespace scribeline::terrain
