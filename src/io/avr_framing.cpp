#include "avr_framing.h"

#include <string_view>

#include "common/hex_digit.h"

namespace ternwick {

void AvrFraming::Feed(std::span<const uint8_t> bytes) {
    for (const uint8_t c : bytes) {
        switch (c) {
        case '*':
        case ':':
            prefix_ = 0;
            break;
        case '@':
        case '%':
            prefix_ = 12;
            break;
        case '<':
            prefix_ = 14;
            break;
        case ';':
            if (in_record_) EndRecord();
            else ++counts_.skipped_bytes;
            in_record_ = false;
            continue;
        default:
            if (!in_record_) {
                // Line ends and blanks between records are part of the format, not noise.
                if (c != '\r' && c != '\n' && c != ' ' && c != '\t') ++counts_.skipped_bytes;
            } else if (HexDigitValue(static_cast<char>(c)) >= 0) {
                // Past the longest record nothing valid can follow before the next start
                // marker, so only "too long" is remembered and memory stays bounded.
                if (len_ < kMaxDigits) digits_[len_] = static_cast<char>(c >= 'a' ? c - ('a' - 'A') : c);
                if (len_ <= kMaxDigits) ++len_;
            } else {
                ++counts_.bad;
                in_record_ = false;
                ++counts_.skipped_bytes;
            }
            continue;
        }
        // A start marker: a record still open lost its ";".
        if (in_record_) ++counts_.bad;
        in_record_ = true;
        len_ = 0;
    }
}

void AvrFraming::EndRecord() {
    if (len_ > kMaxDigits || len_ < prefix_) {
        ++counts_.bad;
        return;
    }
    const std::string_view message(digits_ + prefix_, len_ - prefix_);
    if (message.size() == 14 || message.size() == 28) {
        ++counts_.messages;
        sink_(message);
    } else if (message.size() == 4) {
        ++(message == "0000" ? counts_.keepalive : counts_.mode_ac);
    } else {
        ++counts_.bad;
    }
}

void AvrFraming::Reset() {
    if (in_record_) ++counts_.bad;
    in_record_ = false;
    len_ = 0;
}

}  // namespace ternwick
