#include "palettes/qt/playback_palette.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <chrono>

#include "palettes/qt/lip_preview.h"
#include "sound/sound_data.h"
#include "tests/palettes/palette_test_support.h"
#include "tests/support/scripted_services.h"

namespace vokra {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// 2 seconds at 44100 samples per second and 25 frames per second: 88200 samples, frames 0..50.
class PlaybackPaletteTest : public ::testing::Test {
protected:
    PlaybackPaletteTest() : d_(2.0, 44100, 25.0, 9), view_(d_.Doc()) {
        palette_.SetClock([this] { return now_; });
    }

    void Show() {
        // As the main frame shows it.
        palette_.SetDocument(&d_.Doc());
        d_.Doc().SetPlaybackPalette(&palette_);
        palette_.show();
        palette_.Refresh(0);
    }
    // Brings the palette to the front so that focus changes reach its edits.
    bool Activate() {
        if (!palette_.isVisible()) palette_.show();
        palette_.activateWindow();
        QApplication::setActiveWindow(&palette_);
        return QTest::qWaitForWindowActive(&palette_, 1000);
    }
    void Tick(std::int64_t heard, milliseconds at = milliseconds(0)) {
        audio_.Audio().heard = heard;
        now_ = Clock::time_point(at);
        palette_.OnTimer();
    }
    QPushButton* Button(const char* name) { return palette_.findChild<QPushButton*>(name); }
    QLineEdit* Edit(const char* name) { return palette_.findChild<QLineEdit*>(name); }
    QString Text(const char* name) { return palette_.findChild<QLabel*>(name)->text(); }
    const test::FakeAudio::Play& LastPlay() { return audio_.Audio().plays.back(); }
    TimelineState& Time() { return d_.Doc().GetTimeRange(); }
    // Types into an edit as the user does (replacing its text).
    void Type(QLineEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    // Moves the focus on, which commits the edit that had it.
    void Leave() { Button("play")->setFocus(); }

    test::ScriptedMessages messages_;
    test::FakeAudioScope audio_;
    test::FakeFrame frame_;
    test::DocWithSound d_;
    test::ForwardingView view_;
    Clock::time_point now_{};
    CPlaybackPalette palette_;
};

TEST_F(PlaybackPaletteTest, CreatedHiddenWithCaptionAndTabOrder) {
    EXPECT_FALSE(palette_.isVisible());
    EXPECT_EQ(palette_.windowTitle(), "Playback Palette");
    EXPECT_TRUE(palette_.windowFlags() & Qt::Tool);
    EXPECT_EQ(palette_.GetState(), 0);
    const char* order[] = {"play", "pause", "start", "end", "open", "prevKey", "nextKey", "play"};
    QWidget* w = Button("play");
    for (const char* name : order) {
        EXPECT_EQ(w->objectName(), name);
        do {
            w = w->nextInFocusChain();
        } while (w->focusPolicy() == Qt::NoFocus || w == &palette_ || !w->isWidgetType() ||
                 qobject_cast<QLabel*>(w));
    }
}

TEST_F(PlaybackPaletteTest, PlaysTheSelectedFramesAndEndsOnTheLastFrameEdge) {
    Show();
    d_.SelectFrames(10, 19);
    palette_.Refresh(0);
    EXPECT_EQ(Button("play")->text(), "Play Sel");
    QTest::mouseClick(Button("play"), Qt::LeftButton);

    EXPECT_EQ(palette_.GetState(), 2);
    EXPECT_EQ(LastPlay().first, 17640);
    EXPECT_EQ(LastPlay().first + LastPlay().count - 1, 35279);
    EXPECT_EQ(Button("play")->text(), "Stop");
    EXPECT_TRUE(palette_.IsTimerRunning());
    EXPECT_EQ(palette_.GetPreviewFrame(), 10);

    Tick(4410);  // sample 22050: frame 12.5
    EXPECT_EQ(palette_.GetState(), 2);
    EXPECT_DOUBLE_EQ(frame_.markers.back().position, 22050.0 / 44100 * 25 - 0.5);
    EXPECT_EQ(palette_.GetPreviewFrame(), 12);

    Tick(35279 - 20 - 17640);  // within 20 samples of the end
    EXPECT_EQ(palette_.GetState(), 1);
    EXPECT_FALSE(palette_.IsTimerRunning());
    EXPECT_DOUBLE_EQ(frame_.markers.back().position, 19.5);
    EXPECT_TRUE(frame_.markers.back().show);
    EXPECT_EQ(Button("play")->text(), "Play Sel");
}

TEST_F(PlaybackPaletteTest, PreviewEndsOnTheLastPlayedFrame) {
    Show();
    d_.SelectFrames(10, 19);
    palette_.OnPlay();
    Tick(17640);  // one past the last sample: exactly the edge of frame 20
    EXPECT_EQ(palette_.GetState(), 1);
    EXPECT_EQ(palette_.GetPreviewFrame(), 19);
}

TEST_F(PlaybackPaletteTest, PlayAllStartsAtSampleZeroWhateverTheSelection) {
    Show();
    d_.SelectFrames(10, 19);
    QTest::mouseClick(Button("playMode"), Qt::LeftButton);
    EXPECT_EQ(Button("play")->text(), "Play All");
    palette_.OnPlay();
    EXPECT_EQ(LastPlay().first, 0);
    EXPECT_EQ(LastPlay().count, 88200);
}

TEST_F(PlaybackPaletteTest, WithoutSelectionPlaysFromTheFrameRightOfTheCursorToTheEnd) {
    Show();
    d_.PlaceCursor(4.5);
    palette_.OnPlay();
    EXPECT_EQ(LastPlay().first, 8820);  // frame 5
    EXPECT_EQ(LastPlay().first + LastPlay().count, 88200);
}

TEST_F(PlaybackPaletteTest, PauseStepsBackToTheFrameBeforeABoundaryAndResumesAtItsStart) {
    Show();
    palette_.OnPlayMode();  // Play All
    palette_.OnPlay();
    Tick(35281);
    QTest::mouseClick(Button("pause"), Qt::LeftButton);
    EXPECT_EQ(palette_.GetState(), 3);
    EXPECT_EQ(palette_.GetPausedFrame(), 19);
    EXPECT_EQ(Button("pause")->text(), "Resume");
    EXPECT_EQ(Button("play")->text(), "Stop");
    EXPECT_FALSE(palette_.IsTimerRunning());
    EXPECT_DOUBLE_EQ(frame_.markers.back().position, 19.0);
    EXPECT_EQ(palette_.GetPreviewFrame(), 19);

    QTest::mouseClick(Button("pause"), Qt::LeftButton);
    EXPECT_EQ(palette_.GetState(), 2);
    EXPECT_EQ(LastPlay().first, 33516);
    EXPECT_EQ(LastPlay().first + LastPlay().count, 88200);
    EXPECT_EQ(Button("pause")->text(), "Pause");
    EXPECT_TRUE(palette_.IsTimerRunning());
}

TEST_F(PlaybackPaletteTest, ResumePastTheEndOfTheRangeJustStops) {
    Show();
    d_.SelectFrames(10, 19);
    palette_.OnPlay();
    Tick(35279 - 17640 - 100);  // not yet finished
    palette_.OnPause();
    ASSERT_EQ(palette_.GetState(), 3);
    ASSERT_EQ(palette_.GetPausedFrame(), 19);
    // Frame 19 starts at 33516, inside the range: resuming plays it.
    palette_.OnPause();
    EXPECT_EQ(LastPlay().first, 33516);
    EXPECT_EQ(LastPlay().first + LastPlay().count - 1, 35279);
}

TEST_F(PlaybackPaletteTest, SpaceWhilePausedRestartsTheRange) {
    Show();
    d_.SelectFrames(10, 19);
    palette_.TogglePlayback();
    Tick(5000);
    palette_.OnPause();
    ASSERT_EQ(palette_.GetState(), 3);
    palette_.TogglePlayback();
    EXPECT_EQ(palette_.GetState(), 2);
    EXPECT_EQ(LastPlay().first, 17640);
    palette_.TogglePlayback();
    EXPECT_EQ(palette_.GetState(), 1);
}

TEST_F(PlaybackPaletteTest, StalledDeviceEndsPlaybackAfterTwoSeconds) {
    Show();
    palette_.OnPlay();  // from frame 0 to the end
    Tick(1000, milliseconds(0));
    Tick(1000, milliseconds(1999));
    EXPECT_EQ(palette_.GetState(), 2);
    Tick(1000, milliseconds(2000));
    EXPECT_EQ(palette_.GetState(), 1);
    EXPECT_EQ(audio_.Audio().resets, 1);
    // The marker goes to the right edge of the last frame of the range.
    EXPECT_DOUBLE_EQ(frame_.markers.back().position, 49.5);
}

TEST_F(PlaybackPaletteTest, MovingPositionRestartsTheStallClock) {
    Show();
    palette_.OnPlay();
    Tick(1000, milliseconds(0));
    Tick(1001, milliseconds(1500));
    Tick(1001, milliseconds(3000));
    EXPECT_EQ(palette_.GetState(), 2);
    Tick(1001, milliseconds(3500));
    EXPECT_EQ(palette_.GetState(), 1);
}

TEST_F(PlaybackPaletteTest, AFinishedPlaybackIsSeenAtTheNextRefresh) {
    Show();
    palette_.OnPlay();
    audio_.Audio().done = true;
    palette_.Refresh(55);
    EXPECT_EQ(palette_.GetState(), 1);
    EXPECT_EQ(Button("play")->text(), "Play Sel");
    // The timer notices the state and stops itself.
    palette_.OnTimer();
    EXPECT_FALSE(palette_.IsTimerRunning());
}

TEST_F(PlaybackPaletteTest, SoundUnloadedDuringPlaybackEndsItAtTheNextTick) {
    Show();
    palette_.OnPlay();
    const std::size_t markers = frame_.markers.size();
    g_sound.Unload();
    Tick(0);
    EXPECT_EQ(palette_.GetState(), 0);
    EXPECT_FALSE(palette_.IsTimerRunning());
    EXPECT_EQ(frame_.markers.size(), markers);  // no marker at a position divided by rate 0
    EXPECT_FALSE(Button("play")->isEnabled());
}

TEST_F(PlaybackPaletteTest, ASelectionChangeStopsPlayback) {
    // The main frame's answer to every placement of anchor or cursor.
    SetPositionChangeHook([this] {
        palette_.StopPlayback();
        frame_.SetPlaybackMarkers(0.0, false);
    });
    Show();
    palette_.OnPlay();
    Tick(3000);
    Time().SetCursor(Time().GetCursor());
    SetPositionChangeHook(nullptr);
    EXPECT_EQ(palette_.GetState(), 1);
    EXPECT_FALSE(frame_.markers.back().show);
}

TEST_F(PlaybackPaletteTest, AFailingDeviceFallsBackToStopped) {
    Show();
    audio_.Audio().openFails = true;
    messages_.Expect("Open sound device failed!");
    palette_.OnPlay();
    EXPECT_EQ(palette_.GetState(), 1);
    EXPECT_EQ(Button("play")->text(), "Play Sel");
}

struct StateCase {
    const char* name;
    int state;
    const char* play;
    const char* pause;
    bool playOn, pauseOn, modeOn;
};

class PlaybackPalette_Buttons : public PlaybackPaletteTest,
                                public ::testing::WithParamInterface<StateCase> {};

TEST_P(PlaybackPalette_Buttons, TextsAndEnablingFollowTheState) {
    const StateCase& c = GetParam();
    Show();
    if (c.state == 0) g_sound.Unload();
    if (c.state >= 2) palette_.OnPlay();
    if (c.state == 3) palette_.OnPause();
    palette_.Refresh(55);
    ASSERT_EQ(palette_.GetState(), c.state);
    EXPECT_EQ(Button("play")->text(), c.play);
    EXPECT_EQ(Button("pause")->text(), c.pause);
    EXPECT_EQ(Button("play")->isEnabled(), c.playOn);
    EXPECT_EQ(Button("pause")->isEnabled(), c.pauseOn);
    EXPECT_EQ(Button("playMode")->isEnabled(), c.modeOn);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaybackPalette_Buttons,
    ::testing::Values(StateCase{"NoSound", 0, "Play", "Pause", false, false, false},
                      StateCase{"Stopped", 1, "Play Sel", "Pause", true, false, true},
                      StateCase{"Playing", 2, "Stop", "Pause", true, true, false},
                      StateCase{"Paused", 3, "Stop", "Resume", true, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaybackPaletteTest, PlayStopsWhenPlayingOrPaused) {
    Show();
    palette_.OnPlay();
    palette_.OnPlay();
    EXPECT_EQ(palette_.GetState(), 1);
    palette_.OnPlay();
    palette_.OnPause();
    palette_.OnPlay();
    EXPECT_EQ(palette_.GetState(), 1);
    EXPECT_DOUBLE_EQ(frame_.markers.back().position, palette_.GetPreviewFrame());
}

// ---- Key statistics and %Open --------------------------------------------------------------

struct StatsCase {
    const char* name;
    std::vector<float> openings;  // keys on frames 10, 11, ...
    bool select;                  // frames 10..12 selected (else the cursor alone)
    const char* count;
    const char* min;
    const char* max;
    const char* open;
    bool readOnly;
};

class PlaybackPalette_Stats : public PlaybackPaletteTest,
                              public ::testing::WithParamInterface<StatsCase> {};

TEST_P(PlaybackPalette_Stats, CountMinMaxAndCommonOpening) {
    const StatsCase& c = GetParam();
    for (std::size_t i = 0; i < c.openings.size(); ++i) {
        d_.SetKey(10 + static_cast<int>(i), c.openings[i]);
    }
    d_.SetKey(13, 1.9f);  // outside the selection
    if (c.select) {
        d_.SelectFrames(10, 12);
    } else {
        d_.PlaceCursor(10.5);
    }
    Show();
    EXPECT_EQ(Text("keyCount"), c.count);
    EXPECT_EQ(Text("minOpen"), c.min);
    EXPECT_EQ(Text("maxOpen"), c.max);
    EXPECT_EQ(Edit("open")->text(), c.open);
    EXPECT_EQ(Edit("open")->isReadOnly(), c.readOnly);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlaybackPalette_Stats,
    ::testing::Values(
        StatsCase{"ThreeDiffer", {0.4f, 0.4f, 0.55f}, true, "3", "40", "55", "", false},
        StatsCase{"TwoEqual", {0.4f, 0.4f}, true, "2", "40", "40", "40", false},
        StatsCase{"HalvesRoundUp", {0.125f}, true, "1", "13", "13", "13", false},
        StatsCase{"MinAfterMax", {0.9f, 0.3f, 0.6f}, true, "3", "30", "90", "", false},
        StatsCase{"NoKeyInSelection", {}, true, "0", "", "", "", true},
        StatsCase{"NoSelection", {0.5f}, false, "", "", "", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaybackPaletteTest, OpenSetsEveryKeyInTheSelectionAndCreatesNone) {
    ASSERT_TRUE(Activate());
    d_.SetKey(10, 0.4f);
    d_.SetKey(12, 0.55f);
    d_.SetKey(20, 0.3f);
    d_.SelectFrames(9, 12);
    Show();
    d_.Doc().SetModifiedFlag(false);
    Type(Edit("open"), "150");
    Leave();
    const KeyframeList& keys = d_.Doc().GetKeys();
    ASSERT_EQ(keys.GetCount(), 3);
    EXPECT_EQ(keys.GetAt(0)->GetOpening(), 1.5f);
    EXPECT_EQ(keys.GetAt(1)->GetOpening(), 1.5f);
    EXPECT_EQ(keys.GetAt(2)->GetOpening(), 0.3f);
    EXPECT_TRUE(keys.GetAt(0)->IsHandMade()) << "typed openings are hand-made";
    EXPECT_FALSE(keys.GetAt(2)->IsHandMade());
    EXPECT_TRUE(d_.Doc().IsModified());
    EXPECT_EQ(Edit("open")->text(), "150");  // shown again by the refresh
}

TEST_F(PlaybackPaletteTest, PreviewShowsTheMouthShapeOfItsFrame) {
    Show();
    d_.Doc().GetShapes().Set(10, MouthShape::D, false);
    auto* preview = palette_.findChild<LipPreview*>("preview");
    auto hasLips = [](const QImage& image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == qRgb(196, 86, 92)) return true;
        return false;
    };
    palette_.DrawPreview(1.0, 10);
    EXPECT_TRUE(hasLips(preview->Render()));
    palette_.DrawPreview(1.0, 11);  // no shape there: the plain outline
    EXPECT_FALSE(hasLips(preview->Render()));
}

TEST_F(PlaybackPaletteTest, OpenAbove150IsRefusedWithTheFocusBack) {
    ASSERT_TRUE(Activate());
    d_.SetKey(10, 0.4f);
    d_.SelectFrames(10, 11);
    Show();
    Type(Edit("open"), "151");
    Leave();
    messages_.Expect("Please Enter a size between 0 and 150");
    QApplication::processEvents();  // the prompt is posted, not shown inside the focus change
    messages_.VerifyAllShown();
    ASSERT_FALSE(messages_.Shown().empty());
    EXPECT_EQ(messages_.Shown().back().icon, MsgIcon::None);
    EXPECT_EQ(messages_.Shown().back().owner, static_cast<QWidget*>(&palette_));
    EXPECT_EQ(d_.Doc().GetKeys().GetAt(0)->GetOpening(), 0.4f);
    EXPECT_EQ(QApplication::focusWidget(), Edit("open"));
    EXPECT_EQ(Edit("open")->selectedText(), "40");
}

TEST_F(PlaybackPaletteTest, OpenLeftWithoutTypingChangesNothing) {
    ASSERT_TRUE(Activate());
    d_.SetKey(10, 0.4f);
    d_.SelectFrames(10, 11);
    Show();
    d_.Doc().SetModifiedFlag(false);
    Edit("open")->setFocus();
    Leave();
    EXPECT_FALSE(d_.Doc().IsModified());
    EXPECT_TRUE(view_.hints.empty());
}

// ---- Prev and Next Key ---------------------------------------------------------------------

TEST_F(PlaybackPaletteTest, NextAndPrevKeyEnablingSelectionAndCentring) {
    d_.SetKey(5, 0.2f);
    d_.SetKey(15, 0.3f);
    d_.SetKey(40, 0.5f);
    Time().SetVisibleRange(0.0, 20.0);
    d_.SelectFrames(10, 10);
    Show();
    EXPECT_TRUE(Button("prevKey")->isEnabled());
    EXPECT_TRUE(Button("nextKey")->isEnabled());

    // A key in view: selected without scrolling.
    QTest::mouseClick(Button("nextKey"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 14.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 15.5);
    EXPECT_DOUBLE_EQ(Time().GetVisibleMin(), 0.0);

    // A key out of view: centred, width kept.
    palette_.OnNextKey();
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 39.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 40.5);
    EXPECT_DOUBLE_EQ(Time().GetVisibleMin(), 30.0);
    EXPECT_DOUBLE_EQ(Time().GetVisibleMax(), 50.0);
    EXPECT_FALSE(Button("nextKey")->isEnabled());
    EXPECT_EQ(palette_.GetPreviewFrame(), 40);

    // Leftwards the cursor lands on the left edge.
    palette_.OnPrevKey();
    palette_.OnPrevKey();
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 5.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 4.5);
    EXPECT_DOUBLE_EQ(Time().GetVisibleMin(), -0.5);  // centred on 5, then kept in the extent
    EXPECT_DOUBLE_EQ(Time().GetVisibleMax(), 19.5);
    EXPECT_FALSE(Button("prevKey")->isEnabled());
    EXPECT_TRUE(Button("nextKey")->isEnabled());
}

TEST_F(PlaybackPaletteTest, KeyJustInsideTheMarginStillScrolls) {
    d_.SetKey(19, 0.3f);
    Time().SetVisibleRange(0.0, 19.6);  // frame 19 ends at 19.5: less than 0.15 from the edge
    d_.SelectFrames(10, 10);
    Show();
    palette_.OnNextKey();
    EXPECT_DOUBLE_EQ(Time().GetVisibleMin(), 19 - 9.8);
}

// ---- Start and End ---------------------------------------------------------------------------

TEST_F(PlaybackPaletteTest, StartAndEndShowTheSelectedFrames) {
    d_.SelectFrames(3, 8);
    Show();
    EXPECT_EQ(Edit("start")->text(), "3");
    EXPECT_EQ(Edit("end")->text(), "8");
    d_.PlaceCursor(6.5);
    palette_.Refresh(0);
    EXPECT_EQ(Edit("start")->text(), "7");
    EXPECT_EQ(Edit("end")->text(), "");
}

TEST_F(PlaybackPaletteTest, TypedEndBeforeStartSelectsWithTheCursorOnTheEndSide) {
    ASSERT_TRUE(Activate());
    d_.SelectFrames(9, 12);
    Show();
    Type(Edit("end"), "5");
    Leave();
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 9.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 4.5);
    EXPECT_EQ(Edit("start")->text(), "5");
    EXPECT_EQ(Edit("end")->text(), "9");
}

TEST_F(PlaybackPaletteTest, TypedStartAfterEndSelectsWithTheCursorOnTheStartSide) {
    ASSERT_TRUE(Activate());
    d_.SelectFrames(3, 5);
    Show();
    Type(Edit("start"), "9");
    Leave();
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 4.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 9.5);
    // Updated with 57: the edits keep what was typed; End is marked for a commit of its own.
    EXPECT_EQ(Edit("start")->text(), "9");
    EXPECT_EQ(Edit("end")->text(), "5");
    ASSERT_FALSE(view_.hints.empty());
    EXPECT_EQ(view_.hints.back(), 57);
}

// The main frame stops playback at every selection change, and that stop refreshes the palette:
// it must not undo the Start a commit keeps, or the End typed next pairs with the old Start.
TEST_F(PlaybackPaletteTest, StartPastEndThenEndSelectsWhatWasTyped) {
    SetPositionChangeHook([this] {
        palette_.StopPlayback();
        frame_.SetPlaybackMarkers(0.0, false);
    });
    ASSERT_TRUE(Activate());
    d_.SelectFrames(20, 30);
    Show();
    Type(Edit("start"), "40");
    Leave();
    EXPECT_EQ(Edit("start")->text(), "40");
    EXPECT_EQ(Edit("end")->text(), "30");
    Type(Edit("end"), "40");
    Leave();
    SetPositionChangeHook(nullptr);
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 39.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 40.5);
    EXPECT_EQ(Edit("start")->text(), "40");
    EXPECT_EQ(Edit("end")->text(), "40");
}

struct EditCase {
    const char* name;
    const char* edit;
    const char* text;
    int selFirst, selLast;  // the selection before (selLast < selFirst: a cursor at selFirst - 0.5)
    double anchor, cursor;  // after
};

class PlaybackPalette_TypedSelection : public PlaybackPaletteTest,
                                       public ::testing::WithParamInterface<EditCase> {};

TEST_P(PlaybackPalette_TypedSelection, MovesAnchorAndCursor) {
    const EditCase& c = GetParam();
    ASSERT_TRUE(Activate());
    if (c.selLast >= c.selFirst) {
        d_.SelectFrames(c.selFirst, c.selLast);
    } else {
        d_.PlaceCursor(c.selFirst - 0.5);
    }
    Show();
    Type(Edit(c.edit), c.text);
    Leave();
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), c.anchor);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), c.cursor);
}

INSTANTIATE_TEST_SUITE_P(Table, PlaybackPalette_TypedSelection,
                         ::testing::Values(
                             // Start typed, End empty: the snapped left edge of that frame.
                             EditCase{"StartAlone", "start", "7", 3, 2, 6.5, 6.5},
                             EditCase{"StartZeroAlone", "start", "0", 3, 2, -0.5, -0.5},
                             // Start cleared: the edge one frame left of the selection end.
                             EditCase{"StartCleared", "start", "", 3, 8, 7.5, 7.5},
                             EditCase{"StartClearedNoSelection", "start", "", 6, 5, 5.5, 5.5},
                             EditCase{"StartWithEnd", "start", "4", 3, 8, 8.5, 3.5},
                             EditCase{"EndAfterStart", "end", "12", 3, 8, 2.5, 12.5},
                             EditCase{"EndEqualsStart", "end", "3", 3, 8, 2.5, 3.5},
                             // End cleared: both on the left edge of Start, not snapped.
                             EditCase{"EndCleared", "end", "", 3, 8, 2.5, 2.5},
                             EditCase{"EndIsLastFrame", "end", "50", 3, 8, 2.5, 50.5}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
    const char* name;
    const char* edit;
    const char* text;
    const char* prompt;
    const char* restored;  // the valid value shown again after the message
};

class PlaybackPalette_BadValues : public PlaybackPaletteTest,
                                  public ::testing::WithParamInterface<BadCase> {};

TEST_P(PlaybackPalette_BadValues, PromptedWithTheFocusBackAndNothingChanged) {
    const BadCase& c = GetParam();
    ASSERT_TRUE(Activate());
    d_.SetKey(4, 0.5f);
    d_.SelectFrames(3, 8);
    Show();
    Type(Edit(c.edit), c.text);
    Leave();
    messages_.Expect(c.prompt);
    QApplication::processEvents();
    messages_.VerifyAllShown();
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 2.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 8.5);
    EXPECT_EQ(d_.Doc().GetKeys().GetAt(0)->GetOpening(), 0.5f);
    EXPECT_EQ(QApplication::focusWidget(), Edit(c.edit));
    EXPECT_EQ(Edit(c.edit)->text(), c.restored);
    EXPECT_EQ(Edit(c.edit)->selectedText(), c.restored);
}

INSTANTIATE_TEST_SUITE_P(Table, PlaybackPalette_BadValues,
                         ::testing::Values(BadCase{"EndPastLastFrame", "end", "51",
                                                   "Please Enter a size between 0 and 50", "8"},
                                           BadCase{"StartPastLastFrame", "start", "51",
                                                   "Please Enter a size between 0 and 50", "3"},
                                           BadCase{"HugeStart", "start", "99999999999999999999",
                                                   "Please Enter a size between 0 and 50", "3"},
                                           BadCase{"Open151", "open", "151",
                                                   "Please Enter a size between 0 and 150", "50"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A refused value left by a click on a command (the edit loses the focus, then the command checks
// the pending edits) was said twice: once by the command, once more after the focus change.
class PlaybackPalette_RefusedOnce : public PlaybackPaletteTest,
                                   public ::testing::WithParamInterface<BadCase> {};

TEST_P(PlaybackPalette_RefusedOnce, ByTheCommandThatFoundIt) {
    const BadCase& c = GetParam();
    ASSERT_TRUE(Activate());
    d_.SetKey(4, 0.5f);
    d_.SelectFrames(3, 8);
    Show();
    Type(Edit(c.edit), c.text);
    Leave();  // the click on the command takes the focus
    messages_.Expect(c.prompt);
    EXPECT_FALSE(palette_.CommitPendingEdits());
    QApplication::processEvents();  // an unexpected second box fails here
    messages_.VerifyAllShown();
    EXPECT_EQ(Edit(c.edit)->text(), c.restored);
}

INSTANTIATE_TEST_SUITE_P(Table, PlaybackPalette_RefusedOnce,
                         ::testing::Values(BadCase{"End", "end", "51",
                                                   "Please Enter a size between 0 and 50", "8"},
                                           BadCase{"Start", "start", "51",
                                                   "Please Enter a size between 0 and 50", "3"},
                                           BadCase{"Open", "open", "151",
                                                   "Please Enter a size between 0 and 150", "50"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlaybackPaletteTest, RefusedStartNeverReachesTheSelectionThroughEnd) {
    ASSERT_TRUE(Activate());
    d_.SelectFrames(10, 19);
    Show();
    Type(Edit("start"), "12");
    Edit("open")->setFocus();  // commits Start: frames 12..19, End marked for commit
    Type(Edit("start"), "999");
    messages_.Expect("Please Enter a size between 0 and 50");
    QTest::keyClick(Edit("start"), Qt::Key_Tab);
    QApplication::processEvents();
    messages_.VerifyAllShown();
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 11.5);
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 19.5);
    EXPECT_EQ(QApplication::focusWidget(), Edit("start"));
}

TEST_F(PlaybackPaletteTest, EnterCommitsStartEvenWhenNotRetyped) {
    ASSERT_TRUE(Activate());
    d_.SelectFrames(3, 5);
    Show();
    Edit("start")->setFocus();
    QTest::keyClick(Edit("start"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), Edit("end"));
    // Start 3, End 5 committed from the Start side: the cursor moves to the left edge.
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 5.5);
    EXPECT_DOUBLE_EQ(Time().GetCursor(), 2.5);
}

TEST_F(PlaybackPaletteTest, EnterOnAButtonOnlyMovesTheFocus) {
    d_.SetKey(5, 0.2f);
    d_.SetKey(40, 0.2f);
    d_.SelectFrames(10, 10);
    ASSERT_TRUE(Activate());
    Show();
    Button("prevKey")->setFocus();
    QTest::keyClick(Button("prevKey"), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), Button("nextKey"));
    EXPECT_DOUBLE_EQ(Time().GetAnchor(), 9.5);  // Prev Key was not pressed
    EXPECT_TRUE(view_.hints.empty());
}

TEST_F(PlaybackPaletteTest, EscapeDoesNothingAndTheCloseBoxAsksTheMainFrame) {
    Show();
    QTest::keyClick(&palette_, Qt::Key_Escape);
    EXPECT_TRUE(palette_.isVisible());
    palette_.close();
    EXPECT_TRUE(palette_.isVisible());
    EXPECT_EQ(frame_.commands, std::vector<int>{32771});
}

TEST_F(PlaybackPaletteTest, BadValueWhileHiddenShowsThePaletteFirst) {
    Show();
    palette_.hide();
    messages_.Expect("Please Enter a size between 0 and 50");
    palette_.OnBadValue(1, 50);
    EXPECT_TRUE(palette_.isVisible());
}

// ---- Lip preview -------------------------------------------------------------------------

TEST_F(PlaybackPaletteTest, PreviewShowsTheSelectedFrameNextToTheCursor) {
    d_.SetKey(10, 0.5f);
    d_.SetKey(20, 1.0f);
    d_.SelectFrames(10, 19);  // cursor at the end
    Show();
    EXPECT_EQ(palette_.GetPreviewFrame(), 19);
    EXPECT_DOUBLE_EQ(palette_.GetPreviewOpening(), 0.95);
    Time().SetAnchor(19.5);
    Time().SetCursor(9.5);
    palette_.Refresh(55);  // 55 leaves the preview alone
    EXPECT_EQ(palette_.GetPreviewFrame(), 19);
    palette_.Refresh(0);
    EXPECT_EQ(palette_.GetPreviewFrame(), 10);
    d_.PlaceCursor(2.5);
    palette_.Refresh(57);
    EXPECT_EQ(palette_.GetPreviewFrame(), 3);
}

TEST_F(PlaybackPaletteTest, PreviewRepaintsTheSamePictureWhenUncovered) {
    d_.SetKey(12, 0.8f);
    d_.SelectFrames(12, 12);
    Show();
    auto* preview = palette_.findChild<LipPreview*>("preview");
    ASSERT_NE(preview, nullptr);
    const QImage before = preview->grab().toImage();
    palette_.hide();
    palette_.show();
    const QImage after = preview->grab().toImage();
    EXPECT_EQ(before, after);
    // Grey with the open lips: the middle of the preview is background, not a line.
    EXPECT_EQ(after.pixel(after.width() / 2, after.height() / 2), qRgb(192, 192, 192));
    EXPECT_NE(after.pixel(after.width() / 2,
                          after.height() / 2 + static_cast<int>(after.height() * 0.8 / 3.0)),
              qRgb(192, 192, 192));
}

}  // namespace
}  // namespace vokra
