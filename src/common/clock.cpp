#include "clock.h"

#include <charconv>
#include <cmath>

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

// A fixed moment names only the day of the month: it is taken in January 2000, a month of
// 31 days, so that a recording's time running on from it crosses midnight and month ends
// as a calendar does.
constexpr int64_t kFixedMonthStart = 946684800;  // 2000-01-01 00:00:00 UTC

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
    at_seconds_ = kFixedMonthStart + ((int64_t{t.day - 1} * 24 + t.hour) * 60 + t.minute) * 60 + t.second;
}

void Clock::FollowRecording(double start) {
    recording_ = true;
    recording_time_ = start;
}

double Clock::BaseTime() const {
    return static_cast<double>(fixed_ ? at_seconds_ : static_cast<int64_t>(std::time(nullptr)));
}

double Clock::Time() const { return recording_ ? recording_time_ : BaseTime(); }

int64_t Clock::Seconds() const {
    // floor() without the library call (the list asks for every message): truncation, one
    // less for a negative fraction.
    const double t = Time();
    const int64_t whole = static_cast<int64_t>(t);
    return static_cast<double>(whole) > t ? whole - 1 : whole;
}

ClockTime Clock::Now() const {
    if (fixed_ && !recording_) return at_;
    const int64_t now = Seconds();
    if (now != last_) {
        const std::time_t t = static_cast<std::time_t>(now);
        std::tm tm{};
        gmtime_r(&t, &tm);
        cached_ = {tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
        last_ = now;
    }
    return cached_;
}

int Clock::SecondsInHour() const {
    // UTC seconds since 1970 count no leap seconds, so every hour begins at a multiple of 3600.
    const int64_t s = Seconds() % 3600;
    return static_cast<int>(s < 0 ? s + 3600 : s);
}

}  // namespace ternwick
