// The digitizer window: what Form_Load sets, the option panels' rules, closing, the tool
// strip, keys, the options popup, the timers and how failures are shown.
#include "tests/command/window_fixture.hpp"

#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace scribeline::testing {
namespace {

TEST_F(WindowTest, FormLoadSetsCaptionFlagsAndTheGlobeHandles) {
    EXPECT_EQ(w().Caption(), "Scribeline for ArcMap");
    EXPECT_EQ(desk.GetWindowText(w().hWnd()), "Scribeline for ArcMap");
    EXPECT_FALSE(w().Visible()); // loads hidden
    EXPECT_TRUE(w().state.loaded);
    EXPECT_FALSE(w().state.busy);
    EXPECT_EQ(w().state.kmlBaseName, "~tempDigitizeFromGE");
    EXPECT_EQ(w().state.tempFolder, desk.GetTempPath());
    EXPECT_FALSE(w().ctl.frameMeasureTrack.Visible());
    EXPECT_FALSE(w().ctl.cmdEndDigitalizing.Enabled());
    EXPECT_EQ(w().ctl.imgShot.PictureKey(), w().ctl.imgCamera.PictureKey());
    EXPECT_EQ(w().ctl.optGeometryType.Selected(), 1);
    EXPECT_EQ(process.globe.renderWindow, globe.renderWindow);
    EXPECT_EQ(process.globe.renderRect, desk.GetWindowRect(globe.renderWindow));
    EXPECT_EQ(w().FormBounds().width, 4080);
    EXPECT_EQ(w().values.viewRefreshDelay, 30);
    EXPECT_EQ(w().values.demPreviewTarget, 0);
    EXPECT_TRUE(w().Options().IsLoaded());
    EXPECT_TRUE(w().Options().Checked("previewDEMGridsInGE"));
    // Selecting the polyline geometry at load is a click the run hears.
    EXPECT_EQ(journal.count("optGeometryType_Click(1)"), 1);
    // The tool strip.
    EXPECT_EQ(w().ctl.pictGETool.Left(), 150);
    EXPECT_EQ(w().ctl.pictGETool.Top(), 15);
    EXPECT_TRUE(w().ctl.pictGETool.FillSolid());
    EXPECT_EQ(w().ctl.pictGETool.PictureKey(), w().ctl.pictPicture[0].PictureKey());
}

TEST_F(WindowTest, ALoadStartsFromTheInitialSettings) {
    w().Options().Click("alarmLamp");
    w().Options().Click("ViewRefreshDelayIncrease");
    ASSERT_TRUE(w().Unload());
    w().Load();
    EXPECT_TRUE(w().Options().Checked("alarmLamp"));
    EXPECT_EQ(w().values.viewRefreshDelay, 30);
    EXPECT_EQ(w().Options().Item("ViewRefreshDelay").caption, "View Refresh Delay (30)");
}

TEST_F(WindowTest, AGlobeThatCannotBeReachedLeavesTheWindowUnloaded) {
    window.reset();
    connector.unreachable = true;
    window = std::make_unique<frmGE2Arc>(Environment{desk, connector}, process,
                                         RecordingSubsystems(journal));
    EXPECT_THROW(w().Load(), PortError);
    EXPECT_FALSE(w().IsLoaded());
    EXPECT_EQ(w().hWnd(), kNoWindow);
    EXPECT_EQ(desk.ActiveTimers(), 0);
}

struct ControlState {
    const controls::Control* control;
    bool enabled;
};

TEST_F(WindowTest, TerrainControlsHaveTheirDefaultsAfterLoad) {
    auto& c = w().ctl;
    EXPECT_EQ(c.optContourLevel.Selected(), 0);
    EXPECT_EQ(c.optContourLevel[0].Caption(), "Define level number");
    EXPECT_EQ(c.optContourLevel[1].Caption(), "Define interval");
    EXPECT_EQ(c.optContourLevel[2].Caption(), "Customize (use separator \",\")");
    EXPECT_EQ(c.optStartElevation.Selected(), 1);
    EXPECT_EQ(c.optStartElevation[0].Caption(), "Start elevation:");
    EXPECT_EQ(c.optStartElevation[1].Caption(), "Automatically");
    EXPECT_EQ(c.txtStartElevation.Text(), "500");
    EXPECT_EQ(c.txtContourLevels.Text(),
              "500,550,600,650,700,750,800,850,900,950,1000,1100,1200,1300,1400,1500");

    struct Bar {
        const controls::ScrollBar* bar;
        int value, min, max, small, large;
        const controls::TextBox* text;
        const char* shown;
    };
    const std::vector<Bar> bars = {
        {&c.vscrollContourLevelnumber, 20, 1, 30, 1, 5, &c.txtContourLevelNumber, "20"},
        {&c.vscrollContourLevelInterval, 10, 1, 1000, 1, 5, &c.txtContourLevelInterval, "10"},
        {&c.vscrollDEMResolution, 5, 5, 35, 5, 5, &c.txtDEMResolution, "5 X 5"},
        {&c.vscrollRecordPPS, 5, 1, 20, 1, 5, &c.txtRecordPPS, "5"},
    };
    for (const auto& b : bars) {
        SCOPED_TRACE(b.bar->Name());
        EXPECT_EQ(b.bar->Value(), b.value);
        EXPECT_EQ(b.bar->Min(), b.min);
        EXPECT_EQ(b.bar->Max(), b.max);
        EXPECT_EQ(b.bar->SmallChange(), b.small);
        EXPECT_EQ(b.bar->LargeChange(), b.large);
        EXPECT_EQ(b.text->Text(), b.shown);
    }
    EXPECT_EQ(w().state.demColumns, 5);
    EXPECT_EQ(w().state.demRows, 5);

    // Level mode 0 with an automatic start: only the level-number controls and both start
    // options are enabled.
    const std::vector<ControlState> enabled = {
        {&c.txtContourLevelNumber, true},    {&c.vscrollContourLevelnumber, true},
        {&c.txtContourLevelInterval, false}, {&c.vscrollContourLevelInterval, false},
        {&c.txtContourLevels, false},        {&c.optStartElevation[0], true},
        {&c.optStartElevation[1], true},     {&c.txtStartElevation, false},
    };
    for (const auto& e : enabled) {
        EXPECT_EQ(e.control->Enabled(), e.enabled) << e.control->Name() << e.control->Index();
    }
    // Filling the bars at load gives no text box the focus.
    EXPECT_EQ(w().Focused(), nullptr);
}

TEST_F(WindowTest, ContourLevelModesEnableTheirControls) {
    struct Case {
        int start; // optStartElevation chosen first
        int mode;
        bool number, interval, list, startOptions, startText;
    };
    const std::vector<Case> cases = {
        {1, 0, true, false, false, true, false},  {1, 1, false, true, false, true, false},
        {1, 2, false, false, true, false, false}, {0, 0, true, false, false, true, true},
        {0, 1, false, true, false, true, true},   {0, 2, false, false, true, false, false},
    };
    auto& c = w().ctl;
    for (const auto& k : cases) {
        SCOPED_TRACE("start " + std::to_string(k.start) + " mode " + std::to_string(k.mode));
        c.optContourLevel.UserSelect(0); // start options usable
        c.optStartElevation.UserSelect(k.start);
        c.optContourLevel.UserSelect(k.mode);
        EXPECT_EQ(c.txtContourLevelNumber.Enabled(), k.number);
        EXPECT_EQ(c.vscrollContourLevelnumber.Enabled(), k.number);
        EXPECT_EQ(c.txtContourLevelInterval.Enabled(), k.interval);
        EXPECT_EQ(c.vscrollContourLevelInterval.Enabled(), k.interval);
        EXPECT_EQ(c.txtContourLevels.Enabled(), k.list);
        EXPECT_EQ(c.optStartElevation[0].Enabled(), k.startOptions);
        EXPECT_EQ(c.optStartElevation[1].Enabled(), k.startOptions);
        EXPECT_EQ(c.txtStartElevation.Enabled(), k.startText);
    }
    c.optContourLevel.UserSelect(0);
    c.optStartElevation.UserSelect(0);
    EXPECT_TRUE(c.txtStartElevation.Enabled());
    c.optStartElevation.UserSelect(1);
    EXPECT_FALSE(c.txtStartElevation.Enabled());
}

TEST_F(WindowTest, BarsShowTheirValueAndTakeTheFocusOnceLoaded) {
    auto& c = w().ctl;
    c.vscrollContourLevelnumber.UserSetValue(7);
    EXPECT_EQ(c.txtContourLevelNumber.Text(), "7");
    EXPECT_EQ(w().Focused(), &c.txtContourLevelNumber);
    c.optContourLevel.UserSelect(1);
    c.vscrollContourLevelInterval.UserSetValue(2000); // a user stops at the end
    EXPECT_EQ(c.txtContourLevelInterval.Text(), "1000");
    EXPECT_EQ(w().Focused(), &c.txtContourLevelInterval);
    c.vscrollRecordPPS.UserSetValue(12);
    EXPECT_EQ(c.txtRecordPPS.Text(), "12");
    EXPECT_EQ(w().Focused(), &c.txtRecordPPS);
    EXPECT_THROW(c.vscrollRecordPPS.SetValue(21), std::out_of_range);
}

TEST_F(WindowTest, RecordRateTakesDigitsAndBackspaceOnly) {
    auto& box = w().ctl.txtRecordPPS;
    box.UserType("\b1x2 .3\b");
    EXPECT_EQ(box.Text(), "12");
}

TEST_F(WindowTest, DemResolutionFollowsTheRenderViewsShape) {
    // The render window is 800 by 500 pixels.
    struct Case {
        int bar;
        const char* text;
        int rows;
    };
    const std::vector<Case> cases = {
        {20, "20 X 12", 12}, // 12.5 goes to the even neighbour
        {25, "25 X 16", 16}, // 15.625
        {5, "5 X 3", 3},     // 3.125
        {35, "35 X 22", 22}, // 21.875
    };
    for (const auto& k : cases) {
        w().ctl.vscrollDEMResolution.UserSetValue(k.bar);
        EXPECT_EQ(w().ctl.txtDEMResolution.Text(), k.text);
        EXPECT_EQ(w().state.demColumns, k.bar);
        EXPECT_EQ(w().state.demRows, k.rows);
        EXPECT_EQ(journal.calls.back(), "PreviewDEMResolution(" + std::to_string(k.bar) + "," +
                                            std::to_string(k.rows) + ")");
        EXPECT_EQ(w().Focused(), &w().ctl.txtDEMResolution);
    }
}

TEST_F(WindowTest, ACloseWhileBusyIsRefusedAndChangesNothing) {
    process.windowOpen = true;
    w().ctl.frameProperty.SetVisible(true);
    w().state.busy = true;
    journal.calls.clear();
    EXPECT_FALSE(w().Unload());
    EXPECT_TRUE(w().IsLoaded());
    EXPECT_TRUE(process.windowOpen);
    EXPECT_EQ(w().Application(), host);
    EXPECT_TRUE(w().ctl.frameProperty.Visible());
    EXPECT_TRUE(desk.IsWindow(w().hWnd()));
    EXPECT_TRUE(journal.calls.empty());
    // The same through the desktop's close request.
    desk.PostCloseMessage(w().hWnd());
    desk.DoEvents();
    EXPECT_TRUE(w().IsLoaded());
    EXPECT_TRUE(process.windowOpen);
    EXPECT_TRUE(boxes().empty());
    w().state.busy = false;
    desk.PostCloseMessage(w().hWnd());
    desk.DoEvents();
    EXPECT_FALSE(w().IsLoaded());
    EXPECT_FALSE(process.windowOpen);
}

TEST_F(WindowTest, ClosingDuringARunEndsItFirst) {
    ActLikeARun(journal);
    process.windowOpen = true;
    w().toolbarScribeline_ButtonClick("start");
    w().ctl.frameProperty.SetVisible(true);
    const WindowHandle form = w().hWnd();
    const WindowHandle strip = w().ctl.pictGETool.hWnd();
    journal.calls.clear();
    w().UserClose();
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"cmdEndDigitalizing_Click"}));
    EXPECT_FALSE(w().IsLoaded());
    EXPECT_FALSE(process.windowOpen);
    EXPECT_EQ(w().Application(), nullptr);
    EXPECT_FALSE(w().ctl.frameProperty.Visible());
    EXPECT_FALSE(desk.IsWindow(form));
    EXPECT_FALSE(desk.IsWindow(strip));
    EXPECT_EQ(desk.ActiveTimers(), 0);
    EXPECT_FALSE(w().Options().IsLoaded());
}

TEST_F(WindowTest, ToolStripZonesIncludingTheDeadBands) {
    struct Case {
        Point down;
        Point up;
        bool finishAllowed;
        std::vector<std::string> calls;
        bool stillLoaded;
        std::optional<bool> globeInFront; // empty: the window closed, whoever is in front
    };
    const std::string finish = "cmdFinishCurrentFeatureAndCreateNewFeature_Click";
    const std::vector<Case> cases = {
        {{20, 12}, {20, 12}, true, {finish}, true, true},
        {{0, 12}, {0, 12}, true, {finish}, true, true},
        {{49, 5}, {49, 5}, true, {finish}, true, true},
        {{20, 12}, {20, 12}, false, {}, true, true}, // finishing not allowed yet
        {{50, 5}, {50, 5}, true, {}, true, false},
        {{55, 5}, {55, 5}, true, {}, true, false},
        {{59, 5}, {59, 5}, true, {}, true, false},
        {{60, 5}, {60, 5}, true, {finish, "cmdEndDigitalizing_Click"}, false, true},
        {{90, 5}, {90, 5}, true, {finish, "cmdEndDigitalizing_Click"}, false, true},
        {{91, 5}, {91, 5}, true, {}, true, false},
        {{100, 5}, {100, 5}, true, {}, true, false},
        {{101, 5}, {101, 5}, true, {}, false, std::nullopt},
        {{119, 5}, {119, 5}, true, {}, false, std::nullopt},
        {{5, 5}, {5, 5}, true, {}, true, false}, // the drag handle never clicks
        {{9, 9}, {40, 9}, true, {}, true, false},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE("x " + std::to_string(k.down.x) + " y " + std::to_string(k.down.y));
        journal = SubsystemJournal{};
        Open();
        journal.calls.clear();
        desk.SetForegroundWindow(w().hWnd());
        w().state.finishAllowed = k.finishAllowed;
        w().pictGETool_MouseDown(k.down, {500, 500});
        w().pictGETool_MouseUp(k.up, {500, 500});
        EXPECT_EQ(journal.calls, k.calls);
        EXPECT_EQ(w().IsLoaded(), k.stillLoaded);
        if (k.globeInFront) {
            EXPECT_EQ(desk.GetForegroundWindow() == globe.mainWindow, *k.globeInFront);
        }
    }
}

TEST_F(WindowTest, ToolStripHighlightsTheZoneUnderThePointer) {
    struct Case {
        int x;
        int image;
    };
    for (const Case& k :
         std::vector<Case>{{10, 1}, {49, 1}, {52, 0}, {75, 2}, {95, 0}, {110, 3}, {30, 1}}) {
        w().pictGETool_MouseMove({k.x, 10}, {0, 0});
        EXPECT_EQ(w().ctl.pictGETool.PictureKey(), w().ctl.pictPicture[k.image].PictureKey())
            << k.x;
        EXPECT_TRUE(w().state.toolStripHover);
    }
}

TEST_F(WindowTest, TheToolStripIsDraggedByItsHandleInsideTheGlobe) {
    auto& strip = w().ctl.pictGETool;
    w().SetControlParentToGE(strip);
    desk.SetForegroundWindow(globe.mainWindow); // the globe in front of the map host
    const auto start = desk.GetWindowRect(strip.hWnd());
    ASSERT_TRUE(start.has_value());
    const Point grab{start->left + 4, start->top + 4};
    desk.InjectMouse(MouseMessage::LeftDown, grab);
    desk.InjectMouse(MouseMessage::Move, {grab.x + 3, grab.y + 2});
    desk.InjectMouse(MouseMessage::Move, {grab.x + 30, grab.y + 20});
    desk.InjectMouse(MouseMessage::LeftUp, {grab.x + 30, grab.y + 20});
    const auto end = desk.GetWindowRect(strip.hWnd());
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->left - start->left, 30);
    EXPECT_EQ(end->top - start->top, 20);
    EXPECT_EQ(desk.GetParent(strip.hWnd()), globe.renderWindow);
    EXPECT_EQ(strip.Left(), 150 + 30 * kTwips);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"optGeometryType_Click(1)"}));
    // A click on its abort zone, delivered by the desktop, closes the window.
    const auto now = desk.GetWindowRect(strip.hWnd());
    desk.InjectMouse(MouseMessage::LeftDown, {now->left + 110, now->top + 5});
    desk.InjectMouse(MouseMessage::LeftUp, {now->left + 110, now->top + 5});
    EXPECT_FALSE(w().IsLoaded());
}

TEST_F(WindowTest, CtrlShortcutsTakeShotsAndChangeTheDelay) {
    struct Case {
        int key;
        int shift;
        std::string call;
        int delay;
    };
    const std::vector<Case> cases = {
        {vk::F7, 2, "TakeScreenShot(0)", 30},
        {vk::F8, 2, "TakeScreenShot(1)", 30},
        {vk::F9, 2, "TakeScreenShot(2)", 30},
        {'I', 2, "", 40},
        {'D', 2, "", 30},
        {'D', 2, "", 20},
        {vk::F7, 0, "", 20},
        {vk::F7, 3, "", 20},
        {vk::F8, 6, "", 20},
        {'I', 0, "", 20},
        {'I', 4, "", 20},
        {vk::F7, 1, "", 20},
    };
    for (const auto& k : cases) {
        journal.calls.clear();
        w().Form_KeyDown(k.key, k.shift);
        EXPECT_EQ(journal.calls.empty() ? "" : journal.calls.front(), k.call)
            << k.key << " " << k.shift;
        EXPECT_EQ(w().values.viewRefreshDelay, k.delay) << k.key << " " << k.shift;
    }
    // Through the desktop, to the window in front.
    desk.SetForegroundWindow(w().hWnd());
    journal.calls.clear();
    KeyEvent key;
    key.virtualKey = vk::F9;
    key.control = true;
    desk.InjectKey(key);
    EXPECT_EQ(journal.calls, (std::vector<std::string>{"TakeScreenShot(2)"}));
    EXPECT_EQ(w().Options().Item("ViewRefreshDelay").caption, "View Refresh Delay (20)");
}

TEST_F(WindowTest, TheRightButtonPopsTheOptionsUpOverTheBackgroundAndItsFrames) {
    struct Case {
        int x, y; // twips in the form
        bool popsUp;
    };
    const std::vector<Case> cases = {
        {30, 1000, true},    // background
        {3000, 500, true},   // frameOption
        {2000, 900, true},   // frameLayer
        {300, 900, false},   // frameGeometryType
        {300, 2500, true},   // frameDEM
        {2500, 2500, true},  // frameContour
        {2500, 3600, false}, // frameStartElevation
        {1000, 100, false},  // the toolbar
    };
    for (const auto& k : cases) {
        w().Options().ClosePopup();
        w().Form_RightButton({k.x / kTwips, k.y / kTwips}, {640, 480});
        EXPECT_EQ(w().Options().IsPoppedUp(), k.popsUp) << k.x << "," << k.y;
    }
    EXPECT_EQ(w().Options().PopupPosition(), (Point{640, 480}));
    EXPECT_TRUE(w().Options().PopupReactsToRightButton());
    // Through the desktop.
    w().Options().ClosePopup();
    const auto rect = desk.GetWindowRect(w().hWnd());
    w().Show(false);
    desk.InjectMouse(MouseMessage::RightDown, {rect->left + 2, rect->top + 66});
    desk.InjectMouse(MouseMessage::RightUp, {rect->left + 2, rect->top + 66});
    EXPECT_TRUE(w().Options().IsPoppedUp());
    // Not while a run is active.
    ActLikeARun(journal);
    w().toolbarScribeline_ButtonClick("start");
    w().Options().ClosePopup();
    w().Form_RightButton({2, 66}, {0, 0});
    EXPECT_FALSE(w().Options().IsPoppedUp());
}

TEST_F(WindowTest, SaveDataIn3DFollowsTheLayerChoiceBeforeThePopup) {
    AddFeatureLayer(map(), "flat", GeometryType::Polygon, 3, false);
    AddFeatureLayer(map(), "terrain", GeometryType::Polyline, 3, true);
    auto& options = w().Options();
    auto& c = w().ctl;
    struct Step {
        int target; // optNewOrExistingLayer
        const char* layer;
        bool checked, enabled;
    };
    const std::vector<Step> steps = {
        {1, "flat", false, false},
        {0, "flat", false, true}, // a new layer: enabled with its last mark
        {1, "terrain", true, false},
        {0, "terrain", true, true},
    };
    for (const auto& s : steps) {
        c.optNewOrExistingLayer.Select(s.target);
        c.cboSelectLayer.SetText(s.layer);
        w().PopupOptionsMenu({1, 1});
        EXPECT_EQ(options.Checked("saveDataIn3D"), s.checked) << s.layer << s.target;
        EXPECT_EQ(options.Item("saveDataIn3D").enabled, s.enabled) << s.layer << s.target;
    }
    c.optNewOrExistingLayer.Select(1);
    c.cboSelectLayer.SetText("gone");
    options.ClosePopup();
    EXPECT_THROW(w().PopupOptionsMenu({1, 1}), std::runtime_error);
    EXPECT_FALSE(options.IsPoppedUp());
}

TEST_F(WindowTest, TheAlarmLampBlinksTheCurrentButton) {
    w().state.currentButtonKey = "finishfeature";
    w().ctl.timerImportOrExport.SetEnabled(true);
    std::vector<std::string> images;
    for (int i = 0; i < 4; ++i) {
        desk.AdvanceTime(frmGE2Arc::kImportOrExportInterval);
        images.push_back(button("finishfeature").imageKey);
    }
    EXPECT_EQ(images, (std::vector<std::string>{"nothing", "finish", "nothing", "finish"}));
    w().Options().Click("alarmLamp");
    desk.AdvanceTime(3 * frmGE2Arc::kImportOrExportInterval);
    EXPECT_EQ(button("finishfeature").imageKey, "finish");
    w().Options().Click("alarmLamp");
    w().state.currentButtonKey.clear(); // no action under way: nothing blinks
    desk.AdvanceTime(2 * frmGE2Arc::kImportOrExportInterval);
    EXPECT_EQ(button("finishfeature").imageKey, "finish");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(WindowTest, TheMessageBoxTimerClosesBoxesTitledXYZ) {
    EXPECT_TRUE(w().ctl.timerMsgBox.Running());
    desk.SetMessageBoxResponder([](const desktop::MessageBoxRecord&) {
        return desktop::MessageBoxAnswer{idr::Ok, 10000};
    });
    desk.MessageBox(kNoWindow, "closing soon", "x_y_z", mb::Ok);
    desk.MessageBox(kNoWindow, "stays", "Other", mb::Ok);
    ASSERT_EQ(boxes().size(), 2U);
    EXPECT_TRUE(boxes()[0].closedByMessage);
    EXPECT_LE(boxes()[0].closedAtMs - boxes()[0].openedAtMs, frmGE2Arc::kMsgBoxInterval);
    EXPECT_FALSE(boxes()[1].closedByMessage);
    EXPECT_EQ(boxes()[1].closedAtMs - boxes()[1].openedAtMs, 10000);
}

TEST_F(WindowTest, ATickFailureIsShownOncePerRun) {
    journal.behaviour["timerDigitalizing_Timer"] = [](frmGE2Arc&) {
        throw PortError("GetWindowRect", "the render window is gone");
    };
    // The box stays open a while, and the timer keeps ticking under it.
    desk.SetMessageBoxResponder([](const desktop::MessageBoxRecord&) {
        return desktop::MessageBoxAnswer{idr::Ok, 2000};
    });
    w().ctl.timerDigitalizing.SetEnabled(true);
    desk.AdvanceTime(5000);
    ASSERT_EQ(boxes().size(), 1U);
    EXPECT_EQ(boxes()[0].title, "Scribeline for ArcMap");
    EXPECT_EQ(boxes()[0].text, "The timer timerDigitalizing failed.\r\n"
                               "GetWindowRect: the render window is gone");
    EXPECT_GT(journal.count("timerDigitalizing_Timer"), 5);
    w().toolbarScribeline_ButtonClick("start"); // a new run
    desk.AdvanceTime(5000);
    EXPECT_EQ(boxes().size(), 2U);
}

TEST_F(WindowTest, CheckingAnUninitialisedGlobeKeepsTheOldHandles) {
    process.globe.mainWindow = kNoWindow;
    globe.initialized = 0;
    const int created = connector.created;
    w().Check_GEisIsInitialized();
    EXPECT_EQ(connector.created, created + 1); // a fresh application object all the same
    EXPECT_EQ(process.globe.mainWindow, kNoWindow);
    globe.initialized = 1;
    w().Check_GEisIsInitialized();
    EXPECT_EQ(process.globe.mainWindow, globe.mainWindow);
    EXPECT_EQ(process.globe.renderWindow, globe.renderWindow);
    EXPECT_EQ(process.globe.renderRect, desk.GetWindowRect(globe.renderWindow));
}

TEST_F(WindowTest, RandomColourIsThreeRandomChannels) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string text = w().RandomColour();
        const long value = std::stol(text);
        EXPECT_EQ(std::to_string(value), text);
        EXPECT_GE(value, 0);
        EXPECT_LE(value, 254 + 254 * 256 + 254 * 65536); // each channel below 255
        EXPECT_LE(value % 256, 254);
        EXPECT_LE((value / 256) % 256, 254);
        seen.insert(text);
    }
    EXPECT_GT(seen.size(), 45U);
    // The same seed gives the same colours.
    desktop::HeadlessDesktop a{desktop::DesktopOptions{}};
    desktop::HeadlessDesktop b{desktop::DesktopOptions{}};
    FakeGlobeClient ga{a}, gb{b};
    FakeGlobeConnector ca{ga}, cb{gb};
    ProcessState pa, pb;
    frmGE2Arc wa(Environment{a, ca}, pa, RecordingSubsystems(journal)),
        wb(Environment{b, cb}, pb, RecordingSubsystems(journal));
    EXPECT_EQ(wa.RandomColour(), wb.RandomColour());
}

} // namespace
} // namespace scribeline::testing
