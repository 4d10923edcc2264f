#pragma once
// The time rulers under a pane's plot: a major tick and a centred label at every multiple of a
// step picked from a fixed table to fit the width, shorter minor ticks between them. Stateless;
// drawn with the surface's current pen, font and text colour, on every paint.
#include <string>

#include "platform/draw_context.h"

namespace vokra {

// Labels in frame numbers; viewStart and viewEnd are the world x at the plot's left and right.
void DrawFramesAxis(DrawContext& dc, const Rect& plot, double viewStart, double viewEnd);
// Labels in seconds with two decimals; seconds = (frames + 0.5) / fps.
void DrawSecondsAxis(DrawContext& dc, const Rect& plot, double viewStart, double viewEnd,
                     double fps);

// The margin around a plot that holds the rulers' ticks and labels whole, given the extent of the
// widest label in the font they are drawn with: below the plot a major tick and a label's height,
// beside it half a label centred on the plot's first or last pixel. Never less than 25 pixels.
int AxisMargin(Size widestLabel);
// The widest label text the rulers draw (seconds with two decimals).
inline constexpr const char* kWidestAxisLabel = "999.99";

// Fixed-point text with the given number of decimals, independent of the C locale
// (-0.4 with no decimals gives "-0", as printf would).
std::string FormatFixed(double value, int decimals);

}  // namespace vokra
