// What the input framings of a receiver's stream share: the hand-over of a complete
// message (14 or 28 upper-case hex digits, ready for evaluation) and the counts of what
// they passed over.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace ternwick {

// Receives every complete message, in arrival order.
using MessageSink = std::function<void(std::string_view digits)>;

struct FramingCounts {
    uint64_t messages = 0;       // 14- or 28-digit messages handed on
    uint64_t mode_ac = 0;        // Mode A/C replies (4 digits): not evaluated
    uint64_t keepalive = 0;      // the all-zero record a receiver sends on a quiet link
    uint64_t other = 0;          // Beast frames of other types (receiver status...) passed over
    uint64_t bad = 0;            // frames cut short, or of a length no message has
    uint64_t skipped_bytes = 0;  // bytes outside any frame, passed over while resynchronising

    FramingCounts& operator+=(const FramingCounts& o) {
        messages += o.messages;
        mode_ac += o.mode_ac;
        keepalive += o.keepalive;
        other += o.other;
        bad += o.bad;
        skipped_bytes += o.skipped_bytes;
        return *this;
    }
};

}  // namespace ternwick
