#include "options/frmOptionsContextMenu.hpp"

#include "options/option_names.hpp"

#include <stdexcept>
#include <utility>

namespace scribeline {

namespace {

MenuItem check(std::string name, std::string caption, bool initial) {
    MenuItem item;
    item.name = std::move(name);
    item.caption = std::move(caption);
    item.kind = MenuItemKind::Check;
    item.checked = initial;
    return item;
}

MenuItem action(std::string name, std::string caption, std::string shortcut = {}) {
    MenuItem item;
    item.name = std::move(name);
    item.caption = std::move(caption);
    item.kind = MenuItemKind::Action;
    item.shortcut = std::move(shortcut);
    return item;
}

MenuItem radio(std::string name, std::string caption) {
    MenuItem item;
    item.name = std::move(name);
    item.caption = std::move(caption);
    item.kind = MenuItemKind::Radio;
    return item;
}

MenuItem submenu(std::string name, std::string caption, std::vector<MenuItem> children) {
    MenuItem item;
    item.name = std::move(name);
    item.caption = std::move(caption);
    item.kind = MenuItemKind::Submenu;
    item.children = std::move(children);
    return item;
}

MenuItem separator() {
    MenuItem item;
    item.kind = MenuItemKind::Separator;
    return item;
}

// The menu as the form is designed: every item with its initial caption, mark and state.
MenuItem initialMenu() {
    MenuItem hiddenGradient = check(option_names::kUseGradientColor2GEContours,
                                    "Use Gradient Color to Contours in Google Earth", true);
    hiddenGradient.visible = false; // contour output always uses it as on

    std::vector<MenuItem> items;
    items.push_back(check(option_names::kSaveDataIn3D, "Save data in 3D", true));
    items.push_back(submenu(option_names::kFeatureProperties, "Feature Properties",
                            {check(option_names::kEditFeatureProperties, "Enable Editing", false),
                             check(option_names::kSetDefaultProperyValuesFromLastFeature,
                                   "Set Default Property Values from Last Feature", false)}));
    items.push_back(separator());
    items.push_back(
        submenu(option_names::kTrack, "Track and View",
                {check(option_names::kUsingKmlFile, "Use KML File to Track and View", true),
                 check(option_names::kMeasureTrack, "Measure (Distance and Area) Track", false),
                 check(option_names::kRubberTrack, "Rubber Band Track", true),
                 check(option_names::kDisplyCursorInArcMap, "Display ArcMap Cursor", false)}));
    items.push_back(
        submenu(option_names::kViewRefreshDelay, "View Refresh Delay (30)",
                {action(option_names::kViewRefreshDelayIncrease, "Increase", "Ctrl+I"),
                 action(option_names::kViewRefreshDelayDecrease, "Decrease", "Ctrl+D")}));
    items.push_back(separator());
    items.push_back(
        check(option_names::kNavZoneEnabled, "Enable Navigation Zone to Digitize", false));
    items.push_back(separator());
    items.push_back(check(option_names::kSaveAltitude2TableField,
                          "Save Altitude of DEM or Contours into Field", false));
    items.push_back(submenu(option_names::kJointDEMPoints, "Joint DEM Point to",
                            {check(option_names::kJointDEMPoints2Grid, "Grid", false),
                             check(option_names::kJointDEMPoints2Mesh, "Mesh", false)}));
    items.push_back(std::move(hiddenGradient));
    items.push_back(submenu(option_names::kAdjustGERenderViewWhenContouring,
                            "Adjust Google Earth Render View",
                            {check(option_names::kAllowToSquareGERenderViewWhenContouring,
                                   "Allow to Square Render View When Contouring", true),
                             check(option_names::kRecoverGERenderViewAfterContouring,
                                   "Recover Render View After Contouring", false)}));
    items.push_back(
        submenu(option_names::kPreviewDEMGrids, "Preview DEM Grids in",
                {radio(option_names::kPreviewDEMGridsInGE, "Google Earth"),
                 radio(option_names::kPreviewDEMGridsInArcMap, "ArcMap"),
                 radio(option_names::kPreviewDEMGridsInBoth, "Google Earth and ArcMap")}));
    items.push_back(separator());
    items.push_back(check(option_names::kAlarmLamp, "Display Alarm Lamp", true));
    items.push_back(
        submenu(option_names::kPlayAnimation, "Play Animation",
                {check(option_names::kPlayAnimationWhenDigitizing, "When Digitizing", true),
                 check(option_names::kPlayAnimationWhenRecording, "When Recording", false),
                 check(option_names::kPlayAnimationWhenCapturingScreenShot,
                       "When Capturing ScreenShot", true)}));
    items.push_back(separator());
    items.push_back(action(option_names::kRestoreParameters2DefaultValues,
                           "Restore All Parameters to Default Values"));
    items.push_back(separator());
    items.push_back(action(option_names::kShowGEStatus, "Check Google Earth Status"));
    items.push_back(action(option_names::kShowArcStatus, "Check ArcGIS Status"));
    items.push_back(
        submenu(option_names::kCaptureScreenShot, "Capture a Screen Shot of",
                {action(option_names::kCaptureScreenShotOfArcMapView, "ArcMap View", "Ctrl+F7"),
                 action(option_names::kCaptureScreenShotOfGERenderView, "Google Earth Render View",
                        "Ctrl+F8"),
                 action(option_names::kCaptureScreenShotOfDesktop, "Desktop", "Ctrl+F9")}));
    return submenu(option_names::kMenuScribeline, "Options", std::move(items));
}

// The items from `item` down to the one named `name`; false when there is none.
bool pathTo(const MenuItem& item, const std::string& name, std::vector<const MenuItem*>& path) {
    path.push_back(&item);
    if (item.kind != MenuItemKind::Separator && item.name == name) {
        return true;
    }
    for (const auto& child : item.children) {
        if (pathTo(child, name, path)) {
            return true;
        }
    }
    path.pop_back();
    return false;
}

void collectNames(const MenuItem& item, std::vector<std::string>& out) {
    for (const auto& child : item.children) {
        if (child.kind == MenuItemKind::Separator) {
            continue;
        }
        out.push_back(child.name);
        collectNames(child, out);
    }
}

} // namespace

frmOptionsContextMenu::frmOptionsContextMenu(OptionsWindowValues& values, OptionsActions actions)
    : values_(values), actions_(std::move(actions)) {}

void frmOptionsContextMenu::Load() {
    if (loaded_) {
        return;
    }
    root_ = initialMenu();
    loaded_ = true;
    itemChanged_.Raise(root_);
    OptionsContextMenuInit();
}

void frmOptionsContextMenu::Unload() {
    const bool wasLoaded = loaded_;
    loaded_ = false;
    poppedUp_ = false;
    root_ = MenuItem{};
    if (wasLoaded) {
        itemChanged_.Raise(root_);
    }
}

void frmOptionsContextMenu::ensureLoaded() {
    if (!loaded_) {
        Load();
    }
}

MenuItem* frmOptionsContextMenu::find(const std::string& name) {
    ensureLoaded();
    std::vector<const MenuItem*> path;
    if (name.empty() || !pathTo(root_, name, path)) {
        return nullptr;
    }
    // The tree is ours and not const; the path helper only reads it.
    return const_cast<MenuItem*>(path.back());
}

const MenuItem& frmOptionsContextMenu::menuScribeline() {
    ensureLoaded();
    return root_;
}

const MenuItem& frmOptionsContextMenu::Item(const std::string& name) {
    MenuItem* item = find(name);
    if (item == nullptr) {
        throw std::out_of_range("The options menu has no item named \"" + name + "\".");
    }
    return *item;
}

void frmOptionsContextMenu::SetChecked(const std::string& name, bool checked) {
    auto& item = const_cast<MenuItem&>(Item(name));
    if (item.checked != checked) {
        item.checked = checked;
        itemChanged_.Raise(item);
    }
}

void frmOptionsContextMenu::SetEnabled(const std::string& name, bool enabled) {
    auto& item = const_cast<MenuItem&>(Item(name));
    if (item.enabled != enabled) {
        item.enabled = enabled;
        itemChanged_.Raise(item);
    }
}

std::vector<std::string> frmOptionsContextMenu::ItemNames() {
    ensureLoaded();
    std::vector<std::string> names;
    collectNames(root_, names);
    return names;
}

void frmOptionsContextMenu::toggle(const std::string& name) {
    SetChecked(name, !Checked(name));
}

void frmOptionsContextMenu::jointDEMPointsClicked(const std::string& clicked,
                                                  const std::string& other) {
    toggle(clicked);
    if (Checked(clicked) && Checked(other)) {
        SetChecked(other, false);
    }
    // Joined DEM points are lines or cells, which carry no single altitude to store.
    if (Checked(option_names::kJointDEMPoints2Grid) ||
        Checked(option_names::kJointDEMPoints2Mesh)) {
        SetChecked(option_names::kSaveAltitude2TableField, false);
        SetEnabled(option_names::kSaveAltitude2TableField, false);
    } else {
        SetEnabled(option_names::kSaveAltitude2TableField, true);
    }
}

void frmOptionsContextMenu::previewClicked(const std::string& chosen, int target) {
    for (const char* name :
         {option_names::kPreviewDEMGridsInGE, option_names::kPreviewDEMGridsInArcMap,
          option_names::kPreviewDEMGridsInBoth}) {
        SetChecked(name, name == chosen);
    }
    values_.demPreviewTarget = target;
}

void frmOptionsContextMenu::showDelay() {
    auto& item = const_cast<MenuItem&>(Item(option_names::kViewRefreshDelay));
    std::string caption = "View Refresh Delay (" + std::to_string(values_.viewRefreshDelay) + ")";
    if (item.caption != caption) {
        item.caption = std::move(caption);
        itemChanged_.Raise(item);
    }
}

void frmOptionsContextMenu::ViewRefreshDelayIncrease_Click() {
    ensureLoaded();
    if (values_.viewRefreshDelay < 100) {
        values_.viewRefreshDelay += 10;
        showDelay();
    }
}

void frmOptionsContextMenu::ViewRefreshDelayDecrease_Click() {
    ensureLoaded();
    if (values_.viewRefreshDelay > 10) {
        values_.viewRefreshDelay -= 10;
        showDelay();
    }
}

void frmOptionsContextMenu::OptionsContextMenuInit() {
    ensureLoaded();
    SetChecked(option_names::kPreviewDEMGridsInGE, true);
    SetChecked(option_names::kPreviewDEMGridsInArcMap, false);
    SetChecked(option_names::kPreviewDEMGridsInBoth, false);
}

void frmOptionsContextMenu::Click(const std::string& name) {
    const MenuItemKind kind = Item(name).kind;
    if (name == option_names::kEditFeatureProperties || name == option_names::kMeasureTrack) {
        // The attribute grid and the measure read-out share the window's panel.
        toggle(name);
        if (Checked(name)) {
            SetChecked(name == option_names::kMeasureTrack ? option_names::kEditFeatureProperties
                                                           : option_names::kMeasureTrack,
                       false);
        }
    } else if (name == option_names::kJointDEMPoints2Grid) {
        jointDEMPointsClicked(name, option_names::kJointDEMPoints2Mesh);
    } else if (name == option_names::kJointDEMPoints2Mesh) {
        jointDEMPointsClicked(name, option_names::kJointDEMPoints2Grid);
    } else if (name == option_names::kViewRefreshDelayIncrease) {
        ViewRefreshDelayIncrease_Click();
    } else if (name == option_names::kViewRefreshDelayDecrease) {
        ViewRefreshDelayDecrease_Click();
    } else if (name == option_names::kPreviewDEMGridsInGE) {
        previewClicked(name, 0);
    } else if (name == option_names::kPreviewDEMGridsInArcMap) {
        previewClicked(name, 1);
    } else if (name == option_names::kPreviewDEMGridsInBoth) {
        previewClicked(name, 2);
    } else if (name == option_names::kRestoreParameters2DefaultValues) {
        // Reloading returns every item to its initial state; the window's values stay.
        Unload();
        Load();
    } else if (name == option_names::kShowGEStatus) {
        if (actions_.showGEStatus) {
            actions_.showGEStatus();
        }
    } else if (name == option_names::kShowArcStatus) {
        if (actions_.showArcStatus) {
            actions_.showArcStatus();
        }
    } else if (kind == MenuItemKind::Check) {
        toggle(name);
    }
    // Submenu headers open their children; the screen shot items are taken through the
    // window's shortcut keys: neither does anything here.
}

bool frmOptionsContextMenu::Choose(const std::string& name) {
    ensureLoaded();
    std::vector<const MenuItem*> path;
    if (name.empty() || !pathTo(root_, name, path)) {
        throw std::out_of_range("The options menu has no item named \"" + name + "\".");
    }
    poppedUp_ = false;
    // path[0] is the menu itself, which is never shown as an item.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (!path[i]->visible || !path[i]->enabled) {
            return false;
        }
    }
    Click(name);
    return true;
}

void frmOptionsContextMenu::PopupMenu(Point screen, bool rightButton) {
    ensureLoaded();
    poppedUp_ = true;
    popupAt_ = screen;
    popupRightButton_ = rightButton;
}

} // namespace scribeline
