#include "replay_core.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/longitude.h"

namespace ternwick {

namespace {

template <class Feed>
PumpEnd ReadChunks(int fd, const Feed& feed, const std::function<void()>& after_chunk, int interrupt_fd) {
    uint8_t buf[1 << 16];
    for (;;) {
        if (interrupt_fd >= 0) {
            pollfd wait[2] = {{fd, POLLIN, 0}, {interrupt_fd, POLLIN, 0}};
            if (poll(wait, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return PumpEnd::kError;
            }
            if (wait[1].revents & POLLIN) return PumpEnd::kInterrupted;
        }
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n == 0) return PumpEnd::kEnd;
        if (n < 0) {
            if (errno == EINTR) continue;
            return PumpEnd::kError;
        }
        feed(std::span<const uint8_t>(buf, static_cast<size_t>(n)));
        if (after_chunk) after_chunk();
    }
}

}  // namespace

PumpEnd PumpStream(int fd, BytePump& pump, const std::function<void()>& after_chunk, int interrupt_fd) {
    return ReadChunks(
        fd, [&pump](std::span<const uint8_t> b) { pump.FeedRecorded(b, pump.HostTime()); }, after_chunk, interrupt_fd);
}

PumpEnd PumpStream(int fd, RecordedInput& input, const std::function<void()>& after_chunk, int interrupt_fd) {
    const PumpEnd end =
        ReadChunks(fd, [&input](std::span<const uint8_t> b) { input.Feed(b); }, after_chunk, interrupt_fd);
    input.EndFile();
    return end;
}

PumpEnd PacedPumpStream(int fd, RecordedInput& input, ReplayPacer& pacer, const std::function<void(double)>& sleep,
                        const std::function<void()>& after_chunk, int interrupt_fd) {
    input.SetHolding(true);
    uint8_t buf[4096];
    bool at_end = false, ok = true;
    for (;;) {
        if (pollfd p{interrupt_fd, POLLIN, 0}; interrupt_fd >= 0 && poll(&p, 1, 0) > 0) {
            input.SetHolding(false);
            return PumpEnd::kInterrupted;
        }
        const PaceStep step = pacer.RunDue(input);
        if (step.evaluated > 0 && after_chunk) after_chunk();
        if (!step.starved) {
            if (step.evaluated == 0) sleep(step.wait);
            continue;
        }
        if (at_end) break;
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            at_end = true;
            input.EndFile();  // a record cut short at the end is dropped, the rest evaluated
            continue;
        }
        input.Feed(std::span<const uint8_t>(buf, static_cast<size_t>(n)));
    }
    input.SetHolding(false);
    return ok ? PumpEnd::kEnd : PumpEnd::kError;
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

void AppendCsvText(std::string& out, std::string_view s) {
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

std::string FlightTableCsv(const FlightTable& db, const std::optional<geo::LatLon>& receiver) {
    std::string out =
        "icao,flight,iata_flight,airline,pos_kind,altitude_ft,speed_kt,lat,lon,squawk,vertical_rate_fpm,source";
    out += receiver ? ",range_nm,bearing_deg\n" : "\n";
    char num[96];
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = db(i);
        if (e.Icao.empty()) continue;
        for (const std::string_view s : {std::string_view(e.Icao), std::string_view(e.Flight),
                                         std::string_view(e.IataFlight), e.Airline, std::string_view(e.PosKind)}) {
            AppendCsvText(out, s);
            out += ',';
        }
        // The table keeps airborne longitudes in 0..360; scripts expect -180..180.
        const double lon = SignedLongitude(e.Lon);
        std::snprintf(num, sizeof num, "%d,%d,%.6f,%.6f,", e.Altitude, e.Speed, e.Lat, lon);
        out += num;
        // Empty where nothing was heard.
        if (e.Squawk >= 0) {
            std::snprintf(num, sizeof num, "%04d", e.Squawk);
            out += num;
        }
        out += ',';
        if (e.HasVertRate) out += std::to_string(e.VertRate);
        out += ',';
        out += SourceName(e.Source);
        if (receiver && e.HasPos) {
            const geo::LatLon p{e.Lat, lon};
            std::snprintf(num, sizeof num, ",%.1f,%.1f", geo::DistanceNm(*receiver, p), geo::BearingDeg(*receiver, p));
            out += num;
        } else if (receiver) {
            out += ",,";
        }
        out += '\n';
    }
    return out;
}

std::string CoverageCsv(const geo::Coverage& coverage) {
    std::string out = "bearing_deg,range_nm,lat,lon,altitude_ft\n";
    char line[128];
    for (int k = 0; k < geo::Coverage::kSectors; ++k) {
        const auto& s = coverage.Sector(k);
        if (!s) continue;
        std::snprintf(line, sizeof line, "%.1f,%.1f,%.6f,%.6f,", s->bearing_deg, s->range_nm, s->pos.lat, s->pos.lon);
        out += line;
        if (s->altitude_ft) out += std::to_string(*s->altitude_ft);
        out += '\n';
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
    add("all-call replies rejected: %llu\n", (unsigned long long)s.allcall_rejected);
    add("one-bit repairs: %llu\n", (unsigned long long)s.repaired);
    add("address/parity replies accepted: %llu\n", (unsigned long long)s.ap_accepted);
    add("address/parity replies refused: %llu\n", (unsigned long long)s.ap_refused);
    add("positions decoded: %llu\n", (unsigned long long)s.positions);
    add("decodes rejected as implausible: %llu\n", (unsigned long long)s.rejected_decodes);
    add("even/odd pairs refused: %llu\n", (unsigned long long)s.refused_pairs);
    add("NL mismatches: %llu\n", (unsigned long long)s.nl_mismatch);
    add("messages finding the flight table full: %llu\n", (unsigned long long)s.table_full);
    add("elapsed seconds: %.3f\n", seconds);
    add("messages per second: %.0f\n", seconds > 0 ? c.evaluated / seconds : 0.0);
    return out;
}

std::string ReceiverStatsText(const TrackerStats& s) {
    std::string out;
    char line[160];
    auto add = [&](const char* fmt, unsigned long long v) {
        std::snprintf(line, sizeof line, fmt, v);
        out += line;
    };
    add("positions from a single report next to the receiver: %llu\n", s.lone_fixes);
    add("single reports refused beyond the sure range: %llu\n", s.lone_too_far);
    add("pairs refused beyond the maximum range: %llu\n", s.beyond_range);
    add("fixes refused as too fast: %llu\n", s.too_fast);
    return out;
}

std::string FramingStatsText(const FramingCounts& avr, const FramingCounts& beast) {
    FramingCounts all = avr;
    all += beast;
    std::string out;
    char line[160];
    auto add = [&](const char* fmt, auto... v) {
        std::snprintf(line, sizeof line, fmt, v...);
        out += line;
    };
    for (const auto& [name, c] : {std::pair{"AVR text", &avr}, std::pair{"Beast binary", &beast}})
        add("%s frames: %llu (messages %llu)\n", name, (unsigned long long)(c->messages + c->mode_ac + c->keepalive),
            (unsigned long long)c->messages);
    add("Mode A/C skipped: %llu\n", (unsigned long long)all.mode_ac);
    add("keep-alives skipped: %llu\n", (unsigned long long)all.keepalive);
    add("other Beast frames skipped: %llu\n", (unsigned long long)all.other);
    add("bad frames: %llu\n", (unsigned long long)all.bad);
    add("bytes skipped while resynchronising: %llu\n", (unsigned long long)all.skipped_bytes);
    return out;
}

}  // namespace ternwick
