#include "display/live_map.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display/label_placement.h"
#include "display/live_map_style.h"
#include "display/map_surface.h"
#include "display/projection.h"

namespace ternwick {

namespace {

// An aircraft seen from above, nose up, about 18 pixels long.
QPainterPath AirborneSymbol() {
    static const QPointF pts[] = {
        {0, -9},   {1.3, -7},  {1.3, -2.5}, {8.5, 1.5},  {8.5, 3.2}, {1.3, 1.2},  {1, 5.8},   {3.8, 7.8},  {3.8, 9},
        {0, 8.2},  {-3.8, 9},  {-3.8, 7.8}, {-1, 5.8},   {-1.3, 1.2}, {-8.5, 3.2}, {-8.5, 1.5}, {-1.3, -2.5}, {-1.3, -7},
    };
    QPainterPath path;
    QPolygonF poly;
    for (const QPointF& q : pts) poly << q;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

// On the ground: a smaller arrowhead, as vehicles are drawn on airport charts.
QPainterPath SurfaceSymbol() {
    QPainterPath path;
    path.moveTo(0, -6.5);
    path.lineTo(5, 5.5);
    path.lineTo(0, 2.8);
    path.lineTo(-5, 5.5);
    path.closeSubpath();
    return path;
}

// Neither track nor a second position yet: a diamond that points nowhere.
QPainterPath UnknownHeadingSymbol(bool surface) {
    const double r = surface ? 4.5 : 6.0;
    QPainterPath path;
    path.moveTo(0, -r);
    path.lineTo(r, 0);
    path.lineTo(0, r);
    path.lineTo(-r, 0);
    path.closeSubpath();
    return path;
}

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

std::string LabelLine2(const DbRecord& e) {
    if (e.PosKind == "S") return "GND";
    if (e.PosKind != "A") return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "FL%03ld", std::lround(e.Altitude / 100.0));
    return buf;
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
}

LiveMapFrame LiveMapRenderer::Render(QImage& image, const geo::ViewProjection& view, const LiveMapState& state) {
    if (image.width() != view.width() || image.height() != view.height() ||
        image.format() != QImage::Format_ARGB32_Premultiplied)
        image = QImage(view.width(), view.height(), QImage::Format_ARGB32_Premultiplied);
    LiveMapFrame frame;
    QPainter p(&image);
    DrawBase(p, view, state);
    if (state.outlines) DrawOutlines(p, view, *state.outlines);
    DrawGraticule(p, view);
    DrawRings(p, view, state);
    if (!state.db) {
        DrawScaleBar(p, view, state.use_kmh);
        return frame;
    }
    const FlightTable& db = *state.db;
    const double w = view.width(), h = view.height();
    const double margin = 2 * kSymbolRadius;

    // Which aircraft are in view, and where.
    struct Item {
        int index;
        uint32_t key;
        geo::ScreenPoint s;
        const LiveAircraft* live;
        QColor colour;
        bool surface, stale, emergency;
    };
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
        items.push_back({i, key, s, live, ColorFromRgbValue(EntryColour(e.Icao, e.PosKind)), surface, stale, false});
    }

    // Trails, oldest segments faintest; the selected aircraft's on top, full strength.
    p.setRenderHint(QPainter::Antialiasing, true);
    constexpr int kBands = 6;
    auto draw_trail = [&](const Item& it, bool selected) {
        if (!it.live || it.live->trail.empty() || state.trail_seconds <= 0) return;
        std::vector<QLineF> bands[kBands];
        QPointF last;
        bool have_last = false;
        const auto& trail = it.live->trail;
        for (size_t k = 0; k < trail.size(); ++k) {
            const TrailPoint& tp = trail[k];
            const double age = state.now - tp.t;
            if (age > state.trail_seconds && k + 1 < trail.size() && state.now - trail[k + 1].t > state.trail_seconds)
                continue;
            geo::ScreenPoint s;
            double arc = 0;
            if (!view.ToScreen({tp.lat, tp.lon}, s, &arc) || arc > 170) {
                have_last = false;
                continue;
            }
            const QPointF q(s.x, s.y);
            if (have_last) {
                const double dx = q.x() - last.x(), dy = q.y() - last.y();
                if (dx * dx + dy * dy < 2.25 && k + 1 < trail.size()) continue;  // under 1.5 px: merge
                const bool visible = std::max(q.x(), last.x()) >= 0 && std::min(q.x(), last.x()) <= w &&
                                     std::max(q.y(), last.y()) >= 0 && std::min(q.y(), last.y()) <= h;
                if (visible) {
                    const double f = std::clamp(age / state.trail_seconds, 0.0, 0.999);
                    bands[selected ? 0 : static_cast<int>(f * kBands)].push_back(QLineF(last, q));
                }
            }
            last = q;
            have_last = true;
        }
        if (selected && !bands[0].empty()) {
            QColor halo = kSelectColour;
            halo.setAlphaF(0.55);
            p.setPen(QPen(halo, 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLines(bands[0].data(), static_cast<int>(bands[0].size()));
        }
        for (int b = 0; b < kBands; ++b) {
            if (bands[b].empty()) continue;
            QColor c = it.emergency ? kEmergencyColour : it.colour;
            c.setAlphaF(selected ? 1.0 : 0.85 * (1.0 - b / double(kBands)) + 0.08);
            p.setPen(QPen(c, selected ? 3.0 : 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLines(bands[b].data(), static_cast<int>(bands[b].size()));
        }
    };
    const Item* selected = nullptr;
    for (const Item& it : items) {
        if (it.key == state.selected) selected = &it;
        else draw_trail(it, false);
    }
    if (selected) draw_trail(*selected, true);

    // Symbols.
    static const QPainterPath air = AirborneSymbol(), ground = SurfaceSymbol();
    static const QPainterPath unknown_air = UnknownHeadingSymbol(false), unknown_ground = UnknownHeadingSymbol(true);
    for (const Item& it : items) {
        const DbRecord& e = db(it.index);
        const double heading = HeadingDeg(e, it.live);
        double angle = 0;
        if (heading >= 0) {
            // North on the screen is not straight up away from the centre: turn by the
            // screen direction of a short step along the heading.
            geo::ScreenPoint ahead;
            if (view.ToScreen(geo::Destination({e.Lat, e.Lon}, heading, 0.05), ahead))
                angle = std::atan2(ahead.x - it.s.x, it.s.y - ahead.y) * 180.0 / 3.14159265358979;
        }
        const QPainterPath& shape =
            heading >= 0 ? (it.surface ? ground : air) : (it.surface ? unknown_ground : unknown_air);
        p.save();
        p.translate(it.s.x, it.s.y);
        if (it.key == state.selected) {
            p.setPen(QPen(kSelectColour, 2.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(0, 0), kSymbolRadius + 3, kSymbolRadius + 3);
        }
        p.rotate(angle);
        const QColor c = it.emergency ? kEmergencyColour : it.colour;
        if (it.stale) {
            // Still heard, but the position is old: an outline only.
            p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(shape);
            p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPath(shape);
        } else {
            p.setPen(QPen(Qt::white, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(c);
            p.drawPath(shape);
        }
        p.restore();
        frame.aircraft.push_back({it.key, it.index, it.s.x, it.s.y, false});
    }

    // Labels where they overprint nothing.
    QFontMetricsF fm(label_font_);
    std::vector<LabelRequest> requests;
    std::vector<std::pair<QString, QString>> texts;
    requests.reserve(items.size());
    for (const Item& it : items) {
        const DbRecord& e = db(it.index);
        const QString l1 = QString::fromStdString(LabelLine1(e));
        const QString l2 = QString::fromStdString(LabelLine2(e));
        const double lw = std::max(fm.horizontalAdvance(l1), fm.horizontalAdvance(l2)) + 6;
        const double lh = (l2.isEmpty() ? 1 : 2) * fm.height() + 2;
        requests.push_back({it.s.x, it.s.y, lw, lh, it.key == state.selected || it.key == state.hovered});
        texts.emplace_back(l1, l2);
    }
    const auto placed = PlaceLabels(requests, kSymbolRadius, w, h, {ScaleBarRect(view)});
    p.setFont(label_font_);
    for (size_t k = 0; k < items.size(); ++k) {
        if (!placed[k]) continue;
        const LabelRect& r = *placed[k];
        const Item& it = items[k];
        const bool focus = requests[k].forced;
        // A label set further out is tied to its symbol by a thin line.
        const double nx = std::clamp(it.s.x, r.x, r.x + r.w), ny = std::clamp(it.s.y, r.y, r.y + r.h);
        const double gap = std::hypot(nx - it.s.x, ny - it.s.y);
        if (gap > kSymbolRadius + 6) {
            const double ux = (nx - it.s.x) / gap, uy = (ny - it.s.y) / gap;
            p.setPen(QPen(QColor(40, 40, 40, 170), 1.0));
            p.drawLine(QPointF(it.s.x + ux * (kSymbolRadius + 1), it.s.y + uy * (kSymbolRadius + 1)), QPointF(nx, ny));
        }
        p.setPen(focus ? QPen(kSelectColour, 1.5) : Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, focus ? 245 : 215));
        p.drawRoundedRect(QRectF(r.x, r.y, r.w, r.h), 3, 3);
        p.setPen(it.emergency ? kEmergencyColour : it.colour.darker(115));
        p.drawText(QPointF(r.x + 3, r.y + 1 + fm.ascent()), texts[k].first);
        if (!texts[k].second.isEmpty()) p.drawText(QPointF(r.x + 3, r.y + 1 + fm.height() + fm.ascent()), texts[k].second);
        frame.aircraft[k].labelled = true;
    }
    p.setBrush(Qt::NoBrush);
    DrawScaleBar(p, view, state.use_kmh);
    return frame;
}

}  // namespace ternwick
