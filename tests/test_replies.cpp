// Address/parity replies, DF18, the status messages of extended squitters and the one-bit
// repair: known messages built with the traffic generator's encoders, literal answers.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "decode/reply_fields.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;
using traffic::Ac13FromAc12;
using traffic::AddressParityReply;
using traffic::Id13;
using traffic::ToHex;

namespace {

std::string Reply(int df, int fs, uint32_t code13, uint32_t icao, uint64_t mb = 0) {
    return ToHex(AddressParityReply(df, fs, code13, icao, mb));
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Df18(uint32_t address, int cf, uint64_t me) { return ToHex(traffic::NonTransponderSquitter(address, cf, me)); }

}  // namespace

TEST(ReplyFields, AltitudeAndIdentityCodes) {
    // All 2048 Q = 0 codes against the conversion from the altitude side (the traffic
    // generator's): the 1280 codes of the 100-ft steps from -1200 ft, and no altitude for
    // the 768 codes no step makes.
    std::map<uint32_t, int> legal;
    for (int feet = -1200; feet <= 126700; feet += 100) legal[*traffic::AltitudeGillham(feet)] = feet;
    ASSERT_EQ(legal.size(), 1280u);
    for (uint32_t code = 0; code < 4096; ++code) {
        if (code & 0x10) continue;  // Q = 1
        int32_t got = 0;
        const auto it = legal.find(code);
        ASSERT_EQ(AltitudeFromAc12(code, got) ? got : -1, it == legal.end() ? -1 : it->second) << std::hex << code;
    }
    // Hand-made codes, each also as AC13 (the M bit inserted): Q = 1, 25-ft steps from -1000 ft;
    // Gillham (Q = 0), bits C1 A1 C2 A2 C4 A4 B1 Q B2 D2 B4 D4: the lowest step, one in an odd
    // 500-foot band (counted backwards), and one far up.
    for (auto [ac12, feet] : {std::pair{0x010u, -1000}, {0xFFFu, 50175}, {0b000010000000u, -1200},
                              {0b100000000010u, -700}, {0b001101100010u, 10000}}) {
        int32_t ft = 0, ft13 = 0;
        ASSERT_TRUE(AltitudeFromAc12(ac12, ft) && AltitudeFromAc13(Ac13FromAc12(ac12), ft13)) << std::hex << ac12;
        EXPECT_EQ(std::pair(ft, ft13), std::pair(feet, feet)) << std::hex << ac12;
    }
    // AC13 alone: a DF20 of the recorded traffic (A0001838..., Q = 1, N = 1560), M = 1 (metres),
    // and codes that are no altitude (-1; all zeros: not available; C1 C2 C4 all set).
    for (auto [code, feet] : {std::pair{0x1838u, 38000}, {traffic::Ac13Metric(1000), 3281}, {traffic::Ac13Metric(1), 3},
                              {0x0000u, -1}, {0x1500u, -1}, {0x0040u, -1}}) {
        int32_t got = 0;
        EXPECT_EQ(AltitudeFromAc13(code, got) ? got : -1, feet) << std::hex << code;
    }

    // ID13, top bit first: C1 A1 C2 A2 C4 A4 X B1 D1 B2 D2 B4 D4.
    for (auto [code, squawk] : {std::pair{0x0AAAu, 7700}, {0x1C09u, 1234}, {0x0000u, 0}, {0x1FBFu, 7777}, {0x0040u, 0}}) {
        EXPECT_EQ(SquawkFromId13(code), squawk) << std::hex << code;
    }
    for (int squawk : {7500, 7600, 7700, 1200, 2000, 4571}) EXPECT_EQ(SquawkFromId13(Id13(squawk)), squawk);

    // BDS 2,0: eight valid characters, the first not blank; not with a last character code 63 (no
    // character), nor BDS 2,1 with the same characters.
    const uint64_t klm = IdMe("KLM123");
    for (auto [me, want] : {std::pair{klm, "KLM123  "}, {klm | 0x3F, ""}, {IdMe(" KLM123"), ""},
                            {klm ^ (uint64_t{0x01} << 48), ""}}) {
        uint8_t mb[7];
        for (int k = 0; k < 7; ++k) mb[k] = uint8_t(me >> (48 - 8 * k));
        std::string cs;
        EXPECT_EQ(CommBIdentification(mb, cs) ? cs : "", want) << std::hex << me;
    }
}

TEST(Replies, AcceptedOnlyFromAircraftHeardWithinAMinuteCommBIdentificationGivesWayToTheSquitter) {
    Tracking f;
    const std::string df4 = Reply(4, 0, Ac13FromAc12(traffic::AltitudeQ1(9000)), 0x4840D6);
    Feed(f.t, df4);  // nobody heard yet: refused, no entry
    EXPECT_EQ(f.t.RxText(), df4 + "\r\nDF04 Surveillance Altitude Reply\r\nUnknown address 4840D6");
    EXPECT_EQ(f.t.Db.InUse(), 0);

    Feed(f.t, AllCall(0x4840D6));
    f.host.seconds = 1030;
    Feed(f.t, df4);
    EXPECT_EQ(f.t.RxText(), df4 + "\r\nDF04 Surveillance Altitude Reply\r\nICAO 4840D6\r\nAltitude 9000 ft\r\nStatus airborne");
    EXPECT_EQ(std::tie(f.e("4840D6").Altitude, f.e("4840D6").LastHeard, f.e("4840D6").FlightStatus), std::tuple(9000, 1030, 0));
    f.host.seconds = 1060;  // 60 s after the all-call reply: still heard recently
    Feed(f.t, Reply(5, 1, Id13(7700), 0x4840D6));
    EXPECT_EQ(std::tie(f.e("4840D6").Squawk, f.e("4840D6").FlightStatus), std::tuple(7700, 1));
    EXPECT_TRUE(Has(f.t.RxText(), "\r\nDF05 Surveillance Identity Reply\r\nICAO 4840D6\r\nSquawk 7700\r\nStatus on the ground"));
    Feed(f.t, Reply(5, 5, Id13(7700), 0x4840D6));  // all three status bits count: 5 is SPI
    EXPECT_EQ(f.e("4840D6").FlightStatus, 5);
    EXPECT_TRUE(Has(f.t.RxText(), "Squawk 7700\r\nStatus SPI"));
    // 70 s after the last all-call reply or squitter: refused, however many replies came since.
    f.host.seconds = 1070;
    Feed(f.t, Reply(4, 0, Ac13FromAc12(traffic::AltitudeQ1(5000)), 0x4840D6));
    EXPECT_EQ(f.e("4840D6").Altitude, 9000);
    EXPECT_EQ(std::tie(f.t.stats().ap_accepted, f.t.stats().ap_refused), std::tuple(3u, 2u));
    // A squitter makes it heard again; DF0 and DF16 carry the altitude, Gillham coded here.
    Feed(f.t, MakeEs(0x4840D6, IdMe("KLM123")));
    const std::string df0 = Reply(0, 0, Ac13FromAc12(*traffic::AltitudeGillham(12300)), 0x4840D6);
    Feed(f.t, df0);
    EXPECT_EQ(f.t.RxText(), df0 + "\r\nDF00 Short ACAS\r\nICAO 4840D6\r\nAltitude 12300 ft");
    Feed(f.t, Reply(16, 0, traffic::Ac13Metric(3000), 0x4840D6, 0x123456789ABCDE));
    EXPECT_EQ(f.e("4840D6").Altitude, 9843);
    EXPECT_TRUE(Has(f.t.RxText(), "DF16 Long ACAS\r\nICAO 4840D6\r\nAltitude 9843 ft"));
    Feed(f.t, Reply(4, 0, 0, 0x4840D6));  // altitude not available: kept
    EXPECT_EQ(f.e("4840D6").Altitude, 9843);
    EXPECT_TRUE(Has(f.t.RxText(), "ICAO 4840D6\r\nAltitude not valid\r\nStatus airborne"));
    // A reply of the other length is not one of these formats.
    Feed(f.t, "20001838CA380400000000000000");
    EXPECT_EQ(f.t.stats().ap_accepted, 6u);

    // Comm-B identification.
    Feed(f.t, AllCall(0x484175));
    const std::string df21 = Reply(21, 0, Id13(1000), 0x484175, IdMe("KLM605"));
    Feed(f.t, df21);
    EXPECT_EQ(f.t.RxText(), df21 +
                                "\r\nDF21 Comm-B Identity Reply\r\nICAO 484175\r\nSquawk 1000\r\nStatus airborne\r\n"
                                "Comm-B Identification\r\nKLM605  ");
    EXPECT_EQ(std::tie(f.e("484175").Flight, f.e("484175").IataFlight, f.e("484175").Airline),
              std::tuple("KLM605  ", "KL605   ", "KLM Royal Dutch Airlines"));
    // Any other register: traced as Comm-B, nothing taken.
    Feed(f.t, Reply(20, 2, Ac13FromAc12(traffic::AltitudeQ1(38000)), 0x484175, 0x40123456789ABC));
    EXPECT_TRUE(Has(f.t.RxText(), "DF20 Comm-B Altitude Reply\r\nICAO 484175\r\nAltitude 38000 ft\r\n"
                                  "Status alert, airborne\r\nComm-B"));
    EXPECT_EQ(f.e("484175").Flight, "KLM605  ");
    // The squitter's identification wins, and a later Comm-B one does not undo it.
    Feed(f.t, MakeEs(0x484175, IdMe("TST9")));
    Feed(f.t, Reply(20, 0, Ac13FromAc12(traffic::AltitudeQ1(38000)), 0x484175, IdMe("KLM605")));
    EXPECT_EQ(std::tie(f.e("484175").Flight, f.e("484175").Airline), std::tuple("TST9    ", "Test Airways"));
}

TEST(Replies, StatusMessagesOfTheSquitter) {
    Tracking f;
    Feed(f.t, MakeEs(0x484175, IdMe("KLM123")));
    Feed(f.t, MakeEs(0x484175, traffic::EmergencyMe(1, 7700)));
    EXPECT_TRUE(Has(f.t.RxText(), "TC28 Emergency Status\r\nSquawk 7700\r\nEmergency general"));
    Feed(f.t, MakeEs(0x3C6DD2, traffic::EmergencyMe(5, 1234)));  // no callsign: the address
    Feed(f.t, MakeEs(0x4CA2B1, traffic::EmergencyMe(0, 2000)));  // no emergency
    EXPECT_EQ(f.e("4CA2B1").Squawk, 2000);
    EXPECT_EQ(f.t.StatusText(),
              "Flights in range: 3\r\nFlights with pos: 0\r\nEMERGENCY 7700 KLM123\r\nEMERGENCY 1234 3C6DD2\r\n");
    Feed(f.t, MakeEs(0x484175, traffic::EmergencyMe(0, 1000)));  // over
    EXPECT_FALSE(f.e("484175").InEmergency());
    // A test message, subtype 7: the Mode A code in ME 9-21 (a recorded one, squawk 2221).
    Feed(f.t, "8DACA251BF30C000000000F12FDA");
    EXPECT_TRUE(Has(f.t.RxText(), "TC23 Test Squawk\r\nSquawk 2221"));
    EXPECT_EQ(f.e("ACA251").Squawk, 2221);
    // Type code 0: no position, the altitude alone (a recorded one), or nothing at all.
    Feed(f.t, "8D4070E50063E000000000279231");
    EXPECT_TRUE(Has(f.t.RxText(), "TC00 Altitude Only\r\nAltitude 18950 ft"));
    EXPECT_EQ(f.e("4070E5").Altitude, 18950);
    Feed(f.t, MakeEs(0x4070E5, 0));
    EXPECT_EQ(f.t.RxText().substr(f.t.RxText().size() - 6), "\r\nTC00");
    EXPECT_EQ(f.e("4070E5").Altitude, 18950);

    Feed(f.t, MakeEs(0x484175, traffic::TargetStateMe(35008, 90.0)));
    EXPECT_TRUE(Has(f.t.RxText(), "TC29 Target State\r\nSelected altitude 35008 ft\r\nSelected heading 90"));
    EXPECT_EQ(std::tie(f.e("484175").SelAltitude, f.e("484175").SelHeading), std::tuple(35008, 90.0));
    Feed(f.t, MakeEs(0x484175, traffic::OperationalStatusMe(0x2000, 2)));
    EXPECT_TRUE(Has(f.t.RxText(), "TC31 Operational Status\r\nADS-B version 2"));
    EXPECT_EQ(std::tie(f.e("484175").AdsbVersion, f.e("484175").Capability), std::tuple(2, 0x2000));
}

TEST(Replies, Df18ByControlFieldAndNonIcaoAddressesApart) {
    Tracking f;
    // cf, trace line, key text, source
    const std::tuple<int, const char*, const char*, int8_t> cases[] = {
        {0, "DF18 Extended Squitter (ADS-B)\r\nICAO 4CA2B1", "4CA2B1", kSourceAdsb},
        {1, "DF18 Extended Squitter (ADS-B, other address)\r\nAddress ~4CA2B1", "~4CA2B1", kSourceAdsb},
        {2, "DF18 Extended Squitter (TIS-B)\r\nICAO 4CA2B1", "4CA2B1", kSourceTisb},
        {5, "DF18 Extended Squitter (TIS-B, other address)\r\nAddress ~4CA2B1", "~4CA2B1", kSourceTisb},
        {6, "DF18 Extended Squitter (ADS-R)\r\nICAO 4CA2B1", "4CA2B1", kSourceAdsr}};
    for (const auto& [cf, trace, key, source] : cases) {
        Feed(f.t, Df18(0x4CA2B1, cf, IdMe("TST123")));
        EXPECT_TRUE(Has(f.t.RxText(), std::string(trace) + "\r\nTC04 Identification\r\nTST123  ")) << f.t.RxText();
        EXPECT_EQ(std::tie(f.e(key).Flight, f.e(key).Source), std::tuple("TST123  ", source)) << cf;
    }
    for (int cf : {3, 4, 7}) {  // other layouts: traced only
        const std::string m = Df18(0x111111, cf, IdMe("TST123"));
        Feed(f.t, m);
        EXPECT_EQ(f.t.RxText(), m + "\r\nDF18 Extended Squitter (CF" + std::to_string(cf) + " not decoded)");
    }
    EXPECT_EQ(f.t.Db.InUse(), 2);

    // A non-ICAO target and an ICAO aircraft with the same 24 bits: two entries, and an
    // address/parity reply belongs to the ICAO one only.
    Feed(f.t, MakeEs(0x4CA2B1, IdMe("KLM123")));
    Feed(f.t, Df18(0x4CA2B1, 5, IdMe("TST9")));
    EXPECT_EQ(std::tie(f.e("4CA2B1").Flight, f.e("~4CA2B1").Flight), std::tuple("KLM123  ", "TST9    "));
    Feed(f.t, Reply(5, 0, Id13(7700), 0x4CA2B1));
    EXPECT_EQ(std::tie(f.e("4CA2B1").Squawk, f.e("~4CA2B1").Squawk), std::tuple(7700, -1));
    Feed(f.t, Df18(0xABCDEF, 1, IdMe("TST9")));  // heard only as non-ICAO
    Feed(f.t, Reply(5, 0, Id13(7700), 0xABCDEF));
    EXPECT_TRUE(Has(f.t.RxText(), "Unknown address ABCDEF"));
    EXPECT_EQ(f.e("~ABCDEF").Squawk, -1);
    EXPECT_EQ(f.t.Db.IcaoDbPointer("ABCDEF"), -1);
}

TEST(Replies, OneWrongBitRepairedTwoNot) {
    const traffic::Frame good = traffic::ExtendedSquitter(0x4CA2B1, traffic::kCaAirborne, IdMe("TST123"));
    auto flipped = [&good](std::initializer_list<int> bits) {
        traffic::Frame f = good;
        for (int b : bits) f[b / 8] ^= uint8_t(0x80 >> (b % 8));
        return f;
    };
    // Every position after the downlink format, through the evaluation.
    for (int bit = 5; bit < 112; ++bit) {
        Tracking f;
        const std::string m = ToHex(flipped({bit}));
        Feed(f.t, m);
        ASSERT_EQ(f.t.RxText(), m + "\r\nDF17 Extended Squitter\r\nBit " + std::to_string(bit + 1) +
                                    " repaired\r\nICAO 4CA2B1\r\nTC04 Identification\r\nTST123  ");
        ASSERT_EQ(f.t.stats().repaired, 1u);  // (with repair turned off: the replay command's test)
    }
    // The downlink format itself is never repaired, and no two-bit error looks like one.
    for (int bit = 0; bit < 5; ++bit) EXPECT_EQ(SingleBitErrorPosition(Syndrome112(flipped({bit}).data())), -1) << bit;
    for (int a = 0; a < 112; ++a)
        for (int b = a + 1; b < 112; ++b)
            ASSERT_EQ(SingleBitErrorPosition(Syndrome112(flipped({a, b}).data())), -1) << a << " " << b;
    Tracking f;
    Feed(f.t, ToHex(flipped({40, 41})));
    EXPECT_EQ(f.t.stats().repaired, 0u);
    EXPECT_EQ(f.t.Db.InUse(), 0);
}
