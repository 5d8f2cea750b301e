#include "frame_bytes.h"

#include <array>

namespace ternwick {

std::vector<uint8_t> cv_BytesFromHex(std::string_view hex) {
    const bool odd = hex.size() % 2 == 1;
    const size_t n = (hex.size() + (odd ? 1 : 0)) / 2;
    std::vector<uint8_t> out(n);
    for (size_t k = 0; k < n; ++k) {
        // With an odd length the first pair is the implied "0" and the first character.
        const int hi = (odd && k == 0) ? 0 : HexDigitValue(hex[2 * k - (odd ? 1 : 0)]);
        const int lo = HexDigitValue(hex[2 * k + 1 - (odd ? 1 : 0)]);
        if (hi < 0) out[k] = 0;              // "G1": nothing readable
        else if (lo < 0) out[k] = uint8_t(hi);  // "1G": the number stops after one digit
        else out[k] = uint8_t(hi * 16 + lo);
    }
    return out;
}

namespace {

constexpr uint32_t kGenerator = 0x1FFF409;

// Remainder of each byte value placed in bits 16..23, shifted through 8 steps.
constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t r = b << 16;
        for (int i = 0; i < 8; ++i) {
            r <<= 1;
            if (r & 0x1000000) r ^= kGenerator;
        }
        t[b] = r;
    }
    return t;
}
constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

int32_t CRC24_Bytes(const uint8_t* data, size_t n) {
    // Byte-wise form of the bitwise long division: the top byte of the remainder,
    // XORed with the next message byte, selects the table entry.
    uint32_t r = 0;
    for (size_t i = 0; i < n; ++i) r = ((r << 8) & 0xFFFFFF) ^ kTable[((r >> 16) ^ data[i]) & 0xFF];
    return static_cast<int32_t>(r & 0xFFFFFF);
}

}  // namespace ternwick
