// The two tool palettes seen from the main frame: showing and hiding them (a palette that hides
// itself with Escape included), their first place beside the window, and the keys the frame takes
// from any of its windows: Space for playback, F6 through the panes and palettes, Insert and Delete
// from the upper pane.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <algorithm>

#include "app/commands.h"
#include "app/main_frame.h"
#include "document/vokra_doc.h"
#include "panes/qt/env_view.h"
#include "panes/qt/timeline_lanes.h"
#include "panes/qt/wave_view.h"

namespace vokra {

void CMainFrame::OnPlaybackPalette() {
    playbackPaletteShown = playbackPaletteShown ? 0 : 1;
    const bool visible = playbackPalette.isVisible();
    togglingPalette_ = true;
    if (playbackPaletteShown && !visible) {
        playbackPalette.SetDocument(doc_);
        if (doc_) doc_->SetPlaybackPalette(&playbackPalette);
        playbackPalette.show();
        playbackPalette.Refresh(0);
    } else if (!playbackPaletteShown && visible) {
        playbackPalette.hide();
        if (doc_) doc_->SetPlaybackPalette(nullptr);
    }
    togglingPalette_ = false;
    UpdateCheckMarks();
}

void CMainFrame::OnAutoKeyPalette() {
    autoKeyPaletteShown = autoKeyPaletteShown ? 0 : 1;
    const bool visible = autoKeyPalette.isVisible();
    togglingPalette_ = true;
    if (autoKeyPaletteShown && !visible) {
        autoKeyPalette.SetDocument(doc_);
        if (doc_) doc_->SetAutoKeyPalette(&autoKeyPalette);
        autoKeyPalette.show();
        autoKeyPalette.UpdateRangeLabel(0);
    } else if (!autoKeyPaletteShown && visible) {
        autoKeyPalette.hide();
        if (doc_) doc_->SetAutoKeyPalette(nullptr);
    }
    togglingPalette_ = false;
    UpdateCheckMarks();
}

void CMainFrame::OnNextPane(bool previous) {
    if (!lanes_) return;
    // The lanes on show: a hidden one takes no focus.
    std::vector<QWidget*> stops;
    for (MSBView* lane : lanes_->Lanes()) {
        if (lanes_->IsLaneShown(lane)) stops.push_back(lane);
    }
    const int laneStops = static_cast<int>(stops.size());
    if (playbackPaletteShown && playbackPalette.isVisible()) stops.push_back(&playbackPalette);
    if (autoKeyPaletteShown && autoKeyPalette.isVisible()) stops.push_back(&autoKeyPalette);
    QWidget* focus = QApplication::focusWidget();
    const int n = static_cast<int>(stops.size());
    int at = -1;
    for (int i = 0; i < n && focus; ++i) {
        if (focus == stops[i] || stops[i]->isAncestorOf(focus)) at = i;
    }
    int next;
    if (at < 0) {
        // From elsewhere: the top lane, or the bottom one backwards.
        next = previous ? laneStops - 1 : 0;
    } else {
        next = (at + (previous ? n - 1 : 1)) % n;
    }
    QWidget* target = stops[static_cast<std::size_t>(next)];
    const Qt::FocusReason reason = previous ? Qt::BacktabFocusReason : Qt::TabFocusReason;
    if (target->isWindow()) {
        // A palette: its window comes forward with the control that last had the focus there.
        target->raise();
        target->activateWindow();
        QWidget* inside = target->focusWidget();
        for (QWidget* w = target->nextInFocusChain(); !inside && w && w != target;
             w = w->nextInFocusChain()) {
            if (w->isVisibleTo(target) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
                inside = w;
        }
        if (inside) inside->setFocus(reason);
        return;
    }
    if (!isActiveWindow()) activateWindow();
    target->setFocus(reason);
}

void CMainFrame::PlacePalettes() {
    constexpr int kGap = 8;
    const QRect frame = frameGeometry();
    const QScreen* where = screen();
    const QRect screenRect = where ? where->availableGeometry() : frame.adjusted(-2000, 0, 2000, 0);
    const QSize ak = autoKeyPalette.size();
    const QSize pb = playbackPalette.size();
    // Beside the window, growing to the right; or inside its right edge, growing to the left.
    const bool beside = frame.right() + kGap + ak.width() <= screenRect.right();
    const int top = std::max(beside ? frame.top() : geometry().top() + 60, screenRect.top());
    // Never off the screen's left edge, whatever their size.
    const int akX = std::max(screenRect.left(),
                             beside ? frame.right() + kGap : frame.right() - kGap - ak.width());
    autoKeyPalette.move(akX, top);
    QPoint pbPos(akX, top + ak.height() + 3 * kGap);
    if (pbPos.y() + pb.height() > screenRect.bottom()) {
        pbPos = QPoint(
            std::max(screenRect.left(), beside ? akX + ak.width() + kGap : akX - kGap - pb.width()),
            top);
    }
    playbackPalette.move(pbPos);
}

bool CMainFrame::IsSpaceForUs(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return false;
    QWidget* window = widget->window();
    if (window != this && window != &playbackPalette && window != &autoKeyPalette) return false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    // Only a place that takes typing keeps Space for itself: a focused button (after Next Key,
    // say) plays rather than being pressed. The key goes to the focused widget, so the receiver
    // tells which one has the focus.
    if (const auto* line = qobject_cast<const QLineEdit*>(widget)) return line->isReadOnly();
    if (widget->inherits("QTextEdit") || widget->inherits("QPlainTextEdit") ||
        widget->inherits("QAbstractSpinBox")) {
        return false;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return !combo->isEditable();
    return true;
}

bool CMainFrame::OnFrameKey(QObject* watched, QKeyEvent* key) {
    // Insert and Delete edit the keys whichever pane has the keyboard: the upper pane hands them
    // to the lower one, which owns the keys.
    if (watched == wavePane && envelopePane && key->modifiers() == Qt::NoModifier &&
        (key->key() == Qt::Key_Insert || key->key() == Qt::Key_Delete)) {
        envelopePane->OnKeyDown(VirtualKeyFromQt(key->key()), 1,
                                key->isAutoRepeat() ? kKeyFlagRepeat : 0u, KeyState{});
        return true;
    }
    // F6 from inside a palette (the frame's own shortcut covers its window only).
    if (key->key() == Qt::Key_F6 && !QApplication::activeModalWidget()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* window = widget ? widget->window() : nullptr;
        if (window == &playbackPalette || window == &autoKeyPalette) {
            OnNextPane((key->modifiers() & Qt::ShiftModifier) != 0);
            return true;
        }
    }
    return false;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier &&
                IsSpaceForUs(watched)) {
                // Holding Space down would start and stop playback over and over.
                if (!key->isAutoRepeat()) OnCommand(ID_SPACE);
                return true;
            }
            if (OnFrameKey(watched, key)) return true;
            break;
        }
        case QEvent::KeyRelease: {
            const int k = static_cast<QKeyEvent*>(event)->key();
            if (k == Qt::Key_CapsLock || k == Qt::Key_NumLock || k == Qt::Key_ScrollLock) {
                UpdateIndicators();
            }
            break;
        }
        case QEvent::ApplicationActivate:
            UpdateIndicators();
            break;
        case QEvent::Hide:
            // A palette that hid itself (Escape) is off: its check mark and button follow, and the
            // next click shows it again.
            if (!togglingPalette_ && !event->spontaneous()) {
                if (watched == &playbackPalette && playbackPaletteShown) {
                    playbackPaletteShown = 0;
                    if (doc_) doc_->SetPlaybackPalette(nullptr);
                    UpdateCheckMarks();
                } else if (watched == &autoKeyPalette && autoKeyPaletteShown) {
                    autoKeyPaletteShown = 0;
                    if (doc_) doc_->SetAutoKeyPalette(nullptr);
                    UpdateCheckMarks();
                }
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace vokra
