// The globe client port: the automation interface of the 3D globe client. Every operation
// may raise PortError ("a failed call"); the core lets that end the action under way.
// The client's windows, shortcuts and dialogs are in command/globe_protocol.hpp. Every
// implementation passes the globe conformance suite (tests/conformance), which checks the
// contracts below.
//
// Contracts the core relies on (it waits for the client with plain sleeps):
// - Time is the desktop port's clock (IDesktop::TickCount). The camera, a flight under way
//   and the documents advance with that clock, not with pumping: whatever is asked after a
//   plain IDesktop::Sleep sees the state at the time the sleep ended. A flight started by
//   SetCamera has arrived at the camera asked for once its duration has passed, and a
//   document loaded is kept by the time the call returns. A client that moves the
//   camera only on its timer ticks (that is, only while someone pumps) breaks the core's
//   terrain probe and view synchronisation.
// - Lines and shapes others draw on the render window (IDesktop::DrawLine ...) stay until the
//   client's view or documents change, and the client says when: it tells the desktop that the
//   render window's content changed, and only then. Repainting the same picture (pumping,
//   the window system redrawing the window, a frame timer while the camera stands still)
//   keeps them.
//   The core draws its rubber bands and vertex marks there once and redraws them only when the
//   view moves.
#pragma once

#include "platform/types.hpp"

#include <memory>
#include <string>

namespace scribeline {

// A camera of the globe. Degrees, metres; altitude mode 0 clamp to ground, 1 relative to
// ground, 2 absolute (3 to 5 are client-specific and read as relative to ground).
struct ICameraInfoGE {
    double FocusPointLatitude = 0.0;
    double FocusPointLongitude = 0.0;
    double FocusPointAltitude = 0.0;
    int FocusPointAltitudeMode = 1;
    double Range = 0.0;
    double Tilt = 0.0;
    double Azimuth = 0.0;
};

// The ground area seen in the render window, degrees.
struct IViewExtentsGE {
    double North = 0.0;
    double South = 0.0;
    double East = 0.0;
    double West = 0.0;
};

// A terrain query result. HitGround is false when the ray went into the sky; the other values
// are then meaningless (0).
struct IPointOnTerrainGE {
    double Latitude = 0.0;
    double Longitude = 0.0;
    double Altitude = 0.0; // metres, scaled by the elevation exaggeration
    bool HitGround = false;
};

class IApplicationGE {
public:
    virtual ~IApplicationGE() = default;

    // considerTerrain: 1 to take the terrain into account (the only value the core passes).
    virtual ICameraInfoGE GetCamera(int considerTerrain) = 0;
    // speed 5.0 or more arrives at once; slower speeds fly there over time (by the desktop's
    // clock: a plain sleep lets the flight go on and arrive). A camera read while flying lies
    // between the start and the target.
    virtual void SetCamera(const ICameraInfoGE& camera, double speed) = 0;
    // Loads or reloads a KML file; suppressMessages 1 keeps the client quiet.
    virtual void OpenKmlFile(const std::string& fileName, int suppressMessages) = 0;
    // Loads a KML text as a new document.
    virtual void LoadKmlData(const std::string& kmlText) = 0;
    virtual double AutoPilotSpeed() = 0;
    virtual void SetAutoPilotSpeed(double speed) = 0;
    virtual IViewExtentsGE ViewExtents() = 0;
    // x, y in -1..1 over the render window: x right, y up, 0, 0 the centre.
    virtual IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) = 0;
    virtual int VersionMajor() = 0;
    virtual int VersionMinor() = 0;
    virtual int VersionBuild() = 0;
    virtual int VersionAppType() = 0;
    // Non-zero when the client is ready.
    virtual int IsInitialized() = 0;
    virtual int IsOnline() = 0;
    virtual double ElevationExaggeration() = 0;
    virtual void SetElevationExaggeration(double factor) = 0;
    virtual WindowHandle GetMainHwnd() = 0;
    virtual WindowHandle GetRenderHwnd() = 0;
};

// "Create a fresh application object": every object returned is a new handle on the one
// running client; handles share all state. Never returns null (raises PortError when no
// client can be reached).
class IGlobeConnector {
public:
    virtual ~IGlobeConnector() = default;
    virtual std::shared_ptr<IApplicationGE> CreateApplication() = 0;
};

} // namespace scribeline
