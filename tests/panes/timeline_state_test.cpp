#include "panes/timeline_state.h"

#include <gtest/gtest.h>

#include <ostream>

namespace vokra {
namespace {

struct RangeCase {
    const char* name;
    double a, b;
    double expectMin, expectMax;
};
void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class TimelineState_SetVisibleRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(TimelineState_SetVisibleRange, KeepsTheRangeInsideTheExtent) {
    TimelineState ts;
    ts.SetExtent(-0.5, 10.5);
    ts.SetVisibleRange(1.0, 3.0);
    ts.SetVisibleRange(GetParam().a, GetParam().b);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), GetParam().expectMin);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), GetParam().expectMax);
}

INSTANTIATE_TEST_SUITE_P(Table, TimelineState_SetVisibleRange,
                         ::testing::Values(RangeCase{"StickingOutLeft", -5, 5, -0.5, 9.5},
                                           RangeCase{"StickingOutRight", 8, 14, 4.5, 10.5},
                                           RangeCase{"WiderThanExtent", -2, 20, -0.5, 10.5},
                                           RangeCase{"TooNarrow", 3, 3.0005, 1.0, 3.0},
                                           RangeCase{"Reversed", 5, 4, 1.0, 3.0},
                                           RangeCase{"Inside", 2.5, 7.5, 2.5, 7.5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimelineState_SetExtent, PullsRangeAndPositionsInsideWithoutNotifying) {
    TimelineState ts;
    ts.SetExtent(-0.5, 10.5);
    ts.SetVisibleRange(3.5, 9.5);
    ts.SetCursor(8.5);
    ts.SetAnchor(-0.5);
    int raised = 0;
    SetPositionChangeHook([&] { ++raised; });
    ts.SetExtent(-0.5, 5.5);
    SetPositionChangeHook(nullptr);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), -0.5);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 5.5);
    EXPECT_DOUBLE_EQ(ts.GetCursor(), 5.5);
    EXPECT_DOUBLE_EQ(ts.GetAnchor(), -0.5);
    EXPECT_EQ(raised, 0);
}

TEST(TimelineState_SetExtent, GrowingKeepsVisibleRange) {
    TimelineState ts;
    ts.SetExtent(-0.5, 10.5);
    ts.SetVisibleRange(2.0, 4.0);
    ts.SetExtent(-0.5, 100.5);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), 2.0);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 4.0);
}

struct SelectionCase {
    const char* name;
    double anchor, cursor;
    bool has;
    double probe;
    bool inSelection;
};
void PrintTo(const SelectionCase& c, std::ostream* os) {
    *os << c.name;
}

class TimelineState_Selection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(TimelineState_Selection, ExistsBeyondHalfAHundredthAndIncludesBothEnds) {
    TimelineState ts;
    ts.SetAnchor(GetParam().anchor);
    ts.SetCursor(GetParam().cursor);
    EXPECT_EQ(ts.HasSelection(), GetParam().has);
    EXPECT_EQ(ts.IsInSelection(GetParam().probe), GetParam().inSelection);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TimelineState_Selection,
    ::testing::Values(SelectionCase{"WithinTolerance", 2.5, 2.504, false, 2.5, false},
                      SelectionCase{"JustBeyond", 2.5, 2.51, true, 2.51, true},
                      SelectionCase{"StartIsInside", 5.5, 2.5, true, 2.5, true},
                      SelectionCase{"EndIsInside", 2.5, 5.5, true, 5.5, true},
                      SelectionCase{"Outside", 2.5, 5.5, true, 5.6, false},
                      SelectionCase{"NoSelectionAtCursor", 4.0, 4.0, false, 4.0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimelineState_Selection, StartAndEndAreOrdered) {
    TimelineState ts;
    ts.SetAnchor(7.5);
    ts.SetCursor(2.5);
    EXPECT_DOUBLE_EQ(ts.SelectionStart(), 2.5);
    EXPECT_DOUBLE_EQ(ts.SelectionEnd(), 7.5);
}

struct ScrollCase {
    const char* name;
    double extentMax;
    double cursor;
    double expectMin, expectMax;
};
void PrintTo(const ScrollCase& c, std::ostream* os) {
    *os << c.name;
}

class TimelineState_ScrollToCursor : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(TimelineState_ScrollToCursor, LeavesTheCursorAQuarterFrameInside) {
    TimelineState ts;
    ts.SetExtent(-0.5, GetParam().extentMax);
    ts.SetVisibleRange(0.0, 10.0);
    ts.SetCursor(GetParam().cursor);
    ts.ScrollToCursor();
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), GetParam().expectMin);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), GetParam().expectMax);
}

INSTANTIATE_TEST_SUITE_P(Table, TimelineState_ScrollToCursor,
                         ::testing::Values(ScrollCase{"RightOfView", 100.5, 12.5, 2.75, 12.75},
                                           ScrollCase{"RightOfViewNearEnd", 12.5, 12.5, 2.5, 12.5},
                                           ScrollCase{"LeftOfViewCorrectedToExtent", 100.5, -0.3,
                                                      -0.5, 9.5},
                                           ScrollCase{"OnTheRightEdge", 100.5, 10.0, 0.0, 10.0},
                                           ScrollCase{"OnTheLeftEdge", 100.5, 0.0, 0.0, 10.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimelineState_ScrollToCursor, LeftOfViewBeforeCorrection) {
    TimelineState ts;
    ts.SetExtent(-5.0, 100.5);
    ts.SetVisibleRange(0.0, 10.0);
    ts.SetCursor(-0.3);
    ts.ScrollToCursor();
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), -0.55);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 9.45);
}

TEST(TimelineState_Notification, EveryPlacementRaisesItEvenUnchanged) {
    TimelineState ts;
    int raised = 0;
    SetPositionChangeHook([&] { ++raised; });
    ts.SetCursor(3.5);
    ts.SetCursor(3.5);
    ts.SetAnchor(3.5);
    ts.SetVisibleRange(1.0, 5.0);
    ts.SetExtent(0.0, 20.0);
    ts.ScrollToCursor();
    SetPositionChangeHook(nullptr);
    EXPECT_EQ(raised, 3);
    RaisePositionChange();  // no hook: nothing happens
}

TEST(TimelineState_Construction, DefaultsToTenFramesAtZero) {
    const TimelineState ts;
    EXPECT_DOUBLE_EQ(ts.GetExtentMin(), 0.0);
    EXPECT_DOUBLE_EQ(ts.GetExtentMax(), 10.0);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), 0.0);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 10.0);
    EXPECT_DOUBLE_EQ(ts.GetAnchor(), 0.0);
    EXPECT_DOUBLE_EQ(ts.GetCursor(), 0.0);
    EXPECT_FALSE(ts.HasSelection());
}

struct PageCase {
    const char* name;
    double x;
    bool pages;
    double expectMin, expectMax;
};
void PrintTo(const PageCase& c, std::ostream* os) {
    *os << c.name;
}

class TimelineState_PageToShow : public ::testing::TestWithParam<PageCase> {};

TEST_P(TimelineState_PageToShow, BringsTheMarkerBackNearTheLeftEdge) {
    TimelineState ts;
    ts.SetExtent(-0.5, 100.5);
    ts.SetVisibleRange(9.5, 29.5);
    EXPECT_EQ(ts.PageToShow(GetParam().x), GetParam().pages);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), GetParam().expectMin);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), GetParam().expectMax);
}

INSTANTIATE_TEST_SUITE_P(Table, TimelineState_PageToShow,
                         ::testing::Values(PageCase{"InView", 20.0, false, 9.5, 29.5},
                                           PageCase{"OnTheRightEdge", 29.5, false, 9.5, 29.5},
                                           PageCase{"PastTheRightEdge", 30.0, true, 29.0, 49.0},
                                           PageCase{"BeforeTheLeftEdge", 3.0, true, 2.0, 22.0},
                                           PageCase{"NearTheEnd", 95.0, true, 80.5, 100.5},
                                           PageCase{"BeyondTheEnd", 200.0, true, 80.5, 100.5}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vokra
