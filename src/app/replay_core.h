// Headless replay: feeds recorded files through the character rules and the Tracker,
// and formats what ternwick-replay prints (trace, CSV of the flight table, statistics).
#pragma once

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

#include "decode/frame_assembler.h"
#include "decode/tracker.h"

namespace ternwick {

// Seconds within the hour of the local wall clock, cached per second.
class WallClock {
public:
    int SecondsInHour() const;

private:
    mutable std::time_t last_ = -1;
    mutable int cached_ = 0;
};

// Reads one stream to its end, evaluating each complete message. on_message runs after
// every evaluation (for the trace); before_message, if set, right before each one. The
// live list's pass (expiry) goes there: between two evaluations nothing but the clock
// changes, so a pass before each message and one at the end give what a pass after every
// byte would, without paying for it on every byte.
struct ReplayCounters {
    uint64_t bytes = 0;
    uint64_t evaluated = 0;
};
bool ReplayStream(std::FILE* in, Tracker& tracker, FrameAssembler& frames, ReplayCounters& counters,
                  const std::function<void()>& on_message, const std::function<void()>& before_message = {});

// The clock a replay runs by: the wall clock, or a fixed moment for reproducible output.
class ReplayClock {
public:
    // "DAY:HH:MM:SS" (day of the month 1..31); false when the text is not such a moment.
    bool SetFixed(const std::string& text);
    bool fixed() const { return fixed_; }
    int SecondsInHour() const;
    // Day of the month, hour and minute.
    void DayHourMinute(int& day, int& hour, int& minute) const;

private:
    bool fixed_ = false;
    int day_ = 1, hour_ = 0, minute_ = 0, second_ = 0;
    WallClock wall_;
};

// A text with every CR LF, and every lone CR, turned into LF (list text, report lines).
std::string LinesForPrint(const std::string& text);

// The tracked entries 0..500 in index order as CSV with a header line.
std::string FlightTableCsv(const FlightTable& db);

// Statistics block printed by --stats.
std::string StatsText(const TrackerStats& s, const ReplayCounters& c, double seconds);

}  // namespace ternwick
