// The simulated globe client: a real implementation of the globe client port over a real
// elevation model. One SimulatedGlobe is one running client; every application object its
// connector hands out is a handle on it, and all handles share its state.
//
// It composes a GlobeModel (camera, flights on the desktop's clock, terrain, view extents,
// documents: hosts/globe/globe_model.hpp) and its GlobeWindows (main and render windows,
// dialogs, navigation control: hosts/globe/globe_windows.hpp), and renders the view.
#pragma once

#include "command/globe_port.hpp"
#include "hosts/globe/camera.hpp"
#include "hosts/globe/globe_model.hpp"
#include "hosts/globe/globe_windows.hpp"
#include "hosts/globe/kml_document.hpp"
#include "hosts/globe/mesh_renderer.hpp"
#include "hosts/globe/navigation.hpp"
#include "hosts/globe/render.hpp"
#include "hosts/globe/terrain.hpp"
#include "platform/desktop.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline::globe {

struct GlobeOptions {
    // Main window, screen pixels. The render window fills its client area except a side
    // panel on the left, a tool bar above and a status bar below: 800 x 500 by default.
    Rect mainWindow{80, 60, 1180, 640};
    int sidePanelWidth = 300;
    int toolBarHeight = 40;
    int statusBarHeight = 40;
    ClientVersion version;
    // The elevation model; null: the base Earth (SharedBaseEarth), read on first use.
    std::shared_ptr<const ElevationModel> terrain;
    bool terrainLayerOn = true;
    double elevationExaggeration = 1.0;
    double autoPilotSpeed = 1.0;
    // The first view: Europe from 1500 km, north up.
    CameraState camera{47.5, 11.0, 0.0, 1, 1500000.0, 0.0, 0.0};
    // Called with the render window at every repaint (may be empty).
    std::function<void(WindowHandle)> onRepaint;
    // What others drew on the render window since its last repaint, for the rendered
    // picture (may be empty: nothing). The desktop leaves that to a window with a renderer.
    std::function<std::vector<Overlay>()> overlays;
    // Mouse drags and the arrow and page keys navigate the view (the interactive front
    // ends). Off, the client answers only the wheel and its navigation controls, so a
    // scripted session never moves the view by a drag.
    bool dragNavigation = false;
    // The map draped on the terrain in the rendered pictures (may be empty: none). Asked
    // once per picture, on the calling thread, for the area around the view.
    DrapeProvider drape;
    // Kept documents hold at most this many coordinates together; past it the oldest
    // loaded texts are dropped first, then the oldest files (a digitizing run loads one
    // document per vertex).
    std::size_t maxKeptCoordinates = 4'000'000;
};

class SimulatedGlobe {
public:
    // Starts the client: creates its windows on `desktop`, which is borrowed and must outlive
    // the globe. Raises std::invalid_argument for a window layout that leaves no render
    // window or a camera the port would refuse.
    explicit SimulatedGlobe(IDesktop& desktop, GlobeOptions options = {});
    // Quits the client: its windows go, and every handle still held fails from then on.
    ~SimulatedGlobe();
    SimulatedGlobe(const SimulatedGlobe&) = delete;
    SimulatedGlobe& operator=(const SimulatedGlobe&) = delete;

    // The connector of the port: every application object is a handle on this client.
    // Borrowed from the globe; valid while it lives.
    [[nodiscard]] IGlobeConnector& Connector();
    [[nodiscard]] std::shared_ptr<IApplicationGE> CreateApplication();

    // ---- windows ----
    [[nodiscard]] WindowHandle MainWindow() const;
    [[nodiscard]] WindowHandle RenderWindow() const;
    // The render window's client size, pixels.
    [[nodiscard]] Size RenderSize() const;
    // The open new-placemark/path/polygon dialog, kNoWindow when none.
    [[nodiscard]] WindowHandle DialogWindow() const;
    [[nodiscard]] int RepaintCount() const;

    // ---- terrain ----
    void SetTerrain(std::shared_ptr<const ElevationModel> model); // null: the base Earth
    [[nodiscard]] std::shared_ptr<const ElevationModel> Terrain() const;
    // Every answered terrain query in order (at most two million are kept): where it hit and
    // which source of TerrainSources() gave the height (-1 with the terrain layer off).
    [[nodiscard]] const std::vector<TerrainAnswerRecord>& TerrainAnswers() const;
    // The terrain's sources by index (ElevationModel::Sources).
    [[nodiscard]] std::vector<std::string> TerrainSources() const;
    void SetTerrainLayerOn(bool on);
    [[nodiscard]] bool TerrainLayerOn() const;
    // Ground height the client shows at a position (exaggeration applied, 0 with the terrain
    // layer off), metres.
    [[nodiscard]] double GroundHeight(double latitude, double longitude) const;

    // ---- camera ----
    // The camera as set (or, while flying, where the flight stands), without the terrain
    // consideration GetCamera applies.
    [[nodiscard]] CameraState Camera() const;
    [[nodiscard]] bool Flying() const;
    // Normalised screen position of a point (degrees, metres above the ellipsoid) in the
    // current view; nothing when it is behind the eye.
    [[nodiscard]] std::optional<ScreenPosition> ProjectToScreen(double latitude, double longitude,
                                                                double height) const;

    // The navigation switch the front end sets while a digitizing run is active: left and
    // right drags then belong to the run, not to navigation.
    void SetRunActive(bool active);
    [[nodiscard]] bool RunActive() const;

    // ---- documents ----
    // Kept documents, oldest first. The pointers stay valid until the next document change;
    // hold Model().Documents() to keep them longer.
    [[nodiscard]] std::vector<const KmlDocument*> Documents() const;

    // ---- the parts ----
    [[nodiscard]] GlobeModel& Model();
    [[nodiscard]] const GlobeModel& Model() const;
    [[nodiscard]] GlobeWindows& Windows();
    [[nodiscard]] const GlobeWindows& Windows() const;

    // ---- rendering ----
    // The render window's view now, at its size or at a given one.
    [[nodiscard]] Image Render() const;
    [[nodiscard]] Image Render(Size size) const;
    [[nodiscard]] Bitmap RenderBitmap(Size size) const;
    // The view now as a request for the asynchronous renderer: the model's document
    // snapshot (immutable, so another thread may read it while the globe changes), the
    // overlays as drawn now; sizes below 1 count as 1.
    [[nodiscard]] FrameRequest ViewRequest(Size size) const;
    // Raises std::runtime_error when the file cannot be written.
    void SavePng(const std::filesystem::path& path) const;

    struct Client; // shared by the handles

private:
    std::shared_ptr<Client> client_;
    std::unique_ptr<IGlobeConnector> connector_;
};

} // namespace scribeline::globe
