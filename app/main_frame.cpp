#include "app/main_frame.h"

#include <QtGui/qguiapplication_platform.h>
#include <dlfcn.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

#include "app/about_dlg.h"
#include "app/commands.h"
#include "app/export_menu.h"
#include "app/fps_dlg.h"
#include "app/icons.h"
#include "app/key_history.h"
#include "app/shape_menu.h"
#include "app/window_state.h"
#include "document/app_values.h"
#include "document/key_clip.h"
#include "document/vokra_doc.h"
#include "panes/qt/env_view.h"
#include "panes/qt/shape_lane.h"
#include "panes/qt/timeline_lanes.h"
#include "panes/qt/wave_view.h"
#include "platform/help_service.h"
#include "platform/ini_file.h"
#include "platform/message_service.h"
#include "platform/recent_file_list.h"
#include "sound/import.h"
#include "sound/sound_data.h"

namespace vokra {

LockStates ReadLockStates() {
    LockStates states;
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return states;
    // Xlib is already loaded by Qt's X11 platform plugin; looking it up at run time keeps the
    // program free of a link-time dependency on it.
    static void* xlib = dlopen("libX11.so.6", RTLD_LAZY);
    if (!xlib) return states;
    using InternAtom = unsigned long (*)(Display*, const char*, int);
    using GetNamedIndicator = int (*)(Display*, unsigned long, int*, int*, void*, int*);
    static auto internAtom = reinterpret_cast<InternAtom>(dlsym(xlib, "XInternAtom"));
    static auto getNamed = reinterpret_cast<GetNamedIndicator>(dlsym(xlib, "XkbGetNamedIndicator"));
    if (!internAtom || !getNamed) return states;
    auto lit = [&](const char* name) {
        int on = 0;
        const unsigned long atom = internAtom(display, name, 0);
        return atom != 0 && getNamed(display, atom, nullptr, &on, nullptr, nullptr) && on;
    };
    states.caps = lit("Caps Lock");
    states.num = lit("Num Lock");
    states.scroll = lit("Scroll Lock");
#endif
    return states;
}

namespace {

QString MenuPath(const std::string& path) {
    QString shown = QString::fromStdString(path);
    // Long paths keep their first folder, the document's folder and its name.
    if (shown.size() > 60) {
        const QStringList parts = shown.split(QLatin1Char('/'));
        if (parts.size() > 4) {
            shown = parts[0] + QLatin1Char('/') + parts[1] + QStringLiteral("/.../") +
                    parts[parts.size() - 2] + QLatin1Char('/') + parts.last();
        }
    }
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return shown;
}

}  // namespace

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

QAction* CMainFrame::MakeAction(int command, const QString& text, const QString& prompt,
                                const QString& tip) {
    auto* action = new QAction(text, this);
    action->setStatusTip(prompt);
    action->setToolTip(tip);
    action->setData(command);
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    actions_[command] = action;
    return action;
}

QAction* CMainFrame::ActionFor(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    fileMenu_ = bar->addMenu(QStringLiteral("&File"));
    QAction* a = MakeAction(ID_FILE_NEW, QStringLiteral("&New"),
                            QStringLiteral("Create a new document"), QStringLiteral("New"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    fileMenu_->addAction(a);
    a = MakeAction(ID_FILE_OPEN, QStringLiteral("&Open..."),
                   QStringLiteral("Open an existing document"), QStringLiteral("Open"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    fileMenu_->addAction(a);
    a = MakeAction(ID_FILE_SAVE, QStringLiteral("&Save"),
                   QStringLiteral("Save the active document"), QStringLiteral("Save"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    fileMenu_->addAction(a);
    fileMenu_->addAction(MakeAction(ID_FILE_SAVE_AS, QStringLiteral("Save &As..."),
                                    QStringLiteral("Save the active document with a new name"),
                                    QStringLiteral("Save As")));
    fileMenu_->addSeparator();
    a = MakeAction(ID_SET_FPS, QStringLiteral("Set &Frames per Sec  ..."),
                   QStringLiteral("Set Frames per Second"), QStringLiteral("Set FPS"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    fileMenu_->addAction(a);
    a = MakeAction(ID_LOAD_SOUND, QStringLiteral("&Load Sound File ..."),
                   QStringLiteral("Load Sound from a .wav File"), QStringLiteral("Load Sound"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    fileMenu_->addAction(a);
    a = MakeAction(ID_WRITE_ENVELOPE, QStringLiteral("&Write Envelope File  ..."),
                   QStringLiteral("Write envelope to a .env file"),
                   QStringLiteral("Write Envelope File"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    fileMenu_->addAction(a);
    exportMenu_ = new ExportMenu(doc_, this);
    exportMenu_->commitPending = [this] { return playbackPalette.CommitPendingEdits(); };
    fileMenu_->addMenu(exportMenu_->CreateMenu(fileMenu_));
    fileMenu_->addSeparator();
    recentPlaceholder_ = fileMenu_->addAction(QStringLiteral("Recent File"));
    recentPlaceholder_->setEnabled(false);
    recentSeparator_ = fileMenu_->addSeparator();
    a = MakeAction(ID_APP_EXIT, QStringLiteral("E&xit"),
                   QStringLiteral("Quit the application; prompts to save documents"),
                   QStringLiteral("Exit"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    fileMenu_->addAction(a);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    // The stack names its actions after the step ("Undo AutoKey") and enables them itself.
    QAction* undo = history_->Stack().createUndoAction(this, QStringLiteral("&Undo"));
    QAction* redo = history_->Stack().createRedoAction(this, QStringLiteral("&Redo"));
    undo->setStatusTip(QStringLiteral("Undo the last key edit"));
    redo->setStatusTip(QStringLiteral("Redo the previously undone key edit"));
    undo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    undo->setData(ID_EDIT_UNDO);
    redo->setData(ID_EDIT_REDO);
    actions_[ID_EDIT_UNDO] = undo;
    actions_[ID_EDIT_REDO] = redo;
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    const struct {
        int command;
        const char* text;
        const char* prompt;
        const char* tip;
        QKeySequence keys[2];
    } clips[] = {
        {ID_EDIT_CUT,
         "Cu&t",
         "Cut the keys of the selected frames to the Clipboard",
         "Cut",
         {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)}},
        {ID_EDIT_COPY,
         "&Copy",
         "Copy the keys of the selected frames to the Clipboard",
         "Copy",
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)}},
        {ID_EDIT_PASTE,
         "&Paste",
         "Insert the Clipboard's keys at the selection",
         "Paste",
         {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)}},
    };
    for (const auto& c : clips) {
        a = MakeAction(c.command, QString::fromLatin1(c.text), QString::fromLatin1(c.prompt),
                       QString::fromLatin1(c.tip));
        a->setShortcuts({c.keys[0], c.keys[1]});
        edit->addAction(a);
    }
    // The keys work from the palettes too; a palette's focused text field takes them first (it
    // claims its own Ctrl+Z, Ctrl+C and so on), and a modal dialog blocks them.
    for (QAction* action :
         {undo, redo, ActionFor(ID_EDIT_CUT), ActionFor(ID_EDIT_COPY), ActionFor(ID_EDIT_PASTE)}) {
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    edit->addSeparator();
    edit->addAction(MakeAction(ID_SELECT_ALL, QStringLiteral("Select &All"),
                               QStringLiteral("Select all the frames"),
                               QStringLiteral("Select All")));
    edit->addAction(exportMenu_->CreateCopyAction(edit));
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateEditActions);
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        connect(clipboard, &QClipboard::dataChanged, this, [this] {
            const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
            clipboardHasKeys_ =
                mime && (mime->hasFormat(QLatin1String(kKeyClipMimeType)) || mime->hasText());
            UpdateEditActions();
        });
        const QMimeData* mime = clipboard->mimeData();
        clipboardHasKeys_ =
            mime && (mime->hasFormat(QLatin1String(kKeyClipMimeType)) || mime->hasText());
    }
    UpdateEditActions();

    shapeMenu_ = new ShapeMenu(doc_, this);
    shapeMenu_->AddHandItems(edit);
    bar->addMenu(shapeMenu_->CreateMenu(bar));
    shapeMenu_->AttachLane(shapeLane);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    const struct {
        int command;
        const char* text;
        const char* prompt;
        const char* tip;
    } checks[] = {
        {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar", "Toggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar"},
        {ID_PLAYBACK_PALETTE, "&Playback Palette", "Show or hide the Playback Palette",
         "Toggle Playback Palette"},
        {ID_AUTOKEY_PALETTE, "&AutoKey Palette", "Show or hide the AutoKey Palette",
         "Toggle AutoKey Palette"},
        {ID_SECONDS, "Se&conds", "Switch between seconds and frames for sound pane x-axis",
         "Toggle Seconds and Frames"},
    };
    for (const auto& c : checks) {
        a = MakeAction(c.command, QString::fromLatin1(c.text), QString::fromLatin1(c.prompt),
                       QString::fromLatin1(c.tip));
        a->setCheckable(true);
        view->addAction(a);
    }
    view->addSeparator();
    a = MakeAction(ID_ZOOM_SELECTION, QStringLiteral("&Zoom to Selection"),
                   QStringLiteral("Show the selected frames across both panes"),
                   QStringLiteral("Zoom to Selection"));
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    view->addAction(a);
    a = MakeAction(ID_VIEW_SHAPE_LANE, QStringLiteral("S&hape Lane"),
                   QStringLiteral("Show or hide the lane of mouth shapes"),
                   QStringLiteral("Toggle Shape Lane"));
    a->setCheckable(true);
    view->addAction(a);
    a = MakeAction(
        ID_AUDITION, QStringLiteral("A&udition While Dragging"),
        QStringLiteral("Play the selected frames in a loop while their keys are dragged"),
        QStringLiteral("Toggle Audition"));
    a->setCheckable(true);
    view->addAction(a);
    connect(view, &QMenu::aboutToShow, this, &CMainFrame::UpdateCheckMarks);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(
        MakeAction(ID_APP_ABOUT, QStringLiteral("&About Vokra..."),
                   QStringLiteral("Display program information, version number and copyright"),
                   QStringLiteral("About")));
    help->addAction(MakeAction(ID_HELP_FINDER, QStringLiteral("&Help Topics"),
                               QStringLiteral("List Help topics"), QStringLiteral("Help Topics")));

    // Zoom exists only on the tool bar.
    MakeAction(ID_ZOOM_IN, QStringLiteral("Zoom In"), QStringLiteral("Zoom In,  Magnify,  Expand"),
               QStringLiteral("Zoom In"));
    MakeAction(ID_ZOOM_OUT, QStringLiteral("Zoom Out"),
               QStringLiteral("Zoom Out,  De-magnify,  Contract"), QStringLiteral("Zoom Out"));
    UpdateRecentFileMenu();
}

bool CMainFrame::CreateToolBar() {
    toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setIconSize(QSize(kToolButtonWidth, kToolButtonHeight));
    toolBar->setMovable(true);
    toolBar->setFloatable(true);
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    const int buttons[] = {
        ID_FILE_NEW, ID_FILE_OPEN,        ID_FILE_SAVE,       0, ID_LOAD_SOUND, ID_WRITE_ENVELOPE,
        0,           ID_PLAYBACK_PALETTE, ID_AUTOKEY_PALETTE, 0, ID_ZOOM_IN,    ID_ZOOM_OUT};
    for (int command : buttons) {
        if (command == 0) {
            toolBar->addSeparator();
            continue;
        }
        QAction* action = ActionFor(command);
        if (!action) return false;
        action->setIcon(ToolBarIcon(command));
        // The palette buttons stay pressed while their palette is shown.
        if (command == ID_PLAYBACK_PALETTE || command == ID_AUTOKEY_PALETTE)
            action->setCheckable(true);
        toolBar->addAction(action);
    }
    // Menus show no pictures: they belong to the tool bar.
    for (auto& [command, action] : actions_) action->setIconVisibleInMenu(false);
    addToolBar(Qt::TopToolBarArea, toolBar);
    connect(toolBar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCheckMarks);
    return true;
}

bool CMainFrame::CreateStatusBar() {
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    // The idle text sits under the message: a prompt hides it, an empty prompt shows it again.
    idleLabel_ = new QLabel(QStringLiteral("Ready"), statusBar);
    statusBar->addWidget(idleLabel_, 1);
    const char* names[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(names[i]), statusBar);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        statusBar->addPermanentWidget(label);
        indicators_[i] = label;
    }
    setStatusBar(statusBar);
    UpdateIndicators();
    return true;
}

void CMainFrame::CreateAccelerators() {
    auto bind = [this](const QKeySequence& keys, int command) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        if (command)
            connect(shortcut, &QShortcut::activated, this, [this, command] { OnCommand(command); });
        return shortcut;
    };
    bind(QKeySequence(Qt::Key_F6), ID_NEXT_PANE);
    bind(QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE);
    // Copy, cut, paste, undo and redo are bound by their Edit menu items. Shift+Delete and
    // Shift+Insert leave plain Delete and Insert to the envelope pane.
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

void CMainFrame::OnEditCopy() {
    if (!doc_) return;
    const KeyClip clip = doc_->CopySelection();
    if (clip.span < 1) return;
    auto* mime = new QMimeData;
    const std::string data = KeyClipData(clip);
    mime->setData(QLatin1String(kKeyClipMimeType), QByteArray(data.data(), qsizetype(data.size())));
    mime->setText(QString::fromStdString(KeyClipText(clip)));
    QGuiApplication::clipboard()->setMimeData(mime);
    clipboardHasKeys_ = true;
}

void CMainFrame::OnEditCut() {
    if (!doc_ || !doc_->GetTimeRange().HasSelection()) return;
    OnEditCopy();
    doc_->CutSelection();
}

void CMainFrame::OnEditPaste() {
    if (!doc_) return;
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime) return;
    KeyClipReadResult read;
    if (mime->hasFormat(QLatin1String(kKeyClipMimeType))) {
        const QByteArray data = mime->data(QLatin1String(kKeyClipMimeType));
        read = ReadKeyClipData(std::string_view(data.constData(), std::size_t(data.size())));
    } else if (mime->hasText()) {
        const QByteArray text = mime->text().toUtf8();
        read = ReadKeyClipText(std::string_view(text.constData(), std::size_t(text.size())));
    } else {
        return;
    }
    if (!read.ok) {
        AfxMessageBox(read.error);
        return;
    }
    doc_->PasteKeys(read.clip);
}

void CMainFrame::UpdateEditActions() {
    const bool selection = doc_ && doc_->GetTimeRange().HasSelection();
    if (QAction* a = ActionFor(ID_EDIT_CUT)) a->setEnabled(selection);
    if (QAction* a = ActionFor(ID_EDIT_COPY)) a->setEnabled(selection);
    if (QAction* a = ActionFor(ID_EDIT_PASTE)) a->setEnabled(doc_ && clipboardHasKeys_);
}

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

void CMainFrame::ShowStatus(const std::string& text) {
    if (statusBar) statusBar->showMessage(QString::fromStdString(text), 15000);
}

void CMainFrame::OnHelpFinder() {
    OpenHelpTopic(kHelpContents);
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
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

bool CMainFrame::OpenDocument(const std::string& path) {
    if (!doc_ || !playbackPalette.CommitPendingEdits()) return false;
    if (LooksLikeSound(path) || IsNotARegularFile(path)) {
        doc_->LoadOrConvertSound(path);
        return true;
    }
    const bool opened = OpenDocumentFile(*doc_, path);
    UpdateRecentFileMenu();
    return opened;
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

void CMainFrame::UpdateTitle() {
    const QString title =
        doc_ ? QString::fromStdString(doc_->GetTitle()) : QStringLiteral("Untitled");
    // Qt shows "*" after the name in place of [*] while the document is modified.
    setWindowTitle(title + QStringLiteral("[*] - Vokra"));
    setWindowModified(doc_ && doc_->IsModified());
}

void CMainFrame::UpdateRecentFileMenu() {
    if (!fileMenu_) return;
    for (QAction* action : recentActions_) {
        fileMenu_->removeAction(action);
        actions_.erase(action->data().toInt());
        action->deleteLater();
    }
    recentActions_.clear();
    const int count = recent_ ? recent_->GetCount() : 0;
    recentPlaceholder_->setVisible(count == 0);
    for (int i = 0; i < count && i < kRecentFileCount; ++i) {
        const QString text = QStringLiteral("&%1 %2").arg(i + 1).arg(MenuPath(recent_->GetAt(i)));
        QAction* action = MakeAction(ID_FILE_MRU_FILE1 + i, text,
                                     QStringLiteral("Open this document"), QString());
        fileMenu_->insertAction(recentSeparator_, action);
        recentActions_.push_back(action);
    }
}

void CMainFrame::UpdateCheckMarks() {
    auto check = [this](int command, bool on) {
        if (QAction* a = ActionFor(command)) a->setChecked(on);
    };
    check(ID_VIEW_TOOLBAR, toolBar && !toolBar->isHidden());
    check(ID_VIEW_STATUS_BAR, statusBar && !statusBar->isHidden());
    check(ID_PLAYBACK_PALETTE, playbackPaletteShown != 0);
    check(ID_AUTOKEY_PALETTE, autoKeyPaletteShown != 0);
    check(ID_SECONDS, g_showSeconds != 0);
    check(ID_AUDITION, auditionOn_);
    check(ID_VIEW_SHAPE_LANE, shapeLane && lanes_ && lanes_->IsLaneShown(shapeLane));
}

void CMainFrame::UpdateIndicators() {
    const LockStates states = ReadLockStates();
    const bool on[3] = {states.caps, states.num, states.scroll};
    // As the old status bar did: the text is grey while the lock is off.
    for (int i = 0; i < 3; ++i) {
        if (indicators_[i]) indicators_[i]->setEnabled(on[i]);
    }
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
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime && mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty()) return;
    const QUrl url = mime->urls().first();
    if (!url.isLocalFile()) return;
    event->acceptProposedAction();
    const std::string path = QFileInfo(url.toLocalFile()).absoluteFilePath().toStdString();
    activateWindow();
    // Opened once the drop has finished, so the dragging program is not kept waiting by a prompt.
    QMetaObject::invokeMethod(
        this, [this, path] { OpenDocument(path); }, Qt::QueuedConnection);
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
