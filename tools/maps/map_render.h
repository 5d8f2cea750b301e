// Draws the shipped map pictures: an 800x400 equirectangular picture per catalogue frame,
// with land, sea, coastlines, borders, a labelled graticule and the frame's name.
#pragma once

#include <QImage>
#include <QPointF>
#include <QString>

#include <string>
#include <vector>

#include "geo/outlines.h"

namespace ternwick::maps {

inline constexpr int kWidth = 800;
inline constexpr int kHeight = 400;

// One map of the catalogue, as far as the picture is concerned.
struct MapFrame {
    std::string name;
    std::string file;  // as written in the catalogue, relative to the data folder
    double lon_west = 0, lon_span = 0, lat_south = 0, lat_span = 0;
    int line = 0;      // catalogue line, for messages
};

// Reads the catalogue ("setup.txt": N, then N groups of name, file, west, lon span, south,
// lat span, dot radius, draw width, surface offset). False with a message naming the file
// and the line on a missing file, a short file, a bad number or a span that is not positive.
bool ReadFrames(const std::string& path, std::vector<MapFrame>& frames, std::string& error);

// Outline rings of one polygon: the first is the outer ring, the others its holes.
// Points are (longitude, latitude) in degrees.
using Ring = std::vector<QPointF>;
using Polygon = std::vector<Ring>;

// Polygons of every Polygon / MultiPolygon geometry of a GeoJSON file (FeatureCollection,
// Feature, GeometryCollection or a bare geometry). Rings that cross the 180th meridian come
// back with continuous longitudes (possibly beyond 180), rings around a pole closed along
// it. False with a message naming the file.
bool LoadGeoJson(const QString& path, std::vector<Polygon>& polygons, std::string& error);

struct MapLayers {
    const std::vector<Polygon>* land = nullptr;       // filled, outlined as coastline
    const std::vector<Polygon>* countries = nullptr;  // outlined as borders
};

// Graticule spacing in degrees for a span: the smallest of 0.25, 0.5, 1, 2, 5, 10, 15, 30
// and 45 that gives at most six lines across the span (90 beyond).
double GraticuleStep(double span);

// A degree label: "124°E", "10°N", "0°", "123.5°E".
QString DegreeLabel(double value, bool longitude);

// The picture of one frame.
QImage RenderMap(const MapFrame& frame, const MapLayers& layers);

// The same picture drawn from the shipped outline store at one level of detail: land filled,
// borders between countries and coastlines stroked, a frame past the 180th meridian included.
QImage RenderMap(const MapFrame& frame, const geo::OutlineStore& store, geo::OutlineDetail detail);

// The picture reduced to an 8-bit palette of its most frequent colours (nearest colour for
// the rest), so that the shipped files stay small.
QImage ToPalette(const QImage& image);

}  // namespace ternwick::maps
