// Airborne and surface position messages of one aircraft: store the raw CPR report by its
// even/odd format, take the altitude, and decode a position globally once both formats
// are held. A decode that would move a known aircraft a whole zone away is not stored.
#pragma once

#include <cstdint>
#include <string_view>

#include "flights/flight_table.h"

namespace ternwick {

// What position decoding needs from its surroundings (the window, or a test).
class PositionHost {
public:
    virtual ~PositionHost() = default;
    virtual bool PlotAir() const = 0;            // "Plot Air" ticked
    virtual bool PlotSurf() const = 0;           // "Plot Surface" ticked
    virtual double MapSurfLonOffset() const = 0; // current map's surface longitude offset
    virtual void PlotPosDb(int16_t dbpos) = 0;   // draw (and report) entry dbpos
};

enum class PosOutcome {
    Stored,      // a position was written to the entry
    Waiting,     // only one format held so far
    NlMismatch,  // the pair straddles an NL boundary: nothing written
    Rejected,    // implausible jump from the stored position: nothing written
};

// Largest believable move between two stored positions, degrees of latitude and longitude.
// Zone errors are at least 6 degrees (airborne) or 1.5 degrees (surface) away.
inline constexpr double kAirborneJumpDeg = 1.0;
inline constexpr double kSurfaceJumpDeg = 0.25;

// msg: the 14 bytes of a valid extended squitter with type code 9..18 (or 5..8).
PosOutcome EvalPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, std::string_view icao);
PosOutcome EvalSurfPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, std::string_view icao);

// Altitude in feet from the 12-bit altitude field of an airborne position message;
// false when a Gillham (Q = 0) code is not a valid altitude.
bool AltitudeFromAc12(uint32_t ac12, int32_t& feet);

}  // namespace ternwick
