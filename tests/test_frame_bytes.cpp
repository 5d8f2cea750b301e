// Message bytes and parity, and the character rules that cut recorded text and the
// receiver's stream into messages.
#include <gtest/gtest.h>

#include "decode/byte_pump.h"
#include "decode/frame_bytes.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

// Every length a reply has and beyond, against the bitwise long division of ICAO Annex 10;
// widely published frames from real aircraft check out, and the first 11 bytes give the parity.
TEST(FrameBytes, Crc24OfEveryLengthMatchesTheLongDivision) {
    for (const char* hex : {"8D4CA2B120513531CB38206CB0D3", "8D40621D58C382D690C8AC2863A7",
                            "8D40621D58C386435CC412692AD6", "8D485020994409940838175B284F"})
        EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex(hex)), 0) << hex;
    EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex("8D4CA2B120513531CB3820")), 0x6CB0D3);
    auto long_division = [](std::vector<uint8_t> bytes) {
        bytes.insert(bytes.end(), 3, 0);  // the 24 parity bits, all zero
        uint32_t r = 0;
        for (uint8_t b : bytes)
            for (int bit = 7; bit >= 0; --bit) {
                r = (r << 1) | ((b >> bit) & 1);
                if (r & 0x1000000) r ^= 0x1FFF409;
            }
        return static_cast<int32_t>(r & 0xFFFFFF);
    };
    uint32_t seed = 12345;
    for (size_t n = 0; n <= 20; ++n)
        for (int round = 0; round < 50; ++round) {
            std::vector<uint8_t> bytes(n);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
            if (round == 0) std::fill(bytes.begin(), bytes.end(), 0xFF);
            ASSERT_EQ(CRC24_Bytes(bytes), long_division(bytes)) << n << " bytes, round " << round;
        }
}

// Records handed over in reads of any size give what the rules give byte by byte: whole
// records inside a read are taken in one step, the others digit by digit.
TEST(BytePump, RecordedTextInReadsOfAnySize) {
    const std::string m28 = "8D4CA2B120513531CB38206CB0D3", m14 = AllCall(0x4CA2B1);
    const std::string text = "*" + m28 + ";\r\n!" + m14 + ";\r\n*" + m14 + "0;" + m14 + ";\r\n" + m28 + ";*" +
                             m28.substr(3) + ";*" + m28 + m14 + ";*;;*" + m14 + ";;\r\n*" + m28 + "\r\n*" + m14 +
                             ";!" + m28 + ";" + m14.substr(0, 9);
    Decoding bytewise;
    for (char c : text) bytewise.pump.FeedRecorded(std::string(1, c));
    ASSERT_EQ(bytewise.evaluated, (std::vector<std::string>{m28, m14, m14, m14, m28}));

    // Characters next to the digits' ranges, lower case, bytes from 0x80 (which look like
    // digits without their top bit) and NUL, in place of a digit (the record is spoilt) and
    // added to it (skipped: the record stays good).
    std::string odd;
    size_t good = 0;
    for (const char junk : {'/', ':', '@', 'G', 'a', '\x80', '\xB0', '\xC1', '\0'})
        for (const std::string& m : {m14, m28})
            for (const size_t at : {size_t{0}, size_t{7}, size_t{13}, m.size() - 1}) {
                std::string spoilt = m, padded = m;
                spoilt[at] = junk;
                padded.insert(at, 1, junk);
                odd += "*" + spoilt + ";\r\n*" + padded + ";\n";
                ++good;
            }
    Decoding odd_bytewise;
    for (char c : odd) odd_bytewise.pump.FeedRecorded(std::string(1, c));
    EXPECT_EQ(odd_bytewise.evaluated.size(), good);
    Decoding odd_whole;
    odd_whole.pump.FeedRecorded(odd);
    EXPECT_EQ(odd_whole.evaluated, odd_bytewise.evaluated);
    for (size_t read = 2; read <= text.size(); ++read) {
        Decoding d;
        for (size_t at = 0; at < text.size(); at += read) d.pump.FeedRecorded(text.substr(at, read));
        EXPECT_EQ(d.evaluated, bytewise.evaluated) << "reads of " << read;
        EXPECT_EQ(d.pump.PendingDigits(), m14.substr(0, 9)) << "reads of " << read;
        EXPECT_EQ(d.pump.bytes(), text.size());
    }
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
    // After an incomplete record "!" starts afresh as "*" does, whole or byte by byte.
    const std::string after_short = "*" + m28.substr(3) + ";!" + m14 + ";";
    EXPECT_EQ(collect(after_short), V{m14});
    Decoding bytewise;
    for (char c : after_short) bytewise.pump.FeedRecorded(std::string(1, c));
    EXPECT_EQ(bytewise.evaluated, V{m14});
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
    EXPECT_EQ(std::tuple(r.pump.evaluated(), r.t.LastMessage()), std::tuple(2u, m14));
}
