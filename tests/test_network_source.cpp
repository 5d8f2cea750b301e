// The network source against a local receiver: targets and retry delays, AVR from a
// receiver that restarts, a silent link. (Beast traffic over TCP giving the table of a file
// replay, and connections that cannot be made, are the command's and the window's tests;
// every split of a Beast stream the framing test's.)
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <QTcpSocket>

#include "fake_receiver.h"
#include "io/network_source.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

using Strings = std::vector<std::string>;

// What the tests watch of a source: its states and its messages.
struct Watch {
    std::vector<std::pair<NetworkSource::State, int>> states;
    std::vector<QString> errors;
    std::vector<bool> receiving;
    explicit Watch(NetworkSource& s) {
        QObject::connect(&s, &NetworkSource::stateChanged,
                         [this](NetworkSource::State st, int retry) { states.emplace_back(st, retry); });
        QObject::connect(&s, &NetworkSource::errorOccurred, [this](const QString& m) { errors.push_back(m); });
        QObject::connect(&s, &NetworkSource::receivingChanged, [this](bool on) { receiving.push_back(on); });
    }
    bool Saw(const QString& error) const { return std::find(errors.begin(), errors.end(), error) != errors.end(); }
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TEST(NetworkSource, TargetsAndRetryDelays) {
    const std::tuple<const char*, const char*, int, const char*> cases[] = {  // text, host, port, error
        {"localhost:30005", "localhost", 30005, ""},
        {" piaware:30002 ", "piaware", 30002, ""},
        {"[::1]:30005", "::1", 30005, ""},
        {"localhost", "", 0, "Network source \"localhost\": no port; write host:port (30002 AVR text, 30005 Beast binary)"},
        {":30005", "", 0, "Network source \":30005\": no host name"},
        {"host:3000x", "", 0, "Network source host:3000x: port \"3000x\" is not a number"},
        {"host:0", "", 0, "Network source host:0: port 0 is out of range (1 to 65535)"},
        {"host:65536", "", 0, "Network source host:65536: port 65536 is out of range (1 to 65535)"},
        // A sign or a blank after the colon is a slip, not port 80.
        {"host:+80", "", 0, "Network source host:+80: port \"+80\" is not a number"},
        {"host: 80", "", 0, "Network source host: 80: port \" 80\" is not a number"},
    };
    for (auto [text, host, port, message] : cases) {
        QString error;
        const auto hp = ParseHostPort(text, error);
        EXPECT_EQ(error.toStdString(), message) << text;
        EXPECT_EQ(hp ? hp->host.toStdString() : "", host) << text;
        EXPECT_EQ(hp ? hp->port : 0, port) << text;
    }

    RetryBackoff b(1000, 30000);
    std::vector<int> delays;
    for (int i = 0; i < 7; ++i) delays.push_back(b.Next());
    EXPECT_EQ(delays, (std::vector<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000}));
    b.Reset();
    EXPECT_EQ(b.Next(), 1000);
}

TEST(NetworkSource, AvrFromAReceiverThatRestarts) {
    FakeReceiver rx;
    Decoding d;
    NetworkSource source(d.pump);
    source.SetRetryDelays(100, 400);
    Watch w(source);
    QString error;
    ASSERT_TRUE(source.Start(Q(rx.Target()), error));
    ASSERT_TRUE(WaitFor([&] { return source.state() == NetworkSource::State::Connected && rx.Connections() == 1; }));

    // Record forms (the framing test has them all), noise, and a record cut across two reads.
    rx.Send("*8D4CA2B120513531CB38206CB0D3;\r\n:5d4ca2b1c1a2b3;\nnoise\n<0123456789abFF8D48");
    ASSERT_TRUE(WaitFor([&] { return d.evaluated.size() == 2; }));
    rx.Send("5020994409940838175B284F;\n");
    ASSERT_TRUE(WaitFor([&] { return d.evaluated.size() == 3; }));
    EXPECT_EQ(source.CurrentFormat(), InputFormat::Avr);

    // The receiver goes away in the middle of a record and comes back on the same port.
    rx.Send("*8D40621D58C386");
    rx.CloseClient();
    rx.StopListening();
    ASSERT_TRUE(WaitFor([&] { return w.Saw(Q(rx.Target() + ": connection refused")); }));
    ASSERT_TRUE(rx.Listen(rx.Port()));
    ASSERT_TRUE(WaitFor([&] { return source.state() == NetworkSource::State::Connected && rx.Connections() == 2; }));
    rx.Send("*8D40621D58C386435CC412692AD6;\n*0000;\n");
    ASSERT_TRUE(WaitFor([&] { return d.evaluated.size() == 4; }));

    EXPECT_EQ(d.evaluated, (Strings{"8D4CA2B120513531CB38206CB0D3", "5D4CA2B1C1A2B3", "8D485020994409940838175B284F",
                                    "8D40621D58C386435CC412692AD6"}));
    EXPECT_TRUE(w.Saw(Q(rx.Target() + ": the receiver closed the connection")));
    const NetworkCounters c = source.counters();
    EXPECT_EQ(c.connects, 2u);
    EXPECT_EQ(c.drops, 1u);
    EXPECT_EQ(c.avr.bad, 1u);  // the record the restart cut
    // The state went round: connecting, connected, retrying (refused meanwhile), connected.
    EXPECT_EQ(w.states.front(), std::make_pair(NetworkSource::State::Connecting, 0));
    EXPECT_EQ(w.states.back(), std::make_pair(NetworkSource::State::Connected, 0));
    EXPECT_NE(std::find(w.states.begin(), w.states.end(), std::make_pair(NetworkSource::State::Retrying, 1)),
              w.states.end());
    source.Stop();
    EXPECT_EQ(source.state(), NetworkSource::State::Stopped);
}

TEST(NetworkSource, SilentLinkIsDroppedAndTriedAgain) {
    FakeReceiver rx;
    Decoding d;
    NetworkSource source(d.pump);
    source.SetSilenceTimeout(300);
    source.SetRetryDelays(50, 50);
    Watch w(source);
    QString error;
    ASSERT_TRUE(source.Start(Q(rx.Target()), error));
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 1; }));
    rx.Send("*0000;\n");  // one keep-alive, then nothing
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 2; }));
    EXPECT_TRUE(w.Saw(Q(rx.Target() + ": no data for 0.3 s; connection dropped")));
    EXPECT_EQ(source.counters().drops, 1u);
    EXPECT_EQ(source.counters().avr.keepalive, 1u);
    EXPECT_EQ(w.receiving, (std::vector<bool>{true, false}));
    source.Stop();
}

TEST(NetworkSource, EveryByteRestartsTheSilenceTimerAndDataRestartsTheRetryDelays) {
    FakeReceiver rx;
    Decoding d;
    NetworkSource source(d.pump);
    source.SetSilenceTimeout(600);
    source.SetRetryDelays(1000, 4000);
    Watch w(source);
    QString error;
    // Nobody listens at first: refused, retried after 1 s, by then listening.
    rx.StopListening();
    ASSERT_TRUE(source.Start(Q(rx.Target()), error));
    ASSERT_TRUE(WaitFor([&] { return source.state() == NetworkSource::State::Retrying; }));
    ASSERT_TRUE(rx.Listen(rx.Port()));
    ASSERT_TRUE(WaitFor([&] { return rx.Connections() == 1; }));
    // A keep-alive every 50 ms for 1.5 s: the link is never taken for silent.
    for (int i = 0; i < 30; ++i) {
        rx.Send("*0000;\n");
        QTest::qWait(50);
    }
    EXPECT_EQ(source.counters().drops, 0u);
    EXPECT_EQ(rx.Connections(), 1);
    // A link that delivered: the next wait is 1 s again, not 2.
    rx.CloseClient();
    ASSERT_TRUE(WaitFor([&] { return w.states.back().first == NetworkSource::State::Retrying; }));
    EXPECT_EQ(w.states.back().second, 1);
    std::vector<int> waits;
    for (const auto& [state, seconds] : w.states)
        if (state == NetworkSource::State::Retrying) waits.push_back(seconds);
    EXPECT_EQ(waits, (std::vector<int>{1, 1}));
    source.Stop();
}

TEST(NetworkSource, AnAttemptNobodyAnswersTimesOut) {
    // A host that swallows the connection request: the socket stays "connecting" for good.
    struct Unanswered : QTcpSocket {
        void connectToHost(const QString&, quint16, OpenMode, NetworkLayerProtocol) override {
            setSocketState(ConnectingState);
        }
    };
    EnsureApp();
    Decoding d;
    NetworkSource source(d.pump);
    int attempts = 0;
    source.SetSocketFactory([&attempts] {
        ++attempts;
        return new Unanswered;
    });
    source.SetSilenceTimeout(300);
    source.SetRetryDelays(10000, 10000);
    Watch w(source);
    QString error;
    ASSERT_TRUE(source.Start("192.0.2.7:30005", error));
    EXPECT_EQ(source.state(), NetworkSource::State::Connecting);
    ASSERT_TRUE(WaitFor([&] { return !w.errors.empty(); }));
    EXPECT_EQ(w.errors, (std::vector<QString>{"192.0.2.7:30005: no answer within 0.3 s"}));
    EXPECT_EQ(source.state(), NetworkSource::State::Retrying);
    EXPECT_EQ(source.RetrySeconds(), 10);
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(source.counters().connects, 0u);
    EXPECT_EQ(source.counters().drops, 0u);  // never connected, so nothing was lost
    source.Stop();
}
