// What the live map remembers about each aircraft beyond the flight table: the trail of its
// last positions with their times, when it was first and last heard, and how many messages
// and positions it gave. Keyed by the address as an integer; an aircraft that leaves the
// flight table leaves here too (Remove), trail and all.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>
#include <unordered_map>

#include "flights/flight_table.h"

namespace ternwick {

// Keys are the flight table's (AddressKey, kNonIcaoFlag, kNoAddress in flights/flight_table.h).

struct TrailPoint {
    double t = 0;  // session seconds
    double lat = 0, lon = 0;
    bool surface = false;
};

struct LiveAircraft {
    std::deque<TrailPoint> trail;  // oldest first; the last is the newest position
    double first_heard = 0, last_heard = 0;
    uint64_t messages = 0;
    uint64_t positions = 0;
    bool has_position = false;
    double position_time = 0;  // when the newest position was decoded
};

class LiveTracks {
public:
    // Trail points closer in time than this to the one before are merged into it: at two
    // positions a second, five minutes of 500 aircraft stay cheap to keep and to draw.
    static constexpr double kMinPointSpacing = 2.0;

    // A message of this aircraft was evaluated at time t; `messages` is its count so far.
    void Heard(uint32_t key, double t, uint64_t messages);
    // A new position was stored for the aircraft at time t.
    void Position(uint32_t key, double t, double lat, double lon, bool surface);
    // The aircraft left the flight table.
    void Remove(uint32_t key);
    void Clear();
    // Drops trail points older than max_age seconds before now (the newest position stays:
    // it is where the aircraft is).
    void Cut(double now, double max_age);

    const LiveAircraft* Find(uint32_t key) const;
    size_t size() const { return aircraft_.size(); }
    // Grows with every change, so a view can tell when to draw again.
    uint64_t Revision() const { return revision_; }

private:
    std::unordered_map<uint32_t, LiveAircraft> aircraft_;
    uint64_t revision_ = 0;
};

}  // namespace ternwick
