#include "palettes/lip_picture.h"

#include <algorithm>
#include <cmath>
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

namespace vokra {

MouthGeometry MouthGeometryOf(MouthShape shape) {
    MouthGeometry g;
    switch (shape) {
        case MouthShape::A:  // lips pressed together
            g.halfWidth = 0.30;
            g.lip = 0.09;
            break;
        case MouthShape::B:  // slightly open, teeth together
            g.halfWidth = 0.32;
            g.openUp = 0.05;
            g.openDown = 0.06;
            g.round = 2.0;
            g.upperTeeth = g.lowerTeeth = true;
            break;
        case MouthShape::C:  // open
            g.halfWidth = 0.30;
            g.openUp = 0.10;
            g.openDown = 0.16;
            g.round = 1.6;
            g.upperTeeth = true;
            break;
        case MouthShape::D:  // wide open
            g.halfWidth = 0.33;
            g.openUp = 0.15;
            g.openDown = 0.30;
            g.round = 1.6;
            g.upperTeeth = g.lowerTeeth = true;
            break;
        case MouthShape::E:  // slightly rounded
            g.halfWidth = 0.21;
            g.openUp = 0.12;
            g.openDown = 0.15;
            g.lip = 0.08;
            g.upperTeeth = true;
            break;
        case MouthShape::F:  // puckered
            g.halfWidth = 0.12;
            g.openUp = 0.06;
            g.openDown = 0.07;
            g.lip = 0.11;
            break;
        case MouthShape::G:  // lower lip on the upper teeth
            g.halfWidth = 0.30;
            g.openUp = 0.07;
            g.openDown = 0.0;
            g.round = 2.0;
            g.upperTeeth = true;
            g.lipUnderTeeth = true;
            break;
        case MouthShape::H:  // tongue up
            g.halfWidth = 0.30;
            g.openUp = 0.11;
            g.openDown = 0.18;
            g.round = 1.6;
            g.upperTeeth = true;
            g.tongueUp = true;
            break;
        case MouthShape::X:  // rest
            g.halfWidth = 0.27;
            g.lip = 0.06;
            break;
    }
    return g;
}

void DrawMouthPicture(DrawContext& dc, int width, int height, MouthShape shape, double opening,
                      std::int32_t frame) {
    const Rgb oldBackground = dc.GetBkColor();
    dc.FillSolidRect(Rect{0, 0, width, height}, kLipPreviewGrey);
    dc.SetBkColor(kLipPreviewGrey);

    MouthGeometry g = MouthGeometryOf(shape);
    if (opening >= 0.0) {
        // The envelope opens and closes the shape; beyond 150 % it would leave the picture.
        const double s = opening > 1.5 ? 1.5 : (opening == opening ? opening : 0.0);
        g.openUp *= s;
        g.openDown *= s;
    }
    // One unit for both directions, so the mouth keeps its proportions in a wide preview.
    const double unit = std::min<double>(height, width * 0.75);
    const double cx = width / 2.0;
    const double cy = height / 2.0 + unit * 0.04;
    const double halfWidth = width * g.halfWidth * (unit / (width * 0.75));
    const Rgb lipColour{196, 86, 92};
    const Rgb lipEdge{120, 40, 48};
    const Rgb inside{64, 20, 28};
    const Rgb teeth{250, 250, 244};
    const Rgb tongue{226, 118, 128};

    const int x0 = static_cast<int>(std::floor(cx - halfWidth));
    const int x1 = static_cast<int>(std::ceil(cx + halfWidth));
    for (int x = x0; x <= x1; ++x) {
        const double u = (x + 0.5 - cx) / halfWidth;
        if (u <= -1.0 || u >= 1.0) continue;
        const double e = std::sqrt(1.0 - u * u);
        // Inner edges of the lips; the upper one flatter for the wider shapes.
        const double top = cy - unit * g.openUp * std::pow(e, g.round);
        const double bottom = cy + unit * g.openDown * e;
        // Lips taper towards the corners; a puckered mouth keeps them thick all round.
        const double lip = unit * g.lip * (g.halfWidth < 0.15 ? 0.6 + 0.4 * e : 0.25 + 0.75 * e);
        const int upperTop = static_cast<int>(std::lround(top - lip * 0.9));
        const int innerTop = static_cast<int>(std::lround(top));
        const int innerBottom = static_cast<int>(std::lround(bottom));
        int lowerBottom = static_cast<int>(std::lround(bottom + lip * 1.1));
        if (innerBottom > innerTop) {
            dc.FillSolidRect(Rect{x, innerTop, x + 1, innerBottom}, inside);
            const int span = innerBottom - innerTop;
            if (g.upperTeeth && std::abs(u) < 0.8) {
                const int t =
                    g.lowerTeeth && !g.tongueUp && g.openDown < 0.1 ? span / 2 : span * 3 / 10 + 1;
                dc.FillSolidRect(Rect{x, innerTop, x + 1, innerTop + std::min(t, span)}, teeth);
            }
            if (g.lowerTeeth && std::abs(u) < 0.75) {
                const int t = g.openDown < 0.1 ? span - span / 2 - 1 : span / 5 + 1;
                if (t > 0) dc.FillSolidRect(Rect{x, innerBottom - t, x + 1, innerBottom}, teeth);
            }
            if (g.tongueUp && std::abs(u) < 0.35) {
                // The tip reaches the upper teeth in the middle.
                const int tip = innerTop + span * 3 / 10 + 1;
                dc.FillSolidRect(Rect{x, tip, x + 1, innerBottom}, tongue);
            } else if (g.openDown > 0.2 && std::abs(u) < 0.6) {
                const int lie = innerBottom - span / 4;
                dc.FillSolidRect(Rect{x, lie, x + 1, innerBottom}, tongue);
            }
        }
        if (g.lipUnderTeeth) {
            // The lower lip rides up behind the upper teeth' edge.
            lowerBottom = static_cast<int>(std::lround(cy + lip * 0.8));
            dc.FillSolidRect(Rect{x, innerBottom, x + 1, lowerBottom}, lipColour);
            // The upper teeth rest on it, filling what the lips leave open.
            if (std::abs(u) < 0.85 && innerBottom > innerTop)
                dc.FillSolidRect(Rect{x, innerTop, x + 1, innerBottom}, teeth);
        } else {
            dc.FillSolidRect(Rect{x, innerBottom, x + 1, lowerBottom}, lipColour);
        }
        dc.FillSolidRect(Rect{x, upperTop, x + 1, innerTop}, lipColour);
        // Outer edges and, where the lips meet, the line between them.
        dc.FillSolidRect(Rect{x, upperTop, x + 1, upperTop + 1}, lipEdge);
        dc.FillSolidRect(Rect{x, lowerBottom - 1, x + 1, lowerBottom}, lipEdge);
        if (innerBottom <= innerTop)
            dc.FillSolidRect(Rect{x, innerTop, x + 1, innerTop + 1}, lipEdge);
    }

    // Filling leaves its colour as the background the text is written on.
    dc.SetBkColor(kLipPreviewGrey);
    if (frame >= 0) dc.TextOut(0, 0, "Frame " + std::to_string(frame));
    const std::string letter(1, MouthShapeLetter(shape));
    const Size extent = dc.GetTextExtent(letter);
    dc.TextOut(width - extent.cx - 3, height - extent.cy - 1, letter);
    dc.SetBkColor(oldBackground);
}

}  // namespace vokra
