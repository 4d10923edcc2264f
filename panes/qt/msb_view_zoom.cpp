// MSBView's view changes: the ViewChange steps (zoom, scroll to the ends, by pages and lines, show
// all), fractional steps from a wheel or touchpad, and zooming to the selection; every one keeps
// the visible range inside the extent.
#include <algorithm>
#include <cmath>

#include "panes/qt/msb_view.h"

namespace vokra {

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

}  // namespace vokra
