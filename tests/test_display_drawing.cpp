// The map surface's circles and track lines against the plain painter calls they stand for:
// every pixel the same, for circles of every quarter-pixel offset, lines of every width
// (including the short ones inside dots that are skipped), at and past the picture's edges.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>

#include <random>

#include "display/map_surface.h"

using namespace ternwick;

static int DifferingPixels(const QImage& a, const QImage& b, QPoint& first) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && n++ == 0) first = QPoint(x, y);
    return n;
}

TEST(MapDrawing, CirclesAndTracksMatchThePainterPixelForPixel) {
    static int argc = 1;
    static char name[] = "test_display_drawing", *argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    // Width 0 (the painter's thinnest line) up to 3; the shipped maps use 1 and 2.
    for (const int width : {0, 1, 2, 3}) {
        std::mt19937 rng(static_cast<unsigned>(width) + 11);
        std::uniform_real_distribution<float> jitter(-1.5f, 1.5f), quarter(0.0f, 1.0f);
        // Four colours, so that tracks cross dots of their own colour and of others.
        const int32_t palette[] = {RgbValue(200, 30, 30), RgbValue(30, 160, 40), RgbValue(20, 20, 220),
                                   RgbValue(255, 255, 192)};
        MapSurface surface;
        surface.SetDrawWidth(width);
        // The drawing as the surface did it with the painter alone: each circle drawn into a small
        // transparent image at its quarter-pixel offset and copied, each line stroked.
        QImage reference(MapSurface::kWidth, MapSurface::kHeight, QImage::Format_RGB32);
        reference.fill(MapSurface::kBackground);
        QPainter painter(&reference);
        painter.setRenderHint(QPainter::Antialiasing, false);
        auto circle = [&](float x, float y, double radius, bool solid, int32_t pen, int32_t fill) {
            surface.SetFillStyle(solid ? MapSurface::kFillSolid : MapSurface::kFillTransparent);
            surface.SetFillColor(fill);
            surface.Circle(x, y, radius, pen);
            const double fx = std::floor(x), fy = std::floor(y);
            const int half = static_cast<int>(std::ceil(std::fabs(radius) + width)) + 2;
            QImage stamp(2 * half + 1, 2 * half + 1, QImage::Format_ARGB32_Premultiplied);
            stamp.fill(Qt::transparent);
            QPainter p(&stamp);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(QPen(ColorFromRgbValue(pen), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            if (solid) p.setBrush(ColorFromRgbValue(fill));
            const double qx = static_cast<int>((x - fx) * 4) / 4.0, qy = static_cast<int>((y - fy) * 4) / 4.0;
            p.drawEllipse(QPointF(half + qx, half + qy), radius, radius);
            p.end();
            painter.drawImage(QPoint(static_cast<int>(fx) - half, static_cast<int>(fy) - half), stamp);
        };
        auto line = [&](float x1, float y1, float x2, float y2, int32_t col) {
            surface.Line(x1, y1, x2, y2, col);
            painter.setPen(QPen(ColorFromRgbValue(col), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
        };
        // Flights as the map plots them: a dot, then a track back to the previous dot, mostly
        // a pixel or less away; now and then a jump, and some at and beyond the edges.
        struct Track { float x, y; int32_t col; };
        std::vector<Track> tracks;
        for (int k = 0; k < 40; ++k) {
            const float x = k < 30 ? 20.0f + 19.0f * k + quarter(rng) : (k % 2 ? -3.0f : 797.0f) + quarter(rng);
            const float y = k < 30 ? 30.0f + 11.0f * k + quarter(rng) : (k % 4 < 2 ? 2.0f : 398.0f) + quarter(rng);
            tracks.push_back({x, y, palette[k % 4]});
        }
        for (int step = 0; step < 3000; ++step) {
            Track& t = tracks[rng() % tracks.size()];
            const float x = t.x + (step % 50 == 0 ? 30.0f * jitter(rng) : jitter(rng) * 0.4f);
            const float y = t.y + (step % 50 == 0 ? 30.0f * jitter(rng) : jitter(rng) * 0.4f);
            // The map fills in the pen's colour; other fills and no fill now and then.
            circle(x, y, step % 7 == 0 ? 2.0 : 4.0, step % 11 != 0, t.col, step % 5 == 0 ? palette[step % 4] : t.col);
            // Another colour over the dot before its track is drawn.
            if (step % 13 == 0) line(x - 3.0f, y, x + 3.0f, y + 1.0f, palette[(step / 13) % 4]);
            line(x, y, t.x, t.y, t.col);
            t.x = x, t.y = y;
        }
        // A few far outside the picture, which leave it alone.
        circle(-5000.0f, 200.0f, 4.0, true, palette[0], palette[0]);
        line(-5000.0f, 200.0f, -4999.0f, 201.0f, palette[0]);

        painter.end();
        QPoint first;
        EXPECT_EQ(DifferingPixels(surface.Image(), reference, first), 0)
            << "width " << width << ", first at " << first.x() << "," << first.y();
    }
}
