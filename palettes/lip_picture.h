#pragma once
// The lip preview's picture: a grey field with a schematic pair of lips opened by an envelope value
// and the frame number in the top left corner. Drawn on any drawing context, so the window paints
// it and tests check it on an image or a recording.
#include <cstdint>

#include "platform/draw_context.h"

namespace vokra {

// The preview's background, light grey.
constexpr Rgb kLipPreviewGrey{192, 192, 192};

// Distance in pixels of each lip from the middle line: trunc(height x opening / 3).
int LipHalfOpening(int height, double opening);

// Paints the whole width x height client area: grey fill, the four-line outline through
// (0, midY), (midX, midY + h), (width, midY), (midX, midY - h), and "Frame <frame>" at (0, 0)
// on the grey. The context's current pen, font and text colour are used; its background colour
// is restored afterwards.
void DrawLipPicture(DrawContext& dc, int width, int height, double opening, std::int32_t frame);

}  // namespace vokra

#include "shapes/mouth_shape.h"

namespace vokra {

// How wide and open a mouth shape is drawn, as fractions of the picture's height unit, and what
// shows inside it.
struct MouthGeometry {
    double halfWidth = 0.3;  // of the width
    double openUp = 0.0;     // inner lip edges above and below the middle line, of the height
    double openDown = 0.0;
    double lip = 0.07;   // lip thickness, of the height
    double round = 1.0;  // 1: an ellipse; larger flattens the upper lip's curve
    bool upperTeeth = false;
    bool lowerTeeth = false;
    bool tongueUp = false;       // the tongue's tip raised to the upper teeth (L)
    bool lipUnderTeeth = false;  // the lower lip tucked under the upper teeth (F, V)
};
MouthGeometry MouthGeometryOf(MouthShape shape);

// The preview of a frame with a mouth shape: the same grey field and "Frame <frame>" as
// DrawLipPicture, with that mouth drawn in colour and its letter in the bottom right corner.
// `opening` scales how far it opens (1.0 as drawn in the manual); a negative value draws it as
// designed (a document without keys). A negative frame leaves the frame number out.
void DrawMouthPicture(DrawContext& dc, int width, int height, MouthShape shape, double opening,
                      std::int32_t frame);

}  // namespace vokra
