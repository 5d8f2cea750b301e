// A started headless session (no map picture, no catalogue needed) by a clock the test sets,
// keeping the report lines it prints, and the messages the session tests feed it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "session/session.h"
#include "test_support.h"

namespace ternwick::test {

struct HeadlessSession {
    Session s;
    std::vector<std::string> lines;  // the report lines, in order

    // `when`: "DAY:HH:MM:SS" to fix the clock at once (none: the test sets it).
    explicit HeadlessSession(const char* when = nullptr) {
        SessionConfig config;
        config.folder = TERNWICK_BIN_DIR;
        config.catalogue_required = false;
        config.draw = false;
        StartupProblems problems;
        EXPECT_TRUE(s.Start(config, problems)) << problems.fatal;
        s.SetReportPrinter([this](const std::string& line) { lines.push_back(line); });
        if (when) At(when);
    }
    void At(const std::string& when) { EXPECT_TRUE(s.clock().SetFixed(when)) << when; }
    // `second` seconds after 14:07:00 on the 5th.
    void At(int second) {
        char when[32];
        std::snprintf(when, sizeof when, "5:14:%02d:%02d", 7 + second / 60, second % 60);
        At(when);
    }
    void Feed(const std::string& hex) { s.pump().FeedRecorded("*" + hex + ";"); }
    // At `second`, one airborne position message (the second half of a pair, and every later
    // one, plots) or both halves of a pair; at 10.31 N 123.91 E unless told.
    void Position(int second, uint32_t icao, int odd, double lat = 10.31) {
        At(second);
        Feed(AirbornePos(icao, lat, 123.91, odd));
    }
    void Pair(int second, uint32_t icao = 0xABC001, double lat = 10.31) {
        Position(second, icao, 0, lat);
        Feed(AirbornePos(icao, lat, 123.91, 1));
    }
    // The object names reported, "_" after a withdrawal.
    std::string Names() const {
        std::string names;
        for (const std::string& l : lines) names += l.substr(22, 6) + (l[31] == '_' ? "_ " : " ");
        return names;
    }
};

}  // namespace ternwick::test
