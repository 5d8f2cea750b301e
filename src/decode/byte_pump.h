// The one road from received bytes to EvalSquitter. Every source (a recorded file, the
// serial receiver, a network feed) hands its bytes here in chunks, in arrival order, each
// with the time it was received; the pump applies the character rules of that source to
// each byte and evaluates every complete message at once with its time, so no message
// waits, none is dropped, and each is judged by its own time.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
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
    // Every message a live source delivered (the serial receiver, a network feed), with its
    // time, right before it is evaluated: what a log of the reception keeps.
    std::function<void(std::string_view digits, double time)> received;

    // The session's clock now: the time a live source stamps the chunk it just read with.
    double HostTime() const { return tracker_.HostNow(); }

    // Recorded-file rules: "*" or "!" empties Squitter, upper-case hex digits are appended,
    // ";" evaluates Squitter when it holds exactly 14 or 28 digits and then empties it
    // (any other length keeps its digits); every other byte is skipped. Every message of
    // the chunk is taken as received at `time`; without it, at the host's clock.
    void FeedRecorded(std::span<const uint8_t> bytes, double time = kHostClock);
    void FeedRecorded(std::string_view text, double time = kHostClock) {
        FeedRecorded({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, time);
    }
    // The same rules, without evaluating: each complete message goes to `sink` (a replay
    // that paces or steps through the messages evaluates them itself).
    void FrameRecorded(std::span<const uint8_t> bytes, const std::function<void(std::string_view)>& sink);

    // Receiver rules: the digits collect in RxFrame, which only a start marker empties. At
    // ";" RxFrame is copied into Squitter and evaluated when it holds 14 or 28 digits;
    // neither is emptied, so a repeated ";" evaluates the same digits again and digits after
    // a ";" without a start marker are appended to the last message. The messages are live.
    void FeedReceiver(std::span<const uint8_t> bytes, double time = kHostClock);
    void FeedReceiver(std::string_view text, double time = kHostClock) {
        FeedReceiver({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, time);
    }
    // A receiver starts with an empty RxFrame.
    void StartReception() { rx_frame_.Clear(); }

    // A message already framed by its source (14 or 28 upper-case hex digits), received at
    // `time` (without it, at the host's clock).
    void EvalMessage(std::string_view digits, double time = kHostClock);
    // The same for a message a live source (a network feed) just delivered.
    void EvalReceived(std::string_view digits, double time);

    // The time of the message being evaluated (or of the last one).
    double MessageTime() const { return time_; }
    uint64_t bytes() const { return bytes_; }
    uint64_t evaluated() const { return evaluated_; }
    // The digits Squitter holds between messages (the recorded-file rules build in it).
    std::string_view PendingDigits() const { return squitter_.Digits(); }

    // "No time given": the host's clock is read per message, as the tracker always did.
    static constexpr double kHostClock = std::numeric_limits<double>::quiet_NaN();

private:
    void Evaluate(std::string_view digits, double time);

    Tracker& tracker_;
    FrameAssembler squitter_;  // Squitter as the recorded-file rules build it
    FrameAssembler rx_frame_;  // RxFrame of the receiver rules
    uint64_t bytes_ = 0;
    uint64_t evaluated_ = 0;
    double time_ = 0;
};

}  // namespace ternwick
