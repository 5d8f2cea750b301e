// libFuzzer target: arbitrary bytes as a 1:110m outline file. The loader must refuse what is
// broken with a message, or build a store whose every run can be read. Inputs whose first byte
// is odd get a correct checksum first, so that the fuzzer also reaches the layers behind it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "geo/outlines.h"

namespace {

uint32_t Crc32(const unsigned char* p, size_t n) {
  uint32_t c = 0xffffffffu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xffffffffu;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size >= 8 && (data[0] & 1)) {
    bytes[0] = 'T';
    const uint32_t crc = Crc32(reinterpret_cast<const unsigned char*>(bytes.data()), size - 4);
    for (int i = 0; i < 4; ++i) bytes[size - 4 + i] = static_cast<char>(crc >> 8 * i);
  }
  geo::OutlineStore store;
  std::string error;
  const bool ok = store.LoadLevel(geo::OutlineDetail::k110m, bytes, "fuzz.bin", &error);
  if (ok != error.empty()) __builtin_trap();
  if (!ok) return 0;
  double sum = 0;
  auto touch = [&](geo::PointRun r) {
    if (r.count < 2) __builtin_trap();
    for (uint32_t i = 0; i < 2 * r.count; ++i) sum += r.lonlat[i];
  };
  for (const geo::GeoBox& box : {geo::GeoBox{-180, -90, 180, 90}, geo::GeoBox{170, -30, -170, 30},
                                 geo::GeoBox{10.5, 20.5, 10.6, 20.6}, geo::GeoBox{-400, -100, 400, 100}}) {
    store.ForEachLand(geo::OutlineDetail::k110m, box, touch);
    store.ForEachCoastline(geo::OutlineDetail::k110m, box, touch);
    store.ForEachBorder(geo::OutlineDetail::k110m, box, touch);
  }
  if (sum != sum) __builtin_trap();  // NaN: a point that is not on the Earth
  return 0;
}
