// Frames of the interactive globe, rendered on a thread of their own so that the caller (a
// GUI thread) is never held up by rendering: a request returns at once, a newer request
// replaces one still waiting, and frames arrive later through a callback.
//
// While the camera moves (requests marked as moving) frames are interactive ones, coarser and
// with the drape as it was; once no request has come for the settle time, a full-quality
// frame of the last view follows, and the drape provider is asked for the area around it
// first when the drape in use does not cover that area at the view's detail. A moving request
// for the very view whose full frame was just drawn (only documents or overlays changed) gets
// its full frame at once: the renderer keeps that terrain picture, so it costs no more.
#pragma once

#include "hosts/globe/mesh_renderer.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace scribeline::globe {

struct Frame {
    Image image;
    FrameQuality quality = FrameQuality::Full;
    std::uint64_t request = 0; // the number Request returned for the view it shows
};

class AsyncRenderer {
public:
    // Called on the render thread with every finished frame; must not throw, and must not
    // wait for the thread that destroys the renderer (the destructor waits for it). May be
    // empty (frames are then only counted).
    using FrameSink = std::function<void(Frame)>;

    struct Options {
        // How long the view must stay unchanged before its full-quality frame.
        std::chrono::milliseconds settle{150};
        // Asked on the render thread. A front end whose map may only be drawn on its own
        // thread returns nothing, draws there and hands the image in through SetDrape.
        DrapeProvider drape;
        std::size_t maxCachedTiles = 4000;
    };

    explicit AsyncRenderer(FrameSink sink);
    AsyncRenderer(FrameSink sink, Options options);
    // Waits for the frame in progress, drops the pending one.
    ~AsyncRenderer();
    AsyncRenderer(const AsyncRenderer&) = delete;
    AsyncRenderer& operator=(const AsyncRenderer&) = delete;

    // Asks for a frame of a view; returns its number (1, 2, ...) at once. A request still
    // waiting is replaced. `moving`: the camera is being dragged or flown. Raises
    // std::invalid_argument as CheckFrameRequest does.
    std::uint64_t Request(FrameRequest request, bool moving);
    // Replaces the drape in use (any thread).
    void SetDrape(Drape drape);
    // Waits until no frame is pending, in progress or due after settling; false when the
    // timeout passed first.
    bool WaitIdle(std::chrono::milliseconds timeout);
    [[nodiscard]] std::uint64_t FramesDelivered() const;

private:
    void Run();
    [[nodiscard]] bool IdleLocked() const;

    FrameSink sink_;
    Options options_;
    MeshRenderer renderer_; // the render thread's alone

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<FrameRequest> pending_;
    bool pendingMoving_ = false;
    std::uint64_t pendingNumber_ = 0;
    std::optional<FrameRequest> settling_; // the last moving view, awaiting its full frame
    std::uint64_t settlingNumber_ = 0;
    std::chrono::steady_clock::time_point settleAt_;
    bool busy_ = false;
    bool stop_ = false;
    std::uint64_t requests_ = 0;
    std::uint64_t delivered_ = 0;
    std::shared_ptr<const Drape> drape_;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace scribeline::globe
