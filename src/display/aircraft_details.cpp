#include "display/aircraft_details.h"

#include <cmath>
#include <cstdio>

#include "display/live_map.h"
#include "geo/registration.h"

namespace ternwick {

namespace {

std::string Trim(std::string_view s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string_view::npos) return {};
    return std::string(s.substr(a, s.find_last_not_of(' ') - a + 1));
}

std::string OrDash(std::string s) { return s.empty() ? "-" : s; }

std::string Format(const char* fmt, double a, double b = 0, double c = 0) {
    char buf[96];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

std::string Degrees(double lat, double lon) {
    const double l = geo::WrapLon180(lon);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f %c %.4f %c", std::abs(lat), lat < 0 ? 'S' : 'N', std::abs(l),
                  l < 0 ? 'W' : 'E');
    return buf;
}

}  // namespace

std::string TimeOfDay(double seconds) {
    const long s = static_cast<long>(std::floor(std::fmod(std::fmod(seconds, 86400.0) + 86400.0, 86400.0)));
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

std::string AircraftDetailsText(const DbRecord* e, const LiveAircraft* live, const DetailsContext& context) {
    if (!e || e->Icao.empty()) return kNoAircraftSelected;
    const uint32_t key = AddressKey(e->Icao);
    const bool icao = key != kNoAddress && !(key & kNonIcaoFlag);
    std::string country, registration;
    if (icao) {
        country = std::string(geo::AddressCountry(key));
        registration = geo::UsRegistration(key);
    }
    std::string call = Trim(e->Flight);
    if (call == "No-Call") call.clear();

    std::string altitude = "-", vrate = "-", speed = "-", track = "-", position = "-", from_rx = "-";
    if (e->PosKind == "A") altitude = Format("%.0f ft (FL%03.0f)", e->Altitude, std::round(e->Altitude / 100.0));
    else if (e->PosKind == "S") altitude = "on the ground";
    if (e->HasVertRate) vrate = Format("%+.0f ft/min", e->VertRate);
    if (e->Speed > 0 || e->Track >= 0) speed = Format("%.0f kt (%.0f km/h)", e->Speed, std::round(e->Speed * 1.852));
    if (e->Track >= 0) track = Format("%.0f°", std::fmod(std::round(e->Track), 360.0));
    if (e->HasPos) {
        position = Degrees(e->Lat, e->Lon);
        if (context.receiver) {
            const geo::LatLon here{e->Lat, e->Lon};
            const double nm = geo::DistanceNm(*context.receiver, here);
            from_rx = Format("%.1f NM (%.1f km), bearing %03.0f°", nm, nm * geo::kKmPerNm,
                             std::fmod(std::round(geo::BearingDeg(*context.receiver, here)), 360.0));
        }
    }
    // The code as four octal digits; an emergency is said beside it (a TC 28 state may come
    // without any code heard).
    std::string squawk = e->Squawk >= 0 ? Format("%04.0f", e->Squawk) : std::string();
    const std::string emergency = EmergencyCode(*e);
    if (!emergency.empty() && emergency == squawk) squawk += " (emergency)";
    else if (!emergency.empty()) squawk += (squawk.empty() ? "" : " ") + ("(emergency: " + emergency + ")");
    std::string first = "-", last = "-", messages = "-", positions = "-";
    if (live) {
        first = TimeOfDay(live->first_heard) + " UTC";
        last = TimeOfDay(live->last_heard) + " UTC" +
               Format(" (%.0f s ago)", std::max(0.0, std::floor(context.now - live->last_heard)));
        messages = std::to_string(live->messages);
        positions = std::to_string(live->positions);
    }
    const std::pair<const char*, std::string> rows[] = {
        {"ICAO address", e->Icao},
        {"Country", OrDash(country)},
        {"Registration", OrDash(registration)},
        {"Callsign", OrDash(call)},
        {"IATA flight", OrDash(Trim(e->IataFlight))},
        {"Airline", OrDash(Trim(e->Airline))},
        {"Squawk", OrDash(squawk)},
        {"Altitude", altitude},
        {"Vertical rate", vrate},
        {"Ground speed", speed},
        {"Track", track},
        {"Position", position},
        {"From receiver", from_rx},
        {"First heard", first},
        {"Last heard", last},
        {"Messages", messages},
        {"Positions", positions},
    };
    std::string text;
    for (const auto& [name, value] : rows) text += std::string(name) + ": " + value + "\n";
    return text;
}

}  // namespace ternwick
