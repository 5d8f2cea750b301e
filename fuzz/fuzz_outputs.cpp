// libFuzzer target: the formatters over any values an entry can hold (NaN, infinities,
// huge numbers, empty and odd texts): the APRS report line and frame, the live list row and
// text, the CSV, and the fixed-digit patterns. None may crash, and the lines keep their shape.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "aprs/aprs_report.h"
#include "aprs/aprs_station.h"
#include "app/replay_core.h"
#include "common/number_text.h"
#include "display/live_list.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    template <typename T>
    T Take() {
        T v{};
        const size_t k = n < sizeof(T) ? n : sizeof(T);
        std::memcpy(&v, p, k);
        p += k;
        n -= k;
        return v;
    }
    std::string Text(size_t max) {
        const size_t k = std::min<size_t>(Take<uint8_t>() % (max + 1), n);
        std::string s(reinterpret_cast<const char*>(p), k);
        p += k;
        n -= k;
        return s;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader r{data, size};
    ternwick::FlightTable db;
    ternwick::DbRecord& e = db(7);
    db.SetIcao(7, r.Text(8));
    e.Flight = r.Text(10);
    e.IataFlight = r.Text(10);
    const std::string airline = r.Text(20);
    e.Airline = airline;
    e.PosKind = r.Text(2);
    e.Altitude = r.Take<int32_t>();
    e.Speed = r.Take<int32_t>();
    e.Lat = r.Take<double>();
    e.Lon = r.Take<double>();
    e.LastHeard = r.Take<int16_t>();
    const ternwick::AprsTime t{r.Take<uint8_t>() % 32, r.Take<uint8_t>() % 24, r.Take<uint8_t>() % 60};
    const std::string line = ternwick::AprsObjectLine(e, t);
    if (line.empty() || line.back() != '\r') __builtin_trap();
    (void)ternwick::FlightListRow(e, r.Take<int16_t>(), r.Take<uint8_t>() & 1);
    (void)ternwick::FlightListText(db, r.Take<uint16_t>() % 3600, false);
    (void)ternwick::FlightTableCsv(db);
    const double v = r.Take<double>();
    const std::string digits = ternwick::FormatDigits(v, r.Take<uint8_t>() % 12, r.Take<uint8_t>() % 8);
    if (digits.size() > 400) __builtin_trap();

    // The rich or withdrawn report keeps its comment within APRS's 43 characters, and its
    // KISS frame, whatever station a user typed, holds FEND only at its two ends.
    e.Track = r.Take<double>();
    const uint8_t style = r.Take<uint8_t>();
    const std::string info = ternwick::AprsObjectInfo(e, t, {.rich = (style & 1) != 0, .killed = (style & 2) != 0});
    if ((style & 1) && info.size() > 1 + e.Icao.size() + 3 + 1 + 7 + 19 + ternwick::kAprsMaxComment) __builtin_trap();
    ternwick::AprsStation station;
    std::vector<ternwick::Ax25Address> path;
    (void)ternwick::ParseAx25Address(r.Text(12), false, station.source);
    if (ternwick::ParseAx25Path(r.Text(80), path).empty()) {
        if (path.size() > static_cast<size_t>(ternwick::kMaxPathEntries)) __builtin_trap();
        station.path = path;
    }
    const std::string kiss = ternwick::KissDataFrame(
        ternwick::Ax25UiFrame(station, station.PathFor(ternwick::AprsFormat::Kiss), info));
    if (std::count(kiss.begin(), kiss.end(), '\xC0') != 2 || kiss.back() != '\xC0') __builtin_trap();
    return 0;
}
