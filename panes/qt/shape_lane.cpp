#include "panes/qt/shape_lane.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "document/key_edit.h"
#include "document/shape_commands.h"
#include "document/shape_track.h"
#include "document/vokra_doc.h"

namespace vokra {
namespace {

// Pixels between the lane's plot and its edges; there are no rulers to make room for.
constexpr int kLaneMargin = 3;
// Cells leave this much of the plot above and below, so the selection band shows through.
constexpr int kCellInset = 3;

const char* const kShapeDescriptions[kMouthShapeCount] = {
    "Closed lips (M, B, P)",
    "Slightly open, teeth together",
    "Open (EH, AE)",
    "Wide open (AA)",
    "Slightly rounded (AO, ER)",
    "Puckered (OO, OW, W)",
    "Lower lip on teeth (F, V)",
    "Tongue up (L)",
    "Rest (silence)",
};

}  // namespace

Rgb ShapeColour(MouthShape shape) {
    // Light enough for black letters; neighbours in the mouth's travel differ in hue.
    static const Rgb colours[kMouthShapeCount] = {
        {236, 140, 140}, {246, 200, 130}, {246, 236, 130}, {190, 230, 130}, {140, 220, 196},
        {140, 184, 240}, {196, 164, 240}, {240, 164, 216}, {208, 208, 208},
    };
    const int i = MouthShapeIndex(shape);
    return i >= 0 && i < kMouthShapeCount ? colours[i] : Rgb{208, 208, 208};
}

QString ShapeMenuText(MouthShape shape) {
    const int i = MouthShapeIndex(shape);
    return QStringLiteral("&%1  %2")
        .arg(QChar::fromLatin1(MouthShapeLetter(shape)))
        .arg(QString::fromLatin1(kShapeDescriptions[i]));
}

ShapeLane::ShapeLane(CVokraDoc* doc, QWidget* parent) : MSBView(doc, parent, false) {
    SetVerticalMargin(kLaneMargin);
    setMinimumHeight(IdealHeight());
    // The pointer shows where a boundary can be taken before the button goes down.
    setMouseTracking(true);
}

TimelineState& ShapeLane::GetTimelineState() {
    return GetDocument() ? GetDocument()->GetTimeRange() : MSBView::GetTimelineState();
}

double ShapeLane::SnapPosition(double x) {
    return GetDocument() ? GetDocument()->SnapToFrameEdge(x) : MSBView::SnapPosition(x);
}

int ShapeLane::IdealHeight() const {
    // A plot of at least 25 pixels (smaller ones are not drawn), room for a letter in a cell,
    // and a line below the cells for the words of the script.
    const int text = QFontMetrics(font()).height();
    return std::max(25, text + 2 * kCellInset + 4) + WordRowHeight() + 2 * kLaneMargin;
}

int ShapeLane::WordRowHeight() const {
    return QFontMetrics(font()).height() + 2;
}

bool ShapeLane::SetShape(MouthShape shape) {
    CVokraDoc* doc = GetDocument();
    if (!doc || !SetSelectionShape(*doc, shape)) return false;
    doc->UpdateAllViews(nullptr, kHintAll);
    return true;
}

bool ShapeLane::ClearShapes() {
    CVokraDoc* doc = GetDocument();
    if (!doc || !ClearSelectionShapes(*doc)) return false;
    doc->UpdateAllViews(nullptr, kHintAll);
    return true;
}

void ShapeLane::Draw(DrawContext& dc) {
    dc.SetBkMode(TRANSPARENT);
    CVokraDoc* doc = GetDocument();
    if (doc) doc->UpdateExtent();
    TimelineState& ts = GetTimelineState();
    const Rect plot = InnerRect(ClientRect());
    if (IsTooSmall(plot)) {
        mapping.SetInvalid(1);
        return;
    }
    const double vs = ts.GetVisibleMin();
    const double ve = ts.GetVisibleMax();
    mapping.SetPixelRect(plot.left, plot.top, plot.right, plot.bottom);
    mapping.SetWorldRect(vs, ve, 2.0, 0.0);
    mapping.SetInvalid(0);

    DrawPlotFrame(dc, plot);
    if (doc) {
        const Rect oldClip = dc.GetClipBox();
        dc.SetClipRect(Rect{plot.left + 1, plot.top + 1, plot.right, plot.bottom});
        // With words placed, the cells leave the bottom line to them.
        const bool words =
            !doc->GetScriptWords().empty() && plot.bottom - plot.top > 2 * WordRowHeight();
        Rect cells = plot;
        if (words) cells.bottom -= WordRowHeight();
        DrawCells(dc, cells, vs, ve);
        if (words) DrawWords(dc, Rect{plot.left, cells.bottom, plot.right, plot.bottom});
        dc.SetClipRect(oldClip);
    }
    DrawCursorLine(dc, ts, plot);
}

void ShapeLane::DrawCells(DrawContext& dc, const Rect& plot, double vs, double ve) {
    const std::vector<ShapeEntry>& entries = GetDocument()->GetShapes().Entries();
    if (entries.empty()) return;
    const int top = plot.top + kCellInset;
    const int bottom = plot.bottom - kCellInset + 1;
    const Size letter = dc.GetTextExtent("W");
    const int textY = top + (bottom - top - letter.cy) / 2;
    // The frame whose cell reaches into view first: cell f covers f - 0.5 .. f + 0.5.
    const double firstVisible = std::floor(vs - 0.5);
    auto it = std::lower_bound(entries.begin(), entries.end(), firstVisible,
                               [](const ShapeEntry& e, double f) { return e.frame < f; });
    // Columns left of `painted` hold a cell already: with more frames than columns only the
    // first cell of each column is drawn, so the cost follows the width, not the length.
    int painted = plot.left + 1;
    while (it != entries.end() && it->frame - 0.5 < ve) {
        // A run: consecutive frames with the same shape and the same hand mark.
        auto last = it;
        while (std::next(last) != entries.end() && std::next(last)->frame == last->frame + 1 &&
               std::next(last)->shape == it->shape && std::next(last)->hand == it->hand) {
            ++last;
        }
        int x0 = mapping.WorldToPixelX(it->frame - 0.5);
        int x1 = mapping.WorldToPixelX(last->frame + 0.5);
        if (x1 <= x0) x1 = x0 + 1;
        x0 = std::max(x0, painted);
        if (x0 < x1) {
            dc.FillSolidRect(Rect{x0, top, x1, bottom}, ShapeColour(it->shape));
            if (it->hand) {
                // Outlined: the animator's own choice.
                const Rgb ink{0, 0, 0};
                dc.FillSolidRect(Rect{x0, top, x1, top + 1}, ink);
                dc.FillSolidRect(Rect{x0, bottom - 1, x1, bottom}, ink);
                dc.FillSolidRect(Rect{x0, top, x0 + 1, bottom}, ink);
                dc.FillSolidRect(Rect{x1 - 1, top, x1, bottom}, ink);
            }
            if (x1 - x0 >= letter.cx + 4) {
                const std::string text(1, MouthShapeLetter(it->shape));
                dc.TextOut(x0 + 3, textY, text);
                if (it->hand) dc.TextOut(x0 + 4, textY, text);  // bold by overprinting
            }
            painted = x1;
        }
        it = std::next(last);
    }
}

void ShapeLane::DrawWords(DrawContext& dc, const Rect& row) {
    const CVokraDoc& doc = *GetDocument();
    const double fps = doc.GetFrameRate();
    const int textY = row.top + 1;
    const Rgb found{40, 40, 40}, missing{190, 30, 30};
    int freeFrom = row.left + 1;  // a word's name is written only where the one before ended
    const Rgb before = dc.SetTextColor(found);
    for (const ScriptWordPlace& w : doc.GetScriptWords()) {
        // Frame f covers f - 0.5 .. f + 0.5 and starts at f / fps seconds.
        const int x0 = mapping.WorldToPixelX(w.start * fps - 0.5);
        const int x1 = std::max(mapping.WorldToPixelX(w.end * fps - 0.5), x0 + 1);
        if (x1 < row.left || x0 > row.right) continue;
        const Rgb ink = w.found ? found : missing;
        if (w.end > w.start) {
            // The word's span: a bar from its first frame to its last, with ticks at both ends.
            dc.FillSolidRect(Rect{x0, row.top, x1, row.top + 1}, ink);
            dc.FillSolidRect(Rect{x0, row.top, x0 + 1, row.bottom - 2}, ink);
        } else {
            // Left out: a mark where the walk passed it by.
            dc.FillSolidRect(Rect{x0 - 1, row.top, x0 + 2, row.top + 3}, ink);
        }
        const std::string text = w.found ? w.text : w.text + "?";
        const Size extent = dc.GetTextExtent(text);
        const int x = std::max(x0 + 2, freeFrom);
        if (x + extent.cx > std::max(x1, x0 + extent.cx + 2) + 40) continue;  // no room near it
        dc.SetTextColor(ink);
        dc.TextOut(x, textY, text);
        freeFrom = x + extent.cx + 4;
    }
    dc.SetTextColor(before);
}

void ShapeLane::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (mods == Qt::NoModifier) {
        const int key = event->key();
        if (key >= Qt::Key_A && key <= Qt::Key_Z) {
            if (const auto shape =
                    MouthShapeFromLetter(static_cast<char>('A' + (key - Qt::Key_A)))) {
                if (GetTimelineState().HasSelection()) {
                    SetShape(*shape);
                } else {
                    TypeShape(*shape);
                }
                event->accept();
                return;
            }
        }
        if (key == Qt::Key_Escape && boundary_.active) {
            CancelBoundaryDrag();
            event->accept();
            return;
        }
        if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) &&
            !(event->modifiers() & Qt::ShiftModifier)) {
            ClearShapes();
            event->accept();
            return;
        }
    }
    MSBView::keyPressEvent(event);
}

bool ShapeLane::TypeShape(MouthShape shape) {
    CVokraDoc* doc = GetDocument();
    if (!doc || boundary_.active) return false;
    TimelineState& ts = GetTimelineState();
    const double cursor = ts.GetCursor();
    // The frame after the cursor, as Paste and Guess Shapes take it; none past the timeline.
    if (!(cursor + 1.0 <= ts.GetExtentMax())) return false;
    const auto frame = static_cast<std::int32_t>(std::max(std::floor(cursor + 1.0), 0.0));
    SetFrameShape(*doc, frame, shape);
    const double next = SnapPosition(cursor + 1.0);
    ts.SetAnchor(next);
    ts.SetCursor(next);
    ts.ScrollToCursor();
    doc->UpdateAllViews(nullptr, kHintAll);
    return true;
}

int ShapeLane::FrameWidth() const {
    if (mapping.IsInvalid()) return 0;
    return mapping.WorldToPixelX(1.0) - mapping.WorldToPixelX(0.0);
}

QString ShapeLane::ToolTipAt(Point point) const {
    const CVokraDoc* doc = GetDocument();
    if (!doc || mapping.IsInvalid()) return {};
    const auto frame = static_cast<std::int32_t>(std::floor(mapping.PixelToWorldX(point.x) + 0.5));
    const ShapeEntry* entry = doc->GetShapes().Find(frame);
    if (!entry) return {};
    // Wide enough cells show their letter; the tooltip is for those that cannot.
    const int letter = QFontMetrics(font()).horizontalAdvance(QLatin1Char('W')) + 4;
    if (FrameWidth() >= letter) return {};
    QString text = QStringLiteral("Frame %1: %2")
                       .arg(frame)
                       .arg(ShapeMenuText(entry->shape).remove(QLatin1Char('&')));
    if (entry->hand) text += QStringLiteral(" (set by hand)");
    return text;
}

bool ShapeLane::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(Point{help->pos().x(), help->pos().y()});
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return MSBView::event(event);
}

void ShapeLane::focusOutEvent(QFocusEvent* event) {
    CancelBoundaryDrag();
    MSBView::focusOutEvent(event);
}

std::int32_t ShapeLane::BoundaryAt(Point point) const {
    constexpr int kReach = 3;
    const CVokraDoc* doc = GetDocument();
    // Frames narrower than a grip leave the clicks to the selection.
    if (!doc || mapping.IsInvalid() || FrameWidth() < 3 * kReach) return -1;
    if (!mapping.ContainsPixel(point.x, point.y)) return -1;
    const double x = mapping.PixelToWorldX(point.x);
    const double edge = std::floor(x) + 0.5;  // the frame edge nearest to x
    if (std::abs(mapping.WorldToPixelX(edge) - point.x) > kReach || edge < 0.0) return -1;
    const auto frame = static_cast<std::int32_t>(edge + 0.5);
    const ShapeTrack& track = doc->GetShapes();
    const ShapeEntry* left = track.Find(frame - 1);
    const ShapeEntry* right = track.Find(frame);
    return left && right && left->shape != right->shape ? frame : -1;
}

bool ShapeLane::BeginBoundaryDrag(std::int32_t frame) {
    CVokraDoc* doc = GetDocument();
    if (!doc) return false;
    const std::vector<ShapeEntry>& entries = doc->GetShapes().Entries();
    const auto at =
        std::lower_bound(entries.begin(), entries.end(), frame,
                         [](const ShapeEntry& e, std::int32_t f) { return e.frame < f; });
    if (at == entries.begin() || at == entries.end()) return false;
    // The two runs: consecutive frames of one shape on each side.
    auto lo = std::prev(at);
    while (lo != entries.begin() && std::prev(lo)->frame == lo->frame - 1 &&
           std::prev(lo)->shape == lo->shape) {
        --lo;
    }
    auto hi = at;
    while (std::next(hi) != entries.end() && std::next(hi)->frame == hi->frame + 1 &&
           std::next(hi)->shape == hi->shape) {
        ++hi;
    }
    BoundaryDrag drag;
    drag.first = lo->frame;
    drag.last = hi->frame;
    drag.origin = drag.at = frame;
    drag.left = std::prev(at)->shape;
    drag.right = at->shape;
    if (drag.last - drag.first + 1 > kMaxKeysPerEdit) return false;
    drag.original.assign(lo, std::next(hi));
    drag.active = true;
    doc->BeginKeyEdit("Move Shape Boundary", drag.first, drag.last, true);
    boundary_ = std::move(drag);
    // Any other edit (an undo, a paste) ends the drag first, as it was before.
    doc->SetKeyDragCanceller([this] { CancelBoundaryDrag(); });
    dragMode = 2;
    return true;
}

void ShapeLane::CancelBoundaryDrag() {
    if (!boundary_.active) return;
    CVokraDoc* doc = GetDocument();
    boundary_.active = false;
    dragMode = 0;
    if (!doc) return;
    doc->SetKeyDragCanceller(nullptr);
    doc->GetShapes().ReplaceRange(boundary_.first, boundary_.last, boundary_.original);
    doc->EndKeyEdit(false);
    doc->UpdateAllViews(nullptr, kHintAll);
}

void ShapeLane::OnLButtonDown(KeyState keys, Point point) {
    if (!keys.shift && !keys.ctrl) {
        const std::int32_t frame = BoundaryAt(point);
        if (frame >= 0 && BeginBoundaryDrag(frame)) return;
    }
    MSBView::OnLButtonDown(keys, point);
}

void ShapeLane::OnMouseMove(KeyState keys, Point point) {
    if (boundary_.active) {
        CVokraDoc* doc = GetDocument();
        if (!doc || mapping.IsInvalid()) return;
        // The boundary follows the pointer to the nearest frame edge; each run keeps a frame.
        const double x = mapping.PixelToWorldX(point.x);
        const double wanted =
            std::clamp(std::floor(x) + 1.0, double(boundary_.first) + 1.0, double(boundary_.last));
        const auto at = static_cast<std::int32_t>(wanted);
        if (at == boundary_.at) return;
        boundary_.at = at;
        MoveShapeBoundary(doc->GetShapes(), boundary_.original, boundary_.first, boundary_.last, at,
                          boundary_.left, boundary_.right);
        doc->UpdateAllViews(nullptr, kHintAll);
        return;
    }
    if (dragMode == 0) {
        if (BoundaryAt(point) >= 0) {
            setCursor(Qt::SplitHCursor);
        } else {
            unsetCursor();
        }
    }
    MSBView::OnMouseMove(keys, point);
}

void ShapeLane::OnLButtonUp(KeyState keys, Point point) {
    if (!boundary_.active) {
        MSBView::OnLButtonUp(keys, point);
        return;
    }
    CVokraDoc* doc = GetDocument();
    boundary_.active = false;
    dragMode = 0;
    if (!doc) return;
    doc->SetKeyDragCanceller(nullptr);
    // One step of the history, whatever the pointer went through on the way.
    doc->EndKeyEdit(boundary_.at != boundary_.origin);
    doc->UpdateAllViews(nullptr, kHintAll);
}

QMenu* ShapeLane::BuildContextMenu(Point point) {
    CVokraDoc* doc = GetDocument();
    if (doc && !mapping.IsInvalid()) {
        TimelineState& ts = GetTimelineState();
        const double x = mapping.PixelToWorldX(point.x);
        if (!ts.IsInSelection(x)) {
            // The menu acts on the selection: a click beside it means the frame clicked.
            const double frame = std::round(std::clamp(x, ts.GetExtentMin(), ts.GetExtentMax()));
            ts.SetAnchor(SnapPosition(frame - 0.5));
            ts.SetCursor(SnapPosition(frame + 0.5));
            doc->UpdateAllViews(nullptr, kHintAll);
        }
    }
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool selection = doc && GetTimelineState().HasSelection();
    for (int i = 0; i < kMouthShapeCount; ++i) {
        const MouthShape shape = *MouthShapeFromIndex(i);
        QAction* a =
            menu->addAction(ShapeMenuText(shape), this, [this, shape] { SetShape(shape); });
        a->setEnabled(selection);
    }
    menu->addSeparator();
    QAction* clear =
        menu->addAction(QStringLiteral("&Clear Shapes"), this, [this] { ClearShapes(); });
    clear->setEnabled(selection);
    if (!extraActions_.isEmpty()) {
        menu->addSeparator();
        menu->addActions(extraActions_);
    }
    return menu;
}

void ShapeLane::contextMenuEvent(QContextMenuEvent* event) {
    if (dragMode != 0) return;  // never in the middle of a drag selection
    setFocus(Qt::MouseFocusReason);
    QMenu* menu = BuildContextMenu(Point{event->pos().x(), event->pos().y()});
    menu->popup(event->globalPos());
    event->accept();
}

}  // namespace vokra
