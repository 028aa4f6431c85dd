// Capturing vertices from the globe's view: where clicks count, in both modes.
#include "tests/digitizing/run_fixture.hpp"

#include <cmath>

namespace scribeline::testing {
namespace {

TEST_F(RunTest, ClicksCountInEveryHemisphereAndNearTheEquator) {
    struct Place {
        double lat, lon;
    } places[] = {{47.5, 11.0},   {-33.9, 18.4}, {40.7, -74.0},
                  {-22.9, -43.2}, {0.3, -0.4},   {-0.2, 179.5}};
    for (const Place& place : places) {
        Open();
        LookAt(place.lat, place.lon);
        Press("start");
        Click(RenderCentre());
        ASSERT_EQ(run().CurrentShape().PointCount(), 1) << place.lat << ", " << place.lon;
        const MapPoint& v = run().CurrentShape().Point(0);
        EXPECT_NEAR(v.y, place.lat, 0.05);
        EXPECT_NEAR(std::remainder(v.x - place.lon, 360.0), 0.0, 0.05);
        Press("abort");
    }
}

TEST_F(RunTest, ASkyClickGivesNoVertex) {
    LookAt(10.0, 10.0, 40000000.0); // the whole globe small in the middle of the view
    Press("start");
    Click(RenderScreen({5, 5}));
    EXPECT_EQ(run().CurrentShape().PointCount(), 0);
    EXPECT_EQ(w().state.vertexCount, 0);
    Click(RenderCentre());
    EXPECT_EQ(run().CurrentShape().PointCount(), 1) << "the ground still counts";
}

TEST_F(RunTest, RightClickWithoutVertexLeavesEverythingEmpty) {
    Press("start");
    RightClick(RenderCentre());
    EXPECT_EQ(run().CurrentShape().PointCount(), 0);
    EXPECT_EQ(run().ClickCount(), 0);
    EXPECT_EQ(w().state.vertexCount, 0);
    Click(RenderCentre());
    EXPECT_EQ(w().state.vertexCount, 1) << "a later click is a vertex as always";
    RightClick(RenderCentre());
    EXPECT_EQ(w().state.vertexCount, 0) << "a right click takes the last vertex back";
    EXPECT_EQ(run().ClickCount(), 0);
}

TEST_F(RunTest, ACentreClickIsTheOriginTheCornerIsMinusOneOne) {
    Press("start");
    desk.InjectMouse(MouseMessage::LeftDown, RenderCentre());
    EXPECT_NEAR(run().PendingPosition().x, 0.0, 1e-12);
    EXPECT_NEAR(run().PendingPosition().y, 0.0, 1e-12);
    desk.InjectMouse(MouseMessage::LeftDown, RenderScreen({0, 0}));
    EXPECT_DOUBLE_EQ(run().PendingPosition().x, -1.0);
    EXPECT_DOUBLE_EQ(run().PendingPosition().y, 1.0);
}

TEST_F(RunTest, NavigationZoneInBothModes) {
    struct Case {
        const char* mode;
        bool zoneEnabled;
        int vertices;
        bool viewChanged;
    } cases[] = {
        {"start", false, 0, true},
        {"start", true, 1, false},
        {"record", false, 1, false},
        {"record", true, 1, false},
    };
    for (const Case& c : cases) {
        Open();
        LookAt(47.5, 11.0, 300000.0);
        Option("NavZoneEnabled", c.zoneEnabled);
        Press(c.mode);
        const Size size = earth->RenderSize();
        const Point zone = RenderScreen({size.width - 43, 49});
        const std::string label = std::string(c.mode) + (c.zoneEnabled ? " enabled" : " off");
        if (std::string(c.mode) == "start") {
            desk.InjectMouse(MouseMessage::LeftDown, zone);
            desk.InjectMouse(MouseMessage::LeftUp, zone);
            EXPECT_EQ(run().ViewChanged(), c.viewChanged) << label;
            desk.AdvanceTime(500);
        } else {
            desk.InjectMouse(MouseMessage::LeftDown, zone);
            desk.InjectMouse(MouseMessage::Move, zone);
            desk.AdvanceTime(w().ctl.timerDigitalizing.Interval());
            desk.InjectMouse(MouseMessage::LeftUp, zone);
        }
        EXPECT_EQ(w().state.vertexCount, c.vertices) << label;
        Press("abort");
    }
}

TEST_F(RunTest, RecordingAddsAVertexPerTickWhileTheButtonIsHeld) {
    LookAt(47.5, 11.0, 300000.0);
    w().ctl.txtRecordPPS.SetText("10");
    Press("record");
    const int tick = w().ctl.timerDigitalizing.Interval();
    const Point c = RenderCentre();
    desk.InjectMouse(MouseMessage::Move, c);
    desk.AdvanceTime(tick);
    EXPECT_EQ(w().state.vertexCount, 0) << "moving without the button adds nothing";
    desk.InjectMouse(MouseMessage::LeftDown, c);
    for (int i = 1; i <= 5; ++i) {
        desk.InjectMouse(MouseMessage::Move, {c.x + 10 * i, c.y});
        desk.AdvanceTime(tick);
    }
    desk.InjectMouse(MouseMessage::LeftUp, {c.x + 50, c.y});
    desk.InjectMouse(MouseMessage::Move, {c.x + 80, c.y});
    desk.AdvanceTime(tick);
    EXPECT_EQ(w().state.vertexCount, 5);
    // Holding the right button takes vertices back, one per tick.
    desk.InjectMouse(MouseMessage::RightDown, c);
    desk.AdvanceTime(tick);
    desk.InjectMouse(MouseMessage::Move, c);
    desk.AdvanceTime(tick);
    desk.InjectMouse(MouseMessage::RightUp, c);
    desk.AdvanceTime(tick);
    EXPECT_EQ(w().state.vertexCount, 3);
    Press("finishlayer");
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].points.size(), 3u);
    ASSERT_FALSE(earth->Documents().empty()) << "the finished stream is shown on the globe";
}

TEST_F(RunTest, RubberBandLinesByGeometry) {
    struct Case {
        int kind;
        std::size_t cyanLines;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}};
    for (const Case& c : cases) {
        Open();
        w().ctl.optGeometryType.UserSelect(c.kind);
        Press("start");
        const Point centre = RenderCentre();
        Click({centre.x - 50, centre.y});
        desk.Repaint(earth->RenderWindow());
        desk.InjectMouse(MouseMessage::Move, {centre.x + 30, centre.y + 30});
        std::size_t cyan = 0;
        std::size_t yellow = 0;
        for (const auto& call : desk.DrawCalls(earth->RenderWindow())) {
            cyan += call.kind == desktop::DrawKind::Line && call.pen.colour == rgb(0, 255, 255);
            yellow += call.kind == desktop::DrawKind::Line && call.pen.colour == rgb(255, 255, 0);
        }
        EXPECT_EQ(cyan, c.cyanLines) << "kind " << c.kind;
        EXPECT_GT(yellow, 0u) << "the cursor marker";
        Press("abort");
    }
}

} // namespace
} // namespace scribeline::testing

namespace scribeline::testing {
namespace {

TEST_F(RunTest, DialogAssistedCaptureOpensHidesAndConfirmsTheGlobesDialog) {
    struct Case {
        int kind;
        const char* title;
    } cases[] = {{0, "Google Earth - New Placemark"},
                 {1, "Google Earth - New Path"},
                 {2, "Google Earth - New Polygon"}};
    for (const Case& c : cases) {
        Open();
        w().ctl.optGeometryType.UserSelect(c.kind);
        run().Command1_Click();
        const WindowHandle dialog = earth->DialogWindow();
        ASSERT_NE(dialog, kNoWindow) << c.title;
        EXPECT_EQ(desk.GetWindowText(dialog), c.title);
        EXPECT_FALSE(desk.IsWindowVisible(dialog));
        run().Command2_Click();
        EXPECT_EQ(earth->DialogWindow(), kNoWindow) << "confirmed";
    }
}

TEST_F(RunTest, AlarmLampBlinksOnTheCurrentButton) {
    Press("start");
    std::vector<std::string> images;
    for (int i = 0; i < 3; ++i) {
        desk.AdvanceTime(500);
        images.push_back(w().ctl.toolbarScribeline.Button("start").imageKey);
    }
    EXPECT_EQ(images, (std::vector<std::string>{"starting", "nothing", "starting"}));
    Option("alarmLamp", false);
    desk.AdvanceTime(500);
    EXPECT_EQ(w().ctl.toolbarScribeline.Button("start").imageKey, "starting");
}

} // namespace
} // namespace scribeline::testing

namespace scribeline::testing {
namespace {

TEST_F(RunTest, TheFeatureIsDrawnInTheMapWithTheFeedbackSymbols) {
    w().ctl.optGeometryType.UserSelect(2);
    Press("start");
    const Point c = RenderCentre();
    Click({c.x - 40, c.y});
    Click({c.x + 40, c.y});
    Click({c.x, c.y + 40});
    auto& display = host->DataView().Display();
    const auto& drawn = display.Drawings();
    ASSERT_GE(drawn.size(), 3u);
    const auto last = drawn.end() - 3; // the latest tick: the shape, its first and last vertex
    EXPECT_EQ(last[0].kind, gis::DisplayDrawing::Kind::Polygon);
    EXPECT_EQ(last[0].symbol.kind, SymbolKind::SimpleFill);
    EXPECT_EQ(last[0].symbol.colour, rgb(255, 128, 128));
    EXPECT_EQ(last[0].symbol.style, 1);
    EXPECT_EQ(last[0].geometry.PointCount(), 3);
    EXPECT_EQ(last[0].cacheId, -2);
    EXPECT_EQ(last[1].symbol.style, 0) << "first vertex: circle";
    EXPECT_EQ(last[2].symbol.style, 2) << "last vertex: cross";
    EXPECT_EQ(last[2].geometry.Point(0), run().CurrentShape().Point(2));
}

} // namespace
} // namespace scribeline::testing

namespace scribeline::testing {
namespace {

TEST_F(RunTest, ThePointerIsMarkedInTheMapWhenAsked) {
    Option("DisplyCursorInArcMap", true);
    w().ctl.txtRecordPPS.SetText("10");
    Press("record");
    const Point c = RenderCentre();
    auto& display = host->DataView().Display();
    const auto before = display.TotalDrawCalls();
    desk.InjectMouse(MouseMessage::Move, c);
    desk.AdvanceTime(w().ctl.timerDigitalizing.Interval());
    EXPECT_EQ(w().state.vertexCount, 0) << "a mark, not a vertex";
    const auto marked = display.TotalDrawCalls();
    EXPECT_GT(marked, before);
    desk.InjectMouse(MouseMessage::Move, {c.x + 20, c.y});
    desk.AdvanceTime(w().ctl.timerDigitalizing.Interval());
    // The old mark is drawn again to erase it, then the new one: twice the lines.
    EXPECT_EQ(display.TotalDrawCalls() - marked, 2 * (marked - before));
}

} // namespace
} // namespace scribeline::testing
