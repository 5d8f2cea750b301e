// A recording's time stamps turned into seconds since the recording started. Receivers
// stamp each message with a free-running 48-bit counter of 12 MHz ticks (AVR "@" and "<"
// records, Beast frames); it wraps after about 271 days and starts anywhere.
#pragma once

#include <cstdint>

namespace ternwick {

class RecordingTime {
public:
    static constexpr double kTicksPerSecond = 12e6;
    static constexpr uint64_t kCounterMask = (uint64_t{1} << 48) - 1;
    // A step larger than this (either way) is not the same recording going on: the
    // receiver was restarted, or recordings were joined. The time then goes on from where
    // it stood, counting from the new counter value.
    static constexpr uint64_t kNewStartTicks = static_cast<uint64_t>(3600 * kTicksPerSecond);

    // Seconds since the start for a message stamped `counter`. Receivers hand on what they
    // heard in blocks, so a counter a little behind the last one is no fault: the time
    // stays where it is rather than going back.
    double Seconds(uint64_t counter);
    // The time of the last message (0 before the first).
    double Last() const { return seconds_; }
    // How many times the counter jumped to a new start.
    uint64_t restarts() const { return restarts_; }

private:
    bool started_ = false;
    uint64_t counter_ = 0;  // the latest counter value the time counts from
    double seconds_ = 0;
    uint64_t restarts_ = 0;
};

}  // namespace ternwick
