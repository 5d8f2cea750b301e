// AVR text framing, as dump1090 and readsb send it on port 30002: records of hex digits
// between a start marker and ";", some with a time stamp and a signal level in front.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "framing.h"

namespace ternwick {

// Record forms:
//   *hex;  :hex;            the message alone
//   @tttttttttttthex;       12 digits of time stamp, then the message (also with %)
//   <ttttttttttttsshex;     12 digits of time stamp, 2 of signal level, then the message
// Digits may be upper or lower case (handed on in upper case); CR LF and blanks between
// records are ignored. A message of 14 or 28 digits is handed on; 4 digits are a Mode A/C
// reply (0000 is the keep-alive) and are counted. A record broken by any other byte, too
// long, or of another length is counted as bad, and framing starts again at the next
// start marker: a damaged record never costs the one after it.
class AvrFraming {
public:
    // Longest record worth keeping: time stamp, signal level and a long message.
    static constexpr size_t kMaxDigits = 12 + 2 + 28;

    explicit AvrFraming(MessageSink sink) : sink_(std::move(sink)) {}

    void Feed(std::span<const uint8_t> bytes);
    // The stream ended (a connection went): a record in progress is dropped as bad.
    void Reset();
    bool InRecord() const { return in_record_; }
    const FramingCounts& counts() const { return counts_; }
    // The time stamp (a 12 MHz counter) of the message being handed on, -1 when its record
    // has none ("*" and ":" records).
    int64_t LastStamp() const { return stamp_; }

private:
    void EndRecord();

    MessageSink sink_;
    bool in_record_ = false;
    uint8_t prefix_ = 0;  // digits in front of the message: 0, 12 or 14
    size_t len_ = 0;      // digits seen, up to kMaxDigits + 1 ("too long")
    char digits_[kMaxDigits] = {};
    int64_t stamp_ = -1;
    FramingCounts counts_;
};

}  // namespace ternwick
