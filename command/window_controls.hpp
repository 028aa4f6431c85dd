// The controls of the digitizer window (frmGE2Arc::Controls): the model a front end binds to.
//
// Binding: ForEach visits every control of the window exactly once (an option group or image
// array is visited as its single option buttons / images, a toolbar as one control whose
// buttons are read through Buttons()), always in the same order, the form's layout order, top
// of the form first. OnChanged subscribes to the one change notification: it is raised once for
// every effective change of a control's state (enabled, visible, bounds, caption, picture,
// value, text and selection, list contents, toolbar buttons), after the change, with the
// control that changed; setting a value the control already has raises nothing.
//
// Ownership: the window owns its Controls for its whole life; the controls are never replaced,
// so references and pointers to them stay valid as long as the window (front ends may keep
// them). Handlers passed to ForEach and OnChanged are never null (an empty one is refused with
// std::invalid_argument). The Subscription returned by OnChanged must not be used after the
// Controls is destroyed except to be destroyed or reset (both are then no-ops).
//
// Threading: the model lives on the window's one thread; notifications run on it, inside the
// call that changed the state.
//
// Units: bounds in twips of the form's client area.
#pragma once

#include "command/controls.hpp"

#include <functional>
#include <string>
#include <vector>

namespace scribeline {

class Controls final : public controls::ControlSet {
public:
    // Attaches every control to this model's change notification.
    Controls();
    ~Controls() override;

    // Visits every control once, in layout order.
    void ForEach(const std::function<void(controls::Control&)>& visit) override;
    void ForEach(const std::function<void(const controls::Control&)>& visit) const;
    // The number of controls ForEach visits.
    [[nodiscard]] int Count() const;
    // The control with this name (and array index, -1 for a single control); null when there
    // is none. The pointer is borrowed from the model.
    [[nodiscard]] controls::Control* Find(const std::string& name, int index = -1);
    [[nodiscard]] const controls::Control* Find(const std::string& name, int index = -1) const;

    // ---- the controls, in layout order ----
    controls::Toolbar toolbarScribeline{"toolbarScribeline"};
    controls::Frame frameLayer{"frameLayer"};
    controls::OptionArray optNewOrExistingLayer{"optNewOrExistingLayer",
                                                {"New Layer", "Existing Layer"}};
    controls::ComboBox cboSelectLayer{"cboSelectLayer"};
    controls::Frame frameGeometryType{"frameGeometryType"};
    controls::OptionArray optGeometryType{"optGeometryType", {"Point", "Polyline", "Polygon"}};
    controls::Frame frameProperty{"frameProperty"};
    controls::ListView listviewProperty{"listviewProperty"};
    controls::TextBox txtQty{"txtQty"};
    controls::Image imgDefProperty{"imgDefProperty"};
    controls::TextBox txtRecordPPS{"txtRecordPPS"};
    controls::ScrollBar vscrollRecordPPS{"vscrollRecordPPS"};
    controls::Frame frameDEM{"frameDEM"};
    controls::TextBox txtDEMResolution{"txtDEMResolution"};
    controls::ScrollBar vscrollDEMResolution{"vscrollDEMResolution"};
    controls::Label lblDEMResolution{"lblDEMResolution"};
    controls::Frame frameContour{"frameContour"};
    controls::OptionArray optContourLevel{
        "optContourLevel",
        {"Define level number", "Define interval", "Customize (use separator \",\")"}};
    controls::TextBox txtContourLevels{"txtContourLevels"};
    controls::TextBox txtContourLevelNumber{"txtContourLevelNumber"};
    controls::ScrollBar vscrollContourLevelnumber{"vscrollContourLevelnumber"};
    controls::TextBox txtContourLevelInterval{"txtContourLevelInterval"};
    controls::ScrollBar vscrollContourLevelInterval{"vscrollContourLevelInterval"};
    controls::Frame frameStartElevation{"frameStartElevation"};
    controls::OptionArray optStartElevation{"optStartElevation",
                                            {"Start elevation:", "Automatically"}};
    controls::TextBox txtStartElevation{"txtStartElevation"};
    controls::Frame frameMeasureTrack{"frameMeasureTrack"};
    controls::Label Label5{"Label5"};
    controls::Label Label6{"Label6"};
    controls::Label Label7{"Label7"};
    controls::Frame frameOption{"frameOption"};
    controls::Frame frameGetDataFromGE{"frameGetDataFromGE"};
    controls::Frame frameLocation{"frameLocation"};
    controls::ImageArray imgLocation{"imgLocation", 9};
    controls::OptionArray optLocationReference{"optLocationReference",
                                               {"ArcMap", "Google Earth", "Screen"}};
    controls::Image imgMore{"imgMore"};
    controls::Image imgLess{"imgLess"};
    controls::PictureBox pictGEInfoWelcome{"pictGEInfoWelcome"};
    controls::PictureBox pictGEInfoReady{"pictGEInfoReady"};
    controls::PictureBox pictGEInfoBusy{"pictGEInfoBusy"};
    controls::PictureBox pictGETool{"pictGETool"};
    controls::ImageArray pictPicture{"pictPicture", 4};
    controls::Image picDigitizerIcon{"picDigitizerIcon"};
    controls::Image imgShot{"imgShot"};
    controls::Image imgCamera{"imgCamera"};
    controls::PictureBox pictScreenShot{"pictScreenShot"};
    controls::Timer timerDigitalizing{"timerDigitalizing"};
    controls::Timer timerImportOrExport{"timerImportOrExport"};
    controls::Timer timerMsgBox{"timerMsgBox"};
    controls::Button cmdBeginDigitalizing{"cmdBeginDigitalizing"};
    controls::Button cmdEndDigitalizing{"cmdEndDigitalizing"};
    controls::Button cmdFinishCurrentFeatureAndCreateNewFeature{
        "cmdFinishCurrentFeatureAndCreateNewFeature"};
    controls::Button cmdDigitizePauseOrContinue{"cmdDigitizePauseOrContinue"};
    controls::Button cmdAbort{"cmdAbort"};
    controls::Button cmdExportKML{"cmdExportKML"};
    controls::Button cmdGetDEMDateFromGE{"cmdGetDEMDateFromGE"};
    controls::Button cmdGetContourFromGE{"cmdGetContourFromGE"};
    controls::Button cmdSetGEViewEx{"cmdSetGEViewEx"};
    controls::Button cmdSetArcViewEx{"cmdSetArcViewEx"};
    controls::Button Command1{"Command1"};
    controls::Button Command2{"Command2"};

    // The images the toolbar and the lamps draw from, by key (not a control: fixed).
    const std::vector<std::string> ImageList4GEToolbar{
        "setgeview", "setarcview", "start",   "record", "finish",  "pause",   "stop",
        "export",    "dem",        "contour", "abort",  "nothing", "starting"};
};

} // namespace scribeline
