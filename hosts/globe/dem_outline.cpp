#include "hosts/globe/dem_outline.hpp"

#include "hosts/globe/geodesy.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace scribeline::globe {

namespace {

void Plot(Image& image, int x, int y) {
    for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
            const int px = x + dx;
            const int py = y + dy;
            if (px >= 0 && py >= 0 && px < image.width && py < image.height) {
                std::uint8_t* p = image.At(px, py);
                p[0] = kDemOutlineRgb[0];
                p[1] = kDemOutlineRgb[1];
                p[2] = kDemOutlineRgb[2];
                p[3] = 255;
            }
        }
    }
}

void Segment(Image& image, double x0, double y0, double x1, double y1) {
    // Clipped coarsely: a segment far off the picture is not walked pixel by pixel.
    const double limit = 4.0 * (image.width + image.height);
    if (std::abs(x0) > limit || std::abs(y0) > limit || std::abs(x1) > limit ||
        std::abs(y1) > limit) {
        return;
    }
    const int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        Plot(image, static_cast<int>(std::floor(x0 + (x1 - x0) * t)),
             static_cast<int>(std::floor(y0 + (y1 - y0) * t)));
    }
}

} // namespace

void DrawDemOutlines(Image& image, const CameraPose& pose, const TerrainSurface& surface) {
    const ElevationModel* model = surface.Model();
    if (model == nullptr || image.width < 1 || image.height < 1) {
        return;
    }
    constexpr int kPerSide = 64;
    for (const DemOutline& o : model->Outlines()) {
        const double corners[5][2] = {{o.west, o.north},
                                      {o.east, o.north},
                                      {o.east, o.south},
                                      {o.west, o.south},
                                      {o.west, o.north}};
        bool havePrevious = false;
        double previousX = 0.0;
        double previousY = 0.0;
        for (int side = 0; side < 4; ++side) {
            for (int k = side == 0 ? 0 : 1; k <= kPerSide; ++k) {
                const double t = static_cast<double>(k) / kPerSide;
                const double lon = corners[side][0] + (corners[side + 1][0] - corners[side][0]) * t;
                const double lat = corners[side][1] + (corners[side + 1][1] - corners[side][1]) * t;
                const Vec3 p = ToEcef({lat, lon, surface.Height(lat, lon)});
                const auto s = Project(pose, p);
                if (!s) {
                    havePrevious = false;
                    continue;
                }
                const double px = (s->x + 1.0) * 0.5 * image.width;
                const double py = (1.0 - s->y) * 0.5 * image.height;
                if (havePrevious) {
                    Segment(image, previousX, previousY, px, py);
                }
                havePrevious = true;
                previousX = px;
                previousY = py;
            }
        }
    }
}

} // namespace scribeline::globe
