// The shape lane: cells follow the shared timeline, hand-set shapes are outlined.
#include "panes/qt/shape_lane.h"

#include "document/key_edit.h"
#include "tests/panes/pane_fixture.h"

namespace vokra::test {
namespace {

class ShapeLane_Drawing : public PaneFixture {
protected:
    void SetUp() override {
        PaneFixture::SetUp();
        LoadSound(std::vector<std::int16_t>(21334, 0), 8000);  // frames 0 .. 40 at 15 fps
        lane_ = Make<ShapeLane>(450, 40);
    }
    static QRgb Colour(MouthShape s) {
        const Rgb c = ShapeColour(s);
        return qRgb(c.r, c.g, c.b);
    }
    // The middle row of the lane, at the middle of frame `f`'s cell.
    QRgb CellAt(double f) const {
        const Rect plot = lane_->GetMapping().GetPixelRect();
        return lane_->BackBuffer().pixel(Px(lane_, f), (plot.top + plot.bottom) / 2);
    }
    ShapeLane* lane_ = nullptr;
};

TEST_F(ShapeLane_Drawing, CellsFollowZoomScrollAndSelection) {
    doc_->GetShapes().Set(10, MouthShape::D, false);
    doc_->GetShapes().Set(11, MouthShape::F, false);
    doc_->UpdateAllViews(nullptr, kHintAll);
    PaintPending();
    EXPECT_EQ(CellAt(10), Colour(MouthShape::D));
    EXPECT_EQ(CellAt(11), Colour(MouthShape::F));
    EXPECT_EQ(CellAt(20), 0xffffffffu) << "a frame without a shape shows the background";

    // Zoomed in on frames 9 .. 12: the cells widen and stay under their frames.
    View(8.5, 12.5);
    const int left = Px(lane_, 9.6);
    const int right = Px(lane_, 10.4);
    EXPECT_GT(right - left, 50);
    const Rect plot = lane_->GetMapping().GetPixelRect();
    EXPECT_EQ(lane_->BackBuffer().pixel(Px(lane_, 9.5) + 1, (plot.top + plot.bottom) / 2),
              Colour(MouthShape::D));
    EXPECT_EQ(lane_->BackBuffer().pixel(Px(lane_, 9.5) - 1, (plot.top + plot.bottom) / 2),
              0xffffffffu);
    EXPECT_EQ(CellAt(10.4), Colour(MouthShape::D));
    EXPECT_EQ(CellAt(10.6), Colour(MouthShape::F));
    // The selection band shows above a selected cell, the background above an unselected one.
    Select(9.5, 10.5);
    const int top = plot.top + 1;
    EXPECT_EQ(lane_->BackBuffer().pixel(Px(lane_, 10), top), 0xff00ffffu);
    EXPECT_EQ(lane_->BackBuffer().pixel(Px(lane_, 11), top), 0xffffffffu);
    EXPECT_EQ(CellAt(10), Colour(MouthShape::D));
}

TEST_F(ShapeLane_Drawing, HandSetShapeIsOutlinedGuessedOneIsNot) {
    doc_->GetShapes().Set(10, MouthShape::C, true);
    doc_->GetShapes().Set(20, MouthShape::C, false);
    View(5.5, 25.5);
    const Rect plot = lane_->GetMapping().GetPixelRect();
    const int row = (plot.top + plot.bottom) / 2;
    const QImage& image = lane_->BackBuffer();
    EXPECT_EQ(image.pixel(Px(lane_, 9.5), row), 0xff000000u);
    EXPECT_EQ(image.pixel(Px(lane_, 19.5), row), Colour(MouthShape::C));
}

TEST_F(ShapeLane_Drawing, MoreFramesThanColumnsStillCoverTheLane) {
    // 100,000 alternating frames in a narrow lane: every column gets a cell.
    for (int f = 0; f < 100000; ++f)
        doc_->GetShapes().Set(f, f % 2 ? MouthShape::A : MouthShape::B, false);
    doc_->GetTimeRange().SetExtent(-0.5, 100000.5);
    View(-0.5, 100000.5);
    const Rect plot = lane_->GetMapping().GetPixelRect();
    const int row = (plot.top + plot.bottom) / 2;
    for (int x = plot.left + 1; x < plot.right; ++x) {
        const QRgb c = lane_->BackBuffer().pixel(x, row);
        ASSERT_TRUE(c == Colour(MouthShape::A) || c == Colour(MouthShape::B)) << x;
    }
}

// Correcting a line quickly: letters typed without a selection, a run boundary dragged, and the
// letter of a frame too narrow to show it.
class EditCounter final : public KeyEditSink {
public:
    void Record(KeyEdit&& edit) override { edits.push_back(std::move(edit)); }
    void Clear() override { edits.clear(); }
    std::vector<KeyEdit> edits;
};

class ShapeLane_Correction : public ShapeLane_Drawing {
protected:
    void SetUp() override {
        ShapeLane_Drawing::SetUp();
        doc_->SetKeyEditSink(&history_);
    }
    void TearDown() override {
        doc_->SetKeyEditSink(nullptr);
        ShapeLane_Drawing::TearDown();
    }
    std::string Letters(int first, int last) const {
        std::string out;
        for (int f = first; f <= last; ++f) {
            const ShapeEntry* e = doc_->GetShapes().Find(f);
            out += e ? MouthShapeLetter(e->shape) : '.';
        }
        return out;
    }
    QPoint At(double frame) const {
        const Rect plot = lane_->GetMapping().GetPixelRect();
        return QPoint(Px(lane_, frame), (plot.top + plot.bottom) / 2);
    }
    EditCounter history_;
};

TEST_F(ShapeLane_Correction, TypingSetsTheFrameAfterTheCursorAndMovesOn) {
    Select(4.5, 4.5);
    lane_->setFocus();
    QTest::keyClicks(lane_, "dcxq");  // q is no mouth: ignored
    EXPECT_EQ(Letters(4, 8), ".DCX.");
    EXPECT_EQ(Ts().GetCursor(), 7.5);
    EXPECT_FALSE(Ts().HasSelection());
    EXPECT_TRUE(doc_->GetShapes().Find(6)->hand);
    EXPECT_EQ(history_.edits.size(), 3u) << "each letter is a step of its own";
    // With a selection a letter sets all of it, and the cursor stays.
    Select(0.5, 2.5);
    QTest::keyClick(lane_, Qt::Key_B);
    EXPECT_EQ(Letters(0, 3), ".BB.");
    EXPECT_EQ(Ts().GetCursor(), 2.5);
    // At the end of the timeline there is no frame after the cursor.
    Select(40.5, 40.5);
    QTest::keyClick(lane_, Qt::Key_A);
    EXPECT_EQ(doc_->GetShapes().Find(41), nullptr);
    EXPECT_EQ(Ts().GetCursor(), 40.5);
}

TEST_F(ShapeLane_Correction, DraggingARunBoundaryIsOneStep) {
    for (int f = 10; f <= 19; ++f)
        doc_->GetShapes().Set(f, f < 15 ? MouthShape::A : MouthShape::D, false);
    View(7.5, 22.5);
    EXPECT_EQ(lane_->BoundaryAt(Point{Px(lane_, 14.5), At(14).y()}), 15);
    EXPECT_EQ(lane_->BoundaryAt(Point{Px(lane_, 12.5), At(12).y()}), -1) << "inside a run";
    EXPECT_EQ(lane_->BoundaryAt(Point{Px(lane_, 9.5), At(9).y()}), -1) << "next to no shape";

    const std::vector<ShapeEntry> before = doc_->GetShapes().Entries();
    Press(lane_, QPoint(Px(lane_, 14.5), At(14).y()));
    EXPECT_TRUE(lane_->IsMovingBoundary());
    Move(lane_, At(12.2));
    EXPECT_EQ(Letters(10, 19), "AAADDDDDDD") << "shown while dragging";
    Move(lane_, At(21.9));  // past the right run: it keeps one frame
    EXPECT_EQ(Letters(10, 19), "AAAAAAAAAD");
    Move(lane_, At(16.8));
    Release(lane_, At(16.8));
    EXPECT_FALSE(lane_->IsMovingBoundary());
    EXPECT_EQ(Letters(10, 19), "AAAAAAADDD");
    EXPECT_TRUE(doc_->GetShapes().Find(16)->hand) << "the frames passed over are the animator's";
    EXPECT_FALSE(doc_->GetShapes().Find(18)->hand);
    ASSERT_EQ(history_.edits.size(), 1u);
    EXPECT_TRUE(doc_->IsModified());
    doc_->ApplyKeyEdit(history_.edits.back(), false);
    EXPECT_EQ(doc_->GetShapes().Entries(), before);

    // Escape puts it back, and no step is recorded.
    Press(lane_, QPoint(Px(lane_, 14.5), At(14).y()));
    Move(lane_, At(17));
    QTest::keyClick(lane_, Qt::Key_Escape);
    EXPECT_EQ(doc_->GetShapes().Entries(), before);
    Release(lane_, At(17));
    EXPECT_EQ(history_.edits.size(), 1u);
}

TEST_F(ShapeLane_Correction, NarrowFramesNameTheirLetterInATooltip) {
    doc_->GetShapes().Set(20, MouthShape::H, true);
    View(-0.5, 40.5);  // about 10 pixels a frame: no room for a letter
    const QString tip = lane_->ToolTipAt(Point{At(20).x(), At(20).y()});
    EXPECT_EQ(tip, QStringLiteral("Frame 20: H  Tongue up (L) (set by hand)"));
    EXPECT_EQ(lane_->ToolTipAt(Point{At(21).x(), At(21).y()}), QString()) << "no shape there";
    View(17.5, 22.5);  // wide frames show the letter themselves
    EXPECT_EQ(lane_->ToolTipAt(Point{At(20).x(), At(20).y()}), QString());
}

}  // namespace
}  // namespace vokra::test
