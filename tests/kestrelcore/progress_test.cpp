// The export progress right after the library is loaded: this process runs no export before.
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

using namespace kctest;

TEST(Progress, IsZeroAfterLoadAndCountMinusOneAfterAnExport) {
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 0);
    TempDir dir;
    const std::string base = dir.file("three");
    writeShapefile(base, SHPT_POINT, {{{{1, 1}}}, {{{2, 2}}}, {{{3, 3}}}});
    writeTable(base, {{"ID", FTInteger, 4, 0}}, {{"1"}, {"2"}, {"3"}});
    EXPECT_EQ(KC_ExportShp2Kml(base.c_str(), dir.file("three.kml").c_str()), 3);
    EXPECT_EQ(KC_GetProgressFromShp2Kml(), 2);
}
