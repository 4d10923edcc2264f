// What the Playback palette's fields show: the Start and End frames of the selection, the count,
// smallest and largest opening of the selected keys with their common opening in %Open, the
// preview's frame, and the Play and Pause buttons' texts for the play state.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "palettes/qt/lip_preview.h"
#include "palettes/qt/palette_controls.h"
#include "palettes/qt/playback_palette.h"
#include "platform/trunc_int.h"

namespace vokra {

void CPlaybackPalette::SetEditText(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    if (edit == m_editStart) m_bStartModified = false;
    if (edit == m_editEnd) m_bEndModified = false;
    if (edit == m_editOpen) m_bOpenModified = false;
}

QString CPlaybackPalette::ShownText(const QLineEdit* edit) const {
    if (!m_pDoc) return {};
    const TimelineState& ts = m_pDoc->GetTimeRange();
    const bool selection = ts.HasSelection();
    if (edit == m_editStart) return QString::number(TruncToInt32(ts.SelectionStart() + 1.0));
    if (edit == m_editEnd) {
        return selection ? QString::number(TruncToInt32(ts.SelectionEnd())) : QString();
    }
    if (!selection) return {};
    const KeyframeList& keys = m_pDoc->GetKeys();
    const std::int32_t last = TruncToInt32(ts.SelectionEnd());
    bool found = false;
    std::int32_t index = 0;
    keys.Find(TruncToInt32(ts.SelectionStart() + 1.0), found, index);
    std::int32_t common = -1;
    for (const Keyframe* k = keys.GetAt(index); k && k->GetFrame() <= last;
         k = keys.GetAt(++index)) {
        const std::int32_t p = TruncToInt32(k->GetOpening() * 100.0 + 0.5);
        if (common >= 0 && p != common) return {};
        common = p;
    }
    return common >= 0 ? QString::number(common) : QString();
}

void CPlaybackPalette::Refresh(int code) {
    if (m_pDoc) {
        const TimelineState& ts = m_pDoc->GetTimeRange();
        const KeyframeList& keys = m_pDoc->GetKeys();
        const bool selection = ts.HasSelection();
        const std::int32_t first = TruncToInt32(ts.SelectionStart() + 1.0);
        const std::int32_t last = TruncToInt32(ts.SelectionEnd());
        if (code != kHintKeepStartEnd) {
            SetEditText(m_editStart, QString::number(first));
            SetEditText(m_editEnd, selection ? QString::number(last) : QString());
        }

        std::int32_t count = 0, minimum = 0, maximum = 0;
        if (selection) {
            bool found = false;
            std::int32_t index = 0;
            keys.Find(first, found, index);
            for (const Keyframe* k = keys.GetAt(index); k && k->GetFrame() <= last;
                 k = keys.GetAt(++index)) {
                const std::int32_t p = TruncToInt32(k->GetOpening() * 100.0 + 0.5);
                if (count == 0) {
                    minimum = maximum = p;
                } else if (p < minimum) {
                    minimum = p;
                } else if (p > maximum) {
                    maximum = p;
                }
                ++count;
            }
        }
        m_wndKeyCount->setText(selection ? QString::number(count) : QString());
        m_wndMinOpen->setText(count > 0 ? QString::number(minimum) : QString());
        m_wndMaxOpen->setText(count > 0 ? QString::number(maximum) : QString());
        SetEditReadOnly(m_editOpen, count == 0);
        SetEditText(m_editOpen,
                    count > 0 && minimum == maximum ? QString::number(minimum) : QString());

        m_btnPrevKey->setEnabled(m_pDoc->GetKeyBeforeSelection() != nullptr);
        m_btnNextKey->setEnabled(m_pDoc->GetKeyAfterSelection() != nullptr);

        if (code != kHintVisibleRange) {
            // The selected frame next to the cursor, or the frame right of a lone cursor.
            std::int32_t c = TruncToInt32(ts.GetCursor() + 1.0);
            if (selection && ts.GetCursor() == ts.SelectionEnd()) --c;
            DrawPreview(keys.GetOpeningAt(c), c);
        }
    } else {
        if (code != kHintKeepStartEnd) {
            SetEditText(m_editStart, QString());
            SetEditText(m_editEnd, QString());
        }
        m_wndKeyCount->setText(QString());
        m_wndMinOpen->setText(QString());
        m_wndMaxOpen->setText(QString());
        SetEditReadOnly(m_editOpen, true);
        SetEditText(m_editOpen, QString());
        m_btnPrevKey->setEnabled(false);
        m_btnNextKey->setEnabled(false);
    }

    UpdatePlayState();
    UpdateButtonTexts();
}

void CPlaybackPalette::UpdateButtonTexts() {
    int playText = 0, pauseText = 0;
    switch (m_nState) {
        case kStopped:
            playText = m_bPlaySelection ? 2 : 1;
            break;
        case kPlaying:
            playText = 3;
            break;
        case kPaused:
            playText = 3;
            pauseText = 1;
            break;
        default:
            break;
    }
    static const char* const kPlayTexts[] = {"Play", "Play All", "Play Sel", "Stop"};
    static const char* const kPauseTexts[] = {"Pause", "Resume"};
    if (playText != m_nPlayTextState) {
        m_btnPlay->setText(QString::fromLatin1(kPlayTexts[playText]));
        m_nPlayTextState = playText;
    }
    if (pauseText != m_nPauseTextState) {
        m_btnPause->setText(QString::fromLatin1(kPauseTexts[pauseText]));
        m_nPauseTextState = pauseText;
    }
    m_btnPlay->setEnabled(m_nState != kNoSound);
    m_btnPause->setEnabled(m_nState == kPlaying || m_nState == kPaused);
    m_btnPlayMode->setEnabled(m_nState == kStopped);
}

}  // namespace vokra
