// How an object reads: its name, the symbol by emitter category, the readable comment within
// the 43 characters APRS 1.01 allows, and what direwolf's decode_aprs reads back from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "aprs/aprs_look.h"
#include "aprs/aprs_report.h"
#include "aprs/aprs_station.h"

#include "decode_aprs.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

constexpr AprsTime kAt{5, 14, 7};

// An airborne aircraft at 10.31269 N 123.97905 E: minutes 18.7614 and 58.7430, so the
// thousandths digits (the "!DAO!" digits) are 1 and 3.
DbRecord Flying(const char* kind = "A") {
    DbRecord e;
    e.Icao = "75802C";
    e.Flight = "PAL123  ";
    e.Airline = "Philippine Airlines";
    e.PosKind = kind;
    e.Altitude = 35000;
    e.Lat = 10.31269;
    e.Lon = 123.97905;
    return e;
}

constexpr AprsReportStyle kReadable{.rich = false, .killed = false, .comment = true};

}  // namespace

TEST(AprsLook, SymbolForEveryEmitterCategory) {
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
            if (cat) got += ' ';
            got += {s.table, s.code};
        }
        EXPECT_EQ(got, expected[set]) << "set " << char('A' + set);
    }
    // Nothing heard: the long-standing symbol (a fixed one and where it goes: the replay's test).
    EXPECT_EQ(SymbolFor(DbRecord{}, by_category), (AprsSymbol{'/', '^'}));
}

TEST(AprsLook, ParsedSymbolsAndNames) {
    // Refusals of the table and of a single character: the replay's and the window's tests.
    const std::tuple<const char*, const char*, AprsSymbolChoice> symbols[] = {
        {"category", "", {.by_category = true, .fixed = {}}},
        {"/'", "", {.by_category = false, .fixed = {'/', '\''}}},
        {"\\^", "", {.by_category = false, .fixed = {'\\', '^'}}},
        {"9X", "", {.by_category = false, .fixed = {'9', 'X'}}},  // overlay "9" on the alternate table
        {"/^^", "a symbol is \"category\" or two characters: the table (/ or \\, or an overlay 0-9 or A-Z) and the code", {}},
        {"/ ", "the symbol code is a character from ! to ~", {}},
        {"/\x7f", "the symbol code is a character from ! to ~", {}},
    };
    for (const auto& [text, error, choice] : symbols) {
        AprsSymbolChoice got{.by_category = false, .fixed = {'K', 'K'}};
        EXPECT_EQ(ParseAprsSymbol(text, got), error) << text;
        if (*error) {
            EXPECT_EQ(got, (AprsSymbolChoice{.by_category = false, .fixed = {'K', 'K'}})) << text;
        } else {
            EXPECT_EQ(got, choice) << text;
            EXPECT_EQ(AprsSymbolText(got), text);
        }
    }
    // Names are nine characters: the callsign once known, else the address.
    const std::tuple<const char*, const char*, const char*, const char*> names[] = {
        {"75802C", "PAL123  ", "75802C   ", "PAL123   "},
        {"75802C", "        ", "75802C   ", "75802C   "},
        {"75802C", "No-Call ", "75802C   ", "75802C   "},
        {"75802C", "", "75802C   ", "75802C   "},
        {"75802C", "CEBUPAC1", "75802C   ", "CEBUPAC1 "},
        {"~1A2B3C", " GND1   ", "~1A2B3C  ", "GND1     "},  // a non-ICAO address keeps to nine too
    };
    for (const auto& [icao, flight, by_address, by_flight] : names) {
        DbRecord e;
        e.Icao = icao;
        e.Flight = flight;
        EXPECT_EQ(AprsObjectName(e, AprsNaming::Address), by_address) << flight;
        EXPECT_EQ(AprsObjectName(e, AprsNaming::Flight), by_flight) << flight;
    }
}

TEST(AprsLook, ReadableCommentsKeepToFortyThreeCharacters) {
    auto with = [](auto change) {
        DbRecord e = Flying();
        change(e);
        return e;
    };
    const std::pair<DbRecord, const char*> cases[] = {
        // Every item at its widest: course/speed 7, altitude 9, EMERGENCY, the squawk and a
        // 9-character climb fill the 43 characters; DAO, flight and airline are left out.
        {with([](DbRecord& e) {
             e.Track = 359.6, e.Speed = 1200, e.Altitude = -1000, e.Squawk = 7777, e.Emergency = 5;
             e.VertRate = -32640, e.HasVertRate = true;
         }),
         "360/999/A=-01000 EMERGENCY Sq7777 -32640fpm"},
        // Squawk 7700 alone is an emergency; no room left for the DAO.
        {with([](DbRecord& e) { e.Track = 90, e.Speed = 250, e.Squawk = 7700, e.VertRate = 1216, e.HasVertRate = true; }),
         "090/250/A=035000 EMERGENCY Sq7700 +1216fpm"},
        // Room for the DAO but not the callsign: the airline goes with it.
        {with([](DbRecord& e) { e.Track = 90, e.Speed = 250, e.Squawk = 1200, e.VertRate = 1216, e.HasVertRate = true; }),
         "090/250/A=035000 Sq1200 +1216fpm !W13!"},
        // A callsign that just fits (43), and one a character too long, which takes the airline
        // with it although "Air" alone would fit: later items go first.
        {with([](DbRecord& e) {
             e.Track = 90, e.Speed = 250, e.Squawk = 1200, e.VertRate = 1216, e.HasVertRate = true, e.Flight = "HELI    ";
         }),
         "090/250/A=035000 Sq1200 +1216fpm !W13! HELI"},
        {with([](DbRecord& e) {
             e.Track = 90, e.Speed = 250, e.Squawk = 1200, e.VertRate = 1216, e.HasVertRate = true, e.Flight = "HELI1   ";
             e.Airline = "Air";
         }),
         "090/250/A=035000 Sq1200 +1216fpm !W13!"},
        // No track, level: the airline's name in whole words as far as they fit.
        {with([](DbRecord& e) { e.Squawk = 1200, e.HasVertRate = true; }),
         "/A=035000 Sq1200 !W13! PAL123 Philippine"},
        {Flying(), "/A=035000 !W13! PAL123 Philippine Airlines"},
        // Surface: the DAO always fits (no altitude, no climb, even in an emergency).
        {with([](DbRecord& e) {
             e.PosKind = "S", e.Track = 45, e.Speed = 10, e.Squawk = 7600, e.Emergency = 1;
             e.VertRate = -32640, e.HasVertRate = true;
         }),
         "045/010EMERGENCY Sq7600 !W13! PAL123"},
        // Nothing but the DAO: padded to the 7 characters a data extension takes, or direwolf
        // does not look into it.
        {with([](DbRecord& e) { e.PosKind = "S", e.Flight = "        ", e.Airline = ""; }), "!W13!  "},
        // No callsign yet, an airline with accents and "|"; a first word too long is left out.
        {with([](DbRecord& e) { e.Flight = "        ", e.Airline = "Aero\xC3\xA9x|ico"; }), "/A=035000 !W13! Aeroexico"},
        {with([](DbRecord& e) { e.Flight = "No-Call ", e.Airline = std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF"); }),
         "/A=035000 !W13!"},
    };
    for (const auto& [e, comment] : cases) {
        const std::string info = AprsObjectInfo(e, kAt, kReadable);
        const std::string head = ";75802C   *051407z1018.76N/12358.74E^";
        EXPECT_EQ(info, head + comment);
        EXPECT_LE(info.size() - head.size(), kAprsMaxComment) << info;
    }
    // Named by its callsign, the object does not carry it again in the comment.
    EXPECT_EQ(AprsObjectInfo(Flying(), kAt, kReadable, "PAL123   "),
              ";PAL123   *051407z1018.76N/12358.74E^/A=035000 !W13! Philippine Airlines");

    // By default none of it shows, emergency or not: the long-standing lines, byte for byte.
    const DbRecord alarm = with([](DbRecord& e) {
        e.Track = 90, e.Speed = 250, e.Squawk = 7700, e.Emergency = 1, e.Category = 0xA7;
        e.VertRate = 1216, e.HasVertRate = true;
    });
    EXPECT_EQ(AprsObjectInfo(alarm, kAt), ";75802C   *051407z1018.  N/12358.00E^PAL123  ");
    EXPECT_EQ(AprsObjectInfo(alarm, kAt, {.rich = true}), ";75802C   *051407z1018.76N/12358.74E^090/250/A=035000 PAL123");
}

TEST(AprsLook, DecodeAprsReadsSquawkClimbAndDaoBack) {
    if (!HaveDecodeAprs()) GTEST_SKIP() << "decode_aprs (Debian package direwolf) is not installed";
    DbRecord up = Flying();
    up.Squawk = 1200, up.VertRate = 1216, up.HasVertRate = true;
    up.Track = 182.88, up.Speed = 250;
    DbRecord down = up;
    down.Icao = "3C6DD2", down.Flight = "DLH400  ", down.Squawk = 7700, down.VertRate = -640, down.Track = -1.0;
    down.Lat = -33.86881, down.Lon = 289.74981;  // 52.1286 S, 15.0114 W: digits 8 and 1 (never rounded up)
    DbRecord taxi = Flying("S");
    taxi.Icao = "75802D", taxi.Squawk = 2000;
    DbRecord parked = Flying("S");  // nothing to say but the DAO
    parked.Icao = "75802E", parked.Flight = "        ", parked.Airline = "", parked.Lat = 10.31265;
    const std::string header = "N0CALL-11>APZ001,TCPIP*:";
    std::string lines;
    for (const DbRecord* e : {&up, &down, &taxi, &parked}) lines += header + AprsObjectInfo(*e, kAt, kReadable) + "\n";
    const std::string out = DecodeAprs(lines, "aprs_readable.txt");
    // The DAO digits make the position one digit finer (decode_aprs prints 4 decimals).
    for (const char* expected : {
             "Object, \"75802C\", LARGE Aircraft", "N 10 18.7610, E 123 58.7430, 288 MPH, course 183, alt 35000 ft",
             "Sq1200 +1216fpm", "Object, \"3C6DD2\"", "S 33 52.1280, W 070 15.0110, alt 35000 ft",
             "EMERGENCY Sq7700 -640fpm", "Object, \"75802D\"", "N 10 18.7610, E 123 58.7430", "Sq2000  PAL123",
             "Object, \"75802E\"", "N 10 18.7590, E 123 58.7430"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
}
