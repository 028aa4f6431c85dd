// Drives Qt widgets the way a person does, for scripted sessions and end-to-end tests of the
// graphical front ends: every press, click, wheel turn and key is a real Qt event (a
// QMouseEvent, QWheelEvent or QKeyEvent sent through QApplication, so application event
// filters and the desktop port's hooks see it) delivered to the widget under the point, and
// waiting pumps the event loop in real time so timers, queued calls and modal loops run.
//
// The static members work on any widget. An object bound to a DigitizerWindow works that
// window's controls by the widgets bound to them: toolbar buttons, option radios, text boxes,
// scroll bars, drop-down lists, images, and its options menu.
//
// Everything runs on the GUI thread; a QApplication must exist.
#pragma once

#include "command/window_controls.hpp"

#include <QPoint>
#include <QString>
#include <Qt>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace scribeline::frontend {

class DigitizerWindow;

// What came of choosing an item of a popup menu.
enum class MenuChoice {
    Chosen,     // the item was clicked
    NoMenu,     // no popup menu opened
    NotEnabled, // the menu opened, but the item is missing, hidden or disabled (menu dismissed)
};

class SessionDriver {
public:
    // ---- any widget ----

    // The deepest visible child of `top` under `at` (top's coordinates), or `top` itself.
    // Null `top`: null.
    [[nodiscard]] static QWidget* WidgetAt(QWidget* top, QPoint at);
    // Mouse events at `at` in `top`'s coordinates, delivered to the widget under the point
    // (which gets its own coordinates; the global position follows the widget's place).
    static void Press(QWidget* top, QPoint at, Qt::MouseButton button = Qt::LeftButton);
    static void Release(QWidget* top, QPoint at, Qt::MouseButton button = Qt::LeftButton);
    // `held`: the buttons down during the move (a drag).
    static void Move(QWidget* top, QPoint at, Qt::MouseButtons held = Qt::NoButton);
    static void Click(QWidget* top, QPoint at, Qt::MouseButton button = Qt::LeftButton);
    // A wheel turn in eighths of a degree (120 a notch; negative towards the user).
    static void Wheel(QWidget* top, QPoint at, int delta);
    // The middle of a widget, in its own coordinates.
    [[nodiscard]] static QPoint Centre(const QWidget* widget);
    // A key press and release sent to `target`. `text` is what the key types (empty for named
    // keys and chords).
    static void Key(QWidget* target, int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                    const QString& text = {});
    // Types each character of `text` as its own key press and release.
    static void Type(QWidget* target, const QString& text);
    // A chord as sessions write it ("Ctrl+F8", "Shift+Alt+X", "Enter"): its Qt key and
    // modifiers; false for a chord it does not know.
    static bool ParseChord(const std::string& chord, int& qtKey, Qt::KeyboardModifiers& modifiers);
    // Lets `duration` of real time pass, pumping the event loop (timers, queued calls, modal
    // loops) all the while.
    static void Wait(std::chrono::milliseconds duration);
    // Pumps until `done` says so or `timeout` passed; what `done` said last.
    static bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Pumps once: what is posted and due now runs.
    static void Pump();
    // Opens nothing: when a popup menu opens within `timeout` (after what the caller does
    // next), clicks the item named `name` (its QAction's object name), opening the submenus
    // on the way; a missing or disabled item dismisses the menu with Escape. The outcome is
    // final once no popup is open any more (NoMenu until one opened).
    [[nodiscard]] static std::shared_ptr<const MenuChoice>
    ChooseFromNextPopup(const std::string& name, std::chrono::milliseconds timeout);

    // ---- the digitizer window's controls ----

    // `window` is borrowed and must outlive the driver.
    explicit SessionDriver(DigitizerWindow& window);

    // Each clicks (or keys) the control's widget; false when the control has no widget on
    // show (the form is not shown, the control is hidden). A disabled widget gets the click
    // too and ignores it, as for a person.
    bool Push(const controls::Control& control);
    bool Toolbar(const std::string& key);
    bool Select(const controls::OptionArray& options, int index);
    // Empties the box with Backspace, then types the text key by key.
    bool TypeInto(const controls::TextBox& box, const std::string& text);
    // Moves the bar with its arrow and page keys until it shows the value.
    bool Scroll(const controls::ScrollBar& bar, int value);
    // Chooses an entry of a drop-down list with its keys (the popup's Enter when the entry is
    // the current one already).
    bool Choose(const controls::ComboBox& list, int index);
    // Right-clicks the form's background at `at` (form pixels) and chooses the item of the
    // options menu that opens.
    MenuChoice ChooseMenuItem(const std::string& name, QPoint at);
    // A key chord pressed in the digitizer window.
    bool KeyChord(int qtKey, Qt::KeyboardModifiers modifiers);
    // The form's window, null while the form is not shown.
    [[nodiscard]] QWidget* FormWidget() const;

private:
    [[nodiscard]] QWidget* shown(const controls::Control& control) const;

    DigitizerWindow& window_;
};

} // namespace scribeline::frontend
