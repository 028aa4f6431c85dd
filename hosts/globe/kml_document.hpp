// The KML documents a globe client keeps: what it needs to show them (placemarks with their
// geometry and style colours), parsed with a real XML parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace scribeline::globe {

// A KML colour: alpha, blue, green, red as KML writes them ("aabbggrr").
struct KmlColour {
    std::uint8_t red = 255;
    std::uint8_t green = 255;
    std::uint8_t blue = 255;
    std::uint8_t alpha = 255;
    friend bool operator==(const KmlColour&, const KmlColour&) = default;
};

struct KmlStyle {
    KmlColour lineColour{255, 255, 255, 255};
    double lineWidth = 1.0; // pixels
    KmlColour polyColour{255, 255, 255, 255};
    bool polyFill = true;
    bool polyOutline = true;
    KmlColour iconColour{255, 255, 0, 255}; // the client's yellow pin
};

enum class AltitudeMode { ClampToGround, RelativeToGround, Absolute };

struct KmlCoordinate {
    double longitude = 0.0; // degrees
    double latitude = 0.0;  // degrees
    double altitude = 0.0;  // metres, read by the geometry's altitude mode
};

struct KmlGeometry {
    enum class Kind { Point, LineString, LinearRing, Polygon };
    Kind kind = Kind::Point;
    AltitudeMode altitudeMode = AltitudeMode::ClampToGround;
    std::vector<KmlCoordinate> coordinates;             // a polygon's outer ring
    std::vector<std::vector<KmlCoordinate>> innerRings; // polygons only
};

struct KmlPlacemark {
    std::string name;
    KmlStyle style;                      // resolved: shared style, then the inline one
    std::vector<KmlGeometry> geometries; // MultiGeometry flattened; may be empty
};

struct KmlDocument {
    std::string name;       // the first <name> of the document, else "Untitled"
    std::string sourcePath; // the file it was opened from; empty for loaded text
    std::vector<KmlPlacemark> placemarks;
    [[nodiscard]] std::size_t CoordinateCount() const;
};

// A text that is not a KML document: malformed XML, another root element, or a geometry
// whose coordinates cannot be read. The message says what and where.
class KmlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a KML text (any KML version; namespace prefixes are ignored). Raises KmlError.
KmlDocument ParseKml(std::string_view text);

} // namespace scribeline::globe
