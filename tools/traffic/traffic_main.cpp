// ternwick-traffic: writes a recorded message file of simulated traffic around a place,
// and optionally the truth (what a decoder should end up with) as CSV.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "traffic_sim.h"

using namespace ternwick::traffic;

namespace {

void Usage(std::FILE* to) {
    std::fputs(
        "usage: ternwick-traffic --centre LAT,LON [options]\n"
        "  --centre LAT,LON    middle of the traffic, degrees (south and west negative)\n"
        "  --duration SEC      seconds of traffic (default 300)\n"
        "  --aircraft N        aircraft in all (default 30)\n"
        "  --ground N          of them taxiing at the airport (default: one in eight)\n"
        "  --airport LAT,LON   where the ground traffic is (default: the centre)\n"
        "  --radius KM         airborne traffic within this distance (default 250)\n"
        "  --seed N            random seed (default 1); the same seed gives the same file\n"
        "  --loss F            share of messages lost (default 0.05)\n"
        "  --damage F          share of extended squitters received damaged (default 0.01)\n"
        "  --gillham F         share of aircraft reporting Gillham-coded altitudes (default 0.15)\n"
        "  --out FILE          recording to write (default: standard output)\n"
        "  --truth FILE        also write the truth CSV\n"
        "  --stamps yes|no     begin each record with its time as a receiver stamps it: \"@\" and\n"
        "                      12 hex digits of a 12 MHz counter (default no: \"*\")\n",
        to);
}

bool Number(const char* s, double& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s, &end);
    return end != s && *end == '\0' && errno == 0 && std::isfinite(out);
}

bool Pair(const char* s, double& a, double& b) {
    const char* comma = std::strchr(s, ',');
    if (!comma) return false;
    return Number(std::string(s, comma).c_str(), a) && Number(comma + 1, b);
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::FILE* f = path == "-" ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "ternwick-traffic: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = f == stdout ? std::fflush(f) == 0 : std::fclose(f) == 0;
    if (!ok || !closed) {
        std::fprintf(stderr, "ternwick-traffic: error writing %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

int Bad(const char* option, const char* value, const char* what) {
    std::fprintf(stderr, "ternwick-traffic: %s '%s': %s\n", option, value, what);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    FleetOptions fleet;
    SimSettings sim;
    std::string out = "-", truth_path;
    bool have_centre = false, stamps = false;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        }
        if (i + 1 >= argc || a.rfind("--", 0) != 0) {
            std::fprintf(stderr, "ternwick-traffic: %s\n",
                         a.rfind("--", 0) == 0 ? (a + " needs a value").c_str() : ("unexpected argument " + a).c_str());
            Usage(stderr);
            return 2;
        }
        const char* v = argv[++i];
        double x = 0, y = 0;
        if (a == "--centre" || a == "--airport") {
            if (!Pair(v, x, y)) return Bad(a.c_str(), v, "expected LAT,LON in degrees");
            if (std::fabs(x) > 89 || std::fabs(y) > 180)
                return Bad(a.c_str(), v, "latitude must lie within 89 degrees, longitude within 180");
            if (a == "--centre") {
                fleet.centre_lat = x, fleet.centre_lon = y, have_centre = true;
            } else {
                fleet.airport_lat = x, fleet.airport_lon = y;
            }
        } else if (a == "--out") {
            out = v;
        } else if (a == "--truth") {
            truth_path = v;
        } else if (a == "--stamps") {
            if (std::strcmp(v, "yes") != 0 && std::strcmp(v, "no") != 0) return Bad(a.c_str(), v, "either yes or no");
            stamps = std::strcmp(v, "yes") == 0;
        } else if (!Number(v, x)) {
            return Bad(a.c_str(), v, "not a number");
        } else if (a == "--duration") {
            if (x <= 0 || x > 86400) return Bad(a.c_str(), v, "must be above 0 and at most 86400 seconds");
            sim.duration_s = x;
        } else if (a == "--aircraft" || a == "--ground") {
            if (x < 0 || x > 500 || x != std::floor(x))
                return Bad(a.c_str(), v, "must be a whole number from 0 to 500");
            (a == "--aircraft" ? fleet.aircraft : fleet.on_ground) = static_cast<int>(x);
        } else if (a == "--radius") {
            if (x <= 0 || x > 2000) return Bad(a.c_str(), v, "must be above 0 and at most 2000 km");
            fleet.radius_km = x;
        } else if (a == "--seed") {
            if (x < 0 || x > 4294967295.0 || x != std::floor(x))
                return Bad(a.c_str(), v, "must be a whole number from 0 to 4294967295");
            fleet.seed = sim.seed = static_cast<uint32_t>(x);
        } else if (a == "--loss" || a == "--damage" || a == "--gillham") {
            if (x < 0 || x > 1) return Bad(a.c_str(), v, "must be a share from 0 to 1");
            (a == "--loss" ? sim.loss : a == "--damage" ? sim.damage : fleet.gillham_share) = x;
        } else {
            std::fprintf(stderr, "ternwick-traffic: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (!have_centre) {
        std::fputs("ternwick-traffic: --centre LAT,LON is required\n", stderr);
        Usage(stderr);
        return 2;
    }
    if (fleet.on_ground > fleet.aircraft)
        return Bad("--ground", std::to_string(fleet.on_ground).c_str(), "more than --aircraft");

    TrafficSim traffic(RandomFleet(fleet), sim);
    const std::vector<SimMessage> messages = traffic.Run();
    if (!WriteFile(out, RecordingText(messages, stamps))) return 1;
    if (!truth_path.empty() && !WriteFile(truth_path, TruthCsv(traffic.truth()))) return 1;
    if (out != "-")
        std::fprintf(stderr, "ternwick-traffic: %zu messages from %zu aircraft over %g s written to %s\n",
                     messages.size(), traffic.fleet().size(), sim.duration_s, out.c_str());
    return 0;
}
