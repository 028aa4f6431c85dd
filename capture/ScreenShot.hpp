// ScreenShot: screen shots of the map view, the globe's render view or the whole desktop,
// shown in the window's picture box and saved as a Windows bitmap file in the extension's
// folder, named "Scribeline-" + yyyymmdd-hhnnss + ".bmp" (a second shot within the same
// second replaces the first).
//
// Failures: a failing globe, map host or desktop call ends the shot (PortError passes
// through); a target whose window has no rectangle gives no picture and nothing is saved,
// which the shot reports as a failure (std::runtime_error), as it does a file that cannot be
// written.
#pragma once

#include "command/subsystems.hpp"
#include "platform/desktop.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace scribeline {

namespace capture {

// Targets of a shot.
inline constexpr int kTargetMapView = 0;
inline constexpr int kTargetGlobeRenderView = 1;
inline constexpr int kTargetDesktop = 2;

inline constexpr const char* kMapViewClass = "AfxFrameOrView70u";
// The flashing frame around a captured window: a yellow outline this wide, shown this long.
inline constexpr int kFrameWidth = 7;
inline constexpr int kFrameMs = 100;

// The picture of a window's whole rectangle, copied after the window was brought to the
// foreground and pending messages ran; nothing when the window has no rectangle. With
// `playAnimation` a frame flashes around the window after the copy (drawn twice with an
// inverting pen, 100 ms apart, which leaves the window as it was). The desktop is borrowed for
// the call.
[[nodiscard]] std::optional<Bitmap> CaptureWindowPicture(IDesktop& desktop, WindowHandle window,
                                                         bool playAnimation);
// The picture of the whole screen.
[[nodiscard]] Bitmap CaptureDesktopPicture(IDesktop& desktop);

// "yyyymmdd-hhnnss" with leading zeros.
[[nodiscard]] std::string ScreenShotStamp(const DateTime& when);
// `folder` + "Scribeline-" + stamp + ".bmp", with the platform's separator between.
[[nodiscard]] std::filesystem::path ScreenShotPath(const std::string& folder, const DateTime& when);

// A bitmap file of the picture: BITMAPFILEHEADER, BITMAPINFOHEADER, 24-bit BGR rows bottom up,
// each padded to four bytes, 96 dpi. Raises std::invalid_argument for a picture without pixels
// or whose pixel count does not match its size, std::length_error for one too large for the
// format's 32-bit sizes (checked first).
[[nodiscard]] std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture);
// Writes EncodeBmp(picture) to `path` through a temporary file in the same folder, so a
// failed write leaves any earlier file whole. Raises std::runtime_error naming the path when
// the file cannot be written.
void SaveBmp(const std::filesystem::path& path, const Bitmap& picture);

// The shot command of the window. One lives per load of the window, which owns it; its context
// outlives it.
class ScreenShots final : public IScreenShots {
public:
    explicit ScreenShots(const ScreenShotContext& context);
    // Takes one shot of target 0, 1 or 2 (std::invalid_argument for any other), puts it into
    // pictScreenShot and saves it.
    void TakeScreenShot(int target) override;
    // The file the last shot was saved to; empty before the first.
    [[nodiscard]] const std::filesystem::path& LastFile() const { return lastFile_; }

private:
    std::optional<Bitmap> shootMapView();
    std::optional<Bitmap> shootGlobe();

    ScreenShotContext cx_;
    std::filesystem::path lastFile_;
};

} // namespace capture
} // namespace scribeline
