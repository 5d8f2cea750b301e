// The land, coastlines and country borders under the live map, from the Natural Earth
// outline store: the level of detail suits the view's width, and only the cells the view
// meets are read.
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "display/live_map.h"
#include "display/live_map_style.h"
#include "geo/outlines.h"

namespace ternwick {

namespace {

// Far round the back of the Earth the projection stretches without end: what lies beyond
// this arc from the centre is left out (a thin ring at the rim of the whole-Earth view).
constexpr double kMaxArc = 170.0;

}  // namespace

geo::OutlineDetail LiveMapRenderer::DetailFor(const geo::ViewProjection& view) {
    // The width of the view in degrees of longitude at its centre.
    const double cos_lat = std::max(0.05, std::cos(view.centre().lat * 3.14159265358979 / 180));
    return geo::DetailForSpan(view.km_across() / (111.195 * cos_lat));
}

void LiveMapRenderer::DrawOutlines(QPainter& p, const geo::ViewProjection& view, const geo::OutlineStore& store,
                                   geo::OutlineDetail detail, const QRectF& area) {
    const geo::ViewProjection::Box b = view.GeoBounds(area.left(), area.top(), area.right(), area.bottom());
    const geo::GeoBox box{b.west, b.south, b.east, b.north};
    const double w = view.width(), h = view.height();
    // Points far outside the picture are kept (a ring must stay closed) but held to a
    // bounded range, so the painter's fixed-point maths never overflows.
    const double limit = 8.0 * (w + h);
    // Points closer together than about a pixel add nothing but work: they are skipped
    // before the (costly) projection, by a flat-Earth test on their degrees.
    const double tol_deg = 0.8 / view.PixelsPerKm() / 111.2;
    const double cos_lat = std::max(0.05, std::cos(view.centre().lat * 3.14159265358979 / 180));
    auto near = [&](const float* a, const float* b) {
        return std::abs(a[1] - b[1]) < tol_deg && std::abs(a[0] - b[0]) * cos_lat < tol_deg;
    };
    auto project = [&](const float* ll, QPointF& out) {
        geo::ScreenPoint s;
        double arc = 0;
        if (!view.ToScreen({ll[1], ll[0]}, s, &arc) || arc > kMaxArc) return false;
        out = QPointF(std::clamp(s.x, -limit, w + limit), std::clamp(s.y, -limit, h + limit));
        return true;
    };

    // The land is filled without antialiasing: the coastline drawn over its edge smooths it.
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath land;
    land.setFillRule(Qt::OddEvenFill);
    QPolygonF ring;
    store.ForEachLand(detail, box, [&](geo::PointRun run) {
        ring.clear();
        ring.reserve(static_cast<qsizetype>(run.count) + 1);
        QPointF q;
        const float* kept = nullptr;
        for (uint32_t k = 0; k < run.count; ++k) {
            const float* ll = run.lonlat + 2 * k;
            if (kept && k + 1 < run.count && near(kept, ll)) continue;
            if (!project(ll, q)) return;  // a cell near the rim: left out whole
            ring << q;
            kept = ll;
        }
        if (ring.size() < 3) return;
        if (!ring.boundingRect().intersects(area)) return;
        land.addPolygon(ring);
        land.closeSubpath();
    });
    p.setPen(Qt::NoPen);
    p.setBrush(kLandColour);
    p.drawPath(land);
    p.setBrush(Qt::NoBrush);
    p.setRenderHint(QPainter::Antialiasing, true);

    auto stroke = [&](geo::PointRun run) {
        QPolygonF line;
        QPointF q;
        auto flush = [&] {
            if (line.size() >= 2) {
                const QRectF r = line.boundingRect();
                // (a straight line up or across has an empty box, which intersects nothing)
                if (r.adjusted(-1, -1, 1, 1).intersects(area)) p.drawPolyline(line);
            }
            line.clear();
        };
        const float* kept = nullptr;
        for (uint32_t k = 0; k < run.count; ++k) {
            const float* ll = run.lonlat + 2 * k;
            if (kept && k + 1 < run.count && near(kept, ll)) continue;
            kept = ll;
            if (project(ll, q)) line << q;
            else flush();
        }
        flush();
    };
    p.setPen(QPen(kBorderColour, 1.0, Qt::DashLine));
    store.ForEachBorder(detail, box, stroke);
    p.setPen(QPen(kCoastColour, 1.0));
    store.ForEachCoastline(detail, box, stroke);
}

}  // namespace ternwick
