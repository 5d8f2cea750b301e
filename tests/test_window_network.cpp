// The window's network source against a local receiver, and a Beast recording replayed
// with "Open File": what a person sees in the "Network Data Source:" group.
#include <QLabel>
#include <QLineEdit>

#include "beast_frames.h"
#include "fake_receiver.h"
#include "io/file_replay.h"
#include "io/network_source.h"
#include "temp_path.h"
#include "window_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

const std::string kIdent = "8D4CA2B120513531CB38206CB0D3";

struct NetworkWindow : WindowFixture {
    QString Indicator() { return Named<QLabel>(w.get(), "Network indicator")->accessibleDescription(); }
    QString StateText() { return Named<QLabel>(w.get(), "Network state")->text(); }
};

TEST_F(NetworkWindow, ConnectReceiveRetryAndDisconnect) {
    QGroupBox* group = Group(w.get(), "Network Data Source:");
    EXPECT_EQ(Named<QLineEdit>(group, "Network source")->text(), "localhost:30005");
    EXPECT_EQ(Indicator(), "stopped");
    FakeReceiver receiver;
    w->network().SetRetryDelays(200, 400);
    Named<QLineEdit>(group, "Network source")->setText(QString::fromStdString(receiver.Target()));
    QAbstractButton* connect = Button(group, "Connect");
    connect->click();
    EXPECT_EQ(connect->text(), "Disconnect");
    // A live source locks the file buttons, as the serial receiver does.
    EXPECT_FALSE(Button(w.get(), "Open File")->isEnabled());
    ASSERT_TRUE(Until([&] { return receiver.Connections() == 1; }));
    receiver.Send(BeastFrame(kIdent) + BeastFrame(kIdent));
    ASSERT_TRUE(Until([&] { return session.pump().evaluated() == 2; }));
    EXPECT_TRUE(Until([&] { return Indicator() == "receiving"; }));
    EXPECT_EQ(session.Db()(0).Flight, "TST123  ");

    // The receiver restarts: the window says it is retrying, and takes up the traffic again.
    receiver.CloseClient();
    EXPECT_TRUE(Until([&] { return StateText().startsWith("retrying in "); })) << StateText().toStdString();
    EXPECT_TRUE(Until([&] { return receiver.Connections() == 2; }));
    receiver.Send("*" + kIdent + ";\r\n");  // AVR text this time: told by the first byte
    EXPECT_TRUE(Until([&] { return session.pump().evaluated() == 3; }));

    connect->click();
    EXPECT_EQ(connect->text(), "Connect");
    EXPECT_EQ(Indicator(), "stopped");
    EXPECT_TRUE(Button(w.get(), "Open File")->isEnabled());

    // A text that is no host:port is refused with a message naming it.
    Named<QLineEdit>(group, "Network source")->setText("receiver:99999");
    connect->click();
    EXPECT_EQ(connect->text(), "Connect");
    EXPECT_TRUE(TakeMessage(w.get()).contains("receiver:99999"));
}

TEST_F(NetworkWindow, BeastRecordingReplaysThroughOpenFile) {
    const std::string path = WriteTemp("window_recording.beast", BeastFrame(kIdent, 0x1A1A) + BeastFrame("7700") +
                                                                     BeastFrame("8D40621D58C382D690C8AC2863A7") +
                                                                     BeastFrame("8D40621D58C386435CC412692AD6"));
    w->ReplayFile(QString::fromStdString(path));
    ASSERT_TRUE(Until([&] { return !w->replay().IsActive(); }));
    EXPECT_EQ(session.pump().evaluated(), 3u);  // the Mode A/C frame is no Mode S message
    EXPECT_NEAR(session.Db()(1).Lat, 52.2658, 1e-4);
}

}  // namespace
