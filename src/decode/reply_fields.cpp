#include "reply_fields.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "cpr/position.h"
#include "frame_bytes.h"

namespace ternwick {

bool AltitudeFromAc13(uint32_t ac13, int32_t& feet) {
    const uint32_t m = (ac13 >> 6) & 1;
    // Without M the field is laid out like the 12-bit one of the position messages.
    const uint32_t ac12 = ((ac13 >> 1) & 0xFC0) | (ac13 & 0x3F);
    if (!m) return AltitudeFromAc12(ac12, feet);
    if (ac12 == 0) return false;
    feet = static_cast<int32_t>(std::lround(ac12 / 0.3048));
    return true;
}

int SquawkFromId13(uint32_t id13) {
    auto bit = [id13](int from_top) { return static_cast<int>((id13 >> (12 - from_top)) & 1); };
    const int a = bit(5) * 4 + bit(3) * 2 + bit(1);   // A4 A2 A1
    const int b = bit(11) * 4 + bit(9) * 2 + bit(7);  // B4 B2 B1
    const int c = bit(4) * 4 + bit(2) * 2 + bit(0);   // C4 C2 C1
    const int d = bit(12) * 4 + bit(10) * 2 + bit(8); // D4 D2 D1
    return a * 1000 + b * 100 + c * 10 + d;
}

bool CommBIdentification(const uint8_t* mb, std::string& callsign) {
    if (mb[0] != 0x20) return false;
    uint64_t bits = 0;
    for (int k = 1; k <= 6; ++k) bits = (bits << 8) | mb[k];  // MB 9-56
    callsign.clear();
    for (int c = 0; c < 8; ++c) {
        const unsigned code = (bits >> (42 - 6 * c)) & 0x3F;
        if (code >= 1 && code <= 26) callsign += static_cast<char>('A' + code - 1);
        else if (code >= 48 && code <= 57) callsign += static_cast<char>('0' + code - 48);
        else if (code == 32) callsign += ' ';
        else return false;
    }
    return callsign[0] != ' ';
}

uint32_t Syndrome112(const uint8_t* msg) {
    return static_cast<uint32_t>(CRC24_Bytes(msg, 11)) ^ ((uint32_t(msg[11]) << 16) | (uint32_t(msg[12]) << 8) | msg[13]);
}

namespace {

// The syndrome of each single-bit error of a 112-bit message, sorted for a binary search:
// the CRC is linear, so a damaged message's remainder is that of its error alone.
struct Syndrome {
    uint32_t remainder;
    int bit;
};
std::array<Syndrome, 112> MakeSyndromes() {
    std::array<Syndrome, 112> t{};
    for (int bit = 0; bit < 112; ++bit) {
        uint8_t msg[14] = {};
        msg[bit / 8] = static_cast<uint8_t>(0x80 >> (bit % 8));
        t[bit] = {Syndrome112(msg), bit};
    }
    std::sort(t.begin(), t.end(), [](const Syndrome& a, const Syndrome& b) { return a.remainder < b.remainder; });
    return t;
}

}  // namespace

int SingleBitErrorPosition(uint32_t syndrome) {
    static const std::array<Syndrome, 112> kSyndromes = MakeSyndromes();
    auto it = std::lower_bound(kSyndromes.begin(), kSyndromes.end(), syndrome,
                               [](const Syndrome& s, uint32_t r) { return s.remainder < r; });
    if (it == kSyndromes.end() || it->remainder != syndrome) return -1;
    return it->bit >= 5 ? it->bit : -1;
}

}  // namespace ternwick
