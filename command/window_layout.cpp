// The digitizer window's layout: the controls as designed, the toolbar, the status pictures and
// the window's placement.
#include "command/frmGE2Arc.hpp"

#include "command/window_tables.hpp"
#include "options/option_names.hpp"

#include <cmath>
#include <stdexcept>
#include <string>

namespace scribeline {

using namespace window_tables;

namespace {

// The form's layout: the state every control has when the form is created, before Form_Load
// runs. Twips, form client area.
using C = Controls;

struct FrameRow {
    controls::Frame C::*frame;
    const char* caption;
    controls::Bounds bounds;
};
const FrameRow kFrameLayout[] = {
    {&C::frameOption, "Options", {60, 420, 3960, 1560}},
    {&C::frameGeometryType, "Geometry Type", {120, 600, 1200, 1260}},
    {&C::frameLayer, "Target Layer", {1380, 600, 2580, 1260}},
    // The contour frame has a row for each level option and one for the custom list under
    // its option; the start elevation sits below them.
    {&C::frameGetDataFromGE, "Get Data from Google Earth", {60, 2040, 3960, 1860}},
    {&C::frameDEM, "DEM Points", {120, 2220, 1500, 1620}},
    {&C::frameContour, "Contour Levels", {1680, 2220, 2280, 1620}},
    {&C::frameStartElevation, "", {1740, 3360, 2160, 460}},
    {&C::frameProperty, "Feature Properties", {4140, 420, 4260, 2340}},
    {&C::frameLocation, "Location", {4140, 2820, 2520, 1080}},
    {&C::frameMeasureTrack, "Measure Track", {4140, 420, 3960, 1140}},
};

// The designed selection of each option group (no Click is raised for it).
struct OptionRow {
    controls::OptionArray C::*options;
    int selected;
};
const OptionRow kOptionLayout[] = {
    {&C::optNewOrExistingLayer, 0}, {&C::optGeometryType, 1},      {&C::optContourLevel, 0},
    {&C::optStartElevation, 1},     {&C::optLocationReference, 0},
};

// The designed text of each box (no Change is raised for it).
struct TextRow {
    controls::TextBox C::*box;
    const char* text;
};
const TextRow kTextLayout[] = {
    {&C::txtQty, ""},
    {&C::txtRecordPPS, "5"},
    {&C::txtDEMResolution, "5 X 5"},
    {&C::txtContourLevels, ""},
    {&C::txtContourLevelNumber, ""},
    {&C::txtContourLevelInterval, ""},
    {&C::txtStartElevation, "500"},
};

struct ScrollRow {
    controls::ScrollBar C::*bar;
    int minimum;
    int maximum;
    int smallChange;
    int largeChange;
    int value;
};
const ScrollRow kScrollLayout[] = {
    {&C::vscrollRecordPPS, 1, 20, 1, 5, 5},
    {&C::vscrollDEMResolution, 5, 35, 5, 5, 5},
    // Form_Load gives these their limits and values.
    {&C::vscrollContourLevelnumber, 0, 32767, 1, 1, 0},
    {&C::vscrollContourLevelInterval, 0, 32767, 1, 1, 0},
};

struct LabelRow {
    controls::Label C::*label;
    const char* caption;
};
const LabelRow kLabelLayout[] = {
    {&C::Label5, "Number of Points:"},
    {&C::Label6, "Length of Polyline:"},
    {&C::Label7, "Area of Polygon:"},
    {&C::lblDEMResolution, "Resolution:"},
};

struct ImageRow {
    controls::Image C::*image;
    const char* picture;
};
const ImageRow kImageLayout[] = {
    {&C::imgMore, "more"},     {&C::imgLess, "less"}, {&C::imgDefProperty, "defproperty1"},
    {&C::imgCamera, "camera"}, {&C::imgShot, ""},     {&C::picDigitizerIcon, "scribeline"},
};

// The toolbar stands in for the command buttons; their handlers are what it calls.
struct ButtonRow {
    controls::Button C::*button;
    const char* caption;
    bool visible;
};
const ButtonRow kButtonLayout[] = {
    {&C::cmdBeginDigitalizing, "Begin", false},
    {&C::cmdEndDigitalizing, "End", false},
    {&C::cmdFinishCurrentFeatureAndCreateNewFeature, "Finish Feature", false},
    {&C::cmdDigitizePauseOrContinue, "Pause", false},
    {&C::cmdAbort, "Abort", false},
    {&C::cmdExportKML, "Export", false},
    {&C::cmdGetDEMDateFromGE, "DEM", false},
    {&C::cmdGetContourFromGE, "Contour", false},
    {&C::cmdSetGEViewEx, "Set Google Earth View", false},
    {&C::cmdSetArcViewEx, "Set ArcMap View", false},
    {&C::Command1, "Capture", true},
    {&C::Command2, "OK", true},
};

// Picture boxes start empty and unplaced; the screen shot box has its corner.
controls::PictureBox C::*const kPictureBoxes[] = {&C::pictGEInfoWelcome, &C::pictGEInfoReady,
                                                  &C::pictGEInfoBusy, &C::pictGETool,
                                                  &C::pictScreenShot};

const char* const kStripImages[] = {"toolstrip", "toolstrip_finishfeature", "toolstrip_finishlayer",
                                    "toolstrip_abort"};

} // namespace

void frmGE2Arc::resetControls() {
    auto& c = ctl;
    caption_.clear();
    formBounds_ = {0, 0, kCompactWidth, kPresetHeight};
    focused_ = nullptr;

    c.pictScreenShot.SetPicture(nullptr); // a shot of an earlier load is not kept
    c.toolbarScribeline.Clear();
    c.toolbarScribeline.SetBounds({0, 0, kToolbarWidth, kToolbarHeight});
    c.toolbarScribeline.SetEnabled(true);
    c.toolbarScribeline.SetVisible(true);
    for (const auto& row : kFrameLayout) {
        controls::Frame& f = c.*row.frame;
        f.SetCaption(row.caption);
        f.SetBounds(row.bounds);
        f.SetVisible(true);
        f.SetEnabled(true);
    }
    c.listviewProperty.SetBounds({4200, 660, 4140, 1800});
    c.imgDefProperty.SetBounds({7980, 2490, 360, 240});

    for (const auto& row : kOptionLayout) {
        controls::OptionArray& array = c.*row.options;
        for (int i = 0; i < array.Count(); ++i) {
            array[i].SetEnabled(true);
            array[i].SetVisible(true);
        }
        auto click = std::move(array.Click);
        array.Click = nullptr;
        array.Select(row.selected);
        array.Click = std::move(click);
    }

    c.cboSelectLayer.Clear();
    c.cboSelectLayer.SetEnabled(true);
    c.cboSelectLayer.SetBounds({1440, 1440, 2400, 315});

    for (const auto& row : kTextLayout) {
        controls::TextBox& box = c.*row.box;
        auto change = std::move(box.Change);
        box.Change = nullptr;
        box.SetText(row.text);
        box.Change = std::move(change);
        box.SetEnabled(true);
        box.SetVisible(true);
    }
    for (const auto& row : kScrollLayout) {
        controls::ScrollBar& bar = c.*row.bar;
        bar.SetRange(row.minimum, row.maximum, row.smallChange, row.largeChange);
        bar.SetInitialValue(row.value);
        bar.SetEnabled(true);
        bar.SetVisible(true);
    }
    for (const auto& row : kLabelLayout) {
        (c.*row.label).SetCaption(row.caption);
    }

    for (int i = 0; i < c.imgLocation.Count(); ++i) {
        c.imgLocation[i].SetPictureKey("location" + std::to_string(i));
        c.imgLocation[i].SetRaised(false);
    }
    for (const auto& row : kImageLayout) {
        (c.*row.image).SetPictureKey(row.picture);
    }
    c.picDigitizerIcon.SetVisible(false);
    for (int i = 0; i < c.pictPicture.Count(); ++i) {
        c.pictPicture[i].SetPictureKey(kStripImages[i]);
        c.pictPicture[i].SetVisible(false);
    }
    for (const auto member : kPictureBoxes) {
        controls::PictureBox& picture = c.*member;
        picture.SetBounds({0, 0, 0, 0});
        picture.SetPictureKey("");
        picture.SetVisible(true);
    }
    c.pictScreenShot.SetBounds({6720, 2880, 1680, 1020});

    for (const auto& row : kButtonLayout) {
        controls::Button& b = c.*row.button;
        b.SetCaption(row.caption);
        b.SetEnabled(true);
        b.SetVisible(row.visible);
    }

    c.timerDigitalizing.SetEnabled(false);
    c.timerDigitalizing.SetInterval(500);
    c.timerImportOrExport.SetEnabled(false);
    c.timerImportOrExport.SetInterval(kImportOrExportInterval);
    c.timerMsgBox.SetInterval(kMsgBoxInterval);
    c.timerMsgBox.SetEnabled(true);
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
            button.enabled = row.enabled;
        }
        toolbar.Add(std::move(button));
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
        if (options_.Checked(option_names::kMeasureTrack)) {
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

} // namespace scribeline
