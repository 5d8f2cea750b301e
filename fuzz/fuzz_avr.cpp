// libFuzzer target: arbitrary bytes through the AVR text framing, in two reads split where
// the first byte says, into the evaluation. Every message handed on must be 14 or 28
// upper-case digits, and a good record after the noise must still come out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/byte_pump.h"
#include "fuzz_host.h"
#include "io/avr_framing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ternwick::fuzz::Sink sink;
    ternwick::AvrFraming framing([&sink](std::string_view digits) { sink(digits); });
    const size_t cut = size ? data[0] % (size + 1) : 0;
    framing.Feed({data, cut});
    framing.Feed({data + cut, size - cut});
    static const std::string good = "*8D4CA2B120513531CB38206CB0D3;\n";
    sink.last.clear();
    framing.Feed({reinterpret_cast<const uint8_t*>(good.data()), good.size()});
    if (sink.last != "8D4CA2B120513531CB38206CB0D3") __builtin_trap();
    return 0;
}
