// The live map: every aircraft of the flight table at its newest position, drawn into a
// QImage over a base map (sea, land, coastlines, borders, graticule, scale bar, the
// receiver's range rings), with fading trails and labels that never overprint. The window
// and `ternwick-replay --live-png` draw with this one class.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QString>

#include <array>
#include <map>
#include <tuple>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "display/label_placement.h"
#include "display/live_tracks.h"
#include "flights/flight_table.h"
#include "geo/coverage.h"
#include "geo/outlines.h"
#include "geo/view_projection.h"

class QPainter;

namespace ternwick {

// Everything a frame shows besides the view.
struct LiveMapState {
    const FlightTable* db = nullptr;
    const LiveTracks* tracks = nullptr;
    double now = 0;               // session seconds: trail ages and position ages count from here
    double trail_seconds = 300;   // trails this long, fading with age
    double air_expire = 10;       // an airborne position older than this is drawn hollow
    double surf_expire = 30;      // the same on the surface
    std::optional<geo::LatLon> receiver;
    bool use_kmh = false;         // rings every 100 km and a km scale bar, else 50 NM and NM
    uint32_t selected = kNoAddress;
    uint32_t hovered = kNoAddress;
    // Land, coastlines and borders; none: plain sea.
    const geo::OutlineStore* outlines = nullptr;
    // How far the receiver hears in each direction: drawn as a polygon with a receiver set.
    const geo::Coverage* coverage = nullptr;
};

// An aircraft as drawn in the last frame: where its symbol is.
struct DrawnAircraft {
    uint32_t key = kNoAddress;
    int index = -1;  // flight table entry
    double x = 0, y = 0;
    bool labelled = false;
};

struct LiveMapFrame {
    std::vector<DrawnAircraft> aircraft;  // in flight table order
};

// The aircraft's symbol within `max_px` pixels of (x, y) nearest to it, or kNoAddress.
uint32_t PickAircraft(const LiveMapFrame& frame, double x, double y, double max_px = 8.0);

// "centre 10.3000 N 123.9000 E, 250.0 km across, 36 aircraft"
std::string ViewDescription(const geo::ViewProjection& view, int aircraft);

// The label of an entry: callsign (else the address), then the flight level or "GND" and,
// in an emergency, its code.
std::string LabelLine1(const DbRecord& e);
std::string LabelLine2(const DbRecord& e);
// "7500", "7600" or "7700" for an emergency squawk, else a word for the emergency state of
// the extended squitters (DO-260B: 1 general, 2 medical, 3 minimum fuel, 4 no
// communications, 5 unlawful interference, 6 downed aircraft); "" when none.
std::string EmergencyCode(const DbRecord& e);

// A view that shows every aircraft with a position, with room for their labels; false
// when no aircraft has one.
bool FitView(const FlightTable& db, int width, int height, geo::LatLon& centre, double& km_across);

// The direction the aircraft is heading: its velocity track, else the bearing between its
// last two positions; negative when neither is known.
double HeadingDeg(const DbRecord& e, const LiveAircraft* a);

// Draws frames for one view at a time. It keeps what does not change from frame to frame:
// the base map (sea, land, outlines, graticule, rings) in a picture half a view larger on
// each side than the view it was made for, drawn cell by cell as views over it need them;
// the symbols already drawn at each colour and angle, and each aircraft's label as a small
// picture (made again only when its text, colour or highlight changes).
class LiveMapRenderer {
public:
    LiveMapRenderer();
    // Draws the whole frame into `image` (made view.width() x view.height() if it is not).
    // With `keep_projection` (while the view is dragged) a view that still lies on the kept
    // base map is drawn in that map's projection, moved by whole pixels: only the cells
    // newly in view are drawn, and shapes are true at a point up to half a view from the
    // middle. Without it the frame is the view's own projection.
    LiveMapFrame Render(QImage& image, const geo::ViewProjection& view, const LiveMapState& state,
                        bool keep_projection = false);
    // Views wider than this are always drawn in their own projection (the Earth turns
    // under a wide view rather than sliding).
    static constexpr double kKeepMaxKm = 5000;

    static constexpr double kSymbolRadius = 9.0;
    // Makes every symbol mask now (about 20 ms, once), so that no painted frame has to: a
    // window calls it before it is first shown. Drawing makes any mask it lacks anyway.
    static void MakeSymbolMasks();
    // The outline level a view is drawn with: finer as it narrows.
    static geo::OutlineDetail DetailFor(const geo::ViewProjection& view);

    // An aircraft of the frame being drawn.
    struct Item {
        int index;
        uint32_t key;
        geo::ScreenPoint s;
        const LiveAircraft* live;
        QColor colour;
        bool surface, stale, emergency;
    };

private:
    // What the base map depends on besides its centre; the same key means the same pixels.
    struct BaseKey {
        double km = 0;
        int width = 0, height = 0;
        bool has_receiver = false;
        double rx_lat = 0, rx_lon = 0;
        bool use_kmh = false;
        const geo::OutlineStore* outlines = nullptr;
        bool outlines_loaded = false;
        bool operator==(const BaseKey&) const = default;
    };
    // The kept base map: the projection of the view it was made for (`view`), drawn into a
    // larger picture with `margin` pixels more on each side, in cells of a quarter view.
    struct Canvas {
        BaseKey key;
        geo::ViewProjection view, proj;
        QImage image;
        QPoint margin;
        QSize cell{1, 1};
        int cells_x = 0, cells_y = 0;
        std::vector<char> drawn;
        uint64_t generation = 0;  // a new one with every new projection
        bool valid = false;
    };
    // A trail as projected for the last frame: each point's time and place with where it fell
    // on the kept base map, so the next frame in the same projection projects only the new
    // points.
    struct ProjectedPoint {
        double t, lat, lon;
        bool ok;
        QPointF q;
    };
    struct LabelPicture {
        QString line1, line2;
        double w = 0, h = 0;
        QRgb colour = 0;
        bool focus = false;
        QImage image;  // null until first drawn
    };

    // Where the view lies on the kept base map (made anew when it does not), and the
    // projection the frame is drawn in.
    geo::ViewProjection PlaceOnCanvas(const geo::ViewProjection& view, const LiveMapState& state, bool keep,
                                      QPoint& origin);
    // Draws the cells of the base map under a view at `origin` not drawn yet.
    void DrawCanvasCells(QPoint origin, QSize size, const LiveMapState& state, double graticule_step);
    void DrawTrails(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state,
                    const std::vector<Item>& items);
    void DrawSymbols(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state,
                     const std::vector<Item>& items);
    // The symbol's picture, turned by `angle` degrees (a multiple of kAngleStep), centred.
    const QImage& SymbolSprite(int shape, bool stale, QRgb colour, int angle);
    // How much of each pixel a symbol's two layers cover (lower: the fill, or the halo of a
    // hollow one; upper: its border, or its line), at an angle under a quarter turn.
    struct SymbolMask {
        QImage under, over;
    };
    static const SymbolMask& Mask(int shape, bool stale, int quarter_angle);
    void DrawLabels(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state,
                    const std::vector<Item>& items, LiveMapFrame& frame);
    // A label's rounded box, w x h inside a pixel of margin.
    const QImage& LabelBackground(double w, double h, bool focus);
    // The width of a label line in the label font, as laid out.
    double TextWidth(const QString& line);
    // The base map's layers, drawn within `area` of the picture.
    void DrawBase(QPainter& p, const geo::ViewProjection& view, const QRectF& area);
    void DrawOutlines(QPainter& p, const geo::ViewProjection& view, const geo::OutlineStore& store,
                      geo::OutlineDetail detail, const QRectF& area);
    void DrawGraticule(QPainter& p, const geo::ViewProjection& view, const QRectF& area, double step);
    void DrawRings(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state, const QRectF& area);
    // Over the base map, where the frame's edges put them.
    void DrawGraticuleLabels(QPainter& p, const geo::ViewProjection& view, double step);
    void DrawRingLabels(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state);
    void DrawCoverage(QPainter& p, const geo::ViewProjection& view, const LiveMapState& state);
    void DrawScaleBar(QPainter& p, const geo::ViewProjection& view, bool use_kmh);
    // Degrees between graticule lines: about five across a view this wide.
    static double GraticuleStep(double km_across);
    // Where the scale bar goes (labels keep out of it).
    static LabelRect ScaleBarRect(const geo::ViewProjection& view);

    QFont label_font_;
    QFont small_font_;

    Canvas canvas_;
    std::unordered_map<uint64_t, QImage> sprites_;
    std::unordered_map<uint32_t, std::vector<ProjectedPoint>> trails_;
    uint64_t trails_generation_ = 0;  // the canvas projection the kept trail points are in
    std::unordered_map<uint32_t, LabelPicture> labels_;
    static constexpr char16_t kMeasuredChars = 128;
    std::array<double, kMeasuredChars> advance_;
    std::unordered_map<uint32_t, double> kerning_;
    std::map<std::tuple<double, double, bool>, QImage> label_boxes_;
};

}  // namespace ternwick
