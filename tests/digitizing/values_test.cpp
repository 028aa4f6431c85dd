// The plain rules of the run: terrain acceptance, the navigation zone, positions, rates,
// field mapping and the measure format.
#include "digitizing/basDigitizing.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace scribeline::digitizing {
namespace {

TEST(AcceptTerrainPoint, WholeGlobeButNeverSky) {
    struct Case {
        double lat, lon;
        bool hit;
        bool accepted;
    } cases[] = {
        {47.5, 11.0, true, true},
        {-33.9, 18.4, true, true},
        {40.7, -74.0, true, true},
        {-22.9, -43.2, true, true},
        {0.0, 0.0, true, true},
        {0.5, 0.5, true, true},
        {90.0, 180.0, true, true},
        {-90.0, -180.0, true, true},
        {90.5, 0.0, true, false},
        {0.0, -180.5, true, false},
        {47.5, 11.0, false, false},
        {0.0, 0.0, false, false},
        {std::numeric_limits<double>::quiet_NaN(), 0.0, true, false},
    };
    for (const Case& c : cases) {
        IPointOnTerrainGE p;
        p.Latitude = c.lat;
        p.Longitude = c.lon;
        p.HitGround = c.hit;
        EXPECT_EQ(AcceptTerrainPoint(p), c.accepted) << c.lat << ", " << c.lon << " hit " << c.hit;
    }
}

TEST(InNavigationZone, DiscsAndOpenBands) {
    const int w = 800;
    struct Case {
        Point p;
        bool inside;
    } cases[] = {
        {{w - 43, 49}, true},   {{w - 43, 89}, true},   {{w - 43, 90}, false},
        {{w - 43, 129}, true},  {{w - 43, 154}, true},  {{w - 43, 155}, false},
        {{w - 51, 187}, true},  {{w - 52, 196}, false}, {{w - 35, 196}, false},
        {{w - 43, 186}, false}, {{w - 43, 206}, false}, {{w - 43, 259}, true},
        {{w - 43, 264}, false}, {{w - 43, 320}, true},  {{w - 43, 329}, false},
        {{400, 250}, false},    {{0, 0}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InNavigationZone(c.p, w), c.inside) << c.p.x << ", " << c.p.y;
    }
}

TEST(NormalisedPosition, CentreCornersAndEdges) {
    const Size s{800, 500};
    const auto at = [&](Point p) { return NormalisedPosition(p, s); };
    EXPECT_DOUBLE_EQ(at({400, 250}).x, 0.0);
    EXPECT_DOUBLE_EQ(at({400, 250}).y, 0.0);
    EXPECT_DOUBLE_EQ(at({0, 0}).x, -1.0);
    EXPECT_DOUBLE_EQ(at({0, 0}).y, 1.0);
    EXPECT_DOUBLE_EQ(at({800, 500}).x, 1.0);
    EXPECT_DOUBLE_EQ(at({800, 500}).y, -1.0);
    EXPECT_EQ(NormalisedPosition({1, 1}, Size{0, 0}).x, kNoPosition);
}

TEST(RecordRate, TypedTextBelowOneCountsAsOne) {
    struct Case {
        const char* text;
        int rate;
    } cases[] = {{"5", 5}, {"3", 3},  {"20", 20}, {"0", 1},
                 {"", 1},  {"00", 1}, {"7x", 7},  {"99999", 1000}};
    for (const Case& c : cases) {
        EXPECT_EQ(RecordRate(c.text), c.rate) << '"' << c.text << '"';
    }
}

TEST(TickInterval, ClickModeFixedRecordModeFromRate) {
    EXPECT_EQ(TickInterval("start", 3), 500);
    EXPECT_EQ(TickInterval("record", 3), 333);
    EXPECT_EQ(TickInterval("record", 6), 167);
    EXPECT_EQ(TickInterval("record", 5), 200);
    EXPECT_EQ(TickInterval("record", 20), 50);
    EXPECT_EQ(TickInterval("record", 1), 1000);
    EXPECT_EQ(TickInterval("record", 0), 1000);
}

TEST(NewLayerFields, TheThreeFieldSets) {
    const auto names = [](const Fields& f) {
        std::string s;
        for (const auto& field : f.fields) {
            s += field.name + "(" + std::to_string(static_cast<int>(field.type)) + "," +
                 std::to_string(field.length) + "," + std::to_string(field.precision) + ") ";
        }
        return s;
    };
    EXPECT_EQ(names(NewLayerFields("start", GeometryType::Polyline, false, {})),
              "Shape(7,0,0) _Name(4,20,0) _Descrip(4,50,0) ");
    EXPECT_EQ(names(NewLayerFields("dem", GeometryType::Point, true, {})),
              "Shape(7,0,0) _Name(4,20,0) _Altitude(2,0,8) ");
    EXPECT_EQ(
        names(NewLayerFields("contour", GeometryType::Polyline, false, {{"ignored", 4, "10"}})),
        "Shape(7,0,0) _Name(4,20,0) _Altitude(2,0,8) ");
    const std::vector<UserDefinedField> user = {{"Code", 0, "4"},   {"Count", 1, "9"},
                                                {"Ratio", 2, "8"},  {"Area", 3, "16"},
                                                {"Label", 4, "30"}, {"When", 5, "8"}};
    EXPECT_EQ(names(NewLayerFields("record", GeometryType::Polygon, false, user)),
              "Shape(7,0,0) Code(0,4,4) Count(1,9,9) Ratio(2,8,8) Area(3,16,16) "
              "Label(4,30,0) When(5,0,0) ");
    const Fields z = NewLayerFields("start", GeometryType::Polygon, true, {});
    ASSERT_TRUE(z.GetField(0).geometryDef);
    EXPECT_TRUE(z.GetField(0).geometryDef->hasZ);
    EXPECT_EQ(z.GetField(0).geometryDef->geometryType, GeometryType::Polygon);
    EXPECT_EQ(NewLayerFields("dem", GeometryType::Point, false, {}).GetField(2).scale, 3);
}

TEST(FormatMeasure, GeneralFormat) {
    EXPECT_EQ(FormatMeasure(4.0), "4");
    EXPECT_EQ(FormatMeasure(1.0), "1");
    EXPECT_EQ(FormatMeasure(0.5), "0.5");
    EXPECT_EQ(FormatMeasure(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatMeasure(12345678.25), "12345678.25");
}

} // namespace
} // namespace scribeline::digitizing
