#include "live_tracks.h"

#include "common/hex_digit.h"

namespace ternwick {

void LiveTracks::Heard(uint32_t key, double t, uint64_t messages) {
    auto [it, fresh] = aircraft_.try_emplace(key);
    LiveAircraft& a = it->second;
    if (fresh) a.first_heard = t;
    a.last_heard = t;
    a.messages = messages;
    ++revision_;
}

void LiveTracks::Position(uint32_t key, double t, double lat, double lon, bool surface) {
    auto [it, fresh] = aircraft_.try_emplace(key);
    LiveAircraft& a = it->second;
    if (fresh) a.first_heard = a.last_heard = t;
    ++a.positions;
    a.has_position = true;
    a.position_time = t;
    const TrailPoint p{t, lat, lon, surface};
    // Keep the newest position exact, but only one point per spacing interval behind it.
    if (a.trail.size() >= 2 && t - a.trail[a.trail.size() - 2].t <= kMinPointSpacing) a.trail.back() = p;
    else a.trail.push_back(p);
    ++revision_;
}

void LiveTracks::Remove(uint32_t key) {
    if (aircraft_.erase(key) > 0) ++revision_;
}

void LiveTracks::Clear() {
    aircraft_.clear();
    ++revision_;
}

void LiveTracks::Cut(double now, double max_age) {
    for (auto& [key, a] : aircraft_) {
        const size_t before = a.trail.size();
        while (a.trail.size() > 1 && now - a.trail.front().t > max_age) a.trail.pop_front();
        if (a.trail.size() != before) ++revision_;
    }
}

const LiveAircraft* LiveTracks::Find(uint32_t key) const {
    auto it = aircraft_.find(key);
    return it == aircraft_.end() ? nullptr : &it->second;
}

}  // namespace ternwick
