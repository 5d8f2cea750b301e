// Reception gaps: a stale half of an even/odd pair must not move an aircraft a zone away,
// and an aircraft that really did move far must be tracked again.
#include <gtest/gtest.h>

#include "cpr/cpr.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

struct Fixture {
    FakeHost host;
    AirlineDirectory airlines;
    Tracker t{host, airlines};
    const DbRecord& e() { return t.Db(t.Db.IcaoDbPointer("ABC123")); }
};
constexpr uint32_t kIcao = 0xABC123;

}  // namespace

TEST(Plausibility, GapDoesNotStoreZoneError) {
    // Northbound along 5 E.
    Fixture f;
    const double lon = 5.0;
    Feed(f.t, AirbornePos(kIcao, 54.60, lon, 0));
    Feed(f.t, AirbornePos(kIcao, 54.60, lon, 1));
    ASSERT_NEAR(f.e().Lat, 54.60, 1e-4);
    // 30 km north with no messages, then a single even report: paired with the stale odd
    // half, the latitude zone index comes out wrong; decoded next to the last position,
    // the report alone gives the truth.
    Feed(f.t, AirbornePos(kIcao, 54.87, lon, 0));
    EXPECT_NEAR(f.e().Lat, 54.87, 1e-4) << "zone error stored";
    EXPECT_NEAR(f.e().Lon, lon, 1e-4);
    // The next odd report pairs with the fresh even one and tracking goes on.
    Feed(f.t, AirbornePos(kIcao, 54.871, lon, 1));
    EXPECT_NEAR(f.e().Lat, 54.871, 1e-4);
    EXPECT_NEAR(f.e().Lon, lon, 1e-4);
}

TEST(Plausibility, ZoneErrorWouldBeStoredWithoutTheRule) {
    // The same reports decoded as a bare pair: the jump the rule guards against is real.
    const CprReport stale = EncodeCpr(54.60, 5.0, 1, false), fresh = EncodeCpr(54.87, 5.0, 0, false);
    auto fix = DecodeAirbornePair({{double(fresh.lat), double(stale.lat)}, {double(fresh.lon), double(stale.lon)}}, 0);
    ASSERT_TRUE(fix);
    EXPECT_GT(std::fabs(fix->lat - 54.87), 5.0);
}

TEST(Plausibility, ReappearsFarAwayAfterTwoFreshPairs) {
    Fixture f;
    Feed(f.t, AirbornePos(kIcao, 50.0, 8.0, 0));
    Feed(f.t, AirbornePos(kIcao, 50.0, 8.0, 1));
    ASSERT_NEAR(f.e().Lat, 50.0, 1e-4);
    f.host.plotted.clear();
    // Silence, then 300 km east: the first pair is held back...
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.2, 0));
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.2, 1));
    EXPECT_NEAR(f.e().Lon, 8.0, 1e-4);
    // ...and a second agreeing pair is believed.
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.21, 0));
    Feed(f.t, AirbornePos(kIcao, 50.0, 12.22, 1));
    EXPECT_NEAR(f.e().Lat, 50.0, 1e-4);
    EXPECT_NEAR(f.e().Lon, 12.22, 1e-4);
    EXPECT_FALSE(f.host.plotted.empty());
    EXPECT_EQ(f.t.Db(f.t.Db.IcaoDbPointer("ABC123")).Altitude, 35000);
}

TEST(Plausibility, SurfaceGapAndReappearance) {
    Fixture f;
    f.host.surf_offset = 90;  // an airport at 124 E decodes in 0..90 and is shifted
    Feed(f.t, SurfacePos(kIcao, 10.30, 123.97, 0));
    Feed(f.t, SurfacePos(kIcao, 10.30, 123.97, 1));
    ASSERT_NEAR(f.e().Lat, 10.30, 1e-4);
    ASSERT_NEAR(f.e().Lon, 123.97, 1e-4);
    // 8 km north across a surface latitude zone edge (dlat 1.5254 for odd: edge at 10.678).
    Feed(f.t, SurfacePos(kIcao, 10.66, 123.97, 1));
    Feed(f.t, SurfacePos(kIcao, 10.69, 123.97, 0));
    EXPECT_NEAR(f.e().Lat, 10.30, 1e-4) << "zone error stored";
    Feed(f.t, SurfacePos(kIcao, 10.691, 123.97, 1));
    Feed(f.t, SurfacePos(kIcao, 10.692, 123.97, 0));
    EXPECT_NEAR(f.e().Lat, 10.692, 1e-4);
    EXPECT_NEAR(f.e().Lon, 123.97, 1e-4);
}
