// Arbitrary bytes through the character rules and the evaluation: no crash, bounded
// state, and the replay goes on to evaluate a good message that follows.
#include <gtest/gtest.h>

#include <random>

#include "decode/frame_assembler.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

TEST(ReplayFuzz, RandomBytesNeverStopTheReplay) {
    FakeHost host;
    AirlineDirectory airlines;
    Tracker t(host, airlines);
    FrameAssembler fa;
    std::mt19937 rng(11);
    // Bytes drawn mostly from the meaningful alphabet so that many messages complete.
    const std::string alphabet = "*!;0123456789ABCDEF0123456789ABCDEF\r\n";
    uint64_t completed = 0;
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 5000; ++i) {
            const unsigned char c = (rng() % 4 == 0) ? uint8_t(rng()) : alphabet[rng() % alphabet.size()];
            if (fa.Feed(c)) {
                t.Squitter.assign(fa.Digits());
                t.EvalSquitter();
                fa.Clear();
                ++completed;
            }
            ASSERT_LE(fa.Length(), FrameAssembler::kMaxDigits + 1);
        }
        // A well-formed record after the noise is still evaluated.
        for (char c : std::string("*8D4CA2B120513531CB38206CB0D3;")) {
            if (fa.Feed(static_cast<unsigned char>(c))) {
                t.Squitter.assign(fa.Digits());
                t.EvalSquitter();
                fa.Clear();
            }
        }
        ASSERT_EQ(t.RxText().substr(0, 28), "8D4CA2B120513531CB38206CB0D3");
    }
    EXPECT_GT(completed, 500u);
    EXPECT_LE(t.Db.InUse(), 501);
}

TEST(ReplayFuzz, RandomValidFramesKeepTableConsistent) {
    // Random 28-digit frames with valid parity exercise every type code path.
    FakeHost host;
    AirlineDirectory airlines;
    Tracker t(host, airlines);
    std::mt19937 rng(5);
    for (int i = 0; i < 200000; ++i) {
        uint8_t me[7];
        for (auto& b : me) b = uint8_t(rng());
        Feed(t, MakeEs(0x400000 + rng() % 800, me));
    }
    EXPECT_EQ(t.Db.InUse(), 501);
    for (int i = 0; i <= 500; ++i) {
        const DbRecord& e = t.Db(i);
        ASSERT_EQ(t.Db.IcaoDbPointer(e.Icao), i);
        ASSERT_TRUE(e.Lat >= -90 && e.Lat <= 90) << e.Lat;
        ASSERT_TRUE(e.Lon >= -180 && e.Lon < 360) << e.Lon;
    }
}
