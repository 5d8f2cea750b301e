// A receiver's byte stream into messages: AVR text or Beast binary, fixed by the user or
// told apart by the first byte of each stream (0x1A starts every Beast frame).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "avr_framing.h"
#include "beast_framing.h"
#include "framing.h"

namespace ternwick {

enum class InputFormat { Auto, Avr, Beast };

// "auto", "avr", "beast"; nothing for any other text.
std::optional<InputFormat> InputFormatFromName(std::string_view name);
// "auto", "AVR text", "Beast binary".
const char* InputFormatName(InputFormat format);

class StreamFraming {
public:
    StreamFraming(InputFormat format, MessageSink sink);

    void Feed(std::span<const uint8_t> bytes);
    // A new stream begins (the next connection, the next file): a frame in progress is
    // dropped as bad and, in Auto, the stream's first byte decides the format again.
    void Restart();
    // Takes effect at the next Restart().
    void SetFormat(InputFormat format) { format_ = format; }

    InputFormat format() const { return format_; }
    // The format of the current stream: Auto until its first byte arrived.
    InputFormat current() const { return current_; }
    // The time stamp of the message being handed on (-1: none).
    int64_t LastStamp() const { return current_ == InputFormat::Beast ? beast_.LastStamp() : avr_.LastStamp(); }
    const FramingCounts& avr() const { return avr_.counts(); }
    const FramingCounts& beast() const { return beast_.counts(); }

private:
    InputFormat format_;
    InputFormat current_;
    AvrFraming avr_;
    BeastFraming beast_;
};

}  // namespace ternwick
