#pragma once
// The timeline as a stack of lanes: every lane is a pane on the same TimelineState (zoom, scroll,
// selection, cursor), laid out top to bottom in a splitter. The frame talks to the stack, not to
// each lane: painting what is pending, the playback marker, whether a drag is under way, and the
// order F6 walks through. A new lane is one more AddLane, not another special case.
#include <QSplitter>
#include <vector>

namespace vokra {

class MSBView;

class TimelineLanes : public QSplitter {
    Q_OBJECT
public:
    explicit TimelineLanes(QWidget* parent = nullptr);

    // Adds `lane` below the others at `height` pixels; a stretching lane takes the height the
    // window gains or loses, the others keep theirs.
    void AddLane(MSBView* lane, int height, bool stretch);
    const std::vector<MSBView*>& Lanes() const { return lanes_; }
    // The lane holding `widget` (or being it); null when none does.
    MSBView* LaneOf(const QWidget* widget) const;

    // Paints every lane with an update waiting, now.
    void PaintPending();
    void SetPlaybackMarkers(double position, bool show);
    // A mouse drag or a scroll-bar thumb is held in some lane.
    bool IsAnyLaneDragging() const;

    // Hides or shows a lane; a hidden lane comes back at the height it had.
    void SetLaneShown(MSBView* lane, bool shown);
    // False for a lane hidden with SetLaneShown (also before the window is first shown).
    bool IsLaneShown(const MSBView* lane) const;
    // The lanes' heights in order, a hidden lane's as it will come back (for the settings).
    std::vector<int> Heights() const;

    // The lanes' heights in order (the splitter's sizes), and putting saved ones back: a list of
    // another length (from before a lane was added) sets the lanes it names from the top and the
    // last stretching lane, leaving the rest at their heights.
    void RestoreHeights(const std::vector<int>& heights);

private:
    std::vector<MSBView*> lanes_;
    std::vector<int> idealHeights_;
    std::vector<bool> stretches_;
    std::vector<int> hiddenHeights_;  // per lane: its height when it was hidden (0: shown)
};

}  // namespace vokra
