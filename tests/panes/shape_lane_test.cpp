// The shape lane: cells follow the shared timeline, hand-set shapes are outlined.
#include "panes/qt/shape_lane.h"

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

}  // namespace
}  // namespace vokra::test
