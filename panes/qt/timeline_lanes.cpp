#include "panes/qt/timeline_lanes.h"

#include <QScrollBar>

#include "panes/qt/msb_view.h"

namespace vokra {

TimelineLanes::TimelineLanes(QWidget* parent) : QSplitter(Qt::Vertical, parent) {
    setChildrenCollapsible(false);
}

void TimelineLanes::AddLane(MSBView* lane, int height, bool stretch) {
    addWidget(lane);
    setStretchFactor(count() - 1, stretch ? 1 : 0);
    lanes_.push_back(lane);
    idealHeights_.push_back(height);
    stretches_.push_back(stretch);
    // A stretching lane starts with everything the fixed ones leave over.
    QList<int> sizes;
    for (std::size_t i = 0; i < lanes_.size(); ++i)
        sizes.push_back(stretches_[i] ? 10000 : idealHeights_[i]);
    setSizes(sizes);
}

MSBView* TimelineLanes::LaneOf(const QWidget* widget) const {
    for (MSBView* lane : lanes_) {
        if (widget && (widget == lane || lane->isAncestorOf(widget))) return lane;
    }
    return nullptr;
}

void TimelineLanes::PaintPending() {
    for (MSBView* lane : lanes_) {
        if (lane->HasPendingUpdate()) lane->PaintPane();
    }
}

void TimelineLanes::SetPlaybackMarkers(double position, bool show) {
    for (MSBView* lane : lanes_) lane->SetPlaybackMarker(position, show);
}

bool TimelineLanes::IsAnyLaneDragging() const {
    for (const MSBView* lane : lanes_) {
        if (lane->DragMode() != 0) return true;
        if (lane->HorizontalScrollBar() && lane->HorizontalScrollBar()->isSliderDown()) return true;
    }
    return false;
}

void TimelineLanes::RestoreHeights(const std::vector<int>& heights) {
    QList<int> sizes = this->sizes();
    if (heights.size() == lanes_.size()) {
        for (std::size_t i = 0; i < heights.size(); ++i) sizes[static_cast<int>(i)] = heights[i];
    } else if (heights.size() == 2 && lanes_.size() > 2) {
        // Saved before the lanes between the first and the last existed.
        sizes.front() = heights[0];
        sizes.back() = heights[1];
        for (std::size_t i = 1; i + 1 < lanes_.size(); ++i)
            sizes[static_cast<int>(i)] = idealHeights_[i];
    } else {
        return;
    }
    setSizes(sizes);
}

}  // namespace vokra
