// The live flight list: frees entries not heard for longer than the expiry time and builds
// the fixed-column text table of the remaining entries (ShowTextTable).
#pragma once

#include <cstdint>
#include <string>

#include "flights/flight_table.h"

namespace ternwick {

struct ListSettings {
    double expire_seconds = 120.0;  // "DB. Exp.:" as read from its text box
    bool use_kmh = false;           // "Use kmh": speeds in km/h instead of knots
    bool operator==(const ListSettings&) const = default;
};

// Seconds since `last_heard`, both seconds within the hour, taken modulo 3600.
int AgeSeconds(int now, int last_heard);

// Frees (InitDbPos) every entry 0..500 whose age is strictly greater than expire_seconds.
// Returns how many were freed.
int ExpireEntries(FlightTable& db, int now, double expire_seconds);

// The heading line (87 characters), the dashed line, each ending in CR LF.
std::string FlightListHeading(bool use_kmh);
// One row (90 characters and CR LF with the usual field widths).
std::string FlightListRow(const DbRecord& e, int age, bool use_kmh);
// Heading and a row for every entry in use, in table order. Expires nothing.
std::string FlightListText(const FlightTable& db, int now, bool use_kmh);

// ShowTextTable in one call: expiry, then the text of what is left.
std::string ShowTextTable(FlightTable& db, int now, const ListSettings& settings);

// ShowTextTable for a caller that runs it very often (after every replayed byte, on every
// timer tick): the expiry pass runs only when something that decides it changed (the
// table, the second, the settings) and the text is built only when asked for and stale.
// The results are those of calling ShowTextTable every time.
class LiveList {
public:
    // Must be called after anything changed the flight table (a message was evaluated).
    void TableChanged() { table_changed_ = true; }
    // The per-byte / per-tick pass.
    void ShowTextTable(FlightTable& db, int now, const ListSettings& settings);
    // The list for the last pass, built now if stale: call it right after a pass, before
    // the table changes again (ages count from the second of that pass).
    const std::string& Text(const FlightTable& db);
    // Grows whenever the text may have changed, so a view can skip unchanged refreshes.
    uint64_t Generation() const { return generation_; }

private:
    bool have_pass_ = false;
    bool table_changed_ = true;
    bool text_stale_ = true;
    int now_ = 0;
    ListSettings settings_;
    std::string text_;
    uint64_t generation_ = 0;
};

}  // namespace ternwick
