// The outline store: loading each level from its file's bytes, and the runs and points that
// views of several sizes read (what the live map pays per frame before drawing).
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "geo/outlines.h"

namespace {

const char* const kDir = TERNWICK_BIN_DIR "/outlines";

std::string FileBytes(geo::OutlineDetail d) {
    std::ifstream f(std::string(kDir) + "/" + geo::OutlineFileName(d), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

const geo::OutlineStore& Store() {
    static const geo::OutlineStore store = [] {
        geo::OutlineStore s;
        std::string error;
        if (!s.Load(kDir, &error)) std::fprintf(stderr, "bench: %s\n", error.c_str());
        return s;
    }();
    return store;
}

void BM_OutlineLoad(benchmark::State& state) {
    const auto detail = static_cast<geo::OutlineDetail>(state.range(0));
    const std::string bytes = FileBytes(detail);
    for (auto _ : state) {
        geo::OutlineStore s;
        std::string error;
        benchmark::DoNotOptimize(s.LoadLevel(detail, bytes, "bench", &error));
    }
    state.SetLabel(geo::OutlineFileName(detail));
}
BENCHMARK(BM_OutlineLoad)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Every run of land, coast and borders a view reads, each point touched once.
void Query(benchmark::State& state, geo::OutlineDetail detail, geo::GeoBox box) {
    const geo::OutlineStore& s = Store();
    size_t runs = 0, points = 0;
    for (auto _ : state) {
        runs = points = 0;
        float sum = 0;
        auto visit = [&](geo::PointRun r) {
            ++runs;
            points += r.count;
            for (uint32_t i = 0; i < 2 * r.count; ++i) sum += r.lonlat[i];
        };
        s.ForEachLand(detail, box, visit);
        s.ForEachCoastline(detail, box, visit);
        s.ForEachBorder(detail, box, visit);
        benchmark::DoNotOptimize(sum);
    }
    state.counters["runs"] = static_cast<double>(runs);
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK_CAPTURE(Query, WholeEarth110m, geo::OutlineDetail::k110m, geo::GeoBox{-180, -90, 180, 90});
BENCHMARK_CAPTURE(Query, Europe50m, geo::OutlineDetail::k50m, geo::GeoBox{-12, 35, 32, 57});
BENCHMARK_CAPTURE(Query, Visayas10m, geo::OutlineDetail::k10m, geo::GeoBox{120, 8.5, 128, 12.5});
BENCHMARK_CAPTURE(Query, Cebu20km10m, geo::OutlineDetail::k10m, geo::GeoBox{123.85, 10.25, 124.03, 10.35});
BENCHMARK_CAPTURE(Query, Fiji10mAcross180, geo::OutlineDetail::k10m, geo::GeoBox{177, -19, -178, -15});
BENCHMARK_CAPTURE(Query, WholeEarth10m, geo::OutlineDetail::k10m, geo::GeoBox{-180, -90, 180, 90});

}  // namespace
