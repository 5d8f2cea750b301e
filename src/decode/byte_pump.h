// The one road from received bytes to EvalSquitter. Every source (a recorded file, the
// serial receiver, a network feed) hands its bytes here in chunks, in arrival order; the
// pump applies the character rules of that source to each byte and evaluates every
// complete message at once, so no message waits and none is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "frame_assembler.h"
#include "tracker.h"

namespace ternwick {

class BytePump {
public:
    explicit BytePump(Tracker& tracker) : tracker_(tracker) {}

    // Runs right before each evaluation (the live list's expiry pass: between two
    // evaluations only the clock changes, so a pass here and one at the end give what a
    // pass after every byte would) and right after it (trace, list, counters).
    std::function<void()> before_message;
    std::function<void()> after_message;

    // Recorded-file rules: "*" or "!" empties Squitter, upper-case hex digits are appended,
    // ";" evaluates Squitter when it holds exactly 14 or 28 digits and then empties it
    // (any other length keeps its digits); every other byte is skipped.
    void FeedRecorded(std::span<const uint8_t> bytes);
    void FeedRecorded(std::string_view text) {
        FeedRecorded({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }

    // Receiver rules: the digits collect in RxFrame, which only a start marker empties. At
    // ";" RxFrame is copied into Squitter and evaluated when it holds 14 or 28 digits;
    // neither is emptied, so a repeated ";" evaluates the same digits again and digits after
    // a ";" without a start marker are appended to the last message.
    void FeedReceiver(std::span<const uint8_t> bytes);
    void FeedReceiver(std::string_view text) {
        FeedReceiver({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    // A receiver starts with an empty RxFrame.
    void StartReception() { rx_frame_.Clear(); }

    // A message already framed by its source (14 or 28 upper-case hex digits).
    void EvalMessage(std::string_view digits);

    uint64_t bytes() const { return bytes_; }
    uint64_t evaluated() const { return evaluated_; }
    // The digits Squitter holds between messages (the recorded-file rules build in it).
    std::string_view PendingDigits() const { return squitter_.Digits(); }

private:
    void Evaluate(std::string_view digits);

    Tracker& tracker_;
    FrameAssembler squitter_;  // Squitter as the recorded-file rules build it
    FrameAssembler rx_frame_;  // RxFrame of the receiver rules
    uint64_t bytes_ = 0;
    uint64_t evaluated_ = 0;
};

}  // namespace ternwick
