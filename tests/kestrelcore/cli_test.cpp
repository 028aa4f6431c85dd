// The kestrel command line: every subcommand, its --help, messages and exit codes.
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kctest;

namespace {

class Cli : public ::testing::Test {
protected:
    int kestrel(const std::string& args, std::string* out = nullptr) {
#if defined(_WIN32)
        // cmd.exe quotes with double quotes only, and takes "/" for a switch.
        std::string program = KC_KESTREL, line = args;
        std::replace(program.begin(), program.end(), '/', '\\');
        std::replace(line.begin(), line.end(), '\'', '"');
        return run(program + " " + line, out);
#else
        return run(std::string(KC_KESTREL) + " " + args, out);
#endif
    }
    TempDir dir;
};

TEST_F(Cli, EverySubcommandHasHelp) {
    for (const char* sub : {"info", "read", "dbf", "search", "nearest", "box", "circle", "export",
                            "create", "append", "distance"}) {
        std::string out;
        EXPECT_EQ(kestrel(std::string(sub) + " --help", &out), 0) << sub;
        EXPECT_NE(out.find("Usage:"), std::string::npos) << sub << out;
    }
    std::string out;
    EXPECT_EQ(kestrel("--help", &out), 0);
    EXPECT_NE(out.find("distance"), std::string::npos);
}

TEST_F(Cli, BadCommandLinesExitWithTwo) {
    std::string out;
    EXPECT_EQ(kestrel("", &out), 2);
    EXPECT_EQ(kestrel("frobnicate", &out), 2);
    EXPECT_EQ(kestrel("read x.shp abc", &out), 2);
    EXPECT_NE(out.find("Could not convert"), std::string::npos) << out;
    EXPECT_EQ(kestrel("distance 1 2 3", &out), 2);
    EXPECT_EQ(kestrel("create " + dir.file("x") + " Point", &out), 2);
    EXPECT_NE(out.find("Shape Type is not recognised."), std::string::npos) << out;
}

TEST_F(Cli, MissingFilesExitWithOneAndSayWhy) {
    std::string out;
    EXPECT_EQ(kestrel("info " + dir.file("none"), &out), 1);
    EXPECT_NE(out.find("Unable to open."), std::string::npos) << out;
    EXPECT_EQ(kestrel("dbf " + dir.file("none.dbf") + " 0", &out), 1);
    EXPECT_NE(out.find("DBF open failed."), std::string::npos) << out;
    EXPECT_EQ(kestrel("export " + dir.file("none") + " " + dir.file("o.kml"), &out), 1);
}

TEST_F(Cli, CreateAppendInfoReadSearchAndNearest) {
    const std::string shp = dir.file("made.shp");
    std::string out;
    ASSERT_EQ(kestrel("create " + shp + " polyline '1.5,2.5,10 3.5,4.5,20'", &out), 0) << out;
    ASSERT_EQ(kestrel("append " + shp + " '-71.25,42.125 -70.5,43'", &out), 0) << out;
    ASSERT_EQ(kestrel("info " + shp, &out), 0);
    EXPECT_EQ(out, "type: PolyLineZ\nfeatures: 2\n");
    ASSERT_EQ(kestrel("read " + shp + " 1", &out), 0);
    EXPECT_EQ(out, "feature: 1\nbounds: -71.25000000,42.12500000 -70.50000000,43.00000000\n"
                   "-71.25000000,42.12500000 \n-70.50000000,43.00000000 \n");
    ASSERT_EQ(kestrel("--raw read " + shp + " 0", &out), 0);
    EXPECT_NE(out.find("1.50000000,2.50000000 \r\n"), std::string::npos);
    EXPECT_EQ(kestrel("read " + shp + " 2", &out), 1);
    EXPECT_NE(out.find("no feature 2"), std::string::npos);
    ASSERT_EQ(kestrel("search " + shp + " -71 42.5", &out), 0);
    EXPECT_EQ(out, "feature: 1\n-71.25000000,42.12500000,6 \n-70.50000000,43.00000000,6 \n");
    EXPECT_EQ(kestrel("search " + shp + " 50 50", &out), 1);
    // a PolyLineZ file: the nearest-feature rule picks nothing
    EXPECT_EQ(kestrel("nearest " + shp + " -71 42.5", &out), 1);
}

TEST_F(Cli, TablesBoxCircleExportAndDistance) {
    const std::string base = dir.file("pts");
    writeShapefile(base, SHPT_POINT, {{{{1, 1}}}, {{{2, 2}}}, {{{-3, 4}}}});
    writeTable(base, {{"NAME", FTString, 10, 0}, {"ID", FTInteger, 4, 0}},
               {{"a", "1"}, {"b", "2"}, {"c", "3"}});
    std::string out;
    ASSERT_EQ(kestrel("info -f " + base, &out), 0);
    EXPECT_EQ(out, "type: Point\nfeatures: 3\nfields:\nNAME string 10 0\nID integer 4 0\n");
    ASSERT_EQ(kestrel("dbf " + base + ".dbf 2", &out), 0);
    EXPECT_EQ(out, "NAME c \nID 3 \n");
    ASSERT_EQ(kestrel("nearest -a " + base + " 2 2", &out), 0);
    EXPECT_EQ(out, "feature: 1\n2.00000000,2.00000000,6 \nattributes:\nNAME b \nID 2 \n");
    ASSERT_EQ(
        kestrel("box " + base + " 0 0 5 5 -o " + dir.file("box.kml") + " --ring --bbox", &out), 0);
    EXPECT_EQ(out,
              "         1: 0\n         2: 1\nfound: 2 (written to " + dir.file("box.kml") + ")\n");
    EXPECT_NE(readFile(dir.file("box.kml")).find("MultiSelection - 2"), std::string::npos);
    ASSERT_EQ(kestrel("circle " + base + " 0 0 3 4 -o " + dir.file("c.kml"), &out), 0);
    EXPECT_EQ(out, "0\n1\n2\nfound: 3 (written to " + dir.file("c.kml") + ")\n");
    ASSERT_EQ(kestrel("export " + base + ".shp " + dir.file("all.kml"), &out), 0);
    EXPECT_NE(out.find("exported: 3 features"), std::string::npos) << out;
    EXPECT_NE(out.find("100% 3/3"), std::string::npos) << out; // the progress bar
    ASSERT_EQ(kestrel("distance 179 0 -179 0", &out), 0);
    EXPECT_EQ(out, "222265.684 m\n");
    EXPECT_EQ(kestrel("distance 0 91 0 0", &out), 1);
    EXPECT_NE(out.find("out of range"), std::string::npos);
}

} // namespace
