// A desktop for the export tests: a scripted random sequence (so colours are fixed text) and
// recorded message boxes. Sleep only moves a counter; everything else is inert.
#pragma once

#include "platform/desktop.hpp"

#include <vector>

namespace scribeline::testing {

class FakeDesktop final : public IDesktop {
public:
    void Sleep(int milliseconds) override { now_ += milliseconds; }
    [[nodiscard]] std::int64_t TickCount() const override { return now_; }

    WindowHandle CreateWindow(const WindowSpec&, IWindowHandler*) override { return kNoWindow; }
    void DestroyWindow(WindowHandle) override {}
    [[nodiscard]] bool IsWindow(WindowHandle) const override { return false; }
    [[nodiscard]] std::optional<Rect> GetWindowRect(WindowHandle) const override { return {}; }
    [[nodiscard]] std::optional<Rect> GetClientRect(WindowHandle) const override { return {}; }
    [[nodiscard]] std::string GetClassName(WindowHandle) const override { return {}; }
    [[nodiscard]] std::string GetWindowText(WindowHandle) const override { return {}; }
    void SetWindowText(WindowHandle, const std::string&) override {}
    [[nodiscard]] WindowHandle GetParent(WindowHandle) const override { return kNoWindow; }
    WindowHandle SetParent(WindowHandle, WindowHandle) override { return kNoWindow; }
    [[nodiscard]] WindowHandle WindowFromPoint(Point) const override { return kNoWindow; }
    [[nodiscard]] std::optional<Point> ClientToScreen(WindowHandle, Point) const override {
        return {};
    }
    [[nodiscard]] std::optional<Point> ScreenToClient(WindowHandle, Point) const override {
        return {};
    }
    [[nodiscard]] WindowHandle FindWindowEx(WindowHandle, WindowHandle,
                                            const std::optional<std::string>&,
                                            const std::optional<std::string>&) const override {
        return kNoWindow;
    }
    [[nodiscard]] WindowHandle FindWindow(const std::optional<std::string>&,
                                          const std::optional<std::string>&) const override {
        return kNoWindow;
    }
    bool SetForegroundWindow(WindowHandle) override { return false; }
    [[nodiscard]] WindowHandle GetForegroundWindow() const override { return kNoWindow; }
    [[nodiscard]] bool IsIconic(WindowHandle) const override { return false; }
    [[nodiscard]] bool IsWindowVisible(WindowHandle) const override { return false; }
    void ShowWindow(WindowHandle, ShowCommand) override {}
    bool SetWindowPos(WindowHandle, int, int, int, int, unsigned) override { return false; }
    void SetWindowRegion(WindowHandle, const WindowRegion&) override {}
    void PostCloseMessage(WindowHandle) override {}
    [[nodiscard]] Size GetScreenSize() const override { return {1920, 1080}; }
    [[nodiscard]] int TwipsPerPixelX() const override { return 15; }
    [[nodiscard]] int TwipsPerPixelY() const override { return 15; }
    [[nodiscard]] WindowHandle GetDesktopWindow() const override { return kNoWindow; }
    HookHandle SetMouseHook(MouseHookProc) override { return 0; }
    HookHandle SetKeyboardHook(KeyboardHookProc) override { return 0; }
    bool Unhook(HookHandle) override { return false; }
    void DrawLine(WindowHandle, Point, Point, const Pen&) override {}
    void FillCircle(WindowHandle, Point, int, Colour, Colour) override {}
    void DrawRectangle(WindowHandle, const Rect&, const Pen&) override {}
    void DrawText(WindowHandle, const std::string&, const Rect&, const Font&, Colour,
                  unsigned) override {}
    [[nodiscard]] Size MeasureText(const std::string&, const Font&) const override { return {}; }
    [[nodiscard]] Point GetCursorPos() const override { return {}; }
    void SetCursorPos(Point) override {}
    void SendMouseInput(MouseMessage) override {}
    void SendKeys(const std::string&) override {}
    // Counted: the recovering routines must never show one.
    int MessageBox(WindowHandle owner, const std::string& text, const std::string& title,
                   unsigned flags) override {
        ++messageBoxes;
        messages.push_back({owner, text, title, flags});
        return idr::Ok;
    }
    void DoEvents() override {}
    [[nodiscard]] float Timer() const override { return 0.0F; }
    [[nodiscard]] DateTime Now() const override { return {}; }
    TimerHandle SetTimer(int, std::function<void()>) override { return 0; }
    void KillTimer(TimerHandle) override {}
    // Cycles through `randoms` (0 when empty).
    double Rnd() override {
        if (randoms.empty()) {
            return 0.0;
        }
        return randoms[nextRandom_++ % randoms.size()];
    }
    void Randomize() override { ++randomizeCalls; }
    [[nodiscard]] std::string GetTempPath() const override { return "/tmp/"; }
    [[nodiscard]] std::string GetModuleFolder() const override { return "/tmp"; }
    [[nodiscard]] std::optional<Bitmap> CaptureWindow(WindowHandle) override { return {}; }
    [[nodiscard]] Bitmap CaptureDesktop() override { return {}; }

    struct Message {
        WindowHandle owner;
        std::string text;
        std::string title;
        unsigned flags;
    };
    int messageBoxes = 0;
    std::vector<Message> messages;
    std::vector<double> randoms;
    int randomizeCalls = 0;

private:
    std::int64_t now_ = 0;
    std::size_t nextRandom_ = 0;
};

} // namespace scribeline::testing
