// What the headless desktop keeps of the drawing on a window, and how a window paints its
// client area for capture.
#pragma once

#include "platform/desktop.hpp"

#include <functional>
#include <string>

namespace scribeline::desktop {

enum class DrawKind { Line, FilledCircle, Rectangle, Text };

struct DrawCall {
    DrawKind kind = DrawKind::Line;
    Point from;         // line start, circle centre, rectangle top-left (client pixels)
    Point to;           // line end, rectangle bottom-right
    int radius = 0;     // circles
    Pen pen;            // lines and rectangles
    Colour fill = 0;    // circles: fill; text: colour
    Colour outline = 0; // circles
    std::string text;   // text
    Font font;          // text
    Rect rect;          // text
    unsigned flags = 0; // text
};

// Renders a window's client area for capture. Size is the window's client size.
using WindowRenderer = std::function<Bitmap(Size)>;

} // namespace scribeline::desktop
