// Desktop doubles that break one promise of the desktop port each, so that the conformance
// suite can show it catches them. Both wrap a headless desktop and forward everything else.
#pragma once

#include "hosts/desktop/headless_desktop.hpp"

#include <deque>
#include <string>
#include <utility>
#include <variant>

namespace scribeline::doubles {

// Forwards every operation to a headless desktop it owns.
class ForwardingDesktop : public IDesktop {
public:
    explicit ForwardingDesktop(desktop::DesktopOptions options = {}) : base_(std::move(options)) {}
    [[nodiscard]] desktop::HeadlessDesktop& Base() { return base_; }

    WindowHandle CreateWindow(const WindowSpec& p, IWindowHandler* h) override {
        return base_.CreateWindow(p, h);
    }
    void DestroyWindow(WindowHandle w) override { base_.DestroyWindow(w); }
    [[nodiscard]] bool IsWindow(WindowHandle w) const override { return base_.IsWindow(w); }
    [[nodiscard]] std::optional<Rect> GetWindowRect(WindowHandle w) const override {
        return base_.GetWindowRect(w);
    }
    [[nodiscard]] std::optional<Rect> GetClientRect(WindowHandle w) const override {
        return base_.GetClientRect(w);
    }
    [[nodiscard]] std::string GetClassName(WindowHandle w) const override {
        return base_.GetClassName(w);
    }
    [[nodiscard]] std::string GetWindowText(WindowHandle w) const override {
        return base_.GetWindowText(w);
    }
    void SetWindowText(WindowHandle w, const std::string& t) override { base_.SetWindowText(w, t); }
    [[nodiscard]] WindowHandle GetParent(WindowHandle w) const override {
        return base_.GetParent(w);
    }
    WindowHandle SetParent(WindowHandle c, WindowHandle p) override {
        return base_.SetParent(c, p);
    }
    [[nodiscard]] WindowHandle WindowFromPoint(Point s) const override {
        return base_.WindowFromPoint(s);
    }
    [[nodiscard]] std::optional<Point> ClientToScreen(WindowHandle w, Point c) const override {
        return base_.ClientToScreen(w, c);
    }
    [[nodiscard]] std::optional<Point> ScreenToClient(WindowHandle w, Point s) const override {
        return base_.ScreenToClient(w, s);
    }
    [[nodiscard]] WindowHandle FindWindowEx(WindowHandle p, WindowHandle a,
                                            const std::optional<std::string>& c,
                                            const std::optional<std::string>& t) const override {
        return base_.FindWindowEx(p, a, c, t);
    }
    [[nodiscard]] WindowHandle FindWindow(const std::optional<std::string>& c,
                                          const std::optional<std::string>& t) const override {
        return base_.FindWindow(c, t);
    }
    bool SetForegroundWindow(WindowHandle w) override { return base_.SetForegroundWindow(w); }
    [[nodiscard]] WindowHandle GetForegroundWindow() const override {
        return base_.GetForegroundWindow();
    }
    [[nodiscard]] bool IsIconic(WindowHandle w) const override { return base_.IsIconic(w); }
    [[nodiscard]] bool IsWindowVisible(WindowHandle w) const override {
        return base_.IsWindowVisible(w);
    }
    void ShowWindow(WindowHandle w, ShowCommand c) override { base_.ShowWindow(w, c); }
    bool SetWindowPos(WindowHandle w, int x, int y, int cx, int cy, unsigned f) override {
        return base_.SetWindowPos(w, x, y, cx, cy, f);
    }
    void SetWindowRegion(WindowHandle w, const WindowRegion& r) override {
        base_.SetWindowRegion(w, r);
    }
    void PostCloseMessage(WindowHandle w) override { base_.PostCloseMessage(w); }
    [[nodiscard]] Size GetScreenSize() const override { return base_.GetScreenSize(); }
    [[nodiscard]] int TwipsPerPixelX() const override { return base_.TwipsPerPixelX(); }
    [[nodiscard]] int TwipsPerPixelY() const override { return base_.TwipsPerPixelY(); }
    [[nodiscard]] WindowHandle GetDesktopWindow() const override {
        return base_.GetDesktopWindow();
    }
    HookHandle SetMouseHook(MouseHookProc p) override { return base_.SetMouseHook(std::move(p)); }
    HookHandle SetKeyboardHook(KeyboardHookProc p) override {
        return base_.SetKeyboardHook(std::move(p));
    }
    bool Unhook(HookHandle h) override { return base_.Unhook(h); }
    void DrawLine(WindowHandle w, Point a, Point b, const Pen& p) override {
        base_.DrawLine(w, a, b, p);
    }
    void FillCircle(WindowHandle w, Point c, int r, Colour f, Colour o) override {
        base_.FillCircle(w, c, r, f, o);
    }
    void DrawRectangle(WindowHandle w, const Rect& r, const Pen& p) override {
        base_.DrawRectangle(w, r, p);
    }
    void DrawText(WindowHandle w, const std::string& t, const Rect& r, const Font& f, Colour c,
                  unsigned fl) override {
        base_.DrawText(w, t, r, f, c, fl);
    }
    [[nodiscard]] Size MeasureText(const std::string& t, const Font& f) const override {
        return base_.MeasureText(t, f);
    }
    [[nodiscard]] Point GetCursorPos() const override { return base_.GetCursorPos(); }
    void SetCursorPos(Point s) override { base_.SetCursorPos(s); }
    void SendMouseInput(MouseMessage m) override { base_.SendMouseInput(m); }
    void SendKeys(const std::string& k) override { base_.SendKeys(k); }
    int MessageBox(WindowHandle o, const std::string& t, const std::string& ti,
                   unsigned f) override {
        return base_.MessageBox(o, t, ti, f);
    }
    void Sleep(int ms) override { base_.Sleep(ms); }
    void DoEvents() override { base_.DoEvents(); }
    [[nodiscard]] float Timer() const override { return base_.Timer(); }
    [[nodiscard]] DateTime Now() const override { return base_.Now(); }
    [[nodiscard]] std::int64_t TickCount() const override { return base_.TickCount(); }
    TimerHandle SetTimer(int ms, std::function<void()> cb) override {
        return base_.SetTimer(ms, std::move(cb));
    }
    void KillTimer(TimerHandle t) override { base_.KillTimer(t); }
    double Rnd() override { return base_.Rnd(); }
    void Randomize() override { base_.Randomize(); }
    [[nodiscard]] std::string GetTempPath() const override { return base_.GetTempPath(); }
    [[nodiscard]] std::string GetModuleFolder() const override { return base_.GetModuleFolder(); }
    [[nodiscard]] std::optional<Bitmap> CaptureWindow(WindowHandle w) override {
        return base_.CaptureWindow(w);
    }
    [[nodiscard]] Bitmap CaptureDesktop() override { return base_.CaptureDesktop(); }

protected:
    desktop::HeadlessDesktop base_;
};

// Synthetic input is queued and delivered at the next pump, as a desktop whose input goes
// through an asynchronous event queue would do it.
class QueuedInputDesktop final : public ForwardingDesktop {
public:
    using ForwardingDesktop::ForwardingDesktop;
    void SendMouseInput(MouseMessage m) override { queue_.emplace_back(m); }
    void SendKeys(const std::string& k) override { queue_.emplace_back(k); }
    void DoEvents() override {
        while (!queue_.empty()) {
            const auto input = queue_.front();
            queue_.pop_front();
            if (const auto* mouse = std::get_if<MouseMessage>(&input)) {
                base_.SendMouseInput(*mouse);
            } else {
                base_.SendKeys(std::get<std::string>(input));
            }
        }
        base_.DoEvents();
    }

private:
    std::deque<std::variant<MouseMessage, std::string>> queue_;
};

// Sleep pumps: timers and posted messages run while the caller sleeps.
class PumpingSleepDesktop final : public ForwardingDesktop {
public:
    using ForwardingDesktop::ForwardingDesktop;
    void Sleep(int ms) override { base_.AdvanceTime(ms); }
};

} // namespace scribeline::doubles
