// `ternwick-replay --live-png`: the live map as it stands at the end of a replay, drawn by the
// window's own drawing code into a picture of a chosen size and saved as PNG.
#pragma once

#include <optional>
#include <string>

#include "geo/great_circle.h"

namespace ternwick {

class Session;

struct LivePngOptions {
    std::string out;
    std::optional<geo::LatLon> centre;  // with km_across: the view; none: every aircraft fitted
    double km_across = 250;
    int width = 1024, height = 768;
};

// "LAT,LON,KM" (degrees, south and west negative; the width of the view in km).
bool ParseLiveView(const std::string& text, LivePngOptions& o, std::string& why);
// "WxH" in pixels, 64 to 8192 each.
bool ParseLiveSize(const std::string& text, LivePngOptions& o, std::string& why);

// Draws and saves; false with `error` naming the file when it cannot be written.
bool WriteLivePng(Session& session, const LivePngOptions& o, std::string& error);

}  // namespace ternwick
