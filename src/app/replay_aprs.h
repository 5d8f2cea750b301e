// The APRS side of ternwick-replay: its options, setting up the session's report output
// (printed reports, a KISS server, an APRS-IS login), draining it at the end, and its
// counts for --stats.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "aprs/aprs_look.h"
#include "aprs/aprs_pacing.h"
#include "aprs/aprs_station.h"
#include "session/session.h"

namespace ternwick {

struct AprsOptions {
    bool print = false;  // --aprs
    AprsFormat format = AprsFormat::Text;
    AprsStation station;
    std::string kiss_to;    // --aprs-to host:port
    std::string is_server;  // --aprs-is host[:port]
    std::string passcode;   // --aprs-passcode
    bool passcode_given = false;
    AprsRate rate;
    bool kill = false, rich = false;
    AprsLook look;  // --aprs-name, --aprs-symbol, --aprs-comment

    // Whether reports are made at all (positions are then plotted).
    bool Reporting() const { return print || !kiss_to.empty() || !is_server.empty(); }
    // Aircraft leave the table only through the list's expiry pass, which withdrawing
    // objects needs as much as the list does.
    bool NeedsExpiry() const { return kill; }
};

// The options' lines of the usage text.
extern const char kAprsUsage[];

// Reads option `arg` if it is one of the APRS options; `value` gives the next argument
// (nullptr, already told, when there is none). 1: taken, 0: not an APRS option, -1: refused
// (told on standard error).
int ParseAprsOption(const std::string& arg, const std::function<const char*(const char*)>& value, AprsOptions& o);
// After all options: combinations that cannot work. Empty text, or why.
std::string CheckAprsOptions(const AprsOptions& o);

// Sets up the output; connects and logs in before the first report. False (told on
// standard error) when a server cannot be reached or did not verify the login.
bool StartAprs(Session& session, const AprsOptions& o);
// Waits until every report has left (up to `timeout_ms`); false (told) when a link broke or
// reports were lost.
bool FinishAprs(Session& session, const AprsOptions& o, int timeout_ms);
// The counts for --stats.
std::string AprsStatsText(const AprsCounts& c, const AprsOptions& o);

}  // namespace ternwick
