// The terrain commands of the digitizer window: DEM points sampled from the globe's terrain and
// written into a map layer (as points, grid lines or mesh cells), contours traced from a
// sampled square grid and sent to the globe and the map, and the preview of the sample grid.
// One TerrainCommands lives per load of the window, which owns it; its context outlives it.
//
// Screen positions of samples are normalised render-view coordinates (-1..1, x right, y up);
// longitudes and latitudes are degrees of WGS 1984, altitudes metres. Time (waits, the query
// timeout) goes through the desktop's clock; long loops yield to its message loop.
//
// Failures: a failing globe, map host or desktop call ends the command under way (the window
// reports it); the user input lock and the busy mark are always released on the way out.
#pragma once

#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "command/subsystems.hpp"
#include "kml/basKML.hpp"
#include "terrain/Contour.hpp"
#include "terrain/terrain_probe.hpp"

#include <optional>
#include <string>
#include <vector>

namespace scribeline {

namespace terrain {

// Camera ranges above this (metres) are too high to sample.
inline constexpr double kAltitudeCeiling = 50000.0;
// A terrain query taking this many tenths of a second or more is too slow.
inline constexpr double kQueryTimeoutTenths = 5.0;
inline constexpr int kContourSettlePauseMs = 20;

// Message box title and texts (lines joined by CR LF).
inline constexpr const char* kMessageTitle = "Isolinea";
inline constexpr const char* kAltitudeMessage =
    "Oops! I suffer from acrophobia, and it is too high.\r\nSet it lower and try again.";
inline constexpr const char* kTerrainLayerMessage =
    "Check Terrain in the Layers panel.\r\nSet it on and try again.";
inline constexpr const char* kSlowQueryMessage =
    "Google Earth is starting the protect mechanism.\r\nYou need to restart Google Earth.";
inline constexpr const char* kSkySampleMessage =
    "A sample of the grid sees the sky, not the ground.\r\n"
    "Look down at the terrain and try again.";

// The contour command runs the message loop after this many stored features (and moves the
// map's progressor by one for each).
inline constexpr int kStoredFeaturesPerPump = 100;

// How DEM samples are joined in the map: 0 single points, 1 grid lines, 2 mesh cells.
enum class JoinMode : int { Points = 0, Grid = 1, Mesh = 2 };

// A timed terrain query. ok is false when it took 0.5 s or more; hitGround false when the
// ray saw the sky (the values are then 0).
struct TerrainSample {
    double longitude = 0.0;
    double latitude = 0.0;
    double altitude = 0.0;
    bool ok = false;
    bool hitGround = false;
};

// The DEM sampler's grid, row first: sample (row i, column j).
struct DemGrid {
    int lastRow = -1;
    int lastColumn = -1;
    std::vector<double> x, y, z; // row-major, stride lastColumn + 1
    std::vector<double> columnLongitude, rowLatitude;
    // Raises std::out_of_range when a last index is negative or above 1000.
    void Resize(int rows, int columns);
    [[nodiscard]] std::size_t Index(int row, int column) const;
    [[nodiscard]] SampleGridView View() const;
};

// The contour settings read from the window when the command starts.
struct ContourSettings {
    int gridSize = 5;  // M: columns and rows alike
    int levelMode = 0; // 0 by number, 1 by interval, 2 from the list
    int levelCount = 20;
    int interval = 10;
    std::string customList;
    StartElevation start;
};

class TerrainCommands final : public ITerrainCommands {
public:
    explicit TerrainCommands(const TerrainContext& context);
    ~TerrainCommands() override;
    TerrainCommands(const TerrainCommands&) = delete;
    TerrainCommands& operator=(const TerrainCommands&) = delete;

    // ---- ITerrainCommands ----
    void cmdGetDEMDateFromGE_Click() override;
    void cmdGetContourFromGE_Click() override;
    void PreviewDEMResolution(int columns, int rows) override;

    // The live KML of this load's sample points and contours.
    [[nodiscard]] basKML& Kml() { return kml_; }

    // ---- the preflight check ----
    // True when sampling may start; otherwise the matching message was shown.
    bool CheckTerrainReady();
    // The terrain-layer check with this command's pauses: 10 ms before each flight and the
    // settle pause of SettlePauseMs().
    [[nodiscard]] bool IsTerrainLayerOn();
    [[nodiscard]] bool IsCameraLowEnough(double ceilingMetres);

    // ---- sampling ----
    [[nodiscard]] TerrainSample SampleTerrainPoint(double x, double y);
    // Samples (columns + 1) x (rows + 1) positions into the DEM grid and the target layer.
    // Raises std::invalid_argument unless 1 <= columns, rows <= 1000.
    bool SampleDemGrid(int columns, int rows);
    // Samples the square contour grid of the current settings.
    bool SampleContourGrid();
    void LockEarthInput(WindowHandle earthMain);
    void UnlockEarthInput();
    [[nodiscard]] bool InputLocked() const { return mouseHook_ != 0 || keyboardHook_ != 0; }

    // ---- contours ----
    // Samples, builds the levels, traces and returns the whole document; nothing when the
    // sampling failed.
    std::optional<std::string> RunContouring(const ContourSettings& settings);
    void SquareRenderView();
    void RestoreEarthWindowSize(const Rect& saved);
    void DrawResolutionText();

    // ---- what tests look at ----
    [[nodiscard]] const DemGrid& Dem() const { return dem_; }
    [[nodiscard]] const ContourGrid& ContourSamples() const { return contour_; }
    [[nodiscard]] const std::vector<double>& Levels() const { return levels_; }
    [[nodiscard]] const ContourTrace& Trace() const { return trace_; }
    [[nodiscard]] JoinMode Mode() const { return mode_; }
    [[nodiscard]] int SettlePauseMs() const { return settlePauseMs_; }

private:
    [[nodiscard]] IApplicationGE& ge();
    [[nodiscard]] bool checked(const std::string& item);
    void message(const char* text);
    // Steps 1 to 3 shared by both commands; false when the command stops there.
    bool startCommand();
    void selectGeometryQuietly(int index);
    void prepareTarget(int geometryKind);
    void refreshMap();
    void storeShape();
    void addDemVertex(int row, int column);
    [[nodiscard]] ContourSettings readContourSettings();
    void storeContourFeatures();

    TerrainContext cx_;
    // The live KML of the sample points and contours: one stored camera for the LookAt of
    // every document of this load.
    basKML kml_;
    DemGrid dem_;
    ContourGrid contour_;
    std::vector<double> levels_;
    ContourTrace trace_;
    ContourSettings settings_;
    JoinMode mode_ = JoinMode::Points;
    ICameraInfoGE camera_;
    int settlePauseMs_ = 0;
    HookHandle mouseHook_ = 0;
    HookHandle keyboardHook_ = 0;
    WindowHandle lockedWindow_ = kNoWindow;
    std::shared_ptr<IActiveView> activeView_;
};

} // namespace terrain
} // namespace scribeline
