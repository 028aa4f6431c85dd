// File names reach the file system intact: UTF-8 names through shapelib's default hooks (the
// fixtures) and through the library's own file layer, on every platform; on Windows, where
// both convert to UTF-16, also names that are not UTF-8 (taken in the ANSI code page).
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

#include <string>

using namespace kctest;

namespace {

// Offsets past 4 GB: on Windows shapelib's own default (unsigned long) has 32 bits.
static_assert(sizeof(SAOffset) >= 8, "shapelib must use 64-bit file offsets");

class Names : public ::testing::Test {
protected:
    void TearDown() override {
        KC_CloseShpFile();
        KC_CloseDBFFile();
    }
    // The file system's view of a UTF-8 name inside the test folder.
    fs::path onDisk(const std::u8string& name) const { return dir.path() / fs::path(name); }
    // The library's view: the folder (ASCII) and the name's bytes as they are.
    std::string at(const std::string& name) const { return dir.path().string() + "/" + name; }
    TempDir dir;
    MessageLog log;
};

// "Lac Léman 湖 ", UTF-8, spelled in bytes so that the source encoding does not matter.
const std::string kUtf8Name = "lac L\xc3\xa9man \xe6\xb9\x96";
const std::u8string kU8Name = u8"lac L\u00e9man \u6e56";

TEST_F(Names, Utf8NamesWrittenByTheDefaultHooksOpenAndReadThroughTheLibrary) {
    const std::string base = at(kUtf8Name);
    writeShapefile(base, SHPT_POINT, {{{{7.5, 46.5}}}, {{{-71.25, 42.125}}}});
    writeTable(base, {{"NAME", FTString, 20, 0}}, {{"a"}, {"b"}});
    EXPECT_TRUE(fs::exists(onDisk(kU8Name + u8".shp")));
    EXPECT_TRUE(fs::exists(onDisk(kU8Name + u8".shx")));
    EXPECT_TRUE(fs::exists(onDisk(kU8Name + u8".dbf")));

    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    ASSERT_EQ(KC_OpenDBFFile((base + ".dbf").c_str()), 1);
    char coords[256], attrs[256], bounds[256];
    ASSERT_EQ(KC_ReadFeature(1, 1, coords, attrs, bounds), 1);
    EXPECT_STREQ(coords, "-71.25000000,42.12500000 \r\n");
    EXPECT_STREQ(attrs, "NAME b \r\n");
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Names, Utf8NamesCreatedByTheLibraryAreTheNamesOnDisk) {
    const std::string base = at(kUtf8Name);
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "POLYLINE"), 0);
    char line[] = "1,2,3 4,5,6";
    ASSERT_EQ(KC_AddFeatureInShapeFile(line), 0);
    KC_CloseShpFile();
    EXPECT_TRUE(fs::exists(onDisk(kU8Name + u8".shp")));
    EXPECT_TRUE(fs::exists(onDisk(kU8Name + u8".shx")));

    writeTable(base, {{"ID", FTInteger, 5, 0}}, {{"1"}}); // the export reads the table too
    const std::string kml = at(kUtf8Name + ".kml");
    EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), kml.c_str()), 1);
    EXPECT_TRUE(fs::exists(onDisk(kU8Name + u8".kml")));
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Names, AMissingUtf8NameFailsWithTheUsualMessage) {
    const std::string base = at(kUtf8Name + " missing");
    EXPECT_EQ(KC_OpenShpFile(base.c_str()), 0);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].first, base); // the title is the path, byte for byte
    EXPECT_EQ(log.entries[0].second, "Unable to open.");
}

#if defined(_WIN32)
TEST_F(Names, NamesThatAreNotUtf8AreTakenInTheAnsiCodePage) {
    // "café" in code page 1252 (wine's default ANSI code page): 0xE9 alone is not UTF-8.
    const std::string base = at("caf\xe9");
    ASSERT_EQ(KC_CreateShapeFile(base.c_str(), "POINT"), 0);
    char point[] = "1,2";
    ASSERT_EQ(KC_AddFeatureInShapeFile(point), 0);
    KC_CloseShpFile();
    writeTable(base, {{"ID", FTInteger, 5, 0}}, {{"7"}});
    EXPECT_TRUE(fs::exists(dir.path() / L"caf\u00e9.shp"));
    EXPECT_TRUE(fs::exists(dir.path() / L"caf\u00e9.dbf"));
    ASSERT_EQ(KC_OpenShpFile(base.c_str()), 1);
    ASSERT_EQ(KC_OpenDBFFile((base + ".dbf").c_str()), 1);
    char out[64];
    EXPECT_EQ(KC_ReadDBF(0, out), 1);
    EXPECT_STREQ(out, "ID 7 \r\n");
}
#endif

} // namespace
