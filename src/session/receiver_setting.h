// The receiver setting as a user types it: "LAT,LON" in decimal degrees (south and west
// negative) and the maximum range in nautical miles. Shared by the window and the command.
#pragma once

#include <string>
#include <string_view>

#include "geo/coverage.h"
#include "geo/great_circle.h"

namespace ternwick {

// Bounds of the maximum range a user may give, nautical miles.
inline constexpr double kMinMaxRangeNm = 1.0;
inline constexpr double kMaxMaxRangeNm = 1000.0;

// "52.0,4.36" or "-33.9, 151.2": false with `why` saying what is wrong (without naming the
// box or option, which the caller does).
bool ParseReceiverPosition(std::string_view text, geo::LatLon& out, std::string& why);

// A whole or decimal number of nautical miles within the bounds above.
bool ParseMaxRange(std::string_view text, double& nm, std::string& why);

// "Farthest: 123.4 NM at 245 deg" (km with `km`), or "Farthest: none yet".
std::string FarthestText(const geo::Coverage& coverage, bool km = false);

}  // namespace ternwick
