#include "hosts/desktop/raster.hpp"

#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace scribeline::raster {
namespace {

using Pixel = std::pair<int, int>;

// Every pixel a walker hands out, with how often.
template <class Walk> std::map<Pixel, int> Visits(Walk&& walk) {
    std::map<Pixel, int> visits;
    walk([&](int x, int y) { ++visits[{x, y}]; });
    return visits;
}

bool EachOnce(const std::map<Pixel, int>& visits) {
    for (const auto& [p, n] : visits) {
        if (n != 1) {
            return false;
        }
    }
    return true;
}

std::uint32_t At(const Bitmap& b, int x, int y) {
    return b.pixels[static_cast<std::size_t>(y * b.width + x)];
}

// The bitmap as text, one character per pixel: '.' for `background`, else a letter per colour.
std::string Picture(const Bitmap& b, std::uint32_t background,
                    const std::map<std::uint32_t, char>& letters) {
    std::string text;
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            const std::uint32_t p = At(b, x, y);
            const auto it = letters.find(p);
            text += p == background ? '.' : it == letters.end() ? '?' : it->second;
        }
        text += '\n';
    }
    return text;
}

TEST(RasterLine, BothEndsAreDrawnAndAPointIsOnePixel) {
    const std::vector<std::pair<Point, Point>> lines = {
        {{2, 3}, {9, 3}}, {{9, 3}, {2, 3}},   {{4, 1}, {4, 8}},  {{4, 8}, {4, 1}},
        {{0, 0}, {7, 3}}, {{7, 3}, {0, 0}},   {{1, 9}, {3, -4}}, {{-2, -2}, {5, 5}},
        {{6, 6}, {6, 6}}, {{-5, 2}, {-5, 2}},
    };
    for (const auto& [from, to] : lines) {
        const auto visits = Visits([&](auto plot) { ForEachLinePixel(from, to, 1, plot); });
        EXPECT_TRUE(visits.count({from.x, from.y})) << from.x << "," << from.y;
        EXPECT_TRUE(visits.count({to.x, to.y})) << to.x << "," << to.y;
        EXPECT_TRUE(EachOnce(visits));
        // One pixel per step along the longer axis: no gaps, no doubled steps.
        const int steps = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y)) + 1;
        EXPECT_EQ(static_cast<int>(visits.size()), steps);
    }
}

TEST(RasterLine, AWidePenSpansAcrossTheLineAndCoversEachPixelOnce) {
    // Flat: vertical spans; an even width puts the extra pixel below.
    auto flat = Visits([](auto plot) { ForEachLinePixel({0, 5}, {4, 5}, 2, plot); });
    EXPECT_EQ(flat.size(), 10u);
    EXPECT_TRUE(flat.count({2, 6}));
    EXPECT_FALSE(flat.count({2, 4}));
    // Steep: horizontal spans; odd widths centre on the path.
    auto steep = Visits([](auto plot) { ForEachLinePixel({5, 0}, {6, 6}, 3, plot); });
    EXPECT_EQ(steep.size(), 21u);
    EXPECT_TRUE(steep.count({4, 0}));
    EXPECT_TRUE(steep.count({6, 0}));
    EXPECT_FALSE(steep.count({5, -1})) << "no cap beyond the end";
    for (int width = 1; width <= 7; ++width) {
        for (const Point to : {Point{9, 2}, Point{2, 9}, Point{-7, 7}, Point{8, -8}}) {
            const auto visits = Visits([&](auto plot) {
                ForEachLinePixel({0, 0}, to, width, plot);
            });
            EXPECT_TRUE(EachOnce(visits)) << "width " << width;
        }
    }
    // A pen narrower than one pixel still draws.
    EXPECT_EQ(Visits([](auto plot) { ForEachLinePixel({0, 0}, {3, 0}, 0, plot); }).size(), 4u);
    EXPECT_EQ(Visits([](auto plot) { ForEachLinePixel({0, 0}, {3, 0}, -4, plot); }).size(), 4u);
}

TEST(RasterFrame, OutlineRunsThroughTheLastPixelsInsideWithCornersOnce) {
    const auto thin = Visits([](auto plot) { ForEachFramePixel({2, 1, 6, 5}, 1, plot); });
    EXPECT_EQ(thin.size(), 12u); // a 4 x 4 ring
    EXPECT_TRUE(EachOnce(thin));
    for (const Pixel& corner : {Pixel{2, 1}, Pixel{5, 1}, Pixel{2, 4}, Pixel{5, 4}}) {
        EXPECT_TRUE(thin.count(corner));
    }
    EXPECT_FALSE(thin.count({6, 1})) << "right is exclusive";
    EXPECT_FALSE(thin.count({3, 2})) << "an outline only";
    const auto thick = Visits([](auto plot) { ForEachFramePixel({0, 0, 10, 8}, 3, plot); });
    EXPECT_TRUE(EachOnce(thick));
    EXPECT_TRUE(thick.count({-1, 0})) << "the band spreads outside too";
    EXPECT_TRUE(thick.count({10, 7}));
    EXPECT_FALSE(thick.count({-1, -1})) << "the edges are not capped: the outer corners stay";
    EXPECT_FALSE(thick.count({10, 8}));
    EXPECT_FALSE(thick.count({2, 2}));
    EXPECT_EQ(thick.size(), static_cast<std::size_t>(12 * 10 - 6 * 4 - 4));
    // A rectangle of one pixel is that pixel.
    EXPECT_EQ(Visits([](auto plot) { ForEachFramePixel({3, 3, 4, 4}, 1, plot); }).size(), 1u);
}

TEST(RasterFrame, IsTheFourEdgesAsLinesWithoutTheirOverlaps) {
    for (int width = 1; width <= 6; ++width) {
        // A rectangle one pixel high is left out: its side edges are single points, which a
        // line spans vertically, while the frame spreads them sideways like any side edge.
        for (const Rect& r : {Rect{0, 0, 10, 8}, Rect{3, 2, 4, 40}, Rect{5, 5, 5, 5},
                              Rect{6, 6, 2, 3}, Rect{0, 0, 3, 3}}) {
            const Point tl{r.left, r.top};
            const Point tr{r.right - 1, r.top};
            const Point bl{r.left, r.bottom - 1};
            const Point br{r.right - 1, r.bottom - 1};
            std::set<Pixel> edges;
            for (const auto& [from, to] :
                 {std::pair{tl, tr}, std::pair{tr, br}, std::pair{br, bl}, std::pair{bl, tl}}) {
                ForEachLinePixel(from, to, width, [&](int x, int y) { edges.insert({x, y}); });
            }
            const auto frame = Visits([&](auto plot) { ForEachFramePixel(r, width, plot); });
            EXPECT_TRUE(EachOnce(frame));
            std::set<Pixel> framed;
            for (const auto& [p, n] : frame) {
                framed.insert(p);
            }
            EXPECT_EQ(framed, edges) << "width " << width << " rect " << r.left << "," << r.top
                                     << "," << r.right << "," << r.bottom;
        }
    }
}

TEST(RasterFrame, AFlatFrameIsATallOneTurnedOnItsSide) {
    for (int width = 1; width <= 5; ++width) {
        const auto flat = Visits([&](auto plot) { ForEachFramePixel({2, 7, 9, 8}, width, plot); });
        const auto tall = Visits([&](auto plot) { ForEachFramePixel({7, 2, 8, 9}, width, plot); });
        std::set<Pixel> turned;
        for (const auto& [p, n] : tall) {
            turned.insert({p.second, p.first});
        }
        std::set<Pixel> flatSet;
        for (const auto& [p, n] : flat) {
            flatSet.insert(p);
        }
        EXPECT_EQ(flatSet, turned) << "width " << width;
        EXPECT_TRUE(EachOnce(flat));
    }
}

TEST(RasterDisc, RingAndFillAndDegenerateRadii) {
    std::map<Pixel, bool> disc;
    ForEachDiscPixel({10, 10}, 3, [&](int x, int y, bool edge) {
        EXPECT_FALSE(disc.count({x, y}));
        disc[{x, y}] = edge;
    });
    EXPECT_FALSE(disc.at({10, 10}));
    EXPECT_TRUE(disc.at({13, 10}));
    EXPECT_FALSE(disc.count({13, 13}));
    int calls = 0;
    bool edge = false;
    ForEachDiscPixel({4, 4}, 0, [&](int x, int y, bool e) {
        ++calls;
        edge = e;
        EXPECT_EQ(Pixel(x, y), Pixel(4, 4));
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(edge) << "a disc of radius 0 is its fill";
    ForEachDiscPixel({4, 4}, -2, [&](int, int, bool) { ++calls; });
    EXPECT_EQ(calls, 1);
}

TEST(RasterBitmap, ClipsAtEveryEdgeAndInvertsBackExactly) {
    Bitmap b = BlankBitmap({8, 6}, 0x00102030u);
    const Bitmap before = b;
    Raster r(b);
    // Wholly outside: nothing changes, nothing breaks.
    r.Line({-20, -3}, {-1, -9}, Pen{rgb(255, 0, 0), 5});
    r.Disc({40, 40}, 6, rgb(255, 0, 0), rgb(0, 255, 0));
    r.Frame({-30, -30, -10, -10}, Pen{rgb(255, 0, 0), 3});
    EXPECT_EQ(b.pixels, before.pixels);
    // Through the picture and out on both sides.
    r.Line({-5, 2}, {20, 2}, Pen{rgb(255, 0, 0), 1});
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(At(b, x, 2), 0x00FF0000u);
    }
    // An inverting wide line and a wide frame drawn twice leave the picture as it was,
    // corners and overlapping spans included.
    const Bitmap drawn = b;
    for (int i = 0; i < 2; ++i) {
        r.Line({-1, 0}, {9, 5}, Pen{0, 3, RasterOp::Invert});
        r.Frame({1, 1, 7, 5}, Pen{0, 2, RasterOp::Invert});
    }
    EXPECT_EQ(b.pixels, drawn.pixels);
    // Once, every corner of a frame is inverted.
    r.Frame({1, 1, 7, 5}, Pen{0, 1, RasterOp::Invert});
    EXPECT_EQ(At(b, 1, 1), ~At(drawn, 1, 1) & 0x00FFFFFFu);
    EXPECT_EQ(At(b, 6, 4), ~At(drawn, 6, 4) & 0x00FFFFFFu);
    EXPECT_EQ(At(b, 3, 3), At(drawn, 3, 3));
}

TEST(RasterBitmap, BlitKeepsTheRegionAndClips) {
    Bitmap dst = BlankBitmap({6, 4}, 0u);
    const Bitmap src = BlankBitmap({4, 4}, 0x00ABCDEFu);
    Raster r(dst);
    r.Blit(src, {-2, 1}, {Rect{1, 0, 4, 1}, Rect{3, 2, 4, 3}});
    EXPECT_EQ(At(dst, 0, 1), 0x00ABCDEFu); // source (2, 0)
    EXPECT_EQ(At(dst, 1, 1), 0x00ABCDEFu); // source (3, 0)
    EXPECT_EQ(At(dst, 1, 3), 0x00ABCDEFu); // source (3, 2)
    EXPECT_EQ(At(dst, 0, 3), 0u);          // source (2, 2): outside the region
    EXPECT_EQ(At(dst, 0, 2), 0u);
    r.Blit(src, {4, 2});
    EXPECT_EQ(At(dst, 5, 3), 0x00ABCDEFu);
    EXPECT_EQ(BlankBitmap({-3, 5}, 1u).pixels.size(), 0u);
}

TEST(RasterBitmap, ShapesLandOnTheExpectedPixels) {
    Bitmap b = BlankBitmap({24, 12}, 0u);
    Raster r(b);
    r.Line({1, 1}, {10, 4}, Pen{rgb(255, 0, 0), 1});
    r.Line({1, 10}, {6, 6}, Pen{rgb(0, 255, 0), 2});
    r.Frame({12, 1, 22, 7}, Pen{rgb(0, 0, 255), 1});
    r.Disc({17, 8}, 3, rgb(255, 255, 0), rgb(255, 0, 255));
    testing::ExpectGolden(Picture(b, 0u,
                                  {{0x00FF0000u, 'r'},
                                   {0x0000FF00u, 'g'},
                                   {0x000000FFu, 'b'},
                                   {0x00FFFF00u, 'y'},
                                   {0x00FF00FFu, 'm'}}),
                          "hosts/desktop/raster_shapes.txt");
}

} // namespace
} // namespace scribeline::raster
