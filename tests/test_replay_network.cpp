// ternwick-replay --connect against a receiver on 127.0.0.1, and recorded Beast files.
#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <fstream>
#include <string>

#include "beast_frames.h"
#include "fake_receiver.h"
#include "temp_path.h"

using namespace ternwick::test;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

void Start(QProcess& p, const QStringList& args) {
    p.start(QStringLiteral(TERNWICK_BIN_DIR "/ternwick-replay"), QStringList{"--airlines", "/dev/null"} + args);
}

Result Finish(QProcess& p) {
    Result r;
    if (!WaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000)) p.kill();
    p.waitForFinished(5000);
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

Result Replay(const QStringList& args) {
    EnsureApp();
    QProcess p;
    Start(p, args);
    return Finish(p);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

QString WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return QString::fromStdString(path);
}

// An identification, the published position pair and a velocity, with 0x1A in time stamps.
const char* const kTraffic[] = {"8D4CA2B120513531CB38206CB0D3", "8D40621D58C382D690C8AC2863A7",
                                "8D40621D58C386435CC412692AD6", "8D485020994409940838175B284F"};
const std::string kCsv =
    "icao,flight,iata_flight,airline,pos_kind,altitude_ft,speed_kt,lat,lon\n"
    "4CA2B1,TST123  ,123   ,,-,0,0,0.000000,0.000000\n"
    "40621D,        ,,,A,38000,0,52.265780,3.938913\n"
    "485020,        ,,,-,0,159,0.000000,0.000000\n";

std::string BeastTraffic() {
    std::string s;
    uint64_t stamp = 0x1A0000001A00;
    for (const char* m : kTraffic) {
        s += BeastFrame(m, stamp++);
        s += BeastFrame("0101", stamp++);
    }
    return s;
}

}  // namespace

TEST(ReplayNetwork, BeastUntilInterrupted) {
    FakeReceiver rx;
    QProcess p;
    Start(p, {"--connect", QString::fromStdString(rx.Target()), "--csv", "--stats"});
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 1; }));
    rx.Send(BeastTraffic());
    rx.CloseClient();
    // The command comes back only once it has read the first connection to its end.
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 2; }));
    kill(static_cast<pid_t>(p.processId()), SIGINT);
    const Result r = Finish(p);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, kCsv)) << r.out;
    EXPECT_TRUE(Has(r.out, "messages evaluated: 4\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "connects: 2\ndrops: 1\nAVR text frames: 0 (messages 0)\n"
                           "Beast binary frames: 8 (messages 4)\nMode A/C skipped: 4\n"))
        << r.out;
    EXPECT_TRUE(Has(r.err, "ternwick-replay: connected to " + rx.Target() + "\n")) << r.err;
    EXPECT_TRUE(Has(r.err, "ternwick-replay: Beast binary from " + rx.Target() + "\n")) << r.err;
    EXPECT_TRUE(Has(r.err, "ternwick-replay: retrying " + rx.Target() + " in 1 s\n")) << r.err;
}

TEST(ReplayNetwork, AvrForAFixedTime) {
    FakeReceiver rx;
    QProcess p;
    Start(p, {"--connect", QString::fromStdString(rx.Target()), "--format", "avr", "--for", "2", "--csv"});
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 1; }));
    std::string avr;
    for (const char* m : kTraffic) avr += "@0123456789AB" + std::string(m) + ";\n";
    rx.Send(avr);
    const Result r = Finish(p);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, kCsv)) << r.out;
    EXPECT_TRUE(Has(r.err, "ternwick-replay: AVR text from " + rx.Target() + "\n")) << r.err;
}

TEST(ReplayNetwork, NoConnectionMeansStatusTwo) {
    quint16 closed = 0;
    {
        FakeReceiver gone;
        closed = gone.Port();
    }
    const std::string target = "127.0.0.1:" + std::to_string(closed);
    Result r = Replay({"--connect", QString::fromStdString(target), "--for", "0.5", "--csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "ternwick-replay: " + target + ": connection refused\n")) << r.err;
    EXPECT_TRUE(Has(r.err, "ternwick-replay: no connection to " + target + " was made\n")) << r.err;
    EXPECT_EQ(r.out, "icao,flight,iata_flight,airline,pos_kind,altitude_ft,speed_kt,lat,lon\n");

    r = Replay({"--connect", "127.0.0.1:99999"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ternwick-replay: Network source 127.0.0.1:99999: port 99999 is out of range (1 to 65535)\n");
    // A name with an empty label is refused before any lookup: nothing leaves the machine.
    r = Replay({"--connect", "bad..name:30005", "--for", "0.5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "ternwick-replay: bad..name:30005: host not found\n")) << r.err;
    r = Replay({"--connect", "127.0.0.1:30005", "some.log"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "give one or the other")) << r.err;
}

TEST(ReplayNetwork, RecordedBeastFiles) {
    const QString beast = WriteFile("traffic.beast", BeastTraffic());
    // Told apart by its first byte, or named.
    for (const QStringList& args : {QStringList{"--csv", "--stats", beast},
                                    QStringList{"--format", "beast", "--csv", "--stats", beast}}) {
        const Result r = Replay(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Has(r.out, kCsv)) << r.out;
        EXPECT_TRUE(Has(r.out, "Beast binary frames: 8 (messages 4)\n")) << r.out;
    }
}
