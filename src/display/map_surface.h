// The map drawing surface: an 800 x 400 QImage holding the map picture and everything
// drawn over it, with the drawing state (fill, line width, colours, font, current position).
#pragma once

#include <unordered_map>

#include <QFont>
#include <QImage>
#include <QPolygonF>
#include <QPainter>
#include <QString>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace ternwick {

// Colours are 32-bit values with red in the lowest byte, green next, blue third.
QColor ColorFromRgbValue(int32_t value);
int32_t RgbValue(int red, int green, int blue);
// The pixel value such a colour has in an RGB32 picture (opaque).
QRgb PixelOf(int32_t value);

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

    // The picture with everything drawn so far, and the overlay over it.
    const QImage& Image();
    // Grows with every change, so a view can tell when to repaint.
    uint64_t Revision() const { return revision_; }
    // A closed outline stroked in `col` over what is shown (the receiver's coverage), not
    // part of the drawing: replacing it leaves no trace of the old one. Empty: none.
    void SetOverlay(QPolygonF outline, int32_t col);
    // Writes the picture as PNG beside `path` and renames it over `path` at the end.
    bool SavePng(const QString& path, QString& error);
    // A target that exists and is not a regular file (a device, a FIFO, a folder) would be
    // replaced by the rename: false with a message naming it.
    static bool CheckPngTarget(const QString& path, QString& error);

private:
    QPainter& Painter();
    void EndPainting();

    // A replay plots the same few circles hundreds of thousands of times, in as many colours
    // as there are aircraft: each distinct shape (radius, width, fill style, quarter-pixel
    // offset) is drawn once by the painter into a small mask saying which pixels take the
    // outline colour and which the fill colour, and is then written straight into the
    // picture in the colours of the call. With aliased, opaque drawing that is exactly what
    // the painter would leave, at a fraction of its cost per call.
    static constexpr uint8_t kOutline = 1, kFill = 2;
    struct MaskRun {
        int dx, dy, length;  // from the centre pixel, along a row
        uint8_t paint;       // kOutline or kFill
    };
    struct CircleMask {
        int half = 0;               // no run reaches further from the centre than this
        std::vector<MaskRun> runs;  // the pixels drawn, row by row
        std::vector<MaskRun> spans;  // the same pixels, touching runs of a row joined (one colour)
        // Every pixel whose centre lies nearer than this to the circle's centre is drawn.
        double inner = 0.0;
    };
    struct MaskKey {
        double radius;
        int width, fill_style;
        int fx, fy;  // quarter pixels
        bool operator==(const MaskKey&) const = default;
    };
    struct MaskHash {
        size_t operator()(const MaskKey& k) const {
            size_t h = std::hash<double>{}(k.radius);
            for (int v : {k.width, k.fill_style, k.fx, k.fy}) h = h * 0x9E3779B97F4A7C15u + size_t(v);
            return h;
        }
    };
    const CircleMask& Mask(double radius, int fx, int fy);
    CircleMask MakeMask(const MaskKey& key);
    // True when every pixel a line of the current width from (x1, y1) to (x2, y2) could touch
    // already has colour `rgb` (or lies off the picture): drawing it would change nothing.
    bool AlreadyDrawn(float x1, float y1, float x2, float y2, QRgb rgb) const;
    // The same known without looking at a pixel: the line starts at the centre of the dot
    // drawn last, in its one colour, nothing was drawn since, and every pixel the line could
    // touch lies inside the dot's drawn disc. A track's segment from each plot back to the
    // one before mostly does.
    bool InsideLastDot(float x1, float y1, float x2, float y2, QRgb rgb) const;
    struct LastDot {
        float x = 0.0f, y = 0.0f;
        QRgb rgb = 0;         // its colour; 0 (no alpha, no colour a dot is drawn in): two colours
        double inner = 0.0;   // CircleMask::inner less how far the mask's centre lies from (x, y)
        uint64_t revision = ~uint64_t{0};  // revision_ right after drawing it
    };
    LastDot last_dot_;

    std::unordered_map<MaskKey, CircleMask, MaskHash> masks_;
    // Plots come in runs of one map, radius, width and fill style, at any of 16 quarter-pixel
    // offsets: the masks of that shape are kept at hand by offset.
    struct ShapeMasks {
        double radius = -1;
        int width = -1, fill_style = -1;
        const CircleMask* at[4][4] = {};
    };
    ShapeMasks shape_masks_;
    // The painter's pen as the last Line set it (-1: something else set the pen since).
    int32_t line_pen_col_ = 0;
    int line_pen_width_ = -1;

    QImage picture_;  // the loaded picture on the background, nothing drawn
    QImage image_;    // what is drawn
    QPolygonF overlay_;
    int32_t overlay_col_ = 0;
    QImage shown_;                   // image_ with the overlay, when there is one
    uint64_t shown_revision_ = ~uint64_t{0};
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
