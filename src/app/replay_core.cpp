#include "replay_core.h"

#include <cstdio>

namespace ternwick {

int WallClock::SecondsInHour() const {
    const std::time_t now = std::time(nullptr);
    if (now != last_) {
        std::tm tm{};
        localtime_r(&now, &tm);
        cached_ = tm.tm_min * 60 + tm.tm_sec;
        last_ = now;
    }
    return cached_;
}

bool ReplayStream(std::FILE* in, Tracker& tracker, FrameAssembler& frames, ReplayCounters& counters,
                  const std::function<void()>& on_message, const std::function<void()>& before_message) {
    unsigned char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) {
        counters.bytes += n;
        for (size_t i = 0; i < n; ++i) {
            if (frames.Feed(buf[i])) {
                if (before_message) before_message();
                tracker.Squitter.assign(frames.Digits());
                tracker.EvalSquitter();
                frames.Clear();
                ++counters.evaluated;
                if (on_message) on_message();
            }
        }
    }
    return !std::ferror(in);
}

bool ReplayClock::SetFixed(const std::string& text) {
    int d = 0, h = 0, m = 0, s = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d:%d%c", &d, &h, &m, &s, &end) != 4) return false;
    if (d < 1 || d > 31 || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return false;
    fixed_ = true;
    day_ = d;
    hour_ = h;
    minute_ = m;
    second_ = s;
    return true;
}

int ReplayClock::SecondsInHour() const { return fixed_ ? minute_ * 60 + second_ : wall_.SecondsInHour(); }

void ReplayClock::DayHourMinute(int& day, int& hour, int& minute) const {
    if (fixed_) {
        day = day_;
        hour = hour_;
        minute = minute_;
        return;
    }
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    day = tm.tm_mday;
    hour = tm.tm_hour;
    minute = tm.tm_min;
}

std::string LinesForPrint(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') out += text[i];
        else if (i + 1 >= text.size() || text[i + 1] != '\n') out += '\n';
    }
    return out;
}

namespace {

void AppendCsvText(std::string& out, const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) {
        out += s;
        return;
    }
    out += '"';
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string FlightTableCsv(const FlightTable& db) {
    std::string out = "icao,flight,iata_flight,airline,pos_kind,altitude_ft,speed_kt,lat,lon\n";
    char num[96];
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = db(i);
        if (e.Icao.empty()) continue;
        for (const std::string* s : {&e.Icao, &e.Flight, &e.IataFlight, &e.Airline, &e.PosKind}) {
            AppendCsvText(out, *s);
            out += ',';
        }
        // The table keeps airborne longitudes in 0..360; scripts expect -180..180.
        const double lon = e.Lon > 180.0 ? e.Lon - 360.0 : e.Lon;
        std::snprintf(num, sizeof num, "%d,%d,%.6f,%.6f\n", e.Altitude, e.Speed, e.Lat, lon);
        out += num;
    }
    return out;
}

std::string StatsText(const TrackerStats& s, const ReplayCounters& c, double seconds) {
    std::string out;
    char line[160];
    auto add = [&](const char* fmt, auto... v) {
        std::snprintf(line, sizeof line, fmt, v...);
        out += line;
    };
    add("bytes read: %llu\n", (unsigned long long)c.bytes);
    add("messages evaluated: %llu\n", (unsigned long long)c.evaluated);
    for (int df = 0; df < 32; ++df)
        if (s.per_df[df]) add("  DF%02d: %llu\n", df, (unsigned long long)s.per_df[df]);
    for (int tc = 0; tc < 32; ++tc)
        if (s.per_tc[tc]) add("  TC%02d: %llu\n", tc, (unsigned long long)s.per_tc[tc]);
    add("CRC rejections: %llu\n", (unsigned long long)s.crc_rejected);
    add("positions decoded: %llu\n", (unsigned long long)s.positions);
    add("decodes rejected as implausible: %llu\n", (unsigned long long)s.rejected_decodes);
    add("even/odd pairs refused: %llu\n", (unsigned long long)s.refused_pairs);
    add("NL mismatches: %llu\n", (unsigned long long)s.nl_mismatch);
    add("elapsed seconds: %.3f\n", seconds);
    add("messages per second: %.0f\n", seconds > 0 ? c.evaluated / seconds : 0.0);
    return out;
}

}  // namespace ternwick
