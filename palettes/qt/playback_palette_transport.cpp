// The Playback palette's transport: play the selection or the whole sound, pause and resume at a
// frame, stop, audition the selection over and over, and follow the sound with the preview and
// the panes' playback marker on a timer that notices a device that stopped advancing.
#include <QTimer>
#include <algorithm>

#include "palettes/qt/playback_palette.h"
#include "panes/frame_link.h"
#include "platform/trunc_int.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr auto kStallTime = std::chrono::milliseconds(2000);
// Playback counts as finished this close to the last sample of the range.
constexpr std::int32_t kEndSlack = 20;

}  // namespace

void CPlaybackPalette::UpdatePlayState() {
    if (!g_sound.IsLoaded()) {
        m_nState = kNoSound;
    } else if (g_sound.IsPlaying()) {
        m_nState = kPlaying;
    } else if (m_nState == kNoSound || m_nState == kPlaying) {
        // A playback that ran out without a tick noticing falls back to stopped.
        m_nState = kStopped;
    }
}

void CPlaybackPalette::PlaceMarker(double position) {
    if (FrameLink* frame = MainFrameLink()) frame->SetPlaybackMarkers(position, true);
}

void CPlaybackPalette::StartTimer() {
    m_timer->start();
}

void CPlaybackPalette::KillTimer() {
    m_timer->stop();
}

void CPlaybackPalette::StartPlayback() {
    m_bTickPending = 0;
    UpdatePlayState();
    if (m_nState != kStopped || !m_pDoc) return;
    const double f = m_pDoc->GetFrameRate();
    const double r = g_sound.GetSampleRate();
    const TimelineState& ts = m_pDoc->GetTimeRange();
    std::int32_t firstSample = 0;
    std::int32_t lastSample = g_sound.GetSampleCount() - 1;
    std::int32_t startFrame = 0;
    if (m_bPlaySelection) {
        startFrame = TruncToInt32(ts.SelectionStart() + 1.0);
        firstSample = TruncToInt32(startFrame / f * r);
        if (ts.HasSelection()) {
            const std::int32_t e = TruncToInt32(ts.SelectionEnd());
            const std::int32_t end = TruncToInt32((e + 1.0) / f * r) - 1;
            if (end < lastSample) lastSample = end;
        }
    }
    m_nPlayEndSample = lastSample;
    BeginPlaying(startFrame, firstSample);
}

void CPlaybackPalette::BeginPlaying(std::int32_t frame, std::int32_t firstSample) {
    m_nPlayFirstFrame = frame;
    DrawPreview(m_pDoc->GetKeys().GetOpeningAt(frame), frame);
    // A device failure has been reported by the sound; the refresh then falls back to stopped.
    g_sound.Play(firstSample, m_nPlayEndSample);
    m_nState = kPlaying;
    Refresh(kHintVisibleRange);
    m_nLastPosition = -1;
    StartTimer();
    m_bTickPending = 1;
}

void CPlaybackPalette::OnTimer() {
    if (m_nState != kPlaying) {
        KillTimer();
        m_bTickPending = 0;
        return;
    }
    // The flag is set again only at the end of a tick, so a tick never runs inside another.
    if (m_bTickPending) {
        m_bTickPending = 0;
        OnTick();
    }
}

void CPlaybackPalette::OnTick() {
    m_bTickPending = 0;
    if (m_nState != kPlaying || !m_pDoc) {
        KillTimer();
        return;
    }
    if (!g_sound.IsLoaded()) {
        // The sound went away under the playback: there is no position to follow any more.
        KillTimer();
        Refresh(kHintVisibleRange);
        return;
    }
    const double f = m_pDoc->GetFrameRate();
    const double r = g_sound.GetSampleRate();
    const std::int32_t pos = g_sound.GetPosition();
    const double x = pos / r * f;
    // The position reaches one past the last sample at the end: the preview stays on the frames
    // that were played.
    const std::int32_t lastFrame = TruncToInt32(m_nPlayEndSample / r * f);
    const std::int32_t frame = std::max(
        m_nPlayFirstFrame, std::min(TruncToInt32(x), std::max(lastFrame, m_nPlayFirstFrame)));
    if (frame != m_previewFrame) DrawPreview(m_pDoc->GetKeys().GetOpeningAt(frame), frame);
    PlaceMarker(x - 0.5);

    bool finished = static_cast<std::int64_t>(pos) + kEndSlack >= m_nPlayEndSample;
    const auto now = m_clock();
    if (pos != m_nLastPosition) {
        m_nLastPosition = pos;
        m_dwLastMoveTime = now;
    } else if (now - m_dwLastMoveTime >= kStallTime) {
        finished = true;  // the device stopped advancing
    }

    if (finished && m_bAudition && RestartAudition()) return;
    if (finished) {
        KillTimer();
        g_sound.Stop();
        m_nState = kStopped;
        Refresh(kHintVisibleRange);
        PlaceMarker(TruncToInt32((m_nPlayEndSample - 1) / r * f) + 0.5);
    } else {
        m_bTickPending = 1;
    }
}

void CPlaybackPalette::PausePlayback() {
    UpdatePlayState();
    if (m_nState != kPlaying || !m_pDoc) return;
    KillTimer();
    const double f = m_pDoc->GetFrameRate();
    const double r = g_sound.GetSampleRate();
    std::int32_t p = g_sound.GetPosition() - 1;
    if (p > m_nPlayEndSample) p = m_nPlayEndSample;
    g_sound.Stop();
    m_nState = kPaused;
    // A position exactly on a frame boundary counts for the frame before it.
    m_nPausedFrame = TruncToInt32(p / r * f - 0.01);
    DrawPreview(m_pDoc->GetKeys().GetOpeningAt(m_nPausedFrame), m_nPausedFrame);
    Refresh(kHintVisibleRange);
    PlaceMarker(m_nPausedFrame);
}

void CPlaybackPalette::ResumePlayback() {
    UpdatePlayState();
    if (m_nState != kPaused || !m_pDoc) return;
    const double f = m_pDoc->GetFrameRate();
    const double r = g_sound.GetSampleRate();
    const std::int32_t count = g_sound.GetSampleCount();
    // Resume at the start of the paused frame, not at the exact sample where it paused.
    const std::int32_t s = TruncToInt32(m_nPausedFrame / f * r);
    if (s >= count - 1 || s >= m_nPlayEndSample) {
        m_nState = kStopped;
        Refresh(kHintVisibleRange);
        return;
    }
    if (m_nPlayEndSample > count - 1) m_nPlayEndSample = count - 1;
    BeginPlaying(m_nPausedFrame, s);
}

void CPlaybackPalette::StartAudition() {
    if (!m_pDoc || !g_sound.IsLoaded() || !m_pDoc->GetTimeRange().HasSelection()) return;
    StopPlayback();
    // The selected frames whatever the mode button says: they are the ones being shaped.
    const std::int32_t mode = m_bPlaySelection;
    m_bPlaySelection = 1;
    StartPlayback();
    m_bPlaySelection = mode;
    Refresh(kHintVisibleRange);
    if (m_nState != kPlaying) return;
    const double f = m_pDoc->GetFrameRate();
    const double r = g_sound.GetSampleRate();
    m_nAuditionFirstSample =
        TruncToInt32(TruncToInt32(m_pDoc->GetTimeRange().SelectionStart() + 1.0) / f * r);
    m_bAudition = true;
}

void CPlaybackPalette::StopAudition() {
    if (!m_bAudition) return;
    StopPlayback();
}

bool CPlaybackPalette::RestartAudition() {
    if (g_sound.Play(m_nAuditionFirstSample, m_nPlayEndSample) != 0 || !g_sound.IsPlaying()) {
        m_bAudition = false;
        return false;
    }
    m_nLastPosition = -1;
    m_bTickPending = 1;
    return true;
}

void CPlaybackPalette::StopPlayback() {
    m_bAudition = false;
    UpdatePlayState();
    KillTimer();
    m_bTickPending = 0;
    if (m_nState != kNoSound) {
        g_sound.Stop();
        m_nState = kStopped;
    }
    Refresh(m_bCommittingEdit ? kHintKeepStartEnd : kHintVisibleRange);
    PlaceMarker(m_previewFrame);
}

void CPlaybackPalette::TogglePlayback() {
    UpdatePlayState();
    switch (m_nState) {
        case kStopped:
            StartPlayback();
            break;
        case kPlaying:
            StopPlayback();
            break;
        case kPaused:
            StopPlayback();
            StartPlayback();
            break;
        default:
            break;
    }
}

void CPlaybackPalette::OnPlay() {
    switch (m_nState) {
        case kStopped:
            StartPlayback();
            break;
        case kPlaying:
        case kPaused:
            StopPlayback();
            break;
        default:
            break;
    }
}

void CPlaybackPalette::OnPause() {
    if (m_nState == kPlaying) {
        PausePlayback();
    } else if (m_nState == kPaused) {
        ResumePlayback();
    }
}

void CPlaybackPalette::OnPlayMode() {
    m_bPlaySelection = m_bPlaySelection ? 0 : 1;
    Refresh(kHintVisibleRange);
}

}  // namespace vokra
