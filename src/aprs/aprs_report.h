// The APRS object report for a plotted aircraft: one line in monitor text form
// ("SRC>DST,PATH:info", APRS 1.01 object format) ending in a carriage return.
#pragma once

#include <string>

#include "flights/flight_table.h"

namespace ternwick {

// Source, destination, path and the object report type character.
inline constexpr char kAprsHeader[] = "QZ7TRK>APZ001,TCPIP*:;";
// Sent once when the report port has been opened.
inline constexpr char kAprsPortOpenText[] = "APRS Port Open\r";

// Day of the month (1..31), hour (0..23) and minute (0..59) of the UTC clock, stamped on a
// report: the "z" after them means UTC.
struct AprsTime {
    int day = 1;
    int hour = 0;
    int minute = 0;
};

// The report line for entry e: object name (the address and blanks to nine characters),
// live marker, DDHHMMz time, latitude and longitude in whole degrees and whole minutes
// (never rounded up), the aircraft symbol "/^", and the flight identification as comment.
// South and west positions carry "S"/"W" with unsigned degrees; a longitude above 180 in
// the table is 360 - lon degrees west.
std::string AprsObjectLine(const DbRecord& e, const AprsTime& t);

}  // namespace ternwick
