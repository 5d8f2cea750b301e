// APRS object report lines: exact bytes, hemispheres, and what an independent APRS decoder
// (direwolf's decode_aprs) reads back from them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "aprs/aprs_report.h"

#include "temp_path.h"

using namespace ternwick;

namespace {

DbRecord Entry(const char* icao, const char* flight, double lat, double lon) {
    DbRecord e;
    e.Icao = icao;
    e.Flight = flight;
    e.Lat = lat;
    e.Lon = lon;
    return e;
}

// Position fields only: what follows the "z" of the time up to the comment.
std::string Position(double lat, double lon) {
    const std::string line = AprsObjectLine(Entry("ABCDEF", "        ", lat, lon), {1, 0, 0});
    return line.substr(39, 19);
}

}  // namespace

TEST(AprsReport, LineBytes) {
    const std::string line = AprsObjectLine(Entry("4CA1F3", "ABC123  ", 53.4213, 6.2701), {5, 14, 7});
    EXPECT_EQ(line, "QZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  \r");
    EXPECT_EQ(line.size(), 67u);

    EXPECT_EQ(Position(5.25, 0.5), "0515.  N/00030.00E^");
    EXPECT_EQ(Position(53.9999, 179.99999), "5359.  N/17959.00E^");  // never rounded up
    EXPECT_EQ(Position(0.0, 0.0), "0000.  N/00000.00E^");
    // South and west carry S and W with unsigned degrees; the table's 0..360 longitudes
    // above 180 are west, and surface positions may be below 0.
    EXPECT_EQ(Position(-33.8688, 289.75), "3352.  S/07015.00W^");
    EXPECT_EQ(Position(-0.5, -0.45), "0030.  S/00027.00W^");
    EXPECT_EQ(Position(10.0, 180.0), "1000.  N/18000.00E^");
    EXPECT_EQ(Position(10.0, 360.0), "1000.  N/00000.00E^");

    const std::string no_call = AprsObjectLine(Entry("4CA1F3", "No-Call ", 1, 1), {31, 0, 59});
    EXPECT_EQ(no_call.substr(32, 7), "310059z");
    EXPECT_EQ(no_call.substr(58), "No-Call \r");
}

TEST(AprsReport, DecodeAprsReadsObjectPositionAndSymbol) {
    if (std::system("command -v decode_aprs >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "decode_aprs (Debian package direwolf) is not installed";
    // decode_aprs reads monitor-format lines "SRC>DST,PATH:info", one per line.
    const std::string path = ternwick::test::TempPath("ternwick_aprs_lines.txt");
    {
        std::ofstream out(path, std::ios::binary);
        std::string north = AprsObjectLine(Entry("4CA1F3", "ABC123  ", 53.4213, 6.2701), {5, 14, 7});
        std::string south = AprsObjectLine(Entry("E80451", "LAN800  ", -33.8688, 289.75), {5, 14, 7});
        north.back() = '\n';
        south.back() = '\n';
        out << north << south;
    }
    FILE* p = popen(("decode_aprs " + path + " 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string raw;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) raw.append(buf, n);
    pclose(p);
    const std::string out = std::regex_replace(raw, std::regex("\x1b\\[[0-9;]*[A-Za-z]"), "");

    EXPECT_NE(out.find("Object, \"4CA1F3\", LARGE Aircraft"), std::string::npos) << out;
    EXPECT_NE(out.find("N 53 25.0000, E 006 16.0000"), std::string::npos) << out;
    EXPECT_NE(out.find("Object, \"E80451\", LARGE Aircraft"), std::string::npos) << out;
    EXPECT_NE(out.find("S 33 52.0000, W 070 15.0000"), std::string::npos) << out;
    EXPECT_EQ(out.find("rror"), std::string::npos) << out;
}
