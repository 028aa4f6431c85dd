// Screen shots: the bitmap file read back by GDAL's BMP driver, the file name, and the shots of
// the map view, the globe's render view and the desktop taken through the window's keys and
// its camera image on the headless desktop with the simulated globe and the map host.
#include "capture/ScreenShot.hpp"
#include "tests/views/views_fixture.hpp"

#include <gdal.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <unistd.h>

namespace scribeline::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// The picture as GDAL reads the file (0x00RRGGBB, rows top to bottom); empty when GDAL cannot
// open it as a BMP.
Bitmap ReadWithGdal(const fs::path& path) {
    GDALAllRegister();
    GDALDatasetH dataset = GDALOpen(path.string().c_str(), GA_ReadOnly);
    Bitmap out;
    if (dataset == nullptr) {
        return out;
    }
    const char* driver = GDALGetDriverShortName(GDALGetDatasetDriver(dataset));
    if (std::strcmp(driver, "BMP") == 0 && GDALGetRasterCount(dataset) == 3) {
        out.width = GDALGetRasterXSize(dataset);
        out.height = GDALGetRasterYSize(dataset);
        const auto count =
            static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height);
        out.pixels.assign(count, 0);
        std::vector<std::uint8_t> band(count);
        for (int b = 1; b <= 3; ++b) {
            if (GDALRasterIO(GDALGetRasterBand(dataset, b), GF_Read, 0, 0, out.width, out.height,
                             band.data(), out.width, out.height, GDT_Byte, 0, 0) != CE_None) {
                GDALClose(dataset);
                return {};
            }
            const int shift = 8 * (3 - b); // band 1 red
            for (std::size_t i = 0; i < count; ++i) {
                out.pixels[i] |= static_cast<std::uint32_t>(band[i]) << shift;
            }
        }
    }
    GDALClose(dataset);
    return out;
}

Bitmap Pattern(int width, int height) {
    Bitmap b;
    b.width = width;
    b.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            b.pixels.push_back(static_cast<std::uint32_t>((x * 40) << 16 | (y * 70) << 8 | 0x5A));
        }
    }
    return b;
}

class TempDir {
public:
    TempDir()
        : path_(fs::temp_directory_path() / ("scribeline-capture-" + std::to_string(::getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// ---- the file -------------------------------------------------------------------------------

TEST(BitmapFile, HeaderSizesAndPaddedBottomUpRowsReadBackByGdal) {
    const Bitmap picture = Pattern(3, 2); // 9 bytes a row, padded to 12
    const auto bytes = capture::EncodeBmp(picture);
    ASSERT_EQ(bytes.size(), 14u + 40u + 2u * 12u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(U32(bytes, 2), bytes.size());
    EXPECT_EQ(U32(bytes, 10), 54u) << "pixels follow the headers";
    EXPECT_EQ(U32(bytes, 14), 40u);
    EXPECT_EQ(U32(bytes, 18), 3u);
    EXPECT_EQ(U32(bytes, 22), 2u) << "positive height: bottom-up rows";
    EXPECT_EQ(U16(bytes, 26), 1);
    EXPECT_EQ(U16(bytes, 28), 24);
    EXPECT_EQ(U32(bytes, 30), 0u) << "uncompressed";
    EXPECT_EQ(U32(bytes, 34), 24u);
    // The first stored row is the bottom one, blue green red.
    EXPECT_EQ(bytes[54], 0x5A);
    EXPECT_EQ(bytes[55], 70);
    EXPECT_EQ(bytes[56], 0);
    EXPECT_EQ(bytes[63], 0) << "padding";

    TempDir dir;
    const fs::path file = dir.path() / "pattern.bmp";
    capture::SaveBmp(file, picture);
    EXPECT_EQ(ReadBytes(file), bytes);
    const Bitmap back = ReadWithGdal(file);
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.pixels, picture.pixels);
    EXPECT_FALSE(fs::exists(dir.path() / "pattern.bmp.part"));
}

TEST(BitmapFile, PicturesWithoutPixelsOrWithTheWrongCountAreRefused) {
    EXPECT_THROW((void)capture::EncodeBmp(Bitmap{}), std::invalid_argument);
    Bitmap wrong = Pattern(4, 4);
    wrong.pixels.pop_back();
    EXPECT_THROW((void)capture::EncodeBmp(wrong), std::invalid_argument);
    Bitmap huge;
    huge.width = 40000;
    huge.height = 40000; // 4.8 GB of pixel data: beyond the format's 32-bit sizes
    EXPECT_THROW((void)capture::EncodeBmp(huge), std::length_error);
}

TEST(BitmapFile, UnwritableFolderFailsAndKeepsAnEarlierFileWhole) {
    TempDir dir;
    EXPECT_THROW(capture::SaveBmp(dir.path() / "missing" / "x.bmp", Pattern(2, 2)),
                 std::runtime_error);
    const fs::path file = dir.path() / "kept.bmp";
    capture::SaveBmp(file, Pattern(2, 2));
    const auto before = ReadBytes(file);
    EXPECT_THROW(capture::SaveBmp(file, Bitmap{}), std::invalid_argument);
    EXPECT_EQ(ReadBytes(file), before);
}

TEST(BitmapFile, NameIsTheDateAndTimeWithLeadingZeros) {
    const DateTime when{2009, 3, 14, 9, 5, 7};
    EXPECT_EQ(capture::ScreenShotStamp(when), "20090314-090507");
    EXPECT_EQ(capture::ScreenShotPath("/opt/scribeline", when),
              fs::path("/opt/scribeline") / "Scribeline-20090314-090507.bmp");
    EXPECT_EQ(capture::ScreenShotStamp({2026, 12, 31, 23, 59, 59}), "20261231-235959");
}

// ---- shots through the window ---------------------------------------------------------------

class ShotTest : public GlobeViewsTest {
protected:
    void Key(int virtualKey) {
        desk.SetForegroundWindow(w().hWnd());
        KeyEvent key;
        key.virtualKey = virtualKey;
        key.control = true;
        desk.InjectKey(key);
    }
    fs::path Expected() { return capture::ScreenShotPath(desk.GetModuleFolder(), desk.Now()); }
    std::vector<fs::path> Shots() {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(desk.GetModuleFolder())) {
            if (e.path().extension() == ".bmp") {
                out.push_back(e.path());
            }
        }
        return out;
    }
    void Animation(bool on) {
        w().Options().SetChecked("PlayAnimationWhenCapturingScreenShot", on);
    }
    int InvertFrames(WindowHandle target) {
        int n = 0;
        for (const auto& call : desk.DrawCalls(target)) {
            if (call.kind == desktop::DrawKind::Rectangle && call.pen.op == RasterOp::Invert &&
                call.pen.width == 7 && call.pen.colour == rgb(255, 255, 0)) {
                ++n;
            }
        }
        return n;
    }
};

TEST_F(ShotTest, CtrlF8SavesTheRenderViewAsABitmapWithoutTheFlashingFrame) {
    LookAt(46.5, 10.5, 400000.0);
    const fs::path file = Expected();
    const auto before = desk.TickCount();
    Key(vk::F8);
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(fs::file_size(file), 54u + 800u * 3u * 500u);
    const Bitmap saved = ReadWithGdal(file);
    ASSERT_EQ(saved.width, 800);
    ASSERT_EQ(saved.height, 500);
    ASSERT_TRUE(w().ctl.pictScreenShot.Picture());
    EXPECT_EQ(saved.pixels, w().ctl.pictScreenShot.Picture()->pixels);
    // The frame flashed (drawn twice with the inverting pen) and left the view as it was.
    EXPECT_EQ(InvertFrames(earth->RenderWindow()), 2);
    EXPECT_EQ(desk.TickCount() - before, 100);
    const auto now = desk.CaptureWindow(earth->RenderWindow());
    ASSERT_TRUE(now);
    EXPECT_EQ(now->pixels, saved.pixels);
    // A real view: land and sea differ.
    std::set<std::uint32_t> colours(saved.pixels.begin(), saved.pixels.end());
    EXPECT_GT(colours.size(), 100u);
}

TEST_F(ShotTest, WithoutTheAnimationNoFrameIsDrawnAndNoTimePasses) {
    Animation(false);
    const auto before = desk.TickCount();
    Key(vk::F8);
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_EQ(InvertFrames(earth->RenderWindow()), 0);
    EXPECT_EQ(desk.TickCount(), before);
    EXPECT_EQ(Shots().size(), 1u);
}

TEST_F(ShotTest, CtrlF7ShotOfTheMapViewWithTheDigitizerWindowOutOfThePicture) {
    Animation(false);
    const controls::Bounds place = w().FormBounds();
    std::optional<Rect> formDuringCapture;
    const WindowHandle mapWindow = host->MapViewWindow();
    desk.SetRenderer(mapWindow, [&](Size size) {
        formDuringCapture = desk.GetWindowRect(w().hWnd());
        return gis::ToBitmap(host->RenderMapView(size));
    });
    Key(vk::F7);
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    ASSERT_TRUE(formDuringCapture);
    EXPECT_EQ(formDuringCapture->bottom, 0) << "moved up by its own height";
    EXPECT_EQ(w().FormBounds(), place) << "and back afterwards";
    const Bitmap saved = ReadWithGdal(Expected());
    EXPECT_EQ(saved.width, 1032);
    EXPECT_EQ(saved.height, 796);
}

TEST_F(ShotTest, CtrlF9AndTheCameraImageShootTheDesktop) {
    Animation(false);
    Key(vk::F9);
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    Bitmap saved = ReadWithGdal(Expected());
    EXPECT_EQ(saved.width, 1920);
    EXPECT_EQ(saved.height, 1080);
    fs::remove(Expected());

    desk.AdvanceTime(1000);
    EXPECT_EQ(w().ctl.imgShot.PictureKey(), "camera");
    w().ctl.optLocationReference.UserSelect(2);
    w().ctl.imgShot.UserClick();
    ASSERT_TRUE(Failures().empty()) << Failures().front();
    saved = ReadWithGdal(Expected());
    EXPECT_EQ(saved.width, 1920);
    EXPECT_EQ(Shots().size(), 1u);
}

TEST_F(ShotTest, ShotsInTheSameSecondOverwriteAndTheNextSecondAddsAFile) {
    Animation(false);
    Key(vk::F9);
    Key(vk::F8);
    EXPECT_EQ(Shots().size(), 1u);
    EXPECT_EQ(ReadWithGdal(Expected()).width, 800) << "the second shot replaced the first";
    desk.AdvanceTime(1000);
    Key(vk::F8);
    EXPECT_EQ(Shots().size(), 2u);
}

TEST_F(ShotTest, MapViewThatCannotBeFoundSavesNothingSaysSoAndTheWindowComesBack) {
    const controls::Bounds place = w().FormBounds();
    desk.DestroyWindow(host->MapViewWindow());
    Key(vk::F7);
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("Ctrl+F7"), std::string::npos) << Failures()[0];
    EXPECT_NE(Failures()[0].find("Nothing was saved"), std::string::npos) << Failures()[0];
    EXPECT_TRUE(Shots().empty());
    EXPECT_FALSE(w().ctl.pictScreenShot.Picture());
    EXPECT_EQ(w().FormBounds(), place);
}

TEST_F(ShotTest, UnknownTargetIsAnError) {
    EXPECT_THROW(w().ScreenShots().TakeScreenShot(3), std::invalid_argument);
    EXPECT_THROW(w().ScreenShots().TakeScreenShot(-1), std::invalid_argument);
}

TEST_F(LinearViewsTest, RenderWindowWithoutRectangleGivesNoPicture) {
    globe.renderAnswer = 9999;
    KeyEvent key;
    key.virtualKey = vk::F8;
    key.control = true;
    desk.SetForegroundWindow(w().hWnd());
    desk.InjectKey(key);
    ASSERT_EQ(Failures().size(), 1u);
    EXPECT_NE(Failures()[0].find("Google Earth render view"), std::string::npos) << Failures()[0];
}

TEST(ShotFolder, UnwritableModuleFolderIsReported) {
    stack::HeadlessStackOptions options;
    options.desktop.moduleFolder = "/nonexistent/scribeline";
    stack::HeadlessStack hosts(options);
    desktop::HeadlessDesktop& desk = hosts.Desktop();
    ProcessState process;
    frmGE2Arc digitizer(Environment{desk, hosts.GlobeConnector()}, process, DefaultSubsystems());
    digitizer.SetApplication(hosts.MapHost());
    digitizer.Load();
    digitizer.Show(false);
    desk.SetForegroundWindow(digitizer.hWnd());
    KeyEvent key;
    key.virtualKey = vk::F9;
    key.control = true;
    desk.InjectKey(key);
    ASSERT_EQ(desk.MessageBoxes().size(), 1u);
    EXPECT_NE(desk.MessageBoxes()[0].text.find("/nonexistent/scribeline"), std::string::npos)
        << desk.MessageBoxes()[0].text;
}

} // namespace
} // namespace scribeline::testing
