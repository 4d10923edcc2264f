// The main frame's menus, tool bar and accelerators: the menus are read from tables, one row per
// item in the order shown; the recent-file entries, the check marks and the Edit items' enabling
// follow the state when it changes.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

#include "app/commands.h"
#include "app/export_menu.h"
#include "app/icons.h"
#include "app/key_history.h"
#include "app/main_frame.h"
#include "app/shape_menu.h"
#include "document/app_values.h"
#include "panes/qt/shape_lane.h"
#include "panes/qt/timeline_lanes.h"
#include "platform/recent_file_list.h"

namespace vokra {

// One item of a menu table, in the order the menu shows it.
struct MainMenuRow {
    enum Kind {
        kAction,  // an action of the frame's own, run by OnCommand
        kSeparator,
        kUndo,         // the history's actions, which name the step they take back or make again
        kRedo,         // and enable themselves
        kExportKeys,   // File > Export Keys, the submenu of formats
        kRecentFiles,  // where the recent-file entries go, and the separator after them
        kCopyKeys,     // Edit > Copy as After Effects Keyframes
    };
    enum Flag : unsigned {
        kCheckable = 1,
        // The keys work from the palettes too; a palette's focused text field takes them first
        // (it claims its own Ctrl+Z, Ctrl+C and so on), and a modal dialog blocks them.
        kAnyWindow = 2,
    };
    Kind kind;
    int command = 0;
    const char* text = nullptr;
    const char* prompt = nullptr;
    const char* tip = nullptr;  // none: the action's own
    unsigned flags = 0;
    QKeyCombination key = Qt::Key_unknown;  // Qt::Key_unknown: none
    QKeyCombination altKey = Qt::Key_unknown;
};

namespace {

using enum MainMenuRow::Kind;
using enum MainMenuRow::Flag;

constexpr MainMenuRow kFileRows[] = {
    {kAction, ID_FILE_NEW, "&New", "Create a new document", "New", 0, Qt::CTRL | Qt::Key_N},
    {kAction, ID_FILE_OPEN, "&Open...", "Open an existing document", "Open", 0,
     Qt::CTRL | Qt::Key_O},
    {kAction, ID_FILE_SAVE, "&Save", "Save the active document", "Save", 0, Qt::CTRL | Qt::Key_S},
    {kAction, ID_FILE_SAVE_AS, "Save &As...", "Save the active document with a new name",
     "Save As"},
    {kSeparator},
    {kAction, ID_SET_FPS, "Set &Frames per Sec  ...", "Set Frames per Second", "Set FPS", 0,
     Qt::CTRL | Qt::Key_R},
    {kAction, ID_LOAD_SOUND, "&Load Sound File ...", "Load Sound from a .wav File", "Load Sound", 0,
     Qt::CTRL | Qt::Key_L},
    {kAction, ID_WRITE_ENVELOPE, "&Write Envelope File  ...", "Write envelope to a .env file",
     "Write Envelope File", 0, Qt::CTRL | Qt::Key_E},
    {kExportKeys},
    {kSeparator},
    {kRecentFiles},
    {kAction, ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents", "Exit", 0,
     Qt::CTRL | Qt::Key_Q},
};

constexpr MainMenuRow kEditRows[] = {
    {kUndo, ID_EDIT_UNDO, "&Undo", "Undo the last key edit", nullptr, kAnyWindow,
     Qt::CTRL | Qt::Key_Z, Qt::ALT | Qt::Key_Backspace},
    {kRedo, ID_EDIT_REDO, "&Redo", "Redo the previously undone key edit", nullptr, kAnyWindow,
     Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z},
    {kSeparator},
    {kAction, ID_EDIT_CUT, "Cu&t", "Cut the keys of the selected frames to the Clipboard", "Cut",
     kAnyWindow, Qt::CTRL | Qt::Key_X, Qt::SHIFT | Qt::Key_Delete},
    {kAction, ID_EDIT_COPY, "&Copy", "Copy the keys of the selected frames to the Clipboard",
     "Copy", kAnyWindow, Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert},
    {kAction, ID_EDIT_PASTE, "&Paste", "Insert the Clipboard's keys at the selection", "Paste",
     kAnyWindow, Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert},
    {kSeparator},
    {kAction, ID_SELECT_ALL, "Select &All", "Select all the frames", "Select All"},
    {kCopyKeys},
};

constexpr MainMenuRow kViewRows[] = {
    {kAction, ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar", "Toggle ToolBar",
     kCheckable},
    {kAction, ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar",
     kCheckable},
    {kAction, ID_PLAYBACK_PALETTE, "&Playback Palette", "Show or hide the Playback Palette",
     "Toggle Playback Palette", kCheckable},
    {kAction, ID_AUTOKEY_PALETTE, "&AutoKey Palette", "Show or hide the AutoKey Palette",
     "Toggle AutoKey Palette", kCheckable},
    {kAction, ID_SECONDS, "Se&conds", "Switch between seconds and frames for sound pane x-axis",
     "Toggle Seconds and Frames", kCheckable},
    {kSeparator},
    {kAction, ID_ZOOM_SELECTION, "&Zoom to Selection", "Show the selected frames across both panes",
     "Zoom to Selection", 0, Qt::CTRL | Qt::SHIFT | Qt::Key_F},
    {kAction, ID_VIEW_SHAPE_LANE, "S&hape Lane", "Show or hide the lane of mouth shapes",
     "Toggle Shape Lane", kCheckable},
    {kAction, ID_AUDITION, "A&udition While Dragging",
     "Play the selected frames in a loop while their keys are dragged", "Toggle Audition",
     kCheckable},
};

constexpr MainMenuRow kHelpRows[] = {
    {kAction, ID_APP_ABOUT, "&About Vokra...",
     "Display program information, version number and copyright", "About"},
    {kAction, ID_HELP_FINDER, "&Help Topics", "List Help topics", "Help Topics"},
};

// Zoom exists only on the tool bar.
constexpr MainMenuRow kToolBarOnlyRows[] = {
    {kAction, ID_ZOOM_IN, "Zoom In", "Zoom In,  Magnify,  Expand", "Zoom In"},
    {kAction, ID_ZOOM_OUT, "Zoom Out", "Zoom Out,  De-magnify,  Contract", "Zoom Out"},
};

// The tool bar's buttons from left to right, 0 for a gap.
constexpr int kToolBarButtons[] = {
    ID_FILE_NEW, ID_FILE_OPEN,        ID_FILE_SAVE,       0, ID_LOAD_SOUND, ID_WRITE_ENVELOPE,
    0,           ID_PLAYBACK_PALETTE, ID_AUTOKEY_PALETTE, 0, ID_ZOOM_IN,    ID_ZOOM_OUT};

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

void CMainFrame::AddMenuRows(QMenu* menu, std::span<const MainMenuRow> rows) {
    for (const MainMenuRow& row : rows) {
        QAction* action = nullptr;
        switch (row.kind) {
            case kSeparator:
                menu->addSeparator();
                continue;
            case kExportKeys:
                exportMenu_ = new ExportMenu(doc_, this);
                exportMenu_->commitPending = [this] {
                    return playbackPalette.CommitPendingEdits();
                };
                menu->addMenu(exportMenu_->CreateMenu(menu));
                continue;
            case kRecentFiles:
                recentPlaceholder_ = menu->addAction(QStringLiteral("Recent File"));
                recentPlaceholder_->setEnabled(false);
                recentSeparator_ = menu->addSeparator();
                continue;
            case kCopyKeys:
                menu->addAction(exportMenu_->CreateCopyAction(menu));
                continue;
            case kUndo:
            case kRedo: {
                const QString text = QString::fromUtf8(row.text);
                action = row.kind == kUndo ? history_->Stack().createUndoAction(this, text)
                                           : history_->Stack().createRedoAction(this, text);
                action->setStatusTip(QString::fromUtf8(row.prompt));
                action->setData(row.command);
                actions_[row.command] = action;
                break;
            }
            case kAction:
                action = MakeAction(row.command, QString::fromUtf8(row.text),
                                    QString::fromUtf8(row.prompt), QString::fromUtf8(row.tip));
                break;
        }
        QList<QKeySequence> keys;
        for (QKeyCombination combination : {row.key, row.altKey}) {
            if (combination.key() != Qt::Key_unknown) keys.append(QKeySequence(combination));
        }
        if (!keys.isEmpty()) action->setShortcuts(keys);
        if (row.flags & kAnyWindow) action->setShortcutContext(Qt::ApplicationShortcut);
        if (row.flags & kCheckable) action->setCheckable(true);
        if (menu) menu->addAction(action);
    }
}

void CMainFrame::CreateMenus() {
    QMenuBar* bar = menuBar();
    fileMenu_ = bar->addMenu(QStringLiteral("&File"));
    AddMenuRows(fileMenu_, kFileRows);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    AddMenuRows(edit, kEditRows);
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateEditActions);
    WatchClipboard();
    UpdateEditActions();

    shapeMenu_ = new ShapeMenu(doc_, this);
    shapeMenu_->openDocument = [this](const std::string& path) { OpenDocument(path); };
    shapeMenu_->AddHandItems(edit);
    bar->addMenu(shapeMenu_->CreateMenu(bar));
    shapeMenu_->AttachLane(shapeLane);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    AddMenuRows(view, kViewRows);
    connect(view, &QMenu::aboutToShow, this, &CMainFrame::UpdateCheckMarks);

    AddMenuRows(bar->addMenu(QStringLiteral("&Help")), kHelpRows);
    AddMenuRows(nullptr, kToolBarOnlyRows);
    UpdateRecentFileMenu();
}

bool CMainFrame::CreateToolBar() {
    toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setIconSize(QSize(kToolButtonWidth, kToolButtonHeight));
    toolBar->setMovable(true);
    toolBar->setFloatable(true);
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int command : kToolBarButtons) {
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

}  // namespace vokra
