// The airline directory: lookups, and files that are missing, short or damaged. (The field
// reader it shares with the map catalogue is exercised by both files' tests.)
#include <gtest/gtest.h>

#include <string>

#include "airlines/airline_directory.h"

#include "temp_path.h"

using namespace ternwick;

TEST(Airlines, Lookups) {
    AirlineDirectory d;
    EXPECT_EQ(d.LoadText("LH,DLH,Lufthansa,Germany\n,XYZ,\"No IATA, Ltd\",\nBA,BAW,British Airways,UK\n"
                         "ZZ,DLH,Duplicate,Nowhere\n"),
              4);
    EXPECT_EQ(d.IATAofICAO("DLH"), "LH");  // first row wins
    EXPECT_EQ(d.AIRofICAO("DLH"), "Lufthansa");
    EXPECT_EQ(d.AIRofICAO("XYZ"), "No IATA, Ltd");
    EXPECT_EQ(d.IATAofICAO("XYZ"), "");
    EXPECT_EQ(d.IATAofICAO("Q7"), "Q7");  // two characters: already an IATA code
    EXPECT_EQ(d.AIRofICAO("BA"), "British Airways");
    EXPECT_EQ(d.AIRofICAO("dlh"), "");
    for (const char* bad : {"", "D", "DLHX"}) {
        EXPECT_EQ(d.IATAofICAO(bad), "");
        EXPECT_EQ(d.AIRofICAO(bad), "");
    }
    EXPECT_EQ(ICAOflight("DLH400  "), "DLH");
    EXPECT_EQ(ICAOflight("ABCDEFGH"), "ABCDEFGH");
    EXPECT_EQ(ICAOflight(""), "");
    EXPECT_EQ(ICAOflight(" DLH400"), "");
    EXPECT_EQ(ICAOflight("dLH400"), "");
}

TEST(Airlines, MissingOrShortFileIsReported) {
    AirlineDirectory d;
    std::string problem;
    EXPECT_EQ(d.LoadFile("/nonexistent/airlinecodes.csv", problem), 0);
    EXPECT_NE(problem.find("/nonexistent/airlinecodes.csv"), std::string::npos);
    EXPECT_EQ(d.AIRofICAO("DLH"), "");

    // The second row incomplete.
    const std::string path = test::WriteTemp("short.csv", "LH,DLH,Lufthansa,Germany\nBA,BAW,British Airways");
    EXPECT_EQ(d.LoadFile(path, problem), 1);
    EXPECT_NE(problem.find(path), std::string::npos);
    EXPECT_NE(problem.find("1 of 5428 rows"), std::string::npos);
    EXPECT_EQ(d.AIRofICAO("DLH"), "Lufthansa");

    // A quote never closed swallows the rest of the file: the line is named.
    test::WriteTemp("short.csv", "LH,DLH,Lufthansa,Germany\nBA,BAW,\"British Airways,UK\nAF,AFR,Air France,France\n");
    EXPECT_EQ(d.LoadFile(path, problem), 1);
    EXPECT_NE(problem.find("the quote opened on line 2 is never closed"), std::string::npos) << problem;
    // A NUL and a name of 10 MB: cleaned and cut, told in the message.
    const std::string damaged =
        "LH,DLH,Luft" + std::string(1, '\0') + "hansa,Germany\nBA,BAW," + std::string(10 << 20, 'x') + ",UK\n";
    EXPECT_EQ(d.LoadText(damaged), 2);
    EXPECT_EQ(d.AIRofICAO("DLH"), "Luft hansa");
    EXPECT_EQ(d.AIRofICAO("BAW"), std::string(AirlineDirectory::kMaxFieldChars, 'x'));
    d.LoadFile(test::WriteTemp("short.csv", damaged), problem);
    EXPECT_NE(problem.find("1 fields longer than 100 characters were cut and 1 had control characters"),
              std::string::npos)
        << problem;
    EXPECT_EQ(d.LoadFile(testing::TempDir(), problem), 0);
    EXPECT_NE(problem.find("it is a folder, not a file"), std::string::npos) << problem;
    EXPECT_EQ(d.LoadFile("/dev/zero", problem), 0);  // a device is never read, let alone without end
    EXPECT_NE(problem.find("\"/dev/zero\" cannot be read (it is a device, not a regular file)"), std::string::npos)
        << problem;
}

TEST(Airlines, ABadLineIsSkippedAloneAndNamed) {
    // An extra field on line 2 once shifted every row after it into the wrong columns.
    AirlineDirectory d;
    std::string problem;
    const std::string path = test::WriteTemp(
        "bad_line.csv", "LH,DLH,Lufthansa,Germany\nXX,ZZZ,Extra,Field,Here\n\n\"5J\",CEB,\"Cebu\nPacific\","
                        "Philippines\nBA,BAW,British Airways,UK\nAF,AFR,Air France\n");
    EXPECT_EQ(d.LoadFile(path, problem), 3);
    const std::pair<const char*, const char*> lookups[] = {
        {"DLH", "Lufthansa"}, {"ZZZ", ""}, {"CEB", "Cebu Pacific"}, {"BAW", "British Airways"}, {"AFR", ""}};
    for (auto [icao, name] : lookups) EXPECT_EQ(d.AIRofICAO(icao), name) << icao;  // the line break: a blank
    EXPECT_EQ(d.IATAofICAO("BAW"), "BA");
    EXPECT_NE(problem.find("2 lines were skipped for not having 4 fields (the first, line 2, has 5)"),
              std::string::npos)
        << problem;

    // Rows past the directory's size are told, not dropped without a word.
    std::string many;
    for (int i = 0; i < AirlineDirectory::kRows - 1; ++i) many += "AA,AAA,Name,Land\n";
    many += "LL,LST,Last,Land\nFF,FST,First not read,Land\nSS,SND,Second,Land\n";
    EXPECT_EQ(d.LoadFile(test::WriteTemp("many.csv", many), problem), AirlineDirectory::kRows);
    EXPECT_NE(problem.find(": 2 rows after the first 5428 were not read"), std::string::npos) << problem;
    EXPECT_EQ(d.AIRofICAO("LST"), "Last");
    EXPECT_EQ(d.AIRofICAO("FST"), "");

    // DEL is a control character like the others; exactly 100 characters are not cut.
    const std::string hundred(AirlineDirectory::kMaxFieldChars, 'n');
    d.LoadFile(test::WriteTemp("edge.csv", "LH,DLH,Luft\x7Fhansa,Germany\nBA,BAW," + hundred + ",UK\n"), problem);
    EXPECT_EQ(d.AIRofICAO("DLH"), "Luft hansa");
    EXPECT_EQ(d.AIRofICAO("BAW"), hundred);
    EXPECT_NE(problem.find("0 fields longer than 100 characters were cut and 1 had control characters"),
              std::string::npos)
        << problem;
}
