// Beast binary framing, as dump1090 and readsb send it on port 30005: 0x1A, a type byte,
// a 6-byte time stamp, a signal level byte and the reply, with every 0x1A inside doubled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "framing.h"

namespace ternwick {

// Types: '1' Mode A/C (2 reply bytes), '2' short Mode S (7 bytes), '3' long Mode S (14).
// Mode S replies are handed on as 14 or 28 hex digits; Mode A/C replies are counted (an
// all-zero one is the keep-alive). Other types (receiver status) and bytes that cannot be
// a frame are passed over until the next 0x1A followed by a frame type. A single 0x1A
// inside a frame means the frame was cut short and a new one starts there, so the frame
// after a damaged one is never lost. State carries over between reads: a frame, or the
// first 0x1A of a doubled pair, may end one read and go on in the next.
class BeastFraming {
public:
    static constexpr uint8_t kEscape = 0x1A;
    static constexpr size_t kStampBytes = 6, kSignalBytes = 1, kMaxReplyBytes = 14;

    explicit BeastFraming(MessageSink sink) : sink_(std::move(sink)) {}

    void Feed(std::span<const uint8_t> bytes);
    // The stream ended (a connection went): a frame in progress is dropped as bad.
    void Reset();
    bool InFrame() const { return state_ == State::Body || state_ == State::BodyEscape; }
    const FramingCounts& counts() const { return counts_; }
    // The time stamp of the frame being handed on: its 48-bit 12 MHz counter.
    int64_t LastStamp() const { return stamp_; }

private:
    enum class State : uint8_t {
        Hunt,        // passing over bytes until a 0x1A
        Type,        // after a 0x1A: the next byte says what follows
        Body,        // collecting time stamp, signal level and reply
        BodyEscape,  // a 0x1A inside the body: doubled, or the start of the next frame
    };
    void TypeByte(uint8_t c);
    void BodyByte(uint8_t c);
    void EndFrame();

    MessageSink sink_;
    State state_ = State::Hunt;
    uint8_t type_ = 0;
    uint8_t need_ = 0;  // body bytes of this frame type
    uint8_t have_ = 0;
    uint8_t body_[kStampBytes + kSignalBytes + kMaxReplyBytes] = {};
    int64_t stamp_ = -1;
    FramingCounts counts_;
};

}  // namespace ternwick
