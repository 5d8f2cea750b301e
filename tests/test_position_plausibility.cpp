// Reception gaps: a stale half of an even/odd pair must not move an aircraft a zone away,
// and an aircraft that really did move far must be tracked again.
#include <gtest/gtest.h>

#include <initializer_list>

#include "cpr/cpr.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

constexpr uint32_t kIcao = 0xABC123;
constexpr double kAny = NAN;    // the entry is not checked after this report
constexpr double kNoPos = 999;  // the entry has no position yet

// Within CPR resolution of a position (airborne or surface), longitude modulo 360.
bool At(const DbRecord& e, double lat, double lon, double tol = 1e-4) {
    return std::fabs(e.Lat - lat) <= tol && std::fabs(modulo(e.Lon - lon + 180, 360) - 180) <= tol;
}

// One report of kIcao, where the entry must be afterwards, and the second it is heard.
struct Report {
    double lat, lon;
    int odd;
    double want_lat = kAny, want_lon = kAny;
    int second = 0;
};

struct Fixture : Decoding {
    bool surface;
    explicit Fixture(bool surface = false, double offset = 0) : surface(surface) { host.surf_offset = offset; }
    DbRecord& e() { return Entry("ABC123"); }
    // Feeds the reports in turn, checking the entry after each.
    void Play(std::initializer_list<Report> reports) {
        for (const Report& r : reports) {
            host.seconds = r.second;
            Feed(t, surface ? SurfacePos(kIcao, r.lat, r.lon, r.odd) : AirbornePos(kIcao, r.lat, r.lon, r.odd));
            SCOPED_TRACE(testing::Message() << "after " << r.lat << " " << r.lon << ": " << e().Lat << " " << e().Lon);
            if (!std::isnan(r.want_lat)) {
                EXPECT_TRUE(r.want_lat == kNoPos ? !e().HasPos : e().HasPos && At(e(), r.want_lat, r.want_lon));
            }
        }
    }
};

}  // namespace

TEST(Plausibility, GapDoesNotStoreZoneErrorAndReappearsFarAwayAfterTwoFreshPairs) {
    // Northbound along 5 E, then 30 km north after a gap a single even report: paired with the
    // stale odd half it lands a zone (over 5 degrees) off, decoded alone next to the last
    // position it is right; the next odd report pairs with it and tracking goes on.
    Fixture f, g;
    f.Play({{54.60, 5.0, 0}, {54.60, 5.0, 1, 54.60, 5.0}, {54.87, 5.0, 0, 54.87, 5.0}, {54.871, 5.0, 1, 54.871, 5.0}});
    // Silence, then 300 km east (within half a zone, so a report decoded next to the old
    // position lands there too): the first pair is held, a second agreeing pair is believed.
    g.Play({{50.0, 8.0, 0}, {50.0, 8.0, 1, 50.0, 8.0}, {50.0, 12.2, 0}, {50.0, 12.2, 1, 50.0, 8.0},
            {50.0, 12.21, 0}, {50.0, 12.22, 1, 50.0, 12.22}});
    EXPECT_EQ(g.host.plotted.size(), 2u);

    // On the surface, 8 km north across a latitude zone edge (dlat 1.5254 for odd: edge at
    // 10.678): the pair across the edge is refused, the next one believed.
    Fixture h(true, 90);  // an airport at 124 E decodes in 0..90 and is shifted
    h.Play({{10.30, 123.97, 0}, {10.30, 123.97, 1, 10.30, 123.97}, {10.66, 123.97, 1}, {10.69, 123.97, 0, 10.30, 123.97},
            {10.691, 123.97, 1}, {10.692, 123.97, 0, 10.692, 123.97}});
}

TEST(Plausibility, StaleHalvesBeforeTheFirstPairAndInterleaved) {
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
        Fixture f(c.surface, c.offset);
        f.Play({{c.lat + c.back_lat, c.lon + c.back_lon, 1}, {c.lat, c.lon, 0, kNoPos}});
        EXPECT_EQ(f.t.stats().refused_pairs, 1u);
        f.Play({{c.lat, c.lon + 0.0001, 1, c.lat, c.lon + 0.0001}});
    }

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

TEST(Plausibility, APairWhoseHalvesLieApartIsRefusedAndAHeldPairIsForgottenWhenTheTrackGoesOn) {
    // 0.04 degree apart along one meridian: the two decodes differ in latitude alone.
    Fixture f, g;
    f.Play({{50.0, 8.0, 0}, {50.04, 8.0, 1, kNoPos}});
    EXPECT_EQ(f.t.stats().refused_pairs, 1u);
    // A pair 4 degrees east is held; the track then goes on where it was, and a later pair
    // near the held one is only held in its turn, not taken as its confirmation.
    g.Play({{50.0, 8.0, 0}, {50.0, 8.0, 1, 50.0, 8.0}, {50.0, 12.2, 0}, {50.0, 12.2, 1, 50.0, 8.0},
            {50.0, 8.01, 0}, {50.0, 8.01, 1, 50.0, 8.01}, {50.0, 12.21, 0}, {50.0, 12.22, 1, 50.0, 8.01},
            {50.0, 12.23, 0}, {50.0, 12.24, 1, 50.0, 12.24}});
}

TEST(Plausibility, WrongPositionCorrectedByTwoPairs) {
    // Near the equator the zone counts do not change within 6 degrees, so a stale half 0.1017
    // degree south (the difference of the even and odd zone heights) makes a pair whose two
    // decodes agree, 6 degrees off: no check of one pair can see it.
    Fixture f;
    f.Play({{2.0 - 0.1017, 30.0, 1}, {2.0, 30.0, 0}});
    ASSERT_NEAR(std::fabs(f.e().Lat - 2.0), 6.0, 0.01);
    // Fresh pairs disagree with it by a zone. One is held; a second made of later reports
    // moves the aircraft (one that shares a report with the first would not).
    f.Play({{2.001, 30.0, 1}, {2.002, 30.0, 0}});
    EXPECT_NEAR(std::fabs(f.e().Lat - 2.0), 6.0, 0.2);
    f.Play({{2.003, 30.0, 1, 2.003, 30.0}});

    // On the ground, an entry shown 7 degrees west of its airport, however it got there.
    f.e().Lat = -33.94;
    f.e().Lon = 144.18;
    f.surface = true;
    f.Play({{-33.94, 151.18, 0}, {-33.94, 151.18, 1}, {-33.94, 151.18, 0}});
    EXPECT_NEAR(f.e().Lon, 144.18, 0.5);
    f.Play({{-33.94, 151.18, 1, -33.94, 151.18}});
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
        EXPECT_EQ(std::tie(f.e().Speed, f.e().PosKind), std::tuple(s.knots, "S")) << "code " << s.code;
    }
    EXPECT_TRUE(At(f.e(), -33.94, 151.18, 2e-5)) << f.e().Lat << " " << f.e().Lon;
    EXPECT_EQ(f.e().Altitude, 975);
}

TEST(Plausibility, HalvesPairOnlyCloseInTimeASingleReportCountsUpToTenMinutes) {
    // 11 s apart: no pair; 10 s: a pair. An hour later, 9 degrees east (the clock counts
    // seconds within the hour): a pair across the hour is held, and a single report is not
    // decoded next to the hour-old position, where it would land a zone (9.5 degrees) away.
    Fixture f, g(true), h, k(true);
    f.Play({{50.0, 8.0, 0, kNoPos, 0, 100}, {50.0, 8.03, 1, kNoPos, 0, 111}, {50.0, 8.06, 0, 50.0, 8.06, 121},
            {50.0, 17.0, 1, kAny, kAny, 3595}, {50.0, 17.03, 0, kAny, kAny, 5}, {50.0, 17.2, 1, 50.0, 8.06, 40},
            {50.0, 17.23, 0, 50.0, 17.23, 45}});
    // On the surface, 50 s.
    g.Play({{51.47, 0.45, 0, kNoPos, 0, 0}, {51.47, 0.45, 1, kNoPos, 0, 51}, {51.47, 0.451, 0, 51.47, 0.451, 101}});

    // A single report decoded next to the last fix: 1 minute and exactly 10 minutes later still a
    // position, 10 minutes and 1 second later none (five minutes on the surface).
    h.Play({{50.0, 8.0, 0, kNoPos, 0, 100}, {50.0, 8.0, 1, 50.0, 8.0, 101}, {50.1, 8.1, 0, 50.1, 8.1, 161},
            {50.2, 8.2, 1, 50.2, 8.2, 761}, {50.3, 8.3, 0, 50.2, 8.2, 1362}});
    k.Play({{51.47, 0.45, 0, kNoPos, 0, 0}, {51.47, 0.45, 1, 51.47, 0.45, 1}, {51.471, 0.452, 0, 51.471, 0.452, 61},
            {51.472, 0.454, 1, 51.472, 0.454, 361}, {51.473, 0.456, 0, 51.472, 0.454, 662}});
}

TEST(Plausibility, ZoneBoundariesTheEquatorAndGreenwichArePositionsNoLatitudeBeyondAPole) {
    // A raw latitude or longitude of 0 is a report like any other: on the equator at
    // Greenwich, on an even-zone boundary (every 6 degrees), and at a longitude of exactly 0.
    const std::pair<double, double> places[] = {{0.0, 0.0}, {6.0, 30.0}, {-12.0, 0.0}, {51.5, 0.0}};
    for (const auto& [lat, lon] : places) {
        Fixture f;
        f.Play({{lat, lon, 0}, {lat, lon, 1, lat, lon}});
        EXPECT_EQ(f.host.plotted.size(), 1u);
        EXPECT_EQ(f.t.StatusText(), "Flights in range: 1\r\nFlights with pos: 1\r\n");
    }

    // Taxiing at the South Pole station; a damaged report whose nearest zone lies beyond the
    // pole (-90.01, close enough to pass for a move) is no position.
    Fixture f(true);
    f.Play({{-89.95, 10.0, 0}, {-89.95, 10.0, 1}});
    ASSERT_TRUE(f.e().HasPos);
    Feed(f.t, MakeEs(kIcao, traffic::SurfacePositionMe(7, 0, -1, 0, {130000, EncodeCpr(-89.95, 10.0, 0, true).lon})));
    EXPECT_NEAR(f.e().Lat, -89.95, 0.01);
}
