// The value of one hexadecimal digit, as message text, port names and colours read it.
#pragma once

namespace ternwick {

// Value 0..15 of one hex digit (either case), or -1.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace ternwick
