#include <gtest/gtest.h>

#include <random>

#include "decode/byte_pump.h"
#include "decode/frame_bytes.h"
#include "test_support.h"

using namespace ternwick;

namespace {

// The long division exactly as the Mode S parity is defined, one bit at a time.
int32_t BitwiseCrc(const std::vector<uint8_t>& m) {
    uint32_t r = 0;
    for (uint8_t b : m) {
        r ^= uint32_t(b) << 16;
        for (int i = 0; i < 8; ++i) {
            r <<= 1;
            if (r & 0x1000000) r ^= 0x1FFF409;
        }
    }
    return int32_t(r & 0xFFFFFF);
}

}  // namespace

TEST(FrameBytes, HexToBytes) {
    EXPECT_EQ(cv_BytesFromHex("8D4CA2B120513531CB38206CB0D3"),
              (std::vector<uint8_t>{0x8D, 0x4C, 0xA2, 0xB1, 0x20, 0x51, 0x35, 0x31, 0xCB, 0x38, 0x20, 0x6C,
                                    0xB0, 0xD3}));
    EXPECT_EQ(cv_BytesFromHex("ABC"), (std::vector<uint8_t>{0x0A, 0xBC}));  // "0" goes in front
    EXPECT_EQ(cv_BytesFromHex("ff"), (std::vector<uint8_t>{255}));
    EXPECT_TRUE(cv_BytesFromHex("").empty());
    EXPECT_EQ(cv_BytesFromHex("1GG1"), (std::vector<uint8_t>{1, 0}));  // a pair stops at a non-digit
}

TEST(FrameBytes, Crc24KnownAnswers) {
    const auto msg = cv_BytesFromHex("8D4CA2B120513531CB38206CB0D3");
    EXPECT_EQ(CRC24_Bytes(msg), 0);
    EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex("8D4CA2B120513531CB38206CB0D0")), 0xFFE812);
    EXPECT_EQ(CRC24_Bytes(std::vector<uint8_t>(msg.begin(), msg.begin() + 11)), 0x6CB0D3);
    EXPECT_EQ(CRC24_Bytes(std::vector<uint8_t>{0x61, 0x62, 0x63}), 0x612DE3);
    EXPECT_EQ(CRC24_Bytes(std::vector<uint8_t>{0x01}), 0xFFF409);
    // Widely published frames from real aircraft check out.
    EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex("8D40621D58C382D690C8AC2863A7")), 0);
    EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex("8D40621D58C386435CC412692AD6")), 0);
    EXPECT_EQ(CRC24_Bytes(cv_BytesFromHex("8D485020994409940838175B284F")), 0);
}

TEST(FrameBytes, TableCrcEqualsBitwiseDivision) {
    std::mt19937 rng(7);
    for (int n = 0; n < 2000; ++n) {
        std::vector<uint8_t> m(rng() % 20);
        for (auto& b : m) b = uint8_t(rng());
        ASSERT_EQ(CRC24_Bytes(m), BitwiseCrc(m));
    }
}

TEST(FrameAssembler, RecordedTextRules) {
    auto collect = [](const std::string& text) {
        FrameAssembler fa;
        std::vector<std::string> out;
        for (char c : text)
            if (fa.Feed(static_cast<unsigned char>(c))) {
                out.emplace_back(fa.Digits());
                fa.Clear();
            }
        return out;
    };
    const std::string m28 = "8D4CA2B120513531CB38206CB0D3", m14 = test::AllCall(0x4CA2B1);
    // Start markers, line ends and digits between records.
    EXPECT_EQ(collect("*" + m28 + ";\r\n!" + m14 + ";12:00:01\r\n*" + m14 + ";"),
              (std::vector<std::string>{m28, m14, m14}));
    // No start markers: works while every record is valid...
    EXPECT_EQ(collect(m14 + ";" + m28 + ";"), (std::vector<std::string>{m14, m28}));
    // ...one 27-digit record spoils the following ones up to the next start marker.
    EXPECT_EQ(collect(m28.substr(1) + ";" + m14 + ";" + m28 + ";*" + m14 + ";"), (std::vector<std::string>{m14}));
    // Lower-case letters are skipped, so the length test fails.
    EXPECT_TRUE(collect("*8d4ca2b120513531cb38206cb0d3;").empty());
    // 29 digits never shrink back to 28 however long the garbage runs.
    EXPECT_TRUE(collect("*" + m28 + "0" + std::string(1000, 'A') + ";").empty());
}

// The byte pump with the receiver's rules: what the serial port delivers, in arbitrary
// chunks, gives the same evaluations as the text arriving byte by byte.
TEST(BytePump, ReceiverRulesAndTheSharedSquitter) {
    const std::string m28 = "8D4CA2B120513531CB38206CB0D3", m14 = test::AllCall(0x4CA2B1);
    auto receive = [&](const std::vector<std::string>& chunks) {
        test::FakeHost host;
        AirlineDirectory airlines;
        Tracker t(host, airlines);
        BytePump pump(t);
        std::vector<std::string> out;
        pump.after_message = [&] { out.push_back(t.Squitter); };
        pump.StartReception();
        for (const std::string& c : chunks) pump.FeedReceiver(c);
        return out;
    };
    using V = std::vector<std::string>;
    // Two messages in one read, each evaluated as its ";" arrives.
    EXPECT_EQ(receive({"*" + m28 + ";\r\n*" + m14 + ";\r\n"}), (V{m28, m14}));
    // A repeated ";" evaluates the same digits again; split reads change nothing.
    EXPECT_EQ(receive({"*" + m28.substr(0, 5), m28.substr(5) + ";", ";"}), (V{m28, m28}));
    // Digits after a ";" without a start marker are appended: 42 digits, nothing evaluated.
    EXPECT_EQ(receive({"*" + m28 + ";" + m14 + ";*" + m14 + ";"}), (V{m28, m14}));
    // Lower-case digits are skipped.
    EXPECT_EQ(receive({"*8d4ca2b120513531cb38206cb0d3;"}), V{});

    // A replay started after reception continues from the Squitter the receiver left:
    // only a record with a start marker is evaluated.
    test::FakeHost host;
    AirlineDirectory airlines;
    Tracker t(host, airlines);
    BytePump pump(t);
    pump.FeedReceiver("*" + m28 + ";");
    EXPECT_EQ(pump.PendingDigits(), m28);
    pump.FeedRecorded(m14 + ";*" + m14 + ";");
    EXPECT_EQ(pump.evaluated(), 2u);
    EXPECT_EQ(t.Squitter, m14);
}
