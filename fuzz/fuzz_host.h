// The tracker's host for the fuzz targets: a fixed clock, plotting switched on, and a
// trap when the tracker hands over an entry index outside the table.
#pragma once

#include <string_view>

#include "decode/tracker.h"

namespace ternwick::fuzz {

class Host : public TrackerHost {
public:
    int SecondsInHour() const override { return 0; }
    bool PlotAir() const override { return true; }
    bool PlotSurf() const override { return true; }
    double MapSurfLonOffset() const override { return 90.0; }
    void PlotPosDb(int16_t dbpos) override {
        if (dbpos < -1 || dbpos > 500) __builtin_trap();
    }
};

// A message handed on by a framing must be what the evaluation expects.
inline void CheckMessage(std::string_view digits) {
    if (digits.size() != 14 && digits.size() != 28) __builtin_trap();
    for (const char c : digits)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) __builtin_trap();
}

}  // namespace ternwick::fuzz
