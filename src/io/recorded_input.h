// A recorded file's bytes into the byte pump, in slices of any size: Beast binary when the
// file begins with 0x1A, AVR records with time stamps when it begins with "@" or "<" (or
// the user says so), otherwise the recorded-file character rules.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>

#include "common/clock.h"
#include "decode/byte_pump.h"
#include "recording_time.h"
#include "stream_framing.h"

namespace ternwick {

// A message framed but not yet evaluated (a replay that paces or steps holds them).
struct FramedMessage {
    std::string digits;
    double time = BytePump::kHostClock;  // the recording's time, or none: evaluated "now"
};

// Auto: a file whose first byte is 0x1A is Beast binary (no text record can begin with
// it), one whose first byte is "@" or "<" is AVR text with time stamps; any other file goes
// through BytePump::FeedRecorded unchanged, digits carried over between files as before.
// Beast, Avr: the receiver framings of that format, for a file kept from a receiver's
// stream (lower-case digits...).
//
// A file with time stamps runs the session's clock on the recording's time: it starts at
// the clock's time when the file's first message is read (or where an earlier recording
// left it, whichever is later) and moves with the stamps. A file without them returns the
// clock to the wall (or fixed) time.
class RecordedInput {
public:
    RecordedInput(BytePump& pump, InputFormat format, Clock* clock = nullptr);

    // The file ended: a frame in progress is dropped (counted as bad), and the next byte
    // fed is the next file's first.
    void EndFile();
    void Feed(std::span<const uint8_t> bytes);

    // Held: complete messages wait in Pending() instead of being evaluated.
    void SetHolding(bool on) { holding_ = on; }
    std::deque<FramedMessage>& Pending() { return pending_; }
    // Evaluates one framed message (a held one, or one just framed).
    void Evaluate(const FramedMessage& m);

    // Bytes fed, whatever the rules.
    uint64_t bytes() const { return bytes_; }
    // True once a file went through a receiver framing (its counts are then worth showing).
    bool framed() const { return framed_; }
    // The current file carries time stamps; the seconds since its recording started.
    bool timed() const { return timed_; }
    double RecordingSeconds() const { return recording_.Last(); }
    // Where the recording's time started, in the clock's seconds.
    double RecordingStart() const { return start_; }
    // Live reception took the clock over meanwhile: the clock follows the recording again,
    // from its last message evaluated.
    void ResumeClock();
    const StreamFraming& framing() const { return framing_; }

private:
    enum class Mode : uint8_t { Undecided, Recorded, Framed };
    void Framed(std::string_view digits);
    void Hand(std::string_view digits, double time);

    BytePump& pump_;
    InputFormat format_;
    Clock* clock_;
    StreamFraming framing_;
    Mode mode_ = Mode::Undecided;
    bool framed_ = false;
    bool timed_ = false;
    bool holding_ = false;
    RecordingTime recording_;
    double start_ = 0;
    double last_time_ = 0;  // of the last stamped message evaluated
    std::deque<FramedMessage> pending_;
    uint64_t bytes_ = 0;
};

}  // namespace ternwick
