// The window's replay modes and its log: "Read Timer" by a clock the test moves (speed
// changes and pause take effect at once), "Read Manual" one message per "Go", and a
// recording made from the serial receiver and a network source that replays to the same
// flight table.
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <fstream>
#include <regex>
#include <sstream>

#include "app/replay_core.h"
#include "fake_receiver.h"
#include "io/file_replay.h"
#include "io/network_source.h"
#include "pseudo_terminal.h"
#include "temp_path.h"
#include "test_support.h"
#include "window_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

constexpr uint64_t kSecond = 12'000'000;

std::string Stamped(uint64_t ticks, const std::string& digits) {
    char s[16];
    std::snprintf(s, sizeof s, "%012llX", static_cast<unsigned long long>(ticks));
    return "@" + std::string(s) + digits + ";\n";
}

struct ReplayWindow : WindowFixture {
    QAbstractButton* File(const char* name) { return Button(Group(w.get(), "File Data Source:"), name); }
    QString Shown(const char* name) {
        w->repaint();  // the screen-rate refresh, now
        QTest::qWait(150);
        return Named<QLabel>(w.get(), name)->text();
    }
    uint64_t Evaluated() { return session.pump().evaluated(); }
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
    // {wall seconds, messages evaluated by then}: at 10x the second is due at 1 s.
    const std::pair<double, uint64_t> steps[] = {{0.5, 1}, {0.99, 1}, {1.0, 2}, {1.5, 2}};
    for (auto [t, n] : steps) {
        wall = t;
        w->replay().RunDue();
        EXPECT_EQ(Evaluated(), n) << "at " << t;
    }
    EXPECT_EQ(w->replay().ReplaySeconds(), 15.0);
    // 2x from here (15 s of the recording): the third, at 20 s, is due 2.5 s later.
    Labelled<QComboBox>(w.get(), "Replay speed")->setCurrentText("2x");
    wall = 3.9;
    w->replay().RunDue();
    EXPECT_EQ(Evaluated(), 2u);
    wall = 4.0;
    w->replay().RunDue();
    EXPECT_EQ(Evaluated(), 3u);
    // Paused, the clock stands still however long the wall runs.
    File("||")->click();
    wall = 400;
    w->replay().RunDue();
    EXPECT_EQ(Evaluated(), 3u);
    EXPECT_EQ(w->replay().ReplaySeconds(), 20.0);
    EXPECT_EQ(Shown("Replay time"), "00:00:20");
    EXPECT_EQ(Named<QLabel>(w.get(), "Replay time")->accessibleDescription(), "00:00:20");
    File(">")->click();
    wall = 409.9;
    w->replay().RunDue();
    EXPECT_EQ(Evaluated(), 3u);
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

TEST_F(ReplayWindow, ManualEvaluatesOneMessagePerGo) {
    const std::string m[3] = {AllCall(0x4CA1F3), AllCall(0x3C6DD2), "8D4CA2B120513531CB38206CB0D3"};
    const std::string path = WriteTemp("manual.log", "*" + m[0] + ";\r\n*" + m[1] + ";\r\n*" + m[2] + ";\r\n");
    File("Read Manual")->click();
    w->ReplayFile(QString::fromStdString(path));  // "Go" once: the first message
    for (uint64_t n = 1; n <= 3; ++n) {
        QTest::qWait(50);  // the event loop runs: nothing more is read by itself
        EXPECT_EQ(Evaluated(), n);
        EXPECT_TRUE(Named<QPlainTextEdit>(w.get(), "Last message")->toPlainText().startsWith(QString::fromStdString(m[n - 1])))
            << n;
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

TEST_F(ReplayWindow, TheReplayTimeShowsHoursMinutesAndSeconds) {
    // Three messages, the last 1 h 2 min 5 s into the recording, read by hand.
    const std::string path =
        WriteTemp("long.log", Stamped(500, AllCall(0x4CA1F3)) + Stamped(500 + 3000 * kSecond, AllCall(0x3C6DD2)) +
                                  Stamped(500 + 3725 * kSecond, AllCall(0x4CA1F3)));
    File("Read Manual")->click();
    w->ReplayFile(QString::fromStdString(path));
    EXPECT_EQ(Shown("Replay time"), "00:00:00");
    File("Go")->click();
    EXPECT_EQ(Shown("Replay time"), "00:50:00");
    File("Go")->click();
    EXPECT_EQ(Shown("Replay time"), "01:02:05");
}

TEST_F(ReplayWindow, ALogFileThatCannotBeOpenedUnticksLogData) {
    QGroupBox* log_group = Group(w.get(), "Log Data to File:");
    QAbstractButton* log_data = Button(log_group, "Log Data");
    Button(log_group, "Open Log File")->click();
    auto* dialog = w->findChild<QFileDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile("/nonexistent/dir/recorded.log");
    QMetaObject::invokeMethod(dialog, "accept");
    ASSERT_TRUE(log_data->isEnabled());
    log_data->click();
    EXPECT_TRUE(TakeMessage(w.get()).contains("/nonexistent/dir/recorded.log"));
    EXPECT_FALSE(log_data->isChecked());
}

TEST_F(ReplayWindow, RecordingFromReceiverAndNetworkReplaysToTheSameTable) {
    QGroupBox* log_group = Group(w.get(), "Log Data to File:");
    QAbstractButton* log_data = Button(log_group, "Log Data");
    EXPECT_FALSE(log_data->isEnabled());
    const std::string path = TempPath("recorded.log");
    std::remove(path.c_str());
    Button(log_group, "Open Log File")->click();
    auto* dialog = w->findChild<QFileDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString(path));
    QMetaObject::invokeMethod(dialog, "accept");
    ASSERT_TRUE(log_data->isEnabled());
    log_data->click();
    ASSERT_TRUE(log_data->isChecked());

    // Aircraft 4CA2B1 identified over the serial receiver, 40621D's position over the network.
    Pty receiver;
    Named<QLineEdit>(w.get(), "Receiver port")->setText(receiver.name);
    QAbstractButton* com = Button(Group(w.get(), "Serial Data Source:"), "Start COM:");
    com->click();
    receiver.Write("*8D4CA2B120513531CB38206CB0D3;\r\n*" + AllCall(0x4CA2B1) + ";\r\n");
    ASSERT_TRUE(Until([&] { return Evaluated() == 2; }));
    com->click();
    FakeReceiver net;
    Named<QLineEdit>(w.get(), "Network source")->setText(QString::fromStdString(net.Target()));
    QAbstractButton* connect = Button(w.get(), "Connect");
    connect->click();
    ASSERT_TRUE(Until([&] { return net.Connections() == 1; }));
    net.Send("*8D40621D58C382D690C8AC2863A7;\n*8D40621D58C386435CC412692AD6;\n");
    ASSERT_TRUE(Until([&] { return Evaluated() == 4; }));
    connect->click();
    log_data->click();  // the rest goes out as the log closes

    std::stringstream kept;
    kept << std::ifstream(path, std::ios::binary).rdbuf();
    const std::string text = kept.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_TRUE(std::regex_match(text, std::regex("(@[0-9A-F]{12}([0-9A-F]{14}|[0-9A-F]{28});\n){4}"))) << text;

    // Replayed in a fresh session, the recording gives the table the reception gave.
    Session again;
    SessionConfig config;
    config.folder = TERNWICK_BIN_DIR;
    StartupProblems problems;
    ASSERT_TRUE(again.Start(config, problems));
    RecordedInput input(again.pump(), InputFormat::Auto, &again.clock());
    input.Feed({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    EXPECT_TRUE(input.timed());
    EXPECT_EQ(FlightTableCsv(again.Db()), FlightTableCsv(session.Db()));
    EXPECT_NE(FlightTableCsv(session.Db()).find("40621D,        ,,,A,38000,0,52.2657"), std::string::npos)
        << FlightTableCsv(session.Db());
}
