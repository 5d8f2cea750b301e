// ternwick-mapgen: draws the map picture of every frame in the map catalogue from Natural
// Earth outlines (GeoJSON), so that the catalogue and the pictures always agree; and adds a
// map of the user's own area to the catalogue from the outlines shipped with the program.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/field_reader.h"
#include "display/map_catalogue.h"
#include "map_add.h"
#include "map_render.h"

using namespace ternwick::maps;

namespace {

void Usage(std::FILE* to) {
    std::fputs(
        "usage: ternwick-mapgen --setup SETUP_TXT --land LAND.geojson --countries COUNTRIES.geojson\n"
        "                       [--coarse-land FILE --coarse-countries FILE]\n"
        "                       [--fine-land FILE --fine-countries FILE] [--out DIR]\n"
        "       ternwick-mapgen --add NAME --centre LAT,LON --span DEG [--setup SETUP_TXT] [--outlines DIR]\n"
        "  Draws one 800x400 PNG per map of the catalogue, at the path the catalogue gives,\n"
        "  relative to DIR (default: the folder of SETUP_TXT).\n"
        "  --coarse-*   outlines used instead for maps wider than 90 degrees of longitude\n"
        "  --fine-*     outlines used instead for maps narrower than 20 degrees of longitude\n"
        "  --add        adds a map NAME centred on LAT,LON (decimal degrees, south and west negative),\n"
        "               DEG degrees of longitude wide and half that high, to the catalogue (default: the\n"
        "               one beside the program), drawing its picture into maps/ beside the catalogue from\n"
        "               the shipped outlines (default: outlines/ beside the program)\n",
        to);
}

struct Options {
    QString setup, out, land, countries, coarse_land, coarse_countries, fine_land, fine_countries;
    QString add, centre, span, outlines;
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

// Adds one map to the catalogue: everything is checked before anything is written; the picture
// and then the catalogue are each written to a new file that replaces the old one only whole.
int AddMap(const Options& o) {
    if (o.add.isEmpty() || o.centre.isEmpty() || o.span.isEmpty()) {
        std::fprintf(stderr, "ternwick-mapgen: --add needs --centre and --span, and they need --add\n");
        Usage(stderr);
        return 2;
    }
    std::string error;
    double lat = 0, lon = 0, span = 0;
    if (!ParseCentre(o.centre.toStdString(), lat, lon, error)) return Fail(error);
    bool span_ok = false;
    span = o.span.trimmed().toDouble(&span_ok);
    if (!span_ok) return Fail("--span '" + o.span.toStdString() + "': give the map's width in degrees of longitude");
    NewMap map;
    if (!MakeFrame(o.add.toStdString(), lat, lon, span, map, error)) return Fail(error);

    const QString app_dir = QCoreApplication::applicationDirPath();
    const QString setup = o.setup.isEmpty() ? app_dir + "/setup.txt" : o.setup;
    const std::string setup_name = setup.toStdString();
    std::string text, why;
    if (!ternwick::ReadWholeFile(setup_name, text, why)) return Fail("cannot read map catalogue " + setup_name + ": " + why);

    // A picture name no map uses and no file has yet: "maps/home.png", else "maps/home-2.png" ...
    const QDir setup_dir = QFileInfo(setup).absoluteDir();
    ternwick::MapTable table;
    if (!ternwick::ParseMapCatalogue(text, setup_name, table, error)) return Fail(error);
    const std::string base = map.file.substr(0, map.file.size() - 4);
    for (int k = 2;; ++k) {
        const bool used = std::any_of(table.begin(), table.end(), [&](const ternwick::MapDef& m) {
            return QDir::cleanPath(QString::fromStdString(m.MapFile)) == QString::fromStdString(map.file);
        });
        if (!used && !QFileInfo::exists(setup_dir.filePath(QString::fromStdString(map.file)))) break;
        map.file = base + "-" + std::to_string(k) + ".png";
    }
    std::string new_text;
    if (!AddToCatalogue(text, setup_name, map, new_text, error)) return Fail(error);

    // The outlines: given, beside the program, or beside the catalogue.
    QStringList dirs;
    if (!o.outlines.isEmpty()) dirs << o.outlines;
    else dirs << app_dir + "/outlines" << setup_dir.filePath("outlines");
    const geo::OutlineDetail detail = geo::DetailForSpan(map.lon_span);
    geo::OutlineStore store;
    std::string load_error;
    for (const QString& dir : dirs) {
        store.Load(dir.toStdString(), &load_error);
        if (store.Has(detail)) break;
    }
    if (!store.Has(detail)) return Fail("no outlines to draw the map from: " + load_error);

    MapFrame frame;
    frame.name = map.name;
    frame.file = map.file;
    frame.lon_west = map.lon_west;
    frame.lon_span = map.lon_span;
    frame.lat_south = map.lat_south;
    frame.lat_span = map.lat_span;
    const QString picture = setup_dir.filePath(QString::fromStdString(map.file));
    if (!QDir().mkpath(QFileInfo(picture).absolutePath()))
        return Fail("cannot create the folder of " + picture.toStdString());
    QSaveFile picture_file(picture);
    const QImage img = ToPalette(RenderMap(frame, store, detail));
    if (!picture_file.open(QIODevice::WriteOnly) || !img.save(&picture_file, "PNG", 9) || !picture_file.commit())
        return Fail("cannot write " + picture.toStdString() + ": " + picture_file.errorString().toStdString());

    QSaveFile catalogue(setup);
    if (!catalogue.open(QIODevice::WriteOnly) ||
        catalogue.write(new_text.data(), static_cast<qint64>(new_text.size())) != static_cast<qint64>(new_text.size()) ||
        !catalogue.commit()) {
        QFile::remove(picture);
        return Fail("cannot write map catalogue " + setup_name + ": " + catalogue.errorString().toStdString() +
                    " (it is left as it was)");
    }
    const char* level = detail == geo::OutlineDetail::k110m ? "1:110m" : detail == geo::OutlineDetail::k50m ? "1:50m" : "1:10m";
    std::printf("Added map %d \"%s\" to %s:\n  %s\n  picture %s (%s outlines)\n", static_cast<int>(table.size()),
                map.name.c_str(), setup_name.c_str(), CatalogueLine(map).c_str(), picture.toLocal8Bit().constData(), level);
    return 0;
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
                        : a == "--fine-countries" ? &o.fine_countries : a == "--add" ? &o.add
                        : a == "--centre" ? &o.centre : a == "--span" ? &o.span : a == "--outlines" ? &o.outlines
                        : nullptr;
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
    if (!o.add.isEmpty() || !o.centre.isEmpty() || !o.span.isEmpty()) return AddMap(o);
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
