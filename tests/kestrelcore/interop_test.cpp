// Checked against tools that no one here wrote: shapelib's command-line tools make files we
// read; shpdump and ogrinfo read the files we create; GDAL's KML driver reads our KML.
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

#include <regex>

using namespace kctest;

namespace {

class Interop : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "the peer tools (shapelib's tools, ogrinfo) are Linux programs";
#endif
        for (const char* tool :
             {KC_SHPCREATE, KC_SHPADD, KC_DBFCREATE, KC_DBFADD, KC_SHPDUMP, KC_OGRINFO})
            if (std::string(tool).empty() ||
                std::string(tool).find("NOTFOUND") != std::string::npos)
                GTEST_SKIP() << "peer tool missing";
    }
    void TearDown() override {
        KC_CloseShpFile();
        KC_CloseDBFFile();
    }
    static std::string q(const std::string& s) {
        return "'" + s + "'";
    }
    TempDir dir;
    MessageLog log;
};

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

TEST_F(Interop, ShapefilesMadeByShapelibToolsReadWithTheRightVerticesAndAttributes) {
    const std::string base = dir.file("tools");
    ASSERT_EQ(run(std::string(KC_SHPCREATE) + " " + q(base) + " arc"), 0);
    ASSERT_EQ(run(std::string(KC_SHPADD) + " " + q(base) + " 1.5 2.5 -3.25 4 + 5 6 7 8"), 0);
    ASSERT_EQ(run(std::string(KC_SHPADD) + " " + q(base) + " -170.125 -45.5 -169 -44"), 0);
    ASSERT_EQ(run(std::string(KC_DBFCREATE) + " " + q(base) + " -s NAME 20 -n ID 5 0 -n VAL 12 4"),
              0);
    ASSERT_EQ(run(std::string(KC_DBFADD) + " " + q(base) + " Lake 7 1.5"), 0);
    ASSERT_EQ(run(std::string(KC_DBFADD) + " " + q(base) + " 'Big River' -3 -0.25"), 0);
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    ASSERT_EQ(KC_OpenDBFFile(base.c_str()), 1);
    char c[1024], a[1024], b[256];
    EXPECT_EQ(KC_ReadFeature(0, 1, c, a, b), 0);
    EXPECT_STREQ(c, "1.50000000,2.50000000 \r\n-3.25000000,4.00000000 \r\n"
                    "5.00000000,6.00000000 \r\n7.00000000,8.00000000 \r\n");
    EXPECT_STREQ(a, "NAME Lake \r\nID 7 \r\nVAL 1.50000000 \r\n");
    EXPECT_STREQ(b, "-3.25000000,2.50000000 7.00000000,8.00000000");
    EXPECT_EQ(KC_ReadFeature(1, 1, c, a, b), 1);
    EXPECT_STREQ(c, "-170.12500000,-45.50000000 \r\n-169.00000000,-44.00000000 \r\n");
    EXPECT_STREQ(a, "NAME Big River \r\nID -3 \r\nVAL -0.25000000 \r\n");
    char coords[1024] = "", attrs[1024] = "";
    EXPECT_EQ(KC_SearchShpFile(-169.5, -44.5, 0, coords, attrs), 1);
}

TEST_F(Interop, CreatedShapefilesAreReadByShpdumpAndOgrinfo) {
    const std::string base = dir.file("made");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "polyline"), 0);
    char f1[] = "1.5,2.5,10 3.5,4.5,20";
    char f2[] = "-71.25,42.125,7 -70.5,43,8 -70,44,9";
    ASSERT_EQ(KC_AddFeatureInShapeFile(f1), 0);
    ASSERT_EQ(KC_AddFeatureInShapeFile(f2), 0);
    KC_CloseShpFile();

    std::string dump;
    ASSERT_EQ(run(std::string(KC_SHPDUMP) + " " + q(base + ".shp"), &dump), 0);
    EXPECT_NE(dump.find("ArcZ"), std::string::npos) << dump;
    EXPECT_NE(dump.find("# of Shapes: 2"), std::string::npos) << dump;
    EXPECT_NE(dump.find("(1.5,2.5, 10"), std::string::npos) << dump;
    EXPECT_NE(dump.find("(3.5,4.5, 20"), std::string::npos) << dump;
    EXPECT_NE(dump.find("(-71.25,42.125, 7"), std::string::npos) << dump;
    EXPECT_NE(dump.find("(-70,44, 9"), std::string::npos) << dump;

    // ogrinfo wants an attribute table beside the shapefile.
    writeTable(base, {{"ID", FTInteger, 4, 0}}, {{"1"}, {"2"}});
    std::string info;
    ASSERT_EQ(run(std::string(KC_OGRINFO) + " -ro -al " + q(base + ".shp"), &info), 0);
    EXPECT_NE(info.find("Feature Count: 2"), std::string::npos) << info;
    EXPECT_NE(info.find("LINESTRING Z (1.5 2.5 10,3.5 4.5 20)"), std::string::npos) << info;
    EXPECT_NE(
        info.find("LINESTRING Z (-71.25 42.125 7,-70.5 43.0 8,-70 44 9)") != std::string::npos ||
            info.find("LINESTRING Z (-71.25 42.125 7,-70.5 43 8,-70 44 9)") != std::string::npos,
        false)
        << info;
}

TEST_F(Interop, ExportedDocumentsAreReadByGdalsKmlDriver) {
    const std::string base = dir.file("exp");
    writeShapefile(
        base, SHPT_ARC,
        {{{{1.5, 2.5}, {3.25, 4.75}}, {{5, 6}, {7, 8}}}, {{{-10.5, -20.25}, {-11, -21}}}});
    writeTable(base, {{"ID", FTInteger, 4, 0}}, {{"1"}, {"2"}});
    const std::string kml = dir.file("exp.kml");
    ASSERT_EQ(KC_ExportShp2Kml(base.c_str(), kml.c_str()), 2);
    std::string info;
    ASSERT_EQ(run("GDAL_SKIP=LIBKML " + std::string(KC_OGRINFO) + " -ro -al " + q(kml), &info), 0)
        << info;
    EXPECT_NE(info.find("using driver `KML' successful"), std::string::npos) << info;
    EXPECT_EQ(count(info, "OGRFeature("), 2) << info;
    EXPECT_NE(info.find("LINESTRING Z (1.5 2.5 5,3.25 4.75 5,5 6 5,7 8 5)"), std::string::npos)
        << info;
    EXPECT_NE(info.find("LINESTRING Z (-10.5 -20.25 5,-11 -21 5)"), std::string::npos) << info;
}

TEST_F(Interop, PointAndPolygonDocumentsAreReadByGdalsKmlDriver) {
    const std::string pts = dir.file("pts");
    writeShapefile(pts, SHPT_POINT, {{{{11.5, 48.25}}}, {{{-3.75, -40.5}}}, {{{0, 0}}}});
    writeTable(pts, {{"ID", FTInteger, 4, 0}}, {{"1"}, {"2"}, {"3"}});
    ASSERT_EQ(KC_ExportShp2Kml(pts.c_str(), dir.file("pts.kml").c_str()), 3);
    std::string info;
    ASSERT_EQ(
        run("GDAL_SKIP=LIBKML " + std::string(KC_OGRINFO) + " -ro -al " + q(dir.file("pts.kml")),
            &info),
        0);
    EXPECT_EQ(count(info, "OGRFeature("), 3) << info;
    EXPECT_NE(info.find("POINT Z (11.5 48.25 5)"), std::string::npos) << info;
    EXPECT_NE(info.find("POINT Z (-3.75 -40.5 5)"), std::string::npos) << info;

    const std::string poly = dir.file("poly");
    writeShapefile(poly, SHPT_POLYGON, {{{{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}}}});
    writeTable(poly, {{"ID", FTInteger, 4, 0}}, {{"1"}});
    ASSERT_EQ(KC_ExportShp2Kml(poly.c_str(), dir.file("poly.kml").c_str()), 1);
    ASSERT_EQ(
        run("GDAL_SKIP=LIBKML " + std::string(KC_OGRINFO) + " -ro -al " + q(dir.file("poly.kml")),
            &info),
        0);
    EXPECT_EQ(count(info, "OGRFeature("), 1) << info;
    EXPECT_NE(info.find("POLYGON Z ((0 0 5,0 1 5,1 1 5,1 0 5,0 0 5))"), std::string::npos) << info;
}

TEST_F(Interop, SelectionDocumentsAreReadByGdalsKmlDriver) {
    const std::string base = dir.file("pts");
    writeShapefile(base, SHPT_POINT, {{{{1, 1}}}, {{{2, 2}}}, {{{30, 30}}}, {{{-1.5, 3}}}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char list[256] = "";
    const std::string kml = dir.file("sel.kml");
    ASSERT_EQ(KC_MultiSearchShpFile(-5, 0, 5, 5, list, 1, kml.c_str(), 1), 3);
    std::string info;
    ASSERT_EQ(run("GDAL_SKIP=LIBKML " + std::string(KC_OGRINFO) + " -ro -al " + q(kml), &info), 0)
        << info;
    // the three features plus the BBox outline
    EXPECT_EQ(count(info, "OGRFeature("), 4) << info;
    EXPECT_NE(info.find("POINT Z (1 1 5)"), std::string::npos) << info;
    EXPECT_NE(info.find("POINT Z (-1.5 3.0 5)") != std::string::npos ||
                  info.find("POINT Z (-1.5 3 5)") != std::string::npos,
              false)
        << info;
    EXPECT_NE(info.find("POLYGON Z ((-5 0 1,5 0 1,5 5 1,-5 5 1,-5 0 1))"), std::string::npos)
        << info;
    const std::string plain = dir.file("plain.kml");
    char list2[256] = "";
    ASSERT_EQ(KC_MultiSearchShpFile(-5, 0, 5, 5, list2, 0, plain.c_str(), 0), 3);
    ASSERT_EQ(run("GDAL_SKIP=LIBKML " + std::string(KC_OGRINFO) + " -ro -al " + q(plain), &info), 0)
        << info;
    EXPECT_EQ(count(info, "OGRFeature("), 3) << info;
}

} // namespace
