// ternwick-replay: replays recorded files, or takes a receiver's traffic over the network,
// through the decoder without a window, for scripting, testing and benchmarking. See
// README.md for the options.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <chrono>
#include <clocale>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <optional>
#include <string>
#include <vector>

#include "common/number_text.h"
#include "interrupts.h"
#include "io/message_log.h"
#include "replay_aprs.h"
#include "replay_core.h"
#include "replay_live_png.h"
#include "replay_network.h"
#include "session/receiver_setting.h"
#include "session/session.h"

using namespace ternwick;

namespace {

// The shell's status for a command ended by Ctrl-C: a file replay cut short says it.
constexpr int kInterruptedStatus = 130;

struct Options {
    bool trace = false, csv = false, stats = false;
    std::optional<double> surf_offset;  // unset: the current map's
    std::string airlines;               // empty: airlinecodes.csv beside the program
    std::string catalogue;              // empty: setup.txt beside the program
    int map = 1;
    bool map_given = false;
    std::string png;
    LivePngOptions live;
    bool list = false;
    double expire = 120.0;
    AprsOptions aprs;
    std::string at;
    std::vector<std::string> files;
    std::string connect;  // host:port of a receiver instead of files
    bool connect_given = false;  // even an empty --connect is a network run, refused below
    InputFormat format = InputFormat::Auto;
    std::optional<double> for_seconds;
    std::optional<geo::LatLon> receiver;  // unset: decoding without a receiver position
    double max_range = kDefaultMaxRangeNm;
    std::string coverage;        // with a receiver: the coverage outline as CSV to this file
    bool png_coverage = false;   // the coverage outline drawn on the --png picture
    double pace = 0;  // > 0: replay files at the recorded pace times this
    double pace_rate = ReplayPacer::kDefaultRate;
    std::string record;  // with --connect: log every message here
    int fix_bits = 1;

    // Options that only make sense with a map catalogue.
    bool NeedsCatalogue() const { return !png.empty() || list || map_given || !catalogue.empty(); }
};

void Usage(std::FILE* to) {
    std::fputs(
        "usage: ternwick-replay [options] FILE...   (FILE '-' reads standard input)\n"
        "       ternwick-replay [options] --connect HOST:PORT [--for SECONDS]\n"
        "  --connect HOST:PORT  take a receiver's traffic over TCP (dump1090, readsb: 30002\n"
        "                     AVR text, 30005 Beast binary), reconnecting until --for runs\n"
        "                     out or Ctrl-C\n"
        "  --format F         auto (default), avr or beast; a file is Beast when it begins\n"
        "                     with 0x1A, else read by the recorded-file rules\n"
        "  --for SECONDS      with --connect: end this long after the start\n"
        "  --record FILE      with --connect: write every message received to FILE, with\n"
        "                     time stamps (@ and a 12 MHz counter), for replaying later\n"
        "  --pace SPEED       replay files at the recorded pace times SPEED (1 to 1000); a\n"
        "                     file without time stamps at --rate messages a second\n"
        "  --rate N           messages a second for --pace without time stamps (default 200)\n"
        "  --trace            print the trace of every evaluated message\n"
        "  --csv              print the flight table as CSV at the end\n"
        "  --stats            print counts and throughput at the end\n"
        "  --airlines PATH    airline directory (default: airlinecodes.csv beside the program)\n"
        "  --catalogue PATH   map catalogue (default: setup.txt beside the program)\n"
        "  --map K            current map, catalogue entry K (default 1)\n"
        "  --surf-offset DEG  longitude offset for surface positions (default: the current\n"
        "                     map's; 0 without a catalogue)\n"
        "  --png OUT          plot every position on the map picture and save it as PNG\n"
        "  --live-png OUT     draw the live map at the end of the replay and save it as PNG\n"
        "  --view LAT,LON,KM  the live map's centre and width in km (default: every aircraft)\n"
        "  --size WxH         the live map's size in pixels (default 1024x768)\n"
        "  --list             print the live flight list at the end\n"
        "  --expire SECONDS   live list expiry time (default 120)\n"
        "  --at D:HH:MM:SS    run by this fixed day of month and time instead of the clock\n"
        "  --receiver LAT,LON the receiver's position, decimal degrees (south and west negative):\n"
        "                     single reports decoded next to it, range and bearing\n"
        "  --max-range NM     how far the receiver hears (default 300): farther positions are refused\n"
        "  --coverage FILE    with --receiver: the farthest position of each 5-degree sector of\n"
        "                     bearing, as CSV\n"
        "  --png-coverage     with --receiver and --png: the coverage outline on the picture\n"
        "  --fix-bits N       wrong bits put right in an extended squitter: 1 (default) or 0\n",
        to);
    std::fputs(kAprsUsage, to);
}

// Returns -1 to go on, else the exit status.
int ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "ternwick-replay: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        auto number = [&](const char* name, double min, double max, bool whole, double& out) {
            const char* v = value(name);
            if (!v) return false;
            std::string why;
            if (ParseOptionNumber(v, min, max, whole, out, why)) return true;
            std::fprintf(stderr, "ternwick-replay: %s '%s': %s\n", name, v, why.c_str());
            return false;
        };
        auto text = [&](const char* name, std::string& out) {
            const char* v = value(name);
            if (v) out = v;
            return v != nullptr;
        };
        // A refused setting is named with the reason.
        auto refuse = [&](const char* name, const char* v, const std::string& reason) {
            std::fprintf(stderr, "ternwick-replay: %s '%s': %s\n", name, v, reason.c_str());
        };
        if (a == "--trace") o.trace = true;
        else if (a == "--csv") o.csv = true;
        else if (a == "--stats") o.stats = true;
        else if (a == "--list") o.list = true;
        else if (const int taken = ParseAprsOption(a, value, o.aprs); taken != 0) {
            if (taken < 0) return 2;
        } else if (a == "--airlines") {
            if (!text("--airlines", o.airlines)) return 2;
        } else if (a == "--catalogue") {
            if (!text("--catalogue", o.catalogue)) return 2;
        } else if (a == "--live-png") {
            if (!text("--live-png", o.live.out)) return 2;
        } else if (a == "--view" || a == "--size") {
            const char* v = value(a.c_str());
            if (!v) return 2;
            std::string why;
            const bool ok = a == "--view" ? ParseLiveView(v, o.live, why) : ParseLiveSize(v, o.live, why);
            if (!ok) {
                refuse(a.c_str(), v, why);
                return 2;
            }
        } else if (a == "--png") {
            if (!text("--png", o.png)) return 2;
        } else if (a == "--at") {
            if (!text("--at", o.at)) return 2;
        } else if (a == "--surf-offset") {
            double v = 0.0;
            if (!number("--surf-offset", -360, 360, false, v)) return 2;
            o.surf_offset = v;
        } else if (a == "--fix-bits") {
            double v = 0.0;
            if (!number("--fix-bits", 0, 1, true, v)) return 2;
            o.fix_bits = static_cast<int>(v);
        } else if (a == "--receiver") {
            const char* v = value("--receiver");
            if (!v) return 2;
            geo::LatLon pos;
            std::string why;
            if (!ParseReceiverPosition(v, pos, why)) {
                refuse("--receiver", v, why);
                return 2;
            }
            o.receiver = pos;
        } else if (a == "--coverage") {
            if (!text("--coverage", o.coverage)) return 2;
        } else if (a == "--png-coverage") {
            o.png_coverage = true;
        } else if (a == "--max-range") {
            const char* v = value("--max-range");
            if (!v) return 2;
            std::string why;
            if (!ParseMaxRange(v, o.max_range, why)) {
                refuse("--max-range", v, why);
                return 2;
            }
        } else if (a == "--expire") {
            if (!number("--expire", 0, 86400, false, o.expire)) return 2;
        } else if (a == "--connect") {
            if (!text("--connect", o.connect)) return 2;
            o.connect_given = true;
        } else if (a == "--format") {
            std::string name;
            if (!text("--format", name)) return 2;
            const std::optional<InputFormat> f = InputFormatFromName(name);
            if (!f) {
                std::fprintf(stderr, "ternwick-replay: --format '%s': must be auto, avr or beast\n", name.c_str());
                return 2;
            }
            o.format = *f;
        } else if (a == "--for") {
            // Up to 23 days, what one timer counts; a longer run is one without --for.
            double v = 0.0;
            if (!number("--for", 0.001, 2000000, false, v)) return 2;
            o.for_seconds = v;
        } else if (a == "--pace") {
            if (!number("--pace", 1, 1000, false, o.pace)) return 2;
        } else if (a == "--rate") {
            if (!number("--rate", 0.01, 1000000, false, o.pace_rate)) return 2;
        } else if (a == "--record") {
            if (!text("--record", o.record)) return 2;
        } else if (a == "--map") {
            double v = 0.0;
            if (!number("--map", 1, 32767, true, v)) return 2;
            o.map = static_cast<int>(v);
            o.map_given = true;
        } else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "ternwick-replay: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 2;
        } else {
            o.files.push_back(a);
        }
    }
    if (const std::string why = CheckAprsOptions(o.aprs, o.receiver.has_value()); !why.empty()) {
        std::fprintf(stderr, "ternwick-replay: %s\n", why.c_str());
        return 2;
    }
    if ((!o.coverage.empty() || o.png_coverage) && !o.receiver) {
        std::fprintf(stderr, "ternwick-replay: %s needs --receiver\n", o.png_coverage ? "--png-coverage" : "--coverage");
        return 2;
    }
    if (o.png_coverage && o.png.empty()) {
        std::fprintf(stderr, "ternwick-replay: --png-coverage needs --png\n");
        return 2;
    }
    if (o.connect_given) {
        if (!o.files.empty()) {
            std::fprintf(stderr, "ternwick-replay: --connect reads the network, not files: give one or the other\n");
            return 2;
        }
        QString error;
        if (!ParseHostPort(QString::fromStdString(o.connect), error)) {
            std::fprintf(stderr, "ternwick-replay: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
        return -1;
    }
    if (o.for_seconds || !o.record.empty()) {
        std::fprintf(stderr, "ternwick-replay: %s needs --connect\n", o.for_seconds ? "--for" : "--record");
        return 2;
    }
    if (o.files.empty()) {
        Usage(stderr);
        return 2;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const auto program_start = std::chrono::steady_clock::now();
    Options opt;
    if (int rc = ParseArgs(argc, argv, opt); rc >= 0) return rc;
    // Refused before the run rather than after it: the run's work would be lost.
    if (QString error; !opt.png.empty() && !MapSurface::CheckPngTarget(QString::fromStdString(opt.png), error)) {
        std::fprintf(stderr, "ternwick-replay: %s\n", error.toLocal8Bit().constData());
        return 2;
    }

    // Fonts need a GUI application; without a display it draws offscreen.
    std::unique_ptr<QCoreApplication> app;
    if (!opt.png.empty() || !opt.live.out.empty()) {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // The offscreen platform's notes (no runtime folder, and so on) are no news to a user.
        if (!std::getenv("QT_LOGGING_RULES")) setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 1);
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            // What Qt would fall back to anyway, without its warning on every run.
            const std::string dir = "/tmp/runtime-" + std::to_string(getuid());
            mkdir(dir.c_str(), 0700);
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Qt takes the desktop locale; what this command prints uses "." whatever the locale.
    std::setlocale(LC_NUMERIC, "C");

    Session session;
    session.SetReceiver(opt.receiver);
    session.SetMaxRangeNm(opt.max_range);
    // Live traffic is judged by the times it arrives at.
    session.SetMessageTimesReal(opt.connect_given);
    if (!opt.at.empty() && !session.clock().SetFixed(opt.at)) {
        std::fprintf(stderr,
                     "ternwick-replay: --at '%s': must be D:HH:MM:SS (day of the month 1-31, UTC hour 0-23, "
                     "minute and second 0-59)\n",
                     opt.at.c_str());
        return 2;
    }
    SessionConfig config;
    config.folder = QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    config.catalogue = opt.catalogue;
    // A plain replay needs no map: only the map options make the catalogue a must.
    config.catalogue_required = opt.NeedsCatalogue();
    config.airlines = opt.airlines;
    config.map = opt.map;
    config.draw = !opt.png.empty();
    config.outlines = !opt.live.out.empty();
    // Only a live map drawn at the end needs the session to remember trails on the way.
    session.SetLiveMapKept(!opt.live.out.empty());
    StartupProblems problems;
    const bool started = session.Start(config, problems);
    for (const std::string* p : {&problems.catalogue, &problems.airlines, &problems.picture})
        if (!p->empty()) std::fprintf(stderr, "ternwick-replay: %s\n", p->c_str());
    if (!started) {
        if (problems.bad_map) std::fprintf(stderr, "ternwick-replay: --map %d: %s\n", opt.map, problems.fatal.c_str());
        else std::fprintf(stderr, "ternwick-replay: %s\n", problems.fatal.c_str());
        return 2;
    }

    session.SetSurfOffsetOverride(opt.surf_offset);
    session.SetCoverageShown(opt.png_coverage);
    session.tracker().SetFixBits(opt.fix_bits);
    const bool reporting = opt.aprs.Reporting();
    const bool plot = !opt.png.empty() || reporting;
    session.SetPlotAir(plot);
    session.SetPlotSurf(plot);
    // Ctrl-C and SIGTERM end the run between two steps; what was asked is still printed.
    InterruptWatch interrupts;
    // The end of --for, measured from the program's start.
    auto past_for = [&opt, program_start] {
        return opt.for_seconds && std::chrono::duration<double>(std::chrono::steady_clock::now() - program_start)
                                          .count() >= *opt.for_seconds;
    };
    // While the run waits for the KISS server to take a report, an interrupt or the end of
    // --for still ends the run at once; a server that takes nothing for the stall limit is
    // given up.
    KissTcpLink& link = session.aprs().Link();
    link.SetStopCheck([&past_for] { return InterruptWatch::Requested() || past_for(); });
    QObject::connect(&link, &KissTcpLink::stateChanged, [&link, &opt] {
        if (link.GaveUp())
            std::fprintf(stderr, "ternwick-replay: --aprs-to %s: %s; gave up, the reports from here on are not sent\n",
                         opt.aprs.kiss_to.c_str(), link.LastError().toLocal8Bit().constData());
    });
    // The servers are there before the first report, or the run does not start.
    if (!StartAprs(session, opt.aprs)) return 2;
    session.SetListSettings({opt.expire, false});
    // Aircraft leave the table only through the list's expiry pass, which withdrawing
    // objects needs as much as the list does.
    session.SetListPerMessage(opt.list || opt.aprs.NeedsExpiry());
    // Without --trace nothing shows the trace: it is not written at all.
    session.tracker().SetTraceShown(opt.trace);
    if (opt.trace)
        session.SetMessageObserver([&session] {
            const std::string t = LinesForPrint(session.tracker().RxText()) + "\n\n";
            std::fwrite(t.data(), 1, t.size(), stdout);
        });

    // Output to a pipe or a terminal is handed on after every read, so a receiver piped in
    // shows its messages as they come; to a file it is written in large blocks.
    struct stat out_stat {};
    const bool live_output = fstat(STDOUT_FILENO, &out_stat) == 0 && !S_ISREG(out_stat.st_mode);
    const std::function<void()> after_chunk = live_output ? std::function<void()>([] { std::fflush(stdout); })
                                                          : std::function<void()>();

    BytePump& pump = session.pump();
    // A map picture that cannot be loaded spoils the --png output: told above, and failed.
    int status = session.drawing() && !problems.picture.empty() ? 2 : 0;
    ReplayCounters counters;
    std::string source_stats;
    double seconds = 0.0;
    if (opt.connect_given) {
        NetworkRun run;
        run.host_port = opt.connect;
        run.format = opt.format;
        run.for_seconds = opt.for_seconds;
        run.start = program_start;
        run.after_chunk = after_chunk;
        MessageLog log;
        if (!opt.record.empty()) {
            QString error;
            if (!log.Open(QString::fromStdString(opt.record), error)) {
                std::fprintf(stderr, "ternwick-replay: --record: %s\n", error.toLocal8Bit().constData());
                return 2;
            }
            pump.received = [&log](std::string_view digits, double) { log.Write(digits); };
            // A full disk stops the log, not the run; it is told and fails the command.
            QObject::connect(&log, &MessageLog::failed, [&status, &pump](const QString& message) {
                pump.received = nullptr;
                std::fprintf(stderr, "ternwick-replay: --record: %s\n", message.toLocal8Bit().constData());
                status = 2;
            });
        }
        const NetworkOutcome net = RunNetworkSource(pump, run);
        log.Close();
        pump.received = nullptr;
        if (!net.connected) status = 2;
        counters = {net.counters.bytes, pump.evaluated()};
        seconds = net.seconds;
        char line[96];
        std::snprintf(line, sizeof line, "connects: %llu\ndrops: %llu\n", (unsigned long long)net.counters.connects,
                      (unsigned long long)net.counters.drops);
        source_stats = line + FramingStatsText(net.counters.avr, net.counters.beast);
    } else {
        RecordedInput input(pump, opt.format, &session.clock());
        const auto start = std::chrono::steady_clock::now();
        // --pace: the wall clock the pace is kept by, and the waiting in between.
        ReplayPacer pacer([start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); },
                          &session.clock());
        pacer.SetSpeed(opt.pace);
        pacer.SetRate(opt.pace_rate);
        // A wait that an interrupt cuts short.
        const auto sleep = [](double s) {
            pollfd p{InterruptWatch::Fd(), POLLIN, 0};
            if (p.fd < 0 || poll(&p, 1, static_cast<int>(std::ceil(s * 1000.0))) < 0)
                std::this_thread::sleep_for(std::chrono::duration<double>(s));
        };
        for (const std::string& path : opt.files) {
            const int fd = path == "-" ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) {
                std::fprintf(stderr, "ternwick-replay: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
                status = 2;
                continue;
            }
            struct stat in_stat {};
            if (fstat(fd, &in_stat) == 0 && S_ISDIR(in_stat.st_mode)) {
                std::fprintf(stderr, "ternwick-replay: cannot open %s: it is a folder, not a file\n", path.c_str());
                close(fd);
                status = 2;
                continue;
            }
            const uint64_t bytes_before = input.bytes();
            pacer.Start(0);
            const PumpEnd end = opt.pace > 0
                                    ? PacedPumpStream(fd, input, pacer, sleep, after_chunk, InterruptWatch::Fd())
                                    : PumpStream(fd, input, after_chunk, InterruptWatch::Fd());
            if (end == PumpEnd::kError) {
                std::fprintf(stderr, "ternwick-replay: error reading %s: %s\n", path.c_str(), std::strerror(errno));
                status = 2;
            }
            if (fd != STDIN_FILENO) close(fd);
            if (end == PumpEnd::kInterrupted) {
                // What was read is kept and printed as asked; the status tells it is partial.
                std::fprintf(stderr, "ternwick-replay: interrupted after %llu bytes of %s\n",
                             static_cast<unsigned long long>(input.bytes() - bytes_before), path.c_str());
                status = kInterruptedStatus;
                break;
            }
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        counters = {input.bytes(), pump.evaluated()};
        if (input.framed()) source_stats = FramingStatsText(input.framing().avr(), input.framing().beast());
    }

    // Every report has left over the link before the program ends.
    // After an interrupt or the end of --for the last reports get a moment to leave, no
    // more; otherwise a later interrupt cuts the wait short.
    const bool hurry = InterruptWatch::Requested() || past_for();
    link.SetStopCheck(hurry ? std::function<bool()>() : [] { return InterruptWatch::Requested(); });
    if (!FinishAprs(session, opt.aprs, hurry ? 1500 : 60000)) status = 2;

    if (session.drawing()) {
        QString error;
        if (!session.view().Surface().SavePng(QString::fromStdString(opt.png), error)) {
            std::fprintf(stderr, "ternwick-replay: %s\n", error.toLocal8Bit().constData());
            status = 2;
        }
    }
    if (!opt.live.out.empty()) {
        // Aircraft that left the table (the list's expiry) are not drawn.
        session.ShowTextTable();
        std::string error;
        if (!WriteLivePng(session, opt.live, error)) {
            std::fprintf(stderr, "ternwick-replay: --live-png %s\n", error.c_str());
            status = 2;
        }
    }
    if (opt.list) {
        session.ShowTextTable();
        std::fputs(LinesForPrint(session.ListText()).c_str(), stdout);
    }
    if (opt.csv) std::fputs(FlightTableCsv(session.Db(), session.receiver()).c_str(), stdout);
    if (!opt.coverage.empty()) {
        const std::string csv = CoverageCsv(session.coverage());
        std::FILE* f = std::fopen(opt.coverage.c_str(), "wb");
        const bool written = f && std::fwrite(csv.data(), 1, csv.size(), f) == csv.size();
        if (!f || (std::fclose(f) != 0) || !written) {
            std::fprintf(stderr, "ternwick-replay: --coverage %s cannot be written: %s\n", opt.coverage.c_str(),
                         std::strerror(errno));
            status = 2;
        }
    }
    if (opt.stats) {
        std::string text = StatsText(session.tracker().stats(), counters, seconds);
        if (session.receiver()) {
            text += ReceiverStatsText(session.tracker().stats());
            if (const auto& far = session.coverage().Farthest()) {
                char line[160];
                std::snprintf(line, sizeof line, "farthest position: %.1f NM at bearing %.1f (%.6f, %.6f)\n",
                              far->range_nm, far->bearing_deg, far->pos.lat, far->pos.lon);
                text += line;
            } else {
                text += "farthest position: none\n";
            }
        }
        std::fputs((text + source_stats).c_str(), stdout);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak memory: %.1f MB\n", usage.ru_maxrss / 1024.0);
    }
    if (opt.stats && reporting) std::fputs(AprsStatsText(session.aprs().Counts(), opt.aprs).c_str(), stdout);
    session.Shutdown();
    // Output that never arrived (a full disk, a closed pipe) must not end as success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "ternwick-replay: writing the output failed: %s\n", std::strerror(errno));
        status = 2;
    }
    return status;
}
