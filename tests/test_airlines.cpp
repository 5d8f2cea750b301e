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
}
