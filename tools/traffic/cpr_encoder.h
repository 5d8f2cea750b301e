// Compact Position Reporting encoder (DO-260B A.1.7, ICAO Annex 10 Vol III): turns a
// latitude/longitude into the 17-bit even or odd reports of airborne and surface messages.
#pragma once

#include <cstdint>

namespace ternwick::traffic {

// Number of longitude zones NL at a latitude, from the closed formula of DO-260B with
// NZ = 15: 59 at the equator, 2 at exactly 87 degrees, 1 beyond.
int NumberOfZones(double lat_deg);

struct CprReport {
    uint32_t lat = 0;  // YZ, 17 bits
    uint32_t lon = 0;  // XZ, 17 bits
    double rlat = 0;   // the latitude the report stands for (what a decoder recovers),
                       // whose NL must match the other format's for a global decode
};

// odd: 0 even, 1 odd. Airborne reports divide the globe into 360-degree zones, surface
// reports into 90-degree zones (four times the resolution, a quarter of the range).
CprReport EncodeCpr(double lat_deg, double lon_deg, int odd, bool surface);

}  // namespace ternwick::traffic
