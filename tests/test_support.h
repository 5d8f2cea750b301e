// Shared test helpers: a host with a fixed clock that records plots, a builder for valid
// extended squitters, and a CPR encoder written from the published DO-260B formulas
// (independent of the decoder's own arithmetic).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "decode/byte_pump.h"
#include "decode/frame_bytes.h"
#include "decode/tracker.h"

namespace ternwick::test {

class FakeHost : public TrackerHost {
public:
    int seconds = 0;
    bool plot_air = true, plot_surf = true;
    double surf_offset = 0.0;
    std::vector<int16_t> plotted;
    int SecondsInHour() const override { return seconds; }
    bool PlotAir() const override { return plot_air; }
    bool PlotSurf() const override { return plot_surf; }
    double MapSurfLonOffset() const override { return surf_offset; }
    void PlotPosDb(int16_t dbpos) override { plotted.push_back(dbpos); }
};

inline std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char hex[3];
    for (uint8_t v : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", v);
        s += hex;
    }
    return s;
}

// "8D" + address + ME (7 bytes) + the parity that makes the CRC remainder 0.
inline std::string MakeEs(uint32_t icao, const uint8_t me[7]) {
    std::vector<uint8_t> b{0x8D, uint8_t(icao >> 16), uint8_t(icao >> 8), uint8_t(icao)};
    b.insert(b.end(), me, me + 7);
    const uint32_t crc = uint32_t(CRC24_Bytes(b));
    for (int shift : {16, 8, 0}) b.push_back(uint8_t(crc >> shift));
    return Hex(b);
}

// An all-call reply (DF11, capability 5) from `icao` whose parity carries interrogator code
// `ii`: the parity is the CRC of the first 32 bits overlaid (XOR) with the code.
inline std::string AllCall(uint32_t icao, uint32_t ii = 0) {
    std::vector<uint8_t> b{0x5D, uint8_t(icao >> 16), uint8_t(icao >> 8), uint8_t(icao)};
    const uint32_t parity = uint32_t(CRC24_Bytes(b)) ^ ii;
    for (int shift : {16, 8, 0}) b.push_back(uint8_t(parity >> shift));
    return Hex(b);
}

// NL from the closed formula, not from the decoder's table.
inline int ClosedFormNL(double lat) {
    const double a = std::fabs(lat);
    if (a >= 87.0) return 1;
    if (a == 0) return 59;
    const double nz = 15;
    const double x = 1 - (1 - std::cos(M_PI / (2 * nz))) / (std::cos(M_PI / 180 * a) * std::cos(M_PI / 180 * a));
    return static_cast<int>(std::floor(2 * M_PI / std::acos(x)));
}

struct CprReport {
    int lat, lon;
};

inline CprReport EncodeCpr(double lat, double lon, int odd, bool surface) {
    const double span = surface ? 90.0 : 360.0;
    const double dlat = span / (60 - odd);
    auto mod = [](double a, double b) { return a - b * std::floor(a / b); };
    const int yz = static_cast<int>(std::floor(131072 * mod(lat, dlat) / dlat + 0.5));
    const double rlat = dlat * (yz / 131072.0 + std::floor(lat / dlat));
    const int ni = std::max(ClosedFormNL(rlat) - odd, 1);
    const double dlon = span / ni;
    const int xz = static_cast<int>(std::floor(131072 * mod(lon, dlon) / dlon + 0.5));
    return {yz & 0x1FFFF, xz & 0x1FFFF};
}

// ME of a position message: type code, 12-bit altitude field (airborne) or ME 9-20 (surface:
// the low four bits of the movement code, track status and track), format bit, 17-bit
// latitude and longitude.
inline void PositionMe(uint8_t me[7], int tc, uint32_t ac12, int odd, CprReport r) {
    me[0] = uint8_t(tc << 3);
    me[1] = uint8_t(ac12 >> 4);
    me[2] = uint8_t(((ac12 & 0x0F) << 4) | (odd << 2) | ((r.lat >> 15) & 0x03));
    me[3] = uint8_t(r.lat >> 7);
    me[4] = uint8_t(((r.lat & 0x7F) << 1) | ((r.lon >> 16) & 0x01));
    me[5] = uint8_t(r.lon >> 8);
    me[6] = uint8_t(r.lon);
}

// Airborne position message with a Q=1 altitude.
inline std::string AirbornePos(uint32_t icao, double lat, double lon, int odd, int feet = 35000) {
    const uint32_t n = static_cast<uint32_t>((feet + 1000) / 25);
    const uint32_t ac12 = ((n >> 4) << 5) | 0x10 | (n & 0x0F);
    uint8_t me[7];
    PositionMe(me, 11, ac12, odd, EncodeCpr(lat, lon, odd, false));
    return MakeEs(icao, me);
}

// Surface position message; movement: the 7-bit ground speed code (ME 6-12), 0 = none.
inline std::string SurfacePos(uint32_t icao, double lat, double lon, int odd, int movement = 0) {
    uint8_t me[7];
    PositionMe(me, 7, uint32_t(movement & 0x0F) << 8, odd, EncodeCpr(lat, lon, odd, true));
    me[0] |= uint8_t(movement >> 4);
    return MakeEs(icao, me);
}

// Evaluates one message given as hex text.
inline void Feed(Tracker& t, const std::string& hex) {
    t.Squitter = hex;
    t.EvalSquitter();
}

// A tracker with its byte pump, recording every evaluated message.
struct Decoding {
    FakeHost host;
    AirlineDirectory airlines;
    Tracker t{host, airlines};
    BytePump pump{t};
    std::vector<std::string> evaluated;
    Decoding() {
        pump.after_message = [this] { evaluated.push_back(t.Squitter); };
    }
    DbRecord& Entry(const std::string& icao) { return t.Db(t.Db.IcaoDbPointer(icao)); }
};

}  // namespace ternwick::test
