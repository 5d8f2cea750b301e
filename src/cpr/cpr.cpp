#include "cpr.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ternwick {

namespace {

// modulo() for whole numbers, as whole numbers: a pair's zone index is one, and the
// division in floating point was the dearest step of decoding a pair. The same value.
int WholeModulo(int val, int modval) {
    const int r = val % modval;
    return r < 0 ? r + modval : r;
}

// lat(n) = acos(sqrt((1 - cos(pi / 30)) / (1 - cos(2 pi / n)))) for n = 59 down to 2:
// where the zone count drops from n to n - 1. Held as constants, no trigonometry at run time.
constexpr double kTransition[58] = {
    10.47047130, 14.82817437, 18.18626357, 21.02939493, 23.54504487, 25.82924707,
    27.93898710, 29.91135686, 31.77209708, 33.53993436, 35.22899598, 36.85025108,
    38.41241892, 39.92256684, 41.38651832, 42.80914012, 44.19454951, 45.54626723,
    46.86733252, 48.16039128, 49.42776439, 50.67150166, 51.89342469, 53.09516153,
    54.27817472, 55.44378444, 56.59318756, 57.72747354, 58.84763776, 59.95459277,
    61.04917774, 62.13216659, 63.20427479, 64.26616523, 65.31845310, 66.36171008,
    67.39646774, 68.42322022, 69.44242631, 70.45451075, 71.45986473, 72.45884545,
    73.45177442, 74.43893416, 75.42056257, 76.3968439, 77.36789461, 78.33374083,
    79.29428225, 80.24923213, 81.19801349, 82.13956981, 83.07199445, 83.99173563,
    84.89166191, 85.75541621, 86.53536998, 87.0};

// Number of transitions at or below a (0 <= a < 87), 0..57. The transitions lie at least
// 0.46 degrees apart, so a quarter of a degree holds at most one: the count at the start of
// a's quarter from a table, and one comparison with the next transition. (A search of the
// table took six unpredictable comparisons for each of the two latitudes of every pair.)
constexpr int kQuarters = 87 * 4;
constexpr std::array<uint8_t, kQuarters> kBelowQuarter = [] {
    std::array<uint8_t, kQuarters> t{};
    for (int q = 0; q < kQuarters; ++q) {
        uint8_t n = 0;
        while (n < 58 && kTransition[n] <= q / 4.0) ++n;
        t[q] = n;
    }
    return t;
}();

int TransitionsBelow(double a) {
    const int n = kBelowQuarter[static_cast<int>(a * 4.0)];
    return n + (a >= kTransition[n] ? 1 : 0);
}

constexpr double kCprScale = 131072.0;  // 2^17

struct ZoneLat {
    double rlat[2];
};

// floor(v / 2^17 + 0.5) for a whole number v of at most 24 bits: what the floating-point
// formula gives exactly (every step of it is exact at this size), with the shift flooring.
int RoundedZoneIndex(int32_t v) { return (v + 65536) >> 17; }

// Latitude zone index from the pair, and the two candidate latitudes for zone size
// dlat0 (even) and dlat1 (odd).
ZoneLat PairLatitudes(const CprPair& p, double dlat0, double dlat1) {
    const int j = RoundedZoneIndex(59 * static_cast<int32_t>(p.yz[0]) - 60 * static_cast<int32_t>(p.yz[1]));
    return {{(p.yz[0] / kCprScale + WholeModulo(j, 60)) * dlat0,
             (p.yz[1] / kCprScale + WholeModulo(j, 59)) * dlat1}};
}

// Longitudes of both reports once the NL of their latitude is known: one zone index m for
// the pair, then each report in its format's zones (nl - f of them, at least one).
std::array<double, 2> PairLongitudes(const CprPair& p, int nl, double zone_span) {
    const int m = RoundedZoneIndex((nl - 1) * static_cast<int32_t>(p.xz[0]) - nl * static_cast<int32_t>(p.xz[1]));
    std::array<double, 2> lon{};
    for (int f = 0; f < 2; ++f) {
        const int ni = std::max(nl - f, 1);
        lon[f] = (p.xz[f] / kCprScale + WholeModulo(m, ni)) * (zone_span / ni);
    }
    return lon;
}

}  // namespace

double calcnl(double val) {
    const double a = std::fabs(val);
    if (!(a < 87.0)) return 1.0;  // also catches NaN
    return 59.0 - TransitionsBelow(a);
}

std::optional<CprPairFixes> DecodeAirbornePairs(const CprPair& p) {
    ZoneLat z = PairLatitudes(p, 6.0, 360.0 / 59.0);
    for (double& r : z.rlat) {
        if (r >= 270.0) r -= 360.0;        // southern hemisphere
        if (r > 90.0) return std::nullopt;  // no latitude at all: corrupt reports
    }
    const double nl = calcnl(z.rlat[0]);
    if (nl != calcnl(z.rlat[1])) return std::nullopt;
    const std::array<double, 2> lon = PairLongitudes(p, static_cast<int>(nl), 360.0);
    return CprPairFixes{{{z.rlat[0], lon[0]}, {z.rlat[1], lon[1]}}};
}

std::optional<CprFix> DecodeAirbornePair(const CprPair& p, int f) {
    const auto both = DecodeAirbornePairs(p);
    if (!both) return std::nullopt;
    return (*both)[f];
}

std::optional<CprPairFixes> DecodeSurfacePairs(const CprPair& p, double ref_lat) {
    ZoneLat z = PairLatitudes(p, 1.5, 90.0 / 59.0);
    // One choice for both reports, so that they stay comparable.
    if (std::fabs(z.rlat[0] - 90.0 - ref_lat) < std::fabs(z.rlat[0] - ref_lat))
        for (double& r : z.rlat) r -= 90.0;
    const double nl = calcnl(z.rlat[0]);
    if (nl != calcnl(z.rlat[1])) return std::nullopt;
    const std::array<double, 2> lon = PairLongitudes(p, static_cast<int>(nl), 90.0);
    return CprPairFixes{{{z.rlat[0], lon[0]}, {z.rlat[1], lon[1]}}};
}

std::optional<CprFix> DecodeSurfacePair(const CprPair& p, int f, double ref_lat) {
    const auto both = DecodeSurfacePairs(p, ref_lat);
    if (!both) return std::nullopt;
    return (*both)[f];
}

CprFix DecodeLocal(int yz, int xz, int f, bool surface, double ref_lat, double ref_lon) {
    const double span = surface ? 90.0 : 360.0;
    const double dlat = span / (60 - f);
    const double y = yz / kCprScale, x = xz / kCprScale;
    const double j = std::floor(ref_lat / dlat) + std::floor(0.5 + modulo(ref_lat, dlat) / dlat - y);
    const double lat = dlat * (j + y);
    double ni = calcnl(lat) - f;
    if (ni < 1) ni = 1;
    const double dlon = span / ni;
    const double m = std::floor(ref_lon / dlon) + std::floor(0.5 + modulo(ref_lon, dlon) / dlon - x);
    return {lat, dlon * (m + x)};
}

}  // namespace ternwick
