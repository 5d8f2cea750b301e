// APRS object report lines: exact bytes, hemispheres, what an independent decoder
// (direwolf's decode_aprs) reads back, and the report port read through a pseudo-terminal.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>

#include "session/aprs_output.h"
#include "aprs/aprs_report.h"

#include "decode_aprs.h"
#include "temp_path.h"

using namespace ternwick;
using namespace ternwick::test;
using namespace std::string_literals;

namespace {

DbRecord Entry(const char* icao, const char* flight, double lat, double lon) {
    return {icao, flight, "", "", 0, "A", {}, {}, 0, 0, lon, lat};
}

const std::string kNorth = "QZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  \r";

}  // namespace

TEST(AprsReport, LineBytes) {
    EXPECT_EQ(AprsObjectLine(Entry("4CA1F3", "ABC123  ", 53.4213, 6.2701), {5, 14, 7}), kNorth);  // 67 bytes
    // Positions never round up; south and west carry S and W with unsigned degrees; the
    // table's longitudes above 180 are west, and surface longitudes may be below 0.
    const std::tuple<double, double, const char*> positions[] = {
        {5.25, 0.5, "0515.  N/00030.00E^"},    {53.9999, 179.99999, "5359.  N/17959.00E^"},
        {0.0, 0.0, "0000.  N/00000.00E^"},     {-33.8688, 289.75, "3352.  S/07015.00W^"},
        {-0.5, -0.45, "0030.  S/00027.00W^"},  {10.0, 180.0, "1000.  N/18000.00E^"},
        {10.0, 360.0, "1000.  N/00000.00E^"},
    };
    for (auto [lat, lon, text] : positions)
        EXPECT_EQ(AprsObjectLine(Entry("ABCDEF", "        ", lat, lon), {1, 0, 0}).substr(39, 19), text) << lat;
    EXPECT_EQ(AprsObjectLine(Entry("4CA1F3", "No-Call ", 1, 1), {31, 0, 59}).substr(32),
              "310059z0100.  N/00100.00E^No-Call \r");
}

TEST(AprsReport, DecodeAprsReadsObjectPositionAndSymbol) {
    if (!HaveDecodeAprs()) GTEST_SKIP() << "decode_aprs (Debian package direwolf) is not installed";
    // decode_aprs reads monitor-format lines "SRC>DST,PATH:info", one per line.
    std::string lines = kNorth + AprsObjectLine(Entry("E80451", "LAN800  ", -33.8688, 289.75), {5, 14, 7});
    std::replace(lines.begin(), lines.end(), '\r', '\n');
    const std::string out = DecodeAprs(lines, "aprs_lines.txt");
    for (const char* expected : {"Object, \"4CA1F3\", LARGE Aircraft", "N 53 25.0000, E 006 16.0000",
                                 "Object, \"E80451\", LARGE Aircraft", "S 33 52.0000, W 070 15.0000"})
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

TEST(ReportPort, OpenReportAndCloseThroughAPseudoTerminal) {
    int argc = 1;
    char app_name[] = "test_aprs", *argv[] = {app_name, nullptr};
    QCoreApplication app(argc, argv);
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    AprsOutput out([] { return AprsTime{5, 14, 7}; });
    FlightTable db;
    db(3) = Entry("4CA1F3", "ABC123  ", 53.4213, 6.2701);

    EXPECT_TRUE(out.SendAprsObject(db, 3).isEmpty());  // closed: nothing sent
    EXPECT_EQ(out.StartStopAprs_Click(name), "");
    EXPECT_EQ(out.Caption(), "Stop COM:");
    ASSERT_TRUE(out.IsOpen());
    EXPECT_EQ(out.SendAprsObject(db, 3), "");
    auto read_master = [&](size_t want) {
        std::string got;
        char buf[256];
        for (pollfd p{master, POLLIN, 0}; got.size() < want && poll(&p, 1, 5000) > 0;) {
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    };
    const std::string expected = "APRS Port Open\r" + kNorth;
    EXPECT_EQ(read_master(expected.size()), expected);

    EXPECT_EQ(out.StartStopAprs_Click(name), "");
    EXPECT_EQ(out.Caption(), "Start COM:");
    EXPECT_FALSE(out.IsOpen());

    // A KISS TNC on the port: no greeting (it would be a garbled frame to the TNC), frames.
    out.SetPortFormat(AprsFormat::Kiss);
    EXPECT_EQ(out.StartStopAprs_Click(name), "");
    EXPECT_EQ(out.SendAprsObject(db, 3), "");
    const std::string frame =
        "\xC0\x00\x82\xA0\xB4\x60\x60\x62\xE0\xA2\xB4\x6E\xA8\xA4\x96\x60\xAE\x92\x88\x8A\x62\x40\x63\x03\xF0"s +
        kNorth.substr(21, 45) + "\xC0";
    EXPECT_EQ(read_master(frame.size()), frame);
    EXPECT_EQ(out.StartStopAprs_Click(name), "");
    const QString message = out.StartStopAprs_Click("/dev/ternwick-no-such-port");
    EXPECT_TRUE(message.startsWith("Serial port /dev/ternwick-no-such-port cannot be opened ("))
        << message.toStdString();
    EXPECT_EQ(out.Caption(), "Start COM:");
    EXPECT_FALSE(out.IsOpen());
    close(slave);
    close(master);
}
