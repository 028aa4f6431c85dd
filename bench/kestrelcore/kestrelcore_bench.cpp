// Google Benchmark programs for Kestrelcore's hot paths at modest sizes (bench/compare.sh
// runs the large comparisons against the peers).
#include "format.h"
#include "kestrelcore.h"
#include "sample_files.hpp"

#include <benchmark/benchmark.h>
#include <shapefil.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string& dataDir() {
    static const std::string dir = [] {
        const fs::path d = fs::temp_directory_path() / "kestrelcore_bench";
        fs::create_directories(d);
        return d.string();
    }();
    return dir;
}

std::string makePoints(int n) {
    const std::string base = dataDir() + "/points" + std::to_string(n);
    if (!fs::exists(base + ".shp"))
        kcbench::WritePoints(base, n, 1);
    return base;
}

std::string makeLines(int n) {
    const std::string base = dataDir() + "/lines" + std::to_string(n);
    if (!fs::exists(base + ".shp"))
        kcbench::WriteLines(base, n, 2);
    return base;
}

std::vector<double> coordinates() {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(-180, 180);
    std::vector<double> v(4096);
    for (double& d : v)
        d = u(rng);
    return v;
}

void BM_FormatFixed8(benchmark::State& state) {
    const auto values = coordinates();
    char buf[kc::kMaxFixedChars];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kc::formatFixed8(buf, values[i++ & 4095]));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_FormatFixed8);

void BM_SnprintfFixed8(benchmark::State& state) {
    const auto values = coordinates();
    char buf[512];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(buf, sizeof buf, "%.8f", values[i++ & 4095]));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_SnprintfFixed8);

void BM_ExportShp2Kml(benchmark::State& state) {
    const std::string base = makeLines(static_cast<int>(state.range(0)));
    const std::string kml = base + ".kml";
    for (auto _ : state)
        benchmark::DoNotOptimize(KC_ExportShp2Kml(base.c_str(), kml.c_str()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * state.range(0)));
}
BENCHMARK(BM_ExportShp2Kml)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_OpenShpFile(benchmark::State& state) {
    const std::string base = makePoints(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(KC_OpenShpFile(base.c_str()));
        KC_CloseShpFile();
    }
}
BENCHMARK(BM_OpenShpFile)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_ShapelibCreateTree(benchmark::State& state) {
    const std::string base = makePoints(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        SHPHandle h = SHPOpen(base.c_str(), "rb");
        SHPTree* t = SHPCreateTree(h, 2, 0, nullptr, nullptr);
        benchmark::DoNotOptimize(t);
        SHPDestroyTree(t);
        SHPClose(h);
    }
}
BENCHMARK(BM_ShapelibCreateTree)->Arg(50000)->Unit(benchmark::kMillisecond);

void pointQueries(benchmark::State& state, bool nearest) {
    const std::string base = makePoints(50000);
    KC_OpenShpFile(base.c_str());
    SHPHandle h = SHPOpen(base.c_str(), "rb");
    std::vector<std::pair<double, double>> qs;
    for (int i = 0; i < 4096; ++i) {
        SHPObject* o = SHPReadObject(h, (i * 7919) % 50000);
        qs.emplace_back(o->padfX[0], o->padfY[0]);
        SHPDestroyObject(o);
    }
    SHPClose(h);
    char coords[256], attrs[16];
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& q = qs[i++ & 4095];
        coords[0] = '\0';
        benchmark::DoNotOptimize(nearest ? KC_FindNearest(q.first, q.second, 0, coords, attrs)
                                         : KC_SearchShpFile(q.first, q.second, 0, coords, attrs));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    KC_CloseShpFile();
}

void BM_SearchShpFile(benchmark::State& state) {
    pointQueries(state, false);
}
BENCHMARK(BM_SearchShpFile);

void BM_FindNearest(benchmark::State& state) {
    pointQueries(state, true);
}
BENCHMARK(BM_FindNearest);

} // namespace

BENCHMARK_MAIN();
