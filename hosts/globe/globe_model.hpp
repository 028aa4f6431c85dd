// The globe client's state without its windows: the camera and its flights, the terrain, the
// view-extent search, the terrain queries and the kept documents. It needs no desktop: time
// comes from an injected clock and the view's size from an injected source, so it runs the
// same under the headless desktop, the Qt desktop or a plain unit test.
//
// Time: a flight (Place slower than 5.0) lasts 2 s / speed (at most 20 s) on the clock; the
// camera is worked out from the clock whenever it is asked for, so whoever waits for a flight
// only has to let the clock run.
//
// Documents are immutable once kept: the store hands out shared snapshots, so a render thread
// can hold the documents of a frame while the model keeps, replaces or drops others.
#pragma once

#include "command/globe_port.hpp"
#include "hosts/globe/camera.hpp"
#include "hosts/globe/document_snapshot.hpp"
#include "hosts/globe/kml_document.hpp"
#include "hosts/globe/terrain.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline::globe {

// Milliseconds on a monotonic clock (the desktop's TickCount, or a test's counter).
using GlobeClock = std::function<std::int64_t()>;

// One terrain query's answer: position and altitude as the port returned them, the source of
// the height, and whether the ray met the ground (the rest is 0 when it did not).
struct TerrainAnswerRecord {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    int source = -1;
    bool hitGround = false;
};

struct ClientVersion {
    int major = 7;
    int minor = 3;
    int build = 9345;
    int appType = 5;
};

// A KML document that could not be opened or read; what() is the reason.
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct GlobeModelOptions {
    // The elevation model; null: the base Earth (SharedBaseEarth), read on first use.
    std::shared_ptr<const ElevationModel> terrain;
    bool terrainLayerOn = true;
    double elevationExaggeration = 1.0; // above 0
    double autoPilotSpeed = 1.0;
    // The first view: Europe from 1500 km, north up.
    CameraState camera{47.5, 11.0, 0.0, 1, 1500000.0, 0.0, 0.0};
    ClientVersion version;
    // Kept documents hold at most this many coordinates together; past it the oldest loaded
    // texts are dropped first, then the oldest files (a digitizing run loads one document per
    // vertex). The newest document always stays.
    std::size_t maxKeptCoordinates = 4'000'000;
    // The view's size in pixels while no viewport source is set.
    Size viewport{800, 500};
};

class GlobeModel {
public:
    // What the model tells its listener.
    enum class Change {
        View,          // what the view shows changed: camera, terrain, documents
        FlightStarted, // a flight began; the camera moves with the clock until it ends
        FlightEnded,   // a flight arrived or was replaced by a camera set at once
    };

    // Raises std::invalid_argument for an exaggeration not above 0 or a camera the port would
    // refuse. `clock` must not be empty.
    GlobeModel(GlobeClock clock, GlobeModelOptions options = {});
    GlobeModel(const GlobeModel&) = delete;
    GlobeModel& operator=(const GlobeModel&) = delete;

    // Called on every change, on the thread that made it (may be empty).
    void SetListener(std::function<void(Change)> listener);
    // Where the view's size comes from (the render window's client size); empty: the fixed
    // size of the options. Sizes below 1 count as 1.
    void SetViewportSource(std::function<Size()> source);
    [[nodiscard]] Size Viewport() const;

    // ---- camera ----
    // The camera as set or, while flying, where the flight stands (no flight is advanced).
    [[nodiscard]] CameraState Camera() const;
    // Whether a flight is still under way at the clock's time.
    [[nodiscard]] bool Flying() const;
    // Brings a flight up to the clock (telling the listener when it arrives): false when no
    // flight was under way.
    bool Advance();
    // The camera now, after advancing any flight.
    CameraState Now();
    // Ends a flight where it is aimed, without telling anyone (the client is closing).
    void CancelFlight();
    // Moves the camera to a normalised target: at once for speed 5.0 or more, else a flight
    // of 2 s / speed (speed 0: 20 s).
    void Place(const CameraState& target, double speed);
    // A change the client makes itself (navigation): applied at once, tilt kept within 0..90,
    // range within 10 m .. 50 000 km.
    void Navigate(const std::function<void(CameraState&)>& change);
    // The port's GetCamera: with considerTerrain the focus point is where the view's centre
    // ray meets the ground.
    CameraState GetCamera(int considerTerrain);
    [[nodiscard]] CameraPose Pose(const CameraState& camera) const;
    // Normalised screen position of a point (degrees, metres above the ellipsoid) in the
    // current view; nothing when it is behind the eye.
    [[nodiscard]] std::optional<ScreenPosition> ProjectToScreen(double latitude, double longitude,
                                                                double height) const;

    // ---- queries ----
    // The ground under normalised screen coordinates (x right, y up, -1..1), or nothing.
    std::optional<Geodetic> GroundAt(double x, double y);
    // The port's terrain query; recorded in TerrainAnswers. Raises PortError for non-finite
    // coordinates.
    IPointOnTerrainGE PointOnTerrain(double x, double y);
    // The port's view extents: the ground seen along the view's edges.
    IViewExtentsGE ViewExtents();
    // Every answered terrain query in order (at most two million are kept).
    [[nodiscard]] const std::vector<TerrainAnswerRecord>& TerrainAnswers() const;

    // ---- terrain ----
    void SetTerrain(std::shared_ptr<const ElevationModel> model); // null: the base Earth
    [[nodiscard]] std::shared_ptr<const ElevationModel> Terrain() const;
    [[nodiscard]] std::vector<std::string> TerrainSources() const;
    void SetTerrainLayerOn(bool on);
    [[nodiscard]] bool TerrainLayerOn() const;
    // Raises PortError outside 0.01 .. 3.
    void SetExaggeration(double factor);
    [[nodiscard]] double Exaggeration() const;
    // Ground height shown at a position (exaggerated, 0 with the layer off), metres.
    [[nodiscard]] double GroundHeight(double latitude, double longitude) const;
    [[nodiscard]] TerrainSurface Surface() const;

    // ---- client settings ----
    [[nodiscard]] double AutoPilotSpeed() const;
    // Raises PortError for a negative or non-finite speed.
    void SetAutoPilotSpeed(double speed);
    [[nodiscard]] const ClientVersion& Version() const;

    // ---- documents ----
    // Parses and keeps a file; a path already kept is replaced in place. Raises DocumentError
    // (nothing kept) for a missing, unreadable or malformed file.
    void OpenKmlFile(const std::string& fileName);
    // Parses and keeps a text as a new document. Raises DocumentError when malformed.
    void LoadKmlData(const std::string& text);
    // Keeps a document: `key` the absolute path of a file (replaced in place when kept), empty
    // for one without a file.
    void Keep(std::string key, KmlDocument document);
    // The kept documents now, oldest first (no DEM outlines); never null. The snapshot stays
    // as it is whatever the model does later.
    [[nodiscard]] std::shared_ptr<const DocumentSnapshot> Documents() const;

private:
    struct Flight {
        CameraState from;
        double fromHeight = 0.0;
        CameraState to;
        double toHeight = 0.0;
        std::int64_t startMs = 0;
        std::int64_t durationMs = 1;
    };
    struct Kept {
        std::string key;
        std::shared_ptr<const KmlDocument> document;
    };

    void Tell(Change change) const;
    [[nodiscard]] CameraState Current() const;
    void Trim();
    void Publish();

    GlobeClock clock_;
    GlobeModelOptions options_;
    std::function<void(Change)> listener_;
    std::function<Size()> viewport_;
    std::shared_ptr<const ElevationModel> model_;
    bool terrainOn_ = true;
    double exaggeration_ = 1.0;
    double autoPilotSpeed_ = 1.0;
    CameraState camera_;
    std::optional<Flight> flight_;
    std::vector<TerrainAnswerRecord> answers_;
    std::vector<Kept> kept_;
    std::shared_ptr<const DocumentSnapshot> snapshot_;
};

} // namespace scribeline::globe
