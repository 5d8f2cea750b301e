// The base map under the aircraft: sea and land, graticule with labelled degrees, the
// receiver's mark with its range rings, and the scale bar.
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display/live_map.h"
#include "display/live_map_style.h"

namespace ternwick {

namespace {

constexpr double kKmPerNm = 1.852;

// A polyline of points on the Earth, broken where the projection jumps (near the point
// opposite the centre, or off the picture far enough to be meaningless).
void StrokeGeoLine(QPainter& p, const geo::ViewProjection& view, const std::vector<geo::LatLon>& pts) {
    QPolygonF run;
    auto flush = [&] {
        if (run.size() >= 2) p.drawPolyline(run);
        run.clear();
    };
    const double limit = 4.0 * (view.width() + view.height());
    for (const geo::LatLon& g : pts) {
        geo::ScreenPoint s;
        double arc = 0;
        if (!view.ToScreen(g, s, &arc) || arc > 170.0 || std::abs(s.x) > limit || std::abs(s.y) > limit) {
            flush();
            continue;
        }
        run << QPointF(s.x, s.y);
    }
    flush();
}

std::string DegreeText(double v, bool lat, double step) {
    char buf[32];
    const char hemi = lat ? (v < 0 ? 'S' : 'N') : (v < 0 ? 'W' : 'E');
    const double a = std::abs(v);
    const int decimals = step >= 1 ? 0 : (step >= 0.1 ? 1 : 2);
    if (a < 1e-9 || (!lat && std::abs(a - 180) < 1e-9)) std::snprintf(buf, sizeof buf, "%.*f°", decimals, a);
    else std::snprintf(buf, sizeof buf, "%.*f°%c", decimals, a, hemi);
    return buf;
}

}  // namespace

void LiveMapRenderer::DrawBase(QPainter& p, const geo::ViewProjection& view, const QRectF& area) {
    p.fillRect(area, kSeaColour);
    // Beyond the rim of the Earth's disc (the whole-Earth view) is space, not sea.
    const double rim_px = geo::kEarthRadiusKm * 3.14159265358979 * view.PixelsPerKm();
    const geo::ScreenPoint c = view.CentrePixel();
    const double far_x = std::max(c.x - area.left(), area.right() - c.x);
    const double far_y = std::max(c.y - area.top(), area.bottom() - c.y);
    if (rim_px < std::hypot(far_x, far_y)) {
        QPainterPath outside;
        outside.addRect(area);
        QPainterPath disc;
        disc.addEllipse(QPointF(c.x, c.y), rim_px, rim_px);
        p.fillPath(outside.subtracted(disc), kSpaceColour);
    }
}

double LiveMapRenderer::GraticuleStep(double km_across) {
    // About five lines across the view, on round degrees.
    const double deg_across = km_across / 111.2;
    for (double s : {0.05, 0.1, 0.2, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0})
        if (deg_across / s <= 6) return s;
    return 30;
}

namespace {

// The graticule's lines within a box: meridians and parallels `step` degrees apart, each a
// list of points `step / 16` apart on a grid fixed on the Earth (so that the same line
// drawn for two boxes has the same points where they meet).
struct Graticule {
    double step, sample, west, east, lat_lo, lat_hi;
    bool all_lon;
    Graticule(const geo::ViewProjection::Box& box, double step_deg) : step(step_deg) {
        sample = std::max(step / 16, 0.01);
        all_lon = box.west == -180 && box.east == 180;
        west = box.west, east = box.east;
        if (east < west) east += 360;  // across the antimeridian
        if (all_lon) west = -180, east = 180;
        lat_lo = std::max(-90.0, std::floor(box.south / step) * step);
        lat_hi = std::min(90.0, std::ceil(box.north / step) * step);
    }
    template <typename Fn>
    void Meridians(Fn&& fn) const {
        for (long k = std::lround(std::floor(west / step)); k * step <= east + 1e-9; ++k) {
            const double lon = k * step;
            if (all_lon && lon >= 180 - 1e-9) break;
            std::vector<geo::LatLon> line;
            for (long i = std::lround(std::floor(std::max(lat_lo, -89.999) / sample)); i * sample <= lat_hi + 1e-9; ++i)
                line.push_back({std::clamp(i * sample, -89.999, 89.999), lon});
            fn(lon, line);
        }
    }
    template <typename Fn>
    void Parallels(Fn&& fn) const {
        for (long k = std::lround(lat_lo / step); k * step <= lat_hi + 1e-9; ++k) {
            const double lat = k * step;
            if (std::abs(lat) >= 90 - 1e-9) continue;
            std::vector<geo::LatLon> line;
            for (long i = std::lround(std::floor(west / sample)); i * sample <= east + sample - 1e-9; ++i)
                line.push_back({lat, i * sample});
            fn(lat, line);
        }
    }
};

}  // namespace

void LiveMapRenderer::DrawGraticule(QPainter& p, const geo::ViewProjection& view, const QRectF& area, double step) {
    const Graticule g(view.GeoBounds(area.left(), area.top(), area.right(), area.bottom()), step);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kGraticuleColour, 0.8));
    g.Meridians([&](double, const std::vector<geo::LatLon>& line) { StrokeGeoLine(p, view, line); });
    g.Parallels([&](double, const std::vector<geo::LatLon>& line) { StrokeGeoLine(p, view, line); });
}

void LiveMapRenderer::DrawGraticuleLabels(QPainter& p, const geo::ViewProjection& view, double step) {
    const Graticule g(view.GeoBounds(), step);
    const double w = view.width(), h = view.height();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setFont(small_font_);
    p.setPen(kGraticuleText);
    QFontMetricsF fm(small_font_);
    // Meridians are labelled where they leave the picture at the bottom, parallels where
    // they leave it on the left.
    g.Meridians([&](double lon, const std::vector<geo::LatLon>& line) {
        for (size_t i = 1; i < line.size(); ++i) {
            geo::ScreenPoint a, b;
            if (!view.ToScreen(line[i - 1], a) || !view.ToScreen(line[i], b)) continue;
            if ((a.y - h) * (b.y - h) > 0 || a.y == b.y) continue;
            const double x = a.x + (b.x - a.x) * (h - a.y) / (b.y - a.y);
            if (x >= 30 && x <= w - 30)
                p.drawText(QPointF(x + 3, h - 4), QString::fromStdString(DegreeText(geo::WrapLon180(lon), false, step)));
            return;
        }
    });
    g.Parallels([&](double lat, const std::vector<geo::LatLon>& line) {
        for (size_t i = 1; i < line.size(); ++i) {
            geo::ScreenPoint a, b;
            if (!view.ToScreen(line[i - 1], a) || !view.ToScreen(line[i], b)) continue;
            if (a.x * b.x > 0 || a.x == b.x) continue;
            const double y = a.y + (b.y - a.y) * (0 - a.x) / (b.x - a.x);
            if (y >= fm.height() + 2 && y <= h - 24)
                p.drawText(QPointF(3, y - 3), QString::fromStdString(DegreeText(lat, true, step)));
            return;
        }
    });
}

namespace {

double RingKm(const LiveMapState& state) { return state.use_kmh ? 100.0 : 50.0 * kKmPerNm; }

// Rings out to just past the corners of a part of the picture, at most a few dozen.
int RingCount(const geo::ViewProjection& view, const QRectF& area, geo::LatLon rx, double ring_km) {
    geo::ScreenPoint c;
    const double reach_km = (view.ToScreen(rx, c) ? std::hypot(std::max(c.x - area.left(), area.right() - c.x),
                                                               std::max(c.y - area.top(), area.bottom() - c.y)) /
                                                        view.PixelsPerKm()
                                                  : view.km_across()) +
                            ring_km;
    return std::min(40, static_cast<int>(std::ceil(reach_km / ring_km)));
}

}  // namespace

void LiveMapRenderer::DrawRings(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state,
                                const QRectF& area) {
    if (!state.receiver) return;
    const geo::LatLon rx = *state.receiver;
    p.setRenderHint(QPainter::Antialiasing, true);
    const double ring_km = RingKm(state);
    const int rings = RingCount(view, area, rx, ring_km);
    p.setPen(QPen(kRingColour, 1.0, Qt::DashLine));
    for (int k = 1; k <= rings; ++k) {
        const double km = k * ring_km;
        if (km > 19000) break;
        std::vector<geo::LatLon> circle;
        for (int b = 0; b <= 180; ++b) circle.push_back(geo::Destination(rx, b * 2.0, km));
        StrokeGeoLine(p, view, circle);
    }
    geo::ScreenPoint c;
    if (view.ToScreen(rx, c)) {
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(kReceiverColour);
        QPolygonF mark;  // a small upward triangle, as a mast is drawn on charts
        mark << QPointF(c.x, c.y - 7) << QPointF(c.x + 6, c.y + 5) << QPointF(c.x - 6, c.y + 5);
        p.drawPolygon(mark);
        p.setBrush(Qt::NoBrush);
        p.setPen(kRingText);
        p.setFont(small_font_);
        p.drawText(QPointF(c.x + 8, c.y + 12), QStringLiteral("Receiver"));
    }
}

void LiveMapRenderer::DrawRingLabels(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state) {
    if (!state.receiver) return;
    const geo::LatLon rx = *state.receiver;
    const double ring_km = RingKm(state);
    const int rings = RingCount(view, QRectF(0, 0, view.width(), view.height()), rx, ring_km);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setFont(small_font_);
    p.setPen(kRingText);
    for (int k = 1; k <= rings; ++k) {
        const double km = k * ring_km;
        if (km > 19000) break;
        geo::ScreenPoint s;  // the label due north-east of the receiver
        if (view.ToScreen(geo::Destination(rx, 45, km), s) && s.x > 0 && s.x < view.width() - 40 && s.y > 12 &&
            s.y < view.height()) {
            char text[32];
            if (state.use_kmh) std::snprintf(text, sizeof text, "%d km", static_cast<int>(std::lround(km)));
            else std::snprintf(text, sizeof text, "%d NM", k * 50);
            p.drawText(QPointF(s.x + 3, s.y - 3), QString::fromLatin1(text));
        }
    }
}

void LiveMapRenderer::DrawCoverage(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state) {
    // It grows with every farther position heard, so it is drawn over the kept base map.
    if (!state.receiver || !state.coverage) return;
    QPolygonF polygon;
    for (const geo::LatLon& g : state.coverage->Outline()) {
        geo::ScreenPoint s;
        double arc = 0;
        if (view.ToScreen(g, s, &arc) && arc <= 170) polygon << QPointF(s.x, s.y);
    }
    if (polygon.size() < 2) return;
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kCoverageColour, 1.5));
    p.setBrush(kCoverageFill);
    if (polygon.size() >= 3) p.drawPolygon(polygon);
    else p.drawPolyline(polygon);
    p.setBrush(Qt::NoBrush);
}

LabelRect LiveMapRenderer::ScaleBarRect(const geo::ViewProjection& view) {
    // The longest bar is a fifth of the view.
    const double px = view.width() / 5.0;
    return {view.width() - px - 22, view.height() - 38.0, px + 22, 38.0};
}

void LiveMapRenderer::DrawScaleBar(QPainter& p, const geo::ViewProjection& view, bool use_kmh) {
    // A round length no longer than a fifth of the view, true at the centre of the view.
    const double unit_km = use_kmh ? 1.0 : kKmPerNm;
    const double max_units = view.km_across() / 5 / unit_km;
    const double mag = std::pow(10, std::floor(std::log10(max_units)));
    double len = mag;
    for (double m : {5.0, 2.0})
        if (m * mag <= max_units) {
            len = m * mag;
            break;
        }
    const double px = len * unit_km * view.PixelsPerKm();
    const double x0 = view.width() - px - 16, y0 = view.height() - 22;
    // Inside the box ScaleBarRect keeps free, whatever length was chosen.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRectF(x0 - 6, y0 - 16, px + 12, 26), QColor(255, 255, 255, 190));
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(x0, y0), QPointF(x0 + px, y0));
    p.drawLine(QPointF(x0, y0 - 4), QPointF(x0, y0 + 4));
    p.drawLine(QPointF(x0 + px, y0 - 4), QPointF(x0 + px, y0 + 4));
    char text[32];
    std::snprintf(text, sizeof text, "%g %s", len, use_kmh ? "km" : "NM");
    p.setFont(small_font_);
    p.drawText(QRectF(x0, y0 - 16, px, 14), Qt::AlignCenter, QString::fromLatin1(text));
}

}  // namespace ternwick
