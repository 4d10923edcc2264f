#include "panes/qt/timeline_lanes.h"

#include <QScrollBar>
#include <algorithm>

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
    hiddenHeights_.push_back(0);
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

void TimelineLanes::SetLaneShown(MSBView* lane, bool shown) {
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
        if (lanes_[i] != lane || (hiddenHeights_[i] == 0) == shown) continue;
        if (!shown) {
            // Before the window is first shown the splitter has no sizes yet: the ideal one.
            const int now = sizes().value(static_cast<int>(i), 0);
            hiddenHeights_[i] = now > 0 ? now : std::max(idealHeights_[i], 1);
            lane->hide();
            return;
        }
        lane->show();
        // Back at its height, taken from the stretching lane.
        QList<int> heights = sizes();
        const int want = hiddenHeights_[i] > 0 ? hiddenHeights_[i] : idealHeights_[i];
        hiddenHeights_[i] = 0;
        for (std::size_t j = 0; j < lanes_.size(); ++j) {
            if (stretches_[j] && j != i) {
                heights[static_cast<int>(j)] =
                    std::max(heights[static_cast<int>(j)] - want, lanes_[j]->minimumHeight());
            }
        }
        heights[static_cast<int>(i)] = want;
        setSizes(heights);
        return;
    }
}

bool TimelineLanes::IsLaneShown(const MSBView* lane) const {
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
        if (lanes_[i] == lane) return hiddenHeights_[i] == 0;
    }
    return false;
}

std::vector<int> TimelineLanes::Heights() const {
    const QList<int> now = sizes();
    std::vector<int> heights;
    for (std::size_t i = 0; i < lanes_.size() && static_cast<int>(i) < now.size(); ++i) {
        const int h = hiddenHeights_[i] > 0 ? hiddenHeights_[i] : now[static_cast<int>(i)];
        heights.push_back(h > 0 ? h : idealHeights_[i]);
    }
    return heights;
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
