#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <filesystem>

#include "map_add.h"
#include "temp_path.h"

using namespace ternwick::maps;
using ternwick::test::ReadWholeFile;
using ternwick::test::RunCommand;
using ternwick::test::TempPath;
namespace fs = std::filesystem;

TEST(MapgenAdd, FramesMarksAndSurfaceOffsetsFollowCentreAndSpan) {
    // The catalogue line of the frame after the name and picture, or "--span" and why there is none.
    struct Case { double lat, lon, span; std::string want; };
    const Case cases[] = {
        {10.3, 123.9, 4, "121.9,4,9.3,2,4,2,90"},       {51.47, -0.45, 30, "-15.45,30,43.97,15,3,1,-90"},
        {-33.9, 151.2, 150, "76.2,150,-71.4,75,2,1,90"}, {-17, 179, 10, "174,10,-19.5,5,4,2,90"},  // reaches past 180
        {64.1, -178, 12, "176,12,61.1,6,4,2,-180"},  // west edge wrapped
        {40.6, -73.8, 120, "-133.8,120,10.6,60,3,1,-90"}, {0, 0, 360, "-180,360,-90,180,2,1,0"},
        {10, 10, 0, " 0: the map must be 0.1 to 360 degrees of longitude wide"},
        {10, 10, 361, " 361: the map must be 0.1 to 360 degrees of longitude wide"},
        {80, 10, 60, " 60: a map 30 degrees high centred on 80 degrees would pass the pole; at most 40 degrees fit there"},
        {-89, 10, 8, " 8: a map 4 degrees high centred on -89 degrees would pass the pole; at most 4 degrees fit there"},
    };
    for (const Case& c : cases) {
        NewMap m;
        std::string error;
        const bool ok = c.want[0] != ' ';
        ASSERT_EQ(MakeFrame("Home", c.lat, c.lon, c.span, m, error), ok) << error;
        EXPECT_EQ(ok ? CatalogueLine(m) : error, (ok ? "\"Home\",\"maps/home.png\"," : "--span") + c.want) << c.lat;
    }
    double lat = 0, lon = 0;
    std::string error;
    EXPECT_TRUE(ParseCentre(" -33.9, 151.2", lat, lon, error));
    EXPECT_EQ(std::pair(lat, lon), std::pair(-33.9, 151.2));
    for (const char* text : {"95,10", "10,181", "10", "10;124", "abc,def", "10,124x", ""})
        EXPECT_FALSE(ParseCentre(text, lat, lon, error)) << text;
    EXPECT_EQ(PictureFileFor("Cebu / Visayas"), "maps/cebu-visayas.png");
    EXPECT_EQ(PictureFileFor("  Zürich 2 "), "maps/z-rich-2.png");
    EXPECT_EQ(PictureFileFor("/?"), "maps/map.png");
}

TEST(MapgenAdd, CatalogueTextKeepsEveryOtherByte) {
    NewMap m;
    std::string error;
    ASSERT_TRUE(MakeFrame("Home", 10.3, 123.9, 4, m, error));
    const std::string line = "\"Home\",\"maps/home.png\",121.9,4,9.3,2,4,2,90", a = "\"A\",\"a.png\",0,8,0,4,4,2,0";
    struct Case { std::string before, after; };
    const Case cases[] = {
        {"1\n" + a + "\n", "2\n" + a + "\n" + line + "\n"},
        {"1\r\n" + a + "\r\n", "2\r\n" + a + "\r\n" + line + "\r\n"},
        {" 1 \n" + a, " 2 \n" + a + "\n" + line + "\n"},  // no line end at the end; blanks around the count stay
        // What follows the last map (not read) stays after the new one.
        {"1\n" + a + "\n; notes\n", "2\n" + a + "\n" + line + "\n; notes\n"},
        {"9\n", ""},  // the catalogue does not read: nothing is added
        // Two maps on one line cannot take a third without moving the second.
        {"1\n" + a + ",\"B\",\"b.png\",0,8,0,4,4,2,0\n", ""},
    };
    for (const Case& c : cases) {
        std::string out;
        const bool ok = AddToCatalogue(c.before, "setup.txt", m, out, error);
        EXPECT_EQ(ok, !c.after.empty()) << error;
        EXPECT_EQ(ok ? out : "", c.after);
    }
    // A name the catalogue cannot hold. (A name already there: the command's test.)
    std::string out;
    m.name = "say \"hi\"";
    EXPECT_FALSE(AddToCatalogue("1\n" + a + "\n", "setup.txt", m, out, error));
}

TEST(MapgenAdd, CommandAddsOneMapAndRefusesWhatIsWrong) {
    const std::string dir = TempPath("mapgen-add"), setup = dir + "/setup.txt";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy_file(TERNWICK_SOURCE_DIR "/data/setup.txt", setup);
    const std::string before = ReadWholeFile(setup);
    auto mapgen = [&](const std::string& args) {
        return RunCommand(TERNWICK_BIN_DIR "/ternwick-mapgen " + args + " --setup " + setup + " 2>&1");
    };
    // Outlines found beside the program (the build's copy of data/).
    const auto added = mapgen("--add 'Home' --centre 10.3,123.9 --span 4");
    EXPECT_EQ(added.status, 0) << added.out;
    EXPECT_NE(added.out.find("Added map 6 \"Home\" to " + setup), std::string::npos) << added.out;
    const std::string after = ReadWholeFile(setup);
    EXPECT_EQ(after, "6" + before.substr(1) + "\"Home\",\"maps/home.png\",121.9,4,9.3,2,4,2,90\n");

    const QImage picture(QString::fromStdString(dir + "/maps/home.png"));
    ASSERT_EQ(picture.size(), QSize(800, 400));
    // Cebu Island (10.1 N, 123.55 E) is land, the Camotes Sea (10.4 N, 124.2 E) is sea.
    auto at = [&](double lat, double lon) {
        return QColor(picture.pixel(static_cast<int>((lon - 121.9) * 200), static_cast<int>((11.3 - lat) * 200)));
    };
    EXPECT_EQ(at(10.1, 123.55), QColor(0xf2, 0xef, 0xe4));
    EXPECT_EQ(at(10.4, 124.2), QColor(0xd4, 0xe4, 0xf0));

    struct Refusal { std::string args, message; };
    const Refusal refusals[] = {
        {"--add HOME --centre 1,2 --span 3", setup + " already holds a map named \"Home\" (map 6); choose another name"},
        {"--add X --centre 91,2 --span 3", "--centre '91,2': latitude must lie within -90..90 degrees"},
        {"--add X --centre 1 --span 3", "--centre '1': give latitude and longitude"},
        {"--add X --centre 1,2 --span wide", "--span 'wide': give the map's width in degrees"},
        {"--add X --centre 1,2", "--add needs --centre and --span"},
        {"--add X --centre 1,2 --span 3 --outlines " + dir + "/none",
         "no outlines to draw the map from: cannot read outline file " + dir + "/none/outlines-110m.bin"},
    };
    for (const Refusal& r : refusals) {
        const auto run = mapgen(r.args);
        EXPECT_NE(run.status, 0) << r.args;
        EXPECT_NE(run.out.find(r.message), std::string::npos) << r.args << "\n" << run.out;
        EXPECT_EQ(ReadWholeFile(setup), after) << r.args;
    }
    // A name whose picture name is taken gets a picture of its own.
    const auto second = mapgen("--add 'home!' --centre 10.3,123.9 --span 40");
    EXPECT_EQ(second.status, 0) << second.out;
    const std::string seven = "7" + after.substr(1) + "\"home!\",\"maps/home-2.png\",103.9,40,0.3,20,3,1,90\n";
    EXPECT_EQ(ReadWholeFile(setup), seven);
    // So does a name whose picture another map names, though that picture is not there.
    const auto third = mapgen("--add 'Cebu' --centre 10.3,123.9 --span 2");
    EXPECT_EQ(third.status, 0) << third.out;
    EXPECT_EQ(ReadWholeFile(setup), "8" + seven.substr(1) + "\"Cebu\",\"maps/cebu-2.png\",122.9,2,9.8,1,4,2,90\n");
    fs::remove_all(dir);
}
