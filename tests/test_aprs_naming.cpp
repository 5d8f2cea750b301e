// Objects named by callsign in a running session: a name that changes withdraws the old object
// once, through the station ceiling like any report, before the new one goes out; the object
// that leaves is withdrawn under the name it has on the air; by default nothing is renamed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session_support.h"
#include "temp_path.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

struct Named : HeadlessSession {
    // An identification message of type code `tc` (4 to 1: category sets A to D).
    void Identify(const char* call, int tc, int category, uint32_t icao = 0xABC001) {
        uint64_t me = 0;
        ASSERT_TRUE(traffic::IdentificationMe(call, category, me));
        Feed(MakeEs(icao, (me & ~(uint64_t(0x1F) << 51)) | uint64_t(tc) << 51));
    }
    // Each report as its name, "*" (live) or "_" (withdrawn), and its symbol.
    std::string Objects() const {
        std::string out;
        for (const std::string& l : lines) out += l.substr(22, 10) + l.substr(57, 1) + " ";
        return out;
    }
};

}  // namespace

TEST(AprsNaming, ARenamedObjectIsWithdrawnOnceThroughTheCeilingBeforeTheNewOne) {
    Named n;
    n.s.aprs().SetLook({.naming = AprsNaming::Flight, .symbol = {.by_category = true, .fixed = {}}, .comment = false});
    n.s.aprs().SetRate({0, 2});  // one report every 30 s at most
    n.Pair(0);   // no callsign yet: the address names it
    n.Identify("HELI1", 4, 7);  // a rotorcraft
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

    // A new callsign: once more one withdrawal, then the new name; "Kill expired" is off and
    // a rename withdraws all the same.
    n.Identify("HELI22", 4, 7);
    n.Pair(150);
    n.Pair(180);
    EXPECT_EQ(n.Objects().substr(60), "HELI1    _X HELI22   *X ");
    EXPECT_EQ(n.s.aprs().Counts().withdrawn, 2u);
    EXPECT_EQ(n.s.aprs().Counts().sent, 7u);
    EXPECT_EQ(n.s.aprs().Counts().reported, 1u);

    // Leaving, it is withdrawn under the name it has on the air, not a callsign heard since.
    n.Identify("HELI3", 4, 7);
    n.s.aprs().SetStyle(false, true);
    n.s.SetListSettings({10.0, false});
    n.At("5:14:11:00");
    n.s.ShowTextTable();
    EXPECT_EQ(n.Objects().substr(84), "HELI22   _X ");
    EXPECT_EQ(n.s.aprs().Counts().reported, 0u);
}

TEST(AprsNaming, ByAddressNothingIsRenamedAndAChangedSettingRenamesOnce) {
    Named n;
    n.s.aprs().SetRate({0, 60});  // one report a second: one for each pair
    n.Pair(0);
    n.Identify("GLIDE1", 3, 1);  // a glider, set B
    n.Pair(10);
    n.Pair(20);
    EXPECT_EQ(n.Objects(), "ABC001   *^ ABC001   *^ ABC001   *^ ");
    // Named by flight from now on: the next report renames the object, once (the withdrawal
    // takes that second's slot, the new name the next one).
    n.s.aprs().SetLook({.naming = AprsNaming::Flight, .symbol = {.by_category = true, .fixed = {}}, .comment = false});
    n.Pair(30);
    n.Pair(40);
    EXPECT_EQ(n.Objects().substr(36), "ABC001   _g GLIDE1   *g ");
    // Back to addresses.
    n.s.aprs().SetLook({});
    n.Pair(50);
    n.Pair(60);
    EXPECT_EQ(n.Objects().substr(60), "GLIDE1   _^ ABC001   *^ ");
    EXPECT_EQ(n.s.aprs().Counts().withdrawn, 2u);
}

TEST(AprsNaming, ReplayOptionsNameSymbolAndComment) {
    // A glider (type code 3, category 1) squawking 7700, climbing 1216 ft/min eastwards.
    uint64_t id = 0;
    ASSERT_TRUE(traffic::IdentificationMe("GLIDE1", 1, id));
    traffic::GroundVelocity v;
    v.east_kt = 100, v.vertical_fpm = 1216;
    std::string log;
    for (const std::string& hex :
         {MakeEs(0x3C0001, (id & ~(uint64_t(0x1F) << 51)) | uint64_t(3) << 51), MakeEs(0x3C0001, traffic::EmergencyMe(0, 7700)),
          MakeEs(0x3C0001, traffic::VelocityMe(v)), AirbornePos(0x3C0001, 10.31, 123.91, 0),
          AirbornePos(0x3C0001, 10.31, 123.91, 1)})
        log += "*" + hex + ";\n";
    const std::string path = WriteTemp("aprs_look.log", log);
    const std::string replay = TERNWICK_BIN_DIR "/ternwick-replay --at 5:14:07:00 --airlines /dev/null --aprs ";
    const std::pair<std::string, std::string> runs[] = {
        {"", "QZ7TRK>APZ001,TCPIP*:;3C0001   *051407z1018.  N/12354.00E^GLIDE1  \n"},
        {"--aprs-name flight --aprs-symbol category --aprs-comment",
         "QZ7TRK>APZ001,TCPIP*:;GLIDE1   *051407z1018.60N/12354.60Eg090/100/A=035000 EMERGENCY Sq7700 +1216fpm\n"},
        {"--aprs-symbol '\\X' --aprs-name address", "QZ7TRK>APZ001,TCPIP*:;3C0001   *051407z1018.  N\\12354.00EXGLIDE1  \n"},
    };
    for (const auto& [options, out] : runs) {
        const RunResult r = RunCommand(replay + options + " " + path + " 2>/dev/null");
        EXPECT_EQ(r.status, 0) << options;
        EXPECT_EQ(r.out, out) << options;
    }
    const std::pair<std::string, std::string> refused[] = {
        {"--aprs-name callsign", "--aprs-name 'callsign': the object name is \"address\" or \"flight\"\n"},
        {"--aprs-symbol a^", "--aprs-symbol 'a^': the symbol table is / or \\, or an overlay 0-9 or A-Z\n"},
        {"--aprs-symbol /", "--aprs-symbol '/': a symbol is \"category\" or two characters"},
    };
    for (const auto& [options, message] : refused) {
        const RunResult r = RunCommand(replay + options + " " + path + " 2>&1");
        EXPECT_EQ(r.status, 2) << options;
        EXPECT_NE(r.out.find("ternwick-replay: " + message), std::string::npos) << r.out;
    }
}

TEST(AprsNaming, TwoAircraftWithOneCallsignNeverShareAnObject) {
    Named n;
    n.s.aprs().SetLook({.naming = AprsNaming::Flight, .symbol = {}, .comment = false});
    n.Identify("TWIN1", 4, 3, 0xABC001);
    n.Identify("TWIN1", 4, 3, 0xABC002);
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
