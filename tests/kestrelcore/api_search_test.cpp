// Through the C ABI: point, nearest, rectangle and circle searches, and the
// great-circle distance.
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

using namespace kctest;

namespace {

class Search : public ::testing::Test {
protected:
    void TearDown() override {
        KC_CloseShpFile();
        KC_CloseDBFFile();
    }
    std::string points(const std::vector<Vertex>& pts, const std::string& name = "pts") {
        const std::string base = dir.file(name);
        std::vector<Feature> fs;
        for (const Vertex& v : pts)
            fs.push_back({{v}});
        writeShapefile(base, SHPT_POINT, fs);
        std::vector<std::vector<std::string>> recs;
        for (std::size_t i = 0; i < pts.size(); ++i)
            recs.push_back({std::to_string(i)});
        writeTable(base, {{"ID", FTInteger, 6, 0}}, recs);
        return base;
    }
    TempDir dir;
    MessageLog log;
};

TEST(SphericalDist, ExamplesOfThePart) {
    // Tolerance: 1 mm.
    EXPECT_NEAR(SphericalDist(0, 0, 0, 1), 111132.842, 1e-3);
    EXPECT_NEAR(SphericalDist(0, 0, 1, 0), 111132.842, 1e-3);
    EXPECT_NEAR(SphericalDist(179, 0, -179, 0), 222265.684, 1e-3);
    EXPECT_NEAR(SphericalDist(0, 0, 90, 0), 10001955.790, 1e-3);
    EXPECT_NEAR(SphericalDist(-10, -20, -10, 20), 40 * 111132.842, 1e-2);
}

TEST(SphericalDist, OutOfRangePositions) {
    EXPECT_EQ(SphericalDist(181, 0, 0, 0), -1.0);
    EXPECT_EQ(SphericalDist(0, 90.00002, 0, 0), -1.0);
    EXPECT_EQ(SphericalDist(0, 0, 0, -90.00002), -1.0);
    EXPECT_GE(SphericalDist(180.000005, 0, 0, 0), 0.0);
    EXPECT_EQ(SphericalDist(NAN, 0, 0, 0), -1.0);
}

TEST(SphericalDist, ClampsTheCosineSoCloseOrEqualPositionsGiveNoNaN) {
    EXPECT_EQ(SphericalDist(12.5, 47.25, 12.5, 47.25), 0.0);
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-90, 90), tiny(-1e-9, 1e-9);
    for (int i = 0; i < 100000; ++i) {
        const double a = lon(rng), b = lat(rng);
        const double d = SphericalDist(a, b, a + tiny(rng), b + tiny(rng));
        ASSERT_FALSE(std::isnan(d)) << a << " " << b;
        ASSERT_GE(d, 0.0);
        ASSERT_LT(d, 1.0);
    }
}

TEST_F(Search, PointSearchReturnsTheHigherOfTwoContainingFeatures) {
    const std::string base = points({{10, 20}, {10, 20}, {30, 40}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    ASSERT_EQ(KC_OpenDBFFile(base.c_str()), 1);
    char coords[256] = "", attrs[256] = "";
    EXPECT_EQ(KC_SearchShpFile(10, 20, 1, coords, attrs), 1);
    EXPECT_STREQ(coords, "10.00000000,20.00000000,6 \r\n");
    EXPECT_STREQ(attrs, "ID 1 \r\n");
}

TEST_F(Search, PointSearchAppendsToTheCoordinateText) {
    const std::string base = points({{10, 20}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char coords[256] = "pre|", attrs[256] = "";
    EXPECT_EQ(KC_SearchShpFile(10, 20, 0, coords, attrs), 0);
    EXPECT_STREQ(coords, "pre|10.00000000,20.00000000,6 \r\n");
}

TEST_F(Search, PointSearchMissEmptiesBothTexts) {
    const std::string base = points({{10, 20}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char coords[64] = "old", attrs[64] = "old";
    EXPECT_EQ(KC_SearchShpFile(11, 20, 1, coords, attrs), -1);
    EXPECT_STREQ(coords, "");
    EXPECT_STREQ(attrs, "");
}

TEST_F(Search, SearchTwoMissLeavesEveryBuffer) {
    const std::string base = points({{10, 20}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char v0[64] = "old0", attrs[64] = "old";
    char* texts[] = {v0};
    EXPECT_EQ(KC_SearchShpFile2(11, 20, 1, texts, attrs), -1);
    EXPECT_STREQ(v0, "old0");
    EXPECT_STREQ(attrs, "old");
}

TEST_F(Search, SearchTwoAppendsOneLinePerVertexBuffer) {
    const std::string base = dir.file("line");
    writeShapefile(base, SHPT_ARC, {{{{1, 1}, {2, 3}, {4, 4}}}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char v0[64] = "a:", v1[64] = "b:", v2[64] = "", attrs[64] = "old";
    char* texts[] = {v0, v1, v2};
    EXPECT_EQ(KC_SearchShpFile2(2, 2, 0, texts, attrs), 0);
    EXPECT_STREQ(v0, "a:1.00000000,1.00000000,6 \r\n");
    EXPECT_STREQ(v1, "b:2.00000000,3.00000000,6 \r\n");
    EXPECT_STREQ(v2, "4.00000000,4.00000000,6 \r\n");
    EXPECT_STREQ(attrs, "old");
}

// Fault mended: the search box of a negative coordinate had its minimum above its maximum,
// so no point west or south of 0 was ever found.
TEST_F(Search, PointsInTheWesternAndSouthernHemispheresAreFound) {
    const std::string base = points({{-73.985, 40.748}, {151.215, -33.857}, {-58.38, -34.6}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char coords[256], attrs[256];
    const double pts[3][2] = {{-73.985, 40.748}, {151.215, -33.857}, {-58.38, -34.6}};
    for (int i = 0; i < 3; ++i) {
        coords[0] = attrs[0] = '\0';
        EXPECT_EQ(KC_SearchShpFile(pts[i][0], pts[i][1], 0, coords, attrs), i);
        EXPECT_EQ(std::string(coords), printf8(pts[i][0]) + "," + printf8(pts[i][1]) + ",6 \r\n");
        char v0[64] = "";
        char* texts[] = {v0};
        EXPECT_EQ(KC_SearchShpFile2(pts[i][0], pts[i][1], 0, texts, attrs), i);
        coords[0] = '\0';
        EXPECT_EQ(KC_FindNearest(pts[i][0], pts[i][1], 0, coords, attrs), i);
    }
}

TEST_F(Search, TheToleranceStaysRelativeToTheCoordinate) {
    const std::string base = points({{-100, -50}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char c[128], a[128];
    // 1e-6 relative of 100 is 1e-4: inside at 5e-5, outside at 2e-4
    EXPECT_EQ(KC_SearchShpFile(-100.00005, -50, 0, c, a), 0);
    EXPECT_EQ(KC_SearchShpFile(-100.0002, -50, 0, c, a), -1);
    EXPECT_EQ(KC_SearchShpFile(-100, -50.00002, 0, c, a), 0);
    EXPECT_EQ(KC_SearchShpFile(-100, -50.0001, 0, c, a), -1);
}

TEST_F(Search, NearestOnPointsPrefersTheLowerIndexOnEqualDistance) {
    // Inside the relative box of (1000, 1000) (tolerance 1e-3), at exactly equal distances
    // (binary fractions), so the lower index stays.
    const double d = 1.0 / 1024;
    const std::string base = points({{1000 + d, 1000}, {1000 - d, 1000}, {1000, 1000 + d}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char c[256] = "", a[256] = "";
    EXPECT_EQ(KC_FindNearest(1000, 1000, 0, c, a), 0);
    // A strictly nearer later candidate replaces the pick.
    const std::string b2 = points({{1000 + d, 1000}, {1000 - d, 1000}, {1000, 1000 + d / 2}}, "p2");
    ASSERT_EQ(KC_OpenShpFile(b2.c_str()), 1);
    c[0] = '\0';
    EXPECT_EQ(KC_FindNearest(1000, 1000, 0, c, a), 2);
    EXPECT_EQ(std::string(c), printf8(1000) + "," + printf8(1000 + d / 2) + ",6 \r\n");
}

TEST_F(Search, NearestOnPolygonsReturnsTheHighestContainingPolygon) {
    const std::string base = dir.file("nested");
    auto square = [](double lo, double hi) {
        return Feature{{{lo, lo}, {lo, hi}, {hi, hi}, {hi, lo}, {lo, lo}}};
    };
    writeShapefile(base, SHPT_POLYGON, {square(0, 10), square(2, 8), square(4, 6), square(20, 30)});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char c[4096] = "", a[64] = "";
    // The point's own box must lie in the extents: a point well inside all three.
    EXPECT_EQ(KC_FindNearest(5, 5, 0, c, a), 2);
    c[0] = '\0';
    EXPECT_EQ(KC_FindNearest(3, 3, 0, c, a), 1);
    EXPECT_EQ(std::string(c).substr(0, 26), "2.00000000,2.00000000,6 \r\n");
}

TEST_F(Search, NearestOnPolylinesUsesSegmentDistances) {
    const std::string base = dir.file("lines");
    // Two lines whose extents both contain (5, 5): the second passes closer.
    writeShapefile(base, SHPT_ARC,
                   {{{{0, 0}, {10, 10.4}}}, {{{0, 10}, {10, 0}}}, {{{0, 4.9}, {10, 4.9}}}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char c[4096] = "", a[64] = "";
    EXPECT_EQ(KC_FindNearest(5, 5, 0, c, a), 1);
}

TEST_F(Search, NearestOnOtherTypesFindsNothingAndEmptiesBothTexts) {
    const std::string base = dir.file("linez");
    writeShapefile(base, SHPT_ARCZ, {{{{0, 0, 1}, {10, 10, 2}}}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char c[64] = "old", a[64] = "old";
    EXPECT_EQ(KC_FindNearest(5, 5, 0, c, a), -1);
    EXPECT_STREQ(c, "");
    EXPECT_STREQ(a, "");
}

TEST_F(Search, RectangleListsRunningNumbersRightAlignedAndWritesTheSelection) {
    const std::string base = points({{1, 1}, {50, 50}, {2, 3}, {4, 2}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char list[1024] = "";
    const std::string kml = dir.file("sel.kml");
    EXPECT_EQ(KC_MultiSearchShpFile(0, 0, 5, 5, list, 1, kml.c_str(), 1), 3);
    EXPECT_STREQ(list, "         1: 0\r\n         2: 2\r\n         3: 3\r\n");
    expectGolden("multi_search_list.txt", list);
    expectGolden("selection_bbox.kml", readFile(kml));
    char list2[1024] = "";
    const std::string kml2 = dir.file("sel2.kml");
    EXPECT_EQ(KC_MultiSearchShpFile(0, 0, 5, 5, list2, 0, kml2.c_str(), 0), 3);
    expectGolden("selection_plain.kml", readFile(kml2));
}

TEST_F(Search, RectangleWithReversedCornersFindsNothingButWritesTheDocument) {
    const std::string base = points({{1, 1}, {2, 2}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char list[64] = "";
    const std::string kml = dir.file("empty.kml");
    EXPECT_EQ(KC_MultiSearchShpFile(5, 0, 0, 5, list, 1, kml.c_str(), 0), 0);
    EXPECT_STREQ(list, "");
    const std::string doc = readFile(kml);
    EXPECT_NE(doc.find("MultiSelection - 0</name>"), std::string::npos);
    EXPECT_NE(doc.find("\r\n       <Folder>\r\n    </Folder>"), std::string::npos);
    EXPECT_EQ(doc.find("<Placemark>"), std::string::npos);
}

TEST_F(Search, RectangleOverTwoThousandFeaturesListsTheFirst1024) {
    std::vector<Vertex> pts;
    for (int i = 0; i < 2000; ++i)
        pts.push_back({1.0 + (i % 50) * 0.1, 1.0 + (i / 50) * 0.1});
    const std::string base = points(pts);
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    std::vector<char> list(64 * 2048, '\0');
    const std::string kml = dir.file("big.kml");
    EXPECT_EQ(KC_MultiSearchShpFile(0, 0, 100, 100, list.data(), 0, kml.c_str(), 0), 1024);
    const std::string text = list.data();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1024);
    EXPECT_NE(text.find("      1024: 1023\r\n"), std::string::npos);
    const std::string doc = readFile(kml);
    std::size_t placemarks = 0;
    for (std::size_t p = doc.find("<Placemark>"); p != std::string::npos;
         p = doc.find("<Placemark>", p + 1))
        ++placemarks;
    EXPECT_EQ(placemarks, 1024u);
    EXPECT_NE(doc.find("<name>f1023</name>"), std::string::npos);
    EXPECT_NE(doc.find("MultiSelection - 1024</name>"), std::string::npos);
}

TEST_F(Search, SelectionNamesPlacemarksByListPosition) {
    std::vector<Vertex> pts;
    for (int i = 0; i < 13; ++i)
        pts.push_back({100.0 + i, 0.5});
    pts[7] = {1, 1};
    pts[9] = {2, 2};
    pts[12] = {3, 3};
    const std::string base = points(pts);
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char list[256] = "";
    const std::string kml = dir.file("three.kml");
    EXPECT_EQ(KC_MultiSearchShpFile(0, 0, 5, 5, list, 0, kml.c_str(), 0), 3);
    EXPECT_STREQ(list, "         1: 7\r\n         2: 9\r\n         3: 12\r\n");
    const std::string doc = readFile(kml);
    EXPECT_NE(doc.find("MultiSelection - 3</name>"), std::string::npos);
    for (const char* n : {"<name>f0</name>", "<name>f1</name>", "<name>f2</name>"})
        EXPECT_NE(doc.find(n), std::string::npos) << n;
    EXPECT_EQ(doc.find("<name>f7</name>"), std::string::npos);
}

TEST_F(Search, CirclePlaneModeSelectsFeaturesWhollyInside) {
    const std::string base = dir.file("lines");
    writeShapefile(base, SHPT_ARC,
                   {{{{0, 0}, {1, 1}}}, // inside radius 2 around (0, 0)
                    {{{0, 0}, {3, 0}}}, // leaves the circle
                    {{{2, 0}, {0, 2}}}, // both vertices on the circle: inside
                    {{{-1, -1}, {1, -1}}}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char list[256] = "";
    const std::string kml = dir.file("circle.kml");
    EXPECT_EQ(KC_MultiSearchFeatureByCircle(0, 0, 2, 0, list, "2,0,1 0,2,1 -2,0,1", kml.c_str(), 0),
              3);
    EXPECT_STREQ(list, "0\r\n2\r\n3\r\n");
    expectGolden("circle_list.txt", list);
    expectGolden("selection_circle.kml", readFile(kml));
}

TEST_F(Search, CircleSphericalModeUsesMetres) {
    const std::string base = points({{10, 50}, {10.001, 50}, {10.5, 50}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char list[256] = "";
    const std::string kml = dir.file("circle.kml");
    // Radius about 1.4 km; the box is laid off in degrees, a generous superset.
    EXPECT_EQ(KC_MultiSearchFeatureByCircle(10, 50, 10.02, 50, list, "", kml.c_str(), 1), 2);
    EXPECT_STREQ(list, "0\r\n1\r\n");
}

TEST_F(Search, SearchesWithoutAShapefileFailQuietly) {
    char c[64] = "old", a[64] = "old", list[64] = "keep";
    EXPECT_EQ(KC_SearchShpFile(1, 1, 1, c, a), -1);
    EXPECT_STREQ(c, "");
    char* texts[] = {c};
    std::strcpy(c, "old");
    EXPECT_EQ(KC_SearchShpFile2(1, 1, 1, texts, a), -1);
    EXPECT_STREQ(c, "old");
    EXPECT_EQ(KC_FindNearest(1, 1, 1, c, a), -1);
    const std::string kml = dir.file("none.kml");
    EXPECT_EQ(KC_MultiSearchShpFile(0, 0, 1, 1, list, 1, kml.c_str(), 1), 0);
    EXPECT_EQ(KC_MultiSearchFeatureByCircle(0, 0, 1, 1, list, "", kml.c_str(), 0), 0);
    EXPECT_STREQ(list, "keep");
    EXPECT_FALSE(exists(kml));
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Search, CreatedShapefileHasNoIndexSoSearchesFindNothing) {
    ASSERT_EQ(KC_CreateShapeFile(dir.file("new").c_str(), "point"), 0);
    char t[] = "1,1";
    ASSERT_EQ(KC_AddFeatureInShapeFile(t), 0);
    char c[64], a[64];
    EXPECT_EQ(KC_SearchShpFile(1, 1, 0, c, a), -1);
}

} // namespace
