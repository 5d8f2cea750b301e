#include "app/replay_live_png.h"

#include <QImage>
#include <QImageWriter>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "display/live_map.h"
#include "session/session.h"

namespace ternwick {

namespace {

bool Number(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

}  // namespace

bool ParseLiveView(const std::string& text, LivePngOptions& o, std::string& why) {
    const size_t a = text.find(','), b = a == std::string::npos ? a : text.find(',', a + 1);
    double lat = 0, lon = 0, km = 0;
    if (b == std::string::npos || !Number(text.substr(0, a), lat) || !Number(text.substr(a + 1, b - a - 1), lon) ||
        !Number(text.substr(b + 1), km)) {
        why = "must be LAT,LON,KM (degrees, south and west negative, and the width in km)";
        return false;
    }
    if (std::abs(lat) > 90 || std::abs(lon) > 360) {
        why = "the latitude must be within -90..90 and the longitude within -360..360";
        return false;
    }
    if (km < geo::ViewProjection::kMinKmAcross || km > geo::ViewProjection::kMaxKmAcross) {
        why = "the width must be from 20 to 42000 km";
        return false;
    }
    o.centre = geo::LatLon{lat, lon};
    o.km_across = km;
    return true;
}

bool ParseLiveSize(const std::string& text, LivePngOptions& o, std::string& why) {
    const size_t x = text.find('x');
    double w = 0, h = 0;
    if (x == std::string::npos || !Number(text.substr(0, x), w) || !Number(text.substr(x + 1), h) ||
        w != std::floor(w) || h != std::floor(h) || w < 64 || h < 64 || w > 8192 || h > 8192) {
        why = "must be WIDTHxHEIGHT in whole pixels, 64 to 8192 each (1024x768)";
        return false;
    }
    o.width = static_cast<int>(w);
    o.height = static_cast<int>(h);
    return true;
}

bool WriteLivePng(Session& session, const LivePngOptions& o, std::string& error) {
    geo::LatLon centre{10.3, 123.9};
    double km = o.km_across;
    if (o.centre) centre = *o.centre;
    else FitView(session.Db(), o.width, o.height, centre, km);
    const geo::ViewProjection view(centre, km, o.width, o.height);
    LiveMapRenderer renderer;
    QImage image;
    const LiveMapFrame frame = renderer.Render(image, view, session.LiveMap());
    QImageWriter writer(QString::fromStdString(o.out), "png");
    if (!writer.write(image)) {
        error = "cannot write " + o.out + ": " + writer.errorString().toStdString();
        return false;
    }
    std::fprintf(stderr, "ternwick-replay: live map %s: %s\n", o.out.c_str(),
                 ViewDescription(view, static_cast<int>(frame.aircraft.size())).c_str());
    return true;
}

}  // namespace ternwick
