// APRS-IS: the server text, the passcode, the login line and the server's answer, and a
// local fake server logged in to by the window's kept-up link and by the headless replay
// (verified, unverified, refused, dropped and made again).
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include <string>
#include <tuple>

#include "fake_aprs_is.h"
#include "session/aprs_output.h"

using namespace ternwick;
using namespace ternwick::test;

TEST(AprsIs, ServerPasscodeLoginAndAnswer) {
    const std::tuple<const char*, const char*, int, const char*> servers[] = {
        {"rotate.aprs2.net", "rotate.aprs2.net", 14580, ""},
        {" euro.aprs2.net:10152 ", "euro.aprs2.net", 10152, ""},
        {"[::1]:14581", "::1", 14581, ""},
        {"::1", "::1", 14580, ""},
        {":14580", "", 0, "APRS-IS server \":14580\": no host (host or host:port)"},
        {"host:0", "", 0, "APRS-IS server \"host:0\": the port after \":\" is a number from 1 to 65535"},
        {"host:", "", 0, "APRS-IS server \"host:\": the port after \":\" is a number from 1 to 65535"},
    };
    for (const auto& [text, host, port, error] : servers) {
        QString h, e;
        quint16 p = 0;
        EXPECT_EQ(AprsIsLink::ParseServer(text, h, p, e), *error == '\0') << text;
        EXPECT_EQ(e.toStdString(), error);
        if (*error == '\0') {
            EXPECT_EQ(h.toStdString(), host);
            EXPECT_EQ(p, port);
        }
    }
    for (const char* good : {"12345", "0", "-1", "32767", " 7 "}) EXPECT_EQ(AprsIsLink::CheckPasscode(good), "") << good;
    for (const char* bad : {"", "-2", "32768", "12a", "1-2", "--1"})
        EXPECT_TRUE(AprsIsLink::CheckPasscode(bad).startsWith("APRS-IS passcode \"")) << bad;

    const std::string login = AprsIsLink::LoginLine("N0CALL-10", "12345");
    EXPECT_TRUE(QRegularExpression("^user N0CALL-10 pass 12345 vers Ternwick [0-9]+\\.[0-9]+(\\.[0-9]+)?\r\n$")
                    .match(QString::fromStdString(login))
                    .hasMatch())
        << login;

    using L = AprsIsLink::Login;
    const std::pair<const char*, L> answers[] = {
        {"# logresp N0CALL-10 verified, server T2TEST", L::Verified},
        {"# logresp N0CALL-10 unverified, server T2TEST", L::Unverified},
        {"#logresp N0CALL-10 verified", L::None},
        {"# logresp N0CALL-10", L::None},
        {"# aprsc 2.1.10-gd72a17c 7 Dec 2026 03:00:00 GMT T2TEST 127.0.0.1:14580", L::None},
        {"N0CALL>APRS,TCPIP*,qAC,T2TEST:>verified", L::None},
        {"", L::None},
    };
    for (const auto& [line, answer] : answers) EXPECT_EQ(AprsIsLink::ParseLogresp(line), answer) << line;
}

namespace {

struct IsOutput {
    AprsOutput out{[] { return AprsTime{5, 14, 7}; }, SortedPortNames, [] { return 0.0; }};
    FlightTable db;
    IsOutput(const char* passcode) {
        AprsStation station;
        EXPECT_EQ(ParseAx25Address("N0CALL-10", false, station.source), "");
        std::vector<Ax25Address> path;
        EXPECT_EQ(ParseAx25Path("WIDE1-1", path), "");
        station.path = path;  // a path for the air is not what APRS-IS gets
        out.SetStation(station);
        out.SetAprsIs(true, passcode);
        out.IsLink().SetRetryDelays(20, 100);
        db.SetIcao(3, "4CA1F3");
        db(3).Flight = "ABC123  ";
        db(3).Lat = 53.4213;
        db(3).Lon = 6.2701;
    }
};

const char kLine[] = "N0CALL-10>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  ";

}  // namespace

TEST(AprsIs, WindowLinkLogsInSendsLinesAndLogsInAgainAfterADrop) {
    FakeAprsIs server("12345");
    IsOutput o("12345");
    EXPECT_EQ(o.out.StartStopAprs_Click(server.Target()), "");
    EXPECT_EQ(o.out.Caption(), "Stop COM:");
    ASSERT_TRUE(WaitFor([&] { return o.out.IsLink().State() == "verified"; }));
    server.KeepAlive();  // comments from the server change nothing
    EXPECT_EQ(o.out.SendAprsObject(o.db, 3), "");
    ASSERT_TRUE(WaitFor([&] { return server.lines.size() >= 2; }));
    EXPECT_EQ(server.lines[1], kLine);

    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return server.logins == 2 && o.out.IsLink().State() == "verified"; }));
    EXPECT_EQ(o.out.SendAprsObject(o.db, 3), "");
    ASSERT_TRUE(WaitFor([&] { return server.lines.size() >= 4; }));
    EXPECT_EQ(server.lines[2].substr(0, 14), "user N0CALL-10");
    EXPECT_EQ(server.lines[3], kLine);
    EXPECT_EQ(o.out.IsLink().Logins(), 2);
    EXPECT_EQ(o.out.Counts().sent, 2u);

    EXPECT_EQ(o.out.StartStopAprs_Click(server.Target()), "");
    EXPECT_EQ(o.out.Caption(), "Start COM:");
    EXPECT_TRUE(WaitFor([&] { return server.ClientGone(); }));
    // A passcode that is no number never leaves (the window's test has one the server refuses).
    IsOutput typo("12a45");
    EXPECT_TRUE(typo.out.StartStopAprs_Click(server.Target()).startsWith("APRS-IS passcode \"12a45\""));
    EXPECT_EQ(typo.out.Caption(), "Start COM:");
}

namespace {

QProcess* Replay(const QStringList& args) {
    auto* p = new QProcess;
    p->start(TERNWICK_BIN_DIR "/ternwick-replay", args);
    return p;
}

}  // namespace

TEST(AprsIs, HeadlessVerifiedUnverifiedAndRefused) {
    FakeAprsIs server("12345");
    const QString target = QString::fromStdString(server.Target());
    const QString demo = TERNWICK_BIN_DIR "/demo.log";
    struct Case {
        QString passcode, target;
        int status;
        std::string message;
    };
    const quint16 nobody = FreePort();
    const Case cases[] = {
        {"12345", target, 0, ""},
        {"-1", target, 2,
         "ternwick-replay: --aprs-is " + server.Target() + ": APRS-IS server " + server.Target() +
             " did not verify the login of N0CALL-10: the passcode does not belong to this callsign, so nothing is "
             "sent\n"},
        {"12345", QStringLiteral("127.0.0.1:%1").arg(nobody), 2,
         "ternwick-replay: --aprs-is 127.0.0.1:" + std::to_string(nobody) + ": APRS-IS server 127.0.0.1:" +
             std::to_string(nobody) + " cannot be reached (Connection refused)\n"},
    };
    for (const Case& c : cases) {
        server.lines.clear();
        std::unique_ptr<QProcess> replay(Replay({"--aprs-is", c.target, "--aprs-passcode", c.passcode, "--aprs-call",
                                                 "N0CALL-10", "--at", "5:14:07:00",
                                                 "--stats", demo}));
        ASSERT_TRUE(WaitFor([&] { return replay->state() == QProcess::NotRunning; }, 60000));
        EXPECT_EQ(replay->exitCode(), c.status);
        EXPECT_EQ(replay->readAllStandardError().toStdString(), c.message);
        if (c.status != 0) continue;
        ASSERT_TRUE(WaitFor([&] { return server.ClientGone(); }));
        const std::string stats = replay->readAllStandardOutput().toStdString();
        EXPECT_NE(stats.find("APRS reports dropped: 0\n"), std::string::npos) << stats;
        ASSERT_GT(server.lines.size(), 10u);
        EXPECT_EQ(server.lines[0].substr(0, 29), "user N0CALL-10 pass 12345 ver");
        EXPECT_EQ(server.lines[1].substr(0, 25), "N0CALL-10>APZ001,TCPIP*:;");
        EXPECT_NE(stats.find("APRS reports sent: " + std::to_string(server.lines.size() - 1) + "\n"), std::string::npos)
            << stats;
    }
}

TEST(AprsIs, HeadlessLinkDroppedIsMadeAgainWithTheLoginRepeated) {
    FakeAprsIs server("12345");
    std::unique_ptr<QProcess> replay(Replay({"--aprs-is", QString::fromStdString(server.Target()), "--aprs-passcode",
                                             "12345", "--aprs-call", "N0CALL-10", "--at", "5:14:07:00", "-"}));
    QFile demo(TERNWICK_BIN_DIR "/demo.log");
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    // A chunk at a time, so the replay is still running when the server drops it.
    auto feed = [&] {
        replay->write(demo.read(4000));
        return !demo.atEnd();
    };
    ASSERT_TRUE(WaitFor([&] { return feed() && server.lines.size() > 3; }));
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return feed() && server.logins == 2 && server.lines.back()[0] != 'u'; }, 60000));
    while (feed()) {
    }
    replay->closeWriteChannel();
    ASSERT_TRUE(WaitFor([&] { return replay->state() == QProcess::NotRunning; }, 60000));
    // Reports made while the link was down are lost, and the run says so.
    EXPECT_EQ(replay->exitCode(), 2);
    EXPECT_NE(replay->readAllStandardError().toStdString().find("reports could not be sent"), std::string::npos);
    EXPECT_EQ(server.lines.back().substr(0, 25), "N0CALL-10>APZ001,TCPIP*:;");
}
