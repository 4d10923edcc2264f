#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <ostream>
#include <set>
#include <utility>
#include <vector>

#include "platform/qt/qimage_draw_context.h"
#include "platform/recording_draw_context.h"

namespace vokra {
namespace {

using Pixels = std::set<std::pair<int, int>>;

QImage White(int w, int h, qreal dpr = 1.0) {
    QImage img(static_cast<int>(w * dpr), static_cast<int>(h * dpr), QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    return img;
}

// The device pixels that are not white.
Pixels Inked(const QImage& img) {
    Pixels p;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixel(x, y) != qRgb(255, 255, 255)) p.insert({x, y});
        }
    }
    return p;
}

struct LineCase {
    const char* name;
    std::vector<Point> points;  // MoveTo the first, LineTo the others
    Pixels expected;
};
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

Pixels Span(int x0, int x1, int y) {  // x0..x1 inclusive on row y
    Pixels p;
    for (int x = x0; x <= x1; ++x) p.insert({x, y});
    return p;
}
Pixels Column(int x, int y0, int y1) {
    Pixels p;
    for (int y = y0; y <= y1; ++y) p.insert({x, y});
    return p;
}
Pixels Union(Pixels a, const Pixels& b) {
    a.insert(b.begin(), b.end());
    return a;
}

class DrawContext_LineTo : public ::testing::TestWithParam<LineCase> {};

TEST_P(DrawContext_LineTo, LeavesOutTheEndPixel) {
    // RGB32 is written pixel by pixel, ARGB32 goes through QPainter: both give the same pixels.
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        QImage img = White(20, 20).convertToFormat(format);
        {
            QImageDrawContext dc(img);
            const auto& pts = GetParam().points;
            dc.MoveTo(pts[0].x, pts[0].y);
            for (std::size_t i = 1; i < pts.size(); ++i) dc.LineTo(pts[i].x, pts[i].y);
        }
        EXPECT_EQ(Inked(img), GetParam().expected) << "format " << format;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DrawContext_LineTo,
    ::testing::Values(
        LineCase{"Horizontal", {{2, 5}, {10, 5}}, Span(2, 9, 5)},
        LineCase{"HorizontalBackwards", {{10, 5}, {2, 5}}, Span(3, 10, 5)},
        LineCase{"Vertical", {{4, 1}, {4, 6}}, Column(4, 1, 5)},
        LineCase{"VerticalUpwards", {{4, 6}, {4, 1}}, Column(4, 2, 6)},
        LineCase{"Diagonal", {{0, 0}, {4, 4}}, Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        LineCase{"SteepOneColumnOver", {{0, 0}, {1, 10}}, Union(Column(0, 0, 4), Column(1, 5, 9))},
        LineCase{"SteepUpwards", {{3, 10}, {4, 0}}, Union(Column(3, 6, 10), Column(4, 1, 5))},
        LineCase{"ZeroLength", {{5, 5}, {5, 5}}, Pixels{}},
        // A closed frame: every corner is drawn once by the segment that starts there.
        LineCase{
            "Frame",
            {{2, 2}, {6, 2}, {6, 5}, {2, 5}, {2, 2}},
            Union(Union(Span(2, 5, 2), Column(6, 2, 4)), Union(Span(3, 6, 5), Column(2, 3, 5)))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DrawContext_Polyline, JoinsPointsAndLeavesOutTheLastOne) {
    QImage img = White(20, 20);
    {
        QImageDrawContext dc(img);
        const Point pts[] = {{1, 1}, {5, 1}, {5, 4}};
        dc.Polyline(pts, 3);
    }
    EXPECT_EQ(Inked(img), Union(Span(1, 4, 1), Column(5, 1, 3)));
}

TEST(DrawContext_Fill, StopsShortOfRightAndBottomAndSetsTheBackground) {
    QImage img = White(10, 10);
    {
        QImageDrawContext dc(img);
        dc.FillSolidRect(Rect{2, 3, 5, 5}, Rgb{0, 0, 255});
        EXPECT_EQ(dc.GetBkColor(), (Rgb{0, 0, 255}));
        dc.FillSolidRect(Rect{7, 7, 7, 9}, Rgb{0, 0, 0});  // empty: nothing
    }
    EXPECT_EQ(Inked(img), Union(Span(2, 4, 3), Span(2, 4, 4)));
    EXPECT_EQ(img.pixel(2, 3), qRgb(0, 0, 255));
}

TEST(DrawContext_Pen, ColourAppliesAndSelectReturnsThePrevious) {
    QImage img = White(10, 10);
    {
        QImageDrawContext dc(img);
        const Pen old = dc.SelectPen(Pen{Rgb{255, 0, 0}, 1});
        EXPECT_EQ(old, (Pen{Rgb{0, 0, 0}, 1}));
        dc.MoveTo(0, 0);
        dc.LineTo(3, 0);
        dc.SelectPen(old);
        dc.LineTo(3, 3);
    }
    EXPECT_EQ(img.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(3, 1), qRgb(0, 0, 0));
}

TEST(DrawContext_HighDensity, OneLogicalPixelCoversWholeDevicePixels) {
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        QImage img = White(20, 20, 2.0).convertToFormat(format);
        img.setDevicePixelRatio(2.0);
        {
            QImageDrawContext dc(img);
            EXPECT_EQ(dc.GetClipBox(), (Rect{0, 0, 20, 20}));
            dc.MoveTo(2, 5);
            dc.LineTo(10, 5);
            dc.FillSolidRect(Rect{0, 0, 1, 1}, Rgb{0, 0, 0});
        }
        Pixels expected{{0, 0}, {1, 0}, {0, 1}, {1, 1}};
        for (int x = 4; x < 20; ++x) {
            expected.insert({x, 10});
            expected.insert({x, 11});
        }
        EXPECT_EQ(Inked(img), expected) << "format " << format;
    }
}

TEST(DrawContext_Fill, ClippedToTheImageWhateverTheRectangle) {
    QImage img = White(10, 10);
    {
        QImageDrawContext dc(img);
        dc.FillSolidRect(Rect{-5, -5, 2, 2}, Rgb{0, 0, 0});
        dc.FillSolidRect(Rect{8, 8, 100000, 100000}, Rgb{0, 0, 0});
        dc.MoveTo(-3, 9);
        dc.LineTo(3, 9);
    }
    EXPECT_EQ(Inked(img), Union(Union(Pixels{{0, 0}, {1, 0}, {0, 1}, {1, 1}}, Span(8, 9, 8)),
                                Union(Span(8, 9, 9), Span(0, 2, 9))));
}

TEST(DrawContext_Clip, NothingOutsideTheClipRect) {
    QImage img = White(20, 20);
    {
        QImageDrawContext dc(img);
        dc.SetClipRect(Rect{0, 0, 5, 20});
        EXPECT_EQ(dc.GetClipBox(), (Rect{0, 0, 5, 20}));
        dc.MoveTo(0, 3);
        dc.LineTo(15, 3);
    }
    EXPECT_EQ(Inked(img), Span(0, 4, 3));
}

struct AlignCase {
    const char* name;
    int align;
    int expectLeftFromX;  // in text widths: 0 left, -1/2 centred, -1 right (times 2)
    int expectTopKind;    // 0 top, 1 baseline, 2 bottom
};
void PrintTo(const AlignCase& c, std::ostream* os) {
    *os << c.name;
}

class DrawContext_TextAlign : public ::testing::TestWithParam<AlignCase> {};

TEST_P(DrawContext_TextAlign, PlacesTheOpaqueBoxAtTheAlignmentPoint) {
    QImage img = White(200, 100);
    const QFont font;
    const QFontMetrics fm(font);
    const std::string text = "12:34";
    const int w = fm.horizontalAdvance(QString::fromLatin1(text.c_str()));
    const int h = fm.height();
    {
        QImageDrawContext dc(img, font);
        dc.SetBkMode(OPAQUE);
        dc.SetBkColor(Rgb{0, 255, 0});
        dc.SetTextAlign(GetParam().align);
        EXPECT_EQ(dc.GetTextExtent(text), (Size{w, h}));
        dc.TextOut(100, 50, text);
    }
    const int left = 100 + (GetParam().expectLeftFromX * w) / 2;
    const int top = GetParam().expectTopKind == 0   ? 50
                    : GetParam().expectTopKind == 1 ? 50 - fm.ascent()
                                                    : 50 - h;
    // The opaque background box covers exactly the text extent at that place.
    int minX = 1000, minY = 1000, maxX = -1, maxY = -1;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixel(x, y) == qRgb(0, 255, 0)) {
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
        }
    }
    EXPECT_EQ(minX, left);
    EXPECT_EQ(maxX, left + w - 1);
    EXPECT_EQ(minY, top);
    EXPECT_EQ(maxY, top + h - 1);
}

INSTANTIATE_TEST_SUITE_P(Table, DrawContext_TextAlign,
                         ::testing::Values(AlignCase{"LeftTop", TA_LEFT | TA_TOP, 0, 0},
                                           AlignCase{"CentreTop", TA_CENTER | TA_TOP, -1, 0},
                                           AlignCase{"RightBaseline", TA_RIGHT | TA_BASELINE, -2,
                                                     1},
                                           AlignCase{"LeftBottom", TA_LEFT | TA_BOTTOM, 0, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DrawContext_Text, TransparentModeDrawsNoBox) {
    QImage img = White(200, 60);
    {
        QImageDrawContext dc(img);
        dc.SetBkMode(TRANSPARENT);
        dc.SetBkColor(Rgb{0, 255, 0});
        dc.SetTextColor(Rgb{0, 0, 255});
        dc.TextOut(10, 10, "Anchor");
    }
    bool green = false, ink = false;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            green |= img.pixel(x, y) == qRgb(0, 255, 0);
            ink |= img.pixel(x, y) != qRgb(255, 255, 255);
        }
    }
    EXPECT_FALSE(green);
    EXPECT_TRUE(ink);
}

TEST(RecordingDrawContext_Lines, SplitsMoveLineAndPolylineIntoSegments) {
    RecordingDrawContext dc;
    dc.MoveTo(1, 1);
    dc.LineTo(5, 1);
    dc.SelectPen(Pen{Rgb{1, 2, 3}, 1});
    const Point pts[] = {{0, 0}, {2, 2}, {4, 0}};
    dc.Polyline(pts, 3);
    dc.LineTo(5, 5);  // continues from the last MoveTo/LineTo, not from the polyline
    const auto lines = dc.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], (DrawnLine{{1, 1}, {5, 1}, Pen{}}));
    EXPECT_EQ(lines[2].to, (Point{4, 0}));
    EXPECT_EQ(lines[2].pen.colour, (Rgb{1, 2, 3}));
    EXPECT_EQ(lines[3].from, (Point{5, 1}));
    dc.SetCharWidth(7);
    EXPECT_EQ(dc.GetTextExtent("abc").cx, 21);
}

}  // namespace
}  // namespace vokra
