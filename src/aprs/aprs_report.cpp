#include "aprs_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "aprs/aprs_station.h"
#include "common/longitude.h"

namespace ternwick {

namespace {

// Whole degrees and whole minutes of a non-negative angle, both rounded down. A value no
// decode gives (beyond the globe, not a number) is held at 360 degrees rather than overflow.
void DegreesMinutes(double value, int& degrees, int& minutes) {
    if (!(value <= 360.0)) value = 360.0;
    const double d = std::floor(value);
    int m = static_cast<int>(std::floor((value - d) * 60.0));
    if (m > 59) m = 59;
    if (m < 0) m = 0;
    degrees = static_cast<int>(d);
    minutes = m;
}

// A non-negative angle in hundredths of a minute, rounded down. Counting in hundredths
// first keeps "60.00" minutes impossible; the tiny addition keeps a value such as 0.7,
// stored a hair below, from losing a hundredth. Beyond the globe: held at 360 degrees.
long Hundredths(double value) {
    if (!(value <= 360.0)) value = 360.0;
    return static_cast<long>(std::floor(value * 6000.0 + 1e-7));
}

// The thousandths digit of the minutes that follows `hundredths` (Hundredths of the same
// value), for the "!DAO!" extension: rounded down like the rest, so the position it refines
// is the one already written.
char ThousandthsDigit(double value, long hundredths) {
    if (!(value <= 360.0)) value = 360.0;
    const long th = static_cast<long>(std::floor(value * 60000.0 + 1e-6)) - 10 * hundredths;
    return static_cast<char>('0' + std::clamp(th, 0L, 9L));
}

// Position of the plain report: DDMM.hh with the latitude's hundredths left blank
// (position ambiguity), DDDMM.hh with "00" hundredths; symbol table and code between them.
void AppendPlainPosition(std::string& s, double lat, double lon, AprsSymbol symbol) {
    int lat_deg = 0, lat_min = 0, lon_deg = 0, lon_min = 0;
    DegreesMinutes(std::fabs(lat), lat_deg, lat_min);
    DegreesMinutes(std::fabs(lon), lon_deg, lon_min);
    char pos[32];
    std::snprintf(pos, sizeof pos, "%02d%02d.  %c%c%03d%02d.00%c%c", lat_deg % 100, lat_min, lat < 0.0 ? 'S' : 'N',
                  symbol.table, lon_deg % 1000, lon_min, lon < 0.0 ? 'W' : 'E', symbol.code);
    s += pos;
}

// DDMM.hh / DDDMM.hh; returns the thousandths digits a "!DAO!" would add.
AprsDaoDigits AppendRichPosition(std::string& s, double lat, double lon, AprsSymbol symbol) {
    const double alat = std::fabs(lat), alon = std::fabs(lon);
    const long la = Hundredths(alat), lo = Hundredths(alon);
    char pos[32];
    std::snprintf(pos, sizeof pos, "%02ld%02ld.%02ld%c%c%03ld%02ld.%02ld%c%c", (la / 6000) % 100, la % 6000 / 100,
                  la % 100, lat < 0.0 ? 'S' : 'N', symbol.table, (lo / 6000) % 1000, lo % 6000 / 100, lo % 100,
                  lon < 0.0 ? 'W' : 'E', symbol.code);
    s += pos;
    return {ThousandthsDigit(alat, la), ThousandthsDigit(alon, lo)};
}

// Course/speed extension (APRS 1.01 chapter 7): course 001..360 degrees, 360 being north,
// and speed in knots. Without a track from a velocity message there is none.
std::string CourseSpeed(const DbRecord& e) {
    if (!(e.Track >= 0.0 && e.Track <= 360.0)) return {};
    long course = std::lround(e.Track);
    if (course <= 0) course += 360;
    if (course > 360) course -= 360;
    char ext[48];
    std::snprintf(ext, sizeof ext, "%03ld/%03d", course, std::clamp(e.Speed, 0, 999));
    return ext;
}

// The comment of a rich report: "/A=nnnnnn" (feet) for an airborne entry, then the flight.
std::string RichComment(const DbRecord& e, size_t room) {
    std::string c;
    if (e.PosKind == "A") {
        char alt[16];
        if (e.Altitude >= 0) std::snprintf(alt, sizeof alt, "/A=%06d", std::min(e.Altitude, 999999));
        else std::snprintf(alt, sizeof alt, "/A=-%05d", std::min(-e.Altitude, 99999));
        c = alt;
    }
    std::string flight = e.Flight;
    while (!flight.empty() && flight.back() == ' ') flight.pop_back();
    if (!flight.empty()) {
        if (!c.empty()) c += ' ';
        c += flight;
    }
    if (c.size() > room) c.resize(room);
    return c;
}

}  // namespace

std::string AprsObjectInfo(const DbRecord& e, const AprsTime& t, AprsReportStyle style, std::string_view name_text) {
    // Longitude into -180..180 (the table keeps airborne positions in 0..360, and a
    // surface position may fall below 0 once its map offset is added).
    const double lon = SignedLongitude(e.Lon);
    std::string s;
    s.reserve(80);
    const std::string name = name_text.empty() ? AprsObjectName(e, AprsNaming::Address) : std::string(name_text);
    const AprsSymbol symbol{style.table, style.code};
    s += ';';
    s += name;
    s += style.killed ? '_' : '*';
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02dz", t.day % 100, t.hour % 100, t.minute % 100);
    s += time;
    if (!style.rich && !style.comment) {
        AppendPlainPosition(s, e.Lat, lon, symbol);
        s += e.Flight;
        return s;
    }
    const AprsDaoDigits dao = AppendRichPosition(s, e.Lat, lon, symbol);
    const std::string ext = CourseSpeed(e);
    s += ext;
    const size_t room = kAprsMaxComment - ext.size();
    if (!style.comment) {
        s += RichComment(e, room);
        return s;
    }
    // A callsign that already names the object is not repeated in the comment.
    const std::string call = AprsCallsign(e);
    const bool name_is_callsign = !call.empty() && name == AprsObjectName(e, AprsNaming::Flight);
    std::string comment = AprsReadableComment(e, dao, name_is_callsign, room);
    // Some decoders (direwolf's among them) read what follows the symbol only when it is at
    // least as long as a data extension: a "!DAO!" standing alone is padded to that.
    constexpr size_t kExtensionLength = 7;
    if (ext.size() + comment.size() < kExtensionLength) comment.resize(kExtensionLength - ext.size(), ' ');
    s += comment;
    return s;
}

uint32_t AprsAddressKey(std::string_view icao) {
    constexpr uint32_t kNotAnAddress = 0xFFFFFFFFu;
    uint32_t key = 0;
    if (!icao.empty() && icao.front() == '~') {
        key = 1u << 24;
        icao.remove_prefix(1);
    }
    if (icao.size() != 6) return kNotAnAddress;
    uint32_t v = 0;
    for (char c : icao) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return kNotAnAddress;
        v = v << 4 | static_cast<uint32_t>(d);
    }
    return key | v;
}

std::string AprsAddressText(uint32_t key) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%06X", key & (1u << 24) ? "~" : "", key & 0xFFFFFFu);
    return text;
}

std::string AprsObjectLine(const DbRecord& e, const AprsTime& t) {
    return Tnc2Header(AprsStation{}) + AprsObjectInfo(e, t) + '\r';
}

}  // namespace ternwick
