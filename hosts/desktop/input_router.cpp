#include "hosts/desktop/input_router.hpp"

#include "hosts/desktop/send_keys.hpp"

#include <algorithm>
#include <utility>

namespace scribeline::desktop {

HookHandle InputRouter::SetMouseHook(MouseHookProc proc) {
    const HookHandle h = nextHook_++;
    mouseHooks_.Add(h, std::move(proc));
    return h;
}

HookHandle InputRouter::SetKeyboardHook(KeyboardHookProc proc) {
    const HookHandle h = nextHook_++;
    keyboardHooks_.Add(h, std::move(proc));
    return h;
}

bool InputRouter::Unhook(HookHandle hook) {
    return mouseHooks_.Remove(hook) || keyboardHooks_.Remove(hook);
}

void InputRouter::InjectMouse(MouseMessage message, Point screen, int wheelDelta, bool ready) {
    cursor_ = screen;
    MouseEvent e;
    e.message = message;
    e.screen = screen;
    e.wheelDelta = wheelDelta;
    e.ready = ready;
    DeliverMouse(e);
}

void InputRouter::InjectKey(const KeyEvent& event) {
    DeliverKey(event);
}

void InputRouter::MoveCursor(Point screen) {
    screen.x = std::clamp(screen.x, 0, screen_.width - 1);
    screen.y = std::clamp(screen.y, 0, screen_.height - 1);
    if (screen == cursor_) {
        return;
    }
    cursor_ = screen;
    MouseEvent e;
    e.message = MouseMessage::Move;
    e.screen = screen;
    e.injected = true;
    DeliverMouse(e);
}

void InputRouter::SendMouse(MouseMessage message) {
    MouseEvent e;
    e.message = message;
    e.screen = cursor_;
    e.injected = true;
    DeliverMouse(e);
}

void InputRouter::SendKeys(const std::string& keys) {
    sentKeys_.push_back(keys);
    for (const KeyEvent& e : parseSendKeys(keys)) {
        DeliverKey(e);
    }
}

void InputRouter::DeliverMouse(const MouseEvent& event) {
    if (mouseHooks_.Discards(event)) {
        return;
    }
    WindowHandle target = mouseCapture_;
    if (target == kNoWindow || windows_.Find(target) == nullptr) {
        target = windows_.WindowFromPoint(event.screen);
    }
    if (event.message == MouseMessage::LeftDown || event.message == MouseMessage::RightDown) {
        mouseCapture_ = target;
    } else if (event.message == MouseMessage::LeftUp || event.message == MouseMessage::RightUp) {
        mouseCapture_ = kNoWindow;
    }
    const HeadlessWindows::Window* w = windows_.Find(target);
    if (w == nullptr || w->handler == nullptr) {
        return;
    }
    const Point o = windows_.Origin(*w);
    w->handler->onMouse(event, {event.screen.x - o.x, event.screen.y - o.y});
}

void InputRouter::DeliverKey(const KeyEvent& event) {
    if (keyboardHooks_.Discards(event)) {
        return;
    }
    const HeadlessWindows::Window* w = windows_.Find(windows_.Foreground());
    if (w != nullptr && w->handler != nullptr) {
        w->handler->onKey(event);
    }
}

} // namespace scribeline::desktop
