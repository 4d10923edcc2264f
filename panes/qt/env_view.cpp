#include "panes/qt/env_view.h"

#include <cmath>
#include <limits>
#include <vector>

#include "document/keyframe_list.h"
#include "document/vokra_doc.h"
#include "panes/axis.h"

namespace vokra {
namespace {

// A timeline position as a frame number, truncated toward zero and kept inside the range of
// frame numbers.
std::int32_t TruncFrame(double x) {
    const double t = std::trunc(x);
    if (!(t == t)) return 0;
    if (t >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (t <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(t);
}

constexpr int kHitRadius = 6;

// Calls fn(key) for every key on a selected frame: the frames from (start + 1) truncated to end
// truncated.
template <typename Fn>
void ForSelectedKeys(const KeyframeList& keys, const TimelineState& ts, Fn fn) {
    const std::int32_t first = TruncFrame(ts.SelectionStart() + 1.0);
    const std::int32_t last = TruncFrame(ts.SelectionEnd());
    std::int64_t f = first;
    while (f <= last) {
        const Keyframe* key = keys.FindAtOrAfter(static_cast<std::int32_t>(f));
        if (!key || key->GetFrame() > last) break;
        const std::int32_t frame = key->GetFrame();
        fn(*key);
        f = static_cast<std::int64_t>(frame) + 1;
    }
}

}  // namespace

EnvView::EnvView(CVokraDoc* doc, QWidget* parent) : MSBView(doc, parent, true) {}

TimelineState& EnvView::GetTimelineState() {
    return GetDocument() ? GetDocument()->GetTimeRange() : MSBView::GetTimelineState();
}

double EnvView::SnapPosition(double x) {
    return GetDocument() ? GetDocument()->SnapToFrameEdge(x) : MSBView::SnapPosition(x);
}

void EnvView::OnUpdate(View* sender, int hint) {
    MSBView::OnUpdate(sender, hint);
    if (GetDocument()) GetDocument()->NotifyPalettes(hint);
}

double EnvView::DisplayedOpeningAt(double x) const {
    const CVokraDoc* doc = GetDocument();
    if (!doc) return 0.0;
    const KeyframeList& keys = doc->GetKeys();
    const TimelineState& ts = doc->GetTimeRange();
    if (!(x >= 0.0) || keys.GetCount() == 0) return 0.0;
    auto shown = [&](const Keyframe& key) {
        double v = key.GetOpening();
        if (keyDragging == 1 && ts.IsInSelection(key.GetFrame())) v += keyDragOffset;
        return v;
    };
    bool found = false;
    std::int32_t index = 0;
    keys.Find(TruncFrame(x), found, index);
    double x0 = 0.0;
    double y0 = 0.0;
    const Keyframe* right = nullptr;
    if (found) {
        const Keyframe& key = *keys.GetAt(index);
        if (x == key.GetFrame()) return shown(key);
        x0 = key.GetFrame();
        y0 = shown(key);
        right = keys.GetAt(index + 1);
        if (!right) return y0;
    } else {
        if (index > 0) {
            const Keyframe& left = *keys.GetAt(index - 1);
            x0 = left.GetFrame();
            y0 = shown(left);
        }
        right = keys.GetAt(index);
        if (!right) return y0;
    }
    const double x1 = right->GetFrame();
    const double y1 = shown(*right);
    return y0 + (y1 - y0) * ((x - x0) / (x1 - x0));
}

void EnvView::Draw(DrawContext& dc) {
    CVokraDoc* doc = GetDocument();
    if (doc) doc->UpdateExtent();
    dc.SetBkMode(TRANSPARENT);
    TimelineState& ts = GetTimelineState();
    const Rect plot = InnerRect(ClientRect());
    if (IsTooSmall(plot)) {
        mapping.SetInvalid(1);
        return;
    }
    const double vs = ts.GetVisibleMin();
    const double ve = ts.GetVisibleMax();
    // Keys at 0 and 150 % sit 4 pixels inside the frame.
    mapping.SetPixelRect(plot.left, plot.top + 4, plot.right, plot.bottom - 4);
    mapping.SetWorldRect(vs, ve, 1.5, 0.0);
    mapping.SetInvalid(0);

    DrawPlotFrame(dc, plot);

    {
        const Pen old = dc.SelectPen(Pen{Rgb{192, 192, 192}, 1});
        const int y = mapping.WorldToPixelY(1.0);
        dc.MoveTo(plot.left, y);
        dc.LineTo(plot.right, y);
        dc.SelectPen(old);
    }

    if (doc) DrawKeys(dc, mapping, doc->GetKeys());

    DrawCursorLine(dc, ts, plot);

    dc.SetBkMode(TRANSPARENT);
    DrawFramesAxis(dc, plot, vs, ve);
    UpdateScrollBar(ts);
}

void EnvView::DrawKeys(DrawContext& dc, const PlotMapping& map, const KeyframeList& keys) {
    if (keys.GetCount() == 0) return;
    const TimelineState& ts = GetTimelineState();
    const double vs = ts.GetVisibleMin();
    const double ve = ts.GetVisibleMax();
    bool found = false;
    std::int32_t iStart = 0;
    keys.Find(TruncFrame(vs), found, iStart);
    const bool startOnKey = found && vs == std::trunc(vs);
    bool foundEnd = false;
    std::int32_t iEnd = 0;
    keys.Find(TruncFrame(ve), foundEnd, iEnd);

    std::vector<Point> points;
    const std::int64_t room = static_cast<std::int64_t>(iEnd) - iStart + 10;
    points.reserve(room > 0 ? static_cast<std::size_t>(room) : 10u);
    points.push_back(map.WorldToPixelPoint(vs, DisplayedOpeningAt(vs)));
    bool ranOut = false;
    bool beyond = false;
    for (std::int32_t i = iStart;; ++i) {
        const Keyframe* key = keys.GetAt(i);
        if (!key) {
            ranOut = true;
            break;
        }
        const double f = key->GetFrame();
        double v = key->GetOpening();
        if (keyDragging == 1 && ts.IsInSelection(f)) v += keyDragOffset;
        if (f < vs) continue;
        if (f > ve) {
            beyond = true;
            break;
        }
        points.push_back(map.WorldToPixelPoint(f, v));
    }
    if (beyond) points.push_back(map.WorldToPixelPoint(ve, DisplayedOpeningAt(ve)));

    dc.Polyline(points.data(), static_cast<int>(points.size()));

    const Rgb oldBk = dc.GetBkColor();
    const std::size_t count = points.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i == 0 && !startOnKey) continue;
        if (i == count - 1 && !ranOut) continue;
        const Point& p = points[i];
        dc.FillSolidRect(Rect{p.x - 1, p.y - 1, p.x + 2, p.y + 2}, Rgb{0, 0, 0});
    }
    dc.SetBkColor(oldBk);
}

void EnvView::OnLButtonDown(KeyState keys, Point point) {
    CVokraDoc* doc = GetDocument();
    const Rect r = mapping.GetPixelRect();
    const Rect grown{r.left - kHitRadius, r.top - kHitRadius, r.right + kHitRadius,
                     r.bottom + kHitRadius};
    if (!doc || mapping.IsInvalid() || !grown.Contains(point.x, point.y) || keys.shift) {
        MSBView::OnLButtonDown(keys, point);
        return;
    }
    TimelineState& ts = GetTimelineState();
    const bool inSelection = ts.IsInSelection(mapping.PixelToWorldX(point.x));

    Rect box{point.x - kHitRadius, point.y - kHitRadius, point.x + kHitRadius,
             point.y + kHitRadius};
    if (box.left < r.left) box.left = r.left;
    if (box.right > r.right) box.right = r.right;
    const KeyframeList& list = doc->GetKeys();
    int hits = 0;
    std::int32_t hitFrame = 0;
    for (std::int32_t i = 0, n = list.GetCount(); i < n; ++i) {
        const Keyframe* key = list.GetAt(i);
        const Point p = mapping.WorldToPixelPoint(key->GetFrame(), key->GetOpening());
        if (box.Contains(p.x, p.y)) {
            ++hits;
            hitFrame = key->GetFrame();
        }
    }

    if (inSelection && hits == 0) {
        MSBView::OnLButtonDown(keys, point);
        return;
    }
    if (!inSelection) {
        if (hits != 1) {
            MSBView::OnLButtonDown(keys, point);
            return;
        }
        ts.SetCursor(SnapPosition(hitFrame + 0.5));
        ts.SetAnchor(SnapPosition(hitFrame - 0.5));
        doc->UpdateAllViews(nullptr, kHintAll);
    }

    keyDragging = 1;
    keyDragStart = point;
    keyDragOffset = 0.0;

    bool any = false;
    double smallest = 0.0;
    double largest = 0.0;
    ForSelectedKeys(list, ts, [&](const Keyframe& key) {
        const double v = key.GetOpening();
        if (!any) {
            smallest = largest = v;
            any = true;
        } else if (v < smallest) {
            smallest = v;
        } else if (v > largest) {
            largest = v;
        }
    });
    if (!any) {
        keyDragOffsetMin = keyDragOffsetMax = 0.0;
    } else {
        keyDragOffsetMin = 0.0 - smallest;
        keyDragOffsetMax = 1.5 - largest;
    }
}

void EnvView::OnMouseMove(KeyState keys, Point point) {
    if (keyDragging == 0) {
        MSBView::OnMouseMove(keys, point);
        return;
    }
    double offset = mapping.PixelToWorldY(point.y) - mapping.PixelToWorldY(keyDragStart.y);
    if (offset < keyDragOffsetMin) offset = keyDragOffsetMin;
    if (offset > keyDragOffsetMax) offset = keyDragOffsetMax;
    if (offset != keyDragOffset) {
        keyDragOffset = offset;
        OnUpdate(nullptr, kHintAll);
    }
}

void EnvView::OnLButtonUp(KeyState keys, Point point) {
    if (keyDragging == 0) {
        MSBView::OnLButtonUp(keys, point);
        return;
    }
    keyDragging = 0;
    CVokraDoc* doc = GetDocument();
    TimelineState& ts = GetTimelineState();
    if (keyDragOffset == 0.0) return;
    if (!ts.HasSelection() || !doc) {
        // The selection went away during the drag: nothing to write, but the picture still
        // shows the moved keys.
        Invalidate();
        return;
    }
    KeyframeList& list = doc->GetKeys();
    bool any = false;
    Keyframe key;
    // The whole drag is one edit, written (and recorded) here at the release.
    doc->BeginKeyEdit("Move Keys", TruncFrame(ts.SelectionStart() + 1.0),
                      TruncFrame(ts.SelectionEnd()));
    ForSelectedKeys(list, ts, [&](const Keyframe& k) {
        key.SetFrame(k.GetFrame());
        key.SetOpening(static_cast<float>(k.GetOpening() + keyDragOffset));
        list.SetKey(key);
        any = true;
    });
    doc->EndKeyEdit(any);
    if (any) doc->UpdateAllViews(nullptr, kHintAll);
}

void EnvView::OnKeyDown(unsigned virtualKey, unsigned repeatCount, unsigned flags, KeyState keys) {
    CVokraDoc* doc = GetDocument();
    // Shift+Insert, Shift+Delete and Ctrl+Insert belong to the clipboard even while there is
    // nothing to paste or copy: they never fill or clear the selection.
    const bool plain = !keys.shift && !keys.ctrl;
    if (doc && plain && doc->OnKeyCommand(virtualKey, repeatCount, flags) == 1) return;
    MSBView::OnKeyDown(virtualKey, repeatCount, flags, keys);
}

}  // namespace vokra
