// The traffic generator (which the decoder tests build their messages with): published examples
// and code tables bit for bit, its files, and the decoder reading its traffic back all over the globe.
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
    int sent = 0, positions = 0;  // undamaged position reports, and positions stored from them
    double worst_m[2] = {};       // farthest a stored position lay from its report's: airborne, surface

    explicit Decoder(TrafficSim& sim, double offset = 0) : messages(sim.Run()) {
        host.surf_offset = offset;
        for (const SimMessage& m : messages) {
            const uint64_t before = t.stats().positions;
            test::Feed(t, m.hex);
            sent += (m.kind == MsgKind::AirbornePosition || m.kind == MsgKind::SurfacePosition) && !m.damaged;
            if (t.stats().positions == before) continue;
            const DbRecord& e = Entry(sim.fleet()[m.aircraft].icao);
            double& worst = worst_m[e.PosKind == "S"];
            worst = std::max(worst, DistanceM(e.Lat, e.Lon, m.lat, m.lon));
            ++positions;
        }
    }
    const DbRecord& Entry(uint32_t icao) { return Decoding::Entry(Hex6(icao)); }
};

}  // namespace

TEST(TrafficGenerator, PublishedExamplesCodeTablesAndFileFormats) {
    EXPECT_EQ(test::MakeEs(0x4840D6, test::IdMe("KLM1023")), "8D4840D6202CC371C32CE0576098");
    uint64_t me = 0;
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
    EXPECT_EQ(std::tuple(AltitudeQ1(-1000), AltitudeQ1(60000)), std::tuple(0x010u, 0xFFFu));
    EXPECT_EQ(AltitudeGillham(-1000), 0x200u);  // Gillham, field order C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4
    EXPECT_EQ(std::tuple(AltitudeGillham(-1300), AltitudeGillham(126800)), std::tuple(std::nullopt, std::nullopt));
    EXPECT_TRUE(AltitudeGillham(126700).has_value());

    // Zone counts: test_cpr holds them against the decoder's table; here the pole cap.
    for (auto [lat, nl] : {std::pair{86.9, 2}, {87.0, 2}, {87.01, 1}}) EXPECT_EQ(NumberOfZones(lat), nl) << lat;
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
    // Stamped: 12 MHz ticks from the counter's start, its low 48 bits.
    EXPECT_EQ(RecordingText({{.time = 0, .hex = "5D4840D6A1B2C3"}, {.time = 1.5, .hex = "5D4840D6A1B2C3"}}, true,
                            (uint64_t{1} << 48) - 6'000'000),
              "@FFFFFFA472805D4840D6A1B2C3;\r\n@000000B71B005D4840D6A1B2C3;\r\n");
    EXPECT_EQ(TruthCsv({{0x4840D6, "KLM1023 ", 'A', 52.25, 359.5, 38000, 159}, {0x00ABCD, "", '-', {}, {}, {}, {}}}),
              "icao,flight,pos_kind,altitude_ft,speed_kt,lat,lon\n"
              "4840D6,KLM1023 ,A,38000,159,52.250000,-0.500000\n"
              "00ABCD,,-,,,,\n");
}

// Fleets all over the globe, some taxiing at an airport (with the surface offset of a map
// there), with lost and damaged messages, end as the truth says. Positions lie within half a
// CPR step each way: 5 m in the air (10 m around 85 degrees, where the odd longitude zones
// are 180 degrees wide and beyond 87 degrees 360), a quarter of that on the surface.
TEST(TrafficReadBack, FleetsAllOverTheGlobeMatchTheTruth) {
    struct Case { const char* where; double lat, lon; int on_ground; double offset, tolerance_m = 5.0; };
    const Case cases[] = {
        {"Cebu, Mactan", 10.3075, 123.9794, 6, 90},    {"Sydney, south and east", -33.95, 151.18, 6, 90},
        {"Kennedy, north and west", 40.64, -73.78, 6, -90}, {"Ezeiza, south and west", -34.82, -58.54, 6, -90},
        {"Heathrow, across Greenwich", 51.47, -0.45, 6, -90}, {"Paris", 49.01, 2.55, 6, 0},
        {"Fiji, across 180", -17.75, 179.5, 0, 0},     {"Anchorage, across NL boundaries", 61.17, -150.0, 0, 0},
        {"Across the equator", 0.0, 30.0, 0, 0},       {"85 north", 85.0, 20.0, 0, 0, 10.0},
        {"85 south", -85.0, -120.0, 0, 0, 10.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        TrafficSim sim(RandomFleet({.centre_lat = c.lat, .centre_lon = c.lon, .aircraft = 40, .on_ground = c.on_ground,
                                    .airport_lat = {}, .airport_lon = {}, .gillham_share = 0.3,
                                    .mode_s_only_share = 0.1, .seed = 11}),
                       {.duration_s = 180, .seed = 11});
        Decoder d(sim, c.offset);
        EXPECT_GT(d.positions, d.sent * 0.9);
        EXPECT_LE(d.worst_m[0], c.tolerance_m);
        EXPECT_LE(d.worst_m[1], 1.5);
        // One wrong bit is put right; more are rejected.
        uint64_t damaged = 0, one_bit = 0;
        for (const SimMessage& m : d.messages) (m.wrong_bits > 1 ? damaged : one_bit) += m.wrong_bits > 0;
        EXPECT_TRUE(damaged > 0 && one_bit > 0);
        EXPECT_EQ(std::tie(d.t.stats().crc_rejected, d.t.stats().repaired), std::tie(damaged, one_bit));
        EXPECT_EQ(d.t.Db.InUse(), 40);

        for (const AircraftTruth& truth : sim.truth()) {
            SCOPED_TRACE(Hex6(truth.icao));
            ASSERT_NE(d.t.Db.IcaoDbPointer(Hex6(truth.icao)), -1);
            const DbRecord& e = d.Entry(truth.icao);
            EXPECT_EQ(std::tie(e.Flight, e.PosKind, e.Altitude, e.Speed),
                      std::tuple(truth.flight.empty() ? "No-Call " : truth.flight, std::string(1, truth.pos_kind),
                                 truth.altitude_ft.value_or(0), truth.speed_kt.value_or(0)));
            if (truth.lat) {
                EXPECT_LE(DistanceM(e.Lat, e.Lon, *truth.lat, *truth.lon), truth.pos_kind == 'S' ? 1.5 : c.tolerance_m);
            } else {
                EXPECT_FALSE(e.HasPos);
            }
        }
    }
}
