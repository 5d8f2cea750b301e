// The session's per-message bookkeeping: what the live map remembers is kept only while a
// live map is kept, and from the message after it was asked for.
#include <gtest/gtest.h>

#include "session/receiver_setting.h"
#include "session_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

// 40621D's even and odd airborne position (52.2658 N 3.9389 E, decoded by the newer, odd
// one) and its all-call reply, and the identification of 4840D6 (KLM1023).
constexpr char kEven[] = "8D40621D58C382D690C8AC2863A7", kOdd[] = "8D40621D58C386435CC412692AD6";
constexpr char kAllCall[] = "5D40621D4F94D0";
constexpr char kIdent[] = "8D4840D6202CC371C32CE0576098";

}  // namespace

TEST(SessionLiveMap, RemembersAircraftOnlyWhileALiveMapIsKeptAndRedrawsForKilometresAnHour) {
    HeadlessSession h("7:10:00:00");
    EXPECT_FALSE(h.s.LiveMapKept());
    for (const char* m : {kEven, kOdd}) h.Feed(m);
    const int16_t i = h.s.Db().IcaoDbPointer("40621D");
    ASSERT_GE(i, 0);
    EXPECT_TRUE(h.s.Db()(i).HasPos);  // decoding itself is the same
    EXPECT_EQ(h.s.tracks().size(), 0u);
    const uint64_t revision = h.s.LiveRevision();

    // From here on: a message without a position from the aircraft that already has one
    // gives no trail point (the position came before the live map was kept).
    h.s.SetLiveMapKept(true);
    h.Feed(kAllCall);
    h.Feed(kIdent);
    EXPECT_GT(h.s.LiveRevision(), revision);
    const LiveAircraft* a = h.s.tracks().Find(0x40621D);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::tuple(a->messages, a->has_position, a->positions), std::tuple(3u, false, 0u));
    const LiveAircraft* klm = h.s.tracks().Find(0x4840D6);
    ASSERT_NE(klm, nullptr);
    EXPECT_EQ(klm->messages, 1u);

    // The next pair is remembered with its place.
    for (const char* m : {kEven, kOdd}) h.Feed(m);
    a = h.s.tracks().Find(0x40621D);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::tuple(a->messages, a->has_position), std::tuple(5u, true));
    ASSERT_FALSE(a->trail.empty());
    EXPECT_NEAR(a->trail.back().lat, 52.2658, 1e-4);
    EXPECT_NEAR(a->trail.back().lon, 3.9389, 1e-4);

    // Off again: nothing more is noted.
    h.s.SetLiveMapKept(false);
    h.Feed(kAllCall);
    EXPECT_EQ(h.s.tracks().Find(0x40621D)->messages, 5u);

    // Kilometres an hour redraw the map (the labels show speeds); the list's expiry does not.
    const uint64_t before = h.s.LiveRevision();
    for (auto [expire, kmh, redraws] : {std::tuple{120.0, true, 1u}, {60.0, true, 1u}, {60.0, false, 2u}}) {
        h.s.SetListSettings({expire, kmh});
        EXPECT_EQ(h.s.LiveRevision(), before + redraws) << expire << (kmh ? " km/h" : " kt");
    }
}

TEST(SessionReceiver, FarthestPositionInNauticalMilesOrKilometres) {
    geo::Coverage c;
    c.Reset({52.0, 4.0});
    EXPECT_EQ(FarthestText(c, false), "Farthest: none yet");
    // A hair west of due north: a bearing of 359.7 reads 000, not 360.
    c.Add({52.25, 3.998}, 38000);
    EXPECT_EQ(FarthestText(c, false), "Farthest: 15.0 NM at 000 deg");
    EXPECT_EQ(FarthestText(c, true), "Farthest: 27.8 km at 000 deg");
    c.Add({51.6, 4.9}, std::nullopt);
    EXPECT_EQ(FarthestText(c, false), "Farthest: 41.2 NM at 125 deg");
}
