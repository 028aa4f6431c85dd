// ScreenShot: capturing a window or the desktop, the bitmap file, and the window's shot
// command.
#include "capture/ScreenShot.hpp"

#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace scribeline::capture {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::int32_t kPixelsPerMetre96Dpi = 3780;

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xFF));
    }
}

std::string twoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

} // namespace

std::optional<Bitmap> CaptureWindowPicture(IDesktop& desktop, WindowHandle window,
                                           bool playAnimation) {
    const auto rect = desktop.GetWindowRect(window);
    if (!rect) {
        return std::nullopt;
    }
    desktop.SetForegroundWindow(window);
    desktop.DoEvents();
    auto picture = desktop.CaptureWindow(window);
    if (!picture) {
        return std::nullopt;
    }
    if (playAnimation) {
        // Drawn after the copy, so the frame is not in the picture; the second drawing of the
        // inverting pen takes it away again.
        const Rect frame{0, 0, rect->width(), rect->height()};
        const Pen pen{rgb(255, 255, 0), kFrameWidth, RasterOp::Invert};
        desktop.DrawRectangle(window, frame, pen);
        desktop.Sleep(kFrameMs);
        desktop.DrawRectangle(window, frame, pen);
    }
    return picture;
}

Bitmap CaptureDesktopPicture(IDesktop& desktop) {
    return desktop.CaptureDesktop();
}

std::string ScreenShotStamp(const DateTime& when) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", when.year);
    return std::string(year) + twoDigits(when.month) + twoDigits(when.day) + "-" +
           twoDigits(when.hour) + twoDigits(when.minute) + twoDigits(when.second);
}

std::filesystem::path ScreenShotPath(const std::string& folder, const DateTime& when) {
    return std::filesystem::path(folder) / ("Scribeline-" + ScreenShotStamp(when) + ".bmp");
}

std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture) {
    if (picture.width <= 0 || picture.height <= 0) {
        throw std::invalid_argument("The picture has no pixels.");
    }
    const auto width = static_cast<std::uint64_t>(picture.width);
    const auto height = static_cast<std::uint64_t>(picture.height);
    const std::uint64_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint64_t imageBytes = rowBytes * height;
    const std::uint64_t fileBytes = kFileHeaderSize + kInfoHeaderSize + imageBytes;
    if (fileBytes > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("The picture is too large for a bitmap file.");
    }
    if (picture.pixels.size() != width * height) {
        throw std::invalid_argument("The picture's pixels do not match its size.");
    }

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(fileBytes));
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<std::uint32_t>(fileBytes));
    put16(out, 0);
    put16(out, 0);
    put32(out, kFileHeaderSize + kInfoHeaderSize);
    // BITMAPINFOHEADER: a positive height stores the rows bottom up.
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(picture.width));
    put32(out, static_cast<std::uint32_t>(picture.height));
    put16(out, 1);  // planes
    put16(out, 24); // bits per pixel
    put32(out, 0);  // BI_RGB
    put32(out, static_cast<std::uint32_t>(imageBytes));
    put32(out, static_cast<std::uint32_t>(kPixelsPerMetre96Dpi));
    put32(out, static_cast<std::uint32_t>(kPixelsPerMetre96Dpi));
    put32(out, 0); // colours used
    put32(out, 0); // important colours

    const std::size_t padding = static_cast<std::size_t>(rowBytes - width * 3);
    for (std::uint64_t row = height; row-- > 0;) {
        const std::uint32_t* pixel = picture.pixels.data() + row * width;
        for (std::uint64_t x = 0; x < width; ++x, ++pixel) {
            out.push_back(static_cast<std::uint8_t>(*pixel & 0xFF));         // blue
            out.push_back(static_cast<std::uint8_t>((*pixel >> 8) & 0xFF));  // green
            out.push_back(static_cast<std::uint8_t>((*pixel >> 16) & 0xFF)); // red
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}

void SaveBmp(const std::filesystem::path& path, const Bitmap& picture) {
    const std::vector<std::uint8_t> bytes = EncodeBmp(picture);
    std::filesystem::path partial = path;
    partial += ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            throw std::runtime_error("The screen shot could not be written to " + path.string() +
                                     ".");
        }
    }
    std::error_code ec;
    std::filesystem::rename(partial, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw std::runtime_error("The screen shot could not be saved as " + path.string() + ": " +
                                 ec.message() + ".");
    }
}

// ---- the window's shot command ---------------------------------------------------------------

ScreenShots::ScreenShots(const ScreenShotContext& context) : cx_(context) {}

std::optional<Bitmap> ScreenShots::shootGlobe() {
    auto ge = cx_.globe.CreateApplication();
    const WindowHandle render = ge->GetRenderHwnd();
    const WindowHandle main = ge->GetMainHwnd();
    cx_.desktop.SetForegroundWindow(main);
    return CaptureWindowPicture(cx_.desktop, render,
                                cx_.options.Checked("PlayAnimationWhenCapturingScreenShot"));
}

std::optional<Bitmap> ScreenShots::shootMapView() {
    IDesktop& desktop = cx_.desktop;
    const WindowHandle mapView =
        desktop.FindWindowEx(cx_.map.hWnd(), kNoWindow, std::string(kMapViewClass), std::string());
    const bool animate = cx_.options.Checked("PlayAnimationWhenCapturingScreenShot");
    // The digitizer window steps out of the picture and comes back whatever happens.
    const controls::Bounds place = cx_.window.FormBounds();
    cx_.window.MoveForm(place.left, -place.height);
    std::optional<Bitmap> picture;
    try {
        desktop.DoEvents();
        picture = CaptureWindowPicture(desktop, mapView, animate);
    } catch (...) {
        cx_.window.MoveForm(place.left, place.top);
        throw;
    }
    cx_.window.MoveForm(place.left, place.top);
    return picture;
}

void ScreenShots::TakeScreenShot(int target) {
    std::optional<Bitmap> picture;
    const char* what = "";
    switch (target) {
    case kTargetMapView:
        what = "the map view";
        picture = shootMapView();
        break;
    case kTargetGlobeRenderView:
        what = "the Google Earth render view";
        picture = shootGlobe();
        break;
    case kTargetDesktop:
        what = "the desktop";
        picture = CaptureDesktopPicture(cx_.desktop);
        break;
    default:
        throw std::invalid_argument("There is no screen shot target " + std::to_string(target) +
                                    ".");
    }
    if (!picture || picture->width <= 0 || picture->height <= 0) {
        throw std::runtime_error(std::string("No picture could be taken of ") + what +
                                 ": its window has no place on the screen. Nothing was saved.");
    }
    auto shown = std::make_shared<const Bitmap>(std::move(*picture));
    cx_.ctl.pictScreenShot.SetPicture(shown);
    const auto path = ScreenShotPath(cx_.desktop.GetModuleFolder(), cx_.desktop.Now());
    SaveBmp(path, *shown);
    lastFile_ = path;
}

} // namespace scribeline::capture
