#include "map_view.h"

#include "common/number_text.h"
#include "projection.h"

namespace ternwick {

bool MapView::SelectMap(int k) {
    if (k < 1 || static_cast<size_t>(k) >= table_.size()) return false;
    current_ = table_[static_cast<size_t>(k)];
    ProjectCoverage();
    return true;
}

void MapView::SetCoverage(std::vector<geo::LatLon> outline) {
    coverage_ = std::move(outline);
    ProjectCoverage();
}

void MapView::ProjectCoverage() {
    QPolygonF polygon;
    for (const geo::LatLon& p : coverage_) polygon << QPointF(MapX(current_, p.lon), MapY(current_, p.lat));
    surface_.SetOverlay(polygon, kCoverageColour);
}

bool MapView::ClearMap(FlightTable& db, std::string& error) {
    const std::string path = ResolveMapFile(current_.MapFile, app_folder_);
    QString why;
    const bool loaded = surface_.LoadPicture(QString::fromStdString(path), why);
    if (!loaded) {
        // The last good picture stays, still cleared of marks: "Clr Map" always clears.
        surface_.Wipe();
        error = why.toStdString();
    }
    db.ResetPlotFlags();
    return loaded;
}

void MapView::DrawBlob(double& x, double& y, int32_t col) {
    x = MapX(current_, x);
    y = MapY(current_, y);
    surface_.SetFillStyle(MapSurface::kFillSolid);
    surface_.SetFillColor(col);
    surface_.Circle(static_cast<float>(x), static_cast<float>(y), current_.MapDotRadius, col);
}

void MapView::DrawName(const std::string& name, int32_t col) {
    const float x = surface_.CurrentX();
    surface_.SetForeColor(col);
    surface_.Print(name);
    surface_.SetCurrentX(x);
}

void MapView::DrawHomeMark() {
    double lon = 123.977966, lat = 10.306;
    DrawBlob(lon, lat, 255);
    DrawName(" CEB", 255);
    DrawName("Airport", 255);
}

void MapView::DrawReceiverMark(double lat, double lon) {
    DrawBlob(lon, lat, 255);
    DrawName(" RX", 255);
}

int32_t MapView::PlotColour(const DbRecord& e) {
    if (e.Key == kNoAddress) return EntryColour(e.Icao, e.PosKind);  // a text set by hand
    const bool surface = e.PosKind == "S";
    ColourSlot& slot = colours_[(e.Key ^ (e.Key >> 8)) % colours_.size()];
    if (slot.key != e.Key || slot.surface != surface) slot = {e.Key, surface, EntryColour(e.Icao, e.PosKind)};
    return slot.colour;
}

void MapView::PlotPosDb(FlightTable& db, int16_t dbpos) {
    DbRecord& e = db(dbpos);
    const double frame_lon = LonIntoFrame(current_, e.Lon);
    if (!FrameOnMap(current_, frame_lon, e.Lat)) {
        e.PlotX = 0;
        e.PlotY = 0;
    } else {
        const double x = FrameX(current_, frame_lon);
        const int16_t y = RoundToInt16(MapY(current_, e.Lat));
        const int32_t col = PlotColour(e);

        surface_.SetFillStyle(MapSurface::kFillSolid);
        surface_.SetDrawWidth(current_.MapDrawWidth);
        surface_.SetFillColor(col);
        surface_.Circle(static_cast<float>(x), y, current_.MapDotRadius, col);

        if (e.PlotX == 0 && e.PlotY == 0 && surface_.CurrentX() < kLabelMaxX && surface_.CurrentY() < kLabelMaxY) {
            surface_.SetForeColor(col);
            surface_.Print("   " + e.Icao);
        }
        if (e.PlotX != 0 && e.PlotY != 0) surface_.Line(static_cast<float>(x), y, e.PlotX, e.PlotY, col);

        e.PlotX = RoundToInt16(x);
        e.PlotY = y;
        // No yield to the event loop here: input is handled by the event loop itself, so
        // nothing waits for a plot to hand over control.
    }
    if (report_) report_(dbpos);
}

}  // namespace ternwick
