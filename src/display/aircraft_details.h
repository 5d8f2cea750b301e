// The details panel's text for one aircraft: plain lines "Field: value" a screen reader can
// read, "-" for what is not known.
#pragma once

#include <optional>
#include <string>

#include "display/live_tracks.h"
#include "flights/flight_table.h"
#include "geo/great_circle.h"

namespace ternwick {

inline constexpr char kNoAircraftSelected[] = "No aircraft selected";

struct DetailsContext {
    std::optional<geo::LatLon> receiver;
    double now = 0;  // session seconds, for "seconds ago"
};

// With no entry, kNoAircraftSelected. `live` may be null (nothing remembered yet).
std::string AircraftDetailsText(const DbRecord* e, const LiveAircraft* live, const DetailsContext& context);

// Session seconds as a UTC time of day, "hh:mm:ss".
std::string TimeOfDay(double seconds);

}  // namespace ternwick
