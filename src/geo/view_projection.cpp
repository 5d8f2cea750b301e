#include "geo/view_projection.h"

#include <algorithm>
#include <cmath>

namespace geo {
namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
}  // namespace

ViewProjection::ViewProjection(LatLon centre, double km_across, int width_px, int height_px)
    : centre_{std::clamp(centre.lat, -90.0, 90.0), WrapLon180(centre.lon)},
      km_across_(std::clamp(km_across, kMinKmAcross, kMaxKmAcross)),
      width_(std::max(1, width_px)),
      height_(std::max(1, height_px)) {
  px_per_km_ = width_ / km_across_;
  sin_lat0_ = std::sin(centre_.lat * kRad);
  cos_lat0_ = std::cos(centre_.lat * kRad);
}

bool ViewProjection::ToScreen(LatLon p, ScreenPoint& out, double* arc_deg) const {
  const double lat = p.lat * kRad, dlon = (p.lon - centre_.lon) * kRad;
  const double sl = std::sin(lat), cl = std::cos(lat);
  const double cd = std::cos(dlon);
  // East and north components of the direction to the point; their length is sin(arc).
  const double e = cl * std::sin(dlon);
  const double n = cos_lat0_ * sl - sin_lat0_ * cl * cd;
  // e and n are at most 1: no overflow to guard against, and hypot costs as much as the rest.
  const double s = std::sqrt(e * e + n * n);
  const double c = std::atan2(s, sin_lat0_ * sl + cos_lat0_ * cl * cd);  // arc, 0..pi
  if (arc_deg) *arc_deg = c / kRad;
  double x = 0, y = 0;
  if (s > 1e-15) {
    const double k = c * kEarthRadiusKm / s;
    x = e * k;
    y = n * k;
  } else if (c > kPi / 2) {
    return false;  // the antipode: every direction at once
  }
  out.x = width_ / 2.0 + x * px_per_km_;
  out.y = height_ / 2.0 - y * px_per_km_;
  return true;
}

bool ViewProjection::FromScreen(ScreenPoint s, LatLon& out) const {
  const double x = (s.x - width_ / 2.0) / px_per_km_;
  const double y = (height_ / 2.0 - s.y) / px_per_km_;
  const double rho = std::hypot(x, y);
  const double c = rho / kEarthRadiusKm;
  if (c > kPi) return false;
  if (rho < 1e-12) {
    out = centre_;
    return true;
  }
  const double sc = std::sin(c), cc = std::cos(c);
  const double lat = std::asin(std::clamp(cc * sin_lat0_ + y * sc * cos_lat0_ / rho, -1.0, 1.0));
  const double lon = centre_.lon * kRad + std::atan2(x * sc, rho * cos_lat0_ * cc - y * sin_lat0_ * sc);
  out = {lat / kRad, WrapLon180(lon / kRad)};
  return true;
}

ViewProjection ViewProjection::Panned(double dx_px, double dy_px) const {
  // The point that comes to the middle is the one now at the middle minus the drag.
  LatLon c;
  if (!FromScreen({width_ / 2.0 - dx_px, height_ / 2.0 - dy_px}, c)) return *this;
  return ViewProjection(c, km_across_, width_, height_);
}

ViewProjection ViewProjection::Zoomed(double factor, ScreenPoint anchor) const {
  if (!(factor > 0)) return *this;
  LatLon under;
  ViewProjection z(centre_, km_across_ / factor, width_, height_);
  if (!FromScreen(anchor, under)) return z;
  // Move the zoomed view so the anchor's point is back under the anchor.
  ScreenPoint now;
  if (!z.ToScreen(under, now)) return z;
  return z.Panned(anchor.x - now.x, anchor.y - now.y);
}

ViewProjection::Box ViewProjection::GeoBounds() const {
  // Walk the edges of the picture; a pole inside it means every longitude is in view.
  double south = 90, north = -90;
  double lon_min = 1e9, lon_max = -1e9;  // relative to the centre's longitude
  bool rim = false;
  const int steps = 32;
  auto take = [&](double x, double y) {
    LatLon p;
    if (!FromScreen({x, y}, p)) {
      rim = true;
      return;
    }
    south = std::min(south, p.lat);
    north = std::max(north, p.lat);
    const double rel = WrapLon180(p.lon - centre_.lon);
    lon_min = std::min(lon_min, rel);
    lon_max = std::max(lon_max, rel);
  };
  for (int i = 0; i <= steps; ++i) {
    const double fx = width_ * i / double(steps), fy = height_ * i / double(steps);
    take(fx, 0);
    take(fx, height_);
    take(0, fy);
    take(width_, fy);
  }
  ScreenPoint pole;
  for (double pole_lat : {90.0, -90.0}) {
    if (ToScreen({pole_lat, 0}, pole) && pole.x >= 0 && pole.x <= width_ && pole.y >= 0 && pole.y <= height_) {
      if (pole_lat > 0) north = 90;
      else south = -90;
      lon_min = -180;
      lon_max = 180;
    }
  }
  // The edges of a view may bulge past the corners' latitudes: a little margin.
  const double margin = std::min(5.0, km_across_ / 111.0 * 0.05 + 0.01);
  south = std::max(-90.0, south - margin);
  north = std::min(90.0, north + margin);
  if (rim || lon_max - lon_min >= 360 - 2 * margin || km_across_ > 15000) {
    if (rim || km_across_ > 15000) {
      south = -90;
      north = 90;
    }
    return {-180, south, 180, north};
  }
  return {WrapLon180(centre_.lon + lon_min - margin), south, WrapLon180(centre_.lon + lon_max + margin), north};
}

}  // namespace geo
