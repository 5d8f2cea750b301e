// The map as the window shows it: a copy of the session's drawing surface at 1:1, without
// smoothing, so the colours of the marks stay exact. All drawing happens in the session.
#pragma once

#include <QWidget>

#include <cstdint>

namespace ternwick {

class MapSurface;

class MapWidget : public QWidget {
public:
    explicit MapWidget(MapSurface& surface, QWidget* parent = nullptr);

    // Repaints when the surface changed since the last paint (called at screen rate).
    void Refresh();
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MapSurface& surface_;
    uint64_t painted_revision_ = ~uint64_t{0};
};

}  // namespace ternwick
