#include "panes/qt/env_view.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "document/keyframe_list.h"
#include "document/vokra_doc.h"
#include "panes/axis.h"
#include "panes/frame_link.h"

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

EnvView::~EnvView() {
    if (keyDragging != 0 && GetDocument()) GetDocument()->SetKeyDragCanceller(nullptr);
}

TimelineState& EnvView::GetTimelineState() {
    return GetDocument() ? GetDocument()->GetTimeRange() : MSBView::GetTimelineState();
}

double EnvView::SnapPosition(double x) {
    return GetDocument() ? GetDocument()->SnapToFrameEdge(x) : MSBView::SnapPosition(x);
}

void EnvView::OnUpdate(View* sender, int hint) {
    // The selection widened or narrowed under a drag (Shift+End): the keys it moves now are
    // others, and none of them may leave 0..150 %.
    if (keyDragging != 0) {
        const TimelineState& ts = GetTimelineState();
        if (boundsSelection_ != std::pair(ts.SelectionStart(), ts.SelectionEnd()))
            UpdateKeyDragBounds();
    }
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

    if (doc) {
        // Openings outside 0..150 % would run through the rulers.
        const Rect oldClip = dc.GetClipBox();
        dc.SetClipRect(Rect{plot.left, plot.top, plot.right + 1, plot.bottom + 1});
        DrawKeys(dc, mapping, doc->GetKeys());
        dc.SetClipRect(oldClip);
    }

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

    KeyPictureKey key;
    key.keys = &keys;
    key.revision = keys.GetRevision();
    key.pixels = map.GetPixelRect();
    key.clip = dc.GetClipBox();
    key.visibleMin = vs;
    key.visibleMax = ve;
    key.dragging = keyDragging;
    key.denseKeysPerColumn = denseKeysPerColumn;
    if (keyDragging == 1) {
        // Only a drag makes the selection part of the picture.
        key.dragOffset = keyDragOffset;
        key.selectionStart = ts.SelectionStart();
        key.selectionEnd = ts.SelectionEnd();
    }
    if (!keyPictureValid_ || !(key == keyPictureKey_)) {
        ++keyPictureBuilds_;
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
        keyPicture_.hand.clear();
        keyPicture_.handFrames.clear();
        for (std::int32_t i = iStart;; ++i) {
            const Keyframe* k = keys.GetAt(i);
            if (!k) {
                ranOut = true;
                break;
            }
            const double f = k->GetFrame();
            double v = k->GetOpening();
            if (keyDragging == 1 && ts.IsInSelection(f)) v += keyDragOffset;
            if (f < vs) continue;
            if (f > ve) {
                beyond = true;
                break;
            }
            points.push_back(map.WorldToPixelPoint(f, v));
            if (k->IsHandMade()) {
                keyPicture_.hand.push_back(points.back());
                keyPicture_.handFrames.push_back(f);
            }
        }
        if (beyond) points.push_back(map.WorldToPixelPoint(ve, DisplayedOpeningAt(ve)));

        const Rect r = map.GetPixelRect();
        const double columns = std::abs(r.right - r.left) + 1.0;
        BuildKeyPicture(points, key.clip, startOnKey, ranOut,
                        points.size() > denseKeysPerColumn * columns, keyPicture_);
        // Where hand-made keys are denser than the columns their squares would only paint the
        // pane black, so they are left out there.
        if (keyPicture_.hand.size() > columns) {
            keyPicture_.hand.clear();
            keyPicture_.handFrames.clear();
        }
        keyPictureKey_ = key;
        keyPictureValid_ = true;
    }

    const Rgb oldBk = dc.GetBkColor();
    if (!keyPicture_.line.empty()) {
        dc.Polyline(keyPicture_.line.data(), static_cast<int>(keyPicture_.line.size()));
    }
    for (const Rect& mark : keyPicture_.marks) dc.FillSolidRect(mark, Rgb{0, 0, 0});
    // Keys set by hand: a hollow square around the mark.
    for (std::size_t k = 0; k < keyPicture_.hand.size(); ++k) {
        DrawHandMark(
            dc, keyPicture_.hand[k],
            ts.IsInSelection(keyPicture_.handFrames[k]) ? selectionColour : backgroundColour);
    }
    dc.SetBkColor(oldBk);
}

void EnvView::DrawHandMark(DrawContext& dc, Point p, Rgb inside) {
    const Rgb ink{0, 0, 0};
    dc.FillSolidRect(Rect{p.x - 2, p.y - 2, p.x + 3, p.y - 1}, ink);
    dc.FillSolidRect(Rect{p.x - 2, p.y + 2, p.x + 3, p.y + 3}, ink);
    dc.FillSolidRect(Rect{p.x - 2, p.y - 1, p.x - 1, p.y + 2}, ink);
    dc.FillSolidRect(Rect{p.x + 2, p.y - 1, p.x + 3, p.y + 2}, ink);
    dc.FillSolidRect(Rect{p.x - 1, p.y - 1, p.x + 2, p.y + 2}, inside);
}

void EnvView::BuildKeyPicture(const std::vector<Point>& points, const Rect& clip, bool startOnKey,
                              bool ranOut, bool dense, KeyPicture& out) {
    out.line.clear();
    out.marks.clear();
    const std::size_t count = points.size();
    if (count == 0) return;
    auto marked = [&](std::size_t i) {
        return !(i == 0 && !startOnKey) && !(i == count - 1 && !ranOut);
    };
    if (!dense) {
        out.line = points;
        for (std::size_t i = 0; i < count; ++i) {
            if (!marked(i)) continue;
            const Point& p = points[i];
            out.marks.push_back(Rect{p.x - 1, p.y - 1, p.x + 2, p.y + 2});
        }
        return;
    }

    // The line: inside one pixel column the vertical steps between its points cover every row
    // from the lowest point to the highest, and the step out of the column starts at its last
    // point. So first, lowest, highest (in the order they came) and last draw the same pixels.
    // The last column keeps every point: there the line's final end pixel is left out.
    std::vector<Point>& line = out.line;
    line.reserve(4 * static_cast<std::size_t>(clip.Width() + 2) + 8);
    auto push = [&line](Point p) {
        if (line.empty() || !(line.back() == p)) line.push_back(p);
    };
    std::size_t i = 0;
    while (i < count) {
        std::size_t j = i;
        std::size_t lo = i;
        std::size_t hi = i;
        while (j < count && points[j].x == points[i].x) {
            if (points[j].y < points[lo].y) lo = j;
            if (points[j].y > points[hi].y) hi = j;
            ++j;
        }
        if (j == count) {
            for (std::size_t k = i; k < count; ++k) line.push_back(points[k]);
        } else {
            push(points[i]);
            push(points[std::min(lo, hi)]);
            push(points[std::max(lo, hi)]);
            push(points[j - 1]);
        }
        i = j;
    }

    // The marks: 3x3 squares, wherever the clip lets them show. Each centre column gets a bit
    // mask of the rows its squares cover; a pixel column is covered by the squares of its own
    // centre column and both neighbours, kept as the runs of rows set in the three masks.
    const int width = clip.Width();
    const int height = clip.Height();
    if (width <= 0 || height <= 0) return;
    const int words = (height + 63) / 64;
    // Centre columns run one beyond the clip on each side (their squares reach into it).
    const int cols = width + 2;
    std::vector<std::uint64_t> masks(static_cast<std::size_t>(cols) * words, 0);
    std::vector<std::uint8_t> used(static_cast<std::size_t>(cols), 0);
    for (std::size_t k = 0; k < count; ++k) {
        if (!marked(k)) continue;
        const int c = points[k].x - clip.left + 1;
        const int row = points[k].y - clip.top;
        if (c < 0 || c >= cols || row < -1 || row > height) continue;
        std::uint64_t* mask = &masks[static_cast<std::size_t>(c) * words];
        for (int y = std::max(0, row - 1); y <= std::min(height - 1, row + 1); ++y)
            mask[y / 64] |= std::uint64_t{1} << (y % 64);
        used[static_cast<std::size_t>(c)] = 1;
    }
    std::vector<std::uint64_t> covered(static_cast<std::size_t>(words));
    for (int x = 0; x < width; ++x) {
        // Pixel column x of the clip is centre column x + 1.
        if (!used[x] && !used[x + 1] && !used[x + 2]) continue;
        const std::uint64_t* a = &masks[static_cast<std::size_t>(x) * words];
        for (int w = 0; w < words; ++w) covered[w] = a[w] | a[w + words] | a[w + 2 * words];
        const int px = clip.left + x;
        int y = 0;
        while (y < height) {
            // The next set row, then the next clear one after it.
            int w = y / 64;
            std::uint64_t bits = covered[w] & (~std::uint64_t{0} << (y % 64));
            while (bits == 0 && ++w < words) bits = covered[w];
            if (bits == 0) break;
            const int start = w * 64 + std::countr_zero(bits);
            bits = ~covered[w] & (~std::uint64_t{0} << (start % 64));
            while (bits == 0 && ++w < words) bits = ~covered[w];
            const int end = bits == 0 ? height : std::min(height, w * 64 + std::countr_zero(bits));
            out.marks.push_back(Rect{px, clip.top + start, px + 1, clip.top + end});
            y = end;
        }
    }
}

void EnvView::OnLButtonDown(KeyState keys, Point point) {
    // A press while a drag is still on means its release went elsewhere (a dialog took it): that
    // drag ends unwritten rather than lending its offset to this click.
    CancelKeyDrag();
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
    // Keys a few pixels apart (the whole timeline in view) both fall in the box: the nearest one
    // is meant.
    const Keyframe* hit = KeyNearest(point, box);

    if (!hit) {
        MSBView::OnLButtonDown(keys, point);
        return;
    }
    if (!inSelection) {
        const std::int32_t hitFrame = hit->GetFrame();
        ts.SetCursor(SnapPosition(hitFrame + 0.5));
        ts.SetAnchor(SnapPosition(hitFrame - 0.5));
        doc->UpdateAllViews(nullptr, kHintAll);
    }

    keyDragging = 1;
    keyDragStart = point;
    keyDragOffset = 0.0;
    // Moves without a button reach the pane only while it tracks the mouse: they tell it the
    // release went elsewhere.
    setMouseTracking(true);
    // Any other key edit (undo, paste, a rate change...) ends this drag first, as cancelled.
    doc->SetKeyDragCanceller([this] { CancelKeyDrag(); });

    UpdateKeyDragBounds();
    if (FrameLink* frame = MainFrameLink()) frame->OnKeyDrag(true);
}

void EnvView::UpdateKeyDragBounds() {
    const TimelineState& ts = GetTimelineState();
    const CVokraDoc* doc = GetDocument();
    boundsSelection_ = {ts.SelectionStart(), ts.SelectionEnd()};
    bool any = false;
    double smallest = 0.0;
    double largest = 0.0;
    if (doc) {
        ForSelectedKeys(doc->GetKeys(), ts, [&](const Keyframe& key) {
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
    }
    if (!any) {
        keyDragOffsetMin = keyDragOffsetMax = 0.0;
    } else {
        // Keys already outside 0..150 % (from a file) may be dragged back but not further out;
        // never a jump: the range always holds "no move".
        keyDragOffsetMin = std::min(0.0, 0.0 - smallest);
        keyDragOffsetMax = std::max(0.0, 1.5 - largest);
    }
    keyDragOffset = std::clamp(keyDragOffset, keyDragOffsetMin, keyDragOffsetMax);
}

const Keyframe* EnvView::KeyNearest(Point point, const Rect& box) const {
    const CVokraDoc* doc = GetDocument();
    if (!doc || box.right <= box.left) return nullptr;
    const KeyframeList& list = doc->GetKeys();
    // Only the frames under the box can hold a hit.
    double a = mapping.PixelToWorldX(box.left);
    double b = mapping.PixelToWorldX(box.right);
    if (a > b) std::swap(a, b);
    const Rect plot = InnerRect(ClientRect());
    bool found = false;
    std::int32_t index = 0;
    list.Find(TruncFrame(std::floor(a)), found, index);
    const Keyframe* best = nullptr;
    std::int64_t bestDistance = 0;
    for (const Keyframe* key = list.GetAt(index); key && key->GetFrame() <= std::ceil(b);
         key = list.GetAt(++index)) {
        Point p = mapping.WorldToPixelPoint(key->GetFrame(), key->GetOpening());
        // A key drawn clipped is grabbed at the plot's edge.
        p.y = std::clamp(p.y, plot.top, plot.bottom);
        if (!box.Contains(p.x, p.y)) continue;
        const std::int64_t dx = p.x - point.x;
        const std::int64_t dy = p.y - point.y;
        const std::int64_t d = dx * dx + dy * dy;
        if (!best || d < bestDistance) {
            best = key;
            bestDistance = d;
        }
    }
    return best;
}

void EnvView::CancelKeyDrag() {
    if (keyDragging == 0) return;
    keyDragging = 0;
    setMouseTracking(false);
    keyDragOffset = 0.0;
    // Nothing was written: the keys are as they were, and no other edit ran in between.
    CVokraDoc* doc = GetDocument();
    if (doc) doc->SetKeyDragCanceller(nullptr);
    if (FrameLink* frame = MainFrameLink()) frame->OnKeyDrag(false);
    if (doc) {
        doc->UpdateAllViews(nullptr, kHintAll);
    } else {
        Invalidate();
    }
}

void EnvView::focusOutEvent(QFocusEvent* event) {
    // A dialog, a menu or another window took the keyboard, and with it the release.
    CancelKeyDrag();
    MSBView::focusOutEvent(event);
}

void EnvView::mouseMoveEvent(QMouseEvent* event) {
    if (keyDragging != 0 && !(event->buttons() & Qt::LeftButton)) {
        CancelKeyDrag();  // the button came up where this pane could not see it
        return;
    }
    MSBView::mouseMoveEvent(event);
}

void EnvView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && keyDragging != 0) {
        CancelKeyDrag();
        event->accept();
        return;
    }
    MSBView::keyPressEvent(event);
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
    setMouseTracking(false);
    CVokraDoc* doc = GetDocument();
    if (doc) doc->SetKeyDragCanceller(nullptr);
    if (FrameLink* frame = MainFrameLink()) frame->OnKeyDrag(false);
    TimelineState& ts = GetTimelineState();
    if (keyDragOffset == 0.0) return;
    if (!ts.HasSelection() || !doc) {
        // The selection went away during the drag: nothing to write, but the picture still
        // shows the moved keys.
        Invalidate();
        return;
    }
    // Bounded by the keys it writes now, whatever the selection did during the drag.
    UpdateKeyDragBounds();
    if (keyDragOffset == 0.0) {
        doc->UpdateAllViews(nullptr, kHintAll);
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
        key.SetHandMade(true);  // dragged: the animator's own opening
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
