// The traffic over the base map: fading trails, the symbols and the labels. At 500 aircraft
// with five-minute trails this is most of a frame, so it is drawn the cheap way: one
// polyline per trail and fade step with a one-pixel pen (the painter's fast line path, no
// round caps, no antialiasing), symbols and labels as small pictures made once and copied.
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "display/live_map.h"
#include "display/live_map_style.h"

namespace ternwick {

namespace {

constexpr int kSpriteSize = 28;  // holds the largest symbol with its outline, turned any way
constexpr int kAngleStep = 3;    // symbols are turned in steps this many degrees apart
constexpr size_t kMaxSprites = 6000;
constexpr double kPi = 3.14159265358979;

enum Shape { kAirborne, kSurface, kUnknownAir, kUnknownSurface };

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

const QPainterPath& ShapePath(int shape) {
    static const QPainterPath paths[] = {AirborneSymbol(), SurfaceSymbol(), UnknownHeadingSymbol(false),
                                         UnknownHeadingSymbol(true)};
    return paths[shape];
}

// The outline of a shape's border `width` pixels wide, as plain polygons: stroking with
// round joins is the costly part of drawing a symbol, so it is done once per shape.
QPainterPath BorderPath(const QPainterPath& shape, double width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath flat;
    flat.setFillRule(Qt::WindingFill);
    for (const QPolygonF& poly : stroker.createStroke(shape).toSubpathPolygons()) flat.addPolygon(poly);
    return flat;
}

// For each shape: the white border of a filled symbol, and the white and coloured borders
// of a hollow one.
struct Borders {
    QPainterPath filled, hollow_halo, hollow_line;
};
const Borders& ShapeBorders(int shape) {
    static const std::vector<Borders> borders = [] {
        std::vector<Borders> b;
        for (int k = 0; k < 4; ++k)
            b.push_back({BorderPath(ShapePath(k), 1.2), BorderPath(ShapePath(k), 3.2), BorderPath(ShapePath(k), 1.6)});
        return b;
    }();
    return borders[static_cast<size_t>(shape)];
}

}  // namespace

void LiveMapRenderer::DrawTrails(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state,
                                 const std::vector<Item>& items) {
    if (state.trail_seconds <= 0) return;
    // One-pixel trails gain little from antialiasing and cost twice as much with it (each
    // pixel blended alone); the selected trail, wide and on top, keeps it.
    p.setRenderHint(QPainter::Antialiasing, false);
    const double w = view.width(), h = view.height();
    constexpr int kBands = 6;  // fade steps, oldest faintest
    // Projected points of the last frame stay good while the projection stays the same
    // (kept relative to its centre point, which moves as the view slides over the canvas).
    const bool same_view = trails_generation_ == canvas_.generation;
    const QPointF centre(view.CentrePixel().x, view.CentrePixel().y);
    std::unordered_map<uint32_t, std::vector<ProjectedPoint>> projected;
    projected.reserve(items.size());
    QPolygonF line;
    line.reserve(512);
    std::vector<QPolygonF> runs;  // the selected trail's, drawn over a halo
    auto draw_trail = [&](const Item& it, bool selected) {
        if (!it.live || it.live->trail.empty()) return;
        const QColor base = it.emergency ? kEmergencyColour : it.colour;
        QPen pens[kBands];
        for (int b = 0; b < kBands; ++b) {
            QColor c = base;
            c.setAlphaF(selected ? 1.0 : 0.85 * (1.0 - b / double(kBands)) + 0.08);
            pens[b] = QPen(c, selected ? 3.0 : 1.0, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
        }
        int line_band = -1;
        runs.clear();
        auto flush = [&] {
            if (line.size() >= 2) {
                if (selected) {
                    runs.push_back(line);
                } else {
                    p.setPen(pens[line_band]);
                    p.drawPolyline(line);
                }
            }
            line.clear();
            line_band = -1;
        };
        QPointF last;
        bool have_last = false;
        const auto& trail = it.live->trail;
        std::vector<ProjectedPoint> before;
        if (same_view) {
            if (auto node = trails_.extract(it.key); !node.empty()) before = std::move(node.mapped());
        }
        std::vector<ProjectedPoint>& now = projected[it.key];
        now.reserve(trail.size());
        size_t cursor = 0;  // both lists run oldest first: one walk matches them
        // Points under 1.5 px from the last one drawn are merged into the next; a flat-Earth
        // test on their degrees finds them without projecting them.
        const double km_per_deg_lon = 111.2 * std::cos(trail.back().lat * kPi / 180);
        const double px_per_km = view.PixelsPerKm();
        const TrailPoint* kept = nullptr;
        for (size_t k = 0; k < trail.size(); ++k) {
            const TrailPoint& tp = trail[k];
            const double age = state.now - tp.t;
            if (age > state.trail_seconds && k + 1 < trail.size() && state.now - trail[k + 1].t > state.trail_seconds)
                continue;
            if (kept && k + 1 < trail.size()) {
                const double dx = (tp.lon - kept->lon) * km_per_deg_lon * px_per_km;
                const double dy = (tp.lat - kept->lat) * 111.2 * px_per_km;
                if (dx * dx + dy * dy < 2.25) continue;
            }
            kept = &tp;
            while (cursor < before.size() && before[cursor].t < tp.t) ++cursor;
            ProjectedPoint pp;
            if (cursor < before.size() && before[cursor].t == tp.t && before[cursor].lat == tp.lat &&
                before[cursor].lon == tp.lon) {
                pp = before[cursor];
            } else {
                geo::ScreenPoint s;
                double arc = 0;
                pp = {tp.t, tp.lat, tp.lon, view.ToScreen({tp.lat, tp.lon}, s, &arc) && arc <= 170,
                      QPointF(s.x, s.y) - centre};
            }
            now.push_back(pp);
            if (!pp.ok) {
                flush();
                have_last = false;
                continue;
            }
            const QPointF q = pp.q + centre;
            if (have_last) {
                const bool visible = std::max(q.x(), last.x()) >= 0 && std::min(q.x(), last.x()) <= w &&
                                     std::max(q.y(), last.y()) >= 0 && std::min(q.y(), last.y()) <= h;
                const int band =
                    selected ? 0 : static_cast<int>(std::clamp(age / state.trail_seconds, 0.0, 0.999) * kBands);
                if (!visible) {
                    flush();
                } else {
                    if (band != line_band) {
                        flush();
                        line << last;
                        line_band = band;
                    }
                    line << q;
                }
            }
            last = q;
            have_last = true;
        }
        flush();
        if (runs.empty()) return;
        // The selected trail stands out on a halo; one aircraft, so round joins cost little.
        p.setRenderHint(QPainter::Antialiasing, true);
        QColor halo = kSelectColour;
        halo.setAlphaF(0.55);
        p.setPen(QPen(halo, 7.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (const QPolygonF& run : runs) p.drawPolyline(run);
        pens[0].setJoinStyle(Qt::RoundJoin);
        p.setPen(pens[0]);
        for (const QPolygonF& run : runs) p.drawPolyline(run);
        p.setRenderHint(QPainter::Antialiasing, false);
    };
    const Item* selected = nullptr;
    for (const Item& it : items) {
        if (it.key == state.selected) selected = &it;
        else draw_trail(it, false);
    }
    if (selected) draw_trail(*selected, true);
    trails_ = std::move(projected);
    trails_generation_ = canvas_.generation;
}

const LiveMapRenderer::SymbolMask& LiveMapRenderer::Mask(int shape, bool stale, int quarter_angle) {
    // The masks follow from the shapes alone, so every renderer shares one set, made as
    // the angles are first needed: a renderer made afresh (a new window, a headless
    // picture) does not pay for them again. Renderers paint on one thread only.
    static std::vector<SymbolMask> masks(4 * 2 * (90 / kAngleStep));
    const size_t slot = (static_cast<size_t>(shape) * 2 + stale) * (90 / kAngleStep) + quarter_angle / kAngleStep;
    SymbolMask& m = masks[slot];
    if (!m.under.isNull()) return m;
    // Coverage only (the colour comes later): the costly antialiased fill is done once per
    // shape and angle, not once per colour.
    auto cover = [&](const QPainterPath& path) {
        QImage image(kSpriteSize, kSpriteSize, QImage::Format_Alpha8);
        image.fill(0);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.translate(kSpriteSize / 2.0, kSpriteSize / 2.0);
        p.rotate(quarter_angle);
        p.fillPath(path, Qt::black);
        return image;
    };
    const Borders& border = ShapeBorders(shape);
    // Still heard, but the position is old: an outline only (a white halo under a line in
    // the aircraft's colour); else the filled shape under a white border.
    m.under = cover(stale ? border.hollow_halo : ShapePath(shape));
    m.over = cover(stale ? border.hollow_line : border.filled);
    return m;
}

void LiveMapRenderer::MakeSymbolMasks() {
    for (int shape = kAirborne; shape <= kUnknownSurface; ++shape)
        for (int angle = 0; angle < 90; angle += kAngleStep) {
            Mask(shape, false, angle);
            Mask(shape, true, angle);
        }
}

const QImage& LiveMapRenderer::SymbolSprite(int shape, bool stale, QRgb colour, int angle) {
    const uint64_t key = (uint64_t{colour} & 0xFFFFFFu) | uint64_t(shape) << 24 | uint64_t(stale) << 26 |
                         uint64_t(angle) << 27;
    if (auto found = sprites_.find(key); found != sprites_.end()) return found->second;
    if (sprites_.size() >= kMaxSprites) sprites_.clear();
    // Turned by whole quarters, a picture of the symbol is its quarter-turned mask read
    // along other axes: exact, and a quarter of the masks to make.
    const SymbolMask& m = Mask(shape, stale, angle % 90);
    const int quarters = angle / 90;
    constexpr int n = kSpriteSize - 1;
    const uchar* under = m.under.constBits();
    const uchar* over = m.over.constBits();
    const qsizetype stride = m.under.bytesPerLine();
    // The two layers as painted: the lower one (colour or white) with the upper one over it.
    const unsigned cr = qRed(colour), cg = qGreen(colour), cb = qBlue(colour);
    const unsigned lr = stale ? 255 : cr, lg = stale ? 255 : cg, lb = stale ? 255 : cb;
    const unsigned ur = stale ? cr : 255, ug = stale ? cg : 255, ub = stale ? cb : 255;
    QImage image(kSpriteSize, kSpriteSize, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kSpriteSize; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kSpriteSize; ++x) {
            int sx = x, sy = y;
            switch (quarters) {
                case 1: sx = y, sy = n - x; break;
                case 2: sx = n - x, sy = n - y; break;
                case 3: sx = n - y, sy = x; break;
                default: break;
            }
            const qsizetype at = sy * stride + sx;
            const unsigned a1 = under[at], a2 = over[at];
            if ((a1 | a2) == 0) {  // most of the square: nothing
                row[x] = 0;
                continue;
            }
            // Premultiplied, in units of 1/(255 * 255): upper over lower.
            const unsigned rest = a1 * (255 - a2), cover = a2 * 255 + rest;
            auto channel = [&](unsigned lower, unsigned upper) {
                return (upper * a2 * 255 + lower * rest + 32512) / 65025;
            };
            row[x] = (cover + 127) / 255 << 24 | channel(lr, ur) << 16 | channel(lg, ug) << 8 | channel(lb, ub);
        }
    }
    return sprites_.emplace(key, std::move(image)).first->second;
}

void LiveMapRenderer::DrawSymbols(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state,
                                  const std::vector<Item>& items) {
    const FlightTable& db = *state.db;
    for (const Item& it : items) {
        const DbRecord& e = db(it.index);
        const double heading = HeadingDeg(e, it.live);
        double angle = 0;
        if (heading >= 0) {
            // North on the screen is not straight up away from the centre: turn by the
            // screen direction of a short step along the heading.
            geo::ScreenPoint ahead;
            if (view.ToScreen(geo::Destination({e.Lat, e.Lon}, heading, 0.05), ahead))
                angle = std::atan2(ahead.x - it.s.x, it.s.y - ahead.y) * 180.0 / kPi;
        }
        const int shape = heading >= 0 ? (it.surface ? kSurface : kAirborne) : (it.surface ? kUnknownSurface : kUnknownAir);
        const int steps = 360 / kAngleStep;
        const int turn = (static_cast<int>(std::lround(angle / kAngleStep)) % steps + steps) % steps * kAngleStep;
        if (it.key == state.selected) {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(kSelectColour, 2.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(it.s.x, it.s.y), kSymbolRadius + 3, kSymbolRadius + 3);
        }
        const QRgb colour = (it.emergency ? kEmergencyColour : it.colour).rgb();
        const QImage& sprite = SymbolSprite(shape, it.stale, colour, turn);
        p.drawImage(QPoint(static_cast<int>(std::lround(it.s.x)) - kSpriteSize / 2,
                           static_cast<int>(std::lround(it.s.y)) - kSpriteSize / 2),
                    sprite);
    }
}

const QImage& LiveMapRenderer::LabelBackground(double w, double h, bool focus) {
    // Labels of one size share their rounded box (call signs of one airline with their
    // flight levels are mostly of one width).
    const auto key = std::make_tuple(w, h, focus);
    auto found = label_boxes_.find(key);
    if (found != label_boxes_.end()) return found->second;
    if (label_boxes_.size() > 2000) label_boxes_.clear();
    // One pixel of margin holds the highlight's border.
    QImage image(static_cast<int>(std::ceil(w)) + 2, static_cast<int>(std::ceil(h)) + 2,
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter q(&image);
    q.setRenderHint(QPainter::Antialiasing, true);
    q.setPen(focus ? QPen(kSelectColour, 1.5) : Qt::NoPen);
    q.setBrush(QColor(255, 255, 255, focus ? 245 : 215));
    q.drawRoundedRect(QRectF(1, 1, w, h), 3, 3);
    q.end();
    return label_boxes_.emplace(key, std::move(image)).first->second;
}

double LiveMapRenderer::TextWidth(const QString& line) {
    // Most labels are measured only to find that they have no place; laying out every one
    // (shaping) would cost more than drawing those placed. Letters have fixed advances, and
    // kerning in this font depends on pairs only: both are learnt once from the font.
    const QFontMetricsF fm(label_font_);
    double width = 0;
    char16_t before = 0;
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if (u >= kMeasuredChars) return fm.horizontalAdvance(line);
        if (advance_[u] < 0) advance_[u] = fm.horizontalAdvance(c);
        width += advance_[u];
        if (before) {
            const uint32_t pair = uint32_t{before} << 16 | u;
            auto found = kerning_.find(pair);
            if (found == kerning_.end()) {
                const QChar both[2] = {QChar(before), c};
                found = kerning_.emplace(pair, fm.horizontalAdvance(QString(both, 2)) - advance_[before] - advance_[u]).first;
            }
            width += found->second;
        }
        before = u;
    }
    return width;
}

void LiveMapRenderer::DrawLabels(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state,
                                 const std::vector<Item>& items, LiveMapFrame& frame) {
    const FlightTable& db = *state.db;
    const QFontMetricsF fm(label_font_);
    // Sizes are measured only for new text; last frame's labels of aircraft gone are dropped.
    std::unordered_map<uint32_t, LabelPicture> next;
    next.reserve(items.size());
    std::vector<LabelRequest> requests;
    std::vector<LabelPicture*> pictures;
    requests.reserve(items.size());
    pictures.reserve(items.size());
    for (const Item& it : items) {
        const DbRecord& e = db(it.index);
        QString l1 = QString::fromStdString(LabelLine1(e));
        QString l2 = QString::fromStdString(LabelLine2(e));
        LabelPicture pic;
        if (auto node = labels_.extract(it.key); !node.empty() && node.mapped().line1 == l1 && node.mapped().line2 == l2) {
            pic = std::move(node.mapped());
        } else {
            pic.w = std::max(TextWidth(l1), TextWidth(l2)) + 6;
            pic.h = (l2.isEmpty() ? 1 : 2) * fm.height() + 2;
            pic.line1 = std::move(l1);
            pic.line2 = std::move(l2);
        }
        LabelPicture& kept = next.insert_or_assign(it.key, std::move(pic)).first->second;
        pictures.push_back(&kept);
        requests.push_back({it.s.x, it.s.y, kept.w, kept.h, it.key == state.selected || it.key == state.hovered});
    }
    const auto placed = PlaceLabels(requests, kSymbolRadius, view.width(), view.height(), {ScaleBarRect(view)});
    p.setRenderHint(QPainter::Antialiasing, true);
    for (size_t k = 0; k < items.size(); ++k) {
        if (!placed[k]) continue;
        const LabelRect& r = *placed[k];
        const Item& it = items[k];
        LabelPicture& pic = *pictures[k];
        const bool focus = requests[k].forced;
        // A label set further out is tied to its symbol by a thin line.
        const double nx = std::clamp(it.s.x, r.x, r.x + r.w), ny = std::clamp(it.s.y, r.y, r.y + r.h);
        const double gap = std::hypot(nx - it.s.x, ny - it.s.y);
        if (gap > kSymbolRadius + 6) {
            const double ux = (nx - it.s.x) / gap, uy = (ny - it.s.y) / gap;
            p.setPen(QPen(QColor(40, 40, 40, 170), 1.0));
            p.drawLine(QPointF(it.s.x + ux * (kSymbolRadius + 1), it.s.y + uy * (kSymbolRadius + 1)), QPointF(nx, ny));
        }
        const QRgb colour = (it.emergency ? kEmergencyColour : it.colour.darker(115)).rgb();
        if (pic.image.isNull() || pic.colour != colour || pic.focus != focus) {
            pic.image = LabelBackground(pic.w, pic.h, focus).copy();
            QPainter q(&pic.image);
            q.setRenderHint(QPainter::Antialiasing, true);
            q.setFont(label_font_);
            q.setPen(QColor::fromRgb(colour));
            q.drawText(QPointF(4, 2 + fm.ascent()), pic.line1);
            if (!pic.line2.isEmpty()) q.drawText(QPointF(4, 2 + fm.height() + fm.ascent()), pic.line2);
            pic.colour = colour;
            pic.focus = focus;
        }
        p.drawImage(QPoint(static_cast<int>(std::lround(r.x)) - 1, static_cast<int>(std::lround(r.y)) - 1), pic.image);
        frame.aircraft[k].labelled = true;
    }
    labels_ = std::move(next);
}

}  // namespace ternwick
