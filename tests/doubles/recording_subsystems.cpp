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
};

template <class Fake, class Interface>
SubsystemFactory<Interface> factory(SubsystemJournal& journal) {
    return [&journal](frmGE2Arc& window) -> std::unique_ptr<Interface> {
        return std::make_unique<Fake>(journal, window);
    };
}

} // namespace

Subsystems RecordingSubsystems(SubsystemJournal& journal) {
    Subsystems s;
    s.digitizingRun = factory<Run, IDigitizingRun>(journal);
    s.layerExport = factory<Export, ILayerExport>(journal);
    s.terrain = factory<Terrain, ITerrainCommands>(journal);
    s.viewSync = factory<Views, IViewSync>(journal);
    s.statusReports = factory<Status, IStatusReports>(journal);
    s.screenShots = factory<Shots, IScreenShots>(journal);
    s.attributeGrid = factory<Grid, IAttributeGrid>(journal);
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
