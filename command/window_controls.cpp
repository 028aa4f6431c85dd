#include "command/window_controls.hpp"

#include <stdexcept>

namespace scribeline {

namespace {

// The one list of controls, in layout order. Templated on constness so the const and mutable
// ForEach share it.
template <typename Self, typename Visit> void visitAll(Self& c, const Visit& visit) {
    auto array = [&](auto& controls) {
        for (int i = 0; i < controls.Count(); ++i) {
            visit(controls[i]);
        }
    };
    visit(c.toolbarScribeline);
    visit(c.frameLayer);
    array(c.optNewOrExistingLayer);
    visit(c.cboSelectLayer);
    visit(c.frameGeometryType);
    array(c.optGeometryType);
    visit(c.frameProperty);
    visit(c.listviewProperty);
    visit(c.txtQty);
    visit(c.imgDefProperty);
    visit(c.txtRecordPPS);
    visit(c.vscrollRecordPPS);
    visit(c.frameDEM);
    visit(c.txtDEMResolution);
    visit(c.vscrollDEMResolution);
    visit(c.lblDEMResolution);
    visit(c.frameContour);
    array(c.optContourLevel);
    visit(c.txtContourLevels);
    visit(c.txtContourLevelNumber);
    visit(c.vscrollContourLevelnumber);
    visit(c.txtContourLevelInterval);
    visit(c.vscrollContourLevelInterval);
    visit(c.frameStartElevation);
    array(c.optStartElevation);
    visit(c.txtStartElevation);
    visit(c.frameMeasureTrack);
    visit(c.Label5);
    visit(c.Label6);
    visit(c.Label7);
    visit(c.frameOption);
    visit(c.frameGetDataFromGE);
    visit(c.frameLocation);
    array(c.imgLocation);
    array(c.optLocationReference);
    visit(c.imgMore);
    visit(c.imgLess);
    visit(c.pictGEInfoWelcome);
    visit(c.pictGEInfoReady);
    visit(c.pictGEInfoBusy);
    visit(c.pictGETool);
    array(c.pictPicture);
    visit(c.picDigitizerIcon);
    visit(c.imgShot);
    visit(c.imgCamera);
    visit(c.pictScreenShot);
    visit(c.timerDigitalizing);
    visit(c.timerImportOrExport);
    visit(c.timerMsgBox);
    visit(c.cmdBeginDigitalizing);
    visit(c.cmdEndDigitalizing);
    visit(c.cmdFinishCurrentFeatureAndCreateNewFeature);
    visit(c.cmdDigitizePauseOrContinue);
    visit(c.cmdAbort);
    visit(c.cmdExportKML);
    visit(c.cmdGetDEMDateFromGE);
    visit(c.cmdGetContourFromGE);
    visit(c.cmdSetGEViewEx);
    visit(c.cmdSetArcViewEx);
    visit(c.Command1);
    visit(c.Command2);
}

} // namespace

Controls::Controls() {
    AttachAll();
}

Controls::~Controls() {
    DetachAll();
}

void Controls::ForEach(const std::function<void(controls::Control&)>& visit) {
    if (!visit) {
        throw std::invalid_argument("Controls::ForEach needs a visitor.");
    }
    visitAll(*this, visit);
}

void Controls::ForEach(const std::function<void(const controls::Control&)>& visit) const {
    if (!visit) {
        throw std::invalid_argument("Controls::ForEach needs a visitor.");
    }
    visitAll(*this, visit);
}

int Controls::Count() const {
    int count = 0;
    ForEach([&count](const controls::Control&) { ++count; });
    return count;
}

controls::Control* Controls::Find(const std::string& name, int index) {
    controls::Control* found = nullptr;
    ForEach([&](controls::Control& control) {
        if (found == nullptr && control.Name() == name && control.Index() == index) {
            found = &control;
        }
    });
    return found;
}

const controls::Control* Controls::Find(const std::string& name, int index) const {
    return const_cast<Controls*>(this)->Find(name, index);
}

} // namespace scribeline
