// MSBView's painting: the back buffer and the margin its font needs, the background with the
// selection band, the plot frame, cursor line and status text, the focus frame, and the playback
// marker drawn on the screen only.
#include <QFocusEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>
#include <QScrollBar>

#include "panes/axis.h"
#include "panes/qt/msb_view.h"
#include "platform/qt/qimage_draw_context.h"

namespace vokra {
namespace {

// How many pane paints are running; a pane asked to paint from inside another pane's paint
// schedules its repaint instead of repainting recursively.
int g_paintDepth = 0;

struct PaintDepthGuard {
    PaintDepthGuard() { ++g_paintDepth; }
    ~PaintDepthGuard() { --g_paintDepth; }
};

}  // namespace

void MSBView::ReplaceBackBuffer() {
    const Rect client = ClientRect();
    bitmap = std::make_unique<OffscreenBitmap>();
    bitmap->CreateCompatible(client.Width(), client.Height(), devicePixelRatioF());
}

bool MSBView::BackBufferFits() const {
    const Rect client = ClientRect();
    const int w = client.Width() < 1 ? 1 : client.Width();
    const int h = client.Height() < 1 ? 1 : client.Height();
    // A pane moved to a screen of another pixel density needs a new buffer too.
    return !bitmap->IsEmpty() && bitmap->Width() == w && bitmap->Height() == h &&
           bitmap->Image().devicePixelRatio() == devicePixelRatioF();
}

int MSBView::MarginForFont() const {
    // Measured on an image like the back buffer: the labels are drawn there, whose resolution
    // may differ from the screen's.
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDevicePixelRatio(devicePixelRatioF());
    QImageDrawContext dc(probe, font());
    return AxisMargin(dc.GetTextExtent(kWidestAxisLabel));
}

QSize MSBView::minimumSizeHint() const {
    // The plot must be larger than IsTooSmall's limit to be drawn at all.
    const int side = 2 * MarginForFont() + 26;
    return QSize(side, side + ScrollBarHeight());
}

int MSBView::IdealHeight() const {
    return 100 + 2 * (MarginForFont() - kMargin) + ScrollBarHeight();
}

void MSBView::RenderBackBuffer() {
    if (!BackBufferFits()) ReplaceBackBuffer();
    {
        QImageDrawContext dc(bitmap->Image(), font());
        margin_ = AxisMargin(dc.GetTextExtent(kWidestAxisLabel));
        PaintBackground(dc);
        markerDrawn = 0;
        Draw(dc);
    }
    pendingUpdate_ = false;
}

void MSBView::PaintPane() {
    RenderBackBuffer();
    if (!isVisible()) return;
    if (g_paintDepth > 0) {
        update(PictureRect());
    } else {
        repaint(PictureRect());
    }
}

void MSBView::paintEvent(QPaintEvent* event) {
    PaintDepthGuard guard;
    const Rect client = ClientRect();
    if (pendingUpdate_ || !BackBufferFits()) RenderBackBuffer();
    QPainter painter(this);
    const QRect clientRect(0, 0, client.Width(), client.Height());
    for (const QRect& r : event->region()) bitmap->CopyTo(painter, r.intersected(clientRect));
    if (markerShown) {
        QImageDrawContext dc(painter, client);
        DrawPlaybackMarker(dc);
    }
    if (hasFocus()) DrawFocusFrame(painter);
}

void MSBView::DrawFocusFrame(QPainter& painter) const {
    if (mapping.IsInvalid()) return;
    const Rect plot = InnerRect(ClientRect());
    // Two pixels outside the plot frame, in the margin, so it never hides the picture.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setClipping(false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DashLine));
    painter.drawRect(QRect(plot.left - 3, plot.top - 3, plot.Width() + 6, plot.Height() + 6));
}

void MSBView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void MSBView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void MSBView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (scrollBar_) {
        const int h = ScrollBarHeight();
        scrollBar_->setGeometry(0, height() - h, width(), h);
    }
    ReplaceBackBuffer();
    Invalidate();
}

void MSBView::PaintBackground(DrawContext& dc) {
    mapping.SetInvalid(1);
    const Rect client = ClientRect();
    const Rect inner = InnerRect(client);
    if (IsTooSmall(inner)) {
        dc.FillSolidRect(client, backgroundColour);
        return;
    }
    const TimelineState& ts = GetTimelineState();
    const double vmin = ts.GetVisibleMin();
    const double vmax = ts.GetVisibleMax();
    if (ts.HasSelection() && ts.SelectionEnd() > vmin && ts.SelectionStart() < vmax) {
        PlotMapping map;
        map.SetPixelRect(inner.left, inner.top, inner.right, inner.bottom);
        map.SetWorldRect(vmin, vmax, 2.0, 0.0);
        Rect band = inner;
        if (ts.SelectionStart() > vmin) band.left = map.WorldToPixelX(ts.SelectionStart());
        if (ts.SelectionEnd() < vmax) band.right = map.WorldToPixelX(ts.SelectionEnd()) + 1;
        dc.FillSolidRect(band, selectionColour);
        dc.FillSolidRect(Rect{client.left, client.top, client.right, band.top}, backgroundColour);
        dc.FillSolidRect(Rect{client.left, band.bottom, client.right, client.bottom},
                         backgroundColour);
        dc.FillSolidRect(Rect{client.left, band.top, band.left, band.bottom}, backgroundColour);
        dc.FillSolidRect(Rect{band.right, band.top, client.right, band.bottom}, backgroundColour);
    } else {
        dc.FillSolidRect(client, backgroundColour);
    }
}

void MSBView::Draw(DrawContext& dc) {
    dc.SetBkMode(TRANSPARENT);
    const Rect inner = InnerRect(ClientRect());
    if (IsTooSmall(inner)) {
        mapping.SetInvalid(1);
        return;
    }
    TimelineState& ts = GetTimelineState();
    const double vmin = ts.GetVisibleMin();
    const double vmax = ts.GetVisibleMax();
    mapping.SetPixelRect(inner.left, inner.top, inner.right, inner.bottom);
    mapping.SetWorldRect(vmin, vmax, 2.0, 0.0);
    mapping.SetInvalid(0);

    DrawPlotFrame(dc, inner);

    DrawCursorLine(dc, ts, inner);
    const double cursor = ts.GetCursor();

    const std::string status = std::string(ts.HasSelection() ? "Select Active" : "No Select") +
                               "   Anchor: " + Fixed(ts.GetAnchor(), 3) +
                               "   Cursor: " + Fixed(cursor, 3);
    dc.TextOut(inner.left + 10, inner.top + 10, status);

    dc.SetBkMode(TRANSPARENT);
    DrawFramesAxis(dc, inner, vmin, vmax);
    UpdateScrollBar(ts);
}

void MSBView::DrawPlotFrame(DrawContext& dc, const Rect& plot) {
    dc.MoveTo(plot.left, plot.top);
    dc.LineTo(plot.right, plot.top);
    dc.LineTo(plot.right, plot.bottom);
    dc.LineTo(plot.left, plot.bottom);
    dc.LineTo(plot.left, plot.top);
}

void MSBView::DrawCursorLine(DrawContext& dc, const TimelineState& ts, const Rect& plot) const {
    const double cursor = ts.GetCursor();
    if (ts.HasSelection() || !(ts.GetVisibleMin() <= cursor && cursor <= ts.GetVisibleMax()))
        return;
    const Pen old = dc.SelectPen(Pen{cursorColour, 1});
    const int x = mapping.WorldToPixelX(cursor);
    dc.MoveTo(x, plot.top);
    dc.LineTo(x, plot.bottom);
    dc.SelectPen(old);
}

// ---- playback marker ------------------------------------------------------------------------

QRect MSBView::MarkerStripFor(double position) const {
    if (mapping.IsInvalid() || !mapping.ContainsWorldX(position)) return QRect();
    const Rect r = mapping.GetPixelRect();
    const int x = mapping.WorldToPixelX(position);
    return QRect(x, r.top, 1, r.bottom - r.top);
}

void MSBView::DrawPlaybackMarker(DrawContext& dc) {
    if (mapping.IsInvalid() || !mapping.ContainsWorldX(markerPosition)) return;
    markerRect = mapping.GetPixelRect();
    markerRect.left = mapping.WorldToPixelX(markerPosition);
    markerRect.right = markerRect.left + 1;
    dc.MoveTo(markerRect.left, markerRect.top);
    dc.LineTo(markerRect.left, markerRect.bottom);
    markerDrawn = 1;
}

void MSBView::SetPlaybackMarker(double position, bool show) {
    markerShown = show ? 1 : 0;
    markerPosition = position;
    if (!show && !markerDrawn) return;
    const TimelineState& ts = GetTimelineState();
    const bool visible = ts.GetVisibleMin() <= position && position <= ts.GetVisibleMax();
    if (show && !visible && !markerDrawn) return;
    // The screen is restored from the back buffer strip by strip; the new line is drawn by the
    // paint that follows, on top of the copied strip.
    QRegion dirty;
    if (markerDrawn) {
        dirty += QRect(markerRect.left, markerRect.top, markerRect.Width(), markerRect.Height());
        markerDrawn = 0;
    }
    if (show && visible) dirty += MarkerStripFor(position);
    if (!dirty.isEmpty()) update(dirty);
}

}  // namespace vokra
