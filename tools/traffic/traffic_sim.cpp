#include "traffic_sim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <queue>
#include <random>
#include <set>

#include "cpr_encoder.h"
#include "decode/frame_bytes.h"
#include "mode_s_frames.h"

namespace ternwick::traffic {

namespace {

constexpr double kEarthRadiusM = 6371008.8;
constexpr double kKnotMs = 1852.0 / 3600.0;

double Rad(double deg) { return deg * std::numbers::pi / 180.0; }
double Deg(double rad) { return rad * 180.0 / std::numbers::pi; }

double NormaliseLon(double lon) {
    lon = std::fmod(lon + 180.0, 360.0);
    if (lon < 0) lon += 360.0;
    return lon - 180.0;
}

// The point dist_m away from (lat, lon) on the great circle leaving at bearing_deg.
void Destination(double& lat, double& lon, double bearing_deg, double dist_m) {
    const double d = dist_m / kEarthRadiusM, b = Rad(bearing_deg);
    const double p1 = Rad(lat), l1 = Rad(lon);
    const double p2 = std::asin(std::sin(p1) * std::cos(d) + std::cos(p1) * std::sin(d) * std::cos(b));
    const double l2 =
        l1 + std::atan2(std::sin(b) * std::sin(d) * std::cos(p1), std::cos(d) - std::sin(p1) * std::sin(p2));
    lat = Deg(p2);
    lon = NormaliseLon(Deg(l2));
}

// Random numbers that come out the same with every standard library: the engine is fully
// specified, the standard distributions are not.
class Random {
public:
    explicit Random(uint32_t seed) : gen_(seed) {}
    double Uniform(double lo, double hi) { return lo + (hi - lo) * (gen_() / 4294967296.0); }
    int Int(int lo, int hi) { return lo + static_cast<int>(gen_() % static_cast<uint32_t>(hi - lo + 1)); }
    bool Chance(double p) { return Uniform(0, 1) < p; }

private:
    std::mt19937 gen_;
};

enum Stream { kPosition, kVelocity, kIdent, kAllCall, kStreams };

struct Event {
    double time;
    int aircraft;
    int stream;
    bool operator>(const Event& o) const {
        return time != o.time ? time > o.time : aircraft != o.aircraft ? aircraft > o.aircraft : stream > o.stream;
    }
};

std::string Padded(const std::string& callsign) {
    std::string s = callsign;
    s.resize(8, ' ');
    return s;
}

}  // namespace

struct TrafficSim::State {
    double t = 0;
    double lat = 0, lon = 0, heading = 0, altitude = 0, vertical = 0;
    double phase = 0;  // on the ground: angle on the taxi circle
    int next_odd = 0;
    char kind = '-';
    // Per CPR format: NL of the report last received since the kind last changed, or 0 if
    // none is held. A latitude report of exactly 0 counts as none: the program keeps "no
    // report" as a stored latitude of 0.
    int held_nl[2] = {0, 0};
};

TrafficSim::TrafficSim(std::vector<AircraftPlan> fleet, const SimSettings& settings)
    : fleet_(std::move(fleet)), settings_(settings) {}

std::vector<SimMessage> TrafficSim::Run() {
    Random rng(settings_.seed * 2654435761u + 1);
    const size_t n = fleet_.size();
    truth_.assign(n, {});
    std::vector<State> state(n);
    std::priority_queue<Event, std::vector<Event>, std::greater<>> queue;
    const double every[kStreams] = {settings_.position_every_s, settings_.velocity_every_s,
                                    settings_.ident_every_s, settings_.allcall_every_s};

    for (size_t i = 0; i < n; ++i) {
        const AircraftPlan& p = fleet_[i];
        State& s = state[i];
        truth_[i].icao = p.icao;
        s.heading = p.heading_deg;
        s.altitude = p.altitude_ft;
        s.vertical = p.vertical_fpm;
        s.lat = p.lat;
        s.lon = p.lon;
        s.phase = p.heading_deg;
        const bool streams[kStreams] = {p.adsb, p.adsb && !p.on_ground, p.adsb && !p.callsign.empty(), true};
        for (int k = 0; k < kStreams; ++k)
            if (streams[k]) queue.push({rng.Uniform(0, every[k]), static_cast<int>(i), k});
    }

    std::vector<SimMessage> out;
    while (!queue.empty() && queue.top().time <= settings_.duration_s) {
        const Event ev = queue.top();
        queue.pop();
        queue.push({ev.time + every[ev.stream] * rng.Uniform(0.9, 1.1), ev.aircraft, ev.stream});

        const AircraftPlan& p = fleet_[ev.aircraft];
        State& s = state[ev.aircraft];
        AircraftTruth& truth = truth_[ev.aircraft];

        // Move the aircraft up to the moment of transmission.
        const double dt = ev.time - s.t;
        if (p.on_ground) {
            if (p.taxi_radius_m > 0)
                s.phase = std::fmod(s.phase + Deg(p.speed_kt * kKnotMs * dt / p.taxi_radius_m), 360.0);
            s.lat = p.lat;
            s.lon = p.lon;
            Destination(s.lat, s.lon, s.phase, p.taxi_radius_m);
        } else {
            const double turning = std::clamp(p.turn_for_s - s.t, 0.0, dt);
            s.heading = std::fmod(s.heading + p.turn_deg_s * turning + 360.0, 360.0);
            Destination(s.lat, s.lon, s.heading, p.speed_kt * kKnotMs * dt);
            if (s.vertical != 0) {
                s.altitude += s.vertical / 60.0 * dt;
                if ((s.vertical > 0 && s.altitude >= p.target_ft) || (s.vertical < 0 && s.altitude <= p.target_ft)) {
                    s.altitude = p.target_ft;
                    s.vertical = 0;
                }
            }
        }
        s.t = ev.time;

        SimMessage m;
        m.time = ev.time;
        m.aircraft = ev.aircraft;
        m.lat = s.lat;
        m.lon = s.lon;
        const int ca = p.on_ground ? kCaGround : kCaAirborne;
        const bool tc_fits = p.on_ground ? (p.position_tc >= 5 && p.position_tc <= 8)
                                         : (p.position_tc >= 9 && p.position_tc <= 18);
        const int tc = tc_fits ? p.position_tc : p.on_ground ? 6 : 11;
        Frame frame;
        int odd = 0, reported_alt = 0, reported_speed = 0;
        CprReport cpr;
        switch (ev.stream) {
        case kAllCall:
            m.kind = MsgKind::AllCall;
            frame = AllCallReply(p.icao, ca);
            break;
        case kIdent: {
            m.kind = MsgKind::Identification;
            uint64_t me = 0;
            if (!IdentificationMe(p.callsign, p.category, me)) continue;  // not a valid callsign: never sent
            frame = ExtendedSquitter(p.icao, ca, me);
            break;
        }
        case kVelocity: {
            m.kind = MsgKind::Velocity;
            GroundVelocity v;
            v.east_kt = static_cast<int>(std::lround(p.speed_kt * std::sin(Rad(s.heading))));
            v.north_kt = static_cast<int>(std::lround(p.speed_kt * std::cos(Rad(s.heading))));
            v.vertical_fpm = static_cast<int>(std::lround(s.vertical));
            v.ifr = true;
            v.nacv = 1;
            v.gnss_above_baro_ft = 150;
            reported_speed = ReportedSpeed(v.east_kt, v.north_kt);
            frame = ExtendedSquitter(p.icao, ca, VelocityMe(v));
            break;
        }
        default: {  // position: even and odd alternate whether or not anyone hears them
            odd = s.next_odd;
            s.next_odd ^= 1;
            cpr = EncodeCpr(s.lat, s.lon, odd, p.on_ground);
            if (p.on_ground) {
                m.kind = MsgKind::SurfacePosition;
                const double track = p.speed_kt > 0 ? std::fmod(s.phase + 90.0, 360.0) : -1.0;
                const int movement = MovementCode(p.speed_kt);
                reported_speed = static_cast<int>(std::lround(MovementKnots(movement)));
                const uint64_t me = SurfacePositionMe(tc, movement, track, odd, cpr);
                frame = ExtendedSquitter(p.icao, ca, me);
            } else {
                m.kind = MsgKind::AirbornePosition;
                const int feet = static_cast<int>(std::lround(s.altitude));
                const std::optional<uint32_t> gillham = p.gillham ? AltitudeGillham(feet) : std::nullopt;
                const uint32_t ac12 = gillham ? *gillham : AltitudeQ1(feet);
                reported_alt = gillham ? static_cast<int>(std::lround((feet + 1200) / 100.0)) * 100 - 1200
                                       : AltitudeOfQ1(ac12);
                frame = ExtendedSquitter(p.icao, ca, AirbornePositionMe(tc, ac12, odd, cpr));
            }
        }
        }

        if (rng.Chance(settings_.loss)) continue;
        if (frame.size() == 14 && rng.Chance(settings_.damage)) {
            // A burst of one to three wrong bits after the downlink format field: still a
            // DF17, but one whose parity no longer checks.
            const int flips = rng.Int(1, 3);
            const int first = rng.Int(5, 111 - 2);
            do {
                for (int k = 0; k < flips; ++k) {
                    const int bit = first + k;
                    frame[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
                }
            } while (ternwick::CRC24_Bytes(frame.data(), frame.size()) == 0);
            m.damaged = true;
            m.wrong_bits = flips;
        }
        m.hex = ToHex(frame);
        out.push_back(m);
        if (m.wrong_bits > 1) continue;

        // What a receiver learns from the message, intact or with one wrong bit put right.
        switch (m.kind) {
        case MsgKind::AllCall:
            break;
        case MsgKind::Identification:
            truth.flight = Padded(p.callsign);
            break;
        case MsgKind::Velocity:
            truth.speed_kt = reported_speed;
            break;
        case MsgKind::AirbornePosition:
        case MsgKind::SurfacePosition: {
            const char kind = m.kind == MsgKind::SurfacePosition ? 'S' : 'A';
            if (s.kind != kind) s.held_nl[0] = s.held_nl[1] = 0;  // a pair never mixes kinds
            s.kind = kind;
            truth.pos_kind = kind;
            if (kind == 'A') truth.altitude_ft = reported_alt;
            else truth.speed_kt = reported_speed;
            const int nl = NumberOfZones(cpr.rlat);
            const int other = s.held_nl[1 - odd];
            s.held_nl[odd] = cpr.lat == 0 ? 0 : nl;
            // A global decode needs both reports in the same NL zone; the position is the
            // one of the newest report.
            if (other != 0 && other == nl) {
                truth.lat = m.lat;
                truth.lon = m.lon;
            }
            break;
        }
        }
    }
    return out;
}

const std::vector<std::string>& AirlineDesignators(double lon_deg) {
    static const std::vector<std::string> asia = {"PAL", "CEB", "GAP", "SRQ", "KAL", "AAR", "JJA", "CPA", "SIA",
                                                  "JAL", "ANA", "EVA", "CAL", "CES", "CSN", "CCA", "THA", "MAS",
                                                  "AXM", "AIQ", "HVN", "QFA", "JST", "UAE", "QTR"};
    static const std::vector<std::string> europe = {"DLH", "BAW", "AFR", "KLM", "RYR", "EZY", "THY", "IBE",
                                                    "SAS", "SWR", "AUA", "TAP", "EIN", "VLG", "WZZ", "FIN",
                                                    "LOT", "UAE", "QTR", "ETD"};
    static const std::vector<std::string> americas = {"UAL", "DAL", "AAL", "SWA", "JBU", "ASA", "ACA", "WJA",
                                                      "AMX", "AVA", "CMP", "FFT", "NKS", "SKW", "LAN"};
    const double lon = NormaliseLon(lon_deg);
    if (lon >= 60 || lon < -150) return asia;
    if (lon >= -30) return europe;
    return americas;
}

std::vector<AircraftPlan> RandomFleet(const FleetOptions& o) {
    Random rng(o.seed);
    const double lon = NormaliseLon(o.centre_lon);
    // Address blocks of the states whose aircraft are common in the region.
    static const std::vector<uint32_t> asia = {0x758000, 0x758000, 0x758000, 0x710000, 0x840000,
                                               0x768000, 0x780000, 0x750000, 0x880000, 0x7C0000};
    static const std::vector<uint32_t> europe = {0x3C0000, 0x400000, 0x380000, 0x480000, 0x4B8000, 0x4CA000};
    static const std::vector<uint32_t> americas = {0xA00000, 0xA80000, 0xAC0000, 0xC00000, 0x0D0000};
    const std::vector<uint32_t>& blocks = (lon >= 60 || lon < -150) ? asia : lon >= -30 ? europe : americas;
    const std::vector<std::string>& airlines = AirlineDesignators(lon);

    const int total = std::max(o.aircraft, 0);
    const int ground = std::min(o.on_ground >= 0 ? o.on_ground : total / 8, total);
    const double apt_lat = o.airport_lat.value_or(o.centre_lat), apt_lon = o.airport_lon.value_or(o.centre_lon);
    std::set<uint32_t> addresses;
    std::set<std::string> callsigns;
    std::vector<AircraftPlan> fleet;
    for (int i = 0; i < total; ++i) {
        AircraftPlan p;
        do p.icao = blocks[rng.Int(0, static_cast<int>(blocks.size()) - 1)] + static_cast<uint32_t>(rng.Int(0, 0x7FFF));
        while (!addresses.insert(p.icao).second);
        do p.callsign = airlines[rng.Int(0, static_cast<int>(airlines.size()) - 1)] + std::to_string(rng.Int(1, 9999));
        while (!callsigns.insert(p.callsign).second);
        p.category = rng.Chance(0.2) ? 5 : 3;

        if (i < ground) {
            p.on_ground = true;
            p.lat = apt_lat;
            p.lon = apt_lon;
            Destination(p.lat, p.lon, rng.Uniform(0, 360), rng.Uniform(0, 600));
            p.taxi_radius_m = rng.Uniform(150, 600);
            p.heading_deg = rng.Uniform(0, 360);
            p.speed_kt = rng.Chance(0.3) ? 0 : rng.Uniform(6, 20);
            p.position_tc = rng.Int(5, 8);
            fleet.push_back(p);
            continue;
        }
        p.lat = o.centre_lat;
        p.lon = o.centre_lon;
        Destination(p.lat, p.lon, rng.Uniform(0, 360), 1000.0 * o.radius_km * std::sqrt(rng.Uniform(0, 1)));
        p.heading_deg = rng.Uniform(0, 360);
        const double phase = rng.Uniform(0, 1);
        if (phase < 0.6) {  // cruising
            p.altitude_ft = 100.0 * rng.Int(280, 410);
            p.speed_kt = rng.Uniform(430, 490);
        } else if (phase < 0.8) {  // climbing out
            p.altitude_ft = rng.Uniform(3000, 20000);
            p.target_ft = 1000.0 * rng.Int(30, 38);
            p.vertical_fpm = rng.Uniform(1500, 3000);
            p.speed_kt = rng.Uniform(250, 380);
        } else {  // descending
            p.altitude_ft = rng.Uniform(8000, 25000);
            p.target_ft = 3000;
            p.vertical_fpm = -rng.Uniform(1000, 2500);
            p.speed_kt = rng.Uniform(250, 350);
        }
        p.target_ft = p.vertical_fpm == 0 ? p.altitude_ft : p.target_ft;
        if (rng.Chance(0.25)) {
            p.turn_deg_s = rng.Uniform(0.5, 2.0) * (rng.Chance(0.5) ? 1 : -1);
            p.turn_for_s = rng.Uniform(10, 60);
        }
        p.gillham = rng.Chance(o.gillham_share);
        p.position_tc = rng.Chance(0.6) ? 11 : rng.Int(9, 18);
        if (rng.Chance(o.mode_s_only_share)) {
            p.adsb = false;
            p.callsign.clear();
        }
        fleet.push_back(p);
    }
    return fleet;
}

std::string RecordingText(const std::vector<SimMessage>& messages, bool stamped, uint64_t counter_start) {
    std::string out;
    out.reserve(messages.size() * (stamped ? 44 : 32));
    for (const SimMessage& m : messages) {
        if (stamped) {
            const uint64_t ticks = counter_start + static_cast<uint64_t>(std::llround(m.time * 12e6));
            char stamp[16];
            std::snprintf(stamp, sizeof stamp, "@%012llX", static_cast<unsigned long long>(ticks & 0xFFFFFFFFFFFFull));
            out += stamp;
        } else {
            out += '*';
        }
        out += m.hex;
        out += ";\r\n";
    }
    return out;
}

std::string TruthCsv(const std::vector<AircraftTruth>& truth) {
    std::string out = "icao,flight,pos_kind,altitude_ft,speed_kt,lat,lon\n";
    char buf[64];
    for (const AircraftTruth& t : truth) {
        std::snprintf(buf, sizeof buf, "%06X,", t.icao);
        out += buf;
        out += t.flight + ',' + t.pos_kind + ',';
        if (t.altitude_ft) out += std::to_string(*t.altitude_ft);
        out += ',';
        if (t.speed_kt) out += std::to_string(*t.speed_kt);
        out += ',';
        if (t.lat && t.lon) {
            std::snprintf(buf, sizeof buf, "%.6f,%.6f", *t.lat, NormaliseLon(*t.lon));
            out += buf;
        } else {
            out += ',';
        }
        out += '\n';
    }
    return out;
}

}  // namespace ternwick::traffic
