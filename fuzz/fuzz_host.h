// The tracker's host for the fuzz targets: a fixed clock, plotting switched on, and a
// trap when the tracker hands over an entry index outside the table.
#pragma once

#include <string_view>

#include <string>

#include "decode/byte_pump.h"
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

// One tracker and byte pump for a whole fuzzing run, as on a long connection or replay:
// state carries over from one input to the next.
inline Tracker& SharedTracker() {
    static Host host;
    static AirlineDirectory airlines;
    static Tracker tracker(host, airlines);
    return tracker;
}
inline BytePump& SharedPump() {
    static BytePump pump(SharedTracker());
    return pump;
}

// Hands every message a framing produces to the shared pump, checked, and keeps the last.
struct Sink {
    std::string last;
    void operator()(std::string_view digits) {
        CheckMessage(digits);
        last.assign(digits);
        SharedPump().EvalMessage(digits);
    }
};

}  // namespace ternwick::fuzz
