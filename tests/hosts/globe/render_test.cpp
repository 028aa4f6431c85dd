#include "hosts/globe/render.hpp"

#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>
#include <png.h>

namespace scribeline::globe {
namespace {

struct Rgb {
    int r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
std::ostream& operator<<(std::ostream& o, const Rgb& c) {
    return o << "(" << c.r << "," << c.g << "," << c.b << ")";
}

class Render : public ::testing::Test {
protected:
    CameraState camera{47.5, 11.0, 0.0, 1, 60000.0, 0.0, 0.0};
    TerrainSurface surface{testing::BuiltInTerrain(), true, 1.0};
    std::vector<KmlDocument> kept;
    std::vector<Overlay> overlays;

    Image Draw(int w = 200, int h = 125) {
        std::vector<const KmlDocument*> docs;
        for (const KmlDocument& d : kept) {
            docs.push_back(&d);
        }
        const Scene scene{&camera, &surface, &docs, &overlays};
        return RenderScene(scene, w, h);
    }
    static Rgb At(const Image& image, int x, int y) {
        const std::uint8_t* p = image.At(x, y);
        return {p[0], p[1], p[2]};
    }
};

TEST_F(Render, PolygonFillsInItsColourAroundItsHole) {
    kept.push_back(ParseKml(R"(<kml><Placemark>
      <Style><PolyStyle><color>ff00ff00</color><outline>0</outline></PolyStyle></Style>
      <Polygon><outerBoundaryIs><LinearRing><coordinates>10.7,47.3 11.3,47.3 11.3,47.7
        10.7,47.7 10.7,47.3</coordinates></LinearRing></outerBoundaryIs>
      <innerBoundaryIs><LinearRing><coordinates>10.98,47.48 11.02,47.48 11.02,47.52
        10.98,47.52 10.98,47.48</coordinates></LinearRing></innerBoundaryIs></Polygon>
      </Placemark></kml>)"));
    const Image withHole = Draw();
    kept.clear();
    const Image plain = Draw();
    EXPECT_EQ(At(withHole, 100, 62), At(plain, 100, 62)); // the hole shows the ground
    EXPECT_EQ(At(withHole, 70, 62), (Rgb{0, 255, 0}));    // the ring is green
    EXPECT_EQ(At(withHole, 2, 2), At(plain, 2, 2));       // outside the polygon
}

TEST_F(Render, StyleAlphaBlendsAndLinesTakeTheirWidth) {
    kept.push_back(ParseKml(R"(<kml><Placemark>
      <Style><LineStyle><color>800000ff</color><width>5</width></LineStyle></Style>
      <LineString><coordinates>10.8,47.5 11.2,47.5</coordinates></LineString>
      </Placemark></kml>)"));
    const Image line = Draw();
    kept.clear();
    const Image plain = Draw();
    const Rgb on = At(line, 100, 62);
    const Rgb ground = At(plain, 100, 62);
    // Half red over the ground, channel by channel (integer blending: 1 off at most).
    EXPECT_NEAR(on.r, (255 * 128 + ground.r * 127) / 255, 1);
    EXPECT_NEAR(on.g, ground.g * 127 / 255, 1);
    EXPECT_NE(At(line, 100, 60), At(plain, 100, 60)); // 5 pixels wide: 2 above
    EXPECT_EQ(At(line, 100, 57), At(plain, 100, 57)); // but not 5 above
}

TEST_F(Render, PointsShowAsDotsInTheirIconColour) {
    kept.push_back(ParseKml(R"(<kml><Placemark>
      <Style><IconStyle><color>ffff00ff</color></IconStyle></Style>
      <Point><coordinates>11.0,47.5</coordinates></Point></Placemark></kml>)"));
    const Image image = Draw();
    EXPECT_EQ(At(image, 100, 62), (Rgb{255, 0, 255}));
    EXPECT_EQ(At(image, 100, 62 + 6), (Rgb{0, 0, 0})); // its dark rim
}

TEST_F(Render, OverlaysDrawOverEverything) {
    const Image plain = Draw();
    overlays.push_back(
        {Overlay::Kind::Line, {0, 10}, {199, 10}, 0, {rgb(0, 255, 255), 1, RasterOp::Copy}});
    overlays.push_back({Overlay::Kind::Line, {0, 20}, {199, 20}, 0, {0, 1, RasterOp::Invert}});
    overlays.push_back({Overlay::Kind::Line, {0, 20}, {199, 20}, 0, {0, 1, RasterOp::Invert}});
    overlays.push_back({Overlay::Kind::Line, {0, 30}, {199, 30}, 0, {0, 1, RasterOp::Invert}});
    overlays.push_back(
        {Overlay::Kind::Rectangle, {50, 50}, {60, 60}, 0, {rgb(255, 0, 0), 1, RasterOp::Copy}});
    Overlay circle;
    circle.kind = Overlay::Kind::FilledCircle;
    circle.from = {150, 100};
    circle.radius = 5;
    circle.fill = rgb(255, 255, 0);
    circle.outline = rgb(0, 0, 255);
    overlays.push_back(circle);
    const Image image = Draw();
    EXPECT_EQ(At(image, 100, 10), (Rgb{0, 255, 255}));
    EXPECT_EQ(At(image, 100, 20), At(plain, 100, 20)); // inverted twice: as it was
    const Rgb p = At(plain, 100, 30);
    EXPECT_EQ(At(image, 100, 30), (Rgb{255 - p.r, 255 - p.g, 255 - p.b}));
    EXPECT_EQ(At(image, 50, 55), (Rgb{255, 0, 0}));  // left side of the rectangle
    EXPECT_EQ(At(image, 59, 55), (Rgb{255, 0, 0}));  // right side: right is exclusive
    EXPECT_EQ(At(image, 55, 55), At(plain, 55, 55)); // an outline only
    EXPECT_EQ(At(image, 150, 100), (Rgb{255, 255, 0}));
    EXPECT_EQ(At(image, 155, 100), (Rgb{0, 0, 255}));
}

TEST_F(Render, SkyWaterAndLand) {
    camera = {0.0, -150.0, 0.0, 1, 20000.0, 88.0, 0.0}; // the Pacific towards the horizon
    const Image sea = Draw();
    const Rgb sky = At(sea, 100, 2);
    const Rgb water = At(sea, 100, 120);
    EXPECT_GT(water.b, water.r + 40);
    EXPECT_GT(sky.b, sky.r);
    EXPECT_NE(sky, water);
    camera = {31.0, 86.0, 0.0, 1, 30000.0, 0.0, 0.0}; // high ground
    const Image land = Draw();
    const Rgb ground = At(land, 100, 62);
    EXPECT_LT(ground.b, ground.r + 40);
    EXPECT_THROW(Draw(0, 10), std::invalid_argument);
}

TEST_F(Render, PngRoundTripsThePixels) {
    const Image image = Draw(40, 25);
    const std::vector<std::uint8_t> png = EncodePng(image);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
    EXPECT_EQ(png[2], 'N');
    EXPECT_EQ(png[3], 'G');
    png_image decoded{};
    decoded.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&decoded, png.data(), png.size()));
    decoded.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(decoded));
    ASSERT_TRUE(png_image_finish_read(&decoded, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(pixels, image.rgba);
    const Bitmap b = ToBitmap(image);
    const std::uint8_t* p = image.At(3, 4);
    EXPECT_EQ(b.pixels[4 * 40 + 3],
              (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]);
}

} // namespace
} // namespace scribeline::globe
