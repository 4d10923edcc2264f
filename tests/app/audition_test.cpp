// Hearing the timeline while working on it: the selected frames loop while their keys are
// dragged, and a playing marker that runs off the zoomed-in view takes both panes with it.
#include <QScrollBar>
#include <QTest>

#include "app/commands.h"
#include "panes/qt/env_view.h"
#include "panes/qt/wave_view.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

class Audition : public AppFixture {
protected:
    // A two-second voice, keys on frames 3 .. 6, frames 3 .. 5 selected, both panes painted.
    void Prepare() {
        Start();
        Doc().LoadSoundFrom(MakeVoice("v.wav", 2.0));
        ASSERT_TRUE(g_sound.IsLoaded());
        for (int f = 3; f <= 6; ++f) Doc().GetKeys().SetKey(Keyframe(f, 0.5f));
        Doc().GetTimeRange().SetVisibleRange(-0.5, 20.5);
        Doc().GetTimeRange().SetAnchor(2.5);
        Doc().GetTimeRange().SetCursor(5.5);
        Doc().SetModifiedFlag(false);
        Doc().UpdateAllViews(nullptr, kHintAll);
        Frame().PaintPanesNow();
    }
    EnvView& Env() { return *Frame().GetEnvelopePane(); }
    CPlaybackPalette& Palette() { return Frame().GetPlaybackPalette(); }
    QPoint KeyAt(int frame) {
        const Point p = Env().GetMapping().WorldToPixelPoint(frame, 0.5);
        return QPoint(p.x, p.y);
    }
    // The samples of frames 3 .. 5.
    std::int32_t SelectedSamples() {
        const double perFrame = 22050 / Doc().GetFrameRate();
        return static_cast<std::int32_t>(6 * perFrame) - 1 -
               static_cast<std::int32_t>(3 * perFrame) + 1;
    }
};

TEST_F(Audition, DragLoopsTheSelectedFramesUntilTheRelease) {
    Prepare();
    QTest::mousePress(&Env(), Qt::LeftButton, Qt::NoModifier, KeyAt(4));
    ASSERT_TRUE(Env().IsKeyDragging());
    EXPECT_TRUE(Palette().IsAuditioning());
    EXPECT_EQ(Palette().GetState(), CPlaybackPalette::kPlaying);
    ASSERT_EQ(audio_->prepared.size(), 1u);
    EXPECT_NEAR(audio_->prepared[0], SelectedSamples(), 1);
    // At the end of the range it starts again.
    audio_->heard = audio_->prepared[0];
    Palette().OnTick();
    EXPECT_EQ(audio_->prepared.size(), 2u);
    EXPECT_EQ(Palette().GetState(), CPlaybackPalette::kPlaying);
    QTest::mouseMove(&Env(), KeyAt(4) + QPoint(0, -10));
    QTest::mouseRelease(&Env(), Qt::LeftButton, Qt::NoModifier, KeyAt(4) + QPoint(0, -10));
    EXPECT_FALSE(Palette().IsAuditioning());
    EXPECT_EQ(Palette().GetState(), CPlaybackPalette::kStopped);
    EXPECT_GT(Doc().GetKeys().GetOpeningAt(4), 0.5);
}

TEST_F(Audition, EscapeStopsItAndPutsTheKeysBack) {
    Prepare();
    Env().setFocus();
    QTest::mousePress(&Env(), Qt::LeftButton, Qt::NoModifier, KeyAt(4));
    QTest::mouseMove(&Env(), KeyAt(4) + QPoint(0, -20));
    ASSERT_TRUE(Palette().IsAuditioning());
    QTest::keyClick(&Env(), Qt::Key_Escape);
    EXPECT_FALSE(Palette().IsAuditioning());
    EXPECT_EQ(Palette().GetState(), CPlaybackPalette::kStopped);
    QTest::mouseRelease(&Env(), Qt::LeftButton, Qt::NoModifier, KeyAt(4) + QPoint(0, -20));
    for (int f = 3; f <= 6; ++f) EXPECT_FLOAT_EQ(Doc().GetKeys().GetOpeningAt(f), 0.5f) << f;
    EXPECT_FALSE(Doc().IsModified());
}

TEST_F(Audition, TurnedOffItStaysSilentAndIsRemembered) {
    Prepare();
    Frame().OnCommand(ID_AUDITION);
    EXPECT_FALSE(Frame().IsAuditionOn());
    EXPECT_FALSE(Frame().ActionFor(ID_AUDITION)->isChecked());
    QTest::mousePress(&Env(), Qt::LeftButton, Qt::NoModifier, KeyAt(4));
    ASSERT_TRUE(Env().IsKeyDragging());
    EXPECT_FALSE(Palette().IsAuditioning());
    EXPECT_TRUE(audio_->prepared.empty());
    QTest::mouseRelease(&Env(), Qt::LeftButton, Qt::NoModifier, KeyAt(4));
    Stop();
    Start();
    EXPECT_FALSE(Frame().IsAuditionOn());
}

class FollowMarker : public Audition {};

TEST_F(FollowMarker, PlayingPastTheViewPagesBothPanesButNeverDuringADrag) {
    Start();
    Doc().LoadSoundFrom(MakeVoice("v.wav", 8.0));
    TimelineState& ts = Doc().GetTimeRange();
    ts.SetVisibleRange(-0.5, 19.5);
    Frame().PaintPanesNow();
    Frame().OnCommand(ID_SPACE);
    ASSERT_EQ(Palette().GetState(), CPlaybackPalette::kPlaying);
    const double perFrame = 22050 / Doc().GetFrameRate();

    // While the user holds the scroll bar the view stays where it is.
    QScrollBar* bar = Env().HorizontalScrollBar();
    bar->setSliderDown(true);
    audio_->heard = static_cast<std::int64_t>(30.2 * perFrame);
    Palette().OnTick();
    EXPECT_DOUBLE_EQ(ts.GetVisibleMin(), -0.5);
    bar->setSliderDown(false);

    audio_->heard = static_cast<std::int64_t>(40.2 * perFrame);
    Palette().OnTick();
    EXPECT_LE(ts.GetVisibleMin(), 39.7);
    EXPECT_GE(ts.GetVisibleMax(), 39.7);
    EXPECT_DOUBLE_EQ(ts.GetVisibleMax() - ts.GetVisibleMin(), 20.0);
    EXPECT_TRUE(Frame().GetWavePane()->HasPendingUpdate() ||
                Frame().GetWavePane()->IsMarkerShown());
}

}  // namespace
}  // namespace vokra::test
