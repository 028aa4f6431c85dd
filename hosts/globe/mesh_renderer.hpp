// The fast picture of the globe: the terrain as a mesh of quadtree tiles (refined by their
// error on the screen, cached between frames) rasterised in software with a depth buffer on
// two threads, sky and haze, hill shading over a hypsometric tint or water, an optional map
// image draped over the ground, and the documents and overlays drawn on top exactly as the
// ray-cast picture draws them.
//
// The ray caster (camera.hpp) stays what terrain queries use; pictures from it remain the
// reference this renderer is compared with.
#pragma once

#include "hosts/globe/camera.hpp"
#include "hosts/globe/document_snapshot.hpp"
#include "hosts/globe/kml_document.hpp"
#include "hosts/globe/render.hpp"
#include "hosts/globe/terrain.hpp"
#include "hosts/globe/tile_cache.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace scribeline::globe {

// An area of the map wanted for the drape: degrees (east > west; may pass 180) and the
// ground size of one pixel in degrees of latitude and longitude alike.
struct DrapeArea {
    double west = 0.0;
    double south = 0.0;
    double east = 0.0;
    double north = 0.0;
    double pixelDegrees = 0.0;
    // The image size this asks for: one pixel per pixelDegrees, at least 1.
    [[nodiscard]] int Columns() const;
    [[nodiscard]] int Rows() const;
};

// A map image over an area: rows north to south, columns west to east, equal steps in
// latitude and longitude. Pixels with alpha 0 leave the terrain's own colour.
struct Drape {
    DrapeArea area;
    Image image;
};

// Renders the map over an area (the front end's map host). Returns nothing when it has no
// picture (the old drape then stays in use). May be empty.
using DrapeProvider = std::function<std::optional<Image>(const DrapeArea&)>;

// What one frame shows.
struct FrameRequest {
    CameraState camera; // as the client keeps it (normalised)
    TerrainSurface surface;
    std::shared_ptr<const DocumentSnapshot> documents; // may be null: nothing drawn over
    std::vector<Overlay> overlays;
    int width = 800; // pixels, at least 1
    int height = 500;
};

// Raises std::invalid_argument for a request no frame can show: a view without pixels, a
// camera with non-finite values, a range not above 0, a latitude or tilt beyond 90 degrees.
void CheckFrameRequest(const FrameRequest& request);

// Interactive frames take coarser tiles and build at most a few new ones (the cached parent
// stands in meanwhile); full frames refine everywhere.
enum class FrameQuality { Interactive, Full };

struct FrameStats {
    int tilesDrawn = 0;
    int tilesBuilt = 0;
    std::size_t triangles = 0;
    // The terrain picture of an earlier frame served again (only the documents were drawn).
    bool terrainReused = false;
};

// Renders frames, keeping the tiles between them, and the last terrain picture (ground and
// sky, nothing drawn over it) of each quality: a frame that differs from the one before only
// in its documents or overlays (a vertex added, a line drawn) copies that picture and draws
// the documents over the copy, which gives the very pixels a full redraw would. Not thread-safe:
// one thread renders (the frame itself uses a second thread internally).
class MeshRenderer {
public:
    explicit MeshRenderer(std::size_t maxCachedTiles = 4000);

    // `drape` may be null; when given it is borrowed for the call, and since a borrowed drape
    // cannot be told from a later one at the same address, a frame with it never reuses a
    // terrain picture. Raises std::invalid_argument as CheckFrameRequest does.
    Image Render(const FrameRequest& request, FrameQuality quality, const Drape* drape = nullptr);
    // The same with a drape the renderer may keep (null: none). The last terrain picture of
    // the quality is reused when the camera, the frame size, the terrain surface and this
    // drape object are the same as for the frame it was drawn for.
    Image Render(const FrameRequest& request, FrameQuality quality,
                 std::shared_ptr<const Drape> drape);
    [[nodiscard]] const FrameStats& LastStats() const { return stats_; }
    [[nodiscard]] std::size_t CachedTiles() const { return cache_.Size(); }
    // Terrain pictures rasterised since construction (frames that reused one do not count).
    [[nodiscard]] std::uint64_t TerrainRasterisations() const { return rasterisations_; }
    // Whether a frame of `request` at `quality` with the drape object `drape` (may be null)
    // would reuse a kept terrain picture, so it costs the documents alone.
    [[nodiscard]] bool KeepsTerrainFor(const FrameRequest& request, FrameQuality quality,
                                       const Drape* drape) const;

private:
    // A terrain picture and what it shows.
    struct TerrainFrame {
        CameraState camera;
        int width = 0;
        int height = 0;
        TerrainSurface surface;             // holds its model, so the address stays unique
        std::shared_ptr<const Drape> drape; // held for the same reason; null: none
        CameraPose pose;
        FrameStats stats;
        Image image;
    };

    Image Draw(const FrameRequest& request, FrameQuality quality, const Drape* drape,
               std::shared_ptr<const Drape> kept);
    // Ground and sky; `complete` turns false when tiles were left coarser than the view wants
    // (an interactive frame out of build budget), so the next frame may look different.
    Image DrawTerrain(const FrameRequest& request, const CameraPose& pose, FrameQuality quality,
                      const Drape* drape, bool& complete);
    [[nodiscard]] static bool SameView(const TerrainFrame& frame, const FrameRequest& request,
                                       const Drape* drape);

    TileCache cache_;
    std::uint64_t frame_ = 0;
    std::uint64_t rasterisations_ = 0;
    FrameStats stats_;
    // Interactive and full: a view that starts to move and then settles has both drawn, and
    // a front end may ask for either after a mere document change.
    std::array<std::optional<TerrainFrame>, 2> terrain_;
};

// The drape area for a view: the ground it shows plus a margin of `margin` times its size on
// every side, at the finest ground size of a pixel in it (the whole longitude range when a
// pole is in view; capped at 4096 pixels a side). Nothing when no ground is in view.
std::optional<DrapeArea> DrapeAreaFor(const FrameRequest& request, double margin = 0.25);

// The headless pictures' path: synchronous and deterministic. One full-quality frame on a
// fresh renderer; the drape provider (may be empty) is asked once for the view's area.
Image RenderMeshFrame(const FrameRequest& request, const DrapeProvider& drape = {});

// A snapshot that borrows documents someone else keeps alive for the duration of a
// synchronous call (no copies of large documents for a one-off picture).
std::shared_ptr<const DocumentSnapshot>
BorrowDocuments(const std::vector<const KmlDocument*>& documents,
                std::vector<DemOutline> demOutlines = {});

} // namespace scribeline::globe
