// The main frame's command dispatch, as the menus, the tool bar, the accelerators and posted
// commands reach it, and the commands of the View and Help menus.
#include <QStatusBar>
#include <QToolBar>

#include "app/about_dlg.h"
#include "app/commands.h"
#include "app/fps_dlg.h"
#include "app/key_history.h"
#include "app/main_frame.h"
#include "app/window_state.h"
#include "document/app_values.h"
#include "document/vokra_doc.h"
#include "panes/qt/env_view.h"
#include "panes/qt/shape_lane.h"
#include "panes/qt/timeline_lanes.h"
#include "panes/qt/wave_view.h"
#include "platform/help_service.h"
#include "platform/ini_file.h"
#include "platform/recent_file_list.h"

namespace vokra {

void CMainFrame::OnCommand(int command) {
    // A value typed into the Playback palette without Enter or Tab belongs to the document that
    // is about to be written or replaced; a refused one stops the command with its prompt.
    const bool writesOrReplaces =
        (command >= ID_FILE_MRU_FILE1 && command < ID_FILE_MRU_FILE1 + kRecentFileCount) ||
        command == ID_FILE_NEW || command == ID_FILE_OPEN || command == ID_FILE_SAVE ||
        command == ID_FILE_SAVE_AS || command == ID_WRITE_ENVELOPE;
    if (writesOrReplaces && !playbackPalette.CommitPendingEdits()) return;
    if (command >= ID_FILE_MRU_FILE1 && command < ID_FILE_MRU_FILE1 + kRecentFileCount) {
        if (recent_ && doc_) OpenRecentFile(*doc_, *recent_, command - ID_FILE_MRU_FILE1);
        UpdateRecentFileMenu();
        return;
    }
    switch (command) {
        case ID_FILE_NEW:
            if (doc_) FileNew(*doc_);
            break;
        case ID_FILE_OPEN:
            if (doc_) FileOpen(*doc_);
            break;
        case ID_FILE_SAVE:
            if (doc_) FileSave(*doc_);
            break;
        case ID_FILE_SAVE_AS:
            if (doc_) FileSaveAs(*doc_);
            break;
        case ID_SET_FPS:
            if (doc_) {
                const std::string note = doc_->OnSetFramesPerSec(MakeFpsDialogRunner(this));
                if (!note.empty() && statusBar) {
                    statusBar->showMessage(QString::fromStdString(note), 15000);
                }
            }
            break;
        case ID_EDIT_UNDO:
            history_->Stack().undo();
            break;
        case ID_EDIT_REDO:
            history_->Stack().redo();
            break;
        case ID_EDIT_CUT:
            OnEditCut();
            break;
        case ID_EDIT_COPY:
            OnEditCopy();
            break;
        case ID_EDIT_PASTE:
            OnEditPaste();
            break;
        case ID_LOAD_SOUND:
            if (doc_) doc_->OnLoadSoundFile();
            break;
        case ID_WRITE_ENVELOPE:
            if (doc_) doc_->OnWriteEnvelopeFile();
            break;
        case ID_SELECT_ALL:
            if (doc_) doc_->OnSelectAll();
            break;
        case ID_APP_EXIT:
            close();
            break;
        case ID_APP_ABOUT:
            OnAppAbout();
            break;
        case ID_HELP_FINDER:
            OnHelpFinder();
            break;
        case ID_VIEW_TOOLBAR:
            toolBar->setVisible(toolBar->isHidden());
            break;
        case ID_VIEW_STATUS_BAR:
            statusBar->setVisible(statusBar->isHidden());
            break;
        case ID_PLAYBACK_PALETTE:
            OnPlaybackPalette();
            break;
        case ID_AUTOKEY_PALETTE:
            OnAutoKeyPalette();
            break;
        case ID_ZOOM_IN:
            OnZoomIn();
            break;
        case ID_ZOOM_OUT:
            OnZoomOut();
            break;
        case ID_SECONDS:
            OnSeconds();
            break;
        case ID_SPACE:
            OnSpace();
            break;
        case ID_ZOOM_SELECTION:
            OnZoomToSelection();
            break;
        case ID_AUDITION:
            OnAudition();
            break;
        case ID_VIEW_SHAPE_LANE:
            OnShapeLane();
            break;
        case ID_NEXT_PANE:
            OnNextPane(false);
            break;
        case ID_PREV_PANE:
            OnNextPane(true);
            break;
        default:
            break;
    }
    UpdateCheckMarks();
    UpdateEditActions();
}

void CMainFrame::OnZoomIn() {
    if (wavePane) wavePane->ChangeView(ZoomIn);
    // Both panes share the timeline, and they are redrawn even when nothing moved.
    if (doc_) doc_->UpdateAllViews(nullptr, 0);
}

void CMainFrame::OnZoomOut() {
    if (wavePane) wavePane->ChangeView(ZoomOut);
    if (doc_) doc_->UpdateAllViews(nullptr, 0);
}

void CMainFrame::OnSeconds() {
    g_showSeconds = g_showSeconds == 0 ? 1 : 0;
    Profile().WriteInt("SETTINGS", "SECONDS", g_showSeconds);
    if (doc_) doc_->UpdateAllViews(nullptr, 0);
    UpdateCheckMarks();
}

void CMainFrame::OnSpace() {
    playbackPalette.SetDocument(doc_);
    playbackPalette.TogglePlayback();
}

void CMainFrame::OnZoomToSelection() {
    if (!wavePane || !doc_) return;
    if (!wavePane->ZoomToSelection()) {
        if (statusBar) statusBar->showMessage(QStringLiteral("Select frames to zoom to"), 3000);
        return;
    }
    doc_->UpdateAllViews(nullptr, kHintVisibleRange);
}

void CMainFrame::OnAudition() {
    auditionOn_ = !auditionOn_;
    auditionFailed_ = false;
    Profile().WriteInt(kWindowSection, "Audition", auditionOn_ ? 1 : 0);
    if (!auditionOn_) playbackPalette.StopAudition();
    UpdateCheckMarks();
}

void CMainFrame::OnShapeLane() {
    if (!shapeLane) return;
    const bool shown = !(lanes_ && lanes_->IsLaneShown(shapeLane));
    ShowShapeLane(shown);
    Profile().WriteInt(kWindowSection, kShapeLaneKey, shown ? 1 : 0);
    UpdateCheckMarks();
}

void CMainFrame::ShowShapeLane(bool shown) {
    if (!shapeLane || !lanes_) return;
    // The keyboard stays in the timeline: a hidden lane hands it to the envelope.
    const bool hadFocus = shapeLane->hasFocus();
    lanes_->SetLaneShown(shapeLane, shown);
    if (!shown && hadFocus && envelopePane) envelopePane->setFocus(Qt::OtherFocusReason);
    UpdateCheckMarks();
}

void CMainFrame::OnHelpFinder() {
    OpenHelpTopic(kHelpContents);
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
}

}  // namespace vokra
