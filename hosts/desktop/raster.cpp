#include "hosts/desktop/raster.hpp"

#include <cstddef>

namespace scribeline::raster {

Bitmap BlankBitmap(Size size, std::uint32_t pixel) {
    Bitmap b;
    b.width = std::max(0, size.width);
    b.height = std::max(0, size.height);
    b.pixels.assign(static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height), pixel);
    return b;
}

void Raster::Plot(int x, int y, std::uint32_t pixel, RasterOp op) {
    if (!Contains(x, y)) {
        return;
    }
    auto& dst =
        target_.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(target_.width) +
                       static_cast<std::size_t>(x)];
    dst = op == RasterOp::Invert ? (~dst & 0x00FFFFFFu) : pixel;
}

void Raster::Line(Point from, Point to, const Pen& pen) {
    const std::uint32_t pixel = PixelOf(pen.colour);
    ForEachLinePixel(from, to, pen.width, [&](int x, int y) { Plot(x, y, pixel, pen.op); });
}

void Raster::Frame(const Rect& rect, const Pen& pen) {
    const std::uint32_t pixel = PixelOf(pen.colour);
    ForEachFramePixel(rect, pen.width, [&](int x, int y) { Plot(x, y, pixel, pen.op); });
}

void Raster::Disc(Point centre, int radius, Colour fill, Colour outline) {
    const std::uint32_t inside = PixelOf(fill);
    const std::uint32_t ring = PixelOf(outline);
    ForEachDiscPixel(centre, radius,
                     [&](int x, int y, bool edge) { Plot(x, y, edge ? ring : inside); });
}

void Raster::Blit(const Bitmap& source, Point at, const WindowRegion& region) {
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < source.width; ++x) {
            if (!region.empty() && std::none_of(region.begin(), region.end(), [&](const Rect& r) {
                    return r.contains({x, y});
                })) {
                continue;
            }
            Plot(
                at.x + x, at.y + y,
                source.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width) +
                              static_cast<std::size_t>(x)]);
        }
    }
}

} // namespace scribeline::raster
