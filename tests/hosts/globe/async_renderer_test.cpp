// Frames rendered on their own thread: coalescing, the full frame after movement, the drape
// asked for only once the view settles. Waits are bounded by WaitIdle, never by sleeping.
#include "hosts/desktop/headless_desktop.hpp"
#include "hosts/globe/async_renderer.hpp"
#include "hosts/globe/simulated_globe.hpp"
#include "tests/hosts/globe/synthetic_terrain.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace scribeline::globe {
namespace {

using namespace std::chrono_literals;

// Generous: the machine may be busy; a correct renderer finishes these tiny frames at once.
constexpr auto kWait = 20s;

FrameRequest Small(double lon) {
    FrameRequest r;
    r.camera = CameraState{47.3, lon, 0.0, 1, 150000.0, 20.0, 0.0}; // no haze yet
    r.surface = TerrainSurface(testing::BuiltInTerrain(), true, 1.0);
    r.width = 64;
    r.height = 40;
    return r;
}

class Frames {
public:
    AsyncRenderer::FrameSink Sink() {
        return [this](Frame f) {
            {
                const std::lock_guard lock(mutex_);
                frames_.push_back(std::move(f));
            }
            arrived_.notify_all();
        };
    }
    // Waits until `count` frames are in; false when the timeout passed first.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, timeout, [&] { return frames_.size() >= count; });
    }
    std::vector<Frame> Take() {
        const std::lock_guard lock(mutex_);
        return std::move(frames_);
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Frame> frames_;
};

TEST(AsyncRenderer, TenRequestsInARowGiveOneOrTwoFramesTheLastOfThemShown) {
    Frames frames;
    AsyncRenderer renderer(frames.Sink());
    std::uint64_t last = 0;
    for (int i = 0; i < 10; ++i) {
        last = renderer.Request(Small(10.0 + 0.1 * i), false);
    }
    EXPECT_EQ(last, 10u);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    const auto got = frames.Take();
    ASSERT_GE(got.size(), 1u);
    EXPECT_LE(got.size(), 2u);
    EXPECT_EQ(got.back().request, 10u);
    EXPECT_EQ(got.back().quality, FrameQuality::Full);
    EXPECT_EQ(got.back().image.width, 64);
    // The frame shows the last view: the same picture as a synchronous one of it.
    EXPECT_EQ(got.back().image.rgba, RenderMeshFrame(Small(10.9)).rgba);
    EXPECT_EQ(renderer.FramesDelivered(), got.size());
}

TEST(AsyncRenderer, MovementGivesInteractiveFramesThenOneFullFrameOfTheLastView) {
    Frames frames;
    AsyncRenderer::Options options;
    options.settle = 5ms;
    AsyncRenderer renderer(frames.Sink(), options);
    const std::uint64_t n = renderer.Request(Small(11.0), true);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    const auto got = frames.Take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].quality, FrameQuality::Interactive);
    EXPECT_EQ(got[1].quality, FrameQuality::Full);
    EXPECT_EQ(got[0].request, n);
    EXPECT_EQ(got[1].request, n);
    // A still view asked for directly needs no second frame.
    renderer.Request(Small(11.0), false);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    EXPECT_EQ(frames.Take().size(), 1u);
}

// A document changed while the front end counts the view as moving (two changes a moment
// apart): the view's full picture is at hand, so its full frame comes at once, not a coarse
// one and a settling wait. A view that really moved still waits.
TEST(AsyncRenderer, AMovingRequestForTheViewJustDrawnFullGetsItsFullFrameAtOnce) {
    Frames frames;
    AsyncRenderer::Options options;
    options.settle = 1h; // a frame that waited to settle would never come in this test
    AsyncRenderer renderer(frames.Sink(), options);
    renderer.Request(Small(11.0), false);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    ASSERT_EQ(frames.Take().size(), 1u);

    const KmlDocument line = ParseKml(R"(<kml><Document><Placemark><LineString>
      <coordinates>10.9,47.2 11.1,47.4</coordinates></LineString></Placemark></Document></kml>)");
    FrameRequest withLine = Small(11.0);
    withLine.documents = BorrowDocuments({&line});
    const std::uint64_t n = renderer.Request(withLine, true);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    auto got = frames.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].request, n);
    EXPECT_EQ(got[0].quality, FrameQuality::Full);
    EXPECT_EQ(got[0].image.rgba, RenderMeshFrame(withLine).rgba);

    // Moved: a coarse frame, and the full one waits for the view to settle.
    renderer.Request(Small(11.2), true);
    ASSERT_TRUE(frames.WaitFor(1, kWait));
    EXPECT_FALSE(renderer.WaitIdle(0ms));
    got = frames.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].quality, FrameQuality::Interactive);
}

TEST(AsyncRenderer, TheDrapeIsAskedForOnlyWhenTheViewSettlesAndKeptWhileItServes) {
    std::atomic<int> asked{0};
    AsyncRenderer::Options options;
    options.settle = 5ms;
    options.drape = [&asked](const DrapeArea& area) -> std::optional<Image> {
        ++asked;
        Image image(area.Columns(), area.Rows());
        for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
            image.rgba[i] = 255; // opaque red
            image.rgba[i + 3] = 255;
        }
        return image;
    };
    Frames frames;
    AsyncRenderer renderer(frames.Sink(), options);
    renderer.Request(Small(11.0), true);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    auto got = frames.Take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(asked.load(), 1);
    // The interactive frame came before any drape; the full one is red under the shade.
    const std::uint8_t* before = got[0].image.At(32, 30);
    const std::uint8_t* after = got[1].image.At(32, 30);
    EXPECT_GT(before[1], 0);
    EXPECT_EQ(after[1], 0);
    EXPECT_GT(after[0], 0);

    // A small move within the drape's margin: the old drape serves, even in the full frame.
    renderer.Request(Small(11.05), true);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    got = frames.Take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].image.At(32, 30)[1], 0); // dragging over the old drape
    EXPECT_EQ(asked.load(), 1);

    // Far away: asked again once settled.
    renderer.Request(Small(60.0), false);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    EXPECT_EQ(asked.load(), 2);
}

TEST(AsyncRenderer, ADrapeHandedInFromAnotherThreadIsUsed) {
    Frames frames;
    AsyncRenderer renderer(frames.Sink());
    Drape drape;
    drape.area = {0.0, 40.0, 20.0, 50.0, 0.1};
    drape.image = Image(200, 100);
    for (std::size_t i = 0; i < drape.image.rgba.size(); i += 4) {
        drape.image.rgba[i + 2] = 255; // opaque blue
        drape.image.rgba[i + 3] = 255;
    }
    renderer.SetDrape(std::move(drape));
    renderer.Request(Small(11.0), false);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    const auto got = frames.Take();
    ASSERT_EQ(got.size(), 1u);
    const std::uint8_t* p = got[0].image.At(32, 30);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 0);
    EXPECT_GT(p[2], 0);
}

TEST(AsyncRenderer, TheClientsViewRequestOutlivesItsDocumentsAndMatchesItsPicture) {
    desktop::HeadlessDesktop desktop;
    auto globe = std::make_unique<SimulatedGlobe>(desktop);
    auto app = globe->CreateApplication();
    app->SetCamera(ICameraInfoGE{47.5, 11.0, 0.0, 1, 100000.0, 0.0, 0.0}, 5.0);
    app->LoadKmlData(R"(<kml><Placemark><Style><LineStyle><color>ff00ffff</color>
      <width>3</width></LineStyle></Style><LineString><coordinates>10.8,47.5 11.2,47.5
      </coordinates></LineString></Placemark></kml>)");
    const FrameRequest request = globe->ViewRequest(Size{80, 50});
    const Image picture = globe->Render(Size{80, 50});
    app.reset();
    globe.reset(); // the client and its documents are gone; the snapshot keeps its copies
    Frames frames;
    AsyncRenderer renderer(frames.Sink());
    renderer.Request(request, false);
    ASSERT_TRUE(renderer.WaitIdle(kWait));
    const auto got = frames.Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].image.rgba, picture.rgba);
    const std::uint8_t* line = got[0].image.At(40, 25);
    EXPECT_EQ(line[0], 255); // the yellow line
    EXPECT_EQ(line[1], 255);
    EXPECT_EQ(line[2], 0);
}

TEST(AsyncRenderer, RefusesAnImpossibleViewAtOnceOnTheCallersThread) {
    AsyncRenderer renderer(nullptr);
    FrameRequest r = Small(0.0);
    r.height = 0;
    EXPECT_THROW(renderer.Request(r, false), std::invalid_argument);
    r = Small(0.0);
    r.camera.Range = -5.0;
    EXPECT_THROW(renderer.Request(r, true), std::invalid_argument);
    EXPECT_TRUE(renderer.WaitIdle(kWait));
    EXPECT_EQ(renderer.FramesDelivered(), 0u);
}

} // namespace
} // namespace scribeline::globe
