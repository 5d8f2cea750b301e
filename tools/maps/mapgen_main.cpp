// ternwick-mapgen: draws the map picture of every frame in the map catalogue from Natural
// Earth outlines (GeoJSON), so that the catalogue and the pictures always agree.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include "map_render.h"

using namespace ternwick::maps;

namespace {

void Usage(std::FILE* to) {
    std::fputs(
        "usage: ternwick-mapgen --setup SETUP_TXT --land LAND.geojson --countries COUNTRIES.geojson\n"
        "                       [--coarse-land FILE --coarse-countries FILE]\n"
        "                       [--fine-land FILE --fine-countries FILE] [--out DIR]\n"
        "  Draws one 800x400 PNG per map of the catalogue, at the path the catalogue gives,\n"
        "  relative to DIR (default: the folder of SETUP_TXT).\n"
        "  --coarse-*   outlines used instead for maps wider than 90 degrees of longitude\n"
        "  --fine-*     outlines used instead for maps narrower than 20 degrees of longitude\n",
        to);
}

struct Options {
    QString setup, out, land, countries, coarse_land, coarse_countries, fine_land, fine_countries;
};

// One set of outlines, loaded only when given.
struct LayerSet {
    std::vector<Polygon> land, countries;
    bool loaded = false;
    bool Load(const QString& land_path, const QString& countries_path, std::string& error) {
        if (land_path.isEmpty() != countries_path.isEmpty()) {
            error = "land and country outlines go together: give both or neither";
            return false;
        }
        if (land_path.isEmpty()) return true;
        loaded = LoadGeoJson(land_path, land, error) && LoadGeoJson(countries_path, countries, error);
        return loaded;
    }
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "ternwick-mapgen: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Drawing text needs a GUI application object, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        QString* target = a == "--setup" ? &o.setup : a == "--out" ? &o.out : a == "--land" ? &o.land
                        : a == "--countries" ? &o.countries : a == "--coarse-land" ? &o.coarse_land
                        : a == "--coarse-countries" ? &o.coarse_countries : a == "--fine-land" ? &o.fine_land
                        : a == "--fine-countries" ? &o.fine_countries : nullptr;
        if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        }
        if (!target) {
            std::fprintf(stderr, "ternwick-mapgen: unknown argument %s\n", a.c_str());
            Usage(stderr);
            return 2;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "ternwick-mapgen: %s needs a value\n", a.c_str());
            return 2;
        }
        *target = QString::fromLocal8Bit(argv[++i]);
    }
    if (o.setup.isEmpty() || o.land.isEmpty() || o.countries.isEmpty()) {
        Usage(stderr);
        return 2;
    }
    if (o.out.isEmpty()) o.out = QFileInfo(o.setup).absolutePath();

    std::vector<MapFrame> frames;
    std::string error;
    if (!ReadFrames(o.setup.toStdString(), frames, error)) return Fail(error);

    LayerSet normal, coarse, fine;
    if (!normal.Load(o.land, o.countries, error) || !coarse.Load(o.coarse_land, o.coarse_countries, error) ||
        !fine.Load(o.fine_land, o.fine_countries, error))
        return Fail(error);

    const QDir out_dir(o.out);
    for (const MapFrame& f : frames) {
        const LayerSet& set = (coarse.loaded && f.lon_span > 90.0) ? coarse
                            : (fine.loaded && f.lon_span < 20.0) ? fine : normal;
        const MapLayers layers{&set.land, &set.countries};
        const QString path = out_dir.filePath(QString::fromStdString(f.file));
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return Fail("cannot create the folder of " + path.toStdString());
        const QImage img = ToPalette(RenderMap(f, layers));
        if (!img.save(path, "PNG", 9)) return Fail("cannot write " + path.toStdString());
        std::printf("%s: %s (%g..%g E, %g..%g N, %s outlines)\n", f.name.c_str(), path.toLocal8Bit().constData(),
                    f.lon_west, f.lon_west + f.lon_span, f.lat_south, f.lat_south + f.lat_span,
                    &set == &coarse ? "coarse" : &set == &fine ? "fine" : "normal");
    }
    return 0;
}
