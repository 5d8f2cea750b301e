#include "cpr_encoder.h"

#include <cmath>
#include <numbers>

namespace ternwick::traffic {

namespace {

constexpr int kNz = 15;              // latitude zones per quarter of a meridian
constexpr double kScale = 131072.0;  // 2^17: the reports are 17-bit fractions of a zone

// MOD(x, y) of DO-260B: x - y * floor(x / y), never negative for y > 0.
double Mod(double x, double y) {
    return x - y * std::floor(x / y);
}

}  // namespace

int NumberOfZones(double lat_deg) {
    const double a = std::fabs(lat_deg);
    if (a == 0.0) return 59;
    if (a == 87.0) return 2;
    if (a > 87.0) return 1;
    const double pi = std::numbers::pi;
    const double c = std::cos(pi / 180.0 * a);
    const double nl = std::floor(2 * pi / std::acos(1 - (1 - std::cos(pi / (2 * kNz))) / (c * c)));
    return static_cast<int>(nl);
}

CprReport EncodeCpr(double lat_deg, double lon_deg, int odd, bool surface) {
    const double circle = surface ? 90.0 : 360.0;
    const int i = odd ? 1 : 0;

    // Latitude: 60 even or 59 odd zones; the report is the position within its zone.
    const double dlat = circle / (4 * kNz - i);
    const double yz = std::floor(kScale * Mod(lat_deg, dlat) / dlat + 0.5);
    const double rlat = dlat * (yz / kScale + std::floor(lat_deg / dlat));

    // Longitude: NL(rlat) - i zones at that latitude, at least one.
    const int nl = NumberOfZones(rlat);
    const int ni = nl - i > 0 ? nl - i : 1;
    const double dlon = circle / ni;
    const double xz = std::floor(kScale * Mod(lon_deg, dlon) / dlon + 0.5);

    // A position on the very top of a zone rounds to 2^17, which is 0 of the next zone.
    CprReport r;
    r.lat = static_cast<uint32_t>(Mod(yz, kScale));
    r.lon = static_cast<uint32_t>(Mod(xz, kScale));
    r.rlat = rlat;
    return r;
}

}  // namespace ternwick::traffic
