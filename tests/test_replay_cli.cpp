// The headless command as a script would use it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "temp_path.h"
#include "test_support.h"

namespace {

struct RunResult {
    int status;
    std::string out;
};

// Standard output and standard error together, unless `redirect` sends them elsewhere.
RunResult RunReplay(const std::string& args, const std::string& redirect = "2>&1") {
    const std::string cmd = std::string(TERNWICK_BIN_DIR) + "/ternwick-replay " + args + " " + redirect;
    RunResult r{0, {}};
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    r.status = WEXITSTATUS(pclose(p));
    return r;
}

std::string WriteLog(const std::string& name, const std::string& text) {
    const std::string path = ternwick::test::TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

}  // namespace

TEST(ReplayCli, TraceOfAnIdentification) {
    const std::string log = WriteLog("ident.log", "*8D4CA2B120513531CB38206CB0D3;\r\n");
    const RunResult r = RunReplay("--airlines /dev/null --trace " + log);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("8D4CA2B120513531CB38206CB0D3\nDF17 Extended Squitter\nICAO 4CA2B1\n"
                         "TC04 Identification\nTST123  \n\n"),
              std::string::npos)
        << r.out;
}

TEST(ReplayCli, CsvAndMissingFile) {
    // An odd report heard long before, the published even/odd pair, then a velocity message,
    // with a missing file in between. The old odd half and the even one are refused as a pair.
    const std::string stale = ternwick::test::AirbornePos(0x40621D, 52.0, 3.0, 1, 38000);
    const std::string a = WriteLog("pair.log", "*" + stale +
                                                   ";\r\n*8D40621D58C382D690C8AC2863A7;\r\n"
                                                   "*8D40621D58C386435CC412692AD6;\r\n");
    const std::string b = WriteLog("vel.log", "garbage\x01\xff*8D485020994409940838175B284F;");
    const RunResult r = RunReplay("--airlines /dev/null --csv --stats " + a + " /nonexistent.log " + b);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("/nonexistent.log"), std::string::npos);
    EXPECT_NE(r.out.find("icao,flight,iata_flight,airline,pos_kind,altitude_ft,speed_kt,lat,lon\n"
                         "40621D,        ,,,A,38000,0,52.265780,3.938913\n"
                         "485020,        ,,,-,0,159,0.000000,0.000000\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("messages evaluated: 4"), std::string::npos);
    EXPECT_NE(r.out.find("positions decoded: 1\n"), std::string::npos);
    EXPECT_NE(r.out.find("even/odd pairs refused: 1\n"), std::string::npos);
}

TEST(ReplayCli, RefusedNumbersFoldersAndFailedOutput) {
    const std::string log = WriteLog("refuse.log", "*8D40621D58C382D690C8AC2863A7;\r\n");
    const std::pair<std::string, std::string> refused[] = {
        {"--map 2.9", "--map '2.9': must be a whole number from 1 to 32767"},
        {"--map nan", "--map 'nan': must be a whole number"},
        {"--surf-offset nan", "--surf-offset 'nan': must be a number from -360 to 360"},
        {"--surf-offset 1e300", "--surf-offset '1e300': must be a number from -360 to 360"},
        {"--expire -5", "--expire '-5': must be a number from 0 to 86400"},
        {"--at 4294967301:12:00:00", "--at '4294967301:12:00:00': must be D:HH:MM:SS"},
        {"--csv " + testing::TempDir(), "it is a folder, not a file"},
    };
    for (const auto& [args, message] : refused) {
        const RunResult r = RunReplay("--airlines /dev/null " + args + " " + log);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    }
    // Output that cannot be written is a failure, not a success.
    // (The message goes to standard error, kept apart from the output sent to /dev/full.)
    const RunResult full = RunReplay("--airlines /dev/null --csv " + log, "2>&1 >/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.out.find("writing the output failed: No space left on device"), std::string::npos) << full.out;
}

TEST(ReplayCli, AprsSettingsAreRefusedByName) {
    const std::pair<const char*, const char*> refused[] = {
        {"--aprs-call N0CALLXX", "--aprs-call 'N0CALLXX': a callsign has at most 6 letters and digits"},
        {"--aprs-dest APZ001-16", "--aprs-dest 'APZ001-16': the SSID after \"-\" is a number from 0 to 15"},
        {"--aprs-path A,B,C,D,E,F,G,H,I", "--aprs-path 'A,B,C,D,E,F,G,H,I': a path has at most 8 entries"},
        {"--aprs-format xml", "--aprs-format 'xml': either text or kiss"},
        {"--aprs-interval 1.5", "--aprs-interval '1.5': must be a whole number from 0 to 3600"},
        {"--aprs-max-per-min 601", "--aprs-max-per-min '601': must be a whole number from 0 to 600"},
        {"--aprs-to localhost:99999",
         "--aprs-to localhost:99999: KISS server \"localhost:99999\": the port after \":\" is a number from 1 to 65535"},
    };
    const std::string log = WriteLog("refused.log", "*8D4CA2B120513531CB38206CB0D3;\r\n");
    for (const auto& [args, message] : refused) {
        const RunResult r = RunReplay(std::string(args) + " --aprs " + log);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out, "ternwick-replay: " + std::string(message) + "\n");
    }
}

TEST(ReplayCli, AprsStationRichReportsAndRateCounts) {
    const std::string pair = "*8D40621D58C382D690C8AC2863A7;\r\n*8D40621D58C386435CC412692AD6;\r\n";
    const std::string log = WriteLog("aprs-rate.log", pair + pair);  // three plotted positions
    const RunResult r = RunReplay("--aprs --aprs-call n0call-9 --aprs-path WIDE1-1,WIDE2-2 "
                                  "--aprs-interval 60 --stats --at 5:14:07:00 " + log);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("N0CALL-9>APZ001,WIDE1-1,WIDE2-2:;40621D   *051407z5215.  N/00356.00E^        \n"), 0u)
        << r.out;
    EXPECT_NE(r.out.find("\nAPRS reports sent: 1\nAPRS reports held back: 2\n"), std::string::npos) << r.out;

    const RunResult rich = RunReplay("--aprs --aprs-rich --aprs-max-per-min 1 --at 5:14:07:00 " + log);
    EXPECT_EQ(rich.out, "QZ7TRK>APZ001,TCPIP*:;40621D   *051407z5215.94N/00356.33E^/A=038000\n");
}
