#include "display/live_map.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

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

geo::ViewProjection LiveMapRenderer::PlaceOnCanvas(const geo::ViewProjection& view, const LiveMapState& state,
                                                   bool keep, QPoint& origin) {
    const int w = view.width(), h = view.height();
    const BaseKey key{view.km_across(), w, h, state.receiver.has_value(), state.receiver ? state.receiver->lat : 0,
                      state.receiver ? state.receiver->lon : 0, state.use_kmh, state.outlines,
                      state.outlines && state.outlines->Has(DetailFor(view))};
    Canvas& c = canvas_;
    auto frame_at = [&](QPoint at) {
        origin = at;
        return c.view.Reframed(w, h, w / 2.0 + c.margin.x() - at.x(), h / 2.0 + c.margin.y() - at.y());
    };
    if (c.valid && c.key == key) {
        if (c.view.centre().lat == view.centre().lat && c.view.centre().lon == view.centre().lon)
            return frame_at(c.margin);
        geo::ScreenPoint middle;
        if (keep && c.proj.ToScreen(view.centre(), middle)) {
            const QPoint at(static_cast<int>(std::lround(middle.x - w / 2.0)),
                            static_cast<int>(std::lround(middle.y - h / 2.0)));
            if (at.x() >= 0 && at.y() >= 0 && at.x() + w <= c.image.width() && at.y() + h <= c.image.height())
                return frame_at(at);
        }
    }
    // A new projection: that of this view. Cells of a quarter view, two of them (half a
    // view) of margin on each side where the view may be dragged.
    c.key = key;
    c.view = view;
    c.cell = QSize((w + 3) / 4, (h + 3) / 4);
    c.margin = view.km_across() <= kKeepMaxKm ? QPoint(2 * c.cell.width(), 2 * c.cell.height()) : QPoint(0, 0);
    const QSize size(w + 2 * c.margin.x(), h + 2 * c.margin.y());
    c.proj = view.Reframed(size.width(), size.height(), w / 2.0 + c.margin.x(), h / 2.0 + c.margin.y());
    if (c.image.size() != size) c.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    c.cells_x = (size.width() + c.cell.width() - 1) / c.cell.width();
    c.cells_y = (size.height() + c.cell.height() - 1) / c.cell.height();
    c.drawn.assign(static_cast<size_t>(c.cells_x * c.cells_y), 0);
    ++c.generation;
    c.valid = true;
    return frame_at(c.margin);
}

void LiveMapRenderer::DrawCanvasCells(QPoint origin, QSize size, const LiveMapState& state, double graticule_step) {
    Canvas& c = canvas_;
    const QRect whole(QPoint(0, 0), c.image.size());
    QRegion missing;
    for (int j = origin.y() / c.cell.height(); j <= (origin.y() + size.height() - 1) / c.cell.height(); ++j) {
        for (int i = origin.x() / c.cell.width(); i <= (origin.x() + size.width() - 1) / c.cell.width(); ++i) {
            char& drawn = c.drawn[static_cast<size_t>(j * c.cells_x + i)];
            if (drawn) continue;
            drawn = 1;
            missing += QRect(QPoint(i * c.cell.width(), j * c.cell.height()), c.cell).intersected(whole);
        }
    }
    if (missing.isEmpty()) return;
    // Every pixel is drawn by one cell only, from the same shapes as its neighbours': no
    // seam where cells drawn at different times meet.
    QPainter p(&c.image);
    p.setClipRegion(missing);
    const QRectF area = missing.boundingRect();
    DrawBase(p, c.proj, area);
    if (state.outlines) DrawOutlines(p, c.proj, *state.outlines, DetailFor(c.view), area);
    DrawGraticule(p, c.proj, area, graticule_step);
    DrawRings(p, c.proj, state, area);
}

LiveMapFrame LiveMapRenderer::Render(QImage& image, const geo::ViewProjection& requested, const LiveMapState& state,
                                     bool keep_projection) {
    // The base map comes from the kept canvas; the traffic is drawn over a copy of the part
    // in view, in the canvas's projection.
    QPoint origin;
    const geo::ViewProjection view = PlaceOnCanvas(requested, state, keep_projection, origin);
    const double step = GraticuleStep(view.km_across());
    const int w = view.width(), h = view.height();
    DrawCanvasCells(origin, QSize(w, h), state, step);
    if (image.size() != QSize(w, h) || image.format() != canvas_.image.format())
        image = QImage(w, h, canvas_.image.format());
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), canvas_.image.constScanLine(origin.y() + y) + 4 * origin.x(),
                    static_cast<size_t>(4 * w));
    LiveMapFrame frame;
    QPainter p(&image);
    DrawGraticuleLabels(p, view, step);
    DrawRingLabels(p, view, state);
    DrawCoverage(p, view, state);
    if (!state.db) {
        DrawScaleBar(p, view, state.use_kmh);
        return frame;
    }
    const FlightTable& db = *state.db;
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
