// The font and text value classes drawing on a real headless desktop window.
#include "attributes/clsTextEx.hpp"
#include "hosts/desktop/headless_desktop.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace scribeline {
namespace {

TEST(StdFontEx, PropertiesEditTheFont) {
    clsStdFontEx font;
    EXPECT_EQ(font.Name(), Font{}.face);
    font.SetName("Arial");
    font.SetSize(12);
    font.SetBold(true);
    font.SetItalic(true);
    font.SetUnderLine(true);
    font.SetStrikethrough(true);
    font.SetCharset(161);
    font.SetColour(rgb(255, 0, 0));
    const Font& f = font.StdFont();
    EXPECT_EQ(f.face, "Arial");
    EXPECT_DOUBLE_EQ(f.size, 12.0);
    EXPECT_TRUE(f.bold && f.italic && f.underline && f.strikethrough);
    EXPECT_EQ(f.charset, 161);
    EXPECT_EQ(font.Colour(), rgb(255, 0, 0));
    clsStdFontEx copy = font;
    EXPECT_EQ(copy, font);
    copy.SetBold(false);
    EXPECT_FALSE(copy == font);
}

TEST(StdFontEx, RefusesSizesThatAreNotPositive) {
    clsStdFontEx font;
    for (double size : {0.0, -3.0, std::nan("")}) {
        EXPECT_THROW(font.SetSize(size), std::invalid_argument) << size;
        Font f;
        f.size = size;
        EXPECT_THROW(font.SetStdFont(f), std::invalid_argument) << size;
    }
    EXPECT_DOUBLE_EQ(font.Size(), Font{}.size);
}

TEST(TextEx, DrawsIntoItsRectangleWithItsFont) {
    desktop::HeadlessDesktop desk{desktop::DesktopOptions{}};
    WindowSpec canvas;
    canvas.title = "canvas";
    canvas.rect = {0, 0, 200, 100};
    const WindowHandle window = desk.CreateWindow(canvas, nullptr);
    clsTextEx text;
    text.RectLeft = 40;
    text.RectTop = 30;
    text.RectRight = 10; // given right to left: drawn normalised
    text.RectBottom = 50;
    text.AllignmentFlags = dt::Center | dt::VCenter | dt::SingleLine;
    text.Font.SetName("Tahoma");
    text.Font.SetColour(rgb(0, 0, 255));
    text.Draw(desk, window);
    text.Text = "1,234.5 m";
    text.Draw(desk, window);
    const auto& calls = desk.DrawCalls(window);
    ASSERT_EQ(calls.size(), 1u); // an empty text draws nothing
    EXPECT_EQ(calls[0].kind, desktop::DrawKind::Text);
    EXPECT_EQ(calls[0].text, "1,234.5 m");
    EXPECT_EQ(calls[0].rect, (Rect{10, 30, 40, 50}));
    EXPECT_EQ(calls[0].font.face, "Tahoma");
    EXPECT_EQ(calls[0].fill, rgb(0, 0, 255));
    EXPECT_EQ(calls[0].flags, dt::Center | dt::VCenter | dt::SingleLine);
}

} // namespace
} // namespace scribeline
