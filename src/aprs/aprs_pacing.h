// The rate rules of the report output: a minimum interval between two reports of one
// aircraft and a ceiling on reports per minute for the whole station, so that a shared
// 1200-baud channel is not flooded. It also remembers which aircraft have been reported.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace ternwick {

struct AprsRate {
    int interval_seconds = 0;  // per aircraft; 0: every plotted position
    int max_per_minute = 0;    // for the station; 0: no ceiling
    bool operator==(const AprsRate&) const = default;
};

// What the settings accept: an hour between reports, ten reports a second.
inline constexpr int kMaxAprsInterval = 3600;
inline constexpr int kMaxAprsPerMinute = 600;

class AprsPacer {
public:
    // Rules changed mid-run keep what was sent: the reports of the last minute still count.
    void SetRate(const AprsRate& rate);
    const AprsRate& rate() const { return rate_; }

    // A position report of aircraft `icao` at `now` (seconds on a running count). True when
    // it may go out; it is then counted as sent. The first report of an aircraft (since it
    // entered the flight table) always may, so every aircraft shows up once; it counts
    // towards the ceiling all the same. A report that breaks a rule is not kept for later.
    bool Admit(const std::string& icao, int64_t now);
    // A report that goes out whatever the rules (an object withdrawn): it counts towards
    // the ceiling.
    void Count(int64_t now);
    // The aircraft left the flight table: true when it had been reported. It is forgotten,
    // so the memory is bounded by the table.
    bool Forget(const std::string& icao);
    size_t Reported() const { return last_.size(); }

private:
    bool CeilingReached(int64_t now) const;
    void Record(int64_t now);

    AprsRate rate_;
    std::unordered_map<std::string, int64_t> last_;  // aircraft reported -> when last
    // Times of the last max_per_minute reports; ring_[next_] is the oldest of them.
    std::vector<int64_t> ring_;
    size_t next_ = 0;
};

}  // namespace ternwick
