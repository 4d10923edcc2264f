#include "panes/qt/msb_view.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

#include "document/vokra_doc.h"
#include "panes/axis.h"
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

KeyState KeysOf(Qt::KeyboardModifiers modifiers) {
    return KeyState{(modifiers & Qt::ShiftModifier) != 0, (modifiers & Qt::ControlModifier) != 0};
}

Point PointOf(const QPointF& p) {
    const QPoint q = p.toPoint();
    return Point{q.x(), q.y()};
}

constexpr int kScrollScale = 10000;
// A wheel notch in eighths of a degree; touchpads that report pixels give a notch per 60 pixels.
constexpr double kNotchAngle = 120.0;
constexpr double kNotchPixels = 60.0;

}  // namespace

unsigned VirtualKeyFromQt(int qtKey) {
    switch (qtKey) {
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_A:
            return VK_A;
        default:
            return 0;
    }
}

MSBView::MSBView(CVokraDoc* doc, QWidget* parent) : MSBView(doc, parent, true) {}

MSBView::MSBView(CVokraDoc* doc, QWidget* parent, bool withScrollBar)
    : QWidget(parent), bitmap(std::make_unique<OffscreenBitmap>()), doc_(doc) {
    // The back buffer covers every pixel: no background erase, so no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    if (withScrollBar) {
        scrollBar_ = new QScrollBar(Qt::Horizontal, this);
        scrollBar_->setRange(0, 0);
        scrollBar_->setPageStep(kScrollScale);
        scrollBar_->setEnabled(false);
        scrollBar_->setFocusPolicy(Qt::NoFocus);
        connect(scrollBar_, &QScrollBar::actionTriggered, this, &MSBView::OnScrollAction);
        connect(scrollBar_, &QScrollBar::sliderMoved, this, &MSBView::OnThumb);
    }
    if (doc_) doc_->AddView(this);
}

MSBView::~MSBView() {
    if (doc_) doc_->RemoveView(this);
}

TimelineState& MSBView::GetTimelineState() {
    // Panes without a document of their own share one record.
    static TimelineState shared;
    return shared;
}

double MSBView::SnapPosition(double x) {
    const TimelineState& ts = GetTimelineState();
    if (x < ts.GetExtentMin()) return ts.GetExtentMin();
    if (x > ts.GetExtentMax()) return ts.GetExtentMax();
    return x;
}

int MSBView::ScrollBarHeight() const {
    return scrollBar_ ? scrollBar_->sizeHint().height() : 0;
}

Rect MSBView::ClientRect() const {
    int h = height();
    if (scrollBar_) h -= ScrollBarHeight();
    return Rect{0, 0, width() < 0 ? 0 : width(), h < 0 ? 0 : h};
}

std::string MSBView::Fixed(double v, int decimals) {
    return FormatFixed(v, decimals);
}

void MSBView::OnUpdate(View* /*sender*/, int /*hint*/) {
    Invalidate();
}

void MSBView::Invalidate() {
    pendingUpdate_ = true;
    update();
}

void MSBView::UpdateViews(int hint) {
    if (doc_) {
        doc_->UpdateAllViews(nullptr, hint);
    } else {
        OnUpdate(nullptr, hint);
    }
}

// ---- painting -------------------------------------------------------------------------------

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
        update();
    } else {
        repaint();
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

void MSBView::UpdateScrollBar(const TimelineState& ts) {
    if (!scrollBar_) return;
    const double e = ts.GetExtentMax() - ts.GetExtentMin();
    if (!(e > 0.0)) return;
    const double pageF = (ts.GetVisibleMax() - ts.GetVisibleMin()) / e * kScrollScale;
    const double posF = (ts.GetVisibleMin() - ts.GetExtentMin()) / e * kScrollScale;
    int page = pageF > kScrollScale ? kScrollScale : (pageF < 0 ? 0 : static_cast<int>(pageF));
    int pos = posF > kScrollScale ? kScrollScale : (posF < 0 ? 0 : static_cast<int>(posF));
    // Positions run from 0 to the last one that still shows a full page; with everything in view
    // the bar has nothing to do and is shown disabled.
    const int last = kScrollScale - page;
    scrollBar_->setRange(0, last);
    scrollBar_->setPageStep(page);
    scrollBar_->setSingleStep(page / 10 > 0 ? page / 10 : 1);
    // Never pull the thumb from under the user's mouse while it is being dragged.
    if (!scrollBar_->isSliderDown()) scrollBar_->setValue(pos > last ? last : pos);
    scrollBar_->setEnabled(page < kScrollScale);
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

// ---- view changes ---------------------------------------------------------------------------

bool MSBView::ChangeView(int code) {
    TimelineState& ts = GetTimelineState();
    const double vmin = ts.GetVisibleMin();
    const double vmax = ts.GetVisibleMax();
    const double half = (vmax - vmin) / 2;
    const double mid = (vmax + vmin) / 2;
    double focus = mid;
    if (ts.HasSelection()) {
        if (ts.SelectionStart() >= vmin && ts.SelectionEnd() <= vmax) {
            focus = (ts.SelectionStart() + ts.SelectionEnd()) * 0.5;
        }
    } else if (vmin <= ts.GetCursor() && ts.GetCursor() <= vmax) {
        focus = ts.GetCursor();
    }
    double h = half;
    double c = mid;
    switch (code) {
        case ZoomIn:
            h = half * 0.5;
            c = focus;
            break;
        case ZoomOut:
            h = half * 2.0;
            c = focus;
            break;
        case ToStart:
            c = half;
            break;
        case ToEnd:
            c = ts.GetExtentMax() - half;
            break;
        case PageLeft:
            c = mid - 2.0 * half;
            break;
        case PageRight:
            c = mid + 2.0 * half;
            break;
        case LineLeft:
            c = mid - 0.2 * half;
            break;
        case LineRight:
            c = mid + 0.2 * half;
            break;
        case ShowAll:
            c = (ts.GetExtentMax() - ts.GetExtentMin()) * 0.5;
            h = c;
            break;
        default:
            break;
    }
    return ApplyView(c, h);
}

bool MSBView::ApplyView(double c, double h) {
    TimelineState& ts = GetTimelineState();
    const double vmin = ts.GetVisibleMin();
    const double vmax = ts.GetVisibleMax();
    if (!std::isfinite(c) || !std::isfinite(h)) return false;
    if (h < 1.0) h = 1.0;
    double newMin = c - h;
    double newMax = c + h;
    if (newMin < ts.GetExtentMin()) {
        newMin = ts.GetExtentMin();
        newMax = ts.GetExtentMin() + 2 * h;
        if (newMax > ts.GetExtentMax()) newMax = ts.GetExtentMax();
    }
    if (newMax > ts.GetExtentMax()) {
        newMax = ts.GetExtentMax();
        newMin = ts.GetExtentMax() - 2 * h;
        if (newMin < ts.GetExtentMin()) newMin = ts.GetExtentMin();
    }
    ts.SetVisibleRange(newMin, newMax);
    return !(newMin == vmin && newMax == vmax);
}

bool MSBView::ScrollByNotches(double notches) {
    const TimelineState& ts = GetTimelineState();
    const double half = (ts.GetVisibleMax() - ts.GetVisibleMin()) / 2;
    const double mid = (ts.GetVisibleMax() + ts.GetVisibleMin()) / 2;
    // One notch is the LineLeft step: a fifth of the half width.
    return ApplyView(mid - notches * 0.2 * half, half);
}

bool MSBView::ZoomAround(double pivot, double notches) {
    const TimelineState& ts = GetTimelineState();
    const double vmin = ts.GetVisibleMin();
    const double width = ts.GetVisibleMax() - vmin;
    if (!(width > 0.0)) return false;
    double h = width / 2 / std::exp2(notches);
    if (h < 1.0) h = 1.0;
    // The pivot keeps its fraction of the way across the plot.
    double t = (pivot - vmin) / width;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    pivot = vmin + t * width;
    return ApplyView(pivot - t * 2 * h + h, h);
}

bool MSBView::ZoomToSelection() {
    const TimelineState& ts = GetTimelineState();
    if (!ts.HasSelection()) return false;
    const double a = ts.SelectionStart();
    const double b = ts.SelectionEnd();
    // A twentieth of the selection on each side (at least half a frame) keeps its edges off the
    // plot frame.
    const double margin = std::max(0.5, (b - a) / 20);
    ApplyView((a + b) / 2, (b - a) / 2 + margin);
    return true;
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

void MSBView::OnScrollAction(int action) {
    int code = 0;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            code = LineLeft;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            code = LineRight;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = PageLeft;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = PageRight;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = ToStart;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = ToEnd;
            break;
        case QAbstractSlider::SliderMove:
            // Dragging the thumb arrives through sliderMoved; a wheel over the bar comes here.
            if (!scrollBar_->isSliderDown()) OnThumb(scrollBar_->sliderPosition());
            return;
        default:
            return;
    }
    if (ChangeView(code)) UpdateViews(kHintVisibleRange);
    // The bar's own step would put the thumb somewhere else than the view now is.
    UpdateScrollBar(GetTimelineState());
    scrollBar_->setSliderPosition(scrollBar_->value());
}

void MSBView::OnThumb(int position) {
    TimelineState& ts = GetTimelineState();
    const double e = ts.GetExtentMax() - ts.GetExtentMin();
    const double w = ts.GetVisibleMax() - ts.GetVisibleMin();
    double newMin = ts.GetExtentMin() + position / static_cast<double>(kScrollScale) * e;
    if (newMin < ts.GetExtentMin()) newMin = ts.GetExtentMin();
    double newMax = newMin + w;
    if (newMax > ts.GetExtentMax()) newMax = ts.GetExtentMax();
    ts.SetVisibleRange(newMin, newMax);
    UpdateViews(kHintVisibleRange);
}

// ---- keyboard -------------------------------------------------------------------------------

void MSBView::keyPressEvent(QKeyEvent* event) {
    const unsigned vk = VirtualKeyFromQt(event->key());
    if (vk == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    OnKeyDown(vk, 1, event->isAutoRepeat() ? kKeyFlagRepeat : 0u, KeysOf(event->modifiers()));
    event->accept();
}

void MSBView::OnKeyDown(unsigned virtualKey, unsigned /*repeatCount*/, unsigned /*flags*/,
                        KeyState keys) {
    TimelineState& ts = GetTimelineState();
    if (keys.ctrl) {
        int code = 0;
        switch (virtualKey) {
            case VK_UP:
                code = ZoomIn;
                break;
            case VK_DOWN:
                code = ZoomOut;
                break;
            case VK_HOME:
                code = ToStart;
                break;
            case VK_END:
                code = ToEnd;
                break;
            case VK_PRIOR:
                code = PageLeft;
                break;
            case VK_NEXT:
                code = PageRight;
                break;
            case VK_LEFT:
                code = LineLeft;
                break;
            case VK_RIGHT:
                code = LineRight;
                break;
            case VK_A:
                code = ShowAll;
                break;
            default:
                return;
        }
        if (ChangeView(code)) UpdateViews(kHintVisibleRange);
        return;
    }

    const double w = ts.GetVisibleMax() - ts.GetVisibleMin();
    double pageStep = 0.8 * w;
    if (pageStep < 2.0) pageStep = 2.0;
    double lineStep = 0.004 * w;
    if (lineStep < 1.0) lineStep = 1.0;
    const double oldCursor = ts.GetCursor();
    double target = 0.0;
    switch (virtualKey) {
        case VK_PRIOR:
            target = oldCursor - pageStep;
            break;
        case VK_NEXT:
            target = oldCursor + pageStep;
            break;
        case VK_HOME:
            target = ts.GetExtentMin();
            break;
        case VK_END:
            target = ts.GetExtentMax();
            break;
        case VK_LEFT:
            target = oldCursor - lineStep;
            break;
        case VK_RIGHT:
            target = oldCursor + lineStep;
            break;
        default:
            return;
    }
    target = SnapPosition(target);
    bool collapsed = false;
    if (ts.HasSelection() && !keys.shift) {
        target = target < oldCursor ? ts.SelectionStart() : ts.SelectionEnd();
        ts.SetAnchor(target);
        ts.SetCursor(target);
        collapsed = true;
    } else {
        ts.SetCursor(target);
        if (!keys.shift) ts.SetAnchor(target);
    }
    if (ts.GetCursor() == oldCursor && !collapsed) return;
    const double vmin = ts.GetVisibleMin();
    const double vmax = ts.GetVisibleMax();
    if (oldCursor < vmin || oldCursor > vmax) {
        ts.SetVisibleRange(target - 0.5 * w, target - 0.5 * w + w);
    } else if (target < vmin || target > vmax) {
        const double start = vmin + (target - oldCursor);
        ts.SetVisibleRange(start, start + w);
    }
    UpdateViews(kHintAll);
}

// ---- mouse ----------------------------------------------------------------------------------

void MSBView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    OnLButtonDown(KeysOf(event->modifiers()), PointOf(event->position()));
}

void MSBView::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(KeysOf(event->modifiers()), PointOf(event->position()));
}

void MSBView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    OnLButtonUp(KeysOf(event->modifiers()), PointOf(event->position()));
}

void MSBView::wheelEvent(QWheelEvent* event) {
    // A notch of the wheel scrolls the timeline a line, or with Ctrl zooms 2x around the frame
    // under the pointer. Touchpads send many small deltas; each moves its share of a notch, so a
    // swipe adds up to the same distance however the driver slices it. Horizontal swipes scroll.
    double dx = 0.0;
    double dy = 0.0;
    if (!event->pixelDelta().isNull()) {
        dx = event->pixelDelta().x() / kNotchPixels;
        dy = event->pixelDelta().y() / kNotchPixels;
    } else {
        dx = event->angleDelta().x() / kNotchAngle;
        dy = event->angleDelta().y() / kNotchAngle;
    }
    if (dx == 0.0 && dy == 0.0) {
        event->ignore();
        return;
    }
    bool changed = false;
    if (event->modifiers() & Qt::ControlModifier) {
        const double notches = dy != 0.0 ? dy : dx;
        const TimelineState& ts = GetTimelineState();
        double pivot = (ts.GetVisibleMin() + ts.GetVisibleMax()) / 2;
        if (!mapping.IsInvalid()) {
            pivot = mapping.PixelToWorldX(static_cast<int>(std::lround(event->position().x())));
        }
        changed = ZoomAround(pivot, notches);
    } else {
        changed = ScrollByNotches(dx + dy);
    }
    if (changed) UpdateViews(kHintVisibleRange);
    event->accept();
}

void MSBView::OnLButtonDown(KeyState keys, Point point) {
    if (mapping.IsInvalid()) return;
    TimelineState& ts = GetTimelineState();
    const double p = mapping.PixelToWorldX(point.x);
    if (ts.IsInSelection(p)) {
        clickKeys_ = keys;
        ClickInSelection(p);
        return;
    }
    const double s = SnapPosition(p);
    if (keys.shift) {
        const double start = ts.SelectionStart();
        const double end = ts.SelectionEnd();
        const double anchor = p - start > end - p ? start : end;
        ts.SetCursor(s);
        ts.SetAnchor(anchor);
    } else {
        ts.SetCursor(s);
        ts.SetAnchor(s);
    }
    dragMode = 1;
    ts.ScrollToCursor();
    UpdateViews(kHintAll);
}

void MSBView::ClickInSelection(double p) {
    TimelineState& ts = GetTimelineState();
    const double s = SnapPosition(p);
    if (clickKeys_.shift) {
        const double start = ts.SelectionStart();
        const double end = ts.SelectionEnd();
        const double anchor = p - start > end - p ? start : end;
        ts.SetCursor(s);
        ts.SetAnchor(anchor);
    } else {
        ts.SetCursor(s);
        ts.SetAnchor(s);
    }
    dragMode = 1;
    UpdateViews(kHintAll);
}

void MSBView::OnMouseMove(KeyState /*keys*/, Point point) {
    if (mapping.IsInvalid() || !ClientRect().Contains(point.x, point.y) || dragMode != 1) return;
    TimelineState& ts = GetTimelineState();
    const double s = SnapPosition(mapping.PixelToWorldX(point.x));
    if (s == ts.GetCursor()) return;
    ts.SetCursor(s);
    ts.ScrollToCursor();
    UpdateViews(kHintAll);
}

void MSBView::OnLButtonUp(KeyState /*keys*/, Point point) {
    const int was = dragMode;
    dragMode = 0;
    if (mapping.IsInvalid()) return;
    if (was == 1 && mapping.ContainsPixel(point.x, point.y)) {
        GetTimelineState().SetCursor(SnapPosition(mapping.PixelToWorldX(point.x)));
        UpdateViews(kHintAll);
    }
}

}  // namespace vokra
