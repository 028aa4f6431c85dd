// basOutputKML: the export of a whole map layer to one KML 2.0 file in WGS 84 longitude and
// latitude, and the checks that decide whether a layer can be exported. The file is written
// line by line while the features are read. Opening it in the globe is the caller's
// (basKML::OpenKmlInEarth).
//
// Failures: every map host operation may raise PortError and an unwritable file raises
// KmlFileError; the export has no recovery of its own and the file may stay incomplete.
#pragma once

#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "kml/kml_format.hpp"
#include "platform/desktop.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace scribeline {

// The export file in the temporary folder.
inline constexpr std::string_view kExportFileName = "~tempExportToGE.kml";
// The alpha of every colour the export writes.
inline constexpr std::string_view kExportAlpha = "96";

// Results of CheckExportLayer.
inline constexpr int kExportLayerOk = 0;
inline constexpr int kExportLayerNoReference = 1;
inline constexpr int kExportLayerNoFeatures = 2;
// Results of ExportLayerToKml.
inline constexpr int kExportComplete = 0;
inline constexpr int kExportIncomplete = 9;

// The caption of the export button for a CheckExportLayer result, and for a layer whose
// geometry kind is -1.
[[nodiscard]] std::string_view ExportButtonCaption(int checkResult);
inline constexpr std::string_view kUnsupportedGeometryCaption = "Unsupport geometry contained";

// Text made safe for a KML element: "<Null>" becomes "Null"; & < > ' " are escaped; "#"
// becomes "No."; CR and TAB are removed; LF becomes "<br />"; leading and trailing spaces go.
[[nodiscard]] std::string EscapeKmlText(std::string_view text);

// alpha followed by three random bytes (0..254 each, from desktop.Rnd()) as upper-case hex.
[[nodiscard]] std::string RandomKmlColor(IDesktop& desktop, std::string_view alpha);

// The Style element "FEATURES" for "POINT", "POLYLINE" or "POLYGON", every line ending with
// CR LF, its colours from RandomKmlColor(kExportAlpha). Raises std::invalid_argument for any
// other kind name.
[[nodiscard]] std::string WriteLayerStyle(IDesktop& desktop, std::string_view kindName);

// The coordinate list of a ring or path taken from its segments (start of the first, then the
// end of each): tuples x,y,0 joined by single spaces, last to first when reversed. Empty for
// a path without segments.
[[nodiscard]] std::string WriteSegmentCoordinates(IGeometryEngine& engine,
                                                  const std::vector<MapPoint>& ringOrPath,
                                                  bool reversed);

class basOutputKML {
public:
    // The desktop is borrowed and must outlive this object (random numbers, message boxes).
    // messageOwner owns the "no valid geometry" message box; kNoWindow for none.
    explicit basOutputKML(IDesktop& desktop, WindowHandle messageOwner = kNoWindow);

    // The first layer of the map (group members included) named exactly layerName: 0 point,
    // 1 polyline, 2 polygon; -1 for a group, a non-feature layer, another shape type, a
    // layer without a feature class or no such layer.
    int GetLayerGeometryKind(IMap& map, const std::string& layerName);

    // Finds the layer as GetLayerGeometryKind does and remembers it and its reference as the
    // export layer. kExportLayerNoReference when it has no usable reference (none, or one
    // named "unknown") or does not exist; kExportLayerNoFeatures when its feature class has
    // no features (or it has no feature class); kExportLayerOk otherwise.
    int CheckExportLayer(IMap& map, const std::string& layerName);

    // Writes the export layer's features (the selected ones when useSelection is set and
    // something is selected, else all; both within the layer's definition query) to `path`,
    // projected to WGS 84, with the LookAt of `camera`. kExportComplete, or
    // kExportIncomplete after the "contains no valid geometry." message. Raises
    // std::logic_error when no exportable layer was checked before.
    int ExportLayerToKml(IMapObjectFactory& factory, IStepProgressor& progress,
                         const std::filesystem::path& path, const ICameraInfoGE& camera,
                         bool useSelection);

    // The layer of the last CheckExportLayer; null when there was none.
    [[nodiscard]] const std::shared_ptr<IFeatureLayer>& ExportLayer() const { return exportLayer_; }

private:
    IDesktop& desktop_;
    WindowHandle messageOwner_;
    std::shared_ptr<IFeatureLayer> exportLayer_;
    std::shared_ptr<ISpatialReference> exportReference_;
};

} // namespace scribeline
