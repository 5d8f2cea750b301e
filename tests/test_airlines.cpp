// The airline directory: lookups, and files that are missing, short or damaged. (The field
// reader it shares with the map catalogue is exercised by both files' tests.)
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "airlines/airline_directory.h"

#include "temp_path.h"

using namespace ternwick;

TEST(Airlines, Lookups) {
    AirlineDirectory d;
    EXPECT_EQ(d.LoadText("LH,DLH,Lufthansa,Germany\n,XYZ,\"No IATA, Ltd\",\nBA,BAW,British Airways,UK\n"
                         "ZZ,DLH,Duplicate,Nowhere\n"),
              4);
    // Of two DLH rows the first wins; two characters are already an IATA code.
    const std::tuple<const char*, const char*, const char*> lookups[] = {
        {"DLH", "LH", "Lufthansa"}, {"XYZ", "", "No IATA, Ltd"}, {"Q7", "Q7", ""}, {"BA", "BA", "British Airways"},
        {"dlh", "", ""},            {"", "", ""},                {"D", "", ""},    {"DLHX", "", ""}};
    for (auto [code, iata, airline] : lookups)
        EXPECT_EQ(d.IATAofICAO(code) + "|" + std::string(d.AIRofICAO(code)), std::string(iata) + "|" + airline) << code;
    for (auto [flight, designator] : {std::pair{"DLH400  ", "DLH"}, {"ABCDEFGH", "ABCDEFGH"}, {"", ""}, {" DLH400", ""},
                                      {"dLH400", ""}})
        EXPECT_EQ(ICAOflight(flight), designator) << flight;
}

TEST(Airlines, MissingShortDamagedOrBadFilesAreReported) {
    AirlineDirectory d;
    std::string problem;
    EXPECT_EQ(d.LoadFile("/nonexistent/airlinecodes.csv", problem), 0);
    EXPECT_TRUE(test::TextHolds(problem, "/nonexistent/airlinecodes.csv"));
    EXPECT_EQ(d.AIRofICAO("DLH"), "");

    // The second row incomplete.
    std::string path = test::WriteTemp("short.csv", "LH,DLH,Lufthansa,Germany\nBA,BAW,British Airways");
    EXPECT_EQ(d.LoadFile(path, problem), 1);
    EXPECT_TRUE(test::TextHolds(problem, path + "\" is short: 1 of 5428 rows"));
    EXPECT_EQ(d.AIRofICAO("DLH"), "Lufthansa");

    // A quote never closed swallows the rest of the file: the line is named.
    test::WriteTemp("short.csv", "LH,DLH,Lufthansa,Germany\nBA,BAW,\"British Airways,UK\nAF,AFR,Air France,France\n");
    EXPECT_EQ(d.LoadFile(path, problem), 1);
    EXPECT_TRUE(test::TextHolds(problem, "the quote opened on line 2 is never closed"));
    // A NUL and a name of 10 MB: cleaned and cut, told in the message.
    const std::string damaged =
        "LH,DLH,Luft" + std::string(1, '\0') + "hansa,Germany\nBA,BAW," + std::string(10 << 20, 'x') + ",UK\n";
    EXPECT_EQ(d.LoadText(damaged), 2);
    EXPECT_EQ(d.AIRofICAO("DLH"), "Luft hansa");
    EXPECT_EQ(d.AIRofICAO("BAW"), std::string(AirlineDirectory::kMaxFieldChars, 'x'));
    d.LoadFile(test::WriteTemp("short.csv", damaged), problem);
    EXPECT_TRUE(test::TextHolds(problem, "1 fields longer than 100 characters were cut and 1 had control characters"));
    EXPECT_EQ(d.LoadFile(testing::TempDir(), problem), 0);
    EXPECT_TRUE(test::TextHolds(problem, "it is a folder, not a file"));
    EXPECT_EQ(d.LoadFile("/dev/zero", problem), 0);  // a device is never read, let alone without end
    EXPECT_TRUE(test::TextHolds(problem, "\"/dev/zero\" cannot be read (it is a device, not a regular file)"));

    // A bad line is skipped alone and named: an extra field on line 2 once shifted every row
    // after it into the wrong columns.
    path = test::WriteTemp(
        "bad_line.csv", "LH,DLH,Lufthansa,Germany\nXX,ZZZ,Extra,Field,Here\n\n\"5J\",CEB,\"Cebu\nPacific\","
                        "Philippines\nBA,BAW,British Airways,UK\nAF,AFR,Air France\n");
    EXPECT_EQ(d.LoadFile(path, problem), 3);
    const std::pair<const char*, const char*> lookups[] = {
        {"DLH", "Lufthansa"}, {"ZZZ", ""}, {"CEB", "Cebu Pacific"}, {"BAW", "British Airways"}, {"AFR", ""}};
    for (auto [icao, name] : lookups) EXPECT_EQ(d.AIRofICAO(icao), name) << icao;  // the line break: a blank
    EXPECT_EQ(d.IATAofICAO("BAW"), "BA");
    EXPECT_TRUE(test::TextHolds(problem, "2 lines were skipped for not having 4 fields (the first, line 2, has 5)"));

    // Rows past the directory's size are told, not dropped without a word.
    std::string many;
    for (int i = 0; i < AirlineDirectory::kRows - 1; ++i) many += "AA,AAA,Name,Land\n";
    many += "LL,LST,Last,Land\nFF,FST,First not read,Land\nSS,SND,Second,Land\n";
    EXPECT_EQ(d.LoadFile(test::WriteTemp("many.csv", many), problem), AirlineDirectory::kRows);
    EXPECT_TRUE(test::TextHolds(problem, ": 2 rows after the first 5428 were not read"));
    EXPECT_EQ(d.AIRofICAO("LST"), "Last");
    EXPECT_EQ(d.AIRofICAO("FST"), "");

    // DEL is a control character like the others; exactly 100 characters are not cut.
    const std::string hundred(AirlineDirectory::kMaxFieldChars, 'n');
    d.LoadFile(test::WriteTemp("edge.csv", "LH,DLH,Luft\x7Fhansa,Germany\nBA,BAW," + hundred + ",UK\n"), problem);
    EXPECT_EQ(d.AIRofICAO("DLH"), "Luft hansa");
    EXPECT_EQ(d.AIRofICAO("BAW"), hundred);
    EXPECT_TRUE(test::TextHolds(problem, "0 fields longer than 100 characters were cut and 1 had control characters"));
}
