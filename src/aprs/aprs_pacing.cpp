#include "aprs_pacing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "geo/great_circle.h"

namespace ternwick {

namespace {

// True when `then` lies within the `seconds` before `now`. A clock set back (or a fixed
// clock moved to an earlier day) makes `then` lie ahead: it no longer counts.
bool Within(double now, double then, double seconds) { return then <= now && now - then < seconds; }

bool HardlyMoved(const AprsFix& a, const AprsFix& b) {
    if (geo::DistanceNm({a.lat, a.lon}, {b.lat, b.lon}) >= kUnmovedNm) return false;
    if (std::abs(a.altitude - b.altitude) >= kUnmovedFeet) return false;
    const bool track_a = a.track >= 0.0, track_b = b.track >= 0.0;
    if (track_a != track_b) return false;  // a track heard for the first time (or lost) is news
    if (!track_a) return true;
    double turn = std::fmod(std::fabs(a.track - b.track), 360.0);
    if (turn > 180.0) turn = 360.0 - turn;
    return turn < kUnmovedDegrees;
}

}  // namespace

void AprsPacer::SetRate(const AprsRate& rate) {
    const int n = std::clamp(rate.max_per_minute, 0, kMaxAprsPerMinute);
    if (static_cast<size_t>(n) != ring_.size()) {
        // Oldest first, then the newest n of them into the new ring.
        std::vector<double> times;
        for (size_t i = 0; i < ring_.size(); ++i) {
            const size_t k = (next_ + i) % ring_.size();
            if (ring_used_[k]) times.push_back(ring_[k]);
        }
        if (times.size() > static_cast<size_t>(n)) times.erase(times.begin(), times.end() - n);
        ring_.assign(static_cast<size_t>(n), 0.0);
        ring_used_.assign(static_cast<size_t>(n), false);
        next_ = 0;
        for (double t : times) Record(t);
    }
    rate_ = rate;
    rate_.max_per_minute = n;
    rate_.interval_seconds = std::clamp(rate.interval_seconds, 0, kMaxAprsInterval);
    check_known_ = false;
}

double AprsPacer::MayGoAt(const Aircraft& a) const {
    if (!a.reported) return -std::numeric_limits<double>::infinity();
    const double interval = rate_.interval_seconds;
    return a.last + (HardlyMoved(a.at_report, a.newest) ? 2.0 * interval : interval);
}

void AprsPacer::CountHeld(const Aircraft& a, double now, AprsHeldBack& held) const {
    // At the very moment a rule lets go it still held the position it replaced.
    const bool timed = a.reported && rate_.interval_seconds > 0 && a.last <= now;
    if (timed && now <= a.last + rate_.interval_seconds) ++held.interval;
    else if (timed && now <= MayGoAt(a)) ++held.unmoved;
    else ++held.ceiling;
}

AprsHeldBack AprsPacer::HeldBack(double now) const {
    AprsHeldBack held = held_;
    if (waiting_ > 0)
        for (const auto& [key, a] : aircraft_)
            if (a.waiting) CountHeld(a, now, held);
    return held;
}

void AprsPacer::Want(uint32_t key, const AprsFix& fix, double now) {
    Aircraft& a = aircraft_[key];
    if (a.waiting) {
        CountHeld(a, now, held_);
    } else {
        a.waiting = true;
        a.since = now;
        ++waiting_;
    }
    a.newest = fix;
    const double at = MayGoAt(a);
    if (check_known_ && at < next_check_) next_check_ = at;
}

bool AprsPacer::SlotFree(double now) const {
    if (ring_.empty()) return true;
    // Spread over the minute rather than in one burst when the minute begins: a burst
    // holds a shared channel for seconds, and once there it would come back every minute.
    const size_t newest = (next_ + ring_.size() - 1) % ring_.size();
    const double spacing = std::floor(60.0 / static_cast<double>(ring_.size()));
    if (ring_used_[newest] && Within(now, ring_[newest], spacing)) return false;
    return !ring_used_[next_] || !Within(now, ring_[next_], 60.0);
}

void AprsPacer::Record(double now) {
    if (ring_.empty()) return;
    ring_[next_] = now;
    ring_used_[next_] = true;
    next_ = (next_ + 1) % ring_.size();
}

void AprsPacer::TakeSlot(double now) { Record(now); }

std::optional<uint32_t> AprsPacer::Choose(double now) {
    if (waiting_ == 0 || !SlotFree(now)) return std::nullopt;
    if (check_known_ && now < next_check_) return std::nullopt;
    std::optional<uint32_t> best;
    const Aircraft* b = nullptr;
    double soonest = std::numeric_limits<double>::infinity();
    for (const auto& [key, a] : aircraft_) {
        if (!a.waiting) continue;
        const double at = MayGoAt(a);
        // A last report that lies ahead (the clock was set back) holds nobody up.
        if (at > now && a.last <= now) {
            soonest = std::min(soonest, at);
            continue;
        }
        const auto rank = [](const Aircraft& x) {
            return std::tuple(x.reported, x.reported ? x.last : 0.0, x.since);
        };
        if (!b || rank(a) < rank(*b) || (rank(a) == rank(*b) && key < *best)) {
            best = key;
            b = &a;
        }
    }
    check_known_ = !best;
    next_check_ = soonest;
    return best;
}

void AprsPacer::Sent(uint32_t key, double now) {
    Record(now);
    auto it = aircraft_.find(key);
    if (it == aircraft_.end()) return;
    Aircraft& a = it->second;
    if (a.waiting) --waiting_;
    a.waiting = false;
    a.reported = true;
    a.last = now;
    a.at_report = a.newest;
}

void AprsPacer::Drop(uint32_t key, double now) {
    auto it = aircraft_.find(key);
    if (it == aircraft_.end() || !it->second.waiting) return;
    CountHeld(it->second, now, held_);
    it->second.waiting = false;
    --waiting_;
}

void AprsPacer::Forget(uint32_t key, double now) {
    auto it = aircraft_.find(key);
    if (it == aircraft_.end()) return;
    if (it->second.waiting) {
        CountHeld(it->second, now, held_);
        --waiting_;
    }
    aircraft_.erase(it);
}

}  // namespace ternwick
