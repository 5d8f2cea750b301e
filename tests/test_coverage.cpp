// The coverage outline: the farthest position heard in each 5-degree sector of bearing from
// the receiver, with range and bearing on the mean-radius sphere.
#include <gtest/gtest.h>

#include "geo/coverage.h"

using geo::Coverage;
using geo::LatLon;

static std::vector<std::pair<double, double>> Pairs(const std::vector<LatLon>& v) {
    std::vector<std::pair<double, double>> p;
    for (const LatLon& q : v) p.emplace_back(q.lat, q.lon);
    return p;
}

TEST(Coverage, RangeBearingAndSectors) {
    // From 0 N 0 E one degree of arc is 60.0405 NM (6371.0088 km mean radius, 1852 m a NM).
    Coverage c;
    c.Reset({0, 0});
    EXPECT_FALSE(c.Farthest());
    EXPECT_TRUE(c.Outline().empty());
    const struct { LatLon pos; bool widened; int sector; double range, bearing; } heard[] = {
        {{1, 0}, true, 0, 60.0405, 0.0},            // due north
        {{0, 1}, true, 18, 60.0405, 90.0},          // due east
        {{0, 1}, false, 18, 60.0405, 90.0},         // the same again: not wider
        {{0, -1}, true, 54, 60.0405, 270.0},        // due west
        {{0, -2}, true, 54, 120.0811, 270.0},       // farther in the same sector: replaces
        {{0, -0.5}, false, 54, 120.0811, 270.0},    // nearer: the sector keeps its point
        {{-0.5, -0.5}, true, 44, 42.4548, 224.9989},// just short of 225: the sector below
        {{0, 359}, false, 54, 120.0811, 270.0},     // 359 E is 1 W, nearer than 2 W
        {{0, 90}, true, 18, 5403.6486, 90.0},       // a quarter of the way round
    };
    for (const auto& h : heard) {
        SCOPED_TRACE(testing::Message() << h.pos.lat << " " << h.pos.lon);
        EXPECT_EQ(c.Add(h.pos, 35000), h.widened);
        ASSERT_TRUE(c.Sector(h.sector));
        EXPECT_NEAR(c.Sector(h.sector)->range_nm, h.range, 1e-3);
        EXPECT_NEAR(c.Sector(h.sector)->bearing_deg, h.bearing, 1e-3);
    }
    EXPECT_NEAR(c.Farthest()->range_nm, 5403.6486, 1e-3);
    EXPECT_NEAR(c.Farthest()->pos.lon, 90.0, 1e-9);

    // The outline in order of bearing, the receiver standing for each run of silent sectors.
    EXPECT_EQ(Pairs(c.Outline()), Pairs({{1, 0}, {0, 0}, {0, 90}, {0, 0}, {-0.5, -0.5}, {0, 0}, {0, -2}, {0, 0}}));
    // A fresh start forgets everything; the altitude of a surface position is none. With the
    // first sector silent the receiver opens the outline, and the silent run at the end is
    // the same run: the receiver and the point, not the receiver twice.
    c.Reset({52.0, 4.36});
    EXPECT_FALSE(c.Farthest());
    c.Add({51.5, 4.36}, std::nullopt);
    EXPECT_FALSE(c.Sector(36)->altitude_ft);
    EXPECT_EQ(Pairs(c.Outline()), Pairs({{52.0, 4.36}, {51.5, 4.36}}));
}
