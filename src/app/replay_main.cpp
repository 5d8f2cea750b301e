// ternwick-replay: replays recorded files through the decoder without a window, for
// scripting, testing and benchmarking. See README.md for the options.
#include <QCoreApplication>
#include <QDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "replay_core.h"

using namespace ternwick;

namespace {

struct Options {
    bool trace = false, csv = false, stats = false;
    double surf_offset = 0.0;
    std::string airlines;  // empty: airlinecodes.csv beside the program
    std::vector<std::string> files;
};

class ReplayHost : public TrackerHost {
public:
    double surf_offset = 0.0;
    int SecondsInHour() const override { return clock_.SecondsInHour(); }
    bool PlotAir() const override { return false; }
    bool PlotSurf() const override { return false; }
    double MapSurfLonOffset() const override { return surf_offset; }
    void PlotPosDb(int16_t) override {}

private:
    WallClock clock_;
};

void Usage(std::FILE* to) {
    std::fputs(
        "usage: ternwick-replay [options] FILE...   (FILE '-' reads standard input)\n"
        "  --trace            print the trace of every evaluated message\n"
        "  --csv              print the flight table as CSV at the end\n"
        "  --stats            print counts and throughput at the end\n"
        "  --airlines PATH    airline directory (default: airlinecodes.csv beside the program)\n"
        "  --surf-offset DEG  longitude offset for surface positions (default 0)\n",
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
        if (a == "--trace") o.trace = true;
        else if (a == "--csv") o.csv = true;
        else if (a == "--stats") o.stats = true;
        else if (a == "--airlines") {
            const char* v = value("--airlines");
            if (!v) return 2;
            o.airlines = v;
        } else if (a == "--surf-offset") {
            const char* v = value("--surf-offset");
            if (!v || !ParseNumber(v, o.surf_offset)) {
                if (v) std::fprintf(stderr, "ternwick-replay: --surf-offset: '%s' is not a number\n", v);
                return 2;
            }
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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options opt;
    if (int rc = ParseArgs(argc, argv, opt); rc >= 0) return rc;

    const std::string folder = QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    const std::string airline_path = opt.airlines.empty() ? folder + "/airlinecodes.csv" : opt.airlines;
    AirlineDirectory airlines;
    std::string problem;
    airlines.LoadFile(airline_path, problem);
    if (!problem.empty()) std::fprintf(stderr, "ternwick-replay: %s\n", problem.c_str());

    ReplayHost host;
    host.surf_offset = opt.surf_offset;
    Tracker tracker(host, airlines);
    FrameAssembler frames;
    ReplayCounters counters;
    std::function<void()> on_message;
    if (opt.trace)
        on_message = [&] {
            const std::string t = TraceForPrint(tracker.RxText()) + "\n\n";
            std::fwrite(t.data(), 1, t.size(), stdout);
        };

    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& path : opt.files) {
        std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
        if (!in) {
            std::fprintf(stderr, "ternwick-replay: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
            status = 2;
            continue;
        }
        if (!ReplayStream(in, tracker, frames, counters, on_message)) {
            std::fprintf(stderr, "ternwick-replay: error reading %s: %s\n", path.c_str(), std::strerror(errno));
            status = 2;
        }
        if (in != stdin) std::fclose(in);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (opt.csv) std::fputs(FlightTableCsv(tracker.Db).c_str(), stdout);
    if (opt.stats) std::fputs(StatsText(tracker.stats(), counters, seconds).c_str(), stdout);
    return status;
}
