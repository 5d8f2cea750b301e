#include "position.h"

#include <cmath>

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

bool Near(double lat1, double lon1, double lat2, double lon2, double tol) {
    const double dlon = std::fabs(modulo(lon1 - lon2 + 180.0, 360.0) - 180.0);
    return std::fabs(lat1 - lat2) <= tol && dlon <= tol;
}

// Stores the report, decodes with the other held half, and keeps the entry out of zone errors.
PosOutcome StoreAndDecode(FlightTable& db, std::string_view icao, const PositionFields& pf,
                          bool surface, double lon_offset) {
    DbRecord& e = db(db.IcaoDbPointer(icao));
    const bool other = e.CprLat[1 - pf.f] != 0;
    e.CprLon[pf.f] = pf.lon;
    e.CprLat[pf.f] = pf.lat;
    if (!other) return PosOutcome::Waiting;

    const CprPair pair{{double(e.CprLat[0]), double(e.CprLat[1])},
                       {double(e.CprLon[0]), double(e.CprLon[1])}};
    auto fix = surface ? DecodeSurfacePair(pair, pf.f) : DecodeAirbornePair(pair, pf.f);
    if (!fix) return PosOutcome::NlMismatch;

    // A pair whose halves lie far apart (a gap in reception) gives a zone index one off:
    // the aircraft would jump a whole zone. Then the new report alone, decoded next to the
    // stored position, is believed if it stays close to it. A jump that neither explains is
    // believed only when a second, fresh pair agrees with it; meanwhile the older half is
    // dropped so that the next pair is fresh.
    const double tol = surface ? kSurfaceJumpDeg : kAirborneJumpDeg;
    const bool first = e.Lat == 0.0 && e.Lon == 0.0;
    double lat = fix->lat;
    double lon = fix->lon + lon_offset;
    const bool plausible = first || Near(lat, lon, e.Lat, e.Lon, tol) ||
                           (e.HasCandidate && Near(lat, lon, e.CandLat, e.CandLon, tol));
    if (!plausible) {
        const CprFix local = DecodeLocal(pf.lat, pf.lon, pf.f, surface, e.Lat, e.Lon);
        if (Near(local.lat, local.lon, e.Lat, e.Lon, tol)) {
            lat = local.lat;
            // Airborne longitudes are kept in 0..360; surface ones in -180..180, where the
            // map offsets put them.
            lon = surface ? modulo(local.lon + 180.0, 360.0) - 180.0 : modulo(local.lon, 360.0);
        } else {
            e.CprLat[1 - pf.f] = 0;
            e.CprLon[1 - pf.f] = 0;
            e.HasCandidate = true;
            e.CandLat = lat;
            e.CandLon = lon;
            return PosOutcome::Rejected;
        }
    }
    e.HasCandidate = false;
    e.Lat = lat;
    e.Lon = lon;
    return PosOutcome::Stored;
}

}  // namespace

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

PosOutcome EvalPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, std::string_view icao) {
    const PositionFields pf = ReadPosition(msg);
    // ME 9-20: altitude field, Q at ME 16; taken from every message, paired or not.
    const uint32_t ac12 = (uint32_t(msg[5]) << 4) | (msg[6] >> 4);
    int32_t feet = 0;
    const bool have_alt = AltitudeFromAc12(ac12, feet);

    const PosOutcome out = StoreAndDecode(db, icao, pf, false, 0.0);
    if (have_alt) db(db.IcaoDbPointer(icao)).Altitude = feet;
    if (out == PosOutcome::Stored && host.PlotAir()) host.PlotPosDb(db.IcaoDbPointer(icao));
    return out;
}

PosOutcome EvalSurfPosition(FlightTable& db, PositionHost& host, const uint8_t* msg, std::string_view icao) {
    const PositionFields pf = ReadPosition(msg);
    const PosOutcome out = StoreAndDecode(db, icao, pf, true, host.MapSurfLonOffset());
    if (out == PosOutcome::Stored && host.PlotSurf()) host.PlotPosDb(db.IcaoDbPointer(icao));
    return out;
}

}  // namespace ternwick
