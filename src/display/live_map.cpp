#include "display/live_map.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "display/label_placement.h"
#include "display/live_map_style.h"
#include "display/map_surface.h"
#include "display/projection.h"

namespace ternwick {

namespace {

std::string Trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

}  // namespace

uint32_t PickAircraft(const LiveMapFrame& frame, double x, double y, double max_px) {
    uint32_t best = kNoAddress;
    double best_d = max_px;
    for (const DrawnAircraft& a : frame.aircraft) {
        const double d = std::hypot(a.x - x, a.y - y);
        if (d <= best_d) {
            best_d = d;
            best = a.key;
        }
    }
    return best;
}

std::string ViewDescription(const geo::ViewProjection& view, int aircraft) {
    const geo::LatLon c = view.centre();
    char buf[128];
    std::snprintf(buf, sizeof buf, "centre %.4f %c %.4f %c, %.1f km across, %d aircraft", std::abs(c.lat),
                  c.lat < 0 ? 'S' : 'N', std::abs(c.lon), c.lon < 0 ? 'W' : 'E', view.km_across(), aircraft);
    return buf;
}

std::string LabelLine1(const DbRecord& e) {
    const std::string call = Trimmed(e.Flight);
    if (!call.empty() && call != "No-Call") return call;
    return e.Icao;
}

std::string EmergencyCode(const DbRecord& e) {
    if (e.Squawk == 7500 || e.Squawk == 7600 || e.Squawk == 7700) return std::to_string(e.Squawk);
    static const char* const kStates[8] = {"", "EMERG", "MEDICAL", "FUEL", "NORDO", "UNLAWFUL", "DOWNED", "EMERG"};
    if (e.Emergency > 0 && e.Emergency < 8) return kStates[e.Emergency];
    return {};
}

std::string LabelLine2(const DbRecord& e) {
    std::string line;
    if (e.PosKind == "S") {
        line = "GND";
    } else if (e.PosKind == "A") {
        char buf[16];
        std::snprintf(buf, sizeof buf, "FL%03ld", std::lround(e.Altitude / 100.0));
        line = buf;
    }
    const std::string code = EmergencyCode(e);
    if (!code.empty()) line += line.empty() ? code : " " + code;
    return line;
}

bool FitView(const FlightTable& db, int width, int height, geo::LatLon& centre, double& km_across) {
    // Three passes: centre on the box of the aircraft as seen from the last centre, then
    // size the view to that box.
    bool any = false;
    for (int pass = 0; pass < 3; ++pass) {
        const geo::ViewProjection probe(centre, 1000, 1000, 1000);  // 1 px = 1 km
        double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
        for (int i = 0; i <= FlightTable::kLast; ++i) {
            const DbRecord& e = db(i);
            geo::ScreenPoint s;
            if (e.Icao.empty() || !e.HasPos || !probe.ToScreen({e.Lat, e.Lon}, s)) continue;
            any = true;
            x0 = std::min(x0, s.x), x1 = std::max(x1, s.x), y0 = std::min(y0, s.y), y1 = std::max(y1, s.y);
        }
        if (!any) return false;
        probe.FromScreen({(x0 + x1) / 2, (y0 + y1) / 2}, centre);
        const double aspect = std::max(1, width) / double(std::max(1, height));
        // Room for the symbols and their labels at the edges.
        km_across = std::max(x1 - x0, (y1 - y0) * aspect) * 1.2 + 10;
    }
    return true;
}

double HeadingDeg(const DbRecord& e, const LiveAircraft* a) {
    if (e.Track >= 0) return e.Track;
    if (!a || a->trail.size() < 2) return -1;
    const TrailPoint& p = a->trail[a->trail.size() - 2];
    const TrailPoint& q = a->trail.back();
    if (p.lat == q.lat && p.lon == q.lon) return -1;
    return geo::BearingDeg({p.lat, p.lon}, {q.lat, q.lon});
}

LiveMapRenderer::LiveMapRenderer() {
    label_font_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    label_font_.setPixelSize(11);
    label_font_.setBold(true);
    small_font_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    small_font_.setPixelSize(10);
    advance_.fill(-1);
}

void LiveMapRenderer::DrawBaseLayers(const geo::ViewProjection& view, const LiveMapState& state) {
    const geo::LatLon c = view.centre();
    BaseKey key{c.lat, c.lon, view.km_across(), view.width(), view.height(), state.receiver.has_value(),
                state.receiver ? state.receiver->lat : 0, state.receiver ? state.receiver->lon : 0, state.use_kmh,
                state.outlines, state.outlines && state.outlines->Has(DetailFor(view))};
    if (base_valid_ && key == base_key_) return;
    if (base_.width() != view.width() || base_.height() != view.height())
        base_ = QImage(view.width(), view.height(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&base_);
    DrawBase(p, view, state);
    if (state.outlines) DrawOutlines(p, view, *state.outlines);
    DrawGraticule(p, view);
    DrawRings(p, view, state);
    base_key_ = key;
    base_valid_ = true;
}

LiveMapFrame LiveMapRenderer::Render(QImage& image, const geo::ViewProjection& view, const LiveMapState& state) {
    // The base map changes only with the view; the traffic is drawn over a copy of it.
    DrawBaseLayers(view, state);
    if (image.size() == base_.size() && image.format() == base_.format())
        std::memcpy(image.bits(), base_.constBits(), static_cast<size_t>(base_.sizeInBytes()));
    else
        image = base_.copy();
    LiveMapFrame frame;
    QPainter p(&image);
    DrawCoverage(p, view, state);
    if (!state.db) {
        DrawScaleBar(p, view, state.use_kmh);
        return frame;
    }
    const FlightTable& db = *state.db;
    const double w = view.width(), h = view.height();
    const double margin = 2 * kSymbolRadius;

    // Which aircraft are in view, and where.
    std::vector<Item> items;
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = db(i);
        if (e.Icao.empty() || !e.HasPos) continue;
        geo::ScreenPoint s;
        double arc = 0;
        if (!view.ToScreen({e.Lat, e.Lon}, s, &arc) || arc > 170) continue;
        if (s.x < -margin || s.y < -margin || s.x > w + margin || s.y > h + margin) continue;
        const uint32_t key = AddressKey(e.Icao);
        const LiveAircraft* live = state.tracks ? state.tracks->Find(key) : nullptr;
        const bool surface = e.PosKind == "S";
        const double age = live ? state.now - live->position_time : 0;
        const bool stale = age > (surface ? state.surf_expire : state.air_expire);
        items.push_back({i, key, s, live, ColorFromRgbValue(EntryColour(e.Icao, e.PosKind)), surface, stale,
                         e.InEmergency()});
    }
    for (const Item& it : items) frame.aircraft.push_back({it.key, it.index, it.s.x, it.s.y, false});
    DrawTrails(p, view, state, items);
    DrawSymbols(p, view, state, items);
    DrawLabels(p, view, state, items, frame);
    DrawScaleBar(p, view, state.use_kmh);
    return frame;
}

}  // namespace ternwick
