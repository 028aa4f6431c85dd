// The subsystems the digitizer window plugs in. The window (frmGE2Arc) is the composition root:
// it owns one object of each interface below while it is loaded, creates them at every load
// from the factories it was given, and its named handlers forward to them. A subsystem gets
// the window itself (controls, state, options, ports) to work on.
//
// A factory that is empty stands for a subsystem that is not built into this program yet: its
// handlers raise NotAvailableError, which the window reports like any failure that ends an
// action. DefaultSubsystems() lists what this build has; a landing subsystem adds itself there.
#pragma once

#include "command/map_port.hpp"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline {

class frmGE2Arc;

// A handler whose subsystem is not part of this build.
class NotAvailableError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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

    // ---- the target layer and feature writing, lent to the terrain commands ----
    // Readies the target of a terrain command (run key "dem" or "contour") the way a run start
    // does, without an edit session (stores outside one are durable at once): WGS 1984 for
    // the map once per load, the next run number with its old files deleted, then a new layer
    // of `geometryKind` (0 point, 1 polyline, 2 polygon) or the existing layer chosen in
    // cboSelectLayer. The feature under construction becomes an empty polyline (kinds 0 and 1)
    // or polygon (2). Returns the geometry kind the target holds.
    virtual int PrepareTerrainTarget(int /*geometryKind*/) {
        throw NotAvailableError("Digitizing on Google Earth is not available yet in this build.");
    }
    // The feature under construction, which FinishFeature stores and empties. Lives as long
    // as the run object.
    virtual Geometry& FeatureUnderConstruction() {
        throw NotAvailableError("Digitizing on Google Earth is not available yet in this build.");
    }
    // The target feature class; null before a target was prepared.
    [[nodiscard]] virtual std::shared_ptr<IFeatureClass> TargetFeatureClass() { return nullptr; }
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

template <class Interface>
using SubsystemFactory = std::function<std::unique_ptr<Interface>(frmGE2Arc& window)>;

// One factory per subsystem; an empty one means "not available yet".
struct Subsystems {
    SubsystemFactory<IDigitizingRun> digitizingRun;
    SubsystemFactory<ILayerExport> layerExport;
    SubsystemFactory<ITerrainCommands> terrain;
    SubsystemFactory<IViewSync> viewSync;
    SubsystemFactory<IStatusReports> statusReports;
    SubsystemFactory<IScreenShots> screenShots;
    SubsystemFactory<IAttributeGrid> attributeGrid;
};

// The subsystems of this build.
[[nodiscard]] Subsystems DefaultSubsystems();

// Stand-ins for the subsystems missing from a build; every handler raises NotAvailableError
// naming what is missing.
[[nodiscard]] std::unique_ptr<IDigitizingRun> MissingDigitizingRun();
[[nodiscard]] std::unique_ptr<ILayerExport> MissingLayerExport();
[[nodiscard]] std::unique_ptr<ITerrainCommands> MissingTerrain();
[[nodiscard]] std::unique_ptr<IViewSync> MissingViewSync();
[[nodiscard]] std::unique_ptr<IStatusReports> MissingStatusReports();
[[nodiscard]] std::unique_ptr<IScreenShots> MissingScreenShots();
[[nodiscard]] std::unique_ptr<IAttributeGrid> MissingAttributeGrid();

} // namespace scribeline
