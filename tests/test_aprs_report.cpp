// APRS reports and AX.25/KISS frames byte for byte, refused settings, decode_aprs reading them, a KISS TNC.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <string>
#include <tuple>

#include "aprs/aprs_look.h"
#include "aprs/aprs_report.h"
#include "aprs/aprs_station.h"
#include "session/aprs_output.h"

#include "fake_receiver.h"
#include "pseudo_terminal.h"
#include "temp_path.h"

using namespace ternwick;
using namespace ternwick::test;
using namespace std::string_literals;

namespace {

AprsStation Station(const char* source, const char* destination, const char* path) {
    AprsStation s;
    EXPECT_EQ(ParseAx25Address(source, false, s.source), "") << source;
    EXPECT_EQ(ParseAx25Address(destination, false, s.destination), "") << destination;
    EXPECT_EQ(ParseAx25Path(path, s.path.emplace()), "") << path;
    return s;
}

DbRecord Aircraft(const char* icao, const std::string& flight, double lat, double lon, const char* kind = "A",
                  int altitude = 0, int speed = 0, double track = -1.0) {
    DbRecord e;
    e.Icao = icao, e.Flight = flight, e.PosKind = kind, e.Altitude = altitude;
    e.Speed = speed, e.Lat = lat, e.Lon = lon, e.Track = track;
    return e;
}

// An airborne aircraft at 10.31269 N 123.97905 E: minutes 18.7614 and 58.7430, "!DAO!" digits 1 and 3.
DbRecord Flying(const char* kind = "A") {
    DbRecord e = Aircraft("75802C", "PAL123  ", 10.31269, 123.97905, kind, 35000);
    e.Airline = "Philippine Airlines";
    return e;
}

// The readable aircraft climbing eastwards, squawking `squawk`.
DbRecord Climbing(int squawk) {
    DbRecord e = Flying();
    e.Track = 90, e.Speed = 250, e.Squawk = squawk, e.VertRate = 1216, e.HasVertRate = true;
    return e;
}

constexpr AprsTime kAt{5, 14, 7};
constexpr AprsReportStyle kReadable{.rich = false, .killed = false, .comment = true};
const std::string kNorth = "QZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  \r";

std::string HexBytes(const std::string& bytes) { return QByteArray::fromStdString(bytes).toHex(' ').toStdString(); }

}  // namespace

TEST(AprsReport, LineAndRichReportBytes) {
    EXPECT_EQ(AprsObjectLine(Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701), kAt), kNorth);  // 67 bytes
    // Never rounded up; S and W with unsigned degrees; table longitudes above 180 are west, surface ones below 0.
    const std::tuple<double, double, const char*> positions[] = {
        {5.25, 0.5, "0515.  N/00030.00E^"},    {53.9999, 179.99999, "5359.  N/17959.00E^"},
        {0.0, 0.0, "0000.  N/00000.00E^"},     {-33.8688, 289.75, "3352.  S/07015.00W^"},
        {-0.5, -0.45, "0030.  S/00027.00W^"},  {10.0, 180.0, "1000.  N/18000.00E^"},
        {10.0, 360.0, "1000.  N/00000.00E^"},
    };
    for (auto [lat, lon, text] : positions)
        EXPECT_EQ(AprsObjectLine(Aircraft("ABCDEF", "        ", lat, lon), {1, 0, 0}).substr(39, 19), text) << lat;
    EXPECT_EQ(AprsObjectLine(Aircraft("4CA1F3", "No-Call ", 1, 1), {31, 0, 59}).substr(32),
              "310059z0100.  N/00100.00E^No-Call \r");

    const std::pair<DbRecord, const char*> cases[] = {
        {Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701, "A", 35000, 250, 182.88),
         ";4CA1F3   *051407z5325.27N/00616.20E^183/250/A=035000 ABC123"},
        // Surface: no altitude; no velocity heard: no course/speed.
        {Aircraft("E80451", "LAN800  ", -33.8688, 289.75, "S"), ";E80451   *051407z3352.12S/07015.00W^LAN800"},
        // Exactly north is 360 too ("000" reads as no course).
        {Aircraft("A00004", "        ", 1, 1, "A", 500, 100, 0.0),
         ";A00004   *051407z0100.00N/00100.00E^360/100/A=000500"},
        // A track rounding to 0 is north, 360; speed above 999 kt is written 999.
        {Aircraft("A00001", "        ", 0.7, 359.9999, "A", -200, 1200, 359.6),
         ";A00001   *051407z0042.00N/00000.00W^360/999/A=-00200"},
        // Sea level is "/A=000000", not a negative zero.
        {Aircraft("A00005", "        ", 1, 1, "A", 0, 100, 90.0),
         ";A00005   *051407z0100.00N/00100.00E^090/100/A=000000"},
        // Never rounded up: 59.999 minutes stay 59.99.
        {Aircraft("A00002", "No-Call ", 10.99999, 0.5, "A", 1000, 0, 90.0),
         ";A00002   *051407z1059.99N/00030.00E^090/000/A=001000 No-Call"},
        // The comment stays within 43 characters: the callsign is cut, course and speed kept.
        {Aircraft("A00003", std::string(50, 'X'), 1, 1, "A", 500, 100, 45.0),
         ";A00003   *051407z0100.00N/00100.00E^045/100/A=000500 XXXXXXXXXXXXXXXXXXXXXXXXXX"},
    };
    for (const auto& [e, info] : cases) EXPECT_EQ(AprsObjectInfo(e, kAt, {.rich = true}), info);

    // A withdrawn object: "_" in place of "*", the rest as the live report.
    EXPECT_EQ(AprsObjectInfo(cases[1].first, kAt, {.rich = true, .killed = true}),
              ";E80451   _051407z3352.12S/07015.00W^LAN800");
    EXPECT_EQ(AprsObjectInfo(cases[1].first, kAt, {.killed = true}), ";E80451   _051407z3352.  S/07015.00W^LAN800  ");
}

TEST(AprsReport, NonIcaoAddressesAreKeptApartFromIcaoOnes) {
    // Each key gives its own text back: a non-ICAO address ("~") never shares a key with an ICAO one.
    for (const char* text : {"4CA1F3", "~4CA1F3", "CCA1F3", "~000000", "800000"})
        EXPECT_EQ(AprsAddressText(AprsAddressKey(text)), text);
}

TEST(AprsLook, SymbolsByEmitterCategoryAndAsTyped) {
    // Sets A (type code 4) to D (type code 1), categories 0 to 7.
    const char* const expected[4] = {
        "/^ /' /^ /^ /^ /^ /^ /X",  // A: none, light, small, large, high vortex, heavy, high performance, rotorcraft
        "/^ /g /O /^ /g /^ /S /S",  // B: none, glider, lighter than air, parachutist, ultralight, -, UAV, space
        "/^ /^ /^ /^ /^ /^ /^ /^",  // C: surface vehicles and obstacles: no symbol of their own
        "/^ /^ /^ /^ /^ /^ /^ /^",  // D: reserved
    };
    const AprsSymbolChoice by_category{.by_category = true, .fixed = {}};
    for (int set = 0; set < 4; ++set) {
        std::string got;
        for (int cat = 0; cat < 8; ++cat) {
            DbRecord e;
            e.Category = static_cast<uint8_t>((0xA + set) << 4 | cat);
            const AprsSymbol s = SymbolFor(e, by_category);
            got += std::string(cat ? " " : "") + s.table + s.code;
        }
        EXPECT_EQ(got, expected[set]) << "set " << char('A' + set);
    }
    // Nothing heard: the long-standing symbol (a fixed one and where it goes: the replay's test).
    EXPECT_EQ(SymbolFor(DbRecord{}, by_category), (AprsSymbol{'/', '^'}));

    // As typed. Refusals of the table and of a single character: the replay's and the window's tests.
    const std::tuple<const char*, const char*, AprsSymbolChoice> symbols[] = {
        {"category", "", {.by_category = true, .fixed = {}}},
        {"/'", "", {.by_category = false, .fixed = {'/', '\''}}},
        {"\\^", "", {.by_category = false, .fixed = {'\\', '^'}}},
        {"9X", "", {.by_category = false, .fixed = {'9', 'X'}}},  // overlay "9" on the alternate table
        {"/^^", "a symbol is \"category\" or two characters: the table (/ or \\, or an overlay 0-9 or A-Z) and the code", {}},
        {"/ ", "the symbol code is a character from ! to ~", {}},
        {"/\x7f", "the symbol code is a character from ! to ~", {}},
    };
    const AprsSymbolChoice kept{.by_category = false, .fixed = {'K', 'K'}};
    for (const auto& [text, error, choice] : symbols) {
        AprsSymbolChoice got = kept;
        EXPECT_EQ(ParseAprsSymbol(text, got), error) << text;
        EXPECT_EQ(got, *error ? kept : choice) << text;  // a refused text leaves the setting as it was
        EXPECT_TRUE(*error || AprsSymbolText(got) == text) << text << " reads back as " << AprsSymbolText(got);
    }
}

TEST(AprsLook, NamesAreNineCharactersTheCallsignOnceKnownElseTheAddress) {
    const std::tuple<const char*, const char*, const char*, const char*> names[] = {
        {"75802C", "PAL123  ", "75802C   ", "PAL123   "}, {"75802C", "        ", "75802C   ", "75802C   "},
        {"75802C", "No-Call ", "75802C   ", "75802C   "}, {"75802C", "", "75802C   ", "75802C   "},
        {"75802C", "CEBUPAC1", "75802C   ", "CEBUPAC1 "},
        {"~1A2B3C", " GND1   ", "~1A2B3C  ", "GND1     "},  // a non-ICAO address keeps to nine too
    };
    for (const auto& [icao, flight, by_address, by_flight] : names) {
        const DbRecord e = Aircraft(icao, flight, 0, 0);
        EXPECT_EQ(AprsObjectName(e, AprsNaming::Address), by_address) << flight;
        EXPECT_EQ(AprsObjectName(e, AprsNaming::Flight), by_flight) << flight;
    }
}

TEST(AprsLook, ReadableCommentsKeepToFortyThreeCharacters) {
    auto with = [](DbRecord e, auto change) {
        change(e);
        return e;
    };
    const std::pair<DbRecord, const char*> cases[] = {
        // Every item at its widest (course/speed, altitude, EMERGENCY, squawk, climb) fills the 43: no DAO or names.
        {with(Climbing(7777),
              [](DbRecord& e) { e.Track = 359.6, e.Speed = 1200, e.Altitude = -1000, e.Emergency = 5, e.VertRate = -32640; }),
         "360/999/A=-01000 EMERGENCY Sq7777 -32640fpm"},
        // Squawk 7700 alone is an emergency; no room left for the DAO.
        {Climbing(7700), "090/250/A=035000 EMERGENCY Sq7700 +1216fpm"},
        // Room for the DAO but not the callsign: the airline goes with it.
        {Climbing(1200), "090/250/A=035000 Sq1200 +1216fpm !W13!"},
        // A callsign that just fits (43); one a character too long goes, and the airline first, "Air" or not.
        {with(Climbing(1200), [](DbRecord& e) { e.Flight = "HELI    "; }), "090/250/A=035000 Sq1200 +1216fpm !W13! HELI"},
        {with(Climbing(1200), [](DbRecord& e) { e.Flight = "HELI1   ", e.Airline = "Air"; }),
         "090/250/A=035000 Sq1200 +1216fpm !W13!"},
        // No track, level: the airline's name in whole words as far as they fit.
        {with(Flying(), [](DbRecord& e) { e.Squawk = 1200, e.HasVertRate = true; }), "/A=035000 Sq1200 !W13! PAL123 Philippine"},
        {Flying(), "/A=035000 !W13! PAL123 Philippine Airlines"},
        // Surface: the DAO always fits (no altitude, no climb, even in an emergency).
        {with(Flying("S"),
              [](DbRecord& e) {
                  e.Track = 45, e.Speed = 10, e.Squawk = 7600, e.Emergency = 1, e.VertRate = -32640, e.HasVertRate = true;
              }),
         "045/010EMERGENCY Sq7600 !W13! PAL123"},
        // Nothing but the DAO: padded to the 7 characters a data extension takes, or direwolf does not look into it.
        {with(Flying("S"), [](DbRecord& e) { e.Flight = "        ", e.Airline = ""; }), "!W13!  "},
        // No callsign yet, an airline with accents and "|"; a first word too long is left out.
        {with(Flying(), [](DbRecord& e) { e.Flight = "        ", e.Airline = "Aero\xC3\xA9x|ico"; }),
         "/A=035000 !W13! Aeroexico"},
        {with(Flying(), [](DbRecord& e) { e.Flight = "No-Call ", e.Airline = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF"; }),
         "/A=035000 !W13!"},
    };
    const std::string head = ";75802C   *051407z1018.76N/12358.74E^";
    for (const auto& [e, comment] : cases) {
        EXPECT_EQ(AprsObjectInfo(e, kAt, kReadable), head + comment);
        EXPECT_LE(std::string(comment).size(), kAprsMaxComment) << comment;
    }
    // Named by its callsign, the object does not carry it again in the comment.
    EXPECT_EQ(AprsObjectInfo(Flying(), kAt, kReadable, "PAL123   "),
              ";PAL123   *051407z1018.76N/12358.74E^/A=035000 !W13! Philippine Airlines");

    // By default none of it shows, emergency or not: the long-standing lines, byte for byte.
    const DbRecord alarm = with(Climbing(7700), [](DbRecord& e) { e.Emergency = 1, e.Category = 0xA7; });
    EXPECT_EQ(AprsObjectInfo(alarm, kAt), ";75802C   *051407z1018.  N/12358.00E^PAL123  ");
    EXPECT_EQ(AprsObjectInfo(alarm, kAt, {.rich = true}), ";75802C   *051407z1018.76N/12358.74E^090/250/A=035000 PAL123");
}

TEST(AprsStation, AddressFieldKissBytesAndRefusedSettings) {
    // Characters shifted left, blanks to six; SSID byte: C (destination) or H (repeated), 11, SSID, end bit.
    const std::tuple<AprsStation, std::string, std::string> cases[] = {
        {Station("n0call-15", "APRS-1", "WIDE1*,WIDE2-2"), "N0CALL-15>APRS-1,WIDE1*,WIDE2-2:",
         "\x82\xA0\xA4\xA6\x40\x40\xE2"  "\x9C\x60\x86\x82\x98\x98\x7E"
         "\xAE\x92\x88\x8A\x62\x40\xE0"  "\xAE\x92\x88\x8A\x64\x40\x65"  "\x03\xF0"s},
        {Station("K1A", "APZ001", ""), "K1A>APZ001:",
         "\x82\xA0\xB4\x60\x60\x62\xE0"  "\x96\x62\x82\x40\x40\x40\x61"  "\x03\xF0"s},
        // "*" on a later entry: every entry before it has been repeated too.
        {Station("N0CALL-0", "APZ001-15", "WIDE1-1,WIDE2-1*"), "N0CALL>APZ001-15,WIDE1-1,WIDE2-1*:",
         "\x82\xA0\xB4\x60\x60\x62\xFE"  "\x9C\x60\x86\x82\x98\x98\x60"
         "\xAE\x92\x88\x8A\x62\x40\xE2"  "\xAE\x92\x88\x8A\x64\x40\xE3"  "\x03\xF0"s},
    };
    for (const auto& [station, header, frame] : cases) {
        EXPECT_EQ(Tnc2Header(station), header);
        EXPECT_EQ(Ax25UiFrame(station, *station.path, ""), frame) << HexBytes(Ax25UiFrame(station, *station.path, ""));
    }
    // Without a path of their own, text lines keep "TCPIP*" and frames for a TNC go via WIDE1-1.
    EXPECT_EQ(Tnc2Header(AprsStation{}, AprsFormat::Text), "QZ7TRK>APZ001,TCPIP*:");
    EXPECT_EQ(Tnc2Header(AprsStation{}, AprsFormat::Kiss), "QZ7TRK>APZ001,WIDE1-1:");
    // Bytes 0xC0 (FEND) and 0xDB (FESC) in a frame go out as FESC TFEND and FESC TFESC.
    const std::string kiss = KissDataFrame("AB\xC0\xDB" "C");
    EXPECT_EQ(kiss, "\xC0\x00" "AB\xDB\xDC\xDB\xDD" "C\xC0"s) << HexBytes(kiss);

    const std::pair<const char*, const char*> calls[] = {
        {"N0CALLX", "a callsign has at most 6 letters and digits"},
        {"N0CALL-16", "the SSID after \"-\" is a number from 0 to 15"},
        {"N0CALL-1A", "the SSID after \"-\" is a number from 0 to 15"},
        {"N0.CAL", "a callsign has only letters and digits"}, {"", "no callsign"},
        {"N0CALL*", "\"*\" (already repeated) belongs only in a path"},
    };
    Ax25Address a{"KEPT"};
    for (const auto& [text, reason] : calls) EXPECT_EQ(ParseAx25Address(text, false, a), reason) << text;
    EXPECT_EQ(a.call, "KEPT");  // a refused text leaves the setting as it was

    const std::pair<const char*, const char*> paths[] = {
        {"A,B,C,D,E,F,G,H,I", "a path has at most 8 entries"}, {"WIDE1-1,", "entry 2: no callsign"},
        {"WIDE1-1,RELAY-X", "entry 2: the SSID after \"-\" is a number from 0 to 15"},
        {"WIDE1-1,TOOLONG1", "entry 2: a callsign has at most 6 letters and digits"},
    };
    std::vector<Ax25Address> path;
    for (const auto& [text, reason] : paths) EXPECT_EQ(ParseAx25Path(text, path), reason) << text;
    EXPECT_EQ(ParseAx25Path("A,B,C,D,E,F,G,H", path), "");
    EXPECT_EQ(path.size(), 8u);
    EXPECT_EQ(ParseAx25Path(" ", path), "");
    EXPECT_TRUE(path.empty());
}

TEST(AprsReport, DecodeAprsReadsEveryFormBack) {
    if (std::system("command -v decode_aprs >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "decode_aprs (Debian package direwolf) is not installed";
    // Monitor-format lines "SRC>DST,PATH:info", one a line, and a KISS frame as hex bytes.
    std::string in = kNorth + AprsObjectLine(Aircraft("3C6DD2", "LAN800  ", -33.8688, 289.75), kAt);
    std::replace(in.begin(), in.end(), '\r', '\n');
    const AprsStation station = Station("N0CALL-9", "APZ001", "WIDE1-1,WIDE2-1");
    const DbRecord rich = Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701, "A", 35000, 250, 182.88);
    const DbRecord killed = Aircraft("E80451", "LAN800  ", -33.8688, 289.75, "A", 1250, 10, 270.0);
    in += Tnc2Header(station) + AprsObjectInfo(rich, kAt, {.rich = true}) + "\n";
    const std::string killed_info = AprsObjectInfo(killed, kAt, {.rich = true, .killed = true});
    in += HexBytes(KissDataFrame(Ax25UiFrame(station, *station.path, killed_info))) + "\n";
    // Readable comments: squawk, climb and the DAO digits.
    DbRecord up = Climbing(1200);
    up.Track = 182.88;
    DbRecord down = up;
    down.Icao = "3C6DD3", down.Flight = "DLH400  ", down.Squawk = 7700, down.VertRate = -640, down.Track = -1.0;
    down.Lat = -33.86881, down.Lon = 289.74981;  // 52.1286 S, 15.0114 W: digits 8 and 1 (never rounded up)
    DbRecord taxi = Flying("S");
    taxi.Icao = "75802D", taxi.Squawk = 2000;
    DbRecord parked = Aircraft("75802E", "        ", 10.31265, 123.97905, "S", 35000);  // nothing but the DAO
    for (const DbRecord* e : {&up, &down, &taxi, &parked})
        in += "N0CALL-11>APZ001,TCPIP*:" + AprsObjectInfo(*e, kAt, kReadable) + "\n";
    const std::string out = std::regex_replace(
        RunCommand("decode_aprs " + WriteTemp("aprs_reports.txt", in) + " 2>&1").out, std::regex("\x1b\\[[0-9;]*[A-Za-z]"), "");
    // Speeds in mph: 250 kt is 288, 10 kt 12. The DAO digits make the position one digit finer (4 decimals).
    for (const char* expected :
         {"Object, \"4CA1F3\", LARGE Aircraft", "N 53 25.0000, E 006 16.0000", "Object, \"3C6DD2\", LARGE Aircraft",
          "S 33 52.0000, W 070 15.0000", "N0CALL-9>APZ001,WIDE1-1,WIDE2-1:;4CA1F3",
          "N 53 25.2700, E 006 16.2000, 288 MPH, course 183, alt 35000 ft", "--- KISS frame ---",
          "N0CALL-9>APZ001,WIDE1-1,WIDE2-1:;E80451   _", "Killed Object, \"E80451\"",
          "S 33 52.1200, W 070 15.0000, 12 MPH, course 270, alt 1250 ft", "Object, \"75802C\", LARGE Aircraft",
          "N 10 18.7610, E 123 58.7430, 288 MPH, course 183, alt 35000 ft", "Sq1200 +1216fpm", "Object, \"3C6DD3\"",
          "S 33 52.1280, W 070 15.0110, alt 35000 ft", "EMERGENCY Sq7700 -640fpm", "Object, \"75802D\"",
          "N 10 18.7610, E 123 58.7430", "Sq2000  PAL123", "Object, \"75802E\"", "N 10 18.7590, E 123 58.7430"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
}

TEST(ReportPort, PortNumbers) {
    const QStringList ports{"ttyS0", "ttyS1", "ttyUSB0"};
    QString error;
    EXPECT_EQ(PortNameFromText("3", ports, error), "ttyUSB0");
    EXPECT_EQ(PortNameFromText("2.5", ports, error), "ttyS1");  // halves to even: 2
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(PortNameFromText("", ports, error), "");  // port 0
    EXPECT_EQ(error, "Serial port 0: there are 3 serial ports (1 = ttyS0 ... 3 = ttyUSB0), or type a device name");
    EXPECT_EQ(PortNameFromText("99999", ports, error), "");
    EXPECT_EQ(error, "Serial port 99999 is out of range: port numbers go from 1 to 32767");
}

// The text lines through a pseudo-terminal are the window test's; here a KISS TNC.
TEST(ReportPort, KissThroughAPseudoTerminal) {
    EnsureApp();
    Pty port;
    AprsOutput out([] { return kAt; });
    FlightTable db;
    db(3) = Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701);
    EXPECT_TRUE(out.SendAprsObject(db, 3).isEmpty());  // closed: nothing sent
    // No greeting (it would be a garbled frame to the TNC), frames.
    out.SetPortFormat(AprsFormat::Kiss);
    EXPECT_EQ(out.StartStopAprs_Click(port.name), "");
    EXPECT_EQ(out.Caption(), "Stop COM:");
    EXPECT_EQ(out.SendAprsObject(db, 3), "");
    const std::string frame =
        "\xC0\x00\x82\xA0\xB4\x60\x60\x62\xE0\xA2\xB4\x6E\xA8\xA4\x96\x60\xAE\x92\x88\x8A\x62\x40\x63\x03\xF0"s +
        kNorth.substr(21, 45) + "\xC0";
    EXPECT_EQ(port.Read(frame.size()), frame);
    EXPECT_EQ(out.StartStopAprs_Click(port.name), "");
    const QString message = out.StartStopAprs_Click("/dev/ternwick-no-such-port");
    EXPECT_TRUE(message.startsWith("Serial port /dev/ternwick-no-such-port cannot be opened (")) << message.toStdString();
    EXPECT_FALSE(out.IsOpen());
}
