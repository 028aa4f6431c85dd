// Capturing vertices from the globe's render view: the low-level hooks that turn mouse events
// into a pending position and click state, the capture step of each tick, and the feedback
// drawn on the globe's view, the map view and the desktop.
#include "digitizing/basDigitizing.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace scribeline::digitizing {

namespace {

constexpr Colour kYellow = rgb(255, 255, 0);
constexpr Colour kCyan = rgb(0, 255, 255);
constexpr Colour kFeedback = rgb(255, 128, 128);
constexpr int kCursorMarkerSize = 20;
constexpr int kArcCursorSize = 16;
constexpr int kAnimationFrames = 6;
constexpr int kAnimationPauseMs = 5;
// A pointer move redraws at most this many of the newest track segments: older ones stay as
// they were drawn, and a move keeps a bounded cost however long the stream grows.
constexpr int kTrackSegmentsDrawn = 1000;

const char* const kDialogTitles[] = {"Google Earth - New Placemark", "Google Earth - New Path",
                                     "Google Earth - New Polygon"};
const char* const kDialogShortcuts[] = {"^+P", "^+T", "^+G"};

} // namespace

void DigitizingRun::createSymbols() {
    pointSymbol_ = Symbol{SymbolKind::SimpleMarker, kFeedback, 8.0, 1, 1.0, 0};
    firstVertexSymbol_ = Symbol{SymbolKind::SimpleMarker, kFeedback, 8.0, 0, 1.0, 0};
    lastVertexSymbol_ = Symbol{SymbolKind::SimpleMarker, kFeedback, 8.0, 2, 1.0, 0};
    lineSymbol_ = Symbol{SymbolKind::SimpleLine, kFeedback, 2.0, 0, 1.0, 0};
    fillSymbol_ = Symbol{SymbolKind::SimpleFill, kFeedback, 1.0, 1, 2.0, 0};
    greenLineSymbol_ = Symbol{SymbolKind::SimpleLine, rgb(0, 255, 0), 1.0, 0, 1.0, 0};
}

// ---- start and stop ----------------------------------------------------------------------------

void DigitizingRun::startCapture() {
    auto& globe = cx_.process.globe;
    globe.renderWindow = ge().GetRenderHwnd();
    globe.renderRect = cx_.desktop.GetWindowRect(globe.renderWindow);
    if (globe.renderRect) {
        lastRenderRect_ = globe.renderRect;
        globe.mainWindow = ge().GetMainHwnd();
        geMainWindow_ = globe.mainWindow;
        installHooks();
    }
}

void DigitizingRun::stopCapture() {
    removeHooks();
    cx_.desktop.Sleep(500);
}

void DigitizingRun::installHooks() {
    removeHooks(); // one mouse hook at a time
    clickCount_ = 0;
    clickState_ = ClickState::Nothing;
    leftHeld_ = false;
    rightHeld_ = false;
    auto& desktop = cx_.desktop;
    if (cx_.state.runKey == "start") {
        mouseHook_ = desktop.SetMouseHook([this](const MouseEvent& e) { return clickHook(e); });
        viewChanged_ = false;
        startExtents_ = ge().ViewExtents();
    } else {
        mouseHook_ = desktop.SetMouseHook([this](const MouseEvent& e) { return recordHook(e); });
        keyboardHook_ = desktop.SetKeyboardHook([this](const KeyEvent& e) {
            lastKey_ = e;
            return HookResult::Pass;
        });
    }
}

void DigitizingRun::removeHooks() {
    auto& desktop = cx_.desktop;
    if (mouseHook_ != 0) {
        desktop.Unhook(mouseHook_);
        mouseHook_ = 0;
    }
    if (keyboardHook_ != 0) {
        desktop.Unhook(keyboardHook_);
        keyboardHook_ = 0;
    }
}

// ---- hooks -------------------------------------------------------------------------------------

bool DigitizingRun::hookEntry(const MouseEvent& event, Point& client, Size& render) {
    if (!event.ready) {
        return false;
    }
    auto& desktop = cx_.desktop;
    const WindowHandle renderWindow = cx_.process.globe.renderWindow;
    pointerScreen_ = event.screen;
    if (renderWindow == kNoWindow || desktop.WindowFromPoint(event.screen) != renderWindow) {
        return false;
    }
    const auto point = desktop.ScreenToClient(renderWindow, event.screen);
    const auto rect = desktop.GetClientRect(renderWindow);
    if (!point || !rect) {
        return false;
    }
    client = *point;
    render = Size{rect->width(), rect->height()};
    pointerClient_ = client;
    return true;
}

HookResult DigitizingRun::clickHook(const MouseEvent& event) {
    Point client;
    Size render;
    if (!hookEntry(event, client, render)) {
        return HookResult::Pass;
    }
    if (!checked("NavZoneEnabled") && InNavigationZone(client, render.width)) {
        // The globe's own navigation controls: the view may move, nothing is digitized.
        if (event.message == MouseMessage::LeftDown) {
            viewChanged_ = true;
        }
        return HookResult::Pass;
    }
    if (cx_.state.toolStripHover) {
        cx_.state.toolStripHover = false;
        cx_.ctl.pictGETool.SetPictureKey(cx_.ctl.pictPicture[0].PictureKey());
    }
    switch (event.message) {
    case MouseMessage::Move:
        drawCursorMarker(client);
        if (checked("RubberTrack") && !viewChanged_) {
            drawRubberBand(client);
        }
        break;
    case MouseMessage::LeftDown:
        lastClickScreen_ = event.screen;
        pending_ = NormalisedPosition(client, render);
        clickCount_ = std::min(clickCount_ + 1, kMaxVertexCount);
        clickTrack_[static_cast<std::size_t>(clickCount_)] = client;
        clickState_ = ClickState::Add;
        viewChanged_ = false;
        break;
    case MouseMessage::RightDown:
        clickState_ = ClickState::Remove;
        if (clickCount_ >= 1) {
            --clickCount_;
        }
        break;
    case MouseMessage::Wheel:
        viewChanged_ = true;
        break;
    default:
        break;
    }
    return HookResult::Pass;
}

HookResult DigitizingRun::recordHook(const MouseEvent& event) {
    // Releases count wherever they happen, or a drag ending outside the view would go on.
    if (event.message == MouseMessage::LeftUp) {
        leftHeld_ = false;
    } else if (event.message == MouseMessage::RightUp) {
        rightHeld_ = false;
    }
    Point client;
    Size render;
    if (!hookEntry(event, client, render)) {
        return HookResult::Pass;
    }
    if (cx_.state.toolStripHover) {
        cx_.state.toolStripHover = false;
        cx_.ctl.pictGETool.SetPictureKey(cx_.ctl.pictPicture[0].PictureKey());
    }
    const int vertexIndex = std::clamp(cx_.state.vertexCount, 0, kMaxVertexCount);
    if (rightHeld_) {
        clickCount_ = vertexIndex;
        clickState_ = ClickState::Remove;
    }
    switch (event.message) {
    case MouseMessage::LeftDown:
        leftHeld_ = true;
        break;
    case MouseMessage::LeftUp:
        leftHeld_ = false;
        break;
    case MouseMessage::RightDown:
        clickState_ = ClickState::Remove;
        rightHeld_ = true;
        if (clickCount_ >= 1) {
            --clickCount_;
        }
        break;
    case MouseMessage::RightUp:
        clickState_ = ClickState::Nothing;
        rightHeld_ = false;
        break;
    case MouseMessage::Move:
        drawTrack(client);
        if (checked("DisplyCursorInArcMap") || leftHeld_) {
            lastClickScreen_ = event.screen;
            pending_ = NormalisedPosition(client, render);
            clickCount_ = vertexIndex;
            clickTrack_[static_cast<std::size_t>(clickCount_)] = client;
            clickState_ = leftHeld_ ? ClickState::Add : ClickState::Nothing;
        }
        break;
    default:
        clickState_ = ClickState::Nothing;
        break;
    }
    return HookResult::Pass;
}

// ---- drawing on the globe's view ---------------------------------------------------------------

void DigitizingRun::drawCursorMarker(Point client) {
    auto& desktop = cx_.desktop;
    const WindowHandle render = cx_.process.globe.renderWindow;
    const Pen pen{kYellow, 1, RasterOp::Copy};
    const int half = kCursorMarkerSize / 2;
    desktop.DrawLine(render, {client.x - half, client.y}, {client.x - 3, client.y}, pen);
    desktop.DrawLine(render, {client.x + 3, client.y}, {client.x + half, client.y}, pen);
    desktop.DrawLine(render, {client.x, client.y - half}, {client.x, client.y - 3}, pen);
    desktop.DrawLine(render, {client.x, client.y + 3}, {client.x, client.y + half}, pen);
}

void DigitizingRun::drawRubberBand(Point client) {
    if (clickCount_ < 1 || kind() == 0) {
        return;
    }
    auto& desktop = cx_.desktop;
    const WindowHandle render = cx_.process.globe.renderWindow;
    const Pen pen{kCyan, 2, RasterOp::Copy};
    desktop.DrawLine(render, clickTrack_[static_cast<std::size_t>(clickCount_)], client, pen);
    if (kind() == 2) {
        desktop.DrawLine(render, clickTrack_[1], client, pen);
    }
}

void DigitizingRun::drawTrack(Point client) {
    auto& desktop = cx_.desktop;
    const WindowHandle render = cx_.process.globe.renderWindow;
    const Pen pen{kCyan, 2, RasterOp::Copy};
    for (int i = std::max(2, clickCount_ - kTrackSegmentsDrawn + 1); i <= clickCount_; ++i) {
        desktop.DrawLine(render, clickTrack_[static_cast<std::size_t>(i - 1)],
                         clickTrack_[static_cast<std::size_t>(i)], pen);
    }
    if (clickCount_ >= 1) {
        desktop.DrawLine(render, clickTrack_[static_cast<std::size_t>(clickCount_)], client, pen);
    }
}

// ---- the tick ----------------------------------------------------------------------------------

void DigitizingRun::timerDigitalizing_Timer() {
    if (!captureEnabled_) {
        return;
    }
    // 1
    if (checked("alarmLamp")) {
        alarmLamp();
    }
    // 2
    auto& globe = cx_.process.globe;
    const auto rect = cx_.desktop.GetWindowRect(globe.renderWindow);
    globe.renderRect = rect;
    if (!rect) {
        return;
    }
    if (!lastRenderRect_ || lastRenderRect_->width() != rect->width() ||
        lastRenderRect_->height() != rect->height()) {
        lastRenderRect_ = rect;
        viewChanged_ = true;
    }
    // 3, 4
    if (pending_.x >= -2.0 && pending_.y >= -2.0) {
        captureStep();
    }
}

void DigitizingRun::alarmLamp() {
    auto& state = cx_.state;
    state.blinkPhase = !state.blinkPhase;
    auto& toolbar = cx_.ctl.toolbarScribeline;
    if (toolbar.HasButton(state.currentButtonKey)) {
        toolbar.SetButtonImage(state.currentButtonKey, state.blinkPhase ? "starting" : "nothing");
    }
    const WindowHandle strip = cx_.ctl.pictGETool.hWnd();
    if (strip != kNoWindow) {
        const Colour blue = rgb(0, 0, 255);
        cx_.desktop.FillCircle(strip, {6, 6}, 4, state.blinkPhase ? rgb(255, 0, 0) : blue, blue);
    }
}

void DigitizingRun::captureStep() {
    IApplicationGE& globe = ge();
    // 1
    globe.SetElevationExaggeration(1.0);
    const IPointOnTerrainGE point = globe.GetPointOnTerrainFromScreenCoords(pending_.x, pending_.y);
    // 2
    if (!AcceptTerrainPoint(point)) {
        return;
    }
    // 3
    switch (clickState_) {
    case ClickState::Remove: {
        if (shape().IsEmpty()) {
            return;
        }
        const MapPoint last = shape().Point(shape().PointCount() - 1);
        removeLastVertex();
        cx_.target.Document()->ActiveView()->Refresh();
        if (cx_.state.vertexCount > 0) {
            --cx_.state.vertexCount;
            const bool animate = cx_.state.runKey == "start"
                                     ? checked("PlayAnimationWhenDigitizing")
                                     : checked("PlayAnimationWhenRecording");
            if (animate) {
                playAnimation(last, lastClickScreen_, false);
            }
        }
        clickState_ = ClickState::Nothing;
        break;
    }
    case ClickState::Nothing:
        if (checked("DisplyCursorInArcMap")) {
            drawArcMapCursor(point);
        }
        break;
    case ClickState::Add:
        if (cx_.state.digitizingActive) {
            const int index = cx_.state.vertexCount;
            if (index < 0 || index > kMaxVertexCount) {
                throw std::out_of_range("The feature holds more vertices than the run allows.");
            }
            pixelTrack_[static_cast<std::size_t>(index)] = lastClickScreen_;
            const bool animate = cx_.state.runKey == "start"
                                     ? checked("PlayAnimationWhenDigitizing")
                                     : checked("PlayAnimationWhenRecording");
            if (animate) {
                playAnimation(MapPoint{point.Longitude, point.Latitude, point.Altitude},
                              lastClickScreen_, true);
            }
            addVertex(point);
            if (index == 0) {
                firstX_ = point.Longitude;
                firstY_ = point.Latitude;
            }
            ++cx_.state.vertexCount;
            clickState_ = ClickState::Nothing;
            if (cx_.state.vertexCount > kMaxVertexCount) {
                autoFinish();
                return; // the window is gone
            }
        }
        break;
    }
    // 4
    redrawInArcMap();
    updateFinishButtons();
}

void DigitizingRun::addVertex(const IPointOnTerrainGE& point) {
    shape().AddPoint(MapPoint{point.Longitude, point.Latitude, point.Altitude});
    if (checked("MeasureTrack")) {
        UpdateMeasureTrack();
    }
    if (cx_.state.runKey == "start") {
        kml_.ShowFeatureInEarth(ge(), useKmlFile_, kind(), shape(), LiveKmlPath(), true);
    }
}

void DigitizingRun::removeLastVertex() {
    const int n = shape().PointCount();
    if (n >= 1) {
        shape().RemovePoints(n - 1, 1);
        if (cx_.state.runKey == "start") {
            kml_.ShowFeatureInEarth(ge(), useKmlFile_, kind(), shape(), LiveKmlPath(), true);
        }
    }
}

void DigitizingRun::autoFinish() {
    cmdFinishCurrentFeatureAndCreateNewFeature_Click();
    cmdEndDigitalizing_Click();
    cx_.desktop.Sleep(100);
    (void)cx_.window.Unload();
}

void DigitizingRun::updateFinishButtons() {
    auto& toolbar = cx_.ctl.toolbarScribeline;
    const bool allowed = cx_.state.vertexCount >= MinimumVertices(kind());
    toolbar.SetButtonEnabled("finishfeature", allowed);
    toolbar.SetButtonEnabled("finishlayer", allowed);
    cx_.state.finishAllowed = allowed;
}

// ---- feedback in the map and on the desktop ----------------------------------------------------

void DigitizingRun::redrawInArcMap() {
    if (!cx_.target.Document()) {
        return;
    }
    IScreenDisplay& display = cx_.target.Document()->ActiveView()->ScreenDisplay();
    display.StartDrawing(-2);
    const int n = shape().PointCount();
    if (kind() == 0) {
        display.SetSymbol(pointSymbol_);
        for (int i = 0; i < n; ++i) {
            const MapPoint& p = shape().Point(i);
            display.DrawPoint(Geometry::point(p.x, p.y, p.z));
        }
    } else if (n >= 1) {
        if (kind() == 2 && n >= 3) {
            display.SetSymbol(fillSymbol_);
            display.DrawPolygon(shape());
        } else {
            Geometry line = shape();
            line.type = GeometryType::Polyline;
            display.SetSymbol(lineSymbol_);
            display.DrawPolyline(line);
        }
    }
    if (n >= 1) {
        const MapPoint& first = shape().Point(0);
        const MapPoint& last = shape().Point(n - 1);
        display.SetSymbol(firstVertexSymbol_);
        display.DrawPoint(Geometry::point(first.x, first.y, first.z));
        display.SetSymbol(lastVertexSymbol_);
        display.DrawPoint(Geometry::point(last.x, last.y, last.z));
    }
    display.FinishDrawing();
}

void DigitizingRun::drawArcMapCursor(const IPointOnTerrainGE& point) {
    if (!cx_.target.Document()) {
        return;
    }
    IScreenDisplay& display = cx_.target.Document()->ActiveView()->ScreenDisplay();
    IDisplayTransformation& transform = display.DisplayTransformation();
    const scribeline::Point at = transform.FromMapPoint(MapPoint{point.Longitude, point.Latitude});
    const auto figure = [&](scribeline::Point centre) {
        const int half = kArcCursorSize / 2;
        Geometry across = Geometry::empty(GeometryType::Polyline);
        across.AddPoint(transform.ToMapPoint({centre.x - half, centre.y}));
        across.AddPoint(transform.ToMapPoint({centre.x + half, centre.y}));
        Geometry down = Geometry::empty(GeometryType::Polyline);
        down.AddPoint(transform.ToMapPoint({centre.x, centre.y - half}));
        down.AddPoint(transform.ToMapPoint({centre.x, centre.y + half}));
        display.DrawPolyline(across);
        display.DrawPolyline(down);
    };
    display.StartDrawing(-2);
    display.SetSymbol(greenLineSymbol_);
    if (arcCursorShowing_) {
        figure(arcCursorAt_);
    }
    figure(at);
    display.FinishDrawing();
    arcCursorAt_ = at;
    arcCursorShowing_ = true;
}

void DigitizingRun::playAnimation(const MapPoint& vertex, Point clickScreen, bool towardsMap) {
    if (!cx_.target.Document() || mapViewWindow_ == kNoWindow) {
        return;
    }
    auto& desktop = cx_.desktop;
    const scribeline::Point device =
        cx_.target.Document()->ActiveView()->ScreenDisplay().DisplayTransformation().FromMapPoint(
            vertex);
    const auto mapScreen = desktop.ClientToScreen(mapViewWindow_, device);
    if (!mapScreen) {
        return;
    }
    const Point from = towardsMap ? clickScreen : *mapScreen;
    const Point to = towardsMap ? *mapScreen : clickScreen;
    const WindowHandle screen = desktop.GetDesktopWindow();
    const Pen pen{kCyan, 2, RasterOp::Invert};
    for (int frame = 1; frame <= kAnimationFrames; ++frame) {
        const double t = static_cast<double>(frame) / kAnimationFrames;
        const Point head{static_cast<int>(std::lround(from.x + (to.x - from.x) * t)),
                         static_cast<int>(std::lround(from.y + (to.y - from.y) * t))};
        desktop.DrawLine(screen, from, head, pen);
        desktop.Sleep(kAnimationPauseMs);
        desktop.DrawLine(screen, from, head, pen); // inverting twice erases it
    }
}

// ---- dialog-assisted capture -------------------------------------------------------------------

void DigitizingRun::Command1_Click() {
    auto& desktop = cx_.desktop;
    const int geometryKind = std::clamp(kind(), 0, 2);
    const auto k = static_cast<std::size_t>(geometryKind);
    for (int attempt = 0; attempt < 3; ++attempt) {
        desktop.SetForegroundWindow(ge().GetMainHwnd());
        desktop.SendKeys(kDialogShortcuts[k]);
        desktop.SendKeys("Scribeline4Arc");
        const WindowHandle dialog =
            desktop.FindWindow(std::string("QTool"), std::string(kDialogTitles[k]));
        if (dialog != kNoWindow) {
            // Out of the user's way: the placemark is confirmed by Command2.
            const Size screen = desktop.GetScreenSize();
            desktop.SetWindowPos(dialog, screen.width, screen.height, 0, 0,
                                 swp::NoSize | swp::NoZOrder);
            desktop.ShowWindow(dialog, ShowCommand::Hide);
            return;
        }
        desktop.Sleep(100);
    }
}

void DigitizingRun::Command2_Click() {
    auto& desktop = cx_.desktop;
    for (const char* title : kDialogTitles) {
        const WindowHandle dialog = desktop.FindWindow(std::string("QTool"), std::string(title));
        if (dialog != kNoWindow) {
            desktop.SetForegroundWindow(dialog);
            desktop.SendKeys("{ENTER}");
            return;
        }
    }
}

} // namespace scribeline::digitizing
