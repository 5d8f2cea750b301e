// Which aircraft the report output keeps: those within a radius of the receiver, between a
// lowest and a highest altitude, with a callsign. Each position is judged on its own; one
// that fails is held back, counted by the first rule it fails.
#pragma once

#include <cstdint>
#include <optional>

#include "flights/flight_table.h"
#include "geo/great_circle.h"

namespace ternwick {

struct AprsFilter {
    double radius_nm = 0.0;      // within this distance of the receiver (edge included); 0: anywhere
    int min_feet = 0;            // at or above; 0: no lowest altitude
    int max_feet = 0;            // at or below; 0: no highest altitude
    bool callsign_only = false;  // only aircraft whose callsign has been heard
    bool operator==(const AprsFilter&) const = default;
    bool Any() const { return radius_nm > 0.0 || min_feet > 0 || max_feet > 0 || callsign_only; }
};

// What the settings accept: farther than any receiver hears, higher than anything flies.
inline constexpr double kMaxAprsRadiusNm = 10000.0;
inline constexpr int kMaxAprsFeet = 100000;

// Pass, or the rule that holds a position back.
enum class AprsFilterRule : uint8_t { Pass, Radius, MinAltitude, MaxAltitude, Callsign };

// Judges the aircraft `e` where it is now. The radius needs the receiver's position: without
// one nobody is within it (a radius asks to keep the channel for what is near; when "near"
// cannot be told, sending everything would be the opposite). An aircraft on the surface is on
// the ground, at 0 ft; one in the air whose altitude has not been heard yet is held back by
// the altitude bounds (the lower one when both are set) until it has been.
AprsFilterRule AprsFilterCheck(const AprsFilter& f, const DbRecord& e, const std::optional<geo::LatLon>& receiver);

// Positions held back by each rule.
struct AprsFiltered {
    uint64_t radius = 0;
    uint64_t min_alt = 0;
    uint64_t max_alt = 0;
    uint64_t callsign = 0;
    uint64_t Total() const { return radius + min_alt + max_alt + callsign; }
    void Count(AprsFilterRule rule);
};

}  // namespace ternwick
