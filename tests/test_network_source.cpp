// The network source against a local receiver: targets and retry delays, AVR from a receiver that
// restarts, a silent link. (Beast over TCP, failed connections: the command's and window's tests.)
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

// A source reading from a local receiver, and what the test sees of it: its states and messages.
struct Linked {
    FakeReceiver rx;
    Decoding d;
    NetworkSource source{d.pump};
    std::vector<std::pair<NetworkSource::State, int>> states;
    std::vector<QString> errors;
    std::vector<bool> receiving;
    Linked() {
        QObject::connect(&source, &NetworkSource::stateChanged,
                         [this](NetworkSource::State st, int retry) { states.emplace_back(st, retry); });
        QObject::connect(&source, &NetworkSource::errorOccurred, [this](const QString& m) { errors.push_back(m); });
        QObject::connect(&source, &NetworkSource::receivingChanged, [this](bool on) { receiving.push_back(on); });
    }
    bool Start() { QString error; return source.Start(QString::fromStdString(rx.Target()), error); }
    bool Saw(const std::string& error) const {
        return std::find(errors.begin(), errors.end(), QString::fromStdString(rx.Target() + error)) != errors.end();
    }
};

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
        EXPECT_EQ(std::tuple(error.toStdString(), hp ? hp->host.toStdString() : "", hp ? hp->port : 0),
                  std::tuple(message, host, port)) << text;
    }

    RetryBackoff b(1000, 30000);
    std::vector<int> delays;
    for (int i = 0; i < 7; ++i) delays.push_back(b.Next());
    EXPECT_EQ(delays, (std::vector<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000}));
    b.Reset();
    EXPECT_EQ(b.Next(), 1000);
}

TEST(NetworkSource, AvrFromAReceiverThatRestarts) {
    Linked l;
    l.source.SetRetryDelays(100, 400);
    ASSERT_TRUE(l.Start());
    ASSERT_TRUE(WaitFor([&] { return l.source.state() == NetworkSource::State::Connected && l.rx.Connections() == 1; }));

    // Record forms (the framing test has them all), noise, and a record cut across two reads.
    l.rx.Send("*8D4CA2B120513531CB38206CB0D3;\r\n:5d4ca2b1c1a2b3;\nnoise\n<0123456789abFF8D48");
    ASSERT_TRUE(WaitFor([&] { return l.d.evaluated.size() == 2; }));
    l.rx.Send("5020994409940838175B284F;\n");
    ASSERT_TRUE(WaitFor([&] { return l.d.evaluated.size() == 3; }));
    EXPECT_EQ(l.source.CurrentFormat(), InputFormat::Avr);

    // The receiver goes away in the middle of a record and comes back on the same port.
    l.rx.Send("*8D40621D58C386");
    l.rx.CloseClient();
    l.rx.StopListening();
    ASSERT_TRUE(WaitFor([&] { return l.Saw(": connection refused"); }));
    ASSERT_TRUE(l.rx.Listen(l.rx.Port()));
    ASSERT_TRUE(WaitFor([&] { return l.source.state() == NetworkSource::State::Connected && l.rx.Connections() == 2; }));
    l.rx.Send("*8D40621D58C386435CC412692AD6;\n*0000;\n");
    ASSERT_TRUE(WaitFor([&] { return l.d.evaluated.size() == 4; }));

    EXPECT_EQ(l.d.evaluated, (Strings{"8D4CA2B120513531CB38206CB0D3", "5D4CA2B1C1A2B3",
                                      "8D485020994409940838175B284F", "8D40621D58C386435CC412692AD6"}));
    EXPECT_TRUE(l.Saw(": the receiver closed the connection"));
    const NetworkCounters c = l.source.counters();  // avr.bad: the record the restart cut
    EXPECT_EQ(std::tie(c.connects, c.drops, c.avr.bad), std::tuple(2u, 1u, 1u));
    // The state went round: connecting, connected, retrying (refused meanwhile), connected.
    EXPECT_EQ(l.states.front(), std::make_pair(NetworkSource::State::Connecting, 0));
    EXPECT_EQ(l.states.back(), std::make_pair(NetworkSource::State::Connected, 0));
    EXPECT_NE(std::find(l.states.begin(), l.states.end(), std::make_pair(NetworkSource::State::Retrying, 1)),
              l.states.end());
    l.source.Stop();
    EXPECT_EQ(l.source.state(), NetworkSource::State::Stopped);
}

TEST(NetworkSource, EveryByteRestartsTheSilenceTimerASilentLinkIsDroppedAndDataRestartsTheRetryDelays) {
    Linked l;
    l.source.SetSilenceTimeout(600);
    l.source.SetRetryDelays(1000, 4000);
    // Nobody listens at first: refused, retried after 1 s, by then listening.
    l.rx.StopListening();
    ASSERT_TRUE(l.Start());
    ASSERT_TRUE(WaitFor([&] { return l.source.state() == NetworkSource::State::Retrying; }));
    ASSERT_TRUE(l.rx.Listen(l.rx.Port()));
    ASSERT_TRUE(WaitFor([&] { return l.rx.Connections() == 1; }));
    // A keep-alive every 50 ms for 1.5 s: the link is never taken for silent.
    for (int i = 0; i < 30; ++i) {
        l.rx.Send("*0000;\n");
        QTest::qWait(50);
    }
    EXPECT_EQ(std::tuple(l.source.counters().drops, l.source.counters().avr.keepalive), std::tuple(0u, 30u));
    // Then nothing: dropped; the link delivered, so the next wait is 1 s again, not 2.
    ASSERT_TRUE(WaitFor([&] { return l.source.counters().drops == 1; }));
    EXPECT_TRUE(l.Saw(": no data for 0.6 s; connection dropped"));
    EXPECT_EQ(l.receiving, (std::vector<bool>{true, false}));
    std::vector<int> waits;
    for (const auto& [state, seconds] : l.states)
        if (state == NetworkSource::State::Retrying) waits.push_back(seconds);
    EXPECT_EQ(waits, (std::vector<int>{1, 1}));
    l.source.Stop();
}

TEST(NetworkSource, AnAttemptNobodyAnswersTimesOut) {
    // A host that swallows the connection request: the socket stays "connecting" for good.
    struct Unanswered : QTcpSocket {
        void connectToHost(const QString&, quint16, OpenMode, NetworkLayerProtocol) override {
            setSocketState(ConnectingState);
        }
    };
    Linked l;
    int attempts = 0;
    l.source.SetSocketFactory([&attempts] { ++attempts; return new Unanswered; });
    l.source.SetSilenceTimeout(300);
    l.source.SetRetryDelays(10000, 10000);
    QString error;
    ASSERT_TRUE(l.source.Start("192.0.2.7:30005", error));
    EXPECT_EQ(l.source.state(), NetworkSource::State::Connecting);
    ASSERT_TRUE(WaitFor([&] { return !l.errors.empty(); }));
    EXPECT_EQ(l.errors, (std::vector<QString>{"192.0.2.7:30005: no answer within 0.3 s"}));
    EXPECT_EQ(l.source.state(), NetworkSource::State::Retrying);
    EXPECT_EQ(std::tuple(l.source.RetrySeconds(), attempts), std::tuple(10, 1));
    // Never connected, so nothing was lost.
    EXPECT_EQ(std::tuple(l.source.counters().connects, l.source.counters().drops), std::tuple(0u, 0u));
    l.source.Stop();
}
