// The main frame's life: its making (bars, lanes, the watch over the palettes), what it does for
// the panes and palettes through FrameLink (painting, the playback marker that the view follows,
// posted commands, audition while keys are dragged), and its closing.
#include "app/main_frame.h"

#include <QApplication>
#include <QCloseEvent>

#include "app/icons.h"
#include "app/key_history.h"
#include "app/shape_menu.h"
#include "app/window_state.h"
#include "document/app_values.h"
#include "document/vokra_doc.h"
#include "panes/qt/env_view.h"
#include "panes/qt/shape_lane.h"
#include "panes/qt/timeline_lanes.h"
#include "panes/qt/wave_view.h"
#include "platform/document_base.h"
#include "platform/ini_file.h"
#include "sound/sound_data.h"

namespace vokra {

CMainFrame::CMainFrame(CVokraDoc* doc, RecentFileList* recent, QWidget* parent)
    : QMainWindow(parent), playbackPalette(this), autoKeyPalette(this), doc_(doc), recent_(recent) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(ApplicationIcon());
    resize(900, 600);
    history_ = std::make_unique<KeyHistory>(doc_);
    if (doc_) {
        doc_->onStateChanged = [this] {
            history_->SyncWithDocument();
            UpdateTitle();
        };
    }
    UpdateTitle();
}

CMainFrame::~CMainFrame() {
    // The palettes and bars go with the window; the document stays, so it must forget them.
    if (qApp) qApp->removeEventFilter(this);
    playbackPalette.removeEventFilter(this);
    autoKeyPalette.removeEventFilter(this);
    playbackPalette.StopPlayback();
    if (doc_) {
        doc_->SetPlaybackPalette(nullptr);
        doc_->SetAutoKeyPalette(nullptr);
        doc_->onStateChanged = nullptr;
    }
    history_.reset();
    if (MainFrameLink() == this) SetMainFrameLink(nullptr);
}

bool CMainFrame::OnCreate() {
    auditionOn_ = Profile().GetInt(kWindowSection, "Audition", 1) != 0;
    CreateMenus();
    if (!CreateToolBar()) return false;
    if (!CreateStatusBar()) return false;
    CreateAccelerators();
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    // The palettes exist already (hidden); the frame watches them to keep its toggles in step.
    playbackPalette.installEventFilter(this);
    autoKeyPalette.installEventFilter(this);
    qApp->installEventFilter(this);
    setAcceptDrops(true);
    UpdateCheckMarks();
    return true;
}

bool CMainFrame::OnCreateClient() {
    lanes_ = new TimelineLanes(this);
    splitter = lanes_;
    splitter->setObjectName(QStringLiteral("splitter"));
    wavePane = new WaveView(doc_, lanes_);
    shapeLane = new ShapeLane(doc_, lanes_);
    envelopePane = new EnvView(doc_, lanes_);
    wavePane->setObjectName(QStringLiteral("wavePane"));
    shapeLane->setObjectName(QStringLiteral("shapeLane"));
    envelopePane->setObjectName(QStringLiteral("envelopePane"));
    // The waveform keeps its ideal height (100 pixels, more for a larger font's rulers) and the
    // shapes theirs; the envelope takes the rest.
    lanes_->AddLane(wavePane, wavePane->IdealHeight(), false);
    lanes_->AddLane(shapeLane, shapeLane->IdealHeight(), false);
    lanes_->AddLane(envelopePane, 10000, true);
    if (shapeMenu_) shapeMenu_->AttachLane(shapeLane);
    setCentralWidget(splitter);
    return true;
}

void CMainFrame::OnKeyDrag(bool dragging) {
    if (!dragging) {
        playbackPalette.StopAudition();
        return;
    }
    if (!auditionOn_ || auditionFailed_ || !doc_) return;
    playbackPalette.SetDocument(doc_);
    playbackPalette.StartAudition();
    // A device that cannot play is reported once, not on every drag.
    if (!playbackPalette.IsAuditioning() && g_sound.IsLoaded() &&
        doc_->GetTimeRange().HasSelection()) {
        auditionFailed_ = true;
    }
}

void CMainFrame::StopPlaybackAndHideMarkers() {
    if (g_appReady == 0) return;
    playbackPalette.StopPlayback();
    SetPlaybackMarkers(0.0, false);
}

void CMainFrame::PaintPanesNow() {
    if (lanes_) lanes_->PaintPending();
}

void CMainFrame::SetPlaybackMarkers(double position, bool show) {
    if (show) FollowMarker(position);
    if (lanes_) lanes_->SetPlaybackMarkers(position, show);
}

bool CMainFrame::IsUserDragging() const {
    if (QApplication::mouseButtons() != Qt::NoButton) return true;
    if (lanes_ && lanes_->IsAnyLaneDragging()) return true;
    return envelopePane && envelopePane->IsKeyDragging();
}

void CMainFrame::FollowMarker(double position) {
    if (!doc_ || playbackPalette.GetState() != CPlaybackPalette::kPlaying) return;
    if (IsUserDragging()) return;
    if (doc_->GetTimeRange().PageToShow(position)) doc_->UpdateAllViews(nullptr, kHintVisibleRange);
}

void CMainFrame::PostCommand(int command) {
    QMetaObject::invokeMethod(
        this, [this, command] { OnCommand(command); }, Qt::QueuedConnection);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (doc_ && (!playbackPalette.CommitPendingEdits() || !SaveModified(*doc_))) {
        event->ignore();
        return;
    }
    playbackPalette.StopPlayback();
    SaveWindowLayout(*this, Profile());
    togglingPalette_ = true;
    playbackPalette.hide();
    autoKeyPalette.hide();
    togglingPalette_ = false;
    if (shapeMenu_) shapeMenu_->CloseLive();
    event->accept();
}

}  // namespace vokra
