// Message text to bytes, and the Mode S CRC-24 (generator 0x1FFF409, no initial value,
// no final inversion). Over a whole undamaged extended squitter, parity included, it is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/hex_digit.h"

namespace ternwick {

// Hex text to bytes, first transmitted byte at index 0. An odd length gets a "0" in front.
// Each pair is read up to its first non-hex character (a pair starting with one gives 0).
std::vector<uint8_t> cv_BytesFromHex(std::string_view sInputHex);

// CRC-24 remainder over all bytes, 0..0xFFFFFF.
int32_t CRC24_Bytes(const uint8_t* data, size_t n);
inline int32_t CRC24_Bytes(const std::vector<uint8_t>& abMessage) {
    return CRC24_Bytes(abMessage.data(), abMessage.size());
}


}  // namespace ternwick
