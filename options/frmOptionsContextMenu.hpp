// frmOptionsContextMenu: the options menu whose check marks are the system's settings. The
// form is never shown; its one menu, menuScribeline, pops up from the digitizer window. Other
// subsystems read a setting by asking its item for its check mark at the moment it matters:
// nothing is cached and nothing is persisted.
//
// Two numeric settings, the view refresh delay and the DEM preview target, belong to the
// digitizer window (OptionsWindowValues); the menu changes them and shows them through a
// caption and radio marks.
#pragma once

#include "platform/signal.hpp"
#include "platform/types.hpp"

#include <functional>
#include <string>
#include <vector>

namespace scribeline {

enum class MenuItemKind {
    Check,     // an on/off setting: its check mark
    Radio,     // one of a group; the chosen one carries the radio mark (checked)
    Action,    // runs something when chosen
    Submenu,   // opens its children
    Separator, // a rule between groups; never chosen
};

struct MenuItem {
    std::string name; // empty for separators
    std::string caption;
    MenuItemKind kind = MenuItemKind::Action;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
    std::string shortcut; // "Ctrl+I", empty for none
    std::vector<MenuItem> children;
};

// Values of the digitizer window the menu changes. Delay in milliseconds (10 to 100 in steps
// of 10 once changed); preview target 0 the globe, 1 the map, 2 both.
struct OptionsWindowValues {
    int viewRefreshDelay = 30;
    int demPreviewTarget = 0;
};

// What the menu's report items run; filled by the digitizer window. An empty slot makes the
// item do nothing.
struct OptionsActions {
    std::function<void()> showGEStatus;  // "Check Google Earth Status"
    std::function<void()> showArcStatus; // "Check ArcGIS Status"
};

class frmOptionsContextMenu {
public:
    // `values` is borrowed and must outlive the form.
    explicit frmOptionsContextMenu(OptionsWindowValues& values, OptionsActions actions = {});

    // Loading builds every item in its initial state and runs OptionsContextMenuInit.
    // Reading or changing an item of an unloaded form loads it first, as touching a form does.
    void Load();
    void Unload();
    [[nodiscard]] bool IsLoaded() const { return loaded_; }

    // The menu tree, top to bottom.
    [[nodiscard]] const MenuItem& menuScribeline();
    // Item by name, anywhere in the tree; raises std::out_of_range for an unknown name.
    [[nodiscard]] const MenuItem& Item(const std::string& name);
    [[nodiscard]] bool Checked(const std::string& name) { return Item(name).checked; }
    void SetChecked(const std::string& name, bool checked);
    void SetEnabled(const std::string& name, bool enabled);
    // Raised once per effective change of an item's check mark, enabled state or caption,
    // with the item (borrowed for the call; its name identifies it). Loading and unloading
    // rebuild the whole tree and raise it once with the root (menuScribeline; after an unload
    // an empty item with no name). The handler must not be empty (std::invalid_argument); the
    // subscription lasts as long as the returned Connection.
    [[nodiscard]] Connection OnItemChanged(std::function<void(const MenuItem&)> handler) {
        return itemChanged_.Subscribe(std::move(handler));
    }
    // Every item name in menu order (separators excluded).
    [[nodiscard]] std::vector<std::string> ItemNames();

    // The action of an item, as its click runs it (whether or not it could be chosen).
    void Click(const std::string& name);
    // A choice made in the popped-up menu: closes the popup, then runs the item's action only
    // when the item and every submenu above it are visible and enabled. Returns whether it ran.
    bool Choose(const std::string& name);

    // Pops the menu up at a screen position. rightButton: the menu reacts to the right button.
    void PopupMenu(Point screen, bool rightButton);
    void ClosePopup() { poppedUp_ = false; }
    [[nodiscard]] bool IsPoppedUp() const { return poppedUp_; }
    [[nodiscard]] Point PopupPosition() const { return popupAt_; }
    [[nodiscard]] bool PopupReactsToRightButton() const { return popupRightButton_; }

    // Gives the radio mark of "Preview DEM Grids in" to "Google Earth".
    void OptionsContextMenuInit();
    void ViewRefreshDelayIncrease_Click();
    void ViewRefreshDelayDecrease_Click();

private:
    MenuItem* find(const std::string& name);
    void ensureLoaded();
    void toggle(const std::string& name);
    void jointDEMPointsClicked(const std::string& clicked, const std::string& other);
    void previewClicked(const std::string& chosen, int target);
    void showDelay();

    OptionsWindowValues& values_;
    OptionsActions actions_;
    Signal<const MenuItem&> itemChanged_;
    MenuItem root_;
    bool loaded_ = false;
    bool poppedUp_ = false;
    bool popupRightButton_ = false;
    Point popupAt_;
};

} // namespace scribeline
