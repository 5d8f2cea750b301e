// The log of a reception: its line form, and a disk that fills up or a file that cannot be
// written: told with the file's name, and only whole lines left in it.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include "io/message_log.h"
#include "temp_path.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

const char kLong[] = "8D4CA2B120513531CB38206CB0D3";

// A log and what it told.
struct Logging {
    MessageLog log;
    QString told, error;
    Logging() { QObject::connect(&log, &MessageLog::failed, [this](const QString& m) { told = m; }); }
};

}  // namespace

TEST(MessageLog, LineFormCounterAndWritesThatFail) {
    // "@", the low 48 bits of the counter in 12 upper-case hex digits, the message, ";".
    EXPECT_EQ(MessageLog::Line(kLong, 0x1234'5678'9ABCull).toStdString(), "@123456789ABC8D4CA2B120513531CB38206CB0D3;\n");
    EXPECT_EQ(MessageLog::Line("5D4CA2B1C1A2B3", (uint64_t{1} << 48) + 10).toStdString(), "@00000000000A5D4CA2B1C1A2B3;\n");
    // The system clock as 12 MHz ticks: a day is 12e6 * 86400 ticks on from a day before.
    EXPECT_GT(MessageLog::CounterNow(), 12'000'000ull * 1'700'000'000ull);

    // A full disk and a file size limit: told, and only whole lines kept.
    {
        Logging l;
        ASSERT_TRUE(l.log.Open("/dev/full", l.error)) << l.error.toStdString();
        l.log.Write(kLong);
        EXPECT_FALSE(l.log.Flush());
        EXPECT_FALSE(l.log.IsOpen());
        EXPECT_TRUE(l.told.contains("\"/dev/full\"")) << l.told.toStdString();
        l.log.Write(kLong);  // logging has stopped: nothing more is tried
        EXPECT_TRUE(l.told.contains("logging stopped"));
    }
    // A file that may not grow past 100 bytes: the first line (43 bytes) is out, the next
    // two only fit in part, and the part is taken back.
    const std::string path = TempPath("limited.log");
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{100, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Logging l;
    ASSERT_TRUE(l.log.Open(QString::fromStdString(path), l.error)) << l.error.toStdString();
    l.log.Write(kLong);
    EXPECT_TRUE(l.log.Flush());
    l.log.Write(kLong);
    l.log.Write("5D4CA2B1C1A2B3");
    EXPECT_FALSE(l.log.Flush());
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(l.told.contains(QString::fromStdString(path))) << l.told.toStdString();
    EXPECT_EQ(ReadWholeFile(path).substr(13), std::string(kLong) + ";\n");
}
