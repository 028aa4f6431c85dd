#include "tests/hosts/qtdesktop/qt_support.hpp"

#include <QApplication>

#include <gtest/gtest.h>

namespace scribeline::qtdesktop {
namespace {

std::uint32_t pixel(const Bitmap& b, int x, int y) {
    return b.pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(b.width) +
                       static_cast<std::size_t>(x));
}

const Pen kRed{rgb(255, 0, 0), 1, RasterOp::Copy};

TEST(QtDrawing, ARepaintOfTheSamePictureKeepsTheDrawing) {
    QtDesktop d;
    const WindowHandle w =
        d.CreateWindow({"Render", "", kNoWindow, {0, 0, 120, 80}, true}, nullptr);
    d.DrawLine(w, {0, 20}, {100, 20}, kRed);
    d.Widget(w)->update();
    d.Widget(w)->repaint();
    QApplication::processEvents();
    EXPECT_EQ(pixel(*d.CaptureWindow(w), 50, 20), 0xFF0000u);
    EXPECT_EQ(d.OverlayItems(w), 1);
    d.Repaint(w);
    EXPECT_EQ(d.OverlayItems(w), 0) << "the owner said the content changed";
}

TEST(QtDrawing, AnInvertedPairCancelsOut) {
    QtDesktop d;
    const WindowHandle w =
        d.CreateWindow({"Render", "", kNoWindow, {0, 0, 120, 80}, true}, nullptr);
    const Pen invert{0, 1, RasterOp::Invert};
    d.DrawLine(w, {0, 10}, {50, 10}, invert);
    d.DrawLine(w, {0, 30}, {50, 30}, invert);
    d.DrawLine(w, {0, 10}, {50, 10}, invert);
    EXPECT_EQ(d.OverlayItems(w), 1) << "rubber bands do not pile up";
    d.DrawLine(w, {0, 10}, {50, 10}, kRed);
    d.DrawLine(w, {0, 10}, {50, 10}, kRed);
    EXPECT_EQ(d.OverlayItems(w), 3) << "copied lines are not undone by drawing them again";
}

TEST(QtDrawing, DrawingOnAHostWidgetStaysAboveChildrenAddedLater) {
    QtDesktop d;
    QWidget host;
    host.setGeometry(0, 0, 200, 100);
    host.show();
    const WindowHandle h = d.RegisterForeign(&host, "Canvas", "");
    d.DrawLine(h, {0, 50}, {199, 50}, kRed);
    auto* cover = new QWidget(&host);
    cover->setAutoFillBackground(true);
    cover->setGeometry(0, 0, 200, 100);
    cover->show();
    QApplication::processEvents();
    EXPECT_EQ(pixel(*d.CaptureWindow(h), 100, 50), 0xFF0000u);
    host.resize(300, 120);
    QApplication::processEvents();
    d.DrawLine(h, {250, 110}, {290, 110}, kRed);
    EXPECT_EQ(pixel(*d.CaptureWindow(h), 270, 110), 0xFF0000u) << "the overlay grew with it";
}

TEST(QtDrawing, DrawingOnTheDesktopGoesOverTheMainWindow) {
    QtDesktop d;
    const WindowHandle main =
        d.CreateWindow({"Main", "", kNoWindow, {100, 100, 400, 300}, true}, nullptr);
    d.SetMainWindow(main);
    const Point origin = *d.ClientToScreen(main, {0, 0});
    d.DrawLine(d.GetDesktopWindow(), {origin.x + 10, origin.y + 40},
               {origin.x + 100, origin.y + 40}, kRed);
    EXPECT_EQ(d.OverlayItems(main), 1);
    EXPECT_EQ(pixel(*d.CaptureWindow(main), 50, 40), 0xFF0000u)
        << "screen coordinates land on the main window's client area";
    d.Repaint(d.GetDesktopWindow());
    EXPECT_EQ(d.OverlayItems(main), 0);
}

TEST(QtDrawing, ARendererPaintsTheWindowUnderTheDrawing) {
    QtDesktop d;
    const WindowHandle w = d.CreateWindow({"Render", "", kNoWindow, {0, 0, 60, 40}, true}, nullptr);
    Size asked;
    d.SetRenderer(w, [&](Size s) {
        asked = s;
        Bitmap b{s.width, s.height, {}};
        b.pixels.assign(static_cast<std::size_t>(s.width * s.height), 0x00336699u);
        return b;
    });
    d.DrawLine(w, {0, 5}, {50, 5}, kRed);
    const Bitmap shot = *d.CaptureWindow(w);
    const Rect client = *d.GetClientRect(w);
    EXPECT_EQ(asked, (Size{client.width(), client.height()}));
    EXPECT_EQ(pixel(shot, 30, 20), 0x336699u);
    EXPECT_EQ(pixel(shot, 30, 5), 0xFF0000u);
}

TEST(QtDrawing, TextIsMeasuredAndDrawnInTheGivenFont) {
    QtDesktop d;
    Font bold;
    bold.bold = true;
    bold.size = 12;
    const Size big = d.MeasureText("Scribeline", bold);
    const Size small = d.MeasureText("Scribeline", Font{});
    EXPECT_GT(big.width, small.width);
    EXPECT_GT(big.height, small.height);
    const WindowHandle w = d.CreateWindow({"Text", "", kNoWindow, {0, 0, 200, 60}, true}, nullptr);
    const Bitmap clean = *d.CaptureWindow(w);
    d.DrawText(w, "Scribeline", {0, 0, 200, 60}, bold, rgb(0, 0, 0), dt::Center | dt::VCenter);
    EXPECT_NE(d.CaptureWindow(w)->pixels, clean.pixels);
}

} // namespace
} // namespace scribeline::qtdesktop
