// Drawing on the globe's render window lands on the same pixels in the globe's own picture as
// in the headless desktop's capture of a plain window: both go through one raster.
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/render.hpp"

#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace scribeline::globe {
namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 80;

// Which pixels differ between two pictures of the same size.
std::vector<bool> Changed(const Bitmap& before, const Bitmap& after) {
    std::vector<bool> mask(before.pixels.size());
    for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = before.pixels[i] != after.pixels[i];
    }
    return mask;
}

TEST(OverlayPixels, TheGlobeAndTheDesktopCaptureDrawTheSamePixels) {
    const Pen invert3{0, 3, RasterOp::Invert};
    const Pen magenta4{rgb(255, 0, 255), 4, RasterOp::Copy};
    const Pen thin{rgb(255, 0, 255), 1, RasterOp::Copy};
    std::vector<Overlay> overlays = {
        {Overlay::Kind::Line, {-10, 5}, {130, 70}, 0, invert3},
        {Overlay::Kind::Line, {60, -4}, {62, 90}, 0, invert3},
        {Overlay::Kind::Line, {5, 40}, {100, 44}, 0, magenta4},
        {Overlay::Kind::Rectangle, {20, 10}, {50, 30}, 0, invert3},
        {Overlay::Kind::Rectangle, {80, 50}, {118, 78}, 0, magenta4},
        {Overlay::Kind::Rectangle, {2, 60}, {9, 66}, 0, thin},
    };
    Overlay disc;
    disc.kind = Overlay::Kind::FilledCircle;
    disc.from = {95, 20};
    disc.radius = 6;
    disc.fill = rgb(255, 0, 255);
    disc.outline = rgb(0, 255, 255);
    overlays.push_back(disc);

    const CameraState camera{47.5, 11.0, 0.0, 1, 60000.0, 0.0, 0.0};
    const TerrainSurface surface{testing::BuiltInTerrain(), true, 1.0};
    const std::vector<const KmlDocument*> documents;
    const std::vector<Overlay> none;
    const Bitmap globePlain =
        ToBitmap(RenderScene({&camera, &surface, &documents, &none}, kWidth, kHeight));
    const Bitmap globeDrawn =
        ToBitmap(RenderScene({&camera, &surface, &documents, &overlays}, kWidth, kHeight));

    desktop::HeadlessDesktop desk;
    const WindowHandle w =
        desk.CreateWindow({"Render", "", kNoWindow, {0, 0, kWidth, kHeight}}, nullptr);
    const Bitmap deskPlain = *desk.CaptureWindow(w);
    for (const Overlay& o : overlays) {
        switch (o.kind) {
        case Overlay::Kind::Line:
            desk.DrawLine(w, o.from, o.to, o.pen);
            break;
        case Overlay::Kind::Rectangle:
            desk.DrawRectangle(w, {o.from.x, o.from.y, o.to.x, o.to.y}, o.pen);
            break;
        case Overlay::Kind::FilledCircle:
            desk.FillCircle(w, o.from, o.radius, o.fill, o.outline);
            break;
        }
    }
    const Bitmap deskDrawn = *desk.CaptureWindow(w);

    const std::vector<bool> onGlobe = Changed(globePlain, globeDrawn);
    const std::vector<bool> onDesk = Changed(deskPlain, deskDrawn);
    ASSERT_EQ(onGlobe.size(), onDesk.size());
    int drawn = 0;
    int mismatches = 0;
    Point first{-1, -1};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto i = static_cast<std::size_t>(y * kWidth + x);
            if (onGlobe[i] != onDesk[i] && mismatches++ == 0) {
                first = {x, y};
            }
            drawn += onDesk[i] ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatches, 0) << "first at " << first.x << "," << first.y;
    EXPECT_GT(drawn, 500);
}

} // namespace
} // namespace scribeline::globe
