// Fields of Mode S replies read without any state (ICAO Annex 10 Vol IV, DO-260B): the
// 13-bit altitude and identity codes, the Comm-B aircraft identification, and the bit that a
// single-bit error syndrome points at. Message bits are numbered 1..112 from the first
// transmitted bit, as in Annex 10.
#pragma once

#include <cstdint>
#include <string>

namespace ternwick {

// Altitude in feet from the 13-bit AC field (bits 20-32 of DF0/4/16/20):
// C1 A1 C2 A2 C4 A4 M B1 Q B2 D2 B4 D4. M = 0, Q = 1: 25-ft steps; M = 0, Q = 0: Gillham code
// (false for codes that are no altitude, all zeros among them: "not available");
// M = 1: the other 12 bits are metres, given in feet (nearest).
bool AltitudeFromAc13(uint32_t ac13, int32_t& feet);

// The Mode A code of a 13-bit identity field (bits 20-32 of DF5/21, ME 12-24 of TC 28):
// C1 A1 C2 A2 C4 A4 X B1 D1 B2 D2 B4 D4, as its four octal digits read in decimal (7700).
int SquawkFromId13(uint32_t id13);

// Aircraft identification in a Comm-B field (BDS 2,0: first byte 0x20, then eight 6-bit
// characters). True only when all eight are letters, digits or spaces and the first is not a
// space: other registers often start with the same byte.
bool CommBIdentification(const uint8_t* mb, std::string& callsign);

// The syndrome of a 112-bit message: the CRC-24 of its first 88 bits XOR its last 24 (0 for
// an undamaged extended squitter).
uint32_t Syndrome112(const uint8_t* msg);

// The bit (0-based, 0 = first transmitted) that a single-bit error in a 112-bit message
// leaves as this syndrome, or -1 when no single bit does. The first 5 bits (the downlink
// format) are never named: a message whose format is wrong is not one of these.
int SingleBitErrorPosition(uint32_t syndrome);

}  // namespace ternwick
