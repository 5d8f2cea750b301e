// The live map as the window shows it: turns the mouse and the keys into view changes and
// selections, asks the session's drawing code (display/live_map) for a new picture at most
// ten times a second and only when something changed, and copies that picture in paintEvent.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "display/live_map.h"
#include "geo/view_projection.h"

namespace ternwick {

class Session;

class LiveMapWidget : public QWidget {
public:
    // Where the map looks before anything else is known.
    static constexpr geo::LatLon kStartCentre{10.3, 123.9};
    static constexpr double kStartKmAcross = 250.0;
    static constexpr int kMinFrameMs = 100;  // at most ten pictures a second
    // After the last arrow key this long, the view is drawn in its own projection again.
    static constexpr int kSettleMs = 300;

    explicit LiveMapWidget(Session& session, QWidget* parent = nullptr);

    // Called at screen rate: draws again when the aircraft, the settings or the time shown
    // changed.
    void Refresh();

    const geo::ViewProjection& View() const { return view_; }
    void SetView(geo::LatLon centre, double km_across);
    // "Home": on the receiver, else on the aircraft heard. "Fit": every aircraft with a
    // position in view.
    void Home();
    void Fit();

    // The selected aircraft (kNoAddress: none); told to `on_selection` when it changes.
    uint32_t Selected() const { return selected_; }
    void Select(uint32_t key);
    std::function<void(uint32_t)> on_selection;

    // The last picture and what it showed (tests, the window's details panel).
    const LiveMapFrame& Frame() const { return frame_; }
    const QImage& Picture() const { return image_; }
    // Draws now if anything is pending (tests).
    void RenderNow();
    int Renders() const { return renders_; }

    QSize sizeHint() const override { return {640, 480}; }
    QSize minimumSizeHint() const override { return {240, 200}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void ViewChanged();
    void Settle();
    void RequestRender();
    void Render();
    bool StepSelection(bool forward);

    Session& session_;
    LiveMapRenderer renderer_;
    geo::ViewProjection view_;
    geo::ViewProjection rendered_view_;
    QImage image_;
    LiveMapFrame frame_;
    uint32_t selected_ = kNoAddress;
    uint32_t hovered_ = kNoAddress;
    bool dirty_ = true;
    uint64_t rendered_revision_ = ~uint64_t{0};
    int64_t rendered_second_ = -1;
    QElapsedTimer since_render_;
    QTimer pending_;
    // The view is being moved (a drag, the arrow keys): frames may keep the base map's
    // projection and slide it; once it rests, it is drawn in its own.
    bool sliding_ = false;
    QTimer settle_;
    int renders_ = 0;
    QPoint press_pos_, last_drag_pos_;
    bool dragging_ = false, pressed_ = false;
};

}  // namespace ternwick
