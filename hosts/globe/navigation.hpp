// Mouse and key navigation of the globe view. Every gesture reads and writes the camera
// through the camera operations of the globe port (get the camera, set it at once, the
// ground under a screen point), so whoever holds the port sees the view as navigation left it.
//
// Gestures: the wheel zooms at the pointer (the ground under it stays under it); a middle
// drag pans (the ground grabbed follows the pointer); Ctrl + middle drag turns (sideways) and
// tilts (up and down); arrow keys pan by a tenth of the range, Page Up / Page Down zoom. Left
// and right drags pan and turn only while no run is active: during a run the left button
// adds a vertex and the right one removes the last, so navigation leaves them alone. Presses
// on the client's navigation control zones are left to the controls.
#pragma once

#include "command/globe_port.hpp"
#include "hosts/globe/camera.hpp"
#include "hosts/globe/geodesy.hpp"
#include "platform/types.hpp"

#include <optional>

namespace scribeline::globe {

// The camera operations navigation goes through.
class CameraOperations {
public:
    virtual ~CameraOperations() = default;
    [[nodiscard]] virtual CameraState GetCamera() = 0;
    // Arrives at once.
    virtual void SetCamera(const CameraState& camera) = 0;
    // The ground under normalised screen coordinates (x right, y up, -1..1); nothing where
    // the ray goes into the sky.
    [[nodiscard]] virtual std::optional<Geodetic> PointOnTerrain(double x, double y) = 0;
};

// The operations over a handle of the port: GetCamera(1), SetCamera(camera, 5.0) and
// GetPointOnTerrainFromScreenCoords. The handle is borrowed and must outlive this object.
class PortCameraOperations final : public CameraOperations {
public:
    explicit PortCameraOperations(IApplicationGE& application) : app_(application) {}
    [[nodiscard]] CameraState GetCamera() override;
    void SetCamera(const CameraState& camera) override;
    [[nodiscard]] std::optional<Geodetic> PointOnTerrain(double x, double y) override;

private:
    IApplicationGE& app_;
};

enum class NavigationButton { Left, Middle, Right };

// Virtual key codes navigation answers (the platform's VK_ values).
namespace navkey {
inline constexpr int PageUp = 0x21;
inline constexpr int PageDown = 0x22;
inline constexpr int Left = 0x25;
inline constexpr int Up = 0x26;
inline constexpr int Right = 0x27;
inline constexpr int Down = 0x28;
} // namespace navkey

class Navigator {
public:
    // The wheel: range times this per notch (120) towards the ground.
    static constexpr double kWheelFactor = 0.8;
    // Keys: Page Up / Down scale the range by this; arrows move this share of the range.
    static constexpr double kKeyZoomFactor = 0.8;
    static constexpr double kKeyPanShare = 0.1;
    // A turning drag across the whole view width turns the heading by this much (dragging
    // right turns the view to the left, as if the globe were pushed); one over the whole
    // height tilts by this much (dragging up tilts towards the horizon).
    static constexpr double kTurnDegreesPerWidth = 180.0;
    static constexpr double kTiltDegreesPerHeight = 90.0;

    // `camera` is borrowed and must outlive the navigator. `view`: the view's client size.
    Navigator(CameraOperations& camera, Size view);

    void Resize(Size view);
    // The switch the front end sets while a digitizing run is active.
    void SetRunActive(bool active);
    [[nodiscard]] bool RunActive() const { return runActive_; }

    // Pointer positions are view client pixels. Each returns whether navigation took the
    // event (false: it belongs to someone else, e.g. the capture of a vertex).
    bool Press(NavigationButton button, Point at, bool control);
    bool Move(Point at);
    bool Release(NavigationButton button);
    bool Wheel(Point at, int delta);
    bool Key(int virtualKey);
    [[nodiscard]] bool Dragging() const { return drag_ != Drag::None; }

    // Whether a point lies on the client's navigation controls (top right of the view).
    [[nodiscard]] static bool InControlZone(Point at, int viewWidth);

private:
    enum class Drag { None, Pan, Turn };
    [[nodiscard]] double NormalX(Point at) const;
    [[nodiscard]] double NormalY(Point at) const;
    void Set(CameraState camera);

    CameraOperations& camera_;
    Size view_;
    bool runActive_ = false;
    Drag drag_ = Drag::None;
    NavigationButton dragButton_ = NavigationButton::Middle;
    Geodetic grabbed_;
    Point last_;
};

} // namespace scribeline::globe
