#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <functional>
#include <memory>
#include <ostream>

#include "tests/panes/pane_fixture.h"

namespace vokra::test {
namespace {

constexpr QRgb kGrey = 0xffc0c0c0;
constexpr QRgb kBlack = 0xff000000;

class EnvView_Drawing : public PaneFixture {
protected:
    // 21334 samples at 8000 Hz and 15 fps: extent -0.5 .. 40.5.
    void LongSound() { LoadSound(std::vector<std::int16_t>(21334, 0), 8000); }

    std::vector<Point> PolylineOf(const RecordingDrawContext& dc) {
        for (const DrawCall& c : dc.Calls()) {
            if (c.op == DrawCall::Op::Polyline) return c.points;
        }
        return {};
    }
    std::vector<Rect> SquaresOf(const RecordingDrawContext& dc) {
        std::vector<Rect> r;
        for (const DrawCall& c : dc.Fills()) r.push_back(c.rect);
        return r;
    }
    static Rect Square(Point p) { return Rect{p.x - 1, p.y - 1, p.x + 2, p.y + 2}; }
};

TEST_F(EnvView_Drawing, NoKeysFrameGuideCursorAndRulerButNoLine) {
    TestEnvView* env = Make<TestEnvView>(450, 200);
    RecordingDrawContext dc;
    env->Draw(dc);
    EXPECT_TRUE(PolylineOf(dc).empty());
    EXPECT_EQ(dc.Count(DrawCall::Op::Polyline), 0);
    const int guide = env->GetMapping().WorldToPixelY(1.0);
    bool grey = false, red = false;
    for (const DrawnLine& l : dc.Lines()) {
        if (l.pen.colour == Rgb{192, 192, 192}) {
            grey = true;
            EXPECT_EQ(l.from, (Point{25, guide}));
            EXPECT_EQ(l.to, (Point{425, guide}));
        }
        red |= l.pen.colour == Rgb{255, 0, 0};
    }
    EXPECT_TRUE(grey);
    EXPECT_TRUE(red);
    EXPECT_FALSE(dc.Texts().empty());
    // On the back buffer, too: the guide is grey where nothing crosses it.
    EXPECT_EQ(env->BackBuffer().pixel(200, guide), kGrey);
}

TEST_F(EnvView_Drawing, MappingSitsFourPixelsInsideThePlot) {
    TestEnvView* env = Make<TestEnvView>(450, 200);
    const PlotMapping& m = env->GetMapping();
    EXPECT_EQ(m.WorldToPixelY(1.5), 29);
    EXPECT_EQ(m.WorldToPixelY(0.0), 171);
}

TEST_F(EnvView_Drawing, OneKeyRisesFromZeroAndStopsThere) {
    LongSound();
    SetKeys({{10, 0.8f}});
    TestEnvView* env = Make<TestEnvView>(450, 200);
    ASSERT_DOUBLE_EQ(Ts().GetVisibleMax(), 40.5);
    RecordingDrawContext dc;
    env->Draw(dc);
    const PlotMapping& m = env->GetMapping();
    const Point key = m.WorldToPixelPoint(10.0, 0.8f);
    EXPECT_EQ(PolylineOf(dc), (std::vector<Point>{m.WorldToPixelPoint(-0.5, 0.0), key}));
    EXPECT_EQ(SquaresOf(dc), std::vector<Rect>{Square(key)});
    const QImage& img = env->BackBuffer();
    EXPECT_EQ(img.pixel(key.x + 1, key.y + 1), kBlack);
    EXPECT_EQ(img.pixel(key.x + 1, key.y - 1), kBlack);
}

TEST_F(EnvView_Drawing, KeysOnBothSidesOfTheViewGiveAStraightLineWithoutSquares) {
    SetKeys({{5, 0.2f}, {50, 1.1f}});
    TestEnvView* env = Make<TestEnvView>(450, 200);
    View(10.0, 30.0);
    RecordingDrawContext dc;
    env->Draw(dc);
    const PlotMapping& m = env->GetMapping();
    const double at10 = 0.2f + (1.1f - 0.2f) * (5.0 / 45.0);
    const double at30 = 0.2f + (1.1f - 0.2f) * (25.0 / 45.0);
    EXPECT_EQ(PolylineOf(dc), (std::vector<Point>{m.WorldToPixelPoint(10.0, at10),
                                                  m.WorldToPixelPoint(30.0, at30)}));
    EXPECT_TRUE(SquaresOf(dc).empty());
}

TEST_F(EnvView_Drawing, ViewStartingOnAKeySquaresItAndTheLastKey) {
    SetKeys({{2, 0.5f}, {5, 1.0f}, {30, 0.3f}});
    TestEnvView* env = Make<TestEnvView>(450, 200);
    View(2.0, 8.0);
    RecordingDrawContext dc;
    env->Draw(dc);
    const PlotMapping& m = env->GetMapping();
    const Point k2 = m.WorldToPixelPoint(2.0, 0.5f);
    const Point k5 = m.WorldToPixelPoint(5.0, 1.0f);
    const Point edge = m.WorldToPixelPoint(8.0, 1.0 + (0.3f - 1.0) * (3.0 / 25.0));
    EXPECT_EQ(PolylineOf(dc), (std::vector<Point>{k2, k2, k5, edge}));
    EXPECT_EQ(SquaresOf(dc), (std::vector<Rect>{Square(k2), Square(k2), Square(k5)}));
    EXPECT_EQ(dc.GetBkColor(), (Rgb{255, 255, 255}));  // restored after the squares
}

TEST_F(EnvView_Drawing, ViewAfterTheLastKeyShowsNoLine) {
    LongSound();
    SetKeys({{2, 0.5f}, {30, 0.3f}});
    TestEnvView* env = Make<TestEnvView>(450, 200);
    View(31.0, 35.0);
    RecordingDrawContext dc;
    env->Draw(dc);
    EXPECT_EQ(PolylineOf(dc).size(), 1u);
    EXPECT_TRUE(SquaresOf(dc).empty());
}

TEST_F(EnvView_Drawing, RulerIsInFramesWhateverTheSetting) {
    g_showSeconds = 1;
    TestEnvView* env = Make<TestEnvView>(450, 200);
    RecordingDrawContext dc;
    env->Draw(dc);
    ASSERT_FALSE(dc.Texts().empty());
    EXPECT_EQ(dc.Texts()[0].text, "0");
}

TEST_F(EnvView_Drawing, DragMovesTheSelectedKeysAndTheLineIntoThem) {
    SetKeys({{2, 0.2f}, {4, 0.4f}, {6, 0.6f}});
    TestEnvView* env = Make<TestEnvView>(450, 200);
    Select(3.5, 4.5);
    env->SetDrag(0.5);
    RecordingDrawContext dc;
    env->Draw(dc);
    const PlotMapping& m = env->GetMapping();
    const std::vector<Point> line = PolylineOf(dc);
    ASSERT_EQ(line.size(), 4u);
    EXPECT_EQ(line[1], m.WorldToPixelPoint(2.0, 0.2f));
    EXPECT_EQ(line[2], m.WorldToPixelPoint(4.0, 0.4f + 0.5));
    EXPECT_EQ(line[3], m.WorldToPixelPoint(6.0, 0.6f));
}

// ---- displayed opening ----------------------------------------------------------------------

struct OpeningCase {
    const char* name;
    double anchor, cursor;  // the selection the drag applies to
    double dragOffset;      // 0: no drag
    double at;
    double expected;
};
void PrintTo(const OpeningCase& c, std::ostream* os) {
    *os << c.name;
}

TEST_F(EnvView_Drawing, OpeningsAboveTheTopAreClippedToThePlot) {
    LongSound();
    TestEnvView* env = Make<TestEnvView>(450, 200);
    SetKeys({{3, 2.0f}, {8, 0.2f}, {30, 2.0f}});
    const QImage& img = env->BackBuffer();
    const int top = env->Margin();
    // Above the plot only the background: the steep line and the squares stop at the frame.
    for (int y = 0; y < top; ++y) {
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(img.pixel(x, y), 0xffffffff) << x << "," << y;
    }
    // Inside, the line still rises to the frame where it leaves the plot.
    int crossings = 0;
    for (int x = top + 1; x < img.width() - top; ++x) crossings += img.pixel(x, top + 1) == kBlack;
    EXPECT_GE(crossings, 2);
}

struct DenseCase {
    const char* name;
    int keys;  // on frames 0, step, 2 step, ...
    int step;
    double viewMin, viewMax;
    double dragOffset;  // a drag of the selected frames 100..400 in progress
};
void PrintTo(const DenseCase& c, std::ostream* os) {
    *os << c.name;
}

class EnvView_Dense : public EnvView_Drawing, public ::testing::WithParamInterface<DenseCase> {};

// Drawing a column once for all its keys must give exactly the picture of drawing every key.
TEST_P(EnvView_Dense, SamePictureAsDrawingEveryKey) {
    const DenseCase& c = GetParam();
    TestEnvView* env = Make<TestEnvView>(400, 160);
    std::uint32_t seed = 12345;
    for (int i = 0; i < c.keys; ++i) {
        seed = seed * 1103515245u + 12345u;
        // Mostly a voice-like band, with gaps, and every 97th key out at 200 %.
        const float opening = i % 97 == 0 ? 2.0f : static_cast<float>((seed >> 16) % 130) / 100.0f;
        doc_->GetKeys().SetKey(Keyframe(i * c.step, opening));
    }
    doc_->UpdateExtent();
    Select(99.5, 400.5);
    View(c.viewMin, c.viewMax);
    env->SetDrag(c.dragOffset);
    env->SetDenseThreshold(1.0);
    env->PaintPane();
    const QImage dense = env->BackBuffer().copy();
    env->SetDenseThreshold(1e18);
    env->PaintPane();
    const QImage full = env->BackBuffer().copy();
    ASSERT_EQ(dense.size(), full.size());
    int differing = 0;
    for (int y = 0; y < full.height(); ++y) {
        for (int x = 0; x < full.width(); ++x) differing += dense.pixel(x, y) != full.pixel(x, y);
    }
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnvView_Dense,
    ::testing::Values(DenseCase{"WholeTimeline", 20000, 1, -0.5, 20000.5, 0.0},
                      DenseCase{"ViewEndsBetweenKeys", 20000, 1, 1234.25, 9876.75, 0.0},
                      DenseCase{"SparseAndDenseMixed", 3000, 3, -0.5, 3000.5, 0.0},
                      DenseCase{"DuringADrag", 20000, 1, -0.5, 20000.5, -0.3},
                      DenseCase{"JustDenserThanColumns", 400, 1, -0.5, 400.5, 0.0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- picture cache --------------------------------------------------------------------------

struct EnvCacheCase {
    const char* name;
    std::function<void(PaneFixture&, TestEnvView*)> change;
    bool rebuilds;
};
void PrintTo(const EnvCacheCase& c, std::ostream* os) {
    *os << c.name;
}

class EnvView_Cache : public PaneFixture, public ::testing::WithParamInterface<EnvCacheCase> {
public:
    using PaneFixture::Select;
    using PaneFixture::SetKeys;
    using PaneFixture::View;
    CVokraDoc& Doc() { return *doc_; }
};

// Whatever changed, the cached picture is the one a fresh pane draws; only a change of what it
// shows works it out again.
TEST_P(EnvView_Cache, RebuildsOnlyWhenItsKeyChanges) {
    for (int f = 0; f < 3000; ++f) doc_->GetKeys().SetKey(Keyframe(f, (f * 37 % 101) / 100.0f));
    doc_->UpdateExtent();
    TestEnvView* env = Make<TestEnvView>(400, 160);
    Select(99.5, 400.5);
    View(-0.5, 3000.5);
    const int before = env->KeyPictureBuilds();
    GetParam().change(*this, env);
    doc_->UpdateAllViews(nullptr, kHintAll);
    PaintPending();
    EXPECT_EQ(env->KeyPictureBuilds() - before, GetParam().rebuilds ? 1 : 0);

    const QImage cached = env->BackBuffer().copy();
    // Taken first: the new window takes the focus, which ends a drag in the first one.
    const bool dragging = env->IsKeyDragging();
    const double offset = env->KeyDragOffset();
    auto fresh = std::make_unique<TestEnvView>(doc_.get());
    fresh->resize(env->size());
    fresh->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(fresh.get()));
    if (dragging) fresh->SetDrag(offset);
    fresh->PaintPane();
    EXPECT_EQ(cached, fresh->BackBuffer());
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnvView_Cache,
    ::testing::Values(
        EnvCacheCase{"PlainRepaint", [](PaneFixture&, TestEnvView*) {}, false},
        EnvCacheCase{"CursorMove",
                     [](PaneFixture& f, TestEnvView*) {
                         static_cast<EnvView_Cache&>(f).Select(1200.5, 1200.5);
                     },
                     false},
        EnvCacheCase{"PlaybackMarker",
                     [](PaneFixture&, TestEnvView* e) { e->SetPlaybackMarker(30.0, true); }, false},
        EnvCacheCase{"KeyEdit",
                     [](PaneFixture& f, TestEnvView*) {
                         static_cast<EnvView_Cache&>(f).SetKeys({{1500, 1.5f}});
                     },
                     true},
        EnvCacheCase{"KeyDeleted",
                     [](PaneFixture& f, TestEnvView*) {
                         static_cast<EnvView_Cache&>(f).Doc().GetKeys().RemoveRange(10, 2000);
                     },
                     true},
        EnvCacheCase{"Scroll",
                     [](PaneFixture& f, TestEnvView*) {
                         static_cast<EnvView_Cache&>(f).View(100.0, 2100.0);
                     },
                     true},
        EnvCacheCase{"LowerByOnePixel",
                     [](PaneFixture&, TestEnvView* e) { e->resize(e->width(), e->height() - 1); },
                     true},
        EnvCacheCase{"DragStep", [](PaneFixture&, TestEnvView* e) { e->SetDrag(0.25); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

class EnvView_DisplayedOpening : public PaneFixture,
                                 public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(EnvView_DisplayedOpening, InterpolatesTheShownKeys) {
    const OpeningCase& c = GetParam();
    TestEnvView* env = Make<TestEnvView>(450, 200);
    SetKeys({{2, 0.25f}, {4, 0.75f}});
    Ts().SetAnchor(c.anchor);
    Ts().SetCursor(c.cursor);
    if (c.dragOffset != 0.0) env->SetDrag(c.dragOffset);
    EXPECT_DOUBLE_EQ(env->DisplayedOpeningAt(c.at), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnvView_DisplayedOpening,
    ::testing::Values(OpeningCase{"Between", 0.5, 0.5, 0.0, 3.0, 0.5},
                      OpeningCase{"QuarterWay", 0.5, 0.5, 0.0, 2.5, 0.375},
                      OpeningCase{"RampFromZero", 0.5, 0.5, 0.0, 1.0, 0.125},
                      OpeningCase{"OnAKey", 0.5, 0.5, 0.0, 4.0, 0.75},
                      OpeningCase{"AfterTheLastKey", 0.5, 0.5, 0.0, 9.0, 0.75},
                      OpeningCase{"BeforeZero", 0.5, 0.5, 0.0, -0.5, 0.0},
                      OpeningCase{"DraggedKey", 3.5, 4.5, 0.25, 4.0, 1.0},
                      OpeningCase{"TowardsADraggedKey", 3.5, 4.5, 0.25, 3.0, 0.625},
                      OpeningCase{"ImplicitZeroNeverMoves", 1.5, 2.5, 0.25, 1.0, 0.25},
                      OpeningCase{"UnselectedKeyStays", 3.5, 4.5, 0.25, 2.0, 0.25}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- mouse: hit testing and dragging --------------------------------------------------------

class EnvView_Mouse : public PaneFixture {
protected:
    void SetUp() override {
        PaneFixture::SetUp();
        wave_ = Make<TestWaveView>(450, 200);
        // Plot height 158: the mapping's 150 pixels hold 1.5, so 0.01 a pixel.
        env_ = Make<TestEnvView>(450, 208);
        doc_->SetPlaybackPalette(&palette_);
    }
    void TearDown() override {
        doc_->SetPlaybackPalette(nullptr);
        PaneFixture::TearDown();
    }
    QPoint At(double frame, double opening) const {
        const Point p = env_->GetMapping().WorldToPixelPoint(frame, opening);
        return QPoint(p.x, p.y);
    }
    TestWaveView* wave_ = nullptr;
    TestEnvView* env_ = nullptr;
    HintRecorder palette_;
};

TEST_F(EnvView_Mouse, ClickOnAKeyOutsideTheSelectionSelectsItsFrameAndStartsADrag) {
    SetKeys({{4, 0.5f}});
    Press(env_, At(4, 0.5));
    EXPECT_TRUE(env_->IsKeyDragging());
    EXPECT_DOUBLE_EQ(Ts().GetAnchor(), 3.5);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 4.5);
    EXPECT_DOUBLE_EQ(env_->KeyDragOffsetMin(), -0.5);
    EXPECT_DOUBLE_EQ(env_->KeyDragOffsetMax(), 1.0);
    Release(env_, At(4, 0.5));
    EXPECT_FALSE(env_->IsKeyDragging());
    EXPECT_FLOAT_EQ(OpeningAt(4), 0.5f);
    EXPECT_FALSE(doc_->IsModified());
}

TEST_F(EnvView_Mouse, OfTwoKeysUnderTheClickTheNearestIsDragged) {
    SetKeys({{4, 0.5f}, {5, 0.52f}, {100, 0.5f}});
    View(-0.5, 100.5);  // 4 pixels a frame: keys 4 and 5 lie within 6 pixels of each other
    Press(env_, At(5, 0.52) + QPoint(-1, 0));
    EXPECT_TRUE(env_->IsKeyDragging());
    EXPECT_DOUBLE_EQ(Ts().SelectionStart(), 4.5);
    EXPECT_DOUBLE_EQ(Ts().SelectionEnd(), 5.5);
    Release(env_, At(5, 0.52) + QPoint(-1, 0));
}

TEST_F(EnvView_Mouse, ClickBetweenCloseSelectedKeysDragsTheSelection) {
    SetKeys({{4, 0.5f}, {5, 0.5f}, {100, 0.5f}});
    View(-0.5, 100.5);
    Select(3.5, 5.5);
    Press(env_, At(4.5, 0.5));
    EXPECT_TRUE(env_->IsKeyDragging());
    EXPECT_DOUBLE_EQ(Ts().SelectionStart(), 3.5);
    EXPECT_DOUBLE_EQ(Ts().SelectionEnd(), 5.5);
    Move(env_, At(4.5, 0.5) + QPoint(0, -10));
    Release(env_, At(4.5, 0.5) + QPoint(0, -10));
    EXPECT_FLOAT_EQ(OpeningAt(4), 0.6f);
    EXPECT_FLOAT_EQ(OpeningAt(5), 0.6f);
    EXPECT_FLOAT_EQ(OpeningAt(100), 0.5f);
}

TEST_F(EnvView_Mouse, EscapeDuringADragPutsTheKeysBackAndTheReleaseWritesNothing) {
    SetKeys({{3, 0.4f}, {4, 0.6f}});
    Select(2.5, 4.5);
    Press(env_, At(3, 0.4));
    Move(env_, At(3, 0.4) + QPoint(0, -30));
    ASSERT_NE(env_->KeyDragOffset(), 0.0);
    QTest::keyClick(env_, Qt::Key_Escape);
    EXPECT_FALSE(env_->IsKeyDragging());
    EXPECT_EQ(env_->KeyDragOffset(), 0.0);
    Move(env_, At(3, 0.4) + QPoint(0, -50));
    Release(env_, At(3, 0.4) + QPoint(0, -50));
    EXPECT_FLOAT_EQ(OpeningAt(3), 0.4f);
    EXPECT_FLOAT_EQ(OpeningAt(4), 0.6f);
    EXPECT_FALSE(doc_->IsModified());
    EXPECT_TRUE(Ts().HasSelection());
}

TEST_F(EnvView_Mouse, ShiftClickOnAKeyGoesToTheBase) {
    SetKeys({{6, 0.5f}});
    Select(1.5, 1.5);
    const double snapped = doc_->SnapToFrameEdge(env_->GetMapping().PixelToWorldX(At(6, 0.5).x()));
    Press(env_, At(6, 0.5), Qt::ShiftModifier);
    EXPECT_FALSE(env_->IsKeyDragging());
    EXPECT_DOUBLE_EQ(Ts().GetAnchor(), 1.5);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), snapped);
    EXPECT_GT(snapped, 5.0);
    Release(env_, At(6, 0.5));
}

TEST_F(EnvView_Mouse, ClickInsideTheSelectionAwayFromKeysGoesToTheBase) {
    SetKeys({{3, 1.0f}, {6, 1.0f}});
    Select(1.5, 7.5);
    Press(env_, At(4.2, 0.2));
    EXPECT_FALSE(env_->IsKeyDragging());
    EXPECT_FALSE(Ts().HasSelection());
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 4.5);
    Release(env_, At(4.2, 0.2));
}

struct EdgeCase {
    const char* name;
    int below;  // pixels below the key at 0 %, which sits on the mapping's bottom edge
    bool hits;
};
void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class EnvView_HitEdge : public EnvView_Mouse, public ::testing::WithParamInterface<EdgeCase> {
protected:
    void SetUp() override { EnvView_Mouse::SetUp(); }
    void TearDown() override { EnvView_Mouse::TearDown(); }
};

TEST_P(EnvView_HitEdge, ReachesSixPixelsOutsideThePlot) {
    SetKeys({{5, 0.0f}});
    const QPoint key = At(5, 0.0);
    Press(env_, key + QPoint(0, GetParam().below));
    EXPECT_EQ(env_->IsKeyDragging(), GetParam().hits);
    Release(env_, key + QPoint(0, GetParam().below));
}

INSTANTIATE_TEST_SUITE_P(Table, EnvView_HitEdge,
                         ::testing::Values(EdgeCase{"OnTheKey", 0, true},
                                           EdgeCase{"FivePixelsOut", 5, true},
                                           EdgeCase{"SixPixelsOut", 6, false},
                                           EdgeCase{"FarOut", 9, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DragCase {
    const char* name;
    std::vector<std::pair<int, float>> keys;  // on frames 3 .. 5, all selected
    int dy;                                   // pixels, up is negative
    double expectOffset;                      // in pixels of 0.01 when byPixels
    bool byPixels = false;
};
void PrintTo(const DragCase& c, std::ostream* os) {
    *os << c.name;
}

class EnvView_DragLimits : public EnvView_Mouse, public ::testing::WithParamInterface<DragCase> {
protected:
    void SetUp() override { EnvView_Mouse::SetUp(); }
    void TearDown() override { EnvView_Mouse::TearDown(); }
};

TEST_P(EnvView_DragLimits, KeepTheKeysBetweenZeroAndOneHundredFiftyPercent) {
    const DragCase& c = GetParam();
    SetKeys(c.keys);
    Select(2.5, 5.5);
    const QPoint start = At(c.keys[0].first, c.keys[0].second);
    Press(env_, start);
    ASSERT_TRUE(env_->IsKeyDragging());
    Move(env_, start + QPoint(0, c.dy));
    const double perPixel =
        env_->GetMapping().PixelToWorldY(0) - env_->GetMapping().PixelToWorldY(1);
    EXPECT_NEAR(env_->KeyDragOffset(), c.byPixels ? c.expectOffset * perPixel : c.expectOffset,
                1e-9);
    Release(env_, start + QPoint(0, c.dy));
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnvView_DragLimits,
    ::testing::Values(DragCase{"UpStopsAtTheLargest", {{3, 0.4f}, {4, 1.2f}}, -100, 1.5 - 1.2f},
                      DragCase{"DownStopsAtTheSmallest", {{3, 0.5f}, {5, 0.1f}}, 60, -0.1f},
                      DragCase{"WithinLimits", {{3, 0.5f}, {4, 0.6f}}, -20, 0.2},
                      // Keys already beyond 150 % (from a file) move with the mouse only: not
                      // further up, and down by what the mouse moved, never a jump.
                      DragCase{"AboveTheTopGoesNoHigher", {{3, 0.2f}, {4, 1.9f}}, -1, 0.0},
                      DragCase{
                          "AboveTheTopFollowsTheMouseDown", {{3, 0.2f}, {4, 1.9f}}, 1, -1.0, true},
                      DragCase{"AboveTheTopStopsAtTheSmallest", {{3, 0.2f}, {4, 1.9f}}, 50, -0.2f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnvView_Mouse, DragWritesBackAtReleaseAndRedrawsEverything) {
    SetKeys({{3, 0.4f}, {4, 0.6f}, {6, 0.9f}});
    Select(2.5, 4.5);
    const QPoint start = At(3, 0.4);
    Press(env_, start);
    PaintPending();
    palette_.hints.clear();
    Move(env_, start + QPoint(0, -25));
    // During the drag only this pane repaints; the document is untouched.
    EXPECT_TRUE(env_->HasPendingUpdate());
    EXPECT_FALSE(wave_->HasPendingUpdate());
    EXPECT_EQ(palette_.hints, std::vector<int>{0});
    EXPECT_FLOAT_EQ(OpeningAt(3), 0.4f);
    EXPECT_FALSE(doc_->IsModified());
    PaintPending();
    Move(env_, start + QPoint(40, -25));  // sideways: nothing changes, nothing redraws
    EXPECT_FALSE(env_->HasPendingUpdate());

    Release(env_, start + QPoint(40, -25));
    EXPECT_FLOAT_EQ(OpeningAt(3), static_cast<float>(0.4f + 0.25));
    EXPECT_FLOAT_EQ(OpeningAt(4), static_cast<float>(0.6f + 0.25));
    EXPECT_FLOAT_EQ(OpeningAt(6), 0.9f);
    EXPECT_TRUE(doc_->IsModified());
    EXPECT_TRUE(wave_->HasPendingUpdate());
    EXPECT_TRUE(env_->HasPendingUpdate());
    EXPECT_EQ(palette_.hints.back(), 0);
}

TEST_F(EnvView_Mouse, SelectionGoneBeforeTheReleaseWritesNothingButRedraws) {
    SetKeys({{3, 0.4f}});
    Select(2.5, 3.5);
    const QPoint start = At(3, 0.4);
    Press(env_, start);
    Move(env_, start + QPoint(0, -20));
    PaintPending();
    Ts().SetAnchor(3.5);  // the selection is taken away while the button is still down
    Release(env_, start + QPoint(0, -20));
    EXPECT_FLOAT_EQ(OpeningAt(3), 0.4f);
    EXPECT_FALSE(doc_->IsModified());
    // The pane showed the key moved; it must show it back where it is.
    EXPECT_TRUE(env_->HasPendingUpdate());
}

TEST_F(EnvView_Mouse, DragOverFramesWithoutKeysChangesNothing) {
    SetKeys({{8, 0.5f}});
    Select(1.5, 4.5);
    Press(env_, At(3.0, 0.0));  // inside the selection, no key: the base takes it
    EXPECT_FALSE(env_->IsKeyDragging());
    Release(env_, At(3.0, 0.0));
    EXPECT_FALSE(doc_->IsModified());
}

TEST_F(EnvView_Mouse, TooSmallPaneLeavesClicksToTheBase) {
    SetKeys({{4, 0.5f}});
    env_->resize(450, 60);
    env_->PaintPane();
    Press(env_, QPoint(At(4, 0.5).x(), 30));
    EXPECT_FALSE(env_->IsKeyDragging());
    EXPECT_EQ(env_->DragMode(), 0);
}

// ---- keys -----------------------------------------------------------------------------------

class EnvView_Keys : public PaneFixture {};

TEST_F(EnvView_Keys, InsertFillsAndDeleteClearsTheSelectedFrames) {
    TestEnvView* env = Make<TestEnvView>(450, 200);
    SetKeys({{2, 0.2f}, {8, 0.8f}});
    Select(2.5, 7.5);
    env->setFocus();

    // An auto-repeated Insert (the key held down) does nothing.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(env, &repeat);
    EXPECT_EQ(doc_->GetKeys().GetCount(), 2);

    QTest::keyClick(env, Qt::Key_Insert);
    ASSERT_EQ(doc_->GetKeys().GetCount(), 7);
    for (int f = 3; f <= 7; ++f) EXPECT_NEAR(OpeningAt(f), f / 10.0, 1e-6) << f;
    EXPECT_TRUE(env->HasPendingUpdate());

    QTest::keyClick(env, Qt::Key_Delete);
    EXPECT_EQ(doc_->GetKeys().GetCount(), 2);
    EXPECT_FLOAT_EQ(OpeningAt(2), 0.2f);
    EXPECT_FLOAT_EQ(OpeningAt(8), 0.8f);
}

TEST_F(EnvView_Keys, OtherKeysReachTheBase) {
    TestEnvView* env = Make<TestEnvView>(450, 200);
    Select(3.5, 3.5);
    env->setFocus();
    QTest::keyClick(env, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 4.5);
}

TEST_F(EnvView_Keys, EveryHintIsForwardedToThePalettesOnce) {
    Make<TestWaveView>(450, 200);
    Make<TestEnvView>(450, 200);
    HintRecorder palette;
    doc_->SetPlaybackPalette(&palette);
    doc_->UpdateAllViews(nullptr, 57);
    doc_->UpdateAllViews(nullptr, 55);
    doc_->UpdateAllViews(nullptr, 0);
    EXPECT_EQ(palette.hints, (std::vector<int>{57, 55, 0}));
    doc_->SetPlaybackPalette(nullptr);
}

// --- A drag something else interrupts.

struct InterruptCase {
    const char* name;
    // What happens between the press on frame 3's key (dragged up to the cap) and the release.
    std::function<void(TestEnvView* env, QPoint at)> interrupt;
    std::vector<float> want;  // openings of frames 3, 4 and 6 afterwards
    bool written;             // the release wrote the drag as hand-made keys
};

class EnvView_Interrupted : public EnvView_Mouse,
                            public ::testing::WithParamInterface<InterruptCase> {};

// A dialog (Ctrl+N's question, the Open dialog) once took the release and left the drag alive:
// the keys stayed drawn raised, and the next Shift+click wrote the stale offset onto every key
// of the wider selection. A selection widened mid-drag took keys past 150 %.
TEST_P(EnvView_Interrupted, EndsCancelledOrWithinTheCap) {
    SetKeys({{3, 0.4f}, {4, 1.2f}, {6, 0.5f}});
    Select(2.5, 3.5);
    const QPoint start = At(3, 0.4);
    Press(env_, start);
    Move(env_, start + QPoint(0, -200));
    ASSERT_NEAR(env_->KeyDragOffset(), 1.1, 1e-6);
    GetParam().interrupt(env_, start + QPoint(0, -200));
    Release(env_, start + QPoint(0, -200));
    EXPECT_FALSE(env_->IsKeyDragging());
    EXPECT_FLOAT_EQ(OpeningAt(3), GetParam().want[0]);
    EXPECT_FLOAT_EQ(OpeningAt(4), GetParam().want[1]);
    EXPECT_FLOAT_EQ(OpeningAt(6), GetParam().want[2]);
    for (int i = 0; i < doc_->GetKeys().GetCount(); ++i) {
        EXPECT_LE(doc_->GetKeys().GetAt(i)->GetOpening(), 1.5f);
        EXPECT_EQ(doc_->GetKeys().GetAt(i)->IsHandMade(), GetParam().written);
    }
    EXPECT_EQ(doc_->IsModified(), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnvView_Interrupted,
    ::testing::Values(
        // What a modal question or file dialog does to the pane: takes its focus.
        InterruptCase{"DialogTakesTheFocus",
                      [](TestEnvView* env, QPoint) {
                          QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
                          QApplication::sendEvent(env, &out);
                      },
                      {0.4f, 1.2f, 0.5f},
                      false},
        InterruptCase{"MenuOpens",
                      [](TestEnvView* env, QPoint) {
                          QFocusEvent out(QEvent::FocusOut, Qt::PopupFocusReason);
                          QApplication::sendEvent(env, &out);
                      },
                      {0.4f, 1.2f, 0.5f},
                      false},
        // The release went to the dialog; the pane next sees the pointer move with no button.
        InterruptCase{"ButtonCameUpElsewhere",
                      [](TestEnvView* env, QPoint at) {
                          QMouseEvent move(QEvent::MouseMove, at, env->mapToGlobal(at),
                                           Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                          QApplication::sendEvent(env, &move);
                      },
                      {0.4f, 1.2f, 0.5f},
                      false},
        // ... or the next press: a Shift+click widening the selection over frames 3 to 6.
        InterruptCase{"NextShiftClick",
                      [](TestEnvView* env, QPoint at) {
                          const Point p = env->GetMapping().WorldToPixelPoint(6.4, 0.0);
                          QTest::mousePress(env, Qt::LeftButton, Qt::ShiftModifier,
                                            QPoint(p.x, at.y()));
                      },
                      {0.4f, 1.2f, 0.5f},
                      false},
        // Shift+End during the drag takes in keys nearer the top: the offset shrinks to fit them.
        InterruptCase{
            "SelectionWidened",
            [](TestEnvView* env, QPoint) { QTest::keyClick(env, Qt::Key_End, Qt::ShiftModifier); },
            {0.7f, 1.5f, 0.8f},
            true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra::test
