// A small stand-in for the map host: an application with a main window on the desktop, a
// document, a focus map with layers (feature, group and other layers), and feature classes
// that report a shape type, feature type, z-awareness and a feature count. What the window and
// the command never ask for raises PortError, so a test notices when that changes.
#pragma once

#include "command/map_port.hpp"
#include "platform/desktop.hpp"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace scribeline::testing {

class FakeFeatureClass final : public IFeatureClass {
public:
    FakeFeatureClass(GeometryType shape, std::int64_t count, bool hasZ = false,
                     int featureType = kFeatureTypeSimple)
        : shape_(shape), count_(count), hasZ_(hasZ), featureType_(featureType) {}
    [[nodiscard]] std::string AliasName() const override { return "fake"; }
    [[nodiscard]] GeometryType ShapeType() const override { return shape_; }
    [[nodiscard]] int FeatureType() const override { return featureType_; }
    [[nodiscard]] bool HasZ() const override { return hasZ_; }
    [[nodiscard]] Fields GetFields() const override;
    std::int64_t FeatureCount(const QueryFilter* filter) override;
    std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool recycling) override;
    std::shared_ptr<IFeature> CreateFeature() override;
    std::shared_ptr<ISpatialReference> SpatialReference() override;
    bool CanAlterSpatialReference() override { return false; }
    void AlterSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override;
    std::shared_ptr<IWorkspace> Workspace() override;

    bool failCount = false;
    // The filters FeatureCount was given: null or their where clauses.
    std::vector<std::string> countFilters;

private:
    GeometryType shape_;
    std::int64_t count_;
    bool hasZ_;
    int featureType_;
};

class FakeFeatureLayer final : public IFeatureLayer {
public:
    FakeFeatureLayer(std::string name, std::shared_ptr<IFeatureClass> featureClass)
        : name_(std::move(name)), class_(std::move(featureClass)) {}
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Feature; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return nullptr; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>&) override {}
    std::shared_ptr<IFeatureClass> FeatureClass() override { return class_; }
    void SetFeatureClass(const std::shared_ptr<IFeatureClass>& c) override { class_ = c; }
    [[nodiscard]] std::string DefinitionExpression() const override { return {}; }
    void SetDefinitionExpression(const std::string&) override {}
    std::shared_ptr<ISelectionSet> SelectionSet() override;

private:
    std::string name_;
    std::shared_ptr<IFeatureClass> class_;
};

// A layer that is neither a feature nor a group layer (a raster, say).
class FakeOtherLayer final : public ILayer {
public:
    explicit FakeOtherLayer(std::string name) : name_(std::move(name)) {}
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Other; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return nullptr; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>&) override {}

private:
    std::string name_;
};

class FakeGroupLayer final : public IGroupLayer {
public:
    explicit FakeGroupLayer(std::string name) : name_(std::move(name)) {}
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Group; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return nullptr; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>&) override {}
    std::vector<std::shared_ptr<ILayer>> Layers() override { return members_; }
    void Add(const std::shared_ptr<ILayer>& layer) override { members_.push_back(layer); }

private:
    std::string name_;
    std::vector<std::shared_ptr<ILayer>> members_;
};

class FakeMap final : public IMap {
public:
    int LayerCount() override;
    std::shared_ptr<ILayer> Layer(int index) override;
    std::vector<std::shared_ptr<ILayer>> Layers() override;
    std::int64_t SelectionCount() override;
    void AddLayer(const std::shared_ptr<ILayer>& layer) override;
    std::shared_ptr<ISpatialReference> SpatialReference() override { return nullptr; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>&) override;
    int MapUnits() override { return 11; }
    int DistanceUnits() override { return 9; }
    void SetDistanceUnits(int) override;

    std::vector<std::shared_ptr<ILayer>> layers; // top level, layer 0 first
    std::int64_t selectionCount = 0;
    bool fail = false;
};

class FakeMxDocument final : public IMxDocument {
public:
    std::shared_ptr<IMap> FocusMap() override;
    std::shared_ptr<IActiveView> ActiveView() override;
    bool ActiveViewIsPageLayout() override;

    std::shared_ptr<FakeMap> map = std::make_shared<FakeMap>();
    bool pageLayout = false;
    bool fail = false;
};

class FakeMapApplication final : public IMapApplication {
public:
    // Creates the host's main window at `mainRect` (screen pixels).
    explicit FakeMapApplication(IDesktop& desktop, Rect mainRect = {0, 0, 1280, 1024});
    ~FakeMapApplication() override;
    std::shared_ptr<IMxDocument> Document() override;
    WindowHandle hWnd() override { return mainWindow; }
    std::shared_ptr<IEditor> FindExtensionByCLSID(const std::string& clsid) override;
    int ProductCode() override { return 300; }
    IStepProgressor& StepProgressor() override;
    IMapObjectFactory& Factory() override;

    IDesktop& desktop;
    WindowHandle mainWindow = kNoWindow;
    std::shared_ptr<FakeMxDocument> document = std::make_shared<FakeMxDocument>();
    bool failDocument = false;

private:
    IWindowHandler handler_;
};

// Adds a feature layer of `shape` with `count` features to the top of the map's layer list.
std::shared_ptr<FakeFeatureLayer> AddFeatureLayer(FakeMap& map, const std::string& name,
                                                  GeometryType shape, std::int64_t count,
                                                  bool hasZ = false,
                                                  int featureType = kFeatureTypeSimple);

} // namespace scribeline::testing
