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
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
                // Where the ";" must stand decides the length; then every digit is checked,
                // without a branch per digit.
                const size_t n = p + 15 < end && p[15] == ';' ? 14 : p + 29 < end && p[29] == ';' ? 28 : 0;
                if (n != 0 && AllDigits(p, n)) {
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
    // Whether p[1..n] are all upper-case hex digits, where p[n + 1] is known to be there.
    static bool AllDigits(const uint8_t* p, size_t n) {
#if defined(__SSE2__)
        // Sixteen bytes compared at once: the checks of a record cost less than its copy.
        // The loads stay inside the record (p[0] up to its ";").
        if (n == 14) return (DigitMask(p) & 0x7FFE) == 0x7FFE;
        return (DigitMask(p) & 0xFFFE) == 0xFFFE && (DigitMask(p + 14) & 0x7FFF) == 0x7FFF;
#else
        bool all = true;
        for (size_t i = 1; i <= n; ++i) all &= kRecordDigit[p[i]];
        return all;
#endif
    }
#if defined(__SSE2__)
    // Bit i set when p[i] (i = 0..15) is 0-9 or A-F. Bytes from 0x80 compare as negative.
    static int DigitMask(const uint8_t* p) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)),
                                            _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                             _mm_cmplt_epi8(v, _mm_set1_epi8('F' + 1)));
        return _mm_movemask_epi8(_mm_or_si128(digit, letter));
    }
#endif

    char buf_[kMaxDigits] = {};
    size_t len_ = 0;
};

}  // namespace ternwick
