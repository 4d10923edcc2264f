#include "panes/plot_mapping.h"

#include <gtest/gtest.h>

#include <ostream>

namespace vokra {
namespace {

TEST(PlotMapping_WorkedExample, PrecomputesAllFourDirections) {
    PlotMapping m;
    m.SetPixelRect(25, 25, 425, 175);
    m.SetWorldRect(-0.5, 9.5, 2.0, 0.0);
    EXPECT_DOUBLE_EQ(m.xToWorldScale, 0.025);
    EXPECT_DOUBLE_EQ(m.xToWorldOffset, -1.125);
    EXPECT_DOUBLE_EQ(m.yToWorldScale, -2.0 / 150.0);
    EXPECT_DOUBLE_EQ(m.yToWorldOffset, 2.0 + 25 * 2.0 / 150.0);
    EXPECT_DOUBLE_EQ(m.xToPixelScale, 40.0);
    EXPECT_DOUBLE_EQ(m.xToPixelOffset, 45.0);
    EXPECT_DOUBLE_EQ(m.yToPixelScale, -75.0);
    EXPECT_DOUBLE_EQ(m.yToPixelOffset, 175.0);
    EXPECT_EQ(m.WorldToPixelX(3.0), 165);
    EXPECT_DOUBLE_EQ(m.PixelToWorldX(165), 3.0);
    EXPECT_EQ(m.WorldToPixelY(1.0), 100);
    EXPECT_DOUBLE_EQ(m.PixelToWorldY(100), 1.0);
    EXPECT_EQ(m.WorldToPixelPoint(3.0, 1.0), (Point{165, 100}));
    // Values grow upwards: the top row holds the largest value.
    EXPECT_EQ(m.WorldToPixelY(2.0), 25);
    EXPECT_EQ(m.pixelTop, 25);
    EXPECT_EQ(m.pixelBottom, 175);
    EXPECT_DOUBLE_EQ(m.worldMinY, 0.0);
    EXPECT_DOUBLE_EQ(m.worldMaxY, 2.0);
}

TEST(PlotMapping_Construction, StartsInvalidWithUnitRectangles) {
    const PlotMapping m;
    EXPECT_TRUE(m.IsInvalid());
    EXPECT_EQ(m.GetPixelRect(), (Rect{0, 0, 1, 1}));
    EXPECT_DOUBLE_EQ(m.xToWorldScale, 1.0);
    EXPECT_DOUBLE_EQ(m.yToPixelScale, 1.0);
    EXPECT_DOUBLE_EQ(m.xToPixelOffset, 0.0);
    EXPECT_DOUBLE_EQ(m.yToWorldOffset, 0.0);
}

TEST(PlotMapping_Setters, WidenDegenerateRanges) {
    PlotMapping m;
    m.SetPixelRect(10, 10, 10, 10);
    EXPECT_EQ(m.pixelX1, 11);
    EXPECT_EQ(m.pixelY1, 11);
    m.SetWorldRect(5.0, 5.0005, 0.0, 1.0);
    EXPECT_DOUBLE_EQ(m.worldX1, 6.0);
    EXPECT_DOUBLE_EQ(m.PixelToWorldX(11), 6.0);
    m.SetWorldRect(5.0, 5.5, 0.0, 1.0);
    EXPECT_DOUBLE_EQ(m.worldX1, 5.5);
    m.SetWorldRect(0.0, 1.0, 3.0, 2.9995);
    EXPECT_DOUBLE_EQ(m.worldY1, 4.0);
}

TEST(PlotMapping_Setters, GetPixelRectKeepsStoredCornersOfAReversedRect) {
    PlotMapping m;
    m.SetPixelRect(100, 80, 20, 10);
    EXPECT_EQ(m.GetPixelRect(), (Rect{100, 80, 20, 10}));
    EXPECT_EQ(m.pixelLeft, 20);
    EXPECT_EQ(m.pixelRight, 100);
    EXPECT_EQ(m.pixelTop, 10);
    EXPECT_EQ(m.pixelBottom, 80);
}

TEST(PlotMapping_Setters, ReversedWorldAxisOrdersCornersAndMapsBackwards) {
    PlotMapping m;
    m.SetPixelRect(0, 0, 100, 100);
    m.SetWorldRect(10.0, 0.0, 0.0, 1.0);
    EXPECT_DOUBLE_EQ(m.worldMinX, 0.0);
    EXPECT_DOUBLE_EQ(m.worldMaxX, 10.0);
    EXPECT_DOUBLE_EQ(m.PixelToWorldX(m.pixelX0), 10.0);
    EXPECT_EQ(m.WorldToPixelX(0.0), 100);
}

TEST(PlotMapping_Contains, BothEndsInsideAndNothingBeyond) {
    PlotMapping m;
    m.SetPixelRect(25, 25, 425, 175);
    m.SetWorldRect(-0.5, 9.5, 2.0, 0.0);
    EXPECT_TRUE(m.ContainsPixelX(425));
    EXPECT_TRUE(m.ContainsPixelX(25));
    EXPECT_FALSE(m.ContainsPixelX(426));
    EXPECT_FALSE(m.ContainsPixelX(24));
    EXPECT_TRUE(m.ContainsPixel(425, 175));
    EXPECT_FALSE(m.ContainsPixel(425, 176));
    EXPECT_TRUE(m.ContainsWorldX(9.5));
    EXPECT_TRUE(m.ContainsWorldX(-0.5));
    EXPECT_FALSE(m.ContainsWorldX(9.5000001));
    EXPECT_TRUE(m.ContainsWorld(-0.5, 2.0));
    EXPECT_FALSE(m.ContainsWorld(0.0, -0.0001));
}

TEST(PlotMapping_Conversions, ExtrapolateOutsideTheRectangle) {
    PlotMapping m;
    m.SetPixelRect(25, 25, 425, 175);
    m.SetWorldRect(-0.5, 9.5, 2.0, 0.0);
    EXPECT_DOUBLE_EQ(m.PixelToWorldX(5), -1.0);  // in the left margin: below the visible range
    EXPECT_EQ(m.WorldToPixelX(20.0), 845);       // no clamping either way
}

struct RoundCase {
    double value;
    int expected;
};
void PrintTo(const RoundCase& c, std::ostream* os) {
    *os << c.value;
}

class PlotMapping_RoundToInt : public ::testing::TestWithParam<RoundCase> {};

TEST_P(PlotMapping_RoundToInt, RoundsHalfAwayFromZero) {
    EXPECT_EQ(RoundToInt(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PlotMapping_RoundToInt,
                         ::testing::Values(RoundCase{2.5, 3}, RoundCase{-2.5, -3},
                                           RoundCase{-0.4, 0}, RoundCase{0.49, 0},
                                           RoundCase{0.5, 1}, RoundCase{-0.5, -1},
                                           RoundCase{1.4999, 1}, RoundCase{-1.5001, -2},
                                           RoundCase{1e12, 2147483647},
                                           RoundCase{-1e12, -2147483647 - 1}));

}  // namespace
}  // namespace vokra
