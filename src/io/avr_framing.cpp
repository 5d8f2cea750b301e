#include "avr_framing.h"

#include <array>
#include <string_view>

namespace ternwick {

namespace {

// What a byte is to the framing, looked up once per byte: a hex digit as its upper-case
// form, or one of the kinds below (none of them a hex digit).
enum Kind : char { kOther = 0, kBlank = 1, kEnd = 2, kBare = 3, kStamped = 4, kStampedSignal = 5 };

constexpr std::array<char, 256> kKinds = [] {
    std::array<char, 256> k{};
    for (char c = '0'; c <= '9'; ++c) k[static_cast<uint8_t>(c)] = c;
    for (char c = 'A'; c <= 'F'; ++c) {
        k[static_cast<uint8_t>(c)] = c;
        k[static_cast<uint8_t>(c - 'A' + 'a')] = c;
    }
    for (char c : {'\r', '\n', ' ', '\t'}) k[static_cast<uint8_t>(c)] = kBlank;
    k[';'] = kEnd;
    k['*'] = k[':'] = kBare;
    k['@'] = k['%'] = kStamped;
    k['<'] = kStampedSignal;
    return k;
}();

}  // namespace

void AvrFraming::Feed(std::span<const uint8_t> bytes) {
    for (const uint8_t c : bytes) {
        const char kind = kKinds[c];
        if (kind > kStampedSignal) {  // a hex digit
            if (!in_record_) {
                ++counts_.skipped_bytes;
                continue;
            }
            // Past the longest record nothing valid can follow before the next start
            // marker, so only "too long" is remembered and memory stays bounded.
            if (len_ < kMaxDigits) digits_[len_] = kind;
            if (len_ <= kMaxDigits) ++len_;
            continue;
        }
        switch (kind) {
        case kBare:
        case kStamped:
        case kStampedSignal:
            // A start marker: a record still open lost its ";".
            if (in_record_) ++counts_.bad;
            in_record_ = true;
            prefix_ = kind == kBare ? 0 : kind == kStamped ? 12 : 14;
            len_ = 0;
            break;
        case kEnd:
            if (in_record_) EndRecord();
            else ++counts_.skipped_bytes;
            in_record_ = false;
            break;
        case kBlank:
            // Line ends and blanks between records are part of the format, not noise.
            if (in_record_) {
                ++counts_.bad;
                in_record_ = false;
            }
            break;
        default:
            if (in_record_) ++counts_.bad;
            in_record_ = false;
            ++counts_.skipped_bytes;
            break;
        }
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
        stamp_ = -1;
        if (prefix_ >= 12) {
            // The digits are upper-case hex already; the signal level after them is not kept.
            stamp_ = 0;
            for (int i = 0; i < 12; ++i) {
                const char c = digits_[i];
                stamp_ = stamp_ * 16 + (c <= '9' ? c - '0' : c - 'A' + 10);
            }
        }
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
