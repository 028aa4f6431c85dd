// Through the C ABI: open, close, read features, records and metadata.
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

using namespace kctest;

namespace {

class Frame : public ::testing::Test {
protected:
    void TearDown() override {
        KC_CloseShpFile();
        KC_CloseDBFFile();
    }
    // A two-part polyline, a single-part polyline and a table of five field kinds.
    std::string makeLines() {
        const std::string base = dir.file("lines");
        writeShapefile(base, SHPT_ARC,
                       {{{{1.5, 2.25}, {3.0, 4.0}}, {{5.125, -6.5}, {7.0, 8.0}, {-9.75, 10.0}}},
                        {{{-0.5, 0.5}, {11.0, 12.0}}}});
        writeTable(base,
                   {{"NAME", FTString, 40, 0},
                    {"ID", FTInteger, 5, 0},
                    {"AREA", FTDouble, 19, 11},
                    {"FLAG", FTLogical, 1, 0},
                    {"COUNT", FTInteger, 9, 0}},
                   {{"Lake", "7", "1234.5678", "T", ""}, {"River", "-42", "-0.125", "F", "3"}});
        return base;
    }
    TempDir dir;
    MessageLog log;
};

TEST_F(Frame, OpenFailureShowsUnableToOpenTitledWithThePath) {
    const std::string missing = dir.file("nothing_here");
    EXPECT_EQ(KC_OpenShpFile(missing.c_str()), 0);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, missing);
    EXPECT_EQ(log.entries[0].second, "Unable to open.");
    char type[64] = "x";
    int count = -5;
    EXPECT_EQ(KC_GetMetaInfoFromShpDBF(type, &count, 0, nullptr), 0); // slot empty
}

TEST_F(Frame, OpensWithOrWithoutExtension) {
    const std::string base = makeLines();
    EXPECT_EQ(KC_OpenShpFile((base + ".shp").c_str()), 1);
    KC_CloseShpFile();
    EXPECT_EQ(KC_OpenShpFile(base.c_str()), 1);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Frame, ReadFeatureWithoutShapefileShowsNotOpened) {
    char coords[16] = "keep", attrs[16] = "keep", bounds[16] = "keep";
    EXPECT_EQ(KC_ReadFeature(0, 1, coords, attrs, bounds), -1);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "KC_ReadFeature");
    EXPECT_EQ(log.entries[0].second, "Not opened.");
    EXPECT_STREQ(coords, "keep");
    EXPECT_STREQ(attrs, "keep");
    EXPECT_STREQ(bounds, "keep");
}

TEST_F(Frame, ReadFeatureListsBothPartsOfAPolylineInOneText) {
    const std::string base = makeLines();
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    ASSERT_EQ(KC_OpenDBFFile(base.c_str()), 1);
    char coords[4096], attrs[4096], bounds[256];
    EXPECT_EQ(KC_ReadFeature(0, 1, coords, attrs, bounds), 0);
    expectGolden("read_feature_0_coords.txt", coords);
    expectGolden("read_feature_0_bounds.txt", bounds);
    expectGolden("read_dbf_0.txt", attrs);
    EXPECT_EQ(std::string(coords),
              "1.50000000,2.25000000 \r\n3.00000000,4.00000000 \r\n5.12500000,-6.50000000 \r\n"
              "7.00000000,8.00000000 \r\n-9.75000000,10.00000000 \r\n");
    EXPECT_STREQ(bounds, "-9.75000000,-6.50000000 7.00000000,10.00000000");
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Frame, ReadFeatureOutsideTheFileEmptiesTextsButNotBounds) {
    const std::string base = makeLines();
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char coords[64] = "old", attrs[64] = "old", bounds[64] = "old";
    EXPECT_EQ(KC_ReadFeature(2, 1, coords, attrs, bounds), -1); // index == count
    EXPECT_STREQ(coords, "");
    EXPECT_STREQ(attrs, "");
    EXPECT_STREQ(bounds, "old");
    std::strcpy(coords, "old");
    EXPECT_EQ(KC_ReadFeature(-1, 0, coords, attrs, bounds), -1);
    EXPECT_STREQ(coords, "");
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Frame, ReadFeatureWithAttributesButNoTableShowsTheReadDbfMessage) {
    const std::string base = makeLines();
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char coords[4096], attrs[64] = "x", bounds[256];
    EXPECT_EQ(KC_ReadFeature(1, 1, coords, attrs, bounds), 1);
    EXPECT_STREQ(attrs, "");
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].second, "DBF not opened.");
}

TEST_F(Frame, ReadDbfFormatsEveryFieldKind) {
    const std::string base = makeLines();
    ASSERT_EQ(KC_OpenDBFFile((base + ".dbf").c_str()), 1);
    char out[4096];
    EXPECT_EQ(KC_ReadDBF(1, out), 1);
    expectGolden("read_dbf_1.txt", out);
    // string, negative integer, "%.8f" double, logical without value, integer
    EXPECT_EQ(std::string(out), "NAME River \r\nID -42 \r\nAREA -0.12500000 \r\nFLAG  \r\n"
                                "COUNT 3 \r\n");
    EXPECT_EQ(KC_ReadDBF(0, out), 1);
    // a null numeric value is a tab
    EXPECT_NE(std::string(out).find("COUNT \t \r\n"), std::string::npos);
    EXPECT_NE(std::string(out).find("FLAG  \r\n"), std::string::npos);
    EXPECT_NE(std::string(out).find("AREA 1234.56780000 \r\n"), std::string::npos);
}

TEST_F(Frame, ReadDbfWithoutTableShowsDbfNotOpened) {
    char out[16] = "keep";
    EXPECT_EQ(KC_ReadDBF(0, out), -1);
    EXPECT_STREQ(out, "keep");
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "Error");
    EXPECT_EQ(log.entries[0].second, "DBF not opened.");
}

TEST_F(Frame, ReadDbfOutsideTheTableReturnsMinusOne) {
    const std::string base = makeLines();
    ASSERT_EQ(KC_OpenDBFFile(base.c_str()), 1);
    char out[64] = "keep";
    EXPECT_EQ(KC_ReadDBF(2, out), -1);
    EXPECT_EQ(KC_ReadDBF(-1, out), -1);
    EXPECT_EQ(KC_ReadDBF(1 << 30, out), -1);
    EXPECT_STREQ(out, "keep");
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Frame, TableWithoutFieldsStaysCurrentAndReportsOnRead) {
    const std::string base = dir.file("nofields");
    writeTable(base, {}, {});
    EXPECT_EQ(KC_OpenDBFFile(base.c_str()), 0);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "Error");
    EXPECT_EQ(log.entries[0].second, "There are no fields in this table!");
    char out[16] = "keep";
    EXPECT_EQ(KC_ReadDBF(0, out), -1);
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[1].second, "There are no fields in this table!");
    EXPECT_STREQ(out, "keep");
}

TEST_F(Frame, OpenDbfFailureShowsDbfOpenFailed) {
    EXPECT_EQ(KC_OpenDBFFile(dir.file("missing.dbf").c_str()), 0);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].second, "DBF open failed.");
    char out[16] = "keep";
    EXPECT_EQ(KC_ReadDBF(0, out), -1); // the slot is empty again
    EXPECT_EQ(log.entries.back().second, "DBF not opened.");
}

TEST_F(Frame, MetaInfoNamesTheTypeAndAppendsTheFieldList) {
    const std::string base = makeLines();
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    ASSERT_EQ(KC_OpenDBFFile(base.c_str()), 1);
    char type[64];
    int count = 0;
    char fields[1024] = "before\r\n";
    EXPECT_EQ(KC_GetMetaInfoFromShpDBF(type, &count, 1, fields), 1);
    EXPECT_STREQ(type, "PolyLine");
    EXPECT_EQ(count, 2);
    expectGolden("meta_fields.txt", fields);
    EXPECT_EQ(std::string(fields), "before\r\nNAME string 40 0\r\nID integer 5 0\r\n"
                                   "AREA float 19 11\r\nFLAG bool 1 0\r\nCOUNT integer 9 0\r\n");
    char untouched[16] = "keep";
    EXPECT_EQ(KC_GetMetaInfoFromShpDBF(type, &count, 0, untouched), 1);
    EXPECT_STREQ(untouched, "keep");
}

TEST_F(Frame, MetaInfoTypeNamesFollowTheTable) {
    const std::map<int, std::string> names = {
        {1, "Point"},      {3, "PolyLine"},   {5, "Polygon"},   {8, "MultiPoint"},
        {11, "PointZ"},    {13, "PolyLineZ"}, {15, "PolygonZ"}, {18, "MultiPointZ"},
        {21, "PointM"},    {23, "PolyLineM"}, {25, "PolygonM"}, {28, "MultiPointM"},
        {31, "MultiPatch"}};
    for (const auto& [code, name] : names) {
        const std::string base = dir.file("t" + std::to_string(code));
        writeShapefile(base, code, {});
        ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1) << code;
        char type[64];
        int count = -1;
        KC_GetMetaInfoFromShpDBF(type, &count, 0, nullptr);
        EXPECT_EQ(type, name);
        EXPECT_EQ(count, 0);
        KC_CloseShpFile();
    }
}

TEST_F(Frame, MetaInfoWithFieldsButNoTableFails) {
    const std::string base = makeLines();
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    char type[64], fields[64] = "keep";
    int count = 0;
    EXPECT_EQ(KC_GetMetaInfoFromShpDBF(type, &count, 1, fields), 0);
    EXPECT_STREQ(fields, "keep");
    EXPECT_EQ(count, 2);
}

TEST_F(Frame, ClosesWithEmptySlotsAreHarmless) {
    KC_CloseShpFile();
    KC_CloseShpFile();
    KC_CloseDBFFile();
    KC_CloseDBFFile();
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Frame, OpeningAnotherShapefileClosesTheCurrentOne) {
    // On purpose (the replaced shapefile used to stay open and unwritten):
    // appended records of the replaced file reach the disk.
    const std::string a = dir.file("a");
    ASSERT_EQ(KC_CreateShapeFile(a.c_str(), "point"), 0);
    char text[] = "1,2";
    ASSERT_EQ(KC_AddFeatureInShapeFile(text), 0);
    const std::string b = makeLines();
    ASSERT_EQ(KC_OpenShpFile(b.c_str()), 1);
    SHPHandle h = SHPOpen(a.c_str(), "rb");
    ASSERT_NE(h, nullptr);
    int n = 0;
    SHPGetInfo(h, &n, nullptr, nullptr, nullptr);
    EXPECT_EQ(n, 1);
    SHPClose(h);
}

TEST_F(Frame, DefFileHasTheFixedOrdinalsAndMatchesTheVersionScript) {
    const std::string root = std::string(KC_TEST_DATA) + "/../../..";
    std::ifstream def(root + "/kestrelcore/kestrelcore.def");
    ASSERT_TRUE(def.good());
    std::map<std::string, int> ordinals;
    std::string line;
    while (std::getline(def, line)) {
        // "    NAME    @ORDINAL"
        std::istringstream fields(line);
        std::string name, at;
        if (line.empty() || line[0] != ' ' || !(fields >> name >> at) || at.size() < 2 ||
            at[0] != '@')
            continue;
        ordinals[name] = std::stoi(at.substr(1));
    }
    const std::map<std::string, int> expected = {{"KC_ExportShp2Kml", 4},
                                                 {"SphericalDist", 6},
                                                 {"KC_OpenShpFile", 11},
                                                 {"KC_CloseShpFile", 12},
                                                 {"KC_SearchShpFile", 13},
                                                 {"KC_SearchShpFile2", 14},
                                                 {"KC_FindNearest", 15},
                                                 {"KC_MultiSearchShpFile", 16},
                                                 {"KC_MultiSearchFeatureByCircle", 17},
                                                 {"KC_OpenDBFFile", 21},
                                                 {"KC_ReadDBF", 22},
                                                 {"KC_CloseDBFFile", 23},
                                                 {"KC_GetMetaInfoFromShpDBF", 31},
                                                 {"KC_ReadFeature", 32},
                                                 {"KC_GetProgressFromShp2Kml", 41},
                                                 {"KC_CreateShapeFile", 51},
                                                 {"KC_AddFeatureInShapeFile", 52}};
    ASSERT_EQ(ordinals.size(), expected.size() + 1);
    for (const auto& [name, ord] : expected)
        EXPECT_EQ(ordinals[name], ord) << name;
    // The addition takes an ordinal of the unassigned ranges.
    const int handler = ordinals["KC_SetMessageHandler"];
    const std::vector<std::pair<int, int>> unassigned = {{5, 5},   {7, 10},  {18, 20},
                                                         {24, 30}, {33, 40}, {42, 50}};
    bool free = false;
    for (const auto& [lo, hi] : unassigned)
        free = free || (handler >= lo && handler <= hi);
    EXPECT_TRUE(free) << handler;
    // The ELF version script exports the same names.
    std::ifstream map(root + "/kestrelcore/kestrelcore.map");
    std::stringstream all;
    all << map.rdbuf();
    const std::string script = all.str();
    for (const auto& [name, ord] : ordinals)
        EXPECT_NE(script.find("        " + name + ";"), std::string::npos) << name;
}

#if defined(_WIN32)
// The default on Windows is a message box (a box without a display returns at once under
// wine); nothing goes to standard error.
TEST_F(Frame, DefaultHandlerShowsAMessageBoxAndWritesNothingToStderr) {
    KC_SetMessageHandler(nullptr, nullptr); // the default
    ::testing::internal::CaptureStderr();
    char out[8];
    EXPECT_EQ(KC_ReadDBF(0, out), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}
#else
TEST_F(Frame, DefaultHandlerWritesTitleColonTextToStderr) {
    KC_SetMessageHandler(nullptr, nullptr); // the default
    ::testing::internal::CaptureStderr();
    char out[8];
    KC_ReadDBF(0, out);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Error: DBF not opened.\n");
}
#endif

} // namespace
