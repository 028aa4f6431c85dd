// The digitizer window ("Scribeline for ArcMap") as Qt widgets over its control model: each
// control of the model gets a widget in the form's desktop window, placed at the control's
// twips position, showing its caption, text, value, enabled and visible state. The widgets
// follow the model through its one change notification (Controls::OnChanged), never by
// polling: a change repaints only the widget of the control that changed. What a person does
// on a widget goes back through the control's User... members (so the form's event gate
// catches what fails). Text boxes route every key through the model.
//
// Takes only what it needs: the Qt desktop that holds the form's window and the form.
#pragma once

#include "command/frmGE2Arc.hpp"
#include "hosts/qtdesktop/qt_desktop.hpp"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QMenu;
class QWidget;

namespace scribeline::frontend {

class DigitizerWindow {
public:
    // Pixel size of the window's face.
    static constexpr int kFacePixels = 11;
    // Twips a pixel of the desktop the window is laid out on (a 131-dpi screen): the form's
    // twips layout then has the room that face needs. Every front end sets it on its desktop.
    static constexpr int kTwipsPerPixel = 11;

    // Both borrowed; they must outlive this object.
    DigitizerWindow(qtdesktop::QtDesktop& desktop, frmGE2Arc& form);
    ~DigitizerWindow();
    DigitizerWindow(const DigitizerWindow&) = delete;
    DigitizerWindow& operator=(const DigitizerWindow&) = delete;

    // Builds the widgets when the form is loaded and its window has none yet (a new load
    // makes a new window); does nothing otherwise. Call after anything that may load the form.
    void Attach();
    // Brings the widgets of the controls that changed since the last flush up to date; runs
    // by itself on the event loop after every change.
    void Flush();
    // Brings one control's widget (or every widget) up to the model's state.
    void Sync(const controls::Control& control);
    void SyncAll();

    // The widget showing a control; null when it has none (timers, picture boxes, which are
    // desktop windows of their own) or the form is not shown.
    [[nodiscard]] QWidget* WidgetFor(const controls::Control& control) const;
    // The form's window the widgets are in; null before Attach found the form loaded.
    [[nodiscard]] QWidget* FormWidget() const;
    // Every control that has a widget.
    [[nodiscard]] std::vector<const controls::Control*> BoundControls() const;
    // The frame that holds a control (a hidden frame hides it); null when none does.
    [[nodiscard]] const controls::Control* ContainerOf(const controls::Control& control) const;
    // How often a control's widget was brought up to date (tests: a change repaints only it).
    [[nodiscard]] int SyncCount(const controls::Control& control) const;

    // When the form popped its options menu up (a right click), shows it as a Qt menu where it
    // asked, with the items' check and radio marks, enabled states and shortcuts; a choice
    // goes to the menu model (Choose), a dismissal closes its popup. Call after input.
    void ShowOptionsMenuIfPoppedUp();
    // The options menu as a Qt menu (owned by `parent`): an action per item, named after it.
    static QMenu* BuildOptionsMenu(frmOptionsContextMenu& menu, QWidget* parent);

    // Called after every action a person takes on the widgets (may be empty).
    std::function<void()> afterAction;

    // Failures caught at the widgets' edge (syncing or a user's action the gate let through).
    [[nodiscard]] int Errors() const { return errors_; }
    [[nodiscard]] const std::string& LastError() const { return lastError_; }

private:
    struct Binding {
        QPointer<QWidget> widget;
        std::function<void()> sync;
        int syncs = 0;
    };
    void build(QWidget* form);
    void bindTextBox(controls::TextBox& box, QWidget* form);
    void bindImage(controls::Image& image, QWidget* form);
    void bindGrid(controls::ListView& grid, QWidget* form);
    void queue(const controls::Control& control);
    void place(QWidget* widget, const controls::Control& control) const;
    void lowerCoreWindows();
    void guarded(const std::function<void()>& work);
    void userAction(const std::function<void()>& action);
    void bind(const controls::Control& control, QWidget* widget, std::function<void()> sync);

    qtdesktop::QtDesktop& desktop_;
    frmGE2Arc& form_;
    QPointer<QWidget> formWidget_;
    WindowHandle formWindow_ = kNoWindow;
    QObject context_;
    std::map<const controls::Control*, Binding> bindings_;
    std::vector<std::unique_ptr<QObject>> filters_;
    std::unique_ptr<QObject> formFilter_;
    controls::Subscription subscription_;
    std::set<const controls::Control*> dirty_;
    bool flushQueued_ = false;
    std::vector<std::string> toolbarKeys_; // the keys the toolbar's actions stand for
    bool menuShowing_ = false;
    int errors_ = 0;
    std::string lastError_;
};

// Twips of the form to pixels of a screen with the given twips a pixel (15 at 96 dpi).
int TwipsToPixels(int twips, int twipsPerPixel);

} // namespace scribeline::frontend
