// The base map under the aircraft: sea and land, graticule with labelled degrees, the
// receiver's mark with its range rings, and the scale bar.
#include <QPainter>
#include <QPainterPath>

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

void LiveMapRenderer::DrawBase(QPainter& p, const geo::ViewProjection& view, const LiveMapState&) {
    p.fillRect(QRect(0, 0, view.width(), view.height()), kSeaColour);
    // Beyond the rim of the Earth's disc (the whole-Earth view) is space, not sea.
    const double rim_px = geo::kEarthRadiusKm * 3.14159265358979 * view.PixelsPerKm();
    if (rim_px < std::hypot(view.width(), view.height()) / 2) {
        QPainterPath outside;
        outside.addRect(0, 0, view.width(), view.height());
        QPainterPath disc;
        disc.addEllipse(QPointF(view.width() / 2.0, view.height() / 2.0), rim_px, rim_px);
        p.fillPath(outside.subtracted(disc), kSpaceColour);
    }
}

void LiveMapRenderer::DrawGraticule(QPainter& p, const geo::ViewProjection& view) {
    // About five lines across the view, on round degrees.
    const double deg_across = view.km_across() / 111.2;
    const double steps[] = {0.05, 0.1, 0.2, 0.25, 0.5, 1, 2, 5, 10, 15, 30};
    double step = 30;
    for (double s : steps)
        if (deg_across / s <= 6) {
            step = s;
            break;
        }
    const geo::ViewProjection::Box box = view.GeoBounds();
    const bool all_lon = box.west == -180 && box.east == 180;
    double west = box.west, east = box.east;
    if (east < west) east += 360;  // across the antimeridian
    if (all_lon) west = -180, east = 180;

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kGraticuleColour, 0.8));
    p.setFont(small_font_);
    const double lat_lo = std::max(-90.0, std::floor(box.south / step) * step);
    const double lat_hi = std::min(90.0, std::ceil(box.north / step) * step);
    const double sample = std::max(step / 16, 0.01);
    const double w = view.width(), h = view.height();
    QFontMetricsF fm(small_font_);

    // Meridians, labelled where they leave the picture at the bottom.
    for (double lon = std::floor(west / step) * step; lon <= east + 1e-9; lon += step) {
        if (all_lon && lon >= 180 - 1e-9) break;
        std::vector<geo::LatLon> line;
        for (double lat = std::max(lat_lo, -89.999); lat <= std::min(lat_hi, 89.999) + 1e-9; lat += sample)
            line.push_back({std::min(lat, 89.999), lon});
        StrokeGeoLine(p, view, line);
        for (size_t i = 1; i < line.size(); ++i) {
            geo::ScreenPoint a, b;
            if (!view.ToScreen(line[i - 1], a) || !view.ToScreen(line[i], b)) continue;
            if ((a.y - h) * (b.y - h) > 0 || a.y == b.y) continue;
            const double x = a.x + (b.x - a.x) * (h - a.y) / (b.y - a.y);
            if (x < 30 || x > w - 30) break;
            const QString t = QString::fromStdString(DegreeText(geo::WrapLon180(lon), false, step));
            p.setPen(kGraticuleText);
            p.drawText(QPointF(x + 3, h - 4), t);
            p.setPen(QPen(kGraticuleColour, 0.8));
            break;
        }
    }
    // Parallels, labelled where they leave the picture on the left.
    const double lon_sample = std::max(sample, (east - west) / 400);
    for (double lat = lat_lo; lat <= lat_hi + 1e-9; lat += step) {
        if (std::abs(lat) >= 90 - 1e-9) continue;
        std::vector<geo::LatLon> line;
        for (double lon = west; lon <= east + 1e-9; lon += lon_sample) line.push_back({lat, lon});
        StrokeGeoLine(p, view, line);
        for (size_t i = 1; i < line.size(); ++i) {
            geo::ScreenPoint a, b;
            if (!view.ToScreen(line[i - 1], a) || !view.ToScreen(line[i], b)) continue;
            if (a.x * b.x > 0 || a.x == b.x) continue;
            const double y = a.y + (b.y - a.y) * (0 - a.x) / (b.x - a.x);
            if (y < fm.height() + 2 || y > h - 24) break;
            p.setPen(kGraticuleText);
            p.drawText(QPointF(3, y - 3), QString::fromStdString(DegreeText(lat, true, step)));
            p.setPen(QPen(kGraticuleColour, 0.8));
            break;
        }
    }
}

void LiveMapRenderer::DrawRings(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state) {
    if (!state.receiver) return;
    const geo::LatLon rx = *state.receiver;
    p.setRenderHint(QPainter::Antialiasing, true);
    const double ring_km = state.use_kmh ? 100.0 : 50.0 * kKmPerNm;
    // Rings out to just past the corners of the view, at most a few dozen.
    geo::ScreenPoint c;
    const bool centre_ok = view.ToScreen(rx, c);
    const double reach_km = (centre_ok ? std::hypot(std::max(c.x, view.width() - c.x),
                                                    std::max(c.y, view.height() - c.y)) / view.PixelsPerKm()
                                       : view.km_across()) + ring_km;
    const int rings = std::min(40, static_cast<int>(std::ceil(reach_km / ring_km)));
    p.setFont(small_font_);
    for (int k = 1; k <= rings; ++k) {
        const double km = k * ring_km;
        if (km > 19000) break;
        std::vector<geo::LatLon> circle;
        for (int b = 0; b <= 180; ++b) circle.push_back(geo::Destination(rx, b * 2.0, km));
        p.setPen(QPen(kRingColour, 1.0, Qt::DashLine));
        StrokeGeoLine(p, view, circle);
        geo::ScreenPoint s;  // the label due north-east of the receiver
        if (view.ToScreen(geo::Destination(rx, 45, km), s) && s.x > 0 && s.x < view.width() - 40 && s.y > 12 &&
            s.y < view.height()) {
            char text[32];
            if (state.use_kmh) std::snprintf(text, sizeof text, "%d km", static_cast<int>(std::lround(km)));
            else std::snprintf(text, sizeof text, "%d NM", k * 50);
            p.setPen(kRingText);
            p.drawText(QPointF(s.x + 3, s.y - 3), QString::fromLatin1(text));
        }
    }
    if (centre_ok) {
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(kReceiverColour);
        QPolygonF mark;  // a small upward triangle, as a mast is drawn on charts
        mark << QPointF(c.x, c.y - 7) << QPointF(c.x + 6, c.y + 5) << QPointF(c.x - 6, c.y + 5);
        p.drawPolygon(mark);
        p.setBrush(Qt::NoBrush);
        p.setPen(kRingText);
        p.drawText(QPointF(c.x + 8, c.y + 12), QStringLiteral("Receiver"));
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
