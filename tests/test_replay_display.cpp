// ternwick-replay with the map, the live list and the report lines: what a script sees.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <fstream>
#include <string>

#include "test_support.h"

#include "temp_path.h"

namespace {

namespace fs = std::filesystem;
using ternwick::test::TempPath;

struct RunResult {
    int status;
    std::string out;  // standard output and standard error
};

RunResult Replay(const std::string& args, const std::string& program = TERNWICK_BIN_DIR "/ternwick-replay") {
    RunResult r{0, {}};
    FILE* p = popen((program + " --airlines /dev/null --at 5:14:07:30 " + args + " 2>&1").c_str(), "r");
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    r.status = WEXITSTATUS(pclose(p));
    return r;
}

std::string Write(const std::string& name, const std::string& text) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The published pair for 40621D, then a pair for 4CA1F3 at 50.01N 3.01W (357 degrees in
// the table), and a surface pair for 3C6DD2 at 40.51N 30.27E (before any map offset).
std::string TrafficLog() {
    std::string log = "*8D40621D58C382D690C8AC2863A7;\r\n*8D40621D58C386435CC412692AD6;\r\n";
    for (int odd : {0, 1}) log += "*" + ternwick::test::AirbornePos(0x4CA1F3, 50.01, -3.01, odd) + ";\r\n";
    for (int odd : {0, 1}) log += "*" + ternwick::test::SurfacePos(0x3C6DD2, 40.51, 30.27, odd) + ";\r\n";
    return Write("display_traffic.log", log);
}

// Map 1: 12W..132E, 0..60N (x = (lon + 12) * 800 / 144, y = (60 - lat) * 400 / 60).
// Map 2: the same frame with surface longitudes shifted by 90 degrees.
std::string Catalogue() {
    QImage white(800, 400, QImage::Format_RGB32);
    white.fill(Qt::white);
    const std::string pic = TempPath("display_white.png");
    white.save(QString::fromStdString(pic));
    return Write("display_setup.txt",
                 "2\n\"Wide, test\"," + pic + ",-12,144,0,60,3,1,0\nShifted," + pic + ",-12,144,0,60,3,1,90\n");
}

}  // namespace

TEST(ReplayDisplay, PictureListAndReports) {
    const std::string png = TempPath("display_out.png");
    fs::remove(png);
    const RunResult r = Replay("--catalogue " + Catalogue() + " --png " + png + " --list --aprs --expire 60 " + TrafficLog());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("QZ7TRK>APZ001,TCPIP*:;40621D   *051407z5215.  N/00356.00E^        \n"
                         "QZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5000.  N/00300.00W^        \n"
                         "QZ7TRK>APZ001,TCPIP*:;3C6DD2   *051407z4030.  N/03016.00E^        \n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(" ICAO    ICAOid    IATAid     Airline       LON        LAT        T   Alt.    Knts  Hrd\n"
                         "---------------------------------------------------------------------------------------\n"
                         "40621D                                      003.9389   052.2658   A   38000   000   000   \n"
                         "4CA1F3                                      356.9900   050.0100   A   35000   000   000   \n"
                         "3C6DD2                                      030.2700   040.5100   S   Surf.   000   000   \n"),
              std::string::npos)
        << r.out;

    const QImage img(QString::fromStdString(png));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(89, 52), qRgb(18, 8, 107));       // 40621D
    EXPECT_EQ(img.pixel(50, 66), qRgb(10, 126, 29));      // 4CA1F3, west of Greenwich
    EXPECT_EQ(img.pixel(235, 130), qRgb(130, 134, 43));   // 3C6DD2 on the surface: 24 lighter
    EXPECT_EQ(img.pixel(755, 331), qRgb(255, 0, 0));      // home mark at 123.98E 10.31N
    EXPECT_EQ(img.pixel(400, 390), qRgb(255, 255, 255));  // the map picture
}

TEST(ReplayDisplay, MapChoiceBrokenCatalogueAndOutputPath) {
    const std::string cat = Catalogue(), log = TrafficLog();
    RunResult r = Replay("--catalogue " + cat + " --map 2 --csv " + log);  // surface offset 90
    EXPECT_NE(r.out.find("3C6DD2,        ,,,S,0,0,40.510002,120.270003\n"), std::string::npos) << r.out;
    r = Replay("--catalogue " + cat + " --map 2 --surf-offset 0 --csv " + log);
    EXPECT_NE(r.out.find("3C6DD2,        ,,,S,0,0,40.510002,30.270003\n"), std::string::npos) << r.out;

    const std::string bad = Write("display_bad_setup.txt", "1\nA,a.png,west,1,2,3,4,5,6\n");
    const std::pair<std::string, std::string> failures[] = {
        {"--catalogue " + bad + " --list ",
         "Map catalogue \"" + bad + "\", map 1, field MapLonWest (line 2): \"west\" is not a number"},
        {"--catalogue " + cat + " --map 3 --csv ", "--map 3: map catalogue \"" + cat + "\" has maps 1 to 2"},
        {"--catalogue " + cat + " --png /nonexistent/dir/out.png ",
         "Map picture \"/nonexistent/dir/out.png\" cannot be written (No such file or directory)"},
        // A picture that cannot be loaded spoils the PNG: told, and not a success.
        {"--catalogue " + Write("display_nopic_setup.txt", "1\nA,/nonexistent/map.png,-12,144,0,60,3,1,0\n") +
             " --png " + TempPath("nopic.png") + " ",
         "Map picture \"/nonexistent/map.png\" cannot be loaded"},
    };
    for (const auto& [args, message] : failures) {
        r = Replay(args + log);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    }
}

TEST(ReplayDisplay, MissingDefaultCatalogueOnlyStopsMapOptions) {
    const fs::path dir = TempPath("display_solo");  // a copy of the program without setup.txt beside it
    fs::create_directories(dir);
    fs::copy_file(TERNWICK_BIN_DIR "/ternwick-replay", dir / "ternwick-replay", fs::copy_options::overwrite_existing);
    const std::string program = dir / "ternwick-replay", log = TrafficLog();
    RunResult r = Replay("--csv " + log, program);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("4CA1F3,        ,,,A,35000,0,50.009998,-3.010031\n"), std::string::npos) << r.out;
    r = Replay("--list " + log, program);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Map catalogue \"" + (dir / "setup.txt").string() + "\" cannot be read"), std::string::npos)
        << r.out;
}
