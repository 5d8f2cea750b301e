// The report filters and naming: leaving them or a rename withdraws the old object once; replay options.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "aprs/aprs_filter.h"
#include "session_support.h"
#include "temp_path.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

// 30.0203 NM north of 52 N 4 E unless told.
DbRecord Aircraft(int feet, const char* kind = "A", bool has_altitude = true, const char* flight = "", double lat = 52.5,
                  double lon = 4.0) {
    DbRecord e;
    e.Icao = "ABC001", e.HasPos = true, e.Lat = lat, e.Lon = lon, e.PosKind = kind;
    e.Altitude = feet, e.HasAltitude = has_altitude, e.Flight = flight;
    return e;
}

// An identification message of type code `tc` (4 to 1: category sets A to D).
std::string Identification(uint32_t icao, const char* call, int tc, int category) {
    uint64_t me = 0;
    EXPECT_TRUE(traffic::IdentificationMe(call, category, me)) << call;
    return MakeEs(icao, (me & ~(uint64_t(0x1F) << 51)) | uint64_t(tc) << 51);
}

// A headless session with aircraft ABC001 at 10.31 N 123.91 E.
struct Gateway : HeadlessSession {
    int sent = 0;
    // A position at `feet` (none: no altitude in the message); the first time a pair, so that it plots.
    void Position(const char* when, std::optional<int> feet) {
        At(when);
        do {
            const int odd = sent % 2;
            const uint32_t ac12 = feet ? traffic::AltitudeQ1(*feet) : 0;
            Feed(MakeEs(0xABC001, traffic::AirbornePositionMe(11, ac12, odd, EncodeCpr(10.31, 123.91, odd, false))));
        } while (++sent < 2);
    }
    // Each report as its name, "*" (live) or "_" (withdrawn), and its symbol.
    std::string Objects() const {
        std::string out;
        for (const std::string& l : lines) out += l.substr(22, 10) + l.substr(57, 1) + " ";
        return out;
    }
};

}  // namespace

TEST(AprsFilter, EachPositionJudgedByTheFirstRuleItFails) {
    const geo::LatLon rx{52.0, 4.0};
    const DbRecord north = Aircraft(10000);
    using R = AprsFilterRule;
    const std::tuple<const char*, AprsFilter, DbRecord, std::optional<geo::LatLon>, R> cases[] = {
        {"no filter: even without position or altitude", {}, DbRecord{}, std::nullopt, R::Pass},
        {"just inside the radius", {.radius_nm = 30.0204}, north, rx, R::Pass},
        {"just outside the radius", {.radius_nm = 30.0202}, north, rx, R::Radius},
        {"no receiver: nobody is within", {.radius_nm = 5000}, north, std::nullopt, R::Radius},
        {"the table's 0..360 longitudes", {.radius_nm = 1}, Aircraft(0, "A", true, "", 52, 359), {{52, -1}}, R::Pass},
        {"west of the receiver", {.radius_nm = 36.9}, Aircraft(0, "A", true, "", 52, 359), {{52, 0}}, R::Radius},
        {"at the lowest altitude", {.min_feet = 10000}, north, rx, R::Pass},
        {"a step below it", {.min_feet = 10000}, Aircraft(9975), rx, R::MinAltitude},
        {"at the highest altitude", {.max_feet = 10000}, north, rx, R::Pass},
        {"a step above it", {.max_feet = 10000}, Aircraft(10025), rx, R::MaxAltitude},
        {"both bounds, between", {.min_feet = 9000, .max_feet = 11000}, north, rx, R::Pass},
        {"surface under a ceiling: on the ground", {.max_feet = 5000}, Aircraft(35000, "S"), rx, R::Pass},
        {"surface above a floor", {.min_feet = 1000}, Aircraft(35000, "S"), rx, R::MinAltitude},
        {"altitude not heard, both bounds", {.min_feet = 1000, .max_feet = 40000}, Aircraft(10000, "A", false), rx,
         R::MinAltitude},
        {"altitude not heard, a ceiling", {.max_feet = 40000}, Aircraft(0, "A", false), rx, R::MaxAltitude},
        {"0 ft heard under a ceiling", {.max_feet = 40000}, Aircraft(0), rx, R::Pass},
        {"no callsign", {.callsign_only = true}, north, rx, R::Callsign},
        {"a callsign of spaces", {.callsign_only = true}, Aircraft(0, "A", true, "        "), rx, R::Callsign},
        {"a callsign", {.callsign_only = true}, Aircraft(0, "A", true, "KLM1023 "), rx, R::Pass},
        {"the radius first", {.radius_nm = 10, .min_feet = 20000, .callsign_only = true}, north, rx, R::Radius},
        {"then the altitudes", {.radius_nm = 40, .max_feet = 5000, .callsign_only = true}, north, rx, R::MaxAltitude},
    };
    for (const auto& [what, f, e, receiver, want] : cases) EXPECT_EQ(AprsFilterCheck(f, e, receiver), want) << what;
}

TEST(AprsFilter, LeavingWithdrawsOnceAndReenteringReportsAnew) {
    for (const bool kill : {true, false}) {
        SCOPED_TRACE(kill ? "Kill expired on" : "Kill expired off");
        Gateway g;
        g.s.aprs().SetStyle(kill, kill);  // rich: the withdrawal shows where it was when it left
        g.s.SetListSettings({25.0, false});
        g.s.aprs().SetFilter({.max_feet = 10000});
        g.Position("5:14:07:00", 9000);
        EXPECT_EQ(g.Names(), "ABC001 ");
        EXPECT_EQ(g.s.aprs().Counts().reported, 1u);
        g.Position("5:14:07:05", 11000);  // climbs out
        g.Position("5:14:07:10", 12000);
        EXPECT_EQ(g.Names(), kill ? "ABC001 ABC001_ " : "ABC001 ");
        EXPECT_EQ(g.lines.back(), kill ? "QZ7TRK>APZ001,TCPIP*:;ABC001   _051407z1018.59N/12354.60E^/A=011000\r"
                                       : "QZ7TRK>APZ001,TCPIP*:;ABC001   *051407z1018.  N/12354.00E^        \r");
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
        // sent, withdrawn, held back by the altitude bound and in all, on the air
        EXPECT_EQ((std::vector<uint64_t>{c.sent, c.withdrawn, c.filtered.max_alt, c.HeldBack(), c.reported}),
                  (std::vector<uint64_t>{kill ? 4u : 2u, kill ? 2u : 0u, 3, 3, 0}));
    }
}

TEST(AprsFilter, ComingBackWaitsOutItsIntervalAndAnUnknownAltitudeWaits) {
    // Back inside 20 s after its report, "Min. s" 60: it waits, not taking a slot at every crossing of the edge.
    Gateway g;
    g.s.aprs().SetStyle(false, true);
    g.s.aprs().SetRate({60, 0});
    g.s.aprs().SetFilter({.min_feet = 5000});
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

    // Waiting out its interval when it leaves: it stops waiting, and nothing of it goes out while it stays outside.
    g.Position("5:14:08:10", 12000);
    g.Position("5:14:08:20", 3000);
    g.Position("5:14:09:30", 3000);
    EXPECT_EQ(g.Names(), "ABC001 ABC001_ ABC001 ABC001_ ");

    // Positions without an altitude are held back by the bound until one is heard.
    Gateway u;
    u.s.aprs().SetFilter({.max_feet = 40000});
    u.Position("5:14:07:00", std::nullopt);
    u.Position("5:14:07:05", std::nullopt);
    EXPECT_EQ(u.Names(), "");
    EXPECT_EQ(u.s.aprs().Counts().filtered.max_alt, 2u);
    u.Position("5:14:07:10", 1000);
    EXPECT_EQ(u.Names(), "ABC001 ");
}

TEST(AprsFilter, RadiusAroundTheSessionsReceiver) {
    // The aircraft is 18.61 NM north of the receiver. (Callsigns only: the rule's cases and the replay's options.)
    Gateway g;
    g.s.SetReceiver(geo::LatLon{10.0, 123.91});
    g.s.aprs().SetStyle(false, true);
    g.s.aprs().SetFilter({.radius_nm = 18.6});
    g.Position("5:14:07:00", 9000);
    EXPECT_EQ(g.Names(), "");
    g.s.aprs().SetFilter({.radius_nm = 18.7});
    g.Position("5:14:07:05", 9000);
    EXPECT_EQ(g.Names(), "ABC001 ");
    g.s.SetReceiver(geo::LatLon{10.0, 123.0});  // the receiver moves away
    g.Position("5:14:07:10", 9000);
    EXPECT_EQ(g.Names(), "ABC001 ABC001_ ");
    g.s.SetReceiver(std::nullopt);  // and none at all: nobody is within any radius
    g.s.aprs().SetFilter({.radius_nm = 5000});
    g.Position("5:14:07:15", 9000);
    // Both halves of the first pair plotted (the first decoded next to the receiver).
    EXPECT_EQ(g.s.aprs().Counts().filtered.radius, 4u);
}

TEST(AprsNaming, ARenamedObjectIsWithdrawnOnceThroughTheCeilingBeforeTheNewOne) {
    Gateway n;
    n.s.aprs().SetLook({.naming = AprsNaming::Flight, .symbol = {.by_category = true, .fixed = {}}, .comment = false});
    n.s.aprs().SetRate({0, 2});  // one report every 30 s at most
    n.Pair(0);   // no callsign yet: the address names it
    n.Feed(Identification(0xABC001, "HELI1", 4, 7));  // a rotorcraft
    n.Pair(10);  // the ceiling holds it
    EXPECT_EQ(n.Objects(), "ABC001   *^ ");
    n.Pair(30);  // its turn: the old object goes, in this slot (withdrawals show the symbol of now)
    EXPECT_EQ(n.Objects(), "ABC001   *^ ABC001   _X ");
    n.Pair(45);  // the next slot is not free yet
    EXPECT_EQ(n.lines.size(), 2u);
    n.Pair(60);  // the new name, with the rotorcraft's symbol
    ASSERT_EQ(n.lines.size(), 3u);
    EXPECT_EQ(n.lines[2], "QZ7TRK>APZ001,TCPIP*:;HELI1    *051408z1018.  N/12354.00EXHELI1   \r");
    n.Pair(90);
    n.Pair(120);
    EXPECT_EQ(n.Objects(), "ABC001   *^ ABC001   _X HELI1    *X HELI1    *X HELI1    *X ");

    // A new callsign: one withdrawal, then the new name; with "Kill expired" off a rename withdraws all the same.
    n.Feed(Identification(0xABC001, "HELI22", 4, 7));
    n.Pair(150);
    n.Pair(180);
    EXPECT_EQ(n.Objects().substr(60), "HELI1    _X HELI22   *X ");
    EXPECT_EQ(n.s.aprs().Counts().withdrawn, 2u);
    EXPECT_EQ(n.s.aprs().Counts().sent, 7u);
    EXPECT_EQ(n.s.aprs().Counts().reported, 1u);

    // Leaving, it is withdrawn under the name it has on the air, not a callsign heard since.
    n.Feed(Identification(0xABC001, "HELI3", 4, 7));
    n.s.aprs().SetStyle(false, true);
    n.s.SetListSettings({10.0, false});
    n.At("5:14:11:00");
    n.s.ShowTextTable();
    EXPECT_EQ(n.Objects().substr(84), "HELI22   _X ");
    EXPECT_EQ(n.s.aprs().Counts().reported, 0u);
}

TEST(AprsNaming, ByAddressNothingIsRenamedAndAChangedSettingRenamesOnce) {
    Gateway n;
    n.s.aprs().SetRate({0, 60});  // one report a second: one for each pair
    n.Pair(0);
    n.Feed(Identification(0xABC001, "GLIDE1", 3, 1));  // a glider, set B
    n.Pair(10);
    n.Pair(20);
    EXPECT_EQ(n.Objects(), "ABC001   *^ ABC001   *^ ABC001   *^ ");
    // By flight from now on: the next report renames it once (the withdrawal in that slot, the name the next).
    n.s.aprs().SetLook({.naming = AprsNaming::Flight, .symbol = {.by_category = true, .fixed = {}}, .comment = false});
    n.Pair(30);
    n.Pair(40);
    EXPECT_EQ(n.Objects().substr(36), "ABC001   _g GLIDE1   *g ");
    n.s.aprs().SetLook({});
    n.Pair(50);
    n.Pair(60);
    EXPECT_EQ(n.Objects().substr(60), "GLIDE1   _^ ABC001   *^ ");
    EXPECT_EQ(n.s.aprs().Counts().withdrawn, 2u);
}

TEST(AprsNaming, TwoAircraftWithOneCallsignNeverShareAnObject) {
    Gateway n;
    n.s.aprs().SetLook({.naming = AprsNaming::Flight, .symbol = {}, .comment = false});
    n.Feed(Identification(0xABC001, "TWIN1", 4, 3));
    n.Feed(Identification(0xABC002, "TWIN1", 4, 3));
    n.Pair(0, 0xABC001);
    n.Pair(1, 0xABC002);  // the name is taken: the second keeps its address
    EXPECT_EQ(n.Objects(), "TWIN1    *^ ABC002   *^ ");
    // The first leaves; the second then takes the callsign, its old object withdrawn first.
    n.s.aprs().SetStyle(false, true);
    n.At("5:14:07:30");
    n.s.aprs().AircraftLeft(n.s.tracker().Db(n.s.tracker().Db.IcaoDbPointer("ABC001")));
    n.Pair(40, 0xABC002);
    n.Pair(80, 0xABC002);
    EXPECT_EQ(n.Objects().substr(0, 60), "TWIN1    *^ ABC002   *^ TWIN1    _^ ABC002   _^ TWIN1    *^ ");
    EXPECT_EQ(n.s.aprs().Counts().reported, 1u);
}

TEST(AprsFilter, ReplayOptionsForFiltersNamesSymbolsAndComments) {
    const std::string replay = TERNWICK_BIN_DIR "/ternwick-replay --airlines /dev/null --at 5:14:07:00 --aprs ";
    // The published pair: 52.2658 N 3.9389 E at 38000 ft, 16.12 NM from 52.0 N 4.0 E.
    const std::string pair = WriteTemp(
        "aprs-filter.log", "*8D40621D58C382D690C8AC2863A7;\r\n*8D40621D58C386435CC412692AD6;\r\n");
    const std::pair<std::string, std::string> refused[] = {
        {"--aprs-radius 20", "--aprs-radius needs --receiver: the radius is measured from the receiver's position\n"},
        {"--receiver 52,4 --aprs-radius -1", "--aprs-radius '-1': must be a number from 0 to 10000\n"},
        {"--aprs-min-alt 1e9", "--aprs-min-alt '1e9': must be a whole number from 0 to 100000\n"},
        {"--aprs-min-alt 20000 --aprs-max-alt 10000",
         "--aprs-min-alt is above --aprs-max-alt: no aircraft could be reported\n"},
        {"--aprs-name callsign", "--aprs-name 'callsign': the object name is \"address\" or \"flight\"\n"},
        {"--aprs-symbol a^", "--aprs-symbol 'a^': the symbol table is / or \\, or an overlay 0-9 or A-Z\n"},
        {"--aprs-symbol /", "--aprs-symbol '/': a symbol is \"category\" or two characters: the table (/ or \\, or an "
                           "overlay 0-9 or A-Z) and the code\n"},
    };
    for (const auto& [args, message] : refused) {
        const RunResult r = RunCommand(replay + args + " " + pair + " 2>&1");
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "ternwick-replay: " + message) << args;
    }
    const RunResult near = RunCommand(replay + "--stats --receiver 52,4 --aprs-radius 16.2 --aprs-max-alt 38000 " + pair);
    EXPECT_EQ(near.status, 0);
    // The first report decoded next to the receiver, then the pair.
    EXPECT_EQ(near.out.rfind("QZ7TRK>APZ001,TCPIP*:;40621D   *051407z5215.  N/00355.00E^        \n"
                             "QZ7TRK>APZ001,TCPIP*:;40621D   *051407z5215.  N/00356.00E^        \n", 0), 0u) << near.out;
    const RunResult far =
        RunCommand(replay + "--stats --receiver 52,4 --aprs-radius 16.1 --aprs-min-alt 1000 --aprs-callsign-only " + pair);
    // The pair is 16.12 NM out; the single report nearer, but without a callsign.
    EXPECT_TRUE(TextHolds(far.out, "\nAPRS reports sent: 0\nAPRS reports held back: 2\n  by the interval: 0\n  hardly "
                                   "moved: 0\n  by the ceiling: 0\n  by the radius: 1\n  by the lowest altitude: 0\n"
                                   "  by the callsign: 1\nAPRS objects withdrawn: 0\n"));

    // A glider (type code 3, category 1) squawking 7700, climbing 1216 ft/min eastwards.
    traffic::GroundVelocity v;
    v.east_kt = 100, v.vertical_fpm = 1216;
    std::string log;
    for (const std::string& hex : {Identification(0x3C0001, "GLIDE1", 3, 1), MakeEs(0x3C0001, traffic::EmergencyMe(0, 7700)),
                                   MakeEs(0x3C0001, traffic::VelocityMe(v)), AirbornePos(0x3C0001, 10.31, 123.91, 0),
                                   AirbornePos(0x3C0001, 10.31, 123.91, 1)})
        log += "*" + hex + ";\n";
    const std::string glider = WriteTemp("aprs_look.log", log);
    const std::pair<std::string, std::string> runs[] = {
        {"", "QZ7TRK>APZ001,TCPIP*:;3C0001   *051407z1018.  N/12354.00E^GLIDE1  \n"},
        {"--aprs-name flight --aprs-symbol category --aprs-comment",
         "QZ7TRK>APZ001,TCPIP*:;GLIDE1   *051407z1018.60N/12354.60Eg090/100/A=035000 EMERGENCY Sq7700 +1216fpm\n"},
        {"--aprs-symbol '\\X' --aprs-name address", "QZ7TRK>APZ001,TCPIP*:;3C0001   *051407z1018.  N\\12354.00EXGLIDE1  \n"},
    };
    for (const auto& [options, out] : runs) {
        const RunResult r = RunCommand(replay + options + " " + glider + " 2>/dev/null");
        EXPECT_EQ(r.status, 0) << options;
        EXPECT_EQ(r.out, out) << options;
    }
}
