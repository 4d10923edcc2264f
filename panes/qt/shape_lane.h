#pragma once
// The shape lane: a thin strip along the timeline showing each frame's mouth shape as a coloured
// cell with its letter, on the same zoom, scroll, selection, cursor and playback marker as the
// other lanes. Shapes set by hand are outlined and lettered in bold, so a re-guess's work and the
// animator's can be told apart. With the lane focused, A-H and X set the shape of the selected
// frames and Delete clears them; the context menu offers the same. Each is one undoable edit.
#include <QList>
#include <QString>

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

protected:
    void Draw(DrawContext& dc) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void DrawCells(DrawContext& dc, const Rect& plot, double vs, double ve);
    QList<QAction*> extraActions_;
};

}  // namespace vokra
