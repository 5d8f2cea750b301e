#include "replay_aprs.h"

#include <cstring>
#include <vector>

#include "common/number_text.h"
#include "replay_core.h"

namespace ternwick {

const char kAprsUsage[] =
    "  --aprs             print the APRS report of every plotted position\n"
    "  --aprs-format F    what --aprs prints: text (TNC2 lines, default) or kiss (frames)\n"
    "  --aprs-to H:P      send the reports as KISS frames to the KISS server at host:port\n"
    "  --aprs-is H[:P]    send the reports to the APRS-IS server there (port 14580 if none)\n"
    "  --aprs-passcode N  the APRS-IS passcode of the --aprs-call callsign\n"
    "  --aprs-call CALL   source callsign with optional SSID (default QZ7TRK)\n"
    "  --aprs-dest CALL   destination (default APZ001)\n"
    "  --aprs-path PATH   digipeater path, up to 8 entries separated by commas (default\n"
    "                     TCPIP* for text, WIDE1-1 for KISS; '' for none)\n"
    "  --aprs-interval S  at least S seconds between two reports of an aircraft, twice\n"
    "                     that while it hardly moved (default 0)\n"
    "  --aprs-max-per-min N  at most N reports in any minute for the station, shared\n"
    "                     fairly among the aircraft (default 0: no limit)\n"
    "  --aprs-kill        withdraw the object of a reported aircraft that leaves the table\n"
    "  --aprs-rich        hundredths of minutes, course/speed and altitude in the reports\n"
    "  --aprs-name N      object names: address (default) or flight (the callsign once known)\n"
    "  --aprs-symbol S    category (by the emitter category: light aircraft, airliner,\n"
    "                     helicopter, glider, balloon, UAV) or a table and code (default /^)\n"
    "  --aprs-comment     the rich report with a comment: EMERGENCY, squawk, climb, !DAO!,\n"
    "                     flight and airline, as far as 43 characters allow\n";

namespace {

const char* C(const QString& s) {
    static std::string keep;
    keep = s.toLocal8Bit().toStdString();
    return keep.c_str();
}

}  // namespace

int ParseAprsOption(const std::string& a, const std::function<const char*(const char*)>& value, AprsOptions& o) {
    auto refuse = [](const char* name, const char* v, const std::string& reason) {
        std::fprintf(stderr, "ternwick-replay: %s '%s': %s\n", name, v, reason.c_str());
        return -1;
    };
    auto whole = [&](const char* name, int max, int& out) {
        const char* v = value(name);
        if (!v) return -1;
        double d = 0.0;
        std::string why;
        if (!ParseOptionNumber(v, 0, max, true, d, why)) return refuse(name, v, why);
        out = static_cast<int>(d);
        return 1;
    };
    auto text = [&](const char* name, std::string& out) {
        const char* v = value(name);
        if (!v) return -1;
        out = v;
        return 1;
    };
    auto address = [&](const char* name, Ax25Address& out) {
        const char* v = value(name);
        if (!v) return -1;
        const std::string reason = ParseAx25Address(v, false, out);
        return reason.empty() ? 1 : refuse(name, v, reason);
    };
    if (a == "--aprs") o.print = true;
    else if (a == "--aprs-kill") o.kill = true;
    else if (a == "--aprs-rich") o.rich = true;
    else if (a == "--aprs-comment") o.look.comment = true;
    else if (a == "--aprs-name" || a == "--aprs-symbol") {
        const char* v = value(a.c_str());
        if (!v) return -1;
        const std::string reason =
            a == "--aprs-name" ? ParseAprsNaming(v, o.look.naming) : ParseAprsSymbol(v, o.look.symbol);
        if (!reason.empty()) return refuse(a.c_str(), v, reason);
    }
    else if (a == "--aprs-call") return address("--aprs-call", o.station.source);
    else if (a == "--aprs-dest") return address("--aprs-dest", o.station.destination);
    else if (a == "--aprs-path") {
        const char* v = value("--aprs-path");
        if (!v) return -1;
        std::vector<Ax25Address> path;
        const std::string reason = ParseAx25Path(v, path);
        if (!reason.empty()) return refuse("--aprs-path", v, reason);
        o.station.path = path;
    } else if (a == "--aprs-format") {
        const char* v = value("--aprs-format");
        if (!v) return -1;
        if (std::strcmp(v, "text") == 0) o.format = AprsFormat::Text;
        else if (std::strcmp(v, "kiss") == 0) o.format = AprsFormat::Kiss;
        else return refuse("--aprs-format", v, "either text or kiss");
    } else if (a == "--aprs-to") return text("--aprs-to", o.kiss_to);
    else if (a == "--aprs-is") return text("--aprs-is", o.is_server);
    else if (a == "--aprs-passcode") {
        o.passcode_given = true;
        if (text("--aprs-passcode", o.passcode) < 0) return -1;
        const QString bad = AprsIsLink::CheckPasscode(o.passcode);
        if (!bad.isEmpty()) {
            std::fprintf(stderr, "ternwick-replay: --aprs-passcode: %s\n", C(bad));
            return -1;
        }
    } else if (a == "--aprs-interval") return whole("--aprs-interval", kMaxAprsInterval, o.rate.interval_seconds);
    else if (a == "--aprs-max-per-min") return whole("--aprs-max-per-min", kMaxAprsPerMinute, o.rate.max_per_minute);
    else return 0;
    return 1;
}

std::string CheckAprsOptions(const AprsOptions& o) {
    if (!o.is_server.empty() && !o.passcode_given)
        return "--aprs-is needs --aprs-passcode, the passcode the APRS-IS operators give for your callsign";
    if (o.is_server.empty() && o.passcode_given) return "--aprs-passcode goes with --aprs-is";
    return {};
}

bool StartAprs(Session& session, const AprsOptions& o) {
    AprsOutput& aprs = session.aprs();
    aprs.SetStation(o.station);
    aprs.SetStyle(o.rich, o.kill);
    aprs.SetLook(o.look);
    aprs.SetRate(o.rate);
    // With --aprs the report port counts as open and its reports go to standard output.
    if (o.print && o.format == AprsFormat::Text)
        session.SetReportPrinter([](const std::string& line) {
            const std::string out = LinesForPrint(line);
            std::fwrite(out.data(), 1, out.size(), stdout);
        });
    else if (o.print)
        session.SetReportPrinter([](const std::string& frame) { std::fwrite(frame.data(), 1, frame.size(), stdout); },
                                 AprsFormat::Kiss);
    // The servers are there before the first report, or the run does not start.
    QString error;
    if (!o.kiss_to.empty() && !aprs.ConnectLink(o.kiss_to, 10000, error)) {
        std::fprintf(stderr, "ternwick-replay: --aprs-to %s: %s\n", o.kiss_to.c_str(), C(error));
        return false;
    }
    if (!o.is_server.empty()) {
        aprs.SetAprsIs(true, o.passcode);
        if (!aprs.ConnectAprsIs(o.is_server, 10000, error)) {
            std::fprintf(stderr, "ternwick-replay: --aprs-is %s: %s\n", o.is_server.c_str(), C(error));
            return false;
        }
    }
    return true;
}

bool FinishAprs(Session& session, const AprsOptions& o, int timeout_ms) {
    AprsOutput& aprs = session.aprs();
    if (o.kiss_to.empty() && o.is_server.empty()) return true;
    const std::string where = !o.is_server.empty() ? "--aprs-is " + o.is_server : "--aprs-to " + o.kiss_to;
    bool ok = true;
    QString error;
    if (!aprs.FinishLink(timeout_ms, error)) {
        std::fprintf(stderr, "ternwick-replay: %s: %s\n", where.c_str(), C(error));
        ok = false;
    }
    if (aprs.Counts().dropped > 0) {
        std::fprintf(stderr, "ternwick-replay: %s: %llu reports could not be sent\n", where.c_str(),
                     static_cast<unsigned long long>(aprs.Counts().dropped));
        ok = false;
    }
    return ok;
}

std::string AprsStatsText(const AprsCounts& c, const AprsOptions& o) {
    std::string out;
    char line[160];
    auto add = [&](const char* label, uint64_t v) {
        std::snprintf(line, sizeof line, "%s: %llu\n", label, static_cast<unsigned long long>(v));
        out += line;
    };
    add("APRS reports sent", c.sent);
    add("APRS reports held back", c.HeldBack());
    add("  by the interval", c.held.interval);
    add("  hardly moved", c.held.unmoved);
    add("  by the ceiling", c.held.ceiling);
    add("APRS objects withdrawn", c.withdrawn);
    add("APRS aircraft on the air", c.reported);
    if (!o.kiss_to.empty() || !o.is_server.empty()) add("APRS reports dropped", c.dropped);
    return out;
}

}  // namespace ternwick
