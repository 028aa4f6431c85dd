// Terrain tiles of the mesh renderer: the globe split on a latitude/longitude quadtree, each
// tile a regular grid of vertices taken from a terrain surface, with a skirt hanging from its
// edges so that neighbours of different detail never leave a gap between them.
//
// Level 0 has 4 x 2 tiles of 90 degrees; every level halves the tile size. Tile (x, y) of a
// level starts at longitude -180 + x * size and latitude 90 - y * size (x eastwards, y
// southwards).
#pragma once

#include "hosts/globe/geodesy.hpp"
#include "hosts/globe/terrain.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace scribeline::globe {

struct TileKey {
    int level = 0;
    int x = 0;
    int y = 0;
    friend bool operator==(const TileKey&, const TileKey&) = default;
    [[nodiscard]] double SizeDegrees() const;
    [[nodiscard]] double West() const { return -180.0 + x * SizeDegrees(); }
    [[nodiscard]] double North() const { return 90.0 - y * SizeDegrees(); }
    [[nodiscard]] static int Columns(int level) { return 4 << level; }
    [[nodiscard]] static int Rows(int level) { return 2 << level; }
};

struct TileKeyHash {
    std::size_t operator()(const TileKey& k) const noexcept {
        return std::hash<std::uint64_t>{}((std::uint64_t(std::uint32_t(k.level)) << 58) ^
                                          (std::uint64_t(std::uint32_t(k.x)) << 29) ^
                                          std::uint64_t(std::uint32_t(k.y)));
    }
};

// A built tile. Vertices are the (kSegments + 1)^2 grid, rows north to south, then the skirt:
// the top, bottom, left and right edges again, each lowered by `skirtDepth`.
struct Tile {
    static constexpr int kSegments = 16;
    static constexpr int kSide = kSegments + 1;
    static constexpr int kGridVertices = kSide * kSide;
    static constexpr int kVertices = kGridVertices + 4 * kSide;

    TileKey key;
    std::vector<Vec3> position;   // ECEF, metres
    std::vector<float> longitude; // degrees, continuous across the tile (may reach 180)
    std::vector<float> latitude;  // degrees
    std::vector<float> colour;    // r, g, b per vertex (0..255): tint times hill shade
    std::vector<float> shade;     // the hill shade alone, for a drape
    Vec3 centre;                  // of the bounding sphere
    double radius = 0.0;          // metres, skirt included
    double minHeight = 0.0;       // metres above the ellipsoid, grid only
    double maxHeight = 0.0;
    double spacing = 0.0; // metres between neighbouring grid rows
    double skirtDepth = 0.0;
};

// Samples the surface for a tile: (kSide + 2)^2 heights (a border row for the slopes), so
// building one costs about 360 terrain look-ups. Thread-safe for distinct calls (elevation
// models are immutable).
std::shared_ptr<const Tile> BuildTile(const TileKey& key, const TerrainSurface& surface);

// The tiles built for one terrain surface, least recently used dropped first. Not
// thread-safe: one renderer owns it.
class TileCache {
public:
    explicit TileCache(std::size_t capacity = 4000);

    // Empties the cache when the surface differs from the one its tiles came from (another
    // model, terrain layer switched, another exaggeration).
    void UseSurface(const TerrainSurface& surface);
    // The cached tile (marked as used in `frame`), or null.
    [[nodiscard]] std::shared_ptr<const Tile> Find(const TileKey& key, std::uint64_t frame);
    void Insert(std::shared_ptr<const Tile> tile, std::uint64_t frame);
    // Drops the least recently used tiles above the capacity; tiles used in `frame` stay.
    void Trim(std::uint64_t frame);
    [[nodiscard]] std::size_t Size() const { return tiles_.size(); }

private:
    struct Entry {
        std::shared_ptr<const Tile> tile;
        std::uint64_t lastUsed = 0;
    };
    std::size_t capacity_;
    const ElevationModel* model_ = nullptr;
    bool terrainOn_ = false;
    double exaggeration_ = 0.0;
    bool haveSurface_ = false;
    std::unordered_map<TileKey, Entry, TileKeyHash> tiles_;
};

} // namespace scribeline::globe
