// The mesh renderer against the ray-cast reference picture: the same view, the documents on
// the same pixels, no holes in the ground, the drape at the right place.
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/mesh_renderer.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

namespace scribeline::globe {
namespace {

struct View {
    const char* name;
    CameraState camera;
};

CameraState Cam(double lat, double lon, double range, double tilt, double az) {
    return CameraState{lat, lon, 0.0, 1, range, tilt, az};
}

// Reference cameras: the two of the speed figures, and the awkward places.
const View kViews[] = {
    {"StraightDownFrom1500km", Cam(47.3, 10.9, 1500000.0, 0.0, 20.0)},
    {"Tilt65At60kmOverMountains", Cam(47.3, 10.9, 60000.0, 65.0, 20.0)},
    {"HimalayaTilt65", Cam(28.0, 86.0, 60000.0, 65.0, 20.0)},
    {"Across180Degrees", Cam(-17.0, 179.9, 2000000.0, 30.0, 80.0)},
    {"OverTheNorthPole", Cam(88.5, 30.0, 3000000.0, 10.0, 0.0)},
    {"LookingAtTheHorizon", Cam(47.3, 10.9, 20000.0, 88.0, 120.0)},
    // Ground right in front of the eye: triangles cut by the near plane.
    {"CloseToTheGround", Cam(28.0, 86.0, 400.0, 80.0, 300.0)},
};

struct Rgb {
    int r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

Rgb At(const Image& image, int x, int y) {
    const std::uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2]};
}

FrameRequest RequestFor(const CameraState& camera, int w, int h) {
    FrameRequest r;
    r.camera = camera;
    r.surface = TerrainSurface(testing::BuiltInTerrain(), true, 1.0);
    r.width = w;
    r.height = h;
    return r;
}

Image Reference(const FrameRequest& r, const std::vector<const KmlDocument*>& docs = {}) {
    const std::vector<Overlay> overlays = r.overlays;
    const Scene scene{&r.camera, &r.surface, &docs, &overlays};
    return RenderScene(scene, r.width, r.height);
}

double MeanAbsoluteDifference(const Image& a, const Image& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i) {
        if (i % 4 != 3) {
            sum += std::abs(int{a.rgba[i]} - int{b.rgba[i]});
        }
    }
    return sum / (static_cast<double>(a.rgba.size() / 4) * 3.0);
}

// Both renderers paint the sky of a row in one colour that depends on the eye's height.
Rgb SkyOf(const FrameRequest& r, int y) {
    const CameraPose pose =
        PoseFor(r.camera, FocusHeight(r.camera, r.surface), r.surface, r.width, r.height);
    const bool space = ToGeodetic(pose.eye).height > 150000.0;
    const double zr = space ? 4 : 55, zg = space ? 6 : 95, zb = space ? 18 : 170;
    const double hr = space ? 40 : 175, hg = space ? 70 : 205, hb = space ? 130 : 235;
    const double t = std::clamp(1.0 - y / (0.7 * r.height), 0.0, 1.0);
    return {static_cast<int>(std::lround(hr + (zr - hr) * t)),
            static_cast<int>(std::lround(hg + (zg - hg) * t)),
            static_cast<int>(std::lround(hb + (zb - hb) * t))};
}

std::vector<bool> SkyMask(const FrameRequest& r, const Image& image) {
    std::vector<bool> sky(static_cast<std::size_t>(r.width * r.height));
    for (int y = 0; y < r.height; ++y) {
        const Rgb s = SkyOf(r, y);
        for (int x = 0; x < r.width; ++x) {
            sky[static_cast<std::size_t>(y * r.width + x)] = At(image, x, y) == s;
        }
    }
    return sky;
}

// Sky pixels of the mesh picture where the reference has ground all around: holes.
int Holes(const FrameRequest& r, const Image& reference, const Image& mesh) {
    const auto refSky = SkyMask(r, reference);
    const auto meshSky = SkyMask(r, mesh);
    int holes = 0;
    for (int y = 1; y + 1 < r.height; ++y) {
        for (int x = 1; x + 1 < r.width; ++x) {
            bool solid = true;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    solid = solid && !refSky[static_cast<std::size_t>((y + dy) * r.width + x + dx)];
                }
            }
            holes += solid && meshSky[static_cast<std::size_t>(y * r.width + x)] ? 1 : 0;
        }
    }
    return holes;
}

class AgainstReference : public ::testing::TestWithParam<View> {};

// The mesh shades its vertices (a few pixels apart) and interpolates between them, where the
// ray caster shades every pixel from its own ground point; over the rough built-in terrain
// that leaves an average of 1 to 4 levels per channel. A misplaced view, a wrong tint, a
// missing tile or a hole costs tens of levels, so 6 separates the two.
constexpr double kMaxMeanDifference = 6.0;

TEST_P(AgainstReference, AgreesWithTheRayCastPictureWithoutHoles) {
    const FrameRequest r = RequestFor(GetParam().camera, 200, 125);
    const Image reference = Reference(r);
    MeshRenderer renderer;
    const Image full = renderer.Render(r, FrameQuality::Full);
    EXPECT_LT(MeanAbsoluteDifference(reference, full), kMaxMeanDifference);
    EXPECT_EQ(Holes(r, reference, full), 0);
    // The sky ends where it does in the reference (the horizon within a pixel or so).
    const auto refSky = SkyMask(r, reference);
    const auto meshSky = SkyMask(r, full);
    const auto count = [](const std::vector<bool>& m) {
        return std::count(m.begin(), m.end(), true);
    };
    EXPECT_NEAR(static_cast<double>(count(meshSky)), static_cast<double>(count(refSky)),
                2.0 * r.width + 0.01 * static_cast<double>(refSky.size()));

    // A coarse first frame (parents standing in for tiles not built yet) is still whole.
    MeshRenderer fresh;
    const Image coarse = fresh.Render(r, FrameQuality::Interactive);
    EXPECT_LT(MeanAbsoluteDifference(reference, coarse), 2.0 * kMaxMeanDifference);
    EXPECT_EQ(Holes(r, reference, coarse), 0);
}

INSTANTIATE_TEST_SUITE_P(Cameras, AgainstReference, ::testing::ValuesIn(kViews),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(MeshRenderer, NoHolesAcrossTileSeamsOfDifferentDetail) {
    // Larger, tilted over high mountains: many levels of detail meet in one picture.
    for (const CameraState& c :
         {Cam(28.0, 86.0, 30000.0, 75.0, 200.0), Cam(47.3, 10.9, 1500000.0, 0.0, 20.0)}) {
        const FrameRequest r = RequestFor(c, 400, 250);
        MeshRenderer renderer;
        const Image mesh = renderer.Render(r, FrameQuality::Full);
        EXPECT_GT(renderer.LastStats().tilesDrawn, 20);
        EXPECT_EQ(Holes(r, Reference(r), mesh), 0);
    }
    // Straight down from 1500 km the ground fills the picture: not one pixel of sky.
    const FrameRequest down = RequestFor(Cam(47.3, 10.9, 1500000.0, 0.0, 20.0), 400, 250);
    MeshRenderer renderer;
    const auto sky = SkyMask(down, renderer.Render(down, FrameQuality::Full));
    EXPECT_EQ(std::count(sky.begin(), sky.end(), true), 0);
}

TEST(MeshRenderer, DocumentsLandOnTheSamePixelsAsInTheReference) {
    const KmlDocument doc = ParseKml(R"(<kml><Document>
      <Placemark><Style><LineStyle><color>ffff00ff</color><width>2</width></LineStyle></Style>
        <LineString><coordinates>10.2,47.0 11.0,47.5 11.6,47.2</coordinates></LineString>
      </Placemark>
      <Placemark><Style><LineStyle><color>ffff00ff</color></LineStyle>
        <PolyStyle><fill>0</fill></PolyStyle></Style>
        <Polygon><altitudeMode>relativeToGround</altitudeMode><outerBoundaryIs><LinearRing>
        <coordinates>10.5,47.6,500 10.8,47.6,500 10.8,47.8,500 10.5,47.6,500</coordinates>
        </LinearRing></outerBoundaryIs></Polygon></Placemark>
      <Placemark><Style><IconStyle><color>ffff00ff</color></IconStyle></Style>
        <Point><coordinates>11.2,47.0</coordinates></Point></Placemark>
    </Document></kml>)");
    for (const CameraState& c :
         {Cam(47.3, 10.9, 150000.0, 0.0, 0.0), Cam(47.3, 10.9, 90000.0, 55.0, 30.0)}) {
        FrameRequest r = RequestFor(c, 200, 125);
        r.documents = BorrowDocuments({&doc});
        const Image mesh = RenderMeshFrame(r);
        const Image reference = Reference(r, {&doc});
        const auto magenta = [](const Image& image, int x, int y) {
            return At(image, x, y) == Rgb{255, 0, 255};
        };
        // Every magenta pixel of one picture has a magenta pixel within 1 pixel in the other.
        const auto near = [&](const Image& a, const Image& b) {
            int missing = 0;
            int drawn = 0;
            for (int y = 0; y < r.height; ++y) {
                for (int x = 0; x < r.width; ++x) {
                    if (!magenta(a, x, y)) {
                        continue;
                    }
                    ++drawn;
                    bool found = false;
                    for (int dy = -1; dy <= 1 && !found; ++dy) {
                        for (int dx = -1; dx <= 1 && !found; ++dx) {
                            const int px = x + dx;
                            const int py = y + dy;
                            found = px >= 0 && py >= 0 && px < r.width && py < r.height &&
                                    magenta(b, px, py);
                        }
                    }
                    missing += found ? 0 : 1;
                }
            }
            EXPECT_GT(drawn, 40);
            return missing;
        };
        EXPECT_EQ(near(mesh, reference), 0);
        EXPECT_EQ(near(reference, mesh), 0);
    }
}

TEST(MeshRenderer, TheDrapeShowsItsMarkWhereTheRayCasterPutsThatPlace) {
    for (const CameraState& c :
         {Cam(47.3, 10.9, 60000.0, 0.0, 0.0), Cam(47.3, 10.9, 60000.0, 50.0, 40.0),
          Cam(-10.0, 179.8, 80000.0, 30.0, 90.0)}) {
        FrameRequest r = RequestFor(c, 200, 125);
        // The mark: a small disc of opaque magenta on a clear image, off the view's centre.
        const double markLat = c.FocusPointLatitude + 0.05;
        const double markLon = c.FocusPointLongitude + 0.08;
        int calls = 0;
        DrapeArea asked;
        const DrapeProvider provider = [&](const DrapeArea& area) -> std::optional<Image> {
            ++calls;
            asked = area;
            Image image(area.Columns(), area.Rows());
            const double radius = 0.012; // degrees, a few pixels across
            for (int y = 0; y < image.height; ++y) {
                for (int x = 0; x < image.width; ++x) {
                    const double lon =
                        area.west + (x + 0.5) * (area.east - area.west) / image.width;
                    const double lat =
                        area.north - (y + 0.5) * (area.north - area.south) / image.height;
                    const double dLon = WrapDegrees(lon - markLon) * std::cos(lat * kDegToRad);
                    if (std::hypot(dLon, lat - markLat) < radius) {
                        std::uint8_t* p = image.At(x, y);
                        p[0] = 255;
                        p[1] = 0;
                        p[2] = 255;
                        p[3] = 255;
                    }
                }
            }
            return image;
        };
        const Image draped = RenderMeshFrame(r, provider);
        const Image plain = RenderMeshFrame(r);
        EXPECT_EQ(calls, 1);
        EXPECT_LT(asked.west, c.FocusPointLongitude);
        EXPECT_GT(asked.east, c.FocusPointLongitude);
        EXPECT_LT(asked.south, c.FocusPointLatitude);
        EXPECT_GT(asked.north, c.FocusPointLatitude);

        // The mark's pixels: magenta under the hill shade (red = blue, no green).
        double sx = 0.0;
        double sy = 0.0;
        int n = 0;
        int changedElsewhere = 0;
        for (int y = 0; y < r.height; ++y) {
            for (int x = 0; x < r.width; ++x) {
                const Rgb p = At(draped, x, y);
                if (p.g == 0 && p.r > 60 && std::abs(p.r - p.b) <= 1) {
                    sx += x + 0.5;
                    sy += y + 0.5;
                    ++n;
                } else if (!(p == At(plain, x, y))) {
                    ++changedElsewhere; // only the mark's blended rim may differ
                }
            }
        }
        ASSERT_GT(n, 3);
        EXPECT_LT(changedElsewhere, 4 * n);
        const CameraPose pose = PoseFor(c, FocusHeight(c, r.surface), r.surface, r.width, r.height);
        const auto s =
            Project(pose, ToEcef({markLat, markLon, r.surface.Height(markLat, markLon)}));
        ASSERT_TRUE(s);
        const double px = (s->x + 1.0) * 0.5 * r.width;
        const double py = (1.0 - s->y) * 0.5 * r.height;
        EXPECT_NEAR(sx / n, px, 1.0);
        EXPECT_NEAR(sy / n, py, 1.0);
    }
}

TEST(MeshRenderer, DemOutlinesAreDrawnOnTheGround) {
    FrameRequest r = RequestFor(Cam(47.5, 11.0, 150000.0, 0.0, 0.0), 200, 125);
    auto snapshot = std::make_shared<DocumentSnapshot>();
    snapshot->demOutlines.push_back({"dem.tif", 10.8, 47.3, 11.2, 47.7});
    r.documents = snapshot;
    const Image image = RenderMeshFrame(r);
    const CameraPose pose =
        PoseFor(r.camera, FocusHeight(r.camera, r.surface), r.surface, r.width, r.height);
    // The middle of the west edge.
    const auto s = Project(pose, ToEcef({47.5, 10.8, r.surface.Height(47.5, 10.8)}));
    ASSERT_TRUE(s);
    const int px = static_cast<int>((s->x + 1.0) * 0.5 * r.width);
    const int py = static_cast<int>((1.0 - s->y) * 0.5 * r.height);
    bool found = false;
    for (int dx = -1; dx <= 1; ++dx) {
        found = found || At(image, px + dx, py) == Rgb{255, 0, 200};
    }
    EXPECT_TRUE(found);
    EXPECT_FALSE(At(image, 100, 62) == (Rgb{255, 0, 200})); // inside stays ground
}

TEST(MeshRenderer, KeepsItsTilesUntilTheSurfaceChanges) {
    FrameRequest r = RequestFor(Cam(47.3, 10.9, 300000.0, 30.0, 0.0), 160, 100);
    MeshRenderer renderer;
    const Image first = renderer.Render(r, FrameQuality::Full);
    EXPECT_GT(renderer.LastStats().tilesBuilt, 0);
    const Image again = renderer.Render(r, FrameQuality::Full);
    EXPECT_EQ(renderer.LastStats().tilesBuilt, 0);
    EXPECT_EQ(first.rgba, again.rgba);
    r.surface = TerrainSurface(testing::BuiltInTerrain(), true, 3.0);
    const Image exaggerated = renderer.Render(r, FrameQuality::Full);
    EXPECT_GT(renderer.LastStats().tilesBuilt, 0);
    EXPECT_NE(first.rgba, exaggerated.rgba);
    // The terrain layer off: a smooth ellipsoid, still tinted from the true elevations.
    r.surface = TerrainSurface(testing::BuiltInTerrain(), false, 1.0);
    EXPECT_LT(MeanAbsoluteDifference(Reference(r), renderer.Render(r, FrameQuality::Full)),
              kMaxMeanDifference);
}

TEST(MeshRenderer, RefusesAViewWithoutPixelsOrAPlaceInSpace) {
    MeshRenderer renderer;
    EXPECT_THROW(renderer.Render(RequestFor(Cam(0, 0, 1e6, 0, 0), 0, 10), FrameQuality::Full),
                 std::invalid_argument);
    EXPECT_THROW(renderer.Render(RequestFor(Cam(0, 0, 1e6, 0, 0), 10, -1), FrameQuality::Full),
                 std::invalid_argument);
    for (const CameraState& bad :
         {Cam(std::nan(""), 0, 1e6, 0, 0), Cam(0, 0, 0.0, 0, 0), Cam(0, 0, 1e6, 91.0, 0),
          Cam(95.0, 0, 1e6, 0, 0), Cam(0, 0, 1e6, 0, INFINITY)}) {
        EXPECT_THROW(renderer.Render(RequestFor(bad, 10, 10), FrameQuality::Full),
                     std::invalid_argument);
    }
}

// The live KML of a run: a line that grows by a vertex per capture tick.
KmlDocument GrowingLine(int vertices) {
    std::string kml = "<kml><Document><Placemark><Style><LineStyle><color>ffff00ff</color>"
                      "</LineStyle></Style><LineString><coordinates>";
    for (int i = 0; i < vertices; ++i) {
        kml += std::to_string(10.6 + 0.05 * i) + "," + std::to_string(47.1 + 0.03 * (i % 3)) + " ";
    }
    return ParseKml(kml + "</coordinates></LineString></Placemark></Document></kml>");
}

// What a renderer that keeps nothing between frames draws.
Image Fresh(const FrameRequest& r, FrameQuality quality = FrameQuality::Full,
            const Drape* drape = nullptr) {
    MeshRenderer renderer;
    return renderer.Render(r, quality, drape);
}

std::shared_ptr<const Drape> RedDrape(const FrameRequest& r) {
    const auto area = DrapeAreaFor(r);
    EXPECT_TRUE(area);
    Drape drape{*area, Image(area->Columns(), area->Rows())};
    for (std::size_t i = 0; i < drape.image.rgba.size(); i += 4) {
        drape.image.rgba[i] = 255;
        drape.image.rgba[i + 3] = 160;
    }
    return std::make_shared<const Drape>(std::move(drape));
}

TEST(TerrainReuse, ADocumentChangeRedrawsOnlyTheDocumentsWithTheSamePixels) {
    FrameRequest r = RequestFor(Cam(47.3, 10.9, 150000.0, 30.0, 20.0), 200, 125);
    const KmlDocument two = GrowingLine(2);
    const KmlDocument three = GrowingLine(3);
    MeshRenderer renderer;
    r.documents = BorrowDocuments({&two});
    const Image first = renderer.Render(r, FrameQuality::Full);
    EXPECT_EQ(renderer.TerrainRasterisations(), 1u);
    EXPECT_FALSE(renderer.LastStats().terrainReused);
    const int tiles = renderer.LastStats().tilesDrawn;

    r.documents = BorrowDocuments({&three});
    Overlay rubberBand; // the line from the last vertex to the pointer
    rubberBand.from = {20, 30};
    rubberBand.to = {150, 90};
    rubberBand.pen.colour = 0x00FFFF;
    r.overlays.push_back(rubberBand);
    const Image second = renderer.Render(r, FrameQuality::Full);
    EXPECT_EQ(renderer.TerrainRasterisations(), 1u);
    EXPECT_TRUE(renderer.LastStats().terrainReused);
    EXPECT_EQ(renderer.LastStats().tilesBuilt, 0);
    EXPECT_EQ(renderer.LastStats().tilesDrawn, tiles);
    // The new vertex shows, and nothing of the old frame's documents stays behind.
    EXPECT_NE(first.rgba, second.rgba);
    EXPECT_EQ(second.rgba, Fresh(r).rgba);

    // Documents gone altogether: the bare terrain, as a fresh renderer draws it.
    r.documents = nullptr;
    r.overlays.clear();
    EXPECT_EQ(renderer.Render(r, FrameQuality::Full).rgba, Fresh(r).rgba);
    EXPECT_EQ(renderer.TerrainRasterisations(), 1u);
}

TEST(TerrainReuse, AnyChangeOfCameraSizeQualityTerrainOrDrapeDrawsTheTerrainAgain) {
    const FrameRequest base = RequestFor(Cam(47.3, 10.9, 300000.0, 30.0, 0.0), 160, 100);
    const KmlDocument line = GrowingLine(4);
    struct Change {
        const char* what;
        std::function<void(FrameRequest&)> apply;
    };
    const Change changes[] = {
        {"latitude", [](FrameRequest& r) { r.camera.FocusPointLatitude += 1e-9; }},
        {"longitude", [](FrameRequest& r) { r.camera.FocusPointLongitude += 0.01; }},
        {"focus altitude", [](FrameRequest& r) { r.camera.FocusPointAltitude = 2000.0; }},
        {"altitude mode", [](FrameRequest& r) { r.camera.FocusPointAltitudeMode = 2; }},
        {"range", [](FrameRequest& r) { r.camera.Range *= 1.01; }},
        {"tilt", [](FrameRequest& r) { r.camera.Tilt += 1.0; }},
        {"azimuth", [](FrameRequest& r) { r.camera.Azimuth += 1.0; }},
        {"width", [](FrameRequest& r) { r.width += 1; }},
        {"height", [](FrameRequest& r) { r.height -= 1; }},
        {"exaggeration",
         [](FrameRequest& r) { r.surface = TerrainSurface(testing::BuiltInTerrain(), true, 2.0); }},
        {"terrain layer off",
         [](FrameRequest& r) {
             r.surface = TerrainSurface(testing::BuiltInTerrain(), false, 1.0);
         }},
        {"another model",
         [](FrameRequest& r) {
             // Equal heights, yet only the model object itself tells whether they are.
             r.surface =
                 TerrainSurface(std::make_shared<const testing::DefaultTerrain>(), true, 1.0);
         }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        MeshRenderer renderer;
        FrameRequest r = base;
        r.documents = BorrowDocuments({&line});
        (void)renderer.Render(r, FrameQuality::Full);
        change.apply(r);
        const Image changed = renderer.Render(r, FrameQuality::Full);
        EXPECT_EQ(renderer.TerrainRasterisations(), 2u);
        EXPECT_FALSE(renderer.LastStats().terrainReused);
        EXPECT_EQ(changed.rgba, Fresh(r).rgba);
        // And the changed view is then kept in its turn.
        (void)renderer.Render(r, FrameQuality::Full);
        EXPECT_EQ(renderer.TerrainRasterisations(), 2u);
    }

    // Quality: a full frame is not an interactive one of the same view, but each is kept,
    // for a view that moved and settled asks for both.
    MeshRenderer renderer;
    const Image full = renderer.Render(base, FrameQuality::Full);
    const Image coarse = renderer.Render(base, FrameQuality::Interactive);
    EXPECT_EQ(renderer.TerrainRasterisations(), 2u);
    EXPECT_EQ(renderer.Render(base, FrameQuality::Full).rgba, full.rgba);
    EXPECT_EQ(renderer.Render(base, FrameQuality::Interactive).rgba, coarse.rgba);
    EXPECT_EQ(renderer.TerrainRasterisations(), 2u);
    // Another view drops both: back at the first, each is drawn anew.
    FrameRequest moved = base;
    moved.camera.Azimuth += 5.0;
    (void)renderer.Render(moved, FrameQuality::Full);
    (void)renderer.Render(base, FrameQuality::Interactive);
    (void)renderer.Render(base, FrameQuality::Full);
    EXPECT_EQ(renderer.TerrainRasterisations(), 5u);
}

TEST(TerrainReuse, AKeptDrapeIsReusedByIdentityABorrowedOneNever) {
    const FrameRequest r = RequestFor(Cam(47.3, 10.9, 100000.0, 20.0, 0.0), 160, 100);
    const auto drape = RedDrape(r);
    MeshRenderer renderer;
    const Image draped = renderer.Render(r, FrameQuality::Full, drape);
    EXPECT_EQ(draped.rgba, Fresh(r, FrameQuality::Full, drape.get()).rgba);
    EXPECT_NE(draped.rgba, Fresh(r).rgba);
    EXPECT_EQ(renderer.Render(r, FrameQuality::Full, drape).rgba, draped.rgba);
    EXPECT_EQ(renderer.TerrainRasterisations(), 1u);

    // The drape taken away, then an equal copy of it: each is a new picture of the ground.
    EXPECT_EQ(renderer.Render(r, FrameQuality::Full, std::shared_ptr<const Drape>{}).rgba,
              Fresh(r).rgba);
    EXPECT_EQ(renderer.TerrainRasterisations(), 2u);
    (void)renderer.Render(r, FrameQuality::Full, std::make_shared<const Drape>(*drape));
    EXPECT_EQ(renderer.TerrainRasterisations(), 3u);

    // Borrowed: another drape may later sit at the same address, so nothing is reused.
    (void)renderer.Render(r, FrameQuality::Full, drape.get());
    (void)renderer.Render(r, FrameQuality::Full, drape.get());
    EXPECT_EQ(renderer.TerrainRasterisations(), 5u);
    // A drape with no pixels drapes nothing: the plain picture, kept like one.
    const auto empty = std::make_shared<const Drape>(Drape{drape->area, Image{}});
    EXPECT_EQ(renderer.Render(r, FrameQuality::Full, empty).rgba, Fresh(r).rgba);
    (void)renderer.Render(r, FrameQuality::Full);
    EXPECT_EQ(renderer.TerrainRasterisations(), 6u);
}

TEST(TerrainReuse, AnInteractiveFrameShortOfTilesIsDrawnAgainUntilItHasThemAll) {
    // Close over mountains: far more new tiles than one interactive frame may build.
    const FrameRequest r = RequestFor(Cam(47.3, 10.9, 60000.0, 65.0, 20.0), 800, 500);
    MeshRenderer renderer;
    (void)renderer.Render(r, FrameQuality::Interactive);
    ASSERT_GT(renderer.LastStats().tilesBuilt, 0);
    std::uint64_t drawn = 1;
    Image last;
    for (int frame = 0; frame < 50 && !renderer.LastStats().terrainReused; ++frame) {
        last = renderer.Render(r, FrameQuality::Interactive);
        drawn += renderer.LastStats().terrainReused ? 0u : 1u;
        EXPECT_EQ(renderer.TerrainRasterisations(), drawn);
    }
    EXPECT_GT(drawn, 2u); // it took more than one frame to build
    ASSERT_TRUE(renderer.LastStats().terrainReused);
    EXPECT_EQ(renderer.Render(r, FrameQuality::Interactive).rgba, last.rgba);
}

TEST(DrapeArea, CoversTheViewWithAMarginAndTheWholeRoundOverAPole) {
    const auto across = DrapeAreaFor(RequestFor(Cam(-17.0, 179.9, 500000.0, 0.0, 0.0), 200, 125));
    ASSERT_TRUE(across);
    EXPECT_LT(across->west, 179.9);
    EXPECT_GT(across->east, 180.0); // continues past 180 without a jump
    EXPECT_LT(across->east - across->west, 30.0);
    EXPECT_GT(across->pixelDegrees, 0.0);
    EXPECT_LE(across->Columns(), 4096);

    const auto pole = DrapeAreaFor(RequestFor(Cam(88.5, 30.0, 3000000.0, 10.0, 0.0), 200, 125));
    ASSERT_TRUE(pole);
    EXPECT_EQ(pole->west, -180.0);
    EXPECT_EQ(pole->east, 180.0);
    EXPECT_EQ(pole->north, 90.0);
    EXPECT_LE(pole->Rows(), 4096);
}

} // namespace
} // namespace scribeline::globe

namespace scribeline::globe {
namespace {

TEST(GlobePictures, TheClientsPicturesComeWithTheDrapeAskedOncePerPicture) {
    desktop::HeadlessDesktop desktop;
    GlobeOptions options;
    int asked = 0;
    options.drape = [&asked](const DrapeArea& area) -> std::optional<Image> {
        ++asked;
        Image image(area.Columns(), area.Rows());
        for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
            image.rgba[i] = 255;
            image.rgba[i + 3] = 255;
        }
        return image;
    };
    SimulatedGlobe globe(desktop, std::move(options));
    globe.CreateApplication()->SetCamera(Cam(47.3, 10.9, 100000.0, 0.0, 0.0), 5.0);
    const Image image = globe.Render(Size{80, 50});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(At(image, 40, 25).g, 0);
    EXPECT_GT(At(image, 40, 25).r, 60);
    const Bitmap bitmap = globe.RenderBitmap(Size{80, 50});
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(bitmap.pixels[25 * 80 + 40] & 0xFF00u, 0u);
}

} // namespace
} // namespace scribeline::globe
