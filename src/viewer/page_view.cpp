#include "viewer/page_view.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace app {

namespace {
constexpr int kWheelLines = 48;  // pixels per wheel notch
constexpr int kRevealMargin = 40;  // room kept around a revealed box
const QColor kHighlight(255, 200, 0, 80);
const QColor kCurrentHighlight(255, 110, 0, 130);
const QColor kCurrentOutline(220, 80, 0);

int ClampToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, std::numeric_limits<int>::max()));
}
}  // namespace

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    viewport()->setCursor(Qt::OpenHandCursor);
    viewport()->setAutoFillBackground(true);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    viewport()->setPalette(p);
    setFocusPolicy(Qt::StrongFocus);
}

void PageView::setSurface(const view::PageSurface* surface, int displayWidth, std::int64_t pageHeight) {
    held_ = QPixmap();
    surface_ = surface;
    displayWidth_ = surface ? displayWidth : 0;
    pageHeight_ = surface ? pageHeight : 0;
    highlights_.clear();  // they belong to the page and zoom shown so far
    resetScroll();
    viewport()->update();
}

void PageView::holdPicture() {
    if (!surface_) return;
    held_ = viewport()->grab();
    heldAt_ = QPoint(hpos(), vpos());
    surface_ = nullptr;  // the ranges stay, so the window keeps its look
    viewport()->update();
}

void PageView::setPageHeight(std::int64_t pageHeight) {
    pageHeight_ = pageHeight;
    updateRanges();
    viewport()->update();
}

void PageView::resetScroll() {
    updateRanges();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

int PageView::hpos() const { return horizontalScrollBar()->value(); }
int PageView::vpos() const { return verticalScrollBar()->value(); }

void PageView::updateRanges() {
    const QSize client = viewport()->size();
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    v->setRange(0, ClampToInt(pageHeight_ - client.height()));
    h->setRange(0, ClampToInt(static_cast<std::int64_t>(displayWidth_) - client.width()));
    v->setSingleStep(1);
    h->setSingleStep(1);
    v->setPageStep(std::max(1, client.height() / 2));
    h->setPageStep(std::max(1, client.width() / 2));
}

void PageView::scrollStep(KeyAction::Scroll step) {
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    switch (step) {
        case KeyAction::LineUp: v->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
        case KeyAction::LineDown: v->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
        case KeyAction::PageUp: v->triggerAction(QAbstractSlider::SliderPageStepSub); break;
        case KeyAction::PageDown: v->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
        case KeyAction::LineLeft: h->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
        case KeyAction::LineRight: h->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
        case KeyAction::PageLeft: h->triggerAction(QAbstractSlider::SliderPageStepSub); break;
        case KeyAction::PageRight: h->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
        case KeyAction::Top: v->triggerAction(QAbstractSlider::SliderToMinimum); break;
        case KeyAction::Bottom: v->triggerAction(QAbstractSlider::SliderToMaximum); break;
    }
}

PageAnchor PageView::anchorAt(QPoint pointer) const {
    PageAnchor a{pointer};
    if (displayWidth_ > 0) a.x = std::clamp((hpos() + pointer.x()) / double(displayWidth_), 0.0, 1.0);
    if (pageHeight_ > 0) a.y = std::clamp((vpos() + pointer.y()) / double(pageHeight_), 0.0, 1.0);
    return a;
}

void PageView::restoreAnchor(const PageAnchor& anchor) {
    updateRanges();
    horizontalScrollBar()->setValue(ClampToInt(std::llround(anchor.x * displayWidth_) - anchor.pointer.x()));
    verticalScrollBar()->setValue(ClampToInt(std::llround(anchor.y * double(pageHeight_)) - anchor.pointer.y()));
}

void PageView::showBand(const view::PageSurface::Tile& tile) {
    const int y = static_cast<int>(std::min<std::int64_t>(tile.top - vpos(), viewport()->height()));
    if (y >= viewport()->height()) return;
    updateRanges();
    viewport()->repaint(0, y, viewport()->width(), std::min(tile.height, viewport()->height() - y));
}

void PageView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (!surface_) {
        if (!held_.isNull()) painter.drawPixmap(heldAt_ - QPoint(hpos(), vpos()), held_);
        return;
    }
    const QRect area = event->rect();
    const std::int64_t top = vpos();
    const int left = hpos();
    const int width = std::min(surface_->width(), displayWidth_);
    // Only what has been decoded, and no further than the page height.
    const std::int64_t shown = std::min<std::int64_t>(surface_->height(), std::max<std::int64_t>(pageHeight_, 0));
    for (const auto& tile : surface_->tiles()) {
        std::int64_t y0 = tile.top - top;
        std::int64_t rows = std::min<std::int64_t>(tile.height, shown - tile.top);
        if (rows <= 0 || y0 + rows <= area.top() || y0 > area.bottom()) continue;
        const bool rgb = surface_->channels() == 3;
        QImage image(tile.grey.data(), surface_->width(), static_cast<int>(rows), surface_->width() * surface_->channels(),
                     rgb ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
        painter.drawImage(QPoint(-left, static_cast<int>(y0)), image, QRect(0, 0, width, static_cast<int>(rows)));
    }
    for (const Highlight& h : highlights_) {
        const QRect box = h.box.translated(-left, static_cast<int>(-top));
        if (!box.intersects(area)) continue;
        painter.fillRect(box, h.current ? kCurrentHighlight : kHighlight);
        if (!h.current) continue;
        painter.setPen(kCurrentOutline);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
}

void PageView::setHighlights(std::vector<Highlight> highlights) {
    highlights_ = std::move(highlights);
    viewport()->update();
}

void PageView::reveal(const QRect& box) {
    updateRanges();
    auto bring = [](QScrollBar* bar, int low, int high, int size) {
        // The whole box when it fits, else its start.
        if (high - low + 2 * kRevealMargin > size || low - kRevealMargin < bar->value())
            bar->setValue(low - kRevealMargin);
        else if (high + kRevealMargin > bar->value() + size)
            bar->setValue(high + kRevealMargin - size);
    };
    bring(horizontalScrollBar(), box.left(), box.right(), viewport()->width());
    bring(verticalScrollBar(), box.top(), box.bottom(), viewport()->height());
}

void PageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateRanges();
}

void PageView::scrollContentsBy(int, int) { viewport()->update(); }

void PageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    dragging_ = true;
    dragStart_ = event->position().toPoint();
    dragH_ = hpos();
    dragV_ = vpos();
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void PageView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint p = event->position().toPoint();
    horizontalScrollBar()->setValue(dragH_ + (dragStart_.x() - p.x()));
    verticalScrollBar()->setValue(dragV_ + (dragStart_.y() - p.y()));
}

void PageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
    dragging_ = false;
    viewport()->setCursor(Qt::OpenHandCursor);
}

void PageView::wheelEvent(QWheelEvent* event) {
    const QPoint steps = event->angleDelta() / 120;
    if (event->modifiers() & Qt::ControlModifier) {
        if (steps.y() != 0) emit zoomStep(steps.y() > 0 ? 1 : -1, event->position().toPoint());
        event->accept();
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier || steps.y() == 0)
        horizontalScrollBar()->setValue(hpos() - (steps.y() + steps.x()) * kWheelLines);
    else
        verticalScrollBar()->setValue(vpos() - steps.y() * kWheelLines);
    event->accept();
}

}  // namespace app
