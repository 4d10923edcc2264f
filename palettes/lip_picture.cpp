#include "palettes/lip_picture.h"

#include <string>

namespace vokra {

int LipHalfOpening(int height, double opening) {
    const double h = static_cast<double>(height) * opening / 3.0;
    // Keys hold at most 2.0; anything wilder (or not a number) must not overflow the conversion.
    if (!(h > -1e6 && h < 1e6)) return 0;
    return static_cast<int>(h);
}

void DrawLipPicture(DrawContext& dc, int width, int height, double opening, std::int32_t frame) {
    const int midX = width / 2;
    const int midY = height / 2;
    const int h = LipHalfOpening(height, opening);

    const Rgb oldBackground = dc.GetBkColor();
    dc.FillSolidRect(Rect{0, 0, width, height}, kLipPreviewGrey);
    // Filling leaves the grey as the background colour, which the frame number is written on.
    dc.SetBkColor(kLipPreviewGrey);

    // Corners of the mouth on the middle line, lower and upper lip at the centre.
    dc.MoveTo(0, midY);
    dc.LineTo(midX, midY + h);
    dc.LineTo(width, midY);
    dc.LineTo(midX, midY - h);
    dc.LineTo(0, midY);

    dc.TextOut(0, 0, "Frame " + std::to_string(frame));
    dc.SetBkColor(oldBackground);
}

}  // namespace vokra
