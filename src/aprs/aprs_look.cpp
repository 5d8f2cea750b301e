#include "aprs_look.h"

#include <algorithm>
#include <cstdio>

namespace ternwick {

namespace {

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Latin-1 letters (U+00C0..U+00FF) without their accents: APRS text is ASCII, and an
// airline's name read "AeroMexico" is better than one with a hole in it.
constexpr char kLatin1Plain[] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";

// The airline's name as APRS can carry it: printable ASCII, accents taken off, "|" and "~"
// (which APRS 1.01 keeps out of comments) and any other character left out.
std::string AsciiName(std::string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c != '|' && c != '~') out += static_cast<char>(c);
        } else if (c == 0xC3 && i + 1 < name.size()) {
            const auto next = static_cast<unsigned char>(name[i + 1]);
            if (next >= 0x80 && next <= 0xBF) {
                out += kLatin1Plain[next - 0x80];
                ++i;
            }
        }
    }
    return std::string(Trimmed(out));
}

// As many whole words of `words` as fit in `room` characters; empty when not even the first.
std::string WholeWords(const std::string& words, size_t room) {
    if (words.size() <= room) return words;
    const size_t blank = words.rfind(' ', room);
    if (blank == std::string::npos) return {};
    return std::string(Trimmed(std::string_view(words).substr(0, blank)));
}

}  // namespace

std::string ParseAprsNaming(std::string_view text, AprsNaming& out) {
    if (text == "address") out = AprsNaming::Address;
    else if (text == "flight") out = AprsNaming::Flight;
    else return "the object name is \"address\" or \"flight\"";
    return {};
}

std::string ParseAprsSymbol(std::string_view text, AprsSymbolChoice& out) {
    if (text == "category") {
        out = AprsSymbolChoice{};
        out.by_category = true;
        return {};
    }
    if (text.size() != 2)
        return "a symbol is \"category\" or two characters: the table (/ or \\, or an overlay 0-9 or A-Z) and the code";
    const char table = text[0], code = text[1];
    const bool overlay = (table >= '0' && table <= '9') || (table >= 'A' && table <= 'Z');
    if (table != '/' && table != '\\' && !overlay)
        return "the symbol table is / or \\, or an overlay 0-9 or A-Z";
    if (code < '!' || code > '~') return "the symbol code is a character from ! to ~";
    out = {.by_category = false, .fixed = {table, code}};
    return {};
}

std::string AprsSymbolText(const AprsSymbolChoice& choice) {
    if (choice.by_category) return "category";
    return {choice.fixed.table, choice.fixed.code};
}

std::string AprsCallsign(const DbRecord& e) {
    const std::string_view call = Trimmed(e.Flight);
    if (call == "No-Call") return {};
    return std::string(call);
}

std::string AprsObjectName(const DbRecord& e, AprsNaming naming) {
    std::string name = naming == AprsNaming::Flight ? AprsCallsign(e) : std::string();
    if (name.empty()) name = e.Icao;
    name.resize(kAprsNameLength, ' ');
    return name;
}

std::optional<AprsSymbol> CategorySymbol(uint8_t category) {
    switch (category) {
        case 0xA1: return AprsSymbol{'/', '\''};  // light, below 15,500 lb
        case 0xA2:                                // small, up to 75,000 lb: regional airliners
        case 0xA3:                                // large, up to 300,000 lb
        case 0xA4:                                // high-vortex large (B757)
        case 0xA5: return AprsSymbol{'/', '^'};  // heavy
        case 0xA7: return AprsSymbol{'/', 'X'};  // rotorcraft
        case 0xB1:                                // glider, sailplane
        case 0xB4: return AprsSymbol{'/', 'g'};  // ultralight, hang-glider, paraglider
        case 0xB2: return AprsSymbol{'/', 'O'};  // lighter than air: balloon, airship
        case 0xB6:                                // unmanned aerial vehicle
        case 0xB7: return AprsSymbol{'/', 'S'};  // space or transatmospheric vehicle
        default: return std::nullopt;
    }
}

AprsSymbol SymbolFor(const DbRecord& e, const AprsSymbolChoice& choice) {
    if (!choice.by_category) return choice.fixed;
    return CategorySymbol(e.Category).value_or(AprsSymbol{});
}

std::string AprsReadableComment(const DbRecord& e, AprsDaoDigits dao, bool name_is_callsign, size_t room) {
    const bool airborne = e.PosKind == "A";
    std::string c;
    char text[24];
    if (airborne) {
        if (e.Altitude >= 0) std::snprintf(text, sizeof text, "/A=%06d", std::min(e.Altitude, 999999));
        else std::snprintf(text, sizeof text, "/A=-%05d", std::min(-e.Altitude, 99999));
        c = text;
    }
    // Appends `item` (blank-separated) when it fits; false when it does not.
    auto add = [&](const std::string& item) {
        if (item.empty()) return true;
        const size_t sep = c.empty() ? 0 : 1;
        if (c.size() + sep + item.size() > room) return false;
        if (sep) c += ' ';
        c += item;
        return true;
    };
    if (e.InEmergency() && !add("EMERGENCY")) return c;
    if (e.Squawk >= 0) {
        std::snprintf(text, sizeof text, "Sq%04d", std::min<int>(e.Squawk, 7777));
        if (!add(text)) return c;
    }
    // Level flight says nothing worth the room; on the surface a climb is stale.
    if (airborne && e.HasVertRate && e.VertRate != 0) {
        std::snprintf(text, sizeof text, "%+dfpm", std::clamp(e.VertRate, -99999, 99999));
        if (!add(text)) return c;
    }
    // APRS 1.2 "!DAO!": datum W (WGS 84), upper case: the digits are human-readable.
    if (!add(std::string{'!', 'W', dao.lat, dao.lon, '!'})) return c;
    if (!name_is_callsign && !add(AprsCallsign(e))) return c;
    const std::string airline = AsciiName(e.Airline);
    const size_t sep = c.empty() ? 0 : 1;
    if (c.size() + sep < room) add(WholeWords(airline, room - c.size() - sep));
    return c;
}

}  // namespace ternwick
