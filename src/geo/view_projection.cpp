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
  centre_x_ = width_ / 2.0;
  centre_y_ = height_ / 2.0;
}

ViewProjection ViewProjection::Reframed(int width_px, int height_px, double centre_x, double centre_y) const {
  ViewProjection v = *this;
  v.width_ = std::max(1, width_px);
  v.height_ = std::max(1, height_px);
  v.km_across_ = v.width_ == width_ ? km_across_ : km_across_ * v.width_ / width_;  // the same pixels per km
  v.centre_x_ = centre_x;
  v.centre_y_ = centre_y;
  return v;
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
  out.x = centre_x_ + x * px_per_km_;
  out.y = centre_y_ - y * px_per_km_;
  return true;
}

bool ViewProjection::FromScreen(ScreenPoint s, LatLon& out) const {
  const double x = (s.x - centre_x_) / px_per_km_;
  const double y = (centre_y_ - s.y) / px_per_km_;
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

ViewProjection::Box ViewProjection::GeoBounds(double x0, double y0, double x1, double y1) const {
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
    const double fx = x0 + (x1 - x0) * i / double(steps), fy = y0 + (y1 - y0) * i / double(steps);
    take(fx, y0);
    take(fx, y1);
    take(x0, fy);
    take(x1, fy);
  }
  ScreenPoint pole;
  for (double pole_lat : {90.0, -90.0}) {
    if (ToScreen({pole_lat, 0}, pole) && pole.x >= x0 && pole.x <= x1 && pole.y >= y0 && pole.y <= y1) {
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
