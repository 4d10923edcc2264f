#include "panes/axis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "panes/plot_mapping.h"
#include "platform/recording_draw_context.h"

namespace vokra {
namespace {

// Ticks hang from the base line; split them by length into major and minor ones.
struct Ticks {
    std::vector<int> major, minor;  // pixel x
};

Ticks TicksOf(const RecordingDrawContext& dc, int base, int majorLen, int minorLen) {
    Ticks t;
    for (const DrawnLine& l : dc.Lines()) {
        EXPECT_EQ(l.from.x, l.to.x) << "ticks are vertical";
        EXPECT_EQ(l.from.y, base);
        if (l.to.y - l.from.y == majorLen) {
            t.major.push_back(l.from.x);
        } else {
            EXPECT_EQ(l.to.y - l.from.y, minorLen);
            t.minor.push_back(l.from.x);
        }
    }
    return t;
}

std::vector<std::string> LabelsOf(const RecordingDrawContext& dc) {
    std::vector<std::string> out;
    for (const DrawnText& t : dc.Texts()) out.push_back(t.text);
    return out;
}

// Pixel x of world x as the rulers map it.
int PixelOf(const Rect& plot, double a, double b, double x) {
    PlotMapping m;
    m.SetPixelRect(plot.left, plot.top, plot.right, plot.bottom);
    m.SetWorldRect(a, b, 1.0, 0.0);
    return m.WorldToPixelX(x);
}

TEST(Axis_Frames, WorkedExampleLabelsTicksAndPositions) {
    RecordingDrawContext dc;
    dc.SetFixedTextExtent(Size{32, 16});
    const Rect plot{25, 25, 625, 175};
    DrawFramesAxis(dc, plot, -0.5, 99.5);

    EXPECT_EQ(dc.Calls().front().op, DrawCall::Op::GetTextExtent);
    EXPECT_EQ(dc.Calls().front().text, "9999");
    EXPECT_EQ(LabelsOf(dc), (std::vector<std::string>{"0", "10", "20", "30", "40", "50", "60", "70",
                                                      "80", "90"}));
    const Ticks t = TicksOf(dc, 175, 10, 5);
    ASSERT_EQ(t.major.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(t.major[i], PixelOf(plot, -0.5, 99.5, i * 10.0));
    std::vector<int> expectMinor;
    for (int f = 2; f <= 98; f += 2) {
        if (f % 10 != 0) expectMinor.push_back(PixelOf(plot, -0.5, 99.5, f));
    }
    std::vector<int> minor = t.minor;
    std::sort(minor.begin(), minor.end());
    EXPECT_EQ(minor, expectMinor);
    // Labels hang from the end of their major tick, centred on it.
    for (const DrawnText& text : dc.Texts()) {
        EXPECT_EQ(text.at.y, 185);
        EXPECT_EQ(text.align, TA_CENTER | TA_TOP);
    }
    EXPECT_EQ(dc.Texts()[1].at.x, PixelOf(plot, -0.5, 99.5, 10.0));
}

TEST(Axis_Frames, NegativeStartGetsLeadingMinorTicks) {
    RecordingDrawContext dc;
    dc.SetFixedTextExtent(Size{32, 16});
    const Rect plot{0, 0, 600, 100};
    DrawFramesAxis(dc, plot, -7.3, 32.7);  // 12 labels for 40 frames: step 5
    const std::vector<std::string> labels = LabelsOf(dc);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.front(), "-5");
    EXPECT_EQ(labels.back(), "30");
    const Ticks t = TicksOf(dc, 100, 10, 5);
    // The first minor ticks drawn are the leading ones, right to left.
    ASSERT_GE(t.minor.size(), 2u);
    EXPECT_EQ(t.minor[0], PixelOf(plot, -7.3, 32.7, -6.0));
    EXPECT_EQ(t.minor[1], PixelOf(plot, -7.3, 32.7, -7.0));
}

TEST(Axis_Frames, RestoresTheTextAlignment) {
    RecordingDrawContext dc;
    dc.SetTextAlign(TA_RIGHT | TA_BOTTOM);
    DrawFramesAxis(dc, Rect{25, 25, 625, 175}, -0.5, 99.5);
    EXPECT_EQ(dc.GetTextAlign(), TA_RIGHT | TA_BOTTOM);
    DrawSecondsAxis(dc, Rect{25, 25, 625, 175}, -0.5, 99.5, 25.0);
    EXPECT_EQ(dc.GetTextAlign(), TA_RIGHT | TA_BOTTOM);
}

struct AxisCase {
    const char* name;
    bool seconds;
    double fps;
    int plotWidth;
    int labelWidth;
    double viewStart, viewEnd;
    std::vector<std::string> labels;
    int minorTicks;
};
void PrintTo(const AxisCase& c, std::ostream* os) {
    *os << c.name;
}

class Axis_Steps : public ::testing::TestWithParam<AxisCase> {};

TEST_P(Axis_Steps, PicksTheStepAndLabelsOfTheTable) {
    const AxisCase& c = GetParam();
    RecordingDrawContext dc;
    dc.SetFixedTextExtent(Size{c.labelWidth, 16});
    const Rect plot{25, 25, 25 + c.plotWidth, 175};
    if (c.seconds) {
        DrawSecondsAxis(dc, plot, c.viewStart, c.viewEnd, c.fps);
    } else {
        DrawFramesAxis(dc, plot, c.viewStart, c.viewEnd);
    }
    EXPECT_EQ(LabelsOf(dc), c.labels);
    const Ticks t = TicksOf(dc, 175, 10, 5);
    EXPECT_EQ(t.major.size(), c.labels.size());
    EXPECT_EQ(static_cast<int>(t.minor.size()), c.minorTicks);
}

std::vector<std::string> Range(int from, int to, int step) {
    std::vector<std::string> v;
    for (int i = from; i <= to; i += step) v.push_back(std::to_string(i));
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Axis_Steps,
    ::testing::Values(
        // Zoomed in so far that the rough step is at most 1: every frame, no minor ticks.
        AxisCase{"FramesStepOne", false, 0, 600, 32, -0.5, 10.5, Range(0, 10, 1), 0},
        // A rough step exactly on a table row selects that row (r = 2: step 2).
        AxisCase{"FramesExactRow", false, 0, 600, 32, 0.0, 24.0, Range(0, 24, 2), 12},
        // Narrower than one and a half labels: still one label step (n = 1, r = 10).
        AxisCase{"FramesNarrowPlot", false, 0, 40, 32, -0.5, 9.5, {"0"}, 4},
        // A very wide plot is held at 16 labels (else the step would be 5).
        AxisCase{"FramesWidePlotCapped", false, 0, 3000, 32, -0.5, 159.5, Range(0, 150, 10), 64},
        AxisCase{"FramesStepTwenty", false, 0, 600, 32, -0.5, 199.5, Range(0, 180, 20), 30},
        // Seconds at 30 fps over 10 s: step 2 with one minor tick between labels.
        AxisCase{"SecondsWorkedExample",
                 true,
                 30,
                 600,
                 48,
                 -0.5,
                 299.5,
                 {"0.00", "2.00", "4.00", "6.00", "8.00", "10.00"},
                 5},
        // 0.12 s wide at 25 fps: step 0.02; summing 0.02 six times passes 0.12 by a hair.
        AxisCase{"SecondsZoomedIn",
                 true,
                 25,
                 600,
                 48,
                 -0.5,
                 2.5,
                 {"0.00", "0.02", "0.04", "0.06", "0.08", "0.10"},
                 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Axis_Steps, BeyondTheTableStaysWithinSixteenLabels) {
    RecordingDrawContext dc;
    dc.SetFixedTextExtent(Size{32, 16});
    DrawFramesAxis(dc, Rect{25, 25, 1945, 175}, -0.5, 2147483647.5);
    const std::size_t labels = dc.Texts().size();
    EXPECT_GE(labels, 1u);
    EXPECT_LE(labels, 17u);
}

// Labels as wide as their text (8 pixels a character) never overlap, however far out the view is.
struct FarCase {
    const char* name;
    double a, b;
    int plotWidth;
};
void PrintTo(const FarCase& c, std::ostream* os) {
    *os << c.name;
}
class Axis_FarLabels : public ::testing::TestWithParam<FarCase> {};

TEST_P(Axis_FarLabels, LeaveRoomBetweenNeighbours) {
    const FarCase& c = GetParam();
    RecordingDrawContext dc;
    dc.SetFixedTextExtent(Size{0, 16});
    dc.SetCharWidth(8);
    DrawFramesAxis(dc, Rect{25, 25, 25 + c.plotWidth, 175}, c.a, c.b);
    const auto& texts = dc.Texts();
    ASSERT_GE(texts.size(), 1u);
    for (std::size_t i = 1; i < texts.size(); ++i) {
        const int halves = 8 * static_cast<int>(texts[i - 1].text.size() + texts[i].text.size());
        EXPECT_GT(2 * (texts[i].at.x - texts[i - 1].at.x), halves)
            << texts[i - 1].text << " and " << texts[i].text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Axis_FarLabels,
    ::testing::Values(FarCase{"NearTheLastFrame", 2147483000.0, 2147483647.5, 600},
                      FarCase{"LastFramesZoomed", 2147483600.0, 2147483647.5, 1920},
                      FarCase{"MillionsWide", 2000000000.0, 2147483647.5, 800},
                      FarCase{"Ordinary", -0.5, 99.5, 600}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Axis_Seconds, MeasuresItsOwnSampleAndLinesUpWithFrames) {
    RecordingDrawContext dc;
    dc.SetFixedTextExtent(Size{48, 16});
    const Rect plot{25, 25, 625, 175};
    DrawSecondsAxis(dc, plot, -0.5, 299.5, 30.0);
    EXPECT_EQ(dc.Calls().front().text, "999.99");
    // 2.00 s is the left edge of frame 60.
    ASSERT_GE(dc.Texts().size(), 2u);
    EXPECT_EQ(dc.Texts()[1].at.x, PixelOf(plot, -0.5, 299.5, 59.5));
}

TEST(Axis_Seconds, WithoutAFrameRateDrawsNothing) {
    RecordingDrawContext dc;
    DrawSecondsAxis(dc, Rect{25, 25, 625, 175}, -0.5, 299.5, 0.0);
    EXPECT_TRUE(dc.Lines().empty());
    EXPECT_TRUE(dc.Texts().empty());
}

struct FormatCase {
    double value;
    int decimals;
    const char* text;
};
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.text;
}

class Axis_FormatFixed : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Axis_FormatFixed, MatchesPrintfWithoutTheLocale) {
    EXPECT_EQ(FormatFixed(GetParam().value, GetParam().decimals), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Axis_FormatFixed,
    ::testing::Values(FormatCase{-0.4, 0, "-0"}, FormatCase{-5.0, 0, "-5"}, FormatCase{2.5, 0, "2"},
                      FormatCase{3.5, 0, "4"}, FormatCase{0.3, 2, "0.30"},
                      FormatCase{0.12000000000000001, 2, "0.12"}, FormatCase{10.0, 2, "10.00"},
                      FormatCase{-0.5, 3, "-0.500"}, FormatCase{1234567.0, 0, "1234567"}));

}  // namespace
}  // namespace vokra
