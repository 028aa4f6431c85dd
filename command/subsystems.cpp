#include "command/subsystems.hpp"

#include "attributes/attribute_grid.hpp"
#include "capture/ScreenShot.hpp"
#include "digitizing/basDigitizing.hpp"
#include "terrain/terrain_commands.hpp"
#include "views/GEStatus.hpp"
#include "views/view_sync.hpp"

namespace scribeline {

namespace {

[[noreturn]] void missing(const char* what) {
    throw NotAvailableError(std::string(what) + " is not available yet in this build.");
}

class NoDigitizingRun final : public IDigitizingRun {
public:
    void cmdBeginDigitalizing_Click() override { missing(kWhat); }
    void cmdDigitizePauseOrContinue_Click() override { missing(kWhat); }
    void cmdFinishCurrentFeatureAndCreateNewFeature_Click() override { missing(kWhat); }
    void FinishFeature() override { missing(kWhat); }
    void cmdEndDigitalizing_Click() override { missing(kWhat); }
    void AbortRun() override { missing(kWhat); }
    void timerDigitalizing_Timer() override { missing(kWhat); }
    void Command1_Click() override { missing(kWhat); }
    void Command2_Click() override { missing(kWhat); }

private:
    static constexpr const char* kWhat = "Digitizing on Google Earth";
};

class NoLayerExport final : public ILayerExport {
public:
    void cmdExportKML_Click() override { missing("Exporting a layer to Google Earth"); }
};

class NoTerrain final : public ITerrainCommands {
public:
    void cmdGetDEMDateFromGE_Click() override { missing("Getting DEM points from Google Earth"); }
    void cmdGetContourFromGE_Click() override { missing("Getting contours from Google Earth"); }
    void PreviewDEMResolution(int /*columns*/, int /*rows*/) override {
        missing("The DEM grid preview");
    }
};

class NoViewSync final : public IViewSync {
public:
    void cmdSetGEViewEx_Click() override { missing("Setting the Google Earth view"); }
    void cmdSetArcViewEx_Click() override { missing("Setting the ArcMap view"); }
};

class NoStatusReports final : public IStatusReports {
public:
    void ShowGEStatus() override { missing("The Google Earth status report"); }
    void GetArcStatus() override { missing("The ArcMap status report"); }
};

class NoScreenShots final : public IScreenShots {
public:
    void TakeScreenShot(int /*target*/) override { missing("Taking screen shots"); }
};

class NoAttributeGrid final : public IAttributeGrid {
public:
    void DefListViewHead() override { missing("The feature attribute grid"); }
    void imgDefProperty_Click() override { missing("The field definition dialog"); }
    void FillFromFields(const Fields& /*fields*/) override {
        missing("The feature attribute grid");
    }
    void StoreValues(IFeature& /*feature*/) override { missing("The feature attribute grid"); }
    [[nodiscard]] std::vector<UserDefinedField> UserDefinedFields() const override { return {}; }
};

} // namespace

std::unique_ptr<IDigitizingRun> MissingDigitizingRun() {
    return std::make_unique<NoDigitizingRun>();
}
std::unique_ptr<ILayerExport> MissingLayerExport() {
    return std::make_unique<NoLayerExport>();
}
std::unique_ptr<ITerrainCommands> MissingTerrain() {
    return std::make_unique<NoTerrain>();
}
std::unique_ptr<IViewSync> MissingViewSync() {
    return std::make_unique<NoViewSync>();
}
std::unique_ptr<IStatusReports> MissingStatusReports() {
    return std::make_unique<NoStatusReports>();
}
std::unique_ptr<IScreenShots> MissingScreenShots() {
    return std::make_unique<NoScreenShots>();
}
std::unique_ptr<IAttributeGrid> MissingAttributeGrid() {
    return std::make_unique<NoAttributeGrid>();
}

Subsystems DefaultSubsystems() {
    // Subsystems register here as they land.
    Subsystems subsystems;
    subsystems.digitizingRun = [](frmGE2Arc& window) -> std::unique_ptr<IDigitizingRun> {
        return std::make_unique<digitizing::DigitizingRun>(window);
    };
    subsystems.layerExport = [](frmGE2Arc& window) -> std::unique_ptr<ILayerExport> {
        return std::make_unique<digitizing::LayerExport>(window);
    };
    subsystems.attributeGrid = MakeAttributeGrid;
    subsystems.terrain = [](frmGE2Arc& window) -> std::unique_ptr<ITerrainCommands> {
        return std::make_unique<terrain::TerrainCommands>(window);
    };
    subsystems.viewSync = [](frmGE2Arc& window) -> std::unique_ptr<IViewSync> {
        return std::make_unique<views::ViewSync>(window);
    };
    subsystems.statusReports = [](frmGE2Arc& window) -> std::unique_ptr<IStatusReports> {
        return std::make_unique<views::StatusReports>(window);
    };
    subsystems.screenShots = [](frmGE2Arc& window) -> std::unique_ptr<IScreenShots> {
        return std::make_unique<capture::ScreenShots>(window);
    };
    return subsystems;
}

} // namespace scribeline
