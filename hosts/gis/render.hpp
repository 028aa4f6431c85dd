// Drawing the map view as a picture: the layers in simple symbology, the view's graphic
// elements and the feedback its screen display was asked to draw. PNG for people, the
// desktop's bitmap for screen capture.
#pragma once

#include "command/map_port.hpp"
#include "platform/desktop.hpp"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace scribeline::gis {

class Map;
class ActiveView;

// Straight RGBA, 8 bits a channel, rows top to bottom.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    RgbaImage() = default;
    RgbaImage(int w, int h, Colour background);
    // The pixel as a host colour (0x00BBGGRR).
    [[nodiscard]] Colour At(int x, int y) const;
};

// A small software rasteriser on pixel coordinates (x right, y down); draws clip to the image.
class Canvas {
public:
    explicit Canvas(RgbaImage& image) : image_(image) {}
    void Plot(int x, int y, Colour colour);
    // A line `width` pixels wide (at least one).
    void Line(double x0, double y0, double x1, double y1, double width, Colour colour);
    // Fills the area inside the rings, even-odd, so holes stay open.
    void FillRings(const std::vector<std::vector<std::pair<double, double>>>& rings, Colour colour);
    // Marker styles: 0 circle, 1 square, 2 cross. `size` is the marker's width in pixels.
    void Marker(double x, double y, double size, int style, Colour colour);

private:
    RgbaImage& image_;
};

// Renders the map view at `size` pixels: the data view draws the map's layers (bottom layer
// first, group members in their order), features projected into the map's reference, the
// selection outlined in cyan; then the view's line elements and its screen display's drawings.
// The page layout draws a white sheet with the same content over a grey desk.
RgbaImage RenderView(Map& map, ActiveView& view, Size size, bool pageLayout);

// The desktop's capture format (0x00RRGGBB).
Bitmap ToBitmap(const RgbaImage& image);

// Raises PortError when the file cannot be written.
void WritePng(const RgbaImage& image, const std::filesystem::path& path);
// Reads a PNG back (for checks); raises PortError when it cannot.
RgbaImage ReadPng(const std::filesystem::path& path);

// Pixels of a point size (96 pixels to 72 points).
inline double PointsToPixels(double points) {
    return points * 96.0 / 72.0;
}

} // namespace scribeline::gis
