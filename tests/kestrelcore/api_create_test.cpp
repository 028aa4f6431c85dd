// Through the C ABI: creation and feature append.
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace kctest;

namespace {

struct ReadBack {
    int type = -1;
    std::vector<std::vector<Vertex>> features;
};

ReadBack readBack(const std::string& base) {
    ReadBack r;
    SHPHandle h = SHPOpen(base.c_str(), "rb");
    if (h == nullptr)
        return r;
    int n = 0;
    SHPGetInfo(h, &n, &r.type, nullptr, nullptr);
    for (int i = 0; i < n; ++i) {
        SHPObject* o = SHPReadObject(h, i);
        std::vector<Vertex> vs;
        for (int v = 0; o && v < o->nVertices; ++v)
            vs.push_back({o->padfX[v], o->padfY[v], o->padfZ ? o->padfZ[v] : 0});
        r.features.push_back(vs);
        SHPDestroyObject(o);
    }
    SHPClose(h);
    return r;
}

class Create : public ::testing::Test {
protected:
    void TearDown() override { KC_CloseShpFile(); }
    int add(std::string text) {
        std::vector<char> buf(text.begin(), text.end());
        buf.push_back('\0');
        const int r = KC_AddFeatureInShapeFile(buf.data());
        trimmed = buf.data();
        return r;
    }
    std::string trimmed;
    TempDir dir;
    MessageLog log;
};

TEST_F(Create, TypeNamesAreExactlyAllCapitalsOrAllSmall) {
    const std::pair<const char*, int> ok[] = {
        {"POINT", SHPT_POINTZ},           {"point", SHPT_POINTZ},
        {"POLYLINE", SHPT_ARCZ},          {"polyline", SHPT_ARCZ},
        {"POLYGON", SHPT_POLYGONZ},       {"polygon", SHPT_POLYGONZ},
        {"MULTIPOINT", SHPT_MULTIPOINTZ}, {"multipoint", SHPT_MULTIPOINTZ}};
    int k = 0;
    for (const auto& [name, type] : ok) {
        const std::string base = dir.file("c" + std::to_string(k++));
        EXPECT_EQ(KC_CreateShapeFile(base.c_str(), name), 0) << name;
        KC_CloseShpFile();
        EXPECT_EQ(readBack(base).type, type) << name;
    }
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Create, MixedCaseTypeNameIsNotRecognised) {
    const std::string keep = dir.file("keep");
    ASSERT_EQ(KC_CreateShapeFile(keep.c_str(), "point"), 0);
    EXPECT_EQ(KC_CreateShapeFile(dir.file("x").c_str(), "Point"), 1);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "Error");
    EXPECT_EQ(log.entries[0].second, "Shape Type is not recognised.");
    EXPECT_FALSE(exists(dir.file("x.shp")));
    // The current shapefile is unchanged.
    EXPECT_EQ(add("1,2"), 0);
    KC_CloseShpFile();
    EXPECT_EQ(readBack(keep).features.size(), 1u);
}

TEST_F(Create, UncreatableFileReturnsTwoAndLeavesNoShapefileCurrent) {
    EXPECT_EQ(KC_CreateShapeFile(dir.file("no/such/dir/x").c_str(), "polygon"), 2);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].second, "Unable to create");
    EXPECT_EQ(add("1,2"), 1);
}

TEST_F(Create, PolylineCreatesPolyLineZWithoutDbf) {
    const std::string base = dir.file("line");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "polyline"), 0);
    KC_CloseShpFile();
    EXPECT_TRUE(exists(base + ".shp"));
    EXPECT_TRUE(exists(base + ".shx"));
    EXPECT_FALSE(exists(base + ".dbf"));
    EXPECT_EQ(readBack(base).type, SHPT_ARCZ);
}

TEST_F(Create, AppendTrimsThePrefixAndSuffixInPlace) {
    const std::string base = dir.file("line");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "POLYLINE"), 0);
    EXPECT_EQ(add("x=1.5,2.5,10 3.5,4.5,20;"), 0);
    EXPECT_EQ(trimmed, "1.5,2.5,10 3.5,4.5,20");
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 1u);
    ASSERT_EQ(r.features[0].size(), 2u);
    EXPECT_EQ(r.features[0][0].x, 1.5);
    EXPECT_EQ(r.features[0][0].y, 2.5);
    EXPECT_EQ(r.features[0][0].z, 10);
    EXPECT_EQ(r.features[0][1].x, 3.5);
    EXPECT_EQ(r.features[0][1].y, 4.5);
    EXPECT_EQ(r.features[0][1].z, 20);
}

TEST_F(Create, TwoDimensionalVerticesGetZeroZ) {
    const std::string base = dir.file("line");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "polyline"), 0);
    EXPECT_EQ(add("1,2 3,4"), 0);
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 1u);
    ASSERT_EQ(r.features[0].size(), 2u);
    EXPECT_EQ(r.features[0][1].x, 3);
    EXPECT_EQ(r.features[0][1].y, 4);
    EXPECT_EQ(r.features[0][0].z, 0);
    EXPECT_EQ(r.features[0][1].z, 0);
}

TEST_F(Create, AppendWithoutShapefileShowsUnableToOpen) {
    EXPECT_EQ(add("1,2"), 1);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "Error");
    EXPECT_EQ(log.entries[0].second, "Unable to open");
}

TEST_F(Create, RecordsReadBackInTheOrderAppended) {
    const std::string base = dir.file("pts");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "point"), 0);
    EXPECT_EQ(add("1,2,3"), 0);
    EXPECT_EQ(add("4,5,6"), 0);
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 2u);
    EXPECT_EQ(r.features[0][0].x, 1);
    EXPECT_EQ(r.features[1][0].z, 6);
}

TEST_F(Create, AppendToAnOpenedShapefileTakesItsType) {
    const std::string base = dir.file("lines");
    writeShapefile(base, SHPT_ARC, {{{{0, 0}, {1, 1}}}});
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    EXPECT_EQ(add("5,5 6,6 7,7"), 0);
    char c[256], a[16], b[128];
    EXPECT_EQ(KC_ReadFeature(1, 0, c, a, b), 1);
    EXPECT_STREQ(c,
                 "5.00000000,5.00000000 \r\n6.00000000,6.00000000 \r\n7.00000000,7.00000000 \r\n");
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    EXPECT_EQ(r.type, SHPT_ARC);
    ASSERT_EQ(r.features.size(), 2u);
    EXPECT_EQ(r.features[1].size(), 3u);
}

// Faults mended: more than 1,000 values, an incomplete last vertex, an empty text and a
// single-value first vertex never read or write outside the value and vertex storage.
TEST_F(Create, MoreThanAThousandValuesAreCutAtTheLimit) {
    const std::string base = dir.file("long");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "polyline"), 0);
    std::string text;
    for (int i = 0; i < 1500; ++i)
        text += std::to_string(i) + "," + std::to_string(i + 1) + "," + std::to_string(i + 2) + " ";
    EXPECT_EQ(add(text), 0);
    std::string pairs;
    for (int i = 0; i < 800; ++i)
        pairs += std::to_string(i) + "," + std::to_string(-i) + " ";
    EXPECT_EQ(add(pairs), 0);
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 2u);
    EXPECT_EQ(r.features[0].size(), 333u); // 1,000 values of dimension 3: 333 vertices
    EXPECT_EQ(r.features[0][332].x, 332);
    EXPECT_EQ(r.features[0][332].z, 334);
    EXPECT_EQ(r.features[1].size(), 500u); // 1,000 values of dimension 2
    EXPECT_EQ(r.features[1][499].y, -499);
}

TEST_F(Create, AnIncompleteLastVertexIsDropped) {
    const std::string base = dir.file("line");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "polyline"), 0);
    EXPECT_EQ(add("1,2,3 4,5,6 7,8"), 0);
    EXPECT_EQ(add("1,2 3"), 0);
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 2u);
    EXPECT_EQ(r.features[0].size(), 2u);
    EXPECT_EQ(r.features[0][1].z, 6);
    EXPECT_EQ(r.features[1].size(), 1u);
}

TEST_F(Create, AnEmptyTextAppendsNothing) {
    const std::string base = dir.file("line");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "polyline"), 0);
    EXPECT_EQ(add(""), 0);
    EXPECT_EQ(add("no digits at all;"), 0);
    EXPECT_EQ(trimmed, "");
    EXPECT_EQ(add("5"), 0); // one value: no complete vertex
    KC_CloseShpFile();
    EXPECT_TRUE(readBack(base).features.empty());
}

TEST_F(Create, ASingleValueFirstVertexReadsPairsWithinTheValues) {
    const std::string base = dir.file("line");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "polyline"), 0);
    // Dimension 1: vertex k is (value k, value k + 1); the last one has no Y and is dropped.
    EXPECT_EQ(add("5 6 7"), 0);
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 1u);
    ASSERT_EQ(r.features[0].size(), 2u);
    EXPECT_EQ(r.features[0][0].x, 5);
    EXPECT_EQ(r.features[0][0].y, 6);
    EXPECT_EQ(r.features[0][1].x, 6);
    EXPECT_EQ(r.features[0][1].y, 7);
}

TEST_F(Create, DoubleSeparatorsYieldAZeroValue) {
    const std::string base = dir.file("pts");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "multipoint"), 0);
    EXPECT_EQ(add("1,,3 4,5,6"), 0); // dimension 3: (1, 0, 3) (4, 5, 6)
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 1u);
    ASSERT_EQ(r.features[0].size(), 2u);
    EXPECT_EQ(r.features[0][0].y, 0);
    EXPECT_EQ(r.features[0][0].z, 3);
}

TEST_F(Create, ParsingIgnoresTheLocale) {
    const std::string base = dir.file("pts");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "point"), 0);
    ASSERT_NE(std::setlocale(LC_ALL, kGermanLocale), nullptr);
    EXPECT_EQ(add("1.5,2.25,3.125"), 0);
    std::setlocale(LC_ALL, "C");
    KC_CloseShpFile();
    const ReadBack r = readBack(base);
    ASSERT_EQ(r.features.size(), 1u);
    EXPECT_EQ(r.features[0][0].x, 1.5);
    EXPECT_EQ(r.features[0][0].y, 2.25);
}

} // namespace
