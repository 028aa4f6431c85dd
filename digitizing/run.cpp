// The digitizing run: begin, pause and continue, finish, end and abort, the target layer it
// writes into, the measure read-out and the checks made when the user chooses a layer.
#include "digitizing/basDigitizing.hpp"
#include "digitizing/map_reference.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace scribeline::digitizing {

namespace {

constexpr const char* kEditorClsid = "esriCore.Editor";

} // namespace

DigitizingRun::DigitizingRun(const DigitizingRunContext& context)
    : cx_(context), kml_(context.desktop, [this] { return cx_.values.viewRefreshDelay; }),
      exportChecks_(context.desktop, context.window.hWnd()) {
    createSymbols();
}

DigitizingRun::~DigitizingRun() {
    removeHooks();
}

IMapApplication& DigitizingRun::host() {
    return cx_.map;
}

IApplicationGE& DigitizingRun::ge() {
    return cx_.window.GE();
}

bool DigitizingRun::checked(const std::string& item) {
    return cx_.options.Checked(item);
}

void DigitizingRun::setOptionQuietly(controls::OptionArray& options, int index) {
    const bool was = changingOptions_;
    changingOptions_ = true;
    try {
        options.Select(index);
    } catch (...) {
        changingOptions_ = was;
        throw;
    }
    changingOptions_ = was;
}

std::string DigitizingRun::LiveName() const {
    return cx_.target.LiveName();
}

std::filesystem::path DigitizingRun::LiveKmlPath() const {
    return cx_.target.LiveKmlPath();
}

// ---- begin -----------------------------------------------------------------------------------

void DigitizingRun::cmdBeginDigitalizing_Click() {
    auto& c = cx_.ctl;
    auto& desktop = cx_.desktop;
    auto& process = cx_.process;

    // 1
    arcCursorShowing_ = false;
    process.globe.application = cx_.globe.CreateApplication();
    if (ge().IsInitialized() == 0) {
        return;
    }
    // 2
    mapViewWindow_ = desktop.FindWindowEx(host().hWnd(), kNoWindow,
                                          std::string("AfxFrameOrView70u"), std::string());
    // 3
    cx_.window.RecoverControlParent();
    cx_.window.SetControlParentToGE(c.pictGETool);
    // 4
    recordRate_ = RecordRate(c.txtRecordPPS.Text());
    // 5
    cx_.target.PrepareMap();
    // 6
    useKmlFile_ = checked("usingKmlFile");
    c.cmdBeginDigitalizing.SetEnabled(false);
    // 7
    pending_ = ViewPosition{};
    // 8 to 10: the next run number, then a new layer or the chosen one
    cx_.target.PrepareLayer(std::clamp(c.optGeometryType.Selected(), 0, 2));
    startEditing();
    // 11
    cx_.state.digitizingActive = true;
    firstX_ = 0.0;
    firstY_ = 0.0;
    cx_.state.vertexCount = 0;
    // 12
    c.timerDigitalizing.SetInterval(TickInterval(cx_.state.runKey, recordRate_));
    c.timerDigitalizing.SetEnabled(true);
    // 13
    desktop.SetForegroundWindow(ge().GetMainHwnd());
    c.cmdEndDigitalizing.SetEnabled(true);
    // 14
    shape() = Geometry::empty(kind() == 2 ? GeometryType::Polygon : GeometryType::Polyline);
    // 15
    clickState_ = ClickState::Nothing;
    startCapture();
    captureEnabled_ = true;
    // 16
    if (checked("EditFeatureProperties")) {
        if (!gridPrepared_) {
            cx_.window.DefListViewHead();
            gridPrepared_ = true;
        }
        cx_.grid.FillFromFields(cx_.target.TargetFeatureClass()->GetFields());
        c.frameProperty.SetVisible(true);
    } else {
        // The strip layout has no room for the grid: features get the run's name instead.
        c.frameProperty.SetVisible(false);
        cx_.window.ApplyLayout("digitizing");
    }
}

// ---- edit session ------------------------------------------------------------------------------

void DigitizingRun::startEditing() {
    editor_ = host().FindExtensionByCLSID(kEditorClsid);
    if (!editor_) {
        throw std::runtime_error("The map host has no editor.");
    }
    if (editor_->EditState() != kEditStateEditing) {
        editor_->StartEditing(cx_.target.TargetFeatureClass()->Workspace());
    }
}

void DigitizingRun::stopEditing(bool save) {
    if (editor_) {
        auto editor = std::move(editor_);
        editor_.reset();
        editor->StopEditing(save);
    }
}

// ---- steering ----------------------------------------------------------------------------------

void DigitizingRun::cmdDigitizePauseOrContinue_Click() {
    auto& button = cx_.ctl.cmdDigitizePauseOrContinue;
    if (button.Caption() != "Continue") {
        cx_.desktop.MessageBox(cx_.window.hWnd(),
                               "To continue the digitization, click the Scribeline Button again.",
                               kDigitizerCaption, mb::Ok | mb::SystemModal);
        captureEnabled_ = false;
        button.SetCaption("Continue");
        cx_.window.Hide();
        stopCapture();
    } else {
        captureEnabled_ = true;
        cx_.window.Hide();
        button.SetCaption("Pause");
        startCapture();
        cx_.window.Show(true);
    }
}

void DigitizingRun::cmdFinishCurrentFeatureAndCreateNewFeature_Click() {
    FinishFeature();
    if (auto document = cx_.target.Document()) {
        document->ActiveView()->Refresh();
    }
}

void DigitizingRun::FinishFeature() {
    if (!cx_.target.StoreFeature()) {
        return; // too few vertices: nothing stored, nothing reset
    }
    if (cx_.state.runKey == "record") {
        kml_.ShowFeatureInEarth(ge(), false, kind(), shape(), LiveKmlPath(), false);
    }
    cx_.target.ClearFeature();
    clickCount_ = 0;
}

void DigitizingRun::cmdEndDigitalizing_Click() {
    removeHooks();
    stopEditing(true);
    cx_.state.digitizingActive = false;
    cx_.ctl.timerDigitalizing.SetEnabled(false);
    captureEnabled_ = false;
}

void DigitizingRun::AbortRun() {
    if (cx_.state.digitizingActive) {
        cmdEndDigitalizing_Click();
    }
    if (shape().PointCount() >= 1 && useKmlFile_) {
        kml_.ClearFeatureInEarth(ge(), kind(), shape(), LiveKmlPath());
    }
}

// ---- layer choice ------------------------------------------------------------------------------

void DigitizingRun::optGeometryType_Click(int index) {
    cx_.target.SetGeometryKind(index);
    if (changingOptions_ || !cx_.state.loaded) {
        return;
    }
    setOptionQuietly(cx_.ctl.optNewOrExistingLayer, 0);
    optNewOrExistingLayer_Click(0);
}

void DigitizingRun::optNewOrExistingLayer_Click(int index) {
    if (changingOptions_ || !cx_.state.loaded) {
        return;
    }
    auto& toolbar = cx_.ctl.toolbarScribeline;
    if (index == 0) {
        cx_.ctl.imgDefProperty.SetEnabled(true);
        cx_.target.SetGeometryKind(std::clamp(cx_.ctl.optGeometryType.Selected(), 0, 2));
        toolbar.SetButtonEnabled("dem", true);
        toolbar.SetButtonEnabled("contour", true);
        toolbar.SetButtonEnabled("export", false);
        return;
    }
    cx_.ctl.imgDefProperty.SetEnabled(false);
    checkChosenLayer();
}

void DigitizingRun::cboSelectLayer_Click() {
    if (changingOptions_ || !cx_.state.loaded) {
        return;
    }
    if (cx_.ctl.optNewOrExistingLayer.Selected() == 0) {
        setOptionQuietly(cx_.ctl.optNewOrExistingLayer, 1);
    }
    cx_.ctl.imgDefProperty.SetEnabled(false);
    checkChosenLayer();
}

void DigitizingRun::checkChosenLayer() {
    auto& c = cx_.ctl;
    auto& toolbar = c.toolbarScribeline;
    auto map = host().Document()->FocusMap();
    const std::string& name = c.cboSelectLayer.Text();

    const int kind = exportChecks_.GetLayerGeometryKind(*map, name);
    if (kind >= 0) {
        cx_.target.SetGeometryKind(kind);
        setOptionQuietly(c.optGeometryType, kind);
    }
    const int check = exportChecks_.CheckExportLayer(*map, name);
    if (kind < 0) {
        // A layer of another geometry cannot be exported whatever its reference says.
        c.cmdExportKML.SetCaption(std::string(kUnsupportedGeometryCaption));
        c.cmdExportKML.SetEnabled(false);
        toolbar.SetButtonEnabled("export", false);
    } else {
        c.cmdExportKML.SetCaption(std::string(ExportButtonCaption(check)));
        c.cmdExportKML.SetEnabled(check == kExportLayerOk);
        toolbar.SetButtonEnabled("export", check == kExportLayerOk);
    }

    const bool grid = checked("jointDEMPoints2Grid");
    const bool mesh = checked("jointDEMPoints2Mesh");
    if (kind == 0) {
        toolbar.SetButtonEnabled("dem", !grid && !mesh);
        toolbar.SetButtonEnabled("contour", false);
    } else if (kind == 1) {
        toolbar.SetButtonEnabled("dem", grid);
        toolbar.SetButtonEnabled("contour", true);
    } else {
        toolbar.SetButtonEnabled("dem", mesh);
        toolbar.SetButtonEnabled("contour", false);
    }
}

// ---- measure track -----------------------------------------------------------------------------

void DigitizingRun::UpdateMeasureTrack() {
    auto& c = cx_.ctl;
    const int n = shape().PointCount();
    c.Label5.SetCaption("Number of Points: " + std::to_string(n));
    if (kind() == 1 && n >= 2) {
        IGeometryEngine& engine = host().Factory().GeometryEngine();
        c.Label6.SetCaption("Length of Polyline: " + FormatMeasure(engine.Length(shape())));
    } else if (kind() == 2 && n >= 3) {
        IGeometryEngine& engine = host().Factory().GeometryEngine();
        // The boundary of the polygon runs back to its first vertex.
        Geometry ring = shape();
        ring.type = GeometryType::Polygon;
        ring.AddPoint(shape().Point(0));
        c.Label6.SetCaption("Length of Polyline: " + FormatMeasure(engine.Length(ring)));
        c.Label7.SetCaption("Area of Polygon: " + FormatMeasure(std::fabs(engine.Area(ring))));
    }
}

// ---- layer export ------------------------------------------------------------------------------

LayerExport::LayerExport(const LayerExportContext& context) : cx_(context) {}

void LayerExport::cmdExportKML_Click() {
    auto& process = cx_.process;
    process.globe.application = cx_.globe.CreateApplication();
    IApplicationGE& ge = *process.globe.application;
    const ICameraInfoGE camera = ge.GetCamera(1);
    const std::filesystem::path path(cx_.state.tempFolder + std::string(kExportFileName));
    IMapApplication& host = cx_.map;
    basOutputKML exporter(cx_.desktop, cx_.window.hWnd());
    const int check =
        exporter.CheckExportLayer(*host.Document()->FocusMap(), cx_.ctl.cboSelectLayer.Text());
    if (check != kExportLayerOk) {
        throw std::runtime_error(std::string(ExportButtonCaption(check)));
    }
    if (exporter.ExportLayerToKml(host.Factory(), host.StepProgressor(), path, camera, true) ==
        kExportComplete) {
        basKML kml(cx_.desktop, [this] { return cx_.values.viewRefreshDelay; });
        kml.OpenKmlInEarth(ge, path);
    }
}

} // namespace scribeline::digitizing
