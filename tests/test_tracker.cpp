#include <gtest/gtest.h>

#include <tuple>

#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

// A position message from raw CPR values (the documented pairs); TC 7, ac12 0: surface, no movement.
std::string RawPos(uint32_t icao, int tc, int odd, uint32_t lat, uint32_t lon, uint32_t ac12 = 0x10) {
    return MakeEs(icao, traffic::AirbornePositionMe(tc, ac12, odd, {lat, lon}));
}

}  // namespace

TEST(Tracker, TracesAndStatus) {
    Tracking f;
    EXPECT_EQ(f.t.StatusText(), "Flights in range: 0\r\nFlights with pos: 0\r\n");
    Feed(f.t, "8D4CA2B120513531CB38206CB0D3");
    EXPECT_EQ(f.t.RxText(),
              "8D4CA2B120513531CB38206CB0D3\r\nDF17 Extended Squitter\r\nICAO 4CA2B1\r\nTC04 Identification\r\nTST123  ");
    const DbRecord& e = f.e("4CA2B1");  // the airline from the first row of a repeated designator
    EXPECT_EQ(std::tie(e.LastHeard, e.Flight, e.IataFlight, e.Airline),
              std::tuple(1000, "TST123  ", "TS123   ", "Test Airways"));

    // Damaged parity, short and empty messages, and an all-call reply whose parity leaves
    // no interrogator code below 80 (CRC of the first 32 bits XOR parity: 0xD60D49, noise).
    for (auto [hex, trace] : {std::pair{"8D4CA2B120513531CB38206CB0D0", "\r\nDF17"}, {"02E197B00179C3", "\r\nDF00 Short ACAS\r\nUnknown address 4B18FE"},
                              {"0000000000000000000000000000", "\r\nDF00"}, {"20001838CA3804", "\r\nDF04 Surveillance Altitude Reply\r\nUnknown address DBBB5F"},
                              {"5D40621D999999", "\r\nDF11"}}) {
        Feed(f.t, hex);
        EXPECT_EQ(f.t.RxText(), hex + std::string(trace));
    }
    EXPECT_FALSE(f.t.Db.IcaoInDb("40621D"));
    Feed(f.t, AllCall(0x40621D, 79));
    EXPECT_EQ(f.t.RxText(), AllCall(0x40621D, 79) + "\r\nDF11 All Call Reply\r\nICAO 40621D");
    Feed(f.t, AllCall(0x40621E, 80));
    EXPECT_EQ(f.t.stats().allcall_rejected, 2u);
    EXPECT_EQ(std::tie(f.e("40621D").Flight, f.e("40621D").PosKind), std::tuple("No-Call ", "-"));
    EXPECT_EQ(f.t.StatusText(), "Flights in range: 2\r\nFlights with pos: 0\r\n");

    // Contract breaks are ignored, not half-evaluated.
    for (const char* bad : {"", "8D", "8d4ca2b120513531cb38206cb0d3", "8D4CA2B120513531CB38206CB0DG"}) Feed(f.t, bad);
    EXPECT_EQ(std::tuple(f.t.stats().malformed, f.t.Db.InUse()), std::tuple(4u, 2));
}

TEST(Tracker, IdentificationOfEveryTypeCodeAndVelocity) {
    Tracking f;
    // Type codes 4 to 1 carry emitter category sets A to D (DO-260B); 1 to 3 are evaluated
    // like 4, and only their trace stays the bare type code.
    const std::tuple<int, int, const char*, uint8_t, const char*> cases[] = {
        {4, 7, "HELI1   ", 0xA7, "TC04 Identification\r\nHELI1   "},
        {4, 0, "TST123  ", 0xA0, "TC04 Identification\r\nTST123  "},
        {3, 1, "GLIDER  ", 0xB1, "TC03"}, {3, 2, "BALLOON ", 0xB2, "TC03"},
        {2, 1, "FIRE1   ", 0xC1, "TC02"}, {1, 5, "DLH400  ", 0xD5, "TC01"},
    };
    uint32_t icao = 0x3C0000;
    for (const auto& [tc, category, call, stored, trace] : cases) {
        // ME 1-5: the type code.
        const std::string hex = MakeEs(++icao, (IdMe(call, category) & ~(uint64_t(0x1F) << 51)) | uint64_t(tc) << 51);
        Feed(f.t, hex);
        const std::string id = traffic::ToHex({uint8_t(icao >> 16), uint8_t(icao >> 8), uint8_t(icao)});
        EXPECT_EQ(f.t.RxText(), hex + "\r\nDF17 Extended Squitter\r\nICAO " + id + "\r\n" + trace) << call;
        EXPECT_EQ(std::tie(f.e(id.c_str()).Flight, f.e(id.c_str()).Category), std::tuple(call, stored)) << call;
    }
    EXPECT_EQ(f.t.stats().per_tc[1] + f.t.stats().per_tc[2] + f.t.stats().per_tc[3] + f.t.stats().per_tc[4], 6u);
    EXPECT_EQ(f.t.stats().per_tc[3], 2u);
    EXPECT_EQ(std::tie(f.e("3C0006").IataFlight, f.e("3C0006").Airline), std::tuple("LH400   ", "Lufthansa"));
    // Another callsign replaces Flight, IataFlight and Airline; code 63 adds no character.
    Feed(f.t, MakeEs(0x3C0006, 0x20513531CB3820));  // T S T 1 2 3 _ _ (6-bit codes)
    EXPECT_EQ(std::tie(f.e("3C0006").Flight, f.e("3C0006").IataFlight, f.e("3C0006").Airline),
              std::tuple("TST123  ", "TS123   ", "Test Airways"));
    Feed(f.t, MakeEs(0x3C0006, 0x2007F820820820));  // A, 63, six blanks
    EXPECT_EQ(f.e("3C0006").Flight, "A      ");

    // Published example: ground speed 159 kt, track 182.88, 832 ft/min down; then one climbing.
    Feed(f.t, "8D485020994409940838175B284F");
    EXPECT_EQ(f.t.RxText().substr(f.t.RxText().size() - 22), "TC19 Airborne Velocity");
    const DbRecord& v = f.e("485020");
    EXPECT_EQ(std::tie(v.Speed, v.HasVertRate, v.VertRate), std::tuple(159, true, -832));
    EXPECT_NEAR(f.e("485020").Track, 182.88, 0.01);
    Feed(f.t, MakeEs(0x485021, traffic::VelocityMe({.east_kt = 100, .north_kt = 100, .vertical_fpm = 1216})));
    EXPECT_EQ(f.e("485021").VertRate, 1216);
    Feed(f.t, "8DA05F219B06B6AF189400CBC33F");  // true airspeed 375 kt (published example)
    EXPECT_EQ(f.e("A05F21").Speed, 375);
    EXPECT_LT(f.e("A05F21").Track, 0.0);  // an airspeed message gives no track

    // Track from the signed components: (west, east-west kt, south, north-south kt).
    const std::tuple<bool, int, bool, int, double> tracks[] = {
        {false, 100, false, 0, 90.0}, {true, 100, false, 0, 270.0}, {false, 0, true, 100, 180.0},
        {false, 0, false, 100, 0.0},  {true, 30, true, 30, 225.0},  {false, 0, false, 0, -1.0}};
    for (const auto& [west, ew, south, ns, track] : tracks) {
        // Subtype 1; ME 14 west, ME 15-24 east-west + 1, ME 25 south, ME 26-35 north-south + 1.
        Feed(f.t, MakeEs(0xABC001, uint64_t(19 << 3 | 1) << 48 | uint64_t(west) << 42 | uint64_t(ew + 1) << 32 |
                                       uint64_t(south) << 31 | uint64_t(ns + 1) << 21));
        EXPECT_NEAR(f.e("ABC001").Track, track, 1e-9) << west << ew << south << ns;
    }
    // One ME under each subtype: ME 15-24 holds 301, ME 26-35 holds 401. Ground speed from
    // both (300 and 400 kt), airspeed from the second; the supersonic subtypes count 4 kt.
    for (auto [subtype, knots] : {std::pair{1, 500}, {2, 2000}, {3, 400}, {4, 1600}}) {
        Feed(f.t, MakeEs(0xA05F21, uint64_t(19 << 3 | subtype) << 48 | 0x012D32200000));
        EXPECT_EQ(f.e("A05F21").Speed, knots) << "subtype " << subtype;
    }
    Feed(f.t, MakeEs(0x485020, 0xA8123456789ABC));  // TC 21, GNSS position: only traced
    EXPECT_EQ(f.t.RxText().substr(f.t.RxText().size() - 22), "TC21 Airborne Pos GNSS");
    EXPECT_EQ(f.e("485020").Lat, 0.0);
}

TEST(Tracker, PositionsThroughTheEvaluation) {
    Tracking f;
    Feed(f.t, RawPos(0x4CA1F3, 11, 0, 34953, 85779));
    EXPECT_EQ(std::tie(f.e("4CA1F3").Lat, f.e("4CA1F3").Altitude), std::tuple(0.0, -1000));  // one format: no position
    Feed(f.t, RawPos(0x4CA1F3, 11, 1, 16894, 83522));
    EXPECT_NEAR(f.e("4CA1F3").Lat, 49.600013, 5e-6);
    EXPECT_NEAR(f.e("4CA1F3").Lon, 6.200001, 5e-6);
    EXPECT_EQ(f.host.plotted, (std::vector<int16_t>{0}));
    EXPECT_EQ(f.t.StatusText(), "Flights in range: 1\r\nFlights with pos: 1\r\n");

    // Surface messages empty the store first: the first one decodes nothing.
    f.host.surf_offset = -90;
    Feed(f.t, RawPos(0x4CA1F3, 7, 0, 11360, 81527, 0));
    EXPECT_EQ(f.e("4CA1F3").PosKind, "S");
    EXPECT_NEAR(f.e("4CA1F3").Lon, 6.200001, 5e-6);
    f.host.plot_surf = false;
    Feed(f.t, RawPos(0x4CA1F3, 7, 1, 70153, 72483, 0));
    // The offset puts the pair a quarter of the globe away from the airborne fix; the
    // report decoded next to that fix gives the right quadrant.
    EXPECT_NEAR(f.e("4CA1F3").Lat, 49.630004, 5e-6);
    EXPECT_NEAR(f.e("4CA1F3").Lon, 6.210003, 5e-6);
    EXPECT_EQ(f.host.plotted.size(), 1u);  // "Plot Surface" not ticked
}

TEST(Tracker, FullTableWritesOnlyTheOverflowEntry) {
    Tracking f;
    for (int i = 0; i <= 500; ++i) Feed(f.t, AllCall(0x100000 + i));
    EXPECT_EQ(std::tuple(f.t.NewDbPos, f.t.Db.AvailDb()), std::tuple(500, -1));
    // Halves of two aircraft meet in the overflow entry: pairing them would invent a
    // position (10.35N 132.4W) that neither has, so nothing is stored, plotted or reported.
    Feed(f.t, AirbornePos(0xABCDEF, 10.3, 123.9, 0));
    Feed(f.t, AirbornePos(0xFEDCBA, 10.35, 60.0, 1));
    Feed(f.t, AirbornePos(0xABCDEF, 10.3, 123.9, 1));
    EXPECT_EQ(std::tuple(f.t.NewDbPos, f.t.stats().table_full), std::tuple(-1, 3u));
    EXPECT_EQ(std::tie(f.t.Db(-1).Lat, f.t.Db(-1).Lon), std::tuple(0.0, 0.0));
    EXPECT_TRUE(f.host.plotted.empty());
    EXPECT_EQ(f.t.StatusText(), "Flights in range: 501\r\nFlights with pos: 0\r\n");
    f.t.Db.InitDbPos(500);
    EXPECT_EQ(f.t.Db.AvailDb(), 500);
}

TEST(Tracker, TraceIsWrittenOnlyWhileShownAndDecodingIsTheSame) {
    // Every kind of message the trace describes, one of them with a damaged bit.
    std::string damaged = MakeEs(0x3C6586, traffic::EmergencyMe(1, 7700));
    damaged[9] = damaged[9] == '0' ? '1' : '0';
    const std::vector<std::string> messages = {
        AllCall(0x3C6586),
        MakeEs(0x3C6586, IdMe("DLH400", 3)),
        AirbornePos(0x3C6586, 50.1, 8.6, 0),
        AirbornePos(0x3C6586, 50.1, 8.6, 1, 36000),
        damaged,
        MakeEs(0x3C6586, traffic::VelocityMe({.east_kt = 300, .north_kt = -400, .vertical_fpm = -640})),
        MakeEs(0x3C6586, traffic::TargetStateMe(38000, 271.0)),
        MakeEs(0x3C6586, traffic::OperationalStatusMe(0x1234, 2)),
        traffic::ToHex(traffic::AddressParityReply(5, 0, traffic::Id13(1234), 0x3C6586)),
        traffic::ToHex(traffic::AddressParityReply(4, 1, traffic::Ac13FromAc12(traffic::AltitudeQ1(36100)), 0x3C6586)),
        traffic::ToHex(traffic::AddressParityReply(4, 0, 0, 0x123456)),
    };
    Tracking shown, hidden;
    hidden.t.SetTraceShown(false);
    for (const std::string& m : messages) {
        Feed(shown.t, m);
        Feed(hidden.t, m);
        EXPECT_EQ(hidden.t.RxText(), "") << m;
        EXPECT_EQ(hidden.t.CurIcao, shown.t.CurIcao) << m;
    }
    EXPECT_EQ(shown.t.RxText(),
              messages.back() + "\r\nDF04 Surveillance Altitude Reply\r\nUnknown address 123456");
    // Everything decoded alike (the values themselves are checked message by message elsewhere).
    auto decoded = [](const DbRecord& e) {
        return std::tuple(e.Flight, e.HasPos, e.Lat, e.Lon, e.Altitude, e.Squawk, e.Emergency, e.SelAltitude,
                          e.AdsbVersion, e.FlightStatus, e.Speed, e.Track, e.VertRate, e.Messages);
    };
    EXPECT_EQ(decoded(hidden.e("3C6586")), decoded(shown.e("3C6586")));
    EXPECT_EQ(std::tie(hidden.e("3C6586").Emergency, hidden.e("3C6586").Speed), std::tuple(1, 500));
    EXPECT_EQ(std::tie(hidden.t.stats().repaired, hidden.t.stats().positions, hidden.t.stats().ap_accepted,
                       hidden.t.stats().ap_refused),
              std::tuple(1u, 1u, 2u, 1u));

    // Shown again: the next message is traced in full.
    hidden.t.SetTraceShown(true);
    Feed(hidden.t, messages[1]);
    Feed(shown.t, messages[1]);
    EXPECT_EQ(hidden.t.RxText(), shown.t.RxText());
    EXPECT_EQ(hidden.t.RxText(), messages[1] + "\r\nDF17 Extended Squitter\r\nICAO 3C6586\r\nTC04 Identification\r\nDLH400  ");
}

TEST(Tracker, AnyCharacterNotAnUpperCaseHexDigitAnywhereMakesTheMessageMalformed) {
    // Neighbours of the digit ranges, lower case, bytes from 0x80 (negative as char), NUL.
    const std::string bad = std::string("/:@G`afg ;*\x7F\x80\xFF", 15) + '\0';
    for (const std::string& good : {std::string("8D4CA2B120513531CB38206CB0D3"), AllCall(0x40621D)}) {
        Tracking f;
        uint64_t malformed = 0;
        for (size_t k = 0; k < good.size(); ++k) {
            for (const char c : bad) {
                std::string m = good;
                m[k] = c;
                Feed(f.t, m);
                ASSERT_EQ(f.t.stats().malformed, ++malformed) << "position " << k << " byte " << int(uint8_t(c));
            }
        }
        EXPECT_EQ(f.t.Db.InUse(), 0);
        Feed(f.t, good);  // and the message itself is read
        EXPECT_EQ(std::tuple(f.t.stats().malformed, f.t.Db.InUse(), f.t.LastMessage()),
                  std::tuple(malformed, 1, good));
    }
}
