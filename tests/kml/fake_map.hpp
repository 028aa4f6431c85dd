// A map host double for the export tests: layers in memory, a where clause that selects
// features by tag, a "projection" that divides metres by 1000, and rings classified by
// orientation (clockwise = exterior, as the host stores them).
#pragma once

#include "command/map_port.hpp"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace scribeline::testing {

inline constexpr int kFakeMetresCode = 3857;

class FakeReference final : public ISpatialReference {
public:
    FakeReference(std::string name, int code) : name_(std::move(name)), code_(code) {}
    [[nodiscard]] std::string Name() const override { return name_; }
    [[nodiscard]] int FactoryCode() const override { return code_; }
    [[nodiscard]] bool IsEqual(const ISpatialReference& other) const override {
        return code_ != 0 && code_ == other.FactoryCode();
    }
    void SetFalseOriginAndUnits(double falseX, double falseY, double xyUnits) override {
        origin = {falseX, falseY, xyUnits};
    }
    std::vector<double> origin;

private:
    std::string name_;
    int code_;
};

inline std::shared_ptr<FakeReference> Wgs84() {
    return std::make_shared<FakeReference>("GCS_WGS_1984", 4326);
}
inline std::shared_ptr<FakeReference> Metres() {
    return std::make_shared<FakeReference>("WGS_1984_Web_Mercator", kFakeMetresCode);
}

class FakeReferenceFactory final : public ISpatialReferenceFactory {
public:
    std::shared_ptr<ISpatialReference> CreateGeographicCoordinateSystem(int code) override {
        auto r = std::make_shared<FakeReference>(code == 4326 ? "GCS_WGS_1984" : "GCS", code);
        created.push_back(r);
        return r;
    }
    std::shared_ptr<ISpatialReference> CreateProjectedCoordinateSystem(int code) override {
        return std::make_shared<FakeReference>("PCS", code);
    }
    std::shared_ptr<ISpatialReference> CreateUnknownCoordinateSystem() override {
        return std::make_shared<FakeReference>("Unknown", 0);
    }
    std::vector<std::shared_ptr<FakeReference>> created;
};

inline double SignedArea(const std::vector<MapPoint>& ring) {
    double twice = 0.0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        twice += ring[i].x * ring[i + 1].y - ring[i + 1].x * ring[i].y;
    }
    return twice / 2.0;
}

class FakeEngine final : public IGeometryEngine {
public:
    double Length(const Geometry&) override { return 0.0; }
    double Area(const Geometry&) override { return 0.0; }
    Geometry Project(const Geometry& geometry, const ISpatialReference& target) override {
        ++projections;
        projectedFrom.push_back(geometry.spatialReference ? geometry.spatialReference->FactoryCode()
                                                          : -1);
        Geometry out = geometry;
        for (auto& part : out.parts) {
            for (auto& p : part) {
                p.x /= 1000.0;
                p.y /= 1000.0;
            }
        }
        out.spatialReference = std::make_shared<FakeReference>(target.Name(), target.FactoryCode());
        return out;
    }
    Geometry Simplify(const Geometry& geometry) override {
        ++simplifications;
        return geometry;
    }
    std::vector<std::vector<MapPoint>> ExteriorRings(const Geometry& polygon) override {
        std::vector<std::vector<MapPoint>> out;
        for (const auto& part : polygon.parts) {
            if (SignedArea(part) < 0.0) {
                out.push_back(part);
            }
        }
        return out;
    }
    // The counter-clockwise rings that follow exterior ring `exteriorIndex`.
    std::vector<std::vector<MapPoint>> InteriorRings(const Geometry& polygon,
                                                     int exteriorIndex) override {
        std::vector<std::vector<MapPoint>> out;
        int exterior = -1;
        for (const auto& part : polygon.parts) {
            if (SignedArea(part) < 0.0) {
                ++exterior;
            } else if (exterior == exteriorIndex) {
                out.push_back(part);
            }
        }
        return out;
    }
    std::vector<Segment> Segments(const std::vector<MapPoint>& pathOrRing) override {
        std::vector<Segment> out;
        for (std::size_t i = 0; i + 1 < pathOrRing.size(); ++i) {
            out.push_back({pathOrRing[i], pathOrRing[i + 1]});
        }
        return out;
    }
    int projections = 0;
    int simplifications = 0;
    std::vector<int> projectedFrom;
};

class FakeFeature final : public IFeature {
public:
    FakeFeature(std::int64_t oid, Geometry shape, std::string whereTag)
        : oid_(oid), shape_(std::move(shape)), tag(std::move(whereTag)) {}
    [[nodiscard]] std::int64_t OID() const override { return oid_; }
    [[nodiscard]] Geometry Shape() const override { return shape_; }
    void SetShape(const Geometry& shape) override { shape_ = shape; }
    [[nodiscard]] FieldValue Value(int) const override { return {}; }
    void SetValue(int, const FieldValue&) override {}
    [[nodiscard]] Fields GetFields() const override { return {}; }
    void Store() override {}

private:
    std::int64_t oid_;
    Geometry shape_;

public:
    std::string tag; // what a where clause matches
};

using FeatureList = std::vector<std::shared_ptr<FakeFeature>>;

// A where clause selects the features whose tag equals it; empty selects all.
inline FeatureList Filtered(const FeatureList& features, const QueryFilter* filter) {
    FeatureList out;
    for (const auto& f : features) {
        if (filter == nullptr || filter->WhereClause.empty() || filter->WhereClause == f->tag) {
            out.push_back(f);
        }
    }
    return out;
}

class FakeCursor final : public IFeatureCursor {
public:
    explicit FakeCursor(FeatureList features) : features_(std::move(features)) {}
    std::shared_ptr<IFeature> NextFeature() override {
        return next_ < features_.size() ? features_[next_++] : nullptr;
    }

private:
    FeatureList features_;
    std::size_t next_ = 0;
};

class FakeFeatureClass final : public IFeatureClass {
public:
    explicit FakeFeatureClass(GeometryType type) : type_(type) {}
    [[nodiscard]] std::string AliasName() const override { return "fake"; }
    [[nodiscard]] GeometryType ShapeType() const override { return type_; }
    [[nodiscard]] int FeatureType() const override { return kFeatureTypeSimple; }
    [[nodiscard]] bool HasZ() const override { return false; }
    [[nodiscard]] Fields GetFields() const override { return {}; }
    std::int64_t FeatureCount(const QueryFilter* filter) override {
        ++featureCounts;
        return static_cast<std::int64_t>(Filtered(features, filter).size());
    }
    std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool) override {
        searchedWith.push_back(filter ? filter->WhereClause : "<null>");
        return std::make_unique<FakeCursor>(Filtered(features, filter));
    }
    std::shared_ptr<IFeature> CreateFeature() override { return nullptr; }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return nullptr; }
    bool CanAlterSpatialReference() override { return false; }
    void AlterSpatialReference(const std::shared_ptr<ISpatialReference>&) override {}
    std::shared_ptr<IWorkspace> Workspace() override { return nullptr; }

    FeatureList features;
    int featureCounts = 0;
    std::vector<std::string> searchedWith;

private:
    GeometryType type_;
};

class FakeSelection final : public ISelectionSet {
public:
    std::int64_t Count() override { return static_cast<std::int64_t>(features.size()); }
    std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool) override {
        searchedWith.push_back(filter ? filter->WhereClause : "<null>");
        return std::make_unique<FakeCursor>(Filtered(features, filter));
    }
    FeatureList features;
    std::vector<std::string> searchedWith;
};

class FakeFeatureLayer final : public IFeatureLayer {
public:
    FakeFeatureLayer(std::string name, std::shared_ptr<ISpatialReference> reference,
                     std::shared_ptr<FakeFeatureClass> featureClass)
        : name_(std::move(name)), reference_(std::move(reference)),
          class_(std::move(featureClass)) {}
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Feature; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return reference_; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& r) override {
        reference_ = r;
    }
    std::shared_ptr<IFeatureClass> FeatureClass() override { return class_; }
    void SetFeatureClass(const std::shared_ptr<IFeatureClass>&) override {}
    [[nodiscard]] std::string DefinitionExpression() const override { return definition; }
    void SetDefinitionExpression(const std::string& e) override { definition = e; }
    std::shared_ptr<ISelectionSet> SelectionSet() override { return selection; }

    std::string definition;
    std::shared_ptr<FakeSelection> selection = std::make_shared<FakeSelection>();

private:
    std::string name_;
    std::shared_ptr<ISpatialReference> reference_;
    std::shared_ptr<FakeFeatureClass> class_;
};

class FakeGroupLayer final : public IGroupLayer {
public:
    explicit FakeGroupLayer(std::string name) : name_(std::move(name)) {}
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Group; }
    [[nodiscard]] std::string Name() const override { return name_; }
    void SetName(const std::string& name) override { name_ = name; }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return Wgs84(); }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>&) override {}
    std::vector<std::shared_ptr<ILayer>> Layers() override { return members; }
    void Add(const std::shared_ptr<ILayer>& layer) override { members.push_back(layer); }
    std::vector<std::shared_ptr<ILayer>> members;

private:
    std::string name_;
};

class FakeMap final : public IMap {
public:
    int LayerCount() override { return static_cast<int>(layers.size()); }
    std::shared_ptr<ILayer> Layer(int index) override {
        return layers.at(static_cast<std::size_t>(index));
    }
    // A group, then its members, depth first.
    std::vector<std::shared_ptr<ILayer>> Layers() override {
        std::vector<std::shared_ptr<ILayer>> out;
        for (const auto& l : layers) {
            collect(l, out);
        }
        return out;
    }
    std::int64_t SelectionCount() override { return 0; }
    void AddLayer(const std::shared_ptr<ILayer>& layer) override {
        layers.push_back(layer); // then moved to the front: the added layer is layer 0
        std::rotate(layers.rbegin(), layers.rbegin() + 1, layers.rend());
    }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return nullptr; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>&) override {}
    int MapUnits() override { return 11; }
    int DistanceUnits() override { return 9; }
    void SetDistanceUnits(int) override {}

    std::vector<std::shared_ptr<ILayer>> layers;

private:
    static void collect(const std::shared_ptr<ILayer>& layer,
                        std::vector<std::shared_ptr<ILayer>>& out) {
        out.push_back(layer);
        if (auto group = std::dynamic_pointer_cast<IGroupLayer>(layer)) {
            for (const auto& m : group->Layers()) {
                collect(m, out);
            }
        }
    }
};

class FakeProgress final : public IStepProgressor {
public:
    void Show() override { calls.emplace_back("Show"); }
    void SetPosition(int position) override {
        calls.push_back("SetPosition " + std::to_string(position));
    }
    void Step() override { calls.emplace_back("Step"); }
    void Hide() override { calls.emplace_back("Hide"); }
    std::vector<std::string> calls;
};

class FakeMapFactory final : public IMapObjectFactory {
public:
    std::shared_ptr<IFeatureLayer> CreateFeatureLayer() override { return nullptr; }
    ISpatialReferenceFactory& SpatialReferenceFactory() override { return references; }
    IShapefileWorkspaceFactory& ShapefileWorkspaceFactory() override {
        throw std::logic_error("the export needs no workspaces");
    }
    IGeometryEngine& GeometryEngine() override { return engine; }
    FakeReferenceFactory references;
    FakeEngine engine;
};

} // namespace scribeline::testing
