// libFuzzer target: arbitrary bytes through the replay character rules and EvalSquitter.
// Build and run with `make fuzz` (clang, address and undefined-behaviour sanitizers).
#include <cstddef>
#include <cstdint>

#include "decode/byte_pump.h"
#include "decode/tracker.h"
#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ternwick::Tracker& tracker = ternwick::fuzz::SharedTracker();
    ternwick::BytePump& pump = ternwick::fuzz::SharedPump();
    // Both character rule sets over the same bytes: the recorded-file rules and the
    // receiver's, which keep their digits across ";".
    pump.FeedRecorded(std::span<const uint8_t>(data, size));
    pump.FeedReceiver(std::span<const uint8_t>(data, size));
    // Also hand the raw input over directly: the evaluation must survive contract breaks.
    tracker.Squitter.assign(reinterpret_cast<const char*>(data), size < 64 ? size : 64);
    tracker.EvalSquitter();
    return 0;
}
