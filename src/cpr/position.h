// Airborne and surface position messages of one aircraft: store the raw CPR report by its
// even/odd format, take the altitude or the ground speed, and decode a position globally
// once both formats are held. A pair is believed only when its two reports describe one
// position, and a believed pair that would move a known aircraft a zone away waits for a
// second one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "flights/flight_table.h"
#include "geo/great_circle.h"

namespace ternwick {

// How far a receiver hears unless told otherwise, nautical miles.
inline constexpr double kDefaultMaxRangeNm = 300.0;

// Where the receiver is and how far it hears: the reference for single reports and surface
// pairs, and the limit of believable global decodes.
struct ReceiverRef {
    geo::LatLon pos;
    double max_range_nm = kDefaultMaxRangeNm;
};

// When the message being evaluated came in (the tracker's Now()), and whether that is when
// it was received (live reception, a time-stamped recording) rather than when a replay
// happened to read it.
struct MessageTime {
    double now = 0.0;
    bool real = false;
};

// What position decoding needs from its surroundings (the window, or a test).
class PositionHost {
public:
    virtual ~PositionHost() = default;
    virtual bool PlotAir() const = 0;            // "Plot Air" ticked
    virtual bool PlotSurf() const = 0;           // "Plot Surface" ticked
    virtual double MapSurfLonOffset() const = 0; // current map's surface longitude offset
    virtual void PlotPosDb(int16_t dbpos) = 0;   // draw (and report) entry dbpos
    // The receiver's position and range; none: positions are decoded without a reference.
    virtual std::optional<ReceiverRef> Receiver() const { return std::nullopt; }
};

enum class PosOutcome {
    Stored,      // a position was written to the entry
    Waiting,     // only one format held so far
    NlMismatch,  // the pair straddles an NL boundary: nothing written
    Rejected,    // a checked pair half a zone or more from the stored position: held, not written
    Refused,     // the pair was not believed and its newest report alone gave nothing: not written
};

struct PosResult {
    PosOutcome outcome = PosOutcome::Waiting;
    // The pair was not believed: its reports disagreed, or came in too far apart (also when
    // the newest report, decoded next to the stored position, was then stored).
    bool pair_refused = false;
    // With a receiver position:
    bool beyond_range = false;    // a checked pair lay farther than the maximum range: refused
    bool too_fast = false;        // a fix needed more than a plausible speed since the last: refused
    bool lone_too_far = false;    // a single report next to the receiver lay beyond where that is sure
    bool lone_fix = false;        // the position stored came from a single report next to the receiver
};

// The even and the odd report of a pair, each decoded with the pair's zone indices, must
// agree within this (degrees of latitude, and of longitude times the cosine of the latitude).
// A half heard before a gap shifts a zone index for both decodes alike, but the even and the
// odd zones differ in size, so the two still differ by about a tenth of their zone width:
// 0.1 degree airborne. What an airliner flies in 10 s stays well below that.
inline constexpr double kAirborneAgreeDeg = 0.03;
inline constexpr double kSurfaceAgreeDeg = 0.0075;  // surface zones are a quarter as tall

// Halves heard further apart by the clock are not paired (DO-260B: 10 s airborne, 50 s on
// the surface). A recording replayed without its times gives no such limit.
inline constexpr int kAirbornePairSeconds = 10;
inline constexpr int kSurfacePairSeconds = 50;

// A checked pair is either right or a whole zone (6 degrees airborne, 1.5 on the surface)
// off: within half a zone of the stored position it is believed at once.
inline constexpr double kAirborneHalfZoneDeg = 3.0;
inline constexpr double kSurfaceHalfZoneDeg = 0.75;

// Largest believable move for a single report decoded next to the stored position, and
// between two checked pairs that confirm each other, degrees of latitude and longitude.
inline constexpr double kAirborneJumpDeg = 1.0;
inline constexpr double kSurfaceJumpDeg = 0.25;

// A single report is decoded next to the stored position only while that is this recent by
// the clock: the decode is right within half a zone (180 NM airborne, 45 NM surface), and an
// aircraft must not get further than that less the jump above (600 kt for 10 minutes is
// 100 NM; a landing aircraft's airborne fix is the reference of its first surface reports,
// and 300 kt for 5 minutes is 25 NM).
inline constexpr int kAirborneLocalSeconds = 600;
inline constexpr int kSurfaceLocalSeconds = 300;

// A single report decoded next to the receiver is the right one of its candidates while the
// aircraft lies within half a zone (180 NM airborne, 45 NM on the surface). An aircraft
// heard up to the maximum range M beyond that decodes a whole zone away, at least 360 - M NM
// from the receiver: so a decode is believed within M when M is at most 180, within 360 - M
// when M is below 360, and never beyond. On the surface the same rule holds with half a
// surface zone (45 NM), and a transmitter on the ground is heard within the line of sight,
// taken as at most 60 NM: at the default range a surface report is believed within 30 NM.
double LoneRangeNm(double max_range_nm, bool surface);
inline constexpr double kSurfaceHearingNm = 60.0;

// The speed check between two fixes of one aircraft, with a receiver position and only
// where the clock tells: the new fix may lie this far from the last one (NM). The speed is
// the one the aircraft reported (a quarter more, at least 200 kt airborne and 20 kt on the
// surface), else 600 kt airborne and 100 kt on the surface; it is flown for the time since
// plus 2 s (the time of a report is when it was received, not when it was measured), and a
// position may always move by 0.5 NM (0.1 NM on the surface) for the rounding of CPR.
double PlausibleMoveNm(double seconds, int32_t reported_knots, bool surface);

// msg: the 14 bytes of a valid extended squitter with type code 9..18 (or 5..8) of the
// aircraft in entry dbpos (0..500). The time a report came in is the entry's LastHeard,
// stamped by the evaluation just before; `time` is the message's time for the speed check
// (which needs a receiver position).
PosResult EvalPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, int16_t dbpos,
                       const MessageTime& time = {});
PosResult EvalSurfPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, int16_t dbpos,
                           const MessageTime& time = {});

// Altitude in feet from the 12-bit altitude field of an airborne position message;
// false when a Gillham (Q = 0) code is not a valid altitude.
bool AltitudeFromAc12(uint32_t ac12, int32_t& feet);

// Ground speed in whole knots (nearest) from the 7-bit movement code of a surface position
// message: the speed at the bottom of the code's band (DO-260B: steps of 1/8 kt at walking
// pace up to 5 kt at 100..175 kt). False for 0 (no information) and the reserved 125..127.
bool SpeedFromMovement(uint32_t code, int32_t& knots);

}  // namespace ternwick
