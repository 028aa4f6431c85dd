// The target layer of the digitizer: the layer a digitizing run or a terrain command writes
// into (a new shapefile layer in the user's temporary folder, named after the run, or an
// existing feature layer of the map), the feature under construction and its writing, and
// the layer list of cboSelectLayer. One object lives per load of the window, which owns it;
// the context's references outlive it.
//
// Failures: nothing here traps a failure; a failing map host call ends the action under way.
#pragma once

#include "command/subsystems.hpp"

#include <filesystem>
#include <memory>
#include <string>

namespace scribeline::digitizing {

class TargetLayer final : public ITargetLayer {
public:
    explicit TargetLayer(const TargetLayerContext& context);

    // ---- ITargetLayer ----
    void PrepareMap() override;
    void PrepareLayer(int geometryKind) override;
    int PrepareTerrainTarget(int geometryKind) override;
    [[nodiscard]] int GeometryKind() const override { return geometryKind_; }
    void SetGeometryKind(int geometryKind) override { geometryKind_ = geometryKind; }
    [[nodiscard]] Geometry& FeatureUnderConstruction() override { return shape_; }
    bool StoreFeature() override;
    void ClearFeature() override;
    void FinishFeature() override;
    [[nodiscard]] std::shared_ptr<IFeatureClass> TargetFeatureClass() const override {
        return targetClass_;
    }
    [[nodiscard]] std::shared_ptr<IFeatureLayer> TargetFeatureLayer() const override {
        return targetLayer_;
    }
    [[nodiscard]] std::shared_ptr<IMxDocument> Document() const override { return document_; }
    [[nodiscard]] int RunNumber() const override { return runNumber_; }
    void FillLayerList() override;
    [[nodiscard]] std::string LiveName() const override;
    [[nodiscard]] std::filesystem::path LiveKmlPath() const override;

private:
    void CreateFeaturelayer_AddFeatureClass();
    std::shared_ptr<IFeatureClass> CreateShape(const std::string& folder, const std::string& name);
    void AlterSpatialReference();
    void openExistingLayer();
    void cleanUpRunFiles();
    [[nodiscard]] bool runFilesInMap(const std::string& liveName);

    TargetLayerContext cx_;
    int geometryKind_ = 1;
    bool newLayer_ = true;
    int runNumber_ = 0;
    Geometry shape_ = Geometry::empty(GeometryType::Polyline);
    std::shared_ptr<IMxDocument> document_;
    std::shared_ptr<IFeatureLayer> targetLayer_;
    std::shared_ptr<IFeatureClass> targetClass_;
};

} // namespace scribeline::digitizing
