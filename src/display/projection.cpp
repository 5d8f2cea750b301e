#include "projection.h"

#include <cmath>

#include "common/hex_digit.h"
#include "common/number_text.h"

namespace ternwick {

double LonIntoFrame(const MapDef& map, double lon) {
    double d = std::fmod(lon - map.MapLonWest, 360.0);
    if (d < 0.0) d += 360.0;
    if (d >= 360.0) d = 0.0;  // a hair west of the edge that rounded up to a whole turn
    return d;
}

bool FrameOnMap(const MapDef& map, double d, double lat) {
    return 0.0 < d && d < map.MapLonSpan && map.MapLatSouth < lat && lat < map.MapLatSouth + map.MapLatSpan;
}

bool OnMap(const MapDef& map, double lon, double lat) { return FrameOnMap(map, LonIntoFrame(map, lon), lat); }

double FrameX(const MapDef& map, double frame_lon) {
    const double scale = 800.0 / map.MapLonSpan;
    return frame_lon * scale;
}

double MapX(const MapDef& map, double lon) { return FrameX(map, LonIntoFrame(map, lon)); }

double MapY(const MapDef& map, double lat) {
    const double scale = 400.0 / map.MapLatSpan;
    return (map.MapLatSpan - (lat - map.MapLatSouth)) * scale;
}

namespace {

// Two address characters read as one hex number; a missing or non-hex character ends
// the number, so nothing readable gives 0.
int HexPair(std::string_view icao, size_t first, size_t second) {
    int value = 0;
    for (size_t pos : {first, second}) {
        const int h = pos < icao.size() ? HexDigitValue(icao[pos]) : -1;
        if (h < 0) break;
        value = value * 16 + h;
    }
    return value;
}

}  // namespace

double EntryColourExact(std::string_view icao, std::string_view pos_kind) {
    double red = HexPair(icao, 3, 0) / 2.0;
    double green = HexPair(icao, 4, 1) / 2.0;
    double blue = HexPair(icao, 5, 2) / 2.0;
    if (pos_kind == "S") {
        red += 24.0;
        green += 24.0;
        blue += 24.0;
    }
    return red + 256.0 * green + 65536.0 * blue;
}

int32_t EntryColour(std::string_view icao, std::string_view pos_kind) {
    return RoundToInt32(EntryColourExact(icao, pos_kind));
}

}  // namespace ternwick
