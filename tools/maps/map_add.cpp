#include "map_add.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/field_reader.h"
#include "display/map_catalogue.h"

namespace ternwick::maps {

namespace {

bool ParseNumber(std::string_view s, double& out) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && std::isfinite(out);
}

// Up to six decimals, no trailing zeros: "121.9", "4", "-0.25".
std::string Number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Byte offset just past the end of line `line` (1-based; CR LF, LF and a lone CR each end a
// line, as the field reader counts them), or npos when that line is the last and has no end.
size_t EndOfLine(std::string_view text, int line) {
    int at = 1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        if (at++ == line) return i + 1;
    }
    return std::string_view::npos;
}

}  // namespace

bool ParseCentre(const std::string& text, double& lat, double& lon, std::string& error) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos || !ParseNumber(std::string_view(text).substr(0, comma), lat) ||
        !ParseNumber(std::string_view(text).substr(comma + 1), lon)) {
        error = "--centre '" + text + "': give latitude and longitude in decimal degrees, e.g. 10.3,123.9";
        return false;
    }
    if (lat < -90 || lat > 90) {
        error = "--centre '" + text + "': latitude must lie within -90..90 degrees";
        return false;
    }
    if (lon < -180 || lon > 180) {
        error = "--centre '" + text + "': longitude must lie within -180..180 degrees (west negative)";
        return false;
    }
    return true;
}

bool MakeFrame(const std::string& name, double lat, double lon, double span, NewMap& map, std::string& error) {
    if (!(span >= 0.1 && span <= 360)) {
        error = "--span " + Number(span) + ": the map must be 0.1 to 360 degrees of longitude wide";
        return false;
    }
    const double half_height = span / 4;
    if (lat + half_height > 90 || lat - half_height < -90) {
        error = "--span " + Number(span) + ": a map " + Number(span / 2) + " degrees high centred on " + Number(lat) +
                " degrees would pass the pole; at most " + Number(4 * (90 - std::fabs(lat))) + " degrees fit there";
        return false;
    }
    map = NewMap{};
    map.name = name;
    map.file = PictureFileFor(name);
    double west = std::round((lon - span / 2) * 1e6) / 1e6;
    if (west < -180) west += 360;
    if (west >= 180) west -= 360;
    map.lon_west = west;
    map.lon_span = span;
    map.lat_south = std::round((lat - half_height) * 1e6) / 1e6;
    map.lat_span = span / 2;
    map.dot_radius = span <= 12 ? 4 : span <= 120 ? 3 : 2;
    map.draw_width = span <= 12 ? 2 : 1;
    // Surface positions are decoded within a quarter of the globe, 0..90 degrees, then moved
    // by this offset: the quarter that holds the map's centre.
    const double quarter = 90 * std::floor(lon / 90);
    map.surf_offset = quarter >= 180 ? -180 : quarter;
    return true;
}

std::string PictureFileFor(const std::string& name) {
    std::string slug;
    for (unsigned char c : name) {
        if (std::isalnum(c) && c < 0x80) slug += static_cast<char>(std::tolower(c));
        else if (!slug.empty() && slug.back() != '-') slug += '-';
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return "maps/" + (slug.empty() ? std::string("map") : slug) + ".png";
}

std::string CatalogueLine(const NewMap& m) {
    return "\"" + m.name + "\",\"" + m.file + "\"," + Number(m.lon_west) + "," + Number(m.lon_span) + "," +
           Number(m.lat_south) + "," + Number(m.lat_span) + "," + std::to_string(m.dot_radius) + "," +
           std::to_string(m.draw_width) + "," + Number(m.surf_offset);
}

bool AddToCatalogue(std::string_view text, const std::string& file_name, const NewMap& map, std::string& out,
                    std::string& error) {
    if (map.name.empty() || map.name.find_first_of("\"\r\n") != std::string::npos) {
        error = "the map name \"" + map.name + "\" cannot be written in the catalogue (it is empty or holds a "
                "double quote or a line end)";
        return false;
    }
    MapTable table;
    if (!ParseMapCatalogue(text, file_name, table, error)) return false;
    const int n = static_cast<int>(table.size()) - 1;
    for (int k = 1; k <= n; ++k) {
        if (Lower(table[k].MapName) == Lower(map.name)) {
            error = file_name + " already holds a map named \"" + table[k].MapName + "\" (map " + std::to_string(k) +
                    "); choose another name";
            return false;
        }
    }
    if (n >= 32767) {
        error = file_name + " already holds the largest number of maps it can hold";
        return false;
    }

    // The line of the last map's last field: the new entry follows it.
    FieldReader reader(text);
    std::string field;
    reader.Next(field);
    for (int i = 0; i < 9 * n; ++i) reader.Next(field);
    const int last_line = reader.Line();

    // The count: the first field, which the parser has just read as a number.
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t' || text[start] == '"')) ++start;
    size_t end = start;
    while (end < text.size() && std::string_view("+-0123456789.eE").find(text[end]) != std::string_view::npos) ++end;

    const size_t first_end = text.find_first_of("\r\n");
    std::string eol = "\n";
    if (first_end != std::string_view::npos && text[first_end] == '\r')
        eol = first_end + 1 < text.size() && text[first_end + 1] == '\n' ? "\r\n" : "\r";

    const size_t insert_at = EndOfLine(text, last_line);
    out.assign(text.substr(0, start));
    out += std::to_string(n + 1);
    if (insert_at == std::string_view::npos) {
        out.append(text.substr(end));
        out += eol + CatalogueLine(map) + eol;
    } else {
        out.append(text.substr(end, insert_at - end));
        out += CatalogueLine(map) + eol;
        out.append(text.substr(insert_at));
    }

    // The new text must read back as the old maps and the new one, or nothing is written.
    MapTable check;
    std::string why;
    const bool same = ParseMapCatalogue(out, file_name, check, why) && check.size() == table.size() + 1 &&
                      std::equal(table.begin() + 1, table.end(), check.begin() + 1,
                                 [](const MapDef& a, const MapDef& b) {
                                     return a.MapName == b.MapName && a.MapFile == b.MapFile &&
                                            a.MapLonWest == b.MapLonWest && a.MapLatSouth == b.MapLatSouth;
                                 }) &&
                      check.back().MapName == map.name && check.back().MapFile == map.file;
    if (!same) {
        error = file_name + ": the new map cannot be added without changing how the maps already there are read "
                "(is more than one map written on a line?); add it by hand";
        return false;
    }
    return true;
}

}  // namespace ternwick::maps
