// Where the live map writes each aircraft's label: beside its symbol, in the first of
// several places around it that covers no symbol and no label already placed, and inside
// the picture. A label with no free place is left out; a forced one (the aircraft hovered
// or selected) is placed first and, failing every place, written beside its symbol anyway.
#pragma once

#include <optional>
#include <vector>

namespace ternwick {

struct LabelRect {
    double x = 0, y = 0, w = 0, h = 0;  // top-left corner and size, pixels
    bool Overlaps(const LabelRect& o) const {
        return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
    }
};

struct LabelRequest {
    double x = 0, y = 0;   // the symbol's centre
    double w = 0, h = 0;   // the label's size
    bool forced = false;
};

// One answer per request, in the same order: the rectangle where its label goes, or none.
// Symbols are squares of 2 * symbol_radius around their centres; the picture is
// width x height; `blocked` holds other places no label may cover (the scale bar).
std::vector<std::optional<LabelRect>> PlaceLabels(const std::vector<LabelRequest>& requests, double symbol_radius,
                                                  double width, double height,
                                                  const std::vector<LabelRect>& blocked = {});

}  // namespace ternwick
