#pragma once
// The one record that keeps both timeline panes, the palettes and the document in step: the
// extent of the timeline, the visible range, and the anchor and cursor of the selection, all in
// frames (frame k covers k - 0.5 .. k + 0.5). A plain value type without any window code.
#include <functional>

namespace vokra {

class TimelineState {
public:
    TimelineState() = default;

    double GetExtentMin() const { return extentMin; }
    double GetExtentMax() const { return extentMax; }
    void GetExtent(double& min, double& max) const {
        min = extentMin;
        max = extentMax;
    }
    void SetExtent(double min, double max);

    double GetVisibleMin() const { return visibleMin; }
    double GetVisibleMax() const { return visibleMax; }
    void GetVisibleRange(double& min, double& max) const {
        min = visibleMin;
        max = visibleMax;
    }
    // Does nothing unless b - a > 0.001; shifts a range sticking out back inside the extent.
    void SetVisibleRange(double a, double b);

    double GetAnchor() const { return anchor; }
    double GetCursor() const { return cursor; }
    // Store the value unchanged, then raise the position-change notification.
    void SetAnchor(double x);
    void SetCursor(double x);

    bool HasSelection() const { return anchor - cursor > 0.005 || anchor - cursor < -0.005; }
    double SelectionStart() const { return anchor < cursor ? anchor : cursor; }
    double SelectionEnd() const { return anchor < cursor ? cursor : anchor; }
    bool IsInSelection(double x) const {
        return HasSelection() && SelectionStart() <= x && x <= SelectionEnd();
    }

    // Brings the cursor into view with a quarter-frame margin.
    void ScrollToCursor();
    // Pages the visible range (same width) so that x, which has left it, is back in view near
    // its left edge, as a playback marker running off the plot wants. False when x was in view.
    bool PageToShow(double x);

private:
    double extentMin = 0.0;
    double extentMax = 10.0;
    double anchor = 0.0;
    double cursor = 0.0;
    double visibleMin = 0.0;
    double visibleMax = 10.0;
};

// The process-wide position-change notification, raised by every SetAnchor and SetCursor. The main
// frame answers it by stopping playback and hiding the playback marker; until then it does nothing.
void SetPositionChangeHook(std::function<void()> hook);
void RaisePositionChange();

}  // namespace vokra
