// The map catalogue "setup.txt": N, then nine fields per map (name, picture file, frame,
// mark sizes, surface longitude offset). Parsing and the picture path lookup live here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ternwick {

// One catalogue entry, and also the current map (the copy drawing and decoding read).
struct MapDef {
    std::string MapName;
    std::string MapFile;           // picture file as written in the catalogue
    double MapLonWest = 0.0;       // degrees, left edge
    double MapLatSouth = 0.0;      // degrees, bottom edge
    double MapLatSpan = 0.0;       // degrees of latitude over the picture height
    double MapLonSpan = 0.0;       // degrees of longitude over the picture width
    int16_t MapDotRadius = 0;      // pixels
    int16_t MapDrawWidth = 0;      // pixels
    double MapSurfLonOffset = 0.0; // degrees added to decoded surface longitudes
};

// MapTable: index 0 is unused and stays empty; entries 1..N are the maps in file order.
using MapTable = std::vector<MapDef>;

// Parses the catalogue text. `file_name` only names the file in messages. On failure
// returns false with one message naming the file, the map number and the field.
bool ParseMapCatalogue(std::string_view text, const std::string& file_name, MapTable& table,
                       std::string& error);

// Reads and parses the catalogue file at `path`.
bool LoadMapCatalogue(const std::string& path, MapTable& table, std::string& error);

// Where the picture of a map is: MapFile as written (absolute, or relative to the current
// directory); if that does not exist and the path is relative, the same path under
// app_folder, so the program also finds its shipped maps when started from elsewhere.
std::string ResolveMapFile(const std::string& map_file, const std::string& app_folder);

}  // namespace ternwick
