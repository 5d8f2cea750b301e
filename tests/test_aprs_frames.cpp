// The station settings and what goes on the air: AX.25 addresses byte by byte, refused
// settings, the exact KISS frame of a report, and rich reports read back by decode_aprs.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "aprs/aprs_report.h"
#include "aprs/aprs_station.h"

#include "decode_aprs.h"

using namespace ternwick;
using namespace ternwick::test;
using namespace std::string_literals;

namespace {

AprsStation Station(const char* source, const char* destination, const char* path) {
    AprsStation s;
    EXPECT_EQ(ParseAx25Address(source, false, s.source), "") << source;
    EXPECT_EQ(ParseAx25Address(destination, false, s.destination), "") << destination;
    std::vector<Ax25Address> p;
    EXPECT_EQ(ParseAx25Path(path, p), "") << path;
    s.path = p;
    return s;
}

DbRecord Aircraft(const char* icao, const char* flight, double lat, double lon, const char* kind = "A",
                  int altitude = 0, int speed = 0, double track = -1.0) {
    DbRecord e;
    e.Icao = icao;
    e.Flight = flight;
    e.PosKind = kind;
    e.Altitude = altitude;
    e.Speed = speed;
    e.Lat = lat;
    e.Lon = lon;
    e.Track = track;
    return e;
}

}  // namespace

TEST(AprsStation, AddressFieldBytes) {
    // Characters shifted left one bit, blanks to six; SSID byte: C (destination) or H
    // (repeated path entry), reserved 11, SSID, and the end bit on the last address.
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
}

TEST(AprsStation, RefusedSettings) {
    const std::pair<const char*, const char*> calls[] = {
        {"N0CALLX", "a callsign has at most 6 letters and digits"},
        {"N0CALL-16", "the SSID after \"-\" is a number from 0 to 15"},
        {"N0CALL-", "the SSID after \"-\" is a number from 0 to 15"},
        {"N0CALL-1A", "the SSID after \"-\" is a number from 0 to 15"},
        {"N0.CAL", "a callsign has only letters and digits"},
        {"", "no callsign"},
        {"N0CALL*", "\"*\" (already repeated) belongs only in a path"},
    };
    Ax25Address a{"KEPT"};
    for (const auto& [text, reason] : calls) EXPECT_EQ(ParseAx25Address(text, false, a), reason) << text;
    EXPECT_EQ(a.call, "KEPT");  // a refused text leaves the setting as it was

    const std::pair<const char*, const char*> paths[] = {
        {"A,B,C,D,E,F,G,H,I", "a path has at most 8 entries"},
        {"WIDE1-1,,WIDE2-1", "entry 2: no callsign"},
        {"WIDE1-1,", "entry 2: no callsign"},
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

TEST(AprsKiss, KnownReportWithEscapedBytes) {
    // Bytes 0xC0 (FEND) and 0xDB (FESC) in the comment go out as FESC TFEND and FESC TFESC.
    const DbRecord e = Aircraft("4CA1F3", "AB\xC0\xDB    ", 53.4213, 6.2701);
    const AprsStation station;
    const std::string frame = KissDataFrame(Ax25UiFrame(station, station.PathFor(AprsFormat::Kiss),
                                                        AprsObjectInfo(e, {5, 14, 7})));
    const std::string expected =
        "\xC0\x00"
        "\x82\xA0\xB4\x60\x60\x62\xE0"  // APZ001, command
        "\xA2\xB4\x6E\xA8\xA4\x96\x60"  // QZ7TRK
        "\xAE\x92\x88\x8A\x62\x40\x63"  // WIDE1-1, last address
        "\x03\xF0"
        ";4CA1F3   *051407z5325.  N/00616.00E^AB\xDB\xDC\xDB\xDD    "
        "\xC0"s;
    EXPECT_EQ(frame, expected) << HexBytes(frame);
}

TEST(AprsReport, RichReports) {
    const std::pair<DbRecord, const char*> cases[] = {
        {Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701, "A", 35000, 250, 182.88),
         ";4CA1F3   *051407z5325.27N/00616.20E^183/250/A=035000 ABC123"},
        // Surface: no altitude; no velocity heard: no course/speed.
        {Aircraft("E80451", "LAN800  ", -33.8688, 289.75, "S"), ";E80451   *051407z3352.12S/07015.00W^LAN800"},
        // A track rounding to 0 is north, 360; speed above 999 kt is written 999.
        {Aircraft("A00001", "        ", 0.7, 359.9999, "A", -200, 1200, 359.6),
         ";A00001   *051407z0042.00N/00000.00W^360/999/A=-00200"},
        // Never rounded up: 59.999 minutes stay 59.99.
        {Aircraft("A00002", "No-Call ", 10.99999, 0.5, "A", 1000, 0, 90.0),
         ";A00002   *051407z1059.99N/00030.00E^090/000/A=001000 No-Call"},
    };
    for (const auto& [e, info] : cases) EXPECT_EQ(AprsObjectInfo(e, {5, 14, 7}, {.rich = true}), info);

    // The comment, course/speed included, stays within 43 characters.
    DbRecord long_flight = Aircraft("A00003", "", 1, 1, "A", 500, 100, 45.0);
    long_flight.Flight.assign(50, 'X');
    const std::string info = AprsObjectInfo(long_flight, {5, 14, 7}, {.rich = true});
    EXPECT_EQ(info.substr(info.find('^') + 1), "045/100/A=000500 " + std::string(26, 'X'));

    // A withdrawn object: "_" in place of "*", the rest as the live report.
    EXPECT_EQ(AprsObjectInfo(cases[1].first, {5, 14, 7}, {.rich = true, .killed = true}),
              ";E80451   _051407z3352.12S/07015.00W^LAN800");
    EXPECT_EQ(AprsObjectInfo(cases[1].first, {5, 14, 7}, {.killed = true}),
              ";E80451   _051407z3352.  S/07015.00W^LAN800  ");
}

TEST(AprsReport, DecodeAprsReadsRichReportsAndKissFrames) {
    if (!HaveDecodeAprs()) GTEST_SKIP() << "decode_aprs (Debian package direwolf) is not installed";
    const DbRecord e = Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701, "A", 35000, 250, 182.88);
    const DbRecord killed = Aircraft("E80451", "LAN800  ", -33.8688, 289.75, "A", 1250, 10, 270.0);
    AprsStation station = Station("N0CALL-9", "APZ001", "WIDE1-1,WIDE2-1");
    const std::string text = Tnc2Header(station) + AprsObjectInfo(e, {5, 14, 7}, {.rich = true}) + "\n";
    const std::string kiss = KissDataFrame(
        Ax25UiFrame(station, *station.path, AprsObjectInfo(killed, {5, 14, 7}, {.rich = true, .killed = true})));
    const std::string out = DecodeAprs(text + HexBytes(kiss) + "\n", "aprs_rich.txt");
    // decode_aprs gives speeds in miles per hour: 250 kt is 288 mph, 10 kt 12 mph.
    for (const char* expected :
         {"N0CALL-9>APZ001,WIDE1-1,WIDE2-1:;4CA1F3", "Object, \"4CA1F3\", LARGE Aircraft",
          "N 53 25.2700, E 006 16.2000, 288 MPH, course 183, alt 35000 ft", "--- KISS frame ---",
          "N0CALL-9>APZ001,WIDE1-1,WIDE2-1:;E80451   _", "Killed Object, \"E80451\"",
          "S 33 52.1200, W 070 15.0000, 12 MPH, course 270, alt 1250 ft"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
}
