// The station that sends the reports (source callsign, destination, digipeater path) as a
// user types it, checked against what AX.25 can carry, and the two packet forms built from it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ternwick {

// One AX.25 address: a callsign of 1 to 6 upper-case letters and digits and an SSID 0..15.
// In a path, `repeated` is the "has been repeated" mark ("*" in text).
struct Ax25Address {
    std::string call;
    int ssid = 0;
    bool repeated = false;
    bool operator==(const Ax25Address&) const = default;
};

// AX.25 2.2 allows at most 8 digipeater addresses after the destination and the source.
inline constexpr int kMaxPathEntries = 8;

// Reads "CALL" or "CALL-N" (lower case is taken as upper case; blanks around are ignored);
// with `in_path`, a trailing "*" marks the address as repeated. Returns an empty text, or
// why the text cannot be an address.
std::string ParseAx25Address(std::string_view text, bool in_path, Ax25Address& out);
// A comma-separated list of at most 8 addresses; an empty text is an empty path (direct).
std::string ParseAx25Path(std::string_view text, std::vector<Ax25Address>& out);

// "CALL", "CALL-N" (SSID 0 is not written), "*" after a repeated path entry.
std::string Ax25AddressText(const Ax25Address& a);
// The path as a user types it: entries joined by ",".
std::string Ax25PathText(const std::vector<Ax25Address>& path);

// How a report goes out: a monitor text line (TNC2 form) or a KISS frame for a TNC.
enum class AprsFormat { Text, Kiss };

// The path used when the user gives none. Text lines keep their long-standing "TCPIP*";
// a frame for a TNC goes on the air, where one hop through a fill-in digipeater is the
// usual courtesy ("WIDE1-1").
std::vector<Ax25Address> DefaultAprsPath(AprsFormat format);

struct AprsStation {
    Ax25Address source{"QZ7TRK"};
    Ax25Address destination{"APZ001"};
    std::optional<std::vector<Ax25Address>> path;  // unset: DefaultAprsPath of the format

    std::vector<Ax25Address> PathFor(AprsFormat format) const {
        return path ? *path : DefaultAprsPath(format);
    }
};

// Monitor text header "SRC>DST,PATH...:" for the path of `format`.
std::string Tnc2Header(const AprsStation& station, AprsFormat format = AprsFormat::Text);

// The AX.25 UI frame (AX.25 2.2 section 3 and 6.1.2): destination, source and path
// addresses of 7 bytes each (characters shifted left one bit, then the SSID byte, the
// last address with its end bit set), control 0x03 (UI), PID 0xF0 (no layer 3), then
// `info`. No flags and no FCS: the TNC adds them.
std::string Ax25UiFrame(const AprsStation& station, const std::vector<Ax25Address>& path, std::string_view info);

// A KISS data frame for TNC port 0: FEND, command byte 0x00, the frame with every FEND
// sent as FESC TFEND and every FESC as FESC TFESC, FEND.
std::string KissDataFrame(std::string_view frame);

}  // namespace ternwick
