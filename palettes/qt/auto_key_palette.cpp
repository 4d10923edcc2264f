#include "palettes/qt/auto_key_palette.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "palettes/qt/palette_controls.h"
#include "panes/frame_link.h"
#include "platform/help_service.h"
#include "platform/ini_file.h"
#include "platform/qt/ddx.h"
#include "platform/qt/dialog_units.h"
#include "platform/trunc_int.h"
#include "sound/amplitude.h"
#include "sound/sound_data.h"

namespace vokra {
namespace {

// Kept with the window's layout, apart from the program's long-standing settings.
constexpr const char* kOptionSection = "Window";
constexpr const char* kReplaceHandKey = "AutoKeyReplacesHandEdits";

}  // namespace

CAutoKeyPalette::CAutoKeyPalette(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("AutoKeyPalette"));
    setWindowTitle(QStringLiteral("AutoKey Palette"));
    setFont(DialogFont());
    setModal(false);
    const DialogUnits du(font());

    m_wndRangeLabel = MakeLabel(this, QStringLiteral("Frames 0 to End"), Qt::AlignLeft);
    m_wndRangeLabel->setObjectName(QStringLiteral("rangeLabel"));
    du.Place(m_wndRangeLabel, 7, 7, 145, 8);

    auto* threshold = MakeLabel(this, QStringLiteral("Threshold"), Qt::AlignHCenter);
    du.Place(threshold, 40, 22, 50, 8);
    auto* range = MakeLabel(this, QStringLiteral("Range"), Qt::AlignHCenter);
    du.Place(range, 98, 22, 50, 8);
    auto* high = MakeLabel(this, QStringLiteral("High"), Qt::AlignRight);
    du.Place(high, 7, 37, 28, 8);
    auto* low = MakeLabel(this, QStringLiteral("Low"), Qt::AlignRight);
    du.Place(low, 7, 57, 28, 8);

    // Created in the keyboard order: High Threshold, High Range, Low Threshold, Low Range.
    m_editHighThreshold = MakeNumberEdit(this, "highThreshold");
    du.Place(m_editHighThreshold, 45, 34, 40, 14);
    m_editHighRange = MakeNumberEdit(this, "highRange");
    du.Place(m_editHighRange, 103, 34, 40, 14);
    m_editLowThreshold = MakeNumberEdit(this, "lowThreshold");
    du.Place(m_editLowThreshold, 45, 54, 40, 14);
    m_editLowRange = MakeNumberEdit(this, "lowRange");
    du.Place(m_editLowRange, 103, 54, 40, 14);

    // Between the edits and the buttons, within the palette's size.
    m_chkReplaceHand = new QCheckBox(QStringLiteral("&Replace hand edits"), this);
    m_chkReplaceHand->setObjectName(QStringLiteral("replaceHand"));
    m_chkReplaceHand->setChecked(Profile().GetInt(kOptionSection, kReplaceHandKey, 0) != 0);
    du.Place(m_chkReplaceHand, 45, 70, 107, 10);
    connect(m_chkReplaceHand, &QCheckBox::toggled, this,
            [](bool on) { Profile().WriteInt(kOptionSection, kReplaceHandKey, on ? 1 : 0); });

    m_btnHelp = new QPushButton(QStringLiteral("&Help"), this);
    m_btnHelp->setObjectName(QStringLiteral("help"));
    du.Place(m_btnHelp, 7, 82, 50, 14);
    m_btnApply = new QPushButton(QStringLiteral("&Apply"), this);
    m_btnApply->setObjectName(QStringLiteral("apply"));
    m_btnApply->setDefault(true);
    du.Place(m_btnApply, 102, 82, 50, 14);

    setTabOrder(m_editHighThreshold, m_editHighRange);
    setTabOrder(m_editHighRange, m_editLowThreshold);
    setTabOrder(m_editLowThreshold, m_editLowRange);
    setTabOrder(m_editLowRange, m_chkReplaceHand);
    setTabOrder(m_chkReplaceHand, m_btnHelp);
    setTabOrder(m_btnHelp, m_btnApply);

    connect(m_btnApply, &QPushButton::clicked, this, [this] { OnApply(); });
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { OnHelp(); });

    m_wndRangeLabel->setToolTip(QStringLiteral("The frames Apply puts keys on"));
    m_editHighThreshold->setToolTip(QStringLiteral(
        "Loudness, in percent of the loudest sound, at and above which High Range applies"));
    m_editHighRange->setToolTip(QStringLiteral("Opening, in percent (0-150), of loud frames"));
    m_editLowThreshold->setToolTip(QStringLiteral(
        "Loudness, in percent of the loudest sound, at and below which Low Range applies"));
    m_editLowRange->setToolTip(QStringLiteral("Opening, in percent (0-150), of quiet frames"));
    m_chkReplaceHand->setToolTip(QStringLiteral(
        "Also replace the keys set by hand (dragged, typed, inserted or pasted); off, Apply keeps "
        "them"));
    m_btnHelp->setToolTip(QStringLiteral("How AutoKey turns loudness into keys"));
    m_btnApply->setToolTip(QStringLiteral("Put a key from the sound's loudness on every frame"));

    setFixedSize(du.X(159), du.Y(103));
    DoDataExchange(false);
    m_editHighThreshold->setFocus();
}

CAutoKeyPalette::~CAutoKeyPalette() = default;

void CAutoKeyPalette::SetDocument(CVokraDoc* doc) {
    m_pDoc = doc;
}

CVokraDoc* CAutoKeyPalette::GetDocument() const {
    return m_pDoc;
}

bool CAutoKeyPalette::IsReplacingHandEdits() const {
    return m_chkReplaceHand->isChecked();
}

AutoKeySettings CAutoKeyPalette::GetSettings() const {
    AutoKeySettings s;
    s.highThreshold = m_nHighThreshold;
    s.lowThreshold = m_nLowThreshold;
    s.highRange = m_nHighRange;
    s.lowRange = m_nLowRange;
    return s;
}

bool CAutoKeyPalette::DoDataExchange(bool save) {
    return DDX_Int(m_editHighRange, m_nHighRange, save, 0, 150) &&
           DDX_Int(m_editLowRange, m_nLowRange, save, 0, 150) &&
           DDX_Int(m_editHighThreshold, m_nHighThreshold, save, 0, 100) &&
           DDX_Int(m_editLowThreshold, m_nLowThreshold, save, 0, 100);
}

void CAutoKeyPalette::UpdateRangeLabel(int) {
    if (!m_pDoc) {
        m_btnApply->setEnabled(false);
        m_wndRangeLabel->setText(QString());
        return;
    }
    const TimelineState& ts = m_pDoc->GetTimeRange();
    m_nStartFrame = TruncToInt32(ts.SelectionStart() + 1.0);
    if (ts.HasSelection()) {
        m_nEndFrame = TruncToInt32(ts.SelectionEnd());
        m_wndRangeLabel->setText(
            QStringLiteral("Frames %1 to %2").arg(m_nStartFrame).arg(m_nEndFrame));
    } else {
        m_nEndFrame = TruncToInt32(ts.GetExtentMax());
        m_wndRangeLabel->setText(QStringLiteral("Frames %1 to End").arg(m_nStartFrame));
    }
    m_btnApply->setEnabled(g_sound.IsLoaded());
}

void CAutoKeyPalette::OnApply() {
    if (!DoDataExchange(true)) return;
    if (!g_sound.IsLoaded()) return;
    if (g_maxAmplitude < 1.0) g_maxAmplitude = 1.0;
    if (!m_pDoc) return;
    const std::int64_t count =
        m_nEndFrame < m_nStartFrame ? 0 : std::int64_t{m_nEndFrame} - m_nStartFrame + 1;
    if (!m_pDoc->AllowNewKeys("AutoKey", count)) return;
    m_pDoc->BeginKeyEdit("AutoKey", m_nStartFrame, m_nEndFrame);
    const AutoKeyOutcome outcome =
        AutoKeyApply(g_sound, g_maxAmplitude, m_pDoc->GetFrameRate(), m_nStartFrame, m_nEndFrame,
                     GetSettings(), IsReplacingHandEdits(), m_pDoc->GetKeys());
    m_pDoc->EndKeyEdit(outcome.processed > 0);
    m_pDoc->UpdateAllViews(nullptr, kHintAll);
    m_pDoc->NotifyPalettes(kHintAll);
    if (FrameLink* frame = MainFrameLink()) frame->ShowStatus(AutoKeyStatusText(outcome));
}

void CAutoKeyPalette::OnHelp() {
    OpenHelpTopic(kHelpAutoKey);
}

void CAutoKeyPalette::closeEvent(QCloseEvent* event) {
    // The main frame hides the palette and keeps its toggle state in step.
    if (FrameLink* frame = MainFrameLink()) frame->PostCommand(kCmdToggleAutoKeyPalette);
    event->ignore();
}

}  // namespace vokra
