#include "receiver_setting.h"

#include "common/number_text.h"

#include <cmath>
#include <cstdio>

namespace ternwick {

namespace {

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

bool ParseReceiverPosition(std::string_view text, geo::LatLon& out, std::string& why) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos) {
        why = "must be LAT,LON in decimal degrees (south and west negative)";
        return false;
    }
    geo::LatLon p;
    std::string reason;
    if (!ParseOptionNumber(Trimmed(text.substr(0, comma)), -90, 90, false, p.lat, reason)) {
        why = "latitude " + reason;
        return false;
    }
    if (!ParseOptionNumber(Trimmed(text.substr(comma + 1)), -180, 180, false, p.lon, reason)) {
        why = "longitude " + reason;
        return false;
    }
    out = p;
    return true;
}

bool ParseMaxRange(std::string_view text, double& nm, std::string& why) {
    return ParseOptionNumber(Trimmed(text), kMinMaxRangeNm, kMaxMaxRangeNm, false, nm, why);
}

std::string FarthestText(const geo::Coverage& coverage, bool km) {
    const auto& f = coverage.Farthest();
    if (!f) return "Farthest: none yet";
    char line[96];
    const long bearing = std::lround(f->bearing_deg) % 360;
    std::snprintf(line, sizeof line, "Farthest: %.1f %s at %03ld deg", km ? f->range_nm * geo::kKmPerNm : f->range_nm,
                  km ? "km" : "NM", bearing);
    return line;
}

}  // namespace ternwick
