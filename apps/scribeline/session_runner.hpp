// The session runner: the composition the real hosts give the digitizer, played by a session.
// It starts the headless desktop, the simulated globe and the map host, creates the command
// the way the host does (OnCreate), plays every step of the session the way a person works,
// and writes a JSON report (docs/session.md).
#pragma once

#include "apps/scribeline/front_end.hpp"
#include "apps/scribeline/session.hpp"
#include "command/window_controls.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace scribeline::app {

struct RunOptions {
    // Everything the session writes goes here: the temporary folder of the digitizer (run
    // shapefiles, live KML files), the copy of the default map, pictures and report.json.
    std::filesystem::path outDir;
    // Raster DEMs (any GDAL format, a VRT too) set in the base Earth; the finest that covers a
    // point answers there.
    std::vector<std::filesystem::path> dems;
    // The base Earth file (ETOPO5 netCDF); empty: where the ferret-datasets package puts it.
    std::filesystem::path baseEarth;
    // A project file for the map; none: the embedded default map.
    std::optional<std::filesystem::path> project;
    // Whether to write PNG pictures of the globe and the map at the end; unset: as the session
    // says.
    std::optional<bool> pictures;
    // Told one line after every step ("step 3/20 toolbar").
    std::function<void(const std::string&)> progress;
    // Given the digitizer window's controls once the command exists, before the first step: a
    // front end binds here. The controls are borrowed for the session (until RunSession
    // returns); subscriptions must go before then.
    std::function<void(Controls&)> bind;
    // The file the default map is copied from.
    std::filesystem::path worldMapSource;
    // Starts the front end the session is played on; empty: the headless desktop on its
    // virtual clock, the simulated globe and the map host.
    FrontEndFactory frontEnd;
};

// Plays a session and returns its report, which is also written to outDir/report.json.
// Raises SessionError before anything is played when the session names a control, toolbar key,
// menu item, key or position the window does not have; a step that cannot be played ends the
// session (an active run is closed as when the window closes), the report is written with the
// error, and SessionError is raised. Set-up failures (DEM, base Earth, project, map) raise
// std::runtime_error; a DEM or base Earth that cannot be used is found before anything is
// written. The report gives per layer written in the session where its vertices' heights came
// from ("zSources"), and warns of vertices from the base Earth while a DEM was loaded.
nlohmann::json RunSession(const Session& session, const RunOptions& options);

} // namespace scribeline::app
