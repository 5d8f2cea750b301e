#include "live_list.h"

#include "common/number_text.h"

namespace ternwick {

namespace {

constexpr char kCrLf[] = "\r\n";

}  // namespace

int AgeSeconds(int now, int last_heard) {
    int age = now - last_heard;
    if (age < 0) age += 3600;
    return age;
}

int ExpireEntries(FlightTable& db, int now, double expire_seconds) {
    int freed = 0;
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = db(i);
        if (e.Icao.empty()) continue;
        if (AgeSeconds(now, e.LastHeard) > expire_seconds) {
            db.InitDbPos(i);
            ++freed;
        }
    }
    return freed;
}

std::string FlightListHeading(bool use_kmh) {
    std::string out = " ICAO    ICAOid    IATAid     Airline       LON        LAT        T   Alt.    ";
    out += use_kmh ? "kmh " : "Knts";
    out += "  Hrd";
    out += kCrLf;
    out.append(87, '-');
    out += kCrLf;
    return out;
}

std::string FlightListRow(const DbRecord& e, int age, bool use_kmh) {
    std::string row;
    row.reserve(96);
    row += e.Icao;
    row += "   ";
    row += e.Flight;
    row += "  ";
    // Without an IATA airline code IataFlight is only the 6-character number part: padded to
    // the column's 8 so that the columns after it stay under their heading words.
    row += e.IataFlight;
    if (e.IataFlight.size() < 8) row.append(8 - e.IataFlight.size(), ' ');
    row += "   ";
    row += FixLenString(e.Airline, 12);
    row += "  ";
    row += FormatDigits(e.Lon, 3, 4);
    row += "   ";
    row += FormatDigits(e.Lat, 3, 4);
    row += "   ";
    row += e.PosKind;
    row += "   ";
    if (e.PosKind == "A") row += FormatDigits(e.Altitude, 5, 0);
    else if (e.PosKind == "S") row += "Surf.";
    else row += "Undef";
    row += "   ";
    row += FormatDigits(use_kmh ? e.Speed * 1.852 : double(e.Speed), 3, 0);
    row += "   ";
    row += FormatDigits(age, 3, 0);
    row += "   ";
    row += kCrLf;
    return row;
}

std::string FlightListText(const FlightTable& db, int now, bool use_kmh) {
    std::string out = FlightListHeading(use_kmh);
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = db(i);
        if (!e.Icao.empty()) out += FlightListRow(e, AgeSeconds(now, e.LastHeard), use_kmh);
    }
    return out;
}

std::string ShowTextTable(FlightTable& db, int now, const ListSettings& settings) {
    // Freeing entry i never changes another entry, so expiring all first and then listing
    // gives the same text as doing both entry by entry.
    ExpireEntries(db, now, settings.expire_seconds);
    return FlightListText(db, now, settings.use_kmh);
}

void LiveList::ShowTextTable(FlightTable& db, int now, const ListSettings& settings) {
    // With the same table, second and settings a pass would free nothing new and list
    // the same text, so it is skipped.
    const bool same_clock = have_pass_ && now == now_ && settings == settings_;
    if (same_clock && !table_changed_) return;
    // Within the same second an evaluation only makes the entry it touched 0 seconds old,
    // so no other entry can newly pass a limit of 0 or more: the scan can wait.
    if (!same_clock || settings.expire_seconds < 0) ExpireEntries(db, now, settings.expire_seconds);
    have_pass_ = true;
    table_changed_ = false;
    now_ = now;
    settings_ = settings;
    text_stale_ = true;
    ++generation_;
}

const std::string& LiveList::Text(const FlightTable& db) {
    if (text_stale_) {
        text_ = FlightListText(db, now_, settings_.use_kmh);
        text_stale_ = false;
    }
    return text_;
}

}  // namespace ternwick
