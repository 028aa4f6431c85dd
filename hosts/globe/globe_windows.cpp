#include "hosts/globe/globe_windows.hpp"

#include "command/globe_protocol.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace scribeline::globe {

namespace {

constexpr int kFrameMs = 40;

// A rough ground offset: fine for the few kilometres a navigation click moves the view.
void MoveFocus(CameraState& c, double bearingDeg, double metres) {
    const double b = bearingDeg * kDegToRad;
    c.FocusPointLatitude = std::clamp(
        c.FocusPointLatitude + metres * std::cos(b) / MetresPerDegreeLatitude(c.FocusPointLatitude),
        -89.9, 89.9);
    c.FocusPointLongitude = WrapDegrees(
        c.FocusPointLongitude +
        metres * std::sin(b) / std::max(MetresPerDegreeLongitude(c.FocusPointLatitude), 1.0));
}

} // namespace

namespace protocol = globe_protocol;

struct GlobeWindows::Impl {
    using DialogKind = protocol::DialogKind;

    class MainHandler final : public IWindowHandler {
    public:
        explicit MainHandler(Impl& w) : w_(w) {}
        void onKey(const KeyEvent& e) override { w_.RenderKey(e); }
        void onResize(Size s) override { w_.LayOut(s); }
        // Closing the main window quits the client.
        void onDestroy() override { w_.Quit(); }

    private:
        Impl& w_;
    };

    class RenderHandler final : public IWindowHandler {
    public:
        explicit RenderHandler(Impl& w) : w_(w) {}
        void onMouse(const MouseEvent& e, Point p) override { w_.RenderMouse(e, p); }
        void onKey(const KeyEvent& e) override { w_.RenderKey(e); }
        void onResize(Size /*size*/) override { w_.Repaint(); }
        void onDestroy() override { w_.render_ = kNoWindow; }

    private:
        Impl& w_;
    };

    class DialogHandler final : public IWindowHandler {
    public:
        explicit DialogHandler(Impl& w) : w_(w) {}
        void onKey(const KeyEvent& e) override { w_.DialogKey(e); }
        // Closing the dialog cancels it.
        void onDestroy() override { w_.dialog_ = kNoWindow; }

    private:
        Impl& w_;
    };

    // Navigation goes through the same camera operations as the port's handles.
    class ModelCamera final : public CameraOperations {
    public:
        explicit ModelCamera(GlobeModel& m) : model_(m) {}
        CameraState GetCamera() override { return model_.GetCamera(1); }
        void SetCamera(const CameraState& camera) override {
            model_.Place(NormaliseCamera(camera, "SetCamera"), 5.0);
        }
        std::optional<Geodetic> PointOnTerrain(double x, double y) override {
            return model_.GroundAt(x, y);
        }

    private:
        GlobeModel& model_;
    };

    IDesktop& desktop_;
    GlobeModel& model_;
    GlobeWindowOptions options_;
    TimerHandle frameTimer_ = 0;
    bool closed_ = false;
    int repaints_ = 0;

    MainHandler mainHandler_{*this};
    RenderHandler renderHandler_{*this};
    DialogHandler dialogHandler_{*this};
    ModelCamera modelCamera_{model_};
    Navigator navigator_{modelCamera_, Size{800, 500}};
    bool control_ = false;
    WindowHandle main_ = kNoWindow;
    WindowHandle render_ = kNoWindow;
    WindowHandle dialog_ = kNoWindow;
    DialogKind dialogKind_ = DialogKind::Placemark;
    std::string dialogName_;
    bool dialogNameTyped_ = false;
    std::vector<KmlCoordinate> dialogPoints_;

    Impl(IDesktop& desktop, GlobeModel& model, GlobeWindowOptions options)
        : desktop_(desktop), model_(model), options_(std::move(options)) {
        const Rect& r = options_.mainWindow;
        const Size render = RenderSizeFor({r.width(), r.height()});
        if (render.width < 1 || render.height < 1) {
            throw std::invalid_argument("SimulatedGlobe: the main window leaves no render window");
        }
        model_.SetViewportSource([this] { return RenderSize(); });
        model_.SetListener([this](GlobeModel::Change change) { OnModelChange(change); });
        main_ = desktop_.CreateWindow({std::string(protocol::kMainWindowClass),
                                       std::string(protocol::kMainWindowTitle), kNoWindow, r, true},
                                      &mainHandler_);
        render_ = desktop_.CreateWindow(
            {std::string(protocol::kRenderWindowClass), "", main_,
             Rect{options_.sidePanelWidth, options_.toolBarHeight,
                  options_.sidePanelWidth + render.width, options_.toolBarHeight + render.height},
             true},
            &renderHandler_);
    }

    ~Impl() {
        Close();
        model_.SetListener({});
        model_.SetViewportSource({});
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // The main window went: the client is gone, its other windows with it.
    void Quit() {
        main_ = kNoWindow;
        Close();
    }

    void Close() {
        closed_ = true;
        model_.CancelFlight();
        StopFrames();
        for (WindowHandle w : {dialog_, render_, main_}) {
            if (w != kNoWindow && desktop_.IsWindow(w)) {
                desktop_.DestroyWindow(w);
            }
        }
        dialog_ = render_ = main_ = kNoWindow;
    }

    [[nodiscard]] Size RenderSizeFor(Size mainClient) const {
        return {mainClient.width - options_.sidePanelWidth,
                mainClient.height - options_.toolBarHeight - options_.statusBarHeight};
    }

    [[nodiscard]] Size RenderSize() const {
        if (const auto r = desktop_.GetClientRect(render_)) {
            return {r->width(), r->height()};
        }
        return {0, 0};
    }

    void LayOut(Size mainClient) {
        const Size s = RenderSizeFor(mainClient);
        if (render_ != kNoWindow && s.width > 0 && s.height > 0) {
            desktop_.SetWindowPos(render_, options_.sidePanelWidth, options_.toolBarHeight, s.width,
                                  s.height, swp::NoZOrder);
        }
    }

    void Repaint() {
        ++repaints_;
        if (options_.onRepaint && render_ != kNoWindow) {
            options_.onRepaint(render_);
        }
    }

    void StopFrames() {
        if (frameTimer_ != 0) {
            desktop_.KillTimer(frameTimer_);
            frameTimer_ = 0;
        }
    }

    void OnModelChange(GlobeModel::Change change) {
        switch (change) {
        case GlobeModel::Change::View:
            Repaint();
            break;
        case GlobeModel::Change::FlightEnded:
            StopFrames();
            break;
        case GlobeModel::Change::FlightStarted:
            // The camera follows the clock by itself; the timer only shows each frame.
            if (frameTimer_ == 0) {
                frameTimer_ = desktop_.SetTimer(kFrameMs, [this] {
                    if (!model_.Advance()) {
                        StopFrames();
                        return;
                    }
                    if (model_.Flying()) {
                        Repaint();
                    }
                });
            }
            break;
        }
    }

    void OpenKmlFile(const std::string& fileName, int suppressMessages) {
        try {
            model_.OpenKmlFile(fileName);
        } catch (const DocumentError& e) {
            if (suppressMessages == 0) {
                desktop_.MessageBox(main_, e.what(), std::string(protocol::kMainWindowTitle),
                                    mb::Ok | mb::IconExclamation);
            }
            throw PortError("OpenKmlFile", e.what());
        }
    }

    void Shortcut(const KeyEvent& e) {
        if (closed_ || e.message != KeyMessage::KeyDown || !e.control || !e.shift || e.alt ||
            dialog_ != kNoWindow) {
            return;
        }
        const int key = e.virtualKey != 0 ? e.virtualKey
                                          : std::toupper(static_cast<unsigned char>(e.character));
        for (std::size_t k = 0; k < protocol::kDialogKinds; ++k) {
            if (key == protocol::kDialogShortcutKeys[k]) {
                OpenDialog(static_cast<DialogKind>(k));
                return;
            }
        }
    }

    void OpenDialog(DialogKind kind) {
        const auto index = static_cast<std::size_t>(kind);
        dialogKind_ = kind;
        dialogName_ = std::string(protocol::kDialogDefaultNames[index]);
        dialogNameTyped_ = false;
        dialogPoints_.clear();
        if (kind == DialogKind::Placemark) {
            const IPointOnTerrainGE centre = Centre();
            if (centre.HitGround) {
                dialogPoints_.push_back({centre.Longitude, centre.Latitude, 0.0});
            }
        }
        const Rect m = desktop_.GetWindowRect(main_).value_or(options_.mainWindow);
        const int left = m.left + (m.width() - 420) / 2;
        const int top = m.top + (m.height() - 360) / 2;
        dialog_ = desktop_.CreateWindow({std::string(protocol::kDialogClass),
                                         std::string(protocol::kDialogTitles[index]), kNoWindow,
                                         Rect{left, top, left + 420, top + 360}, true},
                                        &dialogHandler_);
        desktop_.SetForegroundWindow(dialog_);
    }

    IPointOnTerrainGE Centre() {
        IPointOnTerrainGE p;
        if (const auto g = model_.GroundAt(0.0, 0.0)) {
            p = {g->latitude, g->longitude, g->height, true};
        }
        return p;
    }

    void DialogKey(const KeyEvent& e) {
        if (e.message != KeyMessage::KeyDown || dialog_ == kNoWindow) {
            return;
        }
        if (e.virtualKey == vk::Return) {
            ConfirmDialog();
        } else if (e.virtualKey == vk::Escape) {
            CloseDialog();
        } else if (e.virtualKey == vk::Back) {
            if (!dialogNameTyped_) {
                dialogName_.clear();
                dialogNameTyped_ = true;
            } else if (!dialogName_.empty()) {
                dialogName_.pop_back();
            }
        } else if (e.character != 0 && !e.control && !e.alt) {
            // The name field starts selected: the first key typed replaces it.
            if (!dialogNameTyped_) {
                dialogName_.clear();
                dialogNameTyped_ = true;
            }
            dialogName_ += e.character;
        }
    }

    void CloseDialog() {
        const WindowHandle d = dialog_;
        dialog_ = kNoWindow;
        if (d != kNoWindow && desktop_.IsWindow(d)) {
            desktop_.DestroyWindow(d);
        }
    }

    void ConfirmDialog() {
        KmlPlacemark p;
        p.name = dialogName_;
        KmlGeometry g;
        g.kind = dialogKind_ == DialogKind::Placemark ? KmlGeometry::Kind::Point
                 : dialogKind_ == DialogKind::Path    ? KmlGeometry::Kind::LineString
                                                      : KmlGeometry::Kind::Polygon;
        g.coordinates = dialogPoints_;
        if (g.kind == KmlGeometry::Kind::Polygon && !g.coordinates.empty()) {
            g.coordinates.push_back(g.coordinates.front());
        }
        p.geometries.push_back(std::move(g));
        KmlDocument doc;
        doc.name = dialogName_;
        doc.placemarks.push_back(std::move(p));
        CloseDialog();
        model_.Keep({}, std::move(doc));
    }

    void RenderKey(const KeyEvent& e) {
        control_ = e.control || (e.virtualKey == vk::Control && e.message == KeyMessage::KeyDown);
        if (e.virtualKey == vk::Control && e.message == KeyMessage::KeyUp) {
            control_ = false;
        }
        if (options_.dragNavigation && !closed_ && e.message == KeyMessage::KeyDown) {
            navigator_.Resize(RenderSize());
            if (navigator_.Key(e.virtualKey)) {
                return;
            }
        }
        Shortcut(e);
    }

    // Drags and the other buttons, for navigation; false when it did not take the event.
    bool NavigateByMouse(const MouseEvent& e, Point p) {
        if (!options_.dragNavigation) {
            return false;
        }
        navigator_.Resize(RenderSize());
        switch (e.message) {
        case MouseMessage::Move:
            return navigator_.Move(p);
        case MouseMessage::LeftDown:
            return navigator_.Press(NavigationButton::Left, p, control_);
        case MouseMessage::MiddleDown:
            return navigator_.Press(NavigationButton::Middle, p, control_);
        case MouseMessage::RightDown:
            return navigator_.Press(NavigationButton::Right, p, control_);
        case MouseMessage::LeftUp:
            return navigator_.Release(NavigationButton::Left);
        case MouseMessage::MiddleUp:
            return navigator_.Release(NavigationButton::Middle);
        case MouseMessage::RightUp:
            return navigator_.Release(NavigationButton::Right);
        default:
            return false;
        }
    }

    void RenderMouse(const MouseEvent& e, Point p) {
        if (closed_) {
            return;
        }
        if (e.message == MouseMessage::Wheel && e.wheelDelta != 0) {
            navigator_.Resize(RenderSize());
            navigator_.Wheel(p, e.wheelDelta);
            return;
        }
        if (e.message != MouseMessage::LeftDown) {
            NavigateByMouse(e, p);
            return;
        }
        // A left press: the navigation controls and an open dialog come first.
        const int w = RenderSize().width;
        const int controlX = w - protocol::kControlFromRight;
        const protocol::NavigationZone zone = protocol::NavigationZoneAt(p, w);
        if (zone == protocol::NavigationZone::Look) {
            // Look control: the centre puts north up, the ring turns and tilts the view.
            const int dx = p.x - controlX;
            const int dy = p.y - protocol::kLookCentreY;
            model_.Navigate([&](CameraState& c) {
                if (dx * dx + dy * dy <= 64) {
                    c.Azimuth = 0.0;
                } else if (std::abs(dx) >= std::abs(dy)) {
                    c.Azimuth += dx > 0 ? 10.0 : -10.0;
                } else {
                    c.Tilt += dy < 0 ? 5.0 : -5.0;
                }
            });
        } else if (zone == protocol::NavigationZone::Move) {
            // Move control: a tenth of the range towards the side clicked.
            const double dx = p.x - controlX;
            const double dy = p.y - protocol::kMoveCentreY;
            if (dx * dx + dy * dy > 16) {
                model_.Navigate([&](CameraState& c) {
                    MoveFocus(c, c.Azimuth + std::atan2(dx, -dy) * kRadToDeg, 0.1 * c.Range);
                    c.FocusPointAltitudeMode = 1;
                    c.FocusPointAltitude = 0.0;
                });
            }
        } else if (zone == protocol::NavigationZone::ZoomIn) {
            model_.Navigate([](CameraState& c) { c.Range *= 0.75; }); // zoom in
        } else if (zone == protocol::NavigationZone::Slider) {
            model_.Navigate([](CameraState& c) { c.Range *= 0.9; }); // the slider: a notch in
        } else if (zone == protocol::NavigationZone::ZoomOut) {
            model_.Navigate([](CameraState& c) { c.Range /= 0.75; }); // zoom out
        } else if (dialog_ != kNoWindow) {
            // A new path or polygon takes its vertices from clicks on the view; a new
            // placemark moves to the click.
            const Size s = RenderSize();
            const double nx = 2.0 * (p.x - s.width / 2.0) / s.width;
            const double ny = 2.0 * (s.height / 2.0 - p.y) / s.height;
            if (const auto g = model_.GroundAt(nx, ny)) {
                if (dialogKind_ == DialogKind::Placemark) {
                    dialogPoints_.clear();
                }
                dialogPoints_.push_back({g->longitude, g->latitude, 0.0});
            }
        } else {
            NavigateByMouse(e, p);
        }
    }
};

GlobeWindows::GlobeWindows(IDesktop& desktop, GlobeModel& model, GlobeWindowOptions options)
    : impl_(std::make_unique<Impl>(desktop, model, std::move(options))) {}

GlobeWindows::~GlobeWindows() = default;

void GlobeWindows::Close() {
    impl_->Close();
}
bool GlobeWindows::Closed() const {
    return impl_->closed_;
}
WindowHandle GlobeWindows::MainWindow() const {
    return impl_->main_;
}
WindowHandle GlobeWindows::RenderWindow() const {
    return impl_->render_;
}
WindowHandle GlobeWindows::DialogWindow() const {
    return impl_->dialog_;
}
Size GlobeWindows::RenderSize() const {
    return impl_->RenderSize();
}
int GlobeWindows::RepaintCount() const {
    return impl_->repaints_;
}
void GlobeWindows::OpenKmlFile(const std::string& fileName, int suppressMessages) {
    impl_->OpenKmlFile(fileName, suppressMessages);
}
void GlobeWindows::SetRunActive(bool active) {
    impl_->navigator_.SetRunActive(active);
}
bool GlobeWindows::RunActive() const {
    return impl_->navigator_.RunActive();
}

} // namespace scribeline::globe
