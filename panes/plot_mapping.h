#pragma once
// One pairing of a pixel rectangle with a world rectangle, converting coordinates both ways.
// Each direction keeps its own precomputed scale and offset, so a conversion is one multiply and
// one add (world to pixel then rounds half away from zero). The `invalid` flag tells the mouse
// handling whether the owning pane has laid itself out with this mapping.
#include <cstdint>

#include "platform/draw_context.h"

namespace vokra {

// Half away from zero: 2.5 -> 3, -2.5 -> -3, -0.4 -> 0.
std::int32_t RoundToInt(double v);

struct PlotMapping {
    PlotMapping() { Recompute(); }

    // Left, top, right, bottom; an empty axis is widened to one pixel.
    void SetPixelRect(int x0, int y0, int x1, int y1);
    // The stored corners (x0, y0, x1, y1), not the ordered ones.
    Rect GetPixelRect() const { return Rect{pixelX0, pixelY0, pixelX1, pixelY1}; }
    // Both x values first, then both y values; an axis narrower than 0.001 is widened to 1.0.
    void SetWorldRect(double x0, double x1, double y0, double y1);

    void SetInvalid(std::int32_t flag) { invalid = flag; }
    bool IsInvalid() const { return invalid != 0; }

    double PixelToWorldX(int px) const { return px * xToWorldScale + xToWorldOffset; }
    double PixelToWorldY(int py) const { return py * yToWorldScale + yToWorldOffset; }
    int WorldToPixelX(double wx) const { return RoundToInt(wx * xToPixelScale + xToPixelOffset); }
    int WorldToPixelY(double wy) const { return RoundToInt(wy * yToPixelScale + yToPixelOffset); }
    Point WorldToPixelPoint(double wx, double wy) const {
        return Point{WorldToPixelX(wx), WorldToPixelY(wy)};
    }

    // Both ends count as inside.
    bool ContainsPixelX(int px) const { return pixelLeft <= px && px <= pixelRight; }
    bool ContainsPixelY(int py) const { return pixelTop <= py && py <= pixelBottom; }
    bool ContainsPixel(int px, int py) const { return ContainsPixelX(px) && ContainsPixelY(py); }
    bool ContainsWorldX(double wx) const { return worldMinX <= wx && wx <= worldMaxX; }
    bool ContainsWorldY(double wy) const { return worldMinY <= wy && wy <= worldMaxY; }
    bool ContainsWorld(double wx, double wy) const {
        return ContainsWorldX(wx) && ContainsWorldY(wy);
    }

    void Recompute();

    std::int32_t invalid = 1;
    std::int32_t pixelX0 = 0, pixelX1 = 1;
    std::int32_t pixelY0 = 0, pixelY1 = 1;
    std::int32_t pixelLeft = 0, pixelTop = 0, pixelRight = 1, pixelBottom = 1;
    double worldX0 = 0.0, worldX1 = 1.0, worldY0 = 0.0, worldY1 = 1.0;
    double worldMinX = 0.0, worldMinY = 0.0, worldMaxX = 1.0, worldMaxY = 1.0;
    double xToWorldOffset = 0.0, xToWorldScale = 1.0;
    double yToWorldOffset = 0.0, yToWorldScale = 1.0;
    double xToPixelOffset = 0.0, xToPixelScale = 1.0;
    double yToPixelOffset = 0.0, yToPixelScale = 1.0;
};

}  // namespace vokra
