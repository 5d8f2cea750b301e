// The map drawing surface: an 800 x 400 QImage holding the map picture and everything
// drawn over it, with the drawing state (fill, line width, colours, font, current position).
#pragma once

#include <unordered_map>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>

namespace ternwick {

// Colours are 32-bit values with red in the lowest byte, green next, blue third.
QColor ColorFromRgbValue(int32_t value);
int32_t RgbValue(int red, int green, int blue);

// The fixed-pitch map font: "Courier New" bold 8 pt where it exists, else the system's
// fixed-pitch font, bold 8 pt. Drawn without anti-aliasing so marks keep exact colours.
// Needs a QGuiApplication.
QFont MapFont();

class MapSurface {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 400;
    // Shown where no picture covers the surface: light yellow.
    static constexpr QRgb kBackground = 0xFFFFFFC0;  // RGB 255, 255, 192
    static constexpr int kFillSolid = 0;
    static constexpr int kFillTransparent = 1;
    // Largest decoded picture accepted, megabytes (a 4000 x 4000 picture is 61).
    static constexpr int kMaxPictureMegabytes = 64;

    MapSurface();
    ~MapSurface();
    MapSurface(const MapSurface&) = delete;
    MapSurface& operator=(const MapSurface&) = delete;

    // Loads a picture file: on success it replaces the picture, shown at its own size from
    // the top-left corner without scaling, and everything drawn is gone. On failure the
    // surface is unchanged and `error` names the file and the reason.
    bool LoadPicture(const QString& path, QString& error);
    // Shows the last loaded picture (or the bare background) again without any drawing.
    void Wipe();

    void SetFont(const QFont& font);
    const QFont& Font() const { return font_; }
    void SetFillStyle(int style) { fill_style_ = style; }
    void SetFillColor(int32_t col) { fill_color_ = col; }
    void SetDrawWidth(int width) { draw_width_ = width; }
    void SetForeColor(int32_t col) { fore_color_ = col; }
    int FillStyle() const { return fill_style_; }
    int32_t FillColor() const { return fill_color_; }
    int DrawWidth() const { return draw_width_; }
    int32_t ForeColor() const { return fore_color_; }
    float CurrentX() const { return current_x_; }
    float CurrentY() const { return current_y_; }
    void SetCurrentX(float x) { current_x_ = x; }
    void SetCurrentY(float y) { current_y_ = y; }

    // Circle centred at (x, y): outline in `col` at the line width, filled with the fill
    // colour when the fill style is solid. The current position becomes the centre.
    void Circle(float x, float y, double radius, int32_t col);
    // Straight line in `col` at the line width; the current position becomes (x2, y2).
    void Line(float x1, float y1, float x2, float y2, int32_t col);
    // One line of text in the fore colour with its top-left corner at the current
    // position; then x goes back to 0 and y one text line down.
    void Print(std::string_view text);
    // Height of one text line in the current font, pixels.
    double TextHeight() const;

    // The picture with everything drawn so far.
    const QImage& Image();
    // Grows with every change, so a view can tell when to repaint.
    uint64_t Revision() const { return revision_; }
    // Writes the picture as PNG beside `path` and renames it over `path` at the end.
    bool SavePng(const QString& path, QString& error);
    // A target that exists and is not a regular file (a device, a FIFO, a folder) would be
    // replaced by the rename: false with a message naming it.
    static bool CheckPngTarget(const QString& path, QString& error);

private:
    QPainter& Painter();
    void EndPainting();
    const QImage& CircleStamp(double radius, int32_t col, QPointF centre_in_stamp, int& half);

    // A replay plots the same few circles hundreds of thousands of times: each distinct
    // circle (radius, width, colours, quarter-pixel offset) is drawn once into a small
    // transparent image and then copied, which is many times cheaper than filling a path.
    struct StampKey {
        double radius;
        int width, fill_style;
        int32_t pen, fill;
        int fx, fy;  // quarter pixels
        bool operator==(const StampKey&) const = default;
    };
    struct StampHash {
        size_t operator()(const StampKey& k) const {
            return std::hash<double>{}(k.radius) ^ (size_t(k.pen) * 0x9E3779B1u) ^ (size_t(k.fill) << 7) ^
                   (size_t(k.width) << 3) ^ size_t(k.fx * 4 + k.fy) ^ (size_t(k.fill_style) << 29);
        }
    };
    std::unordered_map<StampKey, QImage, StampHash> stamps_;
    // The painter's pen as the last Line set it (-1: something else set the pen since).
    int32_t line_pen_col_ = 0;
    int line_pen_width_ = -1;

    QImage picture_;  // the loaded picture on the background, nothing drawn
    QImage image_;    // what is shown
    std::unique_ptr<QPainter> painter_;  // kept open between drawing steps: cheap plotting
    QFont font_;
    int fill_style_ = kFillTransparent;
    int32_t fill_color_ = 0;
    int draw_width_ = 1;
    int32_t fore_color_ = 0;
    float current_x_ = 0.0f;
    float current_y_ = 0.0f;
    uint64_t revision_ = 0;
};

}  // namespace ternwick
