#include "hosts/globe/simulated_globe.hpp"

#include "command/globe_protocol.hpp"
#include "hosts/globe/base_earth.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace scribeline::globe {

const char* OperationName(GlobeOperation operation) {
    switch (operation) {
    case GlobeOperation::GetCamera:
        return "GetCamera";
    case GlobeOperation::SetCamera:
        return "SetCamera";
    case GlobeOperation::OpenKmlFile:
        return "OpenKmlFile";
    case GlobeOperation::LoadKmlData:
        return "LoadKmlData";
    case GlobeOperation::AutoPilotSpeed:
        return "AutoPilotSpeed";
    case GlobeOperation::SetAutoPilotSpeed:
        return "SetAutoPilotSpeed";
    case GlobeOperation::ViewExtents:
        return "ViewExtents";
    case GlobeOperation::GetPointOnTerrainFromScreenCoords:
        return "GetPointOnTerrainFromScreenCoords";
    case GlobeOperation::VersionMajor:
        return "VersionMajor";
    case GlobeOperation::VersionMinor:
        return "VersionMinor";
    case GlobeOperation::VersionBuild:
        return "VersionBuild";
    case GlobeOperation::VersionAppType:
        return "VersionAppType";
    case GlobeOperation::IsInitialized:
        return "IsInitialized";
    case GlobeOperation::IsOnline:
        return "IsOnline";
    case GlobeOperation::ElevationExaggeration:
        return "ElevationExaggeration";
    case GlobeOperation::SetElevationExaggeration:
        return "SetElevationExaggeration";
    case GlobeOperation::GetMainHwnd:
        return "GetMainHwnd";
    case GlobeOperation::GetRenderHwnd:
        return "GetRenderHwnd";
    }
    return "?";
}

namespace {

constexpr int kFrameMs = 40;
constexpr double kSlowestFlightMs = 20000.0;

double Ease(double s) {
    return s * s * (3.0 - 2.0 * s);
}

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

// ---- the client ----------------------------------------------------------------------------

struct SimulatedGlobe::Client {
    struct Flight {
        CameraState from;
        double fromHeight = 0.0;
        CameraState to;
        double toHeight = 0.0;
        std::int64_t startMs = 0;
        std::int64_t durationMs = 1;
    };

    using DialogKind = protocol::DialogKind;

    class MainHandler final : public IWindowHandler {
    public:
        explicit MainHandler(Client& c) : client_(c) {}
        void onKey(const KeyEvent& e) override { client_.RenderKey(e); }
        void onResize(Size s) override { client_.LayOut(s); }
        // Closing the main window quits the client.
        void onDestroy() override { client_.Quit(); }

    private:
        Client& client_;
    };

    class RenderHandler final : public IWindowHandler {
    public:
        explicit RenderHandler(Client& c) : client_(c) {}
        void onMouse(const MouseEvent& e, Point p) override { client_.RenderMouse(e, p); }
        void onKey(const KeyEvent& e) override { client_.RenderKey(e); }
        void onResize(Size /*size*/) override { client_.Repaint(); }
        void onDestroy() override { client_.render_ = kNoWindow; }

    private:
        Client& client_;
    };

    // Navigation goes through the operations the port's handles call.
    class ClientCamera final : public CameraOperations {
    public:
        explicit ClientCamera(Client& c) : client_(c) {}
        CameraState GetCamera() override { return client_.GetCamera(1); }
        void SetCamera(const CameraState& camera) override {
            client_.Place(NormaliseCamera(camera, "SetCamera"), 5.0);
        }
        std::optional<Geodetic> PointOnTerrain(double x, double y) override {
            const CameraPose pose = client_.Pose(client_.Now());
            if (const auto hit = CastRay(client_.Surface(), pose.eye, RayDirection(pose, x, y))) {
                return Geodetic{hit->ground.latitude, WrapDegrees(hit->ground.longitude),
                                hit->ground.height};
            }
            return std::nullopt;
        }

    private:
        Client& client_;
    };

    class DialogHandler final : public IWindowHandler {
    public:
        explicit DialogHandler(Client& c) : client_(c) {}
        void onKey(const KeyEvent& e) override { client_.DialogKey(e); }
        // Closing the dialog cancels it.
        void onDestroy() override { client_.dialog_ = kNoWindow; }

    private:
        Client& client_;
    };

    struct KeptDocument {
        std::string key; // absolute path of an opened file; empty for loaded text
        KmlDocument document;
    };

    IDesktop& desktop_;
    GlobeOptions options_;
    std::shared_ptr<const ElevationModel> model_;
    // Every terrain query's answer with its source, for reports.
    static constexpr std::size_t kMaxAnswerRecords = 2'000'000;
    std::vector<TerrainAnswerRecord> answers_;
    bool terrainOn_ = true;
    double exaggeration_ = 1.0;
    double autoPilotSpeed_ = 1.0;
    CameraState camera_;
    std::optional<Flight> flight_;
    TimerHandle frameTimer_ = 0;
    bool initialized_ = true;
    bool online_ = true;
    bool reachable_ = true;
    bool closed_ = false;
    ClientVersion version_;
    int latencyMs_ = 0;
    std::map<std::uint64_t, int> delays_;
    std::uint64_t queries_ = 0;
    std::map<GlobeOperation, std::string> failures_;
    std::vector<GlobeOperation> log_;
    std::vector<KeptDocument> documents_;
    int repaints_ = 0;

    MainHandler mainHandler_{*this};
    RenderHandler renderHandler_{*this};
    ClientCamera clientCamera_{*this};
    Navigator navigator_{clientCamera_, Size{800, 500}};
    bool control_ = false;
    DialogHandler dialogHandler_{*this};
    WindowHandle main_ = kNoWindow;
    WindowHandle render_ = kNoWindow;
    WindowHandle dialog_ = kNoWindow;
    DialogKind dialogKind_ = DialogKind::Placemark;
    std::string dialogName_;
    bool dialogNameTyped_ = false;
    std::vector<KmlCoordinate> dialogPoints_;

    Client(IDesktop& desktop, GlobeOptions options)
        : desktop_(desktop), options_(std::move(options)) {
        model_ = options_.terrain ? options_.terrain : SharedBaseEarth();
        terrainOn_ = options_.terrainLayerOn;
        if (!(options_.elevationExaggeration > 0.0)) {
            throw std::invalid_argument("SimulatedGlobe: the exaggeration must be above 0");
        }
        exaggeration_ = options_.elevationExaggeration;
        autoPilotSpeed_ = options_.autoPilotSpeed;
        initialized_ = options_.initialized;
        online_ = options_.online;
        version_ = options_.version;
        try {
            camera_ = NormaliseCamera(options_.camera, "SimulatedGlobe");
        } catch (const PortError& e) {
            throw std::invalid_argument(e.what());
        }
        const Rect& r = options_.mainWindow;
        const Size render = RenderSizeFor({r.width(), r.height()});
        if (render.width < 1 || render.height < 1) {
            throw std::invalid_argument("SimulatedGlobe: the main window leaves no render window");
        }
        main_ = desktop_.CreateWindow({std::string(protocol::kMainWindowClass),
                                       std::string(protocol::kMainWindowTitle), kNoWindow, r, true},
                                      &mainHandler_);
        render_ = desktop_.CreateWindow(
            {std::string(protocol::kRenderWindowClass), "", main_,
             Rect{options_.sidePanelWidth, options_.toolBarHeight,
                  options_.sidePanelWidth + render.width, options_.toolBarHeight + render.height},
             true},
            &renderHandler_);
        // The main window heard of its client size (its outer size less a frame) before the
        // render window existed: the render window takes what that client area leaves.
        if (const auto client = desktop_.GetClientRect(main_)) {
            LayOut({client->width(), client->height()});
        }
    }

    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // The main window went: the client is gone, its other windows with it.
    void Quit() {
        main_ = kNoWindow;
        Close();
    }

    void Close() {
        closed_ = true;
        flight_.reset();
        StopFrames();
        for (WindowHandle w : {dialog_, render_, main_}) {
            if (w != kNoWindow && desktop_.IsWindow(w)) {
                desktop_.DestroyWindow(w);
            }
        }
        dialog_ = render_ = main_ = kNoWindow;
    }

    // ---- plumbing ----

    void Enter(GlobeOperation op) {
        log_.push_back(op);
        if (closed_) {
            throw PortError(OperationName(op), "the globe client is not running");
        }
        if (const auto f = failures_.find(op); f != failures_.end()) {
            const std::string reason = f->second;
            failures_.erase(f);
            throw PortError(OperationName(op), reason);
        }
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

    [[nodiscard]] TerrainSurface Surface() const {
        return TerrainSurface(model_, terrainOn_, exaggeration_);
    }

    void Repaint() {
        ++repaints_;
        if (options_.onRepaint && render_ != kNoWindow) {
            options_.onRepaint(render_);
        }
    }

    // ---- camera and time ----

    void StopFrames() {
        if (frameTimer_ != 0) {
            desktop_.KillTimer(frameTimer_);
            frameTimer_ = 0;
        }
    }

    // Brings a flight up to the clock: true when the view moved.
    bool Advance() {
        if (!flight_) {
            return false;
        }
        if (desktop_.TickCount() - flight_->startMs >= flight_->durationMs) {
            camera_ = flight_->to;
            flight_.reset();
            StopFrames();
            Repaint();
        }
        return true;
    }

    [[nodiscard]] CameraState Current() const {
        if (!flight_) {
            return camera_;
        }
        const Flight& f = *flight_;
        const double s = std::clamp(static_cast<double>(desktop_.TickCount() - f.startMs) /
                                        static_cast<double>(f.durationMs),
                                    0.0, 1.0);
        const double k = Ease(s);
        CameraState c;
        c.FocusPointLatitude =
            f.from.FocusPointLatitude + (f.to.FocusPointLatitude - f.from.FocusPointLatitude) * k;
        c.FocusPointLongitude =
            WrapDegrees(f.from.FocusPointLongitude +
                        WrapDegrees(f.to.FocusPointLongitude - f.from.FocusPointLongitude) * k);
        c.FocusPointAltitudeMode = 2;
        c.FocusPointAltitude = f.fromHeight + (f.toHeight - f.fromHeight) * k;
        c.Range = f.from.Range * std::pow(f.to.Range / f.from.Range, k);
        c.Tilt = f.from.Tilt + (f.to.Tilt - f.from.Tilt) * k;
        c.Azimuth = WrapDegrees(f.from.Azimuth + WrapDegrees(f.to.Azimuth - f.from.Azimuth) * k);
        return c;
    }

    // The camera state the view is at now (advancing any flight first).
    CameraState Now() {
        Advance();
        return Current();
    }

    [[nodiscard]] CameraPose Pose(const CameraState& c) const {
        const TerrainSurface surface = Surface();
        const Size s = RenderSize();
        return PoseFor(c, FocusHeight(c, surface), surface, std::max(s.width, 1),
                       std::max(s.height, 1));
    }

    void Place(const CameraState& target, double speed) {
        const CameraState from = Now();
        if (speed >= 5.0) {
            flight_.reset();
            StopFrames();
            camera_ = target;
            Repaint();
            return;
        }
        const TerrainSurface surface = Surface();
        Flight f;
        f.from = from;
        f.fromHeight = FocusHeight(from, surface);
        f.to = target;
        f.toHeight = FocusHeight(target, surface);
        f.startMs = desktop_.TickCount();
        f.durationMs = std::max<std::int64_t>(
            1, std::llround(speed > 0.0 ? std::min(kSlowestFlightMs, 2000.0 / speed)
                                        : kSlowestFlightMs));
        flight_ = f;
        camera_ = target;
        if (frameTimer_ == 0) {
            frameTimer_ = desktop_.SetTimer(kFrameMs, [this] {
                if (!Advance()) {
                    StopFrames();
                    return;
                }
                if (flight_) {
                    Repaint();
                }
            });
        }
        Repaint();
    }

    // A change made by the client itself (navigation control, wheel): at once.
    void Navigate(const std::function<void(CameraState&)>& change) {
        CameraState c = Now();
        change(c);
        c.Tilt = std::clamp(c.Tilt, 0.0, 90.0);
        c.Range = std::clamp(c.Range, 10.0, 5.0e7);
        c.Azimuth = WrapDegrees(c.Azimuth);
        Place(c, 5.0);
    }

    // ---- port operations ----

    CameraState GetCamera(int considerTerrain) {
        const CameraState c = Now();
        const CameraPose pose = Pose(c);
        const TerrainSurface surface =
            considerTerrain != 0 ? Surface() : TerrainSurface(model_, false, 1.0);
        const auto hit = CastRay(surface, pose.eye, pose.forward);
        if (!hit) {
            return c; // looking past the globe: the focus point as set
        }
        // A focus point already on that ground reads back exactly as it was set.
        const bool onGround = c.FocusPointAltitudeMode == 0 ||
                              (c.FocusPointAltitudeMode != 2 && c.FocusPointAltitude == 0.0);
        if (considerTerrain != 0 && !flight_ && onGround && norm(hit->ecef - pose.focus) < 0.5) {
            return c;
        }
        const ViewAngles angles = AnglesAt(hit->ground, pose.forward, pose.up);
        CameraState out;
        out.FocusPointLatitude = hit->ground.latitude;
        out.FocusPointLongitude = WrapDegrees(hit->ground.longitude);
        out.FocusPointAltitudeMode = 1;
        out.FocusPointAltitude =
            considerTerrain != 0 ? 0.0
                                 : -Surface().Height(hit->ground.latitude, hit->ground.longitude);
        out.Range = hit->distance;
        out.Tilt = angles.tilt;
        out.Azimuth = angles.azimuth;
        return out;
    }

    IPointOnTerrainGE PointOnTerrain(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            throw PortError("GetPointOnTerrainFromScreenCoords",
                            "screen coordinates must be finite");
        }
        const std::uint64_t number = queries_++;
        int latency = latencyMs_;
        if (const auto d = delays_.find(number); d != delays_.end()) {
            latency = d->second;
            delays_.erase(d);
        }
        if (latency > 0) {
            desktop_.Sleep(latency);
        }
        const CameraPose pose = Pose(Now());
        const TerrainSurface surface = Surface();
        const auto hit = CastRay(surface, pose.eye, RayDirection(pose, x, y));
        IPointOnTerrainGE p;
        TerrainAnswerRecord record;
        if (hit) {
            p.Latitude = hit->ground.latitude;
            p.Longitude = WrapDegrees(hit->ground.longitude);
            p.Altitude = hit->ground.height;
            p.HitGround = true;
            record = {p.Latitude, p.Longitude, p.Altitude,
                      surface.Answer(hit->ground.latitude, hit->ground.longitude).source, true};
        }
        if (answers_.size() < kMaxAnswerRecords) {
            answers_.push_back(record);
        }
        return p;
    }

    IViewExtentsGE ViewExtents() {
        const CameraState c = Now();
        const CameraPose pose = Pose(c);
        const TerrainSurface surface = Surface();
        std::vector<Geodetic> hits;
        // A missed sliver of ridge does not change the extents: long strides are fine.
        const auto cast = [&](double x, double y) {
            return CastRay(surface, pose.eye, RayDirection(pose, x, y), 0.0, 2.0);
        };
        const bool centreHits = cast(0.0, 0.0).has_value();
        // Each edge sample that misses the ground is pulled towards the centre until it
        // finds the horizon: by bisection when the centre sees ground, else by a scan for
        // the outermost ground first.
        const auto sample = [&](double x, double y) {
            if (const auto h = cast(x, y)) {
                hits.push_back(h->ground);
                return;
            }
            double lo = 0.0; // sees ground
            double hi = 1.0; // misses
            std::optional<Geodetic> best;
            if (!centreHits) {
                constexpr int kSteps = 16;
                for (int k = kSteps - 1; k >= 1 && !best; --k) {
                    const double f = static_cast<double>(k) / kSteps;
                    if (const auto h = cast(x * f, y * f)) {
                        lo = f;
                        hi = static_cast<double>(k + 1) / kSteps;
                        best = h->ground;
                    }
                }
                if (!best) {
                    return;
                }
            }
            for (int i = 0; i < 14; ++i) {
                const double mid = 0.5 * (lo + hi);
                if (const auto hm = cast(x * mid, y * mid)) {
                    lo = mid;
                    best = hm->ground;
                } else {
                    hi = mid;
                }
            }
            if (best) {
                hits.push_back(*best);
            }
        };
        constexpr int kPerEdge = 48;
        for (int i = 0; i <= kPerEdge; ++i) {
            const double t = -1.0 + 2.0 * i / kPerEdge;
            sample(t, 1.0);
            sample(t, -1.0);
            sample(-1.0, t);
            sample(1.0, t);
        }
        IViewExtentsGE e;
        if (hits.empty()) {
            e.North = e.South = c.FocusPointLatitude;
            e.East = e.West = c.FocusPointLongitude;
            return e;
        }
        const double lon0 = c.FocusPointLongitude;
        double north = -90.0;
        double south = 90.0;
        double lo = 360.0;
        double hi = -360.0;
        for (const Geodetic& g : hits) {
            north = std::max(north, g.latitude);
            south = std::min(south, g.latitude);
            const double rel = WrapDegrees(g.longitude - lon0);
            lo = std::min(lo, rel);
            hi = std::max(hi, rel);
        }
        bool allLongitudes = hi - lo >= 359.999;
        // A pole in sight sees every meridian.
        for (const double pole : {90.0, -90.0}) {
            const Vec3 p = ToEcef({pole, 0.0, surface.Height(pole, 0.0)});
            const auto s = Project(pose, p);
            if (s && std::abs(s->x) <= 1.0 && std::abs(s->y) <= 1.0) {
                if (const auto h = CastRay(surface, pose.eye, normalized(p - pose.eye));
                    h && std::abs(h->ground.latitude - pole) < 0.01) {
                    allLongitudes = true;
                    (pole > 0 ? north : south) = pole;
                }
            }
        }
        e.North = north;
        e.South = south;
        if (allLongitudes) {
            e.West = -180.0;
            e.East = 180.0;
        } else {
            e.West = WrapDegrees(lon0 + lo);
            e.East = -WrapDegrees(-(lon0 + hi)); // (-180, 180]: an east edge on 180 stays 180
        }
        return e;
    }

    void Keep(KeptDocument doc) {
        if (!doc.key.empty()) {
            for (KeptDocument& d : documents_) {
                if (d.key == doc.key) {
                    d = std::move(doc);
                    Trim();
                    Repaint();
                    return;
                }
            }
        }
        documents_.push_back(std::move(doc));
        Trim();
        Repaint();
    }

    void Trim() {
        std::size_t total = 0;
        for (const KeptDocument& d : documents_) {
            total += d.document.CoordinateCount();
        }
        // The newest document always stays.
        for (const bool files : {false, true}) {
            for (std::size_t i = 0;
                 i + 1 < documents_.size() && total > options_.maxKeptCoordinates;) {
                if (documents_[i].key.empty() != files) {
                    total -= documents_[i].document.CoordinateCount();
                    documents_.erase(documents_.begin() + static_cast<std::ptrdiff_t>(i));
                } else {
                    ++i;
                }
            }
        }
    }

    void OpenKmlFile(const std::string& fileName, int suppressMessages) {
        const auto fail = [&](const std::string& why) {
            if (suppressMessages == 0) {
                desktop_.MessageBox(main_, why, std::string(protocol::kMainWindowTitle),
                                    mb::Ok | mb::IconExclamation);
            }
            throw PortError("OpenKmlFile", why);
        };
        std::error_code ec;
        const std::filesystem::path path(fileName);
        if (fileName.empty() || !std::filesystem::is_regular_file(path, ec)) {
            fail("cannot open " + fileName + ": no such file");
        }
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) {
            fail("cannot read " + fileName);
        }
        KeptDocument doc;
        doc.key = std::filesystem::absolute(path, ec).lexically_normal().string();
        try {
            doc.document = ParseKml(text.str());
        } catch (const KmlError& e) {
            fail(fileName + ": " + e.what());
        }
        doc.document.sourcePath = fileName;
        Keep(std::move(doc));
    }

    void LoadKmlData(const std::string& text) {
        KeptDocument doc;
        try {
            doc.document = ParseKml(text);
        } catch (const KmlError& e) {
            throw PortError("LoadKmlData", e.what());
        }
        Keep(std::move(doc));
    }

    void SetExaggeration(double factor) {
        if (!std::isfinite(factor) || factor < 0.01 || factor > 3.0) {
            throw PortError("SetElevationExaggeration", "the factor must lie between 0.01 and 3");
        }
        if (factor != exaggeration_) {
            // A camera over the ground rises and falls with it.
            Advance();
            exaggeration_ = factor;
            Repaint();
        }
    }

    // ---- windows ----

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
        const CameraPose pose = Pose(Now());
        const auto hit = CastRay(Surface(), pose.eye, pose.forward);
        IPointOnTerrainGE p;
        if (hit) {
            p = {hit->ground.latitude, WrapDegrees(hit->ground.longitude), hit->ground.height,
                 true};
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
        KeptDocument doc;
        doc.document.name = dialogName_;
        doc.document.placemarks.push_back(std::move(p));
        CloseDialog();
        Keep(std::move(doc));
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
            Navigate([&](CameraState& c) {
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
                Navigate([&](CameraState& c) {
                    MoveFocus(c, c.Azimuth + std::atan2(dx, -dy) * kRadToDeg, 0.1 * c.Range);
                    c.FocusPointAltitudeMode = 1;
                    c.FocusPointAltitude = 0.0;
                });
            }
        } else if (zone == protocol::NavigationZone::ZoomIn) {
            Navigate([](CameraState& c) { c.Range *= 0.75; }); // zoom in
        } else if (zone == protocol::NavigationZone::Slider) {
            Navigate([](CameraState& c) { c.Range *= 0.9; }); // the slider: a notch in
        } else if (zone == protocol::NavigationZone::ZoomOut) {
            Navigate([](CameraState& c) { c.Range /= 0.75; }); // zoom out
        } else if (dialog_ != kNoWindow) {
            // A new path or polygon takes its vertices from clicks on the view; a new
            // placemark moves to the click.
            const Size s = RenderSize();
            const double nx = 2.0 * (p.x - s.width / 2.0) / s.width;
            const double ny = 2.0 * (s.height / 2.0 - p.y) / s.height;
            const CameraPose pose = Pose(Now());
            if (const auto hit = CastRay(Surface(), pose.eye, RayDirection(pose, nx, ny))) {
                if (dialogKind_ == DialogKind::Placemark) {
                    dialogPoints_.clear();
                }
                dialogPoints_.push_back(
                    {WrapDegrees(hit->ground.longitude), hit->ground.latitude, 0.0});
            }
        } else {
            NavigateByMouse(e, p);
        }
    }

    [[nodiscard]] std::vector<const KmlDocument*> DocumentList() const {
        std::vector<const KmlDocument*> out;
        out.reserve(documents_.size());
        for (const KeptDocument& d : documents_) {
            out.push_back(&d.document);
        }
        return out;
    }

    // The view now. `own`: the snapshot keeps copies of the documents (for a frame rendered
    // later, on another thread); else it borrows them for a synchronous picture.
    [[nodiscard]] FrameRequest Request(Size size, bool own) const {
        FrameRequest request;
        request.camera = Current();
        request.surface = Surface();
        std::vector<DemOutline> outlines;
        if (const ElevationModel* model = request.surface.Model()) {
            outlines = model->Outlines();
        }
        if (own) {
            auto snapshot = std::make_shared<DocumentSnapshot>();
            for (const KeptDocument& d : documents_) {
                snapshot->documents.push_back(std::make_shared<const KmlDocument>(d.document));
            }
            snapshot->demOutlines = std::move(outlines);
            request.documents = std::move(snapshot);
        } else {
            request.documents = BorrowDocuments(DocumentList(), std::move(outlines));
        }
        request.overlays = options_.overlays ? options_.overlays() : std::vector<Overlay>{};
        request.width = std::max(size.width, 1);
        request.height = std::max(size.height, 1);
        return request;
    }

    [[nodiscard]] Image Render(Size size) const {
        return RenderMeshFrame(Request(size, false), options_.drape);
    }
};

// ---- the port's handle -------------------------------------------------------------------

namespace {

using Op = GlobeOperation;

class ApplicationHandle final : public IApplicationGE {
public:
    explicit ApplicationHandle(std::shared_ptr<SimulatedGlobe::Client> client)
        : c_(std::move(client)) {}

    ICameraInfoGE GetCamera(int considerTerrain) override {
        c_->Enter(Op::GetCamera);
        return c_->GetCamera(considerTerrain);
    }
    void SetCamera(const ICameraInfoGE& camera, double speed) override {
        c_->Enter(Op::SetCamera);
        if (!std::isfinite(speed) || speed < 0.0) {
            throw PortError("SetCamera", "the speed must be a number of at least 0");
        }
        c_->Place(NormaliseCamera(camera, "SetCamera"), speed);
    }
    void OpenKmlFile(const std::string& fileName, int suppressMessages) override {
        c_->Enter(Op::OpenKmlFile);
        c_->OpenKmlFile(fileName, suppressMessages);
    }
    void LoadKmlData(const std::string& kmlText) override {
        c_->Enter(Op::LoadKmlData);
        c_->LoadKmlData(kmlText);
    }
    double AutoPilotSpeed() override {
        c_->Enter(Op::AutoPilotSpeed);
        return c_->autoPilotSpeed_;
    }
    void SetAutoPilotSpeed(double speed) override {
        c_->Enter(Op::SetAutoPilotSpeed);
        if (!std::isfinite(speed) || speed < 0.0) {
            throw PortError("SetAutoPilotSpeed", "the speed must be a number of at least 0");
        }
        c_->autoPilotSpeed_ = speed;
    }
    IViewExtentsGE ViewExtents() override {
        c_->Enter(Op::ViewExtents);
        return c_->ViewExtents();
    }
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) override {
        c_->Enter(Op::GetPointOnTerrainFromScreenCoords);
        return c_->PointOnTerrain(x, y);
    }
    int VersionMajor() override {
        c_->Enter(Op::VersionMajor);
        return c_->version_.major;
    }
    int VersionMinor() override {
        c_->Enter(Op::VersionMinor);
        return c_->version_.minor;
    }
    int VersionBuild() override {
        c_->Enter(Op::VersionBuild);
        return c_->version_.build;
    }
    int VersionAppType() override {
        c_->Enter(Op::VersionAppType);
        return c_->version_.appType;
    }
    int IsInitialized() override {
        c_->Enter(Op::IsInitialized);
        return c_->initialized_ ? 1 : 0;
    }
    int IsOnline() override {
        c_->Enter(Op::IsOnline);
        return c_->online_ ? 1 : 0;
    }
    double ElevationExaggeration() override {
        c_->Enter(Op::ElevationExaggeration);
        return c_->exaggeration_;
    }
    void SetElevationExaggeration(double factor) override {
        c_->Enter(Op::SetElevationExaggeration);
        c_->SetExaggeration(factor);
    }
    WindowHandle GetMainHwnd() override {
        c_->Enter(Op::GetMainHwnd);
        return c_->main_;
    }
    WindowHandle GetRenderHwnd() override {
        c_->Enter(Op::GetRenderHwnd);
        return c_->render_;
    }

private:
    std::shared_ptr<SimulatedGlobe::Client> c_;
};

class GlobeConnector final : public IGlobeConnector {
public:
    explicit GlobeConnector(std::weak_ptr<SimulatedGlobe::Client> client)
        : client_(std::move(client)) {}
    std::shared_ptr<IApplicationGE> CreateApplication() override {
        const auto c = client_.lock();
        if (!c || c->closed_ || !c->reachable_) {
            throw PortError("CreateApplication", "the globe client is not running");
        }
        return std::make_shared<ApplicationHandle>(c);
    }

private:
    std::weak_ptr<SimulatedGlobe::Client> client_;
};

} // namespace

// ---- SimulatedGlobe ----------------------------------------------------------------------

SimulatedGlobe::SimulatedGlobe(IDesktop& desktop, GlobeOptions options)
    : client_(std::make_shared<Client>(desktop, std::move(options))) {}

SimulatedGlobe::~SimulatedGlobe() {
    client_->Close();
}

IGlobeConnector& SimulatedGlobe::Connector() {
    if (!connector_) {
        connector_ = std::make_unique<GlobeConnector>(client_);
    }
    return *connector_;
}

std::shared_ptr<IApplicationGE> SimulatedGlobe::CreateApplication() {
    return Connector().CreateApplication();
}

WindowHandle SimulatedGlobe::MainWindow() const {
    return client_->main_;
}
WindowHandle SimulatedGlobe::RenderWindow() const {
    return client_->render_;
}
Size SimulatedGlobe::RenderSize() const {
    return client_->RenderSize();
}
WindowHandle SimulatedGlobe::DialogWindow() const {
    return client_->dialog_;
}
int SimulatedGlobe::RepaintCount() const {
    return client_->repaints_;
}

void SimulatedGlobe::SetTerrain(std::shared_ptr<const ElevationModel> model) {
    client_->Advance();
    client_->model_ = model ? std::move(model) : SharedBaseEarth();
    client_->Repaint();
}
const std::vector<TerrainAnswerRecord>& SimulatedGlobe::TerrainAnswers() const {
    return client_->answers_;
}

std::vector<std::string> SimulatedGlobe::TerrainSources() const {
    return client_->model_->Sources();
}

std::shared_ptr<const ElevationModel> SimulatedGlobe::Terrain() const {
    return client_->model_;
}
void SimulatedGlobe::SetTerrainLayerOn(bool on) {
    if (on != client_->terrainOn_) {
        client_->Advance();
        client_->terrainOn_ = on;
        client_->Repaint();
    }
}
bool SimulatedGlobe::TerrainLayerOn() const {
    return client_->terrainOn_;
}
double SimulatedGlobe::GroundHeight(double latitude, double longitude) const {
    return client_->Surface().Height(latitude, longitude);
}

CameraState SimulatedGlobe::Camera() const {
    return client_->Current();
}
bool SimulatedGlobe::Flying() const {
    return client_->flight_.has_value() &&
           client_->desktop_.TickCount() - client_->flight_->startMs < client_->flight_->durationMs;
}
std::optional<ScreenPosition> SimulatedGlobe::ProjectToScreen(double latitude, double longitude,
                                                              double height) const {
    return Project(client_->Pose(client_->Current()), ToEcef({latitude, longitude, height}));
}

std::vector<const KmlDocument*> SimulatedGlobe::Documents() const {
    return client_->DocumentList();
}

void SimulatedGlobe::SetInitialized(bool initialized) {
    client_->initialized_ = initialized;
}
void SimulatedGlobe::SetOnline(bool online) {
    client_->online_ = online;
}
void SimulatedGlobe::SetVersion(const ClientVersion& version) {
    client_->version_ = version;
}
void SimulatedGlobe::SetQueryLatency(int milliseconds) {
    client_->latencyMs_ = std::max(0, milliseconds);
}
void SimulatedGlobe::DelayQuery(std::uint64_t queryNumber, int milliseconds) {
    client_->delays_[queryNumber] = std::max(0, milliseconds);
}
std::uint64_t SimulatedGlobe::QueryCount() const {
    return client_->queries_;
}
void SimulatedGlobe::FailOnce(GlobeOperation operation, std::string reason) {
    client_->failures_[operation] = std::move(reason);
}
void SimulatedGlobe::SetReachable(bool reachable) {
    client_->reachable_ = reachable;
}
const std::vector<GlobeOperation>& SimulatedGlobe::CallLog() const {
    return client_->log_;
}
void SimulatedGlobe::ClearCallLog() {
    client_->log_.clear();
}

void SimulatedGlobe::SetRunActive(bool active) {
    client_->navigator_.SetRunActive(active);
}
bool SimulatedGlobe::RunActive() const {
    return client_->navigator_.RunActive();
}

FrameRequest SimulatedGlobe::ViewRequest(Size size) const {
    return client_->Request(size, true);
}

Image SimulatedGlobe::Render() const {
    return client_->Render(client_->RenderSize());
}
Image SimulatedGlobe::Render(Size size) const {
    return client_->Render(size);
}
Bitmap SimulatedGlobe::RenderBitmap(Size size) const {
    return ToBitmap(client_->Render(size));
}
void SimulatedGlobe::SavePng(const std::filesystem::path& path) const {
    WritePng(Render(), path.string());
}

} // namespace scribeline::globe
