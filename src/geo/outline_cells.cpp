// The outline store's grid: land rings clipped to the cells they cover, lines split where they
// cross a cell edge, each piece kept with its bounding box.
#include <algorithm>
#include <cmath>

#include "geo/outlines.h"

namespace geo {

namespace {

using Points = std::vector<double>;  // lon,lat pairs

struct Piece {
  int cell;
  Points pts;
};

// Lines are cut into runs of at most this many points, so that a view at the edge of a long
// coastline reads only the stretch it shows.
constexpr size_t kMaxLinePoints = 32;

struct Grid {
  double cell;
  int cols, rows;
  int Col(double lon) const { return std::clamp(static_cast<int>(std::floor((lon + 180) / cell)), 0, cols - 1); }
  int Row(double lat) const { return std::clamp(static_cast<int>(std::floor((lat + 90) / cell)), 0, rows - 1); }
  // Last cell an extent reaches into: an outline that only touches a cell's west or south edge
  // is not in it.
  int LastCol(double lon) const { return std::clamp(static_cast<int>(std::ceil((lon + 180) / cell)) - 1, 0, cols - 1); }
  int LastRow(double lat) const { return std::clamp(static_cast<int>(std::ceil((lat + 90) / cell)) - 1, 0, rows - 1); }
};

double Area(const Points& r) {
  double s = 0;
  const size_t n = r.size() / 2;
  for (size_t i = 0, j = n - 1; i < n; j = i++) s += r[2 * j] * r[2 * i + 1] - r[2 * i] * r[2 * j + 1];
  return s / 2;
}

// Sutherland-Hodgman against one half-plane: coordinate `axis` (0 lon, 1 lat) >= v, or <= v.
Points Clip(const Points& r, int axis, double v, bool keep_above) {
  Points out;
  const size_t n = r.size() / 2;
  if (n == 0) return out;
  out.reserve(r.size() + 8);
  auto inside = [&](size_t i) { return keep_above ? r[2 * i + axis] >= v : r[2 * i + axis] <= v; };
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const bool in_j = inside(j), in_i = inside(i);
    if (in_i != in_j) {
      const double t = (v - r[2 * j + axis]) / (r[2 * i + axis] - r[2 * j + axis]);
      const double other = r[2 * j + 1 - axis] + t * (r[2 * i + 1 - axis] - r[2 * j + 1 - axis]);
      if (axis == 0) out.insert(out.end(), {v, other});
      else out.insert(out.end(), {other, v});
    }
    if (in_i) out.insert(out.end(), {r[2 * i], r[2 * i + 1]});
  }
  return out;
}

// Halves the ring's range of cells until each piece lies in one cell: every level of the
// recursion reads each point once, so a continent costs its points times the depth, not its
// points times its cells.
void SplitRing(const Points& ring, const Grid& g, std::vector<Piece>& out) {
  if (ring.size() < 6) return;
  double w = 1e9, e = -1e9, s = 1e9, n = -1e9;
  for (size_t i = 0; i < ring.size(); i += 2) {
    w = std::min(w, ring[i]);
    e = std::max(e, ring[i]);
    s = std::min(s, ring[i + 1]);
    n = std::max(n, ring[i + 1]);
  }
  const int c0 = g.Col(w), c1 = std::max(c0, g.LastCol(e));
  const int r0 = g.Row(s), r1 = std::max(r0, g.LastRow(n));
  if (c0 == c1 && r0 == r1) {
    if (std::fabs(Area(ring)) > 1e-12) out.push_back({r0 * g.cols + c0, ring});
    return;
  }
  int axis;
  double cut;
  if (c1 - c0 >= r1 - r0) {
    axis = 0;
    cut = -180 + g.cell * ((c0 + c1 + 1) / 2);
  } else {
    axis = 1;
    cut = -90 + g.cell * ((r0 + r1 + 1) / 2);
  }
  SplitRing(Clip(ring, axis, cut, false), g, out);
  SplitRing(Clip(ring, axis, cut, true), g, out);
}

Grid MakeGrid(double cell_deg) {
  return {cell_deg, static_cast<int>(std::lround(360 / cell_deg)), static_cast<int>(std::lround(180 / cell_deg))};
}

OutlineStore::Layer Pack(std::vector<Piece>& pieces, const Grid& g) {
  std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.cell < b.cell; });
  OutlineStore::Layer layer;
  layer.cell_deg = g.cell;
  layer.cols = g.cols;
  layer.rows = g.rows;
  layer.cell_start.assign(static_cast<size_t>(g.cols) * g.rows + 1, 0);
  size_t total = 0;
  for (const Piece& p : pieces) total += p.pts.size();
  layer.points.reserve(total);
  layer.runs.reserve(pieces.size());
  for (const Piece& p : pieces) {
    OutlineStore::Run run{static_cast<uint32_t>(layer.points.size() / 2), static_cast<uint32_t>(p.pts.size() / 2),
                          180, 90, -180, -90};
    for (size_t i = 0; i < p.pts.size(); i += 2) {
      const float lon = static_cast<float>(p.pts[i]), lat = static_cast<float>(p.pts[i + 1]);
      layer.points.push_back(lon);
      layer.points.push_back(lat);
      run.west = std::min(run.west, lon);
      run.east = std::max(run.east, lon);
      run.south = std::min(run.south, lat);
      run.north = std::max(run.north, lat);
    }
    layer.runs.push_back(run);
    ++layer.cell_start[p.cell + 1];
  }
  for (size_t c = 1; c < layer.cell_start.size(); ++c) layer.cell_start[c] += layer.cell_start[c - 1];
  return layer;
}

}  // namespace

OutlineStore::Layer BuildRingCells(const std::vector<std::vector<double>>& rings, double cell_deg) {
  const Grid g = MakeGrid(cell_deg);
  std::vector<Piece> pieces;
  for (const Points& r : rings) SplitRing(r, g, pieces);
  return Pack(pieces, g);
}

OutlineStore::Layer BuildLineCells(const std::vector<std::vector<double>>& lines, double cell_deg) {
  const Grid g = MakeGrid(cell_deg);
  std::vector<Piece> pieces;
  for (const Points& line : lines) {
    if (line.size() < 4) continue;
    Piece run{-1, {}};
    auto finish = [&] {
      if (run.pts.size() >= 4) pieces.push_back(run);
      run.pts.clear();
    };
    std::vector<double> ts;
    for (size_t i = 2; i + 1 < line.size(); i += 2) {
      const double ax = line[i - 2], ay = line[i - 1], bx = line[i], by = line[i + 1];
      if (ax == bx && ay == by) continue;
      // Where the segment crosses a cell edge, as fractions of its length.
      ts.assign({0.0, 1.0});
      for (int axis = 0; axis < 2; ++axis) {
        const double a = axis ? ay : ax, b = axis ? by : bx, base = axis ? -90 : -180;
        const double lo = std::min(a, b), hi = std::max(a, b);
        for (double k = std::floor((lo - base) / g.cell) + 1; base + k * g.cell < hi; ++k)
          ts.push_back((base + k * g.cell - a) / (b - a));
      }
      std::sort(ts.begin(), ts.end());
      for (size_t k = 0; k + 1 < ts.size(); ++k) {
        if (ts[k + 1] <= ts[k]) continue;
        const double tm = (ts[k] + ts[k + 1]) / 2;
        const int cell = g.Row(ay + tm * (by - ay)) * g.cols + g.Col(ax + tm * (bx - ax));
        const double sx = ax + ts[k] * (bx - ax), sy = ay + ts[k] * (by - ay);
        if (cell != run.cell || run.pts.size() >= 2 * kMaxLinePoints) {
          finish();
          run.cell = cell;
          run.pts.insert(run.pts.end(), {sx, sy});
        }
        const double ex = k + 2 == ts.size() ? bx : ax + ts[k + 1] * (bx - ax);
        const double ey = k + 2 == ts.size() ? by : ay + ts[k + 1] * (by - ay);
        run.pts.insert(run.pts.end(), {ex, ey});
      }
    }
    finish();
  }
  return Pack(pieces, g);
}

}  // namespace geo
