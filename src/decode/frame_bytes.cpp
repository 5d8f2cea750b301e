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
constexpr size_t kTableBytes = 14;  // the longest Mode S reply

// kTables[k][b]: the remainder of byte value b followed by k zero bytes. The remainder is
// linear in the message bits, so a message's remainder is the XOR of one entry per byte,
// chosen by how many bytes follow it: fourteen independent loads instead of a chain of
// fourteen dependent steps.
using CrcTables = std::array<std::array<uint32_t, 256>, kTableBytes>;
constexpr CrcTables MakeTables() {
    CrcTables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        // Byte b placed in bits 16..23 and shifted through 8 steps of the long division.
        uint32_t r = b << 16;
        for (int i = 0; i < 8; ++i) {
            r <<= 1;
            if (r & 0x1000000) r ^= kGenerator;
        }
        t[0][b] = r;
    }
    // One zero byte more: the remainder shifted by 8 steps, its top byte folded back in.
    for (size_t k = 1; k < kTableBytes; ++k)
        for (uint32_t b = 0; b < 256; ++b) {
            const uint32_t r = t[k - 1][b];
            t[k][b] = ((r << 8) & 0xFFFFFF) ^ t[0][r >> 16];
        }
    return t;
}
constexpr CrcTables kTables = MakeTables();

// The remainder of N bytes, N known when compiled: the loop unrolled into N loads.
template <size_t N>
uint32_t FixedLengthRemainder(const uint8_t* data) {
    uint32_t r = 0;
#pragma GCC unroll 16
    for (size_t i = 0; i < N; ++i) r ^= kTables[N - 1 - i][data[i]];
    return r;
}

}  // namespace

int32_t CRC24_Bytes(const uint8_t* data, size_t n) {
    // What precedes the parity of a long and a short reply: every message takes one of them.
    if (n == 11) return static_cast<int32_t>(FixedLengthRemainder<11>(data));
    if (n == 4) return static_cast<int32_t>(FixedLengthRemainder<4>(data));
    uint32_t r = 0;
    if (n <= kTableBytes) {
        for (size_t i = 0; i < n; ++i) r ^= kTables[n - 1 - i][data[i]];
        return static_cast<int32_t>(r);
    }
    // Longer than any reply (not used by the decoder): the byte-wise long division, where
    // the top byte of the remainder XORed with the next message byte selects the entry.
    for (size_t i = 0; i < n; ++i) r = ((r << 8) & 0xFFFFFF) ^ kTables[0][((r >> 16) ^ data[i]) & 0xFF];
    return static_cast<int32_t>(r & 0xFFFFFF);
}

}  // namespace ternwick
