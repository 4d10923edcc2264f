// Keys set by hand in the envelope pane: a drag marks them, and they are drawn hollow.
#include "tests/panes/pane_fixture.h"

namespace vokra::test {
namespace {

class EnvView_HandMade : public PaneFixture {
protected:
    void SetUp() override {
        PaneFixture::SetUp();
        LoadSound(std::vector<std::int16_t>(21334, 0), 8000);  // frames 0 .. 40 at 15 fps
        env_ = Make<TestEnvView>(450, 208);
        View(-0.5, 20.5);
    }
    QPoint At(double frame, double opening) const {
        const Point p = env_->GetMapping().WorldToPixelPoint(frame, opening);
        return QPoint(p.x, p.y);
    }
    bool HandAt(int frame) const {
        const Keyframe* k = doc_->GetKeys().FindAtOrAfter(frame);
        return k && k->GetFrame() == frame && k->IsHandMade();
    }
    TestEnvView* env_ = nullptr;
};

TEST_F(EnvView_HandMade, DraggedKeysBecomeHandMadeOthersStayAutomatic) {
    SetKeys({{3, 0.4f}, {4, 0.6f}, {6, 0.9f}});
    Select(2.5, 4.5);
    const QPoint start = At(3, 0.4);
    Press(env_, start);
    Move(env_, start + QPoint(0, -20));
    Release(env_, start + QPoint(0, -20));
    EXPECT_TRUE(HandAt(3));
    EXPECT_TRUE(HandAt(4));
    EXPECT_FALSE(HandAt(6));
}

TEST_F(EnvView_HandMade, EscapedDragMarksNothing) {
    SetKeys({{3, 0.4f}});
    Select(2.5, 3.5);
    const QPoint start = At(3, 0.4);
    Press(env_, start);
    Move(env_, start + QPoint(0, -20));
    env_->CancelKeyDrag();
    Release(env_, start + QPoint(0, -20));
    EXPECT_FALSE(HandAt(3));
}

TEST_F(EnvView_HandMade, HandMadeKeyIsAHollowSquareAutomaticOneSolid) {
    Keyframe hand(5, 0.5f);
    hand.SetHandMade(true);
    doc_->GetKeys().SetKey(hand);
    SetKeys({{10, 0.5f}});
    const QImage& image = env_->BackBuffer();
    const QPoint h = At(5, 0.5);
    const QPoint a = At(10, 0.5);
    // Hollow: white inside, a black ring two pixels out. Solid: black in the middle.
    EXPECT_EQ(image.pixel(h), 0xffffffffu);
    EXPECT_EQ(image.pixel(h + QPoint(0, -1)), 0xffffffffu);
    for (const QPoint ring : {QPoint(-2, -2), QPoint(2, 2), QPoint(-2, 2), QPoint(2, 0)})
        EXPECT_EQ(image.pixel(h + ring), 0xff000000u) << ring.x() << "," << ring.y();
    EXPECT_EQ(image.pixel(a), 0xff000000u);
    EXPECT_NE(image.pixel(a + QPoint(-2, -2)), 0xff000000u);
    // Inside the selection the hollow shows the selection's colour.
    Select(4.5, 5.5);
    EXPECT_EQ(env_->BackBuffer().pixel(h), 0xff00ffffu);
}

}  // namespace
}  // namespace vokra::test
