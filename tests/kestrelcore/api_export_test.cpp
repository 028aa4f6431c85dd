// Through the C ABI: the export document, its numbers and the progress counter.
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <random>
#include <thread>

using namespace kctest;

namespace {

// The .shp path inside the document name depends on the temp folder: the goldens hold
// "@SHP@" in its place.
std::string placeholder(std::string doc, const std::string& shpPath) {
    const std::string tag = "<name>" + shpPath + "</name>";
    const auto at = doc.find(tag);
    if (at != std::string::npos)
        doc.replace(at, tag.size(), "<name>@SHP@</name>");
    return doc;
}

class Export : public ::testing::Test {
protected:
    std::string withTable(const std::string& base, std::size_t records) {
        std::vector<std::vector<std::string>> recs(records, std::vector<std::string>{"x"});
        writeTable(base, {{"NAME", FTString, 10, 0}}, recs);
        return base;
    }
    std::string exportDoc(const std::string& base, int expected) {
        const std::string kml = base + ".kml";
        EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), kml.c_str()), expected);
        return placeholder(readFile(kml), base + ".shp");
    }
    TempDir dir;
    MessageLog log;
};

TEST_F(Export, PointDocument) {
    const std::string base = dir.file("points");
    writeShapefile(base, SHPT_POINT,
                   {{{{11.5, 48.25}}}, {{{-0.0, -1e-12}}}, {{{-122.4194, 37.7749}}}});
    withTable(base, 3);
    const std::string doc = exportDoc(base, 3);
    expectGolden("export_point.kml", doc);
    EXPECT_NE(doc.find("<coordinates>11.50000000,48.25000000,5 </coordinates>"), std::string::npos);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Export, PolylineOfTwoPartsIsOneLineString) {
    const std::string base = dir.file("lines");
    writeShapefile(base, SHPT_ARC,
                   {{{{1, 2}, {3, 4}}, {{5, 6}, {7, 8}}}, {{{-1.25, -2.5}, {0.1, 0.2}}}});
    withTable(base, 2);
    const std::string doc = exportDoc(base, 2);
    expectGolden("export_polyline.kml", doc);
    EXPECT_NE(doc.find("<coordinates>1.00000000,2.00000000,5 3.00000000,4.00000000,5 "
                       "5.00000000,6.00000000,5 7.00000000,8.00000000,5 </coordinates>"),
              std::string::npos);
}

TEST_F(Export, PolylineMIsExportedWithLineStrings) {
    const std::string base = dir.file("linesm");
    writeShapefile(base, SHPT_ARCM, {{{{1, 2, 0, 10}, {3, 4, 0, 20}}}});
    withTable(base, 1);
    const std::string doc = exportDoc(base, 1);
    expectGolden("export_polylinem.kml", doc);
    EXPECT_NE(doc.find("<LineString>"), std::string::npos);
}

TEST_F(Export, PolygonPutsAllRingsIntoTheOuterRing) {
    const std::string base = dir.file("polygons");
    writeShapefile(
        base, SHPT_POLYGON,
        {{{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}, {{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}}}});
    withTable(base, 1);
    const std::string doc = exportDoc(base, 1);
    expectGolden("export_polygon.kml", doc);
}

TEST_F(Export, PointZGivesAnEmptyFolderAndStillTheCount) {
    const std::string base = dir.file("pointz");
    writeShapefile(base, SHPT_POINTZ, {{{{1, 2, 3}}}, {{{4, 5, 6}}}});
    withTable(base, 2);
    const std::string doc = exportDoc(base, 2);
    EXPECT_NE(doc.find("\r\n    <Folder>\r\n    </Folder>\r\n  </Document>\r\n</kml>"),
              std::string::npos);
    EXPECT_EQ(doc.find("Placemark"), std::string::npos);
}

TEST_F(Export, EveryLineFeedIsStoredAsCrLfAndTheDocumentEndsWithoutOne) {
    const std::string base = dir.file("p");
    writeShapefile(base, SHPT_POINT, {{{{1, 2}}}});
    withTable(base, 1);
    const std::string doc = exportDoc(base, 1);
    for (std::size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] == '\n') {
            ASSERT_TRUE(i > 0 && doc[i - 1] == '\r') << i;
        }
    }
    EXPECT_EQ(doc.substr(doc.size() - 6), "</kml>");
    EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml "
                        "xmlns=\"http://earth.google.com/kml/2.1\">",
                        0),
              0u);
}

TEST_F(Export, TableWithoutFieldsShowsTheMessageAndWritesNoFile) {
    const std::string base = dir.file("nofields");
    writeShapefile(base, SHPT_POINT, {{{{1, 2}}}});
    writeTable(base, {}, {});
    const std::string kml = dir.file("out.kml");
    EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), kml.c_str()), 0);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, "Error");
    EXPECT_EQ(log.entries[0].second, "There are no fields in this table!");
    EXPECT_FALSE(exists(kml));
}

TEST_F(Export, MissingTableShowsDbfOpenFailed) {
    const std::string base = dir.file("notable");
    writeShapefile(base, SHPT_POINT, {{{{1, 2}}}});
    const std::string kml = dir.file("out.kml");
    EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), kml.c_str()), 0);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].second, "DBF open failed.");
    EXPECT_FALSE(exists(kml));
}

TEST_F(Export, MissingShapefileShowsUnableToOpenTitledWithTheShpPath) {
    const std::string base = dir.file("missing");
    EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), dir.file("out.kml").c_str()), -1);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, base + ".shp");
    EXPECT_EQ(log.entries[0].second, "Unable to open.");
}

TEST_F(Export, UncreatableKmlFileReturnsZeroWithoutMessage) {
    const std::string base = dir.file("p");
    writeShapefile(base, SHPT_POINT, {{{{1, 2}}}});
    withTable(base, 1);
    EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), dir.file("no/such/dir/out.kml").c_str()), 0);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Export, ExportLeavesTheCurrentSlotsAlone) {
    const std::string cur = dir.file("current");
    writeShapefile(cur, SHPT_POINT, {{{{7, 7}}}});
    ASSERT_EQ(KC_OpenShpFile(cur.c_str()), 1);
    const std::string base = dir.file("other");
    writeShapefile(base, SHPT_POINT, {{{{1, 2}}}, {{{3, 4}}}});
    withTable(base, 2);
    EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), dir.file("o.kml").c_str()), 2);
    char c[128] = "", a[64] = "";
    EXPECT_EQ(KC_SearchShpFile(7, 7, 0, c, a), 0);
    KC_CloseShpFile();
}

// Fault mended: a feature's coordinate text beyond 50,000 bytes (about 1,700 vertices) grows
// the buffer; the text is the same as if formatted with printf.
TEST_F(Export, LongFeaturesGrowTheCoordinateBufferWithTheSameText) {
    const std::string base = dir.file("long");
    Part part;
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-180, 180);
    for (int i = 0; i < 20000; ++i)
        part.push_back({u(rng), u(rng) / 2});
    writeShapefile(base, SHPT_ARC, {{part}, {{{1, 1}, {2, 2}}}});
    withTable(base, 2);
    const std::string doc = exportDoc(base, 2);
    std::string expected = "<coordinates>";
    for (const Vertex& v : part)
        expected += printf8(v.x) + "," + printf8(v.y) + ",5 ";
    expected += "</coordinates>";
    EXPECT_GT(expected.size(), 500000u);
    EXPECT_NE(doc.find(expected), std::string::npos);
    EXPECT_NE(
        doc.find("<coordinates>1.00000000,1.00000000,5 2.00000000,2.00000000,5 </coordinates>"),
        std::string::npos);
}

// Every number as printf "%.8f" would write it in the C locale: ties, signed zeros, tiny
// negatives, large magnitudes, subnormals, infinities and NaN, under a German locale.
TEST_F(Export, NumbersMatchPrintfForAwkwardValuesInAnyLocale) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.125,
                                  0.001953125, // 2^-9: an exact decimal tie at the 9th digit
                                  0.000000005, // not a tie in binary
                                  -0.000000005,
                                  0.0000000050000000000000001,
                                  2.5e-9,
                                  -1e-12,
                                  -4.9e-324,
                                  DBL_MIN,
                                  1.0 / 3,
                                  -2.0 / 3,
                                  0.1 + 0.2,
                                  179.999999995,
                                  -179.999999995,
                                  123456789.987654321,
                                  1.37438953472e11,
                                  1.4e11,
                                  -9.87654321e15,
                                  1e22,
                                  -1.7976931348623157e308,
                                  DBL_MAX,
                                  INFINITY,
                                  -INFINITY,
                                  NAN};
    std::mt19937_64 rng(5);
    for (int i = 0; i < 2000; ++i) {
        // halves of powers of two around the 8th decimal: exact ties
        const double tie =
            std::ldexp(static_cast<double>(rng() % 100000), -static_cast<int>(rng() % 30) - 1);
        values.push_back(tie);
        values.push_back(-tie);
    }
    std::vector<Feature> fs;
    for (std::size_t i = 0; i + 1 < values.size(); i += 2)
        fs.push_back({{{values[i], values[i + 1]}}});
    const std::string base = dir.file("awkward");
    writeShapefile(base, SHPT_POINT, fs);
    withTable(base, fs.size());
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    ASSERT_NE(std::setlocale(LC_ALL, kGermanLocale), nullptr)
        << "locale " << kGermanLocale << " missing";
    const std::string doc = exportDoc(base, static_cast<int>(fs.size()));
    char c[1024], a[64], b[1024];
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    for (std::size_t i = 0; i < fs.size(); ++i) {
        const double x = values[2 * i], y = values[2 * i + 1];
        const std::string coords = printf8(x) + "," + printf8(y) + ",5 ";
        ASSERT_NE(doc.find("<coordinates>" + coords + "</coordinates>"), std::string::npos)
            << coords;
        ASSERT_EQ(KC_ReadFeature(static_cast<int>(i), 0, c, a, b), static_cast<int>(i));
        ASSERT_EQ(std::string(c), printf8(x) + "," + printf8(y) + " \r\n");
    }
    KC_CloseShpFile();
    std::setlocale(LC_ALL, saved.c_str());
}

// The export reads large files chunk by chunk (flat memory): placemarks across the chunk
// boundaries keep their numbers and coordinates.
TEST_F(Export, LargeFilesAreExportedCompletelyAcrossChunks) {
    const std::string base = dir.file("many");
    std::vector<Feature> fs;
    for (int i = 0; i < 9000; ++i)
        fs.push_back({{{i * 0.01 - 45, i * 0.005 - 20}}});
    writeShapefile(base, SHPT_POINT, fs);
    withTable(base, fs.size());
    const std::string doc = exportDoc(base, 9000);
    std::size_t at = 0;
    for (int i = 0; i < 9000; ++i) {
        const std::string name = "<name>f" + std::to_string(i) + "</name>";
        at = doc.find(name, at);
        ASSERT_NE(at, std::string::npos) << i;
        const Vertex& v = fs[static_cast<std::size_t>(i)][0][0];
        const std::string coords =
            "<coordinates>" + printf8(v.x) + "," + printf8(v.y) + ",5 </coordinates>";
        ASSERT_EQ(doc.find(coords, at), doc.find("<coordinates>", at)) << i;
    }
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 8999);
}

TEST_F(Export, ProgressIsCountMinusOneAndNotResetByLaterExports) {
    const std::string ten = dir.file("ten");
    std::vector<Feature> fs;
    for (int i = 0; i < 10; ++i)
        fs.push_back({{{double(i), double(i)}}});
    writeShapefile(ten, SHPT_POINT, fs);
    withTable(ten, 10);
    EXPECT_EQ(KC_ExportShp2Kml(ten.c_str(), dir.file("ten.kml").c_str()), 10);
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 9);
    // An export of zero features neither resets nor moves it.
    const std::string none = dir.file("none");
    writeShapefile(none, SHPT_POINT, {});
    withTable(none, 0);
    EXPECT_EQ(KC_ExportShp2Kml(none.c_str(), dir.file("none.kml").c_str()), 0);
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 9);
    // Failed exports leave it unchanged.
    EXPECT_EQ(KC_ExportShp2Kml(dir.file("missing").c_str(), dir.file("m.kml").c_str()), -1);
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 9);
    const std::string nofields = dir.file("nofields");
    writeShapefile(nofields, SHPT_POINT, fs);
    writeTable(nofields, {}, {});
    EXPECT_EQ(KC_ExportShp2Kml(nofields.c_str(), dir.file("n.kml").c_str()), 0);
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 9);
    EXPECT_EQ(KC_ExportShp2Kml(ten.c_str(), dir.file("no/dir.kml").c_str()), 0);
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 9);
}

TEST_F(Export, ProgressReadFromAnotherThreadClimbsToCountMinusOne) {
    const std::string base = dir.file("many");
    std::vector<Feature> fs;
    for (int i = 0; i < 50000; ++i)
        fs.push_back({{{i * 0.001, 1.0}, {i * 0.001, 2.0}}});
    writeShapefile(base, SHPT_ARC, fs);
    withTable(base, fs.size());
    // Bring the counter to 0 first (a one-feature export), whatever ran before.
    const std::string one = dir.file("one");
    writeShapefile(one, SHPT_POINT, {{{{1, 1}}}});
    withTable(one, 1);
    ASSERT_EQ(KC_ExportShp2Kml(one.c_str(), dir.file("one.kml").c_str()), 1);
    ASSERT_EQ(KC_GetProgressFromShp2Kml(), 0);
    std::atomic<bool> done{false};
    std::vector<int> seen;
    seen.reserve(1 << 20);
    std::thread reader([&] {
        while (!done.load()) {
            if (seen.size() < (1u << 20))
                seen.push_back(KC_GetProgressFromShp2Kml());
            std::this_thread::yield();
        }
    });
    const int n = KC_ExportShp2Kml(base.c_str(), dir.file("many.kml").c_str());
    done = true;
    reader.join();
    EXPECT_EQ(n, 50000);
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 49999);
    for (std::size_t i = 1; i < seen.size(); ++i)
        ASSERT_GE(seen[i], seen[i - 1]) << i;
    for (int v : seen)
        ASSERT_TRUE(v >= 0 && v <= 49999) << v;
}

} // namespace
