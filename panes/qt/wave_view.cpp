#include "panes/qt/wave_view.h"

#include <algorithm>
#include <cmath>

#include "document/app_values.h"
#include "document/vokra_doc.h"
#include "panes/axis.h"
#include "sound/sound_data.h"

namespace vokra {

WaveView::WaveView(CVokraDoc* doc, QWidget* parent) : MSBView(doc, parent, false) {}

TimelineState& WaveView::GetTimelineState() {
    return GetDocument() ? GetDocument()->GetTimeRange() : MSBView::GetTimelineState();
}

double WaveView::SnapPosition(double x) {
    return GetDocument() ? GetDocument()->SnapToFrameEdge(x) : MSBView::SnapPosition(x);
}

void WaveView::Draw(DrawContext& dc) {
    dc.SetBkMode(TRANSPARENT);
    CVokraDoc* doc = GetDocument();
    TimelineState& ts = GetTimelineState();
    const Rect plot = InnerRect(ClientRect());
    if (IsTooSmall(plot)) {
        mapping.SetInvalid(1);
        return;
    }
    if (doc) doc->UpdateExtent();
    const double vs = ts.GetVisibleMin();
    const double ve = ts.GetVisibleMax();
    mapping.SetPixelRect(plot.left, plot.top, plot.right, plot.bottom);
    mapping.SetWorldRect(vs, ve, 2.0, 0.0);
    mapping.SetInvalid(0);

    DrawPlotFrame(dc, plot);

    const int width = plot.Width();
    const int height = plot.Height();
    const std::int32_t generation = doc ? doc->GetContentGeneration() : 0;
    if (generation != cachedGeneration || height != cachedHeight || width != cachedWidth ||
        vs != cachedViewStart || ve != cachedViewEnd ||
        columnTop.size() != static_cast<std::size_t>(width)) {
        BuildColumns(width, height);
    }

    const int x0 = plot.left;
    const int y0 = plot.top;
    const int n = width - 1;
    dc.MoveTo(x0, y0 + columnTop[0]);
    for (int i = 0; i < n; ++i) {
        dc.LineTo(x0 + i, y0 + columnBottom[i]);
        dc.LineTo(x0 + i, y0 + columnTop[i + 1]);
    }
    dc.LineTo(x0 + n, y0 + columnBottom[n]);

    DrawCursorLine(dc, ts, plot);

    dc.SetBkMode(TRANSPARENT);
    if (g_showSeconds != 0) {
        DrawSecondsAxis(dc, plot, vs, ve, doc ? doc->GetFrameRate() : 0.0);
    } else {
        DrawFramesAxis(dc, plot, vs, ve);
    }
}

void WaveView::BuildColumns(int width, int height) {
    ++columnBuilds_;
    CVokraDoc* doc = GetDocument();
    const TimelineState& ts = GetTimelineState();
    const double vs = ts.GetVisibleMin();
    const double ve = ts.GetVisibleMax();
    cachedGeneration = doc ? doc->GetContentGeneration() : 0;
    cachedHeight = height;
    cachedWidth = width;
    cachedViewStart = vs;
    cachedViewEnd = ve;

    // The cache is sized to the plot, so any width works.
    const std::size_t columns = width > 0 ? static_cast<std::size_t>(width) : 0;
    const std::int32_t mid = height / 2;
    columnTop.assign(columns, mid);
    columnBottom.assign(columns, mid);

    const double x0 = vs + 0.5;
    const double x1 = ve + 0.5;
    const std::int64_t count = g_sound.IsLoaded() ? g_sound.GetSampleCount() : 0;
    const std::int64_t rate = g_sound.IsLoaded() ? g_sound.GetSampleRate() : 0;
    const std::int16_t* samples = g_sound.IsLoaded() ? g_sound.GetSamples() : nullptr;
    if (!samples || count <= 0 || rate <= 0 || mid <= 0 || width <= 0) return;
    const double fps = doc ? doc->GetFrameRate() : 0.0;
    if (!(fps > 0.0) || !std::isfinite(fps)) return;

    const double t0 = x0 * (1.0 / fps);
    const double t1 = x1 * (1.0 / fps);
    const double dt = 1.0 / static_cast<double>(rate);
    const double tEnd = static_cast<double>(count) * dt;
    const double tStop = tEnd < t1 ? tEnd : t1;
    if (!(tStop > t0)) return;

    const double p = (t1 - t0) / width;
    if (!(p > 0.0)) return;
    const double columnsWithSound = std::trunc((tStop - t0) / p) - 2.0;
    const std::int64_t m =
        columnsWithSound < 0.0
            ? 0
            : static_cast<std::int64_t>(std::min(columnsWithSound, double(width)));
    const double q = p / dt;

    const double k = mid / 32767.0;
    const std::int32_t limit = static_cast<std::int32_t>(std::trunc(mid / k));

    const double s0 = t0 / dt;
    double prev = s0;
    for (std::int64_t i = 0; i < m; ++i) {
        const double next = static_cast<double>(i) * q + s0;
        // Kept inside the samples whatever the view (a view that starts before the sound).
        std::int64_t a = static_cast<std::int64_t>(std::trunc(prev));
        std::int64_t b = static_cast<std::int64_t>(std::trunc(next));
        a = std::clamp<std::int64_t>(a, 0, count - 1);
        b = std::clamp<std::int64_t>(b, 0, count);
        std::int32_t lo = samples[a];
        std::int32_t hi = lo;
        for (std::int64_t j = a + 1; j < b; ++j) {
            const std::int32_t s = samples[j];
            lo = s < lo ? s : lo;
            hi = s > hi ? s : hi;
        }
        if (lo < -limit) lo = -limit;
        if (hi > limit) hi = limit;
        columnBottom[static_cast<std::size_t>(i)] =
            mid - static_cast<std::int32_t>(std::trunc(lo * k));
        columnTop[static_cast<std::size_t>(i)] =
            mid - static_cast<std::int32_t>(std::trunc(hi * k));
        prev = next;
    }
}

}  // namespace vokra
