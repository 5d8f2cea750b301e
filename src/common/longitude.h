// Longitudes as people read them. The flight table keeps airborne longitudes in 0..360 and
// surface ones wherever the map offset put them; what is printed or sent is -180..180.
#pragma once

#include <cmath>

namespace ternwick {

// The same meridian in -180 < lon <= 180.
inline double SignedLongitude(double lon) {
    double l = std::fmod(lon, 360.0);
    if (l > 180.0) l -= 360.0;
    else if (l <= -180.0) l += 360.0;
    return l;
}

}  // namespace ternwick
