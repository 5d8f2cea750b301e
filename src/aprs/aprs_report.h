// The APRS object report for a plotted aircraft: the information field (APRS 1.01 object
// format) and the whole line in monitor text form ("SRC>DST,PATH:info") ending in CR.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "aprs/aprs_look.h"
#include "flights/flight_table.h"

namespace ternwick {

// Sent once when the report port has been opened for text lines.
inline constexpr char kAprsPortOpenText[] = "APRS Port Open\r";

// APRS 1.01 limits the comment to 43 characters, the course/speed extension included.
inline constexpr size_t kAprsMaxComment = 43;

// Day of the month (1..31), hour (0..23) and minute (0..59) of the UTC clock, stamped on a
// report: the "z" after them means UTC.
struct AprsTime {
    int day = 1;
    int hour = 0;
    int minute = 0;
};

struct AprsReportStyle {
    // Hundredths of minutes in both coordinates, "CCC/SSS" course and speed when the entry
    // has a track, "/A=nnnnnn" altitude for airborne entries, the flight without its
    // trailing blanks.
    bool rich = false;
    // "_" instead of "*": the object is withdrawn (killed) at this position.
    bool killed = false;
    // The rich position and course/speed with the readable comment (AprsReadableComment)
    // instead of the rich comment.
    bool comment = false;
    // The symbol table and code.
    char table = '/';
    char code = '^';
};

// The information field for entry e: ";", object name (the address and blanks to nine
// characters), live or killed marker, DDHHMMz time, position, the symbol (the aircraft
// "/^" unless the style says otherwise) and the comment. Plain style: whole degrees and
// whole minutes (never rounded up), the latitude's hundredths left blank, the longitude's
// "00", the flight as stored. South and west positions carry "S"/"W" with unsigned degrees;
// a table longitude above 180 is 360 - lon degrees west.
// `name`: the 9-character object name; empty: the address (AprsObjectName of
// AprsNaming::Address).
std::string AprsObjectInfo(const DbRecord& e, const AprsTime& t, AprsReportStyle style = {},
                           std::string_view name = {});

// An aircraft's key in the report memory: its 24-bit address, with bit 24 set for an address
// that is not an ICAO one (written with "~" before the hex digits). Text that is no address
// gives a key no address has.
uint32_t AprsAddressKey(std::string_view icao);
// The address text of a key, as the flight table holds it.
std::string AprsAddressText(uint32_t key);

// The report line with the default station "QZ7TRK>APZ001,TCPIP*:", the plain
// information field and a carriage return (67 bytes for a 6-character address and an
// 8-character flight).
std::string AprsObjectLine(const DbRecord& e, const AprsTime& t);

}  // namespace ternwick
