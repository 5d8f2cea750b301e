// Longitude/latitude to map picture units (800 x 400, origin top-left), the map window
// test, and the colour of a flight table entry: plain arithmetic, no drawing.
#pragma once

#include <cstdint>
#include <string_view>

#include "map_catalogue.h"

namespace ternwick {

// Degrees east of the map's west edge, taken modulo 360 into 0..360: the table keeps
// airborne longitudes in 0..360, so a map written with a negative west edge (or one that
// crosses the 180th meridian) still finds its aircraft.
double LonIntoFrame(const MapDef& map, double lon);

// True when the position lies strictly inside the map: a position on an edge is off it.
bool OnMap(const MapDef& map, double lon, double lat);

// Picture x and y of a position; each quotient 800 / span and 400 / span is formed first.
// Points west of the map land 360 degrees further east (far right of the picture).
double MapX(const MapDef& map, double lon);
double MapY(const MapDef& map, double lat);
// OnMap and MapX for a longitude already taken into the frame (LonIntoFrame): a plot
// needs both, and the frame once.
bool FrameOnMap(const MapDef& map, double frame_lon, double lat);
double FrameX(const MapDef& map, double frame_lon);

// The colour of an entry from its address: red from characters 4 and 1, green from 5 and 2,
// blue from 6 and 3 (each pair read as hex, halved); a surface entry ("S") is 24 lighter in
// each. The sum is rounded halves to even, which only ever touches the red byte.
double EntryColourExact(std::string_view icao, std::string_view pos_kind);
int32_t EntryColour(std::string_view icao, std::string_view pos_kind);

}  // namespace ternwick
