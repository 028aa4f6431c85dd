// The desktop port over Qt 5 Widgets, in real time. Windows are QWidgets in a registry of
// handles; hooks are fed by one application event filter; timers are QTimers; Sleep really
// sleeps without pumping; capture grabs widgets and the screen.
//
// Needs a QApplication that outlives the desktop, created by the caller on the thread that
// uses the desktop (the GUI thread). Every call must come from that thread.
//
// Callbacks into the core (window handlers, hooks, timers, renderers) never let an exception
// reach the Qt event loop: each is caught and handed to the error reporter.
#pragma once

#include "platform/desktop.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace scribeline::qtdesktop {

// Receives the text of an exception thrown by a callback into the core ("where: what").
using ErrorReporter = std::function<void(const std::string&)>;

// Paints a window's client area. Size is the window's client size in pixels; a bitmap of a
// different size is scaled to fit.
using WindowRenderer = std::function<Bitmap(Size)>;

// A message box as it opens, for whoever answers it in place of a person.
struct MessageBoxShown {
    WindowHandle owner = kNoWindow;
    std::string text;
    std::string title;
    unsigned flags = 0;
};

// How to answer a box: with `result` (idr::...) once it has stood open `keepOpenMs` of real
// time, the event loop running meanwhile (timers may close it first with a close message).
struct MessageBoxAnswer {
    int result = idr::Ok;
    int keepOpenMs = 0;
};
using MessageBoxResponder = std::function<MessageBoxAnswer(const MessageBoxShown&)>;

// A box that was shown and how it was answered.
struct MessageBoxRecord {
    MessageBoxShown box;
    int result = 0;
    bool closedByMessage = false;
};

struct QtDesktopOptions {
    int twipsPerPixel = 15;
    // Empty: the system temporary folder.
    std::filesystem::path tempFolder;
    // Empty: the folder of the executable or shared library this code is linked into.
    std::filesystem::path moduleFolder;
    // Empty: writes "Scribeline: " and the text to standard error.
    ErrorReporter errorReporter;
    // Null: top-level windows are windows of their own. Set (a plugin's host application's
    // main window): they are tool windows owned by it, so they stay above it and go with it.
    // Borrowed; deleting it first deletes those windows, which the desktop then forgets.
    QWidget* toolWindowOwner = nullptr;
};

class QtDesktop final : public IDesktop {
public:
    // Raises PortError when no QApplication exists.
    explicit QtDesktop(QtDesktopOptions options = {});
    // Deletes the windows it created (handlers are not told), leaves foreign widgets alone.
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    // ---- IDesktop ----
    WindowHandle CreateWindow(const WindowSpec& params, IWindowHandler* handler) override;
    void DestroyWindow(WindowHandle window) override;
    [[nodiscard]] bool IsWindow(WindowHandle window) const override;
    [[nodiscard]] std::optional<Rect> GetWindowRect(WindowHandle window) const override;
    [[nodiscard]] std::optional<Rect> GetClientRect(WindowHandle window) const override;
    [[nodiscard]] std::string GetClassName(WindowHandle window) const override;
    [[nodiscard]] std::string GetWindowText(WindowHandle window) const override;
    void SetWindowText(WindowHandle window, const std::string& text) override;
    [[nodiscard]] WindowHandle GetParent(WindowHandle window) const override;
    WindowHandle SetParent(WindowHandle child, WindowHandle newParent) override;
    [[nodiscard]] WindowHandle WindowFromPoint(Point screen) const override;
    [[nodiscard]] std::optional<Point> ClientToScreen(WindowHandle window,
                                                      Point client) const override;
    [[nodiscard]] std::optional<Point> ScreenToClient(WindowHandle window,
                                                      Point screen) const override;
    [[nodiscard]] WindowHandle FindWindowEx(WindowHandle parent, WindowHandle after,
                                            const std::optional<std::string>& className,
                                            const std::optional<std::string>& title) const override;
    [[nodiscard]] WindowHandle FindWindow(const std::optional<std::string>& className,
                                          const std::optional<std::string>& title) const override;
    bool SetForegroundWindow(WindowHandle window) override;
    [[nodiscard]] WindowHandle GetForegroundWindow() const override;
    [[nodiscard]] bool IsIconic(WindowHandle window) const override;
    [[nodiscard]] bool IsWindowVisible(WindowHandle window) const override;
    void ShowWindow(WindowHandle window, ShowCommand command) override;
    bool SetWindowPos(WindowHandle window, int x, int y, int width, int height,
                      unsigned flags) override;
    void SetWindowRegion(WindowHandle window, const WindowRegion& region) override;
    void PostCloseMessage(WindowHandle window) override;
    [[nodiscard]] Size GetScreenSize() const override;
    [[nodiscard]] int TwipsPerPixelX() const override;
    [[nodiscard]] int TwipsPerPixelY() const override;
    [[nodiscard]] WindowHandle GetDesktopWindow() const override;
    HookHandle SetMouseHook(MouseHookProc proc) override;
    HookHandle SetKeyboardHook(KeyboardHookProc proc) override;
    bool Unhook(HookHandle hook) override;
    void DrawLine(WindowHandle window, Point from, Point to, const Pen& pen) override;
    void FillCircle(WindowHandle window, Point centre, int radius, Colour fill,
                    Colour outline) override;
    void DrawRectangle(WindowHandle window, const Rect& rect, const Pen& pen) override;
    void DrawText(WindowHandle window, const std::string& text, const Rect& rect, const Font& font,
                  Colour colour, unsigned flags) override;
    [[nodiscard]] Size MeasureText(const std::string& text, const Font& font) const override;
    [[nodiscard]] Point GetCursorPos() const override;
    void SetCursorPos(Point screen) override;
    void SendMouseInput(MouseMessage message) override;
    void SendKeys(const std::string& keys) override;
    int MessageBox(WindowHandle owner, const std::string& text, const std::string& title,
                   unsigned flags) override;
    void Sleep(int milliseconds) override;
    void DoEvents() override;
    [[nodiscard]] float Timer() const override;
    [[nodiscard]] DateTime Now() const override;
    [[nodiscard]] std::int64_t TickCount() const override;
    TimerHandle SetTimer(int intervalMs, std::function<void()> callback) override;
    void KillTimer(TimerHandle timer) override;
    double Rnd() override;
    void Randomize() override;
    [[nodiscard]] std::string GetTempPath() const override;
    [[nodiscard]] std::string GetModuleFolder() const override;
    [[nodiscard]] std::optional<Bitmap> CaptureWindow(WindowHandle window) override;
    [[nodiscard]] Bitmap CaptureDesktop() override;

    // ---- binding a host application ----

    // Adds a widget the host owns (its main window, map canvas, a dock) to the registry under
    // a new handle. `parent` is the port parent (kNoWindow: a top-level window); the widget
    // stays where the host put it. The desktop never deletes a foreign widget: DestroyWindow
    // only forgets it, and a foreign widget the host deletes leaves the registry by itself.
    // Raises PortError for a null widget or one already registered.
    WindowHandle RegisterForeign(QWidget* widget, const std::string& className,
                                 const std::string& title, WindowHandle parent = {});
    // The widget behind a handle; null for unknown or dead handles and for the desktop.
    [[nodiscard]] QWidget* Widget(WindowHandle window) const;
    // The handle of a registered widget, kNoWindow if it is not registered.
    [[nodiscard]] WindowHandle HandleOf(const QWidget* widget) const;
    // Where drawing on the desktop window goes: an overlay over this window (normally the
    // host's main window). Unset: the foreground window.
    void SetMainWindow(WindowHandle window);

    // ---- drawing support ----

    // The window's owner says its content changed: the drawing on it is gone. A plain repaint
    // of the same picture (an expose, a resize) keeps it.
    void Repaint(WindowHandle window);
    // Lets a window we created paint its client area from a bitmap (the globe's render window).
    void SetRenderer(WindowHandle window, WindowRenderer renderer);
    // Drawing calls kept on a window, for inspection (XOR pairs have already cancelled).
    [[nodiscard]] int OverlayItems(WindowHandle window) const;

    // ---- answering message boxes (scripted sessions, tests) ----

    // With a responder every box is shown and answered as it says, instead of waiting for a
    // person; empty: a person answers. Every box shown while a responder is set is recorded.
    void SetMessageBoxResponder(MessageBoxResponder responder);
    [[nodiscard]] const std::vector<MessageBoxRecord>& MessageBoxes() const;

    // ---- errors ----
    void SetErrorReporter(ErrorReporter reporter);
    // Exceptions caught at callback boundaries so far.
    [[nodiscard]] int ReportedErrors() const;

    [[nodiscard]] int InstalledMouseHooks() const;
    [[nodiscard]] int InstalledKeyboardHooks() const;
    [[nodiscard]] int ActiveTimers() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace scribeline::qtdesktop
