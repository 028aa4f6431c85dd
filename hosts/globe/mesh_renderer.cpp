#include "hosts/globe/mesh_renderer.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <thread>

namespace scribeline::globe {

namespace {

constexpr int kMaxLevel = 20;
// Largest spacing of grid rows on the screen, pixels, before a tile is split: a full frame
// keeps the mesh within a few pixels of the terrain, a frame while dragging twice that.
constexpr double kFullSpacingPixels = 12.0;
constexpr double kInteractiveSpacingPixels = 24.0;
// New tiles an interactive frame may build; the rest waits for the frame after input stops.
constexpr int kInteractiveBuildBudget = 48;
constexpr int kMaxDrawnTiles = 6000;

struct Colour3 {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

Colour3 Mix(Colour3 a, Colour3 b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

std::uint8_t Byte(double v) {
    return static_cast<std::uint8_t>(std::clamp(v + 0.5, 0.0, 255.0));
}

// Attributes carried to each pixel: base colour (tint and shade), shade, haze, longitude,
// latitude.
constexpr int kAttributes = 7;

struct ScreenVertex {
    double x = 0.0;                      // pixels, x right
    double y = 0.0;                      // pixels, y down
    double w = 0.0;                      // 1 / depth
    std::array<double, kAttributes> a{}; // attributes times w
};

struct CameraVertex {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0; // depth along the view direction
    std::array<double, kAttributes> a{};
};

// A frustum side plane through the eye: outward normal.
struct Planes {
    std::array<Vec3, 4> normal;
};

Planes SidePlanes(const CameraPose& pose) {
    return {{normalized(pose.right - pose.forward * pose.tanHalfX),
             normalized(-pose.right - pose.forward * pose.tanHalfX),
             normalized(pose.up - pose.forward * pose.tanHalfY),
             normalized(-pose.up - pose.forward * pose.tanHalfY)}};
}

class Selection {
public:
    Selection(const CameraPose& pose, const TerrainSurface& surface, int width, double threshold)
        : pose_(pose), planes_(SidePlanes(pose)), threshold_(threshold),
          focalPixels_(width / (2.0 * pose.tanHalfX)) {
        eyeDistance_ = norm(pose.eye);
        inner_ = wgs84::b + std::min(0.0, surface.MinHeight()) - 100.0;
        eyeHorizon_ = eyeDistance_ > inner_ ? std::acos(inner_ / eyeDistance_) : kPi;
    }

    [[nodiscard]] bool Visible(const Tile& t) const {
        const Vec3 d = t.centre - pose_.eye;
        if (dot(d, pose_.forward) < -t.radius) {
            return false;
        }
        for (const Vec3& n : planes_.normal) {
            if (dot(d, n) > t.radius) {
                return false;
            }
        }
        if (eyeHorizon_ >= kPi) {
            return true;
        }
        // Beyond the horizon: the tile's nearest part lies further round the globe than the
        // eye's horizon plus the horizon of its highest ground.
        const double c = norm(t.centre);
        const double angle =
            std::acos(std::clamp(dot(t.centre, pose_.eye) / (c * eyeDistance_), -1.0, 1.0));
        const double spread = t.radius >= c ? kPi : std::asin(t.radius / c);
        const double top = wgs84::a + std::max(0.0, t.maxHeight);
        const double own = top > inner_ ? std::acos(inner_ / top) : 0.0;
        return angle - spread <= eyeHorizon_ + own;
    }

    // Tiles around the eye: a coarse stand-in there could rise above the eye or hide the
    // ground right in front of it, so these are always refined.
    [[nodiscard]] bool AroundEye(const Tile& t) const {
        return norm(t.centre - pose_.eye) < 2.0 * t.radius;
    }

    [[nodiscard]] bool WantsSplit(const Tile& t) const {
        if (t.key.level >= kMaxLevel) {
            return false;
        }
        const double distance = std::max(norm(t.centre - pose_.eye) - t.radius, 1.0);
        return t.spacing / distance * focalPixels_ > threshold_;
    }

private:
    const CameraPose& pose_;
    Planes planes_;
    double threshold_;
    double focalPixels_;
    double eyeDistance_ = 0.0;
    double inner_ = 0.0;
    double eyeHorizon_ = 0.0;
};

// Runs f(0) and f(1), the second on a helper thread.
template <typename F> void OnTwoThreads(F&& f) {
    std::thread helper([&f] { f(1); });
    f(0);
    helper.join();
}

class Raster {
public:
    Raster(int width, int height, const Drape* drape, Colour3 horizon)
        : width_(width), drape_(drape), horizon_(horizon),
          depth_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0) {}

    std::vector<ScreenVertex> vertices;
    std::vector<std::uint32_t> indices; // triangles

    // Draws the triangles into rows [top, bottom) of the image.
    void Band(Image& image, int top, int bottom) {
        for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
            Triangle(image, vertices[indices[t]], vertices[indices[t + 1]],
                     vertices[indices[t + 2]], top, bottom);
        }
    }

    [[nodiscard]] bool Covered(int x, int y) const {
        return depth_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                      static_cast<std::size_t>(x)] > 0.0;
    }

private:
    void Triangle(Image& image, const ScreenVertex& a, ScreenVertex b, ScreenVertex c, int top,
                  int bottom) {
        double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (!(std::abs(area) > 1e-12)) {
            return;
        }
        if (area < 0.0) {
            std::swap(b, c);
            area = -area;
        }
        // Clamped before the conversion: a vertex just past the near plane projects far
        // outside any int.
        const auto pixel = [](double v, int lo, int hi) {
            return static_cast<int>(
                std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
        };
        if (!(std::isfinite(a.x + a.y + b.x + b.y + c.x + c.y))) {
            return;
        }
        const int x0 = pixel(std::floor(std::min({a.x, b.x, c.x}) - 0.5), 0, width_);
        const int x1 = pixel(std::ceil(std::max({a.x, b.x, c.x}) - 0.5), -1, width_ - 1);
        const int y0 = pixel(std::floor(std::min({a.y, b.y, c.y}) - 0.5), top, bottom);
        const int y1 = pixel(std::ceil(std::max({a.y, b.y, c.y}) - 0.5), top - 1, bottom - 1);
        if (x0 > x1 || y0 > y1) {
            return;
        }
        // Edge functions, positive inside; a pixel centre exactly on a shared edge belongs to
        // both triangles, so rounding can never open a gap between them.
        const auto edge = [](const ScreenVertex& p, const ScreenVertex& q, double x, double y) {
            return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
        };
        const double inv = 1.0 / area;
        constexpr double kSlack = -1e-9;
        for (int y = y0; y <= y1; ++y) {
            const double py = y + 0.5;
            double w0 = edge(b, c, x0 + 0.5, py);
            double w1 = edge(c, a, x0 + 0.5, py);
            double w2 = edge(a, b, x0 + 0.5, py);
            const double d0 = -(c.y - b.y);
            const double d1 = -(a.y - c.y);
            const double d2 = -(b.y - a.y);
            for (int x = x0; x <= x1; ++x, w0 += d0, w1 += d1, w2 += d2) {
                if (w0 < kSlack || w1 < kSlack || w2 < kSlack) {
                    continue;
                }
                const double l0 = w0 * inv;
                const double l1 = w1 * inv;
                const double l2 = w2 * inv;
                const double w = l0 * a.w + l1 * b.w + l2 * c.w;
                double& stored =
                    depth_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                           static_cast<std::size_t>(x)];
                if (w <= stored) {
                    continue;
                }
                stored = w;
                std::array<double, kAttributes> v{};
                const double z = 1.0 / w;
                // Without a drape the colour is final at the vertices: three attributes do.
                const std::size_t used = drape_ != nullptr ? kAttributes : 3;
                for (std::size_t k = 0; k < used; ++k) {
                    v[k] = (l0 * a.a[k] + l1 * b.a[k] + l2 * c.a[k]) * z;
                }
                Shade(image, x, y, v);
            }
        }
    }

    void Shade(Image& image, int x, int y, const std::array<double, kAttributes>& v) const {
        Colour3 colour{v[0], v[1], v[2]};
        if (drape_ != nullptr) {
            const DrapeArea& area = drape_->area;
            double u = std::fmod(v[5] - area.west, 360.0);
            if (u < 0.0) {
                u += 360.0;
            }
            const double span = area.east - area.west;
            if (u <= span && v[6] <= area.north && v[6] >= area.south) {
                const Image& img = drape_->image;
                const int col = std::min(img.width - 1, static_cast<int>(u / span * img.width));
                const int row = std::min(
                    img.height - 1,
                    static_cast<int>((area.north - v[6]) / (area.north - area.south) * img.height));
                const std::uint8_t* p = img.At(col, row);
                const double alpha = p[3] / 255.0;
                colour = Mix(colour, Colour3{p[0] * v[3], p[1] * v[3], p[2] * v[3]}, alpha);
            }
            colour = Mix(colour, horizon_, v[4]);
        }
        std::uint8_t* out = image.At(x, y);
        out[0] = Byte(colour.r);
        out[1] = Byte(colour.g);
        out[2] = Byte(colour.b);
        out[3] = 255;
    }

    int width_;
    const Drape* drape_;
    Colour3 horizon_;
    std::vector<double> depth_; // 1 / depth; 0 where nothing was drawn
};

// Near-plane clipping of one triangle in camera space: up to two triangles.
int ClipNear(const std::array<CameraVertex, 3>& in, double nearZ,
             std::array<CameraVertex, 4>& out) {
    int n = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const CameraVertex& p = in[i];
        const CameraVertex& q = in[(i + 1) % 3];
        const bool pIn = p.z >= nearZ;
        const bool qIn = q.z >= nearZ;
        if (pIn) {
            out[static_cast<std::size_t>(n++)] = p;
        }
        if (pIn != qIn) {
            const double t = (nearZ - p.z) / (q.z - p.z);
            CameraVertex m;
            m.x = p.x + (q.x - p.x) * t;
            m.y = p.y + (q.y - p.y) * t;
            m.z = nearZ;
            for (std::size_t k = 0; k < kAttributes; ++k) {
                m.a[k] = p.a[k] + (q.a[k] - p.a[k]) * t;
            }
            out[static_cast<std::size_t>(n++)] = m;
        }
    }
    return n;
}

KmlDocument OutlineDocument(const std::vector<DemOutline>& outlines) {
    KmlDocument doc;
    doc.name = "DEM outlines";
    constexpr int kSteps = 32; // parallels are curves on the screen
    for (const DemOutline& o : outlines) {
        KmlPlacemark pm;
        pm.style.lineColour = KmlColour{255, 0, 200, 255}; // a magenta no terrain tint uses
        pm.style.lineWidth = 2.0;
        KmlGeometry g;
        g.kind = KmlGeometry::Kind::LinearRing;
        g.altitudeMode = AltitudeMode::ClampToGround;
        const auto along = [&](double lon0, double lat0, double lon1, double lat1) {
            for (int i = 0; i < kSteps; ++i) {
                const double t = static_cast<double>(i) / kSteps;
                g.coordinates.push_back(
                    {WrapDegrees(lon0 + (lon1 - lon0) * t), lat0 + (lat1 - lat0) * t, 0.0});
            }
        };
        along(o.west, o.north, o.east, o.north);
        along(o.east, o.north, o.east, o.south);
        along(o.east, o.south, o.west, o.south);
        along(o.west, o.south, o.west, o.north);
        pm.geometries.push_back(std::move(g));
        doc.placemarks.push_back(std::move(pm));
    }
    return doc;
}

// Whether a drape has anything to drape.
bool Drapes(const Drape* drape) {
    return drape != nullptr && drape->image.width >= 1 && drape->image.height >= 1 &&
           drape->area.east > drape->area.west && drape->area.north > drape->area.south;
}

} // namespace

int DrapeArea::Columns() const {
    return std::max(1, static_cast<int>(std::lround((east - west) / pixelDegrees)));
}
int DrapeArea::Rows() const {
    return std::max(1, static_cast<int>(std::lround((north - south) / pixelDegrees)));
}

MeshRenderer::MeshRenderer(std::size_t maxCachedTiles) : cache_(maxCachedTiles) {}

void CheckFrameRequest(const FrameRequest& request) {
    const CameraState& c = request.camera;
    if (request.width < 1 || request.height < 1) {
        throw std::invalid_argument("frame request: the view needs at least one pixel");
    }
    if (!std::isfinite(c.FocusPointLatitude) || !std::isfinite(c.FocusPointLongitude) ||
        !std::isfinite(c.FocusPointAltitude) || !std::isfinite(c.Range) || !std::isfinite(c.Tilt) ||
        !std::isfinite(c.Azimuth) || !(c.Range > 0.0) || std::abs(c.FocusPointLatitude) > 90.0 ||
        std::abs(c.Tilt) > 90.0) {
        throw std::invalid_argument("frame request: the camera has no place in space");
    }
}

Image MeshRenderer::Render(const FrameRequest& request, FrameQuality quality, const Drape* drape) {
    return Draw(request, quality, drape, nullptr);
}

Image MeshRenderer::Render(const FrameRequest& request, FrameQuality quality,
                           std::shared_ptr<const Drape> drape) {
    const Drape* borrowed = drape.get();
    return Draw(request, quality, borrowed, std::move(drape));
}

bool MeshRenderer::SameView(const TerrainFrame& t, const FrameRequest& request,
                            const Drape* drape) {
    const CameraState& a = t.camera;
    const CameraState& b = request.camera;
    return a.FocusPointLatitude == b.FocusPointLatitude &&
           a.FocusPointLongitude == b.FocusPointLongitude &&
           a.FocusPointAltitude == b.FocusPointAltitude &&
           a.FocusPointAltitudeMode == b.FocusPointAltitudeMode && a.Range == b.Range &&
           a.Tilt == b.Tilt && a.Azimuth == b.Azimuth && t.width == request.width &&
           t.height == request.height && t.surface.Model() == request.surface.Model() &&
           t.surface.TerrainOn() == request.surface.TerrainOn() &&
           t.surface.Exaggeration() == request.surface.Exaggeration() && t.drape.get() == drape;
}

bool MeshRenderer::KeepsTerrainFor(const FrameRequest& request, FrameQuality quality,
                                   const Drape* drape) const {
    const std::optional<TerrainFrame>& slot = terrain_[quality == FrameQuality::Full ? 1 : 0];
    return slot && SameView(*slot, request, Drapes(drape) ? drape : nullptr);
}

Image MeshRenderer::Draw(const FrameRequest& request, FrameQuality quality, const Drape* drape,
                         std::shared_ptr<const Drape> kept) {
    CheckFrameRequest(request);
    if (!Drapes(drape)) {
        drape = nullptr;
        kept.reset();
    }
    ++frame_;
    // A borrowed drape has no identity beyond its address, which a later one may take over.
    const bool identified = drape == nullptr || kept != nullptr;
    std::optional<TerrainFrame>& slot = terrain_[quality == FrameQuality::Full ? 1 : 0];
    Image image;
    CameraPose pose;
    if (identified && slot && SameView(*slot, request, drape)) {
        image = slot->image;
        pose = slot->pose;
        stats_ = slot->stats;
        stats_.tilesBuilt = 0;
        stats_.terrainReused = true;
    } else {
        // Pictures of other views go before the next one is made (with their drapes).
        for (auto& other : terrain_) {
            if (other && !(identified && SameView(*other, request, drape))) {
                other.reset();
            }
        }
        slot.reset();
        stats_ = {};
        pose = PoseFor(request.camera, FocusHeight(request.camera, request.surface),
                       request.surface, request.width, request.height);
        bool complete = true;
        image = DrawTerrain(request, pose, quality, drape, complete);
        ++rasterisations_;
        if (identified && complete) {
            slot = TerrainFrame{request.camera,  request.width, request.height, request.surface,
                                std::move(kept), pose,          stats_,         image};
        }
    }

    // ---- documents, DEM outlines, overlays ----
    std::vector<const KmlDocument*> documents;
    KmlDocument outlines;
    if (request.documents) {
        for (const auto& d : request.documents->documents) {
            documents.push_back(d.get());
        }
        if (!request.documents->demOutlines.empty()) {
            outlines = OutlineDocument(request.documents->demOutlines);
            documents.push_back(&outlines);
        }
    }
    DrawOverTerrain(image, pose, request.surface, documents, request.overlays);
    return image;
}

Image MeshRenderer::DrawTerrain(const FrameRequest& request, const CameraPose& pose,
                                FrameQuality quality, const Drape* drape, bool& complete) {
    const int width = request.width;
    const int height = request.height;
    const TerrainSurface& surface = request.surface;
    cache_.UseSurface(surface);

    // ---- which tiles: breadth first, a level at a time, building the missing ones on two
    // threads ----
    const bool full = quality == FrameQuality::Full;
    const Selection selection(pose, surface, width,
                              full ? kFullSpacingPixels : kInteractiveSpacingPixels);
    int budget = full ? 1 << 30 : kInteractiveBuildBudget;
    std::vector<std::shared_ptr<const Tile>> leaves;
    std::vector<TileKey> frontier;
    for (int y = 0; y < TileKey::Rows(0); ++y) {
        for (int x = 0; x < TileKey::Columns(0); ++x) {
            frontier.push_back({0, x, y});
        }
    }
    while (!frontier.empty()) {
        std::vector<std::shared_ptr<const Tile>> tiles(frontier.size());
        std::vector<std::size_t> missing;
        for (std::size_t i = 0; i < frontier.size(); ++i) {
            tiles[i] = cache_.Find(frontier[i], frame_);
            if (!tiles[i]) {
                missing.push_back(i);
            }
        }
        if (!missing.empty()) {
            OnTwoThreads([&](int part) {
                for (std::size_t m = static_cast<std::size_t>(part); m < missing.size(); m += 2) {
                    tiles[missing[m]] = BuildTile(frontier[missing[m]], surface);
                }
            });
            for (std::size_t m : missing) {
                cache_.Insert(tiles[m], frame_);
            }
            stats_.tilesBuilt += static_cast<int>(missing.size());
        }
        std::vector<TileKey> next;
        std::vector<std::shared_ptr<const Tile>> splitting;
        for (const auto& tile : tiles) {
            if (!selection.Visible(*tile)) {
                continue;
            }
            if (selection.WantsSplit(*tile) &&
                leaves.size() + next.size() < static_cast<std::size_t>(kMaxDrawnTiles)) {
                splitting.push_back(tile);
            } else {
                leaves.push_back(tile);
            }
        }
        // Children not cached cost a build each; past the budget their parent stands in.
        for (const auto& tile : splitting) {
            std::array<TileKey, 4> children;
            int cost = 0;
            for (int k = 0; k < 4; ++k) {
                children[static_cast<std::size_t>(k)] = {
                    tile->key.level + 1, tile->key.x * 2 + (k & 1), tile->key.y * 2 + (k >> 1)};
                if (!cache_.Find(children[static_cast<std::size_t>(k)], frame_)) {
                    ++cost;
                }
            }
            if (cost > budget && !selection.AroundEye(*tile)) {
                leaves.push_back(tile);
                complete = false;
                continue;
            }
            budget -= std::min(cost, budget);
            next.insert(next.end(), children.begin(), children.end());
        }
        frontier = std::move(next);
    }
    cache_.Trim(frame_);

    // ---- camera space, near clipping, projection ----
    const Geodetic eyeGeo = ToGeodetic(pose.eye);
    const bool space = eyeGeo.height > 150000.0;
    const Colour3 zenith = space ? Colour3{4, 6, 18} : Colour3{55, 95, 170};
    const Colour3 horizon = space ? Colour3{40, 70, 130} : Colour3{175, 205, 235};
    const double clearance = eyeGeo.height - surface.Height(eyeGeo.latitude, eyeGeo.longitude);
    const double nearZ = std::max(0.5, 0.05 * clearance);

    Raster raster(width, height, drape, horizon);
    const auto project = [&](const CameraVertex& v) {
        ScreenVertex s;
        s.w = 1.0 / v.z;
        s.x = (v.x * s.w / pose.tanHalfX + 1.0) * 0.5 * width;
        s.y = (1.0 - v.y * s.w / pose.tanHalfY) * 0.5 * height;
        for (std::size_t k = 0; k < kAttributes; ++k) {
            s.a[k] = v.a[k] * s.w;
        }
        return s;
    };
    std::vector<CameraVertex> camera(Tile::kVertices);
    std::vector<std::uint32_t> screenIndex(Tile::kVertices);
    const auto triangle = [&](std::uint32_t i, std::uint32_t j, std::uint32_t k) {
        const std::array<CameraVertex, 3> t{camera[i], camera[j], camera[k]};
        const bool allIn = t[0].z >= nearZ && t[1].z >= nearZ && t[2].z >= nearZ;
        if (allIn) {
            raster.indices.insert(raster.indices.end(),
                                  {screenIndex[i], screenIndex[j], screenIndex[k]});
            return;
        }
        std::array<CameraVertex, 4> clipped;
        const int n = ClipNear(t, nearZ, clipped);
        if (n < 3) {
            return;
        }
        const auto base = static_cast<std::uint32_t>(raster.vertices.size());
        for (int v = 0; v < n; ++v) {
            raster.vertices.push_back(project(clipped[static_cast<std::size_t>(v)]));
        }
        for (int v = 1; v + 1 < n; ++v) {
            raster.indices.insert(raster.indices.end(), {base, base + static_cast<std::uint32_t>(v),
                                                         base + static_cast<std::uint32_t>(v + 1)});
        }
    };
    constexpr int n = Tile::kSide;
    constexpr auto kGrid = static_cast<std::uint32_t>(Tile::kGridVertices);
    for (const auto& tile : leaves) {
        for (std::size_t v = 0; v < static_cast<std::size_t>(Tile::kVertices); ++v) {
            const Vec3 d = tile->position[v] - pose.eye;
            CameraVertex& c = camera[v];
            c.x = dot(d, pose.right);
            c.y = dot(d, pose.up);
            c.z = dot(d, pose.forward);
            // Haze over long distances; without a drape it goes into the vertex colour.
            const double haze = std::clamp((norm(d) - 2.0e5) / 1.0e7, 0.0, 0.4);
            Colour3 colour{tile->colour[v * 3], tile->colour[v * 3 + 1], tile->colour[v * 3 + 2]};
            if (drape == nullptr) {
                colour = Mix(colour, horizon, haze);
            }
            c.a = {colour.r, colour.g,           colour.b,         tile->shade[v],
                   haze,     tile->longitude[v], tile->latitude[v]};
            if (c.z >= nearZ) {
                screenIndex[v] = static_cast<std::uint32_t>(raster.vertices.size());
                raster.vertices.push_back(project(c));
            }
        }
        const auto at = [](int i, int j) { return static_cast<std::uint32_t>(i * n + j); };
        for (int i = 0; i + 1 < n; ++i) {
            for (int j = 0; j + 1 < n; ++j) {
                triangle(at(i, j), at(i + 1, j), at(i + 1, j + 1));
                triangle(at(i, j), at(i + 1, j + 1), at(i, j + 1));
            }
        }
        // Skirts: top, bottom, left and right edges.
        const std::array<std::pair<int, int>, 4> edges = {
            std::pair{0, 1}, std::pair{(n - 1) * n, 1}, std::pair{0, n}, std::pair{n - 1, n}};
        for (std::uint32_t e = 0; e < 4; ++e) {
            const auto [start, stride] = edges[e];
            const std::uint32_t skirt = kGrid + e * static_cast<std::uint32_t>(n);
            for (int k = 0; k + 1 < n; ++k) {
                const auto a = static_cast<std::uint32_t>(start + k * stride);
                const auto b = static_cast<std::uint32_t>(start + (k + 1) * stride);
                const std::uint32_t a2 = skirt + static_cast<std::uint32_t>(k);
                triangle(a, b, a2 + 1);
                triangle(a, a2 + 1, a2);
            }
        }
    }
    stats_.tilesDrawn = static_cast<int>(leaves.size());
    stats_.triangles = raster.indices.size() / 3;

    // ---- rasterise: two bands of rows on two threads ----
    Image image(width, height);
    const int middle = height / 2;
    OnTwoThreads([&](int part) {
        if (part == 0) {
            raster.Band(image, 0, middle);
        } else {
            raster.Band(image, middle, height);
        }
    });
    for (int y = 0; y < height; ++y) {
        const Colour3 sky = Mix(horizon, zenith, std::clamp(1.0 - y / (0.7 * height), 0.0, 1.0));
        for (int x = 0; x < width; ++x) {
            if (!raster.Covered(x, y)) {
                std::uint8_t* p = image.At(x, y);
                p[0] = Byte(sky.r);
                p[1] = Byte(sky.g);
                p[2] = Byte(sky.b);
                p[3] = 255;
            }
        }
    }

    return image;
}

std::optional<DrapeArea> DrapeAreaFor(const FrameRequest& request, double margin) {
    const TerrainSurface& surface = request.surface;
    const CameraPose pose = PoseFor(request.camera, FocusHeight(request.camera, surface), surface,
                                    request.width, request.height);
    const double pixelAngle = 2.0 * pose.tanHalfX / std::max(request.width, 1);
    const double centreLon = request.camera.FocusPointLongitude;
    double west = 1e300;
    double east = -1e300;
    double south = 1e300;
    double north = -1e300;
    double finest = 1e300;
    bool any = false;
    constexpr int kColumns = 17;
    constexpr int kRows = 11;
    for (int i = 0; i < kRows; ++i) {
        for (int j = 0; j < kColumns; ++j) {
            const double x = 2.0 * j / (kColumns - 1) - 1.0;
            const double y = 2.0 * i / (kRows - 1) - 1.0;
            const auto hit = CastRay(surface, pose.eye, RayDirection(pose, x, y), 0.0, 3.0);
            if (!hit) {
                continue;
            }
            any = true;
            const double lon = centreLon + WrapDegrees(hit->ground.longitude - centreLon);
            west = std::min(west, lon);
            east = std::max(east, lon);
            south = std::min(south, hit->ground.latitude);
            north = std::max(north, hit->ground.latitude);
            finest = std::min(finest, hit->distance * pixelAngle /
                                          MetresPerDegreeLatitude(hit->ground.latitude));
        }
    }
    if (!any) {
        return std::nullopt;
    }
    // A pole in view: every longitude meets there.
    for (const double pole : {90.0, -90.0}) {
        const Vec3 p = ToEcef({pole, 0.0, surface.Height(pole, 0.0)});
        const auto s = Project(pose, p);
        if (s && std::abs(s->x) <= 1.0 && std::abs(s->y) <= 1.0 &&
            dot(p - pose.eye, normalized(p)) < 0.0) {
            west = -180.0;
            east = 180.0;
            (pole > 0 ? north : south) = pole;
        }
    }
    const double marginLon = margin * (east - west);
    const double marginLat = margin * (north - south);
    DrapeArea area;
    area.south = std::max(-90.0, south - marginLat);
    area.north = std::min(90.0, north + marginLat);
    area.west = west - marginLon;
    area.east = east + marginLon;
    if (area.east - area.west >= 360.0) {
        area.west = -180.0;
        area.east = 180.0;
    }
    constexpr double kMaxSide = 4096.0;
    area.pixelDegrees = std::max(
        {finest, (area.east - area.west) / kMaxSide, (area.north - area.south) / kMaxSide, 1e-9});
    return area;
}

Image RenderMeshFrame(const FrameRequest& request, const DrapeProvider& drape) {
    MeshRenderer renderer;
    std::optional<Drape> d;
    if (drape) {
        if (const auto area = DrapeAreaFor(request)) {
            if (auto image = drape(*area)) {
                d = Drape{*area, std::move(*image)};
            }
        }
    }
    return renderer.Render(request, FrameQuality::Full, d ? &*d : nullptr);
}

std::shared_ptr<const DocumentSnapshot>
BorrowDocuments(const std::vector<const KmlDocument*>& documents,
                std::vector<DemOutline> demOutlines) {
    auto snapshot = std::make_shared<DocumentSnapshot>();
    for (const KmlDocument* d : documents) {
        // Aliasing an empty owner: the pointer is shared without being owned.
        snapshot->documents.emplace_back(std::shared_ptr<const void>{}, d);
    }
    snapshot->demOutlines = std::move(demOutlines);
    return snapshot;
}

} // namespace scribeline::globe
