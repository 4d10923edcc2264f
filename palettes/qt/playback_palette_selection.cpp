// What the Playback palette does to the selection and the keys: the typed Start and End frames
// and %Open opening, checked against the timeline (a refused value is prompted for and shown
// again), committed before a command that saves or replaces the document, and the Prev Key and
// Next Key steps.
#include <QLineEdit>

#include "palettes/qt/playback_palette.h"
#include "platform/message_service.h"
#include "platform/qt/ddx.h"
#include "platform/trunc_int.h"

namespace vokra {
namespace {

// Leading digits of an edit's text as a whole number (huge values saturate, never overflow).
long long EditValue(const QLineEdit* edit) {
    long long v = 0;
    if (!ParseLeadingInt(edit->text().toStdString(), v)) v = 0;
    return v;
}

bool EditEmpty(const QLineEdit* edit) {
    return edit->text().isEmpty();
}

// A frame the timeline holds; an empty edit counts as one (it has its own meaning).
bool EditInRange(const QLineEdit* edit, double extentEnd) {
    if (EditEmpty(edit)) return true;
    const long long v = EditValue(edit);
    return v >= 0 && v <= extentEnd;
}

}  // namespace

void CPlaybackPalette::OnNextKey() {
    if (!m_pDoc) return;
    if (const Keyframe* key = m_pDoc->GetKeyAfterSelection()) SelectFrame(key->GetFrame());
    m_pDoc->UpdateAllViews(nullptr, kHintAll);
}

void CPlaybackPalette::OnPrevKey() {
    if (!m_pDoc) return;
    if (const Keyframe* key = m_pDoc->GetKeyBeforeSelection()) SelectFrame(key->GetFrame());
    m_pDoc->UpdateAllViews(nullptr, kHintAll);
}

void CPlaybackPalette::SelectFrame(std::int32_t k) {
    TimelineState& ts = m_pDoc->GetTimeRange();
    const double lo = k - 0.5;
    const double hi = k + 0.5;
    // The cursor lands on the side of the frame facing the direction of travel.
    if (k < ts.GetCursor()) {
        ts.SetAnchor(hi);
        ts.SetCursor(lo);
    } else {
        ts.SetAnchor(lo);
        ts.SetCursor(hi);
    }
    const double viewStart = ts.GetVisibleMin();
    const double viewEnd = ts.GetVisibleMax();
    if (viewStart + 0.15 > lo || viewEnd - 0.15 < hi) {
        const double w = viewEnd - viewStart;
        ts.SetVisibleRange(k - w / 2, k + w / 2);
    }
}

void CPlaybackPalette::PostBadValue(int which, int maximum) {
    // Prompting inside the focus change would fight it; the prompt comes once the change is done.
    m_pendingBadValues |= 1u << which;
    QMetaObject::invokeMethod(
        this,
        [this, which, maximum] {
            if (m_pendingBadValues & (1u << which)) OnBadValue(which, maximum);
        },
        Qt::QueuedConnection);
}

void CPlaybackPalette::OnKillFocusStart() {
    if (!m_bStartModified || !m_pDoc) return;
    TimelineState& ts = m_pDoc->GetTimeRange();
    const double extentEnd = ts.GetExtentMax();
    if (EditEmpty(m_editStart)) {
        double x = ts.HasSelection() ? ts.SelectionEnd() - 1.0 : ts.SelectionStart();
        x = m_pDoc->SnapToFrameEdge(x);
        ts.SetCursor(x);
        ts.SetAnchor(x);
        ts.ScrollToCursor();
        m_pDoc->UpdateAllViews(nullptr, kHintAll);
        return;
    }
    const long long s = EditValue(m_editStart);
    if (s > extentEnd || s < 0) {
        PostBadValue(0, TruncToInt32(extentEnd));
        return;
    }
    if (EditEmpty(m_editEnd)) {
        const double x = m_pDoc->SnapToFrameEdge(s - 0.5);
        ts.SetCursor(x);
        ts.SetAnchor(x);
        ts.ScrollToCursor();
        m_pDoc->UpdateAllViews(nullptr, kHintAll);
        return;
    }
    // An End that was refused stays refused: the selection is left as it was.
    if (!EditInRange(m_editEnd, extentEnd)) return;
    const long long e = EditValue(m_editEnd);
    double a, b;
    if (s > e) {
        a = s + 0.5;
        b = e - 0.5;
    } else {
        a = s - 0.5;
        b = e + 0.5;
    }
    m_bCommittingEdit = true;
    ts.SetAnchor(b);
    ts.SetCursor(a);  // the cursor goes to the Start side
    m_bCommittingEdit = false;
    ts.ScrollToCursor();
    m_bEndModified = true;
    m_pDoc->UpdateAllViews(nullptr, kHintKeepStartEnd);
}

void CPlaybackPalette::OnKillFocusEnd() {
    if (!m_bEndModified || !m_pDoc) return;
    TimelineState& ts = m_pDoc->GetTimeRange();
    const double extentEnd = ts.GetExtentMax();
    // A Start that was refused (its prompt is on its way) must not reach the selection through
    // End, whatever order the focus changes come in.
    if (!EditInRange(m_editStart, extentEnd)) return;
    const long long s = EditEmpty(m_editStart) ? 0 : EditValue(m_editStart);
    if (EditEmpty(m_editEnd)) {
        ts.SetCursor(s - 0.5);
        ts.SetAnchor(s - 0.5);
        ts.ScrollToCursor();
        m_pDoc->UpdateAllViews(nullptr, kHintAll);
        return;
    }
    const long long e = EditValue(m_editEnd);
    if (e > extentEnd || e < 0) {
        PostBadValue(1, TruncToInt32(extentEnd));
        return;
    }
    double a, b;
    if (e < s) {
        b = e - 0.5;
        a = s + 0.5;
    } else {
        a = s - 0.5;
        b = e + 0.5;
    }
    ts.SetAnchor(a);
    ts.SetCursor(b);  // the cursor goes to the End side
    ts.ScrollToCursor();
    m_pDoc->UpdateAllViews(nullptr, kHintAll);
}

void CPlaybackPalette::OnKillFocusOpen() {
    if (!m_bOpenModified || !m_pDoc) return;
    if (EditEmpty(m_editOpen)) {
        m_pDoc->UpdateAllViews(nullptr, kHintAll);  // shows the value again
        return;
    }
    const long long v = EditValue(m_editOpen);
    if (v < 0 || v > 150) {
        PostBadValue(2, 150);
        return;
    }
    const TimelineState& ts = m_pDoc->GetTimeRange();
    KeyframeList& keys = m_pDoc->GetKeys();
    bool changed = false;
    if (ts.HasSelection()) {
        const std::int32_t first = TruncToInt32(ts.SelectionStart() + 1.0);
        const std::int32_t last = TruncToInt32(ts.SelectionEnd());
        m_pDoc->BeginKeyEdit("Set Opening", first, last);
        bool found = false;
        std::int32_t index = 0;
        keys.Find(first, found, index);
        for (const Keyframe* k = keys.GetAt(index); k && k->GetFrame() <= last;
             k = keys.GetAt(++index)) {
            Keyframe key(k->GetFrame(), static_cast<float>(v / 100.0));
            key.SetHandMade(true);  // typed: the animator's own opening
            keys.SetKey(key);       // overwrites in place: the index stays valid
            changed = true;
        }
        m_pDoc->EndKeyEdit(changed);
    }
    m_pDoc->UpdateAllViews(nullptr, kHintAll);
}

bool CPlaybackPalette::CommitPendingEdits() {
    if (!m_pDoc || (!m_bStartModified && !m_bEndModified && !m_bOpenModified)) return true;
    const double extentEnd = m_pDoc->GetTimeRange().GetExtentMax();
    const int lastFrame = TruncToInt32(extentEnd);
    // Checked before anything is applied, and said at once: the command waits for the answer.
    if (m_bStartModified && !EditInRange(m_editStart, extentEnd)) {
        OnBadValue(0, lastFrame);
        return false;
    }
    if ((m_bStartModified || m_bEndModified) && !EditInRange(m_editEnd, extentEnd)) {
        OnBadValue(1, lastFrame);
        return false;
    }
    if (m_bOpenModified && !EditEmpty(m_editOpen)) {
        const long long v = EditValue(m_editOpen);
        if (v < 0 || v > 150) {
            OnBadValue(2, 150);
            return false;
        }
    }
    const bool open = m_bOpenModified;
    const QString openText = m_editOpen->text();
    OnKillFocusStart();
    OnKillFocusEnd();
    if (open) {
        // A selection change above showed the new selection's opening in the edit.
        m_editOpen->setText(openText);
        m_bOpenModified = true;
        OnKillFocusOpen();
    }
    m_bStartModified = m_bEndModified = m_bOpenModified = false;
    return true;
}

void CPlaybackPalette::OnBadValue(int which, int maximum) {
    m_pendingBadValues &= ~(1u << which);
    if (!isVisible()) show();
    const std::string text = which == 2
                                 ? std::string("Please Enter a size between 0 and 150")
                                 : "Please Enter a size between 0 and " + std::to_string(maximum);
    MessageRequest request;
    request.text = text;
    request.buttons = MsgButtons::Ok;
    request.icon = MsgIcon::None;
    request.owner = static_cast<QWidget*>(this);
    Messages().Show(request);
    QLineEdit* edit = which == 0 ? m_editStart : which == 1 ? m_editEnd : m_editOpen;
    edit->setFocus();
    // The refused number goes: the edit shows the value in force again, ready to be retyped. Only
    // now, once the other edit has lost the focus while this one still held a refused value.
    SetEditText(edit, ShownText(edit));
    edit->selectAll();
}

}  // namespace vokra
