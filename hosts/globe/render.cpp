#include "hosts/globe/render.hpp"

#include "hosts/desktop/raster.hpp"

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace scribeline::globe {

namespace {

struct Rgb {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Elevation tints, metres.
struct Tint {
    double elevation;
    Rgb colour;
};
constexpr std::array kWater = {Tint{-5000.0, {12, 40, 100}}, Tint{0.0, {55, 115, 185}}};
constexpr std::array kLand = {
    Tint{0.0, {70, 125, 60}},      Tint{400.0, {120, 155, 75}},   Tint{1200.0, {170, 155, 100}},
    Tint{2500.0, {145, 120, 100}}, Tint{3800.0, {200, 195, 195}}, Tint{4600.0, {245, 245, 250}},
};

template <std::size_t N> Rgb Ramp(const std::array<Tint, N>& ramp, double e) {
    if (e <= ramp.front().elevation) {
        return ramp.front().colour;
    }
    for (std::size_t i = 1; i < N; ++i) {
        if (e <= ramp[i].elevation) {
            const double t =
                (e - ramp[i - 1].elevation) / (ramp[i].elevation - ramp[i - 1].elevation);
            return Mix(ramp[i - 1].colour, ramp[i].colour, t);
        }
    }
    return ramp.back().colour;
}

std::uint8_t Byte(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

void Put(Image& image, int x, int y, Rgb c) {
    std::uint8_t* p = image.At(x, y);
    p[0] = Byte(c.r);
    p[1] = Byte(c.g);
    p[2] = Byte(c.b);
    p[3] = 255;
}

void Blend(Image& image, int x, int y, const KmlColour& c) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
        return;
    }
    std::uint8_t* p = image.At(x, y);
    const int a = c.alpha;
    p[0] = static_cast<std::uint8_t>((c.red * a + p[0] * (255 - a)) / 255);
    p[1] = static_cast<std::uint8_t>((c.green * a + p[1] * (255 - a)) / 255);
    p[2] = static_cast<std::uint8_t>((c.blue * a + p[2] * (255 - a)) / 255);
}

void Invert(Image& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
        return;
    }
    std::uint8_t* p = image.At(x, y);
    p[0] = static_cast<std::uint8_t>(255 - p[0]);
    p[1] = static_cast<std::uint8_t>(255 - p[1]);
    p[2] = static_cast<std::uint8_t>(255 - p[2]);
}

struct Pixel {
    double x = 0.0;
    double y = 0.0;
};

class Painter {
public:
    Painter(Image& image, const CameraPose& pose, const TerrainSurface& surface)
        : image_(image), pose_(pose), surface_(surface) {}

    // Pixel position of a KML coordinate, nothing when it is behind the eye or on the far
    // side of the globe.
    [[nodiscard]] std::optional<Pixel> Place(const KmlCoordinate& c, AltitudeMode mode) const {
        const double ground = surface_.Height(c.latitude, c.longitude);
        double h = ground;
        if (mode == AltitudeMode::RelativeToGround) {
            h = ground + c.altitude;
        } else if (mode == AltitudeMode::Absolute) {
            h = c.altitude;
        }
        const Vec3 p = ToEcef({c.latitude, c.longitude, h});
        if (dot(p - pose_.eye, normalized(p)) > 0.0 && h <= ground + 1.0) {
            return std::nullopt; // behind the horizon
        }
        const auto s = Project(pose_, p);
        if (!s || std::abs(s->x) > 50.0 || std::abs(s->y) > 50.0) {
            return std::nullopt;
        }
        return Pixel{(s->x + 1.0) * 0.5 * image_.width, (1.0 - s->y) * 0.5 * image_.height};
    }

    void Polyline(const std::vector<std::optional<Pixel>>& points, const KmlColour& colour,
                  int width, bool closed) {
        const std::size_t n = points.size();
        for (std::size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i) {
            const auto& a = points[i];
            const auto& b = points[(i + 1) % n];
            if (a && b) {
                raster::ForEachLinePixel(
                    {static_cast<int>(std::floor(a->x)), static_cast<int>(std::floor(a->y))},
                    {static_cast<int>(std::floor(b->x)), static_cast<int>(std::floor(b->y))}, width,
                    [&](int x, int y) { Blend(image_, x, y, colour); });
            }
        }
    }

    // Even-odd scanline fill of rings that all lie in front of the eye.
    void Fill(const std::vector<std::vector<Pixel>>& rings, const KmlColour& colour) {
        double top = image_.height;
        double bottom = 0.0;
        for (const auto& ring : rings) {
            for (const Pixel& p : ring) {
                top = std::min(top, p.y);
                bottom = std::max(bottom, p.y);
            }
        }
        const int y0 = std::max(0, static_cast<int>(std::floor(top)));
        const int y1 = std::min(image_.height - 1, static_cast<int>(std::ceil(bottom)));
        std::vector<double> xs;
        for (int y = y0; y <= y1; ++y) {
            const double cy = y + 0.5;
            xs.clear();
            for (const auto& ring : rings) {
                for (std::size_t i = 0; i < ring.size(); ++i) {
                    const Pixel& a = ring[i];
                    const Pixel& b = ring[(i + 1) % ring.size()];
                    if ((a.y <= cy) != (b.y <= cy)) {
                        xs.push_back(a.x + (cy - a.y) / (b.y - a.y) * (b.x - a.x));
                    }
                }
            }
            std::sort(xs.begin(), xs.end());
            for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
                const int xa = std::max(0, static_cast<int>(std::ceil(xs[i] - 0.5)));
                const int xb =
                    std::min(image_.width - 1, static_cast<int>(std::floor(xs[i + 1] - 0.5)));
                for (int x = xa; x <= xb; ++x) {
                    Blend(image_, x, y, colour);
                }
            }
        }
    }

    void Dot(const Pixel& p, const KmlColour& colour) {
        const int cx = static_cast<int>(std::floor(p.x));
        const int cy = static_cast<int>(std::floor(p.y));
        constexpr int r = 5;
        for (int dy = -r - 1; dy <= r + 1; ++dy) {
            for (int dx = -r - 1; dx <= r + 1; ++dx) {
                const int d2 = dx * dx + dy * dy;
                if (d2 <= r * r) {
                    Blend(image_, cx + dx, cy + dy, colour);
                } else if (d2 <= (r + 1) * (r + 1)) {
                    Blend(image_, cx + dx, cy + dy, KmlColour{0, 0, 0, 255});
                }
            }
        }
    }

private:
    Image& image_;
    const CameraPose& pose_;
    const TerrainSurface& surface_;
};

void DrawDocument(Painter& painter, const KmlDocument& doc) {
    for (const KmlPlacemark& pm : doc.placemarks) {
        const KmlStyle& style = pm.style;
        const int width = std::max(1, static_cast<int>(std::lround(style.lineWidth)));
        for (const KmlGeometry& g : pm.geometries) {
            std::vector<std::optional<Pixel>> outer;
            outer.reserve(g.coordinates.size());
            for (const KmlCoordinate& c : g.coordinates) {
                outer.push_back(painter.Place(c, g.altitudeMode));
            }
            switch (g.kind) {
            case KmlGeometry::Kind::Point:
                if (!outer.empty() && outer.front()) {
                    painter.Dot(*outer.front(), style.iconColour);
                }
                break;
            case KmlGeometry::Kind::LineString:
                painter.Polyline(outer, style.lineColour, width, false);
                break;
            case KmlGeometry::Kind::LinearRing:
                painter.Polyline(outer, style.lineColour, width, true);
                break;
            case KmlGeometry::Kind::Polygon: {
                std::vector<std::vector<std::optional<Pixel>>> rings{outer};
                for (const auto& inner : g.innerRings) {
                    auto& ring = rings.emplace_back();
                    for (const KmlCoordinate& c : inner) {
                        ring.push_back(painter.Place(c, g.altitudeMode));
                    }
                }
                const bool allPlaced = std::all_of(rings.begin(), rings.end(), [](const auto& r) {
                    return std::all_of(r.begin(), r.end(),
                                       [](const auto& p) { return p.has_value(); });
                });
                if (style.polyFill && allPlaced && outer.size() >= 3) {
                    std::vector<std::vector<Pixel>> plain;
                    for (const auto& r : rings) {
                        auto& out = plain.emplace_back();
                        for (const auto& p : r) {
                            out.push_back(*p);
                        }
                    }
                    painter.Fill(plain, style.polyColour);
                }
                if (style.polyOutline) {
                    for (const auto& r : rings) {
                        painter.Polyline(r, style.lineColour, width, true);
                    }
                }
                break;
            }
            }
        }
    }
}

constexpr int kBlock = 4;       // pixels between fully cast rays
constexpr double kStride = 3.0; // long steps: a missed sliver of ridge is one wrong pixel
constexpr double kSpreadMargin = 0.1;

} // namespace

std::array<double, 3> TerrainTint(double elevation) {
    const Rgb c = elevation <= 0.0 ? Ramp(kWater, elevation) : Ramp(kLand, elevation);
    return {c.r, c.g, c.b};
}

double HillShade(double eastSlope, double northSlope) {
    const Vec3 light = normalized(Vec3{-1.0, 1.0, 1.4}); // east, north, up: from the north-west
    const Vec3 normal = normalized(Vec3{-eastSlope, -northSlope, 1.0});
    return 0.45 + 0.55 * std::max(0.0, dot(normal, light)) / light.z;
}

Image::Image(int w, int h)
    : width(w), height(h), rgba(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0) {}

Image RenderScene(const Scene& scene, int width, int height) {
    if (width < 1 || height < 1) {
        throw std::invalid_argument("RenderScene: the view needs at least one pixel");
    }
    const CameraState& camera = *scene.camera;
    const TerrainSurface& surface = *scene.surface;
    const CameraPose pose = PoseFor(camera, FocusHeight(camera, surface), surface, width, height);
    Image image(width, height);
    const auto ndcX = [width](double px) { return 2.0 * px / width - 1.0; };
    const auto ndcY = [height](double py) { return 1.0 - 2.0 * py / height; };

    // Full casts on a coarse lattice; every pixel then starts its own cast a little before
    // the nearest lattice hit around it, which cuts the cost of a frame several times.
    const int gw = (width + kBlock - 1) / kBlock + 1;
    const int gh = (height + kBlock - 1) / kBlock + 1;
    std::vector<double> lattice(static_cast<std::size_t>(gw) * static_cast<std::size_t>(gh), -1.0);
    for (int gy = 0; gy < gh; ++gy) {
        for (int gx = 0; gx < gw; ++gx) {
            const double px = std::min(gx * kBlock + 0.5, width - 0.5);
            const double py = std::min(gy * kBlock + 0.5, height - 0.5);
            if (const auto hit =
                    CastRay(surface, pose.eye, RayDirection(pose, ndcX(px), ndcY(py)))) {
                lattice[static_cast<std::size_t>(gy * gw + gx)] = hit->distance;
            }
        }
    }

    const Geodetic eye = ToGeodetic(pose.eye);
    const Rgb zenith = eye.height > 150000.0 ? Rgb{4, 6, 18} : Rgb{55, 95, 170};
    const Rgb horizon = eye.height > 150000.0 ? Rgb{40, 70, 130} : Rgb{175, 205, 235};
    const double pixelAngle = 2.0 * pose.tanHalfX / width;
    const ElevationModel* model = surface.Model();

    for (int y = 0; y < height; ++y) {
        const int by = y / kBlock;
        for (int x = 0; x < width; ++x) {
            const int bx = x / kBlock;
            // The lattice hits around the pixel, interpolated, tell closely where its own
            // ray meets the ground; it starts a little short of that. A start that turns out
            // to be under the ground falls back to a full cast.
            const double fx = (x - bx * kBlock) / static_cast<double>(kBlock);
            const double fy = (y - by * kBlock) / static_cast<double>(kBlock);
            const std::array<double, 4> weight = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy,
                                                  fx * fy};
            double nearest = 1e300;
            double farthest = 0.0;
            double estimate = 0.0;
            bool allHit = true;
            for (std::size_t k = 0; k < 4; ++k) {
                const double t = lattice[static_cast<std::size_t>(
                    (by + static_cast<int>(k / 2)) * gw + bx + static_cast<int>(k % 2))];
                allHit = allHit && t >= 0.0;
                nearest = std::min(nearest, t);
                farthest = std::max(farthest, t);
                estimate += weight[k] * t;
            }
            const double start = estimate - kSpreadMargin * (farthest - nearest) - 2e-4 * estimate;
            const Vec3 dir = RayDirection(pose, ndcX(x + 0.5), ndcY(y + 0.5));
            const auto hit = CastRay(surface, pose.eye, dir, allHit ? start : 0.0, kStride);
            if (!hit) {
                Put(image, x, y,
                    Mix(horizon, zenith, std::clamp(1.0 - y / (0.7 * height), 0.0, 1.0)));
                continue;
            }
            const double lat = hit->ground.latitude;
            const double lon = hit->ground.longitude;
            // Imagery colours come from the true elevation even with the terrain off.
            const double elevation = surface.TerrainOn()
                                         ? hit->ground.height / surface.Exaggeration()
                                     : model != nullptr ? model->Elevation(lat, lon)
                                                        : 0.0;
            const auto tint = TerrainTint(elevation);
            Rgb colour{tint[0], tint[1], tint[2]};
            const double foot = std::max(hit->distance * pixelAngle, 2.0);
            const double mLon = std::max(MetresPerDegreeLongitude(lat), 1.0);
            const double mLat = MetresPerDegreeLatitude(lat);
            const double h = hit->ground.height;
            const double gx = (surface.Height(lat, lon + foot / mLon) - h) / foot;
            const double gy = (surface.Height(lat + foot / mLat, lon) - h) / foot;
            const double shade = HillShade(gx, gy);
            colour = {colour.r * shade, colour.g * shade, colour.b * shade};
            // Haze over long distances.
            colour = Mix(colour, horizon, std::clamp((hit->distance - 2.0e5) / 1.0e7, 0.0, 0.4));
            Put(image, x, y, colour);
        }
    }

    DrawOverTerrain(image, pose, surface, *scene.documents, *scene.overlays);
    return image;
}

void DrawOverTerrain(Image& image, const CameraPose& pose, const TerrainSurface& surface,
                     const std::vector<const KmlDocument*>& documents,
                     const std::vector<Overlay>& overlays) {
    Painter painter(image, pose, surface);
    for (const KmlDocument* doc : documents) {
        DrawDocument(painter, *doc);
    }
    const auto plotter = [&image](const Pen& pen) {
        const KmlColour c{static_cast<std::uint8_t>(redOf(pen.colour)),
                          static_cast<std::uint8_t>(greenOf(pen.colour)),
                          static_cast<std::uint8_t>(blueOf(pen.colour)), 255};
        return [&image, c, invert = pen.op == RasterOp::Invert](int px, int py) {
            if (invert) {
                Invert(image, px, py);
            } else {
                Blend(image, px, py, c);
            }
        };
    };
    // Overlays fall on the pixels the desktop's capture gives them: one raster for both.
    for (const Overlay& o : overlays) {
        switch (o.kind) {
        case Overlay::Kind::Line:
            raster::ForEachLinePixel(o.from, o.to, o.pen.width, plotter(o.pen));
            break;
        case Overlay::Kind::Rectangle:
            raster::ForEachFramePixel({o.from.x, o.from.y, o.to.x, o.to.y}, o.pen.width,
                                      plotter(o.pen));
            break;
        case Overlay::Kind::FilledCircle:
            raster::ForEachDiscPixel(o.from, o.radius, [&](int x, int y, bool edge) {
                const Colour c = edge ? o.outline : o.fill;
                Blend(image, x, y,
                      KmlColour{static_cast<std::uint8_t>(redOf(c)),
                                static_cast<std::uint8_t>(greenOf(c)),
                                static_cast<std::uint8_t>(blueOf(c)), 255});
            });
            break;
        }
    }
}

Bitmap ToBitmap(const Image& image) {
    Bitmap b;
    b.width = image.width;
    b.height = image.height;
    b.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (std::size_t i = 0; i < b.pixels.size(); ++i) {
        const std::uint8_t* p = &image.rgba[i * 4];
        b.pixels[i] =
            (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | std::uint32_t{p[2]};
    }
    return b;
}

namespace {

png_image Describe(const Image& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    return png;
}

} // namespace

std::vector<std::uint8_t> EncodePng(const Image& image) {
    png_image png = Describe(image);
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.rgba.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("PNG encoding failed: ") + png.message);
    }
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, image.rgba.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("PNG encoding failed: ") + png.message);
    }
    out.resize(size);
    return out;
}

void WritePng(const Image& image, const std::string& path) {
    png_image png = Describe(image);
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.rgba.data(), 0, nullptr)) {
        throw std::runtime_error("cannot write the PNG file " + path + ": " + png.message);
    }
}

} // namespace scribeline::globe
