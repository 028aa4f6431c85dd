// The headless hosts composed once: what the runner, the fixtures and the benches start on.
#include "hosts/stack/headless_stack.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace scribeline::stack {
namespace {

namespace fs = std::filesystem;

// Level ground 100 m up: nothing to read from disk, the same picture every time.
class Plain final : public globe::ElevationModel {
public:
    double Elevation(double, double) const override { return 100.0; }
    double MinElevation() const override { return 100.0; }
    double MaxElevation() const override { return 100.0; }
    double MaxSlope() const override { return 0.0; }
    std::string Description() const override { return "plain"; }
};

HeadlessStackOptions PlainOptions() {
    HeadlessStackOptions o;
    o.globe->terrain = std::make_shared<Plain>();
    o.globe->camera = globe::CameraState{10.0, 20.0, 0.0, 1, 50000.0, 0.0, 0.0};
    return o;
}

// A folder of this process's own: other checkouts may run the same test at once.
fs::path OwnFolder(const std::string& name) {
    return fs::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
}

bool OnCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

TEST(HeadlessStack, ComposesTheGlobeAndTheMapHostOnOneDesktop) {
    HeadlessStack stack(PlainOptions());
    desktop::HeadlessDesktop& desk = stack.Desktop();
    ASSERT_TRUE(stack.HasGlobe());
    globe::SimulatedGlobe& earth = stack.Globe();
    const WindowHandle render = earth.RenderWindow();
    EXPECT_TRUE(desk.IsWindow(earth.MainWindow()));
    EXPECT_DOUBLE_EQ(earth.Camera().FocusPointLatitude, 10.0) << "the globe options reach it";
    EXPECT_EQ(stack.MapHost()->Document()->FocusMap()->LayerCount(), 0) << "an empty map";

    // The desktop's capture of the render window is the globe's picture.
    const auto shot = desk.CaptureWindow(render);
    ASSERT_TRUE(shot.has_value());
    const Bitmap picture = earth.RenderBitmap(earth.RenderSize());
    EXPECT_EQ(shot->width, picture.width);
    EXPECT_EQ(shot->pixels, picture.pixels);
    // What the core draws on the render window stays until the globe's view changes.
    desk.DrawLine(render, {10, 10}, {100, 100}, Pen{});
    ASSERT_EQ(desk.DrawCalls(render).size(), 1u);
    stack.GlobeConnector().CreateApplication()->GetCamera(1);
    EXPECT_EQ(desk.DrawCalls(render).size(), 1u) << "a read is no repaint";
    stack.GlobeConnector().CreateApplication()->SetCamera(
        ICameraInfoGE{11.0, 20.0, 0.0, 1, 50000.0, 0.0, 0.0}, 5.0);
    EXPECT_TRUE(desk.DrawCalls(render).empty());

    // The map view is captured from the map host's own picture.
    EXPECT_TRUE(desk.CaptureWindow(stack.MapHost()->MapViewWindow()).has_value());
}

TEST(HeadlessStack, StartsWithoutAGlobeWhenATestBringsItsOwn) {
    HeadlessStackOptions o;
    o.globe.reset();
    HeadlessStack stack(o);
    EXPECT_FALSE(stack.HasGlobe());
    EXPECT_THROW((void)stack.Globe(), std::logic_error);
    EXPECT_THROW((void)stack.GlobeConnector(), std::logic_error);
    EXPECT_EQ(stack.Desktop().FindWindow(std::nullopt, "Google Earth"), kNoWindow);
    EXPECT_NE(stack.MapHost(), nullptr);
}

TEST(HeadlessStack, AMapThatCannotBeLoadedIsAMapLoadErrorWithTheHostsReason) {
    const fs::path folder = OwnFolder("headless_stack_test_bad_map");
    fs::create_directories(folder);
    {
        HeadlessStackOptions o = PlainOptions();
        o.project = folder / "missing.json";
        try {
            HeadlessStack stack(o);
            FAIL() << "a missing project loaded";
        } catch (const MapLoadError& e) {
            EXPECT_NE(std::string(e.what()).find("missing.json"), std::string::npos) << e.what();
        }
    }
    {
        std::ofstream(folder / "gone.json")
            << R"({"scribelineProject": 1, "map": {"layers": [{"path": "gone.shp"}]}})";
        HeadlessStackOptions o = PlainOptions();
        o.project = folder / "gone.json";
        o.defaultMap = true; // a project comes first
        EXPECT_THROW(HeadlessStack{o}, MapLoadError);
    }
    {
        HeadlessStackOptions o = PlainOptions();
        o.defaultMap = true;
        o.worldMapSource = folder / "nothing.gpkg";
        EXPECT_THROW(HeadlessStack{o}, MapLoadError);
    }
    {
        HeadlessStackOptions o = PlainOptions();
        o.globe->camera.Range = -1.0;
        EXPECT_THROW(HeadlessStack{o}, std::invalid_argument) << "the globe's refusal as it is";
    }
    fs::remove_all(folder);
}

TEST(HeadlessStack, TheDefaultMapIsCopiedIntoTheMapFolderOrTheDesktopsTempFolder) {
    if (!fs::exists(gis::kWorldMapSource)) {
        if (OnCi()) {
            FAIL() << gis::kWorldMapSource << " is missing: install qgis-common";
        }
        GTEST_SKIP() << gis::kWorldMapSource << " is missing: install qgis-common";
    }
    HeadlessStackOptions o = PlainOptions();
    o.defaultMap = true;
    {
        HeadlessStack stack(o);
        EXPECT_TRUE(fs::exists(fs::path(stack.Desktop().GetTempPath()) / "world_map.gpkg"));
        EXPECT_EQ(stack.MapHost()->Document()->FocusMap()->LayerCount(), 1);
    }
    const fs::path folder = OwnFolder("headless_stack_test_map_folder");
    fs::remove_all(folder);
    o.mapFolder = folder;
    {
        HeadlessStack stack(o);
        EXPECT_TRUE(fs::exists(folder / "world_map.gpkg"));
        EXPECT_FALSE(fs::exists(fs::path(stack.Desktop().GetTempPath()) / "world_map.gpkg"));
    }
    fs::remove_all(folder);
}

} // namespace
} // namespace scribeline::stack
