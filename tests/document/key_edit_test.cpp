// Key edits as the history sees them: what each edit records, re-timing, the clipboard forms, and
// the limits on edits that create keys.
#include "document/key_edit.h"

#include <gtest/gtest.h>

#include <climits>

#include "document/key_clip.h"
#include "tests/document/doc_fixture.h"

namespace vokra::test {
namespace {

using Keys = std::vector<std::pair<int, float>>;

Keys KeysOfVector(const std::vector<Keyframe>& keys) {
    Keys out;
    for (const Keyframe& k : keys) out.emplace_back(k.GetFrame(), k.GetOpening());
    return out;
}

// ---- re-timing ------------------------------------------------------------------------------

struct RetimeCase {
    const char* name;
    double from;
    double to;
    Keys keys;
    Keys expected;
    int merged;
};

class Retime : public DocFixture, public ::testing::WithParamInterface<RetimeCase> {};

TEST_P(Retime, MovesKeysToTheNearestFrameAndTheLargestOpeningWins) {
    const RetimeCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, c.keys);
    const RetimeResult r = RetimeKeys(doc.GetKeys(), c.from, c.to);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(KeysOfVector(r.keys), c.expected);
    EXPECT_EQ(r.merged, c.merged);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, Retime,
    ::testing::Values(
        // 25 -> 30: frame 5 -> 6, 2 -> 2.4 -> 2, 3 -> 3.6 -> 4; nothing meets.
        RetimeCase{"From25To30",
                   25,
                   30,
                   {{0, .1f}, {2, .2f}, {3, .3f}, {5, .5f}},
                   {{0, .1f}, {2, .2f}, {4, .3f}, {6, .5f}},
                   0},
        // 30 -> 25: 3 -> 2.5 -> 3 (halves away from zero) and 4 -> 3.33 -> 3 meet, the larger
        // stays; 9 -> 7.5 -> 8 and 10 -> 8.33 -> 8 likewise.
        RetimeCase{"From30To25",
                   30,
                   25,
                   {{1, .1f}, {3, .9f}, {4, .4f}, {6, .6f}, {9, .2f}, {10, .7f}},
                   {{1, .1f}, {3, .9f}, {5, .6f}, {8, .7f}},
                   2},
        RetimeCase{
            "From100To1ThreeOnOne", 100, 1, {{50, .3f}, {120, .8f}, {149, .5f}}, {{1, .8f}}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocFixture, RetimeRefusesAKeyPushedPastTheLastFrame) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{5, .5f}, {2'000'000'000, .5f}});
    const RetimeResult r = RetimeKeys(doc.GetKeys(), 25, 30);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.offender, 2'000'000'000);
}

// ---- the clipboard forms -------------------------------------------------------------------

TEST(KeyClipText, RoundTripsExactly) {
    KeyClip clip;
    clip.span = 9;
    clip.keys = {Keyframe(0, 0.1f), Keyframe(3, 0.43712345f), Keyframe(8, 2.0f)};
    const KeyClipReadResult text = ReadKeyClipText(KeyClipText(clip));
    ASSERT_TRUE(text.ok) << text.error;
    EXPECT_EQ(KeysOfVector(text.clip.keys), KeysOfVector(clip.keys));
    EXPECT_EQ(text.clip.span, 9);
    clip.span = 20;  // the own form keeps the span past the last key
    const KeyClipReadResult data = ReadKeyClipData(KeyClipData(clip));
    ASSERT_TRUE(data.ok) << data.error;
    EXPECT_EQ(KeysOfVector(data.clip.keys), KeysOfVector(clip.keys));
    EXPECT_EQ(data.clip.span, 20);
}

struct ClipTextCase {
    const char* name;
    const char* text;
    Keys keys;          // when read
    const char* error;  // when refused
};

class KeyClipRead : public ::testing::TestWithParam<ClipTextCase> {};

TEST_P(KeyClipRead, TakesSpreadsheetTextAndRefusesTheRest) {
    const ClipTextCase& c = GetParam();
    const KeyClipReadResult r = ReadKeyClipText(c.text);
    EXPECT_EQ(r.ok, c.error == nullptr);
    if (c.error) {
        EXPECT_EQ(r.error, c.error);
    } else {
        EXPECT_EQ(KeysOfVector(r.clip.keys), c.keys);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyClipRead,
    ::testing::Values(
        ClipTextCase{"TabsCrlfAnyOrderLastWins",
                     "4\t0.5\r\n\r\n1 0.25\r\n4;0.75\r\n",
                     {{1, .25f}, {4, .75f}},
                     nullptr},
        ClipTextCase{"Csv", "0,1\n2,+0.5", {{0, 1.f}, {2, .5f}}, nullptr},
        ClipTextCase{"Empty", " \n\n", {}, "The clipboard holds no keys."},
        ClipTextCase{"Words",
                     "1 0.5\nhello",
                     {},
                     "Line 2 of the clipboard does not start with a frame number (0 or more)."},
        ClipTextCase{"NegativeFrame",
                     "-1 0.5",
                     {},
                     "Line 1 of the clipboard does not start with a frame number (0 or more)."},
        ClipTextCase{
            "OpeningTooLarge",
            "1 2.5",
            {},
            "Line 1 of the clipboard needs a frame and an opening from 0 to 2 (1 = 100 %)."},
        ClipTextCase{
            "NotANumber",
            "1 nan",
            {},
            "Line 1 of the clipboard needs a frame and an opening from 0 to 2 (1 = 100 %)."},
        ClipTextCase{"FrameTooLarge",
                     "99999999999 0.5",
                     {},
                     "Line 1 of the clipboard does not start with a frame number (0 or more)."},
        // Its clip spans one frame more than a frame number holds: it pastes at frame 0 only.
        ClipTextCase{"LastPossibleFrame", "2147483647 1", {{2147483647, 1.f}}, nullptr},
        ClipTextCase{
            "DecimalComma",
            "1 0,5",
            {},
            "Line 1 of the clipboard needs a frame and an opening from 0 to 2 (1 = 100 %)."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyClipData, DamagedIsRefused) {
    for (const char* data : {"", "VOKRA-KEYS 1\n", "VOKRA-KEYS 3\n3\n", "VOKRA-KEYS 1\n0\n",
                             "VOKRA-KEYS 1\n3\n3 0.5\n"}) {
        const KeyClipReadResult r = ReadKeyClipData(data);
        EXPECT_FALSE(r.ok) << data;
        EXPECT_EQ(r.error, "The clipboard's keys are damaged.") << data;
    }
}

TEST(KeyClipText, TooManyLinesAreRefusedBeforeReading) {
    std::string text;
    for (std::int64_t i = 0; i <= kMaxKeysPerEdit; ++i) text += "1 1\n";
    const KeyClipReadResult r = ReadKeyClipText(text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error,
              "Pasting would create 1,000,001 keys; at most 1,000,000 can be made at once.");
}

// ---- paste and the limits ------------------------------------------------------------------

class KeyPaste : public DocFixture {
protected:
    void Select(CVokraDoc& doc, double anchor, double cursor) {
        doc.GetTimeRange().SetAnchor(anchor);
        doc.GetTimeRange().SetCursor(cursor);
    }
};

TEST_F(KeyPaste, ReplacesEveryCoveredFrameAndSelectsThem) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{1, .1f}, {4, .4f}, {5, .5f}, {6, .6f}, {9, .9f}});
    KeyClip clip;
    clip.span = 3;  // frames 4..6 at the cursor: 4 and 6 replaced, 5 cleared
    clip.keys = {Keyframe(0, 1.f), Keyframe(2, 1.2f)};
    Select(doc, 3.5, 3.5);
    ASSERT_TRUE(doc.PasteKeys(clip));
    EXPECT_EQ(KeysOf(doc), (Keys{{1, .1f}, {4, 1.f}, {6, 1.2f}, {9, .9f}}));
    EXPECT_DOUBLE_EQ(doc.GetTimeRange().SelectionStart(), 3.5);
    EXPECT_DOUBLE_EQ(doc.GetTimeRange().SelectionEnd(), 6.5);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(KeyPaste, AtTheEndOfTheTimelineGrowsIt) {
    CVokraDoc& doc = NewDoc();
    KeyClip clip;
    clip.span = 4;
    clip.keys = {Keyframe(0, .5f), Keyframe(3, .8f)};
    Select(doc, 10.5, 10.5);  // the end of the empty timeline
    ASSERT_TRUE(doc.PasteKeys(clip));
    EXPECT_EQ(KeysOf(doc), (Keys{{11, .5f}, {14, .8f}}));
    EXPECT_DOUBLE_EQ(doc.GetTimeRange().GetExtentMax(), 14.5);
    EXPECT_DOUBLE_EQ(doc.GetTimeRange().SelectionEnd(), 14.5);
}

TEST_F(KeyPaste, PastTheLastPossibleFrameIsRefused) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{2'147'483'000, .5f}});
    Select(doc, 2'147'482'999.5, 2'147'482'999.5);
    KeyClip clip;
    clip.span = 1000;
    clip.keys = {Keyframe(0, .5f)};
    messages_->Expect("The pasted keys would run past the last possible frame (2,147,483,647).");
    EXPECT_FALSE(doc.PasteKeys(clip));
    EXPECT_EQ(KeysOf(doc), (Keys{{2'147'483'000, .5f}}));
}

// A key on the last possible frame, copied or cut with the frames around it, once gave a clip that
// could not be pasted back ("damaged", or a frame "past the last one a paste can reach").
struct LastFrameCase {
    const char* name;
    double anchor;  // the selection copied, then pasted back at its start
    bool cut;
    bool asText;  // through the plain-text form (another program's clipboard)
};

class KeyPaste_LastFrame : public KeyPaste, public ::testing::WithParamInterface<LastFrameCase> {};

TEST_P(KeyPaste_LastFrame, CopyAndPasteBackAreSymmetric) {
    const LastFrameCase& c = GetParam();
    CVokraDoc& doc = NewDoc();
    KeyClip one;
    one.span = 1;
    one.keys = {Keyframe(0, .7f)};
    SetKeys(doc, {{0, .2f}, {5, .3f}});
    Select(doc, 2'147'483'646.5, 2'147'483'646.5);
    ASSERT_TRUE(doc.PasteKeys(one));  // the key on frame 2,147,483,647
    const Keys before = KeysOf(doc);
    Select(doc, c.anchor, doc.GetTimeRange().GetExtentMax());
    const KeyClip copied = doc.CopySelection();
    const KeyClipReadResult read =
        c.asText ? ReadKeyClipText(KeyClipText(copied)) : ReadKeyClipData(KeyClipData(copied));
    ASSERT_TRUE(read.ok) << read.error;
    if (c.cut) {
        doc.CutSelection();
        ASSERT_LT(doc.GetKeys().GetCount(), static_cast<std::int32_t>(before.size()));
    }
    Select(doc, c.anchor, c.anchor);
    ASSERT_TRUE(doc.PasteKeys(read.clip));
    messages_->VerifyAllShown();
    EXPECT_EQ(KeysOf(doc), before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyPaste_LastFrame,
    ::testing::Values(LastFrameCase{"AllFramesCopied", -0.5, false, false},
                      LastFrameCase{"AllFramesCut", -0.5, true, false},
                      LastFrameCase{"AllFramesAsText", -0.5, true, true},
                      LastFrameCase{"FromAKeyBefore", 4.5, true, false},
                      LastFrameCase{"TheLastFrameAlone", 2'147'483'646.5, true, false},
                      LastFrameCase{"TheLastFrameAloneAsText", 2'147'483'646.5, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A document with one key far out: Insert over Select All would make two thousand million keys.
TEST_F(KeyPaste, InsertOverAFarKeyIsRefusedNamingTheCount) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{2'000'000'000, .5f}});
    doc.OnSelectAll();
    doc.SetModifiedFlag(false);
    messages_->Expect(
        "Insert would create 2,000,000,001 keys; at most 1,000,000 can be made at once.");
    doc.OnKeyCommand(0x2D, 1, 0);
    EXPECT_EQ(doc.GetKeys().GetCount(), 1);
    EXPECT_FALSE(doc.IsModified());
}

// Filling a stretch at the start of a long list puts the keys in as one run; the openings are
// those of the frame-by-frame fill.
TEST_F(KeyPaste, FillBeforeManyKeysInterpolatesAsBefore) {
    CVokraDoc& doc = NewDoc();
    SetKeys(doc, {{2, .2f}, {8, .8f}});
    for (int f = 100; f < 300'000; ++f) doc.GetKeys().SetKey(Keyframe(f, .5f));
    Select(doc, -0.5, 9.5);
    doc.FillSelection();
    const KeyframeList& keys = doc.GetKeys();
    ASSERT_EQ(keys.GetCount(), 10 + 299'900);
    for (int f = 0; f <= 9; ++f) {
        const float want = f <= 2   ? .1f * f
                           : f <= 8 ? static_cast<float>(.2 + (.8 - .2) * (f - 2) / 6.0)
                                    : static_cast<float>(.8 + (.5 - .8) * (1 / 92.0));
        EXPECT_NEAR(keys.GetAt(f)->GetOpening(), want, 1e-6) << f;
    }
}

}  // namespace
}  // namespace vokra::test
