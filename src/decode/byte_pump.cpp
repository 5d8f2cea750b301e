#include "byte_pump.h"

namespace ternwick {

void BytePump::Evaluate(std::string_view digits, double time) {
    const bool host_clock = std::isnan(time);
    time_ = host_clock ? tracker_.HostNow() : time;
    if (before_message) before_message();
    if (host_clock) tracker_.EvalMessage(digits);
    else tracker_.EvalMessage(digits, time);
    ++evaluated_;
    if (after_message) after_message();
}

void BytePump::FeedRecorded(std::span<const uint8_t> bytes, double time) {
    bytes_ += bytes.size();
    squitter_.FeedAll(bytes, [this, time](std::string_view digits) { Evaluate(digits, time); });
}

void BytePump::FrameRecorded(std::span<const uint8_t> bytes, const std::function<void(std::string_view)>& sink) {
    bytes_ += bytes.size();
    squitter_.FeedAll(bytes, sink);
}

void BytePump::FeedReceiver(std::span<const uint8_t> bytes, double time) {
    bytes_ += bytes.size();
    for (const uint8_t c : bytes) {
        const bool complete = rx_frame_.Feed(c);
        if (c != ';') continue;
        // Squitter takes RxFrame at every ";", whatever its length: a file replay started
        // afterwards continues from these digits, as it would from its own.
        squitter_ = rx_frame_;
        if (!complete) continue;
        if (received) received(rx_frame_.Digits(), std::isnan(time) ? tracker_.HostNow() : time);
        Evaluate(rx_frame_.Digits(), time);
    }
}

void BytePump::EvalMessage(std::string_view digits, double time) { Evaluate(digits, time); }

void BytePump::EvalReceived(std::string_view digits, double time) {
    if (received) received(digits, time);
    Evaluate(digits, time);
}

}  // namespace ternwick
