#include "geo/outlines.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace geo {

namespace {

constexpr char kMagic[4] = {'T', 'W', 'O', 'L'};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderBytes = 16, kCrcBytes = 4;
// Far beyond the 1:10m file (3 MB); a larger file is not one of ours.
constexpr size_t kMaxFileBytes = 64u << 20;

// Grid cells: a whole-Earth view at 1:110m reads a few hundred runs; a view 20 km across at
// 1:10m reads one to four cells of a degree.
constexpr double kCellDeg[3] = {10.0, 5.0, 1.0};
constexpr uint16_t kScale[3] = {110, 50, 10};

uint32_t Crc32(const unsigned char* p, size_t n) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xffffffffu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xff] ^ (c >> 8);
  return c ^ 0xffffffffu;
}

class Reader {
 public:
  Reader(const unsigned char* p, size_t n) : p_(p), n_(n) {}
  size_t left() const { return n_ - at_; }
  bool U16(uint16_t& v) {
    if (left() < 2) return false;
    v = static_cast<uint16_t>(p_[at_] | p_[at_ + 1] << 8);
    at_ += 2;
    return true;
  }
  bool U32(uint32_t& v) {
    if (left() < 4) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | p_[at_ + i];
    at_ += 4;
    return true;
  }
  // Unsigned LEB128 of at most 5 bytes (32 bits).
  bool Varint(uint32_t& v) {
    v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
      if (at_ >= n_) return false;
      const unsigned char b = p_[at_++];
      if (shift == 28 && (b & 0x70)) return false;
      v |= static_cast<uint32_t>(b & 0x7f) << shift;
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool Zigzag(int64_t& v) {
    uint32_t u;
    if (!Varint(u)) return false;
    v = (u & 1) ? -static_cast<int64_t>(u >> 1) - 1 : static_cast<int64_t>(u >> 1);
    return true;
  }

 private:
  const unsigned char* p_;
  size_t n_, at_ = 0;
};

const char* const kLayerNames[3] = {"land", "coastline", "border"};

// One layer's runs, decoded and checked: counts against the bytes left, every point on the Earth.
bool ReadLayer(Reader& in, int index, uint32_t units, std::vector<std::vector<double>>& runs, std::string& why) {
  const std::string name = kLayerNames[index];
  uint32_t kind, count, bytes;
  if (!in.U32(kind) || !in.U32(count) || !in.U32(bytes)) {
    why = "it ends in the header of the " + name + " layer";
    return false;
  }
  if (kind != static_cast<uint32_t>(index + 1)) {
    why = "layer " + std::to_string(index + 1) + " is of kind " + std::to_string(kind) + ", not " + name;
    return false;
  }
  if (bytes > in.left()) {
    why = "the " + name + " layer needs " + std::to_string(bytes) + " bytes, only " + std::to_string(in.left()) +
          " are left: the file is truncated";
    return false;
  }
  const size_t min_points = index == 0 ? 3 : 2;
  if (count > bytes / (1 + 2 * min_points)) {
    why = "the " + name + " layer claims " + std::to_string(count) + " outlines in " + std::to_string(bytes) + " bytes";
    return false;
  }
  Reader& data = in;
  runs.clear();
  runs.reserve(count);
  const int64_t max_lon = int64_t{180} * units, max_lat = int64_t{90} * units;
  size_t used = 0;
  for (uint32_t r = 0; r < count; ++r) {
    const size_t before = data.left();
    uint32_t n;
    if (!data.Varint(n) || n < min_points || n > data.left() / 2) {
      why = "outline " + std::to_string(r + 1) + " of the " + name + " layer has a bad point count";
      return false;
    }
    std::vector<double> pts;
    pts.reserve(2 * size_t{n});
    int64_t x = 0, y = 0;
    for (uint32_t i = 0; i < n; ++i) {
      int64_t dx, dy;
      if (!data.Zigzag(dx) || !data.Zigzag(dy)) {
        why = "outline " + std::to_string(r + 1) + " of the " + name + " layer is cut short";
        return false;
      }
      x += dx;
      y += dy;
      if (x < -max_lon || x > max_lon || y < -max_lat || y > max_lat) {
        why = "outline " + std::to_string(r + 1) + " of the " + name + " layer leaves the Earth";
        return false;
      }
      pts.push_back(static_cast<double>(x) / units);
      pts.push_back(static_cast<double>(y) / units);
    }
    used += before - data.left();
    if (used > bytes) {
      why = "the " + name + " layer runs past its stated length";
      return false;
    }
    runs.push_back(std::move(pts));
  }
  if (used != bytes) {
    why = "the " + name + " layer has " + std::to_string(bytes - used) + " bytes after its last outline";
    return false;
  }
  return true;
}

// Longitude ranges of a box, each within -180..180: one, or two across the 180th meridian.
int LonRanges(const GeoBox& box, double (&w)[2], double (&e)[2]) {
  if (!(box.west == box.west) || !(box.east == box.east)) return 0;  // NaN
  double width = box.east - box.west;
  if (width < 0) width += 360;
  if (width >= 360 || !std::isfinite(width)) {
    w[0] = -180;
    e[0] = 180;
    return 1;
  }
  double west = std::fmod(box.west + 180, 360);
  if (west < 0) west += 360;
  west -= 180;
  const double east = west + width;
  w[0] = west;
  e[0] = std::min(east, 180.0);
  if (east <= 180) return 1;
  w[1] = -180;
  e[1] = east - 360;
  return 2;
}

}  // namespace

const char* OutlineFileName(OutlineDetail detail) {
  switch (detail) {
    case OutlineDetail::k110m: return "outlines-110m.bin";
    case OutlineDetail::k50m: return "outlines-50m.bin";
    case OutlineDetail::k10m: break;
  }
  return "outlines-10m.bin";
}

OutlineDetail DetailForSpan(double lon_span) {
  return lon_span > 90 ? OutlineDetail::k110m : lon_span < 20 ? OutlineDetail::k10m : OutlineDetail::k50m;
}

bool OutlineStore::LoadLevel(OutlineDetail detail, std::string_view bytes, const std::string& name,
                             std::string* error) {
  const int index = static_cast<int>(detail);
  levels_[index] = Level{};
  std::string why;
  auto fail = [&](const std::string& text) {
    if (error) *error = name + ": " + text;
    return false;
  };
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kHeaderBytes + kCrcBytes || std::memcmp(p, kMagic, 4) != 0)
    return fail("not an outline file (it does not start with \"TWOL\")");
  Reader in(p, bytes.size() - kCrcBytes);
  uint16_t version, scale;
  uint32_t magic, units, layers;
  in.U32(magic);
  in.U16(version);
  in.U16(scale);
  in.U32(units);
  in.U32(layers);
  if (version != kVersion)
    return fail("format version " + std::to_string(version) + ", this program reads version " + std::to_string(kVersion));
  if (scale != kScale[index])
    return fail("holds the 1:" + std::to_string(scale) + "m outlines, 1:" + std::to_string(kScale[index]) +
                "m were expected");
  if (units == 0 || units > 10'000'000) return fail("a bad unit of " + std::to_string(units) + " per degree");
  if (layers != 3) return fail(std::to_string(layers) + " layers instead of 3");
  Reader tail(p + bytes.size() - kCrcBytes, kCrcBytes);
  uint32_t crc;
  tail.U32(crc);
  if (crc != Crc32(p, bytes.size() - kCrcBytes)) return fail("damaged (its checksum does not match)");

  std::vector<std::vector<double>> runs[3];
  for (int k = 0; k < 3; ++k)
    if (!ReadLayer(in, k, units, runs[k], why)) return fail(why);
  if (in.left() != 0) return fail(std::to_string(in.left()) + " bytes after the last layer");
  if (runs[0].empty()) return fail("holds no land");

  Level level;
  level.land = BuildRingCells(runs[0], kCellDeg[index]);
  level.coast = BuildLineCells(runs[1], kCellDeg[index]);
  level.border = BuildLineCells(runs[2], kCellDeg[index]);
  if (level.land.runs.empty()) return fail("holds no land with an area");
  levels_[index] = std::move(level);
  return true;
}

bool OutlineStore::Load(const std::string& dir, std::string* error) {
  std::string first_error;
  for (OutlineDetail d : {OutlineDetail::k110m, OutlineDetail::k50m, OutlineDetail::k10m}) {
    const std::string path = (dir.empty() ? std::string(".") : dir) + "/" + OutlineFileName(d);
    std::string why;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      levels_[static_cast<int>(d)] = Level{};
      why = "cannot read outline file " + path + ": " + std::strerror(errno);
    } else {
      file.seekg(0, std::ios::end);
      const std::streamoff size = file.tellg();
      file.seekg(0);
      if (size < 0 || static_cast<uint64_t>(size) > kMaxFileBytes) {
        levels_[static_cast<int>(d)] = Level{};
        why = path + ": not an outline file (" + std::to_string(size) + " bytes)";
      } else {
        std::string bytes(static_cast<size_t>(size), '\0');
        if (!file.read(bytes.data(), size)) {
          levels_[static_cast<int>(d)] = Level{};
          why = "cannot read outline file " + path;
        } else {
          LoadLevel(d, bytes, path, &why);
        }
      }
    }
    if (!why.empty() && first_error.empty()) first_error = why;
  }
  if (!first_error.empty() && error) *error = first_error;
  return first_error.empty();
}

void OutlineStore::ForEach(const Layer& layer, const GeoBox& box, const std::function<void(PointRun)>& fn) const {
  if (layer.runs.empty()) return;
  const double south = std::max(box.south, -90.0), north = std::min(box.north, 90.0);
  if (!(south <= north)) return;  // also NaN
  double w[2], e[2];
  const int ranges = LonRanges(box, w, e);
  auto col = [&](double lon) {
    return std::clamp(static_cast<int>(std::floor((lon + 180) / layer.cell_deg)), 0, layer.cols - 1);
  };
  auto row = [&](double lat) {
    return std::clamp(static_cast<int>(std::floor((lat + 90) / layer.cell_deg)), 0, layer.rows - 1);
  };
  const int r0 = row(south), r1 = row(north);
  for (int k = 0; k < ranges; ++k) {
    const int c0 = col(w[k]), c1 = col(e[k]);
    for (int r = r0; r <= r1; ++r) {
      for (int c = c0; c <= c1; ++c) {
        const size_t cell = static_cast<size_t>(r) * layer.cols + c;
        for (uint32_t i = layer.cell_start[cell]; i < layer.cell_start[cell + 1]; ++i) {
          const Run& run = layer.runs[i];
          if (run.east < w[k] || run.west > e[k] || run.north < south || run.south > north) continue;
          fn(PointRun{layer.points.data() + 2 * size_t{run.offset}, run.count});
        }
      }
    }
  }
}

void OutlineStore::ForEachLand(OutlineDetail d, const GeoBox& box, const std::function<void(PointRun)>& fn) const {
  ForEach(level(d).land, box, fn);
}

void OutlineStore::ForEachCoastline(OutlineDetail d, const GeoBox& box,
                                    const std::function<void(PointRun)>& fn) const {
  ForEach(level(d).coast, box, fn);
}

void OutlineStore::ForEachBorder(OutlineDetail d, const GeoBox& box, const std::function<void(PointRun)>& fn) const {
  ForEach(level(d).border, box, fn);
}

OutlineStore::Counts OutlineStore::CountsOf(OutlineDetail d) const {
  const Level& l = level(d);
  return {l.land.runs.size(), l.coast.runs.size(), l.border.runs.size(),
          (l.land.points.size() + l.coast.points.size() + l.border.points.size()) / 2};
}

}  // namespace geo
