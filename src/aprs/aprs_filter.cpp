#include "aprs_filter.h"

namespace ternwick {

AprsFilterRule AprsFilterCheck(const AprsFilter& f, const DbRecord& e, const std::optional<geo::LatLon>& receiver) {
    if (f.radius_nm > 0.0 &&
        (!receiver || !e.HasPos || geo::DistanceNm(*receiver, {e.Lat, e.Lon}) > f.radius_nm))
        return AprsFilterRule::Radius;
    if (f.min_feet > 0 || f.max_feet > 0) {
        const bool surface = e.PosKind == "S";
        if (!surface && !e.HasAltitude)
            return f.min_feet > 0 ? AprsFilterRule::MinAltitude : AprsFilterRule::MaxAltitude;
        const int feet = surface ? 0 : e.Altitude;
        if (f.min_feet > 0 && feet < f.min_feet) return AprsFilterRule::MinAltitude;
        if (f.max_feet > 0 && feet > f.max_feet) return AprsFilterRule::MaxAltitude;
    }
    if (f.callsign_only && e.Flight.find_first_not_of(' ') == std::string::npos) return AprsFilterRule::Callsign;
    return AprsFilterRule::Pass;
}

void AprsFiltered::Count(AprsFilterRule rule) {
    switch (rule) {
        case AprsFilterRule::Radius: ++radius; break;
        case AprsFilterRule::MinAltitude: ++min_alt; break;
        case AprsFilterRule::MaxAltitude: ++max_alt; break;
        case AprsFilterRule::Callsign: ++callsign; break;
        case AprsFilterRule::Pass: break;
    }
}

}  // namespace ternwick
