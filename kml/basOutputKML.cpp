#include "kml/basOutputKML.hpp"

#include "kml/kml_format.hpp"

#include <cmath>
#include <fstream>
#include <stdexcept>

namespace scribeline {

namespace {

constexpr int kWgs84 = 4326;
// False origin and resolution of the geographic reference the export projects into.
constexpr double kFalseOriginX = -180.0;
constexpr double kFalseOriginY = -90.0;
constexpr double kUnitsPerDegree = 1000000.0;

constexpr std::string_view kStyleId = "FEATURES";
constexpr std::string_view kMessageTitle = "Export to Google Earth";

std::string Indented(int spaces, std::string_view text) {
    std::string out(static_cast<std::size_t>(spaces), ' ');
    out += text;
    return out;
}

// One line of the export file at an indent, ended with CR LF.
void Line(std::string& out, int indent, std::string_view text) {
    out += Indented(indent, text);
    out += kKmlLineEnd;
}

std::string Element(std::string_view tag, std::string_view value) {
    std::string out = "<";
    out += tag;
    out += '>';
    out += value;
    out += "</";
    out += tag;
    out += '>';
    return out;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size(); // never rescan the replacement, so "&lt;" stays as it is
    }
}

std::string Upper(std::string text) {
    for (auto& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::shared_ptr<ILayer> FindLayer(IMap& map, const std::string& layerName) {
    for (const auto& layer : map.Layers()) {
        if (layer && layer->Name() == layerName) {
            return layer;
        }
    }
    return nullptr;
}

std::shared_ptr<IFeatureLayer> AsFeatureLayer(const std::shared_ptr<ILayer>& layer) {
    if (!layer || layer->Kind() != LayerKind::Feature) {
        return nullptr;
    }
    return std::dynamic_pointer_cast<IFeatureLayer>(layer);
}

enum class PlacemarkForm { None, Point, Polyline, Polygon };

PlacemarkForm FormOf(GeometryType type) {
    switch (type) {
    case GeometryType::Point:
        return PlacemarkForm::Point;
    case GeometryType::Polyline:
        return PlacemarkForm::Polyline;
    case GeometryType::Polygon:
        return PlacemarkForm::Polygon;
    default:
        return PlacemarkForm::None;
    }
}

std::string_view KindName(PlacemarkForm form) {
    switch (form) {
    case PlacemarkForm::Point:
        return "POINT";
    case PlacemarkForm::Polyline:
        return "POLYLINE";
    case PlacemarkForm::Polygon:
        return "POLYGON";
    case PlacemarkForm::None:
        break;
    }
    return {};
}

void OpenPlacemark(std::string& out, const std::string& number) {
    Line(out, 7, "<Placemark>");
    Line(out, 9, Element("name", number));
    Line(out, 9, "<styleUrl>#FEATURES</styleUrl>");
}

void ClosePlacemark(std::string& out) {
    Line(out, 7, "</Placemark>");
}

void AppendPointPlacemark(std::string& out, const std::string& number, const Geometry& shape) {
    const MapPoint& p = shape.Point(0);
    OpenPlacemark(out, number);
    Line(out, 9, "<Point>");
    Line(out, 11, "<extrude>0</extrude>");
    Line(out, 11, "<altitudeMode>clampToGround</altitudeMode>");
    std::string coordinates = "<coordinates>";
    coordinates.append(13, ' ');
    AppendKmlTuple(coordinates, p.x, p.y, 0.0);
    Line(out, 11, coordinates);
    Line(out, 0, "</coordinates>");
    Line(out, 9, "</Point>");
    ClosePlacemark(out);
}

void AppendPolylinePlacemarks(std::string& out, IGeometryEngine& engine, const std::string& number,
                              const Geometry& shape) {
    for (const auto& path : shape.parts) {
        OpenPlacemark(out, number);
        Line(out, 11, "<LineString>");
        Line(out, 13, "<extrude>0</extrude>");
        Line(out, 13, "<tessellate>0</tessellate>");
        Line(out, 13, "<altitudeMode>clampToGround</altitudeMode>");
        Line(out, 13, Element("coordinates", WriteSegmentCoordinates(engine, path, false)));
        Line(out, 11, "</LineString>");
        ClosePlacemark(out);
    }
}

void AppendPolygonPlacemark(std::string& out, IGeometryEngine& engine, const std::string& number,
                            const std::vector<MapPoint>& outer, bool reverseOuter,
                            const std::vector<std::vector<MapPoint>>& inner) {
    OpenPlacemark(out, number);
    Line(out, 9, "<Polygon>");
    Line(out, 11, "<extrude>0</extrude>");
    Line(out, 11, "<altitudeMode>clampToGround</altitudeMode>");
    Line(out, 11, "<outerBoundaryIs>");
    Line(out, 11, "<LinearRing>");
    Line(out, 13, Element("coordinates", WriteSegmentCoordinates(engine, outer, reverseOuter)));
    Line(out, 11, "</LinearRing>");
    Line(out, 11, "</outerBoundaryIs>");
    for (const auto& ring : inner) {
        Line(out, 11, "<innerBoundaryIs>");
        Line(out, 11, "<LinearRing>");
        Line(out, 13, Element("coordinates", WriteSegmentCoordinates(engine, ring, false)));
        Line(out, 11, "</LinearRing>");
        Line(out, 11, "</innerBoundaryIs>");
    }
    Line(out, 9, "</Polygon>");
    ClosePlacemark(out);
}

void AppendPolygonPlacemarks(std::string& out, IGeometryEngine& engine, const std::string& number,
                             const Geometry& shape) {
    const Geometry simple = engine.Simplify(shape);
    const auto exteriors = engine.ExteriorRings(simple);
    if (exteriors.empty()) {
        for (const auto& part : simple.parts) {
            AppendPolygonPlacemark(out, engine, number, part, false, {});
        }
        return;
    }
    for (std::size_t k = 0; k < exteriors.size(); ++k) {
        // The host's exterior rings run clockwise; KML outer boundaries the other way.
        AppendPolygonPlacemark(out, engine, number, exteriors[k], true,
                               engine.InteriorRings(simple, static_cast<int>(k)));
    }
}

// Writes to the export file and fails loudly: a short file must not pass as complete.
class ExportFile {
public:
    explicit ExportFile(const std::filesystem::path& path)
        : path_(path), file_(path, std::ios::binary | std::ios::trunc) {
        check();
    }
    void write(const std::string& text) {
        file_ << text;
        check();
    }
    void close() {
        file_.close();
        check();
    }

private:
    void check() const {
        if (!file_) {
            throw KmlFileError(path_);
        }
    }
    std::filesystem::path path_;
    std::ofstream file_;
};

// Hides the status bar progress however the export ends.
class ProgressHider {
public:
    explicit ProgressHider(IStepProgressor& progress) : progress_(progress) {}
    ProgressHider(const ProgressHider&) = delete;
    ProgressHider& operator=(const ProgressHider&) = delete;
    ~ProgressHider() {
        try {
            progress_.Hide();
        } catch (...) {
            // The export's own outcome matters more than a status bar that stays visible.
        }
    }

private:
    IStepProgressor& progress_;
};

} // namespace

std::string_view ExportButtonCaption(int checkResult) {
    switch (checkResult) {
    case kExportLayerOk:
        return "Export this layer to GE";
    case kExportLayerNoReference:
        return "This layer has no SRS!";
    case kExportLayerNoFeatures:
        return "No features in this layer!";
    default:
        throw std::out_of_range("export check result " + std::to_string(checkResult));
    }
}

std::string EscapeKmlText(std::string_view text) {
    std::string out(text);
    ReplaceAll(out, "<Null>", "Null");
    ReplaceAll(out, "&", "&amp;");
    ReplaceAll(out, "<", "&lt;");
    ReplaceAll(out, ">", "&gt;");
    ReplaceAll(out, "'", "&apos;");
    ReplaceAll(out, "\"", "&quot;");
    ReplaceAll(out, "#", "No.");
    ReplaceAll(out, "\r", "");
    ReplaceAll(out, "\n", "<br />");
    ReplaceAll(out, "\t", "");
    return Trimmed(out);
}

std::string RandomKmlColor(IDesktop& desktop, std::string_view alpha) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(alpha);
    for (int k = 0; k < 3; ++k) {
        const double r = desktop.Rnd();
        // Whole part of 255 x [0, 1): 0 to 254; clamped against a generator that reaches 1.
        int byte = static_cast<int>(std::floor(255.0 * r));
        byte = byte < 0 ? 0 : (byte > 254 ? 254 : byte);
        out += kHex[byte / 16];
        out += kHex[byte % 16];
    }
    return out;
}

std::string WriteLayerStyle(IDesktop& desktop, std::string_view kindName) {
    std::string out;
    auto colour = [&desktop] { return Element("color", RandomKmlColor(desktop, kExportAlpha)); };
    if (kindName == "POINT") {
        Line(out, 2, "<Style id=\"" + EscapeKmlText(kStyleId) + "\">");
        Line(out, 4, "<IconStyle>");
        Line(out, 6, colour());
        Line(out, 6, "<scale></scale>");
        Line(out, 6, "<Icon>");
        Line(out, 8, "<href>root://icons/palette-4.png</href>");
        Line(out, 8, "<x>32</x>");
        Line(out, 8, "<y>128</y>");
        Line(out, 8, "<w>32</w>");
        Line(out, 8, "<h>32</h>");
        Line(out, 6, "</Icon>");
        Line(out, 4, "</IconStyle>");
        Line(out, 4, "<LabelStyle>");
        Line(out, 6, "<color>00FFFFFF</color>");
        Line(out, 4, "</LabelStyle>");
    } else if (kindName == "POLYLINE") {
        Line(out, 2, "<Style id=\"" + EscapeKmlText(kStyleId) + "\">");
        Line(out, 4, "<LineStyle>");
        Line(out, 6, colour());
        Line(out, 6, "<width>1</width>");
        Line(out, 4, "</LineStyle>");
    } else if (kindName == "POLYGON") {
        Line(out, 2, "<Style id=\"" + EscapeKmlText(kStyleId) + "\">");
        Line(out, 4, "<LineStyle>");
        Line(out, 6, "<color>FF000000</color>");
        Line(out, 6, "<width>1</width>");
        Line(out, 4, "</LineStyle>");
        Line(out, 4, "<PolyStyle>");
        Line(out, 6, "<outline>1</outline>");
        Line(out, 6, "<fill>1</fill>");
        Line(out, 6, colour());
        Line(out, 4, "</PolyStyle>");
    } else {
        throw std::invalid_argument("no layer style for kind \"" + std::string(kindName) + "\"");
    }
    Line(out, 2, "</Style>");
    return out;
}

std::string WriteSegmentCoordinates(IGeometryEngine& engine,
                                    const std::vector<MapPoint>& ringOrPath, bool reversed) {
    const std::vector<Segment> segments = engine.Segments(ringOrPath);
    if (segments.empty()) {
        return {};
    }
    std::vector<const MapPoint*> points;
    points.reserve(segments.size() + 1);
    points.push_back(&segments.front().FromPoint);
    for (const auto& s : segments) {
        points.push_back(&s.ToPoint);
    }
    std::string out;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const MapPoint& p = *points[reversed ? points.size() - 1 - k : k];
        if (k > 0) {
            out += ' ';
        }
        AppendKmlTuple(out, p.x, p.y, 0.0);
    }
    return out;
}

// ---- basOutputKML ----------------------------------------------------------------------------

basOutputKML::basOutputKML(IDesktop& desktop, WindowHandle messageOwner)
    : desktop_(desktop), messageOwner_(messageOwner) {}

int basOutputKML::GetLayerGeometryKind(IMap& map, const std::string& layerName) {
    const auto layer = AsFeatureLayer(FindLayer(map, layerName));
    if (!layer) {
        return -1;
    }
    const auto featureClass = layer->FeatureClass();
    if (!featureClass) {
        return -1;
    }
    switch (featureClass->ShapeType()) {
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

int basOutputKML::CheckExportLayer(IMap& map, const std::string& layerName) {
    const auto layer = FindLayer(map, layerName);
    exportLayer_ = AsFeatureLayer(layer);
    exportReference_ = layer ? layer->SpatialReference() : nullptr;
    if (!exportReference_ || Upper(Trimmed(exportReference_->Name())) == "UNKNOWN") {
        return kExportLayerNoReference;
    }
    const auto featureClass = exportLayer_ ? exportLayer_->FeatureClass() : nullptr;
    if (!featureClass || featureClass->FeatureCount(nullptr) == 0) {
        return kExportLayerNoFeatures;
    }
    return kExportLayerOk;
}

int basOutputKML::ExportLayerToKml(IMapObjectFactory& factory, IStepProgressor& progress,
                                   const std::filesystem::path& path, const ICameraInfoGE& camera,
                                   bool useSelection) {
    if (!exportLayer_ || !exportReference_) {
        throw std::logic_error("no export layer with a spatial reference has been checked");
    }
    const std::string lookAt = BuildLookAt(camera);

    const auto featureClass = exportLayer_->FeatureClass();
    if (!featureClass) {
        throw std::logic_error("the export layer has no feature class");
    }
    QueryFilter filter;
    filter.WhereClause = exportLayer_->DefinitionExpression();

    const auto geographic =
        factory.SpatialReferenceFactory().CreateGeographicCoordinateSystem(kWgs84);
    geographic->SetFalseOriginAndUnits(kFalseOriginX, kFalseOriginY, kUnitsPerDegree);
    const bool alreadyGeographic = exportReference_->IsEqual(*geographic);

    const auto selection = exportLayer_->SelectionSet();
    std::unique_ptr<IFeatureCursor> cursor;
    if (useSelection && selection && selection->Count() > 0) {
        cursor = selection->Search(&filter, false);
    } else {
        cursor = featureClass->Search(&filter, false);
    }
    progress.SetPosition(0);
    const ProgressHider hideProgress(progress);

    desktop_.Randomize();

    ExportFile file(path);
    std::string text;
    Line(text, 0, kKmlXmlDeclaration);
    Line(text, 0, "<kml xmlns=\"" + std::string(kKmlNamespace20) + "\">");
    Line(text, 0, "<Document>");
    Line(text, 2, "<name>Scribeline2.2</name>");
    Line(text, 2, "<open>0</open>");
    Line(text, 0, lookAt); // the LookAt brings its own two spaces
    file.write(text);

    std::shared_ptr<IFeature> feature = cursor->NextFeature();
    const PlacemarkForm form = feature ? FormOf(feature->Shape().type) : PlacemarkForm::None;
    if (form != PlacemarkForm::None) {
        file.write(WriteLayerStyle(desktop_, KindName(form)));
    }
    text.clear();
    Line(text, 2, "<Folder>");
    Line(text, 4, "<name>Features</name>");
    Line(text, 4, "<open>0</open>");
    file.write(text);

    IGeometryEngine& engine = factory.GeometryEngine();
    int number = 1;
    bool anyValid = false;
    while (form != PlacemarkForm::None && feature) {
        Geometry shape = feature->Shape();
        if (!alreadyGeographic) {
            shape.spatialReference = exportReference_;
            shape = engine.Project(shape, *geographic);
        }
        if (!shape.IsEmpty()) {
            anyValid = true;
            const std::string name = EscapeKmlText(std::to_string(number));
            text.clear();
            switch (form) {
            case PlacemarkForm::Point:
                AppendPointPlacemark(text, name, shape);
                break;
            case PlacemarkForm::Polyline:
                AppendPolylinePlacemarks(text, engine, name, shape);
                break;
            case PlacemarkForm::Polygon:
                AppendPolygonPlacemarks(text, engine, name, shape);
                break;
            case PlacemarkForm::None:
                break;
            }
            file.write(text);
            ++number;
        }
        feature = cursor->NextFeature();
        progress.Step();
    }

    if (!anyValid) {
        desktop_.MessageBox(messageOwner_, exportLayer_->Name() + " contains no valid geometry.",
                            std::string(kMessageTitle), mb::Ok | mb::IconCritical);
        file.close();
        return kExportIncomplete;
    }
    text.clear();
    Line(text, 2, "</Folder>");
    Line(text, 0, "</Document>");
    Line(text, 0, "</kml>");
    file.write(text);
    file.close();
    return kExportComplete;
}

} // namespace scribeline
