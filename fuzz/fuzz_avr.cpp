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
    static ternwick::fuzz::Host host;
    static ternwick::AirlineDirectory airlines;
    // One tracker for the whole run, as on a long connection.
    static ternwick::Tracker tracker(host, airlines);
    static ternwick::BytePump pump(tracker);
    std::string last;
    ternwick::AvrFraming framing([&last](std::string_view digits) {
        ternwick::fuzz::CheckMessage(digits);
        last.assign(digits);
        pump.EvalMessage(digits);
    });
    const size_t cut = size ? data[0] % (size + 1) : 0;
    framing.Feed({data, cut});
    framing.Feed({data + cut, size - cut});
    static const std::string good = "*8D4CA2B120513531CB38206CB0D3;\n";
    last.clear();
    framing.Feed({reinterpret_cast<const uint8_t*>(good.data()), good.size()});
    if (last != "8D4CA2B120513531CB38206CB0D3") __builtin_trap();
    return 0;
}
