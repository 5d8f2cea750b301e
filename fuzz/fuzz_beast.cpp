// libFuzzer target: arbitrary bytes through the Beast binary framing, in two reads split
// where the first byte says, into the evaluation. Every message handed on must be 14 or 28
// upper-case digits, and of two good frames after the noise the second must come out (the
// first may be taken for the rest of a frame the noise left open).
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/byte_pump.h"
#include "fuzz_host.h"
#include "io/beast_framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ternwick::fuzz::Sink sink;
    ternwick::BeastFraming framing([&sink](std::string_view digits) { sink(digits); });
    const size_t cut = size ? data[0] % (size + 1) : 0;
    framing.Feed({data, cut});
    framing.Feed({data + cut, size - cut});
    // A long frame with 0x1A doubled in its time stamp and reply.
    static const uint8_t good[] = {0x1A, '3',  0x00, 0x1A, 0x1A, 0x00, 0x00, 0x00, 0x01, 0x80, 0x8D, 0x4C,
                                   0xA2, 0xB1, 0x20, 0x51, 0x35, 0x31, 0xCB, 0x38, 0x1A, 0x1A, 0x6C, 0xB0, 0xD3};
    framing.Feed(good);
    sink.last.clear();
    framing.Feed(good);
    if (sink.last != "8D4CA2B120513531CB381A6CB0D3") __builtin_trap();
    return 0;
}
