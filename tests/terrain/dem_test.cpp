// The DEM command through the window: the preflight check, the sampled grid written into a
// real shapefile (points, grid lines, mesh cells) and shown on the globe, the slow query, the
// input lock and the preview of the sample grid.
#include "tests/terrain/terrain_fixture.hpp"

#include <cmath>

namespace scribeline::testing {
namespace {

// ---- the preflight check ---------------------------------------------------------------------

TEST_F(TerrainTest, CameraRangeOfExactlyTheCeilingPassesAndJustAboveDoesNot) {
    LookAtAlps(50000.0);
    EXPECT_TRUE(terrain().CheckTerrainReady());
    EXPECT_TRUE(IsolineaTexts().empty());
    LookAtAlps(50000.1);
    EXPECT_FALSE(terrain().CheckTerrainReady());
    ASSERT_EQ(IsolineaTexts().size(), 1u);
    EXPECT_EQ(IsolineaTexts()[0], "Oops! I suffer from acrophobia, and it is too high.\r\n"
                                  "Set it lower and try again.");
    const auto box = Boxes("Isolinea")[0];
    EXPECT_EQ(box.flags, mb::Ok | mb::SystemModal);
}

TEST_F(TerrainTest, TerrainLayerOffShowsItsMessageAndGivesTheCameraBack) {
    LookAtAlps();
    earth->SetTerrainLayerOn(false);
    EXPECT_FALSE(terrain().CheckTerrainReady());
    ASSERT_EQ(IsolineaTexts().size(), 1u);
    EXPECT_EQ(IsolineaTexts()[0], "Check Terrain in the Layers panel.\r\nSet it on and try again.");
    EXPECT_NEAR(earth->Camera().FocusPointLatitude, 46.5, 1e-6);
    EXPECT_NEAR(earth->Camera().FocusPointLongitude, 10.5, 1e-6);
}

TEST_F(TerrainTest, FocusAtSeaFliesToTheTestPointFindsGroundAndFliesBack) {
    LookAt(40.0, -30.0, 40000.0); // mid-Atlantic: the ground under the centre is below 0
    ASSERT_LE(earth->GroundHeight(40.0, -30.0), 0.0);
    levers.ClearCallLog();
    EXPECT_TRUE(terrain().IsTerrainLayerOn());
    int flights = 0;
    for (auto op : levers.CallLog()) {
        flights += op == doubles::GlobeOperation::SetCamera ? 1 : 0;
    }
    EXPECT_EQ(flights, 2) << "to (48, 11) once (ground found at once), then back";
    EXPECT_NEAR(earth->Camera().FocusPointLatitude, 40.0, 1e-6);
    EXPECT_NEAR(earth->Camera().FocusPointLongitude, -30.0, 1e-6);
}

TEST_F(TerrainTest, TerrainCheckWaitsTwentyToChooseAndTenBeforeEachFlight) {
    LookAt(40.0, -30.0, 40000.0); // at sea: one flight to (48, 11) finds ground
    const auto before = desk.TickCount();
    EXPECT_TRUE(terrain().IsTerrainLayerOn());
    // Choosing the test point 20, the flight 10; no settle pause before a contour run.
    EXPECT_EQ(desk.TickCount() - before, 20 + 10);
}

TEST_F(TerrainTest, TooHighCameraMakesTheCommandWriteNothing) {
    // The first view is 1500 km up.
    Press("dem");
    EXPECT_EQ(IsolineaTexts().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(RunShapefile(1)));
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled()) << "re-enabled after the failed check";
    EXPECT_FALSE(w().state.busy);
}

TEST_F(TerrainTest, GlobeNotInitializedTakesNoSample) {
    LookAtAlps();
    levers.SetInitialized(false);
    const auto before = levers.QueryCount();
    Press("dem");
    EXPECT_EQ(levers.QueryCount(), before);
    EXPECT_FALSE(std::filesystem::exists(RunShapefile(1)));
    EXPECT_TRUE(desk.MessageBoxes().empty());
}

// ---- sampling into the map -------------------------------------------------------------------

TEST_F(TerrainTest, PointModeStoresOnePointPerSampleWithItsAltitude) {
    LookAtAlps();
    Option("SaveAltitude2TableField", true);
    Press("dem");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_TRUE(IsolineaTexts().empty());
    EXPECT_EQ(w().ctl.optGeometryType.Selected(), 0);
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 36u) << "5 by 5 at load: 6 x 6 samples";
    const auto& dem = terrain().Dem();
    for (int i = 0; i <= 5; ++i) {
        for (int j = 0; j <= 5; ++j) {
            const auto& f = stored[static_cast<std::size_t>(i * 6 + j)];
            EXPECT_EQ(f.geometryType, "3D Point");
            const std::size_t k = dem.Index(i, j);
            EXPECT_NEAR(f.points[0].x, dem.x[k], 1e-9);
            EXPECT_NEAR(f.points[0].y, dem.y[k], 1e-9);
            EXPECT_NEAR(f.points[0].z, earth->GroundHeight(dem.y[k], dem.x[k]), 0.01);
            EXPECT_GT(f.points[0].z, 0.0) << "the Alps";
        }
    }
    // Rows go up the screen: row 0 is the bottom (south), column 0 the left (west).
    EXPECT_LT(dem.y[dem.Index(0, 0)], dem.y[dem.Index(5, 0)]);
    EXPECT_LT(dem.x[dem.Index(0, 0)], dem.x[dem.Index(0, 5)]);
    EXPECT_EQ(dem.columnLongitude[3], dem.x[dem.Index(0, 3)]);
    EXPECT_EQ(dem.rowLatitude[4], dem.y[dem.Index(4, 0)]);
    // The fields of a terrain layer: "_Name" and "_Altitude".
    ASSERT_EQ(stored[0].fields.size(), 2u);
    EXPECT_EQ(stored[0].fields[0], "dem");
    EXPECT_NEAR(std::stod(stored[0].fields[1]), stored[0].points[0].z, 0.001);
    // Every sample was shown on the globe as it was taken.
    EXPECT_GE(KeptDocuments(), 36);
    EXPECT_FALSE(terrain().InputLocked());
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled());
}

TEST_F(TerrainTest, GridModeStoresOneLinePerRowThenPerColumnAndShowsTheGrid) {
    LookAtAlps();
    Option("jointDEMPoints2Grid", true);
    w().ctl.vscrollDEMResolution.UserSetValue(10); // 800 x 500: 10 by 6
    ASSERT_EQ(w().state.demRows, 6);
    Press("dem");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_EQ(w().ctl.optGeometryType.Selected(), 1);
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 7u + 11u);
    const auto& dem = terrain().Dem();
    for (int i = 0; i <= 6; ++i) {
        ASSERT_EQ(stored[static_cast<std::size_t>(i)].points.size(), 11u);
        EXPECT_NEAR(stored[static_cast<std::size_t>(i)].points[10].x, dem.x[dem.Index(i, 10)],
                    1e-9);
    }
    for (int j = 0; j <= 10; ++j) {
        const auto& column = stored[static_cast<std::size_t>(7 + j)];
        ASSERT_EQ(column.points.size(), 7u);
        EXPECT_NEAR(column.points[6].y, dem.y[dem.Index(6, j)], 1e-9);
        EXPECT_NEAR(column.points[6].z, dem.z[dem.Index(6, j)], 1e-6);
    }
    // The last document on the globe is the grid: a line per row and per column.
    const auto docs = earth->Documents();
    ASSERT_FALSE(docs.empty());
    EXPECT_EQ(docs.back()->placemarks.size(), 7u + 11u);
}

TEST_F(TerrainTest, MeshModeWithOneRowStoresOneRowOfCells) {
    LookAtAlps();
    Option("jointDEMPoints2Mesh", true);
    w().state.demRows = 1;
    Press("dem");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_EQ(w().ctl.optGeometryType.Selected(), 2);
    const auto stored = ReadShapefile(RunShapefile(1));
    ASSERT_EQ(stored.size(), 5u);
    const auto& dem = terrain().Dem();
    for (int j = 0; j < 5; ++j) {
        const auto& cell = stored[static_cast<std::size_t>(j)];
        EXPECT_EQ(cell.geometryType, "3D Polygon");
        ASSERT_EQ(cell.points.size(), 5u) << "four corners, closed";
        // Shapefile rings run clockwise, so check the corners as a set.
        for (auto [row, column] : {std::pair{0, j}, {0, j + 1}, {1, j + 1}, {1, j}}) {
            const std::size_t k = dem.Index(row, column);
            bool found = false;
            for (const auto& p : cell.points) {
                found =
                    found || (std::abs(p.x - dem.x[k]) < 1e-9 && std::abs(p.y - dem.y[k]) < 1e-9);
            }
            EXPECT_TRUE(found) << "cell " << j << " corner " << row << "," << column;
        }
    }
    EXPECT_EQ(earth->Documents().back()->placemarks.size(), 5u) << "the mesh on the globe";
}

TEST_F(TerrainTest, SlowQueryInTheMiddleKeepsEarlierRowsAndShowsNoGrid) {
    LookAtAlps();
    Option("jointDEMPoints2Grid", true);
    // The preflight asks for the centre once; the 15th sample (row 2, column 2) is slow.
    levers.DelayQuery(levers.QueryCount() + 1 + 14, 600);
    Press("dem");
    ASSERT_EQ(IsolineaTexts().size(), 1u);
    EXPECT_EQ(IsolineaTexts()[0], "Google Earth is starting the protect mechanism.\r\n"
                                  "You need to restart Google Earth.");
    const auto stored = ReadShapefile(RunShapefile(1));
    EXPECT_EQ(stored.size(), 2u) << "rows 0 and 1; no column lines";
    for (const auto* doc : earth->Documents()) {
        EXPECT_LE(doc->placemarks.size(), 1u) << "sample points only, no grid";
    }
    EXPECT_FALSE(terrain().InputLocked());
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled());
}

TEST_F(TerrainTest, SampleInTheSkyEndsTheRunInsteadOfStoringAPointAtZeroZero) {
    // Tilted to the horizon from low down: the top of the view is sky.
    auto ge = earth->CreateApplication();
    ICameraInfoGE camera;
    camera.FocusPointLatitude = 46.5;
    camera.FocusPointLongitude = 10.5;
    camera.Range = 20000.0;
    camera.Tilt = 88.0;
    ge->SetCamera(camera, 5.0);
    Press("dem");
    ASSERT_EQ(IsolineaTexts().size(), 1u);
    EXPECT_EQ(IsolineaTexts()[0], terrain::kSkySampleMessage);
    for (const auto& f : ReadShapefile(RunShapefile(1))) {
        EXPECT_GT(std::abs(f.points[0].x) + std::abs(f.points[0].y), 1.0);
    }
}

TEST_F(TerrainTest, AFailingGlobeCallReleasesTheInputLockAndTheBusyMark) {
    LookAtAlps();
    Option("jointDEMPoints2Grid", true);
    levers.FailOnce(doubles::GlobeOperation::LoadKmlData);
    Press("dem");
    EXPECT_EQ(Failures().size(), 1u);
    EXPECT_FALSE(terrain().InputLocked());
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled());
    EXPECT_TRUE(w().Unload()) << "the window closes again";
}

TEST_F(TerrainTest, ChosenExistingLayerReceivesTheSamplesOfTheNextRun) {
    LookAtAlps();
    Press("dem");
    ASSERT_EQ(ReadShapefile(RunShapefile(1)).size(), 36u);
    w().ctl.cboSelectLayer.UserChoose(0);
    ASSERT_EQ(w().ctl.optNewOrExistingLayer.Selected(), 1);
    ASSERT_TRUE(w().ctl.toolbarScribeline.Button("dem").enabled);
    Press("dem");
    EXPECT_TRUE(Failures().empty()) << Failures().front();
    EXPECT_EQ(w().ctl.optNewOrExistingLayer.Selected(), 1)
        << "choosing the geometry for the command keeps the user's target";
    EXPECT_EQ(ReadShapefile(RunShapefile(1)).size(), 72u);
    EXPECT_FALSE(std::filesystem::exists(RunShapefile(2)));
}

TEST_F(TerrainTest, ExistingLayerOfAnotherGeometryIsRefusedWithAReason) {
    LookAtAlps();
    Press("dem"); // a new point layer with features
    ASSERT_TRUE(Failures().empty());
    ASSERT_FALSE(w().ctl.cboSelectLayer.Items().empty()) << "the list was refilled";
    w().ctl.cboSelectLayer.UserChoose(0);
    ASSERT_EQ(w().ctl.optNewOrExistingLayer.Selected(), 1);
    Option("jointDEMPoints2Grid", true);
    try {
        terrain().cmdGetDEMDateFromGE_Click();
        FAIL() << "grid lines cannot go into a point layer";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("holds points; this command writes polylines"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(w().ctl.optNewOrExistingLayer.Selected(), 1) << "the user's choice stays";
    EXPECT_EQ(ReadShapefile(RunShapefile(1)).size(), 36u) << "nothing added";
    EXPECT_FALSE(w().state.busy);
    EXPECT_TRUE(w().ctl.toolbarScribeline.Enabled());
}

TEST_F(TerrainTest, WindowYieldsWhileSamplingButRefusesToClose) {
    LookAtAlps();
    levers.SetQueryLatency(20); // 36 samples take 0.72 s of virtual time
    bool sawBusy = false;
    bool stayedOpen = false;
    int lampChanges = 0;
    std::string lastImage = w().ctl.toolbarScribeline.Button("dem").imageKey;
    const TimerHandle watcher = desk.SetTimer(100, [&] {
        const std::string image = w().ctl.toolbarScribeline.Button("dem").imageKey;
        lampChanges += image != lastImage ? 1 : 0;
        lastImage = image;
        if (w().state.busy && !sawBusy) {
            sawBusy = true;
            w().UserClose();
            stayedOpen = w().IsLoaded();
        }
    });
    Press("dem");
    desk.KillTimer(watcher);
    EXPECT_TRUE(sawBusy) << "timers ran during the sampling";
    EXPECT_TRUE(stayedOpen);
    EXPECT_GE(lampChanges, 1) << "the alarm lamp blinks on the button";
    EXPECT_TRUE(w().IsLoaded());
    EXPECT_EQ(ReadShapefile(RunShapefile(1)).size(), 36u);
    EXPECT_TRUE(w().Unload()) << "closes once the command is over";
}

// ---- the input lock --------------------------------------------------------------------------

TEST_F(TerrainTest, InputLockSwallowsClicksWheelAndKeysInsideTheGlobeOnly) {
    int mouseSeen = 0;
    int keysSeen = 0;
    desk.SetMouseHook([&](const MouseEvent& e) {
        mouseSeen += e.message == MouseMessage::Move ? 0 : 1;
        return HookResult::Pass;
    });
    desk.SetKeyboardHook([&](const KeyEvent&) {
        ++keysSeen;
        return HookResult::Pass;
    });
    desk.SetForegroundWindow(earth->MainWindow());
    terrain().LockEarthInput(earth->MainWindow());
    const Rect main = *desk.GetWindowRect(earth->MainWindow());
    const Point inside{main.left + 200, main.top + 200};
    for (auto m : {MouseMessage::LeftDown, MouseMessage::LeftUp, MouseMessage::RightDown,
                   MouseMessage::LeftDoubleClick, MouseMessage::Wheel}) {
        desk.InjectMouse(m, inside);
    }
    desk.InjectMouse(MouseMessage::LeftDown, {main.left, main.top}); // on the border: passes
    desk.InjectMouse(MouseMessage::LeftUp, {main.right + 10, main.top + 10});
    KeyEvent key;
    key.virtualKey = 'A';
    desk.InjectKey(key);
    key.message = KeyMessage::SysKeyDown;
    desk.InjectKey(key);
    EXPECT_EQ(mouseSeen, 2);
    EXPECT_EQ(keysSeen, 0);

    desk.SetForegroundWindow(w().hWnd()); // the globe is not in front: nothing is held back
    desk.InjectMouse(MouseMessage::LeftDown, inside);
    desk.InjectKey(key);
    EXPECT_EQ(mouseSeen, 3);
    EXPECT_EQ(keysSeen, 1);

    desk.SetForegroundWindow(earth->MainWindow());
    terrain().UnlockEarthInput();
    desk.InjectMouse(MouseMessage::LeftDown, inside);
    desk.InjectKey(key);
    EXPECT_EQ(mouseSeen, 4);
    EXPECT_EQ(keysSeen, 2);
}

// ---- the preview -----------------------------------------------------------------------------

TEST_F(TerrainTest, ResolutionOfTwentyOnAnEightHundredByFiveHundredViewIsTwentyByTwelve) {
    w().ctl.vscrollDEMResolution.UserSetValue(20);
    EXPECT_EQ(w().ctl.txtDEMResolution.Text(), "20 X 12");
    const auto& calls = desk.DrawCalls(earth->RenderWindow());
    int lines = 0;
    for (const auto& call : calls) {
        if (call.kind == desktop::DrawKind::Line) {
            ++lines;
            EXPECT_EQ(call.pen.colour, rgb(0, 255, 255));
            EXPECT_EQ(call.pen.width, 2);
        }
    }
    EXPECT_EQ(lines, 13 + 21);
    // Horizontal lines every round(500 / 12) = 42 pixels, vertical every 40.
    EXPECT_EQ(calls[1].from, (Point{0, 42}));
    EXPECT_EQ(calls[1].to, (Point{800, 42}));
    EXPECT_EQ(calls[13 + 1].from, (Point{40, 0}));
    ASSERT_EQ(calls.back().kind, desktop::DrawKind::Text);
    EXPECT_EQ(calls.back().text, "20 X 12");
    EXPECT_EQ(calls.back().font.face, "Alba");
    EXPECT_DOUBLE_EQ(calls.back().font.size, 50.0);
    EXPECT_EQ(calls.back().fill, rgb(255, 0, 0));
    EXPECT_EQ(desk.GetForegroundWindow(), earth->MainWindow());
    EXPECT_TRUE(host->DataView().Elements().empty()) << "the map preview is not chosen";
}

TEST_F(TerrainTest, MapPreviewReplacesItsLinesAcrossTheGlobeViewExtents) {
    w().Options().Click("previewDEMGridsInArcMap");
    ASSERT_EQ(w().values.demPreviewTarget, 1);
    w().ctl.vscrollDEMResolution.UserSetValue(10);
    w().ctl.vscrollDEMResolution.UserSetValue(15);
    const auto& elements = host->DataView().Elements();
    ASSERT_EQ(elements.size(), 10u + 16u) << "15 by 9: only the last preview";
    const auto e = earth->CreateApplication()->ViewExtents();
    EXPECT_NEAR(elements[0].polyline.Point(0).x, e.West, 1e-9);
    EXPECT_NEAR(elements[0].polyline.Point(1).x, e.East, 1e-9);
    EXPECT_NEAR(elements[9].polyline.Point(0).y, e.North, 1e-9);
    EXPECT_NEAR(elements.back().polyline.Point(0).x, e.East, 1e-9);
    EXPECT_TRUE(desk.DrawCalls(earth->RenderWindow()).empty()) << "not on the globe";
}

TEST_F(TerrainTest, TheLiveKmlWaitsTheWindowsCurrentDelay) {
    auto& ge = w().GE();
    const Geometry none = Geometry::empty(GeometryType::Polyline);
    (void)terrain().Kml().BuildFeatureKml(ge, none, 0, 1, kLiveFeatureIconColour, false,
                                          kAltitudeModeClampToGround); // reads the camera
    ASSERT_TRUE(terrain().Kml().HasStoredCamera());
    levers.FailOnce(doubles::GlobeOperation::LoadKmlData);
    for (int i = 0; i < 3; ++i) {
        w().Options().Click("ViewRefreshDelayIncrease");
    }
    const auto before = desk.TickCount();
    terrain().Kml().LoadKmlText(ge, "<kml/>"); // fails, and the view is put back after the delay
    EXPECT_EQ(desk.TickCount() - before, 60);
}

} // namespace
} // namespace scribeline::testing
