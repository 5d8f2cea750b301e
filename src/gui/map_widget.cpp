#include "map_widget.h"

#include <QPainter>

#include "display/map_surface.h"

namespace ternwick {

MapWidget::MapWidget(MapSurface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
    setAccessibleName(QStringLiteral("Map"));
    setAccessibleDescription(QStringLiteral("The current map with the plotted aircraft"));
    // Never smaller than the drawing surface: the picture is shown 1:1, not scaled.
    setMinimumSize(MapSurface::kWidth, MapSurface::kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize MapWidget::sizeHint() const { return {MapSurface::kWidth, MapSurface::kHeight}; }

void MapWidget::Refresh() {
    if (surface_.Revision() != painted_revision_) update();
}

void MapWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Room beyond the 800 x 400 picture (a larger window) shows the map background.
    p.fillRect(rect(), QColor::fromRgb(MapSurface::kBackground));
    p.drawImage(0, 0, surface_.Image());
    painted_revision_ = surface_.Revision();
}

}  // namespace ternwick
