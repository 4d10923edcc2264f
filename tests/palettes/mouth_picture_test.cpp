// The nine mouths of the lip preview: each its own picture, closed ones closed, and the
// envelope's opening scaling the open ones.
#include <gtest/gtest.h>

#include <QImage>
#include <set>
#include <string>

#include "palettes/lip_picture.h"
#include "platform/qt/qimage_draw_context.h"

namespace vokra {
namespace {

constexpr QRgb kInside = qRgb(64, 20, 28);

QImage Draw(MouthShape shape, double opening) {
    QImage image(150, 104, QImage::Format_RGB32);
    QImageDrawContext dc(image);
    DrawMouthPicture(dc, image.width(), image.height(), shape, opening, 7);
    return image;
}

int Count(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
}

TEST(MouthPicture, NineDistinctMouthsClosedOnesShowNoInside) {
    std::set<std::string> seen;
    for (int i = 0; i < kMouthShapeCount; ++i) {
        const MouthShape shape = *MouthShapeFromIndex(i);
        const QImage image = Draw(shape, -1.0);
        seen.insert(std::string(reinterpret_cast<const char*>(image.constBits()),
                                static_cast<std::size_t>(image.sizeInBytes())));
        const bool closed = shape == MouthShape::A || shape == MouthShape::X;
        EXPECT_EQ(Count(image, kInside) == 0, closed) << MouthShapeLetter(shape);
    }
    EXPECT_EQ(seen.size(), 9u);
    // Wide open shows more of the mouth than open; puckered is the narrowest.
    EXPECT_GT(Count(Draw(MouthShape::D, -1), kInside), Count(Draw(MouthShape::C, -1), kInside));
}

TEST(MouthPicture, TheEnvelopeOpensAndClosesTheShape) {
    const int full = Count(Draw(MouthShape::D, 1.0), kInside);
    const int half = Count(Draw(MouthShape::D, 0.5), kInside);
    EXPECT_GT(full, half);
    EXPECT_GT(half, 0);
    EXPECT_EQ(Count(Draw(MouthShape::D, 0.0), kInside), 0);
    // Wild openings (from a damaged file) stay inside the picture.
    EXPECT_EQ(Count(Draw(MouthShape::D, 2.0), kInside), Count(Draw(MouthShape::D, 1.5), kInside));
}

}  // namespace
}  // namespace vokra
