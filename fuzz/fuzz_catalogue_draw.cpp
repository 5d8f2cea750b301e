// libFuzzer target: a map catalogue and its picture from arbitrary bytes, taken as far as
// the program takes them: parsed, every map selected, its picture loaded, positions plotted
// with labels and tracks. Input: catalogue text, a 0 byte, then the picture file's bytes.
#include <QGuiApplication>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "display/map_catalogue.h"
#include "display/map_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "fuzz_catalogue_draw";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    static const std::string picture = "/tmp/ternwick-fuzz-" + std::to_string(getpid()) + ".png";

    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t text_size = split ? static_cast<size_t>(split - data) : size;
    {
        std::ofstream out(picture, std::ios::binary | std::ios::trunc);
        if (split) out.write(reinterpret_cast<const char*>(split + 1), static_cast<std::streamsize>(size - text_size - 1));
    }
    ternwick::MapTable maps;
    std::string error;
    if (!ternwick::ParseMapCatalogue(std::string_view(reinterpret_cast<const char*>(data), text_size), "setup.txt",
                                     maps, error))
        return 0;
    if (maps.size() > 8) maps.resize(8);  // a few maps show every path; thousands only repeat it
    for (ternwick::MapDef& m : maps) m.MapFile = picture;  // never a path from the input
    ternwick::MapView view;
    view.SetCatalogue(maps);
    view.SetMapFont();
    ternwick::FlightTable db;
    db.SetIcao(0, "4CA1F3");
    db(0).PosKind = "A";
    for (size_t k = 1; k < maps.size(); ++k) {
        view.SelectMap(static_cast<int>(k));
        view.ClearMap(db, error);
        view.DrawHomeMark();
        const ternwick::MapDef& m = view.CurrentMap();
        // Corners, centre and beyond the frame, twice for a track line.
        for (double fx : {0.0, 0.5, 0.999, 1.5}) {
            db(0).Lon = m.MapLonWest + fx * m.MapLonSpan;
            db(0).Lat = m.MapLatSouth + fx * m.MapLatSpan;
            view.PlotPosDb(db, 0);
        }
        (void)view.Surface().Image();
    }
    return 0;
}
