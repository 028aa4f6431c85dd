#include "kml.h"

#include "format.h"
#include "records.h"
#include "shapeio.h"
#include "state.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace kc {

namespace {

// The documents are text in which every line feed is stored as CR LF.
std::string crlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 64);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string iconStyle(const char* colour) {
    return std::string("\n      <IconStyle>        <color>") + colour +
           "</color>      <scale>0.5</scale>        <Icon>          "
           "<href>root://icons/palette-4.png</href>          "
           "<x>32</x><y>128</y><w>32</w><h>32</h>        </Icon>      </IconStyle>";
}

struct Literals {
    std::string headerStart = crlf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                   "\n<kml xmlns=\"http://earth.google.com/kml/2.1\">"
                                   "\n  <Document>");
    std::string nameStart = crlf("\n    <name>");
    std::string nameEnd = "</name>";
    std::string selectionNameStart = crlf("\n    <name>MultiSelection - ");
    std::string Doc(const char* colour, const char* lineStyle) const {
        return crlf(std::string("\n    <open>0</open>"
                                "\n    <flyToView>0</flyToView>"
                                "\n    <description>Digitalizing from Arc to GE</description>"
                                "\n    <Style id=\"FEATURES\">") +
                    iconStyle(colour) +
                    "\n      <LabelStyle>       <color>00FFFFFF</color>      </LabelStyle>" +
                    lineStyle +
                    "\n      <PolyStyle>        <outline>1</outline>\t\t  <fill>1</fill>  "
                    "<color>afffffff</color>  <colorMode>random</colorMode>             "
                    "</PolyStyle>"
                    "\n    </Style>");
    }
    std::string exportStyles =
        Doc("ffff0000", "\n      <LineStyle>        <color>ff0000ff</color>      "
                        "<width>2</width>        </LineStyle>");
    std::string selectionStyles =
        Doc("ffffff00", "\n      <LineStyle>        <color>ffffff00</color>      "
                        "<width>4</width>        </LineStyle>");
    std::string exportFolder = crlf("\n    <Folder>");
    std::string selectionFolder = crlf("\n       <Folder>");
    std::string footer = crlf("\n    </Folder>\n  </Document>\n</kml>");
    std::string bboxStyle =
        crlf("\n       <Style id=\"BBox\">"
             "\n\t\t   <LineStyle>        <color>ffffff00</color>      <width>4</width>        "
             "</LineStyle>"
             "\n           <PolyStyle>"
             "\n               <outline>1</outline><fill>1</fill><color>3fffff00</color>"
             "<colorMode>normal</colorMode>"
             "\n           </PolyStyle>"
             "\n       </Style>");
    std::string bboxStart = crlf("\n  <Placemark>"
                                 "\n    <styleUrl>#BBox</styleUrl>"
                                 "\n    <Polygon>"
                                 "\n    <extrude>1</extrude>"
                                 "\n    <tessellate>0</tessellate>"
                                 "\n          <outerBoundaryIs>"
                                 "\n          <LinearRing>"
                                 "\n\t\t\t<coordinates>");
    std::string bboxEnd = crlf("</coordinates>"
                               "\n          </LinearRing>"
                               "\n          </outerBoundaryIs>"
                               "\n    </Polygon>"
                               "\n  </Placemark>");
    std::string placemarkStart = crlf("\n     <Placemark>\n        <name>f");
    std::string pointStart = crlf("</name>"
                                  "\n        <styleUrl>#FEATURES</styleUrl>"
                                  "\n        <Point>"
                                  "\n          <extrude>1</extrude>"
                                  "\n          <tessellate>0</tessellate>"
                                  "\n          <altitudeMode>relativeToGround</altitudeMode>"
                                  "\n          <coordinates>");
    std::string pointEnd = crlf("</coordinates>"
                                "\n        </Point>"
                                "\n     </Placemark>");
    std::string lineStart = crlf("</name>"
                                 "\n        <styleUrl>#FEATURES</styleUrl>"
                                 "\n        <LineString>"
                                 "\n          <extrude>1</extrude>"
                                 "\n          <tessellate>0</tessellate>"
                                 "\n          <altitudeMode>relativeToGround</altitudeMode>"
                                 "\n          <coordinates>");
    std::string lineEnd = crlf("</coordinates>"
                               "\n        </LineString>"
                               "\n     </Placemark>");
    std::string polygonStart = crlf("</name>"
                                    "\n        <styleUrl>#FEATURES</styleUrl>"
                                    "\n        <Polygon>"
                                    "\n          <extrude>1</extrude>"
                                    "\n          <altitudeMode>relativeToGround</altitudeMode>"
                                    "\n          <outerBoundaryIs>"
                                    "\n          <LinearRing>"
                                    "\n          <coordinates>");
    std::string polygonEnd = crlf("</coordinates>"
                                  "\n          </LinearRing>"
                                  "\n          </outerBoundaryIs>"
                                  "\n        </Polygon>"
                                  "\n     </Placemark>");
};

const Literals& lit() {
    static const Literals l;
    return l;
}

// A KML file written through one buffer, flushed in large blocks.
class KmlFile {
public:
    explicit KmlFile(const char* path) : f_(path ? openFile(path, "wb") : nullptr) {
        buf_.reserve(kFlushAt + 4096);
    }
    ~KmlFile() {
        if (f_ != nullptr)
            std::fclose(f_);
    }
    KmlFile(const KmlFile&) = delete;
    KmlFile& operator=(const KmlFile&) = delete;

    bool opened() const { return f_ != nullptr; }
    void put(std::string_view s) {
        buf_.append(s);
        if (buf_.size() >= kFlushAt)
            flush();
    }
    void put(const char* b, const char* e) {
        put(std::string_view(b, static_cast<std::size_t>(e - b)));
    }
    void putInt(long long v) {
        char tmp[24];
        put(tmp, formatInt(tmp, v));
    }
    bool close() {
        flush();
        const bool ok = ok_ && std::fclose(f_) == 0;
        f_ = nullptr;
        return ok;
    }

private:
    static constexpr std::size_t kFlushAt = 1u << 18;
    void flush() {
        if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size())
            ok_ = false;
        buf_.clear();
    }
    std::FILE* f_;
    std::string buf_;
    bool ok_ = true;
};

// The coordinate text of a feature: "%.8f,%.8f,5 " per vertex. Held in a buffer of at
// least 50,000 bytes that grows for larger features (never overruns).
class CoordinateText {
public:
    CoordinateText() : buf_(50000) {}
    std::string_view build(const SHPObject& shape) {
        std::size_t len = 0;
        constexpr std::size_t kVertexMax = 2 * kMaxFixedChars + 4;
        for (int v = 0; v < shape.nVertices; ++v) {
            if (buf_.size() - len < kVertexMax)
                buf_.resize(buf_.size() * 2);
            char* p = buf_.data() + len;
            p = formatFixed8(p, shape.padfX[v]);
            *p++ = ',';
            p = formatFixed8(p, shape.padfY[v]);
            std::memcpy(p, ",5 ", 3);
            p += 3;
            len = static_cast<std::size_t>(p - buf_.data());
        }
        return {buf_.data(), len};
    }

private:
    std::vector<char> buf_;
};

enum class Geometry { None, Point, Line, Polygon };

void writePlacemark(KmlFile& out, Geometry g, long long number, std::string_view coords) {
    const Literals& l = lit();
    if (g == Geometry::None)
        return;
    out.put(l.placemarkStart);
    out.putInt(number);
    if (g == Geometry::Point) {
        out.put(l.pointStart);
        out.put(coords);
        out.put(l.pointEnd);
    } else if (g == Geometry::Line) {
        out.put(l.lineStart);
        out.put(coords);
        out.put(l.lineEnd);
    } else {
        out.put(l.polygonStart);
        out.put(coords);
        out.put(l.polygonEnd);
    }
}

Geometry exportGeometry(int type) {
    switch (type) {
    case SHPT_POINT:
        return Geometry::Point;
    case SHPT_ARC:
    case SHPT_ARCM:
        return Geometry::Line;
    case SHPT_POLYGON:
        return Geometry::Polygon;
    default:
        return Geometry::None;
    }
}

Geometry selectionGeometry(int type) {
    switch (type) {
    case SHPT_POINT:
    case SHPT_POINTZ:
        return Geometry::Point;
    case SHPT_ARC:
    case SHPT_ARCZ:
        return Geometry::Line;
    case SHPT_POLYGON:
    case SHPT_POLYGONZ:
        return Geometry::Polygon;
    default:
        return Geometry::None;
    }
}

struct ShpCloser {
    void operator()(SHPInfo* h) const { SHPClose(h); }
};
struct DbfCloser {
    void operator()(DBFInfo* h) const { DBFClose(h); }
};

// Records per chunk of the export: shapelib keeps 8 bytes per record of an open shapefile,
// so the export opens the file chunk by chunk and its memory stays flat.
constexpr std::uint64_t kExportChunk = 4096;

using ShpPtr = std::unique_ptr<SHPInfo, ShpCloser>;

ShpPtr openChunk(const std::string& shpPath, std::uint64_t first, std::uint64_t* total) {
    ShxSlice slice(first, kExportChunk);
    ShpPtr shp(openShapefile(shpPath.c_str(), "rb"));
    if (shp && total != nullptr)
        *total = slice.realRecords();
    if (shp) // one object buffer owned by the handle instead of allocations per feature
        SHPSetFastModeReadObject(shp.get(), 1);
    return shp;
}

int exportShp(const char* basePath, const char* kmlPath) {
    const std::string base = basePath ? basePath : "";
    const std::string shpPath = base + ".shp";
    const std::string dbfPath = base + ".dbf";
    std::uint64_t total = 0;
    ShpPtr shp = openChunk(shpPath, 0, &total);
    if (!shp) {
        showMessage("Unable to open.", shpPath.c_str());
        return -1;
    }
    int held = 0;
    std::unique_ptr<DBFInfo, DbfCloser> dbf(openTable(dbfPath.c_str(), "rb", &held));
    if (!dbf) {
        showMessage("DBF open failed.", "Error");
        return 0;
    }
    if (DBFGetFieldCount(dbf.get()) == 0) {
        showMessage("There are no fields in this table!", "Error");
        return 0;
    }
    KmlFile out(kmlPath);
    if (!out.opened())
        return 0;
    const Literals& l = lit();
    out.put(l.headerStart);
    out.put(l.nameStart);
    out.put(crlf(shpPath)); // written unchanged, without XML escaping
    out.put(l.nameEnd);
    out.put(l.exportStyles);
    out.put(l.exportFolder);
    int type = 0;
    SHPGetInfo(shp.get(), nullptr, &type, nullptr, nullptr);
    const int count = static_cast<int>(std::min<std::uint64_t>(total, 0x7FFFFFFF));
    const Geometry g = exportGeometry(type);
    CoordinateText coords;
    ModuleState& s = state();
    std::uint64_t first = 0;
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::uint64_t>(i);
        if (at >= first + kExportChunk) {
            first = at;
            shp.reset();
            shp = openChunk(shpPath, first, nullptr);
        }
        ShapePtr shape = shp ? readShape(shp.get(), static_cast<int>(at - first)) : nullptr;
        s.progress.store(i, std::memory_order_relaxed);
        if (!shape)
            continue; // a record that cannot be read gets no placemark
        writePlacemark(out, g, i, coords.build(*shape));
    }
    out.put(l.footer);
    if (!out.close())
        return 0;
    return count;
}

} // namespace

int writeSelectionDocument(const char* kmlPath, const std::vector<int>& list, bool bbox,
                           const std::string& ring) {
    KmlFile out(kmlPath);
    if (!out.opened())
        return 0;
    const Literals& l = lit();
    out.put(l.headerStart);
    out.put(l.selectionNameStart);
    out.putInt(static_cast<long long>(list.size()));
    out.put(l.nameEnd);
    out.put(l.selectionStyles);
    if (bbox)
        out.put(l.bboxStyle);
    out.put(l.selectionFolder);
    if (bbox) {
        out.put(l.bboxStart);
        out.put(crlf(ring));
        out.put(l.bboxEnd);
    }
    ModuleState& s = state();
    int type = 0;
    SHPGetInfo(s.shp, nullptr, &type, nullptr, nullptr);
    const Geometry g = selectionGeometry(type);
    CoordinateText coords;
    for (std::size_t k = 0; k < list.size(); ++k) {
        ShapePtr shape = readShape(s.shp, list[k]);
        if (!shape)
            continue;
        writePlacemark(out, g, static_cast<long long>(k), coords.build(*shape));
    }
    out.put(l.footer);
    if (!out.close())
        return 0;
    return static_cast<int>(list.size());
}

} // namespace kc

using namespace kc;

extern "C" {

KC_API int KC_CALL KC_ExportShp2Kml(const char* basePath, const char* kmlPath) {
    return barrier("KC_ExportShp2Kml", 0, [&] { return exportShp(basePath, kmlPath); });
}

KC_API int KC_CALL KC_GetProgressFromShp2Kml(void) {
    return state().progress.load(std::memory_order_relaxed);
}

} // extern "C"
