#include "recording_time.h"

namespace ternwick {

double RecordingTime::Seconds(uint64_t counter) {
    counter &= kCounterMask;
    if (!started_) {
        started_ = true;
        counter_ = counter;
        return seconds_;
    }
    // The step modulo 2^48: a counter that wrapped past zero is a small step forward.
    const uint64_t forward = (counter - counter_) & kCounterMask;
    const uint64_t back = (counter_ - counter) & kCounterMask;
    if (forward <= back) {
        if (forward > kNewStartTicks) ++restarts_;
        else seconds_ += static_cast<double>(forward) / kTicksPerSecond;
        counter_ = counter;
    } else if (back > kNewStartTicks) {
        ++restarts_;
        counter_ = counter;
    }
    return seconds_;
}

}  // namespace ternwick
