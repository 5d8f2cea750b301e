// A recorded file's bytes into the byte pump, in slices of any size: Beast binary when the
// file begins with 0x1A (or the user says so), otherwise the recorded-file character rules.
#pragma once

#include <cstdint>
#include <span>

#include "decode/byte_pump.h"
#include "stream_framing.h"

namespace ternwick {

// Auto: a file whose first byte is 0x1A is Beast binary (no text record can begin with
// it); any other file goes through BytePump::FeedRecorded unchanged, digits carried over
// between files as before. Beast, Avr: the receiver framings of that format, for a file
// kept from a receiver's stream (AVR with time stamps, lower-case digits...).
class RecordedInput {
public:
    RecordedInput(BytePump& pump, InputFormat format);

    // The file ended: a frame in progress is dropped (counted as bad), and the next byte
    // fed is the next file's first.
    void EndFile();
    void Feed(std::span<const uint8_t> bytes);

    // Bytes fed, whatever the rules.
    uint64_t bytes() const { return bytes_; }
    // True once a file went through a receiver framing (its counts are then worth showing).
    bool framed() const { return framed_; }
    const StreamFraming& framing() const { return framing_; }

private:
    enum class Mode : uint8_t { Undecided, Recorded, Framed };

    BytePump& pump_;
    InputFormat format_;
    StreamFraming framing_;
    Mode mode_ = Mode::Undecided;
    bool framed_ = false;
    uint64_t bytes_ = 0;
};

}  // namespace ternwick
