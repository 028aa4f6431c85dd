#include "attributes/clsTextEx.hpp"

#include <algorithm>

namespace scribeline {

void clsTextEx::Draw(IDesktop& desktop, WindowHandle window) const {
    if (Text.empty()) {
        return;
    }
    const Rect rect{std::min(RectLeft, RectRight), std::min(RectTop, RectBottom),
                    std::max(RectLeft, RectRight), std::max(RectTop, RectBottom)};
    desktop.DrawText(window, Text, rect, Font.StdFont(), Font.Colour(), AllignmentFlags);
}

} // namespace scribeline
