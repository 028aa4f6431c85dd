#include "kml/basKML.hpp"

#include <algorithm>
#include <fstream>
#include <utility>

namespace scribeline {

namespace {

// The client arrives at once at this speed; it is set before every document is loaded.
constexpr double kAutoPilotSpeed = 5.0;
constexpr int kSuppressMessages = 1;
constexpr int kConsiderTerrain = 1;
constexpr int kAltitudeModeRelativeToGround = 1;

void Indent(std::string& out, int spaces) {
    out.append(static_cast<std::size_t>(spaces), ' ');
}

// One piece of text at an indent, ended with CR LF.
void Line(std::string& out, int indent, std::string_view text) {
    Indent(out, indent);
    out += text;
    out += kKmlLineEnd;
}

// One piece of a joined line: the next piece continues on the same line.
void Joined(std::string& out, int indent, std::string_view text) {
    Indent(out, indent);
    out += text;
}

void AppendTuple(std::string& out, const MapPoint& p) {
    AppendKmlTuple(out, p.x, p.y, p.z);
}

void AppendModeLine(std::string& out, int indent, std::string_view altitudeMode) {
    Indent(out, indent);
    out += "<altitudeMode>";
    out += altitudeMode;
    out += "</altitudeMode>";
    out += kKmlLineEnd;
}

void AppendPoint(std::string& out, const MapPoint& p, std::string_view altitudeMode) {
    Line(out, 4, "<Point>");
    AppendModeLine(out, 4, altitudeMode);
    Joined(out, 4, "<coordinates>");
    AppendTuple(out, p);
    out += kKmlLineEnd;
    Line(out, 4, "</coordinates>");
    Line(out, 4, "</Point>");
}

// Tuples first .. last (inclusive) joined by single spaces.
void AppendList(std::string& out, const VertexList& vertices, int first, int last) {
    for (int i = first; i <= last; ++i) {
        if (i > first) {
            out += ' ';
        }
        AppendTuple(out, vertices.Vertex(i));
    }
}

void AppendGeometry(std::string& out, const VertexList& vertices, int n, int geometryKind,
                    bool lastOnly, std::string_view altitudeMode, TupleMemo& memo) {
    switch (geometryKind) {
    case kGeometryKindPoint:
        if (n < 1) {
            return;
        }
        if (lastOnly) {
            AppendPoint(out, vertices.Vertex(n - 1), altitudeMode);
            return;
        }
        Line(out, 4, "<MultiGeometry>");
        for (int i = 0; i < n; ++i) {
            AppendPoint(out, vertices.Vertex(i), altitudeMode);
        }
        Line(out, 4, "</MultiGeometry>");
        return;
    case kGeometryKindPolyline:
        if (n < 2) {
            return;
        }
        Line(out, 4, "<LineString>");
        AppendModeLine(out, 4, altitudeMode);
        Joined(out, 4, "<coordinates>");
        if (lastOnly) {
            AppendList(out, vertices, n - 2, n - 1);
        } else {
            memo.AppendList(out, vertices, n);
        }
        out += kKmlLineEnd;
        Line(out, 4, "</coordinates>");
        Line(out, 4, "</LineString>");
        return;
    case kGeometryKindPolygon:
        if (n < 2) {
            return;
        }
        // The ring is closed here; the last-only flag does not apply to an area.
        Line(out, 4, "<Polygon>");
        AppendModeLine(out, 4, altitudeMode);
        Line(out, 4, "<outerBoundaryIs>");
        Line(out, 4, "<LinearRing>");
        Joined(out, 4, "<coordinates>");
        memo.AppendList(out, vertices, n);
        out += ' ';
        AppendTuple(out, vertices.Vertex(0));
        out += kKmlLineEnd;
        Line(out, 4, "</coordinates>");
        Line(out, 4, "</LinearRing>");
        Line(out, 4, "</outerBoundaryIs>");
        Line(out, 4, "</Polygon>");
        return;
    default:
        return;
    }
}

void AppendDocumentTail(std::string& out) {
    Line(out, 2, "</Folder>");
    Line(out, 0, "</Document>");
    out += "</kml>";
}

void CheckGrid(const SampleGridView& samples, int lastRow, int lastColumn) {
    if (lastRow < 0 || lastColumn < 0) {
        throw std::out_of_range("sample grid indices must not be negative");
    }
    const auto rows = static_cast<std::size_t>(lastRow);
    const auto columns = static_cast<std::size_t>(lastColumn);
    const bool fitsRow = rows == 0 || columns < samples.rowStride;
    const std::size_t last = rows * samples.rowStride + columns;
    if (!fitsRow || last >= samples.x.size() || last >= samples.y.size() ||
        last >= samples.z.size()) {
        throw std::out_of_range("sample grid indices reach outside the sample arrays");
    }
}

void AppendSample(std::string& out, const SampleGridView& samples, int i, int j) {
    const std::size_t k =
        static_cast<std::size_t>(i) * samples.rowStride + static_cast<std::size_t>(j);
    AppendKmlTuple(out, samples.x[k], samples.y[k], samples.z[k]);
}

} // namespace

// ---- VertexList ------------------------------------------------------------------------------

int VertexList::Count() const {
    return geometry_ != nullptr ? geometry_->PointCount() : static_cast<int>(points_.size());
}

const MapPoint& VertexList::Vertex(int i) const {
    if (geometry_ != nullptr) {
        return geometry_->Point(i);
    }
    if (i < 0 || static_cast<std::size_t>(i) >= points_.size()) {
        throw std::out_of_range("vertex index");
    }
    return points_[static_cast<std::size_t>(i)];
}

// ---- basKML ----------------------------------------------------------------------------------

basKML::basKML(IDesktop& desktop, ViewRefreshDelayProvider viewRefreshDelay)
    : desktop_(desktop), viewRefreshDelay_(std::move(viewRefreshDelay)) {
    if (!viewRefreshDelay_) {
        throw std::invalid_argument("basKML needs a view refresh delay");
    }
}

void basKML::RefreshStoredCamera(IApplicationGE& ge) {
    storedCamera_ = ge.GetCamera(kConsiderTerrain);
    hasStoredCamera_ = true;
}

void basKML::AppendDocumentHead(std::string& out) const {
    Line(out, 0, kKmlXmlDeclaration);
    Indent(out, 0);
    out += "<kml xmlns=\"";
    out += kKmlNamespace21;
    out += "\">";
    out += kKmlLineEnd;
    Line(out, 0, "<Document>");
    Line(out, 2, "<name>Digitize on GE synchronizing in ArcMap</name>");
    Line(out, 2, "<open>0</open>");
    Joined(out, 2, "<description>Digitalizing from Arc to GE</description>");
    // The LookAt brings its own two leading spaces.
    Line(out, 0, BuildLookAt(storedCamera_));
}

void TupleMemo::AppendList(std::string& out, const VertexList& vertices, int count) {
    const auto n = static_cast<std::size_t>(count);
    std::size_t same = 0;
    while (same < n && same < points_.size() &&
           points_[same] == vertices.Vertex(static_cast<int>(same))) {
        ++same;
    }
    points_.resize(same);
    ends_.resize(same);
    text_.resize(same == 0 ? 0 : ends_.back());
    for (std::size_t i = same; i < n; ++i) {
        const MapPoint& p = vertices.Vertex(static_cast<int>(i));
        if (i > 0) {
            text_ += ' ';
        }
        AppendTuple(text_, p);
        points_.push_back(p);
        ends_.push_back(text_.size());
    }
    out += text_;
}

std::string basKML::BuildFeatureKml(IApplicationGE& ge, VertexList vertices, int vertexCount,
                                    int geometryKind, std::string_view iconColour, bool lastOnly,
                                    std::string_view altitudeMode) {
    if (vertexCount < 0 || vertexCount > vertices.Count()) {
        throw std::out_of_range("vertex count " + std::to_string(vertexCount) +
                                " is outside the vertex list");
    }
    RefreshStoredCamera(ge);

    std::string out;
    out.reserve(1024 + static_cast<std::size_t>(vertexCount) * 64);
    AppendDocumentHead(out);

    Line(out, 4, R"(<Style id="FEATURES">)");
    Joined(out, 6, "<IconStyle>");
    Joined(out, 8, "<color>");
    out += iconColour;
    out += "</color>";
    Joined(out, 8, "<scale>.7</scale>");
    Joined(out, 8, "<Icon>");
    Joined(out, 10, "<href>root://icons/palette-4.png</href>");
    Joined(out, 10, "<x>32</x><y>128</y><w>32</w><h>32</h>");
    Joined(out, 8, "</Icon>");
    Joined(out, 6, "</IconStyle>");
    Joined(out, 6, "<LabelStyle>");
    Joined(out, 8, "<color>00FFFFFF</color>");
    Line(out, 6, "</LabelStyle>");
    Joined(out, 6, "<LineStyle>");
    Joined(out, 9, "<color>ff0000ff</color>");
    Joined(out, 9, geometryKind == kGeometryKindPolyline ? "<width>2</width>" : "<width>8</width>");
    Joined(out, 6, "</LineStyle>");
    Joined(out, 6, "<PolyStyle>");
    Joined(out, 9, "<color>4f00ffbe</color>");
    Joined(out, 6, "</PolyStyle>");
    Line(out, 4, "</Style>");

    Line(out, 2, "<Folder>");
    Line(out, 2, "<Placemark>");
    Line(out, 4, "<styleUrl>#FEATURES</styleUrl>");
    AppendGeometry(out, vertices, vertexCount, geometryKind, lastOnly, altitudeMode, tupleMemo_);
    Line(out, 2, "</Placemark>");
    AppendDocumentTail(out);
    return out;
}

void basKML::WriteFeatureKmlFile(IApplicationGE& ge, const std::filesystem::path& path,
                                 VertexList vertices, int vertexCount, int geometryKind,
                                 std::string_view iconColour) {
    const std::string text = BuildFeatureKml(ge, vertices, vertexCount, geometryKind, iconColour,
                                             false, kAltitudeModeClampToGround);
    // Binary, so the CR LF line ends reach the file unchanged on every platform.
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        throw KmlFileError(path);
    }
    file << text << kKmlLineEnd;
    file.close();
    if (!file) {
        throw KmlFileError(path);
    }
}

void basKML::ShowFeatureInEarth(IApplicationGE& ge, bool useFile, int geometryKind,
                                VertexList vertices, const std::filesystem::path& liveFile,
                                bool lastOnly) {
    const int n = vertices.Count();
    if (n < 1) {
        ClearFeatureInEarth(ge, geometryKind, vertices, liveFile);
        return;
    }
    ge.SetAutoPilotSpeed(kAutoPilotSpeed);
    RefreshStoredCamera(ge);
    if (useFile) {
        WriteFeatureKmlFile(ge, liveFile, vertices, n, geometryKind, kLiveFeatureIconColour);
        ge.OpenKmlFile(liveFile.string(), kSuppressMessages);
    } else {
        ge.LoadKmlData(BuildFeatureKml(ge, vertices, n, geometryKind, kLiveFeatureIconColour,
                                       lastOnly, kAltitudeModeClampToGround));
    }
}

void basKML::ClearFeatureInEarth(IApplicationGE& ge, int geometryKind, VertexList vertices,
                                 const std::filesystem::path& liveFile) {
    try {
        ge.SetAutoPilotSpeed(kAutoPilotSpeed);
        WriteFeatureKmlFile(ge, liveFile, vertices, 0, geometryKind, kLiveFeatureIconColour);
        ge.OpenKmlFile(liveFile.string(), kSuppressMessages);
    } catch (const std::exception&) {
        RecoverView(ge);
    }
}

void basKML::LoadKmlText(IApplicationGE& ge, const std::string& kmlText) {
    try {
        ge.SetAutoPilotSpeed(kAutoPilotSpeed);
        RefreshStoredCamera(ge);
        ge.LoadKmlData(kmlText);
    } catch (const std::exception&) {
        RecoverView(ge);
    }
}

void basKML::OpenKmlInEarth(IApplicationGE& ge, const std::filesystem::path& path) {
    try {
        ge.OpenKmlFile(path.string(), kSuppressMessages);
    } catch (const std::exception&) {
        RecoverView(ge);
    }
}

void basKML::ShowSamplePoint(IApplicationGE& ge, double x, double y, double z) {
    ge.SetAutoPilotSpeed(kAutoPilotSpeed);
    RefreshStoredCamera(ge);
    const MapPoint sample{x, y, z};
    ge.LoadKmlData(BuildFeatureKml(ge, std::span<const MapPoint>(&sample, 1), 1, kGeometryKindPoint,
                                   kSamplePointIconColour, false, kAltitudeModeAbsolute));
}

std::string basKML::BuildSampleDocument(IApplicationGE& ge, const SampleGridView& samples,
                                        int lastRow, int lastColumn, bool mesh) {
    CheckGrid(samples, lastRow, lastColumn);
    RefreshStoredCamera(ge);

    std::string out;
    out.reserve(1024 + static_cast<std::size_t>(lastRow + 1) *
                           static_cast<std::size_t>(lastColumn + 1) * (mesh ? 400 : 140));
    AppendDocumentHead(out);
    Line(out, 4, R"(<Style id="FEATURES">)");
    Joined(out, 6, "<LineStyle>");
    Joined(out, 9, "<color>ff0000ff</color>");
    Joined(out, 9, "<width>1</width>");
    Joined(out, 6, "</LineStyle>");
    Joined(out, 6, "<PolyStyle>");
    Joined(out, 9, "<color>4f00ffbe</color>");
    Joined(out, 6, "</PolyStyle>");
    Line(out, 4, "</Style>");
    Line(out, 2, "<Folder>");

    if (mesh) {
        for (int i = 0; i < lastRow; ++i) {
            for (int j = 0; j < lastColumn; ++j) {
                Line(out, 2, "<Placemark>");
                Line(out, 4, "<styleUrl>#FEATURES</styleUrl>");
                Line(out, 4, "<Polygon>");
                Line(out, 5, "<altitudeMode>absolute</altitudeMode>");
                Line(out, 5, "<outerBoundaryIs>");
                Line(out, 6, "<LinearRing>");
                Joined(out, 7, "<coordinates>");
                AppendSample(out, samples, i, j);
                out += ' ';
                AppendSample(out, samples, i, j + 1);
                out += ' ';
                AppendSample(out, samples, i + 1, j + 1);
                out += ' ';
                AppendSample(out, samples, i + 1, j);
                out += ' ';
                AppendSample(out, samples, i, j);
                out += "</coordinates>";
                out += kKmlLineEnd;
                Line(out, 7, "</LinearRing>");
                Line(out, 5, "</outerBoundaryIs>");
                Line(out, 4, "</Polygon>");
                Line(out, 2, "</Placemark>");
            }
        }
    } else {
        // Each tuple is followed by a space, the last one too.
        auto placemark = [&out](auto&& appendTuples) {
            Line(out, 2, "<Placemark>");
            Line(out, 4, "<styleUrl>#FEATURES</styleUrl>");
            Line(out, 4, "<LineString>");
            Line(out, 4, "<altitudeMode>absolute</altitudeMode>");
            Joined(out, 4, "<coordinates>");
            appendTuples();
            out += kKmlLineEnd;
            Line(out, 4, "</coordinates>");
            Line(out, 4, "</LineString>");
            Line(out, 2, "</Placemark>");
        };
        for (int i = 0; i <= lastRow; ++i) {
            placemark([&] {
                for (int j = 0; j <= lastColumn; ++j) {
                    AppendSample(out, samples, i, j);
                    out += ' ';
                }
            });
        }
        for (int j = 0; j <= lastColumn; ++j) {
            placemark([&] {
                for (int i = 0; i <= lastRow; ++i) {
                    AppendSample(out, samples, i, j);
                    out += ' ';
                }
            });
        }
    }
    AppendDocumentTail(out);
    return out;
}

void basKML::ShowSampleGrid(IApplicationGE& ge, const SampleGridView& samples, int lastRow,
                            int lastColumn) {
    ge.LoadKmlData(BuildSampleDocument(ge, samples, lastRow, lastColumn, false));
}

void basKML::ShowSampleMesh(IApplicationGE& ge, const SampleGridView& samples, int lastRow,
                            int lastColumn) {
    ge.LoadKmlData(BuildSampleDocument(ge, samples, lastRow, lastColumn, true));
}

void basKML::RecoverView(IApplicationGE& ge) noexcept {
    // With no camera ever read there is no view to go back to; flying to a default camera
    // would throw the user to 0, 0.
    if (!hasStoredCamera_) {
        return;
    }
    if (storedCamera_.Tilt < 0.0) {
        storedCamera_.Tilt = 0.0;
    }
    storedCamera_.FocusPointAltitudeMode = kAltitudeModeRelativeToGround;
    try {
        desktop_.Sleep(std::max(0, viewRefreshDelay_()));
        ge.SetCamera(storedCamera_, kAutoPilotSpeed);
    } catch (...) {
        // The reset is a best effort after a failure already swallowed; nothing to report.
    }
}

} // namespace scribeline
