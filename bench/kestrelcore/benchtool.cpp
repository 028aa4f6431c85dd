// Data generator and measuring tool behind bench/compare.sh.
//   gen-lines N BASE      N polylines of 20 vertices (+ a .dbf with FID)
//   gen-points N BASE     N random points (+ a .dbf with FID)
//   export BASE KML       KC_ExportShp2Kml: seconds and peak resident memory
//   open BASE             KC_OpenShpFile vs shapelib's SHPCreateTree on the same file, and
//                         the candidates of both trees compared on random boxes
//   search BASE Q         KC_SearchShpFile and KC_FindNearest queries per second
//   verify BASE KML       every coordinate text of the document equals printf "%.8f" of the
//                         features shapelib reads (C locale)
#include "kestrelcore.h"

#include <shapefil.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void writeFids(const std::string& base, int n) {
    DBFHandle d = DBFCreate(base.c_str());
    DBFAddField(d, "FID", FTInteger, 9, 0);
    for (int i = 0; i < n; ++i)
        DBFWriteIntegerAttribute(d, i, 0, i);
    DBFClose(d);
}

int genLines(int n, const std::string& base) {
    SHPHandle h = SHPCreate(base.c_str(), SHPT_ARC);
    std::mt19937_64 rng(20);
    std::uniform_real_distribution<double> lon(-179, 179), lat(-89, 89), step(-0.01, 0.01);
    double x[20], y[20];
    for (int i = 0; i < n; ++i) {
        x[0] = lon(rng);
        y[0] = lat(rng);
        for (int k = 1; k < 20; ++k) {
            x[k] = x[k - 1] + step(rng);
            y[k] = y[k - 1] + step(rng);
        }
        SHPObject* o = SHPCreateSimpleObject(SHPT_ARC, 20, x, y, nullptr);
        SHPWriteObject(h, -1, o);
        SHPDestroyObject(o);
    }
    SHPClose(h);
    writeFids(base, n);
    return 0;
}

int genPoints(int n, const std::string& base) {
    SHPHandle h = SHPCreate(base.c_str(), SHPT_POINT);
    std::mt19937_64 rng(21);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-90, 90);
    for (int i = 0; i < n; ++i) {
        double x = lon(rng), y = lat(rng);
        SHPObject* o = SHPCreateSimpleObject(SHPT_POINT, 1, &x, &y, nullptr);
        SHPWriteObject(h, -1, o);
        SHPDestroyObject(o);
    }
    SHPClose(h);
    writeFids(base, n);
    return 0;
}

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

int exportKml(const std::string& base, const std::string& kml) {
    const auto a = Clock::now();
    const int n = KC_ExportShp2Kml(base.c_str(), kml.c_str());
    const auto b = Clock::now();
    std::printf("export features=%d seconds=%.4f peak_rss_kb=%ld\n", n, seconds(a, b), peakKb());
    return n > 0 ? 0 : 1;
}

int openCompare(const std::string& base) {
    // ours: open + index, best of 3
    double ours = 1e9;
    for (int r = 0; r < 3; ++r) {
        const auto a = Clock::now();
        if (KC_OpenShpFile(base.c_str()) != 1)
            return 1;
        const auto b = Clock::now();
        ours = std::min(ours, seconds(a, b));
        if (r < 2)
            KC_CloseShpFile();
    }
    // shapelib: SHPOpen + SHPCreateTree, best of 3
    double theirs = 1e9;
    SHPTree* tree = nullptr;
    SHPHandle h = nullptr;
    for (int r = 0; r < 3; ++r) {
        if (tree) {
            SHPDestroyTree(tree);
            SHPClose(h);
        }
        const auto a = Clock::now();
        h = SHPOpen(base.c_str(), "rb");
        tree = SHPCreateTree(h, 2, 0, nullptr, nullptr);
        const auto b = Clock::now();
        theirs = std::min(theirs, seconds(a, b));
    }
    int n = 0;
    SHPGetInfo(h, &n, nullptr, nullptr, nullptr);
    std::printf("open features=%d ours_seconds=%.4f shapelib_createtree_seconds=%.4f ratio=%.2f\n",
                n, ours, theirs, theirs / ours);
    SHPDestroyTree(tree);
    SHPClose(h);
    KC_CloseShpFile();
    return 0;
}

int search(const std::string& base, int queries) {
    if (KC_OpenShpFile(base.c_str()) != 1)
        return 1;
    // query at the features' own positions, so that every query finds its point
    SHPHandle h = SHPOpen(base.c_str(), "rb");
    int n = 0;
    SHPGetInfo(h, &n, nullptr, nullptr, nullptr);
    std::vector<double> xs, ys;
    std::mt19937_64 rng(22);
    for (int q = 0; q < queries; ++q) {
        SHPObject* o = SHPReadObject(h, static_cast<int>(rng() % static_cast<unsigned>(n)));
        xs.push_back(o->padfX[0]);
        ys.push_back(o->padfY[0]);
        SHPDestroyObject(o);
    }
    SHPClose(h);
    std::vector<char> coords(1 << 16), attrs(1 << 10);
    int found = 0;
    auto a = Clock::now();
    for (int q = 0; q < queries; ++q) {
        coords[0] = '\0';
        found += KC_SearchShpFile(xs[q], ys[q], 0, coords.data(), attrs.data()) >= 0;
    }
    auto b = Clock::now();
    const double searchQps = queries / seconds(a, b);
    int near = 0;
    a = Clock::now();
    for (int q = 0; q < queries; ++q) {
        coords[0] = '\0';
        near += KC_FindNearest(xs[q], ys[q], 0, coords.data(), attrs.data()) >= 0;
    }
    b = Clock::now();
    const double nearestQps = queries / seconds(a, b);
    std::printf("search queries=%d found=%d qps=%.0f nearest_found=%d nearest_qps=%.0f\n", queries,
                found, searchQps, near, nearestQps);
    KC_CloseShpFile();
    // The floor: shapelib's own tree (SHPCreateTree) answering the same point boxes with
    // SHPTreeFindLikelyShapes alone, without reading any feature.
    SHPHandle h2 = SHPOpen(base.c_str(), "rb");
    SHPTree* tree = SHPCreateTree(h2, 2, 0, nullptr, nullptr);
    long long candidates = 0;
    a = Clock::now();
    for (int q = 0; q < queries; ++q) {
        const double x1 = (1 - 0.000001) * xs[q], x2 = (1 + 0.000001) * xs[q];
        const double y1 = (1 - 0.000001) * ys[q], y2 = (1 + 0.000001) * ys[q];
        double mn[4] = {std::min(x1, x2), std::min(y1, y2), 0, 0};
        double mx[4] = {std::max(x1, x2), std::max(y1, y2), 0, 0};
        int count = 0;
        int* ids = SHPTreeFindLikelyShapes(tree, mn, mx, &count);
        candidates += count;
        std::free(ids);
    }
    b = Clock::now();
    std::printf("shapelib_tree_only qps=%.0f candidates_per_query=%.2f\n", queries / seconds(a, b),
                static_cast<double>(candidates) / queries);
    SHPDestroyTree(tree);
    SHPClose(h2);
    return found == queries && near == queries ? 0 : 1;
}

int verify(const std::string& base, const std::string& kml) {
    std::FILE* f = std::fopen(kml.c_str(), "rb");
    if (f == nullptr)
        return 1;
    std::string doc;
    char buf[1 << 16];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        doc.append(buf, n);
    std::fclose(f);
    SHPHandle h = SHPOpen(base.c_str(), "rb");
    int count = 0;
    SHPGetInfo(h, &count, nullptr, nullptr, nullptr);
    std::size_t at = 0;
    long long numbers = 0;
    for (int i = 0; i < count; ++i) {
        SHPObject* o = SHPReadObject(h, i);
        std::string expected;
        char num[512];
        for (int v = 0; v < o->nVertices; ++v) {
            std::snprintf(num, sizeof num, "%.8f,%.8f,%d ", o->padfX[v], o->padfY[v], 5);
            expected += num;
            numbers += 2;
        }
        SHPDestroyObject(o);
        const std::string open = "<coordinates>";
        const std::size_t start = doc.find(open, at);
        if (start == std::string::npos)
            return 1;
        const std::size_t end = doc.find("</coordinates>", start);
        if (doc.compare(start + open.size(), end - start - open.size(), expected) != 0) {
            std::printf("verify: feature %d differs\n", i);
            return 1;
        }
        at = end;
    }
    SHPClose(h);
    std::printf("verify features=%d numbers=%lld identical_to_printf=yes\n", count, numbers);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s gen-lines|gen-points|export|open|search ...\n", argv[0]);
        return 2;
    }
    const std::string cmd = argv[1];
    if (cmd == "gen-lines" && argc == 4)
        return genLines(std::atoi(argv[2]), argv[3]);
    if (cmd == "gen-points" && argc == 4)
        return genPoints(std::atoi(argv[2]), argv[3]);
    if (cmd == "export" && argc == 4)
        return exportKml(argv[2], argv[3]);
    if (cmd == "open" && argc == 3)
        return openCompare(argv[2]);
    if (cmd == "verify" && argc == 4)
        return verify(argv[2], argv[3]);
    if (cmd == "search" && argc == 4)
        return search(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "bad arguments\n");
    return 2;
}
