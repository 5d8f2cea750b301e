#include "geo/great_circle.h"

#include <cmath>

namespace geo {
namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
}  // namespace

double WrapLon180(double lon) {
  double l = std::fmod(lon, 360.0);
  if (l <= -180.0) l += 360.0;
  if (l > 180.0) l -= 360.0;
  return l;
}

double DistanceKm(LatLon a, LatLon b) {
  const double dlat = (b.lat - a.lat) * kRad;
  const double dlon = (b.lon - a.lon) * kRad;
  const double s1 = std::sin(dlat / 2), s2 = std::sin(dlon / 2);
  double h = s1 * s1 + std::cos(a.lat * kRad) * std::cos(b.lat * kRad) * s2 * s2;
  if (h > 1) h = 1;  // rounding near antipodes
  return 2 * kEarthRadiusKm * std::asin(std::sqrt(h));
}

double BearingDeg(LatLon a, LatLon b) {
  const double p1 = a.lat * kRad, p2 = b.lat * kRad;
  const double dl = (b.lon - a.lon) * kRad;
  const double y = std::sin(dl) * std::cos(p2);
  const double x = std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl);
  if (x == 0 && y == 0) return 0;
  double deg = std::atan2(y, x) / kRad;
  if (deg < 0) deg += 360.0;
  if (deg >= 360.0) deg -= 360.0;
  return deg;
}

LatLon Destination(LatLon from, double bearing_deg, double distance_km) {
  const double d = distance_km / kEarthRadiusKm;
  const double t = bearing_deg * kRad;
  const double p1 = from.lat * kRad, l1 = from.lon * kRad;
  const double sp2 = std::sin(p1) * std::cos(d) + std::cos(p1) * std::sin(d) * std::cos(t);
  const double p2 = std::asin(std::fmax(-1.0, std::fmin(1.0, sp2)));
  const double l2 = l1 + std::atan2(std::sin(t) * std::sin(d) * std::cos(p1),
                                    std::cos(d) - std::sin(p1) * sp2);
  return {p2 / kRad, WrapLon180(l2 / kRad)};
}

}  // namespace geo
