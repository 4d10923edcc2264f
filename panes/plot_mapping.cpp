#include "panes/plot_mapping.h"

#include <cmath>
#include <limits>

namespace vokra {

std::int32_t RoundToInt(double v) {
    const double r = v >= 0.0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5);
    // Out-of-range values (a world x far outside the view) saturate instead of overflowing;
    // NaN gives 0.
    if (!(r == r)) return 0;
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(r);
}

namespace {
// x + 1, or x - 1 at the very top of the integer range where x + 1 does not exist.
int OnePixelBeyond(int x) {
    return x < std::numeric_limits<int>::max() ? x + 1 : x - 1;
}
}  // namespace

void PlotMapping::SetPixelRect(int x0, int y0, int x1, int y1) {
    pixelX0 = x0;
    pixelY0 = y0;
    pixelX1 = x1 != x0 ? x1 : OnePixelBeyond(x0);
    pixelY1 = y1 != y0 ? y1 : OnePixelBeyond(y0);
    Recompute();
}

void PlotMapping::SetWorldRect(double x0, double x1, double y0, double y1) {
    worldX0 = x0;
    worldX1 = x1;
    worldY0 = y0;
    worldY1 = y1;
    const double dx = x0 - x1;
    if (dx > -0.001 && dx < 0.001) worldX1 = x0 + 1.0;
    const double dy = y0 - y1;
    if (dy > -0.001 && dy < 0.001) worldY1 = y0 + 1.0;
    Recompute();
}

void PlotMapping::Recompute() {
    if (pixelX0 < pixelX1) {
        pixelLeft = pixelX0;
        pixelRight = pixelX1;
    } else {
        pixelLeft = pixelX1;
        pixelRight = pixelX0;
    }
    if (pixelY0 < pixelY1) {
        pixelTop = pixelY0;
        pixelBottom = pixelY1;
    } else {
        pixelTop = pixelY1;
        pixelBottom = pixelY0;
    }
    if (worldX0 < worldX1) {
        worldMinX = worldX0;
        worldMaxX = worldX1;
    } else {
        worldMinX = worldX1;
        worldMaxX = worldX0;
    }
    if (worldY0 < worldY1) {
        worldMinY = worldY0;
        worldMaxY = worldY1;
    } else {
        worldMinY = worldY1;
        worldMaxY = worldY0;
    }
    // The pixel differences are taken as integers first (in 64 bits, so extreme rectangles
    // cannot overflow), then converted.
    const double pdx = static_cast<double>(static_cast<std::int64_t>(pixelX1) - pixelX0);
    const double pdy = static_cast<double>(static_cast<std::int64_t>(pixelY1) - pixelY0);
    xToWorldScale = (worldX1 - worldX0) / pdx;
    xToWorldOffset = worldX0 - pixelX0 * xToWorldScale;
    yToWorldScale = (worldY1 - worldY0) / pdy;
    yToWorldOffset = worldY0 - pixelY0 * yToWorldScale;
    xToPixelScale = pdx / (worldX1 - worldX0);
    xToPixelOffset = pixelX0 - worldX0 * xToPixelScale;
    yToPixelScale = pdy / (worldY1 - worldY0);
    yToPixelOffset = pixelY0 - worldY0 * yToPixelScale;
}

}  // namespace vokra
