// The headless desktop's input: the cursor, the low-level hook chains and the delivery of
// mouse and key events to their windows. Every event runs the hook chain (newest hook first,
// a Discard stops it) and then reaches its window before the call returns, synthetic input
// included, which is what the core's "send, sleep, look" relies on.
#pragma once

#include "hosts/desktop/headless_windows.hpp"
#include "platform/desktop.hpp"
#include "platform/hook_chain.hpp"

#include <string>
#include <vector>

namespace scribeline::desktop {

class InputRouter {
public:
    // `windows` is borrowed and must outlive the router.
    InputRouter(HeadlessWindows& windows, Size screen) : windows_(windows), screen_(screen) {}

    HookHandle SetMouseHook(MouseHookProc proc);
    HookHandle SetKeyboardHook(KeyboardHookProc proc);
    // False when the handle names no installed hook of either kind.
    bool Unhook(HookHandle hook);
    [[nodiscard]] int InstalledMouseHooks() const { return static_cast<int>(mouseHooks_.Size()); }
    [[nodiscard]] int InstalledKeyboardHooks() const {
        return static_cast<int>(keyboardHooks_.Size());
    }

    [[nodiscard]] Point Cursor() const { return cursor_; }
    // Real input (a test or the session runner): the cursor moves to `screen`, then the event
    // travels the hooks to the window under the point (or the one holding the mouse).
    void InjectMouse(MouseMessage message, Point screen, int wheelDelta, bool ready);
    // Real key input: hooks, then the foreground window.
    void InjectKey(const KeyEvent& event);
    // Moves the cursor, clamped to the screen; a move to a new position is delivered as an
    // injected Move.
    void MoveCursor(Point screen);
    // Synthetic mouse input at the cursor.
    void SendMouse(MouseMessage message);
    // Synthetic keys in SendKeys notation; std::invalid_argument for a malformed sequence,
    // before any key is sent.
    void SendKeys(const std::string& keys);
    // Every SendKeys text in order, malformed ones too.
    [[nodiscard]] const std::vector<std::string>& SentKeys() const { return sentKeys_; }

private:
    void DeliverMouse(const MouseEvent& event);
    void DeliverKey(const KeyEvent& event);

    HeadlessWindows& windows_;
    Size screen_;
    Point cursor_;
    // The window that took a button press gets the moves and the release. Handles are never
    // reused, so a captured window that died is simply not found.
    WindowHandle mouseCapture_ = kNoWindow;
    HookHandle nextHook_ = 1;
    HookChain<MouseEvent> mouseHooks_;
    HookChain<KeyEvent> keyboardHooks_;
    std::vector<std::string> sentKeys_;
};

} // namespace scribeline::desktop
