// The subsystems the digitizer window plugs in. The window (frmGE2Arc) is the composition root:
// it owns one object of each interface below while it is loaded, creates them at every load
// from the factories it was given, and its named handlers forward to them.
//
// A subsystem does not see the window. Its factory gets a narrow context for one load: the
// ports it uses (the map host as a reference valid for the whole load), the error reporter,
// the options, the window state it shares, the few window procedures it calls back and a
// struct of references to exactly the controls it touches. Every reference in a context
// outlives the subsystem object made from it. The default factories live in
// composition/default_subsystems.hpp, at the top of the library graph.
#pragma once

#include "command/action_errors.hpp"
#include "command/controls.hpp"
#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "command/process_state.hpp"
#include "command/window_state.hpp"
#include "options/frmOptionsContextMenu.hpp"
#include "platform/desktop.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scribeline {

// The window procedures a subsystem may call back. The window implements them.
class IDigitizerWindow {
public:
    virtual ~IDigitizerWindow() = default;
    // The form's desktop window (changes with every load).
    [[nodiscard]] virtual WindowHandle hWnd() const = 0;
    virtual void Show(bool modal) = 0;
    virtual void Hide() = 0;
    // Form_Unload: false when the close is refused.
    virtual bool Unload() = 0;
    // "less_options", "more_options" or "digitizing".
    virtual void ApplyLayout(const std::string& layout) = 0;
    // The form's place, screen twips.
    [[nodiscard]] virtual const controls::Bounds& FormBounds() const = 0;
    virtual void MoveForm(int left, int top) = 0;
    virtual void SetControlParentToGE(controls::PictureBox& control) = 0;
    virtual void RecoverControlParent() = 0;
    virtual void DefListViewHead() = 0;
    // The globe application object, created when first needed.
    [[nodiscard]] virtual IApplicationGE& GE() = 0;
};

// What every subsystem is lent for one load of the window.
struct SubsystemPorts {
    IDesktop& desktop;
    IGlobeConnector& globe;
    // The window's map host application; a call fails with a reason when the window has none.
    IMapApplication& map;
    ProcessState& process;
    ActionErrors& errors;
    frmOptionsContextMenu& options;
    IDigitizerWindow& window;
};

// Fills the window's layer list from the map: feature layers whose class is point, polyline or
// polygon, not annotation (feature types 11 and 12), with at least one feature; group layers
// and other layers are skipped. The list's text shows its first entry when it is not empty.
void FillLayerList(controls::ComboBox& list, IMap& map);

// The target layer: the layer a digitizing run or a terrain command writes into, the feature
// under construction and its writing, and the layer list. Shared by the run and the terrain
// commands; one object per load.
class ITargetLayer {
public:
    virtual ~ITargetLayer() = default;
    // The map document of this target, WGS 1984 for the map once per load.
    virtual void PrepareMap() = 0;
    // The next run number with its old files deleted, then a new layer of `geometryKind`
    // (0 point, 1 polyline, 2 polygon) or the existing layer chosen in cboSelectLayer, which
    // decides the kind. Call PrepareMap first.
    virtual void PrepareLayer(int geometryKind) = 0;
    // Readies the target of a terrain command (run key "dem" or "contour") the way a run start
    // does, without an edit session (stores outside one are durable at once): PrepareMap,
    // PrepareLayer and an empty feature under construction, a polyline (kinds 0 and 1) or a
    // polygon (2). Returns the geometry kind the target holds.
    virtual int PrepareTerrainTarget(int geometryKind) = 0;
    // The geometry kind of the target: 0 point, 1 polyline, 2 polygon.
    [[nodiscard]] virtual int GeometryKind() const = 0;
    virtual void SetGeometryKind(int geometryKind) = 0;
    // The feature under construction. Lives as long as the target object.
    [[nodiscard]] virtual Geometry& FeatureUnderConstruction() = 0;
    // Stores the feature under construction (a point layer gets one feature per vertex);
    // false, and nothing stored, while it has too few vertices or no target was prepared.
    virtual bool StoreFeature() = 0;
    // Empties the feature under construction and the window's vertex count.
    virtual void ClearFeature() = 0;
    // StoreFeature, then ClearFeature when something was stored.
    virtual void FinishFeature() = 0;
    // The target feature class and layer; null before a target was prepared.
    [[nodiscard]] virtual std::shared_ptr<IFeatureClass> TargetFeatureClass() const = 0;
    [[nodiscard]] virtual std::shared_ptr<IFeatureLayer> TargetFeatureLayer() const = 0;
    // The document of the last preparation; null before.
    [[nodiscard]] virtual std::shared_ptr<IMxDocument> Document() const = 0;
    // The number of the current run (from 1), the layer name of the run ("~tempDigitizeFromGE"
    // and the number) and its live KML file in the temporary folder.
    [[nodiscard]] virtual int RunNumber() const = 0;
    [[nodiscard]] virtual std::string LiveName() const = 0;
    [[nodiscard]] virtual std::filesystem::path LiveKmlPath() const = 0;
    // Refills cboSelectLayer with the feature layers of the map.
    virtual void FillLayerList() = 0;
};

// The digitizing run: begin, capture tick, pause and continue, finish, end, abort.
// The window sets its run key ("start" or "record") before cmdBeginDigitalizing_Click and keeps
// the digitizing-active flag (state.digitizingActive), which the run sets and clears.
class IDigitizingRun {
public:
    virtual ~IDigitizingRun() = default;
    virtual void cmdBeginDigitalizing_Click() = 0;
    virtual void cmdDigitizePauseOrContinue_Click() = 0;
    virtual void cmdFinishCurrentFeatureAndCreateNewFeature_Click() = 0;
    virtual void FinishFeature() = 0;
    virtual void cmdEndDigitalizing_Click() = 0;
    // The run's share of an abort while a run is active: end it and take the unfinished feature
    // off the globe. The window then closes itself.
    virtual void AbortRun() = 0;
    virtual void timerDigitalizing_Timer() = 0;
    // The dialog-assisted capture buttons.
    virtual void Command1_Click() = 0;
    virtual void Command2_Click() = 0;
    // Reactions to the target-layer controls. They run after the control changed; a run that
    // has nothing to add keeps the defaults, which do nothing.
    virtual void optGeometryType_Click(int /*index*/) {}
    virtual void optNewOrExistingLayer_Click(int /*index*/) {}
    virtual void cboSelectLayer_Click() {}
};

// Sending a map layer to the globe as KML.
class ILayerExport {
public:
    virtual ~ILayerExport() = default;
    virtual void cmdExportKML_Click() = 0;
};

// DEM points and contours from the globe's terrain. The window marks itself busy around them
// (state.busy) only through these handlers; PreviewDEMResolution draws the sample grid of a
// new resolution (columns M, rows N) once the window has loaded.
class ITerrainCommands {
public:
    virtual ~ITerrainCommands() = default;
    virtual void cmdGetDEMDateFromGE_Click() = 0;
    virtual void cmdGetContourFromGE_Click() = 0;
    virtual void PreviewDEMResolution(int columns, int rows) = 0;
};

// Matching one application's view to the other's.
class IViewSync {
public:
    virtual ~IViewSync() = default;
    virtual void cmdSetGEViewEx_Click() = 0;
    virtual void cmdSetArcViewEx_Click() = 0;
};

// The two status reports, each shown in one message box.
class IStatusReports {
public:
    virtual ~IStatusReports() = default;
    virtual void ShowGEStatus() = 0;
    virtual void GetArcStatus() = 0;
};

// Screen shots: target 0 the map view, 1 the globe's render view, 2 the desktop.
class IScreenShots {
public:
    virtual ~IScreenShots() = default;
    virtual void TakeScreenShot(int target) = 0;
};

// The feature attribute grid and its field definition dialog. The window drops the object
// when it unloads.
// A field defined in the field definition dialog: type index 0 "Short Integer", 1 "Long
// Integer", 2 "Float", 3 "Double", 4 "Text", 5 "Date"; the length text is never empty (the
// type's default fills it on OK).
struct UserDefinedField {
    std::string name;
    int typeIndex = 4;
    std::string lengthText;
};

class IAttributeGrid {
public:
    virtual ~IAttributeGrid() = default;
    virtual void DefListViewHead() = 0;
    virtual void imgDefProperty_Click() = 0;
    // Refills the grid's rows from the attribute fields (index 2 on) of the target class.
    virtual void FillFromFields(const Fields& fields) = 0;
    // Writes the grid's values into the attribute fields of a feature about to be stored.
    virtual void StoreValues(IFeature& feature) = 0;
    // The fields the dialog's OK handed over, in order, at most 201; empty when none.
    [[nodiscard]] virtual std::vector<UserDefinedField> UserDefinedFields() const = 0;
};

// ---- the contexts -------------------------------------------------------------------------

struct AttributeGridContext : SubsystemPorts {
    struct Controls {
        controls::ListView& listviewProperty;
        controls::TextBox& txtQty;
    } ctl;
};

struct TargetLayerContext : SubsystemPorts {
    WindowState& state;
    IAttributeGrid& grid;
    struct Controls {
        controls::OptionArray& optNewOrExistingLayer;
        controls::ComboBox& cboSelectLayer;
        controls::Frame& frameProperty;
    } ctl;
};

struct DigitizingRunContext : SubsystemPorts {
    WindowState& state;
    const OptionsWindowValues& values;
    IAttributeGrid& grid;
    ITargetLayer& target;
    struct Controls {
        controls::Toolbar& toolbarScribeline;
        controls::OptionArray& optNewOrExistingLayer;
        controls::ComboBox& cboSelectLayer;
        controls::OptionArray& optGeometryType;
        controls::Frame& frameProperty;
        controls::Image& imgDefProperty;
        controls::TextBox& txtRecordPPS;
        controls::Label& Label5;
        controls::Label& Label6;
        controls::Label& Label7;
        controls::PictureBox& pictGETool;
        controls::ImageArray& pictPicture;
        controls::Timer& timerDigitalizing;
        controls::Button& cmdBeginDigitalizing;
        controls::Button& cmdEndDigitalizing;
        controls::Button& cmdDigitizePauseOrContinue;
        controls::Button& cmdExportKML;
    } ctl;
};

struct LayerExportContext : SubsystemPorts {
    WindowState& state;
    const OptionsWindowValues& values;
    struct Controls {
        controls::ComboBox& cboSelectLayer;
    } ctl;
};

struct TerrainContext : SubsystemPorts {
    WindowState& state;
    const OptionsWindowValues& values;
    ITargetLayer& target;
    struct Controls {
        controls::Toolbar& toolbarScribeline;
        controls::ComboBox& cboSelectLayer;
        controls::OptionArray& optGeometryType;
        controls::TextBox& txtDEMResolution;
        controls::ScrollBar& vscrollDEMResolution;
        controls::OptionArray& optContourLevel;
        controls::TextBox& txtContourLevels;
        controls::ScrollBar& vscrollContourLevelnumber;
        controls::ScrollBar& vscrollContourLevelInterval;
        controls::OptionArray& optStartElevation;
        controls::TextBox& txtStartElevation;
    } ctl;
};

struct ViewsContext : SubsystemPorts {
    WindowState& state;
};

struct ScreenShotContext : SubsystemPorts {
    struct Controls {
        controls::PictureBox& pictScreenShot;
    } ctl;
};

template <class Interface, class Context>
using SubsystemFactory = std::function<std::unique_ptr<Interface>(const Context& context)>;

// One factory per subsystem; the window refuses a list with an empty one.
struct Subsystems {
    SubsystemFactory<IAttributeGrid, AttributeGridContext> attributeGrid;
    SubsystemFactory<ITargetLayer, TargetLayerContext> targetLayer;
    SubsystemFactory<IDigitizingRun, DigitizingRunContext> digitizingRun;
    SubsystemFactory<ILayerExport, LayerExportContext> layerExport;
    SubsystemFactory<ITerrainCommands, TerrainContext> terrain;
    SubsystemFactory<IViewSync, ViewsContext> viewSync;
    SubsystemFactory<IStatusReports, ViewsContext> statusReports;
    SubsystemFactory<IScreenShots, ScreenShotContext> screenShots;

    // Whether every factory is set.
    [[nodiscard]] bool Complete() const {
        return attributeGrid && targetLayer && digitizingRun && layerExport && terrain &&
               viewSync && statusReports && screenShots;
    }
};

} // namespace scribeline
