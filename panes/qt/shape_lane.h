#pragma once
// The shape lane: a thin strip along the timeline showing each frame's mouth shape as a coloured
// cell with its letter, on the same zoom, scroll, selection, cursor and playback marker as the
// other lanes. Shapes set by hand are outlined and lettered in bold, so a re-guess's work and the
// animator's can be told apart. With the lane focused, A-H and X set the shape of the selected
// frames and Delete clears them; the context menu offers the same. Without a selection a letter
// sets the frame after the cursor and moves the cursor on, so a line is corrected by typing.
// Dragging the boundary between two runs of different shapes moves it. A frame too narrow for
// its letter names it in a tooltip. Each change is one undoable edit. Below the cells, the words
// of the script Guess Shapes from Script placed are written under their frames, the words the
// sound did not support in red.
#include <QList>
#include <QString>
#include <cstdint>
#include <vector>

#include "document/shape_track.h"
#include "panes/qt/msb_view.h"
#include "shapes/mouth_shape.h"

class QAction;
class QContextMenuEvent;

namespace vokra {

// The fill colour of a shape's cells (the same in the lane and the manual).
Rgb ShapeColour(MouthShape shape);
// "A  Closed lips (M, B, P)": the letter and what the mouth does, for menus.
QString ShapeMenuText(MouthShape shape);

class ShapeLane : public MSBView {
    Q_OBJECT
public:
    explicit ShapeLane(CVokraDoc* doc, QWidget* parent = nullptr);

    TimelineState& GetTimelineState() override;
    double SnapPosition(double x) override;
    // The height that shows the cells and their letters in the pane font.
    int IdealHeight() const;

    // Sets or clears the shapes of the selected frames as the keys and the menu do; true when
    // the document changed.
    bool SetShape(MouthShape shape);
    bool ClearShapes();
    // Actions the window adds below the lane's own in its context menu (Guess Shapes, say).
    void SetExtraActions(const QList<QAction*>& actions) { extraActions_ = actions; }
    // The context menu for a click at `point`; the frame under it is selected first when it is
    // outside the selection. Returned for the caller to run (and for tests to inspect).
    QMenu* BuildContextMenu(Point point);
    // Sets the frame after the cursor and moves the cursor past it (a letter without a
    // selection); false at the end of the timeline.
    bool TypeShape(MouthShape shape);
    // The tooltip at `point`: the frame's number and shape when the frame is too narrow to show
    // its letter; empty otherwise.
    QString ToolTipAt(Point point) const;
    // The frame whose left edge (the boundary between two runs of different shapes) lies within
    // reach of `point`, where a drag moves it; -1 when there is none.
    std::int32_t BoundaryAt(Point point) const;
    bool IsMovingBoundary() const { return boundary_.active; }

    void OnLButtonDown(KeyState keys, Point point) override;
    void OnMouseMove(KeyState keys, Point point) override;
    void OnLButtonUp(KeyState keys, Point point) override;

protected:
    void Draw(DrawContext& dc) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;
    // A menu, a dialog or another window taking the keyboard ends a boundary drag as cancelled.
    void focusOutEvent(QFocusEvent* event) override;

private:
    void DrawCells(DrawContext& dc, const Rect& plot, double vs, double ve);
    // The words of the last alignment under the frames they were placed on; words not found in
    // red with a question mark.
    void DrawWords(DrawContext& dc, const Rect& row);
    int WordRowHeight() const;
    // Pixels of one frame at the current zoom.
    int FrameWidth() const;
    // The boundary drag: from the press to the release it is one open edit of the document.
    bool BeginBoundaryDrag(std::int32_t frame);
    void CancelBoundaryDrag();
    struct BoundaryDrag {
        bool active = false;
        std::int32_t first = 0;  // the left run's first frame
        std::int32_t last = 0;   // the right run's last frame
        std::int32_t origin = 0;
        std::int32_t at = 0;  // where the boundary is now
        MouthShape left = MouthShape::X;
        MouthShape right = MouthShape::X;
        std::vector<ShapeEntry> original;
    };
    BoundaryDrag boundary_;
    QList<QAction*> extraActions_;
};

}  // namespace vokra
