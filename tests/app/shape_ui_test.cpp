// Mouth shapes and hand edits in the window: the shape lane's keys, Guess Shapes keeping what was
// set by hand, the hand-made marks of the Edit menu, and the lanes' layout.
#include <QAction>
#include <QApplication>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

#include "app/key_history.h"
#include "app/shape_menu.h"
#include "panes/qt/env_view.h"
#include "panes/qt/shape_lane.h"
#include "panes/qt/timeline_lanes.h"
#include "panes/qt/wave_view.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

class ShapeUi : public AppFixture {
protected:
    // A shown window with a second of voice at 8 kHz (frames 0 .. 15) and frames 2 .. 6 selected.
    void StartWithVoice() {
        Start();
        Frame().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
        Doc().LoadSoundFrom(MakeVoice("voice.wav", 1.0, 8000));
        Select(1.5, 6.5);
    }
    void Select(double anchor, double cursor) {
        Doc().GetTimeRange().SetAnchor(anchor);
        Doc().GetTimeRange().SetCursor(cursor);
        Doc().UpdateAllViews(nullptr, kHintAll);
    }
    const ShapeEntry* At(int frame) { return Doc().GetShapes().Find(frame); }
    QUndoStack& Undo() { return Frame().GetHistory()->Stack(); }
};

TEST_F(ShapeUi, LanesAreWaveShapesEnvelopeAndOldSplitterSizesStillFit) {
    Start();
    Frame().resize(800, 600);
    QApplication::processEvents();
    QSplitter* lanes = Frame().GetSplitter();
    ASSERT_EQ(lanes->count(), 3);
    EXPECT_EQ(lanes->widget(0), Frame().GetWavePane());
    EXPECT_EQ(lanes->widget(1), Frame().GetShapeLane());
    EXPECT_EQ(lanes->widget(2), Frame().GetEnvelopePane());
    const int laneHeight = Frame().GetShapeLane()->height();
    EXPECT_EQ(laneHeight, Frame().GetShapeLane()->IdealHeight());
    // A layout saved with two panes sets the outer two and leaves the lane as it was.
    Frame().GetLanes()->RestoreHeights({150, 300});
    EXPECT_EQ(lanes->sizes()[0], 150);
    EXPECT_EQ(lanes->sizes()[1], laneHeight);
}

TEST_F(ShapeUi, LetterKeysOnTheFocusedLaneSetDeleteClearsEachUndoesInOneStep) {
    StartWithVoice();
    ShapeLane* lane = Frame().GetShapeLane();
    lane->setFocus();
    const char letters[] = "ABCDEFGHX";
    for (int i = 0; i < kMouthShapeCount; ++i) {
        QTest::keyClick(lane, static_cast<Qt::Key>(Qt::Key_A + (letters[i] - 'A')));
        for (int f = 2; f <= 6; ++f) {
            ASSERT_TRUE(At(f)) << letters[i];
            EXPECT_EQ(MouthShapeLetter(At(f)->shape), letters[i]);
            EXPECT_TRUE(At(f)->hand);
        }
    }
    EXPECT_FALSE(At(1));
    EXPECT_FALSE(At(7));
    EXPECT_TRUE(Doc().IsModified());
    const int steps = Undo().count();
    QTest::keyClick(lane, Qt::Key_Delete);
    EXPECT_EQ(Doc().GetShapes().GetCount(), 0);
    EXPECT_EQ(Undo().count(), steps + 1);
    Undo().undo();
    ASSERT_TRUE(At(4));
    EXPECT_EQ(At(4)->shape, MouthShape::X);
    Undo().undo();  // X back to H, in one step for all five frames
    for (int f = 2; f <= 6; ++f) EXPECT_EQ(At(f)->shape, MouthShape::H);
    // A letter that is no shape, and letters with Ctrl, leave the shapes alone.
    QTest::keyClick(lane, Qt::Key_K);
    QTest::keyClick(lane, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(At(4)->shape, MouthShape::H);
}

TEST_F(ShapeUi, GuessFillsTheSelectionAndKeepsHandSetShapesUnlessAskedTo) {
    StartWithVoice();
    Select(1.5, 3.5);
    Frame().GetShapeMenu()->SetShape(MouthShape::G);  // frames 2, 3 by hand
    Select(-0.5, 15.5);
    ShapeMenu* menu = Frame().GetShapeMenu();
    menu->ReplaceHandAction()->setChecked(false);
    menu->GuessShapes();
    for (int f = 0; f <= 14; ++f) ASSERT_TRUE(At(f)) << f;  // frame 15 lies past the sound
    EXPECT_EQ(At(2)->shape, MouthShape::G);
    EXPECT_TRUE(At(3)->hand);
    EXPECT_FALSE(At(9)->hand);
    const QString note = Frame().GetStatusBar()->currentMessage();
    EXPECT_TRUE(note.contains(QStringLiteral("kept 2 "))) << note.toStdString();
    // Undone in one step: back to the two hand-set frames.
    Undo().undo();
    EXPECT_EQ(Doc().GetShapes().GetCount(), 2);

    menu->ReplaceHandAction()->setChecked(true);
    menu->GuessShapes();
    EXPECT_FALSE(At(2)->hand);
    // The option is remembered in the window's section.
    EXPECT_EQ(Profile().GetInt("Window", "GuessReplacesHandEdits", 0), 1);
}

TEST_F(ShapeUi, MarkAndReleaseHandEditsAreUndoableAndModify) {
    StartWithVoice();
    for (int f = 0; f <= 10; ++f) Doc().GetKeys().SetKey(Keyframe(f, 0.5f));
    Doc().SetModifiedFlag(false);
    Frame().GetShapeMenu()->MarkHandAction()->trigger();
    for (int f = 2; f <= 6; ++f) EXPECT_TRUE(Doc().GetKeys().FindAtOrAfter(f)->IsHandMade());
    EXPECT_FALSE(Doc().GetKeys().FindAtOrAfter(7)->IsHandMade());
    EXPECT_TRUE(Doc().IsModified());
    Select(3.5, 4.5);
    Frame().GetShapeMenu()->ReleaseHandAction()->trigger();
    EXPECT_FALSE(Doc().GetKeys().FindAtOrAfter(4)->IsHandMade());
    EXPECT_TRUE(Doc().GetKeys().FindAtOrAfter(5)->IsHandMade());
    Undo().undo();
    EXPECT_TRUE(Doc().GetKeys().FindAtOrAfter(4)->IsHandMade());
    Undo().undo();
    EXPECT_FALSE(Doc().GetKeys().FindAtOrAfter(2)->IsHandMade());
    EXPECT_FALSE(Doc().IsModified());
}

TEST_F(ShapeUi, F6WalksThroughEveryLane) {
    StartWithVoice();
    Frame().GetWavePane()->setFocus();
    Frame().OnNextPane(false);
    EXPECT_EQ(QApplication::focusWidget(), Frame().GetShapeLane());
    Frame().OnNextPane(false);
    EXPECT_EQ(QApplication::focusWidget(), Frame().GetEnvelopePane());
    Frame().OnNextPane(true);
    EXPECT_EQ(QApplication::focusWidget(), Frame().GetShapeLane());
}

}  // namespace
}  // namespace vokra::test
