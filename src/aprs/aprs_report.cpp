#include "aprs_report.h"

#include <cmath>
#include <cstdio>

#include "common/longitude.h"

namespace ternwick {

namespace {

// Whole degrees and whole minutes of a non-negative angle, both rounded down.
void DegreesMinutes(double value, int& degrees, int& minutes) {
    const double d = std::floor(value);
    int m = static_cast<int>(std::floor((value - d) * 60.0));
    if (m > 59) m = 59;
    if (m < 0) m = 0;
    degrees = static_cast<int>(d);
    minutes = m;
}

}  // namespace

std::string AprsObjectLine(const DbRecord& e, const AprsTime& t) {
    // Longitude into -180..180 (the table keeps airborne positions in 0..360, and a
    // surface position may fall below 0 once its map offset is added).
    const double lon = SignedLongitude(e.Lon);
    const double lat = e.Lat;

    int lat_deg = 0, lat_min = 0, lon_deg = 0, lon_min = 0;
    DegreesMinutes(std::fabs(lat), lat_deg, lat_min);
    DegreesMinutes(std::fabs(lon), lon_deg, lon_min);
    const char ns = lat < 0.0 ? 'S' : 'N';
    const char ew = lon < 0.0 ? 'W' : 'E';

    // Position: DDMM.hh with the hundredths of the latitude left blank (position
    // ambiguity), DDDMM.hh for the longitude; table "/" and symbol "^" (aircraft).
    char pos[64];
    std::snprintf(pos, sizeof pos, "%02d%02d%02dz%02d%02d.  %c/%03d%02d.00%c^", t.day % 100, t.hour % 100,
                  t.minute % 100, lat_deg % 100, lat_min, ns, lon_deg % 1000, lon_min, ew);
    std::string line = kAprsHeader;
    line += e.Icao;
    line += "   *";
    line += pos;
    line += e.Flight;
    line += '\r';
    return line;
}

}  // namespace ternwick
