// Writes Beast binary frames as a receiver sends them, for the tests and the benchmark:
// 0x1A, type, 6-byte time stamp, signal level, reply, every 0x1A after the first doubled.
#pragma once

#include <cstdint>
#include <string>

#include "common/hex_digit.h"

namespace ternwick::test {

// `hex`: 4 digits give a Mode A/C frame ('1'), 14 a short ('2'), 28 a long Mode S ('3').
inline std::string BeastFrame(const std::string& hex, uint64_t stamp = 0, uint8_t signal = 0x80) {
    std::string body;
    for (int shift = 40; shift >= 0; shift -= 8) body += static_cast<char>((stamp >> shift) & 0xFF);
    body += static_cast<char>(signal);
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        body += static_cast<char>(HexDigitValue(hex[i]) * 16 + HexDigitValue(hex[i + 1]));
    std::string frame = "\x1A";
    frame += hex.size() == 4 ? '1' : hex.size() == 14 ? '2' : '3';
    for (const char c : body) {
        frame += c;
        if (c == '\x1A') frame += c;
    }
    return frame;
}

}  // namespace ternwick::test
