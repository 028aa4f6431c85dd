// Plain value types shared by the three ports: window handles, points, rectangles, colours.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace scribeline {

// A window of the desktop. 0 is "no window". Handles are never reused within one desktop.
using WindowHandle = std::uint32_t;
inline constexpr WindowHandle kNoWindow = 0;

// Pixel position; screen or client coordinates depending on the call (documented there).
struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Pixel rectangle; right and bottom are exclusive, as on the platform the design targets.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
    [[nodiscard]] bool contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    // Strictly inside: the border itself does not count.
    [[nodiscard]] bool containsStrictly(Point p) const {
        return p.x > left && p.x < right && p.y > top && p.y < bottom;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// 0x00BBGGRR like the platform's COLORREF, so RGB(255, 0, 0) is 0x0000FF.
using Colour = std::uint32_t;
constexpr Colour rgb(int red, int green, int blue) {
    return static_cast<Colour>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int redOf(Colour c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(Colour c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int blueOf(Colour c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// A failed call of an outside application (globe, map host or desktop). Raised by the port
// implementations; the core lets it end the action under way.
class PortError : public std::runtime_error {
public:
    PortError(std::string operation, const std::string& reason)
        : std::runtime_error(operation + ": " + reason), operation_(std::move(operation)) {}
    [[nodiscard]] const std::string& operation() const { return operation_; }

private:
    std::string operation_;
};

} // namespace scribeline
