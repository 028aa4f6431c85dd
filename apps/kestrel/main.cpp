// kestrel: the command line over Kestrelcore. One subcommand per capability of the library;
// every text the library returns is printed (CR LF shown as plain line ends unless --raw).
// Exit codes: 0 done, 1 the operation failed or found nothing, 2 bad command line.
#include "buffers.h"
#include "kestrelcore.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

bool gRaw = false;
int gMessages = 0;

void KC_CALL onMessage(const char* text, const char* title, void*) {
    ++gMessages;
    std::fprintf(stderr, "kestrel: %s: %s\n", title, text);
}

void print(const char* text) {
    std::string s = text;
    if (!gRaw) {
        std::string out;
        out.reserve(s.size());
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                continue;
            out += s[i];
        }
        s = std::move(out);
    }
    std::fwrite(s.data(), 1, s.size(), stdout);
}

bool openShapefile(const std::string& base, bool withTable) {
    if (KC_OpenShpFile(base.c_str()) != 1)
        return false;
    if (withTable && KC_OpenDBFFile(base.c_str()) != 1)
        return false;
    return true;
}

void closeAll() {
    KC_CloseShpFile();
    KC_CloseDBFFile();
}

int info(const std::string& path, bool fields) {
    const std::string base = kestrel::basePath(path);
    const bool table = fields && std::filesystem::exists(base + ".dbf");
    if (KC_OpenShpFile(base.c_str()) != 1)
        return 1;
    const bool tableOpen = table && KC_OpenDBFFile(base.c_str()) == 1;
    char type[64] = "";
    int count = 0;
    std::vector<char> list(kestrel::fieldListCapacity(base), '\0');
    KC_GetMetaInfoFromShpDBF(type, &count, tableOpen ? 1 : 0, list.data());
    std::printf("type: %s\nfeatures: %d\n", type, count);
    if (tableOpen) {
        std::printf("fields:\n");
        print(list.data());
    } else if (fields) {
        std::printf("fields: none (no readable attribute table)\n");
    }
    closeAll();
    return 0;
}

int read(const std::string& path, int index, bool attributes) {
    const std::string base = kestrel::basePath(path);
    if (!openShapefile(base, attributes))
        return 1;
    std::vector<char> coords(kestrel::coordinateCapacity(base, index), '\0');
    std::vector<char> attrs(kestrel::recordCapacity(base), '\0');
    char bounds[2048] = ""; // four numbers of at most 319 characters each
    const int r = KC_ReadFeature(index, attributes ? 1 : 0, coords.data(), attrs.data(), bounds);
    if (r < 0) {
        std::fprintf(stderr, "kestrel: no feature %d in %s\n", index, path.c_str());
        closeAll();
        return 1;
    }
    std::printf("feature: %d\nbounds: %s\n", r, bounds);
    print(coords.data());
    if (attributes) {
        std::printf("attributes:\n");
        print(attrs.data());
    }
    closeAll();
    return 0;
}

int dbf(const std::string& path, int record) {
    const std::string base = kestrel::basePath(path);
    if (KC_OpenDBFFile(base.c_str()) != 1)
        return 1;
    std::vector<char> out(kestrel::recordCapacity(base), '\0');
    const int r = KC_ReadDBF(record, out.data());
    KC_CloseDBFFile();
    if (r != 1) {
        std::fprintf(stderr, "kestrel: no record %d in %s\n", record, path.c_str());
        return 1;
    }
    print(out.data());
    return 0;
}

int pointSearch(const std::string& path, double x, double y, bool attributes, bool nearest) {
    const std::string base = kestrel::basePath(path);
    if (!openShapefile(base, attributes))
        return 1;
    std::vector<char> coords(kestrel::coordinateCapacity(base), '\0');
    std::vector<char> attrs(kestrel::recordCapacity(base), '\0');
    const int r = nearest ? KC_FindNearest(x, y, attributes ? 1 : 0, coords.data(), attrs.data())
                          : KC_SearchShpFile(x, y, attributes ? 1 : 0, coords.data(), attrs.data());
    if (r < 0) {
        std::fprintf(stderr, "kestrel: no feature %s %.8g %.8g\n", nearest ? "near" : "at", x, y);
        closeAll();
        return 1;
    }
    std::printf("feature: %d\n", r);
    print(coords.data());
    if (attributes) {
        std::printf("attributes:\n");
        print(attrs.data());
    }
    closeAll();
    return 0;
}

int box(const std::string& path, double x1, double y1, double x2, double y2, const std::string& kml,
        bool ring, bool bbox) {
    const std::string base = kestrel::basePath(path);
    if (!openShapefile(base, false))
        return 1;
    std::vector<char> list(1024 * 32, '\0');
    const int n =
        KC_MultiSearchShpFile(x1, y1, x2, y2, list.data(), ring ? 1 : 0, kml.c_str(), bbox ? 1 : 0);
    closeAll();
    print(list.data());
    std::printf("found: %d (written to %s)\n", n, kml.c_str());
    return 0;
}

int circle(const std::string& path, double cx, double cy, double px, double py,
           const std::string& kml, const std::string& outline, bool spherical) {
    const std::string base = kestrel::basePath(path);
    if (!openShapefile(base, false))
        return 1;
    std::vector<char> list(1024 * 16, '\0');
    const int n = KC_MultiSearchFeatureByCircle(cx, cy, px, py, list.data(), outline.c_str(),
                                                kml.c_str(), spherical ? 1 : 0);
    closeAll();
    print(list.data());
    std::printf("found: %d (written to %s)\n", n, kml.c_str());
    return 0;
}

void drawBar(long long done, long long total) {
    constexpr int kWidth = 40;
    const double f =
        total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 1.0;
    const int filled = static_cast<int>(f * kWidth);
    std::fprintf(stderr, "\r[%s%s] %3d%% %lld/%lld",
                 std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(),
                 static_cast<int>(f * 100), done, total);
    std::fflush(stderr);
}

int exportKml(const std::string& path, const std::string& kml, bool quiet) {
    const std::string base = kestrel::basePath(path);
    const long long total = kestrel::recordCount(base);
    const bool bar = !quiet && total > 0;
    std::atomic<bool> finished{false};
    // The one read the library allows from another thread while an export runs.
    std::thread progress([&] {
        while (bar && !finished.load()) {
            drawBar(KC_GetProgressFromShp2Kml() + 1, total);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    const int n = KC_ExportShp2Kml(base.c_str(), kml.c_str());
    finished = true;
    progress.join();
    if (bar) {
        if (n > 0)
            drawBar(total, total);
        std::fprintf(stderr, "\n");
    }
    if (n < 0 || (n == 0 && gMessages > 0))
        return 1;
    std::printf("exported: %d features to %s\n", n, kml.c_str());
    return 0;
}

int appendAll(const std::vector<std::string>& features) {
    for (const std::string& f : features) {
        std::vector<char> text(f.begin(), f.end());
        text.push_back('\0');
        if (KC_AddFeatureInShapeFile(text.data()) != 0) {
            std::fprintf(stderr, "kestrel: cannot append \"%s\"\n", f.c_str());
            return 1;
        }
    }
    return 0;
}

int create(const std::string& path, const std::string& type,
           const std::vector<std::string>& features) {
    const int r = KC_CreateShapeFile(kestrel::basePath(path).c_str(), type.c_str());
    if (r == 1)
        return 2; // the library named the problem: an unknown type name
    if (r != 0)
        return 1;
    const int a = appendAll(features);
    KC_CloseShpFile();
    if (a == 0)
        std::printf("created: %s with %zu features\n", path.c_str(), features.size());
    return a;
}

int append(const std::string& path, const std::vector<std::string>& features) {
    if (KC_OpenShpFile(kestrel::basePath(path).c_str()) != 1)
        return 1;
    const int a = appendAll(features);
    KC_CloseShpFile();
    if (a == 0)
        std::printf("appended: %zu features to %s\n", features.size(), path.c_str());
    return a;
}

int distance(double lon1, double lat1, double lon2, double lat2) {
    const double d = SphericalDist(lon1, lat1, lon2, lat2);
    if (d < 0) {
        std::fprintf(stderr, "kestrel: a position is out of range (longitude -180..180, "
                             "latitude -90..90)\n");
        return 1;
    }
    std::printf("%.3f m\n", d);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    KC_SetMessageHandler(onMessage, nullptr);
    CLI::App app{"kestrel: shapefile tools over the Kestrelcore library"};
    app.require_subcommand(1);
    app.add_flag("--raw", gRaw, "print texts exactly as the library writes them (CR LF)");

    std::string path, kml, type, outline;
    int index = 0;
    bool attributes = false, fields = false, ring = false, bbox = false, spherical = false,
         quiet = false;
    double a = 0, b = 0, c = 0, d = 0;
    std::vector<std::string> features;
    int result = 0;

    auto* cInfo = app.add_subcommand("info", "shape type, feature count and (--fields) fields");
    cInfo->add_option("shapefile", path, "the .shp (with or without extension)")->required();
    cInfo->add_flag("-f,--fields", fields, "also list the fields of the .dbf beside it");
    cInfo->callback([&] { result = info(path, fields); });

    auto* cRead = app.add_subcommand("read", "the vertices and bounds of one feature");
    cRead->add_option("shapefile", path, "the .shp")->required();
    cRead->add_option("index", index, "0-based feature index")->required();
    cRead->add_flag("-a,--attributes", attributes, "also its record of the .dbf beside it");
    cRead->callback([&] { result = read(path, index, attributes); });

    auto* cDbf = app.add_subcommand("dbf", "one record of an attribute table");
    cDbf->add_option("table", path, "the .dbf")->required();
    cDbf->add_option("record", index, "0-based record index")->required();
    cDbf->callback([&] { result = dbf(path, index); });

    auto* cSearch = app.add_subcommand("search", "the feature whose extent contains a point");
    cSearch->add_option("shapefile", path, "the .shp")->required();
    cSearch->add_option("x", a, "X (longitude)")->required();
    cSearch->add_option("y", b, "Y (latitude)")->required();
    cSearch->add_flag("-a,--attributes", attributes, "also its record");
    cSearch->callback([&] { result = pointSearch(path, a, b, attributes, false); });

    auto* cNear =
        app.add_subcommand("nearest", "the nearest feature whose extent contains a point");
    cNear->add_option("shapefile", path, "the .shp")->required();
    cNear->add_option("x", a, "X (longitude)")->required();
    cNear->add_option("y", b, "Y (latitude)")->required();
    cNear->add_flag("-a,--attributes", attributes, "also its record");
    cNear->callback([&] { result = pointSearch(path, a, b, attributes, true); });

    auto* cBox = app.add_subcommand("box", "features whose extent overlaps a rectangle, as KML");
    cBox->add_option("shapefile", path, "the .shp")->required();
    cBox->add_option("x1", a, "minimum X")->required();
    cBox->add_option("y1", b, "minimum Y")->required();
    cBox->add_option("x2", c, "maximum X")->required();
    cBox->add_option("y2", d, "maximum Y")->required();
    cBox->add_option("-o,--kml", kml, "the KML file to write")->required();
    cBox->add_flag("--ring", ring, "outline the rectangle (with --bbox)");
    cBox->add_flag("--bbox", bbox, "write the highlighted outline placemark");
    cBox->callback([&] { result = box(path, a, b, c, d, kml, ring, bbox); });

    auto* cCircle = app.add_subcommand("circle", "features wholly inside a circle, as KML");
    cCircle->add_option("shapefile", path, "the .shp")->required();
    cCircle->add_option("cx", a, "centre X")->required();
    cCircle->add_option("cy", b, "centre Y")->required();
    cCircle->add_option("px", c, "X of a point on the circle")->required();
    cCircle->add_option("py", d, "Y of a point on the circle")->required();
    cCircle->add_option("-o,--kml", kml, "the KML file to write")->required();
    cCircle->add_option("--outline", outline, "KML coordinates of the circle's outline");
    cCircle->add_flag("-s,--spherical", spherical, "radius in metres on the sphere (lon/lat)");
    cCircle->callback([&] { result = circle(path, a, b, c, d, kml, outline, spherical); });

    auto* cExport = app.add_subcommand("export", "the whole shapefile as a KML document");
    cExport->add_option("shapefile", path, "the .shp (its .dbf must have fields)")->required();
    cExport->add_option("kml", kml, "the KML file to write")->required();
    cExport->add_flag("-q,--quiet", quiet, "no progress bar");
    cExport->callback([&] { result = exportKml(path, kml, quiet); });

    auto* cCreate = app.add_subcommand("create", "a new shapefile with Z values, and features");
    cCreate->add_option("shapefile", path, "the .shp to create")->required();
    cCreate->add_option("type", type, "POINT, POLYLINE, POLYGON or MULTIPOINT (or small letters)")
        ->required();
    cCreate->add_option("features", features, "coordinate texts \"x,y[,z] x,y[,z] ...\"");
    cCreate->callback([&] { result = create(path, type, features); });

    auto* cAppend = app.add_subcommand("append", "features appended to a shapefile");
    cAppend->add_option("shapefile", path, "the .shp")->required();
    cAppend->add_option("features", features, "coordinate texts \"x,y[,z] x,y[,z] ...\"")
        ->required();
    cAppend->callback([&] { result = append(path, features); });

    auto* cDist = app.add_subcommand("distance", "great-circle distance in metres");
    cDist->add_option("lon1", a, "longitude of the first position")->required();
    cDist->add_option("lat1", b, "latitude of the first position")->required();
    cDist->add_option("lon2", c, "longitude of the second position")->required();
    cDist->add_option("lat2", d, "latitude of the second position")->required();
    cDist->callback([&] { result = distance(a, b, c, d); });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    std::fflush(stdout);
    return result;
}
