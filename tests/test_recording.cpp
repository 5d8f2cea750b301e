// Recordings with time: the 12 MHz counter in seconds, every stamped form, the clock, list ages, expiry
// and speed check following the recording's time, and a stream that fails while stepped by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "beast_frames.h"
#include "io/file_replay.h"
#include "io/recorded_input.h"
#include "io/recording_time.h"
#include "session_support.h"
#include "temp_path.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

constexpr uint64_t kSecond = 12'000'000;  // ticks of the 12 MHz counter
constexpr uint64_t kWrap = uint64_t{1} << 48;

std::string Stamp(uint64_t ticks) {
    char s[16];
    std::snprintf(s, sizeof s, "%012llX", static_cast<unsigned long long>(ticks % kWrap));
    return s;
}

// A started headless session by a fixed clock, day 7 10:00:00 (second 0 of the hour), and
// the recorded-file reader that feeds it.
struct Replaying : HeadlessSession {
    RecordedInput input{s.pump(), InputFormat::Auto, &s.clock()};
    std::vector<double> times;  // the time every message was evaluated with, from the start

    Replaying() : HeadlessSession("7:10:00:00") {
        s.SetMessageObserver([this] { times.push_back(s.tracker().Now() - s.clock().BaseTime()); });
    }
    void Records(const std::string& b) { input.Feed({reinterpret_cast<const uint8_t*>(b.data()), b.size()}); }
    int16_t Heard(const char* icao) {
        const int16_t i = s.Db().IcaoDbPointer(icao);
        return i < 0 ? -1 : s.Db()(i).LastHeard;
    }
};

}  // namespace

TEST(RecordingTime, CounterStepsWrapsGoesBackAndRestarts) {
    const struct { const char* what; std::vector<uint64_t> counters; std::vector<double> seconds; uint64_t restarts; }
        cases[] = {
        {"steps", {5000, 5000 + kSecond, 5000 + 3 * kSecond / 2}, {0, 1, 1.5}, 0},
        {"wraps at 2^48", {kWrap - kSecond, 0, kSecond}, {0, 1, 2}, 0},
        {"wraps mid-step", {kWrap - kSecond / 2, kSecond / 2}, {0, 1}, 0},
        // Received in blocks: a message stamped a little earlier keeps the time, and the
        // next counts from the latest counter.
        {"back a little", {10 * kSecond, 9 * kSecond, 11 * kSecond}, {0, 0, 1}, 0},
        {"back across the wrap", {kSecond / 2, kWrap - kSecond / 2, 2 * kSecond}, {0, 0, 1.5}, 0},
        // More than an hour either way: the time goes on from where it stood.
        {"jump forward", {0, 2 * kSecond, 2 * kSecond + 3601 * kSecond, 5 * kSecond + 3601 * kSecond}, {0, 2, 2, 5}, 1},
        {"jump back", {7200 * kSecond, 7201 * kSecond, 10 * kSecond, 12 * kSecond}, {0, 1, 1, 3}, 1},
        {"an hour is not yet a new start", {0, 3600 * kSecond}, {0, 3600}, 0},
        {"only 48 bits count", {kWrap + 5, kWrap + 5 + kSecond}, {0, 1}, 0},
    };
    for (const auto& c : cases) {
        RecordingTime t;
        std::vector<double> got;
        for (uint64_t counter : c.counters) got.push_back(t.Seconds(counter));
        EXPECT_EQ(std::tuple(got, t.restarts()), std::tuple(c.seconds, c.restarts)) << c.what;
    }
}

TEST(RecordedInput, EveryStampedFormGivesEachMessageItsTime) {
    const std::string a = AllCall(0x4CA1F3), b = AllCall(0x3C6DD2), pos = AirbornePos(0x4CA1F3, 10.3, 123.9, 0);
    const uint64_t s0 = kWrap - 2 * kSecond;  // the counter wraps within these recordings
    const struct { const char* what; std::string file; std::vector<double> times; bool timed; } cases[] = {
        {"@ with 12 MHz counter",
         "@" + Stamp(s0) + a + ";\n@" + Stamp(s0 + kSecond / 4) + pos + ";\n@" + Stamp(s0 + 3 * kSecond) + b + ";\n",
         {0, 0.25, 3}, true},
        {"< with signal level",
         "<" + Stamp(s0) + "C8" + a + ";\r\n<" + Stamp(s0 + 90 * kSecond) + "1F" + b + ";\r\n", {0, 90}, true},
        {"Beast", BeastFrame(a, s0) + BeastFrame(pos, s0 + 2 * kSecond) + BeastFrame(b, s0 + kSecond), {0, 2, 2}, true},
        // A record without a stamp inside a stamped file goes with the one before it.
        {"unstamped record among stamped", "@" + Stamp(s0) + a + ";\n*" + b + ";\n@" + Stamp(s0 + kSecond) + a + ";\n",
         {0, 0, 1}, true},
        // The old form: every message now, by the session's (fixed) clock.
        {"old form", "*" + a + ";\n*" + b + ";\n", {0, 0}, false},
        {"old form with a stamp later", "*" + a + ";\n@" + Stamp(s0 + kSecond) + b + ";\n", {0}, false},
    };
    for (const auto& c : cases) {
        Replaying r;
        // Cut into small reads, as the replay's slices cut a file.
        for (size_t i = 0; i < c.file.size(); i += 7) r.Records(c.file.substr(i, 7));
        r.input.EndFile();
        EXPECT_EQ(std::tuple(r.times, r.input.timed(), r.s.clock().recording()), std::tuple(c.times, c.timed, c.timed))
            << c.what;
    }
}

TEST(RecordedInput, AgesExpiryAndReportTimesFollowTheRecording) {
    Replaying r;
    r.s.SetListSettings({120.0, false});
    r.s.SetListPerMessage(true);
    const uint64_t s0 = 77 * kSecond;
    // A heard at 0 s, B at 100 s and 130 s of the recording; the recording starts at the
    // clock's 10:00:00 and the list's expiry pass runs before every message.
    r.Records("@" + Stamp(s0) + AllCall(0x4CA1F3) + ";\n@" + Stamp(s0 + 100 * kSecond) + AllCall(0x3C6DD2) + ";\n");
    EXPECT_EQ(std::tuple(r.Heard("4CA1F3"), r.Heard("3C6DD2")), std::tuple(0, 100));
    r.s.ShowTextTable();
    EXPECT_NE(r.s.ListText().find("4CA1F3"), std::string::npos) << "100 s old: still listed";
    r.Records("@" + Stamp(s0 + 130 * kSecond) + AllCall(0x3C6DD2) + ";\n");
    // 130 s old at the recording's 130th second: expired.
    EXPECT_EQ(std::tuple(r.Heard("4CA1F3"), r.Heard("3C6DD2")), std::tuple(-1, 130));
    // Reports carry the recording's time: the clock's start plus 2 min 10 s.
    const AprsTime t = r.s.ReportTime();
    EXPECT_EQ(std::tie(t.day, t.hour, t.minute), std::tuple(7, 10, 2));
    // The old form afterwards runs by the fixed clock again.
    r.input.EndFile();
    r.Records("*" + AllCall(0x4CA1F3) + ";\n");
    EXPECT_EQ(std::tuple(r.s.clock().recording(), r.Heard("4CA1F3")), std::tuple(false, 0));
    // A second recording goes on from the first one's last message, whatever its counter
    // says: the time never goes back.
    r.input.EndFile();
    r.times.clear();
    r.Records("@" + Stamp(5 * kSecond) + AllCall(0x3C6DD2) + ";\n@" + Stamp(9 * kSecond) + AllCall(0x3C6DD2) + ";\n");
    EXPECT_EQ(r.times, std::vector<double>({130, 134}));
}

TEST(RecordedInput, ALoneReportNextToTheReceiverIsSpeedCheckedAgainstATimedFixOnly) {
    // A fix at the receiver, then 11 minutes on (too late to decode next to that fix) a single
    // report 150 NM north, decoded next to the receiver (sure within 180 NM at that range):
    // 600 kt for 11 minutes is 110 NM. After a fix the recording timed it is too fast; after
    // one from a file without stamps nothing tells the time between, and it is believed.
    const std::string far = AirbornePos(0x4CA1F3, 54.5, 4.0, 0);
    for (const bool timed : {true, false}) {
        SCOPED_TRACE(timed ? "timed fix" : "fix without a stamp");
        Replaying r;
        r.s.SetReceiver(geo::LatLon{52.0, 4.0});
        r.s.SetMaxRangeNm(180);
        const std::string stamp = timed ? "@" + Stamp(0) : "*";
        r.Records(stamp + AirbornePos(0x4CA1F3, 52.0, 4.0, 0) + ";\n" + stamp + AirbornePos(0x4CA1F3, 52.0, 4.0, 1) +
                  ";\n");
        if (!timed) r.input.EndFile();
        r.Records("@" + Stamp(kSecond) + AllCall(0x3C6DD2) + ";\n@" + Stamp(661 * kSecond) + far + ";\n");
        EXPECT_NEAR(r.s.Db()(r.s.Db().IcaoDbPointer("4CA1F3")).Lat, timed ? 52.0 : 54.5, 1e-3);
        EXPECT_EQ(r.s.tracker().stats().too_fast, timed ? 1u : 0u);
    }
}

TEST(RecordedInput, AStreamThatFailsWhileSteppedByHandReportsTheFailure) {
    static int argc = 1;
    static char name[] = "test_recording", *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    const std::string fifo = TempPath("stepped.fifo");
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR);
    const std::string record = "*" + AllCall(0x4CA1F3) + ";\n";
    ASSERT_EQ(write(writer, record.data(), record.size()), ssize_t(record.size()));

    Replaying r;
    FileReplay replay(r.s.pump(), nullptr, &r.s.clock());
    replay.SetMode(ReplayMode::Manual);
    QString failure, error;
    QObject::connect(&replay, &FileReplay::failed, [&failure](const QString& m) { failure = m; });
    ASSERT_TRUE(replay.Start(QString::fromStdString(fifo), error)) << error.toStdString();
    EXPECT_TRUE(replay.Step());
    EXPECT_EQ(r.times.size(), 1u);
    // From now on the replay's descriptor fails every read, as a device gone wrong does.
    int fd = -1;  // the one on the FIFO that is not the test's own
    for (const auto& link : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int n = std::stoi(link.path().filename());
        if (std::error_code ec; n != writer && std::filesystem::read_symlink(link, ec) == fifo) fd = n;
    }
    ASSERT_GE(fd, 0);
    const int unreadable = open("/dev/null", O_WRONLY);
    ASSERT_EQ(dup2(unreadable, fd), fd);
    close(unreadable);
    EXPECT_FALSE(replay.Step());
    EXPECT_EQ(failure.toStdString(), "Replay file \"" + fifo + "\" could not be read to its end (Bad file descriptor)");
    EXPECT_FALSE(replay.IsActive());
    close(writer);
    std::filesystem::remove(fifo);
}
