// scribeline: plays a session on the digitizer with the real hosts (headless desktop, simulated
// globe, map host) and reports what came of it. See docs/session.md.
#include "apps/scribeline/session_runner.hpp"
#ifdef SCRIBELINE_HAVE_DESK
#include "apps/scribeline/desk_command.hpp"
#include "apps/scribeline/qt_front_end.hpp"
#include "frontends/qt/display.hpp"

#include <QApplication>
#endif

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// A message box text on one line: its CR LF line ends become spaces.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') {
            out.push_back(c == '\n' ? ' ' : c);
        }
    }
    return out;
}

// Where the user finds what the session made: the run's layers (shapefiles in the output
// folder), the live KML file, the pictures and the report.
void PrintSummary(const nlohmann::json& report) {
    const std::string out = report["outDir"].get<std::string>();
    std::cout << "scribeline: " << report["steps"].size() << " steps played\n";
    for (const auto& layer : report["layers"]) {
        if (!layer.contains("path")) {
            continue;
        }
        const std::string path = layer["path"].get<std::string>();
        if (path.rfind(out, 0) == 0 && std::filesystem::path(path).extension() == ".shp") {
            std::cout << "  shapefile: " << path << " (" << layer["features"] << " "
                      << layer["geometry"].get<std::string>() << " features)\n";
        }
    }
    if (!report["liveKml"].is_null()) {
        std::cout << "  live KML:  " << report["liveKml"].get<std::string>() << "\n";
    }
    for (const auto& [of, path] : report["pictures"].items()) {
        std::cout << "  picture:   " << path.get<std::string>() << " (" << of << ")\n";
    }
    for (const auto& layer : report["layers"]) {
        if (!layer.contains("zSources") || layer["zSources"].empty()) {
            continue;
        }
        std::cout << "  heights of " << layer["name"].get<std::string>() << ":";
        const char* separator = " ";
        for (const auto& [source, count] : layer["zSources"].items()) {
            std::cout << separator << count << " from " << source;
            separator = ", ";
        }
        std::cout << "\n";
    }
    if (report.contains("terrain")) {
        for (const auto& warning : report["terrain"]["warnings"]) {
            std::cout << "  warning:   " << warning.get<std::string>() << "\n";
        }
        if (!report["terrain"]["warnings"].empty()) {
            std::cout << "  note:      " << report["terrain"]["baseEarthNote"].get<std::string>()
                      << "\n";
        }
    }
    for (const auto& box : report["messageBoxes"]) {
        std::cout << "  message (step " << box["step"] << ") \"" << box["title"].get<std::string>()
                  << "\": " << OneLine(box["text"].get<std::string>()) << "\n";
    }
    std::cout << "  report:    " << (std::filesystem::path(out) / "report.json").string() << "\n";
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Scribeline: digitize on the globe into the map, driven by a session file."};
    app.require_subcommand(1);
    app.set_version_flag("--version", "scribeline 2.2");

    std::string session;
    std::string out;
    std::vector<std::string> dems;
    std::string project;
    bool pictures = false;
    bool progress = false;
    CLI::App* run = app.add_subcommand(
        "run", "Play SESSION.json: start the hosts, create the command, do every step, and "
               "write DIR/report.json");
    run->add_option("session", session, "The session file (JSON)")
        ->required()
        ->check(CLI::ExistingFile);
    run->add_option("--out", out,
                    "Output folder: run shapefiles, live KML, map copy, pictures, report "
                    "(default: scribeline-out/<session name>)");
    run->add_option("--dem", dems,
                    "A raster DEM (any GDAL format, a VRT too) set in the base Earth; give it "
                    "more than once for several, the finest answers where they overlap")
        ->check(CLI::ExistingFile);
    run->add_option("--map", project, "A project file for the map instead of the default map")
        ->check(CLI::ExistingFile);
    run->add_flag("--pictures", pictures, "Write globe.png and map.png at the end");
    run->add_flag("--progress", progress, "Print one line on standard output after every step");
    std::string desktop = "headless";
    run->add_option("--desktop", desktop,
                    "Where the session is played: headless (default; virtual clock, no display) "
                    "or qt (the desktop app's windows in real time, the steps delivered as real "
                    "mouse and key events; needs a display (DISPLAY or WAYLAND_DISPLAY), without "
                    "one run it under xvfb-run)")
        ->check(CLI::IsMember({"headless", "qt"}));

#ifdef SCRIBELINE_HAVE_DESK
    scribeline::app::DeskCommand deskCommand;
    CLI::App* desk = app.add_subcommand(
        "desk", "Open the desktop app: the globe (base Earth, or with the DEMs given), the map "
                "(Natural Earth, or the project given) and the Scribeline command in the map's "
                "tool bar, to digitize with the mouse. Needs a display (DISPLAY or "
                "WAYLAND_DISPLAY); without one run it under xvfb-run");
    desk->add_option("--dem", deskCommand.dems,
                     "A raster DEM (any GDAL format, a VRT too) set in the base Earth; give it "
                     "more than once for several");
    desk->add_option("--map", deskCommand.project,
                     "A project file for the map instead of the default map");
    desk->add_option("--out", deskCommand.out,
                     "Where run shapefiles, live KML and the map copy go (default: "
                     "scribeline-out/desk)");
    desk->add_flag("--open", deskCommand.open,
                   "Open the digitizer window at once, as pressing the Scribeline button does");
    desk->add_option("--screenshot", deskCommand.screenshot,
                     "Write a PNG of the screen once the windows are drawn, then quit");
#endif

    CLI11_PARSE(app, argc, argv);
#ifdef SCRIBELINE_HAVE_DESK
    if (desk->parsed()) {
        return scribeline::app::RunDesk(deskCommand, argc, argv);
    }
#endif

    using namespace scribeline::app;
#ifdef SCRIBELINE_HAVE_DESK
    std::unique_ptr<QApplication> qtApp;
    if (desktop == "qt") {
        // Qt aborts the process when it cannot open a display: tell the user first.
        using namespace scribeline::frontend;
        if (const auto problem = DisplayProblem(ProcessEnvironment(), XServerReachable)) {
            std::cerr << "scribeline run: " << *problem << '\n';
            return 1;
        }
    }
#else
    if (desktop == "qt") {
        std::cerr << "scribeline run: --desktop qt: this build has no Qt front end (Qt 5 "
                     "Widgets and Svg were not found when it was configured)\n";
        return 1;
    }
#endif
    try {
        const Session s = LoadSession(session);
        RunOptions options;
        options.outDir = out.empty() ? std::filesystem::path("scribeline-out") /
                                           std::filesystem::path(session).stem()
                                     : std::filesystem::path(out);
        for (const std::string& dem : dems) {
            options.dems.emplace_back(dem);
        }
        if (!project.empty()) {
            options.project = project;
        }
        if (pictures) {
            options.pictures = true;
        }
        if (progress) {
            options.progress = [](const std::string& line) {
                std::cout << line << '\n' << std::flush;
            };
        }
#ifdef SCRIBELINE_HAVE_DESK
        if (desktop == "qt") {
            qtApp = std::make_unique<QApplication>(argc, argv);
            QApplication::setApplicationName(QStringLiteral("Scribeline"));
            QApplication::setQuitOnLastWindowClosed(false);
            options.frontEnd = StartQtFrontEnd;
        }
#endif
        const auto report = RunSession(s, options);
        PrintSummary(report);
        return 0;
    } catch (const SessionError& e) {
        std::cerr << "scribeline: " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "scribeline: " << e.what() << '\n';
        return 1;
    }
}
