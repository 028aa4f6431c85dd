// The globe window of the desktop app: the simulated globe's render window on the Qt desktop,
// painted with frames of the asynchronous renderer. The globe's own window handler already
// takes real mouse and keys (hooks first, then navigation and its controls); this class adds
// the pictures: every repaint of the view asks for a frame, the newest frame arrives on the
// GUI thread and repaints the widget, and the map is draped on the terrain with a picture the
// map host renders on the GUI thread when the renderer asks for an area.
#pragma once

#include "hosts/globe/async_renderer.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "hosts/qtdesktop/qt_desktop.hpp"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace scribeline::frontend {

// Renders the map over an area on the GUI thread; nothing when there is no picture.
using GuiDrapeRenderer = std::function<std::optional<globe::Image>(const globe::DrapeArea&)>;

class GlobeFrames {
public:
    // Both borrowed; they must outlive this object. `drape` may be empty (no map on the
    // terrain). Registers itself as the render window's renderer.
    GlobeFrames(qtdesktop::QtDesktop& desktop, globe::SimulatedGlobe& globe,
                GuiDrapeRenderer drape = {});
    ~GlobeFrames();
    GlobeFrames(const GlobeFrames&) = delete;
    GlobeFrames& operator=(const GlobeFrames&) = delete;

    // The view changed (the globe's repaint hook): asks for a frame of the view now. A view
    // that changes again within a moment counts as moving (coarser frames until it settles).
    void ViewChanged();
    // Waits (pumping Qt's events) until the frame of the latest view is shown; false when the
    // timeout passed first.
    bool WaitShown(std::chrono::milliseconds timeout);
    [[nodiscard]] std::uint64_t FramesShown() const { return shown_; }
    // The newest frame (empty before the first).
    [[nodiscard]] globe::Image Latest() const;

private:
    void deliver(globe::Frame frame);
    void show(std::uint64_t request);
    void renderDrape(const globe::DrapeArea& area);

    qtdesktop::QtDesktop& desktop_;
    globe::SimulatedGlobe& globe_;
    GuiDrapeRenderer drape_;
    QObject context_; // queued calls to the GUI thread die with it
    mutable std::mutex mutex_;
    globe::Image latest_;
    std::uint64_t latestRequest_ = 0;
    std::uint64_t requested_ = 0;
    std::uint64_t shown_ = 0;
    std::optional<globe::DrapeArea> drapeInFlight_;
    // When the camera last moved, and where to: documents that change under a still camera
    // (a vertex added) are no movement.
    std::chrono::steady_clock::time_point lastMove_{};
    std::optional<globe::CameraState> lastCamera_;
    Size lastSize_{};
    std::unique_ptr<globe::AsyncRenderer> renderer_; // last: its thread calls into the above
};

} // namespace scribeline::frontend
