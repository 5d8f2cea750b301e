#include "recorded_input.h"

namespace ternwick {

RecordedInput::RecordedInput(BytePump& pump, InputFormat format)
    : pump_(pump), format_(format), framing_(format, [&pump](std::string_view digits) { pump.EvalMessage(digits); }) {}

void RecordedInput::EndFile() {
    if (mode_ == Mode::Framed) framing_.Restart();
    mode_ = Mode::Undecided;
}

void RecordedInput::Feed(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    bytes_ += bytes.size();
    if (mode_ == Mode::Undecided) {
        const bool beast = format_ == InputFormat::Beast ||
                           (format_ == InputFormat::Auto && bytes[0] == BeastFraming::kEscape);
        mode_ = beast || format_ == InputFormat::Avr ? Mode::Framed : Mode::Recorded;
        if (mode_ == Mode::Framed) {
            framing_.SetFormat(beast ? InputFormat::Beast : InputFormat::Avr);
            framing_.Restart();
            framed_ = true;
        }
    }
    if (mode_ == Mode::Recorded) pump_.FeedRecorded(bytes);
    else framing_.Feed(bytes);
}

}  // namespace ternwick
