// frmGE2Arc: the digitizer window, "Scribeline for ArcMap". It is a model of controls (see
// controls.hpp) with the window's handlers, and the composition root of the digitizer: it owns
// the options menu and, while loaded, one object of each subsystem (subsystems.hpp), and its
// named handlers forward to them.
//
// Lifetime: the object lives as long as its owner (the command); Load runs Form_Load and
// Unload runs Form_Unload, as often as the window is opened and closed. The form and its
// picture boxes are real desktop windows while loaded.
//
// Failures: the window's procedures do not trap failures. What a user does (toolbar, controls,
// keys, mouse, the options menu, closing) and every timer tick is delivered through the
// window's ActionErrors, which ends the action and reports it. Public procedures called by
// other code let failures through to their caller.
//
// Units: control positions and sizes in twips (form client area); tool-strip mouse positions in
// pixels of the strip; the form's own position in screen twips.
#pragma once

#include "command/action_errors.hpp"
#include "command/controls.hpp"
#include "command/environment.hpp"
#include "command/map_port.hpp"
#include "command/process_state.hpp"
#include "command/subsystems.hpp"
#include "command/window_controls.hpp"
#include "command/window_state.hpp"
#include "options/frmOptionsContextMenu.hpp"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace scribeline {

// Pictures by key, with stable non-zero handles in the order the keys were first asked for.
class ImageStore {
public:
    using PictureHandle = std::uint32_t;
    [[nodiscard]] PictureHandle Handle(const std::string& key);
    [[nodiscard]] std::string Key(PictureHandle handle) const;

private:
    std::map<std::string, PictureHandle> handles_;
};

class frmGE2Arc final : private IWindowHandler,
                        private controls::IEventGate,
                        public IForm,
                        public IDigitizerWindow {
public:
    // Window sizes, twips, width by height.
    static constexpr int kCompactWidth = 4080;
    static constexpr int kExpandedWidth = 8490;
    static constexpr int kPresetHeight = 4290;
    static constexpr int kStripWidth = 4320;
    static constexpr int kStripHeight = 780;
    static constexpr int kMeasureTrackExtraHeight = 1200;
    static constexpr int kToolbarWidth = 9000;
    // The blink of the alarm lamp: two changes a second.
    static constexpr int kImportOrExportInterval = 500;
    // timerMsgBox runs while the window is loaded: a box titled "x_y_z" stands at most this
    // long before the timer closes it.
    static constexpr int kMsgBoxInterval = 250;
    static constexpr const char* kCaption = kDigitizerCaption;
    static constexpr const char* kKmlBaseName = "~tempDigitizeFromGE";
    static constexpr const char* kMsgBoxTitle = "x_y_z";

    // The ports and the process state are borrowed and must outlive the window. Raises
    // std::invalid_argument when a factory of `subsystems` is empty.
    frmGE2Arc(Environment environment, ProcessState& process, Subsystems subsystems);
    ~frmGE2Arc() override;
    frmGE2Arc(const frmGE2Arc&) = delete;
    frmGE2Arc& operator=(const frmGE2Arc&) = delete;

    // ---- lifecycle -------------------------------------------------------------------------
    // Loads the window hidden (Form_Load) unless it is loaded. A failing load leaves it
    // unloaded and lets the failure through.
    void Load();
    // Form_Unload: false when the close is refused (a terrain command is busy).
    bool Unload() override;
    [[nodiscard]] bool IsLoaded() const { return loaded_; }
    // Shows the window; modal showing returns at once so the host's command stays usable.
    void Show(bool modal) override;
    void Hide() override;
    [[nodiscard]] bool Visible() const;
    [[nodiscard]] WindowHandle hWnd() const override { return window_; }
    // A close by the user (the window's close box, or the desktop's close request).
    void UserClose();

    // ---- public procedures -------------------------------------------------------------------
    void SetApplication(std::shared_ptr<IMapApplication> application) {
        application_ = std::move(application);
    }
    [[nodiscard]] const std::shared_ptr<IMapApplication>& Application() const {
        return application_;
    }
    void GetArcStatus();
    // Places the window by location 0..8 over the reference optLocationReference selects.
    void SetMeIntoArcWindow(int location);
    void Check_GEisIsInitialized();
    void DefListViewHead() override;
    void cmdDigitizePauseOrContinue_Click();
    void FinishFeature();
    void SetControlParentToGE(controls::PictureBox& control) override;
    void RecoverControlParent() override;
    // The decimal text of a random RGB colour.
    [[nodiscard]] std::string RandomColour();

    // ---- handlers -------------------------------------------------------------------------
    // The dispatch of every toolbar key.
    void toolbarScribeline_ButtonClick(const std::string& key);
    // "less_options", "more_options" or "digitizing".
    void ApplyLayout(const std::string& layout) override;
    // keyCode a virtual key; shift the platform's mask: 1 Shift, 2 Ctrl, 4 Alt.
    void Form_KeyDown(int keyCode, int shift);
    // A right-button release at client pixels of the form (background or a frame); pops the
    // options menu up at `screen` when no run is active.
    void Form_RightButton(Point client, Point screen);
    void PopupOptionsMenu(Point screen);
    void cmdAbort_Click();
    void cmdBeginDigitalizing_Click();
    void cmdFinishCurrentFeatureAndCreateNewFeature_Click();
    void cmdEndDigitalizing_Click();
    void cmdExportKML_Click();
    void cmdGetDEMDateFromGE_Click();
    void cmdGetContourFromGE_Click();
    void cmdSetGEViewEx_Click();
    void cmdSetArcViewEx_Click();
    void timerImportOrExport_Timer();
    void timerMsgBox_Timer();
    void vscrollDEMResolution_Change();
    void vscrollRecordPPS_Change();
    void optContourLevel_Click(int index);
    void optStartElevation_Click(int index);
    void vscrollContourLevelnumber_Change();
    void vscrollContourLevelInterval_Change();
    void optLocationReference_Click(int index);
    void imgLocation_Click(int index);
    void imgShot_Click();
    // The in-view tool strip, positions in its client pixels.
    void pictGETool_MouseDown(Point client, Point screen);
    void pictGETool_MouseMove(Point client, Point screen);
    void pictGETool_MouseUp(Point client, Point screen);

    // ---- the controls --------------------------------------------------------------------
    // The window's controls: see window_controls.hpp for binding to them.
    using Controls = scribeline::Controls;
    Controls ctl;

    // The form's own caption and place (screen twips).
    [[nodiscard]] const std::string& Caption() const { return caption_; }
    [[nodiscard]] const controls::Bounds& FormBounds() const override { return formBounds_; }
    // Moves the form, screen twips.
    void MoveForm(int left, int top) override { moveForm(left, top); }

    // ---- window state shared with the subsystems ------------------------------------------
    using State = WindowState;
    State state;

    // The view refresh delay and the DEM preview target, changed by the options menu.
    OptionsWindowValues values;

    // ---- what the subsystems use -----------------------------------------------------------
    [[nodiscard]] IDesktop& Desktop() { return desktop_; }
    [[nodiscard]] IGlobeConnector& Globe() { return globe_; }
    [[nodiscard]] ProcessState& Process() { return process_; }
    [[nodiscard]] frmOptionsContextMenu& Options() { return options_; }
    [[nodiscard]] ActionErrors& Errors() { return errors_; }
    [[nodiscard]] ImageStore& Images() { return images_; }
    // The subsystem objects of this load, created at first use.
    [[nodiscard]] IDigitizingRun& Run();
    [[nodiscard]] ILayerExport& Export();
    [[nodiscard]] ITerrainCommands& Terrain();
    [[nodiscard]] IViewSync& Views();
    [[nodiscard]] IStatusReports& Status();
    [[nodiscard]] IScreenShots& ScreenShots();
    [[nodiscard]] IAttributeGrid& Grid();
    [[nodiscard]] ITargetLayer& Target();
    // The globe application object, created when first needed.
    [[nodiscard]] IApplicationGE& GE() override;

    // IForm
    [[nodiscard]] std::string FormName() const override { return "frmGE2Arc"; }
    bool UnloadForm() override { return Unload(); }

private:
    void Form_Load();
    void resetControls();
    void bindEvents();
    void createWindows();
    void destroyWindows();
    void createSubsystems();
    [[nodiscard]] SubsystemPorts ports();
    void retireSubsystems();
    void buildToolbar();
    void setContourDefaults();
    void drawStatusPicture(controls::PictureBox& picture, const std::string& text);
    void setUpToolStrip();
    void showStatusPicture(controls::PictureBox& picture);
    void moveForm(int left, int top);
    void resizeForm(int width, int height);
    void prepareSaveDataIn3D();
    void longAction(const std::string& key, const std::function<void()>& before,
                    const std::function<void()>& work, const std::function<void()>& after);
    int toolStripZone(Point client) const;

    // IWindowHandler: the form's desktop window.
    void onMouse(const MouseEvent& event, Point client) override;
    void onKey(const KeyEvent& event) override;
    bool onClose() override;
    // IEventGate
    void Deliver(const std::string& what, const std::function<void()>& event) override;
    void FocusChanged(const controls::Control* control) override;

public:
    // The control that has the focus (null for none).
    [[nodiscard]] const controls::Control* Focused() const { return focused_; }

private:
    IDesktop& desktop_;
    IGlobeConnector& globe_;
    ProcessState& process_;
    Subsystems factories_;
    ActionErrors errors_;
    frmOptionsContextMenu options_;
    ImageStore images_;
    std::shared_ptr<IMapApplication> application_;
    // What the subsystems hold as the map host: forwards to application_.
    std::unique_ptr<IMapApplication> mapHost_;
    std::string caption_;
    controls::Bounds formBounds_;
    WindowHandle window_ = kNoWindow;
    bool loaded_ = false;
    const controls::Control* focused_ = nullptr;

    // Destroyed in reverse order: the run and the terrain commands hold the target and the
    // grid, the target holds the grid.
    struct Parts {
        std::unique_ptr<IAttributeGrid> grid;
        std::unique_ptr<ITargetLayer> target;
        std::unique_ptr<IDigitizingRun> run;
        std::unique_ptr<ILayerExport> exporter;
        std::unique_ptr<ITerrainCommands> terrain;
        std::unique_ptr<IViewSync> views;
        std::unique_ptr<IStatusReports> status;
        std::unique_ptr<IScreenShots> shots;
    };
    Parts parts_;
    // Subsystems of the last load, kept until the next load: an unload may come from inside
    // one of their own handlers.
    std::vector<Parts> retired_;

    // Tool strip dragging.
    bool dragging_ = false;
    Point dragAnchor_;
    Point dragOrigin_;
    bool dragMoved_ = false;
};

} // namespace scribeline
