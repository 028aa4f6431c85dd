// The target layer: target preparation, the feature under construction and its writing.
#include "digitizing/target_layer.hpp"

#include "digitizing/basDigitizing.hpp"
#include "digitizing/map_reference.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace scribeline::digitizing {

namespace {

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool sameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    const auto pa = std::filesystem::weakly_canonical(std::filesystem::path(a), ec);
    if (ec) {
        return false;
    }
    const auto pb = std::filesystem::weakly_canonical(std::filesystem::path(b), ec);
    if (ec) {
        return false;
    }
    // A folder ending with its separator canonicalises with an empty last part.
    auto strip = [](std::filesystem::path p) {
        std::string s = p.string();
        while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) {
            s.pop_back();
        }
        return s;
    };
    return strip(pa) == strip(pb);
}

int kindOfShapeType(GeometryType type) {
    switch (type) {
    case GeometryType::Point:
        return 0;
    case GeometryType::Polyline:
        return 1;
    case GeometryType::Polygon:
        return 2;
    default:
        return -1;
    }
}

} // namespace

TargetLayer::TargetLayer(const TargetLayerContext& context) : cx_(context) {}

std::string TargetLayer::LiveName() const {
    return cx_.state.kmlBaseName + std::to_string(runNumber_);
}

std::filesystem::path TargetLayer::LiveKmlPath() const {
    return std::filesystem::path(cx_.state.tempFolder + LiveName() + ".kml");
}

void TargetLayer::PrepareMap() {
    document_ = cx_.map.Document();
    if (!cx_.state.wgs84Set) {
        EnsureMapInWgs84(cx_.map, *document_);
        cx_.state.wgs84Set = true;
    }
}

void TargetLayer::PrepareLayer(int geometryKind) {
    cleanUpRunFiles();
    newLayer_ = cx_.ctl.optNewOrExistingLayer.Selected() == 0;
    if (newLayer_) {
        geometryKind_ = std::clamp(geometryKind, 0, 2);
        CreateFeaturelayer_AddFeatureClass();
        AlterSpatialReference();
    } else {
        openExistingLayer();
    }
}

int TargetLayer::PrepareTerrainTarget(int geometryKind) {
    PrepareMap();
    PrepareLayer(geometryKind);
    shape_ = Geometry::empty(geometryKind_ == 2 ? GeometryType::Polygon : GeometryType::Polyline);
    cx_.state.vertexCount = 0;
    return geometryKind_;
}

bool TargetLayer::runFilesInMap(const std::string& liveName) {
    const std::string wanted = lowered(liveName);
    for (const auto& layer : document_->FocusMap()->Layers()) {
        auto featureLayer = std::dynamic_pointer_cast<IFeatureLayer>(layer);
        auto featureClass = featureLayer ? featureLayer->FeatureClass() : nullptr;
        if (!featureClass || lowered(featureClass->AliasName()) != wanted) {
            continue;
        }
        auto workspace = featureClass->Workspace();
        if (workspace && sameFolder(workspace->PathName(), cx_.state.tempFolder)) {
            return true;
        }
    }
    return false;
}

void TargetLayer::cleanUpRunFiles() {
    // A layer of an earlier load may still show in the map: its files are not ours to delete,
    // so the run takes the next number whose files are free.
    do {
        ++runNumber_;
    } while (runFilesInMap(LiveName()));
    const std::string prefix = LiveName() + ".";
    std::error_code ec;
    std::vector<std::filesystem::path> doomed;
    for (const auto& entry : std::filesystem::directory_iterator(cx_.state.tempFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            entry.is_regular_file(ec)) {
            doomed.push_back(entry.path());
        }
    }
    for (const auto& path : doomed) {
        std::filesystem::remove(path, ec);
    }
}

std::shared_ptr<IFeatureClass> TargetLayer::CreateShape(const std::string& folder,
                                                        const std::string& name) {
    auto workspace = cx_.map.Factory().ShapefileWorkspaceFactory().OpenFromFile(folder);
    const Fields fields =
        NewLayerFields(cx_.state.runKey, ShapeTypeOfKind(geometryKind_),
                       cx_.options.Checked("saveDataIn3D"), cx_.grid.UserDefinedFields());
    if (newLayer_) {
        return workspace->CreateFeatureClass(name, fields, "Shape", "");
    }
    return workspace->OpenFeatureClass(name);
}

void TargetLayer::CreateFeaturelayer_AddFeatureClass() {
    targetClass_ = CreateShape(cx_.state.tempFolder, LiveName());
    document_ = cx_.map.Document();
    auto map = document_->FocusMap();
    targetLayer_ = cx_.map.Factory().CreateFeatureLayer();
    targetLayer_->SetFeatureClass(targetClass_);
    targetLayer_->SetName(targetClass_->AliasName());
    targetLayer_->SetSpatialReference(map->SpatialReference());
    map->AddLayer(targetLayer_);
    document_->ActiveView()->Refresh();
}

void TargetLayer::AlterSpatialReference() {
    auto map = document_->FocusMap();
    if (map->LayerCount() > 0) {
        auto layer = std::dynamic_pointer_cast<IFeatureLayer>(map->Layer(0));
        auto featureClass = layer ? layer->FeatureClass() : nullptr;
        if (featureClass) {
            try {
                auto reference = featureClass->SpatialReference();
                if (reference && reference->Name() == "Unknown" &&
                    featureClass->CanAlterSpatialReference()) {
                    featureClass->AlterSpatialReference(
                        cx_.map.Factory()
                            .SpatialReferenceFactory()
                            .CreateGeographicCoordinateSystem(kWgs84Code));
                }
            } catch (const PortError&) {
                // The schema refused: the layer keeps its reference.
            }
        }
    }
    document_->ActiveView()->Refresh();
}

void TargetLayer::openExistingLayer() {
    const std::string& name = cx_.ctl.cboSelectLayer.Text();
    targetLayer_.reset();
    targetClass_.reset();
    for (const auto& layer : document_->FocusMap()->Layers()) {
        if (layer->Kind() != LayerKind::Feature || layer->Name() != name) {
            continue;
        }
        auto featureLayer = std::dynamic_pointer_cast<IFeatureLayer>(layer);
        if (featureLayer && featureLayer->FeatureClass()) {
            targetLayer_ = featureLayer;
            targetClass_ = featureLayer->FeatureClass();
            break;
        }
    }
    if (!targetClass_) {
        throw std::runtime_error("The map has no feature layer named \"" + name + "\".");
    }
    // The layer decides what is digitized: an existing polygon layer receives polygons.
    const int kind = kindOfShapeType(targetClass_->ShapeType());
    if (kind < 0) {
        throw std::runtime_error("The layer \"" + name +
                                 "\" holds neither points, polylines nor polygons.");
    }
    geometryKind_ = kind;
    document_->ActiveView()->Refresh();
}

bool TargetLayer::StoreFeature() {
    const int n = shape_.PointCount();
    if (n < MinimumVertices(geometryKind_) || !targetClass_) {
        return false; // too few vertices: nothing stored, nothing reset
    }
    std::vector<Geometry> features;
    if (geometryKind_ == 0) {
        for (int i = 0; i < n; ++i) {
            const MapPoint& p = shape_.Point(i);
            features.push_back(Geometry::point(p.x, p.y, p.z));
        }
    } else if (geometryKind_ == 2) {
        Geometry ring = shape_;
        ring.type = GeometryType::Polygon;
        ring.AddPoint(shape_.Point(0));
        features.push_back(std::move(ring));
    } else {
        Geometry line = shape_;
        line.type = GeometryType::Polyline;
        features.push_back(std::move(line));
    }

    const Fields fields = targetClass_->GetFields();
    // Only a text field can take the run's name; a numeric first field keeps its value.
    const bool nameIsText = fields.FieldCount() > 2 && fields.GetField(2).type == FieldType::String;
    const bool altitudeIsNumber =
        fields.FieldCount() > 3 && (fields.GetField(3).type == FieldType::Single ||
                                    fields.GetField(3).type == FieldType::Double ||
                                    fields.GetField(3).type == FieldType::SmallInteger ||
                                    fields.GetField(3).type == FieldType::Integer);
    const bool in3D = cx_.options.Checked("saveDataIn3D");
    const bool altitudeToField = geometryKind_ == 0 &&
                                 cx_.options.Checked("SaveAltitude2TableField") &&
                                 cx_.state.runKey == "dem";
    const bool fromGrid = cx_.ctl.frameProperty.Visible();

    for (Geometry& geometry : features) {
        auto feature = targetClass_->CreateFeature();
        geometry.zAware = in3D;
        feature->SetShape(geometry);
        if (altitudeToField) {
            if (nameIsText) {
                feature->SetValue(2, std::string("dem"));
            }
            if (altitudeIsNumber) {
                feature->SetValue(3, geometry.Point(0).z);
            }
        }
        if (fromGrid) {
            cx_.grid.StoreValues(*feature);
        } else if (nameIsText) {
            feature->SetValue(2, std::string("scribeline"));
        }
        feature->Store();
    }

    return true;
}

void TargetLayer::ClearFeature() {
    shape_.parts.clear();
    cx_.state.vertexCount = 0;
}

void TargetLayer::FinishFeature() {
    if (StoreFeature()) {
        ClearFeature();
    }
}

void TargetLayer::FillLayerList() {
    scribeline::FillLayerList(cx_.ctl.cboSelectLayer, *cx_.map.Document()->FocusMap());
}

} // namespace scribeline::digitizing
