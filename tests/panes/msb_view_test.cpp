#include <QImage>
#include <QWheelEvent>
#include <ostream>

#include "panes/axis.h"
#include "platform/qt/qimage_draw_context.h"
#include "tests/panes/pane_fixture.h"

namespace vokra::test {
namespace {

constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kCyan = 0xff00ffff;

// ---- mouse ----------------------------------------------------------------------------------

class MSBView_Mouse : public PaneFixture {
protected:
    void SetUp() override {
        PaneFixture::SetUp();
        wave_ = Make<TestWaveView>(450, 200);
        env_ = Make<TestEnvView>(450, 200);
    }
    int Y() const { return 100; }
    TestWaveView* wave_ = nullptr;
    TestEnvView* env_ = nullptr;
};

TEST_F(MSBView_Mouse, ClickPlacesAnchorAndCursorOnTheFrameEdgeAndRedrawsBoth) {
    Press(wave_, QPoint(Px(wave_, 3.2), Y()));
    EXPECT_EQ(wave_->DragMode(), 1);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 3.5);
    EXPECT_DOUBLE_EQ(Ts().GetAnchor(), 3.5);
    EXPECT_TRUE(env_->HasPendingUpdate());
    Release(wave_, QPoint(Px(wave_, 3.2), Y()));
    EXPECT_EQ(wave_->DragMode(), 0);
    EXPECT_FALSE(Ts().HasSelection());
}

TEST_F(MSBView_Mouse, ShiftClickSelectsFromTheOldCursor) {
    Click(wave_, QPoint(Px(wave_, 2.2), Y()));
    Click(wave_, QPoint(Px(wave_, 6.2), Y()), Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(Ts().GetAnchor(), 2.5);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 6.5);
}

TEST_F(MSBView_Mouse, DragStretchesTheSelectionFromTheAnchor) {
    Press(wave_, QPoint(Px(wave_, 2.2), Y()));
    PaintPending();
    Move(wave_, QPoint(Px(wave_, 5.1), Y()));
    PaintPending();
    EXPECT_DOUBLE_EQ(Ts().GetAnchor(), 2.5);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 5.5);
    Release(wave_, QPoint(Px(wave_, 6.1), Y()));
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 6.5);
    EXPECT_DOUBLE_EQ(Ts().SelectionStart(), 2.5);
}

TEST_F(MSBView_Mouse, DragIntoTheRightMarginScrollsAtEveryMove) {
    SetKeys({{60, 0.5f}});  // extent to 60.5
    View(-0.5, 39.5);       // 10 pixels a frame: the margin reaches past the next frame edge
    Press(wave_, QPoint(Px(wave_, 2.0), Y()));
    PaintPending();
    double lastMax = Ts().GetVisibleMax();
    for (int i = 0; i < 3; ++i) {
        Move(wave_, QPoint(440 - i % 2, Y()));  // in the right margin; a new point each time
        PaintPending();
        EXPECT_GT(Ts().GetVisibleMax(), lastMax);
        EXPECT_DOUBLE_EQ(Ts().GetVisibleMax() - Ts().GetCursor(), 0.25);
        EXPECT_NEAR(Ts().GetVisibleMax() - Ts().GetVisibleMin(), 40.0, 1e-9);
        lastMax = Ts().GetVisibleMax();
    }
    EXPECT_DOUBLE_EQ(Ts().GetAnchor(), 2.5);
}

TEST_F(MSBView_Mouse, ReleaseOutsideThePlotKeepsTheLastDraggedPosition) {
    Press(wave_, QPoint(Px(wave_, 2.2), Y()));
    PaintPending();
    Move(wave_, QPoint(Px(wave_, 4.2), Y()));
    PaintPending();
    Release(wave_, QPoint(Px(wave_, 8.2), 10));  // top margin
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 4.5);
    EXPECT_EQ(wave_->DragMode(), 0);
}

TEST_F(MSBView_Mouse, MovesWithoutAPressDoNothing) {
    Select(2.5, 2.5);
    wave_->OnMouseMove(KeyState{}, Point{Px(wave_, 6.0), Y()});
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 2.5);
}

TEST_F(MSBView_Mouse, PlainClickInsideASelectionRemovesItWithoutScrolling) {
    Select(1.5, 6.5);
    View(0.0, 7.0);
    Click(wave_, QPoint(Px(wave_, 4.2), Y()));
    EXPECT_FALSE(Ts().HasSelection());
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 4.5);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMin(), 0.0);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax(), 7.0);
}

// The base pane without a document: no snapping, only clamping into the extent.
struct ShiftCase {
    const char* name;
    double anchor, cursor, click;
    double expectAnchor, expectCursor;
};
void PrintTo(const ShiftCase& c, std::ostream* os) {
    *os << c.name;
}

class MSBView_ShiftClick : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(MSBView_ShiftClick, AnchorBecomesTheFartherSelectionEnd) {
    TimelineState& ts = TestBaseView(nullptr).GetTimelineState();
    ts = TimelineState();  // extent and view 0 .. 10
    ts.SetAnchor(GetParam().anchor);
    ts.SetCursor(GetParam().cursor);
    TestBaseView pane(nullptr);
    pane.resize(450, 200 + pane.HorizontalScrollBar()->sizeHint().height());
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    pane.PaintPane();
    // 400 plot pixels for 10 frames: 40 pixels a frame, starting at x = 25.
    const int x = 25 + static_cast<int>(GetParam().click * 40.0 + 0.5);
    pane.OnLButtonDown(KeyState{true, false}, Point{x, 100});
    EXPECT_NEAR(ts.GetAnchor(), GetParam().expectAnchor, 1e-9);
    EXPECT_NEAR(ts.GetCursor(), GetParam().expectCursor, 1e-9);
    ts = TimelineState();
}

INSTANTIATE_TEST_SUITE_P(Table, MSBView_ShiftClick,
                         ::testing::Values(ShiftCase{"RightOfSelection", 2.5, 5.5, 8.2, 2.5, 8.2},
                                           ShiftCase{"InsideNearStart", 2.5, 5.5, 3.0, 5.5, 3.0},
                                           ShiftCase{"TieKeepsEnd", 2.0, 6.0, 4.0, 6.0, 4.0},
                                           ShiftCase{"NoSelection", 3.0, 3.0, 7.0, 3.0, 7.0},
                                           ShiftCase{"ClampedIntoExtent", 3.0, 3.0, -0.5, 3.0,
                                                     0.0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- keyboard -------------------------------------------------------------------------------

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    double anchor, cursor, vmin, vmax;
    double expectAnchor, expectCursor, expectMin, expectMax;
    int expectHint;  // -1: no redraw
};
void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class MSBView_Keyboard : public PaneFixture, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MSBView_Keyboard, MovesCursorOrViewAsTheTableSays) {
    const KeyCase& c = GetParam();
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    Make<TestEnvView>(450, 200);
    HintRecorder palette;
    doc_->SetPlaybackPalette(&palette);
    Ts().SetAnchor(c.anchor);
    Ts().SetCursor(c.cursor);
    Ts().SetVisibleRange(c.vmin, c.vmax);
    doc_->UpdateAllViews(nullptr, kHintAll);
    PaintPending();
    palette.hints.clear();

    wave->setFocus();
    QTest::keyClick(wave, c.key, c.mods);
    EXPECT_DOUBLE_EQ(Ts().GetAnchor(), c.expectAnchor);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), c.expectCursor);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMin(), c.expectMin);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax(), c.expectMax);
    if (c.expectHint < 0) {
        EXPECT_TRUE(palette.hints.empty());
        EXPECT_FALSE(AnyPending());
    } else {
        EXPECT_EQ(palette.hints, std::vector<int>{c.expectHint});
        EXPECT_TRUE(wave->HasPendingUpdate());
    }
    doc_->SetPlaybackPalette(nullptr);
}

constexpr auto kNone = Qt::NoModifier;
constexpr auto kShift = Qt::ShiftModifier;
constexpr auto kCtrl = Qt::ControlModifier;

// Document extent -0.5 .. 10.5: page step 8.8, line step 1 frame.
INSTANTIATE_TEST_SUITE_P(
    Table, MSBView_Keyboard,
    ::testing::Values(
        KeyCase{"RightCollapsesSelection", Qt::Key_Right, kNone, 2.5, 5.5, -0.5, 10.5, 5.5, 5.5,
                -0.5, 10.5, 0},
        KeyCase{"LeftCollapsesToStart", Qt::Key_Left, kNone, 2.5, 5.5, -0.5, 10.5, 2.5, 2.5, -0.5,
                10.5, 0},
        KeyCase{"ShiftRightGrows", Qt::Key_Right, kShift, 2.5, 5.5, -0.5, 10.5, 2.5, 6.5, -0.5,
                10.5, 0},
        KeyCase{"LeftMovesCursor", Qt::Key_Left, kNone, 3.5, 3.5, -0.5, 10.5, 2.5, 2.5, -0.5, 10.5,
                0},
        KeyCase{"HomeToVeryStart", Qt::Key_Home, kNone, 5.5, 5.5, -0.5, 10.5, -0.5, -0.5, -0.5,
                10.5, 0},
        KeyCase{"EndToExtentEnd", Qt::Key_End, kNone, 5.5, 5.5, -0.5, 10.5, 10.5, 10.5, -0.5, 10.5,
                0},
        KeyCase{"PageDown", Qt::Key_PageDown, kNone, 0.5, 0.5, -0.5, 10.5, 9.5, 9.5, -0.5, 10.5, 0},
        KeyCase{"PageUp", Qt::Key_PageUp, kShift, 9.5, 9.5, -0.5, 10.5, 9.5, 0.5, -0.5, 10.5, 0},
        KeyCase{"UpDoesNothing", Qt::Key_Up, kNone, 3.5, 3.5, -0.5, 10.5, 3.5, 3.5, -0.5, 10.5, -1},
        KeyCase{"LeftAtStartDoesNotRedraw", Qt::Key_Left, kNone, -0.5, -0.5, -0.5, 10.5, -0.5, -0.5,
                -0.5, 10.5, -1},
        KeyCase{"LeavingTheViewScrollsByTheMove", Qt::Key_Right, kNone, 4.5, 4.5, -0.5, 4.5, 5.5,
                5.5, 0.5, 5.5, 0},
        KeyCase{"CursorOutOfViewIsCentred", Qt::Key_Right, kNone, 0.5, 0.5, 4.5, 9.5, 1.5, 1.5,
                -0.5, 4.5, 0},
        KeyCase{"CtrlUpZoomsOnCursor", Qt::Key_Up, kCtrl, 5.5, 5.5, -0.5, 10.5, 5.5, 5.5, 2.75,
                8.25, 55},
        KeyCase{"CtrlUpZoomsOnSelection", Qt::Key_Up, kCtrl, 1.5, 3.5, -0.5, 10.5, 1.5, 3.5, -0.25,
                5.25, 55},
        KeyCase{"CtrlDownAtFullExtentDoesNotRedraw", Qt::Key_Down, kCtrl, 5.5, 5.5, -0.5, 10.5, 5.5,
                5.5, -0.5, 10.5, -1},
        KeyCase{"CtrlHomeStartsAtZero", Qt::Key_Home, kCtrl, 5.5, 5.5, 4.5, 8.5, 5.5, 5.5, 0.0, 4.0,
                55},
        KeyCase{"CtrlEnd", Qt::Key_End, kCtrl, 5.5, 5.5, -0.5, 3.5, 5.5, 5.5, 6.5, 10.5, 55},
        KeyCase{"CtrlPageDown", Qt::Key_PageDown, kCtrl, 5.5, 5.5, -0.5, 3.5, 5.5, 5.5, 3.5, 7.5,
                55},
        KeyCase{"CtrlPageUp", Qt::Key_PageUp, kCtrl, 5.5, 5.5, 4.5, 8.5, 5.5, 5.5, 0.5, 4.5, 55},
        KeyCase{"CtrlLeft", Qt::Key_Left, kCtrl, 5.5, 5.5, 4.5, 8.5, 5.5, 5.5, 4.1, 8.1, 55},
        KeyCase{"CtrlRight", Qt::Key_Right, kCtrl, 5.5, 5.5, 4.5, 8.5, 5.5, 5.5, 4.9, 8.9, 55},
        KeyCase{"CtrlAShowsAll", Qt::Key_A, kCtrl, 5.5, 5.5, 2.0, 4.0, 5.5, 5.5, -0.5, 10.5, 55},
        KeyCase{"CtrlOtherKeyDoesNothing", Qt::Key_Delete, kCtrl, 5.5, 5.5, 2.0, 4.0, 5.5, 5.5, 2.0,
                4.0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

class MSBView_Zoom : public PaneFixture {};

TEST_F(MSBView_Zoom, StopsAtTwoFramesAndRedrawsOnlyWhenTheRangeMoves) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    Select(5.5, 5.5);
    for (int i = 0; i < 6; ++i) wave->ChangeView(ZoomIn);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax() - Ts().GetVisibleMin(), 2.0);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMin(), 4.5);
    PaintPending();
    wave->setFocus();
    QTest::keyClick(wave, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_FALSE(wave->HasPendingUpdate());
    // Moving the cursor near the edge: the next zoom only re-centres on it.
    Ts().SetAnchor(4.75);
    Ts().SetCursor(4.75);
    EXPECT_TRUE(wave->ChangeView(ZoomIn));
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMin(), 3.75);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax(), 5.75);
}

TEST_F(MSBView_Zoom, PartlyHiddenSelectionZoomsOnTheMiddleOfTheView) {
    Make<TestWaveView>(450, 200);
    MSBView* wave = panes_.front().get();
    Ts().SetAnchor(0.5);
    Ts().SetCursor(6.5);
    Ts().SetVisibleRange(2.5, 10.5);
    EXPECT_TRUE(wave->ChangeView(ZoomIn));
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMin(), 4.5);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax(), 8.5);
}

struct WheelCase {
    const char* name;
    QPoint angle;   // per event
    QPoint pixels;  // per event (touchpads)
    int events;
    Qt::KeyboardModifiers mods;
    double expectMin, expectMax;
};
void PrintTo(const WheelCase& c, std::ostream* os) {
    *os << c.name;
}

class MSBView_Wheel : public PaneFixture, public ::testing::WithParamInterface<WheelCase> {};

TEST_P(MSBView_Wheel, ScrollsALineOrZoomsWithCtrl) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    Select(5.5, 5.5);
    View(4.5, 8.5);
    // The pointer over frame 6.5, half way across the plot.
    const QPointF at(Px(wave, 6.5), 100);
    for (int i = 0; i < GetParam().events; ++i) {
        QWheelEvent wheel(at, wave->mapToGlobal(at), GetParam().pixels, GetParam().angle,
                          Qt::NoButton, GetParam().mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(wave, &wheel);
    }
    EXPECT_NEAR(Ts().GetVisibleMin(), GetParam().expectMin, 1e-9);
    EXPECT_NEAR(Ts().GetVisibleMax(), GetParam().expectMax, 1e-9);
    EXPECT_TRUE(wave->HasPendingUpdate());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MSBView_Wheel,
    ::testing::Values(WheelCase{"DownScrollsRight", {0, -120}, {}, 1, kNone, 4.9, 8.9},
                      WheelCase{"UpScrollsLeft", {0, 120}, {}, 1, kNone, 4.1, 8.1},
                      // A touchpad's eighth-notches add up to one notch.
                      WheelCase{"EightSmallStepsAreOneNotch", {0, -15}, {}, 8, kNone, 4.9, 8.9},
                      WheelCase{"PixelsAddUpToNotches", {0, -120}, {0, -20}, 3, kNone, 4.9, 8.9},
                      WheelCase{"HorizontalSwipeScrolls", {-120, 0}, {}, 1, kNone, 4.9, 8.9},
                      // Ctrl zooms around the pointer's frame, which stays put.
                      WheelCase{"CtrlUpZoomsIn", {0, 120}, {}, 1, kCtrl, 5.5, 7.5},
                      WheelCase{"CtrlDownZoomsOut", {0, -120}, {}, 1, kCtrl, 2.5, 10.5},
                      WheelCase{"CtrlSmallStepsZoomAsMuch", {0, 30}, {}, 4, kCtrl, 5.5, 7.5}),
    [](const auto& info) { return std::string(info.param.name); });

struct ZoomSelectionCase {
    const char* name;
    double anchor, cursor;
    bool zooms;
    double expectMin, expectMax;
};
void PrintTo(const ZoomSelectionCase& c, std::ostream* os) {
    *os << c.name;
}

class MSBView_ZoomToSelection : public PaneFixture,
                                public ::testing::WithParamInterface<ZoomSelectionCase> {};

TEST_P(MSBView_ZoomToSelection, ShowsTheSelectedFramesWithAMargin) {
    LoadSound(std::vector<std::int16_t>(8000 * 20, 0), 8000);  // 15 fps: extent -0.5 .. 300.5
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    const ZoomSelectionCase& c = GetParam();
    Select(c.anchor, c.cursor);
    View(-0.5, 300.5);
    EXPECT_EQ(wave->ZoomToSelection(), c.zooms);
    EXPECT_NEAR(Ts().GetVisibleMin(), c.expectMin, 1e-9);
    EXPECT_NEAR(Ts().GetVisibleMax(), c.expectMax, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MSBView_ZoomToSelection,
    ::testing::Values(ZoomSelectionCase{"Middle", 99.5, 139.5, true, 97.5, 141.5},
                      ZoomSelectionCase{"OneFrameGetsHalfAFrameEachSide", 9.5, 10.5, true, 9.0,
                                        11.0},
                      ZoomSelectionCase{"AtTheStartStaysInside", -0.5, 19.5, true, -0.5, 21.5},
                      ZoomSelectionCase{"NoSelectionLeavesTheView", 9.5, 9.5, false, -0.5, 300.5}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- rulers and labels at any font -----------------------------------------------------------

struct LabelCase {
    const char* name;
    int points;
    int ratio;
};
void PrintTo(const LabelCase& c, std::ostream* os) {
    *os << c.name;
}

class MSBView_Labels : public ::testing::TestWithParam<LabelCase> {};

// Both rulers drawn in a plot inset by the margin of their font: ink below the plot (the labels)
// but none on the picture's outer edge, where a clipped label would be cut.
TEST_P(MSBView_Labels, FitInTheMarginAtAnyFontAndDensity) {
    const LabelCase& c = GetParam();
    QFont font;
    font.setPointSize(c.points);
    for (const bool seconds : {false, true}) {
        QImage image(300 * c.ratio, 120 * c.ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(c.ratio);
        image.fill(Qt::white);
        QImageDrawContext dc(image, font);
        const int margin = AxisMargin(dc.GetTextExtent(kWidestAxisLabel));
        const Rect plot{margin, margin, 300 - margin, 120 - margin};
        ASSERT_GT(plot.Height(), 0);
        if (seconds) {
            DrawSecondsAxis(dc, plot, 100.0, 900.0, 15.0);  // the wide labels: 6.70 .. 60.03
        } else {
            DrawFramesAxis(dc, plot, 9000.0, 9999.0);  // four-digit labels
        }
        dc.Painter().end();
        const int w = image.width();
        const int h = image.height();
        int inkBelow = 0;
        for (int y = (120 - margin) * c.ratio; y < h; ++y) {
            for (int x = 0; x < w; ++x) inkBelow += image.pixel(x, y) != kWhite;
        }
        EXPECT_GT(inkBelow, 0) << "seconds " << seconds;
        for (int x = 0; x < w; ++x) EXPECT_EQ(image.pixel(x, h - 1), kWhite) << "bottom " << x;
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(image.pixel(0, y), kWhite) << "left " << y;
            EXPECT_EQ(image.pixel(w - 1, y), kWhite) << "right " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MSBView_Labels,
                         ::testing::Values(LabelCase{"Small9", 9, 1}, LabelCase{"Gnome11", 11, 1},
                                           LabelCase{"Large14", 14, 1}, LabelCase{"Dense11", 11, 2},
                                           LabelCase{"Dense14", 14, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PaneFixture, PaneMarginGrowsWithItsFont) {
    TestEnvView* env = Make<TestEnvView>(450, 200);
    EXPECT_EQ(env->Margin(), MSBView::kMargin);
    QFont big = env->font();
    big.setPointSize(20);
    env->setFont(big);
    env->PaintPane();
    EXPECT_GT(env->Margin(), MSBView::kMargin);
    EXPECT_EQ(env->Margin(), env->MarginForFont());
    EXPECT_EQ(env->GetMapping().GetPixelRect().left, env->Margin());
}

// ---- scroll bar -----------------------------------------------------------------------------

class MSBView_ScrollBar : public PaneFixture {
protected:
    void SetUp() override {
        PaneFixture::SetUp();
        wave_ = Make<TestWaveView>(450, 200);
        env_ = Make<TestEnvView>(450, 200);
        bar_ = env_->HorizontalScrollBar();
        doc_->SetPlaybackPalette(&palette_);
    }
    void TearDown() override {
        doc_->SetPlaybackPalette(nullptr);
        PaneFixture::TearDown();
    }
    TestWaveView* wave_ = nullptr;
    TestEnvView* env_ = nullptr;
    QScrollBar* bar_ = nullptr;
    HintRecorder palette_;
};

TEST_F(MSBView_ScrollBar, OnlyTheEnvelopePaneHasOne) {
    EXPECT_EQ(wave_->HorizontalScrollBar(), nullptr);
    ASSERT_NE(bar_, nullptr);
    EXPECT_TRUE(bar_->isVisible());
}

TEST_F(MSBView_ScrollBar, PageAndPositionFollowTheView) {
    EXPECT_EQ(bar_->value(), 0);
    EXPECT_EQ(bar_->pageStep(), 10000);
    EXPECT_FALSE(bar_->isEnabled());
    View(5.0, 10.5);  // the right half of -0.5 .. 10.5
    EXPECT_EQ(bar_->value(), 5000);
    EXPECT_EQ(bar_->pageStep(), 5000);
    EXPECT_EQ(bar_->maximum(), 5000);
    EXPECT_TRUE(bar_->isEnabled());
}

struct ScrollActionCase {
    const char* name;
    QAbstractSlider::SliderAction action;
    double vmin, vmax;
    double expectMin, expectMax;
};
void PrintTo(const ScrollActionCase& c, std::ostream* os) {
    *os << c.name;
}

class MSBView_ScrollActions : public MSBView_ScrollBar,
                              public ::testing::WithParamInterface<ScrollActionCase> {
protected:
    void SetUp() override { MSBView_ScrollBar::SetUp(); }
    void TearDown() override { MSBView_ScrollBar::TearDown(); }
};

TEST_P(MSBView_ScrollActions, MapToViewChanges) {
    const ScrollActionCase& c = GetParam();
    Select(5.5, 5.5);
    View(c.vmin, c.vmax);
    palette_.hints.clear();
    bar_->triggerAction(c.action);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMin(), c.expectMin);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax(), c.expectMax);
    EXPECT_EQ(palette_.hints, std::vector<int>{55});
    PaintPending();
    EXPECT_EQ(bar_->value(), static_cast<int>((c.expectMin + 0.5) / 11.0 * 10000));
}

INSTANTIATE_TEST_SUITE_P(
    Table, MSBView_ScrollActions,
    ::testing::Values(
        ScrollActionCase{"LineRight", QAbstractSlider::SliderSingleStepAdd, 4.5, 8.5, 4.9, 8.9},
        ScrollActionCase{"LineLeft", QAbstractSlider::SliderSingleStepSub, 4.5, 8.5, 4.1, 8.1},
        ScrollActionCase{"PageRight", QAbstractSlider::SliderPageStepAdd, -0.5, 3.5, 3.5, 7.5},
        ScrollActionCase{"PageLeft", QAbstractSlider::SliderPageStepSub, 4.5, 8.5, 0.5, 4.5},
        ScrollActionCase{"LeftEnd", QAbstractSlider::SliderToMinimum, 4.5, 8.5, 0.0, 4.0},
        ScrollActionCase{"RightEnd", QAbstractSlider::SliderToMaximum, -0.5, 3.5, 6.5, 10.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MSBView_ScrollBar, ThumbDragScrollsLiveAndCanNarrowAtTheRightEnd) {
    View(-0.5, 2.5);
    palette_.hints.clear();
    bar_->setSliderDown(true);
    bar_->setSliderPosition(2000);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMin(), -0.5 + 0.2 * 11.0);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax(), -0.5 + 0.2 * 11.0 + 3.0);
    EXPECT_EQ(palette_.hints, std::vector<int>{55});
    PaintPending();
    bar_->setSliderPosition(bar_->maximum());
    bar_->setSliderDown(false);
    EXPECT_DOUBLE_EQ(Ts().GetVisibleMax(), 10.5);
    EXPECT_LT(Ts().GetVisibleMax() - Ts().GetVisibleMin(), 3.0);
    EXPECT_GT(Ts().GetVisibleMax() - Ts().GetVisibleMin(), 2.99);
}

// ---- painting -------------------------------------------------------------------------------

class MSBView_Painting : public PaneFixture {};

TEST_F(MSBView_Painting, SelectionBandAndCursorLine) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    Select(3.5, 3.5);
    const QImage& img = wave->BackBuffer();
    const int x = Px(wave, 3.5);
    EXPECT_EQ(img.pixel(x, 100), kRed);
    EXPECT_EQ(img.pixel(x, 25), kRed);
    EXPECT_EQ(img.pixel(x + 1, 60), kWhite);

    Select(1.5, 4.5);
    const QImage& sel = wave->BackBuffer();
    EXPECT_EQ(sel.pixel(Px(wave, 1.5), 60), kCyan);
    EXPECT_EQ(sel.pixel(Px(wave, 4.5), 60), kCyan);  // the band's right edge is included
    EXPECT_EQ(sel.pixel(Px(wave, 4.5) + 1, 60), kWhite);
    EXPECT_EQ(sel.pixel(Px(wave, 1.5) - 1, 60), kWhite);
    EXPECT_EQ(sel.pixel(Px(wave, 3.0), 20), kWhite);  // margins stay white
    EXPECT_NE(sel.pixel(Px(wave, 3.5), 100), kRed);   // no cursor line with a selection
    // The plot frame.
    EXPECT_EQ(sel.pixel(25, 25), kBlack);
    EXPECT_EQ(sel.pixel(200, 175), kBlack);
    EXPECT_EQ(sel.pixel(425, 100), kBlack);
}

TEST_F(MSBView_Painting, BaseDrawingShowsTheStatusLineAndRuler) {
    TimelineState& ts = TestBaseView(nullptr).GetTimelineState();
    ts = TimelineState();
    ts.SetAnchor(2.5);
    ts.SetCursor(7.25);
    TestBaseView pane(nullptr);
    pane.resize(450, 200 + pane.HorizontalScrollBar()->sizeHint().height());
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    pane.PaintPane();
    RecordingDrawContext dc;
    pane.Draw(dc);
    const auto texts = dc.Texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].text, "Select Active   Anchor: 2.500   Cursor: 7.250");
    EXPECT_EQ(texts[0].at, (Point{35, 35}));
    EXPECT_EQ(texts[1].text, "0");
    EXPECT_EQ(pane.HorizontalScrollBar()->pageStep(), 10000);
    ts = TimelineState();
}

TEST_F(MSBView_Painting, TooSmallPaneIsWhiteIgnoresClicksButKeysStillWork) {
    TestWaveView* wave = Make<TestWaveView>(450, 60);
    TestEnvView* env = Make<TestEnvView>(450, 200);
    EXPECT_TRUE(wave->GetMapping().IsInvalid());
    const QImage& img = wave->BackBuffer();
    for (int y = 0; y < img.height(); y += 5) {
        for (int x = 0; x < img.width(); x += 5) ASSERT_EQ(img.pixel(x, y), kWhite);
    }
    Click(wave, QPoint(200, 30));
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), -0.5);
    wave->setFocus();
    QTest::keyClick(wave, Qt::Key_Right);
    QTest::keyClick(wave, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(Ts().GetCursor(), 1.5);
    PaintPending();
    EXPECT_EQ(env->BackBuffer().pixel(Px(env, 1.5), 100), kRed);
}

TEST_F(MSBView_Painting, ResizedToNothingKeepsAOnePixelBackBuffer) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    wave->resize(0, 0);
    wave->PaintPane();
    EXPECT_EQ(wave->BackBuffer().width(), 1);
    EXPECT_EQ(wave->BackBuffer().height(), 1);
    wave->resize(300, 120);
    wave->PaintPane();
    EXPECT_EQ(wave->BackBuffer().width(), 300);
    EXPECT_FALSE(wave->GetMapping().IsInvalid());
}

TEST_F(MSBView_Painting, PaintPaneClearsThePendingUpdate) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    EXPECT_FALSE(wave->HasPendingUpdate());
    doc_->UpdateAllViews(nullptr, kHintAll);
    EXPECT_TRUE(wave->HasPendingUpdate());
    wave->PaintPane();
    EXPECT_FALSE(wave->HasPendingUpdate());
}

// ---- playback marker ------------------------------------------------------------------------

class MSBView_Marker : public PaneFixture {
protected:
    QImage Screen(QWidget* w) { return w->grab().toImage(); }
};

TEST_F(MSBView_Marker, DrawnOnTheScreenOnlyAndWipedWhenHidden) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    const int x = Px(wave, 5.0);
    wave->SetPlaybackMarker(5.0, true);
    EXPECT_FALSE(wave->HasPendingUpdate());  // no repaint of the pane for a marker move
    const QImage shown = Screen(wave);
    EXPECT_EQ(shown.pixel(x, 60), kBlack);
    EXPECT_EQ(shown.pixel(x, 174), kBlack);
    EXPECT_TRUE(wave->IsMarkerDrawn());
    EXPECT_EQ(wave->BackBuffer().pixel(x, 60), kWhite);

    wave->SetPlaybackMarker(6.0, true);
    const QImage moved = Screen(wave);
    EXPECT_EQ(moved.pixel(x, 60), kWhite);
    EXPECT_EQ(moved.pixel(Px(wave, 6.0), 60), kBlack);

    wave->SetPlaybackMarker(0.0, false);
    const QImage hidden = Screen(wave);
    EXPECT_EQ(hidden.pixel(Px(wave, 6.0), 60), kWhite);
    EXPECT_FALSE(wave->IsMarkerDrawn());
}

TEST_F(MSBView_Marker, OutsideTheViewIsNotDrawnAndReappearsAfterScrolling) {
    TestWaveView* wave = Make<TestWaveView>(450, 200);
    View(-0.5, 4.5);
    wave->SetPlaybackMarker(8.0, true);
    EXPECT_TRUE(wave->IsMarkerShown());
    const QImage off = Screen(wave);
    EXPECT_FALSE(wave->IsMarkerDrawn());
    View(5.5, 10.5);
    const QImage on = Screen(wave);
    EXPECT_EQ(on.pixel(Px(wave, 8.0), 60), kBlack);
    EXPECT_EQ(wave->BackBuffer().pixel(Px(wave, 8.0), 60), kWhite);
    (void)off;
}

}  // namespace
}  // namespace vokra::test
