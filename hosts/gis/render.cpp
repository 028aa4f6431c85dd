#include "hosts/gis/render.hpp"

#include "hosts/gis/feature_class.hpp"
#include "hosts/gis/gdal_support.hpp"
#include "hosts/gis/geometry_engine.hpp"
#include "hosts/gis/layers.hpp"
#include "hosts/gis/map.hpp"
#include "hosts/gis/spatial_reference.hpp"

#include <gdal_priv.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace scribeline::gis {

namespace {

constexpr Colour kWhite = rgb(255, 255, 255);
constexpr Colour kSelection = rgb(0, 255, 255);

using PixelRing = std::vector<std::pair<double, double>>;

// Soft colours for the layers, picked by the layer's name so that a layer keeps its colour.
Colour layerColour(const std::string& name) {
    static constexpr Colour palette[] = {
        rgb(190, 210, 160), rgb(240, 220, 170), rgb(200, 190, 230), rgb(170, 210, 230),
        rgb(235, 190, 180), rgb(210, 230, 200), rgb(230, 200, 230), rgb(200, 220, 210),
    };
    std::size_t h = std::hash<std::string>{}(name);
    return palette[h % (sizeof palette / sizeof palette[0])];
}

Colour darker(Colour c) {
    return rgb(redOf(c) * 3 / 5, greenOf(c) * 3 / 5, blueOf(c) * 3 / 5);
}

// Clips a segment to a box (Liang-Barsky); false when nothing is left.
bool clip(double& x0, double& y0, double& x1, double& y1, double minX, double minY, double maxX,
          double maxY) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {x0 - minX, maxX - x0, y0 - minY, maxY - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
        } else {
            const double t = q[i] / p[i];
            if (p[i] < 0.0) {
                t0 = std::max(t0, t);
            } else {
                t1 = std::min(t1, t);
            }
        }
    }
    if (t0 > t1) {
        return false;
    }
    const double ax = x0 + t0 * dx;
    const double ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    return true;
}

class Painter {
public:
    Painter(RgbaImage& image, DisplayTransformation& transformation, int offsetX, int offsetY)
        : canvas_(image), transformation_(transformation), offsetX_(offsetX), offsetY_(offsetY) {
        fitted_ = transformation_.FittedBounds();
        resolution_ = transformation_.Resolution();
    }

    std::pair<double, double> pixel(const MapPoint& p) const {
        return {offsetX_ + (p.x - fitted_.XMin) / resolution_,
                offsetY_ + (fitted_.YMax - p.y) / resolution_};
    }

    void polyline(const Geometry& g, double width, Colour colour) {
        for (const auto& part : g.parts) {
            for (std::size_t i = 1; i < part.size(); ++i) {
                const auto [x0, y0] = pixel(part[i - 1]);
                const auto [x1, y1] = pixel(part[i]);
                canvas_.Line(x0, y0, x1, y1, width, colour);
            }
        }
    }

    void polygon(const Geometry& g, std::optional<Colour> fill, double outlineWidth,
                 std::optional<Colour> outline) {
        std::vector<PixelRing> rings;
        for (const auto& part : g.parts) {
            PixelRing ring;
            for (const auto& p : part) {
                ring.push_back(pixel(p));
            }
            rings.push_back(std::move(ring));
        }
        if (fill) {
            canvas_.FillRings(rings, *fill);
        }
        if (outline && outlineWidth > 0.0) {
            for (const auto& ring : rings) {
                for (std::size_t i = 0; i < ring.size(); ++i) {
                    const auto& a = ring[i];
                    const auto& b = ring[(i + 1) % ring.size()];
                    canvas_.Line(a.first, a.second, b.first, b.second, outlineWidth, *outline);
                }
            }
        }
    }

    void points(const Geometry& g, double size, int style, Colour colour) {
        for (const auto& part : g.parts) {
            for (const auto& p : part) {
                const auto [x, y] = pixel(p);
                canvas_.Marker(x, y, size, style, colour);
            }
        }
    }

    void symbolised(const Geometry& g, const Symbol& s) {
        switch (s.kind) {
        case SymbolKind::SimpleMarker:
            points(g, PointsToPixels(s.size), s.style, s.colour);
            break;
        case SymbolKind::SimpleLine:
            if (g.type == GeometryType::Polygon) {
                polygon(g, std::nullopt, PointsToPixels(s.size), s.colour);
            } else {
                polyline(g, PointsToPixels(s.size), s.colour);
            }
            break;
        case SymbolKind::SimpleFill:
            if (g.type == GeometryType::Polygon) {
                polygon(g, s.style == 1 ? std::nullopt : std::optional<Colour>(s.colour),
                        PointsToPixels(s.outlineWidth), s.outlineColour);
            } else {
                polyline(g, PointsToPixels(s.outlineWidth), s.outlineColour);
            }
            break;
        }
    }

    Canvas& canvas() { return canvas_; }
    [[nodiscard]] const Envelope& fitted() const { return fitted_; }
    [[nodiscard]] double resolution() const { return resolution_; }
    [[nodiscard]] int offsetX() const { return offsetX_; }
    [[nodiscard]] int offsetY() const { return offsetY_; }

private:
    Canvas canvas_;
    DisplayTransformation& transformation_;
    Envelope fitted_;
    double resolution_ = 1.0;
    int offsetX_;
    int offsetY_;
};

std::shared_ptr<SpatialReference> known(const std::shared_ptr<ISpatialReference>& r) {
    if (!r) {
        return nullptr;
    }
    auto ours = SpatialReference::Share(*r);
    return ours->IsUnknown() ? nullptr : ours;
}

void drawFeatureLayer(FeatureLayer& layer, Map& map, Painter& painter, GeometryEngine& engine) {
    auto fc = layer.Class();
    if (!fc) {
        return;
    }
    auto source = known(fc->SpatialReference());
    auto target = known(map.SpatialReference());
    const bool project = source && target && !source->IsEqual(*target);
    // Only what can show: the view's bounds in the data's reference.
    std::optional<Envelope> bounds = painter.fitted();
    if (project) {
        bounds = ProjectEnvelope(*bounds, target, source);
    }
    const Colour fill = layerColour(layer.Name());
    const Colour line = darker(fill);
    const auto selected = layer.SelectedIds();
    fc->ForEachFeature(
        layer.DefinitionExpression(), bounds ? &*bounds : nullptr, [&](const Feature& feature) {
            Geometry g = feature.Shape();
            if (g.IsEmpty()) {
                return;
            }
            if (project) {
                try {
                    g = engine.Project(g, *target);
                } catch (const PortError&) {
                    return; // outside the map's projection
                }
            }
            const bool isSelected =
                std::binary_search(selected.begin(), selected.end(), feature.OID());
            switch (g.type) {
            case GeometryType::Polygon:
                painter.polygon(g, fill, 1.0, isSelected ? kSelection : line);
                if (isSelected) {
                    painter.polygon(g, std::nullopt, 2.0, kSelection);
                }
                break;
            case GeometryType::Polyline:
                painter.polyline(g, isSelected ? 2.0 : 1.0, isSelected ? kSelection : line);
                break;
            default:
                painter.points(g, 5.0, 0, isSelected ? kSelection : line);
                break;
            }
        });
}

void drawRasterLayer(RasterLayer& layer, Painter& painter, const RgbaImage& image) {
    GdalErrorTrap trap;
    DatasetPtr dataset(GDALDataset::Open(layer.Path().c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!dataset || dataset->GetRasterCount() < 1) {
        return;
    }
    double t[6];
    if (dataset->GetGeoTransform(t) != CE_None) {
        return;
    }
    double inverse[6];
    if (!GDALInvGeoTransform(t, inverse)) {
        return;
    }
    const int w = dataset->GetRasterXSize();
    const int h = dataset->GetRasterYSize();
    if (static_cast<long long>(w) * h > 16LL * 1024 * 1024) {
        return; // too big to draw whole; a real renderer would read overviews
    }
    const int bands = dataset->GetRasterCount() >= 3 ? 3 : 1;
    std::vector<std::vector<double>> values(static_cast<std::size_t>(bands));
    for (int b = 0; b < bands; ++b) {
        auto& v = values[static_cast<std::size_t>(b)];
        v.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        if (dataset->GetRasterBand(b + 1)->RasterIO(GF_Read, 0, 0, w, h, v.data(), w, h,
                                                    GDT_Float64, 0, 0, nullptr) != CE_None) {
            return;
        }
    }
    double low = values[0].empty() ? 0.0 : values[0][0];
    double high = low;
    for (const double v : values[0]) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    const double span = high > low ? high - low : 1.0;
    const Envelope f = painter.fitted();
    const double r = painter.resolution();
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const double mx = f.XMin + (x - painter.offsetX() + 0.5) * r;
            const double my = f.YMax - (y - painter.offsetY() + 0.5) * r;
            const double px = inverse[0] + mx * inverse[1] + my * inverse[2];
            const double py = inverse[3] + mx * inverse[4] + my * inverse[5];
            if (px < 0 || py < 0 || px >= w || py >= h) {
                continue;
            }
            const std::size_t at = static_cast<std::size_t>(py) * static_cast<std::size_t>(w) +
                                   static_cast<std::size_t>(px);
            if (bands == 3) {
                auto channel = [&](int b) {
                    return static_cast<int>(
                        std::clamp(values[static_cast<std::size_t>(b)][at], 0.0, 255.0));
                };
                painter.canvas().Plot(x, y, rgb(channel(0), channel(1), channel(2)));
            } else {
                const int grey = static_cast<int>(255.0 * (values[0][at] - low) / span);
                painter.canvas().Plot(x, y, rgb(grey, grey, grey));
            }
        }
    }
}

void drawLayer(const std::shared_ptr<ILayer>& layer, Map& map, Painter& painter,
               GeometryEngine& engine, const RgbaImage& image) {
    if (!IsVisible(*layer)) {
        return;
    }
    if (auto group = std::dynamic_pointer_cast<IGroupLayer>(layer)) {
        const auto members = group->Layers();
        for (auto it = members.rbegin(); it != members.rend(); ++it) {
            drawLayer(*it, map, painter, engine, image);
        }
    } else if (auto feature = std::dynamic_pointer_cast<FeatureLayer>(layer)) {
        drawFeatureLayer(*feature, map, painter, engine);
    } else if (auto raster = std::dynamic_pointer_cast<RasterLayer>(layer)) {
        drawRasterLayer(*raster, painter, image);
    }
}

} // namespace

RgbaImage::RgbaImage(int w, int h, Colour background)
    : width(std::max(w, 0)), height(std::max(h, 0)),
      rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4U) {
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = static_cast<std::uint8_t>(redOf(background));
        rgba[i + 1] = static_cast<std::uint8_t>(greenOf(background));
        rgba[i + 2] = static_cast<std::uint8_t>(blueOf(background));
        rgba[i + 3] = 255;
    }
}

Colour RgbaImage::At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)) *
                          4U;
    return rgb(rgba[i], rgba[i + 1], rgba[i + 2]);
}

void Canvas::Plot(int x, int y, Colour colour) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) {
        return;
    }
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image_.width) +
                           static_cast<std::size_t>(x)) *
                          4U;
    image_.rgba[i] = static_cast<std::uint8_t>(redOf(colour));
    image_.rgba[i + 1] = static_cast<std::uint8_t>(greenOf(colour));
    image_.rgba[i + 2] = static_cast<std::uint8_t>(blueOf(colour));
    image_.rgba[i + 3] = 255;
}

void Canvas::Line(double x0, double y0, double x1, double y1, double width, Colour colour) {
    const double half = std::max(width, 1.0) / 2.0;
    if (!clip(x0, y0, x1, y1, -half - 1, -half - 1, image_.width + half + 1,
              image_.height + half + 1)) {
        return;
    }
    const double length = std::hypot(x1 - x0, y1 - y0);
    const int steps = std::max(1, static_cast<int>(std::ceil(length * 2.0)));
    const int radius = static_cast<int>(std::floor(half));
    for (int s = 0; s <= steps; ++s) {
        const double t = static_cast<double>(s) / steps;
        const int cx = static_cast<int>(std::floor(x0 + (x1 - x0) * t));
        const int cy = static_cast<int>(std::floor(y0 + (y1 - y0) * t));
        if (radius == 0) {
            Plot(cx, cy, colour);
            continue;
        }
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                if (dx * dx + dy * dy <= radius * radius) {
                    Plot(cx + dx, cy + dy, colour);
                }
            }
        }
    }
}

void Canvas::FillRings(const std::vector<PixelRing>& rings, Colour colour) {
    double minY = 1e300;
    double maxY = -1e300;
    for (const auto& ring : rings) {
        for (const auto& p : ring) {
            minY = std::min(minY, p.second);
            maxY = std::max(maxY, p.second);
        }
    }
    const int top = std::max(0, static_cast<int>(std::floor(minY)));
    const int bottom = std::min(image_.height - 1, static_cast<int>(std::ceil(maxY)));
    std::vector<double> crossings;
    for (int y = top; y <= bottom; ++y) {
        const double sy = y + 0.5;
        crossings.clear();
        for (const auto& ring : rings) {
            const std::size_t n = ring.size();
            for (std::size_t i = 0; i < n; ++i) {
                const auto& a = ring[i];
                const auto& b = ring[(i + 1) % n];
                if ((a.second <= sy) != (b.second <= sy)) {
                    crossings.push_back(a.first + (sy - a.second) * (b.first - a.first) /
                                                      (b.second - a.second));
                }
            }
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            const int from = std::max(0, static_cast<int>(std::ceil(crossings[i] - 0.5)));
            const int to =
                std::min(image_.width - 1, static_cast<int>(std::floor(crossings[i + 1] - 0.5)));
            for (int x = from; x <= to; ++x) {
                Plot(x, y, colour);
            }
        }
    }
}

void Canvas::Marker(double x, double y, double size, int style, Colour colour) {
    const double half = std::max(size, 1.0) / 2.0;
    const int r = static_cast<int>(std::ceil(half));
    const int cx = static_cast<int>(std::floor(x));
    const int cy = static_cast<int>(std::floor(y));
    for (int dy = -r; dy <= r; ++dy) {
        for (int dx = -r; dx <= r; ++dx) {
            bool on = false;
            switch (style) {
            case 1:
                on = std::abs(dx) <= half && std::abs(dy) <= half;
                break;
            case 2:
                on = (dx == 0 || dy == 0) && std::abs(dx) <= half && std::abs(dy) <= half;
                break;
            default:
                on = dx * dx + dy * dy <= half * half;
                break;
            }
            if (on) {
                Plot(cx + dx, cy + dy, colour);
            }
        }
    }
}

RgbaImage RenderView(Map& map, ActiveView& view, Size size, bool pageLayout) {
    const int w = std::max(size.width, 1);
    const int h = std::max(size.height, 1);
    RgbaImage image(w, h, pageLayout ? rgb(200, 200, 200) : kWhite);
    if (pageLayout) {
        // A sheet with a margin; what the view draws lands on it.
        const int margin = std::min(w, h) / 20;
        Canvas canvas(image);
        for (int y = margin; y < h - margin; ++y) {
            for (int x = margin; x < w - margin; ++x) {
                canvas.Plot(x, y, kWhite);
            }
        }
    }
    DisplayTransformation transformation(
        [w, h] {
            return Size{w, h};
        },
        view.Transformation().VisibleBounds());
    Painter painter(image, transformation, 0, 0);
    GeometryEngine engine;
    if (!pageLayout) {
        for (int i = map.LayerCount() - 1; i >= 0; --i) {
            drawLayer(map.Layer(i), map, painter, engine, image);
        }
    }
    for (const auto& element : view.Elements()) {
        painter.symbolised(element.polyline, element.symbol);
    }
    for (const auto& drawing : view.Display().Drawings()) {
        painter.symbolised(drawing.geometry, drawing.symbol);
    }
    return image;
}

Bitmap ToBitmap(const RgbaImage& image) {
    Bitmap bitmap;
    bitmap.width = image.width;
    bitmap.height = image.height;
    bitmap.pixels.resize(static_cast<std::size_t>(image.width) *
                         static_cast<std::size_t>(image.height));
    for (std::size_t i = 0; i < bitmap.pixels.size(); ++i) {
        const std::uint32_t r = image.rgba[i * 4];
        const std::uint32_t g = image.rgba[i * 4 + 1];
        const std::uint32_t b = image.rgba[i * 4 + 2];
        bitmap.pixels[i] = (r << 16) | (g << 8) | b;
    }
    return bitmap;
}

void WritePng(const RgbaImage& image, const std::filesystem::path& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&png, path.c_str(), 0, image.rgba.data(), 0, nullptr) == 0) {
        const std::string reason = png.message;
        png_image_free(&png);
        throw PortError("WritePng", "cannot write " + path.string() + ": " + reason);
    }
}

RgbaImage ReadPng(const std::filesystem::path& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0) {
        throw PortError("ReadPng", "cannot read " + path.string() + ": " + png.message);
    }
    png.format = PNG_FORMAT_RGBA;
    RgbaImage image;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgba.assign(PNG_IMAGE_SIZE(png), 0);
    if (png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) == 0) {
        const std::string reason = png.message;
        png_image_free(&png);
        throw PortError("ReadPng", "cannot decode " + path.string() + ": " + reason);
    }
    return image;
}

} // namespace scribeline::gis
