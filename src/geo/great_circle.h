// Distances and directions on the Earth, for range rings, the receiver's range and bearing,
// the coverage outline and the APRS radius filter. A sphere of the mean Earth radius: at the
// few hundred nautical miles a receiver hears, its error (under 0.5 %) is far below what any of
// those uses can show.
#pragma once

namespace geo {

inline constexpr double kEarthRadiusKm = 6371.0088;  // IUGG mean radius
inline constexpr double kKmPerNm = 1.852;

struct LatLon {
  double lat = 0;  // degrees, south negative
  double lon = 0;  // degrees, any range (0..360 as the flight table keeps it, or -180..180)
};

// Great-circle distance in kilometres (haversine, exact for antipodes and for tiny distances).
double DistanceKm(LatLon from, LatLon to);
inline double DistanceNm(LatLon from, LatLon to) { return DistanceKm(from, to) / kKmPerNm; }

// Initial bearing from `from` towards `to`, degrees clockwise from true north in [0, 360).
// 0 when the two points coincide.
double BearingDeg(LatLon from, LatLon to);

// The point `distance_km` from `from` along the initial bearing `bearing_deg`; longitude in
// -180..180.
LatLon Destination(LatLon from, double bearing_deg, double distance_km);

// Longitude brought into -180..180 (180 stays 180, -180 becomes 180).
double WrapLon180(double lon);

}  // namespace geo
