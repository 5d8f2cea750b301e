// The traffic generator's message building against published example messages and the
// altitude code tables, and its recording and truth output.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "cpr_encoder.h"
#include "decode/frame_bytes.h"
#include "mode_s_frames.h"
#include "traffic_sim.h"

using namespace ternwick::traffic;

namespace {

std::string Es(uint32_t icao, uint64_t me) { return ToHex(ExtendedSquitter(icao, kCaAirborne, me)); }

}  // namespace

// Widely published example messages must come out bit for bit, parity included.
TEST(TrafficFrames, PublishedExamplesAreReproduced) {
    uint64_t me = 0;
    ASSERT_TRUE(IdentificationMe("KLM1023", 0, me));
    EXPECT_EQ(Es(0x4840D6, me), "8D4840D6202CC371C32CE0576098");

    // An even/odd airborne pair at 38000 ft; the positions are those the pair decodes to.
    const uint32_t alt = AltitudeQ1(38000);
    EXPECT_EQ(alt, 0xC38u);
    EXPECT_EQ(Es(0x40621D, AirbornePositionMe(11, alt, 0, EncodeCpr(52.2572021484375, 3.91937255859375, 0, false))),
              "8D40621D58C382D690C8AC2863A7");
    EXPECT_EQ(Es(0x40621D, AirbornePositionMe(11, alt, 1, EncodeCpr(52.26578017412606, 3.938912527901786, 1, false))),
              "8D40621D58C386435CC412692AD6");

    // Ground speed 8 kt west, 159 kt south, descending 832 ft/min on a GNSS rate.
    GroundVelocity v;
    v.east_kt = -8;
    v.north_kt = -159;
    v.vertical_fpm = -832;
    v.baro_rate = false;
    v.ifr = true;
    v.gnss_above_baro_ft = 550;
    EXPECT_EQ(Es(0x485020, VelocityMe(v)), "8D485020994409940838175B284F");
    EXPECT_EQ(ReportedSpeed(-8, -159), 159);

    // All-call replies carry the plain CRC of their first 32 bits.
    const Frame allcall = AllCallReply(0x4840D6, kCaAirborne);
    EXPECT_EQ(ToHex(allcall).substr(0, 8), "5D4840D6");
    EXPECT_EQ(ternwick::CRC24_Bytes(allcall.data(), 7), 0);

    EXPECT_FALSE(IdentificationMe("klm1023", 0, me));    // lower case has no code
    EXPECT_FALSE(IdentificationMe("KLM10234X", 0, me));  // nine characters
}

TEST(TrafficFrames, AltitudeCodes) {
    // Q = 1: 25-ft steps from -1000 ft; the Q bit sits between the seventh and eighth bit.
    EXPECT_EQ(AltitudeQ1(-1000), 0x010u);
    EXPECT_EQ(AltitudeQ1(50175), 0xFFFu);
    EXPECT_EQ(AltitudeQ1(60000), 0xFFFu);  // clamped
    EXPECT_EQ(AltitudeOfQ1(AltitudeQ1(10012)), 10000);
    EXPECT_EQ(AltitudeOfQ1(AltitudeQ1(10013)), 10025);

    // Gillham (Q = 0), ICAO Annex 10 pulse table, in field order C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4.
    struct Case { int feet; uint32_t code; };
    for (const Case c : {Case{-1000, 0x200}, Case{0, 0x20A}, Case{5000, 0x248}, Case{21500, 0x74A},
                         Case{35000, 0x661}, Case{50000, 0x323}, Case{-950, 0xA00}}) {
        const auto code = AltitudeGillham(c.feet);
        ASSERT_TRUE(code.has_value()) << c.feet;
        EXPECT_EQ(*code, c.code) << c.feet;
    }
    EXPECT_FALSE(AltitudeGillham(-1300).has_value());
    EXPECT_FALSE(AltitudeGillham(126800).has_value());
    EXPECT_TRUE(AltitudeGillham(126700).has_value());
}

TEST(TrafficFrames, CprZonesAndSurfaceFields) {
    // NL from the closed formula agrees with the published transition table.
    EXPECT_EQ(NumberOfZones(0), 59);
    EXPECT_EQ(NumberOfZones(10.47047129), 59);
    EXPECT_EQ(NumberOfZones(10.4704714), 58);
    EXPECT_EQ(NumberOfZones(-45), 42);
    EXPECT_EQ(NumberOfZones(59.0), 30);
    EXPECT_EQ(NumberOfZones(86.9), 2);
    EXPECT_EQ(NumberOfZones(87.0), 2);
    EXPECT_EQ(NumberOfZones(87.01), 1);

    // The top of a zone wraps to report 0 of the next; a surface zone is a quarter as tall.
    EXPECT_EQ(EncodeCpr(6.0 - 1e-9, 1.0, 0, false).lat, 0u);
    EXPECT_EQ(EncodeCpr(0.75, 0.0, 0, false).lat, 16384u);
    EXPECT_EQ(EncodeCpr(0.75, 0.0, 0, true).lat, 65536u);

    struct Speed { double knots; int code; };
    for (const Speed s : {Speed{0, 1}, Speed{0.125, 2}, Speed{0.99, 8}, Speed{1, 9}, Speed{1.99, 12}, Speed{2, 13},
                          Speed{14.9, 38}, Speed{15, 39}, Speed{69.5, 93}, Speed{70, 94}, Speed{100, 109},
                          Speed{174, 123}, Speed{175, 124}})
        EXPECT_EQ(MovementCode(s.knots), s.code) << s.knots;

    // Movement 14 (2.5 kt), track 90 degrees (code 32) valid, odd format.
    const uint64_t me = SurfacePositionMe(6, MovementCode(2.5), 90.0, 1, CprReport{0x1ABCD, 0x0F0F0});
    EXPECT_EQ(me >> 51, 6u);                 // ME 1-5
    EXPECT_EQ((me >> 44) & 0x7F, 14u);       // ME 6-12
    EXPECT_EQ((me >> 43) & 1, 1u);           // ME 13
    EXPECT_EQ((me >> 36) & 0x7F, 32u);       // ME 14-20
    EXPECT_EQ((me >> 34) & 1, 1u);           // ME 22
    EXPECT_EQ((me >> 17) & 0x1FFFF, 0x1ABCDu);
    EXPECT_EQ(me & 0x1FFFF, 0x0F0F0u);
}

TEST(TrafficOutput, RecordingAndTruthFormats) {
    FleetOptions fleet;
    fleet.centre_lat = 10.3075;
    fleet.centre_lon = 123.9794;
    fleet.aircraft = 16;
    fleet.on_ground = 2;
    fleet.seed = 3;
    SimSettings settings;
    settings.duration_s = 20;
    settings.damage = 0.05;
    TrafficSim sim(RandomFleet(fleet), settings);
    const auto messages = sim.Run();
    ASSERT_GT(messages.size(), 400u);

    // Every record: "*", 14 or 28 upper-case hex digits, ";", CR LF; time order kept.
    const std::string text = RecordingText(messages);
    const std::regex record(R"(\*([0-9A-F]{14}|[0-9A-F]{28});\r\n)");
    size_t pos = 0, records = 0, damaged = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), record), end; it != end; ++it, ++records) {
        ASSERT_EQ(static_cast<size_t>(it->position()), pos) << "stray text before record " << records;
        pos += it->length();
    }
    EXPECT_EQ(pos, text.size());
    EXPECT_EQ(records, messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        if (i) {
            EXPECT_LE(messages[i - 1].time, messages[i].time);
        }
        const auto bytes = ternwick::cv_BytesFromHex(messages[i].hex);
        if (bytes.size() == 14) {
            EXPECT_EQ(bytes[0] >> 3, 17);  // damage never touches the downlink format
            EXPECT_EQ(ternwick::CRC24_Bytes(bytes) != 0, messages[i].damaged);
        }
        damaged += messages[i].damaged;
    }
    EXPECT_GT(damaged, 0u);

    // Header, one row per aircraft, callsigns of known airlines padded to 8 characters.
    const std::string csv = TruthCsv(sim.truth());
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "icao,flight,pos_kind,altitude_ft,speed_kt,lat,lon");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 17);
    const std::regex row(
        R"(([0-9A-F]{6}),(([A-Z]{3}[0-9]{1,4} *)?),([AS-]),(-?[0-9]*),([0-9]*),(-?[0-9.]*),(-?[0-9.]*))");
    std::istringstream lines(csv.substr(csv.find('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, row)) << line;
        if (!m[2].str().empty()) {
            EXPECT_EQ(m[2].length(), 8) << line;
        }
    }
}
