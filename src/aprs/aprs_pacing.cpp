#include "aprs_pacing.h"

#include <algorithm>
#include <limits>

namespace ternwick {

namespace {

constexpr int64_t kLongAgo = std::numeric_limits<int64_t>::min();

// True when `then` lies within the `seconds` before `now`. A clock set back (or a fixed
// clock moved to an earlier day) makes `then` lie ahead: it no longer counts.
bool Within(int64_t now, int64_t then, int64_t seconds) {
    return then != kLongAgo && then <= now && now - then < seconds;
}

}  // namespace

void AprsPacer::SetRate(const AprsRate& rate) {
    const int n = std::clamp(rate.max_per_minute, 0, kMaxAprsPerMinute);
    if (static_cast<size_t>(n) != ring_.size()) {
        // Oldest first, then the newest n of them into the new ring.
        std::vector<int64_t> times;
        for (size_t i = 0; i < ring_.size(); ++i) times.push_back(ring_[(next_ + i) % ring_.size()]);
        if (times.size() > static_cast<size_t>(n)) times.erase(times.begin(), times.end() - n);
        times.insert(times.begin(), static_cast<size_t>(n) - times.size(), kLongAgo);
        ring_ = std::move(times);
        next_ = 0;
    }
    rate_ = rate;
    rate_.max_per_minute = n;
}

bool AprsPacer::CeilingReached(int64_t now) const {
    return !ring_.empty() && Within(now, ring_[next_], 60);
}

void AprsPacer::Record(int64_t now) {
    if (ring_.empty()) return;
    ring_[next_] = now;
    next_ = (next_ + 1) % ring_.size();
}

bool AprsPacer::Admit(const std::string& icao, int64_t now) {
    auto it = last_.find(icao);
    if (it != last_.end()) {
        if (rate_.interval_seconds > 0 && Within(now, it->second, rate_.interval_seconds)) return false;
        if (CeilingReached(now)) return false;
        it->second = now;
    } else {
        last_.emplace(icao, now);
    }
    Record(now);
    return true;
}

void AprsPacer::Count(int64_t now) { Record(now); }

bool AprsPacer::Forget(const std::string& icao) { return last_.erase(icao) > 0; }

}  // namespace ternwick
