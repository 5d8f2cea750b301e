// Painting the live map, 1280 x 800: 500 aircraft, every one in view, with five-minute trails
// over the 1:10m outlines of the Philippines (1200 km across), and the same traffic zoomed to
// 250 km, where only the outline cells in view may be touched. Prints milliseconds per frame
// and the aircraft drawn; asserts nothing.
//   ternwick-live-map-bench [--png=PREFIX] [--frames=N] [--benchmark options]
// --png writes the last frame of each case to PREFIX-KM.png, to look at what was measured;
// --frames draws exactly N frames a case (for a profiler: callgrind counts are repeatable).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <optional>
#include <random>

#include "display/live_map.h"
#include "geo/outlines.h"

using namespace ternwick;

namespace {

std::string g_png_prefix;

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
        // Inside the 1200 km view (about 6.7 degrees of latitude by 11 of longitude).
        std::uniform_real_distribution<double> lat(7.5, 13.5), lon(118.0, 128.0), dir_deg(0, 360);
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

// range(0): km across; range(1), what changes from frame to frame:
//   0 held: the traffic moves on a view that stays (the base map is kept);
//   1 drag: the view is dragged 8 px a frame, back and forth over half a view, drawn in the
//     kept base map's projection (as while the mouse drags it): cells of the base map are
//     drawn as they come into view;
//   2 first: every frame is a first one (a fresh renderer: no symbol picture, label or base
//     map; the symbol masks, shared by every renderer, are made at start-up as the window
//     does, and the outlines loaded once);
//   3 pan: the view moves a pixel every frame and is drawn in its own projection (base map
//     and trails all drawn again, as after a drag or at an arrow key).
void BM_LiveMapPaint(benchmark::State& st) {
    Scene& s = TheScene();
    std::optional<LiveMapRenderer> renderer(std::in_place);
    QImage image;
    LiveMapState state;
    state.db = &s.db;
    state.tracks = &s.tracks;
    state.now = s.now;
    state.outlines = &s.outlines;
    state.receiver = geo::LatLon{10.3, 123.9};
    const geo::ViewProjection view({10.5, 123.0}, static_cast<double>(st.range(0)), 1280, 800);
    const int mode = static_cast<int>(st.range(1));
    if (LiveMapRenderer::DetailFor(view) != geo::OutlineDetail::k10m) st.SkipWithError("not the 1:10m level");
    size_t drawn = 0;
    long frame_no = 0;
    for (auto _ : st) {
        ++frame_no;
        geo::ViewProjection shown = view;
        bool keep = false;
        if (mode == 1) {
            // 0, 8, ... 320 px and back: a triangle wave of 80 frames.
            const long phase = frame_no % 80;
            shown = view.Panned(-8.0 * static_cast<double>(phase <= 40 ? phase : 80 - phase), 0);
            keep = true;
        } else if (mode == 2) {
            renderer.emplace();
        } else if (mode == 3 && frame_no % 2 == 1) {
            shown = view.Panned(1, 0);
        }
        const LiveMapFrame frame = renderer->Render(image, shown, state, keep);
        drawn = frame.aircraft.size();
        benchmark::DoNotOptimize(image.constBits());
    }
    st.counters["aircraft"] = static_cast<double>(drawn);
    if (st.range(0) == 1200 && mode != 1 && drawn != 500) st.SkipWithError("not every aircraft in view");
    if (!g_png_prefix.empty() && (st.range(1) == 0 || st.range(1) == 1)) {
        const QString name = QString::fromStdString(g_png_prefix) +
                             QStringLiteral("-%1%2.png").arg(st.range(0)).arg(st.range(1) == 1 ? "-drag" : "");
        if (!image.save(name)) std::fprintf(stderr, "live map bench: cannot write %s\n", qPrintable(name));
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    long frames = 0;
    for (int i = 1; i < argc;) {
        const std::string a = argv[i];
        if (a.rfind("--png=", 0) == 0) g_png_prefix = a.substr(6);
        else if (a.rfind("--frames=", 0) == 0) frames = std::atol(a.c_str() + 9);
        else {
            ++i;
            continue;
        }
        for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
        --argc;
    }
    // As the window does before it is first shown.
    const auto masks_start = std::chrono::steady_clock::now();
    LiveMapRenderer::MakeSymbolMasks();
    std::printf("symbol masks made once per program: %.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - masks_start).count());
    auto* b = benchmark::RegisterBenchmark("BM_LiveMapPaint", BM_LiveMapPaint);
    b->ArgNames({"km", "mode"})->Unit(benchmark::kMillisecond);
    for (int km : {1200, 250})
        for (int mode : {0, 1, 2, 3}) b->Args({km, mode});
    if (frames > 0) b->Iterations(frames);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
