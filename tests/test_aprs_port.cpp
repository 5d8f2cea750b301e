// The report port: button caption, port numbers, and report lines read back through a
// pseudo-terminal that QSerialPort opens by its device path.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <string>

#include "aprs/aprs_output.h"

using namespace ternwick;

namespace {

class QtCoreEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_aprs";
        static char* argv[] = {name, nullptr};
        app_ = new QCoreApplication(argc, argv);
    }
    QCoreApplication* app_ = nullptr;
};
testing::Environment* const qt_env = testing::AddGlobalTestEnvironment(new QtCoreEnvironment);

// Reads from the pty master until `count` bytes arrived or nothing more comes.
std::string ReadBytes(int fd, size_t count) {
    std::string got;
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) break;
        char buf[256];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

}  // namespace

TEST(ReportPort, CaptionAndPortNumbers) {
    ReportButton button;
    EXPECT_EQ(button.Caption(), "Start COM:");
    EXPECT_TRUE(button.Click());
    EXPECT_EQ(button.Caption(), "Stop COM:");
    EXPECT_FALSE(button.Click());
    EXPECT_EQ(button.Caption(), "Start COM:");

    const QStringList ports{"ttyS0", "ttyS1", "ttyUSB0"};
    QString error;
    EXPECT_EQ(PortNameFromText("3", ports, error), "ttyUSB0");
    EXPECT_EQ(PortNameFromText("2.5", ports, error), "ttyS1");  // halves to even: 2
    EXPECT_EQ(PortNameFromText("/dev/pts/3", ports, error), "/dev/pts/3");
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(PortNameFromText("", ports, error), "");  // port 0
    EXPECT_EQ(error, "Serial port 0: there are 3 serial ports (1 = ttyS0 ... 3 = ttyUSB0), or type a device name");
}

TEST(ReportPort, OpenReportAndCloseThroughAPseudoTerminal) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);

    AprsOutput out([] { return AprsTime{5, 14, 7}; });
    FlightTable db;
    db.SetIcao(3, "4CA1F3");
    db(3).Flight = "ABC123  ";
    db(3).Lat = 53.4213;
    db(3).Lon = 6.2701;

    EXPECT_TRUE(out.SendAprsObject(db, 3).isEmpty());  // closed: nothing sent
    EXPECT_EQ(out.StartStopAprs_Click(name), "");
    EXPECT_EQ(out.Caption(), "Stop COM:");
    ASSERT_TRUE(out.IsOpen());
    EXPECT_EQ(out.SendAprsObject(db, 3), "");
    const std::string expected = "APRS Port Open\rQZ7TRK>APZ001,TCPIP*:;4CA1F3   *051407z5325.  N/00616.00E^ABC123  \r";
    EXPECT_EQ(ReadBytes(master, expected.size()), expected);

    EXPECT_EQ(out.StartStopAprs_Click(name), "");
    EXPECT_EQ(out.Caption(), "Start COM:");
    EXPECT_FALSE(out.IsOpen());

    // A port that cannot be opened: a message naming it, and back to "Start COM:".
    const QString message = out.StartStopAprs_Click("/dev/ternwick-no-such-port");
    EXPECT_TRUE(message.startsWith("Serial port /dev/ternwick-no-such-port cannot be opened (")) << message.toStdString();
    EXPECT_EQ(out.Caption(), "Start COM:");
    EXPECT_FALSE(out.IsOpen());

    close(slave);
    close(master);
}
