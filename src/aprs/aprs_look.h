// How an aircraft's object reads on an APRS map: its name (the address, or the callsign once
// known), its symbol (one for all, or by the emitter category it announces) and the comment
// people read beside it (emergency, squawk, climb, the !DAO! precision digits, flight, airline).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "flights/flight_table.h"

namespace ternwick {

// APRS 1.01: an object name is 9 characters, padded with blanks.
inline constexpr size_t kAprsNameLength = 9;

// A symbol: the table ("/" primary, "\" alternate, or an overlay character on the alternate
// table) and the code within it.
struct AprsSymbol {
    char table = '/';
    char code = '^';  // "large aircraft", the long-standing symbol for every aircraft
    bool operator==(const AprsSymbol&) const = default;
};

enum class AprsNaming {
    Address,  // the 24-bit address, as always
    Flight,   // the callsign once one is known, else the address
};

// The symbol setting: a fixed symbol, or one by emitter category (with the fixed one for
// categories that have none of their own).
struct AprsSymbolChoice {
    bool by_category = false;
    AprsSymbol fixed;
    bool operator==(const AprsSymbolChoice&) const = default;
};

// Everything that decides how an object reads; the defaults give the long-standing reports.
struct AprsLook {
    AprsNaming naming = AprsNaming::Address;
    AprsSymbolChoice symbol;
    bool comment = false;  // the readable comment (with the rich position form)
    bool operator==(const AprsLook&) const = default;
};

// "address" or "flight"; an empty text, or why the text is neither.
std::string ParseAprsNaming(std::string_view text, AprsNaming& out);
// "category", or two characters: the table ("/", "\", or an overlay 0-9 / A-Z) and a code
// from "!" to "~". An empty text, or why the text is no symbol.
std::string ParseAprsSymbol(std::string_view text, AprsSymbolChoice& out);
// The text ParseAprsSymbol reads back into the same choice.
std::string AprsSymbolText(const AprsSymbolChoice& choice);

// The callsign of e for names and comments: the flight identification without the blanks
// around it; empty when none was heard (blanks, or the all-call reply's "No-Call").
std::string AprsCallsign(const DbRecord& e);
// The 9-character object name of e: the address (as stored, blanks after it), or with
// AprsNaming::Flight the callsign once known.
std::string AprsObjectName(const DbRecord& e, AprsNaming naming);

// The symbol for an emitter category (DbRecord::Category: 0xA0 + category for type code 4
// down to 0xD0 + category for type code 1); none for categories without a symbol of their own.
std::optional<AprsSymbol> CategorySymbol(uint8_t category);
AprsSymbol SymbolFor(const DbRecord& e, const AprsSymbolChoice& choice);

// The extra digit of the minutes of latitude and of longitude (thousandths), '0' to '9',
// that the APRS 1.2 "!DAO!" extension adds to a DDMM.hh position.
struct AprsDaoDigits {
    char lat = '0';
    char lon = '0';
};

// The readable comment of e after the course/speed extension, in at most `room` characters:
// the altitude "/A=nnnnnn" (airborne), then, separated by blanks and as long as they fit, in
// this order: "EMERGENCY", the squawk "Sq7700", the climb "+1216fpm" (airborne), "!Wxy!" (the
// DAO digits: always fits on the surface), the callsign (unless `name_is_callsign`) and the
// airline's name (whole words, as many as fit). An item that does not fit drops every item
// after it: the earlier ones matter more.
std::string AprsReadableComment(const DbRecord& e, AprsDaoDigits dao, bool name_is_callsign, size_t room);

}  // namespace ternwick
