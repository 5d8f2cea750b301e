// The map as the window shows it: catalogue and current map, the drawing surface, the
// home mark, and PlotPosDb, which draws a flight table entry and then runs the report step.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include <vector>

#include "flights/flight_table.h"
#include "geo/great_circle.h"
#include "map_catalogue.h"
#include "map_surface.h"

namespace ternwick {

// Label limits: a first plot at or beyond them gets no label (it would run off the picture).
inline constexpr float kLabelMaxX = 720.0f;
inline constexpr float kLabelMaxY = 380.0f;
// The coverage outline's colour (the surface's red + 256 green + 65536 blue): magenta.
inline constexpr int32_t kCoverageColour = 255 + 65536 * 255;

class MapView {
public:
    // The catalogue (index 0 unused) and where relative picture paths are tried second.
    void SetCatalogue(MapTable table) { table_ = std::move(table); }
    const MapTable& Catalogue() const { return table_; }
    void SetAppFolder(std::string folder) { app_folder_ = std::move(folder); }

    // Copies catalogue entry k (1..N) into the current map; false when there is no entry k.
    bool SelectMap(int k);
    // Makes `map` current without a catalogue (tests, tools).
    void SetCurrentMap(const MapDef& map) {
        current_ = map;
        ProjectCoverage();
    }
    const MapDef& CurrentMap() const { return current_; }

    // "Clr Map": loads the current map's picture again, wiping every mark, and resets the
    // plot state of every entry. A picture that cannot be loaded leaves the previous picture
    // (wiped all the same) and returns false with a message naming the file.
    bool ClearMap(FlightTable& db, std::string& error);

    // The fixed-pitch font the labels are written in (needs a QGuiApplication).
    void SetMapFont() { surface_.SetFont(MapFont()); }

    // Filled circle of the current map's dot radius at a longitude/latitude; x and y are
    // replaced by the picture position. The line width is whatever the surface has.
    void DrawBlob(double& x, double& y, int32_t col);
    // One line of text at the current position; the next call writes the line below,
    // starting at the same x.
    void DrawName(const std::string& name, int32_t col);
    // The reference mark drawn once at start-up: a red dot and "CEB" / "Airport" under it.
    void DrawHomeMark();
    // The same mark at the receiver's position, labelled "RX".
    void DrawReceiverMark(double lat, double lon);

    // Draws entry dbpos (-1..500) if it lies on the current map: circle, then a label on
    // its first plot or a track line back to its last plot; records the plot in
    // PlotX/PlotY (0, 0 when off the map). Then runs the report step, on or off the map.
    void PlotPosDb(FlightTable& db, int16_t dbpos);
    // What PlotPosDb runs last for the entry (the APRS report); empty: nothing.
    void SetReportStep(std::function<void(int16_t)> step) { report_ = std::move(step); }

    MapSurface& Surface() { return surface_; }

    // The receiver's coverage outline, shown over the map (on every map chosen later too)
    // without becoming part of the drawing; empty: none.
    void SetCoverage(std::vector<geo::LatLon> outline);

private:
    void ProjectCoverage();
    // EntryColour of the entry. Working it out from the address text was a fifth of the
    // work of a plot, so it is remembered by the table key (whose text the address is) and
    // whether the entry is on the surface.
    int32_t PlotColour(const DbRecord& e);
    struct ColourSlot {
        uint32_t key = kNoAddress;
        bool surface = false;
        int32_t colour = 0;
    };
    std::array<ColourSlot, 256> colours_{};
    std::vector<geo::LatLon> coverage_;

    MapTable table_;
    MapDef current_;
    std::string app_folder_;
    MapSurface surface_;
    std::function<void(int16_t)> report_;
};

}  // namespace ternwick
