// Every output of ternwick-replay, byte for byte and pixel for pixel, against what the
// program printed and drew when these files were made: the shipped demo traffic and a hostile
// soak log (ten times more aircraft than the table holds, noise, damaged and lower-case
// records). Speed work must leave all of it alone.
//
// When an output changes on purpose, make the files again and look at the difference:
//   TERNWICK_UPDATE_GOLDEN=1 build/bin/test_outputs_golden; git diff tests/golden
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QImage>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

#include "temp_path.h"

using namespace ternwick::test;

namespace {

const std::string kReplay = TERNWICK_BIN_DIR "/ternwick-replay";
const std::string kGolden = TERNWICK_SOURCE_DIR "/tests/golden/";
// A fixed clock: the list's expiry and every time rule give the same answer on every run.
const std::string kFixed = "--at 7:12:00:00 --airlines " TERNWICK_BIN_DIR "/airlinecodes.csv ";

bool Updating() { return std::getenv("TERNWICK_UPDATE_GOLDEN") != nullptr; }

// The lines of --stats that measure this run rather than the traffic are left out.
std::string WithoutTimings(const std::string& out) {
    static const std::regex timings("(elapsed seconds|messages per second|peak memory):[^\n]*\n");
    return std::regex_replace(out, timings, "");
}

// Output too long to keep whole, by its length and SHA-256.
std::string Digest(const std::string& out) {
    const QByteArray sha = QCryptographicHash::hash(QByteArray::fromStdString(out), QCryptographicHash::Sha256);
    return std::to_string(out.size()) + " bytes, sha256 " + sha.toHex().toStdString() + "\n";
}

// What the command prints for `log`: the list, the table and the counts in full; the trace
// (megabytes for the demo) by its digest.
std::string Outputs(const std::string& log) {
    const RunResult tables = RunCommand(kReplay + " " + kFixed + "--list --csv --stats " + log);
    const RunResult trace = RunCommand(kReplay + " " + kFixed + "--trace " + log);
    EXPECT_EQ(std::tie(tables.status, trace.status), std::tuple(0, 0));
    return WithoutTimings(tables.out) + "trace: " + Digest(trace.out);
}

void CompareText(const std::string& name, const std::string& actual) {
    const std::string path = kGolden + name;
    if (Updating()) std::ofstream(path, std::ios::binary) << actual;
    EXPECT_EQ(actual, ReadWholeFile(path)) << "differs from " << path;
}

// Two maps over the demo traffic on a white picture: Cebu's (dots of 4, lines 2 wide) and
// the same frame with dots of 3 and lines 1 wide, as the other shipped maps draw.
std::string WhiteCatalogue() {
    QImage white(800, 400, QImage::Format_RGB32);
    white.fill(Qt::white);
    const std::string pic = TempPath("golden_white.png");
    white.save(QString::fromStdString(pic));
    return WriteTemp("golden_setup.txt", "2\n\"Wide\"," + pic + ",120,8,8.5,4,4,2,90\n\"Thin\"," + pic +
                                             ",120,8,8.5,4,3,1,90\n");
}

}  // namespace

TEST(GoldenOutputs, DemoAndSoakTextIsUnchanged) {
    CompareText("demo.txt", Outputs(TERNWICK_BIN_DIR "/demo.log"));
    CompareText("soak.txt", Outputs(kGolden + "soak.log"));
}

TEST(GoldenOutputs, MapPicturesAreUnchangedPixelForPixel) {
    const std::string catalogue = WhiteCatalogue();
    for (const std::string map : {"1", "2"}) {
        const std::string out = TempPath("golden_map" + map + ".png");
        ASSERT_EQ(RunCommand(kReplay + " " + kFixed + "--catalogue " + catalogue + " --map " + map + " --list --png " +
                             out + " " TERNWICK_BIN_DIR "/demo.log > /dev/null").status, 0) << "map " << map;
        const std::string golden = kGolden + "demo-map" + map + ".png";
        if (Updating()) std::ofstream(golden, std::ios::binary) << ReadWholeFile(out);
        const QImage expected(QString::fromStdString(golden)), actual(QString::fromStdString(out));
        ASSERT_FALSE(expected.isNull()) << golden;
        EXPECT_TRUE(actual.convertToFormat(QImage::Format_RGB32) == expected.convertToFormat(QImage::Format_RGB32))
            << "map " << map;
    }
}

// The APRS reports of the demo traffic with the report options as they always were (plain
// lines for every position; the rich form paced by an interval; KISS frames under a ceiling):
// the options that change how objects read must leave every byte of these alone.
TEST(GoldenOutputs, DefaultAprsReportsAreUnchanged) {
    std::string text;
    for (const std::string options : {"--aprs", "--aprs --aprs-rich --aprs-kill --aprs-interval 20",
                                      "--aprs --aprs-format kiss --aprs-interval 60 --aprs-max-per-min 10"}) {
        const RunResult r = RunCommand(kReplay + " " + kFixed + options + " " TERNWICK_BIN_DIR "/demo.log");
        EXPECT_EQ(r.status, 0) << options;
        // The first report as it reads, then the whole output by its digest.
        const std::string first = r.out.substr(0, r.out.find_first_of("\r\n\xC0", 1) + 1);
        text += options + "\n" + QByteArray::fromStdString(first).toHex().toStdString() + "\n" + Digest(r.out);
    }
    CompareText("demo-aprs.txt", text);
}
