#include "recorded_input.h"

#include <algorithm>

namespace ternwick {

RecordedInput::RecordedInput(BytePump& pump, InputFormat format, Clock* clock)
    : pump_(pump), format_(format), clock_(clock), framing_(format, [this](std::string_view d) { Framed(d); }) {}

void RecordedInput::EndFile() {
    if (mode_ == Mode::Framed) framing_.Restart();
    mode_ = Mode::Undecided;
}

void RecordedInput::Feed(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    bytes_ += bytes.size();
    if (mode_ == Mode::Undecided) {
        const uint8_t first = bytes[0];
        const bool beast = format_ == InputFormat::Beast || (format_ == InputFormat::Auto && first == BeastFraming::kEscape);
        const bool stamped = format_ == InputFormat::Auto && (first == '@' || first == '<');
        mode_ = beast || stamped || format_ == InputFormat::Avr ? Mode::Framed : Mode::Recorded;
        if (mode_ == Mode::Framed) {
            framing_.SetFormat(beast ? InputFormat::Beast : InputFormat::Avr);
            framing_.Restart();
            framed_ = true;
        }
        // Whether the file keeps time is told by its first message; until then, and for a
        // file without stamps, the clock is the wall's (or the fixed one).
        timed_ = false;
        recording_ = RecordingTime();
        if (clock_) clock_->EndRecording();
    }
    if (mode_ == Mode::Framed) {
        framing_.Feed(bytes);
    } else if (holding_) {
        pump_.FrameRecorded(bytes, [this](std::string_view d) { pending_.push_back({std::string(d), BytePump::kHostClock}); });
    } else {
        pump_.FeedRecorded(bytes, pump_.HostTime());
    }
}

void RecordedInput::Framed(std::string_view digits) {
    const int64_t stamp = framing_.LastStamp();
    if (stamp >= 0 && !timed_) {
        timed_ = true;
        // The recording's time begins now, or where an earlier recording left it (its last
        // message), so that the time never goes back from one recording to the next.
        start_ = clock_ ? std::max(clock_->BaseTime(), last_time_) : 0.0;
        last_time_ = start_;
        if (clock_) clock_->FollowRecording(start_);
    }
    if (!timed_) {
        Hand(digits, BytePump::kHostClock);
        return;
    }
    // A record without a stamp in a stamped file is taken as received with the one before.
    const double seconds = stamp >= 0 ? recording_.Seconds(static_cast<uint64_t>(stamp)) : recording_.Last();
    Hand(digits, start_ + seconds);
}

void RecordedInput::Hand(std::string_view digits, double time) {
    if (holding_) {
        pending_.push_back({std::string(digits), time});
    } else if (std::isnan(time)) {
        pump_.EvalMessage(digits, pump_.HostTime());
    } else {
        last_time_ = time;
        pump_.EvalMessage(digits, time);
    }
}

void RecordedInput::ResumeClock() {
    if (timed_ && clock_) clock_->FollowRecording(last_time_);
}

void RecordedInput::Evaluate(const FramedMessage& m) {
    if (!std::isnan(m.time)) last_time_ = m.time;
    // A message without a time of its own is received now, by the session's clock.
    pump_.EvalMessage(m.digits, std::isnan(m.time) ? pump_.HostTime() : m.time);
}

}  // namespace ternwick
