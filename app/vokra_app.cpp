#include "app/vokra_app.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "app/commands.h"
#include "app/main_frame.h"
#include "app/settings_path.h"
#include "app/window_state.h"
#include "document/app_values.h"
#include "document/vokra_doc.h"
#include "panes/frame_link.h"
#include "panes/qt/wave_view.h"
#include "panes/timeline_state.h"
#include "platform/document_base.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "platform/qt/qt_services.h"
#include "platform/recent_file_list.h"
#include "platform/sdl_audio_factory.h"
#include "sound/import.h"

namespace vokra {

std::string DocumentArgument(const QStringList& arguments) {
    bool optionsEnded = false;
    for (const QString& arg : arguments) {
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.startsWith(QLatin1Char('-'))) continue;
        if (arg.isEmpty()) continue;
        return arg.toStdString();
    }
    return {};
}

CVokraApp::CVokraApp(AppOptions options) : options_(std::move(options)) {}

CVokraApp::~CVokraApp() {
    g_appReady = 0;
    SetPositionChangeHook(nullptr);
    SetDocumentPathListener(nullptr);
    frame_.reset();
    doc_.reset();
    if (options_.installServices) {
        SetMessageService(nullptr);
        SetFileDialogService(nullptr);
        SetHelpService(nullptr);
        SetProgressService(nullptr);
    }
}

bool CVokraApp::InitInstance(const QStringList& arguments) {
    // The settings file, before anything reads it.
    settingsPath_ = SettingsFilePath(CurrentSettingsPathInputs(options_.programPath));
    EnsureSettingsFolder(settingsPath_);
    Profile().SetPath(settingsPath_);

    if (options_.installServices) {
        messages_ = std::make_unique<QtMessageService>();
        fileDialogs_ = std::make_unique<QtFileDialogService>();
        const QString programDir =
            QFileInfo(QString::fromStdString(options_.programPath)).absolutePath();
        help_ = std::make_unique<QtHelpService>(ManualCandidates(programDir));
        SetMessageService(messages_.get());
        SetFileDialogService(fileDialogs_.get());
        SetHelpService(help_.get());
        progress_ = std::make_unique<QtProgressService>();
        SetProgressService(progress_.get());
    }
    // Playback goes through SDL unless a test has installed its own device.
    UseSdlAudioDevice();

    // A settings file far beyond anything the program writes is not read (it would hold up the
    // start for seconds) nor rewritten; the program runs on its defaults and says so once.
    if (Profile().IsTooLarge()) {
        AfxMessageBox("The settings file " + settingsPath_ + " is larger than " +
                      std::to_string(IniFile::kMaxBytes >> 20) +
                      " MB, so it was not read.\nVokra starts with its default settings and "
                      "leaves that file as it is.");
    }

    // The recent-file list of four entries.
    recent_ = std::make_unique<RecentFileList>(Profile(), kRecentFileCount);
    recent_->Load();
    SetDocumentPathListener([this](const std::string& path) {
        recent_->Add(path);
        if (frame_) frame_->UpdateRecentFileMenu();
    });

    // The document type: one document for the program's life, one frame showing it.
    doc_ = std::make_unique<CVokraDoc>();
    frame_ = std::make_unique<CMainFrame>(doc_.get(), recent_.get());
    if (!frame_->OnCreate() || !frame_->OnCreateClient()) return false;
    if (messages_) messages_->SetDefaultOwner(frame_.get());
    if (fileDialogs_) fileDialogs_->SetDefaultOwner(frame_.get());
    if (progress_) progress_->SetDefaultOwner(frame_.get());
    SetMainFrameLink(frame_.get());
    SetPositionChangeHook([this] {
        if (!frame_) return;
        frame_->StopPlaybackAndHideMarkers();
        frame_->UpdateEditActions();
    });

    // The command line: a new document, or the named one, opened before VOKRADIR moves the
    // current directory, so a relative path means what it meant in the shell.
    // A sound named there is loaded into the new document, as Load Sound File would.
    const std::string document = DocumentArgument(arguments);
    bool ready = false;
    std::string sound;  // loaded once the window is up: its questions need a window to sit on
    if (!document.empty()) {
        const std::string full =
            QFileInfo(QString::fromStdString(document)).absoluteFilePath().toStdString();
        if (LooksLikeSound(full) || IsNotARegularFile(full)) {
            ready = doc_->OnNewDocument();
            if (ready) sound = full;
        } else {
            ready = frame_->OpenDocument(full);
        }
    }
    // A document that cannot be opened has been reported; the user gets a new one to work in.
    if (!ready) ready = doc_->OnNewDocument();
    if (!ready) return false;
    frame_->UpdateTitle();

    g_currentDir = Profile().GetString("DIRECTORIES", "VOKRADIR", "");
    if (!g_currentDir.empty()) {
        const QString dir = QString::fromStdString(g_currentDir);
        if (QFileInfo(dir).isDir()) QDir::setCurrent(dir);
    }
    g_showSeconds = Profile().GetInt("SETTINGS", "SECONDS", 0) != 0 ? 1 : 0;
    RestoreWindowLayout(*frame_, Profile());
    frame_->UpdateCheckMarks();

    if (options_.showWindow) {
        frame_->show();
        frame_->repaint();
    }
    frame_->PlacePalettes();
    RestorePaletteLayout(*frame_, Profile());
    // The upper pane is the active one, so the arrow keys work at once.
    if (frame_->GetWavePane()) frame_->GetWavePane()->setFocus(Qt::OtherFocusReason);
    frame_->GetPlaybackPalette().SetDocument(doc_.get());
    g_appReady = 1;
    if (!sound.empty()) {
        doc_->LoadOrConvertSound(sound);
        frame_->UpdateTitle();
    }
    return true;
}

}  // namespace vokra
