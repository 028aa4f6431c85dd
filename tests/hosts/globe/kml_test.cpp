#include "hosts/globe/kml_document.hpp"

#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace scribeline::globe {
namespace {

using scribeline::testing::ReadFile;

std::string Data(const std::string& name) {
    return std::string(SCRIBELINE_TEST_DATA) + "/globe/" + name;
}

std::string Hex(const KmlColour& c) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x", c.alpha, c.blue, c.green, c.red);
    return buf;
}

const char* ModeName(AltitudeMode m) {
    switch (m) {
    case AltitudeMode::Absolute:
        return "absolute";
    case AltitudeMode::RelativeToGround:
        return "relativeToGround";
    case AltitudeMode::ClampToGround:
        break;
    }
    return "clampToGround";
}

std::string Ring(const std::vector<KmlCoordinate>& ring) {
    std::ostringstream s;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        s << (i ? " " : "") << ring[i].longitude << "," << ring[i].latitude << ","
          << ring[i].altitude;
    }
    return s.str();
}

// Everything the client keeps of a document, as text.
std::string Describe(const KmlDocument& doc) {
    static const char* kinds[] = {"Point", "LineString", "LinearRing", "Polygon"};
    std::ostringstream s;
    s << "document \"" << doc.name << "\" (" << doc.CoordinateCount() << " coordinates)\n";
    for (const KmlPlacemark& p : doc.placemarks) {
        const KmlStyle& st = p.style;
        s << "placemark \"" << p.name << "\" line " << Hex(st.lineColour) << " w" << st.lineWidth
          << " poly " << Hex(st.polyColour) << " fill " << st.polyFill << " outline "
          << st.polyOutline << " icon " << Hex(st.iconColour) << "\n";
        for (const KmlGeometry& g : p.geometries) {
            s << "  " << kinds[static_cast<int>(g.kind)] << " " << ModeName(g.altitudeMode) << ": "
              << Ring(g.coordinates) << "\n";
            for (const auto& inner : g.innerRings) {
                s << "    inner: " << Ring(inner) << "\n";
            }
        }
    }
    return s.str();
}

TEST(KmlDocument, StyledSampleMatchesItsGoldenDescription) {
    const KmlDocument doc = ParseKml(ReadFile(Data("styled.kml")));
    EXPECT_EQ(Describe(doc), ReadFile(Data("styled.expected.txt")));
}

TEST(KmlDocument, LiveDocumentOfVersionTwoOneWithCrLf) {
    const KmlDocument doc = ParseKml(ReadFile(Data("live21.kml")));
    EXPECT_EQ(doc.name, "Digitize on GE synchronizing in ArcMap");
    ASSERT_EQ(doc.placemarks.size(), 1u);
    ASSERT_EQ(doc.placemarks[0].geometries.size(), 1u);
    EXPECT_EQ(doc.placemarks[0].geometries[0].coordinates.size(), 2u); // trailing space is fine
}

TEST(KmlDocument, NamesAndPrefixes) {
    EXPECT_EQ(ParseKml("<kml/>").name, "Untitled");
    EXPECT_EQ(ParseKml("<kml><Placemark><name>P</name></Placemark></kml>").name, "P");
    const KmlDocument prefixed =
        ParseKml("<k:kml xmlns:k='http://www.opengis.net/kml/2.2'><k:Document><k:name>N</k:name>"
                 "<k:Placemark><k:Point><k:coordinates>1,2</k:coordinates></k:Point></k:Placemark>"
                 "</k:Document></k:kml>");
    EXPECT_EQ(prefixed.name, "N");
    ASSERT_EQ(prefixed.placemarks.size(), 1u);
    EXPECT_EQ(prefixed.placemarks[0].geometries[0].coordinates[0].latitude, 2.0);
}

TEST(KmlDocument, EmptyCoordinatesGiveEmptyGeometry) {
    const KmlDocument doc =
        ParseKml("<kml><Placemark><LineString><coordinates> \r\n </coordinates></LineString>"
                 "<Point/></Placemark></kml>");
    ASSERT_EQ(doc.placemarks[0].geometries.size(), 2u);
    EXPECT_TRUE(doc.placemarks[0].geometries[0].coordinates.empty());
    EXPECT_TRUE(doc.placemarks[0].geometries[1].coordinates.empty());
}

TEST(KmlDocument, MalformedTextIsRefusedWithAReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "malformed XML"},
        {"not xml at all", "malformed XML"},
        {"<kml><Document></kml>", "malformed XML"},
        {"<kml><name>a</nam></kml>", "malformed XML"},
        {"<?xml version='1.0'?><gpx/>", "root element"},
        {"<kml><Placemark><Point><coordinates>1</coordinates></Point></Placemark></kml>",
         "longitude and a latitude"},
        {"<kml><Placemark><Point><coordinates>1,2,3,4</coordinates></Point></Placemark></kml>",
         "more than three"},
        {"<kml><Placemark><Point><coordinates>1,x</coordinates></Point></Placemark></kml>",
         "\"x\" is not a number"},
        {"<kml><Placemark><Point><coordinates>1,91</coordinates></Point></Placemark></kml>",
         "beyond the poles"},
        {"<kml><Placemark><Point><coordinates>1,,2</coordinates></Point></Placemark></kml>",
         "not a number"},
    };
    for (const auto& [text, reason] : cases) {
        try {
            ParseKml(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const KmlError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos)
                << text << " -> " << e.what();
        }
    }
}

TEST(KmlDocument, LocaleDoesNotChangeNumbers) {
    // Numbers are read with "." whatever the C locale says.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const KmlDocument doc =
        ParseKml("<kml><Placemark><Point><coordinates>10.25,47.5,1.5e2</coordinates></Point>"
                 "</Placemark></kml>");
    std::setlocale(LC_NUMERIC, saved.c_str());
    const KmlCoordinate c = doc.placemarks[0].geometries[0].coordinates[0];
    EXPECT_DOUBLE_EQ(c.longitude, 10.25);
    EXPECT_DOUBLE_EQ(c.latitude, 47.5);
    EXPECT_DOUBLE_EQ(c.altitude, 150.0);
}

} // namespace
} // namespace scribeline::globe
