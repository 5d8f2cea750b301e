// Adding a map of the user's own area to the catalogue: the frame around a centre, the marks
// and surface offset that suit it, and the catalogue text with the new entry.
#pragma once

#include <string>
#include <string_view>

namespace ternwick::maps {

// One new catalogue entry.
struct NewMap {
    std::string name;
    std::string file;  // relative to the catalogue's folder: "maps/home.png"
    double lon_west = 0, lon_span = 0, lat_south = 0, lat_span = 0;
    int dot_radius = 0, draw_width = 0;
    double surf_offset = 0;
};

// "LAT,LON" in decimal degrees, south and west negative. False with a message naming --centre.
bool ParseCentre(const std::string& text, double& lat, double& lon, std::string& error);

// The frame of a map centred on lat,lon, `span` degrees of longitude wide and half that high
// (2:1, as the shipped maps); its west edge within -180..180. The dot radius and line width
// follow the span as on the shipped maps (4 and 2 up to 12 degrees, 3 and 1 up to 120, then 2
// and 1), the surface offset is the quarter of the globe (-180, -90, 0, 90) holding the
// centre. False with a message when the span is outside 0.1..360 degrees or the frame would
// pass a pole.
bool MakeFrame(const std::string& name, double lat, double lon, double span, NewMap& map, std::string& error);

// The picture file for a name: "maps/" and the name in lower case, letters and digits with
// dashes between, ".png"; "map" for a name with neither.
std::string PictureFileFor(const std::string& name);

// The catalogue line of an entry, without its line end.
std::string CatalogueLine(const NewMap& map);

// The catalogue text with `map` added as entry N+1: the count on the first line raised, the
// entry's line placed after the line of the last map (what follows it stays after it), every
// other byte as it was. The line end follows the file's own (CR LF or LF). False with a
// message when the catalogue does not read, already holds the name (in any case), holds the
// maximum number of maps, or the name cannot be written in it (a double quote or line end).
bool AddToCatalogue(std::string_view text, const std::string& file_name, const NewMap& map, std::string& out,
                    std::string& error);

}  // namespace ternwick::maps
