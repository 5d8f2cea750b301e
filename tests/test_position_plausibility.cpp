// Reception gaps: a stale half of an even/odd pair must not move an aircraft a zone away,
// and an aircraft that really did move far must be tracked again.
#include <gtest/gtest.h>

#include "cpr/cpr.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

struct Fixture : Decoding {
    DbRecord& e() { return Entry("ABC123"); }
};
constexpr uint32_t kIcao = 0xABC123;

// Within CPR resolution of a position (airborne or surface), longitude modulo 360.
bool At(const DbRecord& e, double lat, double lon, double tol = 1e-4) {
    return std::fabs(e.Lat - lat) <= tol && std::fabs(modulo(e.Lon - lon + 180, 360) - 180) <= tol;
}

}  // namespace

TEST(Plausibility, GapDoesNotStoreZoneError) {
    // Northbound along 5 E.
    Fixture f;
    const double lon = 5.0;
    Feed(f.t, AirbornePos(kIcao, 54.60, lon, 0));
    Feed(f.t, AirbornePos(kIcao, 54.60, lon, 1));
    ASSERT_NEAR(f.e().Lat, 54.60, 1e-4);
    // 30 km north with no messages, then a single even report: paired with the stale odd
    // half, the latitude zone index comes out wrong (over 5 degrees off); decoded next to
    // the last position, the report alone gives the truth.
    Feed(f.t, AirbornePos(kIcao, 54.87, lon, 0));
    EXPECT_TRUE(At(f.e(), 54.87, lon)) << f.e().Lat << " zone error stored";
    // The next odd report pairs with the fresh even one and tracking goes on.
    Feed(f.t, AirbornePos(kIcao, 54.871, lon, 1));
    EXPECT_TRUE(At(f.e(), 54.871, lon)) << f.e().Lat;
}

TEST(Plausibility, ReappearsFarAwayAfterTwoFreshPairs) {
    Fixture f;
    Feed(f.t, AirbornePos(kIcao, 50.0, 8.0, 0));
    Feed(f.t, AirbornePos(kIcao, 50.0, 8.0, 1));
    // Silence, then 300 km east (within half a zone, so a report decoded next to the old
    // position lands there too): the first pair is held...
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.2, 0));
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.2, 1));
    EXPECT_TRUE(At(f.e(), 50.0, 8.0)) << f.e().Lon;
    // ...and a second agreeing pair is believed.
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.21, 0));
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.22, 1));
    EXPECT_TRUE(At(f.e(), 50.0, 12.22)) << f.e().Lon;
    EXPECT_EQ(f.host.plotted.size(), 2u);
}

TEST(Plausibility, SurfaceGapAndReappearance) {
    Fixture f;
    f.host.surf_offset = 90;  // an airport at 124 E decodes in 0..90 and is shifted
    Feed(f.t, SurfacePos(kIcao, 10.30, 123.97, 0));
    Feed(f.t, SurfacePos(kIcao, 10.30, 123.97, 1));
    ASSERT_TRUE(At(f.e(), 10.30, 123.97));
    // 8 km north across a surface latitude zone edge (dlat 1.5254 for odd: edge at 10.678).
    Feed(f.t, SurfacePos(kIcao, 10.66, 123.97, 1));
    Feed(f.t, SurfacePos(kIcao, 10.69, 123.97, 0));
    EXPECT_NEAR(f.e().Lat, 10.30, 1e-4) << "zone error stored";
    Feed(f.t, SurfacePos(kIcao, 10.691, 123.97, 1));
    Feed(f.t, SurfacePos(kIcao, 10.692, 123.97, 0));
    EXPECT_TRUE(At(f.e(), 10.692, 123.97)) << f.e().Lat;
}

TEST(Plausibility, StaleHalfBeforeTheFirstPair) {
    // The odd half was heard some way back along the track (a reception gap, or a record out
    // of order): paired with the first even one it shifts a zone index, and taken unchecked
    // that pair would be the first fix, a zone off. It is refused; the first fresh pair counts.
    const struct { const char* where; double lat, lon, back_lat, back_lon; bool surface; double offset; } cases[] = {
        {"Sydney, south and east", -33.95, 151.18, 0.30, 0.0, false, 0},
        {"Buenos Aires, south and west", -34.82, -58.54, 0.0, 0.40, false, 0},
        {"New York, north and west", 40.64, -73.78, -0.25, -0.10, false, 0},
        {"Sydney, taxiing", -33.94, 151.18, 0.0, 0.026, true, 90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        Fixture f;
        f.host.surf_offset = c.offset;
        auto pos = [&](double lat, double lon, int odd) {
            return c.surface ? SurfacePos(kIcao, lat, lon, odd) : AirbornePos(kIcao, lat, lon, odd);
        };
        Feed(f.t, pos(c.lat + c.back_lat, c.lon + c.back_lon, 1));
        Feed(f.t, pos(c.lat, c.lon, 0));
        EXPECT_FALSE(f.e().HasPos) << f.e().Lat << " " << f.e().Lon;
        EXPECT_EQ(f.t.stats().refused_pairs, 1u);
        Feed(f.t, pos(c.lat, c.lon + 0.0001, 1));
        EXPECT_TRUE(At(f.e(), c.lat, c.lon + 0.0001)) << f.e().Lat << " " << f.e().Lon;
    }
}

TEST(Plausibility, HalvesOfTwoMomentsInterleaved) {
    // Two receivers' records merged, one 30 s late: eastbound at 480 kt, the moments lie
    // 0.065 degree apart. Every position stored is one of the two, never a zone away.
    Fixture f;
    const double lat = 10.30, now = 123.565, then = 123.50;
    const int order[][2] = {{0, 0}, {1, 1}, {0, 1}, {1, 0}, {0, 0}, {1, 1}, {0, 1}, {1, 0}};  // {moment, odd}
    for (const auto& [late, odd] : order) {
        Feed(f.t, AirbornePos(kIcao, lat, late ? then : now, odd));
        if (f.e().Lat != 0) {
            EXPECT_TRUE(At(f.e(), lat, now) || At(f.e(), lat, then)) << f.e().Lat << " " << f.e().Lon;
        }
    }
    EXPECT_TRUE(At(f.e(), lat, then));
    EXPECT_EQ(f.t.stats().refused_pairs, 4u);
}

TEST(Plausibility, WrongPositionCorrectedByTwoPairs) {
    // Near the equator the zone counts do not change within 6 degrees, so a stale half 0.1017
    // degree south (the difference of the even and odd zone heights) makes a pair whose two
    // decodes agree, 6 degrees off: no check of one pair can see it.
    Fixture f;
    Feed(f.t, AirbornePos(kIcao, 2.0 - 0.1017, 30.0, 1));
    Feed(f.t, AirbornePos(kIcao, 2.0, 30.0, 0));
    ASSERT_NEAR(std::fabs(f.e().Lat - 2.0), 6.0, 0.01);
    // Fresh pairs disagree with it by a zone. One is held; a second made of later reports
    // moves the aircraft (one that shares a report with the first would not).
    Feed(f.t, AirbornePos(kIcao, 2.001, 30.0, 1));
    Feed(f.t, AirbornePos(kIcao, 2.002, 30.0, 0));
    EXPECT_NEAR(std::fabs(f.e().Lat - 2.0), 6.0, 0.2);
    Feed(f.t, AirbornePos(kIcao, 2.003, 30.0, 1));
    EXPECT_TRUE(At(f.e(), 2.003, 30.0)) << f.e().Lat;

    // On the ground, an entry shown 7 degrees west of its airport, however it got there.
    f.e().Lat = -33.94;
    f.e().Lon = 144.18;
    for (int k = 0; k < 3; ++k) Feed(f.t, SurfacePos(kIcao, -33.94, 151.18, k % 2));
    EXPECT_NEAR(f.e().Lon, 144.18, 0.5);
    Feed(f.t, SurfacePos(kIcao, -33.94, 151.18, 1));
    EXPECT_TRUE(At(f.e(), -33.94, 151.18)) << f.e().Lat << " " << f.e().Lon;
}

TEST(Plausibility, LandingThenTaxiingWithSurfaceMovement) {
    // A map for another quarter of the globe (offset 0): the surface pairs take the solution
    // next to the last airborne fix, south of the equator.
    Fixture f;
    Feed(f.t, AirbornePos(kIcao, -33.90, 151.15, 0, 1000));
    Feed(f.t, AirbornePos(kIcao, -33.901, 151.151, 1, 975));
    f.e().Speed = 140;  // from the last airborne velocity
    // Movement codes from every band of the table, and their speeds at the bottom of the band.
    const struct { int code, knots; } steps[] = {
        {124, 175}, {115, 130}, {100, 82}, {60, 36}, {44, 20}, {30, 11}, {20, 6}, {0, 6},
        {10, 1}, {5, 1}, {4, 0}, {125, 0}, {20, 6}, {1, 0}};
    int odd = 0;
    for (const auto& s : steps) {
        Feed(f.t, SurfacePos(kIcao, -33.94, 151.18, odd ^= 1, s.code));
        EXPECT_EQ(f.e().Speed, s.knots) << "code " << s.code;
        EXPECT_EQ(f.e().PosKind, "S");
    }
    EXPECT_TRUE(At(f.e(), -33.94, 151.18, 2e-5)) << f.e().Lat << " " << f.e().Lon;
    EXPECT_EQ(f.e().Altitude, 975);
}

TEST(Plausibility, HalvesPairOnlyCloseInTime) {
    auto at = [](Fixture& x, int second, const std::string& hex) {
        x.host.seconds = second;
        Feed(x.t, hex);
    };
    Fixture f;
    at(f, 100, AirbornePos(kIcao, 50.0, 8.0, 0));
    at(f, 111, AirbornePos(kIcao, 50.0, 8.03, 1));  // 11 s apart: no pair
    EXPECT_EQ(f.e().Lat, 0.0);
    at(f, 121, AirbornePos(kIcao, 50.0, 8.06, 0));  // 10 s: a pair
    EXPECT_TRUE(At(f.e(), 50.0, 8.06));
    // An hour later, 9 degrees east (the clock counts seconds within the hour): a pair across
    // the hour is held, and a single report is not decoded next to the hour-old position,
    // where it would land a zone (9.5 degrees) away from the truth.
    at(f, 3595, AirbornePos(kIcao, 50.0, 17.0, 1));
    at(f, 5, AirbornePos(kIcao, 50.0, 17.03, 0));
    at(f, 40, AirbornePos(kIcao, 50.0, 17.2, 1));
    EXPECT_TRUE(At(f.e(), 50.0, 8.06));
    at(f, 45, AirbornePos(kIcao, 50.0, 17.23, 0));
    EXPECT_TRUE(At(f.e(), 50.0, 17.23));

    // On the surface, 50 s.
    Fixture g;
    at(g, 0, SurfacePos(kIcao, 51.47, 0.45, 0));
    at(g, 51, SurfacePos(kIcao, 51.47, 0.45, 1));
    EXPECT_EQ(g.e().Lat, 0.0);
    at(g, 101, SurfacePos(kIcao, 51.47, 0.451, 0));
    EXPECT_TRUE(At(g.e(), 51.47, 0.451));
}

TEST(Plausibility, ZoneBoundariesTheEquatorAndGreenwichArePositions) {
    // A raw latitude or longitude of 0 is a report like any other: on the equator at
    // Greenwich, on an even-zone boundary (every 6 degrees), and at a longitude of exactly 0.
    const std::pair<double, double> places[] = {{0.0, 0.0}, {6.0, 30.0}, {-12.0, 0.0}, {51.5, 0.0}};
    for (const auto& [lat, lon] : places) {
        Fixture f;
        Feed(f.t, AirbornePos(kIcao, lat, lon, 0));
        Feed(f.t, AirbornePos(kIcao, lat, lon, 1));
        EXPECT_TRUE(f.e().HasPos && At(f.e(), lat, lon)) << lat << " " << lon;
        EXPECT_EQ(f.host.plotted.size(), 1u);
        EXPECT_EQ(f.t.StatusText(), "Flights in range: 1\r\nFlights with pos: 1\r\n");
    }
}

TEST(Plausibility, NoLatitudeBeyondAPole) {
    // Taxiing at the South Pole station; a damaged report whose nearest zone lies beyond the
    // pole (-90.01, close enough to pass for a move) is no position.
    Fixture f;
    Feed(f.t, SurfacePos(kIcao, -89.95, 10.0, 0));
    Feed(f.t, SurfacePos(kIcao, -89.95, 10.0, 1));
    ASSERT_TRUE(f.e().HasPos);
    Feed(f.t, MakeEs(kIcao, traffic::SurfacePositionMe(7, 0, -1, 0, {130000, EncodeCpr(-89.95, 10.0, 0, true).lon})));
    EXPECT_GE(f.e().Lat, -90.0);
    EXPECT_NEAR(f.e().Lat, -89.95, 0.01);
}
