#include "hosts/globe/navigation.hpp"

#include "command/globe_protocol.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace scribeline::globe {

namespace {

constexpr double kMinRange = 10.0;
constexpr double kMaxRange = 5.0e7;
constexpr double kMaxLatitude = 89.9;

// Moves the focus over the ground; a plain offset in degrees, fine for the fraction of the
// range a key press moves.
void MoveFocus(CameraState& c, double bearingDeg, double metres) {
    const double b = bearingDeg * kDegToRad;
    c.FocusPointLatitude = std::clamp(
        c.FocusPointLatitude + metres * std::cos(b) / MetresPerDegreeLatitude(c.FocusPointLatitude),
        -kMaxLatitude, kMaxLatitude);
    c.FocusPointLongitude = WrapDegrees(
        c.FocusPointLongitude +
        metres * std::sin(b) / std::max(MetresPerDegreeLongitude(c.FocusPointLatitude), 1.0));
}

} // namespace

CameraState PortCameraOperations::GetCamera() {
    return app_.GetCamera(1);
}

void PortCameraOperations::SetCamera(const CameraState& camera) {
    app_.SetCamera(camera, 5.0);
}

std::optional<Geodetic> PortCameraOperations::PointOnTerrain(double x, double y) {
    const IPointOnTerrainGE p = app_.GetPointOnTerrainFromScreenCoords(x, y);
    if (!p.HitGround) {
        return std::nullopt;
    }
    return Geodetic{p.Latitude, p.Longitude, p.Altitude};
}

Navigator::Navigator(CameraOperations& camera, Size view) : camera_(camera), view_(view) {}

void Navigator::Resize(Size view) {
    view_ = view;
}

void Navigator::SetRunActive(bool active) {
    runActive_ = active;
    // A left or right drag under way when a run starts ends here: its buttons now digitize.
    if (active && drag_ != Drag::None && dragButton_ != NavigationButton::Middle) {
        drag_ = Drag::None;
    }
}

bool Navigator::InControlZone(Point p, int w) {
    return globe_protocol::InNavigationZone(p, w);
}

double Navigator::NormalX(Point at) const {
    const double w = std::max(view_.width, 1);
    return 2.0 * (at.x - w / 2.0) / w;
}

double Navigator::NormalY(Point at) const {
    const double h = std::max(view_.height, 1);
    return 2.0 * (h / 2.0 - at.y) / h;
}

void Navigator::Set(CameraState c) {
    c.FocusPointLatitude = std::clamp(c.FocusPointLatitude, -kMaxLatitude, kMaxLatitude);
    c.FocusPointLongitude = WrapDegrees(c.FocusPointLongitude);
    c.Range = std::clamp(c.Range, kMinRange, kMaxRange);
    c.Tilt = std::clamp(c.Tilt, 0.0, 90.0);
    c.Azimuth = WrapDegrees(c.Azimuth);
    camera_.SetCamera(c);
}

bool Navigator::Press(NavigationButton button, Point at, bool control) {
    if (InControlZone(at, view_.width)) {
        return false;
    }
    if (button != NavigationButton::Middle && runActive_) {
        return false; // the run's: add or remove a vertex
    }
    const bool turn =
        button == NavigationButton::Right || (button == NavigationButton::Middle && control);
    if (turn) {
        drag_ = Drag::Turn;
    } else {
        const auto ground = camera_.PointOnTerrain(NormalX(at), NormalY(at));
        if (!ground) {
            return false; // nothing to grab in the sky
        }
        grabbed_ = *ground;
        drag_ = Drag::Pan;
    }
    dragButton_ = button;
    last_ = at;
    return true;
}

bool Navigator::Move(Point at) {
    if (drag_ == Drag::None) {
        return false;
    }
    if (drag_ == Drag::Turn) {
        CameraState c = camera_.GetCamera();
        c.Azimuth -= kTurnDegreesPerWidth * (at.x - last_.x) / std::max(view_.width, 1);
        c.Tilt -= kTiltDegreesPerHeight * (at.y - last_.y) / std::max(view_.height, 1);
        Set(c);
        last_ = at;
        return true;
    }
    // Shift the focus by what separates the grabbed ground from the ground under the
    // pointer; twice, since the offset is only nearly uniform over a curved globe.
    for (int pass = 0; pass < 2; ++pass) {
        const auto under = camera_.PointOnTerrain(NormalX(at), NormalY(at));
        if (!under) {
            break; // the pointer is over the sky: the view stays
        }
        CameraState c = camera_.GetCamera();
        c.FocusPointLatitude += grabbed_.latitude - under->latitude;
        c.FocusPointLongitude += WrapDegrees(grabbed_.longitude - under->longitude);
        Set(c);
    }
    last_ = at;
    return true;
}

bool Navigator::Release(NavigationButton button) {
    if (drag_ == Drag::None || button != dragButton_) {
        return false;
    }
    drag_ = Drag::None;
    return true;
}

bool Navigator::Wheel(Point at, int delta) {
    if (delta == 0) {
        return false;
    }
    const double factor = std::pow(kWheelFactor, delta / 120.0);
    CameraState c = camera_.GetCamera();
    // The focus moves towards the ground under the pointer in proportion, so that ground
    // stays where it is on the screen.
    if (at.x * 2 != view_.width || at.y * 2 != view_.height) {
        if (const auto g = camera_.PointOnTerrain(NormalX(at), NormalY(at))) {
            c.FocusPointLatitude = g->latitude + (c.FocusPointLatitude - g->latitude) * factor;
            c.FocusPointLongitude =
                g->longitude + WrapDegrees(c.FocusPointLongitude - g->longitude) * factor;
        }
    }
    c.Range *= factor;
    Set(c);
    return true;
}

bool Navigator::Key(int virtualKey) {
    using namespace navkey;
    const int keys[] = {PageUp, PageDown, Left, Up, Right, Down};
    if (std::find(std::begin(keys), std::end(keys), virtualKey) == std::end(keys)) {
        return false;
    }
    CameraState c = camera_.GetCamera();
    switch (virtualKey) {
    case navkey::PageUp:
        c.Range *= kKeyZoomFactor;
        break;
    case navkey::PageDown:
        c.Range /= kKeyZoomFactor;
        break;
    case navkey::Up:
        MoveFocus(c, c.Azimuth, kKeyPanShare * c.Range);
        break;
    case navkey::Right:
        MoveFocus(c, c.Azimuth + 90.0, kKeyPanShare * c.Range);
        break;
    case navkey::Down:
        MoveFocus(c, c.Azimuth + 180.0, kKeyPanShare * c.Range);
        break;
    case navkey::Left:
        MoveFocus(c, c.Azimuth - 90.0, kKeyPanShare * c.Range);
        break;
    default:
        break;
    }
    Set(c);
    return true;
}

} // namespace scribeline::globe
