// The headless desktop's windows: the window tree with each window's rectangle, visibility,
// region and recorded drawing, the foreground window, hit testing and the pictures that
// capture composes from them with the raster.
//
// Windows have no frame: the client area is the whole window. A top-level rectangle is in
// screen pixels, a child's in its parent's client pixels. A minimised top-level window is
// parked at (-32000, -32000) as on the platform the port stands for.
#pragma once

#include "hosts/desktop/draw_call.hpp"
#include "hosts/desktop/window_tree.hpp"
#include "platform/desktop.hpp"

#include <vector>

namespace scribeline::desktop {

struct WindowState {
    Rect rect; // parent client pixels; screen pixels when top-level
    bool visible = true;
    bool minimised = false;
    WindowRegion region;
    std::vector<DrawCall> drawCalls; // since the last repaint
    WindowRenderer renderer;
};

class HeadlessWindows {
public:
    using Tree = WindowTree<WindowState>;
    using Window = Tree::Node;

    // The desktop window (handle 1) covers the screen.
    explicit HeadlessWindows(Size screen);

    [[nodiscard]] Tree& tree() { return tree_; }
    [[nodiscard]] const Tree& tree() const { return tree_; }
    Window* Find(WindowHandle h) { return tree_.Find(h); }
    [[nodiscard]] const Window* Find(WindowHandle h) const { return tree_.Find(h); }

    // Raises PortError when the parent is unknown.
    WindowHandle Create(const WindowSpec& window, IWindowHandler* handler);
    // The window and its children, children first, each handler told while its handle is
    // still valid. The desktop window stays.
    void Destroy(WindowHandle h);
    // A close request: destroys the window unless its handler refuses.
    void Close(WindowHandle h);
    // As IDesktop::SetParent; unknown windows, the desktop window and cycles give kNoWindow.
    WindowHandle SetParent(WindowHandle child, WindowHandle newParent);
    void Show(WindowHandle h, ShowCommand command);
    bool SetPos(WindowHandle h, int x, int y, int width, int height, unsigned flags);

    [[nodiscard]] WindowHandle Foreground() const { return foreground_; }
    // Makes the window's top-level ancestor the foreground window and raises it.
    bool SetForeground(WindowHandle h);
    // Gives the foreground back to a window (a message box closing) if it still lives.
    void RestoreForeground(WindowHandle h);

    // Screen position of the window's top-left corner.
    [[nodiscard]] Point Origin(const Window& w) const;
    [[nodiscard]] Rect ScreenRect(const Window& w) const;
    // Visible, with every ancestor visible and none minimised.
    [[nodiscard]] bool Shown(const Window& w) const;
    // The topmost shown window (deepest child) under a screen point, honouring regions; the
    // desktop window where there is none.
    [[nodiscard]] WindowHandle WindowFromPoint(Point screen) const;

    // The window's picture: its renderer's, or the face colour with its recorded drawing,
    // then its visible children composed over it.
    [[nodiscard]] Bitmap Paint(const Window& w) const;
    // The visible top-level windows over the desktop colour.
    [[nodiscard]] Bitmap PaintDesktop() const;

private:
    [[nodiscard]] bool Hits(const Window& w, Point screen) const;

    Size screen_;
    Tree tree_;
    WindowHandle foreground_ = kNoWindow;
};

} // namespace scribeline::desktop
