// Which aircraft the report output keeps: the radius around the receiver, the altitude
// bounds, callsigns only; an aircraft leaving them is withdrawn once and comes back as a new
// report; the counts by rule; the options of the headless replay.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aprs/aprs_filter.h"
#include "session_support.h"
#include "temp_path.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

DbRecord Aircraft(double lat, double lon, int feet, const char* kind = "A", bool has_altitude = true,
                  const char* flight = "") {
    DbRecord e;
    e.Icao = "ABC001";
    e.HasPos = true;
    e.Lat = lat;
    e.Lon = lon;
    e.PosKind = kind;
    e.Altitude = feet;
    e.HasAltitude = has_altitude;
    e.Flight = flight;
    return e;
}

// A headless session with one aircraft at 10.31 N 123.91 E.
struct Gateway : HeadlessSession {
    int sent = 0;
    // One position of the aircraft at `feet` (none: no altitude in the message); the first
    // time, both halves of a pair so that it plots.
    void Position(const char* when, std::optional<int> feet) {
        At(when);
        do {
            const int odd = sent % 2;
            const uint32_t ac12 = feet ? traffic::AltitudeQ1(*feet) : 0;
            Feed(MakeEs(0xABC001, traffic::AirbornePositionMe(11, ac12, odd, EncodeCpr(10.31, 123.91, odd, false))));
        } while (++sent < 2);
    }
    void Filter(const AprsFilter& f) { s.aprs().SetFilter(f); }
};

}  // namespace

TEST(AprsFilter, EachPositionJudgedByTheFirstRuleItFails) {
    const geo::LatLon rx{52.0, 4.0};
    const DbRecord north = Aircraft(52.5, 4.0, 10000);  // 30.0203 NM from the receiver
    struct Case {
        const char* what;
        AprsFilter f;
        DbRecord e;
        std::optional<geo::LatLon> receiver;
        AprsFilterRule want;
    };
    using R = AprsFilterRule;
    const Case cases[] = {
        {"no filter: even without position or altitude", {}, DbRecord{}, std::nullopt, R::Pass},
        {"just inside the radius", {.radius_nm = 30.0204}, north, rx, R::Pass},
        {"just outside the radius", {.radius_nm = 30.0202}, north, rx, R::Radius},
        {"no receiver: nobody is within", {.radius_nm = 5000}, north, std::nullopt, R::Radius},
        {"the table's 0..360 longitudes", {.radius_nm = 1}, Aircraft(52.0, 359.0, 0), geo::LatLon{52.0, -1.0},
         R::Pass},
        {"west of the receiver", {.radius_nm = 36.9}, Aircraft(52.0, 359.0, 0), geo::LatLon{52.0, 0.0}, R::Radius},
        {"at the lowest altitude", {.min_feet = 10000}, north, rx, R::Pass},
        {"a step below it", {.min_feet = 10000}, Aircraft(52.5, 4.0, 9975), rx, R::MinAltitude},
        {"at the highest altitude", {.max_feet = 10000}, north, rx, R::Pass},
        {"a step above it", {.max_feet = 10000}, Aircraft(52.5, 4.0, 10025), rx, R::MaxAltitude},
        {"both bounds, between", {.min_feet = 9000, .max_feet = 11000}, north, rx, R::Pass},
        {"surface under a ceiling: on the ground", {.max_feet = 5000}, Aircraft(52.5, 4.0, 35000, "S"), rx, R::Pass},
        {"surface above a floor", {.min_feet = 1000}, Aircraft(52.5, 4.0, 35000, "S"), rx, R::MinAltitude},
        {"altitude not heard, both bounds", {.min_feet = 1000, .max_feet = 40000},
         Aircraft(52.5, 4.0, 10000, "A", false), rx, R::MinAltitude},
        {"altitude not heard, a ceiling", {.max_feet = 40000}, Aircraft(52.5, 4.0, 0, "A", false), rx,
         R::MaxAltitude},
        {"0 ft heard under a ceiling", {.max_feet = 40000}, Aircraft(52.5, 4.0, 0), rx, R::Pass},
        {"no callsign", {.callsign_only = true}, north, rx, R::Callsign},
        {"a callsign of spaces", {.callsign_only = true}, Aircraft(52.5, 4.0, 0, "A", true, "        "), rx,
         R::Callsign},
        {"a callsign", {.callsign_only = true}, Aircraft(52.5, 4.0, 0, "A", true, "KLM1023 "), rx, R::Pass},
        {"the radius first", {.radius_nm = 10, .min_feet = 20000, .callsign_only = true}, north, rx, R::Radius},
        {"then the altitudes", {.radius_nm = 40, .max_feet = 5000, .callsign_only = true}, north, rx,
         R::MaxAltitude},
    };
    for (const Case& c : cases) EXPECT_EQ(AprsFilterCheck(c.f, c.e, c.receiver), c.want) << c.what;
}

TEST(AprsFilter, LeavingWithdrawsOnceAndReenteringReportsAnew) {
    for (const bool kill : {true, false}) {
        SCOPED_TRACE(kill ? "Kill expired on" : "Kill expired off");
        Gateway g;
        g.s.aprs().SetStyle(false, kill);
        g.s.SetListSettings({25.0, false});
        g.Filter({.max_feet = 10000});
        g.Position("5:14:07:00", 9000);
        EXPECT_EQ(g.Names(), "ABC001 ");
        EXPECT_EQ(g.s.aprs().Counts().reported, 1u);
        g.Position("5:14:07:05", 11000);  // climbs out
        g.Position("5:14:07:10", 12000);
        EXPECT_EQ(g.Names(), kill ? "ABC001 ABC001_ " : "ABC001 ");
        EXPECT_EQ(g.s.aprs().Counts().reported, 0u);
        g.Position("5:14:07:15", 9500);  // back below: a new report at once
        g.Position("5:14:07:20", 12000);
        EXPECT_EQ(g.Names(), kill ? "ABC001 ABC001_ ABC001 ABC001_ " : "ABC001 ABC001 ");
        // Leaving the table while outside withdraws nothing more.
        g.At("5:14:08:00");
        g.s.ShowTextTable();
        EXPECT_EQ(g.s.Db().InUse(), 0);
        EXPECT_EQ(g.Names(), kill ? "ABC001 ABC001_ ABC001 ABC001_ " : "ABC001 ABC001 ");
        const AprsCounts c = g.s.aprs().Counts();
        EXPECT_EQ(c.sent, kill ? 4u : 2u);
        EXPECT_EQ(c.withdrawn, kill ? 2u : 0u);
        EXPECT_EQ(c.filtered.max_alt, 3u);
        EXPECT_EQ(c.HeldBack(), 3u);
        EXPECT_EQ(c.reported, 0u);
    }
    // The withdrawal shows where the aircraft was when it left.
    Gateway g;
    g.s.aprs().SetStyle(true, true);
    g.Filter({.min_feet = 5000});
    g.Position("5:14:07:00", 9000);
    g.Position("5:14:07:05", 4000);
    ASSERT_EQ(g.lines.size(), 2u);
    EXPECT_EQ(g.lines[1], "QZ7TRK>APZ001,TCPIP*:;ABC001   _051407z1018.59N/12354.60E^/A=004000\r");
}

TEST(AprsFilter, ComingBackWaitsOutItsIntervalAndAnUnknownAltitudeWaits) {
    // Back inside 20 s after its last report, with "Min. s" 60: its new report waits out the
    // interval, so an aircraft at the edge does not take a slot at every crossing.
    Gateway g;
    g.s.aprs().SetStyle(false, true);
    g.s.aprs().SetRate({60, 0});
    g.Filter({.min_feet = 5000});
    g.Position("5:14:07:00", 9000);
    g.Position("5:14:07:10", 3000);
    g.Position("5:14:07:20", 9600);  // moved: no double interval
    g.Position("5:14:07:59", 9600);
    EXPECT_EQ(g.Names(), "ABC001 ABC001_ ");
    g.Position("5:14:08:00", 9600);
    EXPECT_EQ(g.Names(), "ABC001 ABC001_ ABC001 ");
    AprsCounts c = g.s.aprs().Counts();
    EXPECT_EQ(c.filtered.min_alt, 1u);
    EXPECT_EQ(c.held.interval, 2u);

    // Waiting out its interval when it leaves: it stops waiting, and nothing of it goes out
    // while it stays outside.
    g.Position("5:14:08:10", 12000);
    g.Position("5:14:08:20", 3000);
    g.Position("5:14:09:30", 3000);
    EXPECT_EQ(g.Names(), "ABC001 ABC001_ ABC001 ABC001_ ");

    // Positions without an altitude are held back by the bound until one is heard.
    Gateway u;
    u.Filter({.max_feet = 40000});
    u.Position("5:14:07:00", std::nullopt);
    u.Position("5:14:07:05", std::nullopt);
    EXPECT_EQ(u.Names(), "");
    EXPECT_EQ(u.s.aprs().Counts().filtered.max_alt, 2u);
    u.Position("5:14:07:10", 1000);
    EXPECT_EQ(u.Names(), "ABC001 ");
}

TEST(AprsFilter, RadiusAroundTheSessionsReceiver) {
    // The aircraft is 18.61 NM north of the receiver. (Callsigns only: the rule's cases and the
    // replay's options.)
    Gateway g;
    g.s.SetReceiver(geo::LatLon{10.0, 123.91});
    g.s.aprs().SetStyle(false, true);
    g.Filter({.radius_nm = 18.6});
    g.Position("5:14:07:00", 9000);
    EXPECT_EQ(g.Names(), "");
    g.Filter({.radius_nm = 18.7});
    g.Position("5:14:07:05", 9000);
    EXPECT_EQ(g.Names(), "ABC001 ");
    g.s.SetReceiver(geo::LatLon{10.0, 123.0});  // the receiver moves away
    g.Position("5:14:07:10", 9000);
    EXPECT_EQ(g.Names(), "ABC001 ABC001_ ");
    g.s.SetReceiver(std::nullopt);  // and none at all
    g.Position("5:14:07:15", 9000);
    // Both halves of the first pair plotted (the first decoded next to the receiver).
    EXPECT_EQ(g.s.aprs().Counts().filtered.radius, 4u);

}

TEST(AprsFilter, ReplayOptionsRefusalsAndCountsOnlyForFiltersSet) {
    const std::string replay = std::string(TERNWICK_BIN_DIR) + "/ternwick-replay --airlines /dev/null --at 5:14:07:00 ";
    // The published pair: 52.2658 N 3.9389 E at 38000 ft, 16.12 NM from 52.0 N 4.0 E.
    const std::string log = WriteTemp(
        "aprs-filter.log", "*8D40621D58C382D690C8AC2863A7;\r\n*8D40621D58C386435CC412692AD6;\r\n");
    const std::pair<std::string, std::string> refused[] = {
        {"--aprs-radius 20", "ternwick-replay: --aprs-radius needs --receiver: the radius is measured from the "
                             "receiver's position\n"},
        {"--receiver 52,4 --aprs-radius -1", "ternwick-replay: --aprs-radius '-1': must be a number from 0 to 10000\n"},
        {"--aprs-min-alt 1e9", "ternwick-replay: --aprs-min-alt '1e9': must be a whole number from 0 to 100000\n"},
        {"--aprs-min-alt 20000 --aprs-max-alt 10000",
         "ternwick-replay: --aprs-min-alt is above --aprs-max-alt: no aircraft could be reported\n"},
    };
    for (const auto& [args, message] : refused) {
        const RunResult r = RunCommand(replay + "--aprs " + args + " " + log + " 2>&1");
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, message) << args;
    }
    const RunResult near =
        RunCommand(replay + "--aprs --stats --receiver 52,4 --aprs-radius 16.2 --aprs-max-alt 38000 " + log);
    EXPECT_EQ(near.status, 0);
    // The first report decoded next to the receiver, then the pair.
    EXPECT_EQ(near.out.find("QZ7TRK>APZ001,TCPIP*:;40621D   *051407z5215.  N/00355.00E^        \n"
                            "QZ7TRK>APZ001,TCPIP*:;40621D   *051407z5215.  N/00356.00E^        \n"),
              0u)
        << near.out;
    const RunResult far = RunCommand(replay + "--stats --aprs --receiver 52,4 --aprs-radius 16.1 --aprs-min-alt 1000 "
                                              "--aprs-callsign-only " + log);
    // The pair is 16.12 NM out; the single report nearer, but without a callsign.
    EXPECT_NE(far.out.find("\nAPRS reports sent: 0\nAPRS reports held back: 2\n  by the interval: 0\n"
                           "  hardly moved: 0\n  by the ceiling: 0\n  by the radius: 1\n  by the lowest altitude: 0\n"
                           "  by the callsign: 1\nAPRS objects withdrawn: 0\n"),
              std::string::npos)
        << far.out;
}
