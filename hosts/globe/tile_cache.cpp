#include "hosts/globe/tile_cache.hpp"

#include "hosts/globe/render.hpp"

#include <algorithm>
#include <cmath>

namespace scribeline::globe {

double TileKey::SizeDegrees() const {
    return std::ldexp(90.0, -level);
}

std::shared_ptr<const Tile> BuildTile(const TileKey& key, const TerrainSurface& surface) {
    constexpr int n = Tile::kSide;
    constexpr int b = n + 2; // with the border
    const double size = key.SizeDegrees();
    const double step = size / Tile::kSegments;
    const double west = key.West();
    const double north = key.North();
    const ElevationModel* model = surface.Model();

    // Heights with a one-vertex border; border latitudes beyond a pole are clamped, which
    // only flattens the slope there.
    std::vector<double> height(static_cast<std::size_t>(b * b));
    for (int i = 0; i < b; ++i) {
        const double lat = std::clamp(north - (i - 1) * step, -90.0, 90.0);
        for (int j = 0; j < b; ++j) {
            height[static_cast<std::size_t>(i * b + j)] =
                surface.Height(lat, west + (j - 1) * step);
        }
    }
    const auto h = [&](int i, int j) { return height[static_cast<std::size_t>(i * b + j)]; };

    auto tile = std::make_shared<Tile>();
    tile->key = key;
    tile->position.resize(Tile::kVertices);
    tile->longitude.resize(Tile::kVertices);
    tile->latitude.resize(Tile::kVertices);
    tile->colour.resize(Tile::kVertices * 3);
    tile->shade.resize(Tile::kVertices);
    tile->spacing = step * MetresPerDegreeLatitude(0.0);
    tile->minHeight = 1e300;
    tile->maxHeight = -1e300;

    const double metresLat =
        step * MetresPerDegreeLatitude(std::clamp(north - 0.5 * size, -89.0, 89.0));
    for (int i = 0; i < n; ++i) {
        const double lat = north - i * step;
        const double metresLon = std::max(step * MetresPerDegreeLongitude(lat), 1.0);
        for (int j = 0; j < n; ++j) {
            const auto v = static_cast<std::size_t>(i * n + j);
            const double z = h(i + 1, j + 1);
            const double lon = west + j * step;
            tile->position[v] = ToEcef({lat, lon, z});
            tile->longitude[v] = static_cast<float>(lon);
            tile->latitude[v] = static_cast<float>(lat);
            tile->minHeight = std::min(tile->minHeight, z);
            tile->maxHeight = std::max(tile->maxHeight, z);
            // Imagery colours come from the true elevation even with the terrain off.
            const double elevation = surface.TerrainOn() ? z / surface.Exaggeration()
                                     : model != nullptr  ? model->Elevation(lat, lon)
                                                         : 0.0;
            const double gx = (h(i + 1, j + 2) - h(i + 1, j)) / (2.0 * metresLon);
            const double gy = (h(i, j + 1) - h(i + 2, j + 1)) / (2.0 * metresLat);
            const double shade = HillShade(gx, gy);
            const auto tint = TerrainTint(elevation);
            tile->shade[v] = static_cast<float>(shade);
            for (std::size_t c = 0; c < 3; ++c) {
                tile->colour[v * 3 + c] = static_cast<float>(tint[c] * shade);
            }
        }
    }

    // The skirt reaches below whatever a coarser or finer neighbour may show along the edge:
    // the tile's own relief plus a share of its size.
    tile->skirtDepth = (tile->maxHeight - tile->minHeight) + 0.05 * tile->spacing + 10.0;
    int s = Tile::kGridVertices;
    const auto hang = [&](int i, int j) {
        const auto from = static_cast<std::size_t>(i * n + j);
        const auto to = static_cast<std::size_t>(s++);
        const double lat = north - i * step;
        const double lon = west + j * step;
        tile->position[to] = ToEcef({lat, lon, h(i + 1, j + 1) - tile->skirtDepth});
        tile->longitude[to] = tile->longitude[from];
        tile->latitude[to] = tile->latitude[from];
        tile->shade[to] = tile->shade[from];
        for (std::size_t c = 0; c < 3; ++c) {
            tile->colour[to * 3 + c] = tile->colour[from * 3 + c];
        }
    };
    for (int k = 0; k < n; ++k) {
        hang(0, k);
    }
    for (int k = 0; k < n; ++k) {
        hang(n - 1, k);
    }
    for (int k = 0; k < n; ++k) {
        hang(k, 0);
    }
    for (int k = 0; k < n; ++k) {
        hang(k, n - 1);
    }

    Vec3 lo{1e300, 1e300, 1e300};
    Vec3 hi{-1e300, -1e300, -1e300};
    for (const Vec3& p : tile->position) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    tile->centre = (lo + hi) * 0.5;
    for (const Vec3& p : tile->position) {
        tile->radius = std::max(tile->radius, norm(p - tile->centre));
    }
    return tile;
}

TileCache::TileCache(std::size_t capacity) : capacity_(capacity) {}

void TileCache::UseSurface(const TerrainSurface& surface) {
    if (haveSurface_ && surface.Model() == model_ && surface.TerrainOn() == terrainOn_ &&
        surface.Exaggeration() == exaggeration_) {
        return;
    }
    tiles_.clear();
    model_ = surface.Model();
    terrainOn_ = surface.TerrainOn();
    exaggeration_ = surface.Exaggeration();
    haveSurface_ = true;
}

std::shared_ptr<const Tile> TileCache::Find(const TileKey& key, std::uint64_t frame) {
    const auto it = tiles_.find(key);
    if (it == tiles_.end()) {
        return nullptr;
    }
    it->second.lastUsed = frame;
    return it->second.tile;
}

void TileCache::Insert(std::shared_ptr<const Tile> tile, std::uint64_t frame) {
    const TileKey key = tile->key;
    tiles_[key] = Entry{std::move(tile), frame};
}

void TileCache::Trim(std::uint64_t frame) {
    if (tiles_.size() <= capacity_) {
        return;
    }
    std::vector<std::pair<std::uint64_t, TileKey>> ages;
    ages.reserve(tiles_.size());
    for (const auto& [key, entry] : tiles_) {
        if (entry.lastUsed != frame) {
            ages.emplace_back(entry.lastUsed, key);
        }
    }
    std::sort(ages.begin(), ages.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [age, key] : ages) {
        if (tiles_.size() <= capacity_) {
            break;
        }
        tiles_.erase(key);
    }
}

} // namespace scribeline::globe
