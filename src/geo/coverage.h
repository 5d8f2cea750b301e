// How far a receiver hears in each direction: the farthest position heard in each 5-degree
// sector of bearing from it, and the farthest of all. The outline through those points is
// the receiver's coverage.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "geo/great_circle.h"

namespace geo {

struct CoveragePoint {
  LatLon pos;                       // longitude in -180..180
  double range_nm = 0;
  double bearing_deg = 0;           // from the receiver, [0, 360)
  std::optional<int> altitude_ft;   // none for a position on the surface
};

class Coverage {
 public:
  static constexpr int kSectorDeg = 5;
  static constexpr int kSectors = 360 / kSectorDeg;

  // Starts afresh around the receiver.
  void Reset(LatLon receiver);
  LatLon receiver() const { return receiver_; }

  // A position heard: kept when it is the farthest of its sector. True when it was.
  bool Add(LatLon pos, std::optional<int> altitude_ft);

  // Sector k (0..71) holds the bearings from 5k up to 5k + 5 degrees; empty while nothing was
  // heard there.
  const std::optional<CoveragePoint>& Sector(int k) const { return sectors_[static_cast<size_t>(k)]; }
  const std::optional<CoveragePoint>& Farthest() const { return farthest_; }

  // The outline, in order of bearing: each sector's farthest position, and the receiver
  // itself for a run of sectors where nothing was heard. Empty while nothing was heard.
  std::vector<LatLon> Outline() const;

  // Grows whenever a sector moves out.
  uint64_t revision() const { return revision_; }

 private:
  LatLon receiver_;
  std::array<std::optional<CoveragePoint>, kSectors> sectors_;
  std::optional<CoveragePoint> farthest_;
  uint64_t revision_ = 0;
};

}  // namespace geo
