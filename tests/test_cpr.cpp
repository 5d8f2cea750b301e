// The CPR arithmetic on its own: zone counts, the published pairs, pairs that give no position,
// and positions encoded all over the globe. (Local decoding: the plausibility and receiver tests.)
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "cpr/cpr.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

TEST(Cpr, NlAtTheTransitionsAndAgainstTheClosedFormula) {
    const struct { double lat, nl; } cases[] = {
        {0, 59},       {10.47047129, 59}, {10.4704713, 58}, {56.6, 32}, {58.0, 31}, {59.0, 30},
        {-45, 42},     {45, 42},          {86.9, 2},        {87, 1},    {90, 1},    {330, 1},
        {76.3968439, 13}, {76.39684389, 14}, {59.95459277, 29}, {59.95459276, 30}};
    for (const auto& c : cases) EXPECT_EQ(calcnl(c.lat), c.nl) << c.lat;
    // Away from the transitions (where rounding of the constants decides) the table and
    // the closed formula (the traffic generator's) must give the same zone count.
    for (int k = 0; k < 8999; ++k) ASSERT_EQ(calcnl(k * 0.01 + 0.005), traffic::NumberOfZones(k * 0.01 + 0.005)) << k;
    // Just either side of every transition, where the count changes from n to n - 1.
    constexpr double pi = std::numbers::pi;
    for (int n = 59; n >= 2; --n) {
        const double t = std::acos(std::sqrt((1 - std::cos(pi / 30)) / (1 - std::cos(2 * pi / n)))) * 180 / pi;
        ASSERT_EQ(calcnl(t - 1e-6), n) << t;
        ASSERT_EQ(calcnl(-t - 1e-6), n - 1) << t;
    }
}

TEST(Cpr, PairsKnownAnswersAndPairsThatGiveNothing) {
    const struct { int yz0, xz0, yz1, xz1, f; double lat, lon; bool surface = false; } cases[] = {
        {34953, 85779, 16894, 83522, 1, 49.600013, 6.200001},
        {34953, 85779, 16894, 83522, 0, 49.600021, 6.199975},
        {34953, 1748, 16894, 129324, 1, NAN, 9.599972},           // m = -37
        {43691, 124154, 25486, 124336, 1, NAN, 359.499974},        // m = -1, west of Greenwich
        // The frames 8D40621D58C382D690C8AC2863A7 / 8D40621D58C386435CC412692AD6.
        {93000, 51372, 74158, 50194, 0, 52.25720, 3.91937},
        {16, 1000, 1108, 2000, 0, 0.000732, 0.046552},  // 59 yz0 - 60 yz1 = -2^16: zone index 0, not -1
        {87381, 40000, 55341, 65536, 1, 87.999976, 180.0},  // NL 1: the odd report has one zone, not 0
        {11360, 81527, 70153, 72483, 1, 49.630004, 6.210003, true},
        {11360, 81527, 70153, 72483, 0, 49.630005, 6.210004, true},
    };
    for (const auto& c : cases) {
        const CprPair p{{double(c.yz0), double(c.yz1)}, {double(c.xz0), double(c.xz1)}};
        auto fix = c.surface ? DecodeSurfacePair(p, c.f) : DecodeAirbornePair(p, c.f);
        ASSERT_TRUE(fix) << c.yz0;
        if (!std::isnan(c.lat)) { EXPECT_NEAR(fix->lat, c.lat, 5e-6) << c.yz0; }
        EXPECT_NEAR(fix->lon, c.lon, 5e-6) << c.xz0;
    }
    // Nothing from a damaged pair: j = 20 puts the even candidate at 120..126 degrees.
    EXPECT_FALSE(DecodeAirbornePair({{44431, 1}, {0, 0}}, 0));
    // Nor when both candidates lie just past the pole (90.50 and 90.55 degrees).
    EXPECT_FALSE(DecodeAirbornePair({{10923, 109044}, {0, 0}}, 0));
    // Even report just south of the 42/41 zone boundary, odd report just north of it.
    const CprReport e = EncodeCpr(44.18, 10.0, 0, false), o = EncodeCpr(44.21, 10.0, 1, false);
    EXPECT_FALSE(DecodeAirbornePair({{double(e.lat), double(o.lat)}, {double(e.lon), double(o.lon)}}, 1));
}

TEST(Cpr, EncodedPositionsDecodeEverywhere) {
    // Quadrants, the equator, the 180th meridian, near the poles; southern latitudes come
    // out in -90..0, longitudes in 0..360.
    const double points[][2] = {{52.3, 4.8},  {-33.9, 151.2}, {-34.6, -58.4}, {40.6, -73.8}, {0.01, 0.01},
                                {-0.01, 179.99}, {64.1, -179.95}, {85.5, 30.0}, {-85.5, -120.0}, {89.2, 10}};
    for (const auto& pt : points) {
        for (int f = 0; f <= 1; ++f) {
            const CprReport e = EncodeCpr(pt[0], pt[1], 0, false), o = EncodeCpr(pt[0], pt[1], 1, false);
            auto fix = DecodeAirbornePair({{double(e.lat), double(o.lat)}, {double(e.lon), double(o.lon)}}, f);
            ASSERT_TRUE(fix) << pt[0] << "," << pt[1];
            EXPECT_NEAR(fix->lat, pt[0], 6.0 / 131072) << pt[0] << "," << pt[1];
            // Longitude resolution is one 2^17th of a zone, and zones widen towards the poles.
            const double lon_tol = 360.0 / std::max(traffic::NumberOfZones(pt[0]) - 1, 1) / 131072;
            EXPECT_NEAR(modulo(fix->lon - pt[1] + 180, 360) - 180, 0, lon_tol) << pt[0] << "," << pt[1];
            EXPECT_TRUE(fix->lon >= 0 && fix->lon < 360) << fix->lon;
        }
    }
}
