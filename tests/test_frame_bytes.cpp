// Message bytes and parity, and the character rules that cut recorded text and the
// receiver's stream into messages.
#include <gtest/gtest.h>

#include "decode/byte_pump.h"
#include "decode/frame_bytes.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

TEST(FrameBytes, Crc24KnownAnswers) {
    const auto msg = cv_BytesFromHex("8D4CA2B120513531CB38206CB0D3");
    EXPECT_EQ(CRC24_Bytes(msg), 0);
    EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex("8D4CA2B120513531CB38206CB0D0")), 0xFFE812);
    EXPECT_EQ(CRC24_Bytes(std::vector<uint8_t>(msg.begin(), msg.begin() + 11)), 0x6CB0D3);
    EXPECT_EQ(CRC24_Bytes(std::vector<uint8_t>{0x61, 0x62, 0x63}), 0x612DE3);
    EXPECT_EQ(CRC24_Bytes(std::vector<uint8_t>{0x01}), 0xFFF409);
    // Widely published frames from real aircraft check out.
    for (const char* frame : {"8D40621D58C382D690C8AC2863A7", "8D40621D58C386435CC412692AD6", "8D485020994409940838175B284F"})
        EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex(frame)), 0) << frame;
}

TEST(BytePump, RecordedTextRules) {
    auto collect = [](const std::string& text) {
        Decoding d;
        d.pump.FeedRecorded(text);
        return d.evaluated;
    };
    using V = std::vector<std::string>;
    const std::string m28 = "8D4CA2B120513531CB38206CB0D3", m14 = AllCall(0x4CA2B1);
    // Start markers, line ends and digits between records.
    EXPECT_EQ(collect("*" + m28 + ";\r\n!" + m14 + ";12:00:01\r\n*" + m14 + ";"), (V{m28, m14, m14}));
    // No start markers: works while every record is valid...
    EXPECT_EQ(collect(m14 + ";" + m28 + ";"), (V{m14, m28}));
    // ...one 27-digit record spoils the following ones up to the next start marker.
    EXPECT_EQ(collect(m28.substr(1) + ";" + m14 + ";" + m28 + ";*" + m14 + ";"), V{m14});
    // Lower-case letters are skipped, so the length test fails.
    EXPECT_TRUE(collect("*8d4ca2b120513531cb38206cb0d3;").empty());
    // 29 digits never shrink back to 28 however long the garbage runs.
    EXPECT_TRUE(collect("*" + m28 + "0" + std::string(1000, 'A') + ";").empty());
}

// The receiver's rules in reads split anywhere (the window's receiver test plays the rest
// through a pseudo-terminal), and a replay after reception.
TEST(BytePump, ReceiverRulesAndTheSharedSquitter) {
    const std::string m28 = "8D4CA2B120513531CB38206CB0D3", m14 = AllCall(0x4CA2B1);
    Decoding d;
    d.pump.StartReception();
    // A repeated ";" evaluates the same digits again; digits after a ";" without a start
    // marker are appended (42 digits, nothing evaluated).
    for (const std::string& read : {"*" + m28.substr(0, 5), m28.substr(5) + ";", ";" + m14, ";*" + m14 + ";"})
        d.pump.FeedReceiver(read);
    EXPECT_EQ(d.evaluated, (std::vector<std::string>{m28, m28, m14}));

    // A replay started after reception continues from the Squitter the receiver left:
    // only a record with a start marker is evaluated.
    Decoding r;
    r.pump.FeedReceiver("*" + m28 + ";");
    EXPECT_EQ(r.pump.PendingDigits(), m28);
    r.pump.FeedRecorded(m14 + ";*" + m14 + ";");
    EXPECT_EQ(r.pump.evaluated(), 2u);
    EXPECT_EQ(r.t.Squitter, m14);
}
