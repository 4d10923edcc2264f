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
