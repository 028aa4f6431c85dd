// The coordinate text of KC_AddFeatureInShapeFile: trimming, parsing and vertex forming.
#include "coords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string trim(std::string s) {
    std::vector<char> b(s.begin(), s.end());
    b.push_back('\0');
    kc::trimCoordinateText(b.data());
    return b.data();
}

TEST(CoordinateText, Trimming) {
    EXPECT_EQ(trim("x=1.5,2.5,10 3.5,4.5,20;"), "1.5,2.5,10 3.5,4.5,20");
    EXPECT_EQ(trim("  -1,2 "), "-1,2");
    EXPECT_EQ(trim("1,2-"), "1,2");     // a trailing minus is cut too
    EXPECT_EQ(trim("(1,2)."), "1,2)."); // a trailing point counts as a number character
    EXPECT_EQ(trim("abc"), "");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trim("-"), "-");     // nothing from the second character on
    EXPECT_EQ(trim("5-"), "5-");   // the scan stops at the second character
    EXPECT_EQ(trim("5--"), "5--"); // nor here: no digit from the second character on
    EXPECT_EQ(trim("15--"), "15");
}

TEST(CoordinateText, ParsingCountsTheDimensionFromTheFirstVertex) {
    kc::ParsedValues p;
    kc::parseCoordinateText("1,2,3 4,5,6", p);
    EXPECT_EQ(p.count, 6);
    EXPECT_EQ(p.dimension, 3);
    kc::parseCoordinateText("1,2 3,4", p);
    EXPECT_EQ(p.dimension, 2);
    kc::parseCoordinateText("1, 2", p); // the blank after the comma ends an empty token
    EXPECT_EQ(p.count, 3);
    EXPECT_EQ(p.values[1], 0);
    EXPECT_EQ(p.values[2], 2);
    kc::parseCoordinateText("", p);
    EXPECT_EQ(p.count, 1);
    EXPECT_EQ(p.dimension, 1);
    kc::parseCoordinateText("1.5.5,-,--2", p); // strtod prefixes; unparsable gives 0
    EXPECT_EQ(p.values[0], 1.5);
    EXPECT_EQ(p.values[1], 0);
    EXPECT_EQ(p.values[2], 0);
}

TEST(CoordinateText, ParsingStopsAtTheValueLimit) {
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += std::to_string(i) + ",";
    kc::ParsedValues p;
    kc::parseCoordinateText(text.c_str(), p);
    EXPECT_EQ(p.count, kc::kMaxValues);
    EXPECT_EQ(p.values[999], 999);
    kc::Vertices v;
    kc::formVertices(p, v); // the dimension exceeds the values: no complete vertex
    EXPECT_EQ(v.count, 0);
}

TEST(CoordinateText, VerticesNeedXAndYAndTheirWholeDimension) {
    kc::ParsedValues p;
    kc::Vertices v;
    kc::parseCoordinateText("5 6 7", p);
    kc::formVertices(p, v);
    EXPECT_EQ(v.count, 2);
    kc::parseCoordinateText("1,2,3,4 5,6,7", p); // dimension 4, the last vertex incomplete
    kc::formVertices(p, v);
    EXPECT_EQ(v.count, 1);
    EXPECT_EQ(v.z[0], 0);
    kc::parseCoordinateText("7", p);
    kc::formVertices(p, v);
    EXPECT_EQ(v.count, 0);
}

} // namespace
