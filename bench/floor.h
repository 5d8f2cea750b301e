#pragma once

#include <cstddef>
#include <cstdint>

struct FloorResult {
    uint64_t messages = 0;         // 14- and 28-digit messages found
    uint64_t zero_remainders = 0;  // of which the CRC-24 remainder is 0 (kept so none of it is skipped)
    double cpu_seconds = 0;        // reading the file included
    bool readable = true;
};

// The minimal framer + hex + CRC-24 loop over a recorded log.
FloorResult RunFloor(const char* path);
