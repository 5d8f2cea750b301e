// The rate rules of the report output: a hard ceiling on reports per minute for the whole
// station, shared fairly among the aircraft (the one whose last report is oldest goes
// next), and per aircraft a minimum interval that doubles while it has hardly moved. A
// shared 1200-baud channel carries about one packet a second for everyone on it.
#pragma once

#include <cstdint>
#include <optional>
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

// An aircraft that moved less than all of these since its last report has "hardly moved"
// and waits twice its interval.
inline constexpr double kUnmovedNm = 0.5;
inline constexpr double kUnmovedDegrees = 10.0;
inline constexpr int kUnmovedFeet = 500;

// What the "moved" rule compares between two reports of one aircraft.
struct AprsFix {
    double lat = 0.0;    // degrees
    double lon = 0.0;    // degrees, any range
    int altitude = 0;    // feet
    double track = -1.0; // degrees; negative: none known
};

// Positions that were plotted but never went out, by the rule that kept them back when a
// newer position took their place (or the aircraft left).
struct AprsHeldBack {
    uint64_t interval = 0;  // its "Min. s" had not passed
    uint64_t unmoved = 0;   // it had hardly moved and waited twice its interval
    uint64_t ceiling = 0;   // it was waiting for a slot under the station ceiling
    uint64_t Total() const { return interval + unmoved + ceiling; }
};

class AprsPacer {
public:
    // Rules changed mid-run keep what was sent: the reports of the last minute still count.
    void SetRate(const AprsRate& rate);
    const AprsRate& rate() const { return rate_; }

    // Aircraft `key` has a new position `fix` at `now` (seconds on a running count): it
    // waits for a slot. Only its newest position is kept; one it was still waiting with is
    // counted as held back.
    void Want(uint32_t key, const AprsFix& fix, double now);
    // Whether one more report may go out at `now` without breaking the ceiling: at most
    // max_per_minute in any 60 seconds, and no two closer than 60 / max_per_minute
    // seconds (in whole seconds).
    bool SlotFree(double now) const;
    // A report that needs no choosing (a withdrawal) goes out: it takes a slot.
    void TakeSlot(double now);
    // Of the waiting aircraft whose own interval has passed, the one whose last report is
    // oldest (never reported counts as oldest; then the longest waiting, then the lowest
    // key). None when no slot is free or nobody may go.
    std::optional<uint32_t> Choose(double now);
    // The newest position of `key` went out at `now`: it takes a slot and stops waiting.
    void Sent(uint32_t key, double now);
    // The aircraft left the flight table: it is forgotten (the memory is bounded by the
    // table); a position it was waiting with counts as held back.
    void Forget(uint32_t key, double now);
    // The aircraft is no longer to be reported for now (it left the filters): it stops
    // waiting, a position it was waiting with counts as held back, and its last report
    // still counts for its interval when it comes back.
    void Drop(uint32_t key, double now);

    size_t Waiting() const { return waiting_; }
    // Positions held back so far; those still waiting at `now` are counted by the rule that
    // holds them, so that sent and held back add up to every position wanted.
    AprsHeldBack HeldBack(double now) const;

private:
    struct Aircraft {
        bool reported = false;  // at least once since it entered the table
        double last = 0.0;      // when last reported
        AprsFix at_report;      // where it was then
        bool waiting = false;
        double since = 0.0;     // waiting since
        AprsFix newest;
    };
    // The moment `a` may go next by its own interval (the moved rule included).
    double MayGoAt(const Aircraft& a) const;
    void CountHeld(const Aircraft& a, double now, AprsHeldBack& held) const;
    void Record(double now);

    AprsRate rate_;
    std::unordered_map<uint32_t, Aircraft> aircraft_;
    size_t waiting_ = 0;
    // No waiting aircraft may go before this moment (a scan found none): spares a scan of
    // the table for every message while everybody waits out an interval.
    double next_check_ = 0.0;
    bool check_known_ = false;
    // Times of the last max_per_minute reports; ring_[next_] is the oldest of them.
    std::vector<double> ring_;
    std::vector<bool> ring_used_;
    size_t next_ = 0;
    AprsHeldBack held_;
};

}  // namespace ternwick
