#include "command/frmGE2Arc.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace scribeline {

namespace {

// The toolbar as it is built at load, in order. A row without key is a separator.
struct ToolbarRow {
    const char* key;
    const char* imageKey;
    const char* tooltip;
    bool visible;
};

constexpr ToolbarRow kToolbarRows[] = {
    {"setgeview", "setgeview", "Set Google Earth View according ArcMap View", true},
    {"setarcview", "setarcview", "Set ArcMap View according Google Earth View", true},
    {nullptr, nullptr, nullptr, true},
    {"start", "start", "Create a new layer and Start digitigizing (a) new feature(s)", true},
    {"record", "record", "Create a new layer and Record", true},
    {"finishfeature", "finish", "Finish the current feature and Start digitigizing a new feature",
     true},
    {"pause", "pause", "Pause digitigizing the feature", false},
    {"finishlayer", "stop", "Finish digitigizing and Quit", true},
    {nullptr, nullptr, nullptr, true},
    {"export", "export", "Export a layer selected into Google Earth", true},
    {"dem", "dem", "Get DEM points from Google Earth", true},
    {"contour", "contour", "Get contour from Google Earth", true},
    {nullptr, nullptr, nullptr, true},
    {"abort", "abort", "Abort and Quit", true},
};

// A button's own image, the one it shows when no lamp blinks on it.
std::string ownImage(const std::string& key) {
    for (const auto& row : kToolbarRows) {
        if (row.key != nullptr && key == row.key) {
            return row.imageKey;
        }
    }
    return {};
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

constexpr int kToolbarHeight = 390;
constexpr int kStatusLeft = 150;
constexpr int kStatusTop = 15;
// The tool strip, pixels: a drag handle at its top-left and three click zones.
constexpr int kStripPixelWidth = 120;
constexpr int kStripPixelHeight = 20;
constexpr int kDragHandle = 10;

} // namespace

// ---- ImageStore ------------------------------------------------------------------------------

ImageStore::PictureHandle ImageStore::Handle(const std::string& key) {
    if (key.empty()) {
        return 0;
    }
    auto [it, added] = handles_.try_emplace(key, static_cast<PictureHandle>(handles_.size() + 1));
    (void)added;
    return it->second;
}

std::string ImageStore::Key(PictureHandle handle) const {
    for (const auto& [key, value] : handles_) {
        if (value == handle) {
            return key;
        }
    }
    return {};
}

// ---- construction ----------------------------------------------------------------------------

namespace {

// The map host as the subsystems hold it: a reference valid for the whole load that forwards
// to the window's application, so the one check for a missing application is here.
class WindowMapHost final : public IMapApplication {
public:
    explicit WindowMapHost(const std::shared_ptr<IMapApplication>& application)
        : application_(application) {}
    std::shared_ptr<IMxDocument> Document() override { return host().Document(); }
    WindowHandle hWnd() override { return host().hWnd(); }
    std::shared_ptr<IEditor> FindExtensionByCLSID(const std::string& clsid) override {
        return host().FindExtensionByCLSID(clsid);
    }
    int ProductCode() override { return host().ProductCode(); }
    IStepProgressor& StepProgressor() override { return host().StepProgressor(); }
    IMapObjectFactory& Factory() override { return host().Factory(); }

private:
    IMapApplication& host() {
        if (!application_) {
            throw std::runtime_error("The window has no map host application.");
        }
        return *application_;
    }
    const std::shared_ptr<IMapApplication>& application_;
};

} // namespace

frmGE2Arc::frmGE2Arc(Environment environment, ProcessState& process, Subsystems subsystems)
    : desktop_(environment.desktop), globe_(environment.globe), process_(process),
      factories_(std::move(subsystems)), errors_(environment.desktop, [this] { return window_; }),
      options_(
          values,
          OptionsActions{
              [this] {
                  errors_.Run("Check Google Earth Status", [this] { Status().ShowGEStatus(); });
              },
              [this] { errors_.Run("Check ArcGIS Status", [this] { Status().GetArcStatus(); }); },
          }),
      mapHost_(std::make_unique<WindowMapHost>(application_)) {
    if (!factories_.Complete()) {
        throw std::invalid_argument("The digitizer window needs a factory for every subsystem.");
    }
    bindEvents();
}

frmGE2Arc::~frmGE2Arc() {
    if (loaded_) {
        ctl.timerDigitalizing.SetEnabled(false);
        ctl.timerImportOrExport.SetEnabled(false);
        ctl.timerMsgBox.SetEnabled(false);
        options_.Unload();
        destroyWindows();
    }
    process_.FormUnloaded(this);
}

void frmGE2Arc::bindEvents() {
    auto& c = ctl;
    c.toolbarScribeline.ButtonClick = [this](const std::string& key) {
        toolbarScribeline_ButtonClick(key);
    };
    c.cmdBeginDigitalizing.Click = [this] { cmdBeginDigitalizing_Click(); };
    c.cmdEndDigitalizing.Click = [this] { cmdEndDigitalizing_Click(); };
    c.cmdFinishCurrentFeatureAndCreateNewFeature.Click = [this] {
        cmdFinishCurrentFeatureAndCreateNewFeature_Click();
    };
    c.cmdDigitizePauseOrContinue.Click = [this] { cmdDigitizePauseOrContinue_Click(); };
    c.cmdAbort.Click = [this] { cmdAbort_Click(); };
    c.cmdExportKML.Click = [this] { cmdExportKML_Click(); };
    c.cmdGetDEMDateFromGE.Click = [this] { cmdGetDEMDateFromGE_Click(); };
    c.cmdGetContourFromGE.Click = [this] { cmdGetContourFromGE_Click(); };
    c.cmdSetGEViewEx.Click = [this] { cmdSetGEViewEx_Click(); };
    c.cmdSetArcViewEx.Click = [this] { cmdSetArcViewEx_Click(); };
    c.Command1.Click = [this] { Run().Command1_Click(); };
    c.Command2.Click = [this] { Run().Command2_Click(); };
    c.optGeometryType.Click = [this](int index) { Run().optGeometryType_Click(index); };
    c.optNewOrExistingLayer.Click = [this](int index) { Run().optNewOrExistingLayer_Click(index); };
    c.cboSelectLayer.Click = [this] { Run().cboSelectLayer_Click(); };
    c.imgDefProperty.Click = [this] { Grid().imgDefProperty_Click(); };
    // The define button lights up under the pointer and goes back when it moves onto the
    // frames beside it.
    c.imgDefProperty.MouseMove = [this] { ctl.imgDefProperty.SetPictureKey("defproperty2"); };
    c.frameGeometryType.MouseMove = [this] { ctl.imgDefProperty.SetPictureKey("defproperty1"); };
    c.frameLayer.MouseMove = [this] { ctl.imgDefProperty.SetPictureKey("defproperty1"); };
    c.vscrollRecordPPS.Change = [this] { vscrollRecordPPS_Change(); };
    c.txtRecordPPS.KeyPress = [](int key) {
        return (key >= '0' && key <= '9') || key == vk::Back ? key : 0;
    };
    c.vscrollDEMResolution.Change = [this] { vscrollDEMResolution_Change(); };
    c.optContourLevel.Click = [this](int index) { optContourLevel_Click(index); };
    c.optStartElevation.Click = [this](int index) { optStartElevation_Click(index); };
    c.vscrollContourLevelnumber.Change = [this] { vscrollContourLevelnumber_Change(); };
    c.vscrollContourLevelInterval.Change = [this] { vscrollContourLevelInterval_Change(); };
    c.optLocationReference.Click = [this](int index) { optLocationReference_Click(index); };
    c.imgLocation.Click = [this](int index) { imgLocation_Click(index); };
    c.imgLocation.MouseDown = [this](int index) { ctl.imgLocation[index].SetRaised(true); };
    c.imgLocation.MouseUp = [this](int index) { ctl.imgLocation[index].SetRaised(false); };
    c.imgMore.Click = [this] { ApplyLayout("more_options"); };
    c.imgLess.Click = [this] { ApplyLayout("less_options"); };
    c.imgShot.Click = [this] { imgShot_Click(); };
    c.pictGETool.Mouse = [this](MouseMessage message, Point client, Point screen) {
        switch (message) {
        case MouseMessage::LeftDown:
            pictGETool_MouseDown(client, screen);
            break;
        case MouseMessage::Move:
            pictGETool_MouseMove(client, screen);
            break;
        case MouseMessage::LeftUp:
            pictGETool_MouseUp(client, screen);
            break;
        default:
            break;
        }
    };
    c.timerDigitalizing.Tick = [this] {
        errors_.RunTick("timerDigitalizing", [this] { Run().timerDigitalizing_Timer(); });
    };
    c.timerImportOrExport.Tick = [this] {
        errors_.RunTick("timerImportOrExport", [this] { timerImportOrExport_Timer(); });
    };
    c.timerMsgBox.Tick = [this] {
        errors_.RunTick("timerMsgBox", [this] { timerMsgBox_Timer(); });
    };
    for (controls::Timer* timer : {&c.timerDigitalizing, &c.timerImportOrExport, &c.timerMsgBox}) {
        timer->Bind(desktop_);
    }

    controls::IEventGate* gate = this;
    for (controls::Control* control :
         std::initializer_list<controls::Control*>{&c.toolbarScribeline,
                                                   &c.frameLayer,
                                                   &c.cboSelectLayer,
                                                   &c.frameGeometryType,
                                                   &c.frameProperty,
                                                   &c.listviewProperty,
                                                   &c.txtQty,
                                                   &c.imgDefProperty,
                                                   &c.txtRecordPPS,
                                                   &c.vscrollRecordPPS,
                                                   &c.frameDEM,
                                                   &c.txtDEMResolution,
                                                   &c.vscrollDEMResolution,
                                                   &c.lblDEMResolution,
                                                   &c.frameContour,
                                                   &c.txtContourLevels,
                                                   &c.txtContourLevelNumber,
                                                   &c.vscrollContourLevelnumber,
                                                   &c.txtContourLevelInterval,
                                                   &c.vscrollContourLevelInterval,
                                                   &c.frameStartElevation,
                                                   &c.txtStartElevation,
                                                   &c.frameMeasureTrack,
                                                   &c.Label5,
                                                   &c.Label6,
                                                   &c.Label7,
                                                   &c.frameOption,
                                                   &c.frameGetDataFromGE,
                                                   &c.frameLocation,
                                                   &c.imgMore,
                                                   &c.imgLess,
                                                   &c.pictGEInfoWelcome,
                                                   &c.pictGEInfoReady,
                                                   &c.pictGEInfoBusy,
                                                   &c.pictGETool,
                                                   &c.picDigitizerIcon,
                                                   &c.imgShot,
                                                   &c.imgCamera,
                                                   &c.pictScreenShot,
                                                   &c.cmdBeginDigitalizing,
                                                   &c.cmdEndDigitalizing,
                                                   &c.cmdFinishCurrentFeatureAndCreateNewFeature,
                                                   &c.cmdDigitizePauseOrContinue,
                                                   &c.cmdAbort,
                                                   &c.cmdExportKML,
                                                   &c.cmdGetDEMDateFromGE,
                                                   &c.cmdGetContourFromGE,
                                                   &c.cmdSetGEViewEx,
                                                   &c.cmdSetArcViewEx,
                                                   &c.Command1,
                                                   &c.Command2}) {
        control->AttachGate(gate);
    }
    c.optNewOrExistingLayer.AttachGate(gate);
    c.optGeometryType.AttachGate(gate);
    c.optContourLevel.AttachGate(gate);
    c.optStartElevation.AttachGate(gate);
    c.optLocationReference.AttachGate(gate);
    c.imgLocation.AttachGate(gate);
    c.pictPicture.AttachGate(gate);
}

// The state every control has when the form is created, before Form_Load runs.
void frmGE2Arc::resetControls() {
    auto& c = ctl;
    caption_.clear();
    formBounds_ = {0, 0, kCompactWidth, kPresetHeight};
    focused_ = nullptr;

    auto frame = [](controls::Frame& f, const char* caption, controls::Bounds bounds) {
        f.SetCaption(caption);
        f.SetBounds(bounds);
        f.SetVisible(true);
        f.SetEnabled(true);
    };
    c.pictScreenShot.SetPicture(nullptr); // a shot of an earlier load is not kept
    c.toolbarScribeline.Clear();
    c.toolbarScribeline.SetBounds({0, 0, kToolbarWidth, kToolbarHeight});
    c.toolbarScribeline.SetEnabled(true);
    c.toolbarScribeline.SetVisible(true);
    frame(c.frameOption, "Options", {60, 420, 3960, 1560});
    frame(c.frameGeometryType, "Geometry Type", {120, 600, 1200, 1260});
    frame(c.frameLayer, "Target Layer", {1380, 600, 2580, 1260});
    frame(c.frameGetDataFromGE, "Get Data from Google Earth", {60, 2040, 3960, 1860});
    frame(c.frameDEM, "DEM Points", {120, 2220, 1500, 1620});
    frame(c.frameContour, "Contour Levels", {1680, 2220, 2280, 1620});
    frame(c.frameStartElevation, "", {1740, 3120, 2160, 660});
    frame(c.frameProperty, "Feature Properties", {4140, 420, 4260, 2340});
    frame(c.frameLocation, "Location", {4140, 2820, 2520, 1080});
    frame(c.frameMeasureTrack, "Measure Track", {4140, 420, 3960, 1140});
    c.listviewProperty.SetBounds({4200, 660, 4140, 1800});
    c.imgDefProperty.SetBounds({7980, 2490, 360, 240});

    auto options = [](controls::OptionArray& array, int selected) {
        for (int i = 0; i < array.Count(); ++i) {
            array[i].SetEnabled(true);
            array[i].SetVisible(true);
        }
        // Designed selection: no Click is raised for it.
        auto click = std::move(array.Click);
        array.Click = nullptr;
        array.Select(selected);
        array.Click = std::move(click);
    };
    options(c.optNewOrExistingLayer, 0);
    options(c.optGeometryType, 1);
    options(c.optContourLevel, 0);
    options(c.optStartElevation, 1);
    options(c.optLocationReference, 0);

    c.cboSelectLayer.Clear();
    c.cboSelectLayer.SetEnabled(true);
    c.cboSelectLayer.SetBounds({1440, 1440, 2400, 315});

    auto text = [](controls::TextBox& box, const std::string& value) {
        auto change = std::move(box.Change);
        box.Change = nullptr;
        box.SetText(value);
        box.Change = std::move(change);
        box.SetEnabled(true);
        box.SetVisible(true);
    };
    text(c.txtQty, "");
    text(c.txtRecordPPS, "5");
    text(c.txtDEMResolution, "5 X 5");
    text(c.txtContourLevels, "");
    text(c.txtContourLevelNumber, "");
    text(c.txtContourLevelInterval, "");
    text(c.txtStartElevation, "500");

    auto bar = [](controls::ScrollBar& b, int minimum, int maximum, int small, int large,
                  int value) {
        b.SetRange(minimum, maximum, small, large);
        b.SetInitialValue(value);
        b.SetEnabled(true);
        b.SetVisible(true);
    };
    bar(c.vscrollRecordPPS, 1, 20, 1, 5, 5);
    bar(c.vscrollDEMResolution, 5, 35, 5, 5, 5);
    // Form_Load gives these their limits and values.
    bar(c.vscrollContourLevelnumber, 0, 32767, 1, 1, 0);
    bar(c.vscrollContourLevelInterval, 0, 32767, 1, 1, 0);

    c.Label5.SetCaption("Number of Points:");
    c.Label6.SetCaption("Length of Polyline:");
    c.Label7.SetCaption("Area of Polygon:");
    c.lblDEMResolution.SetCaption("Resolution:");

    for (int i = 0; i < c.imgLocation.Count(); ++i) {
        c.imgLocation[i].SetPictureKey("location" + std::to_string(i));
        c.imgLocation[i].SetRaised(false);
    }
    c.imgMore.SetPictureKey("more");
    c.imgLess.SetPictureKey("less");
    c.imgDefProperty.SetPictureKey("defproperty1");
    c.imgCamera.SetPictureKey("camera");
    c.imgShot.SetPictureKey("");
    c.picDigitizerIcon.SetPictureKey("scribeline");
    c.picDigitizerIcon.SetVisible(false);
    const char* stripImages[] = {"toolstrip", "toolstrip_finishfeature", "toolstrip_finishlayer",
                                 "toolstrip_abort"};
    for (int i = 0; i < c.pictPicture.Count(); ++i) {
        c.pictPicture[i].SetPictureKey(stripImages[i]);
        c.pictPicture[i].SetVisible(false);
    }
    for (controls::PictureBox* picture : {&c.pictGEInfoWelcome, &c.pictGEInfoReady,
                                          &c.pictGEInfoBusy, &c.pictGETool, &c.pictScreenShot}) {
        picture->SetBounds({0, 0, 0, 0});
        picture->SetPictureKey("");
        picture->SetVisible(true);
    }
    c.pictScreenShot.SetBounds({6720, 2880, 1680, 1020});

    auto button = [](controls::Button& b, const char* caption, bool visible) {
        b.SetCaption(caption);
        b.SetEnabled(true);
        b.SetVisible(visible);
    };
    // The toolbar stands in for the command buttons; their handlers are what it calls.
    button(c.cmdBeginDigitalizing, "Begin", false);
    button(c.cmdEndDigitalizing, "End", false);
    button(c.cmdFinishCurrentFeatureAndCreateNewFeature, "Finish Feature", false);
    button(c.cmdDigitizePauseOrContinue, "Pause", false);
    button(c.cmdAbort, "Abort", false);
    button(c.cmdExportKML, "Export", false);
    button(c.cmdGetDEMDateFromGE, "DEM", false);
    button(c.cmdGetContourFromGE, "Contour", false);
    button(c.cmdSetGEViewEx, "Set Google Earth View", false);
    button(c.cmdSetArcViewEx, "Set ArcMap View", false);
    button(c.Command1, "Capture", true);
    button(c.Command2, "OK", true);

    c.timerDigitalizing.SetEnabled(false);
    c.timerDigitalizing.SetInterval(500);
    c.timerImportOrExport.SetEnabled(false);
    c.timerImportOrExport.SetInterval(kImportOrExportInterval);
    c.timerMsgBox.SetInterval(kMsgBoxInterval);
    c.timerMsgBox.SetEnabled(true);
}

void frmGE2Arc::createWindows() {
    const int tx = desktop_.TwipsPerPixelX();
    const int ty = desktop_.TwipsPerPixelY();
    WindowSpec params;
    params.className = "ScribelineForm";
    params.title = caption_;
    params.rect = Rect{formBounds_.left / tx, formBounds_.top / ty,
                       (formBounds_.left + formBounds_.width) / tx,
                       (formBounds_.top + formBounds_.height) / ty};
    params.visible = false;
    window_ = desktop_.CreateWindow(params, this);
    for (controls::PictureBox* picture :
         {&ctl.pictGEInfoWelcome, &ctl.pictGEInfoReady, &ctl.pictGEInfoBusy, &ctl.pictGETool,
          &ctl.pictScreenShot}) {
        picture->Create(desktop_, window_);
    }
}

void frmGE2Arc::destroyWindows() {
    for (controls::PictureBox* picture :
         {&ctl.pictGEInfoWelcome, &ctl.pictGEInfoReady, &ctl.pictGEInfoBusy, &ctl.pictGETool,
          &ctl.pictScreenShot}) {
        picture->Destroy();
    }
    if (window_ != kNoWindow) {
        desktop_.DestroyWindow(window_);
        window_ = kNoWindow;
    }
}

void frmGE2Arc::createSubsystems() {
    // Nothing of an earlier load runs any more: its subsystems can go now.
    retired_.clear();
    Parts earlier = std::move(parts_);
    parts_ = Parts{};
    (void)Grid();
    (void)Target();
    (void)Run();
    (void)Export();
    (void)Terrain();
    (void)Views();
    (void)Status();
    (void)ScreenShots();
}

void frmGE2Arc::retireSubsystems() {
    retired_.push_back(std::move(parts_));
    parts_ = Parts{};
}

SubsystemPorts frmGE2Arc::ports() {
    return SubsystemPorts{desktop_, globe_, *mapHost_, process_, errors_, options_, *this};
}

IAttributeGrid& frmGE2Arc::Grid() {
    if (!parts_.grid) {
        parts_.grid = factories_.attributeGrid(
            AttributeGridContext{ports(), {ctl.listviewProperty, ctl.txtQty}});
    }
    return *parts_.grid;
}

ITargetLayer& frmGE2Arc::Target() {
    if (!parts_.target) {
        IAttributeGrid& grid = Grid();
        parts_.target = factories_.targetLayer(
            TargetLayerContext{ports(),
                               state,
                               grid,
                               {ctl.optNewOrExistingLayer, ctl.cboSelectLayer, ctl.frameProperty}});
    }
    return *parts_.target;
}

IDigitizingRun& frmGE2Arc::Run() {
    if (!parts_.run) {
        IAttributeGrid& grid = Grid();
        ITargetLayer& target = Target();
        auto& c = ctl;
        parts_.run = factories_.digitizingRun(DigitizingRunContext{
            ports(),
            state,
            values,
            grid,
            target,
            {c.toolbarScribeline, c.optNewOrExistingLayer, c.cboSelectLayer, c.optGeometryType,
             c.frameProperty, c.imgDefProperty, c.txtRecordPPS, c.Label5, c.Label6, c.Label7,
             c.pictGETool, c.pictPicture, c.timerDigitalizing, c.cmdBeginDigitalizing,
             c.cmdEndDigitalizing, c.cmdDigitizePauseOrContinue, c.cmdExportKML}});
    }
    return *parts_.run;
}

ILayerExport& frmGE2Arc::Export() {
    if (!parts_.exporter) {
        parts_.exporter = factories_.layerExport(
            LayerExportContext{ports(), state, values, {ctl.cboSelectLayer}});
    }
    return *parts_.exporter;
}

ITerrainCommands& frmGE2Arc::Terrain() {
    if (!parts_.terrain) {
        ITargetLayer& target = Target();
        auto& c = ctl;
        parts_.terrain = factories_.terrain(TerrainContext{
            ports(),
            state,
            values,
            target,
            {c.toolbarScribeline, c.cboSelectLayer, c.optGeometryType, c.txtDEMResolution,
             c.vscrollDEMResolution, c.optContourLevel, c.txtContourLevels,
             c.vscrollContourLevelnumber, c.vscrollContourLevelInterval, c.optStartElevation,
             c.txtStartElevation}});
    }
    return *parts_.terrain;
}

IViewSync& frmGE2Arc::Views() {
    if (!parts_.views) {
        parts_.views = factories_.viewSync(ViewsContext{ports(), state});
    }
    return *parts_.views;
}

IStatusReports& frmGE2Arc::Status() {
    if (!parts_.status) {
        parts_.status = factories_.statusReports(ViewsContext{ports(), state});
    }
    return *parts_.status;
}

IScreenShots& frmGE2Arc::ScreenShots() {
    if (!parts_.shots) {
        parts_.shots = factories_.screenShots(ScreenShotContext{ports(), {ctl.pictScreenShot}});
    }
    return *parts_.shots;
}

IApplicationGE& frmGE2Arc::GE() {
    if (!process_.globe.application) {
        process_.globe.application = globe_.CreateApplication();
    }
    return *process_.globe.application;
}

// ---- lifecycle -------------------------------------------------------------------------------

void frmGE2Arc::Load() {
    if (loaded_) {
        return;
    }
    try {
        Form_Load();
    } catch (...) {
        ctl.timerDigitalizing.SetEnabled(false);
        ctl.timerImportOrExport.SetEnabled(false);
        ctl.timerMsgBox.SetEnabled(false);
        options_.Unload();
        destroyWindows();
        throw;
    }
    loaded_ = true;
    process_.FormLoaded(this);
}

void frmGE2Arc::Form_Load() {
    state = State{};
    resetControls();
    createSubsystems();
    createWindows();
    errors_.NewRun();

    // 1
    ctl.frameMeasureTrack.SetVisible(false);
    ++process_.loadCount;
    ctl.imgShot.SetPictureKey(ctl.imgCamera.PictureKey());

    // 2
    process_.globe.application = globe_.CreateApplication();
    process_.globe.renderWindow = process_.globe.application->GetRenderHwnd();
    process_.globe.renderRect = desktop_.GetWindowRect(process_.globe.renderWindow);

    // 3
    state.loaded = false;
    caption_ = kCaption;
    desktop_.SetWindowText(window_, caption_);
    ApplyLayout("less_options");

    // 4
    state.tempFolder = trim(desktop_.GetTempPath());
    state.kmlBaseName = kKmlBaseName;
    ctl.cmdEndDigitalizing.SetEnabled(false);
    values = OptionsWindowValues{};

    // 5
    buildToolbar();

    // 6
    state.wgs84Set = false;
    ctl.optGeometryType.Select(1);

    // 7
    setContourDefaults();

    // 8
    drawStatusPicture(ctl.pictGEInfoWelcome, "Hello World!");
    drawStatusPicture(ctl.pictGEInfoReady, "Getting Ready");
    drawStatusPicture(ctl.pictGEInfoBusy, "I'm busy!");
    setUpToolStrip();

    // 9: on the first load the command places the welcome picture itself.
    if (process_.loadCount >= 2) {
        SetControlParentToGE(ctl.pictGEInfoWelcome);
    }

    // 10
    state.loaded = true;
    state.busy = false;
    options_.Unload(); // every load starts from the initial settings
    options_.Load();
    options_.OptionsContextMenuInit();
}

bool frmGE2Arc::Unload() {
    if (!loaded_) {
        return true;
    }
    // A terrain command is sampling: refuse, and leave everything as it is.
    if (state.busy) {
        return false;
    }
    if (state.digitizingActive) {
        Run().cmdEndDigitalizing_Click();
    }
    process_.windowOpen = false;
    application_.reset();
    ctl.frameProperty.SetVisible(false);
    {
        Parts dropped;
        dropped.grid = std::move(parts_.grid);
        retired_.push_back(std::move(dropped));
    }

    ctl.timerDigitalizing.SetEnabled(false);
    ctl.timerImportOrExport.SetEnabled(false);
    ctl.timerMsgBox.SetEnabled(false);
    options_.Unload();
    destroyWindows();
    loaded_ = false;
    process_.FormUnloaded(this);
    retireSubsystems();
    return true;
}

void frmGE2Arc::UserClose() {
    errors_.Run("Closing the window", [this] { (void)Unload(); });
}

void frmGE2Arc::Show(bool modal) {
    Load();
    desktop_.ShowWindow(window_, modal ? ShowCommand::ShowModal : ShowCommand::Show);
}

void frmGE2Arc::Hide() {
    if (window_ != kNoWindow) {
        desktop_.ShowWindow(window_, ShowCommand::Hide);
    }
}

bool frmGE2Arc::Visible() const {
    return window_ != kNoWindow && desktop_.IsWindowVisible(window_);
}

// ---- load steps ------------------------------------------------------------------------------

void frmGE2Arc::buildToolbar() {
    auto& toolbar = ctl.toolbarScribeline;
    toolbar.Clear();
    toolbar.Resize(kToolbarWidth, kToolbarHeight);
    for (const auto& row : kToolbarRows) {
        controls::ToolbarButton button;
        if (row.key == nullptr) {
            button.style = controls::ButtonStyle::Separator;
        } else {
            button.key = row.key;
            button.imageKey = row.imageKey;
            button.tooltip = row.tooltip;
            button.description = row.tooltip;
            button.visible = row.visible;
        }
        toolbar.Add(std::move(button));
    }
    for (const char* key : {"setgeview", "setarcview", "start", "abort"}) {
        toolbar.SetButtonEnabled(key, true);
    }
    for (const char* key : {"finishlayer", "finishfeature", "pause", "export"}) {
        toolbar.SetButtonEnabled(key, false);
    }
}

void frmGE2Arc::setContourDefaults() {
    ctl.vscrollContourLevelnumber.SetRange(1, 30, 1, 5);
    ctl.vscrollContourLevelnumber.SetValue(20);
    ctl.vscrollContourLevelInterval.SetRange(1, 1000, 1, 5);
    ctl.vscrollContourLevelInterval.SetValue(10);
    ctl.txtContourLevels.SetText(
        "500,550,600,650,700,750,800,850,900,950,1000,1100,1200,1300,1400,1500");
    ctl.optContourLevel.Select(0);
}

void frmGE2Arc::drawStatusPicture(controls::PictureBox& picture, const std::string& text) {
    const int tx = desktop_.TwipsPerPixelX();
    const int ty = desktop_.TwipsPerPixelY();
    const Font font;
    const Colour foreColour = rgb(0, 0, 0);
    const Size extent = desktop_.MeasureText(text, font);
    picture.Resize(extent.width * tx + 270, extent.height * ty + 180);
    picture.Move(kStatusLeft, kStatusTop);
    const int width = picture.Width() / tx;
    const int height = picture.Height() / ty;
    const WindowHandle window = picture.hWnd();
    desktop_.DrawText(window, text, Rect{90 / tx, 30 / ty, width, height}, font, foreColour,
                      dt::Left | dt::SingleLine);
    desktop_.DrawRectangle(window, Rect{0, 0, width - 1, height - 1}, Pen{foreColour, 1});
    desktop_.SetWindowRegion(window, WindowRegion{Rect{0, 0, width, height}});
}

void frmGE2Arc::setUpToolStrip() {
    const int tx = desktop_.TwipsPerPixelX();
    const int ty = desktop_.TwipsPerPixelY();
    auto& strip = ctl.pictGETool;
    strip.Resize(kStripPixelWidth * tx, kStripPixelHeight * ty);
    strip.Move(kStatusLeft, kStatusTop);
    strip.SetFillSolid(true);
    strip.SetPictureKey(ctl.pictPicture[0].PictureKey());
    desktop_.SetWindowRegion(strip.hWnd(),
                             WindowRegion{Rect{0, 0, kStripPixelWidth, kStripPixelHeight}});
}

// ---- placement -------------------------------------------------------------------------------

void frmGE2Arc::moveForm(int left, int top) {
    formBounds_.left = left;
    formBounds_.top = top;
    if (window_ != kNoWindow) {
        desktop_.SetWindowPos(window_, left / desktop_.TwipsPerPixelX(),
                              top / desktop_.TwipsPerPixelY(), 0, 0, swp::NoSize | swp::NoZOrder);
    }
}

void frmGE2Arc::resizeForm(int width, int height) {
    formBounds_.width = width;
    formBounds_.height = height;
    if (window_ != kNoWindow) {
        desktop_.SetWindowPos(window_, 0, 0, width / desktop_.TwipsPerPixelX(),
                              height / desktop_.TwipsPerPixelY(), swp::NoMove | swp::NoZOrder);
    }
}

void frmGE2Arc::ApplyLayout(const std::string& layout) {
    if (layout == "less_options") {
        resizeForm(kCompactWidth, kPresetHeight);
        ctl.imgMore.SetVisible(true);
        ctl.imgLess.SetVisible(false);
    } else if (layout == "more_options") {
        resizeForm(kExpandedWidth, kPresetHeight);
        ctl.imgMore.SetVisible(false);
        ctl.imgLess.SetVisible(true);
    } else if (layout == "digitizing") {
        int height = kStripHeight;
        if (options_.Checked("MeasureTrack")) {
            height += kMeasureTrackExtraHeight;
            ctl.frameMeasureTrack.Move(ctl.frameOption.Left(), ctl.frameOption.Top());
            ctl.frameMeasureTrack.SetVisible(true);
            ctl.frameOption.SetVisible(false);
            ctl.frameGetDataFromGE.SetVisible(false);
        }
        resizeForm(kStripWidth, height);
    } else {
        throw std::invalid_argument("There is no window layout \"" + layout + "\".");
    }
}

void frmGE2Arc::SetMeIntoArcWindow(int location) {
    if (location < 0 || location > 8) {
        return;
    }
    int reference = ctl.optLocationReference.Selected();
    if (reference == 1) {
        const WindowHandle main = GE().GetMainHwnd();
        process_.globe.mainWindow = main;
        // A minimised window has no place on the screen to go by.
        if (desktop_.IsIconic(main)) {
            ctl.optLocationReference.Select(0);
            reference = 0;
        }
    }
    Rect rect;
    if (reference == 2) {
        const Size screen = desktop_.GetScreenSize();
        rect = Rect{0, 0, screen.width, screen.height};
    } else {
        WindowHandle target = kNoWindow;
        if (reference == 1) {
            target = process_.globe.mainWindow;
        } else {
            if (!application_) {
                throw std::runtime_error("The window has no map host application to go by.");
            }
            target = application_->hWnd();
        }
        const auto read = desktop_.GetWindowRect(target);
        if (!read) {
            throw PortError("GetWindowRect", "the reference window has no rectangle");
        }
        rect = *read;
    }
    const int tx = desktop_.TwipsPerPixelX();
    const int ty = desktop_.TwipsPerPixelY();
    const double left = rect.left * tx;
    const double top = rect.top * ty;
    const double width = rect.width() * tx;
    const double height = rect.height() * ty;
    const double w = formBounds_.width;
    const double h = formBounds_.height;
    const double centreX = left + (width - w) / 2;
    const double centreY = top + (height - h) / 2;
    const double rightX = left + width - w;
    const double bottomY = top + height - h;
    const double places[9][2] = {
        {centreX, centreY}, {left, bottomY},   {left, centreY},
        {left, top},        {centreX, top},    {rightX, top},
        {rightX, centreY},  {rightX, bottomY}, {centreX, bottomY},
    };
    const auto& place = places[location];
    moveForm(static_cast<int>(std::lround(place[0])), static_cast<int>(std::lround(place[1])));
}

void frmGE2Arc::Check_GEisIsInitialized() {
    process_.globe.application = globe_.CreateApplication();
    IApplicationGE& ge = *process_.globe.application;
    if (ge.IsInitialized() != 0) {
        process_.globe.mainWindow = ge.GetMainHwnd();
        process_.globe.renderWindow = ge.GetRenderHwnd();
        process_.globe.renderRect = desktop_.GetWindowRect(process_.globe.renderWindow);
    }
}

void frmGE2Arc::SetControlParentToGE(controls::PictureBox& control) {
    state.reparentedControl = control.hWnd();
    const WindowHandle render = GE().GetRenderHwnd();
    process_.globe.renderWindow = render;
    state.reparentedOldParent = desktop_.SetParent(control.hWnd(), render);
    control.Move(kStatusLeft, kStatusTop);
}

void frmGE2Arc::RecoverControlParent() {
    // Without a remembered parent there is nothing to give back (and a null parent would make
    // the picture a top-level window).
    if (state.reparentedControl == kNoWindow || state.reparentedOldParent == kNoWindow) {
        state.lastRecoverSucceeded = false;
        return;
    }
    state.lastRecoverSucceeded =
        desktop_.SetParent(state.reparentedControl, state.reparentedOldParent) != kNoWindow;
}

void frmGE2Arc::showStatusPicture(controls::PictureBox& picture) {
    RecoverControlParent();
    SetControlParentToGE(picture);
}

std::string frmGE2Arc::RandomColour() {
    const int red = static_cast<int>(desktop_.Rnd() * 255);
    const int green = static_cast<int>(desktop_.Rnd() * 255);
    const int blue = static_cast<int>(desktop_.Rnd() * 255);
    return std::to_string(red + 256 * green + 65536 * blue);
}

// ---- forwarding to the subsystems ------------------------------------------------------------

void frmGE2Arc::GetArcStatus() {
    Status().GetArcStatus();
}

void frmGE2Arc::DefListViewHead() {
    Grid().DefListViewHead();
}

void frmGE2Arc::cmdDigitizePauseOrContinue_Click() {
    Run().cmdDigitizePauseOrContinue_Click();
}

void frmGE2Arc::FinishFeature() {
    Run().FinishFeature();
}

void frmGE2Arc::cmdBeginDigitalizing_Click() {
    Run().cmdBeginDigitalizing_Click();
}

void frmGE2Arc::cmdFinishCurrentFeatureAndCreateNewFeature_Click() {
    Run().cmdFinishCurrentFeatureAndCreateNewFeature_Click();
}

void frmGE2Arc::cmdEndDigitalizing_Click() {
    Run().cmdEndDigitalizing_Click();
}

void frmGE2Arc::cmdExportKML_Click() {
    Export().cmdExportKML_Click();
}

void frmGE2Arc::cmdGetDEMDateFromGE_Click() {
    Terrain().cmdGetDEMDateFromGE_Click();
}

void frmGE2Arc::cmdGetContourFromGE_Click() {
    Terrain().cmdGetContourFromGE_Click();
}

void frmGE2Arc::cmdSetGEViewEx_Click() {
    Views().cmdSetGEViewEx_Click();
}

void frmGE2Arc::cmdSetArcViewEx_Click() {
    Views().cmdSetArcViewEx_Click();
}

void frmGE2Arc::imgShot_Click() {
    ScreenShots().TakeScreenShot(ctl.optLocationReference.Selected());
}

void frmGE2Arc::cmdAbort_Click() {
    // Only a run has something to end; without one the window simply closes.
    if (state.digitizingActive) {
        Run().AbortRun();
    }
    desktop_.Sleep(100);
    (void)Unload();
}

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

void frmGE2Arc::toolbarScribeline_ButtonClick(const std::string& key) {
    auto& toolbar = ctl.toolbarScribeline;
    if (key == "setgeview") {
        cmdSetGEViewEx_Click();
        toolbar.SetButtonValue(key, 0);
    } else if (key == "setarcview") {
        cmdSetArcViewEx_Click();
        toolbar.SetButtonValue(key, 0);
    } else if (key == "export") {
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
    } else if (key == "record" || key == "start") {
        state.currentButtonKey = key;
        state.runKey = key;
        errors_.NewRun();
        toolbar.SetButtonEnabled("pause", true);
        toolbar.SetButtonEnabled(key == "start" ? "record" : "start", false);
        toolbar.SetButtonEnabled("dem", false);
        toolbar.SetButtonEnabled("contour", false);
        cmdBeginDigitalizing_Click();
        toolbar.SetButtonValue(key, 1);
    } else if (key == "pause") {
        toolbar.SetButtonValue(key, 0);
        cmdDigitizePauseOrContinue_Click();
    } else if (key == "finishfeature") {
        cmdFinishCurrentFeatureAndCreateNewFeature_Click();
        toolbar.SetButtonEnabled(key, false);
    } else if (key == "finishlayer") {
        cmdFinishCurrentFeatureAndCreateNewFeature_Click();
        toolbar.SetButtonValue(key, 0);
        toolbar.SetButtonValue("start", 0);
        toolbar.SetButtonImage("start", "start");
        cmdEndDigitalizing_Click();
        desktop_.Sleep(100);
        (void)Unload();
    } else if (key == "dem" || key == "contour") {
        longAction(
            key,
            [&] {
                state.runKey = key;
                toolbar.SetButtonValue(key, 1);
                toolbar.SetButtonEnabled("start", false);
                toolbar.SetButtonEnabled("record", false);
                showStatusPicture(ctl.pictGEInfoBusy);
                ctl.timerImportOrExport.SetEnabled(true);
            },
            [&] {
                if (key == "dem") {
                    cmdGetDEMDateFromGE_Click();
                } else {
                    cmdGetContourFromGE_Click();
                }
            },
            [&] {
                ctl.timerImportOrExport.SetEnabled(false);
                showStatusPicture(ctl.pictGEInfoReady);
                toolbar.SetButtonValue(key, 0);
                toolbar.SetButtonEnabled("start", true);
                toolbar.SetButtonEnabled("record", true);
                toolbar.SetButtonImage(key, key);
            });
    } else if (key == "abort") {
        toolbar.SetButtonEnabled(key, true);
        toolbar.SetButtonValue("start", 0);
        toolbar.SetButtonImage("start", "start");
        cmdAbort_Click();
    }
}

// ---- timers ----------------------------------------------------------------------------------

void frmGE2Arc::timerImportOrExport_Timer() {
    if (!options_.Checked("alarmLamp")) {
        return;
    }
    const std::string& key = state.currentButtonKey;
    if (key.empty() || !ctl.toolbarScribeline.HasButton(key)) {
        return;
    }
    state.blinkPhase = !state.blinkPhase;
    ctl.toolbarScribeline.SetButtonImage(key, state.blinkPhase ? "nothing" : ownImage(key));
}

void frmGE2Arc::timerMsgBox_Timer() {
    const WindowHandle box = desktop_.FindWindow(std::nullopt, std::string(kMsgBoxTitle));
    if (box != kNoWindow) {
        desktop_.PostCloseMessage(box);
    }
}

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
        options_.SetEnabled("saveDataIn3D", true);
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
        options_.SetChecked("saveDataIn3D", featureClass->HasZ());
        options_.SetEnabled("saveDataIn3D", false);
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
            toolbarScribeline_ButtonClick("finishfeature");
        }
        desktop_.SetForegroundWindow(GE().GetMainHwnd());
        break;
    case 2: {
        const WindowHandle main = GE().GetMainHwnd();
        toolbarScribeline_ButtonClick("finishlayer");
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

// ---- the desktop window ----------------------------------------------------------------------

void frmGE2Arc::onMouse(const MouseEvent& event, Point client) {
    if (event.message == MouseMessage::Move) {
        const int x = client.x * desktop_.TwipsPerPixelX();
        const int y = client.y * desktop_.TwipsPerPixelY();
        auto over = [x, y](const controls::Control& control) {
            return control.Visible() && control.GetBounds().contains(x, y);
        };
        if (over(ctl.imgDefProperty)) {
            ctl.imgDefProperty.UserMouseMove();
        } else if (over(ctl.frameGeometryType)) {
            ctl.frameGeometryType.UserMouseMove();
        } else if (over(ctl.frameLayer)) {
            ctl.frameLayer.UserMouseMove();
        }
        return;
    }
    if (event.message == MouseMessage::RightUp) {
        const Point screen = event.screen;
        errors_.Run("The options menu",
                    [this, client, screen] { Form_RightButton(client, screen); });
    }
}

void frmGE2Arc::onKey(const KeyEvent& event) {
    if (event.message != KeyMessage::KeyDown && event.message != KeyMessage::SysKeyDown) {
        return;
    }
    const int shift = (event.shift ? 1 : 0) | (event.control ? 2 : 0) | (event.alt ? 4 : 0);
    const int key = event.virtualKey;
    std::string what = "Form_KeyDown";
    if (shift == 2) {
        if (key >= vk::F7 && key <= vk::F9) {
            what = "Ctrl+F" + std::to_string(key - vk::F7 + 7);
        } else if (key == 'I' || key == 'D') {
            what = std::string("Ctrl+") + static_cast<char>(key);
        }
    }
    errors_.Run(what, [this, key, shift] { Form_KeyDown(key, shift); });
}

bool frmGE2Arc::onClose() {
    // The window takes itself down (or refuses); the desktop must not close it again.
    UserClose();
    return false;
}

void frmGE2Arc::FocusChanged(const controls::Control* control) {
    if (control == focused_) {
        return;
    }
    const controls::Control* previous = focused_;
    focused_ = control;
    if (previous != nullptr && previous->LostFocus) {
        previous->LostFocus();
    }
    if (control != nullptr && control == focused_ && control->GotFocus) {
        control->GotFocus();
    }
}

void frmGE2Arc::Deliver(const std::string& what, const std::function<void()>& event) {
    errors_.Run(what, event);
}

} // namespace scribeline
