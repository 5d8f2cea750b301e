#include "map_render.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

#include "common/field_reader.h"

namespace ternwick::maps {

namespace {

// Calm colours: the aircraft marks drawn over the picture must stand out.
const QColor kSea(0xd4, 0xe4, 0xf0);
const QColor kLand(0xf2, 0xef, 0xe4);
const QColor kBorder(0xb4, 0xa4, 0x8c);
const QColor kCoast(0x6d, 0x8c, 0xa6);
const QColor kGraticule(0x7f, 0x9d, 0xb8, 120);
const QColor kLabel(0x3a, 0x50, 0x63);
const QColor kName(0x26, 0x34, 0x42);

bool ParseDouble(const std::string& s, double& out) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && p == end;
}

bool ParseInt(const std::string& s, int& out) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, out);
    return ec == std::errc() && p == end;
}

// Projection of the catalogue: the west edge at x 0, the north edge at y 0.
struct Projection {
    const MapFrame& f;
    double sx = kWidth / f.lon_span;
    double sy = kHeight / f.lat_span;
    QPointF operator()(const QPointF& p, double shift) const {
        return {(p.x() + shift - f.lon_west) * sx, (f.lat_span - (p.y() - f.lat_south)) * sy};
    }
};

// Whole turns (-360, 0, +360 ...) that bring a ring's longitudes into the frame, so that a
// frame reaching past the 180th meridian still shows the land beyond it.
std::vector<double> Shifts(const Ring& outer, const MapFrame& f) {
    double lo = 1e9, hi = -1e9, south = 1e9, north = -1e9;
    for (const QPointF& p : outer) {
        lo = std::min(lo, p.x());
        hi = std::max(hi, p.x());
        south = std::min(south, p.y());
        north = std::max(north, p.y());
    }
    std::vector<double> out;
    if (north < f.lat_south || south > f.lat_south + f.lat_span) return out;
    for (int k = -2; k <= 2; ++k) {
        const double s = 360.0 * k;
        if (hi + s >= f.lon_west && lo + s <= f.lon_west + f.lon_span) out.push_back(s);
    }
    return out;
}

// Rings closed through a pole carry an edge along it; that edge is no coastline.
bool IsCut(const QPointF& a, const QPointF& b) {
    return std::fabs(a.y()) >= 89.999 && std::fabs(b.y()) >= 89.999;
}

void FillPolygons(QPainter& p, const Projection& proj, const std::vector<Polygon>& polys) {
    for (const Polygon& poly : polys) {
        if (poly.empty()) continue;
        for (double shift : Shifts(poly.front(), proj.f)) {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);
            for (const Ring& ring : poly) {
                QPolygonF q;
                q.reserve(static_cast<int>(ring.size()));
                for (const QPointF& pt : ring) q << proj(pt, shift);
                path.addPolygon(q);
                path.closeSubpath();
            }
            p.drawPath(path);
        }
    }
}

void StrokeRings(QPainter& p, const Projection& proj, const std::vector<Polygon>& polys) {
    for (const Polygon& poly : polys) {
        if (poly.empty()) continue;
        for (double shift : Shifts(poly.front(), proj.f)) {
            QPainterPath path;
            for (const Ring& ring : poly) {
                bool pen_down = false;
                for (size_t i = 0; i < ring.size(); ++i) {
                    const QPointF q = proj(ring[i], shift);
                    if (pen_down && !IsCut(ring[i - 1], ring[i])) path.lineTo(q);
                    else path.moveTo(q);
                    pen_down = true;
                }
            }
            p.drawPath(path);
        }
    }
}

// Text with a light halo, readable over land, sea and lines alike.
void HaloText(QPainter& p, const QPointF& baseline, const QString& text, const QFont& font, const QColor& col) {
    QPainterPath path;
    path.addText(baseline, font, text);
    p.strokePath(path, QPen(QColor(255, 255, 255, 220), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.fillPath(path, col);
}

void DrawGraticule(QPainter& p, const Projection& proj, const QRectF& keep_clear) {
    const MapFrame& f = proj.f;
    // One spacing for both directions (a 2:1 frame has square degrees); it follows the
    // latitude span, or half the longitude span where that is larger.
    const double lon_step = GraticuleStep(std::max(f.lat_span, f.lon_span / 2));
    const double lat_step = lon_step;
    QFont font("DejaVu Sans");
    font.setPixelSize(10);
    const QFontMetricsF fm(font);

    p.setPen(QPen(kGraticule, 0.7));
    std::vector<std::pair<double, double>> meridians, parallels;  // value, picture coordinate
    for (double lon = std::ceil(f.lon_west / lon_step) * lon_step; lon < f.lon_west + f.lon_span; lon += lon_step) {
        const double x = proj({lon, 0}, 0).x();
        if (x < 1.0) continue;  // on the edge: nothing to draw
        p.drawLine(QPointF(x, 0), QPointF(x, kHeight));
        meridians.emplace_back(lon, x);
    }
    for (double lat = std::ceil(f.lat_south / lat_step) * lat_step; lat < f.lat_south + f.lat_span; lat += lat_step) {
        const double y = proj({0, lat}, 0).y();
        if (y > kHeight - 1.0) continue;
        p.drawLine(QPointF(0, y), QPointF(kWidth, y));
        parallels.emplace_back(lat, y);
    }

    // Meridians are labelled along the top edge, parallels along the left edge.
    for (auto [lon, x] : meridians) {
        double wrapped = std::fmod(lon + 540.0, 360.0) - 180.0;
        if (wrapped == -180.0 && lon > 0) wrapped = 180.0;
        const QString text = DegreeLabel(wrapped, true);
        const double w = fm.horizontalAdvance(text);
        const double left = std::clamp(x - w / 2, 2.0, kWidth - w - 2.0);
        if (x < 24 && parallels.size()) continue;  // the corner belongs to the parallel labels
        HaloText(p, QPointF(left, fm.ascent() + 2), text, font, kLabel);
    }
    for (auto [lat, y] : parallels) {
        const QString text = DegreeLabel(lat, false);
        const QRectF box(3, y - fm.height() - 1, fm.horizontalAdvance(text), fm.height());
        if (y < fm.height() + 20 || box.intersects(keep_clear)) continue;  // clear of the top row
        HaloText(p, QPointF(3, y - 3), text, font, kLabel);
    }
}

}  // namespace

bool ReadFrames(const std::string& path, std::vector<MapFrame>& frames, std::string& error) {
    frames.clear();
    std::string text, why;
    if (!ReadWholeFile(path, text, why)) {
        error = "cannot read map catalogue " + path + ": " + why;
        return false;
    }
    FieldReader reader(text);
    std::string field;
    int n = 0;
    if (!reader.Next(field) || !ParseInt(field, n) || n < 1) {
        error = path + ": line 1: the number of maps must be a whole number of at least 1, not \"" + field + "\"";
        return false;
    }
    for (int k = 1; k <= n; ++k) {
        std::string v[9];
        for (int i = 0; i < 9; ++i) {
            if (!reader.Next(v[i])) {
                error = path + ": map " + std::to_string(k) + " of " + std::to_string(n) +
                        " is incomplete (the file ends after " + std::to_string(i) + " of its 9 fields)";
                return false;
            }
        }
        MapFrame f;
        f.name = v[0];
        f.file = v[1];
        f.line = reader.Line();
        double* nums[4] = {&f.lon_west, &f.lon_span, &f.lat_south, &f.lat_span};
        for (int i = 0; i < 4; ++i) {
            if (!ParseDouble(v[2 + i], *nums[i]) || !std::isfinite(*nums[i])) {
                error = path + ": line " + std::to_string(f.line) + ": map \"" + f.name + "\": \"" + v[2 + i] +
                        "\" is not a number";
                return false;
            }
        }
        if (!(f.lon_span > 0) || !(f.lat_span > 0)) {
            error = path + ": line " + std::to_string(f.line) + ": map \"" + f.name + "\" has a " +
                    (f.lon_span > 0 ? "latitude" : "longitude") + " span of zero or less";
            return false;
        }
        if (f.file.empty()) {
            error = path + ": line " + std::to_string(f.line) + ": map \"" + f.name + "\" names no picture file";
            return false;
        }
        frames.push_back(f);
    }
    return true;
}

namespace {

bool ReadRing(const QJsonArray& coords, Ring& ring) {
    ring.clear();
    ring.reserve(coords.size());
    for (const QJsonValue& c : coords) {
        const QJsonArray pt = c.toArray();
        if (pt.size() < 2 || !pt[0].isDouble() || !pt[1].isDouble()) return false;
        ring.emplace_back(pt[0].toDouble(), pt[1].toDouble());
    }
    return ring.size() >= 3;
}

// Outlines that cross the 180th meridian jump from +180 to -180 between two points. The ring
// is made continuous (its longitudes may then pass 180), and a ring that winds once around
// a pole (Antarctica) is closed along that pole, so that it can be filled.
void Unwrap(Ring& ring) {
    if (ring.size() < 2) return;
    double shift = 0, lat_sum = 0;
    for (size_t i = 1; i < ring.size(); ++i) {
        const double step = ring[i].x() + shift - ring[i - 1].x();
        if (step > 180) shift -= 360;
        else if (step < -180) shift += 360;
        ring[i].rx() += shift;
    }
    for (const QPointF& p : ring) lat_sum += p.y();
    const double turn = ring.back().x() - ring.front().x();
    if (std::fabs(turn) > 180) {
        const double pole = lat_sum < 0 ? -90.0 : 90.0;
        const double first_lon = ring.front().x();
        ring.emplace_back(ring.back().x(), pole);
        ring.emplace_back(first_lon, pole);
        ring.push_back(ring.front());
    }
}

// A hole is moved by whole turns next to its outer ring.
void AlignTo(Ring& hole, const Ring& outer) {
    double lo = 1e9, hi = -1e9;
    for (const QPointF& p : outer) {
        lo = std::min(lo, p.x());
        hi = std::max(hi, p.x());
    }
    const double x = hole.front().x();
    const double shift = x < lo - 180 ? 360 : x > hi + 180 ? -360 : 0;
    if (shift != 0)
        for (QPointF& p : hole) p.rx() += shift;
}

bool ReadPolygon(const QJsonArray& rings, std::vector<Polygon>& out) {
    Polygon poly;
    for (const QJsonValue& r : rings) {
        Ring ring;
        if (!ReadRing(r.toArray(), ring)) return false;
        Unwrap(ring);
        if (!poly.empty()) AlignTo(ring, poly.front());
        poly.push_back(std::move(ring));
    }
    if (!poly.empty()) out.push_back(std::move(poly));
    return true;
}

bool ReadGeometry(const QJsonObject& g, std::vector<Polygon>& out) {
    const QString type = g.value("type").toString();
    if (type == "FeatureCollection") {
        for (const QJsonValue& f : g.value("features").toArray())
            if (!ReadGeometry(f.toObject(), out)) return false;
        return true;
    }
    if (type == "Feature") return g.value("geometry").isNull() || ReadGeometry(g.value("geometry").toObject(), out);
    if (type == "GeometryCollection") {
        for (const QJsonValue& m : g.value("geometries").toArray())
            if (!ReadGeometry(m.toObject(), out)) return false;
        return true;
    }
    if (type == "Polygon") return ReadPolygon(g.value("coordinates").toArray(), out);
    if (type == "MultiPolygon") {
        for (const QJsonValue& p : g.value("coordinates").toArray())
            if (!ReadPolygon(p.toArray(), out)) return false;
        return true;
    }
    return true;  // points and lines have no area: not part of a base map
}

}  // namespace

bool LoadGeoJson(const QString& path, std::vector<Polygon>& polygons, std::string& error) {
    polygons.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read " + path.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &perr);
    if (doc.isNull() || !doc.isObject()) {
        error = path.toStdString() + " is not GeoJSON: " +
                (doc.isNull() ? perr.errorString().toStdString() + " at byte " + std::to_string(perr.offset)
                              : std::string("the top level is not an object"));
        return false;
    }
    if (!ReadGeometry(doc.object(), polygons)) {
        error = path.toStdString() + ": a polygon has malformed coordinates";
        return false;
    }
    if (polygons.empty()) {
        error = path.toStdString() + " holds no polygons";
        return false;
    }
    return true;
}

double GraticuleStep(double span) {
    for (double step : {0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 45.0})
        if (span / step <= 6.0) return step;
    return 90.0;
}

QString DegreeLabel(double value, bool longitude) {
    const double a = std::fabs(value);
    QString num = QString::number(a, 'g', 8);
    if (a < 1e-9) return QStringLiteral("0°");
    if (longitude && std::fabs(a - 180.0) < 1e-9) return QStringLiteral("180°");
    const QChar hemi = longitude ? (value > 0 ? 'E' : 'W') : (value > 0 ? 'N' : 'S');
    return num + QStringLiteral("°") + hemi;
}

namespace {

// What draws the outlines of one picture: land filled, then (after the graticule) borders and
// coastlines stroked with the pen already set.
struct OutlineDrawing {
    std::function<void(QPainter&, const Projection&)> fill_land, stroke_borders, stroke_coast;
};

QImage Render(const MapFrame& frame, const OutlineDrawing& draw) {
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    img.fill(kSea);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const Projection proj{frame};

    if (draw.fill_land) {
        p.setPen(Qt::NoPen);
        p.setBrush(kLand);
        draw.fill_land(p, proj);
    }

    // The name sits in the bottom-right corner, where aircraft get no labels.
    QFont name_font("DejaVu Sans");
    name_font.setPixelSize(13);
    name_font.setBold(true);
    const QFontMetricsF nfm(name_font);
    const QString name = QString::fromStdString(frame.name);
    const QRectF name_box(kWidth - nfm.horizontalAdvance(name) - 16, kHeight - nfm.height() - 10,
                          nfm.horizontalAdvance(name) + 10, nfm.height() + 4);

    p.setBrush(Qt::NoBrush);
    DrawGraticule(p, proj, name_box);
    if (draw.stroke_borders) {
        p.setPen(QPen(kBorder, 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        draw.stroke_borders(p, proj);
    }
    if (draw.stroke_coast) {
        p.setPen(QPen(kCoast, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        draw.stroke_coast(p, proj);
    }

    p.setPen(QPen(QColor(0x9a, 0xae, 0xc0), 1.0));
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawRoundedRect(name_box, 3, 3);
    p.setPen(kName);
    p.setFont(name_font);
    p.drawText(name_box, Qt::AlignCenter, name);
    p.end();
    return img;
}

// Adds a run of the store to a path at each whole turn that brings it into the frame (a frame
// past the 180th meridian shows runs from beyond it; a whole-world frame that does not start
// at -180 shows some runs at both edges).
void AddRun(QPainterPath& path, const Projection& proj, geo::PointRun run, bool closed) {
    if (run.count < 2) return;
    float lo = run.lonlat[0], hi = run.lonlat[0];
    for (uint32_t i = 1; i < run.count; ++i) {
        lo = std::min(lo, run.lonlat[2 * i]);
        hi = std::max(hi, run.lonlat[2 * i]);
    }
    const MapFrame& f = proj.f;
    for (int k = -1; k <= 1; ++k) {
        const double shift = 360.0 * k;
        if (hi + shift < f.lon_west || lo + shift > f.lon_west + f.lon_span) continue;
        path.moveTo(proj({run.lonlat[0], run.lonlat[1]}, shift));
        for (uint32_t i = 1; i < run.count; ++i) path.lineTo(proj({run.lonlat[2 * i], run.lonlat[2 * i + 1]}, shift));
        if (closed) path.closeSubpath();
    }
}

}  // namespace

QImage RenderMap(const MapFrame& frame, const MapLayers& layers) {
    OutlineDrawing draw;
    if (layers.land) {
        draw.fill_land = [&](QPainter& p, const Projection& proj) { FillPolygons(p, proj, *layers.land); };
        draw.stroke_coast = [&](QPainter& p, const Projection& proj) { StrokeRings(p, proj, *layers.land); };
    }
    if (layers.countries)
        draw.stroke_borders = [&](QPainter& p, const Projection& proj) { StrokeRings(p, proj, *layers.countries); };
    return Render(frame, draw);
}

QImage RenderMap(const MapFrame& frame, const geo::OutlineStore& store, geo::OutlineDetail detail) {
    const geo::GeoBox box{frame.lon_west, frame.lat_south, frame.lon_west + frame.lon_span,
                          frame.lat_south + frame.lat_span};
    using ForEach = void (geo::OutlineStore::*)(geo::OutlineDetail, const geo::GeoBox&,
                                                const std::function<void(geo::PointRun)>&) const;
    auto draw_layer = [&](ForEach for_each, bool fill) {
        return [&store, &box, detail, for_each, fill](QPainter& p, const Projection& proj) {
            QPainterPath path;
            path.setFillRule(Qt::OddEvenFill);  // lakes are rings of their own
            (store.*for_each)(detail, box, [&](geo::PointRun run) { AddRun(path, proj, run, fill); });
            if (fill) p.fillPath(path, p.brush());
            else p.strokePath(path, p.pen());
        };
    };
    OutlineDrawing draw;
    draw.fill_land = draw_layer(&geo::OutlineStore::ForEachLand, true);
    draw.stroke_borders = draw_layer(&geo::OutlineStore::ForEachBorder, false);
    draw.stroke_coast = draw_layer(&geo::OutlineStore::ForEachCoastline, false);
    return Render(frame, draw);
}

QImage ToPalette(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) ++counts[line[x]];
    }
    std::vector<std::pair<int, QRgb>> byCount;
    byCount.reserve(counts.size());
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) byCount.emplace_back(it.value(), it.key());
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QList<QRgb> table;
    for (size_t i = 0; i < byCount.size() && i < 256; ++i) table.push_back(byCount[i].second);
    return rgb.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither);
}

}  // namespace ternwick::maps
