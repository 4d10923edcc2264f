// The undo history: every key edit is one step that undoes and redoes to the same bytes, the
// modified flag follows the saved state, the history stays within its limits, and keys travel
// through the clipboard.
#include "app/key_history.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUndoStack>
#include <fstream>
#include <sstream>

#include "app/commands.h"
#include "panes/qt/env_view.h"
#include "platform/archive.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

class KeyUndo : public AppFixture {
public:
    using AppFixture::Doc;
    using AppFixture::Frame;
    using AppFixture::messages_;

    // A document with a sound, keys on frames 2, 5, 8 and 12, and nothing to undo.
    void StartWithKeys() {
        Start();
        Doc().LoadSoundFrom(MakeVoice("voice.wav", 1.0, 8000));
        for (auto [f, v] : {std::pair{2, .2f}, {5, .5f}, {8, .8f}, {12, 1.2f}}) {
            Doc().GetKeys().SetKey(Keyframe(f, v));
        }
        Doc().SetModifiedFlag(false);
    }
    std::string Bytes() {
        Archive ar;
        Doc().Serialize(ar);
        return ar.Bytes();
    }
    void Select(double anchor, double cursor) {
        Doc().GetTimeRange().SetAnchor(anchor);
        Doc().GetTimeRange().SetCursor(cursor);
    }
    QUndoStack& Stack() { return Frame().GetHistory()->Stack(); }
};

struct CommandCase {
    const char* name;
    void (*run)(KeyUndo&);
    const char* undoText;
};

class KeyUndo_Commands : public KeyUndo, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(KeyUndo_Commands, UndoAndRedoGiveTheSameBytes) {
    const CommandCase& c = GetParam();
    StartWithKeys();
    const std::string before = Bytes();
    c.run(*this);
    const std::string after = Bytes();
    ASSERT_NE(after, before);
    ASSERT_EQ(Stack().count(), 1);
    EXPECT_EQ(Frame().ActionFor(ID_EDIT_UNDO)->text().toStdString(), c.undoText);
    EXPECT_TRUE(Doc().IsModified());
    Frame().OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Bytes(), before);
    EXPECT_FALSE(Doc().IsModified());
    Frame().OnCommand(ID_EDIT_REDO);
    EXPECT_EQ(Bytes(), after);
    EXPECT_TRUE(Doc().IsModified());
}

void Delete(KeyUndo& f) {
    f.Select(-0.5, 9.5);
    f.Doc().OnKeyCommand(0x2E, 1, 0);
}
void Insert(KeyUndo& f) {
    f.Select(2.5, 7.5);
    f.Doc().OnKeyCommand(0x2D, 1, 0);
}
void AutoKey(KeyUndo& f) {
    f.Frame().OnAutoKeyPalette();
    f.Select(0.5, 6.5);
    f.Frame().GetAutoKeyPalette().UpdateRangeLabel(0);
    f.Frame().GetAutoKeyPalette().OnApply();
}
void Drag(KeyUndo& f) {
    EnvView* env = f.Frame().GetEnvelopePane();
    env->resize(450, 208);
    f.Select(1.5, 5.5);
    env->PaintPane();
    const Point key = env->GetMapping().WorldToPixelPoint(5, 0.5);
    env->OnLButtonDown(KeyState{}, key);
    env->OnMouseMove(KeyState{}, Point{key.x, key.y - 20});
    env->OnMouseMove(KeyState{}, Point{key.x, key.y - 30});
    env->OnLButtonUp(KeyState{}, Point{key.x, key.y - 30});
}
void Open(KeyUndo& f) {
    f.Frame().OnPlaybackPalette();
    f.Select(1.5, 8.5);
    auto* edit = f.Frame().GetPlaybackPalette().findChild<QLineEdit*>("open");
    edit->clear();
    QTest::keyClicks(edit, "70");
    f.Frame().GetPlaybackPalette().OnKillFocusOpen();
}
void Cut(KeyUndo& f) {
    f.Select(1.5, 5.5);
    f.Frame().OnCommand(ID_EDIT_CUT);
}
void Paste(KeyUndo& f) {
    f.Select(1.5, 5.5);
    f.Frame().OnCommand(ID_EDIT_COPY);
    f.Select(6.5, 6.5);
    f.Frame().OnCommand(ID_EDIT_PASTE);
}
template <int Answer>
void Rate(KeyUndo& f) {
    f.messages_->AllowAny(Answer);
    f.Doc().OnSetFramesPerSec([](std::int32_t, double, double) { return FpsChoice{25.0, 9}; });
}

INSTANTIATE_TEST_SUITE_P(Table, KeyUndo_Commands,
                         ::testing::Values(CommandCase{"Delete", Delete, "&Undo Delete Keys"},
                                           CommandCase{"Insert", Insert, "&Undo Insert Keys"},
                                           CommandCase{"AutoKey", AutoKey, "&Undo AutoKey"},
                                           CommandCase{"Drag", Drag, "&Undo Move Keys"},
                                           CommandCase{"Open", Open, "&Undo Set Opening"},
                                           CommandCase{"Cut", Cut, "&Undo Cut Keys"},
                                           CommandCase{"Paste", Paste, "&Undo Paste Keys"},
                                           CommandCase{"Retime", Rate<IDYES>, "&Undo Frame Rate"},
                                           CommandCase{"RateDelete", Rate<IDNO>,
                                                       "&Undo Frame Rate"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Delete, undo, save: the file is the one saved before; redo, save: the keys are gone again.
TEST_F(KeyUndo, UndoToTheSavedStateIsUnmodifiedAndSavesTheSameBytes) {
    StartWithKeys();
    const std::string path = dir_.File("take1.vok");
    dialogs_->Answer(path);
    Frame().OnCommand(ID_FILE_SAVE);
    auto read = [&] {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    };
    const std::string saved = read();
    Select(-0.5, 6.5);
    Doc().OnKeyCommand(0x2E, 1, 0);
    EXPECT_TRUE(Frame().isWindowModified());
    Frame().OnCommand(ID_EDIT_UNDO);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_FALSE(Frame().isWindowModified());
    Frame().OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(read(), saved);
    Frame().OnCommand(ID_EDIT_REDO);
    EXPECT_TRUE(Doc().IsModified());
    Frame().OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(read().size(), saved.size() - 2 * 12);  // frames 2 and 5 gone
    // Undo now leaves the saved state behind: the document is modified again.
    Frame().OnCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(Doc().IsModified());
}

TEST_F(KeyUndo, LoadingASoundClearsTheHistoryAndCannotBeUndoneToClean) {
    StartWithKeys();
    Select(-0.5, 6.5);
    Doc().OnKeyCommand(0x2E, 1, 0);
    Doc().SetModifiedFlag(false);  // as a save does
    Doc().LoadSoundFrom(MakeVoice("other.wav", 1.0, 8000));
    EXPECT_EQ(Stack().count(), 0);
    EXPECT_TRUE(Doc().IsModified());
    Select(-0.5, 12.5);
    Doc().OnKeyCommand(0x2E, 1, 0);
    Frame().OnCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(Doc().IsModified());  // the sound change is still unsaved
}

TEST_F(KeyUndo, HistoryKeepsTheNewestStepsWithinItsLimits) {
    StartWithKeys();
    const std::string path = dir_.File("limit.vok");
    dialogs_->Answer(path);
    Frame().OnCommand(ID_FILE_SAVE);
    for (int i = 0; i < KeyHistory::kStepLimit + 5; ++i) {
        Select(19.5 + i, 20.5 + i);
        Doc().OnKeyCommand(0x2D, 1, 0);
    }
    EXPECT_EQ(Stack().count(), KeyHistory::kStepLimit);
    while (Stack().canUndo()) Stack().undo();
    // The first five steps are gone: their keys stay, and the saved state is out of reach.
    EXPECT_EQ(Doc().GetKeys().GetCount(), 4 + 5);
    EXPECT_TRUE(Doc().IsModified());

    // A byte budget: steps of 1,000,000 keys each (24 MB with before and after) keep two.
    for (int i = 0; i < 4; ++i) {
        Select(-0.5 + i, 999'999.5 + i);
        Doc().OnKeyCommand(0x2D, 1, 0);
    }
    EXPECT_LE(Frame().GetHistory()->Bytes(), KeyHistory::kByteBudget);
    EXPECT_EQ(Stack().count(), 2);
}

TEST_F(KeyUndo, CtrlZWorksFromAPaletteButATextFieldKeepsItsOwn) {
    StartWithKeys();
    Select(-0.5, 6.5);
    Doc().OnKeyCommand(0x2E, 1, 0);  // keys 8 and 12 stay
    Frame().OnCommand(ID_PLAYBACK_PALETTE);
    CPlaybackPalette& palette = Frame().GetPlaybackPalette();
    palette.activateWindow();
    QApplication::processEvents();
    auto* edit = palette.findChild<QLineEdit*>("start");
    edit->setFocus();
    const QString shown = edit->text();
    QTest::keyClicks(edit, "7");
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 2);
    EXPECT_EQ(edit->text(), shown);  // the field took back the typing
    auto* play = palette.findChild<QWidget*>("play");
    play->setFocus();
    QTest::keyClick(play, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 4);
}

TEST_F(KeyUndo, TextOnTheClipboardPastesTheSameKeys) {
    StartWithKeys();
    Select(1.5, 8.5);  // frames 2..8: keys at offsets 0, 3 and 6
    Frame().OnCommand(ID_EDIT_COPY);
    const QString text = QGuiApplication::clipboard()->text();
    EXPECT_EQ(text.toStdString(), "0\t0.2\n3\t0.5\n6\t0.8\n");
    QGuiApplication::clipboard()->setText(text);  // as a text editor gives it back
    Select(19.5, 19.5);
    Frame().OnCommand(ID_EDIT_PASTE);
    const KeyframeList& keys = Doc().GetKeys();
    ASSERT_EQ(keys.GetCount(), 7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(keys.GetAt(4 + i)->GetFrame(), keys.GetAt(i)->GetFrame() + 18);
        EXPECT_EQ(keys.GetAt(4 + i)->GetOpening(), keys.GetAt(i)->GetOpening());
    }
    EXPECT_DOUBLE_EQ(Doc().GetTimeRange().SelectionEnd(), 26.5);

    QGuiApplication::clipboard()->setText("1 0.5\nnot a key");
    messages_->Expect("Line 2 of the clipboard does not start with a frame number (0 or more).");
    Frame().OnCommand(ID_EDIT_PASTE);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 7);
}

TEST_F(KeyUndo, ReTimingSaysHowManyMergedAndUndoesWithTheRate) {
    StartWithKeys();
    Doc().GetKeys().SetKey(Keyframe(4, 0.3f));  // at 15 -> 10 fps 4 -> 2.67 and 5 -> 3.33 meet
    messages_->AllowAny(IDYES);
    const std::string note = Doc().OnSetFramesPerSec([](std::int32_t, double, double) {
        return FpsChoice{10.0, 3};
    });
    EXPECT_EQ(note, "Re-timed 5 keyframes to 10 frames per second; 1 merged into a neighbour.");
    EXPECT_EQ(Doc().GetKeys().GetCount(), 4);
    EXPECT_EQ(Stack().count(), 1);
    Frame().OnCommand(ID_EDIT_UNDO);
    EXPECT_DOUBLE_EQ(Doc().GetFrameRate(), 15.0);
    EXPECT_EQ(Doc().GetFpsPreset(), 7);
    EXPECT_EQ(Doc().GetKeys().GetCount(), 5);
}

// While keys are dragged, another key edit ends the drag as cancelled first: Escape afterwards
// changes nothing, and every key stays inside the history.
struct InterruptCase {
    const char* name;
    void (*run)(KeyUndo&);
};

class KeyUndo_DragInterrupted : public KeyUndo,
                                public ::testing::WithParamInterface<InterruptCase> {};

TEST_P(KeyUndo_DragInterrupted, EscapeAfterwardsWritesNothingOutsideTheHistory) {
    StartWithKeys();
    const std::string original = Bytes();
    Select(2.5, 4.5);
    Doc().OnKeyCommand(0x2D, 1, 0);  // keys on 3 and 4, one step
    EnvView* env = Frame().GetEnvelopePane();
    env->resize(450, 208);
    Select(1.5, 5.5);
    env->PaintPane();
    const Point key = env->GetMapping().WorldToPixelPoint(5, 0.5);
    env->OnLButtonDown(KeyState{}, key);
    env->OnMouseMove(KeyState{}, Point{key.x, key.y - 30});
    GetParam().run(*this);
    EXPECT_FALSE(env->IsKeyDragging());
    const std::string interrupted = Bytes();
    QTest::keyClick(env, Qt::Key_Escape);
    env->OnLButtonUp(KeyState{}, Point{key.x, key.y - 30});
    EXPECT_EQ(Bytes(), interrupted);
    while (Stack().canUndo()) Stack().undo();
    EXPECT_EQ(Bytes(), original);
    EXPECT_FALSE(Doc().IsModified());
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyUndo_DragInterrupted,
    ::testing::Values(InterruptCase{"Undo", [](KeyUndo& f) { f.Frame().OnCommand(ID_EDIT_UNDO); }},
                      InterruptCase{"Retime",
                                    [](KeyUndo& f) {
                                        f.messages_->AllowAny(IDYES);
                                        f.Doc().OnSetFramesPerSec([](std::int32_t, double, double) {
                                            return FpsChoice{12.0, 4};
                                        });
                                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// The envelope's location is stored in the document: undoing back to the saved keys after writing
// it leaves the document modified, so quitting asks.
TEST_F(KeyUndo, UndoAfterWritingTheEnvelopeStaysModified) {
    StartWithKeys();
    dialogs_->Answer(dir_.File("take.vok"));
    Frame().OnCommand(ID_FILE_SAVE);
    Select(-0.5, 6.5);
    Doc().OnKeyCommand(0x2E, 1, 0);
    ASSERT_TRUE(Doc().WriteEnvelopeTo(dir_.File("take.env")));
    Frame().OnCommand(ID_EDIT_UNDO);
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_TRUE(Frame().isWindowModified());
}

// Undoing a custom rate restores the document's custom rate and the one new documents start with.
TEST_F(KeyUndo, UndoingACustomRateRestoresItExactly) {
    StartWithKeys();
    const std::string before = Bytes();
    messages_->AllowAny(IDYES);
    Doc().OnSetFramesPerSec([](std::int32_t, double, double) { return FpsChoice{20.0, 0}; });
    ASSERT_EQ(Profile().GetInt("SETTINGS", "FPS_CUSTOM", 0), 20000);
    Frame().OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(Bytes(), before);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(Profile().GetInt("SETTINGS", "FPS_CUSTOM", 15000), 15000);
    EXPECT_EQ(Profile().GetInt("SETTINGS", "FPS_TYPE", 7), 7);
}

// OK with the same rate, Insert over frames that all have keys: no step, no modified mark.
TEST_F(KeyUndo, AnEditThatChangesNothingIsNoEdit) {
    StartWithKeys();
    Doc().OnSetFramesPerSec([](std::int32_t, double, double) { return FpsChoice{15.0, 7}; });
    Select(1.5, 2.5);
    Doc().OnKeyCommand(0x2D, 1, 0);
    EXPECT_EQ(Stack().count(), 0);
    EXPECT_FALSE(Doc().IsModified());
}

// A value typed into %Open without Enter or Tab goes into the saved file; one out of range stops
// the save with its prompt.
TEST_F(KeyUndo, SaveCommitsAValuePendingInThePalette) {
    StartWithKeys();
    Frame().OnPlaybackPalette();
    Select(1.5, 5.5);
    Doc().UpdateAllViews(nullptr, kHintAll);
    auto* edit = Frame().GetPlaybackPalette().findChild<QLineEdit*>("open");
    edit->clear();
    QTest::keyClicks(edit, "200");
    messages_->Expect("Please Enter a size between 0 and 150");
    Frame().OnCommand(ID_FILE_SAVE);  // no dialog: the save stopped
    EXPECT_TRUE(Doc().GetPathName().empty());
    edit->clear();
    QTest::keyClicks(edit, "70");
    dialogs_->Answer(dir_.File("take.vok"));
    Frame().OnCommand(ID_FILE_SAVE);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_FLOAT_EQ(Doc().GetKeys().GetAt(1)->GetOpening(), 0.7f);  // frame 5
    messages_->VerifyAllShown();
}

}  // namespace
}  // namespace vokra::test
