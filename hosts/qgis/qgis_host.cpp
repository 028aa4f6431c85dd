// The QGIS host's application, map and layers, views, editor and progressor.
#include "hosts/qgis/qgis_internal.hpp"

#include <QCoreApplication>
#include <QMainWindow>
#include <QPainter>
#include <QStatusBar>
#include <QThread>

#include <qgslayertree.h>
#include <qgslayertreelayer.h>
#include <qgsmaptopixel.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayereditbuffer.h>

#include <cpl_error.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace scribeline::qgis {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

QColor colour(Colour c) {
    // Host colours are 0x00BBGGRR.
    return QColor(static_cast<int>(c & 0xFFU), static_cast<int>((c >> 8U) & 0xFFU),
                  static_cast<int>((c >> 16U) & 0xFFU));
}

bool finite(const Envelope& e) {
    return std::isfinite(e.XMin) && std::isfinite(e.YMin) && std::isfinite(e.XMax) &&
           std::isfinite(e.YMax);
}

// Collects what GDAL reports as failures while it lives; QGIS does not always pass a failed
// write on (a shapefile that could not grow is committed "successfully").
class GdalFailures {
public:
    GdalFailures() { CPLPushErrorHandlerEx(&GdalFailures::collect, &messages_); }
    ~GdalFailures() { CPLPopErrorHandler(); }
    GdalFailures(const GdalFailures&) = delete;
    GdalFailures& operator=(const GdalFailures&) = delete;
    [[nodiscard]] std::string Text() const {
        std::string out;
        for (const auto& m : messages_) {
            out += (out.empty() ? "" : "; ") + m;
        }
        return out;
    }

private:
    static void CPL_STDCALL collect(CPLErr level, CPLErrorNum /*number*/, const char* message) {
        if (level >= CE_Failure) {
            static_cast<std::vector<std::string>*>(CPLGetErrorHandlerUserData())
                ->emplace_back(message != nullptr ? message : "");
        }
    }
    std::vector<std::string> messages_;
};

void checkBounds(const Envelope& e, const std::string& operation) {
    if (!finite(e) || e.XMax < e.XMin || e.YMax < e.YMin ||
        (e.XMax == e.XMin && e.YMax == e.YMin)) {
        throw PortError(operation, "the extent is empty, inverted or not finite");
    }
}

// ---- layers ------------------------------------------------------------------------------------

class SelectionSet final : public ISelectionSet {
public:
    explicit SelectionSet(std::shared_ptr<FeatureClass> featureClass)
        : class_(std::move(featureClass)) {}
    std::int64_t Count() override { return class_->Layer("SelectionSet").selectedFeatureCount(); }
    std::unique_ptr<IFeatureCursor> Search(const QueryFilter* filter, bool /*recycling*/) override {
        QgsVectorLayer& layer = class_->Layer("SelectionSet");
        QgsFeatureRequest request;
        request.setFilterFids(layer.selectedFeatureIds());
        auto features = class_->Features(filter != nullptr ? filter->WhereClause : std::string{},
                                         request, "SelectionSet");
        class Cursor final : public IFeatureCursor {
        public:
            explicit Cursor(std::vector<std::shared_ptr<IFeature>> f) : f_(std::move(f)) {}
            std::shared_ptr<IFeature> NextFeature() override {
                return next_ < f_.size() ? f_[next_++] : nullptr;
            }

        private:
            std::vector<std::shared_ptr<IFeature>> f_;
            std::size_t next_ = 0;
        };
        return std::make_unique<Cursor>(std::move(features));
    }

private:
    std::shared_ptr<FeatureClass> class_;
};

} // namespace

class FeatureLayer final : public IFeatureLayer {
public:
    explicit FeatureLayer(std::shared_ptr<State> state) : state_(std::move(state)) {}

    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Feature; }
    [[nodiscard]] std::string Name() const override {
        if (class_) {
            if (QgsVectorLayer* layer = class_->LayerOrNull()) {
                return Text(layer->name());
            }
        }
        return name_;
    }
    void SetName(const std::string& name) override {
        name_ = name;
        if (class_) {
            class_->Layer("SetName").setName(Qt(name));
        }
    }
    std::shared_ptr<ISpatialReference> SpatialReference() override {
        return class_ ? class_->SpatialReference() : display_;
    }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override {
        display_ = reference; // QGIS reprojects on the fly; the data keep theirs
    }
    std::shared_ptr<IFeatureClass> FeatureClass() override { return class_; }
    void SetFeatureClass(const std::shared_ptr<IFeatureClass>& featureClass) override {
        auto ours = std::dynamic_pointer_cast<qgis::FeatureClass>(featureClass);
        if (featureClass && !ours) {
            throw PortError("SetFeatureClass", "the class is not one of this host's");
        }
        class_ = ours;
        if (class_ && !name_.empty()) {
            class_->Layer("SetFeatureClass").setName(Qt(name_));
        }
    }
    [[nodiscard]] std::string DefinitionExpression() const override {
        if (class_) {
            if (QgsVectorLayer* layer = class_->LayerOrNull()) {
                return Text(layer->subsetString());
            }
        }
        return {};
    }
    // The layer's subset string: OGR SQL on the ogr provider, checked by the provider.
    void SetDefinitionExpression(const std::string& expression) override {
        if (!class_) {
            throw PortError("SetDefinitionExpression", "the layer has no feature class");
        }
        QgsVectorLayer& layer = class_->Layer("SetDefinitionExpression");
        const QString previous = layer.subsetString();
        if (!expression.empty()) {
            CheckWhereClause(expression, layer.fields(), "SetDefinitionExpression");
        }
        if (!layer.setSubsetString(Qt(expression))) {
            if (layer.subsetString() != previous) {
                layer.setSubsetString(previous);
            }
            QString reason;
            if (layer.dataProvider() != nullptr && layer.dataProvider()->hasErrors()) {
                reason = layer.dataProvider()->errors().join(QStringLiteral("; "));
            }
            throw PortError("SetDefinitionExpression",
                            "QGIS refused \"" + expression + "\"" +
                                (reason.isEmpty() ? std::string{} : ": " + Text(reason)));
        }
    }
    std::shared_ptr<ISelectionSet> SelectionSet() override {
        if (!class_) {
            throw PortError("SelectionSet", "the layer has no feature class");
        }
        return std::make_shared<qgis::SelectionSet>(class_);
    }

    [[nodiscard]] const std::shared_ptr<qgis::FeatureClass>& Class() const { return class_; }

private:
    std::shared_ptr<State> state_;
    std::shared_ptr<qgis::FeatureClass> class_;
    std::shared_ptr<ISpatialReference> display_;
    std::string name_;
};

namespace {

class GroupLayer final : public IGroupLayer {
public:
    GroupLayer(std::shared_ptr<State> state, QgsLayerTreeGroup* group)
        : state_(std::move(state)), group_(group) {}
    [[nodiscard]] const void* Node() const { return group_.data(); }
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Group; }
    [[nodiscard]] std::string Name() const override {
        return group_ ? Text(group_->name()) : std::string{};
    }
    void SetName(const std::string& name) override { node("SetName").setName(Qt(name)); }
    std::shared_ptr<ISpatialReference> SpatialReference() override { return reference_; }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override {
        reference_ = reference;
    }
    std::vector<std::shared_ptr<ILayer>> Layers() override {
        std::vector<std::shared_ptr<ILayer>> out;
        for (QgsLayerTreeNode* child : node("Layers").children()) {
            if (auto layer = state_->Wrap(child, state_)) {
                out.push_back(layer);
            }
        }
        return out;
    }
    void Add(const std::shared_ptr<ILayer>& layer) override {
        auto feature = std::dynamic_pointer_cast<FeatureLayer>(layer);
        if (!feature || !feature->Class()) {
            throw PortError("Add", "only feature layers of this host can join a group");
        }
        QgsVectorLayer& vector = feature->Class()->AddToProject(state_->Project("Add"), "Add");
        node("Add").addLayer(&vector);
        state_->layers[&vector] = layer;
    }

private:
    QgsLayerTreeGroup& node(const std::string& operation) {
        if (group_.isNull()) {
            throw PortError(operation, "the group was removed from the project");
        }
        return *group_;
    }
    std::shared_ptr<State> state_;
    QPointer<QgsLayerTreeGroup> group_;
    std::shared_ptr<ISpatialReference> reference_;
};

// Rasters, meshes and every other kind of map layer.
class OtherLayer final : public ILayer {
public:
    explicit OtherLayer(QgsMapLayer* layer) : layer_(layer) {}
    [[nodiscard]] const void* Layer() const { return layer_.data(); }
    [[nodiscard]] LayerKind Kind() const override { return LayerKind::Other; }
    [[nodiscard]] std::string Name() const override {
        return layer_ ? Text(layer_->name()) : std::string{};
    }
    void SetName(const std::string& name) override {
        if (layer_) {
            layer_->setName(Qt(name));
        }
    }
    std::shared_ptr<ISpatialReference> SpatialReference() override {
        if (!layer_ || !layer_->crs().isValid()) {
            return nullptr;
        }
        return FromQgis(layer_->crs());
    }
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& /*reference*/) override {}

private:
    QPointer<QgsMapLayer> layer_;
};

// ---- map ---------------------------------------------------------------------------------------

class Map final : public IMap {
public:
    explicit Map(std::shared_ptr<State> state) : state_(std::move(state)) {}

    int LayerCount() override { return static_cast<int>(top().size()); }
    std::shared_ptr<ILayer> Layer(int index) override {
        const auto layers = top();
        if (index < 0 || index >= static_cast<int>(layers.size())) {
            throw PortError("Layer", "the map has no layer " + std::to_string(index));
        }
        return layers[static_cast<std::size_t>(index)];
    }
    std::vector<std::shared_ptr<ILayer>> Layers() override {
        std::vector<std::shared_ptr<ILayer>> out;
        collect(*state_->Project("Layers").layerTreeRoot(), out);
        return out;
    }
    std::int64_t SelectionCount() override {
        std::int64_t count = 0;
        for (const auto& layer : Layers()) {
            if (auto feature = std::dynamic_pointer_cast<FeatureLayer>(layer)) {
                if (feature->Class() && feature->Class()->LayerOrNull() != nullptr) {
                    count += feature->Class()->LayerOrNull()->selectedFeatureCount();
                }
            }
        }
        return count;
    }
    void AddLayer(const std::shared_ptr<ILayer>& layer) override {
        if (!layer) {
            throw PortError("AddLayer", "no layer given");
        }
        auto feature = std::dynamic_pointer_cast<FeatureLayer>(layer);
        if (!feature || !feature->Class()) {
            throw PortError("AddLayer",
                            "only feature layers of this host with a class can be added");
        }
        QgsProject& project = state_->Project("AddLayer");
        QgsVectorLayer& vector = feature->Class()->AddToProject(project, "AddLayer");
        project.layerTreeRoot()->insertLayer(0, &vector);
        state_->layers[&vector] = layer;
    }
    std::shared_ptr<ISpatialReference> SpatialReference() override {
        const QgsCoordinateReferenceSystem crs = state_->Project("SpatialReference").crs();
        return crs.isValid() ? FromQgis(crs) : nullptr;
    }
    // The project's CRS and the canvas's, marking the project modified as any edit would.
    void SetSpatialReference(const std::shared_ptr<ISpatialReference>& reference) override {
        const QgsCoordinateReferenceSystem crs =
            reference ? ToQgis(*reference) : QgsCoordinateReferenceSystem();
        QgsProject& project = state_->Project("SetSpatialReference");
        project.setCrs(crs);
        state_->Canvas("SetSpatialReference").setDestinationCrs(crs);
        project.setDirty(true);
    }
    int MapUnits() override {
        const QgsCoordinateReferenceSystem crs = state_->Project("MapUnits").crs();
        return crs.isValid() ? UnitCode(crs.mapUnits()) : 0;
    }
    int DistanceUnits() override {
        if (state_->distanceUnits) {
            return *state_->distanceUnits;
        }
        return UnitCode(state_->Project("DistanceUnits").distanceUnits());
    }
    void SetDistanceUnits(int units) override {
        if (units < 0 || units > 12) {
            throw PortError("SetDistanceUnits", "no unit " + std::to_string(units));
        }
        if (const auto unit = QgisUnit(units)) {
            state_->Project("SetDistanceUnits").setDistanceUnits(*unit);
        }
        // Units QGIS lacks (inches, points, decimetres) are remembered here.
        state_->distanceUnits = units;
    }

private:
    std::vector<std::shared_ptr<ILayer>> top() {
        std::vector<std::shared_ptr<ILayer>> out;
        for (QgsLayerTreeNode* child : state_->Project("Layers").layerTreeRoot()->children()) {
            if (auto layer = state_->Wrap(child, state_)) {
                out.push_back(layer);
            }
        }
        return out;
    }
    void collect(QgsLayerTreeGroup& group, std::vector<std::shared_ptr<ILayer>>& out) {
        for (QgsLayerTreeNode* child : group.children()) {
            if (auto layer = state_->Wrap(child, state_)) {
                out.push_back(layer);
            }
            if (QgsLayerTree::isGroup(child)) {
                collect(*QgsLayerTree::toGroup(child), out);
            }
        }
    }
    std::shared_ptr<State> state_;
};

// ---- views -------------------------------------------------------------------------------------

class DisplayTransformation final : public IDisplayTransformation {
public:
    explicit DisplayTransformation(std::shared_ptr<State> state) : state_(std::move(state)) {}
    Envelope VisibleBounds() override {
        const QgsRectangle r = state_->Canvas("VisibleBounds").extent();
        return Envelope{r.xMinimum(), r.yMinimum(), r.xMaximum(), r.yMaximum()};
    }
    void SetVisibleBounds(const Envelope& bounds) override {
        checkBounds(bounds, "SetVisibleBounds");
        state_->Canvas("SetVisibleBounds")
            .setExtent(QgsRectangle(bounds.XMin, bounds.YMin, bounds.XMax, bounds.YMax));
    }
    scribeline::Point FromMapPoint(const MapPoint& point) override {
        const QgsPointXY p =
            state_->Canvas("FromMapPoint").mapSettings().mapToPixel().transform(point.x, point.y);
        return scribeline::Point{static_cast<int>(std::lround(p.x())),
                                 static_cast<int>(std::lround(p.y()))};
    }
    MapPoint ToMapPoint(scribeline::Point device) override {
        const QgsPointXY p = state_->Canvas("ToMapPoint")
                                 .mapSettings()
                                 .mapToPixel()
                                 .toMapCoordinates(device.x, device.y);
        return MapPoint{p.x(), p.y(), 0.0};
    }

private:
    std::shared_ptr<State> state_;
};

class ScreenDisplay final : public IScreenDisplay {
public:
    explicit ScreenDisplay(std::shared_ptr<State> state)
        : state_(std::move(state)), transformation_(state_) {}
    void StartDrawing(int /*cacheId*/) override {
        if (drawing_) {
            throw PortError("StartDrawing", "a drawing is under way already");
        }
        drawing_ = true;
    }
    void SetSymbol(const Symbol& symbol) override { symbol_ = symbol; }
    void DrawPoint(const Geometry& point) override {
        draw(point, {GeometryType::Point, GeometryType::Multipoint}, "DrawPoint");
    }
    void DrawPolyline(const Geometry& polyline) override {
        draw(polyline, {GeometryType::Polyline}, "DrawPolyline");
    }
    void DrawPolygon(const Geometry& polygon) override {
        draw(polygon, {GeometryType::Polygon}, "DrawPolygon");
    }
    void FinishDrawing() override {
        drawing_ = false;
        if (state_->drawing != nullptr) {
            state_->drawing->Changed();
        }
    }
    IDisplayTransformation& DisplayTransformation() override { return transformation_; }

private:
    void draw(const Geometry& g, std::initializer_list<GeometryType> kinds, const char* operation) {
        if (!drawing_) {
            throw PortError(operation, "called outside StartDrawing and FinishDrawing");
        }
        if (std::find(kinds.begin(), kinds.end(), g.type) == kinds.end()) {
            throw PortError(operation, "a geometry of type " +
                                           std::to_string(static_cast<int>(g.type)) +
                                           " cannot be drawn this way");
        }
        state_->Canvas(operation);
        if (state_->drawing != nullptr) {
            state_->drawing->drawings.push_back({g, symbol_});
        }
    }
    std::shared_ptr<State> state_;
    qgis::DisplayTransformation transformation_;
    Symbol symbol_;
    bool drawing_ = false;
};

class ActiveView final : public IActiveView {
public:
    explicit ActiveView(std::shared_ptr<State> state) : state_(state), display_(state) {}
    // Schedules a redraw (QGIS renders asynchronously) and wipes the screen display's drawings.
    void Refresh() override {
        QgsMapCanvas& canvas = state_->Canvas("Refresh");
        if (state_->drawing != nullptr) {
            state_->drawing->drawings.clear();
            state_->drawing->Changed();
        }
        ++state_->refreshes;
        canvas.refresh();
    }
    Envelope Extent() override { return display_.DisplayTransformation().VisibleBounds(); }
    // QGIS widens the extent to the canvas's shape.
    void SetExtent(const Envelope& extent) override {
        display_.DisplayTransformation().SetVisibleBounds(extent);
    }
    IScreenDisplay& ScreenDisplay() override { return display_; }
    void AddLineElement(const Geometry& polyline, const Symbol& symbol) override {
        if (polyline.type != GeometryType::Polyline) {
            throw PortError("AddLineElement", "a line element takes a polyline");
        }
        state_->Canvas("AddLineElement");
        if (state_->drawing != nullptr) {
            state_->drawing->elements.push_back({polyline, symbol});
            state_->drawing->Changed();
        }
    }
    void DeleteAllElements() override {
        if (state_->drawing != nullptr) {
            state_->drawing->elements.clear();
            state_->drawing->Changed();
        }
    }

private:
    std::shared_ptr<State> state_;
    qgis::ScreenDisplay display_;
};

class Document final : public IMxDocument {
public:
    explicit Document(const std::shared_ptr<State>& state)
        : map_(std::make_shared<Map>(state)), view_(std::make_shared<qgis::ActiveView>(state)) {}
    std::shared_ptr<IMap> FocusMap() override { return map_; }
    std::shared_ptr<IActiveView> ActiveView() override { return view_; }
    // QGIS keeps its layouts in windows of their own; the canvas is always the data view.
    bool ActiveViewIsPageLayout() override { return false; }

private:
    std::shared_ptr<Map> map_;
    std::shared_ptr<qgis::ActiveView> view_;
};

// ---- editor, progressor, factory -----------------------------------------------------------

class Editor final : public IEditor {
public:
    explicit Editor(std::shared_ptr<State> state) : state_(std::move(state)) {}
    int EditState() override {
        return state_->editFolder.empty() ? kEditStateNotEditing : kEditStateEditing;
    }
    // QGIS edits layer by layer: every class of the workspace joins the session, those opened
    // now and those opened while it lasts.
    void StartEditing(const std::shared_ptr<IWorkspace>& workspace) override {
        auto ours = std::dynamic_pointer_cast<qgis::Workspace>(workspace);
        if (!ours) {
            throw PortError("StartEditing", "the workspace is not one of this host's");
        }
        if (!state_->editFolder.empty()) {
            throw PortError("StartEditing", "an edit session is open already");
        }
        std::error_code ec;
        const auto folder =
            std::filesystem::weakly_canonical(std::filesystem::absolute(ours->Folder()), ec);
        state_->editFolder = lower((ec ? ours->Folder() : folder).string());
        std::vector<std::shared_ptr<FeatureClass>> open;
        for (auto& [key, weak] : state_->classes) {
            if (auto fc = weak.lock()) {
                open.push_back(fc);
            }
        }
        try {
            for (auto& fc : open) {
                if (fc->LayerOrNull() != nullptr) {
                    fc->JoinEditSession("StartEditing");
                }
            }
        } catch (...) {
            StopEditing(false);
            throw;
        }
    }
    // Saving commits every layer of the session; when a commit fails the session stays open
    // with the layer's features kept, and the error carries QGIS's (and GDAL's) messages.
    void StopEditing(bool save) override {
        if (state_->editFolder.empty()) {
            throw PortError("StopEditing", "no edit session is open");
        }
        std::string errors;
        auto report = [&errors](const std::string& text) {
            errors += (errors.empty() ? "" : "; ") + text;
        };
        std::vector<std::shared_ptr<FeatureClass>> kept;
        for (auto& fc : state_->editing) {
            QgsVectorLayer* layer = fc->LayerOrNull();
            if (layer == nullptr) {
                report("the layer \"" + fc->AliasName() + "\" was removed from the project");
                continue;
            }
            if (!layer->isEditable()) {
                continue;
            }
            if (!save) {
                layer->rollBack();
                continue;
            }
            const QgsFeatureList pending = layer->editBuffer() != nullptr
                                               ? layer->editBuffer()->addedFeatures().values()
                                               : QgsFeatureList{};
            GdalFailures gdal;
            const bool committed = layer->commitChanges();
            const std::string gdalErrors = gdal.Text();
            if (!committed) {
                // QGIS keeps its edit buffer when it refuses a commit.
                report("\"" + fc->AliasName() +
                       "\": " + Text(layer->commitErrors().join(QStringLiteral("; "))) +
                       (gdalErrors.empty() ? std::string{} : "; " + gdalErrors));
                kept.push_back(fc);
            } else if (!gdalErrors.empty()) {
                // QGIS took the commit for done while the data source failed to write: what
                // it holds in memory is not what is on disk. The files are read again and the
                // features go back into a new edit buffer, so a later save writes them.
                if (layer->dataProvider() != nullptr) {
                    layer->dataProvider()->reloadData();
                }
                layer->startEditing();
                for (QgsFeature feature : pending) {
                    layer->addFeature(feature);
                }
                report("\"" + fc->AliasName() + "\": " + gdalErrors);
                kept.push_back(fc);
            } else {
                layer->updateExtents();
                layer->triggerRepaint();
            }
        }
        if (!kept.empty()) {
            state_->editing = kept;
            throw PortError("StopEditing", "QGIS could not save the edits: " + errors);
        }
        state_->editing.clear();
        state_->editFolder.clear();
        if (!errors.empty()) {
            throw PortError("StopEditing", errors);
        }
    }

private:
    std::shared_ptr<State> state_;
};

class StepProgressor final : public IStepProgressor {
public:
    explicit StepProgressor(std::shared_ptr<State> state) : state_(std::move(state)) {}
    void Show() override {
        if (auto* bar = state_->progressBar.data()) {
            bar->show();
        }
        visible_ = true;
    }
    void SetPosition(int position) override {
        position_ = position;
        update();
    }
    void Step() override {
        ++position_;
        update();
    }
    void Hide() override {
        if (auto* bar = state_->progressBar.data()) {
            bar->hide();
        }
        visible_ = false;
    }
    [[nodiscard]] int Position() const { return position_; }
    [[nodiscard]] bool Visible() const { return visible_; }

private:
    // The core never says how many steps there will be: the bar grows ahead of the position.
    void update() {
        if (auto* bar = state_->progressBar.data()) {
            if (position_ >= bar->maximum()) {
                bar->setMaximum(std::max(100, position_ * 2));
            }
            bar->setValue(std::max(position_, 0));
        }
    }
    std::shared_ptr<State> state_;
    int position_ = 0;
    bool visible_ = false;
};

class ObjectFactory final : public IMapObjectFactory {
public:
    explicit ObjectFactory(std::shared_ptr<State> state)
        : state_(std::move(state)), shapefiles_(state_) {}
    std::shared_ptr<IFeatureLayer> CreateFeatureLayer() override {
        return std::make_shared<FeatureLayer>(state_);
    }
    ISpatialReferenceFactory& SpatialReferenceFactory() override { return state_->references; }
    IShapefileWorkspaceFactory& ShapefileWorkspaceFactory() override { return shapefiles_; }
    IGeometryEngine& GeometryEngine() override { return state_->engine; }

private:
    class Shapefiles final : public IShapefileWorkspaceFactory {
    public:
        explicit Shapefiles(std::shared_ptr<State> state) : state_(std::move(state)) {}
        std::shared_ptr<IFeatureWorkspace> OpenFromFile(const std::string& folder) override {
            std::error_code ec;
            if (!std::filesystem::is_directory(folder, ec)) {
                throw PortError("OpenFromFile", "no folder " + folder);
            }
            return std::make_shared<Workspace>(state_, folder);
        }

    private:
        std::shared_ptr<State> state_;
    };
    std::shared_ptr<State> state_;
    Shapefiles shapefiles_;
};

} // namespace

// ---- state -------------------------------------------------------------------------------------

QgsMapCanvas& State::Canvas(const std::string& operation) {
    if (canvas.isNull()) {
        throw PortError(operation, "the map canvas is gone");
    }
    return *canvas;
}

QgsProject& State::Project(const std::string& operation) {
    if (project.isNull()) {
        throw PortError(operation, "the project is gone");
    }
    return *project;
}

// The QGIS object behind a port layer; a deleted object's address may come back for a new
// one, so a cached handle is only reused while it still stands on the same object.
const void* State::Identity(ILayer& layer) {
    if (auto* feature = dynamic_cast<FeatureLayer*>(&layer)) {
        return feature->Class() ? feature->Class()->LayerOrNull() : nullptr;
    }
    if (auto* group = dynamic_cast<GroupLayer*>(&layer)) {
        return group->Node();
    }
    if (auto* other = dynamic_cast<OtherLayer*>(&layer)) {
        return other->Layer();
    }
    return nullptr;
}

std::shared_ptr<ILayer> State::WrapLayer(QgsMapLayer* layer, const std::shared_ptr<State>& self) {
    if (layer == nullptr) {
        return nullptr;
    }
    if (auto it = layers.find(layer); it != layers.end()) {
        if (auto existing = it->second.lock(); existing && Identity(*existing) == layer) {
            return existing;
        }
    }
    std::shared_ptr<ILayer> wrapped;
    auto* vector = qobject_cast<QgsVectorLayer*>(layer);
    if (vector != nullptr && vector->isSpatial() &&
        vector->providerType() == QStringLiteral("ogr")) {
        auto feature = std::make_shared<FeatureLayer>(self);
        feature->SetFeatureClass(FeatureClass::ForLayer(self, vector));
        wrapped = feature;
    } else {
        wrapped = std::make_shared<OtherLayer>(layer);
    }
    layers[layer] = wrapped;
    return wrapped;
}

std::shared_ptr<ILayer> State::Wrap(QgsLayerTreeNode* node, const std::shared_ptr<State>& self) {
    if (QgsLayerTree::isGroup(node)) {
        if (auto it = layers.find(node); it != layers.end()) {
            if (auto existing = it->second.lock(); existing && Identity(*existing) == node) {
                return existing;
            }
        }
        auto group = std::make_shared<GroupLayer>(self, QgsLayerTree::toGroup(node));
        layers[node] = group;
        return group;
    }
    if (QgsLayerTree::isLayer(node)) {
        return WrapLayer(QgsLayerTree::toLayer(node)->layer(), self);
    }
    return nullptr;
}

// ---- drawing item ------------------------------------------------------------------------------

DrawingItem::DrawingItem(QgsMapCanvas* canvas) : QgsMapCanvasItem(canvas) {
    setZValue(1000);
    updatePosition();
}

void DrawingItem::updatePosition() {
    setRect(mMapCanvas->extent(), false);
}

void DrawingItem::Changed() {
    updatePosition();
    update();
}

void DrawingItem::paint(QPainter* painter) {
    painter->setRenderHint(QPainter::Antialiasing, true);
    auto toScreen = [this](const MapPoint& p) {
        return toCanvasCoordinates(QgsPointXY(p.x, p.y)) - pos();
    };
    auto drawOne = [&](const Drawn& d) {
        const Symbol& s = d.symbol;
        const double pixels = s.size * 96.0 / 72.0;
        for (const auto& part : d.geometry.parts) {
            QPolygonF polygon;
            for (const auto& p : part) {
                polygon << toScreen(p);
            }
            switch (d.geometry.type) {
            case GeometryType::Point:
            case GeometryType::Multipoint:
                painter->setPen(Qt::NoPen);
                painter->setBrush(colour(s.colour));
                for (const QPointF& p : polygon) {
                    if (s.style == 1) {
                        painter->drawRect(
                            QRectF(p.x() - pixels / 2, p.y() - pixels / 2, pixels, pixels));
                    } else if (s.style == 2) {
                        painter->setPen(QPen(colour(s.colour), 1.0));
                        painter->drawLine(QPointF(p.x() - pixels / 2, p.y()),
                                          QPointF(p.x() + pixels / 2, p.y()));
                        painter->drawLine(QPointF(p.x(), p.y() - pixels / 2),
                                          QPointF(p.x(), p.y() + pixels / 2));
                        painter->setPen(Qt::NoPen);
                    } else {
                        painter->drawEllipse(p, pixels / 2, pixels / 2);
                    }
                }
                break;
            case GeometryType::Polygon:
                painter->setPen(QPen(colour(s.outlineColour), s.outlineWidth * 96.0 / 72.0));
                painter->setBrush(s.style == 1 ? QBrush(Qt::NoBrush) : QBrush(colour(s.colour)));
                painter->drawPolygon(polygon);
                break;
            default:
                painter->setPen(QPen(colour(s.colour), pixels));
                painter->setBrush(Qt::NoBrush);
                painter->drawPolyline(polygon);
                break;
            }
        }
    };
    for (const auto& e : elements) {
        drawOne(e);
    }
    for (const auto& d : drawings) {
        drawOne(d);
    }
}

// ---- host --------------------------------------------------------------------------------------

struct QgisHost::Handles {
    std::shared_ptr<qgis::Document> document;
    std::shared_ptr<qgis::Editor> editor;
    qgis::StepProgressor progressor;
    ObjectFactory factory;
    explicit Handles(const std::shared_ptr<State>& state)
        : document(std::make_shared<qgis::Document>(state)),
          editor(std::make_shared<qgis::Editor>(state)), progressor(state), factory(state) {}
};

QgisHost::QgisHost(const QgisParts& parts, const WindowRegistrar& registrar, int productCode)
    : state_(std::make_shared<State>()), productCode_(productCode) {
    if (parts.mainWindow == nullptr || parts.canvas == nullptr || parts.project == nullptr ||
        parts.statusBar == nullptr) {
        throw PortError("QgisHost", "a QGIS part is missing");
    }
    if (!registrar) {
        throw PortError("QgisHost", "no window registrar given");
    }
    state_->mainWindow = parts.mainWindow;
    state_->canvas = parts.canvas;
    state_->project = parts.project;
    state_->statusBar = parts.statusBar;
    mainWindow_ = registrar(parts.mainWindow, kMainWindowClass,
                            Text(parts.mainWindow->windowTitle()), kNoWindow);
    if (mainWindow_ == kNoWindow) {
        throw PortError("QgisHost", "the main window could not be registered");
    }
    // The viewport is what the canvas paints into: the map view's pixels.
    mapView_ = registrar(parts.canvas->viewport(), kMapViewClass, std::string(), mainWindow_);
    if (mapView_ == kNoWindow) {
        throw PortError("QgisHost", "the map view could not be registered");
    }
    auto* bar = new QProgressBar(parts.statusBar);
    bar->setRange(0, 100);
    bar->setMaximumWidth(200);
    bar->hide();
    parts.statusBar->addPermanentWidget(bar);
    state_->progressBar = bar;
    state_->drawing = new DrawingItem(parts.canvas);
    handles_ = std::make_unique<Handles>(state_);
}

QgisHost::~QgisHost() {
    if (!state_->canvas.isNull() && state_->drawing != nullptr) {
        delete state_->drawing;
    }
    state_->drawing = nullptr;
    if (auto* bar = state_->progressBar.data()) {
        delete bar;
    }
    // Unsaved edits of an open session are dropped, as when QGIS closes a layer.
    for (auto& fc : state_->editing) {
        if (QgsVectorLayer* layer = fc->LayerOrNull(); layer != nullptr && layer->isEditable()) {
            layer->rollBack();
        }
    }
    state_->editing.clear();
}

std::shared_ptr<IMxDocument> QgisHost::Document() {
    return handles_->document;
}

std::shared_ptr<IEditor> QgisHost::FindExtensionByCLSID(const std::string& clsid) {
    return lower(clsid) == "esricore.editor" ? handles_->editor : nullptr;
}

IStepProgressor& QgisHost::StepProgressor() {
    return handles_->progressor;
}

IMapObjectFactory& QgisHost::Factory() {
    return handles_->factory;
}

void QgisHost::WaitForRendering() {
    if (auto* canvas = state_->canvas.data()) {
        // A refresh starts rendering from a 1 ms timer; let it fire, then wait for the job.
        QCoreApplication::processEvents();
        QThread::msleep(2);
        QCoreApplication::processEvents();
        canvas->waitWhileRendering();
    }
}

int QgisHost::RefreshCount() const {
    return state_->refreshes;
}

std::size_t QgisHost::DrawingCount() const {
    return state_->drawing != nullptr ? state_->drawing->drawings.size() : 0;
}

std::size_t QgisHost::ElementCount() const {
    return state_->drawing != nullptr ? state_->drawing->elements.size() : 0;
}

int QgisHost::ProgressPosition() const {
    return handles_->progressor.Position();
}

bool QgisHost::ProgressVisible() const {
    return handles_->progressor.Visible();
}

QgsVectorLayer* QgisHost::VectorLayerOf(IFeatureLayer& layer) {
    auto* ours = dynamic_cast<FeatureLayer*>(&layer);
    return ours != nullptr && ours->Class() ? ours->Class()->LayerOrNull() : nullptr;
}

QgsVectorLayer* QgisHost::VectorLayerOf(IFeatureClass& featureClass) {
    auto* ours = dynamic_cast<FeatureClass*>(&featureClass);
    return ours != nullptr ? ours->LayerOrNull() : nullptr;
}

} // namespace scribeline::qgis
