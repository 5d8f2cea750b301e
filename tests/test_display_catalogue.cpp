// The map catalogue file, the projection into the map frame, entry colours and the number
// reading and patterns the display uses.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "display/map_catalogue.h"
#include "common/number_text.h"
#include "display/projection.h"

using namespace ternwick;

namespace {

std::string Describe(const MapDef& m) {
    std::ostringstream s;
    s << m.MapName << '|' << m.MapFile << '|' << m.MapLonWest << '|' << m.MapLatSouth << '|' << m.MapLatSpan << '|'
      << m.MapLonSpan << '|' << m.MapDotRadius << '|' << m.MapDrawWidth << '|' << m.MapSurfLonOffset;
    return s.str();
}

}  // namespace

TEST(MapCatalogue, FieldsInFileOrderAndFaultsNamingFileMapAndField) {
    MapTable t;
    std::string error;
    ASSERT_TRUE(ParseMapCatalogue("2\r\n\"Cebu, Visayas\",maps/cebu.png,120,8,8.5,4,4,2,90\r\n"
                                  "Europe, \"maps/europe.png\", -12.5, 44, 35, 22, 3, 1, 0\r\n"
                                  "Extra,never.png,x,y,z\r\ngarbage\r\n",
                                  "setup.txt", t, error))
        << error;
    ASSERT_EQ(t.size(), 3u);
    // Printed in record order: the file's second number (the longitude span) comes last of the frame.
    EXPECT_EQ(Describe(t[0]), "||0|0|0|0|0|0|0");
    EXPECT_EQ(Describe(t[1]), "Cebu, Visayas|maps/cebu.png|120|8.5|4|8|4|2|90");
    EXPECT_EQ(Describe(t[2]), "Europe|maps/europe.png|-12.5|35|22|44|3|1|0");
    // The same fields in any arrangement of lines read the same.
    ASSERT_TRUE(ParseMapCatalogue("1,A,a.png\n1,2,3,4\n5\n6.5,7", "x", t, error)) << error;
    EXPECT_EQ(Describe(t[1]), "A|a.png|1|3|4|2|5|6|7");  // 6.5 to the even 6
    // A byte-order mark an editor put first is not part of the number of maps.
    ASSERT_TRUE(ParseMapCatalogue("\xEF\xBB\xBF" "1\nA,a.png,1,2,3,4,5,6,7\n", "x", t, error)) << error;
    EXPECT_EQ(Describe(t[1]), "A|a.png|1|3|4|2|5|6|7");

    const std::pair<const char*, const char*> cases[] = {
        {"", "Map catalogue \"setup.txt\" is empty"}, {"two\n", "number of maps: \"two\" is not a number"},
        {"0\n", "the number of maps is 0; it must be at least 1"},
        {"2\nA,a.png,1,2,3,4,5,6,7\nB,b.png,1,2\n",
         "Map catalogue \"setup.txt\" ends early, map 2, field MapLatSouth is missing (the file announces 2 maps)"},
        {"1\nA,a.png,1,2,3,4,big,6,7\n",
         "Map catalogue \"setup.txt\", map 1, field MapDotRadius (line 2): \"big\" is not a number"},
        {"1\nA,a.png,1,2,3,4,5,6,7e\n", "map 1, field MapSurfLonOffset (line 2): \"7e\" is not a number"},
        {"1\nA,a.png,1,2,3,4,5,99999,0\n", "field MapDrawWidth (line 2): \"99999\" is out of range"},
        // Values no map can show: a radius that would need gigabytes, spans too small to plot,
        // offsets past a full turn, a frame off the globe.
        {"1\nA,a.png,1,2,3,4,32767,1,0\n",
         "map 1, field MapDotRadius (line 2): \"32767\" is out of range (0 to 50 pixels)"},
        // A hair of a span puts every point beyond what a pixel coordinate holds.
        {"1\nA,a.png,1,1e-9,3,4,5,1,0\n", "field MapLonSpan (line 2): \"1e-9\" is out of range (0.001 to 360 degrees)"},
        {"1\nA,a.png,1,2,3,0.0009,5,1,0\n", "field MapLatSpan (line 2): \"0.0009\" is out of range (0.001 to 180"},
        {"1\nA,a.png,1,2,3,4,5,1,1e300\n", "field MapSurfLonOffset (line 2): \"1e300\" is out of range"},
        {"1\nA,a.png,1,2,-91,4,5,1,0\n", "field MapLatSouth (line 2): \"-91\" is out of range"},
        {"1\nA,a.png,nan,2,3,4,5,1,0\n", "field MapLonWest (line 2): \"nan\" is not a number"},
        // A quoted name over two lines still counts the lines after it.
        {"1\n\"A\nB\",a.png,1,2,3,4,5,big,0\n", "field MapDrawWidth (line 3)"},
        // An empty line is one empty field: everything after it shifts.
        {"1\n\nA,a.png,1,2,3,4,5,6,7\n", "map 1, field MapLonWest (line 3): \"a.png\" is not a number"},
    };
    for (auto [text, message] : cases) {
        t.assign(5, MapDef{});
        EXPECT_FALSE(ParseMapCatalogue(text, "setup.txt", t, error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_EQ(t.size(), 5u);  // untouched on failure
    }
    // Only a regular file is read: a device would be read without end.
    for (const auto& [path, why] : {std::pair<std::string, const char*>{testing::TempDir(), "it is a folder, not a file"},
                                    {"/dev/zero", "it is a device, not a regular file"},
                                    {"/nonexistent/setup.txt", "No such file or directory"}}) {
        EXPECT_FALSE(LoadMapCatalogue(path, t, error)) << path;
        EXPECT_EQ(error, "Map catalogue \"" + path + "\" cannot be read (" + why + ")");
    }
}

TEST(Projection, FrameWindowAndColours) {
    const MapDef m{"", "", -12, 35, 22, 44};  // 12W..32E, 35N..57N
    EXPECT_TRUE(OnMap(m, 355.0, 50.0));  // 5 W as the table keeps it
    EXPECT_NEAR(MapX(m, 355.0), 127.27272727, 1e-8);  // 7 degrees in
    EXPECT_NEAR(MapX(m, -13.0), 6527.27272727, 1e-8);  // 1 degree west: 359 degrees in, far off the picture
    for (auto [lon, lat] : {std::pair{-12.0, 50.0}, {32.0, 50.0}, {0.0, 35.0}, {0.0, 57.0}, {100.0, 50.0}})
        EXPECT_FALSE(OnMap(m, lon, lat)) << lon << " " << lat;
    EXPECT_FALSE(OnMap(MapDef{}, 0.0, 0.0));  // zero spans: nothing is ever on it

    // Surface ("S" only) is 24 lighter; the sum rounds halves to the even neighbour. A non-hex
    // or missing character ends its number: green "0G" reads 0; with four characters red is
    // "41" (32.5, to the even 32) and green and blue are 0.
    EXPECT_DOUBLE_EQ(EntryColourExact("1B2C3D", "-"), 6888928.5);
    const std::tuple<const char*, const char*, int> colours[] = {
        {"4CA1F3", "A", 1932810}, {"4CA1F3", "S", 3511842}, {"4CA1F3", "s", 1932810}, {"1B2C3D", "-", 6888928},
        {"FFFFFF", "A", 8388608}, {"4G0000", "A", 2},       {"12Z4", "A", 32},
    };
    for (auto [icao, kind, colour] : colours) EXPECT_EQ(EntryColour(icao, kind), colour) << icao << " " << kind;
}

TEST(NumberText, LeadingNumberAndPatterns) {
    EXPECT_EQ(std::tuple(LeadingNumber("  2.5 s"), LeadingNumber("2e"), LeadingNumber("abc")), std::tuple(2.5, 2.0, 0.0));
    EXPECT_EQ(FormatDigits(0.03125, 3, 4), "000.0313");  // exact half: away from zero
    EXPECT_EQ(FormatDigits(999.99996, 3, 4), "1000.0000");
    EXPECT_EQ(FormatDigits(-0.00001, 3, 4), "000.0000");  // no "-" on a zero
}
