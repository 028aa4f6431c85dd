// The toolbar as built at load (a golden dump), and the dispatch row by row with the button states
// it leaves.
#include "tests/command/window_fixture.hpp"
#include "tests/support/files.hpp"

#include <algorithm>
#include <map>
#include <vector>

namespace scribeline::testing {
namespace {

using controls::ButtonStyle;

// One line per button: key | image key | tooltip | description | enabled | visible | style |
// value ("-" for an empty text).
std::string DumpToolbar(const controls::Toolbar& toolbar) {
    const auto text = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
    std::string out;
    for (const auto& b : toolbar.Buttons()) {
        out += text(b.key) + " | " + text(b.imageKey) + " | " + text(b.tooltip) + " | " +
               text(b.description) + " | " + (b.enabled ? "enabled" : "disabled") + " | " +
               (b.visible ? "visible" : "hidden") + " | " +
               (b.style == ButtonStyle::Separator ? "separator"
                : b.style == ButtonStyle::Check   ? "check"
                                                  : "button") +
               " | " + std::to_string(b.value) + "\n";
    }
    return out;
}

TEST_F(WindowTest, ToolbarIsBuiltExactlyAsTabulated) {
    ExpectGolden(DumpToolbar(toolbar()), "command/toolbar.txt");
    EXPECT_EQ(toolbar().Width(), 9000);
    // Every image key is in the toolbar's image list.
    for (const auto& b : toolbar().Buttons()) {
        if (b.style != ButtonStyle::Separator) {
            EXPECT_NE(std::find(w().ctl.ImageList4GEToolbar.begin(),
                                w().ctl.ImageList4GEToolbar.end(), b.imageKey),
                      w().ctl.ImageList4GEToolbar.end())
                << b.imageKey;
        }
    }
}

struct ButtonState {
    bool enabled;
    int value;
    friend bool operator==(const ButtonState&, const ButtonState&) = default;
};
using States = std::map<std::string, ButtonState>;

// Readable failures: "E1" enabled and pressed, "D0" disabled and released.
[[maybe_unused]] void PrintTo(const ButtonState& s, std::ostream* out) {
    *out << (s.enabled ? 'E' : 'D') << s.value;
}

const States kAfterLoad = {
    {"setgeview", {true, 0}},    {"setarcview", {true, 0}},     {"start", {true, 0}},
    {"record", {true, 0}},       {"finishfeature", {false, 0}}, {"pause", {false, 0}},
    {"finishlayer", {false, 0}}, {"export", {false, 0}},        {"dem", {true, 0}},
    {"contour", {true, 0}},      {"abort", {true, 0}},
};

States with(States states, const States& changes) {
    for (const auto& [key, s] : changes) {
        states[key] = s;
    }
    return states;
}

// What "start" leaves: the run is on.
const States kRunning = with(kAfterLoad, {{"start", {true, 1}},
                                          {"pause", {true, 0}},
                                          {"record", {false, 0}},
                                          {"dem", {false, 0}},
                                          {"contour", {false, 0}}});

struct DispatchRow {
    std::string key;
    bool runFirst;                  // dispatch "start" before, with a run that sets its flag
    bool finishableFirst;           // the run has enabled and pressed "finishfeature"
    States expected;                // every button after the row
    std::vector<std::string> calls; // handlers called by the row itself
    std::string currentKey;
    std::string runKey;
    bool stillLoaded;
};

TEST_F(WindowTest, EveryDispatchRowLeavesTheTabulatedButtonStates) {
    const std::string finish = "cmdFinishCurrentFeatureAndCreateNewFeature_Click";
    const std::vector<DispatchRow> rows = {
        {"setgeview", false, false, kAfterLoad, {"cmdSetGEViewEx_Click"}, "", "", true},
        {"setarcview", false, false, kAfterLoad, {"cmdSetArcViewEx_Click"}, "", "", true},
        {"export", false, false, kAfterLoad, {"cmdExportKML_Click"}, "export", "", true},
        {"record",
         false,
         false,
         with(kAfterLoad, {{"record", {true, 1}},
                           {"pause", {true, 0}},
                           {"start", {false, 0}},
                           {"dem", {false, 0}},
                           {"contour", {false, 0}}}),
         {"cmdBeginDigitalizing_Click"},
         "record",
         "record",
         true},
        {"start", false, false, kRunning, {"cmdBeginDigitalizing_Click"}, "start", "start", true},
        {"pause",
         true,
         false,
         kRunning,
         {"cmdDigitizePauseOrContinue_Click"},
         "start",
         "start",
         true},
        {"finishfeature", true, true, kRunning, {finish}, "start", "start", true},
        {"finishlayer",
         true,
         false,
         with(kRunning, {{"start", {true, 0}}}),
         {finish, "cmdEndDigitalizing_Click"},
         "start",
         "start",
         false},
        {"dem", false, false, kAfterLoad, {"cmdGetDEMDateFromGE_Click"}, "dem", "dem", true},
        {"contour",
         false,
         false,
         kAfterLoad,
         {"cmdGetContourFromGE_Click"},
         "contour",
         "contour",
         true},
        {"abort",
         true,
         false,
         with(kRunning, {{"start", {true, 0}}}),
         {"AbortRun"},
         "start",
         "start",
         false},
        {"no-such-key", false, false, kAfterLoad, {}, "", "", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("key " + row.key);
        journal = SubsystemJournal{};
        ActLikeARun(journal);
        Open();
        if (row.runFirst) {
            w().toolbarScribeline_ButtonClick("start");
        }
        if (row.finishableFirst) {
            toolbar().SetButtonEnabled("finishfeature", true);
            toolbar().SetButtonValue("finishfeature", 1);
        }
        journal.calls.clear();
        w().toolbarScribeline_ButtonClick(row.key);

        States actual;
        for (const auto& [key, state] : kAfterLoad) {
            (void)state;
            actual[key] = {button(key).enabled, button(key).value};
        }
        EXPECT_EQ(actual, row.expected);
        EXPECT_EQ(journal.calls, row.calls);
        EXPECT_EQ(w().state.currentButtonKey, row.currentKey);
        EXPECT_EQ(w().state.runKey, row.runKey);
        EXPECT_EQ(w().IsLoaded(), row.stillLoaded);
        EXPECT_FALSE(button("pause").visible);
        EXPECT_EQ(button("start").imageKey, "start");
        EXPECT_TRUE(boxes().empty()) << boxes().front().text;
    }
}

TEST_F(WindowTest, SteeringKeysNeverChangeTheRunKeyOrTheCurrentButton) {
    ActLikeARun(journal);
    w().toolbarScribeline_ButtonClick("record");
    for (const char* key : {"pause", "finishfeature", "setgeview", "setarcview", "pause"}) {
        w().toolbarScribeline_ButtonClick(key);
        EXPECT_EQ(w().state.runKey, "record") << key;
        EXPECT_EQ(w().state.currentButtonKey, "record") << key;
    }
}

TEST_F(WindowTest, LongActionsLockTheWindowWhileTheyRun) {
    struct Seen {
        int value;
        bool frameLayer, frameGetData, timer, start, record;
        WindowHandle busyParent;
    };
    std::vector<Seen> seen;
    auto look = [&](frmGE2Arc& win) {
        seen.push_back({win.ctl.toolbarScribeline.Button(win.state.currentButtonKey).value,
                        win.ctl.frameLayer.Enabled(), win.ctl.frameGetDataFromGE.Enabled(),
                        win.ctl.timerImportOrExport.Running(),
                        win.ctl.toolbarScribeline.Button("start").enabled,
                        win.ctl.toolbarScribeline.Button("record").enabled,
                        desk.GetParent(win.ctl.pictGEInfoBusy.hWnd())});
    };
    journal.behaviour["cmdExportKML_Click"] = look;
    journal.behaviour["cmdGetDEMDateFromGE_Click"] = look;
    journal.behaviour["cmdGetContourFromGE_Click"] = look;
    for (const char* key : {"export", "dem", "contour"}) {
        w().toolbarScribeline_ButtonClick(key);
        // Afterwards the ready picture stands in the globe, the busy one is back home.
        EXPECT_EQ(desk.GetParent(w().ctl.pictGEInfoReady.hWnd()), globe.renderWindow) << key;
        EXPECT_EQ(desk.GetParent(w().ctl.pictGEInfoBusy.hWnd()), w().hWnd()) << key;
        EXPECT_FALSE(w().ctl.timerImportOrExport.Running()) << key;
        EXPECT_EQ(button(key).imageKey, key) << key;
    }
    ASSERT_EQ(seen.size(), 3U);
    // export: frames locked, buttons untouched
    EXPECT_EQ(seen[0].value, 1);
    EXPECT_FALSE(seen[0].frameLayer);
    EXPECT_FALSE(seen[0].frameGetData);
    EXPECT_TRUE(seen[0].timer);
    EXPECT_TRUE(seen[0].start);
    EXPECT_EQ(seen[0].busyParent, globe.renderWindow);
    // dem and contour: start and record locked, frames untouched
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(seen[i].value, 1);
        EXPECT_TRUE(seen[i].frameLayer);
        EXPECT_TRUE(seen[i].timer);
        EXPECT_FALSE(seen[i].start);
        EXPECT_FALSE(seen[i].record);
        EXPECT_EQ(seen[i].busyParent, globe.renderWindow);
    }
    EXPECT_TRUE(w().ctl.frameLayer.Enabled());
    EXPECT_TRUE(w().ctl.frameGetDataFromGE.Enabled());
}

TEST_F(WindowTest, AFailedTerrainCommandEndsWithTheWindowUsableAgain) {
    journal.behaviour["cmdGetDEMDateFromGE_Click"] = [](frmGE2Arc& win) {
        win.state.busy = true;
        throw PortError("GetPointOnTerrainFromScreenCoords", "the globe stopped answering");
    };
    toolbar().UserClick("dem");
    ASSERT_EQ(boxes().size(), 1U);
    EXPECT_EQ(boxes()[0].title, "Scribeline for ArcMap");
    EXPECT_EQ(boxes()[0].text, "Get DEM points from Google Earth failed.\r\n"
                               "GetPointOnTerrainFromScreenCoords: the globe stopped answering");
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(button("start").enabled);
    EXPECT_TRUE(button("record").enabled);
    EXPECT_EQ(button("dem").value, 0);
    EXPECT_FALSE(w().ctl.timerImportOrExport.Running());
    EXPECT_TRUE(w().Unload()); // the window can be closed again
}

TEST_F(WindowTest, AFailedSteeringHandlerStopsTheRowThere) {
    ActLikeARun(journal);
    w().toolbarScribeline_ButtonClick("start");
    toolbar().SetButtonEnabled("finishfeature", true);
    toolbar().SetButtonValue("finishfeature", 1);
    journal.behaviour["cmdFinishCurrentFeatureAndCreateNewFeature_Click"] = [](frmGE2Arc&) {
        throw PortError("Store", "disk full");
    };
    toolbar().UserClick("finishfeature");
    ASSERT_EQ(boxes().size(), 1U);
    EXPECT_EQ(boxes()[0].text,
              "Finish the current feature and Start digitigizing a new feature failed.\r\n"
              "Store: disk full");
    // Nothing after the failing step ran, nothing before it was undone.
    EXPECT_TRUE(button("finishfeature").enabled);
    EXPECT_EQ(button("finishfeature").value, 1);
    EXPECT_TRUE(w().IsLoaded());
}

TEST_F(WindowTest, UserClicksReachOnlyEnabledVisibleButtons) {
    journal.calls.clear();
    toolbar().UserClick("export"); // disabled at load
    toolbar().UserClick("pause");  // hidden
    toolbar().UserClick("");       // a separator
    EXPECT_TRUE(journal.calls.empty());
    toolbar().UserClick("setgeview");
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"cmdSetGEViewEx_Click"}));
}

} // namespace
} // namespace scribeline::testing
