#include "panes/timeline_state.h"

#include <utility>

namespace vokra {
namespace {
std::function<void()>& Hook() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace

void SetPositionChangeHook(std::function<void()> hook) {
    Hook() = std::move(hook);
}

void RaisePositionChange() {
    if (Hook()) Hook()();
}

void TimelineState::SetExtent(double min, double max) {
    extentMin = min;
    extentMax = max;
    const double w = visibleMax - visibleMin;
    if (visibleMin < min) {
        visibleMin = min;
        visibleMax = min + w;
        if (visibleMax > max) visibleMax = max;
    }
    if (visibleMax > max) {
        visibleMax = max;
        visibleMin = max - w;
        if (visibleMin < min) visibleMin = min;
    }
    if (anchor < min) anchor = min;
    if (anchor > max) anchor = max;
    if (cursor < min) cursor = min;
    if (cursor > max) cursor = max;
}

void TimelineState::SetVisibleRange(double a, double b) {
    if (!(b - a > 0.001)) return;
    visibleMin = a;
    visibleMax = b;
    const double w = b - a;
    if (a < extentMin) {
        visibleMin = extentMin;
        visibleMax = extentMin + w;
        if (visibleMax > extentMax) visibleMax = extentMax;
    }
    if (visibleMax > extentMax) {
        visibleMax = extentMax;
        visibleMin = extentMax - w;
        if (visibleMin < extentMin) visibleMin = extentMin;
    }
}

void TimelineState::SetAnchor(double x) {
    anchor = x;
    RaisePositionChange();
}

void TimelineState::SetCursor(double x) {
    cursor = x;
    RaisePositionChange();
}

void TimelineState::ScrollToCursor() {
    const double w = visibleMax - visibleMin;
    if (cursor < visibleMin) {
        SetVisibleRange(cursor - 0.25, cursor - 0.25 + w);
    } else if (cursor > visibleMax) {
        SetVisibleRange(cursor + 0.25 - w, cursor + 0.25);
    }
}

bool TimelineState::PageToShow(double x) {
    if (!(x == x) || (visibleMin <= x && x <= visibleMax)) return false;
    const double w = visibleMax - visibleMin;
    // A twentieth of the page stays behind the marker, so its motion is seen from the start.
    const double start = x - w / 20;
    const double before = visibleMin;
    SetVisibleRange(start, start + w);
    return visibleMin != before;
}

}  // namespace vokra
