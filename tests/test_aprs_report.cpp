// APRS object reports: the text line and the rich report byte for byte, AX.25 addresses and
// the KISS frame, refused station settings, what an independent decoder (direwolf's
// decode_aprs) reads back, and the report port through a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "aprs/aprs_report.h"
#include "aprs/aprs_station.h"
#include "session/aprs_output.h"

#include "decode_aprs.h"
#include "fake_receiver.h"
#include "pseudo_terminal.h"

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

DbRecord Aircraft(const char* icao, const std::string& flight, double lat, double lon, const char* kind = "A",
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

constexpr AprsTime kAt{5, 14, 7};
const std::string kNorth = "QZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  \r";

}  // namespace

TEST(AprsReport, LineBytes) {
    EXPECT_EQ(AprsObjectLine(Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701), kAt), kNorth);  // 67 bytes
    // Positions never round up; south and west carry S and W with unsigned degrees; the
    // table's longitudes above 180 are west, and surface longitudes may be below 0.
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
}

TEST(AprsReport, RichReports) {
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
    // {text, the text its key gives back}; "~" marks a non-ICAO address, which must never
    // share a key with an ICAO one of the same or any other digits.
    const std::pair<const char*, const char*> cases[] = {
        {"4CA1F3", "4CA1F3"}, {"~4CA1F3", "~4CA1F3"}, {"CCA1F3", "CCA1F3"}, {"~000000", "~000000"}};
    for (const auto& [text, back] : cases) EXPECT_EQ(AprsAddressText(AprsAddressKey(text)), back) << text;
    EXPECT_NE(AprsAddressKey("~4CA1F3"), AprsAddressKey("4CA1F3"));
    EXPECT_NE(AprsAddressKey("~4CA1F3"), AprsAddressKey("CCA1F3"));
    EXPECT_NE(AprsAddressKey("~000000"), AprsAddressKey("800000"));
}

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
    const AprsStation station;
    const std::string frame = KissDataFrame(Ax25UiFrame(
        station, station.PathFor(AprsFormat::Kiss), AprsObjectInfo(Aircraft("4CA1F3", "AB\xC0\xDB    ", 53.4213, 6.2701), kAt)));
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

TEST(AprsReport, DecodeAprsReadsPlainAndRichReportsAndKissFrames) {
    if (!HaveDecodeAprs()) GTEST_SKIP() << "decode_aprs (Debian package direwolf) is not installed";
    // Monitor-format lines "SRC>DST,PATH:info", one a line, and a KISS frame in hex.
    std::string plain = kNorth + AprsObjectLine(Aircraft("3C6DD2", "LAN800  ", -33.8688, 289.75), kAt);
    std::replace(plain.begin(), plain.end(), '\r', '\n');
    const AprsStation station = Station("N0CALL-9", "APZ001", "WIDE1-1,WIDE2-1");
    const DbRecord rich = Aircraft("4CA1F3", "ABC123  ", 53.4213, 6.2701, "A", 35000, 250, 182.88);
    const DbRecord killed = Aircraft("E80451", "LAN800  ", -33.8688, 289.75, "A", 1250, 10, 270.0);
    const std::string kiss = KissDataFrame(
        Ax25UiFrame(station, *station.path, AprsObjectInfo(killed, kAt, {.rich = true, .killed = true})));
    const std::string out = DecodeAprs(plain + Tnc2Header(station) + AprsObjectInfo(rich, kAt, {.rich = true}) +
                                           "\n" + HexBytes(kiss) + "\n",
                                       "aprs_reports.txt");
    // decode_aprs gives speeds in miles per hour: 250 kt is 288 mph, 10 kt 12 mph.
    for (const char* expected :
         {"Object, \"4CA1F3\", LARGE Aircraft", "N 53 25.0000, E 006 16.0000", "Object, \"3C6DD2\", LARGE Aircraft",
          "S 33 52.0000, W 070 15.0000", "N0CALL-9>APZ001,WIDE1-1,WIDE2-1:;4CA1F3",
          "N 53 25.2700, E 006 16.2000, 288 MPH, course 183, alt 35000 ft", "--- KISS frame ---",
          "N0CALL-9>APZ001,WIDE1-1,WIDE2-1:;E80451   _", "Killed Object, \"E80451\"",
          "S 33 52.1200, W 070 15.0000, 12 MPH, course 270, alt 1250 ft"})
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
