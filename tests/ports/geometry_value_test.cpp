#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "platform/desktop.hpp"

#include <gtest/gtest.h>

namespace scribeline {
namespace {

TEST(GeometryValue, PointCollectionAcrossParts) {
    Geometry g = Geometry::empty(GeometryType::Polyline);
    EXPECT_TRUE(g.IsEmpty());
    EXPECT_THROW((void)g.Point(0), std::out_of_range);
    g.AddPoint({1, 2, 3});
    g.AddPoint({4, 5, 6});
    g.parts.push_back({{7, 8, 9}});
    ASSERT_EQ(g.PointCount(), 3);
    EXPECT_EQ(g.Point(2), (MapPoint{7, 8, 9}));
    g.RemovePoints(2, 1); // the second part empties and goes away
    EXPECT_EQ(g.PartCount(), 1);
    EXPECT_EQ(g.PointCount(), 2);
    g.RemovePoints(0, 2);
    EXPECT_TRUE(g.IsEmpty());
    EXPECT_EQ(g.PartCount(), 0);
    EXPECT_THROW(g.RemovePoints(0, 1), std::out_of_range);
    EXPECT_THROW((void)g.Point(-1), std::out_of_range);
}

TEST(GeometryValue, FindFieldIgnoresCase) {
    Fields f;
    f.AddField({"FID", FieldType::OID});
    f.AddField({"Shape", FieldType::Geometry});
    f.AddField({"_Name", FieldType::String, 20});
    EXPECT_EQ(f.FindField("_NAME"), 2);
    EXPECT_EQ(f.FindField("shape"), 1);
    EXPECT_EQ(f.FindField("missing"), -1);
}

TEST(PortTypes, ColourAndRect) {
    constexpr Colour yellow = rgb(255, 255, 0);
    static_assert(redOf(yellow) == 255 && greenOf(yellow) == 255 && blueOf(yellow) == 0);
    EXPECT_EQ(rgb(255, 0, 0), 0x0000FFu);
    const Rect r{10, 20, 110, 70};
    EXPECT_EQ(r.width(), 100);
    EXPECT_EQ(r.height(), 50);
    EXPECT_TRUE(r.contains({10, 20}));
    EXPECT_FALSE(r.contains({110, 20}));
    EXPECT_FALSE(r.containsStrictly({10, 30}));
    EXPECT_TRUE(r.containsStrictly({11, 21}));
}

} // namespace
} // namespace scribeline
