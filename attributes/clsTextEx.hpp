// clsTextEx: a text to draw into a rectangle of a window with a chosen font and placement.
// Units: the rectangle is in client pixels of the window it is drawn on.
#pragma once

#include "attributes/clsStdFontEx.hpp"
#include "platform/desktop.hpp"

#include <string>

namespace scribeline {

class clsTextEx {
public:
    int RectLeft = 0;
    int RectTop = 0;
    int RectRight = 0;
    int RectBottom = 0;
    // dt:: placement flags (dt::Center | dt::VCenter | dt::SingleLine ...).
    unsigned AllignmentFlags = dt::Left;
    std::string Text;
    clsStdFontEx Font;

    [[nodiscard]] Rect GetRect() const { return Rect{RectLeft, RectTop, RectRight, RectBottom}; }
    // Draws the text on `window` (the desktop is borrowed for the call). A rectangle with its
    // right left of its left or its bottom above its top is drawn normalised; an empty text
    // draws nothing.
    void Draw(IDesktop& desktop, WindowHandle window) const;
};

} // namespace scribeline
