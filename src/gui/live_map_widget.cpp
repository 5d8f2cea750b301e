#include "gui/live_map_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "session/session.h"

namespace ternwick {

LiveMapWidget::LiveMapWidget(Session& session, QWidget* parent)
    : QWidget(parent), session_(session), view_(kStartCentre, kStartKmAcross, 640, 480) {
    setAccessibleName(QStringLiteral("Live map"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    LiveMapRenderer::MakeSymbolMasks();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setToolTip(QStringLiteral("Drag or arrow keys: pan. Wheel or +/-: zoom. H: home, F: fit every aircraft. "
                              "Click an aircraft (or Tab) to select it, Escape to clear."));
    pending_.setSingleShot(true);
    connect(&pending_, &QTimer::timeout, this, [this] { Render(); });
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, [this] { Settle(); });
    since_render_.start();
    rendered_view_ = view_;
}

void LiveMapWidget::SetView(geo::LatLon centre, double km_across) {
    view_ = geo::ViewProjection(centre, km_across, std::max(1, width()), std::max(1, height()));
    sliding_ = false;
    ViewChanged();
}

void LiveMapWidget::Settle() {
    settle_.stop();
    if (!sliding_) return;
    sliding_ = false;
    ViewChanged();
}

void LiveMapWidget::ViewChanged() {
    dirty_ = true;
    RequestRender();
}

void LiveMapWidget::RequestRender() {
    // Never more often than every kMinFrameMs; a change in between waits for the next slot.
    const qint64 since = since_render_.elapsed();
    if (since >= kMinFrameMs) Render();
    else if (!pending_.isActive()) pending_.start(static_cast<int>(kMinFrameMs - since));
}

void LiveMapWidget::Refresh() {
    const int64_t second = session_.clock().Seconds();
    // Trails fade and positions age with the clock, so a new second is a change too (while
    // there is anything to age).
    const bool aged = second != rendered_second_ && session_.Db().WithPosition() > 0;
    if (dirty_ || session_.LiveRevision() != rendered_revision_ || aged) RequestRender();
}

void LiveMapWidget::RenderNow() {
    pending_.stop();
    Render();
}

void LiveMapWidget::Render() {
    pending_.stop();
    LiveMapState state = session_.LiveMap();
    state.selected = selected_;
    state.hovered = hovered_;
    frame_ = renderer_.Render(image_, view_, state, sliding_);
    rendered_view_ = view_;
    rendered_revision_ = session_.LiveRevision();
    rendered_second_ = session_.clock().Seconds();
    dirty_ = false;
    ++renders_;
    since_render_.restart();
    setAccessibleDescription(QString::fromStdString(ViewDescription(view_, static_cast<int>(frame_.aircraft.size()))));
    // The selected aircraft left the table: nothing is selected any more.
    if (selected_ != kNoAddress && !session_.tracks().Find(selected_)) {
        bool in_table = false;
        for (int i = 0; i <= FlightTable::kLast && !in_table; ++i)
            in_table = !session_.Db()(i).Icao.empty() && AddressKey(session_.Db()(i).Icao) == selected_;
        if (!in_table) Select(kNoAddress);
    }
    update();
}

void LiveMapWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // While a drag waits for its next picture, the last one follows the mouse.
    QPointF offset(0, 0);
    geo::ScreenPoint c;
    if (rendered_view_.km_across() == view_.km_across() && view_.ToScreen(rendered_view_.centre(), c))
        offset = QPointF(c.x - width() / 2.0, c.y - height() / 2.0);
    if (offset != QPointF(0, 0) || image_.size() != size()) p.fillRect(rect(), QColor(170, 206, 232));
    p.drawImage(offset, image_);
    if (hasFocus()) {
        p.setPen(QPen(palette().highlight().color(), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void LiveMapWidget::resizeEvent(QResizeEvent*) {
    view_ = geo::ViewProjection(view_.centre(), view_.km_across(), width(), height());
    ViewChanged();
}

void LiveMapWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    pressed_ = true;
    dragging_ = false;
    press_pos_ = last_drag_pos_ = event->position().toPoint();
}

void LiveMapWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (pressed_) {
        if (!dragging_ && (pos - press_pos_).manhattanLength() < 4) return;
        dragging_ = true;
        const QPoint d = pos - last_drag_pos_;
        last_drag_pos_ = pos;
        view_ = view_.Panned(d.x(), d.y());
        sliding_ = true;
        dirty_ = true;
        update();  // the last picture moves at once; the new one follows
        RequestRender();
        return;
    }
    const uint32_t hover = PickAircraft(frame_, pos.x(), pos.y());
    if (hover != hovered_) {
        hovered_ = hover;
        setCursor(hover == kNoAddress ? Qt::ArrowCursor : Qt::PointingHandCursor);
        ViewChanged();
    }
}

void LiveMapWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    if (dragging_) {
        dragging_ = false;
        Settle();  // where the drag ends, drawn in the view's own projection
        return;
    }
    // A click: the aircraft under it, or nothing (a click on empty sea clears).
    const QPoint pos = event->position().toPoint();
    Select(PickAircraft(frame_, pos.x(), pos.y()));
}

void LiveMapWidget::leaveEvent(QEvent*) {
    if (hovered_ != kNoAddress) {
        hovered_ = kNoAddress;
        ViewChanged();
    }
}

void LiveMapWidget::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    const QPointF at = event->position();
    view_ = view_.Zoomed(std::pow(1.5, notches), {at.x(), at.y()});
    ViewChanged();
    event->accept();
}

void LiveMapWidget::keyPressEvent(QKeyEvent* event) {
    const double step_x = width() / 8.0, step_y = height() / 8.0;
    const geo::ScreenPoint middle{width() / 2.0, height() / 2.0};
    switch (event->key()) {
        case Qt::Key_Left: view_ = view_.Panned(step_x, 0), sliding_ = true; break;
        case Qt::Key_Right: view_ = view_.Panned(-step_x, 0), sliding_ = true; break;
        case Qt::Key_Up: view_ = view_.Panned(0, step_y), sliding_ = true; break;
        case Qt::Key_Down: view_ = view_.Panned(0, -step_y), sliding_ = true; break;
        case Qt::Key_Plus:
        case Qt::Key_Equal: view_ = view_.Zoomed(1.5, middle); break;
        case Qt::Key_Minus: view_ = view_.Zoomed(1 / 1.5, middle); break;
        case Qt::Key_H: Home(); return;
        case Qt::Key_F: Fit(); return;
        case Qt::Key_Escape: Select(kNoAddress); return;
        default: QWidget::keyPressEvent(event); return;
    }
    if (sliding_) settle_.start(kSettleMs);
    ViewChanged();
}

bool LiveMapWidget::focusNextPrevChild(bool next) {
    // Tab and Shift+Tab go from aircraft to aircraft; past the last one, on to the next
    // control, so the keyboard never gets stuck here.
    if (hasFocus() && StepSelection(next)) return true;
    return QWidget::focusNextPrevChild(next);
}

bool LiveMapWidget::StepSelection(bool forward) {
    if (dirty_) RenderNow();
    std::vector<const DrawnAircraft*> in_view;
    for (const DrawnAircraft& a : frame_.aircraft)
        if (a.x >= 0 && a.y >= 0 && a.x < width() && a.y < height()) in_view.push_back(&a);
    if (in_view.empty()) return false;
    // Left to right, as a reader scans the map.
    std::sort(in_view.begin(), in_view.end(),
              [](const DrawnAircraft* a, const DrawnAircraft* b) { return a->x != b->x ? a->x < b->x : a->y < b->y; });
    auto it = std::find_if(in_view.begin(), in_view.end(), [&](const DrawnAircraft* a) { return a->key == selected_; });
    if (it == in_view.end()) {
        Select((forward ? in_view.front() : in_view.back())->key);
        return true;
    }
    const ptrdiff_t i = (it - in_view.begin()) + (forward ? 1 : -1);
    if (i < 0 || i >= static_cast<ptrdiff_t>(in_view.size())) {
        Select(kNoAddress);
        return false;
    }
    Select(in_view[static_cast<size_t>(i)]->key);
    return true;
}

void LiveMapWidget::Select(uint32_t key) {
    if (key == selected_) return;
    selected_ = key;
    ViewChanged();
    if (on_selection) on_selection(key);
}

void LiveMapWidget::Home() {
    if (const auto rx = session_.receiver()) {
        SetView(*rx, view_.km_across());
        return;
    }
    // The middle of the aircraft heard (their box in this view), at the start-up width.
    const FlightTable& db = session_.Db();
    double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
    const geo::ViewProjection wide(view_.centre(), geo::ViewProjection::kMaxKmAcross, width(), height());
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = db(i);
        geo::ScreenPoint s;
        if (e.Icao.empty() || !e.HasPos || !wide.ToScreen({e.Lat, e.Lon}, s)) continue;
        x0 = std::min(x0, s.x), x1 = std::max(x1, s.x), y0 = std::min(y0, s.y), y1 = std::max(y1, s.y);
    }
    geo::LatLon centre = kStartCentre;
    if (x0 <= x1 && !wide.FromScreen({(x0 + x1) / 2, (y0 + y1) / 2}, centre)) centre = kStartCentre;
    SetView(centre, kStartKmAcross);
}

void LiveMapWidget::Fit() {
    geo::LatLon centre = view_.centre();
    double km = view_.km_across();
    if (FitView(session_.Db(), width(), height(), centre, km)) SetView(centre, km);
}

}  // namespace ternwick
