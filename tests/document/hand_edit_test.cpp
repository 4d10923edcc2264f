// Which operations mark keys and shapes as hand-made and which leave the hand-made ones alone, and
// that undo and redo put marks and shapes back exactly; the clipboard's own form with shapes.
#include <gtest/gtest.h>

#include <functional>

#include "document/key_clip.h"
#include "document/shape_commands.h"
#include "palettes/auto_key.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

// Frame, opening, hand of every key; frame, shape, hand of every shape.
struct State {
    std::vector<std::tuple<int, float, bool>> keys;
    std::vector<ShapeEntry> shapes;
    friend bool operator==(const State&, const State&) = default;
};

State StateOf(const CVokraDoc& doc) {
    State s;
    for (int i = 0; i < doc.GetKeys().GetCount(); ++i) {
        const Keyframe* k = doc.GetKeys().GetAt(i);
        s.keys.emplace_back(k->GetFrame(), k->GetOpening(), k->IsHandMade());
    }
    s.shapes = doc.GetShapes().Entries();
    return s;
}

std::vector<int> HandKeys(const CVokraDoc& doc) {
    std::vector<int> out;
    for (int i = 0; i < doc.GetKeys().GetCount(); ++i) {
        if (doc.GetKeys().GetAt(i)->IsHandMade()) out.push_back(doc.GetKeys().GetAt(i)->GetFrame());
    }
    return out;
}

std::vector<int> HandShapes(const CVokraDoc& doc) {
    std::vector<int> out;
    for (const ShapeEntry& e : doc.GetShapes().Entries()) {
        if (e.hand) out.push_back(e.frame);
    }
    return out;
}

struct HandCase {
    const char* name;
    std::function<void(CVokraDoc&)> op;  // on frames 2..5 selected
    std::vector<int> handKeys;           // afterwards
    std::vector<int> handShapes;
    float openingAt3;  // the hand-made key at frame 3 (0.9) kept or pasted over; -1: not checked
};

class HandMarks : public DocFixture, public ::testing::WithParamInterface<HandCase> {};

// A second of voice at 25 frames per second; keys 0..9 from AutoKey, the key at 3 opened to 0.9
// by hand; shapes 0..9 guessed as B, frame 4 set to F by hand.
TEST_P(HandMarks, MarkOrKeepAndUndoRestoresExactly) {
    const HandCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    doc.LoadSoundFrom(MakeSound("voice.wav", 1.0));
    doc.SetFrameRate(25.0, 9);
    for (int f = 0; f < 10; ++f) {
        doc.GetKeys().SetKey(Keyframe(f, 0.1f * static_cast<float>(f % 3)));
        doc.GetShapes().Set(f, MouthShape::B, false);
    }
    Keyframe hand(3, 0.9f);
    hand.SetHandMade(true);
    doc.GetKeys().SetKey(hand);
    doc.GetShapes().Set(4, MouthShape::F, true);
    doc.SetModifiedFlag(false);
    LastEdit history;
    doc.SetKeyEditSink(&history);
    doc.GetTimeRange().SetAnchor(1.5);
    doc.GetTimeRange().SetCursor(5.5);

    const State before = StateOf(doc);
    c.op(doc);
    const State after = StateOf(doc);
    EXPECT_EQ(HandKeys(doc), c.handKeys);
    EXPECT_EQ(HandShapes(doc), c.handShapes);
    if (c.openingAt3 >= 0.0f) {
        const Keyframe* at3 = doc.GetKeys().FindAtOrAfter(3);
        ASSERT_NE(at3, nullptr);
        EXPECT_FLOAT_EQ(at3->GetOpening(), c.openingAt3);
    }

    // One step, and it takes back and remakes everything, marks included.
    ASSERT_EQ(history.Count(), before == after ? 0 : 1);
    EXPECT_EQ(doc.IsModified(), before != after);
    if (history.Count() == 0) return;
    doc.ApplyKeyEdit(history.Edit(), false);
    EXPECT_EQ(StateOf(doc), before);
    doc.ApplyKeyEdit(history.Edit(), true);
    EXPECT_EQ(StateOf(doc), after);
}

const std::vector<int> kUnchangedHandKeys{3};
const std::vector<int> kUnchangedHandShapes{4};

INSTANTIATE_TEST_SUITE_P(
    Table, HandMarks,
    ::testing::Values(
        HandCase{"InsertOverKeyedFramesChangesNothing", [](CVokraDoc& d) { d.FillSelection(); },
                 kUnchangedHandKeys, kUnchangedHandShapes, 0.9f},
        HandCase{"InsertMarksTheKeysItMakes",
                 [](CVokraDoc& d) {
                     d.GetTimeRange().SetAnchor(8.5);
                     d.GetTimeRange().SetCursor(12.5);
                     d.FillSelection();
                 },
                 {3, 10, 11, 12},
                 kUnchangedHandShapes,
                 0.9f},
        HandCase{"PasteMarksKeysAndShapes",
                 [](CVokraDoc& d) {
                     KeyClip clip;
                     clip.span = 2;
                     clip.keys = {Keyframe(1, 0.5f)};
                     clip.hasShapes = true;
                     clip.shapes = {{0, MouthShape::D, false}};
                     d.PasteKeys(clip);
                 },
                 {3},
                 {2, 4},
                 0.5f},
        HandCase{"TextPasteLeavesShapes",
                 [](CVokraDoc& d) { d.PasteKeys(ReadKeyClipText("0 0.5").clip); },
                 {2, 3},
                 kUnchangedHandShapes,
                 0.9f},
        HandCase{"AutoKeyKeepsHandKeys",
                 [](CVokraDoc& d) {
                     // Bracketed as the palette brackets it.
                     d.BeginKeyEdit("AutoKey", 2, 5);
                     const AutoKeyOutcome o =
                         AutoKeyApply(g_sound, g_maxAmplitude, 25.0, 2, 5, {}, false, d.GetKeys());
                     d.EndKeyEdit(o.processed > 0);
                     EXPECT_EQ(o.kept, 1);
                 },
                 kUnchangedHandKeys, kUnchangedHandShapes, 0.9f},
        HandCase{"AutoKeyReplacingTakesThem",
                 [](CVokraDoc& d) {
                     // Bracketed as the palette brackets it.
                     d.BeginKeyEdit("AutoKey", 2, 5);
                     const AutoKeyOutcome o =
                         AutoKeyApply(g_sound, g_maxAmplitude, 25.0, 2, 5, {}, true, d.GetKeys());
                     d.EndKeyEdit(o.processed > 0);
                     EXPECT_EQ(o.kept, 0);
                     EXPECT_EQ(o.processed, 4);
                 },
                 {},
                 kUnchangedHandShapes,
                 -1.0f},
        HandCase{"GuessKeepsHandShapes",
                 [](CVokraDoc& d) {
                     const GuessOutcome o = GuessSelectionShapes(d, false);
                     EXPECT_TRUE(o.ok) << o.error;
                     EXPECT_EQ(o.kept, 1);
                     EXPECT_EQ(o.filled, 3);
                     EXPECT_EQ(d.GetShapes().Find(4)->shape, MouthShape::F);
                 },
                 kUnchangedHandKeys, kUnchangedHandShapes, 0.9f},
        HandCase{"GuessReplacingTakesThem",
                 [](CVokraDoc& d) {
                     const GuessOutcome o = GuessSelectionShapes(d, true);
                     EXPECT_EQ(o.kept, 0);
                     EXPECT_EQ(o.filled, 4);
                 },
                 kUnchangedHandKeys,
                 {},
                 0.9f},
        HandCase{"SetShapeMarks",
                 [](CVokraDoc& d) { EXPECT_TRUE(SetSelectionShape(d, MouthShape::A)); },
                 kUnchangedHandKeys,
                 {2, 3, 4, 5},
                 0.9f},
        HandCase{"ClearShapes",
                 [](CVokraDoc& d) { EXPECT_TRUE(ClearSelectionShapes(d)); },
                 kUnchangedHandKeys,
                 {},
                 0.9f},
        HandCase{"MarkKeysAndShapes",
                 [](CVokraDoc& d) { EXPECT_EQ(MarkSelectionHandMade(d, true), 6); },
                 {2, 3, 4, 5},
                 {2, 3, 4, 5},
                 0.9f},
        HandCase{"ReleaseKeysAndShapes",
                 [](CVokraDoc& d) { EXPECT_EQ(MarkSelectionHandMade(d, false), 2); },
                 {},
                 {},
                 0.9f},
        HandCase{"DeleteLeavesShapes",
                 [](CVokraDoc& d) { d.DeleteSelection(); },
                 {},
                 kUnchangedHandShapes,
                 -1.0f},
        HandCase{"CutTakesShapes", [](CVokraDoc& d) { d.CutSelection(); }, {}, {}, -1.0f},
        HandCase{"NothingChangedRecordsNothing",
                 [](CVokraDoc& d) {
                     d.GetTimeRange().SetAnchor(11.5);  // frames without keys or shapes
                     d.GetTimeRange().SetCursor(13.5);
                     EXPECT_FALSE(ClearSelectionShapes(d));
                     EXPECT_EQ(MarkSelectionHandMade(d, true), 0);
                     d.GetTimeRange().SetAnchor(3.5);  // frame 4, already F by hand
                     d.GetTimeRange().SetCursor(4.5);
                     EXPECT_FALSE(SetSelectionShape(d, MouthShape::F));
                 },
                 kUnchangedHandKeys, kUnchangedHandShapes, 0.9f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocFixture, FrameRateChangeKeepsShapesInTimeAndUndoPutsThemBack) {
    CVokraDoc& doc = NewDoc();  // 15 frames per second
    LastEdit history;
    doc.SetKeyEditSink(&history);
    doc.GetShapes().Set(2, MouthShape::A, true);
    doc.GetShapes().Set(3, MouthShape::D, false);
    doc.GetShapes().Set(9, MouthShape::F, false);
    const std::vector<ShapeEntry> before = doc.GetShapes().Entries();
    doc.OnSetFramesPerSec([](std::int32_t, double, double) {
        return std::optional<FpsChoice>(FpsChoice{30.0, 11});
    });
    EXPECT_EQ(doc.GetShapes().Entries(), (std::vector<ShapeEntry>{{4, MouthShape::A, true},
                                                                  {5, MouthShape::A, true},
                                                                  {6, MouthShape::D, false},
                                                                  {7, MouthShape::D, false},
                                                                  {18, MouthShape::F, false},
                                                                  {19, MouthShape::F, false}}));
    doc.ApplyKeyEdit(history.Edit(), false);
    EXPECT_EQ(doc.GetShapes().Entries(), before);
    // Down to 10: frames 2-3 (0.133-0.267 s) cover the new frames starting at 0.2 s.
    doc.OnSetFramesPerSec([](std::int32_t, double, double) {
        return std::optional<FpsChoice>(FpsChoice{10.0, 3});
    });
    EXPECT_EQ(doc.GetShapes().Entries(),
              (std::vector<ShapeEntry>{{2, MouthShape::D, false}, {6, MouthShape::F, false}}));
}

TEST(KeyClipData, CarriesShapesAndMarksButTheTextFormDoesNot) {
    KeyClip clip;
    clip.span = 6;
    clip.keys = {Keyframe(0, 0.25f), Keyframe(4, 1.5f)};
    clip.keys[1].SetHandMade(true);
    clip.hasShapes = true;
    clip.shapes = {{1, MouthShape::G, true}, {5, MouthShape::X, false}};
    const KeyClipReadResult data = ReadKeyClipData(KeyClipData(clip));
    ASSERT_TRUE(data.ok) << data.error;
    EXPECT_TRUE(data.clip.hasShapes);
    EXPECT_EQ(data.clip.shapes, clip.shapes);
    ASSERT_EQ(data.clip.keys.size(), 2u);
    EXPECT_FALSE(data.clip.keys[0].IsHandMade());
    EXPECT_TRUE(data.clip.keys[1].IsHandMade());
    EXPECT_EQ(KeyClipText(clip), "0\t0.25\n4\t1.5\n");
    EXPECT_FALSE(ReadKeyClipText(KeyClipText(clip)).clip.hasShapes);
    // The earlier own form still reads, without shapes.
    const KeyClipReadResult v1 = ReadKeyClipData("VOKRA-KEYS 1\n3\n2\t0.5\n");
    ASSERT_TRUE(v1.ok);
    EXPECT_FALSE(v1.clip.hasShapes);
    for (const char* damaged :
         {"VOKRA-KEYS 2\n3\nshapes\n3\tA\n", "VOKRA-KEYS 2\n3\nshapes\n1\tQ\n",
          "VOKRA-KEYS 2\n3\nshapes\n2\tA\n1\tB\n", "VOKRA-KEYS 1\n3\n1\t0.5\thand\n"}) {
        EXPECT_FALSE(ReadKeyClipData(damaged).ok) << damaged;
    }
}

}  // namespace
}  // namespace vokra::test
