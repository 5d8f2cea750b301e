// Decoding with the receiver's position: single reports within the range where that is sure, pairs
// beyond the maximum range refused, surface positions in its quarter, the speed check by the clock.
#include <gtest/gtest.h>

#include "cpr/cpr.h"
#include "geo/great_circle.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

constexpr uint32_t kIcao = 0x4CA1F3;
constexpr geo::LatLon kDelft{52.0, 4.36};

// The point `nm` from `from` along `bearing`.
geo::LatLon Away(geo::LatLon from, double bearing, double nm) { return geo::Destination(from, bearing, nm * 1.852); }

struct Rx : Decoding {
    explicit Rx(geo::LatLon where = kDelft, double max_range = 300) { host.receiver = ReceiverRef{where, max_range}; }
    DbRecord& e() { return Entry("4CA1F3"); }
    void Air(geo::LatLon p, int odd, int second = 0) {
        host.seconds = second;
        Feed(t, AirbornePos(kIcao, p.lat, p.lon, odd));
    }
    void Surf(geo::LatLon p, int odd) { Feed(t, SurfacePos(kIcao, p.lat, p.lon, odd)); }
    bool At(geo::LatLon p, double nm = 0.01) { return e().HasPos && geo::DistanceNm({e().Lat, e().Lon}, p) <= nm; }
};

}  // namespace

TEST(ReceiverDecoding, SureRangeOfASingleReportAndPlausibleMoves) {
    // The peers' rule: the maximum range when at most 180 NM, 360 less it when below 360,
    // nothing beyond; on the surface the same with 45 NM and at most 60 NM heard.
    const struct { double max_range; bool surface; double want; } cases[] = {
        {300, false, 60},  {180, false, 180}, {100, false, 100}, {200, false, 160}, {359, false, 1},
        {360, false, 0},   {500, false, 0},   {300, true, 30},   {40, true, 40},    {50, true, 40},
        {10, true, 10},    {90, true, 30},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(LoneRangeNm(c.max_range, c.surface), c.want) << c.max_range << (c.surface ? " surface" : "");

    // Reported speed plus a quarter (at least 200 kt airborne, 20 kt surface), else 600 and
    // 100 kt, for the time since plus 2 s, plus 0.5 NM (0.1 surface).
    const struct { double seconds; int knots; bool surface; double want; } moves[] = {
        {10, 0, false, 2.5},          {10, 480, false, 2.5},  {10, 100, false, 0.5 + 2.0 / 3},
        {0, 0, true, 0.1 + 1.0 / 18}, {58, 8, true, 0.1 + 1.0 / 3}, {1798, 400, false, 250.5},
    };
    for (const auto& c : moves)
        EXPECT_NEAR(PlausibleMoveNm(c.seconds, c.knots, c.surface), c.want, 1e-9) << c.seconds << " s " << c.knots;
}

TEST(ReceiverDecoding, FirstFixFromOneReportAtTheRangeLimits) {
    // Max. range 100 NM: a single report is sure within 100 NM, even or odd, north-east or
    // south-west. With the default 300 NM only 60 NM are sure: an aircraft 250 NM out decodes
    // next to the receiver a zone off, 110 NM the other side, and is refused; told the receiver
    // hears only 180 NM, a report 150 NM out is believed; at 360 NM and more nothing is.
    const struct { double max_range, nm, bearing; int odd; bool stored; } cases[] = {
        {100, 5, 45, 0, true},      {100, 99.9, 45, 1, true},  {100, 99.98, 225, 0, true}, {100, 100.05, 225, 1, false},
        {100, 140, 45, 0, false},   {300, 250, 90, 0, false},  {180, 150, 270, 0, true},   {360, 10, 0, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nm << " NM at " << c.bearing << ", range " << c.max_range);
        Rx f(kDelft, c.max_range);
        const geo::LatLon p = Away(kDelft, c.bearing, c.nm);
        f.Air(p, c.odd);
        EXPECT_EQ(std::tuple(f.e().HasPos, f.host.plotted.size(), f.t.stats().lone_fixes, f.t.stats().lone_too_far),
                  std::tuple(c.stored, size_t(c.stored), uint64_t(c.stored), uint64_t(!c.stored)));
        if (c.stored) { EXPECT_TRUE(f.At(p) && f.e().Provisional); }
    }
}

TEST(ReceiverDecoding, APairConfirmsOrReplacesASingleReportPairsBeyondTheRangeAndPolesAreRefused) {
    // Confirmed: the pair lands where the single report did, and the position is a pair's.
    Rx f;
    const geo::LatLon p = Away(kDelft, 10, 40);
    f.Air(p, 0);
    f.Air(p, 1);
    EXPECT_TRUE(f.At(p) && !f.e().Provisional);
    // Replaced: a position that no later report backs (however it got there) gives way to
    // the first checked pair even a zone away.
    f.e().Provisional = true;
    f.e().Lat += 5.0;
    f.Air(p, 0);
    EXPECT_TRUE(f.At(p));
    EXPECT_EQ(f.t.stats().positions, 3u);

    // 120 NM out with a range of 100: the pair is refused and counted, and nothing is stored;
    // 95 NM out it is believed.
    Rx g(kDelft, 100);
    const geo::LatLon far = Away(kDelft, 300, 120), near = Away(kDelft, 300, 95);
    g.Air(far, 0);
    g.Air(far, 1);
    EXPECT_EQ(std::tuple(g.e().HasPos, g.t.stats().beyond_range), std::tuple(false, 1u));
    g.Air(near, 0);
    g.Air(near, 1);
    EXPECT_TRUE(g.At(near));

    // A report too late to pair with a single report's fix is decoded next to it and stays
    // provisional: the first checked pair may yet replace it.
    Rx h;
    const geo::LatLon q = Away(kDelft, 10, 41);
    h.Air(p, 1, 0);
    h.Air(q, 0, 20);
    EXPECT_TRUE(h.At(q) && h.e().Provisional);

    // At the South Pole station a damaged report whose zone next to the receiver lies beyond
    // the pole (-90.01) is no position.
    Rx pole({-89.95, 10.0});
    Feed(pole.t, MakeEs(kIcao, traffic::SurfacePositionMe(7, 0, -1, 0, {130000, EncodeCpr(-89.95, 10.0, 0, true).lon})));
    EXPECT_FALSE(pole.e().HasPos) << pole.e().Lat;
}

TEST(ReceiverDecoding, SurfaceNextToReceiversInFourHemispheres) {
    // Traffic in each direction from the receiver: a single report alone within 30 NM gives
    // the first position, and a pair decodes in the receiver's quarter whatever the map's
    // offset says.
    const struct { const char* where; geo::LatLon rx; } receivers[] = {
        {"north and east (Tokyo)", {35.55, 139.78}}, {"north and west (New York)", {40.64, -73.78}},
        {"south and east (Sydney)", {-33.94, 151.18}}, {"south and west (Buenos Aires)", {-34.82, -58.54}},
    };
    for (const auto& r : receivers) {
        for (const double bearing : {45.0, 135.0, 225.0, 315.0}) {
            SCOPED_TRACE(testing::Message() << r.where << " bearing " << bearing);
            const geo::LatLon p = Away(r.rx, bearing, bearing / 15);  // 3 to 21 NM
            Rx lone(r.rx);
            lone.host.surf_offset = 180;  // a map's offset for another quarter: not used
            lone.Surf(p, 1);
            EXPECT_TRUE(lone.At(p, 0.005));
            // 40 NM out a single report is not sure: only the pair places it.
            const geo::LatLon q = Away(r.rx, bearing, 40);
            Rx pair(r.rx);
            pair.host.surf_offset = -90;
            pair.Surf(q, 0);
            EXPECT_FALSE(pair.e().HasPos);
            pair.Surf(q, 1);
            EXPECT_TRUE(pair.At(q, 0.005)) << pair.e().Lat << " " << pair.e().Lon;
        }
    }
}

TEST(ReceiverDecoding, SpeedCheckWhereTheClockTells) {
    // Each case starts from a pair at the receiver at second 100 and a reported ground speed
    // of 550 kt (the velocity message's 520 east, 180 north); then reports at `p`, and after
    // each the entry must be at `want`, and `too_fast` reports counted (-1: not checked).
    const geo::LatLon on = Away(kDelft, 70, 1.6), there = Away(kDelft, 0, 12), later = Away(kDelft, 200, 150);
    struct Step { int odd, second; geo::LatLon want; int too_fast = -1; };
    const struct { const char* what; geo::LatLon p; bool times_real; std::vector<Step> steps; } cases[] = {
        // A fast jet 10 s on: 1.6 NM, well within what 550 kt allows.
        {"jet", on, true, {{0, 110, on}, {1, 110, on, 0}}},
        // A jump of 12 NM in 10 s: the single report and the pair with it are refused and
        // counted; a second pair of later reports agreeing with the first is believed.
        {"jump", there, true, {{0, 110, kDelft}, {1, 111, kDelft, 2}, {0, 112, kDelft}, {1, 113, there}}},
        // After a gap of 20 minutes, 150 NM away: 550 kt for 20 minutes is 183 NM.
        {"gap", later, true, {{0, 1300, {NAN, NAN}}, {1, 1301, later, 0}}},
        // A replay without time stamps has no clock to tell speed by: the jump is believed.
        {"replay", there, false, {{0, 110, there, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rx f;
        f.host.times_real = true;
        f.Air(kDelft, 0, 100);
        f.Air(kDelft, 1, 100);
        Feed(f.t, MakeEs(kIcao, traffic::VelocityMe({.east_kt = 520, .north_kt = 180})));
        ASSERT_EQ(f.e().Speed, 550);
        f.host.times_real = c.times_real;
        for (const Step& st : c.steps) {
            f.Air(c.p, st.odd, st.second);
            SCOPED_TRACE(testing::Message() << "at second " << st.second);
            if (!std::isnan(st.want.lat)) { EXPECT_TRUE(f.At(st.want)); }
            if (st.too_fast >= 0) { EXPECT_EQ(f.t.stats().too_fast, uint64_t(st.too_fast)); }
        }
    }
}
