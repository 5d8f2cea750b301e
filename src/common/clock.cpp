#include "clock.h"

#include <charconv>

namespace ternwick {

namespace {

// One whole number of at most `max_digits` digits, then `sep` (or the end when sep is 0).
bool ReadField(std::string_view& text, int max_digits, char sep, int& out) {
    size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
    if (n == 0 || n > static_cast<size_t>(max_digits)) return false;
    std::from_chars(text.data(), text.data() + n, out);
    text.remove_prefix(n);
    if (sep == 0) return text.empty();
    if (text.empty() || text.front() != sep) return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

bool Clock::SetFixed(std::string_view text) {
    ClockTime t;
    if (!ReadField(text, 2, ':', t.day) || !ReadField(text, 2, ':', t.hour) || !ReadField(text, 2, ':', t.minute) ||
        !ReadField(text, 2, 0, t.second))
        return false;
    if (t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59) return false;
    SetFixed(t);
    return true;
}

void Clock::SetFixed(const ClockTime& t) {
    fixed_ = true;
    at_ = t;
}

ClockTime Clock::Now() const {
    if (fixed_) return at_;
    const std::time_t now = std::time(nullptr);
    if (now != last_) {
        std::tm tm{};
        gmtime_r(&now, &tm);
        cached_ = {tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
        last_ = now;
    }
    return cached_;
}

int64_t Clock::Seconds() const {
    if (!fixed_) return static_cast<int64_t>(std::time(nullptr));
    return ((int64_t{at_.day} * 24 + at_.hour) * 60 + at_.minute) * 60 + at_.second;
}

int Clock::SecondsInHour() const {
    const ClockTime t = Now();
    return t.minute * 60 + t.second;
}

}  // namespace ternwick
