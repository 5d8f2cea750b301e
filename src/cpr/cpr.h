// CPR arithmetic: the floor remainder and the number of longitude zones (NL) used by
// the global decoding of airborne and surface positions (DO-260B / ICAO Annex 10 Vol III).
// Pure functions, no state.
#pragma once

#include <array>
#include <cmath>
#include <optional>

namespace ternwick {

// val - modval * floor(val / modval): never negative for modval >= 1. Inline: every
// position check calls it a few times.
inline double modulo(double val, double modval) { return val - modval * std::floor(val / modval); }

// Number of longitude zones at latitude val (only |val| matters), 1..59, from the
// table of transition latitudes; a latitude equal to a transition gets the smaller NL.
double calcnl(double val);

// One global decode from an even/odd pair of raw 17-bit reports.
struct CprPair {
    double yz[2];  // latitude reports, [0] even, [1] odd
    double xz[2];  // longitude reports
};

struct CprFix {
    double lat;
    double lon;
};

// Airborne (360-degree zones). f is the format of the newest report: its position is the
// one returned. Latitudes of 270 degrees or more are brought to -90..0 before the zone
// test, so southern positions decode with the right NL. Longitude comes out in 0..360.
// Empty when the two candidate latitudes lie in different NL zones, or a candidate is not a
// latitude at all (90..270 degrees, which only damaged reports give).
std::optional<CprFix> DecodeAirbornePair(const CprPair& p, int f);

// Surface (90-degree zones): the solution with longitude in 0..90 (the caller picks the
// quarter of the globe) and, of the two latitudes 90 degrees apart, the one nearest ref_lat
// (the default gives the northern one, in 0..90). NL is taken at the latitude chosen: a
// southern airport decoded at its northern twin gets a wrong zone count and a longitude
// that makes no sense.
std::optional<CprFix> DecodeSurfacePair(const CprPair& p, int f, double ref_lat = 45.0);

// The same for both reports at once ([0] the even one's position, [1] the odd one's): the
// zone index, the latitudes and their NL are worked out once for the pair.
using CprPairFixes = std::array<CprFix, 2>;
std::optional<CprPairFixes> DecodeAirbornePairs(const CprPair& p);
std::optional<CprPairFixes> DecodeSurfacePairs(const CprPair& p, double ref_lat = 45.0);

// Local decode of one report (raw 17-bit yz, xz of format f) relative to a reference
// position: the solution nearest the reference, right while the aircraft is within half a
// zone of it (3 degrees airborne, 0.75 surface). Longitude is not normalised.
CprFix DecodeLocal(int yz, int xz, int f, bool surface, double ref_lat, double ref_lon);

}  // namespace ternwick
