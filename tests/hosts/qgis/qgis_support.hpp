// QGIS for tests: one QgsApplication per process on the offscreen platform, a main window with
// a map canvas and a status bar over a project of its own, and a window registrar that mirrors
// the Qt widgets as windows of a headless desktop.
#pragma once

#include "hosts/qgis/qgis_host.hpp"
#include "platform/desktop.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

class QgsMapCanvas;
class QgsProject;
class QMainWindow;

namespace scribeline::qgis::testing {

// Starts QGIS on first use; the reason it cannot run here, empty when it runs.
const std::string& QgisMissing();

inline bool ContinuousIntegration() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// Skips the test when QGIS cannot run here; under CI=true that is a failure.
#define SCRIBELINE_REQUIRE_QGIS()                                                                  \
    do {                                                                                           \
        if (!::scribeline::qgis::testing::QgisMissing().empty()) {                                 \
            if (::scribeline::qgis::testing::ContinuousIntegration()) {                            \
                FAIL() << "QGIS is required under CI: "                                            \
                       << ::scribeline::qgis::testing::QgisMissing();                              \
            }                                                                                      \
            GTEST_SKIP() << "QGIS cannot run here: "                                               \
                         << ::scribeline::qgis::testing::QgisMissing();                            \
        }                                                                                          \
    } while (false)

// A QGIS main window (canvas as its central widget, a status bar) over a project of its own,
// shown offscreen, with the canvas drawing the project's layer tree. Needs QgisMissing() empty.
class QgisWindows {
public:
    explicit QgisWindows(int canvasWidth = 800, int canvasHeight = 600);
    ~QgisWindows();
    QgisWindows(const QgisWindows&) = delete;
    QgisWindows& operator=(const QgisWindows&) = delete;

    [[nodiscard]] QgisParts Parts() const;
    [[nodiscard]] QgsProject& Project() const;
    [[nodiscard]] QgsMapCanvas& Canvas() const;
    [[nodiscard]] QMainWindow& Main() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Removes the QGIS layer behind `layer` from the project (which deletes it), as a person
// removing it from the layer panel would.
void RemoveFromProject(QgisWindows& windows, IFeatureLayer& layer);

// Registers each widget as a window of `desktop` with the widget's geometry (top level: its
// frame on the screen; children: their place in the top-level window). `desktop` is borrowed.
WindowRegistrar HeadlessRegistrar(IDesktop& desktop);

} // namespace scribeline::qgis::testing
