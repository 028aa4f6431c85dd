// Pictures of the simulated globe's render window: shaded terrain, the loaded KML geometry in
// its style colours, and the lines drawn on the window since its last repaint.
#pragma once

#include "hosts/globe/camera.hpp"
#include "hosts/globe/kml_document.hpp"
#include "platform/desktop.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace scribeline::globe {

// 8-bit RGBA pixels, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba; // width * height * 4

    Image() = default;
    Image(int w, int h);
    [[nodiscard]] const std::uint8_t* At(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)) *
                     4];
    }
    std::uint8_t* At(int x, int y) {
        return &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)) *
                     4];
    }
};

// Something drawn on the render window by someone else, in client pixels: a line, a
// rectangle outline (right and bottom exclusive) or a filled circle. Text is not rasterised.
struct Overlay {
    enum class Kind { Line, Rectangle, FilledCircle };
    Kind kind = Kind::Line;
    Point from; // line start, rectangle top-left, circle centre
    Point to;   // line end, rectangle bottom-right
    int radius = 0;
    Pen pen;            // lines and rectangles
    Colour fill = 0;    // circles
    Colour outline = 0; // circles
};

// What one picture shows. The pointers are borrowed for the call; none may be null.
struct Scene {
    const CameraState* camera = nullptr;
    const TerrainSurface* surface = nullptr;
    const std::vector<const KmlDocument*>* documents = nullptr;
    const std::vector<Overlay>* overlays = nullptr;
};

// The colour of the ground at an elevation (metres): water below sea level, a hypsometric
// tint above; channels 0..255.
std::array<double, 3> TerrainTint(double elevation);
// The hill shade factor (0.45 .. about 1.4) of ground rising by the given slopes (metres per
// metre eastwards and northwards), lit from the north-west.
double HillShade(double eastSlope, double northSlope);

// Renders the view of `width` x `height` pixels (both at least 1).
Image RenderScene(const Scene& scene, int width, int height);

// Draws the documents and overlays of a scene over a picture of the terrain seen through
// `pose`; every renderer of the globe uses it, so vector data lands on the same pixels.
void DrawOverTerrain(Image& image, const CameraPose& pose, const TerrainSurface& surface,
                     const std::vector<const KmlDocument*>& documents,
                     const std::vector<Overlay>& overlays);

// The picture as the desktop's capture bitmap (0x00RRGGBB).
Bitmap ToBitmap(const Image& image);

// PNG encoding through libpng; WritePng raises std::runtime_error when the file cannot be
// written.
std::vector<std::uint8_t> EncodePng(const Image& image);
void WritePng(const Image& image, const std::string& path);

} // namespace scribeline::globe
