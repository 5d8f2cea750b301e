#include "mode_s_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "decode/frame_bytes.h"

namespace ternwick::traffic {

namespace {

// ME bits are numbered 1..56 from the first transmitted bit, as in DO-260B; bit 1 is the
// top bit of the 56-bit value.
void Put(uint64_t& me, int first_bit, int width, uint64_t value) {
    const int shift = 56 - (first_bit + width - 1);
    const uint64_t mask = (uint64_t{1} << width) - 1;
    me |= (value & mask) << shift;
}

void PutAddress(Frame& f, uint32_t icao) {
    f[1] = static_cast<uint8_t>(icao >> 16);
    f[2] = static_cast<uint8_t>(icao >> 8);
    f[3] = static_cast<uint8_t>(icao);
}

// The parity goes into the last three bytes: the CRC-24 of everything before it.
void PutParity(Frame& f) {
    const size_t n = f.size() - 3;
    const uint32_t crc = static_cast<uint32_t>(ternwick::CRC24_Bytes(f.data(), n));
    f[n] = static_cast<uint8_t>(crc >> 16);
    f[n + 1] = static_cast<uint8_t>(crc >> 8);
    f[n + 2] = static_cast<uint8_t>(crc);
}

// Identification characters (ICAO Annex 10 Vol IV, 6-bit subset of IA-5).
int CharCode(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
    if (c >= '0' && c <= '9') return c - '0' + 48;
    if (c == ' ') return 32;
    return -1;
}

void PutCpr(uint64_t& me, int odd, const CprReport& cpr) {
    Put(me, 21, 1, 0);      // 21: time not synchronised to UTC
    Put(me, 22, 1, odd);    // 22: CPR format
    Put(me, 23, 17, cpr.lat);  // 23-39: CPR latitude
    Put(me, 40, 17, cpr.lon);  // 40-56: CPR longitude
}

}  // namespace

std::string ToHex(const Frame& frame) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(frame.size() * 2);
    for (uint8_t b : frame) {
        s += kDigits[b >> 4];
        s += kDigits[b & 0x0F];
    }
    return s;
}

Frame ExtendedSquitter(uint32_t icao, int ca, uint64_t me) {
    Frame f(14, 0);
    f[0] = static_cast<uint8_t>((17 << 3) | (ca & 7));  // 1-5: DF 17, 6-8: CA
    PutAddress(f, icao);                                 // 9-32: AA
    for (int k = 0; k < 7; ++k) f[4 + k] = static_cast<uint8_t>(me >> (48 - 8 * k));  // 33-88: ME
    PutParity(f);                                        // 89-112: PI
    return f;
}

Frame NonTransponderSquitter(uint32_t address, int cf, uint64_t me) {
    Frame f = ExtendedSquitter(address, 0, me);
    f[0] = static_cast<uint8_t>((18 << 3) | (cf & 7));  // 1-5: DF 18, 6-8: CF
    PutParity(f);
    return f;
}

Frame AddressParityReply(int df, int bits6_8, uint32_t code13, uint32_t icao, uint64_t mb) {
    const bool is_long = df >= 16;
    Frame f(is_long ? 14 : 7, 0);
    f[0] = static_cast<uint8_t>((df << 3) | (bits6_8 & 7));  // 1-5: DF, 6-8: FS (or VS...)
    f[2] = static_cast<uint8_t>((code13 >> 8) & 0x1F);        // 20-32: AC or ID
    f[3] = static_cast<uint8_t>(code13);
    if (is_long)
        for (int k = 0; k < 7; ++k) f[4 + k] = static_cast<uint8_t>(mb >> (48 - 8 * k));  // 33-88: MB / MV
    PutParity(f);
    const size_t n = f.size() - 3;
    f[n] ^= static_cast<uint8_t>(icao >> 16);  // AP: parity overlaid with the address
    f[n + 1] ^= static_cast<uint8_t>(icao >> 8);
    f[n + 2] ^= static_cast<uint8_t>(icao);
    return f;
}

uint32_t Ac13FromAc12(uint32_t ac12) { return ((ac12 & 0xFC0) << 1) | (ac12 & 0x3F); }

uint32_t Ac13Metric(int metres) {
    const uint32_t v = static_cast<uint32_t>(std::clamp(metres, 0, 4095));
    return ((v & 0xFC0) << 1) | 0x40 | (v & 0x3F);
}

uint32_t Id13(int squawk) {
    const int a = squawk / 1000 % 10, b = squawk / 100 % 10, c = squawk / 10 % 10, d = squawk % 10;
    auto bit = [](int digit, int weight) { return static_cast<uint32_t>((digit & weight) ? 1 : 0); };
    // Top bit first: C1 A1 C2 A2 C4 A4 X B1 D1 B2 D2 B4 D4.
    const uint32_t bits[13] = {bit(c, 1), bit(a, 1), bit(c, 2), bit(a, 2), bit(c, 4), bit(a, 4), 0,
                               bit(b, 1), bit(d, 1), bit(b, 2), bit(d, 2), bit(b, 4), bit(d, 4)};
    uint32_t v = 0;
    for (uint32_t b13 : bits) v = (v << 1) | b13;
    return v;
}

uint64_t EmergencyMe(int state, int squawk) {
    uint64_t me = 0;
    Put(me, 1, 5, 28);           // 1-5: TC 28
    Put(me, 6, 3, 1);            // 6-8: subtype 1, emergency / priority status
    Put(me, 9, 3, state);        // 9-11: emergency state
    Put(me, 12, 13, Id13(squawk));  // 12-24: Mode A code
    return me;
}

uint64_t TargetStateMe(int selected_ft, double heading_deg) {
    uint64_t me = 0;
    Put(me, 1, 5, 29);  // 1-5: TC 29
    Put(me, 6, 2, 1);   // 6-7: subtype 1 (DO-260B)
    if (selected_ft >= 0) Put(me, 11, 11, static_cast<uint64_t>(selected_ft / 32 + 1));  // 11-21
    if (heading_deg >= 0) {
        Put(me, 31, 1, 1);  // 31: heading valid
        Put(me, 32, 9, static_cast<uint64_t>(std::lround(heading_deg * 256.0 / 180.0)) % 512);  // 32-40
    }
    return me;
}

uint64_t OperationalStatusMe(uint32_t capability, int version) {
    uint64_t me = 0;
    Put(me, 1, 5, 31);           // 1-5: TC 31
    Put(me, 6, 3, 0);            // 6-8: subtype 0, airborne
    Put(me, 9, 16, capability);  // 9-24: capability class
    Put(me, 41, 3, version);     // 41-43: version number
    return me;
}

Frame AllCallReply(uint32_t icao, int ca) {
    Frame f(7, 0);
    f[0] = static_cast<uint8_t>((11 << 3) | (ca & 7));
    PutAddress(f, icao);
    PutParity(f);  // interrogator code 0: the parity is the plain CRC
    return f;
}

bool IdentificationMe(std::string_view callsign, int category, uint64_t& me) {
    if (callsign.size() > 8) return false;
    me = 0;
    Put(me, 1, 5, 4);          // 1-5: TC 4
    Put(me, 6, 3, category);   // 6-8: emitter category
    for (int i = 0; i < 8; ++i) {
        const int code = CharCode(i < static_cast<int>(callsign.size()) ? callsign[i] : ' ');
        if (code < 0) return false;
        Put(me, 9 + 6 * i, 6, code);  // 9-56: eight characters
    }
    return true;
}

uint32_t AltitudeQ1(int feet) {
    const int n = std::clamp(static_cast<int>(std::lround((feet + 1000) / 25.0)), 0, 2047);
    // The 11-bit count straddles the Q bit: seven bits, Q, four bits.
    return static_cast<uint32_t>(((n >> 4) << 5) | 0x10 | (n & 0x0F));
}

int AltitudeOfQ1(uint32_t ac12) {
    const int n = static_cast<int>(((ac12 >> 5) << 4) | (ac12 & 0x0F));
    return n * 25 - 1000;
}

std::optional<uint32_t> AltitudeGillham(int feet) {
    // Count of 100-ft steps above -1200 ft: a Gray-coded 500-ft band (D2 D4 A1 A2 A4 B1 B2
    // B4) and, within it, five 100-ft steps in the C pulses, counted upwards in even bands
    // and downwards in odd ones, so that every step changes one pulse only.
    const long n = std::lround((feet + 1200) / 100.0);
    if (n < 0 || n > 255 * 5 + 4) return std::nullopt;
    const uint32_t band = static_cast<uint32_t>(n / 5);
    int step = static_cast<int>(n % 5);        // 0..4 upwards
    if (band & 1) step = 4 - step;
    static constexpr uint32_t kCPulses[5] = {0b001, 0b011, 0b010, 0b110, 0b100};  // C1 C2 C4
    const uint32_t c = kCPulses[step];
    const uint32_t g = band ^ (band >> 1);
    auto bit = [](uint32_t v, int k) { return (v >> k) & 1u; };
    const uint32_t d2 = bit(g, 7), d4 = bit(g, 6), a1 = bit(g, 5), a2 = bit(g, 4), a4 = bit(g, 3);
    const uint32_t b1 = bit(g, 2), b2 = bit(g, 1), b4 = bit(g, 0);
    const uint32_t c1 = bit(c, 2), c2 = bit(c, 1), c4 = bit(c, 0);
    // Field order, top bit first: C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4 (Q = 0, no D1).
    return (c1 << 11) | (a1 << 10) | (c2 << 9) | (a2 << 8) | (c4 << 7) | (a4 << 6) | (b1 << 5) |
           (b2 << 3) | (d2 << 2) | (b4 << 1) | d4;
}

uint64_t AirbornePositionMe(int tc, uint32_t ac12, int odd, const CprReport& cpr) {
    uint64_t me = 0;
    Put(me, 1, 5, tc);     // 1-5: TC 9-18
    Put(me, 6, 2, 0);      // 6-7: surveillance status
    Put(me, 8, 1, 0);      // 8: NIC supplement B
    Put(me, 9, 12, ac12);  // 9-20: altitude
    PutCpr(me, odd, cpr);
    return me;
}

int MovementCode(double knots) {
    if (knots < 0.125) return 1;
    if (knots < 1) return 2 + static_cast<int>((knots - 0.125) / 0.125);
    if (knots < 2) return 9 + static_cast<int>((knots - 1) / 0.25);
    if (knots < 15) return 13 + static_cast<int>((knots - 2) / 0.5);
    if (knots < 70) return 39 + static_cast<int>(knots - 15);
    if (knots < 100) return 94 + static_cast<int>((knots - 70) / 2);
    if (knots < 175) return 109 + static_cast<int>((knots - 100) / 5);
    return 124;
}

double MovementKnots(int code) {
    if (code <= 1) return 0;
    if (code < 9) return 0.125 * (code - 1);
    if (code < 13) return 1 + 0.25 * (code - 9);
    if (code < 39) return 2 + 0.5 * (code - 13);
    if (code < 94) return 15 + (code - 39);
    if (code < 109) return 70 + 2 * (code - 94);
    if (code < 124) return 100 + 5 * (code - 109);
    return 175;
}

uint64_t SurfacePositionMe(int tc, int movement, double track_deg, int odd, const CprReport& cpr) {
    uint64_t me = 0;
    Put(me, 1, 5, tc);         // 1-5: TC 5-8
    Put(me, 6, 7, movement);   // 6-12: movement
    if (track_deg >= 0) {
        Put(me, 13, 1, 1);     // 13: track valid
        const long t = std::lround(track_deg / 360.0 * 128.0) % 128;
        Put(me, 14, 7, static_cast<uint64_t>(t));  // 14-20: track, 360/128-degree steps
    }
    PutCpr(me, odd, cpr);
    return me;
}

uint64_t VelocityMe(const GroundVelocity& v) {
    auto magnitude = [](int value, int step, int max_raw) {
        return static_cast<uint64_t>(std::min(std::abs(value) / step + 1, max_raw));
    };
    uint64_t me = 0;
    Put(me, 1, 5, 19);                  // 1-5: TC 19
    Put(me, 6, 3, 1);                   // 6-8: subtype 1, ground speed, subsonic
    Put(me, 10, 1, v.ifr);              // 10: IFR capability
    Put(me, 11, 3, v.nacv);             // 11-13: NACv
    Put(me, 14, 1, v.east_kt < 0);      // 14: direction, 1 = west
    Put(me, 15, 10, magnitude(v.east_kt, 1, 1023));   // 15-24: east-west speed + 1
    Put(me, 25, 1, v.north_kt < 0);     // 25: direction, 1 = south
    Put(me, 26, 10, magnitude(v.north_kt, 1, 1023));  // 26-35: north-south speed + 1
    Put(me, 36, 1, v.baro_rate);        // 36: vertical rate source
    Put(me, 37, 1, v.vertical_fpm < 0); // 37: 1 = down
    const int vr = static_cast<int>(std::lround(std::abs(v.vertical_fpm) / 64.0));
    Put(me, 38, 9, static_cast<uint64_t>(std::min(vr + 1, 511)));  // 38-46: rate / 64 + 1
    Put(me, 49, 1, v.gnss_above_baro_ft < 0);          // 49: 1 = GNSS below baro
    Put(me, 50, 7, magnitude(v.gnss_above_baro_ft, 25, 127));  // 50-56: difference / 25 + 1
    return me;
}

int ReportedSpeed(int east_kt, int north_kt) {
    const double e = std::min(std::abs(east_kt), 1022), n = std::min(std::abs(north_kt), 1022);
    return static_cast<int>(std::lround(std::sqrt(e * e + n * n)));
}

}  // namespace ternwick::traffic
