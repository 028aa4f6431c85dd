// The digitizer window's toolbar dispatch and its timers.
#include "command/frmGE2Arc.hpp"

#include "command/window_tables.hpp"
#include "options/option_names.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

namespace scribeline {

using namespace window_tables;

// ---- dispatch --------------------------------------------------------------------------------

void frmGE2Arc::longAction(const std::string& key, const std::function<void()>& before,
                           const std::function<void()>& work, const std::function<void()>& after) {
    state.currentButtonKey = key;
    errors_.NewRun();
    before();
    try {
        work();
    } catch (...) {
        // The action is over even though it failed: the window must not stay busy or keep
        // its buttons and frames locked.
        state.busy = false;
        try {
            after();
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
    after();
}

namespace {

// The toolbar's dispatch: one row per key, the handler it runs.
struct ToolbarDispatchRow {
    const char* key;
    void (frmGE2Arc::*handler)(const std::string& key);
};

} // namespace

void frmGE2Arc::toolbarScribeline_ButtonClick(const std::string& key) {
    namespace k = toolbar_keys;
    static constexpr ToolbarDispatchRow kDispatch[] = {
        {k::kSetGEView, &frmGE2Arc::toolbarSetGEView},
        {k::kSetArcView, &frmGE2Arc::toolbarSetArcView},
        {k::kExport, &frmGE2Arc::toolbarExport},
        {k::kRecord, &frmGE2Arc::toolbarStartRun},
        {k::kStart, &frmGE2Arc::toolbarStartRun},
        {k::kPause, &frmGE2Arc::toolbarPause},
        {k::kFinishFeature, &frmGE2Arc::toolbarFinishFeature},
        {k::kFinishLayer, &frmGE2Arc::toolbarFinishLayer},
        {k::kDem, &frmGE2Arc::toolbarTerrain},
        {k::kContour, &frmGE2Arc::toolbarTerrain},
        {k::kAbort, &frmGE2Arc::toolbarAbort},
    };
    for (const auto& row : kDispatch) {
        if (key == row.key) {
            (this->*row.handler)(key);
            return;
        }
    }
}

void frmGE2Arc::toolbarSetGEView(const std::string& key) {
    cmdSetGEViewEx_Click();
    ctl.toolbarScribeline.SetButtonValue(key, 0);
}

void frmGE2Arc::toolbarSetArcView(const std::string& key) {
    cmdSetArcViewEx_Click();
    ctl.toolbarScribeline.SetButtonValue(key, 0);
}

void frmGE2Arc::toolbarExport(const std::string& key) {
    auto& toolbar = ctl.toolbarScribeline;
    longAction(
        key,
        [&] {
            toolbar.SetButtonValue(key, 1);
            ctl.frameLayer.SetEnabled(false);
            ctl.frameGetDataFromGE.SetEnabled(false);
            showStatusPicture(ctl.pictGEInfoBusy);
            ctl.timerImportOrExport.SetEnabled(true);
        },
        [&] { cmdExportKML_Click(); },
        [&] {
            // The lamp stops with the export, like it does after the terrain commands.
            ctl.timerImportOrExport.SetEnabled(false);
            ctl.frameLayer.SetEnabled(true);
            ctl.frameGetDataFromGE.SetEnabled(true);
            showStatusPicture(ctl.pictGEInfoReady);
            toolbar.SetButtonImage(state.currentButtonKey, ownImage(state.currentButtonKey));
            toolbar.SetButtonValue(key, 0);
        });
}

// "start" or "record": a digitizing run.
void frmGE2Arc::toolbarStartRun(const std::string& key) {
    namespace k = toolbar_keys;
    auto& toolbar = ctl.toolbarScribeline;
    state.currentButtonKey = key;
    state.runKey = key;
    errors_.NewRun();
    toolbar.SetButtonEnabled(k::kPause, true);
    toolbar.SetButtonEnabled(key == k::kStart ? k::kRecord : k::kStart, false);
    toolbar.SetButtonEnabled(k::kDem, false);
    toolbar.SetButtonEnabled(k::kContour, false);
    cmdBeginDigitalizing_Click();
    toolbar.SetButtonValue(key, 1);
}

void frmGE2Arc::toolbarPause(const std::string& key) {
    ctl.toolbarScribeline.SetButtonValue(key, 0);
    cmdDigitizePauseOrContinue_Click();
}

void frmGE2Arc::toolbarFinishFeature(const std::string& key) {
    cmdFinishCurrentFeatureAndCreateNewFeature_Click();
    ctl.toolbarScribeline.SetButtonEnabled(key, false);
}

void frmGE2Arc::toolbarFinishLayer(const std::string& key) {
    namespace k = toolbar_keys;
    auto& toolbar = ctl.toolbarScribeline;
    cmdFinishCurrentFeatureAndCreateNewFeature_Click();
    toolbar.SetButtonValue(key, 0);
    toolbar.SetButtonValue(k::kStart, 0);
    toolbar.SetButtonImage(k::kStart, ownImage(k::kStart));
    cmdEndDigitalizing_Click();
    desktop_.Sleep(100);
    (void)Unload();
}

// "dem" or "contour": a terrain command.
void frmGE2Arc::toolbarTerrain(const std::string& key) {
    namespace k = toolbar_keys;
    auto& toolbar = ctl.toolbarScribeline;
    longAction(
        key,
        [&] {
            state.runKey = key;
            toolbar.SetButtonValue(key, 1);
            toolbar.SetButtonEnabled(k::kStart, false);
            toolbar.SetButtonEnabled(k::kRecord, false);
            showStatusPicture(ctl.pictGEInfoBusy);
            ctl.timerImportOrExport.SetEnabled(true);
        },
        [&] {
            if (key == k::kDem) {
                cmdGetDEMDateFromGE_Click();
            } else {
                cmdGetContourFromGE_Click();
            }
        },
        [&] {
            ctl.timerImportOrExport.SetEnabled(false);
            showStatusPicture(ctl.pictGEInfoReady);
            toolbar.SetButtonValue(key, 0);
            toolbar.SetButtonEnabled(k::kStart, true);
            toolbar.SetButtonEnabled(k::kRecord, true);
            toolbar.SetButtonImage(key, ownImage(key));
        });
}

void frmGE2Arc::toolbarAbort(const std::string& key) {
    namespace k = toolbar_keys;
    auto& toolbar = ctl.toolbarScribeline;
    toolbar.SetButtonEnabled(key, true);
    toolbar.SetButtonValue(k::kStart, 0);
    toolbar.SetButtonImage(k::kStart, ownImage(k::kStart));
    cmdAbort_Click();
}

// ---- timers ----------------------------------------------------------------------------------

void frmGE2Arc::timerImportOrExport_Timer() {
    if (!options_.Checked(option_names::kAlarmLamp)) {
        return;
    }
    const std::string& key = state.currentButtonKey;
    if (key.empty() || !ctl.toolbarScribeline.HasButton(key)) {
        return;
    }
    state.blinkPhase = !state.blinkPhase;
    ctl.toolbarScribeline.SetButtonImage(key, state.blinkPhase ? toolbar_keys::kImageNothing
                                                               : ownImage(key));
}

void frmGE2Arc::timerMsgBox_Timer() {
    const WindowHandle box = desktop_.FindWindow(std::nullopt, std::string(kMsgBoxTitle));
    if (box != kNoWindow) {
        desktop_.PostCloseMessage(box);
    }
}

} // namespace scribeline
