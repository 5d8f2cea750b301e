// Headless replay: reads recorded streams into the byte pump, and formats what
// ternwick-replay prints (trace, CSV of the flight table, statistics).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "decode/byte_pump.h"
#include "decode/tracker.h"
#include "geo/coverage.h"
#include "io/framing.h"
#include "io/recorded_input.h"
#include "io/replay_pacer.h"

namespace ternwick {

struct ReplayCounters {
    uint64_t bytes = 0;
    uint64_t evaluated = 0;
};

enum class PumpEnd { kEnd, kError, kInterrupted };

// Reads a file descriptor to its end through the recorded-file rules. Each read takes what
// is there (a pipe from a live receiver is not held back until a block fills);
// after_chunk runs after every read. kError when reading failed (errno tells why). With an
// `interrupt_fd`, reading stops (kInterrupted) as soon as that descriptor is readable, even
// while the input has nothing to give.
PumpEnd PumpStream(int fd, BytePump& pump, const std::function<void()>& after_chunk = {}, int interrupt_fd = -1);
// The same through a recorded input (Beast files told apart by content, or a fixed
// format); the file's end is passed on to it.
PumpEnd PumpStream(int fd, RecordedInput& input, const std::function<void()>& after_chunk = {},
                   int interrupt_fd = -1);

// The same at the pace `pacer` keeps (started at the file's beginning): each message is
// evaluated when its time has come, waiting with `sleep` (seconds) in between; it stops
// between two steps once `interrupt_fd` is readable.
PumpEnd PacedPumpStream(int fd, RecordedInput& input, ReplayPacer& pacer, const std::function<void(double)>& sleep,
                        const std::function<void()>& after_chunk = {}, int interrupt_fd = -1);

// A text with every CR LF, and every lone CR, turned into LF (list text, report lines).
std::string LinesForPrint(const std::string& text);

// The tracked entries 0..500 in index order as CSV with a header line; with a receiver
// position, range (NM) and bearing (degrees) from it at the end of each line (empty without
// a position).
std::string FlightTableCsv(const FlightTable& db, const std::optional<geo::LatLon>& receiver = std::nullopt);

// The farthest position of each sector of bearing as CSV with a header line.
std::string CoverageCsv(const geo::Coverage& coverage);

// Statistics block printed by --stats.
std::string StatsText(const TrackerStats& s, const ReplayCounters& c, double seconds);

// With a receiver position: the positions it gave and the refusals by reason.
std::string ReceiverStatsText(const TrackerStats& s);

// What the receiver framings saw, for --stats after a network source or a framed file.
std::string FramingStatsText(const FramingCounts& avr, const FramingCounts& beast);

}  // namespace ternwick
