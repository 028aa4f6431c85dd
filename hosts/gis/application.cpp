#include "hosts/gis/gis_host.hpp"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace scribeline::gis {

namespace fs = std::filesystem;

namespace {

constexpr Envelope kWorld{-180.0, -90.0, 180.0, 90.0};
// Letter paper in inches, the page layout's coordinates.
constexpr Envelope kPage{0.0, 0.0, 8.5, 11.0};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

// ---- StepProgressor ---------------------------------------------------------------------------

void StepProgressor::record(ProgressEvent::Kind kind) {
    events_.push_back({kind, position_});
    if (changed) {
        changed(events_.back());
    }
}

void StepProgressor::Show() {
    visible_ = true;
    record(ProgressEvent::Kind::Show);
}

void StepProgressor::SetPosition(int position) {
    position_ = position;
    record(ProgressEvent::Kind::SetPosition);
}

void StepProgressor::Step() {
    ++position_;
    record(ProgressEvent::Kind::Step);
}

void StepProgressor::Hide() {
    visible_ = false;
    record(ProgressEvent::Kind::Hide);
}

std::shared_ptr<IFeatureLayer> MapObjectFactory::CreateFeatureLayer() {
    return std::make_shared<FeatureLayer>();
}

// ---- windows ----------------------------------------------------------------------------------

// The main window keeps the map view filling it as it is resized, and stays open: the
// application lives as long as the host object does.
class GisHost::WindowHandler final : public IWindowHandler {
public:
    explicit WindowHandler(GisHost& host) : host_(host) {}
    bool onClose() override { return false; }
    void onResize(Size client) override {
        const Rect& view = host_.options_.mapView;
        const Rect& main = host_.options_.mainWindow;
        const int right = client.width - (main.width() - view.right);
        const int bottom = client.height - (main.height() - view.bottom);
        host_.desktop_.SetWindowPos(host_.mapViewWindow_, view.left, view.top,
                                    std::max(right - view.left, 1), std::max(bottom - view.top, 1),
                                    swp::NoZOrder);
    }

private:
    GisHost& host_;
};

GisHost::GisHost(IDesktop& desktop, GisHostOptions options)
    : desktop_(desktop), options_(std::move(options)), factory_(registry_),
      editor_(std::make_shared<gis::Editor>()), handler_(std::make_unique<WindowHandler>(*this)) {
    EnsureGdal();
    auto map = std::make_shared<gis::Map>();
    auto repaint = [this] {
        if (options_.repaint && mapViewWindow_ != kNoWindow) {
            options_.repaint(mapViewWindow_);
        }
    };
    auto size = [this] { return mapViewSize(); };
    auto dataView = std::make_shared<ActiveView>(size, repaint, kWorld);
    auto layout = std::make_shared<ActiveView>(size, repaint, kPage);
    document_ = std::make_shared<gis::Document>(map, dataView, layout);
    // A map zooms to its first layer, as the host family does.
    map->OnLayerAdded([this](const std::shared_ptr<ILayer>& layer) {
        auto& view = DataView();
        if (!view.ExtentSet() && FocusMapImpl().LayerCount() == 1) {
            if (const auto e = LayerExtent(*layer, FocusMapImpl().SpatialReference())) {
                if (e->XMax > e->XMin || e->YMax > e->YMin) {
                    view.SetExtent(*e);
                }
            }
        }
    });
    // A map put into another reference keeps showing the same place.
    map->OnReferenceChanged([this](const std::shared_ptr<ISpatialReference>& from,
                                   const std::shared_ptr<ISpatialReference>& to) {
        auto& view = DataView();
        if (!from || !to) {
            return;
        }
        if (const auto e = ProjectEnvelope(view.Extent(), from, to)) {
            if (e->XMax > e->XMin || e->YMax > e->YMin) {
                view.SetExtent(*e);
            }
        }
    });

    WindowSpec main;
    main.className = kMainWindowClass;
    main.title = options_.title;
    main.rect = options_.mainWindow;
    mainWindow_ = desktop_.CreateWindow(main, handler_.get());
    WindowSpec view;
    view.className = kMapViewClass;
    view.title = "";
    view.parent = mainWindow_;
    view.rect = options_.mapView;
    mapViewWindow_ = desktop_.CreateWindow(view, nullptr);
    if (options_.registerCaptureRenderer) {
        options_.registerCaptureRenderer(mapViewWindow_,
                                         [this](Size s) { return ToBitmap(RenderMapView(s)); });
    }
}

GisHost::~GisHost() {
    if (desktop_.IsWindow(mapViewWindow_)) {
        desktop_.DestroyWindow(mapViewWindow_);
    }
    if (desktop_.IsWindow(mainWindow_)) {
        desktop_.DestroyWindow(mainWindow_);
    }
}

Size GisHost::mapViewSize() const {
    if (const auto r = desktop_.GetClientRect(mapViewWindow_)) {
        return Size{r->width(), r->height()};
    }
    return Size{options_.mapView.width(), options_.mapView.height()};
}

std::shared_ptr<IEditor> GisHost::FindExtensionByCLSID(const std::string& clsid) {
    // The identifier is a programmatic name; those compare without regard to case.
    return lower(clsid) == lower(kEditorClsid) ? editor_ : nullptr;
}

std::shared_ptr<FeatureLayer> GisHost::OpenFeatureLayer(const fs::path& path,
                                                        const std::string& layerName) {
    auto ws = registry_.Open(path);
    std::string name = layerName;
    if (ws->Kind() == StoreKind::Shapefile) {
        std::error_code ec;
        name = fs::is_directory(path, ec) ? layerName : path.stem().string();
    } else if (name.empty()) {
        const auto names = ws->FeatureClassNames();
        if (names.empty()) {
            throw PortError("OpenFeatureLayer", path.string() + " holds no feature class");
        }
        name = names.front();
    }
    auto fc = ws->Class(name);
    auto layer = std::make_shared<FeatureLayer>();
    layer->SetFeatureClass(fc);
    layer->SetName(fc->AliasName());
    return layer;
}

RgbaImage GisHost::RenderMapView() {
    return RenderMapView(mapViewSize());
}

RgbaImage GisHost::RenderMapView(Size size) {
    const bool layout = document_->ActiveViewIsPageLayout();
    auto& view = layout ? *document_->PageLayout() : *document_->DataView();
    return RenderView(FocusMapImpl(), view, size, layout);
}

void GisHost::SaveMapViewPng(const fs::path& file) {
    WritePng(RenderMapView(), file);
}

void GisHost::clearMap() {
    auto& map = FocusMapImpl();
    while (map.LayerCount() > 0) {
        map.RemoveLayer(map.Layer(0));
    }
}

} // namespace scribeline::gis
