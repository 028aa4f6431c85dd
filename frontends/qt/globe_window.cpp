#include "frontends/qt/globe_window.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QWidget>

#include <thread>

namespace scribeline::frontend {

namespace {

// Two view changes closer than this belong to one movement (a drag, a flight, the wheel).
constexpr std::chrono::milliseconds kMovingGap{120};

bool SameArea(const globe::DrapeArea& a, const globe::DrapeArea& b) {
    return a.west == b.west && a.south == b.south && a.east == b.east && a.north == b.north &&
           a.pixelDegrees == b.pixelDegrees;
}

bool SameCamera(const globe::CameraState& a, const globe::CameraState& b) {
    return a.FocusPointLatitude == b.FocusPointLatitude &&
           a.FocusPointLongitude == b.FocusPointLongitude &&
           a.FocusPointAltitude == b.FocusPointAltitude &&
           a.FocusPointAltitudeMode == b.FocusPointAltitudeMode && a.Range == b.Range &&
           a.Tilt == b.Tilt && a.Azimuth == b.Azimuth;
}

} // namespace

GlobeFrames::GlobeFrames(qtdesktop::QtDesktop& desktop, globe::SimulatedGlobe& globe,
                         GuiDrapeRenderer drape)
    : desktop_(desktop), globe_(globe), drape_(std::move(drape)) {
    globe::AsyncRenderer::Options options;
    if (drape_) {
        // Asked on the render thread: the map host draws only on the GUI thread, so the area
        // goes there and the picture comes back through SetDrape.
        options.drape = [this](const globe::DrapeArea& area) -> std::optional<globe::Image> {
            {
                std::lock_guard lock(mutex_);
                if (drapeInFlight_ && SameArea(*drapeInFlight_, area)) {
                    return std::nullopt;
                }
                drapeInFlight_ = area;
            }
            QMetaObject::invokeMethod(
                &context_, [this, area] { renderDrape(area); }, Qt::QueuedConnection);
            return std::nullopt;
        };
    }
    renderer_ = std::make_unique<globe::AsyncRenderer>(
        [this](globe::Frame frame) { deliver(std::move(frame)); }, std::move(options));
    desktop_.SetRenderer(globe_.RenderWindow(), [this](Size) {
        std::lock_guard lock(mutex_);
        return latest_.width > 0 ? globe::ToBitmap(latest_) : Bitmap{};
    });
    ViewChanged();
}

GlobeFrames::~GlobeFrames() {
    renderer_.reset(); // no frame arrives after this
    if (desktop_.IsWindow(globe_.RenderWindow())) {
        desktop_.SetRenderer(globe_.RenderWindow(), {});
    }
}

void GlobeFrames::ViewChanged() {
    const auto now = std::chrono::steady_clock::now();
    const globe::CameraState camera = globe_.Camera();
    const Size size = globe_.RenderSize();
    bool moving = globe_.Flying();
    if (!lastCamera_ || !SameCamera(*lastCamera_, camera) || size.width != lastSize_.width ||
        size.height != lastSize_.height) {
        moving = moving || now - lastMove_ < kMovingGap;
        lastMove_ = now;
        lastCamera_ = camera;
        lastSize_ = size;
    }
    const std::uint64_t number = renderer_->Request(globe_.ViewRequest(size), moving);
    std::lock_guard lock(mutex_);
    requested_ = number;
}

void GlobeFrames::deliver(globe::Frame frame) {
    const std::uint64_t request = frame.request;
    {
        std::lock_guard lock(mutex_);
        latest_ = std::move(frame.image);
        latestRequest_ = request;
    }
    QMetaObject::invokeMethod(
        &context_, [this, request] { show(request); }, Qt::QueuedConnection);
}

void GlobeFrames::show(std::uint64_t) {
    ++shown_;
    if (QWidget* widget = desktop_.Widget(globe_.RenderWindow())) {
        widget->update();
    }
}

void GlobeFrames::renderDrape(const globe::DrapeArea& area) {
    std::optional<globe::Image> image;
    try {
        image = drape_(area);
    } catch (...) {
        image.reset(); // a map that cannot be drawn leaves the terrain bare
    }
    if (image) {
        renderer_->SetDrape(globe::Drape{area, std::move(*image)});
        const std::uint64_t number =
            renderer_->Request(globe_.ViewRequest(globe_.RenderSize()), false);
        std::lock_guard lock(mutex_);
        requested_ = number;
    }
    std::lock_guard lock(mutex_);
    drapeInFlight_.reset();
}

bool GlobeFrames::WaitShown(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        bool done = false;
        {
            std::lock_guard lock(mutex_);
            done = latestRequest_ >= requested_ && shown_ > 0 && !drapeInFlight_;
        }
        // Idle: no frame pending or due, so no drape request can still come from this view.
        if (done && renderer_->WaitIdle(std::chrono::milliseconds(0))) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::lock_guard lock(mutex_);
            if (!drapeInFlight_ && latestRequest_ >= requested_) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

globe::Image GlobeFrames::Latest() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

} // namespace scribeline::frontend
