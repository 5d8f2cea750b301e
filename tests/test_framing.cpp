// The receiver framings (AVR text, Beast binary), the choice between them, and recorded
// files: messages out in order, everything else counted, never a frame lost to a damaged one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "beast_frames.h"
#include "io/recorded_input.h"
#include "io/stream_framing.h"
#include "test_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

using Messages = std::vector<std::string>;
using Counts = std::vector<uint64_t>;  // messages, Mode A/C, keep-alives, other Beast types, bad, skipped bytes

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

Counts CountsOf(const FramingCounts& c) { return {c.messages, c.mode_ac, c.keepalive, c.other, c.bad, c.skipped_bytes}; }

// Feeds `stream` in two reads split at `cut` (the whole stream in one when cut is npos): the
// messages and the counts.
template <class Framing>
std::pair<Messages, Counts> Frame(const std::string& stream, size_t cut = std::string::npos) {
    Messages out;
    Framing f([&out](std::string_view d) { out.emplace_back(d); });
    cut = std::min(cut, stream.size());
    f.Feed(Bytes(stream.substr(0, cut)));
    f.Feed(Bytes(stream.substr(cut)));
    return {out, CountsOf(f.counts())};
}

const std::string kAllAvrForms =
    "*8D4CA2B120513531CB38206CB0D3;\r\n"
    ":5d4ca2b1c1a2b3;\n"
    "@0123456789AB8d40621d58c382d690c8ac2863a7;\n"
    "%0000000000015D485020A1B2C3;\r\n"
    "<0123456789abFF8D485020994409940838175B284F;\n";
const Messages kAllAvrMessages = {"8D4CA2B120513531CB38206CB0D3", "5D4CA2B1C1A2B3", "8D40621D58C382D690C8AC2863A7",
                                  "5D485020A1B2C3", "8D485020994409940838175B284F"};

}  // namespace

TEST(AvrFraming, EveryRecordFormInEveryCase) {
    // Whole, or cut between two reads anywhere: every record comes out, nothing else counted.
    for (size_t cut = 0; cut <= kAllAvrForms.size(); ++cut)
        ASSERT_EQ(Frame<AvrFraming>(kAllAvrForms, cut), std::pair(kAllAvrMessages, Counts{5, 0, 0, 0, 0, 0}))
            << "cut at " << cut;
    // Line ends are part of the format. Each message's time stamp is read as it is handed on;
    // a record without one has none, also right after a stamped one.
    std::vector<int64_t> stamps;
    AvrFraming f([&](std::string_view) { stamps.push_back(f.LastStamp()); });
    f.Feed(Bytes(kAllAvrForms + kAllAvrForms.substr(0, 32)));
    EXPECT_EQ(stamps, (std::vector<int64_t>{-1, -1, 0x0123456789AB, 1, 0x0123456789AB, -1}));
}

TEST(AvrFraming, SkipsCountsAndResynchronises) {
    Messages out;
    AvrFraming f([&out](std::string_view d) { out.emplace_back(d); });
    f.Feed(Bytes("*0000;\n"                              // keep-alive
                 "*7700;\n@00000000000A1200;\n"          // Mode A/C, bare and time-stamped
                 "*8D4CA2;\n"                            // no message has 6 digits
                 "noise"                                 // 5 bytes outside any record
                 "*8D4CA2B1Z0513531CB38206CB0D3;\n"      // broken at Z: Z and the 20 after it skipped
                 "*8D4CA2B120513531CB38206CB0D3"         // lost its ";" ...
                 "*5D4CA2B1C1A2B3;\n"                    // ... which costs nothing here
                 "<0123456789AB8D4CA2B1C1A2B3;\n"));     // no signal level: 12 digits left
    EXPECT_EQ(out, Messages{"5D4CA2B1C1A2B3"});
    EXPECT_EQ(CountsOf(f.counts()), (Counts{1, 2, 1, 0, 4, 26}));

    // 10 MB of digits without a ";" are one bad record; the next one is read.
    const std::string digits(1 << 20, 'A');
    f.Feed(Bytes("*"));
    for (int i = 0; i < 10; ++i) f.Feed(Bytes(digits));
    f.Feed(Bytes(";*8D4CA2B120513531CB38206CB0D3;"));
    EXPECT_EQ(std::tie(out.back(), f.counts().bad), std::tuple("8D4CA2B120513531CB38206CB0D3", 5u));
    // A connection lost inside a record.
    f.Feed(Bytes("*8D4C"));
    f.Reset();
    f.Feed(Bytes("A2B1C1A2B3;"));
    EXPECT_EQ(std::tuple(f.counts().bad, f.counts().messages), std::tuple(6u, 2u));
}

TEST(AvrFraming, ALineEndEndsARecordAndTooManyDigitsAreNeverCut) {
    const std::string m28 = "8D485020994409940838175B284F";
    // {stream, counts: messages, Mode A/C, keep-alives, other, bad, skipped bytes}
    const std::pair<std::string, Counts> cases[] = {
        // Digits after a line end are no part of the record before it.
        {"*8D4CA2B1\r\n20513531CB38206CB0D3;", {0, 0, 0, 0, 1, 21}},
        // 29 message digits (or more) are bad, never the first 28.
        {"<0123456789ABFF" + m28 + "0;", {0, 0, 0, 0, 1, 0}},
        {"@0123456789AB" + m28 + "00;", {0, 0, 0, 0, 1, 0}},
        {"*" + m28 + "0;", {0, 0, 0, 0, 1, 0}},
        {"<0123456789ABFF" + m28 + ";", {1, 0, 0, 0, 0, 0}},
    };
    for (const auto& [stream, counts] : cases)
        EXPECT_EQ(Frame<AvrFraming>(stream), std::pair(counts[0] ? Messages{m28} : Messages{}, counts)) << stream;
}

TEST(BeastFraming, DoubledEscapesTypesAndNoise) {
    // Written out by hand: time stamp 00 00 00 00 1A 05 and reply 5D 1A 4C A2 B1 C1 A2,
    // each 0x1A doubled, signal level 0x90.
    EXPECT_EQ(Frame<BeastFraming>(std::string("\x1A\x32\x00\x00\x00\x00\x1A\x1A\x05\x90"
                                              "\x5D\x1A\x1A\x4C\xA2\xB1\xC1\xA2",
                                              18)).first,
              Messages{"5D1A4CA2B1C1A2"});

    const std::string stream = "xyz" + BeastFrame("8D4CA2B120513531CB38206CB0D3", 0x00001A2B3C4D, 0x1A) +
                               BeastFrame("7700", 6) + BeastFrame("0000", 0, 0) +
                               std::string("\x1A" "4" "\x01\x02\x03\x04\x05\x06\x07\x08", 10) +  // status
                               BeastFrame("5D1A1A1AC1A2B3", 5) + "\x1A\x1A" +                   // stray 0x1A
                               BeastFrame("8D1A1A1A20513531CB38206C1A1A", 7);
    const Messages expected = {"8D4CA2B120513531CB38206CB0D3", "5D1A1A1AC1A2B3", "8D1A1A1A20513531CB38206C1A1A"};
    // Every split, including between the two bytes of a doubled 0x1A at the end of a read.
    // Skipped: the noise, the status body and the stray pair.
    for (size_t cut = 0; cut <= stream.size(); ++cut)
        ASSERT_EQ(Frame<BeastFraming>(stream, cut), std::pair(expected, Counts{3, 1, 1, 1, 0, 3 + 8 + 2}))
            << "cut at " << cut;
}

TEST(BeastFraming, TheFrameAfterADamagedOneIsKept) {
    const std::string good = BeastFrame("5D1A1A1AC1A2B3", 5);
    const std::string whole = BeastFrame("8D4CA2B120513531CB38206CB0D3", 0x00001A2B3C4D, 0x1A);
    Messages out;
    BeastFraming f([&out](std::string_view d) { out.emplace_back(d); });
    // Cut anywhere inside the frame except between the two bytes of a doubled 0x1A.
    size_t cuts = 0;
    for (size_t len = 1; len < whole.size(); ++len) {
        size_t trailing = 0;
        while (len - trailing > 2 && whole[len - trailing - 1] == '\x1A') ++trailing;
        if (trailing % 2 == 1) continue;
        out.clear();
        f.Feed(Bytes(whole.substr(0, len) + good));
        ASSERT_EQ(out, Messages{"5D1A1A1AC1A2B3"}) << "cut after " << len << " bytes";
        ++cuts;
    }
    // Each cut frame is one bad frame, except a lone 0x1A: that is a stray byte.
    EXPECT_EQ(std::tuple(cuts, f.counts().bad), std::tuple(22u, 21u));
    // Cut between the two bytes of a doubled 0x1A: the next 0x1A reads as its second half,
    // so that frame is gone, but the one after it is back in step.
    out.clear();
    f.Feed(Bytes(whole.substr(0, 5) + good + good));
    EXPECT_EQ(out, Messages{"5D1A1A1AC1A2B3"});
    // A connection lost inside a frame.
    const uint64_t bad = f.counts().bad;
    f.Feed(Bytes(whole.substr(0, 9)));
    f.Reset();
    f.Feed(Bytes(whole.substr(9) + good));
    EXPECT_EQ(std::tie(f.counts().bad, out.back()), std::tuple(bad + 1, "5D1A1A1AC1A2B3"));
}

TEST(StreamFraming, FirstByteOfEachStreamDecides) {
    Messages out;
    StreamFraming f(InputFormat::Auto, [&out](std::string_view d) { out.emplace_back(d); });
    f.Feed(Bytes(BeastFrame("5D4CA2B1C1A2B3")));
    EXPECT_EQ(f.current(), InputFormat::Beast);
    f.Restart();
    f.Feed(Bytes("\r\n*8D4CA2B120513531CB38206CB0D3;"));
    EXPECT_EQ(f.current(), InputFormat::Avr);
    EXPECT_EQ(out, (Messages{"5D4CA2B1C1A2B3", "8D4CA2B120513531CB38206CB0D3"}));

    // A fixed format holds whatever arrives.
    StreamFraming avr(InputFormat::Avr, [&out](std::string_view d) { out.emplace_back(d); });
    avr.Feed(Bytes(BeastFrame("5D4CA2B1C1A2B3")));
    EXPECT_EQ(std::tuple(out.size(), avr.beast().messages + avr.avr().messages), std::tuple(2u, 0u));
    EXPECT_EQ(InputFormatFromName("beast"), InputFormat::Beast);
    EXPECT_EQ(InputFormatFromName("Beast"), std::nullopt);
}

TEST(RecordedInput, TextKeepsTheRecordedRulesBeastIsFramed) {
    Decoding d;
    // "!" starts a recorded message; lower-case digits are not collected by the file rules.
    const std::string text = "!8D4CA2B120513531CB38206CB0D3;\r\n*8d40621d58c382d690c8ac2863a7;\r\n";

    RecordedInput automatic(d.pump, InputFormat::Auto);
    automatic.Feed(Bytes(text));
    automatic.EndFile();
    automatic.Feed(Bytes(BeastFrame("8D40621D58C386435CC412692AD6")));
    automatic.EndFile();
    EXPECT_EQ(d.evaluated, (Messages{"8D4CA2B120513531CB38206CB0D3", "8D40621D58C386435CC412692AD6"}));
    EXPECT_EQ(std::tuple(automatic.framed(), automatic.framing().beast().messages, automatic.bytes()),
              std::tuple(true, 1u, text.size() + 23));

    // Told AVR, the same text is read as a receiver sends it.
    d.evaluated.clear();
    RecordedInput avr(d.pump, InputFormat::Avr);
    avr.Feed(Bytes(text));
    EXPECT_EQ(d.evaluated, Messages{"8D40621D58C382D690C8AC2863A7"});
}
