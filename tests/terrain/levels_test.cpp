// The level table: the elevation range of the sampled grid, the three level modes, the
// start elevation and the limits of the table.
#include "terrain/Contour.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scribeline::terrain {
namespace {

using Levels = std::vector<double>;

// A 3 x 3 sample grid (columns and rows 0..2) whose scanned part (columns and rows 0..1)
// holds the four values given; the last column and row hold `edge`.
ContourGrid Grid(double a, double b, double c, double d, double edge = 700.0) {
    ContourGrid g(2, 2);
    for (int column = 0; column <= 2; ++column) {
        for (int row = 0; row <= 2; ++row) {
            g.D(column, row) = edge;
        }
    }
    g.D(0, 0) = a;
    g.D(1, 0) = b;
    g.D(0, 1) = c;
    g.D(1, 1) = d;
    return g;
}

const StartElevation kAutomatic{false, "500"};

TEST(RoundHalfEvenTest, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(127.5), 128.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(12.4999), 12.0);
    EXPECT_EQ(RoundHalfEven(-0.6), -1.0);
}

TEST(LeadingNumberTest, ReadsTheNumberAtTheStartLikeVal) {
    EXPECT_EQ(LeadingNumber("500"), 500.0);
    EXPECT_EQ(LeadingNumber(" 600"), 600.0);
    EXPECT_EQ(LeadingNumber("\t12.5abc"), 12.5);
    EXPECT_EQ(LeadingNumber("-3e2x"), -300.0);
    EXPECT_EQ(LeadingNumber("+.5"), 0.5);
    EXPECT_EQ(LeadingNumber("1e"), 1.0) << "an exponent without digits is not read";
    EXPECT_EQ(LeadingNumber("7.25E-1"), 0.725);
    for (const char* none : {"", "x", "e5", "-", ".", " , "}) {
        EXPECT_EQ(LeadingNumber(none), 0.0) << '"' << none << '"';
    }
    EXPECT_EQ(LeadingNumber("1e999"), 0.0) << "no finite value: none";
}

TEST(LevelsTest, FractionalLevelsReadWithAPointInEveryLocale) {
    // Under a German locale strtod stopped at the "." and read 500.
    EXPECT_EQ(LevelsFromList("500.5,600.25"), (Levels{500.5, 600.25}));
}

TEST(ContourGridTest, HoldsAtMostThousandAndOneValuesPerDirection) {
    EXPECT_NO_THROW(ContourGrid(1000, 1000));
    EXPECT_THROW(ContourGrid(1001, 5), std::out_of_range);
    EXPECT_THROW(ContourGrid(5, -1), std::out_of_range);
    ContourGrid g(3, 2);
    EXPECT_THROW((void)g.D(4, 0), std::out_of_range);
    EXPECT_THROW((void)g.X(-1), std::out_of_range);
    EXPECT_THROW((void)g.Y(3), std::out_of_range);
    g.D(3, 2) = 7.0;
    EXPECT_EQ(g.D(3, 2), 7.0);
}

TEST(ElevationRangeTest, RoundsThenFloorsToTensAndSkipsTheLastColumnAndRow) {
    const ContourGrid g = Grid(512.4, 700.0, 987.6, 650.0, 2000.0);
    const ElevationRange r = ScanElevationRange(g);
    EXPECT_EQ(r.zmin, 510);
    EXPECT_EQ(r.zmax, 980) << "2000 in the last row and column does not count";
    // Below sea level the floor goes down.
    const ElevationRange sea = ScanElevationRange(Grid(-4003.0, -10.0, -20.0, -30.0));
    EXPECT_EQ(sea.zmin, -4010);
    EXPECT_EQ(sea.zmax, 0) << "zmax starts at 0";
    EXPECT_THROW((void)ScanElevationRange(Grid(40000.0, 1.0, 1.0, 1.0)), LevelTableError);
}

TEST(ElevationRangeTest, YieldsOncePerScannedSample) {
    int yields = 0;
    (void)ScanElevationRange(Grid(1, 2, 3, 4), [&] { ++yields; });
    EXPECT_EQ(yields, 4);
}

TEST(LevelsTest, ByNumberSpreadsLevelsFromOneStepAboveTheBaseToZmax) {
    const ContourGrid g = Grid(512.4, 700.0, 987.6, 650.0);
    EXPECT_EQ(LevelsByNumber(g, 5, kAutomatic), (Levels{604, 698, 792, 886, 980}));
    EXPECT_EQ(LevelsByNumber(g, 0, kAutomatic), Levels{});
    EXPECT_EQ(LevelsByNumber(g, -3, kAutomatic), Levels{});
    EXPECT_EQ(LevelsByNumber(g, 1001, kAutomatic).size(), 1001u);
    EXPECT_THROW((void)LevelsByNumber(g, 1002, kAutomatic), LevelTableError);
}

TEST(LevelsTest, ByIntervalLeavesOutTheHighestLevelNotAboveZmax) {
    const ContourGrid g = Grid(512.4, 700.0, 987.6, 650.0);
    EXPECT_EQ(LevelsByInterval(g, 100, kAutomatic), (Levels{510, 610, 710, 810}));
    EXPECT_EQ(LevelsByInterval(g, 470, kAutomatic), Levels{510}) << "510, 980, 1450: one used";
    // A flat grid gives no contour.
    EXPECT_EQ(LevelsByInterval(Grid(500, 500, 500, 500, 500), 10, kAutomatic), Levels{});
}

TEST(LevelsTest, ByIntervalRefusesWhatItCannotTrace) {
    const ContourGrid g = Grid(0.0, 700.0, 2000.0, 650.0);
    EXPECT_THROW((void)LevelsByInterval(g, 0, kAutomatic), LevelTableError);
    EXPECT_THROW((void)LevelsByInterval(g, -5, kAutomatic), LevelTableError);
    EXPECT_THROW((void)LevelsByInterval(g, 1, kAutomatic), LevelTableError) << "2002 values";
    EXPECT_THROW((void)LevelsByInterval(g, 2, kAutomatic), LevelTableError) << "1002 values";
    EXPECT_EQ(LevelsByInterval(g, 3, kAutomatic).size(), 666u) << "668 values: 666 used";
    try {
        (void)LevelsByInterval(g, 1, kAutomatic);
    } catch (const LevelTableError& e) {
        EXPECT_NE(std::string(e.what()).find("1001"), std::string::npos) << e.what();
    }
}

TEST(LevelsTest, StartElevationByHandCountsOnlyStrictlyInsideTheRange) {
    const ContourGrid g = Grid(512.4, 700.0, 987.6, 650.0);
    EXPECT_EQ(LevelsByNumber(g, 2, {true, "600"}), (Levels{790, 980}));
    EXPECT_EQ(LevelsByInterval(g, 100, {true, "600"}), (Levels{600, 700, 800}));
    for (const char* outside : {"980", "510", "400", "abc", ""}) {
        EXPECT_EQ(LevelsByNumber(g, 5, {true, outside}), (Levels{604, 698, 792, 886, 980}))
            << outside;
    }
    EXPECT_EQ(LevelsByNumber(g, 1, {true, "600.5"}), (Levels{980})) << "base 600";
    EXPECT_EQ(LevelsByNumber(g, 2, {false, "600"}), (Levels{745, 980})) << "automatic: 510";
}

TEST(LevelsTest, FromListKeepsTheTypedOrderAndReadsEachPieceLikeVal) {
    EXPECT_EQ(LevelsFromList("500, 600,x,700"), (Levels{500, 600, 0, 700}));
    EXPECT_EQ(LevelsFromList("1000,900,800"), (Levels{1000, 900, 800}));
    EXPECT_EQ(LevelsFromList(""), Levels{});
    EXPECT_EQ(LevelsFromList(",,"), (Levels{0, 0, 0}));
    EXPECT_EQ(LevelsFromList("500.5"), Levels{500.5});
    EXPECT_EQ(LevelsFromList("500,550,600,650,700,750,800,850,900,950,1000,1100,1200,1300,1400,"
                             "1500")
                  .size(),
              16u);
    std::string many = "1";
    for (int i = 1; i < 1001; ++i) {
        many += ",1";
    }
    EXPECT_EQ(LevelsFromList(many).size(), 1001u);
    EXPECT_THROW((void)LevelsFromList(many + ",1"), LevelTableError);
}

} // namespace
} // namespace scribeline::terrain
