#include "hosts/globe/simulated_globe.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace scribeline::globe {

namespace {

GlobeModelOptions ModelOptions(const GlobeOptions& o) {
    GlobeModelOptions m;
    m.terrain = o.terrain;
    m.terrainLayerOn = o.terrainLayerOn;
    m.elevationExaggeration = o.elevationExaggeration;
    m.autoPilotSpeed = o.autoPilotSpeed;
    m.camera = o.camera;
    m.version = o.version;
    m.maxKeptCoordinates = o.maxKeptCoordinates;
    return m;
}

GlobeWindowOptions WindowOptions(const GlobeOptions& o) {
    GlobeWindowOptions w;
    w.mainWindow = o.mainWindow;
    w.sidePanelWidth = o.sidePanelWidth;
    w.toolBarHeight = o.toolBarHeight;
    w.statusBarHeight = o.statusBarHeight;
    w.onRepaint = o.onRepaint;
    w.dragNavigation = o.dragNavigation;
    return w;
}

} // namespace

// The model and its windows, shared by the handles: a handle that outlives the globe finds
// the windows closed and fails.
struct SimulatedGlobe::Client {
    GlobeModel model;
    GlobeWindows windows;
    std::function<std::vector<Overlay>()> overlays;
    DrapeProvider drape;

    Client(IDesktop& desktop, const GlobeOptions& options)
        : model([&desktop] { return desktop.TickCount(); }, ModelOptions(options)),
          windows(desktop, model, WindowOptions(options)), overlays(options.overlays),
          drape(options.drape) {}

    void Enter(const char* operation) const {
        if (windows.Closed()) {
            throw PortError(operation, "the globe client is not running");
        }
    }

    // The view now. The documents are shared with the model's snapshot, not copied.
    [[nodiscard]] FrameRequest Request(Size size) const {
        FrameRequest request;
        request.camera = model.Camera();
        request.surface = model.Surface();
        auto documents = std::make_shared<DocumentSnapshot>(*model.Documents());
        if (const ElevationModel* terrain = request.surface.Model()) {
            documents->demOutlines = terrain->Outlines();
        }
        request.documents = std::move(documents);
        request.overlays = overlays ? overlays() : std::vector<Overlay>{};
        request.width = std::max(size.width, 1);
        request.height = std::max(size.height, 1);
        return request;
    }

    [[nodiscard]] Image Render(Size size) const { return RenderMeshFrame(Request(size), drape); }
};

// ---- the port's handle -------------------------------------------------------------------

namespace {

class ApplicationHandle final : public IApplicationGE {
public:
    explicit ApplicationHandle(std::shared_ptr<SimulatedGlobe::Client> client)
        : c_(std::move(client)) {}

    ICameraInfoGE GetCamera(int considerTerrain) override {
        c_->Enter("GetCamera");
        return c_->model.GetCamera(considerTerrain);
    }
    void SetCamera(const ICameraInfoGE& camera, double speed) override {
        c_->Enter("SetCamera");
        if (!std::isfinite(speed) || speed < 0.0) {
            throw PortError("SetCamera", "the speed must be a number of at least 0");
        }
        c_->model.Place(NormaliseCamera(camera, "SetCamera"), speed);
    }
    void OpenKmlFile(const std::string& fileName, int suppressMessages) override {
        c_->Enter("OpenKmlFile");
        c_->windows.OpenKmlFile(fileName, suppressMessages);
    }
    void LoadKmlData(const std::string& kmlText) override {
        c_->Enter("LoadKmlData");
        try {
            c_->model.LoadKmlData(kmlText);
        } catch (const DocumentError& e) {
            throw PortError("LoadKmlData", e.what());
        }
    }
    double AutoPilotSpeed() override {
        c_->Enter("AutoPilotSpeed");
        return c_->model.AutoPilotSpeed();
    }
    void SetAutoPilotSpeed(double speed) override {
        c_->Enter("SetAutoPilotSpeed");
        c_->model.SetAutoPilotSpeed(speed);
    }
    IViewExtentsGE ViewExtents() override {
        c_->Enter("ViewExtents");
        return c_->model.ViewExtents();
    }
    IPointOnTerrainGE GetPointOnTerrainFromScreenCoords(double x, double y) override {
        c_->Enter("GetPointOnTerrainFromScreenCoords");
        return c_->model.PointOnTerrain(x, y);
    }
    int VersionMajor() override {
        c_->Enter("VersionMajor");
        return c_->model.Version().major;
    }
    int VersionMinor() override {
        c_->Enter("VersionMinor");
        return c_->model.Version().minor;
    }
    int VersionBuild() override {
        c_->Enter("VersionBuild");
        return c_->model.Version().build;
    }
    int VersionAppType() override {
        c_->Enter("VersionAppType");
        return c_->model.Version().appType;
    }
    // A running client has finished starting and is online.
    int IsInitialized() override {
        c_->Enter("IsInitialized");
        return 1;
    }
    int IsOnline() override {
        c_->Enter("IsOnline");
        return 1;
    }
    double ElevationExaggeration() override {
        c_->Enter("ElevationExaggeration");
        return c_->model.Exaggeration();
    }
    void SetElevationExaggeration(double factor) override {
        c_->Enter("SetElevationExaggeration");
        c_->model.SetExaggeration(factor);
    }
    WindowHandle GetMainHwnd() override {
        c_->Enter("GetMainHwnd");
        return c_->windows.MainWindow();
    }
    WindowHandle GetRenderHwnd() override {
        c_->Enter("GetRenderHwnd");
        return c_->windows.RenderWindow();
    }

private:
    std::shared_ptr<SimulatedGlobe::Client> c_;
};

class GlobeConnector final : public IGlobeConnector {
public:
    explicit GlobeConnector(std::weak_ptr<SimulatedGlobe::Client> client)
        : client_(std::move(client)) {}
    std::shared_ptr<IApplicationGE> CreateApplication() override {
        const auto c = client_.lock();
        if (!c || c->windows.Closed()) {
            throw PortError("CreateApplication", "the globe client is not running");
        }
        return std::make_shared<ApplicationHandle>(c);
    }

private:
    std::weak_ptr<SimulatedGlobe::Client> client_;
};

} // namespace

// ---- SimulatedGlobe ----------------------------------------------------------------------

SimulatedGlobe::SimulatedGlobe(IDesktop& desktop, GlobeOptions options)
    : client_(std::make_shared<Client>(desktop, options)) {}

SimulatedGlobe::~SimulatedGlobe() {
    client_->windows.Close();
}

IGlobeConnector& SimulatedGlobe::Connector() {
    if (!connector_) {
        connector_ = std::make_unique<GlobeConnector>(client_);
    }
    return *connector_;
}

std::shared_ptr<IApplicationGE> SimulatedGlobe::CreateApplication() {
    return Connector().CreateApplication();
}

GlobeModel& SimulatedGlobe::Model() {
    return client_->model;
}
const GlobeModel& SimulatedGlobe::Model() const {
    return client_->model;
}
GlobeWindows& SimulatedGlobe::Windows() {
    return client_->windows;
}
const GlobeWindows& SimulatedGlobe::Windows() const {
    return client_->windows;
}

WindowHandle SimulatedGlobe::MainWindow() const {
    return client_->windows.MainWindow();
}
WindowHandle SimulatedGlobe::RenderWindow() const {
    return client_->windows.RenderWindow();
}
Size SimulatedGlobe::RenderSize() const {
    return client_->windows.RenderSize();
}
WindowHandle SimulatedGlobe::DialogWindow() const {
    return client_->windows.DialogWindow();
}
int SimulatedGlobe::RepaintCount() const {
    return client_->windows.RepaintCount();
}

void SimulatedGlobe::SetTerrain(std::shared_ptr<const ElevationModel> model) {
    client_->model.SetTerrain(std::move(model));
}
std::shared_ptr<const ElevationModel> SimulatedGlobe::Terrain() const {
    return client_->model.Terrain();
}
const std::vector<TerrainAnswerRecord>& SimulatedGlobe::TerrainAnswers() const {
    return client_->model.TerrainAnswers();
}
std::vector<std::string> SimulatedGlobe::TerrainSources() const {
    return client_->model.TerrainSources();
}
void SimulatedGlobe::SetTerrainLayerOn(bool on) {
    client_->model.SetTerrainLayerOn(on);
}
bool SimulatedGlobe::TerrainLayerOn() const {
    return client_->model.TerrainLayerOn();
}
double SimulatedGlobe::GroundHeight(double latitude, double longitude) const {
    return client_->model.GroundHeight(latitude, longitude);
}

CameraState SimulatedGlobe::Camera() const {
    return client_->model.Camera();
}
bool SimulatedGlobe::Flying() const {
    return client_->model.Flying();
}
std::optional<ScreenPosition> SimulatedGlobe::ProjectToScreen(double latitude, double longitude,
                                                              double height) const {
    return client_->model.ProjectToScreen(latitude, longitude, height);
}

std::vector<const KmlDocument*> SimulatedGlobe::Documents() const {
    const auto snapshot = client_->model.Documents();
    std::vector<const KmlDocument*> out;
    out.reserve(snapshot->documents.size());
    for (const auto& d : snapshot->documents) {
        out.push_back(d.get()); // the model keeps them until they are replaced or dropped
    }
    return out;
}

void SimulatedGlobe::SetRunActive(bool active) {
    client_->windows.SetRunActive(active);
}
bool SimulatedGlobe::RunActive() const {
    return client_->windows.RunActive();
}

FrameRequest SimulatedGlobe::ViewRequest(Size size) const {
    return client_->Request(size);
}

Image SimulatedGlobe::Render() const {
    return client_->Render(client_->windows.RenderSize());
}
Image SimulatedGlobe::Render(Size size) const {
    return client_->Render(size);
}
Bitmap SimulatedGlobe::RenderBitmap(Size size) const {
    return ToBitmap(client_->Render(size));
}
void SimulatedGlobe::SavePng(const std::filesystem::path& path) const {
    WritePng(Render(), path.string());
}

} // namespace scribeline::globe
