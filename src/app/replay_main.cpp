// ternwick-replay: replays recorded files through the decoder without a window, for
// scripting, testing and benchmarking. See README.md for the options.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <chrono>
#include <clocale>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "aprs/aprs_report.h"
#include "display/live_list.h"
#include "display/map_catalogue.h"
#include "display/map_view.h"
#include "replay_core.h"

using namespace ternwick;

namespace {

struct Options {
    bool trace = false, csv = false, stats = false;
    std::optional<double> surf_offset;  // unset: the current map's
    std::string airlines;               // empty: airlinecodes.csv beside the program
    std::string catalogue;              // empty: setup.txt beside the program
    int map = 1;
    bool map_given = false;
    std::string png;
    bool list = false;
    double expire = 120.0;
    bool aprs = false;
    std::string at;
    std::vector<std::string> files;

    // Options that only make sense with a map catalogue.
    bool NeedsCatalogue() const { return !png.empty() || list || map_given || !catalogue.empty(); }
};

// The window's side of the evaluation, without a window: positions are plotted on the map
// picture (--png) and reported (--aprs) when asked for.
class ReplayHost : public TrackerHost {
public:
    ReplayClock clock;
    double surf_offset = 0.0;
    bool plot = false;
    MapView* view = nullptr;  // --png
    bool print_reports = false;
    FlightTable* db = nullptr;

    int SecondsInHour() const override { return clock.SecondsInHour(); }
    bool PlotAir() const override { return plot; }
    bool PlotSurf() const override { return plot; }
    double MapSurfLonOffset() const override { return surf_offset; }
    void PlotPosDb(int16_t dbpos) override {
        if (view) view->PlotPosDb(*db, dbpos);
        else Report(dbpos);
    }
    // The report step: with the report port "open", the line goes to standard output.
    void Report(int16_t dbpos) const {
        if (!print_reports) return;
        AprsTime t;
        clock.DayHourMinute(t.day, t.hour, t.minute);
        const std::string line = LinesForPrint(AprsObjectLine((*db)(dbpos), t));
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
};

void Usage(std::FILE* to) {
    std::fputs(
        "usage: ternwick-replay [options] FILE...   (FILE '-' reads standard input)\n"
        "  --trace            print the trace of every evaluated message\n"
        "  --csv              print the flight table as CSV at the end\n"
        "  --stats            print counts and throughput at the end\n"
        "  --airlines PATH    airline directory (default: airlinecodes.csv beside the program)\n"
        "  --catalogue PATH   map catalogue (default: setup.txt beside the program)\n"
        "  --map K            current map, catalogue entry K (default 1)\n"
        "  --surf-offset DEG  longitude offset for surface positions (default: the current\n"
        "                     map's; 0 without a catalogue)\n"
        "  --png OUT          plot every position on the map picture and save it as PNG\n"
        "  --list             print the live flight list at the end\n"
        "  --expire SECONDS   live list expiry time (default 120)\n"
        "  --aprs             print the APRS report line of every plotted position\n"
        "  --at D:HH:MM:SS    run by this fixed day of month and time instead of the clock\n",
        to);
}

bool ParseNumber(const char* s, double& out) {
    char* end = nullptr;
    out = std::strtod(s, &end);
    return end != s && *end == '\0';
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
        auto number = [&](const char* name, double& out) {
            const char* v = value(name);
            if (v && ParseNumber(v, out)) return true;
            if (v) std::fprintf(stderr, "ternwick-replay: %s: '%s' is not a number\n", name, v);
            return false;
        };
        auto text = [&](const char* name, std::string& out) {
            const char* v = value(name);
            if (v) out = v;
            return v != nullptr;
        };
        if (a == "--trace") o.trace = true;
        else if (a == "--csv") o.csv = true;
        else if (a == "--stats") o.stats = true;
        else if (a == "--list") o.list = true;
        else if (a == "--aprs") o.aprs = true;
        else if (a == "--airlines") {
            if (!text("--airlines", o.airlines)) return 2;
        } else if (a == "--catalogue") {
            if (!text("--catalogue", o.catalogue)) return 2;
        } else if (a == "--png") {
            if (!text("--png", o.png)) return 2;
        } else if (a == "--at") {
            if (!text("--at", o.at)) return 2;
        } else if (a == "--surf-offset") {
            double v = 0.0;
            if (!number("--surf-offset", v)) return 2;
            o.surf_offset = v;
        } else if (a == "--expire") {
            if (!number("--expire", o.expire)) return 2;
        } else if (a == "--map") {
            double v = 0.0;
            if (!number("--map", v)) return 2;
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
    if (o.files.empty()) {
        Usage(stderr);
        return 2;
    }
    return -1;
}

// The map catalogue and the current map. A catalogue that was asked for (or that a map
// option needs) must load; the default one may be absent for a plain replay.
int LoadMaps(const Options& opt, const std::string& folder, MapTable& table, MapDef& current) {
    const std::string path = opt.catalogue.empty() ? folder + "/setup.txt" : opt.catalogue;
    if (!opt.NeedsCatalogue() && !QFile::exists(QString::fromStdString(path))) return -1;
    std::string error;
    if (!LoadMapCatalogue(path, table, error)) {
        std::fprintf(stderr, "ternwick-replay: %s\n", error.c_str());
        if (opt.NeedsCatalogue()) return 2;
        table.clear();
        return -1;
    }
    const int maps = static_cast<int>(table.size()) - 1;
    if (opt.map < 1 || opt.map > maps) {
        std::fprintf(stderr, "ternwick-replay: --map %d: map catalogue \"%s\" has maps 1 to %d\n", opt.map,
                     path.c_str(), maps);
        return 2;
    }
    current = table[static_cast<size_t>(opt.map)];
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (int rc = ParseArgs(argc, argv, opt); rc >= 0) return rc;

    // Fonts need a GUI application; without a display it draws offscreen.
    std::unique_ptr<QCoreApplication> app;
    if (!opt.png.empty()) {
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

    const std::string folder = QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    const std::string airline_path = opt.airlines.empty() ? folder + "/airlinecodes.csv" : opt.airlines;
    AirlineDirectory airlines;
    std::string problem;
    airlines.LoadFile(airline_path, problem);
    if (!problem.empty()) std::fprintf(stderr, "ternwick-replay: %s\n", problem.c_str());

    MapTable maps;
    MapDef current;
    if (int rc = LoadMaps(opt, folder, maps, current); rc >= 0) return rc;

    ReplayHost host;
    if (!opt.at.empty() && !host.clock.SetFixed(opt.at)) {
        std::fprintf(stderr, "ternwick-replay: --at: '%s' is not D:HH:MM:SS\n", opt.at.c_str());
        return 2;
    }
    host.surf_offset = opt.surf_offset.value_or(current.MapSurfLonOffset);
    host.plot = !opt.png.empty() || opt.aprs;
    host.print_reports = opt.aprs;
    Tracker tracker(host, airlines);
    host.db = &tracker.Db;

    std::unique_ptr<MapView> view;
    if (!opt.png.empty()) {
        // As the window starts: the map's picture, the map font, the home mark.
        view = std::make_unique<MapView>();
        view->SetAppFolder(folder);
        view->SetCatalogue(maps);
        view->SelectMap(opt.map);
        std::string error;
        if (!view->ClearMap(tracker.Db, error)) std::fprintf(stderr, "ternwick-replay: %s\n", error.c_str());
        view->SetMapFont();
        view->DrawHomeMark();
        view->SetReportStep([&host](int16_t dbpos) { host.Report(dbpos); });
        host.view = view.get();
    }

    LiveList live;
    const ListSettings list_settings{opt.expire, false};
    FrameAssembler frames;
    ReplayCounters counters;
    std::function<void()> on_message;
    if (opt.trace || opt.list)
        on_message = [&] {
            if (opt.list) live.TableChanged();
            if (!opt.trace) return;
            const std::string t = LinesForPrint(tracker.RxText()) + "\n\n";
            std::fwrite(t.data(), 1, t.size(), stdout);
        };
    std::function<void()> before_message;
    if (opt.list) before_message = [&] { live.ShowTextTable(tracker.Db, host.clock.SecondsInHour(), list_settings); };

    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : opt.files) {
        std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
        if (!in) {
            std::fprintf(stderr, "ternwick-replay: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
            status = 2;
            continue;
        }
        if (!ReplayStream(in, tracker, frames, counters, on_message, before_message)) {
            std::fprintf(stderr, "ternwick-replay: error reading %s: %s\n", path.c_str(), std::strerror(errno));
            status = 2;
        }
        if (in != stdin) std::fclose(in);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (view) {
        QString error;
        if (!view->Surface().SavePng(QString::fromStdString(opt.png), error)) {
            std::fprintf(stderr, "ternwick-replay: %s\n", error.toLocal8Bit().constData());
            status = 2;
        }
    }
    if (opt.list) {
        live.ShowTextTable(tracker.Db, host.clock.SecondsInHour(), list_settings);
        std::fputs(LinesForPrint(live.Text(tracker.Db)).c_str(), stdout);
    }
    if (opt.csv) std::fputs(FlightTableCsv(tracker.Db).c_str(), stdout);
    if (opt.stats) std::fputs(StatsText(tracker.stats(), counters, seconds).c_str(), stdout);
    return status;
}
