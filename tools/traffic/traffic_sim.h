// Simulated air traffic: aircraft fly (or taxi) and transmit what real transponders do,
// and the simulation keeps the truth a decoder should arrive at from what was received.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ternwick::traffic {

// One aircraft and how it moves. Airborne aircraft fly at a constant ground speed along
// their heading (turning for a while if turn_deg_s is set) and climb or descend towards
// target_ft. Aircraft on the ground taxi clockwise round a circle about (lat, lon).
struct AircraftPlan {
    uint32_t icao = 0;
    std::string callsign;     // up to 8 of A-Z 0-9; empty: no identification is sent
    bool adsb = true;         // false: a Mode S transponder without extended squitter
    bool on_ground = false;
    double lat = 0, lon = 0;  // airborne: start; on the ground: centre of the taxi circle
    double heading_deg = 0;   // airborne: heading; on the ground: start angle on the circle
    double speed_kt = 0;
    double altitude_ft = 0;
    double vertical_fpm = 0;
    double target_ft = 0;
    double turn_deg_s = 0;
    double turn_for_s = 0;    // how long the turn lasts from the start
    double taxi_radius_m = 0;
    bool gillham = false;     // altitudes in Gillham code (Q = 0) instead of 25-ft steps
    int position_tc = 0;      // 9-18 airborne, 5-8 on the ground; else the usual 11 or 6
    int category = 3;         // emitter category of the identification (3 = large)
};

enum class MsgKind { AllCall, Identification, AirbornePosition, SurfacePosition, Velocity };

struct SimMessage {
    double time = 0;          // seconds from the start
    int aircraft = 0;         // index into the fleet
    MsgKind kind = MsgKind::AllCall;
    std::string hex;          // 14 or 28 upper-case hex digits
    bool damaged = false;     // received with bit errors (its parity no longer checks)
    int wrong_bits = 0;       // how many: a receiver puts a single one right
    double lat = 0, lon = 0;  // true position when sent (position messages)
};

// What a decoder should know about an aircraft after the last message received.
struct AircraftTruth {
    uint32_t icao = 0;
    std::string flight;       // callsign padded to 8 characters; empty if none received
    char pos_kind = '-';      // kind of the last position message: 'A', 'S' or '-'
    std::optional<double> lat, lon;  // position of the newest report that decodes globally
    std::optional<int> altitude_ft;  // as coded in the last airborne position received
    std::optional<int> speed_kt;     // from the last velocity or surface position message received
};

struct SimSettings {
    double duration_s = 300;
    uint32_t seed = 1;
    double loss = 0.05;             // share of messages not received at all
    double damage = 0.01;           // share of extended squitters received with bit errors
    double position_every_s = 0.5;  // even and odd reports alternate
    double velocity_every_s = 1.0;
    double ident_every_s = 5.0;
    double allcall_every_s = 2.0;
};

// Where a stamped recording's counter starts: a receiver that has run for seven hours.
inline constexpr uint64_t kDemoCounterStart = uint64_t{12'000'000} * 3600 * 7;

class TrafficSim {
public:
    TrafficSim(std::vector<AircraftPlan> fleet, const SimSettings& settings);

    // Runs the whole duration; the received messages (damaged ones included) in time order.
    std::vector<SimMessage> Run();

    const std::vector<AircraftPlan>& fleet() const { return fleet_; }
    const std::vector<AircraftTruth>& truth() const { return truth_; }

private:
    struct State;
    std::vector<AircraftPlan> fleet_;
    SimSettings settings_;
    std::vector<AircraftTruth> truth_;
};

// A believable fleet around a centre: most aircraft airborne within radius_km, some
// taxiing at the airport, a few Mode S transponders without extended squitter.
struct FleetOptions {
    double centre_lat = 0, centre_lon = 0;
    int aircraft = 30;           // in all
    int on_ground = -1;          // of them on the ground; -1: about one in eight
    std::optional<double> airport_lat, airport_lon;  // default: the centre
    double radius_km = 250;
    double gillham_share = 0.15; // aircraft whose altitudes are Gillham coded
    double mode_s_only_share = 0.05;
    uint32_t seed = 1;
};
std::vector<AircraftPlan> RandomFleet(const FleetOptions& options);

// ICAO airline designators the generated callsigns use: airlines of the region around a
// longitude (Asia-Pacific, Europe and the Middle East, the Americas).
const std::vector<std::string>& AirlineDesignators(double lon_deg);

// The recording: one record per line, "*", the digits, ";", CR LF. Stamped: each record
// begins "@" and 12 hex digits of a receiver's 12 MHz counter at the message's time
// instead, the counter standing at `counter_start` when the traffic starts.
std::string RecordingText(const std::vector<SimMessage>& messages, bool stamped = false,
                          uint64_t counter_start = kDemoCounterStart);

// The truth as CSV: icao,flight,pos_kind,altitude_ft,speed_kt,lat,lon (the column names of
// ternwick-replay --csv), lon in -180..180, empty fields where nothing was received.
std::string TruthCsv(const std::vector<AircraftTruth>& truth);

}  // namespace ternwick::traffic
