#include "options/frmOptionsContextMenu.hpp"
#include "tests/support/files.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace scribeline {
namespace {

const char* kindName(MenuItemKind kind) {
    switch (kind) {
    case MenuItemKind::Check:
        return "check";
    case MenuItemKind::Radio:
        return "radio";
    case MenuItemKind::Action:
        return "action";
    case MenuItemKind::Submenu:
        return "submenu";
    case MenuItemKind::Separator:
        return "separator";
    }
    return "?";
}

void dump(const MenuItem& item, int depth, std::ostringstream& out) {
    for (const auto& child : item.children) {
        out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << kindName(child.kind);
        if (child.kind != MenuItemKind::Separator) {
            out << ' ' << child.name << " \"" << child.caption << '"';
            if (child.kind == MenuItemKind::Check || child.kind == MenuItemKind::Radio) {
                out << (child.checked ? " checked" : " unchecked");
            }
            if (!child.enabled) {
                out << " disabled";
            }
            if (!child.visible) {
                out << " hidden";
            }
            if (!child.shortcut.empty()) {
                out << " [" << child.shortcut << ']';
            }
        }
        out << '\n';
        dump(child, depth + 1, out);
    }
}

class OptionsMenuTest : public ::testing::Test {
protected:
    OptionsWindowValues values;
    int geReports = 0;
    int arcReports = 0;
    frmOptionsContextMenu menu{values,
                               OptionsActions{[this] { ++geReports; }, [this] { ++arcReports; }}};
    void SetUp() override { menu.Load(); }
    std::string caption(const std::string& name) { return menu.Item(name).caption; }
};

TEST_F(OptionsMenuTest, InitialTreeMatchesTheGoldenFile) {
    std::ostringstream out;
    dump(menu.menuScribeline(), 0, out);
    testing::ExpectGolden(out.str(), "options/menu_tree.txt");
}

TEST_F(OptionsMenuTest, ReadingAnUnloadedFormLoadsItInItsInitialState) {
    OptionsWindowValues v;
    frmOptionsContextMenu fresh(v);
    EXPECT_FALSE(fresh.IsLoaded());
    EXPECT_TRUE(fresh.Checked("saveDataIn3D"));
    EXPECT_TRUE(fresh.IsLoaded());
    EXPECT_TRUE(fresh.Checked("previewDEMGridsInGE"));
    EXPECT_THROW((void)fresh.Item("noSuchItem"), std::out_of_range);
    EXPECT_THROW((void)fresh.Item(""), std::out_of_range);
}

// Items whose click does nothing but invert their own check mark.
TEST_F(OptionsMenuTest, PlainCheckItemsInvertOnlyThemselves) {
    const std::vector<std::string> plain = {
        "saveDataIn3D",
        "SetDefaultProperyValuesFromLastFeature",
        "usingKmlFile",
        "RubberTrack",
        "DisplyCursorInArcMap",
        "NavZoneEnabled",
        "SaveAltitude2TableField",
        "UseGradientColor2GEContours",
        "AllowToSquareGERenderViewWhenContouring",
        "RecoverGERenderViewAfterContouring",
        "alarmLamp",
        "PlayAnimationWhenDigitizing",
        "PlayAnimationWhenRecording",
        "PlayAnimationWhenCapturingScreenShot",
    };
    for (const auto& name : plain) {
        menu.Click("RestoreParameters2DefaultValues");
        std::map<std::string, bool> before;
        for (const auto& other : menu.ItemNames()) {
            before[other] = menu.Item(other).checked;
        }
        menu.Click(name);
        for (const auto& other : menu.ItemNames()) {
            EXPECT_EQ(menu.Item(other).checked, other == name ? !before[other] : before[other])
                << "clicking " << name << " changed " << other;
        }
        menu.Click(name);
        EXPECT_EQ(menu.Checked(name), before[name]) << name;
    }
}

TEST_F(OptionsMenuTest, EditingAndMeasureTrackExcludeEachOther) {
    menu.Click("MeasureTrack");
    ASSERT_TRUE(menu.Checked("MeasureTrack"));
    menu.Click("EditFeatureProperties");
    EXPECT_TRUE(menu.Checked("EditFeatureProperties"));
    EXPECT_FALSE(menu.Checked("MeasureTrack"));
    menu.Click("MeasureTrack");
    EXPECT_TRUE(menu.Checked("MeasureTrack"));
    EXPECT_FALSE(menu.Checked("EditFeatureProperties"));
    // Unchecking changes nothing else.
    menu.Click("MeasureTrack");
    EXPECT_FALSE(menu.Checked("MeasureTrack"));
    EXPECT_FALSE(menu.Checked("EditFeatureProperties"));
    menu.Click("EditFeatureProperties");
    menu.Click("EditFeatureProperties");
    EXPECT_FALSE(menu.Checked("EditFeatureProperties"));
    EXPECT_FALSE(menu.Checked("MeasureTrack"));
}

TEST_F(OptionsMenuTest, GridAndMeshExcludeEachOtherAndLockTheAltitudeField) {
    struct Step {
        const char* click;
        bool grid, mesh, altitudeChecked, altitudeEnabled;
    };
    menu.Click("SaveAltitude2TableField"); // checked, so the lock visibly clears it
    const std::vector<Step> steps = {
        {"jointDEMPoints2Mesh", false, true, false, false},
        {"jointDEMPoints2Grid", true, false, false, false}, // only Grid stays
        {"jointDEMPoints2Grid", false, false, false, true}, // enabled again, not checked
        {"jointDEMPoints2Grid", true, false, false, false},
        {"jointDEMPoints2Mesh", false, true, false, false},
        {"jointDEMPoints2Mesh", false, false, false, true},
    };
    for (const auto& s : steps) {
        menu.Click(s.click);
        EXPECT_EQ(menu.Checked("jointDEMPoints2Grid"), s.grid) << s.click;
        EXPECT_EQ(menu.Checked("jointDEMPoints2Mesh"), s.mesh) << s.click;
        EXPECT_EQ(menu.Checked("SaveAltitude2TableField"), s.altitudeChecked) << s.click;
        EXPECT_EQ(menu.Item("SaveAltitude2TableField").enabled, s.altitudeEnabled) << s.click;
    }
}

TEST_F(OptionsMenuTest, DelayStepsWithinTenToHundred) {
    std::vector<int> seen;
    for (int i = 0; i < 9; ++i) {
        menu.Click("ViewRefreshDelayIncrease");
        seen.push_back(values.viewRefreshDelay);
    }
    EXPECT_EQ(seen, (std::vector<int>{40, 50, 60, 70, 80, 90, 100, 100, 100}));
    EXPECT_EQ(caption("ViewRefreshDelay"), "View Refresh Delay (100)");
    values.viewRefreshDelay = 20;
    menu.Click("ViewRefreshDelayDecrease");
    EXPECT_EQ(values.viewRefreshDelay, 10);
    EXPECT_EQ(caption("ViewRefreshDelay"), "View Refresh Delay (10)");
    menu.Click("ViewRefreshDelayDecrease"); // at 10: nothing changes
    EXPECT_EQ(values.viewRefreshDelay, 10);
    EXPECT_EQ(caption("ViewRefreshDelay"), "View Refresh Delay (10)");
    // The public procedures the window's Ctrl+I and Ctrl+D call do the same.
    menu.ViewRefreshDelayIncrease_Click();
    EXPECT_EQ(values.viewRefreshDelay, 20);
    menu.ViewRefreshDelayDecrease_Click();
    EXPECT_EQ(values.viewRefreshDelay, 10);
}

TEST_F(OptionsMenuTest, PreviewTargetIsARadioGroup) {
    struct Case {
        const char* item;
        int target;
    };
    const std::vector<Case> cases = {{"previewDEMGridsInBoth", 2},
                                     {"previewDEMGridsInArcMap", 1},
                                     {"previewDEMGridsInGE", 0},
                                     {"previewDEMGridsInGE", 0}};
    for (const auto& c : cases) {
        menu.Click(c.item);
        EXPECT_EQ(values.demPreviewTarget, c.target);
        for (const char* name :
             {"previewDEMGridsInGE", "previewDEMGridsInArcMap", "previewDEMGridsInBoth"}) {
            EXPECT_EQ(menu.Checked(name), std::string(name) == c.item) << c.item << " " << name;
        }
    }
}

TEST_F(OptionsMenuTest, RestoreReloadsItemsButKeepsTheWindowsValues) {
    for (int i = 0; i < 3; ++i) {
        menu.Click("ViewRefreshDelayIncrease");
    }
    ASSERT_EQ(values.viewRefreshDelay, 60);
    menu.Click("previewDEMGridsInBoth");
    menu.Click("saveDataIn3D");
    menu.Click("jointDEMPoints2Grid");
    menu.Click("RestoreParameters2DefaultValues");
    EXPECT_EQ(caption("ViewRefreshDelay"), "View Refresh Delay (30)");
    EXPECT_EQ(values.viewRefreshDelay, 60);
    EXPECT_EQ(values.demPreviewTarget, 2);
    EXPECT_TRUE(menu.Checked("previewDEMGridsInGE"));
    EXPECT_FALSE(menu.Checked("previewDEMGridsInBoth"));
    EXPECT_TRUE(menu.Checked("saveDataIn3D"));
    EXPECT_FALSE(menu.Checked("jointDEMPoints2Grid"));
    EXPECT_TRUE(menu.Item("SaveAltitude2TableField").enabled);
    menu.Click("ViewRefreshDelayIncrease");
    EXPECT_EQ(values.viewRefreshDelay, 70);
    EXPECT_EQ(caption("ViewRefreshDelay"), "View Refresh Delay (70)");
}

TEST_F(OptionsMenuTest, ReportItemsRunTheirSlotsAndOthersDoNothing) {
    menu.Click("ShowGEStatus");
    menu.Click("ShowArcStatus");
    menu.Click("ShowArcStatus");
    EXPECT_EQ(geReports, 1);
    EXPECT_EQ(arcReports, 2);

    std::ostringstream before;
    dump(menu.menuScribeline(), 0, before);
    for (const char* name :
         {"CaptureScreenShotOfArcMapView", "CaptureScreenShotOfGERenderView",
          "CaptureScreenShotOfDesktop", "CaptureScreenShot", "FeatureProperties", "track",
          "ViewRefreshDelay", "jointDEMPoints", "AdjustGERenderViewWhenContouring",
          "previewDEMGrids", "PlayAnimation"}) {
        menu.Click(name);
    }
    std::ostringstream after;
    dump(menu.menuScribeline(), 0, after);
    EXPECT_EQ(before.str(), after.str());
    EXPECT_EQ(values.viewRefreshDelay, 30);

    OptionsWindowValues v;
    frmOptionsContextMenu withoutSlots(v);
    EXPECT_NO_THROW(withoutSlots.Click("ShowGEStatus"));
}

TEST_F(OptionsMenuTest, ChoosingFromThePopupHonoursEnabledAndVisible) {
    menu.PopupMenu({300, 200}, true);
    EXPECT_TRUE(menu.IsPoppedUp());
    EXPECT_EQ(menu.PopupPosition(), (Point{300, 200}));
    EXPECT_TRUE(menu.PopupReactsToRightButton());
    EXPECT_TRUE(menu.Choose("RubberTrack"));
    EXPECT_FALSE(menu.IsPoppedUp());
    EXPECT_FALSE(menu.Checked("RubberTrack"));

    menu.Click("jointDEMPoints2Grid"); // disables the altitude item
    EXPECT_FALSE(menu.Choose("SaveAltitude2TableField"));
    EXPECT_FALSE(menu.Checked("SaveAltitude2TableField"));
    EXPECT_FALSE(menu.Choose("UseGradientColor2GEContours")); // not shown
    EXPECT_TRUE(menu.Checked("UseGradientColor2GEContours"));

    menu.SetEnabled("PlayAnimation", false); // a disabled submenu hides its children
    EXPECT_FALSE(menu.Choose("PlayAnimationWhenRecording"));
    EXPECT_FALSE(menu.Checked("PlayAnimationWhenRecording"));
    EXPECT_THROW(menu.Choose("noSuchItem"), std::out_of_range);
}

} // namespace
} // namespace scribeline
