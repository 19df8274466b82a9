// The window's page area: paints the visible part of the page surface, scrolls it with
// the scroll bars, the keys, the mouse wheel and by dragging with the hand cursors.
#pragma once

#include <QAbstractScrollArea>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <vector>

#include "render/page_surface.h"
#include "viewer/key_map.h"

namespace app {

// A point of the window and the place of the page under it, as fractions of the page's
// width and height, so the same place can be brought under the point at another zoom.
struct PageAnchor {
    QPoint pointer;
    double x = 0, y = 0;
};

class PageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);

    // Shows `surface` (not owned) at display width `displayWidth` with page height H;
    // nullptr releases it and erases the picture.
    void setSurface(const view::PageSurface* surface, int displayWidth, std::int64_t pageHeight);
    // Lets go of the surface but keeps showing what is on screen now, as a still picture,
    // while a tool has the fax; the next setSurface drops the picture.
    void holdPicture();
    bool holdsPicture() const { return !held_.isNull(); }
    // Changes H (after decoding it shrinks to what was decoded) and sets the ranges again.
    void setPageHeight(std::int64_t pageHeight);
    // Paints a freshly decoded band at once when it lies in the visible area.
    void showBand(const view::PageSurface::Tile& tile);
    void resetScroll();
    void scrollStep(KeyAction::Scroll step);
    PageAnchor anchorAt(QPoint pointer) const;
    // Scrolls so the anchor's place of the page lies under its point again (as near as the
    // scroll ranges allow).
    void restoreAnchor(const PageAnchor& anchor);

    // Boxes laid translucently over the page (in page-surface pixels), the current ones
    // stronger; they move with the page as it scrolls.
    struct Highlight {
        QRect box;
        bool current = false;
    };
    void setHighlights(std::vector<Highlight> highlights);
    const std::vector<Highlight>& highlights() const { return highlights_; }
    // Scrolls as little as needed to bring `box` (page-surface pixels) into view.
    void reveal(const QRect& box);

    std::int64_t pageHeight() const { return pageHeight_; }
    int hpos() const;
    int vpos() const;
    bool dragging() const { return dragging_; }

signals:
    // Ctrl + wheel at `pointer` (viewport coordinates): +1 zooms in one step of the Zoom
    // menu, -1 out.
    void zoomStep(int direction, QPoint pointer);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateRanges();

    const view::PageSurface* surface_ = nullptr;
    QPixmap held_;   // the page as last shown, while the surface is away
    QPoint heldAt_;  // the scroll position it was taken at
    int displayWidth_ = 0;
    std::int64_t pageHeight_ = 0;
    std::vector<Highlight> highlights_;
    bool dragging_ = false;
    QPoint dragStart_;
    int dragH_ = 0, dragV_ = 0;
};

}  // namespace app
