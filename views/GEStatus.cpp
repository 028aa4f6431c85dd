// GEStatus: the map and globe status reports, their texts and the globe report's probes.
#include "views/GEStatus.hpp"

#include "kml/kml_format.hpp"
#include "terrain/terrain_probe.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <system_error>

namespace scribeline::views {

namespace {

constexpr const char* kLineEnd = "\r\n";
// A change of range that counts as the view having answered the probe click, metres.
constexpr double kRangeAnswer = 0.01;

constexpr std::array<const char*, 21> kUnitNames = {"Unknown Unit",
                                                    "Inche",
                                                    "Point",
                                                    "Feet",
                                                    "Yard",
                                                    "Mile",
                                                    "Nautical Mile",
                                                    "Millimeter",
                                                    "Centimeter",
                                                    "Meter",
                                                    "Kilometer",
                                                    "Decimal Degree",
                                                    "Decimeter",
                                                    "",
                                                    "",
                                                    "",
                                                    "",
                                                    "",
                                                    "",
                                                    "",
                                                    ""};

constexpr std::array<const char*, 6> kAppTypeNames = {"Google Earth Enterprise Client",
                                                      "Google Earth Pro",
                                                      "Google Earth Plus",
                                                      "",
                                                      "",
                                                      "Google Earth Free"};

const char* boolText(bool value) {
    return value ? "True" : "False";
}

const char* yesNo(int answer) {
    return answer == 1 ? "Yes" : "No";
}

// The whole step nearest `scaled` when `scaled` lies within a rounding error of it, else the
// whole step below.
double floorTolerant(double scaled) {
    const double nearest = std::round(scaled);
    if (std::fabs(scaled - nearest) <= 1e-12 * std::max(1.0, std::fabs(scaled))) {
        return nearest;
    }
    return std::floor(scaled);
}

} // namespace

// ---- the texts ---------------------------------------------------------------------------

std::string UnitName(int code) {
    if (code < 0 || code >= static_cast<int>(kUnitNames.size())) {
        throw std::out_of_range("The map host gave the unknown unit code " + std::to_string(code) +
                                ".");
    }
    return kUnitNames[static_cast<std::size_t>(code)];
}

std::string ProductLine(int productCode) {
    switch (productCode) {
    case 100:
        return "Version: ArcView";
    case 200:
        return "Version: ArcEditor";
    case 300:
        return "Version: ArcInfo";
    default:
        return "";
    }
}

std::string AppTypeName(int appType) {
    if (appType < 0 || appType >= static_cast<int>(kAppTypeNames.size())) {
        throw std::out_of_range("Google Earth gave the unknown application type " +
                                std::to_string(appType) + ".");
    }
    return kAppTypeNames[static_cast<std::size_t>(appType)];
}

std::string FormatGeneral(double value, char decimalSeparator) {
    return FormatGeneralNumber(value, decimalSeparator);
}

std::string FormatFixed(double value, int decimals, char decimalSeparator) {
    if (!std::isfinite(value)) {
        throw std::domain_error("A number to show is not finite.");
    }
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        throw std::domain_error("A number to show is too long.");
    }
    std::string text(buffer.data(), result.ptr);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1); // -0.000 is shown as 0.000
    }
    std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

double FloorHundredths(double value) {
    return floorTolerant(value * 100) / 100;
}

double FloorWhole(double value) {
    return floorTolerant(value);
}

std::string BuildArcStatusText(const MapStatus& status, char decimalSeparator) {
    const std::string mapUnit = UnitName(status.mapUnits);
    const std::string distanceUnit = UnitName(status.distanceUnits);
    std::string text;
    text += ProductLine(status.productCode);
    text += kLineEnd;
    text += "spatial reference name: " + status.referenceName + kLineEnd;
    text += "spatial reference EPSG: " + std::to_string(status.referenceCode) + kLineEnd;
    text += "map unit: " + mapUnit + kLineEnd;
    text += "distance unit: " + distanceUnit + kLineEnd;
    text += "Map Extents:";
    text += kLineEnd;
    text += "  XMin: " + FormatGeneral(status.extent.XMin, decimalSeparator) + kLineEnd;
    text += "  XMax: " + FormatGeneral(status.extent.XMax, decimalSeparator) + kLineEnd;
    text += "  YMin: " + FormatGeneral(status.extent.YMin, decimalSeparator) + kLineEnd;
    text += "  YMax: " + FormatGeneral(status.extent.YMax, decimalSeparator);
    return text;
}

std::string FormatEarthStatusText(const EarthStatus& s, char sep) {
    std::string text;
    auto line = [&text](const std::string& content) {
        text += content;
        text += kLineEnd;
    };
    line("Version: " + std::to_string(s.versionMajor) + "." + std::to_string(s.versionMinor) + "." +
         std::to_string(s.versionBuild));
    line("Type: " + AppTypeName(s.appType));
    line(std::string("Navigation: ") + boolText(s.navigation));
    line(std::string("Terrain Layer: ") + boolText(s.terrainLayer));
    line("Elevation Exaggeration: " + FormatGeneral(s.exaggeration, sep));
    line(std::string("Initialized: ") + yesNo(s.initialized));
    line(std::string("Online: ") + yesNo(s.online));
    line("Auto Pilot Speed: " + FormatGeneral(FloorHundredths(s.autoPilotSpeed), sep));
    line("View Extents");
    line("             West:  " + FormatFixed(s.west, 7, sep));
    line("             East:  " + FormatFixed(s.east, 7, sep));
    line("             South: " + FormatFixed(s.south, 7, sep));
    line("             North: " + FormatFixed(s.north, 7, sep));
    line("Range: " + FormatGeneral(FloorWhole(s.range), sep));
    line("Azimuth: " + FormatFixed(s.azimuth, 3, sep));
    line("Tilt: " + FormatFixed(s.tilt, 3, sep));
    return text;
}

// ---- the globe report's probes -------------------------------------------------------------

EarthStatusProbe::EarthStatusProbe(IDesktop& desktop, IGlobeConnector& connector,
                                   std::function<WindowHandle()> digitizerWindow)
    : desktop_(desktop), connector_(connector), digitizerWindow_(std::move(digitizerWindow)) {}

IApplicationGE& EarthStatusProbe::ge() {
    if (!ge_) {
        ge_ = connector_.CreateApplication();
    }
    return *ge_;
}

std::string EarthStatusProbe::BuildEarthStatusText(char decimalSeparator) {
    ge_ = connector_.CreateApplication();
    IApplicationGE& earth = *ge_;
    stored_ = earth.GetCamera(1);
    EarthStatus s;
    s.versionMajor = earth.VersionMajor();
    s.versionMinor = earth.VersionMinor();
    s.versionBuild = earth.VersionBuild();
    s.appType = earth.VersionAppType();
    // An unknown type ends the report before anything moves the view.
    (void)AppTypeName(s.appType);
    s.navigation = ProbeNavigationControl();
    // The terrain test measures at exaggeration 1.0; the report shows and keeps the user's.
    const double exaggeration = earth.ElevationExaggeration();
    s.terrainLayer = IsTerrainLayerOn();
    if (earth.ElevationExaggeration() != exaggeration) {
        earth.SetElevationExaggeration(exaggeration);
    }
    s.exaggeration = exaggeration;
    s.initialized = earth.IsInitialized();
    s.online = earth.IsOnline();
    s.autoPilotSpeed = earth.AutoPilotSpeed();
    s.west = earth.ViewExtents().West;
    s.east = earth.ViewExtents().East;
    s.south = earth.ViewExtents().South;
    s.north = earth.ViewExtents().North;
    s.range = stored_.Range;
    s.azimuth = stored_.Azimuth;
    s.tilt = stored_.Tilt;
    return FormatEarthStatusText(s, decimalSeparator);
}

void EarthStatusProbe::BringEarthProbeIntoView() {
    const WindowHandle main = ge().GetMainHwnd();
    const WindowHandle render = ge().GetRenderHwnd();
    if (desktop_.IsIconic(main)) {
        desktop_.ShowWindow(main, ShowCommand::Restore);
        desktop_.Sleep(50);
    }
    const auto mainRect = desktop_.GetWindowRect(main);
    const auto renderRect = desktop_.GetWindowRect(render);
    if (!mainRect || !renderRect) {
        return; // nothing to place by; the probe finds that out itself
    }
    const auto probe =
        desktop_.ClientToScreen(render, {renderRect->width() - kProbeFromRight, kProbeY});
    if (!probe) {
        return;
    }
    // Only the primary screen is known to the desktop port: the window goes to its right
    // edge, and up or down just enough for the probe point to lie on it.
    const Size screen = desktop_.GetScreenSize();
    int top = mainRect->top;
    if (probe->y >= screen.height) {
        top -= probe->y - screen.height + 100;
    } else if (probe->y < 0) {
        top = 0;
    }
    const int left = screen.width - mainRect->width();
    desktop_.SetWindowPos(main, left, top, 0, 0, swp::NoSize | swp::NoZOrder);
}

bool EarthStatusProbe::ProbeNavigationControl() {
    BringEarthProbeIntoView();
    const WindowHandle main = ge().GetMainHwnd();
    const WindowHandle render = ge().GetRenderHwnd();
    const auto renderRect = desktop_.GetWindowRect(render);
    if (!renderRect) {
        return false;
    }
    const auto probe =
        desktop_.ClientToScreen(render, {renderRect->width() - kProbeFromRight, kProbeY});
    if (!probe) {
        return false;
    }
    const Point cursor = desktop_.GetCursorPos();

    const ICameraInfoGE first = ge().GetCamera(1);
    desktop_.SetForegroundWindow(main);
    desktop_.SetCursorPos(*probe);
    desktop_.Sleep(50);
    desktop_.SetCursorPos(*probe);
    desktop_.Sleep(25);
    desktop_.SendMouseInput(MouseMessage::LeftDown);
    desktop_.Sleep(25);
    desktop_.SendMouseInput(MouseMessage::LeftUp);
    desktop_.Sleep(50);

    const ICameraInfoGE second = ge().GetCamera(1);
    desktop_.SetCursorPos(cursor);

    desktop_.Sleep(100);
    terrain::GiveCameraBack(ge(), first);
    if (digitizerWindow_) {
        const WindowHandle digitizer = digitizerWindow_();
        if (digitizer != kNoWindow) {
            desktop_.SetForegroundWindow(digitizer);
        }
    }
    return std::fabs(first.Range - second.Range) >= kRangeAnswer;
}

bool EarthStatusProbe::IsTerrainLayerOn() {
    terrain::TerrainProbe probe(ge(), desktop_,
                                terrain::TerrainProbePauses{.chooseMs = kSettleMs,
                                                            .flyMs = kSettleMs,
                                                            .settleMs = kSettleMs},
                                &stored_);
    return probe.IsTerrainLayerOn();
}

// ---- the subsystem ---------------------------------------------------------------------------

StatusReports::StatusReports(const ViewsContext& context) : cx_(context) {}

void StatusReports::ShowGEStatus() {
    EarthStatusProbe probe(cx_.desktop, cx_.globe, [this] { return cx_.window.hWnd(); });
    const std::string text = probe.BuildEarthStatusText('.');
    cx_.desktop.MessageBox(cx_.window.hWnd(), text, kEarthStatusTitle, mb::Ok);
}

MapStatus StatusReports::ReadMapStatus() {
    IMapApplication& host = cx_.map;
    auto document = host.Document();
    auto map = document->FocusMap();
    auto view = document->ActiveView();
    MapStatus status;
    status.productCode = host.ProductCode();
    if (auto reference = map->SpatialReference()) {
        status.referenceName = reference->Name();
        status.referenceCode = reference->FactoryCode();
    } else {
        status.referenceName = "Unknown";
    }
    status.mapUnits = map->MapUnits();
    status.distanceUnits = map->DistanceUnits();
    status.extent = view->Extent();
    return status;
}

void StatusReports::GetArcStatus() {
    const std::string text = BuildArcStatusText(ReadMapStatus(), '.');
    cx_.desktop.MessageBox(cx_.window.hWnd(), text, kApplicationTitle, mb::Ok);
    cx_.map.Document()->FocusMap()->SetDistanceUnits(kMetersUnitCode);
}

} // namespace scribeline::views
