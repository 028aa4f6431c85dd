// The one raster of the hosts: how lines, rectangle frames and discs fall on pixels, and a
// surface of 0x00RRGGBB pixels (the desktop's Bitmap) drawn with them. The headless desktop
// paints captured windows with it; the globe renderer draws its overlays and KML lines through
// the same pixel walkers onto its own RGBA picture, so a drawing lands on the same pixels on
// both.
//
// The walkers hand out pixel positions without clipping: the surface clips (Raster::Plot
// ignores what falls outside the picture). Each pixel of one shape is handed out once, so an
// inverting pen drawn twice leaves the picture as it was.
#pragma once

#include "platform/desktop.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace scribeline::raster {

// The pixels of a line from `from` to `to`, both ends included, with a pen `width` pixels wide
// (less than 1 counts as 1): the Bresenham path with a span of `width` pixels across it at each
// step, vertical along a flat line and horizontal along a steep one; an even width puts the
// extra pixel below / right of the path. `plot(x, y)` is called once per pixel.
template <class Plot> void ForEachLinePixel(Point from, Point to, int width, Plot&& plot) {
    width = std::max(1, width);
    const int before = (width - 1) / 2;
    const int after = width - 1 - before;
    const int dx = std::abs(to.x - from.x);
    const int dy = -std::abs(to.y - from.y);
    const int sx = from.x < to.x ? 1 : -1;
    const int sy = from.y < to.y ? 1 : -1;
    const bool steep = -dy > dx;
    int err = dx + dy;
    int x = from.x;
    int y = from.y;
    for (;;) {
        for (int k = -before; k <= after; ++k) {
            if (steep) {
                plot(x + k, y);
            } else {
                plot(x, y + k);
            }
        }
        if (x == to.x && y == to.y) {
            return;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// The pixels of the outline of `rect` (right and bottom exclusive, so the outline runs through
// the last pixels inside) with a pen `width` pixels wide, spread across each edge as a line's
// pen is (rows across the side edges, even where a frame is one pixel high), without caps (a
// wide frame's outer corners stay notched). The four edges meet without overlap: each pixel,
// corners included, is handed out once. The work grows with the frame's outline, not its area.
template <class Plot> void ForEachFramePixel(const Rect& rect, int width, Plot&& plot) {
    width = std::max(1, width);
    const int before = (width - 1) / 2;
    const int after = width - 1 - before;
    // The edges pass through these columns and rows.
    const int left = rect.left;
    const int right = rect.right - 1;
    const int top = rect.top;
    const int bottom = rect.bottom - 1;
    const int x0 = std::min(left, right);
    const int x1 = std::max(left, right);
    const int y0 = std::min(top, bottom);
    const int y1 = std::max(top, bottom);
    const auto inBand = [&](int v, int centre) {
        return v >= centre - before && v <= centre + after;
    };
    for (int y = y0 - before; y <= y1 + after; ++y) {
        const bool onRow = inBand(y, top) || inBand(y, bottom);
        const bool besideColumns = y >= y0 && y <= y1;
        if (onRow) {
            for (int x = x0 - before; x <= x1 + after; ++x) {
                if ((x >= x0 && x <= x1) ||
                    (besideColumns && (inBand(x, left) || inBand(x, right)))) {
                    plot(x, y);
                }
            }
        } else if (besideColumns) {
            // Only the two column bands, the right one without what the left one took.
            for (int x = x0 - before; x <= x0 + after; ++x) {
                plot(x, y);
            }
            for (int x = std::max(x1 - before, x0 + after + 1); x <= x1 + after; ++x) {
                plot(x, y);
            }
        }
    }
}

// The pixels of a filled disc of `radius` around `centre` (a radius of 0 is the centre pixel
// in the fill, a negative one nothing). `plot(x, y, edge)` is called once per pixel, `edge`
// true on the disc's outer ring, one pixel wide.
template <class Plot> void ForEachDiscPixel(Point centre, int radius, Plot&& plot) {
    const int outer = radius * radius;
    const int inner = (radius - 1) * (radius - 1);
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const int r2 = dx * dx + dy * dy;
            if (r2 <= outer) {
                plot(centre.x + dx, centre.y + dy, r2 > inner);
            }
        }
    }
}

// The 0x00RRGGBB pixel of a colour.
constexpr std::uint32_t PixelOf(Colour c) {
    return (static_cast<std::uint32_t>(redOf(c)) << 16) |
           (static_cast<std::uint32_t>(greenOf(c)) << 8) | static_cast<std::uint32_t>(blueOf(c));
}

// A picture of `size` (negative extents count as 0) filled with `pixel`.
Bitmap BlankBitmap(Size size, std::uint32_t pixel);

// Draws on a bitmap it borrows (which must outlive it), clipping everything to the bitmap.
class Raster {
public:
    explicit Raster(Bitmap& target) : target_(target) {}

    [[nodiscard]] bool Contains(int x, int y) const {
        return x >= 0 && y >= 0 && x < target_.width && y < target_.height;
    }
    // Sets (Copy) or inverts (Invert) one pixel; a pixel outside the bitmap is ignored.
    void Plot(int x, int y, std::uint32_t pixel, RasterOp op = RasterOp::Copy);
    void Line(Point from, Point to, const Pen& pen);
    // The outline of `rect`, right and bottom exclusive.
    void Frame(const Rect& rect, const Pen& pen);
    // A disc filled with `fill` and ringed with `outline`.
    void Disc(Point centre, int radius, Colour fill, Colour outline);
    // Copies `source` with its top-left corner at `at`; a non-empty `region` (rectangles in
    // source pixels) keeps only the source pixels inside it.
    void Blit(const Bitmap& source, Point at, const WindowRegion& region = {});

private:
    Bitmap& target_;
};

} // namespace scribeline::raster
