#include "map_surface.h"

#include <sys/stat.h>

#include <cmath>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

namespace ternwick {

namespace {

// Point sizes turn into pixels at 96 dots per inch whatever screen (if any) there is.
constexpr int kDotsPerMeter = 3780;

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

const QImage& MapSurface::CircleStamp(double radius, int32_t col, QPointF frac, int& half) {
    half = static_cast<int>(std::ceil(std::fabs(radius) + draw_width_)) + 2;
    const StampKey key{radius, draw_width_, fill_style_, col, fill_style_ == kFillSolid ? fill_color_ : 0,
                       static_cast<int>(frac.x() * 4), static_cast<int>(frac.y() * 4)};
    auto it = stamps_.find(key);
    if (it != stamps_.end()) return it->second;
    if (stamps_.size() > 4096) stamps_.clear();  // bounded, whatever the traffic
    QImage stamp(2 * half + 1, 2 * half + 1, QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    QPainter p(&stamp);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(ColorFromRgbValue(col), draw_width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (fill_style_ == kFillSolid) p.setBrush(ColorFromRgbValue(fill_color_));
    else p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(half + key.fx / 4.0, half + key.fy / 4.0), radius, radius);
    p.end();
    return stamps_.emplace(key, std::move(stamp)).first->second;
}

void MapSurface::Circle(float x, float y, double radius, int32_t col) {
    const double fx = std::floor(x), fy = std::floor(y);
    // A point far off the picture shows nothing, and its coordinates may be past what an
    // int holds (a point west of a narrow map lands 360 degrees east of it).
    constexpr double kFar = 1e6;
    if (!(std::fabs(fx) < kFar && std::fabs(fy) < kFar)) {
        current_x_ = x;
        current_y_ = y;
        return;
    }
    int half = 0;
    const QImage& stamp = CircleStamp(radius, col, QPointF(x - fx, y - fy), half);
    Painter().drawImage(QPoint(static_cast<int>(fx) - half, static_cast<int>(fy) - half), stamp);
    current_x_ = x;
    current_y_ = y;
    ++revision_;
}

void MapSurface::Line(float x1, float y1, float x2, float y2, int32_t col) {
    QPainter& p = Painter();
    if (col != line_pen_col_ || draw_width_ != line_pen_width_) {
        p.setPen(QPen(ColorFromRgbValue(col), draw_width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        line_pen_col_ = col;
        line_pen_width_ = draw_width_;
    }
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
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
    return image_;
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
