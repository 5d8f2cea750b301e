// Decoder throughput: EvalSquitter per message on a typical mix, the replay path
// (character rules + evaluation) and the receiver framings over large generated streams
// held in memory. `make bench` runs it; bench/replay_throughput.sh and
// bench/network_throughput.sh time the real command on a file and over loopback.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "app/replay_core.h"
#include "floor.h"
#include "beast_frames.h"
#include "io/stream_framing.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

// A mix like real reception: 40 % all-call / short replies, the rest extended squitters
// (positions, velocities, identifications) from 300 aircraft, 2 % damaged.
std::vector<std::string> TypicalMix(size_t n) {
    std::mt19937 rng(1);
    std::vector<std::string> out;
    out.reserve(n);
    char buf[32];
    for (size_t i = 0; i < n; ++i) {
        const uint32_t icao = 0x400000 + rng() % 300;
        const int kind = rng() % 100;
        if (kind < 30) {
            std::snprintf(buf, sizeof buf, "5D%06X%06X", icao, unsigned(rng() & 0xFFFFFF));
            out.emplace_back(buf);
        } else if (kind < 40) {
            std::snprintf(buf, sizeof buf, "02E1%010X", unsigned(rng()));
            out.emplace_back(buf);
        } else if (kind < 75) {
            const double lat = 50 + (icao % 100) * 0.01 + i * 1e-7, lon = 8 + (icao % 37) * 0.01;
            out.push_back(AirbornePos(icao, lat, lon, int(i & 1)));
        } else if (kind < 90) {
            out.emplace_back("8D485020994409940838175B284F");
        } else if (kind < 98) {
            out.emplace_back("8D4CA2B120513531CB38206CB0D3");
        } else {
            out.emplace_back("8D4CA2B120513531CB38206CB0D0");
        }
    }
    return out;
}

void BM_EvalSquitter(benchmark::State& state) {
    const auto mix = TypicalMix(100000);
    FakeHost host;
    AirlineDirectory airlines;
    Tracker t(host, airlines);
    size_t i = 0;
    for (auto _ : state) {
        t.Squitter = mix[i];
        t.EvalSquitter();
        if (++i == mix.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvalSquitter);

// Runs `feed(pump, bytes)` on a fresh tracker per iteration and reports messages and bytes.
template <typename Feed>
void Pumped(benchmark::State& state, const std::string& bytes, Feed feed) {
    uint64_t messages = 0;
    for (auto _ : state) {
        FakeHost host;
        AirlineDirectory airlines;
        Tracker t(host, airlines);
        BytePump pump(t);
        feed(pump, bytes);
        messages += pump.evaluated();
    }
    state.SetItemsProcessed(static_cast<int64_t>(messages));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_BytePumpRecorded(benchmark::State& state) {
    std::string log;
    for (const auto& m : TypicalMix(1000000)) log += "*" + m + ";\r\n";
    Pumped(state, log, [](BytePump& pump, const std::string& b) { pump.FeedRecorded(b); });
}
BENCHMARK(BM_BytePumpRecorded)->Unit(benchmark::kMillisecond)->Iterations(3);

// A long, hostile recording: 5,000 aircraft (ten times what the table holds) with positions,
// identifications and all-call replies, mixed with noise: random bytes, runs of digits with
// no end, damaged records and lower-case text.
void WriteSoak(std::FILE* f, size_t n) {
    std::mt19937 rng(7);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t icao = 0x300000 + rng() % 5000;
        const int kind = rng() % 100;
        if (kind < 40) {
            const double lat = -60 + (icao % 120) + (i % 1000) * 1e-4, lon = (icao * 7) % 360 + (i % 1000) * 1e-4;
            std::fprintf(f, "*%s;\r\n", AirbornePos(icao, lat, lon, int(i & 1)).c_str());
        } else if (kind < 55) {
            std::fprintf(f, "*%s;\r\n", AllCall(icao).c_str());
        } else if (kind < 65) {
            std::fprintf(f, "*8D4CA2B120513531CB38206CB0D3;\r\n");
        } else if (kind < 80) {
            for (int k = rng() % 40; k > 0; --k) std::fputc(int(rng() & 0xFF), f);
        } else if (kind < 90) {
            for (int k = rng() % 200; k > 0; --k) std::fputc("0123456789ABCDEF"[rng() % 16], f);
        } else if (kind < 95) {
            std::fprintf(f, "*%s;\r\n", AllCall(icao, 80 + rng() % 1000).c_str());  // noise all-call
        } else {
            std::fprintf(f, "*8d4ca2b120513531cb38206cb0d3;\r\n");
        }
    }
}

// Mostly positions, as a busy sky over Cebu gives them (the first shipped map, lines 2
// pixels wide): 300 aircraft flying straight lines that bounce off the map's edges, 70 %
// airborne positions (even and odd in turn), 20 % velocities, 10 % all-call replies.
std::vector<std::string> PositionMix(size_t n) {
    constexpr int kAircraft = 300;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    struct Flight {
        double lat, lon, dlat, dlon;
        int odd = 0;
    };
    std::vector<Flight> fleet(kAircraft);
    for (Flight& f : fleet) {
        f.lat = 8.2 + 3.6 * unit(rng);
        f.lon = 120.2 + 8.0 * unit(rng);
        const double heading = 6.2832 * unit(rng);
        f.dlat = 0.0006 * std::cos(heading);  // about 65 m a report
        f.dlon = 0.0006 * std::sin(heading);
    }
    std::vector<std::string> out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const int k = static_cast<int>(rng() % kAircraft);
        const uint32_t icao = 0x750000 + static_cast<uint32_t>(k);
        const int kind = rng() % 100;
        Flight& f = fleet[static_cast<size_t>(k)];
        if (kind < 70) {
            f.lat += f.dlat;
            f.lon += f.dlon;
            if (f.lat < 8.1 || f.lat > 11.9) f.dlat = -f.dlat;
            if (f.lon < 120.1 || f.lon > 128.4) f.dlon = -f.dlon;
            out.push_back(AirbornePos(icao, f.lat, f.lon, f.odd));
            f.odd ^= 1;
        } else if (kind < 90) {
            out.emplace_back("8D485020994409940838175B284F");
        } else {
            out.push_back(AllCall(icao));
        }
    }
    return out;
}

// The stream of `n` messages as a file holds it ("text": *hex; CR LF) or as a receiver
// sends it ("avr": *hex; LF, "beast": frames with a running 12 MHz time stamp).
std::string Stream(size_t n, const std::string& format) {
    std::string out;
    uint64_t stamp = 0;
    for (const auto& m : format == "positions" ? PositionMix(n) : TypicalMix(n)) {
        stamp += 1200;  // a message every 100 us
        if (format == "beast") out += BeastFrame(m, stamp, static_cast<uint8_t>(stamp >> 4));
        else out += "*" + m + (format == "text" || format == "positions" ? ";\r\n" : ";\n");
    }
    return out;
}

// Receiver framing and evaluation, as a network source runs them.
void BM_Framed(benchmark::State& state, InputFormat format) {
    const std::string stream = Stream(1000000, format == InputFormat::Beast ? "beast" : "avr");
    Pumped(state, stream, [format](BytePump& pump, const std::string& b) {
        StreamFraming framing(format, [&pump](std::string_view d) { pump.EvalMessage(d); });
        framing.Feed({reinterpret_cast<const uint8_t*>(b.data()), b.size()});
    });
}
BENCHMARK_CAPTURE(BM_Framed, Avr, InputFormat::Avr)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_Framed, Beast, InputFormat::Beast)->Unit(benchmark::kMillisecond)->Iterations(3);

// A receiver on 127.0.0.1 for the loopback benchmark: prints its port, sends `path` to the
// first client and closes, then waits for the client to come back (which it only does
// once it has read everything) and ends.
int Serve(int argc, char** argv, const char* path) {
    QCoreApplication app(argc, argv);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QTcpServer server;
    if (!in || !server.listen(QHostAddress(QHostAddress::LocalHost), 0)) {
        std::fprintf(stderr, "ternwick-bench: cannot serve %s\n", path);
        return 2;
    }
    std::printf("%u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    if (!server.waitForNewConnection(60000)) return 2;
    QTcpSocket* client = server.nextPendingConnection();
    client->write(bytes.data(), static_cast<qint64>(bytes.size()));
    while (client->bytesToWrite() > 0)
        if (!client->waitForBytesWritten(60000)) return 2;
    client->disconnectFromHost();
    if (client->state() != QAbstractSocket::UnconnectedState) client->waitForDisconnected(60000);
    return server.waitForNewConnection(60000) ? 0 : 2;
}

}  // namespace

// For timing the command itself:
//   ternwick-bench --write-log FILE N [text|avr|beast|positions]   writes the generated stream
//   ternwick-bench --write-soak FILE N                   writes the hostile mix of the soak run
//   ternwick-bench --serve FILE                          serves FILE once on 127.0.0.1
//   ternwick-bench --floor FILE                          the minimal loop's messages and CPU time
int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--floor" && argc == 3) {
        const FloorResult r = RunFloor(argv[2]);
        if (!r.readable) {
            std::perror(argv[2]);
            return 2;
        }
        std::printf("messages: %llu\nzero remainders: %llu\ncpu seconds: %.3f\n", (unsigned long long)r.messages,
                    (unsigned long long)r.zero_remainders, r.cpu_seconds);
        return 0;
    }
    if ((mode == "--write-log" && (argc == 4 || argc == 5)) || (mode == "--write-soak" && argc == 4)) {
        std::FILE* f = std::fopen(argv[2], "wb");
        if (!f) {
            std::perror(argv[2]);
            return 2;
        }
        bool written = true;
        if (mode == "--write-soak") {
            WriteSoak(f, std::stoul(argv[3]));
        } else {
            const std::string stream = Stream(std::stoul(argv[3]), argc == 5 ? argv[4] : "text");
            written = std::fwrite(stream.data(), 1, stream.size(), f) == stream.size();
        }
        return std::fclose(f) == 0 && written ? 0 : 2;
    }
    if (mode == "--serve" && argc == 3) return Serve(argc, argv, argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
