#include "map_catalogue.h"

#include <charconv>
#include <cmath>
#include <filesystem>

#include "common/field_reader.h"
#include "common/number_text.h"

namespace ternwick {

namespace {

// The nine fields of a map in the order the file gives them.
enum class Field { Name, File, LonWest, LonSpan, LatSouth, LatSpan, DotRadius, DrawWidth, SurfOffset };
constexpr const char* kFieldNames[] = {"MapName",     "MapFile",      "MapLonWest",
                                       "MapLonSpan",  "MapLatSouth",  "MapLatSpan",
                                       "MapDotRadius", "MapDrawWidth", "MapSurfLonOffset"};

// A number field read in full with "." as the decimal point whatever the locale.
bool ReadNumber(const std::string& field, double& out) {
    if (field.empty()) return false;
    const char* first = field.data();
    const char* last = field.data() + field.size();
    if (*first == '+') ++first;  // from_chars takes no plus sign
    const auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last && std::isfinite(out);
}

// Integer fields accept a decimal written in the file and take the nearest integer,
// halves to the even neighbour, as the 16-bit fields of the record always have.
bool ReadInt16(const std::string& field, int16_t& out, bool& out_of_range) {
    double v = 0.0;
    out_of_range = false;
    if (!ReadNumber(field, v)) return false;
    const double r = RoundHalfEven(v);
    if (r < -32768.0 || r > 32767.0) {
        out_of_range = true;
        return false;
    }
    out = static_cast<int16_t>(r);
    return true;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// What each number field may hold: a frame on the globe, and marks an 800 x 400 picture can
// show. A dot radius of thousands would make every circle an image of gigabytes; a span of
// 0 or below divides by zero in the projection, and one of a hair (1e-9) puts points so far
// off the picture that no pixel coordinate holds them. A thousandth of a degree (about
// 110 m over the picture) is closer than any receiver's map needs.
struct Range {
    double min, max;
    bool min_exclusive;
    std::string text;
};
const Range kRanges[] = {
    {0, 0, false, ""},
    {0, 0, false, ""},
    {-360, 360, false, "-360 to 360 degrees"},
    {0.001, 360, false, "0.001 to 360 degrees"},
    {-90, 90, false, "-90 to 90 degrees"},
    {0.001, 180, false, "0.001 to 180 degrees"},
    {0, 50, false, "0 to 50 pixels"},
    {0, 20, false, "0 to 20 pixels"},
    {-360, 360, false, "-360 to 360 degrees"},
};

}  // namespace

bool ParseMapCatalogue(std::string_view text, const std::string& file_name, MapTable& table,
                       std::string& error) {
    const std::string where = "Map catalogue " + Quoted(file_name);
    FieldReader reader(text);
    std::string field;
    if (!reader.Next(field)) {
        error = where + " is empty: the number of maps is missing";
        return false;
    }
    int16_t n = 0;
    bool out_of_range = false;
    if (!ReadInt16(field, n, out_of_range)) {
        error = where + ", line " + std::to_string(reader.Line()) + ", number of maps: " + Quoted(field) +
                (out_of_range ? " is out of range" : " is not a number");
        return false;
    }
    if (n < 1) {
        error = where + ", line " + std::to_string(reader.Line()) + ": the number of maps is " +
                std::to_string(n) + "; it must be at least 1";
        return false;
    }

    MapTable read(static_cast<size_t>(n) + 1);
    for (int k = 1; k <= n; ++k) {
        MapDef& m = read[static_cast<size_t>(k)];
        for (int f = 0; f < 9; ++f) {
            const std::string map_field = ", map " + std::to_string(k) + ", field " + kFieldNames[f];
            if (!reader.Next(field)) {
                error = where + " ends early" + map_field + " is missing (the file announces " +
                        std::to_string(n) + (n == 1 ? " map)" : " maps)");
                return false;
            }
            const Field which = static_cast<Field>(f);
            if (which == Field::Name) {
                m.MapName = field;
                continue;
            }
            if (which == Field::File) {
                m.MapFile = field;
                continue;
            }
            bool ok = false;
            switch (which) {
                case Field::LonWest: ok = ReadNumber(field, m.MapLonWest); break;
                case Field::LonSpan: ok = ReadNumber(field, m.MapLonSpan); break;
                case Field::LatSouth: ok = ReadNumber(field, m.MapLatSouth); break;
                case Field::LatSpan: ok = ReadNumber(field, m.MapLatSpan); break;
                case Field::DotRadius: ok = ReadInt16(field, m.MapDotRadius, out_of_range); break;
                case Field::DrawWidth: ok = ReadInt16(field, m.MapDrawWidth, out_of_range); break;
                case Field::SurfOffset: ok = ReadNumber(field, m.MapSurfLonOffset); break;
                default: break;
            }
            const Range& r = kRanges[f];
            const double v = which == Field::DotRadius   ? m.MapDotRadius
                             : which == Field::DrawWidth ? m.MapDrawWidth
                             : which == Field::LonWest   ? m.MapLonWest
                             : which == Field::LonSpan   ? m.MapLonSpan
                             : which == Field::LatSouth  ? m.MapLatSouth
                             : which == Field::LatSpan   ? m.MapLatSpan
                                                         : m.MapSurfLonOffset;
            const bool in_range = ok && (r.min_exclusive ? v > r.min : v >= r.min) && v <= r.max;
            if (!in_range) {
                const bool range = out_of_range || ok;
                error = where + map_field + " (line " + std::to_string(reader.Line()) + "): " + Quoted(field) +
                        (range ? " is out of range (" + r.text + ")" : " is not a number");
                return false;
            }
        }
    }
    // Whatever follows the last map is not read.
    table = std::move(read);
    return true;
}

bool LoadMapCatalogue(const std::string& path, MapTable& table, std::string& error) {
    std::string text, why;
    if (!ReadWholeFile(path, text, why)) {
        error = "Map catalogue \"" + path + "\" cannot be read (" + why + ")";
        return false;
    }
    return ParseMapCatalogue(text, path, table, error);
}

std::string ResolveMapFile(const std::string& map_file, const std::string& app_folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(map_file);
    if (map_file.empty() || p.is_absolute() || fs::exists(p, ec) || app_folder.empty()) return map_file;
    const fs::path beside = fs::path(app_folder) / p;
    return fs::exists(beside, ec) ? beside.string() : map_file;
}

}  // namespace ternwick
