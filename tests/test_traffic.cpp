// The traffic generator: published example messages and code tables bit for bit, its
// recording and truth output, and the decoder reading its traffic back all over the globe.
#include <gtest/gtest.h>

#include <algorithm>

#include "cpr_encoder.h"
#include "mode_s_frames.h"
#include "test_support.h"
#include "traffic_sim.h"

using namespace ternwick;
using namespace ternwick::traffic;

namespace {

std::string Hex6(uint32_t icao) { return ToHex({uint8_t(icao >> 16), uint8_t(icao >> 8), uint8_t(icao)}); }

// Metres between two nearby positions, longitudes in any turn.
double DistanceM(double lat1, double lon1, double lat2, double lon2) {
    return 111195.0 * std::hypot(lat2 - lat1, std::remainder(lon2 - lon1, 360.0) * std::cos(lat1 * M_PI / 180));
}

struct Decoder : test::Decoding {
    std::vector<SimMessage> messages;
    int positions = 0;   // positions stored while feeding
    double worst_m = 0;  // largest distance of a stored position from where its report was sent

    explicit Decoder(TrafficSim& sim, double offset = 0) : messages(sim.Run()) {
        host.surf_offset = offset;
        for (const SimMessage& m : messages) {
            const uint64_t before = t.stats().positions;
            test::Feed(t, m.hex);
            if (t.stats().positions == before) continue;
            const DbRecord& e = Entry(sim.fleet()[m.aircraft].icao);
            worst_m = std::max(worst_m, DistanceM(e.Lat, e.Lon, m.lat, m.lon));
            ++positions;
        }
    }
    const DbRecord& Entry(uint32_t icao) { return Decoding::Entry(Hex6(icao)); }
    double MissM(const AircraftTruth& truth) {
        const DbRecord& e = Entry(truth.icao);
        return DistanceM(e.Lat, e.Lon, *truth.lat, *truth.lon);
    }
};

}  // namespace

TEST(TrafficGenerator, PublishedExamplesCodeTablesAndFileFormats) {
    uint64_t me = 0;
    ASSERT_TRUE(IdentificationMe("KLM1023", 0, me));
    EXPECT_EQ(test::MakeEs(0x4840D6, me), "8D4840D6202CC371C32CE0576098");
    EXPECT_FALSE(IdentificationMe("klm1023", 0, me));    // lower case has no code
    EXPECT_FALSE(IdentificationMe("KLM10234X", 0, me));  // nine characters

    const uint32_t alt = AltitudeQ1(38000);
    EXPECT_EQ(test::MakeEs(0x40621D, AirbornePositionMe(11, alt, 0, EncodeCpr(52.2572021484375, 3.91937255859375, 0, false))),
              "8D40621D58C382D690C8AC2863A7");
    EXPECT_EQ(test::MakeEs(0x40621D, AirbornePositionMe(11, alt, 1, EncodeCpr(52.26578017412606, 3.938912527901786, 1, false))),
              "8D40621D58C386435CC412692AD6");
    EXPECT_EQ(test::MakeEs(0x485020, VelocityMe({.east_kt = -8, .north_kt = -159, .vertical_fpm = -832, .baro_rate = false,
                                       .ifr = true, .gnss_above_baro_ft = 550})),
              "8D485020994409940838175B284F");

    const Frame allcall = AllCallReply(0x4840D6, kCaAirborne);  // plain CRC of the first 32 bits
    EXPECT_EQ(ToHex(allcall).substr(0, 8), "5D4840D6");
    EXPECT_EQ(CRC24_Bytes(allcall.data(), 7), 0);

    // Altitudes: the read-back checks the codes against the decoder; here the ends of the
    // ranges. Q = 1: 25-ft steps from -1000 ft, the Q bit between the seventh and eighth bit.
    EXPECT_EQ(AltitudeQ1(-1000), 0x010u);
    EXPECT_EQ(AltitudeQ1(60000), 0xFFFu);
    EXPECT_EQ(AltitudeGillham(-1000), 0x200u);  // Gillham, field order C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4
    EXPECT_FALSE(AltitudeGillham(-1300).has_value());
    EXPECT_FALSE(AltitudeGillham(126800).has_value());
    EXPECT_TRUE(AltitudeGillham(126700).has_value());

    for (auto [lat, nl] : {std::pair{0.0, 59}, {10.47047129, 59}, {10.4704714, 58}, {-45.0, 42}, {59.0, 30},
                           {86.9, 2}, {87.0, 2}, {87.01, 1}})
        EXPECT_EQ(NumberOfZones(lat), nl) << lat;
    // The top of a zone wraps to report 0 of the next; a surface zone is a quarter as tall.
    EXPECT_EQ(EncodeCpr(6.0 - 1e-9, 1.0, 0, false).lat, 0u);
    EXPECT_EQ(EncodeCpr(0.75, 0.0, 0, false).lat, 16384u);
    EXPECT_EQ(EncodeCpr(0.75, 0.0, 0, true).lat, 65536u);

    for (auto [knots, code] : {std::pair{0.0, 1}, {0.125, 2}, {0.99, 8}, {1.0, 9}, {1.99, 12}, {2.0, 13}, {14.9, 38},
                               {15.0, 39}, {69.5, 93}, {70.0, 94}, {100.0, 109}, {174.0, 123}, {175.0, 124}})
        EXPECT_EQ(MovementCode(knots), code) << knots;
    for (int code = 1; code <= 124; ++code) EXPECT_EQ(MovementCode(MovementKnots(code)), code);
    // TC 6, movement 14 (2.5 kt), track valid, track 90 degrees (32), odd, then latitude and longitude.
    EXPECT_EQ(SurfacePositionMe(6, MovementCode(2.5), 90.0, 1, CprReport{0x1ABCD, 0x0F0F0}), 0x30EA07579AF0F0u);

    EXPECT_EQ(RecordingText({{.hex = "5D4840D6A1B2C3"}, {.hex = "8D4840D6202CC371C32CE0576098"}}),
              "*5D4840D6A1B2C3;\r\n*8D4840D6202CC371C32CE0576098;\r\n");
    EXPECT_EQ(TruthCsv({{0x4840D6, "KLM1023 ", 'A', 52.25, 359.5, 38000, 159}, {0x00ABCD, "", '-', {}, {}, {}, {}}}),
              "icao,flight,pos_kind,altitude_ft,speed_kt,lat,lon\n"
              "4840D6,KLM1023 ,A,38000,159,52.250000,-0.500000\n"
              "00ABCD,,-,,,,\n");
}

TEST(TrafficReadBack, SingleFlightsAllOverTheGlobe) {
    struct Case {
        const char* where;
        double lat, lon, heading, speed_kt;
        int altitude_ft;
        bool gillham = false, ground = false;
        double offset = 0, tolerance_m = 5.0;  // half a CPR step each way
    };
    // At 85 degrees the odd longitude zones are 180 degrees wide: one 17-bit step is 13 m there.
    // Surface steps are a quarter of the airborne ones.
    const Case cases[] = {
        {"north across NL 59/58", 10.43, 124.0, 0, 480, 33000},
        {"south across NL 30/29", 60.05, 10.0, 180, 480, 37000, true},
        {"south and east", -33.9, 151.2, 200, 450, 24000, true},
        {"south and west", -34.6, -58.4, 300, 420, 11025},
        {"north and west", 40.6, -73.8, 60, 380, 28000},
        {"east across Greenwich", 51.47, -0.05, 90, 400, 8000, true},
        {"north across the equator", -0.05, 30.0, 0, 480, 41000},
        {"east across 180", -17.0, 179.97, 90, 480, 39000},
        {"west across 180", 52.0, -179.97, 270, 480, 36000, true},
        {"85 north", 85.0, 20.0, 90, 480, 38000, false, false, 0, 7.5},
        {"85 south", -85.0, -120.0, 270, 480, 31000, false, false, 0, 7.5},
        {"Mactan, surface", 10.3075, 123.9794, 0, 15, 0, false, true, 90, 1.5},
        {"Kennedy, surface", 40.6413, -73.7781, 0, 15, 0, false, true, -90, 1.5},
        {"Heathrow, surface", 51.4700, -0.4543, 0, 15, 0, false, true, -90, 1.5},
        {"Charles de Gaulle, surface", 49.0097, 2.5479, 0, 15, 0, false, true, 0, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        TrafficSim sim({{.icao = 0x758123, .callsign = "PAL123", .on_ground = c.ground, .lat = c.lat, .lon = c.lon,
                         .heading_deg = c.heading, .speed_kt = c.speed_kt, .altitude_ft = double(c.altitude_ft),
                         .target_ft = double(c.altitude_ft), .taxi_radius_m = 300, .gillham = c.gillham,
                         .position_tc = c.ground ? 7 : 0}},
                       {.duration_s = 90, .loss = 0.1});
        Decoder d(sim, c.offset);
        EXPECT_GT(d.positions, 120);
        EXPECT_LE(d.worst_m, c.tolerance_m);

        const DbRecord& e = d.Entry(0x758123);
        EXPECT_EQ(e.Flight, "PAL123  ");
        EXPECT_EQ(e.PosKind, c.ground ? "S" : "A");
        EXPECT_EQ(e.Altitude, c.altitude_ft);  // surface reports carry no altitude
        EXPECT_EQ(e.Speed, static_cast<int>(c.speed_kt));  // surface: from the movement code
        ASSERT_TRUE(sim.truth()[0].lat.has_value());
        EXPECT_LE(d.MissM(sim.truth()[0]), c.tolerance_m);
    }
}

// Stopping a flight at every moment while it crosses an NL boundary: the truth always names
// the position the decoder holds, also when the newest pair straddles the boundary.
TEST(TrafficReadBack, TruthAtEveryMomentAcrossNlBoundaries) {
    for (auto [lat, heading] : {std::pair{10.4650, 0.0}, {59.9600, 180.0}}) {
        SCOPED_TRACE(lat);
        int straddled = 0;
        for (double end = 2.0; end < 12.0; end += 0.05) {
            TrafficSim sim({{.icao = 0x758124, .callsign = {}, .lat = lat, .lon = 124.0, .heading_deg = heading,
                             .speed_kt = 480, .altitude_ft = 30000, .target_ft = 30000}},
                           {.duration_s = end, .loss = 0, .damage = 0});
            Decoder d(sim);
            straddled = std::max<int>(straddled, static_cast<int>(d.t.stats().nl_mismatch));
            const AircraftTruth& truth = sim.truth()[0];
            ASSERT_EQ(truth.lat.has_value(), d.Entry(truth.icao).Lat != 0) << end;
            if (truth.lat) { EXPECT_LE(d.MissM(truth), 5.0) << end; }
        }
        EXPECT_EQ(straddled, 1);
    }
}

// Whole fleets with lost and damaged messages end as the truth says.
TEST(TrafficReadBack, RandomFleetsMatchTheTruth) {
    struct Case { const char* where; double lat, lon; int on_ground; double offset; };
    for (const Case& c : {Case{"Cebu", 10.3075, 123.9794, 6, 90}, Case{"Fiji, across 180", -17.75, 179.5, 0, 0},
                          Case{"London, across Greenwich", 51.5, 0.0, 0, 0},
                          Case{"Anchorage, across NL boundaries", 61.17, -150.0, 0, 0}}) {
        SCOPED_TRACE(c.where);
        TrafficSim sim(RandomFleet({.centre_lat = c.lat, .centre_lon = c.lon, .aircraft = 40, .on_ground = c.on_ground,
                                    .airport_lat = {}, .airport_lon = {}, .gillham_share = 0.3,
                                    .mode_s_only_share = 0.1, .seed = 11}),
                       {.duration_s = 180, .seed = 11});
        Decoder d(sim, c.offset);
        EXPECT_LE(d.worst_m, 5.0);
        const auto damaged = std::count_if(d.messages.begin(), d.messages.end(), [](auto& m) { return m.damaged; });
        EXPECT_GT(damaged, 0);
        EXPECT_EQ(d.t.stats().crc_rejected, static_cast<uint64_t>(damaged));
        EXPECT_EQ(d.t.Db.InUse(), 40);

        for (const AircraftTruth& truth : sim.truth()) {
            SCOPED_TRACE(Hex6(truth.icao));
            ASSERT_NE(d.t.Db.IcaoDbPointer(Hex6(truth.icao)), -1);
            const DbRecord& e = d.Entry(truth.icao);
            EXPECT_EQ(e.Flight, truth.flight.empty() ? "No-Call " : truth.flight);
            EXPECT_EQ(e.PosKind, std::string(1, truth.pos_kind));
            EXPECT_EQ(e.Altitude, truth.altitude_ft.value_or(0));
            EXPECT_EQ(e.Speed, truth.speed_kt.value_or(0));
            if (truth.lat) {
                EXPECT_LE(d.MissM(truth), 5.0);
            } else {
                EXPECT_FALSE(e.HasPos);
            }
        }
    }
}
