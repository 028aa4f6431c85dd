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
#include "sample_files.hpp"

#include <shapefil.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

int genLines(int n, const std::string& base) {
    kcbench::WriteLines(base, n, 20);
    return 0;
}

int genPoints(int n, const std::string& base) {
    kcbench::WritePoints(base, n, 21);
    return 0;
}

// The leanest I/O shapelib can be given: the .shp mapped into memory, reads a bare memcpy,
// no checks. Only for measuring the floor of a search below.
struct MappedFile {
    std::FILE* file = nullptr;
    const unsigned char* bytes = nullptr;
    std::size_t size = 0, pos = 0;
};

SAFile mappedOpen(const char* name, const char* access) {
    std::FILE* f = std::fopen(name, access);
    if (f == nullptr)
        return nullptr;
    auto* m = new MappedFile{f, nullptr, 0, 0};
    const std::size_t len = std::strlen(name);
    struct stat st {};
    if (len > 4 && std::strcmp(name + len - 4, ".shp") == 0 && fstat(fileno(f), &st) == 0 &&
        st.st_size > 0) {
        void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_SHARED,
                       fileno(f), 0);
        if (p != MAP_FAILED) {
            m->bytes = static_cast<const unsigned char*>(p);
            m->size = static_cast<std::size_t>(st.st_size);
        }
    }
    return reinterpret_cast<SAFile>(m);
}
MappedFile* mapped(SAFile f) {
    return reinterpret_cast<MappedFile*>(f);
}
SAOffset mappedRead(void* p, SAOffset size, SAOffset n, SAFile f) {
    MappedFile* m = mapped(f);
    if (m->bytes == nullptr)
        return std::fread(p, size, n, m->file);
    const std::size_t len = std::min<std::size_t>(size * n, m->size - std::min(m->pos, m->size));
    std::memcpy(p, m->bytes + m->pos, len);
    m->pos += len;
    return len / size;
}
SAOffset mappedSeek(SAFile f, SAOffset off, int whence) {
    MappedFile* m = mapped(f);
    if (m->bytes == nullptr)
        return static_cast<SAOffset>(std::fseek(m->file, static_cast<long>(off), whence));
    m->pos = whence == SEEK_SET ? off : whence == SEEK_CUR ? m->pos + off : m->size + off;
    return 0;
}
SAOffset mappedTell(SAFile f) {
    MappedFile* m = mapped(f);
    return m->bytes ? m->pos : static_cast<SAOffset>(std::ftell(m->file));
}
int mappedClose(SAFile f) {
    MappedFile* m = mapped(f);
    if (m->bytes != nullptr)
        munmap(const_cast<unsigned char*>(m->bytes), m->size);
    std::fclose(m->file);
    delete m;
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

// The box KC_SearchShpFile and KC_FindNearest look up for a point: a relative tolerance of
// 1e-6, the bounds of each axis in order.
struct QueryBox {
    QueryBox(double x, double y) {
        const double x1 = (1 - 0.000001) * x, x2 = (1 + 0.000001) * x;
        const double y1 = (1 - 0.000001) * y, y2 = (1 + 0.000001) * y;
        min[0] = std::min(x1, x2);
        min[1] = std::min(y1, y2);
        max[0] = std::max(x1, x2);
        max[1] = std::max(y1, y2);
    }
    double min[4] = {0, 0, 0, 0};
    double max[4] = {0, 0, 0, 0};
};

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
    // shapelib's own tree (SHPCreateTree) answering the same point boxes with
    // SHPTreeFindLikelyShapes alone, without reading any feature.
    SHPHandle h2 = SHPOpen(base.c_str(), "rb");
    SHPTree* tree = SHPCreateTree(h2, 2, 0, nullptr, nullptr);
    long long candidates = 0;
    a = Clock::now();
    for (int q = 0; q < queries; ++q) {
        QueryBox box(xs[q], ys[q]);
        int count = 0;
        int* ids = SHPTreeFindLikelyShapes(tree, box.min, box.max, &count);
        candidates += count;
        std::free(ids);
    }
    b = Clock::now();
    std::printf("shapelib_tree_only qps=%.0f candidates_per_query=%.2f\n", queries / seconds(a, b),
                static_cast<double>(candidates) / queries);
    SHPDestroyTree(tree);
    SHPClose(h2);
    // The floor of every search that uses SHPTreeFindLikelyShapes and reads each candidate
    // with SHPReadObject: the same boxes over the same tree, the reads served from a bare
    // memory map, no checks, no result texts.
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = mappedOpen;
    hooks.FRead = mappedRead;
    hooks.FSeek = mappedSeek;
    hooks.FTell = mappedTell;
    hooks.FClose = mappedClose;
    SHPHandle h3 = SHPOpenLL(base.c_str(), "rb", &hooks);
    tree = SHPCreateTree(h3, 2, 0, nullptr, nullptr);
    long long vertices = 0;
    a = Clock::now();
    for (int q = 0; q < queries; ++q) {
        QueryBox box(xs[q], ys[q]);
        int count = 0;
        int* ids = SHPTreeFindLikelyShapes(tree, box.min, box.max, &count);
        for (int k = 0; k < count; ++k) {
            SHPObject* o = SHPReadObject(h3, ids[k]);
            vertices += o != nullptr ? o->nVertices : 0;
            SHPDestroyObject(o);
        }
        std::free(ids);
    }
    b = Clock::now();
    std::printf("shapelib_tree_and_reads qps=%.0f (the floor: SHPTreeFindLikelyShapes + "
                "SHPReadObject of every candidate, %lld vertices read)\n",
                queries / seconds(a, b), vertices);
    SHPDestroyTree(tree);
    SHPClose(h3);
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
