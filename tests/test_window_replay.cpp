// The window's replay modes and its log: "Read Timer" by a clock the test moves (speed changes and pause take
// effect at once), "Read Manual" one message per "Go", and a recording of live reception replayed to the same table.
#include <QComboBox>
#include <QFileDialog>

#include <regex>

#include "fake_receiver.h"
#include "temp_path.h"
#include "test_support.h"
#include "window_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

constexpr uint64_t kSecond = 12'000'000;

std::string Stamped(uint64_t ticks, const std::string& digits) {
    return QString::asprintf("@%012llX", static_cast<unsigned long long>(ticks)).toStdString() + digits + ";\n";
}

struct ReplayWindow : WindowFixture {
    QString Shown(const char* name) {
        w->repaint();  // the screen-rate refresh, now
        QTest::qWait(150);
        return Named<QLabel>(w.get(), name)->text();
    }
    // The log file chosen with "Open Log File", and "Log Data" ticked.
    QAbstractButton* LogTo(const std::string& path) {
        QAbstractButton* log_data = InGroup("Log Data to File:", "Log Data");
        InGroup("Log Data to File:", "Open Log File")->click();
        QFileDialog* dialog = nullptr;
        for (auto* d : w->findChildren<QFileDialog*>()) dialog = d->isVisible() ? d : dialog;
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return log_data;
        dialog->selectFile(QString::fromStdString(path));
        QMetaObject::invokeMethod(dialog, "accept");
        EXPECT_TRUE(log_data->isEnabled());
        log_data->click();
        return log_data;
    }
};

}  // namespace

TEST_F(ReplayWindow, TimerPacesBySpeedAndPausesTheClock) {
    double wall = 0;
    w->replay().SetWallClock([&wall] { return wall; });
    const std::string a = AllCall(0x4CA1F3), b = AllCall(0x3C6DD2);
    const std::string path = WriteTemp("paced.log", Stamped(500, a) + Stamped(500 + 10 * kSecond, b) +
                                                        Stamped(500 + 20 * kSecond, a) + Stamped(500 + 40 * kSecond, b));
    File("Read Timer")->click();
    ASSERT_EQ(Labelled<QComboBox>(w.get(), "Replay speed")->currentText(), "10x");
    w->ReplayFile(QString::fromStdString(path));
    ASSERT_TRUE(Until([&] { return Evaluated() == 1; }));  // the first message is due at once
    // Messages evaluated by `t` seconds of the wall clock.
    auto at = [&](double t) {
        wall = t;
        w->replay().RunDue();
        return Evaluated();
    };
    // At 10x the second is due at 1 s.
    for (auto [t, n] : {std::pair{0.5, 1u}, {0.99, 1u}, {1.0, 2u}, {1.5, 2u}}) EXPECT_EQ(at(t), n) << "at " << t;
    EXPECT_EQ(w->replay().ReplaySeconds(), 15.0);
    // 2x from here (15 s of the recording): the third, at 20 s, is due 2.5 s later.
    Labelled<QComboBox>(w.get(), "Replay speed")->setCurrentText("2x");
    for (auto [t, n] : {std::pair{3.9, 2u}, {4.0, 3u}}) EXPECT_EQ(at(t), n) << "at " << t;
    // Paused, the clock stands still however long the wall runs.
    File("||")->click();
    EXPECT_EQ(at(400), 3u);
    EXPECT_EQ(w->replay().ReplaySeconds(), 20.0);
    EXPECT_EQ(Shown("Replay time"), "00:00:20");
    EXPECT_EQ(Named<QLabel>(w.get(), "Replay time")->accessibleDescription(), "00:00:20");
    File(">")->click();
    EXPECT_EQ(at(409.9), 3u);
    wall = 410;
    ASSERT_TRUE(Until([&] {
        w->replay().RunDue();
        return !w->replay().IsActive();
    }));
    EXPECT_EQ(Evaluated(), 4u);
    // The table's stamps are the recording's: 40 s after the start for the last message.
    const int start = static_cast<int>(session.clock().Seconds() - 40) % 3600;
    EXPECT_EQ(session.Db()(session.Db().IcaoDbPointer("4CA1F3")).LastHeard, (start + 20) % 3600);
    EXPECT_EQ(session.Db()(session.Db().IcaoDbPointer("3C6DD2")).LastHeard, (start + 40) % 3600);
    EXPECT_EQ(Named<QWidget>(w.get(), "Replay progress")->property("value").toInt(), 1000);
}

TEST_F(ReplayWindow, ManualEvaluatesOneMessagePerGoAndShowsHoursMinutesAndSeconds) {
    // The last message 1 h 2 min 5 s into the recording.
    const std::string m[3] = {AllCall(0x4CA1F3), AllCall(0x3C6DD2), "8D4CA2B120513531CB38206CB0D3"};
    const char* time[3] = {"00:00:00", "00:50:00", "01:02:05"};
    File("Read Manual")->click();
    w->ReplayFile(QString::fromStdString(WriteTemp(
        "manual.log", Stamped(500, m[0]) + Stamped(500 + 3000 * kSecond, m[1]) + Stamped(500 + 3725 * kSecond, m[2]))));
    for (uint64_t n = 1; n <= 3; ++n) {  // "Go" once at the start: the first message
        EXPECT_EQ(Shown("Replay time"), time[n - 1]);  // the event loop runs: nothing more is read by itself
        EXPECT_EQ(Evaluated(), n);
        EXPECT_TRUE(Text("Last message").startsWith(QString::fromStdString(m[n - 1]))) << n;
        ASSERT_TRUE(File("Go")->isEnabled());
        File("Go")->click();
    }
    // The press after the last message ends the replay.
    EXPECT_FALSE(w->replay().IsActive());
    EXPECT_EQ(Evaluated(), 3u);
    EXPECT_FALSE(File("||")->isEnabled());
    EXPECT_TRUE(File("Go")->isEnabled());
    // "Read All" goes on to the end by itself.
    File("Read All")->click();
    File("Go")->click();
    EXPECT_TRUE(Until([&] { return !w->replay().IsActive(); }));
    EXPECT_EQ(Evaluated(), 6u);
}

TEST_F(ReplayWindow, RecordingFromReceiverAndNetworkReplaysToTheSameTable) {
    // A log file that cannot be opened: told, and "Log Data" unticked.
    QAbstractButton* log_data = LogTo("/nonexistent/dir/recorded.log");
    EXPECT_TRUE(TakeMessage(w.get()).contains("/nonexistent/dir/recorded.log"));
    EXPECT_FALSE(log_data->isChecked());
    const std::string path = TempPath("recorded.log");
    std::remove(path.c_str());
    ASSERT_TRUE(LogTo(path)->isChecked());

    // Aircraft 4CA2B1 identified over the serial receiver, 40621D's position over the network.
    Pty receiver;
    StartCom(receiver.name);
    receiver.Write("*8D4CA2B120513531CB38206CB0D3;\r\n*" + AllCall(0x4CA2B1) + ";\r\n");
    ASSERT_TRUE(Until([&] { return Evaluated() == 2; }));
    InGroup("Serial Data Source:", "Stop COM:")->click();
    FakeReceiver net;
    SetText("Network source", net.Target());
    QAbstractButton* connect = Button(w.get(), "Connect");
    connect->click();
    ASSERT_TRUE(Until([&] { return net.Connections() == 1; }));
    net.Send("*8D40621D58C382D690C8AC2863A7;\n*8D40621D58C386435CC412692AD6;\n");
    ASSERT_TRUE(Until([&] { return Evaluated() == 4; }));
    connect->click();
    log_data->click();  // the rest goes out as the log closes

    const std::string text = ReadWholeFile(path);
    EXPECT_TRUE(std::regex_match(text, std::regex("(@[0-9A-F]{12}([0-9A-F]{14}|[0-9A-F]{28});\n){4}"))) << text;
    // Replayed in a fresh session, the recording gives the table the reception gave.
    EXPECT_EQ(TableOf(text), FlightTableCsv(session.Db()));
    EXPECT_TRUE(TextHolds(FlightTableCsv(session.Db()), "40621D,        ,,,A,38000,0,52.2657"));
}
