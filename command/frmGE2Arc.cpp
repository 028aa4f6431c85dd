// frmGE2Arc: the composition root of the digitizer window. It makes the window, attaches the
// event gate and the handlers to the controls, makes the subsystems of each load and runs the
// window's lifecycle; the layout, the toolbar dispatch and the option panels and input live in
// window_layout.cpp, window_dispatch.cpp and window_input.cpp.
#include "command/frmGE2Arc.hpp"

#include <stdexcept>
#include <utility>

namespace scribeline {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

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

    // Every user event of every control goes through the window's gate.
    controls::IEventGate* gate = this;
    c.ForEach([gate](controls::Control& control) { control.AttachGate(gate); });
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
    parts_ = makeParts();
}

void frmGE2Arc::retireSubsystems() {
    retired_.push_back(std::move(parts_));
    parts_ = Parts{};
}

SubsystemPorts frmGE2Arc::ports() {
    return SubsystemPorts{desktop_, globe_, *mapHost_, process_, errors_, options_, *this};
}

// Every subsystem of one load, created together in dependency order: the grid, the target
// that writes through it, then the run and the terrain commands that use both.
frmGE2Arc::Parts frmGE2Arc::makeParts() {
    auto& c = ctl;
    Parts p;
    p.grid =
        factories_.attributeGrid(AttributeGridContext{ports(), {c.listviewProperty, c.txtQty}});
    p.target = factories_.targetLayer(TargetLayerContext{
        ports(), state, *p.grid, {c.optNewOrExistingLayer, c.cboSelectLayer, c.frameProperty}});
    p.run = factories_.digitizingRun(DigitizingRunContext{
        ports(),
        state,
        values,
        *p.grid,
        *p.target,
        {c.toolbarScribeline, c.optNewOrExistingLayer, c.cboSelectLayer, c.optGeometryType,
         c.frameProperty, c.imgDefProperty, c.txtRecordPPS, c.Label5, c.Label6, c.Label7,
         c.pictGETool, c.pictPicture, c.timerDigitalizing, c.cmdBeginDigitalizing,
         c.cmdEndDigitalizing, c.cmdDigitizePauseOrContinue, c.cmdExportKML}});
    p.exporter =
        factories_.layerExport(LayerExportContext{ports(), state, values, {c.cboSelectLayer}});
    p.terrain = factories_.terrain(TerrainContext{
        ports(),
        state,
        values,
        *p.target,
        {c.toolbarScribeline, c.cboSelectLayer, c.optGeometryType, c.txtDEMResolution,
         c.vscrollDEMResolution, c.optContourLevel, c.txtContourLevels, c.vscrollContourLevelnumber,
         c.vscrollContourLevelInterval, c.optStartElevation, c.txtStartElevation}});
    p.views = factories_.viewSync(ViewsContext{ports(), state});
    p.status = factories_.statusReports(ViewsContext{ports(), state});
    p.shots = factories_.screenShots(ScreenShotContext{ports(), {c.pictScreenShot}});
    return p;
}

// The subsystems are made at load; outside a load (before the first, after an unload) a
// public procedure still finds a set, made then.
frmGE2Arc::Parts& frmGE2Arc::parts() {
    if (!parts_.grid) {
        parts_ = makeParts();
    }
    return parts_;
}

IAttributeGrid& frmGE2Arc::Grid() {
    return *parts().grid;
}
ITargetLayer& frmGE2Arc::Target() {
    return *parts().target;
}
IDigitizingRun& frmGE2Arc::Run() {
    return *parts().run;
}
ILayerExport& frmGE2Arc::Export() {
    return *parts().exporter;
}
ITerrainCommands& frmGE2Arc::Terrain() {
    return *parts().terrain;
}
IViewSync& frmGE2Arc::Views() {
    return *parts().views;
}
IStatusReports& frmGE2Arc::Status() {
    return *parts().status;
}
IScreenShots& frmGE2Arc::ScreenShots() {
    return *parts().shots;
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
