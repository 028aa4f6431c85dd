#include "hosts/globe/async_renderer.hpp"

#include <algorithm>
#include <stdexcept>

namespace scribeline::globe {

namespace {

// Whether a drape serves a view: it covers the ground in view (margin aside) and its pixels
// are not much coarser than the view's.
bool Serves(const Drape& drape, const DrapeArea& wanted) {
    const DrapeArea& have = drape.area;
    double west = wanted.west;
    // Compare longitudes in the drape's own range.
    while (west < have.west) {
        west += 360.0;
    }
    while (west - 360.0 >= have.west) {
        west -= 360.0;
    }
    const double east = west + (wanted.east - wanted.west);
    const double havePixel = (have.east - have.west) / std::max(drape.image.width, 1);
    return east <= have.east && wanted.south >= have.south && wanted.north <= have.north &&
           havePixel <= 1.5 * wanted.pixelDegrees;
}

} // namespace

AsyncRenderer::AsyncRenderer(FrameSink sink) : AsyncRenderer(std::move(sink), Options{}) {}

AsyncRenderer::AsyncRenderer(FrameSink sink, Options options)
    : sink_(std::move(sink)), options_(std::move(options)), renderer_(options_.maxCachedTiles),
      thread_([this] { Run(); }) {}

AsyncRenderer::~AsyncRenderer() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::uint64_t AsyncRenderer::Request(FrameRequest request, bool moving) {
    CheckFrameRequest(request); // here, not on the render thread
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(mutex_);
        number = ++requests_;
        pending_ = std::move(request);
        pendingMoving_ = moving;
        pendingNumber_ = number;
    }
    wake_.notify_all();
    return number;
}

void AsyncRenderer::SetDrape(Drape drape) {
    auto shared = std::make_shared<const Drape>(std::move(drape));
    const std::lock_guard lock(mutex_);
    drape_ = std::move(shared);
}

bool AsyncRenderer::IdleLocked() const {
    return !pending_ && !settling_ && !busy_;
}

bool AsyncRenderer::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return IdleLocked(); });
}

std::uint64_t AsyncRenderer::FramesDelivered() const {
    const std::lock_guard lock(mutex_);
    return delivered_;
}

void AsyncRenderer::Run() {
    std::unique_lock lock(mutex_);
    while (true) {
        if (stop_) {
            return;
        }
        FrameRequest request;
        std::uint64_t number = 0;
        FrameQuality quality = FrameQuality::Full;
        if (pending_) {
            request = std::move(*pending_);
            pending_.reset();
            number = pendingNumber_;
            if (pendingMoving_) {
                quality = FrameQuality::Interactive;
                settling_ = request;
                settlingNumber_ = number;
                settleAt_ = std::chrono::steady_clock::now() + options_.settle;
            } else {
                settling_.reset();
            }
        } else if (settling_) {
            if (std::chrono::steady_clock::now() < settleAt_) {
                wake_.wait_until(lock, settleAt_);
                continue;
            }
            request = std::move(*settling_);
            settling_.reset();
            number = settlingNumber_;
        } else {
            idle_.notify_all();
            wake_.wait(lock);
            continue;
        }
        busy_ = true;
        std::shared_ptr<const Drape> drape = drape_;
        lock.unlock();

        bool settled = false;
        if (quality == FrameQuality::Interactive &&
            renderer_.KeepsTerrainFor(request, FrameQuality::Full, drape.get())) {
            // The full picture of this very view is at hand, so only documents or overlays
            // changed while the view counted as moving: the full frame costs no more than a
            // coarse one, and there is nothing left to settle. Its drape was brought up to
            // this view when that picture was drawn.
            quality = FrameQuality::Full;
            settled = true;
            const std::lock_guard settleLock(mutex_);
            if (settling_ && settlingNumber_ == number) {
                settling_.reset();
            }
        }
        if (quality == FrameQuality::Full && !settled && options_.drape) {
            // The view has settled: bring the drape up to it unless it already serves.
            const auto inView = DrapeAreaFor(request, 0.0);
            if (inView && (!drape || !Serves(*drape, *inView))) {
                const auto area = DrapeAreaFor(request);
                if (auto image = options_.drape(*area)) {
                    drape = std::make_shared<const Drape>(Drape{*area, std::move(*image)});
                    const std::lock_guard drapeLock(mutex_);
                    drape_ = drape;
                }
            }
        }
        Frame frame;
        frame.image = renderer_.Render(request, quality, drape);
        frame.quality = quality;
        frame.request = number;
        if (sink_) {
            sink_(std::move(frame));
        }

        lock.lock();
        busy_ = false;
        ++delivered_;
    }
}

} // namespace scribeline::globe
