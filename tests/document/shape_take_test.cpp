// The shapes against a new take: a guess over a shorter sound clears what an earlier guess left
// past its end (the animator's own shapes stay, and are counted), every frame holding a shape is
// on the timeline, and AutoKey and Guess Shapes count what they kept alike.
#include <climits>

#include "document/shape_commands.h"
#include "palettes/auto_key.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

struct TakeCase {
    const char* name;
    double anchor, cursor;  // the selection (equal: none, the guess runs from the cursor)
    bool replaceHand;
    int cleared;      // guessed shapes gone past the end of the sound
    int keptPastEnd;  // hand-set shapes there, kept
    int guessedLeft;  // guessed shapes still past the end afterwards
};

class GuessShapes_ShorterTake : public DocFixture,
                                public ::testing::WithParamInterface<TakeCase> {};

// Take 1 left guessed shapes on frames 0..40 (frame 30 set by hand); take 2 lasts one second,
// frames 0..14 at 15 frames per second.
TEST_P(GuessShapes_ShorterTake, ClearsTheEarlierGuessPastTheEnd) {
    const TakeCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    LastEdit history;
    doc.SetKeyEditSink(&history);
    for (int f = 0; f <= 40; ++f) doc.GetShapes().Set(f, MouthShape::D, f == 30);
    const std::vector<ShapeEntry> before = doc.GetShapes().Entries();
    doc.LoadSoundFrom(MakeSound("take2.wav", 1.0));
    ASSERT_TRUE(g_sound.IsLoaded());
    EXPECT_EQ(doc.GetTimeRange().GetExtentMax(), 40.5) << "every shape is on the timeline";
    doc.GetTimeRange().SetAnchor(c.anchor);
    doc.GetTimeRange().SetCursor(c.cursor);

    const GuessOutcome outcome = GuessSelectionShapes(doc, c.replaceHand);
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.cleared, c.cleared);
    EXPECT_EQ(outcome.keptPastEnd, c.keptPastEnd);
    std::int32_t guessedPastEnd = 0;
    for (const ShapeEntry& e : doc.GetShapes().Entries()) {
        guessedPastEnd += e.frame > 14 && !e.hand;
    }
    EXPECT_EQ(guessedPastEnd, c.guessedLeft);
    ASSERT_NE(doc.GetShapes().Find(30), nullptr) << "the animator's shape stays";
    if (c.cleared > 0) {
        EXPECT_NE(GuessStatusText(outcome).find("cleared " + std::to_string(c.cleared) +
                                                " guessed shapes past the end of the sound"),
                  std::string::npos)
            << GuessStatusText(outcome);
        // One step takes it all back.
        ASSERT_EQ(history.Count(), 1);
        doc.ApplyKeyEdit(history.Edit(), false);
        EXPECT_EQ(doc.GetShapes().Entries(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, GuessShapes_ShorterTake,
    ::testing::Values(TakeCase{"FromTheStart", -0.5, -0.5, false, 25, 1, 0},
                      TakeCase{"ReplacingHandEditsStillKeepsThemPastTheEnd", -0.5, -0.5, true, 25,
                               1, 0},
                      TakeCase{"SelectionReachingPastTheEnd", 9.5, 20.5, false, 25, 1, 0},
                      TakeCase{"SelectionInsideTheSoundLeavesTheRest", 1.5, 5.5, false, 0, 0, 25},
                      // From the frame after the cursor on: frames 15..20 are not in the range.
                      TakeCase{"CursorPastTheEnd", 20.5, 20.5, false, 19, 1, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GuessShapes_ShorterTake, SelectAllReachesEveryShape) {
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("take.wav", 1.0));
    doc.GetShapes().Set(11'865, MouthShape::E, false);
    doc.OnSelectAll();
    EXPECT_TRUE(ClearSelectionShapes(doc));
    EXPECT_TRUE(doc.GetShapes().IsEmpty());
}

// AutoKey and Guess Shapes over frames 0..9 whose frames 2..4 hold hand-made keys and shapes:
// both count seven frames done and three kept.
TEST_F(GuessShapes_ShorterTake, AutoKeyAndGuessCountTheKeptAlike) {
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("take.wav", 1.0));
    for (int f = 2; f <= 4; ++f) {
        Keyframe key(f, 0.5f);
        key.SetHandMade(true);
        doc.GetKeys().SetKey(key);
        doc.GetShapes().Set(f, MouthShape::G, true);
    }
    const AutoKeyOutcome keyed =
        AutoKeyApply(g_sound, g_maxAmplitude, doc.GetFrameRate(), 0, 9, {}, false, doc.GetKeys());
    doc.GetTimeRange().SetAnchor(-0.5);
    doc.GetTimeRange().SetCursor(9.5);
    const GuessOutcome guessed = GuessSelectionShapes(doc, false);
    EXPECT_EQ(AutoKeyStatusText(keyed), "AutoKey keyed 7 frames; kept 3 hand-made keys.");
    EXPECT_EQ(GuessStatusText(guessed), "Guessed 7 frames; kept 3 hand-set shapes.");
}

// The frame-rate question names the shapes when there are any, and the status says where they
// went; without shapes it is the question it always was.
TEST_F(GuessShapes_ShorterTake, FrameRateQuestionNamesTheShapes) {
    const std::string keysOnly =
        "Changing the frames per Second will cause the deletion of all existing keyframes.\n\n"
        "Re-time keeps them instead: each keyframe moves to the frame nearest its old time.";
    for (const bool withShapes : {false, true}) {
        CVokraDoc& doc = NewDoc();
        doc.GetKeys().SetKey(Keyframe(4, 0.5f));
        if (withShapes) {
            doc.GetShapes().Set(3, MouthShape::B, false);
            doc.GetShapes().Set(4, MouthShape::C, true);
        }
        messages_->Expect(withShapes ? keysOnly +
                                           "\n\nThe 2 mouth shapes are re-timed either way: each "
                                           "moves to the frame nearest its old time."
                                     : keysOnly,
                          IDYES);
        // Each round changes the rate new documents start with: the next round picks another.
        const FpsChoice choice = withShapes ? FpsChoice{24.0, 8} : FpsChoice{30.0, 11};
        const std::string status = doc.OnSetFramesPerSec(
            [&](std::int32_t, double, double) { return std::optional<FpsChoice>(choice); });
        messages_->VerifyAllShown();
        EXPECT_EQ(
            status.find("Re-timed 2 mouth shapes to 24 frames per second.") != std::string::npos,
            withShapes)
            << status;
    }
}

}  // namespace
}  // namespace vokra::test
