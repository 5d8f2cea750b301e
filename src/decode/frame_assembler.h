// Picks messages out of recorded text, byte by byte: "*" or "!" starts a message,
// upper-case hex digits are collected, ";" ends it. A message of exactly 14 or 28 digits
// is complete (and the collected digits are emptied once it has been taken); any other
// length keeps its digits until the next start marker. Every other byte is skipped.
#pragma once

#include <cstddef>
#include <string_view>

namespace ternwick {

class FrameAssembler {
public:
    static constexpr size_t kMaxDigits = 28;

    // Feeds one byte; true when it completed a message, which Digits() then holds.
    bool Feed(unsigned char c) {
        if (c == '*' || c == '!') {
            len_ = 0;
        } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) {
            // Past 28 digits no message can become valid before the next start marker,
            // so the length only records "too long" and memory stays bounded.
            if (len_ < kMaxDigits) buf_[len_] = static_cast<char>(c);
            if (len_ <= kMaxDigits) ++len_;
        } else if (c == ';') {
            return len_ == 14 || len_ == 28;
        }
        return false;
    }
    std::string_view Digits() const { return {buf_, len_ > kMaxDigits ? kMaxDigits : len_}; }
    size_t Length() const { return len_; }
    // Called after a complete message has been evaluated.
    void Clear() { len_ = 0; }

private:
    char buf_[kMaxDigits] = {};
    size_t len_ = 0;
};

}  // namespace ternwick
