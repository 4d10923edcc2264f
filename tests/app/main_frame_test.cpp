#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <filesystem>

#include "app/commands.h"
#include "app/fps_dlg.h"
#include "app/icons.h"
#include "panes/qt/env_view.h"
#include "panes/qt/shape_lane.h"
#include "panes/qt/wave_view.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

// The menus as text: "&File" then its items, "-" for a separator.
std::vector<std::string> MenuTexts(QMenuBar* bar) {
    std::vector<std::string> out;
    for (QAction* top : bar->actions()) {
        out.push_back("[" + top->text().toStdString() + "]");
        for (QAction* item : top->menu()->actions()) {
            if (!item->isVisible()) continue;
            out.push_back(item->isSeparator() ? "-" : item->text().toStdString());
        }
    }
    return out;
}

using MainFrame = AppFixture;

TEST_F(MainFrame, MenusInTheirOrder) {
    Start();
    const std::vector<std::string> expected = {"[&File]",
                                               "&New",
                                               "&Open...",
                                               "&Save",
                                               "Save &As...",
                                               "-",
                                               "Set &Frames per Sec  ...",
                                               "&Load Sound File ...",
                                               "&Write Envelope File  ...",
                                               "Export &Keys",
                                               "-",
                                               "Recent File",
                                               "-",
                                               "E&xit",
                                               "[&Edit]",
                                               "&Undo",
                                               "&Redo",
                                               "-",
                                               "Cu&t",
                                               "&Copy",
                                               "&Paste",
                                               "-",
                                               "Select &All",
                                               "Copy as After &Effects Keyframes",
                                               "-",
                                               "Mark as &Hand-Made",
                                               "Re&lease Hand Edits",
                                               "[&Shapes]",
                                               "&Guess Shapes",
                                               "Guess Shapes from Scrip&t...",
                                               "&Replace Hand Edits",
                                               "-",
                                               "&Set Shape",
                                               "&Clear Shapes",
                                               "-",
                                               "Shape Se&ttings...",
                                               "-",
                                               "&Live...",
                                               "[&View]",
                                               "&Toolbar",
                                               "&Status Bar",
                                               "&Playback Palette",
                                               "&AutoKey Palette",
                                               "Se&conds",
                                               "-",
                                               "&Zoom to Selection",
                                               "S&hape Lane",
                                               "A&udition While Dragging",
                                               "[&Help]",
                                               "&About Vokra...",
                                               "&Help Topics"};
    EXPECT_EQ(MenuTexts(Frame().menuBar()), expected);
}

struct CommandCase {
    int command;
    const char* shortcut;
    const char* prompt;
    const char* tip;
    bool checkable;
};
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.command << ' ' << c.tip;
}

class MainFrame_Commands : public AppFixture, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(MainFrame_Commands, PromptTipShortcutAndCheckMark) {
    Start();
    const CommandCase& c = GetParam();
    QAction* action = Frame().ActionFor(c.command);
    ASSERT_NE(action, nullptr) << c.command;
    EXPECT_EQ(action->shortcut().toString().toStdString(), c.shortcut);
    EXPECT_EQ(action->statusTip().toStdString(), c.prompt);
    EXPECT_EQ(action->toolTip().toStdString(), c.tip);
    EXPECT_EQ(action->isCheckable(), c.checkable);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MainFrame_Commands,
    ::testing::Values(
        CommandCase{ID_FILE_NEW, "Ctrl+N", "Create a new document", "New", false},
        CommandCase{ID_FILE_OPEN, "Ctrl+O", "Open an existing document", "Open", false},
        CommandCase{ID_FILE_SAVE, "Ctrl+S", "Save the active document", "Save", false},
        CommandCase{ID_FILE_SAVE_AS, "", "Save the active document with a new name", "Save As",
                    false},
        CommandCase{ID_SET_FPS, "Ctrl+R", "Set Frames per Second", "Set FPS", false},
        CommandCase{ID_LOAD_SOUND, "Ctrl+L", "Load Sound from a .wav File", "Load Sound", false},
        CommandCase{ID_WRITE_ENVELOPE, "Ctrl+E", "Write envelope to a .env file",
                    "Write Envelope File", false},
        CommandCase{ID_SELECT_ALL, "", "Select all the frames", "Select All", false},
        CommandCase{ID_EDIT_CUT, "Ctrl+X", "Cut the keys of the selected frames to the Clipboard",
                    "Cut", false},
        CommandCase{ID_EDIT_COPY, "Ctrl+C", "Copy the keys of the selected frames to the Clipboard",
                    "Copy", false},
        CommandCase{ID_EDIT_PASTE, "Ctrl+V", "Insert the Clipboard's keys at the selection",
                    "Paste", false},
        CommandCase{ID_EDIT_UNDO, "Ctrl+Z", "Undo the last key edit", "Undo", false},
        CommandCase{ID_EDIT_REDO, "Ctrl+Y", "Redo the previously undone key edit", "Redo", false},
        CommandCase{ID_PLAYBACK_PALETTE, "", "Show or hide the Playback Palette",
                    "Toggle Playback Palette", true},
        CommandCase{ID_AUTOKEY_PALETTE, "", "Show or hide the AutoKey Palette",
                    "Toggle AutoKey Palette", true},
        CommandCase{ID_SECONDS, "", "Switch between seconds and frames for sound pane x-axis",
                    "Toggle Seconds and Frames", true},
        CommandCase{ID_ZOOM_IN, "", "Zoom In,  Magnify,  Expand", "Zoom In", false},
        CommandCase{ID_ZOOM_OUT, "", "Zoom Out,  De-magnify,  Contract", "Zoom Out", false},
        CommandCase{ID_HELP_FINDER, "", "List Help topics", "Help Topics", false},
        CommandCase{ID_APP_EXIT, "Ctrl+Q", "Quit the application; prompts to save documents",
                    "Exit", false},
        CommandCase{ID_ZOOM_SELECTION, "Ctrl+Shift+F", "Show the selected frames across both panes",
                    "Zoom to Selection", false},
        CommandCase{ID_AUDITION, "",
                    "Play the selected frames in a loop while their keys are dragged",
                    "Toggle Audition", true},
        CommandCase{ID_VIEW_TOOLBAR, "", "Show or hide the toolbar", "Toggle ToolBar", true},
        CommandCase{ID_VIEW_STATUS_BAR, "", "Show or hide the status bar", "Toggle StatusBar",
                    true}));

TEST_F(MainFrame, ToolBarButtonsInOrderWithSharpPictures) {
    Start();
    std::vector<int> order;
    for (QAction* a : Frame().GetToolBar()->actions())
        order.push_back(a->isSeparator() ? 0 : a->data().toInt());
    const std::vector<int> expected = {
        ID_FILE_NEW, ID_FILE_OPEN,        ID_FILE_SAVE,       0, ID_LOAD_SOUND, ID_WRITE_ENVELOPE,
        0,           ID_PLAYBACK_PALETTE, ID_AUTOKEY_PALETTE, 0, ID_ZOOM_IN,    ID_ZOOM_OUT};
    EXPECT_EQ(order, expected);
    for (int command : expected) {
        if (!command) continue;
        const QIcon icon = ToolBarIcon(command);
        ASSERT_FALSE(icon.isNull()) << command;
        // Drawn for the screen's ratio, not scaled up from the small picture.
        const QPixmap big = icon.pixmap(QSize(16, 15), 2.0);
        EXPECT_EQ(big.size(), QSize(32, 30)) << command;
    }
    EXPECT_EQ(Frame().GetToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(Frame().GetToolBar()->isMovable());
}

TEST_F(MainFrame, ToolbarAndStatusBarToggleWithCheckMarks) {
    Start();
    QAction* toolbar = Frame().ActionFor(ID_VIEW_TOOLBAR);
    QAction* status = Frame().ActionFor(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(toolbar->isChecked());
    EXPECT_TRUE(status->isChecked());
    toolbar->trigger();
    EXPECT_TRUE(Frame().GetToolBar()->isHidden());
    EXPECT_FALSE(toolbar->isChecked());
    status->trigger();
    EXPECT_TRUE(Frame().GetStatusBar()->isHidden());
    EXPECT_FALSE(status->isChecked());
    toolbar->trigger();
    status->trigger();
    EXPECT_FALSE(Frame().GetToolBar()->isHidden());
    EXPECT_TRUE(toolbar->isChecked());
    EXPECT_TRUE(status->isChecked());
}

TEST_F(MainFrame, StatusBarShowsReadyPromptsAndIndicators) {
    Start();
    QStatusBar* bar = Frame().GetStatusBar();
    EXPECT_EQ(Frame().GetIdleLabel()->text(), "Ready");
    EXPECT_TRUE(Frame().GetIdleLabel()->isVisible());
    Frame().ActionFor(ID_LOAD_SOUND)->showStatusText(&Frame());
    EXPECT_EQ(bar->currentMessage(), "Load Sound from a .wav File");
    EXPECT_FALSE(Frame().GetIdleLabel()->isVisible());
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(&Frame(), &leave);
    EXPECT_TRUE(Frame().GetIdleLabel()->isVisible());
    EXPECT_EQ(Frame().GetIndicator(0)->text(), "CAP");
    EXPECT_EQ(Frame().GetIndicator(1)->text(), "NUM");
    EXPECT_EQ(Frame().GetIndicator(2)->text(), "SCRL");
    // Without a keyboard to ask, every lock shows as off (grey).
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(Frame().GetIndicator(i)->isEnabled());
}

TEST_F(MainFrame, SplitterHasWaveAboveEnvelopeAtIdealHeight) {
    Start();
    Frame().resize(800, 600);
    QApplication::processEvents();
    QSplitter* splitter = Frame().GetSplitter();
    ASSERT_EQ(splitter->count(), 3);  // the shape lane between them
    EXPECT_EQ(splitter->widget(0), Frame().GetWavePane());
    EXPECT_EQ(splitter->widget(2), Frame().GetEnvelopePane());
    EXPECT_EQ(splitter->orientation(), Qt::Vertical);
    EXPECT_EQ(Frame().GetWavePane()->height(), 100);
    const int lower = Frame().GetEnvelopePane()->height();
    Frame().resize(800, 700);
    QApplication::processEvents();
    EXPECT_EQ(Frame().GetWavePane()->height(), 100) << "the upper row keeps its height";
    EXPECT_EQ(Frame().GetEnvelopePane()->height(), lower + 100);
}

// Both palettes follow the same toggle rules.
struct PaletteCase {
    const char* name;
    int command;
};
void PrintTo(const PaletteCase& c, std::ostream* os) {
    *os << c.name;
}

class MainFrame_PaletteToggle : public AppFixture,
                                public ::testing::WithParamInterface<PaletteCase> {
protected:
    QDialog& Palette() {
        if (GetParam().command == ID_PLAYBACK_PALETTE) return Frame().GetPlaybackPalette();
        return Frame().GetAutoKeyPalette();
    }
    int Flag() {
        return GetParam().command == ID_PLAYBACK_PALETTE ? Frame().IsPlaybackPaletteShown()
                                                         : Frame().IsAutoKeyPaletteShown();
    }
    bool Registered() {
        if (GetParam().command == ID_PLAYBACK_PALETTE) {
            return Doc().GetPlaybackPalette() == &Frame().GetPlaybackPalette();
        }
        return Doc().GetAutoKeyPalette() == &Frame().GetAutoKeyPalette();
    }
    QAction* Action() { return Frame().ActionFor(GetParam().command); }
    void CheckShown(bool shown) {
        EXPECT_EQ(Palette().isVisible(), shown);
        EXPECT_EQ(Flag(), shown ? 1 : 0);
        EXPECT_EQ(Registered(), shown);
        EXPECT_EQ(Action()->isChecked(), shown);
    }
};

TEST_P(MainFrame_PaletteToggle, ButtonTwiceShowsAndHides) {
    Start();
    CheckShown(false);
    Action()->trigger();
    CheckShown(true);
    EXPECT_EQ(Palette().parentWidget(), &Frame());
    Action()->trigger();
    CheckShown(false);
}

TEST_P(MainFrame_PaletteToggle, CloseBoxThenOneClickShowsAgain) {
    Start();
    Action()->trigger();
    CheckShown(true);
    Palette().close();  // the caption's close box
    QApplication::processEvents();
    CheckShown(false);
    Action()->trigger();
    CheckShown(true);
}

TEST_P(MainFrame_PaletteToggle, HiddenPaletteKeepsItsPlaceAndContents) {
    Start();
    Action()->trigger();
    Palette().move(Frame().pos() + QPoint(40, 60));
    const QPoint where = Palette().pos();
    Action()->trigger();
    Action()->trigger();
    EXPECT_EQ(Palette().pos(), where);
}

INSTANTIATE_TEST_SUITE_P(Both, MainFrame_PaletteToggle,
                         ::testing::Values(PaletteCase{"Playback", ID_PLAYBACK_PALETTE},
                                           PaletteCase{"AutoKey", ID_AUTOKEY_PALETTE}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFrame, PalettesFirstAppearBesideTheWindowWithoutCoveringEachOther) {
    Start();
    Frame().setGeometry(0, 0, 300, 250);
    Frame().PlacePalettes();
    Frame().OnCommand(ID_AUTOKEY_PALETTE);
    Frame().OnCommand(ID_PLAYBACK_PALETTE);
    const QRect frame = Frame().frameGeometry();
    const QRect autoKey = Frame().GetAutoKeyPalette().frameGeometry();
    const QRect playback = Frame().GetPlaybackPalette().frameGeometry();
    EXPECT_FALSE(autoKey.intersects(frame));
    EXPECT_FALSE(playback.intersects(frame));
    EXPECT_FALSE(playback.intersects(autoKey));
    const QRect screen = Frame().screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(autoKey))
        << autoKey.x() << "," << autoKey.y() << " " << autoKey.width() << "x" << autoKey.height()
        << " in " << screen.width() << "x" << screen.height() << " frame " << frame.right();
    EXPECT_TRUE(screen.contains(playback)) << playback.x() << "," << playback.y();
}

TEST_F(MainFrame, AutoKeyEscapeHidesAndTheToggleFollows) {
    Start();
    Frame().OnCommand(ID_AUTOKEY_PALETTE);
    ASSERT_TRUE(Frame().GetAutoKeyPalette().isVisible());
    QTest::keyClick(&Frame().GetAutoKeyPalette(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(Frame().GetAutoKeyPalette().isVisible());
    EXPECT_EQ(Frame().IsAutoKeyPaletteShown(), 0);
    EXPECT_FALSE(Frame().ActionFor(ID_AUTOKEY_PALETTE)->isChecked());
    Frame().OnCommand(ID_AUTOKEY_PALETTE);
    EXPECT_TRUE(Frame().GetAutoKeyPalette().isVisible()) << "one click shows it again";
}

TEST_F(MainFrame, ZoomInCentresOnTheCursorThenOnTheSelection) {
    Start();
    g_sound.Load(MakeVoice("v.wav", 6.0));
    Doc().UpdateExtent();
    TimelineState& ts = Doc().GetTimeRange();
    ts.SetVisibleRange(ts.GetExtentMin(), ts.GetExtentMax());
    ASSERT_GE(ts.GetExtentMax(), 89.5);
    ts.SetAnchor(40.5);
    ts.SetCursor(40.5);
    ts.SetVisibleRange(-0.5, 89.5);
    Frame().OnCommand(ID_ZOOM_IN);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), 40.5 - 22.5);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 40.5 + 22.5);

    ts.SetAnchor(20.5);
    ts.SetCursor(30.5);
    Frame().OnCommand(ID_ZOOM_IN);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), 25.5 - 11.25);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 25.5 + 11.25);

    Frame().OnCommand(ID_ZOOM_OUT);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), 25.5 - 22.5);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 25.5 + 22.5);
}

TEST_F(MainFrame, ZoomRedrawsEvenWhenNothingMoved) {
    Start();
    TimelineState& ts = Doc().GetTimeRange();
    ts.SetVisibleRange(3.5, 5.5);  // already the narrowest view
    CountingView view;
    Watch(&view);
    Frame().OnCommand(ID_ZOOM_IN);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), 3.5);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax(), 5.5);
    EXPECT_EQ(view.hints, std::vector<int>({0}));
}

TEST_F(MainFrame, PaintPanesNowPaintsEveryWaitingPane) {
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    QApplication::processEvents();
    Doc().GetTimeRange().SetAnchor(4.5);
    Doc().GetTimeRange().SetCursor(4.5);
    Doc().UpdateAllViews(nullptr, 0);
    ASSERT_TRUE(Frame().GetWavePane()->HasPendingUpdate());
    ASSERT_TRUE(Frame().GetEnvelopePane()->HasPendingUpdate());
    Frame().PaintPanesNow();
    EXPECT_FALSE(Frame().GetWavePane()->HasPendingUpdate());
    EXPECT_FALSE(Frame().GetEnvelopePane()->HasPendingUpdate());
    // The cursor moved in both pictures: the red line at frame edge 4.5.
    for (MSBView* pane : {static_cast<MSBView*>(Frame().GetWavePane()),
                          static_cast<MSBView*>(Frame().GetEnvelopePane())}) {
        const QImage& picture = pane->BackBuffer();
        const int x = pane->GetMapping().WorldToPixelX(4.5);
        const int y =
            (pane->GetMapping().GetPixelRect().top + pane->GetMapping().GetPixelRect().bottom) / 3;
        const qreal dpr = picture.devicePixelRatio();
        EXPECT_EQ(QColor(picture.pixel(qRound(x * dpr), qRound(y * dpr))), QColor(255, 0, 0));
    }
}

TEST_F(MainFrame, SecondsTogglesTheFlagAndRedraws) {
    Start();
    CountingView view;
    Watch(&view);
    Frame().OnCommand(ID_SECONDS);
    EXPECT_EQ(g_showSeconds, 1);
    EXPECT_EQ(Profile().GetInt("SETTINGS", "SECONDS", -1), 1);
    EXPECT_EQ(view.hints, std::vector<int>({0}));
    Frame().OnCommand(ID_SECONDS);
    EXPECT_EQ(g_showSeconds, 0);
    EXPECT_EQ(Profile().GetInt("SETTINGS", "SECONDS", -1), 0);
}

TEST_F(MainFrame, SpaceWhilePaletteHiddenPlaysAndMarkersMoveInBothPanes) {
    Start();
    Doc().LoadSoundFrom(MakeVoice("v.wav", 2.0));
    ASSERT_TRUE(g_sound.IsLoaded());
    Frame().GetEnvelopePane()->setFocus();
    QTest::keyClick(Frame().GetEnvelopePane(), Qt::Key_Space);
    CPlaybackPalette& palette = Frame().GetPlaybackPalette();
    EXPECT_FALSE(palette.isVisible());
    ASSERT_EQ(palette.GetState(), CPlaybackPalette::kPlaying);
    audio_->heard = 22050 / 2;  // half a second in
    QTRY_VERIFY_WITH_TIMEOUT(Frame().GetWavePane()->IsMarkerShown(), 2000);
    EXPECT_TRUE(Frame().GetEnvelopePane()->IsMarkerShown());

    // Moving the cursor stops playback and takes the marker off both panes.
    QTest::keyClick(Frame().GetEnvelopePane(), Qt::Key_Right);
    EXPECT_EQ(palette.GetState(), CPlaybackPalette::kStopped);
    EXPECT_FALSE(Frame().GetWavePane()->IsMarkerShown());
    EXPECT_FALSE(Frame().GetEnvelopePane()->IsMarkerShown());
}

TEST_F(MainFrame, SpaceTogglesPlaybackAndAutoRepeatIsIgnored) {
    Start();
    Doc().LoadSoundFrom(MakeVoice("v.wav", 2.0));
    QWidget* pane = Frame().GetWavePane();
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_Space);
    EXPECT_EQ(Frame().GetPlaybackPalette().GetState(), CPlaybackPalette::kPlaying);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
    QApplication::sendEvent(pane, &repeat);
    EXPECT_EQ(Frame().GetPlaybackPalette().GetState(), CPlaybackPalette::kPlaying);
    QTest::keyClick(pane, Qt::Key_Space);
    EXPECT_EQ(Frame().GetPlaybackPalette().GetState(), CPlaybackPalette::kStopped);
    // With a modifier it is not the Space command.
    QTest::keyClick(pane, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(Frame().GetPlaybackPalette().GetState(), CPlaybackPalette::kStopped);
}

TEST_F(MainFrame, SpaceInAPaletteEditTypesASpace) {
    Start();
    Doc().LoadSoundFrom(MakeVoice("v.wav", 2.0));
    Frame().OnCommand(ID_PLAYBACK_PALETTE);
    QLineEdit* edit = Frame().GetPlaybackPalette().findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Space);
    EXPECT_EQ(Frame().GetPlaybackPalette().GetState(), CPlaybackPalette::kStopped);
}

TEST_F(MainFrame, EditKeysAreBoundButPlainInsertAndDeleteReachTheEnvelopePane) {
    Start();
    EnvView* pane = Frame().GetEnvelopePane();
    Frame().show();
    Frame().activateWindow();
    pane->setFocus();
    QApplication::processEvents();
    Doc().GetTimeRange().SetAnchor(2.5);
    Doc().GetTimeRange().SetCursor(6.5);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(pane, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 0) << "Shift+Insert pastes, and nothing is copied";
    QTest::keyClick(pane, Qt::Key_Insert);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 4);
    QTest::keyClick(pane, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 0) << "Shift+Delete cuts";
    QTest::keyClick(pane, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 4) << "Shift+Insert pastes them back";
    QTest::keyClick(pane, Qt::Key_Delete);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 0);
}

TEST_F(MainFrame, InsertAndDeleteWorkFromTheUpperPaneToo) {
    Start();
    WaveView* pane = Frame().GetWavePane();
    Frame().activateWindow();
    pane->setFocus();
    QApplication::processEvents();
    Doc().GetTimeRange().SetAnchor(2.5);
    Doc().GetTimeRange().SetCursor(6.5);
    QTest::keyClick(pane, Qt::Key_Insert);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 4);
    QTest::keyClick(pane, Qt::Key_Delete);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 0);
}

TEST_F(MainFrame, SpaceOnAFocusedPaletteButtonPlays) {
    Start();
    Doc().LoadSoundFrom(MakeVoice("v.wav", 2.0));
    Doc().GetKeys().SetKey(Keyframe(9, 0.5f));
    Doc().GetKeys().SetKey(Keyframe(20, 0.5f));
    Frame().OnCommand(ID_PLAYBACK_PALETTE);
    QPushButton* next = Frame().GetPlaybackPalette().findChild<QPushButton*>("nextKey");
    ASSERT_NE(next, nullptr);
    QTest::mouseClick(next, Qt::LeftButton);
    next->setFocus();
    ASSERT_TRUE(Doc().GetTimeRange().HasSelection());
    QTest::keyClick(next, Qt::Key_Space);
    EXPECT_EQ(Frame().GetPlaybackPalette().GetState(), CPlaybackPalette::kPlaying);
    EXPECT_DOUBLE_EQ(Doc().GetTimeRange().SelectionStart(), 8.5) << "the button was not pressed";
}

TEST_F(MainFrame, F6GoesOnToTheShownPalettesAndBack) {
    Start();
    Frame().OnCommand(ID_PLAYBACK_PALETTE);
    Frame().activateWindow();
    Frame().GetEnvelopePane()->setFocus();
    QApplication::processEvents();
    QTest::keyClick(&Frame(), Qt::Key_F6);
    QWidget* palette = &Frame().GetPlaybackPalette();
    QTRY_VERIFY_WITH_TIMEOUT(
        QApplication::focusWidget() && QApplication::focusWidget()->window() == palette, 2000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QTRY_VERIFY_WITH_TIMEOUT(Frame().GetWavePane()->hasFocus(), 2000);
}

TEST_F(MainFrame, F6MovesTheFocusBetweenThePanes) {
    Start();
    Frame().activateWindow();
    Frame().GetWavePane()->setFocus();
    QApplication::processEvents();
    QTest::keyClick(&Frame(), Qt::Key_F6);
    EXPECT_TRUE(Frame().GetShapeLane()->hasFocus());
    QTest::keyClick(&Frame(), Qt::Key_F6);
    EXPECT_TRUE(Frame().GetEnvelopePane()->hasFocus());
    QTest::keyClick(&Frame(), Qt::Key_F6);
    EXPECT_TRUE(Frame().GetWavePane()->hasFocus());
    QTest::keyClick(&Frame(), Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(Frame().GetEnvelopePane()->hasFocus());
}

TEST_F(MainFrame, HelpTopicsOpensContextOneHundred) {
    Start();
    Frame().OnCommand(ID_HELP_FINDER);
    EXPECT_EQ(help_.contexts, std::vector<int>({100}));
    help_.opens = false;
    messages_->Expect("Failed to launch help.");
    Frame().OnCommand(ID_HELP_FINDER);
}

TEST_F(MainFrame, DroppedDocumentOpens) {
    Start();
    const std::string path = dir_.File("dropped.vok");
    {
        const std::string saved = Profile().Path();
        CVokraDoc other;
        other.OnNewDocument();
        other.SetFrameRate(24.0, 8);
        ASSERT_TRUE(other.OnSaveDocument(path));
    }
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint at = Frame().rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Frame(), &drop);
    QTRY_COMPARE(QString::fromStdString(Doc().GetPathName()), QString::fromStdString(path));
    EXPECT_DOUBLE_EQ(Doc().GetFrameRate(), 24.0);
    EXPECT_EQ(Frame().windowTitle(), "dropped.vok[*] - Vokra");
}

TEST_F(MainFrame, RecentFilesListedMostRecentFirst) {
    Start();
    ASSERT_TRUE(Frame().RecentFileActions().empty());
    const std::string a = dir_.File("a.vok"), b = dir_.File("b.vok");
    dialogs_->Answer(a);
    Frame().OnCommand(ID_FILE_SAVE_AS);
    dialogs_->Answer(b);
    Frame().OnCommand(ID_FILE_SAVE_AS);
    auto entries = Frame().RecentFileActions();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]->text().toStdString(), "&1 " + b);
    EXPECT_EQ(entries[1]->text().toStdString(), "&2 " + a);
    EXPECT_EQ(entries[0]->statusTip(), "Open this document");
    const std::vector<std::string> menu = MenuTexts(Frame().menuBar());
    EXPECT_EQ(std::count(menu.begin(), menu.end(), "Recent File"), 0);

    // Choosing an entry opens it; one that has gone is dropped from the list.
    entries[1]->trigger();
    EXPECT_EQ(Doc().GetPathName(), a);
    std::filesystem::remove(b);
    messages_->AllowAny();
    Frame().RecentFileActions()[1]->trigger();
    ASSERT_EQ(Frame().RecentFileActions().size(), 1u);
    EXPECT_EQ(Frame().RecentFileActions()[0]->text().toStdString(), "&1 " + a);
}

TEST_F(MainFrame, ExitAsksToSaveAModifiedDocument) {
    Start();
    Doc().SetModifiedFlag(true);
    messages_->Expect("Save changes to Untitled?", IDCANCEL);
    EXPECT_FALSE(Frame().close());
    EXPECT_TRUE(Frame().isVisible());
    messages_->Expect("Save changes to Untitled?", IDNO);
    Frame().OnCommand(ID_APP_EXIT);
    EXPECT_FALSE(Frame().isVisible());
}

TEST_F(MainFrame, SetFramesPerSecondRunsTheDialog) {
    Start();
    Doc().GetKeys().SetKey(Keyframe(3, 0.5f));
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CFpsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->Combo()->setCurrentIndex(9);
        dlg->OkButton()->click();
    });
    messages_->Expect(
        "Changing the frames per Second will cause the deletion of all existing keyframes.\n\n"
        "Re-time keeps them instead: each keyframe moves to the frame nearest its old time.",
        IDNO);
    Frame().OnCommand(ID_SET_FPS);
    EXPECT_DOUBLE_EQ(Doc().GetFrameRate(), 25.0);
    EXPECT_EQ(Doc().GetFpsPreset(), 9);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 0);
    EXPECT_EQ(Profile().GetInt("SETTINGS", "FPS_TYPE", -1), 9);
}

TEST_F(MainFrame, AboutBoxShowsTheVersion) {
    Start();
    QString caption, version;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        if (auto* label = box->findChild<QLabel*>("aboutVersion")) version = label->text();
        for (auto* b : box->findChildren<QPushButton*>()) {
            if (b->text() == "OK") b->click();
        }
    });
    Frame().OnCommand(ID_APP_ABOUT);
    EXPECT_EQ(caption, "About Vokra");
    EXPECT_EQ(version, "Vokra Version 1.0  6/15/98");
}

}  // namespace
}  // namespace vokra::test
