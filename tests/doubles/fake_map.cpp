#include "tests/doubles/fake_map.hpp"

#include <algorithm>

namespace scribeline::testing {

namespace {

[[noreturn]] void unsupported(const char* operation) {
    throw PortError(operation, "not offered by the test map host");
}

void collect(const std::shared_ptr<ILayer>& layer, std::vector<std::shared_ptr<ILayer>>& out) {
    out.push_back(layer);
    if (layer->Kind() == LayerKind::Group) {
        if (auto group = std::dynamic_pointer_cast<IGroupLayer>(layer)) {
            for (const auto& member : group->Layers()) {
                collect(member, out);
            }
        }
    }
}

} // namespace

Fields FakeFeatureClass::GetFields() const {
    return {};
}

std::int64_t FakeFeatureClass::FeatureCount(const QueryFilter* filter) {
    if (failCount) {
        unsupported("FeatureCount");
    }
    countFilters.push_back(filter == nullptr ? "null" : filter->WhereClause);
    return count_;
}

std::unique_ptr<IFeatureCursor> FakeFeatureClass::Search(const QueryFilter*, bool) {
    unsupported("Search");
}
std::shared_ptr<IFeature> FakeFeatureClass::CreateFeature() {
    unsupported("CreateFeature");
}
std::shared_ptr<ISpatialReference> FakeFeatureClass::SpatialReference() {
    unsupported("SpatialReference");
}
void FakeFeatureClass::AlterSpatialReference(const std::shared_ptr<ISpatialReference>&) {
    unsupported("AlterSpatialReference");
}
std::shared_ptr<IWorkspace> FakeFeatureClass::Workspace() {
    unsupported("Workspace");
}

std::shared_ptr<ISelectionSet> FakeFeatureLayer::SelectionSet() {
    unsupported("SelectionSet");
}

int FakeMap::LayerCount() {
    if (fail) {
        unsupported("LayerCount");
    }
    return static_cast<int>(layers.size());
}

std::shared_ptr<ILayer> FakeMap::Layer(int index) {
    return layers.at(static_cast<std::size_t>(index));
}

std::vector<std::shared_ptr<ILayer>> FakeMap::Layers() {
    if (fail) {
        unsupported("Layers");
    }
    std::vector<std::shared_ptr<ILayer>> all;
    for (const auto& layer : layers) {
        collect(layer, all);
    }
    return all;
}

std::int64_t FakeMap::SelectionCount() {
    if (fail) {
        unsupported("SelectionCount");
    }
    return selectionCount;
}

void FakeMap::AddLayer(const std::shared_ptr<ILayer>& layer) {
    // The added layer becomes layer 0.
    layers.push_back(layer);
    std::rotate(layers.rbegin(), layers.rbegin() + 1, layers.rend());
}

void FakeMap::SetSpatialReference(const std::shared_ptr<ISpatialReference>&) {
    unsupported("SetSpatialReference");
}

void FakeMap::SetDistanceUnits(int) {
    unsupported("SetDistanceUnits");
}

std::shared_ptr<IMap> FakeMxDocument::FocusMap() {
    if (fail) {
        unsupported("FocusMap");
    }
    return map;
}

std::shared_ptr<IActiveView> FakeMxDocument::ActiveView() {
    unsupported("ActiveView");
}

bool FakeMxDocument::ActiveViewIsPageLayout() {
    if (fail) {
        unsupported("ActiveViewIsPageLayout");
    }
    return pageLayout;
}

FakeMapApplication::FakeMapApplication(IDesktop& d, Rect mainRect) : desktop(d) {
    WindowSpec params;
    params.className = "FakeMapHostMain";
    params.title = "ArcMap";
    params.rect = mainRect;
    mainWindow = desktop.CreateWindow(params, &handler_);
}

FakeMapApplication::~FakeMapApplication() {
    if (desktop.IsWindow(mainWindow)) {
        desktop.DestroyWindow(mainWindow);
    }
}

std::shared_ptr<IMxDocument> FakeMapApplication::Document() {
    if (failDocument) {
        unsupported("Document");
    }
    return document;
}

std::shared_ptr<IEditor> FakeMapApplication::FindExtensionByCLSID(const std::string&) {
    return nullptr;
}

IStepProgressor& FakeMapApplication::StepProgressor() {
    unsupported("StepProgressor");
}

IMapObjectFactory& FakeMapApplication::Factory() {
    unsupported("Factory");
}

std::shared_ptr<FakeFeatureLayer> AddFeatureLayer(FakeMap& map, const std::string& name,
                                                  GeometryType shape, std::int64_t count, bool hasZ,
                                                  int featureType) {
    auto layer = std::make_shared<FakeFeatureLayer>(
        name, std::make_shared<FakeFeatureClass>(shape, count, hasZ, featureType));
    map.AddLayer(layer);
    return layer;
}

} // namespace scribeline::testing
