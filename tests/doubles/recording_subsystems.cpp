#include "tests/doubles/recording_subsystems.hpp"

#include <algorithm>

namespace scribeline::testing {

int SubsystemJournal::count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

namespace {

class Recorder {
public:
    Recorder(SubsystemJournal& journal, frmGE2Arc& window) : journal_(journal), window_(window) {}
    void record(const std::string& call) {
        journal_.calls.push_back(call);
        auto it = journal_.behaviour.find(call);
        if (it != journal_.behaviour.end() && it->second) {
            // Copied: a behaviour may replace itself.
            auto behaviour = it->second;
            behaviour(window_);
        }
    }

private:
    SubsystemJournal& journal_;
    frmGE2Arc& window_;
};

class Run final : public IDigitizingRun, Recorder {
public:
    using Recorder::Recorder;
    void cmdBeginDigitalizing_Click() override { record("cmdBeginDigitalizing_Click"); }
    void cmdDigitizePauseOrContinue_Click() override { record("cmdDigitizePauseOrContinue_Click"); }
    void cmdFinishCurrentFeatureAndCreateNewFeature_Click() override {
        record("cmdFinishCurrentFeatureAndCreateNewFeature_Click");
    }
    void FinishFeature() override { record("FinishFeature"); }
    void cmdEndDigitalizing_Click() override { record("cmdEndDigitalizing_Click"); }
    void AbortRun() override { record("AbortRun"); }
    void timerDigitalizing_Timer() override { record("timerDigitalizing_Timer"); }
    void Command1_Click() override { record("Command1_Click"); }
    void Command2_Click() override { record("Command2_Click"); }
    void optGeometryType_Click(int index) override {
        record("optGeometryType_Click(" + std::to_string(index) + ")");
    }
    void optNewOrExistingLayer_Click(int index) override {
        record("optNewOrExistingLayer_Click(" + std::to_string(index) + ")");
    }
    void cboSelectLayer_Click() override { record("cboSelectLayer_Click"); }
};

class Export final : public ILayerExport, Recorder {
public:
    using Recorder::Recorder;
    void cmdExportKML_Click() override { record("cmdExportKML_Click"); }
};

class Terrain final : public ITerrainCommands, Recorder {
public:
    using Recorder::Recorder;
    void cmdGetDEMDateFromGE_Click() override { record("cmdGetDEMDateFromGE_Click"); }
    void cmdGetContourFromGE_Click() override { record("cmdGetContourFromGE_Click"); }
    void PreviewDEMResolution(int columns, int rows) override {
        record("PreviewDEMResolution(" + std::to_string(columns) + "," + std::to_string(rows) +
               ")");
    }
};

class Views final : public IViewSync, Recorder {
public:
    using Recorder::Recorder;
    void cmdSetGEViewEx_Click() override { record("cmdSetGEViewEx_Click"); }
    void cmdSetArcViewEx_Click() override { record("cmdSetArcViewEx_Click"); }
};

class Status final : public IStatusReports, Recorder {
public:
    using Recorder::Recorder;
    void ShowGEStatus() override { record("ShowGEStatus"); }
    void GetArcStatus() override { record("GetArcStatus"); }
};

class Shots final : public IScreenShots, Recorder {
public:
    using Recorder::Recorder;
    void TakeScreenShot(int target) override {
        record("TakeScreenShot(" + std::to_string(target) + ")");
    }
};

class Grid final : public IAttributeGrid, Recorder {
public:
    using Recorder::Recorder;
    void DefListViewHead() override { record("DefListViewHead"); }
    void imgDefProperty_Click() override { record("imgDefProperty_Click"); }
    void FillFromFields(const Fields& /*fields*/) override { record("FillFromFields"); }
    void StoreValues(IFeature& /*feature*/) override { record("StoreValues"); }
    [[nodiscard]] std::vector<UserDefinedField> UserDefinedFields() const override { return {}; }
};

// The window calls no target handler; the recording run and terrain commands never ask it.
class Target final : public ITargetLayer {
public:
    void PrepareMap() override {}
    void PrepareLayer(int /*geometryKind*/) override {}
    int PrepareTerrainTarget(int geometryKind) override { return geometryKind; }
    [[nodiscard]] int GeometryKind() const override { return 1; }
    void SetGeometryKind(int /*geometryKind*/) override {}
    [[nodiscard]] Geometry& FeatureUnderConstruction() override { return shape_; }
    bool StoreFeature() override { return false; }
    void ClearFeature() override {}
    void FinishFeature() override {}
    [[nodiscard]] std::shared_ptr<IFeatureClass> TargetFeatureClass() const override {
        return nullptr;
    }
    [[nodiscard]] std::shared_ptr<IFeatureLayer> TargetFeatureLayer() const override {
        return nullptr;
    }
    [[nodiscard]] std::shared_ptr<IMxDocument> Document() const override { return nullptr; }
    [[nodiscard]] int RunNumber() const override { return 0; }
    [[nodiscard]] std::string LiveName() const override { return {}; }
    [[nodiscard]] std::filesystem::path LiveKmlPath() const override { return {}; }
    void FillLayerList() override {}

private:
    Geometry shape_ = Geometry::empty(GeometryType::Polyline);
};

// The recorders hand the behaviours the window itself, which the context lends as its
// procedures.
template <class Fake, class Interface, class Context>
SubsystemFactory<Interface, Context> factory(SubsystemJournal& journal) {
    return [&journal](const Context& context) -> std::unique_ptr<Interface> {
        return std::make_unique<Fake>(journal, dynamic_cast<frmGE2Arc&>(context.window));
    };
}

} // namespace

Subsystems RecordingSubsystems(SubsystemJournal& journal) {
    Subsystems s;
    s.digitizingRun = factory<Run, IDigitizingRun, DigitizingRunContext>(journal);
    s.layerExport = factory<Export, ILayerExport, LayerExportContext>(journal);
    s.terrain = factory<Terrain, ITerrainCommands, TerrainContext>(journal);
    s.viewSync = factory<Views, IViewSync, ViewsContext>(journal);
    s.statusReports = factory<Status, IStatusReports, ViewsContext>(journal);
    s.screenShots = factory<Shots, IScreenShots, ScreenShotContext>(journal);
    s.attributeGrid = factory<Grid, IAttributeGrid, AttributeGridContext>(journal);
    s.targetLayer = [](const TargetLayerContext& /*context*/) -> std::unique_ptr<ITargetLayer> {
        return std::make_unique<Target>();
    };
    return s;
}

void ActLikeARun(SubsystemJournal& journal) {
    journal.behaviour["cmdBeginDigitalizing_Click"] = [](frmGE2Arc& w) {
        w.state.digitizingActive = true;
    };
    journal.behaviour["cmdEndDigitalizing_Click"] = [](frmGE2Arc& w) {
        w.state.digitizingActive = false;
    };
    journal.behaviour["AbortRun"] = [](frmGE2Arc& w) { w.state.digitizingActive = false; };
}

} // namespace scribeline::testing
