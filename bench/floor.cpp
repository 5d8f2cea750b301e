// The floor: the least any decoder must do with a recorded log, as plainly as C++ allows.
// Find each message ("*" by memchr), take its hex digits up to ";" (14 or 28 of them), turn
// them into bytes by a table and run the table-driven CRC-24 over them. No state, no output:
// what Ternwick spends beyond this is what its decoding and bookkeeping cost.
#include "floor.h"

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr std::array<int8_t, 256> MakeHexTable() {
    std::array<int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<int8_t>(c - 'A' + 10);
    return t;
}
constexpr std::array<int8_t, 256> kHex = MakeHexTable();

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t r = b << 16;
        for (int i = 0; i < 8; ++i) r = (r << 1) ^ ((r & 0x800000) ? 0xFFF409 : 0);
        t[b] = r & 0xFFFFFF;
    }
    return t;
}
constexpr std::array<uint32_t, 256> kCrc = MakeCrcTable();

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

}  // namespace

FloorResult RunFloor(const char* path) {
    FloorResult r;
    const double start = CpuSeconds();
    // The file is read whole inside the timing, as a replay has to read it too.
    std::string bytes;
    if (std::FILE* f = std::fopen(path, "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes.resize(static_cast<size_t>(std::max(0L, std::ftell(f))));
        std::fseek(f, 0, SEEK_SET);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
    } else {
        r.readable = false;
        return r;
    }
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while ((p = static_cast<const char*>(std::memchr(p, '*', static_cast<size_t>(end - p)))) != nullptr) {
        ++p;
        uint8_t msg[14];
        size_t n = 0;
        bool ok = true;
        while (p + 1 < end && n < 14 && *p != ';') {
            const int hi = kHex[uint8_t(p[0])], lo = kHex[uint8_t(p[1])];
            ok &= (hi | lo) >= 0;
            msg[n++] = uint8_t(hi << 4 | lo);
            p += 2;
        }
        if (!ok || p >= end || *p != ';' || (n != 7 && n != 14)) continue;
        uint32_t crc = 0;
        for (size_t i = 0; i < n; ++i) crc = ((crc << 8) & 0xFFFFFF) ^ kCrc[((crc >> 16) ^ msg[i]) & 0xFF];
        ++r.messages;
        r.zero_remainders += crc == 0;
    }
    r.cpu_seconds = CpuSeconds() - start;
    return r;
}
