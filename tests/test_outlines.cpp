#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <tuple>

#include "geo/outlines.h"
#include "temp_path.h"

using namespace geo;
using namespace ternwick::test;

namespace {

const OutlineDetail kAll[] = {OutlineDetail::k110m, OutlineDetail::k50m, OutlineDetail::k10m};

const OutlineStore& Shipped() {
  static const OutlineStore store = [] {
    OutlineStore s;
    std::string error;
    EXPECT_TRUE(s.Load(TERNWICK_SOURCE_DIR "/data/outlines", &error)) << error;
    return s;
  }();
  return store;
}

// Odd-even test over the land runs that a zero-sized box at the point returns: the pieces of
// one cell enclose exactly the land of that cell.
bool IsLand(const OutlineStore& s, OutlineDetail d, double lat, double lon) {
  int crossings = 0;
  s.ForEachLand(d, {lon, lat, lon, lat}, [&](PointRun r) {
    for (uint32_t i = 0, j = r.count - 1; i < r.count; j = i++) {
      const double xi = r.lonlat[2 * i], yi = r.lonlat[2 * i + 1], xj = r.lonlat[2 * j], yj = r.lonlat[2 * j + 1];
      if ((yi > lat) != (yj > lat) && lon < xj + (lat - yj) * (xi - xj) / (yi - yj)) ++crossings;
    }
  });
  return crossings & 1;
}

// The runs that the queries of some layers return for a box.
using Each = void (OutlineStore::*)(OutlineDetail, const GeoBox&, const std::function<void(PointRun)>&) const;
const Each kLand = &OutlineStore::ForEachLand, kCoast = &OutlineStore::ForEachCoastline,
           kBorder = &OutlineStore::ForEachBorder;
std::vector<PointRun> Read(const OutlineStore& s, std::initializer_list<Each> layers, OutlineDetail d, GeoBox box) {
  std::vector<PointRun> runs;
  for (Each each : layers) (s.*each)(d, box, [&](PointRun r) { runs.push_back(r); });
  return runs;
}

using Rings = std::vector<std::vector<int>>;

// Little-endian integers and varints, as the outline format writes them.
void Int(std::string& s, size_t v, int bytes = 4) { for (int i = 0; i < bytes; ++i) s += char(v >> 8 * i & 0xff); }
void Varint(std::string& s, uint32_t v) {
  for (; v >= 0x80; v >>= 7) s += char((v & 0x7f) | 0x80);
  s += char(v);
}

// One layer of literal runs in units of 1/10000 degree, its header claiming `count` runs.
void Layer(std::string& out, uint32_t kind, const Rings& runs, size_t count) {
  std::string data;
  for (const auto& run : runs) {
    Varint(data, static_cast<uint32_t>(run.size() / 2));
    for (size_t i = 0; i < run.size(); ++i) {  // each coordinate as a zigzag step from the point before
      const int d = run[i] - (i >= 2 ? run[i - 2] : 0);
      Varint(data, d >= 0 ? 2 * d : -2 * d - 1);
    }
  }
  Int(out, kind), Int(out, count), Int(out, data.size());
  out += data;
}

// A square island from west to east, south to north (degrees), as a ring in file units.
std::vector<int> Square(double west, double south, double east, double north) {
  auto u = [](double deg) { return static_cast<int>(std::lround(deg * 10000)); };
  return {u(west), u(south), u(east), u(south), u(east), u(north), u(west), u(north)};
}

// A small 1:110m file: by default one square island (10..12 E, 20..22 N), its coast, no border, a CRC-32.
std::string SmallFile(uint16_t version = 1, uint32_t land_runs_claimed = 1, Rings land = {Square(10, 20, 12, 22)}) {
  std::string out = "TWOL";
  Int(out, version, 2), Int(out, 110, 2), Int(out, 10000), Int(out, 3);
  Layer(out, 1, land, land_runs_claimed);
  for (auto& ring : land) ring.insert(ring.end(), {ring[0], ring[1]});
  Layer(out, 2, land, land.size());
  Layer(out, 3, {}, 0);
  uint32_t c = 0xffffffffu;
  for (unsigned char b : out) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
  }
  Int(out, c ^ 0xffffffffu);
  return out;
}

}  // namespace

TEST(OutlineStore, KnownLandAndSeaAtEveryLevel) {
  // Land from level `land_from` on (0: at every level, 3: sea at every level).
  struct Case { const char* place; double lat, lon; int land_from; };
  const Case cases[] = {
      {"Mindanao", 7.5, 125.0, 0}, {"Sulu Sea", 8.5, 121.0, 3}, {"Cebu", 10.0, 123.6, 0},
      {"mid-Pacific", 0.5, -150.5, 3}, {"Vanua Levu, west of 180", -16.6, 179.3, 0},
      {"Chukotka, west of 180", 66.5, 179.5, 0}, {"Chukotka, east of 180", 66.5, -179.5, 0},
      {"Caspian Sea (a hole in Asia)", 42.5, 50.5, 3}, {"Antarctica", -80.5, 0.5, 0},
      {"next to the South Pole", -89.5, 45.5, 0}, {"Arctic Ocean", 88.0, 10.0, 3}, {"Siberia", 60.5, 100.5, 0},
      {"Bohol, too small for 1:110m", 9.85, 124.2, 1},
  };
  for (OutlineDetail d : kAll)
    for (const Case& c : cases)
      EXPECT_EQ(IsLand(Shipped(), d, c.lat, c.lon), static_cast<int>(d) >= c.land_from) << c.place << " at level "
                                                                                        << static_cast<int>(d);
}

TEST(OutlineStore, QueriesReturnOnlyWhatMayBeInTheBox) {
  const OutlineStore& s = Shipped();
  for (OutlineDetail d : kAll) {
    const OutlineStore::Counts all = s.CountsOf(d);
    const GeoBox earth{-180, -90, 180, 90};
    EXPECT_EQ(std::tuple(Read(s, {kLand}, d, earth).size(), Read(s, {kCoast}, d, earth).size(),
                         Read(s, {kBorder}, d, earth).size()),
              std::tie(all.land_runs, all.coast_runs, all.border_runs));
    EXPECT_GT(all.border_runs, 0u);
    // Lines come in short runs, so a view at the end of a long coast reads only a stretch.
    size_t longest = 0;
    for (PointRun r : Read(s, {kCoast, kBorder}, d, earth)) longest = std::max<size_t>(longest, r.count);
    EXPECT_EQ(longest, 32u);
  }
  struct Span { double degrees; OutlineDetail detail; };
  for (const Span& sp : {Span{360, OutlineDetail::k110m}, Span{90.5, OutlineDetail::k110m}, Span{90, OutlineDetail::k50m},
                         Span{20, OutlineDetail::k50m}, Span{19.5, OutlineDetail::k10m}, Span{0.2, OutlineDetail::k10m}})
    EXPECT_EQ(DetailForSpan(sp.degrees), sp.detail) << sp.degrees;
  // A view 20 km across over Cebu City at 1:10m reads a handful of runs of a million points.
  const auto cebu = Read(s, {kLand, kCoast}, OutlineDetail::k10m, {123.80, 10.22, 123.98, 10.40});
  size_t points = 0;
  for (PointRun r : cebu) points += r.count;
  EXPECT_TRUE(!cebu.empty() && points < 2000u) << cebu.size() << " runs, " << points << " points";
  // Iceland is an island country: coast, no border.
  const GeoBox iceland{-24, 63.3, -13.5, 66.6};
  EXPECT_EQ(Read(s, {kBorder}, OutlineDetail::k10m, iceland).size(), 0u);
  EXPECT_GT(Read(s, {kCoast}, OutlineDetail::k10m, iceland).size(), 0u);
}

TEST(OutlineStore, NoRunWithAPointInTheBoxIsLeftOut) {
  // Random boxes, some across the antimeridian, against a scan of every run of the level.
  const OutlineStore& s = Shipped();
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> lon(-180, 180), lat(-90, 80), size(0.05, 40);
  for (OutlineDetail d : {OutlineDetail::k110m, OutlineDetail::k50m}) {
    const std::vector<PointRun> every = Read(s, {kCoast, kBorder}, d, {-180, -90, 180, 90});
    for (int k = 0; k < 150; ++k) {
      const double west = lon(rng), south = lat(rng), w = size(rng), h = size(rng) / 2;
      const double east = west + w > 180 ? west + w - 360 : west + w, north = std::min(90.0, south + h);
      auto inside = [&](float x, float y) {
        const bool in_lon = west <= east ? (x > west && x < east) : (x > west || x < east);
        return in_lon && y > south && y < north;
      };
      std::set<const float*> got;
      for (PointRun r : Read(s, {kCoast, kBorder}, d, {west, south, east, north})) got.insert(r.lonlat);
      for (const PointRun& r : every) {
        bool in = false;
        for (uint32_t i = 0; i < r.count && !in; ++i) in = inside(r.lonlat[2 * i], r.lonlat[2 * i + 1]);
        EXPECT_TRUE(!in || got.count(r.lonlat)) << "box " << west << "," << south << " " << east << "," << north;
      }
    }
  }
}

TEST(OutlineStore, BoxAcrossTheAntimeridianTakesBothSidesAndNothingBetween) {
  // Islands 179..180 E, 180..179 W, 177.5..177.2 W and 176..176.5 E; the box 177 E .. 178 W
  // holds the first two only, however it is written.
  OutlineStore s;
  std::string error;
  const Rings islands = {Square(179, -17, 180, -16), Square(-180, -17, -179, -16), Square(-177.5, -17, -177.2, -16),
                         Square(176, -17, 176.5, -16)};
  ASSERT_TRUE(s.LoadLevel(OutlineDetail::k110m, SmallFile(1, 4, islands), "islands.bin", &error)) << error;
  for (GeoBox box : {GeoBox{177, -19, -178, -15}, GeoBox{-183, -19, -178, -15}, GeoBox{177, -19, 182, -15},
                     GeoBox{537, -19, 182, -15}}) {
    std::set<std::pair<float, float>> land, coast;
    s.ForEachLand(OutlineDetail::k110m, box, [&](PointRun r) { land.insert({r.lonlat[0], r.lonlat[1]}); });
    s.ForEachCoastline(OutlineDetail::k110m, box, [&](PointRun r) { coast.insert({r.lonlat[0], r.lonlat[1]}); });
    const std::set<std::pair<float, float>> expect = {{179.0f, -17.0f}, {-180.0f, -17.0f}};
    EXPECT_EQ(land, expect) << box.west << " " << box.east;
    EXPECT_EQ(coast, expect) << box.west << " " << box.east;
  }
  // A box north of them, one wholly between them, one with no height and one of NaN read nothing.
  for (GeoBox box : {GeoBox{177, -15.9, -178, -10}, GeoBox{-178.9, -19, -177.6, -15}, GeoBox{177, -16, -178, -17},
                     GeoBox{NAN, -19, -178, -15}})
    EXPECT_EQ(Read(s, {kLand, kCoast}, OutlineDetail::k110m, box).size(), 0u) << box.west << " " << box.south;
}

TEST(OutlineCells, RingsAreCutAtCellEdgesAndKeepTheirArea) {
  // A triangle of 2 square degrees with its long side sloping across 1-degree cells: a square
  // and two halves, which add up to the whole only if the cuts meet the slope where it crosses.
  const auto layer = BuildRingCells({{0, 0, 2, 0, 0, 2}}, 1.0);
  ASSERT_EQ(layer.runs.size(), 3u);
  double area = 0;
  for (const auto& r : layer.runs) {
    EXPECT_TRUE(r.east - r.west <= 1 && r.north - r.south <= 1) << r.west << " " << r.south;
    const float* p = &layer.points[2 * r.offset];
    for (uint32_t i = 0, j = r.count - 1; i < r.count; j = i++) area += (p[2 * j] * p[2 * i + 1] - p[2 * i] * p[2 * j + 1]) / 2;
  }
  EXPECT_NEAR(area, 2.0, 1e-6);
  EXPECT_EQ(layer.cell_start[90 * 360 + 180 + 1] - layer.cell_start[90 * 360 + 180], 1u);  // the cell 0..1 E, 0..1 N
  // A line from 0.5 to 2.5 E along 0.5 N: three runs, split at 1 and 2 E.
  const auto lines = BuildLineCells({{0.5, 0.5, 2.5, 0.5}}, 1.0);
  ASSERT_EQ(lines.runs.size(), 3u);
  const float expect[3][2] = {{0.5f, 1.0f}, {1.0f, 2.0f}, {2.0f, 2.5f}};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::pair(lines.runs[i].west, lines.runs[i].east), std::pair(expect[i][0], expect[i][1])) << "run " << i;
}

TEST(OutlineStore, BrokenFilesAreRefusedWithTheirName) {
  OutlineStore s;
  std::string error;
  ASSERT_TRUE(s.LoadLevel(OutlineDetail::k110m, SmallFile(), "small.bin", &error)) << error;
  EXPECT_TRUE(IsLand(s, OutlineDetail::k110m, 21, 11) && !IsLand(s, OutlineDetail::k110m, 21, 13));

  const std::string good = SmallFile();
  std::string flipped = good;
  flipped[30] ^= 0x10;
  struct Case { std::string bytes; OutlineDetail level; std::string message; };
  const Case cases[] = {
      {"", OutlineDetail::k110m, "bad.bin: not an outline file"},
      {"PK\x03\x04 some zip file.........", OutlineDetail::k110m, "bad.bin: not an outline file"},
      {good.substr(0, good.size() - 9), OutlineDetail::k110m, "bad.bin: damaged"},
      {flipped, OutlineDetail::k110m, "bad.bin: damaged"},
      {SmallFile(2), OutlineDetail::k110m, "bad.bin: format version 2, this program reads version 1"},
      {good, OutlineDetail::k10m, "bad.bin: holds the 1:110m outlines, 1:10m were expected"},
      {SmallFile(1, 200), OutlineDetail::k110m, "bad.bin: the land layer claims 200 outlines in 19 bytes"},
      {SmallFile(1, 2), OutlineDetail::k110m, "bad.bin: outline 2 of the land layer has a bad point count"},
      {SmallFile(1, 0), OutlineDetail::k110m, "bad.bin: the land layer has 19 bytes after its last outline"},
      {SmallFile(1, 1, {Square(10, 89, 12, 90.5)}), OutlineDetail::k110m, "bad.bin: outline 1 of the land layer leaves the Earth"},
      {SmallFile(1, 1, {Square(-180.5, 0, 12, 1)}), OutlineDetail::k110m, "bad.bin: outline 1 of the land layer leaves the Earth"},
  };
  for (const Case& c : cases) {
    error.clear();
    EXPECT_FALSE(s.LoadLevel(c.level, c.bytes, "bad.bin", &error));
    EXPECT_EQ(error.substr(0, c.message.size()), c.message) << error;
  }
  EXPECT_FALSE(s.Has(OutlineDetail::k110m));

  // A folder with a missing and a truncated file: both named, the good level still loads.
  const std::string dir = TempPath("outlines"), shipped = TERNWICK_SOURCE_DIR "/data/outlines/outlines-";
  ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
  WriteTemp("outlines/outlines-110m.bin", ReadWholeFile(shipped + "110m.bin"));
  WriteTemp("outlines/outlines-50m.bin", ReadWholeFile(shipped + "50m.bin").substr(0, 1000));
  EXPECT_FALSE(s.Load(dir, &error));
  EXPECT_EQ(error, dir + "/outlines-50m.bin: damaged (its checksum does not match)");
  EXPECT_EQ(std::tuple(s.Has(OutlineDetail::k110m), s.Has(OutlineDetail::k50m), s.Has(OutlineDetail::k10m)),
            std::tuple(true, false, false));
  std::remove((dir + "/outlines-50m.bin").c_str());
  EXPECT_FALSE(s.Load(dir, &error));
  EXPECT_EQ(error, "cannot read outline file " + dir + "/outlines-50m.bin: No such file or directory");
  std::remove((dir + "/outlines-110m.bin").c_str());
}
