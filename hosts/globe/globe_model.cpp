#include "hosts/globe/globe_model.hpp"

#include "hosts/globe/base_earth.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace scribeline::globe {

namespace {

constexpr double kSlowestFlightMs = 20000.0;
constexpr std::size_t kMaxAnswerRecords = 2'000'000;

double Ease(double s) {
    return s * s * (3.0 - 2.0 * s);
}

} // namespace

GlobeModel::GlobeModel(GlobeClock clock, GlobeModelOptions options)
    : clock_(std::move(clock)), options_(std::move(options)) {
    if (!clock_) {
        throw std::invalid_argument("GlobeModel: no clock");
    }
    model_ = options_.terrain ? options_.terrain : SharedBaseEarth();
    terrainOn_ = options_.terrainLayerOn;
    if (!(options_.elevationExaggeration > 0.0)) {
        throw std::invalid_argument("SimulatedGlobe: the exaggeration must be above 0");
    }
    exaggeration_ = options_.elevationExaggeration;
    autoPilotSpeed_ = options_.autoPilotSpeed;
    try {
        camera_ = NormaliseCamera(options_.camera, "SimulatedGlobe");
    } catch (const PortError& e) {
        throw std::invalid_argument(e.what());
    }
    snapshot_ = std::make_shared<const DocumentSnapshot>();
}

void GlobeModel::SetListener(std::function<void(Change)> listener) {
    listener_ = std::move(listener);
}

void GlobeModel::SetViewportSource(std::function<Size()> source) {
    viewport_ = std::move(source);
}

Size GlobeModel::Viewport() const {
    const Size s = viewport_ ? viewport_() : options_.viewport;
    return {std::max(s.width, 1), std::max(s.height, 1)};
}

void GlobeModel::Tell(Change change) const {
    if (listener_) {
        listener_(change);
    }
}

// ---- camera and time -----------------------------------------------------------------------

bool GlobeModel::Advance() {
    if (!flight_) {
        return false;
    }
    if (clock_() - flight_->startMs >= flight_->durationMs) {
        camera_ = flight_->to;
        flight_.reset();
        Tell(Change::FlightEnded);
        Tell(Change::View);
    }
    return true;
}

CameraState GlobeModel::Current() const {
    if (!flight_) {
        return camera_;
    }
    const Flight& f = *flight_;
    const double s = std::clamp(
        static_cast<double>(clock_() - f.startMs) / static_cast<double>(f.durationMs), 0.0, 1.0);
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

CameraState GlobeModel::Camera() const {
    return Current();
}

bool GlobeModel::Flying() const {
    return flight_.has_value() && clock_() - flight_->startMs < flight_->durationMs;
}

CameraState GlobeModel::Now() {
    Advance();
    return Current();
}

void GlobeModel::CancelFlight() {
    flight_.reset();
}

CameraPose GlobeModel::Pose(const CameraState& c) const {
    const TerrainSurface surface = Surface();
    const Size s = Viewport();
    return PoseFor(c, FocusHeight(c, surface), surface, s.width, s.height);
}

void GlobeModel::Place(const CameraState& target, double speed) {
    const CameraState from = Now();
    if (speed >= 5.0) {
        flight_.reset();
        camera_ = target;
        Tell(Change::FlightEnded);
        Tell(Change::View);
        return;
    }
    const TerrainSurface surface = Surface();
    Flight f;
    f.from = from;
    f.fromHeight = FocusHeight(from, surface);
    f.to = target;
    f.toHeight = FocusHeight(target, surface);
    f.startMs = clock_();
    f.durationMs = std::max<std::int64_t>(
        1,
        std::llround(speed > 0.0 ? std::min(kSlowestFlightMs, 2000.0 / speed) : kSlowestFlightMs));
    flight_ = f;
    camera_ = target;
    Tell(Change::FlightStarted);
    Tell(Change::View);
}

void GlobeModel::Navigate(const std::function<void(CameraState&)>& change) {
    CameraState c = Now();
    change(c);
    c.Tilt = std::clamp(c.Tilt, 0.0, 90.0);
    c.Range = std::clamp(c.Range, 10.0, 5.0e7);
    c.Azimuth = WrapDegrees(c.Azimuth);
    Place(c, 5.0);
}

CameraState GlobeModel::GetCamera(int considerTerrain) {
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
        considerTerrain != 0 ? 0.0 : -Surface().Height(hit->ground.latitude, hit->ground.longitude);
    out.Range = hit->distance;
    out.Tilt = angles.tilt;
    out.Azimuth = angles.azimuth;
    return out;
}

std::optional<ScreenPosition> GlobeModel::ProjectToScreen(double latitude, double longitude,
                                                          double height) const {
    return Project(Pose(Current()), ToEcef({latitude, longitude, height}));
}

// ---- queries -------------------------------------------------------------------------------

std::optional<Geodetic> GlobeModel::GroundAt(double x, double y) {
    const CameraPose pose = Pose(Now());
    if (const auto hit = CastRay(Surface(), pose.eye, RayDirection(pose, x, y))) {
        return Geodetic{hit->ground.latitude, WrapDegrees(hit->ground.longitude),
                        hit->ground.height};
    }
    return std::nullopt;
}

IPointOnTerrainGE GlobeModel::PointOnTerrain(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) {
        throw PortError("GetPointOnTerrainFromScreenCoords", "screen coordinates must be finite");
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

IViewExtentsGE GlobeModel::ViewExtents() {
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

const std::vector<TerrainAnswerRecord>& GlobeModel::TerrainAnswers() const {
    return answers_;
}

// ---- terrain -------------------------------------------------------------------------------

TerrainSurface GlobeModel::Surface() const {
    return TerrainSurface(model_, terrainOn_, exaggeration_);
}

void GlobeModel::SetTerrain(std::shared_ptr<const ElevationModel> model) {
    Advance();
    model_ = model ? std::move(model) : SharedBaseEarth();
    Tell(Change::View);
}

std::shared_ptr<const ElevationModel> GlobeModel::Terrain() const {
    return model_;
}

std::vector<std::string> GlobeModel::TerrainSources() const {
    return model_->Sources();
}

void GlobeModel::SetTerrainLayerOn(bool on) {
    if (on != terrainOn_) {
        Advance();
        terrainOn_ = on;
        Tell(Change::View);
    }
}

bool GlobeModel::TerrainLayerOn() const {
    return terrainOn_;
}

void GlobeModel::SetExaggeration(double factor) {
    if (!std::isfinite(factor) || factor < 0.01 || factor > 3.0) {
        throw PortError("SetElevationExaggeration", "the factor must lie between 0.01 and 3");
    }
    if (factor != exaggeration_) {
        // A camera over the ground rises and falls with it.
        Advance();
        exaggeration_ = factor;
        Tell(Change::View);
    }
}

double GlobeModel::Exaggeration() const {
    return exaggeration_;
}

double GlobeModel::GroundHeight(double latitude, double longitude) const {
    return Surface().Height(latitude, longitude);
}

// ---- settings ------------------------------------------------------------------------------

double GlobeModel::AutoPilotSpeed() const {
    return autoPilotSpeed_;
}

void GlobeModel::SetAutoPilotSpeed(double speed) {
    if (!std::isfinite(speed) || speed < 0.0) {
        throw PortError("SetAutoPilotSpeed", "the speed must be a number of at least 0");
    }
    autoPilotSpeed_ = speed;
}

const ClientVersion& GlobeModel::Version() const {
    return options_.version;
}

// ---- documents -----------------------------------------------------------------------------

void GlobeModel::OpenKmlFile(const std::string& fileName) {
    std::error_code ec;
    const std::filesystem::path path(fileName);
    if (fileName.empty() || !std::filesystem::is_regular_file(path, ec)) {
        throw DocumentError("cannot open " + fileName + ": no such file");
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) {
        throw DocumentError("cannot read " + fileName);
    }
    KmlDocument document;
    try {
        document = ParseKml(text.str());
    } catch (const KmlError& e) {
        throw DocumentError(fileName + ": " + e.what());
    }
    document.sourcePath = fileName;
    Keep(std::filesystem::absolute(path, ec).lexically_normal().string(), std::move(document));
}

void GlobeModel::LoadKmlData(const std::string& text) {
    KmlDocument document;
    try {
        document = ParseKml(text);
    } catch (const KmlError& e) {
        throw DocumentError(e.what());
    }
    Keep({}, std::move(document));
}

void GlobeModel::Keep(std::string key, KmlDocument document) {
    Kept kept{std::move(key), std::make_shared<const KmlDocument>(std::move(document))};
    bool replaced = false;
    if (!kept.key.empty()) {
        for (Kept& k : kept_) {
            if (k.key == kept.key) {
                k = std::move(kept);
                replaced = true;
                break;
            }
        }
    }
    if (!replaced) {
        kept_.push_back(std::move(kept));
    }
    Trim();
    Publish();
    Tell(Change::View);
}

void GlobeModel::Trim() {
    std::size_t total = 0;
    for (const Kept& k : kept_) {
        total += k.document->CoordinateCount();
    }
    // The newest document always stays.
    for (const bool files : {false, true}) {
        for (std::size_t i = 0; i + 1 < kept_.size() && total > options_.maxKeptCoordinates;) {
            if (kept_[i].key.empty() != files) {
                total -= kept_[i].document->CoordinateCount();
                kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
}

// A new snapshot per change: readers of the old one keep what they hold.
void GlobeModel::Publish() {
    auto snapshot = std::make_shared<DocumentSnapshot>();
    snapshot->documents.reserve(kept_.size());
    for (const Kept& k : kept_) {
        snapshot->documents.push_back(k.document);
    }
    snapshot_ = std::move(snapshot);
}

std::shared_ptr<const DocumentSnapshot> GlobeModel::Documents() const {
    return snapshot_;
}

} // namespace scribeline::globe
