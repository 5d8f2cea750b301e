#include "byte_pump.h"

namespace ternwick {

void BytePump::Evaluate(std::string_view digits) {
    if (before_message) before_message();
    tracker_.Squitter.assign(digits);
    tracker_.EvalSquitter();
    ++evaluated_;
    if (after_message) after_message();
}

void BytePump::FeedRecorded(std::span<const uint8_t> bytes) {
    bytes_ += bytes.size();
    for (const uint8_t c : bytes) {
        if (squitter_.Feed(c)) {
            Evaluate(squitter_.Digits());
            squitter_.Clear();
        }
    }
}

void BytePump::FeedReceiver(std::span<const uint8_t> bytes) {
    bytes_ += bytes.size();
    for (const uint8_t c : bytes) {
        const bool complete = rx_frame_.Feed(c);
        if (c != ';') continue;
        // Squitter takes RxFrame at every ";", whatever its length: a file replay started
        // afterwards continues from these digits, as it would from its own.
        squitter_ = rx_frame_;
        if (complete) Evaluate(rx_frame_.Digits());
    }
}

void BytePump::EvalMessage(std::string_view digits) { Evaluate(digits); }

}  // namespace ternwick
