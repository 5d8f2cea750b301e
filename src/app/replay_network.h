// ternwick-replay --connect: runs a network source in the event loop until --for runs out
// or the user interrupts (Ctrl-C, SIGTERM), telling progress and faults on standard error.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "decode/byte_pump.h"
#include "io/network_source.h"

namespace ternwick {

struct NetworkRun {
    std::string host_port;
    InputFormat format = InputFormat::Auto;
    // End this long after `start` (the program's start); unset: run until interrupted.
    std::optional<double> for_seconds;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    // After every read that delivered bytes (output flushed to a pipe).
    std::function<void()> after_chunk;
};

struct NetworkOutcome {
    bool connected = false;  // a connection was made at some point
    NetworkCounters counters;
    double seconds = 0.0;    // from the first connection to the last bytes evaluated
};

// Needs a QCoreApplication. Returns once the run is over, the connection closed.
NetworkOutcome RunNetworkSource(BytePump& pump, const NetworkRun& run);

}  // namespace ternwick
