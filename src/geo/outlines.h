// Natural Earth land, coastlines and country borders at three levels of detail, loaded once
// from the shipped outline files and indexed in a grid of cells, so that drawing a view touches
// only the outlines that may be in it. The file format is described in tools/README.md.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace geo {

enum class OutlineDetail { k110m, k50m, k10m };

// Degrees; west > east means the box crosses the 180th meridian (170, -20, -170, 20 is the
// 20 degrees around Fiji). A box 360 degrees wide or more takes every longitude.
struct GeoBox { double west, south, east, north; };

// lon,lat pairs in degrees, longitudes within -180..180. No run steps across the 180th
// meridian: a view across it shifts whole runs by 360 degrees, never single points.
struct PointRun { const float* lonlat; uint32_t count; };

// The file of one level of detail inside the outline folder: "outlines-110m.bin" ...
const char* OutlineFileName(OutlineDetail detail);

// The level that suits a view `lon_span` degrees wide: 1:110m beyond 90 degrees, 1:10m below
// 20, 1:50m between.
OutlineDetail DetailForSpan(double lon_span);

// Loaded once (about 0.15 s of one core for all three levels, 12 MB in memory); the queries
// change nothing, so a loaded store may be read from several threads at once.
class OutlineStore {
 public:
  // Reads the three files from `dir`. A file that is missing, truncated or corrupt leaves its
  // level empty (nothing is drawn from it) and makes Load return false with a message naming
  // the file; the levels that did load stay usable.
  bool Load(const std::string& dir, std::string* error);

  // Reads one level from the bytes of its file; `name` is used in the message.
  bool LoadLevel(OutlineDetail detail, std::string_view bytes, const std::string& name, std::string* error);

  bool Has(OutlineDetail detail) const { return !level(detail).land.runs.empty(); }

  // Land to fill: closed rings (stored open: the last point joins the first), cut at the cell
  // edges so that a zoomed view only touches what it shows. Add every run of one call to one
  // path and fill it with the odd-even rule: lakes are rings of their own, and the cut edges
  // meet exactly, so no seam shows. The cut edges are no coastline: never stroke land runs.
  void ForEachLand(OutlineDetail detail, const GeoBox& box, const std::function<void(PointRun)>& fn) const;
  // Coastlines and borders between two countries to stroke: open polylines of a few dozen
  // points at most. A border is never also a coastline.
  void ForEachCoastline(OutlineDetail detail, const GeoBox& box, const std::function<void(PointRun)>& fn) const;
  void ForEachBorder(OutlineDetail detail, const GeoBox& box, const std::function<void(PointRun)>& fn) const;

  // Totals of one level, for messages and benchmarks.
  struct Counts { size_t land_runs = 0, coast_runs = 0, border_runs = 0, points = 0; };
  Counts CountsOf(OutlineDetail detail) const;

  // One layer: runs grouped by grid cell (a cell's runs are runs[cell_start[c] .. cell_start[c+1])).
  struct Run {
    uint32_t offset, count;          // into points, in pairs
    float west, south, east, north;  // bounding box
  };
  struct Layer {
    double cell_deg = 0;
    int cols = 0, rows = 0;
    std::vector<uint32_t> cell_start;
    std::vector<Run> runs;
    std::vector<float> points;
  };

 private:
  struct Level { Layer land, coast, border; };
  const Level& level(OutlineDetail d) const { return levels_[static_cast<int>(d)]; }
  void ForEach(const Layer& layer, const GeoBox& box, const std::function<void(PointRun)>& fn) const;

  std::array<Level, 3> levels_;
};

// Building a layer's cells from whole outlines (lon,lat pairs in degrees): rings are clipped
// to every cell they cover, lines are split where they cross a cell edge.
OutlineStore::Layer BuildRingCells(const std::vector<std::vector<double>>& rings, double cell_deg);
OutlineStore::Layer BuildLineCells(const std::vector<std::vector<double>>& lines, double cell_deg);

}  // namespace geo
