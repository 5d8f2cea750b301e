// Recordings with time: the 12 MHz counter turned into seconds (wrapping, going back a
// little, restarting), every stamped form read with its time, and the session's clock,
// list ages and expiry following the recording's time rather than the wall's.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "beast_frames.h"
#include "io/recorded_input.h"
#include "io/recording_time.h"
#include "session/session.h"
#include "test_support.h"

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

// A started headless session by a fixed clock, day 7 10:00:00 (second 0 of the hour).
struct Replaying {
    Session s;
    RecordedInput input{s.pump(), InputFormat::Auto, &s.clock()};
    std::vector<double> times;  // the time every message was evaluated with, from the start

    Replaying() {
        SessionConfig config;
        config.folder = TERNWICK_BIN_DIR;
        config.catalogue_required = false;
        config.draw = false;
        StartupProblems problems;
        EXPECT_TRUE(s.Start(config, problems)) << problems.fatal;
        EXPECT_TRUE(s.clock().SetFixed("7:10:00:00"));
        s.SetMessageObserver([this] { times.push_back(s.tracker().Now() - s.clock().BaseTime()); });
    }
    void Feed(const std::string& bytes) {
        input.Feed({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    }
    int16_t Heard(const char* icao) {
        const int16_t i = s.Db().IcaoDbPointer(icao);
        return i < 0 ? -1 : s.Db()(i).LastHeard;
    }
};

}  // namespace

TEST(RecordingTime, CounterStepsWrapsGoesBackAndRestarts) {
    struct Case {
        const char* what;
        std::vector<uint64_t> counters;
        std::vector<double> seconds;
        uint64_t restarts;
    } cases[] = {
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
    for (const Case& c : cases) {
        RecordingTime t;
        std::vector<double> got;
        for (uint64_t counter : c.counters) got.push_back(t.Seconds(counter));
        EXPECT_EQ(got, c.seconds) << c.what;
        EXPECT_EQ(t.restarts(), c.restarts) << c.what;
    }
}

TEST(RecordedInput, EveryStampedFormGivesEachMessageItsTime) {
    const std::string a = AllCall(0x4CA1F3), b = AllCall(0x3C6DD2), pos = AirbornePos(0x4CA1F3, 10.3, 123.9, 0);
    const uint64_t s0 = kWrap - 2 * kSecond;  // the counter wraps within these recordings
    struct Case {
        const char* what;
        std::string file;
        std::vector<double> times;
        bool timed;
    } cases[] = {
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
    for (const Case& c : cases) {
        Replaying r;
        // Cut into small reads, as the replay's slices cut a file.
        for (size_t i = 0; i < c.file.size(); i += 7) r.Feed(c.file.substr(i, 7));
        r.input.EndFile();
        EXPECT_EQ(r.times, c.times) << c.what;
        EXPECT_EQ(r.input.timed(), c.timed) << c.what;
        EXPECT_EQ(r.s.clock().recording(), c.timed) << c.what;
    }
}

TEST(RecordedInput, AgesExpiryAndReportTimesFollowTheRecording) {
    Replaying r;
    r.s.SetListSettings({120.0, false});
    r.s.SetListPerMessage(true);
    const uint64_t s0 = 77 * kSecond;
    // A heard at 0 s, B at 100 s and 130 s of the recording; the recording starts at the
    // clock's 10:00:00 and the list's expiry pass runs before every message.
    r.Feed("@" + Stamp(s0) + AllCall(0x4CA1F3) + ";\n@" + Stamp(s0 + 100 * kSecond) + AllCall(0x3C6DD2) + ";\n");
    EXPECT_EQ(r.Heard("4CA1F3"), 0);
    EXPECT_EQ(r.Heard("3C6DD2"), 100);
    r.s.ShowTextTable();
    EXPECT_NE(r.s.ListText().find("4CA1F3"), std::string::npos) << "100 s old: still listed";
    r.Feed("@" + Stamp(s0 + 130 * kSecond) + AllCall(0x3C6DD2) + ";\n");
    EXPECT_EQ(r.Heard("4CA1F3"), -1) << "130 s old at the recording's 130th second: expired";
    EXPECT_EQ(r.Heard("3C6DD2"), 130);
    // Reports carry the recording's time: the clock's start plus 2 min 10 s.
    const AprsTime t = r.s.ReportTime();
    EXPECT_EQ(std::vector<int>({t.day, t.hour, t.minute}), std::vector<int>({7, 10, 2}));
    // The old form afterwards runs by the fixed clock again.
    r.input.EndFile();
    r.Feed("*" + AllCall(0x4CA1F3) + ";\n");
    EXPECT_FALSE(r.s.clock().recording());
    EXPECT_EQ(r.Heard("4CA1F3"), 0);
}
