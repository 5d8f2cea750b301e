#include "cpr.h"

#include <cmath>
#include <cstdint>

namespace ternwick {

double modulo(double val, double modval) {
    return val - modval * std::floor(val / modval);
}

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

// Number of transitions at or below a (0..58): a balanced binary search over the table,
// at most six comparisons (the first splits at the 30th transition, 59.95459277).
int TransitionsBelow(double a) {
    int lo = 0, hi = 58;  // answer in [lo, hi]
    while (lo < hi) {
        const int mid = (lo + hi) / 2;  // compare with kTransition[mid]
        if (a >= kTransition[mid]) lo = mid + 1; else hi = mid;
    }
    return lo;
}

constexpr double kCprScale = 131072.0;  // 2^17

struct ZoneLat {
    double rlat[2];
};

// Latitude zone index from the pair, and the two candidate latitudes for zone size
// dlat0 (even) and dlat1 (odd).
ZoneLat PairLatitudes(const CprPair& p, double dlat0, double dlat1) {
    // The product difference is an exact integer; it fits 32 bits for 17-bit reports.
    const int32_t diff = 59 * static_cast<int32_t>(p.yz[0]) - 60 * static_cast<int32_t>(p.yz[1]);
    const int j = static_cast<int>(std::floor(diff / kCprScale + 0.5));
    return {{(p.yz[0] / kCprScale + WholeModulo(j, 60)) * dlat0,
             (p.yz[1] / kCprScale + WholeModulo(j, 59)) * dlat1}};
}

// Longitude of format f's report once the NL of its latitude is known.
double PairLongitude(const CprPair& p, int f, double nl, double zone_span) {
    double ni = nl - f;
    if (ni < 1) ni = 1;
    // Both whole numbers of at most 59 (nl is a zone count, the reports 17 bits).
    const int m = static_cast<int>(std::floor(((nl - 1) * p.xz[0] - p.xz[1] * nl) / kCprScale + 0.5));
    return (p.xz[f] / kCprScale + WholeModulo(m, static_cast<int>(ni))) * (zone_span / ni);
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
    return CprPairFixes{{{z.rlat[0], PairLongitude(p, 0, nl, 360.0)}, {z.rlat[1], PairLongitude(p, 1, nl, 360.0)}}};
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
    return CprPairFixes{{{z.rlat[0], PairLongitude(p, 0, nl, 90.0)}, {z.rlat[1], PairLongitude(p, 1, nl, 90.0)}}};
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
