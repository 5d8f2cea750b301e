#include "map_surface.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ternwick {

namespace {

// Point sizes turn into pixels at 96 dots per inch whatever screen (if any) there is.
constexpr int kDotsPerMeter = 3780;

// Sets n pixels to c. A dot's spans are mostly 3 to 10 pixels: four at a time, the last
// four overlapping what is already set, instead of one store per pixel.
void FillPixels(QRgb* p, int n, QRgb c) {
#if defined(__SSE2__)
    if (n >= 4) {
        const __m128i four = _mm_set1_epi32(static_cast<int>(c));
        for (int k = 0; k < n - 4; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + k), four);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 4), four);
        return;
    }
#endif
    for (int k = 0; k < n; ++k) p[k] = c;
}

QImage BlankImage() {
    QImage img(MapSurface::kWidth, MapSurface::kHeight, QImage::Format_RGB32);
    img.setDotsPerMeterX(kDotsPerMeter);
    img.setDotsPerMeterY(kDotsPerMeter);
    img.fill(MapSurface::kBackground);
    return img;
}

}  // namespace

QColor ColorFromRgbValue(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int32_t RgbValue(int red, int green, int blue) { return red + 256 * green + 65536 * blue; }

QRgb PixelOf(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    return qRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QFont MapFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(true);
    font.setPointSizeF(8.0);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setBold(true);
        font.setPointSizeF(8.0);
    }
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

MapSurface::MapSurface() : picture_(BlankImage()), image_(picture_) {}

MapSurface::~MapSurface() { EndPainting(); }

QPainter& MapSurface::Painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, false);
        painter_->setFont(font_);
    }
    return *painter_;
}

void MapSurface::EndPainting() {
    if (painter_) {
        painter_->end();
        painter_.reset();
        line_pen_width_ = -1;  // a new painter starts with the default pen
    }
}

bool MapSurface::LoadPicture(const QString& path, QString& error) {
    // Only a plain file: a folder says nothing useful, and a pipe or device would never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral("Map picture \"%1\" cannot be loaded (it is not a plain file)").arg(path);
        return false;
    }
    QImageReader reader(path);
    // A map is 800 x 400; a picture of many megapixels is a mistake, not a map to decode.
    reader.setAllocationLimit(kMaxPictureMegabytes);
    QImage pic = reader.read();
    if (pic.isNull()) {
        error = QStringLiteral("Map picture \"%1\" cannot be loaded (%2)").arg(path, reader.errorString());
        return false;
    }
    QImage base = BlankImage();
    {
        QPainter p(&base);
        p.drawImage(0, 0, pic);  // own size, top-left; the surface edge crops a larger one
    }
    picture_ = std::move(base);
    Wipe();
    return true;
}

void MapSurface::Wipe() {
    EndPainting();
    image_ = picture_;
    image_.detach();
    ++revision_;
}

void MapSurface::SetFont(const QFont& font) {
    font_ = font;
    if (painter_) painter_->setFont(font_);
}

const MapSurface::CircleMask& MapSurface::Mask(double radius, int fx, int fy) {
    ShapeMasks& shape = shape_masks_;
    const bool quarter = fx >= 0 && fx < 4 && fy >= 0 && fy < 4;
    if (quarter && radius == shape.radius && draw_width_ == shape.width && fill_style_ == shape.fill_style &&
        shape.at[fx][fy])
        return *shape.at[fx][fy];
    const MaskKey key{radius, draw_width_, fill_style_, fx, fy};
    auto it = masks_.find(key);
    if (it == masks_.end()) it = masks_.emplace(key, MakeMask(key)).first;
    if (!quarter) return it->second;
    if (!(radius == shape.radius && draw_width_ == shape.width && fill_style_ == shape.fill_style))
        shape = {radius, draw_width_, fill_style_, {}};
    shape.at[fx][fy] = &it->second;
    return it->second;
}

MapSurface::CircleMask MapSurface::MakeMask(const MaskKey& key) {
    if (masks_.size() > 4096) {  // bounded, whatever the catalogue says
        masks_.clear();
        shape_masks_ = {};
    }
    const double radius = key.radius;
    CircleMask mask;
    mask.half = static_cast<int>(std::ceil(std::fabs(radius) + draw_width_)) + 2;
    const int size = 2 * mask.half + 1;
    // The painter draws the circle once, the outline and the fill in two marker colours.
    constexpr QRgb kFillMarker = 0xFF0000FF;
    QImage stamp(size, size, QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    QPainter p(&stamp);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(0xFF, 0, 0), draw_width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (fill_style_ == kFillSolid) p.setBrush(QColor(kFillMarker));
    else p.setBrush(Qt::NoBrush);
    const QPointF centre(mask.half + key.fx / 4.0, mask.half + key.fy / 4.0);
    p.drawEllipse(centre, radius, radius);
    p.end();
    mask.inner = size;  // the stamp's border is never drawn: some pixel is always nearer
    for (int y = 0; y < size; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(stamp.constScanLine(y));
        for (int x = 0; x < size;) {
            if (qAlpha(row[x]) == 0) {
                mask.inner = std::min(mask.inner, std::hypot(x + 0.5 - centre.x(), y + 0.5 - centre.y()));
                ++x;
                continue;
            }
            const QRgb first = row[x];
            const int start = x;
            while (x < size && row[x] == first) ++x;
            mask.runs.push_back({start - mask.half, y - mask.half, x - start, first == kFillMarker ? kFill : kOutline});
        }
    }
    for (const MaskRun& run : mask.runs) {
        MaskRun* last = mask.spans.empty() ? nullptr : &mask.spans.back();
        if (last && last->dy == run.dy && last->dx + last->length == run.dx) last->length += run.length;
        else mask.spans.push_back(run);
    }
    return mask;
}

void MapSurface::Circle(float x, float y, double radius, int32_t col) {
    const double fx = std::floor(x), fy = std::floor(y);
    const CircleMask& mask = Mask(radius, static_cast<int>((x - fx) * 4), static_cast<int>((y - fy) * 4));
    const QRgb colour[3] = {0, PixelOf(col), PixelOf(fill_color_)};
    // The picture is always kWidth x kHeight RGB32 (BlankImage underlies every picture): an
    // opaque pixel of the painter's is its colour value, so writing the value is what
    // drawing it would do.
    if (fx + mask.half >= 0 && fy + mask.half >= 0 && fx - mask.half < kWidth && fy - mask.half < kHeight) {
        QRgb* bits = reinterpret_cast<QRgb*>(image_.bits());
        const int stride = static_cast<int>(image_.bytesPerLine() / 4);
        const int centre_x = static_cast<int>(fx), centre_y = static_cast<int>(fy);
        if (centre_x - mask.half >= 0 && centre_y - mask.half >= 0 && centre_x + mask.half < kWidth &&
            centre_y + mask.half < kHeight) {
            // Wholly inside the picture, as nearly every plot is: no run needs clipping. A
            // dot outlined in its fill colour (every plot of an aircraft) is written by spans.
            QRgb* const centre = bits + centre_y * stride + centre_x;
            const bool one_colour = colour[kOutline] == colour[kFill];
            for (const MaskRun& run : one_colour ? mask.spans : mask.runs) {
                QRgb* p = centre + run.dy * stride + run.dx;
                FillPixels(p, run.length, colour[run.paint]);
            }
        } else {
            for (const MaskRun& run : mask.runs) {
                const int row = centre_y + run.dy;
                if (row < 0 || row >= kHeight) continue;
                const int from = std::max(0, centre_x + run.dx);
                const int to = std::max(from, std::min(kWidth, centre_x + run.dx + run.length));
                std::fill(bits + row * stride + from, bits + row * stride + to, colour[run.paint]);
            }
        }
    }
    current_x_ = x;
    current_y_ = y;
    ++revision_;
    // The mask's centre lies up to a quarter pixel right of and below (x, y): 0.36 covers
    // the diagonal (0.354) and the rounding of float.
    last_dot_ = {x, y, colour[kOutline] == colour[kFill] ? colour[kFill] : 0, mask.inner - 0.36, revision_};
}

bool MapSurface::InsideLastDot(float x1, float y1, float x2, float y2, QRgb rgb) const {
    if (revision_ != last_dot_.revision || x1 != last_dot_.x || y1 != last_dot_.y || rgb != last_dot_.rgb) return false;
    // A pixel AlreadyDrawn looks at has its centre within `reach` of the line, so within
    // reach + length of (x1, y1).
    const double reach = std::max(draw_width_, 1) / 2.0 + 1.0;
    const double dx = double(x2) - x1, dy = double(y2) - y1;
    return std::sqrt(dx * dx + dy * dy) + reach < last_dot_.inner;
}

bool MapSurface::AlreadyDrawn(float x1, float y1, float x2, float y2, QRgb rgb) const {
    // The pen sets the pixels whose centres lie within half its width of the segment (round
    // caps); one pixel more all round also covers a thin line, which is drawn pixel-stepped.
    const double reach = std::max(draw_width_, 1) / 2.0 + 1.0;
    const double left = std::min(x1, x2) - reach, right = std::max(x1, x2) + reach;
    const double top = std::min(y1, y2) - reach, bottom = std::max(y1, y2) + reach;
    if (!(right - left < 24 && bottom - top < 24)) return false;  // long (or not a number): draw it
    if (right < 0 || bottom < 0 || left >= kWidth || top >= kHeight) return true;
    const int px0 = std::max(0, static_cast<int>(left)), px1 = std::min(kWidth - 1, static_cast<int>(right));
    const int py0 = std::max(0, static_cast<int>(top)), py1 = std::min(kHeight - 1, static_cast<int>(bottom));
    const double dx = double(x2) - x1, dy = double(y2) - y1, length2 = dx * dx + dy * dy;
    const double along = length2 > 0 ? 1.0 / length2 : 0.0;
    const auto* bits = reinterpret_cast<const QRgb*>(image_.constBits());
    const int stride = static_cast<int>(image_.bytesPerLine() / 4);
    for (int py = py0; py <= py1; ++py) {
        for (int px = px0; px <= px1; ++px) {
            // Distance from the pixel's centre to the nearest point of the segment.
            // The colour first: most pixels near a track already have it, and then where
            // they lie does not matter.
            if (bits[py * stride + px] == rgb) continue;
            const double cx = px + 0.5 - x1, cy = py + 0.5 - y1;
            const double t = std::clamp((cx * dx + cy * dy) * along, 0.0, 1.0);
            const double ex = cx - t * dx, ey = cy - t * dy;
            if (ex * ex + ey * ey <= reach * reach) return false;
        }
    }
    return true;
}

void MapSurface::Line(float x1, float y1, float x2, float y2, int32_t col) {
    // A track is drawn from each plot back to the one before, mostly less than a pixel long
    // and inside the two dots just drawn. Stroking a round-capped pen is the dearest step of
    // the map, and for such a segment it would change nothing.
    const QRgb rgb = PixelOf(col);
    if (!InsideLastDot(x1, y1, x2, y2, rgb) && !AlreadyDrawn(x1, y1, x2, y2, rgb)) {
        QPainter& p = Painter();
        if (col != line_pen_col_ || draw_width_ != line_pen_width_) {
            p.setPen(QPen(ColorFromRgbValue(col), draw_width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            line_pen_col_ = col;
            line_pen_width_ = draw_width_;
        }
        p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
    }
    current_x_ = x2;
    current_y_ = y2;
    ++revision_;
}

double MapSurface::TextHeight() const { return QFontMetricsF(font_, &image_).height(); }

void MapSurface::Print(std::string_view text) {
    QPainter& p = Painter();
    const QFontMetricsF fm(font_, &image_);
    p.setPen(ColorFromRgbValue(fore_color_));
    line_pen_width_ = -1;  // the pen no longer is the line pen
    p.drawText(QPointF(current_x_, current_y_ + fm.ascent()),
               QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    current_x_ = 0.0f;
    current_y_ += static_cast<float>(fm.height());
    ++revision_;
}

const QImage& MapSurface::Image() {
    EndPainting();
    if (overlay_.size() < 2) return image_;
    if (shown_revision_ != revision_) {
        shown_ = image_.copy();
        QPainter p(&shown_);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(ColorFromRgbValue(overlay_col_), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(overlay_);
        shown_revision_ = revision_;
    }
    return shown_;
}

void MapSurface::SetOverlay(QPolygonF outline, int32_t col) {
    if (outline == overlay_ && col == overlay_col_) return;
    overlay_ = std::move(outline);
    overlay_col_ = col;
    ++revision_;
}

bool MapSurface::CheckPngTarget(const QString& path, QString& error) {
    struct stat st {};
    // stat follows a link: a link to a device is refused like the device.
    if (stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode)) return true;
    const char* kind = S_ISDIR(st.st_mode)                              ? "a folder"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)     ? "a device"
                       : S_ISFIFO(st.st_mode)                           ? "a FIFO"
                                                                        : "not a regular file";
    error = QStringLiteral("Map picture \"%1\" is not written: it is %2, which the picture would replace")
                .arg(path, QString::fromLatin1(kind));
    return false;
}

bool MapSurface::SavePng(const QString& path, QString& error) {
    if (!CheckPngTarget(path, error)) return false;
    // Written beside the target and renamed at the end: a full disk or a missing folder is
    // told with the system's reason, and never leaves half a picture behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("Map picture \"%1\" cannot be written (%2)").arg(path, file.errorString());
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(Image())) {
        const QString why = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        error = QStringLiteral("Map picture \"%1\" cannot be written (%2)").arg(path, why);
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = QStringLiteral("Map picture \"%1\" cannot be written (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace ternwick
