#pragma once
// The program's one top-level window: the menu, the dockable tool bar and the status bar, the
// timeline lanes (waveform, mouth shapes, envelope), and the two tool palettes it owns
// and shows or hides. It handles the commands that concern the whole window and serves the panes
// and palettes through FrameLink (painting both panes together, the playback marker, posted
// commands).
#include <QMainWindow>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "palettes/qt/auto_key_palette.h"
#include "palettes/qt/playback_palette.h"
#include "panes/frame_link.h"

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QToolBar;

namespace vokra {

class CVokraDoc;
class EnvView;
class KeyHistory;
class ExportMenu;
struct MainMenuRow;
class RecentFileList;
class ShapeLane;
class ShapeMenu;
class TimelineLanes;
class WaveView;

// Reads the keyboard's lock lights; an empty reader (no X11 display) reports them all off.
struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};
LockStates ReadLockStates();

class CMainFrame : public QMainWindow, public FrameLink {
    Q_OBJECT
public:
    // The frame works on `doc` (not owned) and shows `recent` (may be null) in the File menu.
    explicit CMainFrame(CVokraDoc* doc, RecentFileList* recent = nullptr,
                        QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Creation: bars, docking, the hidden palettes, the drop target. False when a bar failed.
    bool OnCreate();
    // The client area: the splitter with the two panes.
    bool OnCreateClient();

    // Runs a command by its id, as the menu, the tool bar, the accelerators and posted commands do.
    void OnCommand(int command);
    // The menu item or tool bar action of a command (null when it has none).
    QAction* ActionFor(int command) const;
    // The entries of the File menu's recent-file list, in order (for tests).
    std::vector<QAction*> RecentFileActions() const { return recentActions_; }

    void OnPlaybackPalette();
    void OnAutoKeyPalette();
    void OnZoomIn();
    void OnZoomOut();
    void OnSeconds();
    void OnSpace();
    // View > Zoom to Selection: both panes show the selected frames.
    void OnZoomToSelection();
    // View > Audition While Dragging, remembered in the settings file.
    void OnAudition();
    bool IsAuditionOn() const { return auditionOn_; }
    // View > Shape Lane: hides or shows the lane (remembered in the settings file).
    void OnShapeLane();
    void ShowShapeLane(bool shown);
    void OnHelpFinder();
    void OnAppAbout();
    // F6 / Shift+F6: the keyboard focus to the next / previous pane, then to each shown palette.
    void OnNextPane(bool previous);
    // Edit > Cut, Copy, Paste of the selected frames' keys through the clipboard.
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    // Cut and Copy follow the selection, Paste what the clipboard holds.
    void UpdateEditActions();
    // Opens a document as File > Open does, for a path given on the command line or dropped; a
    // sound is loaded into the current document as Load Sound File does.
    bool OpenDocument(const std::string& path);

    // Gives the hidden palettes their first place: beside the window's right edge when the screen
    // has room, else just inside it, stacked or side by side. From then on a palette reappears
    // where it was last left.
    void PlacePalettes();

    // The answer to every move of the anchor or the cursor once start-up has finished.
    void StopPlaybackAndHideMarkers();
    // FrameLink.
    void PaintPanesNow() override;
    void SetPlaybackMarkers(double position, bool show) override;
    void PostCommand(int command) override;
    void OnKeyDrag(bool dragging) override;
    void ShowStatus(const std::string& text) override;

    // The window title from the document's title.
    void UpdateTitle();
    // Rebuilds the File menu's recent-file entries from the list.
    void UpdateRecentFileMenu();
    // Reads the lock keys and shows CAP, NUM and SCRL.
    void UpdateIndicators();
    // Check marks of the View menu and pressed palette buttons from the current state.
    void UpdateCheckMarks();

    CVokraDoc* GetDocument() const { return doc_; }
    KeyHistory* GetHistory() const { return history_.get(); }
    // File > Export Keys and Edit > Copy as After Effects Keyframes.
    ExportMenu* GetExportMenu() const { return exportMenu_; }
    CPlaybackPalette& GetPlaybackPalette() { return playbackPalette; }
    CAutoKeyPalette& GetAutoKeyPalette() { return autoKeyPalette; }
    int IsPlaybackPaletteShown() const { return playbackPaletteShown; }
    int IsAutoKeyPaletteShown() const { return autoKeyPaletteShown; }
    WaveView* GetWavePane() const { return wavePane; }
    EnvView* GetEnvelopePane() const { return envelopePane; }
    ShapeLane* GetShapeLane() const { return shapeLane; }
    TimelineLanes* GetLanes() const { return lanes_; }
    ShapeMenu* GetShapeMenu() const { return shapeMenu_; }
    QToolBar* GetToolBar() const { return toolBar; }
    QStatusBar* GetStatusBar() const { return statusBar; }
    QSplitter* GetSplitter() const { return splitter; }
    // The status bar's idle text and the three indicators (for tests).
    QLabel* GetIdleLabel() const { return idleLabel_; }
    QLabel* GetIndicator(int index) const { return indicators_[index]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* MakeAction(int command, const QString& text, const QString& prompt,
                        const QString& tip);
    // Adds the actions of a menu table's rows to `menu` (none: the actions only).
    void AddMenuRows(QMenu* menu, std::span<const MainMenuRow> rows);
    void CreateMenus();
    bool CreateToolBar();
    bool CreateStatusBar();
    void CreateAccelerators();
    // Keeps Paste's enabling in step with what the clipboard holds.
    void WatchClipboard();
    bool IsSpaceForUs(QObject* watched) const;
    // A mouse button is held on a pane or its scroll bar: the view must not move under it.
    bool IsUserDragging() const;
    // While playing, pages both panes so that the playback marker at `position` stays in view.
    void FollowMarker(double position);
    // Handles the keys the frame takes from any of its windows; true when the key was used.
    bool OnFrameKey(QObject* watched, QKeyEvent* key);

    CPlaybackPalette playbackPalette;
    CAutoKeyPalette autoKeyPalette;
    int playbackPaletteShown = 0;
    int autoKeyPaletteShown = 0;
    QStatusBar* statusBar = nullptr;
    QToolBar* toolBar = nullptr;
    QSplitter* splitter = nullptr;
    WaveView* wavePane = nullptr;
    EnvView* envelopePane = nullptr;
    ShapeLane* shapeLane = nullptr;
    TimelineLanes* lanes_ = nullptr;
    ShapeMenu* shapeMenu_ = nullptr;

    CVokraDoc* doc_;
    std::unique_ptr<KeyHistory> history_;
    bool clipboardHasKeys_ = false;
    RecentFileList* recent_;
    std::map<int, QAction*> actions_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentPlaceholder_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> recentActions_;
    QLabel* idleLabel_ = nullptr;
    QLabel* indicators_[3] = {nullptr, nullptr, nullptr};
    ExportMenu* exportMenu_ = nullptr;
    // Set while the frame itself shows or hides a palette, so that a palette hiding itself
    // (Escape) can be told apart.
    bool togglingPalette_ = false;
    bool auditionOn_ = true;
    // Audition gave up after the device refused to play, until it is switched on again.
    bool auditionFailed_ = false;
};

}  // namespace vokra
