// Where the window and its pictures go: SetMeIntoArcWindow over its three references, the
// location chooser, the status pictures and their reparenting into the globe.
#include "tests/command/window_fixture.hpp"

#include <vector>

namespace scribeline::testing {
namespace {

struct Placement {
    int reference; // optLocationReference: 0 map host, 1 globe, 2 screen
    int location;
    int left; // twips
    int top;
};

// Map host main window 100,80 1200x900 px; globe main window 100,50 800x600 px; screen
// 1920x1080 px; 15 twips a pixel; the window 4080 by 4290 twips.
const std::vector<Placement> kPlacements = {
    {0, 0, 8460, 5805},  {0, 1, 1500, 10410},  {0, 2, 1500, 5805},   {0, 3, 1500, 1200},
    {0, 4, 8460, 1200},  {0, 5, 15420, 1200},  {0, 6, 15420, 5805},  {0, 7, 15420, 10410},
    {0, 8, 8460, 10410}, {1, 0, 5460, 3105},   {1, 1, 1500, 5460},   {1, 2, 1500, 3105},
    {1, 3, 1500, 750},   {1, 4, 5460, 750},    {1, 5, 9420, 750},    {1, 6, 9420, 3105},
    {1, 7, 9420, 5460},  {1, 8, 5460, 5460},   {2, 0, 12360, 5955},  {2, 1, 0, 11910},
    {2, 2, 0, 5955},     {2, 3, 0, 0},         {2, 4, 12360, 0},     {2, 5, 24720, 0},
    {2, 6, 24720, 5955}, {2, 7, 24720, 11910}, {2, 8, 12360, 11910},
};

TEST_F(WindowTest, SetMeIntoArcWindowPlacesByLocationAndReference) {
    for (const auto& p : kPlacements) {
        SCOPED_TRACE("reference " + std::to_string(p.reference) + " location " +
                     std::to_string(p.location));
        w().ctl.optLocationReference.Select(p.reference);
        w().SetMeIntoArcWindow(p.location);
        EXPECT_EQ(w().FormBounds().left, p.left);
        EXPECT_EQ(w().FormBounds().top, p.top);
        const auto rect = desk.GetWindowRect(w().hWnd());
        ASSERT_TRUE(rect.has_value());
        EXPECT_EQ(rect->left, p.left / kTwips);
        EXPECT_EQ(rect->top, p.top / kTwips);
        EXPECT_EQ(rect->width(), 4080 / kTwips);
    }
}

TEST_F(WindowTest, ALocationOutsideZeroToEightLeavesTheWindowWhereItIs) {
    w().SetMeIntoArcWindow(5);
    const auto before = w().FormBounds();
    const auto rectBefore = desk.GetWindowRect(w().hWnd());
    for (int location : {-1, 9, 100, -2147483647}) {
        w().SetMeIntoArcWindow(location);
        EXPECT_EQ(w().FormBounds(), before) << location;
        EXPECT_EQ(desk.GetWindowRect(w().hWnd()), rectBefore) << location;
    }
}

TEST_F(WindowTest, AMinimisedGlobeFallsBackToTheMapHost) {
    desk.ShowWindow(globe.mainWindow, ShowCommand::Minimize);
    w().ctl.optLocationReference.UserSelect(1);
    EXPECT_EQ(w().ctl.optLocationReference.Selected(), 0);
    // Chosen earlier and minimised since: the placement falls back too.
    desk.ShowWindow(globe.mainWindow, ShowCommand::Restore);
    w().ctl.optLocationReference.UserSelect(1);
    ASSERT_EQ(w().ctl.optLocationReference.Selected(), 1);
    desk.ShowWindow(globe.mainWindow, ShowCommand::Minimize);
    w().SetMeIntoArcWindow(3);
    EXPECT_EQ(w().ctl.optLocationReference.Selected(), 0);
    EXPECT_EQ(w().FormBounds().left, 1500);
    EXPECT_EQ(w().FormBounds().top, 1200);
}

TEST_F(WindowTest, LocationImagesPlaceTheWindowAndPressLikeButtons) {
    w().ApplyLayout("more_options");
    auto& image = w().ctl.imgLocation[7];
    image.UserMouseDown();
    EXPECT_TRUE(image.Raised());
    image.UserMouseUp();
    EXPECT_FALSE(image.Raised());
    image.UserClick();
    EXPECT_EQ(w().FormBounds().left, 1500 + 18000 - 8490);
    EXPECT_EQ(w().FormBounds().top, 10410);
}

TEST_F(WindowTest, PlacingWithoutAMapHostFailsClearly) {
    w().SetApplication(nullptr);
    EXPECT_THROW(w().SetMeIntoArcWindow(1), std::runtime_error);
    w().ctl.imgLocation[1].UserClick();
    ASSERT_EQ(boxes().size(), 1U);
    EXPECT_EQ(boxes()[0].text, "imgLocation_Click failed.\r\n"
                               "The window has no map host application to go by.");
}

TEST_F(WindowTest, StatusPicturesAreSizedFromTheirText) {
    struct Case {
        controls::PictureBox* picture;
        const char* text;
    };
    const std::vector<Case> cases = {{&w().ctl.pictGEInfoWelcome, "Hello World!"},
                                     {&w().ctl.pictGEInfoReady, "Getting Ready"},
                                     {&w().ctl.pictGEInfoBusy, "I'm busy!"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Size text = desk.MeasureText(c.text, Font{});
        EXPECT_EQ(c.picture->Width(), text.width * kTwips + 270);
        EXPECT_EQ(c.picture->Height(), text.height * kTwips + 180);
        EXPECT_EQ(c.picture->Left(), 150);
        EXPECT_EQ(c.picture->Top(), 15);
        const auto& calls = desk.DrawCalls(c.picture->hWnd());
        const bool printed = std::any_of(calls.begin(), calls.end(), [&](const auto& call) {
            return call.kind == desktop::DrawKind::Text && call.text == c.text &&
                   call.rect.left == 90 / kTwips && call.rect.top == 30 / kTwips;
        });
        EXPECT_TRUE(printed);
        EXPECT_FALSE(desk.GetWindowRegion(c.picture->hWnd()).empty());
    }
}

TEST_F(WindowTest, PicturesGoIntoTheGlobeAndComeBack) {
    auto& ready = w().ctl.pictGEInfoReady;
    auto& busy = w().ctl.pictGEInfoBusy;
    w().RecoverControlParent(); // nothing placed yet
    EXPECT_FALSE(w().state.lastRecoverSucceeded);

    w().SetControlParentToGE(ready);
    EXPECT_EQ(desk.GetParent(ready.hWnd()), globe.renderWindow);
    EXPECT_EQ(w().state.reparentedControl, ready.hWnd());
    EXPECT_EQ(w().state.reparentedOldParent, w().hWnd());
    EXPECT_EQ(ready.Left(), 150);
    EXPECT_EQ(ready.Top(), 15);
    const auto rect = desk.GetWindowRect(ready.hWnd());
    const auto render = desk.GetWindowRect(globe.renderWindow);
    ASSERT_TRUE(rect && render);
    EXPECT_EQ(rect->left - render->left, 150 / kTwips);
    EXPECT_EQ(rect->top - render->top, 15 / kTwips);

    w().RecoverControlParent();
    EXPECT_TRUE(w().state.lastRecoverSucceeded);
    EXPECT_EQ(desk.GetParent(ready.hWnd()), w().hWnd());

    w().SetControlParentToGE(busy);
    w().RecoverControlParent();
    EXPECT_EQ(desk.GetParent(busy.hWnd()), w().hWnd());
    EXPECT_EQ(desk.GetParent(ready.hWnd()), w().hWnd());
}

TEST_F(WindowTest, TheWelcomePictureEntersTheGlobeFromTheSecondLoadOn) {
    EXPECT_EQ(process.loadCount, 1);
    EXPECT_EQ(desk.GetParent(w().ctl.pictGEInfoWelcome.hWnd()), w().hWnd());
    ASSERT_TRUE(w().Unload());
    w().Load();
    EXPECT_EQ(process.loadCount, 2);
    EXPECT_EQ(desk.GetParent(w().ctl.pictGEInfoWelcome.hWnd()), globe.renderWindow);
    ASSERT_TRUE(w().Unload());
    w().Load();
    EXPECT_EQ(process.loadCount, 3);
    EXPECT_EQ(desk.GetParent(w().ctl.pictGEInfoWelcome.hWnd()), globe.renderWindow);
}

TEST_F(WindowTest, LayoutsSizeTheWindowAndSwapTheMeasureFrame) {
    struct Case {
        const char* layout;
        bool measureTrack;
        int width, height;
        bool option, getData, measure;
    };
    const std::vector<Case> cases = {
        {"more_options", false, 8490, 4290, true, true, false},
        {"less_options", false, 4080, 4290, true, true, false},
        {"digitizing", false, 4320, 780, true, true, false},
        {"digitizing", true, 4320, 1980, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        Open();
        if (c.measureTrack) {
            w().Options().Click("MeasureTrack");
        }
        w().ApplyLayout(c.layout);
        EXPECT_EQ(w().FormBounds().width, c.width);
        EXPECT_EQ(w().FormBounds().height, c.height);
        const auto rect = desk.GetWindowRect(w().hWnd());
        ASSERT_TRUE(rect.has_value());
        EXPECT_EQ(rect->width(), c.width / kTwips);
        EXPECT_EQ(rect->height(), c.height / kTwips);
        EXPECT_EQ(w().ctl.frameOption.Visible(), c.option);
        EXPECT_EQ(w().ctl.frameGetDataFromGE.Visible(), c.getData);
        EXPECT_EQ(w().ctl.frameMeasureTrack.Visible(), c.measure);
        if (c.measure) {
            EXPECT_EQ(w().ctl.frameMeasureTrack.Left(), w().ctl.frameOption.Left());
            EXPECT_EQ(w().ctl.frameMeasureTrack.Top(), w().ctl.frameOption.Top());
        }
    }
    EXPECT_THROW(w().ApplyLayout("huge"), std::invalid_argument);
    w().ctl.imgMore.UserClick();
    EXPECT_EQ(w().FormBounds().width, 8490);
    EXPECT_FALSE(w().ctl.imgMore.Visible());
    w().ctl.imgLess.UserClick();
    EXPECT_EQ(w().FormBounds().width, 4080);
}

} // namespace
} // namespace scribeline::testing
