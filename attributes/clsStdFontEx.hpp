// clsStdFontEx: a font description for drawing text (face, size in points, styles, character
// set) with the colour to draw in. A plain value.
#pragma once

#include "platform/desktop.hpp"

#include <stdexcept>
#include <string>

namespace scribeline {

class clsStdFontEx {
public:
    [[nodiscard]] const Font& StdFont() const { return font_; }
    void SetStdFont(const Font& font) {
        checkSize(font.size);
        font_ = font;
    }
    // 0x00BBGGRR, as rgb() makes it.
    [[nodiscard]] scribeline::Colour Colour() const { return colour_; }
    void SetColour(scribeline::Colour colour) { colour_ = colour; }
    [[nodiscard]] const std::string& Name() const { return font_.face; }
    void SetName(const std::string& face) { font_.face = face; }
    // Points; a size that is not above 0 is refused with std::invalid_argument.
    [[nodiscard]] double Size() const { return font_.size; }
    void SetSize(double points) {
        checkSize(points);
        font_.size = points;
    }
    [[nodiscard]] bool Bold() const { return font_.bold; }
    void SetBold(bool on) { font_.bold = on; }
    [[nodiscard]] bool Italic() const { return font_.italic; }
    void SetItalic(bool on) { font_.italic = on; }
    [[nodiscard]] bool UnderLine() const { return font_.underline; }
    void SetUnderLine(bool on) { font_.underline = on; }
    [[nodiscard]] bool Strikethrough() const { return font_.strikethrough; }
    void SetStrikethrough(bool on) { font_.strikethrough = on; }
    [[nodiscard]] int Charset() const { return font_.charset; }
    void SetCharset(int charset) { font_.charset = charset; }

    friend bool operator==(const clsStdFontEx& a, const clsStdFontEx& b) {
        const Font& f = a.font_;
        const Font& g = b.font_;
        return a.colour_ == b.colour_ && f.face == g.face && f.size == g.size && f.bold == g.bold &&
               f.italic == g.italic && f.underline == g.underline &&
               f.strikethrough == g.strikethrough && f.charset == g.charset;
    }

private:
    static void checkSize(double points) {
        if (!(points > 0.0)) {
            throw std::invalid_argument("A font size must be above 0 points.");
        }
    }
    Font font_;
    scribeline::Colour colour_ = rgb(0, 0, 0);
};

} // namespace scribeline
