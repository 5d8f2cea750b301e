#include "position.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <optional>

#include "cpr.h"

namespace ternwick {

namespace {

// Message bits are numbered 1..112 from the first transmitted bit; the ME field is
// bits 33..88, i.e. bytes 4..10, and "ME bit n" below counts from 1 within it.
struct PositionFields {
    int f;        // ME 22: CPR format, 0 even, 1 odd
    int32_t lat;  // ME 23-39: CPR latitude
    int32_t lon;  // ME 40-56: CPR longitude
};

PositionFields ReadPosition(const uint8_t* msg) {
    const uint8_t* me = msg + 4;
    return {(me[2] >> 2) & 1,
            ((me[2] & 0x03) << 15) | (me[3] << 7) | (me[4] >> 1),
            ((me[4] & 0x01) << 16) | (me[5] << 8) | me[6]};
}

// Reflected binary (Gray) code to binary.
uint32_t GrayToBinary(uint32_t g) {
    for (uint32_t shift = 1; shift < 32; shift <<= 1) g ^= g >> shift;
    return g;
}

// Limits of one kind of position message (see position.h).
struct Limits {
    double agree, half_zone, jump;
    int pair_seconds, local_seconds;
};
constexpr Limits kAirborne{kAirborneAgreeDeg, kAirborneHalfZoneDeg, kAirborneJumpDeg, kAirbornePairSeconds,
                           kAirborneLocalSeconds};
constexpr Limits kSurface{kSurfaceAgreeDeg, kSurfaceHalfZoneDeg, kSurfaceJumpDeg, kSurfacePairSeconds,
                          kSurfaceLocalSeconds};

// Seconds from `then` to `now`, both seconds within the hour, taken modulo 3600.
int Age(int now, int then) {
    const int age = (now - then) % 3600;
    return age < 0 ? age + 3600 : age;
}

double LonDiff(double lon1, double lon2) { return modulo(lon1 - lon2 + 180.0, 360.0) - 180.0; }

bool Near(double lat1, double lon1, double lat2, double lon2, double tol) {
    return std::fabs(lat1 - lat2) <= tol && std::fabs(LonDiff(lon1, lon2)) <= tol;
}

enum class PairCheck { Agree, Disagree, NlMismatch };

// Decodes the pair once for each format, with the same zone indices, and tells whether the
// two positions are one. fix: the position of format f, the newest report; *spread (when
// asked): how far the two lie apart, the larger of the latitude and the across-track
// difference.
PairCheck CheckPair(const CprPair& pair, int f, bool surface, double ref_lat, CprFix& fix, double* spread = nullptr) {
    // Both reports from one zone computation: their latitudes and NL are the same work.
    const std::optional<CprPairFixes> both = surface ? DecodeSurfacePairs(pair, ref_lat) : DecodeAirbornePairs(pair);
    if (!both) return PairCheck::NlMismatch;
    const CprPairFixes& d = *both;
    fix = d[f];
    const double tol = surface ? kSurfaceAgreeDeg : kAirborneAgreeDeg;
    const double dlat = std::fabs(d[0].lat - d[1].lat);
    const double dlon = std::fabs(LonDiff(d[0].lon, d[1].lon));
    // The across-track difference is dlon times a cosine, never more than dlon: unless the
    // spread itself is asked for, the cosine (dear, and most pairs agree) is taken only
    // where dlon alone leaves the answer open.
    if (!spread && dlat > tol) return PairCheck::Disagree;
    if (!spread && dlon <= tol) return PairCheck::Agree;
    const double s = std::max(dlat, dlon * std::cos(d[0].lat * (std::numbers::pi / 180.0)));
    if (spread) *spread = s;
    return s <= tol ? PairCheck::Agree : PairCheck::Disagree;
}

// A surface pair leaves the quarter of the globe open. Next to a reference (the receiver, or
// else a known position: an aircraft that lands is where it was flying) the solution nearest
// it is taken, longitude in -180..180. With none, the longitude is shifted by the map's
// offset, and the latitude is the northern one unless the southern one's reports agree
// better: decoded at the wrong twin, with the wrong zone count, they seldom agree at all,
// let alone as closely as a fresh pair at its own.
PairCheck CheckSurfacePair(const CprPair& pair, int f, const std::optional<geo::LatLon>& near, double lon_offset,
                           CprFix& fix) {
    if (near) {
        const PairCheck c = CheckPair(pair, f, true, near->lat, fix);
        const double quarters = std::round(LonDiff(near->lon, fix.lon) / 90.0);
        fix.lon = LonDiff(fix.lon + 90.0 * quarters, 0.0);
        return c;
    }
    double spread = 0.0;
    PairCheck c = CheckPair(pair, f, true, 45.0, fix, &spread);
    CprFix south{};
    double south_spread = 0.0;
    if (CheckPair(pair, f, true, -45.0, south, &south_spread) == PairCheck::Agree &&
        (c != PairCheck::Agree || south_spread < spread)) {
        c = PairCheck::Agree;
        fix = south;
    }
    fix.lon += lon_offset;
    return c;
}

double DistanceNm(double lat1, double lon1, double lat2, double lon2) {
    return geo::DistanceNm({lat1, lon1}, {lat2, lon2});
}

// One report's decoding: the entry, what kind of report, and what the surroundings tell.
struct Judge {
    DbRecord& e;
    const PositionFields& pf;
    bool surface;
    const std::optional<ReceiverRef>& rx;
    const MessageTime& time;
    PosResult result{PosOutcome::Refused, true};

    // Airborne longitudes are kept in 0..360; surface ones in -180..180, where the map
    // offsets put them.
    double KeptLon(double lon) const { return surface ? LonDiff(lon, 0.0) : modulo(lon, 360.0); }

    void Store(double lat, double lon, bool provisional = false) {
        e.Lat = lat;
        e.Lon = lon;
        e.HasPos = true;
        e.PosHeard = e.LastHeard;
        e.Provisional = provisional;
        e.FixTime = time.now;
        e.FixTimed = time.real;
        result.outcome = PosOutcome::Stored;
    }

    // With a receiver position, and where the clock tells both for the stored fix and for
    // this one: a move that needs more than a plausible speed is refused.
    bool FastEnough(double lat, double lon) {
        if (!rx || !e.HasPos || !time.real || !e.FixTimed) return true;
        const double seconds = std::max(0.0, time.now - e.FixTime);
        if (DistanceNm(e.Lat, e.Lon, lat, lon) <= PlausibleMoveNm(seconds, e.Speed, surface)) return true;
        result.too_fast = true;
        return false;
    }

    // No recent position to decode next to: the report alone, next to the receiver, believed
    // where it cannot be a zone off. The first checked pair then confirms or replaces it.
    void LoneNextToReceiver() {
        if (!rx) return;
        const CprFix fix = DecodeLocal(pf.lat, pf.lon, pf.f, surface, rx->pos.lat, rx->pos.lon);
        if (std::fabs(fix.lat) > 90.0) return;
        if (DistanceNm(rx->pos.lat, rx->pos.lon, fix.lat, fix.lon) > LoneRangeNm(rx->max_range_nm, surface)) {
            result.lone_too_far = true;
            return;
        }
        if (!FastEnough(fix.lat, fix.lon)) return;
        Store(fix.lat, KeptLon(fix.lon), true);
        result.lone_fix = true;
    }
};

// Stores the report and decodes it with the other held half. A pair is believed only when its
// two reports describe one position and, where the clock tells, came in close together: a
// stale half (heard before a gap, or recorded out of order) shifts a zone index and puts the
// aircraft a whole zone away. The first checked pair gives the first position; a later one
// within half a zone of the stored position is believed, and one further away (a long gap, or
// a wrong stored position) only when a second checked pair made of later reports agrees with
// it. Otherwise the newest report alone is decoded next to a recent stored position, which
// goes back to a checked pair, and believed when it stays close to it.
// With a receiver position, a report with no recent position to decode next to is decoded
// next to the receiver; pairs beyond the maximum range are refused, and so is, where the
// clock tells, a fix too far from the last for the time since (unless two pairs agree).
PosResult StoreAndDecode(DbRecord& e, const PositionFields& pf, bool surface, double lon_offset,
                         const std::optional<ReceiverRef>& rx, const MessageTime& time) {
    const Limits& lim = surface ? kSurface : kAirborne;
    const int other = 1 - pf.f;
    e.CprLon[pf.f] = pf.lon;
    e.CprLat[pf.f] = pf.lat;
    e.CprHeld[pf.f] = true;
    e.CprHeard[pf.f] = e.LastHeard;
    e.CandSpent[pf.f] = false;

    Judge judge{e, pf, surface, rx, time};
    const bool known = e.HasPos;
    const bool recent = known && Age(e.LastHeard, e.PosHeard) <= lim.local_seconds;
    if (!e.CprHeld[other]) {
        judge.result.pair_refused = false;
        if (!recent) judge.LoneNextToReceiver();
        if (judge.result.outcome != PosOutcome::Stored) judge.result.outcome = PosOutcome::Waiting;
        return judge.result;
    }

    PairCheck check = PairCheck::Disagree;
    CprFix fix{};
    if (Age(e.LastHeard, e.CprHeard[other]) <= lim.pair_seconds) {
        const CprPair pair{{double(e.CprLat[0]), double(e.CprLat[1])},
                           {double(e.CprLon[0]), double(e.CprLon[1])}};
        if (!surface) check = CheckPair(pair, pf.f, false, 0.0, fix);
        else if (rx) check = CheckSurfacePair(pair, pf.f, rx->pos, 0.0, fix);
        else if (known) check = CheckSurfacePair(pair, pf.f, geo::LatLon{e.Lat, e.Lon}, 0.0, fix);
        else check = CheckSurfacePair(pair, pf.f, std::nullopt, lon_offset, fix);
    }
    if (check == PairCheck::NlMismatch) {
        judge.result.pair_refused = false;
        if (!recent) judge.LoneNextToReceiver();
        if (judge.result.outcome != PosOutcome::Stored) judge.result.outcome = PosOutcome::NlMismatch;
        return judge.result;
    }

    PosResult& result = judge.result;
    if (check == PairCheck::Agree && rx &&
        DistanceNm(rx->pos.lat, rx->pos.lon, fix.lat, fix.lon) > rx->max_range_nm) {
        // Farther than the receiver hears: a wrong decode.
        result.pair_refused = false;
        result.beyond_range = true;
    } else if (check == PairCheck::Agree) {
        const bool confirms = e.HasCandidate && Near(fix.lat, fix.lon, e.CandLat, e.CandLon, lim.jump);
        const bool fresh_confirmation = confirms && !e.CandSpent[0] && !e.CandSpent[1];
        // The first position, a single report's one confirmed or replaced, or two checked
        // pairs agreeing: believed whatever the speed.
        const bool sure = !known || e.Provisional || fresh_confirmation;
        if (sure || (Near(fix.lat, fix.lon, e.Lat, e.Lon, lim.half_zone) && judge.FastEnough(fix.lat, fix.lon))) {
            judge.Store(fix.lat, fix.lon);
            e.HasCandidate = false;
            result.pair_refused = false;
            return result;
        }
        // Held until a pair of two later reports agrees. One that agrees but shares a report
        // confirms nothing: a stale half makes every pair it is in agree with the others.
        if (!confirms) {
            e.HasCandidate = true;
            e.CandLat = fix.lat;
            e.CandLon = fix.lon;
            e.CandSpent[0] = e.CandSpent[1] = true;
        }
        result.outcome = PosOutcome::Rejected;
        result.pair_refused = false;
    }
    if (recent) {
        const CprFix local = DecodeLocal(pf.lat, pf.lon, pf.f, surface, e.Lat, e.Lon);
        // Next to a pole the nearest zone can lie beyond it: that is no latitude.
        if (std::fabs(local.lat) <= 90.0 && Near(local.lat, local.lon, e.Lat, e.Lon, lim.jump) &&
            judge.FastEnough(local.lat, local.lon)) {
            const bool provisional = e.Provisional;  // still going back to a single report
            judge.Store(local.lat, judge.KeptLon(local.lon), provisional);
        }
    } else {
        judge.LoneNextToReceiver();
    }
    return result;
}

}  // namespace

double LoneRangeNm(double max_range_nm, bool surface) {
    const double half_zone = surface ? 45.0 : 180.0;
    const double heard = surface ? std::min(max_range_nm, kSurfaceHearingNm) : max_range_nm;
    if (heard <= half_zone) return heard;
    if (heard < 2 * half_zone) return 2 * half_zone - heard;
    return 0.0;
}

double PlausibleMoveNm(double seconds, int32_t reported_knots, bool surface) {
    double knots = surface ? 100.0 : 600.0;
    if (reported_knots > 0) knots = std::max(reported_knots * 1.25, surface ? 20.0 : 200.0);
    return (surface ? 0.1 : 0.5) + knots * (seconds + 2.0) / 3600.0;
}

bool AltitudeFromAc12(uint32_t ac12, int32_t& feet) {
    if (ac12 & 0x010) {  // Q = 1: 25-foot steps, the 11 bits around Q read as one number
        const uint32_t n = ((ac12 >> 5) << 4) | (ac12 & 0x0F);
        feet = static_cast<int32_t>(n) * 25 - 1000;
        return true;
    }
    // Q = 0: Gillham code, bits from the top: C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4 (D1 absent).
    auto bit = [ac12](int pos_from_top) { return (ac12 >> (11 - pos_from_top)) & 1u; };
    const uint32_t c1 = bit(0), a1 = bit(1), c2 = bit(2), a2 = bit(3), c4 = bit(4), a4 = bit(5);
    const uint32_t b1 = bit(6), b2 = bit(8), d2 = bit(9), b4 = bit(10), d4 = bit(11);
    // 500-foot bands: Gray code D2 D4 A1 A2 A4 B1 B2 B4.
    const uint32_t band = GrayToBinary((d2 << 7) | (d4 << 6) | (a1 << 5) | (a2 << 4) | (a4 << 3) |
                                       (b1 << 2) | (b2 << 1) | b4);
    // 100-foot steps within the band: C1 C2 C4 read as Gray code gives 1..4 and 7 (for 5).
    // C1 C2 C4 all set reads as 5 too, but the conversion table has no such code: only a
    // damaged reply carries it.
    if (c1 && c2 && c4) return false;
    uint32_t step = GrayToBinary((c1 << 2) | (c2 << 1) | c4);
    if (step == 7) step = 5;
    if (step == 0 || step == 6) return false;
    if (band & 1) step = 6 - step;  // odd bands count the steps downwards
    feet = static_cast<int32_t>(band) * 500 + static_cast<int32_t>(step) * 100 - 1300;
    return true;
}

bool SpeedFromMovement(uint32_t code, int32_t& knots) {
    // Bands of the movement code: first code, speed there and step, both in eighths of a knot.
    struct Band {
        uint32_t first;
        int32_t start, step;
    };
    static constexpr Band kBands[] = {{1, 0, 0},     {2, 1, 1},       {9, 8, 2},    {13, 16, 4},
                                      {39, 120, 8},  {94, 560, 16},   {109, 800, 40}, {124, 1400, 0}};
    if (code == 0 || code > 124) return false;
    const Band* b = kBands;
    while (b + 1 != std::end(kBands) && (b + 1)->first <= code) ++b;
    const int32_t eighths = b->start + static_cast<int32_t>(code - b->first) * b->step;
    knots = (eighths + 4) / 8;
    return true;
}

PosResult EvalPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, int16_t dbpos,
                       const MessageTime& time) {
    const PositionFields pf = ReadPosition(msg);
    // ME 9-20: altitude field, Q at ME 16; taken from every message, paired or not.
    const uint32_t ac12 = (uint32_t(msg[5]) << 4) | (msg[6] >> 4);
    int32_t feet = 0;
    const bool have_alt = AltitudeFromAc12(ac12, feet);

    DbRecord& e = db(dbpos);
    const PosResult r = StoreAndDecode(e, pf, false, 0.0, host.Receiver(), time);
    if (have_alt) {
        e.Altitude = feet;
        e.HasAltitude = true;
    }
    if (r.outcome == PosOutcome::Stored && host.PlotAir()) host.PlotPosDb(dbpos);
    return r;
}

PosResult EvalSurfPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, int16_t dbpos,
                           const MessageTime& time) {
    const PositionFields pf = ReadPosition(msg);
    // ME 6-12: movement, the ground speed; taken from every message, paired or not.
    const uint32_t movement = ((msg[4] & 0x07u) << 4) | (msg[5] >> 4);
    int32_t knots = 0;
    DbRecord& e = db(dbpos);
    if (SpeedFromMovement(movement, knots)) e.Speed = knots;

    // With a receiver position the map's offset is not used: the receiver tells the quarter.
    const std::optional<ReceiverRef> rx = host.Receiver();
    const PosResult r = StoreAndDecode(e, pf, true, rx ? 0.0 : host.MapSurfLonOffset(), rx, time);
    if (r.outcome == PosOutcome::Stored && host.PlotSurf()) host.PlotPosDb(dbpos);
    return r;
}

}  // namespace ternwick
