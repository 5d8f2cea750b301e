#include "aprs_station.h"

#include <cstdint>

namespace ternwick {

namespace {

constexpr char kFend = '\xC0';
constexpr char kFesc = '\xDB';
constexpr char kTfend = '\xDC';
constexpr char kTfesc = '\xDD';

// SSID byte bits (AX.25 2.2 figure 3.5): C or H, two reserved bits sent as 1, the SSID,
// and the extension bit that ends the address field.
constexpr uint8_t kCommandOrRepeated = 0x80;
constexpr uint8_t kReserved = 0x60;
constexpr uint8_t kLastAddress = 0x01;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void AppendAddress(std::string& out, const Ax25Address& a, uint8_t flag, bool last) {
    for (size_t i = 0; i < 6; ++i) {
        const char c = i < a.call.size() ? a.call[i] : ' ';
        out += static_cast<char>(static_cast<uint8_t>(c) << 1);
    }
    out += static_cast<char>(flag | kReserved | (a.ssid << 1) | (last ? kLastAddress : 0));
}

}  // namespace

std::string ParseAx25Address(std::string_view text, bool in_path, Ax25Address& out) {
    std::string_view s = Trim(text);
    Ax25Address a;
    if (!s.empty() && s.back() == '*') {
        if (!in_path) return "\"*\" (already repeated) belongs only in a path";
        a.repeated = true;
        s.remove_suffix(1);
    }
    const size_t dash = s.find('-');
    const std::string_view call = s.substr(0, dash);
    if (call.empty()) return "no callsign";
    for (char c : call) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return "a callsign has only letters and digits";
        a.call += c;
    }
    if (a.call.size() > 6) return "a callsign has at most 6 letters and digits";
    if (dash != std::string_view::npos) {
        const std::string_view ssid = s.substr(dash + 1);
        if (ssid.empty() || ssid.size() > 2) return "the SSID after \"-\" is a number from 0 to 15";
        int n = 0;
        for (char c : ssid) {
            if (c < '0' || c > '9') return "the SSID after \"-\" is a number from 0 to 15";
            n = n * 10 + (c - '0');
        }
        if (n > 15) return "the SSID after \"-\" is a number from 0 to 15";
        a.ssid = n;
    }
    out = a;
    return {};
}

std::string ParseAx25Path(std::string_view text, std::vector<Ax25Address>& out) {
    std::vector<Ax25Address> path;
    std::string_view rest = Trim(text);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        Ax25Address a;
        const std::string reason = ParseAx25Address(rest.substr(0, comma), true, a);
        if (!reason.empty()) return "entry " + std::to_string(path.size() + 1) + ": " + reason;
        path.push_back(a);
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
        if (Trim(rest).empty()) return "entry " + std::to_string(path.size() + 1) + ": no callsign";
    }
    if (path.size() > static_cast<size_t>(kMaxPathEntries)) return "a path has at most 8 entries";
    out = std::move(path);
    return {};
}

std::string Ax25AddressText(const Ax25Address& a) {
    std::string s = a.call;
    if (a.ssid != 0) s += "-" + std::to_string(a.ssid);
    if (a.repeated) s += '*';
    return s;
}

std::string Ax25PathText(const std::vector<Ax25Address>& path) {
    std::string s;
    for (const Ax25Address& a : path) {
        if (!s.empty()) s += ',';
        s += Ax25AddressText(a);
    }
    return s;
}

std::vector<Ax25Address> DefaultAprsPath(AprsFormat format) {
    if (format == AprsFormat::Text) return {{"TCPIP", 0, true}};
    return {{"WIDE1", 1, false}};
}

std::string Tnc2Header(const AprsStation& station, AprsFormat format) {
    std::string s = Ax25AddressText(station.source) + ">" + Ax25AddressText(station.destination);
    for (const Ax25Address& a : station.PathFor(format)) s += "," + Ax25AddressText(a);
    s += ':';
    return s;
}

std::string Ax25UiFrame(const AprsStation& station, const std::vector<Ax25Address>& path, std::string_view info) {
    std::string f;
    f.reserve(7 * (2 + path.size()) + 2 + info.size());
    // A UI frame is a command: C set in the destination, clear in the source (AX.25 2.2
    // section 6.1.2).
    AppendAddress(f, station.destination, kCommandOrRepeated, false);
    AppendAddress(f, station.source, 0, path.empty());
    // In text only the last digipeater that repeated carries "*"; in the frame every
    // address up to it has its H bit set.
    size_t repeated_upto = 0;
    for (size_t i = 0; i < path.size(); ++i)
        if (path[i].repeated) repeated_upto = i + 1;
    for (size_t i = 0; i < path.size(); ++i)
        AppendAddress(f, path[i], i < repeated_upto ? kCommandOrRepeated : 0, i + 1 == path.size());
    f += '\x03';  // control: UI frame, P/F 0
    f += '\xF0';  // PID: no layer 3 protocol
    f.append(info);
    return f;
}

std::string KissDataFrame(std::string_view frame) {
    std::string k;
    k.reserve(frame.size() + frame.size() / 8 + 3);
    k += kFend;
    k += '\x00';  // high nibble: TNC port 0; low nibble: data frame
    for (char c : frame) {
        if (c == kFend) {
            k += kFesc;
            k += kTfend;
        } else if (c == kFesc) {
            k += kFesc;
            k += kTfesc;
        } else {
            k += c;
        }
    }
    k += kFend;
    return k;
}

}  // namespace ternwick
