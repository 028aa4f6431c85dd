#include "hosts/desktop/headless_desktop.hpp"

#include "platform/hook_chain.hpp"

#include "hosts/desktop/send_keys.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <stdexcept>
#include <system_error>

namespace scribeline::desktop {

namespace {

constexpr WindowHandle kDesktopHandle = 1;
constexpr int kMinimisedPos = -32000; // where the platform parks minimised windows
constexpr std::uint32_t kFaceColour = 0x00C0C0C0;
constexpr std::uint32_t kDesktopColour = 0x003A6EA5;

std::uint32_t toPixel(Colour c) {
    return (static_cast<std::uint32_t>(redOf(c)) << 16) |
           (static_cast<std::uint32_t>(greenOf(c)) << 8) | static_cast<std::uint32_t>(blueOf(c));
}

struct Window {
    WindowHandle handle = kNoWindow;
    std::string className;
    std::string title;
    WindowHandle parent = kNoWindow; // kNoWindow for top-level windows
    Rect rect;                       // parent client pixels; screen pixels when top-level
    bool visible = true;
    bool minimised = false;
    IWindowHandler* handler = nullptr;
    WindowRegion region;
    std::vector<WindowHandle> children; // z-order: the last is on top
    std::vector<DrawCall> drawCalls;
    WindowRenderer renderer;
    bool messageBox = false;
    bool destroying = false;
};

struct TimerEntry {
    int interval = 0;
    std::function<void()> callback;
    std::int64_t due = 0;
    bool running = false;
};

struct OpenBox {
    WindowHandle window = kNoWindow;
    bool closed = false;
    int result = 0;
};

class BoxHandler final : public IWindowHandler {
public:
    BoxHandler(OpenBox& box, int closeResult) : box_(box), closeResult_(closeResult) {}
    bool onClose() override {
        box_.closed = true;
        box_.result = closeResult_;
        return false; // the box's own loop destroys it
    }

private:
    OpenBox& box_;
    int closeResult_;
};

std::filesystem::path makeUniqueTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "scribeline-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    return std::filesystem::path(pattern);
}

} // namespace

struct HeadlessDesktop::Impl {
    DesktopOptions options;
    std::filesystem::path tempFolder;
    bool ownsTempFolder = false;
    std::int64_t now = 0;
    std::mt19937 random;

    WindowHandle nextWindow = kDesktopHandle + 1;
    std::map<WindowHandle, Window> windows;
    std::vector<WindowHandle> topLevel; // z-order: the last is on top
    WindowHandle foreground = kNoWindow;
    WindowHandle mouseCapture = kNoWindow;
    Point cursor;

    HookHandle nextHook = 1;
    HookChain<MouseEvent> mouseHooks;
    HookChain<KeyEvent> keyboardHooks;

    TimerHandle nextTimer = 1;
    std::map<TimerHandle, TimerEntry> timers;
    std::deque<WindowHandle> postedCloses;

    MessageBoxResponder responder;
    std::vector<MessageBoxRecord> boxes;
    std::vector<std::string> sentKeys;

    Window* find(WindowHandle h) {
        auto it = windows.find(h);
        return it == windows.end() ? nullptr : &it->second;
    }
    const Window* find(WindowHandle h) const {
        auto it = windows.find(h);
        return it == windows.end() ? nullptr : &it->second;
    }
    // For handles known to be live (parents, children, z-order lists).
    Window& at(WindowHandle h) { return windows.at(h); }
    const Window& at(WindowHandle h) const { return windows.at(h); }
    std::vector<WindowHandle>& siblings(const Window& w) {
        return w.parent == kNoWindow ? topLevel : at(w.parent).children;
    }
    WindowHandle root(WindowHandle h) const {
        const Window* w = find(h);
        while (w != nullptr && w->parent != kNoWindow) {
            h = w->parent;
            w = find(h);
        }
        return h;
    }
    // Screen position of the window's top-left corner.
    Point origin(const Window& w) const {
        if (w.parent == kNoWindow) {
            if (w.minimised) {
                return {kMinimisedPos, kMinimisedPos};
            }
            return {w.rect.left, w.rect.top};
        }
        const Point p = origin(at(w.parent));
        return {p.x + w.rect.left, p.y + w.rect.top};
    }
    Rect screenRect(const Window& w) const {
        const Point o = origin(w);
        if (w.parent == kNoWindow && w.minimised) {
            return {o.x, o.y, o.x + 160, o.y + 28};
        }
        return {o.x, o.y, o.x + w.rect.width(), o.y + w.rect.height()};
    }
    bool shown(const Window& w) const {
        const Window* p = &w;
        while (p != nullptr) {
            if (!p->visible || p->minimised) {
                return false;
            }
            p = p->parent == kNoWindow ? nullptr : find(p->parent);
        }
        return true;
    }
    bool hits(const Window& w, Point screen) const {
        const Rect r = screenRect(w);
        if (!r.contains(screen)) {
            return false;
        }
        if (w.region.empty()) {
            return true;
        }
        const Point local{screen.x - r.left, screen.y - r.top};
        return std::any_of(w.region.begin(), w.region.end(),
                           [&](const Rect& part) { return part.contains(local); });
    }
    WindowHandle deepestAt(WindowHandle h, Point screen) const {
        const Window& w = at(h);
        for (auto it = w.children.rbegin(); it != w.children.rend(); ++it) {
            const Window& c = at(*it);
            if (c.visible && hits(c, screen)) {
                return deepestAt(*it, screen);
            }
        }
        return h;
    }
    void raise(WindowHandle h) {
        Window& w = at(h);
        auto& list = siblings(w);
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
        list.push_back(h);
    }
    void destroy(WindowHandle h) {
        Window* w = find(h);
        if (w == nullptr || w->destroying) {
            return;
        }
        w->destroying = true; // a handler destroying its window again is a no-op
        const std::vector<WindowHandle> kids = w->children;
        for (WindowHandle kid : kids) {
            destroy(kid);
        }
        if (IWindowHandler* handler = at(h).handler) {
            handler->onDestroy();
        }
        auto& list = siblings(at(h));
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
        if (foreground == h) {
            foreground = topLevel.empty() ? kNoWindow : topLevel.back();
        }
        if (mouseCapture == h) {
            mouseCapture = kNoWindow;
        }
        windows.erase(h);
    }
    void close(WindowHandle h) {
        Window* w = find(h);
        if (w == nullptr) {
            return;
        }
        const bool accept = w->handler == nullptr || w->handler->onClose();
        if (accept) {
            destroy(h);
        }
    }

    // Runs every posted message and timer that is due at the current time.
    void runDue() {
        for (;;) {
            if (!postedCloses.empty()) {
                const WindowHandle h = postedCloses.front();
                postedCloses.pop_front();
                close(h);
                continue;
            }
            TimerHandle next = 0;
            std::int64_t nextDue = 0;
            for (const auto& [id, t] : timers) {
                if (!t.running && t.due <= now && (next == 0 || t.due < nextDue)) {
                    next = id;
                    nextDue = t.due;
                }
            }
            if (next == 0) {
                return;
            }
            TimerEntry& t = timers[next];
            t.running = true;
            auto callback = t.callback; // the callback may kill its own timer
            callback();
            auto it = timers.find(next);
            if (it != timers.end()) {
                // Rescheduled from the end of the callback: a timer that fell behind (or
                // whose callback let time pass) fires once, not once per missed period.
                it->second.due = now + it->second.interval;
                it->second.running = false;
            }
        }
    }
    // Earliest future time at which something is due, or -1.
    std::int64_t nextEventTime() const {
        if (!postedCloses.empty()) {
            return now;
        }
        std::int64_t best = -1;
        for (const auto& [id, t] : timers) {
            if (!t.running && (best < 0 || t.due < best)) {
                best = t.due;
            }
        }
        return best;
    }
    void advance(std::int64_t ms, const std::function<bool()>& stop = {}) {
        const std::int64_t target = now + std::max<std::int64_t>(0, ms);
        runDue();
        while (!(stop && stop())) {
            const std::int64_t t = nextEventTime();
            if (t < 0 || t > target) {
                break;
            }
            now = std::max(now, t);
            runDue();
        }
        if (!(stop && stop())) {
            now = std::max(now, target); // a callback may have let time pass beyond it
            runDue();
        }
    }

    void deliverMouse(const MouseEvent& event) {
        if (mouseHooks.Discards(event)) {
            return;
        }
        WindowHandle target = mouseCapture;
        if (target == kNoWindow || find(target) == nullptr) {
            target = windowFromPoint(event.screen);
        }
        if (event.message == MouseMessage::LeftDown || event.message == MouseMessage::RightDown) {
            mouseCapture = target;
        } else if (event.message == MouseMessage::LeftUp ||
                   event.message == MouseMessage::RightUp) {
            mouseCapture = kNoWindow;
        }
        Window* w = find(target);
        if (w == nullptr || w->handler == nullptr) {
            return;
        }
        const Point o = origin(*w);
        w->handler->onMouse(event, {event.screen.x - o.x, event.screen.y - o.y});
    }
    void deliverKey(const KeyEvent& event) {
        if (keyboardHooks.Discards(event)) {
            return;
        }
        Window* w = find(foreground);
        if (w != nullptr && w->handler != nullptr) {
            w->handler->onKey(event);
        }
    }
    WindowHandle windowFromPoint(Point screen) const {
        for (auto it = topLevel.rbegin(); it != topLevel.rend(); ++it) {
            const Window& w = at(*it);
            if (shown(w) && hits(w, screen)) {
                return deepestAt(*it, screen);
            }
        }
        return kDesktopHandle;
    }

    // ---- capture ----
    static void plot(Bitmap& b, int x, int y, std::uint32_t px, RasterOp op) {
        if (x < 0 || y < 0 || x >= b.width || y >= b.height) {
            return;
        }
        auto& dst = b.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
                             static_cast<std::size_t>(x)];
        dst = op == RasterOp::Invert ? (~dst & 0x00FFFFFF) : px;
    }
    static void line(Bitmap& b, Point a, Point c, const Pen& pen) {
        const std::uint32_t px = toPixel(pen.colour);
        int x0 = a.x, y0 = a.y;
        const int dx = std::abs(c.x - a.x), dy = -std::abs(c.y - a.y);
        const int sx = a.x < c.x ? 1 : -1, sy = a.y < c.y ? 1 : -1;
        int err = dx + dy;
        const int half = std::max(0, pen.width - 1) / 2;
        for (;;) {
            for (int oy = -half; oy <= half; ++oy) {
                for (int ox = -half; ox <= half; ++ox) {
                    plot(b, x0 + ox, y0 + oy, px, pen.op);
                }
            }
            if (x0 == c.x && y0 == c.y) {
                break;
            }
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    static void overlay(Bitmap& b, const std::vector<DrawCall>& calls) {
        for (const DrawCall& d : calls) {
            switch (d.kind) {
            case DrawKind::Line:
                line(b, d.from, d.to, d.pen);
                break;
            case DrawKind::Rectangle: {
                const Point tr{d.to.x - 1, d.from.y}, bl{d.from.x, d.to.y - 1},
                    br{d.to.x - 1, d.to.y - 1};
                line(b, d.from, tr, d.pen);
                line(b, tr, br, d.pen);
                line(b, br, bl, d.pen);
                line(b, bl, d.from, d.pen);
                break;
            }
            case DrawKind::FilledCircle:
                for (int y = -d.radius; y <= d.radius; ++y) {
                    for (int x = -d.radius; x <= d.radius; ++x) {
                        const int r2 = x * x + y * y;
                        if (r2 <= d.radius * d.radius) {
                            const bool edge = r2 > (d.radius - 1) * (d.radius - 1);
                            plot(b, d.from.x + x, d.from.y + y, toPixel(edge ? d.outline : d.fill),
                                 RasterOp::Copy);
                        }
                    }
                }
                break;
            case DrawKind::Text:
                break; // glyphs are not rasterised; the record keeps the text
            }
        }
    }
    Bitmap render(const Window& w) const {
        const Size size{w.rect.width(), w.rect.height()};
        Bitmap b;
        if (w.renderer) {
            b = w.renderer(size);
        }
        if (b.width != size.width || b.height != size.height ||
            b.pixels.size() != static_cast<std::size_t>(size.width) *
                                   static_cast<std::size_t>(std::max(0, size.height))) {
            b.width = std::max(0, size.width);
            b.height = std::max(0, size.height);
            b.pixels.assign(static_cast<std::size_t>(b.width) * static_cast<std::size_t>(b.height),
                            kFaceColour);
        }
        if (!w.renderer) {
            overlay(b, w.drawCalls);
        }
        for (WindowHandle kid : w.children) {
            const Window& c = at(kid);
            if (c.visible) {
                blit(b, render(c), c.rect.left, c.rect.top, c.region);
            }
        }
        return b;
    }
    static void blit(Bitmap& dst, const Bitmap& src, int left, int top,
                     const WindowRegion& region) {
        for (int y = 0; y < src.height; ++y) {
            for (int x = 0; x < src.width; ++x) {
                if (!region.empty() &&
                    std::none_of(region.begin(), region.end(), [&](const Rect& r) {
                        return r.contains({x, y});
                    })) {
                    continue;
                }
                plot(dst, left + x, top + y,
                     src.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(src.width) +
                                static_cast<std::size_t>(x)],
                     RasterOp::Copy);
            }
        }
    }
};

HeadlessDesktop::HeadlessDesktop(DesktopOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    if (impl_->options.tempFolder.empty()) {
        impl_->tempFolder = makeUniqueTempFolder();
        impl_->ownsTempFolder = true;
    } else {
        std::filesystem::create_directories(impl_->options.tempFolder);
        impl_->tempFolder = std::filesystem::canonical(impl_->options.tempFolder);
    }
    impl_->random.seed(impl_->options.randomSeed);
    Window desk;
    desk.handle = kDesktopHandle;
    desk.className = "#32769";
    desk.rect = {0, 0, impl_->options.screen.width, impl_->options.screen.height};
    impl_->windows.emplace(kDesktopHandle, desk);
}

HeadlessDesktop::~HeadlessDesktop() {
    // Handlers are not told: their owners may already be gone, and nothing can be done with a
    // window of a desktop that is going away.
    if (impl_->ownsTempFolder) {
        std::error_code ignored;
        std::filesystem::remove_all(impl_->tempFolder, ignored);
    }
}

// ---- windows ----

WindowHandle HeadlessDesktop::CreateWindow(const WindowSpec& params, IWindowHandler* handler) {
    WindowHandle parent = params.parent == kDesktopHandle ? kNoWindow : params.parent;
    if (parent != kNoWindow && impl_->find(parent) == nullptr) {
        throw PortError("CreateWindow", "parent window does not exist");
    }
    Window w;
    w.handle = impl_->nextWindow++;
    w.className = params.className;
    w.title = params.title;
    w.parent = parent;
    w.rect = params.rect;
    w.visible = params.visible;
    w.handler = handler;
    const WindowHandle h = w.handle;
    impl_->windows.emplace(h, std::move(w));
    if (parent == kNoWindow) {
        impl_->topLevel.push_back(h);
    } else {
        impl_->at(parent).children.push_back(h);
    }
    return h;
}

void HeadlessDesktop::DestroyWindow(WindowHandle window) {
    if (window != kDesktopHandle) {
        impl_->destroy(window);
    }
}

bool HeadlessDesktop::IsWindow(WindowHandle window) const {
    return impl_->find(window) != nullptr;
}

std::optional<Rect> HeadlessDesktop::GetWindowRect(WindowHandle window) const {
    const Window* w = impl_->find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    return impl_->screenRect(*w);
}

std::optional<Rect> HeadlessDesktop::GetClientRect(WindowHandle window) const {
    const Window* w = impl_->find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    return Rect{0, 0, w->rect.width(), w->rect.height()};
}

std::string HeadlessDesktop::GetClassName(WindowHandle window) const {
    const Window* w = impl_->find(window);
    return w == nullptr ? std::string() : w->className;
}

std::string HeadlessDesktop::GetWindowText(WindowHandle window) const {
    const Window* w = impl_->find(window);
    return w == nullptr ? std::string() : w->title;
}

void HeadlessDesktop::SetWindowText(WindowHandle window, const std::string& text) {
    if (Window* w = impl_->find(window)) {
        w->title = text;
    }
}

WindowHandle HeadlessDesktop::GetParent(WindowHandle window) const {
    const Window* w = impl_->find(window);
    return w == nullptr ? kNoWindow : w->parent;
}

WindowHandle HeadlessDesktop::SetParent(WindowHandle child, WindowHandle newParent) {
    Window* w = impl_->find(child);
    if (w == nullptr || child == kDesktopHandle) {
        return kNoWindow;
    }
    if (newParent == kDesktopHandle) {
        newParent = kNoWindow;
    }
    if (newParent != kNoWindow) {
        if (impl_->find(newParent) == nullptr) {
            return kNoWindow;
        }
        // A window cannot become a child of itself or of one of its descendants.
        for (WindowHandle p = newParent; p != kNoWindow; p = impl_->at(p).parent) {
            if (p == child) {
                return kNoWindow;
            }
        }
    }
    const WindowHandle old = w->parent == kNoWindow ? kDesktopHandle : w->parent;
    auto& list = impl_->siblings(*w);
    list.erase(std::remove(list.begin(), list.end(), child), list.end());
    w->parent = newParent;
    w->minimised = false;
    if (newParent == kNoWindow) {
        impl_->topLevel.push_back(child);
    } else {
        impl_->at(newParent).children.push_back(child);
    }
    return old;
}

WindowHandle HeadlessDesktop::WindowFromPoint(Point screen) const {
    return impl_->windowFromPoint(screen);
}

std::optional<Point> HeadlessDesktop::ClientToScreen(WindowHandle window, Point client) const {
    const Window* w = impl_->find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    const Point o = impl_->origin(*w);
    return Point{o.x + client.x, o.y + client.y};
}

std::optional<Point> HeadlessDesktop::ScreenToClient(WindowHandle window, Point screen) const {
    const Window* w = impl_->find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    const Point o = impl_->origin(*w);
    return Point{screen.x - o.x, screen.y - o.y};
}

WindowHandle HeadlessDesktop::FindWindowEx(WindowHandle parent, WindowHandle after,
                                           const std::optional<std::string>& className,
                                           const std::optional<std::string>& title) const {
    const std::vector<WindowHandle>* list = &impl_->topLevel;
    if (parent != kNoWindow && parent != kDesktopHandle) {
        const Window* p = impl_->find(parent);
        if (p == nullptr) {
            return kNoWindow;
        }
        list = &p->children;
    }
    bool started = after == kNoWindow;
    for (auto it = list->rbegin(); it != list->rend(); ++it) {
        if (!started) {
            started = *it == after;
            continue;
        }
        const Window& w = impl_->at(*it);
        if ((!className || w.className == *className) && (!title || w.title == *title)) {
            return *it;
        }
    }
    return kNoWindow;
}

WindowHandle HeadlessDesktop::FindWindow(const std::optional<std::string>& className,
                                         const std::optional<std::string>& title) const {
    return FindWindowEx(kNoWindow, kNoWindow, className, title);
}

bool HeadlessDesktop::SetForegroundWindow(WindowHandle window) {
    if (impl_->find(window) == nullptr || window == kDesktopHandle) {
        return false;
    }
    const WindowHandle top = impl_->root(window);
    impl_->foreground = top;
    impl_->raise(top);
    return true;
}

WindowHandle HeadlessDesktop::GetForegroundWindow() const {
    return impl_->foreground;
}

bool HeadlessDesktop::IsIconic(WindowHandle window) const {
    const Window* w = impl_->find(window);
    return w != nullptr && w->minimised;
}

bool HeadlessDesktop::IsWindowVisible(WindowHandle window) const {
    const Window* w = impl_->find(window);
    return w != nullptr && impl_->shown(*w);
}

void HeadlessDesktop::ShowWindow(WindowHandle window, ShowCommand command) {
    Window* w = impl_->find(window);
    if (w == nullptr || window == kDesktopHandle) {
        return;
    }
    switch (command) {
    case ShowCommand::Hide:
        w->visible = false;
        if (impl_->foreground == window) {
            impl_->foreground = kNoWindow;
        }
        break;
    case ShowCommand::Show:
        w->visible = true;
        break;
    case ShowCommand::ShowModal:
        w->visible = true;
        w->minimised = false;
        SetForegroundWindow(window);
        break;
    case ShowCommand::Minimize:
        w->minimised = w->parent == kNoWindow;
        if (impl_->foreground == window) {
            impl_->foreground = kNoWindow;
        }
        break;
    case ShowCommand::Restore:
        w->minimised = false;
        w->visible = true;
        break;
    }
}

bool HeadlessDesktop::SetWindowPos(WindowHandle window, int x, int y, int width, int height,
                                   unsigned flags) {
    Window* w = impl_->find(window);
    if (w == nullptr || window == kDesktopHandle) {
        return false;
    }
    Rect r = w->rect;
    if ((flags & swp::NoMove) == 0) {
        r = {x, y, x + r.width(), y + r.height()};
    }
    if ((flags & swp::NoSize) == 0) {
        r.right = r.left + std::max(0, width);
        r.bottom = r.top + std::max(0, height);
    }
    const bool resized = r.width() != w->rect.width() || r.height() != w->rect.height();
    w->rect = r;
    if ((flags & swp::NoZOrder) == 0) {
        impl_->raise(window);
    }
    if (resized && w->handler != nullptr) {
        w->handler->onResize({r.width(), r.height()});
    }
    return true;
}

void HeadlessDesktop::SetWindowRegion(WindowHandle window, const WindowRegion& region) {
    if (Window* w = impl_->find(window)) {
        w->region = region;
    }
}

void HeadlessDesktop::PostCloseMessage(WindowHandle window) {
    if (impl_->find(window) != nullptr) {
        impl_->postedCloses.push_back(window);
    }
}

void HeadlessDesktop::RequestClose(WindowHandle window) {
    impl_->close(window);
}

// ---- screen ----

Size HeadlessDesktop::GetScreenSize() const {
    return impl_->options.screen;
}
int HeadlessDesktop::TwipsPerPixelX() const {
    return impl_->options.twipsPerPixel;
}
int HeadlessDesktop::TwipsPerPixelY() const {
    return impl_->options.twipsPerPixel;
}
WindowHandle HeadlessDesktop::GetDesktopWindow() const {
    return kDesktopHandle;
}

// ---- hooks and input ----

HookHandle HeadlessDesktop::SetMouseHook(MouseHookProc proc) {
    const HookHandle h = impl_->nextHook++;
    impl_->mouseHooks.Add(h, std::move(proc));
    return h;
}

HookHandle HeadlessDesktop::SetKeyboardHook(KeyboardHookProc proc) {
    const HookHandle h = impl_->nextHook++;
    impl_->keyboardHooks.Add(h, std::move(proc));
    return h;
}

bool HeadlessDesktop::Unhook(HookHandle hook) {
    return impl_->mouseHooks.Remove(hook) || impl_->keyboardHooks.Remove(hook);
}

void HeadlessDesktop::InjectMouse(MouseMessage message, Point screen, int wheelDelta, bool ready) {
    impl_->cursor = screen;
    MouseEvent e;
    e.message = message;
    e.screen = screen;
    e.wheelDelta = wheelDelta;
    e.ready = ready;
    impl_->deliverMouse(e);
}

void HeadlessDesktop::InjectKey(const KeyEvent& event) {
    impl_->deliverKey(event);
}

Point HeadlessDesktop::GetCursorPos() const {
    return impl_->cursor;
}

void HeadlessDesktop::SetCursorPos(Point screen) {
    const Size s = impl_->options.screen;
    screen.x = std::clamp(screen.x, 0, s.width - 1);
    screen.y = std::clamp(screen.y, 0, s.height - 1);
    if (screen == impl_->cursor) {
        return;
    }
    impl_->cursor = screen;
    MouseEvent e;
    e.message = MouseMessage::Move;
    e.screen = screen;
    e.injected = true;
    impl_->deliverMouse(e);
}

void HeadlessDesktop::SendMouseInput(MouseMessage message) {
    MouseEvent e;
    e.message = message;
    e.screen = impl_->cursor;
    e.injected = true;
    impl_->deliverMouse(e);
}

void HeadlessDesktop::SendKeys(const std::string& keys) {
    impl_->sentKeys.push_back(keys);
    for (const KeyEvent& e : parseSendKeys(keys)) {
        impl_->deliverKey(e);
    }
}

// ---- message boxes ----

int HeadlessDesktop::MessageBox(WindowHandle owner, const std::string& text,
                                const std::string& title, unsigned flags) {
    MessageBoxRecord record;
    record.owner = owner;
    record.text = text;
    record.title = title;
    record.flags = flags;
    record.openedAtMs = impl_->now;
    const unsigned buttons = flags & 0xF;
    const int closeResult = buttons == mb::Ok ? idr::Ok : idr::Cancel;
    OpenBox box;
    BoxHandler handler(box, closeResult);
    const Size s = impl_->options.screen;
    WindowSpec params{"#32770",
                      title,
                      kNoWindow,
                      {s.width / 2 - 150, s.height / 2 - 60, s.width / 2 + 150, s.height / 2 + 60},
                      true};
    box.window = CreateWindow(params, &handler);
    impl_->windows[box.window].messageBox = true;
    const WindowHandle previousForeground = impl_->foreground;
    SetForegroundWindow(box.window);

    const MessageBoxAnswer answer =
        impl_->responder ? impl_->responder(record) : MessageBoxAnswer{};
    // The modal loop: time passes while the box is open and timers keep running.
    impl_->advance(answer.keepOpenMs, [&box] { return box.closed; });
    record.closedByMessage = box.closed;
    record.result = box.closed ? box.result : answer.result;
    record.closedAtMs = impl_->now;
    impl_->destroy(box.window);
    if (impl_->find(previousForeground) != nullptr) {
        impl_->foreground = previousForeground;
    }
    impl_->boxes.push_back(record);
    return record.result;
}

void HeadlessDesktop::SetMessageBoxResponder(MessageBoxResponder responder) {
    impl_->responder = std::move(responder);
}

const std::vector<MessageBoxRecord>& HeadlessDesktop::MessageBoxes() const {
    return impl_->boxes;
}

void HeadlessDesktop::ClearMessageBoxes() {
    impl_->boxes.clear();
}

// ---- drawing ----

void HeadlessDesktop::DrawLine(WindowHandle window, Point from, Point to, const Pen& pen) {
    if (Window* w = impl_->find(window)) {
        DrawCall d;
        d.kind = DrawKind::Line;
        d.from = from;
        d.to = to;
        d.pen = pen;
        w->drawCalls.push_back(d);
    }
}

void HeadlessDesktop::FillCircle(WindowHandle window, Point centre, int radius, Colour fill,
                                 Colour outline) {
    if (Window* w = impl_->find(window)) {
        DrawCall d;
        d.kind = DrawKind::FilledCircle;
        d.from = centre;
        d.radius = radius;
        d.fill = fill;
        d.outline = outline;
        w->drawCalls.push_back(d);
    }
}

void HeadlessDesktop::DrawRectangle(WindowHandle window, const Rect& rect, const Pen& pen) {
    if (Window* w = impl_->find(window)) {
        DrawCall d;
        d.kind = DrawKind::Rectangle;
        d.from = {rect.left, rect.top};
        d.to = {rect.right, rect.bottom};
        d.rect = rect;
        d.pen = pen;
        w->drawCalls.push_back(d);
    }
}

void HeadlessDesktop::DrawText(WindowHandle window, const std::string& text, const Rect& rect,
                               const Font& font, Colour colour, unsigned flags) {
    if (Window* w = impl_->find(window)) {
        DrawCall d;
        d.kind = DrawKind::Text;
        d.text = text;
        d.rect = rect;
        d.from = {rect.left, rect.top};
        d.font = font;
        d.fill = colour;
        d.flags = flags;
        w->drawCalls.push_back(d);
    }
}

Size HeadlessDesktop::MeasureText(const std::string& text, const Font& font) const {
    // A fixed-pitch metric at 96 dpi: deterministic, and close to a proportional UI font.
    const double em = font.size * 96.0 / 72.0;
    const int charWidth = std::max(1, static_cast<int>(std::lround(em * (font.bold ? 0.6 : 0.55))));
    const int height = std::max(1, static_cast<int>(std::lround(em * 1.2)));
    return {charWidth * static_cast<int>(text.size()), height};
}

const std::vector<DrawCall>& HeadlessDesktop::DrawCalls(WindowHandle window) const {
    static const std::vector<DrawCall> none;
    const Window* w = impl_->find(window);
    return w == nullptr ? none : w->drawCalls;
}

void HeadlessDesktop::Repaint(WindowHandle window) {
    if (Window* w = impl_->find(window)) {
        w->drawCalls.clear();
    }
}

void HeadlessDesktop::SetRenderer(WindowHandle window, WindowRenderer renderer) {
    if (Window* w = impl_->find(window)) {
        w->renderer = std::move(renderer);
    }
}

// ---- time ----

void HeadlessDesktop::Sleep(int milliseconds) {
    impl_->now += std::max(0, milliseconds);
}

void HeadlessDesktop::DoEvents() {
    impl_->runDue();
}

void HeadlessDesktop::AdvanceTime(int milliseconds) {
    impl_->advance(milliseconds);
}

float HeadlessDesktop::Timer() const {
    const DateTime& s = impl_->options.start;
    const double startSeconds = s.hour * 3600.0 + s.minute * 60.0 + s.second;
    const double seconds =
        std::fmod(startSeconds + static_cast<double>(impl_->now) / 1000.0, 86400.0);
    return static_cast<float>(seconds);
}

DateTime HeadlessDesktop::Now() const {
    using namespace std::chrono;
    const DateTime& s = impl_->options.start;
    const sys_days day = year{s.year} / month{static_cast<unsigned>(s.month)} /
                         std::chrono::day{static_cast<unsigned>(s.day)};
    const auto t =
        day + hours{s.hour} + minutes{s.minute} + seconds{s.second} + milliseconds{impl_->now};
    const sys_days d = floor<days>(t);
    const year_month_day ymd{d};
    const hh_mm_ss hms{floor<seconds>(t - d)};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()),
            static_cast<int>(hms.seconds().count())};
}

std::int64_t HeadlessDesktop::TickCount() const {
    return impl_->now;
}

TimerHandle HeadlessDesktop::SetTimer(int intervalMs, std::function<void()> callback) {
    if (intervalMs <= 0) {
        throw PortError("SetTimer", "interval must be positive");
    }
    const TimerHandle h = impl_->nextTimer++;
    impl_->timers[h] = TimerEntry{intervalMs, std::move(callback), impl_->now + intervalMs, false};
    return h;
}

void HeadlessDesktop::KillTimer(TimerHandle timer) {
    impl_->timers.erase(timer);
}

int HeadlessDesktop::ActiveTimers() const {
    return static_cast<int>(impl_->timers.size());
}

// ---- random, folders ----

double HeadlessDesktop::Rnd() {
    return std::uniform_real_distribution<double>(0.0, 1.0)(impl_->random);
}

void HeadlessDesktop::Randomize() {
    // Seeded from the virtual clock, so a run stays reproducible.
    impl_->random.seed(static_cast<std::uint32_t>(impl_->now) ^ impl_->options.randomSeed ^
                       0x9E3779B9u);
}

std::string HeadlessDesktop::GetTempPath() const {
    std::string s = impl_->tempFolder.string();
    if (s.empty() || s.back() != '/') {
        s.push_back('/');
    }
    return s;
}

std::string HeadlessDesktop::GetModuleFolder() const {
    const auto& folder =
        impl_->options.moduleFolder.empty() ? impl_->tempFolder : impl_->options.moduleFolder;
    std::string s = folder.string();
    while (s.size() > 1 && s.back() == '/') {
        s.pop_back();
    }
    return s;
}

// ---- capture ----

std::optional<Bitmap> HeadlessDesktop::CaptureWindow(WindowHandle window) {
    if (window == kDesktopHandle) {
        return CaptureDesktop();
    }
    const Window* w = impl_->find(window);
    if (w == nullptr) {
        return std::nullopt;
    }
    return impl_->render(*w);
}

Bitmap HeadlessDesktop::CaptureDesktop() {
    const Size s = impl_->options.screen;
    Bitmap b;
    b.width = s.width;
    b.height = s.height;
    b.pixels.assign(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height),
                    kDesktopColour);
    for (WindowHandle h : impl_->topLevel) {
        const Window& w = impl_->at(h);
        if (impl_->shown(w)) {
            Impl::blit(b, impl_->render(w), w.rect.left, w.rect.top, w.region);
        }
    }
    return b;
}

// ---- inspection ----

const std::vector<std::string>& HeadlessDesktop::SentKeys() const {
    return impl_->sentKeys;
}
int HeadlessDesktop::InstalledMouseHooks() const {
    return static_cast<int>(impl_->mouseHooks.Size());
}
int HeadlessDesktop::InstalledKeyboardHooks() const {
    return static_cast<int>(impl_->keyboardHooks.Size());
}
std::vector<WindowHandle> HeadlessDesktop::Children(WindowHandle parent) const {
    if (parent == kNoWindow || parent == kDesktopHandle) {
        return impl_->topLevel;
    }
    const Window* w = impl_->find(parent);
    return w == nullptr ? std::vector<WindowHandle>{} : w->children;
}
std::vector<WindowHandle> HeadlessDesktop::TopLevelWindows() const {
    return impl_->topLevel;
}
WindowRegion HeadlessDesktop::GetWindowRegion(WindowHandle window) const {
    const Window* w = impl_->find(window);
    return w == nullptr ? WindowRegion{} : w->region;
}

} // namespace scribeline::desktop
