#include "stream_framing.h"

namespace ternwick {

std::optional<InputFormat> InputFormatFromName(std::string_view name) {
    if (name == "auto") return InputFormat::Auto;
    if (name == "avr") return InputFormat::Avr;
    if (name == "beast") return InputFormat::Beast;
    return std::nullopt;
}

const char* InputFormatName(InputFormat format) {
    switch (format) {
    case InputFormat::Avr: return "AVR text";
    case InputFormat::Beast: return "Beast binary";
    case InputFormat::Auto: break;
    }
    return "auto";
}

StreamFraming::StreamFraming(InputFormat format, MessageSink sink)
    : format_(format), current_(format), avr_(sink), beast_(sink) {}

void StreamFraming::Feed(std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    if (current_ == InputFormat::Auto)
        current_ = bytes[0] == BeastFraming::kEscape ? InputFormat::Beast : InputFormat::Avr;
    if (current_ == InputFormat::Beast) beast_.Feed(bytes);
    else avr_.Feed(bytes);
}

void StreamFraming::Restart() {
    avr_.Reset();
    beast_.Reset();
    current_ = format_;
}

}  // namespace ternwick
