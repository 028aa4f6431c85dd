// The digitizer window's option panels, keys, options menu and the in-view tool strip.
#include "command/frmGE2Arc.hpp"

#include "command/window_tables.hpp"
#include "options/option_names.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

namespace scribeline {

using namespace window_tables;

// ---- option panels ---------------------------------------------------------------------------

void frmGE2Arc::vscrollDEMResolution_Change() {
    process_.globe.application = globe_.CreateApplication();
    const WindowHandle render = process_.globe.application->GetRenderHwnd();
    process_.globe.renderWindow = render;
    const auto rect = desktop_.GetWindowRect(render);
    process_.globe.renderRect = rect;
    if (!rect || rect->width() <= 0) {
        throw PortError("GetWindowRect", "the globe's render window has no size");
    }
    const int columns = ctl.vscrollDEMResolution.Value();
    const double rows = std::nearbyint(static_cast<double>(columns) * rect->height() /
                                       static_cast<double>(rect->width()));
    state.demColumns = columns;
    state.demRows = static_cast<int>(rows);
    ctl.txtDEMResolution.SetText(std::to_string(state.demColumns) + " X " +
                                 std::to_string(state.demRows));
    if (state.loaded) {
        Terrain().PreviewDEMResolution(state.demColumns, state.demRows);
        ctl.txtDEMResolution.SetFocus();
    }
}

void frmGE2Arc::vscrollRecordPPS_Change() {
    ctl.txtRecordPPS.SetText(std::to_string(ctl.vscrollRecordPPS.Value()));
    if (state.loaded) {
        ctl.txtRecordPPS.SetFocus();
    }
}

void frmGE2Arc::optContourLevel_Click(int index) {
    ctl.txtContourLevelNumber.SetEnabled(index == 0);
    ctl.vscrollContourLevelnumber.SetEnabled(index == 0);
    ctl.txtContourLevelInterval.SetEnabled(index == 1);
    ctl.vscrollContourLevelInterval.SetEnabled(index == 1);
    ctl.txtContourLevels.SetEnabled(index == 2);
    const bool byStart = index == 0 || index == 1;
    ctl.optStartElevation[0].SetEnabled(byStart);
    ctl.optStartElevation[1].SetEnabled(byStart);
    ctl.txtStartElevation.SetEnabled(byStart && ctl.optStartElevation.Selected() == 0);
}

void frmGE2Arc::optStartElevation_Click(int index) {
    ctl.txtStartElevation.SetEnabled(index == 0);
}

void frmGE2Arc::vscrollContourLevelnumber_Change() {
    ctl.txtContourLevelNumber.SetText(std::to_string(ctl.vscrollContourLevelnumber.Value()));
    if (state.loaded) {
        ctl.txtContourLevelNumber.SetFocus();
    }
}

void frmGE2Arc::vscrollContourLevelInterval_Change() {
    ctl.txtContourLevelInterval.SetText(std::to_string(ctl.vscrollContourLevelInterval.Value()));
    if (state.loaded) {
        ctl.txtContourLevelInterval.SetFocus();
    }
}

void frmGE2Arc::optLocationReference_Click(int index) {
    if (index != 1) {
        return;
    }
    const WindowHandle main = GE().GetMainHwnd();
    process_.globe.mainWindow = main;
    if (desktop_.IsIconic(main)) {
        ctl.optLocationReference.Select(0);
    }
}

void frmGE2Arc::imgLocation_Click(int index) {
    SetMeIntoArcWindow(index);
}

// ---- keys and the options menu ---------------------------------------------------------------

void frmGE2Arc::Form_KeyDown(int keyCode, int shift) {
    constexpr int kCtrlOnly = 2;
    if (shift != kCtrlOnly) {
        return;
    }
    switch (keyCode) {
    case vk::F7:
        ScreenShots().TakeScreenShot(0);
        break;
    case vk::F8:
        ScreenShots().TakeScreenShot(1);
        break;
    case vk::F9:
        ScreenShots().TakeScreenShot(2);
        break;
    case 'I':
        options_.ViewRefreshDelayIncrease_Click();
        break;
    case 'D':
        options_.ViewRefreshDelayDecrease_Click();
        break;
    default:
        break;
    }
}

void frmGE2Arc::Form_RightButton(Point client, Point screen) {
    const int x = client.x * desktop_.TwipsPerPixelX();
    const int y = client.y * desktop_.TwipsPerPixelY();
    if (ctl.toolbarScribeline.Visible() && ctl.toolbarScribeline.GetBounds().contains(x, y)) {
        return;
    }
    // The innermost visible frame under the pointer decides; the window background counts
    // like the frames that pop the menu up.
    const controls::Frame* frames[] = {&ctl.frameOption,       &ctl.frameContour,
                                       &ctl.frameDEM,          &ctl.frameGetDataFromGE,
                                       &ctl.frameLayer,        &ctl.frameLocation,
                                       &ctl.frameGeometryType, &ctl.frameProperty,
                                       &ctl.frameMeasureTrack, &ctl.frameStartElevation};
    const controls::Frame* hit = nullptr;
    for (const controls::Frame* frame : frames) {
        const auto& b = frame->GetBounds();
        if (!frame->Visible() || !b.contains(x, y)) {
            continue;
        }
        if (hit == nullptr || static_cast<long>(b.width) * b.height <
                                  static_cast<long>(hit->Width()) * hit->Height()) {
            hit = frame;
        }
    }
    const bool popsUp = hit == nullptr || hit == &ctl.frameOption || hit == &ctl.frameContour ||
                        hit == &ctl.frameDEM || hit == &ctl.frameGetDataFromGE ||
                        hit == &ctl.frameLayer || hit == &ctl.frameLocation;
    if (popsUp) {
        PopupOptionsMenu(screen);
    }
}

void frmGE2Arc::prepareSaveDataIn3D() {
    if (ctl.optNewOrExistingLayer.Selected() != 1) {
        options_.SetEnabled(option_names::kSaveDataIn3D, true);
        return;
    }
    if (!application_) {
        throw std::runtime_error("The window has no map host application to find the layer in.");
    }
    const std::string& name = ctl.cboSelectLayer.Text();
    for (const auto& layer : application_->Document()->FocusMap()->Layers()) {
        if (layer->Kind() != LayerKind::Feature || layer->Name() != name) {
            continue;
        }
        auto featureLayer = std::dynamic_pointer_cast<IFeatureLayer>(layer);
        auto featureClass = featureLayer ? featureLayer->FeatureClass() : nullptr;
        if (!featureClass) {
            continue;
        }
        options_.SetChecked(option_names::kSaveDataIn3D, featureClass->HasZ());
        options_.SetEnabled(option_names::kSaveDataIn3D, false);
        return;
    }
    throw std::runtime_error("The map has no feature layer named \"" + name + "\".");
}

void frmGE2Arc::PopupOptionsMenu(Point screen) {
    if (state.digitizingActive) {
        return;
    }
    prepareSaveDataIn3D();
    options_.PopupMenu(screen, true);
}

// ---- the in-view tool strip ------------------------------------------------------------------

int frmGE2Arc::toolStripZone(Point client) const {
    if (client.x < 50) {
        return 1; // finish the feature
    }
    if (client.x >= 60 && client.x <= 90) {
        return 2; // finish the layer
    }
    if (client.x > 100) {
        return 3; // abort
    }
    return 0; // between the zones
}

void frmGE2Arc::pictGETool_MouseDown(Point client, Point screen) {
    if (client.x < 0 || client.y < 0 || client.x >= kDragHandle || client.y >= kDragHandle) {
        return;
    }
    const WindowHandle strip = ctl.pictGETool.hWnd();
    const auto rect = desktop_.GetWindowRect(strip);
    if (!rect) {
        return;
    }
    Point origin{rect->left, rect->top};
    const WindowHandle parent = desktop_.GetParent(strip);
    if (parent != kNoWindow) {
        if (auto inParent = desktop_.ScreenToClient(parent, origin)) {
            origin = *inParent;
        }
    }
    dragging_ = true;
    dragMoved_ = false;
    dragAnchor_ = screen;
    dragOrigin_ = origin;
}

void frmGE2Arc::pictGETool_MouseMove(Point client, Point screen) {
    if (dragging_) {
        dragMoved_ = true;
        desktop_.SetWindowPos(ctl.pictGETool.hWnd(), dragOrigin_.x + screen.x - dragAnchor_.x,
                              dragOrigin_.y + screen.y - dragAnchor_.y, 0, 0,
                              swp::NoSize | swp::NoZOrder);
        ctl.pictGETool.SyncFromWindow();
        return;
    }
    ctl.pictGETool.SetPictureKey(ctl.pictPicture[toolStripZone(client)].PictureKey());
    state.toolStripHover = true;
}

void frmGE2Arc::pictGETool_MouseUp(Point client, Point /*screen*/) {
    if (dragging_) {
        // A press on the handle moves the strip; it never counts as a click.
        dragging_ = false;
        return;
    }
    switch (toolStripZone(client)) {
    case 1:
        if (state.finishAllowed) {
            toolbarScribeline_ButtonClick(toolbar_keys::kFinishFeature);
        }
        desktop_.SetForegroundWindow(GE().GetMainHwnd());
        break;
    case 2: {
        const WindowHandle main = GE().GetMainHwnd();
        toolbarScribeline_ButtonClick(toolbar_keys::kFinishLayer);
        desktop_.SetForegroundWindow(main);
        break;
    }
    case 3:
        toolbarScribeline_ButtonClick("abort");
        break;
    default:
        break;
    }
}

} // namespace scribeline
