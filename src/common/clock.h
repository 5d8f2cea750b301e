// The clock a session runs by: the computer's UTC clock, or a fixed moment for
// reproducible runs. The flight table stamps seconds within the hour; APRS reports carry
// day, hour and minute with a "z", which means UTC.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>

namespace ternwick {

struct ClockTime {
    int day = 1;     // of the month, 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
};

class Clock {
public:
    // "DAY:HH:MM:SS" (day of the month 1..31), read as UTC; false when the text is not
    // such a moment (the clock is then unchanged).
    bool SetFixed(std::string_view text);
    void SetFixed(const ClockTime& t);
    void SetWall() { fixed_ = false; }
    bool fixed() const { return fixed_; }

    // Minute * 60 + second, 0..3599. Cached per wall-clock second: it is asked for on
    // every message.
    int SecondsInHour() const;
    ClockTime Now() const;
    // A running count of seconds for measuring intervals: the UTC time in seconds, or for a
    // fixed clock its day, hour, minute and second counted from the start of the month.
    int64_t Seconds() const;

private:
    bool fixed_ = false;
    ClockTime at_;
    mutable std::time_t last_ = -1;
    mutable ClockTime cached_;
};

}  // namespace ternwick
