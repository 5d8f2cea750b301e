// Picks messages out of recorded text, byte by byte: "*" or "!" starts a message,
// upper-case hex digits are collected, ";" ends it. A message of exactly 14 or 28 digits
// is complete (and the collected digits are emptied once it has been taken); any other
// length keeps its digits until the next start marker. Every other byte is skipped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace ternwick {

// The characters a record's message is made of: upper-case hex digits.
inline constexpr std::array<bool, 256> kRecordDigit = [] {
    std::array<bool, 256> t{};
    for (int c = '0'; c <= '9'; ++c) t[c] = true;
    for (int c = 'A'; c <= 'F'; ++c) t[c] = true;
    return t;
}();

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
    // Feeds a run of bytes, calling complete(digits) for each message it completes (the
    // digits are emptied afterwards): the same as Feed byte by byte. A whole record lying
    // inside the run ("*" or "!", 14 or 28 digits, ";"), which is how nearly every record of
    // a recording arrives, is handed on in one step from the run itself, without collecting
    // its digits.
    template <class Complete>
    void FeedAll(std::span<const uint8_t> bytes, Complete&& complete) {
        const uint8_t* p = bytes.data();
        const uint8_t* const end = p + bytes.size();
        while (p < end) {
            if (*p == '*' || *p == '!') {
                const size_t n = DigitRun(p + 1, end);
                if ((n == 14 || n == 28) && p + 1 + n < end && p[1 + n] == ';') {
                    len_ = 0;
                    complete(std::string_view(reinterpret_cast<const char*>(p + 1), n));
                    p += n + 2;
                    continue;
                }
            }
            if (Feed(*p)) {
                complete(Digits());
                Clear();
            }
            ++p;
        }
    }

    std::string_view Digits() const { return {buf_, len_ > kMaxDigits ? kMaxDigits : len_}; }
    size_t Length() const { return len_; }
    // Called after a complete message has been evaluated.
    void Clear() { len_ = 0; }

private:
    // How many upper-case hex digits follow from p (counting stops past 28: too long).
    static size_t DigitRun(const uint8_t* p, const uint8_t* end) {
        size_t n = 0;
        while (p + n < end && n <= kMaxDigits && kRecordDigit[p[n]]) ++n;
        return n;
    }

    char buf_[kMaxDigits] = {};
    size_t len_ = 0;
};

}  // namespace ternwick
