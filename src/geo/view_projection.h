// The live map's projection: azimuthal equidistant, centred on the middle of the view.
// Distances and directions from the centre are true, so shapes are right at the centre at
// every latitude (the poles included) and nothing is cut at the antimeridian; far from the
// centre shapes stretch along circles around it, which a regional view never reaches.
#pragma once

#include "geo/great_circle.h"

namespace geo {

struct ScreenPoint {
  double x = 0;  // pixels from the left edge
  double y = 0;  // pixels from the top edge, downwards
};

// A view: where it looks, how wide it is at its centre, and the picture it fills.
class ViewProjection {
 public:
  // Narrowest and widest views: a town's airport, and the whole Earth (a disc 2 pi R wide).
  static constexpr double kMinKmAcross = 20.0;
  static constexpr double kMaxKmAcross = 42000.0;

  ViewProjection() = default;
  // km_across is kept within the limits above; a latitude beyond a pole is held at it.
  ViewProjection(LatLon centre, double km_across, int width_px, int height_px);

  LatLon centre() const { return centre_; }
  double km_across() const { return km_across_; }
  int width() const { return width_; }
  int height() const { return height_; }
  double PixelsPerKm() const { return px_per_km_; }

  // Screen position of a point; false for the point opposite the centre (it has no one
  // place). `arc_deg`, when given, receives the angle between the point and the centre.
  bool ToScreen(LatLon p, ScreenPoint& out, double* arc_deg = nullptr) const;
  // The point at a screen position; false beyond the rim of the Earth's disc.
  bool FromScreen(ScreenPoint s, LatLon& out) const;

  // The same view moved by a number of pixels (drag), or zoomed by `factor` (>1: closer)
  // keeping the point under `anchor` where it is.
  ViewProjection Panned(double dx_px, double dy_px) const;
  ViewProjection Zoomed(double factor, ScreenPoint anchor) const;

  // The same projection (centre, scale) drawn into a picture of another size, with its
  // centre point at (centre_x, centre_y): a larger picture around a view, or a view shifted
  // over it. centre() stays the projection's centre, not the picture's middle.
  ViewProjection Reframed(int width_px, int height_px, double centre_x, double centre_y) const;
  // Where the projection's centre point is in the picture.
  ScreenPoint CentrePixel() const { return {centre_x_, centre_y_}; }

  // The box in degrees that holds everything in view (west > east when it crosses 180;
  // all longitudes when a pole is in view), or everything in a part of the picture.
  struct Box {
    double west, south, east, north;
  };
  Box GeoBounds() const { return GeoBounds(0, 0, width_, height_); }
  Box GeoBounds(double x0, double y0, double x1, double y1) const;

 private:
  LatLon centre_{0, 0};
  double km_across_ = 250;
  int width_ = 1, height_ = 1;
  double px_per_km_ = 1.0 / 250;
  double sin_lat0_ = 0, cos_lat0_ = 1;
  double centre_x_ = 0.5, centre_y_ = 0.5;
};

}  // namespace geo
