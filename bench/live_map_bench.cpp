// Painting the live map: 500 aircraft with five-minute trails over the 1:10m outlines of
// the Philippines, 1280 x 800. Prints milliseconds per frame; asserts nothing.
//   ternwick-live-map-bench [--benchmark options]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "display/live_map.h"
#include "geo/outlines.h"

using namespace ternwick;

namespace {

struct Scene {
    FlightTable db;
    LiveTracks tracks;
    geo::OutlineStore outlines;
    double now = 100000;
};

Scene& TheScene() {
    static Scene* s = [] {
        auto* scene = new Scene;
        std::string error;
        const std::string dir = QDir(QCoreApplication::applicationDirPath() + "/../bin/outlines").absolutePath().toStdString();
        if (!scene->outlines.Load(dir, &error)) std::fprintf(stderr, "live map bench: %s\n", error.c_str());
        std::mt19937 rng(21);
        std::uniform_real_distribution<double> lat(6.0, 15.0), lon(119.0, 127.0), dir_deg(0, 360);
        char icao[8];
        for (int i = 0; i < 500; ++i) {
            std::snprintf(icao, sizeof icao, "%06X", 0x758000 + i * 37);
            scene->db.SetIcao(i, icao);
            DbRecord& e = scene->db(i);
            e.Flight = "PAL" + std::to_string(100 + i) + "  ";
            e.Flight.resize(8, ' ');
            e.PosKind = i % 20 == 0 ? "S" : "A";
            e.Altitude = 1000 + i * 70;
            e.Track = dir_deg(rng);
            // Five minutes at 450 kt along the track, a position every second.
            geo::LatLon p{lat(rng), lon(rng)};
            const uint32_t key = AddressKey(icao);
            for (int t = 300; t >= 0; --t) {
                const geo::LatLon q = geo::Destination(p, e.Track, -t * 0.23);
                scene->tracks.Position(key, scene->now - t, q.lat, q.lon, e.PosKind == "S");
            }
            e.Lat = p.lat;
            e.Lon = p.lon;
            e.HasPos = true;
        }
        return scene;
    }();
    return *s;
}

void BM_LiveMapPaint(benchmark::State& st) {
    Scene& s = TheScene();
    LiveMapRenderer renderer;
    QImage image;
    LiveMapState state;
    state.db = &s.db;
    state.tracks = &s.tracks;
    state.now = s.now;
    state.outlines = &s.outlines;
    state.receiver = geo::LatLon{10.3, 123.9};
    const geo::ViewProjection view({10.5, 123.0}, static_cast<double>(st.range(0)), 1280, 800);
    if (LiveMapRenderer::DetailFor(view) != geo::OutlineDetail::k10m) st.SkipWithError("not the 1:10m level");
    size_t drawn = 0;
    for (auto _ : st) {
        const LiveMapFrame frame = renderer.Render(image, view, state);
        drawn = frame.aircraft.size();
        benchmark::DoNotOptimize(image.constBits());
    }
    st.counters["aircraft"] = static_cast<double>(drawn);
}
BENCHMARK(BM_LiveMapPaint)->Arg(1000)->Arg(250)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
