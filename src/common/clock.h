// The clock a session runs by, of one of three kinds: the computer's UTC clock (live
// reception), a fixed moment for reproducible runs, or a recording's own time while a
// time-stamped recording is replayed. The flight table stamps seconds within the hour;
// APRS reports carry day, hour and minute with a "z", which means UTC.
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

    // From now on the time is the recording's: it starts at `start` (seconds, as Time()
    // counts) and moves only by SetRecordingTime, never backwards. EndRecording returns to
    // the wall or fixed clock.
    void FollowRecording(double start);
    void SetRecordingTime(double t) {
        if (recording_ && t > recording_time_) recording_time_ = t;
    }
    void EndRecording() { recording_ = false; }
    bool recording() const { return recording_; }

    // The time in UTC seconds since 1970: whole seconds of the wall clock, the fixed moment
    // (taken in a month of 31 days), or the recording's time (with fractions).
    double Time() const;
    // The wall or fixed clock, whatever a recording says: where a recording's time starts.
    double BaseTime() const;
    // Minute * 60 + second of Time(), 0..3599.
    int SecondsInHour() const;
    ClockTime Now() const;
    // Time() in whole seconds: the running count intervals are measured with.
    int64_t Seconds() const;

private:
    bool fixed_ = false;
    ClockTime at_;
    int64_t at_seconds_ = 0;  // at_ as seconds since 1970
    bool recording_ = false;
    double recording_time_ = 0;
    mutable int64_t last_ = INT64_MIN;
    mutable ClockTime cached_;
};

}  // namespace ternwick
