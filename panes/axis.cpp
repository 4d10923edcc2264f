#include "panes/axis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "panes/plot_mapping.h"

namespace vokra {
namespace {

struct Step {
    double step;
    int subdivisions;
};

constexpr Step kFrameSteps[] = {{1, 1},   {2, 2},   {5, 5},   {10, 5},   {20, 4},   {50, 5},
                                {100, 5}, {200, 4}, {500, 5}, {1000, 5}, {2000, 4}, {5000, 5}};
constexpr Step kSecondSteps[] = {{0.01, 1}, {0.02, 2}, {0.05, 5}, {0.1, 5},  {0.2, 4},  {0.5, 5},
                                 {1, 1},    {2, 2},    {5, 5},    {10, 5},   {20, 4},   {50, 5},
                                 {100, 5},  {200, 4},  {500, 5},  {1000, 5}, {2000, 4}, {5000, 5}};

// Past the table the step is 10000; for ranges so wide that 10000 would still give more than the
// intended labels (only reachable with keys far out on the timeline), the 1-2-5 sequence goes on
// so that a paint never draws hundreds of thousands of overlapping labels.
Step StepBeyondTable(double rough) {
    double decade = 10000.0;
    for (;;) {
        if (rough <= decade) return Step{decade, 5};
        if (rough <= 2 * decade) return Step{2 * decade, 4};
        if (rough <= 5 * decade) return Step{5 * decade, 5};
        if (!(decade < 1e300)) return Step{decade, 5};
        decade *= 10.0;
    }
}

template <std::size_t N>
Step PickStep(const Step (&table)[N], double rough) {
    for (const Step& s : table) {
        if (!(s.step < rough)) return s;
    }
    return StepBeyondTable(rough);
}

void Tick(DrawContext& dc, int p, int base, int length) {
    dc.MoveTo(p, base);
    dc.LineTo(p, base + length);
}

template <std::size_t N>
void DrawAxis(DrawContext& dc, const Rect& plot, double a, double b, const char* sample,
              int decimals, const Step (&table)[N]) {
    // Nothing sensible can be drawn for a range that is not a finite, increasing stretch.
    if (!std::isfinite(a) || !std::isfinite(b) || !(b > a)) return;

    PlotMapping map;
    map.SetPixelRect(plot.left, plot.top, plot.right, plot.bottom);
    map.SetWorldRect(a, b, 1.0, 0.0);
    const int base = plot.top + plot.Height();

    Size extent = dc.GetTextExtent(sample);
    // Far out on the timeline the labels are longer than the sample ("2147483640"): the spacing
    // then follows the longest label the range can show, or neighbours would overlap.
    const std::string longest =
        FormatFixed(std::ceil(std::max(std::abs(a), std::abs(b))), decimals);
    if (longest.size() > std::char_traits<char>::length(sample)) {
        const Size wide = dc.GetTextExtent(longest);
        if (wide.cx > extent.cx) extent.cx = wide.cx;
    }
    int n = extent.cx > 0 ? (2 * plot.Width()) / (3 * extent.cx) : 16;
    if (n > 16) {
        n = 16;
    } else if (n < 1) {
        n = 1;
    }
    const int major = (2 * extent.cy) / 3;
    const int minor = major / 2;

    const double rough = (b - a) / n;
    const Step pick = PickStep(table, rough);
    const double step = pick.step;
    const double minorStep = step / pick.subdivisions;

    // k is a whole number of steps; + 0.0 turns the -0.0 of a truncated small negative quotient
    // into the 0 an integer k gives, so the first label reads "0", not "-0".
    double first = std::trunc(a / step) * step + 0.0;
    if (first < a) first += step;

    for (double x = first - minorStep; x >= a; x -= minorStep) {
        Tick(dc, map.WorldToPixelX(x), base, minor);
        if (!(x - minorStep < x)) break;  // cannot step down any further at this magnitude
    }

    const int oldAlign = dc.SetTextAlign(TA_CENTER | TA_TOP);
    double v = first;
    while (v <= b) {
        const std::string text = FormatFixed(v, decimals);
        const int p = map.WorldToPixelX(v);
        Tick(dc, p, base, major);
        dc.TextOut(p, base + major, text);
        double m = v + minorStep;
        const double next = v + step;
        if (!(next > v)) break;  // a step lost in the magnitude of v would never advance
        v = next;
        for (int i = 1; i < pick.subdivisions; ++i) {
            if (m > b) break;
            Tick(dc, map.WorldToPixelX(m), base, minor);
            m += minorStep;
        }
    }
    dc.SetTextAlign(oldAlign);
}

}  // namespace

int AxisMargin(Size widestLabel) {
    constexpr int kMinimum = 25;
    // The tick length DrawAxis uses, then the label below it, and a pixel to spare.
    const int below = (2 * widestLabel.cy) / 3 + widestLabel.cy + 1;
    const int beside = (widestLabel.cx + 1) / 2 + 1;
    return std::max({kMinimum, below, beside});
}

std::string FormatFixed(double value, int decimals) {
    char buf[400];
    const auto result =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return std::string();
    return std::string(buf, result.ptr);
}

void DrawFramesAxis(DrawContext& dc, const Rect& plot, double viewStart, double viewEnd) {
    DrawAxis(dc, plot, viewStart, viewEnd, "9999", 0, kFrameSteps);
}

void DrawSecondsAxis(DrawContext& dc, const Rect& plot, double viewStart, double viewEnd,
                     double fps) {
    if (!(fps > 0.0)) return;  // no time scale without a frame rate
    DrawAxis(dc, plot, (viewStart + 0.5) / fps, (viewEnd + 0.5) / fps, "999.99", 2, kSecondSteps);
}

}  // namespace vokra
