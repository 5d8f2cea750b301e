// Runs direwolf's decode_aprs, an independent APRS decoder, over monitor text lines or KISS
// frames written as hex, and returns what it printed without its colour codes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "temp_path.h"

namespace ternwick::test {

inline bool HaveDecodeAprs() { return std::system("command -v decode_aprs >/dev/null 2>&1") == 0; }

// `input`: one packet a line, either "SRC>DST,PATH:info" or the bytes of a KISS frame as
// two-digit hex numbers separated by blanks.
inline std::string DecodeAprs(const std::string& input, const std::string& name) {
    const std::string raw = RunCommand("decode_aprs " + WriteTemp(name, input) + " 2>&1").out;
    return std::regex_replace(raw, std::regex("\x1b\\[[0-9;]*[A-Za-z]"), "");
}

inline std::string HexBytes(const std::string& bytes) {
    std::string s;
    char h[4];
    for (unsigned char c : bytes) {
        std::snprintf(h, sizeof h, "%s%02x", s.empty() ? "" : " ", c);
        s += h;
    }
    return s;
}

}  // namespace ternwick::test
