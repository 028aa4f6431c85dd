// A small model of window controls: the state a front end shows (enabled, visible, caption,
// text, value, pressed, image key, position and size) and the events it raises. The core
// changes the state and reacts to events; a front end (the headless desktop now, a graphical
// one later) binds to it and tests inspect it directly.
//
// Units: positions and sizes are twips in the form's client area, whatever container a control
// sits in. Picture boxes are also real desktop windows (created through IDesktop) so they can be
// reparented into another application's window; their window follows in pixels.
//
// State and change notification: every piece of state a front end shows is private behind a
// setter. A setter that really changes the state raises one change notification for the control
// through the ChangeSignal the control is attached to (the owning window's, see
// Controls::OnChanged); setting a value the control already has raises nothing. A control with
// no signal attached (a stand-alone control in a test) changes silently. The notification runs
// synchronously, after the state has changed and before the control's own event slot (Change,
// Click) runs, so a handler always sees the new state.
//
// Binding a front end: the digitizer window's controls are one model, Controls
// (window_controls.hpp). Controls::ForEach visits every control once in layout order (an
// option group or image array as its single members, a toolbar as one control whose Buttons()
// are read again on each of its notifications); Controls::OnChanged returns a Subscription
// that unsubscribes when destroyed. Ownership: the window owns its controls for its whole
// life and never replaces them, so a binder may keep references; a Subscription may outlive
// the model (it is then inert). Null rules: a control's signal and gate may be null (nothing
// is raised, user events run ungated); handlers given to Subscribe, OnChanged and ForEach may
// not be empty (std::invalid_argument). A front end sends what a user does through the
// User... members (UserClick, UserType, UserSetValue, OptionArray::UserSelect through
// OptionButton::Group()), never through the setters.
//
// Events: a control's event slot (Click, Change, ...) runs when the state changes in code, as on
// the platform the forms come from (setting a scroll bar's value raises its Change). Changes a
// user makes go through the User... members, which deliver the event through the form's
// IEventGate: that is where a failure that ends the user's action is caught and reported.
#pragma once

#include "platform/desktop.hpp"
#include "platform/signal.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace scribeline::controls {

// Twips position and size of a control.
struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    [[nodiscard]] bool contains(int x, int y) const {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
    friend bool operator==(const Bounds&, const Bounds&) = default;
};

class Control;

// An RAII handle of one subscription: destroying or resetting it unsubscribes. It may outlive
// the signal it came from (resetting it is then a no-op). Move-only.
using Subscription = Connection;

// Delivers "this control changed" to its subscribers, in the order they subscribed. A handler
// may subscribe or unsubscribe others (and itself) while a notification runs: a handler added
// then first hears the next notification, a handler removed then is not called any more.
using ChangeSignal = Signal<const Control&>;

// Where the events of a user's action are delivered. `what` names the action for the report of
// a failure ("Get DEM points from Google Earth").
class IEventGate {
public:
    virtual ~IEventGate() = default;
    virtual void Deliver(const std::string& what, const std::function<void()>& event) = 0;
    // The control that now has the focus (borrowed; null for none).
    virtual void FocusChanged(const class Control* control) = 0;
};

class Control {
public:
    // index: position in a control array, -1 for a single control.
    explicit Control(std::string name, int index = -1) : name_(std::move(name)), index_(index) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] int Index() const { return index_; }
    [[nodiscard]] bool Enabled() const { return enabled_; }
    [[nodiscard]] bool Visible() const { return visible_; }
    [[nodiscard]] const Bounds& GetBounds() const { return bounds_; }
    [[nodiscard]] int Left() const { return bounds_.left; }
    [[nodiscard]] int Top() const { return bounds_.top; }
    [[nodiscard]] int Width() const { return bounds_.width; }
    [[nodiscard]] int Height() const { return bounds_.height; }

    virtual void SetEnabled(bool enabled);
    virtual void SetVisible(bool visible);
    // Twips. Moving and resizing each raise one notification when the bounds change.
    virtual void Move(int left, int top);
    virtual void Resize(int width, int height);
    void SetBounds(const Bounds& bounds) {
        Move(bounds.left, bounds.top);
        Resize(bounds.width, bounds.height);
    }

    // The signal is borrowed (the owning window's) and must outlive the control, or be detached
    // with null first; null: changes raise nothing.
    void AttachSignal(const ChangeSignal* signal) { signal_ = signal; }
    [[nodiscard]] const ChangeSignal* Signal() const { return signal_; }
    void SetFocus();

    // The gate is borrowed (the owning form); null: user events run ungated.
    void AttachGate(IEventGate* gate) { gate_ = gate; }
    // Runs a user's event through the gate.
    void DeliverUserEvent(const std::string& what, const std::function<void()>& event);

    // Raised by the owning form when the focus moves onto or away from this control.
    std::function<void()> GotFocus;
    std::function<void()> LostFocus;

protected:
    // Disabled or hidden controls take no user input.
    [[nodiscard]] bool takesInput() const { return enabled_ && visible_; }
    // Raises the change notification of this control (call it once per effective change).
    void notifyChanged() const {
        if (signal_ != nullptr) {
            signal_->Raise(*this);
        }
    }
    // Assigns and notifies when the value differs; returns whether it did.
    template <typename T, typename U> bool assign(T& field, U&& value) {
        if (field == value) {
            return false;
        }
        field = std::forward<U>(value);
        notifyChanged();
        return true;
    }

private:
    std::string name_;
    int index_;
    bool enabled_ = true;
    bool visible_ = true;
    Bounds bounds_;
    IEventGate* gate_ = nullptr;
    const ChangeSignal* signal_ = nullptr;
};

// A control with a caption (labels, frames, buttons, option buttons).
class CaptionedControl : public Control {
public:
    using Control::Control;
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption) { assign(caption_, caption); }

private:
    std::string caption_;
};

class Label : public CaptionedControl {
public:
    using CaptionedControl::CaptionedControl;
};

class Frame : public CaptionedControl {
public:
    using CaptionedControl::CaptionedControl;
    // The pointer moves over the frame (not over a control inside it).
    std::function<void()> MouseMove;
    void UserMouseMove();
};

class Button : public CaptionedControl {
public:
    using CaptionedControl::CaptionedControl;
    std::function<void()> Click;
    void UserClick();
};

// One option button; options of one array exclude each other.
class OptionArray;

class OptionButton : public CaptionedControl {
public:
    using CaptionedControl::CaptionedControl;
    [[nodiscard]] bool Value() const { return value_; }
    // The array this option belongs to (a front end sends a user's choice through it:
    // Group().UserSelect(Index())). Never null for an option made by an OptionArray.
    [[nodiscard]] OptionArray* Group() const { return group_; }

private:
    friend class OptionArray;
    bool value_ = false;
    OptionArray* group_ = nullptr;
};

// A control array of option buttons, indexed from 0.
class OptionArray {
public:
    OptionArray(std::string name, const std::vector<std::string>& captions);
    // The options point back at their array: it stays where it is made.
    OptionArray(const OptionArray&) = delete;
    OptionArray& operator=(const OptionArray&) = delete;
    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] int Count() const { return static_cast<int>(options_.size()); }
    // Raises std::out_of_range for an index outside the array.
    [[nodiscard]] OptionButton& operator[](int index);
    [[nodiscard]] const OptionButton& operator[](int index) const;
    // The selected index, -1 when none is selected.
    [[nodiscard]] int Selected() const;
    // Selects one option (the others lose their value; each option whose value changes raises
    // a notification) and raises Click(index).
    void Select(int index);
    // A user's click on an enabled, visible option.
    void UserSelect(int index);
    void AttachGate(IEventGate* gate);
    void AttachSignal(const ChangeSignal* signal);
    std::function<void(int)> Click;

private:
    std::string name_;
    std::vector<std::unique_ptr<OptionButton>> options_;
};

class TextBox : public Control {
public:
    using Control::Control;
    [[nodiscard]] const std::string& Text() const { return text_; }
    // Raises Change when the text differs. The selection is kept inside the new text.
    void SetText(const std::string& text);
    // Typing by a user: each character goes through KeyPress (which returns the character to
    // type, or 0 to drop it; 8 is Backspace), then into the text; Enter and Esc never become
    // text of these single-line boxes. A typed character replaces
    // the selected text, Backspace deletes it; without a selection characters go to the end.
    void UserType(const std::string& characters);
    // A key pressed and released by a user (a virtual key, shift as the form's mask): KeyDown,
    // then for Enter, Esc and Backspace their character through KeyPress, then KeyUp.
    void UserKey(int keyCode, int shift = 0);
    std::function<void()> Change;
    std::function<int(int)> KeyPress;
    std::function<void(int keyCode, int shift)> KeyDown;
    std::function<void(int keyCode, int shift)> KeyUp;

    // The selection: characters from SelStart (0-based), SelLength long.
    [[nodiscard]] int SelStart() const { return selStart_; }
    [[nodiscard]] int SelLength() const { return selLength_; }
    [[nodiscard]] std::string SelText() const;
    // Clamped into the text.
    void SetSelection(int start, int length);
    void SelectAll() { SetSelection(0, static_cast<int>(text_.size())); }

    [[nodiscard]] Colour BackColor() const { return backColor_; }
    [[nodiscard]] Colour ForeColor() const { return foreColor_; }
    void SetBackColor(Colour colour) { assign(backColor_, colour); }
    void SetForeColor(Colour colour) { assign(foreColor_, colour); }

private:
    void typeOne(int key);
    // Clamps into the text without notifying.
    void clampSelection(int start, int length);
    std::string text_;
    int selStart_ = 0;
    int selLength_ = 0;
    Colour backColor_ = rgb(255, 255, 255);
    Colour foreColor_ = rgb(0, 0, 0);
};

class ScrollBar : public Control {
public:
    using Control::Control;
    [[nodiscard]] int Value() const { return value_; }
    [[nodiscard]] int Min() const { return min_; }
    [[nodiscard]] int Max() const { return max_; }
    [[nodiscard]] int SmallChange() const { return small_; }
    [[nodiscard]] int LargeChange() const { return large_; }
    // Sets the range without raising Change; the value is brought into it.
    void SetRange(int minimum, int maximum, int smallChange, int largeChange);
    // A value outside Min..Max is refused with std::out_of_range ("Invalid property value").
    // Raises Change when the value differs.
    void SetValue(int value);
    // Sets the value without raising Change (the value a form is designed with).
    void SetInitialValue(int value);
    void UserSetValue(int value);
    std::function<void()> Change;

private:
    int value_ = 0;
    int min_ = 0;
    int max_ = 32767;
    int small_ = 1;
    int large_ = 1;
};

class ComboBox : public Control {
public:
    using Control::Control;
    [[nodiscard]] const std::vector<std::string>& Items() const { return items_; }
    [[nodiscard]] const std::string& Text() const { return text_; }
    [[nodiscard]] int ListIndex() const { return listIndex_; }
    void Clear();
    void AddItem(const std::string& item);
    void SetText(const std::string& text) { assign(text_, text); }
    // A user's choice of entry `index` (the text follows); raises Click.
    void UserChoose(int index);
    std::function<void()> Click;

private:
    std::vector<std::string> items_;
    std::string text_;
    int listIndex_ = -1;
};

// An image control: a picture by key, a flat or raised appearance, mouse events.
class Image : public Control {
public:
    using Control::Control;
    [[nodiscard]] const std::string& PictureKey() const { return pictureKey_; }
    void SetPictureKey(const std::string& key) { assign(pictureKey_, key); }
    // The three-dimensional appearance.
    [[nodiscard]] bool Raised() const { return raised_; }
    void SetRaised(bool raised) { assign(raised_, raised); }
    std::function<void()> Click;
    std::function<void()> MouseDown;
    std::function<void()> MouseUp;
    std::function<void()> MouseMove;
    void UserClick();
    void UserMouseDown();
    void UserMouseUp();
    void UserMouseMove();

private:
    std::string pictureKey_;
    bool raised_ = false;
};

// A report-style list view: column headers and rows of an item text with sub-items. Positions
// of mouse events are twips relative to the list's own top left; rows sit under a header of
// kHeaderHeight, kRowHeight each. Column header indices count from 1 (the item text).
class ListView : public Control {
public:
    static constexpr int kHeaderHeight = 300;
    static constexpr int kRowHeight = 255;

    struct ColumnHeader {
        std::string key;
        std::string caption;
        int width = 0; // twips
        int alignment = 0;
        int left = 0; // twips from the list's left, following the widths before it
    };
    struct ListItem {
        std::string text;
        std::vector<std::string> subItems; // one per column after the first
        bool tag = false;
    };

    using Control::Control;
    // Returns the new header's index (1 for the first).
    int AddColumnHeader(const std::string& key, const std::string& caption, int width,
                        int alignment);
    [[nodiscard]] int ColumnCount() const { return static_cast<int>(headers_.size()); }
    // Raises std::out_of_range for an index outside 1..ColumnCount().
    [[nodiscard]] const ColumnHeader& Header(int index) const;
    void SetColumnWidth(int index, int width);

    // Returns the new row's index (0-based). Sub-items beyond the columns are dropped.
    int AddItem(ListItem item);
    // Raises std::out_of_range for a row outside 0..ItemCount()-1.
    void RemoveItem(int index);
    void ClearItems();
    // Column headers and rows go.
    void Clear();
    [[nodiscard]] int ItemCount() const { return static_cast<int>(items_.size()); }
    [[nodiscard]] const ListItem& Item(int index) const;
    // The text of a cell: column 1 the item text, higher columns its sub-items ("" if none).
    [[nodiscard]] std::string CellText(int row, int column) const;
    void SetCellText(int row, int column, const std::string& text);
    // The selected row, -1 for none; setting clamps into the rows.
    [[nodiscard]] int SelectedIndex() const { return selected_; }
    void SetSelectedIndex(int index);
    // The row at a vertical position, -1 when none is there.
    [[nodiscard]] int RowAt(int y) const;
    [[nodiscard]] int RowTop(int row) const { return kHeaderHeight + row * kRowHeight; }

    // Keys sent to the list: Up and Down move the selection one row, staying inside the rows.
    void SendKey(int keyCode);

    // A user's press and click at a position: MouseDown, the row there becomes selected, Click.
    void UserClickAt(int x, int y);
    // The same, a little inside cell (row, column header index); nothing for a cell outside
    // the rows or columns.
    void UserClickCell(int row, int column);
    // The user scrolls the list.
    void UserScroll();
    std::function<void(int x, int y)> MouseDown;
    std::function<void()> Click;
    std::function<void()> Scroll;

private:
    void layoutHeaders();
    std::vector<ColumnHeader> headers_;
    std::vector<ListItem> items_;
    int selected_ = -1;
};

// A control array of images, indexed from 0.
class ImageArray {
public:
    ImageArray(std::string name, int count);
    [[nodiscard]] int Count() const { return static_cast<int>(images_.size()); }
    [[nodiscard]] Image& operator[](int index);
    [[nodiscard]] const Image& operator[](int index) const;
    void AttachGate(IEventGate* gate);
    void AttachSignal(const ChangeSignal* signal);
    std::function<void(int)> Click;
    std::function<void(int)> MouseDown;
    std::function<void(int)> MouseUp;

private:
    std::vector<std::unique_ptr<Image>> images_;
};

// A picture box backed by a real desktop window.
class PictureBox : public Control, private IWindowHandler {
public:
    using Control::Control;
    ~PictureBox() override;

    // Creates the window as a child of `parent` (hidden windows stay hidden). The desktop is
    // borrowed and must outlive the picture; a created window is destroyed with the picture.
    void Create(IDesktop& desktop, WindowHandle parent);
    void Destroy();
    [[nodiscard]] WindowHandle hWnd() const { return window_; }

    void SetVisible(bool visible) override;
    void Move(int left, int top) override;
    void Resize(int width, int height) override;
    // Takes the window's current place in its (new) parent, in twips.
    void SyncFromWindow();

    [[nodiscard]] const std::string& PictureKey() const { return pictureKey_; }
    void SetPictureKey(const std::string& key) { assign(pictureKey_, key); }
    [[nodiscard]] bool FillSolid() const { return fillSolid_; }
    void SetFillSolid(bool fill) { assign(fillSolid_, fill); }
    // A picture put into the box (a screen shot); null for none. Shared, read-only; a
    // different bitmap object counts as a change.
    [[nodiscard]] const std::shared_ptr<const Bitmap>& Picture() const { return picture_; }
    void SetPicture(std::shared_ptr<const Bitmap> picture) { assign(picture_, std::move(picture)); }

    // Mouse events in client pixels of the window.
    std::function<void(MouseMessage, Point client, Point screen)> Mouse;

private:
    void onMouse(const MouseEvent& event, Point client) override;
    void place();

    IDesktop* desktop_ = nullptr;
    WindowHandle window_ = kNoWindow;
    std::string pictureKey_;
    bool fillSolid_ = false;
    std::shared_ptr<const Bitmap> picture_;
};

enum class ButtonStyle { Default = 0, Check = 1, Separator = 3 };

struct ToolbarButton {
    std::string key;
    std::string imageKey;
    std::string tooltip;
    std::string description;
    ButtonStyle style = ButtonStyle::Default;
    bool enabled = true;
    bool visible = true;
    int value = 0; // 1 pressed, 0 released
    friend bool operator==(const ToolbarButton&, const ToolbarButton&) = default;
};

// A toolbar is one control: a change of any of its buttons raises one notification for the
// toolbar (the binder reads Buttons() again).
class Toolbar : public Control {
public:
    using Control::Control;
    void Clear();
    void Add(ToolbarButton button);
    [[nodiscard]] const std::vector<ToolbarButton>& Buttons() const { return buttons_; }
    // Raises std::out_of_range for an unknown key (also in every setter below).
    [[nodiscard]] const ToolbarButton& Button(const std::string& key) const;
    [[nodiscard]] bool HasButton(const std::string& key) const;
    // Enabling or disabling a button also releases it.
    void SetButtonEnabled(const std::string& key, bool enabled);
    // 1 pressed, 0 released.
    void SetButtonValue(const std::string& key, int value);
    void SetButtonImage(const std::string& key, const std::string& imageKey);
    void SetButtonVisible(const std::string& key, bool visible);
    void SetButtonTooltip(const std::string& key, const std::string& tooltip);
    // A user's click: only an enabled, visible, non-separator button of an enabled toolbar
    // raises ButtonClick.
    void UserClick(const std::string& key);
    std::function<void(const std::string& key)> ButtonClick;

private:
    ToolbarButton& button(const std::string& key);
    std::vector<ToolbarButton> buttons_;
};

// A timer bound to the desktop's timers: enabled with a non-zero interval it ticks.
class Timer : public Control {
public:
    // A timer starts disabled.
    explicit Timer(std::string name) : Control(std::move(name)) { Control::SetEnabled(false); }
    ~Timer() override;
    // The desktop is borrowed and must outlive the timer.
    void Bind(IDesktop& desktop) { desktop_ = &desktop; }
    [[nodiscard]] int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    void SetEnabled(bool enabled) override;
    [[nodiscard]] bool Running() const { return handle_ != 0; }
    // Runs on each tick, from the desktop's pump.
    std::function<void()> Tick;

private:
    void restart();
    IDesktop* desktop_ = nullptr;
    int interval_ = 0;
    TimerHandle handle_ = 0;
};

// Controls bound as one model (a window's, a dialog's): the one change notification they all
// raise, and the visit in layout order that the derived set defines. The derived set attaches
// its controls from its constructor (AttachAll) and detaches them from its destructor
// (DetachAll); the notification, a member of this base, outlives every control.
class ControlSet {
public:
    virtual ~ControlSet() = default;
    ControlSet(const ControlSet&) = delete;
    ControlSet& operator=(const ControlSet&) = delete;

    // Visits every control once, in layout order. An empty visitor: std::invalid_argument.
    virtual void ForEach(const std::function<void(Control&)>& visit) = 0;
    // Subscribes to the change notification of every control; unsubscribes when the returned
    // handle goes. An empty handler: std::invalid_argument.
    [[nodiscard]] Subscription OnChanged(std::function<void(const Control&)> handler) {
        return changed_.Subscribe(std::move(handler));
    }

protected:
    ControlSet() = default;
    void AttachAll() {
        ForEach([this](Control& control) { control.AttachSignal(&changed_); });
    }
    // Controls that change after this (timers killing their desktop timers) raise nothing.
    void DetachAll() {
        ForEach([](Control& control) { control.AttachSignal(nullptr); });
    }

private:
    ChangeSignal changed_;
};

} // namespace scribeline::controls
