// A session's report output: rate rules, withdrawals, KISS and APRS-IS servers and a port that stall or drop.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include <string>
#include <tuple>
#include <vector>

#include "fake_aprs_is.h"
#include "io/kiss_tcp_link.h"
#include "pseudo_terminal.h"
#include "session_support.h"

using namespace ternwick;
using namespace ternwick::test;
using namespace std::string_literals;

namespace {

// A KISS server that stopped reading: the kernel takes the connection, nobody reads it.
struct DeafServer {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int client = -1;
    quint16 port = 0;
    DeafServer() {
        const int small = 4096;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
        socklen_t n = sizeof a;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), n), 0);
        EXPECT_EQ(listen(fd, 4), 0);
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
    }
    ~DeafServer() {
        if (client >= 0) close(client);
        close(fd);
    }
    // Takes the connection, when it comes (the command is then under way), and still reads nothing.
    bool Accept() {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, 20000) == 1 && (client = accept(fd, nullptr, nullptr)) >= 0;
    }
    QString Target() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

// An output by a fixed clock and a table with one aircraft's position in entry 3; the station's call and path.
struct OneAircraft {
    AprsOutput out{[] { return AprsTime{5, 14, 7}; }, SortedPortNames, [] { return 0.0; }};
    FlightTable db;
    explicit OneAircraft(const char* call = nullptr, const char* path = nullptr) {
        EnsureApp();
        db.SetIcao(3, "4CA1F3");
        db(3).Flight = "ABC123  ", db(3).Lat = 53.4213, db(3).Lon = 6.2701;
        AprsStation station;
        EXPECT_EQ(call ? ParseAx25Address(call, false, station.source) : "", "");
        EXPECT_EQ(path ? ParseAx25Path(path, station.path.emplace()) : "", "");
        out.SetStation(station);
    }
};

// Logs in to APRS-IS as N0CALL-10 with `passcode`; its path is for the air, which is not what APRS-IS gets.
struct IsOutput : OneAircraft {
    explicit IsOutput(const char* passcode) : OneAircraft("N0CALL-10", "WIDE1-1") {
        out.SetAprsIs(true, passcode);
        out.IsLink().SetRetryDelays(20, 100);
    }
};

const char kIsLine[] = "N0CALL-10>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  ";

}  // namespace

TEST(AprsRate, HardCeilingFromTheFirstSecondWithTheNewestPositionAndWithdrawalsFirst) {
    HeadlessSession r;
    r.s.aprs().SetRate({0, 5});  // at most one every 12 s
    // Ten aircraft come in within ten seconds, then 0 goes on reporting every second.
    for (int k = 0; k < 10; ++k) r.Pair(k, 0xABC000 + k);
    auto every_second = [&r](int from, int to) {
        for (int t = from; t <= to; ++t) r.Position(t, 0xABC000, t % 2);
    };
    every_second(10, 59);
    EXPECT_EQ(r.Names(), "ABC000 ABC001 ABC002 ABC003 ABC004 ");
    EXPECT_EQ(r.lines[4].substr(31, 8), "*051407z") << r.lines[4];  // at 14:07:48
    // Aircraft 7 flies on while it waits; it goes with where it is when its turn comes.
    r.Pair(59, 0xABC007, 10.35);
    every_second(60, 119);
    EXPECT_EQ(r.Names(), "ABC000 ABC001 ABC002 ABC003 ABC004 ABC005 ABC006 ABC007 ABC008 ABC009 ");
    EXPECT_EQ(r.lines[7].substr(39, 8), "1021.  N") << r.lines[7];
    EXPECT_EQ(r.s.aprs().Counts().sent, 10u);
    EXPECT_EQ(r.s.aprs().Counts().reported, 10u);
    every_second(120, 131);  // the oldest report is 0's: its turn again
    EXPECT_EQ(r.Names().substr(70), "ABC000 ");

    // A waiting withdrawal goes before any position, in the slot time frees, even for a message plotting nothing.
    HeadlessSession w;
    w.s.aprs().SetRate({0, 1});
    w.s.aprs().SetStyle(false, true);
    w.s.SetListSettings({25.0, false});
    w.Pair(0, 0xABC001);
    w.Pair(10, 0xABC002);
    w.At(30);
    w.s.ShowTextTable();  // 1 leaves; its withdrawal waits like 2's first report
    auto plotting_nothing = [&w](int second) {
        w.At(second);
        w.Feed("8D4CA2B120513531CB38206CB0D3");  // an identification of another aircraft
    };
    w.Position(59, 0xABC002, 0);
    EXPECT_EQ(w.Names(), "ABC001 ");
    plotting_nothing(60);
    EXPECT_EQ(w.Names(), "ABC001 ABC001_ ");
    w.Position(119, 0xABC002, 0);
    plotting_nothing(120);
    EXPECT_EQ(w.Names(), "ABC001 ABC001_ ABC002 ");
    EXPECT_EQ(w.s.aprs().Counts().withdrawn, 1u);
    EXPECT_EQ(w.s.aprs().Counts().reported, 1u);
}

TEST(AprsKill, AReportedAircraftLeavingTheTableIsWithdrawnOnce) {
    // The list passing before every message: the message of 2 finds 1 expired, withdrawn before 2 is reported.
    HeadlessSession each;
    each.s.aprs().SetStyle(false, true);
    each.s.SetListSettings({25.0, false});
    each.s.SetListPerMessage(true);
    each.Pair(0, 0xABC001);
    each.Pair(30, 0xABC002);
    EXPECT_EQ(each.Names(), "ABC001 ABC001_ ABC002 ");

    HeadlessSession r;
    r.s.aprs().SetStyle(false, true);
    r.s.SetListSettings({10.0, false});
    r.Pair(0, 0xABC001);
    r.Feed("8D4CA2B120513531CB38206CB0D3");  // identified, never plotted
    r.At(30);
    r.s.ShowTextTable();  // both expire; only the reported one had an object
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[1], "QZ7TRK>APZ001,TCPIP*:;ABC001   _051407z1018.  N/12354.00E^        \r");
    EXPECT_EQ(r.s.Db().InUse(), 0);
    r.s.ShowTextTable();
    r.At(60);
    r.s.ShowTextTable();
    EXPECT_EQ(r.lines.size(), 2u);

    // Gone means forgotten: back, its interval does not hold it; with "Kill expired" off, leaving sends nothing.
    r.s.aprs().SetStyle(true, false);
    r.s.aprs().SetRate({600, 0});
    r.Pair(60, 0xABC001);
    EXPECT_EQ(r.Names(), "ABC001 ABC001_ ABC001 ");
    r.At(120);
    r.s.ShowTextTable();
    EXPECT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.s.aprs().Counts().sent, 3u);
}

TEST(AprsLink, KissServerGetsEveryFrameAndALinkDownDropsReports) {
    FakeReceiver kiss;
    const std::string target = kiss.Target();
    OneAircraft a("N0CALL-7");
    AprsOutput& out = a.out;

    // Text lines to a KISS server would be thrown away there.
    EXPECT_EQ(out.StartStopAprs_Click(target).toStdString(),
              "APRS port " + target + " is a network KISS server: choose KISS to send to it");
    EXPECT_FALSE(out.IsOpen());
    out.SetPortFormat(AprsFormat::Kiss);
    out.Link().SetRetryDelays(20, 100);
    EXPECT_EQ(out.StartStopAprs_Click(target), "");
    ASSERT_TRUE(WaitFor([&] { return out.Link().IsConnected(); }));

    const QByteArray frame = QByteArray::fromStdString(
        "\xC0\x00"
        "\x82\xA0\xB4\x60\x60\x62\xE0"  // APZ001
        "\x9C\x60\x86\x82\x98\x98\x6E"  // N0CALL-7
        "\xAE\x92\x88\x8A\x62\x40\x63"  // WIDE1-1, the path of a frame for the air
        "\x03\xF0;4CA1F3   *051407z5325.  N/00616.00E^ABC123  \xC0"s);
    EXPECT_EQ(out.SendAprsObject(a.db, 3), "");
    ASSERT_TRUE(WaitFor([&] { return kiss.received.size() >= frame.size(); }));

    // The server goes away: the link tries again by itself, reports meanwhile are dropped and counted, not queued.
    kiss.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return out.Link().State().startsWith("retrying in"); }));
    EXPECT_EQ(out.SendAprsObject(a.db, 3), "");
    ASSERT_TRUE(WaitFor([&] { return kiss.Connections() == 2 && out.Link().State() == "connected"; }));
    EXPECT_EQ(out.SendAprsObject(a.db, 3), "");
    ASSERT_TRUE(WaitFor([&] { return kiss.received.size() >= 2 * frame.size(); }));
    EXPECT_EQ(kiss.received, frame + frame);
    EXPECT_EQ(out.Counts().sent, 2u);
    EXPECT_EQ(out.Counts().dropped, 1u);

    EXPECT_EQ(out.StartStopAprs_Click(target), "");
    EXPECT_EQ(out.Caption(), "Start COM:");
    EXPECT_TRUE(WaitFor([&] { return kiss.ClientGone(); }));
}

TEST(AprsLink, HeadlessReplaySendsEveryReportBeforeItEnds) {
    FakeReceiver kiss;
    const QString target = QString::fromStdString(kiss.Target());
    QProcess replay;
    replay.start(TERNWICK_BIN_DIR "/ternwick-replay",
                 {"--aprs", "--aprs-format", "kiss", "--aprs-to", target, "--aprs-call", "N0CALL-9", "--aprs-path",
                  "WIDE2-1", "--at", "5:14:07:00", TERNWICK_BIN_DIR "/demo.log"});
    ASSERT_TRUE(WaitFor(
        [&] { return replay.state() == QProcess::NotRunning && kiss.Connections() == 1 && kiss.ClientGone(); }, 60000));
    EXPECT_EQ(replay.exitCode(), 0) << replay.readAllStandardError().toStdString();
    // What went over the link is what --aprs printed (the golden outputs' test has those frames).
    EXPECT_GT(kiss.received.size(), 100000);
    EXPECT_TRUE(kiss.received == replay.readAllStandardOutput());
}

TEST(AprsLink, RetryWaitsDoubleUpToTheLongestAndAGoodConnectionStartsThemAfresh) {
    // Nobody listens: 1 s, then 2, then the longest (3), never more; a link that was good waits 1 s after a drop.
    FakeReceiver kiss;
    kiss.StopListening();
    KissTcpLink link;
    link.SetRetryDelays(1000, 3000);
    std::vector<QString> states;
    QObject::connect(&link, &KissTcpLink::stateChanged, [&] { states.push_back(link.State()); });
    link.Start("127.0.0.1", kiss.Port());
    ASSERT_TRUE(WaitFor([&] { return link.State() == "retrying in 3 s"; }));
    ASSERT_TRUE(kiss.Listen(kiss.Port()));
    ASSERT_TRUE(WaitFor([&] { return kiss.Connections() == 1 && link.IsConnected(); }));
    kiss.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return link.State().startsWith("retrying"); }));
    EXPECT_EQ(states, (std::vector<QString>{"connecting", "retrying in 1 s", "connecting", "retrying in 2 s",
                                            "connecting", "retrying in 3 s", "connecting", "connected",
                                            "retrying in 1 s"}));
    link.Stop();
}

TEST(AprsLink, AServerThatTakesNothingCostsReportsOrIsGivenUpAndAStopEndsEveryWait) {
    // The window's kept-up link never waits: past its 64 kB what the server does not take is dropped.
    OneAircraft a;
    DeafServer behind_window;
    a.out.SetPortFormat(AprsFormat::Kiss);
    ASSERT_EQ(a.out.StartStopAprs_Click(behind_window.Target().toStdString()), "");
    ASSERT_TRUE(WaitFor([&] { return a.out.Link().IsConnected(); }));
    constexpr int kReports = 200000;  // 16 MB: more than the system's buffers take
    for (int i = 0; i < kReports; ++i) EXPECT_EQ(a.out.SendAprsObject(a.db, 3), "");
    EXPECT_GT(a.out.Counts().dropped, 0u);
    EXPECT_EQ(a.out.Counts().sent + a.out.Counts().dropped, uint64_t{kReports});

    const std::string frame(1000, 'x');
    // Stalled, the link gives up at its limit; a stop (interrupt, end of --for) ends every wait and the flush at once.
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "stalled");
        DeafServer deaf;
        KissTcpLink link;
        link.SetStallLimit(stopped ? 600000 : 300);
        QString error;
        ASSERT_TRUE(link.ConnectNow("127.0.0.1", deaf.port, 5000, error)) << error.toStdString();
        bool stop = false;
        link.SetStopCheck([&stop] { return stop; });
        int sent = 0;
        while (sent < 100 && link.Send(frame)) ++sent;  // 100 kB: past what a stalled link holds
        stop = stopped;
        while (sent < 100000 && link.Send(frame)) ++sent;
        EXPECT_LT(sent, 100000);
        EXPECT_EQ(link.GaveUp(), !stopped);
        EXPECT_TRUE(stopped || (link.State() == "gave up" && !link.Send("y"))) << link.State().toStdString();
        EXPECT_FALSE(link.Flush(stopped ? 600000 : 60000, error));
        EXPECT_TRUE(error.startsWith("KISS server " + deaf.Target() + ": " +
                                     (stopped ? "interrupted; " : "it took nothing for 0.3 s; ")))
            << error.toStdString();
        EXPECT_TRUE(stopped || error.endsWith(" bytes of reports were not sent")) << error.toStdString();
    }
}

TEST(AprsLink, CtrlCEndsAReplayStuckBehindAServerThatTakesNothing) {
    // Without a give-up, each report waited 30 s: a run of days that nothing could end.
    EnsureApp();
    DeafServer deaf;
    QProcess replay;
    // Ten times the demo traffic: more reports than the system's socket buffers hold.
    QStringList args = {"--airlines", "/dev/null", "--aprs-to", deaf.Target(), "--csv"};
    for (int i = 0; i < 10; ++i) args << TERNWICK_BIN_DIR "/demo.log";
    replay.start(TERNWICK_BIN_DIR "/ternwick-replay", args);
    ASSERT_TRUE(deaf.Accept());
    QTest::qWait(1000);  // waiting for room by now, or nearly
    kill(static_cast<pid_t>(replay.processId()), SIGINT);
    ASSERT_TRUE(WaitFor([&] { return replay.state() == QProcess::NotRunning; }, 20000));
    const std::string out = replay.readAllStandardOutput().toStdString();
    const std::string err = replay.readAllStandardError().toStdString();
    EXPECT_EQ(replay.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(replay.exitCode(), 0) << err;
    EXPECT_EQ(out.rfind("icao,flight,iata_flight,", 0), 0u) << out;  // the CSV made so far is out
    EXPECT_NE(err.find("ternwick-replay: interrupted after "), std::string::npos) << err;
}

TEST(AprsPort, APortNobodyDrainsHoldsABoundedQueueAndCountsOnlyWhatWasWritten) {
    // 115200 baud is about 11.5 kB/s: a queue without bound grew by megabytes a second, all counted as sent.
    OneAircraft a;
    Pty tnc;
    ASSERT_EQ(a.out.StartStopAprs_Click(tnc.name), "");
    constexpr int kReports = 20000;
    for (int i = 0; i < kReports; ++i) {
        EXPECT_EQ(a.out.SendAprsObject(a.db, 3), "");
        if (i % 500 == 0) QCoreApplication::processEvents();
        ASSERT_LE(a.out.Port().Port().bytesToWrite(), AprsOutput::kMaxPortPending);
    }
    const AprsCounts before = a.out.Counts();
    EXPECT_GT(before.dropped, 0u);
    EXPECT_LT(before.sent + before.dropped, uint64_t{kReports});  // what still waits is neither
    // Closed with reports still waiting: they never left, and count as dropped.
    ASSERT_GT(a.out.Port().Port().bytesToWrite(), 0);
    EXPECT_EQ(a.out.StartStopAprs_Click(tnc.name), "");
    const AprsCounts c = a.out.Counts();
    EXPECT_GT(c.dropped, before.dropped);
    EXPECT_EQ(c.sent + c.dropped, uint64_t{kReports});
    // The port carried the greeting, the sent reports and at most a part of the one the close cut.
    const std::string report = "QZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  \r";
    const std::string got = tnc.Read(size_t(15 + c.sent * report.size()));
    EXPECT_LT(got.size(), 15 + (c.sent + 1) * report.size());
    EXPECT_EQ(got.substr(0, 15 + report.size()), "APRS Port Open\r" + report);
}

TEST(AprsCounts, TheWindowsLineNamesDropsAndOnlyTheFiltersThatAreSet) {
    AprsCounts c{.sent = 12, .held = {.interval = 3, .unmoved = 2, .ceiling = 1},
                 .filtered = {.radius = 4, .min_alt = 5, .max_alt = 6, .callsign = 7}, .reported = 8};
    EXPECT_EQ(AprsCountsLine(c, {}).toStdString(),
              "APRS sent: 12, held back: 28\n  interval 3, unmoved 2, ceiling 1; on the air: 8\n");
    c.dropped = 9;
    EXPECT_EQ(AprsCountsLine(c, {.radius_nm = 50, .min_feet = 0, .max_feet = 10000, .callsign_only = true}).toStdString(),
              "APRS sent: 12, held back: 28, dropped: 9\n"
              "  interval 3, unmoved 2, ceiling 1, radius 4, max. alt 6, callsign 7; on the air: 8\n");
    EXPECT_EQ(AprsCountsLine(c, {.radius_nm = 0, .min_feet = 1000}).toStdString(),
              "APRS sent: 12, held back: 28, dropped: 9\n  interval 3, unmoved 2, ceiling 1, min. alt 5; on the air: 8\n");
}

TEST(AprsIs, ServerPasscodeLoginAndAnswer) {
    const std::tuple<const char*, const char*, int, const char*> servers[] = {
        {"rotate.aprs2.net", "rotate.aprs2.net", 14580, ""}, {" euro.aprs2.net:10152 ", "euro.aprs2.net", 10152, ""},
        {"[::1]:14581", "::1", 14581, ""}, {"::1", "::1", 14580, ""},
        {":14580", "", 0, "APRS-IS server \":14580\": no host (host or host:port)"},
        {"host:0", "", 0, "APRS-IS server \"host:0\": the port after \":\" is a number from 1 to 65535"},
        {"host:", "", 0, "APRS-IS server \"host:\": the port after \":\" is a number from 1 to 65535"},
        {"host:+80", "", 0, "APRS-IS server \"host:+80\": the port after \":\" is a number from 1 to 65535"},
        {"host: 80", "", 0, "APRS-IS server \"host: 80\": the port after \":\" is a number from 1 to 65535"},
    };
    for (const auto& [text, host, port, error] : servers) {
        QString h, e;
        quint16 p = 0;
        EXPECT_EQ(AprsIsLink::ParseServer(text, h, p, e), *error == '\0') << text;
        EXPECT_EQ(e.toStdString(), error);
        EXPECT_EQ(h.toStdString(), host);
        EXPECT_EQ(p, port);
    }
    for (const char* good : {"12345", "0", "-1", "32767", " 7 "}) EXPECT_EQ(AprsIsLink::CheckPasscode(good), "") << good;
    for (const char* bad : {"", "-2", "32768", "12a", "1-2", "--1"})
        EXPECT_TRUE(AprsIsLink::CheckPasscode(bad).startsWith("APRS-IS passcode \"")) << bad;

    const QString login = QString::fromStdString(AprsIsLink::LoginLine("N0CALL-10", "12345"));
    const QRegularExpression want("^user N0CALL-10 pass 12345 vers Ternwick [0-9]+\\.[0-9]+(\\.[0-9]+)?\r\n$");
    EXPECT_TRUE(want.match(login).hasMatch()) << login.toStdString();

    using L = AprsIsLink::Login;
    const std::pair<const char*, L> answers[] = {
        {"# logresp N0CALL-10 verified, server T2TEST", L::Verified},
        {"# logresp N0CALL-10 unverified, server T2TEST", L::Unverified},
        {"#logresp N0CALL-10 verified", L::None}, {"# logresp N0CALL-10", L::None},
        {"# aprsc 2.1.10-gd72a17c 7 Dec 2026 03:00:00 GMT T2TEST 127.0.0.1:14580", L::None},
        {"N0CALL>APRS,TCPIP*,qAC,T2TEST:>verified", L::None}, {"", L::None},
    };
    for (const auto& [line, answer] : answers) EXPECT_EQ(AprsIsLink::ParseLogresp(line), answer) << line;
}

TEST(AprsIs, WindowLinkLogsInSendsLinesAndLogsInAgainAfterADrop) {
    FakeAprsIs server("12345");
    IsOutput o("12345");
    EXPECT_EQ(o.out.StartStopAprs_Click(server.Target()), "");
    EXPECT_EQ(o.out.Caption(), "Stop COM:");
    ASSERT_TRUE(WaitFor([&] { return o.out.IsLink().State() == "verified"; }));
    server.KeepAlive();  // comments from the server change nothing
    EXPECT_EQ(o.out.SendAprsObject(o.db, 3), "");
    ASSERT_TRUE(WaitFor([&] { return server.lines.size() >= 2; }));
    EXPECT_EQ(server.lines[1], kIsLine);

    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return server.logins == 2 && o.out.IsLink().State() == "verified"; }));
    EXPECT_EQ(o.out.SendAprsObject(o.db, 3), "");
    ASSERT_TRUE(WaitFor([&] { return server.lines.size() >= 4; }));
    EXPECT_EQ(server.lines[2].substr(0, 14), "user N0CALL-10");
    EXPECT_EQ(server.lines[3], kIsLine);
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

TEST(AprsIs, HeadlessVerifiedUnverifiedAndRefused) {
    FakeAprsIs server("12345");
    const std::string nobody = "127.0.0.1:" + std::to_string(FreePort());
    const std::tuple<const char*, std::string, int, std::string> cases[] = {
        {"12345", server.Target(), 0, ""},
        {"-1", server.Target(), 2,
         "APRS-IS server " + server.Target() +
             " did not verify the login of N0CALL-10: the passcode does not belong to this callsign, so nothing is sent\n"},
        {"12345", nobody, 2, "APRS-IS server " + nobody + " cannot be reached (Connection refused)\n"},
    };
    for (const auto& [passcode, target, status, message] : cases) {
        server.lines.clear();
        QProcess replay;
        replay.start(TERNWICK_BIN_DIR "/ternwick-replay",
                     {"--aprs-is", QString::fromStdString(target), "--aprs-passcode", passcode, "--aprs-call", "N0CALL-10",
                      "--at", "5:14:07:00", "--stats", TERNWICK_BIN_DIR "/demo.log"});
        ASSERT_TRUE(WaitFor([&] { return replay.state() == QProcess::NotRunning; }, 60000));
        EXPECT_EQ(replay.exitCode(), status);
        EXPECT_EQ(replay.readAllStandardError().toStdString(),
                  message.empty() ? "" : "ternwick-replay: --aprs-is " + target + ": " + message);
        if (status != 0) continue;
        ASSERT_TRUE(WaitFor([&] { return server.ClientGone(); }));
        const std::string stats = replay.readAllStandardOutput().toStdString();
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
    QProcess replay;
    replay.start(TERNWICK_BIN_DIR "/ternwick-replay", {"--aprs-is", QString::fromStdString(server.Target()), "--aprs-call",
                                                       "N0CALL-10", "--aprs-passcode", "12345", "--at", "5:14:07:00", "-"});
    QFile demo(TERNWICK_BIN_DIR "/demo.log");
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    // A chunk at a time, so the replay is still running when the server drops it.
    auto feed = [&] {
        replay.write(demo.read(4000));
        return !demo.atEnd();
    };
    ASSERT_TRUE(WaitFor([&] { return feed() && server.lines.size() > 3; }));
    server.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return feed() && server.logins == 2 && server.lines.back()[0] != 'u'; }, 60000));
    while (feed()) {
    }
    replay.closeWriteChannel();
    ASSERT_TRUE(WaitFor([&] { return replay.state() == QProcess::NotRunning; }, 60000));
    // Reports made while the link was down are lost, and the run says so.
    EXPECT_EQ(replay.exitCode(), 2);
    EXPECT_NE(replay.readAllStandardError().toStdString().find("reports could not be sent"), std::string::npos);
    EXPECT_EQ(server.lines.back().substr(0, 25), "N0CALL-10>APZ001,TCPIP*:;");
}
