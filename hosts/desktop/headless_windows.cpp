#include "hosts/desktop/headless_windows.hpp"

#include "hosts/desktop/raster.hpp"

#include <algorithm>

namespace scribeline::desktop {

namespace {

constexpr int kMinimisedPos = -32000; // where the platform parks minimised windows
constexpr std::uint32_t kFaceColour = 0x00C0C0C0;
constexpr std::uint32_t kDesktopColour = 0x003A6EA5;

} // namespace

HeadlessWindows::HeadlessWindows(Size screen) : screen_(screen) {
    WindowState desk;
    desk.rect = {0, 0, screen.width, screen.height};
    tree_.AddDesktop("#32769", desk);
}

WindowHandle HeadlessWindows::Create(const WindowSpec& window, IWindowHandler* handler) {
    const WindowHandle parent = window.parent == kDesktopWindow ? kNoWindow : window.parent;
    if (parent != kNoWindow && Find(parent) == nullptr) {
        throw PortError("CreateWindow", "parent window does not exist");
    }
    WindowState state;
    state.rect = window.rect;
    state.visible = window.visible;
    return tree_.Add(window.className, window.title, parent, handler, std::move(state)).handle;
}

void HeadlessWindows::Destroy(WindowHandle h) {
    if (h == kDesktopWindow) {
        return;
    }
    tree_.Destroy(h, [](Window& w) {
        if (w.handler != nullptr) {
            w.handler->onDestroy();
        }
    });
    if (foreground_ != kNoWindow && Find(foreground_) == nullptr) {
        foreground_ = tree_.TopLevel().empty() ? kNoWindow : tree_.TopLevel().back();
    }
}

void HeadlessWindows::Close(WindowHandle h) {
    Window* w = Find(h);
    if (w == nullptr) {
        return;
    }
    if (w->handler == nullptr || w->handler->onClose()) {
        Destroy(h);
    }
}

WindowHandle HeadlessWindows::SetParent(WindowHandle child, WindowHandle newParent) {
    const auto old = tree_.Reparent(child, newParent);
    if (!old) {
        return kNoWindow;
    }
    tree_.At(child).minimised = false;
    return *old;
}

void HeadlessWindows::Show(WindowHandle h, ShowCommand command) {
    Window* w = Find(h);
    if (w == nullptr || h == kDesktopWindow) {
        return;
    }
    switch (command) {
    case ShowCommand::Hide:
        w->visible = false;
        if (foreground_ == h) {
            foreground_ = kNoWindow;
        }
        break;
    case ShowCommand::Show:
        w->visible = true;
        break;
    case ShowCommand::ShowModal:
        w->visible = true;
        w->minimised = false;
        SetForeground(h);
        break;
    case ShowCommand::Minimize:
        w->minimised = w->parent == kNoWindow;
        if (foreground_ == h) {
            foreground_ = kNoWindow;
        }
        break;
    case ShowCommand::Restore:
        w->minimised = false;
        w->visible = true;
        break;
    }
}

bool HeadlessWindows::SetPos(WindowHandle h, int x, int y, int width, int height, unsigned flags) {
    Window* w = Find(h);
    if (w == nullptr || h == kDesktopWindow) {
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
        tree_.Raise(h);
    }
    if (resized && w->handler != nullptr) {
        w->handler->onResize({r.width(), r.height()});
    }
    return true;
}

bool HeadlessWindows::SetForeground(WindowHandle h) {
    if (Find(h) == nullptr || h == kDesktopWindow) {
        return false;
    }
    const WindowHandle top = tree_.Root(h);
    foreground_ = top;
    tree_.Raise(top);
    return true;
}

void HeadlessWindows::RestoreForeground(WindowHandle h) {
    if (Find(h) != nullptr) {
        foreground_ = h;
    }
}

Point HeadlessWindows::Origin(const Window& w) const {
    if (w.parent == kNoWindow) {
        if (w.minimised) {
            return {kMinimisedPos, kMinimisedPos};
        }
        return {w.rect.left, w.rect.top};
    }
    const Point p = Origin(tree_.At(w.parent));
    return {p.x + w.rect.left, p.y + w.rect.top};
}

Rect HeadlessWindows::ScreenRect(const Window& w) const {
    const Point o = Origin(w);
    if (w.parent == kNoWindow && w.minimised) {
        return {o.x, o.y, o.x + 160, o.y + 28};
    }
    return {o.x, o.y, o.x + w.rect.width(), o.y + w.rect.height()};
}

bool HeadlessWindows::Shown(const Window& w) const {
    for (const Window* p = &w; p != nullptr;
         p = p->parent == kNoWindow ? nullptr : Find(p->parent)) {
        if (!p->visible || p->minimised) {
            return false;
        }
    }
    return true;
}

bool HeadlessWindows::Hits(const Window& w, Point screen) const {
    const Rect r = ScreenRect(w);
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

WindowHandle HeadlessWindows::WindowFromPoint(Point screen) const {
    // A child shows where its own flag says so once its top-level window is shown.
    const WindowHandle h = tree_.Deepest([&](const Window& w, bool topLevel) {
        return (topLevel ? Shown(w) : w.visible) && Hits(w, screen);
    });
    return h == kNoWindow ? kDesktopWindow : h;
}

Bitmap HeadlessWindows::Paint(const Window& w) const {
    const Size size{w.rect.width(), w.rect.height()};
    Bitmap b;
    if (w.renderer) {
        b = w.renderer(size);
    }
    if (b.width != size.width || b.height != size.height ||
        b.pixels.size() != static_cast<std::size_t>(size.width) *
                               static_cast<std::size_t>(std::max(0, size.height))) {
        b = raster::BlankBitmap(size, kFaceColour);
    }
    raster::Raster canvas(b);
    if (!w.renderer) {
        for (const DrawCall& d : w.drawCalls) {
            switch (d.kind) {
            case DrawKind::Line:
                canvas.Line(d.from, d.to, d.pen);
                break;
            case DrawKind::Rectangle:
                canvas.Frame({d.from.x, d.from.y, d.to.x, d.to.y}, d.pen);
                break;
            case DrawKind::FilledCircle:
                canvas.Disc(d.from, d.radius, d.fill, d.outline);
                break;
            case DrawKind::Text:
                break; // glyphs are not rasterised; the record keeps the text
            }
        }
    }
    for (WindowHandle kid : w.children) {
        const Window& c = tree_.At(kid);
        if (c.visible) {
            canvas.Blit(Paint(c), {c.rect.left, c.rect.top}, c.region);
        }
    }
    return b;
}

Bitmap HeadlessWindows::PaintDesktop() const {
    Bitmap b = raster::BlankBitmap(screen_, kDesktopColour);
    raster::Raster canvas(b);
    for (WindowHandle h : tree_.TopLevel()) {
        const Window& w = tree_.At(h);
        if (Shown(w)) {
            canvas.Blit(Paint(w), {w.rect.left, w.rect.top}, w.region);
        }
    }
    return b;
}

} // namespace scribeline::desktop
