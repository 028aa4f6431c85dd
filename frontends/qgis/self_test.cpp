#include "frontends/qgis/self_test.hpp"

#include "apps/scribeline/session.hpp"
#include "command/frmGE2Arc.hpp"
#include "frontends/qgis/plugin_session.hpp"
#include "frontends/qt/digitizer_window.hpp"
#include "frontends/qt/session_driver.hpp"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>

namespace scribeline::qgisplugin {

namespace {

using frontend::SessionDriver;
using std::chrono::milliseconds;

// How long the window may take to open after the button's click, and how long the dock and
// the window are given to lay out and draw after they open or close.
constexpr milliseconds kOpenTimeout{5000};
constexpr milliseconds kSettle{300};
// The options menu opens from a right click on the form's background, left of every frame
// and below the toolbar.
const QPoint kMenuPoint{2, 30};

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::string() : std::string(v);
}

// The session's control of that name as an option group, a scroll bar, ... (null: not one).
template <class T> T* Control(frmGE2Arc& form, const std::string& name) {
    return dynamic_cast<T*>(form.ctl.Find(name));
}

controls::OptionArray* OptionGroup(frmGE2Arc& form, const std::string& name) {
    controls::OptionArray* group = nullptr;
    form.ctl.ForEach([&](controls::Control& c) {
        if (auto* o = dynamic_cast<controls::OptionButton*>(&c);
            group == nullptr && o != nullptr && o->Group() != nullptr && c.Name() == name) {
            group = o->Group();
        }
    });
    return group;
}

class Player {
public:
    Player(PluginSession& session, const SelfTestHost& host, std::string screenshot)
        : session_(session), host_(host), driver_(session.Digitizer()),
          screenshot_(std::move(screenshot)) {}

    // "done", or what went wrong.
    std::string Play(const app::Step& step) {
        const std::string& a = step.action;
        if (a == "command") {
            return command();
        }
        if (a == "wait") {
            SessionDriver::Wait(milliseconds(step.ms));
            return "done";
        }
        if (!session_.WindowOpen()) {
            return "failed: the digitizer window is not open";
        }
        frmGE2Arc& form = session_.Form();
        if (a == "toolbar") {
            return result(driver_.Toolbar(step.name), "the button is not on show");
        }
        if (a == "select") {
            controls::OptionArray* group = OptionGroup(form, step.name);
            if (group == nullptr) {
                return "failed: no option group \"" + step.name + "\"";
            }
            int index = step.index.value_or(-1);
            for (int i = 0; index < 0 && i < group->Count(); ++i) {
                if ((*group)[i].Caption() == step.text) {
                    index = i;
                }
            }
            return result(driver_.Select(*group, index), "no such option on show");
        }
        if (a == "scroll") {
            auto* bar = Control<controls::ScrollBar>(form, step.name);
            return result(bar != nullptr && driver_.Scroll(*bar, step.value),
                          "no scroll bar on show");
        }
        if (a == "type") {
            auto* box = Control<controls::TextBox>(form, step.name);
            return result(box != nullptr && driver_.TypeInto(*box, step.text),
                          "no text box on show");
        }
        if (a == "menu") {
            const frontend::MenuChoice c = driver_.ChooseMenuItem(step.name, kMenuPoint);
            return c == frontend::MenuChoice::Chosen   ? "done"
                   : c == frontend::MenuChoice::NoMenu ? "failed: the options menu did not open"
                                                       : "failed: the item is not enabled";
        }
        if (a == "key") {
            int key = 0;
            Qt::KeyboardModifiers modifiers;
            return result(SessionDriver::ParseChord(step.name, key, modifiers) &&
                              driver_.KeyChord(key, modifiers),
                          "unknown chord or no window");
        }
        if (a == "click" || a == "clicks") {
            return clicks(step);
        }
        if (a == "close") {
            shoot();
            QWidget* window = driver_.FormWidget();
            if (window == nullptr) {
                return "failed: the digitizer window is not on show";
            }
            window->close(); // as the person closing it: the form may refuse
            SessionDriver::Wait(kSettle);
            return session_.WindowOpen() ? "refused: the window stayed open" : "done";
        }
        return "failed: the QGIS self-test does not play \"" + a + "\"";
    }

    // The screen once, before the window closes: QGIS with the dock, the window and the map.
    void shoot() {
        if (screenshot_.empty() || shot_) {
            return;
        }
        shot_ = true;
        SessionDriver::Wait(kSettle);
        QScreen* screen = QGuiApplication::primaryScreen();
        QPixmap picture = screen != nullptr ? screen->grabWindow(0) : QPixmap();
        // Without a window manager nothing keeps the tool window over QGIS's main window, and
        // a raise races with the grab: the window is painted where it stands instead.
        if (QWidget* form = driver_.FormWidget(); form != nullptr && form->isVisible()) {
            QPainter painter(&picture);
            painter.drawPixmap(form->geometry().topLeft(), form->grab());
        }
        if (picture.isNull() || !picture.save(QString::fromStdString(screenshot_))) {
            std::fprintf(stderr, "Scribeline self-test: cannot write %s\n", screenshot_.c_str());
        }
    }

private:
    static std::string result(bool ok, const std::string& why) {
        return ok ? "done" : "failed: " + why;
    }

    std::string command() {
        QWidget* button = host_.commandButton();
        if (button == nullptr || !button->isVisible()) {
            return "failed: the command's button is not on QGIS's toolbar";
        }
        const bool wasOpen = session_.WindowOpen();
        SessionDriver::Click(button, SessionDriver::Centre(button));
        if (!SessionDriver::WaitUntil([&] { return session_.WindowOpen() != wasOpen; },
                                      kOpenTimeout)) {
            return "failed: the window did not " + std::string(wasOpen ? "close" : "open");
        }
        // The dock lays the globe out and draws its first frame.
        SessionDriver::Wait(kSettle);
        return "done";
    }

    std::string clicks(const app::Step& step) {
        QWidget* globe = session_.GlobeRenderWidget();
        if (globe == nullptr || !globe->isVisible()) {
            return "failed: the globe is not on show";
        }
        for (const Point& p : step.points) {
            if (p.x < 0 || p.y < 0 || p.x >= globe->width() || p.y >= globe->height()) {
                return "failed: a point lies outside the globe (" + std::to_string(globe->width()) +
                       " by " + std::to_string(globe->height()) + " pixels)";
            }
        }
        for (const Point& p : step.points) {
            SessionDriver::Click(globe, QPoint(p.x, p.y));
            SessionDriver::Wait(milliseconds(std::max(step.ms, 0)));
        }
        return "done";
    }

    PluginSession& session_;
    const SelfTestHost& host_;
    SessionDriver driver_;
    std::string screenshot_;
    bool shot_ = false;
};

// A geometry type with z of that kind, single or multi, with or without m (shapefiles give
// QGIS multi types with m).
bool IsKindWithZ(const std::string& type, const std::string& kind) {
    for (const std::string& prefix : {kind, "Multi" + kind}) {
        if (type == prefix + "Z" || type == prefix + "ZM") {
            return true;
        }
    }
    return false;
}

bool IsPolygonZ(const std::string& type) {
    return IsKindWithZ(type, "Polygon");
}

bool IsLineZ(const std::string& type) {
    return IsKindWithZ(type, "LineString");
}

} // namespace

std::string ReportNumber(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "nan";
    }
    // A value that rounds to nothing is written without a sign.
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) {
        value = 0.0;
    }
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, r.ptr);
}

std::optional<SelfTestFiles> SelfTestFromEnvironment() {
    SelfTestFiles files;
    files.session = Env(kSelfTestVariable);
    if (files.session.empty()) {
        return std::nullopt;
    }
    files.report = Env(kSelfTestReportVariable);
    if (files.report.empty()) {
        files.report = std::filesystem::path(files.session).replace_extension(".report.txt");
    }
    files.screenshot = Env(kSelfTestScreenshotVariable);
    return files;
}

std::vector<std::string> CheckAddedLayers(const std::vector<LayerFacts>& added,
                                          const SelfTestHost& host,
                                          std::vector<std::string>& report) {
    std::vector<std::string> failures;
    report.push_back("layers_added=" + std::to_string(added.size()));
    const LayerFacts* polygon = nullptr;
    const LayerFacts* contour = nullptr;
    for (const LayerFacts& layer : added) {
        report.push_back("layer " + layer.name + ": " + layer.type + ", " +
                         std::to_string(layer.features.size()) + " features");
        if (IsPolygonZ(layer.type) && polygon == nullptr) {
            polygon = &layer;
        } else if (IsLineZ(layer.type) && contour == nullptr) {
            contour = &layer;
        }
    }

    if (polygon == nullptr) {
        failures.emplace_back("no polygon layer with z was added");
    } else {
        report.push_back("polygon_features=" + std::to_string(polygon->features.size()));
        if (polygon->features.size() != 1) {
            failures.emplace_back("the polygon layer holds " +
                                  std::to_string(polygon->features.size()) + " features, not 1");
        } else {
            const LayerFacts::Feature& f = polygon->features.front();
            report.push_back("polygon_parts=" + std::to_string(f.parts));
            report.push_back("polygon_vertices=" + std::to_string(f.vertices.size()));
            if (!IsPolygonZ(f.type) || f.parts != 1) {
                failures.emplace_back("the feature is a " + f.type + " of " +
                                      std::to_string(f.parts) + " parts, not one PolygonZ");
            }
            if (f.vertices.size() < 3) {
                failures.emplace_back("the polygon has fewer than 3 vertices");
            }
            bool match = !f.vertices.empty();
            int n = 0;
            for (const VertexFacts& v : f.vertices) {
                const std::optional<double> dem = host.demHeight(v.x, v.y);
                report.push_back("polygon_vertex " + std::to_string(++n) + ": " +
                                 ReportNumber(v.x, 6) + " " + ReportNumber(v.y, 6) + " z " +
                                 ReportNumber(v.z, 2) + " dem " +
                                 (dem ? ReportNumber(*dem, 2) : std::string("none")));
                if (!dem || std::abs(*dem - v.z) > kDemTolerance) {
                    match = false;
                }
            }
            report.push_back(std::string("polygon_z_matches_dem=") + (match ? "true" : "false"));
            if (!match) {
                failures.emplace_back("a vertex's z is not the DEM's height there");
            }
        }
    }

    if (contour == nullptr) {
        failures.emplace_back("no contour layer (lines with z) was added");
    } else {
        report.push_back(std::string("contour_features_stored=") +
                         (contour->features.empty() ? "false" : "true"));
        bool level = true;
        for (const LayerFacts::Feature& f : contour->features) {
            for (const VertexFacts& v : f.vertices) {
                level = level && v.z == f.vertices.front().z;
            }
        }
        report.push_back(std::string("contour_segments_level=") + (level ? "true" : "false"));
        if (contour->features.empty()) {
            failures.emplace_back("the contour layer is empty");
        }
        if (!level) {
            failures.emplace_back("a contour segment is not level");
        }
    }
    return failures;
}

bool RunSelfTest(const SelfTestFiles& files, PluginSession& session, const SelfTestHost& host) {
    std::vector<std::string> report;
    std::vector<std::string> failures;
    report.push_back("session=" + std::filesystem::path(files.session).filename().string());
    try {
        const std::vector<std::string> before = host.layerIds();
        const app::Session s = app::LoadSession(files.session);
        if (s.camera) {
            session.SetFirstView(ICameraInfoGE{s.camera->latitude, s.camera->longitude, 0.0, 1,
                                               s.camera->range, s.camera->tilt, s.camera->azimuth});
        }
        Player player(session, host, files.screenshot);
        for (const app::Step& step : s.steps) {
            std::string outcome;
            try {
                outcome = player.Play(step);
            } catch (const std::exception& e) {
                outcome = std::string("failed: ") + e.what();
            }
            report.push_back("step " + std::to_string(step.number) + " " + step.action +
                             (step.name.empty() ? std::string() : " " + step.name) + ": " +
                             outcome);
            if (outcome != "done") {
                failures.push_back("step " + std::to_string(step.number) + " " + outcome);
            }
        }
        player.shoot();
        if (session.WindowOpen()) {
            failures.emplace_back("the digitizer window is still open at the end");
        }
        const std::vector<LayerFacts> added = host.vectorLayers(before);
        const auto found = CheckAddedLayers(added, host, report);
        failures.insert(failures.end(), found.begin(), found.end());
    } catch (const std::exception& e) {
        failures.emplace_back(e.what());
    }
    for (const std::string& f : failures) {
        report.push_back("failure=" + f);
    }
    report.push_back(std::string("result=") + (failures.empty() ? "pass" : "fail"));
    {
        std::ofstream out(files.report, std::ios::binary | std::ios::trunc);
        for (const std::string& line : report) {
            out << line << '\n';
        }
        if (!out) {
            std::fprintf(stderr, "Scribeline self-test: cannot write %s\n", files.report.c_str());
        }
    }
    host.clearModified();
    host.quit();
    return failures.empty();
}

} // namespace scribeline::qgisplugin
