// MSBView's input: the keys the panes know, the keyboard (Ctrl with a key changes the view, a key
// alone moves the cursor, Shift extends the selection), the wheel and touchpad, and placing the
// cursor and dragging a selection with the mouse.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "document/vokra_doc.h"
#include "panes/qt/msb_view.h"

namespace vokra {
namespace {

KeyState KeysOf(Qt::KeyboardModifiers modifiers) {
    return KeyState{(modifiers & Qt::ShiftModifier) != 0, (modifiers & Qt::ControlModifier) != 0};
}

Point PointOf(const QPointF& p) {
    const QPoint q = p.toPoint();
    return Point{q.x(), q.y()};
}

// A click at world x `p` puts the cursor at its snapped place `s`; with Shift the selection keeps
// its end farther from the click as the anchor, so the click moves the nearer end.
void PlaceClick(TimelineState& ts, double p, double s, bool shift) {
    if (shift) {
        const double start = ts.SelectionStart();
        const double end = ts.SelectionEnd();
        const double anchor = p - start > end - p ? start : end;
        ts.SetCursor(s);
        ts.SetAnchor(anchor);
    } else {
        ts.SetCursor(s);
        ts.SetAnchor(s);
    }
}

// A wheel notch in eighths of a degree; touchpads that report pixels give a notch per 60 pixels.
constexpr double kNotchAngle = 120.0;
constexpr double kNotchPixels = 60.0;

struct QtVirtualKey {
    int qtKey;
    unsigned virtualKey;
};
constexpr QtVirtualKey kQtVirtualKeys[] = {
    {Qt::Key_PageUp, VK_PRIOR},  {Qt::Key_PageDown, VK_NEXT}, {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},     {Qt::Key_Left, VK_LEFT},     {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},   {Qt::Key_Down, VK_DOWN},     {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE}, {Qt::Key_A, VK_A},
};

// The view change a key makes with Ctrl held.
struct CtrlKeyChange {
    unsigned virtualKey;
    int code;
};
constexpr CtrlKeyChange kCtrlKeyChanges[] = {
    {VK_UP, ZoomIn},     {VK_DOWN, ZoomOut},    {VK_HOME, ToStart},
    {VK_END, ToEnd},     {VK_PRIOR, PageLeft},  {VK_NEXT, PageRight},
    {VK_LEFT, LineLeft}, {VK_RIGHT, LineRight}, {VK_A, ShowAll},
};

}  // namespace

unsigned VirtualKeyFromQt(int qtKey) {
    for (const QtVirtualKey& k : kQtVirtualKeys) {
        if (k.qtKey == qtKey) return k.virtualKey;
    }
    return 0;
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
        const auto* change = std::find_if(
            std::begin(kCtrlKeyChanges), std::end(kCtrlKeyChanges),
            [virtualKey](const CtrlKeyChange& c) { return c.virtualKey == virtualKey; });
        if (change == std::end(kCtrlKeyChanges)) return;
        if (ChangeView(change->code)) UpdateViews(kHintVisibleRange);
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
    PlaceClick(ts, p, s, keys.shift);
    dragMode = 1;
    ts.ScrollToCursor();
    UpdateViews(kHintAll);
}

void MSBView::ClickInSelection(double p) {
    TimelineState& ts = GetTimelineState();
    const double s = SnapPosition(p);
    PlaceClick(ts, p, s, clickKeys_.shift);
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
