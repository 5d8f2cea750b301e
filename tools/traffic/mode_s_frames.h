// Builds Mode S replies bit by bit: DF17 and DF18 extended squitters (identification,
// airborne and surface position, airborne velocity, aircraft status, target state,
// operational status), DF11 all-call replies and the address/parity replies (DF0, DF4, DF5,
// DF16, DF20, DF21), with their parity.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cpr_encoder.h"

namespace ternwick::traffic {

using Frame = std::vector<uint8_t>;  // 7 or 14 bytes, first transmitted byte first

// Upper-case hex text of a frame, as a receiver writes it.
std::string ToHex(const Frame& frame);

// Capability field: 4 = on the ground, 5 = airborne (both level 2+ transponders).
inline constexpr int kCaGround = 4;
inline constexpr int kCaAirborne = 5;

// DF17: DF, CA, the 24-bit address, the 56-bit ME field and the parity (CRC-24 of the
// first 88 bits). me holds ME bits 1..56 in its low 56 bits.
Frame ExtendedSquitter(uint32_t icao, int ca, uint64_t me);

// DF18: as DF17, with the control field cf (0..7) in bits 6-8.
Frame NonTransponderSquitter(uint32_t address, int cf, uint64_t me);

// DF11 all-call reply / acquisition squitter: parity with interrogator code 0.
Frame AllCallReply(uint32_t icao, int ca);

// An address/parity reply: DF 0, 4, 5 (56 bits) or 16, 20, 21 (112 bits). bits6_8: FS of
// DF4/5/20/21 (VS/CC/spare of DF0/16 in its top bit...); code13: the AC or ID field (bits
// 20-32); mb: bits 33-88 of a long reply (Comm-B MB, or MV of DF16). The parity is the CRC of
// the rest XOR the address.
Frame AddressParityReply(int df, int bits6_8, uint32_t code13, uint32_t icao, uint64_t mb = 0);

// 13-bit AC field (bits 20-32 of DF0/4/16/20) from a 12-bit altitude field: M = 0 inserted
// after A4.
uint32_t Ac13FromAc12(uint32_t ac12);
// 13-bit AC field with M = 1: the altitude in metres in the 12 bits around M.
uint32_t Ac13Metric(int metres);
// 13-bit identity field (bits 20-32 of DF5/21, ME 12-24 of TC 28) of a Mode A code given as
// its four octal digits (7700); X = 0.
uint32_t Id13(int squawk);

// ME of an aircraft status message, emergency (TC 28 subtype 1): state 0..7, Mode A code.
uint64_t EmergencyMe(int state, int squawk);
// ME of a target state and status message (TC 29, subtype 1, DO-260B): selected altitude in
// feet (32-ft steps, < 0: none) and selected heading in degrees (< 0: not valid).
uint64_t TargetStateMe(int selected_ft, double heading_deg);
// ME of an airborne operational status message (TC 31 subtype 0): capability class bits
// (ME 9-24) and ADS-B version (ME 41-43).
uint64_t OperationalStatusMe(uint32_t capability, int version);

// ME of an identification message (TC 4): up to 8 characters of A-Z, 0-9 and space, padded
// with spaces; false for any other character. category: ME 6-8 (emitter category).
bool IdentificationMe(std::string_view callsign, int category, uint64_t& me);

// 12-bit altitude field with Q = 1: 25-foot steps from -1000 ft, up to 50175 ft.
// The altitude is rounded to the nearest step; altitudes outside the range are clamped.
uint32_t AltitudeQ1(int feet);
// The altitude a Q = 1 field stands for.
int AltitudeOfQ1(uint32_t ac12);

// 12-bit altitude field with Q = 0: the Gillham code of ICAO Annex 10 (100-foot steps,
// -1200 ft to 126700 ft). Empty outside that range. feet is rounded to 100 ft.
std::optional<uint32_t> AltitudeGillham(int feet);

// ME of an airborne position with barometric altitude (TC 9-18).
uint64_t AirbornePositionMe(int tc, uint32_t ac12, int odd, const CprReport& cpr);

// ME of a surface position (TC 5-8). movement: the 7-bit ground speed code (see
// MovementCode); track_deg < 0 means "track not valid".
uint64_t SurfacePositionMe(int tc, int movement, double track_deg, int odd, const CprReport& cpr);

// Surface movement code for a ground speed in knots (1 = stopped ... 124 = 175 kt or more).
int MovementCode(double knots);
// The ground speed a decoder reads from a movement code: the bottom of the code's band.
double MovementKnots(int code);

// Airborne velocity over ground, subtype 1. Components in knots (east and north positive,
// magnitude up to 1022), vertical rate in feet per minute (up positive, 64-ft/min steps).
struct GroundVelocity {
    int east_kt = 0;
    int north_kt = 0;
    int vertical_fpm = 0;
    bool baro_rate = true;    // ME 36: vertical rate source, barometric (1) or GNSS (0)
    bool ifr = false;         // ME 10: IFR capability
    int nacv = 0;             // ME 11-13
    int gnss_above_baro_ft = 0;  // ME 49-56: GNSS altitude minus barometric, 25-ft steps
};
uint64_t VelocityMe(const GroundVelocity& v);

// Ground speed in knots as a decoder works it out from the integer components of a
// velocity message: the rounded length of the vector.
int ReportedSpeed(int east_kt, int north_kt);

}  // namespace ternwick::traffic
