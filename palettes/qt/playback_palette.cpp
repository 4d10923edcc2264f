#include "palettes/qt/playback_palette.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <algorithm>

#include "palettes/lip_picture.h"
#include "palettes/qt/lip_preview.h"
#include "palettes/qt/palette_controls.h"
#include "palettes/trunc_int.h"
#include "panes/frame_link.h"
#include "platform/message_service.h"
#include "platform/qt/ddx.h"
#include "platform/qt/dialog_units.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

constexpr int kTickMs = 33;
constexpr auto kStallTime = std::chrono::milliseconds(2000);
// Playback counts as finished this close to the last sample of the range.
constexpr std::int32_t kEndSlack = 20;

QPushButton* MakeButton(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Enter belongs to the palette (it commits the edits), never to a focused button.
    button->setAutoDefault(false);
    return button;
}

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

CPlaybackPalette::CPlaybackPalette(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      m_clock([] { return std::chrono::steady_clock::now(); }) {
    setObjectName(QStringLiteral("PlaybackPalette"));
    setWindowTitle(QStringLiteral("Playback Palette"));
    setFont(DialogFont());
    setModal(false);
    const DialogUnits du(font());

    m_btnPreview = new LipPreview(this);
    m_btnPreview->setObjectName(QStringLiteral("preview"));
    m_btnPreview->SetPainter([this](DrawContext& dc, int width, int height) {
        // A frame with a mouth shape shows that mouth, opened by the envelope where there are
        // keys; a frame without one keeps the plain lips.
        const ShapeEntry* shape = m_pDoc ? m_pDoc->GetShapes().Find(m_previewFrame) : nullptr;
        if (shape) {
            const bool keyed = m_pDoc->GetKeys().GetCount() > 0;
            DrawMouthPicture(dc, width, height, shape->shape, keyed ? m_previewOpening : -1.0,
                             m_previewFrame);
        } else {
            DrawLipPicture(dc, width, height, m_previewOpening, m_previewFrame);
        }
    });
    du.Place(m_btnPreview, 7, 3, 101, 70);

    m_btnPlay = MakeButton(this, QStringLiteral("Play"), "play");
    du.Place(m_btnPlay, 7, 76, 50, 14);
    m_btnPause = MakeButton(this, QStringLiteral("Pause"), "pause");
    du.Place(m_btnPause, 58, 76, 50, 14);

    auto* group = new QGroupBox(this);
    du.Place(group, 7, 98, 101, 101);
    m_btnPlayMode = new BarsButton(QStringLiteral("|||||"), 5, this);
    m_btnPlayMode->setObjectName(QStringLiteral("playMode"));
    m_btnPlayMode->setAutoDefault(false);
    m_btnPlayMode->setFocusPolicy(Qt::NoFocus);
    du.Place(m_btnPlayMode, 28, 92, 10, 7);

    du.Place(MakeLabel(this, QStringLiteral("Start"), Qt::AlignRight, nullptr), 10, 113, 44, 8);
    du.Place(MakeLabel(this, QStringLiteral("End"), Qt::AlignRight, nullptr), 10, 129, 44, 8);
    du.Place(MakeLabel(this, QStringLiteral("%Open"), Qt::AlignRight, nullptr), 10, 145, 44, 8);
    m_editStart = MakeNumberEdit(this, "start");
    du.Place(m_editStart, 58, 110, 40, 14);
    m_editEnd = MakeNumberEdit(this, "end");
    du.Place(m_editEnd, 58, 126, 40, 14);
    m_editOpen = MakeNumberEdit(this, "open");
    du.Place(m_editOpen, 58, 142, 40, 14);

    du.Place(MakeLabel(this, QStringLiteral("Key Count"), Qt::AlignRight, nullptr), 10, 165, 44, 8);
    du.Place(MakeLabel(this, QStringLiteral("Min Open"), Qt::AlignRight, nullptr), 10, 175, 44, 8);
    du.Place(MakeLabel(this, QStringLiteral("Max Open"), Qt::AlignRight, nullptr), 10, 185, 44, 8);
    m_wndKeyCount = MakeLabel(this, QStringLiteral("999999"), Qt::AlignLeft, "keyCount");
    du.Place(m_wndKeyCount, 58, 165, 40, 8);
    m_wndMinOpen = MakeLabel(this, QStringLiteral("999999"), Qt::AlignLeft, "minOpen");
    du.Place(m_wndMinOpen, 58, 175, 40, 8);
    m_wndMaxOpen = MakeLabel(this, QStringLiteral("999999"), Qt::AlignLeft, "maxOpen");
    du.Place(m_wndMaxOpen, 58, 185, 40, 8);

    m_btnPrevKey = MakeButton(this, QStringLiteral("Prev Key"), "prevKey");
    du.Place(m_btnPrevKey, 7, 210, 50, 14);
    m_btnNextKey = MakeButton(this, QStringLiteral("Next Key"), "nextKey");
    du.Place(m_btnNextKey, 58, 210, 50, 14);

    setTabOrder(m_btnPlay, m_btnPause);
    setTabOrder(m_btnPause, m_editStart);
    setTabOrder(m_editStart, m_editEnd);
    setTabOrder(m_editEnd, m_editOpen);
    setTabOrder(m_editOpen, m_btnPrevKey);
    setTabOrder(m_btnPrevKey, m_btnNextKey);

    connect(m_btnPlay, &QPushButton::clicked, this, [this] { OnPlay(); });
    connect(m_btnPause, &QPushButton::clicked, this, [this] { OnPause(); });
    connect(m_btnPlayMode, &QPushButton::clicked, this, [this] { OnPlayMode(); });
    connect(m_btnNextKey, &QPushButton::clicked, this, [this] { OnNextKey(); });
    connect(m_btnPrevKey, &QPushButton::clicked, this, [this] { OnPrevKey(); });
    // Typing marks an edit modified; the palette's own setText does not (textEdited is user-only).
    connect(m_editStart, &QLineEdit::textEdited, this, [this] { m_bStartModified = true; });
    connect(m_editEnd, &QLineEdit::textEdited, this, [this] { m_bEndModified = true; });
    connect(m_editOpen, &QLineEdit::textEdited, this, [this] { m_bOpenModified = true; });
    for (QLineEdit* edit : {m_editStart, m_editEnd, m_editOpen}) edit->installEventFilter(this);

    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, [this] { OnTimer(); });

    setFixedSize(du.X(115), du.Y(231));
    SetToolTips();
}

void CPlaybackPalette::SetToolTips() {
    m_btnPreview->setToolTip(QStringLiteral("The mouth at the frame being played or selected"));
    m_btnPlay->setToolTip(
        QStringLiteral("Play the selected frames or the whole sound; Stop while playing (Space)"));
    m_btnPause->setToolTip(QStringLiteral("Pause playback; Resume from the paused frame"));
    m_btnPlayMode->setToolTip(
        QStringLiteral("Switch between playing the selected frames and the whole sound"));
    m_editStart->setToolTip(QStringLiteral("First selected frame"));
    m_editEnd->setToolTip(QStringLiteral("Last selected frame (empty: no selection)"));
    m_editOpen->setToolTip(QStringLiteral(
        "Opening of the selected keys in percent (0-150); type one value for them all. "
        "Read-only while no key is selected"));
    m_wndKeyCount->setToolTip(QStringLiteral("Keys in the selected frames"));
    m_wndMinOpen->setToolTip(QStringLiteral("Smallest opening of the selected keys, in percent"));
    m_wndMaxOpen->setToolTip(QStringLiteral("Largest opening of the selected keys, in percent"));
    m_btnPrevKey->setToolTip(QStringLiteral("Select the key before the selection"));
    m_btnNextKey->setToolTip(QStringLiteral("Select the key after the selection"));
}

CPlaybackPalette::~CPlaybackPalette() {
    m_timer->stop();
    for (QLineEdit* edit : {m_editStart, m_editEnd, m_editOpen}) edit->removeEventFilter(this);
}

void CPlaybackPalette::SetDocument(CVokraDoc* doc) {
    m_pDoc = doc;
}

CVokraDoc* CPlaybackPalette::GetDocument() const {
    return m_pDoc;
}

void CPlaybackPalette::SetClock(Clock clock) {
    m_clock = clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); });
}

bool CPlaybackPalette::IsTimerRunning() const {
    return m_timer->isActive();
}

void CPlaybackPalette::SetEditText(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    if (edit == m_editStart) m_bStartModified = false;
    if (edit == m_editEnd) m_bEndModified = false;
    if (edit == m_editOpen) m_bOpenModified = false;
}

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

void CPlaybackPalette::DrawPreview(double opening, std::int32_t frame) {
    m_previewOpening = opening;
    m_previewFrame = frame;
    m_btnPreview->update();
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

void CPlaybackPalette::OnOK() {
    QWidget* focus = focusWidget();
    // Enter in Start or End commits the typed frame, even when it was not retyped.
    if (focus == m_editStart) m_bStartModified = true;
    if (focus == m_editEnd) m_bEndModified = true;
    focusNextChild();
}

void CPlaybackPalette::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            OnOK();
            return;
        }
        if (event->key() == Qt::Key_Escape) return;
    }
    QDialog::keyPressEvent(event);
}

void CPlaybackPalette::reject() {}

void CPlaybackPalette::closeEvent(QCloseEvent* event) {
    // The main frame hides the palette and keeps its toggle state in step.
    if (FrameLink* frame = MainFrameLink()) frame->PostCommand(kCmdTogglePlaybackPalette);
    event->ignore();
}

bool CPlaybackPalette::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        if (watched == m_editStart) {
            OnKillFocusStart();
        } else if (watched == m_editEnd) {
            OnKillFocusEnd();
        } else if (watched == m_editOpen) {
            OnKillFocusOpen();
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace vokra
