// The digitizing run: begin, pause and continue, finish, end and abort, the target layer it
// writes into, the measure read-out and the checks made when the user chooses a layer.
#include "command/frmGE2Arc.hpp"
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

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    const auto pa = std::filesystem::weakly_canonical(std::filesystem::path(a), ec);
    if (ec) {
        return false;
    }
    const auto pb = std::filesystem::weakly_canonical(std::filesystem::path(b), ec);
    if (ec) {
        return false;
    }
    // A folder ending with its separator canonicalises with an empty last part.
    auto strip = [](std::filesystem::path p) {
        std::string s = p.string();
        while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) {
            s.pop_back();
        }
        return s;
    };
    return strip(pa) == strip(pb);
}

int kindOfShapeType(GeometryType type) {
    switch (type) {
    case GeometryType::Point:
        return 0;
    case GeometryType::Polyline:
        return 1;
    case GeometryType::Polygon:
        return 2;
    default:
        return -1;
    }
}

} // namespace

DigitizingRun::DigitizingRun(frmGE2Arc& window)
    : w_(window), kml_(window.Desktop(), [&window] { return window.values.viewRefreshDelay; }),
      exportChecks_(window.Desktop(), window.hWnd()) {
    createSymbols();
}

DigitizingRun::~DigitizingRun() {
    removeHooks();
}

IMapApplication& DigitizingRun::host() {
    if (!w_.Application()) {
        throw std::runtime_error("The window has no map host application.");
    }
    return *w_.Application();
}

IApplicationGE& DigitizingRun::ge() {
    return w_.GE();
}

bool DigitizingRun::checked(const std::string& item) {
    return w_.Options().Checked(item);
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
    return w_.state.kmlBaseName + std::to_string(runNumber_);
}

std::filesystem::path DigitizingRun::LiveKmlPath() const {
    return std::filesystem::path(w_.state.tempFolder + LiveName() + ".kml");
}

// ---- begin -----------------------------------------------------------------------------------

void DigitizingRun::cmdBeginDigitalizing_Click() {
    auto& c = w_.ctl;
    auto& desktop = w_.Desktop();
    auto& process = w_.Process();

    // 1
    arcCursorShowing_ = false;
    process.globe.application = w_.Globe().CreateApplication();
    if (ge().IsInitialized() == 0) {
        return;
    }
    // 2
    mapViewWindow_ = desktop.FindWindowEx(host().hWnd(), kNoWindow,
                                          std::string("AfxFrameOrView70u"), std::string());
    // 3
    w_.RecoverControlParent();
    w_.SetControlParentToGE(c.pictGETool);
    // 4
    recordRate_ = RecordRate(c.txtRecordPPS.Text());
    document_ = host().Document();
    // 5
    if (!w_.state.wgs84Set) {
        EnsureMapInWgs84(host(), *document_);
        w_.state.wgs84Set = true;
    }
    // 6
    useKmlFile_ = checked("usingKmlFile");
    c.cmdBeginDigitalizing.SetEnabled(false);
    // 7
    pending_ = ViewPosition{};
    // 8
    cleanUpRunFiles();
    // 9
    newLayer_ = c.optNewOrExistingLayer.Selected() == 0;
    // 10
    if (newLayer_) {
        geometryType_ = std::clamp(c.optGeometryType.Selected(), 0, 2);
        CreateFeaturelayer_AddFeatureClass();
        AlterSpatialReference();
    } else {
        openExistingLayer();
    }
    startEditing();
    // 11
    w_.state.digitizingActive = true;
    firstX_ = 0.0;
    firstY_ = 0.0;
    w_.state.vertexCount = 0;
    // 12
    c.timerDigitalizing.SetInterval(TickInterval(w_.state.runKey, recordRate_));
    c.timerDigitalizing.SetEnabled(true);
    // 13
    desktop.SetForegroundWindow(ge().GetMainHwnd());
    c.cmdEndDigitalizing.SetEnabled(true);
    // 14
    shape_ = Geometry::empty(geometryType_ == 2 ? GeometryType::Polygon : GeometryType::Polyline);
    // 15
    clickState_ = ClickState::Nothing;
    startCapture();
    captureEnabled_ = true;
    // 16
    if (checked("EditFeatureProperties")) {
        if (!gridPrepared_) {
            w_.DefListViewHead();
            gridPrepared_ = true;
        }
        w_.Grid().FillFromFields(targetClass_->GetFields());
        c.frameProperty.SetVisible(true);
    } else {
        // The strip layout has no room for the grid: features get the run's name instead.
        c.frameProperty.SetVisible(false);
        w_.ApplyLayout("digitizing");
    }
}

// ---- target layer ------------------------------------------------------------------------------

int DigitizingRun::PrepareTerrainTarget(int geometryKind) {
    document_ = host().Document();
    if (!w_.state.wgs84Set) {
        EnsureMapInWgs84(host(), *document_);
        w_.state.wgs84Set = true;
    }
    cleanUpRunFiles();
    newLayer_ = w_.ctl.optNewOrExistingLayer.Selected() == 0;
    if (newLayer_) {
        geometryType_ = std::clamp(geometryKind, 0, 2);
        CreateFeaturelayer_AddFeatureClass();
        AlterSpatialReference();
    } else {
        openExistingLayer();
    }
    shape_ = Geometry::empty(geometryType_ == 2 ? GeometryType::Polygon : GeometryType::Polyline);
    w_.state.vertexCount = 0;
    clickCount_ = 0;
    return geometryType_;
}

bool DigitizingRun::runFilesInMap(const std::string& liveName) {
    const std::string wanted = lowered(liveName);
    for (const auto& layer : document_->FocusMap()->Layers()) {
        auto featureLayer = std::dynamic_pointer_cast<IFeatureLayer>(layer);
        auto featureClass = featureLayer ? featureLayer->FeatureClass() : nullptr;
        if (!featureClass || lowered(featureClass->AliasName()) != wanted) {
            continue;
        }
        auto workspace = featureClass->Workspace();
        if (workspace && sameFolder(workspace->PathName(), w_.state.tempFolder)) {
            return true;
        }
    }
    return false;
}

void DigitizingRun::cleanUpRunFiles() {
    // A layer of an earlier load may still show in the map: its files are not ours to delete,
    // so the run takes the next number whose files are free.
    do {
        ++runNumber_;
    } while (runFilesInMap(LiveName()));
    const std::string prefix = LiveName() + ".";
    std::error_code ec;
    std::vector<std::filesystem::path> doomed;
    for (const auto& entry : std::filesystem::directory_iterator(w_.state.tempFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            entry.is_regular_file(ec)) {
            doomed.push_back(entry.path());
        }
    }
    for (const auto& path : doomed) {
        std::filesystem::remove(path, ec);
    }
}

std::shared_ptr<IFeatureClass> DigitizingRun::CreateShape(const std::string& folder,
                                                          const std::string& name) {
    auto workspace = host().Factory().ShapefileWorkspaceFactory().OpenFromFile(folder);
    const Fields fields = NewLayerFields(w_.state.runKey, ShapeTypeOfKind(geometryType_),
                                         checked("saveDataIn3D"), w_.Grid().UserDefinedFields());
    if (newLayer_) {
        return workspace->CreateFeatureClass(name, fields, "Shape", "");
    }
    return workspace->OpenFeatureClass(name);
}

void DigitizingRun::CreateFeaturelayer_AddFeatureClass() {
    targetClass_ = CreateShape(w_.state.tempFolder, LiveName());
    document_ = host().Document();
    auto map = document_->FocusMap();
    targetLayer_ = host().Factory().CreateFeatureLayer();
    targetLayer_->SetFeatureClass(targetClass_);
    targetLayer_->SetName(targetClass_->AliasName());
    targetLayer_->SetSpatialReference(map->SpatialReference());
    map->AddLayer(targetLayer_);
    document_->ActiveView()->Refresh();
}

void DigitizingRun::AlterSpatialReference() {
    auto map = document_->FocusMap();
    if (map->LayerCount() > 0) {
        auto layer = std::dynamic_pointer_cast<IFeatureLayer>(map->Layer(0));
        auto featureClass = layer ? layer->FeatureClass() : nullptr;
        if (featureClass) {
            try {
                auto reference = featureClass->SpatialReference();
                if (reference && reference->Name() == "Unknown" &&
                    featureClass->CanAlterSpatialReference()) {
                    featureClass->AlterSpatialReference(
                        host().Factory().SpatialReferenceFactory().CreateGeographicCoordinateSystem(
                            kWgs84Code));
                }
            } catch (const PortError&) {
                // The schema refused: the layer keeps its reference.
            }
        }
    }
    document_->ActiveView()->Refresh();
}

void DigitizingRun::openExistingLayer() {
    const std::string& name = w_.ctl.cboSelectLayer.Text();
    targetLayer_.reset();
    targetClass_.reset();
    for (const auto& layer : document_->FocusMap()->Layers()) {
        if (layer->Kind() != LayerKind::Feature || layer->Name() != name) {
            continue;
        }
        auto featureLayer = std::dynamic_pointer_cast<IFeatureLayer>(layer);
        if (featureLayer && featureLayer->FeatureClass()) {
            targetLayer_ = featureLayer;
            targetClass_ = featureLayer->FeatureClass();
            break;
        }
    }
    if (!targetClass_) {
        throw std::runtime_error("The map has no feature layer named \"" + name + "\".");
    }
    // The layer decides what is digitized: an existing polygon layer receives polygons.
    const int kind = kindOfShapeType(targetClass_->ShapeType());
    if (kind < 0) {
        throw std::runtime_error("The layer \"" + name +
                                 "\" holds neither points, polylines nor polygons.");
    }
    geometryType_ = kind;
    document_->ActiveView()->Refresh();
}

void DigitizingRun::startEditing() {
    editor_ = host().FindExtensionByCLSID(kEditorClsid);
    if (!editor_) {
        throw std::runtime_error("The map host has no editor.");
    }
    if (editor_->EditState() != kEditStateEditing) {
        editor_->StartEditing(targetClass_->Workspace());
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
    auto& button = w_.ctl.cmdDigitizePauseOrContinue;
    if (button.Caption != "Continue") {
        w_.Desktop().MessageBox(w_.hWnd(),
                                "To continue the digitization, click the Scribeline Button again.",
                                frmGE2Arc::kCaption, mb::Ok | mb::SystemModal);
        captureEnabled_ = false;
        button.Caption = "Continue";
        w_.Hide();
        stopCapture();
    } else {
        captureEnabled_ = true;
        w_.Hide();
        button.Caption = "Pause";
        startCapture();
        w_.Show(true);
    }
}

void DigitizingRun::cmdFinishCurrentFeatureAndCreateNewFeature_Click() {
    FinishFeature();
    if (document_) {
        document_->ActiveView()->Refresh();
    }
}

void DigitizingRun::FinishFeature() {
    const int n = shape_.PointCount();
    if (n < MinimumVertices(geometryType_) || !targetClass_) {
        return; // too few vertices: nothing stored, nothing reset
    }
    std::vector<Geometry> features;
    if (geometryType_ == 0) {
        for (int i = 0; i < n; ++i) {
            const MapPoint& p = shape_.Point(i);
            features.push_back(Geometry::point(p.x, p.y, p.z));
        }
    } else if (geometryType_ == 2) {
        Geometry ring = shape_;
        ring.type = GeometryType::Polygon;
        ring.AddPoint(shape_.Point(0));
        features.push_back(std::move(ring));
    } else {
        Geometry line = shape_;
        line.type = GeometryType::Polyline;
        features.push_back(std::move(line));
    }

    const Fields fields = targetClass_->GetFields();
    // Only a text field can take the run's name; a numeric first field keeps its value.
    const bool nameIsText = fields.FieldCount() > 2 && fields.GetField(2).type == FieldType::String;
    const bool altitudeIsNumber =
        fields.FieldCount() > 3 && (fields.GetField(3).type == FieldType::Single ||
                                    fields.GetField(3).type == FieldType::Double ||
                                    fields.GetField(3).type == FieldType::SmallInteger ||
                                    fields.GetField(3).type == FieldType::Integer);
    const bool in3D = checked("saveDataIn3D");
    const bool altitudeToField =
        geometryType_ == 0 && checked("SaveAltitude2TableField") && w_.state.runKey == "dem";
    const bool fromGrid = w_.ctl.frameProperty.Visible();

    for (Geometry& geometry : features) {
        auto feature = targetClass_->CreateFeature();
        geometry.zAware = in3D;
        feature->SetShape(geometry);
        if (altitudeToField) {
            if (nameIsText) {
                feature->SetValue(2, std::string("dem"));
            }
            if (altitudeIsNumber) {
                feature->SetValue(3, geometry.Point(0).z);
            }
        }
        if (fromGrid) {
            w_.Grid().StoreValues(*feature);
        } else if (nameIsText) {
            feature->SetValue(2, std::string("scribeline"));
        }
        feature->Store();
    }

    if (w_.state.runKey == "record") {
        kml_.ShowFeatureInEarth(ge(), false, geometryType_, shape_, LiveKmlPath(), false);
    }
    shape_.parts.clear();
    w_.state.vertexCount = 0;
    clickCount_ = 0;
}

void DigitizingRun::cmdEndDigitalizing_Click() {
    removeHooks();
    stopEditing(true);
    w_.state.digitizingActive = false;
    w_.ctl.timerDigitalizing.SetEnabled(false);
    captureEnabled_ = false;
}

void DigitizingRun::AbortRun() {
    if (w_.state.digitizingActive) {
        cmdEndDigitalizing_Click();
    }
    if (shape_.PointCount() >= 1 && useKmlFile_) {
        kml_.ClearFeatureInEarth(ge(), geometryType_, shape_, LiveKmlPath());
    }
}

// ---- layer choice ------------------------------------------------------------------------------

void DigitizingRun::optGeometryType_Click(int index) {
    geometryType_ = index;
    if (changingOptions_ || !w_.state.loaded) {
        return;
    }
    setOptionQuietly(w_.ctl.optNewOrExistingLayer, 0);
    optNewOrExistingLayer_Click(0);
}

void DigitizingRun::optNewOrExistingLayer_Click(int index) {
    if (changingOptions_ || !w_.state.loaded) {
        return;
    }
    auto& toolbar = w_.ctl.toolbarScribeline;
    if (index == 0) {
        w_.ctl.imgDefProperty.SetEnabled(true);
        geometryType_ = std::clamp(w_.ctl.optGeometryType.Selected(), 0, 2);
        toolbar.SetButtonEnabled("dem", true);
        toolbar.SetButtonEnabled("contour", true);
        toolbar.SetButtonEnabled("export", false);
        return;
    }
    w_.ctl.imgDefProperty.SetEnabled(false);
    checkChosenLayer();
}

void DigitizingRun::cboSelectLayer_Click() {
    if (changingOptions_ || !w_.state.loaded) {
        return;
    }
    if (w_.ctl.optNewOrExistingLayer.Selected() == 0) {
        setOptionQuietly(w_.ctl.optNewOrExistingLayer, 1);
    }
    w_.ctl.imgDefProperty.SetEnabled(false);
    checkChosenLayer();
}

void DigitizingRun::checkChosenLayer() {
    auto& c = w_.ctl;
    auto& toolbar = c.toolbarScribeline;
    auto map = host().Document()->FocusMap();
    const std::string& name = c.cboSelectLayer.Text();

    const int kind = exportChecks_.GetLayerGeometryKind(*map, name);
    if (kind >= 0) {
        geometryType_ = kind;
        setOptionQuietly(c.optGeometryType, kind);
    }
    const int check = exportChecks_.CheckExportLayer(*map, name);
    if (kind < 0) {
        // A layer of another geometry cannot be exported whatever its reference says.
        c.cmdExportKML.Caption = std::string(kUnsupportedGeometryCaption);
        c.cmdExportKML.SetEnabled(false);
        toolbar.SetButtonEnabled("export", false);
    } else {
        c.cmdExportKML.Caption = std::string(ExportButtonCaption(check));
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
    auto& c = w_.ctl;
    const int n = shape_.PointCount();
    c.Label5.Caption = "Number of Points: " + std::to_string(n);
    if (geometryType_ == 1 && n >= 2) {
        IGeometryEngine& engine = host().Factory().GeometryEngine();
        c.Label6.Caption = "Length of Polyline: " + FormatMeasure(engine.Length(shape_));
    } else if (geometryType_ == 2 && n >= 3) {
        IGeometryEngine& engine = host().Factory().GeometryEngine();
        // The boundary of the polygon runs back to its first vertex.
        Geometry ring = shape_;
        ring.type = GeometryType::Polygon;
        ring.AddPoint(shape_.Point(0));
        c.Label6.Caption = "Length of Polyline: " + FormatMeasure(engine.Length(ring));
        c.Label7.Caption = "Area of Polygon: " + FormatMeasure(std::fabs(engine.Area(ring)));
    }
}

// ---- layer export ------------------------------------------------------------------------------

LayerExport::LayerExport(frmGE2Arc& window) : w_(window) {}

void LayerExport::cmdExportKML_Click() {
    auto& process = w_.Process();
    process.globe.application = w_.Globe().CreateApplication();
    IApplicationGE& ge = *process.globe.application;
    const ICameraInfoGE camera = ge.GetCamera(1);
    const std::filesystem::path path(w_.state.tempFolder + std::string(kExportFileName));
    if (!w_.Application()) {
        throw std::runtime_error("The window has no map host application.");
    }
    IMapApplication& host = *w_.Application();
    basOutputKML exporter(w_.Desktop(), w_.hWnd());
    const int check =
        exporter.CheckExportLayer(*host.Document()->FocusMap(), w_.ctl.cboSelectLayer.Text());
    if (check != kExportLayerOk) {
        throw std::runtime_error(std::string(ExportButtonCaption(check)));
    }
    if (exporter.ExportLayerToKml(host.Factory(), host.StepProgressor(), path, camera, true) ==
        kExportComplete) {
        basKML kml(w_.Desktop(), [this] { return w_.values.viewRefreshDelay; });
        kml.OpenKmlInEarth(ge, path);
    }
}

} // namespace scribeline::digitizing
