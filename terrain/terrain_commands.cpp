// The DEM and contour commands of the digitizer window and the sample grid preview.
#include "terrain/terrain_commands.hpp"

#include "options/option_names.hpp"

#include "command/toolbar_keys.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace scribeline::terrain {

namespace {

// Runs `release` when the scope ends, however it ends. A release is a best effort: it must not
// replace the failure that may be on its way out, so its own failure is dropped.
template <class F> class ScopeExit {
public:
    explicit ScopeExit(F release) : release_(std::move(release)) {}
    ~ScopeExit() {
        try {
            release_();
        } catch (...) {
        }
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F release_;
};

bool isText(const Fields& fields, int index) {
    return fields.FieldCount() > index && fields.GetField(index).type == FieldType::String;
}

bool isNumber(const Fields& fields, int index) {
    if (fields.FieldCount() <= index) {
        return false;
    }
    const FieldType t = fields.GetField(index).type;
    return t == FieldType::Single || t == FieldType::Double || t == FieldType::SmallInteger ||
           t == FieldType::Integer;
}

} // namespace

// ---- DemGrid ---------------------------------------------------------------------------------

void DemGrid::Resize(int rows, int columns) {
    if (rows < 0 || columns < 0 || rows > kMaxGridIndex || columns > kMaxGridIndex) {
        throw std::out_of_range("A DEM grid runs from 0 to at most 1000 in each direction.");
    }
    lastRow = rows;
    lastColumn = columns;
    const auto count = static_cast<std::size_t>(rows + 1) * static_cast<std::size_t>(columns + 1);
    x.assign(count, 0.0);
    y.assign(count, 0.0);
    z.assign(count, 0.0);
    columnLongitude.assign(static_cast<std::size_t>(columns) + 1, 0.0);
    rowLatitude.assign(static_cast<std::size_t>(rows) + 1, 0.0);
}

std::size_t DemGrid::Index(int row, int column) const {
    if (row < 0 || column < 0 || row > lastRow || column > lastColumn) {
        throw std::out_of_range("DEM grid index");
    }
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(lastColumn + 1) +
           static_cast<std::size_t>(column);
}

SampleGridView DemGrid::View() const {
    return SampleGridView{x, y, z, static_cast<std::size_t>(lastColumn + 1)};
}

// ---- construction ----------------------------------------------------------------------------

TerrainCommands::TerrainCommands(const TerrainContext& context)
    : cx_(context), kml_(context.desktop, [this] { return cx_.values.viewRefreshDelay; }) {}

TerrainCommands::~TerrainCommands() {
    UnlockEarthInput();
}

IApplicationGE& TerrainCommands::ge() {
    return cx_.window.GE();
}

bool TerrainCommands::checked(const std::string& item) {
    return cx_.options.Checked(item);
}

void TerrainCommands::message(const char* text) {
    cx_.desktop.MessageBox(cx_.window.hWnd(), text, kMessageTitle, mb::Ok | mb::SystemModal);
}

// ---- the preflight check ---------------------------------------------------------------------

bool TerrainCommands::IsTerrainLayerOn() {
    TerrainProbe probe(ge(), cx_.desktop,
                       TerrainProbePauses{.chooseMs = 20, .flyMs = 10, .settleMs = settlePauseMs_});
    return probe.IsTerrainLayerOn();
}

bool TerrainCommands::IsCameraLowEnough(double ceilingMetres) {
    const ICameraInfoGE camera = ge().GetCamera(1);
    cx_.desktop.Sleep(settlePauseMs_);
    return camera.Range <= ceilingMetres;
}

bool TerrainCommands::CheckTerrainReady() {
    (void)ge().GetCamera(1);
    if (!IsTerrainLayerOn()) {
        message(kTerrainLayerMessage);
        return false;
    }
    if (!IsCameraLowEnough(kAltitudeCeiling)) {
        message(kAltitudeMessage);
        return false;
    }
    return true;
}

// ---- sampling --------------------------------------------------------------------------------

TerrainSample TerrainCommands::SampleTerrainPoint(double x, double y) {
    IDesktop& desktop = cx_.desktop;
    const double t0 = RoundHalfEven(static_cast<double>(desktop.Timer()) * 10.0);
    const IPointOnTerrainGE point = ge().GetPointOnTerrainFromScreenCoords(x, y);
    const double t1 = static_cast<double>(desktop.Timer()) * 10.0;
    TerrainSample sample;
    sample.longitude = point.Longitude;
    sample.latitude = point.Latitude;
    sample.altitude = point.Altitude;
    sample.hitGround = point.HitGround;
    sample.ok = t1 - t0 < kQueryTimeoutTenths;
    return sample;
}

void TerrainCommands::LockEarthInput(WindowHandle earthMain) {
    UnlockEarthInput();
    IDesktop& desktop = cx_.desktop;
    lockedWindow_ = earthMain;
    mouseHook_ = desktop.SetMouseHook([this, &desktop](const MouseEvent& event) {
        switch (event.message) {
        case MouseMessage::Move:
            return HookResult::Pass;
        default:
            break;
        }
        if (desktop.GetForegroundWindow() != lockedWindow_) {
            return HookResult::Pass;
        }
        const auto rect = desktop.GetWindowRect(lockedWindow_);
        return rect && rect->containsStrictly(event.screen) ? HookResult::Discard
                                                            : HookResult::Pass;
    });
    keyboardHook_ = desktop.SetKeyboardHook([this, &desktop](const KeyEvent&) {
        return desktop.GetForegroundWindow() == lockedWindow_ ? HookResult::Discard
                                                              : HookResult::Pass;
    });
}

void TerrainCommands::UnlockEarthInput() {
    IDesktop& desktop = cx_.desktop;
    if (mouseHook_ != 0) {
        desktop.Unhook(mouseHook_);
        mouseHook_ = 0;
    }
    if (keyboardHook_ != 0) {
        desktop.Unhook(keyboardHook_);
        keyboardHook_ = 0;
    }
    lockedWindow_ = kNoWindow;
}

void TerrainCommands::storeShape() {
    cx_.target.FinishFeature();
}

void TerrainCommands::addDemVertex(int row, int column) {
    const std::size_t k = dem_.Index(row, column);
    cx_.target.FeatureUnderConstruction().AddPoint(MapPoint{dem_.x[k], dem_.y[k], dem_.z[k]});
}

void TerrainCommands::refreshMap() {
    if (activeView_) {
        activeView_->Refresh();
    }
}

bool TerrainCommands::SampleDemGrid(int columns, int rows) {
    if (columns < 1 || rows < 1 || columns > kMaxGridIndex || rows > kMaxGridIndex) {
        throw std::invalid_argument("A DEM grid needs 1 to 1000 columns and rows.");
    }
    IDesktop& desktop = cx_.desktop;
    dem_.Resize(rows, columns);
    camera_ = ge().GetCamera(1);
    LockEarthInput(ge().GetMainHwnd());
    ScopeExit unlock([this] { UnlockEarthInput(); });
    Geometry& shape = cx_.target.FeatureUnderConstruction();

    for (int i = 0; i <= rows; ++i) {
        for (int j = 0; j <= columns; ++j) {
            const TerrainSample s =
                SampleTerrainPoint(2.0 * j / columns - 1.0, 2.0 * i / rows - 1.0);
            if (!s.ok || !s.hitGround) {
                UnlockEarthInput();
                message(s.ok ? kSkySampleMessage : kSlowQueryMessage);
                return false;
            }
            const std::size_t k = dem_.Index(i, j);
            dem_.x[k] = s.longitude;
            dem_.y[k] = s.latitude;
            dem_.z[k] = s.altitude;
            if (i == 0) {
                dem_.columnLongitude[static_cast<std::size_t>(j)] = s.longitude;
            }
            if (j == 0) {
                dem_.rowLatitude[static_cast<std::size_t>(i)] = s.latitude;
            }
            kml_.ShowSamplePoint(ge(), s.longitude, s.latitude, s.altitude);
            if (mode_ == JoinMode::Points) {
                shape.parts.clear();
                addDemVertex(i, j);
                storeShape();
            }
            desktop.DoEvents();
        }
        if (mode_ == JoinMode::Grid) {
            shape.parts.clear();
            for (int j = 0; j <= columns; ++j) {
                addDemVertex(i, j);
            }
            storeShape();
        } else if (mode_ == JoinMode::Mesh && i >= 1) {
            for (int j = 0; j < columns; ++j) {
                shape.parts.clear();
                addDemVertex(i - 1, j);
                addDemVertex(i - 1, j + 1);
                addDemVertex(i, j + 1);
                addDemVertex(i, j);
                storeShape();
            }
        }
        refreshMap();
        desktop.DoEvents();
    }

    if (mode_ == JoinMode::Grid) {
        kml_.ShowSampleGrid(ge(), dem_.View(), rows, columns);
        for (int j = 0; j <= columns; ++j) {
            shape.parts.clear();
            for (int i = 0; i <= rows; ++i) {
                addDemVertex(i, j);
            }
            storeShape();
        }
        refreshMap();
    } else if (mode_ == JoinMode::Mesh) {
        kml_.ShowSampleMesh(ge(), dem_.View(), rows, columns);
    }
    return true;
}

bool TerrainCommands::SampleContourGrid() {
    IDesktop& desktop = cx_.desktop;
    settlePauseMs_ = kContourSettlePauseMs;
    const ICameraInfoGE kept = ge().GetCamera(1);
    const int columns = settings_.gridSize;
    const int rows = settings_.gridSize;
    if (columns < 1 || columns > kMaxGridIndex) {
        throw std::invalid_argument("A contour grid needs 1 to 1000 columns and rows.");
    }
    contour_ = ContourGrid(columns, rows);
    LockEarthInput(ge().GetMainHwnd());
    bool result = true;
    const char* failure = nullptr;
    {
        ScopeExit unlock([this] { UnlockEarthInput(); });
        for (int i = 0; i <= rows && result; ++i) {
            for (int j = 0; j <= columns; ++j) {
                const TerrainSample s =
                    SampleTerrainPoint(2.0 * j / columns - 1.0, 2.0 * i / rows - 1.0);
                if (!s.ok || !s.hitGround) {
                    failure = s.ok ? kSkySampleMessage : kSlowQueryMessage;
                    result = false;
                    break;
                }
                contour_.D(j, i) = s.altitude;
                // Every sample's own position: under a tilt or over relief the samples do
                // not lie on the row-0 and column-0 axes.
                contour_.SetPosition(j, i, s.longitude, s.latitude);
                if (i == 0) {
                    contour_.X(j) = s.longitude;
                }
                if (j == 0) {
                    contour_.Y(i) = s.latitude;
                }
                desktop.DoEvents();
            }
            desktop.DoEvents();
        }
    }
    if (failure != nullptr) {
        message(failure);
    }
    desktop.Sleep(settlePauseMs_);
    GiveCameraBack(ge(), kept);
    return result;
}

// ---- the commands ----------------------------------------------------------------------------

bool TerrainCommands::startCommand() {
    auto& process = cx_.process;
    cx_.window.ApplyLayout("less_options");
    cx_.ctl.toolbarScribeline.SetEnabled(false);
    process.globe.application = cx_.globe.CreateApplication();
    if (ge().IsInitialized() == 0) {
        return false;
    }
    return CheckTerrainReady();
}

void TerrainCommands::selectGeometryQuietly(int index) {
    // The command picks the geometry itself: the option's click would switch the target back
    // to a new layer, and the user may have chosen an existing one.
    auto& options = cx_.ctl.optGeometryType;
    auto click = std::move(options.Click);
    options.Click = nullptr;
    try {
        options.Select(index);
    } catch (...) {
        options.Click = std::move(click);
        throw;
    }
    options.Click = std::move(click);
}

void TerrainCommands::prepareTarget(int geometryKind) {
    const int kind = cx_.target.PrepareTerrainTarget(geometryKind);
    if (kind != geometryKind) {
        static constexpr const char* kNames[] = {"points", "polylines", "polygons"};
        throw std::runtime_error("The layer \"" + cx_.ctl.cboSelectLayer.Text() + "\" holds " +
                                 kNames[kind] + "; this command writes " + kNames[geometryKind] +
                                 ".");
    }
    activeView_ = cx_.map.Document()->ActiveView();
}

void TerrainCommands::cmdGetDEMDateFromGE_Click() {
    cx_.state.runKey = toolbar_keys::kDem;
    ScopeExit done([this] {
        cx_.state.busy = false;
        cx_.ctl.toolbarScribeline.SetEnabled(true);
    });
    if (!startCommand()) {
        return;
    }
    mode_ = JoinMode::Points;
    if (checked(option_names::kJointDEMPoints2Grid)) {
        mode_ = JoinMode::Grid;
    }
    if (checked(option_names::kJointDEMPoints2Mesh)) {
        mode_ = JoinMode::Mesh;
    }
    const int kind = static_cast<int>(mode_);
    selectGeometryQuietly(kind);
    prepareTarget(kind);

    cx_.state.busy = true;
    // A very wide view rounds the rows to 0; one row step keeps the positions finite.
    (void)SampleDemGrid(std::max(1, cx_.state.demColumns), std::max(1, cx_.state.demRows));
    cx_.target.FillLayerList();
}

ContourSettings TerrainCommands::readContourSettings() {
    const auto& c = cx_.ctl;
    ContourSettings s;
    s.gridSize = c.vscrollDEMResolution.Value();
    const int option = c.optContourLevel.Selected();
    s.levelMode = option == 0 ? 0 : option == 1 ? 1 : 2;
    s.levelCount = c.vscrollContourLevelnumber.Value();
    s.interval = c.vscrollContourLevelInterval.Value();
    s.customList = c.txtContourLevels.Text();
    s.start.byHand = c.optStartElevation.Selected() == 0;
    s.start.text = c.txtStartElevation.Text();
    return s;
}

void TerrainCommands::SquareRenderView() {
    IDesktop& desktop = cx_.desktop;
    const auto render = desktop.GetWindowRect(ge().GetRenderHwnd());
    const WindowHandle main = ge().GetMainHwnd();
    const auto frame = desktop.GetWindowRect(main);
    if (!render || !frame) {
        throw PortError("GetWindowRect", "the globe's windows have no rectangle");
    }
    desktop.SetWindowPos(main, 0, 0, frame->width(),
                         frame->height() + (render->width() - render->height()),
                         swp::NoMove | swp::NoZOrder);
}

void TerrainCommands::RestoreEarthWindowSize(const Rect& saved) {
    cx_.desktop.SetWindowPos(ge().GetMainHwnd(), 0, 0, saved.width(), saved.height(),
                             swp::NoMove | swp::NoZOrder);
}

std::optional<std::string> TerrainCommands::RunContouring(const ContourSettings& settings) {
    IDesktop& desktop = cx_.desktop;
    settings_ = settings;
    const auto saved = desktop.GetWindowRect(ge().GetMainHwnd());
    if (!saved) {
        throw PortError("GetWindowRect", "the globe's main window has no rectangle");
    }
    const bool recover = checked(option_names::kRecoverGERenderViewAfterContouring);
    bool sampled = false;
    try {
        if (checked(option_names::kAllowToSquareGERenderViewWhenContouring)) {
            SquareRenderView();
        }
        sampled = SampleContourGrid();
    } catch (...) {
        // The window is given back its size even when the sampling fails on the way.
        if (recover) {
            try {
                RestoreEarthWindowSize(*saved);
            } catch (...) {
                // The first failure is the one to report.
            }
        }
        throw;
    }
    if (recover) {
        RestoreEarthWindowSize(*saved);
    }
    if (!sampled) {
        return std::nullopt;
    }
    const Yield yield = [&desktop] { desktop.DoEvents(); };
    switch (settings_.levelMode) {
    case 0:
        levels_ = LevelsByNumber(contour_, settings_.levelCount, settings_.start, yield);
        break;
    case 1:
        levels_ = LevelsByInterval(contour_, settings_.interval, settings_.start, yield);
        break;
    default:
        levels_ = LevelsFromList(settings_.customList);
        break;
    }
    trace_ = TraceContours(contour_, levels_, 0, settings_.gridSize, 0, settings_.gridSize, yield);
    return ContourDocumentHead(static_cast<int>(levels_.size()),
                               checked(option_names::kUseGradientColor2GEContours)) +
           ContourDocumentBody(trace_.levelTexts) + ContourDocumentTail();
}

void TerrainCommands::storeContourFeatures() {
    auto featureClass = cx_.target.TargetFeatureClass();
    if (!featureClass) {
        throw std::runtime_error("The contour command has no target layer.");
    }
    const Fields fields = featureClass->GetFields();
    const bool in3D = checked(option_names::kSaveDataIn3D);
    const bool toFields = checked(option_names::kSaveAltitude2TableField);
    // A large grid gives tens of thousands of segments; storing them all without a pause
    // leaves the windows frozen for seconds. The map's progressor counts the stored features
    // and the message loop runs every kStoredFeaturesPerPump of them, so the windows repaint
    // and the progress shows. The toolbar is disabled and closing is refused while busy, so
    // what runs meanwhile cannot touch the target layer.
    IStepProgressor& progress = cx_.map.StepProgressor();
    progress.Show();
    progress.SetPosition(0);
    ScopeExit hide([&progress] { progress.Hide(); });
    int sincePump = 0;
    for (const ContourSegment& s : trace_.segments) {
        auto feature = featureClass->CreateFeature();
        Geometry line = Geometry::empty(GeometryType::Polyline);
        line.AddPoint(MapPoint{s.x1, s.y1, s.level});
        line.AddPoint(MapPoint{s.x2, s.y2, s.level});
        if (in3D) {
            line.zAware = true;
        }
        feature->SetShape(line);
        if (toFields) {
            // An existing layer may hold other fields there: only matching types are written.
            if (isText(fields, 2)) {
                feature->SetValue(2, std::string("contour"));
            }
            if (isNumber(fields, 3)) {
                feature->SetValue(3, line.Point(0).z);
            }
        }
        feature->Store();
        progress.Step();
        if (++sincePump == kStoredFeaturesPerPump) {
            sincePump = 0;
            cx_.desktop.DoEvents();
        }
    }
}

void TerrainCommands::cmdGetContourFromGE_Click() {
    cx_.state.runKey = toolbar_keys::kContour;
    ScopeExit done([this] {
        cx_.state.busy = false;
        cx_.ctl.toolbarScribeline.SetEnabled(true);
    });
    if (!startCommand()) {
        return;
    }
    selectGeometryQuietly(1);
    mode_ = JoinMode::Grid;
    prepareTarget(1);
    const ContourSettings settings = readContourSettings();
    cx_.state.busy = true;
    levels_.clear();
    trace_ = ContourTrace{};
    const std::optional<std::string> document = RunContouring(settings);
    if (document) {
        kml_.LoadKmlText(ge(), *document);
        storeContourFeatures();
    }
    refreshMap();
}

// ---- the preview -----------------------------------------------------------------------------

void TerrainCommands::DrawResolutionText() {
    IDesktop& desktop = cx_.desktop;
    const WindowHandle render = ge().GetRenderHwnd();
    const auto client = desktop.GetClientRect(render);
    if (!client) {
        throw PortError("GetClientRect", "the globe's render window has no size");
    }
    Font font;
    font.face = "Alba";
    font.size = client->height() * 3.0 / 30.0;
    desktop.DrawText(render, cx_.ctl.txtDEMResolution.Text(), *client, font, rgb(255, 0, 0),
                     dt::Center | dt::VCenter | dt::SingleLine);
}

void TerrainCommands::PreviewDEMResolution(int columns, int rows) {
    if (columns < 1 || rows < 1) {
        // Nothing to divide the view into; the text box already shows the numbers.
        return;
    }
    IDesktop& desktop = cx_.desktop;
    desktop.SetForegroundWindow(ge().GetMainHwnd());
    const int target = cx_.values.demPreviewTarget;
    if (target == 1 || target == 2) {
        const IViewExtentsGE e = ge().ViewExtents();
        auto view = cx_.map.Document()->ActiveView();
        Symbol symbol;
        symbol.kind = SymbolKind::SimpleLine;
        symbol.colour = rgb(0, 255, 255);
        symbol.size = 1.0;
        // A new preview replaces the one before.
        view->DeleteAllElements();
        for (int i = 0; i <= rows; ++i) {
            const double y = e.South + (e.North - e.South) * i / rows;
            Geometry line = Geometry::empty(GeometryType::Polyline);
            line.AddPoint({e.West, y, 0.0});
            line.AddPoint({e.East, y, 0.0});
            view->AddLineElement(line, symbol);
        }
        for (int j = 0; j <= columns; ++j) {
            const double x = e.West + (e.East - e.West) * j / columns;
            Geometry line = Geometry::empty(GeometryType::Polyline);
            line.AddPoint({x, e.South, 0.0});
            line.AddPoint({x, e.North, 0.0});
            view->AddLineElement(line, symbol);
        }
        view->Refresh();
    }
    if (target == 0 || target == 2) {
        const WindowHandle render = ge().GetRenderHwnd();
        const auto client = desktop.GetClientRect(render);
        if (!client) {
            throw PortError("GetClientRect", "the globe's render window has no size");
        }
        const int width = client->width();
        const int height = client->height();
        const int dx = static_cast<int>(RoundHalfEven(static_cast<double>(width) / columns));
        const int dy = static_cast<int>(RoundHalfEven(static_cast<double>(height) / rows));
        const Pen pen{rgb(0, 255, 255), 2, RasterOp::Copy};
        for (int i = 0; i <= rows; ++i) {
            desktop.DrawLine(render, Point{0, i * dy}, Point{width, i * dy}, pen);
        }
        for (int j = 0; j <= columns; ++j) {
            desktop.DrawLine(render, Point{j * dx, 0}, Point{j * dx, height}, pen);
        }
        DrawResolutionText();
    }
}

} // namespace scribeline::terrain
