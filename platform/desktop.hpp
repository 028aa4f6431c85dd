// The desktop port: windows, input hooks, drawing, message boxes, time and the few system
// services the digitizer needs. The core talks to the desktop only through IDesktop; the
// headless desktop (hosts/desktop) implements it on a virtual clock, the Qt desktop
// (hosts/qtdesktop) in real time. Both pass the desktop conformance suite
// (tests/conformance), which checks the contracts below.
//
// Threading: everything is called on one thread. Callbacks (hooks, timers, window handlers,
// posted closes) run only from inside pumping calls: DoEvents, MessageBox's modal loop, the
// host's own event loop or advance of time, and the synthetic input calls for the input they
// deliver. Sleep is not a pumping call.
//
// Contracts the core relies on ("send, sleep, look"):
// - Synthetic input (SendMouseInput, SendKeys, and the move of SetCursorPos) aimed at windows
//   of this process is delivered before the call returns: through the hook chain first, then
//   to the target window's handler (or the host's widget). Another process would have handled
//   it by the time the caller's sleep ends; a desktop that queues it until the next pump breaks
//   the core's probes and dialog-assisted capture.
// - Sleep lets time pass and runs nothing: no timer, no hook, no window handler, no posted
//   message. What fell due meanwhile runs at the next pump, a periodic timer once.
#pragma once

#include "platform/types.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scribeline {

// ---- input -------------------------------------------------------------------------------

enum class MouseMessage {
    Move,
    LeftDown,
    LeftUp,
    LeftDoubleClick,
    RightDown,
    RightUp,
    RightDoubleClick,
    MiddleDown,
    MiddleUp,
    Wheel,
};

struct MouseEvent {
    MouseMessage message = MouseMessage::Move;
    Point screen;          // screen pixels
    int wheelDelta = 0;    // multiples of 120 for Wheel, else 0
    bool ready = true;     // the system's "ready to process" mark (HC_ACTION); hooks skip others
    bool injected = false; // synthetic input (SendMouseInput)
};

enum class KeyMessage { KeyDown, KeyUp, SysKeyDown, SysKeyUp };

// Virtual key codes used by the core (same values as the platform's VK_ codes).
namespace vk {
inline constexpr int Back = 0x08;
inline constexpr int Tab = 0x09;
inline constexpr int Return = 0x0D;
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Menu = 0x12; // Alt
inline constexpr int Escape = 0x1B;
inline constexpr int Home = 0x24;
inline constexpr int Up = 0x26;
inline constexpr int Down = 0x28;
inline constexpr int End = 0x23;
inline constexpr int F7 = 0x76;
inline constexpr int F8 = 0x77;
inline constexpr int F9 = 0x78;
} // namespace vk

struct KeyEvent {
    KeyMessage message = KeyMessage::KeyDown;
    int virtualKey = 0;
    char character = 0; // the typed character for a printable key, else 0
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool ready = true;
};

// What a low-level hook does with an event: pass it on down the chain, or discard it so that
// neither later hooks nor the target window see it.
enum class HookResult { Pass, Discard };

using MouseHookProc = std::function<HookResult(const MouseEvent&)>;
using KeyboardHookProc = std::function<HookResult(const KeyEvent&)>;
using HookHandle = std::uint32_t; // 0 = no hook

// ---- windows -----------------------------------------------------------------------------

// Receives what the desktop delivers to a window. Positions are client pixels of the window.
// Default implementations ignore everything.
class IWindowHandler {
public:
    virtual ~IWindowHandler() = default;
    virtual void onMouse(const MouseEvent& /*event*/, Point /*client*/) {}
    virtual void onKey(const KeyEvent& /*event*/) {}
    // A close request (user close or posted close). Return false to refuse it; on true the
    // desktop destroys the window once this returns.
    virtual bool onClose() { return true; }
    // The window is being destroyed (by DestroyWindow, an accepted close or its parent's
    // destruction). Its handle is still valid during the call.
    virtual void onDestroy() {}
    // The window's size changed.
    virtual void onResize(Size /*client*/) {}
};

enum class ShowCommand { Hide, Show, ShowModal, Minimize, Restore };

struct WindowSpec {
    std::string className;
    std::string title;
    WindowHandle parent = kNoWindow; // kNoWindow: a top-level window
    Rect rect;                       // screen pixels for top-level, parent client pixels else
    bool visible = true;
};

// A region a window is cut to: the union of rectangles in window pixels. Empty: no cut.
using WindowRegion = std::vector<Rect>;

// SetWindowPos flags.
namespace swp {
inline constexpr unsigned NoSize = 0x1;
inline constexpr unsigned NoMove = 0x2;
inline constexpr unsigned NoZOrder = 0x4;
} // namespace swp

// ---- drawing -----------------------------------------------------------------------------

enum class RasterOp {
    Copy,  // the pen colour replaces the pixel
    Invert // the pixel is inverted; drawing twice restores it
};

struct Pen {
    Colour colour = 0;
    int width = 1;
    RasterOp op = RasterOp::Copy;
};

struct Font {
    std::string face = "MS Sans Serif";
    double size = 8.25; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    int charset = 0;
};

// DrawText placement flags.
namespace dt {
inline constexpr unsigned Left = 0x0;
inline constexpr unsigned Center = 0x1;
inline constexpr unsigned Right = 0x2;
inline constexpr unsigned VCenter = 0x4;
inline constexpr unsigned SingleLine = 0x20;
} // namespace dt

// A captured picture: 32-bit 0x00RRGGBB pixels, rows top to bottom.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// ---- message boxes -----------------------------------------------------------------------

namespace mb {
inline constexpr unsigned Ok = 0x0;
inline constexpr unsigned OkCancel = 0x1;
inline constexpr unsigned YesNo = 0x4;
inline constexpr unsigned IconCritical = 0x10;
inline constexpr unsigned IconQuestion = 0x20;
inline constexpr unsigned IconExclamation = 0x30;
inline constexpr unsigned IconInformation = 0x40;
inline constexpr unsigned SystemModal = 0x1000;
} // namespace mb

// Message box results.
namespace idr {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace idr

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

using TimerHandle = std::uint32_t; // 0 = no timer

// ---- the port ------------------------------------------------------------------------------

class IDesktop {
public:
    virtual ~IDesktop() = default;

    // Windows. A handle that does not name a live window makes queries return nullopt/false
    // (the platform's failure result) rather than raise.
    // The handler is borrowed: it must outlive the window (DestroyWindow before it dies).
    virtual WindowHandle CreateWindow(const WindowSpec& params, IWindowHandler* handler) = 0;
    virtual void DestroyWindow(WindowHandle window) = 0;
    [[nodiscard]] virtual bool IsWindow(WindowHandle window) const = 0;
    // Screen rectangle of the window.
    [[nodiscard]] virtual std::optional<Rect> GetWindowRect(WindowHandle window) const = 0;
    // Client rectangle: always 0, 0, width, height.
    [[nodiscard]] virtual std::optional<Rect> GetClientRect(WindowHandle window) const = 0;
    [[nodiscard]] virtual std::string GetClassName(WindowHandle window) const = 0;
    [[nodiscard]] virtual std::string GetWindowText(WindowHandle window) const = 0;
    virtual void SetWindowText(WindowHandle window, const std::string& text) = 0;
    [[nodiscard]] virtual WindowHandle GetParent(WindowHandle window) const = 0;
    // Returns the previous parent, kNoWindow on failure. The window keeps its position
    // relative to the new parent's client area as given by its current rect.
    virtual WindowHandle SetParent(WindowHandle child, WindowHandle newParent) = 0;
    // The topmost visible window (deepest child) under a screen point, kNoWindow for none.
    [[nodiscard]] virtual WindowHandle WindowFromPoint(Point screen) const = 0;
    [[nodiscard]] virtual std::optional<Point> ClientToScreen(WindowHandle window,
                                                              Point client) const = 0;
    [[nodiscard]] virtual std::optional<Point> ScreenToClient(WindowHandle window,
                                                              Point screen) const = 0;
    // Direct child (in z-order, after `after`) of `parent` matching class and title; an empty
    // optional matches anything. Returns kNoWindow when none.
    [[nodiscard]] virtual WindowHandle
    FindWindowEx(WindowHandle parent, WindowHandle after,
                 const std::optional<std::string>& className,
                 const std::optional<std::string>& title) const = 0;
    // Top-level window by class and/or title.
    [[nodiscard]] virtual WindowHandle
    FindWindow(const std::optional<std::string>& className,
               const std::optional<std::string>& title) const = 0;
    virtual bool SetForegroundWindow(WindowHandle window) = 0;
    [[nodiscard]] virtual WindowHandle GetForegroundWindow() const = 0;
    [[nodiscard]] virtual bool IsIconic(WindowHandle window) const = 0;
    [[nodiscard]] virtual bool IsWindowVisible(WindowHandle window) const = 0;
    // ShowModal shows the window and returns at once: the digitizer's window must leave the
    // host's command usable while it is up.
    virtual void ShowWindow(WindowHandle window, ShowCommand command) = 0;
    // Position in parent client pixels (screen pixels for top-level windows); flags swp::*.
    virtual bool SetWindowPos(WindowHandle window, int x, int y, int width, int height,
                              unsigned flags) = 0;
    virtual void SetWindowRegion(WindowHandle window, const WindowRegion& region) = 0;
    // Posts a close request; the window's handler sees it at the next pump.
    virtual void PostCloseMessage(WindowHandle window) = 0;

    // Screen.
    [[nodiscard]] virtual Size GetScreenSize() const = 0;
    [[nodiscard]] virtual int TwipsPerPixelX() const = 0;
    [[nodiscard]] virtual int TwipsPerPixelY() const = 0;
    [[nodiscard]] virtual WindowHandle GetDesktopWindow() const = 0;

    // Low-level hooks for the whole desktop. The newest hook sees an event first; hooks see
    // an event before its target window; a Discard stops it there.
    virtual HookHandle SetMouseHook(MouseHookProc proc) = 0;
    virtual HookHandle SetKeyboardHook(KeyboardHookProc proc) = 0;
    // Returns false when the handle names no installed hook.
    virtual bool Unhook(HookHandle hook) = 0;

    // Drawing straight onto a window's client area (pixels), above the window's own content.
    // The drawing stays until the window's owner says its content changed (the globe: its
    // view or documents changed), not through a repaint of the same picture. An Invert drawing
    // made twice leaves the picture as it was. Drawing on the desktop window is in screen
    // pixels.
    virtual void DrawLine(WindowHandle window, Point from, Point to, const Pen& pen) = 0;
    virtual void FillCircle(WindowHandle window, Point centre, int radius, Colour fill,
                            Colour outline) = 0;
    virtual void DrawRectangle(WindowHandle window, const Rect& rect, const Pen& pen) = 0;
    virtual void DrawText(WindowHandle window, const std::string& text, const Rect& rect,
                          const Font& font, Colour colour, unsigned flags) = 0;
    // Extent of the text in the font, pixels.
    [[nodiscard]] virtual Size MeasureText(const std::string& text, const Font& font) const = 0;

    // Cursor and synthetic input. Synthetic input travels the hook chain like real input,
    // marked injected, and has reached its window when the call returns (see the top).
    [[nodiscard]] virtual Point GetCursorPos() const = 0;
    // Moves the cursor (clamped to the screen); a move to a new position is delivered as an
    // injected Move before the call returns.
    virtual void SetCursorPos(Point screen) = 0;
    // At the cursor position. After a button press, moves and the release go to the window
    // that took the press.
    virtual void SendMouseInput(MouseMessage message) = 0;
    // Keystrokes to the foreground window, in the platform's SendKeys notation
    // ("^+P", "{ENTER}", "{HOME}+{END}", "{UP}", plain text), each through the keyboard hooks
    // and delivered before the call returns. Raises std::invalid_argument on a malformed
    // sequence, before sending any key.
    virtual void SendKeys(const std::string& keys) = 0;

    // A modal message box owned by `owner` (may be kNoWindow). While it is open it is a
    // top-level window titled `title`; timers keep running. Returns the idr::* answer.
    virtual int MessageBox(WindowHandle owner, const std::string& text, const std::string& title,
                           unsigned flags) = 0;

    // Time. Sleep blocks the caller for the time given and runs nothing meanwhile (no timer,
    // hook, window handler or posted message; see the top). DoEvents runs what is due now.
    virtual void Sleep(int milliseconds) = 0;
    virtual void DoEvents() = 0;
    // Seconds since midnight at single precision, as the platform's Timer function gives it.
    [[nodiscard]] virtual float Timer() const = 0;
    [[nodiscard]] virtual DateTime Now() const = 0;
    // Milliseconds since the desktop started; for durations.
    [[nodiscard]] virtual std::int64_t TickCount() const = 0;

    // Periodic timers: `callback` runs every `intervalMs` from a pump; an overdue timer fires
    // once, not once per missed period.
    virtual TimerHandle SetTimer(int intervalMs, std::function<void()> callback) = 0;
    virtual void KillTimer(TimerHandle timer) = 0;

    // Uniform random number in [0, 1); Randomize reseeds from the clock.
    virtual double Rnd() = 0;
    virtual void Randomize() = 0;

    // The user's temporary folder in long form, ending with a separator.
    [[nodiscard]] virtual std::string GetTempPath() const = 0;
    // The folder holding the extension's own library file, without a final separator.
    [[nodiscard]] virtual std::string GetModuleFolder() const = 0;

    // Screen capture of a window's whole rectangle, or of the desktop.
    [[nodiscard]] virtual std::optional<Bitmap> CaptureWindow(WindowHandle window) = 0;
    [[nodiscard]] virtual Bitmap CaptureDesktop() = 0;
};

} // namespace scribeline
