// The headless desktop: a real, deterministic implementation of the desktop port with a
// virtual clock. Windows are rectangles in a tree with z-order; input is injected by tests and
// the session runner and travels the hook chain before it reaches its window; message boxes
// are top-level windows while open; drawing calls are recorded per window.
//
// Time never passes by itself: AdvanceTime moves the clock and runs due timers and posted
// messages in time order; Sleep moves the clock and runs nothing; DoEvents runs what is due
// now. A periodic timer that fell behind fires once and is rescheduled from the current time.
//
// This class is the face; the work is done by its parts: the windows (headless_windows.hpp,
// over the window tree), the scheduler (scheduler.hpp), the input router (input_router.hpp)
// and the raster captures are painted with (raster.hpp).
#pragma once

#include "hosts/desktop/draw_call.hpp"
#include "platform/desktop.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace scribeline::desktop {

struct DesktopOptions {
    Size screen{1920, 1080};
    int twipsPerPixel = 15;
    // Empty: a fresh folder under the system temp directory, unique to this instance and
    // removed with it.
    std::filesystem::path tempFolder;
    // Empty: the temp folder.
    std::filesystem::path moduleFolder;
    std::uint32_t randomSeed = 1;
    // Wall-clock time at the start of the virtual clock.
    DateTime start{2026, 1, 1, 9, 0, 0};
};

struct MessageBoxRecord {
    WindowHandle owner = kNoWindow;
    std::string text;
    std::string title;
    unsigned flags = 0;
    int result = 0;
    std::int64_t openedAtMs = 0;
    std::int64_t closedAtMs = 0;
    bool closedByMessage = false; // closed by a posted close message (e.g. a timer)
};

// How a message box is answered: with `result` after it has stayed open `keepOpenMs`
// of virtual time (timers run meanwhile and may close it first with a close message).
struct MessageBoxAnswer {
    int result = idr::Ok;
    int keepOpenMs = 0;
};
using MessageBoxResponder = std::function<MessageBoxAnswer(const MessageBoxRecord&)>;

class HeadlessDesktop final : public IDesktop {
public:
    explicit HeadlessDesktop(DesktopOptions options = {});
    ~HeadlessDesktop() override;
    HeadlessDesktop(const HeadlessDesktop&) = delete;
    HeadlessDesktop& operator=(const HeadlessDesktop&) = delete;

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

    // ---- driving it (tests, session runner, the other hosts) ----

    // Moves the clock forward, running timers and posted messages at their due times.
    void AdvanceTime(int milliseconds);
    // A mouse event at a screen position: moves the cursor, runs the hook chain, then (unless
    // discarded) delivers it to the window under the point.
    void InjectMouse(MouseMessage message, Point screen, int wheelDelta = 0, bool ready = true);
    // A key event: hook chain first, then the foreground window.
    void InjectKey(const KeyEvent& event);
    // Types a text / key sequence as SendKeys does (hooks, then the foreground window).
    void TypeKeys(const std::string& keys) { SendKeys(keys); }
    // The user closes a window (its close box): the handler may refuse.
    void RequestClose(WindowHandle window);

    void SetMessageBoxResponder(MessageBoxResponder responder);
    [[nodiscard]] const std::vector<MessageBoxRecord>& MessageBoxes() const;
    void ClearMessageBoxes();

    // Drawing calls made on a window since it last repainted.
    [[nodiscard]] const std::vector<DrawCall>& DrawCalls(WindowHandle window) const;
    // The window repaints itself: its recorded drawing is gone.
    void Repaint(WindowHandle window);
    void SetRenderer(WindowHandle window, WindowRenderer renderer);

    // Every SendKeys text in order.
    [[nodiscard]] const std::vector<std::string>& SentKeys() const;
    [[nodiscard]] int InstalledMouseHooks() const;
    [[nodiscard]] int InstalledKeyboardHooks() const;
    [[nodiscard]] std::vector<WindowHandle> Children(WindowHandle parent) const;
    [[nodiscard]] std::vector<WindowHandle> TopLevelWindows() const;
    [[nodiscard]] WindowRegion GetWindowRegion(WindowHandle window) const;
    [[nodiscard]] int ActiveTimers() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace scribeline::desktop
