// GEStatus: the status reports of the two hosts, each shown in one message box with an OK
// button. The map report lists the product, the map's spatial reference, its units and the
// visible extent; the globe report lists the client's version and state and its view, and on
// the way probes the client's navigation control with a synthetic click and tests whether its
// terrain layer is on, both of which move the view briefly and put it back.
//
// Lines are separated by CR LF. Numbers for display use the given decimal separator; the
// desktop port has no locale, so the window passes ".".
//
// Failures: a failing globe, map host or desktop call ends the report (PortError passes
// through); an application type or unit code outside the name tables raises
// std::out_of_range, a non-finite number std::domain_error. Nothing is shown then.
#pragma once

#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "command/subsystems.hpp"
#include "platform/desktop.hpp"

#include <functional>
#include <memory>
#include <string>

namespace scribeline {

namespace views {

inline constexpr const char* kEarthStatusTitle = "Info about your Google Earth";
// A box that names no title of its own carries the application's title, the name of the
// extension's project (its type library).
inline constexpr const char* kApplicationTitle = "LineScribe";
// The map report leaves the map's distance units in meters.
inline constexpr int kMetersUnitCode = 9;

// ---- the texts ---------------------------------------------------------------------------

// The name of a map host unit code; codes 13 to 20 have empty names. Raises std::out_of_range
// outside 0 .. 20.
[[nodiscard]] std::string UnitName(int code);
// "Version: ArcView" (100), "Version: ArcEditor" (200), "Version: ArcInfo" (300), else empty.
[[nodiscard]] std::string ProductLine(int productCode);
// The name of a globe application type; 3 and 4 have empty names. Raises std::out_of_range
// outside 0 .. 5.
[[nodiscard]] std::string AppTypeName(int appType);

// A number in the general style: up to 15 significant digits, no thousands separators.
// Raises std::domain_error for NaN and infinities.
[[nodiscard]] std::string FormatGeneral(double value, char decimalSeparator = '.');
// A number with at least one integer digit and exactly `decimals` decimals, rounded, no
// thousands separators ("###0.000" for 3); a value that rounds to zero has no minus sign.
// Raises std::domain_error for NaN and infinities.
[[nodiscard]] std::string FormatFixed(double value, int decimals, char decimalSeparator = '.');
// floor(value * 100) / 100 and floor(value), where a value a rounding error below a whole
// step (0.29 stored as 0.28999...) counts as that step.
[[nodiscard]] double FloorHundredths(double value);
[[nodiscard]] double FloorWhole(double value);

// What the map report shows.
struct MapStatus {
    int productCode = 0;
    std::string referenceName; // "Unknown" for a map without a reference
    int referenceCode = 0;     // EPSG code, 0 when none
    int mapUnits = 0;          // unit codes
    int distanceUnits = 0;
    Envelope extent; // the visible extent, map units
};
// The map report's lines, joined by CR LF, without a line end after the last.
[[nodiscard]] std::string BuildArcStatusText(const MapStatus& status, char decimalSeparator = '.');

// What the globe report shows.
struct EarthStatus {
    int versionMajor = 0;
    int versionMinor = 0;
    int versionBuild = 0;
    int appType = 0;
    bool navigation = false;
    bool terrainLayer = false;
    double exaggeration = 1.0;
    int initialized = 0; // as IsInitialized answered
    int online = 0;      // as IsOnline answered
    double autoPilotSpeed = 0.0;
    // Each from a read of the view extents of its own.
    double west = 0.0;
    double east = 0.0;
    double south = 0.0;
    double north = 0.0;
    // From the report's stored camera.
    double range = 0.0; // metres
    double azimuth = 0.0;
    double tilt = 0.0;
};
// The globe report's sixteen lines, each ending with CR LF (the last one too).
[[nodiscard]] std::string FormatEarthStatusText(const EarthStatus& status,
                                                char decimalSeparator = '.');

// ---- the globe report's probes -------------------------------------------------------------

// Gathers the globe report. The desktop and the connector are borrowed and must outlive it;
// `digitizerWindow` gives the window that gets the foreground back after the probe (may give
// kNoWindow).
class EarthStatusProbe {
public:
    // Every wait of the terrain-layer test here.
    static constexpr int kSettleMs = 20;
    // The probe point: render-window client pixels (width - 43, 196), the zoom-in button of
    // the client's navigation control.
    static constexpr int kProbeFromRight = 43;
    static constexpr int kProbeY = 196;

    EarthStatusProbe(IDesktop& desktop, IGlobeConnector& connector,
                     std::function<WindowHandle()> digitizerWindow);

    // Reads everything the report shows and formats it. The client's elevation exaggeration is
    // shown and left as the user had it, although the terrain test measures at 1.0.
    [[nodiscard]] std::string BuildEarthStatusText(char decimalSeparator = '.');
    // Clicks the navigation control and puts the view back; true when the view's range
    // changed by at least 0.01 m. False without any click when the render window has no
    // rectangle.
    bool ProbeNavigationControl();
    // Restores a minimised client window and moves it to the right edge of the screen so that
    // the probe point lies on the screen.
    void BringEarthProbeIntoView();
    // Whether the terrain layer is on: ground above 0 under the view centre, here or at a test
    // point it flies to (up to three flights); the view is given back afterwards. Every wait
    // of it is kSettleMs.
    bool IsTerrainLayerOn();

    // The report's stored camera: the camera read at the start of the report, or the camera of
    // the last flight of the terrain test.
    [[nodiscard]] const ICameraInfoGE& StoredCamera() const { return stored_; }

private:
    IApplicationGE& ge();

    IDesktop& desktop_;
    IGlobeConnector& connector_;
    std::function<WindowHandle()> digitizerWindow_;
    std::shared_ptr<IApplicationGE> ge_;
    ICameraInfoGE stored_;
};

// The reports as the window's subsystem. One lives per load of the window, which owns it; its
// context outlives it.
class StatusReports final : public IStatusReports {
public:
    explicit StatusReports(const ViewsContext& context);
    // The globe report in a box titled "Info about your Google Earth".
    void ShowGEStatus() override;
    // The map report in a box with the application's title; afterwards the map's distance
    // units are meters.
    void GetArcStatus() override;

    // What the map report would show now.
    [[nodiscard]] MapStatus ReadMapStatus();

private:
    ViewsContext cx_;
};

} // namespace views
} // namespace scribeline
