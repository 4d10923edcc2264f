// The Playback palette's window: its controls and their wiring, the lip preview's painter, and
// the keys and close box of a tool window. What the fields show is in playback_palette_fields.cpp,
// the transport in playback_palette_transport.cpp, what typed values and the key buttons do to the
// selection in playback_palette_selection.cpp.
#include "palettes/qt/playback_palette.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "palettes/lip_picture.h"
#include "palettes/qt/lip_preview.h"
#include "palettes/qt/palette_controls.h"
#include "panes/frame_link.h"
#include "platform/qt/dialog_units.h"

namespace vokra {
namespace {

constexpr int kTickMs = 33;

QPushButton* MakeButton(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Enter belongs to the palette (it commits the edits), never to a focused button.
    button->setAutoDefault(false);
    return button;
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
    const std::pair<QWidget*, const char*> tips[] = {
        {m_btnPreview, "The mouth at the frame being played or selected"},
        {m_btnPlay, "Play the selected frames or the whole sound; Stop while playing (Space)"},
        {m_btnPause, "Pause playback; Resume from the paused frame"},
        {m_btnPlayMode, "Switch between playing the selected frames and the whole sound"},
        {m_editStart, "First selected frame"},
        {m_editEnd, "Last selected frame (empty: no selection)"},
        {m_editOpen,
         "Opening of the selected keys in percent (0-150); type one value for them all. "
         "Read-only while no key is selected"},
        {m_wndKeyCount, "Keys in the selected frames"},
        {m_wndMinOpen, "Smallest opening of the selected keys, in percent"},
        {m_wndMaxOpen, "Largest opening of the selected keys, in percent"},
        {m_btnPrevKey, "Select the key before the selection"},
        {m_btnNextKey, "Select the key after the selection"},
    };
    for (const auto& [widget, tip] : tips) widget->setToolTip(QString::fromLatin1(tip));
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

void CPlaybackPalette::DrawPreview(double opening, std::int32_t frame) {
    m_previewOpening = opening;
    m_previewFrame = frame;
    m_btnPreview->update();
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
