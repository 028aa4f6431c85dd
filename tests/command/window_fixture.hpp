// A loaded digitizer window on a headless desktop with a test globe, a test map host and
// recording subsystems.
#pragma once

#include "command/frmGE2Arc.hpp"
#include "hosts/desktop/headless_desktop.hpp"
#include "tests/doubles/fake_globe.hpp"
#include "tests/doubles/fake_map.hpp"
#include "tests/doubles/recording_subsystems.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace scribeline::testing {

class WindowTest : public ::testing::Test {
protected:
    static constexpr int kTwips = 15;

    desktop::HeadlessDesktop desk{desktop::DesktopOptions{}};
    FakeGlobeClient globe{desk};
    FakeGlobeConnector connector{globe};
    std::shared_ptr<FakeMapApplication> host =
        std::make_shared<FakeMapApplication>(desk, Rect{100, 80, 1300, 980});
    ProcessState process;
    SubsystemJournal journal;
    std::unique_ptr<frmGE2Arc> window;

    void SetUp() override { Open(); }

    // A fresh window object, loaded with the recording subsystems (or `subsystems`).
    void Open(std::optional<Subsystems> subsystems = std::nullopt) {
        window.reset();
        window =
            std::make_unique<frmGE2Arc>(Environment{desk, connector}, process,
                                        subsystems ? *subsystems : RecordingSubsystems(journal));
        window->SetApplication(host);
        window->Load();
    }

    frmGE2Arc& w() { return *window; }
    controls::Toolbar& toolbar() { return window->ctl.toolbarScribeline; }
    const controls::ToolbarButton& button(const std::string& key) { return toolbar().Button(key); }
    FakeMap& map() { return *host->document->map; }
    const std::vector<desktop::MessageBoxRecord>& boxes() { return desk.MessageBoxes(); }
};

} // namespace scribeline::testing
