#include "geo/coverage.h"

#include <cmath>

namespace geo {

void Coverage::Reset(LatLon receiver) {
  receiver_ = receiver;
  sectors_.fill(std::nullopt);
  farthest_.reset();
  ++revision_;
}

bool Coverage::Add(LatLon pos, std::optional<int> altitude_ft) {
  if (!std::isfinite(pos.lat) || !std::isfinite(pos.lon)) return false;
  const LatLon p{pos.lat, WrapLon180(pos.lon)};
  CoveragePoint c{p, DistanceNm(receiver_, p), BearingDeg(receiver_, p), altitude_ft};
  if (!farthest_ || c.range_nm > farthest_->range_nm) farthest_ = c;
  int k = static_cast<int>(std::floor(c.bearing_deg / kSectorDeg));
  if (k < 0 || k >= kSectors) k = 0;  // a bearing of 360 rounded from just below
  std::optional<CoveragePoint>& s = sectors_[static_cast<size_t>(k)];
  if (s && s->range_nm >= c.range_nm) return false;
  s = c;
  ++revision_;
  return true;
}

std::vector<LatLon> Coverage::Outline() const {
  std::vector<LatLon> out;
  if (!farthest_) return out;
  bool at_receiver = false;
  for (const auto& s : sectors_) {
    if (s) {
      out.push_back(s->pos);
      at_receiver = false;
    } else if (!at_receiver) {
      out.push_back(receiver_);
      at_receiver = true;
    }
  }
  // The outline is closed: a run of empty sectors at the end joins the one at the start.
  if (out.size() > 1 && at_receiver && !sectors_[0]) out.pop_back();
  return out;
}

}  // namespace geo
