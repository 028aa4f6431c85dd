// The headless hosts composed once: the virtual-clock desktop, the simulated globe on it (its
// repaints wipe what was drawn on its render window, the desktop's capture of that window is
// the globe's picture) and the GDAL map host on it (its map view captured and refreshed
// likewise), with the map it starts with. What the runner, the tests and the benches start
// the core on.
#pragma once

#include "command/globe_port.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/gis/gis_host.hpp"
#include "hosts/globe/simulated_globe.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

namespace scribeline::stack {

struct HeadlessStackOptions {
    // The desktop: its temporary folder (empty: a fresh one of its own), screen, clock.
    desktop::DesktopOptions desktop;
    // The globe: terrain, first camera, window layout. Its repaint and overlay hooks are the
    // stack's to set. Nothing: no globe is started (a test brings its own).
    std::optional<globe::GlobeOptions> globe = globe::GlobeOptions{};
    // The map host; its capture and repaint hooks are the stack's to set.
    gis::GisHostOptions map;
    // The map the host starts with: a project file, else the embedded default map when
    // `defaultMap` (copied into `mapFolder`, or the desktop's temporary folder when that is
    // empty; `worldMapSource` overrides the installed world map), else an empty map.
    std::optional<std::filesystem::path> project;
    bool defaultMap = false;
    std::filesystem::path mapFolder;
    std::filesystem::path worldMapSource;
};

// The starting map could not be loaded; what() is the host's reason.
class MapLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HeadlessStack {
public:
    // Starts the desktop, then the globe, then the map host and its map. Raises MapLoadError
    // when the map cannot be loaded, std::invalid_argument for globe options the globe refuses.
    explicit HeadlessStack(HeadlessStackOptions options = {});
    // Stops the map host (unless someone else still holds it), then the globe, then the
    // desktop.
    ~HeadlessStack();
    HeadlessStack(const HeadlessStack&) = delete;
    HeadlessStack& operator=(const HeadlessStack&) = delete;

    [[nodiscard]] desktop::HeadlessDesktop& Desktop() { return *desktop_; }
    // Raises std::logic_error when the stack was started without a globe.
    [[nodiscard]] globe::SimulatedGlobe& Globe();
    [[nodiscard]] bool HasGlobe() const { return globe_ != nullptr; }
    // The globe's connector, what the core is handed (see Globe()).
    [[nodiscard]] IGlobeConnector& GlobeConnector() { return Globe().Connector(); }
    // Shared: a command may hold the host; the desktop must still outlive it.
    [[nodiscard]] const std::shared_ptr<gis::GisHost>& MapHost() const { return map_; }

private:
    std::unique_ptr<desktop::HeadlessDesktop> desktop_;
    std::unique_ptr<globe::SimulatedGlobe> globe_;
    std::shared_ptr<gis::GisHost> map_;
};

} // namespace scribeline::stack
