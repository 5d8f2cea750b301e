// The rate rules by a fake clock: the ceiling, fair turns, and twice the interval for the hardly moved.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "aprs/aprs_pacing.h"

using namespace ternwick;

namespace {

struct Send {
    double at;
    uint32_t key;
};

// Whoever may go at `now`, sent at once, as the session does.
std::optional<uint32_t> Go(AprsPacer& p, double now) {
    const std::optional<uint32_t> key = p.Choose(now);
    if (key) p.Sent(*key, now);
    return key;
}

// Aircraft 1..n plot every 1 to 4 s (fixed pseudo-random order), 0.1 NM further north each time, for
// `seconds`; the free slots are handed out after every plot, as the session does. Returns what went out.
std::vector<Send> Simulate(int n, const AprsRate& rate, double seconds) {
    AprsPacer p;
    p.SetRate(rate);
    std::vector<Send> sent;
    std::map<uint32_t, double> next, lat;
    uint32_t seed = 12345;
    auto random = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % 4 + 1;
    };
    for (uint32_t k = 1; k <= static_cast<uint32_t>(n); ++k) next[k] = random() * 0.25;
    for (double t = 0; t < seconds; t += 0.25) {
        for (auto& [k, at] : next) {
            if (at > t) continue;
            lat[k] += 0.1 / 60.0;
            p.Want(k, {lat[k], 10.0, 30000, 90.0}, t);
            while (auto key = Go(p, t)) sent.push_back({t, *key});
            at = t + random();
        }
    }
    return sent;
}

}  // namespace

TEST(AprsPacing, CeilingHoldsInEveryMinuteAndEveryAircraftGetsItsTurn) {
    // Aircraft, rate, and the longest time between two reports of one aircraft.
    const std::tuple<int, AprsRate, double> cases[] = {
        {50, {0, 6}, 50 * 60.0 / 6 + 5},   // the slots go round: each about every 8 minutes
        {10, {0, 5}, 10 * 60.0 / 5 + 5},
        {30, {0, 7}, 30 * 60.0 / 7 + 10},  // 8 s apart, and the minute's limit still binds
        {120, {30, 20}, 120 * 60.0 / 20 + 5},
        {3, {30, 10}, 30 + 5},             // few aircraft: only their own interval holds them
        {1, {0, 1}, 60 + 5},
    };
    for (const auto& [aircraft, rate, longest_gap] : cases) {
        SCOPED_TRACE(aircraft);
        const double hours = 2 * 3600;
        const std::vector<Send> sent = Simulate(aircraft, rate, hours);
        const size_t ceiling = static_cast<size_t>(rate.max_per_minute);
        // No 60 seconds ever hold more than the ceiling, from the first second on.
        for (size_t i = 0; i + ceiling < sent.size(); ++i)
            ASSERT_GE(sent[i + ceiling].at - sent[i].at, 60.0) << "report " << i;
        std::map<uint32_t, double> last;
        double longest = 0;
        for (const Send& s : sent) {
            longest = std::max(longest, s.at - (last.count(s.key) ? last[s.key] : 0.0));
            last[s.key] = s.at;
        }
        EXPECT_EQ(last.size(), static_cast<size_t>(aircraft));
        for (const auto& [k, at] : last) longest = std::max(longest, hours - at);
        EXPECT_LE(longest, longest_gap);
        // The channel is used: as many reports as the ceiling allows (or the intervals ask).
        const double expected = std::min(rate.max_per_minute * hours / 60,
                                         rate.interval_seconds ? aircraft * hours / rate.interval_seconds : 1e9);
        EXPECT_GE(static_cast<double>(sent.size()), 0.9 * expected);
    }
}

TEST(AprsPacing, OldestLastReportGoesFirstSpreadOverTheMinuteAndWithdrawalsTakeSlots) {
    AprsPacer p;
    p.SetRate({0, 2});  // one slot every 30 s at most
    const AprsFix f{10, 20, 1000, 45};
    p.Want(7, f, 0);
    p.Want(3, f, 0);
    p.Want(5, f, 1);
    // Never reported, then the longest waiting, then the lower key.
    ASSERT_EQ(Go(p, 1), 3u);
    EXPECT_FALSE(p.Choose(30.5));
    ASSERT_EQ(Go(p, 31), 7u);
    EXPECT_FALSE(p.Choose(60.9));  // two in the minute since 1
    p.Want(3, f, 40);
    p.Want(7, f, 40);
    ASSERT_EQ(Go(p, 61), 5u);  // never reported goes before 3 and 7
    ASSERT_EQ(Go(p, 91), 3u);  // reported at 1, before 7 at 31
    EXPECT_EQ(p.Waiting(), 1u);

    // Withdrawals take slots; a raised ceiling lets the waiting go at once, a lowered one counts the last minute.
    AprsPacer q;
    q.SetRate({0, 2});
    q.TakeSlot(0);  // a withdrawal went out
    q.Want(1, f, 1);
    EXPECT_EQ(q.Choose(1), std::nullopt);
    EXPECT_EQ(q.Choose(29), std::nullopt);
    ASSERT_EQ(Go(q, 30), 1u);
    q.Want(2, f, 31);
    EXPECT_EQ(q.Choose(31), std::nullopt);  // two in the last minute
    q.SetRate({0, 60});
    ASSERT_EQ(Go(q, 31), 2u);
    q.SetRate({0, 3});
    q.Want(3, f, 40);
    EXPECT_EQ(q.Choose(40), std::nullopt);
    EXPECT_EQ(q.Choose(59), std::nullopt);
    EXPECT_EQ(q.Choose(60), 3u);
}

TEST(AprsPacing, HardlyMovedWaitsTwiceItsInterval) {
    const AprsFix at_report{50.0, 8.0, 10000, 355.0};
    const double nm = 1.0 / 60.0;  // a minute of latitude
    const std::tuple<const char*, AprsFix, bool> cases[] = {
        {"still", at_report, false},
        {"0.4 NM", {50.0 + 0.4 * nm, 8.0, 10000, 355.0}, false}, {"0.6 NM", {50.0 + 0.6 * nm, 8.0, 10000, 355.0}, true},
        {"turned 9 degrees", {50.0, 8.0, 10000, 346.0}, false}, {"turned 11 degrees", {50.0, 8.0, 10000, 344.0}, true},
        {"turned 9 degrees across north", {50.0, 8.0, 10000, 4.0}, false},
        {"climbed 400 ft", {50.0, 8.0, 10400, 355.0}, false}, {"descended 600 ft", {50.0, 8.0, 9400, 355.0}, true},
        {"track lost", {50.0, 8.0, 10000, -1.0}, true},
    };
    for (const auto& [what, fix, moved] : cases) {
        SCOPED_TRACE(what);
        AprsPacer p;
        p.SetRate({60, 0});
        p.Want(1, at_report, 0);
        ASSERT_EQ(Go(p, 0), 1u);
        p.Want(1, fix, 30);
        EXPECT_FALSE(p.Choose(59.5));  // "Min. s" holds either way
        EXPECT_EQ(p.Choose(60).has_value(), moved);
        EXPECT_EQ(p.HeldBack(90).Total(), 1u);
        EXPECT_EQ(p.HeldBack(90).unmoved, moved ? 0u : 1u);
        ASSERT_EQ(p.Choose(120), 1u);
    }
}

TEST(AprsPacing, PositionsReplacedWhileWaitingCountByTheRuleThatHeldThem) {
    AprsPacer p;
    p.SetRate({30, 1});
    const AprsFix a{10, 20, 1000, 45}, b{11, 20, 1000, 45};  // b: 60 NM on
    p.Want(1, a, 0);
    ASSERT_EQ(Go(p, 0), 1u);
    p.Want(1, b, 10);  // within 30 s
    p.Want(1, b, 20);  // replaces it: held by the interval
    p.Want(2, a, 20);  // the one slot of the minute is taken
    p.Want(2, a, 25);  // replaces it: held by the ceiling
    EXPECT_EQ(p.HeldBack(25).interval, 2u);  // the waiting position of 1 still counts
    EXPECT_EQ(p.HeldBack(25).ceiling, 2u);
    p.Forget(2, 26);  // left while waiting
    EXPECT_EQ(p.HeldBack(26).ceiling, 2u);
    EXPECT_EQ(p.HeldBack(60).Total(), 4u);
    ASSERT_EQ(Go(p, 60), 1u);
    EXPECT_EQ(p.HeldBack(60).Total(), 3u);
    EXPECT_EQ(p.Waiting(), 0u);

    // Replaced as its interval ends: the interval held it, not "moved"; a second later the doubled interval does.
    AprsPacer q;
    q.SetRate({60, 0});
    q.Want(1, a, 0);
    ASSERT_EQ(Go(q, 0), 1u);
    q.Want(1, a, 30);
    q.Want(1, a, 60);
    EXPECT_EQ(q.HeldBack(60).interval, 2u);  // the waiting one too, at that second
    EXPECT_EQ(q.HeldBack(60).unmoved, 0u);
    q.Want(1, a, 61);
    EXPECT_EQ(q.HeldBack(61).interval, 1u);
    EXPECT_EQ(q.HeldBack(61).unmoved, 2u);
}
