// The contour KML document: colours, the head with its styles, the body of placemarks and
// the tail.
#include "terrain/Contour.hpp"
#include "tests/support/files.hpp"

#include <gtest/gtest.h>

namespace scribeline::terrain {
namespace {

TEST(ContourColourTest, HexBytesAreTwoUpperCaseDigits) {
    EXPECT_EQ(HexByte(0), "00");
    EXPECT_EQ(HexByte(15), "0F");
    EXPECT_EQ(HexByte(128), "80");
    EXPECT_EQ(HexByte(255), "FF");
    EXPECT_EQ(KmlColourText(rgb(255, 255, 255)), "FFFFFF");
    EXPECT_EQ(KmlColourText(rgb(255, 255, 0)), "00FFFF") << "blue, green, red";
    EXPECT_EQ(KmlColourText(rgb(1, 2, 3)), "030201");
}

TEST(ContourColourTest, GradientStopsOneStepShortOfRed) {
    const auto twenty = GradientColours(kGradientStart, kGradientEnd, 20);
    ASSERT_EQ(twenty.size(), 20u);
    EXPECT_EQ(twenty[0], rgb(255, 255, 0));
    EXPECT_EQ(twenty[10], rgb(255, 128, 0)) << "127.5 rounds to 128";
    EXPECT_EQ(KmlColourText(twenty[10]), "0080FF");
    EXPECT_EQ(twenty[19], rgb(255, 13, 0)) << "12.75: the end colour is not reached";
    for (std::size_t i = 1; i < twenty.size(); ++i) {
        EXPECT_LT(greenOf(twenty[i]), greenOf(twenty[i - 1]));
    }
    EXPECT_EQ(GradientColours(kGradientStart, kGradientEnd, 1),
              std::vector<Colour>{rgb(255, 255, 0)});
    EXPECT_TRUE(GradientColours(kGradientStart, kGradientEnd, 0).empty());
    // Ties go to even: 255 - 255 / 4 * 2 = 127.5 -> 128, and rising components too.
    EXPECT_EQ(GradientColours(rgb(0, 255, 0), rgb(2, 0, 5), 4)[2], rgb(1, 128, 2));
}

TEST(ContourDocumentTest, HeadWithGradientStylesMatchesTheGolden) {
    scribeline::testing::ExpectGolden(ContourDocumentHead(3, true),
                                      "terrain/contour_head_gradient3.kml");
}

TEST(ContourDocumentTest, HeadWithoutGradientHoldsOnlyTheContoursStyle) {
    const std::string head = ContourDocumentHead(20, false);
    EXPECT_EQ(head.find("Contour0"), std::string::npos);
    EXPECT_EQ(head, ContourDocumentHead(0, true)) << "no level, no level style";
    // The first physical line runs from the declaration to the first style.
    EXPECT_EQ(head.substr(0, head.find("\r\n")),
              "<?xml version='1.0' encoding='UTF-8'?><kml xmlns='http://www.opengis.net/kml/2.2'>"
              " <Document>     <name>Tavi-Isolinea</name>       <Style id='Contours'>");
    EXPECT_NE(head.find("             <color>ffFFFFFF</color>             <width>1</width>\r\n"),
              std::string::npos);
}

TEST(ContourDocumentTest, TwentyGradientStylesRunFromYellowTowardsRed) {
    const std::string head = ContourDocumentHead(20, true);
    EXPECT_NE(head.find("<Style id='Contour0'>\r\n"), std::string::npos);
    EXPECT_NE(head.find("<Style id='Contour19'>\r\n"), std::string::npos);
    EXPECT_EQ(head.find("Contour20"), std::string::npos);
    const auto at = [&](const std::string& id) {
        const auto style = head.find("<Style id='" + id + "'>");
        return head.substr(head.find("<color>ff", head.find("<LineStyle>", style)), 17);
    };
    EXPECT_EQ(at("Contour0"), "<color>ff00FFFF</");
    EXPECT_EQ(at("Contour10"), "<color>ff0080FF</");
}

TEST(ContourDocumentTest, BodyLeavesOutLevelsWithoutSegments) {
    const std::string a = "<LineString><coordinates>1,2 3,4,5</coordinates></LineString>";
    const std::string body = ContourDocumentBody({"", a, "   ", a + a});
    EXPECT_EQ(body, "<Placemark><styleUrl>#Contour1</styleUrl><MultiGeometry>" + a +
                        "</MultiGeometry></Placemark>\r\n"
                        "<Placemark><styleUrl>#Contour3</styleUrl><MultiGeometry>" +
                        a + a + "</MultiGeometry></Placemark>\r\n");
    EXPECT_EQ(ContourDocumentBody({}), "");
    EXPECT_EQ(ContourDocumentTail(), " </Document></kml>");
}

TEST(ContourDocumentTest, WholeDocumentOfATracedCellMatchesTheGolden) {
    ContourGrid g(1, 1);
    g.X(0) = 10.0;
    g.X(1) = 10.5;
    g.Y(0) = 46.0;
    g.Y(1) = 46.25;
    g.D(0, 0) = 480.0;
    g.D(1, 0) = 620.0;
    g.D(1, 1) = 555.5;
    g.D(0, 1) = 510.0;
    const std::vector<double> levels{500, 550, 600, 700};
    const ContourTrace t = TraceContours(g, levels, 0, 1, 0, 1);
    const std::string document = ContourDocumentHead(static_cast<int>(levels.size()), true) +
                                 ContourDocumentBody(t.levelTexts) + ContourDocumentTail();
    scribeline::testing::ExpectGolden(document, "terrain/contour_cell_document.kml");
}

} // namespace
} // namespace scribeline::terrain
