// The window driven as a person or a screen reader drives it: replays, serial and network sources, APRS output.
#include <QComboBox>
#include <QDateTime>
#include <QSpinBox>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "beast_frames.h"
#include "fake_receiver.h"
#include "gui/run_window.h"
#include "io/network_source.h"
#include "io/serial_receiver.h"
#include "temp_path.h"
#include "window_support.h"

using namespace ternwick;
using namespace ternwick::test;
using namespace std::string_literals;

namespace {

const std::string kIdent = "8D4CA2B120513531CB38206CB0D3";  // 4CA2B1 identifies as TST123

using WindowTest = WindowFixture;

TEST_F(WindowTest, StartUpState) {
    // {group, button, enabled, checked}: nothing to go on with or pause, no log file chosen.
    const std::tuple<const char*, const char*, bool, bool> buttons[] = {
        {"File Data Source:", "Go", false, false}, {"File Data Source:", "||", false, false},
        {"File Data Source:", "Read All", true, true}, {"Log Data to File:", "Log Data", false, false}};
    for (auto [group, name, enabled, checked] : buttons)
        EXPECT_EQ(std::pair(InGroup(group, name)->isEnabled(), InGroup(group, name)->isChecked()), std::pair(enabled, checked)) << name;
    for (const char* on : {"Plot Air", "Plot Surface", "Live List"}) EXPECT_TRUE(Button(w.get(), on)->isChecked()) << on;
    EXPECT_EQ(Text("Flight counts"), "Flights in range: 0\nFlights with pos: 0\n");
    auto* maps = w->findChildren<QComboBox*>().back();
    ASSERT_EQ(maps->count(), 5);
    EXPECT_EQ(maps->itemText(0), "Cebu / Visayas");
    QWidget* map = Named(w.get(), "Map");
    EXPECT_GE(map->width(), 800);
    EXPECT_GE(map->height(), 400);
    // The home mark is on the picture (red at Mactan) until "Clr Map".
    const QImage before = map->grab().toImage();
    Button(w.get(), "Clr Map")->click();
    QTest::qWait(150);
    EXPECT_NE(map->grab().toImage(), before);
}

TEST_F(WindowTest, ReplayPausedAndResumedEqualsTheHeadlessReplay) {
    w->replay().SetSliceMilliseconds(0);  // one chunk per slice: many chances to pause
    w->ReplayFile(QString::fromStdString(kDemo));
    QAbstractButton *pause = File("||"), *go = File("Go");
    ASSERT_TRUE(pause->isEnabled());
    EXPECT_FALSE(go->isEnabled());
    ASSERT_TRUE(Until([&] { return w->replay().Position() > 0; }));
    pause->click();
    EXPECT_EQ(pause->text(), ">");
    const qint64 held_at = w->replay().Position();
    const uint64_t evaluated = Evaluated();
    QTest::qWait(300);
    EXPECT_EQ(w->replay().Position(), held_at);
    EXPECT_EQ(Evaluated(), evaluated);
    Button(w.get(), ">")->click();
    ASSERT_TRUE(Until([&] { return !w->replay().IsActive(); }));
    EXPECT_TRUE(go->isEnabled());
    EXPECT_FALSE(pause->isEnabled());
    // The same bytes through a headless session give the same table.
    EXPECT_EQ(FlightTableCsv(session.Db()), TableOf(ReadWholeFile(kDemo)));

    // What a person sees: the counts, the list with airline names, marks on the map.
    ASSERT_TRUE(Until([&] { return Text("Live flight list").contains("Cebu Pacific"); }));
    EXPECT_TRUE(Text("Flight counts").startsWith("Flights in range: 36\n"));
    EXPECT_TRUE(Text("Last message").contains("DF"));
    EXPECT_GT(session.view().Surface().Revision(), 1000u);
}

TEST_F(WindowTest, ReceiverOnAPseudoTerminal) {
    Pty receiver;
    QAbstractButton* start = InGroup("Serial Data Source:", "Start COM:");
    StartCom(receiver.name);
    ASSERT_EQ(start->text(), "Stop COM:") << TakeMessage(w.get()).toStdString();
    EXPECT_FALSE(File("Open File")->isEnabled());
    EXPECT_FALSE(File("Go")->isEnabled());
    auto expect = [&](uint64_t n) { EXPECT_TRUE(Until([&] { return Evaluated() >= n; })) << n; };

    // (The byte pump's tests hold the receiver's other rules.)
    receiver.Write("*" + kIdent + ";\r\n");
    expect(1);
    // Lower-case digits are skipped (too few digits); then two messages in one read.
    receiver.Write("*8d4ca2b120513531cb38206cb0d3;\r\n*" + kIdent + ";*" + kIdent + ";\r\n");
    expect(3);
    QTest::qWait(100);
    EXPECT_EQ(Evaluated(), 3u);
    ASSERT_TRUE(Until([&] { return Text("Last message").startsWith(QString::fromStdString(kIdent)); }));
    EXPECT_EQ(session.Db()(0).Flight, "TST123  ");

    start->click();
    EXPECT_EQ(start->text(), "Start COM:");
    EXPECT_FALSE(w->receiver().IsRunning());
    EXPECT_TRUE(File("Open File")->isEnabled());
    EXPECT_FALSE(File("Go")->isEnabled());  // no replay started yet

    // A port that cannot be opened: a message naming it, back to "Start COM:".
    StartCom("/dev/ternwick-no-such-port");
    EXPECT_EQ(start->text(), "Start COM:");
    EXPECT_TRUE(TakeMessage(w.get()).contains("/dev/ternwick-no-such-port"));

    // The device goes away while receiving: told, stopped, what came before kept.
    Pty pulled;
    StartCom(pulled.name);
    ASSERT_EQ(start->text(), "Stop COM:");
    pulled.Write("*" + kIdent + ";");
    expect(4);
    close(pulled.master);
    pulled.master = -1;
    ASSERT_TRUE(Until([&] { return start->text() == "Start COM:"; }));
    const QString told = TakeMessage(w.get());
    EXPECT_TRUE(told.contains(QString::fromUtf8(pulled.name).section('/', -1) + ": the device went away"))
        << told.toStdString();
    EXPECT_EQ(Evaluated(), 4u);
}

TEST_F(WindowTest, ReceptionHoldsGoAndAReplayAndClosingEndsBoth) {
    Pty receiver;
    QAbstractButton *com = InGroup("Serial Data Source:", "Start COM:"), *go = File("Go");
    Button(w.get(), "Live List")->click();  // off: the list box is left alone
    ASSERT_TRUE(ReplayToEnd(WriteTemp("window_go.log", kPairLog)));
    session.ShowTextTable();
    QTest::qWait(300);  // several screen-rate refreshes
    EXPECT_EQ(Text("Live flight list"), "");
    Button(w.get(), "Live List")->click();  // on: the list is shown again
    EXPECT_TRUE(Until([&] { return Text("Live flight list").contains("40621D"); }));
    // A finished replay may be started again, but not while the receiver runs.
    ASSERT_TRUE(go->isEnabled());
    StartCom(receiver.name);
    EXPECT_FALSE(go->isEnabled());
    com->click();
    EXPECT_TRUE(go->isEnabled());

    // Reception holds a running replay.
    w->replay().SetSliceMilliseconds(0);
    w->ReplayFile(QString::fromStdString(kDemo));
    ASSERT_TRUE(Until([&] { return w->replay().Position() > 0; }));
    StartCom(receiver.name);
    const qint64 held_at = w->replay().Position();
    QTest::qWait(200);
    EXPECT_EQ(w->replay().Position(), held_at);
    EXPECT_TRUE(w->replay().IsActive());
    // Reception stops: the replay goes on, and "Go" stays off while it does.
    com->click();
    ASSERT_TRUE(Until([&] { return w->replay().Position() > held_at; }));
    EXPECT_FALSE(go->isEnabled());
    com->click();
    w->close();  // during reception and a held replay
    EXPECT_FALSE(w->replay().IsActive());
    EXPECT_FALSE(w->receiver().IsRunning());
}

TEST_F(WindowTest, AprsPortSendsOneUtcReportPerPlottedPosition) {
    Pty aprs;
    SetText("APRS port", aprs.name);
    QAbstractButton* start = InGroup("APRS Output:", "Start COM:");
    start->click();
    ASSERT_EQ(start->text(), "Stop COM:") << TakeMessage(w.get()).toStdString();
    EXPECT_EQ(aprs.Read(15), "APRS Port Open\r");

    auto stamp = [] { return QDateTime::currentDateTimeUtc().toString("ddHHmm").toStdString(); };
    const std::string before = stamp();
    w->ReplayFile(QString::fromStdString(WriteTemp("window_aprs.log", kPairLog)));
    const std::string got = aprs.Read(67);
    const std::string head = "QZ7TRK>APZ001,TCPIP*:;40621D   *", tail = "z5215.  N/00356.00E^        \r";
    EXPECT_TRUE(got == head + before + tail || got == head + stamp() + tail) << got;
}

TEST_F(WindowTest, AprsToAKissServerWithTheStationAndRateSettings) {
    FakeReceiver kiss;
    QAbstractButton* start = InGroup("APRS Output:", "Start COM:");
    auto* call = Named<QLineEdit>(w.get(), "APRS callsign");
    call->setText("N0CALLXX");
    start->click();
    EXPECT_EQ(start->text(), "Start COM:");
    EXPECT_EQ(TakeMessage(w.get()), "APRS callsign \"N0CALLXX\": a callsign has at most 6 letters and digits");

    call->setText("n0call-7");
    InGroup("APRS Output:", "KISS")->click();
    EXPECT_EQ(Text("APRS path"), "WIDE1-1");  // the path for the air goes with KISS
    InGroup("APRS Output:", "Course/alt")->click();
    Named<QSpinBox>(w.get(), "Min. s")->setValue(3600);
    SetText("APRS port", kiss.Target());
    start->click();
    ASSERT_EQ(start->text(), "Stop COM:") << TakeMessage(w.get()).toStdString();
    EXPECT_FALSE(call->isEnabled());  // what is sent is what the boxes show
    ASSERT_TRUE(Until([&] { return Label("APRS link") == "connected"; }));

    // The first replay plots once and that position goes out; the second plots twice (the
    // pair is complete), both within the minimum interval: held back.
    const std::string log = WriteTemp("window_kiss.log", kPairLog);
    for (int run = 0; run < 2; ++run) ASSERT_TRUE(ReplayToEnd(log));
    const QByteArray& got = kiss.received;
    ASSERT_TRUE(Until([&] { return got.endsWith('\xC0') && got.size() > 2; }));
    const QByteArray head = QByteArray::fromStdString(
        "\xC0\x00\x82\xA0\xB4\x60\x60\x62\xE0\x9C\x60\x86\x82\x98\x98\x6E\xAE\x92\x88\x8A\x62\x40\x63\x03\xF0"
        ";40621D   *"s);
    EXPECT_TRUE(got.startsWith(head)) << got.toHex(' ').toStdString();
    EXPECT_TRUE(got.endsWith("z5215.94N/00356.33E^/A=038000\xC0")) << got.toStdString();
    EXPECT_EQ(got.count('\xC0'), 2);
    ASSERT_TRUE(Until([&] { return Text("Flight counts").endsWith(
            "APRS sent: 1, held back: 2\n  interval 2, unmoved 0, ceiling 0; on the air: 1\n"); }))
        << Text("Flight counts").toStdString();

    start->click();
    EXPECT_EQ(start->text(), "Start COM:");
    EXPECT_TRUE(call->isEnabled());
    EXPECT_EQ(Label("APRS link"), "");
}

TEST_F(WindowTest, NetworkConnectReceiveRetryAndDisconnect) {
    auto indicator = [&] { return Named<QLabel>(w.get(), "Network indicator")->accessibleDescription(); };
    auto state = [&] { return Label("Network state"); };
    QGroupBox* group = Group(w.get(), "Network Data Source:");
    auto* source = Named<QLineEdit>(group, "Network source");
    EXPECT_EQ(source->text(), "localhost:30005");
    EXPECT_EQ(indicator(), "stopped");
    FakeReceiver receiver;
    w->network().SetRetryDelays(200, 400);
    source->setText(QString::fromStdString(receiver.Target()));
    QAbstractButton* connect = Button(group, "Connect");
    connect->click();
    EXPECT_EQ(connect->text(), "Disconnect");
    // A live source locks the file buttons, as the serial receiver does.
    EXPECT_FALSE(Button(w.get(), "Open File")->isEnabled());
    ASSERT_TRUE(Until([&] { return receiver.Connections() == 1; }));
    receiver.Send(BeastFrame(kIdent) + BeastFrame(kIdent));
    ASSERT_TRUE(Until([&] { return Evaluated() == 2; }));
    EXPECT_TRUE(Until([&] { return indicator() == "receiving"; }));
    EXPECT_EQ(session.Db()(0).Flight, "TST123  ");
    EXPECT_FALSE(source->isEnabled());  // what it is connected to
    // Nothing more arrives: "connected, silent", and the square turns red.
    EXPECT_TRUE(Until([&] { return state() == "connected, silent"; })) << state().toStdString();
    EXPECT_EQ(indicator(), "connected, silent");
    EXPECT_EQ(Named<QLabel>(w.get(), "Network indicator")->palette().color(QPalette::Window), QColor(255, 0, 0));

    // The receiver restarts: the window says it is retrying, and takes up the traffic again.
    receiver.CloseClient();
    EXPECT_TRUE(Until([&] { return state().startsWith("retrying in "); })) << state().toStdString();
    EXPECT_TRUE(Until([&] { return receiver.Connections() == 2; }));
    receiver.Send("*" + kIdent + ";\r\n");  // AVR text this time: told by the first byte
    EXPECT_TRUE(Until([&] { return Evaluated() == 3; }));
    // No serial receiver and no replay: the once-a-second list pass still runs, and expires.
    SetText("DB. Exp.:", "1");
    EXPECT_TRUE(Until([&] { return Text("Live flight list").contains("4CA2B1"); })) << Text("Live flight list").toStdString();
    EXPECT_TRUE(Until([&] { return !Text("Live flight list").contains("4CA2B1"); }));  // expired after 1 s
    EXPECT_TRUE(session.Db()(0).Icao.empty());

    connect->click();
    EXPECT_EQ(connect->text(), "Connect");
    EXPECT_EQ(indicator(), "stopped");
    EXPECT_TRUE(source->isEnabled());
    EXPECT_TRUE(Button(w.get(), "Open File")->isEnabled());

    // A text that is no host:port is refused with a message naming it.
    source->setText("receiver:99999");
    connect->click();
    EXPECT_EQ(connect->text(), "Connect");
    EXPECT_TRUE(TakeMessage(w.get()).contains("receiver:99999"));
}

TEST_F(WindowTest, AFifoIsReplayedWithoutFreezingTheWindow) {
    // Opening a FIFO waits for a writer, and each read for bytes: the window once froze.
    const std::string fifo = TempPath("window_replay.fifo");
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Should the replay wait for a writer after all, one comes after 5 s and goes at once:
    // the replay then ends, and the test fails instead of hanging.
    std::promise<void> opened;
    std::thread rescue([&fifo, done = opened.get_future()] {
        if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    });
    w->ReplayFile(QString::fromStdString(fifo));
    opened.set_value();
    rescue.join();
    ASSERT_TRUE(w->replay().IsActive());
    QTest::qWait(200);  // no writer yet: the window goes on
    // A step by hand finds nothing yet, which is no end: a FIFO without a writer reads as
    // ended, so it is asked first whether it has anything.
    w->replay().SetMode(ReplayMode::Manual);
    EXPECT_FALSE(w->replay().Step());
    EXPECT_TRUE(w->replay().IsActive());
    w->replay().SetMode(ReplayMode::All);
    // A writer comes; its messages are evaluated as they arrive, and its going ends the replay.
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const std::string first = "*" + kIdent + ";\r\n";
    ASSERT_EQ(write(writer, first.data(), first.size()), ssize_t(first.size()));
    EXPECT_TRUE(Until([&] { return Evaluated() == 1; }));
    EXPECT_TRUE(w->replay().IsActive());
    ASSERT_EQ(write(writer, kPairLog.data(), kPairLog.size()), ssize_t(kPairLog.size()));
    close(writer);
    EXPECT_TRUE(Until([&] { return !w->replay().IsActive(); }));
    EXPECT_EQ(Evaluated(), 3u);
    EXPECT_TRUE(File("Go")->isEnabled());
    std::filesystem::remove(fifo);
}

TEST_F(WindowTest, BeastRecordingThroughOpenFileThenVanished) {
    const std::string path = WriteTemp("window_recording.beast", BeastFrame(kIdent, 0x1A1A) + BeastFrame("7700") +
                                                                     BeastFrame("8D40621D58C382D690C8AC2863A7") +
                                                                     BeastFrame("8D40621D58C386435CC412692AD6"));
    ASSERT_TRUE(ReplayToEnd(path));
    EXPECT_EQ(Evaluated(), 3u);  // the Mode A/C frame is no Mode S message
    EXPECT_NEAR(session.Db()(1).Lat, 52.2658, 1e-4);
    // The file goes away before "Go": a message names it, and the buttons stay as they were.
    std::filesystem::remove(path);
    QAbstractButton* go = File("Go");
    ASSERT_TRUE(go->isEnabled());
    go->click();
    EXPECT_TRUE(TakeMessage(w.get()).contains(QString::fromStdString(path)));
    EXPECT_TRUE(go->isEnabled());
    EXPECT_FALSE(File("||")->isEnabled());
}

TEST_F(WindowTest, ReceiverPositionMovesTheHomeMarkAndIsRefusedOutOfRange) {
    auto* position = Named<QLineEdit>(Group(w.get(), "Receiver:"), "Receiver position");
    auto* range = Named<QLineEdit>(Group(w.get(), "Receiver:"), "Max. range");
    EXPECT_EQ(position->text(), "");
    EXPECT_EQ(range->text(), "300");
    // Cebu / Visayas: 120..128 E, 8.5..12.5 N, 100 pixels a degree.
    Enter(position, "10.5, 122");
    ASSERT_TRUE(session.receiver().has_value());
    EXPECT_DOUBLE_EQ(session.receiver()->lon, 122.0);
    QTest::qWait(150);
    const QImage shown = Named(w.get(), "Map")->grab().toImage();
    EXPECT_EQ(shown.pixel(200, 200), qRgb(255, 0, 0));  // the mark at the receiver
    EXPECT_NE(shown.pixel(398, 219), qRgb(255, 0, 0));  // none at Mactan any more
    // Refused values are told by the box's name, and the setting stays (the parser's other
    // refusals are the command line's tests).
    Enter(position, "95,0");
    EXPECT_EQ(TakeMessage(w.get()), "Receiver position: latitude must be a number from -90 to 90");
    EXPECT_DOUBLE_EQ(session.receiver()->lat, 10.5);
    Enter(range, "0");
    EXPECT_EQ(TakeMessage(w.get()), "Max. range: must be a number from 1 to 1000");
    EXPECT_DOUBLE_EQ(session.maxRangeNm(), 300.0);
    range->setText("150");
    Enter(position, "");
    EXPECT_FALSE(session.receiver().has_value());
    EXPECT_DOUBLE_EQ(session.maxRangeNm(), 150.0);
}

TEST(WindowStartUp, PaceFromOneToAThousandTimes) {
    // {arguments after the program name, pace, error}
    const std::tuple<QStringList, double, const char*> cases[] = {
        {{"a.log", "--pace", "1"}, 1.0, ""},
        {{"a.log", "--pace", "1000"}, 1000.0, ""},
        {{"a.log", "--pace", "0.9"}, 0.0, "--pace needs a speed from 1 to 1000"},
        {{"--pace", "1000.5"}, 0.0, "--pace needs a speed from 1 to 1000"},
        {{"a.log", "--pace"}, 0.0, "--pace needs a speed from 1 to 1000"},
    };
    for (const auto& [args, pace, error] : cases) {
        const WindowArgs w = ParseWindowArgs(QStringList{"ternwick"} + args);
        EXPECT_EQ(w.pace, pace) << args.join(' ').toStdString();
        EXPECT_EQ(w.error.toStdString(), error) << args.join(' ').toStdString();
    }
}

TEST(WindowStartUp, BrokenCatalogueIsToldAndEndsTheProgram) {
    App();
    const std::filesystem::path dir = TempPath("window_broken");
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "setup.txt") << "1\nCebu,cebu.png,west,1,2,3,4,5,6\n";
    SessionConfig config;
    config.folder = dir.string();
    QString told;
    QTimer::singleShot(100, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            told = box->text();
            box->accept();
        }
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunTernwick(config, {}), 1);
    // Also where a terminal or a script sees it, not only in the box.
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(TextHolds(err, "ternwick: Map catalogue \"" + (dir / "setup.txt").string()));
    EXPECT_TRUE(told.contains(QString::fromStdString((dir / "setup.txt").string()))) << told.toStdString();
    EXPECT_TRUE(told.contains("MapLonWest")) << told.toStdString();
}

}  // namespace
