#include "palettes/lip_picture.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/qt/qimage_draw_context.h"
#include "platform/recording_draw_context.h"

namespace vokra {
namespace {

struct OutlineCase {
    const char* name;
    int width, height;
    double opening;
    int midY, h;
};

class LipPicture_Outline : public ::testing::TestWithParam<OutlineCase> {};

TEST_P(LipPicture_Outline, FourLinesThroughCornersAndLips) {
    const OutlineCase& c = GetParam();
    RecordingDrawContext dc(Rect{0, 0, c.width, c.height});
    DrawLipPicture(dc, c.width, c.height, c.opening, 0);
    const int midX = c.width / 2;
    const std::vector<DrawnLine> lines = dc.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].from, (Point{0, c.midY}));
    EXPECT_EQ(lines[0].to, (Point{midX, c.midY + c.h}));
    EXPECT_EQ(lines[1].to, (Point{c.width, c.midY}));
    EXPECT_EQ(lines[2].to, (Point{midX, c.midY - c.h}));
    EXPECT_EQ(lines[3].to, (Point{0, c.midY}));
    EXPECT_EQ(LipHalfOpening(c.height, c.opening), c.h);
}

INSTANTIATE_TEST_SUITE_P(Table, LipPicture_Outline,
                         ::testing::Values(OutlineCase{"Full", 150, 105, 1.0, 52, 35},
                                           OutlineCase{"Closed", 150, 105, 0.0, 52, 0},
                                           OutlineCase{"HalfTruncated", 120, 100, 0.5, 50, 16},
                                           OutlineCase{"Largest", 150, 105, 1.5, 52, 52},
                                           OutlineCase{"PastTheEdges", 150, 105, 2.0, 52, 70},
                                           OutlineCase{"OddSizes", 151, 71, 1.0, 35, 23}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LipPicture_Steps, GreyFillThenTextOnGreyThenBackgroundRestored) {
    RecordingDrawContext dc(Rect{0, 0, 150, 105});
    const Rgb before = dc.GetBkColor();
    DrawLipPicture(dc, 150, 105, 0.4, 1234);
    const auto fills = dc.Fills();
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].rect, (Rect{0, 0, 150, 105}));
    EXPECT_EQ(fills[0].colour, (Rgb{192, 192, 192}));
    const auto texts = dc.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Frame 1234");
    EXPECT_EQ(texts[0].at, (Point{0, 0}));
    EXPECT_EQ(texts[0].bkMode, OPAQUE);
    // The fill comes first so that the lines and the text are drawn on it.
    EXPECT_EQ(dc.Calls().front().op, DrawCall::Op::FillSolidRect);
    EXPECT_EQ(dc.GetBkColor(), before);
}

TEST(LipPicture_Steps, NotANumberOrHugeOpeningDrawsClosedLips) {
    EXPECT_EQ(LipHalfOpening(105, std::nan("")), 0);
    EXPECT_EQ(LipHalfOpening(105, 1e300), 0);
}

// The picture itself, on an image: the outline's vertices are black, the rest is grey.
class LipPicture_Image : public ::testing::Test {
protected:
    QImage Draw(double opening, int frame) {
        QImage image(150, 105, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QImageDrawContext dc(image);
            DrawLipPicture(dc, 150, 105, opening, frame);
        }
        return image;
    }
    static bool Black(const QImage& image, int x, int y) {
        return image.pixel(x, y) == qRgb(0, 0, 0);
    }
    static bool Grey(const QImage& image, int x, int y) {
        return image.pixel(x, y) == qRgb(192, 192, 192);
    }
};

TEST_F(LipPicture_Image, FullOpeningRunsThroughTheFourPoints) {
    const QImage image = Draw(1.0, 7);
    EXPECT_TRUE(Black(image, 0, 52));
    EXPECT_TRUE(Black(image, 75, 87));
    EXPECT_TRUE(Black(image, 75, 17));
    // The right corner (150, 52) is just outside; the line reaches the last column next to it.
    EXPECT_TRUE(Black(image, 149, 52) || Black(image, 149, 53) || Black(image, 149, 51));
    EXPECT_TRUE(Grey(image, 75, 52));  // open mouth: the middle is background
    EXPECT_TRUE(Grey(image, 75, 90));
    EXPECT_TRUE(Grey(image, 149, 104));
}

TEST_F(LipPicture_Image, ClosedLipsAreOneLineWithTheFrameNumberTopLeft) {
    const QImage image = Draw(0.0, 0);
    for (int x = 0; x < 150; ++x) EXPECT_TRUE(Black(image, x, 52)) << "x " << x;
    for (int x = 60; x < 150; ++x) {
        EXPECT_TRUE(Grey(image, x, 51)) << "x " << x;
        EXPECT_TRUE(Grey(image, x, 53)) << "x " << x;
    }
    // "Frame 0" leaves dark pixels in the top left corner and nowhere else above the line.
    int textPixels = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 60; ++x) textPixels += !Grey(image, x, y);
    }
    EXPECT_GT(textPixels, 10);
    for (int y = 0; y < 50; ++y) EXPECT_TRUE(Grey(image, 120, y));
}

}  // namespace
}  // namespace vokra
