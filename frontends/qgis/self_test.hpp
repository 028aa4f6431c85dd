// The plugin's self-test mode: with SCRIBELINE_SELFTEST naming a session file, the plugin plays
// that session inside the running QGIS through the real widgets with real mouse and key events
// (the command's toolbar button, the digitizer window, clicks on the globe dock), then checks
// what the project holds, writes a report and has QGIS quit with nothing to save.
//
// The report (to SCRIBELINE_SELFTEST_REPORT; default: the session file's name with
// ".report.txt") is plain "name=value" lines, numbers written the same in every locale:
//   session, one "step N ACTION: OUTCOME" line per step, the layers the session added (name,
//   QGIS's geometry type, feature count), the polygon check (one PolygonZ feature whose every
//   vertex's z is the DEM's height there), the contour check, then "result=pass" or
//   "result=fail" with the reasons.
//
// No QGIS header here: what it needs from QGIS comes through SelfTestHost.
// Threads: the QGIS user-interface thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace scribeline::qgisplugin {

class PluginSession;

// Environment variables of the self-test mode.
inline constexpr const char* kSelfTestVariable = "SCRIBELINE_SELFTEST";
inline constexpr const char* kSelfTestReportVariable = "SCRIBELINE_SELFTEST_REPORT";
// A picture of the screen taken before the session's first "close" step (or at its end).
inline constexpr const char* kSelfTestScreenshotVariable = "SCRIBELINE_SELFTEST_SCREENSHOT";

// A vertex of a stored feature: degrees and metres.
struct VertexFacts {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// One vector layer of the project as QGIS sees it.
struct LayerFacts {
    std::string id;
    std::string name;
    std::string type; // QGIS's name of its geometry type ("PolygonZ", "LineStringZ", ...)
    // Per feature: QGIS's name of the feature's geometry type and its vertices (a ring's
    // closing vertex left out).
    struct Feature {
        std::string type;
        int parts = 0;
        std::vector<VertexFacts> vertices;
    };
    std::vector<Feature> features;
};

// What the self-test asks of QGIS. Every member must be set.
struct SelfTestHost {
    // The command's button on QGIS's toolbar (null: none).
    std::function<QWidget*()> commandButton;
    // The ids of the project's layers.
    std::function<std::vector<std::string>()> layerIds;
    // The project's vector layers with their features, by name, but for those in `known`.
    std::function<std::vector<LayerFacts>(const std::vector<std::string>& known)> vectorLayers;
    // The height of the project's terrain layer at a position (degrees), read by QGIS;
    // nothing outside it or without one.
    std::function<std::optional<double>(double longitude, double latitude)> demHeight;
    // Clears the project's modified flag.
    std::function<void()> clearModified;
    // Has QGIS quit (called once, after the report is written).
    std::function<void()> quit;
};

// Where a self-test reads its session and writes its report; nothing when the mode is off.
struct SelfTestFiles {
    std::string session;
    std::string report;
    std::string screenshot; // empty: none
};
[[nodiscard]] std::optional<SelfTestFiles> SelfTestFromEnvironment();

// How near a vertex's z must be to the DEM's height (metres).
inline constexpr double kDemTolerance = 0.05;

// Plays the session and writes the report. Never raises: a failure is the report's. Returns
// whether the test passed. `session` and `host` are borrowed for the call.
bool RunSelfTest(const SelfTestFiles& files, PluginSession& session, const SelfTestHost& host);

// The checks over the layers a session added (tests call it directly): appends report lines
// and returns the reasons for failing (empty: passed).
std::vector<std::string> CheckAddedLayers(const std::vector<LayerFacts>& added,
                                          const SelfTestHost& host,
                                          std::vector<std::string>& report);

// A number as the report writes it: fixed, `decimals` places, '.' whatever the locale.
[[nodiscard]] std::string ReportNumber(double value, int decimals);

} // namespace scribeline::qgisplugin
