// The committed corpus of malformed files (tests/data/kestrelcore/malformed, written by
// make_corpus.py): every export runs over every case without crashing, hanging or reading
// out of bounds (the suite also runs under ASan + UBSan), with the expected results.
#include "kestrelcore.h"
#include "support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace kctest;

namespace {

struct Case {
    std::string name;
    int shpOpens = 0;
    std::string dbfOpens; // "1", "0" or "-"
    int readableFeatures; // KC_ReadFeature results other than -1
    int readableRecords;  // KC_ReadDBF results of 1
};

std::vector<Case> loadCases() {
    std::vector<Case> cases;
    std::ifstream in(std::string(KC_TEST_DATA) + "/malformed/expected.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream s(line);
        Case c;
        std::string features, records;
        s >> c.name >> c.shpOpens >> c.dbfOpens >> features >> records;
        c.readableFeatures = features == "-" ? -1 : std::stoi(features);
        c.readableRecords = records == "-" ? -1 : std::stoi(records);
        cases.push_back(c);
    }
    return cases;
}

class Malformed : public ::testing::TestWithParam<Case> {
protected:
    void TearDown() override {
        KC_CloseShpFile();
        KC_CloseDBFFile();
    }
};

TEST_P(Malformed, EveryExportSurvivesAndGivesTheExpectedResults) {
    const Case& c = GetParam();
    TempDir dir;
    const fs::path src = fs::path(KC_TEST_DATA) / "malformed" / c.name;
    for (const auto& e : fs::directory_iterator(src))
        fs::copy_file(e.path(), dir.path() / e.path().filename());
    const std::string base = dir.file("case");
    MessageLog log;
    std::vector<char> big(1 << 20, '\0'), attrs(1 << 20, '\0'), bounds(4096, '\0');

    EXPECT_EQ(KC_OpenShpFile(base.c_str()), c.shpOpens);
    if (c.dbfOpens != "-") {
        EXPECT_EQ(KC_OpenDBFFile(base.c_str()), std::stoi(c.dbfOpens));
    }

    char type[64] = "";
    int count = -1;
    std::vector<char> fields(1 << 16, '\0');
    KC_GetMetaInfoFromShpDBF(type, &count, 1, fields.data());

    int readable = 0;
    for (int i = -1; i <= std::max(count, 0) + 1; ++i)
        if (KC_ReadFeature(i, 1, big.data(), attrs.data(), bounds.data()) != -1)
            ++readable;
    if (c.shpOpens) {
        EXPECT_EQ(readable, c.readableFeatures);
    }

    int records = 0;
    for (int r = -1; r < 8; ++r)
        if (KC_ReadDBF(r, attrs.data()) == 1)
            ++records;
    if (c.readableRecords >= 0) {
        EXPECT_EQ(records, c.readableRecords);
    }

    // Searches at a few points and over everything.
    std::vector<std::vector<char>> vertexBuffers(4096, std::vector<char>(1024, '\0'));
    std::vector<char*> vertexTexts;
    for (auto& b : vertexBuffers)
        vertexTexts.push_back(b.data());
    for (const auto& [x, y] : {std::pair{1.0, 1.0}, {-5.0, -5.0}, {0.0, 0.0}, {2.0, 2.0}}) {
        big[0] = attrs[0] = '\0';
        KC_SearchShpFile(x, y, 1, big.data(), attrs.data());
        for (auto& b : vertexBuffers)
            b[0] = '\0'; // the vertex lines are appended
        KC_SearchShpFile2(x, y, 1, vertexTexts.data(), attrs.data());
        big[0] = '\0';
        KC_FindNearest(x, y, 1, big.data(), attrs.data());
    }
    big[0] = '\0';
    KC_MultiSearchShpFile(-1e300, -1e300, 1e300, 1e300, big.data(), 1, dir.file("rect.kml").c_str(),
                          1);
    big[0] = '\0';
    KC_MultiSearchFeatureByCircle(0, 0, 10, 10, big.data(), "0,0,0", dir.file("circle.kml").c_str(),
                                  0);
    big[0] = '\0';
    KC_MultiSearchFeatureByCircle(0, 0, 10, 10, big.data(), "", dir.file("sph.kml").c_str(), 1);

    // The export opens the files on its own handles.
    KC_CloseShpFile();
    KC_CloseDBFFile();
    const int exported = KC_ExportShp2Kml(base.c_str(), dir.file("export.kml").c_str());
    if (!c.shpOpens) {
        EXPECT_EQ(exported, -1);
    }

    // Appending to what opens still works and leaves a file that opens again.
    if (c.shpOpens && KC_OpenShpFile(base.c_str()) == 1) {
        char text[] = "1,2 3,4";
        // 0, or -1 where shapelib refuses to write behind a header that announces 4 GB
        EXPECT_NE(KC_AddFeatureInShapeFile(text), 1);
        KC_CloseShpFile();
    }
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, Malformed, ::testing::ValuesIn(loadCases()), caseName);

TEST(MalformedCorpus, HasTheCasesTheHardeningCovers) {
    const auto cases = loadCases();
    EXPECT_GE(cases.size(), 30u);
    for (const char* name :
         {"shp_truncated", "shx_offset_beyond", "shx_length_beyond", "parts_huge", "points_huge",
          "parts_negative", "points_negative", "nan_inf_coordinates", "dbf_record_length_short",
          "zero_records", "dbf_zero_records"}) {
        bool found = false;
        for (const auto& c : cases)
            found = found || c.name == name;
        EXPECT_TRUE(found) << name;
    }
}

} // namespace
