#include "beast_framing.h"

#include <string_view>

namespace ternwick {

void BeastFraming::Feed(std::span<const uint8_t> bytes) {
    for (const uint8_t c : bytes) {
        switch (state_) {
        case State::Hunt:
            if (c == kEscape) state_ = State::Type;
            else ++counts_.skipped_bytes;
            break;
        case State::Type:
            TypeByte(c);
            break;
        case State::Body:
            if (c == kEscape) state_ = State::BodyEscape;
            else BodyByte(c);
            break;
        case State::BodyEscape:
            if (c == kEscape) {
                state_ = State::Body;
                BodyByte(c);
            } else {
                // An undoubled 0x1A: the frame was cut short and this byte is the type
                // of the frame that starts here.
                ++counts_.bad;
                TypeByte(c);
            }
            break;
        }
    }
}

void BeastFraming::TypeByte(uint8_t c) {
    uint8_t reply = 0;
    switch (c) {
    case '1': reply = 2; break;
    case '2': reply = 7; break;
    case '3': reply = 14; break;
    case kEscape:
        // Two 0x1A outside a frame: the first was stray, the second may start one.
        ++counts_.skipped_bytes;
        state_ = State::Type;
        return;
    default:
        // A type this program has no use for; its body is passed over while hunting.
        ++counts_.other;
        state_ = State::Hunt;
        return;
    }
    type_ = c;
    need_ = static_cast<uint8_t>(kStampBytes + kSignalBytes + reply);
    have_ = 0;
    state_ = State::Body;
}

void BeastFraming::BodyByte(uint8_t c) {
    body_[have_++] = c;
    if (have_ == need_) {
        state_ = State::Hunt;
        EndFrame();
    }
}

void BeastFraming::EndFrame() {
    const uint8_t* reply = body_ + kStampBytes + kSignalBytes;
    const size_t n = need_ - kStampBytes - kSignalBytes;
    if (type_ == '1') {
        ++(reply[0] == 0 && reply[1] == 0 ? counts_.keepalive : counts_.mode_ac);
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    char digits[2 * kMaxReplyBytes];
    for (size_t i = 0; i < n; ++i) {
        digits[2 * i] = kHex[reply[i] >> 4];
        digits[2 * i + 1] = kHex[reply[i] & 0x0F];
    }
    ++counts_.messages;
    stamp_ = 0;
    for (size_t i = 0; i < kStampBytes; ++i) stamp_ = stamp_ << 8 | body_[i];  // big-endian
    sink_(std::string_view(digits, 2 * n));
}

void BeastFraming::Reset() {
    if (InFrame()) ++counts_.bad;
    state_ = State::Hunt;
}

}  // namespace ternwick
