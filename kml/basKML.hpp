// basKML: the live KML of the digitizer. Builds the document of the feature under
// construction and of DEM samples, hands it to the globe as text or through the live feature
// file, clears the display, loads given KML, and keeps the stored camera that every document's
// LookAt is built from. The shared text pieces (number format, LookAt) are in kml_format.hpp.
//
// The globe is passed to each routine and used for that call only, so the window may replace
// its application object at any time.
//
// Failures: every globe operation may raise PortError; a file that cannot be written raises
// KmlFileError. LoadKmlText, OpenKmlInEarth and ClearFeatureInEarth never raise: on any failure
// they stop and reset the view instead, silently: the stored camera's tilt becomes 0 when it
// was negative and its altitude mode 1 (relative to ground), then after the view refresh delay
// (IDesktop::Sleep) it is applied with SetCamera at speed 5.0; failures of the reset itself
// are ignored, and without any camera read so far there is nothing to reset to. Every other
// routine passes failures on.
#pragma once

#include "command/globe_port.hpp"
#include "command/map_port.hpp"
#include "kml/kml_format.hpp"
#include "platform/desktop.hpp"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace scribeline {

// Geometry kinds shared with the digitizing run; any other value writes no geometry.
inline constexpr int kGeometryKindPoint = 0;
inline constexpr int kGeometryKindPolyline = 1;
inline constexpr int kGeometryKindPolygon = 2;

// Icon colours and altitude modes the callers pass.
inline constexpr std::string_view kLiveFeatureIconColour = "ffffff00";
inline constexpr std::string_view kSamplePointIconColour = "ffff00ff";
inline constexpr std::string_view kAltitudeModeClampToGround = "clampToGround";
inline constexpr std::string_view kAltitudeModeAbsolute = "absolute";

// A read-only view of vertices: x longitude (degrees), y latitude (degrees), z altitude
// (metres). Borrows the geometry or the points, which must outlive the view and not change
// while a routine reads it. Vertices run across the geometry's parts in order.
class VertexList {
public:
    // Implicit on purpose: callers pass their geometry or points straight in.
    VertexList(const Geometry& geometry) : geometry_(&geometry) {}
    VertexList(std::span<const MapPoint> points) : points_(points) {}
    VertexList(const std::vector<MapPoint>& points) : points_(points) {}

    [[nodiscard]] int Count() const;
    // Raises std::out_of_range unless 0 <= i < Count().
    [[nodiscard]] const MapPoint& Vertex(int i) const;

private:
    const Geometry* geometry_ = nullptr; // null: the points below
    std::span<const MapPoint> points_;
};

// A read-only view of the DEM sample grid without copying it: sample (row i, column j) is
// element i * rowStride + j of each span; x longitude, y latitude (degrees), z altitude
// (metres). The spans borrow the terrain subsystem's arrays.
struct SampleGridView {
    std::span<const double> x;
    std::span<const double> y;
    std::span<const double> z;
    std::size_t rowStride = 0;
};

// Remembers the coordinate tuples text of a vertex list, vertex by vertex, so that the next
// list sharing a prefix with it reuses that prefix's text. The text is the same as formatting
// every vertex afresh.
class TupleMemo {
public:
    // Appends the tuples of vertices 0 .. count-1 joined by single spaces.
    void AppendList(std::string& out, const VertexList& vertices, int count);

private:
    std::vector<MapPoint> points_;
    std::vector<std::size_t> ends_; // end of each vertex's tuple in text_
    std::string text_;
};

class basKML {
public:
    // Milliseconds the recovery view reset waits before it moves the camera back. Asked at
    // the moment of a reset, so the window's current setting applies.
    using ViewRefreshDelayProvider = std::function<int()>;

    // The desktop is borrowed and must outlive this object; it supplies the (virtual) clock.
    // Raises std::invalid_argument when viewRefreshDelay is empty.
    basKML(IDesktop& desktop, ViewRefreshDelayProvider viewRefreshDelay);

    // The whole live document: kind 0, 1 or 2 (others: no geometry); the first vertexCount
    // vertices of the list; last-only keeps just the newest point or segment of a point or
    // polyline feature. Refreshes the stored camera first. The text ends with "</kml>" and no
    // line end. Raises std::out_of_range when vertexCount is negative or beyond the list.
    std::string BuildFeatureKml(IApplicationGE& ge, VertexList vertices, int vertexCount,
                                int geometryKind, std::string_view iconColour, bool lastOnly,
                                std::string_view altitudeMode);

    // Creates or truncates `path` and writes the whole live document (last-only off,
    // clamp to ground) followed by CR LF.
    void WriteFeatureKmlFile(IApplicationGE& ge, const std::filesystem::path& path,
                             VertexList vertices, int vertexCount, int geometryKind,
                             std::string_view iconColour);

    // The live update after the feature changed. No vertices: ClearFeatureInEarth. Otherwise
    // with useFile the live feature file is rewritten with the whole feature and opened;
    // without it the document (honouring lastOnly) is handed over as text.
    void ShowFeatureInEarth(IApplicationGE& ge, bool useFile, int geometryKind, VertexList vertices,
                            const std::filesystem::path& liveFile, bool lastOnly);

    // Writes the document without geometry to the live feature file and opens it. Recovers.
    void ClearFeatureInEarth(IApplicationGE& ge, int geometryKind, VertexList vertices,
                             const std::filesystem::path& liveFile);

    // Hands a KML text to the globe unchanged. Recovers.
    void LoadKmlText(IApplicationGE& ge, const std::string& kmlText);

    // Opens (or reloads) a KML file in the globe, quietly. Recovers.
    void OpenKmlInEarth(IApplicationGE& ge, const std::filesystem::path& path);

    // Shows one DEM sample as a point at its absolute altitude.
    void ShowSamplePoint(IApplicationGE& ge, double x, double y, double z);

    // Shows samples (0..lastRow, 0..lastColumn) as one line per row, then one per column.
    // Raises std::out_of_range when the indices are negative or reach outside the view.
    void ShowSampleGrid(IApplicationGE& ge, const SampleGridView& samples, int lastRow,
                        int lastColumn);

    // Shows samples (0..lastRow, 0..lastColumn) as lastRow x lastColumn cells. Raises like
    // ShowSampleGrid.
    void ShowSampleMesh(IApplicationGE& ge, const SampleGridView& samples, int lastRow,
                        int lastColumn);

    // The camera read most recently by these routines, as changed by a recovery. Before any
    // read it is a default camera and HasStoredCamera() is false.
    [[nodiscard]] const ICameraInfoGE& StoredCamera() const { return storedCamera_; }
    [[nodiscard]] bool HasStoredCamera() const { return hasStoredCamera_; }

private:
    void RefreshStoredCamera(IApplicationGE& ge);
    // Lines 1 to 6a of every document: declaration, kml, Document, name, open, description
    // with the LookAt of the stored camera.
    void AppendDocumentHead(std::string& out) const;
    std::string BuildSampleDocument(IApplicationGE& ge, const SampleGridView& samples, int lastRow,
                                    int lastColumn, bool mesh);
    // Level the stored camera, wait the view refresh delay, fly back to it; never raises.
    void RecoverView(IApplicationGE& ge) noexcept;

    IDesktop& desktop_;
    ViewRefreshDelayProvider viewRefreshDelay_;
    // The tuple text of the last whole vertex list written: a live update that only added or
    // removed the last vertex formats one tuple instead of the whole feature again.
    TupleMemo tupleMemo_;
    ICameraInfoGE storedCamera_;
    bool hasStoredCamera_ = false;
};

} // namespace scribeline
